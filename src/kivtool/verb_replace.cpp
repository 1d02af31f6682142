// kivtool replace [--case] [--word] PATTERN REPLACEMENT FILE... — replace in files from the
// command line, as "Replace in project" does: every match of PATTERN (the rules of kivtool find)
// becomes REPLACEMENT, each file keeps its encoding and line ends, and a file that cannot be
// written keeps its old contents. Prints "FILE: N" for each changed file; exit status 0, or 2
// when a file was left unchanged because of an error.

#include "kivtool.h"

#include "kivfif_replace.h"

namespace kiv::tool {

int VerbReplace(const QStringList &args)
{
    TFindOptions options;
    QStringList operands;
    if (!ReadFindArguments(args, options, operands) || operands.size() < 3) {
        Err() << "usage: kivtool replace [--case] [--word] PATTERN REPLACEMENT FILE...\n";
        return 2;
    }
    options.text = operands.takeFirst();
    const QString replacement = operands.takeFirst();
    if (options.text.isEmpty() || options.text.contains('\n') || options.text.contains('\r')) {
        Err() << "kivtool replace: the pattern must be a non-empty text on one line\n";
        return 2;
    }
    int status = 0;
    for (const QString &file : std::as_const(operands)) {
        const TReplaceOutcome outcome = ReplaceInFile(file, options, replacement);
        if (outcome.failed) {
            Err() << "kivtool replace: " << outcome.error << '\n';
            status = 2;
        } else if (outcome.replacements > 0) {
            Out() << file << ": " << outcome.replacements << '\n';
        }
    }
    return status;
}

}  // namespace kiv::tool

#include "kivprgm_model.h"

#include "kivini.h"
#include "kivproject.h"
#include "pc_dirs.h"
#include "textfile.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace kiv {

namespace {

const TToolSlotInfo kSlots[tsSlotCount] = {
    {"prgmer", "name", "command", "WARP-13", "C:\\PROGRA~1\\WARP13\\WARP13.EXE  %H /%D"},
    {"prgmer2", "name0", "command0", "ICD", "\"c:\\program files\\lumo\\ICD.EXE\" \"-T%H\""},
    {"debugger1", "name1", "command1", "MPLAB", "c:\\program files\\mplab ide\\dlls\\mplab.exe %P"},
    {"debugger2", "name2", "command2", "", ""},
    {"debugger3", "name3", "command3", "", ""},
};

// The placeholders in the order they are replaced, and the characters that stand for them while
// the arguments are split (private-use characters, which no template holds).
const char *const kPlaceholders[] = {"%P", "%C", "%H", "%D"};
constexpr char16_t kMarkFirst = 0xE000;

bool IsBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

// Splits a parameter text into arguments: blanks separate them, double quotes group (and are
// dropped), two double quotes inside a quoted part stand for one.
QStringList SplitArguments(const QString &text)
{
    QStringList args;
    QString current;
    bool inArgument = false;
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('"')) {
            if (quoted && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('"')) {
                current += c;
                ++i;
            } else {
                quoted = !quoted;
            }
            inArgument = true;
        } else if (IsBlank(c) && !quoted) {
            if (inArgument)
                args << current;
            current.clear();
            inArgument = false;
        } else {
            current += c;
            inArgument = true;
        }
    }
    if (inArgument)
        args << current;
    return args;
}

// The processor number of a project file's PROJECT section: "0x" and the hexadecimal number in
// the next four characters, or a decimal number; 0 when missing or unreadable.
int ProjectProcessor(const QString &projectFile)
{
    const QString text = QFileInfo::exists(projectFile)
                             ? TIniFile(projectFile).ReadString(QStringLiteral("PROJECT"), QStringLiteral("Processor")).trimmed()
                             : QString();
    bool ok = false;
    const int value = text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive) ? text.mid(2, 4).toInt(&ok, 16)
                                                                                : text.toInt(&ok, 10);
    return ok ? value : 0;
}

QString ResolveProgram(const QString &program)
{
    if (program.isEmpty() || program.contains(QLatin1Char('/')))
        return program;
    const QString found = QStandardPaths::findExecutable(program);
    return found.isEmpty() ? program : found;
}

}  // namespace

const TToolSlotInfo &ToolSlotInfo(TToolSlotId slot)
{
    return kSlots[slot];
}

QString EncodeToolCommand(const QString &command)
{
    QString stored = command;
    stored.replace(QLatin1Char('"'), QLatin1Char('{'));
    if (stored.contains(QLatin1String("am files")))
        stored = QLatin1Char('"') + stored + QLatin1Char('"');
    return stored;
}

QString DecodeToolCommand(const QString &stored)
{
    QString command = stored;
    if (command.size() >= 2 && command.startsWith(QLatin1Char('"')) && command.endsWith(QLatin1Char('"')))
        command = command.mid(1, command.size() - 2);
    command.replace(QLatin1Char('{'), QLatin1Char('"'));
    return command;
}

TToolSettings::TToolSettings()
{
    for (int i = 0; i < tsSlotCount; ++i)
        m_slots[size_t(i)] = {QString::fromLatin1(kSlots[i].defaultName), QString::fromLatin1(kSlots[i].defaultCommand)};
}

void TToolSettings::Load(const TIniFile &ini)
{
    for (int i = 0; i < tsSlotCount; ++i) {
        const QString section = QString::fromLatin1(kSlots[i].section);
        TToolSlot &slot = m_slots[size_t(i)];
        slot.name = ini.ReadString(section, QStringLiteral("name"), slot.name);
        if (ini.ValueExists(section, QStringLiteral("command")))
            slot.command = DecodeToolCommand(ini.ReadString(section, QStringLiteral("command")));
    }
}

bool TToolSettings::Save(TIniFile &ini) const
{
    TIniFile::Batch batch(ini);
    for (int i = 0; i < tsSlotCount; ++i) {
        const QString section = QString::fromLatin1(kSlots[i].section);
        batch.WriteString(section, QStringLiteral("name"), m_slots[size_t(i)].name);
        batch.WriteString(section, QStringLiteral("command"), EncodeToolCommand(m_slots[size_t(i)].command));
    }
    return batch.Commit();
}

TToolCommandState ToolCommandState(const TToolSettings &settings, TToolSlotId slot)
{
    const TToolSlot &s = settings.Slot(slot);
    TToolCommandState state;
    state.visible = !s.name.isEmpty();
    state.caption = s.name;
    if (slot >= tsDebugger1) {
        const QString upper = s.command.toUpper();
        if (upper.contains(QLatin1String("ICEPIC")))
            state.image = tiIcepic;
        else if (upper.contains(QLatin1String("MPLAB")))
            state.image = tiMplab;
    }
    return state;
}

QString TToolCommand::Display() const
{
    QStringList parts;
    for (const QString &part : QStringList{program} + arguments) {
        if (part.isEmpty() || part.contains(QLatin1Char(' ')) || part.contains(QLatin1Char('\t')))
            parts << QLatin1Char('"') + part + QLatin1Char('"');
        else
            parts << part;
    }
    return parts.join(QLatin1Char(' '));
}

QString ToolProgramPath(const QString &command, QString *rest)
{
    QString program;
    QString after;
    if (command.startsWith(QLatin1Char('"'))) {
        const qsizetype close = command.indexOf(QLatin1Char('"'), 1);
        program = close < 0 ? command.mid(1) : command.mid(1, close - 1);
        after = close < 0 ? QString() : command.mid(close + 1);
    } else {
        qsizetype end = -1;
        // The suffix has to end a word: "my.executables/prog" names no ".exe" program.
        for (const char *suffix : {".exe", ".com", ".bat"}) {
            for (qsizetype at = command.indexOf(QLatin1String(suffix), 0, Qt::CaseInsensitive); at >= 0;
                 at = command.indexOf(QLatin1String(suffix), at + 1, Qt::CaseInsensitive)) {
                const qsizetype next = at + 4;
                if (next == command.size() || IsBlank(command.at(next))) {
                    end = next;
                    break;
                }
            }
            if (end >= 0)
                break;
        }
        if (end < 0) {
            end = command.size();
            for (qsizetype i = 0; i < command.size(); ++i) {
                if (IsBlank(command.at(i))) {
                    end = i;
                    break;
                }
            }
        }
        program = command.left(end);
        after = command.mid(end);
    }
    if (rest)
        *rest = after;
    return program;
}

QString BasePartNumber(const QString &hexFile, const QString &programPath)
{
    QByteArray data;
    if (hexFile.isEmpty() || !ReadWholeFile(hexFile, data))
        return {};
    QList<QByteArray> lines = data.split('\n');
    while (!lines.isEmpty() && lines.last().trimmed().isEmpty())
        lines.removeLast();
    if (lines.isEmpty())
        return {};
    QByteArray last = lines.last();
    if (last.endsWith('\r'))
        last.chop(1);
    QString part = QString::fromLatin1(last.mid(1));
    if (programPath.contains(QLatin1String("WARP"), Qt::CaseInsensitive) && part.startsWith(QLatin1String("PIC")))
        part.remove(0, 3);
    return part;
}

TToolCommand ExpandToolCommand(const TToolSlot &slot, const TLaunchContext &context)
{
    TToolCommand result;
    QString rest;
    result.program = ToolProgramPath(slot.command, &rest);
    if (context.base.isEmpty())
        return result;

    const bool mplabProject = slot.name.toUpper().contains(QLatin1String("MPLAB"))
                           && result.program.contains(QLatin1String("DLLS"), Qt::CaseInsensitive);
    const QString values[] = {
        context.base + (mplabProject ? QStringLiteral(".mcp") : QStringLiteral(".pjt")),
        context.base + QStringLiteral(".cod"),
        context.hexFile,
        BasePartNumber(context.hexFile, result.program),
    };
    // Each placeholder's first occurrence becomes a mark first, so a value is never read again.
    for (int p = 0; p < 4; ++p) {
        const qsizetype at = rest.indexOf(QLatin1String(kPlaceholders[p]), 0, Qt::CaseInsensitive);
        if (at >= 0)
            rest.replace(at, 2, QChar(char16_t(kMarkFirst + p)));
    }
    for (QString arg : SplitArguments(rest)) {
        for (int p = 0; p < 4; ++p)
            arg.replace(QChar(char16_t(kMarkFirst + p)), values[p]);
        result.arguments << arg;
    }
    return result;
}

TLaunchEnvironment DefaultLaunchEnvironment()
{
    TLaunchEnvironment env;
    env.settingsFile = SettingsFilePath();
    env.icepicSettings = QDir::homePath() + QStringLiteral("/.wine/drive_c/windows/icepic32.ini");
    env.setupProgram = CompilerProgramDir() + QStringLiteral("vync");
    return env;
}

bool PrepareToolFiles(const TToolSlot &slot, const TLaunchContext &context,
                      const TLaunchEnvironment &environment, QString *error)
{
    if (context.base.isEmpty())
        return true;
    const QString upperCommand = slot.command.toUpper();
    if (slot.name.toUpper().contains(QLatin1String("MPLAB"))) {
        if (upperCommand.contains(QLatin1String("DLLS")) || upperCommand.contains(QLatin1String("CORE"))) {
            // An existing project file is kept as it is.
            if (CreateMplabProjectFile(context.base, QStringLiteral("c"), 0, context.includes, 1) == trFailed) {
                *error = QStringLiteral("Cannot write ") + context.base + QStringLiteral(".mcp");
                return false;
            }
        } else {
            const QString mplab = TIniFile(environment.settingsFile).ReadString(QStringLiteral("KIV"), QStringLiteral("MPLAB")).trimmed();
            if (!mplab.isEmpty()) {
                const QString settings = mplab.left(mplab.size() - 3) + QStringLiteral("ini");
                const int processor = ProjectProcessor(context.base + QStringLiteral(".pjt"));
                TIniFile ini(settings);
                const QString value = QStringLiteral("0x")
                                    + QStringLiteral("%1").arg(processor & 0xFFFF, 4, 16, QLatin1Char('0')).toUpper();
                if (!ini.WriteString(QStringLiteral("configuration"), QStringLiteral("Processor"), value)) {
                    *error = QStringLiteral("Cannot write ") + settings;
                    return false;
                }
            } else if (QFileInfo(environment.setupProgram).isExecutable()) {
                // The compiler program asks where MPLAB is; the launch goes on when it is done.
                QProcess setup;
                setup.start(environment.setupProgram, {QStringLiteral("+SETUP")});
                if (setup.waitForStarted())
                    setup.waitForFinished(120000);
            }
        }
    }
    if (upperCommand.contains(QLatin1String("ICEPIC32"))) {
        TIniFile ini(environment.icepicSettings);
        TIniFile::Batch batch(ini);
        batch.WriteString(QStringLiteral("Main Window"), QStringLiteral("File"), context.base + QStringLiteral(".cod"));
        batch.WriteString(QStringLiteral("Editor"), QStringLiteral("Load"), QStringLiteral("2"));
        batch.WriteString(QStringLiteral("Emul"), QStringLiteral("CodeMem"), QStringLiteral("56"));
        batch.WriteString(QStringLiteral("Recent File List"), QStringLiteral("File1"), context.base + QStringLiteral(".c"));
        if (!batch.Commit()) {
            *error = QStringLiteral("Cannot write ") + environment.icepicSettings;
            return false;
        }
    }
    return true;
}

TLaunchResult LaunchTool(const TToolSlot &slot, const TLaunchContext &context,
                         const TLaunchEnvironment &environment)
{
    TLaunchResult result;
    // The known tools' files come first, as they read them when they start.
    if (!PrepareToolFiles(slot, context, environment, &result.error))
        return result;
    result.command = ExpandToolCommand(slot, context);
    const QString program = ResolveProgram(result.command.program);
    if (program.isEmpty() || !QFileInfo(program).isFile()) {
        result.error = QStringLiteral("Cannot find program: ") + result.command.program;
        return result;
    }
    QProcess process;
    process.setProgram(program);
    process.setArguments(result.command.arguments);
    process.setWorkingDirectory(context.base.isEmpty() ? QFileInfo(program).absolutePath()
                                                       : QFileInfo(context.base).absolutePath());
    if (!process.startDetached(&result.pid)) {
        result.error = QStringLiteral("Cannot start ") + program + QStringLiteral(": ") + process.errorString();
        return result;
    }
    result.started = true;
    return result;
}

}  // namespace kiv

#pragma once

// The pre-processor: reads the main file and its includes, removes comments, expands macros,
// evaluates conditionals and hands the parser one stream of tokens. Directives of the dialect
// that concern the program (#device, #fuses, #use, #int_xxx, #byte, #bit, #locate, #rom ...)
// reach the parser as a directive token, the line's tokens and an end token.

#include "vync_diag.h"

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace kiv::vync {

enum class TTok { End, Ident, Number, String, Char, Punct, Directive, DirectiveEnd };

struct TToken {
    TTok kind = TTok::End;
    std::string text;       /// identifier, punctuator, directive name (lower case), decoded string
    std::uint64_t value = 0;   /// numbers and characters
    bool isFloat = false;      /// a number with a fraction or exponent
    bool isLong = false;       /// a number with an L suffix
    bool spaceBefore = false;
    TSourceSpan at;
    std::shared_ptr<const std::set<std::string>> hide;   /// macros not to expand again

    bool Is(const char *punct) const { return kind == TTok::Punct && text == punct; }
    bool IsIdent(const char *name) const { return kind == TTok::Ident && text == name; }
};

struct TMacro {
    bool functionLike = false;
    bool variadic = false;
    std::vector<std::string> params;
    std::vector<TToken> body;
    TSourceSpan at;
};

/// Where includes are searched, and the macros given from outside.
struct TPreprocessOptions {
    std::vector<std::string> includeDirs;   /// the project's include folders, in order
    std::vector<std::string> systemDirs;    /// the installation's devices/ and drivers/
    std::vector<std::pair<std::string, std::string>> defines;   /// NAME, value
};

class TPreprocessor {
public:
    TPreprocessor(TMessages &messages, TPreprocessOptions options);

    /// Pre-processes `mainFile`; the tokens end with one End token. False when the main file
    /// can not be read (the error is reported).
    bool Run(const std::string &mainFile, std::vector<TToken> *out);

    /// Every file read, main file first (absolute paths).
    const std::vector<std::string> &Files() const { return m_files; }
    /// Source lines read, over all files.
    long LineCount() const { return m_lineCount; }

private:
    struct TCondition {
        bool active;      // lines of this branch are taken
        bool taken;       // some branch was taken already
        bool sawElse;
        bool parentActive;
        TSourceSpan at;
    };

    bool ProcessFile(const std::string &path, int depth, const TSourceSpan &includedFrom);
    void LexLine(const std::string &line, int file, int lineNo, bool *inComment, std::vector<TToken> *out);
    void Directive(std::vector<TToken> &line, int depth, const std::string &currentFile);
    void Flush();
    void Expand(std::vector<TToken> in, std::vector<TToken> *out);
    bool CollectArguments(std::vector<TToken> &input, std::size_t &pos, const TMacro &macro,
                          const TToken &name, std::vector<std::vector<TToken>> *args);
    std::vector<TToken> Substitute(const TMacro &macro, const std::vector<std::vector<TToken>> &args,
                                   const TToken &name);
    bool EvaluateCondition(std::vector<TToken> tokens, const TSourceSpan &at);
    std::string FindInclude(const std::string &name, bool system, const std::string &currentFile);
    bool Active() const { return m_conditions.empty() || m_conditions.back().active; }

    TMessages &m_messages;
    TPreprocessOptions m_options;
    std::map<std::string, TMacro> m_macros;
    std::vector<TCondition> m_conditions;
    std::vector<TToken> m_pending;   // text lines waiting for macro expansion
    std::vector<TToken> *m_out = nullptr;
    std::vector<std::string> m_files;
    long m_lineCount = 0;
    std::set<std::string> m_onceFiles;
};

/// Decodes the value of an integer literal ("0x1F", "0b101", "017", "42", with U/L suffixes).
bool ParseIntegerLiteral(const std::string &text, std::uint64_t *value, bool *isLong);

}  // namespace kiv::vync

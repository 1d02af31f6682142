#include "vync_pp.h"

#include <algorithm>
#include <cctype>
#include <ctime>
#include <deque>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace kiv::vync {

namespace fs = std::filesystem;

namespace {

constexpr int kMaxIncludeDepth = 32;
constexpr std::size_t kMaxFileBytes = 16u * 1024 * 1024;
constexpr int kMaxExpansionSteps = 1000000;

bool IsIdentStart(unsigned char c) { return std::isalpha(c) || c == '_'; }
bool IsIdentChar(unsigned char c) { return std::isalnum(c) || c == '_'; }

// Punctuators, longest first.
const char *const kPuncts[] = {
    "<<=", ">>=", "...", "->", "++", "--", "<<", ">>", "<=", ">=", "==", "!=", "&&", "||", "+=", "-=",
    "*=",  "/=",  "%=",  "&=", "|=", "^=", "##", "{",  "}",  "[",  "]",  "(",  ")",  ";",  ",",  ":",
    "?",   ".",   "+",   "-",  "*",  "/",  "%",  "&",  "|",  "^",  "~",  "!",  "=",  "<",  ">",  "#",
};

// Character columns count UTF-8 sequences as one character.
int Column(const std::string &line, std::size_t byte)
{
    int column = 1;
    for (std::size_t i = 0; i < byte && i < line.size(); ++i) {
        if ((static_cast<unsigned char>(line[i]) & 0xC0) != 0x80)
            ++column;
    }
    return column;
}

std::string Lower(std::string s)
{
    for (char &c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

int EscapeValue(const std::string &s, std::size_t &i)
{
    // s[i] is the character after the backslash; i ends on the last character used.
    const char c = s[i];
    switch (c) {
    case 'n': return '\n';
    case 'r': return '\r';
    case 't': return '\t';
    case 'a': return 7;
    case 'b': return 8;
    case 'f': return 12;
    case 'v': return 11;
    case 'x': {
        int v = 0;
        int n = 0;
        while (i + 1 < s.size() && std::isxdigit(static_cast<unsigned char>(s[i + 1])) && n < 2) {
            ++i;
            ++n;
            const char h = s[i];
            v = v * 16 + (std::isdigit(static_cast<unsigned char>(h)) ? h - '0' : std::tolower(h) - 'a' + 10);
        }
        return v;
    }
    default:
        if (c >= '0' && c <= '7') {
            int v = c - '0';
            int n = 1;
            while (i + 1 < s.size() && s[i + 1] >= '0' && s[i + 1] <= '7' && n < 3) {
                ++i;
                ++n;
                v = v * 8 + (s[i] - '0');
            }
            return v & 0xFF;
        }
        return static_cast<unsigned char>(c);
    }
}

std::string Spelling(const TToken &t)
{
    switch (t.kind) {
    case TTok::String: {
        std::string s = "\"";
        for (char c : t.text) {
            if (c == '"' || c == '\\')
                s += '\\';
            s += c;
        }
        return s + "\"";
    }
    case TTok::Char:
        return "'" + t.text + "'";
    default:
        return t.text;
    }
}

}  // namespace

bool ParseIntegerLiteral(const std::string &text, std::uint64_t *value, bool *isLong)
{
    std::string s = text;
    bool longSuffix = false;
    while (!s.empty() && (s.back() == 'u' || s.back() == 'U' || s.back() == 'l' || s.back() == 'L')) {
        if (s.back() == 'l' || s.back() == 'L')
            longSuffix = true;
        s.pop_back();
    }
    if (isLong)
        *isLong = longSuffix;
    if (s.empty())
        return false;
    int base = 10;
    std::size_t i = 0;
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        base = 16;
        i = 2;
    } else if (s.size() > 2 && s[0] == '0' && (s[1] == 'b' || s[1] == 'B')) {
        base = 2;
        i = 2;
    } else if (s.size() > 1 && s[0] == '0') {
        base = 8;
        i = 1;
    }
    std::uint64_t v = 0;
    for (; i < s.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        int d;
        if (std::isdigit(c))
            d = c - '0';
        else if (std::isalpha(c))
            d = std::tolower(c) - 'a' + 10;
        else
            return false;
        if (d >= base)
            return false;
        if (v > (UINT64_MAX - static_cast<std::uint64_t>(d)) / static_cast<std::uint64_t>(base))
            return false;
        v = v * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(d);
    }
    *value = v;
    return true;
}

TPreprocessor::TPreprocessor(TMessages &messages, TPreprocessOptions options)
    : m_messages(messages), m_options(std::move(options))
{
}

bool TPreprocessor::Run(const std::string &mainFile, std::vector<TToken> *out)
{
    m_out = out;
    const auto predefine = [this](const std::string &name, const std::string &value) {
        std::vector<TToken> tokens;
        bool inComment = false;
        LexLine(value, -1, 0, &inComment, &tokens);
        TMacro macro;
        macro.body = tokens;
        m_macros[name] = macro;
    };
    predefine("__VYNC__", "1");
    char date[32] = "";
    char time[32] = "";
    const std::time_t now = std::time(nullptr);
    if (const std::tm *tm = std::localtime(&now)) {
        std::strftime(date, sizeof date, "\"%d-%b-%y\"", tm);
        std::strftime(time, sizeof time, "\"%H:%M:%S\"", tm);
    }
    predefine("__DATE__", date);
    predefine("__TIME__", time);
    for (const auto &[name, value] : m_options.defines)
        predefine(name, value.empty() ? "1" : value);

    std::error_code ec;
    fs::path main = fs::absolute(mainFile, ec).lexically_normal();
    const bool ok = ProcessFile(main.string(), 0, {});
    Flush();
    while (!m_conditions.empty()) {
        m_messages.Error(vmConditional, m_conditions.back().at, "#if without #endif");
        m_conditions.pop_back();
    }
    TToken end;
    end.kind = TTok::End;
    if (!out->empty())
        end.at = out->back().at;
    else
        end.at = {0, 1, 0, 0};
    out->push_back(end);
    return ok;
}

bool TPreprocessor::ProcessFile(const std::string &path, int depth, const TSourceSpan &includedFrom)
{
    const int file = m_messages.FileIndex(path);
    std::ifstream in(path, std::ios::binary);
    std::string data;
    if (in) {
        std::ostringstream buffer;
        buffer << in.rdbuf();
        data = buffer.str();
    }
    std::error_code ec;
    if (!in || !fs::is_regular_file(path, ec) || data.size() > kMaxFileBytes) {
        const TSourceSpan where = includedFrom.file >= 0 ? includedFrom : TSourceSpan{file, 1, 0, 0};
        m_messages.Error(vmFileMissing, where, "Can not read the file " + path);
        return false;
    }
    if (data.find('\0') != std::string::npos) {
        const TSourceSpan where = includedFrom.file >= 0 ? includedFrom : TSourceSpan{file, 1, 0, 0};
        m_messages.Error(vmFileMissing, where, "The file " + path + " is not a text file");
        return false;
    }
    if (std::find(m_files.begin(), m_files.end(), path) == m_files.end())
        m_files.push_back(path);

    // Physical lines, then logical lines joined at a backslash before the line end.
    std::vector<std::string> lines;
    {
        std::size_t start = 0;
        while (start < data.size()) {
            std::size_t end = data.find('\n', start);
            if (end == std::string::npos)
                end = data.size();
            std::string line = data.substr(start, end - start);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            lines.push_back(std::move(line));
            start = end + 1;
        }
    }
    m_lineCount += static_cast<long>(lines.size());

    bool inComment = false;
    const std::size_t conditionDepth = m_conditions.size();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const int lineNo = static_cast<int>(i + 1);
        std::string text = lines[i];
        // Continuation lines are joined; their tokens report the first line.
        while (!text.empty() && text.back() == '\\' && i + 1 < lines.size()) {
            text.pop_back();
            text += lines[++i];
        }
        const bool startedInComment = inComment;
        std::vector<TToken> tokens;
        LexLine(text, file, lineNo, &inComment, &tokens);
        if (!startedInComment && !tokens.empty() && tokens.front().Is("#") ) {
            // A directive line: "#" at the start (after blanks) of a line outside a comment.
            Flush();
            Directive(tokens, depth, path);
            if (m_messages.TooMany())
                return true;
            continue;
        }
        if (!Active())
            continue;
        for (TToken &t : tokens)
            m_pending.push_back(std::move(t));
    }
    if (inComment)
        m_messages.Error(vmUnterminated, {file, static_cast<int>(lines.size()), 0, 0}, "Comment does not end");
    Flush();
    while (m_conditions.size() > conditionDepth) {
        m_messages.Error(vmConditional, m_conditions.back().at, "#if without #endif");
        m_conditions.pop_back();
    }
    return true;
}

void TPreprocessor::LexLine(const std::string &line, int file, int lineNo, bool *inComment,
                            std::vector<TToken> *out)
{
    std::size_t i = 0;
    bool space = true;
    const std::size_t n = line.size();
    while (i < n) {
        if (*inComment) {
            const std::size_t end = line.find("*/", i);
            if (end == std::string::npos)
                return;
            i = end + 2;
            *inComment = false;
            space = true;
            continue;
        }
        const unsigned char c = static_cast<unsigned char>(line[i]);
        if (c == ' ' || c == '\t' || c == '\f' || c == '\v' || c == '\r') {
            ++i;
            space = true;
            continue;
        }
        if (c == '/' && i + 1 < n && line[i + 1] == '/')
            return;
        if (c == '/' && i + 1 < n && line[i + 1] == '*') {
            *inComment = true;
            i += 2;
            continue;
        }
        TToken t;
        t.spaceBefore = space;
        space = false;
        const std::size_t start = i;
        if (IsIdentStart(c)) {
            while (i < n && IsIdentChar(static_cast<unsigned char>(line[i])))
                ++i;
            t.kind = TTok::Ident;
            t.text = line.substr(start, i - start);
        } else if (std::isdigit(c) || (c == '.' && i + 1 < n && std::isdigit(static_cast<unsigned char>(line[i + 1])))) {
            // A number, with its suffixes and, for floats, fraction and exponent.
            bool hex = c == '0' && i + 1 < n && (line[i + 1] == 'x' || line[i + 1] == 'X');
            while (i < n) {
                const unsigned char d = static_cast<unsigned char>(line[i]);
                if (std::isalnum(d) || d == '_') {
                    if (!hex && (d == 'e' || d == 'E') && i + 1 < n && (line[i + 1] == '+' || line[i + 1] == '-')) {
                        t.isFloat = true;
                        i += 2;
                        continue;
                    }
                    ++i;
                } else if (d == '.' && !hex) {
                    t.isFloat = true;
                    ++i;
                } else {
                    break;
                }
            }
            t.kind = TTok::Number;
            t.text = line.substr(start, i - start);
            if (!t.isFloat && !hex) {
                const std::string lower = Lower(t.text);
                if (lower.find('e') != std::string::npos && lower.find("0b") != 0)
                    t.isFloat = true;
            }
            if (!t.isFloat && !ParseIntegerLiteral(t.text, &t.value, &t.isLong)) {
                m_messages.Error(vmBadNumber, {file, lineNo, Column(line, start), Column(line, i)},
                                 "Bad number: " + t.text);
                t.value = 0;
            }
        } else if (c == '"' || c == '\'') {
            ++i;
            std::string value;
            bool closed = false;
            while (i < n) {
                const char d = line[i];
                if (d == static_cast<char>(c)) {
                    closed = true;
                    ++i;
                    break;
                }
                if (d == '\\' && i + 1 < n) {
                    ++i;
                    value += static_cast<char>(EscapeValue(line, i));
                    ++i;
                    continue;
                }
                value += d;
                ++i;
            }
            if (!closed) {
                m_messages.Error(vmUnterminated, {file, lineNo, Column(line, start), Column(line, n)},
                                 c == '"' ? "String does not end on its line" : "Character constant does not end");
            }
            if (c == '"') {
                t.kind = TTok::String;
                t.text = value;
            } else {
                t.kind = TTok::Char;
                t.text = line.substr(start + 1, (closed ? i - 1 : i) - start - 1);
                t.value = value.empty() ? 0 : static_cast<unsigned char>(value[0]);
                if (value.size() == 2)   // 'ab' in the old style: two bytes
                    t.value = (static_cast<unsigned char>(value[0]) << 8) | static_cast<unsigned char>(value[1]);
            }
        } else {
            bool found = false;
            for (const char *p : kPuncts) {
                const std::size_t len = std::char_traits<char>::length(p);
                if (line.compare(i, len, p) == 0) {
                    t.kind = TTok::Punct;
                    t.text = p;
                    i += len;
                    found = true;
                    break;
                }
            }
            if (!found) {
                // One character (a whole UTF-8 sequence) that is no part of C.
                std::size_t end = i + 1;
                while (end < n && (static_cast<unsigned char>(line[end]) & 0xC0) == 0x80)
                    ++end;
                m_messages.Error(vmBadCharacter, {file, lineNo, Column(line, i), Column(line, end)},
                                 "Character not allowed here: \"" + line.substr(i, end - i) + "\"");
                i = end;
                continue;
            }
        }
        t.at = {file, lineNo, Column(line, start), Column(line, i)};
        out->push_back(std::move(t));
    }
}

std::string TPreprocessor::FindInclude(const std::string &name, bool system, const std::string &currentFile)
{
    std::vector<fs::path> dirs;
    if (!system)
        dirs.push_back(fs::path(currentFile).parent_path());
    for (const std::string &d : m_options.includeDirs) {
        fs::path p = d;
        if (p.is_relative() && !m_files.empty())
            p = fs::path(m_files.front()).parent_path() / p;
        dirs.push_back(p);
    }
    if (system && !m_files.empty())
        dirs.push_back(fs::path(m_files.front()).parent_path());
    for (const std::string &d : m_options.systemDirs)
        dirs.push_back(d);
    std::error_code ec;
    fs::path given = name;
    if (given.is_absolute())
        return fs::is_regular_file(given, ec) ? given.lexically_normal().string() : std::string();
    for (const fs::path &dir : dirs) {
        const fs::path candidate = dir / given;
        if (fs::is_regular_file(candidate, ec))
            return fs::absolute(candidate, ec).lexically_normal().string();
    }
    // Sources written on systems whose file names ignore case.
    const std::string lowerName = Lower(given.filename().string());
    for (const fs::path &dir : dirs) {
        const fs::path folder = (dir / given).parent_path();
        if (!fs::is_directory(folder, ec))
            continue;
        for (const fs::directory_entry &entry : fs::directory_iterator(folder, ec)) {
            if (entry.is_regular_file(ec) && Lower(entry.path().filename().string()) == lowerName)
                return fs::absolute(entry.path(), ec).lexically_normal().string();
        }
    }
    return {};
}

void TPreprocessor::Directive(std::vector<TToken> &line, int depth, const std::string &currentFile)
{
    const TSourceSpan hashAt = line.front().at;
    if (line.size() == 1)
        return;   // the null directive
    const TToken nameToken = line[1];
    std::string name = nameToken.kind == TTok::Ident ? nameToken.text : std::string();
    const std::string lower = Lower(name);
    std::vector<TToken> rest(line.begin() + 2, line.end());
    const TSourceSpan at = {hashAt.file, hashAt.line, hashAt.column, nameToken.at.endColumn};

    // Conditionals are looked at even in skipped lines.
    if (lower == "if" || lower == "ifdef" || lower == "ifndef") {
        TCondition c{false, false, false, Active(), at};
        if (c.parentActive) {
            bool value = false;
            if (lower == "if") {
                value = EvaluateCondition(rest, at);
            } else if (rest.empty() || rest.front().kind != TTok::Ident) {
                m_messages.Error(vmBadDirective, at, "#" + lower + " needs a name");
            } else {
                value = m_macros.count(rest.front().text) != 0;
                if (lower == "ifndef")
                    value = !value;
            }
            c.active = value;
            c.taken = value;
        }
        m_conditions.push_back(c);
        return;
    }
    if (lower == "elif" || lower == "else" || lower == "endif") {
        if (m_conditions.empty()) {
            m_messages.Error(vmConditional, at, "#" + lower + " without #if");
            return;
        }
        TCondition &c = m_conditions.back();
        if (lower == "endif") {
            m_conditions.pop_back();
            return;
        }
        if (c.sawElse) {
            m_messages.Error(vmConditional, at, "#" + lower + " after #else");
            return;
        }
        if (lower == "else") {
            c.sawElse = true;
            c.active = c.parentActive && !c.taken;
            c.taken = true;
        } else {
            bool value = false;
            if (c.parentActive && !c.taken)
                value = EvaluateCondition(rest, at);
            c.active = c.parentActive && !c.taken && value;
            c.taken = c.taken || c.active;
        }
        return;
    }
    if (!Active())
        return;

    if (lower == "include") {
        std::string file;
        bool system = false;
        std::vector<TToken> expanded;
        if (!rest.empty() && rest.front().kind == TTok::String) {
            file = rest.front().text;
        } else {
            Expand(rest, &expanded);
            if (!expanded.empty() && expanded.front().kind == TTok::String) {
                file = expanded.front().text;
            } else if (!expanded.empty() && expanded.front().Is("<")) {
                system = true;
                for (std::size_t i = 1; i < expanded.size() && !expanded[i].Is(">"); ++i)
                    file += (expanded[i].spaceBefore && i > 1 ? " " : "") + Spelling(expanded[i]);
            }
        }
        if (file.empty()) {
            m_messages.Error(vmBadDirective, at, "#include needs a file name in \"\" or <>");
            return;
        }
        if (depth + 1 > kMaxIncludeDepth) {
            m_messages.Error(vmIncludeDepth, at, "Includes nested too deep at " + file);
            return;
        }
        const std::string found = FindInclude(file, system, currentFile);
        if (found.empty()) {
            TSourceSpan where = at;
            if (!rest.empty())
                where.endColumn = rest.back().at.endColumn;
            m_messages.Error(vmFileMissing, where, "Can not find the include file " + file);
            return;
        }
        if (m_onceFiles.count(found))
            return;
        ProcessFile(found, depth + 1, at);
        return;
    }
    if (lower == "define") {
        if (rest.empty() || rest.front().kind != TTok::Ident) {
            m_messages.Error(vmBadDirective, at, "#define needs a name");
            return;
        }
        TMacro macro;
        macro.at = rest.front().at;
        const std::string macroName = rest.front().text;
        std::size_t i = 1;
        if (rest.size() > 1 && rest[1].Is("(") && !rest[1].spaceBefore) {
            macro.functionLike = true;
            i = 2;
            bool closed = false;
            while (i < rest.size()) {
                if (rest[i].Is(")")) {
                    closed = true;
                    ++i;
                    break;
                }
                if (rest[i].kind == TTok::Ident) {
                    macro.params.push_back(rest[i].text);
                } else if (rest[i].Is("...")) {
                    macro.variadic = true;
                    macro.params.push_back("__VA_ARGS__");
                } else if (!rest[i].Is(",")) {
                    break;
                }
                ++i;
            }
            if (!closed) {
                m_messages.Error(vmBadDirective, rest.front().at, "Bad parameter list of macro " + macroName);
                return;
            }
        }
        macro.body.assign(rest.begin() + static_cast<long>(i), rest.end());
        m_macros[macroName] = std::move(macro);
        return;
    }
    if (lower == "undef" || lower == "undefine") {
        if (!rest.empty() && rest.front().kind == TTok::Ident)
            m_macros.erase(rest.front().text);
        return;
    }
    if (lower == "error" || lower == "warning") {
        std::string text;
        for (const TToken &t : rest)
            text += (text.empty() || !t.spaceBefore ? "" : " ") + Spelling(t);
        if (lower == "error")
            m_messages.Error(vmErrorDirective, at, "#error " + text);
        else
            m_messages.Warning(vmwUserWarning, at, "#warning " + text);
        return;
    }
    if (lower == "pragma") {
        if (!rest.empty() && rest.front().IsIdent("once")) {
            m_onceFiles.insert(currentFile);
            return;
        }
        // "#pragma xxx" is the dialect's spelling of "#xxx".
        if (rest.empty())
            return;
        std::vector<TToken> again;
        again.push_back(line.front());
        again.insert(again.end(), rest.begin(), rest.end());
        Directive(again, depth, currentFile);
        return;
    }
    if (lower == "line")
        return;
    if (name.empty()) {
        m_messages.Error(vmBadDirective, at, "Bad pre-processor directive");
        return;
    }
    // A directive of the dialect: hand it to the parser with its tokens expanded.
    TToken start = nameToken;
    start.kind = TTok::Directive;
    start.text = lower;
    start.at = at;
    m_out->push_back(start);
    std::vector<TToken> expanded;
    Expand(rest, &expanded);
    for (TToken &t : expanded)
        m_out->push_back(std::move(t));
    TToken end;
    end.kind = TTok::DirectiveEnd;
    end.at = line.back().at;
    end.at.column = end.at.endColumn;
    m_out->push_back(end);
}

void TPreprocessor::Flush()
{
    if (m_pending.empty())
        return;
    std::vector<TToken> pending;
    pending.swap(m_pending);
    Expand(std::move(pending), m_out);
}

bool TPreprocessor::CollectArguments(std::vector<TToken> &input, std::size_t &pos, const TMacro &macro,
                                     const TToken &name, std::vector<std::vector<TToken>> *args)
{
    // input[pos] is "(".
    ++pos;
    int level = 0;
    args->clear();
    args->emplace_back();
    while (pos < input.size()) {
        TToken &t = input[pos];
        if (t.Is("(")) {
            ++level;
        } else if (t.Is(")")) {
            if (level == 0) {
                ++pos;
                if (args->size() == 1 && args->front().empty() && macro.params.empty())
                    args->clear();
                const std::size_t want = macro.params.size();
                if (macro.variadic ? args->size() + 1 < want : args->size() != want) {
                    // A single empty argument counts for one parameter.
                    if (!(want == 1 && args->empty()))
                        m_messages.Error(vmMacroArguments, name.at, "Wrong number of arguments for macro " + name.text);
                    while (args->size() < want)
                        args->emplace_back();
                }
                return true;
            }
            --level;
        } else if (t.Is(",") && level == 0 &&
                   !(macro.variadic && args->size() >= macro.params.size())) {
            args->emplace_back();
            ++pos;
            continue;
        }
        args->back().push_back(t);
        ++pos;
    }
    m_messages.Error(vmMacroArguments, name.at, "Macro call " + name.text + " does not end");
    return false;
}

std::vector<TToken> TPreprocessor::Substitute(const TMacro &macro, const std::vector<std::vector<TToken>> &args,
                                              const TToken &name)
{
    const auto paramIndex = [&](const TToken &t) -> int {
        if (t.kind != TTok::Ident)
            return -1;
        for (std::size_t i = 0; i < macro.params.size(); ++i) {
            if (macro.params[i] == t.text)
                return static_cast<int>(i);
        }
        return -1;
    };
    std::vector<TToken> result;
    const std::vector<TToken> &body = macro.body;
    for (std::size_t i = 0; i < body.size(); ++i) {
        const TToken &t = body[i];
        if (macro.functionLike && t.Is("#") && i + 1 < body.size() && paramIndex(body[i + 1]) >= 0) {
            const auto &arg = args[static_cast<std::size_t>(paramIndex(body[i + 1]))];
            TToken s;
            s.kind = TTok::String;
            for (std::size_t k = 0; k < arg.size(); ++k)
                s.text += (k > 0 && arg[k].spaceBefore ? " " : "") + Spelling(arg[k]);
            s.spaceBefore = t.spaceBefore;
            result.push_back(s);
            ++i;
            continue;
        }
        const int p = macro.functionLike ? paramIndex(t) : -1;
        if (p >= 0) {
            const auto &arg = args[static_cast<std::size_t>(p)];
            const bool pasted = (i + 1 < body.size() && body[i + 1].Is("##")) || (i > 0 && body[i - 1].Is("##"));
            if (pasted) {
                result.insert(result.end(), arg.begin(), arg.end());
            } else {
                std::vector<TToken> expanded;
                Expand(arg, &expanded);
                if (!expanded.empty())
                    expanded.front().spaceBefore = t.spaceBefore;
                result.insert(result.end(), expanded.begin(), expanded.end());
            }
            continue;
        }
        result.push_back(t);
    }
    // Token pasting.
    std::vector<TToken> pasted;
    for (std::size_t i = 0; i < result.size(); ++i) {
        if (result[i].Is("##") && !pasted.empty() && i + 1 < result.size()) {
            TToken &left = pasted.back();
            const TToken &right = result[i + 1];
            const std::string text = Spelling(left) + Spelling(right);
            std::vector<TToken> relexed;
            bool inComment = false;
            TMessages scratch;
            LexLine(text, -1, 0, &inComment, &relexed);
            if (relexed.size() == 1) {
                relexed.front().spaceBefore = left.spaceBefore;
                left = relexed.front();
            } else {
                m_messages.Error(vmBadDirective, name.at, "## in macro " + name.text + " does not form one token");
            }
            ++i;
            continue;
        }
        pasted.push_back(result[i]);
    }
    auto hide = std::make_shared<std::set<std::string>>();
    if (name.hide)
        *hide = *name.hide;
    hide->insert(name.text);
    std::shared_ptr<const std::set<std::string>> shared = hide;
    for (TToken &t : pasted) {
        if (t.hide && t.hide != name.hide) {
            auto merged = std::make_shared<std::set<std::string>>(*t.hide);
            merged->insert(hide->begin(), hide->end());
            t.hide = merged;
        } else {
            t.hide = shared;
        }
        t.at = name.at;   // errors in an expansion point at the macro's use
    }
    if (!pasted.empty())
        pasted.front().spaceBefore = name.spaceBefore;
    return pasted;
}

void TPreprocessor::Expand(std::vector<TToken> in, std::vector<TToken> *out)
{
    // A work list: expansions are put back in front of the rest and scanned again.
    std::deque<TToken> input(std::make_move_iterator(in.begin()), std::make_move_iterator(in.end()));
    int steps = 0;
    while (!input.empty()) {
        TToken t = std::move(input.front());
        input.pop_front();
        if (t.kind != TTok::Ident) {
            out->push_back(std::move(t));
            continue;
        }
        if (t.text == "__LINE__" || t.text == "__FILE__") {
            TToken v = t;
            if (t.text == "__LINE__") {
                v.kind = TTok::Number;
                v.value = static_cast<std::uint64_t>(t.at.line);
                v.text = std::to_string(t.at.line);
            } else {
                v.kind = TTok::String;
                v.text = m_messages.FileName(t.at.file);
            }
            out->push_back(v);
            continue;
        }
        const auto it = m_macros.find(t.text);
        if (it == m_macros.end() || (t.hide && t.hide->count(t.text))) {
            out->push_back(std::move(t));
            continue;
        }
        if (++steps > kMaxExpansionSteps) {
            m_messages.Error(vmBadDirective, t.at, "Macro expansion does not end: " + t.text);
            return;
        }
        const TMacro &macro = it->second;
        std::vector<std::vector<TToken>> args;
        if (macro.functionLike) {
            if (input.empty() || !input.front().Is("(")) {
                out->push_back(std::move(t));
                continue;
            }
            std::vector<TToken> rest(input.begin(), input.end());
            std::size_t pos = 0;
            if (!CollectArguments(rest, pos, macro, t, &args))
                return;
            input.erase(input.begin(), input.begin() + static_cast<long>(pos));
        }
        std::vector<TToken> replaced = Substitute(macro, args, t);
        input.insert(input.begin(), std::make_move_iterator(replaced.begin()), std::make_move_iterator(replaced.end()));
    }
}

namespace {

// Constant expressions of #if, over 64-bit signed values.
class TConditionParser {
public:
    TConditionParser(const std::vector<TToken> &tokens, TMessages &messages, const TSourceSpan &at)
        : m_tokens(tokens), m_messages(messages), m_at(at)
    {
    }

    std::int64_t Parse()
    {
        const std::int64_t v = Conditional();
        if (m_pos < m_tokens.size())
            Fail();
        return v;
    }

    bool failed = false;

private:
    const TToken *Peek() const { return m_pos < m_tokens.size() ? &m_tokens[m_pos] : nullptr; }
    bool Accept(const char *p)
    {
        if (Peek() && Peek()->Is(p)) {
            ++m_pos;
            return true;
        }
        return false;
    }
    void Fail()
    {
        if (!failed)
            m_messages.Error(vmNotConstant, m_at, "Bad expression in #if");
        failed = true;
    }

    std::int64_t Conditional()
    {
        const std::int64_t c = Binary(0);
        if (Accept("?")) {
            const std::int64_t a = Conditional();
            if (!Accept(":"))
                Fail();
            const std::int64_t b = Conditional();
            return c ? a : b;
        }
        return c;
    }

    static int Precedence(const std::string &op)
    {
        static const std::map<std::string, int> table = {
            {"||", 1}, {"&&", 2}, {"|", 3},  {"^", 4},  {"&", 5},  {"==", 6}, {"!=", 6}, {"<", 7}, {">", 7},
            {"<=", 7}, {">=", 7}, {"<<", 8}, {">>", 8}, {"+", 9},  {"-", 9},  {"*", 10}, {"/", 10}, {"%", 10},
        };
        const auto it = table.find(op);
        return it == table.end() ? -1 : it->second;
    }

    std::int64_t Binary(int minPrecedence)
    {
        std::int64_t left = Unary();
        while (Peek() && Peek()->kind == TTok::Punct) {
            const std::string op = Peek()->text;
            const int p = Precedence(op);
            if (p < 0 || p <= minPrecedence - 1 || p < minPrecedence)
                break;
            ++m_pos;
            const std::int64_t right = Binary(p + 1);
            if (op == "||") left = left || right;
            else if (op == "&&") left = left && right;
            else if (op == "|") left |= right;
            else if (op == "^") left ^= right;
            else if (op == "&") left &= right;
            else if (op == "==") left = left == right;
            else if (op == "!=") left = left != right;
            else if (op == "<") left = left < right;
            else if (op == ">") left = left > right;
            else if (op == "<=") left = left <= right;
            else if (op == ">=") left = left >= right;
            else if (op == "<<") left = right >= 0 && right < 64 ? static_cast<std::int64_t>(static_cast<std::uint64_t>(left) << right) : 0;
            else if (op == ">>") left = right >= 0 && right < 64 ? left >> right : 0;
            else if (op == "+") left = static_cast<std::int64_t>(static_cast<std::uint64_t>(left) + static_cast<std::uint64_t>(right));
            else if (op == "-") left = static_cast<std::int64_t>(static_cast<std::uint64_t>(left) - static_cast<std::uint64_t>(right));
            else if (op == "*") left = static_cast<std::int64_t>(static_cast<std::uint64_t>(left) * static_cast<std::uint64_t>(right));
            else if (op == "/" || op == "%") {
                if (right == 0) {
                    m_messages.Error(vmDivideByZero, m_at, "Division by zero in #if");
                    failed = true;
                    left = 0;
                } else if (op == "/") {
                    left = (left == INT64_MIN && right == -1) ? left : left / right;
                } else {
                    left = (right == -1) ? 0 : left % right;
                }
            }
        }
        return left;
    }

    std::int64_t Unary()
    {
        const TToken *t = Peek();
        if (!t) {
            Fail();
            return 0;
        }
        if (Accept("-"))
            return static_cast<std::int64_t>(0 - static_cast<std::uint64_t>(Unary()));
        if (Accept("+"))
            return Unary();
        if (Accept("!"))
            return !Unary();
        if (Accept("~"))
            return ~Unary();
        if (Accept("(")) {
            const std::int64_t v = Conditional();
            if (!Accept(")"))
                Fail();
            return v;
        }
        ++m_pos;
        if (t->kind == TTok::Number && !t->isFloat)
            return static_cast<std::int64_t>(t->value);
        if (t->kind == TTok::Char)
            return static_cast<std::int64_t>(t->value);
        if (t->kind == TTok::Ident) {
            if (t->text == "TRUE" || t->text == "true")
                return 1;
            return 0;   // names left after expansion count as 0
        }
        Fail();
        return 0;
    }

    const std::vector<TToken> &m_tokens;
    TMessages &m_messages;
    TSourceSpan m_at;
    std::size_t m_pos = 0;
};

}  // namespace

bool TPreprocessor::EvaluateCondition(std::vector<TToken> tokens, const TSourceSpan &at)
{
    // "defined NAME" and "defined(NAME)" before expansion.
    std::vector<TToken> replaced;
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        if (tokens[i].IsIdent("defined")) {
            std::string name;
            if (i + 1 < tokens.size() && tokens[i + 1].kind == TTok::Ident) {
                name = tokens[i + 1].text;
                i += 1;
            } else if (i + 3 < tokens.size() && tokens[i + 1].Is("(") && tokens[i + 2].kind == TTok::Ident &&
                       tokens[i + 3].Is(")")) {
                name = tokens[i + 2].text;
                i += 3;
            } else {
                m_messages.Error(vmBadDirective, at, "defined needs a name");
                return false;
            }
            TToken v = tokens[i];
            v.kind = TTok::Number;
            v.isFloat = false;
            v.value = m_macros.count(name) ? 1 : 0;
            v.text = std::to_string(v.value);
            replaced.push_back(v);
            continue;
        }
        replaced.push_back(tokens[i]);
    }
    std::vector<TToken> expanded;
    Expand(replaced, &expanded);
    if (expanded.empty()) {
        m_messages.Error(vmBadDirective, at, "#if needs an expression");
        return false;
    }
    TConditionParser parser(expanded, m_messages, at);
    const std::int64_t v = parser.Parse();
    return !parser.failed && v != 0;
}

}  // namespace kiv::vync

#include "watch_eval.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

namespace kiv::watch {

namespace {

// Reasons a value cannot be had; caught once at the top and written after "ERROR: ".
struct TEvalError {
    std::string message;
};

[[noreturn]] void Fail(std::string message)
{
    throw TEvalError{std::move(message)};
}

std::string Hex(std::uint64_t value, int digits)
{
    char text[32];
    std::snprintf(text, sizeof text, "%0*llX", digits, static_cast<unsigned long long>(value));
    return text;
}

enum class TFormat { fmDefault, fmDecimal, fmHex, fmBinary, fmChar, fmString, fmFloat };

struct TValue {
    enum Kind { vkInteger, vkFloat, vkObject };
    Kind kind = vkInteger;
    std::int64_t integer = 0;    // wrapped to 32 bits
    bool isUnsigned = false;     // a C unsigned 32-bit value
    int width = 0;               // bits of the object the value came from; 0 when computed
    double real = 0;
    int pointee = -1;            // integers that are addresses: the type there
    bool romPointer = false;
    std::uint32_t address = 0;   // objects
    int type = 0;                // objects
    std::string name;            // objects, for messages
};

TValue Integer(std::int64_t value, bool isUnsigned = false, int width = 0)
{
    TValue v;
    v.kind = TValue::vkInteger;
    v.isUnsigned = isUnsigned;
    v.integer = isUnsigned ? static_cast<std::int64_t>(static_cast<std::uint32_t>(value))
                           : static_cast<std::int64_t>(static_cast<std::int32_t>(static_cast<std::uint32_t>(value)));
    v.width = width;
    return v;
}

TValue Real(double value)
{
    TValue v;
    v.kind = TValue::vkFloat;
    v.real = value;
    return v;
}

struct TToken {
    enum Kind { tkEnd, tkInteger, tkReal, tkName, tkOperator };
    Kind kind = tkEnd;
    std::string text;
    std::int64_t integer = 0;
    bool isUnsigned = false;
    double real = 0;
    std::size_t position = 0;   // 1-based column
};

bool IsNameStart(char c)
{
    return std::isalpha(static_cast<unsigned char>(c)) || c == '_' || c == '@';
}

bool IsNameChar(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '@' || c == '$';
}

int DigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'Z')
        return c - 'A' + 10;
    return 99;
}

// The value of a character escape after its backslash; `at` moves past it.
int Escape(const std::string &text, std::size_t &at, std::size_t column)
{
    if (at >= text.size())
        Fail("unfinished character constant at column " + std::to_string(column));
    const char c = text[at++];
    switch (c) {
    case 'n': return '\n';
    case 'r': return '\r';
    case 't': return '\t';
    case 'a': return '\a';
    case 'b': return '\b';
    case 'f': return '\f';
    case 'v': return '\v';
    case 'x': {
        int value = 0;
        int digits = 0;
        while (at < text.size() && DigitValue(text[at]) < 16 && digits < 2) {
            value = value * 16 + DigitValue(text[at++]);
            ++digits;
        }
        if (digits == 0)
            Fail("\\x without digits at column " + std::to_string(column));
        return value;
    }
    default:
        if (c >= '0' && c <= '7') {
            int value = c - '0';
            for (int digits = 1; digits < 3 && at < text.size() && text[at] >= '0' && text[at] <= '7'; ++digits)
                value = value * 8 + (text[at++] - '0');
            return value & 0xFF;
        }
        return static_cast<unsigned char>(c);
    }
}

std::vector<TToken> Tokenize(const std::string &text)
{
    static const char *const kOperators[] = {"<<=", ">>=", "->", "++", "--", "<<", ">>", "<=", ">=", "==", "!=",
                                             "&&",  "||",  "+=", "-=", "*=", "/=", "%=", "&=", "|=", "^="};
    std::vector<TToken> tokens;
    std::size_t at = 0;
    while (true) {
        while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at])))
            ++at;
        TToken token;
        token.position = at + 1;
        if (at >= text.size()) {
            tokens.push_back(token);
            return tokens;
        }
        const char c = text[at];
        if (std::isdigit(static_cast<unsigned char>(c)) ||
            (c == '.' && at + 1 < text.size() && std::isdigit(static_cast<unsigned char>(text[at + 1])))) {
            std::size_t end = at;
            while (end < text.size() && (IsNameChar(text[end]) || text[end] == '.'))
                ++end;
            std::string number = text.substr(at, end - at);
            const bool hex = number.size() > 2 && number[0] == '0' && (number[1] == 'x' || number[1] == 'X');
            const bool isReal = !hex && (number.find('.') != std::string::npos || number.find_first_of("eE") != std::string::npos);
            if (isReal) {
                // An exponent's sign belongs to the number.
                while ((number.back() == 'e' || number.back() == 'E') && end < text.size() &&
                       (text[end] == '+' || text[end] == '-')) {
                    ++end;
                    while (end < text.size() && std::isdigit(static_cast<unsigned char>(text[end])))
                        ++end;
                    number = text.substr(at, end - at);
                }
                char *stop = nullptr;
                token.real = std::strtod(number.c_str(), &stop);
                if (stop == nullptr || (*stop != '\0' && std::string(stop) != "f" && std::string(stop) != "F"))
                    Fail("bad number '" + number + "' at column " + std::to_string(token.position));
                token.kind = TToken::tkReal;
            } else {
                std::string digits = number;
                bool isUnsigned = false;
                while (!digits.empty() && (digits.back() == 'u' || digits.back() == 'U' || digits.back() == 'l' ||
                                           digits.back() == 'L')) {
                    isUnsigned |= digits.back() == 'u' || digits.back() == 'U';
                    digits.pop_back();
                }
                int base = 10;
                if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
                    base = 16;
                    digits = digits.substr(2);
                } else if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'b' || digits[1] == 'B')) {
                    base = 2;
                    digits = digits.substr(2);
                } else if (digits.size() > 1 && digits[0] == '0') {
                    base = 8;
                    digits = digits.substr(1);
                }
                std::uint64_t value = 0;
                for (const char d : digits) {
                    const int v = DigitValue(d);
                    if (v >= base)
                        Fail("bad number '" + number + "' at column " + std::to_string(token.position));
                    value = value * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(v);
                    if (value > 0xFFFFFFFFull)
                        Fail("the number " + number + " does not fit in 32 bits");
                }
                if (digits.empty())
                    Fail("bad number '" + number + "' at column " + std::to_string(token.position));
                token.kind = TToken::tkInteger;
                token.integer = static_cast<std::int64_t>(value);
                token.isUnsigned = isUnsigned || value > 0x7FFFFFFFull;
            }
            token.text = number;
            at = end;
        } else if (c == '\'') {
            std::size_t p = at + 1;
            if (p >= text.size() || text[p] == '\'')
                Fail("empty character constant at column " + std::to_string(token.position));
            int value = 0;
            if (text[p] == '\\') {
                ++p;
                value = Escape(text, p, token.position);
            } else {
                value = static_cast<unsigned char>(text[p++]);
            }
            if (p >= text.size() || text[p] != '\'')
                Fail("unfinished character constant at column " + std::to_string(token.position));
            token.kind = TToken::tkInteger;
            token.integer = value;
            token.text = text.substr(at, p + 1 - at);
            at = p + 1;
        } else if (IsNameStart(c)) {
            std::size_t end = at;
            while (end < text.size() && IsNameChar(text[end]))
                ++end;
            token.kind = TToken::tkName;
            token.text = text.substr(at, end - at);
            at = end;
        } else {
            token.kind = TToken::tkOperator;
            for (const char *op : kOperators) {
                if (text.compare(at, std::strlen(op), op) == 0) {
                    token.text = op;
                    break;
                }
            }
            if (token.text.empty()) {
                if (!std::strchr("+-*/%<>=!~&|^?:()[].,", c) || c == '\0')
                    Fail(std::string("unexpected character '") + c + "' at column " + std::to_string(token.position));
                token.text = std::string(1, c);
            }
            at += token.text.size();
        }
        tokens.push_back(token);
    }
}

// Splits a trailing display format (",h", ",.3") off the expression.
TFormat SplitFormat(std::string &expression, int *places)
{
    int depth = 0;
    bool quoted = false;
    std::size_t comma = std::string::npos;
    for (std::size_t i = 0; i < expression.size(); ++i) {
        const char c = expression[i];
        if (c == '\'' && (i == 0 || expression[i - 1] != '\\'))
            quoted = !quoted;
        if (quoted)
            continue;
        if (c == '(' || c == '[')
            ++depth;
        else if ((c == ')' || c == ']') && depth > 0)
            --depth;
        else if (c == ',' && depth == 0)
            comma = i;
    }
    if (comma == std::string::npos)
        return TFormat::fmDefault;
    std::string formatText = expression.substr(comma + 1);
    while (!formatText.empty() && std::isspace(static_cast<unsigned char>(formatText.back())))
        formatText.pop_back();
    while (!formatText.empty() && std::isspace(static_cast<unsigned char>(formatText.front())))
        formatText.erase(formatText.begin());
    TFormat format = TFormat::fmDefault;
    if (formatText == "h" || formatText == "H" || formatText == "x" || formatText == "X")
        format = TFormat::fmHex;
    else if (formatText == "b" || formatText == "B")
        format = TFormat::fmBinary;
    else if (formatText == "c" || formatText == "C")
        format = TFormat::fmChar;
    else if (formatText == "s" || formatText == "S")
        format = TFormat::fmString;
    else if (formatText == "d" || formatText == "D")
        format = TFormat::fmDecimal;
    else if (formatText.size() == 2 && formatText[0] == '.' && std::isdigit(static_cast<unsigned char>(formatText[1]))) {
        format = TFormat::fmFloat;
        *places = formatText[1] - '0';
    } else if (formatText == ".") {
        format = TFormat::fmFloat;
        *places = 4;
    } else {
        Fail("unknown display format ',"+ formatText + "' (use ,h ,b ,c ,s ,d or ,.N)");
    }
    expression.resize(comma);
    return format;
}

class TEvaluator {
public:
    explicit TEvaluator(const TEvalContext &context) : m_context(context), m_info(*context.info) {}

    std::string Run(std::string expression)
    {
        int places = 4;
        const TFormat format = SplitFormat(expression, &places);
        m_tokens = Tokenize(expression);
        if (m_tokens.front().kind == TToken::tkEnd)
            Fail("the expression is empty");
        TValue value = Assignment();
        if (Peek().kind != TToken::tkEnd)
            Fail("unexpected '" + Peek().text + "' at column " + std::to_string(Peek().position));
        return Format(value, format, places, true, 0);
    }

private:
    // --- types -------------------------------------------------------------------------------

    const TDebugType &TypeOf(int id) const
    {
        const int base = static_cast<int>(m_info.Types().size());
        if (id >= base && static_cast<std::size_t>(id - base) < m_extraTypes.size())
            return m_extraTypes[static_cast<std::size_t>(id - base)];
        return m_info.Type(id);
    }

    int AddType(TDebugType type)
    {
        m_extraTypes.push_back(std::move(type));
        return static_cast<int>(m_info.Types().size() + m_extraTypes.size() - 1);
    }

    // --- tokens ------------------------------------------------------------------------------

    const TToken &Peek(std::size_t ahead = 0) const
    {
        const std::size_t at = std::min(m_pos + ahead, m_tokens.size() - 1);
        return m_tokens[at];
    }
    bool IsOp(const char *op, std::size_t ahead = 0) const
    {
        return Peek(ahead).kind == TToken::tkOperator && Peek(ahead).text == op;
    }
    TToken Take()
    {
        TToken token = Peek();
        if (m_pos < m_tokens.size() - 1)
            ++m_pos;
        return token;
    }
    void Expect(const char *op)
    {
        if (!IsOp(op)) {
            const TToken &t = Peek();
            Fail(std::string("expected '") + op + "' " +
                 (t.kind == TToken::tkEnd ? std::string("at the end") : "at column " + std::to_string(t.position)));
        }
        Take();
    }
    bool Skipping() const { return m_skip > 0; }

    // --- memory ------------------------------------------------------------------------------

    std::uint8_t *Access(std::uint32_t address, std::uint32_t count)
    {
        std::uint8_t *data = nullptr;
        if (count == 0 || !m_context.memory || !m_context.memory(address, count, &data) || !data)
            Fail("cannot read " + std::to_string(count) + (count == 1 ? " byte" : " bytes") + " of RAM at 0x" +
                 Hex(address, 2));
        return data;
    }

    // --- values ------------------------------------------------------------------------------

    TValue Object(std::uint32_t address, int type, std::string name)
    {
        TValue v;
        v.kind = TValue::vkObject;
        v.address = address;
        v.type = type;
        v.name = std::move(name);
        return v;
    }

    bool IsScalarType(const TDebugType &t) const
    {
        return t.kind == TDebugType::tkByte || t.kind == TDebugType::tkInteger || t.kind == TDebugType::tkPointer ||
               t.kind == TDebugType::tkBit || t.kind == TDebugType::tkFloat;
    }

    // The value of an object, or the value itself.
    TValue Rv(const TValue &v)
    {
        if (v.kind != TValue::vkObject)
            return v;
        const TDebugType &t = TypeOf(v.type);
        if (Skipping())
            return t.kind == TDebugType::tkFloat ? Real(0) : Integer(0);
        switch (t.kind) {
        case TDebugType::tkArray: {
            // An array stands for the address of its first element.
            TValue address = Integer(v.address, false, 16);
            address.pointee = t.element;
            return address;
        }
        case TDebugType::tkStruct:
        case TDebugType::tkUnion:
            Fail(v.name + " is a " + (t.kind == TDebugType::tkStruct ? "struct" : "union") + "; name one of its members");
        case TDebugType::tkVoid:
        case TDebugType::tkFunction:
            Fail(v.name + " has no value");
        case TDebugType::tkFloat: {
            const std::uint8_t *bytes = Access(v.address, 4);
            std::uint32_t bits = 0;
            for (int i = 3; i >= 0; --i)
                bits = (bits << 8) | bytes[i];
            float f = 0;
            std::memcpy(&f, &bits, sizeof f);
            return Real(f);
        }
        case TDebugType::tkBit: {
            const std::uint8_t *bytes = Access(v.address, 1);
            return Integer((bytes[0] >> t.bit) & 1, false, 1);
        }
        default:
            break;
        }
        const std::uint32_t size = std::max<std::uint32_t>(1, std::min<std::uint32_t>(t.size, 4));
        const std::uint8_t *bytes = Access(v.address, size);
        std::uint64_t raw = 0;
        for (std::uint32_t i = size; i-- > 0;)
            raw = (raw << 8) | bytes[i];
        std::int64_t value = static_cast<std::int64_t>(raw);
        if (t.isSigned && (raw >> (size * 8 - 1)) & 1)
            value -= static_cast<std::int64_t>(1) << (size * 8);
        TValue result = Integer(value, !t.isSigned && size == 4, static_cast<int>(size * 8));
        if (t.kind == TDebugType::tkPointer) {
            result.pointee = t.element;
            result.romPointer = t.romPointer;
        }
        return result;
    }

    void Store(const TValue &target, const TValue &value)
    {
        if (target.kind != TValue::vkObject)
            Fail("the left side of an assignment must be a variable");
        if (Skipping())
            return;
        const TDebugType &t = TypeOf(target.type);
        if (!IsScalarType(t))
            Fail("cannot assign to " + target.name + ", a " + t.name);
        if (t.kind == TDebugType::tkFloat) {
            const float f = static_cast<float>(value.kind == TValue::vkFloat ? value.real : static_cast<double>(value.integer));
            std::uint32_t bits = 0;
            std::memcpy(&bits, &f, sizeof bits);
            std::uint8_t *bytes = Access(target.address, 4);
            for (int i = 0; i < 4; ++i)
                bytes[i] = static_cast<std::uint8_t>(bits >> (8 * i));
            return;
        }
        const std::int64_t v = value.kind == TValue::vkFloat ? static_cast<std::int64_t>(value.real) : value.integer;
        if (t.kind == TDebugType::tkBit) {
            std::uint8_t *bytes = Access(target.address, 1);
            if (v & 1)
                bytes[0] = static_cast<std::uint8_t>(bytes[0] | (1u << t.bit));
            else
                bytes[0] = static_cast<std::uint8_t>(bytes[0] & ~(1u << t.bit));
            return;
        }
        const std::uint32_t size = std::max<std::uint32_t>(1, std::min<std::uint32_t>(t.size, 4));
        std::uint8_t *bytes = Access(target.address, size);
        for (std::uint32_t i = 0; i < size; ++i)
            bytes[i] = static_cast<std::uint8_t>(static_cast<std::uint64_t>(v) >> (8 * i));
    }

    static double AsReal(const TValue &v) { return v.kind == TValue::vkFloat ? v.real : static_cast<double>(v.integer); }

    static bool Truth(const TValue &v) { return v.kind == TValue::vkFloat ? v.real != 0 : v.integer != 0; }

    TValue Binary(const std::string &op, const TValue &a, const TValue &b)
    {
        if (Skipping())
            return Integer(0);
        const bool comparison = op == "<" || op == ">" || op == "<=" || op == ">=" || op == "==" || op == "!=";
        if (a.kind == TValue::vkFloat || b.kind == TValue::vkFloat) {
            const double x = AsReal(a);
            const double y = AsReal(b);
            if (op == "+") return Real(x + y);
            if (op == "-") return Real(x - y);
            if (op == "*") return Real(x * y);
            if (op == "/") {
                if (y == 0)
                    Fail("division by zero");
                return Real(x / y);
            }
            if (op == "<") return Integer(x < y);
            if (op == ">") return Integer(x > y);
            if (op == "<=") return Integer(x <= y);
            if (op == ">=") return Integer(x >= y);
            if (op == "==") return Integer(x == y);
            if (op == "!=") return Integer(x != y);
            Fail("the operator " + op + " needs integer operands");
        }
        const int width = comparison ? 0 : std::max(a.width, b.width);
        if (op == "<<" || op == ">>") {
            if (b.integer < 0 || b.integer >= 32)
                Fail("the shift count " + std::to_string(b.integer) + " is out of range (0 to 31)");
            const unsigned n = static_cast<unsigned>(b.integer);
            const std::uint32_t ua = static_cast<std::uint32_t>(a.integer);
            if (op == "<<")
                return Integer(static_cast<std::int64_t>(static_cast<std::uint32_t>(ua << n)), a.isUnsigned, a.width);
            if (a.isUnsigned)
                return Integer(static_cast<std::int64_t>(ua >> n), true, a.width);
            return Integer(a.integer >> n, false, a.width);
        }
        const bool isUnsigned = a.isUnsigned || b.isUnsigned;
        if (isUnsigned) {
            const std::uint32_t x = static_cast<std::uint32_t>(a.integer);
            const std::uint32_t y = static_cast<std::uint32_t>(b.integer);
            if (op == "+") return Integer(static_cast<std::uint32_t>(x + y), true, width);
            if (op == "-") return Integer(static_cast<std::uint32_t>(x - y), true, width);
            if (op == "*") return Integer(static_cast<std::uint32_t>(x * y), true, width);
            if (op == "/" || op == "%") {
                if (y == 0)
                    Fail(op == "/" ? "division by zero" : "remainder of a division by zero");
                return Integer(op == "/" ? x / y : x % y, true, width);
            }
            if (op == "&") return Integer(x & y, true, width);
            if (op == "|") return Integer(x | y, true, width);
            if (op == "^") return Integer(x ^ y, true, width);
            if (op == "<") return Integer(x < y);
            if (op == ">") return Integer(x > y);
            if (op == "<=") return Integer(x <= y);
            if (op == ">=") return Integer(x >= y);
            if (op == "==") return Integer(x == y);
            if (op == "!=") return Integer(x != y);
        } else {
            const std::int64_t x = a.integer;
            const std::int64_t y = b.integer;
            if (op == "+") return Integer(x + y, false, width);
            if (op == "-") return Integer(x - y, false, width);
            if (op == "*") return Integer(x * y, false, width);
            if (op == "/" || op == "%") {
                if (y == 0)
                    Fail(op == "/" ? "division by zero" : "remainder of a division by zero");
                return Integer(op == "/" ? x / y : x % y, false, width);
            }
            if (op == "&") return Integer(x & y, false, width);
            if (op == "|") return Integer(x | y, false, width);
            if (op == "^") return Integer(x ^ y, false, width);
            if (op == "<") return Integer(x < y);
            if (op == ">") return Integer(x > y);
            if (op == "<=") return Integer(x <= y);
            if (op == ">=") return Integer(x >= y);
            if (op == "==") return Integer(x == y);
            if (op == "!=") return Integer(x != y);
        }
        Fail("unknown operator " + op);
    }

    // --- names -------------------------------------------------------------------------------

    TValue Name(const TToken &token)
    {
        const std::string name = CName(m_info, token.text);
        if (const TDebugSymbol *symbol = LookUpVariable(m_info, name, m_context.file, m_context.line))
            return Object(symbol->address, symbol->type, token.text);
        if (m_context.sfrs) {
            for (int pass = 0; pass < 2; ++pass) {
                for (const TSfr &sfr : *m_context.sfrs) {
                    const bool same = pass == 0 ? sfr.name == name : EqualNoCase(sfr.name, name);
                    if (same)
                        return Object(sfr.address, 0, sfr.name);
                }
            }
        }
        for (const TDebugSymbol *symbol : m_info.SymbolsNamed(name)) {
            if (symbol->kind == TSymbolKind::skConstant)
                return Integer(static_cast<std::int64_t>(symbol->address), symbol->address > 0x7FFFFFFF);
        }
        for (const TDebugSymbol *symbol : m_info.SymbolsNamed(name)) {
            if (symbol->kind == TSymbolKind::skCode)
                return Integer(symbol->address, false, 16);
        }
        if (!m_info.FunctionsNamed(name).empty())
            return Integer(m_info.FunctionsNamed(name).front()->start, false, 16);
        Fail("unknown name '" + name + "'");
    }

    static bool EqualNoCase(const std::string &a, const std::string &b)
    {
        if (a.size() != b.size())
            return false;
        for (std::size_t i = 0; i < a.size(); ++i) {
            if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
                return false;
        }
        return true;
    }

    // A type name in a cast or sizeof: [signed|unsigned] int1|int8|int16|int32|int|char|short|long,
    // float or void, then any number of "*". -1 when the tokens from `ahead` are no type name.
    int ParseTypeName(bool consume)
    {
        std::size_t at = 0;
        bool isSigned = false;
        bool sawSign = false;
        int bits = 0;
        bool isFloat = false;
        bool isVoid = false;
        while (Peek(at).kind == TToken::tkName) {
            const std::string &w = Peek(at).text;
            if (w == "signed") { isSigned = true; sawSign = true; }
            else if (w == "unsigned") { isSigned = false; sawSign = true; }
            else if (w == "int1") bits = 1;
            else if (w == "int8" || w == "char") bits = 8;
            else if (w == "int") bits = bits ? bits : 8;
            else if (w == "int16" || w == "short" || w == "long") bits = 16;
            else if (w == "int32") bits = 32;
            else if (w == "float" || w == "double") isFloat = true;
            else if (w == "void") isVoid = true;
            else break;
            ++at;
        }
        if (at == 0 || (!bits && !isFloat && !isVoid && !sawSign))
            return -1;
        if (!bits && !isFloat && !isVoid)
            bits = 8;
        TDebugType t;
        if (isVoid) {
            t.kind = TDebugType::tkVoid;
            t.size = 0;
            t.name = "void";
        } else if (isFloat) {
            t.kind = TDebugType::tkFloat;
            t.size = 4;
            t.name = "float";
        } else if (bits == 1) {
            t.kind = TDebugType::tkBit;
            t.name = "int1";
        } else {
            t.kind = TDebugType::tkInteger;
            t.size = static_cast<std::uint32_t>(bits / 8);
            t.isSigned = isSigned;
            t.name = std::string(isSigned ? "signed " : "") + "int" + std::to_string(bits);
        }
        int type = 0;
        if (consume)
            type = AddType(t);
        while (IsOp("*", at)) {
            ++at;
            if (consume) {
                TDebugType p;
                p.kind = TDebugType::tkPointer;
                p.size = 2;
                p.element = type;
                p.name = TypeOf(type).name + "*";
                type = AddType(p);
            }
        }
        if (consume) {
            for (std::size_t i = 0; i < at; ++i)
                Take();
        }
        return consume ? type : 0;
    }

    TValue Convert(const TValue &value, int type)
    {
        const TDebugType &t = TypeOf(type);
        if (t.kind == TDebugType::tkVoid)
            return Integer(0);
        if (t.kind == TDebugType::tkFloat)
            return Real(AsReal(value));
        std::int64_t v = value.kind == TValue::vkFloat ? static_cast<std::int64_t>(value.real) : value.integer;
        if (t.kind == TDebugType::tkBit)
            return Integer(v != 0, false, 1);
        const unsigned bits = t.kind == TDebugType::tkPointer ? 16 : t.size * 8;
        if (bits < 64) {
            const std::uint64_t mask = (static_cast<std::uint64_t>(1) << bits) - 1;
            std::uint64_t raw = static_cast<std::uint64_t>(v) & mask;
            v = static_cast<std::int64_t>(raw);
            if (t.isSigned && ((raw >> (bits - 1)) & 1))
                v -= static_cast<std::int64_t>(1) << bits;
        }
        TValue result = Integer(v, !t.isSigned && bits == 32, static_cast<int>(bits));
        if (t.kind == TDebugType::tkPointer)
            result.pointee = t.element;
        return result;
    }

    // --- grammar -----------------------------------------------------------------------------

    TValue Assignment()
    {
        TValue left = Conditional();
        static const char *const kAssign[] = {"=", "+=", "-=", "*=", "/=", "%=", "<<=", ">>=", "&=", "|=", "^="};
        for (const char *op : kAssign) {
            if (!IsOp(op))
                continue;
            const TToken token = Take();
            if (Skipping()) {
                Assignment();
                return left;
            }
            if (left.kind != TValue::vkObject)
                Fail("the left side of '" + token.text + "' at column " + std::to_string(token.position) +
                     " must be a variable");
            TValue right = Assignment();
            TValue value = token.text == "=" ? Rv(right)
                                             : Binary(token.text.substr(0, token.text.size() - 1), Rv(left), Rv(right));
            Store(left, value);
            return left;
        }
        return left;
    }

    TValue Conditional()
    {
        TValue condition = LogicalOr();
        if (!IsOp("?"))
            return condition;
        Take();
        const bool truth = !Skipping() && Truth(Rv(condition));
        if (!truth)
            ++m_skip;
        TValue yes = Assignment();
        if (!truth)
            --m_skip;
        Expect(":");
        if (truth)
            ++m_skip;
        TValue no = Conditional();
        if (truth)
            --m_skip;
        return truth ? yes : no;
    }

    TValue LogicalOr()
    {
        TValue left = LogicalAnd();
        while (IsOp("||")) {
            Take();
            const bool leftTrue = !Skipping() && Truth(Rv(left));
            if (leftTrue)
                ++m_skip;
            TValue right = LogicalAnd();
            if (leftTrue)
                --m_skip;
            left = Integer(Skipping() ? 0 : (leftTrue || Truth(Rv(right))));
        }
        return left;
    }

    TValue LogicalAnd()
    {
        TValue left = BitOr();
        while (IsOp("&&")) {
            Take();
            const bool leftFalse = !Skipping() && !Truth(Rv(left));
            if (leftFalse)
                ++m_skip;
            TValue right = BitOr();
            if (leftFalse)
                --m_skip;
            left = Integer(Skipping() ? 0 : (!leftFalse && Truth(Rv(right))));
        }
        return left;
    }

    template <typename Next>
    TValue LeftAssociative(std::initializer_list<const char *> ops, Next next)
    {
        TValue left = (this->*next)();
        while (true) {
            const char *found = nullptr;
            for (const char *op : ops) {
                if (IsOp(op))
                    found = op;
            }
            if (!found)
                return left;
            Take();
            TValue right = (this->*next)();
            left = Binary(found, Rv(left), Rv(right));
        }
    }

    TValue BitOr() { return LeftAssociative({"|"}, &TEvaluator::BitXor); }
    TValue BitXor() { return LeftAssociative({"^"}, &TEvaluator::BitAnd); }
    TValue BitAnd() { return LeftAssociative({"&"}, &TEvaluator::Equality); }
    TValue Equality() { return LeftAssociative({"==", "!="}, &TEvaluator::Relational); }
    TValue Relational() { return LeftAssociative({"<", ">", "<=", ">="}, &TEvaluator::Shift); }
    TValue Shift() { return LeftAssociative({"<<", ">>"}, &TEvaluator::Additive); }
    TValue Additive() { return LeftAssociative({"+", "-"}, &TEvaluator::Multiplicative); }
    TValue Multiplicative() { return LeftAssociative({"*", "/", "%"}, &TEvaluator::Unary); }

    TValue Deref(const TValue &value, const std::string &what)
    {
        if (value.kind == TValue::vkObject) {
            const TDebugType &t = TypeOf(value.type);
            if (t.kind == TDebugType::tkArray)
                return Object(value.address, t.element, value.name + "[0]");
        }
        const TValue pointer = Rv(value);
        if (pointer.kind != TValue::vkInteger)
            Fail("cannot take " + what + " of a float");
        if (pointer.romPointer)
            Fail(what + " points into program memory; only RAM can be read");
        if (pointer.integer < 0)
            Fail("the address " + std::to_string(pointer.integer) + " is negative");
        return Object(static_cast<std::uint32_t>(pointer.integer), pointer.pointee >= 0 ? pointer.pointee : 0,
                      "*(" + Hex(static_cast<std::uint64_t>(pointer.integer), 2) + ")");
    }

    TValue Unary()
    {
        if (Peek().kind == TToken::tkOperator) {
            const TToken token = Peek();
            const std::string &op = token.text;
            if (op == "+" || op == "-" || op == "!" || op == "~") {
                Take();
                const TValue v = Rv(Unary());
                if (Skipping())
                    return Integer(0);
                if (op == "!")
                    return Integer(!Truth(v));
                if (v.kind == TValue::vkFloat) {
                    if (op == "~")
                        Fail("the operator ~ needs an integer operand");
                    return Real(op == "-" ? -v.real : v.real);
                }
                if (op == "+")
                    return v;
                if (op == "-")
                    return Integer(-v.integer, v.isUnsigned, v.width);
                return Integer(~v.integer, v.isUnsigned, v.width);
            }
            if (op == "*") {
                Take();
                const TValue v = Unary();
                if (Skipping())
                    return Integer(0);
                return Deref(v, "*");
            }
            if (op == "&") {
                Take();
                const TValue v = Unary();
                if (Skipping())
                    return Integer(0, false, 16);
                if (v.kind != TValue::vkObject) {
                    if (v.kind == TValue::vkInteger && v.width == 16 && v.pointee < 0)
                        return v;   // a code label already stands for its address
                    Fail("'&' at column " + std::to_string(token.position) + " needs a variable");
                }
                TValue address = Integer(v.address, false, 16);
                address.pointee = v.type;
                return address;
            }
            if (op == "++" || op == "--") {
                Take();
                const TValue target = Unary();
                if (Skipping())
                    return target;
                if (target.kind != TValue::vkObject)
                    Fail("'" + op + "' at column " + std::to_string(token.position) + " needs a variable");
                Store(target, Binary(op == "++" ? "+" : "-", Rv(target), Integer(1)));
                return target;
            }
            if (op == "(") {
                const std::size_t save = m_pos;
                Take();
                const int type = ParseTypeName(true);
                if (type >= 0 && IsOp(")")) {
                    Take();
                    const TValue v = Rv(Unary());
                    if (Skipping())
                        return Integer(0);
                    return Convert(v, type);
                }
                m_pos = save;
            }
        }
        if (Peek().kind == TToken::tkName && Peek().text == "sizeof") {
            Take();
            if (IsOp("(")) {
                const std::size_t save = m_pos;
                Take();
                const int type = ParseTypeName(true);
                if (type >= 0 && IsOp(")")) {
                    Take();
                    return Integer(TypeOf(type).kind == TDebugType::tkPointer ? 2 : TypeOf(type).size);
                }
                m_pos = save;
            }
            ++m_skip;
            const TValue v = Unary();
            --m_skip;
            if (v.kind == TValue::vkObject)
                return Integer(std::max<std::uint32_t>(1, TypeOf(v.type).size));
            return Integer(v.kind == TValue::vkFloat ? 4 : 4);
        }
        return Postfix();
    }

    TValue Postfix()
    {
        TValue value = Primary();
        while (true) {
            const TToken token = Peek();
            if (IsOp("[")) {
                Take();
                const TValue index = Rv(Assignment());
                Expect("]");
                if (Skipping() && value.kind == TValue::vkFloat)
                    continue;
                if (index.kind != TValue::vkInteger)
                    Fail("an index must be an integer (column " + std::to_string(token.position) + ")");
                value = Index(value, index.integer);
            } else if (IsOp(".") || IsOp("->")) {
                Take();
                if (Peek().kind != TToken::tkName)
                    Fail("expected a member name after '" + token.text + "' at column " + std::to_string(token.position));
                const std::string member = Take().text;
                try {
                    if (token.text == "->")
                        value = Deref(value, value.name);
                    value = Member(value, member);
                } catch (const TEvalError &) {
                    // A branch that is not evaluated names what it likes.
                    if (!Skipping())
                        throw;
                    value = Integer(0);
                }
            } else if (IsOp("++") || IsOp("--")) {
                Take();
                if (Skipping())
                    continue;
                if (value.kind != TValue::vkObject)
                    Fail("'" + token.text + "' at column " + std::to_string(token.position) + " needs a variable");
                const TValue old = Rv(value);
                Store(value, Binary(token.text == "++" ? "+" : "-", old, Integer(1)));
                value = old;
            } else {
                return value;
            }
        }
    }

    TValue Index(const TValue &base, std::int64_t index)
    {
        std::uint32_t address = 0;
        int element = 0;
        std::string name;
        if (base.kind == TValue::vkObject) {
            const TDebugType &t = TypeOf(base.type);
            if (t.kind == TDebugType::tkArray) {
                address = base.address;
                element = t.element;
            } else if (t.kind == TDebugType::tkPointer) {
                const TValue pointer = Rv(base);
                if (pointer.romPointer)
                    Fail(base.name + " points into program memory; only RAM can be read");
                address = static_cast<std::uint32_t>(pointer.integer);
                element = t.element;
            } else {
                // The bytes of a symbol.
                address = base.address;
                element = 0;
            }
            name = base.name;
        } else if (base.kind == TValue::vkInteger) {
            address = static_cast<std::uint32_t>(base.integer);
            element = base.pointee >= 0 ? base.pointee : 0;
            name = Hex(address, 2);
        } else {
            Fail("a float cannot be indexed");
        }
        const std::int64_t size = std::max<std::uint32_t>(1, TypeOf(element).size);
        const std::int64_t at = static_cast<std::int64_t>(address) + index * size;
        if (at < 0 || at > 0xFFFFFF)
            Fail("the index " + std::to_string(index) + " of " + name + " leads outside RAM");
        return Object(static_cast<std::uint32_t>(at), element, name + "[" + std::to_string(index) + "]");
    }

    TValue Member(const TValue &base, const std::string &member)
    {
        if (base.kind != TValue::vkObject)
            Fail("'." + member + "' needs a struct");
        const TDebugType &t = TypeOf(base.type);
        if (t.kind != TDebugType::tkStruct && t.kind != TDebugType::tkUnion)
            Fail(base.name + " is not a struct (its type is " + t.name + ")");
        for (const TDebugType::TMember &m : t.members) {
            if (m.name == member)
                return Object(base.address + m.offset, m.type, base.name + "." + member);
        }
        Fail(base.name + " has no member '" + member + "'");
    }

    TValue Primary()
    {
        const TToken token = Peek();
        switch (token.kind) {
        case TToken::tkInteger:
            Take();
            return Integer(token.integer, token.isUnsigned);
        case TToken::tkReal:
            Take();
            return Real(token.real);
        case TToken::tkName:
            Take();
            if (Skipping()) {
                try {
                    return Name(token);
                } catch (const TEvalError &) {
                    return Integer(0);
                }
            }
            return Name(token);
        case TToken::tkOperator:
            if (token.text == "(") {
                Take();
                TValue inner = Assignment();
                Expect(")");
                return inner;
            }
            Fail("unexpected '" + token.text + "' at column " + std::to_string(token.position));
        case TToken::tkEnd:
            break;
        }
        Fail("the expression ends too early");
    }

    // --- text --------------------------------------------------------------------------------

    static std::string CharText(std::int64_t value)
    {
        const int c = static_cast<int>(value & 0xFF);
        switch (c) {
        case '\n': return "'\\n'";
        case '\r': return "'\\r'";
        case '\t': return "'\\t'";
        case 0: return "'\\0'";
        case '\'': return "'\\''";
        case '\\': return "'\\\\'";
        default: break;
        }
        if (c >= 32 && c < 127)
            return std::string("'") + static_cast<char>(c) + "'";
        return "'\\x" + Hex(static_cast<std::uint64_t>(c), 2) + "'";
    }

    std::string StringAt(std::uint32_t address)
    {
        std::string text = "\"";
        for (int i = 0; i < 256; ++i) {
            std::uint8_t *data = nullptr;
            if (!m_context.memory || !m_context.memory(address + static_cast<std::uint32_t>(i), 1, &data) || !data) {
                if (i == 0)
                    Fail("cannot read RAM at 0x" + Hex(address, 2));
                break;
            }
            const int c = data[0];
            if (c == 0)
                break;
            if (c == '"' || c == '\\')
                text += '\\', text += static_cast<char>(c);
            else if (c >= 32 && c < 127)
                text += static_cast<char>(c);
            else if (c == '\n')
                text += "\\n";
            else if (c == '\r')
                text += "\\r";
            else
                text += "\\x" + Hex(static_cast<std::uint64_t>(c), 2);
        }
        return text + "\"";
    }

    // Hexadecimal digits follow the width of the object the value came from, grown to hold a
    // value that outgrew it; a computed negative value shows as C's 32-bit int.
    static int DisplayBits(const TValue &v)
    {
        auto fits = [&v](int bits) {
            if (bits >= 32)
                return true;
            const std::int64_t range = static_cast<std::int64_t>(1) << bits;
            return (v.integer >= 0 && v.integer < range) || (v.integer < 0 && v.integer >= -(range / 2));
        };
        if (v.width == 1)
            return 1;
        if (v.width == 0 && v.integer < 0)
            return 32;
        for (const int bits : {8, 16, 32}) {
            if (bits >= v.width && fits(bits))
                return bits;
        }
        return 32;
    }

    std::string IntegerText(const TValue &v, TFormat format, int places, bool top)
    {
        const int bits = DisplayBits(v);
        const std::uint64_t mask = bits >= 64 ? ~0ull : ((1ull << bits) - 1);
        const std::uint64_t raw = static_cast<std::uint64_t>(v.integer) & mask;
        const int digits = std::max(1, (bits + 3) / 4);
        switch (format) {
        case TFormat::fmHex:
            return "0x" + Hex(raw, digits);
        case TFormat::fmBinary: {
            std::string text = "0b";
            for (int b = bits - 1; b >= 0; --b)
                text += ((raw >> b) & 1) ? '1' : '0';
            return text;
        }
        case TFormat::fmChar:
            return CharText(v.integer);
        case TFormat::fmFloat: {
            char text[64];
            std::snprintf(text, sizeof text, "%.*f", places, static_cast<double>(v.integer));
            return text;
        }
        case TFormat::fmDecimal:
            return std::to_string(v.integer);
        case TFormat::fmString:
        case TFormat::fmDefault:
            break;
        }
        if (v.pointee >= 0)
            return "0x" + Hex(raw, std::max(digits, 4));
        if (bits == 1 || !top)
            return std::to_string(v.integer);
        return std::to_string(v.integer) + " (0x" + Hex(raw, digits) + ")";
    }

    static std::string RealText(double value, TFormat format, int places)
    {
        char text[64];
        if (format == TFormat::fmFloat)
            std::snprintf(text, sizeof text, "%.*f", places, value);
        else
            std::snprintf(text, sizeof text, "%.7g", value);
        return text;
    }

    std::string Format(const TValue &value, TFormat format, int places, bool top, int depth)
    {
        if (value.kind == TValue::vkObject) {
            const TDebugType &t = TypeOf(value.type);
            if (format == TFormat::fmString && depth == 0 &&
                (t.kind == TDebugType::tkArray || t.kind == TDebugType::tkByte || t.kind == TDebugType::tkInteger))
                return StringAt(value.address);
            if (format == TFormat::fmString && t.kind == TDebugType::tkPointer) {
                const TValue pointer = Rv(value);
                return StringAt(static_cast<std::uint32_t>(pointer.integer));
            }
            if (t.kind == TDebugType::tkArray) {
                if (depth > 8)
                    return "{...}";
                const TDebugType &element = TypeOf(t.element);
                std::string text = "{";
                const std::uint32_t count = std::min<std::uint32_t>(t.count, 1000);
                for (std::uint32_t i = 0; i < count; ++i) {
                    if (i)
                        text += ", ";
                    text += Format(Object(value.address + i * std::max<std::uint32_t>(1, element.size), t.element,
                                          value.name + "[" + std::to_string(i) + "]"),
                                   format, places, false, depth + 1);
                    if (text.size() > 60000)
                        return text + ", ...}";
                }
                if (count < t.count)
                    text += ", ...";
                return text + "}";
            }
            if (t.kind == TDebugType::tkStruct || t.kind == TDebugType::tkUnion) {
                if (depth > 8)
                    return "{...}";
                std::string text = "{";
                for (std::size_t i = 0; i < t.members.size(); ++i) {
                    const TDebugType::TMember &m = t.members[i];
                    if (i)
                        text += ", ";
                    text += m.name + "=" +
                            Format(Object(value.address + m.offset, m.type, value.name + "." + m.name), format, places,
                                   false, depth + 1);
                }
                return text + "}";
            }
        }
        if (format == TFormat::fmString) {
            const TValue v = Rv(value);
            if (v.kind != TValue::vkInteger)
                Fail("a float has no string");
            return StringAt(static_cast<std::uint32_t>(v.integer));
        }
        const TValue v = Rv(value);
        if (v.kind == TValue::vkFloat) {
            if (format == TFormat::fmHex || format == TFormat::fmBinary || format == TFormat::fmChar)
                return IntegerText(Integer(static_cast<std::int64_t>(v.real)), format, places, top);
            return RealText(v.real, format, places);
        }
        return IntegerText(v, format, places, top);
    }

    const TEvalContext &m_context;
    const TDebugInfo &m_info;
    std::vector<TToken> m_tokens;
    std::size_t m_pos = 0;
    int m_skip = 0;
    std::vector<TDebugType> m_extraTypes;
};

}  // namespace

std::string CName(const TDebugInfo &info, const std::string &name)
{
    if (name.empty() || !info.SymbolsNamed(name).empty() || !info.FunctionsNamed(name).empty())
        return name;
    const std::string label = "_" + name;
    if (!info.SymbolsNamed(label).empty() || !info.FunctionsNamed(label).empty())
        return label;
    return name;
}

const TDebugSymbol *LookUpVariable(const TDebugInfo &info, const std::string &name, int file, int line)
{
    const std::vector<const TDebugSymbol *> candidates = info.SymbolsNamed(name);
    if (candidates.empty())
        return nullptr;
    std::uint32_t scope = 0;
    const bool haveScope = file >= 0 && info.AddressOfLine(file, line, &scope);
    // Locals of the function at the line, the file's statics, globals, then other statics.
    for (const TDebugSymbol *s : candidates) {
        if (s->kind == TSymbolKind::skVariable && s->scoped && haveScope && scope >= s->scopeStart && scope <= s->scopeEnd)
            return s;
    }
    for (const TDebugSymbol *s : candidates) {
        if (s->kind == TSymbolKind::skVariable && !s->scoped && !s->global && file >= 0 && s->file == file)
            return s;
    }
    for (const TDebugSymbol *s : candidates) {
        if (s->kind == TSymbolKind::skVariable && !s->scoped && s->global)
            return s;
    }
    for (const TDebugSymbol *s : candidates) {
        if (s->kind == TSymbolKind::skVariable && !s->scoped)
            return s;
    }
    return nullptr;
}

std::string Evaluate(const TEvalContext &context, const std::string &expression)
{
    if (!context.info || context.info->FileFormat() == TDebugInfo::dfNone)
        return "ERROR: no debug file is loaded";
    try {
        TEvaluator evaluator(context);
        return evaluator.Run(expression);
    } catch (const TEvalError &error) {
        return "ERROR: " + error.message;
    }
}

}  // namespace kiv::watch

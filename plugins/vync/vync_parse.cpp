#include "vync_parse.h"

#include <algorithm>
#include <cctype>
#include <cstdint>

namespace kiv::vync {

namespace {

/// Constant folding wraps around as the target's arithmetic does: the sum, difference or
/// product is taken modulo 2^64 (signed overflow would be undefined) and read back as signed.
std::int64_t Wrap(std::uint64_t v)
{
    return static_cast<std::int64_t>(v);
}

const TBuiltinInfo kBuiltins[] = {
    {"delay_cycles", 1, 1, 0},
    {"delay_us", 1, 1, 0},
    {"delay_ms", 1, 1, 0},
    {"output_high", 1, 1, 0},
    {"output_low", 1, 1, 0},
    {"output_toggle", 1, 1, 0},
    {"output_float", 1, 1, 0},
    {"output_bit", 2, 2, 0},
    {"input", 1, 1, -1},
    {"bit_set", 2, 2, 0},
    {"bit_clear", 2, 2, 0},
    {"bit_test", 2, 2, -1},
    {"make8", 2, 2, 1},
    {"make16", 2, 2, 2},
    {"make32", 1, 4, 4},
    {"swap", 1, 1, 0},
    {"restart_wdt", 0, 0, 0},
    {"sleep", 0, 0, 0},
    {"nop", 0, 0, 0},
    {"enable_interrupts", 1, 1, 0},
    {"disable_interrupts", 1, 1, 0},
    // The serial port of #use rs232, written by the code generator (the run-time library's
    // putc, getc and kbhit call these).
    {"__rs232_start", 0, 0, 0},
    {"__rs232_put", 1, 1, 0},
    {"__rs232_get", 0, 0, 1},
    {"__rs232_ready", 0, 0, -1},
    // The I2C bus of #use i2c, likewise.
    {"__i2c_start", 0, 0, 0},
    {"__i2c_stop", 0, 0, 0},
    {"__i2c_write", 1, 1, -1},
    {"__i2c_read", 1, 1, 1},
    {"__i2c_init", 0, 0, 0},
};

std::string Lower(std::string s)
{
    for (char &c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

int BinaryPrecedence(const std::string &op)
{
    if (op == "||") return 1;
    if (op == "&&") return 2;
    if (op == "|") return 3;
    if (op == "^") return 4;
    if (op == "&") return 5;
    if (op == "==" || op == "!=") return 6;
    if (op == "<" || op == ">" || op == "<=" || op == ">=") return 7;
    if (op == "<<" || op == ">>") return 8;
    if (op == "+" || op == "-") return 9;
    if (op == "*" || op == "/" || op == "%") return 10;
    return -1;
}

TOp BinaryOp(const std::string &op)
{
    if (op == "||") return TOp::LogOr;
    if (op == "&&") return TOp::LogAnd;
    if (op == "|") return TOp::Or;
    if (op == "^") return TOp::Xor;
    if (op == "&") return TOp::And;
    if (op == "==") return TOp::Eq;
    if (op == "!=") return TOp::Ne;
    if (op == "<") return TOp::Lt;
    if (op == ">") return TOp::Gt;
    if (op == "<=") return TOp::Le;
    if (op == ">=") return TOp::Ge;
    if (op == "<<") return TOp::Shl;
    if (op == ">>") return TOp::Shr;
    if (op == "+") return TOp::Add;
    if (op == "-") return TOp::Sub;
    if (op == "*") return TOp::Mul;
    if (op == "/") return TOp::Div;
    return TOp::Mod;
}

bool IsComparison(TOp op)
{
    return op == TOp::Eq || op == TOp::Ne || op == TOp::Lt || op == TOp::Le || op == TOp::Gt || op == TOp::Ge;
}

}  // namespace

const TBuiltinInfo *FindBuiltin(const std::string &name)
{
    for (const TBuiltinInfo &b : kBuiltins) {
        if (name == b.name)
            return &b;
    }
    return nullptr;
}

std::vector<std::string> BuiltinNames()
{
    std::vector<std::string> names;
    for (const TBuiltinInfo &b : kBuiltins) {
        if (b.name[0] != '_')
            names.emplace_back(b.name);
    }
    // Calls the parser reads itself.
    for (const char *n : {"printf", "puts", "read_adc", "i2c_read", "setup_lcd"})
        names.emplace_back(n);
    return names;
}

TParser::TParser(TMessages &messages, TProgram &program, std::vector<TToken> tokens)
    : m_messages(messages), m_program(program), m_tokens(std::move(tokens))
{
    if (m_tokens.empty() || m_tokens.back().kind != TTok::End) {
        TToken end;
        end.kind = TTok::End;
        m_tokens.push_back(end);
    }
}

// ---------------------------------------------------------------------------------------------
// Tokens

const TToken &TParser::Peek(int ahead) const
{
    const std::size_t i = std::min(m_pos + static_cast<std::size_t>(ahead), m_tokens.size() - 1);
    return m_tokens[i];
}

const TToken &TParser::Next()
{
    const TToken &t = m_tokens[m_pos];
    if (m_pos + 1 < m_tokens.size())
        ++m_pos;
    return t;
}

bool TParser::AtEnd() const { return Peek().kind == TTok::End; }

bool TParser::Accept(const char *punct)
{
    if (Peek().Is(punct)) {
        Next();
        return true;
    }
    return false;
}

bool TParser::Expect(const char *punct)
{
    if (Accept(punct))
        return true;
    const TToken &t = Peek();
    TSourceSpan at = t.at;
    // A missing ";" belongs after the previous token.
    if (std::string(punct) == ";" && m_pos > 0) {
        at = m_tokens[m_pos - 1].at;
        at.column = at.endColumn;
        at.endColumn = at.column + 1;
    }
    m_messages.Error(vmExpected, at, std::string("Expecting a ") + punct);
    return false;
}

void TParser::SkipTo(const char *stopA, const char *stopB)
{
    int level = 0;
    while (!AtEnd()) {
        const TToken &t = Peek();
        if (t.kind == TTok::Directive && level == 0)
            return;
        if (level == 0 && (t.Is(stopA) || (stopB && t.Is(stopB))))
            return;
        if (t.Is("{") || t.Is("(") || t.Is("["))
            ++level;
        if (t.Is("}") || t.Is(")") || t.Is("]")) {
            if (level == 0)
                return;
            --level;
        }
        Next();
    }
}

void TParser::SkipDirective()
{
    while (!AtEnd() && Peek().kind != TTok::DirectiveEnd)
        Next();
    if (Peek().kind == TTok::DirectiveEnd)
        Next();
}

TSourceSpan TParser::Span(const TSourceSpan &from, const TSourceSpan &to) const
{
    TSourceSpan s = from;
    if (to.file == from.file && to.line == from.line && to.endColumn > s.column)
        s.endColumn = to.endColumn;
    return s;
}

// ---------------------------------------------------------------------------------------------
// Names

void TParser::PushScope() { m_scopes.emplace_back(); }
void TParser::PopScope() { m_scopes.pop_back(); }

TParser::TEntry *TParser::Lookup(const std::string &name)
{
    for (auto it = m_scopes.rbegin(); it != m_scopes.rend(); ++it) {
        auto found = it->names.find(name);
        if (found != it->names.end())
            return &found->second;
    }
    return nullptr;
}

TStruct *TParser::LookupTag(const std::string &tag)
{
    for (auto it = m_scopes.rbegin(); it != m_scopes.rend(); ++it) {
        auto found = it->tags.find(tag);
        if (found != it->tags.end())
            return found->second;
    }
    return nullptr;
}

void TParser::Bind(const std::string &name, const TEntry &entry, const TSourceSpan &at)
{
    auto &names = m_scopes.back().names;
    auto found = names.find(name);
    if (found != names.end()) {
        // A function declared and then defined, or declared twice alike, is fine.
        const TEntry &old = found->second;
        const bool sameFunction = old.symbol && entry.symbol && old.symbol == entry.symbol;
        const bool sameTypedef = old.typedefType && old.typedefType == entry.typedefType;
        if (!sameFunction && !sameTypedef)
            m_messages.Error(vmRedefined, at, "Identifier " + name + " is already defined");
        found->second = entry;
        return;
    }
    names[name] = entry;
}

// ---------------------------------------------------------------------------------------------
// Program

void TParser::Run()
{
    PushScope();
    while (!AtEnd() && !m_messages.TooMany()) {
        if (Peek().kind == TTok::Directive) {
            Directive();
            continue;
        }
        if (Accept(";"))
            continue;
        const std::size_t before = m_pos;
        ExternalDeclaration();
        if (m_pos == before)
            Next();   // no progress: drop the token
    }
    if (!m_pendingInterrupt.empty())
        m_messages.Error(vmInterrupt, m_pendingInterruptAt, "#int_" + m_pendingInterrupt + " is not followed by a function");
    StartSerial();
    StartI2c();
    CheckAdcBits();
    for (TFunction *f : m_program.functions) {
        if (f->used && !f->defined)
            m_messages.Error(vmUndefined, f->at, "Function " + f->name + " is used but never defined");
    }
    PopScope();
}

// main starts the serial port of #use rs232 first; the code generator writes the start (the
// baud rate divisor of the hardware port, or the idle level of the pins of a port in software).
void TParser::StartSerial()
{
    if (!m_program.rs232.used)
        return;
    TFunction *mainFunction = nullptr;
    for (TFunction *f : m_program.functions) {
        if (f->name == "main" && f->defined)
            mainFunction = f;
    }
    if (!mainFunction || !mainFunction->body)
        return;
    const TSourceSpan at = m_program.rs232.at;
    if (m_program.clock == 0) {
        m_messages.Error(vmDirectiveArgs, at, "#use rs232 needs the clock: #use delay(clock=...) before it");
        return;
    }
    TExpr *call = m_program.NewExpr(TOp::Builtin, m_program.types.Void(), at);
    call->name = "__rs232_start";
    TStmt *s = m_program.NewStmt(TStmtKind::Expr, at);
    s->expr = call;
    mainFunction->body->list.insert(mainFunction->body->list.begin(), s);
}

// main releases the I2C bus of #use i2c (or starts the hardware port) first.
void TParser::StartI2c()
{
    if (!m_program.i2c.used)
        return;
    for (TFunction *f : m_program.functions) {
        if (f->name == "main" && f->defined && f->body) {
            const TSourceSpan at = m_program.i2c.at;
            if (m_program.clock == 0) {
                m_messages.Error(vmDirectiveArgs, at, "#use i2c needs the clock: #use delay(clock=...) before it");
                return;
            }
            TExpr *call = m_program.NewExpr(TOp::Builtin, m_program.types.Void(), at);
            call->name = "__i2c_init";
            TStmt *s = m_program.NewStmt(TStmtKind::Expr, at);
            s->expr = call;
            f->body->list.insert(f->body->list.begin(), s);
        }
    }
}

// A call of a function of the run-time library (vyncrt.h, included by the device header).
TExpr *TParser::CallNamed(const std::string &name, std::vector<TExpr *> args, const TSourceSpan &at)
{
    TEntry *e = Lookup(name);
    if (!e || !e->symbol || e->symbol->storage != TStorage::Function || !e->symbol->function) {
        m_messages.Error(vmUndefined, at, name.rfind("__rs232", 0) == 0 || name == "putc" || name.rfind("__put", 0) == 0
                                              ? "The serial functions need the device header (#include <16F877A.h>) of a part with a serial port"
                                              : "Undefined function " + name);
        return nullptr;
    }
    TFunction *f = e->symbol->function;
    const auto &params = f->type->params;
    if (args.size() != params.size()) {
        m_messages.Error(vmArguments, at, "Function " + f->name + " takes " + std::to_string(params.size()) + " arguments");
        return nullptr;
    }
    TExpr *call = m_program.NewExpr(TOp::Call, f->Result(), at);
    call->callee = f;
    for (std::size_t i = 0; i < args.size(); ++i)
        call->kids.push_back(Fold(Convert(Rvalue(args[i]), params[i])));
    f->used = true;
    if (m_function)
        m_function->calls.insert(f);
    return call;
}

// The resolution of the part's converter, as the device header states it; 0 without one.
int TParser::AdcResolution()
{
    TEntry *e = Lookup("__ADC_RESOLUTION");
    return e && e->symbol && e->symbol->storage == TStorage::Constant ? static_cast<int>(e->symbol->constValue) : 0;
}

// #device ADC=n asks read_adc for n bits: 8 (also when not given), the converter's own width,
// or 16 (the result moved to the top of a 16-bit word).
void TParser::CheckAdcBits()
{
    const int resolution = AdcResolution();
    const int bits = m_program.adcBits;
    if (bits == 0 || resolution == 0)
        return;
    if (bits != 8 && bits != 16 && bits != resolution)
        m_messages.Error(vmDirectiveArgs, m_program.adcBitsAt,
                         "#device ADC=" + std::to_string(bits) + ": the A/D converter of " + m_program.device + " gives " +
                             std::to_string(resolution) + " bits; use ADC=8, ADC=" + std::to_string(resolution) + " or ADC=16");
}

// read_adc() and read_adc(mode): the run-time library's __read_adc gives the converter's whole
// result, right-justified; the width #device ADC= asks for is made here.
TExpr *TParser::ReadAdcCall(const TToken &name)
{
    Expect("(");
    const TSourceSpan at = name.at;
    const TType *u8 = m_program.types.Int(1, false);
    const TType *u16 = m_program.types.Int(2, false);
    TExpr *mode = nullptr;
    if (!Peek().Is(")"))
        mode = AssignmentExpr();
    if (Accept(",")) {
        m_messages.Error(vmArguments, at, "read_adc takes at most one argument, the mode");
        SkipTo(")");
    }
    Expect(")");
    const int resolution = AdcResolution();
    if (resolution == 0) {
        m_messages.Error(vmUndefined, at, "read_adc needs the device header of a part with an A/D converter");
        return Const(0, u8, at);
    }
    TExpr *call = CallNamed("__read_adc", {mode ? Rvalue(mode) : Const(3, u8, at)}, at);
    if (!call)
        return Const(0, u8, at);
    const int bits = m_program.adcBits ? m_program.adcBits : 8;
    if (bits == 8) {
        if (resolution > 8)
            call = Binary(TOp::Shr, call, Const(resolution - 8, u8, at), at);
        return Convert(call, u8);
    }
    if (bits == 16 && resolution < 16)
        return Convert(Binary(TOp::Shl, Convert(call, u16), Const(16 - resolution, u8, at), at), u16);
    return Convert(call, u16);
}

// printf("format", values...) and puts("text"): the format is read here; the text goes out with
// putc a character at a time, numbers through the run-time library's __put_number.
TExpr *TParser::PrintCall(const TToken &name)
{
    Expect("(");
    const TSourceSpan at = name.at;
    std::string format;
    if (Peek().kind != TTok::String) {
        m_messages.Error(vmArguments, Peek().at, name.text + " needs a string in double quotes first");
        SkipTo(")", ";");
        Accept(")");
        return Const(0, nullptr, at, true);
    }
    while (Peek().kind == TTok::String)
        format += Next().text;
    if (name.text == "puts")
        format += "\r\n";
    std::vector<TExpr *> values;
    while (Accept(",")) {
        TExpr *v = AssignmentExpr();
        if (!v)
            break;
        values.push_back(Rvalue(v));
    }
    Expect(")");
    const TType *u8 = m_program.types.Int(1, false);
    const TType *u32 = m_program.types.Int(4, false);
    const TType *s32 = m_program.types.Int(4, true);
    std::vector<TExpr *> calls;
    const auto putc = [&](unsigned char c) {
        if (TExpr *call = CallNamed("putc", {Const(c, u8, at)}, at))
            calls.push_back(call);
    };
    std::size_t next = 0;
    for (std::size_t i = 0; i < format.size(); ++i) {
        const char c = format[i];
        if (c != '%') {
            putc(static_cast<unsigned char>(c));
            continue;
        }
        if (i + 1 < format.size() && format[i + 1] == '%') {
            putc('%');
            ++i;
            continue;
        }
        // %[0][width][l]conversion
        std::size_t j = i + 1;
        bool zero = false;
        int width = 0;
        if (j < format.size() && format[j] == '0') {
            zero = true;
            ++j;
        }
        while (j < format.size() && std::isdigit(static_cast<unsigned char>(format[j])))
            width = width * 10 + (format[j++] - '0');
        if (j < format.size() && format[j] == 'l')
            ++j;
        if (j >= format.size()) {
            m_messages.Error(vmArguments, at, "The format of " + name.text + " ends inside a conversion");
            break;
        }
        const char conv = format[j];
        i = j;
        if (std::string("csudxX").find(conv) == std::string::npos) {
            m_messages.Error(vmArguments, at, std::string("Unknown conversion %") + conv + " in the format of " + name.text);
            continue;
        }
        if (next >= values.size()) {
            m_messages.Error(vmArguments, at, "The format of " + name.text + " asks for more values than are given");
            break;
        }
        TExpr *v = values[next++];
        if (conv == 's') {
            if (TExpr *call = CallNamed("__put_string", {v}, at))
                calls.push_back(call);
            continue;
        }
        if (!v->type->IsInteger()) {
            m_messages.Error(vmTypeMismatch, v->at, std::string("%") + conv + " needs a number");
            continue;
        }
        if (conv == 'c') {
            if (TExpr *call = CallNamed("putc", {v}, at))
                calls.push_back(call);
            continue;
        }
        // The value widened to 32 bits: with its sign for %d, as unsigned bits otherwise.
        TExpr *wide;
        if (conv == 'd') {
            wide = Convert(v, s32);
        } else {
            const int w = v->type->kind == TTypeKind::Bit ? 1 : v->type->width;
            wide = Convert(Convert(v, m_program.types.Int(w, false)), u32);
        }
        const int flags = (conv == 'd' ? 1 : 0) | (conv == 'x' || conv == 'X' ? 2 : 0) | (conv == 'X' ? 4 : 0) | (zero ? 8 : 0);
        if (TExpr *call = CallNamed("__put_number", {wide, Const(flags, u8, at), Const(std::min(width, 255), u8, at)}, at))
            calls.push_back(call);
    }
    if (next < values.size())
        m_messages.Warning(vmwDirectiveIgnored, values[next]->at, "More values than the format of " + name.text + " uses");
    if (!m_program.rs232.used && !calls.empty())
        m_messages.Error(vmDirectiveArgs, at, name.text + " needs #use rs232(...) first");
    if (calls.empty())
        return m_program.NewExpr(TOp::Const, m_program.types.Void(), at);
    TExpr *e = calls.front();
    for (std::size_t k = 1; k < calls.size(); ++k) {
        TExpr *c = m_program.NewExpr(TOp::Comma, calls[k]->type, at);
        c->kids = {e, calls[k]};
        e = c;
    }
    return e;
}

bool TParser::IsTypeStart(const TToken &t) const
{
    if (t.kind != TTok::Ident)
        return false;
    static const char *const kWords[] = {
        "void", "int", "int1", "int8", "int16", "int32", "char", "long", "short", "signed", "unsigned",
        "float", "double", "float32", "struct", "union", "enum", "const", "volatile", "static", "extern",
        "auto", "register", "typedef", "inline", "_Bool",
    };
    for (const char *w : kWords) {
        if (t.text == w)
            return true;
    }
    for (auto it = m_scopes.rbegin(); it != m_scopes.rend(); ++it) {
        auto found = it->names.find(t.text);
        if (found != it->names.end())
            return found->second.typedefType != nullptr;
    }
    return false;
}

bool TParser::ParseDeclBase(TDeclBase *declBase)
{
    int longs = 0;
    bool sawShort = false, sawChar = false, sawInt = false, sawSigned = false, sawUnsigned = false;
    bool sawVoid = false;
    int explicitWidth = 0;   // int8/16/32, 1 for int1
    const TType *named = nullptr;
    declBase->at = Peek().at;
    while (Peek().kind == TTok::Ident) {
        const TToken &t = Peek();
        const std::string &w = t.text;
        if (w == "static") declBase->isStatic = true;
        else if (w == "typedef") declBase->isTypedef = true;
        else if (w == "const") declBase->isConst = true;
        else if (w == "extern") declBase->isExtern = true;
        else if (w == "volatile" || w == "auto" || w == "register" || w == "inline") {}
        else if (w == "void") sawVoid = true;
        else if (w == "int1" || w == "_Bool") explicitWidth = 1;
        else if (w == "int8") explicitWidth = 8;
        else if (w == "int16") explicitWidth = 16;
        else if (w == "int32") explicitWidth = 32;
        else if (w == "int") sawInt = true;
        else if (w == "char") sawChar = true;
        else if (w == "long") ++longs;
        else if (w == "short") sawShort = true;
        else if (w == "signed") sawSigned = true;
        else if (w == "unsigned") sawUnsigned = true;
        else if (w == "float" || w == "double" || w == "float32") {
            m_messages.Error(vmFloat, t.at, "Floating point (" + w + ") is not supported by this compiler");
            Next();
            declBase->any = true;
            explicitWidth = 8;   // go on as if it were an integer
            continue;
        } else if (w == "struct" || w == "union") {
            Next();
            named = ParseStruct(w == "union");
            declBase->any = true;
            continue;
        } else if (w == "enum") {
            Next();
            named = ParseEnum();
            declBase->any = true;
            continue;
        } else {
            if (named || sawVoid || explicitWidth || sawInt || sawChar || longs || sawShort || sawSigned || sawUnsigned)
                break;
            TEntry *e = Lookup(w);
            if (!e || !e->typedefType)
                break;
            named = e->typedefType;
        }
        declBase->any = true;
        Next();
    }
    if (!declBase->any)
        return false;
    const bool anyInt = explicitWidth || sawInt || sawChar || longs || sawShort || sawSigned || sawUnsigned;
    if (named && anyInt) {
        m_messages.Error(vmUnknownType, declBase->at, "Bad combination of type words");
    }
    if (named) {
        declBase->type = named;
    } else if (sawVoid) {
        declBase->type = m_program.types.Void();
    } else if (anyInt) {
        int bits = 8;
        if (explicitWidth)
            bits = explicitWidth;
        else if (sawShort)
            bits = 1;
        else if (longs == 1)
            bits = 16;
        else if (longs >= 2)
            bits = 32;
        if (bits == 1) {
            declBase->type = m_program.types.Bit();
        } else {
            declBase->type = m_program.types.Int(bits / 8, sawSigned && !sawUnsigned);
        }
    } else {
        // Only qualifiers and storage words: int8.
        declBase->type = m_program.types.Int(1, false);
    }
    if (declBase->isConst)
        declBase->type = m_program.types.WithConst(declBase->type, true);
    return true;
}

const TType *TParser::ParseStruct(bool isUnion)
{
    std::string tag;
    TSourceSpan at = Peek().at;
    if (Peek().kind == TTok::Ident) {
        tag = Next().text;
    }
    TStruct *record = nullptr;
    if (!Peek().Is("{")) {
        if (tag.empty()) {
            m_messages.Error(vmExpected, at, "Expecting a structure name or {");
            return m_program.types.Int(1, false);
        }
        record = LookupTag(tag);
        if (!record) {
            record = m_program.types.NewStruct(tag, isUnion);
            m_scopes.back().tags[tag] = record;
        }
        return m_program.types.StructType(record);
    }
    Next();   // {
    record = tag.empty() ? nullptr : m_scopes.back().tags[tag];
    if (record && record->complete)
        m_messages.Error(vmRedefined, at, "Structure " + tag + " is already defined");
    if (!record || record->complete) {
        record = m_program.types.NewStruct(tag, isUnion);
        if (!tag.empty())
            m_scopes.back().tags[tag] = record;
    }
    int offset = 0;
    int bitByte = -1;   // offset of the byte that bit fields are filling, -1 when none
    int bitUsed = 0;
    int size = 0;
    while (!AtEnd() && !Peek().Is("}")) {
        TDeclBase declBase;
        if (!ParseDeclBase(&declBase)) {
            m_messages.Error(vmDeclaration, Peek().at, "Expecting a member declaration");
            SkipTo(";", "}");
            Accept(";");
            continue;
        }
        do {
            TDeclarator decl;
            int bitWidth = -1;
            if (!Peek().Is(":")) {
                if (!ParseDeclarator(declBase.type, &decl))
                    break;
            } else {
                decl.type = declBase.type;
                decl.at = Peek().at;
            }
            if (Accept(":")) {
                bool ok = true;
                bitWidth = static_cast<int>(ConstantExpr(Peek().at, &ok));
                if (!ok || bitWidth < 0 || bitWidth > 8 || !decl.type->IsInteger()) {
                    m_messages.Error(vmDeclaration, decl.at, "Bit fields are 1 to 8 bits of an integer");
                    bitWidth = 1;
                }
            } else if (decl.type->kind == TTypeKind::Bit) {
                bitWidth = 1;   // int1 members are packed as bits
            }
            if (decl.type->kind == TTypeKind::Function || decl.type->Size() <= 0) {
                if (bitWidth < 0) {
                    m_messages.Error(vmDeclaration, decl.at, "Member " + decl.name + " has no size");
                    continue;
                }
            }
            if (!decl.name.empty() && record->Find(decl.name))
                m_messages.Error(vmRedefined, decl.at, "Member " + decl.name + " is already defined");
            TMember m;
            m.name = decl.name;
            m.type = decl.type;
            if (bitWidth >= 0) {
                const int here = isUnion ? 0 : offset;
                if (isUnion) {
                    m.offset = 0;
                    m.bitOffset = 0;
                } else {
                    if (bitByte < 0 || bitUsed + bitWidth > 8) {
                        bitByte = here;
                        bitUsed = 0;
                        offset += 1;
                    }
                    m.offset = bitByte;
                    m.bitOffset = bitUsed;
                    bitUsed += bitWidth;
                }
                m.bitWidth = bitWidth == 0 ? 0 : bitWidth;
                if (bitWidth == 0) {
                    bitByte = -1;   // ":0" closes the byte
                    continue;
                }
                size = std::max(size, isUnion ? 1 : offset);
            } else {
                bitByte = -1;
                m.offset = isUnion ? 0 : offset;
                if (!isUnion)
                    offset += decl.type->Size();
                size = std::max(size, isUnion ? decl.type->Size() : offset);
            }
            record->members.push_back(m);
        } while (Accept(","));
        Expect(";");
    }
    Expect("}");
    record->size = size;
    record->complete = true;
    return m_program.types.StructType(record);
}

const TType *TParser::ParseEnum()
{
    if (Peek().kind == TTok::Ident)
        Next();   // the tag names nothing we need
    if (!Accept("{"))
        return m_program.types.Int(1, false);
    std::int64_t next = 0;
    std::vector<TSymbol *> members;
    std::int64_t low = 0, high = 0;
    while (!AtEnd() && !Peek().Is("}")) {
        if (Peek().kind != TTok::Ident) {
            m_messages.Error(vmExpected, Peek().at, "Expecting an enumeration name");
            SkipTo("}");
            break;
        }
        const TToken &name = Next();
        if (Accept("="))
            next = ConstantExpr(name.at);
        TSymbol *s = m_program.NewSymbol();
        s->name = name.text;
        s->storage = TStorage::Constant;
        s->constValue = next;
        s->at = name.at;
        members.push_back(s);
        low = std::min(low, next);
        high = std::max(high, next);
        TEntry e;
        e.symbol = s;
        Bind(name.text, e, name.at);
        ++next;
        if (!Accept(","))
            break;
    }
    Expect("}");
    const TType *type;
    if (low >= 0 && high <= 255)
        type = m_program.types.Int(1, false);
    else if (low >= -128 && high <= 127)
        type = m_program.types.Int(1, true);
    else if (low >= 0 && high <= 65535)
        type = m_program.types.Int(2, false);
    else if (low >= -32768 && high <= 32767)
        type = m_program.types.Int(2, true);
    else
        type = m_program.types.Int(4, low < 0);
    for (TSymbol *s : members)
        s->type = type;
    return type;
}

bool TParser::ParseDeclarator(const TType *base, TDeclarator *decl, bool abstractAllowed)
{
    const TType *type = base;
    while (Accept("*")) {
        type = m_program.types.Pointer(type);
        while (Peek().IsIdent("const") || Peek().IsIdent("volatile"))
            Next();
    }
    // An "&" parameter passes a reference in the dialect; here it passes the value.
    if (Peek().Is("&") && abstractAllowed)
        Next();
    decl->at = Peek().at;
    if (Peek().kind == TTok::Ident && !IsTypeStart(Peek())) {
        decl->name = Next().text;
    } else if (Peek().Is("(") && Peek(1).Is("*")) {
        m_messages.Error(vmUnsupported, Peek().at, "Pointers to functions are not supported");
        SkipTo(";", ",");
        return false;
    } else if (!abstractAllowed) {
        m_messages.Error(vmExpected, Peek().at, "Expecting an identifier");
        return false;
    }
    std::vector<int> dims;
    bool isFunction = false;
    std::vector<const TType *> params;
    while (true) {
        if (Accept("[")) {
            if (Accept("]")) {
                dims.push_back(-1);
                continue;
            }
            bool ok = true;
            const std::int64_t n = ConstantExpr(Peek().at, &ok);
            if (ok && (n <= 0 || n > 32767)) {
                m_messages.Error(vmDeclaration, decl->at, "Bad array size " + std::to_string(n));
            }
            dims.push_back(ok && n > 0 && n <= 32767 ? static_cast<int>(n) : 1);
            Expect("]");
            continue;
        }
        if (Peek().Is("(") && !isFunction && dims.empty()) {
            Next();
            isFunction = true;
            if (Peek().IsIdent("void") && Peek(1).Is(")")) {
                Next();
                Next();
                break;
            }
            while (!AtEnd() && !Peek().Is(")")) {
                if (Accept("...")) {
                    m_messages.Error(vmUnsupported, m_tokens[m_pos - 1].at, "Functions with a variable number of arguments are not supported");
                    continue;
                }
                TDeclBase pspec;
                if (!ParseDeclBase(&pspec)) {
                    m_messages.Error(vmExpected, Peek().at, "Expecting a parameter type");
                    SkipTo(")");
                    break;
                }
                TDeclarator pdecl;
                if (!ParseDeclarator(pspec.type, &pdecl, true)) {
                    SkipTo(")");
                    break;
                }
                const TType *pt = pdecl.type;
                if (pt->kind == TTypeKind::Array)
                    pt = m_program.types.Pointer(pt->target);
                if (pt->kind == TTypeKind::Struct) {
                    m_messages.Error(vmUnsupported, pdecl.at, "Structures are passed by pointer, not by value");
                    pt = m_program.types.Pointer(pt);
                }
                if (pt->kind == TTypeKind::Void) {
                    m_messages.Error(vmDeclaration, pdecl.at, "A parameter can not be void");
                    pt = m_program.types.Int(1, false);
                }
                params.push_back(pt);
                decl->paramNames.push_back(pdecl.name);
                decl->paramAt.push_back(pdecl.at);
                if (!Accept(","))
                    break;
            }
            Expect(")");
            continue;
        }
        break;
    }
    for (auto it = dims.rbegin(); it != dims.rend(); ++it) {
        if (*it < 0 && it + 1 != dims.rend())
            m_messages.Error(vmDeclaration, decl->at, "Only the first array size may be left out");
        type = m_program.types.Array(type, *it);
    }
    if (isFunction) {
        if (type->kind == TTypeKind::Struct || type->kind == TTypeKind::Array) {
            m_messages.Error(vmUnsupported, decl->at, "A function can not return a structure or an array");
            type = m_program.types.Void();
        }
        type = m_program.types.Function(m_program.types.WithConst(type, false), params);
        decl->isFunction = true;
    }
    decl->type = type;
    return true;
}

const TType *TParser::ParseTypeName()
{
    TDeclBase declBase;
    if (!ParseDeclBase(&declBase))
        return nullptr;
    TDeclarator decl;
    ParseDeclarator(declBase.type, &decl, true);
    return decl.type ? decl.type : declBase.type;
}

void TParser::ExternalDeclaration()
{
    TDeclBase declBase;
    const TToken &first = Peek();
    if (!ParseDeclBase(&declBase)) {
        // A function without a result type (main() { ... }) is void.
        if (first.kind == TTok::Ident && Peek(1).Is("(")) {
            declBase.type = m_program.types.Void();
            declBase.at = first.at;
        } else {
            m_messages.Error(vmDeclaration, first.at, "Expecting a declaration");
            SkipTo(";", "}");
            Accept(";");
            Accept("}");
            return;
        }
    }
    if (Accept(";"))
        return;   // struct or enum declaration alone
    bool firstDeclarator = true;
    do {
        TDeclarator decl;
        if (!ParseDeclarator(declBase.type, &decl)) {
            SkipTo(";", "}");
            Accept(";");
            return;
        }
        if (declBase.isTypedef) {
            TEntry e;
            e.typedefType = decl.type;
            Bind(decl.name, e, decl.at);
            continue;
        }
        if (decl.isFunction) {
            if (firstDeclarator && Peek().Is("{")) {
                FunctionDefinition(declBase, decl);
                return;
            }
            DeclareFunction(decl, false);
        } else {
            DeclareVariable(declBase, decl, true);
        }
        firstDeclarator = false;
    } while (Accept(","));
    Expect(";");
}

TSymbol *TParser::DeclareFunction(const TDeclarator &decl, bool definition)
{
    TEntry *existing = Lookup(decl.name);
    TFunction *f = nullptr;
    if (existing && existing->symbol && existing->symbol->storage == TStorage::Function) {
        f = existing->symbol->function;
        if (f->type != decl.type) {
            m_messages.Error(vmRedefined, decl.at, "Function " + decl.name + " does not match its earlier declaration");
        }
        if (definition && f->defined)
            m_messages.Error(vmRedefined, decl.at, "Function " + decl.name + " is already defined");
    } else {
        f = m_program.NewFunction();
        f->name = decl.name;
        f->at = decl.at;
        f->type = decl.type;
        TSymbol *s = m_program.NewSymbol();
        s->name = decl.name;
        s->storage = TStorage::Function;
        s->type = decl.type;
        s->function = f;
        s->at = decl.at;
        f->symbol = s;
        m_program.functions.push_back(f);
        TEntry e;
        e.symbol = s;
        // Functions live in the outermost scope.
        auto &names = m_scopes.front().names;
        if (names.count(decl.name))
            m_messages.Error(vmRedefined, decl.at, "Identifier " + decl.name + " is already defined");
        names[decl.name] = e;
    }
    if (definition)
        f->at = decl.at;
    return f->symbol;
}

void TParser::FunctionDefinition(const TDeclBase &declBase, TDeclarator &decl)
{
    (void)declBase;
    TSymbol *s = DeclareFunction(decl, true);
    TFunction *f = s->function;
    if (!m_pendingInterrupt.empty()) {
        f->interrupt = m_pendingInterrupt;
        m_pendingInterrupt.clear();
    }
    f->defined = true;
    f->params.clear();
    f->locals.clear();
    m_function = f;
    m_localNames.clear();
    PushScope();
    for (std::size_t i = 0; i < decl.paramNames.size(); ++i) {
        TSymbol *p = m_program.NewSymbol();
        p->name = decl.paramNames[i];
        p->type = decl.type->params[i];
        p->storage = TStorage::Param;
        p->owner = f;
        p->at = decl.paramAt[i];
        p->asmName = f->name + "." + (p->name.empty() ? "p" + std::to_string(i) : p->name);
        f->params.push_back(p);
        if (!p->name.empty()) {
            TEntry e;
            e.symbol = p;
            Bind(p->name, e, p->at);
            m_localNames[p->name] = 1;
        }
    }
    f->body = Block(false);
    PopScope();
    // Labels that goto names but no statement defines.
    m_function = nullptr;
}

bool TParser::ParseInitializer(const TType *type, int offset, std::vector<TInitByte> *bytes, int *arrayCount,
                               std::vector<std::pair<int, TExpr *>> *runtime)
{
    const auto putValue = [&](std::int64_t v, int size, int at) {
        for (int i = 0; i < size; ++i)
            bytes->push_back({at + i, static_cast<std::uint8_t>((static_cast<std::uint64_t>(v) >> (8 * i)) & 0xFF)});
    };
    if (type->kind == TTypeKind::Array) {
        const TType *element = type->target;
        const int elementSize = element->Size();
        if (Peek().kind == TTok::String && element->IsInteger() && elementSize == 1) {
            std::string text;
            while (Peek().kind == TTok::String)
                text += Next().text;
            int n = static_cast<int>(text.size()) + 1;
            if (type->count >= 0 && n > type->count) {
                if (n - 1 > type->count)
                    m_messages.Error(vmDeclaration, Peek().at, "The string is longer than the array");
                n = type->count;
            }
            for (int i = 0; i < n; ++i)
                putValue(i < static_cast<int>(text.size()) ? static_cast<unsigned char>(text[static_cast<std::size_t>(i)]) : 0, 1, offset + i);
            if (arrayCount)
                *arrayCount = n;
            return true;
        }
        if (!Accept("{")) {
            m_messages.Error(vmExpected, Peek().at, "Expecting { for the array's initial values");
            SkipTo(";", ",");
            return false;
        }
        int index = 0;
        while (!AtEnd() && !Peek().Is("}")) {
            if (type->count >= 0 && index >= type->count) {
                m_messages.Error(vmDeclaration, Peek().at, "Too many initial values for the array");
                SkipTo("}");
                break;
            }
            if (!ParseInitializer(element, offset + index * elementSize, bytes, nullptr, runtime))
                return false;
            ++index;
            if (!Accept(","))
                break;
        }
        Expect("}");
        if (arrayCount)
            *arrayCount = index;
        return true;
    }
    if (type->kind == TTypeKind::Struct) {
        const TStruct *record = type->record;
        if (!record || !record->complete) {
            m_messages.Error(vmDeclaration, Peek().at, "Structure is not defined");
            return false;
        }
        if (!Accept("{")) {
            m_messages.Error(vmExpected, Peek().at, "Expecting { for the structure's initial values");
            SkipTo(";", ",");
            return false;
        }
        std::size_t member = 0;
        while (!AtEnd() && !Peek().Is("}")) {
            if (member >= record->members.size() || (record->isUnion && member > 0)) {
                m_messages.Error(vmDeclaration, Peek().at, "Too many initial values for the structure");
                SkipTo("}");
                break;
            }
            const TMember &m = record->members[member];
            if (m.bitOffset >= 0) {
                bool ok = true;
                const std::int64_t v = ConstantExpr(Peek().at, &ok);
                const std::uint8_t mask = static_cast<std::uint8_t>(((1u << m.bitWidth) - 1) << m.bitOffset);
                const std::uint8_t bits = static_cast<std::uint8_t>((static_cast<std::uint64_t>(v) << m.bitOffset) & mask);
                bool merged = false;
                for (TInitByte &b : *bytes) {
                    if (b.offset == offset + m.offset) {
                        b.value = static_cast<std::uint8_t>((b.value & ~mask) | bits);
                        merged = true;
                    }
                }
                if (!merged)
                    bytes->push_back({offset + m.offset, bits});
            } else if (!ParseInitializer(m.type, offset + m.offset, bytes, nullptr, runtime)) {
                return false;
            }
            ++member;
            if (!Accept(","))
                break;
        }
        Expect("}");
        return true;
    }
    // A scalar, possibly in braces.
    const bool braced = Accept("{");
    const TSourceSpan at = Peek().at;
    TExpr *e = AssignmentExpr();
    if (braced)
        Expect("}");
    if (!e)
        return false;
    e = Rvalue(e);
    if (e->type->kind == TTypeKind::Pointer && type->IsInteger())
        m_messages.Error(vmTypeMismatch, at, "A pointer can not be the initial value of " + type->Name());
    TExpr *converted = Fold(Convert(e, m_program.types.WithConst(type, false)));
    if (converted->op == TOp::Const) {
        if (e->op == TOp::Const && e->literal && !FitsType(e->value, type) &&
            !(type->kind == TTypeKind::Int && FitsType(e->value, m_program.types.Int(type->width, !type->isSigned))))
            m_messages.Warning(vmwTruncated, at, "The value " + std::to_string(e->value) + " does not fit into " + type->Name());
        putValue(converted->value, type->Size(), offset);
        return true;
    }
    if (runtime) {
        runtime->push_back({offset, converted});
        return true;
    }
    m_messages.Error(vmNotConstant, at, "The initial value must be a constant");
    return true;
}

void TParser::DeclareVariable(const TDeclBase &declBase, TDeclarator &decl, bool global)
{
    const TType *type = decl.type;
    if (type->kind == TTypeKind::Void) {
        m_messages.Error(vmDeclaration, decl.at, "A variable can not be void");
        type = m_program.types.Int(1, false);
    }
    if (type->kind == TTypeKind::Struct && (!type->record || !type->record->complete)) {
        m_messages.Error(vmDeclaration, decl.at, "Structure " + (type->record ? type->record->tag : std::string()) + " is not defined");
        type = m_program.types.Int(1, false);
    }
    TSymbol *s = m_program.NewSymbol();
    s->name = decl.name;
    s->at = decl.at;
    s->type = type;
    const bool isConst = type->isConst || (type->kind == TTypeKind::Array && type->target->isConst) || declBase.isConst;
    if (global)
        s->storage = TStorage::Global;
    else
        s->storage = declBase.isStatic ? TStorage::Static : TStorage::Local;
    s->owner = global ? nullptr : m_function;

    std::vector<std::pair<int, TExpr *>> runtime;
    if (Accept("=")) {
        s->hasInit = true;
        int count = -1;
        const bool runtimeAllowed = !global && s->storage == TStorage::Local;
        ParseInitializer(type, 0, &s->init, &count, runtimeAllowed ? &runtime : nullptr);
        if (type->kind == TTypeKind::Array && type->count < 0) {
            type = m_program.types.Array(type->target, std::max(count, 1));
            s->type = type;
        }
    }
    if (type->kind == TTypeKind::Array && type->count < 0) {
        m_messages.Error(vmDeclaration, decl.at, "The size of array " + decl.name + " is not known");
        s->type = type = m_program.types.Array(type->target, 1);
    }
    if (isConst && (global || s->storage == TStorage::Static || s->storage == TStorage::Local)) {
        if (!s->hasInit)
            m_messages.Error(vmDeclaration, decl.at, "Constant " + decl.name + " needs a value");
        if (type->kind == TTypeKind::Array || type->kind == TTypeKind::Struct) {
            s->storage = TStorage::Rom;
            s->rom.assign(static_cast<std::size_t>(type->Size()), 0);
            for (const TInitByte &b : s->init) {
                if (b.offset >= 0 && b.offset < static_cast<int>(s->rom.size()))
                    s->rom[static_cast<std::size_t>(b.offset)] = b.value;
            }
            if (!runtime.empty())
                m_messages.Error(vmNotConstant, decl.at, "A constant table needs constant values");
            runtime.clear();
        } else if (type->IsInteger() && runtime.empty()) {
            s->storage = TStorage::Constant;
            std::uint64_t v = 0;
            for (const TInitByte &b : s->init)
                v |= static_cast<std::uint64_t>(b.value) << (8 * b.offset);
            s->constValue = Truncate(static_cast<std::int64_t>(v), type);
        }
    }
    if (s->storage == TStorage::Local || s->storage == TStorage::Static) {
        // Unique assembly names for locals: "function.name", numbered when shadowed.
        int &n = m_localNames[decl.name];
        ++n;
        s->asmName = m_function->name + "." + decl.name + (n > 1 ? "_" + std::to_string(n) : std::string());
        m_function->locals.push_back(s);
    } else if (s->storage == TStorage::Rom && !global) {
        int &n = m_localNames[decl.name];
        ++n;
        s->asmName = m_function->name + "." + decl.name + (n > 1 ? "_" + std::to_string(n) : std::string());
        m_program.globals.push_back(s);
    } else {
        s->asmName = decl.name;
        if (global) {
            TEntry *old = m_scopes.front().names.count(decl.name) ? &m_scopes.front().names[decl.name] : nullptr;
            if (old && old->symbol && old->symbol->storage != TStorage::Function && declBase.isExtern)
                return;
        }
        if (global || s->storage == TStorage::Constant)
            m_program.globals.push_back(s);
    }
    if (declBase.isExtern && global) {
        // An extern declaration without a definition elsewhere in the same program defines it.
    }
    TEntry e;
    e.symbol = s;
    Bind(decl.name, e, decl.at);

    if (s->storage == TStorage::Local && m_function) {
        // The initial value is assigned each time the declaration is reached.
        TStmt *init = m_program.NewStmt(TStmtKind::Init, decl.at);
        init->label = decl.name;
        TExpr *var = m_program.NewExpr(TOp::Var, type, decl.at);
        var->sym = s;
        init->expr = var;
        // Runtime values are assignments after the constant bytes.
        for (const auto &[offset, value] : runtime) {
            TExpr *target = var;
            if (!(offset == 0 && type->IsScalar())) {
                // Element of an array or member of a structure.
                TExpr *addr = m_program.NewExpr(TOp::Add, m_program.types.Pointer(value->type), decl.at);
                addr->kids = {AddressOf(var, decl.at), Const(offset, m_program.types.Int(2, false), decl.at)};
                addr->kids[0]->type = m_program.types.Pointer(value->type);
                target = Deref(addr, decl.at);
            }
            TExpr *assign = m_program.NewExpr(TOp::Assign, target->type, decl.at);
            assign->kids = {target, value};
            TStmt *st = m_program.NewStmt(TStmtKind::Expr, decl.at);
            st->expr = assign;
            init->list.push_back(st);
        }
        m_pendingInit.push_back(init);
    }
}

// ---------------------------------------------------------------------------------------------
// Directives

void TParser::Directive()
{
    const TToken dir = Next();
    const std::string &name = dir.text;
    std::vector<TToken> args;
    while (!AtEnd() && Peek().kind != TTok::DirectiveEnd)
        args.push_back(Next());
    if (Peek().kind == TTok::DirectiveEnd)
        Next();
    TSourceSpan at = dir.at;
    const auto argText = [&](std::size_t from) {
        std::string s;
        for (std::size_t i = from; i < args.size(); ++i)
            s += (i > from && args[i].spaceBefore ? " " : "") + args[i].text;
        return s;
    };
    // Small expression reader over the directive's tokens: numbers and #byte names.
    const auto value = [&](std::size_t &i, bool *ok) -> std::int64_t {
        *ok = false;
        if (i >= args.size())
            return 0;
        const TToken &t = args[i];
        if (t.kind == TTok::Number && !t.isFloat) {
            ++i;
            *ok = true;
            return static_cast<std::int64_t>(t.value);
        }
        if (t.kind == TTok::Ident) {
            TEntry *e = Lookup(t.text);
            if (e && e->symbol && (e->symbol->storage == TStorage::Register || e->symbol->fixed)) {
                ++i;
                *ok = true;
                return e->symbol->address;
            }
            if (e && e->symbol && e->symbol->storage == TStorage::Constant) {
                ++i;
                *ok = true;
                return e->symbol->constValue;
            }
        }
        return 0;
    };

    if (name == "device") {
        for (std::size_t i = 0; i < args.size(); ++i) {
            const TToken &t = args[i];
            const std::string lower = Lower(t.text);
            if (t.Is("*") && i + 2 < args.size() && args[i + 1].Is("=")) {
                m_program.pointerWidth = static_cast<int>(args[i + 2].value);
                i += 2;
            } else if (t.kind == TTok::Ident && lower == "adc" && i + 2 < args.size() && args[i + 1].Is("=")) {
                m_program.adcBits = static_cast<int>(args[i + 2].value);
                m_program.adcBitsAt = args[i].at;
                i += 2;
            } else if (t.kind == TTok::Ident && lower == "icd" && i + 2 < args.size() && args[i + 1].Is("=")) {
                m_program.icd = Lower(args[i + 2].text) == "true" || args[i + 2].value != 0;
                i += 2;
            } else if (t.kind == TTok::Ident && (lower.rfind("pic", 0) == 0 || std::isdigit(static_cast<unsigned char>(lower[0])))) {
                std::string part = t.text;
                for (char &c : part)
                    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
                if (part.rfind("PIC", 0) != 0)
                    part = "PIC" + part;
                if (!m_program.device.empty() && m_program.device != part) {
                    m_messages.Error(vmDevice, t.at, "The part is already chosen: " + m_program.device);
                } else {
                    m_program.device = part;
                    m_program.deviceAt = t.at;
                }
            } else if (t.kind == TTok::Number && i == 0) {
                // "#device 16F877A" lexes as a number followed by a name.
                std::string part = t.text;
                if (i + 1 < args.size() && args[i + 1].kind == TTok::Ident && !args[i + 1].spaceBefore) {
                    part += args[i + 1].text;
                    ++i;
                }
                for (char &c : part)
                    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
                m_program.device = "PIC" + part;
                m_program.deviceAt = t.at;
            } else if (t.Is(",")) {
            } else if (t.kind == TTok::Ident && (lower == "const" || lower == "high_ints" || lower == "pass_strings")) {
                while (i + 1 < args.size() && !args[i + 1].Is(","))
                    ++i;
            }
        }
        return;
    }
    if (name == "fuses") {
        for (const TToken &t : args) {
            if (t.kind == TTok::Ident || t.kind == TTok::Number)
                m_program.fuses.push_back({t.text, t.at});
        }
        return;
    }
    if (name == "zero_ram") {
        m_program.zeroRam = true;
        return;
    }
    if (name.rfind("int_", 0) == 0) {
        if (!m_pendingInterrupt.empty())
            m_messages.Error(vmInterrupt, m_pendingInterruptAt, "#int_" + m_pendingInterrupt + " is not followed by a function");
        m_pendingInterrupt = name.substr(4);
        m_pendingInterruptAt = at;
        return;
    }
    if (name == "byte" || name == "bit" || name == "locate") {
        if (args.size() < 3 || args[0].kind != TTok::Ident || !args[1].Is("=")) {
            m_messages.Error(vmDirectiveArgs, at, "#" + name + " needs: name = address");
            return;
        }
        std::size_t i = 2;
        bool ok = false;
        std::int64_t address = 0;
        int bit = -1;
        TSymbol *aliasOf = nullptr;
        if (name == "bit" && args[i].kind == TTok::Number && args[i].isFloat) {
            // "6.1" reads as one number.
            const std::string &text = args[i].text;
            const std::size_t dot = text.find('.');
            std::uint64_t a = 0, b = 0;
            ok = dot != std::string::npos && ParseIntegerLiteral(text.substr(0, dot), &a, nullptr) &&
                 ParseIntegerLiteral(text.substr(dot + 1), &b, nullptr);
            address = static_cast<std::int64_t>(a);
            bit = static_cast<int>(b);
            ++i;
        } else {
            TSymbol *aliased = nullptr;
            if (name == "bit" && args[i].kind == TTok::Ident) {
                TEntry *target = Lookup(args[i].text);
                if (target && target->symbol && target->symbol->storage == TStorage::Global && !target->symbol->fixed &&
                    target->symbol->type->IsInteger() && target->symbol->type->kind != TTypeKind::Bit)
                    aliased = target->symbol;
            }
            if (aliased) {
                ++i;
                ok = true;
                aliasOf = aliased;
            } else {
                address = value(i, &ok);
            }
            if (ok && name == "bit") {
                if (i + 1 < args.size() && args[i].Is(".") && args[i + 1].kind == TTok::Number) {
                    bit = static_cast<int>(args[i + 1].value);
                    i += 2;
                } else if (i < args.size() && args[i].kind == TTok::Number && args[i].isFloat && args[i].text[0] == '.') {
                    bit = std::atoi(args[i].text.c_str() + 1);
                    ++i;
                } else {
                    ok = false;
                }
            }
        }
        if (!ok || address < 0 || address > 0xFFF || (name == "bit" && (bit < 0 || bit > 7)) || i != args.size()) {
            m_messages.Error(vmDirectiveArgs, at, "#" + name + " needs: name = address" + (name == "bit" ? ".bit" : ""));
            return;
        }
        const std::string varName = args[0].text;
        TEntry *e = Lookup(varName);
        if (e && e->symbol && (e->symbol->storage == TStorage::Global || e->symbol->storage == TStorage::Static)) {
            // Places an existing variable.
            e->symbol->address = static_cast<int>(address);
            e->symbol->fixed = true;
            if (bit >= 0)
                e->symbol->bit = bit;
            return;
        }
        if (name == "locate") {
            m_messages.Error(vmUndefined, args[0].at, "Variable " + varName + " is not defined");
            return;
        }
        TSymbol *s = m_program.NewSymbol();
        s->name = varName;
        s->at = args[0].at;
        s->storage = name == "byte" ? TStorage::Register : TStorage::BitRegister;
        s->type = name == "byte" ? m_program.types.Int(1, false) : m_program.types.Bit();
        s->address = static_cast<int>(address);
        s->bit = bit;
        s->fixed = true;
        s->alias = aliasOf;
        if (aliasOf && bit >= 8 * aliasOf->type->Size()) {
            m_messages.Error(vmDirectiveArgs, at, "Bit " + std::to_string(bit) + " is outside " + aliasOf->name);
            return;
        }
        s->asmName = varName;
        m_program.globals.push_back(s);
        TEntry entry;
        entry.symbol = s;
        Bind(varName, entry, s->at);
        return;
    }
    if (name == "rom") {
        // #rom address = {word, word, ...}
        std::size_t i = 0;
        bool ok = false;
        if (i < args.size() && args[i].kind == TTok::Ident && Lower(args[i].text) == "int8")
            ++i;
        const std::int64_t address = value(i, &ok);
        if (!ok || i >= args.size() || !args[i].Is("=") || i + 1 >= args.size() || !args[i + 1].Is("{")) {
            m_messages.Error(vmDirectiveArgs, at, "#rom needs: address = {values}");
            return;
        }
        i += 2;
        TRomEntry entry;
        entry.address = static_cast<std::uint32_t>(address);
        entry.at = at;
        while (i < args.size() && !args[i].Is("}")) {
            if (args[i].Is(",")) {
                ++i;
                continue;
            }
            bool negative = false;
            if (args[i].Is("-")) {
                negative = true;
                ++i;
            }
            if (i < args.size() && args[i].kind == TTok::String) {
                for (char c : args[i].text)
                    entry.words.push_back(static_cast<unsigned char>(c));
                ++i;
                continue;
            }
            const std::int64_t v = value(i, &ok);
            if (!ok) {
                m_messages.Error(vmDirectiveArgs, i < args.size() ? args[i].at : at, "#rom values must be numbers");
                return;
            }
            entry.words.push_back(static_cast<std::uint16_t>(negative ? -v : v));
        }
        m_program.roms.push_back(entry);
        return;
    }
    if (name == "use") {
        if (!args.empty() && Lower(args[0].text) == "delay") {
            // #use delay(clock=20000000) or (clock=20M), or (20000000)
            for (std::size_t i = 1; i < args.size(); ++i) {
                if (args[i].kind != TTok::Number)
                    continue;
                std::uint64_t v = args[i].value;
                std::string suffix;
                if (args[i].isFloat) {
                    suffix = args[i].text;
                }
                if (i + 1 < args.size() && args[i + 1].kind == TTok::Ident && !args[i + 1].spaceBefore)
                    suffix = Lower(args[i + 1].text);
                if (suffix == "m" || suffix == "mhz")
                    v *= 1000000;
                else if (suffix == "k" || suffix == "khz")
                    v *= 1000;
                m_program.clock = static_cast<std::uint32_t>(v);
                m_program.clockAt = at;
                break;
            }
            if (m_program.clock == 0)
                m_messages.Error(vmDirectiveArgs, at, "#use delay needs the clock: #use delay(clock=20000000)");
            return;
        }
        if (!args.empty() && Lower(args[0].text) == "rs232") {
            // #use rs232(baud=9600,parity=N,xmit=PIN_C6,rcv=PIN_C7,bits=8,...): the hardware
            // serial port; the run-time library of the device header sends and receives.
            m_program.rs232.used = true;
            m_program.rs232.at = at;
            for (std::size_t i = 1; i < args.size(); ++i) {
                if (args[i].kind == TTok::Ident && Lower(args[i].text) == "invert" && !(i + 1 < args.size() && args[i + 1].Is("=")))
                    m_program.rs232.invert = true;
            }
            for (std::size_t i = 1; i + 2 < args.size(); ++i) {
                if (args[i].kind != TTok::Ident || !args[i + 1].Is("="))
                    continue;
                const std::string key = Lower(args[i].text);
                std::size_t j = i + 2;
                bool ok = false;
                const std::int64_t v = value(j, &ok);
                if (key == "baud" && ok && v > 0)
                    m_program.rs232.baud = static_cast<std::uint32_t>(v);
                else if (key == "baud")
                    m_messages.Error(vmDirectiveArgs, args[i].at, "#use rs232: baud= needs a number of bits per second");
                else if ((key == "xmit" || key == "rcv") && (!ok || v <= 0))
                    m_messages.Error(vmDirectiveArgs, args[i + 2].at, "#use rs232: " + key + "=" + args[i + 2].text +
                                                                          " is not a pin of the part (PIN_B0 ...)");
                else if (key == "xmit")
                    m_program.rs232.xmit = static_cast<int>(v);
                else if (key == "rcv")
                    m_program.rs232.rcv = static_cast<int>(v);
                else if (key == "bits" && ok && v != 8)
                    m_messages.Warning(vmwDirectiveIgnored, args[i].at, "#use rs232 sends 8 data bits; bits=" + std::to_string(v) + " was ignored");
                else if (key == "parity" && i + 2 < args.size() && Lower(args[i + 2].text) != "n")
                    m_messages.Warning(vmwDirectiveIgnored, args[i].at, "#use rs232 sends without parity; parity=" + args[j].text + " was ignored");
            }
            return;
        }
        if (!args.empty() && Lower(args[0].text) == "i2c") {
            // #use i2c(Master,Fast,sda=PIN_C4,scl=PIN_C3[,force_hw][,restart_wdt][,slow=n|fast=n])
            auto &bus = m_program.i2c;
            bus.used = true;
            bus.at = at;
            for (std::size_t i = 1; i < args.size(); ++i) {
                if (args[i].kind != TTok::Ident)
                    continue;
                const std::string key = Lower(args[i].text);
                const bool assigned = i + 2 < args.size() && args[i + 1].Is("=");
                if (!assigned) {
                    if (key == "master")
                        bus.master = true;
                    else if (key == "slave")
                        m_messages.Error(vmUnsupported, args[i].at, "#use i2c: this compiler drives the bus as its master only");
                    else if (key == "fast")
                        bus.rate = 400000;
                    else if (key == "slow")
                        bus.rate = 100000;
                    else if (key == "force_hw")
                        bus.forceHardware = true;
                    else if (key == "force_sw")
                        bus.forceSoftware = true;
                    continue;
                }
                std::size_t j = i + 2;
                bool ok = false;
                const std::int64_t v = value(j, &ok);
                if ((key == "sda" || key == "scl") && (!ok || v <= 0)) {
                    m_messages.Error(vmDirectiveArgs, args[i + 2].at,
                                     "#use i2c: " + key + "=" + args[i + 2].text + " is not a pin of the part (PIN_C4 ...)");
                } else if (key == "sda") {
                    bus.sda = static_cast<int>(v);
                } else if (key == "scl") {
                    bus.scl = static_cast<int>(v);
                } else if ((key == "fast" || key == "slow") && ok && v > 0) {
                    bus.rate = static_cast<std::uint32_t>(v);
                } else if (key == "address") {
                    m_messages.Error(vmUnsupported, args[i].at, "#use i2c: this compiler drives the bus as its master only");
                }
                i = j - 1;
            }
            if (bus.sda < 0 || bus.scl < 0)
                m_messages.Error(vmDirectiveArgs, at, "#use i2c needs its pins: sda=PIN_xx and scl=PIN_xx");
            return;
        }
        m_messages.Warning(vmwDirectiveIgnored, at, "#use " + argText(0) + " is not supported yet and was ignored");
        return;
    }
    static const char *const kQuiet[] = {"nolist", "list", "case", "opt", "ignore_warnings", "priority", "separate",
                                         "inline", "id", "type", "reserve", "org", "hexcomment", "serialize",
                                         "export", "import", "module", "build", "nomodule"};
    for (const char *q : kQuiet) {
        if (name == q) {
            if (name != "nolist" && name != "list" && name != "case")
                m_messages.Warning(vmwDirectiveIgnored, at, "#" + name + " is not supported and was ignored");
            return;
        }
    }
    if (name == "asm" || name == "endasm") {
        m_messages.Error(vmUnsupported, at, "#asm is not supported");
        return;
    }
    m_messages.Error(vmBadDirective, at, "Unknown directive #" + name);
}

// ---------------------------------------------------------------------------------------------
// Statements

TStmt *TParser::Block(bool newScope)
{
    TStmt *block = m_program.NewStmt(TStmtKind::Block, Peek().at);
    if (!Expect("{")) {
        SkipTo(";", "}");
        Accept(";");
        return block;
    }
    if (newScope)
        PushScope();
    while (!AtEnd() && !Peek().Is("}") && !m_messages.TooMany()) {
        const std::size_t before = m_pos;
        if (Peek().kind == TTok::Directive) {
            Directive();
            continue;
        }
        if (IsTypeStart(Peek()) && !(Peek(1).Is(":") )) {
            LocalDeclaration(&block->list);
        } else {
            TStmt *s = Statement();
            if (s)
                block->list.push_back(s);
        }
        if (m_pos == before)
            Next();
    }
    Expect("}");
    if (newScope)
        PopScope();
    return block;
}

void TParser::LocalDeclaration(std::vector<TStmt *> *out)
{
    TDeclBase declBase;
    ParseDeclBase(&declBase);
    if (Accept(";"))
        return;
    do {
        TDeclarator decl;
        if (!ParseDeclarator(declBase.type, &decl)) {
            SkipTo(";", "}");
            Accept(";");
            return;
        }
        if (declBase.isTypedef) {
            TEntry e;
            e.typedefType = decl.type;
            Bind(decl.name, e, decl.at);
            continue;
        }
        if (decl.isFunction) {
            DeclareFunction(decl, false);
            continue;
        }
        m_pendingInit.clear();
        DeclareVariable(declBase, decl, false);
        for (TStmt *s : m_pendingInit)
            out->push_back(s);
        m_pendingInit.clear();
    } while (Accept(","));
    Expect(";");
}

TStmt *TParser::Statement()
{
    const TToken &t = Peek();
    const TSourceSpan at = t.at;
    if (t.Is("{"))
        return Block(true);
    if (t.Is(";")) {
        Next();
        return m_program.NewStmt(TStmtKind::Empty, at);
    }
    if (t.kind == TTok::Ident) {
        const std::string &w = t.text;
        if (w == "if") {
            Next();
            TStmt *s = m_program.NewStmt(TStmtKind::If, at);
            Expect("(");
            s->expr = Condition(Expression());
            Expect(")");
            s->body = Statement();
            if (Peek().IsIdent("else")) {
                Next();
                s->other = Statement();
            }
            return s;
        }
        if (w == "while") {
            Next();
            TStmt *s = m_program.NewStmt(TStmtKind::While, at);
            Expect("(");
            s->expr = Condition(Expression());
            Expect(")");
            ++m_loopDepth;
            s->body = Statement();
            --m_loopDepth;
            return s;
        }
        if (w == "do") {
            Next();
            TStmt *s = m_program.NewStmt(TStmtKind::DoWhile, at);
            ++m_loopDepth;
            s->body = Statement();
            --m_loopDepth;
            if (!Peek().IsIdent("while")) {
                m_messages.Error(vmExpected, Peek().at, "Expecting while");
                return s;
            }
            Next();
            Expect("(");
            s->expr = Condition(Expression());
            Expect(")");
            Expect(";");
            return s;
        }
        if (w == "for") {
            Next();
            TStmt *s = m_program.NewStmt(TStmtKind::For, at);
            Expect("(");
            PushScope();
            TStmt *block = nullptr;
            if (IsTypeStart(Peek())) {
                // for (int8 i = 0; ...): the declaration goes into a block around the loop.
                block = m_program.NewStmt(TStmtKind::Block, at);
                LocalDeclaration(&block->list);
            } else {
                if (!Peek().Is(";"))
                    s->init = Expression();
                Expect(";");
            }
            if (!Peek().Is(";"))
                s->expr = Condition(Expression());
            Expect(";");
            if (!Peek().Is(")"))
                s->step = Expression();
            Expect(")");
            ++m_loopDepth;
            s->body = Statement();
            --m_loopDepth;
            PopScope();
            if (block) {
                block->list.push_back(s);
                return block;
            }
            return s;
        }
        if (w == "switch") {
            Next();
            TStmt *s = m_program.NewStmt(TStmtKind::Switch, at);
            Expect("(");
            TExpr *e = Expression();
            if (e) {
                e = Rvalue(e);
                if (!e->type->IsInteger()) {
                    m_messages.Error(vmTypeMismatch, e->at, "switch needs an integer");
                } else if (e->op == TOp::Const && e->literal) {
                    e = Convert(e, LiteralType(e->value, nullptr));
                } else if (e->type->kind == TTypeKind::Bit) {
                    e = Convert(e, m_program.types.Int(1, false));
                }
            }
            s->expr = e;
            Expect(")");
            ++m_switchDepth;
            s->body = Statement();
            --m_switchDepth;
            return s;
        }
        if (w == "case") {
            Next();
            TStmt *s = m_program.NewStmt(TStmtKind::Case, at);
            s->caseValue = ConstantExpr(Peek().at);
            Expect(":");
            if (m_switchDepth == 0)
                m_messages.Error(vmBadStatement, at, "case outside a switch");
            return s;
        }
        if (w == "default" && Peek(1).Is(":")) {
            Next();
            Next();
            if (m_switchDepth == 0)
                m_messages.Error(vmBadStatement, at, "default outside a switch");
            return m_program.NewStmt(TStmtKind::Default, at);
        }
        if (w == "break" || w == "continue") {
            Next();
            Expect(";");
            if (w == "break" && m_loopDepth == 0 && m_switchDepth == 0)
                m_messages.Error(vmBadStatement, at, "break outside a loop or switch");
            if (w == "continue" && m_loopDepth == 0)
                m_messages.Error(vmBadStatement, at, "continue outside a loop");
            return m_program.NewStmt(w == "break" ? TStmtKind::Break : TStmtKind::Continue, at);
        }
        if (w == "return") {
            Next();
            TStmt *s = m_program.NewStmt(TStmtKind::Return, at);
            const TType *result = m_function ? m_function->Result() : nullptr;
            if (!Peek().Is(";")) {
                TExpr *e = Expression();
                if (e && result) {
                    if (result->kind == TTypeKind::Void) {
                        m_messages.Error(vmReturn, at, "A void function can not return a value");
                    } else {
                        e = Rvalue(e);
                        if (e->type->kind == TTypeKind::Pointer && result->IsInteger())
                            m_messages.Error(vmTypeMismatch, e->at, "Returning a pointer as " + result->Name());
                        s->expr = Fold(Convert(e, result));
                    }
                }
            } else if (result && result->kind != TTypeKind::Void) {
                m_messages.Error(vmReturn, at, "return needs a value of type " + result->Name());
            }
            Expect(";");
            return s;
        }
        if (w == "goto") {
            Next();
            TStmt *s = m_program.NewStmt(TStmtKind::Goto, at);
            if (Peek().kind == TTok::Ident) {
                s->label = Next().text;
            } else {
                m_messages.Error(vmExpected, Peek().at, "Expecting a label");
            }
            Expect(";");
            return s;
        }
        if (Peek(1).Is(":") && !IsTypeStart(t)) {
            Next();
            Next();
            TStmt *s = m_program.NewStmt(TStmtKind::Label, at);
            s->label = t.text;
            if (m_function) {
                if (m_function->labels.count(s->label))
                    m_messages.Error(vmLabel, at, "Label " + s->label + " is defined twice");
                m_function->labels[s->label] = at;
            }
            return s;
        }
        if (w == "else") {
            m_messages.Error(vmBadStatement, at, "else without if");
            Next();
            return nullptr;
        }
    }
    TStmt *s = m_program.NewStmt(TStmtKind::Expr, at);
    s->expr = Expression();
    if (s->expr && s->expr->op != TOp::Call && s->expr->op != TOp::Builtin && s->expr->op != TOp::Assign &&
        s->expr->op != TOp::OpAssign && s->expr->op != TOp::PreInc && s->expr->op != TOp::PreDec &&
        s->expr->op != TOp::PostInc && s->expr->op != TOp::PostDec && s->expr->op != TOp::Comma &&
        s->expr->op != TOp::Cond && s->expr->op != TOp::LogAnd && s->expr->op != TOp::LogOr)
        m_messages.Warning(vmwUnusedValue, s->expr->at, "Code has no effect");
    if (!Expect(";")) {
        SkipTo(";", "}");
        Accept(";");
    }
    return s;
}

// ---------------------------------------------------------------------------------------------
// Expressions

TExpr *TParser::Const(std::int64_t v, const TType *type, const TSourceSpan &at, bool literal)
{
    TExpr *e = m_program.NewExpr(TOp::Const, type ? type : m_program.types.Int(4, true), at);
    e->value = literal ? v : Truncate(v, type);
    e->literal = literal;
    return e;
}

std::int64_t TParser::ConstantExpr(const TSourceSpan &at, bool *ok)
{
    TExpr *e = ConditionalExpr();
    if (ok)
        *ok = true;
    if (!e) {
        if (ok)
            *ok = false;
        return 0;
    }
    e = Fold(Rvalue(e));
    if (e->op != TOp::Const) {
        m_messages.Error(vmNotConstant, e->at.line ? e->at : at, "Expecting a constant");
        if (ok)
            *ok = false;
        return 0;
    }
    return e->value;
}

TExpr *TParser::Expression()
{
    TExpr *e = AssignmentExpr();
    while (e && Peek().Is(",")) {
        const TSourceSpan at = Next().at;
        TExpr *right = AssignmentExpr();
        if (!right)
            return e;
        right = Rvalue(right);
        TExpr *c = m_program.NewExpr(TOp::Comma, right->type, at);
        c->kids = {e, right};
        e = c;
    }
    return e;
}

TExpr *TParser::AssignmentExpr()
{
    TExpr *left = ConditionalExpr();
    if (!left)
        return nullptr;
    const TToken &t = Peek();
    if (t.kind != TTok::Punct)
        return left;
    static const struct {
        const char *op;
        TOp binop;
    } kAssigns[] = {{"+=", TOp::Add}, {"-=", TOp::Sub}, {"*=", TOp::Mul}, {"/=", TOp::Div}, {"%=", TOp::Mod},
                    {"&=", TOp::And}, {"|=", TOp::Or},  {"^=", TOp::Xor}, {"<<=", TOp::Shl}, {">>=", TOp::Shr}};
    if (t.Is("=")) {
        const TSourceSpan at = Next().at;
        TExpr *right = AssignmentExpr();
        if (!right)
            return left;
        return Assign(TOp::Add, false, left, right, at);
    }
    for (const auto &a : kAssigns) {
        if (t.Is(a.op)) {
            const TSourceSpan at = Next().at;
            TExpr *right = AssignmentExpr();
            if (!right)
                return left;
            return Assign(a.binop, true, left, right, at);
        }
    }
    return left;
}

TExpr *TParser::ConditionalExpr()
{
    TExpr *c = BinaryExpr(1);
    if (!c || !Peek().Is("?"))
        return c;
    const TSourceSpan at = Next().at;
    TExpr *a = Expression();
    Expect(":");
    TExpr *b = ConditionalExpr();
    if (!a || !b)
        return c;
    c = Condition(c);
    a = Rvalue(a);
    b = Rvalue(b);
    const TType *type;
    if (a->type->kind == TTypeKind::Pointer)
        type = a->type;
    else if (b->type->kind == TTypeKind::Pointer)
        type = b->type;
    else if (a->type->kind == TTypeKind::Void || b->type->kind == TTypeKind::Void)
        type = m_program.types.Void();
    else
        type = Common(a, b);
    if (!type) {
        // Two numbers: the smallest type that holds both.
        const TType *ta = LiteralType(a->value, nullptr), *tb = LiteralType(b->value, nullptr);
        type = ta->width >= tb->width ? ta : tb;
        if (ta->isSigned || tb->isSigned)
            type = m_program.types.Int(type->width, true);
    }
    if (type && type->kind != TTypeKind::Void) {
        a = Convert(a, type);
        b = Convert(b, type);
    }
    if (c->op == TOp::Const)
        return c->value ? a : b;
    TExpr *e = m_program.NewExpr(TOp::Cond, type, at);
    e->kids = {c, a, b};
    e->literal = a->literal && b->literal;
    return e;
}

TExpr *TParser::BinaryExpr(int minPrecedence)
{
    TExpr *left = UnaryExpr();
    if (!left)
        return nullptr;
    while (Peek().kind == TTok::Punct) {
        const std::string op = Peek().text;
        const int p = BinaryPrecedence(op);
        if (p < minPrecedence)
            break;
        const TSourceSpan at = Next().at;
        TExpr *right = BinaryExpr(p + 1);
        if (!right)
            return left;
        left = Binary(BinaryOp(op), left, right, at);
    }
    return left;
}

TExpr *TParser::UnaryExpr()
{
    const TToken &t = Peek();
    const TSourceSpan at = t.at;
    if (t.kind == TTok::Punct) {
        if (t.Is("++") || t.Is("--")) {
            const bool inc = t.Is("++");
            Next();
            TExpr *e = UnaryExpr();
            return e ? IncDec(inc ? TOp::PreInc : TOp::PreDec, e, at) : nullptr;
        }
        if (t.Is("-") || t.Is("+") || t.Is("!") || t.Is("~")) {
            const std::string op = t.text;
            Next();
            TExpr *e = UnaryExpr();
            if (!e)
                return nullptr;
            if (op == "+")
                return Rvalue(e);
            return Unary(op == "-" ? TOp::Neg : op == "!" ? TOp::LogNot : TOp::Not, e, at);
        }
        if (t.Is("*")) {
            Next();
            TExpr *e = UnaryExpr();
            return e ? Deref(Rvalue(e), at) : nullptr;
        }
        if (t.Is("&")) {
            Next();
            TExpr *e = UnaryExpr();
            return e ? AddressOf(e, at) : nullptr;
        }
        if (t.Is("(") && IsTypeStart(Peek(1))) {
            Next();
            const TType *type = ParseTypeName();
            Expect(")");
            TExpr *e = UnaryExpr();
            if (!e || !type)
                return e;
            e = Rvalue(e);
            if (type->kind == TTypeKind::Void) {
                TExpr *c = m_program.NewExpr(TOp::Cast, type, at);
                c->kids = {e};
                return c;
            }
            if (!type->IsScalar() || !e->type->IsScalar()) {
                m_messages.Error(vmTypeMismatch, at, "Can not convert " + e->type->Name() + " to " + type->Name());
                return e;
            }
            return Fold(Convert(e, m_program.types.WithConst(type, false)));
        }
    }
    if (t.IsIdent("sizeof")) {
        Next();
        int size = 0;
        if (Peek().Is("(") && IsTypeStart(Peek(1))) {
            Next();
            const TType *type = ParseTypeName();
            Expect(")");
            size = type ? type->Size() : 0;
        } else {
            TExpr *e = UnaryExpr();
            if (e)
                size = e->type->Size();
        }
        return Const(size, nullptr, at, true);
    }
    return PostfixExpr();
}

TExpr *TParser::PostfixExpr()
{
    TExpr *e = PrimaryExpr();
    while (e) {
        const TToken &t = Peek();
        if (t.Is("[")) {
            const TSourceSpan at = Next().at;
            TExpr *index = Expression();
            Expect("]");
            if (!index)
                return e;
            e = Index(e, index, at);
        } else if (t.Is(".") || t.Is("->")) {
            const bool arrow = t.Is("->");
            const TSourceSpan at = Next().at;
            if (Peek().kind != TTok::Ident) {
                m_messages.Error(vmExpected, Peek().at, "Expecting a member name");
                return e;
            }
            const TToken &name = Next();
            e = Member(e, name.text, arrow, Span(at, name.at));
        } else if (t.Is("++") || t.Is("--")) {
            const bool inc = t.Is("++");
            const TSourceSpan at = Next().at;
            e = IncDec(inc ? TOp::PostInc : TOp::PostDec, e, at);
        } else {
            break;
        }
    }
    return e;
}

TExpr *TParser::PrimaryExpr()
{
    const TToken &t = Peek();
    const TSourceSpan at = t.at;
    switch (t.kind) {
    case TTok::Number: {
        Next();
        if (t.isFloat) {
            m_messages.Error(vmFloat, at, "Floating point numbers are not supported: " + t.text);
            return Const(0, nullptr, at, true);
        }
        if (t.value > 0xFFFFFFFFull)
            m_messages.Warning(vmwTruncated, at, "The number " + t.text + " does not fit into 32 bits");
        TExpr *e = Const(static_cast<std::int64_t>(t.value & 0xFFFFFFFFull), nullptr, at, true);
        if (t.isLong && t.value <= 0xFFFF)
            return Convert(e, m_program.types.Int(2, false));
        return e;
    }
    case TTok::Char:
        Next();
        return Const(static_cast<std::int64_t>(t.value), nullptr, at, true);
    case TTok::String: {
        Next();
        while (Peek().kind == TTok::String)
            Next();
        m_messages.Error(vmUnsupported, at, "A string can only be the initial value of an array here");
        return Const(0, nullptr, at, true);
    }
    case TTok::Punct:
        if (t.Is("(")) {
            Next();
            TExpr *e = Expression();
            Expect(")");
            return e;
        }
        m_messages.Error(vmExpression, at, "Expecting an expression, not \"" + t.text + "\"");
        return nullptr;
    case TTok::Ident: {
        Next();
        if (const TBuiltinInfo *b = FindBuiltin(t.text); b && Peek().Is("(") && !Lookup(t.text))
            return BuiltinCall(t);
        if ((t.text == "printf" || t.text == "puts") && Peek().Is("(") && !Lookup(t.text))
            return PrintCall(t);
        if (t.text == "read_adc" && Peek().Is("(") && !Lookup(t.text))
            return ReadAdcCall(t);
        if (t.text == "setup_lcd" && Peek().Is("(") && !Lookup(t.text)) {
            // setup_lcd(mode[, prescale[, segments]])
            Expect("(");
            std::vector<TExpr *> args;
            while (!AtEnd() && !Peek().Is(")")) {
                TExpr *a = AssignmentExpr();
                if (!a)
                    break;
                args.push_back(Rvalue(a));
                if (!Accept(","))
                    break;
            }
            Expect(")");
            if (args.empty() || args.size() > 3) {
                m_messages.Error(vmArguments, at, "setup_lcd takes the mode, the prescale and the segments");
                return Const(0, nullptr, at, true);
            }
            TEntry *e = Lookup("__setup_lcd");
            if (!e || !e->symbol || e->symbol->storage != TStorage::Function) {
                m_messages.Error(vmUndefined, at, "setup_lcd needs the device header of a part with an LCD driver module");
                return Const(0, nullptr, at, true);
            }
            const TType *u8 = m_program.types.Int(1, false);
            while (args.size() < 3)
                args.push_back(Const(0, u8, at));
            TExpr *call = CallNamed("__setup_lcd", args, at);
            return call ? call : Const(0, nullptr, at, true);
        }
        if (t.text == "i2c_read" && Peek().Is("(") && !Lookup(t.text)) {
            Expect("(");
            TExpr *ack = nullptr;
            if (!Peek().Is(")"))
                ack = AssignmentExpr();
            Expect(")");
            if (!m_program.i2c.used)
                m_messages.Error(vmDirectiveArgs, at, "i2c_read needs #use i2c(...) first");
            TExpr *call = CallNamed("__i2c_read_byte", {ack ? Rvalue(ack) : Const(1, m_program.types.Int(1, false), at)}, at);
            return call ? call : Const(0, m_program.types.Int(1, false), at);
        }
        if ((t.text == "i2c_start" || t.text == "i2c_stop" || t.text == "i2c_write") && Peek().Is("(") && !m_program.i2c.used)
            m_messages.Error(vmDirectiveArgs, at, t.text + " needs #use i2c(...) first");
        if ((t.text == "putc" || t.text == "getc" || t.text == "kbhit") && Peek().Is("(") && !m_program.rs232.used && m_function &&
            m_function->name != "__put_string" && m_function->name != "__put_number")
            m_messages.Error(vmDirectiveArgs, at, t.text + " needs #use rs232(...) first");
        if (t.text == "TRUE" || t.text == "true") {
            if (!Lookup(t.text))
                return Const(1, nullptr, at, true);
        }
        if (t.text == "FALSE" || t.text == "false") {
            if (!Lookup(t.text))
                return Const(0, nullptr, at, true);
        }
        TEntry *e = Lookup(t.text);
        if (!e || !e->symbol) {
            if (Peek().Is("("))
                m_messages.Error(vmUndefined, at, "Undefined identifier " + t.text + " (a function must be declared before it is called)");
            else
                m_messages.Error(vmUndefined, at, "Undefined identifier " + t.text);
            if (Peek().Is("(")) {
                Next();
                SkipTo(")");
                Accept(")");
            }
            return Const(0, nullptr, at, true);
        }
        TSymbol *s = e->symbol;
        s->used = true;
        if (s->storage == TStorage::Function) {
            if (!Peek().Is("(")) {
                m_messages.Error(vmUnsupported, at, "A function name can only be called: " + t.text);
                return Const(0, nullptr, at, true);
            }
            TExpr *callee = m_program.NewExpr(TOp::Var, s->type, at);
            callee->sym = s;
            return CallExpr(callee, t);
        }
        if (s->storage == TStorage::Constant) {
            if (s->type && s->type->kind == TTypeKind::Int && !s->type->isConst)
                return Const(s->constValue, nullptr, at, true);   // enumeration constants are numbers
            return Const(s->constValue, m_program.types.WithConst(s->type, false), at, false);
        }
        TExpr *v = m_program.NewExpr(s->storage == TStorage::Rom ? TOp::RomRead : TOp::Var, s->type, at);
        v->sym = s;
        if (s->storage == TStorage::Rom)
            v->kids = {Const(0, m_program.types.Int(2, false), at)};
        return v;
    }
    default:
        m_messages.Error(vmExpression, at, "Expecting an expression");
        return nullptr;
    }
}

TExpr *TParser::CallExpr(TExpr *callee, const TToken &name)
{
    TFunction *f = callee->sym->function;
    Expect("(");
    std::vector<TExpr *> args;
    while (!AtEnd() && !Peek().Is(")")) {
        TExpr *a = AssignmentExpr();
        if (!a)
            break;
        args.push_back(a);
        if (!Accept(","))
            break;
    }
    const TSourceSpan endAt = Peek().at;
    Expect(")");
    const auto &params = f->type->params;
    TSourceSpan at = Span(name.at, endAt);
    if (args.size() != params.size()) {
        m_messages.Error(vmArguments, name.at,
                         "Function " + f->name + " takes " + std::to_string(params.size()) + " argument" +
                             (params.size() == 1 ? "" : "s") + ", not " + std::to_string(args.size()));
    }
    TExpr *call = m_program.NewExpr(TOp::Call, f->Result(), at);
    call->callee = f;
    for (std::size_t i = 0; i < args.size() && i < params.size(); ++i) {
        TExpr *a = Rvalue(args[i]);
        if (params[i]->kind == TTypeKind::Pointer && a->type->IsInteger() && !(a->op == TOp::Const && a->value == 0))
            m_messages.Error(vmTypeMismatch, a->at, "Argument " + std::to_string(i + 1) + " of " + f->name + " must be a pointer");
        else if (params[i]->IsInteger() && a->type->kind == TTypeKind::Pointer)
            m_messages.Error(vmTypeMismatch, a->at, "Argument " + std::to_string(i + 1) + " of " + f->name + " must be an integer");
        call->kids.push_back(Fold(Convert(a, params[i])));
    }
    f->used = true;
    if (m_function)
        m_function->calls.insert(f);
    return call;
}

TExpr *TParser::BuiltinCall(const TToken &name)
{
    const TBuiltinInfo *b = FindBuiltin(name.text);
    Expect("(");
    std::vector<TExpr *> args;
    while (!AtEnd() && !Peek().Is(")")) {
        TExpr *a = AssignmentExpr();
        if (!a)
            break;
        args.push_back(Fold(Rvalue(a)));
        if (!Accept(","))
            break;
    }
    Expect(")");
    if (static_cast<int>(args.size()) < b->minArgs || static_cast<int>(args.size()) > b->maxArgs) {
        m_messages.Error(vmArguments, name.at, "Wrong number of arguments for " + name.text);
    }
    const TType *type = m_program.types.Void();
    if (b->resultWidth == -1)
        type = m_program.types.Bit();
    else if (b->resultWidth > 0)
        type = m_program.types.Int(b->resultWidth, false);
    TExpr *e = m_program.NewExpr(TOp::Builtin, type, name.at);
    e->name = name.text;
    e->kids = args;
    return e;
}

// ---------------------------------------------------------------------------------------------
// Typing

const TType *TParser::LiteralType(std::int64_t v, const TType *near)
{
    // The smallest type at least as wide as `near` that holds v.
    const int startWidth = near && near->kind == TTypeKind::Int ? near->width : 1;
    const bool nearSigned = near && near->kind == TTypeKind::Int && near->isSigned;
    for (int w : {1, 2, 4}) {
        if (w < startWidth)
            continue;
        const TType *t = m_program.types.Int(w, nearSigned || v < 0);
        if (FitsType(v, t))
            return t;
        if (v >= 0 && w == startWidth && nearSigned) {
            const TType *u = m_program.types.Int(w, false);
            (void)u;
        }
    }
    return m_program.types.Int(4, v < 0 || nearSigned);
}

const TType *TParser::Common(const TExpr *a, const TExpr *b)
{
    const bool la = a->op == TOp::Const && a->literal;
    const bool lb = b->op == TOp::Const && b->literal;
    if (la && lb)
        return nullptr;   // both literal: folded exactly
    if (la || lb) {
        const TExpr *lit = la ? a : b;
        const TType *other = la ? b->type : a->type;
        if (other->kind == TTypeKind::Bit)
            other = m_program.types.Int(1, false);
        if (other->kind != TTypeKind::Int)
            return other;
        if (FitsType(lit->value, other))
            return m_program.types.WithConst(other, false);
        return LiteralType(lit->value, other);
    }
    const TType *ta = a->type->kind == TTypeKind::Bit ? m_program.types.Int(1, false) : a->type;
    const TType *tb = b->type->kind == TTypeKind::Bit ? m_program.types.Int(1, false) : b->type;
    if (ta->kind != TTypeKind::Int || tb->kind != TTypeKind::Int)
        return m_program.types.Int(2, false);
    if (ta->width == tb->width)
        return m_program.types.Int(ta->width, ta->isSigned && tb->isSigned);
    return ta->width > tb->width ? m_program.types.WithConst(ta, false) : m_program.types.WithConst(tb, false);
}

TExpr *TParser::Convert(TExpr *e, const TType *to)
{
    if (!e || !to)
        return e;
    to = m_program.types.WithConst(to, false);
    const TType *from = m_program.types.WithConst(e->type, false);
    if (from == to && !(e->op == TOp::Const && e->literal))
        return e;
    if (e->op == TOp::Const && to->IsScalar()) {
        return Const(e->value, to, e->at);
    }
    if (to->kind == TTypeKind::Void || !to->IsScalar() || !from->IsScalar())
        return e;
    if (to->kind == TTypeKind::Bit) {
        // Any value that is not 0 is true.
        TExpr *zero = Const(0, from->kind == TTypeKind::Pointer ? m_program.types.Int(2, false) : from, e->at);
        TExpr *ne = m_program.NewExpr(TOp::Ne, to, e->at);
        TExpr *left = e;
        if (from->kind == TTypeKind::Pointer) {
            left = m_program.NewExpr(TOp::Cast, m_program.types.Int(2, false), e->at);
            left->kids = {e};
        }
        ne->kids = {left, zero};
        return ne;
    }
    TExpr *c = m_program.NewExpr(TOp::Cast, to, e->at);
    c->kids = {e};
    return c;
}

TExpr *TParser::Rvalue(TExpr *e)
{
    if (!e)
        return e;
    if (e->type->kind == TTypeKind::Array) {
        if (e->op == TOp::RomRead) {
            m_messages.Error(vmUnsupported, e->at, "A constant table in program memory can only be indexed");
            return Const(0, nullptr, e->at, true);
        }
        TExpr *a = AddressOf(e, e->at);
        a->type = m_program.types.Pointer(e->type->target);
        return a;
    }
    if (e->type->kind == TTypeKind::Function) {
        m_messages.Error(vmUnsupported, e->at, "A function name can only be called");
        return Const(0, nullptr, e->at, true);
    }
    return e;
}

TExpr *TParser::Condition(TExpr *e)
{
    if (!e)
        return Const(0, m_program.types.Bit(), TSourceSpan{});
    e = Rvalue(e);
    if (e->type->kind == TTypeKind::Struct || e->type->kind == TTypeKind::Void) {
        m_messages.Error(vmTypeMismatch, e->at, "A condition must be a number or a pointer");
        return Const(0, m_program.types.Bit(), e->at);
    }
    if (e->op == TOp::Const)
        return Const(e->value != 0, m_program.types.Bit(), e->at);
    if (e->type->kind == TTypeKind::Bit)
        return e;
    return Convert(e, m_program.types.Bit());
}

TExpr *TParser::Fold(TExpr *e)
{
    if (!e)
        return e;
    if (e->op == TOp::Cast && e->kids[0]->op == TOp::Const && e->type->IsScalar())
        return Const(e->kids[0]->value, e->type, e->at);
    return e;
}

TExpr *TParser::Unary(TOp op, TExpr *a, const TSourceSpan &at)
{
    a = Rvalue(a);
    if (op == TOp::LogNot) {
        TExpr *c = Condition(a);
        if (c->op == TOp::Const)
            return Const(!c->value, m_program.types.Bit(), at);
        TExpr *e = m_program.NewExpr(TOp::LogNot, m_program.types.Bit(), at);
        e->kids = {c};
        return e;
    }
    if (!a->type->IsInteger()) {
        m_messages.Error(vmTypeMismatch, at, "The operand must be a number");
        return a;
    }
    if (a->op == TOp::Const) {
        const std::int64_t v = op == TOp::Neg ? -a->value : ~a->value;
        if (a->literal)
            return Const(v, nullptr, at, true);
        const TType *t = a->type->kind == TTypeKind::Bit ? m_program.types.Int(1, false) : a->type;
        return Const(v, t, at);
    }
    const TType *t = a->type->kind == TTypeKind::Bit ? m_program.types.Int(1, false) : a->type;
    a = Convert(a, t);
    TExpr *e = m_program.NewExpr(op, t, at);
    e->kids = {a};
    return e;
}

TExpr *TParser::Binary(TOp op, TExpr *a, TExpr *b, const TSourceSpan &at)
{
    a = Rvalue(a);
    b = Rvalue(b);
    if (op == TOp::LogAnd || op == TOp::LogOr) {
        a = Condition(a);
        b = Condition(b);
        if (a->op == TOp::Const && b->op == TOp::Const) {
            const bool v = op == TOp::LogAnd ? (a->value && b->value) : (a->value || b->value);
            return Const(v, m_program.types.Bit(), at);
        }
        if (a->op == TOp::Const) {
            if (op == TOp::LogAnd)
                return a->value ? b : a;
            return a->value ? a : b;
        }
        TExpr *e = m_program.NewExpr(op, m_program.types.Bit(), at);
        e->kids = {a, b};
        return e;
    }
    const bool pa = a->type->kind == TTypeKind::Pointer;
    const bool pb = b->type->kind == TTypeKind::Pointer;
    if ((a->type->kind == TTypeKind::Struct || b->type->kind == TTypeKind::Struct) ||
        (a->type->kind == TTypeKind::Void || b->type->kind == TTypeKind::Void)) {
        m_messages.Error(vmTypeMismatch, at, "The operands must be numbers");
        return Const(0, nullptr, at, true);
    }
    const TType *u16 = m_program.types.Int(2, false);
    if (pa || pb) {
        if (IsComparison(op)) {
            TExpr *e = m_program.NewExpr(op, m_program.types.Bit(), at);
            const auto asWord = [&](TExpr *x) {
                if (x->type->kind == TTypeKind::Pointer) {
                    TExpr *c = m_program.NewExpr(TOp::Cast, u16, x->at);
                    c->kids = {x};
                    return c;
                }
                return Convert(x, u16);
            };
            e->kids = {asWord(a), asWord(b)};
            return e;
        }
        if (op == TOp::Add || op == TOp::Sub) {
            if (pa && pb && op == TOp::Sub) {
                const int size = std::max(1, a->type->target->Size());
                TExpr *ca = m_program.NewExpr(TOp::Cast, u16, a->at);
                ca->kids = {a};
                TExpr *cb = m_program.NewExpr(TOp::Cast, u16, b->at);
                cb->kids = {b};
                TExpr *diff = m_program.NewExpr(TOp::Sub, m_program.types.Int(2, true), at);
                ca->type = cb->type = m_program.types.Int(2, true);
                diff->kids = {ca, cb};
                if (size == 1)
                    return diff;
                TExpr *div = m_program.NewExpr(TOp::Div, m_program.types.Int(2, true), at);
                div->kids = {diff, Const(size, m_program.types.Int(2, true), at)};
                return div;
            }
            if (pb && op == TOp::Add)
                std::swap(a, b);
            if (!pb || op == TOp::Add) {
                if (!b->type->IsInteger()) {
                    m_messages.Error(vmTypeMismatch, at, "A pointer and a number are needed");
                    return a;
                }
                const int size = std::max(1, a->type->target->Size());
                TExpr *offset;
                if (b->op == TOp::Const) {
                    offset = Const(b->value * size, u16, b->at);
                } else {
                    offset = Convert(b, b->type->kind == TTypeKind::Int && b->type->isSigned ? m_program.types.Int(2, true) : u16);
                    if (size != 1) {
                        TExpr *m = m_program.NewExpr(TOp::Mul, offset->type, at);
                        m->kids = {offset, Const(size, offset->type, at)};
                        offset = m;
                    }
                }
                TExpr *e = m_program.NewExpr(op, a->type, at);
                e->kids = {a, offset};
                return e;
            }
        }
        m_messages.Error(vmTypeMismatch, at, "This operator does not take a pointer");
        return a;
    }
    // Both numbers.
    if (op == TOp::Shl || op == TOp::Shr) {
        if (a->op == TOp::Const && a->literal && b->op == TOp::Const) {
            const std::int64_t n = b->value;
            std::int64_t v = 0;
            if (n >= 0 && n < 63)
                v = op == TOp::Shl ? static_cast<std::int64_t>(static_cast<std::uint64_t>(a->value) << n) : a->value >> n;
            return Const(v, nullptr, at, true);
        }
        const TType *t = a->op == TOp::Const && a->literal ? LiteralType(a->value, nullptr)
                         : a->type->kind == TTypeKind::Bit ? m_program.types.Int(1, false)
                                                           : m_program.types.WithConst(a->type, false);
        a = Convert(a, t);
        if (b->op == TOp::Const && b->literal)
            b = Const(std::clamp<std::int64_t>(b->value, 0, 255), m_program.types.Int(1, false), b->at);
        else if (b->type->kind == TTypeKind::Bit)
            b = Convert(b, m_program.types.Int(1, false));
        if (a->op == TOp::Const && b->op == TOp::Const) {
            const std::int64_t n = b->value;
            const int bits = t->width * 8;
            std::int64_t v;
            if (op == TOp::Shl)
                v = n >= bits ? 0 : static_cast<std::int64_t>(static_cast<std::uint64_t>(a->value) << n);
            else
                v = n >= bits ? (a->value < 0 ? -1 : 0) : a->value >> n;
            return Const(v, t, at);
        }
        TExpr *e = m_program.NewExpr(op, t, at);
        e->kids = {a, b};
        return e;
    }
    const TType *t = Common(a, b);
    if (!t) {
        // Exact arithmetic on two literals.
        const std::int64_t x = a->value, y = b->value;
        std::int64_t v = 0;
        switch (op) {
        case TOp::Add: v = Wrap(static_cast<std::uint64_t>(x) + static_cast<std::uint64_t>(y)); break;
        case TOp::Sub: v = Wrap(static_cast<std::uint64_t>(x) - static_cast<std::uint64_t>(y)); break;
        case TOp::Mul: v = Wrap(static_cast<std::uint64_t>(x) * static_cast<std::uint64_t>(y)); break;
        case TOp::Div:
        case TOp::Mod:
            if (y == 0) {
                m_messages.Error(vmDivideByZero, at, "Division by zero");
                return Const(0, nullptr, at, true);
            }
            v = y == -1 ? (op == TOp::Div ? Wrap(0 - static_cast<std::uint64_t>(x)) : 0) : op == TOp::Div ? x / y : x % y;
            break;
        case TOp::And: v = x & y; break;
        case TOp::Or: v = x | y; break;
        case TOp::Xor: v = x ^ y; break;
        case TOp::Eq: return Const(x == y, m_program.types.Bit(), at);
        case TOp::Ne: return Const(x != y, m_program.types.Bit(), at);
        case TOp::Lt: return Const(x < y, m_program.types.Bit(), at);
        case TOp::Le: return Const(x <= y, m_program.types.Bit(), at);
        case TOp::Gt: return Const(x > y, m_program.types.Bit(), at);
        case TOp::Ge: return Const(x >= y, m_program.types.Bit(), at);
        default: break;
        }
        // Keep literals within 32 bits.
        v = static_cast<std::int64_t>(static_cast<std::int32_t>(static_cast<std::uint32_t>(v & 0xFFFFFFFF)));
        if (v < 0 && (x >= 0 && y >= 0) && op != TOp::Sub)
            v &= 0xFFFFFFFF;
        return Const(v, nullptr, at, true);
    }
    a = Convert(a, t);
    b = Convert(b, t);
    if (a->op == TOp::Const && b->op == TOp::Const) {
        const std::int64_t x = a->value, y = b->value;
        std::int64_t v = 0;
        switch (op) {
        case TOp::Add: v = Wrap(static_cast<std::uint64_t>(x) + static_cast<std::uint64_t>(y)); break;
        case TOp::Sub: v = Wrap(static_cast<std::uint64_t>(x) - static_cast<std::uint64_t>(y)); break;
        case TOp::Mul: v = Wrap(static_cast<std::uint64_t>(x) * static_cast<std::uint64_t>(y)); break;
        case TOp::Div:
        case TOp::Mod:
            if (y == 0) {
                m_messages.Error(vmDivideByZero, at, "Division by zero");
                return Const(0, t, at);
            }
            v = y == -1 ? (op == TOp::Div ? Wrap(0 - static_cast<std::uint64_t>(x)) : 0) : op == TOp::Div ? x / y : x % y;
            break;
        case TOp::And: v = x & y; break;
        case TOp::Or: v = x | y; break;
        case TOp::Xor: v = x ^ y; break;
        case TOp::Eq: return Const(x == y, m_program.types.Bit(), at);
        case TOp::Ne: return Const(x != y, m_program.types.Bit(), at);
        case TOp::Lt: return Const(x < y, m_program.types.Bit(), at);
        case TOp::Le: return Const(x <= y, m_program.types.Bit(), at);
        case TOp::Gt: return Const(x > y, m_program.types.Bit(), at);
        case TOp::Ge: return Const(x >= y, m_program.types.Bit(), at);
        default: break;
        }
        return Const(v, t, at);
    }
    if ((op == TOp::Div || op == TOp::Mod) && b->op == TOp::Const && b->value == 0)
        m_messages.Error(vmDivideByZero, at, "Division by zero");
    TExpr *e = m_program.NewExpr(op, IsComparison(op) ? m_program.types.Bit() : t, at);
    e->kids = {a, b};
    return e;
}

bool TParser::IsLvalue(const TExpr *e) const
{
    if (e->op == TOp::Var) {
        switch (e->sym->storage) {
        case TStorage::Global:
        case TStorage::Static:
        case TStorage::Local:
        case TStorage::Param:
        case TStorage::Register:
        case TStorage::BitRegister:
            return true;
        default:
            return false;
        }
    }
    return e->op == TOp::Deref || e->op == TOp::BitField;
}

bool TParser::CheckAssignable(TExpr *e, const TSourceSpan &at)
{
    if (!IsLvalue(e)) {
        m_messages.Error(e->op == TOp::RomRead ? vmConstAssign : vmNotLvalue, e->at.line ? e->at : at,
                         e->op == TOp::RomRead ? "A constant can not be changed" : "Expecting a variable to assign to");
        return false;
    }
    if (e->type->isConst || e->type->kind == TTypeKind::Array) {
        m_messages.Error(e->type->isConst ? vmConstAssign : vmNotLvalue, e->at,
                         e->type->isConst ? "A constant can not be changed" : "An array can not be assigned as a whole");
        return false;
    }
    return true;
}

TExpr *TParser::Assign(TOp binop, bool compound, TExpr *target, TExpr *value, const TSourceSpan &at)
{
    if (!CheckAssignable(target, at))
        return Rvalue(value);
    if (!compound) {
        if (target->type->kind == TTypeKind::Struct) {
            if (value->type != target->type && m_program.types.WithConst(value->type, false) != target->type) {
                m_messages.Error(vmTypeMismatch, at, "Can not assign " + value->type->Name() + " to " + target->type->Name());
                return target;
            }
            TExpr *e = m_program.NewExpr(TOp::Assign, target->type, at);
            e->kids = {target, value};
            return e;
        }
        value = Rvalue(value);
        if (value->type->kind == TTypeKind::Struct || value->type->kind == TTypeKind::Void) {
            m_messages.Error(vmTypeMismatch, at, "Can not assign " + value->type->Name() + " to " + target->type->Name());
            return target;
        }
        if (target->type->kind == TTypeKind::Pointer && value->type->IsInteger() && !(value->op == TOp::Const && value->value == 0))
            m_messages.Error(vmTypeMismatch, at, "Can not assign a number to a pointer");
        else if (target->type->IsInteger() && value->type->kind == TTypeKind::Pointer)
            m_messages.Error(vmTypeMismatch, at, "Can not assign a pointer to " + target->type->Name());
        if (value->op == TOp::Const && value->literal && target->type->kind == TTypeKind::Int &&
            !FitsType(value->value, target->type) &&
            !FitsType(value->value, m_program.types.Int(target->type->width, !target->type->isSigned)))
            m_messages.Warning(vmwTruncated, value->at, "The value " + std::to_string(value->value) + " does not fit into " + target->type->Name());
        TExpr *e = m_program.NewExpr(TOp::Assign, target->type, at);
        e->kids = {target, Fold(Convert(value, target->type))};
        return e;
    }
    // a op= b
    value = Rvalue(value);
    if (target->type->kind == TTypeKind::Pointer) {
        if ((binop != TOp::Add && binop != TOp::Sub) || !value->type->IsInteger()) {
            m_messages.Error(vmTypeMismatch, at, "A pointer only takes += and -= with a number");
            return target;
        }
        TExpr *sum = Binary(binop, target, value, at);   // scaled offset
        TExpr *e = m_program.NewExpr(TOp::OpAssign, target->type, at);
        e->binop = binop;
        e->kids = {target, sum->op == binop ? sum->kids[1] : Const(0, m_program.types.Int(2, false), at)};
        return e;
    }
    if (!target->type->IsInteger() || !value->type->IsInteger()) {
        m_messages.Error(vmTypeMismatch, at, "The operands must be numbers");
        return target;
    }
    const TType *opType;
    if (binop == TOp::Shl || binop == TOp::Shr) {
        opType = target->type->kind == TTypeKind::Bit ? m_program.types.Int(1, false) : m_program.types.WithConst(target->type, false);
        if (value->op == TOp::Const)
            value = Const(std::clamp<std::int64_t>(value->value, 0, 255), m_program.types.Int(1, false), value->at);
        else if (value->type->kind == TTypeKind::Bit)
            value = Convert(value, m_program.types.Int(1, false));
    } else {
        opType = Common(target, value);
        value = Fold(Convert(value, opType));
        if ((binop == TOp::Div || binop == TOp::Mod) && value->op == TOp::Const && value->value == 0)
            m_messages.Error(vmDivideByZero, at, "Division by zero");
    }
    TExpr *e = m_program.NewExpr(TOp::OpAssign, target->type, at);
    e->binop = binop;
    e->kids = {target, value};
    e->bitWidth = opType->width;         // the operation's width and sign travel with the node
    e->bitOffset = opType->isSigned ? 1 : 0;
    return e;
}

TExpr *TParser::IncDec(TOp op, TExpr *target, const TSourceSpan &at)
{
    if (!CheckAssignable(target, at))
        return Rvalue(target);
    if (!target->type->IsScalar()) {
        m_messages.Error(vmTypeMismatch, at, "++ and -- need a number or a pointer");
        return target;
    }
    TExpr *e = m_program.NewExpr(op, target->type, at);
    e->kids = {target};
    e->value = target->type->kind == TTypeKind::Pointer ? std::max(1, target->type->target->Size()) : 1;
    return e;
}

TExpr *TParser::Deref(TExpr *pointer, const TSourceSpan &at)
{
    if (pointer->type->kind != TTypeKind::Pointer) {
        m_messages.Error(vmTypeMismatch, at, "Only a pointer can be followed with *");
        return Const(0, nullptr, at, true);
    }
    const TType *target = pointer->type->target;
    if (target->kind == TTypeKind::Void || target->kind == TTypeKind::Function) {
        m_messages.Error(vmTypeMismatch, at, "A pointer to void can not be followed");
        return Const(0, nullptr, at, true);
    }
    // *&x is x.
    if (pointer->op == TOp::AddrOf && pointer->kids[0]->type == target)
        return pointer->kids[0];
    TExpr *e = m_program.NewExpr(TOp::Deref, target, at);
    e->kids = {pointer};
    return e;
}

TExpr *TParser::AddressOf(TExpr *e, const TSourceSpan &at)
{
    if (e->op == TOp::Deref) {
        TExpr *p = e->kids[0];
        if (p->type->target == e->type)
            return p;
        TExpr *c = m_program.NewExpr(TOp::Cast, m_program.types.Pointer(e->type), at);
        c->kids = {p};
        return c;
    }
    if (e->op == TOp::Var) {
        if (e->sym->storage == TStorage::BitRegister || e->type->kind == TTypeKind::Bit) {
            m_messages.Error(vmTypeMismatch, at, "The address of a bit can not be taken");
            return Const(0, m_program.types.Pointer(m_program.types.Int(1, false)), at);
        }
        e->sym->addressTaken = true;
        TExpr *a = m_program.NewExpr(TOp::AddrOf, m_program.types.Pointer(e->type), at);
        a->kids = {e};
        return a;
    }
    if (e->op == TOp::RomRead) {
        m_messages.Error(vmUnsupported, at, "The address of a constant in program memory can not be taken");
        return Const(0, m_program.types.Pointer(m_program.types.Int(1, false)), at);
    }
    m_messages.Error(vmNotLvalue, at, "Only a variable has an address");
    return Const(0, m_program.types.Pointer(m_program.types.Int(1, false)), at);
}

TExpr *TParser::Index(TExpr *base, TExpr *index, const TSourceSpan &at)
{
    index = Rvalue(index);
    if (!index->type->IsInteger()) {
        m_messages.Error(vmTypeMismatch, at, "An index must be a number");
        return base;
    }
    if (base->op == TOp::RomRead) {
        if (base->type->kind != TTypeKind::Array) {
            m_messages.Error(vmTypeMismatch, at, "Only an array can be indexed");
            return base;
        }
        const TType *element = base->type->target;
        const int size = element->Size();
        const TType *u16 = m_program.types.Int(2, false);
        TExpr *offset;
        if (index->op == TOp::Const) {
            if (index->value < 0 || index->value >= base->type->count)
                m_messages.Warning(vmwTruncated, index->at, "The index " + std::to_string(index->value) + " is outside the table");
            offset = Const(index->value * size, u16, at);
        } else {
            offset = Convert(index, u16);
            if (size != 1) {
                TExpr *m = m_program.NewExpr(TOp::Mul, u16, at);
                m->kids = {offset, Const(size, u16, at)};
                offset = m;
            }
        }
        TExpr *sum = base->kids[0];
        if (sum->op == TOp::Const && offset->op == TOp::Const) {
            sum = Const(sum->value + offset->value, u16, at);
        } else {
            TExpr *add = m_program.NewExpr(TOp::Add, u16, at);
            add->kids = {sum, offset};
            sum = add;
        }
        TExpr *r = m_program.NewExpr(TOp::RomRead, element, at);
        r->sym = base->sym;
        r->kids = {sum};
        return r;
    }
    base = Rvalue(base);
    if (base->type->kind != TTypeKind::Pointer) {
        if (index->type->kind == TTypeKind::Pointer)
            std::swap(base, index);
        else {
            m_messages.Error(vmTypeMismatch, at, "Only an array or a pointer can be indexed");
            return base;
        }
    }
    return Deref(Binary(TOp::Add, base, index, at), at);
}

TExpr *TParser::Member(TExpr *base, const std::string &name, bool arrow, const TSourceSpan &at)
{
    if (arrow) {
        base = Rvalue(base);
        if (base->type->kind != TTypeKind::Pointer || base->type->target->kind != TTypeKind::Struct) {
            m_messages.Error(vmTypeMismatch, at, "-> needs a pointer to a structure");
            return base;
        }
        base = Deref(base, at);
    }
    if (base->type->kind != TTypeKind::Struct || !base->type->record) {
        m_messages.Error(vmTypeMismatch, at, ". needs a structure");
        return base;
    }
    const TMember *m = base->type->record->Find(name);
    if (!m) {
        m_messages.Error(vmNoMember, at, "Structure " + base->type->record->tag + " has no member " + name);
        return Const(0, nullptr, at, true);
    }
    const TType *memberType = base->type->isConst ? m_program.types.WithConst(m->type, true) : m->type;
    const TType *u16 = m_program.types.Int(2, false);
    if (base->op == TOp::RomRead) {
        if (m->bitOffset >= 0) {
            m_messages.Error(vmUnsupported, at, "Bit fields of constant tables are not supported");
            return base;
        }
        TExpr *sum = base->kids[0];
        if (sum->op == TOp::Const) {
            sum = Const(sum->value + m->offset, u16, at);
        } else if (m->offset) {
            TExpr *add = m_program.NewExpr(TOp::Add, u16, at);
            add->kids = {sum, Const(m->offset, u16, at)};
            sum = add;
        }
        TExpr *r = m_program.NewExpr(TOp::RomRead, m->type, at);
        r->sym = base->sym;
        r->kids = {sum};
        return r;
    }
    if (!IsLvalue(base)) {
        m_messages.Error(vmNotLvalue, at, "Only a structure variable has members");
        return base;
    }
    TExpr *addr = AddressOf(base, at);
    if (m->offset) {
        TExpr *add = m_program.NewExpr(TOp::Add, m_program.types.Pointer(memberType), at);
        add->kids = {addr, Const(m->offset, u16, at)};
        addr = add;
    } else {
        TExpr *c = m_program.NewExpr(TOp::Cast, m_program.types.Pointer(memberType), at);
        c->kids = {addr};
        addr = c;
    }
    if (m->bitOffset >= 0) {
        TExpr *bf = m_program.NewExpr(TOp::BitField, m->bitWidth == 1 && m->type->kind == TTypeKind::Bit ? m_program.types.Bit() : memberType, at);
        if (m->bitWidth > 1 || m->type->kind != TTypeKind::Bit)
            bf->type = m_program.types.WithConst(m->type->kind == TTypeKind::Bit ? m_program.types.Int(1, false) : m->type, memberType->isConst);
        bf->kids = {addr};
        bf->bitOffset = m->bitOffset;
        bf->bitWidth = m->bitWidth;
        return bf;
    }
    TExpr *e = m_program.NewExpr(TOp::Deref, memberType, at);
    e->kids = {addr};
    return e;
}

}  // namespace kiv::vync

#pragma once

// The program as the parser leaves it: types, symbols, expressions, statements and functions,
// with every expression typed and every conversion explicit.

#include "vync_diag.h"

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace kiv::vync {

enum class TTypeKind { Void, Int, Bit, Pointer, Array, Struct, Function };

struct TStruct;

struct TType {
    TTypeKind kind = TTypeKind::Void;
    int width = 0;                  /// bytes of an integer: 1, 2 or 4
    bool isSigned = false;
    bool isConst = false;
    const TType *target = nullptr;  /// pointer target, array element, function result
    int count = 0;                  /// array elements, -1 while not known
    TStruct *record = nullptr;
    std::vector<const TType *> params;   /// function parameter types

    bool IsInteger() const { return kind == TTypeKind::Int || kind == TTypeKind::Bit; }
    bool IsScalar() const { return IsInteger() || kind == TTypeKind::Pointer; }
    /// Bytes of RAM a value takes (a bit counts as one byte here).
    int Size() const;
    /// The name as messages show it ("int8", "signed int16", "int8 *").
    std::string Name() const;
};

struct TMember {
    std::string name;
    const TType *type = nullptr;
    int offset = 0;
    int bitOffset = -1;   /// bit fields: first bit within the byte at `offset`
    int bitWidth = 0;
};

struct TStruct {
    std::string tag;
    bool isUnion = false;
    bool complete = false;
    std::vector<TMember> members;
    int size = 0;
    const TMember *Find(const std::string &name) const;
};

/// Owns and shares the types of one compile.
class TTypes {
public:
    const TType *Void();
    const TType *Bit();
    const TType *Int(int width, bool isSigned);
    const TType *Pointer(const TType *target);
    const TType *Array(const TType *element, int count);
    const TType *Function(const TType *result, std::vector<const TType *> params);
    const TType *StructType(TStruct *record);
    const TType *WithConst(const TType *type, bool isConst);
    TStruct *NewStruct(const std::string &tag, bool isUnion);

private:
    const TType *Intern(const TType &t);
    std::vector<std::unique_ptr<TType>> m_types;
    std::vector<std::unique_ptr<TStruct>> m_structs;
};

struct TFunction;
struct TExpr;

enum class TStorage {
    Global,     /// a variable of the program (also file-level static)
    Static,     /// a function's static variable
    Local,      /// a function's automatic variable (overlaid with other functions' locals)
    Param,      /// a parameter
    Register,   /// #byte: a name for a fixed RAM address
    BitRegister,/// #bit: a name for one bit of a fixed address
    Rom,        /// a constant table in program memory
    Constant,   /// an enumeration constant or a const scalar: a number
    Function,
};

/// One byte of an initial value, at an offset within the variable.
struct TInitByte {
    int offset = 0;
    std::uint8_t value = 0;
};

struct TSymbol {
    std::string name;
    const TType *type = nullptr;
    TStorage storage = TStorage::Global;
    TSourceSpan at;
    TFunction *owner = nullptr;      /// for locals, parameters and statics
    TFunction *function = nullptr;   /// for TStorage::Function
    int address = -1;                /// RAM address once placed (bits: the byte)
    int bit = -1;                    /// bit number for int1 and #bit
    bool fixed = false;              /// #locate / #byte / #bit gave the address
    bool hasInit = false;
    std::vector<TInitByte> init;     /// constant initial bytes (globals, statics, tables)
    std::vector<std::uint8_t> rom;   /// the bytes of a table in program memory
    std::int64_t constValue = 0;
    bool used = false;
    bool addressTaken = false;
    std::string asmName;             /// label in the assembly
    TSymbol *alias = nullptr;        /// #bit on a variable: the variable
};

enum class TOp {
    Const,      /// value; `literal` when not yet bound to a type
    Var,        /// sym (a scalar, struct or array in RAM, or a bit)
    Deref,      /// *kids[0]: the object at a RAM address
    BitField,   /// bits `bitOffset`..+`bitWidth` of the byte at address kids[0]
    RomRead,    /// sym's table at byte offset kids[0]
    AddrOf,     /// address of kids[0] (a Var or Deref)
    Cast,       /// kids[0] converted to type
    Neg, Not, LogNot,
    Add, Sub, Mul, Div, Mod, And, Or, Xor, Shl, Shr,
    Eq, Ne, Lt, Le, Gt, Ge,     /// compared in kids[0]'s type (both operands converted)
    LogAnd, LogOr,
    Assign,     /// kids[0] = kids[1]
    OpAssign,   /// kids[0] binop= kids[1]; `binop` names it; kids[1] has the operation's type
    PreInc, PreDec, PostInc, PostDec,   /// `value` is the step (pointer element size)
    Cond,       /// kids[0] ? kids[1] : kids[2]
    Comma,
    Call,       /// callee(kids...)
    Builtin,    /// a built-in function `name`(kids...)
};

struct TExpr {
    TOp op = TOp::Const;
    const TType *type = nullptr;
    TSourceSpan at;
    std::int64_t value = 0;
    bool literal = false;
    TSymbol *sym = nullptr;
    TFunction *callee = nullptr;
    TOp binop = TOp::Add;
    int bitOffset = 0;
    int bitWidth = 0;
    std::string name;
    std::vector<TExpr *> kids;
};

enum class TStmtKind {
    Empty, Expr, Block, If, While, DoWhile, For, Switch, Case, Default, Break, Continue,
    Return, Goto, Label, Init,   /// Init: a local's initial value (`expr` assigns it)
    Directive,                   /// a directive that produces code in place (#asm ...)
};

struct TStmt {
    TStmtKind kind = TStmtKind::Empty;
    TSourceSpan at;
    TExpr *expr = nullptr;     /// expression, condition, return value
    TExpr *init = nullptr;     /// for: first expression
    TExpr *step = nullptr;     /// for: third expression
    TStmt *body = nullptr;     /// loops, switch, labelled statement, then-branch
    TStmt *other = nullptr;    /// else-branch
    std::vector<TStmt *> list; /// block
    std::int64_t caseValue = 0;
    std::string label;
};

struct TFunction {
    std::string name;
    TSourceSpan at;
    const TType *type = nullptr;       /// function type
    std::vector<TSymbol *> params;
    std::vector<TSymbol *> locals;     /// locals and statics, in declaration order
    TStmt *body = nullptr;
    bool defined = false;
    std::string interrupt;             /// "" or the #int_ name (lower case, without "int_")
    std::set<TFunction *> calls;       /// functions called in the body
    std::set<std::string> helpers;     /// run-time routines used
    bool used = false;
    TSymbol *symbol = nullptr;
    std::map<std::string, TSourceSpan> labels;
    const TType *Result() const { return type ? type->target : nullptr; }
};

/// A directive that concerns the whole program, as the parser read it.
struct TFuseSetting {
    std::string name;
    TSourceSpan at;
};

struct TRomEntry {
    std::uint32_t address = 0;
    std::vector<std::uint16_t> words;
    TSourceSpan at;
};

struct TProgram {
    TTypes types;
    std::vector<TSymbol *> globals;       /// in declaration order
    std::vector<TFunction *> functions;   /// in declaration order
    std::string device;                   /// "PIC16F877A"
    TSourceSpan deviceAt;
    std::vector<TFuseSetting> fuses;
    std::vector<TRomEntry> roms;
    bool zeroRam = false;
    bool icd = false;
    int pointerWidth = 0;                 /// #device *=8 / *=16; 0 when not given
    int adcBits = 0;                      /// #device adc=
    TSourceSpan adcBitsAt;
    std::uint32_t clock = 0;              /// #use delay(clock=...)
    TSourceSpan clockAt;
    struct TSerial {
        bool used = false;
        std::uint32_t baud = 9600;
        int xmit = -1;                    /// pin numbers of the device header
        int rcv = -1;
        bool invert = false;              /// idle low, data inverted (the software port)
        TSourceSpan at;
    };
    TSerial rs232;                        /// #use rs232(...)
    struct TI2c {
        bool used = false;
        bool master = true;
        bool forceHardware = false;
        bool forceSoftware = false;
        std::uint32_t rate = 100000;      /// bits per second: slow 100 kHz, fast 400 kHz
        int sda = -1;
        int scl = -1;
        TSourceSpan at;
    };
    TI2c i2c;                             /// #use i2c(...)

    TSymbol *NewSymbol();
    TExpr *NewExpr(TOp op, const TType *type, const TSourceSpan &at);
    TStmt *NewStmt(TStmtKind kind, const TSourceSpan &at);
    TFunction *NewFunction();

private:
    std::vector<std::unique_ptr<TSymbol>> m_symbols;
    std::vector<std::unique_ptr<TExpr>> m_exprs;
    std::vector<std::unique_ptr<TStmt>> m_stmts;
    std::vector<std::unique_ptr<TFunction>> m_functions;
};

/// Value of `v` truncated to `type` (sign extended when the type is signed).
std::int64_t Truncate(std::int64_t v, const TType *type);
/// True when `v` is a value of `type` (as its signed or unsigned range says).
bool FitsType(std::int64_t v, const TType *type);

}  // namespace kiv::vync

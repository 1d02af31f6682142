#pragma once

// The parser: turns the pre-processor's tokens into a typed program. It reports errors with
// their places and recovers at the next ";" or "}" so that one run reports several errors.

#include "vync_ast.h"
#include "vync_pp.h"

#include <map>
#include <string>
#include <vector>

namespace kiv::vync {

/// The built-in functions the parser knows: name, number of arguments (-1 any), result width
/// in bytes (0 none).
struct TBuiltinInfo {
    const char *name;
    int minArgs;
    int maxArgs;
    int resultWidth;
};
const TBuiltinInfo *FindBuiltin(const std::string &name);
/// The names of every built-in function the compiler writes in place.
std::vector<std::string> BuiltinNames();

class TParser {
public:
    TParser(TMessages &messages, TProgram &program, std::vector<TToken> tokens);

    /// Parses the whole program; errors go to the messages.
    void Run();

private:
    struct TEntry {
        TSymbol *symbol = nullptr;
        const TType *typedefType = nullptr;
    };
    struct TScope {
        std::map<std::string, TEntry> names;
        std::map<std::string, TStruct *> tags;
    };
    struct TDeclBase {
        const TType *type = nullptr;
        bool isStatic = false;
        bool isTypedef = false;
        bool isConst = false;
        bool isExtern = false;
        bool any = false;
        TSourceSpan at;
    };
    struct TDeclarator {
        std::string name;
        TSourceSpan at;
        const TType *type = nullptr;
        std::vector<std::string> paramNames;
        std::vector<TSourceSpan> paramAt;
        bool isFunction = false;   // the outermost derivation is a function
    };

    // Tokens.
    const TToken &Peek(int ahead = 0) const;
    const TToken &Next();
    bool Accept(const char *punct);
    bool Expect(const char *punct);
    bool AtEnd() const;
    void SkipTo(const char *stopA, const char *stopB = nullptr);
    void SkipDirective();
    TSourceSpan Span(const TSourceSpan &from, const TSourceSpan &to) const;

    // Declarations.
    void ExternalDeclaration();
    bool IsTypeStart(const TToken &t) const;
    bool ParseDeclBase(TDeclBase *declBase);
    const TType *ParseStruct(bool isUnion);
    const TType *ParseEnum();
    bool ParseDeclarator(const TType *base, TDeclarator *decl, bool abstractAllowed = false);
    const TType *ParseTypeName();
    void DeclareVariable(const TDeclBase &declBase, TDeclarator &decl, bool global);
    void FunctionDefinition(const TDeclBase &declBase, TDeclarator &decl);
    TSymbol *DeclareFunction(const TDeclarator &decl, bool definition);
    bool ParseInitializer(const TType *type, int offset, std::vector<TInitByte> *bytes, int *arrayCount,
                          std::vector<std::pair<int, TExpr *>> *runtime);
    void Directive();

    // Statements.
    TStmt *Statement();
    TStmt *Block(bool newScope);
    void LocalDeclaration(std::vector<TStmt *> *out);

    // Expressions.
    TExpr *Expression();
    TExpr *AssignmentExpr();
    TExpr *ConditionalExpr();
    TExpr *BinaryExpr(int minPrecedence);
    TExpr *UnaryExpr();
    TExpr *PostfixExpr();
    TExpr *PrimaryExpr();
    TExpr *CallExpr(TExpr *callee, const TToken &name);
    TExpr *BuiltinCall(const TToken &name);
    TExpr *PrintCall(const TToken &name);
    TExpr *ReadAdcCall(const TToken &name);
    int AdcResolution();
    void CheckAdcBits();
    TExpr *CallNamed(const std::string &name, std::vector<TExpr *> args, const TSourceSpan &at);
    void StartSerial();
    void StartI2c();
    std::int64_t ConstantExpr(const TSourceSpan &at, bool *ok = nullptr);

    // Typing.
    TExpr *Rvalue(TExpr *e);
    TExpr *Convert(TExpr *e, const TType *to);
    TExpr *Const(std::int64_t v, const TType *type, const TSourceSpan &at, bool literal = false);
    TExpr *Binary(TOp op, TExpr *a, TExpr *b, const TSourceSpan &at);
    TExpr *Unary(TOp op, TExpr *a, const TSourceSpan &at);
    TExpr *Assign(TOp binop, bool compound, TExpr *target, TExpr *value, const TSourceSpan &at);
    TExpr *IncDec(TOp op, TExpr *target, const TSourceSpan &at);
    TExpr *Index(TExpr *base, TExpr *index, const TSourceSpan &at);
    TExpr *Member(TExpr *base, const std::string &name, bool arrow, const TSourceSpan &at);
    TExpr *Deref(TExpr *pointer, const TSourceSpan &at);
    TExpr *AddressOf(TExpr *e, const TSourceSpan &at);
    TExpr *Condition(TExpr *e);
    const TType *Common(const TExpr *a, const TExpr *b);
    const TType *LiteralType(std::int64_t v, const TType *near);
    bool IsLvalue(const TExpr *e) const;
    bool CheckAssignable(TExpr *e, const TSourceSpan &at);
    TExpr *Fold(TExpr *e);

    // Names.
    void PushScope();
    void PopScope();
    TEntry *Lookup(const std::string &name);
    TStruct *LookupTag(const std::string &tag);
    void Bind(const std::string &name, const TEntry &entry, const TSourceSpan &at);

    TMessages &m_messages;
    TProgram &m_program;
    std::vector<TToken> m_tokens;
    std::size_t m_pos = 0;
    std::vector<TScope> m_scopes;
    TFunction *m_function = nullptr;
    int m_loopDepth = 0;
    int m_switchDepth = 0;
    std::string m_pendingInterrupt;
    TSourceSpan m_pendingInterruptAt;
    std::map<std::string, int> m_localNames;
    std::vector<TStmt *> m_pendingInit;   // initial values of the locals just declared
};

}  // namespace kiv::vync

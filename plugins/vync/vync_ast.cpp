#include "vync_ast.h"

namespace kiv::vync {

int TType::Size() const
{
    switch (kind) {
    case TTypeKind::Void: return 0;
    case TTypeKind::Bit: return 1;
    case TTypeKind::Int: return width;
    case TTypeKind::Pointer: return 2;
    case TTypeKind::Array: return count < 0 ? 0 : count * target->Size();
    case TTypeKind::Struct: return record ? record->size : 0;
    case TTypeKind::Function: return 0;
    }
    return 0;
}

std::string TType::Name() const
{
    std::string prefix = isConst ? "const " : "";
    switch (kind) {
    case TTypeKind::Void: return prefix + "void";
    case TTypeKind::Bit: return prefix + "int1";
    case TTypeKind::Int:
        return prefix + (isSigned ? "signed " : "") + "int" + std::to_string(width * 8);
    case TTypeKind::Pointer: return target->Name() + " *";
    case TTypeKind::Array: return target->Name() + " [" + (count < 0 ? std::string() : std::to_string(count)) + "]";
    case TTypeKind::Struct:
        return prefix + (record && record->isUnion ? "union " : "struct ") + (record ? record->tag : std::string());
    case TTypeKind::Function: return target->Name() + " ()";
    }
    return "?";
}

const TMember *TStruct::Find(const std::string &name) const
{
    for (const TMember &m : members) {
        if (m.name == name)
            return &m;
    }
    return nullptr;
}

const TType *TTypes::Intern(const TType &t)
{
    for (const auto &existing : m_types) {
        if (existing->kind == t.kind && existing->width == t.width && existing->isSigned == t.isSigned &&
            existing->isConst == t.isConst && existing->target == t.target && existing->count == t.count &&
            existing->record == t.record && existing->params == t.params)
            return existing.get();
    }
    m_types.push_back(std::make_unique<TType>(t));
    return m_types.back().get();
}

const TType *TTypes::Void()
{
    TType t;
    t.kind = TTypeKind::Void;
    return Intern(t);
}

const TType *TTypes::Bit()
{
    TType t;
    t.kind = TTypeKind::Bit;
    t.width = 1;
    return Intern(t);
}

const TType *TTypes::Int(int width, bool isSigned)
{
    TType t;
    t.kind = TTypeKind::Int;
    t.width = width;
    t.isSigned = isSigned;
    return Intern(t);
}

const TType *TTypes::Pointer(const TType *target)
{
    TType t;
    t.kind = TTypeKind::Pointer;
    t.width = 2;
    t.target = target;
    return Intern(t);
}

const TType *TTypes::Array(const TType *element, int count)
{
    TType t;
    t.kind = TTypeKind::Array;
    t.target = element;
    t.count = count;
    return Intern(t);
}

const TType *TTypes::Function(const TType *result, std::vector<const TType *> params)
{
    TType t;
    t.kind = TTypeKind::Function;
    t.target = result;
    t.params = std::move(params);
    return Intern(t);
}

const TType *TTypes::StructType(TStruct *record)
{
    TType t;
    t.kind = TTypeKind::Struct;
    t.record = record;
    return Intern(t);
}

const TType *TTypes::WithConst(const TType *type, bool isConst)
{
    if (type->isConst == isConst)
        return type;
    TType t = *type;
    t.isConst = isConst;
    return Intern(t);
}

TStruct *TTypes::NewStruct(const std::string &tag, bool isUnion)
{
    m_structs.push_back(std::make_unique<TStruct>());
    m_structs.back()->tag = tag;
    m_structs.back()->isUnion = isUnion;
    return m_structs.back().get();
}

TSymbol *TProgram::NewSymbol()
{
    m_symbols.push_back(std::make_unique<TSymbol>());
    return m_symbols.back().get();
}

TExpr *TProgram::NewExpr(TOp op, const TType *type, const TSourceSpan &at)
{
    m_exprs.push_back(std::make_unique<TExpr>());
    TExpr *e = m_exprs.back().get();
    e->op = op;
    e->type = type;
    e->at = at;
    return e;
}

TStmt *TProgram::NewStmt(TStmtKind kind, const TSourceSpan &at)
{
    m_stmts.push_back(std::make_unique<TStmt>());
    m_stmts.back()->kind = kind;
    m_stmts.back()->at = at;
    return m_stmts.back().get();
}

TFunction *TProgram::NewFunction()
{
    m_functions.push_back(std::make_unique<TFunction>());
    return m_functions.back().get();
}

std::int64_t Truncate(std::int64_t v, const TType *type)
{
    if (!type || type->kind == TTypeKind::Bit)
        return v != 0 ? 1 : 0;
    const int bits = type->Size() * 8;
    if (bits <= 0 || bits >= 64)
        return v;
    const std::uint64_t mask = (std::uint64_t(1) << bits) - 1;
    std::uint64_t u = static_cast<std::uint64_t>(v) & mask;
    if (type->kind == TTypeKind::Int && type->isSigned && (u >> (bits - 1)) & 1)
        return static_cast<std::int64_t>(u | ~mask);
    return static_cast<std::int64_t>(u);
}

bool FitsType(std::int64_t v, const TType *type)
{
    if (!type)
        return false;
    if (type->kind == TTypeKind::Bit)
        return v == 0 || v == 1;
    const int bits = type->Size() * 8;
    if (bits >= 64)
        return true;
    if (type->kind == TTypeKind::Int && type->isSigned)
        return v >= -(std::int64_t(1) << (bits - 1)) && v < (std::int64_t(1) << (bits - 1));
    return v >= 0 && v < (std::int64_t(1) << bits);
}

}  // namespace kiv::vync

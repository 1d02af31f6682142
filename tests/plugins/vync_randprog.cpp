#include "vync_randprog.h"

#include <random>
#include <sstream>

namespace kiv::vynctest {

namespace {

enum TTy { U8, S8, U16, S16, U32, S32, B1, TyCount };

struct TTyInfo {
    int width;
    bool isSigned;
    std::vector<const char *> spellings;   // ways the dialect writes the type
    const char *host;
};

const TTyInfo &Info(TTy t)
{
    static const TTyInfo infos[TyCount] = {
        {1, false, {"int8", "int", "char", "unsigned int8", "unsigned char"}, "uint8_t"},
        {1, true, {"signed int8", "signed int", "signed char"}, "int8_t"},
        {2, false, {"int16", "long", "unsigned int16", "unsigned long"}, "uint16_t"},
        {2, true, {"signed int16", "signed long"}, "int16_t"},
        {4, false, {"int32", "unsigned int32"}, "uint32_t"},
        {4, true, {"signed int32"}, "int32_t"},
        {1, false, {"int1", "short"}, "uint8_t"},
    };
    return infos[t];
}

// The type arithmetic works in: a bit counts as an unsigned byte.
TTy Arith(TTy t) { return t == B1 ? U8 : t; }

TTy Common(TTy a, TTy b)
{
    a = Arith(a);
    b = Arith(b);
    const TTyInfo &x = Info(a), &y = Info(b);
    if (x.width == y.width) {
        const bool s = x.isSigned && y.isSigned;
        return x.width == 1 ? (s ? S8 : U8) : x.width == 2 ? (s ? S16 : U16) : (s ? S32 : U32);
    }
    return x.width > y.width ? a : b;
}

std::int64_t MinOf(TTy t)
{
    const TTyInfo &i = Info(t);
    if (t == B1 || !i.isSigned)
        return 0;
    return -(std::int64_t(1) << (8 * i.width - 1));
}

std::int64_t MaxOf(TTy t)
{
    const TTyInfo &i = Info(t);
    if (t == B1)
        return 1;
    return i.isSigned ? (std::int64_t(1) << (8 * i.width - 1)) - 1 : (std::int64_t(1) << (8 * i.width)) - 1;
}

struct TE {
    std::string d;        // dialect text
    std::string h;        // host text
    TTy t = U8;
    bool literal = false; // an untyped literal (takes the other operand's type)
    std::int64_t value = 0;
};

struct TVar {
    std::string d;
    std::string h;
    TTy t;
    bool assignable = true;
};

class TGen {
public:
    TGen(std::uint32_t seed, int unit) : m_rng(seed * 7919u + static_cast<std::uint32_t>(unit) * 104729u + 17u), m_unit(unit)
    {
        m_prefix = "u" + std::to_string(unit) + "_";
    }

    TRandomUnit Make(int cases)
    {
        TRandomUnit u;
        std::ostringstream d, h;
        // Globals read by every case.
        const int globals = 3 + Pick(4);
        for (int g = 0; g < globals; ++g) {
            const TTy t = RandomType();
            const std::string name = "g" + std::to_string(g);
            const std::int64_t v = RandomValue(t);
            d << Spell(t) << " " << name << " = " << DialectNumber(t, v, true) << ";\n";
            h << "static " << Info(t).host << " " << P(name) << " = " << HostNumber(t, v) << ";\n";
            m_globals.push_back({name, P(name), t, false});
        }
        const TTy garr = Arith(RandomType());
        d << Spell(garr) << " ga[4] = {";
        h << "static " << Info(garr).host << " " << P("ga") << "[4] = {";
        for (int i = 0; i < 4; ++i) {
            const std::int64_t v = RandomValue(garr);
            d << (i ? ", " : "") << DialectNumber(garr, v, true);
            h << (i ? ", " : "") << HostNumber(garr, v);
        }
        d << "};\n";
        h << "};\n";
        m_garr = garr;
        // A structure type for the cases' locals.
        m_members.clear();
        d << "struct s" << m_unit << " {";
        h << "struct " << P("s") << " {";
        for (int i = 0; i < 3; ++i) {
            const TTy t = Arith(RandomType());
            m_members.push_back(t);
            d << " " << Spell(t) << " m" << i << ";";
            h << " " << Info(t).host << " m" << i << ";";
        }
        d << " };\n";
        h << " };\n";

        for (int k = 0; k < cases; ++k)
            Case(k, d, h, &u);
        d << "void main() {\n";
        std::ostringstream run;
        for (int k = 0; k < cases; ++k) {
            d << "   c" << k << "();\n";
            run << "   " << P("c" + std::to_string(k)) << "();\n";
        }
        d << "}\n";
        for (int k = 0; k < cases; ++k) {
            const auto &r = u.results[static_cast<std::size_t>(k)];
            run << "   printf(\"" << m_unit << " " << k << " %lld\\n\", (long long)" << P(r.name) << ");\n";
        }
        u.dialect = d.str();
        u.host = h.str();
        u.hostRun = run.str();
        return u;
    }

private:
    int Pick(int n) { return static_cast<int>(m_rng() % static_cast<std::uint32_t>(n)); }
    bool Chance(int percent) { return Pick(100) < percent; }
    std::string P(const std::string &name) const { return m_prefix + name; }

    TTy RandomType()
    {
        static const TTy pool[] = {U8, U8, S8, S8, U16, U16, S16, S16, U32, S32, B1};
        return pool[Pick(sizeof pool / sizeof pool[0])];
    }

    std::string Spell(TTy t)
    {
        const auto &s = Info(t).spellings;
        return s[static_cast<std::size_t>(Pick(static_cast<int>(s.size())))];
    }

    std::int64_t RandomValue(TTy t)
    {
        const std::int64_t lo = MinOf(t), hi = MaxOf(t);
        if (t == B1)
            return Pick(2);
        switch (Pick(8)) {
        case 0: return 0;
        case 1: return 1;
        case 2: return hi;
        case 3: return lo;
        case 4: return Info(t).isSigned ? -1 : hi - 1;
        case 5: return Pick(16);
        default: {
            const std::uint64_t span = static_cast<std::uint64_t>(hi - lo) + 1;
            const std::uint64_t r = (static_cast<std::uint64_t>(m_rng()) << 32) | m_rng();
            return lo + static_cast<std::int64_t>(r % span);
        }
        }
    }

    // The dialect's number: a cast of a literal (`literal` false) or a bare literal.
    std::string DialectNumber(TTy t, std::int64_t v, bool bare)
    {
        std::string n = std::to_string(v);
        if (bare)
            return n;
        return "((" + Spell(t) + ")" + n + ")";
    }

    std::string HostNumber(TTy t, std::int64_t v)
    {
        const std::uint64_t bits = static_cast<std::uint64_t>(v) & (Info(t).width == 4 ? 0xFFFFFFFFull : Info(t).width == 2 ? 0xFFFFull : 0xFFull);
        std::ostringstream s;
        s << "((" << Info(t).host << ")0x" << std::hex << bits << "u)";
        return s.str();
    }

    // A host value converted to type `to`, as the dialect converts on assignment.
    static std::string Conv(const std::string &h, TTy to)
    {
        if (to == B1)
            return "((" + h + ") != 0)";
        return "((" + std::string(Info(to).host) + ")(" + h + "))";
    }

    TE Const(TTy t)
    {
        TE e;
        e.t = t;
        e.value = RandomValue(t);
        e.d = DialectNumber(t, e.value, false);
        e.h = HostNumber(t, e.value);
        return e;
    }

    TE Leaf(const std::vector<TVar> &scope)
    {
        if (scope.empty() || Chance(25))
            return Const(RandomType());
        const TVar &v = scope[static_cast<std::size_t>(Pick(static_cast<int>(scope.size())))];
        return TE{v.d, v.h, v.t};
    }

    TE Expr(const std::vector<TVar> &scope, int depth)
    {
        if (depth <= 0 || Chance(20))
            return Leaf(scope);
        const int kind = Pick(100);
        if (kind < 45) {
            static const char *const ops[] = {"+", "-", "*", "/", "%", "&", "|", "^", "+", "-", "*"};
            const std::string op = ops[Pick(sizeof ops / sizeof ops[0])];
            TE a = Expr(scope, depth - 1);
            TE b;
            if (Chance(20) && a.t != B1) {
                // A bare literal that fits the other operand's type takes that type.
                b.t = Arith(a.t);
                b.literal = true;
                b.value = std::min<std::int64_t>(MaxOf(b.t), Pick(3) == 0 ? MaxOf(b.t) : Pick(200));
                b.d = std::to_string(b.value);
                b.h = HostNumber(b.t, b.value);
            } else {
                b = Expr(scope, depth - 1);
            }
            if (op == "/" || op == "%") {
                // Never divide by zero: the divisor has its lowest bit set.
                const TTy bt = Arith(b.t);
                TE one{"1", HostNumber(bt, 1), bt, true, 1};
                b = Arith2("|", b, one);
            }
            return Arith2(op, a, b);
        }
        if (kind < 55) {
            TE a = Expr(scope, depth - 1);
            const TTy t = Arith(a.t);
            const int bits = 8 * Info(t).width;
            std::string cd, ch;
            if (Chance(50)) {
                const int n = Pick(bits);
                cd = std::to_string(n);
                ch = std::to_string(n);
            } else {
                TE c = Leaf(scope);
                cd = "(" + c.d + " & " + std::to_string(bits - 1) + ")";
                ch = "((int)(" + Conv(c.h, Arith(c.t)) + " & " + std::to_string(bits - 1) + "))";
            }
            const bool left = Chance(50);
            TE e;
            e.t = t;
            e.d = "(" + a.d + (left ? " << " : " >> ") + cd + ")";
            const std::string x = Conv(a.h, t);
            if (left)
                e.h = "((" + std::string(Info(t).host) + ")((uint32_t)" + x + " << " + ch + "))";
            else if (Info(t).isSigned)
                e.h = "((" + std::string(Info(t).host) + ")((int32_t)" + x + " >> " + ch + "))";
            else
                e.h = "((" + std::string(Info(t).host) + ")((uint32_t)" + x + " >> " + ch + "))";
            return e;
        }
        if (kind < 70) {
            static const char *const ops[] = {"==", "!=", "<", "<=", ">", ">="};
            const std::string op = ops[Pick(6)];
            TE a = Expr(scope, depth - 1), b = Expr(scope, depth - 1);
            const TTy c = Common(a.t, b.t);
            TE e;
            e.t = B1;
            e.d = "(" + a.d + " " + op + " " + b.d + ")";
            e.h = "(" + Conv(a.h, c) + " " + op + " " + Conv(b.h, c) + ")";
            return e;
        }
        if (kind < 76) {
            TE a = Expr(scope, depth - 1), b = Expr(scope, depth - 1);
            const std::string op = Chance(50) ? "&&" : "||";
            return TE{"(" + a.d + " " + op + " " + b.d + ")", "((" + a.h + ") " + op + " (" + b.h + "))", B1};
        }
        if (kind < 80) {
            TE a = Expr(scope, depth - 1);
            return TE{"(!" + a.d + ")", "(!(" + a.h + "))", B1};
        }
        if (kind < 87) {
            TE a = Expr(scope, depth - 1);
            const TTy t = Arith(a.t);
            const std::string ht = Info(t).host;
            if (Chance(50))
                return TE{"(-" + a.d + ")", "((" + ht + ")(0u - (uint32_t)" + Conv(a.h, t) + "))", t};
            return TE{"(~" + a.d + ")", "((" + ht + ")(~(uint32_t)" + Conv(a.h, t) + "))", t};
        }
        if (kind < 93) {
            TE a = Expr(scope, depth - 1);
            const TTy to = RandomType();
            return TE{"((" + Spell(to) + ")" + a.d + ")", Conv(a.h, to), to};
        }
        TE c = Expr(scope, depth - 1), a = Expr(scope, depth - 1), b = Expr(scope, depth - 1);
        const TTy t = Common(a.t, b.t);
        return TE{"(" + c.d + " ? " + a.d + " : " + b.d + ")", "((" + c.h + ") ? " + Conv(a.h, t) + " : " + Conv(b.h, t) + ")", t};
    }

    // a op b in the dialect's common type, with the host computing in 32 (or 64) bits and
    // cutting to the type.
    TE Arith2(const std::string &op, const TE &a, const TE &b)
    {
        TTy t;
        if (b.literal && a.t != B1)
            t = Arith(a.t);
        else if (a.literal && b.t != B1)
            t = Arith(b.t);
        else
            t = Common(a.t, b.t);
        const std::string ht = Info(t).host;
        const std::string x = Conv(a.h, t), y = Conv(b.h, t);
        TE e;
        e.t = t;
        e.d = "(" + a.d + " " + op + " " + b.d + ")";
        if (op == "/" || op == "%") {
            if (Info(t).isSigned)
                e.h = "((" + ht + ")((int64_t)" + x + " " + op + " (int64_t)" + y + "))";
            else
                e.h = "((" + ht + ")((uint32_t)" + x + " " + op + " (uint32_t)" + y + "))";
        } else {
            e.h = "((" + ht + ")((uint32_t)" + x + " " + op + " (uint32_t)" + y + "))";
        }
        return e;
    }

    // One program: a helper function, locals, an array, a structure, loops, the result.
    void Case(int k, std::ostringstream &d, std::ostringstream &h, TRandomUnit *u)
    {
        const std::string ks = std::to_string(k);
        const TTy rt = RandomType();
        TRandomUnit::TResult result;
        result.name = "r" + ks;
        result.bytes = rt == B1 ? 0 : Info(rt).width;
        result.isSigned = Info(rt).isSigned;
        u->results.push_back(result);
        d << Spell(rt) << " r" << ks << ";\n";
        h << "static " << Info(rt).host << " " << P("r" + ks) << ";\n";

        std::vector<TVar> scope = m_globals;
        for (int i = 0; i < 4; ++i)
            scope.push_back({"ga[" + std::to_string(i) + "]", P("ga") + "[" + std::to_string(i) + "]", m_garr, false});

        // A helper function of two parameters.
        const bool helper = Chance(60);
        TTy hr = U8, hp0 = U8, hp1 = U8;
        if (helper) {
            hr = RandomType();
            hp0 = RandomType();
            hp1 = RandomType();
            std::vector<TVar> hs = m_globals;
            hs.push_back({"p", "p", hp0});
            hs.push_back({"q", "q", hp1});
            const TE body = Expr(hs, 2);
            d << Spell(hr) << " h" << ks << "(" << Spell(hp0) << " p, " << Spell(hp1) << " q) {\n   return " << body.d << ";\n}\n";
            h << "static " << Info(hr).host << " " << P("h" + ks) << "(" << Info(hp0).host << " p, " << Info(hp1).host
              << " q) {\n   return " << Conv(body.h, hr) << ";\n}\n";
        }

        d << "void c" << ks << "() {\n";
        h << "static void " << P("c" + ks) << "(void) {\n";
        d << "   int8 i;\n";
        h << "   uint8_t i;\n";
        std::vector<TVar> locals;
        const int nLocals = 2 + Pick(3);
        for (int i = 0; i < nLocals; ++i) {
            const TTy t = RandomType();
            const std::string name = "v" + std::to_string(i);
            const TE init = Expr(scope, 1);
            d << "   " << Spell(t) << " " << name << " = " << init.d << ";\n";
            h << "   " << Info(t).host << " " << name << " = " << Conv(init.h, t) << ";\n";
            locals.push_back({name, name, t});
            scope.push_back(locals.back());
        }
        // A local array filled in a loop, and a pointer into it.
        const TTy at = Arith(RandomType());
        d << "   " << Spell(at) << " a[4];\n   " << Spell(at) << " *pa;\n";
        h << "   " << Info(at).host << " a[4];\n   " << Info(at).host << " *pa;\n";
        {
            std::vector<TVar> withI = scope;
            withI.push_back({"i", "i", U8, false});
            const TE fill = Expr(withI, 2);
            d << "   for (i = 0; i < 4; i++)\n      a[i] = " << fill.d << ";\n";
            h << "   for (i = 0; i < 4; i++)\n      a[i] = " << Conv(fill.h, at) << ";\n";
        }
        const int off = Pick(3);
        d << "   pa = &a[" << off << "];\n";
        h << "   pa = &a[" << off << "];\n";
        scope.push_back({"pa[1]", "pa[1]", at});
        scope.push_back({"*pa", "*pa", at});
        scope.push_back({"a[" + std::to_string(Pick(4)) + "]", "", at});
        scope.back().h = scope.back().d;
        // A local structure.
        d << "   struct s" << m_unit << " s;\n";
        h << "   struct " << P("s") << " s;\n";
        for (int m = 0; m < 3; ++m) {
            const TE v = Expr(scope, 2);
            d << "   s.m" << m << " = " << v.d << ";\n";
            h << "   s.m" << m << " = " << Conv(v.h, m_members[static_cast<std::size_t>(m)]) << ";\n";
        }
        for (int m = 0; m < 3; ++m)
            scope.push_back({"s.m" + std::to_string(m), "s.m" + std::to_string(m), m_members[static_cast<std::size_t>(m)]});
        // A loop updating a local with a compound assignment or a plain one.
        if (Chance(70)) {
            const TVar &target = locals[static_cast<std::size_t>(Pick(nLocals))];
            const int n = 1 + Pick(6);
            std::vector<TVar> withI = scope;
            withI.push_back({"i", "i", U8, false});
            const TE step = Expr(withI, 2);
            const char *forms[] = {"for", "while", "do"};
            const std::string form = forms[Pick(3)];
            std::string bodyD, bodyH;
            if (target.t != B1 && Chance(60)) {
                static const char *const ops[] = {"+", "-", "*", "&", "|", "^"};
                const std::string op = ops[Pick(6)];
                const TE cur{target.d, target.h, target.t};
                const TE r = Arith2(op, cur, step);
                bodyD = target.d + " " + op + "= " + step.d + ";";
                bodyH = target.h + " = " + Conv(r.h, target.t) + ";";
            } else {
                bodyD = target.d + " = " + step.d + ";";
                bodyH = target.h + " = " + Conv(step.h, target.t) + ";";
            }
            const std::string ns = std::to_string(n);
            if (form == "for") {
                d << "   for (i = 0; i < " << ns << "; ++i) {\n      " << bodyD << "\n   }\n";
                h << "   for (i = 0; i < " << ns << "; ++i) {\n      " << bodyH << "\n   }\n";
            } else if (form == "while") {
                d << "   i = 0;\n   while (i < " << ns << ") {\n      " << bodyD << "\n      i++;\n   }\n";
                h << "   i = 0;\n   while (i < " << ns << ") {\n      " << bodyH << "\n      i++;\n   }\n";
            } else {
                d << "   i = 0;\n   do {\n      " << bodyD << "\n   } while (++i < " << ns << ");\n";
                h << "   i = 0;\n   do {\n      " << bodyH << "\n   } while (++i < " << ns << ");\n";
            }
        }
        // The result, sometimes through the helper.
        TE r = Expr(scope, 2);
        if (helper) {
            const TE p0 = Expr(scope, 1), p1 = Expr(scope, 1);
            const TE call{"h" + ks + "(" + p0.d + ", " + p1.d + ")", P("h" + ks) + "(" + Conv(p0.h, hp0) + ", " + Conv(p1.h, hp1) + ")", hr};
            r = Arith2(Chance(50) ? "+" : "^", r, call);
        }
        d << "   r" << ks << " = " << r.d << ";\n}\n";
        h << "   " << P("r" + ks) << " = " << Conv(r.h, rt) << ";\n}\n";
    }

    std::mt19937 m_rng;
    int m_unit;
    std::string m_prefix;
    std::vector<TVar> m_globals;
    TTy m_garr = U8;
    std::vector<TTy> m_members;
};

}  // namespace

TRandomUnit MakeRandomUnit(std::uint32_t seed, int unit, int cases)
{
    TGen g(seed, unit);
    return g.Make(cases);
}

std::string HostProgram(const std::vector<TRandomUnit> &units)
{
    std::string s = "#include <stdint.h>\n#include <stdio.h>\n\n";
    for (const TRandomUnit &u : units)
        s += u.host + "\n";
    s += "int main(void) {\n";
    for (const TRandomUnit &u : units)
        s += u.hostRun;
    s += "   return 0;\n}\n";
    return s;
}

}  // namespace kiv::vynctest

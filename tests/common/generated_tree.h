#pragma once

// A seeded generator of a folder tree of C files, for the find-in-files tests and benchmark.
// The same seed gives the same bytes on every machine (a fixed 64-bit generator, no standard
// library distributions).
//
// Lines mix declarations, calls, conditions, comments and preprocessor lines over a vocabulary
// in which "value" is common (in several spellings: Value, VALUE, values, value_2, ...) and
// "watchdog_overflow_guard" is rare.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <cstdint>

namespace kiv::test {

struct TTreeShape {
    int files = 2000;
    int linesPerFile = 300;
    int filesPerFolder = 100;
    std::uint64_t seed = 20240611;
};

/// The rare and the common word of a generated tree.
inline const char *RareWord() { return "watchdog_overflow_guard"; }
inline const char *CommonWord() { return "value"; }

class TTreeGenerator {
public:
    explicit TTreeGenerator(std::uint64_t seed) : m_state(seed) {}

    /// splitmix64
    std::uint64_t Next()
    {
        std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    int Below(int n) { return int(Next() % std::uint64_t(n)); }

    QByteArray Word()
    {
        static const char *const words[] = {
            "count", "timer", "adc", "port", "flag", "buffer", "index", "status", "result",
            "reading", "sample", "offset", "level", "state", "mode", "limit", "delay", "pin",
            "channel", "speed", "duty", "period", "total", "average", "error", "tick",
        };
        static const char *const values[] = {
            "value", "Value", "VALUE", "values", "value_2", "old_value", "value", "value",
        };
        if (Below(6) == 0)
            return values[Below(int(std::size(values)))];
        return words[Below(int(std::size(words)))];
    }

    QByteArray Identifier()
    {
        QByteArray id = Word();
        if (Below(2) == 0)
            id += '_' + Word();
        return id;
    }

    QByteArray Line()
    {
        // About one line in twenty thousand carries the rare word.
        if (Below(20000) == 0)
            return "    " + QByteArray(RareWord()) + "(" + Identifier() + ");";
        const QByteArray n = QByteArray::number(Below(1000));
        switch (Below(10)) {
        case 0: return "int8 " + Identifier() + " = " + n + ";";
        case 1: return "    if (" + Identifier() + " > " + n + ") {";
        case 2: return "        " + Identifier() + "(" + Identifier() + ", " + n + ");";
        case 3: return "    }";
        case 4: return "/* " + Word() + " " + Word() + " " + Word() + " */";
        case 5: return "#define " + Identifier().toUpper() + " " + n;
        case 6: return "    return " + Identifier() + ";";
        case 7: return "";
        case 8: return "\t" + Identifier() + " += " + Identifier() + ";";
        default: return "    " + Identifier() + " = " + Identifier() + " * " + n + ";";
        }
    }

private:
    std::uint64_t m_state;
};

/// Writes the tree under `root` (folders "dir00", "dir01", ... with files "fileNNNN.c");
/// returns the bytes written, or -1 when a file could not be written.
inline qint64 WriteGeneratedTree(const QString &root, const TTreeShape &shape = {})
{
    TTreeGenerator gen(shape.seed);
    qint64 total = 0;
    for (int f = 0; f < shape.files; ++f) {
        const QString folder = root + QStringLiteral("/dir%1").arg(f / shape.filesPerFolder, 2, 10, QLatin1Char('0'));
        QDir().mkpath(folder);
        QByteArray text;
        for (int l = 0; l < shape.linesPerFile; ++l)
            text += gen.Line() + '\n';
        QFile file(folder + QStringLiteral("/file%1.c").arg(f, 4, 10, QLatin1Char('0')));
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(text) != text.size())
            return -1;
        total += text.size();
    }
    return total;
}

}  // namespace kiv::test

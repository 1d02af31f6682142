#pragma once

// Access to the scripted debugger and watch libraries from a test: the test opens the same
// shared library the IDE loads by path, so both see one state.

#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

namespace kiv::test {

/// The full path of a scripted library ("scriptdbg", "scriptwatch", ...).
QString ScriptLibPath(const char *name);

/// The scripted debugger library `name`; the constructor resets its script.
class TScriptDbg {
public:
    explicit TScriptDbg(const char *name = "scriptdbg");
    ~TScriptDbg();
    TScriptDbg(const TScriptDbg &) = delete;
    TScriptDbg &operator=(const TScriptDbg &) = delete;

    const QString &Path() const { return m_path; }
    void Reset();
    /// The next `count` calls of `exportName` fail with `msg` (-1: all).
    void Fail(const char *exportName, int count, const char *msg);
    void SetText(const char *key, const char *value);
    void SetInt(const char *key, long value);
    void PushStop(uint32_t pc, uint8_t w, uint8_t status);
    void PushStep(uint32_t pc, uint8_t w = 0);
    void Release();
    uint8_t *Ram();
    uint8_t *Valid();
    uint8_t *Eeprom();
    void SetStack(const std::vector<uint32_t> &entries);
    /// The calls made so far, "NAME arguments" each.
    QStringList Calls() const;
    /// The calls whose text starts with `prefix`.
    QStringList Calls(const QString &prefix) const;
    long Query(const char *key) const;
    QString Input() const;

private:
    void *Symbol(const char *name) const;
    QString m_path;
    void *m_handle = nullptr;
};

/// The scripted watch library; the constructor resets its tables.
class TScriptWatch {
public:
    TScriptWatch();
    ~TScriptWatch();
    TScriptWatch(const TScriptWatch &) = delete;
    TScriptWatch &operator=(const TScriptWatch &) = delete;

    const QString &Path() const { return m_path; }
    void Reset();
    void AddFile(const QString &name);
    void AddLine(int file, int line, int list, uint32_t address);
    void AddFunction(const char *name, uint32_t start, uint32_t exit);
    void AddSymbol(const char *name, uint32_t address, int symbolClass);
    void SetEval(const char *expression, const char *result, int ok);
    void FailLoad(uint32_t code);
    QString Loaded() const;
    QStringList Calls() const;

private:
    void *Symbol(const char *name) const;
    QString m_path;
    void *m_handle = nullptr;
};

}  // namespace kiv::test

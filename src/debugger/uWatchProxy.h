#pragma once

#include "uDbgProxy.h"
#include "watch_abi.h"

#include <QLibrary>
#include <QString>
#include <QStringList>

#include <vector>

namespace kiv {

/// The result of a line lookup (VYNWATCH_FIND_LINE).
struct TWatchLine {
    int fileNumber = 0;
    int line = 0;
    int listLine = 0;
    quint32 address = 0;
};

/// The watch library (watch/vynwatch.so), loaded by full path with all 13 exports resolved. It
/// reads the compiler's debug file and answers symbol questions. All calls run on the
/// interface thread; destroying the proxy unloads the library.
class TWatchProxy {
public:
    /// Loads `path`. Throws TLibraryLoadError with "Couldn't load the watch library. ..." or
    /// "... doesn't seem to be a valid watch library.".
    explicit TWatchProxy(const QString &path);
    ~TWatchProxy();
    TWatchProxy(const TWatchProxy &) = delete;
    TWatchProxy &operator=(const TWatchProxy &) = delete;

    /// The library's path for a given watch folder: `watchDir` + "vynwatch.so".
    static QString LibraryPath(const QString &watchDir);
    const QString &Path() const { return m_path; }

    bool LoadCod(const QString &codFile);
    /// False with the library's error code.
    bool LoadCoff(const QString &coffFile, quint32 &errorCode);
    /// The message of a failed LoadCoff, "Error loading the COF file (Watch Error #0x...) path".
    static QString CoffErrorText(quint32 errorCode, const QString &coffFile);
    /// The name of file `fileNumber`; false past the last one.
    bool GetFilename(int fileNumber, QString &name);
    /// Mode 1 (file, line), 2 (list line) or 3 (address): fills the rest of `where`.
    bool FindLine(TWatchFindMode mode, TWatchLine &where);
    /// The function holding `address`: its exit address (0 = none) and name.
    bool FindFunction(quint32 address, quint32 &exitAddress, QString &name, QString *second = nullptr);
    /// The address of a function by name; -1 when unknown.
    bool GetFunctionAddr(const QString &name, qint32 &address);
    /// Evaluates `expression` in the scope of (fileNumber, line); `capacity` is the result's.
    bool Evaluate(int fileNumber, int line, const QString &expression, QString &result, int capacity,
                  TWatchMemoryFunction memory, void *context);
    bool InterpretStack(quint32 pc, const std::vector<quint32> &entries, QString &text,
                        TWatchMemoryFunction memory, void *context);
    /// The symbols of `symbolClass` in scope of (fileNumber, line), one per line.
    bool GetSymbolList(int fileNumber, int line, int symbolClass, QString &list);

private:
    template <typename T> T Resolve(const char *name);

    QString m_path;
    QLibrary m_library;
    TWatchLoadCod m_loadCod = nullptr;
    TWatchLoadCoff m_loadCoff = nullptr;
    TWatchGetFilename m_getFilename = nullptr;
    TWatchFindLine m_findLine = nullptr;
    TWatchFindFunction m_findFunction = nullptr;
    TWatchGetFunctionAddr m_getFunctionAddr = nullptr;
    TWatchEvaluate2 m_evaluate2 = nullptr;
    TWatchInterpretStack2 m_interpretStack2 = nullptr;
    TWatchGetSymbolList m_getSymbolList = nullptr;
};

}  // namespace kiv

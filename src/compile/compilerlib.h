#pragma once

#include "compiler_abi.h"

#include <QString>

#include <memory>

class QLibrary;

namespace kiv {

/// The values passed to COMPILE, before they are put into the call's buffers.
struct TCompileArguments {
    QString mainFile;                           ///  1 project base + extension
    QString installDir;                         ///  2 InstallDir
    QString includeDirs;                        ///  3 global include list
    QString defines;                            ///  5 global defines
    quint16 debugFormat = dfCoff;               ///  6
    quint16 objectFormat = 0;                   ///  7
    quint16 listFormat = 0;                     ///  8
    quint16 errorFormat = efStandard;           ///  9 get_error_format
    quint16 options = 0;                        /// 11 options word
    QString objectExtension = QStringLiteral("HEX");  /// 12
    QString listExtension = QStringLiteral("LST");    /// 13
};

/// What COMPILE hands back through its out arguments.
struct TCompileResult {
    QString message;          /// 14 first error message, empty when none
    QString errorFile;        /// 15 file of the first error, empty when none
    int line = 0;             /// 16
    int startColumn = 0;      /// 17
    int endColumn = 0;        /// 18
    quint16 processorId = 0;  /// 19
    qint16 lastMessage = -1;  /// 21 number of the last error or warning, -1 when none
};

/// The message that names the first string argument that does not fit its 256-byte buffer
/// (255 bytes and the NUL), or an empty text when every argument fits. Arguments are never cut.
QString CheckCompileArguments(const TCompileArguments &args);

/// Decodes a NUL-terminated 8-bit text a library wrote: UTF-8 when it is valid UTF-8, else
/// Latin-1. Reads at most `size` bytes.
QString DecodeLibraryText(const char *text, int size);

/// The loaded compiler edition library. One library is loaded at a time; it stays loaded until
/// another edition is asked for or this object ends.
class TCompilerLibrary {
public:
    /// `dllDir` is the folder of the edition libraries (DllDir in the running program).
    explicit TCompilerLibrary(QString dllDir);
    ~TCompilerLibrary();
    TCompilerLibrary(const TCompilerLibrary &) = delete;
    TCompilerLibrary &operator=(const TCompilerLibrary &) = delete;

    const QString &DllFolder() const { return m_dllDir; }

    /// Makes edition `code`'s library the loaded one: when another (or none) is loaded, frees it
    /// and loads dllDir + code + ".so" with both exports. On failure shows the error
    /// "Can not open " + that path and keeps no library.
    bool LoadCompiler(const QString &code);
    /// LoadCompiler, then GET_VERSION32; "DLL Error" without a library.
    QString CompilerVersion(const QString &code);

    bool IsLoaded() const { return m_compile != nullptr; }
    const QString &LoadedCode() const { return m_code; }
    void Unload();

    /// The loaded library can stop a running compile (it exports STOP_COMPILE).
    bool CanStop() const { return m_stop != nullptr; }
    /// Asks the running COMPILE to end soon. Any thread may call it while Compile runs on
    /// another; without STOP_COMPILE it does nothing.
    void Stop() const;

    /// Calls COMPILE of the loaded library with `args` and the status call-back `status`.
    /// It may run on a thread of its own; nothing of this object changes during the call.
    /// The out arguments start cleared (line 0, no message). Arguments that do not fit their
    /// buffers are not passed (check CheckCompileArguments first); the call is then skipped and
    /// the result's message holds the reason.
    TCompileResult Compile(const TCompileArguments &args, TCompileStatusCallback status);

private:
    QString m_dllDir;
    QString m_code;
    std::unique_ptr<QLibrary> m_library;
    TCompileFunc m_compile = nullptr;
    TGetVersion32Func m_version = nullptr;
    TStopCompileFunc m_stop = nullptr;
};

}  // namespace kiv

#include "uWatchProxy.h"

#include "libtext.h"

#include <QFile>
#include <QFileInfo>

#include <cstring>

namespace kiv {

TWatchProxy::TWatchProxy(const QString &path)
    : m_path(path)
    , m_library(path)
{
    if (!QFileInfo(path).isFile() || !m_library.load()) {
        QString text = QStringLiteral("Couldn't load the watch library. The file \"") + path
                       + QStringLiteral("\" couldn't be found.");
        if (QFileInfo(path).isFile())
            text += QLatin1Char('\n') + m_library.errorString();
        throw TLibraryLoadError(text);
    }
    m_loadCod = Resolve<TWatchLoadCod>("VYNWATCH_LOAD_COD");
    m_loadCoff = Resolve<TWatchLoadCoff>("VYNWATCH_LOAD_COFF");
    m_getFilename = Resolve<TWatchGetFilename>("VYNWATCH_GET_FILENAME");
    m_findLine = Resolve<TWatchFindLine>("VYNWATCH_FIND_LINE");
    m_findFunction = Resolve<TWatchFindFunction>("VYNWATCH_FIND_FUNCTION");
    m_getFunctionAddr = Resolve<TWatchGetFunctionAddr>("VYNWATCH_GET_FUNCTION_ADDR");
    m_evaluate2 = Resolve<TWatchEvaluate2>("VYNWATCH_EVALUATE2");
    m_interpretStack2 = Resolve<TWatchInterpretStack2>("VYNWATCH_INTERPRET_STACK2");
    m_getSymbolList = Resolve<TWatchGetSymbolList>("VYNWATCH_GET_SYMBOL_LIST");
    for (int i = 0; i < kWatchExportCount; ++i)
        Resolve<void (*)()>(kWatchExportNames[i]);
}

TWatchProxy::~TWatchProxy()
{
    if (m_library.isLoaded())
        m_library.unload();
}

template <typename T>
T TWatchProxy::Resolve(const char *name)
{
    auto function = reinterpret_cast<T>(m_library.resolve(name));
    if (!function) {
        m_library.unload();
        throw TLibraryLoadError(QStringLiteral("The file \"") + m_path
                                + QStringLiteral("\" doesn't seem to be a valid watch library."));
    }
    return function;
}

QString TWatchProxy::LibraryPath(const QString &watchDir)
{
    return watchDir + QStringLiteral("vynwatch.so");
}

bool TWatchProxy::LoadCod(const QString &codFile)
{
    return m_loadCod(2, QFile::encodeName(codFile).constData()) == 1;
}

bool TWatchProxy::LoadCoff(const QString &coffFile, quint32 &errorCode)
{
    uint32_t code = 0;
    const bool ok = m_loadCoff(QFile::encodeName(coffFile).constData(), &code) == 1;
    errorCode = ok ? 0 : code;
    return ok;
}

QString TWatchProxy::CoffErrorText(quint32 errorCode, const QString &coffFile)
{
    QString text = QStringLiteral("Error loading the COF file (Watch Error #")
                   + QString::asprintf("0x%.8x", errorCode) + QStringLiteral(") ") + coffFile;
    const quint32 system = errorCode >> 8;
    if (system >= 1 && system <= 127)
        text += QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(int(system)));
    return text;
}

bool TWatchProxy::GetFilename(int fileNumber, QString &name)
{
    char buffer[kWatchFileNameSize] = {};
    const bool ok = m_getFilename(fileNumber, buffer) == 1;
    name = LibraryText(buffer, kWatchFileNameSize);
    return ok;
}

bool TWatchProxy::FindLine(TWatchFindMode mode, TWatchLine &where)
{
    int32_t file = where.fileNumber;
    int32_t line = where.line;
    int32_t listLine = where.listLine;
    uint32_t address = where.address;
    uint8_t extra = 0;
    if (m_findLine(mode, &file, &line, &listLine, &address, &extra) != 1)
        return false;
    where.fileNumber = file;
    where.line = line;
    where.listLine = listLine;
    where.address = address;
    return true;
}

bool TWatchProxy::FindFunction(quint32 address, quint32 &exitAddress, QString &name, QString *second)
{
    char first[kWatchFunctionNameSize] = {};
    char other[kWatchFunctionNameSize] = {};
    uint32_t exit = 0;
    const bool ok = m_findFunction(address, &exit, first, other) == 1;
    exitAddress = ok ? exit : 0;
    name = LibraryText(first, kWatchFunctionNameSize);
    if (second)
        *second = LibraryText(other, kWatchFunctionNameSize);
    return ok;
}

bool TWatchProxy::GetFunctionAddr(const QString &name, qint32 &address)
{
    int32_t value = -1;
    const bool ok = m_getFunctionAddr(LibraryBytes(name).constData(), &value) == 1;
    address = value;
    return ok;
}

bool TWatchProxy::Evaluate(int fileNumber, int line, const QString &expression, QString &result,
                           int capacity, TWatchMemoryFunction memory, void *context)
{
    std::vector<char> buffer(size_t(capacity) + 1, '\0');
    const bool ok = m_evaluate2(fileNumber, line, LibraryBytes(expression).constData(), buffer.data(),
                                capacity, 0, memory, context) == 1;
    result = LibraryText(buffer.data(), int(buffer.size()));
    return ok;
}

bool TWatchProxy::InterpretStack(quint32 pc, const std::vector<quint32> &entries, QString &text,
                                 TWatchMemoryFunction memory, void *context)
{
    std::vector<char> buffer(kWatchStackTextSize + 1, '\0');
    const std::vector<uint32_t> raw(entries.begin(), entries.end());
    const bool ok = m_interpretStack2(pc, uint8_t(raw.size()), raw.data(), buffer.data(),
                                      kWatchStackTextSize, memory, context) == 1;
    text = LibraryText(buffer.data(), int(buffer.size()));
    return ok;
}

bool TWatchProxy::GetSymbolList(int fileNumber, int line, int symbolClass, QString &list)
{
    std::vector<char> buffer(kWatchSymbolListSize + 1, '\0');
    const bool ok = m_getSymbolList(fileNumber, line, symbolClass, buffer.data(), kWatchSymbolListSize) == 1;
    list = LibraryText(buffer.data(), int(buffer.size()));
    return ok;
}

}  // namespace kiv

#include "scriptlibs.h"

#include <QFile>

#include <dlfcn.h>

#include <stdexcept>

namespace kiv::test {

QString ScriptLibPath(const char *name)
{
    return QStringLiteral(KIV_SCRIPT_LIB_DIR "/") + QString::fromLatin1(name) + QStringLiteral(".so");
}

namespace {

void *Open(const QString &path)
{
    void *handle = dlopen(QFile::encodeName(path).constData(), RTLD_NOW);
    if (!handle)
        throw std::runtime_error(std::string("cannot open ") + path.toStdString() + ": " + dlerror());
    return handle;
}

void *Find(void *handle, const char *name)
{
    void *symbol = dlsym(handle, name);
    if (!symbol)
        throw std::runtime_error(std::string("missing ") + name);
    return symbol;
}

QStringList Lines(int (*function)(char *, int))
{
    const int size = function(nullptr, 0);
    std::vector<char> buffer(size_t(size) + 1, '\0');
    function(buffer.data(), int(buffer.size()));
    return QString::fromUtf8(buffer.data()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

}  // namespace

TScriptDbg::TScriptDbg(const char *name)
    : m_path(ScriptLibPath(name))
    , m_handle(Open(m_path))
{
    Reset();
}

TScriptDbg::~TScriptDbg()
{
    dlclose(m_handle);
}

void *TScriptDbg::Symbol(const char *name) const
{
    return Find(m_handle, name);
}

void TScriptDbg::Reset()
{
    reinterpret_cast<void (*)()>(Symbol("SCRIPT_RESET"))();
}

void TScriptDbg::Fail(const char *exportName, int count, const char *msg)
{
    reinterpret_cast<void (*)(const char *, int, const char *)>(Symbol("SCRIPT_FAIL"))(exportName, count, msg);
}

void TScriptDbg::SetText(const char *key, const char *value)
{
    reinterpret_cast<void (*)(const char *, const char *)>(Symbol("SCRIPT_SET_TEXT"))(key, value);
}

void TScriptDbg::SetInt(const char *key, long value)
{
    reinterpret_cast<void (*)(const char *, long)>(Symbol("SCRIPT_SET_INT"))(key, value);
}

void TScriptDbg::PushStop(uint32_t pc, uint8_t w, uint8_t status)
{
    reinterpret_cast<void (*)(uint32_t, uint8_t, uint8_t)>(Symbol("SCRIPT_PUSH_STOP"))(pc, w, status);
}

void TScriptDbg::PushStep(uint32_t pc, uint8_t w)
{
    reinterpret_cast<void (*)(uint32_t, uint8_t)>(Symbol("SCRIPT_PUSH_STEP"))(pc, w);
}

void TScriptDbg::Release()
{
    reinterpret_cast<void (*)()>(Symbol("SCRIPT_RELEASE"))();
}

uint8_t *TScriptDbg::Ram()
{
    return reinterpret_cast<uint8_t *(*)()>(Symbol("SCRIPT_RAM"))();
}

uint8_t *TScriptDbg::Valid()
{
    return reinterpret_cast<uint8_t *(*)()>(Symbol("SCRIPT_VALID"))();
}

uint8_t *TScriptDbg::Eeprom()
{
    return reinterpret_cast<uint8_t *(*)()>(Symbol("SCRIPT_EEPROM"))();
}

void TScriptDbg::SetStack(const std::vector<uint32_t> &entries)
{
    reinterpret_cast<void (*)(const uint32_t *, int)>(Symbol("SCRIPT_SET_STACK"))(entries.data(),
                                                                                   int(entries.size()));
}

QStringList TScriptDbg::Calls() const
{
    return Lines(reinterpret_cast<int (*)(char *, int)>(Symbol("SCRIPT_CALLS")));
}

QStringList TScriptDbg::Calls(const QString &prefix) const
{
    QStringList matching;
    for (const QString &call : Calls()) {
        if (call.startsWith(prefix))
            matching << call;
    }
    return matching;
}

long TScriptDbg::Query(const char *key) const
{
    return reinterpret_cast<long (*)(const char *)>(Symbol("SCRIPT_QUERY"))(key);
}

QString TScriptDbg::Input() const
{
    char buffer[1024] = {};
    reinterpret_cast<int (*)(char *, int)>(Symbol("SCRIPT_INPUT"))(buffer, int(sizeof buffer));
    return QString::fromLatin1(buffer);
}

TScriptWatch::TScriptWatch()
    : m_path(ScriptLibPath("scriptwatch"))
    , m_handle(Open(m_path))
{
    Reset();
}

TScriptWatch::~TScriptWatch()
{
    dlclose(m_handle);
}

void *TScriptWatch::Symbol(const char *name) const
{
    return Find(m_handle, name);
}

void TScriptWatch::Reset()
{
    reinterpret_cast<void (*)()>(Symbol("SCRIPTW_RESET"))();
}

void TScriptWatch::AddFile(const QString &name)
{
    reinterpret_cast<void (*)(const char *)>(Symbol("SCRIPTW_ADD_FILE"))(name.toUtf8().constData());
}

void TScriptWatch::AddLine(int file, int line, int list, uint32_t address)
{
    reinterpret_cast<void (*)(int, int, int, uint32_t)>(Symbol("SCRIPTW_ADD_LINE"))(file, line, list, address);
}

void TScriptWatch::AddFunction(const char *name, uint32_t start, uint32_t exit)
{
    reinterpret_cast<void (*)(const char *, uint32_t, uint32_t)>(Symbol("SCRIPTW_ADD_FUNCTION"))(name, start,
                                                                                                 exit);
}

void TScriptWatch::AddSymbol(const char *name, uint32_t address, int symbolClass)
{
    reinterpret_cast<void (*)(const char *, uint32_t, int)>(Symbol("SCRIPTW_ADD_SYMBOL"))(name, address,
                                                                                         symbolClass);
}

void TScriptWatch::SetEval(const char *expression, const char *result, int ok)
{
    reinterpret_cast<void (*)(const char *, const char *, int)>(Symbol("SCRIPTW_SET_EVAL"))(expression,
                                                                                           result, ok);
}

void TScriptWatch::FailLoad(uint32_t code)
{
    reinterpret_cast<void (*)(uint32_t)>(Symbol("SCRIPTW_FAIL_LOAD"))(code);
}

QString TScriptWatch::Loaded() const
{
    char buffer[1024] = {};
    reinterpret_cast<int (*)(char *, int)>(Symbol("SCRIPTW_LOADED"))(buffer, int(sizeof buffer));
    return QString::fromUtf8(buffer);
}

QStringList TScriptWatch::Calls() const
{
    return Lines(reinterpret_cast<int (*)(char *, int)>(Symbol("SCRIPTW_CALLS")));
}

}  // namespace kiv::test

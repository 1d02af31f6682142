#include "compilerlib.h"

#include "compilertable.h"
#include "kivprompt.h"

#include <QLibrary>
#include <QStringDecoder>

#include <array>
#include <cstring>

namespace kiv {

namespace {

using TBuffer = std::array<char, kCompileStringSize>;

QByteArray Encode(const QString &text)
{
    return text.toUtf8();
}

/// Copies `text` into a cleared buffer; false when it does not fit with its NUL.
bool Fill(TBuffer &buffer, const QByteArray &text)
{
    buffer.fill(0);
    if (text.size() >= kCompileStringSize)
        return false;
    std::memcpy(buffer.data(), text.constData(), size_t(text.size()));
    return true;
}

struct TNamedArgument {
    const char *what;
    const QString TCompileArguments::*field;
};

const TNamedArgument kStringArguments[] = {
    {"main file path", &TCompileArguments::mainFile},
    {"installation folder", &TCompileArguments::installDir},
    {"include directory list", &TCompileArguments::includeDirs},
    {"global defines text", &TCompileArguments::defines},
    {"object file extension", &TCompileArguments::objectExtension},
    {"list file extension", &TCompileArguments::listExtension},
};

}  // namespace

QString CheckCompileArguments(const TCompileArguments &args)
{
    for (const TNamedArgument &arg : kStringArguments) {
        const qsizetype bytes = Encode(args.*arg.field).size();
        if (bytes >= kCompileStringSize)
            return QStringLiteral("The %1 is too long for the compiler: %2 bytes, at most %3. "
                                  "The compile was not started.")
                .arg(QLatin1String(arg.what))
                .arg(bytes)
                .arg(kCompileStringSize - 1);
    }
    return {};
}

QString DecodeLibraryText(const char *text, int size)
{
    if (!text)
        return {};
    const int length = int(::strnlen(text, size_t(size)));
    const QByteArray bytes(text, length);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString decoded = utf8(bytes);
    if (!utf8.hasError())
        return decoded;
    return QString::fromLatin1(bytes);
}

TCompilerLibrary::TCompilerLibrary(QString dllDir)
    : m_dllDir(std::move(dllDir))
{
}

TCompilerLibrary::~TCompilerLibrary()
{
    Unload();
}

void TCompilerLibrary::Unload()
{
    m_compile = nullptr;
    m_version = nullptr;
    m_stop = nullptr;
    m_code.clear();
    if (m_library) {
        m_library->unload();
        m_library.reset();
    }
}

bool TCompilerLibrary::LoadCompiler(const QString &code)
{
    if (m_library && m_code == code)
        return true;
    Unload();
    const QString path = CompilerLibraryPath(m_dllDir, code);
    auto library = std::make_unique<QLibrary>(path);
    if (library->load()) {
        auto compile = reinterpret_cast<TCompileFunc>(library->resolve(kCompileExportName));
        auto version = reinterpret_cast<TGetVersion32Func>(library->resolve(kGetVersionExportName));
        auto stop = reinterpret_cast<TStopCompileFunc>(library->resolve(kStopCompileExportName));
        if (compile && version) {
            m_library = std::move(library);
            m_compile = compile;
            m_version = version;
            m_stop = stop;
            m_code = code;
            return true;
        }
        library->unload();
    }
    ShowError(QStringLiteral("Can not open ") + path);
    return false;
}

QString TCompilerLibrary::CompilerVersion(const QString &code)
{
    if (!LoadCompiler(code))
        return QStringLiteral("DLL Error");
    std::array<char, kVersionBufferSize> buffer{};
    buffer[1] = kVersionBufferMark;
    m_version(buffer.data());
    buffer[kVersionBufferSize - 1] = 0;
    return DecodeLibraryText(buffer.data(), kVersionBufferSize);
}

void TCompilerLibrary::Stop() const
{
    if (m_stop)
        m_stop();
}

TCompileResult TCompilerLibrary::Compile(const TCompileArguments &args,
                                         TCompileStatusCallback status)
{
    TCompileResult result;
    if (!m_compile) {
        result.message = QStringLiteral("No compiler library is loaded.");
        return result;
    }
    const QString tooLong = CheckCompileArguments(args);
    if (!tooLong.isEmpty()) {
        result.message = tooLong;
        return result;
    }

    TBuffer mainFile, installDir, includeDirs, reserved, defines, objectExt, listExt;
    Fill(mainFile, Encode(args.mainFile));
    Fill(installDir, Encode(args.installDir));
    Fill(includeDirs, Encode(args.includeDirs));
    Fill(reserved, {});
    Fill(defines, Encode(args.defines));
    Fill(objectExt, Encode(args.objectExtension));
    Fill(listExt, Encode(args.listExtension));
    TBuffer message{}, errorFile{};
    std::uint16_t line = 0, start = 0, end = 0, processor = 0;
    std::int16_t last = -1;

    m_compile(mainFile.data(), installDir.data(), includeDirs.data(), reserved.data(),
              defines.data(), args.debugFormat, args.objectFormat, args.listFormat,
              args.errorFormat, kCompileConstantArgument, args.options, objectExt.data(),
              listExt.data(), message.data(), errorFile.data(), &line, &start, &end, &processor,
              status, &last);

    // The library may have filled a buffer to its last byte.
    message.back() = 0;
    errorFile.back() = 0;
    result.message = DecodeLibraryText(message.data(), kCompileStringSize);
    result.errorFile = DecodeLibraryText(errorFile.data(), kCompileStringSize);
    result.line = line;
    result.startColumn = start;
    result.endColumn = end;
    result.processorId = processor;
    result.lastMessage = last;
    return result;
}

}  // namespace kiv

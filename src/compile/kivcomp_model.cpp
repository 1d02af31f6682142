#include "kivcomp_model.h"

#include "kivprompt.h"

#include <QFile>
#include <QSaveFile>

namespace kiv {

namespace {

// The status call-back carries no context, so the run in progress is kept here. Compiles never
// overlap: the "Compile" command does not re-enter itself.
struct TActiveRun {
    TKivCompModel *model = nullptr;
    IKivCompView *view = nullptr;
};
TActiveRun g_active;

// Longest status text read from the library; the texts are short lines.
constexpr int kStatusTextLimit = 4096;

void StatusThunk(std::uint8_t value, const char *text, std::uint8_t code)
{
    if (!g_active.model)
        return;
    try {
        const bool process =
            g_active.model->StatusCallback(value, DecodeLibraryText(text, kStatusTextLimit), code);
        g_active.view->ModelChanged();
        if (process)
            g_active.view->ProcessEvents();
    } catch (...) {
        // Nothing may unwind through the library's frames.
    }
}

struct TActiveGuard {
    TActiveGuard(TKivCompModel *model, IKivCompView *view) { g_active = {model, view}; }
    ~TActiveGuard() { g_active = {}; }
};

bool WriteLine(const QString &path, const QString &line)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(line.toUtf8() + "\r\n");
    return file.commit();
}

}  // namespace

void TKivCompModel::SetLine(int n, const QString &text)
{
    if (n >= 1 && n <= kLineCount)
        m_lines[n - 1] = text;
}

void TKivCompModel::Reset(const QString &mainFile)
{
    LineTotal = 0;
    OutputFiles = QStringLiteral("Output files: ERR");
    for (QString &line : m_lines)
        line.clear();
    SetLine(1, QStringLiteral("Project:  ") + mainFile);
    RomPercent = RamPercent = 0;
    BarsVisible = false;
    ErrorPanelVisible = false;
    ErrorLabel.clear();
    ErrorLine1.clear();
    ErrorLine2.clear();
}

bool TKivCompModel::StatusCallback(quint8 value, const QString &text, quint8 code)
{
    bool process = false;
    switch (code) {
    case 20: SetLine(2, text); break;
    case 21: SetLine(7, text); break;
    case 80: OutputFiles += QStringLiteral("  ") + ObjectExtension.toUpper(); break;
    case 90: OutputFiles += QStringLiteral("  SYM"); break;
    case 91: OutputFiles += QStringLiteral("  TRE"); break;
    case 92: OutputFiles += QStringLiteral("  STA"); break;
    case 93: OutputFiles += QStringLiteral("  ") + ListExtension.toUpper(); break;
    case 95: OutputFiles += QStringLiteral("  $$$"); break;
    case 96: OutputFiles += QStringLiteral("  PJT"); break;
    case 97: OutputFiles += QStringLiteral("  MAP"); break;
    case 98: OutputFiles += QStringLiteral("  COD"); break;
    case 99: OutputFiles += QStringLiteral("  COF"); break;
    case 101: RomPercent = value; break;
    case 102:
        RamPercent = value;
        BarsVisible = true;
        break;
    default: break;
    }
    if (code >= 70 && code <= 99) {
        int skip = 0;
        while (skip < text.size() && text.at(skip) == ' ')
            ++skip;
        SetLine(3, text.mid(skip));
        process = true;
    }
    if (code >= 151) {
        LineTotal += code - 150;
        SetLine(2, QStringLiteral("Lines: ") + QString::number(LineTotal));
        process = true;
    }
    if (value != 0)
        SetLine(3, text);
    return process;
}

QString TKivCompModel::NotInstalledLine(const QString &code)
{
    return QStringLiteral("Error: The selected compiler: \"") + code
        + QStringLiteral("\" is not installed on this PC");
}

TCompileRunStatus TKivCompModel::Compile(IKivCompView &view, TCompilerLibrary &library,
                                         const QString &code, bool installed,
                                         const TCompileArguments &args, quint16 holdFlags,
                                         const QString &errorFilePath, TCompileResult &result)
{
    result = TCompileResult();
    ObjectExtension = args.objectExtension;
    ListExtension = args.listExtension;
    Reset(args.mainFile);

    if (!installed) {
        const QString line = NotInstalledLine(code);
        if (!WriteLine(errorFilePath, line)) {
            ShowError(QStringLiteral("Cannot write the file ") + errorFilePath);
            return crAborted;
        }
        result.message = line;
        ErrorPanelVisible = true;
        ErrorLabel = QStringLiteral("ERROR");
        ErrorLine2 = line;
        view.ModelChanged();
        if (holdFlags & 0x20)
            view.WaitSeconds(holdFlags >> 8);
        if (holdFlags & 0x40)
            view.ShowUntilClosed();
        return crNotInstalled;
    }

    if (!library.LoadCompiler(code))
        return crAborted;
    Caption = QStringLiteral("VYN ") + code + QStringLiteral(" C Compiler, Version ")
        + library.CompilerVersion(code);
    view.ModelChanged();
    view.ShowBusy();
    {
        TActiveGuard active(this, &view);
        result = library.Compile(args, &StatusThunk);
    }
    if (Line(2).isEmpty())
        SetLine(2, QStringLiteral("Compilation complete."));
    SetLine(3, OutputFiles);
    view.ModelChanged();
    view.EndBusy();

    const bool error = !result.errorFile.isEmpty();
    bool timed = holdFlags & 0x20;
    if (error) {
        ErrorPanelVisible = true;
        ErrorLabel = QStringLiteral("ERROR");
        ErrorLine1 = result.errorFile + QStringLiteral(",  Line ") + QString::number(result.line);
        ErrorLine2 = result.message;
        view.ModelChanged();
        if (holdFlags & 0x40) {
            view.ShowModalAnyKey();
            timed = false;
        }
    } else if ((holdFlags & 0x80) && !(holdFlags & 0x20)) {
        view.ShowModalHeld();
    }
    // A plain timed display ("No Errors:" seconds, "On Error:" No) is for clean compiles only.
    if (timed && !((holdFlags & 0xFF) == 0xA0 && error))
        view.ShowModalTimed(holdFlags >> 8);
    return crCompiled;
}

}  // namespace kiv

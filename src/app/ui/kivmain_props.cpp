#include "kivmain_props.h"

#include "EditorProperties.h"
#include "EditorSyntax.h"
#include "FixedFont.h"
#include "hexviewer.h"
#include "kivmain.h"
#include "kivnotebook.h"

#include <QFileInfo>
#include <QFontDatabase>
#include <QPointer>

namespace kiv {

namespace {

const char kPropertiesObject[] = "FrmEditorProperties";

QFont TerminalFont(int pointSize)
{
    const QString family = QStringLiteral("Terminal");
    QFont font = QFontDatabase::families().contains(family, Qt::CaseInsensitive)
                     ? QFont(family)
                     : FixedPitchFont();
    if (pointSize > 0)
        font.setPointSize(pointSize);
    font.setBold(false);
    font.setItalic(false);
    font.setUnderline(false);
    return font;
}

}  // namespace

void ApplyViewerProperties(THexViewer &viewer, const TEditorSyntaxOptions &options)
{
    viewer.SetViewerFont(EditorFont(options.Settings()));
    const TColorPair text = options.ColorPair(ceText);
    const TColorPair selection = options.ColorPair(ceSelection);
    viewer.SetViewerColors(ToQColor(text.fg), ToQColor(text.bg), ToQColor(selection.fg),
                           ToQColor(selection.bg), viewer.palette().color(QPalette::Button));
}

void ApplyPropertiesToPages(TKivNotebook &notebook, const TEditorSyntaxOptions &options)
{
    for (int i = 0; i < notebook.PageCount(); ++i) {
        if (THexViewer *viewer = notebook.Viewer(i)) {
            ApplyViewerProperties(*viewer, options);
            continue;
        }
        TOvcTextFileEditorSyntax *editor = notebook.Editor(i);
        if (!editor)
            continue;
        ApplyEditorProperties(*editor, options);
        if (QFileInfo(notebook.PagePath(i)).suffix().compare(QLatin1String("TRE"), Qt::CaseInsensitive) == 0)
            editor->setFont(TerminalFont(options.Settings().fontSize));
    }
    // One priority for every editor, the pages opened later included.
    TOvcTextFileEditorSyntax::SetKeyTablePriority(options.Settings().wordStar);
}

void ConnectEditorProperties(Tfkivmain &main, TFrmEditorProperties &properties)
{
    properties.setObjectName(QString::fromLatin1(kPropertiesObject));
    QPointer<TFrmEditorProperties> p(&properties);
    // A child of the main window: centred over it, and found again by EditorProperties().
    if (properties.parent() != &main)
        properties.setParent(&main, properties.windowFlags() | Qt::Dialog);
    main.ApplyEditorPropertiesHook = [p](TOvcTextFileEditorSyntax *editor) {
        if (p && editor)
            ApplyEditorProperties(*editor, p->Options());
    };
    main.ApplyViewerPropertiesHook = [p](THexViewer *viewer) {
        if (p && viewer)
            ApplyViewerProperties(*viewer, p->Options());
    };
    main.RestoreOwnSettingsHook = [p](TIniFile &ini) {
        if (!p)
            return;
        p->LoadEditorProperties(ini);
        // The stored key priority holds from the start, not only after the next OK.
        TOvcTextFileEditorSyntax::SetKeyTablePriority(p->Options().Settings().wordStar);
    };
    Tfkivmain *window = &main;
    properties.ApplyPropertiesToPages = [p, window] {
        if (p && window->Notebook())
            ApplyPropertiesToPages(*window->Notebook(), p->Options());
    };
}

TFrmEditorProperties *EditorProperties(const Tfkivmain &main)
{
    return main.findChild<TFrmEditorProperties *>(QString::fromLatin1(kPropertiesObject),
                                                  Qt::FindDirectChildrenOnly);
}

bool ShowEditorProperties(Tfkivmain &main, int tab)
{
    TFrmEditorProperties *properties = EditorProperties(main);
    return properties && properties->Execute(tab);
}

}  // namespace kiv

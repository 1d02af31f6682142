#pragma once

class QWidget;

namespace kiv {

class TEditorSyntaxOptions;
class TFrmEditorProperties;
class THexViewer;
class TKivNotebook;
class Tfkivmain;

/// A file viewer takes the editor font and the resolved colours: background and text from
/// Font, the highlight from Selection, the margin in the button-face colour.
void ApplyViewerProperties(THexViewer &viewer, const TEditorSyntaxOptions &options);

/// Applies the options to every page in page order: viewer pages through
/// ApplyViewerProperties, the others through ApplyEditorProperties; a call-tree page (".TRE")
/// keeps its plain "Terminal" font.
void ApplyPropertiesToPages(TKivNotebook &notebook, const TEditorSyntaxOptions &options);

/// Makes `properties` the main window's editor properties: new pages take them, the
/// environment restore reads them from the settings file, and OK applies them to every page.
void ConnectEditorProperties(Tfkivmain &main, TFrmEditorProperties &properties);

/// Shows the "Editor Properties" dialog of the main window modally (the menu command);
/// `tab` 0 "&General", 1 "&Display", 2 "&Color". False when it is not created or Cancel.
bool ShowEditorProperties(Tfkivmain &main, int tab = 0);
/// The editor properties connected to `main`, or nullptr.
TFrmEditorProperties *EditorProperties(const Tfkivmain &main);

}  // namespace kiv

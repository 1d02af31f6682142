#pragma once

#include "EditorSyntaxOptions.h"

#include <QComboBox>
#include <QDialog>
#include <QFont>
#include <QPointer>

#include <functional>

class QCheckBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QRadioButton;
class QTabWidget;

namespace kiv {

class TOvcTextFileEditorSyntax;

/// The font size box: an editable drop-down with the items "7" to "30" that takes only the
/// digits and backspace from the keyboard.
class TNumberComboBox : public QComboBox {
    Q_OBJECT

public:
    explicit TNumberComboBox(QWidget *parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
};

/// A colour as the widgets take it, from a settings value 0x00BBGGRR (Automatic not resolved).
QColor ToQColor(TColorValue value);
TColorValue FromQColor(const QColor &color);

/// The editor font of the settings: always fixed pitch; a family that is not installed (such
/// as "Fixedsys") shows as the system fixed-pitch font. A size below 1 is 9 points.
QFont EditorFont(const TEditorSettings &settings);

/// Applies the options to one colouring editor: scroll bars, font, tabs, indentation, editor
/// type (only NormalEditor and SyntaxColoringEditor switch with syntax highlighting), bracket
/// highlight, colours, line numbers and both margins.
void ApplyEditorProperties(TOvcTextFileEditorSyntax &editor, const TEditorSyntaxOptions &options);

/// The 14 lines of the colour sample, lines 1 to 13 padded with blanks to 35 characters.
QStringList EditorPropertiesSampleLines();

/// The "Editor Properties" dialog and the one process-wide holder of the editor options: every
/// reader sees the values of the last OK or load. Created once at start-up and kept until exit.
class TFrmEditorProperties : public QDialog {
    Q_OBJECT

public:
    /// `settingsFile` is the settings file path; the legacy colours in it are migrated here.
    explicit TFrmEditorProperties(const QString &settingsFile, QWidget *parent = nullptr);
    ~TFrmEditorProperties() override;

    /// The current options (the last OK or load).
    const TEditorSyntaxOptions &Options() const { return m_options; }
    /// The colours can be changed by printing (SaveColors, ApplyPreset, RestoreColors).
    TEditorSyntaxOptions &Options() { return m_options; }
    QFont CurrentFont() const { return EditorFont(m_options.Settings()); }

    /// Reads the options from the settings file and shows them in the controls.
    void LoadEditorProperties(const TIniFile &ini);
    /// Takes the controls' values and writes them to the settings file; false when the file
    /// could not be written.
    bool SaveEditorProperties(TIniFile &ini);

    /// Shows the dialog modally on the "&General" tab (or tab `tab`). True after OK.
    bool Execute(int tab = 0);
    /// OK: save, close, then ApplyPropertiesToPages. Cancel: reload from the file and close.
    void OkClick();
    void CancelClick();

    /// Runs after OK to apply the options to every open page.
    std::function<void()> ApplyPropertiesToPages;

    /// The live sample editor of the "&Color" tab (exists only while the dialog is visible).
    TOvcTextFileEditorSyntax *SampleEditor() const;
    /// The colours being edited (shown by the sample editor, stored by OK).
    const TColorClass &EditColors() const { return m_editColors; }

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void CreateControls();
    QWidget *CreateGeneralTab();
    QWidget *CreateDisplayTab();
    QWidget *CreateColorTab();
    void FillColorBox(QComboBox *box);
    void ControlsFromOptions();
    /// The controls' values as options; a number box that is not an integer reports it and
    /// gives 0.
    TEditorSyntaxOptions OptionsFromControls() const;
    int NumberBox(const QLineEdit *box) const;
    void SetNumberBox(QLineEdit *box, int value);
    void UpdateMarginBoxes();
    void UpdateFontSample();
    QFont ControlsFont() const;
    void ElementChanged();
    void ColorBoxChanged(QComboBox *box, bool foreground);
    void SelectColor(QComboBox *box, TColorValue value);
    void PresetChanged(int index);
    void CreateSampleEditor();
    void RefreshSampleColors();

    QString m_settingsFile;
    TEditorSyntaxOptions m_options;
    TColorClass m_editColors;
    bool m_showingElement = false;

    QTabWidget *m_pages = nullptr;
    QLineEdit *m_tabSize = nullptr;
    QRadioButton *m_insertSpaces = nullptr;
    QRadioButton *m_keepTabs = nullptr;
    QCheckBox *m_vscroll = nullptr;
    QCheckBox *m_hscroll = nullptr;
    QCheckBox *m_syntax = nullptr;
    QCheckBox *m_brackets = nullptr;
    QCheckBox *m_autoIndent = nullptr;
    QCheckBox *m_wordStar = nullptr;
    QCheckBox *m_autoPos = nullptr;
    QComboBox *m_fontList = nullptr;
    TNumberComboBox *m_fontSize = nullptr;
    QCheckBox *m_italic = nullptr;
    QCheckBox *m_bold = nullptr;
    QCheckBox *m_underline = nullptr;
    QLabel *m_fontSample = nullptr;
    QLabel *m_fontUsed = nullptr;     /// the font actually painted, when the chosen one is missing
    QCheckBox *m_lMarginVisible = nullptr;
    QLineEdit *m_lMarginWidth = nullptr;
    QCheckBox *m_rMarginVisible = nullptr;
    QLineEdit *m_rMarginWidth = nullptr;
    QCheckBox *m_lineNumbers = nullptr;
    QListWidget *m_elements = nullptr;
    QComboBox *m_foreground = nullptr;
    QComboBox *m_background = nullptr;
    QComboBox *m_presets = nullptr;
    QGroupBox *m_sampleGroup = nullptr;
    QPointer<TOvcTextFileEditorSyntax> m_sample;
};

}  // namespace kiv

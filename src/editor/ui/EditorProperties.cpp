#include "EditorProperties.h"

#include "EditorSyntax.h"
#include "FixedFont.h"
#include "kivini.h"
#include "kivprompt.h"

#include <QAction>
#include <QCheckBox>
#include <QColorDialog>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace kiv {

namespace {

const char kTabSizeHint[] = "Tab size";

struct TNamedColor {
    const char *name;
    TColorValue value;
};

// The basic colours, as 0x00BBGGRR.
const TNamedColor kBasicColors[] = {
    {"Black", 0x000000}, {"Maroon", 0x000080}, {"Green", 0x008000}, {"Olive", 0x008080},
    {"Navy", 0x800000}, {"Purple", 0x800080}, {"Teal", 0x808000}, {"Gray", 0x808080},
    {"Silver", 0xC0C0C0}, {"Red", 0x0000FF}, {"Lime", 0x00FF00}, {"Yellow", 0x00FFFF},
    {"Blue", 0xFF0000}, {"Fuchsia", 0xFF00FF}, {"Aqua", 0xFFFF00}, {"White", 0xFFFFFF},
};

// The system colours offered, taken from the application palette when the box is filled.
struct TSystemColor {
    const char *name;
    QPalette::ColorRole role;
};
const TSystemColor kSystemColors[] = {
    {"Window", QPalette::Base},           {"Window Text", QPalette::Text},
    {"Button Face", QPalette::Button},    {"Button Text", QPalette::ButtonText},
    {"Highlight", QPalette::Highlight},   {"Highlight Text", QPalette::HighlightedText},
};

const char kCustom[] = "Custom";

}  // namespace

// --- TNumberComboBox ---------------------------------------------------------------------------

TNumberComboBox::TNumberComboBox(QWidget *parent) : QComboBox(parent)
{
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    for (int size = 7; size <= 30; ++size)
        addItem(QString::number(size));
    lineEdit()->installEventFilter(this);
}

static bool NumberKey(const QKeyEvent *event)
{
    if (event->key() == Qt::Key_Backspace)
        return true;
    const QString text = event->text();
    if (text.isEmpty())
        return true;   // navigation and other non-character keys
    return text.size() == 1 && text[0] >= QLatin1Char('0') && text[0] <= QLatin1Char('9');
}

void TNumberComboBox::keyPressEvent(QKeyEvent *event)
{
    if (!NumberKey(event))
        return;
    QComboBox::keyPressEvent(event);
}

bool TNumberComboBox::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == lineEdit() && event->type() == QEvent::KeyPress
        && !NumberKey(static_cast<QKeyEvent *>(event)))
        return true;
    return QComboBox::eventFilter(watched, event);
}

// --- colours and font --------------------------------------------------------------------------

QColor ToQColor(TColorValue value)
{
    return QColor(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF));
}

TColorValue FromQColor(const QColor &color)
{
    return RgbColor(color.red(), color.green(), color.blue());
}

QFont EditorFont(const TEditorSettings &settings)
{
    QFont font(settings.fontName);
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    // "Fixedsys" and other names that are not installed keep their stored name in the
    // settings but paint in the system's fixed-pitch font.
    if (!QFontDatabase::hasFamily(settings.fontName) || !QFontDatabase::isFixedPitch(settings.fontName)) {
        font = FixedPitchFont();
        font.setFixedPitch(true);
    }
    font.setPointSize(settings.fontSize > 0 ? settings.fontSize : 9);
    font.setItalic(settings.italic);
    font.setBold(settings.bold);
    font.setUnderline(settings.underline);
    return font;
}

void ApplyEditorProperties(TOvcTextFileEditorSyntax &editor, const TEditorSyntaxOptions &options)
{
    const TEditorSettings &s = options.Settings();
    editor.SendScintilla(QsciScintillaBase::SCI_SETVSCROLLBAR, s.vscroll ? 1UL : 0UL);
    editor.SendScintilla(QsciScintillaBase::SCI_SETHSCROLLBAR, s.hscroll ? 1UL : 0UL);
    editor.setFont(EditorFont(s));
    editor.setIndentationsUseTabs(s.realTabs);
    // A tab size below 1 cannot lay out tab stops: it counts as 1.
    editor.setTabWidth(std::max(s.tabSize, 1));
    editor.setAutoIndent(s.autoIndent);
    editor.SetAutoPlaceBraces(s.autoPosCruely);
    if (editor.EditorType() == NormalEditor || editor.EditorType() == SyntaxColoringEditor) {
        editor.SetEditorType(s.syntaxHighlighting ? SyntaxColoringEditor : NormalEditor);
        editor.SetHighlightBrackets(s.autoHighlightBrackets);
    }
    editor.SetColors(options.ResolvedColors());
    editor.SetShowLineNumbers(s.lineNumVisible);
    editor.SetShowNewMargin(s.lMarginVisible);
    editor.SetLeftMargin(editor.ShowNewMargin() ? std::max(s.lMarginWidth, 0) : 0);
    editor.SetShowRightMargin(s.rMarginVisible);
    if (s.rMarginVisible)
        editor.SetRightMargin(std::max(s.rMarginWidth, 0));
}

QStringList EditorPropertiesSampleLines()
{
    const char *const lines[] = {
        "// Syntax Highlighting", "#include <stdio.h>", "int function(long param)", "{",
        "   int i, j = 0;", "   /* Iterate */", "   for (i = 0; i < 5; i++)", "   {",
        "       j += param;", "       j += 0x234;", "   }", "   return j;", "}"};
    QStringList result;
    for (const char *line : lines)
        result << QString::fromLatin1(line).leftJustified(35, QLatin1Char(' '));
    result << QString();
    return result;
}

// --- TFrmEditorProperties ----------------------------------------------------------------------

TFrmEditorProperties::TFrmEditorProperties(const QString &settingsFile, QWidget *parent)
    : QDialog(parent), m_settingsFile(settingsFile), m_editColors(m_options.Colors())
{
    setObjectName(QStringLiteral("FrmEditorProperties"));
    setWindowTitle(QStringLiteral("Editor Properties"));
    CreateControls();
    ControlsFromOptions();
    if (!m_settingsFile.isEmpty()) {
        TIniFile ini(m_settingsFile);
        TEditorSyntaxOptions::MigrateLegacyColors(ini);
    }
}

TFrmEditorProperties::~TFrmEditorProperties() = default;

TOvcTextFileEditorSyntax *TFrmEditorProperties::SampleEditor() const
{
    return m_sample.data();
}

void TFrmEditorProperties::CreateControls()
{
    m_pages = new QTabWidget(this);
    m_pages->setObjectName(QStringLiteral("PageControl"));
    m_pages->addTab(CreateGeneralTab(), QStringLiteral("&General"));
    m_pages->addTab(CreateDisplayTab(), QStringLiteral("&Display"));
    m_pages->addTab(CreateColorTab(), QStringLiteral("&Color"));
    connect(m_pages, &QTabWidget::currentChanged, this, [this](int index) {
        // The colour sample always shows the current editor font.
        if (index == 2 && m_sample)
            m_sample->setFont(ControlsFont());
    });

    // Commands that turn to a tab without showing the dialog, so a tool can show a given tab.
    const char *const tabActions[] = {"ActionEditorPropertiesGeneral", "ActionEditorPropertiesDisplay",
                                      "ActionEditorPropertiesColor"};
    for (int i = 0; i < 3; ++i) {
        auto *action = new QAction(m_pages->tabText(i), this);
        action->setObjectName(QString::fromLatin1(tabActions[i]));
        connect(action, &QAction::triggered, this, [this, i] { m_pages->setCurrentIndex(i); });
    }

    auto *ok = new QPushButton(QStringLiteral("OK"));
    ok->setObjectName(QStringLiteral("OKBtn"));
    ok->setDefault(true);
    auto *cancel = new QPushButton(QStringLiteral("Cancel"));
    cancel->setObjectName(QStringLiteral("CancelBtn"));
    auto *buttons = new QDialogButtonBox;
    buttons->addButton(ok, QDialogButtonBox::AcceptRole);
    buttons->addButton(cancel, QDialogButtonBox::RejectRole);
    connect(ok, &QPushButton::clicked, this, &TFrmEditorProperties::OkClick);
    connect(cancel, &QPushButton::clicked, this, &TFrmEditorProperties::CancelClick);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_pages);
    layout->addWidget(buttons);
}

static QCheckBox *NewCheck(const char *caption, const char *name)
{
    auto *box = new QCheckBox(QString::fromLatin1(caption));
    box->setObjectName(QString::fromLatin1(name));
    return box;
}

QWidget *TFrmEditorProperties::CreateGeneralTab()
{
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("TabGeneral"));

    auto *tabs = new QGroupBox(QStringLiteral("Tabs"));
    m_tabSize = new QLineEdit;
    m_tabSize->setObjectName(QStringLiteral("TabSize"));
    m_tabSize->setToolTip(QString::fromLatin1(kTabSizeHint));
    m_insertSpaces = new QRadioButton(QStringLiteral("Insert &spaces"));
    m_insertSpaces->setObjectName(QStringLiteral("InsertSpaces"));
    m_keepTabs = new QRadioButton(QStringLiteral("&Keep tabs"));
    m_keepTabs->setObjectName(QStringLiteral("KeepTabs"));
    auto *tabsLayout = new QGridLayout(tabs);
    tabsLayout->addWidget(new QLabel(QStringLiteral("Tab size: ")), 0, 0);
    tabsLayout->addWidget(m_tabSize, 0, 1);
    tabsLayout->addWidget(m_insertSpaces, 1, 0, 1, 2);
    tabsLayout->addWidget(m_keepTabs, 2, 0, 1, 2);

    auto *window = new QGroupBox(QStringLiteral("Window Settings"));
    m_vscroll = NewCheck("Vertical scroll bar", "VScroll");
    m_hscroll = NewCheck("Horizontal scroll bar", "HScroll");
    auto *windowLayout = new QVBoxLayout(window);
    windowLayout->addWidget(m_vscroll);
    windowLayout->addWidget(m_hscroll);

    auto *options = new QGroupBox(QStringLiteral("Editor Options"));
    m_syntax = NewCheck("Syntax highlighting", "SyntaxHighlighting");
    m_brackets = NewCheck("Auto highlight brackets", "AutoHighlightBrackets");
    m_autoIndent = NewCheck("Auto indent", "AutoIndent");
    m_wordStar = NewCheck("WordStar keys", "WordStarKeys");
    m_autoPos = NewCheck("Auto positioning the '}'", "AutoPosCruely");
    auto *optionsLayout = new QVBoxLayout(options);
    for (QCheckBox *box : {m_syntax, m_brackets, m_autoIndent, m_wordStar, m_autoPos})
        optionsLayout->addWidget(box);

    auto *layout = new QGridLayout(page);
    layout->addWidget(tabs, 0, 0);
    layout->addWidget(window, 1, 0);
    layout->addWidget(options, 0, 1, 2, 1);
    layout->setRowStretch(2, 1);
    return page;
}

QWidget *TFrmEditorProperties::CreateDisplayTab()
{
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("TabDisplay"));

    m_fontList = new QComboBox;
    m_fontList->setObjectName(QStringLiteral("EditorFont"));
    m_fontList->setEditable(false);
    QStringList families;
    for (const QString &family : QFontDatabase::families()) {
        if (QFontDatabase::isFixedPitch(family))
            families << family;
    }
    families << QStringLiteral("Fixedsys");
    families.removeDuplicates();
    families.sort(Qt::CaseInsensitive);
    m_fontList->addItems(families);
    m_fontSize = new TNumberComboBox;
    m_fontSize->setObjectName(QStringLiteral("FontSize"));

    auto *style = new QGroupBox(QStringLiteral("Font Style"));
    m_italic = NewCheck("Italic", "Italic");
    m_bold = NewCheck("Bold", "Bold");
    m_underline = NewCheck("Underline", "Underline");
    auto *styleLayout = new QVBoxLayout(style);
    for (QCheckBox *box : {m_italic, m_bold, m_underline})
        styleLayout->addWidget(box);

    auto *sample = new QGroupBox(QStringLiteral("Sample"));
    m_fontSample = new QLabel(QStringLiteral("AaBbYyZz"));
    m_fontSample->setObjectName(QStringLiteral("FontSample"));
    m_fontSample->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_fontSample->setAlignment(Qt::AlignCenter);
    m_fontSample->setMinimumHeight(48);
    auto *sampleLayout = new QVBoxLayout(sample);
    sampleLayout->addWidget(m_fontSample);
    // A stored font this machine lacks stays chosen; this line says what is painted instead.
    m_fontUsed = new QLabel;
    m_fontUsed->setObjectName(QStringLiteral("FontUsed"));
    m_fontUsed->setWordWrap(true);
    m_fontUsed->setTextFormat(Qt::PlainText);

    auto *margin = new QGroupBox(QStringLiteral("Margin"));
    m_lMarginVisible = NewCheck("Visible left margin", "LMarginVisible");
    m_lMarginWidth = new QLineEdit;
    m_lMarginWidth->setObjectName(QStringLiteral("LMarginWidth"));
    m_rMarginVisible = NewCheck("Visible right margin", "RMarginVisible");
    m_rMarginWidth = new QLineEdit;
    m_rMarginWidth->setObjectName(QStringLiteral("RMarginWidth"));
    m_lineNumbers = NewCheck("Show Line Numbers", "LineNumVisible");
    auto *marginLayout = new QGridLayout(margin);
    marginLayout->addWidget(m_lMarginVisible, 0, 0, 1, 2);
    marginLayout->addWidget(new QLabel(QStringLiteral("Left margin width")), 1, 0);
    marginLayout->addWidget(m_lMarginWidth, 1, 1);
    marginLayout->addWidget(m_rMarginVisible, 2, 0, 1, 2);
    marginLayout->addWidget(new QLabel(QStringLiteral("Right margin")), 3, 0);
    marginLayout->addWidget(m_rMarginWidth, 3, 1);
    marginLayout->addWidget(m_lineNumbers, 4, 0, 1, 2);

    for (QCheckBox *box : {m_lMarginVisible, m_rMarginVisible, m_lineNumbers})
        connect(box, &QCheckBox::clicked, this, &TFrmEditorProperties::UpdateMarginBoxes);
    connect(m_fontList, &QComboBox::currentTextChanged, this, &TFrmEditorProperties::UpdateFontSample);
    connect(m_fontSize, &QComboBox::currentTextChanged, this, &TFrmEditorProperties::UpdateFontSample);
    for (QCheckBox *box : {m_italic, m_bold, m_underline})
        connect(box, &QCheckBox::toggled, this, &TFrmEditorProperties::UpdateFontSample);

    auto *layout = new QGridLayout(page);
    layout->addWidget(new QLabel(QStringLiteral("Editor font")), 0, 0);
    layout->addWidget(m_fontList, 1, 0);
    layout->addWidget(new QLabel(QStringLiteral("Font size")), 0, 1);
    layout->addWidget(m_fontSize, 1, 1);
    layout->addWidget(style, 2, 0);
    layout->addWidget(sample, 2, 1);
    layout->addWidget(m_fontUsed, 3, 0, 1, 2);
    layout->addWidget(margin, 4, 0, 1, 2);
    layout->setRowStretch(5, 1);
    return page;
}

void TFrmEditorProperties::FillColorBox(QComboBox *box)
{
    box->addItem(QStringLiteral("Automatic"), QVariant::fromValue(uint(kAutomaticColor)));
    for (const TNamedColor &c : kBasicColors)
        box->addItem(QString::fromLatin1(c.name), QVariant::fromValue(uint(c.value)));
    const QPalette palette = this->palette();
    for (const TSystemColor &c : kSystemColors)
        box->addItem(QString::fromLatin1(c.name),
                     QVariant::fromValue(uint(FromQColor(palette.color(c.role)))));
    box->addItem(QString::fromLatin1(kCustom), QVariant::fromValue(uint(0)));
    for (int i = 1; i < box->count(); ++i) {
        QPixmap swatch(12, 12);
        swatch.fill(ToQColor(box->itemData(i).toUInt()));
        box->setItemIcon(i, QIcon(swatch));
    }
}

QWidget *TFrmEditorProperties::CreateColorTab()
{
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("TabColor"));

    m_elements = new QListWidget;
    m_elements->setObjectName(QStringLiteral("ElementList"));
    for (int i = 0; i < kColorElementCount; ++i)
        m_elements->addItem(ColorElementName(i));
    m_elements->setCurrentRow(0);
    m_elements->setMaximumWidth(150);

    m_foreground = new QComboBox;
    m_foreground->setObjectName(QStringLiteral("ForegroundColor"));
    m_background = new QComboBox;
    m_background->setObjectName(QStringLiteral("BackgroundColor"));
    FillColorBox(m_foreground);
    FillColorBox(m_background);
    m_presets = new QComboBox;
    m_presets->setObjectName(QStringLiteral("ColorSpeedSetting"));
    for (const TColorSpeedSettingDesc &preset : ColorSpeedSettings())
        m_presets->addItem(QString::fromLatin1(preset.name));
    m_presets->setCurrentIndex(0);

    m_sampleGroup = new QGroupBox(QStringLiteral("Sample"));
    m_sampleGroup->setObjectName(QStringLiteral("SampleGroup"));
    m_sampleGroup->setMinimumSize(380, 250);
    new QVBoxLayout(m_sampleGroup);

    connect(m_elements, &QListWidget::currentRowChanged, this, &TFrmEditorProperties::ElementChanged);
    connect(m_foreground, &QComboBox::activated, this,
            [this] { ColorBoxChanged(m_foreground, true); });
    connect(m_background, &QComboBox::activated, this,
            [this] { ColorBoxChanged(m_background, false); });
    connect(m_presets, &QComboBox::activated, this, &TFrmEditorProperties::PresetChanged);

    auto *layout = new QGridLayout(page);
    layout->addWidget(new QLabel(QStringLiteral("Element")), 0, 0);
    layout->addWidget(m_elements, 1, 0, 6, 1);
    layout->addWidget(new QLabel(QStringLiteral("Forground color")), 0, 1);
    layout->addWidget(m_foreground, 1, 1);
    layout->addWidget(new QLabel(QStringLiteral("Background color")), 2, 1);
    layout->addWidget(m_background, 3, 1);
    layout->addWidget(new QLabel(QStringLiteral("Color speed setting")), 4, 1);
    layout->addWidget(m_presets, 5, 1);
    layout->addWidget(m_sampleGroup, 7, 0, 1, 2);
    layout->setRowStretch(6, 1);
    return page;
}

int TFrmEditorProperties::NumberBox(const QLineEdit *box) const
{
    bool ok = false;
    const int value = box->text().trimmed().toInt(&ok);
    if (!ok) {
        ShowError(QStringLiteral("Error converting the value to integer in %1").arg(box->toolTip()));
        return 0;
    }
    return value;
}

void TFrmEditorProperties::SetNumberBox(QLineEdit *box, int value)
{
    box->setText(QString::number(value));
}

void TFrmEditorProperties::ControlsFromOptions()
{
    const TEditorSettings &s = m_options.Settings();
    m_vscroll->setChecked(s.vscroll);
    m_hscroll->setChecked(s.hscroll);
    m_syntax->setChecked(s.syntaxHighlighting);
    m_brackets->setChecked(s.autoHighlightBrackets);
    m_autoIndent->setChecked(s.autoIndent);
    m_wordStar->setChecked(s.wordStar);
    m_autoPos->setChecked(s.autoPosCruely);
    SetNumberBox(m_tabSize, s.tabSize);
    m_keepTabs->setChecked(s.realTabs);
    m_insertSpaces->setChecked(!s.realTabs);
    m_lMarginVisible->setChecked(s.lMarginVisible);
    m_rMarginVisible->setChecked(s.rMarginVisible);
    UpdateMarginBoxes();
    SetNumberBox(m_lMarginWidth, s.lMarginWidth);
    SetNumberBox(m_rMarginWidth, s.rMarginWidth);
    m_lineNumbers->setChecked(s.lineNumVisible);
    // A stored name the list lacks is added, so the choice is shown and kept as it was.
    if (m_fontList->findText(s.fontName, Qt::MatchFixedString) < 0)
        m_fontList->addItem(s.fontName);
    m_fontList->setCurrentIndex(m_fontList->findText(s.fontName, Qt::MatchFixedString));
    m_fontSize->setCurrentText(QString::number(s.fontSize));
    m_italic->setChecked(s.italic);
    m_bold->setChecked(s.bold);
    m_underline->setChecked(s.underline);
    UpdateFontSample();
    m_presets->setCurrentIndex(s.clrSpeed >= 0 && s.clrSpeed < kColorSpeedSettingCount ? s.clrSpeed : 0);
    m_editColors = m_options.Colors();
    ElementChanged();
    RefreshSampleColors();
}

TEditorSyntaxOptions TFrmEditorProperties::OptionsFromControls() const
{
    TEditorSyntaxOptions options = m_options;
    TEditorSettings &s = options.Settings();
    s.vscroll = m_vscroll->isChecked();
    s.hscroll = m_hscroll->isChecked();
    s.syntaxHighlighting = m_syntax->isChecked();
    s.autoHighlightBrackets = m_brackets->isChecked();
    s.autoIndent = m_autoIndent->isChecked();
    s.wordStar = m_wordStar->isChecked();
    s.autoPosCruely = m_autoPos->isChecked();
    s.tabSize = NumberBox(m_tabSize);
    s.realTabs = m_keepTabs->isChecked();
    s.lMarginVisible = m_lMarginVisible->isChecked();
    s.rMarginVisible = m_rMarginVisible->isChecked();
    s.lMarginWidth = NumberBox(m_lMarginWidth);
    s.rMarginWidth = NumberBox(m_rMarginWidth);
    s.lineNumVisible = m_lineNumbers->isChecked();
    s.fontName = m_fontList->currentText();
    const QString size = m_fontSize->currentText().trimmed();
    s.fontSize = size.isEmpty() ? 9 : size.toInt();
    s.italic = m_italic->isChecked();
    s.bold = m_bold->isChecked();
    s.underline = m_underline->isChecked();
    s.clrSpeed = m_presets->currentIndex();
    options.Colors() = m_editColors;
    return options;
}

void TFrmEditorProperties::LoadEditorProperties(const TIniFile &ini)
{
    m_options.LoadEditorProperties(ini);
    ControlsFromOptions();
}

bool TFrmEditorProperties::SaveEditorProperties(TIniFile &ini)
{
    m_options = OptionsFromControls();
    return m_options.SaveEditorProperties(ini);
}

void TFrmEditorProperties::UpdateMarginBoxes()
{
    m_lMarginWidth->setEnabled(m_lMarginVisible->isChecked());
    m_rMarginWidth->setEnabled(m_rMarginVisible->isChecked());
}

QFont TFrmEditorProperties::ControlsFont() const
{
    TEditorSettings s;
    s.fontName = m_fontList->currentText();
    const QString size = m_fontSize->currentText().trimmed();
    s.fontSize = size.isEmpty() ? 9 : size.toInt();
    s.italic = m_italic->isChecked();
    s.bold = m_bold->isChecked();
    s.underline = m_underline->isChecked();
    return EditorFont(s);
}

void TFrmEditorProperties::UpdateFontSample()
{
    if (m_fontSample)
        m_fontSample->setFont(ControlsFont());
    if (m_fontUsed && m_fontList) {
        const QString chosen = m_fontList->currentText();
        const QString used = QFontInfo(ControlsFont()).family();
        const bool substituted = !chosen.isEmpty() && used.compare(chosen, Qt::CaseInsensitive) != 0;
        m_fontUsed->setText(substituted ? QStringLiteral("\"%1\" is not installed here; the editor "
                                                         "shows %2.")
                                              .arg(chosen, used)
                                        : QString());
        m_fontUsed->setVisible(substituted);
    }
}

void TFrmEditorProperties::SelectColor(QComboBox *box, TColorValue value)
{
    const int found = box->findData(QVariant::fromValue(uint(value)));
    if (found >= 0 && found < box->count() - 1) {
        box->setCurrentIndex(found);
        return;
    }
    // Any other value is the custom colour.
    const int custom = box->count() - 1;
    box->setItemData(custom, QVariant::fromValue(uint(value)));
    QPixmap swatch(12, 12);
    swatch.fill(ToQColor(value));
    box->setItemIcon(custom, QIcon(swatch));
    box->setCurrentIndex(custom);
}

void TFrmEditorProperties::ElementChanged()
{
    const int element = std::max(m_elements->currentRow(), 0);
    SelectColor(m_foreground, m_editColors[element].fg);
    SelectColor(m_background, m_editColors[element].bg);
}

void TFrmEditorProperties::ColorBoxChanged(QComboBox *box, bool foreground)
{
    const int element = std::max(m_elements->currentRow(), 0);
    TColorValue value = kAutomaticColor;
    if (box->currentIndex() == box->count() - 1) {
        TColorValue &current = foreground ? m_editColors[element].fg : m_editColors[element].bg;
        const QColor picked = QColorDialog::getColor(ToQColor(current == kAutomaticColor ? 0 : current), this);
        if (!picked.isValid()) {
            ElementChanged();
            return;
        }
        value = FromQColor(picked);
        SelectColor(box, value);
    } else if (box->currentIndex() > 0) {
        value = box->currentData().toUInt();
    }
    (foreground ? m_editColors[element].fg : m_editColors[element].bg) = value;
    RefreshSampleColors();
}

void TFrmEditorProperties::PresetChanged(int index)
{
    if (index < 0 || index >= kColorSpeedSettingCount)
        return;
    m_editColors = ColorSpeedSettings()[index].colors;
    ElementChanged();
    RefreshSampleColors();
}

void TFrmEditorProperties::RefreshSampleColors()
{
    if (m_sample)
        m_sample->SetColors(ResolveColors(m_editColors));
}

void TFrmEditorProperties::CreateSampleEditor()
{
    if (m_sample)
        return;
    m_sample = new TOvcTextFileEditorSyntax(m_sampleGroup);
    m_sample->setObjectName(QStringLiteral("SampleEditor"));
    m_sampleGroup->layout()->addWidget(m_sample);
    m_sample->SetEditorType(SyntaxColoringEditor);
    m_sample->SetDocumentText(EditorPropertiesSampleLines().join(QLatin1Char('\n')));
    m_sample->SetReadOnly(true);
    m_sample->setFont(ControlsFont());
    m_sample->SetColors(ResolveColors(m_editColors));
    m_sample->SetShowRightMargin(true);
    m_sample->SetRightMargin(80);
    m_sample->SetShowNewMargin(true);
    m_sample->SetLeftMargin(20);
    // The marker margin shows its markers in debug mode: the current line and a flagged line.
    m_sample->SetDebug(true);
    m_sample->CodeFlags().SetCurrentLine(5);
    m_sample->CodeFlags().Add(7);
    // Line 9 in the selection colours, the parentheses of "function(long param)" as a
    // highlighted pair.
    m_sample->SetSelection(TextPos{9, 1}, TextPos{9, 36});
    m_sample->Coloring()->Engine().SetBraceHighlight(TLineColumn{3, 13}, TLineColumn{3, 24});
    m_sample->Coloring()->RestyleLines(3, 3);
    m_sample->setFirstVisibleLine(0);
    m_sample->ClearModified();
}

void TFrmEditorProperties::showEvent(QShowEvent *event)
{
    CreateSampleEditor();
    QDialog::showEvent(event);
}

void TFrmEditorProperties::hideEvent(QHideEvent *event)
{
    QDialog::hideEvent(event);
    if (m_sample)
        delete m_sample.data();
}

bool TFrmEditorProperties::Execute(int tab)
{
    m_pages->setCurrentIndex(tab >= 0 && tab < m_pages->count() ? tab : 0);
    return exec() == QDialog::Accepted;
}

void TFrmEditorProperties::OkClick()
{
    TIniFile ini(m_settingsFile);
    if (!SaveEditorProperties(ini))
        ShowError(QStringLiteral("Cannot write ") + m_settingsFile);
    accept();
    if (ApplyPropertiesToPages)
        ApplyPropertiesToPages();
}

void TFrmEditorProperties::CancelClick()
{
    TIniFile ini(m_settingsFile);
    LoadEditorProperties(ini);
    reject();
}

}  // namespace kiv

// The "Disassembly Parameters" dialog and its model: initial state, the 16/24-bit handler,
// the options of a run, "DASM" on good and bad input, help, and ShowDisassemblerDialog.

#include "kivdasm.h"
#include "kivdasm_model.h"
#include "kivprompt.h"
#include "testfiles.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace kiv {
namespace {

TEST(KivDasmModel, OptionsOfARun)
{
    struct TCase {
        int family, inputKind, labels, numbers;
        TDasmFamily expectFamily;
        bool expectHex;
        TDasmLabelFormat expectLabels;
        TDasmNumberFormat expectNumbers;
    };
    const int none = TKivDasmModel::kNone;
    const TCase cases[] = {
        {none, none, 1, 2, dfBits12, false, lfCLabel, nfC},  // no family: 12-bit tables, no kind: binary
        {12, 0, 0, 0, dfBits12, true, lfAddresses, nfSimple},
        {14, 0, 2, 1, dfBits14, true, lfMcAsmLabel, nfAsm},
        {14, 1, none, none, dfBits14, false, lfAddresses, nfSimple},
        {16, 0, 0, 2, dfBits16, true, lfAddresses, nfC},
        {24, 0, 0, 2, dfBits24, true, lfAddresses, nfC},
    };
    for (const TCase &c : cases) {
        TKivDasmModel model;
        model.family = c.family;
        model.inputKind = c.inputKind;
        model.labelFormat = c.labels;
        model.numberFormat = c.numbers;
        const TDasmOptions options = model.Options();
        EXPECT_EQ(options.family, c.expectFamily);
        EXPECT_EQ(options.hexInput, c.expectHex);
        EXPECT_EQ(options.labels, c.expectLabels);
        EXPECT_EQ(options.numbers, c.expectNumbers);
    }
}

TEST(KivDasmModel, Opcode24FixesTheOtherChoices)
{
    TKivDasmModel model;
    model.inputKind = 1;
    model.opcode24Click();
    EXPECT_EQ(model.inputKind, 0);
    EXPECT_EQ(model.labelFormat, 0);
    EXPECT_EQ(model.numberFormat, 2);
    EXPECT_FALSE(model.binaryEnabled);
    EXPECT_FALSE(model.labelChoiceEnabled);
    EXPECT_FALSE(model.numberChoiceEnabled);
}

TEST(KivDasmModel, RunWritesTheListingBesideTheInput)
{
    QTemporaryDir dir;
    const QString hex = dir.filePath("prog.hex");
    ASSERT_TRUE(test::WriteFile(hex, ":020000001230BC\n:00000001FF\n"));
    TKivDasmModel model;
    model.inputFile = hex;
    model.family = 14;
    model.inputKind = 0;
    model.labelFormat = 0;
    EXPECT_EQ(model.OutputPath(), dir.filePath("asmoutput.c"));
    QString error;
    ASSERT_TRUE(model.Run(&error)) << error.toStdString();
    EXPECT_EQ(test::ReadFile(dir.filePath("asmoutput.c")), "0000: 3012  MOVLW  0x12\r\n");
}

TEST(KivDasmModel, BadInputLeavesTheOutputAndSaysWhy)
{
    QTemporaryDir dir;
    const QString hex = dir.filePath("bad.hex");
    ASSERT_TRUE(test::WriteFile(hex, ":0200000012308D\n:00000001FF\n"));
    ASSERT_TRUE(test::WriteFile(dir.filePath("asmoutput.c"), "kept"));
    TKivDasmModel model;
    model.inputFile = hex;
    model.family = 14;
    model.inputKind = 0;
    QString error;
    EXPECT_FALSE(model.Run(&error));
    EXPECT_EQ(error, hex + ", line 1: checksum error (the record gives 8D, its bytes need BC).");
    EXPECT_EQ(test::ReadFile(dir.filePath("asmoutput.c")), "kept");

    model.inputFile = dir.filePath("missing.hex");
    EXPECT_FALSE(model.Run(&error));
    EXPECT_TRUE(error.startsWith("Cannot open " + dir.filePath("missing.hex") + ": ")) << error.toStdString();
    model.inputFile.clear();
    EXPECT_FALSE(model.Run(&error));
    EXPECT_EQ(error, "Choose the input file to disassemble.");
}

class KivDasmDialog : public ::testing::Test {
protected:
    void SetUp() override { SetPrompt(&m_prompt); }
    void TearDown() override { SetPrompt(nullptr); }

    template <typename T>
    T *Find(QDialog &dialog, const char *name)
    {
        T *child = dialog.findChild<T *>(QString::fromLatin1(name));
        EXPECT_NE(child, nullptr) << name;
        return child;
    }

    TScriptedPrompt m_prompt;
    QTemporaryDir m_dir;
};

TEST_F(KivDasmDialog, ControlsAndInitialState)
{
    Tfkivdasm dialog;
    EXPECT_EQ(dialog.windowTitle(), "Disassembly Parameters");
    EXPECT_EQ(Find<QLineEdit>(dialog, "filename")->text(), "asmoutput.c");
    EXPECT_TRUE(Find<QLineEdit>(dialog, "infile")->text().isEmpty());
    const std::pair<const char *, const char *> captions[] = {
        {"opcode12", "12 Bit opcode"}, {"opcode14", "14 Bit opcode"}, {"opcode16", "16 bit opcode"},
        {"opcode24", "24 bit opcode"}, {"labeladdr", "Addresses"},    {"labelc", "C Label"},
        {"labelmc", "MC ASM Label"},   {"filehex", "HEX file"},       {"filebin", "Binary file"},
        {"numbersimple", "Simple (12)"}, {"numberasm", "ASM (12H)"},  {"numberc", "C (0x12)"},
    };
    for (const auto &[name, caption] : captions) {
        QRadioButton *button = Find<QRadioButton>(dialog, name);
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->text(), caption);
        const bool checked = std::string(name) == "labelc" || std::string(name) == "numberc";
        EXPECT_EQ(button->isChecked(), checked) << name;
        EXPECT_TRUE(button->isEnabled()) << name;
    }
    EXPECT_EQ(Find<QGroupBox>(dialog, "labels")->title(), "Label format");
    EXPECT_EQ(Find<QPushButton>(dialog, "BitBtn3")->text(), "DASM");
    EXPECT_EQ(Find<QPushButton>(dialog, "BitBtn1")->text(), "&Help");
    EXPECT_EQ(Find<QPushButton>(dialog, "Button1")->text(), "...");
    ASSERT_NE(Find<QPushButton>(dialog, "BitBtn2"), nullptr);
}

TEST_F(KivDasmDialog, SixteenAndTwentyFourBitFixTheChoicesForGood)
{
    Tfkivdasm dialog;
    Find<QRadioButton>(dialog, "filebin")->setChecked(true);
    Find<QRadioButton>(dialog, "opcode16")->click();
    EXPECT_TRUE(Find<QRadioButton>(dialog, "filehex")->isChecked());
    EXPECT_FALSE(Find<QRadioButton>(dialog, "filebin")->isEnabled());
    EXPECT_TRUE(Find<QRadioButton>(dialog, "labeladdr")->isChecked());
    EXPECT_FALSE(Find<QRadioButton>(dialog, "labelc")->isEnabled());
    EXPECT_FALSE(Find<QRadioButton>(dialog, "labelmc")->isEnabled());
    EXPECT_TRUE(Find<QRadioButton>(dialog, "numberc")->isChecked());
    EXPECT_FALSE(Find<QRadioButton>(dialog, "numberasm")->isEnabled());
    EXPECT_FALSE(Find<QRadioButton>(dialog, "numbersimple")->isEnabled());
    // Nothing enables them again while the dialog is open.
    Find<QRadioButton>(dialog, "opcode14")->click();
    EXPECT_FALSE(Find<QRadioButton>(dialog, "filebin")->isEnabled());
    EXPECT_FALSE(Find<QRadioButton>(dialog, "labelc")->isEnabled());
    EXPECT_EQ(dialog.Model().family, 14);
}

TEST_F(KivDasmDialog, DasmWritesTheListingAndCloses)
{
    const QString hex = m_dir.filePath("g.hex");
    ASSERT_TRUE(test::WriteFile(hex, ":04000000FFEF00F01E\n:00000001FF\n"));  // GOTO 0x1FE on PIC18
    m_prompt.Queue(hex);
    Tfkivdasm dialog;
    Find<QPushButton>(dialog, "Button1")->click();
    ASSERT_EQ(m_prompt.Asked().size(), 1u);
    EXPECT_EQ(m_prompt.Asked()[0].filters, QStringList({"Hex files (*.hex)", "All files (*)"}));
    EXPECT_EQ(Find<QLineEdit>(dialog, "infile")->text(), hex);
    Find<QRadioButton>(dialog, "opcode16")->click();
    Find<QPushButton>(dialog, "BitBtn3")->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.OutputPath(), m_dir.filePath("asmoutput.c"));
    EXPECT_TRUE(test::ReadFile(dialog.OutputPath()).startsWith("0000 \r\n0002 GOTO   01FE\r\n"));
}

TEST_F(KivDasmDialog, BadInputShowsTheMessageAndStaysOpen)
{
    const QString hex = m_dir.filePath("cut.hex");
    ASSERT_TRUE(test::WriteFile(hex, ":020000001230BC\n"));
    Tfkivdasm dialog;
    dialog.show();
    Find<QLineEdit>(dialog, "infile")->setText(hex);
    Find<QRadioButton>(dialog, "opcode14")->click();
    Find<QRadioButton>(dialog, "filehex")->click();
    Find<QPushButton>(dialog, "BitBtn3")->click();
    EXPECT_TRUE(dialog.isVisible());
    ASSERT_EQ(m_prompt.Messages().size(), 1);
    EXPECT_TRUE(m_prompt.Messages()[0].contains("without an end-of-file record")) << m_prompt.Messages()[0].toStdString();
    EXPECT_FALSE(QFileInfo::exists(m_dir.filePath("asmoutput.c")));
}

TEST_F(KivDasmDialog, HelpShowsTheDisassembleTopic)
{
    QStringList topics;
    Tfkivdasm dialog([&topics](const QString &topic) { topics << topic; });
    Find<QPushButton>(dialog, "BitBtn1")->click();
    EXPECT_EQ(topics, QStringList("Disassemble"));
}

TEST_F(KivDasmDialog, ShowDisassemblerDialogReturnsTheOutputOnOkOnly)
{
    const QString hex = m_dir.filePath("p.hex");
    ASSERT_TRUE(test::WriteFile(hex, ":020000001230BC\n:00000001FF\n"));
    auto saved = DasmExecHook();
    DasmExecHook() = [&](QDialog &dialog) {
        dialog.findChild<QLineEdit *>("infile")->setText(hex);
        dialog.findChild<QRadioButton *>("opcode14")->click();
        dialog.findChild<QRadioButton *>("filehex")->click();
        dialog.findChild<QPushButton *>("BitBtn3")->click();
        return dialog.result();
    };
    EXPECT_EQ(ShowDisassemblerDialog(nullptr), m_dir.filePath("asmoutput.c"));
    EXPECT_EQ(test::ReadFile(m_dir.filePath("asmoutput.c")), "0000: \r\n       MOVLW  0x12\r\n");
    DasmExecHook() = [](QDialog &dialog) {
        dialog.findChild<QPushButton *>("BitBtn2")->click();
        return dialog.result();
    };
    EXPECT_EQ(ShowDisassemblerDialog(nullptr), QString());
    DasmExecHook() = saved;
}

}  // namespace
}  // namespace kiv

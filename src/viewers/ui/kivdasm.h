#pragma once

// "Disassembly Parameters": the disassembler's dialog over TKivDasmModel.

#include "kivdasm_model.h"

#include <QDialog>

#include <functional>

class QLineEdit;
class QPushButton;
class QRadioButton;

namespace kiv {

/// The dialog `Tfkivdasm`: input and output names, the word family, label and number formats,
/// the input kind, and "DASM", which writes the listing and closes the dialog with OK.
class Tfkivdasm : public QDialog {
    Q_OBJECT

public:
    /// `help` shows a help topic (the main window's help lookup); it may be empty.
    explicit Tfkivdasm(std::function<void(const QString &)> help = {}, QWidget *parent = nullptr);

    /// The model with the controls' current values.
    TKivDasmModel Model() const;

    /// "...": asks for the input file ("Hex files|*.hex|All files|*.*").
    void Button1Click();
    /// "24 bit opcode" and "16 bit opcode".
    void opcode24Click();
    /// "DASM": runs the disassembly; on success the dialog closes with OK, on failure the
    /// message is shown and the dialog stays open.
    void BitBtn3Click();
    /// "&Help": the topic "Disassemble".
    void BitBtn1Click();

    /// The output file written by the last successful run.
    QString OutputPath() const { return m_outputPath; }

private:
    void Apply(const TKivDasmModel &model);

    std::function<void(const QString &)> m_help;
    TKivDasmModel m_model;
    QString m_outputPath;
    QLineEdit *m_infile = nullptr;
    QLineEdit *m_filename = nullptr;
    QRadioButton *m_opcode[4] = {};
    QRadioButton *m_label[3] = {};
    QRadioButton *m_fileKind[2] = {};
    QRadioButton *m_number[3] = {};
};

/// `ShowDisassemblerDialog`: shows the dialog modally; the output file's path when it closed
/// with OK, an empty string otherwise.
QString ShowDisassemblerDialog(QWidget *parent, std::function<void(const QString &)> help = {});

/// Runs a dialog modally; tests replace it to drive the dialog without blocking.
std::function<int(QDialog &)> &DasmExecHook();

}  // namespace kiv

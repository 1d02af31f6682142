#pragma once

#include <QString>
#include <QStringList>

#include <deque>
#include <optional>
#include <variant>
#include <vector>

namespace kiv {

/// The four kinds of message box.
enum TMsgKind { mtError, mtWarning, mtInformation, mtConfirmation };
/// The button sets of a message box.
enum TMsgButtons { mbOK, mbYesNo, mbYesNoCancel, mbRetryCancel };
/// The answer to a message box.
enum TMsgResult { mrOk, mrYes, mrNo, mrCancel, mrRetry };

/// A file chooser question. `filters` are "Description (*.a *.b)" entries; `filterIndex` is
/// 1-based, as the open and save dialogs count them, and is updated with the user's choice.
struct TFileQuestion {
    QString caption;
    QString folder;
    QString fileName;
    QStringList filters;
    int filterIndex = 1;
    QString defaultSuffix;
};

/// Every question to the user goes through this interface: the window layer answers with real
/// dialogs, tests with scripted answers. Core code never opens a dialog itself.
class IPrompt {
public:
    virtual ~IPrompt() = default;

    /// A message box; `caption` empty means the kind's standard caption.
    virtual TMsgResult Message(TMsgKind kind, const QString &caption, const QString &text,
                               TMsgButtons buttons) = 0;
    /// A file to open; empty when the user cancels.
    virtual QString OpenFileName(TFileQuestion &question) = 0;
    /// A file to save to; empty when the user cancels.
    virtual QString SaveFileName(TFileQuestion &question) = 0;
    /// A folder; empty when the user cancels.
    virtual QString FolderName(const QString &caption, const QString &start) = 0;
    /// A number in [minimum, maximum]; nothing when the user cancels.
    virtual std::optional<int> Number(const QString &caption, const QString &label, int value,
                                      int minimum, int maximum) = 0;
};

/// The process's prompt; a scripted prompt that answers "cancel" until the window layer or a
/// test installs its own.
IPrompt &Prompt();
/// Installs `prompt` (not owned); nullptr restores the default.
void SetPrompt(IPrompt *prompt);

/// The standard caption of a message kind: "Error", "Warning", "Information", "Confirm".
QString StandardCaption(TMsgKind kind);

void ShowError(const QString &text);
void ShowWarning(const QString &text);
void ShowInformation(const QString &text);
/// Yes/No confirmation; true for Yes.
bool AskYesNo(const QString &text, const QString &caption = {});
/// Yes/No/Cancel confirmation.
TMsgResult AskYesNoCancel(const QString &text, const QString &caption = {});

/// A prompt that answers from a script and records every question, for tests and for running
/// without a display. When the script runs out it answers Cancel / No / nothing.
class TScriptedPrompt : public IPrompt {
public:
    using Answer = std::variant<TMsgResult, QString, int>;

    struct Question {
        enum Type { MessageBox, OpenFile, SaveFile, Folder, NumberInput } type;
        TMsgKind kind = mtInformation;
        TMsgButtons buttons = mbOK;
        QString caption;
        QString text;        /// the message, or the file question's folder / start folder
        QStringList filters;
        int filterIndex = 0;
    };

    /// Queues the next answer: a TMsgResult for a message box, a QString for a file or folder
    /// chooser, an int for a number input.
    void Queue(Answer answer) { m_answers.push_back(std::move(answer)); }
    void AnswerFilterIndex(int index) { m_filterIndex = index; }

    const std::vector<Question> &Asked() const { return m_asked; }
    /// The text of every message box asked so far.
    QStringList Messages() const;
    void ClearAsked() { m_asked.clear(); }
    bool ScriptDone() const { return m_answers.empty(); }

    TMsgResult Message(TMsgKind kind, const QString &caption, const QString &text,
                       TMsgButtons buttons) override;
    QString OpenFileName(TFileQuestion &question) override;
    QString SaveFileName(TFileQuestion &question) override;
    QString FolderName(const QString &caption, const QString &start) override;
    std::optional<int> Number(const QString &caption, const QString &label, int value,
                              int minimum, int maximum) override;

private:
    std::optional<Answer> Next();
    QString NextString();

    std::deque<Answer> m_answers;
    std::vector<Question> m_asked;
    int m_filterIndex = 0;
};

/// Installs a prompt for the lifetime of the guard and restores the previous one afterwards.
class TPromptGuard {
public:
    explicit TPromptGuard(IPrompt *prompt);
    ~TPromptGuard();
    TPromptGuard(const TPromptGuard &) = delete;
    TPromptGuard &operator=(const TPromptGuard &) = delete;

private:
    IPrompt *m_previous;
};

}  // namespace kiv

#include "kivprompt.h"

namespace kiv {

namespace {

IPrompt *g_prompt = nullptr;

IPrompt &DefaultPrompt()
{
    static TScriptedPrompt prompt;
    return prompt;
}

}  // namespace

IPrompt &Prompt()
{
    return g_prompt ? *g_prompt : DefaultPrompt();
}

void SetPrompt(IPrompt *prompt)
{
    g_prompt = prompt;
}

QString StandardCaption(TMsgKind kind)
{
    switch (kind) {
    case mtError: return QStringLiteral("Error");
    case mtWarning: return QStringLiteral("Warning");
    case mtInformation: return QStringLiteral("Information");
    case mtConfirmation: return QStringLiteral("Confirm");
    }
    return {};
}

void ShowError(const QString &text)
{
    Prompt().Message(mtError, {}, text, mbOK);
}

void ShowWarning(const QString &text)
{
    Prompt().Message(mtWarning, {}, text, mbOK);
}

void ShowInformation(const QString &text)
{
    Prompt().Message(mtInformation, {}, text, mbOK);
}

bool AskYesNo(const QString &text, const QString &caption)
{
    return Prompt().Message(mtConfirmation, caption, text, mbYesNo) == mrYes;
}

TMsgResult AskYesNoCancel(const QString &text, const QString &caption)
{
    return Prompt().Message(mtConfirmation, caption, text, mbYesNoCancel);
}

QStringList TScriptedPrompt::Messages() const
{
    QStringList list;
    for (const Question &q : m_asked) {
        if (q.type == Question::MessageBox)
            list << q.text;
    }
    return list;
}

std::optional<TScriptedPrompt::Answer> TScriptedPrompt::Next()
{
    if (m_answers.empty())
        return std::nullopt;
    Answer a = std::move(m_answers.front());
    m_answers.pop_front();
    return a;
}

QString TScriptedPrompt::NextString()
{
    const std::optional<Answer> a = Next();
    if (a && std::holds_alternative<QString>(*a))
        return std::get<QString>(*a);
    return {};
}

TMsgResult TScriptedPrompt::Message(TMsgKind kind, const QString &caption, const QString &text,
                                    TMsgButtons buttons)
{
    m_asked.push_back({Question::MessageBox, kind, buttons,
                       caption.isEmpty() ? StandardCaption(kind) : caption, text, {}, 0});
    const std::optional<Answer> a = Next();
    if (a && std::holds_alternative<TMsgResult>(*a))
        return std::get<TMsgResult>(*a);
    switch (buttons) {
    case mbOK: return mrOk;
    case mbYesNo: return mrNo;
    case mbYesNoCancel: return mrCancel;
    case mbRetryCancel: return mrCancel;
    }
    return mrCancel;
}

QString TScriptedPrompt::OpenFileName(TFileQuestion &question)
{
    m_asked.push_back({Question::OpenFile, mtInformation, mbOK, question.caption, question.folder,
                       question.filters, question.filterIndex});
    const QString answer = NextString();
    if (!answer.isEmpty() && m_filterIndex > 0)
        question.filterIndex = m_filterIndex;
    return answer;
}

QString TScriptedPrompt::SaveFileName(TFileQuestion &question)
{
    m_asked.push_back({Question::SaveFile, mtInformation, mbOK, question.caption, question.folder,
                       question.filters, question.filterIndex});
    const QString answer = NextString();
    if (!answer.isEmpty() && m_filterIndex > 0)
        question.filterIndex = m_filterIndex;
    return answer;
}

QString TScriptedPrompt::FolderName(const QString &caption, const QString &start)
{
    m_asked.push_back({Question::Folder, mtInformation, mbOK, caption, start, {}, 0});
    return NextString();
}

std::optional<int> TScriptedPrompt::Number(const QString &caption, const QString &label, int value,
                                           int minimum, int maximum)
{
    m_asked.push_back({Question::NumberInput, mtInformation, mbOK, caption, label, {}, 0});
    const std::optional<Answer> a = Next();
    if (a && std::holds_alternative<int>(*a))
        return qBound(minimum, std::get<int>(*a), maximum);
    return std::nullopt;
}

TPromptGuard::TPromptGuard(IPrompt *prompt)
    : m_previous(g_prompt)
{
    g_prompt = prompt;
}

TPromptGuard::~TPromptGuard()
{
    g_prompt = m_previous;
}

}  // namespace kiv

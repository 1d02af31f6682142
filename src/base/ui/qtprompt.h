#pragma once

#include "kivprompt.h"

namespace kiv {

/// Answers questions with the platform's message boxes and file dialogs.
class TQtPrompt : public IPrompt {
public:
    TMsgResult Message(TMsgKind kind, const QString &caption, const QString &text,
                       TMsgButtons buttons) override;
    QString OpenFileName(TFileQuestion &question) override;
    QString SaveFileName(TFileQuestion &question) override;
    QString FolderName(const QString &caption, const QString &start) override;
    std::optional<int> Number(const QString &caption, const QString &label, int value,
                              int minimum, int maximum) override;
};

}  // namespace kiv

#pragma once

#include <QTimer>
#include <QWidget>

class QPlainTextEdit;

namespace kiv {

/// The evaluation hint: a borderless, stay-on-top window made once, 0 x 0 while no hint shows.
/// Its read-only memo `EditHintMemo` shows "expression=value"; `CloseTimer` hides it after 7
/// seconds when the timeout flag is set. It never takes the keyboard focus.
class TFormEditHint : public QWidget {
    Q_OBJECT

public:
    explicit TFormEditHint(QWidget *parent = nullptr);

    QPlainTextEdit *EditHintMemo() const { return m_memo; }
    QTimer *CloseTimer() { return &m_closeTimer; }
    void SetTimeout(bool on) { m_timeout = on; }
    bool Timeout() const { return m_timeout; }
    /// Shows `text` near the screen point `pointer`.
    void ShowHint(const QString &text, const QPoint &pointer);
    /// Hides the hint: the window shrinks to 0 x 0 and stays.
    void CloseHint();
    bool HintShown() const { return isVisible() && width() > 0 && height() > 0; }
    QString Text() const;

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QPlainTextEdit *m_memo;
    QTimer m_closeTimer;
    bool m_timeout = true;
};

}  // namespace kiv

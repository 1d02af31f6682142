#pragma once

#include "kivcomp_model.h"

#include <QDialog>

#include <array>
#include <functional>

class QFrame;
class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

namespace kiv {

/// The compile status window: the lines of TKivCompModel, the busy animation, the ROM and RAM
/// bars, the error panel, and the held, timed and on-error displays. Its width (435 to 1024)
/// and position are kept in the settings file section compilestatus; its height is 300.
class Tfkivcomp : public QDialog, public IKivCompView {
    Q_OBJECT

public:
    static constexpr int kDesignWidth = 435;
    static constexpr int kMaxWidth = 1024;
    static constexpr int kHeight = 300;

    /// How the window is being shown.
    enum TDisplay { cdHidden, cdBusy, cdWaiting, cdUntilClosed, cdAnyKey, cdHeld, cdTimed };

    Tfkivcomp(TKivCompModel &model, QString settingsFile, QWidget *parent = nullptr);

    TDisplay Display() const { return m_display; }
    /// The help button shows `topic` of help file `base`; disabled while unset.
    void SetHelp(std::function<void(const QString &base, const QString &topic)> help);
    /// The "Stop" button: enabled while a compile runs whose edition can stop it.
    QPushButton *StopButton() const { return m_stopButton; }

    // IKivCompView
    void ModelChanged() override;
    void ProcessEvents() override;
    void ShowBusy() override;
    void EndBusy() override;
    void WaitSeconds(int seconds) override;
    void ShowUntilClosed() override;
    void ShowModalAnyKey() override;
    void ShowModalHeld() override;
    void ShowModalTimed(int seconds) override;

    /// Escape and the close box; after a clean compile held up, only the close box and the
    /// "hide" button end the display.
    void reject() override;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void BuildControls();
    void ReadGeometry();
    void SaveGeometry();
    void RunModal(TDisplay display);
    void HideClick();
    void HideAndReturnTheKeyboard();
    void StopClick();

    TKivCompModel &m_model;
    QString m_settingsFile;
    TDisplay m_display = cdHidden;
    bool m_closeBox = false;
    QRect m_savedGeometry;
    std::function<void(const QString &, const QString &)> m_help;

    std::array<QLabel *, TKivCompModel::kLineCount> m_lines{};
    QProgressBar *m_animation = nullptr;
    QWidget *m_bars = nullptr;
    QProgressBar *m_rom = nullptr;
    QProgressBar *m_ram = nullptr;
    QFrame *m_errorPanel = nullptr;
    QLabel *m_errorLabel = nullptr;
    QLabel *m_errorLine1 = nullptr;
    QLabel *m_errorLine2 = nullptr;
    QPushButton *m_stopButton = nullptr;
    QPushButton *m_hideButton = nullptr;
    QPushButton *m_helpButton = nullptr;
    QTimer *m_timer = nullptr;
};

}  // namespace kiv

#pragma once

// The overwrite / resume / skip prompt for a transfer whose target exists.
// The caller sets the message, the preselected action (`Tag`), the auto-close
// box and its countdown (`AutoCloseTag`, the seconds + 1), shows the window
// modally and reads `Tag` and `all` afterwards.

#include "person/user_interaction.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QPushButton;
class QTimer;

class TFormXFerAction : public QDialog {
    Q_OBJECT
public:
    static inline const QString Caption = QStringLiteral("Overwrite / Resume / Skip ? ...");
    static constexpr int TimerInterval = 1000;

    explicit TFormXFerAction(QWidget* parent = nullptr);

    QLabel* Label1 = nullptr;
    QPushButton* overwrite = nullptr;  // tag 0
    QPushButton* resume = nullptr;     // tag 1
    QPushButton* skip = nullptr;       // tag 2
    QCheckBox* all = nullptr;
    QCheckBox* AutoClose = nullptr;
    QTimer* Timer1 = nullptr;

    // Preselected action before showing; the chosen one after closing.
    int Tag = 0;
    // The countdown; counted down on every tick while AutoClose is checked.
    int AutoCloseTag = 0;

    // One countdown step: runs on every tick of Timer1 and once on show.
    void Timer1Timer();
    QPushButton* defaultButton() const;

    // The whole question: builds, shows modally and reads the window.
    static UserInteraction::TransferActionAnswer ask(QWidget* parent, const QString& text, int preselected,
                                                     bool autoClose, int countdownSeconds);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void buttonClick(int tag);
};

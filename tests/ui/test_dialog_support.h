#pragma once

// Helpers for the dialog tests: a UserInteraction that records what was
// asked and answers from a script, and a way to act on a modal dialog once
// its own event loop runs.

#include "person/user_interaction.h"

#include <QApplication>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <functional>

class RecordingUi : public UserInteraction {
public:
    QStringList messages;
    QStringList questions;
    bool yesNoAnswer = false;
    TransferActionAnswer transferAnswer;

    void showMessage(const QString& text) override { messages.append(text); }
    bool askYesNo(const QString& text, bool) override
    {
        questions.append(text);
        return yesNoAnswer;
    }
    TransferActionAnswer askTransferAction(const QString& text, int, bool, int) override
    {
        questions.append(text);
        return transferAnswer;
    }
    void showBugReport(const QString& code, const QString& text) override { messages.append(code + u' ' + text); }
};

// Runs `act` on the first modal dialog that shows up (polled on the event
// loop, never by sleeping). Call before the code that runs the dialog.
inline void onModal(std::function<void(QWidget*)> act)
{
    auto* poll = new QTimer;
    poll->setInterval(5);
    QObject::connect(poll, &QTimer::timeout, [poll, act] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible())
            return;
        poll->stop();
        poll->deleteLater();
        act(modal);
    });
    poll->start();
}

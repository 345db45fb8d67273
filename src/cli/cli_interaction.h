#pragma once

// The questions of the core answered without asking, for glimmerftp-cli:
// every question and message goes to standard error as text. Duplicates are
// added and deletes confirmed (the command itself is the confirmation); the
// existing-target prompt takes its preselected action, which is `--exists`
// or the setting. Every message box and bug report counts as a failure: the
// core shows one only when an operation did not succeed.

#include "person/user_interaction.h"

#include <QString>

#include <cstdio>
#include <functional>

class CliInteraction : public UserInteraction {
public:
    explicit CliInteraction(std::FILE* err = stderr) : m_err(err) {}

    void showMessage(const QString& text) override;
    bool askYesNo(const QString& text, bool warning) override;
    TransferActionAnswer askTransferAction(const QString& text, int preselected, bool autoClose,
                                           int countdownSeconds) override;
    void showBugReport(const QString& code, const QString& exceptionText) override;
    // Never trusts by itself: prints the certificate, and how to accept it
    // with --trust, and counts as a failure.
    CertificateAnswer askCertificate(const FtpCertificate& certificate, const QString& changedFrom) override;

    // A failure found by the front end itself (a failed download is only a
    // log line in the window, a dropped session only a status line). Written
    // as terminalLines() makes it.
    void reportFailure(const QString& text);
    int failures() const { return m_failures; }

    // Writes one text to standard error as it is, with a line end.
    void write(const QString& text);
    // A text of the core, which may hold names and replies from the server,
    // ready for a terminal: its line breaks ("\r\r\n", "\r\n", "\n") become
    // "\n", empty lines go, and every other control character is escaped.
    static QString terminalLines(const QString& text);
    // Called before anything is written: the progress bar clears its line.
    std::function<void()> beforeWrite;

private:
    std::FILE* m_err;
    int m_failures = 0;
};

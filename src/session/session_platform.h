#pragma once

// What the session core needs from the desktop besides questions to the
// person (UserInteraction): the clock, sounds, the clipboard, opening files
// and the new-version check. The window implements it with the platform's
// services, the command line with HeadlessPlatform, tests with a script.

#include "keyring/password_keyring.h"

#include <QString>

#include <memory>

class SessionPlatform {
public:
    virtual ~SessionPlatform() = default;

    // The wall clock in days since 1899-12-30 (entry_date.h). Reconnection
    // delays and the keep-alive count with it, so tests inject their own.
    virtual double now() = 0;
    // Plays a sound file without waiting for it to end.
    virtual void playSound(const QString& file) = 0;
    virtual void stopSounds() = 0;
    virtual QString clipboardText() = 0;
    virtual void clearClipboard() = 0;
    // Opens a file with the program the system associates with it.
    virtual void openWithAssociatedProgram(const QString& path) = 0;
    // Opens a file in the system's plain-text viewer.
    virtual void openInTextViewer(const QString& path) = 0;
    // Starts the new-version check; automatic checks report into the log.
    virtual void startUpdateCheck(bool automatic) = 0;
    // Where passwords are kept besides the data file.
    virtual PasswordKeyring& keyring() = 0;
};

// No desktop at all: the real clock, silence, a private clipboard and no
// viewers, but the session's keyring when there is one. Used by the command
// line.
class HeadlessPlatform : public SessionPlatform {
public:
    double now() override;
    void playSound(const QString&) override {}
    void stopSounds() override {}
    QString clipboardText() override { return m_clipboard; }
    void clearClipboard() override { m_clipboard.clear(); }
    void openWithAssociatedProgram(const QString&) override {}
    void openInTextViewer(const QString&) override {}
    void startUpdateCheck(bool) override {}
    PasswordKeyring& keyring() override { return *m_keyring; }

    void setClipboardText(const QString& text) { m_clipboard = text; }

private:
    QString m_clipboard;
    std::unique_ptr<PasswordKeyring> m_keyring = createDesktopKeyring();
};

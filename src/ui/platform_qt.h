#pragma once

// The desktop's services for the session: the wall clock, sounds played with
// QSoundEffect, the system clipboard, files opened with their associated
// program, a plain-text viewer, the new-version check and the keyring.

#include "session/session_platform.h"

#include <QObject>
#include <QPointer>

#include <functional>

class QSoundEffect;
class QWidget;
class UpdateCheck;
class UserInteraction;

class QtPlatform : public QObject, public SessionPlatform {
    Q_OBJECT
public:
    // Files above this size are shown only in part by the text viewer.
    static constexpr qint64 ViewerLimit = 4 * 1024 * 1024;

    explicit QtPlatform(QObject* parent = nullptr);
    ~QtPlatform() override;

    // The update check asks and reports through ui and logStatus (a status
    // line of the log); the viewer windows belong to window. Until set,
    // checks and viewers do nothing.
    void setDesktop(UserInteraction* ui, std::function<void(const QString&)> logStatus, QWidget* window);
    UpdateCheck* updateCheck() const { return m_update; }

    double now() override;
    void playSound(const QString& file) override;
    void stopSounds() override;
    QString clipboardText() override;
    void clearClipboard() override;
    void openWithAssociatedProgram(const QString& path) override;
    void openInTextViewer(const QString& path) override;
    void startUpdateCheck(bool automatic) override;
    PasswordKeyring& keyring() override { return *m_keyring; }

private:
    QPointer<QSoundEffect> m_sound;
    QPointer<QWidget> m_window;
    UpdateCheck* m_update = nullptr;
    std::unique_ptr<PasswordKeyring> m_keyring = createDesktopKeyring();
};

#pragma once

// The desktop's password store as the session sees it: named entries, each
// request answered once, later, on the event loop. The session never waits
// inside a call: the Secret Service answers over D-Bus, and a locked
// keyring may first ask the person to unlock it.
//
// An answer never arrives inside the call that asked, and never after
// `context` has been destroyed.

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

enum class KeyringCode {
    Ok,
    NotFound,     // no such entry (a locked keyring also answers this to a read)
    Unavailable,  // no keyring to ask, or it refused: no session bus, locked, no backend
};

struct KeyringResult {
    KeyringCode code = KeyringCode::Ok;
    QByteArray password;  // read: the stored bytes
    QString message;      // why, when the code is not Ok

    bool ok() const { return code == KeyringCode::Ok; }
};

class PasswordKeyring {
public:
    using Done = std::function<void(const KeyringResult&)>;

    virtual ~PasswordKeyring() = default;

    virtual void read(const QString& key, QObject* context, Done done) = 0;
    virtual void write(const QString& key, const QByteArray& password, QObject* context, Done done) = 0;
    virtual void remove(const QString& key, QObject* context, Done done) = 0;
};

// Answers every request with Unavailable: a build without keyring support.
class NoKeyring : public PasswordKeyring {
public:
    static inline const QString Reason = QStringLiteral("this build has no keyring support");

    void read(const QString&, QObject* context, Done done) override { refuse(context, std::move(done)); }
    void write(const QString&, const QByteArray&, QObject* context, Done done) override
    {
        refuse(context, std::move(done));
    }
    void remove(const QString&, QObject* context, Done done) override { refuse(context, std::move(done)); }

private:
    static void refuse(QObject* context, Done done);
};

// The keyring of the desktop session: the Secret Service through QtKeychain
// when the build has it (entries of the service "Glimmer FTP"), otherwise a
// NoKeyring.
std::unique_ptr<PasswordKeyring> createDesktopKeyring();

#pragma once

// What the keyring tests share: data files with sites, the built
// glimmerftp-cli run as a child, and the Secret Service's own view of the
// entries (secret-tool), independent of the code under test.

#include "../session/session_harness.h"
#include "store/data_file.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QProcess>

namespace keyringtest {

inline const QString NoKeyringText =
    QStringLiteral("Passwords are stored in the settings file: no keyring is available");

inline bool writeDataFile(const QString& path, const QList<tSiteObject>& sites, ProgramData settings = {})
{
    StreamContainer strm;
    return saveDataFile(strm, path, settings, encodeFavorites(sites)).ok();
}

inline QList<tSiteObject> storedSites(const QString& path)
{
    StreamContainer strm;
    loadDataFile(strm, path);
    return decodeFavorites(favoritesStream(strm));
}

inline tSiteObject site(const QByteArray& path, const QByteArray& password, quint16 port)
{
    tSiteObject s = tSiteObject::newSite();
    s.SiteName = path;
    s.SiteHost = "127.0.0.1";
    s.SitePort = QByteArray::number(port);
    s.SiteUser = "test";
    s.SitePassword = password;
    return s;
}

struct CliRun {
    int exitCode = -1;
    QByteArray err;
};

// glimmerftp-cli with `arguments`, in this process's environment (and so on
// its session bus, or on none).
inline CliRun runCli(const QStringList& arguments)
{
    QProcess p;
    p.start(QStringLiteral(GLIMMER_CLI_PATH), arguments);
    CliRun r;
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
        r.err = "<timed out>";
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.err = p.readAllStandardError();
    return r;
}

// The password the Secret Service holds for one of our keys, as secret-tool
// sees it; "<none>" when it has no such entry.
inline QByteArray secretServiceEntry(const QByteArray& key)
{
    QProcess p;
    p.start(QStringLiteral("secret-tool"),
            {QStringLiteral("search"), QStringLiteral("--all"), QStringLiteral("server"), QStringLiteral("Glimmer FTP"),
             QStringLiteral("user"), QString::fromUtf8(key)});
    if (!p.waitForFinished(20000))
        return "<no answer>";
    // "secret = ..." and "attribute.type = ..." lines (on standard error for
    // the attributes); QtKeychain keeps binary data base64-encoded.
    const QByteArray all = p.readAllStandardOutput() + '\n' + p.readAllStandardError();
    QByteArray secret, type;
    for (const QByteArray& line : all.split('\n')) {
        if (line.startsWith("secret = "))
            secret = line.mid(9);
        else if (line.startsWith("attribute.type = "))
            type = line.mid(17);
    }
    if (type.isEmpty())
        return "<none>";
    return type == "base64" ? QByteArray::fromBase64(secret) : secret;
}

// Waits for one answer of the keyring.
inline KeyringResult ask(const std::function<void(PasswordKeyring::Done)>& request)
{
    std::optional<KeyringResult> answer;
    request([&](const KeyringResult& r) { answer = r; });
    if (!QTest::qWaitFor([&] { return answer.has_value(); }, 20000))
        return {KeyringCode::Unavailable, {}, QStringLiteral("<no answer>")};
    return *answer;
}

// gnome-keyring-daemon for the Secret Service of the session bus, with its
// keyrings and control socket in a folder of its own. Started and stopped by
// the test, through its own child's pid.
class KeyringDaemon {
public:
    ~KeyringDaemon() { stop(); }

    // With a password the "login" keyring is unlocked with it (created at
    // the first start); without one it stays locked.
    bool start(const QByteArray& password)
    {
        if (!QDBusConnection::sessionBus().isConnected()) {
            m_why = QStringLiteral("no session bus: run this test under dbus-run-session (ctest does)");
            return false;
        }
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        const QString run = m_home.filePath(QStringLiteral("run"));
        QDir().mkpath(run);
        QFile::setPermissions(run, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        env.insert(QStringLiteral("HOME"), m_home.path());
        env.insert(QStringLiteral("XDG_DATA_HOME"), m_home.filePath(QStringLiteral("data")));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), run);
        env.remove(QStringLiteral("DISPLAY"));
        m_process.setProcessEnvironment(env);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QStringList args{QStringLiteral("--foreground"), QStringLiteral("--components=secrets")};
        if (!password.isEmpty())
            args << QStringLiteral("--unlock");
        m_process.start(QStringLiteral("gnome-keyring-daemon"), args);
        if (!m_process.waitForStarted(10000)) {
            m_why = m_process.errorString();
            return false;
        }
        if (!password.isEmpty())
            m_process.write(password);
        m_process.closeWriteChannel();
        if (!QTest::qWaitFor([] { return ownsSecrets(); }, 20000)) {
            m_why = QStringLiteral("gnome-keyring-daemon did not take org.freedesktop.secrets");
            return false;
        }
        return true;
    }

    void stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        if (!m_process.waitForFinished(10000)) {
            m_process.kill();
            m_process.waitForFinished();
        }
        if (!QTest::qWaitFor([] { return !ownsSecrets(); }, 10000))
            qWarning("the keyring daemon's bus name is still taken");
    }

    QString why() const { return m_why; }

private:
    static bool ownsSecrets()
    {
        return QDBusConnection::sessionBus().interface()->isServiceRegistered(
            QStringLiteral("org.freedesktop.secrets"));
    }

    QTemporaryDir m_home;
    QProcess m_process;
    QString m_why;
};

}  // namespace keyringtest

#include "support/pyftp_server.h"

#include <QDir>
#include <QFileInfo>

namespace testsupport {

// Options' member defaults are not usable in a default argument inside
// the class, hence the separate default constructor.
PyFtpServer::PyFtpServer() : PyFtpServer(Options{}) {}

PyFtpServer::PyFtpServer(Options options) : ServerProcess(QStringLiteral("pyftpdlib")), m_options(std::move(options))
{
    // Made now, so that a test can fill it before start().
    QDir().mkpath(root());
}

QString PyFtpServer::root() const { return filePath(QStringLiteral("root")); }

bool PyFtpServer::prepare(quint16 port, Launch& launch, QString& error)
{
    const QString script = sourcePath(QStringLiteral("tests/support/pyftpd_launcher.py"));
    if (!QFileInfo::exists(script)) {
        error = QStringLiteral("launcher not found: %1 (set GLIMMER_SOURCE_DIR)").arg(script);
        return false;
    }
    if (!QDir().mkpath(root())) {
        error = QStringLiteral("cannot create %1").arg(root());
        return false;
    }

    // Arguments go to the process as they are (no shell), so banners with
    // newlines arrive intact; "--name=value" keeps a value that starts with
    // "-" from being read as a flag.
    auto opt = [](const char* name, const QString& value) {
        return QStringLiteral("--%1=%2").arg(QLatin1String(name), value);
    };
    auto text = [](const QByteArray& b) { return QString::fromUtf8(b); };
    QStringList args{script,
                     opt("port", QString::number(port)),
                     opt("root", root()),
                     opt("user", text(m_options.user)),
                     opt("password", text(m_options.password)),
                     opt("perm", text(m_options.perm))};
    if (m_options.anonymous)
        args << QStringLiteral("--anonymous");
    if (!m_options.banner.isEmpty())
        args << opt("banner", text(m_options.banner));
    if (!m_options.loginMessage.isEmpty())
        args << opt("login-message", text(m_options.loginMessage));
    if (!m_options.userReply230.isEmpty())
        args << opt("user-reply-230", text(m_options.userReply230));
    for (const QString& command : m_options.disabledCommands)
        args << opt("disable", command);
    for (const QString& command : m_options.unansweredCommands)
        args << opt("unanswered", command);
    if (m_options.silent)
        args << QStringLiteral("--silent");
    if (!m_options.masqueradeAddress.isEmpty())
        args << opt("masquerade", text(m_options.masqueradeAddress));
    if (m_options.ipv6)
        args << opt("address", QStringLiteral("::1"));
    if (m_options.rawNames)
        args << QStringLiteral("--raw-names");
    if (!m_options.endlessFolder.isEmpty())
        args << opt("endless-folder", text(m_options.endlessFolder));
    if (!m_options.unlistableFolder.isEmpty())
        args << opt("unlistable", text(m_options.unlistableFolder));
    if (!m_options.unenterableFolder.isEmpty())
        args << opt("unenterable", text(m_options.unenterableFolder));
    if (m_options.passivePorts)
        args << opt("passive-ports",
                    QStringLiteral("%1-%2").arg(m_options.passivePorts->first).arg(m_options.passivePorts->second));
    if (m_options.idleTimeout > 0)
        args << opt("idle-timeout", QString::number(m_options.idleTimeout));
    if (m_options.maxConsPerIp > 0)
        args << opt("max-cons-per-ip", QString::number(m_options.maxConsPerIp));

    // Debian's pyftpdlib lives in the system interpreter, not in whatever
    // python3 comes first on PATH.
    launch.program = QStringLiteral("/usr/bin/python3");
    launch.arguments = args;
    return true;
}

}  // namespace testsupport

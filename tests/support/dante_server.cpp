#include "support/dante_server.h"

#include "support/ports.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QTcpSocket>
#include <QTest>

namespace testsupport {

namespace {

constexpr char kDanted[] = "/usr/sbin/danted";

// Runs a short helper program to its end; false when it fails.
bool runTool(const QString& program, const QStringList& args, const QByteArray& input, QString* output)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForStarted(5000))
        return false;
    if (!input.isEmpty())
        p.write(input);
    p.closeWriteChannel();
    if (!p.waitForFinished(15000)) {
        p.kill();
        p.waitForFinished(2000);
        return false;
    }
    if (output)
        *output = QString::fromLocal8Bit(p.readAllStandardOutput() + p.readAllStandardError());
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

bool portAccepts(quint16 port)
{
    QTcpSocket probe;
    probe.connectToHost(QHostAddress::LocalHost, port);
    const bool ok = probe.waitForConnected(500);
    probe.abort();
    return ok;
}

}  // namespace

DanteServer::DanteServer(Options options) : m_options(std::move(options))
{
    if (m_options.user.isEmpty())
        m_options.user = "glimsocks";
    if (m_options.password.isEmpty())
        m_options.password = "glimsocks-secret";
}

DanteServer::~DanteServer() { stop(); }

bool DanteServer::ensureSystemUser()
{
    const QString user = QString::fromLatin1(m_options.user);
    QString out;
    if (!runTool(QStringLiteral("/usr/bin/id"), {user}, {}, nullptr)) {
        if (!runTool(QStringLiteral("/usr/sbin/useradd"),
                     {QStringLiteral("-M"), QStringLiteral("-s"), QStringLiteral("/usr/sbin/nologin"), user}, {},
                     &out)) {
            m_error = QStringLiteral("useradd %1 failed: %2").arg(user, out);
            return false;
        }
    }
    // Always set the password: an older run may have left another one.
    if (!runTool(QStringLiteral("/usr/sbin/chpasswd"), {}, m_options.user + ':' + m_options.password + '\n', &out)) {
        m_error = QStringLiteral("chpasswd for %1 failed: %2").arg(user, out);
        return false;
    }
    return true;
}

bool DanteServer::start()
{
    stop();
    m_error.clear();
    if (!QFile::exists(QString::fromLatin1(kDanted))) {
        m_error = QStringLiteral("%1 is missing (Debian package dante-server)").arg(QString::fromLatin1(kDanted));
        return false;
    }
    if (m_options.requireUsername && !ensureSystemUser())
        return false;
    // The free port may be taken by someone else before Dante binds it.
    for (int attempt = 0; attempt < 3; ++attempt) {
        const quint16 port = freePort();
        if (port != 0 && startOnce(port))
            return true;
        stop();
    }
    return false;
}

bool DanteServer::startOnce(quint16 port)
{
    m_dir = std::make_unique<QTemporaryDir>();
    if (!m_dir->isValid()) {
        m_error = QStringLiteral("cannot create a temporary folder");
        return false;
    }
    const QString conf = m_dir->filePath(QStringLiteral("danted.conf"));
    const QByteArray method = m_options.requireUsername ? "username" : "none";
    QByteArray text;
    text += "logoutput: " + m_dir->filePath(QStringLiteral("danted.log")).toLocal8Bit() + "\n";
    text += "internal: 127.0.0.1 port = " + QByteArray::number(port) + "\n";
    text += "external: lo\n";
    text += "socksmethod: " + method + "\n";
    text += "clientmethod: none\n";
    text += "user.privileged: root\n";
    text += "user.unprivileged: nobody\n";
    text += "client pass { from: 127.0.0.0/8 to: 0.0.0.0/0 }\n";
    text += "socks pass { from: 127.0.0.0/8 to: 127.0.0.0/8 protocol: tcp udp }\n";
    QFile file(conf);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size()) {
        m_error = QStringLiteral("cannot write %1").arg(conf);
        return false;
    }
    file.close();

    m_process = std::make_unique<QProcess>();
    m_process->setProcessChannelMode(QProcess::MergedChannels);
    m_process->start(QString::fromLatin1(kDanted),
                     {QStringLiteral("-f"), conf, QStringLiteral("-p"), m_dir->filePath(QStringLiteral("danted.pid"))});
    if (!m_process->waitForStarted(5000)) {
        m_error = QStringLiteral("cannot start danted: %1").arg(m_process->errorString());
        return false;
    }
    QDeadlineTimer deadline(10000);
    while (!deadline.hasExpired()) {
        if (m_process->state() != QProcess::Running)
            break;
        if (portAccepts(port)) {
            m_port = port;
            return true;
        }
        QTest::qWait(50);
    }
    m_error =
        QStringLiteral("danted did not take connections on port %1 (%2)\noutput: %3\nlog: %4")
            .arg(port)
            .arg(m_process->state() == QProcess::Running ? QStringLiteral("still running") : QStringLiteral("exited"))
            .arg(QString::fromLocal8Bit(m_process->readAll()), logText());
    return false;
}

QString DanteServer::logText() const
{
    if (!m_dir)
        return {};
    QFile log(m_dir->filePath(QStringLiteral("danted.log")));
    if (!log.open(QIODevice::ReadOnly))
        return QStringLiteral("(no log)");
    return QString::fromLocal8Bit(log.readAll());
}

void DanteServer::stop()
{
    if (m_process) {
        if (m_process->state() != QProcess::NotRunning) {
            // SIGTERM to our own child by its pid; Dante ends its helpers.
            m_process->terminate();
            if (!m_process->waitForFinished(5000)) {
                m_process->kill();
                m_process->waitForFinished(2000);
            }
        }
        m_process.reset();
    }
    m_port = 0;
    m_dir.reset();
}

}  // namespace testsupport

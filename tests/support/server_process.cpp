#include "support/server_process.h"

#include "support/ports.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QSet>
#include <QTcpSocket>
#include <QThread>

#ifdef Q_OS_LINUX
#include <unistd.h>
#endif

namespace testsupport {

namespace {

constexpr qint64 kStartLimitMs = 15000;
constexpr qint64 kFixedPortLimitMs = 60000;
constexpr int kAttempts = 5;
constexpr qint64 kLogTailBytes = 6000;

}  // namespace

// /proc/net/tcp lists the inode of every LISTEN socket, and /proc/<pid>/fd
// links to "socket:[inode]" for every socket that process holds.
PortOwner listenerOwner(qint64 pid, quint16 port)
{
#ifdef Q_OS_LINUX
    QFile table(QStringLiteral("/proc/net/tcp"));
    if (pid <= 0 || !table.open(QIODevice::ReadOnly))
        return PortOwner::Unknown;
    const QByteArray portHex = QByteArray::number(port, 16).toUpper().rightJustified(4, '0');
    QSet<QByteArray> inodes;
    table.readLine();  // header
    while (!table.atEnd()) {
        // sl local_address rem_address st tx:rx tr:when retrnsmt uid timeout inode
        const QList<QByteArray> f = table.readLine().simplified().split(' ');
        if (f.size() < 10 || f[3] != "0A")
            continue;
        const int colon = f[1].indexOf(':');
        if (colon >= 0 && f[1].mid(colon + 1) == portHex)
            inodes.insert(f[9]);
    }
    if (inodes.isEmpty())
        return PortOwner::Unknown;
    const QString fdDir = QStringLiteral("/proc/%1/fd").arg(pid);
    const QStringList fds = QDir(fdDir).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    if (fds.isEmpty())
        return PortOwner::Unknown;  // not ours to read: do not judge
    for (const QString& fd : fds) {
        char target[128];
        const QByteArray link = QFile::encodeName(fdDir + QLatin1Char('/') + fd);
        const ssize_t n = ::readlink(link.constData(), target, sizeof target - 1);
        if (n <= 0)
            continue;
        const QByteArray t(target, int(n));
        if (t.startsWith("socket:[") && inodes.contains(t.mid(8, t.size() - 9)))
            return PortOwner::Ours;
    }
    return PortOwner::Other;
#else
    Q_UNUSED(pid);
    Q_UNUSED(port);
    return PortOwner::Unknown;
#endif
}

namespace {

// The last line of a reply is "ddd text" (or just "ddd"); the lines before
// it in a multi-line reply are "ddd-text" or free text.
bool isFinalReplyLine(const QByteArray& line)
{
    if (line.size() < 3)
        return false;
    for (int i = 0; i < 3; ++i)
        if (line[i] < '0' || line[i] > '9')
            return false;
    return line.size() == 3 || line[3] == ' ';
}

qint64 remaining(const QDeadlineTimer& deadline) { return qMax<qint64>(0, deadline.remainingTime()); }

}  // namespace

QString sourcePath(const QString& relative)
{
    QString root = qEnvironmentVariable("GLIMMER_SOURCE_DIR");
#ifdef GLIMMER_SOURCE_DIR_DEFAULT
    if (root.isEmpty())
        root = QStringLiteral(GLIMMER_SOURCE_DIR_DEFAULT);
#endif
    return QDir(root).filePath(relative);
}

ServerProcess::ServerProcess(QString name) : m_name(std::move(name))
{
    // QTemporaryDir makes the folder private (700); servers that switch to
    // an unprivileged user must still reach their root and log folders.
    if (m_dir.isValid())
        QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
                                                QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther);
}

ServerProcess::~ServerProcess() { endProcess(); }

bool ServerProcess::dirValid(QString& error) const
{
    if (m_dir.isValid())
        return true;
    error = QStringLiteral("cannot create a temporary folder: %1").arg(m_dir.errorString());
    return false;
}

bool ServerProcess::isRunning() const { return m_process && m_process->state() != QProcess::NotRunning; }

qint64 ServerProcess::pid() const { return m_process ? m_process->processId() : 0; }

bool ServerProcess::start()
{
    if (isRunning())
        return true;
    m_error.clear();
    m_greeting.clear();
    m_port = 0;
    if (!dirValid(m_error))
        return false;

    const quint16 fixed = fixedPort();
    const qint64 limitMs = fixed ? kFixedPortLimitMs : kStartLimitMs;
    const QDeadlineTimer deadline(limitMs);
    for (int attempt = 1; fixed ? !deadline.hasExpired() : attempt <= kAttempts; ++attempt) {
        const quint16 port = fixed ? fixed : freePort(listenAddress());
        if (port == 0) {
            m_error = m_name + QStringLiteral(": no free port on 127.0.0.1");
            return false;
        }
        Launch how;
        QString why;
        if (!prepare(port, how, why)) {
            m_error = m_name + QStringLiteral(": ") + why;
            return false;
        }
        m_logFiles = how.logFiles;
        if (!launch(port, how, attempt))
            return false;

        const Wait result = waitUntilReady(port, deadline);
        if (result == Wait::Ready) {
            m_port = port;
            return true;
        }
        endProcess();
        switch (result) {
        case Wait::Exited:
        case Wait::Foreign:
            // Most likely the port was taken: try another one, or wait for
            // the one we must have to come free.
            if (fixed)
                QThread::msleep(200);
            continue;
        case Wait::Refused:
            break;  // m_error names the reply
        case Wait::TimedOut:
            m_error =
                QStringLiteral("%1: no greeting on port %2 within %3 s").arg(m_name).arg(port).arg(limitMs / 1000);
            break;
        case Wait::Ready:
        case Wait::Closed:
            break;
        }
        m_error += QStringLiteral("\n--- server log ---\n") + QString::fromUtf8(logTail());
        return false;
    }
    const QString what =
        fixed ? QStringLiteral("port %1 stayed busy, or the server exited").arg(fixed)
              : QStringLiteral("the server exited %1 times (port taken, or it cannot start)").arg(kAttempts);
    m_error =
        m_name + QStringLiteral(": ") + what + QStringLiteral("\n--- server log ---\n") + QString::fromUtf8(logTail());
    return false;
}

bool ServerProcess::launch(quint16 port, const Launch& how, int attempt)
{
    const QString output = filePath(QStringLiteral("server-output.log"));
    {
        QFile f(output);
        if (f.open(QIODevice::Append))
            f.write(QStringLiteral("--- attempt %1: %2 %3 (port %4)\n")
                        .arg(attempt)
                        .arg(how.program, how.arguments.join(QLatin1Char(' ')))
                        .arg(port)
                        .toUtf8());
    }
    m_process = std::make_unique<QProcess>();
    m_process->setProgram(how.program);
    m_process->setArguments(how.arguments);
    m_process->setWorkingDirectory(dirPath());
    // Output goes to a file, never to a pipe: a pipe nobody drains while
    // the test thread is busy would block the server once it fills.
    m_process->setStandardInputFile(QProcess::nullDevice());
    m_process->setProcessChannelMode(QProcess::MergedChannels);
    m_process->setStandardOutputFile(output, QIODevice::Append);
    m_process->start();
    if (!m_process->waitForStarted(5000)) {
        m_error = QStringLiteral("%1: cannot run %2: %3").arg(m_name, how.program, m_process->errorString());
        m_process.reset();
        return false;
    }
    return true;
}

ServerProcess::Wait ServerProcess::waitUntilReady(quint16 port, const QDeadlineTimer& deadline)
{
    while (remaining(deadline) > 0) {
        if (m_process->state() == QProcess::NotRunning)
            return Wait::Exited;
        QTcpSocket socket;
        socket.connectToHost(listenAddress(), port);
        if (socket.waitForConnected(int(qMin<qint64>(1000, remaining(deadline))))) {
            if (listenerOwner(m_process->processId(), port) == PortOwner::Other)
                return Wait::Foreign;
            if (!greets())
                return Wait::Ready;
            const Wait w = readGreeting(socket, deadline);
            if (w != Wait::Closed)
                return w;
        }
        socket.abort();
        // The pause between probes; it ends at once if the server exits.
        m_process->waitForFinished(int(qMin<qint64>(50, remaining(deadline))));
    }
    return Wait::TimedOut;
}

// Reads the whole greeting. A connection closed without one is probed
// again until the server exits or the deadline passes.
ServerProcess::Wait ServerProcess::readGreeting(QTcpSocket& socket, const QDeadlineTimer& deadline)
{
    QByteArray text;
    while (remaining(deadline) > 0) {
        while (socket.canReadLine()) {
            QByteArray line = socket.readLine();
            text += line;
            while (line.endsWith('\n') || line.endsWith('\r'))
                line.chop(1);
            if (!isFinalReplyLine(line))
                continue;
            if (line.startsWith("220")) {
                m_greeting = text;
                return Wait::Ready;
            }
            m_error = QStringLiteral("%1: the server greeted with: %2").arg(m_name, QString::fromUtf8(text.trimmed()));
            return Wait::Refused;
        }
        if (socket.state() != QAbstractSocket::ConnectedState)
            return Wait::Closed;
        socket.waitForReadyRead(int(qMin<qint64>(500, remaining(deadline))));
    }
    return Wait::TimedOut;
}

void ServerProcess::stop()
{
    endProcess();
    m_port = 0;
}

void ServerProcess::endProcess()
{
    if (!m_process)
        return;
    if (m_process->state() != QProcess::NotRunning) {
        m_process->terminate();  // SIGTERM to its pid
        if (!m_process->waitForFinished(5000)) {
            m_process->kill();
            m_process->waitForFinished(3000);
        }
    }
    m_process.reset();
}

QByteArray ServerProcess::logText() const
{
    QByteArray text;
    QStringList files{filePath(QStringLiteral("server-output.log"))};
    files += m_logFiles;
    for (const QString& name : files) {
        QFile f(name);
        if (!f.open(QIODevice::ReadOnly))
            continue;
        text += "=== " + QFile::encodeName(QFileInfo(name).fileName()) + " ===\n";
        text += f.readAll();
        if (!text.endsWith('\n'))
            text += '\n';
    }
    return text;
}

QByteArray ServerProcess::logTail() const
{
    const QByteArray text = logText();
    if (text.size() <= kLogTailBytes)
        return text;
    return "...\n" + text.right(kLogTailBytes);
}

}  // namespace testsupport

#include "support/ftp_probe.h"

#include <QDeadlineTimer>
#include <QRegularExpression>
#include <QTest>

namespace testsupport {

namespace {

bool hasCode(const QByteArray& line)
{
    if (line.size() < 3)
        return false;
    for (int i = 0; i < 3; ++i)
        if (line[i] < '0' || line[i] > '9')
            return false;
    return true;
}

}  // namespace

FtpProbe::FtpProbe(int timeoutMs) : m_timeoutMs(timeoutMs) {}

bool FtpProbe::fail(const QString& why)
{
    m_error = why;
    return false;
}

bool FtpProbe::connectTo(quint16 port)
{
    m_error.clear();
    m_socket.connectToHost(QHostAddress::LocalHost, port);
    if (!QTest::qWaitFor(
            [this] {
                return m_socket.state() == QAbstractSocket::ConnectedState ||
                       m_socket.state() == QAbstractSocket::UnconnectedState;
            },
            m_timeoutMs) ||
        !isConnected())
        return fail(QStringLiteral("connect to port %1: %2").arg(port).arg(m_socket.errorString()));
    return true;
}

// RFC 959 framing: "ddd text" is a whole reply; "ddd-text" opens one that
// ends with the first line starting "ddd ".
FtpProbe::Reply FtpProbe::readReply()
{
    Reply reply;
    QByteArray open;  // "ddd " that ends the multi-line reply being read
    const QDeadlineTimer deadline(m_timeoutMs);
    for (;;) {
        while (m_socket.canReadLine()) {
            QByteArray line = m_socket.readLine();
            while (line.endsWith('\n') || line.endsWith('\r'))
                line.chop(1);
            reply.lines << line;
            const bool final =
                open.isEmpty() ? hasCode(line) && (line.size() == 3 || line[3] != '-') : line.startsWith(open);
            if (open.isEmpty() && hasCode(line) && !final)
                open = line.left(3) + ' ';
            if (final) {
                reply.code = line.left(3).toInt();
                return reply;
            }
        }
        if (!isConnected() || deadline.hasExpired())
            break;
        (void)QTest::qWaitFor([this] { return m_socket.canReadLine() || !isConnected(); },
                              int(qMax<qint64>(1, deadline.remainingTime())));
    }
    m_error = QStringLiteral("no complete reply (%1): %2")
                  .arg(isConnected() ? QStringLiteral("timed out") : QStringLiteral("closed"),
                       QString::fromUtf8(reply.text()));
    return reply;
}

FtpProbe::Reply FtpProbe::command(const QByteArray& line)
{
    m_socket.write(line + "\r\n");
    return readReply();
}

FtpProbe::Reply FtpProbe::login(const QByteArray& user, const QByteArray& password)
{
    Reply reply = command("USER " + user);
    if (reply.code / 100 == 3)
        reply = command("PASS " + password);
    return reply;
}

quint16 FtpProbe::passivePort(const QByteArray& reply227)
{
    static const QRegularExpression numbers(QStringLiteral("(\\d+),(\\d+),(\\d+),(\\d+),(\\d+),(\\d+)"));
    const QRegularExpressionMatch m = numbers.match(QString::fromLatin1(reply227));
    if (!m.hasMatch())
        return 0;
    const int port = m.captured(5).toInt() * 256 + m.captured(6).toInt();
    return port > 0 && port < 65536 ? quint16(port) : 0;
}

std::optional<QByteArray> FtpProbe::passiveTransfer(const QByteArray& command)
{
    const Reply pasv = this->command("PASV");
    const quint16 port = pasv.code == 227 ? passivePort(pasv.text()) : 0;
    if (port == 0) {
        fail(QStringLiteral("PASV: %1").arg(QString::fromUtf8(pasv.text())));
        return std::nullopt;
    }
    QTcpSocket data;
    data.connectToHost(QHostAddress::LocalHost, port);
    if (!QTest::qWaitFor(
            [&data] {
                return data.state() == QAbstractSocket::ConnectedState ||
                       data.state() == QAbstractSocket::UnconnectedState;
            },
            m_timeoutMs) ||
        data.state() != QAbstractSocket::ConnectedState) {
        fail(QStringLiteral("data connection to %1: %2").arg(port).arg(data.errorString()));
        return std::nullopt;
    }
    const Reply start = this->command(command);
    if (start.code != 125 && start.code != 150) {
        fail(QStringLiteral("%1: %2").arg(QString::fromUtf8(command), QString::fromUtf8(start.text())));
        return std::nullopt;
    }
    QByteArray received;
    (void)QTest::qWaitFor(
        [&] {
            received += data.readAll();
            return data.state() == QAbstractSocket::UnconnectedState;
        },
        m_timeoutMs);
    received += data.readAll();
    const Reply done = readReply();
    if (done.code != 226 && done.code != 250) {
        fail(QStringLiteral("%1 did not complete: %2").arg(QString::fromUtf8(command), QString::fromUtf8(done.text())));
        return std::nullopt;
    }
    return received;
}

bool FtpProbe::waitForClosed()
{
    return QTest::qWaitFor([this] { return m_socket.state() == QAbstractSocket::UnconnectedState; }, m_timeoutMs);
}

}  // namespace testsupport

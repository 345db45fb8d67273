#pragma once

#include <QByteArray>
#include <QList>
#include <QTcpSocket>

#include <optional>

namespace testsupport {

// A bare FTP control connection for checking servers and fixtures in tests:
// send a line, collect one reply. Deliberately not the product's client, so
// a fixture can be proved without the code under test.
class FtpProbe {
public:
    struct Reply {
        int code = 0;             // 0: no complete reply (closed or timed out)
        QList<QByteArray> lines;  // as received, without CR LF
        QByteArray text() const { return lines.join('\n'); }
    };

    explicit FtpProbe(int timeoutMs = 10000);

    bool connectTo(quint16 port);
    Reply readReply();
    Reply command(const QByteArray& line);
    // USER, then PASS when USER asked for it; the last reply (230 on success).
    Reply login(const QByteArray& user, const QByteArray& password);
    // PASV, then `command` (LIST, NLST, RETR x) over the passive data
    // connection: what came over it, or nothing with errorString().
    std::optional<QByteArray> passiveTransfer(const QByteArray& command = "LIST");
    // True once the server has closed the connection.
    bool waitForClosed();
    bool isConnected() const { return m_socket.state() == QAbstractSocket::ConnectedState; }
    // What happened when something failed, with the replies seen.
    QString errorString() const { return m_error; }

    // "227 Entering Passive Mode (h1,h2,h3,h4,p1,p2)": the port, 0 if none.
    static quint16 passivePort(const QByteArray& reply227);

private:
    bool fail(const QString& why);

    QTcpSocket m_socket;
    int m_timeoutMs;
    QString m_error;
};

}  // namespace testsupport

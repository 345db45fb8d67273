// Connecting by address list: a name's addresses are tried in turn when one
// refuses or stays silent, IPv6 included, each attempt with its own limit.

#include "net/async_socket.h"
#include "net/socket_errors.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace net;

namespace {

// A listener on 127.0.0.1 that nobody accepts from, with room for no
// connection in its queue: once one connection fills it, further SYNs go
// unanswered and a connect to it hangs.
struct SilentListener {
    int fd = -1;
    quint16 port = 0;
    QTcpSocket filler;
    SilentListener()
    {
        fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&a), len) != 0 || ::listen(fd, 0) != 0 ||
            ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) != 0)
            return;
        port = ntohs(a.sin_port);
        filler.connectToHost(QHostAddress::LocalHost, port);
        filler.waitForConnected(5000);
    }
    ~SilentListener()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

}  // namespace

class TestAddresses : public QObject {
    Q_OBJECT
private slots:
    void refusedAddressIsSkipped()
    {
        QTcpServer server;  // on 127.0.0.1 only: 127.0.0.2 refuses
        QVERIFY(server.listen(QHostAddress::LocalHost, 0));
        AsyncSocket s;
        QSignalSpy connected(&s, &AsyncSocket::sessionConnected);
        s.connectToAddresses({QHostAddress("127.0.0.2"), QHostAddress::LocalHost}, server.serverPort());
        QVERIFY(connected.wait(10000));
        QCOMPARE(connected.first().first().toInt(), 0);
        QCOMPARE(s.peerAddress(), QHostAddress(QHostAddress::LocalHost));

        // Every address refusing: the last refusal is the answer.
        AsyncSocket t;
        QSignalSpy failed(&t, &AsyncSocket::sessionConnected);
        t.connectToAddresses({QHostAddress("127.0.0.2"), QHostAddress("127.0.0.3")}, server.serverPort());
        QVERIFY(failed.wait(10000));
        QCOMPARE(failed.first().first().toInt(), int(ErrConnectionRefused));
    }

    // An address whose listener never takes the connection (its queue is
    // full, so the SYN goes unanswered) costs one attempt's limit; IPv6
    // answers next.
    void silentAddressTimesOutThenIPv6Answers()
    {
        SilentListener silent;
        QVERIFY(silent.port != 0);
        const quint16 port = silent.port;
        QTcpServer six;
        if (!six.listen(QHostAddress::LocalHostIPv6, port))
            QSKIP("the port is taken on ::1");

        AsyncSocket s;
        s.setConnectTimeout(300);
        QSignalSpy connected(&s, &AsyncSocket::sessionConnected);
        s.connectToAddresses({QHostAddress::LocalHost, QHostAddress::LocalHostIPv6}, port);
        QVERIFY(connected.wait(10000));
        QCOMPARE(connected.first().first().toInt(), 0);
        QCOMPARE(s.peerAddress(), QHostAddress(QHostAddress::LocalHostIPv6));

        // The silent address alone: the attempt's limit ends it.
        AsyncSocket t;
        t.setConnectTimeout(300);
        QSignalSpy timedOut(&t, &AsyncSocket::sessionConnected);
        t.connectToHost(QStringLiteral("127.0.0.1"), port);
        QVERIFY(timedOut.wait(10000));
        QCOMPARE(timedOut.first().first().toInt(), int(ErrTimedOut));
    }

    void bracketedLiterals()
    {
        QTcpServer six;
        QVERIFY(six.listen(QHostAddress::LocalHostIPv6, 0));
        for (const char* host : {"[::1]", "::1"}) {
            AsyncSocket s;
            QSignalSpy connected(&s, &AsyncSocket::sessionConnected);
            s.connectToHost(QString::fromLatin1(host), six.serverPort());
            QVERIFY(connected.wait(10000));
            QCOMPARE(connected.first().first().toInt(), 0);
            AsyncSocket lookup;
            QSignalSpy done(&lookup, &AsyncSocket::dnsLookupDone);
            lookup.dnsLookup(QString::fromLatin1(host));
            QVERIFY(done.wait(10000));
            QCOMPARE(lookup.dnsResults(), QList<QHostAddress>{QHostAddress::LocalHostIPv6});
        }
    }
};

QTEST_GUILESS_MAIN(TestAddresses)
#include "test_addresses.moc"

// AsyncSocket against in-process peers on 127.0.0.1: connect, data, close,
// errors, listen/accept, line mode, lifetime.

#include "net/async_socket.h"
#include "net/native_socket.h"
#include "net/socket_errors.h"
#include "support/ports.h"

#include <QPointer>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <sys/socket.h>

using namespace net;

namespace {

constexpr int kWait = 10000;

// Scripted peer: a QTcpServer whose accepted sockets echo what they get.
class EchoPeer : public QObject {
public:
    EchoPeer()
    {
        server.listen(QHostAddress::LocalHost, 0);
        connect(&server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* s = server.nextPendingConnection()) {
                last = s;
                connect(s, &QTcpSocket::readyRead, s, [s] { s->write(s->readAll()); });
            }
        });
    }
    QTcpServer server;
    QPointer<QTcpSocket> last;
};

// Collects everything received until the peer closes, and the order of the
// two kinds of events.
struct Recorder {
    QByteArray data;
    QStringList events;
    int closedError = -1;

    void attach(AsyncSocket* s, bool readInSlot = true)
    {
        QObject::connect(s, &AsyncSocket::dataAvailable, s, [this, s, readInSlot](int) {
            events << QStringLiteral("data");
            if (readInSlot)
                data += s->receive();
        });
        QObject::connect(s, &AsyncSocket::sessionClosed, s, [this](int e) {
            events << QStringLiteral("closed");
            closedError = e;
        });
    }
};

bool connectTo(AsyncSocket& s, const QString& host, quint16 port, int* error)
{
    QSignalSpy spy(&s, &AsyncSocket::sessionConnected);
    s.connectToHost(host, port);
    if (spy.count() != 0)
        return false;  // must not fire inside the call
    if (!spy.wait(kWait))
        return false;
    *error = spy.at(0).at(0).toInt();
    return true;
}

}  // namespace

class TestAsyncSocket : public QObject {
    Q_OBJECT
private slots:
    void roundTrip_data();
    void roundTrip();
    void connectFailures_data();
    void connectFailures();
    void dnsLookup_data();
    void dnsLookup();
    void cancelDnsLookup();
    void peerCloseOrder_data();
    void peerCloseOrder();
    void boundedReads();
    void gracefulCloseFlushes();
    void peerReset();
    void resetOnAcceptEnds();
    void abortAndClose();
    void deleteInSlot();
    void lineMode_data();
    void lineMode();
    void listenAccept();
    void acceptAfterPeerClosed();
    void sendAndCloseRightAfterAccept();
};

void TestAsyncSocket::roundTrip_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<bool>("plainOnly");
    QTest::newRow("address") << QStringLiteral("127.0.0.1") << false;
    QTest::newRow("name") << QStringLiteral("localhost") << false;
    QTest::newRow("address, plain only") << QStringLiteral("127.0.0.1") << true;
}

void TestAsyncSocket::roundTrip()
{
    QFETCH(QString, host);
    QFETCH(bool, plainOnly);
    EchoPeer peer;
    AsyncSocket s;
    s.setPlainOnly(plainOnly);
    int error = -1;
    QVERIFY(connectTo(s, host, peer.server.serverPort(), &error));
    QCOMPARE(error, 0);
    QCOMPARE(s.state(), SocketState::Connected);
    QCOMPARE(s.localAddress(), QHostAddress(QHostAddress::LocalHost));
    QVERIFY(s.localPort() != 0);
    QCOMPARE(s.peerPort(), peer.server.serverPort());

    QSignalSpy sent(&s, &AsyncSocket::dataSent);
    const QByteArray payload = QByteArray("hello ") + QByteArray(200000, 'x');
    QCOMPARE(s.send(payload), qint64(payload.size()));
    QVERIFY(sent.wait(kWait));
    QCOMPARE(sent.at(0).at(0).toInt(), 0);
    QByteArray got;
    connect(&s, &AsyncSocket::dataAvailable, &s, [&] { got += s.receive(); });
    QVERIFY(QTest::qWaitFor([&] { return got.size() >= payload.size(); }, kWait));
    QCOMPARE(got, payload);

    // A short send handed over at once leaves nothing behind for the event
    // loop's next pass.
    got.clear();
    QCOMPARE(s.send("NOOP\r\n"), qint64(6));
    s.flush();
    QCOMPARE(s.bufferedSendBytes(), qint64(0));
    QVERIFY(QTest::qWaitFor([&] { return got == "NOOP\r\n"; }, kWait));

    if (plainOnly) {
        // A plain-only connection cannot start TLS: refused, not a crash,
        // and the connection goes on.
        QSignalSpy tls(&s, &AsyncSocket::tlsReady);
        s.startClientEncryption(QStringLiteral("localhost"));
        QVERIFY(tls.count() == 1 || tls.wait(kWait));
        QCOMPARE(tls.at(0).at(0).toInt(), int(ErrNotConnected));
        QCOMPARE(s.state(), SocketState::Connected);
    }

    QSignalSpy closed(&s, &AsyncSocket::sessionClosed);
    s.close();
    QCOMPARE(closed.count(), 0);
    QVERIFY(closed.count() == 1 || closed.wait(kWait));
    QCOMPARE(closed.at(0).at(0).toInt(), 0);
    QVERIFY(s.isClosed());
    QCOMPARE(s.send("more"), qint64(-1));
    s.close();  // closing a closed socket does nothing
    QTest::qWait(0);
    QCOMPARE(closed.count(), 1);
}

void TestAsyncSocket::connectFailures_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::addColumn<int>("error");
    QTest::newRow("refused") << QStringLiteral("127.0.0.1") << int(testsupport::freePort())
                             << int(ErrConnectionRefused);
    // .invalid never resolves (RFC 6761); the answer comes from the local resolver.
    QTest::newRow("unknown host") << QStringLiteral("no-such-host.glimmer.invalid") << 21 << int(ErrHostNotFound);
    QTest::newRow("empty host") << QString() << 21 << int(ErrHostNotFound);
}

void TestAsyncSocket::connectFailures()
{
    QFETCH(QString, host);
    QFETCH(int, port);
    QFETCH(int, error);
    AsyncSocket s;
    QSignalSpy closed(&s, &AsyncSocket::sessionClosed);
    int got = -1;
    QVERIFY(connectTo(s, host, quint16(port), &got));
    QCOMPARE(got, error);
    QCOMPARE(s.lastError(), error);
    QVERIFY(s.isClosed());
    QCOMPARE(closed.count(), 0);
}

void TestAsyncSocket::dnsLookup_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("error");
    QTest::addColumn<QString>("address");
    QTest::newRow("dotted") << QStringLiteral("127.0.0.1") << 0 << QStringLiteral("127.0.0.1");
    QTest::newRow("localhost") << QStringLiteral("localhost") << 0 << QStringLiteral("127.0.0.1");
    QTest::newRow("invalid") << QStringLiteral("nothing.invalid") << int(ErrHostNotFound) << QString();
}

void TestAsyncSocket::dnsLookup()
{
    QFETCH(QString, host);
    QFETCH(int, error);
    QFETCH(QString, address);
    AsyncSocket s;
    QSignalSpy done(&s, &AsyncSocket::dnsLookupDone);
    s.dnsLookup(host);
    QCOMPARE(done.count(), 0);
    QVERIFY(done.wait(kWait));
    QCOMPARE(done.at(0).at(0).toInt(), error);
    QCOMPARE(s.dnsResult(), address.isEmpty() ? QHostAddress() : QHostAddress(address));
    QVERIFY(s.isClosed());
}

void TestAsyncSocket::cancelDnsLookup()
{
    AsyncSocket cancelled, witness;
    QSignalSpy cancelledDone(&cancelled, &AsyncSocket::dnsLookupDone);
    QSignalSpy witnessDone(&witness, &AsyncSocket::dnsLookupDone);
    cancelled.dnsLookup(QStringLiteral("localhost"));
    cancelled.cancelDnsLookup();
    QVERIFY(cancelled.isClosed());
    witness.dnsLookup(QStringLiteral("localhost"));
    QVERIFY(witnessDone.wait(kWait));
    QTest::qWait(0);
    QCOMPARE(cancelledDone.count(), 0);

    // A cancelled dotted lookup (answered through the event loop) too.
    cancelled.dnsLookup(QStringLiteral("127.0.0.1"));
    cancelled.cancelDnsLookup();
    QTest::qWait(0);
    QCOMPARE(cancelledDone.count(), 0);
}

void TestAsyncSocket::peerCloseOrder_data()
{
    QTest::addColumn<bool>("readInSlot");
    QTest::newRow("slot reads") << true;
    QTest::newRow("slot does not read") << false;
}

// The peer writes and closes at once: the last bytes are announced before
// sessionClosed, and whatever the slot left stays readable afterwards.
void TestAsyncSocket::peerCloseOrder()
{
    QFETCH(bool, readInSlot);
    QTcpServer peer;
    QVERIFY(peer.listen(QHostAddress::LocalHost, 0));
    const QByteArray payload = "226-last lines\r\n" + QByteArray(100000, 'z');
    connect(&peer, &QTcpServer::newConnection, &peer, [&] {
        QTcpSocket* c = peer.nextPendingConnection();
        c->write(payload);
        c->disconnectFromHost();
    });
    AsyncSocket s;
    Recorder rec;
    rec.attach(&s, readInSlot);
    int error = -1;
    QVERIFY(connectTo(s, QStringLiteral("127.0.0.1"), peer.serverPort(), &error));
    QCOMPARE(error, 0);
    QVERIFY(QTest::qWaitFor([&] { return rec.closedError >= 0; }, kWait));
    QCOMPARE(rec.closedError, 0);
    QCOMPARE(rec.events.last(), QStringLiteral("closed"));
    QVERIFY(rec.events.contains(QStringLiteral("data")));
    if (!readInSlot)
        rec.data = s.receive();
    QCOMPARE(rec.data.size(), payload.size());
    QCOMPARE(rec.data, payload);
    QVERIFY(s.isClosed());
}

// A bounded read buffer hands out small pieces, still every byte, and the
// close only after the last of them.
void TestAsyncSocket::boundedReads()
{
    QTcpServer peer;
    QVERIFY(peer.listen(QHostAddress::LocalHost, 0));
    QByteArray payload(512 * 1024, Qt::Uninitialized);
    for (int i = 0; i < payload.size(); ++i)
        payload[i] = char(i * 7);
    connect(&peer, &QTcpServer::newConnection, &peer, [&] {
        QTcpSocket* c = peer.nextPendingConnection();
        c->write(payload);
        c->disconnectFromHost();
    });
    AsyncSocket s;
    s.setReadBufferSize(16384);
    QByteArray got;
    qsizetype largest = 0;
    bool closed = false;
    bool dataAfterClose = false;
    connect(&s, &AsyncSocket::dataAvailable, &s, [&](int) {
        dataAfterClose = dataAfterClose || closed;
        const QByteArray piece = s.receive();
        largest = qMax(largest, piece.size());
        got += piece;
    });
    connect(&s, &AsyncSocket::sessionClosed, &s, [&](int) { closed = true; });
    int error = -1;
    QVERIFY(connectTo(s, QStringLiteral("127.0.0.1"), peer.serverPort(), &error));
    QCOMPARE(error, 0);
    QVERIFY(QTest::qWaitFor([&] { return closed; }, kWait));
    QVERIFY(!dataAfterClose);
    QVERIFY2(largest <= 16384, QByteArray::number(largest));
    QVERIFY(got == payload);

    // A reader that does not read holds no more than the bound; the rest
    // waits in the system and comes when it does read.
    AsyncSocket lazy;
    lazy.setReadBufferSize(16384);
    QVERIFY(connectTo(lazy, QStringLiteral("127.0.0.1"), peer.serverPort(), &error));
    QTest::qWait(300);
    QVERIFY2(lazy.bytesAvailable() <= 16384, QByteArray::number(lazy.bytesAvailable()));
    QByteArray all;
    QVERIFY(QTest::qWaitFor(
        [&] {
            all += lazy.receive();
            return all.size() == payload.size();
        },
        kWait));
    QVERIFY(all == payload);
}

void TestAsyncSocket::gracefulCloseFlushes()
{
    QTcpServer peer;
    QVERIFY(peer.listen(QHostAddress::LocalHost, 0));
    QByteArray got;
    bool peerSawEnd = false;
    connect(&peer, &QTcpServer::newConnection, &peer, [&] {
        QTcpSocket* c = peer.nextPendingConnection();
        connect(c, &QTcpSocket::readyRead, c, [&, c] { got += c->readAll(); });
        connect(c, &QTcpSocket::disconnected, c, [&, c] {
            got += c->readAll();
            peerSawEnd = true;
        });
    });
    AsyncSocket s;
    int error = -1;
    QVERIFY(connectTo(s, QStringLiteral("127.0.0.1"), peer.serverPort(), &error));
    QSignalSpy closed(&s, &AsyncSocket::sessionClosed);
    const QByteArray payload(4 * 1024 * 1024, 'q');
    QCOMPARE(s.send(payload), qint64(payload.size()));
    s.close();
    QCOMPARE(s.state(), SocketState::Closing);
    QVERIFY(closed.wait(kWait));
    QCOMPARE(closed.at(0).at(0).toInt(), 0);
    QVERIFY(QTest::qWaitFor([&] { return peerSawEnd; }, kWait));
    QCOMPARE(got.size(), payload.size());
}

// A peer that closes with SO_LINGER {1, 0} sends a reset.
void TestAsyncSocket::peerReset()
{
    QTcpServer peer;
    QVERIFY(peer.listen(QHostAddress::LocalHost, 0));
    connect(&peer, &QTcpServer::newConnection, &peer, [&] {
        QTcpSocket* c = peer.nextPendingConnection();
        connect(c, &QTcpSocket::readyRead, c, [c] {
            setNativeLinger(c->socketDescriptor(), true, 0);
            c->abort();
        });
    });
    AsyncSocket s;
    QSignalSpy closed(&s, &AsyncSocket::sessionClosed);
    int error = -1;
    QVERIFY(connectTo(s, QStringLiteral("127.0.0.1"), peer.serverPort(), &error));
    QCOMPARE(error, 0);
    s.send("NOOP\r\n");
    QVERIFY(closed.wait(kWait));
    QCOMPARE(closed.at(0).at(0).toInt(), int(ErrConnectionReset));
    QVERIFY(s.isClosed());
}

// A server that resets every connection as soon as it accepts it: Qt then
// keeps retrying the connect on its own, so only the connect timeout ends it.
void TestAsyncSocket::resetOnAcceptEnds()
{
    QTcpServer peer;
    QVERIFY(peer.listen(QHostAddress::LocalHost, 0));
    connect(&peer, &QTcpServer::newConnection, &peer, [&] {
        while (QTcpSocket* c = peer.nextPendingConnection()) {
            setNativeLinger(c->socketDescriptor(), true, 0);
            c->abort();
            c->deleteLater();
        }
    });
    AsyncSocket s;
    s.setConnectTimeout(300);
    int error = -1;
    QVERIFY(connectTo(s, QStringLiteral("127.0.0.1"), peer.serverPort(), &error));
    QVERIFY2(error != 0, qPrintable(socketErrorText(error)));
    QVERIFY(s.isClosed());
}

void TestAsyncSocket::abortAndClose()
{
    EchoPeer peer;
    AsyncSocket s;
    QSignalSpy closed(&s, &AsyncSocket::sessionClosed);
    QSignalSpy connected(&s, &AsyncSocket::sessionConnected);

    // Abort while connecting: sessionClosed, from the event loop, and no
    // sessionConnected afterwards.
    s.connectToHost(QStringLiteral("localhost"), peer.server.serverPort());
    s.abort();
    QVERIFY(s.isClosed());
    QCOMPARE(closed.count(), 0);
    QVERIFY(closed.wait(kWait));
    QTest::qWait(20);
    QCOMPARE(connected.count(), 0);

    int error = -1;
    QVERIFY(connectTo(s, QStringLiteral("127.0.0.1"), peer.server.serverPort(), &error));
    QCOMPARE(error, 0);
    s.send(QByteArray(1024, 'a'));
    s.abort();
    QVERIFY(closed.wait(kWait));
    QCOMPARE(closed.count(), 2);
    s.abort();
    s.close();
    QTest::qWait(0);
    QCOMPARE(closed.count(), 2);
}

// A slot may delete the socket; nothing may touch it afterwards.
void TestAsyncSocket::deleteInSlot()
{
    EchoPeer peer;
    for (int round = 0; round < 2; ++round) {
        QPointer<AsyncSocket> s = new AsyncSocket;
        int error = -1;
        QVERIFY(connectTo(*s, QStringLiteral("127.0.0.1"), peer.server.serverPort(), &error));
        bool deleted = false;
        if (round == 0) {
            connect(s, &AsyncSocket::dataAvailable, s, [&] {
                delete s.data();
                deleted = true;
            });
            s->send("ping");
        } else {
            connect(s, &AsyncSocket::sessionClosed, s, [&] {
                delete s.data();
                deleted = true;
            });
            QVERIFY(QTest::qWaitFor([&] { return !peer.last.isNull(); }, kWait));
            peer.last->write("bye");
            peer.last->disconnectFromHost();
        }
        QVERIFY(QTest::qWaitFor([&] { return deleted; }, kWait));
        QVERIFY(s.isNull());
        QTest::qWait(20);  // let deferred deletions run
    }
}

void TestAsyncSocket::lineMode_data()
{
    QTest::addColumn<QByteArray>("lineEnd");
    QTest::addColumn<QList<QByteArray>>("chunks");
    QTest::addColumn<QList<QByteArray>>("lines");
    QTest::addColumn<QByteArray>("rest");
    QTest::addColumn<int>("maxLine");

    QTest::newRow("crlf, split line") << QByteArray("\r\n")
                                      << QList<QByteArray>{"220-first\r\n220 sec", "ond\r\n230 x\r\n"}
                                      << QList<QByteArray>{"220-first\r\n", "220 second\r\n", "230 x\r\n"}
                                      << QByteArray() << 0;
    QTest::newRow("crlf split between cr and lf")
        << QByteArray("\r\n") << QList<QByteArray>{"331 pass\r", "\n200 ok\r\npartial"}
        << QList<QByteArray>{"331 pass\r\n", "200 ok\r\n"} << QByteArray("partial") << 0;
    QTest::newRow("bare lf is no line end") << QByteArray("\r\n") << QList<QByteArray>{"500 a\n500 b\r\n"}
                                            << QList<QByteArray>{"500 a\n500 b\r\n"} << QByteArray() << 0;
    QTest::newRow("lf") << QByteArray("\n") << QList<QByteArray>{"a\nb\n", "c"} << QList<QByteArray>{"a\n", "b\n"}
                        << QByteArray("c") << 0;
    QTest::newRow("long line cut at the limit") << QByteArray("\r\n") << QList<QByteArray>{"0123456789ab\r\n"}
                                                << QList<QByteArray>{"01234567", "89ab\r\n"} << QByteArray() << 8;
    QTest::newRow("endless line cut at the limit") << QByteArray("\r\n") << QList<QByteArray>{"abcdefghij"}
                                                   << QList<QByteArray>{"abcdefgh"} << QByteArray("ij") << 8;
}

void TestAsyncSocket::lineMode()
{
    QFETCH(QByteArray, lineEnd);
    QFETCH(QList<QByteArray>, chunks);
    QFETCH(QList<QByteArray>, lines);
    QFETCH(QByteArray, rest);
    QFETCH(int, maxLine);

    EchoPeer listener;  // only its server is used; nothing is echoed back
    QTcpSocket* peerSide = nullptr;
    disconnect(&listener.server, nullptr, nullptr, nullptr);
    connect(&listener.server, &QTcpServer::newConnection, &listener,
            [&] { peerSide = listener.server.nextPendingConnection(); });
    AsyncSocket s;
    s.setLineMode(true, lineEnd);
    s.setMaxLineLength(maxLine);
    QVERIFY(s.lineMode());
    QList<QByteArray> got;
    int signals_ = 0;
    // One line per signal: the socket repeats dataAvailable for the rest.
    connect(&s, &AsyncSocket::dataAvailable, &s, [&] {
        ++signals_;
        QVERIFY(s.canReadLine());
        got << s.receiveLine();
    });
    int error = -1;
    QVERIFY(connectTo(s, QStringLiteral("127.0.0.1"), listener.server.serverPort(), &error));
    QVERIFY(QTest::qWaitFor([&] { return peerSide != nullptr; }, kWait));
    qint64 total = 0;
    for (const QByteArray& chunk : chunks) {
        peerSide->write(chunk);
        total += chunk.size();
        // Wait until the chunk has arrived; then no line may be pending.
        QVERIFY(QTest::qWaitFor(
            [&] {
                qint64 seen = s.bytesAvailable();
                for (const QByteArray& l : got)
                    seen += l.size();
                return seen == total;
            },
            kWait));
        QVERIFY(!s.canReadLine());
    }
    QCOMPARE(got, lines);
    QCOMPARE(signals_, int(lines.size()));
    QCOMPARE(s.receive(), rest);
}

void TestAsyncSocket::listenAccept()
{
    AsyncSocket listener;
    listener.setLinger(true, 3);
    QVERIFY(listener.listen(QHostAddress::LocalHost, 0));
    QCOMPARE(listener.state(), SocketState::Listening);
    QVERIFY(listener.localPort() != 0);
    QCOMPARE(listener.accept(), nullptr);

    // The port is taken now: a second listener on it fails with a number.
    AsyncSocket second;
    QVERIFY(!second.listen(QHostAddress::LocalHost, listener.localPort()));
    QCOMPARE(second.lastError(), int(ErrAddressInUse));

    QSignalSpy available(&listener, &AsyncSocket::sessionAvailable);
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, listener.localPort());
    QVERIFY(available.wait(kWait));
    QCOMPARE(available.at(0).at(0).toInt(), 0);
    std::unique_ptr<AsyncSocket> accepted(listener.accept());
    QVERIFY(accepted);
    QCOMPARE(accepted->state(), SocketState::Connected);
    QCOMPARE(accepted->peerPort(), client.localPort());
    bool on = false;
    int seconds = -1;
    QVERIFY(nativeLinger(accepted->socketDescriptor(), &on, &seconds));
    QVERIFY(on);
    QCOMPARE(seconds, 3);

    QByteArray got;
    connect(accepted.get(), &AsyncSocket::dataAvailable, accepted.get(), [&] { got += accepted->receive(); });
    client.write("abc");
    QVERIFY(QTest::qWaitFor([&] { return got == "abc"; }, kWait));
    accepted->send("xyz");
    QVERIFY(QTest::qWaitFor([&] { return client.bytesAvailable() >= 3; }, kWait));
    QCOMPARE(client.readAll(), QByteArray("xyz"));

    QSignalSpy listenerClosed(&listener, &AsyncSocket::sessionClosed);
    listener.close();
    QVERIFY(listener.isClosed());
    QVERIFY(listenerClosed.wait(kWait));
    QVERIFY(accepted->state() == SocketState::Connected);  // the accepted one lives on
}

// A data connection whose peer wrote and closed before we accepted it.
void TestAsyncSocket::acceptAfterPeerClosed()
{
    AsyncSocket listener;
    QVERIFY(listener.listen(QHostAddress::LocalHost, 0));
    QSignalSpy available(&listener, &AsyncSocket::sessionAvailable);
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, listener.localPort());
    QVERIFY(client.waitForConnected(kWait));
    client.write("listing\r\n");
    client.disconnectFromHost();
    QVERIFY(available.count() == 1 || available.wait(kWait));
    // Let the accepted side see the data and the close before anyone listens.
    QTest::qWait(50);
    std::unique_ptr<AsyncSocket> accepted(listener.accept());
    QVERIFY(accepted);
    Recorder rec;
    rec.attach(accepted.get());
    QVERIFY(QTest::qWaitFor([&] { return rec.closedError >= 0; }, kWait));
    QCOMPARE(rec.data, QByteArray("listing\r\n"));
    QCOMPARE(rec.events, (QStringList{"data", "closed"}));
}

QTEST_GUILESS_MAIN(TestAsyncSocket)
#include "test_async_socket.moc"

// An accepted socket that sends everything and closes at once, before the
// event loop has turned: every byte must reach the peer.
void TestAsyncSocket::sendAndCloseRightAfterAccept()
{
    AsyncSocket listener;
    QVERIFY(listener.listen(QHostAddress::LocalHost, 0));
    // More than the system's socket buffers take at once, so that some of it
    // still waits in ours when the close is asked for.
    QByteArray payload(32 * 1024 * 1024, Qt::Uninitialized);
    for (int i = 0; i < payload.size(); ++i)
        payload[i] = char(i * 13);
    std::unique_ptr<AsyncSocket> accepted;
    connect(&listener, &AsyncSocket::sessionAvailable, &listener, [&](int) {
        accepted.reset(listener.accept());
        QVERIFY(accepted);
        QCOMPARE(accepted->send(payload), qint64(payload.size()));
        accepted->close();
    });
    QTcpSocket client;
    QByteArray got;
    bool closed = false;
    connect(&client, &QTcpSocket::readyRead, &client, [&] { got += client.readAll(); });
    connect(&client, &QTcpSocket::disconnected, &client, [&] { closed = true; });
    client.connectToHost(QHostAddress::LocalHost, listener.localPort());
    QVERIFY(QTest::qWaitFor([&] { return closed; }, kWait));
    got += client.readAll();
    QCOMPARE(got.size(), payload.size());
    QVERIFY(got == payload);
}

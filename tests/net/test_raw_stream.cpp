// A connection taken over from AsyncSocket as a RawStream: nothing received
// before the takeover is lost, the connection survives Qt's socket, files go
// out with sendfile, and the ends (orderly close, reset) reach the peer.

#include "net/async_socket.h"
#include "net/native_socket.h"
#include "net/raw_stream.h"
#include "net/socket_errors.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryFile>
#include <QTest>

#include <fcntl.h>
#include <unistd.h>

using namespace net;

class TestRawStream : public QObject {
    Q_OBJECT
private slots:
    void takeOverReadAndSend()
    {
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost, 0));
        AsyncSocket s;
        QSignalSpy connected(&s, &AsyncSocket::sessionConnected);
        s.connectToHost(QStringLiteral("127.0.0.1"), server.serverPort());
        QVERIFY(connected.wait(10000));
        QVERIFY(QTest::qWaitFor([&] { return server.hasPendingConnections(); }, 5000));
        QTcpSocket* peer = server.nextPendingConnection();
        peer->write("before");
        peer->flush();
        QVERIFY(QTest::qWaitFor([&] { return s.bytesAvailable() == 6; }, 5000));

        std::unique_ptr<RawStream> raw(s.takeStream());
        QVERIFY(raw);
        QVERIFY(s.isClosed());
        peer->write(QByteArray(300000, 'a'));
        peer->flush();
        QByteArray got;
        char buffer[65536];
        QVERIFY(QTest::qWaitFor(
            [&] {
                const qint64 n = raw->read(buffer, sizeof buffer);
                if (n > 0)
                    got.append(buffer, n);
                return got.size() == 300006;
            },
            10000));
        QVERIFY(got == "before" + QByteArray(300000, 'a'));

        // A file, straight from the disk.
        QTemporaryFile file;
        QVERIFY(file.open());
        QByteArray content(5 << 20, Qt::Uninitialized);
        for (int i = 0; i < content.size(); ++i)
            content[i] = char(i * 31 + (i >> 13));
        file.write(content);
        file.flush();
        const int fd = ::open(QFile::encodeName(file.fileName()).constData(), O_RDONLY);
        QVERIFY(fd >= 0);
        qint64 offset = 1000;  // a restart offset
        QByteArray atPeer;
        QObject::connect(peer, &QTcpSocket::readyRead, [&] { atPeer += peer->readAll(); });
        QVERIFY(QTest::qWaitFor(
            [&] {
                if (offset < content.size() && raw->sendFile(fd, &offset, content.size() - offset) < 0)
                    return true;
                return offset == content.size();
            },
            10000));
        ::close(fd);
        raw->close();
        QVERIFY(QTest::qWaitFor([&] { return peer->state() != QAbstractSocket::ConnectedState; }, 10000));
        atPeer += peer->readAll();
        QCOMPARE(atPeer.size(), content.size() - 1000);
        QVERIFY(atPeer == content.mid(1000));

        // Reading past the end says so.
        QCOMPARE(raw->read(buffer, 10), qint64(-1));
    }

    void peerEndAndReset()
    {
        for (bool reset : {false, true}) {
            QTcpServer server;
            QVERIFY(server.listen(QHostAddress::LocalHost, 0));
            AsyncSocket s;
            QSignalSpy connected(&s, &AsyncSocket::sessionConnected);
            s.connectToHost(QStringLiteral("127.0.0.1"), server.serverPort());
            QVERIFY(connected.wait(10000));
            QVERIFY(QTest::qWaitFor([&] { return server.hasPendingConnections(); }, 5000));
            QTcpSocket* peer = server.nextPendingConnection();
            std::unique_ptr<RawStream> raw(s.takeStream());
            QVERIFY(raw);
            raw->watchReadable(true);
            QSignalSpy readable(raw.get(), &RawStream::readable);
            if (reset) {
                setNativeLinger(peer->socketDescriptor(), true, 0);  // the close is then a reset
                peer->abort();
            } else {
                peer->write("x");
                peer->disconnectFromHost();
            }
            QVERIFY(readable.wait(5000));
            char c = 0;
            qint64 n = 0;
            QVERIFY(QTest::qWaitFor(
                [&] {
                    n = raw->read(&c, 1);
                    return n != 0;
                },
                5000));
            if (!reset) {
                QCOMPARE(n, qint64(1));
                QVERIFY(QTest::qWaitFor([&] { return raw->read(&c, 1) == -1; }, 5000));
                QCOMPARE(raw->error(), 0);
            } else {
                QCOMPARE(n, qint64(-1));
                QCOMPARE(raw->error(), int(ErrConnectionReset));
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestRawStream)
#include "test_raw_stream.moc"

// Byte-level reply situations no real server produces on demand, played by a
// minimal scripted peer: a reply ending in a bare LF, a reply line longer
// than the receive buffer.

#include "engine_probe.h"
#include "scripted_ftp_peer.h"

#include <QFile>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

class TestReplyFraming : public QObject {
    Q_OBJECT
private slots:
    void bareLineFeed_data()
    {
        QTest::addColumn<bool>("acceptLF");
        QTest::newRow("with ftpAcceptLF") << true;
        QTest::newRow("without ftpAcceptLF") << false;
    }
    void bareLineFeed()
    {
        QFETCH(bool, acceptLF);
        ScriptedFtpPeer peer;
        EngineProbe p;
        p.server("u", "p", peer.port());
        p.ftp.setOptions(acceptLF ? TFtpOptions{TFtpOption::ftpAcceptLF} : TFtpOptions{});
        p.ftp.Open();
        QVERIFY(peer.accept());
        peer.write("220 hello\n");
        if (acceptLF) {
            QVERIFY(p.waitDone());
            QCOMPARE(p.done.first(), qMakePair(TFtpRequest::ftpRqOpen, 0));
            QCOMPARE(p.ftp.LastResponse(), QByteArray("220 hello"));
            return;
        }
        // The line stays in the buffer until a CR LF arrives.
        QVERIFY(QTest::qWaitFor([&] { return p.ftp.Connected(); }, 10000));
        QTest::qWait(300);
        QCOMPARE(p.responses, 0);
        QCOMPARE(p.ftp.State(), TFtpState::ftpStWaitingBanner);
        peer.write("\r\n");
        QVERIFY(p.waitDone());
        QCOMPARE(p.done.first(), qMakePair(TFtpRequest::ftpRqOpen, 0));
        QCOMPARE(p.ftp.LastResponse(), QByteArray("220 hello"));
    }

    void overlongLineDoesNotStall()
    {
        ScriptedFtpPeer peer;
        EngineProbe p;
        p.server("u", "p", peer.port());
        p.ftp.Open();
        QVERIFY(peer.accept());
        peer.write("220 " + QByteArray(6000, 'x') + "\r\n");
        QVERIFY(p.waitDone());
        QCOMPARE(p.done.first(), qMakePair(TFtpRequest::ftpRqOpen, 0));
        // the remainder arrives as a line of its own and the session goes on
        p.ftp.Pwd();
        QVERIFY(peer.waitReceived("PWD\r\n"));
        peer.write("257 \"/home\" is current\r\n");
        QVERIFY(p.waitDone(2));
        QCOMPARE(p.done.last(), qMakePair(TFtpRequest::ftpRqPwd, 0));
        QCOMPARE(p.ftp.DirResult(), QByteArray("/home"));
    }

    // A greeting that never ends is a broken server, not a slow one: the
    // request ends and the connection is closed.
    void endlessMultiLineReply()
    {
        ScriptedFtpPeer peer;
        EngineProbe p;
        p.server("u", "p", peer.port());
        p.ftp.Connect();
        QVERIFY(peer.accept());
        QByteArray lines;
        for (int i = 0; i < 11000; ++i)
            lines += "220-and on and on\r\n";
        peer.write(lines);
        QVERIFY(p.waitDone());
        QCOMPARE(p.done.first(), qMakePair(TFtpRequest::ftpRqConnect, 500));
        QCOMPARE(p.ftp.LastResponse(), QByteArray("500 Reply too long: more than 10000 lines"));
        QVERIFY(!p.ftp.ControlSocketOpen());
    }

    // An exception thrown by a handler inside an engine event ends the
    // request with a report instead of leaving it waiting for ever.
    void exceptionInAHandlerEndsTheRequest()
    {
        ScriptedFtpPeer peer;
        EngineProbe p;
        p.server("u", "p", peer.port());
        p.ftp.Open();
        QVERIFY(peer.accept());
        peer.write("220 ready\r\n");
        QVERIFY(p.waitDone());
        QStringList caught;
        QObject::connect(&p.ftp, &TFtpClient::OnBgException,
                         [&](const std::exception& e, bool&) { caught << QString::fromUtf8(e.what()); });
        auto thrower = QObject::connect(&p.ftp, &TFtpClient::OnResponse, [] { throw std::runtime_error("boom"); });
        p.ftp.Pwd();
        QVERIFY(peer.waitReceived("PWD\r\n"));
        peer.write("257 \"/\"\r\n");
        QVERIFY(p.waitDone(2));
        QCOMPARE(p.done.last(), qMakePair(TFtpRequest::ftpRqPwd, 500));
        QCOMPARE(caught, QStringList{"boom"});
        QCOMPARE(p.ftp.State(), TFtpState::ftpStReady);
        QObject::disconnect(thrower);
        p.ftp.Pwd();  // and the engine goes on
        QVERIFY(peer.waitReceived("PWD\r\n", 2));
        peer.write("257 \"/\"\r\n");
        QVERIFY(p.waitDone(3));
        QCOMPARE(p.done.last(), qMakePair(TFtpRequest::ftpRqPwd, 0));
    }

    void closeWithoutReplyIsAFailure()
    {
        ScriptedFtpPeer peer;
        EngineProbe p;
        p.server("u", "p", peer.port());
        p.ftp.Open();
        QVERIFY(peer.accept());
        peer.write("220 ready\r\n");
        QVERIFY(p.waitDone());
        p.ftp.setHostDirName("/pub");
        p.ftp.Cwd();
        QVERIFY(peer.waitReceived("CWD /pub\r\n"));
        peer.closeClient();  // the server goes away without answering
        QVERIFY(p.waitDone(2));
        QCOMPARE(p.done.last(), qMakePair(TFtpRequest::ftpRqCwd, 421));
        QCOMPARE(p.closed.size(), 1);
        QVERIFY(!p.ftp.Connected());
        QVERIFY(p.ftp.ErrorMessage().startsWith("421"));
    }

    // The end of a transfer needs both the final reply and the close of the
    // data connection, whichever comes first.
    void transferEndsOnReplyAndClose_data()
    {
        QTest::addColumn<bool>("replyFirst");
        QTest::newRow("226 before the data close") << true;
        QTest::newRow("data close before the 226") << false;
    }
    void transferEndsOnReplyAndClose()
    {
        QFETCH(bool, replyFirst);
        ScriptedFtpPeer peer;
        QTcpServer dataServer;
        QVERIFY(dataServer.listen(QHostAddress::LocalHost, 0));
        EngineProbe p;
        QVERIFY(openOn(peer, p));
        QTemporaryDir dir;
        QTcpSocket* data = startPassiveGet(peer, dataServer, p, dir.filePath("out.txt"));
        QVERIFY(data);
        if (replyFirst) {
            peer.write("226 Transfer complete\r\n");
            QVERIFY(QTest::qWaitFor([&] { return p.lines.contains("< 226 Transfer complete"); }, 10000));
            QTest::qWait(200);
            QCOMPARE(p.done.size(), 1);  // not finished: the data is still coming
            data->write("line one\r\nline two\r\n");
            data->disconnectFromHost();
        } else {
            data->write("line one\r\nline two\r\n");
            data->disconnectFromHost();
            QTest::qWait(300);
            QCOMPARE(p.done.size(), 1);  // not finished: no final reply yet
            peer.write("226 Transfer complete\r\n");
        }
        QVERIFY(p.waitDone(2));
        QCOMPARE(p.done.last(), qMakePair(TFtpRequest::ftpRqGet, 0));
        QFile out(dir.filePath("out.txt"));
        QVERIFY(out.open(QIODevice::ReadOnly));
        QCOMPARE(out.readAll(), QByteArray("line one\r\nline two\r\n"));
    }

    // The control connection drops in the middle of a download: the request
    // fails, and the engine can connect again and transfer.
    void controlLostMidTransfer()
    {
        QTemporaryDir dir;
        EngineProbe p;
        for (int round = 0; round < 2; ++round) {
            ScriptedFtpPeer peer;
            QTcpServer dataServer;
            QVERIFY(dataServer.listen(QHostAddress::LocalHost, 0));
            QVERIFY(openOn(peer, p));
            const int before = p.done.size() - 1;
            QTcpSocket* data = startPassiveGet(peer, dataServer, p, dir.filePath("out.txt"));
            QVERIFY(data);
            data->write("partial");
            if (round == 0) {
                QVERIFY(QTest::qWaitFor([&] { return p.ftp.ByteCount() > 0; }, 10000));
                peer.closeClient();
                QVERIFY(p.waitDone(before + 2));
                QCOMPARE(p.done.last(), qMakePair(TFtpRequest::ftpRqGet, 421));
                QVERIFY(!p.ftp.Connected());
            } else {
                data->disconnectFromHost();
                peer.write("226 Transfer complete\r\n");
                QVERIFY(p.waitDone(before + 2));
                QCOMPARE(p.done.last(), qMakePair(TFtpRequest::ftpRqGet, 0));
            }
        }
    }

    void unusablePassiveReplies_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::newRow("no parentheses") << QByteArray("227 Entering Passive Mode 127,0,0,1,4,1");
        QTest::newRow("port 0") << QByteArray("227 Entering Passive Mode (127,0,0,1,0,0)");
        QTest::newRow("byte above 255") << QByteArray("227 Entering Passive Mode (127,0,0,1,256,1)");
        QTest::newRow("too few numbers") << QByteArray("227 Entering Passive Mode (127,0,0,1)");
    }
    void unusablePassiveReplies()
    {
        QFETCH(QByteArray, reply);
        ScriptedFtpPeer peer;
        EngineProbe p;
        QVERIFY(openOn(peer, p));
        p.ftp.setPassive(true);
        p.ftp.setLocalFileName("/dev/null");
        p.ftp.setHostFileName("f.txt");
        p.ftp.Get();
        QVERIFY(peer.waitReceived("PASV\r\n"));
        peer.write(reply + "\r\n");
        QVERIFY(p.waitDone(2));
        QCOMPARE(p.done.last(), qMakePair(TFtpRequest::ftpRqGet, 550));
        QCOMPARE(p.ftp.StatusCode(), 550);
        QCOMPARE(p.ftp.LastResponse(),
                 QByteArray("Unable to establish data connection, error #10049 (Address not available)"));
        QCOMPARE(p.linesWith("> RETR"), 0);
    }

private:
    // Starts a passive download of f.txt and plays the server up to the 150;
    // returns the server's end of the data connection.
    static QTcpSocket* startPassiveGet(ScriptedFtpPeer& peer, QTcpServer& dataServer, EngineProbe& p,
                                       const QString& localPath)
    {
        p.ftp.setPassive(true);
        p.ftp.setLocalFileName(QFile::encodeName(localPath));
        p.ftp.setHostFileName("f.txt");
        p.ftp.Get();
        return playPassive(peer, dataServer, "RETR f.txt");
    }
};

QTEST_GUILESS_MAIN(TestReplyFraming)
#include "test_reply_framing.moc"

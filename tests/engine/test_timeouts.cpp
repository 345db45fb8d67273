// The inactivity time-out: a server that stops answering ends the request
// with a clear error and closes the connection as a dropped one, whatever
// the request was waiting for. The clock is injected: no real waiting.

#include "engine_probe.h"
#include "scripted_ftp_peer.h"

#include "net/socket_errors.h"
#include "support/pyftp_server.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using testsupport::PyFtpServer;

namespace {

// An engine on a fake clock: `now` only moves when the test moves it.
struct TimedProbe : EngineProbe {
    qint64 now = 1000000;
    TimedProbe()
    {
        ftp.setClock([this] { return now; });
        ftp.setInactivityTimeout(30);
    }
    // Moves the clock and gives the engine's check a chance to run.
    void pass(int seconds)
    {
        now += qint64(seconds) * 1000;
        QTest::qWait(700);
    }
    bool timedOut(int count = 1)
    {
        return waitDone(count, 10000) && done.last().second == net::ErrTimedOut &&
               ftp.LastResponse() == "Connection timed out after 30 seconds of inactivity";
    }
};

}  // namespace

class TestTimeouts : public QObject {
    Q_OBJECT
private slots:
    // No banner, no answer to USER: the log-in ends, the session is closed
    // as by the server (OnSessionClosed carries the time-out).
    void silentServers_data()
    {
        QTest::addColumn<bool>("greets");
        QTest::newRow("no banner") << false;
        QTest::newRow("no answer to USER") << true;
    }
    void silentServers()
    {
        QFETCH(bool, greets);
        PyFtpServer::Options o;
        o.silent = !greets;
        o.unansweredCommands = {"USER"};
        PyFtpServer server(o);
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        TimedProbe p;
        p.server(server.user(), server.password(), server.port());
        p.ftp.Connect();
        QVERIFY(QTest::qWaitFor([&] { return p.ftp.Connected() && (!greets || p.sent("USER") == 1); }, 10000));
        p.pass(29);
        QVERIFY2(p.done.isEmpty(), p.dump());  // not yet
        p.pass(2);
        QVERIFY2(p.timedOut(), p.dump());
        QCOMPARE(p.done.first().first, TFtpRequest::ftpRqConnect);
        QCOMPARE(p.closed, QList<int>{net::ErrTimedOut});
        QVERIFY(!p.ftp.Connected() && !p.ftp.ControlSocketOpen());
        QCOMPARE(p.ftp.State(), TFtpState::ftpStReady);
        QCOMPARE(p.done.size(), 1);
        QVERIFY(p.ftp.ErrorMessage().startsWith("Connection timed out"));
    }

    // Bytes keep a transfer alive; a stall in the middle ends it, and what
    // arrived stays in the local file for a later resume.
    void stalledDownload()
    {
        ScriptedFtpPeer peer;
        QTcpServer dataServer;
        QVERIFY(dataServer.listen(QHostAddress::LocalHost, 0));
        TimedProbe p;
        QVERIFY(openOn(peer, p));
        QTemporaryDir dir;
        p.ftp.setPassive(true);
        p.ftp.setLocalFileName(QFile::encodeName(dir.filePath("out.bin")));
        p.ftp.setHostFileName("f.bin");
        p.ftp.Get();
        QTcpSocket* data = playPassive(peer, dataServer, "RETR f.bin");
        QVERIFY(data);
        for (int i = 0; i < 4; ++i) {  // 80 seconds in all, never 30 in a row
            data->write(QByteArray(1000, 'x'));
            data->flush();
            QVERIFY(QTest::qWaitFor([&] { return p.ftp.ByteCount() == 1000 * (i + 1); }, 10000));
            p.pass(20);
        }
        QCOMPARE(p.done.size(), 1);
        p.pass(11);
        QVERIFY2(p.timedOut(2), p.dump());
        QCOMPARE(p.done.last().first, TFtpRequest::ftpRqGet);
        QFile out(dir.filePath("out.bin"));
        QCOMPARE(out.size(), qint64(4000));
        QCOMPARE(p.closed, QList<int>{net::ErrTimedOut});
    }

    // Everything arrived, the data connection closed, but no 226 comes.
    void noFinalReply()
    {
        ScriptedFtpPeer peer;
        QTcpServer dataServer;
        QVERIFY(dataServer.listen(QHostAddress::LocalHost, 0));
        TimedProbe p;
        QVERIFY(openOn(peer, p));
        QTemporaryDir dir;
        p.ftp.setPassive(true);
        p.ftp.setLocalFileName(QFile::encodeName(dir.filePath("out.bin")));
        p.ftp.setHostFileName("f.bin");
        p.ftp.Get();
        QTcpSocket* data = playPassive(peer, dataServer, "RETR f.bin");
        QVERIFY(data);
        data->write("all of it");
        data->disconnectFromHost();
        QVERIFY(QTest::qWaitFor([&] { return p.ftp.ByteCount() == 9; }, 10000));
        p.pass(31);
        QVERIFY2(p.timedOut(2), p.dump());
    }

    // 0 means never; and an idle session is not timed (only requests are).
    void zeroMeansNeverAndIdleIsFine()
    {
        ScriptedFtpPeer peer;
        TimedProbe p;
        QVERIFY(openOn(peer, p));
        p.pass(3600);
        QVERIFY(p.ftp.Connected());
        p.ftp.setInactivityTimeout(0);
        p.ftp.Pwd();
        QVERIFY(peer.waitReceived("PWD\r\n"));
        p.pass(3600);
        QCOMPARE(p.done.size(), 1);
        peer.write("257 \"/\"\r\n");
        QVERIFY(p.waitDone(2));
        QCOMPARE(p.done.last(), qMakePair(TFtpRequest::ftpRqPwd, 0));
    }
};

QTEST_GUILESS_MAIN(TestTimeouts)
#include "test_timeouts.moc"

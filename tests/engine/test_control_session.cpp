// The control session against real servers: log-in, sequences, failures,
// refusals and abort.

#include "engine_probe.h"

#include "support/pyftp_server.h"
#include "support/vsftpd_server.h"

#include <QFile>
#include <QTcpServer>
#include <QTest>

using testsupport::PyFtpServer;

class TestControlSession : public QObject {
    Q_OBJECT
private slots:
    void loginOnPyftpdlib()
    {
        PyFtpServer server;
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        EngineProbe p;
        p.server(server.user(), server.password(), server.port());
        QCOMPARE(p.ftp.State(), TFtpState::ftpStReady);
        p.ftp.Connect();
        QVERIFY(p.done.isEmpty());  // reported only after the call returned
        QVERIFY2(p.waitDone(), p.dump());
        QCOMPARE(p.done.first(), qMakePair(TFtpRequest::ftpRqConnect, 0));
        QCOMPARE(p.ftp.State(), TFtpState::ftpStReady);
        QVERIFY(p.ftp.Connected());
        QVERIFY(p.ftp.ControlSocketOpen());
        QCOMPARE(p.ftp.StatusCode(), 230);
        QCOMPARE(p.connectedEvents, 1);
        QVERIFY(p.lines.contains("> USER test"));
        QVERIFY(p.lines.contains("> PASS secret"));

        // single steps on the open session
        p.ftp.Pwd();
        QVERIFY(p.waitDone(2));
        QCOMPARE(p.done.last(), qMakePair(TFtpRequest::ftpRqPwd, 0));
        QCOMPARE(p.ftp.DirResult(), QByteArray("/"));

        p.ftp.setHostFileName("new dir");
        p.ftp.Mkd();
        QVERIFY(p.waitDone(3));
        QCOMPARE(p.done.last(), qMakePair(TFtpRequest::ftpRqMkd, 0));
        QCOMPARE(p.ftp.DirResult(), QByteArray("/new dir"));

        p.ftp.setHostDirName("new dir");
        p.ftp.Cwd();
        QVERIFY(p.waitDone(4));
        QCOMPARE(p.done.last(), qMakePair(TFtpRequest::ftpRqCwd, 0));

        p.ftp.setHostDirName("missing");
        p.ftp.Cwd();
        QVERIFY(p.waitDone(5));
        QCOMPARE(p.done.last(), qMakePair(TFtpRequest::ftpRqCwd, 550));
        QVERIFY(p.ftp.ErrorMessage().startsWith("550"));

        p.ftp.setLocalFileName("NOOP");
        p.ftp.Quote();
        QVERIFY(p.waitDone(6));
        QCOMPARE(p.done.last(), qMakePair(TFtpRequest::ftpRqQuote, 0));

        p.ftp.Quit();
        QVERIFY(p.waitDone(7));
        QCOMPARE(p.done.last(), qMakePair(TFtpRequest::ftpRqQuit, 0));
        QVERIFY(QTest::qWaitFor([&] { return !p.closed.isEmpty(); }, 10000));
        QVERIFY(!p.ftp.Connected());
        QCOMPARE(p.done.size(), 7);  // the close after QUIT reports nothing more
    }

    void loginOnVsftpd()
    {
        testsupport::VsftpdServer server;
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        EngineProbe p;
        p.server(server.user(), server.password(), server.port());
        p.ftp.System();  // Open, User, Pass, Syst, Quit
        QVERIFY2(p.waitDone(), p.dump());
        QCOMPARE(p.done.first(), qMakePair(TFtpRequest::ftpRqSystem, 0));
        QVERIFY2(p.lines.contains("< 215 UNIX Type: L8"), p.dump());
        QCOMPARE(p.sent("QUIT"), 1);
        // the final report shows the reply of the real work, not the 221
        QCOMPARE(p.ftp.StatusCode(), 215);
        QVERIFY(p.ftp.LastResponse().startsWith("215"));
    }

    void userAnswered230SkipsPass()
    {
        PyFtpServer::Options o;
        o.userReply230 = "230 Welcome, no password needed.";
        PyFtpServer server(o);
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        EngineProbe p;
        p.server(server.user(), "unused", server.port());
        p.ftp.Connect();
        QVERIFY2(p.waitDone(), p.dump());
        QCOMPARE(p.done.first(), qMakePair(TFtpRequest::ftpRqConnect, 0));
        QCOMPARE(p.sent("PASS"), 0);
        QCOMPARE(p.sent("USER"), 1);
    }

    void loginRefusedEndsSequence()
    {
        PyFtpServer server;
        QVERIFY2(server.start(), qPrintable(server.errorString()));

        // Connect holds no Quit: the 530 ends it, nothing more is sent.
        EngineProbe a;
        a.server(server.user(), "wrong", server.port());
        a.ftp.Connect();
        QVERIFY2(a.waitDone(), a.dump());
        QCOMPARE(a.done.first(), qMakePair(TFtpRequest::ftpRqConnect, 530));
        QCOMPARE(a.sent("QUIT"), 0);
        QVERIFY(a.ftp.ErrorMessage().startsWith("530"));

        // A sequence with Quit still says goodbye, and reports the 530.
        EngineProbe b;
        b.server(server.user(), "wrong", server.port());
        b.ftp.System();
        QVERIFY2(b.waitDone(), b.dump());
        QCOMPARE(b.done.first(), qMakePair(TFtpRequest::ftpRqSystem, 530));
        QCOMPARE(b.sent("SYST"), 0);
        QCOMPARE(b.sent("QUIT"), 1);
        QCOMPARE(b.ftp.StatusCode(), 530);
        QVERIFY(b.ftp.LastResponse().startsWith("530"));
    }

    void failingWorkStepReportsItsOwnReply()
    {
        PyFtpServer server;
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        EngineProbe p;
        p.server(server.user(), server.password(), server.port());
        p.ftp.setHostFileName("no-such-file");
        p.ftp.FileSize();  // Open, User, Pass, Size, Quit (no folder: Cwd skipped)
        QVERIFY2(p.waitDone(), p.dump());
        QCOMPARE(p.done.first(), qMakePair(TFtpRequest::ftpRqSize, 550));
        QCOMPARE(p.sent("CWD"), 0);
        QCOMPARE(p.sent("QUIT"), 1);
        QCOMPARE(p.ftp.StatusCode(), 550);
        QVERIFY2(p.ftp.LastResponse().startsWith("550"), p.ftp.LastResponse());
        QVERIFY(p.ftp.ErrorMessage().startsWith("550"));
    }

    void sizeAndMultiLineReplies()
    {
        PyFtpServer::Options o;
        o.loginMessage = "Welcome\nto the\ntest server";
        PyFtpServer server(o);
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        QFile f(server.root() + "/data.bin");
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(12345, 'x'));
        f.close();

        EngineProbe p;
        p.server(server.user(), server.password(), server.port());
        int finalLines = 0;
        int responsesAtLogin = 0;
        QObject::connect(&p.ftp, &TFtpClient::OnResponse, [&] {
            if (p.ftp.LastResponse().startsWith("230 ")) {
                ++finalLines;
                responsesAtLogin = p.responses;
            }
        });
        p.ftp.Connect();
        QVERIFY2(p.waitDone(), p.dump());
        QCOMPARE(p.done.first().second, 0);
        // banner, 331 and the three lines of the 230: every line fires
        // OnResponse (FEAT follows the log-in)
        QCOMPARE(responsesAtLogin, 5);
        QCOMPARE(finalLines, 1);
        QVERIFY(p.lines.contains("< 230-Welcome"));

        p.ftp.TypeBinary();  // pyftpdlib refuses SIZE in ASCII mode
        QVERIFY(p.waitDone(2));
        QCOMPARE(p.done.last(), qMakePair(TFtpRequest::ftpRqTypeSet, 0));
        QVERIFY(p.lines.contains("> TYPE I"));
        p.ftp.setHostFileName("data.bin");
        p.ftp.Size();
        QVERIFY(p.waitDone(3));
        QCOMPARE(p.done.last(), qMakePair(TFtpRequest::ftpRqSize, 0));
        QCOMPARE(p.ftp.SizeResult(), qint64(12345));
    }

    void refusals()
    {
        PyFtpServer server;
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        EngineProbe p;
        p.server(server.user(), server.password(), server.port());

        QCOMPARE(EngineProbe::refusal([&] { p.ftp.Cwd(); }), QByteArray("HostDirName emtpy"));
        p.ftp.setHostDirName("/");
        QCOMPARE(EngineProbe::refusal([&] { p.ftp.Cwd(); }), QByteArray("FTP component not connected"));
        QCOMPARE(EngineProbe::refusal([&] { p.ftp.Dir(); }), QByteArray("FTP component not connected"));
        p.ftp.setUserName("");
        QCOMPARE(EngineProbe::refusal([&] { p.ftp.User(); }), QByteArray("UserName emtpy"));
        p.ftp.setPassWord("");
        QCOMPARE(EngineProbe::refusal([&] { p.ftp.Pass(); }), QByteArray("Password emtpy"));

        p.server(server.user(), server.password(), server.port());
        p.ftp.Connect();
        // a second call while a request runs is refused and changes nothing
        QCOMPARE(EngineProbe::refusal([&] { p.ftp.Pwd(); }), QByteArray("FTP component not ready"));
        QCOMPARE(EngineProbe::refusal([&] { p.ftp.Connect(); }), QByteArray("FTP component not ready"));
        QVERIFY2(p.waitDone(), p.dump());
        QCOMPARE(p.done.size(), 1);
        QCOMPARE(p.done.first(), qMakePair(TFtpRequest::ftpRqConnect, 0));

        QCOMPARE(EngineProbe::refusal([&] { p.ftp.Connect(); }), QByteArray("FTP component already connected"));
        QCOMPARE(EngineProbe::refusal([&] { p.ftp.Open(); }), QByteArray("FTP component already connected"));
        QCOMPARE(EngineProbe::refusal([&] { p.ftp.setConnectionType(TFtpConnectionType::ftpSocks5); }),
                 QByteArray("FTP component connected"));
        QCOMPARE(p.ftp.ConnectionType(), TFtpConnectionType::ftpDirect);

        // a name with a line break never reaches the server
        p.ftp.setHostDirName("x\r\nDELE important");
        QCOMPARE(EngineProbe::refusal([&] { p.ftp.Cwd(); }), QByteArray("Command contains a line break"));
        p.ftp.setHostFileName("a\nb");
        QCOMPARE(EngineProbe::refusal([&] { p.ftp.Dele(); }), QByteArray("Command contains a line break"));
        QCOMPARE(EngineProbe::refusal([&] { p.ftp.Rename(); }), QByteArray("FTP component already connected"));
        QCOMPARE(EngineProbe::refusal([&] { p.ftp.Ren(); }), QByteArray("Command contains a line break"));
        QCOMPARE(p.sent("CWD"), 0);
        QCOMPARE(p.sent("DELE"), 0);
        QCOMPARE(p.sent("RNFR"), 0);
        QCOMPARE(p.ftp.State(), TFtpState::ftpStReady);

        // with the OnError hook set, refusals go there instead of throwing
        QList<QByteArray> hooked;
        p.ftp.OnError = [&](const QByteArray& m) { hooked << m; };
        p.ftp.setHostDirName("");
        p.ftp.Cwd();
        QCOMPARE(hooked, QList<QByteArray>{"HostDirName emtpy"});

        // the session still works after all those refusals
        p.ftp.Pwd();
        QVERIFY(p.waitDone(2));
        QCOMPARE(p.done.last(), qMakePair(TFtpRequest::ftpRqPwd, 0));
        QCOMPARE(p.done.size(), 2);
    }

    void connectFailures()
    {
        // connection refused: a port nobody listens on
        EngineProbe a;
        a.server("u", "p", testsupport_closedPort());
        a.ftp.Connect();
        QVERIFY(a.waitDone());
        QCOMPARE(a.done.first(), qMakePair(TFtpRequest::ftpRqConnect, 10061));
        QCOMPARE(a.ftp.LastResponse(), QByteArray("500 Connection refused (Winsock error #10061)"));
        QCOMPARE(a.ftp.StatusCode(), 500);
        QCOMPARE(a.ftp.State(), TFtpState::ftpStReady);
        QVERIFY(!a.ftp.Connected());

        // unknown host (the reserved .invalid domain never resolves)
        EngineProbe b;
        b.server("u", "p", 21);
        b.ftp.setHostName("no-such-host.invalid");
        b.ftp.Connect();
        QVERIFY(b.waitDone());
        QCOMPARE(b.done.first(), qMakePair(TFtpRequest::ftpRqConnect, 11001));
        QCOMPARE(b.ftp.LastResponse(), QByteArray("500 Host not found (Winsock error #11001)"));
        QCOMPARE(b.ftp.State(), TFtpState::ftpStReady);
    }

    void abortWhileConnecting()
    {
        PyFtpServer::Options o;
        o.silent = true;  // accepts the connection, never greets
        PyFtpServer server(o);
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        EngineProbe p;
        p.server("u", "p", server.port());
        p.ftp.Connect();
        QVERIFY(QTest::qWaitFor([&] { return p.ftp.Connected(); }, 10000));
        QCOMPARE(p.ftp.State(), TFtpState::ftpStWaitingBanner);
        QVERIFY(!p.ftp.Abort());  // the interrupted request did not succeed
        QCOMPARE(p.ftp.State(), TFtpState::ftpStReady);
        QVERIFY(!p.ftp.Connected());
        QVERIFY(!p.ftp.ControlSocketOpen());
        QVERIFY(p.waitDone());
        QCOMPARE(p.done.first(), qMakePair(TFtpRequest::ftpRqConnect, 426));
        QTest::qWait(100);
        QCOMPARE(p.done.size(), 1);  // exactly one report
        QVERIFY(p.closed.isEmpty());

        // the engine is usable again: an abort of an idle engine succeeds
        QVERIFY(p.ftp.Abort());
    }

    void synchronousWaitTimesOut()
    {
        PyFtpServer::Options o;
        o.silent = true;
        PyFtpServer server(o);
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        EngineProbe p;
        qint64 fakeNow = 0;
        p.ftp.setClock([&] { return fakeNow += 250; });  // time runs fast
        p.ftp.setTimeout(5);
        p.server("u", "p", server.port());
        p.ftp.Connect();
        QVERIFY(!p.ftp.waitUntilReady());
        QCOMPARE(p.ftp.ErrorMessage(), QByteArray("426 Timeout"));
        QCOMPARE(p.ftp.StatusCode(), 426);
        QCOMPARE(p.ftp.State(), TFtpState::ftpStReady);
        QVERIFY(!p.ftp.ControlSocketOpen());
        QVERIFY(fakeNow >= 5000);
    }

private:
    static quint16 testsupport_closedPort()
    {
        QTcpServer s;
        s.listen(QHostAddress::LocalHost, 0);
        const quint16 port = s.serverPort();
        s.close();
        return port;
    }
};

QTEST_GUILESS_MAIN(TestControlSession)
#include "test_control_session.moc"

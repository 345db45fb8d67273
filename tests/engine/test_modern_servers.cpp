// What today's servers offer: FEAT and UTF-8, EPSV and EPRT, IPv6, MLSD,
// and modification times kept across a transfer, against pyftpdlib and
// vsftpd; scripted peers only for replies no real server gives on demand.

#include "engine_probe.h"
#include "scripted_ftp_peer.h"

#include "support/pyftp_server.h"
#include "support/vsftpd_server.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using testsupport::PyFtpServer;

namespace {

bool setTime(const QString& path, const QDateTime& time)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) && f.setFileTime(time, QFileDevice::FileModificationTime);
}

QDateTime fileTime(const QString& path) { return QFileInfo(path).lastModified().toUTC(); }

bool login(EngineProbe& p, const QByteArray& host, quint16 port, const QByteArray& user, const QByteArray& pass)
{
    p.server(user, pass, port);
    p.ftp.setHostName(host);
    return run(p, [&] { p.ftp.Connect(); }) == 0 && run(p, [&] { p.ftp.TypeBinary(); }) == 0;
}

// Plays a log-in whose FEAT names `features`; then answers `script` in turn
// (the command the client sends first, then the reply).
bool scriptedLogin(ScriptedFtpPeer& peer, EngineProbe& p, const QByteArray& features)
{
    p.server("u", "p", peer.port());
    p.ftp.Connect();
    if (!peer.accept())
        return false;
    peer.write("220 ready\r\n");
    if (!peer.waitReceived("USER u\r\n"))
        return false;
    peer.write("331 password\r\n");
    if (!peer.waitReceived("PASS p\r\n"))
        return false;
    peer.write("230 in\r\n");
    if (!peer.waitReceived("FEAT\r\n"))
        return false;
    peer.write("211-Features:\r\n" + features + "211 End\r\n");
    return p.waitDone(1) && p.done.last().second == 0;
}

}  // namespace

class TestModernServers : public QObject {
    Q_OBJECT
private slots:
    void featuresAfterTheLogIn()
    {
        PyFtpServer py;
        QVERIFY2(py.start(), qPrintable(py.errorString()));
        EngineProbe a;
        QVERIFY2(login(a, "127.0.0.1", py.port(), py.user(), py.password()), a.dump());
        for (const char* f : {"UTF8", "MLST", "EPSV", "EPRT", "MDTM", "MFMT", "SIZE"})
            QVERIFY2(a.ftp.HasFeature(f), f);
        QVERIFY(a.ftp.HasFeature("mlst"));  // any case
        QCOMPARE(a.sent("OPTS UTF8 ON"), 1);
        QCOMPARE(a.ftp.StatusCode(), 200);  // of the TYPE; the Connect reported the 230

        testsupport::VsftpdServer vs;
        QVERIFY2(vs.start(), qPrintable(vs.errorString()));
        EngineProbe b;
        QVERIFY2(login(b, "127.0.0.1", vs.port(), vs.user(), vs.password()), b.dump());
        QVERIFY(b.ftp.HasFeature("EPSV") && b.ftp.HasFeature("MDTM") && !b.ftp.HasFeature("MLST"));
        QCOMPARE(b.sent("OPTS"), 0);

        // A server that refuses FEAT is a server without features.
        PyFtpServer::Options o;
        o.disabledCommands = {"FEAT"};
        PyFtpServer plain(o);
        QVERIFY2(plain.start(), qPrintable(plain.errorString()));
        EngineProbe c;
        c.server(plain.user(), plain.password(), plain.port());
        QCOMPARE(run(c, [&] { c.ftp.Connect(); }), 0);
        QVERIFY(c.ftp.Features().isEmpty());
        QCOMPARE(c.sent("OPTS"), 0);
        QCOMPARE(c.ftp.StatusCode(), 230);
        QVERIFY(c.ftp.ErrorMessage().isEmpty());
    }

    void ipv6_data()
    {
        QTest::addColumn<QByteArray>("host");
        QTest::addColumn<bool>("passive");
        QTest::newRow("::1 passive") << QByteArray("::1") << true;
        QTest::newRow("[::1] active") << QByteArray("[::1]") << false;
    }
    void ipv6()
    {
        QFETCH(QByteArray, host);
        QFETCH(bool, passive);
        PyFtpServer::Options o;
        o.ipv6 = true;
        PyFtpServer s(o);
        QVERIFY2(s.start(), qPrintable(s.errorString()));
        EngineProbe p;
        p.ftp.setPassive(passive);
        QVERIFY2(login(p, host, s.port(), s.user(), s.password()), p.dump());
        QTemporaryDir local;
        const QByteArray data(300000, 'v');
        QVERIFY(writeFile(local.filePath("up.bin"), data));
        QCOMPARE(run(p, [&] { p.ftp.store(transferOf("v6.bin", local.filePath("up.bin"))); }), 0);
        QCOMPARE(run(p, [&] { p.ftp.retrieve(transferOf("v6.bin", local.filePath("down.bin"))); }), 0);
        QCOMPARE(readFile(local.filePath("down.bin")), data);
        QCOMPARE(readFile(s.root() + "/v6.bin"), data);
        // PORT cannot carry an IPv6 address; PASV names no port for it.
        QVERIFY2(p.linesWith(passive ? "> EPSV" : "> EPRT |2|::1|") == 2, p.dump());
        QCOMPARE(p.linesWith("> PORT") + p.linesWith("> PASV"), 0);
    }

    // PORT refused: EPRT, for this transfer and the rest of the session.
    void portRefusedTakesEprt()
    {
        PyFtpServer::Options o;
        o.disabledCommands = {"PORT"};
        PyFtpServer s(o);
        QVERIFY2(s.start(), qPrintable(s.errorString()));
        QVERIFY(writeFile(s.root() + "/f.txt", "eprt"));
        EngineProbe p;
        QVERIFY2(login(p, "127.0.0.1", s.port(), s.user(), s.password()), p.dump());
        QTemporaryDir local;
        for (int i = 0; i < 2; ++i) {
            QVERIFY2(run(p, [&] { p.ftp.retrieve(transferOf("f.txt", local.filePath("f.txt"))); }) == 0, p.dump());
            QCOMPARE(readFile(local.filePath("f.txt")), QByteArray("eprt"));
        }
        QCOMPARE(p.sent("PORT"), 1);
        QCOMPARE(p.linesWith("> EPRT |1|127.0.0.1|"), 2);
        QVERIFY(p.ftp.ErrorMessage().isEmpty());
    }

    // EPSV refused: PASV once and from then on; broken 229 replies fail
    // cleanly, never connect anywhere.
    void epsvFallbackAndBrokenReplies()
    {
        ScriptedFtpPeer peer;
        QTcpServer dataServer;
        QVERIFY(dataServer.listen(QHostAddress::LocalHost, 0));
        EngineProbe p;
        p.ftp.setPassive(true);
        QVERIFY2(scriptedLogin(peer, p, " EPSV\r\n"), p.dump());
        const quint16 dp = dataServer.serverPort();
        const QByteArray pasv =
            "227 (127,0,0,1," + QByteArray::number(dp / 256) + "," + QByteArray::number(dp % 256) + ")\r\n";
        QTemporaryDir dir;
        for (int round = 0; round < 2; ++round) {
            p.ftp.retrieve(transferOf("f.txt", dir.filePath("f.txt")));
            if (round == 0) {
                QVERIFY(peer.waitReceived("EPSV\r\n"));
                peer.write("500 EPSV not understood\r\n");
            }
            QVERIFY(peer.waitReceived("PASV\r\n", round + 1));
            peer.write(pasv);
            QVERIFY(QTest::qWaitFor([&] { return dataServer.hasPendingConnections(); }, 10000));
            QTcpSocket* data = dataServer.nextPendingConnection();
            QVERIFY(QTest::qWaitFor([&] { return p.linesWith("> RETR f.txt") == round + 1; }, 10000));
            peer.write("150 here\r\n");
            data->write("ok");
            data->disconnectFromHost();
            peer.write("226 done\r\n");
            QVERIFY2(p.waitDone(round + 2), p.dump());
            QCOMPARE(p.done.last(), qMakePair(TFtpRequest::ftpRqGet, 0));
        }
        QCOMPARE(p.sent("EPSV"), 1);
        QCOMPARE(readFile(dir.filePath("f.txt")), QByteArray("ok"));

        for (const QByteArray& reply :
             {QByteArray("229 Entering (|||0|)"), QByteArray("229 (|||70000|)"), QByteArray("229 (|||abc|)"),
              QByteArray("229 no port at all"), QByteArray("229 (|||21)")}) {
            EngineProbe q;
            ScriptedFtpPeer peer2;
            q.ftp.setPassive(true);
            QVERIFY2(scriptedLogin(peer2, q, " EPSV\r\n"), q.dump());
            q.ftp.list(FtpListing{QFile::encodeName(dir.filePath("l.txt")), {}, true});
            QVERIFY(peer2.waitReceived("EPSV\r\n"));
            peer2.write(reply + "\r\n");
            QVERIFY(q.waitDone(2));
            QCOMPARE(q.done.last(), qMakePair(TFtpRequest::ftpRqDir, 550));
            QCOMPARE(q.ftp.LastResponse(),
                     QByteArray("Unable to establish data connection, error #10049 (Address not available)"));
            QCOMPARE(q.sent("LIST") + q.sent("MLSD"), 0);
        }
    }

    // MLSD where offered; a server that names MLST but refuses MLSD gets
    // LIST, for this listing and the next.
    void machineListings()
    {
        for (bool refuse : {false, true}) {
            PyFtpServer::Options o;
            if (refuse)
                o.disabledCommands = {"MLSD"};
            PyFtpServer s(o);
            QVERIFY2(s.start(), qPrintable(s.errorString()));
            QVERIFY(writeFile(s.root() + "/a.txt", "12345"));
            EngineProbe p;
            p.ftp.setPassive(true);
            QVERIFY2(login(p, "127.0.0.1", s.port(), s.user(), s.password()), p.dump());
            QTemporaryDir dir;
            const QString out = dir.filePath("list.txt");
            for (int i = 0; i < 2; ++i) {
                QCOMPARE(run(p, [&] { p.ftp.list(FtpListing{QFile::encodeName(out), "-la", true}); }), 0);
                QCOMPARE(p.done.last().first, TFtpRequest::ftpRqDir);
                const QByteArray text = readFile(out);
                if (refuse) {
                    QCOMPARE(p.ftp.ListingFormat(), FtpListingFormat::List);
                    QVERIFY2(text.contains(" a.txt\r\n") && text.contains("-rw"), text);
                } else {
                    QCOMPARE(p.ftp.ListingFormat(), FtpListingFormat::Mlsd);
                    QVERIFY2(text.contains("type=file;") && text.contains("size=5;") && text.contains(" a.txt\r\n"),
                             text);
                }
            }
            QCOMPARE(p.sent("MLSD"), refuse ? 1 : 2);
            QCOMPARE(p.sent("LIST -la"), refuse ? 2 : 0);
            QVERIFY(p.ftp.ErrorMessage().isEmpty());
            // Not wanted: LIST.
            QCOMPARE(run(p, [&] { p.ftp.list(FtpListing{QFile::encodeName(out), {}, false}); }), 0);
            QCOMPARE(p.ftp.ListingFormat(), FtpListingFormat::List);
        }
    }

    // Downloads get the server's time (MDTM unless the listing gave it),
    // uploads give the server the local time (MFMT, or MDTM with two
    // arguments where MFMT is not offered); a refusal is no failure.
    void keptTimes_data()
    {
        QTest::addColumn<QString>("server");
        QTest::newRow("pyftpdlib, MFMT") << "pyftpdlib";
        QTest::newRow("pyftpdlib without MFMT") << "no-mfmt";
        QTest::newRow("vsftpd, MDTM") << "vsftpd";
    }
    void keptTimes()
    {
        QFETCH(QString, server);
        std::unique_ptr<PyFtpServer> py;
        std::unique_ptr<testsupport::VsftpdServer> vs;
        QString root;
        quint16 port = 0;
        QByteArray user, pass;
        if (server == "vsftpd") {
            vs = std::make_unique<testsupport::VsftpdServer>();
            QVERIFY2(vs->start(), qPrintable(vs->errorString()));
            root = vs->root(), port = vs->port(), user = vs->user(), pass = vs->password();
        } else {
            PyFtpServer::Options o;
            if (server == "no-mfmt")
                o.disabledCommands = {"MFMT"};
            py = std::make_unique<PyFtpServer>(o);
            QVERIFY2(py->start(), qPrintable(py->errorString()));
            root = py->root(), port = py->port(), user = py->user(), pass = py->password();
        }
        const QDateTime old(QDate(2001, 2, 3), QTime(4, 5, 6), Qt::UTC);
        QVERIFY(writeFile(root + "/old.txt", "old"));
        QVERIFY(setTime(root + "/old.txt", old));
        if (vs)
            QVERIFY(vs->handRootToUser());
        EngineProbe p;
        p.ftp.setKeepFileTimes(true);
        QVERIFY2(login(p, "127.0.0.1", port, user, pass), p.dump());
        QTemporaryDir dir;

        QCOMPARE(run(p, [&] { p.ftp.retrieve(transferOf("old.txt", dir.filePath("old.txt"))); }), 0);
        QCOMPARE(p.sent("MDTM old.txt"), 1);
        QCOMPARE(fileTime(dir.filePath("old.txt")), old);
        // A time the listing gave exactly is used as it is.
        FtpTransfer known = transferOf("old.txt", dir.filePath("known.txt"));
        known.remoteTime = old.addSecs(60);
        QCOMPARE(run(p, [&] { p.ftp.retrieve(known); }), 0);
        QCOMPARE(p.sent("MDTM"), 1);
        QCOMPARE(fileTime(dir.filePath("known.txt")), old.addSecs(60));

        const QDateTime mine(QDate(2002, 3, 4), QTime(5, 6, 7), Qt::UTC);
        QVERIFY(writeFile(dir.filePath("up.txt"), "up"));
        QVERIFY(setTime(dir.filePath("up.txt"), mine));
        QCOMPARE(run(p, [&] { p.ftp.store(transferOf("up.txt", dir.filePath("up.txt"))); }), 0);
        QCOMPARE(readFile(root + "/up.txt"), QByteArray("up"));
        if (server == "pyftpdlib") {
            QCOMPARE(p.sent("MFMT 20020304050607 up.txt"), 1);
            QCOMPARE(fileTime(root + "/up.txt"), mine);
        } else if (server == "vsftpd") {
            QCOMPARE(p.sent("MDTM 20020304050607 up.txt"), 1);
            QCOMPARE(fileTime(root + "/up.txt"), mine);
        } else {
            // pyftpdlib takes the two-argument MDTM for a file name: refused,
            // logged, and the upload still succeeded.
            QCOMPARE(p.sent("MDTM 20020304050607 up.txt"), 1);
            QVERIFY2(p.linesWith("< 550") >= 1, p.dump());
        }
        QCOMPARE(p.ftp.StatusCode(), 226);
        QVERIFY(p.ftp.ErrorMessage().isEmpty());

        // Off: nothing asked, the download is stamped now.
        p.ftp.setKeepFileTimes(false);
        const int mdtm = p.sent("MDTM");
        QCOMPARE(run(p, [&] { p.ftp.retrieve(transferOf("old.txt", dir.filePath("now.txt"))); }), 0);
        QCOMPARE(p.sent("MDTM"), mdtm);
        QVERIFY(fileTime(dir.filePath("now.txt")).date().year() > 2020);
    }
};

QTEST_GUILESS_MAIN(TestModernServers)
#include "test_modern_servers.moc"

// Transfers that must not be reported done: a server that takes part of an
// upload, or ends a download early, and says 226 anyway; a full disk; a
// program ended in the middle. ASCII mode converts line ends and keeps sizes.

#include "engine_probe.h"
#include "scripted_ftp_peer.h"

#include "engine/text_mode.h"
#include "support/pyftp_server.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/mount.h>

using testsupport::PyFtpServer;

namespace {}  // namespace

class TestTransferFaults : public QObject {
    Q_OBJECT
private slots:
    void shortUpload()
    {
        ScriptedFtpPeer peer;
        QTcpServer dataServer;
        QVERIFY(dataServer.listen(QHostAddress::LocalHost, 0));
        EngineProbe p;
        QVERIFY(openOn(peer, p));
        QTemporaryDir dir;
        QVERIFY(writeFile(dir.filePath("big.bin"), QByteArray(20 << 20, 'u')));
        p.ftp.setPassive(true);
        p.ftp.store(transferOf("big.bin", dir.filePath("big.bin")));
        QTcpSocket* data = playPassive(peer, dataServer, "STOR big.bin");
        QVERIFY(data);
        // The server takes 1 MiB, closes normally and says all is well.
        qint64 got = 0;
        QVERIFY(QTest::qWaitFor(
            [&] {
                got += data->readAll().size();
                return got >= (1 << 20);
            },
            10000));
        data->close();
        peer.write("226 Transfer complete\r\n");
        QVERIFY2(p.waitDone(2), p.dump());
        QCOMPARE(p.done.last(), qMakePair(TFtpRequest::ftpRqPut, 426));
        QVERIFY2(p.ftp.LastResponse().startsWith("426 Transfer incomplete: ") &&
                     p.ftp.LastResponse().endsWith(" of 20971520 bytes"),
                 p.ftp.LastResponse());
    }

    void shortDownload_data()
    {
        QTest::addColumn<bool>("sizeFromListing");
        QTest::newRow("size in the 150 reply") << false;
        QTest::newRow("size from the listing") << true;
    }
    void shortDownload()
    {
        QFETCH(bool, sizeFromListing);
        ScriptedFtpPeer peer;
        QTcpServer dataServer;
        QVERIFY(dataServer.listen(QHostAddress::LocalHost, 0));
        EngineProbe p;
        QVERIFY(openOn(peer, p));
        QTemporaryDir dir;
        FtpTransfer t = transferOf("big.bin", dir.filePath("big.bin"));
        if (sizeFromListing)
            t.size = 52428800;
        p.ftp.setPassive(true);
        p.ftp.retrieve(t);
        QTcpSocket* data =
            playPassive(peer, dataServer, "RETR big.bin",
                        sizeFromListing ? "150 Here it comes"
                                        : "150 Opening BINARY mode data connection for big.bin (52428800 bytes).");
        QVERIFY(data);
        const QByteArray part(20 << 20, 'd');
        data->write(part);
        data->disconnectFromHost();
        peer.write("226 Transfer complete\r\n");
        QVERIFY2(p.waitDone(2), p.dump());
        QCOMPARE(p.done.last(), qMakePair(TFtpRequest::ftpRqGet, 426));
        QCOMPARE(p.ftp.LastResponse(), QByteArray("426 Transfer incomplete: 20971520 of 52428800 bytes"));
        QCOMPARE(QFile(dir.filePath("big.bin")).size(), qint64(20 << 20));  // kept for a resume
    }

    // A small file system, filled: every write and the close are checked,
    // and the local reason is the one reported.
    void fullDisk()
    {
        QTemporaryDir dir;
        const QString small = dir.filePath("small");
        QDir().mkpath(small);
        if (::mount("tmpfs", QFile::encodeName(small).constData(), "tmpfs", 0, "size=64k") != 0)
            QSKIP("cannot mount a small file system here (needs root)");
        struct Unmount {
            QByteArray path;
            ~Unmount() { ::umount(path.constData()); }
        } unmount{QFile::encodeName(small)};

        PyFtpServer s;
        QVERIFY2(s.start(), qPrintable(s.errorString()));
        QVERIFY(writeFile(s.root() + "/big.bin", QByteArray(200000, 'b')));
        QVERIFY(writeFile(s.root() + "/tiny.bin", QByteArray(24, 't')));
        EngineProbe p;
        p.server(s.user(), s.password(), s.port());
        p.ftp.Connect();
        QVERIFY(p.waitDone(1));
        p.ftp.TypeBinary();
        QVERIFY(p.waitDone(2));

        p.ftp.retrieve(transferOf("big.bin", small + "/big.bin"));
        QVERIFY2(p.waitDone(3), p.dump());
        QVERIFY(p.done.last().second != 0);
        QVERIFY2(p.ftp.LastResponse().contains("No space left on device"), p.ftp.LastResponse());

        // The disk is full now: even 24 bytes do not fit.
        p.ftp.retrieve(transferOf("tiny.bin", small + "/tiny.bin"));
        QVERIFY2(p.waitDone(4), p.dump());
        QVERIFY(p.done.last().second != 0);
        QVERIFY2(p.ftp.LastResponse().contains("No space left on device"), p.ftp.LastResponse());
    }

    // What arrived is on disk as it comes: a process killed in the middle
    // leaves what it received for a later resume.
    void killedInTheMiddle()
    {
        ScriptedFtpPeer peer;
        QTcpServer dataServer;
        QVERIFY(dataServer.listen(QHostAddress::LocalHost, 0));
        QTemporaryDir dir;
        // The command line, in a process of its own, downloads from the
        // scripted server over its one connection; the test plays the
        // server and then kills it.
        QProcess cli;
        cli.start(QStringLiteral(GLIMMER_CLI_PATH),
                  {"--data-file=" + dir.filePath("x.dat"), "--mode=passive", "--tls=off", "--parallel=1", "get",
                   QStringLiteral("ftp://u:p@127.0.0.1:%1/f.bin").arg(peer.port()), dir.path()});
        QVERIFY(peer.accept());
        peer.write("220 ready\r\n");
        for (const auto& [cmd, reply] : QList<QPair<QByteArray, QByteArray>>{{"USER u", "331 ok"},
                                                                             {"PASS p", "230 in"},
                                                                             {"FEAT", "500 no"},
                                                                             {"TYPE A", "200 ok"},
                                                                             {"CWD /", "250 ok"},
                                                                             {"PWD", "257 \"/\""}}) {
            QVERIFY2(peer.waitReceived(cmd + "\r\n"), cmd.constData());
            peer.write(reply + "\r\n");
        }
        QTcpSocket* list = playPassive(peer, dataServer, "LIST");
        QVERIFY(list);
        list->write("-rw-r--r-- 1 u g 10000 Jan 1 2020 f.bin\r\n");
        list->disconnectFromHost();
        peer.write("226 ok\r\n");
        QVERIFY(peer.waitReceived("TYPE I\r\n"));
        peer.write("200 ok\r\n");
        QTcpSocket* data = playPassive(peer, dataServer, "RETR /f.bin");
        QVERIFY(data);
        data->write(QByteArray(10000, 'k'));
        data->flush();
        // All of it arrived; the server never says so, and the program dies.
        QVERIFY(QTest::qWaitFor([&] { return QFile(dir.filePath("f.bin")).size() == 10000; }, 10000));
        cli.kill();
        QVERIFY(cli.waitForFinished(5000));
        QCOMPARE(readFile(dir.filePath("f.bin")), QByteArray(10000, 'k'));
    }

    void asciiLineEnds()
    {
        // The converters, block by block: a CR LF split between two blocks
        // is one line end, a lone CR stays, a CR LF already there is kept.
        NetworkToLocalText down;
        QByteArray local = down.convert("a\r\nb\r");
        local += down.convert("\nc\rd\r");
        local += down.finish();
        QCOMPARE(local, QByteArray("a\nb\nc\rd\r"));
        LocalToNetworkText up;
        QByteArray wire = up.convert("a\nb\r");
        wire += up.convert("\nc\n");
        QCOMPARE(wire, QByteArray("a\r\nb\r\nc\r\n"));

        // Against a server: a text file sent and fetched in ASCII mode comes
        // back as it was, and a download's size is the file's.
        PyFtpServer s;
        QVERIFY2(s.start(), qPrintable(s.errorString()));
        const QByteArray text = "one\ntwo\n\nthree\n";
        QVERIFY(writeFile(s.root() + "/notes.txt", text));
        EngineProbe p;
        p.server(s.user(), s.password(), s.port());
        p.ftp.Connect();
        QVERIFY(p.waitDone(1));
        p.ftp.TypeAscii();
        QVERIFY(p.waitDone(2));
        QTemporaryDir dir;
        p.ftp.retrieve(transferOf("notes.txt", dir.filePath("notes.txt")));
        QVERIFY(p.waitDone(3));
        QCOMPARE(p.done.last().second, 0);
        QCOMPARE(readFile(dir.filePath("notes.txt")), text);
        QCOMPARE(p.ftp.ByteCount(), qint64(text.size()));
        p.ftp.store(transferOf("back.txt", dir.filePath("notes.txt")));
        QVERIFY(p.waitDone(4));
        QCOMPARE(p.done.last().second, 0);
        QCOMPARE(readFile(s.root() + "/back.txt"), text);
        // A text file is never continued: it is fetched again from the start.
        QVERIFY(writeFile(dir.filePath("notes.txt"), "one\n"));
        FtpTransfer again = transferOf("notes.txt", dir.filePath("notes.txt"));
        again.restart = true;
        p.ftp.retrieve(again);
        QVERIFY(p.waitDone(5));
        QCOMPARE(p.sent("REST"), 0);
        QCOMPARE(readFile(dir.filePath("notes.txt")), text);
    }
};

QTEST_GUILESS_MAIN(TestTransferFaults)
#include "test_transfer_faults.moc"

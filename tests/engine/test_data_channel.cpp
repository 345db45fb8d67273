// Listings and file transfers over the data connection, active and passive,
// against real servers, compared byte for byte.

#include "engine_probe.h"

#include "support/dante_server.h"
#include "support/ftp_proxy_server.h"
#include "support/pyftp_server.h"
#include "support/random_bytes.h"
#include "support/vsftpd_server.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using testsupport::PyFtpServer;

namespace {

using testsupport::randomBytes;

QByteArray allByteValues()
{
    QByteArray data;
    for (int round = 0; round < 4; ++round)
        for (int b = 0; b < 256; ++b)
            data += char(b);
    return data;
}

QByteArray readTail(const QString& path, qint64 offset, qint64 size)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly) || !f.seek(offset))
        return "<missing>";
    return f.read(size);
}

// Either server kind, behind one face.
struct AnyServer {
    std::unique_ptr<PyFtpServer> py;
    std::unique_ptr<testsupport::VsftpdServer> vs;
    explicit AnyServer(const QString& kind, PyFtpServer::Options o = {})
    {
        if (kind == "vsftpd")
            vs = std::make_unique<testsupport::VsftpdServer>();
        else
            py = std::make_unique<PyFtpServer>(o);
    }
    bool start() { return py ? py->start() : vs->start(); }
    QString error() const { return py ? py->errorString() : vs->errorString(); }
    quint16 port() const { return py ? py->port() : vs->port(); }
    QString root() const { return py ? py->root() : vs->root(); }
    QByteArray user() const { return py ? py->user() : vs->user(); }
    QByteArray password() const { return py ? py->password() : vs->password(); }
};

// Logs in and switches to binary; returns false with the log on failure.
bool loginBinary(EngineProbe& p, quint16 port, const QByteArray& user, const QByteArray& pass)
{
    p.server(user, pass, port);
    p.ftp.Connect();
    if (!p.waitDone() || p.done.last().second != 0)
        return false;
    p.ftp.TypeBinary();
    return p.waitDone(2) && p.done.last().second == 0;
}

}  // namespace

class TestDataChannel : public QObject {
    Q_OBJECT
private slots:
    void transfers_data()
    {
        QTest::addColumn<QString>("server");
        QTest::addColumn<bool>("passive");
        for (const char* server : {"pyftpdlib", "vsftpd"})
            for (bool passive : {false, true})
                QTest::addRow("%s %s", server, passive ? "passive" : "active") << QString(server) << passive;
    }
    void transfers()
    {
        QFETCH(QString, server);
        QFETCH(bool, passive);
        AnyServer s(server);
        QVERIFY2(s.start(), qPrintable(s.error()));
        EngineProbe p;
        p.ftp.setPassive(passive);
        QVERIFY2(loginBinary(p, s.port(), s.user(), s.password()), p.dump());
        QTemporaryDir local;

        const QList<QPair<QByteArray, QByteArray>> files = {
            {"bytes.bin", allByteValues()}, {"empty.bin", QByteArray()}, {"big.bin", randomBytes(10 << 20, 7)}};
        for (const auto& [name, data] : files) {
            // upload
            QVERIFY(writeFile(local.filePath("up-" + name), data));
            p.ftp.setLocalFileName(QFile::encodeName(local.filePath("up-" + name)));
            p.ftp.setHostFileName(name);
            QCOMPARE(run(p, [&] { p.ftp.Put(); }), 0);
            QCOMPARE(p.done.last().first, TFtpRequest::ftpRqPut);
            QVERIFY2(readFile(s.root() + "/" + name) == data, name.constData());

            // download
            p.ftp.setLocalFileName(QFile::encodeName(local.filePath("down-" + name)));
            QCOMPARE(run(p, [&] { p.ftp.Get(); }), 0);
            QCOMPARE(p.done.last().first, TFtpRequest::ftpRqGet);
            QVERIFY2(readFile(local.filePath("down-" + name)) == data, name.constData());
            QCOMPARE(p.ftp.ByteCount(), qint64(data.size()));
        }
        const QByteArray end = "! " + QByteArray::number(10 << 20) + " bytes received/sent in ";
        QVERIFY2(std::any_of(p.lines.begin(), p.lines.end(), [&](const QByteArray& l) { return l.startsWith(end); }),
                 p.dump());
        // Every one of these binary transfers of a file took the direct path.
        QCOMPARE(p.linesWith("! Direct data path"), 2 * int(files.size()));
        if (!passive && server == "pyftpdlib")
            QVERIFY2(p.linesWith("> PORT 127,0,0,1,") > 0, p.dump());
        if (passive)
            QCOMPARE(p.linesWith("> PORT"), 0);
    }

    // The sequences that open, log in, work and quit in one call.
    void oneCallSequences()
    {
        PyFtpServer s;
        QVERIFY2(s.start(), qPrintable(s.errorString()));
        QVERIFY(QDir(s.root()).mkdir("sub"));
        const QByteArray data = randomBytes(70000, 21);
        QVERIFY(writeFile(s.root() + "/sub/f.bin", data));
        QTemporaryDir local;
        const QString down = local.filePath("f.bin");

        auto fresh = [&](EngineProbe& p) {
            p.server(s.user(), s.password(), s.port());
            p.ftp.setHostDirName("sub");
            p.ftp.setBinary(true);
        };
        auto quitAndClosed = [](EngineProbe& p) {
            return p.linesWith("> QUIT") == 1 && QTest::qWaitFor([&] { return !p.ftp.Connected(); }, 10000);
        };
        {
            EngineProbe p;
            fresh(p);
            p.ftp.setLocalFileName(QFile::encodeName(down));
            p.ftp.setHostFileName("f.bin");
            QCOMPARE(run(p, [&] { p.ftp.Receive(); }), 0);
            QCOMPARE(p.done.last().first, TFtpRequest::ftpRqReceive);
            QVERIFY(p.lines.contains("> CWD sub") && p.lines.contains("> TYPE I"));
            QVERIFY(quitAndClosed(p));
            QVERIFY(readFile(down) == data);
        }
        {
            EngineProbe p;  // the first 1000 bytes are here: RestartGet fetches the rest
            fresh(p);
            QVERIFY(writeFile(down, data.left(1000)));
            p.ftp.setLocalFileName(QFile::encodeName(down));
            p.ftp.setHostFileName("f.bin");
            QCOMPARE(run(p, [&] { p.ftp.RestartGet(); }), 0);
            QCOMPARE(p.done.last().first, TFtpRequest::ftpRqRestartGet);
            QVERIFY(p.lines.contains("> REST 1000"));
            QVERIFY(quitAndClosed(p));
            QVERIFY(readFile(down) == data);
        }
        {
            EngineProbe p;
            fresh(p);
            p.ftp.setLocalFileName(QFile::encodeName(down));
            p.ftp.setHostFileName("t.bin");
            QCOMPARE(run(p, [&] { p.ftp.Transmit(); }), 0);
            QCOMPARE(p.done.last().first, TFtpRequest::ftpRqTransmit);
            QVERIFY(quitAndClosed(p));
            QVERIFY(readFile(s.root() + "/sub/t.bin") == data);
        }
        {
            EngineProbe p;  // AppendFile adds to the end of the server's file
            fresh(p);
            p.ftp.setLocalFileName(QFile::encodeName(down));
            p.ftp.setHostFileName("t.bin");
            QCOMPARE(run(p, [&] { p.ftp.AppendFile(); }), 0);
            QVERIFY(p.lines.contains("> APPE t.bin"));
            QVERIFY(readFile(s.root() + "/sub/t.bin") == data + data);
        }
        {
            EngineProbe p;  // RestartPut continues the server's file from its size
            fresh(p);
            QVERIFY(writeFile(s.root() + "/sub/r.bin", data.left(5000)));
            p.ftp.setLocalFileName(QFile::encodeName(down));
            p.ftp.setHostFileName("r.bin");
            p.ftp.setResumeAt(5000);
            QCOMPARE(run(p, [&] { p.ftp.RestartPut(); }), 0);
            QCOMPARE(p.done.last().first, TFtpRequest::ftpRqRestartPut);
            QVERIFY(p.lines.contains("> REST 5000"));
            QVERIFY(readFile(s.root() + "/sub/r.bin") == data);
        }
        for (bool names : {false, true}) {
            EngineProbe p;  // Directory lists with LIST, List with NLST
            fresh(p);
            p.ftp.setLocalFileName(QFile::encodeName(local.filePath("listing.txt")));
            p.ftp.setHostFileName("");
            QCOMPARE(run(p, [&] { names ? p.ftp.List() : p.ftp.Directory(); }), 0);
            QCOMPARE(p.done.last().first, names ? TFtpRequest::ftpRqList : TFtpRequest::ftpRqDirectory);
            QVERIFY(quitAndClosed(p));
            const QByteArray listing = readFile(local.filePath("listing.txt"));
            QVERIFY2(names ? listing.contains("f.bin\r\n") && !listing.contains("rw")
                           : listing.contains(" f.bin\r\n") && listing.contains("rw"),
                     listing);
        }
        {
            EngineProbe p;  // Append on an open session
            QVERIFY2(loginBinary(p, s.port(), s.user(), s.password()), p.dump());
            p.ftp.setLocalFileName(QFile::encodeName(down));
            p.ftp.setHostFileName("sub/a.bin");
            QCOMPARE(run(p, [&] { p.ftp.Append(); }), 0);
            QCOMPARE(p.done.last().first, TFtpRequest::ftpRqAppend);
            QVERIFY(readFile(s.root() + "/sub/a.bin") == data);
        }
    }

    void listings()
    {
        PyFtpServer s;
        QVERIFY2(s.start(), qPrintable(s.errorString()));
        QVERIFY(QDir(s.root()).mkdir("folder"));
        QVERIFY(writeFile(s.root() + "/a file.txt", "hello\n"));
        EngineProbe p;
        p.ftp.setPassive(true);
        QVERIFY2(loginBinary(p, s.port(), s.user(), s.password()), p.dump());
        QTemporaryDir local;

        p.ftp.setLocalFileName(QFile::encodeName(local.filePath("list.txt")));
        QCOMPARE(run(p, [&] { p.ftp.Dir(); }), 0);
        QCOMPARE(p.done.last().first, TFtpRequest::ftpRqDir);
        const QByteArray listing = readFile(local.filePath("list.txt"));
        QVERIFY2(listing.contains("a file.txt\r\n") && listing.contains("folder\r\n"), listing);
        QVERIFY(listing.startsWith("drwx") || listing.startsWith("-rw"));

        QList<QByteArray> shown;
        QObject::connect(&p.ftp, &TFtpClient::OnDisplayFile, [&](QByteArray& line) { shown << line; });
        p.ftp.setDisplayFileFlag(true);
        p.ftp.setLocalFileName("");
        QCOMPARE(run(p, [&] { p.ftp.Ls(); }), 0);
        QCOMPARE(p.done.last().first, TFtpRequest::ftpRqLs);
        std::sort(shown.begin(), shown.end());
        QCOMPARE(shown, (QList<QByteArray>{"a file.txt", "folder"}));

        // listing options travel in the host file name
        shown.clear();
        p.ftp.setHostFileName("-la");
        QCOMPARE(run(p, [&] { p.ftp.Dir(); }), 0);
        QVERIFY(p.lines.contains("> LIST -la"));
        QCOMPARE(shown.size(), 2);
    }

    void resumedTransfers()
    {
        PyFtpServer s;
        QVERIFY2(s.start(), qPrintable(s.errorString()));
        const QByteArray data = randomBytes(300000, 11);
        QVERIFY(writeFile(s.root() + "/file.bin", data));
        EngineProbe p;
        QVERIFY2(loginBinary(p, s.port(), s.user(), s.password()), p.dump());
        QTemporaryDir local;

        // download: the local file holds the first 100000 bytes
        QVERIFY(writeFile(local.filePath("file.bin"), data.left(100000)));
        p.ftp.setLocalFileName(QFile::encodeName(local.filePath("file.bin")));
        p.ftp.setHostFileName("file.bin");
        QCOMPARE(run(p, [&] { p.ftp.RestGet(); }), 0);
        QCOMPARE(p.done.last().first, TFtpRequest::ftpRqRestGet);
        QVERIFY2(p.lines.contains("> REST 100000"), p.dump());
        QCOMPARE(p.ftp.ByteCount(), qint64(200000));
        QVERIFY(readFile(local.filePath("file.bin")) == data);

        // upload: the server holds the first 120000 bytes; the caller sets
        // the offset to the server's size
        QVERIFY(writeFile(local.filePath("up.bin"), data));
        QVERIFY(writeFile(s.root() + "/up.bin", data.left(120000)));
        p.ftp.setLocalFileName(QFile::encodeName(local.filePath("up.bin")));
        p.ftp.setHostFileName("up.bin");
        p.ftp.setResumeAt(120000);
        QCOMPARE(run(p, [&] { p.ftp.RestPut(); }), 0);
        QVERIFY2(p.lines.contains("> REST 120000"), p.dump());
        QCOMPARE(p.ftp.ByteCount(), qint64(180000));
        QVERIFY(readFile(s.root() + "/up.bin") == data);

        // a local file already complete: nothing to restart, nothing lost
        p.ftp.setLocalFileName(QFile::encodeName(local.filePath("file.bin")));
        p.ftp.setHostFileName("file.bin");
        QCOMPARE(run(p, [&] { p.ftp.RestGet(); }), 0);
        QVERIFY(readFile(local.filePath("file.bin")) == data);

        // The offset of a restarted transfer is that transfer's alone: a
        // listing, a plain upload and a plain download after it start at 0.
        QVERIFY(writeFile(local.filePath("part.bin"), data.left(2000)));
        p.ftp.setLocalFileName(QFile::encodeName(local.filePath("part.bin")));
        p.ftp.setHostFileName("file.bin");
        QCOMPARE(run(p, [&] { p.ftp.RestGet(); }), 0);
        QVERIFY2(p.lines.contains("> REST 2000"), p.dump());
        QVERIFY(writeFile(local.filePath("listing.txt"), QByteArray(100, 'x')));
        p.ftp.setLocalFileName(QFile::encodeName(local.filePath("listing.txt")));
        p.ftp.setHostFileName("");
        QCOMPARE(run(p, [&] { p.ftp.Dir(); }), 0);
        const QByteArray listing = readFile(local.filePath("listing.txt"));
        QVERIFY2(listing.startsWith("-rw") && !listing.contains("xxxx") && !listing.contains('\0'), listing);
        p.ftp.setLocalFileName(QFile::encodeName(local.filePath("up.bin")));
        p.ftp.setHostFileName("up2.bin");
        QCOMPARE(run(p, [&] { p.ftp.Put(); }), 0);
        QVERIFY(readFile(s.root() + "/up2.bin") == data);
        p.ftp.setLocalFileName(QFile::encodeName(local.filePath("again.bin")));
        p.ftp.setHostFileName("file.bin");
        QCOMPARE(run(p, [&] { p.ftp.Get(); }), 0);
        QCOMPARE(p.ftp.ResumeAt(), qint64(0));
        QVERIFY(readFile(local.filePath("again.bin")) == data);
    }

    void refusedRestartMovesTheWholeFile()
    {
        PyFtpServer::Options o;
        o.disabledCommands = QStringList{"REST"};
        PyFtpServer s(o);
        QVERIFY2(s.start(), qPrintable(s.errorString()));
        const QByteArray data = randomBytes(50000, 3);
        QVERIFY(writeFile(s.root() + "/file.bin", data));
        EngineProbe p;
        QVERIFY2(loginBinary(p, s.port(), s.user(), s.password()), p.dump());
        QTemporaryDir local;

        QVERIFY(writeFile(local.filePath("file.bin"), "stale partial bytes that differ"));
        p.ftp.setLocalFileName(QFile::encodeName(local.filePath("file.bin")));
        p.ftp.setHostFileName("file.bin");
        QCOMPARE(run(p, [&] { p.ftp.RestGet(); }), 0);
        QVERIFY2(p.linesWith("< 502") == 1, p.dump());
        QVERIFY(readFile(local.filePath("file.bin")) == data);

        // and an upload that cannot restart sends everything, not the tail
        QVERIFY(writeFile(local.filePath("up.bin"), data));
        QVERIFY(writeFile(s.root() + "/up.bin", data.left(1000)));
        p.ftp.setLocalFileName(QFile::encodeName(local.filePath("up.bin")));
        p.ftp.setHostFileName("up.bin");
        p.ftp.setResumeAt(1000);
        QCOMPARE(run(p, [&] { p.ftp.RestPut(); }), 0);
        QVERIFY(readFile(s.root() + "/up.bin") == data);
    }

    void passiveReplyNamingAnotherAddress()
    {
        // 127.0.0.2 is loopback too, but the server listens on 127.0.0.1
        // only: connecting where the reply says would be refused.
        PyFtpServer::Options o;
        o.masqueradeAddress = "127.0.0.2";
        o.disabledCommands = QStringList{"EPSV"};  // EPSV names no address at all
        PyFtpServer s(o);
        QVERIFY2(s.start(), qPrintable(s.errorString()));
        QVERIFY(writeFile(s.root() + "/f.txt", "data"));
        EngineProbe p;
        p.ftp.setPassive(true);
        QVERIFY2(loginBinary(p, s.port(), s.user(), s.password()), p.dump());
        QTemporaryDir local;
        p.ftp.setLocalFileName(QFile::encodeName(local.filePath("f.txt")));
        p.ftp.setHostFileName("f.txt");
        QCOMPARE(run(p, [&] { p.ftp.Get(); }), 0);
        QVERIFY2(p.linesWith("(127,0,0,2,") == 1, p.dump());
        QCOMPARE(readFile(local.filePath("f.txt")), QByteArray("data"));
    }

    void throughSocksAndProxy()
    {
        PyFtpServer s;
        QVERIFY2(s.start(), qPrintable(s.errorString()));
        const QByteArray data = randomBytes(200000, 5);
        QVERIFY(writeFile(s.root() + "/f.bin", data));
        testsupport::DanteServer dante;
        QVERIFY2(dante.start(), qPrintable(dante.errorString()));
        testsupport::FtpProxyServer proxy;
        QVERIFY2(proxy.start(), qPrintable(proxy.errorString()));

        for (bool viaProxy : {false, true}) {
            EngineProbe p;
            if (viaProxy) {
                p.ftp.setConnectionType(TFtpConnectionType::ftpProxy);
                p.ftp.setProxyServer("127.0.0.1");
                p.ftp.setProxyPort(QByteArray::number(proxy.port()));
            } else {
                p.ftp.setConnectionType(TFtpConnectionType::ftpSocks5);
                p.ftp.setSocksServer("127.0.0.1");
                p.ftp.setSocksPort(QByteArray::number(dante.port()));
            }
            QVERIFY2(loginBinary(p, s.port(), s.user(), s.password()), p.dump());
            QTemporaryDir local;
            p.ftp.setLocalFileName(QFile::encodeName(local.filePath("f.bin")));
            p.ftp.setHostFileName("f.bin");
            QCOMPARE(run(p, [&] { p.ftp.Get(); }), 0);
            QVERIFY(readFile(local.filePath("f.bin")) == data);
            p.ftp.setHostFileName(viaProxy ? "back-proxy.bin" : "back-socks.bin");
            QCOMPARE(run(p, [&] { p.ftp.Put(); }), 0);
            QVERIFY(readFile(s.root() + "/" + p.ftp.HostFileName()) == data);
            // Passive is forced: PASV, or EPSV where the server offers it.
            QVERIFY2(p.lines.contains("> PASV") || p.lines.contains("> EPSV"), p.dump());
            QCOMPARE(p.linesWith("> PORT") + p.linesWith("> EPRT"), 0);
        }
    }

    void refusalsKeepLocalData()
    {
        PyFtpServer::Options o;
        o.perm = "elr";  // read only
        PyFtpServer s(o);
        QVERIFY2(s.start(), qPrintable(s.errorString()));
        EngineProbe p;
        QVERIFY2(loginBinary(p, s.port(), s.user(), s.password()), p.dump());
        QTemporaryDir local;

        // an upload the server refuses is reported as a failure
        QVERIFY(writeFile(local.filePath("f.bin"), "precious"));
        p.ftp.setLocalFileName(QFile::encodeName(local.filePath("f.bin")));
        p.ftp.setHostFileName("f.bin");
        const int upload = run(p, [&] { p.ftp.Put(); });
        QVERIFY2(upload >= 500, p.dump());
        QVERIFY(!QFile::exists(s.root() + "/f.bin"));

        // a refused download leaves the local file as it was
        QCOMPARE(run(p, [&] { p.ftp.Get(); }), 550);
        QCOMPARE(readFile(local.filePath("f.bin")), QByteArray("precious"));
        // and creates no stray file
        p.ftp.setLocalFileName(QFile::encodeName(local.filePath("new.bin")));
        QCOMPARE(run(p, [&] { p.ftp.Get(); }), 550);
        QVERIFY(!QFile::exists(local.filePath("new.bin")));

        // local files that cannot be opened or written
        QVERIFY(writeFile(s.root() + "/r.bin", randomBytes(100000, 1)));
        p.ftp.setHostFileName("r.bin");
        p.ftp.setLocalFileName(QFile::encodeName(local.filePath("no/such/folder/r.bin")));
        QCOMPARE(run(p, [&] { p.ftp.Get(); }), 550);
        QVERIFY(p.ftp.LastResponse().startsWith("Unable to open local file "));
        p.ftp.setLocalFileName("/dev/full");
        QVERIFY(run(p, [&] { p.ftp.Get(); }) != 0);
        p.ftp.setLocalFileName(QFile::encodeName(local.filePath("missing.bin")));
        QCOMPARE(run(p, [&] { p.ftp.Put(); }), 426);
        QVERIFY(p.ftp.LastResponse().startsWith("426 Unable to open local file "));
        p.ftp.setLocalFileName("");
        QCOMPARE(run(p, [&] { p.ftp.Get(); }), 550);
        QCOMPARE(p.ftp.LastResponse(), QByteArray("LocalFileName empty"));

        // the session is still usable
        QCOMPARE(run(p, [&] { p.ftp.Pwd(); }), 0);
    }

    void abortFromProgressAndCancelledUpload()
    {
        PyFtpServer s;
        QVERIFY2(s.start(), qPrintable(s.errorString()));
        QVERIFY(writeFile(s.root() + "/big.bin", randomBytes(20 << 20, 9)));
        EngineProbe p;
        QVERIFY2(loginBinary(p, s.port(), s.user(), s.password()), p.dump());
        QTemporaryDir local;

        int calls = 0;
        auto conn = QObject::connect(&p.ftp, &TFtpClient::OnProgress, [&](qint64, bool& abort) {
            if (++calls == 2)
                abort = true;
        });
        p.ftp.setLocalFileName(QFile::encodeName(local.filePath("big.bin")));
        p.ftp.setHostFileName("big.bin");
        QVERIFY(run(p, [&] { p.ftp.Get(); }) != 0);
        QVERIFY2(p.lines.contains("! Abort requested"), p.dump());
        QObject::disconnect(conn);

        auto cancel = QObject::connect(&p.ftp, &TFtpClient::OnReadyToTransmit, [](bool& c) { c = true; });
        QCOMPARE(run(p, [&] { p.ftp.Put(); }), 426);
        QCOMPARE(p.ftp.LastResponse(), QByteArray("426 Transmit cancelled by application"));
        QObject::disconnect(cancel);

        QCOMPARE(run(p, [&] { p.ftp.Pwd(); }), 0);
    }

    void resumeAcrossTheFourGigabyteBoundary()
    {
        constexpr qint64 k4G = qint64(4) << 30;
        constexpr qint64 kTail = 1 << 20;
        PyFtpServer s;
        QVERIFY2(s.start(), qPrintable(s.errorString()));
        const QByteArray tail = randomBytes(kTail, 13);
        {
            // sparse: 4 GiB of holes, then 1 MiB of data
            QFile f(s.root() + "/huge.bin");
            QVERIFY(f.open(QIODevice::WriteOnly) && f.resize(k4G) && f.seek(k4G));
            QCOMPARE(f.write(tail), kTail);
        }
        EngineProbe p;
        QVERIFY2(loginBinary(p, s.port(), s.user(), s.password()), p.dump());
        QTemporaryDir local;
        const QString localPath = local.filePath("huge.bin");
        {
            QFile f(localPath);
            QVERIFY(f.open(QIODevice::WriteOnly) && f.resize(k4G));
        }
        p.ftp.setLocalFileName(QFile::encodeName(localPath));
        p.ftp.setHostFileName("huge.bin");
        QCOMPARE(run(p, [&] { p.ftp.RestGet(); }), 0);
        QVERIFY2(p.lines.contains("> REST 4294967296"), p.dump());
        QCOMPARE(p.ftp.ByteCount(), kTail);
        QCOMPARE(QFileInfo(localPath).size(), k4G + kTail);
        QVERIFY(readTail(localPath, k4G, kTail) == tail);

        // and up again: the server holds the first 4 GiB
        {
            QFile f(s.root() + "/up.bin");
            QVERIFY(f.open(QIODevice::WriteOnly) && f.resize(k4G));
        }
        p.ftp.setHostFileName("up.bin");
        p.ftp.setResumeAt(k4G);
        QCOMPARE(run(p, [&] { p.ftp.RestPut(); }), 0);
        QCOMPARE(p.ftp.ByteCount(), kTail);
        QCOMPARE(QFileInfo(s.root() + "/up.bin").size(), k4G + kTail);
        QVERIFY(readTail(s.root() + "/up.bin", k4G, kTail) == tail);
    }
};

QTEST_GUILESS_MAIN(TestDataChannel)
#include "test_data_channel.moc"

// Listings captured from real servers (pyftpdlib and vsftpd) over a tree of
// awkward names, parsed and compared with what the file system holds.

#include "listing/entry_date.h"
#include "listing/folder_cache.h"
#include "listing/local_listing.h"

#include "support/ftp_probe.h"
#include "support/pyftp_server.h"
#include "support/vsftpd_server.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <memory>

using namespace testsupport;

namespace {

const QDateTime kOld(QDate(1971, 2, 3), QTime(4, 5, 6), Qt::UTC);

bool putFile(const QString& path, const QByteArray& data, const QDateTime& modified = {})
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(data) != data.size() || !f.flush())
        return false;
    return !modified.isValid() || f.setFileTime(modified, QFileDevice::FileModificationTime);
}

// The tree: blanks inside, in front and behind, unicode, an arrow in a plain
// file's name, a folder, a link, a very old file, a sparse file above 4 GiB.
bool makeTree(const QString& root, QString& why)
{
    const QDir dir(root);
    const auto put = [&](const QString& name, const QByteArray& data, const QDateTime& when = {}) {
        if (!putFile(dir.filePath(name), data, when))
            why += QStringLiteral("cannot write \"%1\"; ").arg(name);
    };
    put(QStringLiteral("plain.txt"), "hello");
    put(QStringLiteral("two  blanks.txt"), "12");
    put(QStringLiteral(" leading blank"), "123");
    put(QStringLiteral("trailing blank "), "1234");
    put(QString::fromUtf8("unicod\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80.txt"), "euro");
    put(QStringLiteral("a -> b"), "not a link");
    put(QStringLiteral("old.txt"), "old", kOld);
    put(QStringLiteral("new.txt"), "new", QDateTime::currentDateTimeUtc().addSecs(-3600));
    if (!dir.mkdir(QStringLiteral("sub dir")))
        why += QStringLiteral("cannot make the folder; ");
    if (!QFile::link(QStringLiteral("plain.txt"), dir.filePath(QStringLiteral("link"))))
        why += QStringLiteral("cannot make the link; ");
    QFile big(dir.filePath(QStringLiteral("big.iso")));
    if (!big.open(QIODevice::WriteOnly) || !big.resize(qint64(5) * 1024 * 1024 * 1024 + 3))
        why += QStringLiteral("cannot make the sparse file; ");
    return why.isEmpty();
}

std::unique_ptr<ServerProcess> makeServer(const QString& kind, QString& root, QByteArray& user, QByteArray& password)
{
    if (kind == QLatin1String("pyftpdlib")) {
        auto server = std::make_unique<PyFtpServer>();
        root = server->root();
        user = server->user();
        password = server->password();
        return server;
    }
    auto server = std::make_unique<VsftpdServer>();
    root = server->root();
    user = server->user();
    password = server->password();
    return server;
}

}  // namespace

class TestListingReal : public QObject {
    Q_OBJECT

private slots:
    void parsesServerListing_data();
    void parsesServerListing();
};

void TestListingReal::parsesServerListing_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("pyftpdlib") << QStringLiteral("pyftpdlib");
    QTest::newRow("vsftpd") << QStringLiteral("vsftpd");
}

void TestListingReal::parsesServerListing()
{
    QFETCH(QString, kind);
    QString root;
    QByteArray user, password;
    const std::unique_ptr<ServerProcess> server = makeServer(kind, root, user, password);
    QString why;
    QVERIFY2(makeTree(root, why), qPrintable(why));
    QVERIFY2(server->start(), qPrintable(server->errorString()));

    FtpProbe probe;
    QVERIFY2(probe.connectTo(server->port()), qPrintable(probe.errorString()));
    QCOMPARE(probe.readReply().code, 220);
    QCOMPARE(probe.login(user, password).code, 230);
    QCOMPARE(probe.command("TYPE A").code, 200);
    const std::optional<QByteArray> listing = probe.passiveTransfer("LIST");
    QVERIFY2(listing, qPrintable(probe.errorString()));

    RemoteFolderCache cache;
    const tFolderObject& folder = StoreRemoteListing(cache, QStringLiteral("/"), *listing, kLayoutDetect,
                                                     ListingNow::at(QDateTime::currentDateTimeUtc()));

    const std::optional<FolderEntries> disk = ListLocalFolder(root);
    QVERIFY(disk);
    QStringList expectedNames;
    for (const FolderEntry& row : *disk)
        expectedNames.append(row.name);
    expectedNames.sort();
    QStringList names;
    for (const FolderEntry& row : folder.entries)
        names.append(row.name);
    QVERIFY2(names == expectedNames,
             qPrintable(QStringLiteral("listed: [%1]\nexpected: [%2]\nlisting:\n%3")
                            .arg(names.join("|"), expectedNames.join("|"), QString::fromUtf8(*listing))));

    for (const FolderEntry& onDisk : *disk) {
        const FolderEntry* listed = folder.find(onDisk.name);
        QVERIFY(listed);
        const QString what = QStringLiteral("\"%1\"").arg(onDisk.name);
        const QFileInfo info(QDir(root).filePath(onDisk.name));
        if (info.isSymLink()) {
            QVERIFY2(listed->entry.kind == kEntryFolder, qPrintable(what));  // links are entered like folders
            continue;
        }
        QVERIFY2(listed->entry.kind == onDisk.entry.kind, qPrintable(what));
        if (onDisk.entry.kind == kEntryFile)
            QVERIFY2(listed->entry.size == onDisk.entry.size, qPrintable(what));
        QVERIFY2(listed->entry.attributes > 0, qPrintable(what));

        // Both servers list times in UTC; ls shows the year alone for old
        // files and the time of day for recent ones.
        const QDateTime modified = info.lastModified().toUTC();
        const QDateTime got = entryDateToDateTime(listed->entry.date);
        if (onDisk.name == QLatin1String("old.txt")) {
            QCOMPARE(got, QDateTime(kOld.date(), QTime(0, 0)));
        } else {
            const qint64 apart = got.secsTo(QDateTime(modified.date(), modified.time()));
            QVERIFY2(apart >= 0 && apart < 60, qPrintable(what + " " + got.toString(Qt::ISODate)));
        }
    }
}

QTEST_GUILESS_MAIN(TestListingReal)
#include "test_listing_real.moc"

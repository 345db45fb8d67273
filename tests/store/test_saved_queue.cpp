// The queue kept between runs comes back exactly as written, and the loader
// refuses anything else (a cut, a flipped bit, and behind a valid checksum
// every field out of what the queue can hold) without allocating for lies.

#include "store/saved_queue.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <limits>

#include <zlib.h>

namespace {

SavedQueue sampleQueue()
{
    SavedQueue q;
    q.host = QStringLiteral("ftp.example.org");
    q.port = QStringLiteral("2121");
    q.user = QStringLiteral("jürgen");
    q.foldersToMake = {QStringLiteral("/in/tree/"), QStringLiteral("/in/tree/ünder/")};
    SavedTransfer download;
    download.from = QStringLiteral("/pub/big.iso");
    download.to = QStringLiteral("/home/j/big.iso");
    download.size = 5'000'000'000;  // past 32 bits
    download.date = 45000.25;
    download.serverAddress = QStringLiteral("ftp.example.org");
    download.partial = true;
    download.partialSize = 123456789;
    download.partialModifiedMs = 1'700'000'000'123;
    download.action = 1;
    SavedTransfer failed;
    failed.upload = true;
    failed.from = QStringLiteral("/home/j/Ünïcode ✓.txt");
    failed.to = QStringLiteral("/in/Ünïcode ✓.txt");
    failed.size = 0;
    failed.failed = true;
    failed.failureReason = QStringLiteral("553 Could not create file.");
    failed.action = 0;
    SavedTransfer folder;
    folder.folder = true;
    folder.size = -1;
    folder.from = QStringLiteral("/pub/tree/");
    folder.to = QStringLiteral("/home/j/tree/");
    SavedTransfer opened;
    opened.from = QStringLiteral("/notes.txt");
    opened.to = QStringLiteral("/home/j/notes.txt");
    opened.size = 12;
    opened.openAfter = true;
    opened.viewAfter = true;
    opened.action = 2;
    q.transfers = {download, failed, folder, opened};
    return q;
}

QByteArray encoded(const SavedQueue& q)
{
    QByteArray bytes;
    if (!savedqueue::encode(q, bytes).ok())
        qFatal("the sample queue does not encode");
    return bytes;
}

// Rewrites the trailing checksum so that a tampered field reaches the checks
// behind it.
QByteArray resealed(QByteArray b)
{
    const qsizetype body = b.size() - 4;
    const quint32 crc = quint32(crc32(0, reinterpret_cast<const Bytef*>(b.constData()), uInt(body)));
    for (int i = 0; i < 4; ++i)
        b[body + i] = char((crc >> (8 * i)) & 0xFF);
    return b;
}

void le(QByteArray& b, qsizetype at, quint64 v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        b[at + i] = char((v >> (8 * i)) & 0xFF);
}

// A queue of one transfer on a server of empty names: the offsets of its
// fields are fixed.
SavedQueue oneTransfer()
{
    SavedQueue q;
    SavedTransfer t;
    t.from = QStringLiteral("a");
    t.to = QStringLiteral("b");
    t.size = 7;
    q.transfers = {t};
    return q;
}
constexpr int CountAt = 10;
constexpr int FoldersAt = 14 + 3 * 2;
constexpr int FlagsAt = FoldersAt + 4;
constexpr int SizeAt = FlagsAt + 1;
constexpr int DateAt = SizeAt + 8;
constexpr int ActionAt = DateAt + 8;
constexpr int FromAt = ActionAt + 4;  // length 1, "a"
constexpr int ToAt = FromAt + 3;      // length 1, "b"
constexpr int ReasonAt = ToAt + 3 + 2;

}  // namespace

class TestSavedQueue : public QObject {
    Q_OBJECT
private slots:
    void comesBackAsWritten()
    {
        const SavedQueue q = sampleQueue();
        const QByteArray bytes = encoded(q);
        QVERIFY(bytes.startsWith(QByteArray("GLMRQUEU\x01\x00\x04\x00\x00\x00", 14)));
        const SavedQueueLoad back = savedqueue::decode(bytes);
        QVERIFY2(back.status.ok(), qPrintable(back.status.message));
        QVERIFY(back.queue == q);

        // The golden layout of one transfer.
        const QByteArray one = encoded(oneTransfer());
        QCOMPARE(one.size(), ReasonAt + 2 + 4);
        QCOMPARE(one.mid(FlagsAt, 1 + 8), QByteArray("\x00\x07\x00\x00\x00\x00\x00\x00\x00", 9));
        QCOMPARE(one.mid(ActionAt, 4), QByteArray("\xFF\xFF\xFF\xFF"));
        QCOMPARE(one.mid(FromAt, 6), QByteArray("\x01\x00"
                                                "a\x01\x00"
                                                "b",
                                                6));
    }

    void whatCannotBeKeptIsMadeSound()
    {
        SavedQueue q = oneTransfer();
        q.transfers[0].failed = true;
        q.transfers[0].failureReason = QString(3000, QChar(0x00E9));  // 6000 bytes of UTF-8
        q.transfers[0].date = std::numeric_limits<double>::quiet_NaN();
        q.transfers[0].action = 9;
        const SavedQueueLoad back = savedqueue::decode(encoded(q));
        QVERIFY2(back.status.ok(), qPrintable(back.status.message));
        const SavedTransfer& t = back.queue.transfers[0];
        QCOMPARE(t.failureReason, QString(2048, QChar(0x00E9)));  // cut between characters
        QCOMPARE(t.date, 0.0);
        QCOMPARE(t.action, 2);

        q = oneTransfer();
        q.transfers[0].to = QString(70000, QLatin1Char('x'));
        QByteArray out;
        QCOMPARE(savedqueue::encode(q, out).code, StoreCode::WriteFailed);
        QVERIFY(out.isEmpty());
    }

    void damagedInputIsRefused_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray good = encoded(sampleQueue());
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("other file") << QByteArray("GLMRDATA\x01\x00\x00\x00\x00\x00\x00\x00", 16);
        for (qsizetype cut : {qsizetype(17), good.size() / 2, good.size() - 5, good.size() - 1})
            QTest::newRow(qPrintable(QStringLiteral("cut to %1").arg(cut))) << good.left(cut);
        for (qsizetype at : {qsizetype(3), qsizetype(CountAt), good.size() / 2, good.size() - 2}) {
            QByteArray flipped = good;
            flipped[at] = char(flipped[at] ^ 0x04);
            QTest::newRow(qPrintable(QStringLiteral("byte %1 flipped").arg(at))) << flipped;
        }
        QTest::newRow("bytes appended") << good + "x";

        // Behind a valid checksum: every inner check on its own.
        const QByteArray one = encoded(oneTransfer());
        const auto tampered = [&](const char* name, qsizetype at, quint64 v, int bytes) {
            QByteArray b = one;
            le(b, at, v, bytes);
            QTest::newRow(name) << resealed(b);
        };
        tampered("a million and one transfers", CountAt, 1000001, 4);
        tampered("more transfers than present", CountAt, 2, 4);
        tampered("no transfers, bytes left over", CountAt, 0, 4);
        tampered("a million and one folders", FoldersAt, 1000001, 4);
        tampered("more folders than bytes", FoldersAt, 20, 4);
        tampered("unknown flag", FlagsAt, 0x40, 1);
        tampered("a folder with a size", FlagsAt, 0x02, 1);
        tampered("a partial file without its fields", FlagsAt, 0x20, 1);
        tampered("failed without a reason", FlagsAt, 0x10, 1);
        tampered("negative size", SizeAt, quint64(-2), 8);
        tampered("not a number for a date", DateAt, 0x7FF8000000000000ull, 8);
        tampered("infinite date", DateAt, 0x7FF0000000000000ull, 8);
        tampered("action 3", ActionAt, 3, 4);
        tampered("action -2", ActionAt, quint64(-2), 4);
        tampered("text longer than the file", FromAt, 0xFFFF, 2);
        tampered("empty source", FromAt, 0, 2);
        tampered("not UTF-8", FromAt + 2, 0xC3, 1);
        SavedQueue failed = oneTransfer();
        failed.transfers[0].failed = true;
        failed.transfers[0].failureReason = QStringLiteral("550 Gone");
        QByteArray b = encoded(failed);
        b[FlagsAt] = 0;
        QTest::newRow("a reason on a waiting transfer") << resealed(b);
        SavedQueue emptyFolder = oneTransfer();
        emptyFolder.foldersToMake = {QStringLiteral("x")};
        b = encoded(emptyFolder);
        le(b, FlagsAt, 0, 2);  // the folder's length: an empty name
        QTest::newRow("an empty folder") << resealed(b);
        b = one;
        b[8] = 0;
        QTest::newRow("version 0") << resealed(b);

        SavedQueue partial = oneTransfer();
        partial.transfers[0].partial = true;
        b = encoded(partial);
        le(b, ReasonAt + 2, quint64(-1), 8);
        QTest::newRow("negative partial size") << resealed(b);
    }

    void damagedInputIsRefused()
    {
        QFETCH(QByteArray, bytes);
        const SavedQueueLoad load = savedqueue::decode(bytes);
        QCOMPARE(load.status.code, StoreCode::Damaged);
        QVERIFY(!load.status.message.isEmpty());
        QVERIFY(load.queue.transfers.isEmpty());
        QVERIFY(!load.newerFormat);
    }

    void aNewerFormatIsToldApart()
    {
        QByteArray b = encoded(oneTransfer());
        b[8] = 2;
        const SavedQueueLoad load = savedqueue::decode(resealed(b));
        QCOMPARE(load.status.code, StoreCode::Damaged);
        QVERIFY(load.newerFormat);
    }

    void filesBesideTheDataFile()
    {
        QCOMPARE(savedqueue::pathBesideDataFile(QStringLiteral("/a/glimmerftp.dat")),
                 QStringLiteral("/a/glimmerftp.queue"));
        QCOMPARE(savedqueue::pathBesideDataFile(QStringLiteral("/a/settings")), QStringLiteral("/a/settings.queue"));
        QCOMPARE(savedqueue::pathBesideDataFile(QStringLiteral("/a/x.queue")), QStringLiteral("/a/x.queue.queue"));

        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("sub/glimmerftp.queue"));
        QCOMPARE(savedqueue::load(path).status.code, StoreCode::Missing);
        QVERIFY(savedqueue::save(path, sampleQueue()).ok());
        const auto others = QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther;
        QVERIFY(!(QFile::permissions(path) & others));
        const SavedQueueLoad back = savedqueue::load(path);
        QVERIFY2(back.status.ok(), qPrintable(back.status.message));
        QVERIFY(back.queue == sampleQueue());
        QCOMPARE(savedqueue::load(dir.path()).status.code, StoreCode::Unreadable);  // a folder
    }
};

QTEST_GUILESS_MAIN(TestSavedQueue)
#include "test_saved_queue.moc"

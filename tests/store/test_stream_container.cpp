// The container keeps every stream byte for byte and refuses anything that is
// not exactly what it wrote, without crashing or allocating for lies.

#include "store/stream_container.h"

#include <QRandomGenerator>
#include <QtTest>

#include <zlib.h>

namespace {

QByteArray randomBytes(int size, quint32 seed)
{
    QRandomGenerator rng(seed);
    QByteArray b(size, '\0');
    for (char& c : b)
        c = char(rng.bounded(256));
    return b;
}

QByteArray sampleFile()
{
    StreamContainer c;
    c.putStream("ProgramData", QByteArray(13424, 'p'));
    c.putStream("Favorites", randomBytes(3 * 4206, 7));
    QByteArray bytes;
    if (!c.toBytes(bytes).ok())
        qFatal("sample container does not encode");
    return bytes;
}

void le32(QByteArray& b, int offset, quint32 v)
{
    for (int i = 0; i < 4; ++i)
        b[offset + i] = char((v >> (8 * i)) & 0xFF);
}

// Rewrites the trailing file checksum so that a tampered field reaches the
// checks behind it.
QByteArray resealed(QByteArray b)
{
    const qsizetype body = b.size() - 4;
    le32(b, int(body), quint32(crc32(0, reinterpret_cast<const Bytef*>(b.constData()), uInt(body))));
    return b;
}

// Offsets inside sampleFile(): header 12 bytes, then "ProgramData".
constexpr int FirstNameLength = 12;
constexpr int FirstStoredSize = 12 + 2 + 11;
constexpr int FirstOriginalSize = FirstStoredSize + 4;
constexpr int FirstCrc = FirstOriginalSize + 4;
constexpr int FirstData = FirstCrc + 4;

}  // namespace

class TestStreamContainer : public QObject {
    Q_OBJECT
private slots:
    void streamsComeBackByteForByte()
    {
        StreamContainer c;
        const QByteArray big = randomBytes(300000, 1);
        c.putStream("ProgramData", QByteArray(13424, '\0'));
        c.putStream("Empty", QByteArray());
        c.putStream("Big", big);
        c.putStream("ProgramData", "replaced");  // same name: replaced in place
        QByteArray bytes;
        QVERIFY(c.toBytes(bytes).ok());
        QVERIFY(bytes.size() < 300000 + 1000);

        StreamContainer back;
        QVERIFY(back.loadFromBytes(bytes).ok());
        QCOMPARE(back.streamNames(), (QStringList{"ProgramData", "Empty", "Big"}));
        QByteArray out;
        QVERIFY(back.getStream("ProgramData", out).ok());
        QCOMPARE(out, QByteArray("replaced"));
        QVERIFY(back.getStream("Empty", out).ok());
        QVERIFY(out.isEmpty());
        QVERIFY(back.getStream("Big", out).ok());
        QCOMPARE(out, big);
        QCOMPARE(back.getStream("programdata", out).code, StoreCode::Missing);
        back.clear();
        QCOMPARE(back.getStream("Big", out).code, StoreCode::Missing);
    }

    void damagedInputIsRefused_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray good = sampleFile();
        QTest::newRow("magic only") << good.left(8);
        QTest::newRow("header only") << good.left(12);
        for (int cut : {13, FirstData + 3, int(good.size()) - 5, int(good.size()) - 1})
            QTest::newRow(qPrintable(QStringLiteral("truncated to %1").arg(cut))) << good.left(cut);
        for (int at : {9, FirstNameLength + 3, FirstData + 10, int(good.size()) - 2}) {
            QByteArray flipped = good;
            flipped[at] = char(flipped[at] ^ 0x40);
            QTest::newRow(qPrintable(QStringLiteral("byte %1 flipped").arg(at))) << flipped;
        }
        QTest::newRow("bytes appended") << good + "x";

        // Behind a valid file checksum: every inner check on its own.
        QByteArray b = good;
        b[8] = 2;
        QTest::newRow("unknown version") << resealed(b);
        b = good;
        b[10] = 3;
        QTest::newRow("more streams than present") << resealed(b);
        b = good;
        b[10] = 1;
        QTest::newRow("fewer streams than present") << resealed(b);
        b = good;
        le32(b, FirstOriginalSize, 0xFFFFFFFFu);
        QTest::newRow("huge original size") << resealed(b);
        b = good;
        le32(b, FirstOriginalSize, 13425);
        QTest::newRow("original size off by one") << resealed(b);
        b = good;
        le32(b, FirstStoredSize, 0x7FFFFFFFu);
        QTest::newRow("stored size past the end") << resealed(b);
        b = good;
        b[FirstNameLength] = 0;
        QTest::newRow("empty name") << resealed(b);
        b = good;
        b[FirstCrc] = char(b[FirstCrc] ^ 1);
        QTest::newRow("stream checksum") << resealed(b);
        b = good;
        b[FirstData + 4] = char(b[FirstData + 4] ^ 0x10);
        QTest::newRow("compressed data") << resealed(b);

        StreamContainer twice;
        twice.putStream("A", "1");
        twice.putStream("B", "2");
        QByteArray t;
        QVERIFY(twice.toBytes(t).ok());
        t[12 + 2] = 'B';  // the first name becomes "B" as well
        QTest::newRow("duplicate name") << resealed(t);
    }

    void damagedInputIsRefused()
    {
        QFETCH(QByteArray, bytes);
        StreamContainer c;
        c.putStream("Stale", "left over");
        const StoreStatus status = c.loadFromBytes(bytes);
        QCOMPARE(status.code, StoreCode::Damaged);
        QVERIFY(!status.message.isEmpty());
        QVERIFY(c.streamNames().isEmpty());
    }

    // Without the magic the bytes are some other file, not a damaged one.
    void foreignInputIsRefused()
    {
        QByteArray flipped = sampleFile();
        flipped[0] = char(flipped[0] ^ 0x40);
        for (const QByteArray& bytes :
             {QByteArray(), QByteArray("PK\x03\x04 not ours at all"), QByteArray("GLMRDAT"), flipped}) {
            StreamContainer c;
            QCOMPARE(c.loadFromBytes(bytes).code, StoreCode::Foreign);
        }
    }

    void missingForeignAndUnreadableFiles()
    {
        QTemporaryDir dir;
        StreamContainer c;
        QCOMPARE(c.loadFromFile(dir.filePath("none.dat")).code, StoreCode::Missing);
        StoreStatus status = c.loadFromFile(dir.path());
        QCOMPARE(status.code, StoreCode::Foreign);
        QCOMPARE(status.message, dir.path() + " is a folder");
        QFile text(dir.filePath("notes.txt"));
        QVERIFY(text.open(QIODevice::WriteOnly) && text.write("export PATH=$HOME/bin:$PATH\n") > 0);
        text.close();
        status = c.loadFromFile(text.fileName());
        QCOMPARE(status.code, StoreCode::Foreign);
        QCOMPARE(status.message, text.fileName() + " is not a Glimmer FTP data file");
#ifdef Q_OS_UNIX
        if (geteuid() != 0) {  // root reads anything
            QVERIFY(text.setPermissions(QFileDevice::WriteOwner));
            QCOMPARE(c.loadFromFile(text.fileName()).code, StoreCode::Unreadable);
        }
#endif
    }

    void savesAndLoadsFiles()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("sub/glimmerftp.dat");
        StreamContainer c;
        c.putStream("Favorites", randomBytes(5000, 3));
        QVERIFY(c.saveToFile(path).ok());
        StreamContainer back;
        QVERIFY(back.loadFromFile(path).ok());
        QByteArray out;
        QVERIFY(back.getStream("Favorites", out).ok());
        QCOMPARE(out, randomBytes(5000, 3));
    }
};

QTEST_GUILESS_MAIN(TestStreamContainer)
#include "test_stream_container.moc"

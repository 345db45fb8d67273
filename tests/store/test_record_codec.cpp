// Cutting stored text at its capacity without splitting a character.

#include "store/record_codec.h"

#include <QtTest>

class TestRecordCodec : public QObject {
    Q_OBJECT
private slots:
    void cutAtCharBoundary_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("max");
        QTest::addColumn<QByteArray>("expected");
        const QByteArray e = "\xC3\xA9";             // é, 2 bytes
        const QByteArray euro = "\xE2\x82\xAC";      // €, 3 bytes
        const QByteArray clef = "\xF0\x9D\x84\x9E";  // 𝄞, 4 bytes
        QTest::newRow("fits") << QByteArray("abc") << 3 << QByteArray("abc");
        QTest::newRow("ascii cut") << QByteArray("abcdef") << 4 << QByteArray("abcd");
        QTest::newRow("inside 2-byte") << "ab" + e << 3 << QByteArray("ab");
        QTest::newRow("after 2-byte") << "ab" + e + "c" << 4 << "ab" + e;
        QTest::newRow("inside 3-byte, 1 in") << "a" + euro << 2 << QByteArray("a");
        QTest::newRow("inside 3-byte, 2 in") << "a" + euro << 3 << QByteArray("a");
        QTest::newRow("inside 4-byte, 3 in") << clef + clef << 7 << clef;
        QTest::newRow("0xFF separators are boundaries") << QByteArray("*.a\xFF*.b\xFF") << 5 << QByteArray("*.a\xFF*");
        QTest::newRow("stray continuation bytes cut as bytes")
            << QByteArray("\x80\x80\x80\x80\x80\x80") << 5 << QByteArray("\x80\x80\x80\x80\x80");
        QTest::newRow("zero") << e << 0 << QByteArray();
    }

    void cutAtCharBoundary()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, max);
        QFETCH(QByteArray, expected);
        QCOMPARE(record::cutAtCharBoundary(text, max).toByteArray(), expected);
    }
};

QTEST_GUILESS_MAIN(TestRecordCodec)
#include "test_record_codec.moc"

// Reply framing and the values parsed out of replies.

#include "engine/ftp_reply.h"

#include <QTest>

class TestFtpReply : public QObject {
    Q_OBJECT
private slots:
    void takeLine_data()
    {
        QTest::addColumn<QByteArray>("buffer");
        QTest::addColumn<bool>("acceptLF");
        QTest::addColumn<bool>("force");
        QTest::addColumn<bool>("hasLine");
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QByteArray>("rest");
        QTest::newRow("crlf") << QByteArray("220 hi\r\n230 x") << false << false << true << QByteArray("220 hi")
                              << QByteArray("230 x");
        QTest::newRow("bare lf waits without acceptLF")
            << QByteArray("220 hi\n") << false << false << false << QByteArray() << QByteArray("220 hi\n");
        QTest::newRow("bare lf with acceptLF")
            << QByteArray("220 hi\nnext") << true << false << true << QByteArray("220 hi") << QByteArray("next");
        QTest::newRow("lf then crlf keeps inner text")
            << QByteArray("220 hi\n\r\n") << false << false << true << QByteArray("220 hi") << QByteArray();
        QTest::newRow("trailing crs stripped")
            << QByteArray("200 ok\r\r\n") << true << false << true << QByteArray("200 ok") << QByteArray();
        QTest::newRow("full buffer taken as it stands")
            << QByteArray("220 long") << false << true << true << QByteArray("220 long") << QByteArray();
        QTest::newRow("empty buffer never a line")
            << QByteArray() << false << true << false << QByteArray() << QByteArray();
    }
    void takeLine()
    {
        QFETCH(QByteArray, buffer);
        QFETCH(bool, acceptLF);
        QFETCH(bool, force);
        QFETCH(bool, hasLine);
        QFETCH(QByteArray, line);
        QFETCH(QByteArray, rest);
        const auto got = ftpreply::takeLine(buffer, acceptLF, force);
        QCOMPARE(got.has_value(), hasLine);
        if (hasLine)
            QCOMPARE(*got, line);
        QCOMPARE(buffer, rest);
    }

    void finalLinesAndCodes_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<bool>("final");
        QTest::addColumn<int>("code");
        QTest::newRow("final") << QByteArray("230 Logged in") << true << 230;
        QTest::newRow("continuation") << QByteArray("230-Welcome") << false << 230;
        QTest::newRow("code alone") << QByteArray("221") << true << 221;
        QTest::newRow("text line") << QByteArray(" welcome") << false << 0;
        QTest::newRow("empty") << QByteArray() << false << 0;
        QTest::newRow("leading blanks") << QByteArray(" \t200 x") << false << 200;
        QTest::newRow("sign") << QByteArray("-5") << false << -5;
    }
    void finalLinesAndCodes()
    {
        QFETCH(QByteArray, line);
        QFETCH(bool, final);
        QFETCH(int, code);
        QCOMPARE(ftpreply::isFinalLine(line), final);
        QCOMPARE(ftpreply::replyCode(line), code);
    }

    void quotedDirectory_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QByteArray>("dir");
        QTest::newRow("plain") << QByteArray("257 \"/pub\" is current") << QByteArray("/pub");
        QTest::newRow("doubled quotes") << QByteArray("257 \"/a \"\"b\"\" c\" created") << QByteArray("/a \"b\" c");
        QTest::newRow("no quotes") << QByteArray("250 CWD ok") << QByteArray();
        QTest::newRow("unterminated") << QByteArray("257 \"/x") << QByteArray("/x");
        QTest::newRow("digits in the code are not text") << QByteArray("257\"/d\"") << QByteArray("/d");
    }
    void quotedDirectory()
    {
        QFETCH(QByteArray, line);
        QFETCH(QByteArray, dir);
        QCOMPARE(ftpreply::quotedDirectory(line), dir);
    }

    void sizes()
    {
        QCOMPARE(ftpreply::sizeValue("213 1234"), qint64(1234));
        QCOMPARE(ftpreply::sizeValue("213 5000000000"), qint64(5000000000LL));  // over 4 GiB
        QCOMPARE(ftpreply::sizeValue("213 "), qint64(-1));
        QCOMPARE(ftpreply::sizeValue("213 99999999999999999999999"), qint64(-1));
    }

    void passivePorts()
    {
        QCOMPARE(ftpreply::pasvPort("227 Entering Passive Mode (10,0,0,5,195,80)"), std::optional<quint16>(50000));
        QCOMPARE(ftpreply::pasvPort("227 =(127, 0, 0, 1, 0, 21)."), std::optional<quint16>(21));
        QCOMPARE(ftpreply::pasvPort("227 (1,2,3,4,255,255)"), std::optional<quint16>(65535));
        QCOMPARE(ftpreply::pasvPort("227 (1,2,3,4,x,1)"), std::nullopt);
        QCOMPARE(ftpreply::pasvPort("227 (1,2,3,4,1,2"), std::nullopt);
        QCOMPARE(ftpreply::pasvPort("227 (1,2,3,4,-1,2)"), std::nullopt);
    }

    void portCommands()
    {
        QCOMPARE(ftpreply::portCommand(0x7F000001, 50000), QByteArray("PORT 127,0,0,1,195,80"));
        QCOMPARE(ftpreply::portCommand(0xC0A80A02, 21), QByteArray("PORT 192,168,10,2,0,21"));
    }
};

QTEST_GUILESS_MAIN(TestFtpReply)
#include "test_ftp_reply.moc"

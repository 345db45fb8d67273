// The settings record against bytes written out by hand at the offsets of the
// stored layout, so that a wrong offset in the encoder cannot hide behind the
// decoder making the same mistake.

#include "store/program_data.h"

#include <QtTest>

namespace {

void le(QByteArray& b, int offset, quint64 value, int size)
{
    for (int i = 0; i < size; ++i)
        b[offset + i] = char((value >> (8 * i)) & 0xFF);
}

void str(QByteArray& b, int offset, QByteArray text)
{
    b[offset] = char(text.size());
    for (int i = 0; i < text.size(); ++i)
        b[offset + 1 + i] = text[i];
}

// Every field set to a value of its own.
ProgramData sample()
{
    ProgramData d;
    d.lastLocalFolder = "/home/ann/";
    for (int i = 0; i < 10; ++i) {
        d.localColumnWidths[i] = 100 + i;
        d.remoteColumnWidths[i] = 200 + i;
    }
    for (int i = 0; i < 80; ++i)
        d.queueColumnWidths[i] = 1000 + i;
    d.bottomPanelHeight = 321;
    d.quickConnectAddress = "ftp.example.org";
    d.quickConnectUser = "ann";
    d.quickConnectPassword = "s3cret";
    d.quickConnectPort = "2121";
    d.queueAlwaysActive = true;
    d.localFolderHistory[0] = "/tmp/";
    d.localFolderHistory[9] = "/srv/";
    d.logAutoScroll = false;
    d.sStartUpAction = 2;
    d.sLvFullRowSelect = true;
    d.sDoubleClickAction = 1;
    d.sMonitorClipboard = true;
    d.sFirewallType = 3;
    d.lastFindText = "needle";
    d.panesSwitched = true;
    d.sFirewallAddress = "proxy.local";
    d.sFirewallPort = "1080";
    d.sListHiddenFiles = true;
    d.windowHeight = 600;
    d.windowWidth = 800;
    d.windowLeft = -8;
    d.windowTop = 40;
    d.windowState = WindowStateMaximized;
    d.leftPanelWidth = 390;
    d.logWidth = 450;
    d.sWinColor = 0x00FFEEDD;
    d.fontColor = 0x00112233;
    d.fontName = "DejaVu Sans";
    d.fontSize = 9;
    d.listStyle = ListStyleReport;
    d.localSortColumn = 2;
    d.remoteSortColumn = -3;
    d.sRetryTillConnected = true;
    d.sRetries = 7;
    d.sRetryDelay = 45;
    d.sAnonPassword = "me@example.org";
    d.sWarnLocalDelete = true;
    d.sWarnRemoteDelete = true;
    d.sShowLoginMessage = true;
    d.sXferAction = 2;
    d.sXferPromptForAction = true;
    d.sXferClosePromptForAction = true;
    d.sXferClosePromptForActionSecs = 30;
    d.sASCIIFiles = "*.txt\xFF*.c\xFF";
    d.sSndConnect = "/snd/c.wav";
    d.sSndDisconnect = "/snd/d.wav";
    d.sSndXferComplete = "/snd/x.wav";
    d.sSndDisable = true;
    d.saveCounter = 0x0102030405060708ULL;
    d.sCheckForNewVersion = false;
    d.sAntiTimeout = true;
    d.sShowFTPAttrs = true;
    return d;
}

QByteArray sampleBytes()
{
    QByteArray b(13424, '\0');
    str(b, 0x0000, "/home/ann/");
    for (int i = 0; i < 10; ++i) {
        le(b, 0x0100 + 4 * i, 100 + i, 4);
        le(b, 0x0128 + 4 * i, 200 + i, 4);
    }
    for (int i = 0; i < 80; ++i)
        le(b, 0x0150 + 4 * i, 1000 + i, 4);
    le(b, 0x0290, 321, 4);
    str(b, 0x0294, "ftp.example.org");
    str(b, 0x0394, "ann");
    str(b, 0x0494, "s3cret");
    str(b, 0x0594, "2121");
    b[0x2102] = 1;
    str(b, 0x2103, "/tmp/");
    str(b, 0x2103 + 9 * 256, "/srv/");
    b[0x2B03] = 0;
    b[0x2B04] = 2;
    b[0x2B05] = 1;
    b[0x2B06] = 1;
    b[0x2B07] = 1;
    b[0x2B08] = 3;
    str(b, 0x2B09, "needle");
    b[0x2C09] = 1;
    str(b, 0x2C0A, "proxy.local");
    str(b, 0x2D0A, "1080");
    b[0x2E0B] = 1;
    le(b, 0x2E0C, 600, 4);
    le(b, 0x2E10, 800, 4);
    le(b, 0x2E14, quint32(-8), 4);
    le(b, 0x2E18, 40, 4);
    b[0x2E1C] = 2;
    le(b, 0x2E20, 390, 4);
    le(b, 0x2E24, 450, 4);
    le(b, 0x2E28, 0x00FFEEDD, 4);
    le(b, 0x2E2C, 0x00112233, 4);
    str(b, 0x2E30, "DejaVu Sans");
    le(b, 0x2F30, 9, 4);
    b[0x2F34] = 3;
    le(b, 0x2F38, 2, 4);
    le(b, 0x2F3C, quint32(-3), 4);
    b[0x2F41] = 1;
    le(b, 0x2F44, 7, 4);
    le(b, 0x2F48, 45, 4);
    str(b, 0x2F4C, "me@example.org");
    b[0x304C] = 1;
    b[0x304D] = 1;
    b[0x304E] = 1;
    b[0x304F] = 2;
    b[0x3050] = 1;
    b[0x3051] = 1;
    le(b, 0x3054, 30, 4);
    str(b, 0x3058, "*.txt\xFF*.c\xFF");
    str(b, 0x3158, "/snd/c.wav");
    str(b, 0x3258, "/snd/d.wav");
    str(b, 0x3358, "/snd/x.wav");
    b[0x3458] = 1;
    le(b, 0x3460, 0x0102030405060708ULL, 8);
    b[0x3468] = 0;
    b[0x346A] = 1;
    b[0x346B] = 1;
    return b;
}

void compareBytes(const QByteArray& actual, const QByteArray& expected)
{
    QCOMPARE(actual.size(), expected.size());
    for (int i = 0; i < expected.size(); ++i) {
        if (actual[i] != expected[i])
            QFAIL(qPrintable(QStringLiteral("byte 0x%1: expected 0x%2, got 0x%3")
                                 .arg(i, 4, 16, QChar('0'))
                                 .arg(quint8(expected[i]), 2, 16, QChar('0'))
                                 .arg(quint8(actual[i]), 2, 16, QChar('0'))));
    }
}

}  // namespace

class TestProgramData : public QObject {
    Q_OBJECT
private slots:
    void encodesEveryFieldAtItsOffset() { compareBytes(sample().encode(), sampleBytes()); }

    void decodesEveryFieldFromItsOffset()
    {
        auto decoded = ProgramData::decode(sampleBytes());
        QVERIFY(decoded);
        ProgramData expected = sample();
        expected.heldBytes = sampleBytes();
        QVERIFY(*decoded == expected);
    }

    void defaultsAsDocumented()
    {
        QByteArray b(13424, '\0');
        str(b, 0x0000, defaultLocalFolder());
        b[0x2B03] = 1;  // auto scroll on
        b[0x2102] = 1;  // the queue always active: a transfer starts when asked for
        b[0x304D] = 1;  // ask before deleting remote files
        le(b, 0x2E28, 0x80000005, 4);
        str(b, 0x2E30, "MS Sans Serif");
        le(b, 0x2F30, 10, 4);
        str(b, 0x3058, "*.txt\xFF*.*htm*");
        b[0x3468] = 1;  // update check on
        compareBytes(ProgramData::defaults().encode(), b);
        QVERIFY(defaultLocalFolder().endsWith(QDir::separator().toLatin1()));
        QCOMPARE(ProgramData().asciiMasks(), (QList<QByteArray>{"*.txt", "*.*htm*"}));

        // A stored record keeps the choices it holds.
        b[0x2102] = 0;
        b[0x304D] = 0;
        const auto stored = ProgramData::decode(b);
        QVERIFY(stored);
        QVERIFY(!stored->queueAlwaysActive);
        QVERIFY(!stored->sWarnRemoteDelete);
    }

    void reservedBytesAreKeptAsHeld()
    {
        QByteArray image = sampleBytes();
        // Bytes no field covers: the large gap after the port, the padding
        // before the window's left panel width, the last bytes.
        const QList<int> reserved{0x059E, 0x1000, 0x2101, 0x2E0A, 0x2E1D, 0x2F40, 0x3052, 0x3459, 0x3469, 0x346F};
        for (int offset : reserved)
            image[offset] = char(0xA5);
        auto decoded = ProgramData::decode(image);
        QVERIFY(decoded);
        decoded->sRetries = 99;
        QByteArray expected = image;
        le(expected, 0x2F44, 99, 4);
        compareBytes(decoded->encode(), expected);
    }

    void refusesWrongSizes()
    {
        QVERIFY(!ProgramData::decode(QByteArray(13423, '\0')));
        QVERIFY(!ProgramData::decode(QByteArray(13425, '\0')));
        QVERIFY(!ProgramData::decode(QByteArray()));
    }

    void longTextIsCutAtCharacterBoundary()
    {
        ProgramData d;
        // 8 x 2-byte characters = 16 bytes into the 9-character port field.
        d.quickConnectPort = QString(8, QChar(0x00E9)).toUtf8();
        d.sAnonPassword = QByteArray(300, 'x');
        const QByteArray b = d.encode();
        QCOMPARE(int(quint8(b[0x0594])), 8);
        QCOMPARE(b.mid(0x0595, 9), QString(4, QChar(0x00E9)).toUtf8() + '\0');
        QCOMPARE(int(quint8(b[0x2F4C])), 255);
        QCOMPARE(b[0x304C], '\0');  // the next field is untouched
        // A length byte beyond the field's capacity never reads past it.
        QByteArray damaged = b;
        damaged[0x0594] = char(200);
        QCOMPARE(ProgramData::decode(damaged)->quickConnectPort.size(), 9);
    }

    void colourFixUp_data()
    {
        QTest::addColumn<qint32>("fontSize");
        QTest::addColumn<quint32>("winColor");
        QTest::addColumn<quint32>("fontColor");
        QTest::addColumn<bool>("reset");
        QTest::newRow("readable") << 12 << 0x00FFFFFFu << 0x00000000u << false;
        QTest::newRow("font size -1") << -1 << 0x00FFFFFFu << 0x00000000u << true;
        QTest::newRow("same colours") << 12 << 0x00123456u << 0x00123456u << true;
        QTest::newRow("both white") << 8 << 0x00FFFFFFu << 0x00FFFFFFu << true;
    }

    void colourFixUp()
    {
        QFETCH(qint32, fontSize);
        QFETCH(quint32, winColor);
        QFETCH(quint32, fontColor);
        QFETCH(bool, reset);
        ProgramData d = sample();
        d.fontSize = fontSize;
        d.sWinColor = winColor;
        d.fontColor = fontColor;
        d.sCheckForNewVersion = false;
        QCOMPARE(d.applyColourFixUp(), reset);
        if (reset) {
            QCOMPARE(d.sWinColor, 0x80000005u);
            QCOMPARE(d.fontColor, 0u);
            QCOMPARE(d.fontName, QByteArray("MS Sans Serif"));
            QCOMPARE(d.fontSize, 10);
            QVERIFY(d.sCheckForNewVersion);
        } else {
            QCOMPARE(d.fontName, QByteArray("DejaVu Sans"));
            QVERIFY(!d.sCheckForNewVersion);
        }
        QCOMPARE(d.sRetries, 7);  // nothing else is touched
    }
};

QTEST_GUILESS_MAIN(TestProgramData)
#include "test_program_data.moc"

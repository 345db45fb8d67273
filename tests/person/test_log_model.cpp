// The log's prefixes and colours, its 500-line cap, the protocol-line filter,
// and the error box / bug-report texts.

#include "person/log_model.h"
#include "person/user_interaction.h"

#include <QSignalSpy>
#include <QTest>

namespace {

// Records what the core showed the person; can be told to fail.
struct RecordingUi : UserInteraction {
    QStringList messages;
    QStringList bugs;
    bool bugWindowFails = false;
    void showMessage(const QString& text) override { messages << text; }
    bool askYesNo(const QString&, bool) override { return false; }
    TransferActionAnswer askTransferAction(const QString&, int preselected, bool, int) override
    {
        return {preselected, false};
    }
    void showBugReport(const QString& code, const QString& text) override
    {
        if (bugWindowFails)
            throw std::runtime_error("no window");
        bugs << code + "|" + text;
    }
};

}  // namespace

Q_DECLARE_METATYPE(LogColor)

class TestLogModel : public QObject {
    Q_OBJECT
private slots:
    void prefixesAndColours_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<LogColor>("color");
        QTest::newRow("command") << QByteArray(">CWD /pub") << "FTP Cmd\t:> CWD /pub" << logcolors::Green;
        QTest::newRow("reply") << QByteArray("<250 ok") << "\t:> 250 ok" << logcolors::Black;
        QTest::newRow("230 reply is black") << QByteArray("<230 Logged in") << "\t:> 230 Logged in" << logcolors::Black;
        QTest::newRow("220 wins over the command colour") << QByteArray(">220 x") << "\t:> 220 x" << logcolors::Black;
        QTest::newRow("engine note") << QByteArray("!Abort requested") << "\t:> Abort requested" << logcolors::Red;
        QTest::newRow("status") << QByteArray("\xA7Logged Off.") << "Status\t:> Logged Off." << logcolors::Blue;
        QTest::newRow("status, utf-8 section sign")
            << QByteArray("\xC2\xA7Logged Off.") << "Status\t:> Logged Off." << logcolors::Blue;
        QTest::newRow("other marker") << QByteArray("#plain") << "\t:> plain" << logcolors::Black;
    }
    void prefixesAndColours()
    {
        QFETCH(QByteArray, input);
        QFETCH(QString, shown);
        QFETCH(LogColor, color);
        LogModel log;
        log.WriteLog(input);
        QCOMPARE(log.count(), 1);
        QCOMPARE(log.lines().back().shown(), shown);
        QVERIFY(log.lines().back().color == color);
    }

    void capAndEmptyText()
    {
        LogModel log;
        QSignalSpy removed(&log, &LogModel::firstLineRemoved);
        log.WriteLog(QByteArray());
        QCOMPARE(log.count(), 0);
        for (int i = 1; i <= 501; ++i)
            log.WriteLog("<" + QByteArray::number(i));
        QCOMPARE(log.count(), 500);
        QCOMPARE(log.lines().front().text, QString("2"));
        QCOMPARE(log.lines().back().text, QString("501"));
        QCOMPARE(removed.count(), 1);

        log.setVisible(false);
        log.WriteLog("<hidden");
        QCOMPARE(log.lines().back().text, QString("501"));
    }

    void autoScroll()
    {
        LogModel log;
        QSignalSpy scrolled(&log, &LogModel::scrollToEnd);
        log.WriteLog("<a");
        log.setAutoScroll(false);
        log.WriteLog("<b");
        QCOMPARE(scrolled.count(), 1);
    }

    void protocolLines_data()
    {
        QTest::addColumn<QByteArray>("engine");
        QTest::addColumn<QByteArray>("logged");  // empty: not logged
        QTest::newRow("command") << QByteArray("> CWD /pub") << QByteArray(">CWD /pub");
        QTest::newRow("reply") << QByteArray("< 250 ok") << QByteArray("<250 ok");
        QTest::newRow("password") << QByteArray("> PASS secret") << QByteArray(">PASS [** password not shown **]");
        QTest::newRow("password, any case")
            << QByteArray("> pass secret") << QByteArray(">PASS [** password not shown **]");
        QTest::newRow("engine note hidden") << QByteArray("! 12 bytes received") << QByteArray();
        QTest::newRow("passive is no password") << QByteArray("> PASV") << QByteArray(">PASV");
    }
    void protocolLines()
    {
        QFETCH(QByteArray, engine);
        QFETCH(QByteArray, logged);
        const auto got = protocolLineForLog(engine);
        QCOMPARE(got.has_value(), !logged.isEmpty());
        if (got)
            QCOMPARE(*got, logged);
        QCOMPARE(protocolLineForLog("< " + QByteArray(2000, 'x'))->size(), 1000);
    }

    void connectionTags()
    {
        LogModel log;
        log.WriteLog(">RETR a", 2);
        log.WriteLog(QByteArray(1, kStatusMarker) + "Connected");
        QCOMPARE(log.lines()[0].connection, 2);
        QCOMPARE(log.lines()[0].shown(), QString("[2] FTP Cmd\t:> RETR a"));
        QCOMPARE(log.lines()[1].shown(), QString("Status\t:> Connected"));
    }

    void errorBoxAndBugReport()
    {
        RecordingUi ui;
        ShowErrorBox(ui, "Could not change FTP folder. (/x)", "550 No such file");
        QCOMPARE(ui.messages.last(),
                 QString("Error:\r\n  -  Could not change FTP folder. (/x)\r\r\nReason:\r\n  -  550 No such file"));

        guardedRoutine(ui, "TT01", [] { throw std::runtime_error("boom"); });
        QCOMPARE(ui.bugs, QStringList{"TT01|boom"});

        ui.bugWindowFails = true;
        ReportBug(ui, "TT02", "again");
        QCOMPARE(ui.messages.last(), QString("BugBug-123. Please Report to Author."));
    }
};

QTEST_GUILESS_MAIN(TestLogModel)
#include "test_log_model.moc"

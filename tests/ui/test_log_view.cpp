// The log window over the session's log: every line in its colour with its
// prefix, never more than 500 lines, auto scroll on and off, the Copy
// selected and Select all actions, and the lines of one connection only.

#include "person/log_model.h"
#include "ui/log_filter.h"
#include "ui/log_view.h"

#include <QApplication>
#include <QClipboard>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

class TestLogView : public QObject {
    Q_OBJECT
private slots:
    void lineInItsColour_data();
    void lineInItsColour();
    void fiveHundredLines();
    void autoScroll();
    void clearCopyAndSelectAll();
    void attachingShowsWhatTheLogHolds();
    void oneConnectionsLines();
    void filterOffersConnectionsAsTheyAppear();
};

void TestLogView::lineInItsColour_data()
{
    QTest::addColumn<QByteArray>("marked");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QColor>("colour");

    QTest::newRow("command") << QByteArray(">CWD /pub") << QStringLiteral("FTP Cmd\t:> CWD /pub") << QColor(0, 128, 0);
    QTest::newRow("reply") << QByteArray("<250 OK") << QStringLiteral("\t:> 250 OK") << QColor(0, 0, 0);
    QTest::newRow("230 reply stays black")
        << QByteArray("<230 Logged in") << QStringLiteral("\t:> 230 Logged in") << QColor(0, 0, 0);
    QTest::newRow("220 note stays black")
        << QByteArray("!220 ready") << QStringLiteral("\t:> 220 ready") << QColor(0, 0, 0);
    QTest::newRow("engine note") << QByteArray("!timed out") << QStringLiteral("\t:> timed out") << QColor(255, 0, 0);
    QTest::newRow("status") << QByteArray("\xA7Logged Off.") << QStringLiteral("Status\t:> Logged Off.")
                            << QColor(0, 0, 255);
    QTest::newRow("other marker") << QByteArray("?odd") << QStringLiteral("\t:> odd") << QColor(0, 0, 0);
    // Control characters from the server are shown, never obeyed: a CR or
    // LF would split the line (and the 500-line count), ESC would vanish.
    QTest::newRow("controls in a reply") << QByteArray("<550 a\rb\nc\x1b[2J\td\x7f\xc2\x9b")
                                         << QString::fromUtf8("\t:> 550 a\xe2\x90\x8d"
                                                              "b\xe2\x90\x8a"
                                                              "c\xe2\x90\x9b[2J\xe2\x90\x89"
                                                              "d\xe2\x90\xa1\xef\xbf\xbd")
                                         << QColor(0, 0, 0);
    QTest::newRow("controls in a status line")
        << QByteArray("\xA7Skipped unsafe remote name: x\ry")
        << QString::fromUtf8("Status\t:> Skipped unsafe remote name: x\xe2\x90\x8dy") << QColor(0, 0, 255);
}

void TestLogView::lineInItsColour()
{
    QFETCH(QByteArray, marked);
    QFETCH(QString, shown);
    QFETCH(QColor, colour);

    LogModel log;
    LogView view;
    view.setModel(&log);
    // A line of another colour on each side: every line keeps its own.
    log.WriteLog("\xA7"
                 "before");
    log.WriteLog(marked);
    log.WriteLog(">after");
    QCOMPARE(view.lineCount(), 3);
    QCOMPARE(view.lineText(1), shown);
    QCOMPARE(view.lineColor(1), colour);
    QCOMPARE(view.lineColor(0), QColor(0, 0, 255));
    QCOMPARE(view.lineColor(2), QColor(0, 128, 0));
}

void TestLogView::fiveHundredLines()
{
    LogModel log;
    LogView view;
    view.setModel(&log);
    log.WriteLog("");  // adds nothing
    QCOMPARE(view.lineCount(), 0);
    for (int i = 1; i <= 501; ++i)
        log.WriteLog((i % 2 ? QByteArray(">line ") : QByteArray("!line ")) + QByteArray::number(i));
    QCOMPARE(view.lineCount(), 500);
    QCOMPARE(view.lineText(0), QStringLiteral("\t:> line 2"));
    QCOMPARE(view.lineColor(0), QColor(255, 0, 0));
    QCOMPARE(view.lineText(499), QStringLiteral("FTP Cmd\t:> line 501"));
    QCOMPARE(view.lineColor(499), QColor(0, 128, 0));
}

void TestLogView::autoScroll()
{
    LogModel log;
    LogView view;
    view.resize(300, 100);
    view.setModel(&log);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QScrollBar* bar = view.verticalScrollBar();
    for (int i = 0; i < 100; ++i)
        log.WriteLog("<line " + QByteArray::number(i));
    QVERIFY(bar->maximum() > 0);
    QCOMPARE(bar->value(), bar->maximum());

    log.setAutoScroll(false);
    bar->setValue(0);
    for (int i = 0; i < 20; ++i)
        log.WriteLog("<more " + QByteArray::number(i));
    QCOMPARE(bar->value(), 0);
}

void TestLogView::clearCopyAndSelectAll()
{
    LogModel log;
    LogView view;
    view.setModel(&log);
    log.WriteLog(">USER anonymous");
    log.WriteLog("<331 Password please");

    view.selectAllLines();
    view.copySelected();
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("FTP Cmd\t:> USER anonymous\n\t:> 331 Password please"));

    log.clear();  // the session's Clear
    QCOMPARE(view.lineCount(), 0);
    // The log goes on after a Clear, from the first line again.
    log.WriteLog("\xA7"
                 "Connected");
    QCOMPARE(view.lineCount(), 1);
    QCOMPARE(view.lineText(0), QStringLiteral("Status\t:> Connected"));
}

void TestLogView::attachingShowsWhatTheLogHolds()
{
    LogModel log;
    log.WriteLog(">PWD");
    log.WriteLog("<257 \"/\"");
    LogView view;
    view.setModel(&log);
    QCOMPARE(view.lineCount(), 2);
    QCOMPARE(view.lineColor(0), QColor(0, 128, 0));
    view.setModel(nullptr);
    log.WriteLog(">QUIT");  // no longer followed
    QCOMPARE(view.lineCount(), 0);
}

void TestLogView::oneConnectionsLines()
{
    LogModel log;
    LogView view;
    view.setModel(&log);
    // Tagged lines ("[2] FTP Cmd") keep the texts in one column with the
    // untagged ones.
    const qreal untaggedStop = view.tabStopDistance();
    log.WriteLog(">NOOP");
    QCOMPARE(view.tabStopDistance(), untaggedStop);
    // The oldest lines go while filtered: shown ones and hidden ones alike.
    view.setConnectionFilter(2);
    for (int i = 1; i <= 600; ++i)
        log.WriteLog("<" + QByteArray::number(i), i % 3);
    QCOMPARE(log.count(), 500);  // lines 101 to 600
    QVERIFY(view.tabStopDistance() > untaggedStop + view.fontMetrics().horizontalAdvance(QStringLiteral("[2] ")));
    QCOMPARE(view.lineCount(), 167);
    QCOMPARE(view.lineText(0), QStringLiteral("[2] \t:> 101"));
    QCOMPARE(view.lineText(166), QStringLiteral("[2] \t:> 599"));

    view.setConnectionFilter(0);  // the browsing connection's, untagged
    QCOMPARE(view.lineCount(), 167);
    QCOMPARE(view.lineText(0), QStringLiteral("\t:> 102"));
    log.WriteLog("<601", 1);  // 101 goes, unseen
    log.WriteLog("<602", 0);  // 102 goes
    QCOMPARE(view.lineCount(), 167);
    QCOMPARE(view.lineText(0), QStringLiteral("\t:> 105"));
    QCOMPARE(view.lineText(166), QStringLiteral("\t:> 602"));

    view.setConnectionFilter(LogView::AllConnections);
    QCOMPARE(view.lineCount(), 500);
    QCOMPARE(view.lineText(0), QStringLiteral("[1] \t:> 103"));

    view.setConnectionFilter(7);  // none of its lines are kept
    QCOMPARE(view.lineCount(), 0);
    log.clear();
    log.WriteLog(">NOOP", 7);
    QCOMPARE(view.lineCount(), 1);
}

void TestLogView::filterOffersConnectionsAsTheyAppear()
{
    LogModel log;
    log.WriteLog(">RETR a", 1);
    LogFilterBox filter;
    filter.followLog(&log);
    QCOMPARE(filter.count(), 3);
    QCOMPARE(filter.itemText(0), QStringLiteral("All connections"));
    QCOMPARE(filter.itemText(1), QStringLiteral("Browsing connection"));
    QCOMPARE(filter.itemText(2), QStringLiteral("Transfer [1]"));
    QCOMPARE(filter.connection(), int(LogView::AllConnections));

    log.WriteLog(">RETR c", 3);  // connection 2 logged nothing yet
    log.WriteLog(">RETR b", 2);
    QCOMPARE(filter.count(), 5);
    QCOMPARE(filter.itemText(4), QStringLiteral("Transfer [3]"));

    QSignalSpy chosen(&filter, &LogFilterBox::connectionChosen);
    filter.setCurrentIndex(3);
    QCOMPARE(chosen.size(), 1);
    QCOMPARE(chosen[0][0].toInt(), 2);
    filter.setCurrentIndex(1);
    QCOMPARE(chosen[1][0].toInt(), 0);
    // A cleared log keeps the choices: the connections are still there.
    log.clear();
    QCOMPARE(filter.count(), 5);
}

QTEST_MAIN(TestLogView)
#include "test_log_view.moc"

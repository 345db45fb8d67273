// The log window over the session's log: every line in its colour with its
// prefix, never more than 500 lines, auto scroll on and off, and the Clear,
// Copy selected and Select all actions.

#include "person/log_model.h"
#include "ui/log_view.h"

#include <QApplication>
#include <QClipboard>
#include <QScrollBar>
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

    view.clearLog();
    QCOMPARE(view.lineCount(), 0);
    QCOMPARE(log.count(), 0);
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

QTEST_MAIN(TestLogView)
#include "test_log_view.moc"

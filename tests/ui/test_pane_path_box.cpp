// The path boxes above the panes: the history of at most ten folders, newest
// first, and Enter and the go-up button as signals.

#include "ui/path_combo.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

class TestPanePathBox : public QObject {
    Q_OBJECT
private slots:
    void historyOfTen();
    void restoredHistory();
    void enterAndGoUp();
};

void TestPanePathBox::historyOfTen()
{
    PathCombo box;
    for (int i = 1; i <= 12; ++i)
        box.setPath(QStringLiteral("/f%1/").arg(i));
    QStringList expected;
    for (int i = 12; i >= 3; --i)
        expected.append(QStringLiteral("/f%1/").arg(i));
    QCOMPARE(box.history(), expected);
    QCOMPARE(box.currentText(), QStringLiteral("/f12/"));

    // A folder already in the history is shown but not moved or repeated.
    box.setPath(QStringLiteral("/f5/"));
    QCOMPARE(box.history(), expected);
    QCOMPARE(box.currentText(), QStringLiteral("/f5/"));
    // Case matters on a server.
    box.setPath(QStringLiteral("/F5/"));
    QCOMPARE(box.history().first(), QStringLiteral("/F5/"));
    QCOMPARE(box.history().size(), 10);
}

void TestPanePathBox::restoredHistory()
{
    PathCombo box;
    QStringList stored{"/a/", "", "/b/", ""};
    for (int i = 0; i < 12; ++i)
        stored.append(QStringLiteral("/x%1/").arg(i));
    box.setHistory(stored);
    QCOMPARE(box.history().size(), 10);
    QCOMPARE(box.history().mid(0, 3), (QStringList{"/a/", "/b/", "/x0/"}));
}

void TestPanePathBox::enterAndGoUp()
{
    PathBar bar(QStringLiteral("rCombo"), QStringLiteral("rGoUp"));
    QCOMPARE(bar.combo()->objectName(), QStringLiteral("rCombo"));
    QSignalSpy entered(&bar, &PathBar::pathEntered);
    QSignalSpy up(&bar, &PathBar::goUpClicked);
    bar.combo()->setHistory({"/pub/"});
    bar.combo()->setEditText(QString());
    bar.show();
    QApplication::setActiveWindow(&bar);
    QVERIFY(QTest::qWaitForWindowActive(&bar));
    bar.combo()->setFocus();
    QTRY_VERIFY(QApplication::focusWidget());

    // The keys go where the person's keys go: to the widget with the focus.
    QTest::keyClicks(QApplication::focusWidget(), "/incoming/");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCOMPARE(entered.count(), 1);
    QCOMPARE(entered.first().first().toString(), QStringLiteral("/incoming/"));
    // Typing alone adds nothing: the history holds folders that were shown.
    QCOMPARE(bar.combo()->history(), QStringList{"/pub/"});

    // A folder of the history typed out is entered once, not twice.
    bar.combo()->lineEdit()->selectAll();
    QTest::keyClicks(QApplication::focusWidget(), "/pub/");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Enter);
    QCOMPARE(entered.count(), 2);
    QCOMPARE(entered.last().first().toString(), QStringLiteral("/pub/"));

    // Leaving the box with a history folder typed in goes nowhere.
    bar.combo()->lineEdit()->selectAll();
    QTest::keyClicks(QApplication::focusWidget(), "/pub/");
    bar.goUpButton()->setFocus();
    QTRY_VERIFY(!bar.combo()->hasFocus());
    QApplication::processEvents();
    QCOMPARE(entered.count(), 2);

    // A folder chosen from the drop-down list is entered once.
    bar.combo()->setHistory({"/pub/", "/other/"});
    bar.combo()->showPopup();
    QTRY_VERIFY(bar.combo()->view()->isVisible());
    bar.combo()->view()->setCurrentIndex(bar.combo()->model()->index(1, 0));
    QTest::keyClick(bar.combo()->view(), Qt::Key_Return);
    QTRY_COMPARE(entered.count(), 3);
    QCOMPARE(entered.last().first().toString(), QStringLiteral("/other/"));
    QApplication::processEvents();
    QCOMPARE(entered.count(), 3);

    bar.goUpButton()->click();
    QCOMPARE(up.count(), 1);
}

QTEST_MAIN(TestPanePathBox)
#include "test_pane_path_box.moc"

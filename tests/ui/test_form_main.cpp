// The main window's skeleton: every component under its name, the stored
// layout and view settings through a ProgramData record and back (encoded
// and decoded, as the data file holds it), the last normal place kept when
// closed minimised or maximised, and the pane settings applied.

#include "person/log_model.h"
#include "queue/transfer_queue.h"
#include "ui/form_main.h"
#include "ui/log_view.h"
#include "ui/pane_model.h"
#include "ui/pane_view.h"
#include "ui/path_combo.h"
#include "ui/queue_view.h"
#include "ui/status_bar.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QSignalSpy>
#include <QSplitter>
#include <QTest>
#include <QToolButton>
#include <QTreeView>

namespace {

ProgramData throughTheFile(const ProgramData& data)
{
    const auto decoded = ProgramData::decode(data.encode());
    if (!decoded)
        qFatal("ProgramData does not decode its own encoding");
    return *decoded;
}

ProgramData storedLayout()
{
    ProgramData data;
    data.windowLeft = 40;
    data.windowTop = 50;
    data.windowWidth = 820;
    data.windowHeight = 610;
    data.listStyle = ListStyleList;
    data.localSortColumn = -3;
    data.remoteSortColumn = 9;
    data.logAutoScroll = false;
    data.queueAlwaysActive = true;
    data.logWidth = 300;
    data.bottomPanelHeight = 180;
    data.leftPanelWidth = 350;
    data.localFolderHistory[0] = "/home/me/";
    data.localFolderHistory[1] = "";  // a gap is skipped, not kept
    data.localFolderHistory[2] = "/tmp/";
    data.localFolderHistory[3] = "/srv/ftp/";
    data.lastLocalFolder = "/home/me/";
    data.localColumnWidths = {210, 70, 150};
    data.remoteColumnWidths = {220, 60, 130};
    data.queueColumnWidths = {300, 280, 90};
    data.quickConnectAddress = "ftp.example.org";
    data.quickConnectUser = "me";
    data.quickConnectPassword = "secret";
    data.quickConnectPort = "2121";
    return data;
}

}  // namespace

class TestFormMain : public QObject {
    Q_OBJECT
private slots:
    void componentsByName();
    void settingsRoundTrip();
    void closedMinimisedOrMaximisedKeepsNormalPlace_data();
    void closedMinimisedOrMaximisedKeepsNormalPlace();
    void narrowLeftPanelGetsFifty();
    void paneSettings();
    void switchedBrowsers();
    void quickConnectEnter();
    void viewActions();
};

void TestFormMain::componentsByName()
{
    TFormMain window;
    for (const char* name : {"llv", "rlv", "logwin", "qLv", "stat"})
        QVERIFY2(window.findChild<QWidget*>(QLatin1String(name)), name);
    for (const char* name : {"tbAddress", "tbusername", "tbPassword", "tbPort"})
        QVERIFY2(window.findChild<QLineEdit*>(QLatin1String(name)), name);
    for (const char* name : {"lCombo", "rCombo"})
        QVERIFY2(window.findChild<PathCombo*>(QLatin1String(name)), name);
    for (const char* name : {"lGoUp", "rGoUp", "tbAnonymous"})
        QVERIFY2(window.findChild<QToolButton*>(QLatin1String(name)), name);
    for (const char* name :
         {"acConnect", "acStop", "acSiteMgr", "acRefresh", "acQueueTransfer", "acQueueAlwaysActive", "acLogClear",
          "acLogCopyToClipboard", "acLogSelectAll", "acLogAutoScroll", "acOpen", "acView", "acSend", "acReceive",
          "acRename", "acFolderNew", "acDelete", "acViewSwitchBrowsers", "acViewLoginMsg"}) {
        auto* action = window.findChild<QAction*>(QLatin1String(name));
        QVERIFY2(action, name);
        QVERIFY2(!action->icon().isNull(), name);
    }
    QCOMPARE(window.tbPassword->echoMode(), QLineEdit::Password);
    QCOMPARE(window.acRefresh->shortcut(), QKeySequence(Qt::Key_F5));
    QCOMPARE(window.acConnect->text(), QStringLiteral("Connect"));
    QCOMPARE(window.acQueueTransfer->text(), QStringLiteral("Transfer queue"));
    QCOMPARE(window.acQueueAlwaysActive->text(), QStringLiteral("Always active"));
    QVERIFY(window.acQueueAlwaysActive->isCheckable());
    QVERIFY(window.acLogAutoScroll->isChecked());  // on by default

    const QImage connectImage = window.acConnect->icon().pixmap(16, 16).toImage();
    window.setConnectAction(QStringLiteral("Disconnect"), true);
    QCOMPARE(window.acConnect->text(), QStringLiteral("Disconnect"));
    QVERIFY(window.acConnect->icon().pixmap(16, 16).toImage() != connectImage);

    QVERIFY(!window.debugMenuVisible());
    window.setDebugMenuVisible(true);
    QVERIFY(window.debugMenuVisible());
    QCOMPARE(window.debugMenu->actions().size(), 4);
}

void TestFormMain::settingsRoundTrip()
{
    const ProgramData stored = throughTheFile(storedLayout());
    TFormMain window;
    window.restoreFromProgramData(stored);
    window.restoreQuickConnect(stored);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    QCOMPARE(window.llv->viewStyle(), quint8(ListStyleList));
    QCOMPARE(window.lCombo->history(), (QStringList{"/home/me/", "/tmp/", "/srv/ftp/"}));
    QCOMPARE(window.lCombo->currentText(), QStringLiteral("/home/me/"));
    QCOMPARE(window.llv->detailsView()->columnWidth(0), 210);
    QCOMPARE(window.leftPanelWidth(), 350);
    QCOMPARE(window.tbPassword->text(), QStringLiteral("secret"));

    ProgramData saved;
    window.saveToProgramData(saved);
    saved = throughTheFile(saved);
    QCOMPARE(saved.windowLeft, 40);
    QCOMPARE(saved.windowTop, 50);
    QCOMPARE(saved.windowWidth, 820);
    QCOMPARE(saved.windowHeight, 610);
    QCOMPARE(saved.windowState, quint8(WindowStateNormal));
    QCOMPARE(saved.listStyle, quint8(ListStyleList));
    QCOMPARE(saved.localSortColumn, -3);
    QCOMPARE(saved.remoteSortColumn, 9);
    QCOMPARE(saved.logAutoScroll, false);
    QCOMPARE(saved.queueAlwaysActive, true);
    QCOMPARE(saved.logWidth, 300);
    QCOMPARE(saved.bottomPanelHeight, 180);
    QCOMPARE(saved.leftPanelWidth, 350);
    QCOMPARE(saved.panesSwitched, false);
    // Three entries stored as three and seven empty ones.
    const std::array<QByteArray, ProgramData::HistoryCount> history{"/home/me/", "/tmp/", "/srv/ftp/"};
    QCOMPARE(saved.localFolderHistory, history);
    QCOMPARE(saved.localColumnWidths, stored.localColumnWidths);
    QCOMPARE(saved.remoteColumnWidths, stored.remoteColumnWidths);
    // The queue's last column ("Status") takes the rest of the width.
    QCOMPARE(std::vector<qint32>(saved.queueColumnWidths.begin(), saved.queueColumnWidths.begin() + 3),
             std::vector<qint32>(stored.queueColumnWidths.begin(), stored.queueColumnWidths.begin() + 3));
    QCOMPARE(saved.quickConnectAddress, QByteArray("ftp.example.org"));
    QCOMPARE(saved.quickConnectUser, QByteArray("me"));
    QCOMPARE(saved.quickConnectPassword, QByteArray("secret"));
    QCOMPARE(saved.quickConnectPort, QByteArray("2121"));
}

void TestFormMain::closedMinimisedOrMaximisedKeepsNormalPlace_data()
{
    QTest::addColumn<int>("state");
    QTest::newRow("minimised") << int(WindowStateMinimized);
    QTest::newRow("maximised") << int(WindowStateMaximized);
}

void TestFormMain::closedMinimisedOrMaximisedKeepsNormalPlace()
{
    QFETCH(int, state);
    TFormMain window;
    window.restoreFromProgramData(storedLayout());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    // Moved while normal, then minimised or maximised and closed.
    window.setGeometry(60, 70, 700, 500);
    QTRY_COMPARE(window.geometry(), QRect(60, 70, 700, 500));
    window.setWindowState(state == WindowStateMinimized ? Qt::WindowMinimized : Qt::WindowMaximized);
    QTRY_VERIFY(window.windowState() != Qt::WindowNoState);

    ProgramData saved = storedLayout();
    window.saveToProgramData(saved);
    QCOMPARE(int(saved.windowState), state);
    QCOMPARE(QRect(saved.windowLeft, saved.windowTop, saved.windowWidth, saved.windowHeight), QRect(60, 70, 700, 500));

    // And the next start restores the state over that place.
    TFormMain next;
    next.restoreFromProgramData(throughTheFile(saved));
    QCOMPARE(next.normalGeometry().size(), QSize(700, 500));
    QVERIFY(next.windowState() & (state == WindowStateMinimized ? Qt::WindowMinimized : Qt::WindowMaximized));
}

void TestFormMain::narrowLeftPanelGetsFifty()
{
    ProgramData data = storedLayout();
    data.leftPanelWidth = 0;
    TFormMain window;
    window.restoreFromProgramData(data);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(window.leftPanelWidth(), 50);
}

void TestFormMain::paneSettings()
{
    ProgramData data;
    data.sWinColor = 0x00FF0000;  // blue in the stored byte order
    data.fontColor = 0x000000FF;  // red
    data.fontSize = 14;
    data.sShowFTPAttrs = true;
    data.sLvFullRowSelect = true;
    TFormMain window;
    window.applyPaneSettings(data);
    for (PaneView* pane : {window.llv, window.rlv}) {
        QCOMPARE(pane->detailsView()->palette().color(QPalette::Base), QColor(0, 0, 255));
        QCOMPARE(pane->detailsView()->palette().color(QPalette::Text), QColor(255, 0, 0));
        QCOMPARE(pane->detailsView()->font().pointSize(), 14);
        QVERIFY(pane->fullRowSelect());
    }
    QCOMPARE(window.rlv->model()->columnCount(), 4);  // only the remote pane has "Attr"
    QCOMPARE(window.llv->model()->columnCount(), 3);

    window.applyPaneSettings(ProgramData::defaults());
    QCOMPARE(window.rlv->model()->columnCount(), 3);
    QCOMPARE(window.rlv->detailsView()->palette().color(QPalette::Base), QApplication::palette().color(QPalette::Base));
    QVERIFY(!window.rlv->fullRowSelect());
}

void TestFormMain::switchedBrowsers()
{
    TFormMain window;
    window.restoreFromProgramData(storedLayout());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const int localWidth = window.leftPanelWidth();
    window.acViewSwitchBrowsers->trigger();
    QVERIFY(window.panesSwitched());
    // The remote pane now stands left, the local pane keeps its width.
    QVERIFY(window.rlv->mapTo(&window, QPoint()).x() < window.llv->mapTo(&window, QPoint()).x());
    auto* splitter = qobject_cast<QSplitter*>(window.llv->parentWidget()->parentWidget());
    QVERIFY(splitter);
    QCOMPARE(splitter->sizes().value(1), localWidth);
    ProgramData saved;
    window.saveToProgramData(saved);
    QVERIFY(saved.panesSwitched);
    window.switchBrowsers();
    QVERIFY(!window.panesSwitched());
    QCOMPARE(window.leftPanelWidth(), localWidth);
}

void TestFormMain::quickConnectEnter()
{
    TFormMain window;
    QSignalSpy enter(&window, &TFormMain::quickConnectEnter);
    int expected = 0;
    for (QLineEdit* field : {window.tbAddress, window.tbusername, window.tbPassword, window.tbPort}) {
        QTest::keyClick(field, Qt::Key_Return);
        QCOMPARE(enter.count(), ++expected);
    }
}

// What the actions do to the views before any session is attached (Clear
// and Auto Scroll change the session's log: test_window_extras).
void TestFormMain::viewActions()
{
    TFormMain window;
    LogModel log;
    window.showLog(&log);
    log.WriteLog(">NOOP");
    QCOMPARE(window.logwin->lineCount(), 1);

    window.acViewSmallIcons->trigger();
    QCOMPARE(window.llv->viewStyle(), quint8(ListStyleSmallIcon));
    QCOMPARE(window.rlv->viewStyle(), quint8(ListStyleSmallIcon));

    TransferQueue queue;
    window.showQueue(&queue);
    queue.AddToTransferQueue("/pub/a", "/tmp/a", 1, false, false, false);
    QCOMPARE(window.qLv->model()->rowCount(), 1);
    QSignalSpy transfer(window.acQueueTransfer, &QAction::triggered);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QRect cell = window.qLv->visualRect(window.qLv->model()->index(0, 0));
    // A real double click starts with a press on the same row.
    QTest::mousePress(window.qLv->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(window.qLv->viewport(), Qt::LeftButton, {}, cell.center());
    QCOMPARE(transfer.count(), 1);
    window.showQueue(nullptr);
    window.showLog(nullptr);
}

QTEST_MAIN(TestFormMain)
#include "test_form_main.moc"

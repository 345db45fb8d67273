// The window without a server: the local pane's navigation and file
// operations, the sort rules by column click, the queue's colours, the Debug
// menu switch, and what a restart brings back from the data file.

#include "test_window_support.h"

#include "queue/transfer_queue.h"
#include "ui/queue_view.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QTest>

class TestWindowLocal : public QObject {
    Q_OBJECT

private slots:
    void localGoUpBelowAndAtTheRoot()
    {
        WindowHarness h;
        QVERIFY(QDir().mkpath(h.local("sub/inner")));
        h.showLocal(h.local("sub/inner"));
        QCOMPARE(h.s->currentLocalFolder(), h.local("sub/inner/"));
        h.w->lGoUp->click();
        QCOMPARE(h.s->currentLocalFolder(), h.local("sub/"));
        QCOMPARE(WindowHarness::names(h.w->llv), QStringList{"inner"});
        QCOMPARE(h.w->lCombo->currentText(), h.local("sub/"));

        h.showLocal(QStringLiteral("/tmp"));
        QCOMPARE(h.s->currentLocalFolder(), QStringLiteral("/tmp/"));
        h.w->lGoUp->click();
        QCOMPARE(h.s->currentLocalFolder(), QStringLiteral("/"));
        h.w->lGoUp->click();
        QCOMPARE(h.s->currentLocalFolder(), QStringLiteral("/"));
        QVERIFY(WindowHarness::names(h.w->llv).contains(QStringLiteral("tmp")));
    }

    void pathBoxEnterAndDoubleClickOpenFolders()
    {
        WindowHarness h;
        QVERIFY(QDir().mkpath(h.local("a/b")));
        h.w->lCombo->setEditText(h.local("a"));
        QTest::keyClick(h.w->lCombo->lineEdit(), Qt::Key_Return);
        QCOMPARE(h.s->currentLocalFolder(), h.local("a/"));
        h.doubleClick(h.w->llv, QStringLiteral("b"));
        QTRY_COMPARE(h.s->currentLocalFolder(), h.local("a/b/"));

        // A local file opens with its program.
        QVERIFY(writeFile(h.local("a/b/f.txt"), "x"));
        h.w->acRefresh->trigger();
        h.doubleClick(h.w->llv, QStringLiteral("f.txt"));
        QTRY_COMPARE(h.platform.opened, QStringList{h.local("a/b/f.txt")});
    }

    void localRenameNewFolderAndDelete_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("message");  // empty: it worked
        QTest::newRow("plain") << "new.txt"
                               << "";
        QTest::newRow("into another folder") << "../new.txt"
                                             << "Could not Rename File";
        QTest::newRow("parent") << ".."
                                << "Could not Rename File";
    }
    void localRenameNewFolderAndDelete()
    {
        QFETCH(QString, answer);
        QFETCH(QString, message);
        WindowHarness h;
        QVERIFY(writeFile(h.local("old.txt"), "x"));
        h.showLocal(h.local());
        h.select(h.w->llv, {QStringLiteral("old.txt")});
        h.inputs << answer;
        h.w->acRename->trigger();
        QCOMPARE(h.ui.messages, message.isEmpty() ? QStringList() : QStringList{message});
        if (message.isEmpty())
            QVERIFY(QFile::exists(h.local(answer)));
        QCOMPARE(QFile::exists(h.local("old.txt")), !message.isEmpty());
    }

    void localNewFolderAndDeleteToTheTrash()
    {
        WindowHarness h;
        h.showLocal(h.local());
        h.w->llv->setFocus();
        h.inputs << QStringLiteral("New Folder") << QStringLiteral("New Folder");
        h.w->acFolderNew->trigger();
        QVERIFY(QFileInfo(h.local("New Folder")).isDir());
        QCOMPARE(WindowHarness::names(h.w->llv), QStringList{"New Folder"});
        h.w->acFolderNew->trigger();  // it exists already
        QCOMPARE(h.ui.messages, QStringList{"Could not Create Folder"});

        h.s->settings().sWarnLocalDelete = true;
        h.select(h.w->llv, {QStringLiteral("New Folder")});
        h.ui.yesNo << false << true;
        h.w->acDelete->trigger();
        QVERIFY(QFileInfo(h.local("New Folder")).isDir());
        h.w->acDelete->trigger();
        QCOMPARE(h.ui.questions, (QStringList{"Continue to delete?", "Continue to delete?"}));
        QVERIFY(!QFileInfo::exists(h.local("New Folder")));
        QVERIFY(WindowHarness::names(h.w->llv).isEmpty());
    }

    void columnClicksSortFoldersFirst()
    {
        WindowHarness h;
        QVERIFY(writeFile(h.local("b.txt"), "12345"));
        QVERIFY(writeFile(h.local("a.doc"), "1"));
        QVERIFY(writeFile(h.local("c.bin"), "123"));
        QVERIFY(QDir().mkpath(h.local("zdir")));
        QVERIFY(QDir().mkpath(h.local("adir")));
        h.showLocal(h.local());
        h.w->acViewDetails->trigger();  // the columns' headers are in this view only
        QHeaderView* header = h.w->llv->detailsView()->header();
        const auto click = [&](int section) {
            QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                              QPoint(header->sectionViewportPosition(section) + 5, header->height() / 2));
        };
        const auto sorted = [](QStringList g) {
            g.sort();
            return g;
        };

        click(PaneModel::NameColumn);
        const int nameKey = h.w->llv->model()->sortKey();
        QStringList first = WindowHarness::names(h.w->llv);
        click(PaneModel::NameColumn);
        QCOMPARE(h.w->llv->model()->sortKey(), -nameKey);
        QStringList second = WindowHarness::names(h.w->llv);
        // Folders stay on top whichever way the names run.
        QCOMPARE(sorted(first.mid(0, 2)), (QStringList{"adir", "zdir"}));
        QCOMPARE(sorted(second.mid(0, 2)), (QStringList{"adir", "zdir"}));
        QVERIFY(first.mid(2) != second.mid(2));

        click(PaneModel::SizeColumn);
        const QStringList bySize = WindowHarness::names(h.w->llv).mid(2);
        QVERIFY2(bySize == (QStringList{"a.doc", "c.bin", "b.txt"}) ||
                     bySize == (QStringList{"b.txt", "c.bin", "a.doc"}),
                 qPrintable(bySize.join(u',')));
        click(PaneModel::SizeColumn);
        QStringList reversed = bySize;
        std::reverse(reversed.begin(), reversed.end());
        QCOMPARE(WindowHarness::names(h.w->llv).mid(2), reversed);
    }

    void queueColoursFollowActivity()
    {
        WindowHarness h;
        // A new data file keeps the queue active; unticked, its colour tells.
        QVERIFY(h.w->acQueueAlwaysActive->isChecked());
        QCOMPARE(h.w->qLv->backgroundColor(), h.w->qLv->activeColor());
        h.w->acQueueAlwaysActive->setChecked(false);
        QTRY_COMPARE(h.w->qLv->backgroundColor(), h.w->qLv->inactiveColor());
        SessionInspector::transfers(*h.s).AddToTransferQueue(QStringLiteral("/x"), h.local("x"), 1, false, false, false);
        h.w->acQueueTransfer->trigger();
        QTRY_COMPARE(h.w->qLv->backgroundColor(), h.w->qLv->activeColor());
        // Not connected: the queue stays, and Always Active keeps the colour
        // after it is emptied.
        h.w->acQueueAlwaysActive->setChecked(true);
        SessionInspector::transfers(*h.s).clear();
        QTest::qWait(450);
        QCOMPARE(h.w->qLv->backgroundColor(), h.w->qLv->activeColor());
        h.w->acQueueAlwaysActive->setChecked(false);
        QTRY_COMPARE(h.w->qLv->backgroundColor(), h.w->qLv->inactiveColor());
    }

    void debugMenuOnlyWithTheSwitch_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("shown");
        QTest::newRow("none") << QStringList{} << false;
        QTest::newRow("lower") << QStringList{"-debug"} << true;
        QTest::newRow("upper") << QStringList{"-DEBUG"} << true;
        QTest::newRow("with value") << QStringList{"-Debug=1"} << true;
        QTest::newRow("longer") << QStringList{"-debugger"} << false;
    }
    void debugMenuOnlyWithTheSwitch()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, shown);
        WindowHarness h(arguments);
        QCOMPARE(h.w->debugMenuVisible(), shown);
    }

    void layoutAndHistoryComeBackAfterARestart()
    {
        QTemporaryDir dir;
        const QString data = dir.filePath(QStringLiteral("restart.dat"));
        QStringList history;
        {
            WindowHarness h({QStringLiteral("-DataFile=") + data});
            for (const char* name : {"one", "two", "three"}) {
                QVERIFY(QDir().mkpath(h.local(name)));
                h.showLocal(h.local(name));
            }
            history = h.w->lCombo->history();
            h.w->setGeometry(70, 80, 820, 590);
            QTest::keyClicks(h.w->tbAddress, QStringLiteral("example.org"));
            h.w->acViewList->trigger();
            h.w->switchBrowsers();
            h.w->close();
            QVERIFY(QFileInfo::exists(data));
        }
        WindowHarness h({QStringLiteral("-DataFile=") + data});
        QCOMPARE(h.s->dataFile(), data);
        QCOMPARE(h.w->size(), QSize(820, 590));
        QCOMPARE(h.w->lCombo->history().mid(0, 3), history.mid(0, 3));
        QCOMPARE(h.s->currentLocalFolder(), history.value(0));
        QCOMPARE(h.w->tbAddress->text(), QStringLiteral("example.org"));
        QCOMPARE(h.w->llv->viewStyle(), quint8(ListStyleList));
        QTRY_VERIFY(h.w->panesSwitched());
        QTRY_COMPARE(WindowHarness::names(h.w->llv), QStringList{});
    }
};

QTEST_MAIN(TestWindowLocal)
#include "test_window_local.moc"

// The window against a real server: quick connect typed into the toolbar,
// folders entered by double click, files and folders received and sent, and
// the remote rename, new folder and delete through the input box and the
// confirmation.

#include "test_dialog_support.h"
#include "test_window_support.h"

#include "queue/transfer_queue.h"
#include "support/pyftp_server.h"
#include "ui/form_chmod.h"
#include "ui/queue_view.h"

#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

using testsupport::PyFtpServer;

class TestWindowRemote : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<PyFtpServer> m_server;

    QString served(const QString& name) const { return m_server->root() + u'/' + name; }

    // Types the address, the user, the password and the port and presses
    // Enter in the port field.
    static void typeQuickConnect(WindowHarness& h, quint16 port)
    {
        for (QLineEdit* edit : {h.w->tbAddress, h.w->tbusername, h.w->tbPassword, h.w->tbPort})
            edit->clear();
        QTest::keyClicks(h.w->tbAddress, QStringLiteral("127.0.0.1"));
        QTest::keyClicks(h.w->tbusername, QStringLiteral("test"));
        QTest::keyClicks(h.w->tbPassword, QStringLiteral("secret"));
        QTest::keyClicks(h.w->tbPort, QString::number(port));
        QTest::keyClick(h.w->tbPort, Qt::Key_Return);
    }

    bool connect(WindowHarness& h)
    {
        typeQuickConnect(h, m_server->port());
        return h.waitIdle();
    }

private slots:
    void init()
    {
        m_server = std::make_unique<PyFtpServer>();
        QVERIFY2(m_server->start(), qPrintable(m_server->errorString()));
        QVERIFY(writeFile(served("readme.txt"), "hello"));
        QVERIFY(writeFile(served("docs/guide.txt"), "guide text"));
        QVERIFY(writeFile(served("docs/deep/notes.txt"), "deep"));
        QVERIFY(QDir().mkpath(served("empty")));
    }
    void cleanup() { m_server.reset(); }

    void quickConnectByTypingAndEnter()
    {
        WindowHarness h;
        QVERIFY2(connect(h), qPrintable(h.dump()));
        QCOMPARE(h.w->acConnect->text(), QStringLiteral("Disconnect"));
        QCOMPARE(h.w->rCombo->currentText(), QStringLiteral("/"));
        QCOMPARE(WindowHarness::names(h.w->rlv), (QStringList{"docs", "empty", "readme.txt"}));
        // The window shows what the session holds.
        QCOMPARE(h.w->windowTitle(), h.s->windowCaption());

        // Enter again while connected neither disconnects nor connects anew.
        const int userCommands = h.log.filter(QStringLiteral("USER ")).size();
        QTest::keyClick(h.w->tbAddress, Qt::Key_Return);
        QTest::qWait(300);
        QCOMPARE(h.w->acConnect->text(), QStringLiteral("Disconnect"));
        QCOMPARE(h.log.filter(QStringLiteral("USER ")).size(), userCommands);

        h.w->acConnect->trigger();
        QTRY_COMPARE(h.w->acConnect->text(), QStringLiteral("Connect"));
        QTRY_VERIFY(h.w->rlv->model()->rowCount() == 0);
    }

    void doubleClickEntersRemoteFolderAndPathBoxGoesBack()
    {
        WindowHarness h;
        QVERIFY2(connect(h), qPrintable(h.dump()));
        h.doubleClick(h.w->rlv, QStringLiteral("docs"));
        QTRY_COMPARE(h.w->rCombo->currentText(), QStringLiteral("/docs/"));
        QVERIFY(h.waitIdle());
        QCOMPARE(WindowHarness::names(h.w->rlv), (QStringList{"deep", "guide.txt"}));

        // A double click on a file with "Transfer File" queues its download.
        h.s->settings().sDoubleClickAction = 1;
        h.doubleClick(h.w->rlv, QStringLiteral("guide.txt"));
        QTRY_COMPARE(h.s->transferQueue().count(), 1);
        QCOMPARE(h.s->transferQueue().row(0).entry.from, QStringLiteral("/docs/guide.txt"));
        SessionInspector::transfers(*h.s).clear();

        h.w->rGoUp->click();
        QTRY_COMPARE(h.w->rCombo->currentText(), QStringLiteral("/"));
        QVERIFY(h.w->rCombo->history().contains(QStringLiteral("/docs/")));

        h.w->rCombo->setEditText(QStringLiteral("/docs/deep"));
        QTest::keyClick(h.w->rCombo->lineEdit(), Qt::Key_Return);
        QTRY_COMPARE(WindowHarness::names(h.w->rlv), QStringList{"notes.txt"});
    }

    void receiveFileAndFolderThroughTheQueue()
    {
        WindowHarness h;
        QVERIFY2(connect(h), qPrintable(h.dump()));
        h.showLocal(h.local());
        h.select(h.w->rlv, {QStringLiteral("docs"), QStringLiteral("readme.txt")});
        QVERIFY(h.w->acReceive->isEnabled());
        h.w->acReceive->trigger();

        QCOMPARE(h.s->transferQueue().count(), 2);
        QCOMPARE(h.w->qLv->model()->rowCount(), 2);
        QCOMPARE(h.s->transferQueue().row(0).entry.from, QStringLiteral("/docs"));
        QCOMPARE(h.s->transferQueue().row(0).entry.to, h.local("docs"));
        QCOMPARE(h.s->transferQueue().row(0).entry.size, -1);
        QCOMPARE(h.s->transferQueue().row(1).entry.size, 5);

        h.w->acQueueTransfer->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(h.s->transferQueue().isEmpty(), 30000);
        QCOMPARE(readFile(h.local("readme.txt")), QByteArray("hello"));
        QCOMPARE(readFile(h.local("docs/guide.txt")), QByteArray("guide text"));
        QCOMPARE(readFile(h.local("docs/deep/notes.txt")), QByteArray("deep"));
        QTRY_VERIFY(WindowHarness::names(h.w->llv).contains(QStringLiteral("readme.txt")));
    }

    void sendFileAndFolder()
    {
        WindowHarness h;
        QVERIFY2(connect(h), qPrintable(h.dump()));
        QVERIFY(writeFile(h.local("up.txt"), "upload me"));
        QVERIFY(writeFile(h.local("tree/a.txt"), "a"));
        h.showLocal(h.local());
        h.select(h.w->llv, {QStringLiteral("tree"), QStringLiteral("up.txt")});
        QVERIFY(h.w->acSend->isEnabled());
        QVERIFY(!h.w->acReceive->isEnabled());
        h.w->acSend->trigger();
        QCOMPARE(h.s->transferQueue().count(), 2);
        QCOMPARE(h.s->transferQueue().row(0).entry.to, QStringLiteral("/tree/"));

        h.w->acQueueTransfer->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(h.s->transferQueue().isEmpty(), 30000);
        QCOMPARE(readFile(served("up.txt")), QByteArray("upload me"));
        QCOMPARE(readFile(served("tree/a.txt")), QByteArray("a"));
        QVERIFY(h.waitIdle());
        QTRY_VERIFY(WindowHarness::names(h.w->rlv).contains(QStringLiteral("up.txt")));
    }

    void remoteRenameNewFolderAndDelete()
    {
        WindowHarness h;
        QVERIFY2(connect(h), qPrintable(h.dump()));

        h.select(h.w->rlv, {QStringLiteral("readme.txt")});
        h.inputs << QStringLiteral("renamed.txt");
        h.w->acRename->trigger();
        QCOMPARE(h.inputTitles.value(0), QStringLiteral("Rename File|New File Name:"));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(served("renamed.txt")), 10000);
        QVERIFY(!QFile::exists(served("readme.txt")));
        QTRY_VERIFY(WindowHarness::names(h.w->rlv).contains(QStringLiteral("renamed.txt")));

        h.inputs << QStringLiteral("made");
        h.w->acFolderNew->trigger();
        QCOMPARE(h.inputTitles.value(1), QStringLiteral("Create New Folder|New Folder Name:"));
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(served("made")).isDir(), 10000);

        // Cancelled input sends nothing.
        h.w->acFolderNew->trigger();
        QVERIFY(!h.s->hasQueuedCommands());

        // A new data file asks before a remote delete, naming what goes:
        // No keeps the files; Yes deletes the tree.
        QVERIFY(h.waitIdle());
        QVERIFY(h.s->settings().sWarnRemoteDelete);
        h.select(h.w->rlv, {QStringLiteral("docs"), QStringLiteral("renamed.txt")});
        h.ui.yesNo << false;
        h.w->rlv->setFocus();
        QTest::keyClick(h.w->rlv->currentView(), Qt::Key_Delete);
        QCOMPARE(h.ui.questions.value(0), QStringLiteral("Delete 1 file and 1 folder tree from the server?"));
        QVERIFY(!h.s->hasQueuedCommands());

        h.ui.yesNo << true;
        h.w->acDelete->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(!QFile::exists(served("docs")) && !QFile::exists(served("renamed.txt")), 30000);
        QVERIFY(h.waitIdle());
        QTRY_COMPARE(WindowHarness::names(h.w->rlv), (QStringList{"empty", "made"}));
    }

    // What a person types is a name, even when it looks like a flag.
    void folderNamedLikeAFlag()
    {
        WindowHarness h;
        QVERIFY2(connect(h), qPrintable(h.dump()));
        h.inputs << QStringLiteral("flag:x");
        h.w->acFolderNew->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(served("flag:x")).isDir(), 10000);
        QTRY_VERIFY(WindowHarness::names(h.w->rlv).contains(QStringLiteral("flag:x")));

        h.select(h.w->rlv, {QStringLiteral("flag:x")});
        h.inputs << QStringLiteral("flag:recursive");
        h.w->acRename->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(served("flag:recursive")).isDir(), 10000);
        QVERIFY(!QFileInfo::exists(served("flag:x")));
        QVERIFY(h.waitIdle());
        QTRY_VERIFY(WindowHarness::names(h.w->rlv).contains(QStringLiteral("flag:recursive")));

        QVERIFY(writeFile(served("flag:recursive/flag:activatequeue"), "f"));
        h.select(h.w->rlv, {QStringLiteral("flag:recursive")});
        h.ui.yesNo << true;
        h.w->acDelete->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(!QFileInfo::exists(served("flag:recursive")), 30000);
        QVERIFY(h.waitIdle());
        QVERIFY2(h.ui.messages.isEmpty(), qPrintable(h.dump()));
        QTRY_VERIFY(!WindowHarness::names(h.w->rlv).contains(QStringLiteral("flag:recursive")));
    }

    void changePermissionsOnTheRemoteSelection()
    {
        WindowHarness h;
        QVERIFY2(connect(h), qPrintable(h.dump()));
        // A folder opens with its own 755: OK changes nothing about it.
        QVERIFY(QFile::setPermissions(served("docs"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                          QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther |
                                                          QFile::ExeOther));
        h.w->acRefresh->trigger();
        QVERIFY(h.waitIdle());
        h.select(h.w->rlv, {QStringLiteral("docs")});
        QString opened;
        onModal([&](QWidget* modal) {
            auto* chmod = qobject_cast<TFormChMod*>(modal);
            QVERIFY(chmod);
            opened = chmod->permissioncode->text();
            chmod->ok->click();
        });
        h.w->acChMod->trigger();
        QCOMPARE(opened, QStringLiteral("755"));
        QVERIFY(h.waitIdle());
        QVERIFY(QFileInfo(served("docs")).permissions() & QFile::ExeOther);

        h.select(h.w->rlv, {QStringLiteral("readme.txt")});
        QVERIFY(h.w->acChMod->isEnabled());
        onModal([](QWidget* modal) {
            auto* chmod = qobject_cast<TFormChMod*>(modal);
            QVERIFY(chmod);
            chmod->permissioncode->setText(QStringLiteral("600"));
            chmod->ok->click();
        });
        h.w->acChMod->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(QFileInfo(served("readme.txt")).permissions() & 0x7777,
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser, 10000);
    }

    void dragFromThePaneOntoTheOtherPaneAndTheQueue()
    {
        WindowHarness h;
        QVERIFY2(connect(h), qPrintable(h.dump()));
        QVERIFY(writeFile(h.local("drag.txt"), "dragged"));
        h.showLocal(h.local());
        h.w->acViewDetails->trigger();
        h.select(h.w->llv, {QStringLiteral("drag.txt")});

        // The drop as the target widget receives it (the offscreen platform
        // runs no drag of its own).
        const auto drop = [&](PaneView* from, QWidget* onto) {
            std::unique_ptr<QMimeData> mime(h.w->paneRowsMimeData(from));
            QDragEnterEvent enter(onto->rect().center(), Qt::CopyAction, mime.get(), Qt::LeftButton, {});
            QApplication::sendEvent(onto, &enter);
            QDropEvent dropped(QPointF(onto->rect().center()), Qt::CopyAction, mime.get(), Qt::LeftButton, {});
            QApplication::sendEvent(onto, &dropped);
            return enter.isAccepted() && dropped.isAccepted();
        };
        // A pane onto itself is no transfer.
        QVERIFY(!drop(h.w->llv, h.w->llv->currentView()->viewport()));
        QCOMPARE(h.s->transferQueue().count(), 0);

        QVERIFY(drop(h.w->llv, h.w->rlv->currentView()->viewport()));
        QCOMPARE(h.s->transferQueue().count(), 1);
        QCOMPARE(h.s->transferQueue().row(0).entry.from, h.local("drag.txt"));
        QCOMPARE(h.s->transferQueue().row(0).entry.to, QStringLiteral("/drag.txt"));
        QCOMPARE(h.s->transferQueue().row(0).entry.size, 7);
        QVERIFY(h.s->transferQueue().row(0).entry.upload);

        h.select(h.w->rlv, {QStringLiteral("docs"), QStringLiteral("readme.txt")});
        QVERIFY(drop(h.w->rlv, h.w->qLv->viewport()));
        QCOMPARE(h.s->transferQueue().count(), 3);
        QCOMPARE(h.s->transferQueue().row(1).entry.from, QStringLiteral("/docs"));
        QCOMPARE(h.s->transferQueue().row(1).entry.size, -1);
        QCOMPARE(h.s->transferQueue().row(2).entry.to, h.local("readme.txt"));
        QVERIFY(!h.s->transferQueue().row(2).entry.upload);
    }

    void copyPasteAndManualReceiveQueueTheUsualForms()
    {
        WindowHarness h;
        QVERIFY2(connect(h), qPrintable(h.dump()));
        h.showLocal(h.local());
        h.select(h.w->rlv, {QStringLiteral("readme.txt")});
        h.w->acCopy->trigger();
        // Pasting into the pane it came from is no transfer.
        h.w->acPaste->trigger();
        QCOMPARE(h.s->transferQueue().count(), 0);
        h.select(h.w->llv, {});
        h.w->acPaste->trigger();
        QCOMPARE(h.s->transferQueue().count(), 1);
        QCOMPARE(h.s->transferQueue().row(0).entry.from, QStringLiteral("/readme.txt"));
        QCOMPARE(h.s->transferQueue().row(0).entry.to, h.local("readme.txt"));

        h.inputs << QStringLiteral("/docs/deep/") << QStringLiteral("docs/../") << QStringLiteral("docs/guide.txt");
        h.w->acManualReceive->trigger();
        h.w->acManualReceive->trigger();
        h.w->acManualReceive->trigger();
        QCOMPARE(h.s->transferQueue().count(), 3);
        QCOMPARE(h.s->transferQueue().row(1).entry.from, QStringLiteral("/docs/deep"));
        QCOMPARE(h.s->transferQueue().row(1).entry.to, h.local("deep"));
        QCOMPARE(h.s->transferQueue().row(1).entry.size, -1);
        QCOMPARE(h.s->transferQueue().row(2).entry.from, QStringLiteral("/docs/guide.txt"));
        QCOMPARE(h.ui.messages.size(), 1);  // "docs/../" names no folder of its own
    }
};

QTEST_MAIN(TestWindowRemote)
#include "test_window_remote.moc"

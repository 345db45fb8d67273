// The window's transfer queue survives a restart: closed (or ended as a
// signal ends it) with entries, the window keeps them beside its data file;
// the next start offers them, restores their actions and failed states, and
// a download cut off in the middle resumes, but only into the very file it
// had begun, and only on the server it was queued on.

#include "test_window_support.h"

#include "queue/transfer_queue.h"
#include "store/saved_queue.h"
#include "support/pyftp_server.h"
#include "ui/queue_view.h"

#include <QRandomGenerator>
#include <QTcpServer>
#include <QTest>

#include <csignal>

using testsupport::PyFtpServer;

namespace {

void answerRestore(WindowHarness& h, bool yes) { h.ui.yesNo = {yes}; }

}  // namespace

class TestWindowSavedQueue : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<PyFtpServer> m_server;
    std::unique_ptr<QTemporaryDir> m_dir;  // the data file and the local folder of both runs

    QString served(const QString& name) const { return m_server->root() + u'/' + name; }
    QString dataFile() const { return m_dir->filePath(QStringLiteral("glimmerftp.dat")); }
    QString queueFile() const { return m_dir->filePath(QStringLiteral("glimmerftp.queue")); }
    QString local(const QString& name = QString()) const { return m_dir->filePath(QStringLiteral("local/")) + name; }

    std::unique_ptr<WindowHarness> start(bool restore)
    {
        auto h = std::make_unique<WindowHarness>(QStringList{}, dataFile(), nullptr,
                                                 [restore](WindowHarness& w) { answerRestore(w, restore); });
        QDir().mkpath(local());
        h->showLocal(local());
        return h;
    }

    bool connect(WindowHarness& h, const QString& user = QStringLiteral("test"), quint16 port = 0)
    {
        return h.connect(port ? port : m_server->port(), user);
    }

    static bool drained(WindowHarness& h) { return h.connected() && !h.s->transferQueue().hasPending(); }

    // A queue written as an earlier run would have left it.
    void leaveQueue(const QString& user, const QStringList& names)
    {
        SavedQueue q;
        q.host = QStringLiteral("127.0.0.1");
        q.port = QString::number(m_server->port());
        q.user = user;
        for (const QString& name : names) {
            SavedTransfer t;
            t.from = u'/' + name;
            t.to = local(name);
            t.size = 5;
            q.transfers.append(t);
        }
        QVERIFY(savedqueue::save(queueFile(), q).ok());
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_server = std::make_unique<PyFtpServer>();
        for (const char* name : {"a.txt", "b.txt", "gone.txt"})
            QVERIFY(writeFile(served(QString::fromLatin1(name)), QByteArray("new ") + name));
        QVERIFY2(m_server->start(), qPrintable(m_server->errorString()));
    }
    void cleanup()
    {
        m_server.reset();
        m_dir.reset();
    }

    void entriesComeBackWithTheirActionsAndFailures()
    {
        auto h = start(false);
        QVERIFY2(connect(*h), qPrintable(h->dump()));
        QVERIFY(QFile::remove(served("gone.txt")));  // listed, then gone
        h->select(h->w->rlv, {QStringLiteral("gone.txt")});
        h->w->acReceive->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(drained(*h) && h->s->transferQueue().failedCount() == 1, 20000);
        h->w->acQueueAlwaysActive->setChecked(false);
        QTRY_VERIFY(!h->s->queueActive());
        h->select(h->w->rlv, {QStringLiteral("a.txt"), QStringLiteral("b.txt")});
        h->w->acReceive->trigger();
        QCOMPARE(h->s->transferQueue().count(), 3);
        // b.txt exists locally; the person has already chosen to overwrite it.
        QVERIFY(writeFile(local("b.txt"), "old b"));
        QCOMPARE(h->s->transferQueue().row(2).entry.from, QStringLiteral("/b.txt"));
        SessionInspector::transfers(*h->s).row(2).entry.action = kActionOverwrite;
        h->w->close();
        QVERIFY(QFile::exists(queueFile()));
        h.reset();

        h = start(true);
        QCOMPARE(h->ui.questions, QStringList{QStringLiteral("Restore 3 transfers left from the last session?")});
        QVERIFY(!QFile::exists(queueFile()));
        const TransferQueue& q = h->s->transferQueue();
        QCOMPARE(q.count(), 3);
        QVERIFY(q.row(0).isFailed());
        QVERIFY2(q.row(0).failureReason().startsWith(QStringLiteral("550")), qPrintable(q.row(0).failureReason()));
        QCOMPARE(q.row(1).stateImage, kStateDownloadWaiting);
        QCOMPARE(q.row(1).entry.action, kActionUndecided);
        QCOMPARE(q.row(2).entry.to, local("b.txt"));
        QCOMPARE(q.row(2).entry.action, kActionOverwrite);
        QCOMPARE(h->w->qLv->model()->rowCount(), 3);  // shown

        // Any question about b.txt would be recorded: none comes.
        h->s->settings().sXferPromptForAction = true;
        QVERIFY2(connect(*h), qPrintable(h->dump()));
        h->w->acQueueTransfer->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(drained(*h), 20000);
        QCOMPARE(readFile(local("a.txt")), QByteArray("new a.txt"));
        QCOMPARE(readFile(local("b.txt")), QByteArray("new b.txt"));
        QCOMPARE(h->ui.prompts, QStringList());
        QCOMPARE(q.count(), 1);
        QVERIFY(q.row(0).isFailed());

        // Closed with only the failed entry left, the window keeps that one.
        h->w->close();
        const SavedQueueLoad kept = savedqueue::load(queueFile());
        QCOMPARE(kept.queue.transfers.size(), 1);
        QVERIFY(kept.queue.transfers[0].failed);
    }

    // The window ended as SIGTERM ends it, in the middle of a download; the
    // next run continues the file where it stopped, byte for byte, unless
    // the file was changed in between: then it is someone else's, and the
    // person is asked as for any existing file.
    void partialDownloadResumes_data()
    {
        QTest::addColumn<bool>("changedMeanwhile");
        QTest::newRow("the file as it was left") << false;
        QTest::newRow("the file changed in between") << true;
    }
    void partialDownloadResumes()
    {
        QFETCH(bool, changedMeanwhile);
        const QByteArray data = randomBytes(64 << 20, 23);
        QVERIFY(writeFile(served("big.bin"), data));
        auto h = start(false);
        QVERIFY2(connect(*h), qPrintable(h->dump()));
        h->select(h->w->rlv, {QStringLiteral("big.bin")});
        h->w->acReceive->trigger();
        QVERIFY(QTest::qWaitFor([&] { return QFileInfo(local("big.bin")).size() > 0; }, 20000));
        // The server stops dead, so that the window ends with the transfer
        // running whatever the speed of this machine.
        QCOMPARE(::kill(pid_t(m_server->pid()), SIGSTOP), 0);
        QVERIFY(h->s->transferQueue().row(0).isRunning());
        h->w->FormClose();
        h->w->FormDestroy();
        ::kill(pid_t(m_server->pid()), SIGCONT);
        const SavedQueueLoad kept = savedqueue::load(queueFile());
        QVERIFY2(kept.status.ok(), qPrintable(kept.status.message));
        QCOMPARE(kept.queue.transfers.size(), 1);
        QVERIFY(kept.queue.transfers[0].partial);
        const qint64 partial = QFileInfo(local("big.bin")).size();
        QCOMPARE(kept.queue.transfers[0].partialSize, partial);
        QVERIFY(partial > 0 && partial < data.size());
        h.reset();

        if (changedMeanwhile) {
            // Another program has put its own file there.
            QVERIFY(writeFile(local("big.bin"), "someone else's file"));
        }
        h = start(true);
        QCOMPARE(h->s->transferQueue().count(), 1);
        QCOMPARE(h->s->transferQueue().row(0).entry.action, changedMeanwhile ? kActionUndecided : kActionResume);
        h->s->settings().sXferPromptForAction = true;
        h->ui.actions = {{kActionOverwrite, false}};
        QVERIFY2(connect(*h), qPrintable(h->dump()));
        QTRY_VERIFY_WITH_TIMEOUT(drained(*h) && h->s->transferQueue().isEmpty(), 60000);
        QVERIFY(readFile(local("big.bin")) == data);
        const QStringList rest = h->log.filter(QStringLiteral("FTP Cmd\t:> REST "));
        if (changedMeanwhile) {
            QCOMPARE(h->ui.prompts.size(), 1);
            QVERIFY(rest.isEmpty());
        } else {
            QCOMPARE(h->ui.prompts, QStringList());
            // On whichever connection the file went ("[1] " before a
            // transfer connection's lines).
            QCOMPARE(rest.size(), 1);
            QVERIFY2(rest[0].endsWith(QStringLiteral("FTP Cmd\t:> REST %1").arg(partial)), qPrintable(rest[0]));
        }
    }

    // A folder's turn turns it into commands (a listing and then its files
    // for a download; the folders to make and then the files for an
    // upload). Ended before those commands ran, the window keeps the folder
    // download as the entry it was, and the folders the uploads need.
    void foldersBegunAreKept_data()
    {
        QTest::addColumn<bool>("upload");
        QTest::newRow("download") << false;
        QTest::newRow("upload") << true;
    }
    void foldersBegunAreKept()
    {
        QFETCH(bool, upload);
        QVERIFY(writeFile(served("tree/one.txt"), "one"));
        QVERIFY(writeFile(served("tree/sub/two.txt"), "two"));
        QVERIFY(writeFile(local("up/a.txt"), "a"));
        QVERIFY(writeFile(local("up/deep/b.txt"), "b"));
        auto h = start(false);
        QVERIFY2(connect(*h), qPrintable(h->dump()));
        h->w->acQueueAlwaysActive->setChecked(false);
        QTRY_VERIFY(!h->s->queueActive());
        if (upload) {
            h->select(h->w->llv, {QStringLiteral("up")});
            h->w->acSend->trigger();
        } else {
            h->select(h->w->rlv, {QStringLiteral("tree")});
            h->w->acReceive->trigger();
        }
        QCOMPARE(h->s->transferQueue().count(), 1);
        // The server stops answering: the commands stay where they are.
        QCOMPARE(::kill(pid_t(m_server->pid()), SIGSTOP), 0);
        h->w->acQueueTransfer->trigger();
        QTRY_VERIFY(h->s->transferQueue().isEmpty() || !h->s->transferQueue().row(0).isFolder());
        QVERIFY(h->s->hasQueuedCommands() || !h->s->engineReady());
        h->w->close();
        ::kill(pid_t(m_server->pid()), SIGCONT);
        h.reset();

        h = start(true);
        QCOMPARE(h->ui.questions,
                 QStringList{upload ? QStringLiteral("Restore 2 transfers left from the last session?")
                                    : QStringLiteral("Restore 1 transfer left from the last session?")});
        QVERIFY2(connect(*h), qPrintable(h->dump()));
        h->w->acQueueTransfer->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(drained(*h) && !h->s->hasQueuedCommands() && h->s->transferQueue().isEmpty(), 20000);
        if (upload) {
            QCOMPARE(readFile(served("up/a.txt")), QByteArray("a"));
            QCOMPARE(readFile(served("up/deep/b.txt")), QByteArray("b"));
        } else {
            QCOMPARE(readFile(local("tree/one.txt")), QByteArray("one"));
            QCOMPARE(readFile(local("tree/sub/two.txt")), QByteArray("two"));
        }
    }

    // Declined, the kept queue is gone. Accepted, its entries wait for the
    // server they were queued on: a connection that fails keeps them, and a
    // log-in as someone else removes them instead of running them there.
    void declinedOrAnotherServer()
    {
        leaveQueue(QStringLiteral("other"), {QStringLiteral("a.txt"), QStringLiteral("b.txt")});
        auto h = start(false);
        QCOMPARE(h->ui.questions, QStringList{QStringLiteral("Restore 2 transfers left from the last session?")});
        QVERIFY(h->s->transferQueue().isEmpty());
        QVERIFY(!QFile::exists(queueFile()));
        h.reset();

        leaveQueue(QStringLiteral("other"), {QStringLiteral("a.txt"), QStringLiteral("b.txt")});
        h = start(true);
        QCOMPARE(h->s->transferQueue().count(), 2);
        QTcpServer closed;  // a port nobody answers on
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        const quint16 refused = closed.serverPort();
        closed.close();
        h->s->setQuickConnectAddress(QStringLiteral("127.0.0.1"));
        h->s->setQuickConnectPort(QString::number(refused));
        h->s->acConnectExecute(true);
        QTRY_VERIFY_WITH_TIMEOUT(h->s->isConnectIdle(), 20000);
        QCOMPARE(h->s->transferQueue().count(), 2);

        QVERIFY2(connect(*h), qPrintable(h->dump()));
        QVERIFY(h->s->transferQueue().isEmpty());
        QVERIFY2(!h->log
                      .filter(QStringLiteral("Removed 2 transfers left from the last session: they belong to "
                                             "other@127.0.0.1:%1")
                                  .arg(m_server->port()))
                      .isEmpty(),
                 qPrintable(h->dump()));
        QVERIFY(!QFile::exists(local("a.txt")));
    }

    // Ended (by a signal) while the question is still open: nothing was
    // decided, and the next start asks again.
    void endedWhileAsking()
    {
        leaveQueue(QStringLiteral("test"), {QStringLiteral("a.txt")});
        const QByteArray before = readFile(queueFile());
        WindowHarness h({}, dataFile(), nullptr, [](WindowHarness& w) {
            w.ui.whileAsking = [&w](const QString&) {
                w.w->FormClose();
                w.w->FormDestroy();
            };
        });
        QCOMPARE(h.ui.questions.size(), 1);
        QVERIFY(h.s->transferQueue().isEmpty());
        QCOMPARE(readFile(queueFile()), before);
        QVERIFY(QFile::exists(dataFile()));  // the settings were saved as usual
    }
};

QTEST_MAIN(TestWindowSavedQueue)
#include "test_window_saved_queue.moc"

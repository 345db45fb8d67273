// The transfer queue in the window against a real server: a transfer starts
// when it is asked for, a failed one stays in the queue with its reason until
// it is retried or removed, and files dropped from the desktop's file manager
// are sent.

#include "test_window_support.h"

#include "queue/transfer_queue.h"
#include "support/pyftp_server.h"
#include "ui/queue_model.h"
#include "ui/queue_view.h"
#include "ui/status_bar.h"

#include <QDropEvent>
#include <QMenu>
#include <QMimeData>
#include <QTest>
#include <QUrl>

using testsupport::PyFtpServer;

class TestWindowQueue : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<PyFtpServer> m_server;

    QString served(const QString& name) const { return m_server->root() + u'/' + name; }

    bool connect(WindowHarness& h) { return h.connect(m_server->port()); }

    static bool drained(WindowHarness& h) { return h.connected() && !h.s->transferQueue().hasPending(); }

private slots:
    void init()
    {
        m_server = std::make_unique<PyFtpServer>();
        QVERIFY2(m_server->start(), qPrintable(m_server->errorString()));
        QVERIFY(writeFile(served("readme.txt"), "hello"));
        QVERIFY(writeFile(served("gone.txt"), "soon gone"));
    }
    void cleanup() { m_server.reset(); }

    void receiveStartsWithoutPressingTransfer()
    {
        WindowHarness h;
        h.showLocal(h.local());
        QVERIFY2(connect(h), qPrintable(h.dump()));
        QVERIFY(h.w->acQueueAlwaysActive->isChecked());  // a new data file
        h.select(h.w->rlv, {QStringLiteral("readme.txt")});
        h.w->acReceive->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(readFile(h.local("readme.txt")) == "hello", 20000);
        QTRY_VERIFY(h.s->transferQueue().isEmpty());
    }

    void failedTransferStaysWithItsReason()
    {
        WindowHarness h;
        h.showLocal(h.local());
        QVERIFY2(connect(h), qPrintable(h.dump()));
        QVERIFY(QFile::remove(served("gone.txt")));  // listed, then gone
        h.select(h.w->rlv, {QStringLiteral("gone.txt")});
        h.w->acReceive->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(drained(h) && h.s->transferQueue().failedCount() == 1, 20000);

        QAbstractItemModel* rows = h.w->qLv->model();
        QCOMPARE(rows->rowCount(), 1);
        QCOMPARE(rows->headerData(QueueModel::StatusColumn, Qt::Horizontal).toString(), QStringLiteral("Status"));
        QCOMPARE(rows->index(0, 0).data(QueueModel::StateImageRole).toInt(), kStateFailed);
        const QString status = rows->index(0, QueueModel::StatusColumn).data().toString();
        QVERIFY2(status.startsWith(QStringLiteral("Failed: 550")), qPrintable(status));
        QCOMPARE(rows->index(0, 0).data(Qt::ForegroundRole).value<QColor>(), QColor(192, 0, 0));
        // The status bar does not stay at the last percentage.
        QCOMPARE(h.w->stat->gauge(), 0);
        for (int panel = 2; panel <= 5; ++panel)
            QCOMPARE(h.w->stat->panelText(panel), QString());

        QVERIFY(h.w->queueMenu->actions().contains(h.w->acQueueRetryFailed));
        QVERIFY(h.w->queueMenu->actions().contains(h.w->acQueueRemoveFailed));
        QTRY_VERIFY(h.w->acQueueRetryFailed->isEnabled());
        QVERIFY(writeFile(served("gone.txt"), "back again"));
        h.w->acQueueRetryFailed->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(drained(h) && h.s->transferQueue().isEmpty(), 20000);
        QCOMPARE(readFile(h.local("gone.txt")), QByteArray("back again"));
        QTRY_VERIFY(!h.w->acQueueRetryFailed->isEnabled());

        QVERIFY(QFile::remove(served("gone.txt")));
        h.select(h.w->rlv, {QStringLiteral("gone.txt")});
        h.w->acReceive->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(drained(h) && h.s->transferQueue().failedCount() == 1, 20000);
        h.w->acQueueRemoveFailed->trigger();
        QVERIFY(h.s->transferQueue().isEmpty());
    }

    void filesDroppedFromTheFileManagerAreSent()
    {
        WindowHarness h;
        QVERIFY(writeFile(h.local("photo.jpg"), "jpeg"));
        QVERIFY(writeFile(h.local("album/one.jpg"), "one"));
        QVERIFY2(connect(h), qPrintable(h.dump()));
        h.w->acQueueAlwaysActive->setChecked(false);  // look at the entries first
        QTRY_VERIFY(!h.s->queueActive());

        const auto drop = [&](const QList<QUrl>& urls, QWidget* onto) {
            QMimeData mime;
            mime.setUrls(urls);
            QDragEnterEvent enter(onto->rect().center(), Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton, {});
            QApplication::sendEvent(onto, &enter);
            if (!enter.isAccepted())
                return false;
            QDropEvent dropped(QPointF(onto->rect().center()), Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton,
                               {});
            QApplication::sendEvent(onto, &dropped);
            // Sent, never moved: the local files stay.
            return dropped.isAccepted() && dropped.dropAction() == Qt::CopyAction;
        };
        QVERIFY(drop({QUrl::fromLocalFile(h.local("photo.jpg"))}, h.w->rlv->currentView()->viewport()));
        QVERIFY(drop({QUrl::fromLocalFile(h.local("album"))}, h.w->qLv->viewport()));
        // Not a local file, or onto the local pane: nothing.
        QVERIFY(!drop({QUrl(QStringLiteral("https://example.com/x"))}, h.w->rlv->currentView()->viewport()));
        QVERIFY(!drop({QUrl::fromLocalFile(h.local("photo.jpg"))}, h.w->llv->currentView()->viewport()));
        QCOMPARE(h.s->transferQueue().count(), 2);
        QCOMPARE(h.s->transferQueue().row(0).entry.to, QStringLiteral("/photo.jpg"));
        QCOMPARE(h.s->transferQueue().row(0).entry.size, 4);
        QVERIFY(h.s->transferQueue().row(0).entry.upload);
        QCOMPARE(h.s->transferQueue().row(1).entry.to, QStringLiteral("/album/"));
        QCOMPARE(h.s->transferQueue().row(1).entry.size, -1);

        h.w->acQueueTransfer->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(drained(h) && h.s->transferQueue().isEmpty(), 20000);
        QCOMPARE(readFile(served("photo.jpg")), QByteArray("jpeg"));
        QCOMPARE(readFile(served("album/one.jpg")), QByteArray("one"));
        QVERIFY(QFile::exists(h.local("photo.jpg")));
    }
};

QTEST_MAIN(TestWindowQueue)
#include "test_window_queue.moc"

// Starting transfers from the queue against a real server: existing targets
// (overwrite, resume, skip; by setting and by prompt, "Apply to entire
// queue"), SIZE before an upload, the ASCII switch, Stop, failed downloads
// and unsafe remote names.

#include "session_harness.h"

#include "listing/entry_date.h"
#include "listing/size_format.h"
#include "support/pyftp_server.h"

#include <QLocale>
#include <QRegularExpression>

using testsupport::PyFtpServer;

namespace {

FolderEntry fileRow(const QString& name, qint64 size)
{
    FolderEntry e;
    e.name = name;
    e.entry.size = size;
    e.entry.date = entryDateFromParts(2021, 3, 4, 5, 6);  // as a listing gives it
    return e;
}

QByteArray pattern(int size, char seed)
{
    QByteArray data(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        data[i] = char(seed + i % 97);
    return data;
}

struct Connected {
    PyFtpServer server;
    std::unique_ptr<Harness> h;
    bool start()
    {
        if (!server.start())
            return false;
        h = std::make_unique<Harness>();
        return h->connect(server.port(), "test", "secret");
    }
    // Until nothing is left to transfer (failed entries stay).
    bool runQueue()
    {
        h->s->acQueueTransfer();
        return QTest::qWaitFor([&] { return h->idle() && !h->s->transferQueue().hasPending(); }, 30000);
    }
};

}  // namespace

class TestTransfers : public QObject {
    Q_OBJECT

private slots:
    void existingLocalTarget_data()
    {
        QTest::addColumn<bool>("prompt");
        QTest::addColumn<int>("action");  // the setting, or the prompt's answer
        QTest::addColumn<QByteArray>("expected");
        const QByteArray full = pattern(50000, 'a');
        QTest::newRow("overwrite by setting") << false << 0 << full;
        QTest::newRow("resume by setting") << false << 1 << full;
        QTest::newRow("skip by setting") << false << 2 << full.left(20000);
        QTest::newRow("overwrite by prompt") << true << 0 << full;
        QTest::newRow("resume by prompt") << true << 1 << full;
        QTest::newRow("skip by prompt") << true << 2 << full.left(20000);
    }

    void existingLocalTarget()
    {
        QFETCH(bool, prompt);
        QFETCH(int, action);
        QFETCH(QByteArray, expected);
        Connected c;
        writeFile(c.server.root() + "/f.bin", pattern(50000, 'a'));
        QVERIFY2(c.start(), qPrintable(c.server.errorString()));
        Harness& h = *c.h;
        writeFile(h.local("f.bin"), pattern(50000, 'a').left(20000));
        h.s->settings().sXferPromptForAction = prompt;
        h.s->settings().sXferAction = quint8(prompt ? 2 : action);
        h.ui.actions << UserInteraction::TransferActionAnswer{action, false};
        h.s->receive({fileRow("f.bin", 50000)});
        QVERIFY2(c.runQueue(), qPrintable(h.dump()));

        QCOMPARE(readFile(h.local("f.bin")), expected);
        QCOMPARE(h.ui.prompts.size(), prompt ? 1 : 0);
        if (prompt) {
            // The question, then what it is about: both files' sizes (and
            // the dates that are known) to judge the answer by.
            const QStringList lines = h.ui.prompts[0].split(QRegularExpression("\r+\n"));
            QCOMPARE(lines.value(0), "The file \"" + h.local("f.bin") + "\" already exists locally.");
            QCOMPARE(lines.value(1), "Source (server): " + QLocale().toString(50000) + " bytes (48" +
                                         QLocale().decimalPoint() + "8 KB), " +
                                         FormatEntryDate(entryDateFromParts(2021, 3, 4, 5, 6)));
            QVERIFY2(lines.value(2).startsWith("Target (local): " + QLocale().toString(20000) + " bytes (19" +
                                               QLocale().decimalPoint() + "5 KB), "),
                     qPrintable(lines.value(2)));
        }
        QCOMPARE(h.sent().contains("REST 20000"), action == 1);
        QCOMPARE(h.sent().contains("RETR /f.bin"), action != 2);
    }

    void applyToEntireQueue()
    {
        Connected c;
        for (const char* n : {"1.bin", "2.bin", "3.bin"})
            writeFile(c.server.root() + "/" + n, pattern(9000, n[0]));
        QVERIFY2(c.start(), qPrintable(c.server.errorString()));
        Harness& h = *c.h;
        for (const char* n : {"1.bin", "2.bin", "3.bin"})
            writeFile(h.local(n), pattern(9000, n[0]).left(1000));
        h.s->settings().sXferPromptForAction = true;
        h.ui.actions << UserInteraction::TransferActionAnswer{1, true};
        h.s->receive({fileRow("1.bin", 9000), fileRow("2.bin", 9000), fileRow("3.bin", 9000)});
        QVERIFY2(c.runQueue(), qPrintable(h.dump()));
        QCOMPARE(h.ui.prompts.size(), 1);
        QCOMPARE(h.sent().filter("REST 1000").size(), 3);
        for (const char* n : {"1.bin", "2.bin", "3.bin"})
            QCOMPARE(readFile(h.local(n)), pattern(9000, n[0]));
    }

    void uploadAsksSizeFirst_data()
    {
        QTest::addColumn<bool>("remoteExists");
        QTest::addColumn<int>("action");
        QTest::newRow("absent") << false << 1;
        QTest::newRow("present, resume") << true << 1;
        QTest::newRow("present, overwrite") << true << 0;
        QTest::newRow("present, skip") << true << 2;
    }

    void uploadAsksSizeFirst()
    {
        QFETCH(bool, remoteExists);
        QFETCH(int, action);
        Connected c;
        const QByteArray full = pattern(30000, 'u');
        if (remoteExists)
            writeFile(c.server.root() + "/u.bin", full.left(12000));
        QVERIFY2(c.start(), qPrintable(c.server.errorString()));
        Harness& h = *c.h;
        writeFile(h.local("u.bin"), full);
        // Right after the log-in's listing the session is in ASCII mode, in
        // which this server refuses SIZE.
        h.s->settings().sXferAction = quint8(action);
        h.s->send({fileRow("u.bin", full.size())});
        QVERIFY2(c.runQueue(), qPrintable(h.dump()));

        const QStringList sent = h.sent();
        const int size = int(sent.indexOf("SIZE /u.bin"));
        QVERIFY2(size >= 0, qPrintable(h.dump()));
        QCOMPARE(sent.contains("REST 12000"), remoteExists && action == 1);
        QCOMPARE(sent.contains("STOR /u.bin"), !(remoteExists && action == 2));
        QVERIFY(sent.indexOf("STOR /u.bin") < 0 || sent.indexOf("STOR /u.bin") > size);
        QCOMPARE(readFile(c.server.root() + "/u.bin"), remoteExists && action == 2 ? full.left(12000) : full);
        QVERIFY(h.ui.messages.isEmpty());
    }

    void textUploadSwitchesToAscii()
    {
        Connected c;
        QVERIFY2(c.start(), qPrintable(c.server.errorString()));
        Harness& h = *c.h;
        writeFile(h.local("a.bin"), "bin");
        writeFile(h.local("b.txt"), "txt\r\n");
        h.s->send({fileRow("a.bin", 3), fileRow("b.txt", 5)});
        QVERIFY2(c.runQueue(), qPrintable(h.dump()));
        // SIZE is asked in binary mode; the text file travels in ASCII mode,
        // on whichever connection each file went.
        QStringList moded;
        for (int connection = 0; connection <= ProgramData::MaxSimultaneousTransfers; ++connection) {
            QStringList sent = h.sentOn(connection);
            if (connection == 0) {
                QVERIFY(sent.indexOf("MLSD") >= 0);
                sent = sent.mid(sent.indexOf("MLSD") + 1);
            }
            // Each step with the transfer type in force when it was sent
            // (ASCII after a listing, and on a new connection).
            QString type = "TYPE A";
            for (const QString& c : sent) {
                if (c.startsWith("TYPE "))
                    type = c;
                else if (c.startsWith("SIZE ") || c.startsWith("STOR "))
                    moded << type + " " + c;
            }
        }
        moded.sort();
        QCOMPARE(moded,
                 QStringList({"TYPE A STOR /b.txt", "TYPE I SIZE /a.bin", "TYPE I SIZE /b.txt", "TYPE I STOR /a.bin"}));
    }

    void duplicateAndMoveRules()
    {
        Connected c;
        QVERIFY2(c.start(), qPrintable(c.server.errorString()));
        Harness& h = *c.h;
        h.ui.yesNo << false << true;
        h.s->receive({fileRow("d.bin", 1)});
        h.s->receive({fileRow("d.bin", 1)});
        h.s->receive({fileRow("D.BIN", 1)});
        QCOMPARE(h.s->transferQueue().count(), 2);
        QCOMPARE(h.ui.questions.size(), 2);
        QCOMPARE(h.ui.questions[0], "\"/d.bin\" is already in queue.\r\r\nAdd it anyway?");
        h.s->receive({fileRow("e.bin", 1)});

        // Nothing moves in front of a running head entry.
        SessionInspector::transfers(*h.s).setStateImage(0, kStateDownloadRunning);
        h.s->setQueueRowSelected(1, true);
        h.s->queueMoveUp();
        QCOMPARE(h.s->transferQueue().row(1).caption(), QString("/D.BIN"));
        SessionInspector::transfers(*h.s).setStateImage(0, kStateDownloadWaiting);
        h.s->queueMoveUp();
        QCOMPARE(h.s->transferQueue().row(0).caption(), QString("/D.BIN"));
        h.s->queueMoveDown();
        h.s->queueMoveDown();
        QCOMPARE(h.s->transferQueue().row(2).caption(), QString("/D.BIN"));
        h.s->queueMoveDown();  // the last row stays last
        QCOMPARE(h.s->transferQueue().row(2).caption(), QString("/D.BIN"));
    }

    void failedTransfersStayWithTheirReasonAndCanBeRetried()
    {
        Connected c;
        writeFile(c.server.root() + "/ok.bin", "fine");
        QVERIFY2(c.start(), qPrintable(c.server.errorString()));
        Harness& h = *c.h;
        h.s->settings().sSndXferComplete = "done.wav";
        h.s->receive({fileRow("missing.bin", 10), fileRow("ok.bin", 4)});
        QVERIFY2(c.runQueue(), qPrintable(h.dump()));
        const QStringList failed = h.status().filter("Download failed: /missing.bin (550");
        QCOMPARE(failed.size(), 1);
        QCOMPARE(readFile(h.local("ok.bin")), QByteArray("fine"));
        QCOMPARE(h.platform.sounds, QStringList({"done.wav"}));
        QVERIFY(h.ui.messages.isEmpty());
        // The failed entry stays, with the server's reason; the status bar is
        // cleared.
        QCOMPARE(h.s->transferQueue().count(), 1);
        QVERIFY(h.s->transferQueue().row(0).isFailed());
        QVERIFY2(h.s->transferQueue().row(0).failureReason().startsWith("550"),
                 qPrintable(h.s->transferQueue().row(0).failureReason()));
        QCOMPARE(h.s->transferQueue().headIndex(), -1);
        QCOMPARE(h.s->panel(2), QString());
        QCOMPARE(h.s->gaugeValue(), 0);
        QVERIFY2(h.s->panel(0).startsWith("Transfer failed: /missing.bin (550"), qPrintable(h.s->panel(0)));

        // A failed upload stays as well; the box of the failed send is shown.
        writeFile(h.local("up.bin"), "up");
        SessionInspector::transfers(*h.s).AddToTransferQueue(h.local("up.bin"), "/nowhere/up.bin", 2, false, false,
                                                             true);
        QVERIFY2(c.runQueue(), qPrintable(h.dump()));
        QCOMPARE(h.s->transferQueue().failedCount(), 2);
        QVERIFY(h.s->transferQueue().row(1).entry.upload);
        QCOMPARE(h.ui.messages.filter("Could not send file. (/nowhere/up.bin)").size(), 1);

        // Retried after the cause is gone, both run again and leave.
        writeFile(c.server.root() + "/missing.bin", "found");
        QDir().mkpath(c.server.root() + "/nowhere");
        h.s->retryFailedTransfers();
        QCOMPARE(h.s->transferQueue().failedCount(), 0);
        QVERIFY2(c.runQueue(), qPrintable(h.dump()));
        QVERIFY(h.s->transferQueue().isEmpty());
        QCOMPARE(readFile(h.local("missing.bin")), QByteArray("found"));
        QCOMPARE(readFile(c.server.root() + "/nowhere/up.bin"), QByteArray("up"));
    }

    void stopDuringADownloadKeepsThePartialFile()
    {
        Connected c;
        const QByteArray big = pattern(8 * 1024 * 1024, 'z');
        writeFile(c.server.root() + "/big.bin", big);
        QVERIFY2(c.start(), qPrintable(c.server.errorString()));
        Harness& h = *c.h;
        // The queue on the browsing connection (the transfer connections'
        // Stop is tested with them).
        h.s->settings().sSimultaneousTransfers = 1;
        h.s->setQueueAlwaysActive(true);
        bool stopped = false;
        QObject::connect(&SessionInspector::engine(*h.s), &TFtpClient::OnProgress, [&](qint64 count, bool&) {
            if (!stopped && count > 0) {
                stopped = true;
                QTimer::singleShot(0, [&] { h.s->acStopExecute(); });
            }
        });
        h.s->receive({fileRow("big.bin", big.size())});
        h.s->acQueueTransfer();
        QVERIFY2(QTest::qWaitFor(
                     [&] {
                         return stopped && h.idle() && h.s->transferQueue().count() == 1 &&
                                h.s->transferQueue().row(0).isWaiting();
                     },
                     30000),
                 qPrintable(h.dump()));
        QVERIFY(!h.s->queueAlwaysActive());
        QVERIFY(!h.s->queueActive());
        // Stopped is neither done nor failed: the entry waits again, to resume.
        QCOMPARE(h.status().filter("Transfer stopped: /big.bin").size(), 1);
        QCOMPARE(h.s->transferQueue().failedCount(), 0);
        QCOMPARE(h.s->transferQueue().row(0).entry.action, kActionResume);
        // The bytes received before the stop stay (on a fast loopback they may be all of them).
        const QByteArray partial = readFile(h.local("big.bin"));
        QVERIFY(!partial.isEmpty() && partial.size() <= big.size());
        QCOMPARE(partial, big.left(partial.size()));
        QCOMPARE(h.s->panel(2), QString());
        QCOMPARE(h.s->connectCaption(), QString("Disconnect"));
        // Started again, it continues where it stopped.
        QVERIFY2(c.runQueue(), qPrintable(h.dump()));
        QCOMPARE(h.sent().filter(QRegularExpression("^REST ")).size(), 1);
        QVERIFY(readFile(h.local("big.bin")) == big);
    }

    void unsafeRemoteNamesNeverBecomeLocalPaths()
    {
        Connected c;
        writeFile(c.server.root() + "/dl/good.bin", "good");
        writeFile(c.server.root() + "/dl/bad\\name", "bad");
        QVERIFY2(c.start(), qPrintable(c.server.errorString()));
        Harness& h = *c.h;
        h.s->receive({fileRow("..", 3), fileRow("a\\b", 3)});
        QVERIFY(h.s->transferQueue().isEmpty());
        FolderEntry folder = fileRow("dl", -1);
        folder.entry.kind = kEntryFolder;
        h.s->receive({folder});
        QVERIFY2(c.runQueue(), qPrintable(h.dump()));
        QCOMPARE(readFile(h.local("dl/good.bin")), QByteArray("good"));
        QCOMPARE(QDir(h.local("dl")).entryList(QDir::Files), QStringList({"good.bin"}));
        QCOMPARE(h.status().filter("Skipped unsafe remote name: ").size(), 3);
        QVERIFY(h.status().contains("Skipped unsafe remote name: bad\\name"));
    }

    void openAndViewAfterDownload()
    {
        Connected c;
        writeFile(c.server.root() + "/o.bin", "o");
        writeFile(c.server.root() + "/v.txt", "v\r\n");
        QVERIFY2(c.start(), qPrintable(c.server.errorString()));
        Harness& h = *c.h;
        h.s->openRemoteFile(fileRow("o.bin", 1), false);
        h.s->openRemoteFile(fileRow("v.txt", 3), true);
        QVERIFY2(c.runQueue(), qPrintable(h.dump()));
        QCOMPARE(h.platform.opened, QStringList({h.local("o.bin")}));
        QCOMPARE(h.platform.viewed, QStringList({h.local("v.txt")}));
    }
};

QTEST_GUILESS_MAIN(TestTransfers)
#include "test_transfers.moc"

// The transfer queue model: the duplicate question and its index, the rows'
// look, the person's operations (delete, move up/down, swap), activity, and
// the wildcard masks of the ASCII test.

#include "listing/icon_cache.h"
#include "person/user_interaction.h"
#include "queue/transfer_queue.h"

#include <QSignalSpy>
#include <QTest>

namespace {

// Answers yes/no questions from a script (No once the script runs out) and
// records every question.
struct RecordingUi : UserInteraction {
    QList<bool> answers;
    QStringList questions;
    QList<bool> warnings;

    void showMessage(const QString& text) override { questions << QStringLiteral("message: ") + text; }
    bool askYesNo(const QString& text, bool warning) override
    {
        questions << text;
        warnings << warning;
        return answers.isEmpty() ? false : answers.takeFirst();
    }
    TransferActionAnswer askTransferAction(const QString&, int preselected, bool, int) override
    {
        return {preselected, false};
    }
    void showBugReport(const QString&, const QString&) override {}
};

struct FakeIcons : IconSource {
    tImageListIndex fileIconIndex(const QString& extension) override { return extension == u"txt" ? 7 : 5; }
    tImageListIndex folderIconIndex() override { return 3; }
};

// Rows named a, b, c, ... (downloads of files); the first one running when
// headRunning is set; the given rows selected.
void fill(TransferQueue& queue, int rows, bool headRunning, const QList<int>& selected)
{
    for (int i = 0; i < rows; ++i)
        queue.AddToTransferQueue(QString(QChar('a' + i)), QStringLiteral("/l/") + QChar('a' + i), 1, false, false,
                                 false);
    if (headRunning)
        queue.setStateImage(0, kStateDownloadRunning);
    for (int index : selected)
        queue.setSelected(index, true);
}

QString order(const TransferQueue& queue)
{
    QString out;
    for (int i = 0; i < queue.count(); ++i)
        out += queue.row(i).caption();
    return out;
}

QList<int> selectedRows(const TransferQueue& queue)
{
    QList<int> out;
    for (int i = 0; i < queue.count(); ++i)
        if (queue.row(i).selected)
            out << i;
    return out;
}

const QString kRunningQuestion = QStringLiteral("Delete file entry that is currently being transfered?");

}  // namespace

class TestTransferQueue : public QObject {
    Q_OBJECT
private slots:
    void duplicateAsksIgnoringCase()
    {
        RecordingUi ui;
        TransferQueue queue(&ui);
        QVERIFY(queue.AddToTransferQueue("/pub/A.txt", "/l/A.txt", 5, false, false, false));
        QVERIFY(ui.questions.isEmpty());

        ui.answers = {false};
        QVERIFY(!queue.AddToTransferQueue("/PUB/a.TXT", "/l/x", 5, false, false, false));
        QCOMPARE(ui.questions, QStringList{"\"/PUB/a.TXT\" is already in queue.\r\r\nAdd it anyway?"});
        QCOMPARE(ui.warnings, QList<bool>{true});
        QCOMPARE(queue.count(), 1);

        ui.answers = {true};
        QVERIFY(queue.AddToTransferQueue("/pub/a.txt", "/l/y", 5, false, false, false));
        QCOMPARE(queue.count(), 2);
        QCOMPARE(queue.row(1).toText(), QString("/l/y"));

        // A target already queued is no duplicate: only the source counts.
        QVERIFY(queue.AddToTransferQueue("/pub/other", "/l/y", 5, false, false, false));
        QCOMPARE(ui.questions.size(), 2);
    }

    void duplicateWithoutUiIsNotAdded()
    {
        TransferQueue queue;
        QVERIFY(queue.AddToTransferQueue("x", "y", 1, false, false, true));
        QVERIFY(!queue.AddToTransferQueue("X", "y", 1, false, false, true));
        QCOMPARE(queue.count(), 1);
    }

    void duplicateIndexFollowsRemovals()
    {
        RecordingUi ui;
        TransferQueue queue(&ui);
        queue.AddToTransferQueue("first", "t", 1, false, false, false);
        queue.AddToTransferQueue("dup", "t", 1, false, false, false);
        ui.answers = {true};
        queue.AddToTransferQueue("DUP", "t", 1, false, false, false);
        queue.swapRows(0, 2);  // rows move; the index counts sources, not positions
        ui.questions.clear();

        queue.RemoveQueueEntry(0);  // one of the two "dup" rows
        ui.answers = {false};
        queue.AddToTransferQueue("dup", "t", 1, false, false, false);
        QCOMPARE(ui.questions.size(), 1);  // the other one is still there

        QCOMPARE(order(queue), QString("dupfirst"));
        queue.RemoveQueueEntry(0);
        QCOMPARE(order(queue), QString("first"));
        QVERIFY(queue.AddToTransferQueue("dup", "t", 1, false, false, false));
        QCOMPARE(ui.questions.size(), 1);  // gone: no question

        queue.clear();
        QVERIFY(queue.AddToTransferQueue("first", "t", 1, false, false, false));
        QCOMPARE(ui.questions.size(), 1);

        queue.RemoveQueueEntry(5);  // out of range: nothing
        queue.RemoveQueueEntry(-1);
        QCOMPARE(queue.count(), 1);
    }

    void rowLook_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<qint64>("size");
        QTest::addColumn<bool>("upload");
        QTest::addColumn<QString>("sizeText");
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("stateImage");
        QTest::addColumn<int>("image");

        QTest::newRow("download of a text file") << "/pub/a.txt" << qint64(1234) << false << "1234" << 0 << 2 << 7;
        QTest::newRow("upload of a file") << "/home/u/b.bin" << qint64(1) << true << "1" << 0 << 3 << 5;
        QTest::newRow("empty file is a file") << "/pub/empty.txt" << qint64(0) << false << "0" << 0 << 2 << 7;
        QTest::newRow("above 4 GiB") << "/pub/big.iso" << qint64(5000000000) << false << "5000000000" << 0 << 2 << 5;
        QTest::newRow("folder download") << "/pub/dir.txt" << qint64(-1) << false << "" << 1 << 2 << 3;
        QTest::newRow("folder upload") << "/home/u/dir" << qint64(-1) << true << "" << 1 << 3 << 3;
        // The extension is the file name's, not a dotted folder's above it.
        QTest::newRow("dot in the folder only") << "/pub/v1.txt/README" << qint64(2) << false << "2" << 0 << 2 << 5;
    }

    void rowLook()
    {
        QFETCH(QString, from);
        QFETCH(qint64, size);
        QFETCH(bool, upload);
        QFETCH(QString, sizeText);
        QFETCH(int, kind);
        QFETCH(int, stateImage);
        QFETCH(int, image);

        FakeIcons source;
        IconCache icons(source);
        TransferQueue queue(nullptr, &icons);
        QSignalSpy inserted(&queue, &TransferQueue::rowInserted);
        QVERIFY(queue.AddToTransferQueue(from, "to", size, true, false, upload, "127.0.0.1"));
        QCOMPARE(inserted.size(), 1);

        const QueueRow& row = queue.row(0);
        QCOMPARE(row.caption(), from);
        QCOMPARE(row.toText(), QString("to"));
        QCOMPARE(row.sizeText, sizeText);
        QCOMPARE(row.isFolder(), sizeText.isEmpty());
        QCOMPARE(int(row.entry.kind), kind);
        QCOMPARE(row.entry.size, size);
        QCOMPARE(row.stateImage, stateImage);
        QVERIFY(row.isWaiting());
        QCOMPARE(row.imageIndex, image);
        QCOMPARE(row.entry.upload, upload);
        QCOMPARE(row.entry.serverAddress, QString("127.0.0.1"));
        QVERIFY(row.entry.openAfter);
        QVERIFY(!row.entry.viewAfter);
        QCOMPARE(row.entry.action, kActionUndecided);
        QCOMPARE(row.entry.startTime, -1.0);
        QVERIFY(!row.entry.remoteSizeKnown);
    }

    void moveUp_data()
    {
        QTest::addColumn<bool>("headRunning");
        QTest::addColumn<QList<int>>("selected");
        QTest::addColumn<QString>("after");
        QTest::addColumn<QList<int>>("selectedAfter");

        QTest::newRow("second row, head running: nothing") << true << QList<int>{1} << "abcd" << QList<int>{1};
        QTest::newRow("second row, head waiting") << false << QList<int>{1} << "bacd" << QList<int>{0};
        QTest::newRow("third row, head running") << true << QList<int>{2} << "acbd" << QList<int>{1};
        QTest::newRow("two rows move together") << false << QList<int>{2, 3} << "acdb" << QList<int>{1, 2};
        QTest::newRow("rows apart") << false << QList<int>{1, 3} << "badc" << QList<int>{0, 2};
        QTest::newRow("head selected: nothing") << false << QList<int>{0, 2} << "abcd" << QList<int>{0, 2};
        QTest::newRow("nothing selected") << false << QList<int>{} << "abcd" << QList<int>{};
    }

    void moveUp()
    {
        QFETCH(bool, headRunning);
        QFETCH(QList<int>, selected);
        QFETCH(QString, after);
        QFETCH(QList<int>, selectedAfter);

        TransferQueue queue;
        fill(queue, 4, headRunning, selected);
        queue.moveUp();
        QCOMPARE(order(queue), after);
        QCOMPARE(selectedRows(queue), selectedAfter);
    }

    void moveDown_data()
    {
        QTest::addColumn<bool>("headRunning");
        QTest::addColumn<QList<int>>("selected");
        QTest::addColumn<QString>("after");
        QTest::addColumn<QList<int>>("selectedAfter");

        QTest::newRow("one row") << false << QList<int>{1} << "acbd" << QList<int>{2};
        QTest::newRow("two rows move together") << false << QList<int>{1, 2} << "adbc" << QList<int>{2, 3};
        QTest::newRow("last row selected: nothing") << false << QList<int>{1, 3} << "abcd" << QList<int>{1, 3};
        QTest::newRow("running head is deselected, stays") << true << QList<int>{0, 1} << "acbd" << QList<int>{2};
        QTest::newRow("running head alone") << true << QList<int>{0} << "abcd" << QList<int>{};
        QTest::newRow("waiting head moves") << false << QList<int>{0} << "bacd" << QList<int>{1};
        QTest::newRow("running head and last row") << true << QList<int>{0, 3} << "abcd" << QList<int>{3};
    }

    void moveDown()
    {
        QFETCH(bool, headRunning);
        QFETCH(QList<int>, selected);
        QFETCH(QString, after);
        QFETCH(QList<int>, selectedAfter);

        TransferQueue queue;
        fill(queue, 4, headRunning, selected);
        queue.moveDown();
        QCOMPARE(order(queue), after);
        QCOMPARE(selectedRows(queue), selectedAfter);
    }

    void swapCarriesTheWholeRow()
    {
        TransferQueue queue;
        queue.AddToTransferQueue("up", "/r/up", 10, false, false, true);
        queue.AddToTransferQueue("down", "/l/down", -1, true, true, false);
        queue.setStateImage(0, kStateUploadRunning);
        queue.setSelected(0, true);
        queue.setFocused(0);
        queue.row(0).entry.action = kActionResume;
        QSignalSpy swapped(&queue, &TransferQueue::rowsSwapped);

        queue.swapRows(0, 1);
        QCOMPARE(swapped.size(), 1);
        const QueueRow& moved = queue.row(1);
        QCOMPARE(moved.caption(), QString("up"));
        QCOMPARE(moved.toText(), QString("/r/up"));
        QCOMPARE(moved.sizeText, QString("10"));
        QCOMPARE(moved.stateImage, kStateUploadRunning);
        QCOMPARE(moved.entry.action, kActionResume);
        QVERIFY(moved.selected && moved.focused);
        const QueueRow& other = queue.row(0);
        QCOMPARE(other.caption(), QString("down"));
        QVERIFY(other.isFolder());
        QVERIFY(!other.selected && !other.focused);
        QVERIFY(other.entry.openAfter && other.entry.viewAfter);

        queue.swapRows(0, 2);  // out of range: nothing
        QCOMPARE(swapped.size(), 1);
    }

    void deleteSelected_data()
    {
        QTest::addColumn<bool>("headRunning");
        QTest::addColumn<QList<int>>("selected");
        QTest::addColumn<QList<bool>>("answers");
        QTest::addColumn<QString>("after");
        QTest::addColumn<int>("questions");
        QTest::addColumn<bool>("stop");

        QTest::newRow("waiting rows only") << false << QList<int>{0, 2, 3} << QList<bool>{} << "b" << 0 << false;
        QTest::newRow("running head, Yes") << true << QList<int>{0, 2} << QList<bool>{true} << "abd" << 1 << true;
        QTest::newRow("running head, No") << true << QList<int>{0, 2} << QList<bool>{false} << "abd" << 1 << false;
        QTest::newRow("running head not selected") << true << QList<int>{1} << QList<bool>{} << "acd" << 0 << false;
        QTest::newRow("nothing selected") << true << QList<int>{} << QList<bool>{} << "abcd" << 0 << false;
    }

    void deleteSelected()
    {
        QFETCH(bool, headRunning);
        QFETCH(QList<int>, selected);
        QFETCH(QList<bool>, answers);
        QFETCH(QString, after);
        QFETCH(int, questions);
        QFETCH(bool, stop);

        RecordingUi ui;
        ui.answers = answers;
        TransferQueue queue(&ui);
        fill(queue, 4, headRunning, selected);
        QCOMPARE(queue.deleteSelected(), stop);
        QCOMPARE(order(queue), after);
        QCOMPARE(ui.questions.size(), questions);
        if (questions > 0) {
            QCOMPARE(ui.questions.first(), kRunningQuestion);
            QCOMPARE(ui.warnings.first(), true);
        }
    }

    void totalsCountCompletedFilesOnly()
    {
        TransferQueue queue;
        QVERIFY(queue.AddToTransferQueue("/a", "/l/a", 100, false, false, false));
        QVERIFY(queue.AddToTransferQueue("/b", "/l/b", 50, false, false, false));
        QVERIFY(queue.AddToTransferQueue("/dir", "/l/dir", -1, false, false, false));
        QSignalSpy progress(&queue, &TransferQueue::progressChanged);
        queue.setStateImage(0, kStateDownloadRunning);
        queue.setProgress(0, 40, 10);
        queue.setProgress(0, 40, 10);
        QCOMPARE(progress.size(), 1);
        QCOMPARE(queue.row(0).bytesMoved, qint64(40));
        // Back to waiting: the next start counts afresh.
        queue.setStateImage(0, kStateDownloadWaiting);
        QCOMPARE(queue.row(0).bytesMoved, qint64(0));

        queue.completeEntry(0);
        queue.completeEntry(1);  // the folder entry: no file, no bytes
        QCOMPARE(queue.filesDone(), 1);
        QCOMPARE(queue.bytesDone(), qint64(100));
        queue.RemoveQueueEntry(0);  // removed, not done
        QCOMPARE(queue.filesDone(), 1);
        queue.resetTotals();
        QCOMPARE(queue.filesDone(), 0);
        QCOMPARE(queue.bytesDone(), qint64(0));
    }

    void applyActionToAllSparesTheAsker()
    {
        TransferQueue queue;
        fill(queue, 3, true, {});
        queue.row(1).entry.action = kActionOverwrite;
        queue.applyActionToAll(kActionResume, 1);
        QCOMPARE(queue.row(0).entry.action, kActionResume);
        QCOMPARE(queue.row(1).entry.action, kActionOverwrite);
        QCOMPARE(queue.row(2).entry.action, kActionResume);
    }

    void activity()
    {
        TransferQueue queue;
        QSignalSpy changed(&queue, &TransferQueue::activityChanged);
        QVERIFY(!queue.isActive());
        queue.setActive(true);
        queue.setActive(true);
        queue.setActive(false);
        QCOMPARE(changed.size(), 2);
        QCOMPARE(changed.at(0).at(0).toBool(), true);
        QCOMPARE(changed.at(1).at(0).toBool(), false);
        queue.setAlwaysActive(true);
        QVERIFY(queue.alwaysActive());
    }

    void hundredThousandAdds()
    {
        RecordingUi ui;
        TransferQueue queue(&ui);
        const int n = 100000;
        for (int i = 0; i < n; ++i)
            QVERIFY(queue.AddToTransferQueue(QStringLiteral("/pub/tree/f%1").arg(i), QStringLiteral("/l/f%1").arg(i), i,
                                             false, false, false));
        QCOMPARE(queue.count(), n);
        QVERIFY(ui.questions.isEmpty());
        QCOMPARE(queue.row(n - 1).caption(), QString("/pub/tree/f99999"));

        // The index still knows every source.
        QVERIFY(!queue.AddToTransferQueue("/PUB/TREE/F54321", "x", 1, false, false, false));
        QCOMPARE(ui.questions.size(), 1);
    }

    void wildcard_data()
    {
        QTest::addColumn<QString>("mask");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("match");

        QTest::newRow("star suffix") << "*.txt"
                                     << "a.txt" << true;
        QTest::newRow("trailing text allowed") << "*.txt"
                                               << "a.txt.bak" << true;
        QTest::newRow("star matches none") << "*.txt"
                                           << ".txt" << true;
        QTest::newRow("no match") << "*.txt"
                                  << "a.tx" << false;
        QTest::newRow("case kept") << "*.txt"
                                   << "A.TXT" << false;
        QTest::newRow("anchored at the first character") << "a.txt"
                                                         << "ba.txt" << false;
        QTest::newRow("plain prefix") << "read"
                                      << "readme" << true;
        QTest::newRow("htm mask on html") << "*.*htm*"
                                          << "index.html" << true;
        QTest::newRow("htm mask on shtml") << "*.*htm*"
                                           << "page.shtml" << true;
        QTest::newRow("htm mask without dot") << "*.*htm*"
                                              << "htmlfile" << false;
        QTest::newRow("hash is a digit") << "log#.txt"
                                         << "log7.txt" << true;
        QTest::newRow("hash is one digit only") << "log#.txt"
                                                << "log17.txt" << false;
        QTest::newRow("hash is not a letter") << "log#"
                                              << "logx" << false;
        QTest::newRow("hash needs a character") << "log#"
                                                << "log" << false;
        QTest::newRow("hashes") << "##-##"
                                << "12-34-56" << true;
        QTest::newRow("star then hash") << "*#"
                                        << "abc9" << true;
        QTest::newRow("backtracking past a false start") << "*ab#"
                                                         << "aab aab7" << true;
        QTest::newRow("empty mask") << ""
                                    << "anything" << true;
        QTest::newRow("empty name") << "*"
                                    << "" << true;
        QTest::newRow("empty name, literal") << "a"
                                             << "" << false;
    }

    void wildcard()
    {
        QFETCH(QString, mask);
        QFETCH(QString, name);
        QFETCH(bool, match);
        QCOMPARE(WildcardMatch(mask, name), match);
    }

    // A long name from a server against masks with several stars must come
    // back at all (trying every split point per star never does).
    void wildcardOnLongNames()
    {
        const QString longName = QString(200000, QChar('a'));
        QVERIFY(!WildcardMatch("*.*htm*", longName));
        QVERIFY(!WildcardMatch("*a*a*a*b", longName));
        QVERIFY(WildcardMatch("*a*a*a*b", longName + QChar('b')));
    }

    void asciiFile_data()
    {
        QTest::addColumn<QByteArray>("masks");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("ascii");

        const QByteArray defaults("*.txt\xFF*.*htm*");
        QTest::newRow("default, txt") << defaults << "notes.txt" << true;
        QTest::newRow("default, htm") << defaults << "a.htm" << true;
        QTest::newRow("default, binary") << defaults << "a.zip" << false;
        QTest::newRow("empty pieces dropped") << QByteArray("\xFF\xFF*.c\xFF") << "main.c" << true;
        QTest::newRow("empty pieces match nothing") << QByteArray("\xFF\xFF") << "main.c" << false;
        QTest::newRow("no masks") << QByteArray() << "a.txt" << false;
        QTest::newRow("second mask") << QByteArray("*.c\xFF*.h") << "a.h" << true;
    }

    void asciiFile()
    {
        QFETCH(QByteArray, masks);
        QFETCH(QString, name);
        QFETCH(bool, ascii);
        QCOMPARE(IsAsciiFile(name, masks), ascii);
    }
};

QTEST_GUILESS_MAIN(TestTransferQueue)
#include "test_transfer_queue.moc"

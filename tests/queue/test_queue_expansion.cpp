// Folder trees turned into queued work: the recursive listing walk, the
// deletion and download of a listed remote tree, and the upload of a local
// tree on real temporary folders.

#include "person/user_interaction.h"
#include "queue/queue_expansion.h"
#include "support/command_text.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <map>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

struct RecordingUi : UserInteraction {
    QList<bool> answers;
    QStringList questions;
    void showMessage(const QString& text) override { questions << text; }
    bool askYesNo(const QString& text, bool) override
    {
        questions << text;
        return answers.isEmpty() ? false : answers.takeFirst();
    }
    TransferActionAnswer askTransferAction(const QString&, int preselected, bool, int) override
    {
        return {preselected, false};
    }
    void showBugReport(const QString&, const QString&) override {}
};

// A folder from "name" (file) and "name/" (folder) items, sorted by name as
// the cache keeps them.
tFolderObject folderOf(QStringList items)
{
    items.sort();
    tFolderObject folder;
    for (const QString& item : items) {
        FolderEntry row;
        const bool isFolder = item.endsWith('/');
        row.name = isFolder ? item.chopped(1) : item;
        row.entry.kind = isFolder ? kEntryFolder : kEntryFile;
        row.entry.size = isFolder ? -1 : row.name.size();
        folder.entries.append(row);
    }
    return folder;
}

struct LogRecorder {
    QStringList lines;
    QueueLog sink()
    {
        return [this](const QByteArray& line) {
            QVERIFY(line.startsWith('\xA7'));
            lines << QString::fromUtf8(line.mid(1));
        };
    }
};

QString sep() { return QDir::separator(); }

void writeFile(const QString& path, int size)
{
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
    file.write(QByteArray(size, 'x'));
}

QStringList queuedPairs(const TransferQueue& transfers)
{
    QStringList out;
    for (int i = 0; i < transfers.count(); ++i)
        out << transfers.row(i).caption() + " -> " + transfers.row(i).toText();
    return out;
}

}  // namespace

class TestQueueExpansion : public QObject {
    Q_OBJECT
private slots:
    void recursiveListingQueuesSubFolders_data()
    {
        QTest::addColumn<QString>("current");
        QTest::newRow("with final slash") << "/pub/";
        QTest::newRow("without final slash") << "/pub";
    }

    void recursiveListingQueuesSubFolders()
    {
        QFETCH(QString, current);
        RemoteFolderCache cache;
        cache.store("/pub/A/", tFolderObject());
        CommandQueue queue;
        queue.append(QueuedCommand::cwd("/"));
        queue.append(QueuedCommand::list());
        LogRecorder log;

        // "/" would list "/pub/" again and again.
        QueueRecursiveListing(folderOf({"B/", "a.txt", "A/", "//", "../"}), current, cache, queue, log.sink());
        QCOMPARE(commandTexts(queue),
                 (QStringList{"cwd|/pub/B", "list|recursive|1", "cwd|/pub/A", "list|recursive|1", "cwd|/", "list"}));
        QCOMPARE(log.lines, (QStringList{"Skipped unsafe remote name: ..", "Skipped unsafe remote name: /", "A", "B"}));
        QVERIFY(cache.find("/pub/A/")->stale);
        QVERIFY(!cache.contains("/pub/B/"));  // marking does not add
    }

    // Drives the walk the way the session does: "cwd" sets the current folder,
    // a recursive "list" stores the server's listing and expands it.
    void recursiveWalkIsDepthFirst()
    {
        const std::map<QString, QStringList> server = {
            {"/t/", {"A/", "B/", "f"}}, {"/t/A/", {"A1/"}},  {"/t/A/A1/", {}},
            {"/t/B/", {"B1/", "B2/"}},  {"/t/B/B1/", {"x"}}, {"/t/B/B2/", {}},
        };
        RemoteFolderCache cache;
        CommandQueue queue;
        queue.append(QueuedCommand::cwd("/t/"));
        queue.append(QueuedCommand::recursiveList());
        queue.append(QueuedCommand::pwd());  // what stood behind the walk
        QString current;
        QStringList listed;
        while (!queue.isEmpty()) {
            const QueuedCommand command = queue.takeFirst();
            if (command.verb == QueuedCommand::Verb::Pwd)
                break;
            if (command.verb == QueuedCommand::Verb::Cwd) {
                current = RemoteFolderCache::folderKey(command.path);
                continue;
            }
            QVERIFY(command.recursive);
            listed << current;
            const tFolderObject& folder = cache.store(current, folderOf(server.at(current)));
            QueueRecursiveListing(folder, current, cache, queue, {});
        }
        QCOMPARE(listed, (QStringList{"/t/", "/t/B/", "/t/B/B2/", "/t/B/B1/", "/t/A/", "/t/A/A1/"}));
        QVERIFY(queue.isEmpty());  // the command behind the walk ran only once the tree was done
        QCOMPARE(cache.count(), 6);
    }

    // The walk stops at the depth limit; the folders it did not enter are
    // returned, and what the cache held of them is forgotten.
    void recursiveListingStopsAtDepthLimit()
    {
        RemoteFolderCache cache;
        cache.store("/t/sub/sub/sub/", folderOf({"old"}));
        CommandQueue queue;
        const tFolderObject folder = folderOf({"sub/", "f"});
        QStringList tooDeep = QueueRecursiveListing(folder, "/t/sub/sub/", cache, queue, {}, 2, 3);
        QVERIFY(tooDeep.isEmpty());
        QCOMPARE(commandTexts(queue), (QStringList{"cwd|/t/sub/sub/sub", "list|recursive|3"}));
        QCOMPARE(queue.items().at(1).depth, 3);

        queue.clear();
        tooDeep = QueueRecursiveListing(folder, "/t/sub/sub/", cache, queue, {}, 3, 3);
        QVERIFY(queue.isEmpty());
        QCOMPARE(tooDeep, QStringList{"/t/sub/sub/sub/"});
        QVERIFY(!cache.contains("/t/sub/sub/sub/"));
    }

    // Folders whose contents were never seen keep themselves and every
    // folder above them; everything else of the tree is deleted.
    void deletionKeepsFoldersAboveUnseenOnes()
    {
        RemoteFolderCache cache;
        cache.store("/d/", folderOf({"f0", "a/", "b/"}));
        cache.store("/d/a/", folderOf({"f1", "x/"}));
        cache.store("/d/b/", folderOf({"f2"}));
        CommandQueue queue;
        QueueBufferedFolderDeletion(cache, queue, "/d/", {}, {"/d/a/x/"});
        QCOMPARE(commandTexts(queue),
                 (QStringList{"deletefile|/d/b/f2", "deletefolder|/d/b/", "deletefile|/d/a/f1", "deletefile|/d/f0"}));
    }

    void deletionOrder_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::newRow("with final slash") << "/pub/a/";
        QTest::newRow("without final slash") << "/pub/a";
    }

    void deletionOrder()
    {
        QFETCH(QString, folder);
        RemoteFolderCache cache;
        cache.store("/pub/", folderOf({"a/", "ab/", "a-b/"}));
        cache.store("/pub/a/", folderOf({"f1", "x/", "x-1/"}));
        cache.store("/pub/a/x/", folderOf({"f2", "f3", "y/"}));
        cache.store("/pub/a/x/y/", folderOf({}));
        cache.store("/pub/a/x-1/", folderOf({"g"}));
        cache.store("/pub/ab/", folderOf({"sibling"}));  // begins with "/pub/a" too
        cache.store("/pub/a-b/", folderOf({"sibling"}));
        CommandQueue queue;
        queue.append(QueuedCommand::pwd());

        QueueBufferedFolderDeletion(cache, queue, folder);
        QCOMPARE(commandTexts(queue), (QStringList{
                                          "pwd",
                                          "deletefolder|/pub/a/x/y/",
                                          "deletefile|/pub/a/x/f2",
                                          "deletefile|/pub/a/x/f3",
                                          "deletefolder|/pub/a/x/",
                                          "deletefile|/pub/a/x-1/g",
                                          "deletefolder|/pub/a/x-1/",
                                          "deletefile|/pub/a/f1",
                                          "deletefolder|/pub/a/",
                                      }));
    }

    // Names that would leave their folder on the server are never sent.
    void deletionSkipsUnsafeNames()
    {
        RemoteFolderCache cache;
        cache.store("/pub/a/", folderOf({"ok", "../../etc/passwd", "..\\x"}));
        cache.store("/pub/a/../../", folderOf({"victim"}));
        CommandQueue queue;
        LogRecorder log;
        QueueBufferedFolderDeletion(cache, queue, "/pub/a/", log.sink());
        QCOMPARE(commandTexts(queue), (QStringList{"deletefile|/pub/a/ok", "deletefolder|/pub/a/"}));
        QCOMPARE(log.lines.size(), 3);
        QVERIFY(log.lines.contains("Skipped unsafe remote name: .."));
        QVERIFY(log.lines.contains("Skipped unsafe remote name: ../../etc/passwd"));
    }

    void deletionOfUncachedFolderQueuesNothing()
    {
        RemoteFolderCache cache;
        cache.store("/pub/", folderOf({"f"}));
        CommandQueue queue;
        QueueBufferedFolderDeletion(cache, queue, "/pub/gone/");
        QVERIFY(queue.isEmpty());
    }

    void downloadCreatesFoldersAndQueuesFiles()
    {
        QTemporaryDir tmp;
        QVERIFY(tmp.isValid());
        const QString target = QDir::toNativeSeparators(tmp.path() + "/dl/pub") + sep();
        RemoteFolderCache cache;
        cache.store("/", folderOf({"pub/"}));
        cache.store("/pub/", folderOf({"a.txt", "sub/", "empty/"}));
        cache.store("/pub/sub/", folderOf({"b.bin", "deep/"}));
        cache.store("/pub/sub/deep/", folderOf({"c"}));
        cache.store("/pub/empty/", folderOf({}));
        cache.store("/pubx/", folderOf({"not-this"}));
        TransferQueue transfers;
        LogRecorder log;

        const FolderDownloadResult result = QueueBufferedFolderDownload(cache, transfers, target, "/pub", log.sink());
        QVERIFY(result.ok());
        QCOMPARE(result.queued, 3);
        QVERIFY(log.lines.isEmpty());
        for (const char* folder : {"", "sub", "sub/deep", "empty"})
            QVERIFY2(QDir(tmp.path() + "/dl/pub/" + folder).exists(), qPrintable(folder));
        QCOMPARE(queuedPairs(transfers), (QStringList{
                                             "/pub/a.txt -> " + target + "a.txt",
                                             "/pub/sub/b.bin -> " + target + "sub" + sep() + "b.bin",
                                             "/pub/sub/deep/c -> " + target + "sub" + sep() + "deep" + sep() + "c",
                                         }));
        const QueueRow& row = transfers.row(0);
        QCOMPARE(row.entry.size, qint64(5));
        QVERIFY(!row.entry.upload && !row.entry.openAfter && !row.entry.viewAfter);
        QCOMPARE(row.stateImage, kStateDownloadWaiting);
    }

    void downloadSkipsUnsafeNames()
    {
        QTemporaryDir tmp;
        QVERIFY(tmp.isValid());
        const QString target = tmp.path() + "/in/";
        RemoteFolderCache cache;
        const QString nul = QStringLiteral("a") + QChar(0) + QStringLiteral("b");
        cache.store("/r/", folderOf({"good", "..", ".", "../escape", "a\\b", nul, "sub/"}));
        tFolderObject withEmptyName = folderOf({"x"});
        withEmptyName.entries.prepend(FolderEntry{QString(), tEntry()});
        cache.store("/r/sub/", withEmptyName);
        // Paths come from the server's PWD replies: a ".." part there must not
        // lead out of the target either, nor anything below it.
        cache.store("/r/../", folderOf({"escaped"}));
        cache.store("/r/../deeper/", folderOf({"escaped2"}));
        TransferQueue transfers;
        LogRecorder log;

        const FolderDownloadResult result = QueueBufferedFolderDownload(cache, transfers, target, "/r/", log.sink());
        QVERIFY(result.ok());
        QCOMPARE(queuedPairs(transfers),
                 (QStringList{"/r/good -> " + target + "good", "/r/sub/x -> " + target + "sub" + sep() + "x"}));
        QCOMPARE(result.queued, 2);
        const QString prefix = "Skipped unsafe remote name: ";
        QCOMPARE(log.lines.size(), 7);  // "..", ".", "../escape", "a\b", NUL, "" and the ".." folder once
        for (const QString& name : {QString(".."), QString("."), QString("../escape"), QString("a\\b"), nul, QString()})
            QVERIFY2(log.lines.contains(prefix + name), qPrintable(name));
        QCOMPARE(log.lines.count(prefix + ".."), 2);  // the file and the folder part
        QVERIFY(!QFileInfo::exists(tmp.path() + "/deeper"));
        QVERIFY(!QFileInfo::exists(tmp.path() + "/escaped"));
        QCOMPARE(QDir(tmp.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{"in"});
    }

    // A folder that cannot be created leaves out its own branch only.
    void downloadLeavesOutBranchWithoutLocalFolder()
    {
        QTemporaryDir tmp;
        QVERIFY(tmp.isValid());
        const QString target = tmp.path() + "/t/";
        RemoteFolderCache cache;
        cache.store("/r/", folderOf({"one"}));
        cache.store("/r/blocker/", folderOf({"two"}));
        cache.store("/r/blocker/below/", folderOf({"four"}));
        cache.store("/r/later/", folderOf({"three"}));
        QVERIFY(QDir().mkpath(target));
        writeFile(target + "blocker", 1);  // a file where a folder must go
        TransferQueue transfers;

        const FolderDownloadResult result = QueueBufferedFolderDownload(cache, transfers, target, "/r/", {});
        QCOMPARE(result.failures.size(), 1);
        QCOMPARE(result.failures[0].localFolder, target + "blocker" + sep());
        QCOMPARE(result.failures[0].remoteFolder, QString("/r/blocker/"));
        QVERIFY2(result.failures[0].reason.contains("blocker\" is a file"), qPrintable(result.failures[0].reason));
        QCOMPARE(queuedPairs(transfers), (QStringList{"/r/one -> " + target + "one",
                                                      "/r/later/three -> " + target + "later" + sep() + "three"}));
        QCOMPARE(result.queued, 2);
        QVERIFY(QFileInfo(target + "later").isDir());
    }

    void localFolderReasons()
    {
        QTemporaryDir tmp;
        QVERIFY(tmp.isValid());
        QCOMPARE(createLocalFolder(tmp.path() + "/a/b/c/"), QString());
        QVERIFY(QFileInfo(tmp.path() + "/a/b/c").isDir());
        QCOMPARE(createLocalFolder(tmp.path() + "/a/b/c"), QString());  // there already
        writeFile(tmp.path() + "/a/file", 1);
        QCOMPARE(createLocalFolder(tmp.path() + "/a/file/deeper/still"),
                 "\"" + tmp.path() + "/a/file\" is a file, not a folder");
#ifdef Q_OS_UNIX
        if (geteuid() != 0) {  // root may write anywhere
            QVERIFY(QFile::setPermissions(tmp.path() + "/a", QFileDevice::ReadOwner | QFileDevice::ExeOwner));
            QCOMPARE(createLocalFolder(tmp.path() + "/a/new"), QString("Permission denied"));
        }
#endif
    }

    void downloadAsksForDuplicates()
    {
        QTemporaryDir tmp;
        QVERIFY(tmp.isValid());
        RemoteFolderCache cache;
        cache.store("/r/", folderOf({"a", "b"}));
        RecordingUi ui;
        TransferQueue transfers(&ui);
        transfers.AddToTransferQueue("/r/a", "elsewhere", 1, false, false, false);
        ui.answers = {false};

        const FolderDownloadResult result = QueueBufferedFolderDownload(cache, transfers, tmp.path() + "/", "/r/", {});
        QVERIFY(result.ok());
        QCOMPARE(result.queued, 1);
        QCOMPARE(ui.questions.size(), 1);
        QCOMPARE(transfers.count(), 2);
    }

    void uploadQueuesWholeTree()
    {
        QTemporaryDir tmp;
        QVERIFY(tmp.isValid());
        const QString root = tmp.path() + "/up";
        QVERIFY(QDir().mkpath(root + "/sub/deeper"));
        QVERIFY(QDir().mkpath(root + "/empty"));
        for (const char* name : {"f1", "f2", "f3", ".hidden"})
            writeFile(root + "/" + name, 3);
        writeFile(root + "/sub/g", 4);
        writeFile(root + "/sub/deeper/h", 0);
        CommandQueue queue;
        queue.append(QueuedCommand::pwd());
        TransferQueue transfers;

        QueueUploadFolder(queue, transfers, root + "/", "/r/up/");

        const QStringList commands = commandTexts(queue);
        QCOMPARE(commands.size(), 5);
        QCOMPARE(commands.mid(0, 2), (QStringList{"pwd", "newfolder|/r/up/|ignoreerror"}));
        QVERIFY(commands.contains("newfolder|/r/up/empty/|ignoreerror"));
        const qsizetype sub = commands.indexOf("newfolder|/r/up/sub/|ignoreerror");
        const qsizetype deeper = commands.indexOf("newfolder|/r/up/sub/deeper/|ignoreerror");
        QVERIFY(sub > 1 && deeper > sub);

        // Every file, in the file system's own order at the top level, the
        // first one it returns included.
        QStringList expected;
        const QStringList top = QDir(root).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Unsorted);
        QStringList got = queuedPairs(transfers);
        QStringList topGot;
        for (const QString& pair : got)
            if (!pair.contains("/sub/"))
                topGot << pair;
        for (const QString& name : top)
            expected << root + "/" + name + " -> /r/up/" + name;
        QCOMPARE(topGot, expected);
        QCOMPARE(got.size(), 6);
        QVERIFY(got.contains(root + "/sub/g -> /r/up/sub/g"));
        QVERIFY(got.contains(root + "/sub/deeper/h -> /r/up/sub/deeper/h"));
        for (const QString& pair : got)
            QVERIFY2(!pair.contains("/. ") && !pair.contains("/.. "), qPrintable(pair));

        for (int i = 0; i < transfers.count(); ++i) {
            const QueueRow& row = transfers.row(i);
            QVERIFY(row.entry.upload);
            QCOMPARE(row.stateImage, kStateUploadWaiting);
            QVERIFY(!row.entry.openAfter && !row.entry.viewAfter);
            QCOMPARE(row.entry.size, qint64(row.caption().endsWith("/g") ? 4 : row.caption().endsWith("/h") ? 0 : 3));
        }
    }

    void uploadWithoutFinalSeparators()
    {
        QTemporaryDir tmp;
        QVERIFY(tmp.isValid());
        writeFile(tmp.path() + "/one", 1);
        CommandQueue queue;
        TransferQueue transfers;
        QueueUploadFolder(queue, transfers, tmp.path(), "/r");
        QCOMPARE(commandTexts(queue), QStringList{"newfolder|/r/|ignoreerror"});
        QCOMPARE(queuedPairs(transfers), QStringList{tmp.path() + sep() + "one -> /r/one"});
    }

#ifdef Q_OS_UNIX
    // A link back up the tree would expand forever; other links are followed.
    // FIFOs and broken links are not files that can be sent.
    void uploadFollowsLinksButNotLoops()
    {
        QTemporaryDir tmp;
        QVERIFY(tmp.isValid());
        const QString root = tmp.path() + "/up";
        QVERIFY(QDir().mkpath(root + "/sub"));
        QVERIFY(QDir().mkpath(tmp.path() + "/outside"));
        writeFile(tmp.path() + "/outside/o", 2);
        writeFile(root + "/sub/s", 1);
        QVERIFY(QFile::link(root, root + "/sub/loop"));
        QVERIFY(QFile::link(tmp.path() + "/outside", root + "/linked"));
        QVERIFY(QFile::link(tmp.path() + "/missing", root + "/broken"));
        QCOMPARE(::mkfifo(QFile::encodeName(root + "/fifo").constData(), 0600), 0);
        CommandQueue queue;
        TransferQueue transfers;
        LogRecorder log;

        QueueUploadFolder(queue, transfers, root + "/", "/r/", log.sink());
        QStringList commands = commandTexts(queue);
        commands.sort();
        QCOMPARE(commands, (QStringList{"newfolder|/r/linked/|ignoreerror", "newfolder|/r/sub/|ignoreerror",
                                        "newfolder|/r/|ignoreerror"}));
        QStringList got = queuedPairs(transfers);
        got.sort();
        QCOMPARE(got, (QStringList{root + "/linked/o -> /r/linked/o", root + "/sub/s -> /r/sub/s"}));
        QCOMPARE(log.lines, QStringList{"Skipped folder link that loops: " + root + "/sub/loop"});
    }
#endif

    // Links come from real listing lines: shown as folders, never walked,
    // removed themselves on delete, and a browsed-into link's files are
    // neither deleted nor downloaded through the tree.
    void linksAreNeverFollowed()
    {
        const ListingNow now = ListingNow::at(QDateTime(QDate(2024, 6, 1), QTime(12, 0)));
        RemoteFolderCache cache;
        StoreRemoteListing(cache, "/pub/",
                           "drwxr-xr-x 2 u g 4096 Jan 01 2020 sub\r\n"
                           "lrwxrwxrwx 1 u g 1 Jan 01 2020 loop -> .\r\n"
                           "lrwxrwxrwx 1 u g 4 Jan 01 2020 other -> /etc\r\n"
                           "-rw-r--r-- 1 u g 5 Jan 01 2020 f.txt\r\n",
                           kLayoutDetect, now);
        StoreRemoteListing(cache, "/pub/sub/", "-rw-r--r-- 1 u g 3 Jan 01 2020 s.txt\r\n", kLayoutDetect, now);
        StoreRemoteListing(cache, "/pub/other/", "-rw-r--r-- 1 u g 6 Jan 01 2020 passwd\r\n", kLayoutDetect, now);
        const tFolderObject* pub = cache.find("/pub/");
        QVERIFY(pub && pub->find(u"loop") && pub->find(u"loop")->entry.isFolder());
        QVERIFY(pub->find(u"loop")->entry.isLink);

        CommandQueue walk;
        LogRecorder log;
        QueueRecursiveListing(*pub, "/pub/", cache, walk, log.sink());
        QCOMPARE(commandTexts(walk), (QStringList{"cwd|/pub/sub", "list|recursive|1"}));
        QVERIFY(log.lines.contains("Not following link: loop"));

        CommandQueue deletion;
        QueueBufferedFolderDeletion(cache, deletion, "/pub/");
        QCOMPARE(commandTexts(deletion),
                 (QStringList{"deletefile|/pub/sub/s.txt", "deletefolder|/pub/sub/", "deletefile|/pub/f.txt",
                              "deletefile|/pub/loop", "deletefile|/pub/other", "deletefolder|/pub/"}));

        QTemporaryDir target;
        TransferQueue transfers;
        const FolderDownloadResult r =
            QueueBufferedFolderDownload(cache, transfers, target.path(), "/pub/", log.sink());
        QVERIFY(r.ok());
        QCOMPARE(r.queued, 2);  // f.txt and sub/s.txt, not other/passwd
        QVERIFY(!QDir(target.filePath("other")).exists());
    }

    void safeNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("safe");
        QTest::newRow("plain") << "a.txt" << true;
        QTest::newRow("blanks and dots") << "my file..txt" << true;
        QTest::newRow("three dots") << "..." << true;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("dot") << "." << false;
        QTest::newRow("dot dot") << ".." << false;
        QTest::newRow("slash") << "a/b" << false;
        QTest::newRow("backslash") << "a\\b" << false;
        QTest::newRow("NUL") << QString(QChar(0)) << false;
        QTest::newRow("CR") << "a\rb" << false;
        QTest::newRow("LF") << "a\nb" << false;
        QTest::newRow("TAB") << "a\tb" << false;
        QTest::newRow("ESC sequence") << "x\x1b[2J" << false;
        QTest::newRow("DEL") << "a\x7f" << false;
        QTest::newRow("C1 CSI") << QString("a") + QChar(0x9B) + "2J" << false;
        QTest::newRow("accents and CJK") << QString::fromUtf8("caf\xc3\xa9 \xe6\x97\xa5.txt") << true;
    }

    void safeNames()
    {
        QFETCH(QString, name);
        QFETCH(bool, safe);
        QCOMPARE(isSafeRemoteName(name), safe);
    }
};

QTEST_GUILESS_MAIN(TestQueueExpansion)
#include "test_queue_expansion.moc"

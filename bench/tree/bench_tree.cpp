// A tree of 20 folders x 100 files x 4 KiB downloaded from vsftpd on
// 127.0.0.1 through the session core (log-in, recursive listing, folder
// expansion into the transfer queue, one transfer after the other driven by
// the timer loop), beside `lftp -e "mirror ..."` (sequential), the two
// alternating; medians of wall time. Then the time to queue a listed tree of
// 100,000 files as downloads.
//
//   BENCH_RUNS (default 5)   runs per client

#include "person/user_interaction.h"
#include "queue/queue_expansion.h"
#include "session/session.h"
#include "support/vsftpd_server.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int kFolders = 20;
constexpr int kFiles = 100;
constexpr int kFileSize = 4096;

// No person at the keyboard: duplicates are added, existing targets take
// the setting.
struct Unattended : UserInteraction {
    void showMessage(const QString& text) override { fprintf(stderr, "message: %s\n", qPrintable(text)); }
    bool askYesNo(const QString&, bool) override { return true; }
    TransferActionAnswer askTransferAction(const QString&, int preselected, bool, int) override
    {
        return {preselected, false};
    }
    void showBugReport(const QString& code, const QString& text) override
    {
        fprintf(stderr, "bug report %s: %s\n", qPrintable(code), qPrintable(text));
    }
};

// Runs the event loop until pred holds. (QTest::qWaitFor sleeps 10 ms
// between its looks, which would be the bulk of what is measured here.)
template <typename Pred>
bool waitUntil(Pred pred, int ms)
{
    QElapsedTimer timer;
    timer.start();
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (pred() || timer.elapsed() > ms)
            loop.quit();
    });
    poll.start(2);
    if (!pred())
        loop.exec();
    return pred();
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

bool makeTree(const QString& root)
{
    QByteArray data(kFileSize, 'x');
    for (int d = 0; d < kFolders; ++d) {
        const QString folder = root + QStringLiteral("/tree/d%1").arg(d, 2, 10, QLatin1Char('0'));
        if (!QDir().mkpath(folder))
            return false;
        for (int f = 0; f < kFiles; ++f) {
            QFile file(folder + QStringLiteral("/f%1.bin").arg(f, 3, 10, QLatin1Char('0')));
            if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size())
                return false;
        }
    }
    return true;
}

int countFiles(const QString& folder)
{
    int n = 0;
    QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        ++n;
    }
    return n;
}

bool sessionRun(const testsupport::VsftpdServer& server, const QString& target, double& seconds)
{
    Unattended ui;
    HeadlessPlatform platform;
    Session s(ui, platform);
    s.settings().sFirewallType = 1;  // passive, as lftp
    s.setCurrentLocalFolder(target + QLatin1Char('/'));
    s.timer().setInterval(200);
    s.timer().start();
    QElapsedTimer timer;
    timer.start();
    if (qEnvironmentVariableIsSet("BENCH_TRACE"))
        QObject::connect(&s.logModel(), &LogModel::lineAdded, [&](const LogLine& l) {
            fprintf(stderr, "%8.1f %s\n", double(timer.nsecsElapsed()) / 1e6, qPrintable(l.shown()));
        });
    s.setQuickConnectAddress(QStringLiteral("127.0.0.1"));
    s.setQuickConnectPort(QString::number(server.port()));
    s.setQuickConnectUser(QString::fromUtf8(server.user()));
    s.setQuickConnectPassword(QString::fromUtf8(server.password()));
    s.acConnectExecute(true);
    auto idle = [&] {
        return !s.isConnectIdle() && s.engineReady() && !s.hasQueuedCommands() && !s.currentRemoteFolder().isEmpty();
    };
    if (!waitUntil(idle, 60000))
        return false;
    FolderEntry tree;
    tree.name = QStringLiteral("tree");
    tree.entry.kind = kEntryFolder;
    tree.entry.size = -1;
    s.receive({tree});
    s.acQueueTransfer();
    const bool ok = waitUntil([&] { return idle() && s.transferQueue().isEmpty(); }, 600000);
    s.acConnectExecute(true);
    seconds = double(timer.nsecsElapsed()) / 1e9;
    return ok;
}

bool lftpRun(const testsupport::VsftpdServer& server, const QString& target, double& seconds)
{
    const QString script =
        QStringLiteral("set ftp:passive-mode on; set xfer:clobber on; mirror --parallel=1 tree %1; quit")
            .arg(target + QStringLiteral("/tree"));
    QProcess lftp;
    QElapsedTimer timer;
    timer.start();
    lftp.start(QStringLiteral("lftp"), {"-u", QString::fromUtf8(server.user() + "," + server.password()), "-p",
                                        QString::number(server.port()), "-e", script, "127.0.0.1"});
    const bool ok = lftp.waitForFinished(-1) && lftp.exitStatus() == QProcess::NormalExit && lftp.exitCode() == 0;
    seconds = double(timer.nsecsElapsed()) / 1e9;
    if (!ok)
        fprintf(stderr, "lftp failed: %s\n", lftp.readAllStandardError().constData());
    return ok;
}

// A listed tree of 100 folders x 1000 files queued as downloads, as
// "downloadbufferedfolder" does after a recursive listing.
double queueBigTree(const QString& localRoot)
{
    RemoteFolderCache cache;
    for (int d = 0; d < 100; ++d) {
        tFolderObject folder;
        for (int f = 0; f < 1000; ++f) {
            FolderEntry e;
            e.name = QStringLiteral("file%1.dat").arg(f, 4, 10, QLatin1Char('0'));
            e.entry.size = 4096;
            folder.entries.append(e);
        }
        cache.store(QStringLiteral("/big/d%1/").arg(d, 3, 10, QLatin1Char('0')), folder);
    }
    cache.store(QStringLiteral("/big/"), tFolderObject{});
    Unattended ui;
    TransferQueue queue(&ui);
    QElapsedTimer timer;
    timer.start();
    const FolderDownloadResult r =
        QueueBufferedFolderDownload(cache, queue, localRoot + QStringLiteral("/big"), QStringLiteral("/big"), {});
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    if (!r.ok() || queue.count() != 100000)
        fprintf(stderr, "queued %d entries\n", queue.count());
    return seconds;
}

}  // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const int runs = qEnvironmentVariableIsSet("BENCH_RUNS") ? qEnvironmentVariableIntValue("BENCH_RUNS") : 5;
    testsupport::VsftpdServer server;
    if (!makeTree(server.root()) || !server.start()) {
        fprintf(stderr, "vsftpd did not start: %s\n", qPrintable(server.errorString()));
        return 1;
    }
    printf("Tree of %d folders x %d files x %d bytes from vsftpd on 127.0.0.1, passive, median of %d runs each\n\n",
           kFolders, kFiles, kFileSize, runs);
    std::vector<double> ours, theirs;
    bool allOk = true;
    for (int i = 0; i < runs; ++i) {
        for (int k = 0; k < 2; ++k) {
            const bool sessionTurn = (i + k) % 2 == 0;
            QTemporaryDir local;
            double seconds = 0;
            const bool ok =
                sessionTurn ? sessionRun(server, local.path(), seconds) : lftpRun(server, local.path(), seconds);
            const int files = countFiles(local.path());
            if (!ok || files != kFolders * kFiles) {
                fprintf(stderr, "%s run %d: %d files\n", sessionTurn ? "session" : "lftp", i, files);
                allOk = false;
            }
            (sessionTurn ? ours : theirs).push_back(seconds);
        }
    }
    printf("| client | wall s, median | ratio |\n|---|---|---|\n");
    printf("| session core | %.3f | %.2f |\n", median(ours), median(ours) / median(theirs));
    printf("| lftp mirror (sequential) | %.3f | 1.00 |\n\n", median(theirs));

    std::vector<double> queueing;
    for (int i = 0; i < runs; ++i) {
        QTemporaryDir local;
        queueing.push_back(queueBigTree(local.path()));
    }
    printf("| queueing a listed tree of 100,000 files | %.3f s, median |\n|---|---|\n", median(queueing));
    return allOk ? 0 : 1;
}

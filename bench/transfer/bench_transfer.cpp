// Throughput of the engine beside curl: a big file downloaded and uploaded
// from vsftpd on 127.0.0.1, passive and active, the two clients alternating,
// medians of wall time and CPU time.
//
//   BENCH_SIZE_MB (default 1024)   size of the file
//   BENCH_RUNS    (default 5)      runs per client, direction and mode
//   BENCH_ONLY    (optional)       "download" or "upload"

#include "engine/ftp_client.h"
#include "session/allocator_tuning.h"
#include "support/vsftpd_server.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>

namespace {

struct Sample {
    double wall = 0;  // seconds
    double cpu = 0;   // seconds, user + system
};

double cpuSeconds(int who)
{
    rusage u{};
    getrusage(who, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

struct Target {
    quint16 port;
    QByteArray user;
    QByteArray password;
    QString root;
};

bool engineRun(const Target& t, bool passive, bool upload, const QString& localFile, Sample& s)
{
    TFtpClient ftp;
    ftp.setHostName("127.0.0.1");
    ftp.setPort(QByteArray::number(t.port));
    ftp.setUserName(t.user);
    ftp.setPassWord(t.password);
    ftp.setPassive(passive);
    ftp.setBinary(true);
    ftp.setLocalFileName(QFile::encodeName(localFile));
    ftp.setHostFileName(upload ? "up.bin" : "big.bin");
    int result = -1;
    QEventLoop loop;
    QObject::connect(&ftp, &TFtpClient::OnRequestDone, [&](TFtpRequest, int error) {
        result = error;
        loop.quit();
    });
    const double cpu0 = cpuSeconds(RUSAGE_SELF);
    QElapsedTimer timer;
    timer.start();
    if (upload)
        ftp.Transmit();  // Open, User, Pass, TypeSet, Port, Put, Quit
    else
        ftp.Receive();  // Open, User, Pass, TypeSet, Port, Get, Quit
    loop.exec();
    s.wall = double(timer.nsecsElapsed()) / 1e9;
    s.cpu = cpuSeconds(RUSAGE_SELF) - cpu0;
    if (result != 0)
        fprintf(stderr, "engine failed: %d %s\n", result, ftp.LastResponse().constData());
    return result == 0;
}

bool curlRun(const Target& t, bool passive, bool upload, const QString& localFile, Sample& s)
{
    const QString base = QStringLiteral("ftp://%1:%2@127.0.0.1:%3/")
                             .arg(QString::fromUtf8(t.user), QString::fromUtf8(t.password))
                             .arg(t.port);
    QStringList args{"-s", "-S"};
    if (!passive)
        args << "-P"
             << "127.0.0.1";
    if (upload)
        args << "-T" << localFile << base + "up.bin";
    else
        args << "-o" << localFile << base + "big.bin";
    QProcess curl;
    const double cpu0 = cpuSeconds(RUSAGE_CHILDREN);
    QElapsedTimer timer;
    timer.start();
    curl.start("curl", args);
    const bool ok = curl.waitForFinished(-1) && curl.exitStatus() == QProcess::NormalExit && curl.exitCode() == 0;
    s.wall = double(timer.nsecsElapsed()) / 1e9;
    s.cpu = cpuSeconds(RUSAGE_CHILDREN) - cpu0;
    if (!ok)
        fprintf(stderr, "curl failed: %s\n", curl.readAllStandardError().constData());
    return ok;
}

bool writeBigFile(const QString& path, qint64 size)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QByteArray block(1 << 20, Qt::Uninitialized);
    QRandomGenerator gen(42);
    for (qsizetype i = 0; i + 4 <= block.size(); i += 4) {
        const quint32 v = gen.generate();
        memcpy(block.data() + i, &v, 4);
    }
    for (qint64 done = 0; done < size; done += block.size())
        if (f.write(block.constData(), std::min<qint64>(block.size(), size - done)) < 0)
            return false;
    return true;
}

}  // namespace

int main(int argc, char* argv[])
{
    tuneAllocatorForTransfers();  // as the programs do
    QCoreApplication app(argc, argv);
    const qint64 sizeMb =
        qEnvironmentVariableIsSet("BENCH_SIZE_MB") ? qEnvironmentVariableIntValue("BENCH_SIZE_MB") : 1024;
    const int runs = qEnvironmentVariableIsSet("BENCH_RUNS") ? qEnvironmentVariableIntValue("BENCH_RUNS") : 5;
    const qint64 size = sizeMb << 20;

    testsupport::VsftpdServer server;
    if (!server.start()) {
        fprintf(stderr, "vsftpd did not start: %s\n", qPrintable(server.errorString()));
        return 1;
    }
    const Target target{server.port(), server.user(), server.password(), server.root()};
    if (!writeBigFile(target.root + "/big.bin", size)) {
        fprintf(stderr, "cannot write the test file\n");
        return 1;
    }
    QTemporaryDir local;
    const QString source = target.root + "/big.bin";  // uploads read the same bytes

    printf("Transfer of a %lld MiB file with vsftpd on 127.0.0.1, median of %d runs each\n\n", sizeMb, runs);
    printf("| direction | mode | engine wall s | curl wall s | wall ratio | engine CPU s | curl CPU s | CPU ratio |\n");
    printf("|---|---|---|---|---|---|---|---|\n");
    bool allOk = true;
    const QByteArray only = qgetenv("BENCH_ONLY");
    for (bool upload : {false, true}) {
        if (!only.isEmpty() && only != (upload ? "upload" : "download"))
            continue;
        for (bool passive : {true, false}) {
            std::vector<double> ew, ec, cw, cc;
            for (int i = 0; i < runs; ++i) {
                const QString file = upload ? source : local.filePath("down.bin");
                // alternate which client goes first
                for (int k = 0; k < 2; ++k) {
                    const bool engineTurn = (i + k) % 2 == 0;
                    Sample s;
                    const bool ok = engineTurn ? engineRun(target, passive, upload, file, s)
                                               : curlRun(target, passive, upload, file, s);
                    const qint64 got = QFileInfo(upload ? target.root + "/up.bin" : file).size();
                    if (!ok || got != size) {
                        fprintf(stderr, "%s run %d moved %lld bytes\n", engineTurn ? "engine" : "curl", i, got);
                        allOk = false;
                    }
                    (engineTurn ? ew : cw).push_back(s.wall);
                    (engineTurn ? ec : cc).push_back(s.cpu);
                    QFile::remove(upload ? target.root + "/up.bin" : file);
                }
            }
            printf("| %s | %s | %.3f | %.3f | %.2f | %.3f | %.3f | %.2f |\n", upload ? "upload" : "download",
                   passive ? "passive" : "active", median(ew), median(cw), median(ew) / median(cw), median(ec),
                   median(cc), median(ec) / std::max(1e-9, median(cc)));
            fflush(stdout);
        }
    }
    return allOk ? 0 : 1;
}

// Starts vsftpd on 127.0.0.1 for bench/run with the benchmark's files in its
// log-in folder, prints "ready <port> <user> <password> <root> <certificate>"
// and serves until standard input closes; then stops the server by its pid.
// The server offers explicit FTP over TLS (not forced, session reuse
// required) with a self-signed certificate made now: the plain and the TLS
// rows of the benchmark use the same server.
//
//   root/big.bin            1 GiB
//   root/tree/dNN/fNNN.bin  20 folders x 100 files x 4 KiB
//   root/many/              100,000 empty files
//   root/up/                where uploads go

#include "support/test_certificates.h"
#include "support/vsftpd_server.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cstdio>

namespace {

bool writeFile(const QString& path, const QByteArray& block, qint64 size)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    for (qint64 left = size; left > 0; left -= block.size())
        if (f.write(block.constData(), std::min<qint64>(left, block.size())) < 0)
            return false;
    return true;
}

bool makeFiles(const QString& root)
{
    QByteArray block(1 << 20, Qt::Uninitialized);
    quint32 x = 2463534242u;  // xorshift: data no link could compress
    for (char& c : block) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        c = char(x);
    }
    if (!writeFile(root + "/big.bin", block, qint64(1) << 30))
        return false;
    for (int d = 0; d < 20; ++d) {
        const QString folder = QStringLiteral("%1/tree/d%2").arg(root).arg(d, 2, 10, QLatin1Char('0'));
        if (!QDir().mkpath(folder))
            return false;
        for (int f = 0; f < 100; ++f)
            if (!writeFile(QStringLiteral("%1/f%2.bin").arg(folder).arg(f, 3, 10, QLatin1Char('0')),
                           block.mid(d * 100 + f, 4096), 4096))
                return false;
    }
    if (!QDir().mkpath(root + "/many") || !QDir().mkpath(root + "/up"))
        return false;
    for (int i = 0; i < 100000; ++i) {
        QFile f(QStringLiteral("%1/many/entry-%2.dat").arg(root).arg(i, 6, 10, QLatin1Char('0')));
        if (!f.open(QIODevice::WriteOnly))
            return false;
    }
    return true;
}

}  // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    testsupport::TestCertificates certificates;
    const testsupport::TestCertificates::Pair pair = certificates.make(testsupport::TestCertificates::Kind::SelfSigned);
    if (!pair.ok()) {
        std::fprintf(stderr, "no certificate: %s\n", qPrintable(certificates.errorString()));
        return 1;
    }
    testsupport::VsftpdServer::Options options;
    options.tls = testsupport::VsftpdServer::Options::Tls::Explicit;
    options.certificate = pair.certificate;
    options.key = pair.key;
    options.forceTls = false;
    testsupport::VsftpdServer server(options);
    if (!makeFiles(server.root())) {
        std::fprintf(stderr, "could not write the files under %s\n", qPrintable(server.root()));
        return 1;
    }
    if (!server.start()) {
        std::fprintf(stderr, "vsftpd did not start: %s\n", qPrintable(server.errorString()));
        return 1;
    }
    std::printf("ready %u %s %s %s %s\n", unsigned(server.port()), server.user().constData(),
                server.password().constData(), qPrintable(server.root()), qPrintable(pair.certificate));
    std::fflush(stdout);
    char line[256];
    while (std::fgets(line, sizeof line, stdin)) {}
    server.stop();
    return 0;
}

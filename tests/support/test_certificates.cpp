#include "support/test_certificates.h"

#include <QDir>
#include <QFile>
#include <QProcess>

namespace testsupport {

namespace {

// `openssl ca` is the one openssl command that takes any validity period; it
// wants a little database beside it.
constexpr char kCaConfig[] = R"([ ca ]
default_ca = here
[ here ]
database = index.txt
new_certs_dir = .
serial = serial
default_md = sha256
policy = anything
copy_extensions = copy
[ anything ]
commonName = supplied
)";

}  // namespace

bool TestCertificates::run(const QStringList& arguments, const QString& workDir)
{
    QProcess p;
    p.setWorkingDirectory(workDir);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral("openssl"), arguments);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        m_error = QStringLiteral("openssl %1 failed: %2")
                      .arg(arguments.join(QLatin1Char(' ')), QString::fromLocal8Bit(p.readAll()));
        return false;
    }
    return true;
}

TestCertificates::Pair TestCertificates::make(Kind kind)
{
    const QString dir = m_dir.filePath(QString::number(++m_count));
    if (!QDir().mkpath(dir)) {
        m_error = QStringLiteral("cannot create %1").arg(dir);
        return {};
    }
    const bool wrongHost = kind == Kind::WrongHost;
    const QString cn = wrongHost ? QStringLiteral("wrong.example.org") : QStringLiteral("localhost");
    const QString san = wrongHost ? QStringLiteral("subjectAltName=DNS:wrong.example.org")
                                  : QStringLiteral("subjectAltName=DNS:localhost,IP:127.0.0.1");
    const QStringList keyArgs{QStringLiteral("-newkey"),
                              QStringLiteral("rsa:2048"),
                              QStringLiteral("-nodes"),
                              QStringLiteral("-keyout"),
                              QStringLiteral("key.pem"),
                              QStringLiteral("-subj"),
                              QStringLiteral("/CN=") + cn + QStringLiteral("/O=Glimmer FTP tests"),
                              QStringLiteral("-addext"),
                              san};
    if (kind != Kind::Expired) {
        if (!run(QStringList{QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-days"),
                             QStringLiteral("30"), QStringLiteral("-out"), QStringLiteral("cert.pem")} +
                     keyArgs,
                 dir))
            return {};
    } else {
        QFile config(dir + QStringLiteral("/ca.cnf"));
        QFile index(dir + QStringLiteral("/index.txt"));
        QFile serial(dir + QStringLiteral("/serial"));
        if (!config.open(QIODevice::WriteOnly) || config.write(kCaConfig) < 0 || !index.open(QIODevice::WriteOnly) ||
            !serial.open(QIODevice::WriteOnly) || serial.write("01\n") < 0) {
            m_error = QStringLiteral("cannot write the files of openssl ca in %1").arg(dir);
            return {};
        }
        config.close();
        index.close();
        serial.close();
        if (!run(QStringList{QStringLiteral("req"), QStringLiteral("-new"), QStringLiteral("-out"),
                             QStringLiteral("req.csr")} +
                     keyArgs,
                 dir) ||
            !run({QStringLiteral("ca"), QStringLiteral("-batch"), QStringLiteral("-config"), QStringLiteral("ca.cnf"),
                  QStringLiteral("-selfsign"), QStringLiteral("-keyfile"), QStringLiteral("key.pem"),
                  QStringLiteral("-in"), QStringLiteral("req.csr"), QStringLiteral("-out"), QStringLiteral("cert.pem"),
                  QStringLiteral("-startdate"), QStringLiteral("20200101000000Z"), QStringLiteral("-enddate"),
                  QStringLiteral("20200201000000Z")},
                 dir))
            return {};
    }
    // The servers read them after dropping privileges.
    for (const QString& name : {QStringLiteral("/cert.pem"), QStringLiteral("/key.pem")})
        QFile::setPermissions(dir + name, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    return {dir + QStringLiteral("/cert.pem"), dir + QStringLiteral("/key.pem")};
}

}  // namespace testsupport

#include "support/tls_ftp_servers.h"

#include "support/vsftpd_server.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>

#include <memory>

#include <crypt.h>
#include <pwd.h>

namespace testsupport {

namespace {

// The shared test account (vsftpd_server.cpp creates it).
constexpr char kUser[] = "glimftp";
constexpr char kPassword[] = "Glimmer-ftp-7";

bool writeFile(const QString& name, const QByteArray& data, QString& error)
{
    QFile f(name);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(data) != data.size()) {
        error = QStringLiteral("cannot write %1: %2").arg(name, f.errorString());
        return false;
    }
    return true;
}

bool readFile(const QString& name, QByteArray& data, QString& error)
{
    QFile f(name);
    if (!f.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("cannot read %1: %2").arg(name, f.errorString());
        return false;
    }
    data = f.readAll();
    return true;
}

QString program(const QString& relative, QString& error)
{
    const QString path = testServersDir() + relative;
    if (!QFile::exists(path))
        error = QStringLiteral("%1 is missing: scripts/setup unpacks it").arg(path);
    return path;
}

bool prepareCommon(const QString& root, QString& error)
{
    if (!ensureFtpTestUser(error))
        return false;
    if (!QDir().mkpath(root) || !giveTreeToFtpTestUser(root)) {
        error = QStringLiteral("cannot give %1 to %2").arg(root, QLatin1String(kUser));
        return false;
    }
    return true;
}

}  // namespace

QString testServersDir()
{
    const QString dir = QProcessEnvironment::systemEnvironment().value(QStringLiteral("GLIMMER_TEST_SERVERS"));
    return dir.isEmpty() ? QStringLiteral("/opt/glimmer-test-servers") : dir;
}

// ---------------------------------------------------------------------------
// ProFTPD

ProftpdServer::ProftpdServer(QString certificate, QString key, bool tls12Only)
    : ServerProcess(QStringLiteral("proftpd")), m_certificate(std::move(certificate)), m_key(std::move(key)),
      m_tls12Only(tls12Only)
{
    QDir().mkpath(root());
}

QString ProftpdServer::root() const { return filePath(QStringLiteral("root")); }
QByteArray ProftpdServer::user() const { return kUser; }
QByteArray ProftpdServer::password() const { return kPassword; }
bool ProftpdServer::handRootToUser() const { return giveTreeToFtpTestUser(root()); }

bool ProftpdServer::prepare(quint16 port, Launch& launch, QString& error)
{
    const QString proftpd = program(QStringLiteral("/usr/sbin/proftpd"), error);
    if (!error.isEmpty() || !prepareCommon(root(), error))
        return false;
    const struct passwd* pw = ::getpwnam(kUser);
    auto data = std::make_unique<crypt_data>();
    const char* hash = ::crypt_r(kPassword, "$6$glimmerftptests$", data.get());
    if (!pw || !hash) {
        error = QStringLiteral("cannot describe the test user for ProFTPD");
        return false;
    }
    // AuthUserFile: the account with its home in root().
    const QByteArray passwdLine = QByteArray(kUser) + ':' + hash + ':' + QByteArray::number(pw->pw_uid) + ':' +
                                  QByteArray::number(pw->pw_gid) + "::" + QFile::encodeName(root()) + ":/bin/bash\n";
    QFile::remove(filePath(QStringLiteral("passwd")));
    if (!writeFile(filePath(QStringLiteral("passwd")), passwdLine, error))
        return false;
    QFile::setPermissions(filePath(QStringLiteral("passwd")), QFile::ReadOwner | QFile::WriteOwner);
    const QByteArray dir = QFile::encodeName(dirPath());
    const QByteArray conf = "ServerType standalone\n"
                            "DefaultServer on\n"
                            "ServerName \"Glimmer FTP test ProFTPD\"\n"
                            "Port " +
                            QByteArray::number(port) +
                            "\n"
                            "DefaultAddress 127.0.0.1\n"
                            "SocketBindTight on\n"
                            "UseIPv6 off\n"
                            "User " +
                            QByteArray(kUser) +
                            "\n"
                            "Group " +
                            QByteArray(kUser) +
                            "\n"
                            "PidFile " +
                            dir +
                            "/proftpd.pid\n"
                            "ScoreboardFile " +
                            dir +
                            "/proftpd.scoreboard\n"
                            "DelayTable none\n"
                            "WtmpLog off\n"
                            "UseReverseDNS off\n"
                            "SystemLog " +
                            dir +
                            "/proftpd.log\n"
                            "TransferLog none\n"
                            "ModulePath " +
                            QFile::encodeName(testServersDir()) +
                            "/usr/lib/proftpd\n"
                            "LoadModule mod_tls.c\n"
                            "AuthOrder mod_auth_file.c\n"
                            "AuthUserFile " +
                            dir +
                            "/passwd\n"
                            "RequireValidShell off\n"
                            "DefaultRoot ~\n"
                            "Umask 022\n"
                            "AllowOverwrite on\n"
                            "AllowRetrieveRestart on\n"
                            "AllowStoreRestart on\n"
                            "TLSEngine on\n"
                            "TLSRequired on\n"
                            "TLSProtocol " +
                            QByteArray(m_tls12Only ? "TLSv1.2" : "TLSv1.2 TLSv1.3") +
                            "\n"
                            "TLSRSACertificateFile " +
                            QFile::encodeName(m_certificate) +
                            "\n"
                            "TLSRSACertificateKeyFile " +
                            QFile::encodeName(m_key) +
                            "\n"
                            "TLSVerifyClient off\n"
                            "TLSLog " +
                            dir +
                            "/tls.log\n"
                            "<Directory />\n  AllowOverwrite on\n</Directory>\n";
    if (!writeFile(filePath(QStringLiteral("proftpd.conf")), conf, error))
        return false;
    launch.program = proftpd;
    launch.arguments = {QStringLiteral("--nodaemon"), QStringLiteral("--config"),
                        filePath(QStringLiteral("proftpd.conf"))};
    launch.logFiles = {filePath(QStringLiteral("proftpd.log")), filePath(QStringLiteral("tls.log"))};
    return true;
}

// ---------------------------------------------------------------------------
// Pure-FTPd

PureFtpdServer::PureFtpdServer(QString certificate, QString key)
    : ServerProcess(QStringLiteral("pure-ftpd")), m_certificate(std::move(certificate)), m_key(std::move(key))
{
    QDir().mkpath(root());
}

QString PureFtpdServer::root() const { return filePath(QStringLiteral("root")); }
QByteArray PureFtpdServer::user() const { return "glimvirt"; }
QByteArray PureFtpdServer::password() const { return kPassword; }
bool PureFtpdServer::handRootToUser() const { return giveTreeToFtpTestUser(root()); }

bool PureFtpdServer::prepare(quint16 port, Launch& launch, QString& error)
{
    const QString pureFtpd = program(QStringLiteral("/usr/sbin/pure-ftpd"), error);
    const QString purePw = program(QStringLiteral("/usr/bin/pure-pw"), error);
    if (!error.isEmpty() || !prepareCommon(root(), error))
        return false;
    // A virtual user mapped onto the test account, at home in root().
    const QString passwd = filePath(QStringLiteral("pureftpd.passwd"));
    const QString pdb = filePath(QStringLiteral("pureftpd.pdb"));
    QFile::remove(passwd);
    QFile::remove(pdb);
    QProcess pw;
    pw.setProcessChannelMode(QProcess::MergedChannels);
    pw.start(purePw, {QStringLiteral("useradd"), QString::fromLatin1(user()), QStringLiteral("-u"),
                      QLatin1String(kUser), QStringLiteral("-d"), root(), QStringLiteral("-f"), passwd,
                      QStringLiteral("-F"), pdb, QStringLiteral("-m")});
    pw.write(QByteArray(kPassword) + '\n' + kPassword + '\n');
    pw.closeWriteChannel();
    if (!pw.waitForFinished(30000) || pw.exitCode() != 0) {
        error = QStringLiteral("pure-pw failed: %1").arg(QString::fromLocal8Bit(pw.readAll()));
        return false;
    }
    // Pure-FTPd takes the key and the certificate from one file.
    QByteArray cert, key;
    if (!readFile(m_certificate, cert, error) || !readFile(m_key, key, error) ||
        !writeFile(filePath(QStringLiteral("pure-ftpd.pem")), key + cert, error))
        return false;
    launch.program = pureFtpd;
    launch.arguments = {QStringLiteral("--bind"),
                        QStringLiteral("127.0.0.1,%1").arg(port),
                        QStringLiteral("--login"),
                        QStringLiteral("puredb:") + pdb,
                        QStringLiteral("--tls"),
                        QStringLiteral("3"),
                        QStringLiteral("--certfile"),
                        filePath(QStringLiteral("pure-ftpd.pem")),
                        QStringLiteral("--verboselog"),
                        QStringLiteral("--minuid"),
                        QStringLiteral("1"),
                        QStringLiteral("--pidfile"),
                        filePath(QStringLiteral("pure-ftpd.pid"))};
    return true;
}

}  // namespace testsupport

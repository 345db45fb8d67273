#include "support/vsftpd_server.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QProcess>

#include <cstring>
#include <memory>

#include <crypt.h>
#include <grp.h>
#include <pwd.h>
#include <shadow.h>
#include <unistd.h>

namespace testsupport {

namespace {

constexpr char kUser[] = "glimftp";
constexpr char kPassword[] = "Glimmer-ftp-7";
constexpr char kHome[] = "/var/lib/glimftp";

bool run(const QString& program, const QStringList& args, const QByteArray& input, QString& error)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    if (!p.waitForStarted(5000)) {
        error = QStringLiteral("cannot run %1: %2").arg(program, p.errorString());
        return false;
    }
    p.write(input);
    p.closeWriteChannel();
    if (!p.waitForFinished(30000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        error = QStringLiteral("%1 %2 failed (exit %3): %4")
                    .arg(program, args.join(QLatin1Char(' ')))
                    .arg(p.exitCode())
                    .arg(QString::fromLocal8Bit(p.readAll()).trimmed());
        return false;
    }
    return true;
}

bool shellListed(const QByteArray& shell)
{
    QFile shells(QStringLiteral("/etc/shells"));
    if (!shells.open(QIODevice::ReadOnly))
        return false;
    while (!shells.atEnd())
        if (shells.readLine().trimmed() == shell)
            return true;
    return false;
}

bool passwordMatches(const char* hash)
{
    if (!hash || hash[0] != '$')  // "!", "*" or empty: no usable password
        return false;
    auto data = std::make_unique<crypt_data>();
    const char* again = ::crypt_r(kPassword, hash, data.get());
    return again && std::strcmp(again, hash) == 0;
}

// The local account vsftpd logs in. Debian's /etc/pam.d/vsftpd asks for a
// user not named in /etc/ftpusers, a shell listed in /etc/shells
// (pam_shells; check_shell=NO does not reach PAM) and a valid password;
// vsftpd itself changes into the home folder before local_root.
}  // namespace

bool ensureFtpTestUser(QString& error)
{
    // Tests run in parallel; useradd and chpasswd must not race on
    // /etc/passwd and /etc/shadow.
    QLockFile lock(QDir::temp().filePath(QStringLiteral("glimmer-ftp-user.lock")));
    if (!lock.tryLock(60000)) {
        error = QStringLiteral("cannot lock %1").arg(QDir::temp().filePath(QStringLiteral("glimmer-ftp-user.lock")));
        return false;
    }

    bool setPassword = false;
    if (!::getpwnam(kUser)) {
        QStringList args{QStringLiteral("--no-create-home"),
                         QStringLiteral("--home-dir"),
                         QLatin1String(kHome),
                         QStringLiteral("--shell"),
                         QStringLiteral("/bin/bash"),
                         QStringLiteral("--comment"),
                         QStringLiteral("Glimmer FTP test user")};
        if (::getgrnam(kUser))  // left behind by an earlier account of that name
            args << QStringLiteral("--gid") << QLatin1String(kUser);
        if (!run(QStringLiteral("useradd"), args << QLatin1String(kUser), {}, error))
            return false;
        setPassword = true;
    }
    const struct passwd* pw = ::getpwnam(kUser);
    if (!pw) {
        error = QStringLiteral("user %1 missing after useradd").arg(QLatin1String(kUser));
        return false;
    }
    const uid_t uid = pw->pw_uid;
    const gid_t gid = pw->pw_gid;
    const QString home = QFile::decodeName(pw->pw_dir);
    if (!shellListed(pw->pw_shell) &&
        !run(QStringLiteral("usermod"), {QStringLiteral("--shell"), QStringLiteral("/bin/bash"), QLatin1String(kUser)},
             {}, error))
        return false;
    if (!QFileInfo(home).isDir()) {
        if (!QDir().mkpath(home) || ::chown(QFile::encodeName(home).constData(), uid, gid) != 0) {
            error = QStringLiteral("cannot create the home folder %1").arg(home);
            return false;
        }
    }
    // The account may predate this fixture or an earlier set-up may have
    // stopped after useradd: set the password unless it already is ours.
    const struct spwd* sp = ::getspnam(kUser);
    if (!sp || !passwordMatches(sp->sp_pwdp))
        setPassword = true;
    if (setPassword && !run(QStringLiteral("chpasswd"), {}, QByteArray(kUser) + ':' + kPassword + '\n', error))
        return false;
    return true;
}

bool giveTreeToFtpTestUser(const QString& path)
{
    const struct passwd* pw = ::getpwnam(kUser);
    if (!pw)
        return false;
    const uid_t uid = pw->pw_uid;
    const gid_t gid = pw->pw_gid;
    bool ok = ::lchown(QFile::encodeName(path).constData(), uid, gid) == 0;
    QDirIterator it(path, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        ok = ::lchown(QFile::encodeName(it.next()).constData(), uid, gid) == 0 && ok;
    return ok;
}

namespace {

bool writeFile(const QString& name, const QByteArray& data, QString& error)
{
    QFile f(name);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(data) != data.size()) {
        error = QStringLiteral("cannot write %1: %2").arg(name, f.errorString());
        return false;
    }
    return true;
}

}  // namespace

// Options' member defaults are not usable in a default argument inside
// the class, hence the separate default constructor.
VsftpdServer::VsftpdServer() : VsftpdServer(Options{}) {}

VsftpdServer::VsftpdServer(Options options) : ServerProcess(QStringLiteral("vsftpd")), m_options(std::move(options))
{
    // Made now, so that a test can fill it before start().
    QDir().mkpath(root());
}

QString VsftpdServer::root() const { return filePath(QStringLiteral("root")); }

QByteArray VsftpdServer::user() const { return kUser; }

QByteArray VsftpdServer::password() const { return kPassword; }

bool VsftpdServer::handRootToUser() const { return giveTreeToFtpTestUser(root()); }

bool VsftpdServer::prepare(quint16 port, Launch& launch, QString& error)
{
    if (::geteuid() != 0) {
        error = QStringLiteral("vsftpd in standalone mode must be started as root");
        return false;
    }
    if (!ensureFtpTestUser(error))
        return false;
    // secure_chroot_dir: empty, owned by root, not writable by others.
    const QString empty = filePath(QStringLiteral("empty"));
    if (!QDir().mkpath(empty) || !QDir().mkpath(root()) ||
        !QFile::setPermissions(empty, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
                                          QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther)) {
        error = QStringLiteral("cannot create the folders under %1").arg(dirPath());
        return false;
    }
    if (!handRootToUser()) {
        error = QStringLiteral("cannot give %1 to %2").arg(root(), QLatin1String(kUser));
        return false;
    }
    if (!writeConfig(port, error))
        return false;
    launch.program = QStringLiteral("/usr/sbin/vsftpd");
    launch.arguments = {filePath(QStringLiteral("vsftpd.conf"))};
    launch.logFiles = {filePath(QStringLiteral("vsftpd.log"))};
    return true;
}

bool VsftpdServer::writeConfig(quint16 port, QString& error) const
{
    const auto [pasvMin, pasvMax] = m_options.passivePorts.value_or(std::pair<int, int>{0, 0});
    QByteArray conf;
    auto set = [&conf](const char* key, const QString& value) {
        conf += key;
        conf += '=';
        conf += QFile::encodeName(value);
        conf += '\n';
    };
    set("listen", QStringLiteral("YES"));
    set("listen_ipv6", QStringLiteral("NO"));
    set("listen_address", QStringLiteral("127.0.0.1"));
    set("listen_port", QString::number(port));
    set("background", QStringLiteral("NO"));
    set("local_enable", QStringLiteral("YES"));
    set("write_enable", QStringLiteral("YES"));
    set("local_umask", QStringLiteral("022"));
    set("anonymous_enable", QStringLiteral("NO"));
    set("pasv_enable", QStringLiteral("YES"));
    set("pasv_min_port", QString::number(pasvMin));  // 0: any port
    set("pasv_max_port", QString::number(pasvMax));
    set("port_enable", QStringLiteral("YES"));
    // Active data connections from port 20 would need the privileged
    // helper; a high port works the same for the client.
    set("connect_from_port_20", QStringLiteral("NO"));
    set("secure_chroot_dir", filePath(QStringLiteral("empty")));
    set("seccomp_sandbox", QStringLiteral("NO"));
    set("pam_service_name", QStringLiteral("vsftpd"));
    set("check_shell", QStringLiteral("NO"));
    set("local_root", root());
    // A failed log-in is answered at once; the tests want the 530 now.
    set("delay_failed_login", QStringLiteral("0"));
    if (m_options.maxPerIp > 0)
        set("max_per_ip", QString::number(m_options.maxPerIp));
    set("xferlog_enable", QStringLiteral("YES"));
    set("log_ftp_protocol", QStringLiteral("YES"));
    set("vsftpd_log_file", filePath(QStringLiteral("vsftpd.log")));
    if (m_options.tls != Options::Tls::None) {
        const auto yesNo = [](bool on) { return on ? QStringLiteral("YES") : QStringLiteral("NO"); };
        set("ssl_enable", QStringLiteral("YES"));
        set("implicit_ssl", yesNo(m_options.tls == Options::Tls::Implicit));
        set("rsa_cert_file", m_options.certificate);
        set("rsa_private_key_file", m_options.key);
        set("ssl_tlsv1", QStringLiteral("YES"));
        set("ssl_sslv2", QStringLiteral("NO"));
        set("ssl_sslv3", QStringLiteral("NO"));
        set("require_ssl_reuse", yesNo(m_options.requireReuse));
        set("force_local_logins_ssl", yesNo(m_options.forceTls));
        set("force_local_data_ssl", yesNo(m_options.forceTls));
        set("allow_anon_ssl", QStringLiteral("YES"));
    }
    return writeFile(filePath(QStringLiteral("vsftpd.conf")), conf, error);
}

}  // namespace testsupport

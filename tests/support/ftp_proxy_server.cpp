#include "support/ftp_proxy_server.h"

#include <QDir>
#include <QFile>

#include <grp.h>
#include <pwd.h>
#include <unistd.h>

namespace testsupport {

FtpProxyServer::FtpProxyServer() : ServerProcess(QStringLiteral("ftp-proxy")) {}

bool FtpProxyServer::prepare(quint16 port, Launch& launch, QString& error)
{
    // The proxy switches to nobody before it opens its log, and it removes
    // and recreates the file, so the log lives in a folder nobody owns.
    const QString logDir = filePath(QStringLiteral("log"));
    const struct passwd* nobody = ::getpwnam("nobody");
    const struct group* nogroup = ::getgrnam("nogroup");
    if (!nobody || !nogroup) {
        error = QStringLiteral("user nobody or group nogroup missing");
        return false;
    }
    if (!QDir().mkpath(logDir) ||
        (::geteuid() == 0 && ::chown(QFile::encodeName(logDir).constData(), nobody->pw_uid, nogroup->gr_gid) != 0)) {
        error = QStringLiteral("cannot prepare %1").arg(logDir);
        return false;
    }
    const QString logFile = logDir + QStringLiteral("/ftp-proxy.log");

    QByteArray conf = "[-Global-]\n"
                      "ServerType standalone\n"
                      "Listen 127.0.0.1\n"
                      "Port " +
                      QByteArray::number(port) +
                      "\n"
                      // Where a USER without "@host" goes.
                      "DestinationAddress 127.0.0.1\n"
                      "AllowMagicUser yes\n"
                      "User nobody\n"
                      "Group nogroup\n"
                      "PidFile " +
                      QFile::encodeName(filePath(QStringLiteral("ftp-proxy.pid"))) +
                      "\n"
                      "LogDestination " +
                      QFile::encodeName(logFile) +
                      "\n"
                      "LogLevel DBG\n"
                      // Its default of 40 connections a minute would refuse
                      // a busy test.
                      "ForkLimit 1000\n";

    const QString confName = filePath(QStringLiteral("ftp-proxy.conf"));
    QFile f(confName);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(conf) != conf.size()) {
        error = QStringLiteral("cannot write %1: %2").arg(confName, f.errorString());
        return false;
    }
    f.close();

    // -d: standalone daemon whatever the file says; -n: stay in the
    // foreground, so the process we started is the listener we stop.
    launch.program = QStringLiteral("/usr/sbin/ftp-proxy");
    launch.arguments = {QStringLiteral("-d"), QStringLiteral("-n"), QStringLiteral("-f"), confName};
    launch.logFiles = {logFile};
    return true;
}

}  // namespace testsupport

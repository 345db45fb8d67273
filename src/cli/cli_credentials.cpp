#include "cli/cli_credentials.h"

#include "session/address.h"

#include <QDir>
#include <QFile>
#include <QUrl>

#include <cstdio>
#include <termios.h>
#include <unistd.h>

std::optional<QString> readPasswordFromStdin()
{
    const bool terminal = isatty(STDIN_FILENO);
    termios saved{};
    if (terminal && tcgetattr(STDIN_FILENO, &saved) == 0) {
        std::fputs("Password: ", stderr);
        std::fflush(stderr);
        termios quiet = saved;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    QByteArray line;
    bool any = false;
    for (int c; (c = std::fgetc(stdin)) != EOF;) {
        any = true;
        if (c == '\n')
            break;
        line += char(c);
    }
    if (terminal) {
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
        std::fputs("\n", stderr);
    }
    if (!any)
        return std::nullopt;
    if (line.endsWith('\r'))
        line.chop(1);
    return QString::fromUtf8(line);
}

NetrcFileLookup lookupNetrcFile(const QString& path, const QString& host, const QString& user)
{
    NetrcFileLookup out;
    const QString file = path.isEmpty() ? QDir::homePath() + QStringLiteral("/.netrc") : path;
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) {
        // Only a file named on the command line has to be there.
        if (!path.isEmpty())
            out.error = QStringLiteral("Could not read %1: %2").arg(file, f.errorString());
        return out;
    }
    out.entry = netrcLookup(f.readAll(), host, user);
    // ftp(1) refuses such a file; curl and lftp use it. Used, with a warning.
    if (out.entry && out.entry->hasPassword && (f.permissions() & (QFile::ReadGroup | QFile::ReadOther)))
        out.warning = QStringLiteral("%1 can be read by other users (chmod 600 it)").arg(file);
    return out;
}

QString addressWithLogin(const QString& host, const QString& port, const QString& user, const QString& password)
{
    const auto encoded = [](const QString& s) { return QString::fromLatin1(QUrl::toPercentEncoding(s)); };
    QString address = QStringLiteral("ftp://") + encoded(user) + u':' + encoded(password) + u'@' + hostForAddress(host);
    if (!port.isEmpty())
        address += u':' + port;
    return address;
}

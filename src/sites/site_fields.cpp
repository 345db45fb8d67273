#include "sites/site_fields.h"

#include <algorithm>

namespace {
const QString FtpPrefix = QStringLiteral("ftp://");
}

InputPrompt newFolderPrompt()
{
    return {QStringLiteral("New Folder"), QStringLiteral("New Site Manager Folder"), QString()};
}

SiteFields siteFieldsOf(const QString& displayName, const tSiteObject& site)
{
    SiteFields f;
    f.name = displayName;
    f.host = QString::fromUtf8(site.SiteHost);
    f.port = QString::fromUtf8(site.SitePort);
    f.user = QString::fromUtf8(site.SiteUser);
    f.password = QString::fromUtf8(site.SitePassword);
    f.remoteFolder = QString::fromUtf8(site.SiteRemoteFolder);
    f.localFolder = QString::fromUtf8(site.SiteLocalFolder);
    f.autoReconnect = site.SiteAutoReconnect;
    f.tlsMode = site.SiteTlsMode;
    return f;
}

void storeSiteFields(const SiteFields& fields, tSiteObject& site)
{
    const int typed = tlsModeOfTypedHost(fields.host);
    site.SiteHost = stripFtpPrefix(fields.host).toUtf8();
    site.SitePort = fields.port.toUtf8();
    site.SiteUser = fields.user.toUtf8();
    site.SitePassword = fields.password.toUtf8();
    site.SiteRemoteFolder = fields.remoteFolder.toUtf8();
    site.SiteLocalFolder = fields.localFolder.toUtf8();
    site.SiteAutoReconnect = fields.autoReconnect;
    site.SiteTlsMode = quint8(typed >= 0 ? typed : qBound(0, fields.tlsMode, 3));
}

QStringList siteEncryptionChoices()
{
    return {QStringLiteral("Plain FTP only (insecure)"), QStringLiteral("Explicit FTP over TLS if available"),
            QStringLiteral("Require explicit FTP over TLS"), QStringLiteral("Require implicit FTP over TLS")};
}

int tlsModeOfTypedHost(const QString& host)
{
    if (host.startsWith(QLatin1String("ftps://"), Qt::CaseInsensitive))
        return 3;
    if (host.startsWith(QLatin1String("ftpes://"), Qt::CaseInsensitive))
        return 2;
    return -1;
}

QString stripFtpPrefix(const QString& host)
{
    if (host.startsWith(FtpPrefix, Qt::CaseInsensitive))
        return host.mid(FtpPrefix.size());
    // The TLS schemes go too; the site's encryption keeps what they said.
    for (const QLatin1String scheme : {QLatin1String("ftps://"), QLatin1String("ftpes://")})
        if (host.startsWith(scheme, Qt::CaseInsensitive))
            return host.mid(scheme.size());
    return host;
}

int clampSitePort(int port) { return qBound(SitePortMin, port, SitePortMax); }

QString stepSitePort(const QString& port, int steps)
{
    bool ok = false;
    const qint64 current = port.trimmed().toLongLong(&ok);
    const qint64 low = SitePortMin, high = SitePortMax;
    const qint64 base = ok ? std::clamp(current, low, high) : low;
    const qint64 next = std::clamp(base + steps, low, high);
    return QString::number(next);
}

void applyAnonymous(SiteFields& fields, const QString& anonPassword)
{
    fields.user = AnonymousUser;
    fields.port = QStringLiteral("21");
    fields.password = anonPassword.isEmpty() ? DefaultAnonymousPassword : anonPassword;
}

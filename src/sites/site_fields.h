#pragma once

// What the site manager's edit controls hold for the selected node, and the
// small rules applied when they change: the "ftp://" prefix of a typed host,
// the port's up-down range, the anonymous button and the new-site texts.

#include "store/site_object.h"

#include <QString>
#include <QStringList>

inline constexpr int SitePortMin = 21;
inline constexpr int SitePortMax = 32767;

// The instructions the empty name and host boxes show (placeholder texts;
// never stored). A new site is named NewSiteName and has no host yet.
inline const QString NewSiteNamePrompt = QStringLiteral("Enter Site Name Here (e.g. My Server)");
inline const QString NewSiteHostPrompt = QStringLiteral("Enter Site Address Here (e.g. ftp.example.com)");
inline const QString NewSiteName = QStringLiteral("New Site");
inline const QString AnonymousUser = QStringLiteral("anonymous");
// Used by the anonymous button when no anonymous password is set in the
// preferences (sAnonPassword).
inline const QString DefaultAnonymousPassword = QStringLiteral("guest@example.com");

// A one-line question the window asks with an input box: title, label and
// preset text. The answer comes back to the tree's operation.
struct InputPrompt {
    QString title;
    QString label;
    QString text;
};

InputPrompt newFolderPrompt();

// The edit controls `sitename`, `SiteHost`, `SitePort`, `SiteUsername`,
// `SitePassword`, `SiteSrFolder`, `SiteSlFolder` and `SiteSAutoReconnect`.
struct SiteFields {
    QString name;
    QString host;
    QString port;
    QString user;
    QString password;
    QString remoteFolder;
    QString localFolder;
    bool autoReconnect = false;
    // `SiteEncryption`: FTP over TLS, as SiteTlsMode numbers it.
    int tlsMode = 1;

    bool operator==(const SiteFields&) const = default;
};

// The controls' contents for a record (with `displayName` in `sitename`).
SiteFields siteFieldsOf(const QString& displayName, const tSiteObject& site);

// Writes every field but the name into the record: the host without a
// leading "ftp://", the text fields cut to their capacity at a character
// boundary (by the record's encoder).
void storeSiteFields(const SiteFields& fields, tSiteObject& site);

// A host as typed, without one leading "ftp://" in any letter case.
QString stripFtpPrefix(const QString& host);

// The choices of `SiteEncryption`, in the order of SiteTlsMode's numbers.
QStringList siteEncryptionChoices();
// A host typed as "ftps://host" or "ftpes://host" names its encryption too:
// the mode it names (implicit, explicit required), or -1 for none.
int tlsModeOfTypedHost(const QString& host);

// The port after `steps` clicks of the up-down control: a port that is not a
// number starts from the lower limit; the result stays within 21..32767.
QString stepSitePort(const QString& port, int steps);
int clampSitePort(int port);

// The anonymous button: user "anonymous", port "21" and the anonymous
// password (`anonPassword`, or DefaultAnonymousPassword when it is empty).
void applyAnonymous(SiteFields& fields, const QString& anonPassword);

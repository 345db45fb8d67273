#pragma once

// One stored site, `tSiteObject`, kept on disk as a record of 4206 bytes; the
// "Favorites" stream holds these records back to back. In memory `SiteName`
// is the site's display name; in the stream it holds the site's tree path,
// from which the site manager rebuilds its folders.

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <optional>

struct tSiteObject {
    static constexpr int RecordSize = 4206;
    static constexpr int NameCapacity = 255;
    static constexpr int PortCapacity = 6;
    static constexpr int KeyringKeyCapacity = 63;
    static constexpr int OptionsKeyCapacity = 63;

    QByteArray SiteName;
    QByteArray SiteUser;
    QByteArray SitePassword;  // stored as typed
    QByteArray SiteHost;
    QByteArray SitePort;
    QByteArray SiteLocalFolder;   // empty: stay in the current local folder
    QByteArray SiteRemoteFolder;  // empty: the server's start folder
    bool SiteAutoReconnect = false;
    // The name of the keyring entry that holds this site's password; empty
    // when the keyring holds none. Kept in the first bytes of the record's
    // reserved range, which older files have zeroed.
    QByteArray SiteKeyringKey;
    // The key of this site's entry in the "SiteOptions" stream (options added
    // after the record's layout was settled); given when the site first has
    // such an option. Kept in the reserved range after SiteKeyringKey, so it
    // survives renames and moves.
    QByteArray SiteOptionsKey;

    // From the "SiteOptions" stream: FTP over TLS, as FtpTlsMode numbers it
    // (0 off, 1 explicit if offered, 2 explicit required, 3 implicit). Files
    // without the stream give every site 1.
    quint8 SiteTlsMode = 1;

    // Not stored: what the session knows of the keyring entry this run.
    enum class KeyringState : quint8 {
        None,     // the keyring is not involved (no key, or the file's password is newer)
        Pending,  // asked, no answer yet
        Unread,   // asked, and the keyring did not give the password
        Stored,   // the keyring holds keyringCopy under SiteKeyringKey
    };
    KeyringState keyringState = KeyringState::None;
    QByteArray keyringCopy;
    QString keyringProblem;  // Unread: the keyring's reason

    // The record image this one was decoded from; the reserved ranges (and
    // the reserved flag) are written back from it. Empty means all zero.
    QByteArray heldBytes;

    // A site as "New Site" makes it: port "21", automatic reconnection on.
    static tSiteObject newSite();

    QByteArray encode() const;
    // nullopt unless `bytes` is exactly RecordSize long.
    static std::optional<tSiteObject> decode(QByteArrayView bytes);

    bool operator==(const tSiteObject&) const = default;
};

// The "SiteOptions" stream: per site (by SiteOptionsKey) the options the
// fixed record has no room for, as a keyed record of keyed records.
// decodeSiteOptions fills the sites that have an entry; encodeSiteOptions
// gives a key to every site with an option other than its default.
void decodeSiteOptions(QByteArrayView stream, const QList<tSiteObject*>& sites);
QByteArray encodeSiteOptions(const QList<tSiteObject*>& sites);

// The "Favorites" stream: every record in order. The number of sites is the
// stream's size divided by the record size; a partial record at the end is
// ignored.
QList<tSiteObject> decodeFavorites(QByteArrayView stream);
QByteArray encodeFavorites(const QList<tSiteObject>& sites);

#include "store/site_object.h"

#include "store/keyed_record.h"
#include "store/record_codec.h"

#include <QUuid>

using namespace record;

namespace {

namespace off {
constexpr int Name = 0;             // string of 255
constexpr int User = 256;           // string of 255
constexpr int Password = 512;       // string of 255
constexpr int Host = 768;           // string of 255
constexpr int Port = 1024;          // string of 6
constexpr int LocalFolder = 1031;   // string of 255
constexpr int RemoteFolder = 1287;  // string of 255
constexpr int KeyringKey = 1543;    // string of 63, the start of the range that was reserved
constexpr int OptionsKey = 1607;    // string of 63
constexpr int Reserved = 1671;      // 2434 bytes
constexpr int AutoReconnect = 4105;
constexpr int ReservedFlag = 4106;
constexpr int ReservedTail = 4107;  // 99 bytes
}  // namespace off

constexpr int LongString = tSiteObject::NameCapacity;

static_assert(off::Port + tSiteObject::PortCapacity + 1 == off::LocalFolder);
static_assert(off::RemoteFolder + LongString + 1 == off::KeyringKey);
static_assert(off::KeyringKey + tSiteObject::KeyringKeyCapacity + 1 == off::OptionsKey);
static_assert(off::OptionsKey + tSiteObject::OptionsKeyCapacity + 1 == off::Reserved);
static_assert(off::Reserved + 2434 == off::AutoReconnect);
static_assert(off::ReservedFlag + 1 == off::ReservedTail);
static_assert(off::ReservedTail + 99 == tSiteObject::RecordSize && tSiteObject::RecordSize == 4206);

}  // namespace

tSiteObject tSiteObject::newSite()
{
    tSiteObject site;
    site.SitePort = QByteArrayLiteral("21");
    site.SiteAutoReconnect = true;
    return site;
}

QByteArray tSiteObject::encode() const
{
    QByteArray b = heldBytes.size() == RecordSize ? heldBytes : QByteArray(RecordSize, '\0');
    putShortString(b, off::Name, LongString, SiteName);
    putShortString(b, off::User, LongString, SiteUser);
    putShortString(b, off::Password, LongString, SitePassword);
    putShortString(b, off::Host, LongString, SiteHost);
    putShortString(b, off::Port, PortCapacity, SitePort);
    putShortString(b, off::LocalFolder, LongString, SiteLocalFolder);
    putShortString(b, off::RemoteFolder, LongString, SiteRemoteFolder);
    putShortString(b, off::KeyringKey, KeyringKeyCapacity, SiteKeyringKey);
    putShortString(b, off::OptionsKey, OptionsKeyCapacity, SiteOptionsKey);
    putBool(b, off::AutoReconnect, SiteAutoReconnect);
    return b;
}

std::optional<tSiteObject> tSiteObject::decode(QByteArrayView b)
{
    if (b.size() != RecordSize)
        return std::nullopt;
    tSiteObject s;
    s.heldBytes = b.toByteArray();
    s.SiteName = getShortString(b, off::Name, LongString);
    s.SiteUser = getShortString(b, off::User, LongString);
    s.SitePassword = getShortString(b, off::Password, LongString);
    s.SiteHost = getShortString(b, off::Host, LongString);
    s.SitePort = getShortString(b, off::Port, PortCapacity);
    s.SiteLocalFolder = getShortString(b, off::LocalFolder, LongString);
    s.SiteRemoteFolder = getShortString(b, off::RemoteFolder, LongString);
    s.SiteKeyringKey = getShortString(b, off::KeyringKey, KeyringKeyCapacity);
    s.SiteOptionsKey = getShortString(b, off::OptionsKey, OptionsKeyCapacity);
    s.SiteAutoReconnect = getBool(b, off::AutoReconnect);
    return s;
}

QList<tSiteObject> decodeFavorites(QByteArrayView stream)
{
    QList<tSiteObject> sites;
    const qsizetype count = stream.size() / tSiteObject::RecordSize;
    sites.reserve(count);
    for (qsizetype i = 0; i < count; ++i)
        sites.append(*tSiteObject::decode(stream.sliced(i * tSiteObject::RecordSize, tSiteObject::RecordSize)));
    return sites;
}

QByteArray encodeFavorites(const QList<tSiteObject>& sites)
{
    QByteArray stream;
    stream.reserve(sites.size() * tSiteObject::RecordSize);
    for (const tSiteObject& site : sites)
        stream.append(site.encode());
    return stream;
}

namespace {

constexpr char kTlsKey[] = "Tls";
constexpr quint8 kDefaultTlsMode = 1;

}  // namespace

void decodeSiteOptions(QByteArrayView stream, const QList<tSiteObject*>& sites)
{
    const std::optional<KeyedRecord> all = KeyedRecord::decode(stream);
    if (!all)
        return;
    for (tSiteObject* site : sites) {
        if (site->SiteOptionsKey.isEmpty())
            continue;
        const std::optional<QByteArray> entry = all->text(site->SiteOptionsKey);
        const std::optional<KeyedRecord> options = entry ? KeyedRecord::decode(*entry) : std::nullopt;
        if (!options)
            continue;
        if (const auto tls = options->integer(kTlsKey); tls && *tls >= 0 && *tls <= 3)
            site->SiteTlsMode = quint8(*tls);
    }
}

QByteArray encodeSiteOptions(const QList<tSiteObject*>& sites)
{
    KeyedRecord all;
    for (tSiteObject* site : sites) {
        if (site->SiteTlsMode == kDefaultTlsMode)
            continue;
        if (site->SiteOptionsKey.isEmpty())
            site->SiteOptionsKey = QUuid::createUuid().toByteArray(QUuid::WithoutBraces);
        KeyedRecord options;
        options.setInteger(kTlsKey, site->SiteTlsMode);
        all.setText(site->SiteOptionsKey, options.encode());
    }
    return all.encode();
}

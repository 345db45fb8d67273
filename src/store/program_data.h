#pragma once

// The settings record "ProgramData": every preference, the window layout,
// the quick-connect values and the histories, stored as one record of exactly
// 13424 bytes. Settings keep the names of their preference controls
// (sFirewallType, sRetries, ...); the other fields are named after what they
// hold. Strings are the stored bytes (UTF-8 here); `sASCIIFiles` separates its
// masks with the byte 0xFF, so it is never decoded as text as a whole.

#include "store/keyed_record.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <array>
#include <optional>

// System colours carry 0x80 in the top byte and their index in the low byte.
inline constexpr quint32 ColorWindow = 0x80000005;
inline constexpr quint32 ColorBlack = 0x00000000;

// Window states and pane view styles as stored.
enum : quint8 { WindowStateNormal = 0, WindowStateMinimized = 1, WindowStateMaximized = 2 };
enum : quint8 { ListStyleIcon = 0, ListStyleSmallIcon = 1, ListStyleList = 2, ListStyleReport = 3 };

// The folder the local pane starts in when nothing is stored: the home folder,
// ending with the platform's separator ("c:\" on Windows).
QByteArray defaultLocalFolder();

struct ProgramData {
    static constexpr int RecordSize = 13424;
    static constexpr int ColumnCount = 10;
    static constexpr int QueueColumnCount = 80;
    static constexpr int HistoryCount = 10;

    QByteArray lastLocalFolder = defaultLocalFolder();
    std::array<qint32, ColumnCount> localColumnWidths{};
    std::array<qint32, ColumnCount> remoteColumnWidths{};
    std::array<qint32, QueueColumnCount> queueColumnWidths{};
    qint32 bottomPanelHeight = 0;
    QByteArray quickConnectAddress;
    QByteArray quickConnectUser;
    QByteArray quickConnectPassword;  // stored as typed
    QByteArray quickConnectPort;      // at most 9 characters
    // A transfer starts when it is asked for, as in other desktop clients;
    // stored records keep their own choice.
    bool queueAlwaysActive = true;
    std::array<QByteArray, HistoryCount> localFolderHistory{};  // empty = no item
    bool logAutoScroll = true;
    quint8 sStartUpAction = 0;  // 0 Do Nothing, 1 Open Site Manager, 2 Connect to Last Used Site
    bool sLvFullRowSelect = false;
    quint8 sDoubleClickAction = 0;  // 0 Open File, 1 Transfer File
    bool sMonitorClipboard = false;
    quint8 sFirewallType = 0;  // 0 Direct, 1 Direct (Passive), 2 Std. Proxy, 3 Socks
    QByteArray lastFindText;
    bool panesSwitched = false;
    QByteArray sFirewallAddress;
    QByteArray sFirewallPort;
    bool sListHiddenFiles = false;
    qint32 windowHeight = 0;
    qint32 windowWidth = 0;
    qint32 windowLeft = 0;
    qint32 windowTop = 0;
    quint8 windowState = WindowStateNormal;
    qint32 leftPanelWidth = 0;
    qint32 logWidth = 0;
    quint32 sWinColor = ColorWindow;
    quint32 fontColor = ColorBlack;
    QByteArray fontName = QByteArrayLiteral("MS Sans Serif");
    qint32 fontSize = 10;
    quint8 listStyle = ListStyleIcon;
    qint32 localSortColumn = 0;
    qint32 remoteSortColumn = 0;
    bool sRetryTillConnected = false;
    qint32 sRetries = 0;
    qint32 sRetryDelay = 0;
    QByteArray sAnonPassword;
    bool sWarnLocalDelete = false;
    // A remote delete cannot be undone (local deletes go to the trash), so a
    // new record asks first; stored records keep their own choice.
    bool sWarnRemoteDelete = true;
    bool sShowLoginMessage = false;
    quint8 sXferAction = 0;  // 0 Overwrite file, 1 Resume file, 2 Skip file
    bool sXferPromptForAction = false;
    bool sXferClosePromptForAction = false;
    qint32 sXferClosePromptForActionSecs = 0;
    QByteArray sASCIIFiles = QByteArrayLiteral("*.txt\xFF*.*htm*");
    QByteArray sSndConnect;
    QByteArray sSndDisconnect;
    QByteArray sSndXferComplete;
    bool sSndDisable = false;
    quint64 saveCounter = 0;
    bool sCheckForNewVersion = true;
    bool sAntiTimeout = false;
    bool sShowFTPAttrs = false;

    // ---- settings added after the record's layout was settled. They live in
    // the separate "Preferences" stream (see encodeExtension); a file written
    // before a setting existed lacks its key and gets the value below, unless
    // applyLegacyDefaults says otherwise.
    qint32 sTimeout = 30;           // seconds without a byte before a request fails; 0 never
    bool sKeepFileTimes = true;     // transferred files keep their modification time
    qint32 sFolderDepthLimit = 64;  // folder levels a recursive download or delete descends
    // Files the queue moves at once, each on a connection of its own beside
    // the browsing one (1: the queue runs on the browsing connection).
    qint32 sSimultaneousTransfers = 2;
    static constexpr qint32 MaxSimultaneousTransfers = 10;
    // Sizes in B, KB, MB, GB and TB with one decimal; off, the panes show
    // whole kilobytes (the KB column). Files from before the setting keep
    // the KB column (applyLegacyDefaults).
    bool sHumanSizes = true;
    // The keyring entry holding the quick-connect password; empty when the
    // keyring holds none (the password, if any, is in quickConnectPassword).
    QByteArray quickConnectKeyringKey;
    // Server certificates the person trusts always although the system does
    // not: one line each, "host:port SHA256-hex" (the host as connected to;
    // an IPv6 address in brackets).
    QByteArray sTrustedCertificates;

    // The keys of the extension record this version does not know; they are
    // written back unchanged.
    KeyedRecord extension;

    // The record image this one was decoded from. Byte ranges that no field
    // covers are written back from it unchanged; empty means all zero.
    QByteArray heldBytes;

    // A default-constructed record holds the defaults used when the data
    // file or its stream cannot be read.
    static ProgramData defaults() { return {}; }

    QByteArray encode() const;
    // nullopt unless `bytes` is exactly RecordSize long.
    static std::optional<ProgramData> decode(QByteArrayView bytes);

    // The "Preferences" stream: the settings above that the fixed record has
    // no room for.
    QByteArray encodeExtension() const;
    // Takes the values present in `bytes`; an unreadable record leaves every
    // setting at its default (and is replaced at the next save).
    void decodeExtension(QByteArrayView bytes);
    // For a file written before the "Preferences" stream existed: settings
    // whose default for such a file differs from a new file's.
    void applyLegacyDefaults();

    // Unreadable colours (font size -1, or text the colour of its background)
    // reset the colours and the font to their defaults and turn the update
    // check back on. Returns whether anything was reset.
    bool applyColourFixUp();

    // The ASCII masks split at the 0xFF separators, empty pieces dropped.
    QList<QByteArray> asciiMasks() const;

    bool operator==(const ProgramData&) const = default;
};

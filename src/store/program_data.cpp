#include "store/program_data.h"

#include "store/record_codec.h"

#include <QDir>

using namespace record;

namespace {

// Field offsets of the stored record. Ranges between fields are reserved.
namespace off {
constexpr int LastLocalFolder = 0x0000;  // string of 255
constexpr int LocalColumns = 0x0100;     // 10 x i32
constexpr int RemoteColumns = 0x0128;    // 10 x i32
constexpr int QueueColumns = 0x0150;     // 80 x i32
constexpr int BottomPanelHeight = 0x0290;
constexpr int QuickAddress = 0x0294;   // string of 255
constexpr int QuickUser = 0x0394;      // string of 255
constexpr int QuickPassword = 0x0494;  // string of 255
constexpr int QuickPort = 0x0594;      // string of 9
constexpr int QueueAlwaysActive = 0x2102;
constexpr int LocalHistory = 0x2103;  // 10 x string of 255
constexpr int LogAutoScroll = 0x2B03;
constexpr int StartUpAction = 0x2B04;
constexpr int LvFullRowSelect = 0x2B05;
constexpr int DoubleClickAction = 0x2B06;
constexpr int MonitorClipboard = 0x2B07;
constexpr int FirewallType = 0x2B08;
constexpr int LastFindText = 0x2B09;  // string of 255
constexpr int PanesSwitched = 0x2C09;
constexpr int FirewallAddress = 0x2C0A;  // string of 255
constexpr int FirewallPort = 0x2D0A;     // string of 255
constexpr int ListHiddenFiles = 0x2E0B;
constexpr int WindowHeight = 0x2E0C;
constexpr int WindowWidth = 0x2E10;
constexpr int WindowLeft = 0x2E14;
constexpr int WindowTop = 0x2E18;
constexpr int WindowState = 0x2E1C;
constexpr int LeftPanelWidth = 0x2E20;
constexpr int LogWidth = 0x2E24;
constexpr int WinColor = 0x2E28;
constexpr int FontColor = 0x2E2C;
constexpr int FontName = 0x2E30;  // string of 255
constexpr int FontSize = 0x2F30;
constexpr int ListStyle = 0x2F34;
constexpr int LocalSortColumn = 0x2F38;
constexpr int RemoteSortColumn = 0x2F3C;
constexpr int RetryTillConnected = 0x2F41;
constexpr int Retries = 0x2F44;
constexpr int RetryDelay = 0x2F48;
constexpr int AnonPassword = 0x2F4C;  // string of 255
constexpr int WarnLocalDelete = 0x304C;
constexpr int WarnRemoteDelete = 0x304D;
constexpr int ShowLoginMessage = 0x304E;
constexpr int XferAction = 0x304F;
constexpr int XferPromptForAction = 0x3050;
constexpr int XferClosePromptForAction = 0x3051;
constexpr int XferClosePromptForActionSecs = 0x3054;
constexpr int ASCIIFiles = 0x3058;       // string of 255
constexpr int SndConnect = 0x3158;       // string of 255
constexpr int SndDisconnect = 0x3258;    // string of 255
constexpr int SndXferComplete = 0x3358;  // string of 255
constexpr int SndDisable = 0x3458;
constexpr int SaveCounter = 0x3460;  // u64
constexpr int CheckForNewVersion = 0x3468;
constexpr int AntiTimeout = 0x346A;
constexpr int ShowFTPAttrs = 0x346B;
}  // namespace off

constexpr int LongString = 255;
constexpr int PortString = 9;
constexpr int LongStringField = LongString + 1;

static_assert(off::QueueColumns + 4 * ProgramData::QueueColumnCount == off::BottomPanelHeight);
static_assert(off::QuickPort + PortString + 1 <= off::QueueAlwaysActive);
static_assert(off::LocalHistory + ProgramData::HistoryCount * LongStringField == off::LogAutoScroll);
static_assert(off::SndXferComplete + LongStringField == off::SndDisable);
static_assert(off::SaveCounter + 8 == off::CheckForNewVersion);
static_assert(off::ShowFTPAttrs + 1 <= ProgramData::RecordSize && ProgramData::RecordSize == 13424);

template <std::size_t N>
void putWidths(QByteArray& buf, int offset, const std::array<qint32, N>& widths)
{
    for (std::size_t i = 0; i < N; ++i)
        putI32(buf, offset + 4 * int(i), widths[i]);
}

template <std::size_t N>
void getWidths(QByteArrayView buf, int offset, std::array<qint32, N>& widths)
{
    for (std::size_t i = 0; i < N; ++i)
        widths[i] = getI32(buf, offset + 4 * int(i));
}

}  // namespace

QByteArray defaultLocalFolder()
{
#ifdef Q_OS_WIN
    return QByteArrayLiteral("c:\\");
#else
    QString home = QDir::toNativeSeparators(QDir::homePath());
    if (!home.endsWith(QDir::separator()))
        home += QDir::separator();
    return home.toUtf8();
#endif
}

QByteArray ProgramData::encode() const
{
    QByteArray b = heldBytes.size() == RecordSize ? heldBytes : QByteArray(RecordSize, '\0');
    putShortString(b, off::LastLocalFolder, LongString, lastLocalFolder);
    putWidths(b, off::LocalColumns, localColumnWidths);
    putWidths(b, off::RemoteColumns, remoteColumnWidths);
    putWidths(b, off::QueueColumns, queueColumnWidths);
    putI32(b, off::BottomPanelHeight, bottomPanelHeight);
    putShortString(b, off::QuickAddress, LongString, quickConnectAddress);
    putShortString(b, off::QuickUser, LongString, quickConnectUser);
    putShortString(b, off::QuickPassword, LongString, quickConnectPassword);
    putShortString(b, off::QuickPort, PortString, quickConnectPort);
    putBool(b, off::QueueAlwaysActive, queueAlwaysActive);
    for (int i = 0; i < HistoryCount; ++i)
        putShortString(b, off::LocalHistory + i * LongStringField, LongString, localFolderHistory[i]);
    putBool(b, off::LogAutoScroll, logAutoScroll);
    putU8(b, off::StartUpAction, sStartUpAction);
    putBool(b, off::LvFullRowSelect, sLvFullRowSelect);
    putU8(b, off::DoubleClickAction, sDoubleClickAction);
    putBool(b, off::MonitorClipboard, sMonitorClipboard);
    putU8(b, off::FirewallType, sFirewallType);
    putShortString(b, off::LastFindText, LongString, lastFindText);
    putBool(b, off::PanesSwitched, panesSwitched);
    putShortString(b, off::FirewallAddress, LongString, sFirewallAddress);
    putShortString(b, off::FirewallPort, LongString, sFirewallPort);
    putBool(b, off::ListHiddenFiles, sListHiddenFiles);
    putI32(b, off::WindowHeight, windowHeight);
    putI32(b, off::WindowWidth, windowWidth);
    putI32(b, off::WindowLeft, windowLeft);
    putI32(b, off::WindowTop, windowTop);
    putU8(b, off::WindowState, windowState);
    putI32(b, off::LeftPanelWidth, leftPanelWidth);
    putI32(b, off::LogWidth, logWidth);
    putU32(b, off::WinColor, sWinColor);
    putU32(b, off::FontColor, fontColor);
    putShortString(b, off::FontName, LongString, fontName);
    putI32(b, off::FontSize, fontSize);
    putU8(b, off::ListStyle, listStyle);
    putI32(b, off::LocalSortColumn, localSortColumn);
    putI32(b, off::RemoteSortColumn, remoteSortColumn);
    putBool(b, off::RetryTillConnected, sRetryTillConnected);
    putI32(b, off::Retries, sRetries);
    putI32(b, off::RetryDelay, sRetryDelay);
    putShortString(b, off::AnonPassword, LongString, sAnonPassword);
    putBool(b, off::WarnLocalDelete, sWarnLocalDelete);
    putBool(b, off::WarnRemoteDelete, sWarnRemoteDelete);
    putBool(b, off::ShowLoginMessage, sShowLoginMessage);
    putU8(b, off::XferAction, sXferAction);
    putBool(b, off::XferPromptForAction, sXferPromptForAction);
    putBool(b, off::XferClosePromptForAction, sXferClosePromptForAction);
    putI32(b, off::XferClosePromptForActionSecs, sXferClosePromptForActionSecs);
    putShortString(b, off::ASCIIFiles, LongString, sASCIIFiles);
    putShortString(b, off::SndConnect, LongString, sSndConnect);
    putShortString(b, off::SndDisconnect, LongString, sSndDisconnect);
    putShortString(b, off::SndXferComplete, LongString, sSndXferComplete);
    putBool(b, off::SndDisable, sSndDisable);
    putU64(b, off::SaveCounter, saveCounter);
    putBool(b, off::CheckForNewVersion, sCheckForNewVersion);
    putBool(b, off::AntiTimeout, sAntiTimeout);
    putBool(b, off::ShowFTPAttrs, sShowFTPAttrs);
    return b;
}

std::optional<ProgramData> ProgramData::decode(QByteArrayView b)
{
    if (b.size() != RecordSize)
        return std::nullopt;
    ProgramData d;
    d.heldBytes = b.toByteArray();
    d.lastLocalFolder = getShortString(b, off::LastLocalFolder, LongString);
    getWidths(b, off::LocalColumns, d.localColumnWidths);
    getWidths(b, off::RemoteColumns, d.remoteColumnWidths);
    getWidths(b, off::QueueColumns, d.queueColumnWidths);
    d.bottomPanelHeight = getI32(b, off::BottomPanelHeight);
    d.quickConnectAddress = getShortString(b, off::QuickAddress, LongString);
    d.quickConnectUser = getShortString(b, off::QuickUser, LongString);
    d.quickConnectPassword = getShortString(b, off::QuickPassword, LongString);
    d.quickConnectPort = getShortString(b, off::QuickPort, PortString);
    d.queueAlwaysActive = getBool(b, off::QueueAlwaysActive);
    for (int i = 0; i < HistoryCount; ++i)
        d.localFolderHistory[i] = getShortString(b, off::LocalHistory + i * LongStringField, LongString);
    d.logAutoScroll = getBool(b, off::LogAutoScroll);
    d.sStartUpAction = getU8(b, off::StartUpAction);
    d.sLvFullRowSelect = getBool(b, off::LvFullRowSelect);
    d.sDoubleClickAction = getU8(b, off::DoubleClickAction);
    d.sMonitorClipboard = getBool(b, off::MonitorClipboard);
    d.sFirewallType = getU8(b, off::FirewallType);
    d.lastFindText = getShortString(b, off::LastFindText, LongString);
    d.panesSwitched = getBool(b, off::PanesSwitched);
    d.sFirewallAddress = getShortString(b, off::FirewallAddress, LongString);
    d.sFirewallPort = getShortString(b, off::FirewallPort, LongString);
    d.sListHiddenFiles = getBool(b, off::ListHiddenFiles);
    d.windowHeight = getI32(b, off::WindowHeight);
    d.windowWidth = getI32(b, off::WindowWidth);
    d.windowLeft = getI32(b, off::WindowLeft);
    d.windowTop = getI32(b, off::WindowTop);
    d.windowState = getU8(b, off::WindowState);
    d.leftPanelWidth = getI32(b, off::LeftPanelWidth);
    d.logWidth = getI32(b, off::LogWidth);
    d.sWinColor = getU32(b, off::WinColor);
    d.fontColor = getU32(b, off::FontColor);
    d.fontName = getShortString(b, off::FontName, LongString);
    d.fontSize = getI32(b, off::FontSize);
    d.listStyle = getU8(b, off::ListStyle);
    d.localSortColumn = getI32(b, off::LocalSortColumn);
    d.remoteSortColumn = getI32(b, off::RemoteSortColumn);
    d.sRetryTillConnected = getBool(b, off::RetryTillConnected);
    d.sRetries = getI32(b, off::Retries);
    d.sRetryDelay = getI32(b, off::RetryDelay);
    d.sAnonPassword = getShortString(b, off::AnonPassword, LongString);
    d.sWarnLocalDelete = getBool(b, off::WarnLocalDelete);
    d.sWarnRemoteDelete = getBool(b, off::WarnRemoteDelete);
    d.sShowLoginMessage = getBool(b, off::ShowLoginMessage);
    d.sXferAction = getU8(b, off::XferAction);
    d.sXferPromptForAction = getBool(b, off::XferPromptForAction);
    d.sXferClosePromptForAction = getBool(b, off::XferClosePromptForAction);
    d.sXferClosePromptForActionSecs = getI32(b, off::XferClosePromptForActionSecs);
    d.sASCIIFiles = getShortString(b, off::ASCIIFiles, LongString);
    d.sSndConnect = getShortString(b, off::SndConnect, LongString);
    d.sSndDisconnect = getShortString(b, off::SndDisconnect, LongString);
    d.sSndXferComplete = getShortString(b, off::SndXferComplete, LongString);
    d.sSndDisable = getBool(b, off::SndDisable);
    d.saveCounter = getU64(b, off::SaveCounter);
    d.sCheckForNewVersion = getBool(b, off::CheckForNewVersion);
    d.sAntiTimeout = getBool(b, off::AntiTimeout);
    d.sShowFTPAttrs = getBool(b, off::ShowFTPAttrs);
    return d;
}

bool ProgramData::applyColourFixUp()
{
    if (fontSize != -1 && sWinColor != fontColor)
        return false;
    const ProgramData fresh;
    sWinColor = fresh.sWinColor;
    fontColor = fresh.fontColor;
    fontName = fresh.fontName;
    fontSize = fresh.fontSize;
    sCheckForNewVersion = true;
    return true;
}

QList<QByteArray> ProgramData::asciiMasks() const
{
    QList<QByteArray> masks;
    for (const QByteArray& mask : sASCIIFiles.split('\xFF'))
        if (!mask.isEmpty())
            masks.append(mask);
    return masks;
}

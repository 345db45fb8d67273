#include "queue/transfer_queue.h"

#include "listing/icon_cache.h"
#include "person/user_interaction.h"

#include <QFileInfo>

#include <vector>

TransferQueue::TransferQueue(UserInteraction* ui, IconCache* icons, QObject* parent)
    : QObject(parent), m_ui(ui), m_icons(icons)
{}

TransferQueue::~TransferQueue() = default;

bool TransferQueue::AddToTransferQueue(const QString& from, const QString& to, qint64 size, bool openAfter,
                                       bool viewAfter, bool upload, const QString& serverAddress, double date)
{
    const QString key = from.toLower();
    if (m_sources.value(key) > 0) {
        const QString text = QStringLiteral("\"") + from + QStringLiteral("\" is already in queue.") +
                             QStringLiteral("\r\r\n") + QStringLiteral("Add it anyway?");
        if (!m_ui || !m_ui->askYesNo(text, true))
            return false;
    }
    QueueRow row;
    row.entry.kind = size >= 0 ? kEntryFile : kEntryFolder;
    row.entry.size = size;
    row.entry.date = date;
    row.entry.upload = upload;
    row.entry.serverAddress = serverAddress;
    row.entry.from = from;
    row.entry.to = to;
    row.entry.openAfter = openAfter;
    row.entry.viewAfter = viewAfter;
    row.sizeText = size >= 0 ? QString::number(size) : QString();
    if (m_icons)
        row.imageIndex =
            size >= 0 ? m_icons->iconIndexForFileName(QFileInfo(from).fileName()) : m_icons->FolderIconIndex();
    row.stateImage = upload ? kStateUploadWaiting : kStateDownloadWaiting;
    m_rows.push_back(std::move(row));
    ++m_sources[key];
    emit rowInserted(count() - 1);
    return true;
}

void TransferQueue::appendRow(QueueRow row)
{
    if (m_icons && row.imageIndex < 0)
        row.imageIndex = row.isFolder() ? m_icons->FolderIconIndex()
                                        : m_icons->iconIndexForFileName(QFileInfo(row.entry.from).fileName());
    if (row.isFailed())
        ++m_failed;
    ++m_sources[row.entry.from.toLower()];
    m_rows.push_back(std::move(row));
    emit rowInserted(count() - 1);
}

void TransferQueue::RemoveQueueEntry(int index)
{
    if (index < 0 || index >= count())
        return;
    if (m_rows[size_t(index)].isFailed())
        --m_failed;
    const QString key = m_rows[size_t(index)].entry.from.toLower();
    if (--m_sources[key] <= 0)
        m_sources.remove(key);
    m_rows.erase(m_rows.begin() + index);
    emit rowRemoved(index);
}

void TransferQueue::completeEntry(int index)
{
    if (index < 0 || index >= count())
        return;
    const QueueRow& row = m_rows[size_t(index)];
    if (!row.isFolder()) {
        ++m_filesDone;
        const qint64 bytes = row.entry.size >= 0 ? row.entry.size : row.resumeAt + row.bytesMoved;
        m_bytesDone += bytes;
        m_bytesMovedDone += qMax<qint64>(0, bytes - row.resumeAt);
    }
    RemoveQueueEntry(index);
}

void TransferQueue::setProgress(int index, qint64 bytesMoved, qint64 resumeAt)
{
    if (index < 0 || index >= count())
        return;
    QueueRow& row = m_rows[size_t(index)];
    if (row.bytesMoved == bytesMoved && row.resumeAt == resumeAt)
        return;
    row.bytesMoved = bytesMoved;
    row.resumeAt = resumeAt;
    emit progressChanged(index);
}

void TransferQueue::resetTotals()
{
    m_filesDone = 0;
    m_bytesDone = 0;
    m_bytesMovedDone = 0;
}

void TransferQueue::clear()
{
    m_rows.clear();
    m_sources.clear();
    m_failed = 0;
    emit cleared();
}

void TransferQueue::setStateImage(int index, int stateImage)
{
    if (index < 0 || index >= count() || m_rows[size_t(index)].stateImage == stateImage)
        return;
    QueueRow& row = m_rows[size_t(index)];
    m_failed += int(stateImage == kStateFailed) - int(row.isFailed());
    // A new start counts its progress afresh.
    row.bytesMoved = 0;
    row.resumeAt = 0;
    row.stateImage = stateImage;
    emit rowChanged(index);
}

int TransferQueue::headIndex() const
{
    if (!hasPending())
        return -1;
    if (m_failed == 0)
        return 0;
    for (int i = 0; i < count(); ++i)
        if (!m_rows[size_t(i)].isFailed())
            return i;
    return -1;
}

int TransferQueue::nextWaiting(int from) const
{
    for (int i = std::max(from, 0); i < count(); ++i)
        if (m_rows[size_t(i)].isWaiting())
            return i;
    return -1;
}

int TransferQueue::runningOn(int connection) const
{
    for (int i = 0; i < count(); ++i) {
        const QueueRow& row = m_rows[size_t(i)];
        if (row.isRunning() && row.connection == connection)
            return i;
    }
    return -1;
}

void TransferQueue::markFailed(int index, const QString& reason)
{
    if (index < 0 || index >= count())
        return;
    QueueRow& row = m_rows[size_t(index)];
    row.entry.failureReason = reason.isEmpty() ? QStringLiteral("Failed") : reason;
    row.entry.startTime = -1.0;
    if (row.isFailed()) {
        emit rowChanged(index);
        return;
    }
    setStateImage(index, kStateFailed);
}

int TransferQueue::retryFailed()
{
    if (m_failed == 0)
        return 0;
    // Taken out in order and appended in the same order, behind every entry
    // still to run, so that no waiting entry stands above a running one.
    std::vector<QueueRow> retried;
    for (int i = count() - 1; i >= 0; --i) {
        if (!m_rows[size_t(i)].isFailed())
            continue;
        retried.push_back(m_rows[size_t(i)]);
        RemoveQueueEntry(i);
    }
    for (auto it = retried.rbegin(); it != retried.rend(); ++it) {
        QueueRow& row = *it;
        row.stateImage = row.entry.upload ? kStateUploadWaiting : kStateDownloadWaiting;
        row.entry.failureReason.clear();
        row.entry.action = kActionUndecided;
        row.entry.remoteSizeKnown = false;
        row.entry.remoteSize = -1;
        row.removeWhenDone = false;
        ++m_sources[row.entry.from.toLower()];
        m_rows.push_back(std::move(row));
        emit rowInserted(count() - 1);
    }
    return int(retried.size());
}

int TransferQueue::removeFailed()
{
    int removed = 0;
    for (int i = count() - 1; i >= 0 && m_failed > 0; --i) {
        if (m_rows[size_t(i)].isFailed()) {
            RemoveQueueEntry(i);
            ++removed;
        }
    }
    return removed;
}

void TransferQueue::applyActionToAll(qint32 action, int except)
{
    for (int i = 0; i < count(); ++i)
        if (i != except)
            m_rows[size_t(i)].entry.action = action;
}

void TransferQueue::setActive(bool active)
{
    if (m_active == active)
        return;
    m_active = active;
    emit activityChanged(active);
}

void TransferQueue::setAlwaysActive(bool on) { m_alwaysActive = on; }

void TransferQueue::setSelected(int index, bool selected)
{
    if (index < 0 || index >= count() || m_rows[size_t(index)].selected == selected)
        return;
    m_rows[size_t(index)].selected = selected;
    emit rowChanged(index);
}

void TransferQueue::setFocused(int index)
{
    for (int i = 0; i < count(); ++i) {
        const bool focus = i == index;
        if (m_rows[size_t(i)].focused != focus) {
            m_rows[size_t(i)].focused = focus;
            emit rowChanged(i);
        }
    }
}

bool TransferQueue::deleteSelected()
{
    bool stop = false;
    for (int i = count() - 1; i >= 0; --i) {
        if (i >= count() || !m_rows[size_t(i)].selected)
            continue;
        if (!m_rows[size_t(i)].isRunning()) {
            RemoveQueueEntry(i);
        } else if (!stop && m_ui &&
                   m_ui->askYesNo(QStringLiteral("Delete file entry that is currently being transfered?"), true)) {
            // The question ran a nested event loop; the rows may have moved.
            // Several entries may run at once: only the selected ones go.
            for (int r = 0; r < count(); ++r)
                if (m_rows[size_t(r)].isRunning() && m_rows[size_t(r)].selected)
                    m_rows[size_t(r)].removeWhenDone = true;
            stop = true;
        }
    }
    return stop;
}

void TransferQueue::moveUp()
{
    int first = -1;
    for (int i = 0; i < count(); ++i)
        if (m_rows[size_t(i)].selected) {
            first = i;
            break;
        }
    // Nothing moves in front of a running entry, and a running entry stays
    // where it is.
    if (first <= 0 || m_rows[size_t(first - 1)].isRunning())
        return;
    for (int i = first; i < count(); ++i)
        if (m_rows[size_t(i)].selected && m_rows[size_t(i)].isRunning())
            return;
    for (int i = first; i < count(); ++i)
        if (m_rows[size_t(i)].selected)
            swapRows(i, i - 1);
    emit scrollTo(first - 1);
}

void TransferQueue::moveDown()
{
    if (isEmpty())
        return;
    for (int i = 0; i < count(); ++i)
        if (m_rows[size_t(i)].isRunning())
            setSelected(i, false);
    if (m_rows.back().selected)
        return;
    int first = -1;
    for (int i = 0; i < count(); ++i)
        if (m_rows[size_t(i)].selected) {
            first = i;
            break;
        }
    if (first < 0)
        return;
    for (int i = count() - 2; i >= first; --i)
        if (m_rows[size_t(i)].selected)
            swapRows(i, i + 1);
    emit scrollTo(first + 1);
}

void TransferQueue::swapRows(int a, int b)
{
    if (a == b || a < 0 || b < 0 || a >= count() || b >= count())
        return;
    std::swap(m_rows[size_t(a)], m_rows[size_t(b)]);
    emit rowsSwapped(a, b);
}

// ---------------------------------------------------------------------------

namespace {

bool charMatches(QChar maskChar, QChar nameChar)
{
    if (maskChar == QLatin1Char('#'))
        return nameChar >= QLatin1Char('0') && nameChar <= QLatin1Char('9');
    return maskChar == nameChar;
}

}  // namespace

// Every mask character but "*" takes exactly one name character, so on a
// mismatch only the latest "*" needs to take one character more: the earlier
// ones can never do better. That keeps the search at mask x name steps, where
// trying every split point for every "*" grows with the name's length to the
// power of the number of stars (server names are not ours to bound).
bool WildcardMatch(const QString& mask, const QString& name)
{
    qsizetype m = 0;
    qsizetype n = 0;
    qsizetype starMask = -1;  // mask position after the latest "*"
    qsizetype starName = 0;   // where that "*"'s run currently ends
    for (;;) {
        if (m == mask.size())
            return true;  // the whole mask matched; the rest of the name may follow
        if (mask[m] == QLatin1Char('*')) {
            starMask = ++m;
            starName = n;
            continue;
        }
        if (n < name.size() && charMatches(mask[m], name[n])) {
            ++m;
            ++n;
            continue;
        }
        if (starMask < 0 || starName >= name.size())
            return false;
        m = starMask;
        n = ++starName;
    }
}

bool IsAsciiFile(const QString& name, const QByteArray& asciiMasks)
{
    for (const QByteArray& piece : asciiMasks.split('\xFF')) {
        if (!piece.isEmpty() && WildcardMatch(QString::fromUtf8(piece), name))
            return true;
    }
    return false;
}

#pragma once

// The transfer queue as the window shows it: one row per waiting, running or
// failed transfer, each owning its tQueueEntry record. Headless: the window's queue
// view shows these rows, with the columns "Transfer From", "Transfer To" and
// "Size". Starting the head entry needs the engine and the session state and
// lives in the session; this model holds the rows and the rules of the
// person's operations on them.

#include "listing/entry.h"

#include <QHash>
#include <QObject>
#include <QString>

#include <deque>

class UserInteraction;
class IconCache;

// State image of a row.
inline constexpr int kStateDownloadRunning = 0;
inline constexpr int kStateUploadRunning = 1;
inline constexpr int kStateDownloadWaiting = 2;
inline constexpr int kStateUploadWaiting = 3;
// A transfer that failed: it stays in the queue with its reason until the
// person retries or removes it, and the queue runs on past it.
inline constexpr int kStateFailed = 4;

struct QueueRow {
    tQueueEntry entry;
    QString sizeText;     // the size in decimal for a file; empty marks a folder entry
    int imageIndex = -1;  // small icon (by extension, or the folder icon)
    int stateImage = kStateDownloadWaiting;
    bool selected = false;
    bool focused = false;
    // The person deleted this running entry: it goes when its transfer ends,
    // however that ends, instead of staying as failed.
    bool removeWhenDone = false;
    // Restored from the last run and not yet claimed by a log-in to the
    // server it was queued on (see Session::claimRestoredTransfers).
    bool restored = false;
    // While running: the connection that moves it (0 the browsing one) and
    // its progress, bytes moved by this transfer after the restart offset.
    int connection = 0;
    qint64 bytesMoved = 0;
    qint64 resumeAt = 0;

    const QString& caption() const { return entry.from; }  // "Transfer From"
    const QString& toText() const { return entry.to; }     // "Transfer To"
    bool isFolder() const { return sizeText.isEmpty(); }
    bool isWaiting() const { return stateImage == kStateDownloadWaiting || stateImage == kStateUploadWaiting; }
    bool isRunning() const { return stateImage == kStateDownloadRunning || stateImage == kStateUploadRunning; }
    bool isFailed() const { return stateImage == kStateFailed; }
    const QString& failureReason() const { return entry.failureReason; }
};

class TransferQueue : public QObject {
    Q_OBJECT
public:
    // ui answers the duplicate and delete questions; icons gives image
    // indexes (both may be null: no question means "No", no icon is -1).
    explicit TransferQueue(UserInteraction* ui = nullptr, IconCache* icons = nullptr, QObject* parent = nullptr);
    ~TransferQueue() override;

    // Adds one entry at the end; size -1 is a folder. A source already in
    // the queue (compared ignoring case) is added only when the person says
    // Yes to the duplicate question. Returns whether it was added.
    // date: the source's modification time when it is known (a listed
    // remote file), shown when the target exists; 0 otherwise.
    bool AddToTransferQueue(const QString& from, const QString& to, qint64 size, bool openAfter, bool viewAfter,
                            bool upload, const QString& serverAddress = QString(), double date = 0.0);
    void RemoveQueueEntry(int index);
    // A transfer that succeeded leaves the queue and counts in the totals.
    void completeEntry(int index);
    // The running entry's progress (see QueueRow); emits progressChanged.
    void setProgress(int index, qint64 bytesMoved, qint64 resumeAt);
    // What the queue has done since its totals were last reset: files and
    // bytes of the entries that completed.
    int filesDone() const { return m_filesDone; }
    qint64 bytesDone() const { return m_bytesDone; }
    // Of bytesDone, what was moved (the restart offsets of resumed files
    // left out): the rate of the run is made of these.
    qint64 bytesMovedDone() const { return m_bytesMovedDone; }
    void resetTotals();
    void clear();
    // Puts back a row kept from the last run, as it was: no duplicate
    // question (it was answered when the entry was first added). A row
    // without an image gets the one of its name.
    void appendRow(QueueRow row);

    int count() const { return int(m_rows.size()); }
    bool isEmpty() const { return m_rows.empty(); }
    const QueueRow& row(int index) const { return m_rows[size_t(index)]; }
    QueueRow& row(int index) { return m_rows[size_t(index)]; }
    void setStateImage(int index, int stateImage);

    // The entry the queue works on: the running one, else the first waiting
    // one; -1 when only failed entries (or none) are left. Failed entries may
    // stand above it, waiting ones never do (see retryFailed and moveUp).
    int headIndex() const;
    // With several connections more than one entry runs at once: the first
    // waiting entry at or after `from` (-1: none), and the entry running on
    // a connection (0 the browsing one; -1: none).
    int nextWaiting(int from = 0) const;
    int runningOn(int connection) const;
    // Entries still to transfer (waiting or running).
    bool hasPending() const { return count() > m_failed; }
    int failedCount() const { return m_failed; }

    // A failed transfer stays where it is with its reason; its start time is
    // cleared. Retrying puts every failed entry back at the end of the queue,
    // waiting, with its reason and its decided action cleared (the target
    // may have changed meanwhile); returns how many.
    void markFailed(int index, const QString& reason);
    int retryFailed();
    int removeFailed();
    // Gives every entry but `except` the same action ("Apply to entire queue").
    void applyActionToAll(qint32 action, int except);

    // Activity: active while the view has the window colour, inactive with
    // the button-face colour. "Always active" keeps it active.
    bool isActive() const { return m_active; }
    void setActive(bool active);
    bool alwaysActive() const { return m_alwaysActive; }
    void setAlwaysActive(bool on);

    // The person's operations, with the rules of the queue view.
    void setSelected(int index, bool selected);
    void setFocused(int index);
    // Removes the selected waiting and failed rows (last to first). For a
    // selected running row it asks "Delete file entry that is currently being
    // transfered?"; returns true when the answer was Yes, and the caller then
    // ends those transfers (the completion of an aborted transfer removes it).
    bool deleteSelected();
    void moveUp();
    void moveDown();
    void swapRows(int a, int b);

signals:
    void rowInserted(int index);
    void rowRemoved(int index);
    void rowChanged(int index);
    void progressChanged(int index);
    void rowsSwapped(int a, int b);
    void cleared();
    void activityChanged(bool active);
    void scrollTo(int index);

private:
    UserInteraction* m_ui;
    IconCache* m_icons;
    std::deque<QueueRow> m_rows;    // the head leaves in constant time
    QHash<QString, int> m_sources;  // lower-cased source -> number of rows with it
    int m_failed = 0;               // rows in kStateFailed
    int m_filesDone = 0;
    qint64 m_bytesDone = 0;
    qint64 m_bytesMovedDone = 0;
    bool m_active = false;
    bool m_alwaysActive = false;
};

// The wildcard search: the mask is matched from the name's first character;
// "*" is any run of characters (also none), "#" one decimal digit, any other
// character itself. It succeeds once the whole mask is matched, so trailing
// text in the name is allowed ("*.txt" matches "a.txt.bak").
bool WildcardMatch(const QString& mask, const QString& name);

// sASCIIFiles split at the byte 0xFF (empty pieces dropped); true when a mask
// matches the name.
bool IsAsciiFile(const QString& name, const QByteArray& asciiMasks);

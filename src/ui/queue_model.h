#pragma once

// The transfer queue's rows as a table for qLv: "Transfer From",
// "Transfer To", "Size" (right-aligned) and "Status" (a running transfer's
// progress, or why a transfer failed), the state image (download or upload,
// running or waiting, or failed) beside the file's small icon. The rows live
// in the session's TransferQueue; this adapter only reads them and follows
// its signals.

#include <QAbstractTableModel>
#include <QHash>
#include <QIcon>
#include <QPixmap>

#include <functional>

class SystemIconSource;
class TransferQueue;
struct QueueRow;

class QueueModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { FromColumn = 0, ToColumn = 1, SizeColumn = 2, StatusColumn = 3, ColumnCount = 4 };
    // The state image of a row (kStateDownloadRunning ... ) under this role.
    static constexpr int StateImageRole = Qt::UserRole + 1;
    // A running row's percent (0 to 100) under this role in the Status
    // column, for its bar; -1 for a row that does not run.
    static constexpr int ProgressRole = Qt::UserRole + 2;

    QueueModel(const TransferQueue& queue, SystemIconSource* images = nullptr, QObject* parent = nullptr);

    const TransferQueue& queue() const { return m_queue; }
    // The clock the rows' start times are read against (days, as the
    // session's); the wall clock unless set.
    void setClock(std::function<double()> now) { m_now = std::move(now); }
    // Sizes as the panes show them (human-readable or whole bytes).
    void setHumanSizes(bool on);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // The pictures of the states: a green arrow for a running transfer, a
    // grey one for a waiting one, pointing down for downloads and up for
    // uploads, a red cross for a failed one. Any other state gives a null
    // pixmap.
    static QPixmap stateImage(int state);
    static QPixmap failedImage();

signals:
    // Two rows changed places (the queue's move up and down).
    void rowsSwapped(int a, int b);

private:
    QIcon rowIcon(int stateImage, int imageIndex) const;

    QString statusText(const QueueRow& row) const;

    const TransferQueue& m_queue;
    std::function<double()> m_now;
    SystemIconSource* m_images;
    // The number of rows the views know of; it trails the queue between a
    // change and the signal that announces it.
    int m_count = 0;
    int m_changedRow = -1;
    int m_shift = 0;  // +1 inside an insertion, -1 inside a removal
    bool m_humanSizes = false;
    mutable QHash<qint64, QIcon> m_icons;
};

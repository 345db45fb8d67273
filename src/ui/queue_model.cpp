#include "ui/queue_model.h"

#include "listing/entry_date.h"
#include "listing/size_format.h"
#include "queue/queue_progress.h"
#include "queue/transfer_queue.h"
#include "ui/icon_provider.h"

#include <QDateTime>
#include <QLocale>

#include <QPainter>
#include <QPainterPath>

namespace {

constexpr int kImageSize = 16;

}  // namespace

QueueModel::QueueModel(const TransferQueue& queue, SystemIconSource* images, QObject* parent)
    : QAbstractTableModel(parent), m_queue(queue), m_now([] { return entryDateFromDateTime(QDateTime::currentDateTime()); }),
      m_images(images), m_count(queue.count())
{
    // The queue announces a change after making it; until the views have
    // been told, rows are read as they were before it.
    connect(&queue, &TransferQueue::rowInserted, this, [this](int row) {
        m_changedRow = row;
        m_shift = 1;
        beginInsertRows(QModelIndex(), row, row);
        ++m_count;
        m_shift = 0;
        endInsertRows();
    });
    connect(&queue, &TransferQueue::rowRemoved, this, [this](int row) {
        m_changedRow = row;
        m_shift = -1;
        beginRemoveRows(QModelIndex(), row, row);
        --m_count;
        m_shift = 0;
        endRemoveRows();
    });
    connect(&queue, &TransferQueue::cleared, this, [this] {
        beginResetModel();
        m_count = 0;
        endResetModel();
    });
    connect(&queue, &TransferQueue::rowChanged, this,
            [this](int row) { emit dataChanged(index(row, 0), index(row, ColumnCount - 1)); });
    // Every tick of a running transfer: only its Status cell.
    connect(&queue, &TransferQueue::progressChanged, this, [this](int row) {
        if (row >= 0 && row < m_count)
            emit dataChanged(index(row, StatusColumn), index(row, StatusColumn), {Qt::DisplayRole, ProgressRole});
    });
    connect(&queue, &TransferQueue::rowsSwapped, this, [this](int a, int b) {
        emit dataChanged(index(a, 0), index(a, ColumnCount - 1));
        emit dataChanged(index(b, 0), index(b, ColumnCount - 1));
        emit rowsSwapped(a, b);
    });
}

int QueueModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : m_count; }

int QueueModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColumnCount; }

void QueueModel::setHumanSizes(bool on)
{
    if (on == m_humanSizes)
        return;
    m_humanSizes = on;
    if (m_count > 0)
        emit dataChanged(index(0, SizeColumn), index(m_count - 1, SizeColumn), {Qt::DisplayRole});
}

QVariant QueueModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    int at = index.row();
    if (m_shift != 0 && at >= m_changedRow) {
        if (m_shift < 0 && at == m_changedRow)
            return {};  // the removed row is gone already
        at += m_shift;
    }
    if (at >= m_queue.count())
        return {};
    const QueueRow& row = m_queue.row(at);
    switch (role) {
    case Qt::DisplayRole:
        switch (index.column()) {
        case FromColumn:
            return row.caption();
        case ToColumn:
            return row.toText();
        case SizeColumn:
            // A folder has no size; a file's in the unit the panes use (the
            // whole bytes of sizeText, grouped, in the KB mode).
            if (row.isFolder())
                return QString();
            return m_humanSizes ? FormatSizeHuman(row.entry.size) : QLocale().toString(row.entry.size);
        case StatusColumn:
            return statusText(row);
        }
        break;
    case Qt::DecorationRole:
        if (index.column() == FromColumn)
            return rowIcon(row.stateImage, row.imageIndex);
        break;
    case Qt::ForegroundRole:
        if (row.isFailed())
            return QColor(192, 0, 0);
        break;
    case Qt::ToolTipRole:
        if (row.isFailed())
            return row.failureReason();
        if (row.isRunning() && index.column() == StatusColumn)
            return statusText(row);
        break;
    case Qt::TextAlignmentRole:
        if (index.column() == SizeColumn)
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        break;
    case StateImageRole:
        return row.stateImage;
    case ProgressRole:
        return index.column() == StatusColumn ? rowProgressPercent(row) : -1;
    }
    return {};
}

QString QueueModel::statusText(const QueueRow& row) const
{
    if (row.isFailed())
        return QStringLiteral("Failed: ") + row.failureReason();
    if (!row.isRunning())
        return QString();
    const double start = row.entry.startTime;
    return rowProgressText(row, start == -1.0 ? -1.0 : (m_now() - start) * kSecondsPerDay);
}

QVariant QueueModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal)
        return {};
    if (role == Qt::DisplayRole) {
        switch (section) {
        case FromColumn:
            return QStringLiteral("Transfer From");
        case ToColumn:
            return QStringLiteral("Transfer To");
        case SizeColumn:
            return QStringLiteral("Size");
        case StatusColumn:
            return QStringLiteral("Status");
        }
    } else if (role == Qt::TextAlignmentRole && section == SizeColumn) {
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    }
    return {};
}

Qt::ItemFlags QueueModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

QPixmap QueueModel::stateImage(int state)
{
    if (state == kStateFailed)
        return failedImage();
    if (state < 0 || state > 3)
        return QPixmap();
    const bool running = state == 0 || state == 1;
    const bool upload = state == 1 || state == 3;
    QPixmap pixmap(kImageSize, kImageSize);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    // An arrow pointing down: shaft from the top, head at the bottom.
    QPainterPath arrow;
    arrow.moveTo(6, 1);
    arrow.lineTo(10, 1);
    arrow.lineTo(10, 8);
    arrow.lineTo(14, 8);
    arrow.lineTo(8, 15);
    arrow.lineTo(2, 8);
    arrow.lineTo(6, 8);
    arrow.closeSubpath();
    if (upload) {
        painter.translate(0, kImageSize);
        painter.scale(1, -1);
    }
    const QColor fill = running ? QColor(0, 160, 0) : QColor(200, 200, 200);
    const QColor edge = running ? QColor(0, 90, 0) : QColor(110, 110, 110);
    painter.setPen(QPen(edge, 1));
    painter.setBrush(fill);
    painter.drawPath(arrow);
    return pixmap;
}

QPixmap QueueModel::failedImage()
{
    QPixmap pixmap(kImageSize, kImageSize);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(200, 0, 0), 3, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(3.5, 3.5), QPointF(12.5, 12.5));
    painter.drawLine(QPointF(12.5, 3.5), QPointF(3.5, 12.5));
    return pixmap;
}

QIcon QueueModel::rowIcon(int stateImage, int imageIndex) const
{
    const qint64 key = qint64(stateImage) << 32 | quint32(imageIndex);
    const auto it = m_icons.constFind(key);
    if (it != m_icons.constEnd())
        return it.value();
    // The state image stands left of the file's own icon, as one picture.
    QPixmap both(2 * kImageSize + 2, kImageSize);
    both.fill(Qt::transparent);
    {
        QPainter painter(&both);
        painter.drawPixmap(0, 0, QueueModel::stateImage(stateImage));
        if (m_images)
            painter.drawPixmap(kImageSize + 2, 0, m_images->icon(imageIndex).pixmap(kImageSize, kImageSize));
    }
    const QIcon icon(both);
    m_icons.insert(key, icon);
    return icon;
}

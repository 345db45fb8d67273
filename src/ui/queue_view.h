#pragma once

// qLv: the transfer queue on the screen. Its background is the queue's
// activity as the person sees it: the window colour while the queue is
// active, the button-face colour while it is inactive. The selection of the
// view and the rows' selected flags in TransferQueue are kept the same both
// ways, because the queue's move and delete rules work on those flags: the
// view follows the rows, and says what the person selected through
// rowSelectionEdited and focusEdited (the window passes it to the session).
// A running row's Status cell is a bar with its progress.

#include "store/program_data.h"

#include <QTreeView>

#include <array>

class QueueModel;
class TransferQueue;

class QueueView : public QTreeView {
    Q_OBJECT
public:
    // Empty and inactive until a queue model is given.
    explicit QueueView(QWidget* parent = nullptr);

    // Shows the model's queue from now on; the model must outlive the view
    // or be detached with nullptr first.
    void setQueueModel(QueueModel* model);
    QueueModel* queueModel() const { return m_model; }

    // The colour the background shows now.
    QColor backgroundColor() const;
    // The colours for the two states on this desktop.
    QColor activeColor() const;
    QColor inactiveColor() const;
    void showActivity(bool active);

    std::array<qint32, ProgramData::QueueColumnCount> columnWidths() const;
    void setColumnWidths(const std::array<qint32, ProgramData::QueueColumnCount>& widths);

signals:
    void rowSelectionEdited(int row, bool selected);
    void focusEdited(int row);  // -1: no row has the focus

private:
    void pushSelectionToQueue(const QItemSelection& selected, const QItemSelection& deselected);
    void pullSelectionFromQueue(int row);

    QueueModel* m_model = nullptr;
    QList<QMetaObject::Connection> m_connections;
    bool m_syncing = false;
    // The widths to give the columns while no model (and so no header
    // section) exists.
    // The last one, "Status", takes the rest of the width.
    std::array<qint32, 4> m_widths{140, 140, 60, 150};
};

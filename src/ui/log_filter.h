#pragma once

// The log window's filter: all lines, the browsing connection's (with the
// program's own), or one transfer connection's. A choice for a transfer
// connection appears with the first line of it, in the log's own tag
// ("Transfer [2]" for the lines shown with "[2] ").

#include <QComboBox>

class LogModel;
struct LogLine;

class LogFilterBox : public QComboBox {
    Q_OBJECT
public:
    explicit LogFilterBox(QWidget* parent = nullptr);

    // Offers the connections of log's lines, now and as they come; null
    // detaches (the choices stay).
    void followLog(const LogModel* log);
    // The connection chosen: LogView::AllConnections, 0 or k.
    int connection() const;
    // The highest transfer connection offered.
    int highestConnection() const { return count() - 2; }

signals:
    void connectionChosen(int connection);

private:
    void offer(const LogLine& line);

    QList<QMetaObject::Connection> m_connections;
};

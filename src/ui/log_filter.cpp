#include "ui/log_filter.h"

#include "person/log_model.h"
#include "ui/log_view.h"

LogFilterBox::LogFilterBox(QWidget* parent) : QComboBox(parent)
{
    setObjectName(QStringLiteral("logFilter"));
    setToolTip(QStringLiteral("The log lines of every connection, or of one"));
    setSizeAdjustPolicy(QComboBox::AdjustToContents);
    addItem(QStringLiteral("All connections"), LogView::AllConnections);
    addItem(QStringLiteral("Browsing connection"), 0);
    connect(this, &QComboBox::currentIndexChanged, this, [this] { emit connectionChosen(connection()); });
}

void LogFilterBox::followLog(const LogModel* log)
{
    for (const auto& c : std::as_const(m_connections))
        disconnect(c);
    m_connections.clear();
    if (!log)
        return;
    for (const LogLine& line : log->lines())
        offer(line);
    m_connections << connect(log, &LogModel::lineAdded, this, &LogFilterBox::offer);
    m_connections << connect(log, &QObject::destroyed, this, [this] { m_connections.clear(); });
}

int LogFilterBox::connection() const { return currentData().toInt(); }

void LogFilterBox::offer(const LogLine& line)
{
    // Connections are numbered from 1 up as they open; one that logged
    // nothing yet is offered with the higher ones all the same.
    for (int k = highestConnection() + 1; k <= line.connection; ++k)
        addItem(QStringLiteral("Transfer ") + LogLine::connectionTag(k).trimmed(), k);
}

#pragma once

// The log window logwin: shows what the session's LogModel holds, each line
// with its prefix in its own colour, never more lines than the model keeps:
// all of them, or only those of one connection. Copy selected and Select
// all are the log actions' slots; Clear is the session's (the view only
// shows the log, it never changes it).

#include <QPlainTextEdit>

#include <deque>

class LogModel;
struct LogLine;

// A log text as the log window shows it: control characters (which came
// from the server, in a reply or a file name) appear as visible symbols, the
// C0 ones and DEL as their control pictures ("␍", "␛", "␉"), C1 as "�". Raw,
// a CR or LF would split the line and the others would vanish unseen.
QString visibleLogText(QStringView text);

class LogView : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit LogView(QWidget* parent = nullptr);

    // Shows model's lines and follows it from now on; null detaches.
    void setModel(const LogModel* model);
    const LogModel* model() const { return m_model; }

    // Only the lines of this connection (0 the browsing connection and the
    // program's own lines, k >= 1 transfer connection k), or all of them
    // with AllConnections. The lines the log keeps are shown again through
    // the new filter.
    static constexpr int AllConnections = -1;
    void setConnectionFilter(int connection);
    int connectionFilter() const { return m_filter; }

    int lineCount() const;
    QString lineText(int line) const;
    QColor lineColor(int line) const;

public slots:
    void copySelected();    // acLogCopyToClipboard
    void selectAllLines();  // acLogSelectAll
    void scrollToEnd();

private:
    bool passes(const LogLine& line) const;
    void setTabStopCharacters(int characters);
    void lineAdded(const LogLine& line);
    void appendLine(const LogLine& line);
    void firstLineRemoved();
    void removeFirstLine();
    void modelCleared();
    void rebuild();

    const LogModel* m_model = nullptr;
    int m_filter = AllConnections;
    bool m_tagged = false;  // a line of a transfer connection was seen
    // One flag per line of the model, oldest first: whether it is shown.
    // The model's removal of its first line says nothing of that line, and
    // only a shown one takes a line of the view with it.
    std::deque<bool> m_shown;
    QList<QMetaObject::Connection> m_connections;
};

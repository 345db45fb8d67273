#pragma once

// The log window logwin: shows what the session's LogModel holds, each line
// with its prefix in its own colour, never more lines than the model keeps.
// Clear, Copy selected and Select all are the log actions' slots.

#include <QPlainTextEdit>

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
    void setModel(LogModel* model);
    LogModel* model() const { return m_model; }

    int lineCount() const;
    QString lineText(int line) const;
    QColor lineColor(int line) const;

public slots:
    void clearLog();        // acLogClear: empties the model too
    void copySelected();    // acLogCopyToClipboard
    void selectAllLines();  // acLogSelectAll
    void scrollToEnd();

private:
    void appendLine(const LogLine& line);
    void removeFirstLine();
    void rebuild();

    LogModel* m_model = nullptr;
    QList<QMetaObject::Connection> m_connections;
};

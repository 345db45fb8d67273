#include "ui/log_view.h"

#include "person/log_model.h"

#include <QScrollBar>
#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>

namespace {

// The prefixes end in a tab ("FTP Cmd\t:> "); a stop wide enough for
// "FTP Cmd" keeps the texts of all lines in one column. Once lines of
// transfer connections come, tagged "[2] FTP Cmd", the stop moves out by the
// tag's width, for every line.
constexpr int kTabStopCharacters = 9;
constexpr int kTaggedTabStopCharacters = 14;

}  // namespace

QString visibleLogText(QStringView text)
{
    QString out = text.toString();
    for (QChar& c : out) {
        const char16_t u = c.unicode();
        if (u < 0x20)
            c = QChar(char16_t(0x2400 + u));  // the Control Pictures block
        else if (u == 0x7F)
            c = QChar(char16_t(0x2421));
        else if (u >= 0x80 && u < 0xA0)
            c = QChar(char16_t(0xFFFD));
    }
    return out;
}

LogView::LogView(QWidget* parent) : QPlainTextEdit(parent)
{
    setObjectName(QStringLiteral("logwin"));
    setReadOnly(true);
    setUndoRedoEnabled(false);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setTabStopCharacters(kTabStopCharacters);
}

void LogView::setTabStopCharacters(int characters)
{
    setTabStopDistance(fontMetrics().horizontalAdvance(QLatin1Char('x')) * characters);
}

void LogView::setModel(const LogModel* model)
{
    for (const auto& connection : std::as_const(m_connections))
        disconnect(connection);
    m_connections.clear();
    m_model = model;
    if (model) {
        m_connections << connect(model, &LogModel::lineAdded, this, &LogView::lineAdded)
                      << connect(model, &LogModel::firstLineRemoved, this, &LogView::firstLineRemoved)
                      << connect(model, &LogModel::cleared, this, &LogView::modelCleared)
                      << connect(model, &LogModel::scrollToEnd, this, &LogView::scrollToEnd)
                      << connect(model, &QObject::destroyed, this, [this] {
                             m_model = nullptr;
                             m_shown.clear();
                         });
    }
    rebuild();
}

void LogView::setConnectionFilter(int connection)
{
    if (connection == m_filter)
        return;
    m_filter = connection;
    rebuild();
}

bool LogView::passes(const LogLine& line) const { return m_filter == AllConnections || line.connection == m_filter; }

int LogView::lineCount() const { return document()->isEmpty() ? 0 : document()->blockCount(); }

QString LogView::lineText(int line) const { return document()->findBlockByNumber(line).text(); }

QColor LogView::lineColor(int line) const
{
    const QTextBlock block = document()->findBlockByNumber(line);
    const auto it = block.begin();
    return it.atEnd() ? QColor() : it.fragment().charFormat().foreground().color();
}

void LogView::copySelected() { copy(); }

void LogView::selectAllLines() { selectAll(); }

void LogView::scrollToEnd()
{
    // The scroll bar, not the cursor: moving the cursor would drop a
    // selection the person is making while lines arrive.
    QScrollBar* bar = verticalScrollBar();
    bar->setValue(bar->maximum());
}

void LogView::lineAdded(const LogLine& line)
{
    if (line.connection > 0 && !m_tagged) {
        m_tagged = true;
        setTabStopCharacters(kTaggedTabStopCharacters);
    }
    const bool shown = passes(line);
    m_shown.push_back(shown);
    if (shown)
        appendLine(line);
}

void LogView::firstLineRemoved()
{
    if (m_shown.empty())
        return;
    const bool shown = m_shown.front();
    m_shown.pop_front();
    if (shown)
        removeFirstLine();
}

void LogView::modelCleared()
{
    m_shown.clear();
    clear();
}

void LogView::appendLine(const LogLine& line)
{
    QTextCharFormat format;
    format.setForeground(QColor(line.color.red, line.color.green, line.color.blue));
    // Written at the end without moving the person's cursor or selection, so
    // a copy in progress is not disturbed by arriving lines.
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    if (!document()->isEmpty())
        cursor.insertBlock(QTextBlockFormat(), format);
    cursor.insertText(LogLine::connectionTag(line.connection) + line.prefix + visibleLogText(line.text), format);
}

void LogView::removeFirstLine()
{
    if (document()->blockCount() <= 1) {
        clear();
        return;
    }
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::Start);
    cursor.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
}

void LogView::rebuild()
{
    clear();
    m_shown.clear();
    if (!m_model)
        return;
    for (const LogLine& line : m_model->lines())
        lineAdded(line);
    if (m_model->autoScroll())
        scrollToEnd();
}

#include "ui/log_view.h"

#include "person/log_model.h"

#include <QScrollBar>
#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>

namespace {

// The prefixes end in a tab ("FTP Cmd\t:> "); a stop wide enough for
// "FTP Cmd" keeps the texts of all lines in one column.
constexpr int kTabStopCharacters = 9;

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
    setTabStopDistance(fontMetrics().horizontalAdvance(QLatin1Char('x')) * kTabStopCharacters);
}

void LogView::setModel(LogModel* model)
{
    for (const auto& connection : std::as_const(m_connections))
        disconnect(connection);
    m_connections.clear();
    m_model = model;
    if (model) {
        m_connections << connect(model, &LogModel::lineAdded, this, &LogView::appendLine)
                      << connect(model, &LogModel::firstLineRemoved, this, &LogView::removeFirstLine)
                      << connect(model, &LogModel::cleared, this, &QPlainTextEdit::clear)
                      << connect(model, &LogModel::scrollToEnd, this, &LogView::scrollToEnd)
                      << connect(model, &QObject::destroyed, this, [this] { m_model = nullptr; });
    }
    rebuild();
}

int LogView::lineCount() const { return document()->isEmpty() ? 0 : document()->blockCount(); }

QString LogView::lineText(int line) const { return document()->findBlockByNumber(line).text(); }

QColor LogView::lineColor(int line) const
{
    const QTextBlock block = document()->findBlockByNumber(line);
    const auto it = block.begin();
    return it.atEnd() ? QColor() : it.fragment().charFormat().foreground().color();
}

void LogView::clearLog()
{
    if (m_model)
        m_model->clear();  // the model's cleared signal empties the view
    else
        clear();
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
    if (!m_model)
        return;
    for (const LogLine& line : m_model->lines())
        appendLine(line);
    if (m_model->autoScroll())
        scrollToEnd();
}

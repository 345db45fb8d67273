#include "person/log_model.h"

#include "person/user_interaction.h"

namespace {

// The marker may arrive as the single code-page byte 0xA7 or as the UTF-8
// form of the section sign; both mean a status line.
qsizetype markerLength(const QByteArray& text)
{
    if (text.startsWith("\xC2\xA7"))
        return 2;
    return 1;
}

}  // namespace

LogLine formatLogLine(const QByteArray& markedText)
{
    LogLine line;
    if (markedText.isEmpty())
        return line;
    const qsizetype markLen = markerLength(markedText);
    const char marker = markLen == 2 ? kStatusMarker : markedText[0];
    const QByteArray rest = markedText.mid(markLen);
    line.text = QString::fromUtf8(rest);
    if (rest.startsWith("220") || rest.startsWith("230")) {
        line.prefix = QStringLiteral("\t:> ");
        line.color = logcolors::Black;
    } else if (marker == '>') {
        line.prefix = QStringLiteral("FTP Cmd\t:> ");
        line.color = logcolors::Green;
    } else if (marker == '!') {
        line.prefix = QStringLiteral("\t:> ");
        line.color = logcolors::Red;
    } else if (marker == kStatusMarker) {
        line.prefix = QStringLiteral("Status\t:> ");
        line.color = logcolors::Blue;
    } else {
        line.prefix = QStringLiteral("\t:> ");
        line.color = logcolors::Black;
    }
    return line;
}

std::optional<QByteArray> protocolLineForLog(const QByteArray& engineLine)
{
    if (engineLine.isEmpty() || engineLine[0] == '!')
        return std::nullopt;
    QByteArray text = engineLine.mid(2, 999);
    if (text.toLower().startsWith("pass "))
        text = "PASS [** password not shown **]";
    return engineLine.left(1) + text;
}

LogModel::LogModel(UserInteraction* ui, QObject* parent) : QObject(parent), m_ui(ui) {}

void LogModel::WriteLog(const QByteArray& text, int connection)
{
    if (text.isEmpty() || !m_visible)
        return;
    try {
        if (m_lines.size() > kMaxLines - 1) {
            m_lines.pop_front();
            emit firstLineRemoved();
        }
        m_lines.push_back(formatLogLine(text));
        m_lines.back().connection = connection;
        emit lineAdded(m_lines.back());
        if (m_autoScroll)
            emit scrollToEnd();
    } catch (const std::exception& e) {
        if (m_ui)
            ReportBug(*m_ui,
                      QStringLiteral("LW01 (") + QString::fromUtf8(text) + QStringLiteral(") - (") +
                          QString::number(m_lines.size()) + QStringLiteral(")"),
                      QString::fromLocal8Bit(e.what()));
    }
}

void LogModel::clear()
{
    m_lines.clear();
    emit cleared();
}

#pragma once

// The session log: the dialogue with the server and the program's own status
// lines, each with a fixed prefix and colour, at most 500 lines. Headless:
// the window shows what this model holds.
//
// A line written to the log starts with a marker byte: '>' a command sent,
// '<' a reply line, '!' a note of the FTP engine, 0xA7 (the section sign) a
// status message of the program.

#include <QByteArray>
#include <QObject>
#include <QString>

#include <deque>
#include <optional>

class UserInteraction;

struct LogColor {
    int red = 0;
    int green = 0;
    int blue = 0;
    bool operator==(const LogColor&) const = default;
};

namespace logcolors {
constexpr LogColor Black{0, 0, 0};
constexpr LogColor Green{0, 128, 0};
constexpr LogColor Red{255, 0, 0};
constexpr LogColor Blue{0, 0, 255};
}  // namespace logcolors

struct LogLine {
    QString prefix;
    QString text;
    LogColor color;
    // The connection the line belongs to: 0 the browsing connection (or the
    // program itself), 1 and up a transfer connection, shown as "[1] ".
    int connection = 0;
    QString shown() const { return connectionTag(connection) + prefix + text; }
    static QString connectionTag(int connection)
    {
        return connection > 0 ? QLatin1Char('[') + QString::number(connection) + QStringLiteral("] ") : QString();
    }
};

// The section sign that marks the program's own status lines.
constexpr char kStatusMarker = '\xA7';

// Prefix and colour for one marked text (marker removed from the text).
LogLine formatLogLine(const QByteArray& markedText);

// What the engine's display event puts into the log: engine notes ("!") are
// not shown, the blank after the direction mark is dropped, the text is cut
// to 999 characters, and a PASS command never shows the password.
std::optional<QByteArray> protocolLineForLog(const QByteArray& engineLine);

class LogModel : public QObject {
    Q_OBJECT
public:
    static constexpr int kMaxLines = 500;

    explicit LogModel(UserInteraction* ui = nullptr, QObject* parent = nullptr);

    // Appends one marked line (see above) of a connection (see LogLine).
    // Empty text, or a log that is not visible, adds nothing.
    void WriteLog(const QByteArray& text, int connection = 0);

    void clear();
    const std::deque<LogLine>& lines() const { return m_lines; }
    int count() const { return static_cast<int>(m_lines.size()); }

    bool isVisible() const { return m_visible; }
    void setVisible(bool on) { m_visible = on; }
    bool autoScroll() const { return m_autoScroll; }
    void setAutoScroll(bool on) { m_autoScroll = on; }

signals:
    void firstLineRemoved();
    void lineAdded(const LogLine& line);
    void cleared();
    void scrollToEnd();  // only while auto scroll is on

private:
    UserInteraction* m_ui;
    std::deque<LogLine> m_lines;
    bool m_visible = true;
    bool m_autoScroll = true;
};

#include "engine/ftp_reply.h"

#include <QList>

#include <limits>

namespace ftpreply {

std::optional<QByteArray> takeLine(QByteArray& buffer, bool acceptLF, bool force)
{
    qsizetype end = -1;
    qsizetype skip = 0;
    if (acceptLF) {
        end = buffer.indexOf('\n');
        skip = 1;
    } else {
        end = buffer.indexOf("\r\n");
        skip = 2;
    }
    if (end < 0) {
        if (!force || buffer.isEmpty())
            return std::nullopt;
        end = buffer.size();
        skip = 0;
    }
    QByteArray line = buffer.left(end);
    buffer.remove(0, end + skip);
    while (!line.isEmpty() && (line.endsWith('\r') || line.endsWith('\n')))
        line.chop(1);
    return line;
}

bool isFinalLine(const QByteArray& line)
{
    if (line.isEmpty() || line[0] < '0' || line[0] > '9')
        return false;
    qsizetype i = 0;
    while (i < line.size() && line[i] >= '0' && line[i] <= '9')
        ++i;
    return i >= line.size() || line[i] != '-';
}

int replyCode(const QByteArray& line)
{
    qsizetype i = 0;
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r' || line[i] == '\n'))
        ++i;
    bool negative = false;
    if (i < line.size() && (line[i] == '-' || line[i] == '+')) {
        negative = line[i] == '-';
        ++i;
    }
    long long value = 0;
    while (i < line.size() && line[i] >= '0' && line[i] <= '9') {
        value = value * 10 + (line[i] - '0');
        if (value > 1000000000)
            break;  // nonsense; keep the number in range
        ++i;
    }
    return static_cast<int>(negative ? -value : value);
}

static qsizetype skipCode(const QByteArray& line)
{
    qsizetype i = 0;
    while (i < line.size() && line[i] >= '0' && line[i] <= '9')
        ++i;
    return i;
}

QByteArray quotedDirectory(const QByteArray& line)
{
    qsizetype i = line.indexOf('"', skipCode(line));
    if (i < 0)
        return {};
    QByteArray result;
    for (++i; i < line.size(); ++i) {
        if (line[i] == '"') {
            if (i + 1 < line.size() && line[i + 1] == '"') {
                result += '"';
                ++i;
            } else {
                break;
            }
        } else {
            result += line[i];
        }
    }
    return result;
}

std::optional<qint64> leadingNumber(const QByteArray& text, int* endPos)
{
    qsizetype i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    const qsizetype start = i;
    qint64 value = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        if (value > (std::numeric_limits<qint64>::max() - 9) / 10)
            return std::nullopt;  // overflow: not a size we can trust
        value = value * 10 + (text[i] - '0');
        ++i;
    }
    if (i == start)
        return std::nullopt;
    if (endPos)
        *endPos = static_cast<int>(i);
    return value;
}

qint64 sizeValue(const QByteArray& line) { return leadingNumber(line.mid(skipCode(line))).value_or(-1); }

std::optional<quint16> pasvPort(const QByteArray& reply)
{
    const qsizetype open = reply.indexOf('(');
    if (open < 0)
        return std::nullopt;
    const qsizetype close = reply.indexOf(')', open);
    if (close < 0)
        return std::nullopt;
    const QList<QByteArray> parts = reply.mid(open + 1, close - open - 1).split(',');
    if (parts.size() != 6)
        return std::nullopt;
    int values[6];
    for (int i = 0; i < 6; ++i) {
        bool ok = false;
        values[i] = parts[i].trimmed().toInt(&ok);
        if (!ok || values[i] < 0 || values[i] > 255)
            return std::nullopt;
    }
    const int port = values[4] * 256 + values[5];
    if (port == 0)
        return std::nullopt;
    return static_cast<quint16>(port);
}

QByteArray portCommand(quint32 ipv4, quint16 port)
{
    return "PORT " + QByteArray::number((ipv4 >> 24) & 0xFF) + ',' + QByteArray::number((ipv4 >> 16) & 0xFF) + ',' +
           QByteArray::number((ipv4 >> 8) & 0xFF) + ',' + QByteArray::number(ipv4 & 0xFF) + ',' +
           QByteArray::number(port >> 8) + ',' + QByteArray::number(port & 0xFF);
}

std::optional<quint16> epsvPort(const QByteArray& reply)
{
    const qsizetype open = reply.indexOf('(');
    if (open < 0 || reply.size() < open + 5)
        return std::nullopt;
    // The delimiter is any printable character (normally "|"), repeated.
    const char delim = reply[open + 1];
    if (delim < 33 || delim > 126 || reply[open + 2] != delim || reply[open + 3] != delim)
        return std::nullopt;
    const qsizetype end = reply.indexOf(delim, open + 4);
    if (end < 0 || end + 1 >= reply.size() || reply[end + 1] != ')')
        return std::nullopt;
    const QByteArray digits = reply.mid(open + 4, end - open - 4);
    if (digits.isEmpty() || digits.size() > 5)
        return std::nullopt;
    for (char c : digits)
        if (c < '0' || c > '9')
            return std::nullopt;
    const int port = digits.toInt();
    if (port < 1 || port > 65535)
        return std::nullopt;
    return static_cast<quint16>(port);
}

QByteArray eprtCommand(const QHostAddress& address, quint16 port)
{
    const bool v6 = address.protocol() == QAbstractSocket::IPv6Protocol;
    QHostAddress plain = address;
    plain.setScopeId(QString());  // "fe80::1%eth0" means nothing to the server
    return "EPRT |" + QByteArray(v6 ? "2" : "1") + "|" + plain.toString().toLatin1() + "|" + QByteArray::number(port) +
           "|";
}

QMap<QByteArray, QByteArray> parseFeatures(const QList<QByteArray>& replyLines)
{
    QMap<QByteArray, QByteArray> features;
    for (const QByteArray& line : replyLines) {
        if (!line.startsWith(' '))
            continue;
        const QByteArray text = line.trimmed();
        const qsizetype space = text.indexOf(' ');
        const QByteArray name = (space < 0 ? text : text.left(space)).toUpper();
        if (!name.isEmpty())
            features.insert(name, space < 0 ? QByteArray() : text.mid(space + 1).trimmed());
    }
    return features;
}

QByteArray mlstOptsCommand(const QByteArray& mlstParameters)
{
    static const char* const wanted[] = {"type", "size", "modify", "perm", "unix.mode"};
    QByteArray facts;
    bool missing = false;
    for (const QByteArray& offered : mlstParameters.split(';')) {
        const bool on = offered.endsWith('*');
        const QByteArray name = (on ? offered.chopped(1) : offered).toLower();
        for (const char* w : wanted) {
            if (name == w) {
                facts += name + ";";
                missing = missing || !on;
            }
        }
    }
    return missing ? "OPTS MLST " + facts : QByteArray();
}

QDateTime mdtmTime(const QByteArray& reply)
{
    const QByteArray text = reply.mid(skipCode(reply)).trimmed();
    if (text.size() < 14)
        return {};
    for (int i = 0; i < 14; ++i)
        if (text[i] < '0' || text[i] > '9')
            return {};
    const QDate date(text.mid(0, 4).toInt(), text.mid(4, 2).toInt(), text.mid(6, 2).toInt());
    const QTime time(text.mid(8, 2).toInt(), text.mid(10, 2).toInt(), text.mid(12, 2).toInt());
    if (!date.isValid() || !time.isValid())
        return {};
    return QDateTime(date, time, Qt::UTC);
}

QByteArray timeValue(const QDateTime& time)
{
    return time.toUTC().toString(QStringLiteral("yyyyMMddHHmmss")).toLatin1();
}

}  // namespace ftpreply

#include "cli/netrc.h"

#include <QList>

namespace {

class Tokenizer {
public:
    explicit Tokenizer(QByteArrayView text) : m_text(text) {}

    // The next token; nullopt at the end.
    std::optional<QByteArray> next()
    {
        bool lineStart = m_pos == 0 || m_afterNewline;
        m_afterNewline = false;
        while (m_pos < m_text.size() && isBlank(m_text[m_pos])) {
            if (m_text[m_pos] == '\n')
                lineStart = true;
            ++m_pos;
        }
        if (m_pos >= m_text.size())
            return std::nullopt;
        if (lineStart && m_text[m_pos] == '#') {
            skipLine();
            return next();
        }
        QByteArray token;
        if (m_text[m_pos] == '"')
            token = quoted();
        else
            while (m_pos < m_text.size() && !isBlank(m_text[m_pos]))
                token += m_text[m_pos++];
        return token;
    }

    // A macro definition's body: every line up to the next empty one.
    void skipMacro()
    {
        skipLine();
        while (m_pos < m_text.size()) {
            const qsizetype end = m_text.indexOf('\n', m_pos);
            const QByteArrayView line = m_text.sliced(m_pos, (end < 0 ? m_text.size() : end) - m_pos);
            m_pos = end < 0 ? m_text.size() : end + 1;
            if (line.trimmed().isEmpty())
                break;
        }
        m_afterNewline = true;
    }

private:
    static bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

    void skipLine()
    {
        const qsizetype end = m_text.indexOf('\n', m_pos);
        m_pos = end < 0 ? m_text.size() : end + 1;
        m_afterNewline = true;
    }

    QByteArray quoted()
    {
        QByteArray out;
        ++m_pos;  // the opening quote
        while (m_pos < m_text.size() && m_text[m_pos] != '"') {
            char c = m_text[m_pos++];
            if (c == '\\' && m_pos < m_text.size()) {
                c = m_text[m_pos++];
                c = c == 'n' ? '\n' : c == 'r' ? '\r' : c == 't' ? '\t' : c;
            }
            out += c;
        }
        ++m_pos;  // the closing quote, if any
        return out;
    }

    QByteArrayView m_text;
    qsizetype m_pos = 0;
    bool m_afterNewline = false;
};

struct Entry {
    QString machine;  // empty for "default"
    bool isDefault = false;
    NetrcEntry values;
};

QList<Entry> parse(QByteArrayView text)
{
    QList<Entry> entries;
    Tokenizer tokens(text);
    while (std::optional<QByteArray> token = tokens.next()) {
        const QByteArray& word = *token;
        if (word == "machine" || word == "default") {
            Entry e;
            e.isDefault = word == "default";
            if (!e.isDefault) {
                const std::optional<QByteArray> name = tokens.next();
                if (!name)
                    break;
                e.machine = QString::fromUtf8(*name);
            }
            entries.append(e);
        } else if (word == "macdef") {
            tokens.next();  // the macro's name
            tokens.skipMacro();
        } else if (word == "login" || word == "password" || word == "account") {
            const std::optional<QByteArray> value = tokens.next();
            if (!value)
                break;
            if (entries.isEmpty() || word == "account")
                continue;  // a value before any machine belongs to none
            NetrcEntry& v = entries.last().values;
            if (word == "login") {
                v.login = QString::fromUtf8(*value);
            } else {
                v.password = QString::fromUtf8(*value);
                v.hasPassword = true;
            }
        }
        // Anything else is a word this format does not know; skipped.
    }
    return entries;
}

bool fits(const Entry& e, const QString& user)
{
    return user.isEmpty() || e.values.login.isEmpty() || e.values.login == user;
}

}  // namespace

std::optional<NetrcEntry> netrcLookup(QByteArrayView text, const QString& host, const QString& user)
{
    const QList<Entry> entries = parse(text);
    for (const Entry& e : entries)
        if (!e.isDefault && e.machine.compare(host, Qt::CaseInsensitive) == 0 && fits(e, user))
            return e.values;
    for (const Entry& e : entries)
        if (e.isDefault && fits(e, user))
            return e.values;
    return std::nullopt;
}

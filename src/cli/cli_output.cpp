#include "cli/cli_output.h"

#include "listing/entry_date.h"
#include "listing/pane_sort.h"

QString escapeControls(QStringView text, bool escapeBackslash)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u == u'\\' && escapeBackslash) {
            out += QLatin1String("\\\\");
            continue;
        }
        if (c.category() != QChar::Other_Control) {
            out += c;
            continue;
        }
        switch (u) {
        case u'\a':
            out += QLatin1String("\\a");
            break;
        case u'\b':
            out += QLatin1String("\\b");
            break;
        case u'\t':
            out += QLatin1String("\\t");
            break;
        case u'\n':
            out += QLatin1String("\\n");
            break;
        case u'\v':
            out += QLatin1String("\\v");
            break;
        case u'\f':
            out += QLatin1String("\\f");
            break;
        case u'\r':
            out += QLatin1String("\\r");
            break;
        default:
            out += u < 0x80 ? QStringLiteral("\\x%1").arg(int(u), 2, 16, QLatin1Char('0'))
                            : QStringLiteral("\\u%1").arg(int(u), 4, 16, QLatin1Char('0'));
            break;
        }
    }
    return out;
}

QByteArray listingLine(const FolderEntry& row)
{
    const tEntry& e = row.entry;
    // A folder without a size shows 0: the column is always a number.
    const qint64 size = e.size < 0 ? 0 : e.size;
    const QDateTime when = entryDateToDateTime(e.date);
    QByteArray out;
    out += e.isFolder() ? "d" : "-";
    out += '\t' + QByteArray::number(size);
    out += '\t' + when.toString(QStringLiteral("yyyy-MM-dd HH:mm")).toUtf8();
    out += '\t' + QByteArray::number(e.attributes);
    out += '\t' + escapeControls(row.name, true).toUtf8();
    out += '\n';
    return out;
}

QByteArray listingText(FolderEntries rows)
{
    sortPaneEntries(rows, kSortByName);
    QByteArray out;
    out.reserve(qsizetype(rows.size()) * 48);
    for (const FolderEntry& row : rows)
        out += listingLine(row);
    return out;
}

QString progressLine(const TransferPanels& panels, int width)
{
    const int filled = std::clamp(panels.gauge * width / 100, 0, width);
    QString line = QLatin1Char('[') + QString(filled, QLatin1Char('#')) + QString(width - filled, QLatin1Char(' ')) +
                   QStringLiteral("] ") + panels.percent;
    if (!panels.rate.isEmpty())
        line += QStringLiteral("  ") + panels.rate;
    if (!panels.timeLeft.isEmpty())
        line += QStringLiteral("  ") + panels.timeLeft + QStringLiteral(" left");
    return line;
}

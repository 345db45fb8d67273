#include "listing/size_format.h"

#include "listing/entry_date.h"

#include <cmath>

QString FormatSizeKB(qint64 size, const QLocale& locale)
{
    if (size < 0)
        return QString();
    if (size == 0)
        return QStringLiteral("0KB");
    return locale.toString(qMax<qint64>(size / 1024, 1)) + QLatin1String("KB");
}

QString FormatSizeHuman(qint64 size, const QLocale& locale)
{
    if (size < 0)
        return QString();
    if (size < 1024)
        return locale.toString(size) + QLatin1String(" B");
    static const char* const units[] = {"KB", "MB", "GB", "TB"};
    double value = double(size) / 1024.0;
    int unit = 0;
    // 1023.96 KB would read "1,024.0 KB"; from there on the next unit.
    while (unit < 3 && value >= 1023.95) {
        value /= 1024.0;
        ++unit;
    }
    return locale.toString(value, 'f', 1) + QLatin1Char(' ') + QLatin1String(units[unit]);
}

QString FormatByteCount(qint64 size, const QLocale& locale) { return locale.toString(size) + QLatin1String(" bytes"); }

QString FormatEntryDate(double date, const QLocale& locale)
{
    if (!std::isfinite(date) || date <= 0.0)
        return QString();
    const QDateTime when = entryDateToDateTime(date);
    if (!when.isValid())
        return QString();
    return locale.toString(when.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
           locale.toString(when.time(), QLocale::ShortFormat);
}

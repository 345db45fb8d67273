#include "queue/size_format.h"

QString FormatSizeKB(qint64 size)
{
    if (size < 0)
        return QString();
    if (size == 0)
        return QStringLiteral("0KB");
    QString digits = QString::number(qMax<qint64>(size / 1024, 1));
    if (digits.size() > 3)
        digits.insert(digits.size() - 3, QLatin1Char('.'));
    return digits + QLatin1String("KB");
}

#include "listing/entry_date.h"

#include <cmath>
#include <limits>

namespace {

// Julian day number of 1899-12-30, day 0 of the entry dates.
constexpr qint64 kEpochJulianDay = 2415019;
constexpr double kMsecsPerDay = 86400000.0;

double fromDateAndTime(const QDate& date, const QTime& time)
{
    return double(date.toJulianDay() - kEpochJulianDay) + time.msecsSinceStartOfDay() / kMsecsPerDay;
}

}  // namespace

double entryDateFromParts(int year, int month, int day, int hour, int minute, int second)
{
    const QDate date(year, month, day);
    const QTime time(hour, minute, second);
    if (!date.isValid() || !time.isValid())
        return std::numeric_limits<double>::quiet_NaN();
    return fromDateAndTime(date, time);
}

double entryDateFromDateTime(const QDateTime& dateTime)
{
    if (!dateTime.isValid())
        return std::numeric_limits<double>::quiet_NaN();
    return fromDateAndTime(dateTime.date(), dateTime.time());
}

QDateTime entryDateToDateTime(double days)
{
    if (!std::isfinite(days))
        return {};
    const double whole = std::floor(days);
    qint64 msecs = std::llround((days - whole) * kMsecsPerDay);
    qint64 julian = qint64(whole) + kEpochJulianDay;
    if (msecs >= qint64(kMsecsPerDay)) {  // rounding up to the next midnight
        msecs = 0;
        ++julian;
    }
    return QDateTime(QDate::fromJulianDay(julian), QTime::fromMSecsSinceStartOfDay(int(msecs)));
}

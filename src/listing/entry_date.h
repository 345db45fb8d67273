#pragma once

// Entry dates are counted in days since 1899-12-30 00:00, the time of day
// being the fraction. They are wall-clock values without a time zone: a
// server lists its files in its own local time and never says which zone
// that is, so converting them would only pretend to a precision we lack.
// Local files are taken in the local wall clock the same way.

#include <QDateTime>

// Days from a calendar date and time; NaN when the parts are not a valid date or time.
double entryDateFromParts(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);

// The wall clock of a QDateTime (in whatever zone it is given) as days.
double entryDateFromDateTime(const QDateTime& dateTime);

// Days back to a local QDateTime with the same wall clock (to the millisecond).
QDateTime entryDateToDateTime(double days);

inline constexpr double kSecondsPerDay = 86400.0;

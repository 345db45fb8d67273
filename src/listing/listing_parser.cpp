#include "listing/listing_parser.h"

#include "listing/entry_date.h"
#include "listing/remote_names.h"

#include <QDateTime>

#include <cmath>
#include <cstring>

namespace {

// Words are kept as spans into the line so that the name, which may hold any
// number of blanks, can be taken as the whole rest of the line. Only the first
// few words are ever looked at (the time word of layout 6 is word 7), the rest
// are only counted.
constexpr int kKeptWords = 10;

struct Words {
    int begin[kKeptWords];
    int end[kKeptWords];
    int count = 0;

    QByteArrayView word(QByteArrayView line, int i) const { return line.sliced(begin[i], end[i] - begin[i]); }
};

void splitWords(QByteArrayView line, Words& words)
{
    const char* p = line.data();
    const qsizetype n = line.size();
    qsizetype i = 0;
    while (i < n) {
        while (i < n && p[i] == ' ')
            ++i;
        if (i == n)
            break;
        const qsizetype start = i;
        while (i < n && p[i] != ' ')
            ++i;
        if (words.count < kKeptWords) {
            words.begin[words.count] = int(start);
            words.end[words.count] = int(i);
        }
        ++words.count;
    }
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Non-negative decimal number of at most maxDigits digits, nothing else.
bool readNumber(QByteArrayView text, int maxDigits, qint64& value)
{
    if (text.isEmpty() || text.size() > maxDigits)
        return false;
    qint64 v = 0;
    for (char c : text) {
        if (!isDigit(c))
            return false;
        v = v * 10 + (c - '0');
    }
    value = v;
    return true;
}

bool readInt(QByteArrayView text, int maxDigits, int& value)
{
    qint64 v = 0;
    if (!readNumber(text, maxDigits, v))
        return false;
    value = int(v);
    return true;
}

// 1..12 for a three-letter English month abbreviation, else 0. Only whole
// words count: a group named "an" or "Ma" is not a month.
int monthNumber(QByteArrayView word)
{
    static const char kMonths[] = "JanFebMarAprMayJunJulAugSepOctNovDec";
    if (word.size() != 3)
        return 0;
    for (int m = 0; m < 12; ++m) {
        if (std::memcmp(kMonths + 3 * m, word.data(), 3) == 0)
            return m + 1;
    }
    return 0;
}

// "drwxr-xr-x"; GNU ls adds one more character for an ACL ("+"), an SELinux
// context (".") or extended attributes ("@"), which would otherwise hide
// every such file from the listing.
bool isPermissionWord(QByteArrayView word)
{
    if (word.size() == 10)
        return true;
    return word.size() == 11 && (word[10] == '+' || word[10] == '.' || word[10] == '@');
}

qint32 permissionNumber(QByteArrayView word)
{
    static const qint32 kWeights[9] = {400, 200, 100, 40, 20, 10, 4, 2, 1};
    qint32 sum = 0;
    for (int i = 0; i < 9; ++i) {
        if (word[i + 1] != '-')
            sum += kWeights[i];
    }
    return sum;
}

// "10:00", "9:05", "10:00:59".
bool readClock(QByteArrayView text, int& hour, int& minute, int& second)
{
    const qsizetype colon = text.indexOf(':');
    if (colon < 1)
        return false;
    QByteArrayView rest = text.sliced(colon + 1);
    second = 0;
    const qsizetype colon2 = rest.indexOf(':');
    if (colon2 >= 0) {
        if (!readInt(rest.sliced(colon2 + 1), 2, second))
            return false;
        rest = rest.first(colon2);
    }
    return readInt(text.first(colon), 2, hour) && rest.size() == 2 && readInt(rest, 2, minute);
}

// DOS time: "10:00AM", "12:30PM", or a 24-hour "22:15".
bool readDosClock(QByteArrayView text, int& hour, int& minute)
{
    int half = 0;  // 0 none, 1 AM, 2 PM
    if (text.size() > 2) {
        const char a = char(text[text.size() - 2] | 0x20);
        const char m = char(text[text.size() - 1] | 0x20);
        if ((a == 'a' || a == 'p') && m == 'm') {
            half = a == 'a' ? 1 : 2;
            text.chop(2);
        }
    }
    int second = 0;
    if (!readClock(text, hour, minute, second))
        return false;
    if (half != 0) {
        if (hour < 1 || hour > 12)
            return false;
        hour = hour % 12 + (half == 2 ? 12 : 0);
    }
    return true;
}

// A server cannot honestly list an empty name or one with "/" or NUL in it,
// and a "/" would later make a path that leaves the folder it belongs to.
bool acceptableName(QByteArrayView name) { return !name.isEmpty() && name.indexOf('/') < 0 && name.indexOf('\0') < 0; }

// Month word position for a layout given by the caller.
int monthWordOfLayout(quint8 layout)
{
    static const int kMonthWord[7] = {0, 3, 4, 4, 5, 5, 6};
    return kMonthWord[layout];
}

quint8 detectLayout(QByteArrayView line, const Words& words)
{
    const QByteArrayView first = words.word(line, 0);
    if (words.count >= 6 && isPermissionWord(first)) {
        // The month may stand up to the third word from the end: the day (or
        // the time), the time (or the name) and at least one word of the name
        // follow it. Months beyond word 6 fit no layout.
        const int last = qMin(words.count - 3, 6);
        for (int i = 2; i <= last; ++i) {
            if (monthNumber(words.word(line, i)) == 0)
                continue;
            qint64 day = 0;
            if (readNumber(words.word(line, i + 1), 2, day) && day < 32)
                return i >= 3 && i <= 5 ? quint8(2 * (i - 3) + 1) : 0;
            return i >= 4 && i <= 6 ? quint8(2 * (i - 4) + 2) : 0;
        }
        return 0;
    }
    if (words.count > 2 && first.size() == 8 && first[2] == '-' && first[5] == '-')
        return kLayoutDos;
    return 0;
}

QString decodedName(QByteArrayView raw, RemoteNames* names)
{
    return names ? names->decode(raw) : decodeRemoteName(raw);
}

bool parseUnix(QByteArrayView line, const Words& words, quint8 layout, const ListingNow& now, tFTP_ListEntry& entry,
               RemoteNames* names)
{
    const int month = monthWordOfLayout(layout);
    const bool dayAfterMonth = layout % 2 == 1;
    const int dayWord = dayAfterMonth ? month + 1 : month - 1;
    const int timeWord = dayAfterMonth ? month + 2 : month + 1;
    const int sizeWord = dayAfterMonth ? month - 1 : month - 2;
    if (timeWord >= words.count)
        return false;

    const QByteArrayView type = words.word(line, 0);
    if (isPermissionWord(type))
        entry.attributes = permissionNumber(type);
    const bool isLink = type[0] == 'l';
    entry.isFolder = type[0] == 'd' || isLink;
    entry.isLink = isLink;

    // ls separates the time-or-year column from the name by exactly one
    // blank, so any further blanks belong to the name.
    QByteArrayView name = line.sliced(qMin<qsizetype>(words.end[timeWord] + 1, line.size()));
    if (isLink) {
        const qsizetype arrow = name.indexOf(QByteArrayView(" -> "));
        if (arrow >= 0)
            name = name.first(arrow);
    }
    if (!acceptableName(name))
        return false;

    if (!readNumber(words.word(line, sizeWord), 18, entry.size))
        return false;

    const int monthNo = monthNumber(words.word(line, month));
    int day = 0;
    if (monthNo == 0 || !readInt(words.word(line, dayWord), 2, day))
        return false;
    const QByteArrayView timeOrYear = words.word(line, timeWord);
    double date = 0;
    if (timeOrYear.indexOf(':') >= 0) {
        int hour = 0, minute = 0, second = 0;
        if (!readClock(timeOrYear, hour, minute, second))
            return false;
        // Without a year ls means the most recent such date: a file listed
        // "Dec 20 10:00" in January is from last December. A day of slack
        // covers a server clock or time zone ahead of ours. Feb 29 goes back
        // to the last leap year rather than losing the file.
        int year = now.year;
        date = entryDateFromParts(year, monthNo, day, hour, minute, second);
        if (std::isnan(date) || date > now.days + 1.0) {
            date = std::nan("");
            for (int back = 1; back <= 8 && std::isnan(date); ++back)
                date = entryDateFromParts(year - back, monthNo, day, hour, minute, second);
        }
    } else {
        int year = 0;
        if (!readInt(timeOrYear, 4, year))
            return false;
        date = entryDateFromParts(year, monthNo, day);
    }
    if (std::isnan(date))
        return false;
    entry.date = date;
    entry.name = decodedName(name, names);
    return true;
}

bool parseDos(QByteArrayView line, const Words& words, const ListingNow& now, tFTP_ListEntry& entry, RemoteNames* names)
{
    if (words.count < 3)
        return false;
    const QByteArrayView stamp = words.word(line, 0);
    int month = 0, day = 0, year2 = 0, hour = 0, minute = 0;
    if (stamp.size() != 8 || stamp[2] != '-' || stamp[5] != '-' || !readInt(stamp.sliced(0, 2), 2, month) ||
        !readInt(stamp.sliced(3, 2), 2, day) || !readInt(stamp.sliced(6, 2), 2, year2) ||
        !readDosClock(words.word(line, 1), hour, minute))
        return false;

    const QByteArrayView sizeOrDir = words.word(line, 2);
    if (sizeOrDir == QByteArrayView("<DIR>")) {
        entry.isFolder = true;
        entry.size = -1;
    } else if (!readNumber(sizeOrDir, 18, entry.size)) {
        return false;
    }

    const QByteArrayView name = line.sliced(words.end[2]).trimmed();
    if (!acceptableName(name))
        return false;

    // Two-digit years: the current century unless that lies in the future
    // ("01-12-99" is 1999, not 2099), with the same day of slack as above.
    const int century = now.year / 100 * 100;
    double date = entryDateFromParts(century + year2, month, day, hour, minute);
    if (std::isnan(date) || date > now.days + 1.0)
        date = entryDateFromParts(century - 100 + year2, month, day, hour, minute);
    if (std::isnan(date))
        return false;
    entry.date = date;
    entry.name = decodedName(name, names);
    return true;
}

// "YYYYMMDDHHMMSS" with optional ".sss", UTC (RFC 3659 time-val).
bool readTimeVal(QByteArrayView text, QDateTime& time)
{
    if (text.size() < 14)
        return false;
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    if (!readInt(text.sliced(0, 4), 4, y) || !readInt(text.sliced(4, 2), 2, mo) || !readInt(text.sliced(6, 2), 2, d) ||
        !readInt(text.sliced(8, 2), 2, h) || !readInt(text.sliced(10, 2), 2, mi) || !readInt(text.sliced(12, 2), 2, s))
        return false;
    if (text.size() > 14) {
        qint64 fraction = 0;
        if (text[14] != '.' || !readNumber(text.sliced(15), 9, fraction))
            return false;
    }
    const QDate date(y, mo, d);
    const QTime clock(h, mi, qMin(s, 59));  // a leap second is the second before
    if (!date.isValid() || !clock.isValid())
        return false;
    time = QDateTime(date, clock, Qt::UTC);
    return true;
}

bool equalsLower(QByteArrayView a, const char* lower)
{
    const qsizetype n = qsizetype(std::strlen(lower));
    if (a.size() != n)
        return false;
    for (qsizetype i = 0; i < n; ++i)
        if (char(a[i] | 0x20) != lower[i] && a[i] != lower[i])
            return false;
    return true;
}

bool startsWithLower(QByteArrayView a, const char* lower)
{
    const qsizetype n = qsizetype(std::strlen(lower));
    return a.size() >= n && equalsLower(a.first(n), lower);
}

// "fact=value;fact=value; name": the facts, then one blank, then the name
// (which may hold blanks and semicolons of its own).
bool parseMlsd(QByteArrayView line, tFTP_ListEntry& entry, RemoteNames* names)
{
    const qsizetype blank = line.indexOf(' ');
    if (blank < 0)
        return false;
    const QByteArrayView facts = line.first(blank);
    const QByteArrayView name = line.sliced(blank + 1);
    if (!acceptableName(name))
        return false;
    bool haveType = false;
    bool haveSize = false;
    qsizetype start = 0;
    while (start < facts.size()) {
        qsizetype end = facts.indexOf(';', start);
        if (end < 0)
            end = facts.size();
        const QByteArrayView fact = facts.sliced(start, end - start);
        start = end + 1;
        const qsizetype eq = fact.indexOf('=');
        if (eq <= 0)
            continue;
        const QByteArrayView key = fact.first(eq);
        const QByteArrayView value = fact.sliced(eq + 1);
        if (equalsLower(key, "type")) {
            haveType = true;
            if (equalsLower(value, "cdir") || equalsLower(value, "pdir")) {
                entry.skip = true;
            } else if (equalsLower(value, "dir")) {
                entry.isFolder = true;
            } else if (startsWithLower(value, "os.unix=slink") || startsWithLower(value, "os.unix=symlink")) {
                // Shown and entered like a folder, never walked, as in LIST.
                entry.isFolder = true;
                entry.isLink = true;
            } else if (!equalsLower(value, "file")) {
                return false;  // a device or another kind nothing can be done with
            }
        } else if (equalsLower(key, "size") || equalsLower(key, "sizd")) {
            haveSize = readNumber(value, 18, entry.size) || haveSize;
        } else if (equalsLower(key, "modify")) {
            QDateTime time;
            if (readTimeVal(value, time)) {
                entry.exactTime = time.toSecsSinceEpoch();
                entry.date = entryDateFromDateTime(time.toLocalTime());
            }
        } else if (equalsLower(key, "unix.mode")) {
            // Octal; some servers write it the way Python does ("0o644").
            QByteArrayView digits = value;
            if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'o' || digits[1] == 'O'))
                digits = digits.sliced(2);
            qint64 mode = 0;
            bool ok = !digits.isEmpty() && digits.size() <= 7;
            for (char c : digits)
                ok = ok && c >= '0' && c <= '7';
            if (ok) {
                for (char c : digits)
                    mode = mode * 8 + (c - '0');
                // The permission number as LIST shows it: rwxr-xr-x is 755.
                entry.attributes = qint32(((mode >> 6) & 7) * 100 + ((mode >> 3) & 7) * 10 + (mode & 7));
            }
        }
    }
    if (!haveType)
        return false;
    if (!haveSize)
        entry.size = entry.isFolder ? -1 : 0;
    entry.name = decodedName(name, names);
    return true;
}

}  // namespace

ListingNow ListingNow::at(const QDateTime& localNow)
{
    ListingNow now;
    now.days = entryDateFromDateTime(localNow);
    now.year = localNow.date().year();
    return now;
}

ListingNow ListingNow::current() { return at(QDateTime::currentDateTime()); }

bool ParseListLine(QByteArrayView line, quint8 layout, tFTP_ListEntry& entry, const ListingNow& now, RemoteNames* names)
{
    entry.name.clear();
    entry.valid = false;
    entry.isFolder = false;
    entry.isLink = false;
    entry.size = 0;
    entry.date = 0.0;
    entry.attributes = -1;
    entry.layout = layout;
    entry.exactTime = std::numeric_limits<qint64>::min();
    entry.skip = false;

    if (layout == kLayoutMlsd) {
        entry.valid = parseMlsd(line, entry, names) && !entry.skip;
        if (!entry.valid) {
            entry.name.clear();
            entry.isFolder = entry.isLink = false;
            entry.size = 0;
            entry.date = 0.0;
            entry.attributes = -1;
            entry.exactTime = std::numeric_limits<qint64>::min();
        }
        return entry.valid;
    }

    Words words;
    splitWords(line, words);
    if (words.count == 0 || layout > kLayoutDos)
        return false;
    if (layout == kLayoutDetect)
        layout = detectLayout(line, words);
    if (layout == kLayoutDetect)
        return false;
    entry.layout = layout;

    const bool ok = layout == kLayoutDos ? parseDos(line, words, now, entry, names)
                                         : parseUnix(line, words, layout, now, entry, names);
    if (!ok) {
        entry.name.clear();
        entry.isFolder = false;
        entry.size = 0;
        entry.date = 0.0;
        entry.attributes = -1;
        return false;
    }
    entry.valid = true;
    return true;
}

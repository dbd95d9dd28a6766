#include "ftp/listingparser.h"

#include "core/codepage.h"
#include "ftp/listformatfields.h"
#include "ftp/listformatunix.h"

#include <QDateTime>

#include <array>
#include <limits>
#include <vector>

namespace {
// A listing line is cut to this many characters before it is split.
constexpr qsizetype kMaxLineLength = 255;
constexpr int kFieldCount = 8;
constexpr int kSizeField = 5;
constexpr qsizetype kAttributeLength = 10;
// Listings in the other layouts are parsed this many bytes (whole lines) at a time.
constexpr qsizetype kBlockBytes = 64 * 1024;

bool isBlank(QChar ch)
{
    return ch.unicode() <= 0x20;
}

// Spaces and control characters off both ends.
QStringView trimmed(QStringView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.mid(begin, end - begin);
}

// The leading decimal digits of text as a number (0 when there are none);
// a number too large for 64 bits stays at the largest one.
qint64 leadingNumber(QStringView text)
{
    constexpr qint64 kMax = std::numeric_limits<qint64>::max();
    qint64 value = 0;
    for (QChar ch : text) {
        if (ch < QLatin1Char('0') || ch > QLatin1Char('9'))
            break;
        const int digit = ch.unicode() - '0';
        if (value > (kMax - digit) / 10)
            return kMax;
        value = value * 10 + digit;
    }
    return value;
}

bool isAllDigits(QStringView text)
{
    if (text.isEmpty())
        return false;
    for (QChar ch : text)
        if (ch < QLatin1Char('0') || ch > QLatin1Char('9'))
            return false;
    return true;
}

// The value of 1 to maxDigits decimal digits, or -1.
int smallNumber(QStringView text, int maxDigits)
{
    if (text.isEmpty() || text.size() > maxDigits)
        return -1;
    int value = 0;
    for (QChar ch : text) {
        if (ch < QLatin1Char('0') || ch > QLatin1Char('9'))
            return -1;
        value = value * 10 + (ch.unicode() - '0');
    }
    return value;
}

// 1 to 12 for an English month abbreviation in any case, else -1.
int monthNumber(QStringView text)
{
    static const char* const kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    for (int month = 0; month < 12; ++month)
        if (text.compare(QLatin1String(kMonths[month]), Qt::CaseInsensitive) == 0)
            return month + 1;
    return -1;
}

qint64 secondsOf(int year, int month, int day, int hour, int minute)
{
    const QDate date(year, month, day);
    if (!date.isValid())
        return -1;
    return QDateTime(date, QTime(hour, minute), Qt::UTC).toSecsSinceEpoch();
}

// The current wall-clock time of this computer as seconds reckoned as if it were UTC.
qint64 wallClockNow()
{
    const QDateTime now = QDateTime::currentDateTime();
    return QDateTime(now.date(), now.time(), Qt::UTC).toSecsSinceEpoch();
}

// One line with its line feed (already cut to kMaxLineLength) into an entry.
// now is wallClockNow(), for dates without a year; modeString tells that the
// line starts with an "ls -l" mode string.
//
// The fixed field split reads every line whose date fields (6 to 8) hold a
// date. A line with a mode string whose date lies elsewhere (no group, no
// owner, names with blanks, other date shapes) is read by anchors; when that
// fails too, a line of nine or more fields is unreadable, and a shorter one
// is read by the field split as before.
TUnixReading parseLine(QStringView line, bool modeString, qint64 now, TRemoteEntry& entry)
{
    if (line.isEmpty())
        return urNone;
    const QChar first = line[0];
    if (first == QLatin1Char('d') || first == QLatin1Char('l'))
        entry.kind = ekDirectory;
    else if (first == QLatin1Char('-'))
        entry.kind = ekFile;
    else
        return urNone;

    // Eight fields split off one after the other. A step that finds the text
    // empty takes back the text remembered before the previous split.
    QStringView text = line;
    QStringView remembered = line;
    QStringView sizeField;
    std::array<QStringView, 3> dateFields; // month, day, year or time
    bool allFields = true;                 // nine fields or more
    for (int field = 1; field <= kFieldCount; ++field) {
        if (text.isEmpty()) {
            text = remembered;
            allFields = false;
            continue;
        }
        remembered = text;
        const qsizetype space = text.indexOf(QLatin1Char(' '));
        allFields = allFields && space >= 0;
        const QStringView value = space < 0 ? QStringView() : text.left(space);
        text = trimmed(space < 0 ? text : text.mid(space + 1));
        if (field == kSizeField)
            sizeField = value;
        else if (field > kSizeField)
            dateFields[std::size_t(field - kSizeField - 1)] = value;
    }

    // The date fields hold a date when they are one of three tokens; with a
    // month name other than an English one the size field must be digits.
    TListedDate date = ReadListedDate(dateFields, now);
    if (date.tokens != 3)
        date = TListedDate();
    const bool sizeDigits = isAllDigits(sizeField);
    if (modeString && !(date.tokens == 3 && (sizeDigits || monthNumber(dateFields[0]) > 0))) {
        const TUnixReading anchored = ReadAnchoredUnixLine(line, now, entry);
        if (anchored != urNone)
            return anchored;
        if (allFields)
            return urUnread;
    }

    // Only a link line carries a target after " -> "; a file may have the arrow in its name.
    QStringView name = text;
    const qsizetype arrow = first == QLatin1Char('l') ? name.indexOf(QLatin1String(" -> ")) : -1;
    if (arrow >= 0)
        name = name.left(arrow);
    if (name == QLatin1String(".") || name == QLatin1String(".."))
        return urSkip;

    entry.name = name.toString();
    entry.attributes = line.left(kAttributeLength).toString();
    entry.sizeText = GroupThousands(sizeField);
    entry.size = entry.kind == ekFile ? leadingNumber(sizeField) : 0;
    entry.modified = date.seconds;
    entry.modifiedDayOnly = date.seconds >= 0 && date.dayOnly;
    entry.modifiedUtc = date.seconds >= 0 && date.utc;
    return urEntry;
}

// One past the line feed that ends the block of lines beginning at start: the
// first line feed at least kBlockBytes on that the next line does not continue
// (the fields of a long VMS name follow on a line that starts with a blank),
// else the listing's last line feed; -1 when no line feed follows start.
qsizetype blockEnd(const QByteArray& raw, qsizetype start)
{
    const qsizetype from = start + kBlockBytes - 1;
    qsizetype feed = from < raw.size() ? raw.indexOf('\n', from) : -1;
    if (feed < 0) {
        feed = raw.lastIndexOf('\n');
        return feed < start ? -1 : feed + 1;
    }
    while (feed + 1 < raw.size() && IsListBlank(raw[feed + 1])) {
        const qsizetype next = raw.indexOf('\n', feed + 1);
        if (next < 0)
            break;
        feed = next;
    }
    return feed + 1;
}

// A listed entry as a row of the table. A size in VMS blocks is no byte count: 0.
TRemoteEntry toRow(const TListedEntry& listed)
{
    TRemoteEntry row;
    row.name = listed.name;
    row.kind = listed.kind == lkFile ? ekFile : ekDirectory;
    row.size = listed.kind == lkFile && !listed.sizeInBlocks ? listed.size : 0;
    row.attributes = listed.attributes;
    row.sizeText = listed.sizeText;
    if (listed.modified.isValid()) {
        row.modified = listed.modified.toSecsSinceEpoch();
        row.modifiedUtc = listed.modifiedZoneKnown;
    }
    return row;
}
} // namespace

TUnixListedTime UnixListedTime(QStringView month, QStringView day, QStringView yearOrTime, qint64 now)
{
    return UnixListedTimeOf(monthNumber(month), smallNumber(day, 2), yearOrTime, now);
}

TUnixListedTime UnixListedTimeOf(int month, int day, QStringView yearOrTime, qint64 now)
{
    TUnixListedTime time;
    if (month < 1 || day < 1)
        return time;
    const qsizetype colon = yearOrTime.indexOf(QLatin1Char(':'));
    if (colon < 0) {
        const int year = smallNumber(yearOrTime, 4);
        if (year >= 1970) {
            time.seconds = secondsOf(year, month, day, 0, 0);
            time.dayOnly = time.seconds >= 0;
        }
        return time;
    }
    const int hour = smallNumber(yearOrTime.left(colon), 2);
    const int minute = yearOrTime.size() - colon == 3 ? smallNumber(yearOrTime.mid(colon + 1), 2) : -1;
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59)
        return time;
    constexpr qint64 kDay = 24 * 60 * 60;
    const int year = QDateTime::fromSecsSinceEpoch(now, Qt::UTC).date().year();
    time.seconds = secondsOf(year, month, day, hour, minute);
    // A day the current year lacks (29 February) is taken from the year before too.
    if (time.seconds < 0 || time.seconds > now + kDay)
        time.seconds = secondsOf(year - 1, month, day, hour, minute);
    return time;
}

QString GroupThousands(QStringView digits)
{
    QString grouped;
    grouped.reserve(digits.size() + digits.size() / 3);
    for (qsizetype i = 0; i < digits.size(); ++i) {
        const qsizetype fromRight = digits.size() - i;
        if (i > 0 && fromRight % 3 == 0)
            grouped += QLatin1Char(',');
        grouped += digits[i];
    }
    return grouped;
}

void RazcleniSeznam(QByteArray& rawListing, TRemoteListing& table, TNameDecoder decode, TUnreadLines* unread)
{
    // No reserve from the line count: a listing of bare line feeds would ask
    // for far more memory than its entries ever take.
    table.Clear();
    const qint64 now = wallClockNow();
    qsizetype start = 0;
    for (qsizetype feed = rawListing.indexOf('\n'); feed >= 0; feed = rawListing.indexOf('\n', start)) {
        const qsizetype length = qMin(feed + 1 - start, kMaxLineLength);
        const QByteArrayView bytes(rawListing.constData() + start, length);
        const QString line = decode(bytes);
        start = feed + 1;
        TRemoteEntry entry;
        const TUnixReading reading = parseLine(line, IsUnixModeString(bytes), now, entry);
        if (reading == urUnread && unread)
            unread->Add(QString(line).remove(QLatin1Char('\r')).remove(QLatin1Char('\n')));
        if (reading == urEntry && !table.Append(entry))
            break; // the table is full: the rest is not read
    }
    table.Squeeze();
    rawListing.clear();
}

void RazcleniSeznam(QByteArray& rawListing, TListFormat format, TRemoteListing& table, TNameDecoder decode,
                    TUnreadLines* unread)
{
    if (format == lfUnix)
        return RazcleniSeznam(rawListing, table, decode, unread);
    table.Clear();
    std::vector<TListedEntry> entries;
    bool full = false;
    qsizetype end = 0;
    for (qsizetype start = 0; !full && (end = blockEnd(rawListing, start)) > 0; start = end) {
        entries.clear();
        ParseListing(QByteArrayView(rawListing).sliced(start, end - start), format, decode, entries, unread);
        for (const TListedEntry& listed : entries) {
            // A name the table would cut could never name its entry in a command.
            if (listed.name.size() > TRemoteListing::kNajdaljseIme)
                continue;
            if (!table.Append(toRow(listed))) {
                full = true;
                break;
            }
        }
    }
    table.Squeeze();
    rawListing.clear();
}

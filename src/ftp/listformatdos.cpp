#include "ftp/listformatdos.h"

#include <array>

namespace {
// IIS puts the name this many characters after the end of the time field.
constexpr qsizetype kIisNameColumn = 22;
// Digits of the longest size taken; a longer field is not a size.
constexpr qsizetype kMaxSizeDigits = 40;

int twoDigitYear(int year)
{
    return year < 70 ? 2000 + year : 1900 + year;
}

// Splits text into three numbers at "-" or "/" (one kind of separator per date).
bool splitDate(QByteArrayView text, std::array<QByteArrayView, 3>& parts)
{
    const char sep = text.contains('-') ? '-' : '/';
    qsizetype start = 0;
    for (int i = 0; i < 3; ++i) {
        const qsizetype end = i < 2 ? text.indexOf(sep, start) : text.size();
        if (end < 0)
            return false;
        parts[std::size_t(i)] = text.sliced(start, end - start);
        start = end + 1;
    }
    return true;
}

QDate parseDate(QByteArrayView text)
{
    std::array<QByteArrayView, 3> parts;
    if (!splitDate(text, parts))
        return {};
    if (parts[0].size() == 4) {
        const int year = SmallNumber(parts[0], 4);
        return QDate(year, SmallNumber(parts[1], 2), SmallNumber(parts[2], 2));
    }
    int month = SmallNumber(parts[0], 2);
    int day = SmallNumber(parts[1], 2);
    if (month > 12 && day <= 12)
        std::swap(month, day);
    int year = -1;
    if (parts[2].size() == 2)
        year = twoDigitYear(SmallNumber(parts[2], 2));
    else if (parts[2].size() == 4)
        year = SmallNumber(parts[2], 4);
    if (year < 0 || month < 0 || day < 0)
        return {};
    return QDate(year, month, day);
}

QTime parseTime(QByteArrayView text)
{
    int half = -1; // -1: 24-hour, 0: AM, 12: PM
    if (text.size() > 2) {
        const QByteArrayView suffix = text.last(2);
        if (suffix.compare("AM", Qt::CaseInsensitive) == 0)
            half = 0;
        else if (suffix.compare("PM", Qt::CaseInsensitive) == 0)
            half = 12;
        if (half >= 0)
            text.chop(2);
    }
    const qsizetype colon = text.indexOf(':');
    if (colon < 0)
        return {};
    int hour = SmallNumber(text.first(colon), 2);
    QByteArrayView rest = text.sliced(colon + 1);
    int second = 0;
    const qsizetype colon2 = rest.indexOf(':');
    if (colon2 >= 0) {
        second = SmallNumber(rest.sliced(colon2 + 1), 2);
        rest = rest.first(colon2);
    }
    const int minute = rest.size() == 2 ? SmallNumber(rest, 2) : -1;
    if (hour < 0 || minute < 0 || second < 0)
        return {};
    if (half >= 0) {
        if (hour < 1 || hour > 12)
            return {};
        hour = hour % 12 + half;
    }
    return QTime(hour, minute, second);
}

// The digits of a size grouped by "," or "." (never two separators in a row,
// none at either end) into digits; false when field is no such size.
bool sizeDigits(QByteArrayView field, std::array<char, kMaxSizeDigits>& digits, qsizetype& count)
{
    count = 0;
    for (qsizetype i = 0; i < field.size(); ++i) {
        const char ch = field[i];
        if (IsListDigit(ch)) {
            if (count == kMaxSizeDigits)
                return false;
            digits[std::size_t(count++)] = ch;
        } else if ((ch != ',' && ch != '.') || i == 0 || i + 1 == field.size() ||
                   !IsListDigit(field[i - 1])) {
            return false;
        }
    }
    return count > 0;
}
} // namespace

TLineMatch ParseDosLine(QByteArrayView line, TNameDecoder decode, TListedEntry& entry)
{
    QByteArrayView rest = line;
    const QDate date = parseDate(TakeToken(rest));
    if (!date.isValid())
        return lmNone;
    rest = SkipBlanks(rest);
    const QTime time = parseTime(TakeToken(rest));
    if (!time.isValid())
        return lmNone;
    const qsizetype timeEnd = rest.data() - line.data();
    rest = SkipBlanks(rest);
    const QByteArrayView field = TakeToken(rest);
    const bool directory = field.compare("<DIR>", Qt::CaseInsensitive) == 0;
    std::array<char, kMaxSizeDigits> digits;
    qsizetype digitCount = 0;
    if (!directory && !sizeDigits(field, digits, digitCount))
        return lmNone;

    // One blank ends the field; more blanks fill the column up to the IIS name column.
    if (rest.isEmpty())
        return lmNone;
    qsizetype start = rest.data() - line.data() + 1;
    while (start < line.size() && start < timeEnd + kIisNameColumn && IsListBlank(line[start]))
        ++start;
    const QByteArrayView name = line.sliced(start);
    if (SkipBlanks(name).isEmpty())
        return lmNone;
    if (IsDotName(name))
        return lmSkip;

    entry = TListedEntry();
    entry.nameBytes = name.toByteArray();
    entry.name = decode(name);
    entry.modified = QDateTime(date, time, Qt::UTC);
    if (directory) {
        entry.kind = lkDirectory;
        entry.attributes = QStringLiteral("<DIR>");
    } else {
        const QByteArrayView sizeDigitsView(digits.data(), digitCount);
        entry.kind = lkFile;
        entry.size = *DigitsValue(sizeDigitsView);
        entry.sizeText = GroupedSizeText(sizeDigitsView);
    }
    return lmEntry;
}

#include "ftp/listformatvms.h"

namespace {
constexpr int kMaxVersionDigits = 5;

bool isNameByte(char ch)
{
    switch (ch) {
    case '=':
    case ';':
    case '/':
    case '\\':
    case '"':
    case '<':
    case '>':
    case '[':
    case ']':
    case '(':
    case ')':
    case 0x7f:
        return false;
    default:
        return uchar(ch) > 0x20;
    }
}

// True when token is "stem;version" as the header describes.
bool isVmsName(QByteArrayView token)
{
    const qsizetype semicolon = token.indexOf(';');
    if (semicolon <= 0 || SmallNumber(token.sliced(semicolon + 1), kMaxVersionDigits) < 0)
        return false;
    for (char ch : token.first(semicolon))
        if (!isNameByte(ch))
            return false;
    return true;
}

int monthNumber(QByteArrayView name)
{
    static constexpr const char* kMonths[] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                              "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
    for (int i = 0; i < 12; ++i)
        if (name.compare(QByteArrayView(kMonths[i]), Qt::CaseInsensitive) == 0)
            return i + 1;
    return -1;
}

QDate parseDate(QByteArrayView text)
{
    const qsizetype dash1 = text.indexOf('-');
    const qsizetype dash2 = dash1 < 0 ? -1 : text.indexOf('-', dash1 + 1);
    if (dash2 < 0)
        return {};
    const int day = SmallNumber(text.first(dash1), 2);
    const int month = monthNumber(text.sliced(dash1 + 1, dash2 - dash1 - 1));
    const QByteArrayView yearText = text.sliced(dash2 + 1);
    int year = SmallNumber(yearText, 4);
    if (yearText.size() == 2 && year >= 0)
        year += year < 70 ? 2000 : 1900;
    else if (yearText.size() != 4)
        return {};
    if (day < 0 || month < 0 || year < 0)
        return {};
    return QDate(year, month, day);
}

// HH:MM, HH:MM:SS or HH:MM:SS.cc.
QTime parseTime(QByteArrayView text)
{
    if (text.size() < 5 || text[2] != ':')
        return {};
    const int hour = SmallNumber(text.first(2), 2);
    const int minute = SmallNumber(text.sliced(3, 2), 2);
    int second = 0;
    int hundredths = 0;
    QByteArrayView rest = text.sliced(5);
    if (!rest.isEmpty()) {
        if (rest.size() < 3 || rest[0] != ':')
            return {};
        second = SmallNumber(rest.sliced(1, 2), 2);
        rest = rest.sliced(3);
        if (!rest.isEmpty())
            hundredths = rest[0] == '.' ? SmallNumber(rest.sliced(1), 2) : -1;
    }
    if (hour < 0 || minute < 0 || second < 0 || hundredths < 0)
        return {};
    return QTime(hour, minute, second, hundredths * 10);
}

// Blocks in use from "used" or "used/allocated"; the used digits are put in digits.
bool blocksField(QByteArrayView field, QByteArrayView& digits)
{
    const qsizetype slash = field.indexOf('/');
    digits = slash < 0 ? field : field.first(slash);
    return DigitsValue(digits) && (slash < 0 || DigitsValue(field.sliced(slash + 1)));
}

// D-MMM-YYYY in shape: digits, a word, digits (the month and the day may still be wrong).
bool dateShaped(QByteArrayView token)
{
    const qsizetype dash1 = token.indexOf('-');
    const qsizetype dash2 = dash1 < 0 ? -1 : token.indexOf('-', dash1 + 1);
    if (dash2 < 0 || !DigitsValue(token.first(dash1)) || !DigitsValue(token.sliced(dash2 + 1)) ||
        dash2 == dash1 + 1)
        return false;
    for (char ch : token.sliced(dash1 + 1, dash2 - dash1 - 1))
        if (!((ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z')))
            return false;
    return true;
}

// The next field of rest: a bracketed owner or parenthesised protection runs
// to its closing bracket, blanks included; anything else to the next blank.
QByteArrayView takeField(QByteArrayView& rest)
{
    const char close = rest.startsWith('[') ? ']' : rest.startsWith('(') ? ')' : 0;
    const qsizetype end = close ? rest.indexOf(close) : -1;
    if (end < 0)
        return TakeToken(rest);
    const QByteArrayView field = rest.first(end + 1);
    rest = rest.sliced(end + 1);
    return field;
}

// Size, date with time, owner and protection in any order, each at most once;
// false when a field is of no known kind or comes twice, or no size is given.
bool readFields(QByteArrayView rest, QByteArrayView& blocks, TListedEntry& entry)
{
    bool owner = false;
    bool dated = false;
    for (rest = SkipBlanks(rest); !rest.isEmpty(); rest = SkipBlanks(rest)) {
        const QByteArrayView field = takeField(rest);
        QByteArrayView digits;
        if (field.startsWith('[') && field.endsWith(']') && !owner) {
            owner = true;
        } else if (field.startsWith('(') && field.endsWith(')') && entry.attributes.isEmpty()) {
            entry.attributes = QString::fromLatin1(field);
        } else if (blocksField(field, digits) && blocks.isEmpty()) {
            blocks = digits;
        } else if (dateShaped(field) && !dated) {
            dated = true;
            // The time is the next token when it has a colon (a date alone has none).
            rest = SkipBlanks(rest);
            QByteArrayView after = rest;
            const QByteArrayView timeText = TakeToken(after);
            if (timeText.contains(':'))
                rest = after;
            const QDate date = parseDate(field);
            const QTime time = parseTime(timeText);
            if (date.isValid() && time.isValid())
                entry.modified = QDateTime(date, time, Qt::UTC);
        } else {
            return false;
        }
    }
    return !blocks.isEmpty();
}
} // namespace

bool IsVmsLoneName(QByteArrayView line)
{
    QByteArrayView rest = line;
    const QByteArrayView token = TakeToken(rest);
    return isVmsName(token) && SkipBlanks(rest).isEmpty();
}

TLineMatch ParseVmsLine(QByteArrayView line, TNameDecoder decode, TListedEntry& entry)
{
    QByteArrayView rest = line;
    const QByteArrayView token = TakeToken(rest);
    rest = SkipBlanks(rest);
    if (!isVmsName(token) || rest.isEmpty())
        return lmNone;
    const QByteArrayView stem = token.first(token.indexOf(';'));
    const bool directory = stem.size() > 4 && stem.last(4).compare(".DIR", Qt::CaseInsensitive) == 0;
    const QByteArrayView name = directory ? stem.chopped(4) : token;

    entry = TListedEntry();
    QByteArrayView blocks;
    const bool failed = rest.startsWith('%');
    if (!failed && !readFields(rest, blocks, entry))
        return lmUnread;
    if (IsDotName(name))
        return lmSkip;
    entry.nameBytes = name.toByteArray();
    entry.name = decode(name);
    entry.kind = directory ? lkDirectory : lkFile;
    if (!failed) {
        entry.sizeInBlocks = true;
        entry.sizeText = GroupedSizeText(blocks) + QStringLiteral(" blk");
        if (!directory)
            entry.size = *DigitsValue(blocks);
    }
    return lmEntry;
}

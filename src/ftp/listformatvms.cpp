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
    const QByteArrayView stem = token.first(semicolon);
    for (char ch : stem)
        if (!isNameByte(ch))
            return false;
    return stem.contains('.');
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

// Date, time and protection from the fields after the size.
void readTail(QByteArrayView rest, TListedEntry& entry)
{
    const QDate date = parseDate(TakeToken(rest));
    rest = SkipBlanks(rest);
    const QTime time = parseTime(TakeToken(rest));
    if (date.isValid() && time.isValid())
        entry.modified = QDateTime(date, time, Qt::UTC);
    const qsizetype open = rest.indexOf('(');
    const qsizetype close = open < 0 ? -1 : rest.indexOf(')', open);
    if (close > open)
        entry.attributes = QString::fromLatin1(rest.sliced(open, close - open + 1));
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
    QByteArrayView blocks;
    const bool failed = rest.startsWith('%');
    if (!failed) {
        if (!blocksField(TakeToken(rest), blocks))
            return lmNone;
        rest = SkipBlanks(rest);
    }

    const QByteArrayView stem = token.first(token.indexOf(';'));
    const bool directory = stem.size() > 4 && stem.last(4).compare(".DIR", Qt::CaseInsensitive) == 0;
    const QByteArrayView name = directory ? stem.chopped(4) : token;
    if (IsDotName(name))
        return lmSkip;

    entry = TListedEntry();
    entry.nameBytes = name.toByteArray();
    entry.name = decode(name);
    entry.kind = directory ? lkDirectory : lkFile;
    if (!failed) {
        entry.sizeInBlocks = true;
        entry.sizeText = GroupedSizeText(blocks) + QStringLiteral(" blk");
        if (!directory)
            entry.size = *DigitsValue(blocks);
        readTail(rest, entry);
    }
    return lmEntry;
}

#include "ftp/listformatunix.h"

#include <QDateTime>
#include <QVarLengthArray>

#include <array>
#include <limits>
#include <optional>

namespace {
// Every spelling a listing may give a month in, "|"-separated, month by month.
constexpr std::array<const char16_t*, 12> kMonthSpellings = {
    u"jan|january|januar|jänner|jän|janv|janvier|ene|enero|gen|gennaio|janeiro|sty|stycznia|styczeń|led|"
    u"ledna|"
    u"leden|янв|января|январь",
    u"feb|february|februar|févr|fév|février|fev|fevereiro|febrero|febbraio|lut|lutego|luty|úno|února|únor|"
    u"фев|"
    u"февр|февраля|февраль",
    u"mar|march|märz|mär|mrz|mars|marzo|mrt|maart|marec|março|marca|marzec|bře|března|březen|мар|марта|март",
    u"apr|april|avr|avril|abr|abril|aprile|kwi|kwietnia|kwiecień|dub|dubna|duben|апр|апреля|апрель",
    u"may|mai|maj|mei|mayo|mag|maggio|maio|kvě|května|květen|мая|май",
    u"jun|june|juni|junij|juin|junio|giu|giugno|junho|cze|czerwca|czerwiec|čen|června|červen|июн|июня|июнь",
    u"jul|july|juli|julij|juil|juillet|julio|lug|luglio|julho|lip|lipca|lipiec|čec|července|červenec|июл|"
    u"июля|"
    u"июль",
    u"aug|august|août|aoû|ago|agosto|avg|avgust|sie|sierpnia|sierpień|srp|srpna|srpen|авг|августа|август",
    u"sep|sept|september|septembre|septiembre|set|settembre|setembro|wrz|września|wrzesień|zář|září|сен|сент|"
    u"сентября|сентябрь",
    u"oct|october|okt|oktober|octobre|octubre|ott|ottobre|out|outubro|paź|października|październik|říj|října|"
    u"říjen|окт|октября|октябрь",
    u"nov|november|novembre|noviembre|novembro|lis|listopada|listopad|ноя|нояб|ноября|ноябрь",
    u"dec|december|dez|dezember|déc|décembre|dic|diciembre|dicembre|dezembro|gru|grudnia|grudzień|pro|"
    u"prosince|"
    u"prosinec|дек|декабря|декабрь",
};

constexpr int kMaxMonthWord = 12;

bool isBlank(QChar ch)
{
    return ch == QLatin1Char(' ') || ch == QLatin1Char('\t');
}

bool isDigit(QChar ch)
{
    return ch >= QLatin1Char('0') && ch <= QLatin1Char('9');
}

bool allDigits(QStringView text)
{
    if (text.isEmpty())
        return false;
    for (QChar ch : text)
        if (!isDigit(ch))
            return false;
    return true;
}

// The value of minDigits to maxDigits decimal digits, or -1.
int number(QStringView text, int minDigits, int maxDigits)
{
    if (text.size() < minDigits || text.size() > maxDigits || !allDigits(text))
        return -1;
    return text.toInt();
}

// text without one closing mark ("." or "," after a day or a month, 日 after a day).
QStringView withoutMark(QStringView text)
{
    return text.endsWith(QLatin1Char('.')) || text.endsWith(QLatin1Char(',')) || text.endsWith(u'日')
               ? text.chopped(1)
               : text;
}

// 1 to 12 for a month name or "N月"/"N월", 0 for another word (a month the
// tables do not know), -1 for anything else.
int monthOf(QStringView token)
{
    const QStringView text = withoutMark(token);
    if (text.endsWith(u'月') || text.endsWith(u'월')) {
        const int month = number(text.chopped(1), 1, 2);
        return month >= 1 && month <= 12 ? month : -1;
    }
    if (text.size() < 2 || text.size() > kMaxMonthWord)
        return -1;
    for (QChar ch : text)
        if (!ch.isLetter())
            return -1;
    // The English abbreviations (each list's first spelling) first: nearly every listing uses them.
    for (std::size_t month = 0; month < kMonthSpellings.size(); ++month)
        if (text.compare(QStringView(kMonthSpellings[month], 3), Qt::CaseInsensitive) == 0)
            return int(month) + 1;
    for (std::size_t month = 0; month < kMonthSpellings.size(); ++month)
        for (QStringView spelling : QStringView(kMonthSpellings[month]).tokenize(u'|'))
            if (text.compare(spelling, Qt::CaseInsensitive) == 0)
                return int(month) + 1;
    return 0;
}

// 1 to 31 for a day ("5", "05", "5.", "5,"), else -1.
int dayOf(QStringView token)
{
    const int day = number(withoutMark(token), 1, 2);
    return day >= 1 && day <= 31 ? day : -1;
}

bool isYear(QStringView token)
{
    return number(token, 4, 4) >= 0;
}

// H:MM or HH:MM, the clock UnixListedTimeOf reads.
bool isShortClock(QStringView token)
{
    const qsizetype colon = token.indexOf(QLatin1Char(':'));
    return (colon == 1 || colon == 2) && token.size() == colon + 3 && allDigits(token.left(colon)) &&
           allDigits(token.sliced(colon + 1));
}

// The time of HH:MM, HH:MM:SS or HH:MM:SS.fraction; invalid for anything else.
QTime clockOf(QStringView token)
{
    if (isShortClock(token))
        return QTime(token.left(token.size() - 3).toInt(), token.right(2).toInt());
    if (token.size() < 8 || token[5] != QLatin1Char(':') || !isShortClock(token.left(5)))
        return {};
    const int second = number(token.sliced(6, 2), 2, 2);
    if (second < 0 || (token.size() > 8 && (token[8] != QLatin1Char('.') || !allDigits(token.sliced(9)))))
        return {};
    return QTime(token.left(2).toInt(), token.sliced(3, 2).toInt(), second);
}

// Seconds east of UTC of "+HHMM" or "-HHMM", or nothing.
std::optional<int> zoneOf(QStringView token)
{
    if (token.size() != 5 || (token[0] != QLatin1Char('+') && token[0] != QLatin1Char('-')))
        return std::nullopt;
    const int hours = number(token.sliced(1, 2), 2, 2);
    const int minutes = number(token.sliced(3, 2), 2, 2);
    if (hours < 0 || hours > 14 || minutes < 0 || minutes > 59)
        return std::nullopt;
    return (token[0] == QLatin1Char('-') ? -1 : 1) * (hours * 3600 + minutes * 60);
}

TListedDate fromListedTime(int tokens, const TUnixListedTime& time)
{
    return {tokens, time.seconds, time.dayOnly, false};
}

// Month-and-day shapes of three tokens: "Jan 15 12:00", "15 Jan 2020", "1 15 2020".
TListedDate readThreeTokens(std::span<const QStringView> tokens, qint64 now)
{
    if (tokens.size() < 3 || (!isYear(tokens[2]) && !isShortClock(tokens[2])))
        return {};
    int month = monthOf(tokens[0]);
    int day = dayOf(tokens[1]);
    if (month < 0 || day < 0) {
        month = monthOf(tokens[1]);
        day = dayOf(tokens[0]);
    }
    if (month < 0 || day < 0) {
        // Numeric month and day: month first, unless the first cannot be a month.
        const int first = number(tokens[0], 1, 2);
        const int second = dayOf(tokens[1]);
        if (first < 1 || first > 31 || second < 1 || (first > 12 && second > 12))
            return {};
        if (isYear(tokens[2]) && (tokens[2].toInt() < 1900 || tokens[2].toInt() > 2199))
            return {}; // "1 15 4096": a size, not a year
        month = first <= 12 ? first : second;
        day = first <= 12 ? second : first;
    }
    return fromListedTime(3, UnixListedTimeOf(month, day, tokens[2], now));
}

// One-token dates ("2020-01-15", "15.01.2020", "15-Jan-2020", "01-15") with an
// optional clock and, after a clock, a zone offset.
TListedDate readCompactDate(std::span<const QStringView> tokens, qint64 now)
{
    const QStringView text = tokens[0];
    qsizetype cut = 0;
    while (cut < text.size() && isDigit(text[cut]))
        ++cut;
    if (cut == 0 || cut == text.size() || !QStringView(u"-/.").contains(text[cut]))
        return {};
    const QChar separator = text[cut];
    QVarLengthArray<QStringView, 4> parts;
    for (QStringView part : text.tokenize(separator))
        parts.push_back(part);
    const QTime clock = tokens.size() > 1 ? clockOf(tokens[1]) : QTime();
    const int clockTokens = clock.isValid() ? 1 : 0;

    if (parts.size() == 2 && separator == QLatin1Char('-') &&
        isShortClock(tokens.size() > 1 ? tokens[1] : u"")) {
        const int month = number(parts[0], 1, 2);
        const int day = dayOf(parts[1]);
        if (month < 1 || month > 12 || day < 1)
            return {};
        return fromListedTime(2, UnixListedTimeOf(month, day, tokens[1], now));
    }
    if (parts.size() != 3)
        return {};

    int year = -1;
    int month = -1;
    int day = -1;
    bool certain = true;
    if (number(parts[0], 4, 4) >= 0 && separator != QLatin1Char('.')) {
        year = parts[0].toInt();
        month = number(parts[1], 1, 2);
        day = number(parts[2], 1, 2);
    } else if (number(parts[0], 1, 2) >= 0 && number(parts[2], 4, 4) >= 0) {
        year = parts[2].toInt();
        const int first = parts[0].toInt();
        const int word = monthOf(parts[1]);
        const int second = number(parts[1], 1, 2);
        if (word >= 0 && second < 0) {
            month = word;
            day = first;
        } else if (second < 0) {
            return {};
        } else if (separator == QLatin1Char('.') || first > 12) {
            month = second;
            day = first;
        } else {
            month = first;
            day = second;
            // 03/04/2020 reads either way: the date is not told.
            certain = second > 12 || first == second;
        }
    }
    if (year < 0 || month < 0 || day < 0)
        return {};

    // A zone offset after a clock belongs to the date even when the date is not told.
    const std::optional<int> zone = clock.isValid() && tokens.size() > 2 ? zoneOf(tokens[2]) : std::nullopt;
    TListedDate date{1 + clockTokens + (zone ? 1 : 0), -1, !clock.isValid(), zone.has_value()};
    const QDate calendarDay(year, month, day);
    if (!certain || !calendarDay.isValid() || year < 1970)
        return date;
    const QDateTime at(calendarDay, clock.isValid() ? clock : QTime(0, 0), Qt::UTC);
    date.seconds = at.toSecsSinceEpoch() - zone.value_or(0);
    return date;
}
} // namespace

TListedDate ReadListedDate(std::span<const QStringView> tokens, qint64 now)
{
    if (tokens.empty())
        return {};
    const TListedDate date = readThreeTokens(tokens, now);
    return date.tokens ? date : readCompactDate(tokens, now);
}

TUnixReading ReadAnchoredUnixLine(QStringView line, qint64 now, TRemoteEntry& entry)
{
    const QChar type = line.isEmpty() ? QChar() : line[0];
    if (type != QLatin1Char('-') && type != QLatin1Char('d') && type != QLatin1Char('l'))
        return urNone;
    qsizetype end = line.size();
    while (end > 0 && line[end - 1].unicode() <= 0x20)
        --end;
    line = line.first(end);
    QVarLengthArray<QStringView, 32> tokens;
    for (qsizetype i = 0; i < line.size();) {
        while (i < line.size() && isBlank(line[i]))
            ++i;
        qsizetype j = i;
        while (j < line.size() && !isBlank(line[j]))
            ++j;
        if (j > i)
            tokens.push_back(line.sliced(i, j - i));
        i = j;
    }

    // A reading: the size at token i, then its date, then at least one token of name.
    const std::span<const QStringView> all(tokens.constData(), std::size_t(tokens.size()));
    const auto readingAt = [&](qsizetype i) -> TListedDate {
        if (!allDigits(tokens[i]))
            return {};
        const TListedDate date = ReadListedDate(all.subspan(std::size_t(i + 1)), now);
        return i + 1 + date.tokens < tokens.size() ? date : TListedDate();
    };
    qsizetype size = 1;
    TListedDate date;
    for (; size + 1 < tokens.size() && !date.tokens; ++size)
        date = readingAt(size);
    if (!date.tokens)
        return urNone;
    --size;
    // A second reading whose size lies inside the first one's date cuts the line another way.
    for (qsizetype other = size + 1; other <= size + date.tokens; ++other)
        if (readingAt(other).tokens)
            return urUnread;

    const QStringView last = tokens[size + date.tokens];
    QStringView name = line.sliced(last.data() + last.size() - line.data());
    while (!name.isEmpty() && isBlank(name[0]))
        name = name.sliced(1);
    const qsizetype arrow = type == QLatin1Char('l') ? name.indexOf(QLatin1String(" -> ")) : -1;
    if (arrow >= 0)
        name = name.left(arrow);
    if (name == QLatin1String(".") || name == QLatin1String(".."))
        return urSkip;

    bool fits = false;
    const qint64 bytes = tokens[size].toLongLong(&fits);
    entry.name = name.toString();
    entry.kind = type == QLatin1Char('-') ? ekFile : ekDirectory;
    entry.attributes = line.left(10).toString();
    entry.sizeText = GroupThousands(tokens[size]);
    entry.size = entry.kind != ekFile ? 0 : fits ? bytes : std::numeric_limits<qint64>::max();
    entry.modified = date.seconds;
    entry.modifiedDayOnly = date.seconds >= 0 && date.dayOnly;
    entry.modifiedUtc = date.seconds >= 0 && date.utc;
    return urEntry;
}

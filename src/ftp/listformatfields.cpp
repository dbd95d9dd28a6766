#include "ftp/listformatfields.h"

#include "ftp/listingparser.h"

#include <array>
#include <limits>

QByteArrayView SkipBlanks(QByteArrayView text)
{
    qsizetype i = 0;
    while (i < text.size() && IsListBlank(text[i]))
        ++i;
    return text.sliced(i);
}

QByteArrayView TakeToken(QByteArrayView& rest)
{
    qsizetype i = 0;
    while (i < rest.size() && !IsListBlank(rest[i]))
        ++i;
    const QByteArrayView token = rest.first(i);
    rest = rest.sliced(i);
    return token;
}

std::optional<qint64> DigitsValue(QByteArrayView text)
{
    constexpr qint64 kMax = std::numeric_limits<qint64>::max();
    if (text.isEmpty())
        return std::nullopt;
    qint64 value = 0;
    for (char ch : text) {
        if (!IsListDigit(ch))
            return std::nullopt;
        const int digit = ch - '0';
        value = value > (kMax - digit) / 10 ? kMax : value * 10 + digit;
    }
    return value;
}

int SmallNumber(QByteArrayView text, int maxDigits)
{
    if (text.isEmpty() || text.size() > maxDigits)
        return -1;
    int value = 0;
    for (char ch : text) {
        if (!IsListDigit(ch))
            return -1;
        value = value * 10 + (ch - '0');
    }
    return value;
}

QString GroupedSizeText(QByteArrayView digits)
{
    // Widened on the stack, so that the grouped text is the only allocation.
    std::array<char16_t, 64> wide;
    if (digits.size() > qsizetype(wide.size()))
        return GroupThousands(QString::fromLatin1(digits));
    for (qsizetype i = 0; i < digits.size(); ++i)
        wide[std::size_t(i)] = char16_t(uchar(digits[i]));
    return GroupThousands(QStringView(wide.data(), digits.size()));
}

bool IsDotName(QByteArrayView name)
{
    return name == "." || name == "..";
}

bool IsUnixModeString(QByteArrayView line)
{
    if (line.size() < 11 || !QByteArrayView("-dlbcps").contains(line[0]))
        return false;
    for (qsizetype i = 1; i < 10; ++i)
        if (!QByteArrayView("-rwxsStTlL").contains(line[i]))
            return false;
    const qsizetype blank = QByteArrayView("+.@").contains(line[10]) ? 11 : 10;
    return blank < line.size() && IsListBlank(line[blank]);
}

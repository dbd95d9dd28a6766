#include "ftp/listformatfields.h"

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
    QString text(digits.size() + (digits.size() - 1) / 3, Qt::Uninitialized);
    QChar* out = text.data();
    for (qsizetype i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            *out++ = QLatin1Char(',');
        *out++ = QLatin1Char(digits[i]);
    }
    return text;
}

bool IsDotName(QByteArrayView name)
{
    return name == "." || name == "..";
}

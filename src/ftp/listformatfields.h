#pragma once
// Field readers shared by the DOS, facts and VMS listing parsers, and the
// answer every line parser gives.
//
// Contract: pure functions over byte views, no allocation except where a
// text is returned.
#include <QByteArrayView>
#include <QString>
#include <QtGlobal>

#include <optional>

// What a line parser made of one line: not its layout, its layout but no
// entry to show ("." and "..", cdir, pdir), an entry, or its layout but
// fields it cannot read with confidence (left out and reported, never guessed).
enum TLineMatch : quint8 { lmNone, lmSkip, lmEntry, lmUnread };

inline bool IsListBlank(char ch)
{
    return ch == ' ' || ch == '\t';
}

inline bool IsListDigit(char ch)
{
    return ch >= '0' && ch <= '9';
}

// text without the blanks it starts with.
QByteArrayView SkipBlanks(QByteArrayView text);

// The run of non-blank bytes rest starts with (empty when rest starts with a
// blank); rest keeps what follows it.
QByteArrayView TakeToken(QByteArrayView& rest);

// The value of a non-empty run of decimal digits, or nothing when text is
// empty or holds anything else. A value past 64 bits stays at the largest one.
std::optional<qint64> DigitsValue(QByteArrayView text);

// The value of 1 to maxDigits decimal digits, or -1.
int SmallNumber(QByteArrayView text, int maxDigits);

// digits (decimal digits only) grouped by "," with GroupThousands.
QString GroupedSizeText(QByteArrayView digits);

// True for "." and "..".
bool IsDotName(QByteArrayView name);

// True when line starts with the mode string of "ls -l": a type letter of
// "-dlbcps", nine permission letters, an optional "+", "." or "@" mark, a blank.
bool IsUnixModeString(QByteArrayView line);

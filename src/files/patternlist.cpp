#include "files/patternlist.h"

#include <algorithm>

namespace {

bool IsBlankOrControl(QChar c)
{
    return c.unicode() <= 0x20;
}

QString TrimBlanksAndControls(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && IsBlankOrControl(text.at(begin)))
        ++begin;
    while (end > begin && IsBlankOrControl(text.at(end - 1)))
        --end;
    return text.mid(begin, end - begin);
}

QString NormalisePiece(const QString& piece)
{
    const bool wild = piece.contains(QLatin1Char('*')) || piece.contains(QLatin1Char('?'));
    if (piece.contains(QLatin1Char('.')))
        return piece;
    if (!wild)
        return QLatin1Char('*') + piece + QLatin1Char('*');
    return piece.endsWith(QLatin1Char('*')) ? piece : piece + QLatin1Char('*');
}

bool IsWildcard(QChar c)
{
    return c == QLatin1Char('*') || c == QLatin1Char('?');
}

} // namespace

bool TPatternList::Add(const QString& text)
{
    const auto place = std::lower_bound(m_strings.begin(), m_strings.end(), text,
                                        [](const QString& a, const QString& b) { return a < b; });
    if (place != m_strings.end() && *place == text)
        return false;
    m_strings.insert(place, text);
    return true;
}

void SetMaskPatterns(TPatternList& patterns, const QString& mask)
{
    patterns.Clear();
    if (mask.isEmpty()) {
        patterns.Add(QStringLiteral("*"));
        return;
    }
    QString text = mask;
    text.replace(QLatin1Char(','), QLatin1Char(';'));
    if (!text.endsWith(QLatin1Char(';')))
        text += QLatin1Char(';');
    const QStringList pieces = text.split(QLatin1Char(';'));
    // The text ends in ";", so the last piece of the split is the empty rest behind it.
    for (qsizetype i = 0; i + 1 < pieces.size(); ++i)
        patterns.Add(NormalisePiece(TrimBlanksAndControls(pieces.at(i)).toLower()));
}

bool MatchesPattern(QStringView pattern, QStringView name)
{
    if (pattern == u"*")
        return true;
    if (pattern == u"*.*" && name.contains(QLatin1Char('.')))
        return true;
    if (!pattern.contains(QLatin1Char('*')) && !pattern.contains(QLatin1Char('?')))
        return pattern == name;

    qsizetype cursor = 0;
    bool starPending = false;
    qsizetype at = 0;
    while (at < pattern.size()) {
        const QChar token = pattern.at(at);
        if (token == QLatin1Char('?')) {
            if (cursor >= name.size())
                return false;
            ++cursor;
            ++at;
            continue;
        }
        if (token == QLatin1Char('*')) {
            starPending = true;
            ++at;
            continue;
        }
        qsizetype end = at;
        while (end < pattern.size() && !IsWildcard(pattern.at(end)))
            ++end;
        const QStringView literal = pattern.mid(at, end - at);
        at = end;
        if (starPending) {
            const qsizetype found = name.indexOf(literal, cursor);
            if (found < 0)
                return false;
            cursor = found + literal.size();
            starPending = false;
        } else {
            if (name.mid(cursor, literal.size()) != literal)
                return false;
            cursor += literal.size();
        }
    }
    return starPending || cursor == name.size();
}

bool MatchesMask(const TPatternList& patterns, const QString& name)
{
    const QString lowerName = name.toLower();
    return std::any_of(patterns.Strings().begin(), patterns.Strings().end(),
                       [&](const QString& pattern) { return MatchesPattern(pattern, lowerName); });
}

#pragma once
// TPatternList: a sorted list of strings without duplicates. The local file
// list keeps its directories and its name-mask patterns in two of them.
// Strings compare by character codes, so "/a/" and "/A/" are two directories.
//
// The mask operations below fill a pattern list from a mask text and match a
// file name against it:
// - a mask text is cut at ";" and ","; each piece is trimmed of blanks and
//   control characters and lower-cased; an empty text is the single pattern "*";
// - a piece without "*", "?" and "." becomes "*piece*"; a piece with "*" or "?"
//   but no "." gets a trailing "*" unless it ends in one; a piece with "." stays;
//   an empty piece therefore becomes "**" and matches every name;
// - a name matches when any pattern matches its lower-case form. A pattern is
//   matched token by token ("*", "?", runs of other characters) without
//   backtracking: a literal after "*" binds to its first occurrence.
#include <QString>
#include <QStringList>
#include <QStringView>

class TPatternList {
public:
    void Clear() { m_strings.clear(); }
    // Inserts text at its sorted place; false (and no change) when it is already there.
    bool Add(const QString& text);
    int Count() const { return static_cast<int>(m_strings.size()); }
    const QString& At(int index) const { return m_strings.at(index); }
    const QStringList& Strings() const { return m_strings; }
    QString Join(QStringView separator) const { return m_strings.join(separator); }

private:
    QStringList m_strings;
};

// Replaces the patterns with those of a mask text.
void SetMaskPatterns(TPatternList& patterns, const QString& mask);

// One normalised pattern against a lower-case name.
bool MatchesPattern(QStringView pattern, QStringView lowerName);

// A file name against every pattern (an empty list matches nothing).
bool MatchesMask(const TPatternList& patterns, const QString& name);

#include "files/patternlist.h"

#include <gtest/gtest.h>

namespace {

TPatternList Mask(const QString& text)
{
    TPatternList patterns;
    SetMaskPatterns(patterns, text);
    return patterns;
}

bool Shows(const QString& mask, const QString& name)
{
    return MatchesMask(Mask(mask), name);
}

} // namespace

TEST(PatternList, KeepsStringsSortedByCharacterCodeWithoutDuplicates)
{
    TPatternList list;
    EXPECT_TRUE(list.Add(QStringLiteral("/b/")));
    EXPECT_TRUE(list.Add(QStringLiteral("/a/")));
    EXPECT_TRUE(list.Add(QStringLiteral("/A/"))); // another directory on this file system
    EXPECT_FALSE(list.Add(QStringLiteral("/a/")));
    EXPECT_EQ(list.Strings(), QStringList({"/A/", "/a/", "/b/"}));
    EXPECT_EQ(list.Join(u";"), QStringLiteral("/A/;/a/;/b/"));
}

TEST(Mask, PiecesAreTrimmedLowerCasedNormalisedAndReadBackSortedWithSemicolons)
{
    EXPECT_EQ(Mask(QStringLiteral("*.txt,*.doc")).Join(u";"), QStringLiteral("*.doc;*.txt"));
    EXPECT_EQ(Mask(QStringLiteral(" \tREADME ;a?;b*;x.y")).Join(u";"), QStringLiteral("*readme*;a?*;b*;x.y"));
    EXPECT_EQ(Mask(QString()).Join(u";"), QStringLiteral("*"));
    EXPECT_EQ(Mask(QStringLiteral("*.c;*.c")).Count(), 1);
    // An empty piece between two separators matches every name.
    EXPECT_EQ(Mask(QStringLiteral("*.c;;*.h")).Join(u";"), QStringLiteral("**;*.c;*.h"));
    EXPECT_TRUE(Shows(QStringLiteral("*.c;;*.h"), QStringLiteral("Makefile")));
    // A trailing separator adds no piece.
    EXPECT_EQ(Mask(QStringLiteral("*.c;")).Join(u";"), QStringLiteral("*.c"));
}

TEST(Mask, StarDotStarNeedsADotWhileStarShowsEverything)
{
    EXPECT_TRUE(Shows(QStringLiteral("*.*"), QStringLiteral("notes.txt")));
    EXPECT_TRUE(Shows(QStringLiteral("*.*"), QStringLiteral(".profile")));
    EXPECT_FALSE(Shows(QStringLiteral("*.*"), QStringLiteral("Makefile")));
    EXPECT_TRUE(Shows(QStringLiteral("*"), QStringLiteral("Makefile")));
    EXPECT_TRUE(Shows(QString(), QStringLiteral("Makefile")));
}

TEST(Mask, PlainLettersMatchNamesContainingThemInAnyCase)
{
    EXPECT_TRUE(Shows(QStringLiteral("rep"), QStringLiteral("REPORT.TXT")));
    EXPECT_TRUE(Shows(QStringLiteral("Rep"), QStringLiteral("old_report")));
    EXPECT_FALSE(Shows(QStringLiteral("rep"), QStringLiteral("roster")));
}

TEST(Mask, LetterAndQuestionMarkMatchesTwoOrMoreCharactersStartingWithTheLetter)
{
    EXPECT_TRUE(Shows(QStringLiteral("a?"), QStringLiteral("ab")));
    EXPECT_TRUE(Shows(QStringLiteral("a?"), QStringLiteral("Archive.zip")));
    EXPECT_FALSE(Shows(QStringLiteral("a?"), QStringLiteral("a")));
    EXPECT_FALSE(Shows(QStringLiteral("a?"), QStringLiteral("ba")));
}

TEST(Mask, LiteralStarLiteralBindsTheFirstOccurrenceWithoutBacktracking)
{
    // Begins with the first literal, ends with the second, however long the middle.
    EXPECT_TRUE(Shows(QStringLiteral("ab*.txt"), QStringLiteral("ab.txt")));
    EXPECT_TRUE(Shows(QStringLiteral("ab*.txt"), QStringLiteral("abcdefghij-klmnop.txt")));
    EXPECT_FALSE(Shows(QStringLiteral("ab*.txt"), QStringLiteral("xab.txt")));
    EXPECT_FALSE(Shows(QStringLiteral("ab*.txt"), QStringLiteral("ab.txt.bak")));
    // "*" + literal: the first occurrence decides, so a name with the literal twice fails.
    EXPECT_TRUE(Shows(QStringLiteral("*.txt"), QStringLiteral("a.txt")));
    EXPECT_FALSE(Shows(QStringLiteral("*.txt"), QStringLiteral("a.txt.txt")));
    EXPECT_FALSE(Shows(QStringLiteral("*.gz"), QStringLiteral("x.gz.gz")));
}

TEST(Mask, QuestionMarksAndExactPatterns)
{
    EXPECT_TRUE(MatchesPattern(u"a?c.txt", u"abc.txt"));
    EXPECT_FALSE(MatchesPattern(u"a?c.txt", u"ac.txt"));
    EXPECT_FALSE(MatchesPattern(u"file??", u"file1"));
    EXPECT_TRUE(MatchesPattern(u"file??", u"file12"));
    EXPECT_TRUE(MatchesPattern(u"x.y", u"x.y"));
    EXPECT_FALSE(MatchesPattern(u"x.y", u"x.yz"));
    EXPECT_TRUE(Shows(QStringLiteral("X.Y"), QStringLiteral("x.Y")));
    EXPECT_FALSE(MatchesMask(TPatternList(), QStringLiteral("anything")));
}

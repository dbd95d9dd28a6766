#include "core/codepage.h"
#include "core/exception.h"
#include "support/exceptionrecorder.h"

#include <gtest/gtest.h>

TEST(Codepage, SlovenianLettersRoundTripThroughTheirCp1250Bytes)
{
    const QString text = QStringLiteral("Čas šteje žabe ĆĐ č š ž");
    const QByteArray bytes = ToCp1250(text);
    EXPECT_EQ(bytes, QByteArray("\xC8" "as \x9A" "teje \x9E" "abe \xC6\xD0 \xE8 \x9A \x9E"));
    EXPECT_EQ(FromCp1250(bytes), text);
}

TEST(Codepage, UnmappableCharactersBecomeQuestionMarksAndKeepTheLength)
{
    EXPECT_EQ(ToCp1250(QStringLiteral("a\u4E2Db")), QByteArray("a?b"));
    EXPECT_EQ(ToCp1250(QStringLiteral("x\U0001F600y")), QByteArray("x??y")); // surrogate pair
    EXPECT_EQ(FromCp1250(QByteArray("a\0b", 3)).size(), 3);                  // NUL kept
}

TEST(Codepage, EveryByteStringComesBackUnchanged)
{
    // Names a server lists in another encoding (UTF-8 here) must go back to it
    // byte for byte, the five bytes without a character included.
    QByteArray all(256, Qt::Uninitialized);
    for (int b = 0; b < 256; ++b)
        all[b] = char(b);
    EXPECT_EQ(ToCp1250(FromCp1250(all)), all);
    const QByteArray utf8Names("\xC5\x88.txt \xC5\x98 \xD1\x81");
    EXPECT_EQ(ToCp1250(FromCp1250(utf8Names)), utf8Names);
    EXPECT_EQ(FromCp1250(QByteArray("\x81", 1)), QString(QChar(0x0081)));
}

TEST(ExceptionReporting, RecorderSeesTheTypeAndMessage)
{
    try {
        throw Exception(QStringLiteral("Napaka č"));
    } catch (...) {
        ReportException(std::current_exception());
    }
    ASSERT_EQ(ExceptionRecorder::Count(), 1u);
    ASSERT_NE(ExceptionRecorder::As<Exception>(0), nullptr);
    EXPECT_EQ(ExceptionRecorder::MessageAt(0), QStringLiteral("Napaka č"));
    EXPECT_EQ(ExceptionRecorder::As<std::bad_alloc>(0), nullptr);
}

#include "core/utf8kept.h"

#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <initializer_list>

namespace {
// A text of UTF-16 code units (lone surrogates included, which no literal may hold).
QString units(std::initializer_list<char16_t> codes)
{
    QString text;
    for (char16_t c : codes)
        text += QChar(c);
    return text;
}
} // namespace

TEST(Utf8Kept, ValidTextDecodesAsUtf8AndEncodesBackTheSame)
{
    const QString text = QStringLiteral("Čebula čaj € \U0001F600.txt");
    const QByteArray bytes = text.toUtf8();
    EXPECT_EQ(FromUtf8Kept(bytes), text);
    EXPECT_EQ(ToUtf8Kept(text), bytes);
}

TEST(Utf8Kept, EachByteOfAnInvalidSequenceIsKeptAsAMark)
{
    // A bad continuation, a stray continuation, an overlong "/", an encoded
    // surrogate, a sequence cut at the end, a lead byte beyond U+10FFFF.
    EXPECT_EQ(FromUtf8Kept(QByteArray("\xC3\x28")), units({0xDCC3, '('}));
    EXPECT_EQ(FromUtf8Kept(QByteArray("a\x80z")), units({'a', 0xDC80, 'z'}));
    EXPECT_EQ(FromUtf8Kept(QByteArray("\xC0\xAF")), units({0xDCC0, 0xDCAF}));
    EXPECT_EQ(FromUtf8Kept(QByteArray("\xED\xB2\x80")), units({0xDCED, 0xDCB2, 0xDC80}));
    EXPECT_EQ(FromUtf8Kept(QByteArray("x\xE2\x82")), units({'x', 0xDCE2, 0xDC82}));
    EXPECT_EQ(FromUtf8Kept(QByteArray("\xF5\x80\x80\x80")).size(), 4);
    // A valid character right after a bad byte is still read as one.
    EXPECT_EQ(FromUtf8Kept(QByteArray("\xC3\xC4\x8D")), units({0xDCC3, 0x010D}));
}

TEST(Utf8Kept, AnyByteStringRoundTripsExactly)
{
    QRandomGenerator random(15);
    for (int round = 0; round < 2000; ++round) {
        QByteArray bytes(int(random.bounded(1, 40)), Qt::Uninitialized);
        for (char& b : bytes) // biased towards bytes of multi-byte sequences
            b = char(random.bounded(2) ? random.bounded(256) : 0x80 + random.bounded(0x78));
        ASSERT_EQ(ToUtf8Kept(FromUtf8Kept(bytes)), bytes) << bytes.toHex().constData();
    }
}

TEST(Utf8Kept, ALoneSurrogateNotFromDecodingBecomesAQuestionMark)
{
    EXPECT_EQ(ToUtf8Kept(units({'a', 0xD800, 'b', 0xDC10})), QByteArray("a?b?"));
}

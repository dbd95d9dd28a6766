// The listing parser: the "ls -l" field split with its trimming and take-back
// rule, links, "." and "..", size grouping, the line-feed rule, hostile names,
// 64-bit sizes and listings longer than 4000 entries; plus the listings that
// pyftpdlib and vsftpd really send.
#include "ftp/listingparser.h"

#include "support/ftppyftpdserver.h"
#include "support/ftprawclient.h"
#include "support/ftpvsftpdserver.h"

#include <QFile>

#include <gtest/gtest.h>
#include <unistd.h>

#include <optional>

namespace {
TRemoteListing parse(QByteArray raw)
{
    TRemoteListing table;
    RazcleniSeznam(raw, table);
    EXPECT_TRUE(raw.isEmpty());
    return table;
}

std::optional<TRemoteEntry> find(const TRemoteListing& table, const QString& name)
{
    for (int i = 1; i < table.Count(); ++i)
        if (table.At(i).name == name)
            return table.At(i);
    return std::nullopt;
}

std::string names(const TRemoteListing& table)
{
    QStringList all;
    for (int i = 0; i < table.Count(); ++i)
        all << table.At(i).name;
    return all.join(" | ").toStdString();
}
} // namespace

TEST(ListingParser, ReadsDirectoriesFilesAndLinksFromTheUnixLayout)
{
    const TRemoteListing table = parse("total 12\r\n"
                                       "drwxr-xr-x    2 user     group         512 Jan  1 12:00 pub\r\n"
                                       "-rw-r--r--   1 user group 1234567 Feb 29  2020 big.zip\r\n"
                                       "lrwxrwxrwx 1 root root 9 Mar 3 10:10 docs -> /var/docs\r\n"
                                       "-rw-r--r-- 1 u g 3 Jan 1 12:00 my  file.txt\n");
    ASSERT_EQ(table.Count(), 5) << names(table);
    EXPECT_EQ(table.At(0).name, "..");
    EXPECT_EQ(table.At(0).kind, ekParent);

    const TRemoteEntry& pub = table.At(1);
    EXPECT_EQ(pub.name, "pub");
    EXPECT_EQ(pub.kind, ekDirectory);
    EXPECT_EQ(pub.attributes, "drwxr-xr-x");
    EXPECT_EQ(pub.sizeText, "512");
    EXPECT_EQ(pub.size, 0); // sizes are kept for files only

    const TRemoteEntry& big = table.At(2);
    EXPECT_EQ(big.name, "big.zip");
    EXPECT_EQ(big.kind, ekFile);
    EXPECT_EQ(big.size, 1234567);
    EXPECT_EQ(big.sizeText, "1,234,567");

    EXPECT_EQ(table.At(3).name, "docs");
    EXPECT_EQ(table.At(3).kind, ekDirectory);
    EXPECT_EQ(table.At(3).attributes, "lrwxrwxrwx");

    EXPECT_EQ(table.At(4).name, "my  file.txt"); // inner spaces stay
}

TEST(ListingParser, SkipsDotEntriesOtherFormatsAndTheUnterminatedLastLine)
{
    EXPECT_EQ(parse("").Count(), 1);
    EXPECT_EQ(parse("01-02-20  10:00AM       <DIR>          pub\r\n"
                    "01-02-20  10:00AM                 123 a.txt\r\n")
                  .Count(),
              1);
    const TRemoteListing table = parse("drwxr-xr-x 2 u g 512 Jan 1 12:00 .\r\n"
                                       "drwxr-xr-x 2 u g 512 Jan 1 12:00 ..\r\n"
                                       "lrwxrwxrwx 1 u g 2 Jan 1 12:00 .. -> /\r\n"
                                       "-rw-r--r-- 1 u g 1 Jan 1 12:00 kept\r\n"
                                       "-rw-r--r-- 1 u g 1 Jan 1 12:00 unterminated");
    EXPECT_EQ(names(table), ".. | kept");
}

TEST(ListingParser, ShortLinesAndTheTakeBackRule)
{
    // Fewer than nine fields: the last field is the name, the size field is whatever was reached.
    const TRemoteListing shortLines = parse("-rw-r--r-- 1 u g 77 name\r\n"
                                            "-rw-r--r-- 1 u g 42\r\n");
    ASSERT_EQ(shortLines.Count(), 3) << names(shortLines);
    EXPECT_EQ(shortLines.At(1).name, "name");
    EXPECT_EQ(shortLines.At(1).size, 77);
    EXPECT_EQ(shortLines.At(2).name, "42");
    EXPECT_EQ(shortLines.At(2).size, 0); // no space left: the size field is empty
    EXPECT_EQ(shortLines.At(2).sizeText, "");

    // A first field followed only by blanks empties the text; each later step
    // takes the remembered line back and splits it again.
    const TRemoteListing takeBack = parse("-x\t \r\n");
    ASSERT_EQ(takeBack.Count(), 2);
    EXPECT_EQ(takeBack.At(1).name, "-x\t \r\n");
    EXPECT_EQ(takeBack.At(1).sizeText, "-x\t");
    EXPECT_EQ(takeBack.At(1).size, 0);
}

TEST(ListingParser, OnlyLinkLinesLoseTheirTarget)
{
    const TRemoteListing table = parse("-rw-r--r-- 1 u g 5 Jan 1 12:00 a -> b\n"
                                       "drwxr-xr-x 2 u g 5 Jan 1 12:00 x -> y\n"
                                       "lrwxrwxrwx 1 u g 5 Jan 1 12:00 link -> target\n");
    EXPECT_EQ(names(table), ".. | a -> b | x -> y | link");
}

TEST(ListingParser, MillionsOfEmptyLinesCostNoMoreThanTheirEntries)
{
    // Reserving an entry per line feed would ask for hundreds of megabytes here.
    QByteArray raw(8 * 1024 * 1024, '\n');
    raw += "-rw-r--r-- 1 u g 5 Jan 1 12:00 last\n";
    const TRemoteListing table = parse(raw);
    EXPECT_EQ(names(table), ".. | last");
}

TEST(ListingParser, HugeListingsAreHeldCompactlyAndCappedInEntries)
{
    // 64 MiB of "-" lines, each a one-character file: the table stops at its cap
    // and keeps each entry in a few dozen bytes.
    QByteArray raw;
    raw.reserve(64 * 1024 * 1024);
    while (raw.size() < 64 * 1024 * 1024)
        raw += "-\n";
    const TRemoteListing table = parse(raw);
    EXPECT_TRUE(table.Cut());
    EXPECT_EQ(table.Count(), TRemoteListing::kNajvecVnosov + 1);
    EXPECT_EQ(table.At(TRemoteListing::kNajvecVnosov).name, "-");
    EXPECT_LE(table.BytesHeld(), qsizetype(table.Count()) * 64);

    // Ordinary entries: at most 64 bytes each beyond the name's own.
    QByteArray ordinary;
    qsizetype nameBytes = 0;
    for (int i = 0; i < 100000; ++i) {
        const QByteArray name = "file-number-" + QByteArray::number(i) + ".txt";
        ordinary += "-rw-r--r-- 1 user group 1234567 Jan 1 12:00 " + name + "\r\n";
        nameBytes += name.size() * 2;
    }
    const TRemoteListing many = parse(ordinary);
    EXPECT_FALSE(many.Cut());
    ASSERT_EQ(many.Count(), 100001);
    EXPECT_LE(many.BytesHeld(), qsizetype(many.Count()) * 64 + nameBytes);
    EXPECT_EQ(many.At(100000).name, "file-number-99999.txt");
    EXPECT_EQ(many.At(100000).sizeText, "1,234,567");
    EXPECT_EQ(many.At(100000).attributes, "-rw-r--r--");

    // A rename keeps the entry's other fields; Clear keeps the cap and forgets the cut.
    TRemoteListing small = parse("-rw-r--r-- 1 u g 7 Jan 1 12:00 a\n-rw-r--r-- 1 u g 8 Jan 1 12:00 b\n");
    small.SetName(1, "renamed");
    EXPECT_EQ(names(small), ".. | renamed | b");
    EXPECT_EQ(small.At(1).size, 7);
    EXPECT_EQ(small.At(1).sizeText, "7");
    small.SetNajvec(1);
    QByteArray three = "-r 1 u g 1 J 1 1 x\n-r 1 u g 1 J 1 1 y\n-r 1 u g 1 J 1 1 z\n";
    RazcleniSeznam(three, small);
    EXPECT_EQ(names(small), ".. | x");
    EXPECT_TRUE(small.Cut());
}

TEST(ListingParser, SizesAre64BitAndKeepAllTheirDigits)
{
    const TRemoteListing table = parse("-rw-r--r-- 1 u g 1234567890 Jan 1 12:00 ten\r\n"
                                       "-rw-r--r-- 1 u g 5000000000 Jan 1 12:00 five-gib\r\n"
                                       "-rw-r--r-- 1 u g 123456 Jan 1 12:00 six\r\n"
                                       "-rw-r--r-- 1 u g 99999999999999999999999 Jan 1 12:00 huge\r\n"
                                       "-rw-r--r-- 1 u g 12k Jan 1 12:00 suffix\r\n");
    EXPECT_EQ(find(table, "ten")->sizeText, "1,234,567,890");
    EXPECT_EQ(find(table, "ten")->size, 1234567890);
    EXPECT_EQ(find(table, "five-gib")->size, Q_INT64_C(5000000000));
    EXPECT_EQ(find(table, "five-gib")->sizeText, "5,000,000,000");
    EXPECT_EQ(find(table, "six")->sizeText, "123,456");
    EXPECT_EQ(find(table, "huge")->size, std::numeric_limits<qint64>::max());
    EXPECT_EQ(find(table, "suffix")->size, 12);
    EXPECT_EQ(GroupThousands(u""), "");
    EXPECT_EQ(GroupThousands(u"12"), "12");
    EXPECT_EQ(GroupThousands(u"1234"), "1,234");
}

TEST(ListingParser, HostileNamesStayDataWithinOneLine)
{
    QByteArray raw = "-rw-r--r-- 1 u g 1 Jan 1 12:00 ../x\r\n"
                     "-rw-r--r-- 1 u g 1 Jan 1 12:00 a/b\r\n"
                     "-rw-r--r-- 1 u g 1 Jan 1 12:00 in\rner\r\n"
                     "-rw-r--r-- 1 u g 1 Jan 1 12:00 evil\nname\r\n"
                     "-rw-r--r-- 1 u g 1 Jan 1 12:00 \xe8rka\r\n";
    raw += QByteArray("-rw-r--r-- 1 u g 1 Jan 1 12:00 nul\0byte\r\n", 41);
    raw += "-rw-r--r-- 1 u g 1 Jan 1 12:00 " + QByteArray(10000, 'n') + "\r\n";
    raw += "-rw-r--r-- 1 u g 1 Jan 1 12:00 after-long\r\n";
    const TRemoteListing table = parse(raw);
    ASSERT_EQ(table.Count(), 9) << names(table);
    EXPECT_EQ(table.At(1).name, "../x");
    EXPECT_EQ(table.At(2).name, "a/b");
    EXPECT_EQ(table.At(3).name, "in\rner");
    EXPECT_EQ(table.At(4).name, "evil"); // the line feed ends the line; "name" starts no entry
    EXPECT_EQ(table.At(5).name, QString::fromUtf8("črka"));
    EXPECT_EQ(table.At(6).name, QString("nul") + QChar(0) + "byte");
    EXPECT_EQ(table.At(7).name, QString(255 - 31, 'n')); // the line is cut to 255 characters
    EXPECT_EQ(table.At(8).name, "after-long");

    for (const char* unsafe : {"../x", "a/b", ".", "..", ""})
        EXPECT_FALSE(IsSafeLocalName(QString::fromLatin1(unsafe))) << unsafe;
    EXPECT_FALSE(IsSafeLocalName(table.At(6).name));
    for (const char* safe : {"a.txt", "...", ".hidden", "in\rner", "x..y"})
        EXPECT_TRUE(IsSafeLocalName(QString::fromLatin1(safe))) << safe;
}

TEST(ListingParser, GrowsPast4000EntriesAndRefillsFromScratch)
{
    QByteArray raw;
    for (int i = 0; i < 5000; ++i)
        raw += "-rw-r--r-- 1 u g " + QByteArray::number(i) + " Jan 1 12:00 f" + QByteArray::number(i) + "\n";
    TRemoteListing table = parse(raw);
    ASSERT_EQ(table.Count(), 5001);
    EXPECT_EQ(table.At(5000).name, "f4999");
    EXPECT_EQ(table.At(5000).size, 4999);

    table.SetName(1, "renamed");
    EXPECT_EQ(table.At(1).name, "renamed");
    EXPECT_THROW(table.SetName(0, "x"), std::out_of_range);

    QByteArray second = "-rw-r--r-- 1 u g 1 Jan 1 12:00 only\r\n";
    RazcleniSeznam(second, table);
    EXPECT_EQ(names(table), ".. | only");
}

namespace {
// Files every real-server listing test serves.
bool putSample(FtpServerProcess& server)
{
    return server.PutFile("big file.bin", QByteArray(1234567, 'x')) && server.PutFile("small.txt", "12345") &&
           server.MakeDir("sub dir") &&
           ::symlink("small.txt", QFile::encodeName(server.RootPath() + "/link").constData()) == 0;
}

void expectSample(const QByteArray& listing)
{
    const TRemoteListing table = parse(listing);
    ASSERT_EQ(table.Count(), 5) << names(table) << "\n" << listing.toStdString();
    const std::optional<TRemoteEntry> big = find(table, "big file.bin");
    ASSERT_TRUE(big);
    EXPECT_EQ(big->kind, ekFile);
    EXPECT_EQ(big->size, 1234567);
    EXPECT_EQ(big->sizeText, "1,234,567");
    EXPECT_EQ(big->attributes, "-rw-r--r--");
    ASSERT_TRUE(find(table, "small.txt"));
    EXPECT_EQ(find(table, "small.txt")->size, 5);
    ASSERT_TRUE(find(table, "sub dir"));
    EXPECT_EQ(find(table, "sub dir")->kind, ekDirectory);
    ASSERT_TRUE(find(table, "link"));
    EXPECT_EQ(find(table, "link")->kind, ekDirectory); // links count as directories
}

QByteArray capture(quint16 port)
{
    FtpRawClient client;
    if (!client.Connect(port) || !client.Login())
        return {};
    return client.List();
}
} // namespace

TEST(ListingParser, ReadsPyftpdlibListings)
{
    PyftpdServer server;
    QString error;
    ASSERT_TRUE(server.Start(&error)) << error.toStdString();
    ASSERT_TRUE(putSample(server));
    expectSample(capture(server.Port()));
}

TEST(ListingParser, ReadsVsftpdListings)
{
    if (const QString why = VsftpdServer::Unavailable(); !why.isEmpty())
        GTEST_SKIP() << why.toStdString();
    VsftpdServer server(VsftpdMode::ReadOnly);
    QString error;
    ASSERT_TRUE(server.Start(&error)) << error.toStdString();
    ASSERT_TRUE(putSample(server));
    expectSample(capture(server.Port()));
}

// The listing parser: the "ls -l" field split with its trimming and take-back
// rule, links, "." and "..", size grouping, the line-feed rule, hostile names,
// 64-bit sizes and listings longer than 4000 entries; plus the listings that
// pyftpdlib and vsftpd really send.
#include "ftp/listingparser.h"

#include "support/ftppyftpdserver.h"
#include "support/ftprawclient.h"
#include "support/ftpvsftpdserver.h"

#include <QDateTime>
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

// A wall-clock or UTC time as seconds since 1970.
qint64 at(int y, int mo, int d, int h = 0, int mi = 0, int sec = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, sec), Qt::UTC).toSecsSinceEpoch();
}

// One listing line and the date its table entry must carry.
struct TDateCase {
    const char* line;
    qint64 modified; // -1: no date, but the entry is there
    bool utc = false;
};

// Every line read alone in format must give exactly one entry with its date.
void expectDates(TListFormat format, std::initializer_list<TDateCase> cases)
{
    for (const TDateCase& row : cases) {
        QByteArray raw = QByteArray(row.line) + "\r\n";
        TRemoteListing table;
        RazcleniSeznam(raw, format, table);
        ASSERT_EQ(table.Count(), 2) << row.line;
        EXPECT_EQ(table.At(1).modified, row.modified) << row.line;
        EXPECT_EQ(table.At(1).modifiedUtc, row.utc) << row.line;
    }
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

TEST(ListingParser, UnixDatesWithYearOrTimeOfDay)
{
    // A time of day takes now's year unless that is more than a day ahead, then the year before.
    const qint64 now = at(2026, 3, 10, 12, 0);
    struct {
        const char* month;
        const char* day;
        const char* yearOrTime;
        qint64 modified;
        bool dayOnly;
    } const cases[] = {
        {"Mar", "3", "2021", at(2021, 3, 3), true},
        {"dec", "31", "1999", at(1999, 12, 31), true},
        {"Feb", "29", "2020", at(2020, 2, 29), true},
        {"Mar", "3", "12:34", at(2026, 3, 3, 12, 34), false},
        {"Mar", "11", "11:59", at(2026, 3, 11, 11, 59), false}, // less than a day ahead: this year
        {"Mar", "11", "12:01", at(2025, 3, 11, 12, 1), false},  // more than a day ahead: last year
        {"Dec", "24", "08:00", at(2025, 12, 24, 8, 0), false},
        {"Feb", "29", "10:00", -1, false}, // neither 2026 nor 2025 has the day
        {"Jan", "1", "00:00", at(2026, 1, 1), false},
        // Broken fields give no date, never a wrong one.
        {"Feb", "30", "2021", -1, false},
        {"Feb", "29", "2021", -1, false},
        {"Mär", "3", "2021", -1, false},
        {"Mar", "0", "2021", -1, false},
        {"Mar", "32", "12:00", -1, false},
        {"Mar", "3", "24:00", -1, false},
        {"Mar", "3", "12:60", -1, false},
        {"Mar", "3", "1:2:3", -1, false},
        {"Mar", "3", "1969", -1, false},
        {"Mar", "3", "21", -1, false},
        {"Mar", "x", "12:00", -1, false},
        {"", "", "", -1, false},
    };
    for (const auto& row : cases) {
        const TUnixListedTime time = UnixListedTime(QString::fromUtf8(row.month), QString::fromUtf8(row.day),
                                                    QString::fromUtf8(row.yearOrTime), now);
        EXPECT_EQ(time.seconds, row.modified) << row.month << ' ' << row.day << ' ' << row.yearOrTime;
        EXPECT_EQ(time.dayOnly, row.dayOnly) << row.month << ' ' << row.day << ' ' << row.yearOrTime;
    }

    // Through the table: the date lands in its entry, a broken one costs the line nothing.
    const TRemoteListing table = parse("-rw-r--r-- 1 u g 10 Mar  3  2021 dated\n"
                                       "-rw-r--r-- 1 u g 10 Feb 30  2021 broken\n"
                                       "-rw-r--r-- 1 u g 10 Mar 3\n"
                                       "drwxr-xr-x 2 u g 512 Jan  1 00:00 recent\n");
    EXPECT_EQ(names(table), ".. | dated | broken | 3 | recent");
    EXPECT_EQ(table.At(1).modified, at(2021, 3, 3));
    EXPECT_TRUE(table.At(1).modifiedDayOnly);
    EXPECT_FALSE(table.At(1).modifiedUtc);
    EXPECT_EQ(table.At(2).modified, -1);
    EXPECT_EQ(table.At(3).modified, -1);
    const QDate listed = QDateTime::fromSecsSinceEpoch(table.At(4).modified, Qt::UTC).date();
    EXPECT_EQ(listed.month(), 1);
    EXPECT_EQ(listed.day(), 1);
    EXPECT_GE(listed.year(), QDate::currentDate().year() - 1);
    EXPECT_FALSE(table.At(4).modifiedDayOnly);

    // A rename keeps the date.
    TRemoteListing renamed = table;
    renamed.SetName(1, "other");
    EXPECT_EQ(renamed.At(1).modified, at(2021, 3, 3));
    EXPECT_TRUE(renamed.At(1).modifiedDayOnly);
}

TEST(ListingParser, DosDatesInEveryVariant)
{
    expectDates(lfDos, {
                           {"03-03-21  12:34PM       <DIR>          pub", at(2021, 3, 3, 12, 34)},
                           {"03-03-21  12:34AM                  10 a", at(2021, 3, 3, 0, 34)},
                           {"12-31-69  11:59PM                  10 b", at(2069, 12, 31, 23, 59)},
                           {"01-01-70  01:00AM                  10 c", at(1970, 1, 1, 1, 0)},
                           {"03-03-2021  12:34PM                10 d", at(2021, 3, 3, 12, 34)},
                           {"2021-03-03  23:59                  10 e", at(2021, 3, 3, 23, 59)},
                           {"2021/03/03  00:00                  10 f", at(2021, 3, 3)},
                           {"25-12-2020  23:59            1.234.567 g", at(2020, 12, 25, 23, 59)},
                           {"04-07-2019  00:05:09       5000000000 h", at(2019, 4, 7, 0, 5, 9)},
                           {"02-29-24  11:59PM       <DIR>          i", at(2024, 2, 29, 23, 59)},
                       });
}

TEST(ListingParser, VmsDatesWithAndWithoutSeconds)
{
    expectDates(lfVms,
                {
                    {"A.TXT;1  1/3  3-MAR-2021 12:34:56  [U]  (RWED,RWED,RE,)", at(2021, 3, 3, 12, 34, 56)},
                    {"B.TXT;1  1/3  3-mar-2021 12:34  [U]  (RWED,RWED,RE,)", at(2021, 3, 3, 12, 34)},
                    {"C.TXT;1  1/3  31-DEC-1999 23:59:59.99  [U]  (RWED,,,)", at(1999, 12, 31, 23, 59, 59)},
                    {"D.DIR;1  1/3  1-JAN-99 00:00  [U]  (RWE,RWE,,)", at(1999, 1, 1)},
                    {"E.TXT;1  1/3  30-FEB-2021 12:00  [U]  (RWED,,,)", -1},
                    {"F.TXT;1  1/3  3-MAI-2021 12:00  [U]  (RWED,,,)", -1},
                    {"G.TXT;1  1/3  3-MAR-2021 25:00  [U]  (RWED,,,)", -1},
                    {"H.TXT;1  1/3", -1},
                });
}

TEST(ListingParser, MachineListingDatesAreUtc)
{
    expectDates(lfMlsd,
                {
                    {"type=file;size=1;modify=20210303123456; a", at(2021, 3, 3, 12, 34, 56), true},
                    {"type=file;size=1;modify=20210303123456.789; b", at(2021, 3, 3, 12, 34, 56), true},
                    {"type=dir;modify=19700101000000; c", 0, true},
                    {"type=file;size=1;modify=20211332000000; d", -1},
                    {"type=file;size=1;modify=2021030312345; e", -1},
                    {"type=file;size=1;modify=20210303123456.; f", -1},
                    {"type=file;size=1;modify=19691231235959; g", -1},
                    {"type=file;size=1;modify=bogus; h", -1},
                    {"type=file;size=1; i", -1},
                });
}

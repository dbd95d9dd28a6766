// Listing lines in the shapes real servers write besides the standard "ls -l"
// and VMS layouts: each gives the name, size and kind it must, a line that
// cannot be read with confidence is left out and reported, and the engine
// sends a name read this way back exactly.
#include "scriptedsession.h"

#include "ftp/listingparser.h"

#include <QDateTime>
#include <QTemporaryDir>

namespace {
QString fromUtf8(QByteArrayView bytes)
{
    return QString::fromUtf8(bytes);
}

qint64 at(int y, int mo, int d, int h = 0, int mi = 0, int s = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s), Qt::UTC).toSecsSinceEpoch();
}

constexpr qint64 kAnyDate = -2; // a date that depends on today's year: only "some date"

struct TShape {
    const char* line;
    const char* name;
    qint64 size; // as listed: bytes (kept for files only) or VMS blocks ("n blk", kept as 0)
    TEntryKind kind;
    qint64 modified = -1;
    bool utc = false;
};

// Reads every line alone in format and checks the one row it must give.
void expectShapes(TListFormat format, std::initializer_list<TShape> shapes)
{
    for (const TShape& shape : shapes) {
        QByteArray raw = QByteArray(shape.line) + "\r\n";
        TRemoteListing table;
        TUnreadLines unread;
        RazcleniSeznam(raw, format, table, fromUtf8, &unread);
        SCOPED_TRACE(shape.line);
        ASSERT_EQ(table.Count(), 2);
        EXPECT_EQ(unread.count, 0);
        const TRemoteEntry row = table.At(1);
        EXPECT_EQ(row.name, QString::fromUtf8(shape.name));
        EXPECT_EQ(row.kind, shape.kind);
        if (format == lfVms) {
            EXPECT_EQ(row.size, 0);
            EXPECT_EQ(row.sizeText, QString::number(shape.size) + " blk");
        } else {
            EXPECT_EQ(row.size, shape.kind == ekFile ? shape.size : 0);
            EXPECT_EQ(row.sizeText, GroupThousands(QString::number(shape.size)));
        }
        if (shape.modified == kAnyDate)
            EXPECT_GE(row.modified, 0);
        else
            EXPECT_EQ(row.modified, shape.modified);
        EXPECT_EQ(row.modifiedUtc, shape.utc);
    }
}

// Every line of raw is left out, and reported.
void expectUnread(TListFormat format, const QByteArray& raw, int lines)
{
    QByteArray listing = raw;
    TRemoteListing table;
    TUnreadLines unread;
    RazcleniSeznam(listing, format, table, fromUtf8, &unread);
    EXPECT_EQ(table.Count(), 1) << raw.toStdString();
    EXPECT_EQ(unread.count, lines) << raw.toStdString();
    EXPECT_EQ(unread.lines.size(), qMin(lines, TUnreadLines::kKept));
}
} // namespace

TEST(ListingShapes, UnixLinesWithoutGroupOwnerOrWithBlanksInThem)
{
    expectShapes(
        lfUnix,
        {
            {"-rw-r--r--   1 ftp      1234567 Jan 15  2020 report.pdf", "report.pdf", 1234567, ekFile,
             at(2020, 1, 15)},
            {"-rw-r--r--   1    524288 Mar  3  2021 data.bin", "data.bin", 524288, ekFile, at(2021, 3, 3)},
            {"drwxr-xr-x      4096 Mar  3  2021 my photos", "my photos", 4096, ekDirectory, at(2021, 3, 3)},
            {"-rw-r--r--   1 John Smith   staff   2048 Feb  1  2022 cv.doc", "cv.doc", 2048, ekFile,
             at(2022, 2, 1)},
            {"-rwxrwxrwx   1 DOMAIN Admin  Domain Users   77 Dec 24  2019 notes final.txt", "notes final.txt",
             77, ekFile, at(2019, 12, 24)},
            {"-rw-r--r--   1 1000 4096 2020-01-15 12:00 numeric owner", "numeric owner", 4096, ekFile,
             at(2020, 1, 15, 12, 0)},
            {"lrwxrwxrwx   1 user 4 2020-01-15 12:00 link -> target", "link", 4, ekDirectory,
             at(2020, 1, 15, 12, 0)},
            {"-rw-r--r--   1 user 5 Jan  1  2020 backup 7 Feb 2 2020 old", "backup 7 Feb 2 2020 old", 5,
             ekFile, at(2020, 1, 1)},
            {"-rw-r--r--   1 user 8 Jan  1 12:00 recent", "recent", 8, ekFile, kAnyDate},
        });
}

TEST(ListingShapes, UnixDatesInTheFormsServersWrite)
{
    expectShapes(
        lfUnix,
        {
            // ISO dates: long, full with a zone offset (a UTC instant), a day alone, a month-day with a time.
            {"-rw-r--r-- 1 user group 4096 2023-05-06 14:07 iso name.txt", "iso name.txt", 4096, ekFile,
             at(2023, 5, 6, 14, 7)},
            {"-rw-r--r-- 1 user group 10 2023-05-06 14:07:08.123456789 +0200 full.txt", "full.txt", 10,
             ekFile, at(2023, 5, 6, 12, 7, 8), true},
            {"-rw-r--r-- 1 user group 11 2019-01-15 iso-old.txt", "iso-old.txt", 11, ekFile, at(2019, 1, 15)},
            {"-rw-r--r-- 1 user group 12 01-15 12:00 iso-recent.txt", "iso-recent.txt", 12, ekFile, kAnyDate},
            // Numeric month and day, with a year or a time; "N月" months.
            {"-rw-r--r-- 1 user group 300 1 15 2020 num.txt", "num.txt", 300, ekFile, at(2020, 1, 15)},
            {"-rw-r--r-- 1 user 301 1 15 12:00 num time.txt", "num time.txt", 301, ekFile, kAnyDate},
            {"-rw-r--r-- 1 user group 5 1月 15 2020 中文.txt", "中文.txt", 5, ekFile, at(2020, 1, 15)},
            {"-rw-r--r-- 1 user 6 12月 3 2020 no group.txt", "no group.txt", 6, ekFile, at(2020, 12, 3)},
            // Slashes, day-month-year, dots; a day and month that could be swapped give no date.
            {"-rw-r--r-- 1 user group 7 2020/01/15 12:00 slash.txt", "slash.txt", 7, ekFile,
             at(2020, 1, 15, 12, 0)},
            {"-rw-r--r-- 1 user group 8 01/15/2020 us.txt", "us.txt", 8, ekFile, at(2020, 1, 15)},
            {"-rw-r--r-- 1 user group 9 15/01/2020 eu.txt", "eu.txt", 9, ekFile, at(2020, 1, 15)},
            {"-rw-r--r-- 1 user group 10 03/04/2020 either.txt", "either.txt", 10, ekFile, -1},
            {"-rw-r--r-- 1 user group 11 15-01-2020 10:00 dmy.txt", "dmy.txt", 11, ekFile,
             at(2020, 1, 15, 10, 0)},
            {"-rw-r--r-- 1 user group 12 03.04.2020 dots.txt", "dots.txt", 12, ekFile, at(2020, 4, 3)},
            {"-rw-r--r-- 1 user group 13 15-Jan-2020 dashes.txt", "dashes.txt", 13, ekFile, at(2020, 1, 15)},
            // Month names in either order, with a comma or a dot, in other languages.
            {"-rw-r--r-- 1 user group 14 15 Jan 2020 dm.txt", "dm.txt", 14, ekFile, at(2020, 1, 15)},
            {"-rw-r--r-- 1 user 15 15. Jan 2020 de.txt", "de.txt", 15, ekFile, at(2020, 1, 15)},
            {"-rw-r--r-- 1 user group 16 Jan 15, 2020 comma.txt", "comma.txt", 16, ekFile, at(2020, 1, 15)},
            {"-rw-r--r-- 1 user group 17 Mär  3  2021 märz.txt", "märz.txt", 17, ekFile, at(2021, 3, 3)},
            {"-rw-r--r-- 1 user 18 janv. 3 2021 fr.txt", "fr.txt", 18, ekFile, at(2021, 1, 3)},
            {"-rw-r--r-- 1 user group 19 мар 3 2021 ru.txt", "ru.txt", 19, ekFile, at(2021, 3, 3)},
            {"-rw-r--r-- 1 user 20 3 maj 2021 sl.txt", "sl.txt", 20, ekFile, at(2021, 5, 3)},
            {"-rw-r--r-- 1 user group 21 Xyz 3 2021 unknown month.txt", "unknown month.txt", 21, ekFile, -1},
        });
}

TEST(ListingShapes, VmsNamesWithoutADotAndFieldsInOtherOrders)
{
    expectShapes(lfVms, {
                            {"NODOT;1          4   1-JAN-2000 00:00  [SYSTEM]  (RWED,RWED,RE,)", "NODOT;1", 4,
                             ekFile, at(2000, 1, 1)},
                            {"LOGIN.COM;12  [SYSTEM]  2  1-JAN-1999 00:00  (RWED,RWED,R,R)", "LOGIN.COM;12",
                             2, ekFile, at(1999, 1, 1)},
                            {"DATA.DAT;3  7-MAR-2002 10:15:22.04  12/14  [GROUP,USER]  (RWED,RWED,RE,)",
                             "DATA.DAT;3", 12, ekFile, at(2002, 3, 7, 10, 15, 22)},
                            {"SPACE.TXT;1  3  1-JAN-2000 00:00  [USER, NAME]  (RWED,,,)", "SPACE.TXT;1", 3,
                             ekFile, at(2000, 1, 1)},
                            {"SUBDIR.DIR;1  [1,1]  1/3  19-NOV-2001 21:41", "SUBDIR", 1, ekDirectory,
                             at(2001, 11, 19, 21, 41)},
                        });
}

TEST(ListingShapes, LinesThatCannotBeReadWithConfidenceAreLeftOutAndCounted)
{
    // UNIX: a mode string and nine fields but no size before a date; two ways
    // to cut numeric owners and a numeric date.
    expectUnread(lfUnix,
                 "-rw-r--r-- 1 user group staff extra words here more\r\n"
                 "-rw-r--r-- 1 12 1 2 2020 3 4 2021 x\r\n",
                 2);
    // VMS: two sizes, no size, a field of no known kind.
    expectUnread(lfVms,
                 "TWO.TXT;1  12  14  1-JAN-2000 00:00\r\n"
                 "NOSIZE.TXT;1  1-JAN-2000 00:00  [SYSTEM]\r\n"
                 "JUNK.TXT;1  12  1-JAN-2000 00:00  junk\r\n",
                 3);
    // Only the first few lines are kept for the log; all are counted.
    expectUnread(lfUnix, QByteArray("-rw-r--r-- 1 a b c d e f g h\n").repeated(TUnreadLines::kKept + 3),
                 TUnreadLines::kKept + 3);
    // Header, trailer and short lines stay as they were: skipped or read by the field split.
    expectUnread(lfVms, "Directory DISK$USERS:[ANONYMOUS]\r\nTotal of 3 files, 12/14 blocks.\r\n", 0);
    expectUnread(lfUnix, "total 12\r\n", 0);
}

TEST(ListingShapes, TheEngineSendsBackNamesReadByAnchorsAndLogsTheLinesLeftOut)
{
    const QByteArray raw = "drwxr-xr-x   2 John Smith      4096 2024-02-03 10:00 my dir\r\n"
                           "-rw-r--r--   1 ftp     12 Feb  3  2024 a file.txt\r\n"
                           "-rw-r--r--   1 user group staff extra words here more\r\n";
    ServerScript script;
    script.Login();
    listing(script, raw).Expect("CWD my dir", {"250 ok"}).Expect("PWD", {"257 \"/my dir\""});
    listing(script, raw, false);
    ScriptedServer server(script);
    TestSession t;
    QTemporaryDir local;
    ASSERT_TRUE(openListed(server, t, local.path()));
    EXPECT_EQ(t.view.RowNames(), (QStringList{"..", "my dir", "a file.txt"}));
    EXPECT_TRUE(t.view.Statuses.contains(t.view.GetWord("@idNeprebranaVrstica") +
                                         "-rw-r--r--   1 user group staff extra words here more"))
        << t.view.Statuses.join("|").toStdString();

    t.view.Select({"my dir"});
    t.seja.FTPDat1DblClick();
    ASSERT_TRUE(PumpUntil([&] { return t.view.Listings == 2; }, 10000));
    EXPECT_TRUE(server.WaitDone()) << server.Failure().toStdString();
}

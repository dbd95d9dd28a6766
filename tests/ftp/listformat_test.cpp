// The DOS/IIS, machine listing (MLSD) and VMS listing readers and the choice
// of the rule a listing is read with: realistic server output of each layout,
// a real pyftpdlib MLSD listing, names kept byte for byte, and a corruption
// pass (truncations, random bytes, noise lines).
#include "ftp/listformat.h"

#include "core/codepage.h"
#include "support/ftppyftpdserver.h"
#include "support/ftprawclient.h"

#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <stdexcept>

namespace {
QString fromUtf8(QByteArrayView bytes)
{
    return QString::fromUtf8(bytes);
}

std::vector<TListedEntry> parse(const QByteArray& raw, TListFormat format, TNameDecoder decode = FromCp1250)
{
    std::vector<TListedEntry> entries;
    ParseListing(raw, format, decode, entries);
    return entries;
}

std::string names(const std::vector<TListedEntry>& entries)
{
    QStringList all;
    for (const TListedEntry& entry : entries)
        all << entry.name;
    return all.join(" | ").toStdString();
}

const TListedEntry* find(const std::vector<TListedEntry>& entries, const QString& name)
{
    for (const TListedEntry& entry : entries)
        if (entry.name == name)
            return &entry;
    return nullptr;
}

// A wall-clock time as the server listed it.
QDateTime listed(int y, int mo, int d, int h, int mi, int s = 0, int ms = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s, ms), Qt::UTC);
}

// IIS in its default layout (two-digit years, 12-hour times), IIS with
// four-digit years, and DOS-style servers with 24-hour times and grouped sizes.
const QByteArray kDosListing = "12-07-26  10:15AM       <DIR>          pub\r\n"
                               "12-07-26  01:02PM       <DIR>          Program Files\r\n"
                               "01-15-25  12:00AM                 1234 readme.txt\r\n"
                               "01-15-25  12:30PM           1234567890 big.iso\r\n"
                               "02-29-24  11:59PM       <DIR>           lead space\r\n"
                               "12-07-26  10:15AM       <DIR>          .\r\n"
                               "12-07-26  10:15AM       <DIR>          ..\r\n"
                               "07-04-2019  09:03PM            1,234,567 big file.zip\r\n"
                               "2019-07-04  21:03       <DIR>          logs\r\n"
                               "25-12-2020  23:59            1.234.567 xmas;1.txt\r\n"
                               "04-07-2019  00:05:09        5000000000 huge.bin\r\n"
                               "Total 9 entries\r\n"
                               "13-13-20  10:00AM       <DIR>          bad-date\r\n"
                               "12-07-26  13:15PM       <DIR>          bad-time\r\n"
                               "12-07-26  10:15AM       1,,234         bad-size\r\n"
                               "12-07-26  10:15AM       <DIR>\r\n";

const QByteArray kMlsdListing =
    "type=cdir;sizd=4096;modify=20260105101500;UNIX.mode=0755;UNIX.uid=1000;unique=803g2; .\r\n"
    "type=pdir;sizd=4096;modify=20251201000000;UNIX.mode=0755;unique=803g1; ..\r\n"
    "type=cdir;perm=el; /pub/current\r\n"
    "type=dir;sizd=4096;modify=20260105101500;perm=flcdmpe;unique=803g3; src\r\n"
    "type=file;size=1234567;modify=20260105101530.123;perm=adfrw;unique=803g4; my file;1.txt\r\n"
    "Type=FILE;Size=0;Modify=19700101000000;UNIX.mode=0644; Empty\r\n"
    "type=OS.unix=slink:/etc/hosts;modify=20260101120000;UNIX.mode=0777; hosts\r\n"
    "type=file;size=5000000000;x.odd=a=b;modify=20261332000000; odd=name.bin\r\n"
    "type=file;size=12k;modify=bogus;perm=r; badsize\r\n"
    "type=file;;size=10;;  two spaces\r\n"
    "modify=20260105101500;perm=r; notype\r\n"
    "type=OS.unix=chr-13/29; tty0\r\n"
    "total 3\r\n"
    "type=file;size=3 nosemicolon\r\n"
    "nofact; name\r\n"
    "=x; emptyfactname\r\n"
    "type=file;size=1;\r\n"
    ";; only-empty-facts\r\n"
    " facts-less\r\n";

const QByteArray kVmsListing =
    "\r\n"
    "Directory DISK$USERS:[ANONYMOUS]\r\n"
    "\r\n"
    "000000.DIR;1                1/3     19-NOV-2001 21:41        [1,1]           "
    "(RWE,RWE,RE,RE)\r\n"
    "README.TXT;3               12/14     7-MAR-2002 10:15:22.04  [SYSTEM]        "
    "(RWED,RWED,RE,)\r\n"
    "README.TXT;2               11/14     6-mar-2002 09:00:00.00  [SYSTEM]        "
    "(RWED,RWED,RE,)\r\n"
    "A_VERY_LONG_FILE_NAME_INDEED.DATA;1\r\n"
    "                        1234/1236   12-JAN-2020 08:00:00.00  [USER,NAME]     "
    "(RWED,RWED,,)\r\n"
    "SECRET.DAT;1        %RMS-E-PRV, insufficient privilege or file protection "
    "violation\r\n"
    "LOGIN.COM;12                 2       1-JAN-1999 00:00         (RWED,RWED,R,R)\r\n"
    "ORPHAN.TXT;1\r\n"
    "Sub.Dir;2                    3      31-DEC-2025 23:59:59     [USER]   (RWE,RWE,,)\r\n"
    "                             5/6     1-JAN-2000 00:00\r\n"
    "NOVERSION.TXT               4       1-JAN-2000 00:00\r\n"
    "BAD.TXT;1                  x/4      1-JAN-2000 00:00\r\n"
    "\r\n"
    "Total of 7 files, 1263/1274 blocks.\r\n";

const QByteArray kUnixListing =
    "total 8\r\n"
    "drwxr-xr-x    2 user     group         512 Jan  1 12:00 pub\r\n"
    "-rw-r--r--+   1 user     group     1234567 Feb 29  2020 big.zip\r\n"
    "lrwxrwxrwx    1 root     root            9 Mar  3 10:10 docs -> /var/docs\r\n";
} // namespace

TEST(ListFormat, ReadsDosAndIisListings)
{
    const std::vector<TListedEntry> entries = parse(kDosListing, lfDos);
    ASSERT_EQ(names(entries),
              "pub | Program Files | readme.txt | big.iso |  lead space | big file.zip | logs | "
              "xmas;1.txt | huge.bin");

    const TListedEntry& pub = entries[0];
    EXPECT_EQ(pub.kind, lkDirectory);
    EXPECT_EQ(pub.attributes, "<DIR>");
    EXPECT_EQ(pub.sizeText, "");
    EXPECT_EQ(pub.size, 0);
    EXPECT_EQ(pub.modified, listed(2026, 12, 7, 10, 15));
    EXPECT_FALSE(pub.modifiedZoneKnown);
    EXPECT_EQ(entries[1].modified, listed(2026, 12, 7, 13, 2)); // 01:02PM

    const TListedEntry& readme = entries[2];
    EXPECT_EQ(readme.kind, lkFile);
    EXPECT_EQ(readme.attributes, "");
    EXPECT_EQ(readme.size, 1234);
    EXPECT_EQ(readme.sizeText, "1,234");
    EXPECT_FALSE(readme.sizeInBlocks);
    EXPECT_EQ(readme.modified, listed(2025, 1, 15, 0, 0)); // 12:00AM is midnight
    EXPECT_EQ(entries[3].modified, listed(2025, 1, 15, 12, 30));
    EXPECT_EQ(entries[3].sizeText, "1,234,567,890");

    // A name that starts with a blank keeps it in the IIS name column.
    EXPECT_EQ(entries[4].nameBytes, " lead space");

    // Four-digit years, separators in sizes, 24-hour times, day-first dates.
    EXPECT_EQ(entries[5].size, 1234567);
    EXPECT_EQ(entries[5].sizeText, "1,234,567");
    EXPECT_EQ(entries[5].modified, listed(2019, 7, 4, 21, 3));
    EXPECT_EQ(entries[6].modified, listed(2019, 7, 4, 21, 3));
    EXPECT_EQ(entries[7].size, 1234567);
    EXPECT_EQ(entries[7].sizeText, "1,234,567");
    EXPECT_EQ(entries[7].modified, listed(2020, 12, 25, 23, 59));
    EXPECT_EQ(entries[8].size, Q_INT64_C(5000000000));
    EXPECT_EQ(entries[8].modified, listed(2019, 4, 7, 0, 5, 9));
}

TEST(ListFormat, ReadsMachineListingFacts)
{
    const std::vector<TListedEntry> entries = parse(kMlsdListing, lfMlsd);
    ASSERT_EQ(names(entries),
              "src | my file;1.txt | Empty | hosts | odd=name.bin | badsize |  two spaces | notype | "
              "tty0");

    const TListedEntry& src = entries[0];
    EXPECT_EQ(src.kind, lkDirectory);
    EXPECT_EQ(src.size, 0);
    EXPECT_EQ(src.sizeText, "4,096");
    EXPECT_EQ(src.attributes, "flcdmpe");
    EXPECT_EQ(src.modified, QDateTime(QDate(2026, 1, 5), QTime(10, 15), Qt::UTC));

    const TListedEntry& file = entries[1];
    EXPECT_EQ(file.kind, lkFile);
    EXPECT_EQ(file.size, 1234567);
    EXPECT_EQ(file.sizeText, "1,234,567");
    EXPECT_EQ(file.attributes, "adfrw");
    EXPECT_EQ(file.modified, QDateTime(QDate(2026, 1, 5), QTime(10, 15, 30, 123), Qt::UTC));
    EXPECT_TRUE(file.modifiedZoneKnown);

    // Fact names in any case; unix.mode stands in for a missing perm.
    EXPECT_EQ(entries[2].kind, lkFile);
    EXPECT_EQ(entries[2].sizeText, "0");
    EXPECT_EQ(entries[2].attributes, "0644");
    EXPECT_EQ(entries[2].modified, QDateTime(QDate(1970, 1, 1), QTime(0, 0), Qt::UTC));

    EXPECT_EQ(entries[3].kind, lkLink);
    EXPECT_EQ(entries[3].attributes, "0777");

    // Unknown facts with "=" in their value are passed over; a bad month leaves no date.
    EXPECT_EQ(entries[4].size, Q_INT64_C(5000000000));
    EXPECT_FALSE(entries[4].modified.isValid());
    EXPECT_FALSE(entries[4].modifiedZoneKnown);
    // A size that is not all digits and a bogus time are left out, the entry stays.
    EXPECT_EQ(entries[5].size, 0);
    EXPECT_EQ(entries[5].sizeText, "");
    EXPECT_FALSE(entries[5].modified.isValid());
    // Empty facts are passed over; the name is everything after the first space.
    EXPECT_EQ(entries[6].size, 10);
    EXPECT_EQ(entries[6].nameBytes, " two spaces");
    EXPECT_EQ(entries[7].kind, lkFile); // no type fact
    EXPECT_EQ(entries[8].kind, lkFile); // a device
}

TEST(ListFormat, ReadsVmsListings)
{
    const std::vector<TListedEntry> entries = parse(kVmsListing, lfVms);
    ASSERT_EQ(names(entries), "000000 | README.TXT;3 | README.TXT;2 | A_VERY_LONG_FILE_NAME_INDEED.DATA;1 | "
                              "SECRET.DAT;1 | LOGIN.COM;12 | Sub");

    const TListedEntry& dir = entries[0];
    EXPECT_EQ(dir.kind, lkDirectory);
    EXPECT_EQ(dir.nameBytes, "000000");
    EXPECT_EQ(dir.size, 0);
    EXPECT_EQ(dir.sizeText, "1 blk");
    EXPECT_EQ(dir.attributes, "(RWE,RWE,RE,RE)");
    EXPECT_EQ(dir.modified, listed(2001, 11, 19, 21, 41));
    EXPECT_FALSE(dir.modifiedZoneKnown);

    // Every version is its own entry, named with its version.
    const TListedEntry& readme = entries[1];
    EXPECT_EQ(readme.kind, lkFile);
    EXPECT_EQ(readme.size, 12);
    EXPECT_TRUE(readme.sizeInBlocks);
    EXPECT_EQ(readme.sizeText, "12 blk");
    EXPECT_EQ(readme.attributes, "(RWED,RWED,RE,)");
    EXPECT_EQ(readme.modified, listed(2002, 3, 7, 10, 15, 22, 40));
    EXPECT_EQ(entries[2].size, 11);
    EXPECT_EQ(entries[2].modified, listed(2002, 3, 6, 9, 0));

    // A name that fills its line takes its fields from the next one.
    const TListedEntry& longName = entries[3];
    EXPECT_EQ(longName.size, 1234);
    EXPECT_EQ(longName.sizeText, "1,234 blk");
    EXPECT_EQ(longName.attributes, "(RWED,RWED,,)");
    EXPECT_EQ(longName.modified, listed(2020, 1, 12, 8, 0));

    // A privilege error in place of the fields lists the name alone.
    EXPECT_EQ(entries[4].sizeText, "");
    EXPECT_FALSE(entries[4].sizeInBlocks);
    EXPECT_FALSE(entries[4].modified.isValid());

    EXPECT_EQ(entries[5].attributes, "(RWED,RWED,R,R)"); // no owner field
    EXPECT_EQ(entries[6].kind, lkDirectory);             // ".Dir" in any case
    EXPECT_EQ(entries[6].modified, listed(2025, 12, 31, 23, 59, 59));
}

TEST(ListFormat, NamesKeepTheirExactBytesInEveryEncoding)
{
    const QByteArray utf8 = "type=file;size=1; \xc4\x8c"
                            "ebula.txt\r\n"
                            "type=file;size=2; bad\xff"
                            "byte\r\n";
    const std::vector<TListedEntry> decoded = parse(utf8, lfMlsd, fromUtf8);
    ASSERT_EQ(decoded.size(), 2u);
    EXPECT_EQ(decoded[0].name, QString::fromUtf8("Čebula.txt"));
    EXPECT_EQ(decoded[0].nameBytes, "\xc4\x8c"
                                    "ebula.txt");
    EXPECT_TRUE(decoded[1].name.contains(QChar::ReplacementCharacter)); // shown with a visible mark ...
    EXPECT_EQ(decoded[1].nameBytes, "bad\xff"
                                    "byte"); // ... and sent back as listed

    const std::vector<TListedEntry> cp1250 =
        parse("12-07-26  10:15AM                   10 \xe8rka\x81\r\n", lfDos, FromCp1250);
    ASSERT_EQ(cp1250.size(), 1u);
    EXPECT_EQ(cp1250[0].name, QString::fromUtf8("črka") + QChar(0x81));
    EXPECT_EQ(ToCp1250(cp1250[0].name), cp1250[0].nameBytes);
    EXPECT_EQ(cp1250[0].nameBytes, "\xe8rka\x81");

    // Only one CR before the line feed is the line end; a CR inside stays in the name.
    const std::vector<TListedEntry> crs = parse("type=file; a\rb\r\r\n", lfMlsd);
    ASSERT_EQ(crs.size(), 1u);
    EXPECT_EQ(crs[0].nameBytes, "a\rb\r");
}

TEST(ListFormat, ChoosesTheRulePerListing)
{
    EXPECT_EQ(DetectListFormat(kDosListing), lfDos);
    EXPECT_EQ(DetectListFormat(kMlsdListing), lfMlsd);
    EXPECT_EQ(DetectListFormat(kVmsListing), lfVms);
    EXPECT_EQ(DetectListFormat(kUnixListing), lfUnix);
    EXPECT_EQ(DetectListFormat(""), lfUnix);
    EXPECT_EQ(DetectListFormat("nothing\r\nknown here\r\n"), lfUnix);

    // Lines no rule recognises, or more than one, do not vote; a VMS listing
    // of long names only is still VMS.
    EXPECT_EQ(DetectListFormat("A_LONG_NAME.TXT;1\r\n   1/2  1-JAN-2000 00:00\r\n"), lfVms);
    EXPECT_EQ(DetectListFormat(" facts-less machine line\r\n" + kDosListing), lfDos);

    // The majority of the first recognised lines decides; a tie goes to the first.
    const QByteArray oneUnix = "-rw-r--r-- 1 u g 5 Jan 1 12:00 x\r\n";
    const QByteArray oneDos = "12-07-26  10:15AM                   10 y\r\n";
    EXPECT_EQ(DetectListFormat(oneUnix + oneDos + oneDos), lfDos);
    EXPECT_EQ(DetectListFormat(oneUnix + oneDos), lfUnix);
    EXPECT_EQ(DetectListFormat(oneDos + oneUnix), lfDos);
    // Only the first kDetectVotes recognised lines count.
    EXPECT_EQ(DetectListFormat(oneDos.repeated(kDetectVotes) + oneUnix.repeated(kDetectVotes + 5)), lfDos);

    // The server kind: 1 and 2 UNIX, 3 VMS, 0 and junk detect; an MLSD reply is always facts.
    EXPECT_EQ(ChooseListFormat(1, false, kDosListing), lfUnix);
    EXPECT_EQ(ChooseListFormat(2, false, kVmsListing), lfUnix);
    EXPECT_EQ(ChooseListFormat(3, false, kDosListing), lfVms);
    EXPECT_EQ(ChooseListFormat(0, false, kDosListing), lfDos);
    EXPECT_EQ(ChooseListFormat(200, false, kVmsListing), lfVms);
    EXPECT_EQ(ChooseListFormat(1, true, kUnixListing), lfMlsd);

    std::vector<TListedEntry> entries;
    EXPECT_THROW(ParseListing(kUnixListing, lfUnix, FromCp1250, entries), std::invalid_argument);
    // Each rule reads only its own layout.
    EXPECT_TRUE(parse(kUnixListing + kVmsListing + kMlsdListing, lfDos).empty());
    EXPECT_TRUE(parse(kUnixListing + kDosListing + kMlsdListing, lfVms).empty());
    EXPECT_TRUE(parse(kUnixListing + kDosListing + kVmsListing, lfMlsd).empty());
}

TEST(ListFormat, ReadsARealPyftpdlibMachineListingAndDetectsItsUnixListing)
{
    PyftpdServer server;
    QString error;
    ASSERT_TRUE(server.Start(&error)) << error.toStdString();
    ASSERT_TRUE(server.PutFile("my file;1.txt", QByteArray(1234567, 'x')));
    ASSERT_TRUE(server.PutFile(QString::fromUtf8("Čebula.txt"), "abc"));
    ASSERT_TRUE(server.MakeDir("sub dir"));

    FtpRawClient client;
    ASSERT_TRUE(client.Connect(server.Port()));
    ASSERT_TRUE(client.Login());
    const QByteArray listing = client.List("MLSD");
    ASSERT_FALSE(listing.isEmpty());
    ASSERT_EQ(ChooseListFormat(0, true, listing), lfMlsd);
    EXPECT_EQ(DetectListFormat(listing), lfMlsd) << listing.toStdString();

    const std::vector<TListedEntry> entries = parse(listing, lfMlsd, fromUtf8);
    ASSERT_EQ(entries.size(), 3u) << names(entries) << "\n" << listing.toStdString();
    const TListedEntry* file = find(entries, "my file;1.txt");
    ASSERT_TRUE(file);
    EXPECT_EQ(file->kind, lkFile);
    EXPECT_EQ(file->size, 1234567);
    EXPECT_EQ(file->sizeText, "1,234,567");
    EXPECT_FALSE(file->attributes.isEmpty());
    EXPECT_LT(qAbs(file->modified.secsTo(QDateTime::currentDateTimeUtc())), 600);
    const TListedEntry* utf8 = find(entries, QString::fromUtf8("Čebula.txt"));
    ASSERT_TRUE(utf8);
    EXPECT_EQ(utf8->nameBytes, "\xc4\x8c"
                               "ebula.txt");
    ASSERT_TRUE(find(entries, "sub dir"));
    EXPECT_EQ(find(entries, "sub dir")->kind, lkDirectory);

    // The same server's LIST is detected as the UNIX layout.
    const QByteArray unixListing = client.List();
    ASSERT_FALSE(unixListing.isEmpty());
    EXPECT_EQ(ChooseListFormat(0, false, unixListing), lfUnix) << unixListing.toStdString();
}

namespace {
struct TSample {
    const char* label;
    QByteArray listing;
    TListFormat format;
};

std::vector<TSample> samples()
{
    return {{"dos", kDosListing, lfDos}, {"mlsd", kMlsdListing, lfMlsd}, {"vms", kVmsListing, lfVms}};
}

// Every entry's name lies within one line of raw (a VMS name within the line
// that starts its entry).
void expectNamesWithinLines(const QByteArray& raw, const std::vector<TListedEntry>& entries,
                            const char* label)
{
    const QList<QByteArray> lines = raw.split('\n');
    ASSERT_LE(entries.size(), std::size_t(lines.size())) << label;
    for (const TListedEntry& entry : entries) {
        ASSERT_FALSE(entry.nameBytes.isEmpty()) << label;
        ASSERT_FALSE(entry.nameBytes.contains('\n')) << label;
        bool within = false;
        for (const QByteArray& line : lines)
            within = within || line.contains(entry.nameBytes);
        ASSERT_TRUE(within) << label << ": " << entry.nameBytes.toStdString();
    }
}

QByteArray randomBytes(QRandomGenerator& random, int length, bool printable)
{
    QByteArray bytes(length, Qt::Uninitialized);
    for (char& ch : bytes)
        ch = char(printable ? (random.bounded(10) == 0 ? '\n' : 0x20 + random.bounded(95))
                            : random.bounded(256));
    return bytes;
}
} // namespace

TEST(ListFormat, SurvivesTruncationsRandomBytesAndNoise)
{
    QRandomGenerator random(15);
    for (const TSample& sample : samples()) {
        const std::vector<TListedEntry> full = parse(sample.listing, sample.format);

        // A listing cut anywhere gives exactly the entries of its complete lines.
        for (qsizetype cut = 0; cut <= sample.listing.size(); ++cut) {
            const std::vector<TListedEntry> part = parse(sample.listing.first(cut), sample.format);
            ASSERT_LE(part.size(), full.size()) << sample.label << " cut " << cut;
            for (std::size_t i = 0; i < part.size(); ++i)
                ASSERT_EQ(part[i].nameBytes, full[i].nameBytes) << sample.label << " cut " << cut;
            DetectListFormat(sample.listing.first(cut));
        }

        // Noise lines between the real ones change neither the entries nor the detected rule.
        // (Never between a VMS name and the line that continues its entry.)
        QByteArray noisy;
        for (const QByteArray& line : sample.listing.split('\n')) {
            if (!line.startsWith(' ') && random.bounded(2) == 0)
                noisy += "#" + randomBytes(random, random.bounded(80), true).replace('\n', ' ') + "\r\n";
            noisy += line + '\n';
        }
        noisy.chop(1);
        EXPECT_EQ(names(parse(noisy, sample.format)), names(full)) << sample.label;
        EXPECT_EQ(DetectListFormat(noisy), sample.format) << sample.label;

        // Random bytes, random printable lines and flipped bytes of the sample:
        // no crash, and every name stays within its line.
        for (int round = 0; round < 200; ++round) {
            QByteArray raw = sample.listing;
            for (int flips = random.bounded(1, 12); flips > 0; --flips)
                raw[random.bounded(raw.size())] = char(random.bounded(256));
            for (const QByteArray& input : {raw, randomBytes(random, random.bounded(2000), round % 2 == 0)}) {
                for (const TListFormat format : {lfDos, lfMlsd, lfVms})
                    expectNamesWithinLines(input, parse(input, format), sample.label);
                DetectListFormat(input);
            }
        }
    }
}

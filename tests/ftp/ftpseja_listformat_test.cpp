// The site's server kind decides how the engine reads a listing: DOS/IIS and
// VMS listings become rows that the remote commands work from, by their exact
// names.
#include "scriptedsession.h"

#include "ftp/listingparser.h"

#include <QTemporaryDir>

namespace {
// IIS with 12-hour times, a DOS-style server with 24-hour times and grouped
// sizes, and lines no layout knows. "\x8A" is "Š" in code page 1250.
const QByteArray kDos = "12-07-26  10:15AM       <DIR>          Program Files\r\n"
                        "01-15-25  12:30PM           5000000000 big.iso\r\n"
                        "07-04-2019  21:03            1,234,567 big file.zip\r\n"
                        "2019-07-04  09:03            1.234.567 dots.bin\r\n"
                        "12-07-26  10:15AM       <DIR>          ..\r\n"
                        "Total 9 entries\r\n"
                        "12-07-26  13:15PM       <DIR>          bad-time\r\n"
                        "07-04-2019  09:03PM                   12 \x8A"
                        "ola.txt\r\n";

// A VMS listing with its header and trailer; a name too long for its column
// continues on the next line, and sizes are in blocks.
const QByteArray kVms =
    "\r\n"
    "Directory DISK$USERS:[ANONYMOUS]\r\n"
    "\r\n"
    "SUB.DIR;1                1/3     19-NOV-2001 21:41        [1,1]           (RWE,RWE,RE,RE)\r\n"
    "README.TXT;3               12/14     7-MAR-2002 10:15:22.04  [SYSTEM]    (RWED,RWED,RE,)\r\n"
    "A_VERY_LONG_FILE_NAME_INDEED.DATA;1\r\n"
    "                        1234/1236   12-JAN-2020 08:00:00.00  [USER,NAME] "
    "(RWED,RWED,RWED,RWED)\r\n"
    "\r\n"
    "Total of 3 files, 1247/1253 blocks.\r\n";

struct Browse {
    QByteArray directory; // double-clicked: CWD with these bytes
    QByteArray file;      // downloaded: RETR with these bytes
    QString localName;    // ... into this local file
    QByteArray contents;  // ... which the server sends
};

// Connects t with the server kind, lists raw, opens the directory by a
// double-click (CWD, PWD and its listing), then downloads the file; the rows
// of the last listing stay in t.view for the caller.
void browse(TestSession& t, const QTemporaryDir& local, quint8 serverKind, const QByteArray& raw,
            const Browse& b)
{
    ServerScript script;
    script.Login();
    listing(script, raw).Expect("CWD " + b.directory, {"250 ok"}).Expect("PWD", {"257 \"/sub\""});
    listing(script, raw, false)
        .ExpectMatch("PORT .*", {"200 ok"})
        .Expect("RETR " + b.file, {"150 Sending"})
        .DataOpen()
        .DataSend(b.contents)
        .DataClose()
        .Send({"226 Done"})
        .Pause(0.3);
    ScriptedServer server(script);
    QString error;
    ASSERT_TRUE(server.Start(&error)) << error.toStdString();
    t.view.LocalDir = local.path();
    TSejaParametri p;
    p.serverKind = serverKind;
    t.Connect(server.Port(), p);
    ASSERT_TRUE(PumpUntil([&] { return t.view.Listings == 1; }, 10000));

    t.view.Select({QString::fromLatin1(b.directory)});
    t.seja.FTPDat1DblClick();
    ASSERT_TRUE(PumpUntil([&] { return t.view.Listings == 2; }, 10000));
    t.view.Select({b.localName});
    t.seja.Pla1PrenesiClick();
    ASSERT_TRUE(waitServer(server));
    ASSERT_TRUE(PumpUntil([&] { return !t.seja.PrenosTece() && t.view.LocalRefreshes > 0; }));
    EXPECT_TRUE(reportsSuccess(t.view)) << t.view.Statuses.join("|").toStdString();
    EXPECT_EQ(contents(local.filePath(b.localName)), b.contents);
}
} // namespace

TEST(SejaListFormat, DetectedDosListingFillsTheColumnsAndNamesGoBackExactly)
{
    QTemporaryDir local;
    TestSession t;
    const QString sola = QString::fromUtf8("Šola.txt");
    browse(t, local, 0, kDos, {"Program Files", "\x8Aola.txt", sola, "twelve bytes"});
    if (HasFatalFailure())
        return;
    ASSERT_EQ(t.view.RowNames(),
              (QStringList{"..", "Program Files", "big.iso", "big file.zip", "dots.bin", sola}));
    const std::vector<TRemoteEntry>& rows = t.view.Rows;
    EXPECT_EQ(rows[0].kind, ekParent);
    EXPECT_EQ(rows[1].kind, ekDirectory);
    EXPECT_EQ(rows[1].attributes, "<DIR>");
    EXPECT_EQ(rows[1].sizeText, "");
    EXPECT_EQ(rows[2].kind, ekFile);
    EXPECT_EQ(rows[2].size, Q_INT64_C(5000000000));
    EXPECT_EQ(rows[2].sizeText, "5,000,000,000");
    // Grouped sizes, with "," or ".", are one number and regrouped with ",".
    EXPECT_EQ(rows[3].size, 1234567);
    EXPECT_EQ(rows[3].sizeText, "1,234,567");
    EXPECT_EQ(rows[4].size, 1234567);
    EXPECT_EQ(rows[4].sizeText, "1,234,567");
    EXPECT_EQ(rows[5].size, 12);
    EXPECT_EQ(rows[5].attributes, "");
}

TEST(SejaListFormat, DetectedVmsListingAddressesDirectoriesByNameAndSizesStayBlocks)
{
    QTemporaryDir local;
    TestSession t;
    // Five bytes of a file of 12 blocks: the blocks are no byte count that would call it short.
    browse(t, local, 0, kVms, {"SUB", "README.TXT;3", "README.TXT;3", "short"});
    if (HasFatalFailure())
        return;
    ASSERT_EQ(t.view.RowNames(),
              (QStringList{"..", "SUB", "README.TXT;3", "A_VERY_LONG_FILE_NAME_INDEED.DATA;1"}));
    const std::vector<TRemoteEntry>& rows = t.view.Rows;
    EXPECT_EQ(rows[1].kind, ekDirectory);
    EXPECT_EQ(rows[1].sizeText, "1 blk");
    EXPECT_EQ(rows[2].kind, ekFile);
    EXPECT_EQ(rows[2].size, 0);
    EXPECT_EQ(rows[2].sizeText, "12 blk");
    EXPECT_EQ(rows[2].attributes, "(RWED,RWED,RE,)");
    EXPECT_EQ(rows[3].sizeText, "1,234 blk");
    EXPECT_EQ(rows[3].attributes, "(RWED,RWED,RWED,RWED)");
    EXPECT_EQ(t.view.TransferredTotal, 0); // the progress display knows no total
}

TEST(SejaListFormat, ChosenServerKindOverridesDetection)
{
    // UNIX and VMS read a DOS listing as nothing but the parent entry; VMS
    // chosen for a VMS listing reads it as detection does.
    const struct {
        quint8 kind;
        QByteArray raw;
        QStringList names;
    } cases[] = {
        {1, kDos, {".."}},
        {2, kDos, {".."}},
        {3, kDos, {".."}},
        {3, kVms, {"..", "SUB", "README.TXT;3", "A_VERY_LONG_FILE_NAME_INDEED.DATA;1"}},
    };
    for (const auto& c : cases) {
        ServerScript script;
        script.Login();
        listing(script, c.raw).Pause(0.3);
        Scripted s(script);
        TestSession t;
        TSejaParametri p;
        p.serverKind = c.kind;
        ASSERT_TRUE(s.Run(t, p));
        ASSERT_TRUE(PumpUntil([&] { return t.view.Listings == 1; }));
        EXPECT_EQ(t.view.RowNames(), c.names) << "server kind " << int(c.kind);
    }
}

TEST(SejaListFormat, LongListingsAreReadWholeUpToTheTableCap)
{
    // Long VMS names whose fields continue on the next line, many times past
    // the size of one block of lines: no entry may be lost or split.
    QByteArray vms;
    const int count = 5000;
    for (int i = 0; i < count; ++i)
        vms += "FILE_WITH_A_LONG_NAME_NUMBER_" + QByteArray::number(i) +
               ".DAT;1\r\n"
               "                        " +
               QByteArray::number(i) + "/9   12-JAN-2020 08:00  [USER]  (RWED,RWED,,)\r\n";
    QByteArray raw = vms;
    TRemoteListing table;
    RazcleniSeznam(raw, lfVms, table);
    EXPECT_TRUE(raw.isEmpty());
    ASSERT_EQ(table.Count(), count + 1);
    for (int i : {1, 1234, 2500, count}) {
        const TRemoteEntry row = table.At(i);
        EXPECT_EQ(row.name, QStringLiteral("FILE_WITH_A_LONG_NAME_NUMBER_%1.DAT;1").arg(i - 1));
        EXPECT_EQ(row.sizeText, GroupThousands(QString::number(i - 1)) + " blk");
    }

    // The cap: the table stops and says it was cut.
    raw = vms;
    table.SetNajvec(10);
    RazcleniSeznam(raw, lfVms, table);
    EXPECT_EQ(table.Count(), 11);
    EXPECT_TRUE(table.Cut());

    // A name the table cannot hold whole is left out, never cut into another name.
    const QByteArray fits(TRemoteListing::kNajdaljseIme, 'a');
    const QByteArray tooLong(TRemoteListing::kNajdaljseIme + 1, 'b');
    raw = "01-15-25  12:30PM    1 " + tooLong + "\r\n01-15-25  12:30PM    2 " + fits + "\r\n";
    TRemoteListing dos;
    RazcleniSeznam(raw, lfDos, dos);
    ASSERT_EQ(dos.Count(), 2);
    EXPECT_EQ(dos.At(1).name, QString::fromLatin1(fits));
    EXPECT_EQ(dos.At(1).size, 2);
}

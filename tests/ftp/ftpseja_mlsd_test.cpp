// Machine listings: a server that offers MLSD in FEAT is listed with MLSD and
// read as facts; one that refuses MLSD is listed with LIST from then on.
#include "scriptedsession.h"
#include "serverenv.h"

#include <QTemporaryDir>

namespace {
const QByteArrayList kFeatMlst = {"211-Features:", " MDTM", " MLST type*;size*;modify*;perm*;", " UTF8",
                                  "211 End"};

// PORT, TYPE A and MLSD answered with these lines and 226.
ServerScript& mlsd(ServerScript& script, const QByteArray& data, bool typeA = true)
{
    script.ExpectMatch("PORT .*", {"200 PORT ok"});
    if (typeA)
        script.Expect("TYPE A", {"200 Type A"});
    return script.Expect("MLSD", {"150 Here"}).DataOpen().DataSend(data).DataClose().Send({"226 Done"});
}

bool start(ScriptedServer& server, TestSession& t, const QString& local, TSejaParametri p)
{
    QString error;
    if (!server.Start(&error)) {
        ADD_FAILURE() << error.toStdString();
        return false;
    }
    t.view.LocalDir = local;
    t.Connect(server.Port(), p);
    return PumpUntil([&] { return t.view.Listings == 1; }, 10000);
}

TSejaParametri withEncoding(quint8 encoding, quint8 serverKind = 0)
{
    TSejaParametri p;
    p.nameEncoding = encoding;
    p.serverKind = serverKind;
    return p;
}
} // namespace

TEST(SejaMlsd, OfferedMlsdListsFactsWhateverTheirCaseAndOrder)
{
    QTemporaryDir local;
    const QByteArray facts =
        "Type=cdir;Perm=el; /pub\r\n"
        "type=pdir;perm=el; ..\r\n"
        "modify=20260105101500;perm=adfrw;size=1234;type=file; name with; semi=colon.txt\r\n"
        "TYPE=dir;sizd=4096;UNIX.mode=0755; sub\r\n"
        "type=OS.unix=slink:/etc;size=7; lnk\r\n"
        ";;type=file;size=12a;x.unknown=1;; odd size\r\n"
        "not a facts line\r\n"
        "size=5;unique=8g1; untyped\r\n";
    ServerScript script;
    script.Login().Expect("FEAT", kFeatMlst).Expect("OPTS UTF8 ON", {"200 ok"});
    mlsd(script, facts);
    script.ExpectMatch("PORT .*", {"200 ok"})
        .Expect("TYPE I", {"200 ok"})
        .Expect("RETR name with; semi=colon.txt", {"150 Sending (1234 bytes)"})
        .DataOpen()
        .DataSend(QByteArray(1234, 'm'))
        .DataClose()
        .Send({"226 Done"})
        .Pause(0.3);
    ScriptedServer server(script);
    TestSession t;
    ASSERT_TRUE(start(server, t, local.path(), withEncoding(2)));
    EXPECT_EQ(t.view.RowNames(),
              (QStringList{"..", "name with; semi=colon.txt", "sub", "lnk", "odd size", "untyped"}));
    const TRemoteListing& table = t.seja.Seznam();
    ASSERT_EQ(table.Count(), 6);
    EXPECT_EQ(table.At(1).kind, ekFile);
    EXPECT_EQ(table.At(1).size, 1234);
    EXPECT_EQ(table.At(2).kind, ekDirectory);
    EXPECT_EQ(table.At(3).kind, ekDirectory); // a link lists as a directory
    EXPECT_EQ(table.At(4).size, 0);           // a size that is no number is not taken
    EXPECT_EQ(table.At(5).kind, ekFile);
    EXPECT_EQ(table.At(5).size, 5);
    // The listed size is what the download is measured against.
    t.view.Select({"name with; semi=colon.txt"});
    t.seja.Pla1PrenesiClick();
    ASSERT_TRUE(server.WaitDone()) << server.Failure().toStdString();
    ASSERT_TRUE(PumpUntil([&] { return !t.seja.PrenosTece() && t.view.LocalRefreshes > 0; }));
    EXPECT_EQ(contents(local.filePath("name with; semi=colon.txt")), QByteArray(1234, 'm'));
    EXPECT_TRUE(t.view.Statuses.contains(t.view.GetWord("@idDatUsp")))
        << t.view.Statuses.join("|").toStdString();
}

TEST(SejaMlsd, RefusedMlsdFallsBackToListForTheRestOfTheSession)
{
    for (const QByteArray refusal : {QByteArray("500 Unknown command"), QByteArray("502 Not implemented")}) {
        SCOPED_TRACE(refusal.toStdString());
        QTemporaryDir local;
        ServerScript script;
        script.Login().Expect("FEAT", kFeatMlst).Expect("OPTS UTF8 ON", {"200 ok"});
        script.ExpectMatch("PORT .*", {"200 PORT ok"}).Expect("TYPE A", {"200 ok"}).Expect("MLSD", {refusal});
        listing(script, fileLine("a.txt", 3), false);
        listing(script, fileLine("a.txt", 3) + fileLine("b.txt", 4), false).Pause(0.3);
        ScriptedServer server(script);
        TestSession t;
        ASSERT_TRUE(start(server, t, local.path(), withEncoding(2)));
        EXPECT_EQ(t.view.RowNames(), (QStringList{"..", "a.txt"}));
        ASSERT_TRUE(refresh(t));
        ASSERT_TRUE(server.WaitDone()) << server.Failure().toStdString();
        EXPECT_EQ(t.view.RowNames(), (QStringList{"..", "a.txt", "b.txt"}));
        EXPECT_EQ(startingWith(server.Commands(), "MLSD").size(), 1);
        // Only the listing's own verdict is shown, never a failure for the refused MLSD.
        EXPECT_FALSE(t.view.Statuses.join("|").contains(t.view.GetWord("@idNeuspeh")))
            << t.view.Statuses.join("|").toStdString();
    }
}

TEST(SejaMlsd, FeatIsSentForUtf8ButOnlyTheDetectingServerKindUsesMlsd)
{
    struct Case {
        const char* what;
        quint8 encoding, serverKind;
        bool mlsd;
    } cases[] = {
        {"UTF-8, detect", 1, 0, true},
        {"UTF-8, UNIX", 1, 1, false},
        {"automatic, VMS", 2, 3, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QTemporaryDir local;
        ServerScript script;
        script.Login().Expect("FEAT", kFeatMlst);
        if (c.encoding == 2)
            script.Expect("OPTS UTF8 ON", {"200 ok"});
        if (c.mlsd)
            mlsd(script, "type=file;size=3; a.txt\r\n").Pause(0.3);
        else if (c.serverKind == 3)
            listing(script, "A.TXT;1  1/3  1-JAN-2026 12:00:00  [U,G]  (RWED,RWED,RE,)\r\n").Pause(0.3);
        else
            listing(script, fileLine("a.txt", 3)).Pause(0.3);
        ScriptedServer server(script);
        TestSession t;
        ASSERT_TRUE(start(server, t, local.path(), withEncoding(c.encoding, c.serverKind)));
        ASSERT_TRUE(server.WaitDone()) << server.Failure().toStdString();
        EXPECT_EQ(t.seja.Seznam().Count(), 2) << t.view.RowNames().join("|").toStdString();
        EXPECT_EQ(startingWith(server.Commands(), "OPTS").size(), c.encoding == 2 ? 1 : 0);
    }
}

TEST(SejaMlsd, PyftpdlibIsListedWithMlsdAndServesTheListedFile)
{
    OPEN_ENV(env, Kind::Pyftpd);
    const QByteArray data = pattern(70000, 3);
    ASSERT_TRUE(env.Put("facts.bin", data));
    ASSERT_TRUE(env.server->MakeDir(env.folder + "/inner"));
    TestSession t;
    ASSERT_TRUE(env.Open(t, withEncoding(2)));
    EXPECT_TRUE(t.view.CommandLabels().contains("MLSD"));
    EXPECT_FALSE(t.view.CommandLabels().contains("LIST"));
    const TRemoteListing& table = t.seja.Seznam();
    ASSERT_EQ(table.Count(), 3) << t.view.RowNames().join("|").toStdString();
    const int file = t.view.RowNames().indexOf("facts.bin");
    const int dir = t.view.RowNames().indexOf("inner");
    ASSERT_GT(file, 0);
    ASSERT_GT(dir, 0);
    EXPECT_EQ(table.At(file).size, data.size());
    EXPECT_EQ(table.At(dir).kind, ekDirectory);
    t.seja.gsSlikaClick();
    ASSERT_TRUE(download(t, {"facts.bin"}));
    EXPECT_EQ(readAll(env.Local("facts.bin")), data);
}

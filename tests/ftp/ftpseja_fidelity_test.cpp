// The session engine where it follows the described behaviour closely: 450 in
// any phase of a transfer, a refused STOR after the accept, the upload's
// resume question read from the pane, the download's question only for
// files, the re-enabled menu items after a transfer the engine ended itself,
// select-all over the pane's rows, and no command claimed while disconnected.
#include "scriptedsession.h"

#include <QDir>
#include <QTemporaryDir>

TEST(SejaFidelity, Reply450ToRestOrAfterTheAcceptAnnouncesANewPortAndRepeats)
{
    QTemporaryDir local;
    ASSERT_TRUE(writeFile(local.filePath("a.txt"), "aa"));
    ServerScript script;
    script.Login();
    listing(script, fileLine("a.txt", 4) + fileLine("b.txt", 6))
        .ExpectMatch("PORT .*", {"200 ok"})
        .Expect("REST 2", {"450 Not now"})
        .ExpectMatch("PORT .*", {"200 ok"})
        .Expect("REST 2", {"350 Restarting at 2"})
        .Expect("RETR a.txt", {"150 Sending"})
        .DataOpen()
        .DataSend("cc")
        .DataClose()
        .Send({"226 Done"})
        .ExpectMatch("PORT .*", {"200 ok"})
        .Expect("RETR b.txt", {"150 Sending"})
        .DataOpen()
        .DataSend("bbb")
        .Pause(0.2)
        .Send({"450 Data port trouble"})
        .ExpectMatch("PORT .*", {"200 ok"})
        .Expect("RETR b.txt", {"150 Sending"})
        .DataOpen(QByteArray(), "again")
        .DataSend("bbbbbb", "again")
        .DataClose("again")
        .Send({"226 Done"})
        .Pause(0.3);
    ScriptedServer server(script);
    TestSession t;
    ASSERT_TRUE(openListed(server, t, local.path()));
    t.view.Select({"a.txt", "b.txt"});
    t.view.PrepisiAnswers = {piNadaljuj};
    t.seja.Pla1PrenesiClick();
    ASSERT_TRUE(waitServer(server));
    ASSERT_TRUE(PumpUntil([&] { return !t.seja.PrenosTece() && t.view.LocalRefreshes >= 2; }));
    EXPECT_EQ(contents(local.filePath("a.txt")), "aacc");
    EXPECT_EQ(contents(local.filePath("b.txt")), "bbbbbb");
    EXPECT_TRUE(t.view.Statuses.contains(t.view.GetWord("@idNadalj")));
    EXPECT_TRUE(t.view.Statuses.contains(t.view.GetWord("@idDatUsp")));
    EXPECT_TRUE(t.view.Statuses.filter(t.view.GetWord("@idNeuspeh")).isEmpty());
}

TEST(SejaFidelity, StorRefusedAfterTheAcceptSaysAccessDenied)
{
    QTemporaryDir local;
    ASSERT_TRUE(writeFile(local.filePath("x.bin"), QByteArray(16 * 1024 * 1024, 'x')));
    ServerScript script;
    script.Login();
    listing(script, fileLine("a.txt", 1))
        .ExpectMatch("PORT .*", {"200 ok"})
        .Expect("STOR x.bin", {"150 Go ahead"})
        .DataOpen()
        .Pause(0.3) // reads nothing: the upload is still under way
        .Send({"550 Permission denied."})
        .DataExpectClose(3);
    ScriptedServer server(script);
    TestSession t;
    ASSERT_TRUE(openListed(server, t, local.path()));
    t.view.LocalSelection = {{"x.bin", "16,777,216"}};
    t.seja.Pla2PrenesiClick();
    ASSERT_TRUE(waitServer(server));
    EXPECT_TRUE(server.Events().contains("data-closed-by-peer data"));
    ASSERT_TRUE(PumpUntil([&] { return !t.seja.PrenosTece() && !t.seja.OddajaTece(); }));
    EXPECT_EQ(t.view.Statuses.last(), t.view.GetWord("@idNiPravic"))
        << t.view.Statuses.join("|").toStdString();
    EXPECT_FALSE(t.view.Logo);
}

TEST(SejaFidelity, FileExistsQuestionsReadWhatThePanesShow)
{
    QTemporaryDir local;
    ASSERT_TRUE(writeFile(local.filePath("x.txt"), "xx"));
    ASSERT_TRUE(writeFile(local.filePath("y.txt"), "yy"));
    ASSERT_TRUE(QDir(local.path()).mkdir("d.txt"));
    ServerScript script;
    script.Login();
    listing(script, fileLine("x.txt", 1) + fileLine("d.txt", 2))
        .ExpectMatch("PORT .*", {"200 ok"})
        .Expect("STOR x.txt", {"150 Go ahead"})
        .DataOpen()
        .DataReceive("x.txt")
        .Send({"226 Stored"});
    listing(script, fileLine("x.txt", 2) + fileLine("d.txt", 2), false)
        .ExpectMatch("PORT .*", {"200 ok"})
        .Expect("RETR d.txt", {"150 Sending"})
        .DataOpen()
        .DataClose()
        .Send({"226 Done"})
        .Pause(0.3);
    ScriptedServer server(script);
    TestSession t;
    ASSERT_TRUE(openListed(server, t, local.path()));

    // Renamed in place to y.txt: the pane's caption asks, the table's old name does not.
    t.view.EditedCaptions[t.view.RowOf("x.txt")] = "y.txt";
    t.view.LocalSelection = {{"y.txt", "2"}};
    t.seja.Pla2PrenesiClick(); // answered Cancel
    EXPECT_EQ(t.view.PrepisiShown, 1);

    // A cleared pane (as after a reconnect) asks nothing, though the table still lists x.txt.
    t.view.ClearRemoteRows();
    t.view.LocalSelection = {{"x.txt", "2"}};
    t.seja.Pla2PrenesiClick();
    ASSERT_TRUE(PumpUntil([&] { return t.view.Listings == 2; }));
    EXPECT_EQ(t.view.PrepisiShown, 1);
    EXPECT_EQ(server.Stored("x.txt"), "xx");

    // A local directory of the remote file's name is no file: no question; the
    // download cannot open it, and what the accept disabled comes back.
    t.view.Select({"d.txt"});
    t.seja.Pla1PrenesiClick();
    ASSERT_TRUE(waitServer(server));
    ASSERT_TRUE(PumpUntil([&] { return !t.seja.PrenosTece() && t.view.LocalRefreshes > 0; }));
    EXPECT_EQ(t.view.PrepisiShown, 1);
    EXPECT_TRUE(t.view.Statuses.last().startsWith(t.view.GetWord("@idNapakaDatoteke")));
    for (TSejaItem item :
         {siPla1Prenesi, siPla1OsveziFTP, siPla1UsMapo, siPla1Izbrisi, siPla1Skoci, siPla2Prenesi})
        EXPECT_TRUE(t.view.ItemEnabled(item)) << int(item);
}

TEST(SejaFidelity, SelectAllAndCommandsWhileDisconnectedFollowThePane)
{
    TestSession t;
    // The pane shows three rows while the table (never filled) holds only "..".
    TRemoteEntry a;
    a.name = "a";
    TRemoteEntry b;
    b.name = "b";
    t.view.Rows = {t.seja.Seznam().At(0), a, b};
    t.seja.Pla1IzberiVseClick();
    EXPECT_EQ(t.view.Selected, (std::set<int>{1, 2}));

    // Not connected: Backspace and delete claim no command and ask nothing.
    t.view.Focused = 1;
    t.seja.FTPDat1Backspace();
    t.seja.Pla1IzbrisiClick();
    EXPECT_TRUE(t.view.Commands.isEmpty()) << t.view.Commands.join("|").toStdString();
    EXPECT_TRUE(t.view.Messages.isEmpty());
    EXPECT_EQ(t.view.Statuses.count(t.view.GetWord("@idNiPovezave")), 2);
    EXPECT_FALSE(t.seja.VecBrisanje());
}

// Passive data connections against the scripted server: EPSV, PASV after a
// refused EPSV, the announced address never trusted, garbage replies refused,
// and the switch from active mode when the server cannot connect back.
#include "scriptedsession.h"

#include <QTemporaryDir>

namespace {
const QByteArray kEpsv = "229 Entering Extended Passive Mode (|||{port}|)";

TSejaParametri passive()
{
    TSejaParametri p;
    p.dataConnection = 1;
    return p;
}

// The data of a listing or download at the last announced port, then 226.
ServerScript& serve(ServerScript& script, const QByteArray& command, const QByteArray& data)
{
    return script.Expect(command, {"150 Here"}).DataAccept().DataSend(data).DataClose().Send({"226 Done"});
}

QByteArrayList withoutTypes(QByteArrayList commands)
{
    commands.removeIf([](const QByteArray& c) { return c.startsWith("TYPE "); });
    return commands;
}
} // namespace

TEST(SejaPassive, EpsvListingDownloadAndUploadShareTheActivePath)
{
    QTemporaryDir local;
    ASSERT_TRUE(writeFile(local.filePath("up.txt"), "uploaded bytes"));
    const QByteArray body = QByteArray(100000, 'x') + "end";
    ServerScript script;
    script.Login().Expect("EPSV").PassiveListen(kEpsv).Expect("TYPE A", {"200 A"});
    serve(script, "LIST", fileLine("a.bin", body.size()));
    script.Expect("EPSV").PassiveListen(kEpsv).Expect("TYPE I", {"200 I"});
    serve(script, "RETR a.bin", body);
    script.Expect("EPSV").PassiveListen(kEpsv);
    script.Expect("STOR up.txt", {"150 Go ahead"}).DataAccept().DataReceive("up.txt").Send({"226 Stored"});
    script.Expect("EPSV").PassiveListen(kEpsv);
    serve(script, "LIST", fileLine("a.bin", body.size())).Pause(0.3);
    ScriptedServer server(script);
    TestSession t;
    TSejaParametri p = passive();
    server.Start();
    t.view.LocalDir = local.path();
    t.Connect(server.Port(), p);
    ASSERT_TRUE(PumpUntil([&] { return t.view.Listings == 1; }));
    EXPECT_EQ(t.view.RowNames(), (QStringList{"..", "a.bin"}));

    t.view.Select({"a.bin"});
    t.seja.Pla1PrenesiClick();
    ASSERT_TRUE(PumpUntil([&] { return !t.seja.PrenosTece() && t.view.LocalRefreshes > 0; }));
    EXPECT_EQ(contents(local.filePath("a.bin")), body);
    EXPECT_TRUE(t.view.Statuses.contains(t.view.GetWord("@idDatUsp")));

    t.view.LocalSelection = {{"up.txt", "14"}};
    t.seja.Pla2PrenesiClick();
    ASSERT_TRUE(waitServer(server));
    ASSERT_TRUE(PumpUntil([&] { return t.view.Listings == 2; }));
    EXPECT_EQ(server.Stored("up.txt"), "uploaded bytes");
    EXPECT_EQ(server.Commands(),
              (QByteArrayList{"USER anonymous", "PASS kvado@test", "EPSV", "TYPE A", "LIST", "EPSV", "TYPE I",
                              "RETR a.bin", "EPSV", "STOR up.txt", "EPSV", "TYPE A", "LIST"}));
    EXPECT_TRUE(t.seja.Pasivno());
    EXPECT_FALSE(t.view.Statuses.join("\n").contains(t.view.GetWord("@idPasivno")));
}

TEST(SejaPassive, RefusedEpsvFallsBackToPasvForTheSessionAndTheAnnouncedHostIsNeverUsed)
{
    QTemporaryDir local;
    ServerScript script;
    // A private address (behind NAT), then a third host: both reached at the control peer.
    script.Login().Expect("EPSV", {"500 EPSV not understood"});
    script.Expect("PASV").PassiveListen("227 Entering Passive Mode (10,1,2,3,{p1},{p2})");
    serve(script, "LIST", fileLine("a.bin", 4));
    script.Expect("PASV").PassiveListen("227 Entering Passive Mode (127,0,0,2,{p1},{p2}).");
    serve(script, "RETR a.bin", "abcd").Pause(0.3);
    ScriptedServer server(script);
    TestSession t;
    ASSERT_TRUE(server.Start());
    t.view.LocalDir = local.path();
    t.Connect(server.Port(), passive());
    ASSERT_TRUE(PumpUntil([&] { return t.view.Listings == 1; }));
    t.view.Select({"a.bin"});
    t.seja.Pla1PrenesiClick();
    ASSERT_TRUE(waitServer(server));
    ASSERT_TRUE(PumpUntil([&] { return !t.seja.PrenosTece() && t.view.LocalRefreshes > 0; }));
    EXPECT_EQ(contents(local.filePath("a.bin")), "abcd");
    EXPECT_EQ(withoutTypes(server.Commands()), (QByteArrayList{"USER anonymous", "PASS kvado@test", "EPSV",
                                                               "PASV", "LIST", "PASV", "RETR a.bin"}));
}

TEST(SejaPassive, GarbagePassiveRepliesEndTheTransferAsFailedAndTheSessionGoesOn)
{
    const QByteArrayList garbage = {
        "229 Extended Passive Mode (|||70000|)",       // no such port
        "229 Extended Passive Mode (||1|2021|)",       // a network part where none belongs
        "229 Extended Passive Mode (|||0|)",           // port 0
        "229 Extended Passive Mode",                   // nothing at all
        "227 Entering Passive Mode (127,0,0,1,300,1)", // a byte above 255
        "227 Entering Passive Mode (127,0,0,1,4)",     // five numbers
        "227 Entering Passive Mode (1,127,0,0,1,4,1)", // seven numbers
        "227 Entering Passive Mode (127,0,0,1,0,0)",   // port 0
    };
    ServerScript script;
    script.Login().Expect("EPSV").Send({garbage[0]});
    for (int i = 1; i < 4; ++i)
        script.Expect("EPSV").Send({garbage[i]});
    script.Expect("EPSV", {"502 No EPSV"}).Expect("PASV").Send({garbage[4]});
    for (int i = 5; i < garbage.size(); ++i)
        script.Expect("PASV").Send({garbage[i]});
    script.Expect("PASV").PassiveListen("227 Entering Passive Mode (127,0,0,1,{p1},{p2})");
    serve(script, "LIST", fileLine("a.bin", 4)).Pause(0.3);
    ScriptedServer server(script);
    TestSession t;
    ASSERT_TRUE(server.Start());
    t.Connect(server.Port(), passive());
    for (int i = 1; i <= garbage.size(); ++i) {
        ASSERT_TRUE(PumpUntil([&] { return t.view.Statuses.size() == i && !t.seja.PrenosTece(); }))
            << "reply " << i;
        EXPECT_EQ(t.view.Statuses.last(),
                  t.view.GetWord("@idNapacenPasiv") + QString::fromLatin1(garbage[i - 1]));
        EXPECT_EQ(t.view.Listings, 0);
        t.seja.Pla1OsveziFTPClick();
    }
    ASSERT_TRUE(waitServer(server));
    ASSERT_TRUE(PumpUntil([&] { return t.view.Listings == 1; }));
    EXPECT_EQ(startingWith(server.Commands(), "LIST").size(), 1);
}

TEST(SejaPassive, ActiveModeSwitchesToPassiveOnceWhenTheServerCannotConnectBack)
{
    struct Case {
        const char* name;
        QByteArray portReply, listReply;
        bool stall; // the LIST is left waiting: it is aborted before the passive retry
    };
    const Case cases[] = {
        {"PORT refused, then LIST refused", "500 PORT not allowed", "503 Use PASV first", false},
        {"425 to LIST", "200 PORT ok", "425 Can't open data connection", false},
        {"no connection within the time-out", "200 PORT ok", "150 Opening", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ServerScript script;
        script.Login().ExpectMatch("PORT .*", {c.portReply}).Expect("LIST", {c.listReply});
        if (c.stall)
            script.Expect("ABOR", {"426 No connection", "226 ABOR ok"});
        script.Expect("EPSV").PassiveListen(kEpsv);
        serve(script, "LIST", fileLine("a.bin", 4));
        // The session stays passive.
        script.Expect("EPSV").PassiveListen(kEpsv);
        serve(script, "LIST", fileLine("b.bin", 4)).Pause(0.3);
        ScriptedServer server(script);
        TestSession t;
        t.seja.SetTimeOut(1);
        ASSERT_TRUE(server.Start());
        t.Connect(server.Port());
        ASSERT_TRUE(PumpUntil([&] { return t.view.Listings == 1; }));
        EXPECT_EQ(t.view.RowNames(), (QStringList{"..", "a.bin"}));
        EXPECT_TRUE(t.seja.Pasivno());
        t.seja.Pla1OsveziFTPClick();
        ASSERT_TRUE(waitServer(server));
        ASSERT_TRUE(PumpUntil([&] { return t.view.Listings == 2; }));
        EXPECT_EQ(t.view.RowNames(), (QStringList{"..", "b.bin"}));
        QByteArrayList commands{
            "USER anonymous", "PASS kvado@test", "PORT", "LIST", "EPSV", "LIST", "EPSV", "LIST"};
        if (c.stall)
            commands.insert(4, "ABOR");
        EXPECT_EQ(withoutPorts(withoutTypes(server.Commands())), commands);
        // One line says why, and the listing's own verdicts follow; no failure is shown.
        EXPECT_EQ(t.view.Statuses, (QStringList{t.view.GetWord("@idPasivno"), t.view.GetWord("@idPriMapo"),
                                                t.view.GetWord("@idPriMapo")}));
    }
}

TEST(SejaPassive, AFailedOrStalledDataConnectionEndsTheTransferOnceAndTheSessionGoesOn)
{
    QTemporaryDir local;
    ServerScript script;
    script.Login().Expect("EPSV").PassiveListen(kEpsv);
    serve(script, "LIST", fileLine("a.bin", 4) + fileLine("b.bin", 4));
    // A port nobody listens on: the connect fails, and the RETR left waiting is aborted.
    script.Expect("EPSV", {"229 Entering Extended Passive Mode (|||1|)"})
        .Expect("RETR a.bin")
        .Expect("ABOR", {"425 Can't open data connection.", "226 ABOR ok"});
    // Connected, but nothing ever comes: the stall watch ends it (and aborts it).
    script.Expect("EPSV").PassiveListen(kEpsv).Expect("RETR b.bin", {"150 Sending"}).DataAccept();
    script.Expect("ABOR", {"426 Aborted", "226 ABOR ok"});
    script.Expect("EPSV").PassiveListen(kEpsv);
    serve(script, "LIST", fileLine("a.bin", 4)).Pause(0.3);
    ScriptedServer server(script);
    TestSession t;
    t.seja.SetTimeOut(1);
    ASSERT_TRUE(server.Start());
    t.view.LocalDir = local.path();
    t.Connect(server.Port(), passive());
    ASSERT_TRUE(PumpUntil([&] { return t.view.Listings == 1; }));
    t.view.Select({"a.bin", "b.bin"});
    t.seja.Pla1PrenesiClick();
    const QString stalled = t.view.GetWord("@idCasPotekel") + local.filePath("b.bin");
    ASSERT_TRUE(PumpUntil([&] { return t.view.Statuses.contains(stalled); }));
    EXPECT_FALSE(t.seja.PrenosTece());
    EXPECT_EQ(t.view.Statuses.filter(t.view.GetWord("@idNeuspeh")).size(), 1); // a.bin, once
    EXPECT_FALSE(t.view.Statuses.contains(t.view.GetWord("@idDatUsp")));
    t.seja.Pla1OsveziFTPClick();
    ASSERT_TRUE(waitServer(server));
    ASSERT_TRUE(PumpUntil([&] { return t.view.Listings == 2; }));
    EXPECT_EQ(t.view.RowNames(), (QStringList{"..", "a.bin"}));
}

// The session engine against servers that misbehave: a transfer ends once
// with the truth (never "done" on a half file), stalls and endless replies end
// by themselves, huge listings stay small, and odd names, links, sizes, line
// ends and unasked replies are handled soundly.
#include "scriptedsession.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <unistd.h>

namespace {
// A listed file a.bin of 8 bytes, then its RETR answered with 150.
ServerScript& retrOfEightBytes(ServerScript& script)
{
    script.Login();
    return listing(script, fileLine("a.bin", 8))
        .ExpectMatch("PORT .*", {"200 ok"})
        .Expect("RETR a.bin", {"150 Sending"});
}

// Connects from local and downloads the listed entry `name`.
bool startDownload(ScriptedServer& server, TestSession& t, const QString& local, const QString& name)
{
    if (!openListed(server, t, local))
        return false;
    t.view.Select({name});
    t.seja.Pla1PrenesiClick();
    return true;
}

QString failed(FakeSejaView& view, const QString& path)
{
    return view.GetWord("@idNeuspeh") + path;
}

bool hasStatusStartingWith(FakeSejaView& view, const QString& prefix)
{
    for (const QString& status : view.Statuses)
        if (status.startsWith(prefix.trimmed()))
            return true;
    return false;
}
} // namespace

TEST(SejaHostile, AHalfFileIsNeverReportedDone)
{
    {
        SCOPED_TRACE("226 with the data connection still open, then the control connection closes");
        QTemporaryDir local;
        ServerScript script;
        retrOfEightBytes(script).DataOpen().DataSend("aaaa").Send({"226 Done"}).Pause(0.3).Close().Pause(1);
        ScriptedServer server(script);
        TestSession t;
        ASSERT_TRUE(startDownload(server, t, local.path(), "a.bin"));
        ASSERT_TRUE(waitServer(server));
        ASSERT_TRUE(PumpUntil([&] { return !t.seja.Connected() && !t.seja.PrenosTece(); }));
        PumpFor(200);
        EXPECT_FALSE(reportsSuccess(t.view)) << t.view.Statuses.join("|").toStdString();
        EXPECT_TRUE(t.view.Statuses.contains(failed(t.view, local.filePath("a.bin"))))
            << t.view.Calls.join("\n").toStdString();
        EXPECT_EQ(contents(local.filePath("a.bin")), "aaaa"); // kept for a resume
    }
    {
        SCOPED_TRACE("226, then 421");
        QTemporaryDir local;
        ServerScript script;
        retrOfEightBytes(script)
            .DataOpen()
            .DataSend("aaaa")
            .Send({"226 Done"})
            .Pause(0.3)
            .Send({"421 Bye"})
            .Pause(1);
        ScriptedServer server(script);
        TestSession t;
        ASSERT_TRUE(startDownload(server, t, local.path(), "a.bin"));
        ASSERT_TRUE(waitServer(server));
        ASSERT_TRUE(PumpUntil([&] { return !t.seja.Connected() && !t.seja.PrenosTece(); }));
        PumpFor(200);
        EXPECT_FALSE(reportsSuccess(t.view)) << t.view.Statuses.join("|").toStdString();
        EXPECT_EQ(t.view.Statuses.count(failed(t.view, local.filePath("a.bin"))), 1);
    }
    {
        SCOPED_TRACE("226 early while data trickles, then Stop");
        QTemporaryDir local;
        ServerScript script;
        retrOfEightBytes(script)
            .DataOpen()
            .DataSend("aaaa")
            .Send({"226 Sent early"})
            .Expect("ABOR", {"226 Abort successful"})
            .Pause(0.3);
        ScriptedServer server(script);
        TestSession t;
        ASSERT_TRUE(startDownload(server, t, local.path(), "a.bin"));
        ASSERT_TRUE(PumpUntil([&] { return t.view.Replies.contains("226 Sent early"); }))
            << t.view.Calls.join("\n").toStdString();
        t.seja.STOPFTPClick();
        ASSERT_TRUE(waitServer(server)) << t.view.Calls.join("\n").toStdString();
        ASSERT_TRUE(PumpUntil([&] { return t.view.Statuses.contains(t.view.GetWord("@idPrek")); }));
        PumpFor(300);
        EXPECT_FALSE(reportsSuccess(t.view)) << t.view.Statuses.join("|").toStdString();
        EXPECT_EQ(t.view.Statuses.count(t.view.GetWord("@idPrek")), 1);
        EXPECT_EQ(contents(local.filePath("a.bin")), "aaaa");
    }
    {
        SCOPED_TRACE("all but the last bytes, 226, and the data connection held open");
        QTemporaryDir local;
        ServerScript script;
        script.Login();
        listing(script, fileLine("c.bin", 1000))
            .ExpectMatch("PORT .*", {"200 ok"})
            .Expect("RETR c.bin", {"150 Sending c.bin (1000 bytes)"})
            .DataOpen()
            .DataSend(QByteArray(900, 'c'))
            .Send({"226 Done"})
            .Pause(2.5);
        ScriptedServer server(script);
        TestSession t;
        t.seja.SetTimeOut(1);
        ASSERT_TRUE(startDownload(server, t, local.path(), "c.bin"));
        const QString timedOut = t.view.GetWord("@idCasPotekel") + local.filePath("c.bin");
        EXPECT_TRUE(PumpUntil([&] { return t.view.Statuses.contains(timedOut); }, 5000))
            << t.view.Statuses.join("|").toStdString();
        EXPECT_FALSE(t.seja.PrenosTece());
        EXPECT_FALSE(reportsSuccess(t.view));
        EXPECT_EQ(contents(local.filePath("c.bin")).size(), 900);
    }
    {
        SCOPED_TRACE("226 before the data connection, for a name the local file system refuses");
        QTemporaryDir local;
        const QByteArray name(130, '\x9e'); // 130 times "ž": 260 bytes in UTF-8, too long for a file name
        ServerScript script;
        script.Login();
        listing(script, fileLine(name, 2))
            .ExpectMatch("PORT .*", {"200 ok"})
            .Expect("RETR " + name, {"150 Sending", "226 Done"})
            .Pause(0.3)
            .DataOpen()
            .DataClose()
            .Pause(0.3);
        ScriptedServer server(script);
        TestSession t;
        ASSERT_TRUE(startDownload(server, t, local.path(), QString(130, QChar(0x17E))));
        ASSERT_TRUE(waitServer(server));
        ASSERT_TRUE(PumpUntil([&] { return !t.seja.PrenosTece() && t.view.LocalRefreshes > 0; }));
        PumpFor(200);
        EXPECT_FALSE(reportsSuccess(t.view)) << t.view.Statuses.join("|").toStdString();
        EXPECT_TRUE(hasStatusStartingWith(t.view, t.view.GetWord("@idNapakaDatoteke")));
        EXPECT_TRUE(QDir(local.path()).isEmpty());
        // The engine ended the transfer after the accept: what the accept disabled is back.
        for (TSejaItem item :
             {siPla1Prenesi, siPla1OsveziFTP, siPla1UsMapo, siPla1Izbrisi, siPla1Skoci, siPla2Prenesi})
            EXPECT_TRUE(t.view.ItemEnabled(item)) << int(item);
    }
}

TEST(SejaHostile, StallsEndTheTransferAndTheNextFollowsByItself)
{
    {
        SCOPED_TRACE("150 and 226 but no data connection: the second file starts by itself");
        QTemporaryDir local;
        ServerScript script;
        script.Login();
        listing(script, fileLine("a.txt", 3) + fileLine("b.txt", 3))
            .ExpectMatch("PORT .*", {"200 ok"})
            .Expect("RETR a.txt", {"150 Sending", "226 Done"})
            .ServeRetr("b.txt", "bbb")
            .Pause(0.3);
        ScriptedServer server(script);
        TestSession t;
        t.seja.SetTimeOut(1);
        ASSERT_TRUE(openListed(server, t, local.path()));
        t.view.Select({"a.txt", "b.txt"});
        t.seja.Pla1PrenesiClick();
        ASSERT_TRUE(waitServer(server));
        ASSERT_TRUE(PumpUntil([&] { return !t.seja.PrenosTece() && t.view.LocalRefreshes >= 2; }));
        EXPECT_EQ(contents(local.filePath("b.txt")), "bbb");
        EXPECT_TRUE(t.view.Statuses.contains(t.view.GetWord("@idCasPotekel") + local.filePath("a.txt")));
        EXPECT_EQ(t.view.Statuses.count(t.view.GetWord("@idDatUsp")), 1);
    }
    {
        SCOPED_TRACE("REST never answered, a listing that never ends, and a slow download that flows");
        QTemporaryDir local;
        ASSERT_TRUE(writeFile(local.filePath("a.txt"), "aa"));
        ServerScript script;
        script.Login();
        listing(script, fileLine("a.txt", 4) + fileLine("slow.bin", 9))
            .ExpectMatch("PORT .*", {"200 ok"})
            .Expect("REST 2")
            .Expect("ABOR", {"350 Restarting at 2", "226 ABOR ok"})
            .ExpectMatch("PORT .*", {"200 ok"})
            .Expect("LIST", {"150 Here"})
            .DataOpen()
            .DataSend(fileLine("never", 1))
            .Expect("ABOR", {"426 Aborted", "226 ABOR ok"})
            .ExpectMatch("PORT .*", {"200 ok"})
            .Expect("RETR slow.bin", {"150 Sending"})
            .DataOpen(QByteArray(), "slow")
            .DataSend("abc", "slow")
            .Pause(0.7)
            .DataSend("def", "slow")
            .Pause(0.7)
            .DataSend("ghi", "slow")
            .DataClose("slow")
            .Send({"226 Done"})
            .Pause(0.3);
        ScriptedServer server(script);
        TestSession t;
        t.seja.SetTimeOut(1);
        ASSERT_TRUE(openListed(server, t, local.path()));
        const QString timedOut = t.view.GetWord("@idCasPotekel");
        t.view.Select({"a.txt"});
        t.view.PrepisiAnswers = {piNadaljuj};
        t.seja.Pla1PrenesiClick();
        ASSERT_TRUE(PumpUntil([&] { return t.view.Statuses.contains(timedOut + local.filePath("a.txt")); }));
        EXPECT_FALSE(t.seja.PrenosTece());
        t.seja.Pla1OsveziFTPClick();
        ASSERT_TRUE(PumpUntil([&] { return t.view.Statuses.contains(timedOut + "LIST"); }));
        EXPECT_EQ(t.view.Listings, 1); // the unfinished listing is not shown
        t.view.Select({"slow.bin"});
        t.seja.Pla1PrenesiClick();
        ASSERT_TRUE(waitServer(server));
        ASSERT_TRUE(PumpUntil([&] { return t.view.Statuses.contains(t.view.GetWord("@idDatUsp")); }));
        EXPECT_EQ(contents(local.filePath("slow.bin")), "abcdefghi");
        EXPECT_EQ(t.view.Statuses.filter(timedOut).size(), 2);
    }
}

TEST(SejaHostile, EndlessRepliesEndTheConnectionAndTheLogKeepsItsHead)
{
    // A multi-line reply that never ends, lines without a code, and final replies nobody asked for.
    for (const QByteArray& flood :
         {QByteArray("220-and more of the same greeting\r\n"), QByteArray("    indented, no code\r\n"),
          QByteArray("257 \"/x\" nobody asked\r\n")}) {
        SCOPED_TRACE(flood.toStdString());
        ServerScript script;
        // Two bursts with a pause between them, each shorter than the bound.
        constexpr int burst = TFtpSeja::kNajvecVrstic / 2;
        script.Send({"220-Welcome"})
            .SendRaw(flood.repeated(burst))
            .Pause(0.3)
            .SendRepeat(flood, qint64(1) << 30);
        ScriptedServer server(script);
        QString error;
        ASSERT_TRUE(server.Start(&error)) << error.toStdString();
        TestSession t;
        // The event loop stays free while the lines are read: an event posted at
        // the first line runs before the second burst is read (the reader
        // yields after a short slice, and waits for nothing; counted in lines,
        // so the machine's speed does not matter).
        qsizetype linesWhenPosted = -1, linesWhenRun = -1;
        t.view.OnReply = [&](const QString&) {
            if (linesWhenPosted >= 0)
                return;
            linesWhenPosted = t.view.Replies.size();
            QMetaObject::invokeMethod(
                qApp, [&] { linesWhenRun = t.view.Replies.size(); }, Qt::QueuedConnection);
        };
        t.Connect(server.Port());
        ASSERT_TRUE(server.WaitDone(20000)) << server.Failure().toStdString();
        EXPECT_TRUE(server.Events().contains("send-repeat-stopped"));
        EXPECT_FALSE(t.seja.Connected());
        EXPECT_TRUE(t.view.Statuses.contains(t.view.GetWord("@idPredolgOdgovor")));
        ASSERT_FALSE(t.view.Replies.isEmpty());
        EXPECT_EQ(t.view.Replies.first(), "220-Welcome");
        EXPECT_LE(t.view.Replies.size(), TFtpSeja::kNajvecVrstic + 1);
        EXPECT_TRUE(t.view.Commands.isEmpty());
        EXPECT_EQ(t.view.Listings, 0);
        EXPECT_GE(linesWhenRun, linesWhenPosted);
        EXPECT_LE(linesWhenRun, 1 + burst);
    }
}

TEST(SejaHostile, AListingOfTooManyEntriesIsCutWithAMessage)
{
    QByteArray many;
    for (int i = 0; i < 10; ++i)
        many += fileLine("f" + QByteArray::number(i), i);
    ServerScript script;
    script.Login();
    listing(script, many);
    ScriptedServer server(script);
    TestSession t;
    t.seja.SetNajvecVnosov(5);
    QTemporaryDir local;
    ASSERT_TRUE(openListed(server, t, local.path()));
    EXPECT_EQ(t.view.RowNames(), (QStringList{"..", "f0", "f1", "f2", "f3", "f4"}));
    EXPECT_EQ(t.seja.Seznam().Count(), 6);
    EXPECT_TRUE(t.view.Statuses.contains(t.view.GetWord("@idPreveVnosov") + "5"));
}

TEST(SejaHostile, NamesLinksAndSizesGiveTheRightFiles)
{
    {
        SCOPED_TRACE("a name with a leading colon, and a dangling link in the target's place");
        QTemporaryDir local;
        const QString dangling = local.filePath("gone/target");
        ASSERT_EQ(::symlink(QFile::encodeName(dangling).constData(),
                            QFile::encodeName(local.filePath("dl.txt")).constData()),
                  0);
        ServerScript script;
        script.Login();
        listing(script, fileLine(":notes.txt", 3) + fileLine("dl.txt", 2))
            .ServeRetr(":notes.txt", "abc")
            .ServeRetr("dl.txt", "dl")
            .Pause(0.3);
        ScriptedServer server(script);
        TestSession t;
        ASSERT_TRUE(openListed(server, t, local.path()));
        t.view.Select({":notes.txt", "dl.txt"});
        t.view.PrepisiAnswers = {piPrepisi};
        t.seja.Pla1PrenesiClick();
        ASSERT_TRUE(waitServer(server));
        ASSERT_TRUE(PumpUntil([&] { return !t.seja.PrenosTece() && t.view.LocalRefreshes >= 2; }));
        EXPECT_EQ(t.view.PrepisiShown, 1); // the dangling link counts as an existing entry
        EXPECT_EQ(contents(local.path() + "/:notes.txt"), "abc"); // QDir would read ":" as a resource
        EXPECT_FALSE(QFileInfo(local.filePath("dl.txt")).isSymLink());
        EXPECT_EQ(contents(local.filePath("dl.txt")), "dl");
        EXPECT_FALSE(QFileInfo::exists(dangling)); // nothing was written through the link
        EXPECT_EQ(t.view.Statuses.count(t.view.GetWord("@idDatUsp")), 2);
    }
    {
        SCOPED_TRACE("short of the announced size, more bytes than listed (another file's); a resume of a "
                     "larger local file asks");
        QTemporaryDir local;
        ASSERT_TRUE(writeFile(local.filePath("big.txt"), "0123456789"));
        ServerScript script;
        script.Login();
        listing(script, fileLine("s.txt", 3) + fileLine("big.txt", 4) + fileLine("l.txt", 3))
            .ExpectMatch("PORT .*", {"200 ok"})
            .Expect("RETR s.txt", {"150 Opening BINARY mode data connection for s.txt (6 bytes)."})
            .DataOpen()
            .DataSend("sss")
            .DataClose()
            .Send({"226 Done"})
            .ExpectMatch("PORT .*", {"200 ok"})
            .Expect("RETR l.txt", {"150 Opening BINARY mode data connection for l.txt."})
            .DataOpen()
            .DataSend("llllll")
            .DataClose()
            .Send({"226 Done"})
            .Pause(0.5);
        ScriptedServer server(script);
        TestSession t;
        ASSERT_TRUE(openListed(server, t, local.path()));
        t.view.Select({"s.txt", "big.txt", "l.txt"});
        t.view.PrepisiAnswers = {piNadaljuj};
        t.view.MessageAnswers = {mrNo};
        t.seja.Pla1PrenesiClick();
        ASSERT_TRUE(waitServer(server));
        ASSERT_TRUE(PumpUntil([&] { return !t.seja.PrenosTece() && t.view.LocalRefreshes >= 1; }));
        PumpFor(200);
        EXPECT_TRUE(
            t.view.Statuses.contains(t.view.GetWord("@idNepopoln") + local.filePath("s.txt") + " (3/6)"))
            << t.view.Statuses.join("|").toStdString();
        EXPECT_TRUE(
            t.view.Statuses.contains(t.view.GetWord("@idPredolg") + local.filePath("l.txt") + " (6/3)"))
            << t.view.Statuses.join("|").toStdString();
        EXPECT_FALSE(reportsSuccess(t.view));
        ASSERT_EQ(t.view.Messages.size(), 1);
        EXPECT_TRUE(t.view.Messages[0].endsWith(t.view.GetWord("@idLokalnaVecja")));
        EXPECT_EQ(contents(local.filePath("big.txt")), "0123456789");
        EXPECT_TRUE(startingWith(server.Commands(), "REST").isEmpty());
    }
    {
        SCOPED_TRACE("an upload resume against a remote file larger than the local one asks");
        QTemporaryDir local;
        ASSERT_TRUE(writeFile(local.filePath("up.txt"), "up"));
        ServerScript script;
        script.Login();
        listing(script, fileLine("up.txt", 100))
            .ExpectMatch("PORT .*", {"200 ok"})
            .Expect("STOR up.txt", {"150 Go ahead"})
            .DataOpen()
            .DataReceive("up.txt")
            .Send({"226 Stored"});
        listing(script, fileLine("up.txt", 2), false).Pause(0.3);
        ScriptedServer server(script);
        TestSession t;
        ASSERT_TRUE(openListed(server, t, local.path()));
        t.view.LocalSelection = {{"up.txt", "2"}};
        t.view.PrepisiAnswers = {piNadaljuj};
        t.view.MessageAnswers = {mrYes}; // overwrite instead
        t.seja.Pla2PrenesiClick();
        ASSERT_TRUE(waitServer(server));
        ASSERT_TRUE(PumpUntil([&] { return t.view.Listings == 2; }));
        EXPECT_EQ(server.Stored("up.txt"), "up");
        ASSERT_EQ(t.view.Messages.size(), 1);
        EXPECT_TRUE(t.view.Messages[0].endsWith(t.view.GetWord("@idOddaljenaVecja")));
        EXPECT_TRUE(t.view.Statuses.contains(t.view.GetWord("@idDatUsp")));
    }
}

TEST(SejaHostile, LineEndsAndRepliesNobodyAskedFor)
{
    {
        SCOPED_TRACE("replies ended by LF alone");
        ServerScript script;
        script.SendRaw("220-Hello\n220 Ready\n")
            .Expect("USER anonymous")
            .SendRaw("331 Password\n")
            .ExpectMatch("PASS .*")
            .SendRaw("230 In\n");
        listing(script);
        Scripted s(script);
        TestSession t;
        ASSERT_TRUE(s.Run(t));
        EXPECT_TRUE(PumpUntil([&] { return t.view.Listings == 1; }));
        EXPECT_TRUE(t.view.Replies.contains("220 Ready"));
    }
    {
        SCOPED_TRACE("331 after PASS, and a storm of unasked 257 and 226 replies");
        QByteArrayList storm;
        for (int i = 0; i < 200; ++i)
            storm << "257 \"/x\" is current"
                  << "226 Done";
        ServerScript script;
        script.Send({"220 Ready"})
            .Expect("USER anonymous", {"331 Password"})
            .ExpectMatch("PASS .*", {"331 Password"})
            .Send(storm)
            .Send({"220 Ready again"})
            .Pause(0.5);
        Scripted s(script);
        TestSession t;
        ASSERT_TRUE(s.Run(t));
        PumpFor(300);
        EXPECT_EQ(s.server.Commands(), (QByteArrayList{"USER anonymous", "PASS kvado@test"}));
        EXPECT_TRUE(t.view.Statuses.contains(t.view.GetWord("@idPrijavaNeuspela")));
        EXPECT_EQ(t.view.Listings, 0);
        EXPECT_EQ(t.view.Caption, "");
        EXPECT_TRUE(t.seja.Connected());
    }
}

// A listing whose 226 comes together with a flood of replies nobody asked for:
// the listing arrived whole, so it is shown, and then the connection ends.
TEST(SejaHostile, AWholeListingIsShownBeforeAFloodEndsTheConnection)
{
    ServerScript script;
    script.Login()
        .ExpectMatch("PORT .*", {"200 ok"})
        .Expect("TYPE A", {"200 A"})
        .Expect("LIST", {"150 Here"})
        .DataOpen()
        .DataSend(kListing)
        .SendRaw("226 Done\r\n" + QByteArray("200 nobody asked\r\n").repeated(TFtpSeja::kNajvecVrstic + 10))
        .DataClose()
        .SendRepeat("200 nobody asked\r\n", qint64(1) << 30);
    ScriptedServer server(script);
    QString error;
    ASSERT_TRUE(server.Start(&error)) << error.toStdString();
    TestSession t;
    t.Connect(server.Port());
    ASSERT_TRUE(server.WaitDone(20000)) << server.Failure().toStdString();
    ASSERT_TRUE(PumpUntil([&] { return !t.seja.Connected(); }));
    EXPECT_EQ(t.view.Listings, 1);
    EXPECT_EQ(t.view.RowNames(), (QStringList{"..", "pub", "big file.bin"}));
    EXPECT_TRUE(t.view.Statuses.contains(t.view.GetWord("@idPredolgOdgovor")));
}

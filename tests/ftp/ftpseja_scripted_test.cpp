// The session engine against Kvado's scripted server: the replies real servers
// will not give, checked against the exact commands the engine sent.
#include "scriptedsession.h"

#include "net/linesocketbase.h"

#include <QRegularExpression>
#include <QTemporaryDir>

#include <limits>

TEST(SejaScripted, GreetingRepliesOnlyFinalLinesAndLogsInAnonymouslyThenLists)
{
    ServerScript script;
    // A multi-line greeting, a code alone, an indented code and four-space lines: one USER.
    script.Send({"220-Welcome", "220", "    220 indented", " 220 x", "220 Ready"})
        .Expect("USER anonymous", {"331-Password,", "    331 still the same reply", "331 please"})
        .Expect("PASS kvado@test", {"230 In"});
    listing(script);
    Scripted s(script);
    TestSession t;
    ASSERT_TRUE(s.Run(t));
    ASSERT_TRUE(PumpUntil([&] { return t.view.Listings == 1; }));
    EXPECT_EQ(withoutPorts(s.server.Commands()),
              (QByteArrayList{"USER anonymous", "PASS kvado@test", "PORT", "TYPE A", "LIST"}));
    EXPECT_EQ(t.view.RowNames(), (QStringList{"..", "pub", "big file.bin"}));
    EXPECT_EQ(t.view.Rows[2].sizeText, "1,234,567");
    EXPECT_EQ(t.view.Rows[2].size, 1234567);
    // Every reply line shown, the USER and PASS arguments never.
    EXPECT_TRUE(t.view.Replies.contains("    220 indented"));
    EXPECT_TRUE(t.view.LogLines.contains(QString(23, ' ') + "220"));
    EXPECT_EQ(t.view.Commands.mid(0, 2), (QStringList{"USER", "PASS"}));
    EXPECT_FALSE(t.view.LogLines.join("\n").contains("kvado@test"));
    EXPECT_EQ(t.view.Statuses.last(), t.view.GetWord("@idPriMapo"));
    EXPECT_EQ(t.view.Sounds, std::vector<int>{1});
    EXPECT_TRUE(t.view.ItemEnabled(siPla1Izbrisi));
    EXPECT_TRUE(t.view.ItemEnabled(siPla2Prenesi));
    EXPECT_EQ(t.seja.Faza(), fzLIST);
}

TEST(SejaScripted, NamedLoginInitialDirectoryAnd257WithoutClosingQuoteSpace)
{
    ServerScript script;
    script.Send({"220 Ready"})
        .Expect("USER kvado", {"331 Password"})
        .Expect("PASS geslo", {"230 In"})
        .ExpectMatch("PORT .*", {"200 ok"})
        .Expect("CWD pub", {"250 ok"})
        .Expect("PWD", {"257 \"/pub\""});
    listing(script);
    Scripted s(script);
    TestSession t;
    TSejaParametri p;
    p.loginKind = 1;
    p.user = "kvado";
    p.password = "geslo";
    p.remoteDirectory = "pub";
    ASSERT_TRUE(s.Run(t, p));
    ASSERT_TRUE(PumpUntil([&] { return t.view.Listings == 1; }));
    EXPECT_EQ(
        withoutPorts(s.server.Commands()),
        (QByteArrayList{"USER kvado", "PASS geslo", "PORT", "CWD pub", "PWD", "PORT", "TYPE A", "LIST"}));
    // No quote followed by a space: the current directory stays empty.
    EXPECT_EQ(t.seja.TrenutnaMapa(), "");
    EXPECT_EQ(t.view.Caption, "Kvado - [127.0.0.1]");
    EXPECT_FALSE(t.view.LogLines.join("\n").contains("geslo"));
    EXPECT_FALSE(t.view.LogLines.join("\n").contains("kvado "));
}

TEST(SejaScripted, RefusedPasswordIsOnlyShownAnd421ClosesTheConnection)
{
    {
        ServerScript script;
        script.Send({"220 Ready"})
            .Expect("USER anonymous", {"331 Password"})
            .ExpectMatch("PASS .*", {"530 No"});
        script.Pause(0.5);
        Scripted s(script);
        TestSession t;
        ASSERT_TRUE(s.Run(t));
        PumpFor(100);
        EXPECT_EQ(s.server.Commands().size(), 2);
        EXPECT_TRUE(t.seja.Connected());
        EXPECT_EQ(t.seja.Faza(), fzNic);
    }
    {
        ServerScript script;
        script.Login().ExpectMatch("PORT .*", {"200 ok"}).Expect("TYPE A").Expect("LIST", {"421 Going down"});
        script.ExpectClose(5);
        Scripted s(script);
        TestSession t;
        ASSERT_TRUE(s.Run(t));
        EXPECT_FALSE(t.seja.Connected());
        EXPECT_FALSE(t.view.ItemEnabled(siHitriGumb2));
        EXPECT_FALSE(t.view.ItemEnabled(siSTOPFTP));
        EXPECT_FALSE(t.view.ItemEnabled(siGumbTipPrenosa));
        EXPECT_FALSE(t.seja.PrenosTece());
    }
}

TEST(SejaScripted, MissingInitialDirectoryFallsBackToRootOnceOnly)
{
    ServerScript script;
    script.Login()
        .ExpectMatch("PORT .*", {"200 ok"})
        .Expect("CWD nope", {"550 No such directory"})
        .Expect("CWD /", {"550 Not even that"})
        .Pause(0.5);
    Scripted s(script);
    TestSession t;
    TSejaParametri p;
    p.remoteDirectory = "nope";
    ASSERT_TRUE(s.Run(t, p));
    PumpFor(100);
    // "CWD /" refused as well: not asked again.
    EXPECT_EQ(withoutPorts(s.server.Commands()).mid(2), (QByteArrayList{"PORT", "CWD nope", "CWD /"}));
    EXPECT_EQ(t.view.Statuses, QStringList{t.view.GetWord("@idNiMape")});
    EXPECT_EQ(t.view.Commands.last(), "CWD /");
}

TEST(SejaScripted, Reply450AnnouncesANewPortThatTheServerCanUse)
{
    ServerScript script;
    script.Login()
        .ExpectMatch("PORT .*", {"200 ok"})
        .Expect("TYPE A", {"200 Type A"})
        .Expect("LIST", {"450 Try another port"})
        // The new port comes with the command again, or nothing would ever connect.
        .ExpectMatch("PORT 127,0,0,1,\\d+,\\d+", {"200 ok"})
        .Expect("LIST", {"150 Here"})
        .DataOpen()
        .DataSend(kListing)
        .DataClose()
        .Send({"226 Done"});
    Scripted s(script);
    TestSession t;
    t.seja.SetTimeOut(1);
    ASSERT_TRUE(s.Run(t));
    ASSERT_TRUE(PumpUntil([&] { return t.view.Listings == 1; }));
    EXPECT_EQ(t.view.RowNames(), (QStringList{"..", "pub", "big file.bin"}));
    const QByteArrayList ports = startingWith(s.server.Commands(), "PORT");
    ASSERT_EQ(ports.size(), 2);
    const QList<QByteArray> f = ports[1].mid(5).split(',');
    const int port = f[4].toInt() * 256 + f[5].toInt();
    EXPECT_GE(port, 1280);
    EXPECT_LE(port, 1534);
}

TEST(SejaScripted, DataConnectionFromAThirdHostIsRejected)
{
    ServerScript script;
    script.Login()
        .ExpectMatch("PORT 127,0,0,1,.*", {"200 ok"})
        .Expect("TYPE A")
        .Expect("LIST", {"150 Here"})
        .DataOpen("127.0.0.2", "third")
        .DataSend("-rw-r--r-- 1 u g 5 Jan 1 12:00 planted\r\n", "third")
        .DataExpectClose(3, "third")
        .Pause(0.3)
        .DataOpen()
        .DataSend(kListing)
        .DataClose()
        .Send({"226 Done"});
    Scripted s(script);
    TestSession t;
    ASSERT_TRUE(s.Run(t));
    ASSERT_TRUE(PumpUntil([&] { return t.view.Listings == 1; }));
    EXPECT_TRUE(s.server.Events().contains("data-closed-by-peer third"))
        << s.server.Events().join(",").toStdString();
    EXPECT_EQ(t.view.RowNames(), (QStringList{"..", "pub", "big file.bin"}));
}

TEST(SejaScripted, HostileListingNamesAreShownButNeverWrittenOutsideTheDirectory)
{
    QTemporaryDir base;
    ASSERT_TRUE(QDir(base.path()).mkdir("local"));
    const QString local = base.path() + "/local";
    const QByteArray longName(10000, 'x');
    const QByteArray hostile = "-rw-r--r-- 1 u g 5 Jan 1 12:00 ..\r\n"
                               "-rw-r--r-- 1 u g 5 Jan 1 12:00 .\r\n"
                               "-rw-r--r-- 1 u g 5 Jan 1 12:00 a/b\r\n"
                               "-rw-r--r-- 1 u g 5 Jan 1 12:00 ../x\r\n"
                               "-rw-r--r-- 1 u g 5 Jan 1 12:00 evil\rname\r\n"
                               "-rw-r--r-- 1 u g 5 Jan 1 12:00 " +
                               longName +
                               "\r\n"
                               "-rw-r--r-- 1 u g 2 Jan 1 12:00 ok.txt\r\n";
    ServerScript script;
    script.Login();
    listing(script, hostile)
        .ExpectMatch("PORT .*", {"200 ok"})
        .ExpectMatch("RETR x{200,}", {"550 No such file"})
        .ServeRetr("ok.txt", "ok")
        .Pause(0.3);
    ScriptedServer server(script);
    QString error;
    ASSERT_TRUE(server.Start(&error)) << error.toStdString();
    TestSession t;
    t.view.LocalDir = local;
    t.Connect(server.Port());
    ASSERT_TRUE(PumpUntil([&] { return t.view.Listings == 1; }, 10000));
    const QStringList names = t.view.RowNames();
    EXPECT_FALSE(names.mid(1).contains(".."));
    EXPECT_FALSE(names.contains("."));
    EXPECT_TRUE(names.contains("a/b"));
    EXPECT_TRUE(names.contains("evil\rname"));
    t.seja.Pla1IzberiVseClick();
    t.view.Focused = 1;
    t.seja.Pla1PrenesiClick();
    ASSERT_TRUE(server.WaitDone()) << server.Failure().toStdString();
    ASSERT_TRUE(PumpUntil([&] { return !t.seja.PrenosTece() && t.view.LocalRefreshes > 0; }));
    // Only ok.txt was asked for and written; nothing outside the local directory.
    const QByteArrayList retr = startingWith(server.Commands(), "RETR");
    ASSERT_EQ(retr.size(), 2);
    EXPECT_EQ(retr[1], "RETR ok.txt");
    EXPECT_EQ(QDir(local).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList{"ok.txt"});
    EXPECT_EQ(QDir(base.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList{"local"});
    EXPECT_GE(t.view.Statuses.filter(QRegularExpression("^Datoteke s tem imenom ne prenesem")).size(), 2);
    // The control characters of a name never reach a log line raw.
    for (const QString& line : t.view.LogLines)
        EXPECT_FALSE(line.contains('\r') || line.contains('\n'));
}

TEST(SejaScripted, RefusedRetrLeavesTheLocalFileAndTheNextFileProceeds)
{
    QTemporaryDir local;
    {
        QFile precious(local.filePath("a.txt"));
        ASSERT_TRUE(precious.open(QIODevice::WriteOnly));
        precious.write("precious");
    }
    ServerScript script;
    script.Login();
    listing(script, "-rw-r--r-- 1 u g 3 Jan 1 12:00 a.txt\r\n-rw-r--r-- 1 u g 3 Jan 1 12:00 b.txt\r\n")
        .ExpectMatch("PORT .*", {"200 ok"})
        .Expect("RETR a.txt", {"550 Permission denied"})
        .ServeRetr("b.txt", "bbb")
        .Pause(0.3);
    ScriptedServer server(script);
    QString error;
    ASSERT_TRUE(server.Start(&error)) << error.toStdString();
    TestSession t;
    t.view.LocalDir = local.path();
    t.Connect(server.Port());
    ASSERT_TRUE(PumpUntil([&] { return t.view.Listings == 1; }, 10000));
    t.view.Select({"a.txt", "b.txt"});
    t.view.PrepisiAnswers = {piPrepisi};
    t.seja.Pla1PrenesiClick();
    ASSERT_TRUE(server.WaitDone()) << server.Failure().toStdString();
    ASSERT_TRUE(PumpUntil([&] { return !t.seja.PrenosTece() && t.view.LocalRefreshes > 0; }));
    QFile a(local.filePath("a.txt"));
    ASSERT_TRUE(a.open(QIODevice::ReadOnly));
    EXPECT_EQ(a.readAll(), "precious");
    QFile b(local.filePath("b.txt"));
    ASSERT_TRUE(b.open(QIODevice::ReadOnly));
    EXPECT_EQ(b.readAll(), "bbb");
}

TEST(SejaScripted, CommandArgumentsWithLineBreaksAreNeverSent)
{
    ServerScript script;
    script.Login();
    listing(script, "drwxr-xr-x 2 u g 5 Jan 1 12:00 dir\rX\r\n").Pause(0.8);
    ScriptedServer server(script);
    QString error;
    ASSERT_TRUE(server.Start(&error)) << error.toStdString();
    TestSession t;
    t.Connect(server.Port());
    ASSERT_TRUE(PumpUntil([&] { return t.view.Listings == 1; }, 10000));
    const int before = int(t.view.Statuses.size());
    t.view.Select({"dir\rX"});
    t.seja.FTPDat1DblClick(); // CWD of a name with CR
    t.view.InputAnswers = {QString("evil\r\nDELE x"), QString("/a\nb")};
    t.seja.Pla1UsMapoClick();
    t.seja.Pla1SkociClick();
    t.view.Select({"dir\rX"});
    t.view.EditedCaptions[1] = "new\r\nname";
    t.seja.FTPDat1Edited();
    ASSERT_TRUE(server.WaitDone()) << server.Failure().toStdString();
    EXPECT_EQ(withoutPorts(server.Commands()).mid(2), (QByteArrayList{"PORT", "TYPE A", "LIST"}));
    EXPECT_FALSE(server.RawCommands().contains("DELE"));
    EXPECT_EQ(t.view.Statuses.size() - before, 4);
}

TEST(SejaScripted, ResumeBeyondFourGiBSendsTheWholeOffsetAndShowsEveryDigit)
{
    QTemporaryDir local;
    const qint64 have = 5LL * 1024 * 1024 * 1024 + 7; // a sparse local file
    {
        QFile part(local.filePath("huge.iso"));
        ASSERT_TRUE(part.open(QIODevice::WriteOnly));
        ASSERT_TRUE(part.resize(have));
    }
    ServerScript script;
    script.Login();
    listing(script, "-rw-r--r-- 1 u g 6000000000 Jan 1 12:00 huge.iso\r\n")
        .ExpectMatch("PORT .*", {"200 ok"})
        .Expect("REST " + QByteArray::number(have), {"350 Restarting"})
        .Expect("RETR huge.iso", {"150 Sending huge.iso (4 bytes)"}) // what remains after the offset
        .DataOpen()
        .DataSend("tail")
        .DataClose()
        .Send({"226 Done"})
        .Pause(0.3);
    ScriptedServer server(script);
    QString error;
    ASSERT_TRUE(server.Start(&error)) << error.toStdString();
    TestSession t;
    t.view.LocalDir = local.path();
    t.Connect(server.Port());
    ASSERT_TRUE(PumpUntil([&] { return t.view.Listings == 1; }, 10000));
    EXPECT_EQ(t.view.Rows[1].size, 6000000000LL);
    EXPECT_EQ(t.view.Rows[1].sizeText, "6,000,000,000");
    t.view.Select({"huge.iso"});
    t.view.PrepisiAnswers = {piNadaljuj};
    t.seja.Pla1PrenesiClick();
    ASSERT_TRUE(server.WaitDone()) << server.Failure().toStdString();
    ASSERT_TRUE(PumpUntil([&] { return t.view.LocalRefreshes > 0; }));
    QFile result(local.filePath("huge.iso"));
    EXPECT_EQ(result.size(), have + 4);
    ASSERT_TRUE(result.open(QIODevice::ReadOnly));
    ASSERT_TRUE(result.seek(have - 1));
    EXPECT_EQ(result.read(5), QByteArray("\0tail", 5));
    EXPECT_TRUE(t.view.Calls.contains("Panel2: 5,368,709,131/6,000,000,000"));
    EXPECT_EQ(t.view.MaxProgress, 89);
    EXPECT_EQ(t.view.Statuses.last(), t.view.GetWord("@idNadalj"));
}

TEST(SejaScripted, LostControlConnectionEndsEveryWaitAndClearsTheTransfer)
{
    QTemporaryDir local;
    ServerScript script;
    script.Login();
    listing(script, "-rw-r--r-- 1 u g 9 Jan 1 12:00 a.txt\r\n-rw-r--r-- 1 u g 9 Jan 1 12:00 b.txt\r\n")
        .ExpectMatch("PORT .*", {"200 ok"})
        .Expect("RETR a.txt", {"150 Sending"})
        .DataOpen()
        .DataSend("aa")
        .Pause(0.2)
        .Close();
    ScriptedServer server(script);
    QString error;
    ASSERT_TRUE(server.Start(&error)) << error.toStdString();
    TestSession t;
    t.view.LocalDir = local.path();
    t.Connect(server.Port());
    ASSERT_TRUE(PumpUntil([&] { return t.view.Listings == 1; }, 10000));
    t.view.Select({"a.txt", "b.txt"});
    // Returns only because the wait for the second file ends with the connection.
    t.seja.Pla1PrenesiClick();
    EXPECT_FALSE(t.seja.Connected());
    EXPECT_FALSE(t.seja.PrenosTece());
    EXPECT_FALSE(t.seja.OddajaTece());
    EXPECT_TRUE(t.view.Calls.contains("Panel2: Zaprto"));
    EXPECT_FALSE(t.view.ItemEnabled(siPla2Prenesi));
    EXPECT_EQ(startingWith(server.Commands(), "RETR"), QByteArrayList{"RETR a.txt"});
}

TEST(SejaScripted, ConnectionRefusedAndStatePanelTexts)
{
    quint16 port = 0;
    {
        ServerScript script;
        ScriptedServer probe(script);
        ASSERT_TRUE(probe.Start());
        port = probe.Port();
        probe.Stop();
    }
    TestSession slovenian;
    slovenian.view.Panels[2] = "before";
    slovenian.Connect(port);
    ASSERT_TRUE(PumpUntil([&] { return !slovenian.view.Messages.isEmpty(); }));
    EXPECT_EQ(slovenian.view.Messages.first(), slovenian.view.GetWord("@idOpo") + "|" +
                                                   slovenian.view.GetWord("@idNapaka") +
                                                   "Connection refused");
    EXPECT_FALSE(slovenian.view.ItemEnabled(siHitriGumb2));
    // "Connecting" has no Slovenian text: the panel keeps what it had until a mapped state.
    EXPECT_FALSE(slovenian.view.Calls.contains("Panel2: Connecting"));

    TestSession english(1);
    english.Connect(port);
    ASSERT_TRUE(PumpUntil([&] { return !english.view.Messages.isEmpty(); }));
    EXPECT_TRUE(english.view.Calls.contains("Panel2: Connecting"));
    EXPECT_EQ(english.view.Messages.first(),
              "Kvado warning!|There has been an error while connecting: Connection refused");
}

TEST(SejaScripted, RemotePaneCommandsAndTheOnesThatSendNothing)
{
    QTemporaryDir local;
    {
        QFile f(local.filePath("a.txt"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    ServerScript script;
    script.Login();
    listing(script, "drwxr-xr-x 2 u g 5 Jan 1 12:00 dir\r\n"
                    "-rw-r--r-- 1 u g 5 Jan 1 12:00 f.txt\r\n"
                    "-rw-r--r-- 1 u g 5 Jan 1 12:00 A.TXT\r\n")
        .Expect("DELE f.txt", {"250 Deleted"});
    listing(script, "-rw-r--r-- 1 u g 5 Jan 1 12:00 A.TXT\r\n", false).Pause(0.3);
    ScriptedServer server(script);
    QString error;
    ASSERT_TRUE(server.Start(&error)) << error.toStdString();
    TestSession t;
    t.view.LocalDir = local.path();
    t.Connect(server.Port());
    ASSERT_TRUE(PumpUntil([&] { return t.view.Listings == 1; }, 10000));

    t.seja.Pla1IzberiVseClick();
    EXPECT_EQ(t.view.Selected, (std::set<int>{1, 2, 3}));
    t.view.Select({"dir", "f.txt"});
    t.seja.FTPDat1Change();
    EXPECT_EQ(t.view.Panels[1], "(2)");
    t.seja.PlavajociMenu1Popup();
    EXPECT_TRUE(t.view.ItemEnabled(siPla1Prenesi) && t.view.ItemEnabled(siPla1Izbrisi));
    t.view.Selected.clear();
    t.seja.PlavajociMenu1Popup();
    EXPECT_FALSE(t.view.ItemEnabled(siPla1Prenesi) || t.view.ItemEnabled(siPla1Izbrisi));

    // Jumping to the current directory, a cancelled make-directory and renaming ".." send nothing.
    t.view.InputAnswers = {QString(""), std::nullopt};
    t.seja.Pla1SkociClick();
    t.seja.Pla1UsMapoClick();
    EXPECT_EQ(t.seja.Faza(), fzMKD);
    t.view.Select({".."});
    t.view.EditedCaptions[0] = "up";
    t.seja.FTPDat1Edited();
    // An upload whose name matches a remote one in another case asks first; Cancel sends nothing.
    t.view.LocalSelection = {{"a.txt", "0"}};
    t.view.PrepisiAnswers = {piPrekini};
    t.seja.Pla2PrenesiClick();
    EXPECT_EQ(t.view.PrepisiShown, 1);
    EXPECT_FALSE(t.seja.PrenosTece());

    // A directory and a file: the multiple question, then the directory's (No), then DELE.
    t.view.Select({"dir", "f.txt"});
    t.view.MessageAnswers = {mrYes, mrNo};
    t.seja.Pla1IzbrisiClick();
    ASSERT_EQ(t.view.Messages.size(), 2);
    EXPECT_EQ(
        t.view.Messages[0],
        QString::fromUtf8("Kvado - Brisanje izbranih predmetov na FTP strežniku|Ali si prepričan, da želiš "
                          "izbrisati izbrane predmete? (2)"));
    EXPECT_TRUE(t.view.Messages[1].endsWith(QString::fromUtf8("mapo »dir«?")));
    EXPECT_FALSE(t.seja.VecBrisanje());
    ASSERT_TRUE(server.WaitDone()) << server.Failure().toStdString();
    ASSERT_TRUE(PumpUntil([&] { return t.view.Listings == 2; }));
    EXPECT_EQ(withoutPorts(server.Commands()).mid(2),
              (QByteArrayList{"PORT", "TYPE A", "LIST", "DELE f.txt", "PORT", "LIST"}));
}

TEST(SejaScripted, RefusedRetrOtherThan550EndsTheTransferAndTheNextFileFollows)
{
    QTemporaryDir local;
    ServerScript script;
    script.Login();
    listing(script, fileLine("a.txt", 3) + fileLine("b.txt", 3))
        .ExpectMatch("PORT .*", {"200 ok"})
        .Expect("RETR a.txt", {"451 Local error in processing."})
        .ServeRetr("b.txt", "bbb")
        .Pause(0.3);
    ScriptedServer server(script);
    TestSession t;
    ASSERT_TRUE(openListed(server, t, local.path()));
    t.view.Select({"a.txt", "b.txt"});
    t.seja.Pla1PrenesiClick(); // waits for the end of a.txt before b.txt
    ASSERT_TRUE(waitServer(server));
    ASSERT_TRUE(PumpUntil([&] { return !t.seja.PrenosTece() && t.view.LocalRefreshes > 0; }));
    EXPECT_FALSE(QFile::exists(local.filePath("a.txt")));
    EXPECT_EQ(contents(local.filePath("b.txt")), "bbb");
    EXPECT_TRUE(t.view.Statuses.contains(t.view.GetWord("@idNeuspeh") + "451 Local error in processing."));
}

TEST(SejaScripted, RefusedStorEndsTheUploadSoTheNextListingShows)
{
    QTemporaryDir local;
    ASSERT_TRUE(writeFile(local.filePath("x.txt"), "xyz"));
    ServerScript script;
    script.Login();
    listing(script, fileLine("a.txt", 3))
        .ExpectMatch("PORT .*", {"200 ok"})
        .Expect("STOR x.txt", {"553 Could not create file."});
    listing(script, fileLine("a.txt", 3), false).Pause(0.3);
    ScriptedServer server(script);
    TestSession t;
    ASSERT_TRUE(openListed(server, t, local.path()));
    t.view.LocalSelection = {{"x.txt", "3"}};
    t.seja.Pla2PrenesiClick();
    EXPECT_TRUE(PumpUntil([&] { return !t.seja.PrenosTece() && !t.seja.OddajaTece(); }, 3000));
    t.seja.Pla1OsveziFTPClick();
    ASSERT_TRUE(waitServer(server));
    EXPECT_TRUE(PumpUntil([&] { return t.view.Listings == 2; }, 3000));
    EXPECT_FALSE(t.seja.PrenosTece());
    EXPECT_FALSE(t.seja.OddajaTece());
    EXPECT_FALSE(reportsSuccess(t.view));
}

TEST(SejaScripted, RefusedRestOfAResumeEndsItAndTheNextFileFollows)
{
    QTemporaryDir local;
    ASSERT_TRUE(writeFile(local.filePath("a.txt"), "aa"));
    ServerScript script;
    script.Login();
    listing(script, fileLine("a.txt", 4) + fileLine("b.txt", 3))
        .ExpectMatch("PORT .*", {"200 ok"})
        .Expect("REST 2", {"502 REST not implemented"})
        .ServeRetr("b.txt", "bbb")
        .Pause(0.3);
    ScriptedServer server(script);
    TestSession t;
    ASSERT_TRUE(openListed(server, t, local.path()));
    t.view.Select({"a.txt", "b.txt"});
    t.view.PrepisiAnswers = {piNadaljuj};
    t.seja.Pla1PrenesiClick();
    ASSERT_TRUE(waitServer(server));
    ASSERT_TRUE(PumpUntil([&] { return !t.seja.PrenosTece() && t.view.LocalRefreshes > 0; }));
    EXPECT_EQ(contents(local.filePath("a.txt")), "aa");
    EXPECT_EQ(contents(local.filePath("b.txt")), "bbb");
}

TEST(SejaScripted, DownloadsCutShortNeverReportSuccess)
{
    QTemporaryDir local;
    ServerScript script;
    script.Login();
    listing(script, fileLine("a.txt", 8) + fileLine("b.txt", 4))
        .ExpectMatch("PORT .*", {"200 ok"})
        .Expect("RETR a.txt", {"150 Sending"})
        .DataOpen()
        .DataSend("aaaa")
        .Pause(0.2)
        .DataReset()
        .Send({"426 Connection closed; transfer aborted."})
        .ExpectMatch("PORT .*", {"200 ok"})
        .Expect("RETR b.txt", {"150 Sending"})
        .DataOpen()
        .DataSend("bb")
        .DataClose()
        .Send({"451 Local error in processing."})
        .Pause(0.3);
    ScriptedServer server(script);
    TestSession t;
    ASSERT_TRUE(openListed(server, t, local.path()));
    t.view.Select({"a.txt", "b.txt"});
    t.seja.Pla1PrenesiClick();
    ASSERT_TRUE(waitServer(server));
    ASSERT_TRUE(PumpUntil([&] { return !t.seja.PrenosTece() && t.view.Statuses.size() >= 2; }));
    PumpFor(100);
    EXPECT_FALSE(reportsSuccess(t.view)) << t.view.Statuses.join("|").toStdString();
    const QString failed = t.view.GetWord("@idNeuspeh");
    EXPECT_TRUE(t.view.Statuses.contains(failed + QDir(local.path()).absoluteFilePath("a.txt")));
    EXPECT_TRUE(t.view.Statuses.contains(failed + QDir(local.path()).absoluteFilePath("b.txt")));
}

TEST(SejaScripted, BackspaceDuringADownloadKeepsTheFileWhole)
{
    QTemporaryDir local;
    const QByteArray half(5000, 'h');
    const QByteArray rest(7000, 'r');
    ServerScript script;
    script.Login();
    listing(script, fileLine("f.bin", 12000))
        .ExpectMatch("PORT .*", {"200 ok"})
        .Expect("RETR f.bin", {"150 Sending"})
        .DataOpen()
        .DataSend(half)
        .Expect("CDUP") // answered in order, after the transfer
        .DataSend(rest)
        .DataClose()
        .Send({"226 Done", "250 CDUP ok"})
        .Expect("PWD", {"257 \"/\" is current"});
    listing(script, kListing, false).Pause(0.3);
    ScriptedServer server(script);
    TestSession t;
    ASSERT_TRUE(openListed(server, t, local.path()));
    t.view.Select({"f.bin"});
    t.seja.Pla1PrenesiClick();
    ASSERT_TRUE(PumpUntil([&] { return t.seja.PrejetoBajtov() >= half.size(); }));
    t.seja.FTPDat1Backspace();
    ASSERT_TRUE(waitServer(server));
    ASSERT_TRUE(PumpUntil([&] { return t.view.Listings == 2; })) << t.view.Calls.join("\n").toStdString();
    EXPECT_EQ(contents(local.filePath("f.bin")), half + rest);
    EXPECT_TRUE(t.view.Statuses.contains(t.view.GetWord("@idDatUsp")));
}

namespace {
// A listed 4-byte a.txt of which 2 bytes are local: the server resumes at 2 and sends "cc".
ServerScript resumeOfTwoBytes()
{
    ServerScript script;
    script.Login();
    listing(script, fileLine("a.txt", 4))
        .ExpectMatch("PORT .*", {"200 ok"})
        .Expect("REST 2", {"350 Restarting at 2"})
        .Expect("RETR a.txt", {"150 Sending"})
        .Pause(0.3)
        .DataOpen()
        .DataSend("cc")
        .DataClose()
        .Send({"226 Done"})
        .Pause(0.3);
    return script;
}

// Connects from local, downloads a.txt and answers the question with Resume.
bool startResume(ScriptedServer& server, TestSession& t, const QString& local)
{
    if (!openListed(server, t, local))
        return false;
    t.view.Select({"a.txt"});
    t.view.PrepisiAnswers = {piNadaljuj};
    t.seja.Pla1PrenesiClick();
    return true;
}
} // namespace

TEST(SejaScripted, ResumeExtendsTheFileItMeasuredWhenTheLocalDirectoryChanges)
{
    QTemporaryDir local;
    QTemporaryDir other;
    ASSERT_TRUE(writeFile(local.filePath("a.txt"), "aa"));
    ScriptedServer server(resumeOfTwoBytes());
    TestSession t;
    ASSERT_TRUE(startResume(server, t, local.path()));
    t.view.LocalDir = other.path(); // the user moves on before the data arrives
    ASSERT_TRUE(waitServer(server));
    ASSERT_TRUE(PumpUntil([&] { return !t.seja.PrenosTece() && t.view.LocalRefreshes > 0; }));
    EXPECT_EQ(contents(local.filePath("a.txt")), "aacc");
    EXPECT_TRUE(QDir(other.path()).isEmpty());
    EXPECT_TRUE(t.view.Statuses.contains(t.view.GetWord("@idNadalj")));
}

TEST(SejaScripted, StopReturnsAtOnceWhileTheServerKeepsSending)
{
    QTemporaryDir local;
    ServerScript script;
    script.Login();
    listing(script, fileLine("big.bin", 1000000000))
        .ExpectMatch("PORT .*", {"200 ok"})
        .Expect("RETR big.bin", {"150 Sending"})
        .DataOpen()
        .DataFlood(30)
        .Expect("ABOR", {"226 Aborted"})
        .Pause(0.3);
    ScriptedServer server(script);
    TestSession t;
    ASSERT_TRUE(openListed(server, t, local.path()));
    t.view.Select({"big.bin"});
    t.seja.Pla1PrenesiClick();
    ASSERT_TRUE(PumpUntil([&] { return t.seja.PrejetoBajtov() > 0; }));
    PumpFor(50); // let more arrive than one read takes
    const qint64 before = t.seja.PrejetoBajtov();
    t.seja.STOPFTPClick();
    // Nothing is read once Stop is pressed: no drain that lasts as long as the server sends.
    EXPECT_EQ(t.seja.PrejetoBajtov(), before);
    ASSERT_TRUE(waitServer(server));
    EXPECT_TRUE(server.Events().contains("data-flood-stopped data"));
    EXPECT_TRUE(PumpUntil([&] { return t.view.Statuses.contains(t.view.GetWord("@idPrek")); }));
    EXPECT_FALSE(t.seja.PrenosTece());
}

TEST(SejaScripted, ReconnectingStartsACleanSession)
{
    // The first server is mid-download and has cut an overlong reply line when the user reconnects.
    QTemporaryDir local;
    ServerScript first;
    first.Login();
    listing(first, fileLine("a.txt", 9))
        .ExpectMatch("PORT .*", {"200 ok"})
        .Expect("RETR a.txt", {"150 Sending"})
        .DataOpen()
        .DataSend("a")
        .SendRaw(QByteArray(512, 'x'))
        .Pause(5);
    ServerScript second;
    second.Login();
    listing(second, kListing, false); // the type is still the one last sent
    ScriptedServer one(first);
    ScriptedServer two(second);
    QString error;
    ASSERT_TRUE(two.Start(&error)) << error.toStdString();
    TestSession t;
    TSejaParametri p;
    p.readBufferSize = 512;
    ASSERT_TRUE(one.Start(&error)) << error.toStdString();
    t.view.LocalDir = local.path();
    t.Connect(one.Port(), p);
    ASSERT_TRUE(PumpUntil([&] { return t.view.Listings == 1; }, 10000));
    t.view.Select({"a.txt"});
    t.seja.Pla1PrenesiClick();
    ASSERT_TRUE(
        PumpUntil([&] { return t.seja.PrejetoBajtov() > 0 && t.view.Replies.contains(QString(512, 'x')); }));
    ASSERT_TRUE(t.seja.PrenosTece());
    t.Connect(two.Port(), p);
    EXPECT_FALSE(t.seja.PrenosTece());
    ASSERT_TRUE(waitServer(two));
    EXPECT_TRUE(PumpUntil([&] { return t.view.Listings == 2; }));
}

TEST(SejaScripted, OverlongLineEndingAtTheBufferEdgeKeepsTheNextReply)
{
    ServerScript script;
    script.Send({"220 Ready"})
        .Expect("USER anonymous", {})
        .SendRaw(QByteArray(511, 'x') + "\r\n331 Password\r\n") // CR is the buffer's last byte
        .ExpectMatch("PASS .*", {"230 In"});
    listing(script);
    Scripted s(script);
    TestSession t;
    TSejaParametri p;
    p.readBufferSize = 512;
    ASSERT_TRUE(s.Run(t, p));
    EXPECT_TRUE(PumpUntil([&] { return t.view.Listings == 1; }));
}

TEST(SejaScripted, RepliesReadAfterTheControlConnectionClosedAreOnlyShown)
{
    ServerScript script;
    script.Login();
    listing(script).Send({"421 Bye", "257 \"/x\" created"}).ExpectClose(5);
    Scripted s(script);
    TestSession t;
    ASSERT_TRUE(s.Run(t));
    PumpFor(200);
    EXPECT_FALSE(t.seja.Connected());
    EXPECT_TRUE(t.view.Replies.contains("257 \"/x\" created"));
    EXPECT_EQ(t.view.CommandLabels().filter("PORT").size(), 1);
    EXPECT_FALSE(t.view.Caption.contains("/x"));
    EXPECT_FALSE(t.seja.PrenosTece());
}

TEST(SejaScripted, OversizedListingIsCutAndItsDataConnectionClosed)
{
    QByteArray big = fileLine("first", 1);
    while (big.size() < 4000)
        big += fileLine("more", 1);
    ServerScript script;
    script.Login()
        .ExpectMatch("PORT .*", {"200 ok"})
        .Expect("TYPE A", {"200 Type A"})
        .Expect("LIST", {"150 Here"})
        .DataOpen()
        .DataSend(big)
        .DataExpectClose(3)
        .Send({"226 Done"});
    ScriptedServer server(script);
    QString error;
    ASSERT_TRUE(server.Start(&error)) << error.toStdString();
    TestSession t;
    t.seja.SetNajvecjiSeznam(100);
    t.Connect(server.Port());
    ASSERT_TRUE(waitServer(server));
    ASSERT_TRUE(PumpUntil([&] { return t.view.Listings == 1; }));
    EXPECT_TRUE(server.Events().contains("data-closed-by-peer data"));
    EXPECT_LE(t.view.Rows.size(), 3u); // only what fits in 100 bytes
    EXPECT_EQ(t.view.Rows.at(1).name, "first");
    EXPECT_TRUE(t.view.Statuses.contains(t.view.GetWord("@idSeznamPrevelik")));
}

TEST(SejaScripted, UploadWhoseLocalReadFailsIsResetAndNeverReportedDone)
{
    // Reading /proc/self/mem from offset 0 fails although the file opens.
    if (!QFileInfo(QStringLiteral("/proc/self/mem")).isFile())
        GTEST_SKIP() << "no /proc/self/mem";
    ServerScript script;
    script.Login();
    listing(script, fileLine("a.txt", 3))
        .ExpectMatch("PORT .*", {"200 ok"})
        .Expect("STOR mem", {"150 Go ahead"})
        .DataOpen()
        .DataReceive("mem")
        .Send({"226 Stored"});
    listing(script, fileLine("a.txt", 3), false).Pause(0.3);
    ScriptedServer server(script);
    TestSession t;
    ASSERT_TRUE(openListed(server, t, QStringLiteral("/proc/self")));
    t.view.LocalSelection = {{"mem", "0"}};
    t.seja.Pla2PrenesiClick();
    ASSERT_TRUE(waitServer(server));
    ASSERT_TRUE(PumpUntil([&] { return t.view.Listings == 2; }));
    EXPECT_FALSE(reportsSuccess(t.view)) << t.view.Statuses.join("|").toStdString();
    EXPECT_TRUE(t.view.Statuses.contains(t.view.GetWord("@idNeuspeh") + "/proc/self/mem"));
}

TEST(SejaScripted, A257AnsweredDuringADownloadWaitsForItsEnd)
{
    // The user makes a directory while a file comes in: its 257 lists only after the download.
    QTemporaryDir local;
    const QByteArray half(6000, 'h');
    const QByteArray rest(6000, 'r');
    ServerScript script;
    script.Login();
    listing(script, fileLine("f.bin", 12000))
        .ExpectMatch("PORT .*", {"200 ok"})
        .Expect("RETR f.bin", {"150 Sending"})
        .DataOpen()
        .DataSend(half)
        .Expect("MKD elsewhere", {"257 \"/elsewhere\" created"})
        .Pause(0.3)
        .DataSend(rest)
        .DataClose()
        .Send({"226 Done"});
    listing(script, kListing, false).Pause(0.3);
    ScriptedServer server(script);
    TestSession t;
    ASSERT_TRUE(openListed(server, t, local.path()));
    t.view.Select({"f.bin"});
    t.seja.Pla1PrenesiClick();
    ASSERT_TRUE(PumpUntil([&] { return t.seja.PrejetoBajtov() >= half.size(); }));
    t.view.InputAnswers = {QStringLiteral("elsewhere")};
    t.seja.Pla1UsMapoClick();
    ASSERT_TRUE(waitServer(server)) << t.view.Calls.join("\n").toStdString();
    ASSERT_TRUE(PumpUntil([&] { return t.view.Listings == 2; }));
    EXPECT_EQ(contents(local.filePath("f.bin")), half + rest);
    EXPECT_TRUE(t.view.Statuses.contains(t.view.GetWord("@idDatUsp")));
    EXPECT_EQ(t.view.Caption, "Kvado - [127.0.0.1/elsewhere]");
    EXPECT_FALSE(t.seja.PrenosTece());
}

TEST(SejaScripted, ResumeOfAFileChangedSinceTheQuestionFails)
{
    QTemporaryDir local;
    ASSERT_TRUE(writeFile(local.filePath("a.txt"), "aa"));
    ScriptedServer server(resumeOfTwoBytes());
    TestSession t;
    ASSERT_TRUE(startResume(server, t, local.path()));
    ASSERT_TRUE(writeFile(local.filePath("a.txt"), "another")); // no longer 2 bytes long
    ASSERT_TRUE(waitServer(server));
    ASSERT_TRUE(PumpUntil([&] { return !t.seja.PrenosTece(); }));
    PumpFor(200);
    EXPECT_EQ(contents(local.filePath("a.txt")), "another");
    EXPECT_FALSE(reportsSuccess(t.view));
    EXPECT_TRUE(t.view.Statuses.contains(t.view.GetWord("@idNeuspeh") +
                                         QDir(local.path()).absoluteFilePath("a.txt")));
}

TEST(SejaScripted, UploadThatTheServerCutsShortIsNeverReportedDone)
{
    QTemporaryDir local;
    ASSERT_TRUE(writeFile(local.filePath("big.bin"), QByteArray(32 * 1024 * 1024, 'b')));
    ServerScript script;
    script.Login();
    listing(script, fileLine("a.txt", 3))
        .ExpectMatch("PORT .*", {"200 ok"})
        .Expect("STOR big.bin", {"150 Go ahead"})
        .DataOpen()
        .DataClose() // before the client can have sent 32 MiB
        .Send({"226 Transfer complete."});
    listing(script, fileLine("a.txt", 3), false).Pause(0.3);
    ScriptedServer server(script);
    TestSession t;
    ASSERT_TRUE(openListed(server, t, local.path()));
    t.view.LocalSelection = {{"big.bin", "33,554,432"}};
    t.seja.Pla2PrenesiClick();
    ASSERT_TRUE(waitServer(server));
    ASSERT_TRUE(PumpUntil([&] { return t.view.Listings == 2; }));
    EXPECT_FALSE(reportsSuccess(t.view)) << t.view.Statuses.join("|").toStdString();
    EXPECT_TRUE(t.view.Statuses.contains(t.view.GetWord("@idNeuspeh") +
                                         QDir(local.path()).absoluteFilePath("big.bin")));
    EXPECT_FALSE(t.seja.OddajaTece());
}

TEST(SejaScripted, CorruptBufferSizesAreHeldToASaneRange)
{
    ServerScript script;
    script.Login();
    listing(script);
    Scripted s(script);
    TestSession t;
    TSejaParametri p;
    p.readBufferSize = std::numeric_limits<int>::max(); // as a damaged site record may hold
    p.writeBufferSize = std::numeric_limits<int>::max();
    ASSERT_TRUE(s.Run(t, p));
    EXPECT_TRUE(PumpUntil([&] { return t.view.Listings == 1; }));
    TLineSocketBase* line = t.seja.Odjemalec1.LineSocket();
    ASSERT_NE(line, nullptr);
    EXPECT_LE(line->ReadBufferSize(), 1024 * 1024);
    EXPECT_LE(line->WriteBufferSize(), 1024 * 1024);
}

TEST(SejaScripted, RepliesArrivingWhileADeleteIsConfirmedKeepTheirOwnMeaning)
{
    // The file's DELE is answered while the directory's question is up: that 250
    // belongs to the DELE, not to the RMD that the question is about.
    ServerScript script;
    script.Login();
    listing(script, "-rw-r--r-- 1 u g 5 Jan 1 12:00 f.txt\r\n"
                    "drwxr-xr-x 2 u g 5 Jan 1 12:00 d\r\n")
        .Expect("DELE f.txt", {"250 Deleted"})
        .Expect("RMD d", {"250 Removed"});
    listing(script, "", false).Pause(0.3);
    ScriptedServer server(script);
    TestSession t;
    QTemporaryDir local;
    ASSERT_TRUE(openListed(server, t, local.path()));
    t.view.Select({"f.txt", "d"});
    t.view.MessageAnswers = {mrYes, mrYes};
    t.view.WhileMessageBox = [&](const QString& text) {
        if (text.contains(QStringLiteral("mapo")))
            PumpUntil([&] { return t.view.Replies.contains("250 Deleted"); }, 3000);
    };
    t.seja.Pla1IzbrisiClick();
    ASSERT_TRUE(server.WaitDone()) << server.Failure().toStdString();
    EXPECT_TRUE(PumpUntil([&] { return t.view.Listings == 2; }));
}

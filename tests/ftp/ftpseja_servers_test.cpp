// The session engine against real servers on loopback: the same scenarios run
// against pyftpdlib and vsftpd, each in a writable folder of the server
// ("work" on pyftpdlib, vsftpd's "upload").
#include "serverenv.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace {

void connectLoginAndList(Kind kind)
{
    OPEN_ENV(env, kind);
    ASSERT_TRUE(env.Put("a.txt", "hello"));
    ASSERT_TRUE(env.server->MakeDir(env.folder + "/sub"));
    TestSession t;
    ASSERT_TRUE(env.Open(t));
    EXPECT_EQ(t.view.CommandLabels(), (QStringList{"USER", "PASS", "PORT", "CWD", "PORT", "TYPE", "LIST"}));
    EXPECT_EQ(t.view.Commands[3], "CWD " + env.folder);
    EXPECT_EQ(t.view.Caption, "Kvado - [127.0.0.1/" + env.folder + "]");
    EXPECT_EQ(t.seja.TrenutnaMapa(), "/" + env.folder);
    ASSERT_EQ(t.view.RowNames(), (QStringList{"..", "a.txt", "sub"}));
    EXPECT_EQ(t.view.Rows[1].kind, ekFile);
    EXPECT_EQ(t.view.Rows[1].size, 5);
    EXPECT_EQ(t.view.Rows[1].attributes.left(1), "-");
    EXPECT_EQ(t.view.Rows[2].kind, ekDirectory);

    // Into the directory and back up.
    t.view.Select({"sub"});
    t.seja.FTPDat1DblClick();
    ASSERT_TRUE(PumpUntil([&] { return t.view.Listings == 2; }, 10000));
    EXPECT_EQ(t.seja.TrenutnaMapa(), "/" + env.folder + "/sub");
    EXPECT_EQ(t.view.RowNames(), QStringList{".."});
    t.seja.FTPDat1Backspace();
    ASSERT_TRUE(PumpUntil([&] { return t.view.Listings == 3; }, 10000));
    EXPECT_EQ(t.seja.TrenutnaMapa(), "/" + env.folder);

    // A missing initial directory falls back to the root.
    TestSession missing;
    TSejaParametri p;
    p.remoteDirectory = "missing";
    ASSERT_TRUE(env.Open(missing, p));
    EXPECT_EQ(missing.view.Statuses.first(), missing.view.GetWord("@idNiMape"));
    EXPECT_EQ(missing.seja.TrenutnaMapa(), "/");
    EXPECT_TRUE(missing.view.RowNames().contains(env.folder));
}

void makeDirectoryDeleteAndRename(Kind kind)
{
    OPEN_ENV(env, kind);
    for (const char* name : {"d1", "d2", "d3", "keep.txt"})
        ASSERT_TRUE(env.Put(name, "x"));
    ASSERT_TRUE(env.Put("full/inside", "x"));
    TestSession t;
    ASSERT_TRUE(env.Open(t));

    // Make a directory: the 257 caption names it, and the listing follows.
    t.view.InputAnswers = {QString("nova")};
    t.seja.Pla1UsMapoClick();
    ASSERT_TRUE(PumpUntil([&] { return t.view.Listings == 2; }, 10000));
    EXPECT_TRUE(QFileInfo(env.Remote("nova")).isDir());
    EXPECT_EQ(t.view.Caption, "Kvado - [127.0.0.1/" + env.folder + "/nova]");
    EXPECT_EQ(t.view.Inputs.last(), "Kvado - Ustvari FTP mapo|Vnesi ime mape|Nova mapa");

    // Delete three files: one question, three DELE, one listing.
    ASSERT_TRUE(refresh(t));
    const int listings = t.view.Listings;
    t.view.Select({"d1", "d2", "d3"});
    t.view.MessageAnswers = {mrYes};
    t.seja.Pla1IzbrisiClick();
    ASSERT_TRUE(PumpUntil([&] { return t.view.Listings > listings; }, 10000));
    PumpFor(300);
    EXPECT_EQ(t.view.Listings, listings + 1);
    EXPECT_EQ(t.view.Messages.size(), 1);
    EXPECT_TRUE(t.view.Messages.last().endsWith("(3)"));
    EXPECT_EQ(t.view.Commands.filter(QRegularExpression("^DELE ")).size(), 3);
    EXPECT_FALSE(QFile::exists(env.Remote("d1")) || QFile::exists(env.Remote("d2")) ||
                 QFile::exists(env.Remote("d3")));
    EXPECT_FALSE(t.view.RowNames().contains("d2"));

    // A directory that is not empty is refused.
    t.view.Select({"full"});
    t.view.MessageAnswers = {mrYes};
    t.seja.Pla1IzbrisiClick();
    EXPECT_EQ(t.view.Messages.last(),
              QString::fromUtf8("Kvado - Brisanje map na FTP strežniku|Ali si prepričan, "
                                "da želiš izbrisati mapo »full«?"));
    ASSERT_TRUE(PumpUntil([&] { return t.view.Statuses.contains(t.view.GetWord("@idNeBrMap")); }, 10000));
    EXPECT_TRUE(QFileInfo(env.Remote("full")).isDir());

    // Rename in place: RNFR, RNTO, no listing.
    const int row = t.view.RowOf("keep.txt");
    t.view.Select({"keep.txt"});
    t.view.EditedCaptions[row] = "renamed.txt";
    const int before = t.view.Listings;
    t.seja.FTPDat1Edited();
    ASSERT_TRUE(PumpUntil([&] { return QFile::exists(env.Remote("renamed.txt")); }, 10000));
    PumpFor(200);
    EXPECT_FALSE(QFile::exists(env.Remote("keep.txt")));
    EXPECT_EQ(t.seja.Seznam().At(row).name, "renamed.txt");
    EXPECT_EQ(t.view.Listings, before);
    EXPECT_EQ(t.view.Commands.mid(t.view.Commands.size() - 2),
              (QStringList{"RNFR keep.txt", "RNTO renamed.txt"}));
}

void downloads(Kind kind)
{
    OPEN_ENV(env, kind);
    const QByteArray data = pattern(300000, 1);
    ASSERT_TRUE(env.Put("f.bin", data));
    ASSERT_TRUE(env.Put("g.bin", pattern(5000, 2)));
    TestSession t;
    ASSERT_TRUE(env.Open(t));
    t.seja.gsSlikaClick(); // automatic would keep the listing's type A

    // New.
    ASSERT_TRUE(download(t, {"f.bin"}));
    EXPECT_EQ(readAll(env.Local("f.bin")), data);
    EXPECT_EQ(t.view.Statuses.last(), t.view.GetWord("@idDatUsp"));
    EXPECT_EQ(t.view.MaxProgress, 100);
    EXPECT_TRUE(t.view.Calls.contains("Panel2: 300,000/300,000"));

    // Cancel: nothing sent, the local file unchanged.
    ASSERT_TRUE(writeAll(env.Local("f.bin"), "mine"));
    const int commands = int(t.view.Commands.size());
    t.view.PrepisiAnswers = {piPrekini};
    t.view.Select({"f.bin"});
    t.seja.Pla1PrenesiClick();
    PumpFor(200);
    EXPECT_EQ(t.view.Commands.size(), commands);
    EXPECT_EQ(readAll(env.Local("f.bin")), "mine");
    EXPECT_FALSE(t.seja.PrenosTece());

    // Overwrite.
    t.view.PrepisiAnswers = {piPrepisi};
    ASSERT_TRUE(download(t, {"f.bin"}));
    EXPECT_EQ(readAll(env.Local("f.bin")), data);

    // Rename.
    t.view.PrepisiAnswers = {piPreimenuj};
    t.view.InputAnswers = {QString("other.bin")};
    ASSERT_TRUE(download(t, {"f.bin"}));
    EXPECT_EQ(readAll(env.Local("other.bin")), data);
    EXPECT_EQ(t.view.Inputs.last(),
              t.view.GetWord("@idVnesiIme") + "|" + t.view.GetWord("@idPre") + "f.bin\" v|f.bin");

    // Resume from half of the file.
    ASSERT_TRUE(writeAll(env.Local("f.bin"), data.left(123457)));
    t.view.PrepisiAnswers = {piNadaljuj};
    ASSERT_TRUE(download(t, {"f.bin"}));
    ASSERT_TRUE(PumpUntil([&] { return t.view.Statuses.last() == t.view.GetWord("@idNadalj"); }));
    EXPECT_EQ(readAll(env.Local("f.bin")), data);
    EXPECT_TRUE(t.view.Commands.contains("REST 123457"));

    // Two files in one command, one of them a directory that is skipped.
    ASSERT_TRUE(env.server->MakeDir(env.folder + "/dir"));
    ASSERT_TRUE(refresh(t));
    QFile::remove(env.Local("f.bin"));
    ASSERT_TRUE(download(t, {"f.bin", "dir", "g.bin"}));
    ASSERT_TRUE(PumpUntil([&] { return readAll(env.Local("g.bin")).size() == 5000; }, 10000));
    EXPECT_EQ(readAll(env.Local("f.bin")), data);
    EXPECT_EQ(readAll(env.Local("g.bin")), pattern(5000, 2));
    EXPECT_FALSE(QFileInfo::exists(env.Local("dir")));
}

void uploads(Kind kind)
{
    OPEN_ENV(env, kind);
    const QByteArray data = pattern(200000, 3);
    ASSERT_TRUE(writeAll(env.Local("up.bin"), data));
    ASSERT_TRUE(writeAll(env.Local("empty.txt"), ""));
    TestSession t;
    ASSERT_TRUE(env.Open(t));
    t.seja.gsSlikaClick(); // automatic would keep the listing's type A

    ASSERT_TRUE(upload(t, "up.bin"));
    EXPECT_EQ(readAll(env.Remote("up.bin")), data);
    EXPECT_TRUE(t.view.Statuses.contains(t.view.GetWord("@idDatUsp")));
    EXPECT_TRUE(t.view.RowNames().contains("up.bin"));
    EXPECT_EQ(t.view.Sounds.back(), 1);

    ASSERT_TRUE(upload(t, "empty.txt"));
    EXPECT_TRUE(QFileInfo(env.Remote("empty.txt")).isFile());
    EXPECT_EQ(QFileInfo(env.Remote("empty.txt")).size(), 0);

    // Resumed: the server holds the first part.
    ASSERT_TRUE(env.Put("part.bin", data.left(70001)));
    ASSERT_TRUE(writeAll(env.Local("part.bin"), data));
    ASSERT_TRUE(refresh(t));
    t.view.PrepisiAnswers = {piNadaljuj};
    ASSERT_TRUE(upload(t, "part.bin"));
    EXPECT_TRUE(t.view.Commands.contains("REST 70001"));
    EXPECT_EQ(readAll(env.Remote("part.bin")), data);
    EXPECT_TRUE(t.view.Statuses.contains(t.view.GetWord("@idNadalj")));

    // A source that cannot be read ends that file with a message and frees the flags.
    t.view.LocalSelection = {{"missing.bin", "10"}};
    t.seja.Pla2PrenesiClick();
    EXPECT_FALSE(t.seja.PrenosTece());
    EXPECT_FALSE(t.seja.OddajaTece());
    EXPECT_TRUE(t.view.Statuses.last().contains("missing.bin"));
    EXPECT_TRUE(refresh(t));
}

void stopInTheMiddle(Kind kind, TSejaParametri p = {})
{
    OPEN_ENV(env, kind);
    const QByteArray big = pattern(50 * 1024 * 1024, 4);
    ASSERT_TRUE(env.Put("big.bin", big));
    TestSession t;
    ASSERT_TRUE(env.Open(t, p));
    t.seja.gsSlikaClick(); // automatic would keep the listing's type A
    t.view.Select({"big.bin"});
    t.seja.Pla1PrenesiClick();
    ASSERT_TRUE(PumpUntil([&] { return t.seja.PrejetoBajtov() > 1024 * 1024; }, 10000));
    t.seja.STOPFTPClick();
    EXPECT_FALSE(t.seja.PrenosTece());
    ASSERT_TRUE(PumpUntil([&] { return t.view.Statuses.contains(t.view.GetWord("@idPrek")); }, 10000));
    const QByteArray part = readAll(env.Local("big.bin"));
    EXPECT_GT(part.size(), 1024 * 1024);
    EXPECT_LT(part.size(), big.size());
    EXPECT_EQ(part, big.left(part.size()));
    // The session goes on: a listing works, and the download resumes to the whole file.
    ASSERT_TRUE(refresh(t));
    t.view.PrepisiAnswers = {piNadaljuj};
    ASSERT_TRUE(download(t, {"big.bin"}));
    EXPECT_TRUE(readAll(env.Local("big.bin")) == big);
}

void typeRulesAndDataPorts(Kind kind)
{
    OPEN_ENV(env, kind);
    const QByteArray text = "text\nwith bare line feeds\n";
    ASSERT_TRUE(env.Put("t.txt", text));
    TestSession t;
    ASSERT_TRUE(env.Open(t));
    const auto types = [&] { return t.view.Commands.filter(QRegularExpression("^TYPE")); };
    ASSERT_EQ(types(), QStringList{"TYPE A"});

    // Automatic: the listing left the connection in ASCII, so the file goes in
    // binary and keeps its bytes.
    ASSERT_TRUE(download(t, {"t.txt"}));
    EXPECT_EQ(types(), (QStringList{"TYPE A", "TYPE I"}));
    EXPECT_EQ(readAll(env.Local("t.txt")), text);
    // Image: nothing more while binary is in force, again after a listing.
    t.seja.gsSlikaClick();
    t.view.PrepisiAnswers = {piPrepisi, piPrepisi, piPrepisi};
    ASSERT_TRUE(download(t, {"t.txt"}));
    ASSERT_TRUE(download(t, {"t.txt"}));
    EXPECT_EQ(types(), (QStringList{"TYPE A", "TYPE I"}));
    ASSERT_TRUE(refresh(t));
    ASSERT_TRUE(download(t, {"t.txt"}));
    EXPECT_EQ(types(), (QStringList{"TYPE A", "TYPE I", "TYPE A", "TYPE I"}));
    // Binary is the image type too.
    t.seja.gsBinarnoClick();
    EXPECT_EQ(t.seja.IzbraniTip(), 'I');
    EXPECT_EQ(t.view.TransferType, int(tpBinarno));

    // The data port advances after every PORT and wraps after 1600.
    t.seja.SetVrataPodatkov(1599);
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(refresh(t));
    const QStringList all = t.view.Commands.filter(QRegularExpression("^PORT "));
    const QStringList ports = all.mid(all.size() - 3);
    EXPECT_EQ(ports, (QStringList{"PORT 127,0,0,1,6,63", "PORT 127,0,0,1,6,64", "PORT 127,0,0,1,5,0"}));
}
} // namespace

TEST(SejaPyftpd, ConnectLoginInitialDirectoryListingCwdCdupAndRootFallback)
{
    connectLoginAndList(Kind::Pyftpd);
}
TEST(SejaVsftpd, ConnectLoginInitialDirectoryListingCwdCdupAndRootFallback)
{
    connectLoginAndList(Kind::Vsftpd);
}
TEST(SejaPyftpd, MakeDirectoryDeleteAndRename)
{
    makeDirectoryDeleteAndRename(Kind::Pyftpd);
}
TEST(SejaVsftpd, MakeDirectoryDeleteAndRename)
{
    makeDirectoryDeleteAndRename(Kind::Vsftpd);
}
TEST(SejaPyftpd, DownloadNewCancelOverwriteRenameResumeAndSeveral)
{
    downloads(Kind::Pyftpd);
}
TEST(SejaVsftpd, DownloadNewCancelOverwriteRenameResumeAndSeveral)
{
    downloads(Kind::Vsftpd);
}
TEST(SejaPyftpd, UploadNewEmptyResumedAndUnreadable)
{
    uploads(Kind::Pyftpd);
}
TEST(SejaVsftpd, UploadNewEmptyResumedAndUnreadable)
{
    uploads(Kind::Vsftpd);
}
TEST(SejaPyftpd, StopInTheMiddleOfA50MiBDownloadThenResume)
{
    stopInTheMiddle(Kind::Pyftpd);
}
TEST(SejaVsftpd, StopInTheMiddleOfA50MiBDownloadThenResume)
{
    stopInTheMiddle(Kind::Vsftpd);
}
TEST(SejaPyftpd, StopInPassiveModeThenResume)
{
    TSejaParametri p;
    p.dataConnection = 1;
    stopInTheMiddle(Kind::Pyftpd, p);
}
TEST(SejaVsftpd, StopInPassiveModeThenResume)
{
    TSejaParametri p;
    p.dataConnection = 1;
    stopInTheMiddle(Kind::Vsftpd, p);
}
TEST(SejaPyftpd, TypeRulesAndDataPortSequence)
{
    typeRulesAndDataPorts(Kind::Pyftpd);
}
TEST(SejaVsftpd, TypeRulesAndDataPortSequence)
{
    typeRulesAndDataPorts(Kind::Vsftpd);
}

TEST(SejaPyftpd, NamedUserLogsInWithoutShowingNameOrPassword)
{
    PyftpdServer server;
    QString error;
    ASSERT_TRUE(server.Start(&error)) << error.toStdString();
    ASSERT_TRUE(server.PutFile("x.txt", "x"));
    TestSession t(1);
    TSejaParametri p;
    p.loginKind = 1;
    p.user = PyftpdServer::kUser;
    p.password = PyftpdServer::kPassword;
    t.Connect(server.Port(), p);
    ASSERT_TRUE(PumpUntil([&] { return t.view.Listings == 1; }, 10000));
    EXPECT_EQ(t.view.RowNames(), (QStringList{"..", "x.txt"}));
    EXPECT_EQ(t.view.Statuses.last(), "Retrieving directory...");
    const QString all = t.view.LogLines.join("\n");
    EXPECT_FALSE(all.contains(PyftpdServer::kPassword));
    EXPECT_TRUE(t.view.LogLines.contains("Kvado command: USER "));
    // Without an initial directory the caption waits for the first PWD.
    EXPECT_TRUE(t.view.Caption.isEmpty());

    t.seja.HitriGumb2Click();
    EXPECT_FALSE(t.seja.Connected());
    EXPECT_EQ(t.view.Caption, "Kvado");
    EXPECT_EQ(t.view.Calls.filter("ViewOnly").last(),
              "ViewOnly: ********* Disconnected from 127.0.0.1 *********");
}

// The session engine against real servers on loopback: every scenario runs on
// pyftpdlib, vsftpd, proftpd and pure-ftpd, each with active and with passive
// data connections, in the server's writable folder "upload".
#include "serverenv.h"

#include "support/ftpproftpdserver.h"
#include "support/ftppureftpdserver.h"
#include "support/ftprawclient.h"
#include "support/ftptestserver.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <tuple>

namespace {
constexpr quint8 kActive = 0;
constexpr quint8 kPassive = 1;

// One server of the suite's kind with its writable folder, a local folder for
// transfers, and sessions opened in the suite's data connection mode.
class SejaServers : public ::testing::TestWithParam<std::tuple<FtpServerKind, quint8>> {
protected:
    void SetUp() override
    {
        REQUIRE_FTP_SERVER(FtpTestServer::Unavailable(kind()));
        m_server = std::make_unique<FtpTestServer>(kind());
        QString error;
        ASSERT_TRUE(m_server->Start(&error)) << error.toStdString();
    }

    FtpServerKind kind() const { return std::get<0>(GetParam()); }
    bool passive() const { return std::get<1>(GetParam()) == kPassive; }
    FtpTestServer& server() { return *m_server; }
    QString folder() const { return m_server->Folder(); }
    QString local(const QString& name) const { return m_local.filePath(name); }
    QString localDir() const { return m_local.path(); }

    // The session parameters of this server and mode, the writable folder as the initial directory.
    TSejaParametri parameters() const
    {
        TSejaParametri p;
        p.remoteDirectory = folder();
        p.dataConnection = std::get<1>(GetParam());
        if (!m_server->User().isEmpty()) {
            p.loginKind = 1;
            p.user = m_server->User();
            p.password = m_server->Password();
        }
        return p;
    }
    // Connects and waits for the first listing.
    bool open(TestSession& t, const TSejaParametri& p)
    {
        t.view.LocalDir = localDir();
        t.Connect(m_server->Port(), p);
        return explain(PumpUntil([&] { return t.view.Listings >= 1; }, 10000), t);
    }
    bool open(TestSession& t) { return open(t, parameters()); }

private:
    std::unique_ptr<FtpTestServer> m_server;
    QTemporaryDir m_local;
};

TEST_P(SejaServers, ConnectLoginInitialDirectoryListingCwdCdupAndRootFallback)
{
    ASSERT_TRUE(server().Put("a.txt", "hello"));
    ASSERT_TRUE(server().Put("two  words.txt", "spaced"));
    ASSERT_TRUE(server().Server().MakeDir(folder() + "/sub"));
    TestSession t;
    ASSERT_TRUE(open(t));
    EXPECT_EQ(t.view.CommandLabels(),
              passive() ? (QStringList{"USER", "PASS", "CWD", "EPSV", "TYPE", "LIST"})
                        : (QStringList{"USER", "PASS", "PORT", "CWD", "PORT", "TYPE", "LIST"}));
    EXPECT_TRUE(t.view.Commands.contains("CWD " + folder()));
    EXPECT_EQ(t.view.Caption, "Kvado - [127.0.0.1/" + folder() + "]");
    EXPECT_EQ(t.seja.TrenutnaMapa(), "/" + folder());
    ASSERT_EQ(t.view.RowNames(), (QStringList{"..", "a.txt", "sub", "two  words.txt"}));
    EXPECT_EQ(t.view.Rows[1].kind, ekFile);
    EXPECT_EQ(t.view.Rows[1].size, 5);
    EXPECT_EQ(t.view.Rows[1].attributes.left(1), "-");
    EXPECT_EQ(t.view.Rows[2].kind, ekDirectory);
    // Each server's listing layout keeps a name with inner spaces whole, so it downloads.
    EXPECT_EQ(t.view.Rows[3].size, 6);
    ASSERT_TRUE(download(t, {"two  words.txt"}));
    EXPECT_EQ(readAll(local("two  words.txt")), "spaced");
    ASSERT_EQ(t.view.Listings, 1);

    // Into the directory and back up.
    t.view.Select({"sub"});
    t.seja.FTPDat1DblClick();
    ASSERT_TRUE(PumpUntil([&] { return t.view.Listings == 2; }, 10000));
    EXPECT_EQ(t.seja.TrenutnaMapa(), "/" + folder() + "/sub");
    EXPECT_EQ(t.view.RowNames(), QStringList{".."});
    t.seja.FTPDat1Backspace();
    ASSERT_TRUE(PumpUntil([&] { return t.view.Listings == 3; }, 10000));
    EXPECT_EQ(t.seja.TrenutnaMapa(), "/" + folder());

    // A missing initial directory falls back to the root.
    TestSession missing;
    TSejaParametri p = parameters();
    p.remoteDirectory = "missing";
    ASSERT_TRUE(open(missing, p));
    EXPECT_EQ(missing.view.Statuses.first(), missing.view.GetWord("@idNiMape"));
    EXPECT_EQ(missing.seja.TrenutnaMapa(), "/");
    EXPECT_TRUE(missing.view.RowNames().contains(folder()));
}

TEST_P(SejaServers, MakeDirectoryDeleteAndRename)
{
    for (const char* name : {"d1", "d2", "d3", "keep.txt"})
        ASSERT_TRUE(server().Put(name, "x"));
    ASSERT_TRUE(server().Put("full/inside", "x"));
    TestSession t;
    ASSERT_TRUE(open(t));

    // Make a directory: the 257 caption names it, and the listing follows.
    t.view.InputAnswers = {QString("nova")};
    t.seja.Pla1UsMapoClick();
    ASSERT_TRUE(PumpUntil([&] { return t.view.Listings == 2; }, 10000));
    EXPECT_TRUE(QFileInfo(server().Remote("nova")).isDir());
    // pure-ftpd names the new directory relative to the current one: it is shown whole all the same.
    EXPECT_EQ(t.view.Caption, "Kvado - [127.0.0.1/" + folder() + "/nova]");
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
    EXPECT_FALSE(QFile::exists(server().Remote("d1")) || QFile::exists(server().Remote("d2")) ||
                 QFile::exists(server().Remote("d3")));
    EXPECT_FALSE(t.view.RowNames().contains("d2"));

    // A directory that is not empty is refused.
    t.view.Select({"full"});
    t.view.MessageAnswers = {mrYes};
    t.seja.Pla1IzbrisiClick();
    EXPECT_EQ(t.view.Messages.last(),
              QString::fromUtf8("Kvado - Brisanje map na FTP strežniku|Ali si prepričan, "
                                "da želiš izbrisati mapo »full«?"));
    ASSERT_TRUE(PumpUntil([&] { return t.view.Statuses.contains(t.view.GetWord("@idNeBrMap")); }, 10000));
    EXPECT_TRUE(QFileInfo(server().Remote("full")).isDir());

    // Rename in place: RNFR, RNTO, no listing.
    const int row = t.view.RowOf("keep.txt");
    t.view.Select({"keep.txt"});
    t.view.EditedCaptions[row] = "renamed.txt";
    const int before = t.view.Listings;
    t.seja.FTPDat1Edited();
    ASSERT_TRUE(PumpUntil([&] { return QFile::exists(server().Remote("renamed.txt")); }, 10000));
    PumpFor(200);
    EXPECT_FALSE(QFile::exists(server().Remote("keep.txt")));
    EXPECT_EQ(t.seja.Seznam().At(row).name, "renamed.txt");
    EXPECT_EQ(t.view.Listings, before);
    EXPECT_EQ(t.view.Commands.mid(t.view.Commands.size() - 2),
              (QStringList{"RNFR keep.txt", "RNTO renamed.txt"}));
}

TEST_P(SejaServers, DownloadNewCancelOverwriteRenameResumeAndSeveral)
{
    const QByteArray data = pattern(300000, 1);
    ASSERT_TRUE(server().Put("f.bin", data));
    ASSERT_TRUE(server().Put("g.bin", pattern(5000, 2)));
    TestSession t;
    ASSERT_TRUE(open(t));
    t.seja.gsSlikaClick(); // automatic would keep the listing's type A

    // New.
    ASSERT_TRUE(download(t, {"f.bin"}));
    EXPECT_EQ(readAll(local("f.bin")), data);
    EXPECT_EQ(t.view.Statuses.last(), t.view.GetWord("@idDatUsp"));
    EXPECT_EQ(t.view.MaxProgress, 100);
    EXPECT_TRUE(t.view.Calls.contains("Panel2: 300,000/300,000"));

    // Cancel: nothing sent, the local file unchanged.
    ASSERT_TRUE(writeAll(local("f.bin"), "mine"));
    const int commands = int(t.view.Commands.size());
    t.view.PrepisiAnswers = {piPrekini};
    t.view.Select({"f.bin"});
    t.seja.Pla1PrenesiClick();
    PumpFor(200);
    EXPECT_EQ(t.view.Commands.size(), commands);
    EXPECT_EQ(readAll(local("f.bin")), "mine");
    EXPECT_FALSE(t.seja.PrenosTece());

    // Overwrite.
    t.view.PrepisiAnswers = {piPrepisi};
    ASSERT_TRUE(download(t, {"f.bin"}));
    EXPECT_EQ(readAll(local("f.bin")), data);

    // Rename.
    t.view.PrepisiAnswers = {piPreimenuj};
    t.view.InputAnswers = {QString("other.bin")};
    ASSERT_TRUE(download(t, {"f.bin"}));
    EXPECT_EQ(readAll(local("other.bin")), data);
    EXPECT_EQ(t.view.Inputs.last(),
              t.view.GetWord("@idVnesiIme") + "|" + t.view.GetWord("@idPre") + "f.bin\" v|f.bin");

    // Resume from half of the file.
    ASSERT_TRUE(writeAll(local("f.bin"), data.left(123457)));
    t.view.PrepisiAnswers = {piNadaljuj};
    ASSERT_TRUE(download(t, {"f.bin"}));
    ASSERT_TRUE(PumpUntil([&] { return t.view.Statuses.last() == t.view.GetWord("@idNadalj"); }));
    EXPECT_EQ(readAll(local("f.bin")), data);
    EXPECT_TRUE(t.view.Commands.contains("REST 123457"));

    // Resume of a file already whole: REST at its end; nothing more arrives
    // (pure-ftpd answers "226 Nothing left to download", the others send an
    // empty data connection), the file stays as it is and the resume is done.
    const int resumed = int(t.view.Statuses.count(t.view.GetWord("@idNadalj")));
    t.view.PrepisiAnswers = {piNadaljuj};
    ASSERT_TRUE(download(t, {"f.bin"}));
    ASSERT_TRUE(PumpUntil([&] { return t.view.Statuses.count(t.view.GetWord("@idNadalj")) > resumed; }));
    EXPECT_TRUE(t.view.Commands.contains("REST 300000"));
    EXPECT_EQ(readAll(local("f.bin")), data);

    // Two files in one command, one of them a directory that is skipped.
    ASSERT_TRUE(server().Server().MakeDir(folder() + "/dir"));
    ASSERT_TRUE(refresh(t));
    QFile::remove(local("f.bin"));
    ASSERT_TRUE(download(t, {"f.bin", "dir", "g.bin"}));
    ASSERT_TRUE(PumpUntil([&] { return readAll(local("g.bin")).size() == 5000; }, 10000));
    EXPECT_EQ(readAll(local("f.bin")), data);
    EXPECT_EQ(readAll(local("g.bin")), pattern(5000, 2));
    EXPECT_FALSE(QFileInfo::exists(local("dir")));
}

TEST_P(SejaServers, UploadNewEmptyResumedAndUnreadable)
{
    const QByteArray data = pattern(200000, 3);
    ASSERT_TRUE(writeAll(local("up.bin"), data));
    ASSERT_TRUE(writeAll(local("empty.txt"), ""));
    TestSession t;
    ASSERT_TRUE(open(t));
    t.seja.gsSlikaClick(); // automatic would keep the listing's type A

    ASSERT_TRUE(upload(t, "up.bin"));
    EXPECT_TRUE(PumpUntil([&] { return readAll(server().Remote("up.bin")) == data; }, 5000));
    EXPECT_TRUE(t.view.Statuses.contains(t.view.GetWord("@idDatUsp")));
    EXPECT_TRUE(t.view.RowNames().contains("up.bin"));
    EXPECT_EQ(t.view.Sounds.back(), 1);

    ASSERT_TRUE(upload(t, "empty.txt"));
    EXPECT_TRUE(QFileInfo(server().Remote("empty.txt")).isFile());
    EXPECT_EQ(QFileInfo(server().Remote("empty.txt")).size(), 0);

    // Resumed: the server holds the first part.
    ASSERT_TRUE(server().Put("part.bin", data.left(70001)));
    ASSERT_TRUE(writeAll(local("part.bin"), data));
    ASSERT_TRUE(refresh(t));
    t.view.PrepisiAnswers = {piNadaljuj};
    ASSERT_TRUE(upload(t, "part.bin"));
    EXPECT_TRUE(t.view.Commands.contains("REST 70001"));
    EXPECT_TRUE(PumpUntil([&] { return readAll(server().Remote("part.bin")) == data; }, 5000));
    EXPECT_TRUE(t.view.Statuses.contains(t.view.GetWord("@idNadalj")));

    // A source that cannot be read ends that file with a message and frees the flags.
    t.view.LocalSelection = {{"missing.bin", "10"}};
    t.seja.Pla2PrenesiClick();
    EXPECT_FALSE(t.seja.PrenosTece());
    EXPECT_FALSE(t.seja.OddajaTece());
    EXPECT_TRUE(t.view.Statuses.last().contains("missing.bin"));
    EXPECT_TRUE(refresh(t));

    // An upload the server refuses (its read-only root) ends as failed and the
    // session goes on: proftpd answers 550 (no write permission), vsftpd and
    // pure-ftpd 553 (shown as a failed transfer with the reply). pyftpdlib's
    // root is writable, so there is nothing to refuse.
    if (kind() == FtpServerKind::Pyftpd)
        return;
    t.view.InputAnswers = {QString("/")};
    const int listings = t.view.Listings;
    t.seja.Pla1SkociClick();
    ASSERT_TRUE(explain(PumpUntil([&] { return t.view.Listings > listings; }, 10000), t));
    ASSERT_EQ(t.seja.TrenutnaMapa(), "/");
    const int statuses = int(t.view.Statuses.size());
    t.view.LocalSelection = {{"up.bin", QString()}};
    t.seja.Pla2PrenesiClick();
    const QString refused = kind() == FtpServerKind::Proftpd ? t.view.GetWord("@idNiPravic")
                                                             : t.view.GetWord("@idNeuspeh") + "553 ";
    ASSERT_TRUE(explain(
        PumpUntil([&] { return t.view.Statuses.mid(statuses).join("\n").contains(refused); }, 10000), t));
    EXPECT_FALSE(t.seja.PrenosTece());
    EXPECT_FALSE(t.seja.OddajaTece());
    EXPECT_FALSE(QFileInfo::exists(server().Server().RootPath() + "/up.bin"));
    EXPECT_TRUE(refresh(t));
}

TEST_P(SejaServers, StopInTheMiddleOfA50MiBDownloadThenResume)
{
    const QByteArray big = pattern(50 * 1024 * 1024, 4);
    ASSERT_TRUE(server().Put("big.bin", big));
    TestSession t;
    ASSERT_TRUE(open(t));
    t.seja.gsSlikaClick(); // automatic would keep the listing's type A
    t.view.Select({"big.bin"});
    t.seja.Pla1PrenesiClick();
    ASSERT_TRUE(PumpUntil([&] { return t.seja.PrejetoBajtov() > 1024 * 1024; }, 10000));
    t.seja.STOPFTPClick();
    EXPECT_FALSE(t.seja.PrenosTece());
    ASSERT_TRUE(PumpUntil([&] { return t.view.Statuses.contains(t.view.GetWord("@idPrek")); }, 10000));
    const QByteArray part = readAll(local("big.bin"));
    EXPECT_GT(part.size(), 1024 * 1024);
    EXPECT_LT(part.size(), big.size());
    EXPECT_EQ(part, big.left(part.size()));
    // The session goes on: a listing works, and the download resumes to the whole file.
    ASSERT_TRUE(refresh(t));
    t.view.PrepisiAnswers = {piNadaljuj};
    ASSERT_TRUE(download(t, {"big.bin"}));
    EXPECT_TRUE(readAll(local("big.bin")) == big) << t.view.Calls.join("\n").toStdString();
}

TEST_P(SejaServers, TypeRulesAndDataPortSequence)
{
    const QByteArray text = "text\nwith bare line feeds\n";
    ASSERT_TRUE(server().Put("t.txt", text));
    TestSession t;
    ASSERT_TRUE(open(t));
    const auto types = [&] { return t.view.Commands.filter(QRegularExpression("^TYPE")); };
    ASSERT_EQ(types(), QStringList{"TYPE A"});

    // Automatic: the listing left the connection in ASCII, so the file goes in
    // binary and keeps its bytes.
    ASSERT_TRUE(download(t, {"t.txt"}));
    EXPECT_EQ(types(), (QStringList{"TYPE A", "TYPE I"}));
    EXPECT_EQ(readAll(local("t.txt")), text);
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

    // The data port advances after every PORT and wraps after 1600; a passive
    // session sends no PORT at all.
    t.seja.SetVrataPodatkov(1599);
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(refresh(t));
    const QStringList all = t.view.Commands.filter(QRegularExpression("^PORT "));
    if (passive()) {
        EXPECT_TRUE(all.isEmpty());
        EXPECT_EQ(t.view.Commands.filter(QRegularExpression("^EPSV$")).size(), 9);
        return;
    }
    const QStringList ports = all.mid(all.size() - 3);
    EXPECT_EQ(ports, (QStringList{"PORT 127,0,0,1,6,63", "PORT 127,0,0,1,6,64", "PORT 127,0,0,1,5,0"}));
}

std::string caseName(const ::testing::TestParamInfo<SejaServers::ParamType>& info)
{
    return FtpServerName(std::get<0>(info.param)).toStdString() +
           (std::get<1>(info.param) == kPassive ? "Passive" : "Active");
}

INSTANTIATE_TEST_SUITE_P(FourServers, SejaServers,
                         ::testing::Combine(::testing::Values(FtpServerKind::Pyftpd, FtpServerKind::Vsftpd,
                                                              FtpServerKind::Proftpd,
                                                              FtpServerKind::Pureftpd),
                                            ::testing::Values(kActive, kPassive)),
                         caseName);
} // namespace

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

TEST(SejaPureftpd, MakeDirectoryAnsweredWithARelativeNameShowsTheWholePath)
{
    REQUIRE_FTP_SERVER(PureftpdServer::Unavailable());
    FtpTestServer server(FtpServerKind::Pureftpd);
    QString error;
    ASSERT_TRUE(server.Start(&error)) << error.toStdString();
    TestSession t;
    TSejaParametri p;
    p.remoteDirectory = server.Folder();
    p.loginKind = 1;
    p.user = server.User();
    p.password = server.Password();
    t.Connect(server.Port(), p);
    ASSERT_TRUE(explain(PumpUntil([&] { return t.view.Listings == 1; }, 10000), t));
    t.view.InputAnswers = {QString("nova")};
    t.seja.Pla1UsMapoClick();
    ASSERT_TRUE(explain(PumpUntil([&] { return t.view.Listings == 2; }, 10000), t));
    ASSERT_EQ(t.view.Replies.filter(QRegularExpression("^257 \"nova\" ")).size(), 1);
    EXPECT_EQ(t.seja.TrenutnaMapa(), "/upload/nova");
    EXPECT_EQ(t.view.Caption, "Kvado - [127.0.0.1/upload/nova]");
}

// proftpd's own default refuses a resumed upload only at the STOR (REST gets
// 350, STOR 451): the upload ends as failed with the server's reply, the
// server's part is left as it was, and the session goes on.
TEST(SejaProftpd, ResumedUploadRefusedAtTheStorEndsAsFailed)
{
    REQUIRE_FTP_SERVER(ProftpdServer::Unavailable());
    ProftpdServer server(FtpServerMode::Writable);
    server.RefuseUploadRestart();
    QString error;
    ASSERT_TRUE(server.Start(&error)) << error.toStdString();
    const QByteArray data = pattern(200000, 5);
    ASSERT_TRUE(server.PutFile("upload/part.bin", data.left(70001)));
    QTemporaryDir local;
    ASSERT_TRUE(writeAll(local.filePath("part.bin"), data));
    TestSession t;
    t.view.LocalDir = local.path();
    TSejaParametri p;
    p.remoteDirectory = FtpSystemServer::kUploadFolder;
    t.Connect(server.Port(), p);
    ASSERT_TRUE(explain(PumpUntil([&] { return t.view.Listings == 1; }, 10000), t));
    t.seja.gsSlikaClick();
    t.view.PrepisiAnswers = {piNadaljuj};
    t.view.LocalSelection = {{"part.bin", QString()}};
    t.seja.Pla2PrenesiClick();
    const QString failed = t.view.GetWord("@idNeuspeh");
    ASSERT_TRUE(explain(PumpUntil([&] { return !t.view.Statuses.filter(failed).isEmpty(); }, 10000), t));
    EXPECT_TRUE(t.view.Statuses.filter(failed).last().contains("451 part.bin"));
    EXPECT_FALSE(t.seja.PrenosTece());
    EXPECT_FALSE(t.seja.OddajaTece());
    EXPECT_EQ(readAll(server.UploadPath() + "/part.bin"), data.left(70001));
    EXPECT_TRUE(refresh(t));
    EXPECT_TRUE(t.view.RowNames().contains("part.bin"));
}

namespace {
std::unique_ptr<FtpSystemServer> readOnlyServer(FtpServerKind kind)
{
    if (kind == FtpServerKind::Proftpd)
        return std::make_unique<ProftpdServer>(FtpServerMode::ReadOnly);
    return std::make_unique<PureftpdServer>(FtpServerMode::ReadOnly);
}

class SystemServerFixture : public ::testing::TestWithParam<FtpServerKind> {};

// The read-only fixture serves its root and refuses writes; destroying it
// ends the server and every session it runs, even one still logged in.
TEST_P(SystemServerFixture, ReadOnlyServesItsRootRefusesWritesAndLeavesNoSessionBehind)
{
    REQUIRE_FTP_SERVER(FtpTestServer::Unavailable(GetParam()));
    const bool pure = GetParam() == FtpServerKind::Pureftpd;
    FtpRawClient client;
    quint16 port = 0;
    {
        const std::unique_ptr<FtpSystemServer> server = readOnlyServer(GetParam());
        QString error;
        ASSERT_TRUE(server->Start(&error)) << error.toStdString();
        port = server->Port();
        ASSERT_TRUE(server->PutFile("a.txt", "alpha"));
        ASSERT_TRUE(client.Connect(port));
        ASSERT_TRUE(pure ? client.Login(PureftpdServer::kUser, PureftpdServer::kPassword) : client.Login());
        const QByteArrayList pwd = client.Command("PWD");
        EXPECT_TRUE(FtpRawClient::Code(pwd) == 257 && pwd.last().startsWith("257 \"/\""))
            << pwd.join('|').toStdString();
        EXPECT_TRUE(client.List().contains("a.txt"));
        EXPECT_EQ(FtpRawClient::Code(client.Command("MKD nope")), 550);
        EXPECT_FALSE(QFileInfo::exists(server->RootPath() + "/nope"));
    }
    EXPECT_TRUE(client.WaitClosed());
    FtpRawClient late;
    EXPECT_FALSE(late.Connect(port));
}

INSTANTIATE_TEST_SUITE_P(Servers, SystemServerFixture,
                         ::testing::Values(FtpServerKind::Proftpd, FtpServerKind::Pureftpd),
                         [](const ::testing::TestParamInfo<FtpServerKind>& info) {
                             return FtpServerName(info.param).toStdString();
                         });
} // namespace

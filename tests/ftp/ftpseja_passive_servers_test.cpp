// Passive data connections against real servers on loopback: listing,
// download, resume and upload byte for byte on pyftpdlib and vsftpd, and an
// active session that switches to passive when vsftpd refuses PORT.
#include "serverenv.h"

#include <QRegularExpression>

namespace {
TSejaParametri passive()
{
    TSejaParametri p;
    p.dataConnection = 1;
    return p;
}

void passiveTransfers(Kind kind)
{
    OPEN_ENV(env, kind);
    const QByteArray data = pattern(300000, 7);
    ASSERT_TRUE(env.Put("f.bin", data));
    TestSession t;
    ASSERT_TRUE(env.Open(t, passive()));
    EXPECT_EQ(t.view.CommandLabels(), (QStringList{"USER", "PASS", "CWD", "EPSV", "TYPE", "LIST"}));
    EXPECT_EQ(t.view.RowNames(), (QStringList{"..", "f.bin"}));

    ASSERT_TRUE(download(t, {"f.bin"}));
    EXPECT_EQ(readAll(env.Local("f.bin")), data);

    // A resume from a part already here.
    ASSERT_TRUE(writeAll(env.Local("f.bin"), data.left(123457)));
    t.view.PrepisiAnswers = {piNadaljuj};
    ASSERT_TRUE(download(t, {"f.bin"}));
    EXPECT_EQ(readAll(env.Local("f.bin")), data);
    EXPECT_TRUE(t.view.Commands.contains("REST 123457"));

    const QByteArray up = pattern(200000, 9);
    ASSERT_TRUE(writeAll(env.Local("up.bin"), up));
    ASSERT_TRUE(upload(t, "up.bin"));
    EXPECT_TRUE(PumpUntil([&] { return readAll(env.Remote("up.bin")) == up; }, 5000));
    EXPECT_TRUE(t.view.RowNames().contains("up.bin"));

    EXPECT_TRUE(t.view.Commands.filter(QRegularExpression("^PORT")).isEmpty());
    EXPECT_EQ(t.view.Statuses.count(t.view.GetWord("@idDatUsp")), 2);
    EXPECT_EQ(t.view.Statuses.count(t.view.GetWord("@idNadalj")), 1);
}
} // namespace

TEST(SejaPassivePyftpd, ListingDownloadResumeAndUploadByteForByte)
{
    passiveTransfers(Kind::Pyftpd);
}
TEST(SejaPassiveVsftpd, ListingDownloadResumeAndUploadByteForByte)
{
    passiveTransfers(Kind::Vsftpd);
}

TEST(SejaPassiveVsftpd, ActiveSessionSwitchesToPassiveWhenPortIsRefused)
{
    if (const QString why = VsftpdServer::Unavailable(); !why.isEmpty())
        GTEST_SKIP() << why.toStdString();
    VsftpdServer server(VsftpdMode::Writable);
    server.RefusePort();
    QString error;
    ASSERT_TRUE(server.Start(&error)) << error.toStdString();
    const QByteArray data = pattern(70000, 3);
    ASSERT_TRUE(server.PutFile(QStringLiteral("upload/g.bin"), data));
    QTemporaryDir local;
    TestSession t;
    t.view.LocalDir = local.path();
    TSejaParametri p;
    p.remoteDirectory = VsftpdServer::kUploadFolder;
    t.Connect(server.Port(), p);
    ASSERT_TRUE(explain(PumpUntil([&] { return t.view.Listings >= 1; }, 10000), t));
    // vsftpd refuses PORT with 550: no refused directory, the initial one is listed.
    EXPECT_EQ(t.seja.TrenutnaMapa(), "/upload");
    EXPECT_FALSE(t.view.Statuses.contains(t.view.GetWord("@idNiMape")));
    EXPECT_EQ(t.view.RowNames(), (QStringList{"..", "g.bin"}));
    EXPECT_TRUE(t.seja.Pasivno());
    ASSERT_TRUE(download(t, {"g.bin"}));
    EXPECT_EQ(readAll(local.filePath("g.bin")), data);
    EXPECT_EQ(t.view.Statuses.count(t.view.GetWord("@idPasivno")), 1);
    EXPECT_EQ(t.view.CommandLabels().mid(0, 8),
              (QStringList{"USER", "PASS", "PORT", "CWD", "PORT", "TYPE", "LIST", "EPSV"}));
}

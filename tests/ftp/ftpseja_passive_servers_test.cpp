// An active session against real servers that refuse PORT (vsftpd with
// port_enable=NO, proftpd with PORT and EPRT denied) switches to passive data
// connections once and goes on; passive transfers themselves run in the
// server suite (ftpseja_servers_test) on every server.
#include "serverenv.h"

#include "support/ftpproftpdserver.h"
#include "support/ftptestserver.h"

#include <QRegularExpression>

#include <memory>

namespace {
class SejaPortRefused : public ::testing::TestWithParam<FtpServerKind> {
protected:
    void SetUp() override
    {
        const bool vsftpd = GetParam() == FtpServerKind::Vsftpd;
        const QString why = vsftpd ? VsftpdServer::Unavailable() : ProftpdServer::Unavailable();
        REQUIRE_FTP_SERVER(why);
        if (vsftpd) {
            auto server = std::make_unique<VsftpdServer>(FtpServerMode::Writable);
            server->RefusePort();
            m_server = std::move(server);
        } else {
            auto server = std::make_unique<ProftpdServer>(FtpServerMode::Writable);
            server->RefusePort();
            m_server = std::move(server);
        }
        QString error;
        ASSERT_TRUE(m_server->Start(&error)) << error.toStdString();
    }

    std::unique_ptr<FtpSystemServer> m_server;
};

TEST_P(SejaPortRefused, ActiveSessionSwitchesToPassiveOnceAndGoesOn)
{
    const QByteArray data = pattern(70000, 3);
    ASSERT_TRUE(m_server->PutFile(QStringLiteral("upload/g.bin"), data));
    QTemporaryDir local;
    TestSession t;
    t.view.LocalDir = local.path();
    TSejaParametri p;
    p.remoteDirectory = FtpSystemServer::kUploadFolder;
    t.Connect(m_server->Port(), p);
    ASSERT_TRUE(explain(PumpUntil([&] { return t.view.Listings >= 1; }, 10000), t));
    // The refused PORT is no refused directory: the initial one is listed.
    EXPECT_EQ(t.seja.TrenutnaMapa(), "/upload");
    EXPECT_FALSE(t.view.Statuses.contains(t.view.GetWord("@idNiMape")));
    EXPECT_EQ(t.view.RowNames(), (QStringList{"..", "g.bin"}));
    EXPECT_TRUE(t.seja.Pasivno());
    ASSERT_TRUE(download(t, {"g.bin"}));
    EXPECT_EQ(readAll(local.filePath("g.bin")), data);
    EXPECT_EQ(t.view.Statuses.count(t.view.GetWord("@idPasivno")), 1);
    EXPECT_EQ(t.view.CommandLabels().mid(0, 8),
              (QStringList{"USER", "PASS", "PORT", "CWD", "PORT", "TYPE", "LIST", "EPSV"}));
    // Once passive, no PORT again.
    EXPECT_EQ(t.view.Commands.filter(QRegularExpression("^PORT ")).size(), 2);
}

INSTANTIATE_TEST_SUITE_P(Servers, SejaPortRefused,
                         ::testing::Values(FtpServerKind::Vsftpd, FtpServerKind::Proftpd),
                         [](const ::testing::TestParamInfo<FtpServerKind>& info) {
                             return FtpServerName(info.param).toStdString();
                         });
} // namespace

// The FTP server fixtures of tests/support, proven with a plain blocking client:
// each server starts on loopback, answers a login, serves its root, takes
// writes where it should, and goes away when the fixture is destroyed.
#include "support/ftppyftpdserver.h"
#include "support/ftprawclient.h"
#include "support/ftpvsftpdserver.h"
#include "support/scriptedserver.h"

#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace {
using Raw = FtpRawClient;

std::string text(const QString& s)
{
    return s.toStdString();
}

bool refusesConnections(quint16 port)
{
    FtpRawClient client;
    return !client.Connect(port);
}
} // namespace

TEST(PyftpdFixture, AnonymousAndNamedLoginListingAndWritesThenStopsOnDestruction)
{
    quint16 port = 0;
    {
        PyftpdServer server;
        QString error;
        ASSERT_TRUE(server.Start(&error)) << text(error);
        port = server.Port();
        ASSERT_TRUE(server.PutFile("pub/readme.txt", "hello"));

        FtpRawClient anonymous;
        ASSERT_TRUE(anonymous.Connect(port));
        EXPECT_EQ(Raw::Code(anonymous.ReadReply()), 220);
        EXPECT_EQ(Raw::Code(anonymous.Command("USER anonymous")), 331);
        EXPECT_EQ(Raw::Code(anonymous.Command("PASS guest@kvado")), 230);
        const QByteArrayList pwd = anonymous.Command("PWD");
        ASSERT_EQ(Raw::Code(pwd), 257);
        EXPECT_TRUE(pwd.last().startsWith("257 \"/\"")) << pwd.last().toStdString();
        EXPECT_EQ(Raw::Code(anonymous.Command("CWD pub")), 250);
        EXPECT_TRUE(anonymous.List().contains("readme.txt"));
        EXPECT_EQ(Raw::Code(anonymous.Command("MKD made")), 257);
        EXPECT_TRUE(QFileInfo(server.RootPath() + "/pub/made").isDir());

        FtpRawClient named;
        ASSERT_TRUE(named.Connect(port));
        EXPECT_TRUE(named.Login(PyftpdServer::kUser, PyftpdServer::kPassword));
        FtpRawClient wrong;
        ASSERT_TRUE(wrong.Connect(port));
        EXPECT_EQ(Raw::Code(wrong.ReadReply()), 220);
        EXPECT_EQ(Raw::Code(wrong.Command("USER kvado")), 331);
        EXPECT_EQ(Raw::Code(wrong.Command("PASS wrong")), 530);
    }
    EXPECT_TRUE(refusesConnections(port));
}

TEST(PyftpdFixture, ReadOnlyAnonymousIsRefusedWrites)
{
    PyftpdServer server(false);
    QString error;
    ASSERT_TRUE(server.Start(&error)) << text(error);
    FtpRawClient client;
    ASSERT_TRUE(client.Connect(server.Port()));
    ASSERT_TRUE(client.Login());
    EXPECT_EQ(Raw::Code(client.Command("MKD nope")), 550);
}

TEST(VsftpdFixture, ReadOnlyServesItsRootRefusesWritesAndStopsOnDestruction)
{
    if (const QString why = VsftpdServer::Unavailable(); !why.isEmpty())
        GTEST_SKIP() << text(why);
    quint16 port = 0;
    {
        VsftpdServer server(VsftpdMode::ReadOnly);
        QString error;
        ASSERT_TRUE(server.Start(&error)) << text(error);
        port = server.Port();
        ASSERT_TRUE(server.PutFile("a.txt", "alpha"));

        FtpRawClient client;
        ASSERT_TRUE(client.Connect(port));
        ASSERT_TRUE(client.Login());
        const QByteArrayList pwd = client.Command("PWD");
        EXPECT_TRUE(Raw::Code(pwd) == 257 && pwd.last().startsWith("257 \"/\""))
            << pwd.join('|').toStdString();
        EXPECT_TRUE(client.List().contains("a.txt"));
        EXPECT_EQ(Raw::Code(client.Command("MKD nope")), 550);
    }
    EXPECT_TRUE(refusesConnections(port));
}

TEST(VsftpdFixture, WritableUploadFolderTakesAnActiveModeUploadAndChanges)
{
    if (const QString why = VsftpdServer::Unavailable(); !why.isEmpty())
        GTEST_SKIP() << text(why);
    VsftpdServer server(VsftpdMode::Writable);
    QString error;
    ASSERT_TRUE(server.Start(&error)) << text(error);
    ASSERT_TRUE(server.PutFile("upload/old.txt", "old"));

    FtpRawClient client;
    ASSERT_TRUE(client.Connect(server.Port()));
    ASSERT_TRUE(client.Login());
    EXPECT_EQ(Raw::Code(client.Command("CWD upload")), 250);

    FtpDataListener data;
    ASSERT_EQ(Raw::Code(client.Command("PORT " + data.PortArgument())), 200);
    EXPECT_EQ(Raw::Code(client.Command("STOR new.bin")), 150);
    ASSERT_TRUE(data.Accept());
    EXPECT_EQ(data.PeerAddress(), "127.0.0.1");
    ASSERT_TRUE(data.SendAndClose(QByteArray("\0\r\n\xff", 4)));
    EXPECT_EQ(Raw::Code(client.ReadReply()), 226);
    QFile stored(server.UploadPath() + "/new.bin");
    ASSERT_TRUE(stored.open(QIODevice::ReadOnly));
    EXPECT_EQ(stored.readAll(), QByteArray("\0\r\n\xff", 4));

    EXPECT_EQ(Raw::Code(client.Command("MKD dir")), 257);
    EXPECT_EQ(Raw::Code(client.Command("RNFR old.txt")), 350);
    EXPECT_EQ(Raw::Code(client.Command("RNTO renamed.txt")), 250);
    EXPECT_EQ(Raw::Code(client.Command("DELE renamed.txt")), 250);
    EXPECT_EQ(Raw::Code(client.Command("RMD dir")), 250);
    EXPECT_FALSE(QFileInfo::exists(server.UploadPath() + "/renamed.txt"));
}

TEST(ScriptedServerFixture, PlaysRepliesAndRecordsTheExactCommands)
{
    ServerScript script;
    script.Send({"220-Welcome", "    four spaces", "220 Ready"})
        .Expect("USER anonymous", {"331 Password"})
        .ExpectMatch("PASS .*", {"530 Login incorrect"})
        .Expect("PWD", {"257 \"/odd path"})
        .Send({"226"})
        .Expect("QUIT", {"421 Bye"})
        .Close();
    ScriptedServer server(script);
    QString error;
    ASSERT_TRUE(server.Start(&error)) << text(error);

    FtpRawClient client;
    ASSERT_TRUE(client.Connect(server.Port()));
    EXPECT_EQ(client.ReadReply(), (QByteArrayList{"220-Welcome", "    four spaces", "220 Ready"}));
    EXPECT_EQ(Raw::Code(client.Command("USER anonymous")), 331);
    EXPECT_EQ(Raw::Code(client.Command("PASS x@y")), 530);
    EXPECT_EQ(client.Command("PWD"), QByteArrayList{"257 \"/odd path"});
    EXPECT_EQ(client.ReadReply(), QByteArrayList{"226"});
    EXPECT_EQ(Raw::Code(client.Command("QUIT")), 421);
    EXPECT_TRUE(client.WaitClosed());

    ASSERT_TRUE(server.WaitDone()) << text(server.Failure());
    EXPECT_EQ(server.Commands(), (QByteArrayList{"USER anonymous", "PASS x@y", "PWD", "QUIT"}));
    EXPECT_EQ(server.RawCommands(), "USER anonymous\r\nPASS x@y\r\nPWD\r\nQUIT\r\n");
}

TEST(ScriptedServerFixture, ReportsAnUnexpectedCommandAndKeepsBareLineFeedsVisible)
{
    ServerScript script;
    script.Send({"220 Ready"}).Expect("USER anonymous", {"331 Password"});
    ScriptedServer server(script);
    QString error;
    ASSERT_TRUE(server.Start(&error)) << text(error);
    FtpRawClient client;
    ASSERT_TRUE(client.Connect(server.Port()));
    EXPECT_EQ(Raw::Code(client.ReadReply()), 220);
    client.SendRaw("USER other\n");
    EXPECT_FALSE(server.WaitDone());
    EXPECT_TRUE(server.Failure().contains("USER other")) << text(server.Failure());
    EXPECT_EQ(server.RawCommands(), "USER other\n");
    EXPECT_TRUE(server.Commands().isEmpty()); // not ended by CR LF
}

TEST(ScriptedServerFixture, ActiveDataConnectionsFromTheServerAndFromAThirdHost)
{
    const QByteArray hostile("-rw-r--r-- 1 u g 5 Jan 1 12:00 ../x\r\n-rw-r--r-- 1 u g 5 Jan 1 12:00 a/b\r\n");
    ServerScript script;
    script.Login()
        .ExpectMatch("PORT 127,0,0,1,\\d+,\\d+", {"200 PORT ok"})
        .Expect("LIST", {"150 Opening"})
        .DataOpen("127.0.0.2", "third")
        .DataExpectClose(5, "third")
        .DataOpen()
        .DataSend(hostile)
        .DataClose()
        .Send({"226 Done"})
        .ExpectMatch("PORT .*", {"200 PORT ok"})
        .Expect("STOR up.bin", {"150 Go"})
        .DataOpen()
        .DataReceive("up.bin")
        .Send({"226 Stored"});
    ScriptedServer server(script);
    QString error;
    ASSERT_TRUE(server.Start(&error)) << text(error);

    FtpRawClient client;
    ASSERT_TRUE(client.Connect(server.Port()));
    ASSERT_TRUE(client.Login());

    FtpDataListener listing;
    EXPECT_EQ(Raw::Code(client.Command("PORT " + listing.PortArgument())), 200);
    EXPECT_EQ(Raw::Code(client.Command("LIST")), 150);
    ASSERT_TRUE(listing.Accept());
    EXPECT_EQ(listing.PeerAddress(), "127.0.0.2");
    listing.SendAndClose({}); // the test's own refusal of the third host
    ASSERT_TRUE(listing.Accept());
    EXPECT_EQ(listing.PeerAddress(), "127.0.0.1");
    EXPECT_EQ(listing.ReceiveAll(), hostile);
    EXPECT_EQ(Raw::Code(client.ReadReply()), 226);

    FtpDataListener upload;
    EXPECT_EQ(Raw::Code(client.Command("PORT " + upload.PortArgument())), 200);
    EXPECT_EQ(Raw::Code(client.Command("STOR up.bin")), 150);
    ASSERT_TRUE(upload.Accept());
    ASSERT_TRUE(upload.SendAndClose("payload"));
    EXPECT_EQ(Raw::Code(client.ReadReply()), 226);

    ASSERT_TRUE(server.WaitDone()) << text(server.Failure());
    EXPECT_TRUE(server.Events().contains("data-closed-by-peer third")) << text(server.Events().join(", "));
    EXPECT_EQ(server.Stored("up.bin"), "payload");
}

TEST(ScriptedServerFixture, ConnectsToTheLatestPortAfterA450)
{
    ServerScript script;
    script.Login()
        .ExpectMatch("PORT .*", {"200 PORT ok"})
        .Expect("LIST", {"450 Data port busy"})
        .ExpectMatch("PORT .*", {"200 PORT ok"})
        .Expect("LIST", {"150 Opening"})
        .DataOpen()
        .DataSend("listing")
        .DataClose()
        .Send({"226 Done"});
    ScriptedServer server(script);
    QString error;
    ASSERT_TRUE(server.Start(&error)) << text(error);
    FtpRawClient client;
    ASSERT_TRUE(client.Connect(server.Port()));
    ASSERT_TRUE(client.Login());

    FtpDataListener first;
    EXPECT_EQ(Raw::Code(client.Command("PORT " + first.PortArgument())), 200);
    EXPECT_EQ(Raw::Code(client.Command("LIST")), 450);
    FtpDataListener second;
    EXPECT_EQ(Raw::Code(client.Command("PORT " + second.PortArgument())), 200);
    EXPECT_EQ(Raw::Code(client.Command("LIST")), 150);
    ASSERT_TRUE(second.Accept());
    EXPECT_EQ(second.ReceiveAll(), "listing");
    EXPECT_EQ(Raw::Code(client.ReadReply()), 226);
    EXPECT_FALSE(first.Accept(100));
    ASSERT_TRUE(server.WaitDone()) << text(server.Failure());
}

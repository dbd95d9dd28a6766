// The FTP engine serving the transfer queue, against the real servers on
// loopback (pyftpdlib, vsftpd, proftpd, pure-ftpd; active and passive;
// vsftpd over TLS): a background connection of its own, and the browsing
// session while the window uses it. Every event must come from the event
// loop, never from inside the call that started the operation.
#include "queueserver.h"

#include "support/scriptedserver.h"
#include "transfer/ftptransfersession.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <map>
#include <memory>

namespace {
using Case = ServerCase;

std::string caseName(const ::testing::TestParamInfo<Case>& info)
{
    return ServerCaseName(info.param);
}

// What a session reported, in order.
struct Events {
    explicit Events(TTransferSession& session) : s(session)
    {
        s.OnReady = [this](TTransferSession*) { order << "ready"; };
        s.OnClosed = [this](TTransferSession*, const QString& why, bool many) {
            order << "closed";
            reason = why;
            tooMany = many;
        };
        s.OnListed = [this](TTransferSession*, const std::vector<TRemoteEntry>& entries) {
            for (const TRemoteEntry& e : entries)
                listed[e.name] = e;
        };
        s.OnProgress = [this](TTransferSession*, qint64 bytes) {
            progress = bytes;
            if (onProgress)
                onProgress(bytes);
        };
        s.OnDone = [this](TTransferSession*, const TSessionResult& r) {
            order << "done";
            results.push_back(r);
        };
    }
    // Starts an operation and waits for its OnDone, which must not come from inside the call.
    TSessionResult Run(const std::function<void()>& start, int timeoutMs = 30000)
    {
        const std::size_t before = results.size();
        listed.clear();
        start();
        EXPECT_EQ(results.size(), before) << "OnDone fired from inside the call";
        EXPECT_TRUE(PumpUntil([&] { return results.size() > before; }, timeoutMs));
        return results.size() > before ? results.back() : TSessionResult{};
    }
    bool Open()
    {
        const qsizetype before = order.size();
        s.Open();
        EXPECT_EQ(order.size(), before) << "OnReady fired from inside Open";
        return PumpUntil([&] { return order.size() > before; }, 15000) && order.last() == "ready" && s.Idle();
    }

    TTransferSession& s;
    QStringList order;
    QString reason;
    bool tooMany = false;
    std::map<QString, TRemoteEntry> listed;
    qint64 progress = 0;
    std::function<void(qint64)> onProgress;
    std::vector<TSessionResult> results;
};

class QueueSessions : public ::testing::TestWithParam<Case>, protected QueueServer {
protected:
    void SetUp() override { StartServer(GetParam()); }

    std::unique_ptr<TFtpTransferSession> background()
    {
        auto s = std::make_unique<TFtpTransferSession>(parameters(), 5, "2");
        s->OnLog = [this](TLogKind kind, const QString& text, const QString& argument) {
            (kind == lkCommand ? commands : log) << (text + " " + argument).trimmed();
        };
        return s;
    }

    // Fetches big.bin from the start and runs interrupt once its first bytes have come.
    TSessionResult FetchInterrupted(TFtpTransferSession& s, Events& e, qint64 size,
                                    std::function<void()> interrupt)
    {
        e.onProgress = [&e, interrupt](qint64) {
            const std::function<void()> run = interrupt; // the handler is gone once cleared
            e.onProgress = nullptr;
            run();
        };
        return e.Run([&] { s.Fetch(remote("big.bin"), local("big.bin"), 0, size); });
    }

    QStringList commands; // a background session's commands as its log shows them
    QStringList log;      // its other lines
};

// Folders new and existing, files of every kind up and down byte for byte,
// and the folder's listing with names, kinds and sizes.
TEST_P(QueueSessions, BackgroundMakesFoldersSendsListsAndFetches)
{
    auto s = background();
    Events e(*s);
    ASSERT_TRUE(e.Open()) << log.join("\n").toStdString();
    EXPECT_FALSE(commands.filter(QRegularExpression("^\\[2\\] (USER|PASS)")).isEmpty());
    EXPECT_TRUE(commands.filter(QRegularExpression("LIST|MLSD|CWD")).isEmpty())
        << "a listing after the login";

    const QString tree = remote("tree");
    TSessionResult r = e.Run([&] { s->MakeFolder(tree); });
    EXPECT_TRUE(r.ok && !r.exists) << r.reason.toStdString();
    r = e.Run([&] { s->MakeFolder(tree); });
    EXPECT_TRUE(r.ok && r.exists) << r.reason.toStdString();
    ASSERT_TRUE(e.Run([&] { s->MakeFolder(tree + "/sub dir"); }).ok);
    EXPECT_FALSE(e.Run([&] { s->MakeFolder(remote("missing/deeper")); }).ok);

    const std::map<QString, QByteArray> files = {{"empty.txt", {}},
                                                 {"big.bin", pattern(3 * 1024 * 1024 + 5, 1)},
                                                 {"with  spaces .txt", "spaced"},
                                                 {QString::fromUtf8("čšž ünï.bin"), pattern(1000, 2)}};
    for (const auto& [name, data] : files) {
        ASSERT_TRUE(writeAll(local(name), data));
        r = e.Run([&] { s->Send(local(name), tree + "/" + name, 0); });
        ASSERT_TRUE(r.ok) << name.toStdString() << ": " << r.reason.toStdString();
    }
    EXPECT_EQ(e.progress, 1000); // the last file's bytes
    EXPECT_EQ(readAll(server().Remote("tree/big.bin")), files.at("big.bin"));

    ASSERT_TRUE(e.Run([&] { s->List(tree); }).ok);
    ASSERT_EQ(e.listed.size(), files.size() + 1);
    EXPECT_EQ(e.listed["sub dir"].kind, ekDirectory);
    for (const auto& [name, data] : files) {
        ASSERT_EQ(e.listed.count(name), 1u) << name.toStdString();
        EXPECT_EQ(e.listed[name].kind, ekFile);
        EXPECT_EQ(e.listed[name].size, data.size());
    }
    ASSERT_TRUE(e.Run([&] { s->List(tree + "/sub dir"); }).ok);
    EXPECT_TRUE(e.listed.empty());
    EXPECT_FALSE(e.Run([&] { s->List(remote("missing")); }).ok);

    ASSERT_TRUE(QDir(local("")).mkdir("back"));
    for (const auto& [name, data] : files) {
        r = e.Run([&] { s->Fetch(tree + "/" + name, local("back/" + name), 0, data.size()); });
        ASSERT_TRUE(r.ok) << name.toStdString() << ": " << r.reason.toStdString();
        EXPECT_TRUE(readAll(local("back/" + name)) == data) << name.toStdString();
    }
    // A refused RETR leaves the local file as it was, also when the data connection came first.
    ASSERT_TRUE(writeAll(local("back/missing.bin"), "keep"));
    r = e.Run([&] { s->Fetch(remote("missing.bin"), local("back/missing.bin"), 0, 0); });
    EXPECT_FALSE(r.ok || r.stopped);
    EXPECT_FALSE(r.reason.isEmpty());
    EXPECT_EQ(readAll(local("back/missing.bin")), "keep");
    EXPECT_FALSE(e.order.contains("closed"));
}

// A fetch and a send go on from a partial file.
TEST_P(QueueSessions, BackgroundResumesAFetchAndASend)
{
    const QByteArray data = pattern(700000, 3);
    ASSERT_TRUE(server().Put("whole.bin", data));
    ASSERT_TRUE(server().Put("half.bin", data.left(300000)));
    ASSERT_TRUE(writeAll(local("part.bin"), data.left(123457)));
    ASSERT_TRUE(writeAll(local("source.bin"), data));
    auto s = background();
    Events e(*s);
    ASSERT_TRUE(e.Open());

    TSessionResult r = e.Run([&] { s->Fetch(remote("whole.bin"), local("part.bin"), 123457, data.size()); });
    ASSERT_TRUE(r.ok) << r.reason.toStdString();
    EXPECT_TRUE(readAll(local("part.bin")) == data);
    EXPECT_EQ(e.progress, data.size());
    EXPECT_TRUE(commands.contains("[2] REST 123457"));

    r = e.Run([&] { s->Send(local("source.bin"), remote("half.bin"), 300000); });
    ASSERT_TRUE(r.ok) << r.reason.toStdString();
    EXPECT_TRUE(readAll(server().Remote("half.bin")) == data);
    EXPECT_EQ(e.progress, data.size());

    // A local file that is no longer as long as the offset is never written.
    ASSERT_TRUE(writeAll(local("changed.bin"), "xy"));
    EXPECT_FALSE(e.Run([&] { s->Fetch(remote("whole.bin"), local("changed.bin"), 5, data.size()); }).ok);
    EXPECT_EQ(readAll(local("changed.bin")), "xy");

    // Close() tells nothing, and the session opens again.
    s->Close();
    EXPECT_FALSE(s->Connected());
    ASSERT_TRUE(e.Open());
    EXPECT_FALSE(e.order.contains("closed"));
}

// Stop in the middle leaves the partial file, ready to resume on the same session.
TEST_P(QueueSessions, BackgroundStopLeavesThePartReadyToResume)
{
    const QByteArray big = pattern(48 * 1024 * 1024, 4);
    ASSERT_TRUE(server().Put("big.bin", big));
    auto s = background();
    Events e(*s);
    ASSERT_TRUE(e.Open());
    TSessionResult r = FetchInterrupted(*s, e, big.size(), [&] { s->Stop(); });
    EXPECT_TRUE(r.stopped && !r.ok);
    const qint64 part = QFileInfo(local("big.bin")).size();
    EXPECT_GT(part, 0);
    EXPECT_LT(part, big.size());
    ASSERT_TRUE(PumpUntil([&] { return s->Idle(); }, 15000));

    r = e.Run([&] { s->Fetch(remote("big.bin"), local("big.bin"), part, big.size()); });
    ASSERT_TRUE(r.ok) << r.reason.toStdString() << "\n"
                      << (commands + log).join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(readAll(local("big.bin")) == big);
}

// The server going away mid-transfer fails the operation, then closes the session.
TEST_P(QueueSessions, BackgroundServerKilledFailsTheOperationThenCloses)
{
    if (GetParam().kind == FtpServerKind::Vsftpd)
        GTEST_SKIP() << "vsftpd's session processes outlive the fixture's stop of its listener";
    const QByteArray big = pattern(48 * 1024 * 1024, 5);
    ASSERT_TRUE(server().Put("big.bin", big));
    auto s = background();
    Events e(*s);
    ASSERT_TRUE(e.Open());
    const TSessionResult r = FetchInterrupted(*s, e, big.size(), [&] { server().Server().Stop(); });
    EXPECT_FALSE(r.ok || r.stopped);
    EXPECT_FALSE(r.reason.isEmpty());
    ASSERT_TRUE(PumpUntil([&] { return e.order.contains("closed"); }, 15000));
    EXPECT_EQ(e.order.mid(e.order.size() - 2), (QStringList{"done", "closed"}));
    EXPECT_FALSE(e.tooMany);
    EXPECT_FALSE(s->Connected());
}

// The window's own session serves the queue without touching the remote
// pane or the folder the user sees, and reports the user's transfers.
TEST_P(QueueSessions, BrowsingSessionServesTheQueueAndReportsTheUsersTransfers)
{
    if (GetParam().tls)
        GTEST_SKIP() << "the background case covers TLS";
    ASSERT_TRUE(server().Put("mine.txt", "user's file"));
    TestSession t;
    t.view.LocalDir = localDir();
    TSejaParametri p = parameters();
    p.nameEncoding = 0; // the described default: LIST, so the queue lists by PWD, CWD and CWD back
    p.remoteDirectory = server().Folder();
    t.Connect(server().Port(), p);
    ASSERT_TRUE(explain(PumpUntil([&] { return t.view.Listings == 1; }, 10000), t));
    QStringList transfers;
    t.seja.OnTransferStarted = [&](const TFileTransfer& f) {
        transfers << (f.upload ? "up " : "down ") + f.remote + " " + QString::number(f.size);
    };
    t.seja.OnTransferEnded = [&](bool ok, bool stopped, const QString&) {
        transfers << QString(ok ? "ok" : stopped ? "stopped" : "failed");
    };

    TFtpTransferSession b(t.seja);
    Events e(b);
    ASSERT_TRUE(e.Open());
    const QString folder = t.seja.TrenutnaMapa();
    ASSERT_TRUE(e.Run([&] { b.MakeFolder(remote("q folder")); }).ok);
    const TSessionResult again = e.Run([&] { b.MakeFolder(remote("q folder")); });
    EXPECT_TRUE(again.ok && again.exists) << again.reason.toStdString();
    ASSERT_TRUE(writeAll(local("a b.txt"), pattern(200000, 6)));
    ASSERT_TRUE(e.Run([&] { b.Send(local("a b.txt"), remote("q folder/a b.txt"), 0); }).ok);
    ASSERT_TRUE(e.Run([&] { b.List(remote("q folder")); }).ok);
    ASSERT_EQ(e.listed.count("a b.txt"), 1u);
    EXPECT_EQ(e.listed["a b.txt"].size, 200000);
    ASSERT_TRUE(e.Run([&] { b.Fetch(remote("q folder/a b.txt"), local("back.txt"), 0, 200000); }).ok);
    EXPECT_TRUE(readAll(local("back.txt")) == pattern(200000, 6));
    EXPECT_EQ(transfers, (QStringList{"up " + remote("q folder/a b.txt") + " 200000", "ok",
                                      "down " + remote("q folder/a b.txt") + " 200000", "ok"}));

    // None of the user's after-effects, and the server is still in the user's folder.
    EXPECT_EQ(t.view.Listings, 1);
    EXPECT_EQ(t.view.LocalRefreshes, 0);
    EXPECT_EQ(t.seja.TrenutnaMapa(), folder);
    ASSERT_TRUE(refresh(t));
    EXPECT_TRUE(t.view.RowNames().contains("mine.txt") && t.view.RowNames().contains("q folder"));

    // The user's own download: reported, and the queue's session is busy meanwhile.
    transfers.clear();
    t.view.Select({"mine.txt"});
    t.seja.Pla1PrenesiClick();
    EXPECT_FALSE(b.Idle());
    ASSERT_TRUE(PumpUntil([&] { return transfers.size() == 2; }, 10000));
    EXPECT_EQ(transfers, (QStringList{"down mine.txt 11", "ok"}));
    EXPECT_EQ(readAll(local("mine.txt")), "user's file");
    ASSERT_TRUE(PumpUntil([&] { return b.Idle(); }, 10000));
}

INSTANTIATE_TEST_SUITE_P(ServersModes, QueueSessions,
                         ::testing::Values(Case{FtpServerKind::Pyftpd, 0}, Case{FtpServerKind::Pyftpd, 1},
                                           Case{FtpServerKind::Vsftpd, 0}, Case{FtpServerKind::Vsftpd, 1},
                                           Case{FtpServerKind::Proftpd, 0}, Case{FtpServerKind::Proftpd, 1},
                                           Case{FtpServerKind::Pureftpd, 0}, Case{FtpServerKind::Pureftpd, 1},
                                           Case{FtpServerKind::Vsftpd, 0, true},
                                           Case{FtpServerKind::Vsftpd, 1, true}),
                         caseName);

// A server that refuses one connection too many: 421 at the greeting, or a
// 530 naming too many users, closes the background session with tooMany; a
// wrong password does not.
TEST(QueueSessionRefusals, TooManyConnectionsIsToldApart)
{
    struct Refusal {
        ServerScript script;
        bool tooMany;
        QString reason; // how the closing reason begins: the server's line
    };
    Refusal refusals[] = {
        {ServerScript().Send({"421 Too many connections (8) from this IP"}).Close(), true, "421 Too many"},
        {ServerScript()
             .Send({"220 Hi"})
             .Expect("USER anonymous", {"331 Password"})
             .ExpectMatch("PASS .*", {"530 Sorry, there are TOO MANY USERS connected"}),
         true, "530 Sorry"},
        {ServerScript()
             .Send({"220 Hi"})
             .Expect("USER anonymous", {"331 Password"})
             .ExpectMatch("PASS .*", {"530 Login incorrect."}),
         false, "530 Login"},
    };
    for (Refusal& refusal : refusals) {
        ScriptedServer server(refusal.script);
        QString error;
        ASSERT_TRUE(server.Start(&error)) << error.toStdString();
        TSejaParametri p;
        p.host = "127.0.0.1";
        p.port = QString::number(server.Port());
        p.anonymousPassword = "kvado@test";
        TFtpTransferSession s(p, 5, "1");
        Events e(s);
        s.Open();
        ASSERT_TRUE(PumpUntil([&] { return !e.order.isEmpty(); }, 10000));
        EXPECT_EQ(e.order, QStringList{"closed"});
        EXPECT_EQ(e.tooMany, refusal.tooMany) << e.reason.toStdString();
        EXPECT_TRUE(e.reason.startsWith(refusal.reason)) << e.reason.toStdString();
        EXPECT_FALSE(s.Connected());
    }
}
} // namespace

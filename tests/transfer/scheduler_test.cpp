// The scheduler against fake sessions: whole folders both ways in the session
// and on four background connections, the file-exists question, hostile
// listings, refusals, a lost connection and Stop.
#include "transfer/scheduler.h"

#include "ftp/remotelisting.h"

#include "support/pump.h"
#include "transferfixture.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// 3 levels: an empty file, a larger one, names with a space, with UTF-8 and
// with a byte that is no UTF-8, an empty folder.
std::map<QByteArray, QByteArray> Tree()
{
    QByteArray big;
    for (int i = 0; i < 300 * 1024; ++i)
        big += char((quint32(i) * 7919u) >> 5);
    std::map<QByteArray, QByteArray> tree{
        {"/a.txt", QByteArray(100, 'a')},
        {"/empty.bin", ""},
        {"/big file.bin", big},
        {"/\xc4\x8d\xc5\xa1\xc5\xbe.txt", "sumniki"},
        {"/\xe8raw.txt", "raw"},
        {"/empty", "<folder>"},
        {"/sub", "<folder>"},
        {"/sub/deeper", "<folder>"},
    };
    for (int i = 0; i < 10; ++i)
        tree["/sub/x" + QByteArray::number(i)] = QByteArray(i * 1000 + 1, char('0' + i));
    for (int i = 0; i < 5; ++i)
        tree["/sub/deeper/y" + QByteArray::number(i)] = QByteArray(5000 + i, 'y');
    return tree;
}

void PutOnServer(FakeServer& server, const QString& top, const std::map<QByteArray, QByteArray>& tree)
{
    server.AddFolder(top);
    for (const auto& [path, bytes] : tree) {
        const QString remote = top + FromUtf8Kept(path);
        if (bytes == "<folder>")
            server.AddFolder(remote);
        else
            server.AddFile(remote, bytes);
    }
}


struct Queue {
    FakeServer server;
    TTransferQueue queue;
    std::unique_ptr<FakeSession> browsing; // outlives the scheduler
    TScheduler scheduler{queue};
    QTemporaryDir local;
    ~Queue() { RemoveLocalTree(LocalPath()); } // names that are no UTF-8 are beyond QDir
    QStringList log;
    int finished = 0;
    std::vector<bool> questions; // several, per question
    TExistsAnswer::TChoice answer = TExistsAnswer::acCancel;

    explicit Queue(int connections)
    {
        scheduler.OnLog = [this](const QString& line) { log << line; };
        scheduler.OnFinished = [this] { ++finished; };
        scheduler.OnAsk = [this](const TExistsQuestion& question) {
            questions.push_back(question.several);
            TExistsAnswer a;
            a.choice = answer;
            return a;
        };
        if (connections == 0) {
            browsing = std::make_unique<FakeSession>(server, QString());
            browsing->Open();
            PumpUntil([this] { return browsing->Connected(); });
            scheduler.SetBrowsingSession(browsing.get());
        }
        scheduler.SetConnections(connections, [this](int index) {
            return std::make_unique<FakeSession>(server, QStringLiteral("#%1").arg(index));
        });
    }
    QByteArray LocalPath(const QByteArray& relative = {}) const
    {
        return ToUtf8Kept(local.path()) + relative;
    }
    // Until OnFinished has fired since the last call.
    bool Finish()
    {
        const bool ok = PumpUntil([&] { return finished > seen; }, 20000);
        seen = finished;
        return ok;
    }
    int seen = 0;
    int CountIn(TItemState state) const
    {
        int count = 0;
        for (int row = 0; row < queue.Count(); ++row)
            count += queue.At(row).state == state ? 1 : 0;
        return count;
    }
    void RetryAll()
    {
        for (int row = 0; row < queue.Count(); ++row)
            queue.Retry(row);
    }
    // Every item comes after its folder item.
    bool FoldersFirst() const
    {
        for (int row = 0; row < queue.Count(); ++row) {
            const quint32 parent = queue.At(row).parent;
            if (parent && queue.RowOf(parent) >= row)
                return false;
        }
        return true;
    }
    int LogLines(const QString& key) const
    {
        return int(
            std::count_if(log.begin(), log.end(), [&](const QString& line) { return line.startsWith(key); }));
    }
};

TRemoteEntry Entry(const QString& name, TEntryKind kind, qint64 size = 0)
{
    TRemoteEntry entry;
    entry.name = name;
    entry.kind = kind;
    entry.size = size;
    return entry;
}

class Flow : public testing::TestWithParam<int> {};

} // namespace

TEST_P(Flow, AFolderGoesDownWholeAndInOrder)
{
    Queue run(GetParam());
    const auto tree = Tree();
    PutOnServer(run.server, "/site", tree);
    if (run.browsing)
        run.browsing->List("/"); // the user's own command: the queue waits for it
    run.scheduler.Download({Entry("..", ekParent), Entry("site", ekDirectory)}, "/", run.local.path());
    ASSERT_TRUE(run.Finish());

    std::map<QByteArray, QByteArray> got;
    ReadLocalTree(run.LocalPath("/site"), got);
    EXPECT_EQ(got, tree);
    EXPECT_EQ(run.CountIn(tsDone), run.queue.Count());
    EXPECT_EQ(run.queue.Count(), int(tree.size()) + 1);
    EXPECT_TRUE(run.FoldersFirst());
    // Each folder is listed once, before any file in it is fetched.
    const QStringList& ops = run.server.ops;
    EXPECT_EQ(run.server.Count("LIST /site"), 4);
    EXPECT_LT(ops.indexOf("LIST /site/sub"), ops.indexOf("RETR /site/sub/x0"));
    EXPECT_LT(ops.indexOf("LIST /site/sub/deeper"), ops.indexOf("RETR /site/sub/deeper/y0"));
    const TQueueTotals totals = run.queue.Totals();
    EXPECT_EQ(totals.files, 20);
    EXPECT_EQ(totals.filesDone, 20);
    EXPECT_EQ(totals.bytesDone, totals.bytes);
    EXPECT_EQ(run.server.mostAtOnce, GetParam() == 0 ? 1 : 4);
    EXPECT_FALSE(run.queue.Unfinished());
}

TEST_P(Flow, AFolderGoesUpWholeAndInOrder)
{
    Queue run(GetParam());
    const auto tree = Tree();
    PutLocally(run.LocalPath("/site"), tree);
    run.server.AddFolder("/up");
    run.scheduler.Upload({run.local.filePath("site")}, "/up", nullptr);
    ASSERT_TRUE(run.Finish());

    EXPECT_EQ(run.server.Below("/up/site"), tree);
    EXPECT_EQ(run.CountIn(tsDone), run.queue.Count());
    EXPECT_TRUE(run.FoldersFirst());
    const QStringList& ops = run.server.ops;
    EXPECT_LT(ops.indexOf("MKD /up/site/sub/deeper"), ops.indexOf("STOR /up/site/sub/deeper/y0"));
    EXPECT_EQ(run.server.Count("MKD"), 4);
    // The folders the job made hold nothing to ask about: nothing is listed.
    EXPECT_EQ(run.server.Count("LIST"), 0);
    EXPECT_EQ(run.queue.Totals().bytesDone, run.queue.Totals().bytes);
}

TEST_P(Flow, ExistingFilesAreAskedAboutOnceForAll)
{
    Queue run(GetParam());
    const auto tree = Tree();
    PutOnServer(run.server, "/site", tree);
    PutLocally(run.LocalPath("/site"), tree);
    WriteLocal(run.LocalPath("/site/a.txt"), "mine");
    run.answer = TExistsAnswer::acSkipAll;
    run.scheduler.Download({Entry("site", ekDirectory)}, "/", run.local.path());
    ASSERT_TRUE(run.Finish());
    EXPECT_EQ(run.questions, std::vector<bool>{true}) << "one question, with the choices for all";
    EXPECT_EQ(run.CountIn(tsSkipped), 20);
    EXPECT_EQ(run.server.Count("RETR"), 0);
    QByteArray mine;
    FakeSession::ReadLocal(run.local.filePath("site/a.txt"), mine);
    EXPECT_EQ(mine, "mine");

    // One file: the described question, without choices for all; overwrite.
    run.answer = TExistsAnswer::acOverwrite;
    run.scheduler.Download({Entry("a.txt", ekFile, 100)}, "/site", run.local.filePath("site"));
    ASSERT_TRUE(run.Finish());
    EXPECT_EQ(run.questions, (std::vector<bool>{true, false}));
    FakeSession::ReadLocal(run.local.filePath("site/a.txt"), mine = {});
    EXPECT_EQ(mine, QByteArray(100, 'a'));

    // Uploading back: the names are found in the target's one listing; resume all
    // skips whole files and resumes the shorter one.
    run.server.AddFile("/site/sub/x9", "999");
    run.answer = TExistsAnswer::acResumeAll;
    run.scheduler.Upload({run.local.filePath("site/sub")}, "/site", nullptr);
    ASSERT_TRUE(run.Finish());
    EXPECT_EQ(run.questions.size(), 3u);
    EXPECT_TRUE(run.server.ops.contains("STOR@3 /site/sub/x9"));
    EXPECT_EQ(run.server.Count("STOR"), 1);
    EXPECT_EQ(run.server.tree["/site/sub/x9"].bytes, tree.at("/sub/x9"));

    // One file into the folder the window shows: its listing is used, names
    // compared ignoring case as the described question does.
    TRemoteListing shown;
    shown.Append(Entry("A.TXT", ekFile, 7));
    run.answer = TExistsAnswer::acCancel;
    const int lists = run.server.Count("LIST");
    run.scheduler.Upload({run.local.filePath("site/a.txt")}, "/site", &shown);
    ASSERT_TRUE(run.Finish());
    EXPECT_EQ(run.questions.size(), 4u);
    EXPECT_FALSE(run.questions.back());
    EXPECT_EQ(run.server.Count("LIST"), lists);
    EXPECT_EQ(run.queue.At(run.queue.Count() - 1).state, tsSkipped);
}

TEST_P(Flow, StopLeavesPartsThatStartResumes)
{
    Queue run(GetParam());
    const auto tree = Tree();
    PutOnServer(run.server, "/site", tree);
    run.server.chunk = 100;
    run.server.hold = true;
    run.scheduler.Download({Entry("site", ekDirectory)}, "/", run.local.path());
    const std::size_t running = GetParam() == 0 ? 1 : 4;
    ASSERT_TRUE(PumpUntil([&] { return run.server.held.size() == running; }));
    run.scheduler.StopAll();
    ASSERT_TRUE(run.Finish());
    EXPECT_FALSE(run.scheduler.Busy());
    EXPECT_EQ(run.CountIn(tsRunning), 0);
    EXPECT_EQ(run.CountIn(tsFailed), 0) << "stopped items wait";
    int parts = 0;
    for (int row = 0; row < run.queue.Count(); ++row) {
        const TQueueItem& item = run.queue.At(row);
        struct stat info {};
        if (item.state == tsWaiting && item.done > 0 &&
            ::stat(ToUtf8Kept(item.localPath).constData(), &info) == 0 && info.st_size > 0 &&
            info.st_size < item.size)
            ++parts;
    }
    EXPECT_EQ(parts, int(running));

    run.server.hold = false;
    run.scheduler.Start();
    ASSERT_TRUE(run.Finish());
    std::map<QByteArray, QByteArray> got;
    ReadLocalTree(run.LocalPath("/site"), got);
    EXPECT_EQ(got, tree);
    EXPECT_EQ(run.server.Count("RETR@100 "), int(running)) << run.server.ops.join('\n').toStdString();
    EXPECT_TRUE(run.questions.empty()) << "a part of our own resumes without a question";
}

INSTANTIATE_TEST_SUITE_P(InTheSessionAndOnFourConnections, Flow, testing::Values(0, 4));

TEST(Scheduler, HostileListingsStayInsideTheTarget)
{
    Queue run(2);
    run.server.AddFolder("/h");
    run.server.listing = [](const QString& folder) -> std::optional<std::vector<TRemoteEntry>> {
        if (folder == "/h" || folder == "/h/sub") // sub lists as its parent: a folder inside itself
            return std::vector<TRemoteEntry>{Entry(".", ekDirectory), Entry("..", ekDirectory),
                                             Entry("/x", ekFile, 1),  Entry("a/b", ekFile, 1),
                                             Entry("ok", ekFile, 0),  Entry("sub", ekDirectory),
                                             Entry("..", ekParent)};
        if (folder.startsWith("/deep")) // endless, every level different
            return std::vector<TRemoteEntry>{Entry("d", ekDirectory),
                                             Entry(QString::number(folder.size()), ekFile)};
        return std::nullopt;
    };
    run.server.AddFile("/h/ok", "");
    run.server.AddFolder("/deep");
    run.scheduler.Download({Entry("h", ekDirectory), Entry("deep", ekDirectory), Entry("../up", ekFile, 1)},
                           "/", run.local.path());
    ASSERT_TRUE(run.Finish());

    EXPECT_EQ(run.server.Count("LIST /h/sub"), 1);
    EXPECT_EQ(run.server.Count("LIST /h/sub/sub"), 0) << "not walked twice";
    EXPECT_EQ(run.LogLines("@idVrstaZanka"), 1);
    EXPECT_EQ(run.LogLines("@idVrstaNevarnoIme"), 4 + 1); // ".", "..", "/x", "a/b"; "../up"
    EXPECT_EQ(run.LogLines("@idVrstaPregloboko"), 1);
    int deepest = 0;
    for (int row = 0; row < run.queue.Count(); ++row) {
        const TQueueItem& item = run.queue.At(row);
        deepest = qMax(deepest, item.depth);
        EXPECT_TRUE(item.localPath.startsWith(run.local.path() + "/")) << item.localPath.toStdString();
        EXPECT_FALSE(item.localPath.contains("/..")) << item.localPath.toStdString();
    }
    EXPECT_EQ(deepest, TScheduler::kMaxDepth);
    std::map<QByteArray, QByteArray> got;
    ReadLocalTree(run.LocalPath(), got);
    EXPECT_EQ(got.count("/h/ok"), 1u);
    EXPECT_EQ(got.count("/h/sub"), 1u);
    EXPECT_EQ(got.count("/x"), 0u);
    EXPECT_EQ(got.count("/up"), 0u);
    EXPECT_FALSE(QDir(run.local.path() + "/h/a").exists());
}

TEST(Scheduler, ARefusalAsTooManyLowersTheCount)
{
    Queue run(4);
    run.server.maxConnections = 2;
    const auto tree = Tree();
    PutOnServer(run.server, "/site", tree);
    run.scheduler.Download({Entry("site", ekDirectory)}, "/", run.local.path());
    ASSERT_TRUE(run.Finish());
    EXPECT_EQ(run.CountIn(tsDone), run.queue.Count()) << "refused connections fail no item";
    EXPECT_EQ(run.scheduler.Limit(), 2);
    EXPECT_EQ(run.server.mostAtOnce, 2);
    EXPECT_GE(run.server.refusedTooMany, 1);
    EXPECT_GE(run.LogLines("@idVrstaPrevec"), 1);

    // Idle connections close after the idle time.
    run.scheduler.SetIdleCloseMs(1);
    run.answer = TExistsAnswer::acOverwrite;
    run.scheduler.Download({Entry("a.txt", ekFile, 100)}, "/site", run.local.filePath("site"));
    ASSERT_TRUE(run.Finish());
    EXPECT_TRUE(PumpUntil([&] { return run.server.sessions.empty(); }));
}

TEST(Scheduler, ALostConnectionFailsItsItemsAndRetryFinishesThem)
{
    Queue run(4);
    const auto tree = Tree();
    PutLocally(run.LocalPath("/site"), tree);
    run.server.AddFolder("/up");
    run.server.chunk = 50;
    run.server.hold = true;
    run.scheduler.Upload({run.local.filePath("site")}, "/up", nullptr);
    ASSERT_TRUE(PumpUntil([&] { return run.server.held.size() == 4; }));
    run.server.down = true;
    run.server.Kill();
    ASSERT_TRUE(run.Finish());
    EXPECT_EQ(run.CountIn(tsFailed), 4);
    EXPECT_EQ(run.CountIn(tsRunning), 0);
    EXPECT_GT(run.CountIn(tsWaiting), 0) << "the rest waits";
    for (int row = 0; row < run.queue.Count(); ++row) {
        if (run.queue.At(row).state == tsFailed) {
            EXPECT_EQ(run.queue.At(row).reason, "Connection lost");
        }
    }
    EXPECT_GE(run.LogLines("@idVrstaPovezavaNeuspela"), 1);

    run.server.down = false;
    run.server.hold = false;
    run.RetryAll();
    run.scheduler.Start();
    ASSERT_TRUE(run.Finish());
    EXPECT_EQ(run.CountIn(tsDone), run.queue.Count());
    EXPECT_EQ(run.server.Below("/up/site"), tree);
    EXPECT_EQ(run.server.Count("STOR@50 "), 4) << "the parts on the server resume";
}

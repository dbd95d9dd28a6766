// The queue's rows, ids, moves, removal, retry, totals and the file-exists policy table.
#include "transfer/existspolicy.h"
#include "transfer/transferqueue.h"

#include <QStringList>

#include <gtest/gtest.h>

namespace {

TQueueItem File(quint32 job, const QString& name, qint64 size)
{
    TQueueItem item;
    item.job = job;
    item.kind = ikFile;
    item.direction = tdDownload;
    item.remotePath = QStringLiteral("/r/") + name;
    item.localPath = QStringLiteral("/l/") + name;
    item.size = size;
    return item;
}

QString Names(const TTransferQueue& queue)
{
    QStringList names;
    for (int row = 0; row < queue.Count(); ++row)
        names << queue.At(row).Name();
    return names.join(QLatin1Char(','));
}

} // namespace

TEST(TransferQueue, RowsIdsMovesAndRemovalKeepTheirItems)
{
    TTransferQueue queue;
    QStringList events;
    queue.OnInserted = [&](int a, int b) { events << QStringLiteral("i%1-%2").arg(a).arg(b); };
    queue.OnRemoved = [&](int a, int b) { events << QStringLiteral("r%1-%2").arg(a).arg(b); };
    queue.OnMoved = [&] { events << QStringLiteral("m"); };
    const quint32 job = queue.NewJob(tdDownload, 0);
    const quint32 a = queue.Add(File(job, "a", 10));
    const quint32 c = queue.Add(File(job, "c", 10));
    const quint32 b = queue.Add(File(job, "b", 10), queue.RowOf(a)); // right after a
    queue.Add(File(job, "d", 10));
    EXPECT_EQ(Names(queue), "a,b,c,d");
    const TQueueItem* itemB = queue.Find(b);
    queue.MoveDown(queue.RowOf(b));
    queue.MoveUp(0);   // nothing above the first row
    queue.MoveDown(3); // nothing below the last
    EXPECT_EQ(Names(queue), "a,c,b,d");
    EXPECT_EQ(queue.Find(b), itemB) << "an item does not move in memory when its row does";
    EXPECT_EQ(queue.RowOf(c), 1);

    queue.SetState(c, tsRunning);
    queue.Remove({0, 1, 3, 3, 7}); // the running c stays; unknown rows are ignored
    EXPECT_EQ(Names(queue), "c,b");
    EXPECT_EQ(queue.RowOf(a), -1);
    EXPECT_EQ(queue.Find(a), nullptr);
    EXPECT_EQ(queue.RowOf(b), 1);
    EXPECT_EQ(events.join(QLatin1Char(' ')), "i0-0 i1-1 i1-1 i3-3 m r3-3 r0-0");
    queue.Clear();
    EXPECT_EQ(Names(queue), "c");
    EXPECT_TRUE(queue.Unfinished());

    // A listing's entries go in one after the other behind their folder, rows asked only later.
    queue.Add(File(job, "z", 1));
    int after = 0;
    for (const char* name : {"c1", "c2", "c3"})
        queue.Add(File(job, name, 1), after++);
    EXPECT_EQ(Names(queue), "c,c1,c2,c3,z");
    for (int row = 0; row < queue.Count(); ++row)
        EXPECT_EQ(queue.RowOf(queue.At(row).id), row);
}

TEST(TransferQueue, TotalsFollowEveryChange)
{
    TTransferQueue queue;
    const quint32 job = queue.NewJob(tdDownload, 0);
    TQueueItem folder = File(job, "f", 0);
    folder.kind = ikFolder;
    queue.Add(folder);
    const quint32 a = queue.Add(File(job, "a", 1000));
    const quint32 b = queue.Add(File(job, "b", 3000));
    const quint32 c = queue.Add(File(job, "c", 500));
    queue.SetState(a, tsRunning);
    queue.SetProgress(a, 400, 100);
    queue.SetState(b, tsRunning);
    queue.SetProgress(b, 1000, 300);
    queue.SetState(c, tsSkipped, QStringLiteral("exists"));
    TQueueTotals t = queue.Totals();
    EXPECT_EQ(t.files, 3);
    EXPECT_EQ(t.filesDone, 1);
    EXPECT_EQ(t.running, 2);
    EXPECT_EQ(t.bytes, 4500);
    EXPECT_EQ(t.bytesDone, 400 + 1000 + 500);
    EXPECT_EQ(t.speed, 400);
    EXPECT_EQ(t.secondsLeft, (600 + 2000) / 400 + 1);

    queue.SetState(a, tsDone);
    queue.SetState(b, tsFailed, QStringLiteral("lost"));
    t = queue.Totals();
    EXPECT_EQ(t.filesDone, 2);
    EXPECT_EQ(t.failed, 1);
    EXPECT_EQ(t.running, 0);
    EXPECT_EQ(t.speed, 0);
    EXPECT_EQ(t.secondsLeft, -1);
    EXPECT_EQ(queue.Find(b)->reason, "lost");

    queue.Retry(queue.RowOf(b)); // failed: waits again, its bytes kept for a resume
    EXPECT_EQ(queue.Find(b)->state, tsWaiting);
    EXPECT_EQ(queue.Find(b)->done, 1000);
    EXPECT_TRUE(queue.Find(b)->reason.isEmpty());
    queue.Remove({queue.RowOf(b)});
    queue.Remove({0});
    t = queue.Totals();
    EXPECT_EQ(t.files, 2);
    EXPECT_EQ(t.bytes, 1500);
    EXPECT_FALSE(queue.Unfinished());
}

TEST(TransferQueue, FirstWaitingSeesRowsThatWaitAgain)
{
    TTransferQueue queue;
    const quint32 job = queue.NewJob(tdUpload, 0);
    std::vector<quint32> ids;
    for (int i = 0; i < 6; ++i)
        ids.push_back(queue.Add(File(job, QString::number(i), 1)));
    for (int i = 0; i < 4; ++i)
        queue.SetState(ids[std::size_t(i)], tsDone);
    EXPECT_EQ(queue.FirstWaiting(), 4);
    queue.SetState(ids[4], tsRunning);
    EXPECT_EQ(queue.FirstWaiting(), 5);
    EXPECT_EQ(queue.FirstWaiting(), 5);
    queue.SetState(ids[1], tsWaiting); // stopped or retried: found again
    EXPECT_EQ(queue.FirstWaiting(), 1);
    EXPECT_EQ(queue.FirstWaiting(2), 5);
    queue.SetState(ids[1], tsDone);
    queue.SetState(ids[5], tsDone);
    queue.MoveUp(5);
    EXPECT_EQ(queue.FirstWaiting(), -1);
    queue.Add(File(job, "late", 1), 0);
    EXPECT_EQ(queue.FirstWaiting(), 1);
}

TEST(TransferQueue, JobsCountTheirFilesAndFolders)
{
    TTransferQueue queue;
    const quint32 single = queue.NewJob(tdDownload, 1);
    queue.Add(File(single, "a", 1));
    const quint32 folderJob = queue.NewJob(tdDownload, 0, epSkipAll);
    TQueueItem folder = File(folderJob, "f", 0);
    folder.kind = ikFolder;
    queue.Add(folder);
    queue.Add(File(folderJob, "x", 1));
    const quint32 many = queue.NewJob(tdUpload, 3);
    EXPECT_FALSE(queue.JobSeveral(single));
    EXPECT_TRUE(queue.JobSeveral(folderJob)) << "a folder may hold many files";
    EXPECT_TRUE(queue.JobSeveral(many));
    EXPECT_EQ(queue.JobFileCount(folderJob), 1);
    EXPECT_EQ(queue.Policy(folderJob), epSkipAll);
    queue.SetPolicy(single, epOverwriteAll);
    EXPECT_EQ(queue.Policy(single), epOverwriteAll);
}

// source size, source time, target size, target time -> action per policy
TEST(ExistsPolicy, DecisionTable)
{
    struct Case {
        TExistsPolicy policy;
        TExistsFacts facts;
        TExistsAction action;
    };
    const Case cases[] = {
        {epAsk, {10, 5, 10, 5}, eaAsk},
        {epOverwriteAll, {10, 5, 10, 5}, eaOverwrite},
        {epSkipAll, {10, 9, 3, 5}, eaSkip},
        {epResumeAll, {10, -1, 4, -1}, eaResume},
        {epResumeAll, {10, -1, 10, -1}, eaSkip},      // whole already
        {epResumeAll, {10, -1, 12, -1}, eaOverwrite}, // longer than the source: not a part of it
        {epResumeAll, {0, -1, 12, -1}, eaResume},     // source size unknown
        {epOverwriteIfDifferent, {10, 5, 11, 5}, eaOverwrite},
        {epOverwriteIfDifferent, {10, 9, 10, 5}, eaOverwrite}, // newer
        {epOverwriteIfDifferent, {10, 5, 10, 9}, eaSkip},      // older, same size
        {epOverwriteIfDifferent, {10, -1, 10, 9}, eaSkip},     // no date: same size is enough
        {epOverwriteIfDifferent, {10, 5, 10, 5}, eaSkip},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DecideExists(c.policy, c.facts), c.action)
            << "policy " << int(c.policy) << " source " << c.facts.sourceSize << "@" << c.facts.sourceModified
            << " target " << c.facts.targetSize << "@" << c.facts.targetModified;

    struct AnswerCase {
        TExistsAnswer::TChoice choice;
        TExistsAction action;
        TExistsPolicy policy; // epAsk: the job's policy stays
    };
    const AnswerCase answers[] = {
        {TExistsAnswer::acResume, eaResume, epAsk},
        {TExistsAnswer::acOverwrite, eaOverwrite, epAsk},
        {TExistsAnswer::acRename, eaRename, epAsk},
        {TExistsAnswer::acCancel, eaSkip, epAsk},
        {TExistsAnswer::acOverwriteAll, eaOverwrite, epOverwriteAll},
        {TExistsAnswer::acResumeAll, eaResume, epResumeAll},
        {TExistsAnswer::acSkipAll, eaSkip, epSkipAll},
        {TExistsAnswer::acOverwriteIfDifferent, eaOverwrite, epOverwriteIfDifferent},
    };
    for (const AnswerCase& a : answers) {
        TExistsPolicy policy = epAsk;
        EXPECT_EQ(ApplyAnswer(a.choice, {10, 9, 4, 5}, &policy), a.action) << int(a.choice);
        EXPECT_EQ(policy, a.policy) << int(a.choice);
    }
}

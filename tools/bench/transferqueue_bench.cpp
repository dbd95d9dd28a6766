// The transfer queue's memory and the local walk's time.
// - Memory: the heap a queue of 100,000 upload items takes (the queue's rows,
//   items, jobs and the strings' headers), less the characters of the names
//   themselves, printed as "bytes per item" (goal: at most 300).
// - The walk of one folder of 10,000 and of 100,000 files into queue items,
//   next to a plain readdir + fstatat of the same folder (flat time per file).
#include "transfer/localwalker.h"
#include "transfer/transferqueue.h"

#include <QDir>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <dirent.h>
#include <fcntl.h>
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <map>

namespace {

constexpr int kItems = 100000;

void Fill(TTransferQueue& queue, qint64* nameBytes)
{
    const quint32 job = queue.NewJob(tdUpload, 0);
    for (int i = 0; i < kItems; ++i) {
        TQueueItem item;
        item.job = job;
        item.direction = tdUpload;
        item.localPath = QStringLiteral("/home/user/site/folder%1/file%2.html").arg(i / 1000).arg(i);
        item.remotePath = QStringLiteral("/www/site/folder%1/file%2.html").arg(i / 1000).arg(i);
        item.size = i;
        *nameBytes += (item.localPath.size() + item.remotePath.size()) * qint64(sizeof(QChar));
        queue.Add(std::move(item));
    }
}

void QueueMemory(benchmark::State& state)
{
    double perItem = 0;
    for (auto _ : state) {
        malloc_trim(0);
        const size_t before = mallinfo2().uordblks;
        qint64 nameBytes = 0;
        {
            TTransferQueue queue;
            Fill(queue, &nameBytes);
            const size_t after = mallinfo2().uordblks;
            perItem = double(qint64(after - before) - nameBytes) / kItems;
            benchmark::DoNotOptimize(queue.Totals());
        }
    }
    state.counters["bytes_per_item"] = perItem;
    std::printf("queue of %d items: %.1f bytes per item beside the names (goal <= 300)\n", kItems, perItem);
}
BENCHMARK(QueueMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

QTemporaryDir* Root()
{
    static QTemporaryDir root;
    return &root;
}

QString FolderOf(int count)
{
    static std::map<int, QString> made;
    const auto found = made.find(count);
    if (found != made.end())
        return found->second;
    const QString path = Root()->path() + QStringLiteral("/f%1").arg(count);
    QDir().mkpath(path);
    const QByteArray base = QFile::encodeName(path) + "/file";
    for (int i = 0; i < count; ++i) {
        const int fd = ::open((base + QByteArray::number(i)).constData(), O_CREAT | O_WRONLY, 0644);
        if (fd >= 0)
            ::close(fd);
    }
    made[count] = path;
    return path;
}

void Walk(benchmark::State& state)
{
    const QString folder = FolderOf(int(state.range(0)));
    for (auto _ : state) {
        TTransferQueue queue;
        TLocalWalker walker(queue, queue.NewJob(tdUpload, 0), 64);
        benchmark::DoNotOptimize(walker.Walk({folder}, QStringLiteral("/www")));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(Walk)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

void ReaddirBaseline(benchmark::State& state)
{
    const QByteArray folder = QFile::encodeName(FolderOf(int(state.range(0))));
    for (auto _ : state) {
        DIR* dir = ::opendir(folder.constData());
        qint64 total = 0;
        while (const dirent* d = ::readdir(dir)) {
            struct stat info {};
            ::fstatat(::dirfd(dir), d->d_name, &info, AT_SYMLINK_NOFOLLOW);
            total += info.st_size;
        }
        ::closedir(dir);
        benchmark::DoNotOptimize(total);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(ReaddirBaseline)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();

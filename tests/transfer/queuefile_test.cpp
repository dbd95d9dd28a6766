// The queue's file: what comes back, a crash while writing, damaged files.
#include "transfer/queuefile.h"

#include "core/utf8kept.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/resource.h>

namespace {

QString Word(const QString& key)
{
    return key == "@idVrstaPoskodovana" ? QStringLiteral("damaged: ") : key;
}

// A download job with a folder, a file in it and a failed file, plus a done
// file that is not kept; an upload job whose name is no valid UTF-8.
void Fill(TTransferQueue& queue, int extra = 0)
{
    const quint32 down = queue.NewJob(tdDownload, 0, epSkipAll);
    TQueueItem folder;
    folder.job = down;
    folder.kind = ikFolder;
    folder.remotePath = "/pub/mapa";
    folder.localPath = "/home/u/mapa";
    const quint32 folderId = queue.Add(folder);
    TQueueItem file = folder;
    file.kind = ikFile;
    file.parent = folderId;
    file.depth = 1;
    file.remotePath = "/pub/mapa/čšž a.txt";
    file.localPath = "/home/u/mapa/čšž a.txt";
    file.size = 5000;
    file.done = 1200;
    file.modified = 1700000000;
    queue.SetState(queue.Add(file), tsRunning);
    file.remotePath = "/pub/mapa/b";
    file.done = 0;
    queue.SetState(queue.Add(file), tsFailed, QStringLiteral("550 Permission denied"));
    queue.SetState(queue.Add(file), tsDone);
    const quint32 up = queue.NewJob(tdUpload, 1);
    TQueueItem upload;
    upload.job = up;
    upload.direction = tdUpload;
    upload.localPath = FromUtf8Kept("/tmp/\xff\xfe-raw");
    upload.remotePath = FromUtf8Kept("/in/\xff\xfe-raw");
    upload.size = 7;
    queue.Add(upload);
    for (int i = 0; i < extra; ++i) {
        upload.remotePath = QStringLiteral("/in/extra%1").arg(i);
        queue.Add(upload);
    }
}

} // namespace

TEST(QueueFile, UnfinishedItemsComeBackWithTheirJobsAndBytes)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("queue");
    TTransferQueue saved;
    Fill(saved);
    ASSERT_TRUE(TQueueFile::Save(saved, path));

    TTransferQueue loaded;
    const TQueueFile::TLoaded result = TQueueFile::Load(path, loaded, Word);
    EXPECT_FALSE(result.damaged);
    ASSERT_EQ(result.items, 4);
    ASSERT_EQ(loaded.Count(), 4);
    const TQueueItem& folder = loaded.At(0);
    const TQueueItem& running = loaded.At(1);
    const TQueueItem& failed = loaded.At(2);
    const TQueueItem& upload = loaded.At(3);
    EXPECT_EQ(folder.kind, ikFolder);
    EXPECT_EQ(running.parent, folder.id);
    EXPECT_EQ(running.state, tsWaiting) << "a running item waits after a load";
    EXPECT_EQ(running.remotePath, "/pub/mapa/čšž a.txt");
    EXPECT_EQ(running.done, 1200);
    EXPECT_EQ(running.size, 5000);
    EXPECT_EQ(running.modified, 1700000000);
    EXPECT_EQ(running.depth, 1);
    EXPECT_EQ(failed.state, tsFailed);
    EXPECT_EQ(failed.reason, "550 Permission denied");
    EXPECT_EQ(loaded.Policy(running.job), epSkipAll);
    EXPECT_EQ(upload.direction, tdUpload);
    EXPECT_EQ(ToUtf8Kept(upload.localPath), QByteArray("/tmp/\xff\xfe-raw"));
    EXPECT_NE(upload.job, running.job);
    EXPECT_FALSE(loaded.JobSeveral(upload.job));

    // Nothing unfinished: the file goes.
    TTransferQueue empty;
    ASSERT_TRUE(TQueueFile::Save(empty, path));
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_EQ(TQueueFile::Load(path, loaded, Word).items, 0);
}

TEST(QueueFile, ACrashWhileWritingLeavesTheOldFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("queue");
    TTransferQueue old;
    Fill(old);
    ASSERT_TRUE(TQueueFile::Save(old, path));
    const qint64 oldSize = QFileInfo(path).size();

    TTransferQueue bigger;
    Fill(bigger, 5000);
    // The child dies of SIGXFSZ at the first write past the limit, halfway through the new file.
    GTEST_FLAG_SET(death_test_style, "fast");
    const auto crash = [&] {
        const rlimit limit{rlim_t(oldSize + 4096), rlim_t(oldSize + 4096)};
        setrlimit(RLIMIT_FSIZE, &limit);
        TQueueFile::Save(bigger, path);
        std::exit(0);
    };
    EXPECT_EXIT(crash(), testing::KilledBySignal(SIGXFSZ), "");

    TTransferQueue loaded;
    const TQueueFile::TLoaded result = TQueueFile::Load(path, loaded, Word);
    EXPECT_FALSE(result.damaged);
    EXPECT_EQ(result.items, 4);
}

TEST(QueueFile, ADamagedFileIsSetAsideAndReported)
{
    TTransferQueue source;
    Fill(source);
    const QByteArray good = TQueueFile::Encode(source);
    QByteArray wrongLength = good;
    wrongLength[15] = char(wrongLength[15] + 1);
    QByteArray flipped = good;
    flipped[40] = char(flipped[40] ^ 0x20);
    struct Case {
        const char* what;
        QByteArray bytes;
    };
    const Case cases[] = {
        {"empty", QByteArray()},
        {"cut in the header", good.left(10)},
        {"cut in the items", good.left(good.size() / 2)},
        {"wrong magic", QByteArray("KVQUEUE9") + good.mid(8)},
        {"wrong length", wrongLength},
        {"a changed byte", flipped},
        {"garbage", QByteArray(3000, '\x7f')},
        {"extra bytes", good + "x"},
    };
    for (const Case& c : cases) {
        QTemporaryDir dir;
        const QString path = dir.filePath("queue");
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(c.bytes);
        file.close();
        TTransferQueue queue;
        const TQueueFile::TLoaded result = TQueueFile::Load(path, queue, Word);
        EXPECT_TRUE(result.damaged) << c.what;
        EXPECT_EQ(queue.Count(), 0) << c.what;
        EXPECT_EQ(result.setAside, path + ".damaged") << c.what;
        EXPECT_EQ(result.message, "damaged: " + path + ".damaged") << c.what;
        EXPECT_FALSE(QFile::exists(path)) << c.what;
    }

    // A checksum that matches values out of range: still refused before the queue changes.
    TTransferQueue queue;
    int items = 0;
    QByteArray payload = good.mid(16, good.size() - 32);
    payload[4] = char(9); // the first job's direction
    QByteArray forged = good.left(16) + payload;
    forged += QCryptographicHash::hash(payload, QCryptographicHash::Md5);
    EXPECT_FALSE(TQueueFile::Decode(forged, queue, &items));
    EXPECT_EQ(queue.Count(), 0);
    EXPECT_TRUE(TQueueFile::Decode(good, queue, &items));
    EXPECT_EQ(items, 4);
}

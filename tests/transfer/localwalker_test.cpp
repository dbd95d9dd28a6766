// The local walk of an upload: order, links, special files, unreadable and deep folders.
#include "transfer/localwalker.h"

#include "core/utf8kept.h"
#include "transferfixture.h"

#include <QDir>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Walked {
    TTransferQueue queue;
    QStringList lines;
    int files = 0;

    Walked(const QStringList& paths, const QString& remote, int maxDepth = 64)
    {
        TLocalWalker walker(queue, queue.NewJob(tdUpload, 0), maxDepth);
        walker.OnLog = [this](const QString& key, const QString& path) { lines << key + ' ' + path; };
        files = walker.Walk(paths, remote);
    }
    // "F /remote/path <- parent's remote path" per row.
    QStringList Rows() const
    {
        QStringList rows;
        for (int row = 0; row < queue.Count(); ++row) {
            const TQueueItem& item = queue.At(row);
            const TQueueItem* parent = item.parent ? queue.Find(item.parent) : nullptr;
            rows << QStringLiteral("%1 %2%3")
                        .arg(item.kind == ikFolder ? 'D' : 'F')
                        .arg(item.remotePath)
                        .arg(parent ? " <- " + parent->remotePath : QString());
        }
        return rows;
    }
};

// Under the path's own bytes (QFile would write "?" for a byte that is no UTF-8).
void Write(const QString& path, const QByteArray& bytes)
{
    const int fd = ::open(ToUtf8Kept(path).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(::write(fd, bytes.constData(), std::size_t(bytes.size())), bytes.size());
    ::close(fd);
}

} // namespace

TEST(LocalWalker, WalksATreeAndLeavesOutWhatIsNoFile)
{
    QTemporaryDir tmp;
    const QString top = tmp.filePath("site");
    QDir().mkpath(top + "/empty");
    QDir().mkpath(top + "/sub/deeper");
    Write(top + "/b.txt", "bbb");
    Write(top + "/a b.txt", "");
    Write(top + "/sub/x", "12345");
    Write(FromUtf8Kept(ToUtf8Kept(top) + "/sub/\xe8-raw"), "r");
    ASSERT_EQ(::symlink("b.txt", ToUtf8Kept(top + "/link-to-file").constData()), 0);
    ASSERT_EQ(::symlink("sub", ToUtf8Kept(top + "/link-to-folder").constData()), 0);
    ASSERT_EQ(::symlink("..", ToUtf8Kept(top + "/sub/loop").constData()), 0);
    ASSERT_EQ(::symlink("nowhere", ToUtf8Kept(top + "/dangling").constData()), 0);
    ASSERT_EQ(::mkfifo(ToUtf8Kept(top + "/fifo").constData(), 0600), 0);

    Walked w({top + "/", tmp.filePath("missing")}, "/www");
    EXPECT_EQ(w.Rows(), QStringList({
                            "D /www/site",
                            "F /www/site/a b.txt <- /www/site",
                            "F /www/site/b.txt <- /www/site",
                            "F /www/site/link-to-file <- /www/site",
                            "D /www/site/empty <- /www/site",
                            "D /www/site/sub <- /www/site",
                            "F /www/site/sub/x <- /www/site/sub",
                            "F /www/site/sub/" + FromUtf8Kept("\xe8") + "-raw <- /www/site/sub",
                            "D /www/site/sub/deeper <- /www/site/sub",
                        }));
    EXPECT_EQ(w.files, 5);
    const TQueueItem& link = w.queue.At(3);
    EXPECT_EQ(link.size, 3) << "a link to a file is sent as that file";
    EXPECT_EQ(link.localPath, top + "/link-to-file");
    EXPECT_EQ(w.queue.At(6).depth, 2);
    EXPECT_EQ(ToUtf8Kept(w.queue.At(7).localPath), ToUtf8Kept(top) + "/sub/\xe8-raw");
    w.lines.sort();
    EXPECT_EQ(w.lines, QStringList({
                           "@idVrstaNiBrati " + tmp.filePath("missing"),
                           "@idVrstaNiBrati " + top + "/dangling",
                           "@idVrstaPosebna " + top + "/fifo",
                           "@idVrstaPovezavaMapa " + top + "/link-to-folder",
                           "@idVrstaPovezavaMapa " + top + "/sub/loop",
                       }));
    ::unlink((ToUtf8Kept(top) + "/sub/\xe8-raw").constData()); // Qt cannot name it to remove it
}

TEST(LocalWalker, AnUnreadableFolderIsReportedAndTheRestGoesOn)
{
    QTemporaryDir tmp;
    ::chmod(ToUtf8Kept(tmp.path()).constData(), 0755);
    const QString top = tmp.filePath("t");
    QDir().mkpath(top + "/locked");
    QDir().mkpath(top + "/open");
    Write(top + "/locked/secret", "s");
    Write(top + "/open/f", "f");
    ::chmod(ToUtf8Kept(top + "/locked").constData(), 0);
    // Root reads every folder: the walk runs as nobody then.
    const uid_t user = ::geteuid();
    if (user == 0) {
        ASSERT_EQ(::seteuid(65534), 0);
    }
    Walked w({top}, "/");
    if (user == 0) {
        ASSERT_EQ(::seteuid(0), 0);
    }
    EXPECT_EQ(w.Rows(),
              QStringList({"D /t", "D /t/locked <- /t", "D /t/open <- /t", "F /t/open/f <- /t/open"}));
    EXPECT_EQ(w.lines, QStringList({"@idVrstaNiBrati " + top + "/locked"}));
    ::chmod(ToUtf8Kept(top + "/locked").constData(), 0755);
}

TEST(LocalWalker, StopsAtTheDepthLimit)
{
    QTemporaryDir tmp;
    QString path = tmp.filePath("d");
    for (int level = 0; level < 6; ++level)
        path += "/d";
    QDir().mkpath(path);
    Write(path + "/f", "f");
    Walked w({tmp.filePath("d")}, "/up", 4);
    ASSERT_EQ(w.queue.Count(), 4) << w.Rows().join('\n').toStdString();
    EXPECT_EQ(w.queue.At(3).remotePath, "/up/d/d/d/d");
    EXPECT_EQ(w.queue.At(3).depth, 3);
    EXPECT_EQ(w.lines, QStringList({"@idVrstaPregloboko " + tmp.filePath("d") + "/d/d/d/d"}));
}

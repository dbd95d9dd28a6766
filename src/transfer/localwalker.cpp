#include "transfer/localwalker.h"

#include "core/utf8kept.h"

#include <algorithm>
#include <memory>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

QString JoinRemote(const QString& folder, const QString& name)
{
    return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}

namespace {

QByteArray JoinLocal(const QByteArray& folder, const QByteArray& name)
{
    return folder.endsWith('/') ? folder + name : folder + '/' + name;
}

} // namespace

TLocalWalker::TLocalWalker(TTransferQueue& queue, quint32 job, int maxDepth)
    : m_queue(queue), m_job(job), m_maxDepth(maxDepth)
{
}

void TLocalWalker::log(const char* key, const QByteArray& path)
{
    if (OnLog)
        OnLog(QString::fromLatin1(key), FromUtf8Kept(path));
}

bool TLocalWalker::classify(int dirFd, const QByteArray& name, const QByteArray& path, TEntry& entry)
{
    struct stat info {};
    if (::fstatat(dirFd, name.constData(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
        log("@idVrstaNiBrati", path);
        return false;
    }
    if (S_ISLNK(info.st_mode)) {
        // A link is sent as the file it points to; a link to a folder is not followed.
        if (::fstatat(dirFd, name.constData(), &info, 0) != 0) {
            log("@idVrstaNiBrati", path);
            return false;
        }
        if (S_ISDIR(info.st_mode)) {
            log("@idVrstaPovezavaMapa", path);
            return false;
        }
    }
    if (!S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode)) {
        log("@idVrstaPosebna", path);
        return false;
    }
    entry.name = name.mid(name.lastIndexOf('/') + 1);
    entry.folder = S_ISDIR(info.st_mode);
    entry.size = entry.folder ? 0 : qint64(info.st_size);
    entry.modified = qint64(info.st_mtim.tv_sec);
    return true;
}

void TLocalWalker::add(const TEntry& entry, const QByteArray& localPath, const QString& remotePath,
                       quint32 parent, int depth)
{
    if (entry.folder && depth >= m_maxDepth) {
        log("@idVrstaPregloboko", localPath);
        return;
    }
    TQueueItem item;
    item.job = m_job;
    item.parent = parent;
    item.kind = entry.folder ? ikFolder : ikFile;
    item.direction = tdUpload;
    item.depth = depth;
    item.localPath = FromUtf8Kept(localPath);
    item.remotePath = remotePath;
    item.size = entry.size;
    item.modified = entry.modified;
    if (!entry.folder) {
        m_queue.Add(std::move(item));
        ++m_files;
        return;
    }
    walkFolder(localPath, remotePath, m_queue.Add(std::move(item)), depth + 1);
}

void TLocalWalker::walkFolder(const QByteArray& localPath, const QString& remotePath, quint32 parent,
                              int depth)
{
    // O_NOFOLLOW: a link put in the folder's place since it was looked at is not followed either.
    const int fd = ::open(localPath.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    std::unique_ptr<DIR, int (*)(DIR*)> dir(fd >= 0 ? ::fdopendir(fd) : nullptr, ::closedir);
    if (!dir) {
        if (fd >= 0)
            ::close(fd);
        log("@idVrstaNiBrati", localPath);
        return;
    }
    std::vector<TEntry> entries;
    while (const dirent* d = ::readdir(dir.get())) {
        const QByteArray name(d->d_name);
        if (name == "." || name == "..")
            continue;
        TEntry entry;
        if (classify(::dirfd(dir.get()), name, JoinLocal(localPath, name), entry))
            entries.push_back(std::move(entry));
    }
    dir.reset();
    std::sort(entries.begin(), entries.end(), [](const TEntry& a, const TEntry& b) {
        return a.folder != b.folder ? b.folder : a.name < b.name;
    });
    for (const TEntry& entry : entries)
        add(entry, JoinLocal(localPath, entry.name), JoinRemote(remotePath, FromUtf8Kept(entry.name)), parent,
            depth);
}

int TLocalWalker::Walk(const QStringList& localPaths, const QString& remoteFolder)
{
    m_files = 0;
    for (const QString& path : localPaths) {
        QByteArray bytes = ToUtf8Kept(path);
        while (bytes.size() > 1 && bytes.endsWith('/'))
            bytes.chop(1);
        TEntry entry;
        if (classify(AT_FDCWD, bytes, bytes, entry))
            add(entry, bytes, JoinRemote(remoteFolder, FromUtf8Kept(entry.name)), 0, 0);
    }
    return m_files;
}

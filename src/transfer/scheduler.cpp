#include "transfer/scheduler.h"

#include "core/utf8kept.h"
#include "ftp/prenos.h"
#include "transfer/connectionpool.h"
#include "transfer/localwalker.h"
#include "transfer/remotewalk.h"
#include "transfer/targetfolders.h"

#include <cerrno>

#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr qint64 kProgressEveryMs = 100;

QString FolderOf(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash <= 0 ? QStringLiteral("/") : path.left(slash);
}

QString NameOf(const QString& path)
{
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

// Makes a download's local folder; one that is there already is used when it
// is a folder itself (a link in its place could lead outside the target).
bool MakeLocalFolder(const QString& path, QString& reason)
{
    if (::mkdir(ToUtf8Kept(path).constData(), 0777) == 0)
        return true;
    int error = errno;
    struct stat info {};
    if (error == EEXIST) {
        if (LokalniPodatki(path, info, true) && S_ISDIR(info.st_mode))
            return true;
        error = ENOTDIR;
    }
    reason = qt_error_string(error);
    return false;
}

} // namespace

struct TScheduler::Impl {
    TScheduler& owner;
    TTransferQueue& queue;
    TConnectionPool pool;
    TRemoteWalk remote;
    TTargetFolders targets;
    bool paused = false; // Stop: nothing new until Start
    bool asking = false; // the file-exists question is open
    bool dispatching = false;
    bool ran = false; // an item ran since the last OnFinished

    Impl(TScheduler& scheduler, TTransferQueue& q) : owner(scheduler), queue(q), remote(q, kMaxDepth)
    {
        pool.OnCreated = [this](TConnection* c) { connect(c); };
        pool.OnReady = [this] { dispatch(); };
        pool.OnLost = [this](TConnection* c, const QString& reason) {
            queue.SetState(c->item, reason.isEmpty() ? tsWaiting : tsFailed, reason);
            c->item = 0;
        };
        pool.OnLog = [this](const QString& key, const QString& detail) { log(key, detail); };
        remote.OnLog = pool.OnLog;
    }

    QString word(const QString& key) const { return owner.Word ? owner.Word(key) : key; }
    void log(const QString& key, const QString& detail)
    {
        if (owner.OnLog)
            owner.OnLog(word(key) + detail);
    }

    void connect(TConnection* c)
    {
        c->session->OnListed = [c](TTransferSession*, const std::vector<TRemoteEntry>& entries) {
            c->listed.insert(c->listed.end(), entries.begin(), entries.end());
        };
        c->session->OnProgress = [this, c](TTransferSession*, qint64 bytes) { progress(c, bytes); };
        c->session->OnDone = [this, c](TTransferSession*, const TSessionResult& result) { done(c, result); };
    }

    bool parentDone(const TQueueItem& item) const
    {
        const TQueueItem* parent = item.parent ? queue.Find(item.parent) : nullptr;
        return !parent || parent->state == tsDone;
    }

    // Waiting items whose parent folder is done, up to limit; the first in *first.
    int startable(int limit, quint32* first = nullptr) const
    {
        int count = 0;
        for (int row = queue.FirstWaiting(0); row >= 0 && count < limit; row = queue.FirstWaiting(row + 1)) {
            const TQueueItem& item = queue.At(row);
            if (!parentDone(item))
                continue;
            if (first && count == 0)
                *first = item.id;
            ++count;
        }
        return count;
    }

    void dispatch()
    {
        if (asking || dispatching)
            return;
        dispatching = true;
        while (!paused && !asking) {
            const std::vector<TConnection*> free = pool.Free();
            quint32 id = 0;
            if (free.empty() || startable(1, &id) == 0)
                break;
            start(free.front(), id);
        }
        if (!paused && !asking)
            pool.Grow(startable(TScheduler::kMaxConnections));
        dispatching = false;
        finishedCheck();
    }

    void finishedCheck()
    {
        if (!ran || asking || dispatching || pool.Busy() || pool.Opening())
            return;
        ran = false;
        targets.Clear();
        remote.Clear();
        if (owner.OnFinished)
            owner.OnFinished();
    }

    void end(TConnection* c, TItemState state, const QString& reason = {})
    {
        const quint32 id = c->item;
        pool.Release(c);
        queue.SetState(id, state, reason);
    }

    void start(TConnection* c, quint32 id)
    {
        c->item = id;
        c->idle.stop();
        c->listed.clear();
        ran = true;
        queue.SetState(id, tsRunning);
        const TQueueItem& item = *queue.Find(id);
        if (item.kind == ikFolder && item.direction == tdDownload) {
            QString reason;
            if (!MakeLocalFolder(item.localPath, reason)) {
                log(QStringLiteral("@idVrstaMapaNeuspela"), item.localPath + QStringLiteral(": ") + reason);
                end(c, tsFailed, reason);
                return;
            }
            c->step = TConnection::stListFolder;
            c->session->List(item.remotePath);
        } else if (item.kind == ikFolder) {
            c->step = TConnection::stMakeFolder;
            c->session->MakeFolder(item.remotePath);
        } else if (item.direction == tdDownload) {
            downloadFile(c);
        } else {
            uploadFile(c);
        }
    }

    void downloadFile(TConnection* c)
    {
        const TQueueItem& item = *queue.Find(c->item);
        struct stat info {};
        if (!LokalniPodatki(item.localPath, info, true)) {
            transfer(c, 0, true);
            return;
        }
        const TExistsFacts facts{item.size, item.modified, qint64(info.st_size), qint64(info.st_mtim.tv_sec)};
        if (item.done > 0)
            resume(c, facts);
        else
            decide(c, facts);
    }

    void uploadFile(TConnection* c)
    {
        const TQueueItem& item = *queue.Find(c->item);
        const QString folder = FolderOf(item.remotePath);
        if (item.done > 0) {
            // The remote part's size, afresh.
            targets.Forget(item.job, folder);
            c->step = TConnection::stResumeList;
            c->session->List(folder);
        } else if (!targets.Known(item.job, folder)) {
            c->step = TConnection::stTargetList;
            c->session->List(folder);
        } else {
            uploadKnown(c, false);
        }
    }

    void uploadKnown(TConnection* c, bool asResume)
    {
        const TQueueItem& item = *queue.Find(c->item);
        // Selected files are compared ignoring case, as the described upload does; a folder's walk exactly.
        const auto target = targets.Find(item.job, FolderOf(item.remotePath), NameOf(item.remotePath),
                                         !queue.JobHasFolders(item.job));
        if (!target) {
            transfer(c, 0);
            return;
        }
        const TExistsFacts facts{item.size, item.modified, target->size, target->modified};
        if (asResume)
            resume(c, facts);
        else
            decide(c, facts);
    }

    // A part of our own on the target: resume it, or it is whole already.
    void resume(TConnection* c, const TExistsFacts& facts)
    {
        const TExistsAction action = DecideExists(epResumeAll, facts);
        if (action == eaSkip)
            end(c, tsDone);
        else
            act(c, action, facts);
    }

    void decide(TConnection* c, const TExistsFacts& facts)
    {
        const quint32 id = c->item;
        const quint32 job = queue.Find(id)->job;
        TExistsAction action = DecideExists(queue.Policy(job), facts);
        if (action != eaAsk) {
            act(c, action, facts);
            return;
        }
        TExistsQuestion question;
        question.item = queue.Find(id);
        question.targetSize = facts.targetSize;
        question.targetModified = facts.targetModified;
        question.several = queue.JobSeveral(job);
        asking = true;
        const TExistsAnswer answer = owner.OnAsk ? owner.OnAsk(question) : TExistsAnswer{};
        asking = false;
        // The event loop ran: the connection may have closed meanwhile (its item then failed).
        c = pool.WithItem(id);
        if (!c)
            return;
        if (!queue.Find(id)) {
            pool.Release(c);
            return;
        }
        TExistsPolicy policy = epAsk;
        action = ApplyAnswer(answer.choice, facts, &policy);
        if (policy != epAsk)
            queue.SetPolicy(job, policy);
        if (action == eaRename && !rename(c, answer.newName))
            return;
        act(c, action == eaRename ? eaOverwrite : action, facts);
    }

    bool rename(TConnection* c, const QString& name)
    {
        TQueueItem& item = *queue.Find(c->item);
        QString& path = item.direction == tdDownload ? item.localPath : item.remotePath;
        if (!IsSafeLocalName(name)) {
            log(QStringLiteral("@idVrstaNevarnoIme"), name);
            end(c, tsSkipped, word(QStringLiteral("@idVrstaNevarnoIme")) + name);
            return false;
        }
        path = JoinRemote(FolderOf(path), name);
        return true;
    }

    void act(TConnection* c, TExistsAction action, const TExistsFacts& facts)
    {
        switch (action) {
        case eaResume:
            transfer(c, facts.targetSize);
            break;
        case eaSkip:
            end(c, tsSkipped, word(QStringLiteral("@idVrstaPreskoceno")));
            break;
        default:
            transfer(c, 0);
            break;
        }
    }

    // A stopped or failed transfer: the item keeps the bytes on the target
    // side, so that Start or Retry resumes them. The queue hears of progress
    // only now and then, and a session may end before its last progress is
    // told: a download's own local file is measured instead. An empty file of
    // its own is no part: it goes, and the item starts afresh without a question.
    void keepPart(TConnection* c, const TQueueItem& item)
    {
        qint64 kept = c->bytes;
        struct stat info {};
        if (item.direction == tdDownload && (c->ownTarget || c->bytes > 0)) {
            const bool exists = LokalniPodatki(item.localPath, info, true);
            kept = exists ? qint64(info.st_size) : 0;
            if (exists && kept == 0 && c->ownTarget && S_ISREG(info.st_mode))
                ::unlink(ToUtf8Kept(item.localPath).constData());
        }
        queue.SetProgress(item.id, kept, 0);
    }

    // ownTarget: the local file of a download did not exist before (a resumed part is ours too).
    void transfer(TConnection* c, qint64 offset, bool ownTarget = false)
    {
        const TQueueItem& item = *queue.Find(c->item);
        c->offset = offset;
        c->bytes = offset;
        c->ownTarget = ownTarget || offset > 0;
        c->clock.start();
        c->reportedMs = -1;
        queue.SetProgress(item.id, offset, 0);
        if (item.direction == tdDownload) {
            c->step = TConnection::stFetch;
            c->session->Fetch(item.remotePath, item.localPath, offset, item.size);
        } else {
            c->step = TConnection::stSend;
            c->session->Send(item.localPath, item.remotePath, offset);
        }
    }

    void progress(TConnection* c, qint64 bytes)
    {
        if (!c->item)
            return;
        c->bytes = bytes;
        const qint64 elapsed = c->clock.elapsed();
        if (c->reportedMs >= 0 && elapsed - c->reportedMs < kProgressEveryMs)
            return;
        c->reportedMs = elapsed;
        queue.SetProgress(c->item, bytes, (bytes - c->offset) * 1000 / qMax<qint64>(1, elapsed));
    }

    void done(TConnection* c, const TSessionResult& result)
    {
        if (!c->item)
            return;
        const TQueueItem& item = *queue.Find(c->item);
        if (!result.ok && (c->step == TConnection::stFetch || c->step == TConnection::stSend))
            keepPart(c, item);
        if (result.stopped) {
            // A server may go on with a stopped transfer (one that keeps an
            // aborted RETR for its next data connection sends that file
            // there): a background connection is not used again after it.
            if (c->owned && (c->step == TConnection::stFetch || c->step == TConnection::stSend))
                c->retiring = true;
            end(c, tsWaiting); // its bytes stay: Start resumes it
        } else {
            switch (c->step) {
            case TConnection::stListFolder:
                if (result.ok)
                    remote.AddListing(item.id, c->listed);
                end(c, result.ok ? tsDone : tsFailed, result.reason);
                break;
            case TConnection::stMakeFolder:
                if (result.ok && !result.exists)
                    targets.SetEmpty(item.job, item.remotePath);
                end(c, result.ok ? tsDone : tsFailed, result.reason);
                break;
            case TConnection::stTargetList:
            case TConnection::stResumeList:
                // A folder that cannot be listed holds nothing known; the upload says why it fails.
                if (result.ok)
                    targets.SetListing(item.job, FolderOf(item.remotePath), c->listed);
                else
                    targets.SetEmpty(item.job, FolderOf(item.remotePath));
                c->listed.clear();
                uploadKnown(c, c->step == TConnection::stResumeList);
                break;
            case TConnection::stFetch:
            case TConnection::stSend:
                if (result.ok && item.direction == tdUpload)
                    targets.Put(item.job, FolderOf(item.remotePath), NameOf(item.remotePath),
                                {item.size, -1});
                if (result.ok)
                    pool.Unblock();
                end(c, result.ok ? tsDone : tsFailed, result.reason);
                break;
            case TConnection::stNone:
                break;
            }
        }
        dispatch();
    }
};

TScheduler::TScheduler(TTransferQueue& queue) : d(std::make_unique<Impl>(*this, queue))
{
    d->pool.SetIdleCloseMs(kIdleCloseMs);
}

TScheduler::~TScheduler() = default;

void TScheduler::SetBrowsingSession(TTransferSession* session)
{
    d->pool.SetBrowsing(session);
    d->dispatch();
}

void TScheduler::SetConnections(int count, TSessionFactory factory)
{
    d->pool.SetCount(count, std::move(factory));
    d->dispatch();
}

int TScheduler::Connections() const
{
    return d->pool.Count();
}

int TScheduler::Limit() const
{
    return d->pool.Count() == 0 ? 1 : d->pool.Limit();
}

void TScheduler::SetIdleCloseMs(int milliseconds)
{
    d->pool.SetIdleCloseMs(milliseconds);
}

quint32 TScheduler::Download(const std::vector<TRemoteEntry>& entries, const QString& remoteFolder,
                             const QString& localFolder)
{
    int files = 0;
    for (const TRemoteEntry& entry : entries)
        files += entry.kind == ekFile ? 1 : 0;
    const quint32 job = d->queue.NewJob(tdDownload, files);
    for (const TRemoteEntry& entry : entries)
        d->remote.AddTop(job, entry, remoteFolder, localFolder);
    d->dispatch();
    return job;
}

quint32 TScheduler::Upload(const QStringList& localPaths, const QString& remoteFolder,
                           const TRemoteListing* knownTarget)
{
    const quint32 job = d->queue.NewJob(tdUpload, 0);
    if (knownTarget && !knownTarget->Cut()) // a listing cut at its cap may miss names: listed afresh
        d->targets.SetListing(job, remoteFolder, *knownTarget);
    TLocalWalker walker(d->queue, job, kMaxDepth);
    walker.OnLog = d->pool.OnLog;
    walker.Walk(localPaths, remoteFolder);
    d->dispatch();
    return job;
}

void TScheduler::Start()
{
    d->paused = false;
    d->pool.Unblock();
    d->dispatch();
}

void TScheduler::StopAll()
{
    d->paused = true;
    for (const auto& c : d->pool.All())
        if (c->item)
            c->session->Stop();
}

void TScheduler::Stop(int row)
{
    d->paused = true;
    if (row < 0 || row >= d->queue.Count())
        return;
    if (TConnection* c = d->pool.WithItem(d->queue.At(row).id))
        c->session->Stop();
}

bool TScheduler::Busy() const
{
    return d->pool.Busy();
}

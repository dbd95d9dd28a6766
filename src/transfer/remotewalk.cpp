#include "transfer/remotewalk.h"

#include "transfer/existspolicy.h"
#include "transfer/localwalker.h"

#include <algorithm>

namespace {

// The same for the same entries in any order.
size_t Fingerprint(const std::vector<TRemoteEntry>& entries)
{
    std::vector<size_t> hashes;
    hashes.reserve(entries.size());
    for (const TRemoteEntry& entry : entries)
        hashes.push_back(qHashMulti(0, entry.name, int(entry.kind), entry.size));
    std::sort(hashes.begin(), hashes.end());
    return qHashRange(hashes.begin(), hashes.end());
}

} // namespace

void TRemoteWalk::log(const char* key, const QString& path)
{
    if (OnLog)
        OnLog(QString::fromLatin1(key), path);
}

bool TRemoteWalk::usable(const TRemoteEntry& entry, const QString& remotePath, int depth)
{
    if (entry.kind == ekParent)
        return false;
    if (!IsSafeLocalName(entry.name)) {
        log("@idVrstaNevarnoIme", remotePath);
        return false;
    }
    if (entry.kind == ekDirectory && depth >= m_maxDepth) {
        log("@idVrstaPregloboko", remotePath);
        return false;
    }
    return true;
}

quint32 TRemoteWalk::AddTop(quint32 job, const TRemoteEntry& entry, const QString& remoteFolder,
                            const QString& localFolder)
{
    const QString remotePath = JoinRemote(remoteFolder, entry.name);
    if (!usable(entry, remotePath, 0))
        return 0;
    TQueueItem item;
    item.job = job;
    item.kind = entry.kind == ekDirectory ? ikFolder : ikFile;
    item.direction = tdDownload;
    item.remotePath = remotePath;
    item.localPath = JoinRemote(localFolder, entry.name);
    item.size = entry.kind == ekFile ? entry.size : 0;
    item.modified = EntryModified(entry);
    return m_queue.Add(std::move(item));
}

int TRemoteWalk::AddListing(quint32 folderId, const std::vector<TRemoteEntry>& entries)
{
    const TQueueItem* folder = m_queue.Find(folderId);
    if (!folder)
        return 0;
    const size_t print = Fingerprint(entries);
    for (const TQueueItem* above = folder; above && above->parent; above = m_queue.Find(above->parent)) {
        const auto it = m_prints.constFind(above->parent);
        if (!entries.empty() && it != m_prints.constEnd() && *it == print) {
            log("@idVrstaZanka", folder->remotePath);
            return 0;
        }
    }
    m_prints.insert(folderId, print);
    // Copies: adding may not move items, but the folder's texts are needed after each Add.
    const QString remoteFolder = folder->remotePath;
    const QString localFolder = folder->localPath;
    const quint32 job = folder->job;
    const int depth = folder->depth + 1;
    int after = m_queue.RowOf(folderId);
    int added = 0;
    for (const TRemoteEntry& entry : entries) {
        const QString remotePath = JoinRemote(remoteFolder, entry.name);
        if (!usable(entry, remotePath, depth))
            continue;
        TQueueItem item;
        item.job = job;
        item.parent = folderId;
        item.kind = entry.kind == ekDirectory ? ikFolder : ikFile;
        item.direction = tdDownload;
        item.depth = depth;
        item.remotePath = remotePath;
        item.localPath = JoinRemote(localFolder, entry.name);
        item.size = entry.kind == ekFile ? entry.size : 0;
        item.modified = EntryModified(entry);
        m_queue.Add(std::move(item), after++); // right after the one before: rows stay unasked
        ++added;
    }
    return added;
}

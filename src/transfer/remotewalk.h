#pragma once
// TRemoteWalk: the download side of a folder walk. A remote folder item's
// listing becomes the items inside it, added right after it in listing order.
//
// Contract:
// - Synchronous, no events besides OnLog(key, path) for what is left out: the
//   parent entry and ".", names with "/" or NUL and any other name unsafe as a
//   local name (nothing is ever written outside the folder's local copy), a
//   folder kMaxDepth levels below the job's top, and a listing that repeats
//   the listing of a folder above it (a server that lists a folder as holding
//   itself, or a link back up): that folder is not walked again.
// - Forget drops what it remembers of a job's listings (when the queue is idle).
#include "ftp/remotelisting.h"
#include "transfer/transferqueue.h"

#include <QHash>
#include <QString>

#include <functional>
#include <vector>

class TRemoteWalk {
public:
    TRemoteWalk(TTransferQueue& queue, int maxDepth) : m_queue(queue), m_maxDepth(maxDepth) {}

    // Adds the entries of a listed folder item; returns the items added.
    int AddListing(quint32 folderId, const std::vector<TRemoteEntry>& entries);
    // The item of one selected remote entry of a download job (depth 0); 0 when left out.
    quint32 AddTop(quint32 job, const TRemoteEntry& entry, const QString& remoteFolder,
                   const QString& localFolder);
    void Clear() { m_prints.clear(); }

    std::function<void(const QString& key, const QString& path)> OnLog;

private:
    bool usable(const TRemoteEntry& entry, const QString& remotePath, int depth);
    void log(const char* key, const QString& path);

    TTransferQueue& m_queue;
    int m_maxDepth;
    QHash<quint32, size_t> m_prints; // folder item -> its listing's fingerprint
};

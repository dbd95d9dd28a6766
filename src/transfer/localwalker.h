#pragma once
// TLocalWalker: turns a selection of local paths into the items of an upload
// job. A folder becomes a folder item (make the folder on the server) followed
// by the items inside it (its files first, then its folders, each by name);
// an empty folder still makes its folder item.
//
// Contract:
// - Synchronous, on the caller's thread; Walk adds to the queue as it goes
//   (each item right after the last one) and returns the number of files
//   added. Time and memory grow linearly with the entries walked.
// - Names keep their bytes: a local name is read as bytes and carried with
//   FromUtf8Kept, the remote path is the remote folder and the same name.
// - A link to a folder is not followed (line), a link to a file is sent as the
//   file it points to, a dangling link, a socket, a FIFO or a device is skipped
//   with a line, an unreadable folder gets a line and the walk goes on; a
//   folder maxDepth levels below the selection is not walked (line).
// - OnLog(key, path): key names the word of the line, path is what it is about.
#include "transfer/transferqueue.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>

class TLocalWalker {
public:
    TLocalWalker(TTransferQueue& queue, quint32 job, int maxDepth);

    int Walk(const QStringList& localPaths, const QString& remoteFolder);

    std::function<void(const QString& key, const QString& path)> OnLog;

private:
    struct TEntry {
        QByteArray name;
        bool folder = false;
        qint64 size = 0;
        qint64 modified = -1;
    };
    // Whether the entry at path (name within dirFd, or an absolute path with
    // dirFd AT_FDCWD) is sent: fills entry, logs why not.
    bool classify(int dirFd, const QByteArray& name, const QByteArray& path, TEntry& entry);
    void add(const TEntry& entry, const QByteArray& localPath, const QString& remotePath, quint32 parent,
             int depth);
    void walkFolder(const QByteArray& localPath, const QString& remotePath, quint32 parent, int depth);
    void log(const char* key, const QByteArray& path);

    TTransferQueue& m_queue;
    quint32 m_job;
    int m_maxDepth;
    int m_files = 0;
};

// A remote folder and a name in it, joined by one "/".
QString JoinRemote(const QString& folder, const QString& name);

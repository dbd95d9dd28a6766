#pragma once
// Shared fixtures of the transfer tests: a fake server (an in-memory remote
// tree) and fake sessions on it that answer every operation from the event
// loop, moving files in chunks so that a test can hold, stop or cut them
// halfway (the local tree helpers are in localtree.h).
#include "localtree.h"
#include "transfer/transfersession.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <map>
#include <optional>
#include <ostream>
#include <set>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// Readable QStrings in failure messages.
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

class FakeSession;

struct FakeServer {
    struct Node {
        bool folder = false;
        QByteArray bytes;
    };
    std::map<QString, Node> tree{{QStringLiteral("/"), {true, {}}}};
    int maxConnections = 100; // more are refused as too many
    bool down = false;        // connections fail to open
    bool hold = false;        // transfers wait after their first chunk
    int chunk = 4096;
    QStringList ops; // every operation begun, in order ("RETR /a", "STOR@5 /b", ...)
    int refusedTooMany = 0;
    int mostAtOnce = 0;
    std::set<FakeSession*> sessions;
    std::set<FakeSession*> held;
    // A hostile server's listing of a folder, instead of the tree's.
    std::function<std::optional<std::vector<TRemoteEntry>>(const QString& folder)> listing;

    void AddFolder(const QString& path) { tree[path] = {true, {}}; }
    void AddFile(const QString& path, const QByteArray& bytes) { tree[path] = {false, bytes}; }
    bool IsFolder(const QString& path) const
    {
        const auto it = tree.find(path);
        return it != tree.end() && it->second.folder;
    }
    static QString Parent(const QString& path)
    {
        const qsizetype slash = path.lastIndexOf('/');
        return slash <= 0 ? QStringLiteral("/") : path.left(slash);
    }
    std::vector<TRemoteEntry> List(const QString& folder) const
    {
        std::vector<TRemoteEntry> entries;
        for (const auto& [path, node] : tree)
            if (path != "/" && Parent(path) == folder) {
                TRemoteEntry entry;
                entry.name = path.mid(path.lastIndexOf('/') + 1);
                entry.kind = node.folder ? ekDirectory : ekFile;
                entry.size = node.bytes.size();
                entries.push_back(entry);
            }
        return entries;
    }
    // The files and folders below a folder, by their path relative to it.
    std::map<QByteArray, QByteArray> Below(const QString& top) const
    {
        std::map<QByteArray, QByteArray> below;
        for (const auto& [path, node] : tree)
            if (path.startsWith(top + '/'))
                below[ToUtf8Kept(path.mid(top.size()))] = node.folder ? QByteArray("<folder>") : node.bytes;
        return below;
    }
    int Count(const QString& prefix) const
    {
        return int(
            std::count_if(ops.begin(), ops.end(), [&](const QString& op) { return op.startsWith(prefix); }));
    }
    void Kill(); // every connection ends: running operations fail, then the sessions close
    void Release();
};

class FakeSession : public TTransferSession {
public:
    FakeSession(FakeServer& server, QString name) : m_server(server), m_name(std::move(name)) {}
    ~FakeSession() override { m_server.sessions.erase(this), m_server.held.erase(this); }

    QString Name() const override { return m_name; }
    bool Connected() const override { return m_connected; }
    bool Idle() const override { return m_connected && !m_busy; }

    void Open() override
    {
        later([this] {
            if (m_connected && m_busy) {
                m_readyWhenIdle = true;
            } else if (m_connected) {
                if (OnReady)
                    OnReady(this);
            } else if (m_server.down) {
                if (OnClosed)
                    OnClosed(this, QStringLiteral("Connection refused"), false);
            } else if (int(m_server.sessions.size()) >= m_server.maxConnections) {
                ++m_server.refusedTooMany;
                if (OnClosed)
                    OnClosed(this, QStringLiteral("421 Too many connections"), true);
            } else {
                m_connected = true;
                m_server.sessions.insert(this);
                m_server.mostAtOnce = qMax(m_server.mostAtOnce, int(m_server.sessions.size()));
                if (OnReady)
                    OnReady(this);
            }
        });
    }
    void Close() override
    {
        m_connected = m_busy = false;
        m_server.sessions.erase(this);
        m_server.held.erase(this);
        m_context = std::make_unique<QObject>(); // nothing posted fires any more
    }

    void List(const QString& folder) override
    {
        begin("LIST " + folder);
        later([this, folder] {
            std::optional<std::vector<TRemoteEntry>> entries;
            if (m_server.listing)
                entries = m_server.listing(folder);
            if (!entries && !m_server.IsFolder(folder))
                return finish(false, QStringLiteral("550 No such folder"));
            if (OnListed)
                OnListed(this, entries ? *entries : m_server.List(folder));
            finish(true);
        });
    }
    void MakeFolder(const QString& folder) override
    {
        begin("MKD " + folder);
        later([this, folder] {
            if (m_server.tree.count(folder))
                return finish(m_server.IsFolder(folder), QStringLiteral("550 Exists"), true);
            if (!m_server.IsFolder(FakeServer::Parent(folder)))
                return finish(false, QStringLiteral("550 No parent"));
            m_server.AddFolder(folder);
            finish(true);
        });
    }
    void Fetch(const QString& remotePath, const QString& localPath, qint64 offset, qint64) override
    {
        begin(
            QStringLiteral("RETR%1 %2").arg(offset ? "@" + QString::number(offset) : QString(), remotePath));
        later([this, remotePath, localPath, offset] {
            const auto it = m_server.tree.find(remotePath);
            if (it == m_server.tree.end() || it->second.folder)
                return finish(false, QStringLiteral("550 No such file"));
            m_fd =
                ::open(ToUtf8Kept(localPath).constData(), O_WRONLY | O_CREAT | (offset ? 0 : O_TRUNC), 0644);
            if (m_fd < 0 || ::lseek(m_fd, 0, SEEK_END) != offset)
                return finish(false, QStringLiteral("Cannot write ") + localPath);
            m_source = it->second.bytes;
            m_position = offset;
            m_target = nullptr;
            step();
        });
    }
    void Send(const QString& localPath, const QString& remotePath, qint64 offset) override
    {
        begin(
            QStringLiteral("STOR%1 %2").arg(offset ? "@" + QString::number(offset) : QString(), remotePath));
        later([this, localPath, remotePath, offset] {
            QByteArray bytes;
            if (!ReadLocal(localPath, bytes))
                return finish(false, QStringLiteral("Cannot read ") + localPath);
            if (!m_server.IsFolder(FakeServer::Parent(remotePath)) || m_server.IsFolder(remotePath))
                return finish(false, QStringLiteral("553 Cannot store"));
            FakeServer::Node& node = m_server.tree[remotePath];
            if (offset > node.bytes.size())
                return finish(false, QStringLiteral("554 Bad offset"));
            node.bytes.truncate(offset);
            m_source = bytes;
            m_position = offset;
            m_target = &node.bytes;
            m_targetPath = remotePath;
            step();
        });
    }
    void Stop() override
    {
        if (m_busy)
            m_stopped = true;
        if (m_server.held.erase(this))
            later([this] { step(); });
    }

    // The server ends this connection: a running operation fails first.
    void Drop()
    {
        m_server.held.erase(this);
        m_context = std::make_unique<QObject>();
        m_connected = false;
        m_server.sessions.erase(this);
        if (m_busy)
            finish(false, QStringLiteral("Connection lost"));
        if (OnClosed)
            OnClosed(this, QStringLiteral("Connection lost"), false);
    }
    void Step() { step(); }

    static bool ReadLocal(const QString& path, QByteArray& bytes) { return ReadLocalFile(path, bytes); }

private:
    void later(std::function<void()> call) { QTimer::singleShot(0, m_context.get(), std::move(call)); }
    void begin(const QString& op)
    {
        m_busy = true;
        m_stopped = false;
        m_server.ops << op;
    }
    void step()
    {
        if (m_stopped)
            return finish(false, QStringLiteral("426 Stopped"));
        if (m_server.hold && m_position > 0 && m_position < m_source.size()) {
            m_server.held.insert(this);
            return;
        }
        const QByteArray part = m_source.mid(m_position, m_server.chunk);
        if (m_target) {
            m_target->append(part);
        } else if (::write(m_fd, part.constData(), std::size_t(part.size())) != part.size()) {
            return finish(false, QStringLiteral("Write failed"));
        }
        m_position += part.size();
        if (!part.isEmpty())
            if (OnProgress)
                OnProgress(this, m_position);
        if (m_position >= m_source.size())
            return finish(true);
        later([this] { step(); });
    }
    void finish(bool ok, const QString& reason = {}, bool exists = false)
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
        m_busy = false;
        TSessionResult result;
        result.ok = ok;
        result.stopped = m_stopped && !ok;
        result.exists = exists && ok;
        result.reason = ok ? QString() : reason;
        m_stopped = false;
        if (OnDone)
            OnDone(this, result);
        if (m_readyWhenIdle && Idle()) {
            m_readyWhenIdle = false;
            later([this] {
                if (OnReady)
                    OnReady(this);
            });
        }
    }

    FakeServer& m_server;
    QString m_name;
    bool m_connected = false, m_busy = false, m_stopped = false;
    bool m_readyWhenIdle = false; // Open() came while busy: OnReady once idle
    std::unique_ptr<QObject> m_context = std::make_unique<QObject>();
    QByteArray m_source;
    qint64 m_position = 0;
    QByteArray* m_target = nullptr; // an upload's remote bytes; a download writes m_fd
    QString m_targetPath;
    int m_fd = -1;
};

inline void FakeServer::Kill()
{
    const std::set<FakeSession*> all = sessions;
    for (FakeSession* session : all)
        if (sessions.count(session))
            session->Drop();
}

inline void FakeServer::Release()
{
    hold = false;
    const std::set<FakeSession*> all = held;
    held.clear();
    for (FakeSession* session : all)
        QTimer::singleShot(0, [session, this] {
            if (sessions.count(session))
                session->Step();
        });
}

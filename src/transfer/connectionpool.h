#pragma once
// TConnectionPool: the sessions that carry the queue's items out. In the
// session (count 0) it holds the browsing session alone; in the background it
// opens 1..count connections of its own from a factory, lazily, and closes
// each after an idle time.
//
// Contract:
// - Everything runs on the UI thread. The pool sets each session's OnReady
//   and OnClosed; its owner sets the operation events in OnCreated.
// - Grow opens connections (never from inside an event, their OnReady comes
//   later); OnReady fires when a connection can take an item, and after a
//   connection closed. A connection that closes with an item fires OnLost
//   with the reason (empty after a refusal as one too many: the item is then
//   no failure) before it is dropped; the session object is destroyed later
//   from the event loop, never inside its own event.
// - A refusal as one too many lowers the limit to the connections still open
//   (at least 1) for the rest of the run; a connection that fails to open, or
//   is refused with no other open, blocks growing until Unblock.
// - A free background connection closes after the idle time; the browsing
//   session is never closed or destroyed by the pool.
#include "transfer/transfersession.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>
#include <vector>

struct TConnection {
    enum TStep : quint8 { stNone, stListFolder, stMakeFolder, stTargetList, stResumeList, stFetch, stSend };
    TTransferSession* session = nullptr;
    std::unique_ptr<TTransferSession> owned; // background connections
    int index = 0;                           // 1..10 in the background, 0 the browsing session
    bool ready = false;                      // logged in
    bool opening = false;                    // Open() asked, OnReady or OnClosed to come
    bool retiring = false;                   // closes when its item ends
    quint32 item = 0;                        // the item it serves, 0 none
    TStep step = stNone;
    qint64 offset = 0;                // a transfer's resume offset
    qint64 bytes = 0;                 // the latest byte count its transfer reported
    bool ownTarget = false;           // the transfer writes a local file that is the queue's own
    std::vector<TRemoteEntry> listed; // a listing's entries so far
    QElapsedTimer clock;              // since the transfer began
    qint64 reportedMs = -1;           // progress last given to the queue
    QTimer idle;
};

class TConnectionPool {
public:
    using TSessionFactory = std::function<std::unique_ptr<TTransferSession>(int index)>;

    TConnectionPool();
    ~TConnectionPool();

    void SetBrowsing(TTransferSession* session);
    void SetCount(int count, TSessionFactory factory);
    int Count() const { return m_count; }
    int Limit() const { return m_limit; }
    void SetIdleCloseMs(int milliseconds); // idle connections count from now with it

    // Connections that can take an item now. A browsing session busy with the
    // user's command is asked to report when it is idle.
    std::vector<TConnection*> Free();
    // Opens up to wanted more background connections within the limit (those
    // opening already count towards wanted).
    void Grow(int wanted);
    void Unblock() { m_blocked = false; }
    // The item ended: the connection closes if it retires, else idles.
    void Release(TConnection* connection);
    TConnection* WithItem(quint32 item) const;
    TConnection* Of(TTransferSession* session) const;
    bool Busy() const;    // a connection serves an item
    bool Opening() const; // a connection is being opened, or the browsing one awaited
    const std::vector<std::unique_ptr<TConnection>>& All() const { return m_connections; }

    std::function<void(TConnection* connection)> OnCreated;
    std::function<void()> OnReady;
    std::function<void(TConnection* connection, const QString& reason)> OnLost;
    std::function<void(const QString& key, const QString& detail)> OnLog;

private:
    TConnection* add(TTransferSession* session, std::unique_ptr<TTransferSession> owned, int index);
    void drop(TConnection* connection);
    void closed(TTransferSession* session, const QString& reason, bool tooMany);
    int alive() const;

    std::vector<std::unique_ptr<TConnection>> m_connections;
    std::vector<std::unique_ptr<TConnection>> m_dropped; // destroyed from the event loop
    QObject m_context;                                   // ends pending calls with the pool
    TTransferSession* m_browsing = nullptr;
    TSessionFactory m_factory;
    int m_count = 0;
    int m_limit = 0;
    int m_idleMs = 30000;
    bool m_blocked = false;
};

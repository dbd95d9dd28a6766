#pragma once
// TScheduler: carries the queue's items out through sessions. In the
// session (the described default) the browsing session serves the items one
// at a time; in the background 1 to 10 connections of their own do, opened
// when there is work, closed after 30 s without it.
//
// Contract:
// - Everything runs on the UI thread. Download and Upload add one job and
//   start it; the walk of a local folder happens inside Upload (links to
//   folders are not followed, sockets, FIFOs and devices are skipped with a log
//   line, an unreadable folder is logged and the rest goes on, depth stops at
//   kMaxDepth with a line); a remote folder is listed by a session when its
//   folder item runs, and its entries are added right after it (".", "..",
//   names with "/" or unsafe as local names are left out with a log line; a
//   folder listed inside itself is not walked twice).
// - A file that exists on the target side is put to the job's policy; with
//   epAsk, OnAsk is called (modally: the event loop runs inside it; the
//   scheduler starts nothing for that item meanwhile). An answer "for all"
//   becomes the job's policy.
// - An item's verdict comes from its session's OnDone; the queue only records
//   it. A connection that ends fails its running item with the reason; the
//   other items wait. A server that refuses a connection as one too many
//   lowers the count of connections for the rest of the run.
// - OnFinished fires when nothing waits or runs any more after a job ran
//   (the window refreshes its panes there); also when the rest waits and
//   cannot start now (stopped, blocked by a failed folder, no connection).
// - Sessions: in the session the browsing session serves one item at a time;
//   when it is busy with the user's own command, the scheduler calls its
//   Open() and goes on at its OnReady. In the background a connection opens
//   when an item can start and none is free (up to the count), and closes
//   after IdleCloseMs without work. A connection that fails to open (not as
//   one too many) opens none again until Start or until an item succeeds.
// - Stop and StopAll end the running items through their sessions: the
//   partial files stay, the items wait again keeping their bytes (so Start
//   resumes them), and nothing new starts until Start.
// - An item whose bytes done are above 0 (stopped, or failed and retried)
//   starts as a resume of the part on the target without a question: a
//   download from the local file's size, an upload from the size the remote
//   folder's fresh listing gives; a part as long as the source is done, a
//   longer one is overwritten.
// - Log lines and reasons are texts of the word table through Word (the key
//   itself when Word is not set).
#include "transfer/existspolicy.h"
#include "transfer/transferqueue.h"
#include "transfer/transfersession.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

class TRemoteListing;

class TScheduler {
public:
    static constexpr int kMaxDepth = 64;
    static constexpr int kMaxConnections = 10;
    static constexpr int kIdleCloseMs = 30000;

    using TSessionFactory = std::function<std::unique_ptr<TTransferSession>(int index)>;

    explicit TScheduler(TTransferQueue& queue);
    ~TScheduler();

    // The browsing session (serves the items in the session mode); nullptr when
    // none. It must outlive the scheduler or be replaced here before it goes.
    void SetBrowsingSession(TTransferSession* session);
    // 0: in the browsing session; 1..10: background connections made by factory.
    void SetConnections(int count, TSessionFactory factory);
    int Connections() const;

    // Jobs the window asks for. entries: the remote pane's selected entries.
    quint32 Download(const std::vector<TRemoteEntry>& entries, const QString& remoteFolder,
                     const QString& localFolder);
    // knownTarget: the listing of remoteFolder when the window has it (no listing
    // is then needed, unless it was cut at its cap). In the session, passing it
    // keeps the described wire sequence of an upload of selected files.
    quint32 Upload(const QStringList& localPaths, const QString& remoteFolder,
                   const TRemoteListing* knownTarget);

    void Start(); // runs what waits (after a load or a retry)
    void StopAll();
    void Stop(int row);
    bool Busy() const; // an item is running
    // The connections used now: the count set, lowered by servers that refused more.
    int Limit() const;
    void SetIdleCloseMs(int milliseconds);

    std::function<TExistsAnswer(const TExistsQuestion&)> OnAsk;
    std::function<void(const QString& line)> OnLog; // status lines for the session log
    std::function<void()> OnFinished;
    std::function<QString(const QString& key)> Word;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

#pragma once
// TTransferQueue: every transfer the user asks for, as items of one queue,
// and the jobs they belong to. It records; TScheduler carries the items out
// through sessions, and TQueueFile keeps unfinished items across runs.
//
// Contract:
// - Everything runs on the UI thread. Rows are the queue's order; an item
//   keeps its id for its whole life (rows move, ids do not).
// - A job is one request of the user (F5 on a selection, a drop): its items
//   share one answer to the file-exists question ("for all" choices) and a
//   job of one file asks exactly the described question.
// - Items of a folder job: a folder item (make the folder on the target side;
//   a remote folder to download is listed by the scheduler, which then adds its
//   entries after it) comes before everything inside it, and an item starts
//   only once its parent folder item is done.
// - Events fire after the change, synchronously; a handler may read the queue
//   but must not change it from inside OnInserted/OnRemoved/OnChanged (a model
//   re-reads rows there).
// - Remove fires OnRemoved once per run of adjacent removed rows, the lowest
//   run last, with the rows as they were before (so a model that drops each
//   range in turn stays right); Add fires OnInserted(row, row).
// - References from At and pointers from Find stay valid while items are added,
//   changed or moved; Remove and Clear invalidate them.
// - A skipped file counts as settled in the totals (its bytes as done); time
//   left is the bytes of waiting and running files still to move at the speed
//   of the running ones.
// - Names keep their exact bytes: remote paths as the session's encoding rules
//   give them, local paths as the engine writes them.
#include <QString>
#include <QtGlobal>

#include <climits>

#include <deque>
#include <functional>
#include <vector>

enum TDirection : quint8 { tdDownload = 0, tdUpload = 1 };
enum TItemKind : quint8 { ikFile = 0, ikFolder = 1 };
enum TItemState : quint8 { tsWaiting = 0, tsRunning = 1, tsDone = 2, tsFailed = 3, tsSkipped = 4 };

// What a job does with a file that exists on the target side.
enum TExistsPolicy : quint8 {
    epAsk = 0,              // ask (the described dialog for a job of one file)
    epOverwriteAll,         // overwrite every one
    epResumeAll,            // resume every one (a target larger than the source is overwritten)
    epSkipAll,              // skip every one
    epOverwriteIfDifferent, // overwrite when the source is newer or of another size, else skip
};

struct TQueueItem {
    quint32 id = 0;
    quint32 job = 0;
    quint32 parent = 0; // the folder item that must be done first, 0 none
    TItemKind kind = ikFile;
    TDirection direction = tdDownload;
    TItemState state = tsWaiting;
    int depth = 0;        // folders below the job's top
    QString localPath;    // absolute
    QString remotePath;   // absolute
    qint64 size = 0;      // the source's size (files), 0 unknown
    qint64 done = 0;      // bytes on the target side so far
    qint64 modified = -1; // the source's modification time, seconds since 1970 UTC, -1 unknown
    qint64 speed = 0;     // bytes per second while running
    QString reason;       // why it failed, or why it was skipped
    QString Name() const; // the last part of the source path
};

// Sums over the queue for the status area.
struct TQueueTotals {
    int files = 0, filesDone = 0, failed = 0, running = 0;
    qint64 bytes = 0, bytesDone = 0;
    qint64 speed = 0;        // bytes per second of all running items
    qint64 secondsLeft = -1; // -1 unknown
};

class TTransferQueue {
public:
    TTransferQueue();
    ~TTransferQueue();

    // A new job; returns its id. Its items are added with Add. fileCount: the
    // files the request names when known (0 when a folder's walk finds them).
    quint32 NewJob(TDirection direction, int fileCount, TExistsPolicy policy = epAsk);
    TExistsPolicy Policy(quint32 job) const;
    void SetPolicy(quint32 job, TExistsPolicy policy);
    // The larger of fileCount and the file items added to the job (1: the described question).
    int JobFileCount(quint32 job) const;
    // The job has more than one file or any folder: "for all" choices are offered.
    bool JobSeveral(quint32 job) const;
    bool JobHasFolders(quint32 job) const;

    // Appends an item (its id is given here) after the last row, or right after
    // row `after` (a listed folder's entries follow it). Returns the id.
    quint32 Add(TQueueItem item, int after = -1);
    int Count() const;
    const TQueueItem& At(int row) const;
    int RowOf(quint32 id) const; // -1 when gone
    TQueueItem* Find(quint32 id);
    const TQueueItem* Find(quint32 id) const;
    // The first row at or after from whose item waits; -1 when none. Amortised
    // constant over a run: rows known not to wait are not looked at again.
    int FirstWaiting(int from = 0) const;

    // Changes by the scheduler (each fires OnChanged).
    void SetState(quint32 id, TItemState state, const QString& reason = {});
    void SetProgress(quint32 id, qint64 done, qint64 speed);

    // The user's commands on rows.
    void Remove(const std::vector<int>& rows); // running items are not removed
    void MoveUp(int row);
    void MoveDown(int row);
    void Retry(int row); // failed or skipped: waiting again (a part on the target resumes)
    void Clear();        // every item that is not running

    TQueueTotals Totals() const;
    bool Empty() const { return Count() == 0; }
    bool Unfinished() const; // any item waiting, running or failed

    std::function<void(int first, int last)> OnInserted;
    std::function<void(int first, int last)> OnRemoved;
    std::function<void(int row)> OnChanged;
    std::function<void()> OnMoved; // rows changed order

private:
    struct TSlot {
        TQueueItem item;
        mutable int row = 0; // its row, unless row >= m_staleFrom (then renumbered first)
    };
    struct TJob {
        TDirection direction = tdDownload;
        TExistsPolicy policy = epAsk;
        int declared = 0, files = 0, folders = 0;
    };
    int slotOf(quint32 id) const; // -1 when gone
    void account(const TQueueItem& item, int sign);
    void renumber(int fromRow) const;
    int rowOf(const TSlot& slot) const;
    void lowerWaitingHint(int row) const;

    std::deque<TSlot> m_slots;   // ascending ids; a deque keeps references valid while it grows
    std::vector<quint32> m_rows; // row -> index into m_slots
    std::vector<TJob> m_jobs;    // job id - 1
    quint32 m_nextId = 0;
    TQueueTotals m_totals;         // kept up to date by account()
    qint64 m_bytesLeft = 0;        // of waiting and running files
    int m_unfinished = 0;          // items waiting, running or failed
    mutable int m_waitingFrom = 0; // no row before it waits
    // Rows stored in slots from this row on may be out of date: items added
    // in the middle renumber the rows after them once, when a row is asked.
    mutable int m_staleFrom = INT_MAX;
};

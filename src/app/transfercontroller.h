#pragma once
// TTransferController: the window's side of the transfer queue. It owns the
// queue and its scheduler, routes the user's transfer commands, makes the
// background connections, answers the scheduler's questions through the
// window, and keeps unfinished items across runs in the queue file.
//
// Routing (the described behaviour stays the default):
// - In the session (0 background connections), a selection of files only is
//   carried out by the described engine commands (Pla1PrenesiClick,
//   Pla2PrenesiClick), byte for byte as ever; the engine reports those
//   transfers and they are recorded in the queue as items of a job.
// - A selection that holds a folder, any drop, and every transfer when
//   background connections are set go to the scheduler as one job.
// - Background connections are engines of their own with the browsing
//   session's parameters, named "2", "3", ...; their log lines go to the
//   session log with that name before them, so one log tells the whole story
//   of a connection's commands in the order they happened, and the log file
//   keeps them. Their certificate question is the window's (the same trust
//   file, the same dialog).
//
// Contract:
// - Everything runs on the UI thread. The file-exists question (Ask) is
//   modal. OnFinished of the scheduler refreshes the local pane and, when
//   the browsing session is idle, the remote listing; the queue file is
//   written then too.
// - SessionReady() is called by the window whenever the browsing session
//   shows a listing: items loaded from the queue file (or retried while not
//   connected) start at the first one; a job the user stopped stays stopped.
// - SaveUnfinished writes the queue file (removes it when nothing is
//   unfinished); OfferUnfinished asks at the start whether to continue a
//   saved queue (Yes loads it, No removes the file; a damaged file is
//   reported and set aside).
#include "ftp/remotelisting.h"
#include "transfer/scheduler.h"
#include "transfer/transferqueue.h"

#include <QElapsedTimer>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class QWidget;
class TMultiLang;
class TSessionLog;
class TPrompts;
class TSessionController;
class TLocalPane;
class TRemotePane;
struct TCertificateInfo;

struct TTransferParts {
    QWidget* window = nullptr;
    TMultiLang* words = nullptr;
    TSessionLog* log = nullptr;
    TPrompts* prompts = nullptr;
    TSessionController* session = nullptr;
    TLocalPane* local = nullptr;
    TRemotePane* remote = nullptr;
    std::function<TExistsAnswer(const TExistsQuestion&)> ask; // the file-exists dialog
    std::function<bool(const TCertificateInfo&)> acceptCertificate;
    QString queueFile; // absolute path of the queue file
};

class TTransferController {
public:
    explicit TTransferController(const TTransferParts& parts);
    ~TTransferController();

    TTransferQueue& Queue() { return m_queue; }
    TScheduler& Scheduler() { return *m_scheduler; }

    // 0: in the browsing session (the default); 1..10: background connections.
    void SetConnections(int count);
    int Connections() const { return qMax(0, m_connections); }
    void SetTimeOut(int seconds) { m_timeOut = seconds; }

    // The user's commands.
    void DownloadSelection(); // F5 and the download command in the remote pane
    void UploadSelection();   // F5 and the upload command in the local pane
    void Download(const std::vector<TRemoteEntry>& entries, const QString& remoteFolder,
                  const QString& localFolder);
    // Into the remote folder at row (a folder row of the listing), else into the current one.
    void UploadInto(const QStringList& localPaths, int remoteRow);
    void Stop(); // the stop button: the queue's running items, else the described stop
    bool Busy() const;
    bool CanTransfer() const; // connected: a new job is taken (it waits while the session is busy)

    // The remote selection's entries (the parent entry left out).
    std::vector<TRemoteEntry> RemoteSelection() const;
    QString RemoteFolder() const;

    void SessionReady();
    // Waiting items (retried, or stopped) start: now when connected, else once connected.
    void Resume();
    void SaveUnfinished();
    void OfferUnfinished();

    // Files and bytes done of all, speed and time left; "" when no job runs.
    QString TotalsText() const;

    std::function<void()> OnFinished; // after the scheduler's OnFinished has been handled
    // A job of the queue was added (a folder, a drop, a background transfer, or items loaded from
    // the queue file); the described transfers in the session are recorded without it.
    std::function<void()> OnJob;

private:
    void upload(const QStringList& localPaths, const QString& remoteFolder,
                const TRemoteListing* knownTarget);
    void recordSessionTransfers();
    void jobAdded();
    // Runs one of the described engine commands as a job of `files` files.
    void describedJob(int files, const std::function<void()>& command);
    QString word(const char* key) const;

    TTransferParts m;
    TTransferQueue m_queue;
    std::unique_ptr<class TFtpTransferSession> m_browsing; // outlives the scheduler that uses it
    std::unique_ptr<TScheduler> m_scheduler;
    int m_connections = -1; // not set yet
    int m_timeOut = 60;
    // The described transfers in the session as the queue records them.
    bool m_startPending = false; // waiting items start once a server is connected
    quint32 m_sessionJob = 0;    // the job of the engine command now running (0: a new one at the next file)
    int m_sessionFiles = 1;      // files of that command
    bool m_inCommand = false;    // the command is running (it waits between its files)
    quint32 m_sessionItem = 0;   // the item of the running transfer
    qint64 m_sessionOffset = 0;
    QElapsedTimer m_sessionClock;
};

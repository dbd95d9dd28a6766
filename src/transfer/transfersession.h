#pragma once
// TTransferSession: what the transfer queue needs of one connection to a
// server. The browsing session's engine serves it (transfers "in the
// session"), and so does each background connection (an engine of its own
// with a window-less view). Nothing here names FTP: another protocol may
// serve the queue through the same interface.
//
// Contract:
// - Everything runs on the UI thread. Paths are absolute: remote paths as the
//   session's encoding rules give names (every byte kept), local paths as the
//   engine writes them (ToUtf8Kept gives their bytes).
// - Open() connects and logs in. Exactly one of OnReady (logged in and idle)
//   or OnClosed follows, later, from the event loop, never from inside the
//   call (a session that is connected already, the browsing one, posts its
//   OnReady once it is idle: the scheduler calls Open() on it while the
//   user's own command holds it, and goes on at that OnReady).
// - Idle() is false from the moment the connection is lost, before the
//   OnDone (failed) of an operation in flight, so that nothing new is started
//   on it from inside that OnDone.
// - One operation at a time, started only while Idle(): List, MakeFolder,
//   Fetch, Send. Each ends with exactly one OnDone, fired from the event loop
//   (never from inside the call that started it). Stop() ends the running
//   operation: its OnDone then says stopped, and a partial file stays on
//   disk or on the server, ready to resume.
// - OnProgress fires while a Fetch or Send moves bytes: the file's bytes so
//   far, the resume offset included.
// - OnClosed fires when the connection ends (the server, the network, Close()
//   excepted); an operation in flight has had its OnDone (failed) first.
//   tooMany says the server refused the connection because it already has
//   too many (421 at the greeting, 530 naming too many users or connections):
//   the scheduler then uses one connection less for that server.
// - Handlers may start the next operation from inside OnDone.
#include "ftp/remotelisting.h"

#include <QString>

#include <functional>
#include <vector>

struct TSessionResult {
    bool ok = false;
    bool stopped = false; // Stop() ended it
    bool exists = false;  // MakeFolder: the folder was there already (ok is then true too)
    QString reason;       // why it failed, as the log shows it
};

class TTransferSession {
public:
    virtual ~TTransferSession() = default;

    // The name the log gives this connection ("" for the browsing session).
    virtual QString Name() const = 0;
    virtual bool Connected() const = 0;
    // Connected, logged in, and no operation running.
    virtual bool Idle() const = 0;

    virtual void Open() = 0;
    // Ends the connection at once (no event follows).
    virtual void Close() = 0;

    // Lists a remote folder: OnListed with its entries (never "." or ".."),
    // then OnDone. The listing is read by the session's listing rules.
    virtual void List(const QString& remoteFolder) = 0;
    virtual void MakeFolder(const QString& remoteFolder) = 0;
    // Downloads remotePath into localPath; offset > 0 resumes (the local file
    // must then have exactly offset bytes). size: the size expected (listed), 0 unknown.
    virtual void Fetch(const QString& remotePath, const QString& localPath, qint64 offset, qint64 size) = 0;
    // Uploads localPath to remotePath; offset > 0 resumes at that byte.
    virtual void Send(const QString& localPath, const QString& remotePath, qint64 offset) = 0;
    virtual void Stop() = 0;

    std::function<void(TTransferSession* sender)> OnReady;
    std::function<void(TTransferSession* sender, const QString& reason, bool tooMany)> OnClosed;
    std::function<void(TTransferSession* sender, const std::vector<TRemoteEntry>& entries)> OnListed;
    std::function<void(TTransferSession* sender, qint64 bytes)> OnProgress;
    std::function<void(TTransferSession* sender, const TSessionResult& result)> OnDone;
};

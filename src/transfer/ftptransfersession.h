#pragma once
// TFtpTransferSession: an FTP engine serving the transfer queue
// (TTransferSession), in one of two forms:
// - a background connection: an engine of its own with a window-less view
//   (THeadlessView), made with the browsing session's parameters; it logs in
//   without listing anything (TFtpSeja::SetBackground) and logs through
//   OnLog with the prefix "[name] ";
// - the browsing session: the window's engine, not owned. Its handlers of
//   the engine's events (OnReady, OnClosed, OnOperationDone,
//   OnTransferProgress) are kept and called first: the window sets its own
//   before it makes this session. Idle() is false while the user's own
//   transfer, listing or command runs. Close() leaves the user's connection
//   open (it stops an operation of the queue and forgets what was posted).
//
// Contract (beyond TTransferSession's):
// - Every OnReady, OnClosed, OnListed, OnDone and OnProgress is posted to the
//   event loop, never fired from inside a call or an engine handler; what was
//   posted is dropped when the session is destroyed or Close()d.
// - OnProgress is coalesced: the latest byte count, once per turn of the
//   event loop, and never after its operation's OnDone.
// - OnReady is posted only while the engine is Ready() when it runs; a
//   session that is busy then waits for the engine's next OnReady.
#include "ftp/ftpseja.h"
#include "transfer/headlessview.h"
#include "transfer/transfersession.h"

#include <QObject>

#include <functional>
#include <memory>

class TFtpTransferSession : public TTransferSession {
public:
    // A background connection: an engine of its own with these parameters (the
    // browsing session's: host, port, user, password, passive, encoding, encryption, ...).
    TFtpTransferSession(const TSejaParametri& parameters, int timeOutSeconds, const QString& name);
    // The browsing session: the window's engine, not owned (Open answers OnReady when it is connected).
    explicit TFtpTransferSession(TFtpSeja& browsing);
    ~TFtpTransferSession() override;

    // background only: the session log's lines, with the connection's prefix
    std::function<void(TLogKind kind, const QString& text, const QString& argument)> OnLog;
    // background only: the window's word table
    std::function<QString(const QString& key)> Word;
    // background only
    std::function<bool(const TCertificateInfo& info)> AcceptCertificate;

    QString Name() const override { return m_name; }
    bool Connected() const override { return m_seja.Connected(); }
    bool Idle() const override { return m_seja.Ready() && !m_running; }

    void Open() override;
    void Close() override;

    void List(const QString& remoteFolder) override;
    void MakeFolder(const QString& remoteFolder) override;
    void Fetch(const QString& remotePath, const QString& localPath, qint64 offset, qint64 size) override;
    void Send(const QString& localPath, const QString& remotePath, qint64 offset) override;
    void Stop() override;

    // The engine (the owned one of a background connection), for the window and tests.
    TFtpSeja& Engine() { return m_seja; }

private:
    TFtpTransferSession(std::unique_ptr<THeadlessView> view, const QString& name);
    void Bind();
    void Unbind();
    void Begin(); // an operation starts
    void Post(std::function<void()> action);
    void EngineReady();
    void EngineClosed(const QString& reason, bool tooMany);
    void EngineDone(const TOperationResult& result);
    void EngineProgress(qint64 bytes);

    std::unique_ptr<THeadlessView> m_view; // declared before the engine that uses it
    std::unique_ptr<TFtpSeja> m_own;
    TFtpSeja& m_seja;
    TSejaParametri m_parameters;
    int m_timeOut = 5;
    QString m_name;
    QObject m_context; // posted actions die with it

    // The engine's handlers as the window had set them (kept and called first).
    std::function<void()> m_savedReady;
    std::function<void(const QString&, bool)> m_savedClosed;
    std::function<void(const TOperationResult&)> m_savedDone;
    std::function<void(qint64)> m_savedProgress;

    quint32 m_generation = 0; // Close() drops what was posted before it
    quint32 m_operation = 0;  // counts operations: a late progress of an earlier one is dropped
    bool m_opening = false;   // Open() waits for OnReady or OnClosed
    bool m_running = false;   // an operation of the queue runs
    bool m_listing = false;   // ... and it is a List
    bool m_closing = false;   // Close() runs: the engine's events are not ours
    bool m_progressPosted = false;
    qint64 m_bytes = 0;
};

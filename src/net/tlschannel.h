#pragma once
// TTlsChannel: the client side of TLS on one connected stream socket object
// (TStreamSocket and the buffered and line sockets built on it). The socket
// object owns it from StartTls until the connection closes; everything runs
// on the UI thread, nothing blocks.
//
// Contract:
// - Begin (called by StartTls) sends the ClientHello at once; nothing is
//   fired from inside it (a handshake decided already there is reported by
//   OnDone from the socket's next read notification). The socket must ask
//   for FD_READ (csoRead). The handshake then advances on the socket's own
//   FD_READ and FD_WRITE notifications (Continue), which the owner does not
//   see as OnRead/OnWrite while it lasts: the owner's OnInfo may still
//   report icReceiving and icSending. Whatever the owner sends meanwhile
//   waits (a would-block). Each connection resumes from its own copy of
//   TTlsOptions::Session, so one session serves any number of them.
// - OnDone (from TTlsOptions) fires once: Ok with the certificate
//   information (a certificate that fails verification does not fail the
//   handshake: verified is false with the reason), or not Ok with a clear
//   text (the server closed or reset the connection during the handshake,
//   spoke something other than TLS, offered no common protocol or cipher).
//   It fires from inside a notification of the socket; the handler may do
//   anything, including Close, Open or destroying the component. After a
//   success the owner gets FD_WRITE (OnWrite) as after a connect, and
//   FD_READ (OnRead) for plaintext that arrived with the handshake. After a
//   failure the connection stays open until the owner closes it (or the peer
//   does: OnDisconnect follows as usual); Send and Recv then raise the
//   failure's text.
// - Recv and Send return what the socket's receive and send return: bytes,
//   0 for the peer's orderly end (its close_notify, which is answered, or a
//   close without one), or -1 with the Windows Sockets error in
//   WinsockAPI().WSAGetLastError() (10035 would block). A TLS protocol error
//   raises ESockError "TLS error: <reason>" and breaks the channel: from
//   then on Failed is true, Failure holds that text, and every Recv and Send
//   raises it without touching the socket. Send takes at most one record
//   (16 KiB) per call; after a Send that would block, the next Send must
//   offer the same bytes again (at least as many), as every caller of a
//   socket does after a would-block.
// - Plaintext held inside OpenSSL is never stranded: after a receive that
//   leaves some behind, the next FD_READ is asked for at once, and
//   PlainWaiting (the socket's BytesWaiting) counts it.
// - SendCloseNotify sends close_notify once, without blocking, and never on
//   a socket set to be reset (SO_LINGER 0, an abortive close) nor after a
//   Send that would block and was not retried: the peer must not take a cut
//   off stream for a complete one. KeepForClosing gives a duplicate of the
//   handle of an established connection that is not being reset (else -1);
//   once the socket object has closed its own, FinishClosing hands it to
//   TTlsCloser (with the connection when its close_notify did not fit yet),
//   which ends the connection in order; the channel then carries nothing.
// - PeerEnded: the peer's close_notify has been read, so its data is known
//   to be complete (a reset after it, e.g. one the answering close_notify
//   provoked, cuts nothing off).
// - Session is the latest session the server granted on this connection
//   (TLS 1.3 tickets arrive after the handshake, with the next reads), for
//   another connection's TTlsOptions::Session.
#include "net/tlscontext.h"
#include "net/tlsoptions.h"

#include <vector>

class TSocketBase;

class TTlsChannel : private TTlsContext::TListener {
public:
    TTlsChannel(TSocketBase* socket, TTlsOptions options);
    ~TTlsChannel() override;
    TTlsChannel(const TTlsChannel&) = delete;
    TTlsChannel& operator=(const TTlsChannel&) = delete;

    void Begin();
    bool Handshaking() const { return m_phase == TPhase::Handshaking; }
    bool Established() const { return m_phase == TPhase::Established; }
    // The handshake failed, or a protocol error broke the connection: Failure says why.
    bool Failed() const { return m_phase == TPhase::Failed; }
    const QString& Failure() const { return m_failure; }
    // A read or write notification while the handshake runs.
    void Continue();
    // The peer closed the connection while the handshake ran: OnDone fails.
    void PeerClosed();

    int Recv(void* buf, int len);
    int Send(const void* buf, int len);
    quint32 PlainWaiting();
    bool PeerEnded() const;
    void SendCloseNotify();
    int KeepForClosing() const;
    void FinishClosing(int keptHandle);

    TTlsSession Session() const;
    // The certificate information of the finished handshake.
    const TCertificateInfo& Certificate() const { return m_certificate; }

private:
    enum class TPhase { Handshaking, Established, Failed };
    bool CarriesData() const;
    enum class TStep { Pending, Done, Failed };

    void VerifyError(int code) override;
    void NewSession(SSL_SESSION* session) override;

    void Configure();
    TStep Step();
    void Complete();
    void Fail(const QString& text);
    void Fire(const TTlsOutcome& outcome);
    // The end of a failed Recv or Send: would-block, an orderly end, a socket
    // error, or a raised TLS error.
    int Fault(int result, bool reading);
    // Tells the socket's selection what this receive took and whether
    // plaintext remains (so an FD_READ follows); mayHoldMore: undecrypted
    // bytes count too.
    void ReportReceipt(qint64 count, bool mayHoldMore);
    void AnswerCloseNotify();
    // The socket is set to reset the connection when closed (SO_LINGER 0).
    bool Resetting() const;
    QString FailureText(const QString& prefix);

    TSocketBase* m_socket;
    TTlsOptions m_options;
    SSL* m_ssl = nullptr;
    BIO* m_bio = nullptr;
    TPhase m_phase = TPhase::Handshaking;
    bool m_writeBlocked = false;       // the last Send would have blocked
    bool m_closeNotifyBlocked = false; // SendCloseNotify could not send it all
    bool m_failedEarly = false;        // Begin's step failed: OnDone fails at the next notification
    QString m_failure;
    std::vector<int> m_verifyErrors;
    TTlsSession m_session;
    TCertificateInfo m_certificate;
};

#pragma once
// TStreamSocket: one TCP socket object, used by the client component (an
// outgoing connection), by the server component (the listening socket and
// every accepted connection) and as the base of the buffered sockets.
//
// Contract:
// - Construction: no handle, address family Internet, port and address 0,
//   State ssInactive, SocketType 1. SetSocketType accepts only 1; any other
//   value raises "Invalid type for a Stream socket".
// - Connect(hostName, options, port, serviceName, ipAddress): raises the text
//   of 10093 before start-up and of 10056 when already connected. Creates the
//   handle, reports OnInfo(icLookUp), resolves the address (may wait for
//   lookups, may raise; a resolved address is written back into ipAddress),
//   asks for notifications ((options & 7) | FD_CONNECT | FD_CLOSE), arms the
//   owner's time-out, reports OnInfo(icConnecting) and issues the connect.
//   It returns before the connect completes (State stays ssInactive); the
//   outcome arrives at the owner as FD_CONNECT. A would-block connect is the
//   normal outcome; any other connect error closes the socket and raises
//   "Error %d (%s) connecting". When anything after the arming raises, the
//   time-out is disarmed before the exception leaves.
// - Listen(hostName, queueLength, port, serviceName, ipAddress): creates the
//   handle, resolves the local address ("0.0.0.0" = any interface), binds
//   (raises "Error %d (%s) Binding Socket" and closes), stores the bound port
//   in the owner (port 0 lets the system choose, the owner's Port then shows
//   it), asks for FD_ACCEPT | FD_CLOSE, listens (raises
//   "Error %d (%s) listining" and closes), then OnInfo(icListening).
// - Send(buf, len): 0 for len 0 (nothing reported). Otherwise
//   OnInfo(icSending); 0 without a handle or when not connected; would-block
//   returns 0; other errors raise "Error %d (%s) sending". The count may be
//   less than len.
// - SendFile(file, offset, len) (choice): sends up to len bytes of the open
//   file descriptor file from offset without copying them through the
//   program (the descriptor's own position stays). 0 for len 0 (nothing
//   reported). Otherwise OnInfo(icSending); 0 without a handle or when not
//   connected; would-block returns 0 (an FD_WRITE follows); FileEnd when the
//   file has no byte at offset; NotSendable when this connection or the
//   system cannot send that file so (TLS is on, or the file cannot be read
//   this way or failed to read: nothing was sent, the caller reads and Sends
//   it itself); other errors raise "Error %d (%s) sending" as Send does. The
//   count may be less than len.
// - Recv(buf, len): OnInfo(icReceiving); raises "Socket not open" without a
//   handle or unless State is ssConnected or ssClosing; would-block returns 0;
//   other errors raise "Error %d (%s) recieving"; 0 means the peer closed.
// - Close: the base Close (see socketbase.h), then the owner's time-out is
//   disarmed (unless a handler destroyed the owner meanwhile).
// - Choice: a handle left behind by an earlier Connect or Listen that failed
//   or is still pending (a failed lookup, a connect that never completed) is
//   closed silently when Connect or Listen starts again, so no handle leaks.
//   Its queued notifications are dropped with it.
// - StartTls(options) puts TLS (the client side) on the connected socket:
//   raises "Socket not open" unless connected, and ESockError when TLS was
//   started already or cannot start. From then on Send, Recv and
//   BytesWaiting carry plaintext, the handshake runs on the socket's own
//   notifications and ends with options.OnDone (see tlschannel.h); Close
//   first sends close_notify and leaves the orderly end to TTlsCloser; a
//   peer that closes during the handshake fails it (OnDone) before
//   OnDisconnect. Tls() is the channel (nullptr without TLS); the next
//   Connect or Close drops it. EndConfirmed: the peer confirmed in band that
//   its data is complete (TLS close_notify read); a plain connection never
//   does, so a reset there may have cut the data off. TlsFailure: why TLS
//   failed on this connection (its handshake, or a protocol error that
//   broke it), empty while it has not.
// - Of(socket) is the stream socket object behind a socket event's
//   TSocketBase (nullptr when it is of no stream class), for owners that put
//   TLS on a connection their component handed them.
#include "net/socketbase.h"
#include "net/tlsoptions.h"

#include <memory>

class TTlsChannel;

class TStreamSocket : public TSocketBase {
public:
    explicit TStreamSocket(TSockCtrl* owner);
    ~TStreamSocket() override;

    void SetSocketType(int value) override;
    int Send(const void* buf, int len) override;
    int Recv(void* buf, int len) override;
    static constexpr int FileEnd = -1;
    static constexpr int NotSendable = -2;
    int SendFile(int file, qint64 offset, int len);
    void Listen(const QString& hostName, int queueLength, quint16 port, const QString& serviceName,
                QString& ipAddress) override;
    void Connect(const QString& hostName, TAsyncOptions options, quint16 port, const QString& serviceName,
                 QString& ipAddress) override;
    void Close() override;
    void DoRead() override;
    void DoWrite() override;
    void Disconnect() override;
    quint32 BytesWaiting() override;

    void StartTls(const TTlsOptions& options);
    TTlsChannel* Tls() const { return m_tls.get(); }
    bool EndConfirmed() const;
    QString TlsFailure() const;
    static TStreamSocket* Of(TSocketBase* socket) { return dynamic_cast<TStreamSocket*>(socket); }

protected:
    // Send and Recv after their OnInfo report: for callers that must report
    // first and only then take buffer positions (the handler may change them).
    int SendNow(const void* buf, int len);
    int RecvNow(void* buf, int len);
    // Closes a leftover handle silently and creates a fresh one.
    void CreateHandle();

private:
    std::unique_ptr<TTlsChannel> m_tls;
};

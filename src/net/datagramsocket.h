#pragma once
// TDatagramSocket: one UDP socket object. As a client component's socket
// class, Connect fixes a default peer; as a server component's socket class,
// Listen binds a local port and the component routes all its notifications to
// this one object.
//
// Contract:
// - Construction raises the text of 10093 ("Successful WSASTARTUP not yet
//   performed") before start-up, and "Error %d (%s) creating new socket" when
//   the platform refuses; otherwise the object holds a handle at once.
//   SocketType is 2; SetSocketType stores any value unchecked.
// - Connect(...): raises the text of 10093 before start-up and of 10056 when
//   already connected; OnInfo(icLookUp), resolves the peer (a host name is
//   looked up, which waits), asks for notifications ((options & 7) |
//   FD_CONNECT | FD_CLOSE), OnInfo(icConnecting), connects and is Connected at
//   once: no FD_CONNECT and no time-out follow. A failed connect closes the
//   object (which gets a fresh handle) and raises "Error %d (%s) connecting".
// - Listen(...): binds to the component's local address and port (port 0:
//   the system's choice, stored in the owner's PortNumber and Port), then asks
//   for FD_READ | FD_WRITE. No icListening and State stays ssInactive: only
//   SendTo, Recv and RecvFrom are usable afterwards. A failed bind closes the
//   object and raises "Error %d (%s) Binding Socket".
// - Send: "Socket not open" unless Connected; OnInfo(icSending); a datagram
//   longer than the platform's maximum (WinsockAPI().MaxUdpDg(), 0 = no known
//   limit) raises "Datagram exceeds Winsock's max UDP packet size" before the
//   platform is called. SendTo reports icSending, checks the size the same
//   way, takes the host text as a dotted address or else a host name (looked
//   up, which waits) and writes the destination into SockAddr. Recv and
//   RecvFrom report icReceiving; Recv raises "Socket not open" without a
//   handle. Would-block gives 0 everywhere; other errors raise
//   "Error %d (%s) sending" / "Error %d (%s) recieving".
// - Close: the base Close (OnInfo(icClosed) last), then a fresh handle is
//   created at once, so the object can Connect or Listen again (unless a
//   handler of icClosed destroyed the object or the library has stopped).
#include "net/socketbase.h"

class TDatagramSocket : public TSocketBase {
public:
    explicit TDatagramSocket(TSockCtrl* owner);

    void SetSocketType(int value) override { TSocketBase::SetSocketType(value); }
    int Send(const void* buf, int len) override;
    int Recv(void* buf, int len) override;
    void Listen(const QString& hostName, int queueLength, quint16 port, const QString& serviceName,
                QString& ipAddress) override;
    void Connect(const QString& hostName, TAsyncOptions options, quint16 port, const QString& serviceName,
                 QString& ipAddress) override;
    void Close() override;

    // To host at the owner's PortNumber.
    int SendTo(const QString& host, const void* buf, int len);
    // host: a dotted address or a host name (at most 255 characters are used).
    int SendTo(const QString& host, quint16 port, const void* buf, int len);
    // from/fromLength: the sender's address, as recvfrom fills it (may be null).
    int RecvFrom(void* buf, int len, sockaddr* from, int* fromLength);

private:
    void CreateHandleIfNone();
    void CheckDatagramSize(int len) const;
};

#pragma once
// TCustomClientSocket: the component that opens one outgoing TCP connection
// (the FTP control connection) with a socket object of a chosen class.
//
// Contract (everything on the UI thread, nothing blocks but lookups):
// - Open(socketClass) raises "Socket Already opened" while Connected.
//   Otherwise the class becomes the component's socket class (an object of
//   another class is replaced, one of the same class kept) and its Connect
//   runs with HostName, Options, PortNumber, ServiceName and IPAddress (a
//   resolved address is written back into IPAddress). Open waits only for
//   lookups and returns while the connect is pending.
// - Event order of a connection:
//     OnInfo(icLookUp) -> (lookups) -> OnInfo(icConnecting) -> Open returns
//     -> OnInfo(icConnected) -> OnConnect -> OnRead/OnWrite as data flows
//     (every Send/Recv reports icSending/icReceiving) -> the peer closes:
//     OnInfo(icDisconnected) -> OnDisconnect -> (unread input through OnRead)
//     -> OnInfo(icClosed).
//   No notification reaches a handler while Open runs.
// - OnConnect fires once per connect attempt, also when it failed: then the
//   socket is not Connected and its LastError holds the reason (10061
//   refused, 10060 timed out, ...). The library neither closes the socket nor
//   raises; the handler decides. When the first notification is a read,
//   OnConnect still comes first.
// - A time-out is armed around each lookup and once more before the connect,
//   only when TimeOut > 0 and OnTimeOut is assigned. At expiry:
//   OnInfo(icTimedOut), TimedOut becomes true, OnTimeOut. A pending connect is
//   left as it is (the handler is expected to Close); a waiting lookup ends
//   with "Error 10060 (...) finding address for host" raised out of Open.
// - Close disarms the time-out and closes the socket object (icClosed, no
//   OnDisconnect). The same object can be opened again afterwards.
// - A failed lookup raises out of Open and leaves the new handle open until
//   Close or the next Open, which releases it silently (see streamsocket.h).
// - Notifications for a handle other than the current socket object's are
//   ignored. Handlers may call anything, including Close and Open, and may
//   destroy the component.
#include "net/sockctrl.h"

class TLineSocketBase;

class TCustomClientSocket : public TSockCtrl {
public:
    explicit TCustomClientSocket(QObject* owner = nullptr);

    TSocketEvent OnConnect;

    TAsyncOptions Options() const { return m_options; }
    void SetOptions(TAsyncOptions options) { m_options = options; }

    void Open(TSocketClass socketClass);
    void Close();
    bool Connected();

    void FireConnect(TSocketBase* socket) override;
    void DoClose(TSocketBase* socket) override;

protected:
    void HandleSelect(const TSockNotice& notice) override;
    // The connect finished (LastError 0) or failed (LastError the reason).
    virtual void DoConnect(TSocketBase* socket);

private:
    TAsyncOptions m_options = TAsyncOptions(csoRead) | csoWrite;

public:
    // Open with a line socket (TLineSocket) and return it; raises as Open.
    TLineSocketBase* OpenLines();
    // The socket object as a line socket while the component's socket class
    // is TLineSocket (OpenLines); nullptr otherwise.
    TLineSocketBase* LineSocket();
};

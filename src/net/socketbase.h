#pragma once
// TSocketBase: one operating-system socket owned by a socket component.
//
// Contract:
// - A socket object never talks to the user: every event goes through its
//   owner's event members (Sender = the owner, Socket = this object).
//   DoRead/DoWrite/DoTimeOut fire OnRead/OnWrite/OnTimeOut when assigned;
//   DoConnect/DoAccept/DoReject reach the owner's FireConnect/FireAccept/
//   FireReject (the client and server components fire their own events).
//   DoInfo(code) first updates State (icListening -> ssListening, icClosed ->
//   ssInactive), then fires OnInfo. Disconnect (the peer closed): DoInfo
//   (icDisconnected), OnDisconnect, then Close.
// - Close: nothing when the library has not started or Handle is -1.
//   Otherwise the owner's countdown is set to 0, State becomes ssClosing; a
//   connected socket whose owner has OnRead first delivers its unread input
//   (OnRead while BytesAvailable > 0, stopping when a handler takes nothing);
//   then the handle is closed, Handle becomes -1, SocketClosed (2136) is
//   posted to the owner (which voids its queued notifications when it
//   arrives), and last OnInfo(icClosed) fires (State ssInactive). The object
//   stays usable. Handlers may call Close again from inside; the work is done
//   once. An exception raised by a handler during the delivery of the unread
//   input does not stop the close: it is raised again once the socket is
//   closed.
// - Disconnect closes the socket after OnDisconnect only when the handler left
//   it as it was: a handler that closed and opened it again keeps the new
//   connection.
// - A lookup that waits inside Connect, Listen or SendTo ends the call with
//   "Interrupted system call" (10004) when, during the wait, this object was
//   closed, given another handle or destroyed (a handler closed or reopened
//   the component): the call touches nothing more.
// - Destroying an object that still holds a handle closes it silently (no
//   event, no message) and zeroes the owner's countdown.
// - Socket classes built on this one create handles with
//   WinsockAPI().socket(AF_INET, SocketType(), 0), ask for notifications with
//   WinsockAPI().WSAAsyncSelect(Handle(), Owner()->Window(), SocketNotify,
//   mask), and receive and send through WinsockAPI().recv/send: those calls
//   re-enable FD_READ and FD_WRITE themselves (see asyncselect.h).
#include "net/sockinfo.h"

#include <QFlags>
#include <QString>

#include <memory>

#include <netinet/in.h>

class TSockCtrl;

enum TSocketState : quint8 { ssInactive = 0, ssConnected = 1, ssClosing = 2, ssListening = 3 };

// Which notifications a socket asks for besides connect and close.
enum TAsyncOption { csoRead = 1, csoWrite = 2, csoOOB = 4 };
Q_DECLARE_FLAGS(TAsyncOptions, TAsyncOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(TAsyncOptions)

class TSocketBase {
public:
    explicit TSocketBase(TSockCtrl* owner);
    virtual ~TSocketBase();
    TSocketBase(const TSocketBase&) = delete;
    TSocketBase& operator=(const TSocketBase&) = delete;

    int LastError() const { return m_lastError; }
    void SetLastError(int error) { m_lastError = error; }
    int Handle() const { return m_handle; }
    TSockCtrl* Owner() const { return m_owner; }
    sockaddr_in& SockAddr() { return m_sockAddr; }
    TSocketState State() const { return m_state; }
    void SetState(TSocketState state) { m_state = state; }
    int SocketType() const { return m_socketType; }

    virtual void DoRead();
    virtual void DoWrite();
    virtual void DoAccept();
    virtual void DoConnect();
    virtual void Disconnect();
    virtual void DoInfo(TSockInfo code);
    virtual void DoTimeOut();
    virtual void DoReject();
    virtual QString SocketName();
    virtual bool Connected() const { return m_state == ssConnected; }
    virtual void SetSocketType(int value) { m_socketType = value; }
    virtual int Send(const void* buf, int len) = 0;
    virtual int Recv(void* buf, int len) = 0;
    virtual void SetSocketOptions() {}
    virtual void Listen(const QString& hostName, int queueLength, quint16 port, const QString& serviceName,
                        QString& ipAddress) = 0;
    virtual void Connect(const QString& hostName, TAsyncOptions options, quint16 port,
                         const QString& serviceName, QString& ipAddress) = 0;
    virtual void Close();

    // result -1: LastError := the platform's error; the tolerated code yields 0,
    // any other raises (code, messageId). Otherwise LastError := 0, result returned.
    int CheckError(int result, int tolerated, int messageId);
    // Bytes waiting to be received (at most 65535; more is reported as 65535).
    int BytesAvailable();
    // All the bytes waiting to be received (a TLS socket counts its plaintext).
    virtual quint32 BytesWaiting();
    // False once this object is destroyed; for callers that run handlers or waits.
    std::shared_ptr<const bool> SocketAlive() const { return m_objectAlive; }
    // Changes whenever the object gets or gives up a handle.
    quint64 HandleSerial() const { return m_handleSerial; }

    // What a call that runs handlers or waits remembers of this object, to
    // find out afterwards whether a handler closed, reopened or destroyed it.
    struct THandleMark {
        std::shared_ptr<const bool> Alive;
        quint64 Serial;
        const TSocketBase* Object;
        bool Unchanged() const { return *Alive && Object->HandleSerial() == Serial; }
        // Raises "Interrupted system call" (10004) when it changed.
        void RequireUnchanged() const;
    };
    THandleMark MarkHandle() const { return {m_objectAlive, m_handleSerial, this}; }
    // The bound local port in host byte order; 0 without a handle.
    quint16 LocalPort();
    // OnRead while input waits and the handler keeps taking it.
    void DrainInput();
    // Fills SockAddr for a connect, bind or send: a host name is looked up
    // (waits; written back as dotted text into ipAddress) and wins over the
    // dotted address; neither raises "No address specified"; a service name
    // is looked up and wins over the port (0 when unknown), except when the
    // owner's Port text is that port as a number.
    void ResolveAddress(const QString& hostName, quint16& port, const QString& serviceName,
                        QString& ipAddress);
    // The steps of a connect between the handle's creation and the platform
    // connect: OnInfo(icLookUp), the address (ResolveAddress), SetSocketOptions
    // and notifications for (options & 7) | FD_CONNECT | FD_CLOSE. Returns the
    // mark of the handle, to be checked again after later handlers.
    THandleMark PrepareConnect(const QString& hostName, TAsyncOptions options, quint16 port,
                               const QString& serviceName, QString& ipAddress);
    // Raises the text of 10093 before the library has started.
    static void RequireStarted();
    // Resolves the local address, binds the handle to it and stores the bound
    // port in the owner; on failure the socket is closed and the error raised.
    void BindLocal(const QString& hostName, quint16 port, const QString& serviceName, QString& ipAddress);
    // Adopts a handle (socket creation, or a connection the server accepted).
    void SetHandle(int handle)
    {
        m_handle = handle;
        ++m_handleSerial;
    }

private:
    std::shared_ptr<bool> m_objectAlive = std::make_shared<bool>(true);
    quint64 m_handleSerial = 0;
    int m_lastError = 0;
    int m_handle = -1;
    TSockCtrl* m_owner;
    sockaddr_in m_sockAddr{};
    TSocketState m_state = ssInactive;
    int m_socketType = 1;
    QString m_socketName;

public:
    // The IPv4 addresses (host order) of this connection's own end and of its
    // peer; 0 without a handle, or when the handle has no such end.
    quint32 LocalAddress() const;
    quint32 PeerAddress() const;
    // Close (as above) after asking the system to reset the connection
    // (SO_LINGER 0) instead of ending it in order: the peer sees the data cut
    // off, never a complete end.
    void AbortiveClose();
};

// A class reference for socket objects: makes a new object for an owner.
using TSocketClass = TSocketBase* (*)(TSockCtrl* owner);

template <class T> TSocketBase* NewSocketOf(TSockCtrl* owner)
{
    return new T(owner);
}

// The class reference of T: SocketClassOf<TStreamSocket>.
template <class T> inline constexpr TSocketClass SocketClassOf = &NewSocketOf<T>;

#pragma once
// TSockCtrl: the socket component every client, server and datagram
// component derives from.
//
// Contract:
// - Construction starts the socket library when this is the first live
//   component (raising ESockError "Error %d (%s) starting up WinSock" on
//   failure); destruction of the last live component cleans it up. A
//   component owns at most one socket object (Socket(), created on first use
//   from SocketClass()) and a notification object (Window()) through which
//   the dispatcher (sockdispatcher.h) hands it its messages as typed records.
// - Events are std::function members; Sender is always the component, Socket
//   the socket object concerned. They fire on the UI thread:
//     OnInfo         progress codes (TSockInfo), before the event they announce;
//     OnRead/OnWrite for FD_READ/FD_WRITE notifications (via HandleSelect);
//     OnDisconnect   the peer closed (then the socket is closed: OnInfo(icClosed));
//     OnTimeOut      the countdown expired, after OnInfo(icTimedOut);
//     OnAsyncComplete a queued TAsyncInfo request finished (message 2137).
//   An exception escaping a handler is handed to ReportException; the socket
//   object is left as it was. Handlers may call anything, including lookups
//   (which wait) and Close, and may destroy the component.
// - Notifications (message 2135) reach HandleSelect as a TSockNotice (handle,
//   event bit, error) one at a time, in arrival order across all components,
//   never while a lookup waits (the dispatcher holds them back and delivers
//   them after the last wait ends), never for a socket handle that has been
//   closed since, and never to a destroyed component. SocketClosed (2136,
//   posted by Close) runs SocketFreed, which voids every held notification of
//   this component (another socket of the component raises a voided
//   notification again while it still holds: asyncselect.h). Notifications
//   come only from WinsockAPI().WSAAsyncSelect.
// - Address/Port/Protocol setters split the texts: Address into HostName or
//   IPAddress (an empty Address is "0.0.0.0", any interface, as one never
//   set, rather than an address that cannot be used); Port into PortNumber
//   and ServiceName (looking the other up in the services database when the
//   library runs: this waits, see below); Protocol into ProtocolNumber and
//   ProtocolName (the fixed table of nine).
// - LookupHost, LookupHostName, LookupService, LookupPortName ask the resolver
//   on a worker thread and wait in WaitForLookup, which runs the event loop
//   (timers, input and messages go on; socket notifications are held back).
//   Each lookup arms the time-out around itself. LookupHost/LookupHostName
//   raise "Error %d (%s) finding address for host" / "... finding host for
//   address" on failure (11001..11004, 10060 after a time-out); the service
//   lookups return 0 / empty instead.
// - Choices made here:
//   * An abandoned wait (socket object closing, application closing down, the
//     component destroyed) returns 10004 ("Interrupted system call"). When the
//     component itself was destroyed during its wait, WaitForLookup raises
//     ESockError with that text instead of returning, and touches nothing of
//     the component; callers check AliveToken() before touching it in their
//     cleanup.
//   * Waits nest: every running wait counts in the dispatcher's wait depth, any component may
//     wait inside another's wait (the same one too), each wait ends with its
//     own answer, and held-back notifications are drained after the last
//     wait ends.
//   * A wait ends with 10060 only for a time-out that fires during it: a
//     TimedOut flag left from an earlier time-out (nothing armed since, as
//     with TimeOut 0) does not fail every later lookup at once.
//   * A wait is also abandoned (10004) when the component's socket object is
//     replaced, closed or given another handle during it.
//   * Host and service names longer than 64 characters and protocol names
//     longer than 32 are rejected, not truncated: the lookup fails as "Host
//     not found" (11001), or as an unknown service.
//   * Arming an armed component restarts its countdown at TimeOut (it stays
//     in the armed list once).
//   * A Port text that is a decimal number above 65535 is not a port number;
//     it is taken as a service name (and found in no services database).
// - Time-outs: one shared 1000 ms timer runs while any component is armed;
//   every armed component ticks once per second, the oldest first. At expiry:
//   DisarmTimeOut, OnInfo(icTimedOut), TimedOut := true, OnTimeOut.
#include "net/sockdispatcher.h"
#include "net/socketbase.h"

#include <QObject>
#include <QString>

#include <functional>
#include <map>
#include <memory>
#include <vector>

class TSockCtrl;
struct TLookupResult;

using TSocketEvent = std::function<void(TSockCtrl* Sender, TSocketBase* Socket)>;
using TSockInfoEvent = std::function<void(TSockCtrl* Sender, TSockInfo icode, TSocketBase* Socket)>;

// A queued asynchronous request, handed to OnAsyncComplete when message 2137
// with its task handle arrives.
struct TAsyncInfo {
    quint32 TaskHandle = 0;
    char Buffer[1024] = {};
    quint16 Error = 0;
};
using TSockeTAsyncEvent = std::function<void(TSockCtrl* Sender, TAsyncInfo* Info)>;

class TSockCtrl : public QObject {
public:
    // socketClass: the class of new socket objects (descendants pass theirs).
    explicit TSockCtrl(QObject* owner = nullptr, TSocketClass socketClass = nullptr);
    ~TSockCtrl() override;

    TSocketEvent OnDisconnect;
    TSocketEvent OnRead;
    TSocketEvent OnWrite;
    TSocketEvent OnTimeOut;
    TSockInfoEvent OnInfo;
    TSockeTAsyncEvent OnAsyncComplete;

    TSockWindow* Window() const { return m_window; }
    // The current socket object, created by CreateSocket on first use.
    TSocketBase* Socket();
    bool HasSocket() const { return m_socket != nullptr; }
    TSocketClass SocketClass() const { return m_socketClass; }
    // Replaces the class; a socket object of another class is freed.
    void SetSocketClass(TSocketClass socketClass);

    QString Address() const { return m_address; }
    void SetAddress(const QString& address);
    QString Port() const { return m_port; }
    void SetPort(const QString& port);
    QString Protocol() const { return m_protocol; }
    void SetProtocol(const QString& protocol);
    QString HostName() const { return m_hostName; }
    QString IPAddress() const { return m_ipAddress; }
    QString& IPAddressRef() { return m_ipAddress; } // written back by Connect/Listen
    QString ServiceName() const { return m_serviceName; }
    quint16 PortNumber() const { return m_portNumber; }
    // Whether the Port text is a port number (not a service name).
    bool PortIsNumber() const { return m_portIsNumber; }
    int ProtocolNumber() const { return m_protocolNumber; }
    QString ProtocolName() const { return m_protocolName; }
    // After a bind: PortNumber := port and the Port text := its decimal form (no lookup).
    void StoreBoundPort(quint16 port);

    int TimeOut() const { return m_timeOut; }
    void SetTimeOut(int seconds) { m_timeOut = qMax(0, seconds); }
    bool TimedOut() const { return m_timedOut; }
    bool Armed() const { return m_armed; }
    int Countdown() const { return m_countdown; }
    void SetCountdown(int seconds) { m_countdown = seconds; }
    void ArmTimeOut();
    void DisarmTimeOut();
    // One second passed: count down; at 0 fire the time-out.
    void TimeOutTick();

    // The machine's own host name; empty before start-up or on failure.
    QString LocalHostName();
    // The first IPv4 address of a host, network byte order.
    quint32 LookupHost(const QString& name);
    // The official host name of a dotted address.
    QString LookupHostName(const QString& text);
    // The port of a service for ProtocolName (host byte order), 0 if unknown.
    quint16 LookupService(const QString& name);
    // The service name of a port for ProtocolName, empty if unknown.
    QString LookupPortName(quint16 port);

    // Shared by every wait of this component; false once it is destroyed.
    std::shared_ptr<const bool> AliveToken() const { return m_alive; }

    // Messages the dispatcher hands over (see sockdispatcher.h).
    virtual void SocketFreed(TSocketBase* socket);
    virtual void AsyncRequestDone(const TLookupReply& reply);

    // Hooks a socket object calls on its owner.
    virtual void DoClose(TSocketBase* socket);
    virtual void DoInfo(TSocketBase* socket, TSockInfo code);
    virtual void DoRead(TSocketBase* socket);
    virtual void DoWrite(TSocketBase* socket);
    virtual void DoTimeOut(TSocketBase* socket);
    virtual void FireConnect(TSocketBase*) {} // the client fires OnConnect
    virtual void FireAccept(TSocketBase*) {}  // the server fires OnAccept
    virtual void FireReject(TSocketBase*) {}  // the server fires OnReject

protected:
    // One socket notification.
    virtual void HandleSelect(const TSockNotice& notice) = 0;
    // Waits for a lookup's answer; returns its error (0 = success).
    virtual int WaitForLookup(quint32 task);
    virtual TSocketBase* CreateSocket();

    // Queues a request for OnAsyncComplete (the component owns it from now on).
    void AddAsyncRequest(std::unique_ptr<TAsyncInfo> request);

private:
    struct TLookupAnswer {
        quint16 Error = 0;
        quint16 BufferLength = 0;
        bool Done = false;
    };
    void StoreLookupResult(const TLookupReply& reply);
    TLookupResult AwaitLookup(quint32 task, int startFailureId);
    // Arms the time-out, starts a lookup and waits for its answer.
    TLookupResult ArmedLookup(const std::function<quint32()>& start, int startFailureId);
    void DestroyWindow();

    friend class TTimeOutList;

    std::shared_ptr<bool> m_alive;
    TSockWindow* m_window = nullptr;
    TSocketClass m_socketClass = nullptr;
    bool m_timedOut = false;
    std::vector<std::unique_ptr<TAsyncInfo>> m_asyncRequests;
    TSockCtrl* m_prevArmed = nullptr;
    TSockCtrl* m_nextArmed = nullptr;
    quint64 m_armSerial = 0;
    int m_countdown = 0;
    bool m_armed = false;
    QString m_hostName;
    QString m_ipAddress = QStringLiteral("0.0.0.0");
    QString m_serviceName;
    quint16 m_portNumber = 0;
    bool m_portIsNumber = false;
    quint64 m_timeOuts = 0; // time-outs fired so far: a wait ends on one that fires during it
    QString m_address;
    QString m_port;
    std::unique_ptr<TSocketBase> m_socket;
    int m_timeOut = 0;
    QString m_protocol;
    int m_protocolNumber = 0;
    QString m_protocolName;
    std::map<quint32, TLookupAnswer> m_lookupAnswers; // answers of the tasks being waited for
};

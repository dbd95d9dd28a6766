#pragma once
// TCustomBasicServerSocket: the component that listens on a local port and
// accepts incoming TCP connections (active-mode FTP data connections).
//
// Contract (everything on the UI thread):
// - Listen(socketClass) replaces the socket object by a new one of that class
//   (the old listener is released without a report and its port is free
//   again) and makes it listen on HostName/IPAddress and
//   PortNumber/ServiceName with QueueLength. Port 0 (or empty) lets the
//   system choose; Port and PortNumber show the bound port afterwards.
//   Failures raise ESockError ("... creating new socket", "... Binding
//   Socket", "... listining", lookup errors); after a failed bind or listen
//   the socket is closed.
// - Each waiting connection is accepted into a new object of SocketClass,
//   appended to Connections (State ssConnected, notifications
//   (ClientOptions & 7) | FD_CLOSE) and then tested, in this order:
//   more than MaxConnections entries in Connections (the new one counted) ->
//   refused; AllowOnlyIfReverseDNS and the peer address has no host name (or
//   the reverse lookup fails) -> refused; IsHostListed (virtual: a descendant
//   may decide by its own list) with hrDeny -> refused, not listed with
//   hrAccept -> refused (an empty list then refuses all).
//   Refused: OnInfo(icRejecting), OnReject, then the connection is closed
//   (OnInfo(icClosed)) without handing its unread input to OnRead: nothing a
//   refused peer sent reaches the program. If OnInfo(icRejecting) or OnReject
//   raises, the connection is closed all the same (OnReject is skipped when
//   OnInfo raised) and the exception goes on to be reported. Admitted:
//   OnInfo(icAccepting), OnAccept; if OnInfo(icAccepting) raises, the
//   connection is closed as a refused one (the program was never told of
//   it) and the exception is reported. A failed accept reports nothing.
// - Reads, writes and peer closes of each connection arrive as OnRead,
//   OnWrite and OnDisconnect with the connection as Socket. A peer close of a
//   connected connection: OnInfo(icDisconnected), OnDisconnect, then it is
//   closed (OnInfo(icClosed)). Notifications of a closed connection never
//   arrive (the dispatch drops those of closed handles, whose numbers the
//   system reuses at once). OnInfo(icNoSuchSocket), with no socket object,
//   reports a notification for a handle still selected by this component
//   but not held in Connections.
// - A closed connection stays in Connections until the SocketClosed message
//   of its Close arrives; then it is removed and released. So with
//   MaxConnections 1 a new connection is admitted again only once the first
//   one's release has been handled.
// - Close closes every connection (each first hands its unread input to
//   OnRead, then reports OnInfo(icClosed); none reports OnDisconnect),
//   empties Connections, then closes the listening socket (OnInfo(icClosed)).
// - Handlers may call anything, including Close, and may destroy the
//   component. Connection objects are never freed while one of this
//   component's notifications is being handled: their release waits until
//   the outermost handling has returned.
// - Lookups (AllowOnlyIfReverseDNS, name lines in RestrictedHosts,
//   HostToAddressText) wait with the event loop running; they run without a
//   time-out. While they wait, the connection being tested is in Connections.
//   If it is closed meanwhile (by Close, say) or the component is destroyed,
//   the test stops quietly once the wait ends: no OnAccept, no OnReject, no
//   report of the lookup's failure. Closing the server ends the wait at once.
// - Choice: when the reverse lookup of a name line in RestrictedHosts fails,
//   the connection being tested is refused (OnInfo(icRejecting), OnReject,
//   closed) and then the lookup's ESockError leaves the accept handling (and
//   is reported). No admitted-but-unreported connection remains.
// - Choice: a name line never matches a peer whose host name is empty (a
//   reverse lookup that finds no name gives nothing to compare, and letting
//   such a line match would admit or deny a peer by the mere absence of a
//   name).
#include "net/sockctrl.h"

#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

enum THostRestriction : quint8 { hrAccept = 0, hrDeny = 1 };

// The accepted connection objects of a server, owned.
using TSocketList = std::vector<std::unique_ptr<TSocketBase>>;

// Whether one line of a host access list matches a peer's dotted address.
// The line is walked component by component from the left (a component ends
// at the first "."; dots are stripped from both ends of both parts), "*"
// matching any one component. Numeric lines compare with the address; as
// soon as the walk meets a component that is neither "*" nor a decimal
// number, the whole line is walked again against the peer's host name,
// which hostName() supplies (called only then; it may raise). A line that
// runs out first, or a subject that runs out first, matches when all
// compared components agreed; an empty line matches every peer.
bool HostLineMatches(const QString& line, const QString& peerAddress,
                     const std::function<QString()>& hostName);

class TCustomBasicServerSocket : public TSockCtrl {
public:
    explicit TCustomBasicServerSocket(QObject* owner = nullptr);
    ~TCustomBasicServerSocket() override;

    TSocketEvent OnAccept;
    TSocketEvent OnReject;

    int MaxConnections() const { return m_maxConnections; }
    void SetMaxConnections(int count) { m_maxConnections = count; }
    const TSocketList& Connections() const { return m_connections; }
    TAsyncOptions ClientOptions() const { return m_clientOptions; }
    void SetClientOptions(TAsyncOptions options) { m_clientOptions = options; }
    int QueueLength() const { return m_queueLength; }
    void SetQueueLength(int length) { m_queueLength = length; }
    const QStringList& RestrictedHosts() const { return m_restrictedHosts; }
    void SetRestrictedHosts(const QStringList& hosts) { m_restrictedHosts = hosts; }
    THostRestriction Restriction() const { return m_restriction; }
    void SetRestriction(THostRestriction restriction) { m_restriction = restriction; }
    bool AllowOnlyIfReverseDNS() const { return m_allowOnlyIfReverseDNS; }
    void SetAllowOnlyIfReverseDNS(bool allow) { m_allowOnlyIfReverseDNS = allow; }

    void Listen(TSocketClass socketClass);
    void Close();
    // The dotted address of a host name (waits for the lookup; raises on failure).
    QString HostToAddressText(const QString& name);
    // Whether a peer's dotted address matches a line of RestrictedHosts (see
    // HostLineMatches); a reverse lookup runs at most once, when a name line
    // is reached.
    virtual bool IsHostListed(const QString& peerAddress);

    void SocketFreed(TSocketBase* socket) override;
    void DoClose(TSocketBase* socket) override;
    void FireAccept(TSocketBase* socket) override;
    void FireReject(TSocketBase* socket) override;

protected:
    void HandleSelect(const TSockNotice& notice) override;
    virtual void DoAccept();
    virtual void DoReject(TSocketBase* connection);

private:
    class TBusy;
    bool Refused(TSocketBase* connection, const std::shared_ptr<const bool>& alive);
    // OnInfo(icRejecting), DoReject; the connection ends closed even when a handler raises.
    void Refuse(TSocketBase* connection);
    void CloseRefused(TSocketBase* connection);
    bool StillHeld(TSocketBase* connection) const;
    TSocketBase* ConnectionOf(int handle) const;
    // Removes a connection from Connections; it is freed once no handling runs.
    void Release(TSocketBase* connection);
    void FreeReleased();

    int m_maxConnections = 16;
    TSocketList m_connections;
    TAsyncOptions m_clientOptions = TAsyncOptions(csoRead) | csoWrite;
    int m_queueLength = 5;
    QStringList m_restrictedHosts;
    THostRestriction m_restriction = hrDeny;
    bool m_allowOnlyIfReverseDNS = false;
    TSocketList m_released; // removed from Connections, freed when m_busy is 0
    int m_busy = 0;
};

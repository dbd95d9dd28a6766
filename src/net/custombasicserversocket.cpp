#include "net/custombasicserversocket.h"

#include "net/datagramsocket.h"
#include "net/sockerror.h"
#include "net/streamsocket.h"
#include "net/winsockapi.h"

#include <algorithm>

namespace {
QString stripDots(const QString& text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text.at(first) == QLatin1Char('.'))
        ++first;
    while (last > first && text.at(last - 1) == QLatin1Char('.'))
        --last;
    return text.mid(first, last - first);
}

// Splits off the first component of text (up to the first "."); both the
// component and the rest left in text are stripped of dots at both ends.
QString takeComponent(QString& text)
{
    const qsizetype dot = text.indexOf(QLatin1Char('.'));
    const QString head = dot < 0 ? text : text.left(dot);
    text = dot < 0 ? QString() : stripDots(text.mid(dot + 1));
    return stripDots(head);
}

bool isDecimal(const QString& text)
{
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), [](QChar c) {
        return c >= QLatin1Char('0') && c <= QLatin1Char('9');
    });
}

enum class TWalkResult { Match, NoMatch, NameLine };

// One component walk of a line against a subject. In address form the walk
// gives up with NameLine at the first component that is neither "*" nor a
// number.
TWalkResult walkComponents(QString pattern, QString subject, bool addressForm)
{
    bool match = true;
    while (pattern != subject && !pattern.isEmpty() && !subject.isEmpty()) {
        const QString wanted = takeComponent(pattern);
        const QString seen = takeComponent(subject);
        const bool wildcard = wanted == QLatin1String("*");
        if (!wildcard && wanted != seen)
            match = false;
        if (addressForm && !wildcard && !isDecimal(wanted))
            return TWalkResult::NameLine;
    }
    return match ? TWalkResult::Match : TWalkResult::NoMatch;
}
} // namespace

bool HostLineMatches(const QString& line, const QString& peerAddress,
                     const std::function<QString()>& hostName)
{
    const TWalkResult byAddress = walkComponents(line, peerAddress, true);
    if (byAddress != TWalkResult::NameLine)
        return byAddress == TWalkResult::Match;
    const QString name = hostName();
    return !name.isEmpty() && walkComponents(line, name, false) == TWalkResult::Match;
}

// Counts a running handling of this component; released connections are freed
// when the outermost one ends (unless the component was destroyed meanwhile).
class TCustomBasicServerSocket::TBusy {
public:
    explicit TBusy(TCustomBasicServerSocket* server) : m_server(server), m_alive(server->AliveToken())
    {
        ++m_server->m_busy;
    }
    ~TBusy()
    {
        if (!*m_alive)
            return;
        --m_server->m_busy;
        m_server->FreeReleased();
    }
    TBusy(const TBusy&) = delete;
    TBusy& operator=(const TBusy&) = delete;

private:
    TCustomBasicServerSocket* m_server;
    std::shared_ptr<const bool> m_alive;
};

TCustomBasicServerSocket::TCustomBasicServerSocket(QObject* owner)
    : TSockCtrl(owner, SocketClassOf<TStreamSocket>)
{
}

TCustomBasicServerSocket::~TCustomBasicServerSocket()
{
    m_connections.clear();
    m_released.clear();
}

void TCustomBasicServerSocket::Listen(TSocketClass socketClass)
{
    // A fresh listening object every time, also of the same class.
    SetSocketClass(nullptr);
    SetSocketClass(socketClass);
    Socket()->Listen(HostName(), m_queueLength, PortNumber(), ServiceName(), IPAddressRef());
}

void TCustomBasicServerSocket::Close()
{
    const auto alive = AliveToken();
    TBusy busy(this);
    while (!m_connections.empty()) {
        TSocketBase* connection = m_connections.front().get();
        connection->Close();
        if (!*alive)
            return;
        Release(connection);
    }
    if (HasSocket()) {
        DisarmTimeOut();
        Socket()->Close();
        if (!*alive)
            return;
    }
    DisarmTimeOut();
}

QString TCustomBasicServerSocket::HostToAddressText(const QString& name)
{
    return WinsockAPI().inet_ntoa(LookupHost(name));
}

bool TCustomBasicServerSocket::IsHostListed(const QString& peerAddress)
{
    QString name;
    bool looked = false;
    const auto hostName = [&] {
        if (!looked) {
            name = LookupHostName(peerAddress);
            looked = true;
        }
        return name;
    };
    const QStringList lines = m_restrictedHosts; // a handler may change the list while a lookup waits
    return std::any_of(lines.begin(), lines.end(),
                       [&](const QString& line) { return HostLineMatches(line, peerAddress, hostName); });
}

void TCustomBasicServerSocket::HandleSelect(const TSockNotice& notice)
{
    TBusy busy(this);
    const int event = notice.Event;
    if (event == FD_ACCEPT) {
        DoAccept();
        return;
    }
    TSocketBase* connection = nullptr;
    if (HasSocket() && dynamic_cast<TDatagramSocket*>(Socket()))
        connection = Socket();
    else
        connection = ConnectionOf(notice.Handle);
    if (!connection) {
        if (OnInfo)
            OnInfo(this, icNoSuchSocket, nullptr);
        return;
    }
    connection->SetLastError(notice.Error);
    switch (event) {
    case FD_READ:
        DoRead(connection);
        break;
    case FD_WRITE:
        DoWrite(connection);
        break;
    case FD_CLOSE:
        DoClose(connection);
        break;
    default:
        break;
    }
}

void TCustomBasicServerSocket::DoAccept()
{
    TBusy busy(this);
    if (!HasSocket())
        return;
    std::unique_ptr<TSocketBase> accepted(CreateSocket());
    int length = sizeof(sockaddr_in);
    const int handle =
        WinsockAPI().accept(Socket()->Handle(), reinterpret_cast<sockaddr*>(&accepted->SockAddr()), &length);
    if (handle == -1)
        return;
    TSocketBase* connection = accepted.get();
    connection->SetHandle(handle);
    m_connections.push_back(std::move(accepted));
    WinsockAPI().WSAAsyncSelect(handle, Window(), SocketNotify,
                                (long(m_clientOptions.toInt()) & 7) | FD_CLOSE);
    connection->SetState(ssConnected);

    const auto alive = AliveToken();
    bool refuse = true;
    try {
        refuse = Refused(connection, alive);
    } catch (...) {
        if (!*alive || !StillHeld(connection))
            return; // closed or destroyed while a lookup waited: the test stops quietly
        Refuse(connection);
        throw;
    }
    if (!*alive || !StillHeld(connection))
        return; // closed or destroyed while a lookup waited
    if (refuse) {
        Refuse(connection);
        return;
    }
    try {
        DoInfo(connection, icAccepting);
    } catch (...) {
        // Without its OnAccept the program does not know the connection: not kept.
        if (*alive && StillHeld(connection))
            CloseRefused(connection);
        throw;
    }
    if (*alive && StillHeld(connection))
        connection->DoAccept();
}

void TCustomBasicServerSocket::Refuse(TSocketBase* connection)
{
    const auto alive = AliveToken();
    try {
        DoInfo(connection, icRejecting);
        if (*alive && StillHeld(connection))
            DoReject(connection);
    } catch (...) {
        // A raising handler must not leave a refused connection admitted.
        if (*alive && StillHeld(connection))
            CloseRefused(connection);
        throw;
    }
}

void TCustomBasicServerSocket::CloseRefused(TSocketBase* connection)
{
    // Not connected any more: Close then hands none of its unread input to OnRead.
    connection->SetState(ssClosing);
    connection->Close();
}

bool TCustomBasicServerSocket::Refused(TSocketBase* connection, const std::shared_ptr<const bool>& alive)
{
    if (m_connections.size() > size_t(qMax(0, m_maxConnections)))
        return true;
    const QString peer = WinsockAPI().inet_ntoa(connection->SockAddr().sin_addr.s_addr);
    if (m_allowOnlyIfReverseDNS) {
        QString name;
        try {
            name = LookupHostName(peer);
        } catch (...) {
            return true; // no name: refused, the failure is not passed on
        }
        if (name.isEmpty() || !*alive || !StillHeld(connection))
            return true;
    }
    const bool listed = IsHostListed(peer);
    return m_restriction == hrDeny ? listed : !listed;
}

void TCustomBasicServerSocket::DoReject(TSocketBase* connection)
{
    const auto alive = AliveToken();
    connection->DoReject();
    if (*alive && StillHeld(connection))
        CloseRefused(connection);
}

void TCustomBasicServerSocket::FireAccept(TSocketBase* socket)
{
    if (OnAccept)
        OnAccept(this, socket);
}

void TCustomBasicServerSocket::FireReject(TSocketBase* socket)
{
    if (OnReject)
        OnReject(this, socket);
}

void TCustomBasicServerSocket::DoClose(TSocketBase* socket)
{
    if (!socket->Connected())
        return;
    DisarmTimeOut();
    socket->Disconnect();
}

void TCustomBasicServerSocket::SocketFreed(TSocketBase* socket)
{
    TSockCtrl::SocketFreed(socket);
    if (HasSocket() && socket == Socket())
        return;
    // Only a closed connection is released: the pointer of a message posted
    // for an object freed since may name a new, open connection.
    const auto it = std::find_if(m_connections.begin(), m_connections.end(),
                                 [socket](const auto& held) { return held.get() == socket; });
    if (it != m_connections.end() && (*it)->Handle() == -1)
        Release(socket);
}

bool TCustomBasicServerSocket::StillHeld(TSocketBase* connection) const
{
    return connection->Handle() != -1 &&
           std::any_of(m_connections.begin(), m_connections.end(),
                       [connection](const auto& held) { return held.get() == connection; });
}

TSocketBase* TCustomBasicServerSocket::ConnectionOf(int handle) const
{
    for (const auto& held : m_connections)
        if (held->Handle() == handle)
            return held.get();
    return nullptr;
}

void TCustomBasicServerSocket::Release(TSocketBase* connection)
{
    const auto it = std::find_if(m_connections.begin(), m_connections.end(),
                                 [connection](const auto& held) { return held.get() == connection; });
    if (it == m_connections.end())
        return;
    m_released.push_back(std::move(*it));
    m_connections.erase(it);
    FreeReleased();
}

void TCustomBasicServerSocket::FreeReleased()
{
    if (m_busy == 0)
        m_released.clear();
}

#include "net/socketbase.h"

#include "net/asyncselect.h"
#include "net/sockctrl.h"
#include "net/winsockapi.h"

#include <exception>

#include <sys/ioctl.h>
#include <sys/socket.h>

TSocketBase::TSocketBase(TSockCtrl* owner) : m_owner(owner)
{
    m_sockAddr.sin_family = AF_INET;
}

TSocketBase::~TSocketBase()
{
    *m_objectAlive = false;
    if (m_handle == -1)
        return;
    if (m_owner)
        m_owner->SetCountdown(0);
    WinsockAPI().closesocket(m_handle);
}

void TSocketBase::DoRead()
{
    if (m_owner->OnRead)
        m_owner->OnRead(m_owner, this);
}

void TSocketBase::DoWrite()
{
    if (m_owner->OnWrite)
        m_owner->OnWrite(m_owner, this);
}

void TSocketBase::DoAccept()
{
    m_owner->FireAccept(this);
}

void TSocketBase::DoConnect()
{
    m_owner->FireConnect(this);
}

void TSocketBase::DoReject()
{
    m_owner->FireReject(this);
}

void TSocketBase::DoTimeOut()
{
    if (m_owner->OnTimeOut)
        m_owner->OnTimeOut(m_owner, this);
}

void TSocketBase::Disconnect()
{
    // A handler may destroy the owner, and this object with it.
    const auto alive = m_owner->AliveToken();
    DoInfo(icDisconnected);
    if (!*alive)
        return;
    const THandleMark mark = MarkHandle();
    if (m_owner->OnDisconnect)
        m_owner->OnDisconnect(m_owner, this);
    if (*alive && mark.Unchanged()) // else the handler closed (and maybe reopened) it
        Close();
}

void TSocketBase::THandleMark::RequireUnchanged() const
{
    if (!Unchanged())
        RaiseSocketError(WSAEINTR, 0);
}

void TSocketBase::DoInfo(TSockInfo code)
{
    if (code == icListening)
        m_state = ssListening;
    else if (code == icClosed)
        m_state = ssInactive;
    if (m_owner->OnInfo)
        m_owner->OnInfo(m_owner, code, this);
}

QString TSocketBase::SocketName()
{
    static int counter = 0;
    if (m_socketName.isEmpty())
        m_socketName = QStringLiteral("socket%1").arg(counter++);
    return m_socketName;
}

int TSocketBase::CheckError(int result, int tolerated, int messageId)
{
    if (result != -1) {
        m_lastError = 0;
        return result;
    }
    m_lastError = WinsockAPI().WSAGetLastError();
    if (m_lastError == tolerated)
        return 0;
    RaiseSocketError(m_lastError, messageId);
}

int TSocketBase::BytesAvailable()
{
    return int(qMin<quint32>(BytesWaiting(), 0xFFFF));
}

quint32 TSocketBase::BytesWaiting()
{
    quint32 count = 0;
    CheckError(WinsockAPI().ioctlsocket(m_handle, FIONREAD, &count), 0, sockErrBytesInBuffer);
    return count;
}

quint16 TSocketBase::LocalPort()
{
    if (m_handle == -1)
        return 0;
    sockaddr_in local{};
    int length = sizeof local;
    CheckError(WinsockAPI().getsockname(m_handle, reinterpret_cast<sockaddr*>(&local), &length), 0,
               sockErrGetSockName);
    return WinsockAPI().ntohs(local.sin_port);
}

void TSocketBase::DrainInput()
{
    const auto alive = m_owner->AliveToken();
    // Progress: a receive took something (a datagram socket reports only its
    // next datagram's size), or fewer bytes wait (a handle not selected).
    for (quint32 waiting; m_handle != -1 && (waiting = BytesWaiting()) > 0;) {
        const quint64 receipts = TAsyncSelect::Receipts(m_handle);
        m_owner->DoRead(this);
        if (!*alive || m_handle == -1)
            return;
        if (TAsyncSelect::Receipts(m_handle) == receipts && BytesWaiting() >= waiting)
            return; // the handler took nothing: stop rather than spin
    }
}

void TSocketBase::Close()
{
    if (!WinsockStarted() || m_handle == -1)
        return;
    m_owner->SetCountdown(0);
    const bool wasConnected = m_state == ssConnected;
    m_state = ssClosing;
    std::exception_ptr handlerError;
    if (wasConnected && m_owner->OnRead) {
        const auto alive = m_owner->AliveToken();
        try {
            DrainInput();
        } catch (...) {
            handlerError = std::current_exception(); // the close goes on; raised when done
        }
        if (!*alive || m_handle == -1) {
            if (handlerError)
                std::rethrow_exception(handlerError);
            return; // a handler destroyed the owner or closed this socket meanwhile
        }
    }
    // The handle is forgotten before OnInfo(icClosed) fires, so a handler
    // that closes again cannot close a descriptor number reused meanwhile;
    // nothing touches this object after the event.
    WinsockAPI().closesocket(m_handle);
    SetHandle(-1);
    TSockMessage closed;
    closed.Msg = SocketClosed;
    closed.LParam = reinterpret_cast<qintptr>(this);
    m_owner->Window()->Post(closed);
    DoInfo(icClosed);
    if (handlerError)
        std::rethrow_exception(handlerError);
}

void TSocketBase::ResolveAddress(const QString& hostName, quint16& port, const QString& serviceName,
                                 QString& ipAddress)
{
    // A lookup waits in the event loop, where a handler may close, reopen or
    // destroy this object: then the call ends without touching it.
    const THandleMark mark = MarkHandle();
    quint32 address = 0;
    if (!hostName.isEmpty()) {
        address = m_owner->LookupHost(hostName);
        mark.RequireUnchanged();
        ipAddress = WinsockAPI().inet_ntoa(address).left(255);
    } else if (ipAddress.isEmpty()) {
        RaiseSocketError(0, sockErrNoAddress);
    } else if (ipAddress != QLatin1String("0.0.0.0")) {
        address = WinsockAPI().inet_addr(ipAddress);
    }
    // A port typed as a number is used as it is: its service name may stand
    // for another port in the services database (an alias of another entry).
    if (!serviceName.isEmpty() && !(m_owner->PortIsNumber() && port == m_owner->PortNumber())) {
        port = m_owner->LookupService(serviceName);
        mark.RequireUnchanged();
    }
    m_sockAddr.sin_port = WinsockAPI().htons(port);
    m_sockAddr.sin_addr.s_addr = address;
}

TSocketBase::THandleMark TSocketBase::PrepareConnect(const QString& hostName, TAsyncOptions options,
                                                     quint16 port, const QString& serviceName,
                                                     QString& ipAddress)
{
    const THandleMark mark = MarkHandle();
    DoInfo(icLookUp);
    mark.RequireUnchanged();
    ResolveAddress(hostName, port, serviceName, ipAddress);
    SetSocketOptions();
    const long mask = (long(options.toInt()) & 7) | FD_CONNECT | FD_CLOSE;
    CheckError(WinsockAPI().WSAAsyncSelect(Handle(), Owner()->Window(), SocketNotify, mask), 0,
               sockErrConnecting);
    return mark;
}

void TSocketBase::RequireStarted()
{
    if (!WinsockStarted())
        RaiseSocketError(WSANOTINITIALISED, 0);
}

void TSocketBase::BindLocal(const QString& hostName, quint16 port, const QString& serviceName,
                            QString& ipAddress)
{
    ResolveAddress(hostName, port, serviceName, ipAddress);
    SetSocketOptions();
    try {
        CheckError(
            WinsockAPI().bind(Handle(), reinterpret_cast<const sockaddr*>(&SockAddr()), sizeof(sockaddr_in)),
            0, sockErrBinding);
        Owner()->StoreBoundPort(LocalPort());
    } catch (...) {
        Close();
        throw;
    }
}

namespace {
// The IPv4 address getsockname or getpeername gives for a handle (host order), 0 without one.
quint32 endAddress(int handle, int (*query)(int, sockaddr*, socklen_t*))
{
    sockaddr_in end{};
    socklen_t length = sizeof end;
    if (handle == -1 || query(handle, reinterpret_cast<sockaddr*>(&end), &length) != 0 ||
        end.sin_family != AF_INET)
        return 0;
    return ntohl(end.sin_addr.s_addr);
}
} // namespace

quint32 TSocketBase::LocalAddress() const
{
    return endAddress(m_handle, ::getsockname);
}

quint32 TSocketBase::PeerAddress() const
{
    return endAddress(m_handle, ::getpeername);
}

void TSocketBase::AbortiveClose()
{
    if (m_handle != -1) {
        const linger reset{1, 0};
        ::setsockopt(m_handle, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
    }
    Close();
}

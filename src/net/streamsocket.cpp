#include "net/streamsocket.h"

#include "net/sockctrl.h"
#include "net/sockerror.h"
#include "net/tlschannel.h"
#include "net/winsockapi.h"

#include <sys/socket.h>

TStreamSocket::TStreamSocket(TSockCtrl* owner) : TSocketBase(owner) {}

TStreamSocket::~TStreamSocket() = default;

void TStreamSocket::SetSocketType(int value)
{
    if (value != SOCK_STREAM)
        RaiseSocketError(0, sockErrStreamType);
    TSocketBase::SetSocketType(value);
}

void TStreamSocket::CreateHandle()
{
    m_tls.reset();
    if (Handle() != -1) {
        WinsockAPI().closesocket(Handle());
        SetHandle(-1);
    }
    SetHandle(CheckError(WinsockAPI().socket(AF_INET, SocketType(), 0), 0, sockErrCreating));
}

void TStreamSocket::Connect(const QString& hostName, TAsyncOptions options, quint16 port,
                            const QString& serviceName, QString& ipAddress)
{
    RequireStarted();
    if (Connected())
        RaiseSocketError(WSAEISCONN, 0);
    CreateHandle();
    const THandleMark mark = PrepareConnect(hostName, options, port, serviceName, ipAddress);

    TSockCtrl* owner = Owner();
    const auto alive = owner->AliveToken();
    try {
        owner->ArmTimeOut();
        DoInfo(icConnecting);
        mark.RequireUnchanged();
        try {
            CheckError(WinsockAPI().connect(Handle(), reinterpret_cast<const sockaddr*>(&SockAddr()),
                                            sizeof(sockaddr_in)),
                       WSAEWOULDBLOCK, sockErrConnecting);
        } catch (...) {
            if (mark.Unchanged() && Handle() != -1)
                Close();
            throw;
        }
    } catch (...) {
        if (*alive && mark.Unchanged()) // else a handler's own Close or Open took over the time-out
            owner->DisarmTimeOut();
        throw;
    }
}

void TStreamSocket::Listen(const QString& hostName, int queueLength, quint16 port, const QString& serviceName,
                           QString& ipAddress)
{
    RequireStarted();
    CreateHandle();
    // A port whose last connection is still winding down (TIME_WAIT) can be
    // listened on again at once; a port another socket listens on stays taken.
    const int reuse = 1;
    ::setsockopt(Handle(), SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
    BindLocal(hostName, port, serviceName, ipAddress);
    CheckError(WinsockAPI().WSAAsyncSelect(Handle(), Owner()->Window(), SocketNotify, FD_ACCEPT | FD_CLOSE),
               0, sockErrListening);
    try {
        CheckError(WinsockAPI().listen(Handle(), queueLength), 0, sockErrListening);
    } catch (...) {
        if (Handle() != -1)
            Close();
        throw;
    }
    DoInfo(icListening);
}

int TStreamSocket::Send(const void* buf, int len)
{
    if (len == 0)
        return 0;
    DoInfo(icSending);
    return SendNow(buf, len);
}

int TStreamSocket::SendNow(const void* buf, int len)
{
    if (Handle() == -1 || !Connected())
        return 0;
    if (m_tls)
        return CheckError(m_tls->Send(buf, len), WSAEWOULDBLOCK, sockErrSending);
    return CheckError(WinsockAPI().send(Handle(), buf, len, 0), WSAEWOULDBLOCK, sockErrSending);
}

int TStreamSocket::SendFile(int file, qint64 offset, int len)
{
    if (len == 0)
        return 0;
    DoInfo(icSending);
    if (Handle() == -1 || !Connected())
        return 0;
    if (m_tls) // the bytes must pass through the encryption
        return NotSendable;
    const int n = WinsockAPI().sendfile(Handle(), file, offset, len);
    if (n == tWinsockAPI::FileNotSendable)
        return NotSendable;
    return n == 0 ? FileEnd : CheckError(n, WSAEWOULDBLOCK, sockErrSending);
}

int TStreamSocket::Recv(void* buf, int len)
{
    DoInfo(icReceiving);
    return RecvNow(buf, len);
}

int TStreamSocket::RecvNow(void* buf, int len)
{
    if (Handle() == -1 || (State() != ssConnected && State() != ssClosing))
        RaiseSocketError(0, sockErrNotOpen);
    if (m_tls)
        return CheckError(m_tls->Recv(buf, len), WSAEWOULDBLOCK, sockErrReceiving);
    return CheckError(WinsockAPI().recv(Handle(), buf, len, 0), WSAEWOULDBLOCK, sockErrReceiving);
}

void TStreamSocket::Close()
{
    TSockCtrl* owner = Owner();
    const auto alive = owner->AliveToken();
    const auto socketAlive = SocketAlive();
    int kept = -1; // keeps the connection until TLS has ended it in order
    if (m_tls && Handle() != -1) {
        m_tls->SendCloseNotify(); // first: the unread input is still read through TLS
        kept = m_tls->KeepForClosing();
    }
    TSocketBase::Close();
    if (*alive)
        owner->DisarmTimeOut();
    if (*socketAlive && Handle() == -1 && m_tls) {
        if (kept != -1)
            m_tls->FinishClosing(std::exchange(kept, -1));
        m_tls.reset();
    }
    if (kept != -1)
        WinsockAPI().closesocket(kept);
}

void TStreamSocket::StartTls(const TTlsOptions& options)
{
    if (Handle() == -1 || !Connected())
        RaiseSocketError(0, sockErrNotOpen);
    if (m_tls)
        throw ESockError(QStringLiteral("TLS has already been started on this connection"));
    m_tls = std::make_unique<TTlsChannel>(this, options);
    m_tls->Begin();
}

void TStreamSocket::DoRead()
{
    if (m_tls && m_tls->Handshaking())
        m_tls->Continue(); // the handshake's, not the owner's
    else
        TSocketBase::DoRead();
}

void TStreamSocket::DoWrite()
{
    if (m_tls && m_tls->Handshaking())
        m_tls->Continue();
    else
        TSocketBase::DoWrite();
}

void TStreamSocket::Disconnect()
{
    if (m_tls && m_tls->Handshaking()) {
        const auto alive = SocketAlive();
        m_tls->PeerClosed();
        if (!*alive || Handle() == -1)
            return; // the OnDone handler destroyed or closed it
    }
    TSocketBase::Disconnect();
}

bool TStreamSocket::EndConfirmed() const
{
    return m_tls && m_tls->PeerEnded();
}

QString TStreamSocket::TlsFailure() const
{
    return m_tls && m_tls->Failed() ? m_tls->Failure() : QString();
}

quint32 TStreamSocket::BytesWaiting()
{
    return m_tls ? m_tls->PlainWaiting() : TSocketBase::BytesWaiting();
}

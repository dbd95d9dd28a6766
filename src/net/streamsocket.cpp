#include "net/streamsocket.h"

#include "net/sockctrl.h"
#include "net/winsockapi.h"

#include <sys/socket.h>

TStreamSocket::TStreamSocket(TSockCtrl* owner) : TSocketBase(owner) {}

void TStreamSocket::SetSocketType(int value)
{
    if (value != SOCK_STREAM)
        RaiseSocketError(0, sockErrStreamType);
    TSocketBase::SetSocketType(value);
}

void TStreamSocket::CreateHandle()
{
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
    return CheckError(WinsockAPI().send(Handle(), buf, len, 0), WSAEWOULDBLOCK, sockErrSending);
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
    return CheckError(WinsockAPI().recv(Handle(), buf, len, 0), WSAEWOULDBLOCK, sockErrReceiving);
}

void TStreamSocket::Close()
{
    TSockCtrl* owner = Owner();
    const auto alive = owner->AliveToken();
    TSocketBase::Close();
    if (*alive)
        owner->DisarmTimeOut();
}

#include "net/streamsocket.h"

#include "net/sockctrl.h"
#include "net/winsockapi.h"

TStreamSocket::TStreamSocket(TSockCtrl* owner) : TSocketBase(owner) {}

void TStreamSocket::SetSocketType(int value)
{
    if (value != SOCK_STREAM)
        RaiseSocketError(0, sockErrStreamType);
    TSocketBase::SetSocketType(value);
}

void TStreamSocket::RequireStarted()
{
    if (!WinsockStarted())
        RaiseSocketError(WSANOTINITIALISED, 0);
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
    DoInfo(icLookUp);
    ResolveAddress(hostName, port, serviceName, ipAddress);
    SetSocketOptions();
    const long mask = (long(options.toInt()) & 7) | FD_CONNECT | FD_CLOSE;
    CheckError(WinsockAPI().WSAAsyncSelect(Handle(), Owner()->Window(), SocketNotify, mask), 0,
               sockErrConnecting);

    TSockCtrl* owner = Owner();
    const auto alive = owner->AliveToken();
    try {
        owner->ArmTimeOut();
        DoInfo(icConnecting);
        try {
            CheckError(WinsockAPI().connect(Handle(), reinterpret_cast<const sockaddr*>(&SockAddr()),
                                            sizeof(sockaddr_in)),
                       WSAEWOULDBLOCK, sockErrConnecting);
        } catch (...) {
            if (*alive && Handle() != -1)
                Close();
            throw;
        }
    } catch (...) {
        if (*alive)
            owner->DisarmTimeOut();
        throw;
    }
}

void TStreamSocket::Listen(const QString& hostName, int queueLength, quint16 port, const QString& serviceName,
                           QString& ipAddress)
{
    RequireStarted();
    CreateHandle();
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
    if (Handle() == -1 || !Connected())
        return 0;
    return CheckError(WinsockAPI().send(Handle(), buf, len, 0), WSAEWOULDBLOCK, sockErrSending);
}

int TStreamSocket::Recv(void* buf, int len)
{
    DoInfo(icReceiving);
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

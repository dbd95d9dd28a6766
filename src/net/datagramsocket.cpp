#include "net/datagramsocket.h"

#include "net/sockctrl.h"
#include "net/winsockapi.h"

TDatagramSocket::TDatagramSocket(TSockCtrl* owner) : TSocketBase(owner)
{
    SetSocketType(SOCK_DGRAM);
    RequireStarted();
    CreateHandleIfNone();
}

void TDatagramSocket::CreateHandleIfNone()
{
    if (Handle() == -1)
        SetHandle(CheckError(WinsockAPI().socket(AF_INET, SocketType(), 0), 0, sockErrCreating));
}

void TDatagramSocket::CheckDatagramSize(int len) const
{
    const int largest = WinsockAPI().MaxUdpDg();
    if (largest > 0 && len > largest)
        RaiseSocketError(0, sockErrDatagramTooBig);
}

int TDatagramSocket::Send(const void* buf, int len)
{
    if (!Connected())
        RaiseSocketError(0, sockErrNotOpen);
    DoInfo(icSending);
    if (Handle() == -1)
        return 0;
    CheckDatagramSize(len);
    return CheckError(WinsockAPI().send(Handle(), buf, len, 0), WSAEWOULDBLOCK, sockErrSending);
}

int TDatagramSocket::Recv(void* buf, int len)
{
    DoInfo(icReceiving);
    if (Handle() == -1)
        RaiseSocketError(0, sockErrNotOpen);
    return CheckError(WinsockAPI().recv(Handle(), buf, len, 0), WSAEWOULDBLOCK, sockErrReceiving);
}

int TDatagramSocket::SendTo(const QString& host, const void* buf, int len)
{
    return SendTo(host, Owner()->PortNumber(), buf, len);
}

int TDatagramSocket::SendTo(const QString& host, quint16 port, const void* buf, int len)
{
    DoInfo(icSending);
    CheckDatagramSize(len);
    const QString text = host.left(255);
    const bool dotted =
        WinsockAPI().inet_addr(text) != INADDR_NONE || text == QLatin1String("255.255.255.255");
    QString ipAddress = dotted ? text : QString();
    ResolveAddress(dotted ? QString() : text, port, QString(), ipAddress);
    return CheckError(WinsockAPI().sendto(Handle(), buf, len, 0,
                                          reinterpret_cast<const sockaddr*>(&SockAddr()),
                                          sizeof(sockaddr_in)),
                      WSAEWOULDBLOCK, sockErrSending);
}

int TDatagramSocket::RecvFrom(void* buf, int len, sockaddr* from, int* fromLength)
{
    DoInfo(icReceiving);
    return CheckError(WinsockAPI().recvfrom(Handle(), buf, len, 0, from, fromLength), WSAEWOULDBLOCK,
                      sockErrReceiving);
}

void TDatagramSocket::Connect(const QString& hostName, TAsyncOptions options, quint16 port,
                              const QString& serviceName, QString& ipAddress)
{
    RequireStarted();
    if (Connected())
        RaiseSocketError(WSAEISCONN, 0);
    CreateHandleIfNone();
    const THandleMark mark = PrepareConnect(hostName, options, port, serviceName, ipAddress);
    try {
        DoInfo(icConnecting);
        mark.RequireUnchanged();
        CheckError(WinsockAPI().connect(Handle(), reinterpret_cast<const sockaddr*>(&SockAddr()),
                                        sizeof(sockaddr_in)),
                   WSAEWOULDBLOCK, sockErrConnecting);
        SetState(ssConnected);
    } catch (...) {
        if (mark.Unchanged() && Handle() != -1)
            Close();
        throw;
    }
}

void TDatagramSocket::Listen(const QString& hostName, int, quint16 port, const QString& serviceName,
                             QString& ipAddress)
{
    RequireStarted();
    CreateHandleIfNone();
    BindLocal(hostName, port, serviceName, ipAddress);
    CheckError(WinsockAPI().WSAAsyncSelect(Handle(), Owner()->Window(), SocketNotify, FD_READ | FD_WRITE), 0,
               sockErrListening);
}

void TDatagramSocket::Close()
{
    const auto alive = SocketAlive();
    TSocketBase::Close();
    if (*alive && WinsockStarted())
        CreateHandleIfNone();
}

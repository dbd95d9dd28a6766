#include "net/customclientsocket.h"

#include "net/linesocket.h"
#include "net/sockerror.h"
#include "net/streamsocket.h"
#include "net/winsockapi.h"

TCustomClientSocket::TCustomClientSocket(QObject* owner) : TSockCtrl(owner, SocketClassOf<TStreamSocket>) {}

void TCustomClientSocket::Open(TSocketClass socketClass)
{
    if (Connected())
        RaiseSocketError(0, sockErrAlreadyOpened);
    SetSocketClass(socketClass);
    Socket()->Connect(HostName(), m_options, PortNumber(), ServiceName(), IPAddressRef());
}

void TCustomClientSocket::Close()
{
    if (!HasSocket())
        return;
    DisarmTimeOut();
    Socket()->Close();
}

bool TCustomClientSocket::Connected()
{
    return HasSocket() && Socket()->State() == ssConnected;
}

void TCustomClientSocket::HandleSelect(const TSockNotice& notice)
{
    if (!HasSocket())
        return;
    TSocketBase* socket = Socket();
    const int handle = notice.Handle;
    if (socket->Handle() != handle)
        return;
    socket->SetLastError(notice.Error);
    switch (notice.Event) {
    case FD_CONNECT:
        if (!socket->Connected())
            DoConnect(socket);
        break;
    case FD_READ: {
        if (!socket->Connected()) {
            const auto alive = AliveToken();
            DoConnect(socket);
            // The OnConnect handler may have closed or replaced the socket,
            // or destroyed the component.
            if (!*alive || !HasSocket() || Socket() != socket || socket->Handle() != handle)
                return;
        }
        DoRead(socket);
        break;
    }
    case FD_WRITE:
        DoWrite(socket);
        break;
    case FD_CLOSE:
        DoClose(socket);
        break;
    default:
        break;
    }
}

void TCustomClientSocket::DoConnect(TSocketBase* socket)
{
    DisarmTimeOut();
    if (socket->LastError() == 0) {
        const auto alive = AliveToken();
        socket->SetState(ssConnected);
        DoInfo(socket, icConnected);
        if (!*alive)
            return; // the OnInfo handler destroyed the component
    }
    socket->DoConnect();
}

void TCustomClientSocket::FireConnect(TSocketBase* socket)
{
    if (OnConnect)
        OnConnect(this, socket);
}

void TCustomClientSocket::DoClose(TSocketBase* socket)
{
    if (socket->Connected())
        DisarmTimeOut();
    socket->Disconnect();
}

TLineSocketBase* TCustomClientSocket::OpenLines()
{
    Open(SocketClassOf<TLineSocket>);
    return LineSocket();
}

TLineSocketBase* TCustomClientSocket::LineSocket()
{
    if (!HasSocket() || SocketClass() != SocketClassOf<TLineSocket>)
        return nullptr;
    return static_cast<TLineSocket*>(Socket());
}

#pragma once
// TBasicClientSocket: the client component as the program uses it. It adds
// nothing to TCustomClientSocket (see its contract); Address, Port, Protocol,
// TimeOut, Options and the events are all public there. Defaults: Protocol
// "tcp", TimeOut 0 (none), Options csoRead | csoWrite, socket class
// TStreamSocket.
#include "net/customclientsocket.h"

class TBasicClientSocket : public TCustomClientSocket {
public:
    using TCustomClientSocket::TCustomClientSocket;
};

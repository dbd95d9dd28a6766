#pragma once
// TBasicServerSocket: the server component as the program uses it. It adds
// nothing to TCustomBasicServerSocket (see its contract). Defaults: Protocol
// "tcp", MaxConnections 16, ClientOptions csoRead | csoWrite, QueueLength 5,
// RestrictedHosts empty, Restriction hrDeny, AllowOnlyIfReverseDNS false,
// socket class TStreamSocket. It has no time-out of its own.
#include "net/custombasicserversocket.h"

class TBasicServerSocket : public TCustomBasicServerSocket {
public:
    using TCustomBasicServerSocket::TCustomBasicServerSocket;
};

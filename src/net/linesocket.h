#pragma once
// TLineSocket: the line socket class a client component opens (the FTP
// control connection): Open(SocketClassOf<TLineSocket>), then set OnLine and
// the buffer sizes on the socket object. Behaviour as TLineSocketBase.
#include "net/linesocketbase.h"

class TLineSocket : public TLineSocketBase {
public:
    explicit TLineSocket(TSockCtrl* owner);
};

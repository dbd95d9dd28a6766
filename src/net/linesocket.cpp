#include "net/linesocket.h"

TLineSocket::TLineSocket(TSockCtrl* owner) : TLineSocketBase(owner) {}

#pragma once
// The messages of the socket library's dispatch, and the typed records that
// components receive instead of them.
//
// Contract:
// - A TSockMessage is what is posted to a component's notification object:
//   an id (2135..2139), a first and a second parameter, a result. Its
//   parameters are packed only where a message is made (the selection layer
//   packs 2135, the lookups pack 2137/2138) and unpacked only by the
//   dispatch, so handlers see the records below, never LParam words.
// - TSockNotice: one socket notification (2135): the handle, the event bit,
//   the error, and the serial of the selection that raised it.
// - TLookupReply: a finished request (2137 AsyncDone, 2138 LookupDone): the
//   task handle, the result length and the error.
#include <QtGlobal>

enum : int {
    SocketNotify = 2135,
    SocketClosed = 2136,
    AsyncDone = 2137,
    LookupDone = 2138,
    DrainQueue = 2139
};

// Event bits of socket notifications.
enum : int { FD_READ = 1, FD_WRITE = 2, FD_OOB = 4, FD_ACCEPT = 8, FD_CONNECT = 16, FD_CLOSE = 32 };

// One posted message. Serial names the selection a 2135 notification came from.
struct TSockMessage {
    int Msg = 0;
    quintptr WParam = 0;
    qintptr LParam = 0;
    qintptr Result = 0;
    quint64 Serial = 0;
};

struct TSockNotice {
    int Handle = -1;
    int Event = 0;
    int Error = 0;
    quint64 Serial = 0;
};

struct TLookupReply {
    quint32 Task = 0;
    quint16 Length = 0;
    quint16 Error = 0;
};

inline quint16 LoWord(qintptr value)
{
    return quint16(quintptr(value) & 0xFFFF);
}
inline quint16 HiWord(qintptr value)
{
    return quint16((quintptr(value) >> 16) & 0xFFFF);
}
inline qintptr MakeLong(quint16 low, quint16 high)
{
    return qintptr(quint32(low) | (quint32(high) << 16));
}

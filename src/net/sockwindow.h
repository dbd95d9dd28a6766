#pragma once
// TSockWindow: the notification object of one socket component, and the
// messages posted to it.
//
// Contract:
// - Messages go through the one socket message queue (messagequeue.h), so
//   messages to all components arrive in the order they were posted. Messages
//   still queued for a component that is destroyed are removed with its
//   notification object.
// - The window procedure (Deliver()) runs on the UI thread:
//     2135 SocketNotify: held back in PendingQueue while a lookup waits or the
//          queue is not empty, otherwise delivered at once to HandleSelect;
//     2136 SocketClosed: SocketFreed for the socket object in the second
//          parameter (also while the application is closing down);
//     2137 AsyncDone: AsyncRequestDone;
//     2138 LookupDone: stores the lookup result;
//     2139 DrainQueue: nothing of its own.
//   After each message, when no lookup waits, the first entry of PendingQueue
//   is delivered (one per message). Exceptions escaping handlers are handed to
//   ReportException and processing continues.
// - A handler may destroy the component (and so this object) from inside a
//   delivery; nothing touches it afterwards.
#include <QObject>

class TSockCtrl;

enum : int {
    SocketNotify = 2135,
    SocketClosed = 2136,
    AsyncDone = 2137,
    LookupDone = 2138,
    DrainQueue = 2139
};

// One posted message: id, first and second parameter, result. Serial names the
// socket selection a 2135 notification came from (see asyncselect.h).
struct TSockMessage {
    int Msg = 0;
    quintptr WParam = 0;
    qintptr LParam = 0;
    qintptr Result = 0;
    quint64 Serial = 0;
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

class TSockWindow : public QObject {
public:
    explicit TSockWindow(TSockCtrl* owner) : m_owner(owner) {}
    ~TSockWindow() override;

    TSockCtrl* Owner() const { return m_owner; }

    // Called by the component's destruction: deletes the window now, or (when
    // the component is destroyed from inside this window's own dispatch)
    // detaches it from the component and deletes it later.
    void Release();

    // Posts a message to this window (thread-safe).
    void Post(const TSockMessage& message);

    // The window procedure for one message (called by the message queue).
    void Deliver(const TSockMessage& message);

private:
    TSockCtrl* m_owner;
    int m_dispatching = 0;
};

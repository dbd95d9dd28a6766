#pragma once
// TSockDispatcher: the one owner of the socket library's dispatch: the
// message queue of every component's notification object (TSockWindow), the
// notifications held back while a lookup waits, and the depth of the waits.
//
// Contract:
// - One object, reached through SockDispatcher(); it lives until the process
//   ends (a lookup finishing on a worker thread as the program ends may still
//   post). It sits below the components: it knows them only by the handlers
//   their notification objects were made with (TSockHandlers), and socket
//   notifications only through the gate the selection layer sets
//   (SetNoticeGate), which unpacks a message 2135 into a TSockNotice and says
//   whether it is still to be handled.
// - Post(window, message) may be called from any thread; every message is
//   dispatched on the UI thread in posting order across all windows (see
//   messagequeue.h). The window procedure for one message:
//     2135 SocketNotify: held back while a lookup waits or notifications are
//          already held, otherwise admitted by the gate and handed at once to
//          the Notice handler;
//     2136 SocketClosed: the SocketClosed handler with the socket object in
//          the second parameter (also while the application is closing down);
//     2137 AsyncDone, 2138 LookupDone: their handlers with a TLookupReply;
//     2139 DrainQueue: nothing of its own.
//   After each message, when no lookup waits, the oldest held notification is
//   taken; DrainQueue is posted (to the next live entry's window) while
//   entries remain, before the notification is handled, so a handler that
//   runs the event loop does not stop the draining; then the notification is
//   admitted and handed to its window's Notice handler. One per message,
//   strictly in arrival order across all components. A voided entry is not
//   handled: it goes to the gate's Dropped, which raises it again while it
//   still holds (so a voided read or close of another connection of the same
//   component is postponed, never lost).
// - Exceptions escaping a handler are handed to ReportException and
//   processing continues.
// - WaitBegan/WaitEnded bracket every lookup wait (they nest); the end of
//   the last one restarts the draining. Reset() (the library's clean-up)
//   drops every held notification and counts all waits out.
// - A handler may destroy its component and so release the window from
//   inside a dispatch to it; nothing touches the component afterwards.
#include "net/messagequeue.h"
#include "net/pendingqueue.h"
#include "net/sockmessage.h"

#include <QObject>

#include <functional>

class TSocketBase;

// What a component does with each message addressed to it.
struct TSockHandlers {
    std::function<void(const TSockNotice&)> Notice;      // 2135, admitted
    std::function<void(TSocketBase*)> SocketClosed;      // 2136
    std::function<void(const TLookupReply&)> AsyncDone;  // 2137
    std::function<void(const TLookupReply&)> LookupDone; // 2138
};

// How a message 2135 becomes a notice: Admit unpacks it and says whether it
// is still to be handled; Dropped hears of one voided instead of handled.
struct TNoticeGate {
    std::function<bool(const TSockMessage&, TSockNotice&)> Admit;
    std::function<void(const TSockMessage&)> Dropped;
};

// The notification object of one socket component.
class TSockWindow : public QObject {
public:
    explicit TSockWindow(TSockHandlers handlers) : m_handlers(std::move(handlers)) {}
    ~TSockWindow() override;

    // Posts a message to this window (thread-safe).
    void Post(const TSockMessage& message);

    // The component's destruction: voids its held notifications and deletes
    // the window now, or (when the component is destroyed from inside a
    // dispatch to this window) detaches it and deletes it later.
    void Release();

private:
    friend class TSockDispatcher;
    TSockHandlers m_handlers;
    bool m_detached = false;
    int m_dispatching = 0;
};

class TSockDispatcher {
public:
    TSockDispatcher();

    // Thread-safe.
    void Post(TSockWindow* window, const TSockMessage& message);
    void SetNoticeGate(TNoticeGate gate) { m_gate = std::move(gate); }

    int WaitDepth() const { return m_waitDepth; }
    // Delivers the messages waiting now; a lookup wait calls it each round.
    void DeliverWaiting() { m_queue.DeliverWaiting(); }
    void WaitBegan() { ++m_waitDepth; }
    // Counts one wait out (never below 0) and restarts the draining.
    void WaitEnded();

    std::size_t HeldCount() const { return m_held.Count(); }
    // The window's held notifications never reach it (SocketFreed).
    void Void(const TSockWindow* window) { m_held.Void(window); }
    // The library's clean-up: drops every held notification, counts every wait out.
    void Reset();

private:
    friend class TSockWindow;
    void Forget(const TSockWindow* window) { m_queue.Forget(window); }
    void Dispatch(TSockWindow* window, const TSockMessage& message);
    void Handle(TSockWindow* window, const TSockMessage& message);
    void HandleNotice(TSockWindow* window, const TSockMessage& message);
    void DeliverNext();
    // Drops voided entries at the front and posts DrainQueue while entries remain.
    void PostDrain();
    void ResumeDraining();

    TSockMessageQueue m_queue;
    TPendingQueue m_held;
    int m_waitDepth = 0;
    // Until the selection layer sets its gate no notice is admitted.
    TNoticeGate m_gate{[](const TSockMessage&, TSockNotice&) { return false; }, [](const TSockMessage&) {}};
};

TSockDispatcher& SockDispatcher();

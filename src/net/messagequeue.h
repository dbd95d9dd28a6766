#pragma once
// TSockMessageQueue: the one message queue of every socket component's
// notification object (TSockWindow), delivered on the UI thread.
//
// Contract:
// - Post(window, message) may be called from any thread (lookups answer from
//   worker threads). Messages are delivered to TSockWindow::Deliver on the UI
//   thread strictly in posting order across all windows.
// - Delivery runs from a posted Qt event. One run delivers messages until the
//   queue is empty or a time slice of a few milliseconds has passed, then
//   returns to the event loop (timers, input and painting get their turn) and
//   goes on with the next run. Messages posted during a run (a receive that
//   asks for the next read notification) are delivered in the same run: a
//   busy connection costs one event-loop round per slice, not per message.
// - While messages wait, a run is always posted: a handler that runs an event
//   loop of its own (a nested wait) keeps receiving the messages behind its
//   own, in order.
// - Forget(window) removes a window's waiting messages (its destruction); the
//   window must not be used by a later Post.
#include "net/sockwindow.h"

#include <deque>
#include <mutex>

class TSockMessageQueue {
public:
    void Post(TSockWindow* window, const TSockMessage& message);
    void Forget(const TSockWindow* window);

    // One run of deliveries (called by the posted event).
    void DeliverSlice();

private:
    struct Entry {
        TSockWindow* Window;
        TSockMessage Message;
    };
    // Posts the event that starts a run unless one is posted; mutex held.
    void SchedulePumpLocked();

    std::mutex m_mutex;
    std::deque<Entry> m_entries;
    bool m_pumpPosted = false;
};

TSockMessageQueue& SockMessageQueue();

#pragma once
// TSockMessageQueue: the one queue of messages posted to the socket
// components' notification objects, delivered on the UI thread.
//
// Contract:
// - Post(window, message) may be called from any thread (lookups answer from
//   worker threads). Each message is handed to the delivery function given
//   at construction, on the UI thread, strictly in posting order across all
//   windows.
// - Delivery runs from a posted Qt event. One run delivers messages until the
//   queue is empty or a time slice of a few milliseconds has passed, then
//   returns to the event loop (timers, input and painting get their turn) and
//   goes on with the next run. Messages posted during a run (a receive that
//   asks for the next read notification) are delivered in the same run: a
//   busy connection costs one event-loop round per slice, not per message.
// - While messages wait, a run is always posted: a delivery that runs an
//   event loop of its own (a nested wait) keeps receiving the messages behind
//   its own, in order.
// - DeliverWaiting() runs a delivery at once (on the UI thread) when messages
//   wait: a wait that runs an event loop of its own calls it, so its answer
//   arrives however the event loop orders the posted events it was entered from.
// - Forget(window) removes a window's waiting messages (its destruction); the
//   window must not be used by a later Post.
// - The queue only carries windows; it never looks into them.
#include "net/sockmessage.h"

#include <QObject>

#include <deque>
#include <functional>
#include <memory>
#include <mutex>

class TSockWindow;

class TSockMessageQueue {
public:
    using TDeliver = std::function<void(TSockWindow* window, const TSockMessage& message)>;

    // The queue is made on the UI thread (or before the application exists).
    explicit TSockMessageQueue(TDeliver deliver);
    ~TSockMessageQueue();

    void Post(TSockWindow* window, const TSockMessage& message);
    void Forget(const TSockWindow* window);
    void DeliverWaiting();

private:
    struct Entry {
        TSockWindow* Window;
        TSockMessage Message;
    };
    // One run of deliveries (called by the posted event).
    void DeliverSlice();
    // Posts the event that starts a run unless one is posted; mutex held.
    void SchedulePumpLocked();

    TDeliver m_deliver;
    std::unique_ptr<QObject> m_pump;
    std::mutex m_mutex;
    std::deque<Entry> m_entries;
    bool m_pumpPosted = false;
};

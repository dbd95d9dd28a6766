#pragma once
// PendingQueue and WaitDepth: socket notifications held back while a name
// lookup waits.
//
// Contract:
// - WaitDepth() counts the WaitForLookup loops running (nested waits each add
//   one). While it is above 0, every socket notification (message 2135) is
//   appended here instead of being handled; so is every notification that
//   arrives while the queue is not empty, so arrival order is kept.
// - DeliverNext() is called after every message a notification object handles:
//   when no wait runs it removes the first entry, posts DrainQueue (2139) to
//   keep going while entries remain, and hands the entry to its component's
//   HandleSelect (unless the entry was voided): one entry per message,
//   strictly in arrival order across all components. The drain is posted
//   before the handler runs, so a handler that runs the event loop (waiting
//   for a notification queued behind its own) does not stop the draining.
// - Void(component) marks the component's entries void (SocketFreed, and the
//   component's destruction): they are dropped when their turn comes and never
//   reach the component. A dropped entry is reported to its socket's selection
//   (TAsyncSelect::Dropped), which raises it again while it still holds: a
//   voided read or close of another connection is postponed, never lost.
// - WaitEnded() counts a wait out and restarts the draining.
#include "net/sockwindow.h"

#include <deque>

class TPendingQueue {
public:
    struct Entry {
        TSockMessage Message;
        TSockCtrl* Component; // nullptr once voided
    };

    bool IsEmpty() const { return m_entries.empty(); }
    std::size_t Count() const { return m_entries.size(); }
    void Append(const TSockMessage& message, TSockCtrl* component);
    void Void(const TSockCtrl* component);
    void DeliverNext();
    void Clear() { m_entries.clear(); }

    // Posts DrainQueue to the first live entry's component while entries remain.
    void PostDrain();

private:
    static void DropVoided(const Entry& entry);

    std::deque<Entry> m_entries;
};

TPendingQueue& PendingQueue();
int& WaitDepth();

// Counts one wait out of WaitDepth (never below 0) and restarts draining.
void WaitEnded();

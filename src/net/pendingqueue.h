#pragma once
// TPendingQueue: socket notifications held back while a name lookup waits,
// in arrival order.
//
// Contract:
// - Append keeps a notification (message 2135) with the window it was
//   addressed to; TakeFirst removes the oldest one.
// - Void(window) marks the window's entries void (their component freed a
//   socket object or is being destroyed): they stay in line, with no window,
//   so that the dispatcher drops them when their turn comes.
// - When entries are taken and who receives them is the dispatcher's rule
//   (sockdispatcher.h); this class only keeps them.
#include "net/sockmessage.h"

#include <deque>

class TSockWindow;

class TPendingQueue {
public:
    struct Entry {
        TSockMessage Message;
        TSockWindow* Window; // nullptr once voided
    };

    bool IsEmpty() const { return m_entries.empty(); }
    std::size_t Count() const { return m_entries.size(); }
    const Entry& First() const { return m_entries.front(); }
    void Append(const TSockMessage& message, TSockWindow* window) { m_entries.push_back({message, window}); }
    Entry TakeFirst();
    void Void(const TSockWindow* window);
    void Clear() { m_entries.clear(); }

private:
    std::deque<Entry> m_entries;
};

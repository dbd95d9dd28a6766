#include "net/pendingqueue.h"

TPendingQueue::Entry TPendingQueue::TakeFirst()
{
    const Entry entry = m_entries.front();
    m_entries.pop_front();
    return entry;
}

void TPendingQueue::Void(const TSockWindow* window)
{
    for (Entry& entry : m_entries)
        if (entry.Window == window)
            entry.Window = nullptr;
}

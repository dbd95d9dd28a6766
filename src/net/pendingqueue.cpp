#include "net/pendingqueue.h"

#include "core/exception.h"
#include "net/asyncselect.h"
#include "net/sockctrl.h"

TPendingQueue& PendingQueue()
{
    static TPendingQueue queue;
    return queue;
}

int& WaitDepth()
{
    static int depth = 0;
    return depth;
}

void WaitEnded()
{
    if (WaitDepth() > 0)
        --WaitDepth();
    if (WaitDepth() == 0)
        PendingQueue().PostDrain();
}

void TPendingQueue::Append(const TSockMessage& message, TSockCtrl* component)
{
    m_entries.push_back({message, component});
}

void TPendingQueue::Void(const TSockCtrl* component)
{
    for (Entry& entry : m_entries)
        if (entry.Component == component)
            entry.Component = nullptr;
}

// A voided entry is not handled; its socket raises it again if it still holds.
void TPendingQueue::DropVoided(const Entry& entry)
{
    TAsyncSelect::Dropped(int(entry.Message.WParam), entry.Message.Serial, LoWord(entry.Message.LParam));
}

void TPendingQueue::PostDrain()
{
    while (!m_entries.empty() && !m_entries.front().Component) {
        const Entry voided = m_entries.front();
        m_entries.pop_front();
        DropVoided(voided);
    }
    if (m_entries.empty())
        return;
    TSockMessage drain;
    drain.Msg = DrainQueue;
    m_entries.front().Component->Window()->Post(drain);
}

void TPendingQueue::DeliverNext()
{
    if (WaitDepth() > 0 || m_entries.empty())
        return;
    const Entry entry = m_entries.front();
    m_entries.pop_front();
    // The drain goes on before the handler runs: a handler that waits in the
    // event loop for a notification queued behind its own receives it.
    PostDrain();
    try {
        if (entry.Component)
            entry.Component->DeliverSelect(entry.Message);
        else
            DropVoided(entry);
    } catch (...) {
        ReportException(std::current_exception());
    }
}

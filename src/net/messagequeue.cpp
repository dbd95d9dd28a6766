#include "net/messagequeue.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>

#include <chrono>

namespace {
// Longest run of deliveries before the event loop gets its turn again.
constexpr auto slice = std::chrono::milliseconds(5);

const QEvent::Type pumpEventType = QEvent::Type(QEvent::registerEventType());

// Lives on the UI thread; each posted pump event starts one run.
class TPump : public QObject {
protected:
    bool event(QEvent* event) override
    {
        if (event->type() != pumpEventType)
            return QObject::event(event);
        SockMessageQueue().DeliverSlice();
        return true;
    }
};

TPump* pump()
{
    static TPump* const object = [] {
        auto* created = new TPump;
        if (QCoreApplication* application = QCoreApplication::instance())
            created->moveToThread(application->thread());
        return created;
    }();
    return object;
}
} // namespace

TSockMessageQueue& SockMessageQueue()
{
    static TSockMessageQueue queue;
    return queue;
}

void TSockMessageQueue::SchedulePumpLocked()
{
    if (m_pumpPosted)
        return;
    m_pumpPosted = true;
    QCoreApplication::postEvent(pump(), new QEvent(pumpEventType));
}

void TSockMessageQueue::Post(TSockWindow* window, const TSockMessage& message)
{
    std::lock_guard guard(m_mutex);
    m_entries.push_back({window, message});
    SchedulePumpLocked();
}

void TSockMessageQueue::Forget(const TSockWindow* window)
{
    std::lock_guard guard(m_mutex);
    std::erase_if(m_entries, [window](const Entry& entry) { return entry.Window == window; });
}

void TSockMessageQueue::DeliverSlice()
{
    const auto end = std::chrono::steady_clock::now() + slice;
    {
        std::lock_guard guard(m_mutex);
        m_pumpPosted = false;
    }
    for (;;) {
        Entry entry{nullptr, {}};
        {
            std::lock_guard guard(m_mutex);
            if (m_entries.empty())
                return;
            entry = m_entries.front();
            m_entries.pop_front();
            if (!m_entries.empty())
                SchedulePumpLocked(); // a nested wait in the handler goes on with the rest
        }
        entry.Window->Deliver(entry.Message);
        if (std::chrono::steady_clock::now() >= end) {
            std::lock_guard guard(m_mutex);
            if (!m_entries.empty())
                SchedulePumpLocked();
            return;
        }
    }
}

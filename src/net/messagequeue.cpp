#include "net/messagequeue.h"

#include <QCoreApplication>
#include <QEvent>

#include <chrono>

namespace {
// Longest run of deliveries before the event loop gets its turn again.
constexpr auto slice = std::chrono::milliseconds(5);

const QEvent::Type pumpEventType = QEvent::Type(QEvent::registerEventType());

// Lives on the UI thread; each posted pump event starts one run.
class TPump : public QObject {
public:
    explicit TPump(std::function<void()> run) : m_run(std::move(run))
    {
        if (QCoreApplication* application = QCoreApplication::instance())
            moveToThread(application->thread());
    }

protected:
    bool event(QEvent* event) override
    {
        if (event->type() != pumpEventType)
            return QObject::event(event);
        m_run();
        return true;
    }

private:
    std::function<void()> m_run;
};
} // namespace

TSockMessageQueue::TSockMessageQueue(TDeliver deliver)
    : m_deliver(std::move(deliver)), m_pump(std::make_unique<TPump>([this] { DeliverSlice(); }))
{
}

TSockMessageQueue::~TSockMessageQueue() = default;

void TSockMessageQueue::SchedulePumpLocked()
{
    if (m_pumpPosted)
        return;
    m_pumpPosted = true;
    QCoreApplication::postEvent(m_pump.get(), new QEvent(pumpEventType));
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

void TSockMessageQueue::DeliverWaiting()
{
    {
        std::lock_guard guard(m_mutex);
        if (m_entries.empty())
            return;
    }
    DeliverSlice();
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
                SchedulePumpLocked(); // a nested wait in the delivery goes on with the rest
        }
        m_deliver(entry.Window, entry.Message);
        if (std::chrono::steady_clock::now() >= end) {
            std::lock_guard guard(m_mutex);
            if (!m_entries.empty())
                SchedulePumpLocked();
            return;
        }
    }
}

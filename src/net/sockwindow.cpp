#include "net/sockwindow.h"

#include "core/exception.h"
#include "net/pendingqueue.h"
#include "net/sockctrl.h"

#include <QCoreApplication>

namespace {
class TSockMessageEvent : public QEvent {
public:
    explicit TSockMessageEvent(const TSockMessage& message)
        : QEvent(TSockWindow::EventType()), m_message(message)
    {
    }
    const TSockMessage& Message() const { return m_message; }

private:
    TSockMessage m_message;
};
} // namespace

QEvent::Type TSockWindow::EventType()
{
    static const QEvent::Type type = QEvent::Type(QEvent::registerEventType());
    return type;
}

void TSockWindow::Post(const TSockMessage& message)
{
    QCoreApplication::postEvent(this, new TSockMessageEvent(message));
}

bool TSockWindow::event(QEvent* event)
{
    if (event->type() != EventType())
        return QObject::event(event);
    const TSockMessage message = static_cast<TSockMessageEvent*>(event)->Message();
    const bool closingDown = QCoreApplication::closingDown();
    if (closingDown && message.Msg != SocketClosed)
        return true;
    TSockCtrl* owner = m_owner;
    if (!owner)
        return true; // the component is gone
    ++m_dispatching;
    try {
        switch (message.Msg) {
        case SocketNotify:
            if (WaitDepth() > 0 || !PendingQueue().IsEmpty())
                PendingQueue().Append(message, owner);
            else
                owner->DeliverSelect(message);
            break;
        case SocketClosed:
            owner->SocketFreed(reinterpret_cast<TSocketBase*>(message.LParam));
            break;
        case AsyncDone:
            owner->AsyncRequestDone(message);
            break;
        case LookupDone:
            owner->StoreLookupResult(message);
            break;
        default:
            break;
        }
    } catch (...) {
        ReportException(std::current_exception());
    }
    --m_dispatching;
    if (!closingDown)
        PendingQueue().DeliverNext();
    return true;
}

void TSockWindow::Release()
{
    if (m_dispatching == 0) {
        delete this;
        return;
    }
    m_owner = nullptr;
    deleteLater();
}

#include "net/sockwindow.h"

#include "core/exception.h"
#include "net/messagequeue.h"
#include "net/pendingqueue.h"
#include "net/sockctrl.h"

#include <QCoreApplication>

TSockWindow::~TSockWindow()
{
    SockMessageQueue().Forget(this);
}

void TSockWindow::Post(const TSockMessage& message)
{
    SockMessageQueue().Post(this, message);
}

void TSockWindow::Deliver(const TSockMessage& message)
{
    const bool closingDown = QCoreApplication::closingDown();
    if (closingDown && message.Msg != SocketClosed)
        return;
    TSockCtrl* owner = m_owner;
    if (!owner)
        return; // the component is gone
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

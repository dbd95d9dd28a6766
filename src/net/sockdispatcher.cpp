#include "net/sockdispatcher.h"

#include "core/exception.h"

#include <QCoreApplication>

namespace {
// Runs one handler: an exception escaping it is reported, and processing goes on.
template <class F> void reported(F&& run)
{
    try {
        run();
    } catch (...) {
        ReportException(std::current_exception());
    }
}
} // namespace

TSockDispatcher& SockDispatcher()
{
    static auto* const dispatcher = new TSockDispatcher;
    return *dispatcher;
}

TSockWindow::~TSockWindow()
{
    SockDispatcher().Forget(this);
}

void TSockWindow::Post(const TSockMessage& message)
{
    SockDispatcher().Post(this, message);
}

void TSockWindow::Release()
{
    TSockDispatcher& dispatcher = SockDispatcher();
    dispatcher.Void(this);
    if (m_dispatching == 0) {
        delete this;
    } else {
        m_detached = true;
        deleteLater();
    }
    dispatcher.ResumeDraining(); // a drain posted to this window is gone with it
}

TSockDispatcher::TSockDispatcher()
    : m_queue([this](TSockWindow* window, const TSockMessage& message) { Dispatch(window, message); })
{
}

void TSockDispatcher::Post(TSockWindow* window, const TSockMessage& message)
{
    m_queue.Post(window, message);
}

void TSockDispatcher::WaitEnded()
{
    if (m_waitDepth > 0)
        --m_waitDepth;
    ResumeDraining();
}

void TSockDispatcher::ResumeDraining()
{
    if (m_waitDepth == 0)
        PostDrain();
}

void TSockDispatcher::Reset()
{
    m_held.Clear();
    m_waitDepth = 0;
}

void TSockDispatcher::Dispatch(TSockWindow* window, const TSockMessage& message)
{
    const bool closingDown = QCoreApplication::closingDown();
    if (closingDown && message.Msg != SocketClosed)
        return;
    if (window->m_detached)
        return; // the component is gone
    ++window->m_dispatching;
    reported([&] { Handle(window, message); });
    --window->m_dispatching;
    if (!closingDown)
        DeliverNext();
}

void TSockDispatcher::Handle(TSockWindow* window, const TSockMessage& message)
{
    const TSockHandlers& handlers = window->m_handlers;
    switch (message.Msg) {
    case SocketNotify:
        if (m_waitDepth > 0 || !m_held.IsEmpty())
            m_held.Append(message, window);
        else
            HandleNotice(window, message);
        break;
    case SocketClosed:
        handlers.SocketClosed(reinterpret_cast<TSocketBase*>(message.LParam));
        break;
    case AsyncDone:
    case LookupDone: {
        const TLookupReply reply{quint32(message.WParam), LoWord(message.LParam), HiWord(message.LParam)};
        (message.Msg == AsyncDone ? handlers.AsyncDone : handlers.LookupDone)(reply);
        break;
    }
    default:
        break;
    }
}

// A notification of a handle closed since it was posted belongs to no socket
// any more, and a read notification whose data was taken meanwhile has
// nothing to say: the gate keeps both from the component.
void TSockDispatcher::HandleNotice(TSockWindow* window, const TSockMessage& message)
{
    TSockNotice notice;
    if (m_gate.Admit(message, notice))
        window->m_handlers.Notice(notice);
}

void TSockDispatcher::PostDrain()
{
    while (!m_held.IsEmpty() && !m_held.First().Window) {
        const TSockMessage voided = m_held.TakeFirst().Message;
        m_gate.Dropped(voided);
    }
    if (m_held.IsEmpty())
        return;
    TSockMessage drain;
    drain.Msg = DrainQueue;
    Post(m_held.First().Window, drain);
}

void TSockDispatcher::DeliverNext()
{
    if (m_waitDepth > 0 || m_held.IsEmpty())
        return;
    const TPendingQueue::Entry entry = m_held.TakeFirst();
    // The drain goes on before the handler runs: a handler that waits in the
    // event loop for a notification held behind its own receives it.
    PostDrain();
    if (!entry.Window) {
        reported([&] { m_gate.Dropped(entry.Message); });
        return;
    }
    ++entry.Window->m_dispatching;
    reported([&] { HandleNotice(entry.Window, entry.Message); });
    --entry.Window->m_dispatching;
}

#include "net/asyncselect.h"

#include "net/sockdispatcher.h"
#include "net/sockerror.h"

#include <QPointer>
#include <QSocketNotifier>

#include <cerrno>
#include <map>
#include <memory>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>

namespace {

// What the socket is at the moment; it decides what its notifiers mean.
enum class TPhase { Idle, Connecting, Connected, Listening, Datagram, Ended };

class TSelection {
public:
    TSelection(int handle, quint64 serial) : m_handle(handle), m_serial(serial)
    {
        m_reader = std::make_unique<QSocketNotifier>(handle, QSocketNotifier::Read);
        m_writer = std::make_unique<QSocketNotifier>(handle, QSocketNotifier::Write);
        m_reader->setEnabled(false);
        m_writer->setEnabled(false);
        QObject::connect(m_reader.get(), &QSocketNotifier::activated, [this] { OnReadable(); });
        QObject::connect(m_writer.get(), &QSocketNotifier::activated, [this] { OnWritable(); });
        m_phase = InitialPhase();
        m_writeArmed = m_phase == TPhase::Connected || m_phase == TPhase::Datagram;
        // A TCP socket tells with every receive how much it still holds
        // (tWinsockAPI::recv reads it); other sockets simply do not.
        const int on = 1;
        if (m_phase != TPhase::Datagram)
            ::setsockopt(handle, IPPROTO_TCP, TCP_INQ, &on, sizeof on);
    }

    quint64 Serial() const { return m_serial; }

    void Route(TSockWindow* window, int msg, long mask)
    {
        m_window = window;
        m_msg = msg;
        m_mask = mask;
        m_readOutstanding = false;
        Update();
    }

    quint64 Receipts() const { return m_receipts; }

    void AfterRecv(qint64 count, int left)
    {
        // A stream's 0 is its end; a datagram socket's 0 is an empty datagram taken.
        m_receipts += count > 0 || (count == 0 && m_phase == TPhase::Datagram);
        if (m_readQueued) {
            // The queued read notification is checked when delivered unless
            // data certainly remains (a single byte left may be the stream's end).
            m_readStale = left <= 1;
            return;
        }
        m_readOutstanding = false;
        // While data remains the next read notification goes out at once
        // instead of after a round of the event loop's poll.
        if (m_phase == TPhase::Connected && (m_mask & FD_READ) && (left > 0 || (left < 0 && DataWaiting()))) {
            m_readOutstanding = true;
            Post(FD_READ, 0);
            m_readStale = left == 1;
        }
        Update();
    }

    bool TakeDelivery(int event)
    {
        if (event != FD_READ || !m_readQueued)
            return true;
        m_readQueued = false;
        if (!m_readStale || ReadWaiting())
            return true;
        m_readOutstanding = false; // taken meanwhile: watch the socket again
        Update();
        return false;
    }

    // A queued notification was voided: raise it again when it still holds.
    void Redetect(int event)
    {
        switch (event) {
        case FD_READ:
            m_readQueued = false;
            m_readOutstanding = false;
            break;
        case FD_ACCEPT:
            m_readOutstanding = false;
            break;
        case FD_WRITE:
            m_writeArmed = true;
            break;
        case FD_CLOSE:
            Post(FD_CLOSE, m_closeError);
            break;
        default:
            break;
        }
        Update();
    }

    void AfterSend(bool wouldBlock)
    {
        if (wouldBlock) {
            m_writeArmed = true;
            Update();
        }
    }
    void AfterAccept() { AfterRecv(-1, 0); }
    void ConnectStarted(int error)
    {
        if (m_phase == TPhase::Datagram)
            return;
        if (error == 0) {
            Connected();
        } else if (error == EINPROGRESS) {
            m_phase = TPhase::Connecting;
        } else {
            m_phase = TPhase::Ended;
            Post(FD_CONNECT, WsaErrorFromErrno(error));
        }
        Update();
    }
    void Listening()
    {
        if (m_phase != TPhase::Datagram)
            m_phase = TPhase::Listening;
        Update();
    }

private:
    TPhase InitialPhase() const
    {
        int value = 0;
        socklen_t length = sizeof value;
        if (::getsockopt(m_handle, SOL_SOCKET, SO_TYPE, &value, &length) == 0 && value == SOCK_DGRAM)
            return TPhase::Datagram;
        length = sizeof value;
        if (::getsockopt(m_handle, SOL_SOCKET, SO_ACCEPTCONN, &value, &length) == 0 && value)
            return TPhase::Listening;
        sockaddr_storage peer{};
        length = sizeof peer;
        if (::getpeername(m_handle, reinterpret_cast<sockaddr*>(&peer), &length) == 0)
            return TPhase::Connected;
        return TPhase::Idle;
    }

    void Connected()
    {
        m_phase = TPhase::Connected;
        m_writeArmed = true;
        Post(FD_CONNECT, 0);
    }

    void Update()
    {
        const bool idleReader = !m_readOutstanding;
        bool read = false;
        switch (m_phase) {
        case TPhase::Connected:
            read = idleReader && (m_mask & (FD_READ | FD_CLOSE));
            break;
        case TPhase::Listening:
            read = idleReader && (m_mask & FD_ACCEPT);
            break;
        case TPhase::Datagram:
            read = idleReader && (m_mask & FD_READ);
            break;
        default:
            break;
        }
        const bool canWrite = m_phase == TPhase::Connected || m_phase == TPhase::Datagram;
        const bool write = m_phase == TPhase::Connecting || (canWrite && m_writeArmed && (m_mask & FD_WRITE));
        if (m_reader->isEnabled() != read)
            m_reader->setEnabled(read);
        if (m_writer->isEnabled() != write)
            m_writer->setEnabled(write);
    }

    void OnReadable()
    {
        switch (m_phase) {
        case TPhase::Listening:
            m_readOutstanding = true;
            Post(FD_ACCEPT, 0);
            break;
        case TPhase::Datagram:
            m_readOutstanding = true;
            Post(FD_READ, 0);
            break;
        case TPhase::Connected:
            OnStreamReadable();
            break;
        default:
            break;
        }
        Update();
    }

    void OnStreamReadable()
    {
        char probe;
        const ssize_t n = ::recv(m_handle, &probe, 1, MSG_PEEK | MSG_DONTWAIT);
        if (n > 0) {
            m_readOutstanding = true; // also without FD_READ: wait for a receive
            Post(FD_READ, 0);
        } else if (n == 0) {
            Ended(0);
        } else if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            Ended(WsaErrorFromErrno(errno));
        }
    }

    void Ended(int error)
    {
        m_phase = TPhase::Ended;
        m_closeError = error;
        Post(FD_CLOSE, error);
    }

    // Data waiting on a connected stream, and not its end (asked without
    // taking the socket's lock, which a peek would contend for with arriving data).
    bool DataWaiting() const
    {
        pollfd wanted{m_handle, POLLIN | POLLRDHUP, 0};
        return ::poll(&wanted, 1, 0) == 1 && wanted.revents == POLLIN;
    }

    // Whether a receive would find something now: data on a stream (its end
    // or an error is reported as FD_CLOSE instead), anything on a datagram socket.
    bool ReadWaiting() const
    {
        char probe;
        const ssize_t n = ::recv(m_handle, &probe, 1, MSG_PEEK | MSG_DONTWAIT);
        if (m_phase == TPhase::Datagram)
            return n >= 0 || (errno != EAGAIN && errno != EWOULDBLOCK);
        return n > 0;
    }

    void OnWritable()
    {
        if (m_phase == TPhase::Connecting) {
            int error = 0;
            socklen_t length = sizeof error;
            if (::getsockopt(m_handle, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
                error = errno;
            if (error == 0) {
                Connected();
            } else {
                m_phase = TPhase::Ended;
                Post(FD_CONNECT, WsaErrorFromErrno(error));
            }
        } else {
            m_writeArmed = false;
            Post(FD_WRITE, 0);
        }
        Update();
    }

    void Post(int event, int error)
    {
        if (!(m_mask & event) || !m_window)
            return;
        if (event == FD_READ) {
            m_readQueued = true;
            m_readStale = false;
        }
        TSockMessage message;
        message.Msg = m_msg;
        message.WParam = quintptr(m_handle);
        message.LParam = MakeLong(quint16(event), quint16(error));
        message.Serial = m_serial;
        m_window->Post(message);
    }

    int m_handle;
    quint64 m_serial;
    QPointer<TSockWindow> m_window;
    int m_msg = 0;
    long m_mask = 0;
    TPhase m_phase = TPhase::Idle;
    bool m_readOutstanding = false;
    bool m_readQueued = false; // a posted FD_READ not yet delivered
    bool m_readStale = false;  // received from since it was posted
    quint64 m_receipts = 0;
    bool m_writeArmed = false;
    int m_closeError = 0;
    std::unique_ptr<QSocketNotifier> m_reader;
    std::unique_ptr<QSocketNotifier> m_writer;
};

std::map<int, std::unique_ptr<TSelection>>& selections()
{
    static std::map<int, std::unique_ptr<TSelection>> all;
    return all;
}

TSelection* find(int s)
{
    auto it = selections().find(s);
    return it == selections().end() ? nullptr : it->second.get();
}

} // namespace

void TAsyncSelect::Select(int s, TSockWindow* window, int msg, long mask)
{
    static quint64 nextSerial = 1;
    if (mask == 0) {
        Cancel(s);
        return;
    }
    auto& slot = selections()[s];
    if (!slot)
        slot = std::make_unique<TSelection>(s, nextSerial++);
    slot->Route(window, msg, mask);
}

void TAsyncSelect::Cancel(int s)
{
    selections().erase(s);
}

void TAsyncSelect::CancelAll()
{
    selections().clear();
}

quint64 TAsyncSelect::Receipts(int s)
{
    const TSelection* selection = find(s);
    return selection ? selection->Receipts() : 0;
}

void TAsyncSelect::AfterRecv(int s, qint64 count, int left)
{
    if (TSelection* selection = find(s))
        selection->AfterRecv(count, left);
}

bool TAsyncSelect::Admit(const TSockMessage& message, TSockNotice& notice)
{
    notice = {int(message.WParam), LoWord(message.LParam), HiWord(message.LParam), message.Serial};
    TSelection* selection = find(notice.Handle);
    return selection && selection->Serial() == notice.Serial && selection->TakeDelivery(notice.Event);
}

void TAsyncSelect::Dropped(const TSockMessage& message)
{
    TSelection* selection = find(int(message.WParam));
    if (selection && selection->Serial() == message.Serial)
        selection->Redetect(LoWord(message.LParam));
}

void TAsyncSelect::AfterSend(int s, bool wouldBlock)
{
    if (TSelection* selection = find(s))
        selection->AfterSend(wouldBlock);
}

void TAsyncSelect::AfterAccept(int s)
{
    if (TSelection* selection = find(s))
        selection->AfterAccept();
}

void TAsyncSelect::ConnectStarted(int s, int error)
{
    if (TSelection* selection = find(s))
        selection->ConnectStarted(error);
}

void TAsyncSelect::Listening(int s)
{
    if (TSelection* selection = find(s))
        selection->Listening();
}

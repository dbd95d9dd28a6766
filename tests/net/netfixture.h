#pragma once
// Shared pieces of the socket tests: a socket class and a component that
// record what reaches them, and loopback helpers.
#include "net/pendingqueue.h"
#include "net/sockctrl.h"
#include "net/winsockapi.h"
#include "support/pump.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QString>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

// A socket object that adopts a handle made by the test.
class TTestSocket : public TSocketBase {
public:
    using TSocketBase::TSocketBase;
    void Adopt(int handle) { SetHandle(handle); }
    int Send(const void* buf, int len) override
    {
        return CheckError(WinsockAPI().send(Handle(), buf, len, 0), WSAEWOULDBLOCK, sockErrSending);
    }
    int Recv(void* buf, int len) override
    {
        return CheckError(WinsockAPI().recv(Handle(), buf, len, 0), WSAEWOULDBLOCK, sockErrReceiving);
    }
    void Listen(const QString&, int, quint16, const QString&, QString&) override {}
    void Connect(const QString&, TAsyncOptions, quint16, const QString&, QString&) override {}
};

struct TNotification {
    const void* Component;
    int Handle;
    int Event;
    int Error;
    bool operator==(const TNotification&) const = default;
};

// A component that records every notification, optionally in a shared log.
class TRecordingCtrl : public TSockCtrl {
public:
    explicit TRecordingCtrl(std::vector<TNotification>* log = nullptr)
        : TSockCtrl(nullptr, SocketClassOf<TTestSocket>), m_log(log ? log : &Seen)
    {
    }
    std::vector<TNotification> Seen;
    std::function<void(const TSockMessage&)> OnSelect;
    using TSockCtrl::AddAsyncRequest;
    using TSockCtrl::WaitForLookup;

    TTestSocket* TestSocket() { return static_cast<TTestSocket*>(Socket()); }
    int Count(int event) const
    {
        int n = 0;
        for (const TNotification& seen : *m_log)
            n += seen.Component == this && seen.Event == event;
        return n;
    }

protected:
    void HandleSelect(const TSockMessage& message) override
    {
        m_log->push_back({this, int(message.WParam), LoWord(message.LParam), HiWord(message.LParam)});
        if (OnSelect)
            OnSelect(message);
    }

private:
    std::vector<TNotification>* m_log;
};

// A connected pair of non-blocking stream sockets (a local socket pair).
struct TSocketPair {
    int Mine = -1;
    int Peer = -1;
    TSocketPair()
    {
        int fds[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, fds) == 0) {
            Mine = fds[0];
            Peer = fds[1];
        }
    }
    ~TSocketPair()
    {
        if (Peer >= 0)
            ::close(Peer);
    }
    void Write(const char* text) const { ASSERT_GT(::write(Peer, text, strlen(text)), 0); }
};

inline sockaddr_in Loopback(quint16 port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

// Runs step from the event loop every few milliseconds until it returns true
// (used to act from inside a running wait).
inline void RunSteps(std::function<bool()> step)
{
    auto* timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, step] {
        if (step()) {
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start();
}

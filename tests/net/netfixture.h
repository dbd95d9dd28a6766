#pragma once
// Shared pieces of the socket tests: a socket class and a component that
// record what reaches them, and loopback helpers.
#include "net/sockctrl.h"
#include "net/sockdispatcher.h"
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
    std::function<void(const TSockNotice&)> OnSelect;
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
    void HandleSelect(const TSockNotice& notice) override
    {
        m_log->push_back({this, notice.Handle, notice.Event, notice.Error});
        if (OnSelect)
            OnSelect(notice);
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

// ---- Loopback peers for the client and server component tests ----

#include <QStringList>

#include <poll.h>
#include <sys/resource.h>

// A plain listening socket on a loopback address, port chosen by the system.
struct TRawListener {
    int Fd = -1;
    quint16 Port = 0;
    explicit TRawListener(int backlog = 5, const char* address = "127.0.0.1")
    {
        Fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in local = Loopback(0);
        ::inet_pton(AF_INET, address, &local.sin_addr);
        socklen_t length = sizeof local;
        if (::bind(Fd, reinterpret_cast<sockaddr*>(&local), length) == 0 && ::listen(Fd, backlog) == 0 &&
            ::getsockname(Fd, reinterpret_cast<sockaddr*>(&local), &length) == 0)
            Port = ntohs(local.sin_port);
    }
    ~TRawListener()
    {
        if (Fd >= 0)
            ::close(Fd);
    }
    // The next waiting connection (blocking descriptor), or -1 after timeoutMs.
    int Accept(int timeoutMs = 5000) const
    {
        pollfd wanted{Fd, POLLIN, 0};
        if (::poll(&wanted, 1, timeoutMs) != 1)
            return -1;
        return ::accept4(Fd, nullptr, nullptr, SOCK_CLOEXEC);
    }
};

// A blocking connection to 127.0.0.1:port, from the loopback address from
// when given; -1 on failure.
inline int RawConnect(quint16 port, const char* from = nullptr)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (from) {
        sockaddr_in local = Loopback(0);
        ::inet_pton(AF_INET, from, &local.sin_addr);
        if (::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
            ::close(fd);
            return -1;
        }
    }
    const sockaddr_in remote = Loopback(port);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&remote), sizeof remote) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Closes a descriptor with a reset instead of an orderly close.
inline void ResetAndClose(int fd)
{
    linger hard{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    ::close(fd);
}

// Whether the peer of fd has closed (reads until end of stream, at most timeoutMs).
inline bool PeerClosed(int fd, int timeoutMs = 5000)
{
    char buffer[256];
    for (;;) {
        pollfd wanted{fd, POLLIN, 0};
        if (::poll(&wanted, 1, timeoutMs) != 1)
            return false;
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            return true;
    }
}

// User plus system CPU seconds this process has used so far.
inline double ProcessCpuSeconds()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Records a component's progress codes and events as short texts
// ("info3", "read", "write", "disconnect", "timeout") in log.
inline void RecordEvents(TSockCtrl& component, QStringList& log)
{
    component.OnInfo = [&log](TSockCtrl*, TSockInfo code, TSocketBase*) {
        log << QStringLiteral("info%1").arg(code);
    };
    component.OnRead = [&log](TSockCtrl*, TSocketBase*) { log << QStringLiteral("read"); };
    component.OnWrite = [&log](TSockCtrl*, TSocketBase*) { log << QStringLiteral("write"); };
    component.OnDisconnect = [&log](TSockCtrl*, TSocketBase*) { log << QStringLiteral("disconnect"); };
    component.OnTimeOut = [&log](TSockCtrl*, TSocketBase*) { log << QStringLiteral("timeout"); };
}

// log without the entries in skipped.
inline QStringList Without(QStringList log, const QStringList& skipped)
{
    log.removeIf([&](const QString& entry) { return skipped.contains(entry); });
    return log;
}

// ---- A stand-in for the system's name server ----

#include "net/resolver.h"

#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <set>

// While it lives, lookups of the host names in stalled (and reverse lookups
// of the dotted addresses in stalled) do not answer until Release() or until
// this object is destroyed, then fail with 11002; reverse lookups of the
// addresses in nameless find no name (11004); reverse lookups of the addresses
// in names find the name given; everything else goes to the system's resolver.
class TFakeResolver {
public:
    TFakeResolver(std::set<QByteArray> stalled, std::set<QByteArray> nameless,
                  std::map<QByteArray, QString> names = {})
        : m_state(std::make_shared<TState>())
    {
        m_state->Stalled = std::move(stalled);
        m_state->Nameless = std::move(nameless);
        m_state->Names = std::move(names);
        TResolver::SetLookupFunction([state = m_state](TLookupKind kind, const QByteArray& text,
                                                       quint32 number, const QByteArray& proto) {
            const QByteArray address =
                kind == TLookupKind::HostByAddr ? QByteArray(::inet_ntoa(in_addr{number})) : QByteArray();
            const bool stalled = (kind == TLookupKind::HostByName && state->Stalled.count(text)) ||
                                 (kind == TLookupKind::HostByAddr && state->Stalled.count(address));
            if (stalled) {
                std::unique_lock lock(state->Mutex);
                ++state->Waiting;
                state->Changed.wait(lock, [&] { return state->Released; });
                return TLookupResult{WSATRY_AGAIN, 0, {}, 0};
            }
            if (kind == TLookupKind::HostByAddr && state->Nameless.count(address))
                return TLookupResult{WSANO_DATA, 0, {}, 0};
            if (kind == TLookupKind::HostByAddr && state->Names.count(address))
                return TLookupResult{0, 0, state->Names.at(address), 0};
            return TResolver::Run(kind, text, number, proto);
        });
    }
    ~TFakeResolver()
    {
        TResolver::SetLookupFunction({});
        Release();
    }
    TFakeResolver(const TFakeResolver&) = delete;
    TFakeResolver& operator=(const TFakeResolver&) = delete;

    // Lets the stalled lookups answer (and later ones answer at once).
    void Release()
    {
        std::lock_guard lock(m_state->Mutex);
        m_state->Released = true;
        m_state->Changed.notify_all();
    }
    // How many stalled lookups have started so far.
    int StalledLookups() const
    {
        std::lock_guard lock(m_state->Mutex);
        return m_state->Waiting;
    }

private:
    struct TState {
        std::set<QByteArray> Stalled;
        std::set<QByteArray> Nameless;
        std::map<QByteArray, QString> Names;
        std::mutex Mutex;
        std::condition_variable Changed;
        bool Released = false;
        int Waiting = 0;
    };
    std::shared_ptr<TState> m_state;
};

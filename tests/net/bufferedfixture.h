#pragma once
// Loopback peers for the buffered, line and datagram socket tests: a raw
// POSIX TCP peer on 127.0.0.1 that the client component connects to, and a
// client component opened with a chosen socket class.
#include "net/basicclientsocket.h"
#include "net/linesocket.h"
#include "support/pump.h"

#include <QByteArray>
#include <gtest/gtest.h>

#include <ctime>
#include <type_traits>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

// A TCP peer: listens on 127.0.0.1 at a port the system chooses and accepts
// one connection. Its end of the connection is blocking for writes.
class TLoopbackPeer {
public:
    TLoopbackPeer()
    {
        m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
            ::listen(m_listener, 4) == 0 &&
            ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) == 0)
            m_port = ntohs(address.sin_port);
    }
    ~TLoopbackPeer()
    {
        if (m_connection >= 0)
            ::close(m_connection);
        ::close(m_listener);
    }
    TLoopbackPeer(const TLoopbackPeer&) = delete;
    TLoopbackPeer& operator=(const TLoopbackPeer&) = delete;

    quint16 Port() const { return m_port; }
    int Connection() const { return m_connection; }

    // Accepts the connection, running the event loop meanwhile.
    bool Accept()
    {
        return PumpUntil([this] {
            m_connection = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
            return m_connection >= 0;
        });
    }
    void Send(const QByteArray& bytes) const
    {
        ASSERT_EQ(::send(m_connection, bytes.constData(), size_t(bytes.size()), MSG_NOSIGNAL),
                  ssize_t(bytes.size()));
    }
    // Everything received so far (without waiting).
    QByteArray Take()
    {
        char chunk[4096];
        for (ssize_t n; (n = ::recv(m_connection, chunk, sizeof chunk, MSG_DONTWAIT)) > 0;)
            m_received.append(chunk, n);
        return m_received;
    }
    // Runs the event loop until the peer has received exactly `expected` so far.
    bool Receives(const QByteArray& expected)
    {
        PumpUntil([&] { return Take().size() >= expected.size(); }, 3000);
        return Take() == expected;
    }
    void HalfClose() const { ::shutdown(m_connection, SHUT_WR); }
    // Closes with a reset (RST) instead of an orderly close.
    void Reset()
    {
        const linger hard{1, 0};
        ::setsockopt(m_connection, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
        ::close(m_connection);
        m_connection = -1;
    }

private:
    int m_listener = -1;
    int m_connection = -1;
    quint16 m_port = 0;
    QByteArray m_received;
};

// A client component connected to a loopback peer with a socket object of
// class T, recording its lines and events.
template <class T> class TConnectedClient {
public:
    TBasicClientSocket Client;
    TLoopbackPeer Peer;
    std::vector<QByteArray> Lines;
    std::vector<QString> Events; // "info N" (but icReceiving, icSending), "disconnect"
    int Activity = 0;            // every OnInfo, OnRead, OnWrite and OnLine

    void Open()
    {
        Client.SetAddress(QStringLiteral("127.0.0.1"));
        Client.SetPort(QString::number(Peer.Port()));
        Client.OnInfo = [this](TSockCtrl*, TSockInfo code, TSocketBase*) {
            ++Activity;
            if (code != icReceiving && code != icSending)
                Events.push_back(QStringLiteral("info %1").arg(int(code)));
        };
        Client.OnDisconnect = [this](TSockCtrl*, TSocketBase*) {
            Events.push_back(QStringLiteral("disconnect"));
        };
        Client.Open(SocketClassOf<T>);
        ASSERT_TRUE(Peer.Accept());
        int writable = 0;
        Client.OnWrite = [&writable](TSockCtrl*, TSocketBase*) { ++writable; };
        ASSERT_TRUE(PumpUntil([&] { return writable > 0; })) << "the first FD_WRITE after the connect";
        Client.OnWrite = [this](TSockCtrl*, TSocketBase*) { ++Activity; };
        Client.OnRead = [this](TSockCtrl*, TSocketBase*) { ++Activity; };
        if constexpr (std::is_base_of_v<TLineSocketBase, T>)
            Socket()->OnLine = [this](TLineSocketBase*, const QByteArray& line, bool complete) {
                EXPECT_TRUE(complete);
                ++Activity;
                Lines.push_back(line);
            };
        Events.clear();
    }
    // Events seen while the event loop runs for `milliseconds` (0 = idle).
    int ActivityWhilePumping(int milliseconds)
    {
        const int before = Activity;
        PumpFor(milliseconds);
        return Activity - before;
    }
    T* Socket() { return static_cast<T*>(Client.Socket()); }
    bool WaitForLines(std::size_t count)
    {
        return PumpUntil([&] { return Lines.size() >= count; }, 3000);
    }
};

// CPU time this process used, in milliseconds (to tell idling from spinning).
inline double ProcessCpuMs()
{
    timespec now{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1000.0 + double(now.tv_nsec) / 1e6;
}

// CPU milliseconds spent while the event loop runs for `milliseconds`.
inline double CpuMsWhilePumping(int milliseconds)
{
    const double before = ProcessCpuMs();
    PumpFor(milliseconds);
    return ProcessCpuMs() - before;
}

// Socket notifications over real non-blocking sockets on 127.0.0.1, with the
// re-enabling rules of asynchronous selection.
#include "netfixture.h"

namespace {
constexpr long streamMask = FD_READ | FD_WRITE | FD_CONNECT | FD_CLOSE;

// A listening socket on 127.0.0.1 with a system-chosen port.
int listenOnLoopback(TSockCtrl* owner, quint16& port)
{
    tWinsockAPI& api = WinsockAPI();
    const int handle = api.socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = Loopback(0);
    EXPECT_EQ(api.bind(handle, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    EXPECT_EQ(api.WSAAsyncSelect(handle, owner->Window(), SocketNotify, FD_ACCEPT | FD_CLOSE), 0);
    EXPECT_EQ(api.listen(handle, 5), 0);
    int length = sizeof address;
    api.getsockname(handle, reinterpret_cast<sockaddr*>(&address), &length);
    port = ntohs(address.sin_port);
    return handle;
}

int connectTo(TSockCtrl* owner, quint16 port)
{
    tWinsockAPI& api = WinsockAPI();
    const int handle = api.socket(AF_INET, SOCK_STREAM, 0);
    EXPECT_EQ(api.WSAAsyncSelect(handle, owner->Window(), SocketNotify, streamMask), 0);
    sockaddr_in address = Loopback(port);
    EXPECT_EQ(api.connect(handle, reinterpret_cast<sockaddr*>(&address), sizeof address), -1);
    EXPECT_EQ(api.WSAGetLastError(), WSAEWOULDBLOCK) << "a stream connect always completes later";
    return handle;
}

// A connected client/server pair, with the server side accepted and selected.
struct TConnection {
    TRecordingCtrl Client, Server;
    int Listener = -1, ClientHandle = -1, ServerHandle = -1;
    TConnection()
    {
        quint16 port = 0;
        Listener = listenOnLoopback(&Server, port);
        ClientHandle = connectTo(&Client, port);
        EXPECT_TRUE(PumpUntil([&] { return Server.Count(FD_ACCEPT) == 1 && Client.Count(FD_WRITE) == 1; }));
        ServerHandle = WinsockAPI().accept(Listener, nullptr, nullptr);
        EXPECT_GE(ServerHandle, 0);
        WinsockAPI().WSAAsyncSelect(ServerHandle, Server.Window(), SocketNotify,
                                    FD_READ | FD_WRITE | FD_CLOSE);
        EXPECT_TRUE(PumpUntil([&] { return Server.Count(FD_WRITE) == 1; }));
    }
    ~TConnection()
    {
        for (int handle : {Listener, ClientHandle, ServerHandle})
            if (handle >= 0)
                WinsockAPI().closesocket(handle);
    }
    int Receive(int handle, int max = 64)
    {
        char buffer[64];
        return WinsockAPI().recv(handle, buffer, qMin(max, 64), 0);
    }
};
} // namespace

TEST(AsyncSelect, ConnectAcceptAndFirstWrite)
{
    TConnection link;
    ASSERT_GE(link.Client.Seen.size(), 2u);
    EXPECT_EQ(link.Client.Seen[0], (TNotification{&link.Client, link.ClientHandle, FD_CONNECT, 0}));
    EXPECT_EQ(link.Client.Seen[1], (TNotification{&link.Client, link.ClientHandle, FD_WRITE, 0}));
    EXPECT_EQ(link.Server.Seen[0], (TNotification{&link.Server, link.Listener, FD_ACCEPT, 0}));
    PumpFor(100);
    EXPECT_EQ(link.Client.Count(FD_WRITE), 1) << "FD_WRITE only once while nothing would block";
    EXPECT_EQ(link.Server.Count(FD_ACCEPT), 1);
}

TEST(AsyncSelect, AcceptReportedOnceUntilTheNextAccept)
{
    TRecordingCtrl server, client;
    quint16 port = 0;
    const int listener = listenOnLoopback(&server, port);
    const int first = connectTo(&client, port);
    const int second = connectTo(&client, port);
    ASSERT_TRUE(PumpUntil([&] { return client.Count(FD_CONNECT) == 2; }));
    PumpFor(50);
    EXPECT_EQ(server.Count(FD_ACCEPT), 1);
    const int accepted = WinsockAPI().accept(listener, nullptr, nullptr);
    ASSERT_TRUE(PumpUntil([&] { return server.Count(FD_ACCEPT) == 2; }));
    for (int handle : {listener, first, second, accepted})
        WinsockAPI().closesocket(handle);
}

TEST(AsyncSelect, ReadOnceUntilReceiveAgainWhileDataRemainsThenClose)
{
    TConnection link;
    tWinsockAPI& api = WinsockAPI();
    ASSERT_EQ(api.send(link.ClientHandle, "hello", 5, 0), 5);
    ASSERT_TRUE(PumpUntil([&] { return link.Server.Count(FD_READ) == 1; }));
    PumpFor(100);
    EXPECT_EQ(link.Server.Count(FD_READ), 1) << "no second FD_READ before a receive";

    EXPECT_EQ(link.Receive(link.ServerHandle, 2), 2);
    ASSERT_TRUE(PumpUntil([&] { return link.Server.Count(FD_READ) == 2; })) << "data remains: posted again";
    EXPECT_EQ(link.Receive(link.ServerHandle), 3);
    PumpFor(100);
    EXPECT_EQ(link.Server.Count(FD_READ), 2) << "socket emptied: no further FD_READ";

    ASSERT_EQ(api.send(link.ClientHandle, "bye", 3, 0), 3);
    api.closesocket(link.ClientHandle);
    link.ClientHandle = -1;
    ASSERT_TRUE(PumpUntil([&] { return link.Server.Count(FD_READ) == 3; }));
    PumpFor(50);
    EXPECT_EQ(link.Server.Count(FD_CLOSE), 0) << "FD_CLOSE waits until the unread data is received";
    EXPECT_EQ(link.Receive(link.ServerHandle), 3);
    ASSERT_TRUE(PumpUntil([&] { return link.Server.Count(FD_CLOSE) == 1; }));
    EXPECT_EQ(link.Server.Seen.back().Error, 0);
    EXPECT_EQ(link.Receive(link.ServerHandle), 0);
    PumpFor(100);
    EXPECT_EQ(link.Server.Count(FD_CLOSE), 1) << "FD_CLOSE only once";
}

TEST(AsyncSelect, EveryReadNotificationFindsData)
{
    // How much each FD_READ handler takes per receive, and how many receives it makes.
    struct TCase {
        const char* Name;
        int Sent;
        int Chunk;
        bool Drain; // receive until nothing is left
        int Notifications;
    };
    const TCase cases[] = {
        {"one byte per notification", 3000, 1, false, 3000},
        {"exactly what arrived", 8, 8, false, 1},
        {"a full receive, then the rest in the same handler", 100, 10, true, 1},
    };
    // Over TCP the socket tells what remains after each receive; a local
    // socket pair does not, and is asked.
    for (bool tcp : {true, false}) {
        for (const TCase& c : cases) {
            SCOPED_TRACE(std::string(tcp ? "TCP: " : "socket pair: ") + c.Name);
            TConnection link;
            TSocketPair pair;
            TRecordingCtrl& reader = link.Server;
            const int readHandle = tcp ? link.ServerHandle : pair.Mine;
            int& writeHandle = tcp ? link.ClientHandle : pair.Peer;
            if (!tcp)
                WinsockAPI().WSAAsyncSelect(pair.Mine, reader.Window(), SocketNotify, FD_READ | FD_CLOSE);
            const int readsBefore = reader.Count(FD_READ);
            int emptyFirstReceives = 0;
            int received = 0;
            reader.OnSelect = [&](const TSockNotice& notice) {
                if (notice.Event != FD_READ)
                    return;
                char buffer[64];
                int n = WinsockAPI().recv(readHandle, buffer, c.Chunk, 0);
                emptyFirstReceives += n <= 0;
                while (n > 0) {
                    received += n;
                    n = c.Drain ? WinsockAPI().recv(readHandle, buffer, c.Chunk, 0) : 0;
                }
            };
            const QByteArray data(c.Sent, 'd');
            ASSERT_EQ(::send(writeHandle, data.constData(), data.size(), 0), c.Sent);
            ASSERT_TRUE(PumpUntil([&] { return received == c.Sent; }));
            PumpFor(50);
            EXPECT_EQ(reader.Count(FD_READ) - readsBefore, c.Notifications);
            EXPECT_EQ(emptyFirstReceives, 0) << "a read notification with nothing to read";

            // The end is still reported once everything was taken.
            if (tcp)
                WinsockAPI().closesocket(writeHandle);
            else
                ::close(writeHandle);
            writeHandle = -1;
            EXPECT_TRUE(PumpUntil([&] { return reader.Count(FD_CLOSE) == 1; }));
            if (!tcp)
                WinsockAPI().closesocket(pair.Mine);
        }
    }
}

TEST(AsyncSelect, WriteReportedAgainAfterASendWouldBlock)
{
    TConnection link;
    tWinsockAPI& api = WinsockAPI();
    const QByteArray block(65536, 'x');
    int sent = 0;
    int result = 0;
    while ((result = api.send(link.ClientHandle, block.constData(), block.size(), 0)) > 0)
        sent += result;
    ASSERT_EQ(api.WSAGetLastError(), WSAEWOULDBLOCK);
    EXPECT_EQ(link.Client.Count(FD_WRITE), 1);
    // The peer drains everything; the sender hears it may write again.
    ASSERT_TRUE(PumpUntil([&] {
        char buffer[65536];
        int n;
        while ((n = api.recv(link.ServerHandle, buffer, sizeof buffer, 0)) > 0)
            sent -= n;
        return link.Client.Count(FD_WRITE) == 2;
    }));
}

TEST(AsyncSelect, RefusedConnectArrivesAsConnectNotificationWithError)
{
    TRecordingCtrl client;
    // A bound but not listening socket gives a port nobody accepts on.
    const int unused = WinsockAPI().socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = Loopback(0);
    WinsockAPI().bind(unused, reinterpret_cast<sockaddr*>(&address), sizeof address);
    int length = sizeof address;
    WinsockAPI().getsockname(unused, reinterpret_cast<sockaddr*>(&address), &length);
    const int handle = connectTo(&client, ntohs(address.sin_port));
    ASSERT_TRUE(PumpUntil([&] { return client.Count(FD_CONNECT) == 1; }));
    EXPECT_EQ(client.Seen[0].Error, WSAECONNREFUSED);
    PumpFor(100);
    EXPECT_EQ(client.Seen.size(), 1u) << "nothing else after a failed connect";
    WinsockAPI().closesocket(handle);
    WinsockAPI().closesocket(unused);
}

TEST(AsyncSelect, ResetByPeerClosesWithError)
{
    TConnection link;
    linger hard{1, 0};
    ::setsockopt(link.ClientHandle, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    WinsockAPI().closesocket(link.ClientHandle);
    link.ClientHandle = -1;
    ASSERT_TRUE(PumpUntil([&] { return link.Server.Count(FD_CLOSE) == 1; }));
    EXPECT_EQ(link.Server.Seen.back().Error, 10054);
}

TEST(AsyncSelect, NotificationOfAClosedHandleIsNeverDelivered)
{
    TRecordingCtrl a, waiter;
    TSocketPair pair;
    ASSERT_EQ(WinsockAPI().WSAAsyncSelect(pair.Mine, a.Window(), SocketNotify, FD_READ), 0);
    int step = 0;
    RunSteps([&] {
        if (step == 0) {
            pair.Write("x");
            ++step;
            return false;
        }
        if (SockDispatcher().HeldCount() != 1)
            return false;
        WinsockAPI().closesocket(pair.Mine); // the number may be reused at once
        TSockMessage done;
        done.Msg = LookupDone;
        done.WParam = 77;
        waiter.Window()->Post(done);
        return true;
    });
    waiter.WaitForLookup(77);
    PumpFor(100);
    EXPECT_TRUE(a.Seen.empty());
}

TEST(AsyncSelect, NoBusyLoopWhileANotificationIsOutstanding)
{
    TConnection link;
    ASSERT_EQ(WinsockAPI().send(link.ClientHandle, "z", 1, 0), 1);
    ASSERT_TRUE(PumpUntil([&] { return link.Server.Count(FD_READ) == 1; }));
    // With the byte unread, the loop must go idle: only the 50 ms timer wakes it.
    int wakeUps = 0;
    QTimer tick;
    tick.start(50);
    QDeadlineTimer deadline(300);
    while (!deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        ++wakeUps;
    }
    EXPECT_LT(wakeUps, 30);
}

#include "bufferedfixture.h"
#include "net/basicserversocket.h"

#include <thread>

namespace {
// A blocking client socket of the test connected to 127.0.0.1:port.
int RawConnectTo(quint16 port)
{
    const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    ::connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
    return s;
}
} // namespace

// A line handler that runs the event loop until another component's data
// arrives must see that data: notifications of other components are delivered
// inside such a nested wait.
TEST(NestedWait, ALineHandlerWaitingForAnotherConnectionSeesItsData)
{
    TConnectedClient<TLineSocket> control;
    control.Open();
    TConnectedClient<TStreamSocket> data;
    data.Open();

    bool sawData = false;
    bool waited = false;
    int reads = 0;
    data.Client.OnRead = [&](TSockCtrl*, TSocketBase* socket) {
        char buffer[64];
        if (socket->Recv(buffer, sizeof buffer) > 0)
            ++reads;
    };
    control.Socket()->OnLine = [&](TLineSocketBase*, const QByteArray&, bool) {
        data.Peer.Send("payload");
        waited = PumpUntil([&] { return reads > 0; }, 3000);
        sawData = reads > 0;
    };
    control.Peer.Send("150 go\r\n");
    ASSERT_TRUE(PumpUntil([&] { return waited || sawData; }, 5000));
    EXPECT_TRUE(sawData);
}

TEST(NestedWait, ALineHandlerWaitingForAnotherConnectionSeesItsClose)
{
    TConnectedClient<TLineSocket> control;
    control.Open();
    TConnectedClient<TStreamSocket> data;
    data.Open();

    bool closed = false;
    bool done = false;
    data.Client.OnRead = [&](TSockCtrl*, TSocketBase* socket) {
        char buffer[4096];
        socket->Recv(buffer, sizeof buffer);
    };
    data.Client.OnDisconnect = [&](TSockCtrl*, TSocketBase*) { closed = true; };
    control.Socket()->OnLine = [&](TLineSocketBase*, const QByteArray&, bool) {
        data.Peer.Send(QByteArray(100000, 'x'));
        ::shutdown(data.Peer.Connection(), SHUT_WR);
        PumpUntil([&] { return closed; }, 3000);
        done = true;
    };
    control.Peer.Send("226 done\r\n");
    ASSERT_TRUE(PumpUntil([&] { return done; }, 5000));
    EXPECT_TRUE(closed);
}

TEST(NestedWait, ALineHandlerWaitingForAServerConnectionSeesItsDataAndClose)
{
    TConnectedClient<TLineSocket> control;
    control.Open();
    TBasicServerSocket server;
    server.SetAddress(QStringLiteral("127.0.0.1"));
    server.SetPort(QStringLiteral("0"));
    server.Listen(SocketClassOf<TStreamSocket>);
    qint64 received = 0;
    bool closed = false;
    bool done = false;
    server.OnRead = [&](TSockCtrl*, TSocketBase* socket) {
        char buffer[4096];
        const int n = socket->Recv(buffer, sizeof buffer);
        received += qMax(0, n);
    };
    server.OnDisconnect = [&](TSockCtrl*, TSocketBase*) { closed = true; };
    control.Socket()->OnLine = [&](TLineSocketBase*, const QByteArray&, bool) {
        const int peer = RawConnectTo(server.PortNumber());
        const QByteArray payload(200000, 'y');
        std::thread writer([peer, payload] {
            ::send(peer, payload.constData(), size_t(payload.size()), MSG_NOSIGNAL);
            ::close(peer);
        });
        PumpUntil([&] { return closed; }, 3000);
        writer.join();
        done = true;
    };
    control.Peer.Send("150 opening\r\n");
    ASSERT_TRUE(PumpUntil([&] { return done; }, 5000));
    EXPECT_TRUE(closed);
    EXPECT_EQ(received, 200000);
}

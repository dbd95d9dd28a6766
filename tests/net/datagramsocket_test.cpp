// Datagram sockets on loopback: as a client's socket class (default peer),
// bound with Listen (SendTo/RecvFrom only), as a server's socket class, the
// size refusal and the fresh handle after Close.
#include "bufferedfixture.h"

#include "net/basicserversocket.h"
#include "net/datagramsocket.h"
#include "net/sockerror.h"
#include "net/winsockapi.h"
#include "support/exceptionrecorder.h"

namespace {
// A raw UDP socket bound to 127.0.0.1 at a port the system chooses.
class TUdpPeer {
public:
    TUdpPeer()
    {
        m_handle = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in address = To(0);
        socklen_t length = sizeof address;
        ::bind(m_handle, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::getsockname(m_handle, reinterpret_cast<sockaddr*>(&address), &length);
        m_port = ntohs(address.sin_port);
    }
    ~TUdpPeer() { ::close(m_handle); }
    quint16 Port() const { return m_port; }
    static sockaddr_in To(quint16 port)
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        return address;
    }
    void SendTo(quint16 port, const QByteArray& bytes) const
    {
        const sockaddr_in to = To(port);
        ASSERT_EQ(::sendto(m_handle, bytes.constData(), size_t(bytes.size()), 0,
                           reinterpret_cast<const sockaddr*>(&to), sizeof to),
                  ssize_t(bytes.size()));
    }
    // The next datagram, waiting with the event loop running; empty after the time limit.
    QByteArray Receive(quint16* fromPort = nullptr) const
    {
        QByteArray datagram;
        PumpUntil(
            [&] {
                char buf[2048];
                sockaddr_in from{};
                socklen_t length = sizeof from;
                const ssize_t n = ::recvfrom(m_handle, buf, sizeof buf, MSG_DONTWAIT,
                                             reinterpret_cast<sockaddr*>(&from), &length);
                if (n < 0)
                    return false;
                datagram = QByteArray(buf, n);
                if (fromPort)
                    *fromPort = ntohs(from.sin_port);
                return true;
            },
            2000);
        return datagram;
    }

private:
    int m_handle = -1;
    quint16 m_port = 0;
};

QString socketErrorOf(const std::function<void()>& call)
{
    try {
        call();
    } catch (const ESockError& e) {
        return e.Message();
    }
    return QStringLiteral("(nothing raised)");
}

// Opens client as a datagram socket whose default peer is peer.
TDatagramSocket* openTo(TBasicClientSocket& client, const TUdpPeer& peer)
{
    client.SetAddress(QStringLiteral("127.0.0.1"));
    client.SetPort(QString::number(peer.Port()));
    client.Open(SocketClassOf<TDatagramSocket>);
    return static_cast<TDatagramSocket*>(client.Socket());
}

const QString notOpen = QStringLiteral("Socket not open");
const QString tooBig = QStringLiteral("Datagram exceeds Winsock's max UDP packet size");
} // namespace

TEST(DatagramSocket, ClientSendsToItsDefaultPeerAndReceivesOnRead)
{
    TUdpPeer peer;
    TBasicClientSocket client;
    std::vector<int> infos;
    client.OnInfo = [&](TSockCtrl*, TSockInfo code, TSocketBase*) { infos.push_back(int(code)); };
    client.SetAddress(QStringLiteral("127.0.0.1"));
    client.SetPort(QString::number(peer.Port()));
    client.SetSocketClass(SocketClassOf<TDatagramSocket>);
    auto* socket = static_cast<TDatagramSocket*>(client.Socket());
    EXPECT_EQ(socket->SocketType(), 2);
    EXPECT_NE(socket->Handle(), -1) << "a datagram object holds a handle from the start";

    client.Open(SocketClassOf<TDatagramSocket>);
    EXPECT_EQ(client.Socket(), socket);
    EXPECT_TRUE(socket->Connected()) << "connected at once, no completion awaited";
    EXPECT_EQ(infos, (std::vector<int>{icLookUp, icConnecting}));
    EXPECT_EQ(socketErrorOf([&] { client.Open(SocketClassOf<TDatagramSocket>); }),
              QStringLiteral("Socket Already opened"));
    QString ip = QStringLiteral("127.0.0.1");
    EXPECT_EQ(socketErrorOf([&] { socket->Connect({}, csoRead, peer.Port(), {}, ip); }),
              QStringLiteral("Socket is already connected"));

    infos.clear();
    EXPECT_EQ(socket->Send("ping", 4), 4);
    EXPECT_EQ(infos, (std::vector<int>{icSending}));
    quint16 from = 0;
    EXPECT_EQ(peer.Receive(&from), QByteArray("ping"));
    EXPECT_EQ(from, socket->LocalPort());

    QByteArray got;
    client.OnRead = [&](TSockCtrl*, TSocketBase* s) {
        char buf[64];
        got = QByteArray(buf, s->Recv(buf, sizeof buf));
    };
    peer.SendTo(from, "pong");
    ASSERT_TRUE(PumpUntil([&] { return !got.isEmpty(); }));
    EXPECT_EQ(got, QByteArray("pong"));
    EXPECT_EQ(ExceptionRecorder::Count(), 0u);
}

TEST(DatagramSocket, OversizeIsRefusedBeforeThePlatformIsCalled)
{
    TUdpPeer peer;
    TBasicClientSocket client;
    auto* socket = openTo(client, peer);
    const int largest = WinsockAPI().MaxUdpDg();
    ASSERT_GT(largest, 0);
    const QByteArray huge(largest + 1, 'h');
    EXPECT_EQ(socketErrorOf([&] { socket->Send(huge.constData(), int(huge.size())); }), tooBig);
    EXPECT_EQ(socketErrorOf(
                  [&] { socket->SendTo(QStringLiteral("127.0.0.1"), huge.constData(), int(huge.size())); }),
              tooBig);
    EXPECT_EQ(socket->Send("ok", 2), 2);
    EXPECT_EQ(peer.Receive(), QByteArray("ok")) << "the refused datagrams never left";
}

TEST(DatagramSocket, ListenBindsAChosenPortForSendToAndRecvFromOnly)
{
    TUdpPeer peer;
    TBasicClientSocket component; // any component can own a bound datagram object
    component.SetAddress(QStringLiteral("127.0.0.1"));
    component.SetPort(QStringLiteral("0"));
    component.SetSocketClass(SocketClassOf<TDatagramSocket>);
    auto* socket = static_cast<TDatagramSocket*>(component.Socket());
    socket->Listen(component.HostName(), 5, component.PortNumber(), component.ServiceName(),
                   component.IPAddressRef());
    const quint16 bound = socket->LocalPort();
    ASSERT_NE(bound, 0);
    EXPECT_EQ(component.Port(), QString::number(bound));
    EXPECT_EQ(component.PortNumber(), bound);
    EXPECT_EQ(socket->State(), ssInactive);

    EXPECT_EQ(socketErrorOf([&] { socket->Send("x", 1); }), notOpen);
    EXPECT_EQ(socket->SendTo(QStringLiteral("127.0.0.1"), peer.Port(), "to peer", 7), 7);
    quint16 from = 0;
    EXPECT_EQ(peer.Receive(&from), QByteArray("to peer"));
    EXPECT_EQ(from, bound);

    char buf[64];
    sockaddr_in sender{};
    int length = sizeof sender;
    EXPECT_EQ(socket->RecvFrom(buf, sizeof buf, reinterpret_cast<sockaddr*>(&sender), &length), 0)
        << "nothing waiting: would-block gives 0";
    peer.SendTo(bound, "back");
    int n = 0;
    ASSERT_TRUE(PumpUntil([&] {
        n = socket->RecvFrom(buf, sizeof buf, reinterpret_cast<sockaddr*>(&sender), &length);
        return n > 0;
    }));
    EXPECT_EQ(QByteArray(buf, n), QByteArray("back"));
    EXPECT_EQ(ntohs(sender.sin_port), peer.Port());
}

TEST(DatagramSocket, CloseLeavesAFreshHandleThatConnectsAndListensAgain)
{
    TUdpPeer peer;
    TBasicClientSocket client;
    std::vector<int> infos;
    client.OnInfo = [&](TSockCtrl*, TSockInfo code, TSocketBase*) { infos.push_back(int(code)); };
    auto* socket = openTo(client, peer);
    infos.clear();
    client.Close();
    EXPECT_EQ(infos, (std::vector<int>{icClosed}));
    EXPECT_FALSE(socket->Connected());
    EXPECT_NE(socket->Handle(), -1);
    EXPECT_EQ(socketErrorOf([&] { socket->Send("x", 1); }), notOpen);

    client.Open(SocketClassOf<TDatagramSocket>);
    EXPECT_EQ(socket->Send("again", 5), 5);
    EXPECT_EQ(peer.Receive(), QByteArray("again"));

    client.Close();
    QString any = QStringLiteral("127.0.0.1");
    socket->Listen({}, 5, 0, {}, any);
    EXPECT_NE(socket->LocalPort(), 0);
    EXPECT_EQ(socket->SendTo(QStringLiteral("127.0.0.1"), peer.Port(), "bound", 5), 5);
    EXPECT_EQ(peer.Receive(), QByteArray("bound"));
    EXPECT_EQ(socketErrorOf([&] { socket->SendTo(QString(), 1, "x", 1); }),
              QStringLiteral("No address specified"));
}

TEST(DatagramSocket, AsAServersSocketClassEveryReadReachesTheOneObject)
{
    TUdpPeer first, second;
    TBasicServerSocket server;
    server.SetAddress(QStringLiteral("127.0.0.1"));
    server.SetPort(QStringLiteral("0"));
    std::vector<QByteArray> got;
    std::vector<TSocketBase*> sockets;
    server.OnRead = [&](TSockCtrl*, TSocketBase* s) {
        sockets.push_back(s);
        char buf[64];
        got.emplace_back(buf, s->Recv(buf, sizeof buf));
    };
    server.Listen(SocketClassOf<TDatagramSocket>);
    const quint16 port = server.PortNumber();
    ASSERT_NE(port, 0);
    first.SendTo(port, "one");
    ASSERT_TRUE(PumpUntil([&] { return got.size() == 1; }));
    second.SendTo(port, "two");
    ASSERT_TRUE(PumpUntil([&] { return got.size() == 2; }));
    EXPECT_EQ(got, (std::vector<QByteArray>{"one", "two"}));
    EXPECT_EQ(sockets[0], server.Socket());
    EXPECT_EQ(sockets[1], server.Socket());
    EXPECT_EQ(ExceptionRecorder::Count(), 0u);
}

TEST(DatagramSocket, LongDatagramRaisesMessageTooLongAndCloseDeliversEveryWaitingOne)
{
    TUdpPeer peer;
    TBasicClientSocket client;
    auto* socket = openTo(client, peer);
    const quint16 local = socket->LocalPort();
    // Loopback delivers at once; the short pause lets every datagram arrive.
    const auto waitForArrival = [&] {
        const bool arrived = PumpUntil([&] { return socket->BytesAvailable() > 0; });
        PumpFor(50);
        return arrived;
    };

    // A datagram longer than the buffer is not cut short silently.
    peer.SendTo(local, QByteArray(100, 'L'));
    ASSERT_TRUE(waitForArrival());
    char buf[10];
    EXPECT_EQ(socketErrorOf([&] { socket->Recv(buf, sizeof buf); }),
              QStringLiteral("Error 10040 (Message too long) recieving"));
    EXPECT_EQ(socket->BytesAvailable(), 0) << "the long datagram was taken";

    // Close hands over every waiting datagram, not only the first of equal size.
    QList<QByteArray> delivered;
    client.OnRead = [&](TSockCtrl*, TSocketBase* s) {
        if (s->State() != ssClosing)
            return; // collected only when the socket closes
        char one[16];
        delivered << QByteArray(one, s->Recv(one, sizeof one));
    };
    for (const char* text : {"one1", "two2", "thr3"})
        peer.SendTo(local, text);
    ASSERT_TRUE(waitForArrival());
    client.Close();
    EXPECT_EQ(delivered, (QList<QByteArray>{"one1", "two2", "thr3"}));
}

// The client component: event orders of a connection, refused and timed-out
// connects, and peers that reset, half-close or stay silent.
#include "netfixture.h"

#include "net/basicclientsocket.h"
#include "net/basicserversocket.h"
#include "net/resolver.h"
#include "net/sockerror.h"
#include "net/streamsocket.h"
#include "support/exceptionrecorder.h"

#include <QScopeGuard>

#include <fcntl.h>

#include <memory>

namespace {
// A client whose notifications the test can hand over directly.
class TProbeClient : public TBasicClientSocket {
public:
    using TCustomClientSocket::HandleSelect;
};

// Another stream class, to see Open replace the socket object.
class TOtherStream : public TStreamSocket {
public:
    using TStreamSocket::TStreamSocket;
};

// Records the client's events; OnRead takes everything waiting into Received.
struct TClientRecorder {
    QStringList Log;
    QByteArray Received;
    explicit TClientRecorder(TCustomClientSocket& client)
    {
        RecordEvents(client, Log);
        client.OnConnect = [this](TSockCtrl*, TSocketBase* socket) {
            Log << QStringLiteral("connect");
            ConnectedAtConnect = socket->Connected();
            ErrorAtConnect = socket->LastError();
        };
        client.OnRead = [this](TSockCtrl*, TSocketBase* socket) {
            Log << QStringLiteral("read");
            char buffer[4096];
            const int n = socket->Recv(buffer, sizeof buffer);
            Received.append(buffer, n);
        };
    }
    bool ConnectedAtConnect = false;
    int ErrorAtConnect = -1;
    // The log without the traffic entries whose number depends on timing.
    QStringList Milestones() const { return Without(Log, {"info5", "info6", "read", "write"}); }
};

// A port bound on 127.0.0.1 where nobody listens: connects to it are refused.
struct TDeadPort {
    int Fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    quint16 Port = 0;
    TDeadPort()
    {
        sockaddr_in local = Loopback(0);
        socklen_t length = sizeof local;
        ::bind(Fd, reinterpret_cast<sockaddr*>(&local), length);
        ::getsockname(Fd, reinterpret_cast<sockaddr*>(&local), &length);
        Port = ntohs(local.sin_port);
    }
    ~TDeadPort() { ::close(Fd); }
};

// The message of the ESockError call raises; empty when it raises none.
QString socketError(const std::function<void()>& call)
{
    try {
        call();
    } catch (const ESockError& error) {
        return error.Message();
    }
    return {};
}

void connectedPair(TBasicClientSocket& client, TClientRecorder& recorder, TRawListener& listener, int& peer)
{
    client.SetAddress(QStringLiteral("127.0.0.1"));
    client.SetPort(QString::number(listener.Port));
    client.Open(SocketClassOf<TStreamSocket>);
    peer = listener.Accept();
    ASSERT_GE(peer, 0);
    ASSERT_TRUE(PumpUntil([&] { return recorder.Log.contains("connect"); }));
    ASSERT_TRUE(client.Connected());
}
} // namespace

TEST(ClientSocket, NormalConnectionReportsEveryStepInOrderForNameAndDottedAddress)
{
    for (const QString& address : {QStringLiteral("localhost"), QStringLiteral("127.0.0.1")}) {
        SCOPED_TRACE(address.toStdString());
        TRawListener listener;
        TBasicClientSocket client;
        TClientRecorder recorder(client);
        client.SetAddress(address);
        client.SetPort(QString::number(listener.Port));
        client.Open(SocketClassOf<TStreamSocket>);
        EXPECT_EQ(recorder.Log, (QStringList{"info1", "info2"}))
            << "only look-up and connecting before Open returns";
        EXPECT_EQ(client.IPAddress(), QStringLiteral("127.0.0.1")) << "the resolved address is written back";
        EXPECT_EQ(client.Socket()->State(), ssInactive) << "still pending";

        const int peer = listener.Accept();
        ASSERT_GE(peer, 0);
        ASSERT_TRUE(PumpUntil([&] { return client.Connected(); }));
        ASSERT_EQ(::send(peer, "hello", 5, 0), 5);
        ASSERT_TRUE(PumpUntil([&] { return recorder.Received == "hello"; }));
        ::close(peer);
        ASSERT_TRUE(PumpUntil([&] { return recorder.Log.contains("info7"); }));

        EXPECT_EQ(recorder.Milestones(),
                  (QStringList{"info1", "info2", "info3", "connect", "info12", "disconnect", "info7"}));
        EXPECT_TRUE(recorder.ConnectedAtConnect);
        EXPECT_EQ(recorder.ErrorAtConnect, 0);
        const int firstRead = recorder.Log.indexOf("read");
        EXPECT_GT(firstRead, recorder.Log.indexOf("connect"));
        EXPECT_EQ(recorder.Log.at(firstRead + 1), QStringLiteral("info5")) << "Recv reports receiving";
        EXPECT_FALSE(client.Connected());
        EXPECT_EQ(client.Socket()->Handle(), -1);
    }
}

TEST(ClientSocket, RefusedConnectArrivesAsOnConnectWithTheReason)
{
    TDeadPort dead;
    TBasicClientSocket client;
    TClientRecorder recorder(client);
    client.SetAddress(QStringLiteral("127.0.0.1"));
    client.SetPort(QString::number(dead.Port));
    ASSERT_NO_THROW(client.Open(SocketClassOf<TStreamSocket>));
    ASSERT_TRUE(PumpUntil([&] { return recorder.Log.contains("connect"); }));
    PumpFor(100);
    EXPECT_EQ(recorder.Log, (QStringList{"info1", "info2", "connect"}));
    EXPECT_FALSE(recorder.ConnectedAtConnect);
    EXPECT_EQ(recorder.ErrorAtConnect, WSAECONNREFUSED);
    EXPECT_FALSE(client.Connected());
    EXPECT_NE(client.Socket()->Handle(), -1) << "the library leaves closing to the handler";
    EXPECT_EQ(ExceptionRecorder::Count(), 0u);

    // The same object opens again once the port listens.
    client.Close();
    TRawListener listener;
    client.SetPort(QString::number(listener.Port));
    TSocketBase* before = client.Socket();
    client.Open(SocketClassOf<TStreamSocket>);
    EXPECT_EQ(client.Socket(), before) << "the same class keeps the socket object";
    ASSERT_TRUE(PumpUntil([&] { return client.Connected(); }));
}

TEST(ClientSocket, PendingConnectTimesOutOnlyWithAnOnTimeOutHandler)
{
    // A listener that never accepts, its back-log filled: further connects hang.
    TRawListener listener(0);
    std::vector<int> fillers;
    for (int i = 0; i < 2; ++i) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        const sockaddr_in remote = Loopback(listener.Port);
        ::connect(fd, reinterpret_cast<const sockaddr*>(&remote), sizeof remote);
        fillers.push_back(fd);
    }
    PumpFor(50);

    {
        TBasicClientSocket client;
        TClientRecorder recorder(client);
        client.OnTimeOut = nullptr;
        client.SetTimeOut(1);
        client.SetAddress(QStringLiteral("127.0.0.1"));
        client.SetPort(QString::number(listener.Port));
        client.Open(SocketClassOf<TStreamSocket>);
        EXPECT_FALSE(client.Armed()) << "no handler, nothing armed";
        PumpFor(2300);
        EXPECT_FALSE(recorder.Log.contains("info8"));
        EXPECT_FALSE(recorder.Log.contains("connect")) << "the connect must really hang for this test";
    }

    TBasicClientSocket client;
    TClientRecorder recorder(client);
    client.OnTimeOut = [&](TSockCtrl* sender, TSocketBase*) {
        recorder.Log << QStringLiteral("timeout");
        EXPECT_TRUE(sender->TimedOut());
        client.Close();
    };
    client.SetTimeOut(1);
    client.SetAddress(QStringLiteral("127.0.0.1"));
    client.SetPort(QString::number(listener.Port));
    client.Open(SocketClassOf<TStreamSocket>);
    EXPECT_TRUE(client.Armed());
    ASSERT_TRUE(PumpUntil([&] { return recorder.Log.contains("timeout"); }, 4000));
    EXPECT_EQ(recorder.Log, (QStringList{"info1", "info2", "info8", "timeout", "info7"}));
    EXPECT_FALSE(client.Armed());
    for (int fd : fillers)
        ::close(fd);
}

TEST(ClientSocket, LookupThatOutlastsTheTimeOutRaisesOutOfOpen)
{
    TFakeResolver resolver({"slow.name.test"}, {});
    TRawListener listener;
    TBasicClientSocket client;
    TClientRecorder recorder(client);
    client.SetTimeOut(1);
    client.SetAddress(QStringLiteral("slow.name.test"));
    client.SetPort(QString::number(listener.Port));
    try {
        client.Open(SocketClassOf<TStreamSocket>);
        ADD_FAILURE() << "a timed-out lookup must raise out of Open";
    } catch (const ESockError& error) {
        EXPECT_EQ(error.Message(),
                  QStringLiteral("Error 10060 (Connection timed out) finding address for host"));
    }
    // The time-out events came during the wait, before the raise.
    EXPECT_EQ(recorder.Log, (QStringList{"info1", "info8", "timeout"}));
    EXPECT_TRUE(client.TimedOut());
    EXPECT_FALSE(client.Armed());
    EXPECT_EQ(SockDispatcher().WaitDepth(), 0);

    // The component is usable afterwards, also with nothing armed any more:
    // the old time-out must not fail the next lookup at once.
    client.Close();
    recorder.Log.clear();
    client.SetTimeOut(0);
    client.SetAddress(QStringLiteral("localhost"));
    client.Open(SocketClassOf<TStreamSocket>);
    const int peer = listener.Accept();
    EXPECT_GE(peer, 0);
    EXPECT_TRUE(PumpUntil([&] { return client.Connected(); }));
    ::close(peer);
}

TEST(ClientSocket, ClosingOrReopeningWhileOpenWaitsForItsLookupEndsThatOpen)
{
    TFakeResolver resolver({"slow.name.test"}, {});
    TRawListener listener;
    enum TAction { CloseIt, OpenAgain, OpenAnotherClass };
    for (TAction action : {CloseIt, OpenAgain, OpenAnotherClass}) {
        SCOPED_TRACE(int(action));
        TBasicClientSocket client;
        TClientRecorder recorder(client);
        client.SetTimeOut(3); // bounds the wait should the interruption go unnoticed
        client.SetAddress(QStringLiteral("slow.name.test"));
        client.SetPort(QString::number(listener.Port));
        QTimer::singleShot(50, [&] {
            if (action == CloseIt) {
                client.Close();
                return;
            }
            client.SetAddress(QStringLiteral("127.0.0.1"));
            client.Open(action == OpenAgain ? SocketClassOf<TStreamSocket> : SocketClassOf<TOtherStream>);
        });
        EXPECT_EQ(socketError([&] { client.Open(SocketClassOf<TStreamSocket>); }),
                  QStringLiteral("Error 10004 (Interrupted system call) finding address for host"));
        EXPECT_FALSE(recorder.Log.contains("timeout"));
        if (action == CloseIt) {
            EXPECT_EQ(client.Socket()->Handle(), -1);
            continue;
        }
        // The connection opened meanwhile is untouched by the interrupted Open.
        const int peer = listener.Accept();
        ASSERT_GE(peer, 0);
        ASSERT_TRUE(PumpUntil([&] { return client.Connected(); }));
        PumpFor(50);
        EXPECT_TRUE(client.Connected());
        EXPECT_EQ(recorder.Log.count("info7"), 0) << "nothing closed it";
        ::close(peer);
    }
}

TEST(ClientSocket, ReopeningFromOnDisconnectKeepsTheNewConnection)
{
    TRawListener listener;
    TBasicClientSocket client;
    TClientRecorder recorder(client);
    int peer = -1;
    connectedPair(client, recorder, listener, peer);
    client.OnDisconnect = [&](TSockCtrl*, TSocketBase*) {
        client.Close();
        client.Open(SocketClassOf<TStreamSocket>);
    };
    ::close(peer);
    ASSERT_TRUE(PumpUntil([&] { return recorder.Log.count("info2") == 2; })) << "connecting again";
    const int second = listener.Accept();
    ASSERT_GE(second, 0);
    ASSERT_TRUE(PumpUntil([&] { return recorder.Log.count("connect") == 2; }));
    PumpFor(50);
    EXPECT_TRUE(client.Connected());
    ::close(second);
}

TEST(ClientSocket, APortTypedAsANumberIsConnectedToEvenIfItsServiceNameMeansAnother)
{
    TRawListener listener;
    TDeadPort other;
    // The services database names the port "kvado-alias", and that name means another port.
    TResolver::SetLookupFunction(
        [&](TLookupKind kind, const QByteArray& text, quint32 number, const QByteArray& proto) {
            if (kind == TLookupKind::ServByPort && number == listener.Port)
                return TLookupResult{0, 0, QStringLiteral("kvado-alias"), 0};
            if (kind == TLookupKind::ServByName && text == "kvado-alias")
                return TLookupResult{0, 0, {}, other.Port};
            return TResolver::Run(kind, text, number, proto);
        });
    const auto restore = qScopeGuard([] { TResolver::SetLookupFunction({}); });
    TBasicClientSocket client;
    TClientRecorder recorder(client);
    client.SetAddress(QStringLiteral("127.0.0.1"));
    client.SetPort(QString::number(listener.Port));
    EXPECT_EQ(client.ServiceName(), QStringLiteral("kvado-alias"));
    client.Open(SocketClassOf<TStreamSocket>);
    const int peer = listener.Accept();
    EXPECT_GE(peer, 0);
    EXPECT_TRUE(PumpUntil([&] { return recorder.Log.contains("connect"); }));
    EXPECT_TRUE(client.Connected());
    if (peer >= 0)
        ::close(peer);
}

TEST(ClientSocket, CloseHandsOverAllUnreadInputAndFinishesWhenAHandlerRaises)
{
    TRawListener listener;
    {
        // More than 65535 bytes wait: the count the program sees is capped there.
        TBasicClientSocket client;
        TClientRecorder recorder(client);
        int peer = -1;
        connectedPair(client, recorder, listener, peer);
        qint64 drained = 0;
        client.OnRead = [&](TSockCtrl*, TSocketBase* socket) {
            if (socket->State() != ssClosing)
                return; // taken only as the socket closes
            char buffer[4096];
            drained += socket->Recv(buffer, sizeof buffer);
        };
        const QByteArray data(200000, 'u');
        ::fcntl(peer, F_SETFL, O_NONBLOCK);
        ASSERT_GT(::send(peer, data.constData(), size_t(data.size()), 0), 0);
        PumpUntil([&] { return client.Socket()->BytesWaiting() > 100000; }, 2000);
        PumpFor(100);
        const quint32 waiting = client.Socket()->BytesWaiting();
        ASSERT_GT(waiting, 65535u);
        client.Close();
        EXPECT_GE(drained, qint64(waiting));
        ::close(peer);
    }
    {
        TBasicClientSocket client;
        TClientRecorder recorder(client);
        int peer = -1;
        connectedPair(client, recorder, listener, peer);
        client.OnRead = [&](TSockCtrl*, TSocketBase* socket) {
            if (socket->State() == ssClosing)
                throw ESockError(QStringLiteral("handler failed"));
        };
        ASSERT_EQ(::send(peer, "unread", 6, 0), 6);
        ASSERT_TRUE(PumpUntil([&] { return client.Socket()->BytesAvailable() == 6; }));
        recorder.Log.clear();
        EXPECT_EQ(socketError([&] { client.Close(); }), QStringLiteral("handler failed"));
        EXPECT_EQ(client.Socket()->Handle(), -1) << "closed before the exception went on";
        EXPECT_EQ(recorder.Log, QStringList{"info7"});
        EXPECT_TRUE(PeerClosed(peer));
        ::close(peer);
    }
}

TEST(StreamSocket, ListensAgainOnAPortWhoseLastConnectionIsWindingDown)
{
    TBasicServerSocket server;
    server.SetAddress(QStringLiteral("127.0.0.1"));
    server.SetPort(QStringLiteral("0"));
    TSocketBase* accepted = nullptr;
    server.OnAccept = [&](TSockCtrl*, TSocketBase* socket) { accepted = socket; };
    server.Listen(SocketClassOf<TStreamSocket>);
    const quint16 port = server.PortNumber();
    const int peer = RawConnect(port);
    ASSERT_TRUE(PumpUntil([&] { return accepted != nullptr; }));
    accepted->Close(); // this side closes first: its end of the connection lingers
    EXPECT_TRUE(PeerClosed(peer));
    ::close(peer);
    server.Close();

    TBasicServerSocket again;
    again.SetAddress(QStringLiteral("127.0.0.1"));
    again.SetPort(QString::number(port));
    EXPECT_EQ(socketError([&] { again.Listen(SocketClassOf<TStreamSocket>); }), QString());
    EXPECT_EQ(again.PortNumber(), port);
}

TEST(ClientSocket, ConnectBeforeTheLibraryStartedRaises)
{
    TBasicClientSocket client;
    TSocketBase* socket = client.Socket();
    StopWinsock();
    try {
        socket->Connect(QStringLiteral("127.0.0.1"), csoRead, 1, QString(), client.IPAddressRef());
        ADD_FAILURE() << "Connect before start-up must raise";
    } catch (const ESockError& error) {
        EXPECT_EQ(error.Message(), QStringLiteral("Successful WSASTARTUP not yet performed"));
    }
    EXPECT_EQ(socket->Handle(), -1);
    StartWinsock();
}

TEST(ClientSocket, FirstNotificationARead_ConnectComesFirst)
{
    TRawListener listener;
    TProbeClient client;
    TClientRecorder recorder(client);
    client.SetAddress(QStringLiteral("127.0.0.1"));
    client.SetPort(QString::number(listener.Port));
    client.Open(SocketClassOf<TStreamSocket>);
    const int peer = listener.Accept();
    ASSERT_GE(peer, 0);
    ASSERT_EQ(::send(peer, "x", 1, 0), 1);
    // Hand over a read before the connect notification has been pumped.
    client.HandleSelect({client.Socket()->Handle(), FD_READ, 0, 0});
    EXPECT_EQ(recorder.Milestones(), (QStringList{"info1", "info2", "info3", "connect"}));
    EXPECT_EQ(recorder.Log.mid(4, 1), QStringList{"read"});
    EXPECT_EQ(recorder.Received, "x");
    PumpFor(100);
    EXPECT_EQ(recorder.Log.count("connect"), 1) << "the late connect notification is ignored";
    ::close(peer);
}

TEST(ClientSocket, OpenSendRecvAndCloseRules)
{
    TRawListener listener;
    TBasicClientSocket client;
    TClientRecorder recorder(client);
    int peer = -1;
    connectedPair(client, recorder, listener, peer);

    try {
        client.Open(SocketClassOf<TStreamSocket>);
        ADD_FAILURE() << "Open while connected must raise";
    } catch (const ESockError& error) {
        EXPECT_EQ(error.Message(), QStringLiteral("Socket Already opened"));
    }
    try {
        client.Socket()->Connect(QString(), csoRead, 1, QString(), client.IPAddressRef());
        ADD_FAILURE() << "Connect while connected must raise";
    } catch (const ESockError& error) {
        EXPECT_EQ(error.Message(), QStringLiteral("Socket is already connected"));
    }
    EXPECT_THROW(client.Socket()->SetSocketType(2), ESockError);

    recorder.Log.clear();
    EXPECT_EQ(client.Socket()->Send("", 0), 0);
    EXPECT_TRUE(recorder.Log.isEmpty()) << "a zero-length send reports nothing";
    EXPECT_EQ(client.Socket()->Send("abc", 3), 3);
    char buffer[8] = {};
    ASSERT_EQ(::recv(peer, buffer, sizeof buffer, 0), 3);

    client.Close();
    EXPECT_EQ(recorder.Log, (QStringList{"info6", "info7"})) << "no OnDisconnect for our own close";
    recorder.Log.clear();
    EXPECT_EQ(client.Socket()->Send("abc", 3), 0);
    EXPECT_EQ(recorder.Log, QStringList{"info6"});
    try {
        client.Socket()->Recv(buffer, sizeof buffer);
        ADD_FAILURE() << "Recv on a closed socket must raise";
    } catch (const ESockError& error) {
        EXPECT_EQ(error.Message(), QStringLiteral("Socket not open"));
    }
    EXPECT_TRUE(PeerClosed(peer));
    ::close(peer);

    // Another class replaces the socket object.
    client.Open(SocketClassOf<TOtherStream>);
    EXPECT_NE(dynamic_cast<TOtherStream*>(client.Socket()), nullptr);
    ASSERT_GE(peer = listener.Accept(), 0);
    ASSERT_TRUE(PumpUntil([&] { return client.Connected(); }));
    ::close(peer);
}

TEST(ClientSocket, PeerThatResetsHalfClosesOrStaysSilent)
{
    TRawListener listener;
    {
        SCOPED_TRACE("reset");
        TBasicClientSocket client;
        TClientRecorder recorder(client);
        int peer = -1;
        connectedPair(client, recorder, listener, peer);
        ResetAndClose(peer);
        ASSERT_TRUE(PumpUntil([&] { return recorder.Log.contains("info7"); }));
        EXPECT_TRUE(recorder.Log.contains("disconnect"));
        EXPECT_EQ(client.Socket()->Handle(), -1);
        for (std::size_t i = 0; i < ExceptionRecorder::Count(); ++i)
            EXPECT_TRUE(ExceptionRecorder::MessageAt(i).contains("10054"))
                << ExceptionRecorder::MessageAt(i).toStdString();
        ExceptionRecorder::Clear();
    }
    {
        SCOPED_TRACE("half-close");
        TBasicClientSocket client;
        TClientRecorder recorder(client);
        int peer = -1;
        connectedPair(client, recorder, listener, peer);
        ASSERT_EQ(::send(peer, "last", 4, 0), 4);
        ::shutdown(peer, SHUT_WR);
        ASSERT_TRUE(PumpUntil([&] { return recorder.Log.contains("info7"); }));
        EXPECT_EQ(recorder.Received, "last") << "data before the close is delivered";
        EXPECT_EQ(recorder.Milestones(),
                  (QStringList{"info1", "info2", "info3", "connect", "info12", "disconnect", "info7"}));
        EXPECT_TRUE(PeerClosed(peer));
        ::close(peer);
    }
    {
        SCOPED_TRACE("silent");
        TBasicClientSocket client;
        TClientRecorder recorder(client);
        int peer = -1;
        connectedPair(client, recorder, listener, peer);
        PumpFor(50);
        const int seen = recorder.Log.size();
        const double before = ProcessCpuSeconds();
        PumpFor(1000);
        const double used = ProcessCpuSeconds() - before;
        EXPECT_EQ(recorder.Log.size(), seen) << "a silent peer causes no events";
        EXPECT_LT(used, 0.2) << "waiting for a silent peer must not spin";
        RecordProperty("silent_peer_cpu_seconds_per_second", QString::number(used, 'f', 3).toStdString());
        ::close(peer);
    }
}

TEST(ClientSocket, HandlersMayDestroyTheComponent)
{
    TRawListener listener;
    const auto run = [&](const char* event) {
        SCOPED_TRACE(event);
        auto client = std::make_unique<TBasicClientSocket>();
        QStringList log;
        RecordEvents(*client, log);
        const auto destroy = [&](TSockCtrl*, TSocketBase*) { client.reset(); };
        const QString which = QLatin1String(event);
        if (which == "connect")
            client->OnConnect = destroy;
        if (which == "disconnect")
            client->OnDisconnect = destroy;
        if (which == "info3")
            client->OnInfo = [&](TSockCtrl*, TSockInfo code, TSocketBase*) {
                if (code == icConnected)
                    client.reset();
            };
        if (which == "drain") // OnRead during the close's delivery of unread input
            client->OnRead = [&](TSockCtrl*, TSocketBase* socket) {
                if (socket->State() == ssClosing)
                    client.reset();
            };
        client->SetAddress(QStringLiteral("127.0.0.1"));
        client->SetPort(QString::number(listener.Port));
        client->Open(SocketClassOf<TStreamSocket>);
        const int peer = listener.Accept();
        ASSERT_GE(peer, 0);
        if (which == "drain") {
            ASSERT_TRUE(PumpUntil([&] { return client->Connected(); }));
            ASSERT_EQ(::send(peer, "unread", 6, 0), 6);
            ASSERT_TRUE(PumpUntil([&] { return client->Socket()->BytesAvailable() == 6; }));
            client->Close();
            EXPECT_EQ(client, nullptr);
        } else {
            ::close(peer);
            EXPECT_TRUE(PumpUntil([&] { return client == nullptr; }));
        }
        PumpFor(20);
        if (which == "drain")
            ::close(peer);
    };
    run("info3");
    run("connect");
    run("disconnect");
    run("drain");
}

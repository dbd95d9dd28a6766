// The server component: listening, admission (limit, host list, reverse
// lookups, refusal handlers that raise), the host line walk, closing (also
// while an admission lookup waits), and peers that reset or close.
#include "netfixture.h"

#include "net/basicserversocket.h"
#include "net/sockerror.h"
#include "net/streamsocket.h"
#include "support/exceptionrecorder.h"

#include <memory>

namespace {
class TProbeServer : public TBasicServerSocket {
public:
    using TCustomBasicServerSocket::HandleSelect;
};

// Records the server's events; OnRead takes everything waiting into Received.
struct TServerRecorder {
    QStringList Log;
    QByteArray Received;
    std::vector<TSocketBase*> Accepted;
    explicit TServerRecorder(TCustomBasicServerSocket& server)
    {
        RecordEvents(server, Log);
        server.OnAccept = [this](TSockCtrl*, TSocketBase* socket) {
            Log << QStringLiteral("accept");
            Accepted.push_back(socket);
        };
        server.OnReject = [this](TSockCtrl*, TSocketBase*) { Log << QStringLiteral("reject"); };
        server.OnRead = [this](TSockCtrl*, TSocketBase* socket) {
            Log << QStringLiteral("read");
            char buffer[4096];
            Received.append(buffer, socket->Recv(buffer, sizeof buffer));
        };
    }
    QStringList Milestones() const { return Without(Log, {"info5", "info6", "read", "write"}); }
};

void listenOnLoopback(TBasicServerSocket& server)
{
    server.SetAddress(QStringLiteral("127.0.0.1"));
    server.SetPort(QStringLiteral("0"));
    server.Listen(SocketClassOf<TStreamSocket>);
}

// Connects from the loopback address from and waits until the server has
// admitted or refused the connection.
int connectAndSettle(TBasicServerSocket& server, TServerRecorder& recorder, const char* from = nullptr)
{
    const int before = recorder.Log.count("accept") + recorder.Log.count("reject");
    const int fd = RawConnect(server.PortNumber(), from);
    EXPECT_GE(fd, 0);
    EXPECT_TRUE(
        PumpUntil([&] { return recorder.Log.count("accept") + recorder.Log.count("reject") > before; }));
    return fd;
}

bool matches(const QString& line, const QString& address, const QString& name = QString(),
             int* lookups = nullptr)
{
    return HostLineMatches(line, address, [&] {
        if (lookups)
            ++*lookups;
        return name;
    });
}
} // namespace

TEST(ServerSocket, ListenOnPortZeroShowsTheChosenPort)
{
    TBasicServerSocket server;
    TServerRecorder recorder(server);
    listenOnLoopback(server);
    EXPECT_EQ(recorder.Log, QStringList{"info4"});
    EXPECT_EQ(server.Socket()->State(), ssListening);
    EXPECT_NE(server.PortNumber(), 0);
    EXPECT_EQ(server.PortNumber(), server.Socket()->LocalPort());
    EXPECT_EQ(server.Port(), QString::number(server.PortNumber()));

    // A second server on the same port cannot bind, and its socket is closed.
    TBasicServerSocket second;
    second.SetAddress(QStringLiteral("127.0.0.1"));
    second.SetPort(server.Port());
    try {
        second.Listen(SocketClassOf<TStreamSocket>);
        ADD_FAILURE() << "binding a port in use must raise";
    } catch (const ESockError& error) {
        EXPECT_TRUE(error.Message().startsWith("Error 10048 ")) << error.Message().toStdString();
        EXPECT_TRUE(error.Message().endsWith(" Binding Socket"));
    }
    EXPECT_EQ(second.Socket()->Handle(), -1);
}

TEST(ServerSocket, MaxConnectionsRefusesTheSecondAndAdmitsAgainAfterRelease)
{
    TBasicServerSocket server;
    TServerRecorder recorder(server);
    server.SetMaxConnections(1);
    listenOnLoopback(server);

    const int first = connectAndSettle(server, recorder);
    ASSERT_EQ(recorder.Milestones(), (QStringList{"info4", "info9", "accept"}));
    ASSERT_EQ(server.Connections().size(), 1u);
    EXPECT_EQ(recorder.Accepted[0]->State(), ssConnected);

    recorder.Log.clear();
    const int second = connectAndSettle(server, recorder);
    EXPECT_EQ(recorder.Milestones(), (QStringList{"info11", "reject", "info7"}));
    EXPECT_TRUE(PeerClosed(second)) << "the refused connection is closed";
    ASSERT_TRUE(PumpUntil([&] { return server.Connections().size() == 1; })) << "the refused one is released";

    // Data from the admitted peer arrives with the connection as Socket.
    ASSERT_EQ(::send(first, "data", 4, 0), 4);
    ASSERT_TRUE(PumpUntil([&] { return recorder.Received == "data"; }));

    recorder.Accepted[0]->Close();
    ASSERT_TRUE(PumpUntil([&] { return server.Connections().empty(); }));
    recorder.Log.clear();
    const int third = connectAndSettle(server, recorder);
    EXPECT_EQ(recorder.Milestones(), (QStringList{"info9", "accept"}));
    for (int fd : {first, second, third})
        ::close(fd);
}

TEST(ServerSocket, HostRestrictionWithEmptyAndListedLines)
{
    struct TCase {
        THostRestriction Restriction;
        QStringList Hosts;
        const char* From;
        bool AllowOnlyIfReverseDNS;
        const char* Expected;
    };
    const TCase cases[] = {
        {hrDeny, {}, "127.0.0.1", false, "accept"},
        {hrAccept, {}, "127.0.0.1", false, "reject"},
        {hrAccept, {"127.0.0.1"}, "127.0.0.1", false, "accept"},
        {hrAccept, {"127.0.0.1"}, "127.0.0.2", false, "reject"},
        {hrDeny, {"127.0.0.2"}, "127.0.0.2", false, "reject"},
        {hrDeny, {"127.0.0.2"}, "127.0.0.1", false, "accept"},
        {hrAccept, {"127.*.*.2"}, "127.0.0.2", false, "accept"},
        {hrAccept, {"10.0.0.1", "localhost"}, "127.0.0.1", false, "accept"}, // a name line: reverse lookup
        {hrAccept, {"other.host"}, "127.0.0.1", false, "reject"},
        {hrAccept, {"*.example"}, "127.0.0.1", false, "accept"}, // "localhost" runs out first: a match
        {hrDeny, {}, "127.0.0.1", true, "accept"},               // 127.0.0.1 has a name (localhost)
    };
    TFakeResolver resolver({}, {}, {{"127.0.0.1", QStringLiteral("localhost")}});
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Hosts.join(',').toStdString() + " from " + c.From);
        TBasicServerSocket server;
        TServerRecorder recorder(server);
        server.SetRestriction(c.Restriction);
        server.SetRestrictedHosts(c.Hosts);
        server.SetAllowOnlyIfReverseDNS(c.AllowOnlyIfReverseDNS);
        listenOnLoopback(server);
        const int fd = connectAndSettle(server, recorder, c.From);
        EXPECT_TRUE(recorder.Log.contains(c.Expected));
        EXPECT_EQ(ExceptionRecorder::Count(), 0u);
        ::close(fd);
    }
}

TEST(ServerSocket, ReverseLookupRequiredRefusesANamelessPeer)
{
    TFakeResolver resolver({}, {"127.0.0.2"});
    TBasicServerSocket server;
    TServerRecorder recorder(server);
    server.SetRestriction(hrDeny); // nothing listed: only the name decides
    server.SetAllowOnlyIfReverseDNS(true);
    listenOnLoopback(server);

    const int nameless = connectAndSettle(server, recorder, "127.0.0.2");
    EXPECT_EQ(recorder.Milestones(), (QStringList{"info4", "info11", "reject", "info7"}));
    EXPECT_TRUE(PeerClosed(nameless));

    recorder.Log.clear();
    const int named = connectAndSettle(server, recorder, "127.0.0.1");
    EXPECT_EQ(recorder.Milestones(), (QStringList{"info9", "accept"}));
    for (int fd : {nameless, named})
        ::close(fd);
}

TEST(ServerSocket, HostLineWalk)
{
    // Address form.
    EXPECT_TRUE(matches("10.*.*.1", "10.4.5.1"));
    EXPECT_FALSE(matches("10.*.*.1", "10.4.5.2"));
    EXPECT_TRUE(matches("192.168", "192.168.7.9")) << "a prefix in whole components";
    EXPECT_FALSE(matches("192.16", "192.168.7.9"));
    EXPECT_TRUE(matches("127.0.0.1.5", "127.0.0.1")) << "more components than the subject";
    EXPECT_TRUE(matches("", "10.1.2.3")) << "an empty line matches everybody";
    EXPECT_TRUE(matches("10.4.5.1", "10.4.5.1"));
    EXPECT_FALSE(matches("10.4.5.1", "10.4.5.10"));
    EXPECT_FALSE(matches("11.4.5.1", "10.4.5.1")) << "a mismatch early stays a mismatch";
    EXPECT_TRUE(matches("10..4", "10.4.5.1")) << "dots are stripped from the rest as components are taken";
    EXPECT_FALSE(matches(".10", "10.4.5.1", "host")) << "a leading dot gives an empty component: a name line";

    // Name form: the lookup runs only when the walk reaches a name component.
    int lookups = 0;
    EXPECT_TRUE(matches("10.5.name", "10.5", "x", &lookups));
    EXPECT_FALSE(matches("10.4.5.2", "10.4.5.1", "x", &lookups));
    EXPECT_EQ(lookups, 0);
    EXPECT_TRUE(matches("*.example.com", "10.1.1.1", "ftp.example.com.au", &lookups));
    EXPECT_EQ(lookups, 1);
    EXPECT_TRUE(matches("*.example.com", "10.1.1.1", "ftp.example.com", &lookups));
    EXPECT_FALSE(matches("*.example.com", "10.1.1.1", "ftp.other.com", &lookups));
    EXPECT_FALSE(matches("*.Example.com", "10.1.1.1", "ftp.example.com", &lookups)) << "case matters";
    EXPECT_FALSE(matches("*.example.com", "10.1.1.1", "example.com", &lookups)) << "* is exactly one label";
    EXPECT_TRUE(matches("10.*.host", "10.1.1.1", "10.7.host.net", &lookups))
        << "the name walk restarts the line";
    EXPECT_FALSE(matches("10.*.host", "11.1.1.1", "10.7.other", &lookups));
    EXPECT_FALSE(matches("localhost", "127.0.0.1", "", &lookups)) << "no name never matches a name line";
    EXPECT_THROW(HostLineMatches("name", "1.2.3.4", []() -> QString { throw ESockError("lookup failed"); }),
                 ESockError);
}

TEST(ServerSocket, PeerCloseResetAndUnknownHandle)
{
    TProbeServer server;
    TServerRecorder recorder(server);
    listenOnLoopback(server);

    const int closing = connectAndSettle(server, recorder);
    ASSERT_EQ(::send(closing, "bye", 3, 0), 3);
    ::close(closing);
    ASSERT_TRUE(PumpUntil([&] { return recorder.Log.contains("info7"); }));
    EXPECT_EQ(recorder.Received, "bye");
    EXPECT_EQ(Without(recorder.Milestones(), {"info4", "info9", "accept"}),
              (QStringList{"info12", "disconnect", "info7"}));
    ASSERT_TRUE(PumpUntil([&] { return server.Connections().empty(); }));

    recorder.Log.clear();
    const int resetting = connectAndSettle(server, recorder);
    ResetAndClose(resetting);
    ASSERT_TRUE(PumpUntil([&] { return recorder.Log.contains("info7"); }));
    ASSERT_TRUE(PumpUntil([&] { return server.Connections().empty(); }));
    for (std::size_t i = 0; i < ExceptionRecorder::Count(); ++i)
        EXPECT_TRUE(ExceptionRecorder::MessageAt(i).contains("10054"))
            << ExceptionRecorder::MessageAt(i).toStdString();
    ExceptionRecorder::Clear();

    TSocketBase* seenSocket = reinterpret_cast<TSocketBase*>(1);
    int seenCode = -1;
    server.OnInfo = [&](TSockCtrl*, TSockInfo code, TSocketBase* socket) {
        seenCode = code;
        seenSocket = socket;
    };
    server.HandleSelect({9999, FD_READ, 0, 0});
    EXPECT_EQ(seenCode, icNoSuchSocket);
    EXPECT_EQ(seenSocket, nullptr);
}

TEST(ServerSocket, CloseReportsEachConnectionThenTheListener)
{
    TBasicServerSocket server;
    TServerRecorder recorder(server);
    listenOnLoopback(server);
    const int a = connectAndSettle(server, recorder);
    const int b = connectAndSettle(server, recorder);
    ASSERT_EQ(server.Connections().size(), 2u);
    std::vector<TSocketBase*> closedSockets;
    recorder.Log.clear();
    server.OnInfo = [&](TSockCtrl*, TSockInfo code, TSocketBase* socket) {
        recorder.Log << QStringLiteral("info%1").arg(code);
        if (code == icClosed)
            closedSockets.push_back(socket);
    };
    TSocketBase* listener = server.Socket();
    server.Close();
    EXPECT_EQ(recorder.Log, (QStringList{"info7", "info7", "info7"})) << "no OnDisconnect for our own close";
    EXPECT_EQ(closedSockets,
              (std::vector<TSocketBase*>{recorder.Accepted[0], recorder.Accepted[1], listener}));
    EXPECT_TRUE(server.Connections().empty());
    EXPECT_TRUE(PeerClosed(a));
    EXPECT_TRUE(PeerClosed(b));
    PumpFor(50); // the closed messages arrive for released objects: nothing happens
    EXPECT_EQ(recorder.Log.size(), 3);
    ::close(a);
    ::close(b);
}

TEST(ServerSocket, HandlerMayCloseTheServerOrDestroyIt)
{
    auto server = std::make_unique<TBasicServerSocket>();
    TServerRecorder recorder(*server);
    listenOnLoopback(*server);
    server->OnAccept = [&](TSockCtrl*, TSocketBase*) { server->Close(); };
    const int fd = RawConnect(server->PortNumber());
    ASSERT_TRUE(PumpUntil([&] { return server->Socket()->Handle() == -1; }));
    EXPECT_TRUE(server->Connections().empty());
    EXPECT_TRUE(PeerClosed(fd));
    ::close(fd);

    listenOnLoopback(*server);
    server->OnAccept = [&](TSockCtrl*, TSocketBase*) { server.reset(); };
    const int doomed = RawConnect(server->PortNumber());
    ASSERT_TRUE(PumpUntil([&] { return server == nullptr; }));
    EXPECT_TRUE(PeerClosed(doomed));
    ::close(doomed);
}

TEST(ServerSocket, DisconnectHandlerMayDestroyTheServer)
{
    auto server = std::make_unique<TBasicServerSocket>();
    listenOnLoopback(*server);
    EXPECT_EQ(server->HostToAddressText(QStringLiteral("localhost")), QStringLiteral("127.0.0.1"));
    bool accepted = false;
    server->OnAccept = [&](TSockCtrl*, TSocketBase*) { accepted = true; };
    server->OnDisconnect = [&](TSockCtrl*, TSocketBase*) { server.reset(); };
    const int fd = RawConnect(server->PortNumber());
    ASSERT_TRUE(PumpUntil([&] { return accepted; }));
    ::close(fd);
    ASSERT_TRUE(PumpUntil([&] { return server == nullptr; }));
    PumpFor(20);
}

TEST(ServerSocket, UnreadDataDoesNotSpin)
{
    TBasicServerSocket server;
    TServerRecorder recorder(server);
    int reads = 0;
    server.OnRead = [&](TSockCtrl*, TSocketBase*) { ++reads; }; // never receives
    listenOnLoopback(server);
    const int fd = connectAndSettle(server, recorder);
    ASSERT_EQ(::send(fd, "pending", 7, 0), 7);
    ASSERT_TRUE(PumpUntil([&] { return reads == 1; }));
    const double before = ProcessCpuSeconds();
    PumpFor(1000);
    const double used = ProcessCpuSeconds() - before;
    EXPECT_EQ(reads, 1) << "one read notification until the data is received";
    EXPECT_LT(used, 0.2) << "an outstanding read must not spin";
    RecordProperty("unread_data_cpu_seconds_per_second", QString::number(used, 'f', 3).toStdString());
    ::close(fd);
}

TEST(ServerSocket, RefusedConnectionsInputNeverReachesOnReadAndTheNextOneWorks)
{
    TBasicServerSocket server;
    TServerRecorder recorder(server);
    server.SetRestriction(hrAccept);
    server.SetRestrictedHosts({QStringLiteral("127.0.0.1")});
    TSocketBase* refusedSocket = nullptr;
    server.OnReject = [&](TSockCtrl*, TSocketBase* socket) {
        recorder.Log << QStringLiteral("reject");
        refusedSocket = socket;
    };
    int readsOfRefused = 0;
    server.OnRead = [&](TSockCtrl*, TSocketBase* socket) {
        readsOfRefused += socket == refusedSocket;
        char buffer[4096];
        recorder.Received.append(buffer, socket->Recv(buffer, sizeof buffer));
    };
    bool disconnected = false;
    server.OnDisconnect = [&](TSockCtrl*, TSocketBase*) { disconnected = true; };
    listenOnLoopback(server);

    // The refused peer's input is already there when it is refused, or arrives after.
    for (bool sendFirst : {true, false}) {
        SCOPED_TRACE(sendFirst ? "input before the refusal" : "input after the refusal");
        recorder.Log.clear();
        recorder.Received.clear();
        disconnected = false;
        refusedSocket = nullptr;
        readsOfRefused = 0;
        const int refused = RawConnect(server.PortNumber(), "127.0.0.2");
        if (sendFirst) {
            ASSERT_EQ(::send(refused, "unwanted", 8, 0), 8);
        }
        ASSERT_TRUE(PumpUntil([&] { return recorder.Log.contains("reject"); }));
        ::send(refused, "late", 4, MSG_NOSIGNAL);
        EXPECT_TRUE(PeerClosed(refused));
        ::close(refused);
        PumpFor(20);
        EXPECT_EQ(readsOfRefused, 0);
        refusedSocket = nullptr; // its memory may hold the next connection

        const int wanted = connectAndSettle(server, recorder);
        ASSERT_EQ(recorder.Log.count("accept"), 1);
        ASSERT_EQ(::send(wanted, "wanted", 6, 0), 6);
        EXPECT_TRUE(PumpUntil([&] { return recorder.Received.endsWith("wanted"); }));
        EXPECT_EQ(recorder.Received, "wanted") << "nothing of the refused peer is handed over";
        ::close(wanted);
        EXPECT_TRUE(PumpUntil([&] { return disconnected; }));
        EXPECT_TRUE(PumpUntil([&] { return server.Connections().empty(); }));
    }
}

TEST(ServerSocket, RefusalOrAdmissionHandlerThatRaisesStillClosesTheConnection)
{
    for (const QString& failing :
         {QStringLiteral("info11"), QStringLiteral("reject"), QStringLiteral("info9")}) {
        SCOPED_TRACE(failing.toStdString() + " raises");
        TBasicServerSocket server;
        TServerRecorder recorder(server);
        server.SetRestriction(hrAccept);
        server.SetRestrictedHosts({QStringLiteral("127.0.0.1")});
        server.OnInfo = [&](TSockCtrl*, TSockInfo code, TSocketBase*) {
            recorder.Log << QStringLiteral("info%1").arg(code);
            if ((code == icRejecting && failing == QLatin1String("info11")) ||
                (code == icAccepting && failing == QLatin1String("info9")))
                throw Exception(QStringLiteral("handler failed"));
        };
        server.OnReject = [&](TSockCtrl*, TSocketBase*) {
            recorder.Log << QStringLiteral("reject");
            if (failing == QLatin1String("reject"))
                throw Exception(QStringLiteral("handler failed"));
        };
        int laterEvents = 0;
        server.OnRead = [&](TSockCtrl*, TSocketBase*) { ++laterEvents; };
        server.OnDisconnect = [&](TSockCtrl*, TSocketBase*) { ++laterEvents; };
        listenOnLoopback(server);

        const bool admitted = failing == QLatin1String("info9");
        const int fd = RawConnect(server.PortNumber(), admitted ? "127.0.0.1" : "127.0.0.2");
        ASSERT_TRUE(PumpUntil([&] { return recorder.Log.contains(admitted ? "info9" : "info11"); }));
        ::send(fd, "late", 4, MSG_NOSIGNAL);
        EXPECT_TRUE(PeerClosed(fd)) << "the refused connection is closed";
        EXPECT_TRUE(PumpUntil([&] { return server.Connections().empty(); }));
        PumpFor(50);
        const QStringList expected = failing == QLatin1String("reject")
                                         ? QStringList{"info4", "info11", "reject", "info7"}
                                     : admitted ? QStringList{"info4", "info9", "info7"}
                                                : QStringList{"info4", "info11", "info7"};
        EXPECT_EQ(recorder.Milestones(), expected);
        EXPECT_EQ(laterEvents, 0) << "no event of the connection after the failed handler";
        ASSERT_EQ(ExceptionRecorder::Count(), 1u);
        EXPECT_EQ(ExceptionRecorder::MessageAt(0), QStringLiteral("handler failed"));
        ExceptionRecorder::Clear();
        ::close(fd);
    }
}

TEST(ServerSocket, DescendantsIsHostListedDecidesAdmission)
{
    class TOwnList : public TBasicServerSocket {
    public:
        QStringList Asked;
        bool IsHostListed(const QString& peerAddress) override
        {
            Asked << peerAddress;
            return peerAddress == QLatin1String("127.0.0.2");
        }
    };
    TOwnList server;
    TServerRecorder recorder(server);
    server.SetRestriction(hrDeny); // the own list denies 127.0.0.2; RestrictedHosts stays empty
    listenOnLoopback(server);
    const int denied = connectAndSettle(server, recorder, "127.0.0.2");
    const int admitted = connectAndSettle(server, recorder, "127.0.0.1");
    EXPECT_EQ(recorder.Milestones(), (QStringList{"info4", "info11", "reject", "info7", "info9", "accept"}));
    EXPECT_EQ(server.Asked, (QStringList{"127.0.0.2", "127.0.0.1"}));
    for (int fd : {denied, admitted})
        ::close(fd);
}

TEST(ServerSocket, NameLineWhoseReverseLookupFailsRefusesAndReports)
{
    TFakeResolver resolver({}, {"127.0.0.2"});
    for (THostRestriction restriction : {hrAccept, hrDeny}) {
        SCOPED_TRACE(restriction == hrAccept ? "hrAccept" : "hrDeny");
        TBasicServerSocket server;
        TServerRecorder recorder(server);
        server.SetRestriction(restriction);
        server.SetRestrictedHosts({QStringLiteral("10.0.0.1"), QStringLiteral("ftp.example")});
        listenOnLoopback(server);
        const int fd = connectAndSettle(server, recorder, "127.0.0.2");
        EXPECT_EQ(recorder.Milestones(), (QStringList{"info4", "info11", "reject", "info7"}));
        EXPECT_TRUE(PeerClosed(fd));
        EXPECT_TRUE(PumpUntil([&] { return server.Connections().empty(); }));
        ASSERT_EQ(ExceptionRecorder::Count(), 1u) << "the failed lookup is reported";
        EXPECT_TRUE(ExceptionRecorder::MessageAt(0).startsWith("Error 11004 "))
            << ExceptionRecorder::MessageAt(0).toStdString();
        ExceptionRecorder::Clear();
        ::close(fd);
    }
}

TEST(ServerSocket, ListenAgainReleasesTheOldListenerSilently)
{
    TBasicServerSocket server;
    TServerRecorder recorder(server);
    listenOnLoopback(server);
    const quint16 oldPort = server.PortNumber();
    recorder.Log.clear();
    server.SetPort(QStringLiteral("0"));
    server.Listen(SocketClassOf<TStreamSocket>);
    EXPECT_EQ(recorder.Log, QStringList{"info4"}) << "no report for the old listener";
    EXPECT_EQ(server.Socket()->State(), ssListening);
    EXPECT_NE(server.PortNumber(), oldPort);

    // The old port is free again.
    const int probe = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in local = Loopback(oldPort);
    EXPECT_EQ(::bind(probe, reinterpret_cast<sockaddr*>(&local), sizeof local), 0);
    ::close(probe);

    recorder.Log.clear();
    const int fd = connectAndSettle(server, recorder);
    EXPECT_EQ(recorder.Milestones(), (QStringList{"info9", "accept"}));
    PumpFor(50);
    EXPECT_EQ(ExceptionRecorder::Count(), 0u);
    ::close(fd);
}

TEST(ServerSocket, CloseHandsEachConnectionsUnreadInputOverBeforeItsClosedReport)
{
    TBasicServerSocket server;
    TServerRecorder recorder(server);
    listenOnLoopback(server);
    const int a = connectAndSettle(server, recorder);
    const int b = connectAndSettle(server, recorder);
    ASSERT_EQ(recorder.Accepted.size(), 2u);
    const auto nameOf = [&](TSocketBase* socket) {
        return socket == recorder.Accepted[0]   ? QStringLiteral("a")
               : socket == recorder.Accepted[1] ? QStringLiteral("b")
                                                : QStringLiteral("listener");
    };
    QStringList log;
    bool closing = false;
    server.OnRead = [&](TSockCtrl*, TSocketBase* socket) {
        log << QStringLiteral("read ") + nameOf(socket);
        if (!closing)
            return; // left unread until the close
        char buffer[4096];
        recorder.Received.append(buffer, socket->Recv(buffer, sizeof buffer));
    };
    server.OnInfo = [&](TSockCtrl*, TSockInfo code, TSocketBase* socket) {
        if (code == icClosed)
            log << QStringLiteral("closed ") + nameOf(socket);
    };
    ASSERT_EQ(::send(a, "from a", 6, 0), 6);
    ASSERT_EQ(::send(b, "from b", 6, 0), 6);
    ASSERT_TRUE(PumpUntil([&] { return log.size() == 2; }));
    log.clear();
    closing = true;
    server.Close();
    EXPECT_EQ(log, (QStringList{"read a", "closed a", "read b", "closed b", "closed listener"}));
    EXPECT_EQ(recorder.Received, "from afrom b");
    EXPECT_TRUE(server.Connections().empty());
    for (int fd : {a, b})
        ::close(fd);
}

TEST(ServerSocket, CloseOrDestructionWhileTheAcceptLookupWaits)
{
    struct TCase {
        bool ReverseDNS; // the lookup of AllowOnlyIfReverseDNS, or of a name line
        bool Destroy;
    };
    for (const TCase c : {TCase{true, false}, TCase{true, true}, TCase{false, false}, TCase{false, true}}) {
        SCOPED_TRACE(std::string(c.ReverseDNS ? "reverse DNS required" : "name line") +
                     (c.Destroy ? ", destroyed" : ", closed"));
        TFakeResolver resolver({"127.0.0.2"}, {});
        auto server = std::make_unique<TBasicServerSocket>();
        TServerRecorder recorder(*server);
        server->SetAllowOnlyIfReverseDNS(c.ReverseDNS);
        if (!c.ReverseDNS)
            server->SetRestrictedHosts({QStringLiteral("ftp.example")});
        listenOnLoopback(*server);

        bool acted = false;
        RunSteps([&] {
            if (resolver.StalledLookups() == 0)
                return false;
            if (c.Destroy) {
                server.reset();
            } else {
                server->Close();
                EXPECT_TRUE(server->Connections().empty());
            }
            resolver.Release(); // a closed server's wait ends when the name server answers
            acted = true;
            return true;
        });
        const int fd = RawConnect(server->PortNumber(), "127.0.0.2");
        ASSERT_TRUE(PumpUntil([&] { return acted; }));
        PumpFor(50);
        EXPECT_TRUE(PeerClosed(fd));
        EXPECT_FALSE(recorder.Log.contains("accept"));
        EXPECT_FALSE(recorder.Log.contains("reject"));
        if (server) {
            EXPECT_TRUE(server->Connections().empty());
            EXPECT_EQ(server->Socket()->Handle(), -1);
        }
        EXPECT_EQ(ExceptionRecorder::Count(), 0u) << "the abandoned test stops quietly";
        ExceptionRecorder::Clear();
        ::close(fd);
    }
}

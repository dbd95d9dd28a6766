// The server component: listening, admission (limit and host list), the host
// line walk, closing, and peers that reset or close.
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
    TSockMessage stray;
    stray.Msg = SocketNotify;
    stray.WParam = 9999;
    stray.LParam = MakeLong(FD_READ, 0);
    server.HandleSelect(stray);
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

TEST(ServerSocket, RefusedConnectionWithUnreadInputLeavesTheNextOneWorking)
{
    TBasicServerSocket server;
    TServerRecorder recorder(server);
    server.SetRestriction(hrAccept);
    server.SetRestrictedHosts({QStringLiteral("127.0.0.1")});
    TSocketBase* admitted = nullptr;
    server.OnAccept = [&](TSockCtrl*, TSocketBase* socket) {
        recorder.Log << QStringLiteral("accept");
        admitted = socket;
    };
    // Only the admitted connection's input is received; a refused one's is left unread.
    server.OnRead = [&](TSockCtrl*, TSocketBase* socket) {
        if (socket != admitted)
            return;
        char buffer[4096];
        recorder.Received.append(buffer, socket->Recv(buffer, sizeof buffer));
    };
    bool disconnected = false;
    server.OnDisconnect = [&](TSockCtrl*, TSocketBase*) { disconnected = true; };
    listenOnLoopback(server);

    // The refused peer's input is already there when it is refused, and arrives after.
    for (bool sendFirst : {true, false}) {
        SCOPED_TRACE(sendFirst ? "input before the refusal" : "input after the refusal");
        recorder.Log.clear();
        recorder.Received.clear();
        disconnected = false;
        admitted = nullptr;
        const int refused = RawConnect(server.PortNumber(), "127.0.0.2");
        if (sendFirst) {
            ASSERT_EQ(::send(refused, "unwanted", 8, 0), 8);
        }
        ASSERT_TRUE(PumpUntil([&] { return recorder.Log.contains("reject"); }));
        ::send(refused, "late", 4, MSG_NOSIGNAL);
        EXPECT_TRUE(PeerClosed(refused));
        ::close(refused);

        const int wanted = connectAndSettle(server, recorder);
        ASSERT_EQ(recorder.Log.count("accept"), 1);
        ASSERT_EQ(::send(wanted, "wanted", 6, 0), 6);
        EXPECT_TRUE(PumpUntil([&] { return recorder.Received == "wanted"; }));
        ::close(wanted);
        EXPECT_TRUE(PumpUntil([&] { return disconnected; }));
        EXPECT_TRUE(PumpUntil([&] { return server.Connections().empty(); }));
    }
}

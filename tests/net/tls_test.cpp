#include "net/basicclientsocket.h"
#include "net/basicserversocket.h"
#include "net/linesocket.h"
#include "net/sockerror.h"
#include "net/tlschannel.h"
#include "support/exceptionrecorder.h"
#include "support/ftpvsftpdserver.h"
#include "support/pump.h"
#include "tlsfixture.h"

#include <chrono>
#include <thread>

namespace {

constexpr qint64 kLarge = 8 << 20;

// The byte at a position of the test streams: no period a lost or doubled block could hide in.
char patternAt(qint64 at)
{
    return char((at * 7 + at / 4099) & 0xFF);
}

void fillPattern(char* buf, qint64 from, int n)
{
    for (int i = 0; i < n; ++i)
        buf[i] = patternAt(from + i);
}

// A client component with a socket object of class T; TLS starts at the
// connect (implicit) unless StartOnConnect is cleared.
template <class T> struct TTlsClient {
    TBasicClientSocket Client;
    TTlsOptions Options;
    std::vector<TTlsOutcome> Outcomes;
    bool StartOnConnect = true;
    int Disconnects = 0;

    explicit TTlsClient(quint16 port)
    {
        TTestPki::Get();
        Client.SetAddress(QStringLiteral("127.0.0.1"));
        Client.SetPort(QString::number(port));
        Options.HostName = QStringLiteral("localhost");
        Options.Port = port;
        Options.OnDone = [this](TSockCtrl*, TSocketBase*, const TTlsOutcome& outcome) {
            Outcomes.push_back(outcome);
        };
        Client.OnConnect = [this](TSockCtrl*, TSocketBase*) {
            if (StartOnConnect)
                Socket()->StartTls(Options);
        };
        Client.OnDisconnect = [this](TSockCtrl*, TSocketBase*) { ++Disconnects; };
    }
    void Open() { Client.Open(SocketClassOf<T>); }
    T* Socket() { return static_cast<T*>(Client.Socket()); }
    bool WaitForHandshake()
    {
        return PumpUntil([this] { return !Outcomes.empty(); }, 10000);
    }
};

// Downloads over a stream socket with reads of at most `piece` bytes per read
// notification, checking every byte against the pattern.
struct TPatternReader {
    qint64 Received = 0;
    qint64 Wrong = 0;
    void Take(TSocketBase* socket, int piece)
    {
        char buf[65536];
        const int n = socket->Recv(buf, qMin<int>(piece, sizeof buf));
        for (int i = 0; i < n; ++i)
            Wrong += buf[i] != patternAt(Received + i);
        Received += qMax(n, 0);
    }
};

// Uploads `total` pattern bytes on every write notification, retrying the
// same bytes after a would-block as the FTP engine does.
struct TPatternWriter {
    qint64 Total = 0;
    qint64 Sent = 0;
    void Push(TSocketBase* socket)
    {
        char buf[16384];
        while (Sent < Total) {
            const int n = int(qMin<qint64>(sizeof buf, Total - Sent));
            fillPattern(buf, Sent, n);
            const int taken = socket->Send(buf, n);
            if (taken <= 0)
                return;
            Sent += taken;
        }
    }
};

// The server side of a download: reads `total` bytes and checks them.
bool readPattern(TServerPeer& peer, qint64 total)
{
    char buf[65536];
    for (qint64 got = 0; got < total;) {
        const int n = peer.Read(buf, int(qMin<qint64>(sizeof buf, total - got)));
        if (n <= 0)
            return false;
        for (int i = 0; i < n; ++i)
            if (buf[i] != patternAt(got + i))
                return false;
        got += n;
    }
    return true;
}

bool writePattern(TServerPeer& peer, qint64 total)
{
    char buf[65536];
    for (qint64 done = 0; done < total;) {
        const int n = int(qMin<qint64>(sizeof buf, total - done));
        fillPattern(buf, done, n);
        if (!peer.Write(buf, n))
            return false;
        done += n;
    }
    return true;
}

} // namespace

TEST(Tls, ExplicitTlsAfterAPlainPrefixCarriesLinesAndEndsWithCloseNotify)
{
    const TKeyCert identity = TTestPki::Get().Issue({});
    TTlsTestServer server(identity);
    std::atomic<bool> sawCloseNotify{false};
    std::atomic<int> echoed{0};
    server.Serve(1, [&](TServerPeer& peer) {
        peer.PlainSend("220 ready\r\n");
        if (peer.PlainLine() != "AUTH TLS")
            return;
        peer.PlainSend("234 go ahead\r\n");
        if (!peer.Accept())
            return;
        peer.Write("200 secure\r\n"); // may arrive with the handshake's last flight
        for (QByteArray line; !(line = peer.ReadLine()).isEmpty();) {
            if (line == "QUIT") {
                peer.Write("221 bye\r\n");
                break;
            }
            peer.Write("200 " + line + "\r\n");
            ++echoed;
        }
        char rest[16];
        sawCloseNotify = peer.Read(rest, sizeof rest) == 0 && peer.SawCloseNotify();
    });

    TTlsClient<TLineSocket> c(server.Port());
    c.StartOnConnect = false;
    std::vector<QByteArray> lines;
    c.Open();
    c.Socket()->OnLine = [&](TLineSocketBase* socket, const QByteArray& line, bool) {
        lines.push_back(line);
        if (line == "220 ready")
            socket->WriteLine("AUTH TLS");
        else if (line == "234 go ahead")
            c.Socket()->StartTls(c.Options);
    };
    ASSERT_TRUE(c.WaitForHandshake());
    const TTlsOutcome& done = c.Outcomes[0];
    ASSERT_TRUE(done.Ok) << done.Error.toStdString();
    EXPECT_TRUE(done.Certificate.verified) << done.Certificate.reason.toStdString();
    EXPECT_EQ(done.Certificate.reason, QString());
    EXPECT_EQ(done.Certificate.protocol, QStringLiteral("TLSv1.3"));
    EXPECT_FALSE(done.Certificate.cipher.isEmpty());
    EXPECT_EQ(done.Certificate.subject, QStringLiteral("CN=localhost, O=Kvado Test"));
    EXPECT_EQ(done.Certificate.issuer, QStringLiteral("CN=Kvado Test CA, O=Kvado Test"));
    EXPECT_EQ(done.Certificate.sha256, DerSha256(identity.Cert.get()));
    EXPECT_EQ(done.Certificate.host, QStringLiteral("localhost"));
    EXPECT_EQ(done.Certificate.port, server.Port());
    EXPECT_LT(done.Certificate.notBefore, QDateTime::currentDateTimeUtc());
    EXPECT_GT(done.Certificate.notAfter, QDateTime::currentDateTimeUtc().addDays(29));
    EXPECT_EQ(done.Certificate.notAfter.timeSpec(), Qt::UTC);
    EXPECT_FALSE(done.SessionReused);

    ASSERT_TRUE(PumpUntil([&] { return lines.size() == 3; }));
    EXPECT_EQ(lines[2], QByteArray("200 secure"));
    // Many lines in one go: each answer comes back whole and in order.
    for (int i = 0; i < 40; ++i)
        ASSERT_TRUE(c.Socket()->WriteLine("NOOP " + QByteArray::number(i)));
    ASSERT_TRUE(PumpUntil([&] { return lines.size() == 43; }));
    for (int i = 0; i < 40; ++i)
        EXPECT_EQ(lines[3 + i], "200 NOOP " + QByteArray::number(i));
    c.Socket()->WriteLine("QUIT");
    ASSERT_TRUE(PumpUntil([&] { return lines.size() == 44; }));
    EXPECT_EQ(lines.back(), QByteArray("221 bye"));
    c.Client.Close();
    ASSERT_TRUE(PumpUntil([&] { return server.Finished() == 1; }));
    EXPECT_TRUE(sawCloseNotify) << "Close sends close_notify";
    EXPECT_EQ(echoed, 40);
    EXPECT_EQ(c.Outcomes.size(), 1u);
    EXPECT_EQ(ExceptionRecorder::Count(), 0u);
}

TEST(Tls, AnAbortiveCloseSendsNoCloseNotify)
{
    // An upload cut off (SO_LINGER 0, then Close) must not end in order: the
    // server would take the part it got for the whole file.
    TTlsTestServer server(TTestPki::Get().Issue({}));
    std::atomic<int> verdict{1}; // 0: close_notify, -1: cut off
    server.Serve(1, [&](TServerPeer& peer) {
        if (!peer.Accept())
            return;
        char buf[4096];
        int n;
        while ((n = peer.Read(buf, sizeof buf)) > 0) {
        }
        verdict = n;
    });
    TTlsClient<TStreamSocket> c(server.Port());
    c.Open();
    ASSERT_TRUE(c.WaitForHandshake());
    ASSERT_TRUE(PumpUntil([&] { return c.Socket()->Send("partial", 7) == 7; }));
    const linger reset{1, 0};
    ::setsockopt(c.Socket()->Handle(), SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
    c.Client.Close();
    ASSERT_TRUE(PumpUntil([&] { return server.Finished() == 1; }));
    EXPECT_EQ(verdict, -1);
}

TEST(Tls, AnUploadClosedAtOnceStillEndsWithCloseNotifyAfterAllItsBytes)
{
    // The server reads slowly, so the socket's send buffer is full when the
    // last bytes are taken and the close_notify behind them must wait.
    TTlsTestServer server(TTestPki::Get().Issue({}));
    constexpr qint64 total = 2 << 20;
    std::atomic<bool> intact{false};
    std::atomic<bool> orderlyEnd{false};
    server.Serve(1, [&](TServerPeer& peer) {
        if (!peer.Accept())
            return;
        char buf[4096];
        qint64 got = 0;
        bool same = true;
        for (int n; (n = peer.Read(buf, sizeof buf)) > 0; got += n) {
            for (int i = 0; i < n; ++i)
                same = same && buf[i] == patternAt(got + i);
            std::this_thread::sleep_for(std::chrono::microseconds(50));
        }
        intact = same && got == total;
        orderlyEnd = peer.SawCloseNotify();
    });
    TTlsClient<TStreamSocket> c(server.Port());
    TPatternWriter writer{total};
    c.Client.OnWrite = [&](TSockCtrl*, TSocketBase* socket) {
        writer.Push(socket);
        if (writer.Sent == total)
            c.Client.Close(); // as the engine closes a finished upload
    };
    c.Open();
    const int small = 8192; // fills sooner, so the end is more likely to find it full
    ::setsockopt(c.Socket()->Handle(), SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
    ASSERT_TRUE(PumpUntil([&] { return server.Finished() == 1; }, 30000));
    EXPECT_TRUE(intact);
    EXPECT_TRUE(orderlyEnd) << "close_notify came last";
}

TEST(Tls, AResetAfterTheServersCloseNotifyCutsNothingOffOneWithoutItMay)
{
    // A server that resets the connection once its data is out: after its
    // close_notify (the client's answer finds the socket gone) the data is
    // known whole; without it the client cannot tell a cut from an end.
    for (const bool closeNotify : {true, false}) {
        SCOPED_TRACE(closeNotify ? "close_notify, then a reset" : "a reset alone");
        TTlsTestServer server(TTestPki::Get().Issue({}));
        constexpr qint64 total = 200000;
        server.Serve(1, [&](TServerPeer& peer) {
            if (!peer.Accept() || !writePattern(peer, total))
                return;
            if (closeNotify)
                peer.Shutdown();
            char answer;
            ::recv(peer.Fd(), &answer, 1, 0); // the client has read everything (or timed out)
            const linger reset{1, 0};
            ::setsockopt(peer.Fd(), SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
        });
        TTlsClient<TStreamSocket> c(server.Port());
        TPatternReader reader;
        bool confirmed = true;
        int error = 0;
        c.Client.OnRead = [&](TSockCtrl*, TSocketBase* socket) { reader.Take(socket, 65536); };
        c.Client.OnDisconnect = [&](TSockCtrl*, TSocketBase* socket) {
            error = socket->LastError();
            confirmed = static_cast<TStreamSocket*>(socket)->EndConfirmed();
            ++c.Disconnects;
        };
        c.Open();
        ASSERT_TRUE(PumpUntil([&] { return reader.Received == total; }, 20000));
        if (!closeNotify) // the client speaks first, so the server resets with the data read
            ASSERT_TRUE(PumpUntil([&] { return c.Socket()->Send("x", 1) == 1; }));
        ASSERT_TRUE(PumpUntil([&] { return c.Disconnects > 0; }, 20000));
        EXPECT_EQ(reader.Wrong, 0);
        EXPECT_NE(error, 0) << "the server reset the connection";
        EXPECT_EQ(confirmed, closeNotify);
    }
}

TEST(Tls, LargeTransfersArriveByteForByteBothWaysAndInSmallReads)
{
    // A client connection (passive shape): 8 MiB up, then 8 MiB down, then
    // the server's close_notify and close end the connection in order.
    {
        TTlsTestServer server(TTestPki::Get().Issue({}));
        std::atomic<bool> uploadIntact{false};
        server.Serve(1, [&](TServerPeer& peer) {
            if (!peer.Accept())
                return;
            uploadIntact = readPattern(peer, kLarge);
            writePattern(peer, kLarge);
            peer.Shutdown();
        });
        TTlsClient<TStreamSocket> c(server.Port());
        TPatternWriter writer{kLarge};
        TPatternReader reader;
        c.Client.OnWrite = [&](TSockCtrl*, TSocketBase* socket) { writer.Push(socket); };
        c.Client.OnRead = [&](TSockCtrl*, TSocketBase* socket) {
            for (qint64 before = -1; before != reader.Received;) {
                before = reader.Received;
                reader.Take(socket, 4096);
            }
        };
        c.Open();
        ASSERT_TRUE(c.WaitForHandshake());
        ASSERT_TRUE(c.Outcomes[0].Ok) << c.Outcomes[0].Error.toStdString();
        ASSERT_TRUE(PumpUntil([&] { return c.Disconnects > 0; }, 60000));
        EXPECT_EQ(writer.Sent, kLarge);
        EXPECT_TRUE(uploadIntact);
        EXPECT_EQ(reader.Received, kLarge);
        EXPECT_EQ(reader.Wrong, 0);
    }
    // An accepted connection (active shape: the server connects to us, we
    // are still TLS's client) whose owner takes only 997 bytes per read
    // notification: the plaintext OpenSSL holds must keep being offered even
    // though the socket itself has nothing more to say.
    {
        TTlsTestServer server(TTestPki::Get().Issue({}));
        constexpr qint64 total = 300000;
        std::atomic<bool> ended{false};
        TBasicServerSocket listener;
        listener.SetAddress(QStringLiteral("127.0.0.1"));
        listener.SetPort(QStringLiteral("0"));
        std::vector<TTlsOutcome> outcomes;
        TPatternReader reader;
        listener.OnAccept = [&](TSockCtrl*, TSocketBase* socket) {
            TTlsOptions options;
            options.HostName = QStringLiteral("127.0.0.1");
            options.OnDone = [&](TSockCtrl*, TSocketBase*, const TTlsOutcome& outcome) {
                outcomes.push_back(outcome);
            };
            static_cast<TStreamSocket*>(socket)->StartTls(options);
        };
        listener.OnRead = [&](TSockCtrl*, TSocketBase* socket) { reader.Take(socket, 997); };
        listener.Listen(SocketClassOf<TStreamSocket>);
        server.ConnectTo(listener.PortNumber(), [&](TServerPeer& peer) {
            if (!peer.Accept())
                return;
            writePattern(peer, total);
            char rest[16];
            ended = peer.Read(rest, sizeof rest) == 0; // stays open until the client closes
        });
        ASSERT_TRUE(PumpUntil([&] { return reader.Received == total; }, 20000)) << reader.Received;
        ASSERT_EQ(outcomes.size(), 1u);
        EXPECT_TRUE(outcomes[0].Ok) << outcomes[0].Error.toStdString();
        EXPECT_TRUE(outcomes[0].Certificate.verified) << "the address is in the certificate";
        EXPECT_EQ(reader.Wrong, 0);
        listener.Close();
        ASSERT_TRUE(PumpUntil([&] { return server.Finished() == 1; }));
        EXPECT_TRUE(ended);
    }
    EXPECT_EQ(ExceptionRecorder::Count(), 0u);
}

TEST(Tls, ARecordArrivingInPiecesIsWaitedForWithoutSpinning)
{
    TTlsTestServer server(TTestPki::Get().Issue({}));
    server.Serve(1, [](TServerPeer& peer) {
        if (!peer.Accept())
            return;
        peer.Write("first");
        peer.WriteSplit(QByteArray(16000, 's'), 300);
        char rest[16];
        peer.Read(rest, sizeof rest);
    });
    TTlsClient<TStreamSocket> c(server.Port());
    int reads = 0;
    qint64 received = 0;
    c.Client.OnRead = [&](TSockCtrl*, TSocketBase* socket) {
        ++reads;
        char buf[32768];
        received += qMax(0, socket->Recv(buf, sizeof buf));
    };
    c.Open();
    ASSERT_TRUE(PumpUntil([&] { return received == 16005; }));
    EXPECT_LE(reads, 6) << "read notifications while half a record waited";
    c.Client.Close();
}

TEST(Tls, DataConnectionsResumeTheControlConnectionsSession)
{
    for (const int version : {TLS1_2_VERSION, TLS1_3_VERSION}) {
        SCOPED_TRACE(version);
        TTlsTestServer server(TTestPki::Get().Issue({}), version);
        const auto greetAndHold = [](TServerPeer& peer) {
            if (!peer.Accept())
                return;
            peer.Write("220 hello\r\n");
            char rest[16];
            peer.Read(rest, sizeof rest);
        };
        server.Serve(2, greetAndHold);
        // The control connection (implicit TLS on a line socket) reads a
        // line: TLS 1.3 grants its sessions only after the handshake.
        TTlsClient<TLineSocket> control(server.Port());
        std::vector<QByteArray> lines;
        control.Open();
        control.Socket()->OnLine = [&](TLineSocketBase*, const QByteArray& line, bool) {
            lines.push_back(line);
        };
        ASSERT_TRUE(PumpUntil([&] { return lines.size() == 1; }));
        ASSERT_TRUE(control.Outcomes.at(0).Ok);
        EXPECT_FALSE(control.Outcomes[0].SessionReused);
        const TTlsSession session = control.Socket()->Tls()->Session();
        ASSERT_TRUE(session);

        // A passive-mode data connection with the control connection's session.
        TTlsClient<TStreamSocket> data(server.Port());
        data.Options.Session = session;
        data.Open();
        ASSERT_TRUE(data.WaitForHandshake());
        const TTlsOutcome& resumed = data.Outcomes[0];
        ASSERT_TRUE(resumed.Ok) << resumed.Error.toStdString();
        EXPECT_TRUE(resumed.SessionReused);
        EXPECT_TRUE(resumed.Certificate.verified) << resumed.Certificate.reason.toStdString();
        EXPECT_EQ(resumed.Certificate.sha256, control.Outcomes[0].Certificate.sha256);
        EXPECT_EQ(resumed.Certificate.protocol, version == TLS1_3_VERSION ? "TLSv1.3" : "TLSv1.2");
        data.Client.Close();

        // An active-mode one: the server connects to us, we are still TLS's client.
        TBasicServerSocket listener;
        listener.SetAddress(QStringLiteral("127.0.0.1"));
        listener.SetPort(QStringLiteral("0"));
        std::vector<TTlsOutcome> accepted;
        listener.OnAccept = [&](TSockCtrl*, TSocketBase* socket) {
            TTlsOptions options = data.Options;
            options.OnDone = [&](TSockCtrl*, TSocketBase*, const TTlsOutcome& outcome) {
                accepted.push_back(outcome);
            };
            static_cast<TStreamSocket*>(socket)->StartTls(options);
        };
        listener.Listen(SocketClassOf<TStreamSocket>);
        server.ConnectTo(listener.PortNumber(), greetAndHold);
        ASSERT_TRUE(PumpUntil([&] { return !accepted.empty(); }));
        EXPECT_TRUE(accepted[0].Ok) << accepted[0].Error.toStdString();
        EXPECT_TRUE(accepted[0].SessionReused);
        listener.Close();

        control.Client.Close();
        ASSERT_TRUE(PumpUntil([&] { return server.Finished() == 3; }));
        const std::vector<bool> reused = server.Reused();
        EXPECT_EQ(std::count(reused.begin(), reused.end(), true), 2) << "the server saw both resumptions";
    }
}

TEST(Tls, VerificationFailuresCompleteTheHandshakeAndSayWhy)
{
    struct Case {
        const char* Name;
        TCertRequest Request;
        const char* Host;
        const char* Reason; // "" = verified
        QList<TCertificateProblem> Problems;
    };
    TCertRequest expired;
    expired.ValidFromDays = -60;
    expired.ValidToDays = -1;
    TCertRequest selfSigned;
    selfSigned.SelfSigned = true;
    TCertRequest other;
    other.CommonName = "ftp.example.org";
    other.AltNames = "DNS:ftp.example.org";
    const Case cases[] = {
        {"trusted, right name", {}, "localhost", "", {}},
        {"trusted, right address", {}, "127.0.0.1", "", {}},
        {"wrong name", other, "localhost", "host name mismatch", {cpNameMismatch}},
        {"wrong address", other, "127.0.0.1", "IP address mismatch", {cpNameMismatch}},
        {"expired", expired, "localhost", "certificate has expired", {cpExpired}},
        {"self-signed", selfSigned, "localhost", "self-signed certificate", {cpSelfSigned}},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.Name);
        const TKeyCert identity = TTestPki::Get().Issue(test.Request);
        TTlsTestServer server(identity);
        server.Serve(1, [](TServerPeer& peer) {
            if (peer.Accept() && peer.Write("hello"))
                peer.Shutdown(); // close_notify and the close, at once after the data
        });
        TTlsClient<TStreamSocket> c(server.Port());
        c.Options.HostName = QString::fromLatin1(test.Host);
        QByteArray received;
        c.Client.OnRead = [&](TSockCtrl*, TSocketBase* socket) {
            char buf[64];
            received.append(buf, qMax(0, socket->Recv(buf, sizeof buf)));
        };
        c.Open();
        ASSERT_TRUE(c.WaitForHandshake());
        const TTlsOutcome& done = c.Outcomes[0];
        ASSERT_TRUE(done.Ok) << done.Error.toStdString();
        EXPECT_EQ(done.Certificate.verified, QByteArray(test.Reason).isEmpty());
        EXPECT_EQ(done.Certificate.reason, QString::fromLatin1(test.Reason));
        EXPECT_EQ(done.Certificate.problems, test.Problems);
        EXPECT_EQ(done.Certificate.sha256, DerSha256(identity.Cert.get()));
        EXPECT_EQ(done.Certificate.FingerprintText().size(), 32 * 3 - 1);
        ASSERT_TRUE(PumpUntil([&] { return received == "hello"; })) << "the connection goes on unverified";
        EXPECT_TRUE(PumpUntil([&] { return c.Disconnects == 1; })) << "the peer's end is seen";
    }
}

TEST(Tls, AFailedHandshakeEndsWithAClearTextNotAHang)
{
    TTestPki::Get();
    struct Case {
        const char* Name;
        TServerScript Script;
        int ClientMinVersion;
        const char* Text;
    };
    const Case cases[] = {
        {"closed in the handshake",
         [](TServerPeer& peer) {
             char hello[64];
             ::recv(peer.Fd(), hello, sizeof hello, 0); // part of the ClientHello, then gone
         },
         0, "The server closed the connection during the TLS handshake"},
        {"answered in plain text",
         [](TServerPeer& peer) {
             char hello[64];
             ::recv(peer.Fd(), hello, sizeof hello, 0);
             peer.PlainSend("500 AUTH not understood\r\n");
             char rest[4096];
             ::recv(peer.Fd(), rest, sizeof rest, 0);
         },
         0, "TLS handshake failed: the server did not answer in TLS ("},
        {"no common protocol", [](TServerPeer& peer) { peer.Accept(); }, TLS1_3_VERSION,
         "TLS handshake failed: the server and this program have no TLS version in common ("},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.Name);
        TTlsTestServer server(TTestPki::Get().Issue({}), TLS1_2_VERSION);
        server.Serve(1, test.Script);
        TTlsClient<TStreamSocket> c(server.Port());
        c.Options.MinVersion = test.ClientMinVersion;
        int reads = 0;
        c.Client.OnRead = [&](TSockCtrl*, TSocketBase*) { ++reads; };
        c.Open();
        ASSERT_TRUE(c.WaitForHandshake());
        const TTlsOutcome& done = c.Outcomes[0];
        EXPECT_FALSE(done.Ok);
        EXPECT_TRUE(done.Error.startsWith(QString::fromLatin1(test.Text))) << done.Error.toStdString();
        if (QByteArray(test.Text).endsWith("("))
            EXPECT_GT(done.Error.size(), qsizetype(strlen(test.Text))) << "a reason follows";
        EXPECT_EQ(reads, 0) << "the handshake's bytes are not the owner's";
        EXPECT_THROW(c.Socket()->Recv(nullptr, 0), ESockError) << "a failed channel carries nothing";
        c.Client.Close();
        PumpFor(20);
        EXPECT_EQ(c.Outcomes.size(), 1u);
    }
}

TEST(Tls, HandlersMayDestroyTheComponentInsideTlsEvents)
{
    const TKeyCert identity = TTestPki::Get().Issue({});
    QByteArray manyLines;
    for (int i = 0; i < 50; ++i)
        manyLines += "200 line " + QByteArray::number(i) + "\r\n";
    // Inside OnLine, with more lines and records waiting inside OpenSSL.
    {
        TTlsTestServer server(identity);
        server.Serve(1, [&](TServerPeer& peer) {
            if (!peer.Accept())
                return;
            peer.Write(manyLines + QByteArray(40000, 'x') + "\r\n");
            char rest[16];
            peer.Read(rest, sizeof rest);
        });
        auto c = std::make_unique<TTlsClient<TLineSocket>>(server.Port());
        int lines = 0;
        c->Open();
        c->Socket()->SetReadBufferSize(65536);
        c->Socket()->OnLine = [&](TLineSocketBase*, const QByteArray&, bool) {
            if (++lines == 3)
                c.reset();
        };
        ASSERT_TRUE(PumpUntil([&] { return !c; }));
        PumpFor(50);
        EXPECT_EQ(lines, 3) << "a destroyed socket delivers nothing more";
    }
    // Inside the handshake's OnDone, and inside a stream socket's OnRead.
    for (const bool inDone : {true, false}) {
        SCOPED_TRACE(inDone);
        TTlsTestServer server(identity);
        server.Serve(1, [&](TServerPeer& peer) {
            if (peer.Accept())
                peer.Write(manyLines);
        });
        auto c = std::make_unique<TTlsClient<TStreamSocket>>(server.Port());
        int reads = 0;
        c->Options.OnDone = [&](TSockCtrl*, TSocketBase*, const TTlsOutcome&) {
            if (inDone)
                c.reset();
        };
        c->Client.OnRead = [&](TSockCtrl*, TSocketBase* socket) {
            ++reads;
            char buf[10];
            socket->Recv(buf, sizeof buf);
            c.reset();
        };
        c->Open();
        ASSERT_TRUE(PumpUntil([&] { return !c; }));
        PumpFor(50);
        EXPECT_EQ(reads, inDone ? 0 : 1);
        ASSERT_TRUE(PumpUntil([&] { return server.Finished() == 1; }));
    }
    EXPECT_EQ(ExceptionRecorder::Count(), 0u);
}

// vsftpd refuses a data connection that does not resume the control
// connection's session (require_ssl_reuse, its default), in TLS 1.2 and 1.3.
TEST(Tls, VsftpdTakesDataConnectionsThatResumeTheControlSession)
{
    if (const QString why = VsftpdServer::Unavailable(); !why.isEmpty())
        GTEST_SKIP() << why.toStdString();
    QTemporaryDir dir;
    const TKeyCert identity = TTestPki::Get().Issue({});
    const QString pem = dir.filePath(QStringLiteral("server.pem"));
    FILE* out = fopen(pem.toLocal8Bit().constData(), "w");
    PEM_write_X509(out, identity.Cert.get());
    PEM_write_PrivateKey(out, identity.Key.get(), nullptr, nullptr, 0, nullptr, nullptr);
    fclose(out);
    VsftpdServer vsftpd(FtpServerMode::ReadOnly);
    vsftpd.EnableTls(pem);
    QString error;
    ASSERT_TRUE(vsftpd.Start(&error)) << error.toStdString();
    ASSERT_TRUE(vsftpd.PutFile(QStringLiteral("listed.txt"), "x"));
    const quint16 port = vsftpd.Port();

    for (const int version : {TLS1_2_VERSION, TLS1_3_VERSION}) {
        SCOPED_TRACE(version);
        TTlsClient<TLineSocket> control(port);
        control.StartOnConnect = false;
        control.Options.MaxVersion = version;
        std::vector<QByteArray> replies;
        control.Open();
        control.Socket()->OnLine = [&](TLineSocketBase*, const QByteArray& line, bool) {
            if (line.size() > 3 && line[3] == ' ')
                replies.push_back(line);
        };
        const auto command = [&](const QByteArray& text) -> QByteArray {
            const std::size_t before = replies.size();
            if (!text.isEmpty())
                control.Socket()->WriteLine(text);
            if (!PumpUntil([&] { return replies.size() > before; }))
                return "(no reply to " + text + ")";
            return replies.back();
        };
        ASSERT_TRUE(command({}).startsWith("220"));
        ASSERT_TRUE(command("AUTH TLS").startsWith("234"));
        control.Socket()->StartTls(control.Options);
        ASSERT_TRUE(control.WaitForHandshake());
        ASSERT_TRUE(control.Outcomes[0].Ok) << control.Outcomes[0].Error.toStdString();
        EXPECT_TRUE(control.Outcomes[0].Certificate.verified);
        ASSERT_TRUE(command("USER anonymous").startsWith("331"));
        ASSERT_TRUE(command("PASS kvado@").startsWith("230"));
        ASSERT_TRUE(command("PBSZ 0").startsWith("200"));
        ASSERT_TRUE(command("PROT P").startsWith("200"));
        // Every listing needs a data connection that resumes the session.
        for (int listing = 0; listing < 2; ++listing) {
            SCOPED_TRACE(listing);
            const QByteArray pasv = command("PASV");
            const QList<QByteArray> numbers =
                pasv.mid(pasv.indexOf('(') + 1, pasv.indexOf(')') - pasv.indexOf('(') - 1).split(',');
            ASSERT_GE(numbers.size(), 6) << pasv.toStdString();
            TTlsClient<TStreamSocket> data{quint16(numbers[4].toInt() * 256 + numbers[5].toInt())};
            data.Options.Session = control.Socket()->Tls()->Session();
            data.Options.MaxVersion = version;
            QByteArray names;
            data.Client.OnRead = [&](TSockCtrl*, TSocketBase* socket) {
                char buf[4096];
                names.append(buf, qMax(0, socket->Recv(buf, sizeof buf)));
            };
            data.Open();
            const QByteArray started = command("NLST");
            ASSERT_TRUE(data.WaitForHandshake());
            ASSERT_TRUE(data.Outcomes[0].Ok) << data.Outcomes[0].Error.toStdString();
            EXPECT_TRUE(data.Outcomes[0].SessionReused);
            EXPECT_TRUE(started.startsWith("150")) << started.toStdString();
            EXPECT_TRUE(PumpUntil([&] { return data.Disconnects > 0; }));
            EXPECT_EQ(names, QByteArray("listed.txt\r\n"));
            EXPECT_TRUE(PumpUntil([&] { return replies.back().startsWith("226"); }))
                << replies.back().toStdString();
        }
        command("QUIT");
        control.Client.Close();
    }
}

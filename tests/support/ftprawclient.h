#pragma once
// A plain blocking FTP client over POSIX sockets for tests: proves the server
// fixtures, prepares or checks server state, and captures real listings. Every
// call has a time-out; nothing here runs the Qt event loop.
//
//   FtpRawClient client;
//   ASSERT_TRUE(client.Connect(server.Port()));
//   EXPECT_EQ(FtpRawClient::Code(client.ReadReply()), 220);
//   EXPECT_EQ(FtpRawClient::Code(client.Command("USER anonymous")), 331);
//   QByteArray listing = client.List();      // PORT + LIST over an active data connection
#include <QByteArray>
#include <QByteArrayList>

class FtpRawClient {
public:
    static constexpr int kTimeoutMs = 5000;

    FtpRawClient() = default;
    ~FtpRawClient();
    FtpRawClient(const FtpRawClient&) = delete;
    FtpRawClient& operator=(const FtpRawClient&) = delete;

    bool Connect(quint16 port, const char* address = "127.0.0.1");
    // The lines of one complete reply (a multi-line reply up to its "ddd " line),
    // each without its line end; empty on time-out or when the server closed.
    QByteArrayList ReadReply(int timeoutMs = kTimeoutMs);
    // Sends line + CR LF and reads the reply.
    QByteArrayList Command(const QByteArray& line, int timeoutMs = kTimeoutMs);
    bool SendRaw(const QByteArray& bytes);
    // Reads the greeting and logs in; true on 230.
    bool Login(const QByteArray& user = "anonymous", const QByteArray& password = "test@kvado");
    // PORT to a listening socket of this client, then the command (LIST by
    // default), the data received until the server closes, and the final reply.
    // Null on any failure; `reply` receives the final reply lines.
    QByteArray List(const QByteArray& command = "LIST", QByteArrayList* reply = nullptr);
    // True when the server has closed the control connection (waits up to timeoutMs).
    bool WaitClosed(int timeoutMs = kTimeoutMs);

    // The code of a reply's last line (0 when there is none).
    static int Code(const QByteArrayList& reply);

private:
    bool readLine(QByteArray& line, int timeoutMs);

    int m_fd = -1;
    QByteArray m_buffer;
};

// A listening data socket on a loopback address, port chosen by the system, for active-mode tests.
class FtpDataListener {
public:
    explicit FtpDataListener(const char* address = "127.0.0.1");
    ~FtpDataListener();
    FtpDataListener(const FtpDataListener&) = delete;
    FtpDataListener& operator=(const FtpDataListener&) = delete;

    bool IsListening() const { return m_listenFd >= 0; }
    // The PORT argument for this socket: "h1,h2,h3,h4,p1,p2".
    QByteArray PortArgument() const;
    // Accepts one connection (waits up to timeoutMs); false when none came.
    bool Accept(int timeoutMs = FtpRawClient::kTimeoutMs);
    // The address the accepted connection came from, as dotted text.
    QByteArray PeerAddress() const { return m_peer; }
    // Reads the accepted connection until the server closes it; null on time-out.
    QByteArray ReceiveAll(int timeoutMs = FtpRawClient::kTimeoutMs);
    // Sends bytes on the accepted connection and closes it.
    bool SendAndClose(const QByteArray& bytes);

private:
    int m_listenFd = -1;
    int m_dataFd = -1;
    QByteArray m_address;
    quint16 m_port = 0;
    QByteArray m_peer;
};

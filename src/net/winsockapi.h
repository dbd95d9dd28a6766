#pragma once
// tWinsockAPI: the binding of the socket library to the operating system, and
// the texts of socket errors.
//
// Contract:
// - The binding calls the POSIX socket interface directly; every socket it
//   creates is non-blocking and close-on-exec. A failed call returns -1 (or 0
//   for the lookup requests) and leaves the Windows Sockets number of the
//   error in WSAGetLastError(): errno is translated by WsaErrorFromErrno, so
//   LastError values and their texts are the Windows Sockets ones.
// - There is one process-wide object, reached through WinsockAPI(); it is
//   created on first need and destroyed by StopWinsock. The first call of any
//   bound function marks the library "loaded"; from then on the library name
//   can no longer be changed.
// - StartWinsock runs when the first socket component is created, StopWinsock
//   after the last one is destroyed (and once more when the application ends).
//   Neither fires an event; StartWinsock raises ESockError on failure. The
//   start-up makes the selection layer the dispatcher's notice gate; the
//   clean-up drops the notifications the dispatcher holds back.
// - recv, recvfrom, send, sendto, accept, connect and listen also drive the
//   notification rules of WSAAsyncSelect (see asyncselect.h): receiving
//   re-enables FD_READ, a send that would block re-enables FD_WRITE, accepting
//   re-enables FD_ACCEPT, connect and listen tell the selection what the
//   socket has become. Callers need do nothing more than call them.
// - sendfile(s, fd, offset, count) sends up to count bytes of the file fd
//   from offset straight from the kernel's page cache (no copy through the
//   program; the file's own position stays), and drives FD_WRITE like send.
//   It returns the count sent (0 at the file's end), -1 with the socket's
//   error in WSAGetLastError (would-block too), or FileNotSendable when the
//   system cannot send from that file (no support for it, or reading it
//   failed): then nothing was sent and the caller reads the file itself.
// - closesocket ends the socket's selection first: no notification for the
//   closed handle is delivered afterwards, even if it was already posted.
#include "net/sockerror.h"
#include "net/sockmessage.h"

#include <QString>
#include <QtGlobal>

#include <netinet/in.h>
#include <sys/socket.h>

// glibc may define these as macros; the binding has members of the same names.
#undef htons
#undef ntohs

class TSockWindow;

// Windows Sockets error numbers the library itself needs by name.
enum : int {
    WSAEINTR = 10004,
    WSAEINVAL = 10022,
    WSAEWOULDBLOCK = 10035,
    WSAEISCONN = 10056,
    WSAETIMEDOUT = 10060,
    WSAECONNREFUSED = 10061,
    WSANOTINITIALISED = 10093,
    WSAHOST_NOT_FOUND = 11001,
    WSATRY_AGAIN = 11002,
    WSANO_RECOVERY = 11003,
    WSANO_DATA = 11004,
};

// Ids of the library's own messages (their texts are SocketErrorText(id)).
enum : int {
    sockErrFindingAddress = 20001,
    sockErrGetHostByAddr = 20002,
    sockErrGetHostByName = 20003,
    sockErrGetServByName = 20004,
    sockErrGetServByPort = 20005,
    sockErrFindingHost = 20006,
    sockErrBinding = 20007,
    sockErrConnecting = 20008,
    sockErrCreating = 20009,
    sockErrGetPeerName = 20010,
    sockErrGetSockName = 20011,
    sockErrBytesInBuffer = 20012,
    sockErrListening = 20013,
    sockErrReceiving = 20014,
    sockErrSending = 20015,
    sockErrStartingUp = 20016,
    sockErrNoAddress = 20017,
    sockErrNotOpen = 20018,
    sockErrReverseZero = 20019,
    sockErrAlreadyOpened = 20020,
    sockErrDatagramTooBig = 20021,
    sockErrDllLoaded = 20022,
    sockErrStreamType = 20023,
    sockErrDatagramType = 20024,
    sockErrPeeking = 20025,
    sockErrNoSocketClass = 20026,
};

// Kinds of the asynchronous lookup requests.
enum class TLookupKind { HostByName, HostByAddr, ServByName, ServByPort };

class tWinsockAPI {
public:
    tWinsockAPI() = default;
    ~tWinsockAPI() = default;
    tWinsockAPI(const tWinsockAPI&) = delete;
    tWinsockAPI& operator=(const tWinsockAPI&) = delete;

    // The name of the socket library. Stored and reported; the
    // POSIX binding never loads it. Setting it once the library is loaded
    // raises ESockError "Winsock DLL Already Loaded, Cannot change name".
    QString LibraryName() const { return m_libraryName; }
    void SetLibraryName(const QString& name);
    bool Loaded() const { return m_loaded; }

    bool Started() const { return m_started; }
    quint16 MaxSockets() const { return m_maxSockets; }
    quint16 MaxUdpDg() const { return m_maxUdpDg; }
    quint16 Version() const { return m_version; }
    quint16 HighVersion() const { return m_highVersion; }
    QString Description() const { return m_description; }
    QString SystemStatus() const { return m_systemStatus; }

    // The bound operations. Results and errors follow Windows Sockets 1.1.
    int accept(int s, sockaddr* addr, int* addrlen);
    int bind(int s, const sockaddr* addr, int namelen);
    int closesocket(int s);
    int connect(int s, const sockaddr* name, int namelen);
    int ioctlsocket(int s, unsigned long cmd, quint32* argp); // FIONREAD, FIONBIO
    int getsockname(int s, sockaddr* name, int* namelen);
    quint16 htons(quint16 hostshort);
    quint32 inet_addr(const QString& cp); // INADDR_NONE when the text is no dotted address
    QString inet_ntoa(quint32 addr);      // addr in network byte order
    int listen(int s, int backlog);
    quint16 ntohs(quint16 netshort);
    // A datagram longer than len fails with 10040 (its first len bytes are in
    // buf, the rest is lost), as Windows Sockets reports it.
    int recv(int s, void* buf, int len, int flags);
    int recvfrom(int s, void* buf, int len, int flags, sockaddr* from, int* fromlen);
    int send(int s, const void* buf, int len, int flags);
    int sendto(int s, const void* buf, int len, int flags, const sockaddr* to, int tolen);
    static constexpr int FileNotSendable = -2;
    int sendfile(int s, int fd, qint64 offset, int count);
    int socket(int af, int type, int protocol);
    int gethostname(char* name, int namelen);
    int WSAStartup(quint16 versionRequested);
    int WSACleanup();
    int WSAGetLastError() const { return m_lastError; }
    void WSASetLastError(int error) { m_lastError = error; }
    bool WSAIsBlocking();
    int WSACancelBlockingCall();
    // Lookups run on a worker thread; the answer arrives as message msg at
    // window (first parameter: the task handle; second: low word the result
    // length, high word the error). 0 = the request could not be started.
    quint32 WSAAsyncGetHostByName(TSockWindow* window, int msg, const QString& name);
    quint32 WSAAsyncGetHostByAddr(TSockWindow* window, int msg, quint32 addr);
    quint32 WSAAsyncGetServByName(TSockWindow* window, int msg, const QString& name, const QString& proto);
    quint32 WSAAsyncGetServByPort(TSockWindow* window, int msg, quint16 port, const QString& proto);
    int WSACancelAsyncRequest(quint32 task);
    int WSAAsyncSelect(int s, TSockWindow* window, int msg, long event);

private:
    void Bind() { m_loaded = true; }
    int Fail(); // records errno as the last error, returns -1
    // recv and recvfrom: one recvmsg, reported to the socket's selection.
    int Receive(int s, void* buf, int len, int flags, sockaddr* from, int* fromlen);
    quint32 StartLookup(TLookupKind kind, TSockWindow* window, int msg, const QString& text, quint32 number,
                        const QString& proto);

    QString m_libraryName;
    bool m_loaded = false;
    bool m_started = false;
    quint16 m_maxSockets = 0;
    quint16 m_maxUdpDg = 0;
    quint16 m_version = 0;
    quint16 m_highVersion = 0;
    QString m_description;
    QString m_systemStatus;
    quint32 m_vendorInfo = 0;
    int m_lastError = 0;
};

// The process-wide binding object, created on demand.
tWinsockAPI& WinsockAPI();

// Creates the binding object if there is none; true after a successful start-up.
bool WinsockStarted();
// Starts the library (once); raises "Error %d (%s) starting up WinSock" on failure.
void StartWinsock();
// Cleans up, drops held notifications, counts waits out and forgets the binding object.
void StopWinsock();

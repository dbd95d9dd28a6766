#include "net/winsockapi.h"

#include "net/asyncselect.h"
#include "net/resolver.h"
#include "net/sockdispatcher.h"
#include "net/sockerror.h"

#include <QCoreApplication>

#include <cerrno>
#include <cstring>
#include <memory>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/sendfile.h>
#include <sys/uio.h>
#include <unistd.h>

namespace {

std::unique_ptr<tWinsockAPI>& binding()
{
    static std::unique_ptr<tWinsockAPI> instance;
    return instance;
}

socklen_t length(const int* len)
{
    return len ? socklen_t(*len) : 0;
}

} // namespace

tWinsockAPI& WinsockAPI()
{
    if (!binding())
        binding() = std::make_unique<tWinsockAPI>();
    return *binding();
}

bool WinsockStarted()
{
    return WinsockAPI().Started();
}

void StartWinsock()
{
    if (WinsockStarted())
        return;
    SockDispatcher().Reset();
    SockDispatcher().SetNoticeGate({&TAsyncSelect::Admit, &TAsyncSelect::Dropped});
    static bool finalisationRegistered = false;
    if (!finalisationRegistered) {
        qAddPostRoutine(StopWinsock);
        finalisationRegistered = true;
    }
    const int result = WinsockAPI().WSAStartup(257);
    if (result != 0)
        RaiseSocketError(result, sockErrStartingUp);
}

void StopWinsock()
{
    if (binding() && binding()->Started()) {
        if (binding()->WSAIsBlocking())
            binding()->WSACancelBlockingCall();
        binding()->WSACleanup();
    }
    TAsyncSelect::CancelAll();
    TResolver::CancelAll();
    SockDispatcher().Reset();
    // The POSIX binding loads no library, so no pause is needed before
    // forgetting it (a pause would stall the UI thread).
    binding().reset();
}

void tWinsockAPI::SetLibraryName(const QString& name)
{
    if (m_loaded)
        RaiseSocketError(0, sockErrDllLoaded);
    if (!m_libraryName.isEmpty() && m_libraryName.compare(name, Qt::CaseInsensitive) == 0)
        return;
    m_libraryName.clear();
    if (name.isEmpty())
        return;
    const bool hasExtension = name.lastIndexOf(QLatin1Char('.')) > name.lastIndexOf(QLatin1Char('/'));
    m_libraryName = hasExtension ? name : name + QLatin1String(".DLL");
}

int tWinsockAPI::Fail()
{
    m_lastError = WsaErrorFromErrno(errno);
    return -1;
}

int tWinsockAPI::accept(int s, sockaddr* addr, int* addrlen)
{
    Bind();
    socklen_t len = length(addrlen);
    const int handle = ::accept4(s, addr, addr ? &len : nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    const int saved = errno;
    TAsyncSelect::AfterAccept(s);
    if (handle < 0) {
        errno = saved;
        return Fail();
    }
    if (addrlen)
        *addrlen = int(len);
    return handle;
}

int tWinsockAPI::bind(int s, const sockaddr* addr, int namelen)
{
    Bind();
    return ::bind(s, addr, socklen_t(namelen)) == 0 ? 0 : Fail();
}

int tWinsockAPI::closesocket(int s)
{
    Bind();
    TAsyncSelect::Cancel(s);
    return ::close(s) == 0 ? 0 : Fail();
}

int tWinsockAPI::connect(int s, const sockaddr* name, int namelen)
{
    Bind();
    const int rc = ::connect(s, name, socklen_t(namelen));
    const int error = rc == 0 ? 0 : errno;
    switch (error) {
    case 0:
    case EINPROGRESS:
    case ECONNREFUSED:
    case ENETUNREACH:
    case EHOSTUNREACH:
    case ETIMEDOUT: {
        // A stream connect always completes through FD_CONNECT, as with
        // Windows Sockets; a datagram connect is done at once.
        int type = 0;
        socklen_t typeLength = sizeof type;
        ::getsockopt(s, SOL_SOCKET, SO_TYPE, &type, &typeLength);
        if (type == SOCK_STREAM) {
            TAsyncSelect::ConnectStarted(s, error);
            m_lastError = WSAEWOULDBLOCK;
            return -1;
        }
        break;
    }
    default:
        break;
    }
    if (rc == 0)
        return 0;
    // Linux says EAGAIN when no local port is left: an error, not a connect
    // in progress (10035 would wait for an FD_CONNECT that never comes).
    errno = error == EAGAIN ? EADDRNOTAVAIL : error;
    return Fail();
}

int tWinsockAPI::ioctlsocket(int s, unsigned long cmd, quint32* argp)
{
    Bind();
    if (!argp) {
        m_lastError = 10014;
        return -1;
    }
    if (cmd == FIONBIO) {
        const int flags = ::fcntl(s, F_GETFL);
        if (flags < 0)
            return Fail();
        return ::fcntl(s, F_SETFL, *argp ? flags | O_NONBLOCK : flags & ~O_NONBLOCK) == 0 ? 0 : Fail();
    }
    if (cmd != FIONREAD) {
        m_lastError = WSAEINVAL;
        return -1;
    }
    int count = 0;
    if (::ioctl(s, FIONREAD, &count) != 0)
        return Fail();
    *argp = quint32(count);
    return 0;
}

int tWinsockAPI::getsockname(int s, sockaddr* name, int* namelen)
{
    Bind();
    socklen_t len = length(namelen);
    if (::getsockname(s, name, &len) != 0)
        return Fail();
    *namelen = int(len);
    return 0;
}

quint16 tWinsockAPI::htons(quint16 hostshort)
{
    Bind();
    return ::htons(hostshort);
}

quint16 tWinsockAPI::ntohs(quint16 netshort)
{
    Bind();
    return ::ntohs(netshort);
}

quint32 tWinsockAPI::inet_addr(const QString& cp)
{
    Bind();
    in_addr address{};
    const QByteArray text = cp.toLatin1();
    if (cp.isEmpty() || text.contains(' ') || ::inet_aton(text.constData(), &address) == 0)
        return INADDR_NONE;
    return address.s_addr;
}

QString tWinsockAPI::inet_ntoa(quint32 addr)
{
    Bind();
    char text[INET_ADDRSTRLEN];
    in_addr address{};
    address.s_addr = addr;
    return QString::fromLatin1(::inet_ntop(AF_INET, &address, text, sizeof text));
}

int tWinsockAPI::listen(int s, int backlog)
{
    Bind();
    if (::listen(s, backlog) != 0)
        return Fail();
    TAsyncSelect::Listening(s);
    return 0;
}

int tWinsockAPI::Receive(int s, void* buf, int len, int flags, sockaddr* from, int* fromlen)
{
    Bind();
    iovec part{buf, size_t(qMax(len, 0))};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))];
    msghdr message{};
    message.msg_name = from;
    message.msg_namelen = from ? length(fromlen) : 0;
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    const ssize_t n = ::recvmsg(s, &message, flags);
    const int saved = errno;
    // A TCP socket with TCP_INQ on says how much it still holds; otherwise a
    // receive that filled its buffer may have left more (-1: ask), a short one
    // emptied the socket.
    int left = -1;
    for (cmsghdr* item = n >= 0 ? CMSG_FIRSTHDR(&message) : nullptr; item; item = CMSG_NXTHDR(&message, item))
        if (item->cmsg_level == SOL_TCP && item->cmsg_type == TCP_CM_INQ)
            std::memcpy(&left, CMSG_DATA(item), sizeof left);
    if (left < 0 && !(len > 0 && n == len))
        left = 0;
    TAsyncSelect::AfterRecv(s, n, left);
    if (n < 0) {
        errno = saved;
        return Fail();
    }
    if (message.msg_flags & MSG_TRUNC) {
        errno = EMSGSIZE;
        return Fail();
    }
    if (from && fromlen)
        *fromlen = int(message.msg_namelen);
    return int(n);
}

int tWinsockAPI::recv(int s, void* buf, int len, int flags)
{
    return Receive(s, buf, len, flags, nullptr, nullptr);
}

int tWinsockAPI::recvfrom(int s, void* buf, int len, int flags, sockaddr* from, int* fromlen)
{
    return Receive(s, buf, len, flags, from, fromlen);
}

int tWinsockAPI::send(int s, const void* buf, int len, int flags)
{
    Bind();
    const ssize_t n = ::send(s, buf, size_t(qMax(len, 0)), flags | MSG_NOSIGNAL);
    const int saved = errno;
    TAsyncSelect::AfterSend(s, n < 0 && (saved == EAGAIN || saved == EWOULDBLOCK));
    errno = saved;
    return n < 0 ? Fail() : int(n);
}

int tWinsockAPI::sendfile(int s, int fd, qint64 offset, int count)
{
    Bind();
    off_t from = offset;
    const ssize_t n = ::sendfile(s, fd, &from, size_t(qMax(count, 0)));
    const int saved = errno;
    TAsyncSelect::AfterSend(s, n < 0 && (saved == EAGAIN || saved == EWOULDBLOCK));
    if (n >= 0)
        return int(n);
    switch (saved) { // the socket's own failures; any other is the file's
    case EAGAIN:
    case EINTR:
    case EPIPE:
    case ECONNRESET:
    case ECONNABORTED:
    case ENOTCONN:
    case ETIMEDOUT:
    case ENETDOWN:
    case ENETUNREACH:
    case EHOSTUNREACH:
        errno = saved;
        return Fail();
    default:
        return FileNotSendable;
    }
}

int tWinsockAPI::sendto(int s, const void* buf, int len, int flags, const sockaddr* to, int tolen)
{
    Bind();
    const ssize_t n = ::sendto(s, buf, size_t(qMax(len, 0)), flags | MSG_NOSIGNAL, to, socklen_t(tolen));
    const int saved = errno;
    TAsyncSelect::AfterSend(s, n < 0 && (saved == EAGAIN || saved == EWOULDBLOCK));
    errno = saved;
    return n < 0 ? Fail() : int(n);
}

int tWinsockAPI::socket(int af, int type, int protocol)
{
    Bind();
    const int handle = ::socket(af, type | SOCK_NONBLOCK | SOCK_CLOEXEC, protocol);
    return handle < 0 ? Fail() : handle;
}

int tWinsockAPI::gethostname(char* name, int namelen)
{
    Bind();
    if (::gethostname(name, size_t(namelen)) != 0)
        return Fail();
    return 0;
}

int tWinsockAPI::WSAStartup(quint16 versionRequested)
{
    Bind();
    int result = 0;
    if ((versionRequested & 0xFF) < 1) {
        result = 10092;
    } else {
        rlimit files{};
        ::getrlimit(RLIMIT_NOFILE, &files);
        m_maxSockets = quint16(qMin<rlim_t>(files.rlim_cur, 0xFFFF));
        m_maxUdpDg = 65507; // largest IPv4 UDP payload
        m_version = 257;
        m_highVersion = 257;
        m_description = QStringLiteral("Kvado sockets over POSIX");
        m_systemStatus = QStringLiteral("Running");
        m_vendorInfo = 0;
    }
    m_started = result == 0;
    return result;
}

int tWinsockAPI::WSACleanup()
{
    Bind();
    m_started = false;
    return 0;
}

bool tWinsockAPI::WSAIsBlocking()
{
    Bind();
    return false; // the binding never blocks
}

int tWinsockAPI::WSACancelBlockingCall()
{
    Bind();
    return 0;
}

quint32 tWinsockAPI::StartLookup(TLookupKind kind, TSockWindow* window, int msg, const QString& text,
                                 quint32 number, const QString& proto)
{
    Bind();
    if (!window) {
        m_lastError = WSAEINVAL;
        return 0;
    }
    return TResolver::Start(kind, window, msg, text, number, proto);
}

quint32 tWinsockAPI::WSAAsyncGetHostByName(TSockWindow* window, int msg, const QString& name)
{
    return StartLookup(TLookupKind::HostByName, window, msg, name, 0, {});
}

quint32 tWinsockAPI::WSAAsyncGetHostByAddr(TSockWindow* window, int msg, quint32 addr)
{
    return StartLookup(TLookupKind::HostByAddr, window, msg, {}, addr, {});
}

quint32 tWinsockAPI::WSAAsyncGetServByName(TSockWindow* window, int msg, const QString& name,
                                           const QString& proto)
{
    return StartLookup(TLookupKind::ServByName, window, msg, name, 0, proto);
}

quint32 tWinsockAPI::WSAAsyncGetServByPort(TSockWindow* window, int msg, quint16 port, const QString& proto)
{
    return StartLookup(TLookupKind::ServByPort, window, msg, {}, port, proto);
}

int tWinsockAPI::WSACancelAsyncRequest(quint32 task)
{
    Bind();
    TResolver::Cancel(task);
    return 0;
}

int tWinsockAPI::WSAAsyncSelect(int s, TSockWindow* window, int msg, long event)
{
    Bind();
    if (s < 0 || (event && !window)) {
        m_lastError = s < 0 ? 10038 : WSAEINVAL;
        return -1;
    }
    TAsyncSelect::Select(s, window, msg, event);
    return 0;
}

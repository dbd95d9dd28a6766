#include "support/ftprawclient.h"

#include <QDeadlineTimer>

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
bool waitReadable(int fd, const QDeadlineTimer& deadline)
{
    for (;;) {
        pollfd entry{fd, POLLIN, 0};
        const int result = ::poll(&entry, 1, int(qMax<qint64>(0, deadline.remainingTime())));
        if (result >= 0 || errno != EINTR)
            return result > 0;
    }
}

bool sendAll(int fd, const QByteArray& bytes)
{
    qsizetype sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.constData() + sent, size_t(bytes.size() - sent), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        sent += n;
    }
    return true;
}

void closeFd(int& fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

bool isFinalLine(const QByteArray& line, const QByteArray& code)
{
    return line.size() >= 4 && line.startsWith(code) && line[3] == ' ';
}
} // namespace

FtpRawClient::~FtpRawClient()
{
    closeFd(m_fd);
}

bool FtpRawClient::Connect(quint16 port, const char* address)
{
    closeFd(m_fd);
    m_buffer.clear();
    m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(port);
    if (m_fd < 0 || ::inet_pton(AF_INET, address, &peer.sin_addr) != 1 ||
        ::connect(m_fd, reinterpret_cast<const sockaddr*>(&peer), sizeof peer) != 0) {
        closeFd(m_fd);
        return false;
    }
    return true;
}

bool FtpRawClient::readLine(QByteArray& line, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        const qsizetype feed = m_buffer.indexOf('\n');
        if (feed >= 0) {
            line = m_buffer.left(feed);
            m_buffer.remove(0, feed + 1);
            if (line.endsWith('\r'))
                line.chop(1);
            return true;
        }
        if (m_fd < 0 || !waitReadable(m_fd, deadline))
            return false;
        char chunk[4096];
        const ssize_t n = ::recv(m_fd, chunk, sizeof chunk, 0);
        if (n <= 0)
            return false;
        m_buffer.append(chunk, n);
    }
}

QByteArrayList FtpRawClient::ReadReply(int timeoutMs)
{
    QByteArrayList lines;
    QByteArray line;
    if (!readLine(line, timeoutMs))
        return lines;
    lines.append(line);
    if (line.size() < 4 || line[3] != '-')
        return lines;
    const QByteArray code = line.left(3);
    while (readLine(line, timeoutMs)) {
        lines.append(line);
        if (isFinalLine(line, code))
            return lines;
    }
    return {};
}

bool FtpRawClient::SendRaw(const QByteArray& bytes)
{
    return m_fd >= 0 && sendAll(m_fd, bytes);
}

QByteArrayList FtpRawClient::Command(const QByteArray& line, int timeoutMs)
{
    if (!SendRaw(line + "\r\n"))
        return {};
    return ReadReply(timeoutMs);
}

bool FtpRawClient::Login(const QByteArray& user, const QByteArray& password)
{
    if (Code(ReadReply()) != 220)
        return false;
    const int code = Code(Command("USER " + user));
    if (code == 230)
        return true;
    return code == 331 && Code(Command("PASS " + password)) == 230;
}

QByteArray FtpRawClient::List(const QByteArray& command, QByteArrayList* reply)
{
    FtpDataListener listener;
    if (!listener.IsListening() || Code(Command("PORT " + listener.PortArgument())) != 200)
        return {};
    const int preliminary = Code(Command(command));
    if (preliminary != 150 && preliminary != 125)
        return {};
    if (!listener.Accept())
        return {};
    QByteArray data = listener.ReceiveAll();
    const QByteArrayList finalReply = ReadReply();
    if (reply)
        *reply = finalReply;
    if (Code(finalReply) != 226)
        return {};
    return data.isNull() ? QByteArray("") : data;
}

bool FtpRawClient::WaitClosed(int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (m_fd >= 0 && waitReadable(m_fd, deadline)) {
        char chunk[4096];
        const ssize_t n = ::recv(m_fd, chunk, sizeof chunk, 0);
        if (n <= 0)
            return true;
        m_buffer.append(chunk, n);
    }
    return false;
}

int FtpRawClient::Code(const QByteArrayList& reply)
{
    if (reply.isEmpty() || reply.last().size() < 3)
        return 0;
    return reply.last().left(3).toInt();
}

FtpDataListener::FtpDataListener(const char* address) : m_address(address)
{
    m_listenFd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    socklen_t length = sizeof local;
    if (m_listenFd < 0 || ::inet_pton(AF_INET, address, &local.sin_addr) != 1 ||
        ::bind(m_listenFd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
        ::listen(m_listenFd, 4) != 0 ||
        ::getsockname(m_listenFd, reinterpret_cast<sockaddr*>(&local), &length) != 0) {
        closeFd(m_listenFd);
        return;
    }
    m_port = ntohs(local.sin_port);
}

FtpDataListener::~FtpDataListener()
{
    closeFd(m_dataFd);
    closeFd(m_listenFd);
}

QByteArray FtpDataListener::PortArgument() const
{
    QByteArray argument = m_address;
    argument.replace('.', ',');
    return argument + ',' + QByteArray::number(m_port / 256) + ',' + QByteArray::number(m_port % 256);
}

bool FtpDataListener::Accept(int timeoutMs)
{
    if (m_listenFd < 0 || !waitReadable(m_listenFd, QDeadlineTimer(timeoutMs)))
        return false;
    sockaddr_in peer{};
    socklen_t length = sizeof peer;
    closeFd(m_dataFd);
    m_dataFd = ::accept(m_listenFd, reinterpret_cast<sockaddr*>(&peer), &length);
    if (m_dataFd < 0)
        return false;
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &peer.sin_addr, text, sizeof text);
    m_peer = text;
    return true;
}

QByteArray FtpDataListener::ReceiveAll(int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    QByteArray data("");
    while (m_dataFd >= 0) {
        if (!waitReadable(m_dataFd, deadline))
            return {};
        char chunk[65536];
        const ssize_t n = ::recv(m_dataFd, chunk, sizeof chunk, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        data.append(chunk, n);
    }
    closeFd(m_dataFd);
    return data;
}

bool FtpDataListener::SendAndClose(const QByteArray& bytes)
{
    const bool sent = m_dataFd >= 0 && sendAll(m_dataFd, bytes);
    closeFd(m_dataFd);
    return sent;
}

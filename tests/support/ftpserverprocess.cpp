#include "support/ftpserverprocess.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

const QFile::Permissions kFolderPermissions = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                              QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther |
                                              QFile::ExeOther;
const QFile::Permissions kFilePermissions =
    QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther;

namespace {
constexpr int kStartTimeoutMs = 15000;
constexpr int kStopTimeoutMs = 3000;
constexpr int kPollMs = 20;

sockaddr_in loopback(quint16 port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

bool accepts(quint16 port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return false;
    const sockaddr_in address = loopback(port);
    const bool connected = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return connected;
}
} // namespace

FtpServerProcess::FtpServerProcess()
{
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    // The server and the session processes it forks share a process group of
    // their own, so that Stop reaches sessions still open too.
    m_process.setChildProcessModifier([] { ::setpgid(0, 0); });
}

FtpServerProcess::~FtpServerProcess()
{
    Stop();
}

QString FtpServerProcess::Diagnostics()
{
    m_output += m_process.readAllStandardError();
    return QString::fromLocal8Bit(m_output);
}

void FtpServerProcess::Stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    const pid_t group = pid_t(m_process.processId());
    ::kill(-group, SIGTERM);
    if (!m_process.waitForFinished(kStopTimeoutMs)) {
        m_process.kill();
        m_process.waitForFinished(kStopTimeoutMs);
    }
    // Sessions that outlive their server (pure-ftpd's do) go with it.
    ::kill(-group, SIGKILL);
}

bool FtpServerProcess::PutFile(const QString& relativePath, const QByteArray& contents)
{
    const QString path = QDir(RootPath()).filePath(relativePath);
    if (!MakeDir(QFileInfo(relativePath).path()))
        return false;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(contents) != contents.size())
        return false;
    file.close();
    return QFile::setPermissions(path, kFilePermissions) && adopt(path);
}

bool FtpServerProcess::MakeDir(const QString& relativePath)
{
    if (relativePath.isEmpty() || relativePath == QLatin1String("."))
        return true;
    if (!MakeDir(QFileInfo(relativePath).path()))
        return false;
    const QString path = QDir(RootPath()).filePath(relativePath);
    if (QFileInfo(path).isDir())
        return true;
    return QDir().mkdir(path) && QFile::setPermissions(path, kFolderPermissions) && adopt(path);
}

bool FtpServerProcess::startAndReadPort(const QString& program, const QStringList& arguments, QString* error)
{
    m_output.clear();
    m_process.start(program, arguments);
    if (!m_process.waitForStarted(kStartTimeoutMs))
        return fail(error, QStringLiteral("cannot start %1: %2").arg(program, m_process.errorString()));
    const QDeadlineTimer deadline(kStartTimeoutMs);
    while (!deadline.hasExpired()) {
        while (m_process.canReadLine()) {
            const QByteArray line = m_process.readLine();
            m_output += line;
            if (line.startsWith("PORT ")) {
                bool ok = false;
                m_port = quint16(line.mid(5).trimmed().toUInt(&ok));
                if (ok && m_port != 0)
                    return true;
            }
        }
        if (m_process.state() == QProcess::NotRunning)
            return fail(error, QStringLiteral("%1 exited before it listened").arg(program));
        m_process.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
    }
    return fail(error, QStringLiteral("%1 did not report its port in time").arg(program));
}

bool FtpServerProcess::startAndWaitListening(const QString& program, const QStringList& arguments,
                                             quint16 port, QString* error)
{
    m_output.clear();
    m_process.start(program, arguments);
    if (!m_process.waitForStarted(kStartTimeoutMs))
        return fail(error, QStringLiteral("cannot start %1: %2").arg(program, m_process.errorString()));
    const QDeadlineTimer deadline(kStartTimeoutMs);
    while (!deadline.hasExpired()) {
        if (m_process.state() == QProcess::NotRunning)
            return fail(error, QStringLiteral("%1 exited before it listened").arg(program));
        if (accepts(port) && m_process.state() == QProcess::Running) {
            m_port = port;
            return true;
        }
        m_process.waitForFinished(kPollMs); // doubles as the pause between probes
    }
    return fail(error, QStringLiteral("%1 did not listen on port %2 in time").arg(program).arg(port));
}

bool FtpServerProcess::fail(QString* error, const QString& message)
{
    Stop();
    m_output += m_process.readAllStandardOutput();
    if (error)
        *error = message + QStringLiteral("\n") + Diagnostics();
    m_port = 0;
    return false;
}

quint16 FreeLoopbackPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return 0;
    sockaddr_in address = loopback(0);
    socklen_t length = sizeof address;
    quint16 port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    ::close(fd);
    return port;
}

QString SystemPython()
{
    return QStringLiteral("/usr/bin/python3");
}

QString SupportFile(const QString& name)
{
    return QStringLiteral(KVADO_SOURCE_DIR "/tests/support/") + name;
}

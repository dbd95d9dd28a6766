#include "sites/replacingfile.h"

#include "sites/inouterror.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <filesystem>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// The file a path names: a symbolic link's target (followed to its end).
QString writtenFile(QString path)
{
    for (int hops = 0; hops < 40 && QFileInfo(path).isSymLink(); ++hops)
        path = QFileInfo(path).symLinkTarget();
    return path;
}
} // namespace

TReplacingFile::TReplacingFile(const QString& target)
    : m_target(QFile::encodeName(writtenFile(target))), m_temporary(m_target + ".XXXXXX")
{
    if (::access(m_target.constData(), F_OK) == 0 && ::access(m_target.constData(), W_OK) != 0)
        throw EInOutError(errno);
    std::error_code error;
    std::filesystem::create_directories(QFile::encodeName(QFileInfo(target).absolutePath()).toStdString(),
                                        error);
    if (error)
        throw EInOutError(error.value());
    m_fd = ::mkstemp(m_temporary.data());
    if (m_fd < 0)
        throw EInOutError(errno);
}

TReplacingFile::~TReplacingFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
    if (!m_committed)
        ::unlink(m_temporary.constData());
}

void TReplacingFile::Write(QByteArrayView bytes)
{
    const char* data = bytes.data();
    auto left = std::size_t(bytes.size());
    while (left > 0) {
        const ssize_t written = ::write(m_fd, data, left);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            throw EInOutError(errno);
        }
        data += written;
        left -= std::size_t(written);
    }
}

void TReplacingFile::Commit()
{
    struct stat old {};
    if (::stat(m_target.constData(), &old) == 0 && ::fchmod(m_fd, old.st_mode & 07777) != 0)
        throw EInOutError(errno);
    if (::fsync(m_fd) != 0)
        throw EInOutError(errno);
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0)
        throw EInOutError(errno);
    if (::rename(m_temporary.constData(), m_target.constData()) != 0)
        throw EInOutError(errno);
    m_committed = true;
    // The rename itself reaches the disk with its directory.
    const QByteArray directory = QFile::encodeName(QFileInfo(QFile::decodeName(m_target)).absolutePath());
    const int dirFd = ::open(directory.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
}

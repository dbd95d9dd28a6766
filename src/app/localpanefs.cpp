#include "app/localpanefs.h"

#include <QFile>
#include <QMimeDatabase>

#include <algorithm>

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Types whose default handler on a desktop starts a program instead of showing a document.
const char* const ProgramTypes[] = {
    "application/x-desktop",        "application/x-executable",
    "application/x-pie-executable", "application/x-sharedlib",
    "application/x-shellscript",    "application/x-ms-dos-executable",
    "application/x-msdownload",     "application/x-msi",
    "application/vnd.appimage",     "application/x-iso9660-appimage",
    "application/x-ms-shortcut",    "application/vnd.microsoft.portable-executable",
};

// State of one RemoveForGood on its thread (nftw's callback takes no context).
struct TRemoval {
    const std::atomic<bool>* cancel;
    int error = 0;
    QByteArray failedPath;
};
thread_local TRemoval* currentRemoval = nullptr;

int RemoveEntry(const char* path, const struct stat*, int type, struct FTW*)
{
    TRemoval& removal = *currentRemoval;
    if (removal.cancel->load())
        return 1;
    const int result = type == FTW_DP || type == FTW_DNR ? ::rmdir(path) : ::unlink(path);
    if (result != 0 && removal.error == 0) {
        removal.error = errno;
        removal.failedPath = path;
    }
    return 0; // go on: the rest goes even when one entry stays
}

} // namespace

QString IoErrorText(int error)
{
    return QStringLiteral("I/O error %1: %2").arg(error).arg(QString::fromLocal8Bit(std::strerror(error)));
}

QByteArray CurrentDirectory()
{
    QByteArray buffer(4096, Qt::Uninitialized);
    while (::getcwd(buffer.data(), static_cast<size_t>(buffer.size())) == nullptr) {
        if (errno != ERANGE)
            return {};
        buffer.resize(buffer.size() * 2);
    }
    QByteArray directory(buffer.constData());
    if (!directory.endsWith('/'))
        directory.append('/');
    return directory;
}

int ChangeDirectory(const QByteArray& path)
{
    return ::chdir(path.constData()) == 0 ? 0 : errno;
}

int MakeDirectory(const QByteArray& path)
{
    return ::mkdir(path.constData(), 0777) == 0 ? 0 : errno;
}

int RenameNoReplace(const QByteArray& from, const QByteArray& to)
{
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != EEXIST)
        return errno;
    // The file system knows no "never replace" (or says the target exists, which may be the
    // entry itself under another case): decide by looking.
    struct stat source, target;
    if (::lstat(from.constData(), &source) != 0)
        return errno;
    if (::lstat(to.constData(), &target) == 0 &&
        (source.st_dev != target.st_dev || source.st_ino != target.st_ino))
        return EEXIST;
    return ::rename(from.constData(), to.constData()) == 0 ? 0 : errno;
}

bool HasControlCharacters(const QString& text)
{
    return std::any_of(text.begin(), text.end(),
                       [](QChar c) { return c.category() == QChar::Other_Control; });
}

bool IsValidEntryName(const QString& name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
           !name.contains(QLatin1Char('/')) && !HasControlCharacters(name);
}

bool IsProgramFile(const QByteArray& path)
{
    struct stat st;
    if (::stat(path.constData(), &st) != 0)
        return true; // nothing to show; what cannot be looked at is not handed on
    if (S_ISDIR(st.st_mode))
        return false;
    if (!S_ISREG(st.st_mode) || (st.st_mode & (S_IXUSR | S_IXGRP | S_IXOTH)) != 0)
        return true;
    const QString name = QFile::decodeName(path.mid(path.lastIndexOf('/') + 1));
    if (name.endsWith(QLatin1String(".desktop"), Qt::CaseInsensitive))
        return true;

    QByteArray head;
    const int fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd >= 0) {
        head.resize(512);
        const ssize_t got = ::read(fd, head.data(), static_cast<size_t>(head.size()));
        head.resize(got > 0 ? static_cast<int>(got) : 0);
        ::close(fd);
    }
    const QMimeType type = QMimeDatabase().mimeTypeForFileNameAndData(name, head);
    return std::any_of(std::begin(ProgramTypes), std::end(ProgramTypes),
                       [&](const char* program) { return type.inherits(QLatin1String(program)); });
}

QUrl LocalFileUrl(const QByteArray& path)
{
    return QUrl::fromEncoded("file://" + path.toPercentEncoding("/"), QUrl::StrictMode);
}

int RemoveForGood(const QByteArray& path, QByteArray& failedPath, const std::atomic<bool>& cancel)
{
    TRemoval removal{&cancel, 0, {}};
    TRemoval* outer = currentRemoval;
    currentRemoval = &removal;
    const int walked = ::nftw(path.constData(), RemoveEntry, 32, FTW_DEPTH | FTW_PHYS | FTW_MOUNT);
    currentRemoval = outer;
    if (walked == -1 && removal.error == 0) {
        removal.error = errno;
        removal.failedPath = path;
    }
    failedPath = removal.failedPath;
    return removal.error;
}

QString MoveToTrash(const QByteArray& path)
{
    const QString name = QFile::decodeName(path);
    // Qt names files by text: a name that does not survive the way there and back would be
    // another file (or none), so it is refused rather than guessed.
    if (QFile::encodeName(name) != path)
        return QString::fromLocal8Bit(std::strerror(EILSEQ));
    QFile file(name);
    if (!file.moveToTrash())
        return file.errorString();
    return {};
}

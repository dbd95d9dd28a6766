#include "files/directoryreader.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

namespace {

std::uint8_t HiddenByName(const char* name)
{
    return name[0] == '.' && !IsDotName(QByteArray::fromRawData(name, static_cast<qsizetype>(strlen(name))))
               ? faHidden
               : 0;
}

void Describe(int dirFd, const char* path, const char* name, const struct stat& st, bool linkWithoutTarget,
              TFindData& data)
{
    std::uint8_t attributes = HiddenByName(name);
    if (linkWithoutTarget) {
        // A dangling link is shown as an ordinary file of its own.
    } else {
        if (S_ISDIR(st.st_mode))
            attributes |= faDirectory;
        else if (!S_ISREG(st.st_mode))
            attributes |= faSystem;
        // The kernel decides, so that a read-only mount and access lists count too.
        if (faccessat(dirFd, path, W_OK, AT_EACCESS) != 0)
            attributes |= faReadOnly;
    }
    data.Attributes = attributes;
    data.Size = (attributes & faDirectory) ? 0 : static_cast<std::int64_t>(st.st_size);
    data.LastWriteTime = st.st_mtim.tv_sec;
    data.LastAccessTime = st.st_atim.tv_sec;
}

// Fills data from the entry path inside dirFd (AT_FDCWD for a whole path); false when it cannot be described.
bool DescribeAt(int dirFd, const char* path, const char* name, TFindData& data)
{
    struct stat st;
    if (fstatat(dirFd, path, &st, AT_NO_AUTOMOUNT) == 0) {
        Describe(dirFd, path, name, st, false, data);
        return true;
    }
    if (fstatat(dirFd, path, &st, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT) == 0) {
        Describe(dirFd, path, name, st, S_ISLNK(st.st_mode), data);
        return true;
    }
    return false;
}

} // namespace

bool IsDotName(const QByteArray& name)
{
    return name == "." || name == "..";
}

TEntryPath SplitEntryPath(QByteArray path)
{
    while (path.size() > 1 && path.endsWith('/'))
        path.chop(1);
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0 || path.size() == 1)
        return {QByteArray(), path};
    return {path.left(slash + 1), path.mid(slash + 1)};
}

TDirectoryReader::TDirectoryReader(const QByteArray& directory) : m_dir(opendir(directory.constData())) {}

TDirectoryReader::~TDirectoryReader()
{
    if (m_dir)
        closedir(m_dir);
}

bool TDirectoryReader::Next(TFindData& data, bool& described)
{
    if (!m_dir)
        return false;
    const dirent* entry = readdir(m_dir);
    if (!entry)
        return false;
    data = TFindData();
    data.Name = QByteArray(entry->d_name);
    described = DescribeAt(dirfd(m_dir), entry->d_name, entry->d_name, data);
    if (!described)
        data.Attributes = static_cast<std::uint8_t>(HiddenByName(entry->d_name) |
                                                    (entry->d_type == DT_DIR ? faDirectory : 0));
    return true;
}

bool ReadFindData(const QByteArray& path, TFindData& data)
{
    const TEntryPath entry = SplitEntryPath(path);
    data = TFindData();
    data.Name = entry.Name;
    const QByteArray whole = entry.Directory + entry.Name;
    return DescribeAt(AT_FDCWD, whole.constData(), data.Name.constData(), data);
}

#include "files/directoryreader.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

// The credentials that decide whether the user may write an entry.
class TCredentials {
public:
    TCredentials() : m_uid(geteuid()), m_gid(getegid())
    {
        const int count = getgroups(0, nullptr);
        if (count > 0) {
            m_groups.resize(static_cast<std::size_t>(count));
            m_groups.resize(static_cast<std::size_t>(std::max(0, getgroups(count, m_groups.data()))));
        }
    }

    bool MayWrite(const struct stat& st) const
    {
        if (m_uid == 0)
            return true;
        if (st.st_uid == m_uid)
            return (st.st_mode & S_IWUSR) != 0;
        if (st.st_gid == m_gid || std::find(m_groups.begin(), m_groups.end(), st.st_gid) != m_groups.end())
            return (st.st_mode & S_IWGRP) != 0;
        return (st.st_mode & S_IWOTH) != 0;
    }

private:
    uid_t m_uid;
    gid_t m_gid;
    std::vector<gid_t> m_groups;
};

namespace {

bool IsDotName(const char* name)
{
    return name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0));
}

void Describe(const TCredentials& credentials, const char* name, const struct stat& st,
              bool linkWithoutTarget, TFindData& data)
{
    std::uint8_t attributes = 0;
    if (linkWithoutTarget) {
        // A dangling link is shown as an ordinary file of its own.
    } else if (S_ISDIR(st.st_mode)) {
        attributes |= faDirectory;
    } else if (!S_ISREG(st.st_mode)) {
        attributes |= faSystem;
    }
    if (!linkWithoutTarget && !credentials.MayWrite(st))
        attributes |= faReadOnly;
    if (name[0] == '.' && !IsDotName(name))
        attributes |= faHidden;
    data.Attributes = attributes;
    data.Size = (attributes & faDirectory) ? 0 : static_cast<std::int64_t>(st.st_size);
    data.LastWriteTime = st.st_mtim.tv_sec;
    data.LastAccessTime = st.st_atim.tv_sec;
}

// Fills data from the entry name inside dirFd (AT_FDCWD for a whole path); false when it does not exist.
bool DescribeAt(const TCredentials& credentials, int dirFd, const char* path, const char* name,
                TFindData& data)
{
    struct stat st;
    if (fstatat(dirFd, path, &st, 0) == 0) {
        Describe(credentials, name, st, false, data);
        return true;
    }
    if (fstatat(dirFd, path, &st, AT_SYMLINK_NOFOLLOW) == 0) {
        Describe(credentials, name, st, S_ISLNK(st.st_mode), data);
        return true;
    }
    return false;
}

} // namespace

TDirectoryReader::TDirectoryReader(const QByteArray& directory)
    : m_dir(opendir(directory.constData())), m_credentials(std::make_unique<TCredentials>())
{
}

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
    described = DescribeAt(*m_credentials, dirfd(m_dir), entry->d_name, entry->d_name, data);
    if (!described && entry->d_type == DT_DIR)
        data.Attributes = faDirectory;
    return true;
}

bool ReadFindData(const QByteArray& path, TFindData& data)
{
    QByteArray trimmed = path;
    while (trimmed.size() > 1 && trimmed.endsWith('/'))
        trimmed.chop(1);
    const int slash = trimmed.lastIndexOf('/');
    data = TFindData();
    data.Name = slash >= 0 && trimmed.size() > 1 ? trimmed.mid(slash + 1) : trimmed;
    return DescribeAt(TCredentials(), AT_FDCWD, trimmed.constData(), data.Name.constData(), data);
}

#pragma once
// Local trees under their names' own bytes, for the transfer tests: write a
// file, read a whole tree into a map (path below the top -> bytes, or
// "<folder>"), remove a tree.
#include "core/utf8kept.h"

#include <QByteArray>
#include <QString>

#include <map>

#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

inline bool ReadLocalFile(const QString& path, QByteArray& bytes)
{
    const int fd = ::open(ToUtf8Kept(path).constData(), O_RDONLY);
    if (fd < 0)
        return false;
    char buffer[65536];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;)
        bytes.append(buffer, n);
    ::close(fd);
    return true;
}

// A local file under its name's own bytes.
inline bool WriteLocal(const QByteArray& path, const QByteArray& bytes)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return false;
    const bool ok = ::write(fd, bytes.constData(), std::size_t(bytes.size())) == bytes.size();
    ::close(fd);
    return ok;
}

// The files and folders below a local folder, by their path relative to it.
inline void ReadLocalTree(const QByteArray& top, std::map<QByteArray, QByteArray>& below,
                          const QByteArray& relative = {})
{
    DIR* dir = ::opendir((top + relative).constData());
    if (!dir)
        return;
    while (const dirent* d = ::readdir(dir)) {
        const QByteArray name(d->d_name);
        if (name == "." || name == "..")
            continue;
        const QByteArray path = relative + '/' + name;
        struct stat info {};
        ::lstat((top + path).constData(), &info);
        if (S_ISDIR(info.st_mode)) {
            below[path] = "<folder>";
            ReadLocalTree(top, below, path);
        } else {
            QByteArray bytes;
            ReadLocalFile(FromUtf8Kept(top + path), bytes);
            below[path] = bytes;
        }
    }
    ::closedir(dir);
}

// Removes a local tree whatever bytes its names hold.
inline void RemoveLocalTree(const QByteArray& top)
{
    ::nftw(
        top.constData(), [](const char* path, const struct stat*, int, FTW*) { return ::remove(path); }, 16,
        FTW_DEPTH | FTW_PHYS);
}

// Makes the tree (path below the top -> bytes, or "<folder>") under top.
inline void PutLocally(const QByteArray& top, const std::map<QByteArray, QByteArray>& tree)
{
    ::mkdir(top.constData(), 0755);
    for (const auto& [path, bytes] : tree) // folders sort before what is in them
        if (bytes == "<folder>")
            ::mkdir((top + path).constData(), 0755);
        else
            WriteLocal(top + path, bytes);
}

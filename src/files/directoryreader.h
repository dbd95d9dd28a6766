#pragma once
// Enumerates one local directory and describes entries with POSIX calls: the
// platform's find-first/find-next. Names stay in the file system's bytes, so
// a name that is not valid UTF-8 is still looked up correctly.
//
// Next() returns every entry, "." and ".." included, in the order the file
// system gives them. An entry that cannot be described (it vanished between
// being listed and being described, or the directory may be read but not
// searched) comes back with Described false: its name, the hidden bit that its
// name gives and, when the file system told it, its directory bit. A reader
// that could not open its directory (missing, not a directory, no permission)
// simply has no entries. Describing never triggers an automount, and "R"
// means the user may not write the entry (also on a read-only mount).
#include "files/filetypes.h"

#include <dirent.h>

class TDirectoryReader {
public:
    explicit TDirectoryReader(const QByteArray& directory);
    ~TDirectoryReader();
    TDirectoryReader(const TDirectoryReader&) = delete;
    TDirectoryReader& operator=(const TDirectoryReader&) = delete;

    bool IsOpen() const { return m_dir != nullptr; }

    // The next entry; false at the end. described tells whether data holds more than the name.
    bool Next(TFindData& data, bool& described);

private:
    DIR* m_dir = nullptr;
};

// Describes the entry at path (following symbolic links); false when it does not exist.
bool ReadFindData(const QByteArray& path, TFindData& data);

// A path cut into its directory (ending in "/", empty when the path has no "/") and its last name;
// trailing slashes do not count ("/a/b/" is "/a/" and "b"; "/" is "" and "/").
struct TEntryPath {
    QByteArray Directory;
    QByteArray Name;
};
TEntryPath SplitEntryPath(QByteArray path);

// True for the names "." and "..".
bool IsDotName(const QByteArray& name);

#pragma once
// Enumerates one local directory and describes entries with POSIX calls: the
// platform's find-first/find-next. Names stay in the file system's bytes, so
// a name that is not valid UTF-8 is still looked up correctly.
//
// Next() returns every entry, "." and ".." included, in the order the file
// system gives them. An entry that vanished between being listed and being
// described comes back with Described false: its name and, when the file system
// told it, its directory bit. A reader that could not open its directory
// (missing, not a directory, no permission) simply has no entries.
#include "files/filetypes.h"

#include <dirent.h>

#include <memory>

class TCredentials;

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
    std::unique_ptr<TCredentials> m_credentials; // whose write permission decides "R"
};

// Describes the entry at path (following symbolic links); false when it does not exist.
bool ReadFindData(const QByteArray& path, TFindData& data);

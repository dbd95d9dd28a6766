#pragma once
// TReplacingFile: replaces a whole file without ever leaving it half-written.
//
// The constructor creates the target's directory when missing and a temporary
// file beside the target; Write appends to the temporary file; Commit gives it
// the old target's permissions (a new file stays readable by the user only),
// flushes it to disk and renames it over the target. Every step throws
// EInOutError with the system's error number; a TReplacingFile destroyed
// without a successful Commit removes its temporary file, so the target keeps
// its old content whatever failed.
// A target that is a symbolic link is written where the link points (the link
// stays); an existing target the user may not write is not replaced (EACCES),
// as writing it in place would fail.
#include <QByteArray>
#include <QByteArrayView>
#include <QString>

class TReplacingFile {
public:
    explicit TReplacingFile(const QString& target);
    ~TReplacingFile();
    TReplacingFile(const TReplacingFile&) = delete;
    TReplacingFile& operator=(const TReplacingFile&) = delete;

    void Write(QByteArrayView bytes);
    void Commit();

private:
    QByteArray m_target;
    QByteArray m_temporary;
    int m_fd = -1;
    bool m_committed = false;
};

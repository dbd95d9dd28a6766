#pragma once
// The remote listing table: what the last directory listing of the server
// held, in listing order. Entry 0 is always the parent entry ".."; entry k
// belongs to row k of the remote pane. The table grows with the listing (no
// fixed number of entries), and sizes are 64-bit.
//
// Contract: a plain value type, no events. The session engine refills it on
// every listing and writes a new name into one entry after a rename; every
// remote command reads it. Names are server data: they may hold any
// character, so a caller that uses a name as a local file name checks it with
// IsSafeLocalName first.
#include <QString>
#include <QtGlobal>

#include <vector>

enum TEntryKind : quint8 { ekParent = 0, ekDirectory = 1, ekFile = 2 };

struct TRemoteEntry {
    QString name; // for a link, the part before " -> "
    TEntryKind kind = ekFile;
    qint64 size = 0;    // in bytes; set for files only
    QString attributes; // the first 10 characters of the listing line
    QString sizeText;   // the size field as listed, digits grouped by ","
};

class TRemoteListing {
public:
    TRemoteListing();

    // Back to the parent entry alone.
    void Clear();
    void Append(TRemoteEntry entry);
    // Room for this many entries in all, so that a long listing fills without reallocating.
    void Reserve(int count) { m_entries.reserve(std::size_t(qMax(count, 1))); }

    // Number of entries, the parent entry included (so at least 1).
    int Count() const { return int(m_entries.size()); }
    const TRemoteEntry& At(int index) const { return m_entries.at(std::size_t(index)); }

    // Replaces the name of an existing listed entry (the parent entry keeps "..").
    void SetName(int index, const QString& name);

private:
    std::vector<TRemoteEntry> m_entries;
};

// True when a name received from the server may be used as a local file name
// in the local directory: not empty, not "." or "..", no "/" and no NUL.
bool IsSafeLocalName(const QString& name);

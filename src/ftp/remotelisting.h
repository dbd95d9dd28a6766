#pragma once
// The remote listing table: what the last directory listing of the server
// held, in listing order. Entry 0 is always the parent entry ".."; the remote
// pane names its rows by these entry numbers, whatever order it shows them in.
// The table grows with the listing up to its cap (Najvec, kNajvecVnosov by
// default; Cut() tells that entries were left out), and sizes are 64-bit.
//
// Contract: a plain value type, no events. The session engine refills it on
// every listing and writes a new name into one entry after a rename; every
// remote command reads it. Names are server data: they may hold any
// character, so a caller that uses a name as a local file name checks it with
// IsSafeLocalName first.
// Storage is compact (a directory may list a million names): the texts of all
// entries share one character pool and each entry keeps 24 bytes besides, so
// At(i) hands back a TRemoteEntry value built on demand, not a reference. The
// per-field readers (Kind, Size, Modified, Name) read one entry without
// building it, for sorting a long table.
#include <QString>
#include <QtGlobal>

#include <vector>

enum TEntryKind : quint8 { ekParent = 0, ekDirectory = 1, ekFile = 2 };

struct TRemoteEntry {
    QString name; // for a link, the part before " -> "
    TEntryKind kind = ekFile;
    qint64 size = 0;    // in bytes; set for files only (0 when the listing gives no byte count)
    QString attributes; // UNIX: the first 10 characters of the line; DOS "<DIR>"; VMS the protection
    QString sizeText;   // the size field as listed, digits grouped by "," (VMS blocks: "12 blk")
    // Modification time in seconds since 1970, -1 when the listing gave no usable date. A time
    // from LIST is the server's wall clock, stored as if it were UTC (modifiedUtc false) and
    // shown unconverted; only the MLSD modify fact is known to be UTC (modifiedUtc true).
    qint64 modified = -1;
    bool modifiedUtc = false;
    bool modifiedDayOnly = false; // the listing gave a day without a time of day
};

class TRemoteListing {
public:
    static constexpr int kNajvecVnosov = 1000000; // listed entries, the parent entry not counted
    static constexpr int kNajdaljseIme = 4095;    // characters of a name the table holds exactly

    TRemoteListing();

    // Back to the parent entry alone (the cap stays).
    void Clear();
    // Adds an entry; false (and Cut() from then on) when the table is full.
    // Texts are kept up to a length: names kNajdaljseIme characters, attributes 31, size texts 8191.
    bool Append(const TRemoteEntry& entry);
    // Room for this many entries in all, so that a long listing fills without reallocating.
    void Reserve(int count) { m_entries.reserve(std::size_t(qBound(1, count, m_najvec + 1))); }
    // Gives back the room reserved beyond the entries held (after a listing is read in full).
    void Squeeze();
    // The most listed entries the table takes.
    void SetNajvec(int entries) { m_najvec = qMax(0, entries); }
    // True when entries were left out since the last Clear.
    bool Cut() const { return m_cut; }

    // Number of entries, the parent entry included (so at least 1).
    int Count() const { return int(m_entries.size()); }
    // The entry at index (0 <= index < Count()), as a value.
    TRemoteEntry At(int index) const;
    // Bytes the table holds for its entries (their records and texts).
    qsizetype BytesHeld() const;

    // One field of the entry at index (0 <= index < Count()), without building the entry.
    TEntryKind Kind(int index) const { return TEntryKind(m_entries[std::size_t(index)].kind); }
    qint64 Size(int index) const { return m_entries[std::size_t(index)].size; }
    qint64 Modified(int index) const { return m_entries[std::size_t(index)].modified; }
    QStringView Name(int index) const;
    QStringView Attributes(int index) const;

    // Replaces the name of an existing listed entry (the parent entry keeps "..").
    void SetName(int index, const QString& name);

private:
    // 24 bytes: the texts lie in m_texts at offset: name, then attributes, then size text.
    struct Record {
        qint64 size;
        quint32 offset;
        quint32 nameLength : 12;
        quint32 attributeLength : 5;
        quint32 sizeLength : 13;
        quint32 kind : 2;
        qint64 modified : 62; // wide enough for any date a listing can give
        qint64 modifiedUtc : 1;
        qint64 modifiedDayOnly : 1;
    };
    static_assert(sizeof(Record) == 24);
    void store(const TRemoteEntry& entry);

    std::vector<Record> m_entries;
    QString m_texts; // every entry's texts, one after the other
    int m_najvec = kNajvecVnosov;
    bool m_cut = false;
};

// True when a name received from the server may be used as a local file name
// in the local directory: not empty, not "." or "..", no "/" and no NUL.
bool IsSafeLocalName(const QString& name);

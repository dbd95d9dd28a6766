#pragma once
// Turns a raw directory listing into the remote listing table: the UNIX
// "ls -l" layout read field by field (RazcleniSeznam), and the other layouts
// (DOS/IIS, VMS, machine facts; listformat.h) read into the same columns.
//
// Contract: pure functions, no events, no state. RazcleniSeznam takes the raw
// listing as received over the data connection (8-bit text in code page
// 1250, or UTF-8 when the session speaks it), empties it and refills the table; it runs in time linear in the
// listing's length. Names stay exactly as the server sent them (after the
// field split), however hostile: deciding whether a name may be used locally
// or sent in a command is the caller's job (IsSafeLocalName).
//
// In every layout a row lands in the same columns: name, kind (a directory or
// a link is a directory), size in bytes for files, attributes, size text and
// modification time (TRemoteEntry::modified; -1 when the line gives no usable
// date, which never costs the line its entry).
// Names are decoded with the session's lossless decoder, so each one
// encodes back to exactly the bytes the server listed; an entry whose name is
// longer than the table holds exactly is left out rather than cut. A size
// the listing gives in VMS blocks is shown as such ("12 blk") and stored as
// size 0, so that no byte count (progress, resume offset, completeness check)
// is ever taken from it.
#include "core/codepage.h"
#include "ftp/listformat.h"
#include "ftp/remotelisting.h"

#include <QByteArray>
#include <QString>
#include <QStringView>

// Parses every complete line (ended by a line feed) of rawListing into table,
// which starts again from the parent entry. Lines that do not start with "-",
// "d" or "l" (the "total" line, other listing formats) and the entries "."
// and ".." are skipped; text after the last line feed is never parsed. When
// the table is full (its cap) the rest of the listing is skipped.
// rawListing is empty afterwards.
// The field split above reads every line whose date fields hold a date. A
// line that starts with a mode string but has its date elsewhere (servers
// that leave out the group, or owner and group, owner names with blanks,
// other date shapes; listformatunix.h) is read by anchors. Such a line that
// cannot be read with confidence, when it has nine fields or more, gives no
// row and is added to unread (when given); a shorter one is read as above.
void RazcleniSeznam(QByteArray& rawListing, TRemoteListing& table, TNameDecoder decode = FromCp1250,
                    TUnreadLines* unread = nullptr);

// The same for a listing in the given layout: lfUnix reads as above, the
// others with ParseListing (lines it does not recognise give no row). The
// listing is read a block of lines at a time, so a long one never holds more
// than one block's entries besides the table, and nothing past the table's
// cap is parsed.
// decode turns a line's bytes into text (code page 1250 unless the session speaks UTF-8).
// Lines left out as unreadable are added to unread when it is given.
void RazcleniSeznam(QByteArray& rawListing, TListFormat format, TRemoteListing& table,
                    TNameDecoder decode = FromCp1250, TUnreadLines* unread = nullptr);

// The time of a UNIX line's month, day and year-or-time fields ("Mar", "3",
// "2021" or "12:34") as seconds since 1970 of the server's wall clock, taken as
// if it were UTC; -1 when the fields are no such date. A year gives the day
// alone (dayOnly set). A time of day has no year: it is now's year, unless that
// puts the date more than a day after now, then the year before. now is the
// current wall-clock time in the same reckoning.
struct TUnixListedTime {
    qint64 seconds = -1;
    bool dayOnly = false;
};
TUnixListedTime UnixListedTime(QStringView month, QStringView day, QStringView yearOrTime, qint64 now);
// The same with the month (1 to 12) and day as numbers; -1 when either is below 1.
TUnixListedTime UnixListedTimeOf(int month, int day, QStringView yearOrTime, qint64 now);

// Inserts "," between groups of three characters counted from the right:
// "1234567" gives "1,234,567". Every character is kept (no length cut).
QString GroupThousands(QStringView digits);

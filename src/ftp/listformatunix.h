#pragma once
// UNIX "ls -l" lines in the shapes real servers write besides the standard
// one, read by anchors instead of by counting fields.
//
// Contract: pure functions, no events, no state.
// - A line is read by anchors only when it starts with a mode string
//   (IsUnixModeString). The size is the run of digits right before a date;
//   whatever lies between the mode string and the size (link count, owner,
//   group, owners and groups with blanks, or none of them) is passed over; the
//   name is all that follows the date. So the group column may be missing,
//   owner and group may be missing, and either may hold blanks.
// - A date is one of these shapes (tokens are separated by blanks):
//     Jan 15 12:00   Jan 15 2020   Jan 15, 2020   15 Jan 2020   15. Jan 12:00
//     1月 15 12:00   01 15 12:00   2020-01-15 12:00[:00[.fraction] [+0100]]
//     2020-01-15   01-15 12:00   2020/01/15   15.01.2020   01/15/2020   15-Jan-2020
//   Months are English, German, French, Spanish, Italian, Dutch, Portuguese,
//   Slovenian, Polish, Czech or Russian abbreviations or names, in any case,
//   with an optional "." (an unknown word in the place of the month keeps the
//   shape but gives no date). A numeric date whose day and month could be
//   swapped (03/04/2020) gives no date: the entry is kept, the date is never
//   guessed. A date with a zone offset is a UTC instant; every other date is
//   the server's wall clock (see TRemoteEntry::modified).
// - A line is unreadable (urUnread) when no date follows a size, or a second
//   reading begins inside the first one's date (numeric owners and a numeric
//   date can be cut two ways). Such a line is never shown under a guessed name.
#include "ftp/listingparser.h"

#include <QStringView>
#include <QtGlobal>

#include <span>

// A date read from the tokens that start at some place in a line.
struct TListedDate {
    int tokens = 0;      // tokens the date spans; 0 when no date shape starts there
    qint64 seconds = -1; // as TRemoteEntry::modified; -1 when the shape gives no certain date
    bool dayOnly = false;
    bool utc = false;
};

// The date whose shape starts at tokens[0] (later tokens may belong to it).
// now is the wall-clock time as in UnixListedTime, for dates without a year.
TListedDate ReadListedDate(std::span<const QStringView> tokens, qint64 now);

enum TUnixReading : quint8 { urNone, urSkip, urEntry, urUnread };

// Reads line (decoded, its line end may still be there; attributes from its
// first 10 characters) by anchors into entry. urNone when no size and date are
// found, urSkip for "." and "..".
TUnixReading ReadAnchoredUnixLine(QStringView line, qint64 now, TRemoteEntry& entry);

#pragma once
// The VMS listing layout: NAME.EXT;version, blocks used[/allocated], date,
// time, owner, protection.
//
//   README.TXT;3            12/14     7-MAR-2002 10:15:22.04  [SYSTEM]        (RWED,RWED,RE,)
//   SUB.DIR;1                1/3     19-NOV-2001 21:41        [1,1]           (RWE,RWE,RE,RE)
//
// Contract: pure functions, no state.
// - The name is "stem;version" where the stem holds none of blanks,
//   controls, "=", ";", "/", brackets or quotes (a stem without a "." is a
//   name too), and the version is 1 to 5 digits. A file keeps its whole listed name, version included, so
//   that every listed version is its own entry and a command names exactly it. A directory ("NAME.DIR;n", any
//   case) is shown and addressed by NAME, the form a change of directory takes.
// - After the name come the size, the date with its time, the owner in
//   brackets and the protection in parentheses, each at most once and in any
//   order (servers put the owner or the date before the size):
//     LOGIN.COM;12   [SYSTEM]   2   1-JAN-1999 00:00   (RWED,RWED,R,R)
//     LOGIN.COM;12   1-JAN-1999 00:00   2   [SYSTEM]   (RWED,RWED,R,R)
//   A line with a VMS name whose fields hold no size, a field twice or a
//   field of no known kind is lmUnread: left out, never guessed.
// - The size is the blocks in use, kept as the size with sizeInBlocks set and
//   shown as "12 blk". A line whose fields are an error text starting with "%"
//   ("%RMS-E-PRV, insufficient privilege") gives its entry without size or date.
// - The date is D-MMM-YYYY (English month, any case) and the token after it
//   the time, HH:MM with optional seconds and hundredths; a malformed date or
//   time is left out, the entry stays.
// - The attributes are the protection, the field in parentheses.
// - The "Directory ..." header and the "Total of ..." trailer are not this
//   layout.
#include "ftp/listformat.h"
#include "ftp/listformatfields.h"

// Reads line (without its line end) into entry when it is a VMS entry line.
TLineMatch ParseVmsLine(QByteArrayView line, TNameDecoder decode, TListedEntry& entry);

// True when line holds a VMS name and nothing else: a name too long for its
// column, whose fields follow on the next line.
bool IsVmsLoneName(QByteArrayView line);

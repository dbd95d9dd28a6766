#pragma once
// The VMS listing layout: NAME.EXT;version, blocks used[/allocated], date,
// time, owner, protection.
//
//   README.TXT;3            12/14     7-MAR-2002 10:15:22.04  [SYSTEM]        (RWED,RWED,RE,)
//   SUB.DIR;1                1/3     19-NOV-2001 21:41        [1,1]           (RWE,RWE,RE,RE)
//
// Contract: pure functions, no state.
// - The name is "stem;version" where the stem holds a "." and none of
//   blanks, controls, "=", ";", "/", brackets or quotes, and the version is 1 to
//   5 digits. A file keeps its whole listed name, version included, so that
//   every listed version is its own entry and a command names exactly it. A
//   directory ("NAME.DIR;n", any case) is shown and addressed by NAME, the form
//   a change of directory takes.
// - The size is the blocks in use, kept as the size with sizeInBlocks set and
//   shown as "12 blk". A line whose fields are an error text starting with "%"
//   ("%RMS-E-PRV, insufficient privilege") gives its entry without size or date.
//   Any other first field is not this layout.
// - The date is D-MMM-YYYY (English month, any case), the time HH:MM with
//   optional seconds and hundredths; a missing or malformed date is left out.
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

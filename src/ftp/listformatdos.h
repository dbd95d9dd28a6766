#pragma once
// The DOS/IIS listing layout: date, time, "<DIR>" or a size, name.
//
//   12-07-26  10:15AM       <DIR>          pub
//   07-04-2019  09:03PM            1,234,567 big file.zip
//   2019-07-04  21:03                  1234 notes.txt
//
// Contract: a pure function, no state.
// - Dates are MM-DD-YY, MM-DD-YYYY or YYYY-MM-DD ("/" also separates); a first
//   number above 12 with a second of at most 12 reads as DD-MM. Two-digit years
//   below 70 are 20xx, the others 19xx. Times are HH:MM or HH:MM:SS, in 12-hour
//   form with AM or PM joined to them, or in 24-hour form.
// - Sizes may group their digits with "," or "."; the size text regroups them
//   with ",". A line whose date, time or size field is anything else is not
//   this layout.
// - The name starts after the blank that ends the size or "<DIR>" field; the
//   blanks after it belong to the column and are skipped as far as the name
//   column of IIS (22 characters after the time), so a name that itself
//   starts with blanks keeps them in IIS output.
#include "ftp/listformat.h"
#include "ftp/listformatfields.h"

// Reads line (without its line end) into entry when it is a DOS/IIS line.
TLineMatch ParseDosLine(QByteArrayView line, TNameDecoder decode, TListedEntry& entry);

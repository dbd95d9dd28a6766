#pragma once
// The parser of directory listings in the UNIX "ls -l" layout, the one rule
// the engine reads every listing with (the server kind of a site is not
// consulted).
//
// Contract: pure functions, no events, no state. RazcleniSeznam takes the raw
// listing as received over the data connection (8-bit text in code page
// 1250), empties it and refills the table; it runs in time linear in the
// listing's length. Names stay exactly as the server sent them (after the
// field split), however hostile: deciding whether a name may be used locally
// or sent in a command is the caller's job (IsSafeLocalName).
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
void RazcleniSeznam(QByteArray& rawListing, TRemoteListing& table);

// Inserts "," between groups of three characters counted from the right:
// "1234567" gives "1,234,567". Every character is kept (no length cut).
QString GroupThousands(QStringView digits);

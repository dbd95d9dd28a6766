#pragma once
// Listing formats other than the UNIX "ls -l" layout, and the choice of the
// rule a listing is read with.
//
// Contract: pure functions, no events, no state; everything runs in time
// linear in the listing's length.
//
// - A listing is cut into lines at line feeds; one CR before the line feed is
//   dropped. Text after the last line feed is never parsed (as in
//   RazcleniSeznam), so a cut-off last line never becomes an entry.
// - Every entry carries its name twice: decoded for display (with the name
//   decoder in force) and as the exact bytes the server listed, which are what
//   goes back to the server in a command. Names are server data: a caller that
//   uses one as a local file name checks it with IsSafeLocalName first.
// - "." and "..", and the machine-listing entries of type cdir and pdir, are
//   never returned: the table begins with its own parent entry.
// - A line the chosen rule does not recognise gives no entry; it is never
//   guessed into a name. A line that has the rule's shape but fields the rule
//   cannot read with confidence (two places a size could be, a token of no
//   known kind) gives no entry either, and is counted in TUnreadLines, so
//   that the caller can say so in the log.
//
// Which rule reads a listing (ChooseListFormat):
// - a reply to MLSD is read as machine listing facts (lfMlsd), whatever the
//   server kind. The engine sends MLSD instead of LIST only when the server
//   kind is 0 (detect) and FEAT listed MLSD (FEAT goes out only when the name
//   encoding is automatic or UTF-8);
// - server kind 1 (UNIX) and 2 (UNIX-compatible) read the UNIX layout, 3 (VMS)
//   the VMS layout;
// - server kind 0, and any value a foreign site file may hold, detects the
//   layout from the listing as a whole (DetectListFormat): the first lines
//   that exactly one of the UNIX, DOS/IIS, facts and VMS rules recognises
//   vote (at most kDetectVotes of them, looking at no more than
//   kDetectLines lines), the rule with most votes wins and a tie goes to the
//   rule that was seen first. A listing no rule recognises is read as UNIX,
//   which is how every listing was read before. A UNIX line is recognised by
//   its mode string (a type letter of "-dlbcps", nine permission letters, an
//   optional "+", "." or "@" mark, a blank); the other rules' headers say
//   what they recognise. A VMS name alone on its line and the line that
//   continues it count as one line. Detection reads only the listing's head,
//   so its cost does not grow with the listing.
//
// UNIX listings are read by RazcleniSeznam (listingparser.h); ParseListing
// reads the other three.
#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <vector>

enum TListFormat : quint8 { lfUnix, lfDos, lfMlsd, lfVms };

enum TListedKind : quint8 { lkDirectory, lkFile, lkLink };

// Turns the bytes of a name into text: FromCp1250 (core/codepage.h), or a
// UTF-8 decoder that shows invalid bytes with replacement marks.
using TNameDecoder = QString (*)(QByteArrayView bytes);

struct TListedEntry {
    QString name;         // decoded for display
    QByteArray nameBytes; // exactly as listed; sent back in commands
    TListedKind kind = lkFile;
    // Files only (0 for directories and links). In bytes, except for VMS where
    // the listing gives 512-byte blocks in use: then sizeInBlocks is set and
    // the size is that block count.
    qint64 size = 0;
    bool sizeInBlocks = false;
    // DOS: "<DIR>" for a directory, else empty. Facts: the perm fact, or
    // unix.mode when there is no perm. VMS: the protection, e.g. "(RWED,RWED,RE,)".
    QString attributes;
    // The size as listed, digits grouped by "," ("1,234,567"); VMS adds " blk".
    // Empty when the line gives no size (DOS directories).
    QString sizeText;
    // Invalid when the line gives no date; always held as a UTC date and time.
    // Facts give a UTC instant (modifiedZoneKnown set). DOS and VMS give the
    // server's wall-clock time in a zone the listing does not tell: it is held
    // as listed, to be shown without conversion (modifiedZoneKnown clear).
    // (Treating it as this computer's local time would cost a time-zone
    // look-up per line and still be a guess.)
    QDateTime modified;
    bool modifiedZoneKnown = false;
};

// The lines of a listing that were left out because they could not be read
// with confidence: how many, and the first kKept of them as decoded text.
struct TUnreadLines {
    static constexpr int kKept = 5;
    int count = 0;
    QStringList lines;

    void Add(QString line)
    {
        if (count++ < kKept)
            lines.push_back(std::move(line));
    }
};

// At most this many recognised lines vote, among at most this many lines.
constexpr int kDetectVotes = 8;
constexpr int kDetectLines = 1000;

// The rule the listing in raw is read with, by the rules above. serverKind is
// the site's stored kind (0 to 3); machineListing is true when the listing
// answers MLSD.
TListFormat ChooseListFormat(int serverKind, bool machineListing, QByteArrayView raw);

// The layout of raw judged from its first recognisable lines (see above).
TListFormat DetectListFormat(QByteArrayView raw);

// Every entry of the complete lines of raw read with format (lfDos, lfMlsd or
// lfVms), appended to entries in listing order. A VMS entry whose name fills
// its line continues on the next line, which starts with blanks. Lines left
// out as unreadable are added to unread when it is given. Throws
// std::invalid_argument for lfUnix, which RazcleniSeznam reads.
void ParseListing(QByteArrayView raw, TListFormat format, TNameDecoder decode,
                  std::vector<TListedEntry>& entries, TUnreadLines* unread = nullptr);

#include "ftp/listformat.h"

#include "ftp/listformatdos.h"
#include "ftp/listformatmlsd.h"
#include "ftp/listformatvms.h"

#include <array>
#include <limits>
#include <stdexcept>

namespace {
using TLineParser = TLineMatch (*)(QByteArrayView, TNameDecoder, TListedEntry&);

QString decodeLatin1(QByteArrayView bytes)
{
    return QString::fromLatin1(bytes);
}

// Calls onLine(line) for every complete line of raw, without its CR LF, until
// it returns false. With joinVms, a line holding only a VMS name and the line
// after it that starts with a blank are handed over as one line.
template <typename OnLine> void forEachLine(QByteArrayView raw, bool joinVms, OnLine onLine)
{
    QByteArray joined;
    QByteArrayView pendingName;
    qsizetype start = 0;
    for (qsizetype feed = raw.indexOf('\n'); feed >= 0; feed = raw.indexOf('\n', start)) {
        QByteArrayView line = raw.sliced(start, feed - start);
        start = feed + 1;
        if (line.endsWith('\r'))
            line.chop(1);
        if (!pendingName.isEmpty()) {
            const QByteArrayView name = pendingName;
            pendingName = {};
            if (!line.isEmpty() && IsListBlank(line[0])) {
                joined.clear();
                joined.append(name).append(line);
                if (!onLine(QByteArrayView(joined)))
                    return;
                continue;
            }
        }
        if (joinVms && IsVmsLoneName(line)) {
            pendingName = line;
            continue;
        }
        if (!onLine(line))
            return;
    }
}

// A line votes for a rule only when the rule read it (an entry or a line to skip).
bool recognised(TLineMatch match)
{
    return match == lmSkip || match == lmEntry;
}

TLineParser parserFor(TListFormat format)
{
    switch (format) {
    case lfDos:
        return ParseDosLine;
    case lfMlsd:
        return ParseMlsdLine;
    case lfVms:
        return ParseVmsLine;
    case lfUnix:
        break;
    }
    throw std::invalid_argument("ParseListing: UNIX listings are read by RazcleniSeznam");
}
} // namespace

TListFormat DetectListFormat(QByteArrayView raw)
{
    constexpr std::size_t kFormats = 4;
    std::array<int, kFormats> votes{};
    std::array<int, kFormats> firstSeen{};
    firstSeen.fill(std::numeric_limits<int>::max());
    int voters = 0;
    int lines = 0;
    TListedEntry scratch;
    forEachLine(raw, true, [&](QByteArrayView line) {
        int matches = 0;
        TListFormat format = lfUnix;
        const auto consider = [&](bool recognised, TListFormat candidate) {
            if (recognised) {
                ++matches;
                format = candidate;
            }
        };
        consider(IsUnixModeString(line), lfUnix);
        consider(recognised(ParseDosLine(line, decodeLatin1, scratch)), lfDos);
        consider(recognised(ParseMlsdLine(line, decodeLatin1, scratch)), lfMlsd);
        consider(recognised(ParseVmsLine(line, decodeLatin1, scratch)), lfVms);
        if (matches == 1) {
            if (votes[format]++ == 0)
                firstSeen[format] = voters;
            ++voters;
        }
        return voters < kDetectVotes && ++lines < kDetectLines;
    });

    TListFormat best = lfUnix;
    for (std::size_t f = 0; f < kFormats; ++f)
        if (votes[f] > votes[best] ||
            (votes[f] == votes[best] && votes[f] > 0 && firstSeen[f] < firstSeen[best]))
            best = TListFormat(f);
    return best;
}

TListFormat ChooseListFormat(int serverKind, bool machineListing, QByteArrayView raw)
{
    if (machineListing)
        return lfMlsd;
    switch (serverKind) {
    case 1:
    case 2:
        return lfUnix;
    case 3:
        return lfVms;
    default:
        return DetectListFormat(raw);
    }
}

void ParseListing(QByteArrayView raw, TListFormat format, TNameDecoder decode,
                  std::vector<TListedEntry>& entries, TUnreadLines* unread)
{
    const TLineParser parse = parserFor(format);
    TListedEntry entry;
    QString previousAttributes;
    forEachLine(raw, format == lfVms, [&](QByteArrayView line) {
        const TLineMatch match = parse(line, decode, entry);
        if (match == lmUnread && unread)
            unread->Add(decode(line));
        if (match != lmEntry)
            return true;
        // Entries mostly repeat the attributes before them: they share one copy.
        if (entry.attributes == previousAttributes)
            entry.attributes = previousAttributes;
        else
            previousAttributes = entry.attributes;
        entries.push_back(std::move(entry));
        return true;
    });
}

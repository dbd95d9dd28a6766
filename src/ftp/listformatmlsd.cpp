#include "ftp/listformatmlsd.h"

namespace {
bool isFact(QByteArrayView fact, const char* name)
{
    return fact.compare(QByteArrayView(name), Qt::CaseInsensitive) == 0;
}

bool startsWithNoCase(QByteArrayView text, const char* prefix)
{
    const QByteArrayView start(prefix);
    return text.size() >= start.size() && text.first(start.size()).compare(start, Qt::CaseInsensitive) == 0;
}

// YYYYMMDDHHMMSS[.fraction] as a UTC time; invalid when it is anything else.
QDateTime parseModify(QByteArrayView value)
{
    const qsizetype dot = value.indexOf('.');
    const QByteArrayView whole = dot < 0 ? value : value.first(dot);
    int milliseconds = 0;
    if (dot >= 0) {
        const QByteArrayView fraction = value.sliced(dot + 1);
        if (fraction.isEmpty() || !DigitsValue(fraction))
            return {};
        for (qsizetype i = 0; i < 3; ++i)
            milliseconds = milliseconds * 10 + (i < fraction.size() ? fraction[i] - '0' : 0);
    }
    if (whole.size() != 14 || !DigitsValue(whole))
        return {};
    const QDate date(SmallNumber(whole.first(4), 4), SmallNumber(whole.sliced(4, 2), 2),
                     SmallNumber(whole.sliced(6, 2), 2));
    const QTime time(SmallNumber(whole.sliced(8, 2), 2), SmallNumber(whole.sliced(10, 2), 2),
                     SmallNumber(whole.sliced(12, 2), 2), milliseconds);
    if (!date.isValid() || !time.isValid())
        return {};
    return QDateTime(date, time, Qt::UTC);
}

// The facts a listing row is made of.
struct TFacts {
    QByteArrayView type;
    QByteArrayView size;
    QByteArrayView modify;
    QByteArrayView perm;
    QByteArrayView mode;
};

// Splits "name=value;" facts; false when facts are not of that form or hold none.
bool readFacts(QByteArrayView facts, TFacts& out)
{
    if (!facts.endsWith(';'))
        return false;
    int count = 0;
    qsizetype start = 0;
    while (start < facts.size()) {
        const qsizetype end = facts.indexOf(';', start);
        const QByteArrayView fact = facts.sliced(start, end - start);
        start = end + 1;
        if (fact.isEmpty())
            continue;
        const qsizetype equals = fact.indexOf('=');
        if (equals <= 0)
            return false;
        const QByteArrayView name = fact.first(equals);
        const QByteArrayView value = fact.sliced(equals + 1);
        ++count;
        if (isFact(name, "type"))
            out.type = value;
        else if (isFact(name, "size") || isFact(name, "sizd"))
            out.size = value;
        else if (isFact(name, "modify"))
            out.modify = value;
        else if (isFact(name, "perm"))
            out.perm = value;
        else if (isFact(name, "unix.mode"))
            out.mode = value;
    }
    return count > 0;
}

// The kind a type fact names; false for cdir and pdir, which list no entry.
bool kindOf(QByteArrayView type, TListedKind& kind)
{
    if (isFact(type, "cdir") || isFact(type, "pdir"))
        return false;
    if (isFact(type, "dir"))
        kind = lkDirectory;
    else if (startsWithNoCase(type, "OS.unix=slink") || startsWithNoCase(type, "OS.unix=symlink"))
        kind = lkLink;
    else
        kind = lkFile;
    return true;
}
} // namespace

TLineMatch ParseMlsdLine(QByteArrayView line, TNameDecoder decode, TListedEntry& entry)
{
    const qsizetype space = line.indexOf(' ');
    if (space < 0)
        return lmNone;
    TFacts facts;
    if (!readFacts(line.first(space), facts))
        return lmNone;
    const QByteArrayView name = line.sliced(space + 1);
    if (name.isEmpty())
        return lmNone;
    TListedKind kind = lkFile;
    if (!kindOf(facts.type, kind) || IsDotName(name))
        return lmSkip;

    entry = TListedEntry();
    entry.nameBytes = name.toByteArray();
    entry.name = decode(name);
    entry.kind = kind;
    if (const std::optional<qint64> size = DigitsValue(facts.size)) {
        entry.sizeText = GroupedSizeText(facts.size);
        if (kind == lkFile)
            entry.size = *size;
    }
    entry.modified = parseModify(facts.modify);
    entry.modifiedZoneKnown = entry.modified.isValid();
    entry.attributes = QString::fromLatin1(facts.perm.isEmpty() ? facts.mode : facts.perm);
    return lmEntry;
}

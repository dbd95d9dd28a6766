#include "ftp/remotelisting.h"

#include <stdexcept>

namespace {
constexpr qsizetype kNameMax = TRemoteListing::kNajdaljseIme;
constexpr qsizetype kAttributeMax = (1 << 5) - 1;
constexpr qsizetype kSizeTextMax = (1 << 13) - 1;
static_assert(kNameMax < (1 << 12), "a name's length must fit its record field");
constexpr qint64 kModifiedLimit = qint64(1) << 61;
} // namespace

TRemoteListing::TRemoteListing()
{
    Clear();
}

void TRemoteListing::Clear()
{
    m_entries.clear();
    m_texts.clear();
    m_cut = false;
    TRemoteEntry parent;
    parent.name = QStringLiteral("..");
    parent.kind = ekParent;
    store(parent);
}

void TRemoteListing::store(const TRemoteEntry& entry)
{
    Record record{};
    record.size = entry.size;
    record.offset = quint32(m_texts.size());
    record.nameLength = quint32(qMin(entry.name.size(), kNameMax));
    record.attributeLength = quint32(qMin(entry.attributes.size(), kAttributeMax));
    record.sizeLength = quint32(qMin(entry.sizeText.size(), kSizeTextMax));
    record.kind = entry.kind;
    // A time outside the field's range is no date any listing gives: it is dropped, never wrapped.
    const bool usable = entry.modified >= 0 && entry.modified < kModifiedLimit;
    record.modified = usable ? entry.modified : -1;
    record.modifiedUtc = usable && entry.modifiedUtc;
    record.modifiedDayOnly = usable && entry.modifiedDayOnly;
    m_texts.append(QStringView(entry.name).left(record.nameLength));
    m_texts.append(QStringView(entry.attributes).left(record.attributeLength));
    m_texts.append(QStringView(entry.sizeText).left(record.sizeLength));
    m_entries.push_back(record);
}

bool TRemoteListing::Append(const TRemoteEntry& entry)
{
    if (Count() > m_najvec) {
        m_cut = true;
        return false;
    }
    store(entry);
    return true;
}

TRemoteEntry TRemoteListing::At(int index) const
{
    const Record& record = m_entries.at(std::size_t(index));
    const QStringView texts(m_texts);
    TRemoteEntry entry;
    entry.name = texts.mid(record.offset, record.nameLength).toString();
    entry.attributes = texts.mid(record.offset + record.nameLength, record.attributeLength).toString();
    entry.sizeText =
        texts.mid(record.offset + record.nameLength + record.attributeLength, record.sizeLength).toString();
    entry.kind = TEntryKind(record.kind);
    entry.size = record.size;
    entry.modified = record.modified;
    entry.modifiedUtc = record.modifiedUtc != 0;
    entry.modifiedDayOnly = record.modifiedDayOnly != 0;
    return entry;
}

void TRemoteListing::Squeeze()
{
    m_entries.shrink_to_fit();
    m_texts.squeeze();
}

QStringView TRemoteListing::Name(int index) const
{
    const Record& record = m_entries.at(std::size_t(index));
    return QStringView(m_texts).mid(record.offset, record.nameLength);
}

QStringView TRemoteListing::Attributes(int index) const
{
    const Record& record = m_entries.at(std::size_t(index));
    return QStringView(m_texts).mid(record.offset + record.nameLength, record.attributeLength);
}

qsizetype TRemoteListing::BytesHeld() const
{
    return qsizetype(m_entries.capacity() * sizeof(Record)) + m_texts.capacity() * qsizetype(sizeof(QChar));
}

void TRemoteListing::SetName(int index, const QString& name)
{
    if (index <= 0 || index >= Count())
        throw std::out_of_range("TRemoteListing::SetName: no listed entry at this index");
    // The entry's texts are stored again with the new name (the old ones stay unused).
    TRemoteEntry entry = At(index);
    entry.name = name;
    store(entry);
    m_entries[std::size_t(index)] = m_entries.back();
    m_entries.pop_back();
}

bool IsSafeLocalName(const QString& name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
           !name.contains(QLatin1Char('/')) && !name.contains(QChar(0));
}

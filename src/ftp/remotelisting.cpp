#include "ftp/remotelisting.h"

#include <stdexcept>

namespace {
constexpr qsizetype kNameMax = TRemoteListing::kNajdaljseIme;
constexpr qsizetype kAttributeMax = (1 << 5) - 1;
constexpr qsizetype kSizeTextMax = (1 << 13) - 1;
static_assert(kNameMax < (1 << 12), "a name's length must fit its record field");
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
    store(QStringLiteral(".."), ekParent, 0, {}, {});
}

void TRemoteListing::store(const QString& name, TEntryKind kind, qint64 size, const QString& attributes,
                           const QString& sizeText)
{
    Record record{};
    record.size = size;
    record.offset = quint32(m_texts.size());
    record.nameLength = quint32(qMin(name.size(), kNameMax));
    record.attributeLength = quint32(qMin(attributes.size(), kAttributeMax));
    record.sizeLength = quint32(qMin(sizeText.size(), kSizeTextMax));
    record.kind = kind;
    m_texts.append(QStringView(name).left(record.nameLength));
    m_texts.append(QStringView(attributes).left(record.attributeLength));
    m_texts.append(QStringView(sizeText).left(record.sizeLength));
    m_entries.push_back(record);
}

bool TRemoteListing::Append(const TRemoteEntry& entry)
{
    if (Count() > m_najvec) {
        m_cut = true;
        return false;
    }
    store(entry.name, entry.kind, entry.size, entry.attributes, entry.sizeText);
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
    return entry;
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
    const TRemoteEntry old = At(index);
    Record& record = m_entries[std::size_t(index)];
    const qint64 size = record.size;
    const auto kind = TEntryKind(record.kind);
    store(name, kind, size, old.attributes, old.sizeText);
    m_entries[std::size_t(index)] = m_entries.back();
    m_entries.pop_back();
}

bool IsSafeLocalName(const QString& name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
           !name.contains(QLatin1Char('/')) && !name.contains(QChar(0));
}

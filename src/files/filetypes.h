#pragma once
// The published enumerations of the local file list and the record that one
// directory entry yields when it is enumerated (the "find record").
//
// Attributes are those of the file system entry as the list understands them:
// D directory, R not writable by the user, H name begins with "." (except "."
// and ".."), S neither a regular file nor a directory (device, socket, pipe).
// A (archive) and T (temporary) do not exist on this platform and are never
// set. A symbolic link has the attributes of its target; a link whose target
// does not exist is an ordinary file of its own.
#include <QByteArray>
#include <QString>

#include <cstdint>
#include <initializer_list>

enum TFileType { ftArchive, ftReadonly, ftSystem, ftHidden, ftTemporary, ftAll };

enum TFileInfo {
    fiName,
    fiSize,
    fiType,
    fiModified,
    fiCreated,
    fiLastAccess,
    fiAttributes,
    fiDosName,
    fiDosExt,
    fiPath,
    fiAll
};

// A set of enumeration values, one bit per value (bit n = value n).
template <class E> class TEnumSet {
public:
    constexpr TEnumSet() = default;
    constexpr TEnumSet(std::initializer_list<E> values)
    {
        for (E value : values)
            m_bits |= bit(value);
    }
    static constexpr TEnumSet FromBits(std::uint16_t bits)
    {
        TEnumSet set;
        set.m_bits = bits;
        return set;
    }

    constexpr bool Contains(E value) const { return (m_bits & bit(value)) != 0; }
    constexpr void Include(E value) { m_bits |= bit(value); }
    constexpr void Exclude(E value) { m_bits &= static_cast<std::uint16_t>(~bit(value)); }
    constexpr std::uint16_t Bits() const { return m_bits; }
    constexpr bool operator==(const TEnumSet&) const = default;

private:
    static constexpr std::uint16_t bit(E value) { return static_cast<std::uint16_t>(1u << value); }
    std::uint16_t m_bits = 0;
};

using TFileTypes = TEnumSet<TFileType>;
using TFileInfos = TEnumSet<TFileInfo>; // fiAll is bit 10

// Attribute bits of a find record.
enum TFileAttribute : std::uint8_t {
    faDirectory = 1,
    faArchive = 2,
    faReadOnly = 4,
    faSystem = 8,
    faHidden = 16,
    faTemporary = 32,
};

// What the enumeration knows of one entry.
struct TFindData {
    QByteArray Name;                // the entry's name as the file system holds it
    std::uint8_t Attributes = 0;    // TFileAttribute bits
    std::int64_t Size = 0;          // bytes; 0 for a directory
    std::int64_t LastWriteTime = 0; // seconds since the epoch (UTC)
    std::int64_t LastAccessTime = 0;

    bool IsDirectory() const { return (Attributes & faDirectory) != 0; }
};

// The attribute letters of a row, in the order D A R S H T.
QString AttributeLetters(std::uint8_t attributes);

// True when an entry with these attributes passes the attribute filter.
bool PassesAttributeFilter(std::uint8_t attributes, TFileTypes types);

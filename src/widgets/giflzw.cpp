#include "widgets/giflzw.h"

#include <QtEndian>

#include <cstdint>
#include <cstring>

namespace {

constexpr int kMaxCodeBits = 12;
constexpr int kTableSize = 1 << kMaxCodeBits;

// Reads codes least significant bit first from a byte range. While 8 bytes
// remain it refills a whole word at once; the bytes it takes ahead of use are
// the same bytes a later refill puts in the same place, so they do no harm.
class CodeReader {
public:
    CodeReader(const uchar* data, qsizetype size) : m_data(data), m_end(data + size) {}

    // The next code of `bits` bits, or -1 when the data ends first.
    int Next(int bits)
    {
        if (m_count < bits) {
            if (m_end - m_data >= 8) {
                std::uint64_t word;
                std::memcpy(&word, m_data, 8);
                m_buffer |= qFromLittleEndian(word) << m_count;
                const int taken = (63 - m_count) >> 3;
                m_data += taken;
                m_count += taken * 8;
            } else {
                while (m_count < bits) {
                    if (m_data == m_end)
                        return -1;
                    m_buffer |= std::uint64_t(*m_data++) << m_count;
                    m_count += 8;
                }
            }
        }
        const int code = int(m_buffer & ((1u << bits) - 1));
        m_buffer >>= bits;
        m_count -= bits;
        return code;
    }

private:
    const uchar* m_data;
    const uchar* m_end;
    std::uint64_t m_buffer = 0;
    int m_count = 0;
};

// One string of the table: its last byte, its first byte, the code of the
// string without its last byte, and its length.
struct Entry {
    std::uint16_t Prefix;
    std::uint16_t Length;
    uchar Suffix;
    uchar First;
};

} // namespace

TGifLzwResult GifLzwDecode(const uchar* data, qsizetype size, int minCodeSize, uchar* out, qsizetype outSize)
{
    TGifLzwResult result;
    if (minCodeSize < 2 || minCodeSize > 8) {
        result.Fault = true;
        return result;
    }
    const int clearCode = 1 << minCodeSize;
    const int endCode = clearCode + 1;

    Entry table[kTableSize];
    for (int i = 0; i < clearCode; ++i)
        table[i] = Entry{0, 1, uchar(i), uchar(i)};

    CodeReader reader(data, size);
    int codeBits = minCodeSize + 1;
    int nextCode = clearCode + 2;
    int previous = -1;
    qsizetype written = 0;

    while (written < outSize) {
        const int code = reader.Next(codeBits);
        if (code < 0)
            break;
        if (code == clearCode) {
            codeBits = minCodeSize + 1;
            nextCode = clearCode + 2;
            previous = -1;
            continue;
        }
        if (code == endCode) {
            result.SawEndCode = true;
            break;
        }
        if (previous < 0) {
            // First code after a clear: only a root code is defined.
            if (code >= clearCode) {
                result.Fault = true;
                break;
            }
            out[written++] = uchar(code);
            previous = code;
            continue;
        }
        if (code > nextCode) {
            result.Fault = true;
            break;
        }

        // The string of `code`; for the one code not yet in the table it is the
        // previous string followed by its own first byte.
        const bool known = code < nextCode;
        const int source = known ? code : previous;
        const uchar first = table[source].First;
        const qsizetype length = table[source].Length + (known ? 0 : 1);

        // Write the string backwards along its prefix chain, keeping only the
        // part that fits in out.
        const qsizetype end = written + length;
        if (end <= outSize) {
            qsizetype pos = end - 1;
            if (!known)
                out[pos--] = first;
            for (int c = source; pos >= written; c = table[c].Prefix)
                out[pos--] = table[c].Suffix;
            written = end;
        } else {
            qsizetype pos = end - 1;
            if (!known)
                --pos; // the last byte lies beyond out
            for (int c = source; pos >= written; c = table[c].Prefix, --pos) {
                if (pos < outSize)
                    out[pos] = table[c].Suffix;
            }
            written = outSize;
        }

        if (nextCode < kTableSize) {
            const std::uint32_t newLength = std::uint32_t(table[previous].Length) + 1;
            table[nextCode] =
                Entry{std::uint16_t(previous), std::uint16_t(newLength), first, table[previous].First};
            ++nextCode;
            if (nextCode == (1 << codeBits) && codeBits < kMaxCodeBits)
                ++codeBits;
        }
        previous = code;
    }
    result.Decoded = written;
    return result;
}

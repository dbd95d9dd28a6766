#include "net/bufferblock.h"

#include "net/bufferedsocketexception.h"

#include <cstring>
#include <string_view>

namespace {
std::unique_ptr<char[]> zeroFilled(int size)
{
    if (size <= 0)
        RaiseBufferedSocketError(BufferedSocketText::ResizeLosesData);
    return std::make_unique<char[]>(size_t(size)); // value-initialised: zeroes
}
} // namespace

void RaiseBufferedSocketError(const char* text)
{
    throw EBufferedSocketException(QString::fromLatin1(text));
}

TBufferBlock::TBufferBlock(int size) : m_data(zeroFilled(size)), m_size(size) {}

void TBufferBlock::Resize(int size)
{
    if (size < m_count)
        RaiseBufferedSocketError(BufferedSocketText::ResizeLosesData);
    if (size == m_size)
        return;
    std::unique_ptr<char[]> block = zeroFilled(size);
    if (m_count > 0)
        std::memcpy(block.get(), Data(), size_t(m_count));
    m_data = std::move(block);
    m_size = size;
    m_start = 0;
}

int TBufferBlock::Append(const void* data, int len)
{
    const int n = qBound(0, len, Free());
    if (n == 0)
        return 0;
    std::memcpy(FreeEnd(), data, size_t(n));
    m_count += n;
    return n;
}

char* TBufferBlock::FreeEnd()
{
    Compact();
    return m_data.get() + m_count;
}

void TBufferBlock::Commit(int n)
{
    Q_ASSERT(n >= 0 && m_start + m_count + n <= m_size);
    m_count += n;
}

void TBufferBlock::Remove(int n)
{
    if (n > m_count)
        RaiseBufferedSocketError(BufferedSocketText::PullUpTooLarge);
    if (n <= 0)
        return;
    m_count -= n;
    m_start = m_count == 0 ? 0 : m_start + n;
}

void TBufferBlock::Clear()
{
    m_start = 0;
    m_count = 0;
}

int TBufferBlock::Find(QByteArrayView terminator) const
{
    if (terminator.isEmpty())
        return -1;
    const std::string_view held(Data(), size_t(m_count));
    const size_t at = held.find(std::string_view(terminator.data(), size_t(terminator.size())));
    return at == std::string_view::npos ? -1 : int(at);
}

void TBufferBlock::Compact()
{
    if (m_start == 0)
        return;
    std::memmove(m_data.get(), Data(), size_t(m_count));
    m_start = 0;
}

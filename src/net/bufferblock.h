#pragma once
// TBufferBlock: one fixed-size block of bytes that is filled at its end and
// emptied from its front (the read or the write buffer of a buffered socket).
//
// Contract:
// - The block holds Count() bytes of Size(); a new or resized block is
//   zero-filled. Taking bytes from the front keeps the rest in order; the
//   held bytes are moved down to the start of the block only when the end is
//   needed, so taking many small pieces costs no copying of the remainder.
// - Sizes of 0 or less, and a new size below Count(), raise
//   EBufferedSocketException "Cannot change buffer size - data will be lost."
//   and leave the block as it was. Removing more than the held bytes raises
//   "Cannot pull up buffer - amount to pull up larger than total buffer." and
//   removes nothing.
// - No events: the socket classes around it report what happens.
#include <QByteArrayView>

#include <memory>

class TBufferBlock {
public:
    explicit TBufferBlock(int size);

    int Size() const { return m_size; }
    int Count() const { return m_count; }
    int Free() const { return m_size - m_count; }
    // The held bytes, oldest first.
    const char* Data() const { return m_data.get() + m_start; }
    QByteArrayView Held() const { return {Data(), m_count}; }

    // A new block of size bytes receiving the held ones; the same size: nothing.
    void Resize(int size);
    // Copies min(len, Free()) bytes to the end; returns how many.
    int Append(const void* data, int len);
    // Free() contiguous bytes at the end, for a direct fill; Commit(n) then
    // counts n of them as held.
    char* FreeEnd();
    void Commit(int n);
    void Remove(int n);
    void Clear();
    // Offset in the held bytes of the first complete occurrence of
    // terminator; -1 when there is none (an empty terminator is never found).
    int Find(QByteArrayView terminator) const;

private:
    void Compact();

    std::unique_ptr<char[]> m_data;
    int m_size = 0;
    int m_start = 0;
    int m_count = 0;
};

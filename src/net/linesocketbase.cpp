#include "net/linesocketbase.h"

namespace {
// Longest run of line deliveries of one read notification.
constexpr auto kSlice = std::chrono::milliseconds(5);
} // namespace

TLineSocketBase::TLineSocketBase(TSockCtrl* owner) : TBufferedSocketBase(owner) {}

QByteArrayView TLineSocketBase::LineTerminator() const
{
    switch (m_terminatorKind) {
    case 0:
        return "\r";
    case 1:
        return "\n";
    case 2:
        return "\r\n";
    default:
        return {};
    }
}

bool TLineSocketBase::WriteLine(QByteArrayView line)
{
    return WriteStr(line, (m_lineFlags & lfWriteTerminator) ? LineTerminator() : QByteArrayView());
}

bool TLineSocketBase::WriteStr(QByteArrayView text, QByteArrayView terminator)
{
    const auto alive = SocketAlive();
    const bool written = TBufferedSocketBase::WriteStr(text, terminator);
    if (written && *alive) // an OnWriteBufferFull handler may have destroyed this
        FlushIfAsked();
    return written;
}

bool TLineSocketBase::WritePChar(const char* text, const char* terminator)
{
    const auto alive = SocketAlive();
    const bool written = TBufferedSocketBase::WritePChar(text, terminator);
    if (written && *alive)
        FlushIfAsked();
    return written;
}

void TLineSocketBase::FlushIfAsked()
{
    if (m_lineFlags & lfFlushWrites)
        Flush();
}

void TLineSocketBase::DoLine(const QByteArray& line, bool complete)
{
    if (!OnLine)
        return;
    const TLineEvent handler = OnLine; // the handler may destroy this object
    handler(this, line, complete);
}

bool TLineSocketBase::ExtractLine()
{
    if (!(m_lineFlags & lfLineMode))
        return false;
    QByteArray line;
    const auto alive = SocketAlive();
    if (!ReadUntil(line, LineTerminator(), m_lineFlags & lfKeepTerminator))
        return false;
    if (!*alive)
        return false; // an OnReadBufferEmpty handler destroyed this: the line goes nowhere
    DoLine(line, true);
    return true;
}

bool TLineSocketBase::ExtractLines()
{
    const auto alive = SocketAlive();
    while (ExtractLine())
        if (!*alive)
            return false;
    return *alive;
}

bool TLineSocketBase::SliceOver() const
{
    return m_filling && std::chrono::steady_clock::now() >= m_sliceEnd;
}

void TLineSocketBase::DoReadBufferFull()
{
    // The slice is used up: the complete lines wait in the full buffer, which
    // ends the receive loop; FillReadBuffer delivers them and returns.
    if (SliceOver() && (m_lineFlags & lfLineMode) && !LineTerminator().isEmpty() &&
        ReadBufferData().contains(LineTerminator()))
        return;
    if (ExtractLines() && ReadBufferFree() == 0)
        TBufferedSocketBase::DoReadBufferFull();
}

void TLineSocketBase::FillReadBuffer()
{
    const auto alive = SocketAlive();
    m_filling = true;
    m_sliceEnd = std::chrono::steady_clock::now() + kSlice;
    struct Done {
        TLineSocketBase* socket;
        std::shared_ptr<const bool> alive;
        ~Done()
        {
            if (*alive)
                socket->m_filling = false;
        }
    } done{this, alive};
    do {
        TBufferedSocketBase::FillReadBuffer();
        if (!*alive || !ExtractLines())
            return;
        // A stalled (full) buffer receives nothing more now: asking again would
        // spin. After a slice the event loop gets its turn: taking the lines has
        // asked for the next read notification, which comes at once.
        if (!(m_lineFlags & lfLineMode) || !Connected() || ReadStalled() || SliceOver())
            return;
    } while (BytesAvailable() > 0);
}

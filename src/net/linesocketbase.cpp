#include "net/linesocketbase.h"

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

void TLineSocketBase::DoReadBufferFull()
{
    if (ExtractLines() && ReadBufferFree() == 0)
        TBufferedSocketBase::DoReadBufferFull();
}

void TLineSocketBase::FillReadBuffer()
{
    const auto alive = SocketAlive();
    do {
        TBufferedSocketBase::FillReadBuffer();
        if (!*alive || !ExtractLines())
            return;
        // A stalled (full) buffer receives nothing more now: asking again would spin.
        if (!(m_lineFlags & lfLineMode) || !Connected() || ReadStalled())
            return;
    } while (BytesAvailable() > 0);
}

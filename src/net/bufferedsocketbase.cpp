#include "net/bufferedsocketbase.h"

#include "net/asyncselect.h"
#include "net/sockerror.h"
#include "net/winsockapi.h"

#include <QIODevice>

#include <cstring>

namespace {
constexpr int connectionAborted = 10053;
constexpr int connectionReset = 10054;
} // namespace

TBufferedSocketBase::TBufferedSocketBase(TSockCtrl* owner) : TStreamSocket(owner) {}

TBufferedSocketBase::~TBufferedSocketBase()
{
    ReleaseSendStream();
    ReleaseReceiveStream();
}

void TBufferedSocketBase::Fire(const TBufferedSocketEvent& event)
{
    if (!event)
        return;
    const TBufferedSocketEvent handler = event; // the handler may destroy this object and its members
    handler(this);
}

void TBufferedSocketBase::SetReadBufferSize(int size)
{
    m_read.Resize(size);
    ResumeReading();
}

void TBufferedSocketBase::SetWriteBufferSize(int size)
{
    m_write.Resize(size);
}

int TBufferedSocketBase::Send(const void*, int)
{
    RaiseBufferedSocketError(BufferedSocketText::SendRecv);
}

int TBufferedSocketBase::Recv(void*, int)
{
    RaiseBufferedSocketError(BufferedSocketText::SendRecv);
}

void TBufferedSocketBase::DoRead()
{
    const auto alive = SocketAlive();
    FillReadBuffer();
    if (*alive)
        TStreamSocket::DoRead();
}

void TBufferedSocketBase::DoWrite()
{
    const auto alive = SocketAlive();
    Flush();
    if (*alive)
        TStreamSocket::DoWrite();
}

void TBufferedSocketBase::Connect(const QString& hostName, TAsyncOptions options, quint16 port,
                                  const QString& serviceName, QString& ipAddress)
{
    if (!Connected()) {
        m_read.Clear();
        m_write.Clear();
        m_readStalled = false;
    }
    TStreamSocket::Connect(hostName, options, port, serviceName, ipAddress);
}

void TBufferedSocketBase::Close()
{
    const auto alive = SocketAlive();
    TStreamSocket::Close();
    if (!*alive)
        return;
    m_readStalled = false;
    ReleaseSendStream();
    ReleaseReceiveStream();
}

void TBufferedSocketBase::DoReadBufferEmpty()
{
    Fire(OnReadBufferEmpty);
}

void TBufferedSocketBase::DoReadBufferFull()
{
    const auto alive = SocketAlive();
    Fire(OnReadBufferFull);
    if (*alive && m_read.Free() == 0)
        RaiseBufferedSocketError(BufferedSocketText::ReadBufferFull);
}

void TBufferedSocketBase::DoWriteBufferEmpty()
{
    if (SendStreamFinished() && !EndSendStream())
        return;
    Fire(OnWriteBufferEmpty);
}

void TBufferedSocketBase::DoWriteBufferFull()
{
    Fire(OnWriteBufferFull);
}

void TBufferedSocketBase::DoDataSent()
{
    Fire(OnDataSent);
}

void TBufferedSocketBase::DoDataReceived()
{
    Fire(OnDataReceived);
}

void TBufferedSocketBase::DoSendStreamDone()
{
    Fire(OnSendStreamDone);
}

void TBufferedSocketBase::DoReceiveStreamDone()
{
    Fire(OnReceiveStreamDone);
}

// --- reading -------------------------------------------------------------

void TBufferedSocketBase::TakeFromReadBuffer(int n)
{
    if (n <= 0)
        return;
    m_read.Remove(n);
    ResumeReading();
    if (m_read.Count() == 0)
        DoReadBufferEmpty();
}

void TBufferedSocketBase::ResumeReading()
{
    if (!m_readStalled || m_read.Free() == 0)
        return;
    m_readStalled = false;
    if (Handle() != -1)
        TAsyncSelect::AfterRecv(Handle()); // asks for FD_READ again; data still waiting reports at once
}

int TBufferedSocketBase::ReadBuf(void* buf, int len)
{
    const int n = qBound(0, len, m_read.Count());
    if (n > 0)
        std::memcpy(buf, m_read.Data(), size_t(n));
    TakeFromReadBuffer(n);
    return n;
}

int TBufferedSocketBase::ReadToStream(QIODevice* stream, int len)
{
    const int n = qBound(0, len, m_read.Count());
    if (n == 0)
        return 0;
    const qint64 written = stream->write(m_read.Data(), n);
    if (written < 0)
        throw EBufferedSocketException(stream->errorString()); // keeps the bytes
    TakeFromReadBuffer(int(written));
    return int(written);
}

bool TBufferedSocketBase::ReadBlock(void* buf, int size)
{
    if (size <= 0)
        RaiseBufferedSocketError(BufferedSocketText::BlockSizeZero);
    if (m_read.Count() < size)
        return false;
    ReadBuf(buf, size);
    return true;
}

bool TBufferedSocketBase::ReadRecord(void* buf)
{
    return ReadBlock(buf, m_recordSize);
}

bool TBufferedSocketBase::ReadUntil(QByteArray& text, QByteArrayView terminator, bool keep)
{
    const int at = m_read.Find(terminator);
    if (at < 0)
        return false;
    const int taken = at + int(terminator.size());
    text = QByteArray(m_read.Data(), keep ? taken : at);
    TakeFromReadBuffer(taken);
    return true;
}

bool TBufferedSocketBase::ReadUntilPChar(char* buf, int capacity, bool keep, const char* terminator)
{
    const QByteArrayView wanted(terminator);
    const int at = m_read.Find(wanted);
    if (at < 0)
        return false;
    const int taken = at + int(wanted.size());
    const int length = keep ? taken : at;
    if (length >= capacity)
        return false; // the text and its zero byte would not fit
    std::memcpy(buf, m_read.Data(), size_t(length));
    buf[length] = '\0';
    TakeFromReadBuffer(taken);
    return true;
}

// --- writing -------------------------------------------------------------

void TBufferedSocketBase::AfterWriteAppended()
{
    if (m_write.Free() == 0)
        DoWriteBufferFull();
}

int TBufferedSocketBase::WriteBuf(const void* buf, int len)
{
    if (len > m_write.Size())
        RaiseBufferedSocketError(BufferedSocketText::WriteBufferFull);
    const int n = m_write.Append(buf, len);
    if (n > 0)
        AfterWriteAppended();
    return n;
}

int TBufferedSocketBase::WriteFromStream(QIODevice* stream, int len)
{
    return int(qMax<qint64>(0, AppendFromStream(stream, len)));
}

qint64 TBufferedSocketBase::AppendFromStream(QIODevice* stream, int len)
{
    if (len > m_write.Size())
        RaiseBufferedSocketError(BufferedSocketText::WriteBufferFull);
    const int wanted = qBound(0, len, m_write.Free());
    if (wanted == 0)
        return 0;
    const qint64 n = stream->read(m_write.FreeEnd(), wanted);
    if (n < 0 && !stream->isSequential())
        throw EBufferedSocketException(stream->errorString());
    if (n <= 0)
        return n; // -1 from a sequential device: no more data will come
    m_write.Commit(int(n));
    AfterWriteAppended();
    return n;
}

bool TBufferedSocketBase::WriteBlock(const void* buf, int len)
{
    if (len > m_write.Free())
        RaiseBufferedSocketError(BufferedSocketText::BlockTooLarge);
    if (len <= 0)
        return true;
    m_write.Append(buf, len);
    AfterWriteAppended();
    return true;
}

bool TBufferedSocketBase::WriteRecord(const void* buf)
{
    return WriteBlock(buf, m_recordSize);
}

bool TBufferedSocketBase::WriteStr(QByteArrayView text, QByteArrayView terminator)
{
    if (m_write.Free() < text.size() + terminator.size())
        return false;
    WriteBlock(text.data(), int(text.size()));
    if (!terminator.isEmpty())
        WriteBlock(terminator.data(), int(terminator.size()));
    return true;
}

bool TBufferedSocketBase::WritePChar(const char* text, const char* terminator)
{
    return TBufferedSocketBase::WriteStr(QByteArrayView(text), QByteArrayView(terminator));
}

// --- moving bytes --------------------------------------------------------

void TBufferedSocketBase::HandleSocketError()
{
    if (!TlsFailure().isEmpty())
        SetLastError(connectionAborted); // TLS broken: the connection can carry nothing more
    else if (LastError() != connectionReset)
        throw;
    Disconnect();
}

void TBufferedSocketBase::Flush()
{
    const auto alive = SocketAlive();
    if (m_write.Count() == 0 && m_sendStream) {
        // A sequential send stream that had nothing to give may have more now.
        RefillFromSendStream();
        if (!*alive || !FinishDrainedSendStream())
            return;
    }
    while (m_write.Count() > 0) {
        // The report comes first: its handler may write, flush, resize, close or destroy.
        DoInfo(icSending);
        if (!*alive || Handle() == -1 || m_write.Count() == 0)
            return;
        int n = 0;
        try {
            SetLastError(0); // a refusal without a platform error must not look like a reset
            n = SendNow(m_write.Data(), m_write.Count());
        } catch (const ESockError&) {
            HandleSocketError();
            return;
        }
        if (n <= 0)
            return;
        m_write.Remove(n);
        if (m_write.Count() == 0) {
            DoWriteBufferEmpty();
            if (!*alive)
                return;
        }
        DoDataSent();
        if (!*alive)
            return;
        RefillFromSendStream();
        if (!*alive || !FinishDrainedSendStream())
            return;
    }
}

void TBufferedSocketBase::FillReadBuffer()
{
    const auto alive = SocketAlive();
    do {
        if (m_read.Free() == 0) {
            m_readStalled = true; // no receive: FD_READ stays off until room is made
            return;
        }
        // The report comes first: its handler may read, resize, close or destroy.
        DoInfo(icReceiving);
        if (!*alive || Handle() == -1)
            return;
        if (m_read.Free() == 0) {
            m_readStalled = true;
            return;
        }
        int n = 0;
        try {
            SetLastError(0);
            n = RecvNow(m_read.FreeEnd(), m_read.Free());
        } catch (const ESockError&) {
            HandleSocketError();
            return;
        }
        if (n <= 0)
            return;
        m_read.Commit(n);
        DoDataReceived();
        if (!*alive)
            return;
        MoveToReceiveStream();
        if (!*alive)
            return;
        if (m_read.Free() == 0) {
            DoReadBufferFull();
            if (!*alive)
                return;
        }
    } while (Connected());
}

// --- streams -------------------------------------------------------------

void TBufferedSocketBase::StartSendStream(QIODevice* stream, bool owned)
{
    ReleaseSendStream();
    m_sendStream = stream;
    m_sendStreamOwned = owned;
    const auto alive = SocketAlive();
    RefillFromSendStream();
    if (!*alive)
        return;
    if (m_write.Count() == 0)
        DoWriteBufferEmpty(); // an empty stream is done at once
    else
        Flush();
}

void TBufferedSocketBase::StartReceiveStream(QIODevice* stream, qint64 target, bool owned)
{
    ReleaseReceiveStream();
    m_receiveStream = stream;
    m_receiveStreamOwned = owned;
    m_receiveLeft = qMax<qint64>(0, target - stream->pos());
    MoveToReceiveStream();
}

bool TBufferedSocketBase::SendStreamFinished() const
{
    if (!m_sendStream)
        return false;
    return m_sendStream->isSequential() ? m_sendStreamEnded : m_sendStream->pos() >= m_sendStream->size();
}

bool TBufferedSocketBase::EndSendStream()
{
    const auto alive = SocketAlive();
    ReleaseSendStream();
    DoSendStreamDone();
    return *alive;
}

bool TBufferedSocketBase::FinishDrainedSendStream()
{
    if (m_write.Count() > 0 || !SendStreamFinished())
        return true;
    return EndSendStream();
}

void TBufferedSocketBase::RefillFromSendStream()
{
    if (!m_sendStream)
        return;
    if (!m_sendStream->isSequential()) {
        const qint64 left = m_sendStream->size() - m_sendStream->pos();
        WriteFromStream(m_sendStream, int(qBound<qint64>(0, left, qint64(m_write.Free()))));
        return;
    }
    // No size to go by: read what fits until the device has nothing now or reports its end.
    const auto alive = SocketAlive();
    QIODevice* stream = m_sendStream;
    while (!m_sendStreamEnded && m_write.Free() > 0) {
        const qint64 n = AppendFromStream(stream, m_write.Free());
        if (!*alive || m_sendStream != stream)
            return;
        if (n < 0)
            m_sendStreamEnded = true;
        if (n <= 0)
            return;
    }
}

void TBufferedSocketBase::MoveToReceiveStream()
{
    if (!m_receiveStream)
        return;
    const auto alive = SocketAlive();
    QIODevice* stream = m_receiveStream;
    const int moved = ReadToStream(stream, int(qBound<qint64>(0, m_receiveLeft, qint64(m_read.Count()))));
    if (!*alive || m_receiveStream != stream)
        return; // destroyed, or a handler stopped or replaced the stream
    m_receiveLeft -= moved;
    if (m_receiveLeft > 0)
        return;
    ReleaseReceiveStream();
    DoReceiveStreamDone();
}

void TBufferedSocketBase::ReleaseSendStream()
{
    QIODevice* stream = std::exchange(m_sendStream, nullptr);
    m_sendStreamEnded = false;
    if (stream && std::exchange(m_sendStreamOwned, false))
        delete stream;
}

void TBufferedSocketBase::ReleaseReceiveStream()
{
    QIODevice* stream = std::exchange(m_receiveStream, nullptr);
    if (stream && std::exchange(m_receiveStreamOwned, false))
        delete stream;
}

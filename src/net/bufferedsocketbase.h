#pragma once
// TBufferedSocketBase: a stream socket object with a read buffer and a write
// buffer of fixed, adjustable size between the program and the platform.
//
// Contract:
// - Send and Recv raise EBufferedSocketException "Recv or Send cannot be
//   called on a buffered socket."; the program reads and writes the buffers.
// - Sizes: both buffers 1024 bytes, RecordSize 16 after construction. A new
//   size below the bytes held, or of 0 or less, raises "Cannot change buffer
//   size - data will be lost." and keeps the buffer and its contents.
// - Reading takes bytes from the front of the read buffer. ReadBuf and
//   ReadToStream take min(len, held); ReadBlock/ReadRecord take exactly the
//   size or nothing (false), a size of 0 or less raises "Cannot read
//   block/record - size is zero."; ReadUntil takes everything up to and
//   including the first complete terminator (none: false, nothing taken) and
//   hands back the text without the terminator unless keep is set.
//   ReadUntilPChar (choice): the same into a zero-terminated buffer of the
//   given capacity; when the text and its zero byte do not fit it takes
//   nothing and returns false; it never writes beyond capacity.
//   OnReadBufferEmpty fires whenever a read leaves the buffer empty.
// - Writing appends to the write buffer; OnWriteBufferFull fires whenever a
//   write leaves it full. WriteBuf and WriteFromStream copy
//   min(len, WriteBufferFree) and raise "Write buffer full, user did not
//   flush" when len exceeds the write size (nothing is read then); a
//   sequential stream that reports its end gives 0. WriteBlock/WriteRecord
//   copy all or raise "Block size is larger than buffer size.";
//   WriteStr/WritePChar write the text and its terminator, or (when both do
//   not fit) nothing: false.
//   Nothing is sent until Flush.
// - Flush (also on every FD_WRITE, before OnWrite) sends the held bytes until
//   the platform would block. Per piece: OnInfo(icSending), then the send of
//   what the buffer holds after that handler (it may have written, flushed,
//   resized, closed or destroyed: a closed or destroyed socket stops here);
//   per accepted piece: the bytes leave the buffer, OnWriteBufferEmpty when
//   it became empty (a send stream that has reached its end is first
//   released and OnSendStreamDone fires), OnDataSent, then the buffer is
//   refilled from an active send stream.
// - FillReadBuffer (on every FD_READ, before OnRead) receives until the
//   platform would block or the peer has closed. Per receive:
//   OnInfo(icReceiving), then the receive into the room the buffer has after
//   that handler. Per receipt: OnDataReceived;
//   an active receive stream takes the bytes up to its target (then it is
//   released and OnReceiveStreamDone fires); when the buffer is full,
//   OnReadBufferFull, then "Read buffer full, user did not flush" if the
//   handler left it full. While the read buffer stays full nothing more is
//   received and no further FD_READ (or FD_CLOSE) is asked for, so a peer
//   that keeps sending costs no CPU; receiving resumes as soon as a read or a
//   larger size makes room.
// - A connection reset (10054) met by the platform send or receive of Flush
//   or FillReadBuffer is not raised: the socket disconnects instead
//   (OnInfo(icDisconnected), OnDisconnect, Close). So does TLS that fails
//   there (a protocol error, see tlschannel.h), with LastError 10053; the
//   owner finds the reason in TlsFailure(). Other socket errors are
//   raised to the caller, and so is whatever an event handler raises (even a
//   socket error while this socket's LastError is 10054).
// - Close releases the send and the receive stream (deleting them when
//   owned) and keeps both buffers and their contents, so what arrived before
//   the close can still be read. Choice: Connect empties both buffers first,
//   so a reused socket object never sends a previous connection's unsent
//   bytes to the new peer nor delivers its unread bytes as the new peer's.
// - Handlers of all these events may read, write, flush, resize, close, or
//   destroy the socket object or its component; after such a destruction
//   nothing touches the object.
// - Streams (QIODevice) are started with StartSendStream/StartReceiveStream.
//   The receive target is a position of the receive stream: target minus the
//   stream's position at the start is the number of bytes to move, so a
//   sequential device (whose position stays 0) takes target bytes.
//   A random-access send stream ends when its position reaches its size. A
//   sequential send stream has no size: it is read as far as the buffer has
//   room, and ends only when a read reports that no more data will ever come
//   (-1, as QIODevice::readData does for a closed pipe or socket or a
//   finished process); a read of nothing (0) just means nothing now, and the
//   transfer goes on at the next Flush (call Flush when the device has more,
//   e.g. on its readyRead). When that end is learnt only after the last bytes
//   have left (the last read filled the buffer exactly), OnSendStreamDone
//   follows that drain's OnWriteBufferEmpty and OnDataSent. A random-access
//   stream that fails to read raises its error text.
#include "net/bufferblock.h"
#include "net/bufferedsocketexception.h"
#include "net/streamsocket.h"

#include <QByteArray>
#include <QByteArrayView>

#include <functional>
#include <memory>

class QIODevice;
class TBufferedSocketBase;

using TBufferedSocketEvent = std::function<void(TBufferedSocketBase* Sender)>;

class TBufferedSocketBase : public TStreamSocket {
public:
    explicit TBufferedSocketBase(TSockCtrl* owner);
    ~TBufferedSocketBase() override;

    TBufferedSocketEvent OnWriteBufferEmpty;
    TBufferedSocketEvent OnWriteBufferFull;
    TBufferedSocketEvent OnReadBufferEmpty;
    TBufferedSocketEvent OnReadBufferFull;
    TBufferedSocketEvent OnDataSent;
    TBufferedSocketEvent OnDataReceived;
    TBufferedSocketEvent OnSendStreamDone;
    TBufferedSocketEvent OnReceiveStreamDone;

    int ReadBufferSize() const { return m_read.Size(); }
    void SetReadBufferSize(int size);
    int WriteBufferSize() const { return m_write.Size(); }
    void SetWriteBufferSize(int size);
    int ReadCount() const { return m_read.Count(); }
    int WriteCount() const { return m_write.Count(); }
    int ReadBufferFree() const { return m_read.Free(); }
    int WriteBufferFree() const { return m_write.Free(); }
    int RecordSize() const { return m_recordSize; }
    void SetRecordSize(int size) { m_recordSize = size; }
    // The bytes waiting in the read buffer, oldest first.
    QByteArrayView ReadBufferData() const { return m_read.Held(); }

    void DoRead() override;
    void DoWrite() override;
    int Send(const void* buf, int len) override;
    int Recv(void* buf, int len) override;
    void Connect(const QString& hostName, TAsyncOptions options, quint16 port, const QString& serviceName,
                 QString& ipAddress) override;
    void Close() override;

    virtual void DoReadBufferEmpty();
    virtual void DoReadBufferFull();
    virtual void DoWriteBufferEmpty();
    virtual void DoWriteBufferFull();
    virtual void DoDataSent();
    virtual void DoDataReceived();
    virtual void DoSendStreamDone();
    virtual void DoReceiveStreamDone();

    virtual int ReadBuf(void* buf, int len);
    virtual int ReadToStream(QIODevice* stream, int len);
    virtual bool ReadBlock(void* buf, int size);
    virtual bool ReadRecord(void* buf);
    virtual int WriteBuf(const void* buf, int len);
    virtual int WriteFromStream(QIODevice* stream, int len);
    virtual bool WriteBlock(const void* buf, int len);
    virtual bool WriteRecord(const void* buf);
    virtual bool ReadUntil(QByteArray& text, QByteArrayView terminator, bool keep);
    virtual bool WriteStr(QByteArrayView text, QByteArrayView terminator);
    virtual bool ReadUntilPChar(char* buf, int capacity, bool keep, const char* terminator);
    virtual bool WritePChar(const char* text, const char* terminator);
    virtual void Flush();
    virtual void FillReadBuffer();

    // Sends the rest of stream (from its position) through the write buffer;
    // an earlier send stream is released first. OnSendStreamDone follows when
    // all of it has left the buffer.
    void StartSendStream(QIODevice* stream, bool owned);
    // Moves target - stream->pos() received bytes into stream (bytes already
    // held count at once); an earlier receive stream is released first.
    // OnReceiveStreamDone follows when all of them have moved.
    void StartReceiveStream(QIODevice* stream, qint64 target, bool owned);
    bool SendingStream() const { return m_sendStream != nullptr; }
    bool ReceivingStream() const { return m_receiveStream != nullptr; }

protected:
    // True while the read buffer is full and receiving is suspended.
    bool ReadStalled() const { return m_readStalled; }

private:
    void Fire(const TBufferedSocketEvent& event);
    void TakeFromReadBuffer(int n);
    void AfterWriteAppended();
    void ResumeReading();
    // WriteFromStream, but a sequential device's end of data (-1) is handed back.
    qint64 AppendFromStream(QIODevice* stream, int len);
    void RefillFromSendStream();
    bool SendStreamFinished() const;
    // Releases the send stream, then OnSendStreamDone; false when a handler destroyed this.
    bool EndSendStream();
    // Ends a finished send stream whose last bytes have all left (when its end
    // was learnt only after the drain); false when a handler destroyed this.
    bool FinishDrainedSendStream();
    void MoveToReceiveStream();
    void ReleaseSendStream();
    void ReleaseReceiveStream();
    // A reset or broken TLS is a disconnect; anything else is raised again.
    void HandleSocketError();

    TBufferBlock m_read{1024};
    TBufferBlock m_write{1024};
    int m_recordSize = 16;
    bool m_readStalled = false;
    QIODevice* m_sendStream = nullptr;
    bool m_sendStreamOwned = false;
    bool m_sendStreamEnded = false; // a sequential send stream reported its end
    QIODevice* m_receiveStream = nullptr;
    bool m_receiveStreamOwned = false;
    qint64 m_receiveLeft = 0; // bytes still to move into the receive stream
};

// The buffer block on its own, and the buffered socket's read, write and
// stream operations over loopback.
#include "bufferedfixture.h"

#include "net/bufferblock.h"
#include "net/bufferedsocketbase.h"
#include "support/exceptionrecorder.h"

#include <QBuffer>
#include <QPointer>

#include <algorithm>
#include <cstring>

namespace {
template <class F> QString messageOf(F&& call)
{
    try {
        call();
    } catch (const EBufferedSocketException& e) {
        return e.Message();
    }
    return QStringLiteral("(nothing raised)");
}

const QString resizeLoses = QStringLiteral("Cannot change buffer size - data will be lost.");
} // namespace

TEST(BufferBlock, TakesFromTheFrontAndKeepsTheRestInOrder)
{
    TBufferBlock block(8);
    EXPECT_EQ(block.Append("abcdef", 6), 6);
    block.Remove(4);
    EXPECT_EQ(block.Held(), QByteArrayView("ef"));
    EXPECT_EQ(block.Free(), 6);
    EXPECT_EQ(block.Append("123456789", 9), 6)
        << "only the free room is filled, wrapping the held bytes down";
    EXPECT_EQ(block.Held(), QByteArrayView("ef123456"));
    EXPECT_EQ(block.Append("x", 1), 0);
    EXPECT_EQ(block.Find("\r\n"), -1);
    EXPECT_EQ(block.Find("23"), 3);
    EXPECT_EQ(block.Find(""), -1) << "an empty terminator is never found";
    EXPECT_EQ(messageOf([&] { block.Remove(9); }),
              QStringLiteral("Cannot pull up buffer - amount to pull up larger than total buffer."));
    EXPECT_EQ(block.Held(), QByteArrayView("ef123456"));
    block.Remove(8);
    EXPECT_EQ(block.Count(), 0);
}

TEST(BufferBlock, ResizeKeepsTheHeldBytesOrRaisesAndChangesNothing)
{
    TBufferBlock block(8);
    block.Append("abcdef", 6);
    block.Remove(2);
    EXPECT_EQ(messageOf([&] { block.Resize(3); }), resizeLoses);
    EXPECT_EQ(messageOf([&] { block.Resize(0); }), resizeLoses);
    EXPECT_EQ(block.Size(), 8);
    EXPECT_EQ(block.Held(), QByteArrayView("cdef"));
    block.Resize(4);
    EXPECT_EQ(block.Held(), QByteArrayView("cdef"));
    EXPECT_EQ(block.Free(), 0);
    block.Resize(100);
    EXPECT_EQ(block.Held(), QByteArrayView("cdef"));
    EXPECT_EQ(block.Free(), 96);
    EXPECT_EQ(messageOf([] { TBufferBlock none(0); }), resizeLoses);
}

using TBufferedClient = TConnectedClient<TBufferedSocketBase>;

TEST(BufferedSocket, ReadOperations)
{
    TBufferedClient c;
    c.Open();
    TBufferedSocketBase* s = c.Socket();
    int empties = 0, received = 0;
    s->OnReadBufferEmpty = [&](TBufferedSocketBase*) { ++empties; };
    s->OnDataReceived = [&](TBufferedSocketBase*) { ++received; };
    const QByteArray data("0123456789ABCDEFrest|tail;end");
    c.Peer.Send(data);
    ASSERT_TRUE(PumpUntil([&] { return s->ReadCount() == data.size(); }));
    EXPECT_GE(received, 1);

    char buf[64] = {};
    EXPECT_EQ(messageOf([&] { s->ReadBlock(buf, 0); }),
              QStringLiteral("Cannot read block/record - size is zero."));
    EXPECT_FALSE(s->ReadBlock(buf, 100));
    EXPECT_TRUE(s->ReadRecord(buf));
    EXPECT_EQ(QByteArray(buf, 16), QByteArray("0123456789ABCDEF"));
    QByteArray text;
    EXPECT_FALSE(s->ReadUntil(text, "#", false));
    EXPECT_TRUE(s->ReadUntil(text, "|", false));
    EXPECT_EQ(text, QByteArray("rest"));
    char small[8];
    std::memset(small, '?', sizeof small);
    EXPECT_FALSE(s->ReadUntilPChar(small, 5, true, ";")) << "tail; and its zero byte need 6";
    EXPECT_EQ(small[0], '?');
    EXPECT_TRUE(s->ReadUntilPChar(small, 6, true, ";"));
    EXPECT_STREQ(small, "tail;");
    EXPECT_EQ(empties, 0);
    EXPECT_EQ(s->ReadBuf(buf, 64), 3);
    EXPECT_EQ(QByteArray(buf, 3), QByteArray("end"));
    EXPECT_EQ(empties, 1);
    EXPECT_EQ(s->ReadBuf(buf, 64), 0);
    EXPECT_EQ(empties, 1) << "reading nothing from an empty buffer reports nothing";
}

TEST(BufferedSocket, WriteOperations)
{
    TBufferedClient c;
    c.Open();
    TBufferedSocketBase* s = c.Socket();
    int full = 0, empty = 0, sent = 0;
    s->OnWriteBufferFull = [&](TBufferedSocketBase*) { ++full; };
    s->OnWriteBufferEmpty = [&](TBufferedSocketBase*) { ++empty; };
    s->OnDataSent = [&](TBufferedSocketBase*) { ++sent; };
    s->SetWriteBufferSize(8);
    EXPECT_EQ(messageOf([&] { s->WriteBuf("123456789", 9); }),
              QStringLiteral("Write buffer full, user did not flush"));
    EXPECT_EQ(s->WriteBuf("abcdef", 6), 6);
    EXPECT_EQ(full, 0);
    EXPECT_EQ(s->WriteBuf("ghijkl", 6), 2);
    EXPECT_EQ(full, 1);
    EXPECT_EQ(messageOf([&] { s->WriteBlock("x", 1); }),
              QStringLiteral("Block size is larger than buffer size."));
    EXPECT_TRUE(s->WriteBlock("x", 0));
    EXPECT_FALSE(s->WriteStr("", "!"));
    PumpFor(30);
    EXPECT_TRUE(c.Peer.Take().isEmpty()) << "nothing leaves before Flush";
    s->Flush();
    EXPECT_TRUE(c.Peer.Receives("abcdefgh"));
    EXPECT_EQ(empty, 1);
    EXPECT_GE(sent, 1);

    s->SetRecordSize(4);
    EXPECT_TRUE(s->WriteRecord("rec1rest"));
    EXPECT_TRUE(s->WriteStr("ab", "\n"));
    EXPECT_EQ(messageOf([&] { s->WriteRecord("rec2"); }),
              QStringLiteral("Block size is larger than buffer size."));
    EXPECT_TRUE(s->WritePChar("c", nullptr));
    s->Flush();
    EXPECT_TRUE(c.Peer.Receives("abcdefghrec1ab\nc"));
}

TEST(BufferedSocket, StreamsContinueThroughTheBuffers)
{
    TBufferedClient c;
    c.Open();
    TBufferedSocketBase* s = c.Socket();
    s->SetWriteBufferSize(1000);
    const int small = 4096; // so that the platform soon would block and the stream waits for FD_WRITE
    ::setsockopt(s->Handle(), SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
    QByteArray payload;
    for (int i = 0; payload.size() < 600000; ++i)
        payload += QByteArray::number(i) + ',';

    int sendDone = 0, writable = 0;
    s->OnSendStreamDone = [&](TBufferedSocketBase*) { ++sendDone; };
    c.Client.OnWrite = [&](TSockCtrl*, TSocketBase*) { ++writable; };
    auto* outgoing = new QBuffer;
    outgoing->setData(payload);
    outgoing->open(QIODevice::ReadOnly);
    s->StartSendStream(outgoing, true);
    PumpFor(50); // the peer does not read yet: the platform would block
    EXPECT_EQ(sendDone, 0);
    EXPECT_GT(s->WriteCount(), 0);
    QByteArray arrived;
    ASSERT_TRUE(PumpUntil([&] {
        arrived = c.Peer.Take();
        return arrived.size() >= payload.size();
    }));
    EXPECT_EQ(arrived, payload);
    ASSERT_TRUE(PumpUntil([&] { return sendDone == 1; }));
    EXPECT_GT(writable, 0) << "the stream went on after FD_WRITE";
    EXPECT_FALSE(s->SendingStream());

    c.Peer.Send("head");
    ASSERT_TRUE(PumpUntil([&] { return s->ReadCount() == 4; }));
    QBuffer incoming;
    incoming.open(QIODevice::WriteOnly);
    int receiveDone = 0;
    s->OnReceiveStreamDone = [&](TBufferedSocketBase*) { ++receiveDone; };
    s->StartReceiveStream(&incoming, 3004, false); // the held bytes go first
    EXPECT_EQ(s->ReadCount(), 0);
    c.Peer.Send(QByteArray(3000, 'z') + "after");
    ASSERT_TRUE(PumpUntil([&] { return receiveDone == 1; }));
    EXPECT_EQ(incoming.data(), "head" + QByteArray(3000, 'z'));
    ASSERT_TRUE(PumpUntil([&] { return s->ReadCount() == 5; }));
    EXPECT_EQ(s->ReadBufferData(), QByteArrayView("after")) << "bytes past the target stay in the buffer";
    EXPECT_FALSE(s->ReceivingStream());
    EXPECT_EQ(ExceptionRecorder::Count(), 0u);
}

TEST(BufferedSocket, CloseReleasesAnOwnedStreamAndKeepsTheBuffers)
{
    TBufferedClient c;
    c.Open();
    TBufferedSocketBase* s = c.Socket();
    QPointer<QBuffer> owned = new QBuffer;
    owned->open(QIODevice::WriteOnly);
    s->StartReceiveStream(owned, 1000, true);
    c.Peer.Send("into the stream");
    ASSERT_TRUE(PumpUntil([&] { return owned && owned->data() == "into the stream"; }));
    EXPECT_EQ(s->WriteBuf("unsent", 6), 6);
    c.Client.Close();
    EXPECT_TRUE(owned.isNull()) << "an owned stream is freed by Close";
    EXPECT_FALSE(s->ReceivingStream());
    EXPECT_EQ(s->WriteCount(), 6);
    s->Flush(); // not connected: nothing is sent, nothing raised
    EXPECT_EQ(s->WriteCount(), 6);
}

namespace {
// A device without positions (like a pipe): reads take from the front of what
// was put in; once finished, a read of an empty device reports the end (-1).
class TSequentialDevice : public QIODevice {
public:
    TSequentialDevice() { open(QIODevice::ReadWrite | QIODevice::Unbuffered); }
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override { return m_data.size() + QIODevice::bytesAvailable(); }
    void Put(const QByteArray& bytes, bool finished)
    {
        m_data += bytes;
        m_finished = finished;
    }
    const QByteArray& Data() const { return m_data; }

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        if (m_data.isEmpty())
            return m_finished ? -1 : 0;
        const qint64 n = qMin(maxSize, qint64(m_data.size()));
        std::memcpy(data, m_data.constData(), size_t(n));
        m_data.remove(0, n);
        return n;
    }
    qint64 writeData(const char* data, qint64 size) override
    {
        m_data.append(data, size);
        return size;
    }

private:
    QByteArray m_data;
    bool m_finished = false;
};
} // namespace

TEST(BufferedSocket, StreamsOnSequentialDevices)
{
    TBufferedClient c;
    c.Open();
    TBufferedSocketBase* s = c.Socket();
    int sendDone = 0;
    s->OnSendStreamDone = [&](TBufferedSocketBase*) { ++sendDone; };
    TSequentialDevice outgoing;
    const QByteArray first(3000, 'a');
    outgoing.Put(first, false);
    s->StartSendStream(&outgoing, false);
    EXPECT_TRUE(c.Peer.Receives(first));
    EXPECT_EQ(sendDone, 0) << "nothing to read now is not the end of the stream";
    EXPECT_TRUE(s->SendingStream());
    outgoing.Put("the rest", true);
    s->Flush(); // the stream has more: the transfer goes on
    EXPECT_TRUE(c.Peer.Receives(first + "the rest"));
    ASSERT_TRUE(PumpUntil([&] { return sendDone == 1; }));
    EXPECT_FALSE(s->SendingStream());

    c.Peer.Send("head");
    ASSERT_TRUE(PumpUntil([&] { return s->ReadCount() == 4; }));
    TSequentialDevice incoming;
    int receiveDone = 0;
    s->OnReceiveStreamDone = [&](TBufferedSocketBase*) { ++receiveDone; };
    s->StartReceiveStream(&incoming, 3004, false); // from position 0: 3004 bytes to move
    c.Peer.Send(QByteArray(3000, 'z') + "after");
    ASSERT_TRUE(PumpUntil([&] { return receiveDone == 1; }));
    EXPECT_EQ(incoming.Data(), "head" + QByteArray(3000, 'z'));
    ASSERT_TRUE(PumpUntil([&] { return s->ReadCount() == 5; }));
    EXPECT_EQ(s->ReadBufferData(), QByteArrayView("after"));
    EXPECT_FALSE(s->ReceivingStream());
    EXPECT_EQ(ExceptionRecorder::Count(), 0u);
}

TEST(BufferedSocket, BuffersAreServedBeforeTheOwnersReadAndWriteEvents)
{
    TBufferedClient c;
    c.Open();
    TBufferedSocketBase* s = c.Socket();
    std::vector<QByteArray> log;
    s->OnSendStreamDone = [&](TBufferedSocketBase*) { log.push_back("done"); };
    s->OnWriteBufferEmpty = [&](TBufferedSocketBase*) { log.push_back("empty"); };
    s->OnDataSent = [&](TBufferedSocketBase*) { log.push_back("sent"); };
    c.Client.OnWrite = [&](TSockCtrl*, TSocketBase*) { log.push_back("write"); };
    QBuffer small;
    small.setData("ten bytes!");
    small.open(QIODevice::ReadOnly);
    s->StartSendStream(&small, false);
    EXPECT_EQ(log, (std::vector<QByteArray>{"done", "empty", "sent"}))
        << "the stream ends before the drain is reported";
    EXPECT_TRUE(c.Peer.Receives("ten bytes!"));

    // A stream the platform cannot take at once: every FD_WRITE flushes before OnWrite.
    const int tiny = 4096;
    ::setsockopt(s->Handle(), SOL_SOCKET, SO_SNDBUF, &tiny, sizeof tiny);
    QBuffer big;
    big.setData(QByteArray(600000, 'b'));
    big.open(QIODevice::ReadOnly);
    s->StartSendStream(&big, false);
    PumpFor(50);
    ASSERT_GT(s->WriteCount(), 0) << "the platform would block";
    log.clear();
    ASSERT_TRUE(PumpUntil([&] { return c.Peer.Take().size() >= 600010; }));
    const auto firstWrite = std::find(log.begin(), log.end(), "write");
    ASSERT_NE(firstWrite, log.end());
    ASSERT_NE(firstWrite, log.begin());
    EXPECT_EQ(*(firstWrite - 1), "sent");

    int heldAtRead = -1;
    c.Client.OnRead = [&](TSockCtrl*, TSocketBase*) {
        if (heldAtRead < 0)
            heldAtRead = s->ReadCount();
    };
    c.Peer.Send("12345");
    ASSERT_TRUE(PumpUntil([&] { return heldAtRead >= 0; }));
    EXPECT_EQ(heldAtRead, 5) << "OnRead sees what has been received";
}

TEST(BufferedSocket, WriteLimitsKeepTheHeldBytes)
{
    TBufferedClient c;
    c.Open();
    TBufferedSocketBase* s = c.Socket();
    s->SetWriteBufferSize(8);
    QBuffer stream;
    stream.setData("123456789");
    stream.open(QIODevice::ReadOnly);
    EXPECT_EQ(messageOf([&] { s->WriteFromStream(&stream, 9); }),
              QStringLiteral("Write buffer full, user did not flush"));
    EXPECT_EQ(stream.pos(), 0) << "nothing was taken from the stream";
    EXPECT_EQ(s->WriteFromStream(&stream, 6), 6);
    EXPECT_EQ(messageOf([&] { s->SetWriteBufferSize(5); }), resizeLoses);
    EXPECT_EQ(s->WriteBufferSize(), 8);
    s->SetWriteBufferSize(6);
    EXPECT_EQ(s->WriteBufferFree(), 0);
    s->Flush();
    EXPECT_TRUE(c.Peer.Receives("123456"));
}

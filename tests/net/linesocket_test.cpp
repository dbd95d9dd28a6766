// Line sockets over loopback: line framing across receipts, the terminator
// kinds, a line longer than the buffer, line writes, and peers that reset or
// half-close.
#include "bufferedfixture.h"

#include "net/sockerror.h"
#include "support/exceptionrecorder.h"

#include <QBuffer>
#include <QCoreApplication>

#include <algorithm>
#include <memory>
#include <thread>

using TLineClient = TConnectedClient<TLineSocket>;

namespace {
const QString readBufferFull = QStringLiteral("Read buffer full, user did not flush");
}

TEST(LineSocket, ConstructionDefaults)
{
    TBasicClientSocket client;
    client.SetSocketClass(SocketClassOf<TLineSocket>);
    auto* line = static_cast<TLineSocket*>(client.Socket());
    EXPECT_EQ(line->LineFlags(), 11);
    EXPECT_EQ(line->TerminatorKind(), 2);
    EXPECT_EQ(line->LineTerminator(), QByteArrayView("\r\n"));
    EXPECT_EQ(line->ReadBufferSize(), 1024);
    EXPECT_EQ(line->WriteBufferSize(), 1024);
    EXPECT_EQ(line->RecordSize(), 16);
    char byte = 0;
    for (auto call :
         {+[](TLineSocket*s, char*b) { s->Recv(b, 1); }, +[](TLineSocket*s, char*b) { s->Send(b, 1); }}) {
        try {
            call(line, &byte);
            ADD_FAILURE() << "Send/Recv must raise on a buffered socket";
        } catch (const EBufferedSocketException& e) {
            EXPECT_EQ(e.Message(), QStringLiteral("Recv or Send cannot be called on a buffered socket."));
        }
    }
}

TEST(LineSocket, TwoLinesInOneReceiptArriveInOrderAndAHandlerCanAnswer)
{
    TLineClient c;
    c.Open();
    c.Socket()->OnLine = [&](TLineSocketBase* sender, const QByteArray& line, bool complete) {
        EXPECT_TRUE(complete);
        c.Lines.push_back(line);
        if (line.startsWith("331")) {
            EXPECT_TRUE(static_cast<TLineSocket*>(sender)->WriteLine("PASS x"));
        }
    };
    c.Peer.Send("220 ready\r\n331 need password\r\n");
    ASSERT_TRUE(c.WaitForLines(2));
    EXPECT_EQ(c.Lines, (std::vector<QByteArray>{"220 ready", "331 need password"}));
    EXPECT_TRUE(c.Peer.Receives("PASS x\r\n")) << "WriteLine inside OnLine is sent at once";

    c.Socket()->SetLineFlags(11 | lfKeepTerminator);
    c.Peer.Send("230 in\r\n");
    ASSERT_TRUE(c.WaitForLines(3));
    EXPECT_EQ(c.Lines[2], QByteArray("230 in\r\n"));
    EXPECT_EQ(ExceptionRecorder::Count(), 0u);
}

TEST(LineSocket, LineSplitAcrossReceiptsWaitsForItsWholeTerminator)
{
    TLineClient c;
    c.Open();
    c.Peer.Send("22");
    PumpFor(30);
    c.Peer.Send("0 hello\r");
    PumpFor(50);
    EXPECT_TRUE(c.Lines.empty()) << "a CR without its LF ends no line";
    EXPECT_EQ(c.Socket()->ReadBufferData(), QByteArrayView("220 hello\r"));
    c.Peer.Send("\n21");
    ASSERT_TRUE(c.WaitForLines(1));
    c.Peer.Send("1 x\r\n");
    ASSERT_TRUE(c.WaitForLines(2));
    EXPECT_EQ(c.Lines, (std::vector<QByteArray>{"220 hello", "211 x"}));
    EXPECT_EQ(c.Socket()->ReadCount(), 0);
}

TEST(LineSocket, TerminatorKinds)
{
    TLineClient c;
    c.Open();
    c.Peer.Send("abc\r\r\n"); // CR CR LF: the line keeps the first CR
    ASSERT_TRUE(c.WaitForLines(1));
    EXPECT_EQ(c.Lines[0], QByteArray("abc\r"));

    c.Socket()->SetTerminatorKind(1); // LF: a CR before it stays in the line
    c.Peer.Send("def\r\nghi\n");
    ASSERT_TRUE(c.WaitForLines(3));
    EXPECT_EQ(c.Lines[1], QByteArray("def\r"));
    EXPECT_EQ(c.Lines[2], QByteArray("ghi"));

    c.Socket()->SetTerminatorKind(0); // CR
    c.Peer.Send("j\rk\r\n");
    ASSERT_TRUE(c.WaitForLines(5));
    EXPECT_EQ(c.Lines[3], QByteArray("j"));
    EXPECT_EQ(c.Lines[4], QByteArray("k"));
    EXPECT_EQ(c.Socket()->ReadBufferData(), QByteArrayView("\n"));
    c.Socket()->SetLineFlags(11 & ~lfLineMode);
    c.Peer.Send("\rmore\r");
    PumpFor(50);
    EXPECT_EQ(c.Lines.size(), 5u) << "without line mode no line is delivered";
    EXPECT_EQ(c.Socket()->ReadBufferData(), QByteArrayView("\n\rmore\r"));
}

TEST(LineSocket, LineLongerThanTheBufferReportsOnceStaysIntactAndResumes)
{
    TLineClient c;
    c.Open();
    TLineSocket* line = c.Socket();
    line->SetReadBufferSize(16);
    int fullEvents = 0;
    QByteArray heldWhenFull;
    line->OnReadBufferFull = [&](TBufferedSocketBase* s) {
        ++fullEvents;
        heldWhenFull = s->ReadBufferData().toByteArray();
    };
    const QByteArray longLine(40, 'x');
    c.Peer.Send("short\r\n" + longLine + "\r\nnext\r\n");
    ASSERT_TRUE(PumpUntil([] { return ExceptionRecorder::Count() > 0; }));
    EXPECT_EQ(c.Lines, (std::vector<QByteArray>{"short"})) << "complete lines are taken before the event";
    EXPECT_EQ(fullEvents, 1);
    EXPECT_EQ(heldWhenFull, QByteArray(16, 'x'));
    EXPECT_EQ(ExceptionRecorder::MessageAt(0), readBufferFull);
    ASSERT_NE(ExceptionRecorder::As<EBufferedSocketException>(0), nullptr);

    // The peer's data keeps waiting, but nothing spins and nothing is lost.
    EXPECT_LE(c.ActivityWhilePumping(50), 3) << "the notification already on its way";
    EXPECT_EQ(c.ActivityWhilePumping(300), 0) << "no receive is tried while the buffer stays full";
    EXPECT_EQ(ExceptionRecorder::Count(), 1u);
    EXPECT_EQ(line->ReadBufferData(), QByteArrayView(QByteArray(16, 'x')));
    EXPECT_TRUE(c.Client.Connected());

    line->SetReadBufferSize(64); // room again: the rest arrives and the line is whole
    ASSERT_TRUE(c.WaitForLines(3));
    EXPECT_EQ(c.Lines[1], longLine);
    EXPECT_EQ(c.Lines[2], QByteArray("next"));
    EXPECT_EQ(ExceptionRecorder::Count(), 1u);
}

TEST(LineSocket, AReadFromOnReadBufferFullAvoidsTheException)
{
    TLineClient c;
    c.Open();
    c.Socket()->SetReadBufferSize(8);
    QByteArray partial;
    c.Socket()->OnReadBufferFull = [&](TBufferedSocketBase* s) {
        char chunk[8];
        partial.append(chunk, s->ReadBuf(chunk, sizeof chunk));
    };
    c.Peer.Send("0123456789abcdef-tail\r\n");
    ASSERT_TRUE(c.WaitForLines(1));
    EXPECT_EQ(partial + c.Lines[0], QByteArray("0123456789abcdef-tail"));
    EXPECT_EQ(ExceptionRecorder::Count(), 0u);
}

TEST(LineSocket, WriteLineThatDoesNotFitWritesNothing)
{
    TLineClient c;
    c.Open();
    TLineSocket* line = c.Socket();
    line->SetWriteBufferSize(8);
    EXPECT_FALSE(line->WriteLine("USER anonymous"));
    EXPECT_EQ(line->WriteCount(), 0);
    EXPECT_TRUE(line->WriteLine("NOOP")); // fits: sent at once
    EXPECT_TRUE(c.Peer.Receives("NOOP\r\n"));

    line->SetLineFlags(lfWriteTerminator | lfLineMode); // no flush: the bytes stay held
    EXPECT_TRUE(line->WriteLine("ab"));
    EXPECT_EQ(line->WriteCount(), 4);
    EXPECT_FALSE(line->WriteLine("abcd")); // 6 bytes, 4 free
    EXPECT_EQ(line->WriteCount(), 4);
    EXPECT_TRUE(line->WriteLine("cd"));
    EXPECT_EQ(line->WriteBufferFree(), 0);
    line->SetLineFlags(lfLineMode); // no terminator either
    EXPECT_FALSE(line->WriteLine("x"));
    line->Flush();
    EXPECT_TRUE(c.Peer.Receives("NOOP\r\nab\r\ncd\r\n"));
    EXPECT_TRUE(line->WriteLine("raw"));
    EXPECT_TRUE(line->WritePChar("pc", "!"));
    line->Flush();
    EXPECT_TRUE(c.Peer.Receives("NOOP\r\nab\r\ncd\r\nrawpc!"));
}

TEST(LineSocket, ResizeBelowTheHeldBytesRaisesAndKeepsTheBuffer)
{
    TLineClient c;
    c.Open();
    TLineSocket* line = c.Socket();
    c.Peer.Send("no terminator yet");
    ASSERT_TRUE(PumpUntil([&] { return line->ReadCount() == 17; }));
    for (int size : {16, 0, -5}) {
        try {
            line->SetReadBufferSize(size);
            ADD_FAILURE() << "size " << size << " accepted";
        } catch (const EBufferedSocketException& e) {
            EXPECT_EQ(e.Message(), QStringLiteral("Cannot change buffer size - data will be lost."));
        }
        EXPECT_EQ(line->ReadBufferSize(), 1024);
        EXPECT_EQ(line->ReadBufferData(), QByteArrayView("no terminator yet"));
    }
    EXPECT_THROW(line->SetWriteBufferSize(0), EBufferedSocketException);
    line->SetReadBufferSize(17); // exactly the held bytes: fine
    EXPECT_EQ(line->ReadBufferFree(), 0);
    line->SetReadBufferSize(32);
    c.Peer.Send("\r\n");
    ASSERT_TRUE(c.WaitForLines(1));
    EXPECT_EQ(c.Lines[0], QByteArray("no terminator yet"));
}

TEST(LineSocket, PeerHalfCloseDeliversTheLinesThenDisconnects)
{
    TLineClient c;
    c.Open();
    c.Peer.Send("221 bye\r\nunterminated");
    c.Peer.HalfClose();
    ASSERT_TRUE(PumpUntil([&] { return !c.Events.empty() && c.Events.back() == "info 7"; }));
    EXPECT_EQ(c.Lines, (std::vector<QByteArray>{"221 bye"}));
    EXPECT_EQ(c.Events, (std::vector<QString>{"info 12", "disconnect", "info 7"}));
    EXPECT_EQ(c.Socket()->Handle(), -1);
    EXPECT_EQ(c.Socket()->ReadBufferData(), QByteArrayView("unterminated")) << "Close keeps the buffers";
    EXPECT_EQ(c.ActivityWhilePumping(200), 0);
    EXPECT_EQ(ExceptionRecorder::Count(), 0u);

    // Opening the same object again starts with empty buffers.
    TLoopbackPeer second;
    c.Client.SetPort(QString::number(second.Port()));
    c.Client.Open(SocketClassOf<TLineSocket>);
    EXPECT_EQ(c.Socket()->ReadCount(), 0);
    ASSERT_TRUE(second.Accept());
    second.Send("220 again\r\n");
    ASSERT_TRUE(c.WaitForLines(2));
    EXPECT_EQ(c.Lines[1], QByteArray("220 again"));
}

TEST(LineSocket, PeerResetWhileReadingIsADisconnect)
{
    TLineClient c;
    c.Open();
    c.Peer.Send("220 hi\r\n");
    ASSERT_TRUE(c.WaitForLines(1));
    c.Peer.Send("partial");
    c.Peer.Reset();
    ASSERT_TRUE(PumpUntil([&] { return !c.Events.empty() && c.Events.back() == "info 7"; }));
    EXPECT_EQ(c.Events, (std::vector<QString>{"info 12", "disconnect", "info 7"}));
    EXPECT_EQ(ExceptionRecorder::Count(), 0u) << "a reset is no error";
    EXPECT_EQ(c.ActivityWhilePumping(200), 0);
}

TEST(LineSocket, PeerResetMetByAWriteIsADisconnect)
{
    TLineClient c;
    c.Open();
    const int mine = c.Socket()->Handle();
    c.Peer.Reset();
    // Wait (without running the event loop) until the reset has reached the socket.
    pollfd watch{mine, POLLIN, 0};
    ASSERT_EQ(::poll(&watch, 1, 3000), 1);
    EXPECT_TRUE(c.Socket()->WriteLine("QUIT"));
    EXPECT_EQ(c.Events, (std::vector<QString>{"info 12", "disconnect", "info 7"}));
    EXPECT_FALSE(c.Client.Connected());
    PumpFor(50);
    EXPECT_EQ(c.Events.size(), 3u) << "no second disconnect from the close notification";
    EXPECT_EQ(ExceptionRecorder::Count(), 0u);
}

TEST(LineSocket, APeerThatSendsNothingCostsNothing)
{
    TLineClient c;
    c.Open();
    EXPECT_EQ(c.ActivityWhilePumping(300), 0);
    EXPECT_LT(CpuMsWhilePumping(300), 100.0);
    EXPECT_TRUE(c.Lines.empty());
    EXPECT_TRUE(c.Client.Connected());
}

TEST(LineSocket, HandlerThatDestroysTheComponentStopsTheDelivery)
{
    auto c = std::make_unique<TLineClient>();
    c->Open();
    int lines = 0;
    c->Socket()->OnLine = [&](TLineSocketBase*, const QByteArray&, bool) {
        ++lines;
        c.reset();
    };
    c->Peer.Send("1\r\n2\r\n3\r\n");
    ASSERT_TRUE(PumpUntil([&] { return lines > 0; }));
    PumpFor(50);
    EXPECT_EQ(lines, 1);
}

TEST(LineSocket, CloseFromOnLineStillDeliversTheLinesAlreadyReceived)
{
    TLineClient c;
    c.Open();
    c.Socket()->OnLine = [&](TLineSocketBase*, const QByteArray& line, bool) {
        c.Lines.push_back(line);
        if (line == "421 closing")
            c.Client.Close();
    };
    c.Peer.Send("421 closing\r\n221 after\r\n");
    ASSERT_TRUE(c.WaitForLines(2));
    EXPECT_EQ(c.Lines, (std::vector<QByteArray>{"421 closing", "221 after"}));
    EXPECT_EQ(c.Events, (std::vector<QString>{"info 7"})) << "a close the program asks for is no disconnect";
    PumpFor(50);
    EXPECT_EQ(ExceptionRecorder::Count(), 0u) << "nothing is received from the closed socket";
}

TEST(LineSocket, SendingAndReceivingReportsMayChangeTheBuffers)
{
    TLineClient c;
    c.Open();
    TLineSocket* line = c.Socket();
    bool wrote = false;
    c.Client.OnInfo = [&](TSockCtrl*, TSockInfo code, TSocketBase*) {
        if (code == icSending && !wrote) {
            wrote = true;
            EXPECT_TRUE(line->WriteLine("B"));
        }
    };
    EXPECT_TRUE(line->WriteLine("A"));
    EXPECT_TRUE(c.Peer.Receives("A\r\nB\r\n"));
    PumpFor(30);
    EXPECT_EQ(c.Peer.Take(), QByteArray("A\r\nB\r\n")) << "nothing is sent twice";
    EXPECT_EQ(line->WriteCount(), 0);

    c.Peer.Send("head");
    ASSERT_TRUE(PumpUntil([&] { return line->ReadCount() == 4; }));
    QByteArray taken;
    bool emptied = false;
    c.Client.OnInfo = [&](TSockCtrl*, TSockInfo code, TSocketBase*) {
        if (code == icReceiving && !emptied) {
            emptied = true;
            char chunk[16];
            taken.append(chunk, line->ReadBuf(chunk, sizeof chunk));
        }
    };
    c.Peer.Send("220 next\r\n");
    ASSERT_TRUE(c.WaitForLines(1));
    EXPECT_EQ(taken, QByteArray("head"));
    EXPECT_EQ(c.Lines, (std::vector<QByteArray>{"220 next"}));
    EXPECT_EQ(line->ReadCount(), 0);
    EXPECT_EQ(ExceptionRecorder::Count(), 0u);
}

TEST(LineSocket, HandlersMayDestroyTheComponentInsideLineAndStreamOperations)
{
    {
        auto c = std::make_unique<TLineClient>();
        c->Open();
        int lines = 0, empties = 0;
        c->Socket()->OnLine = [&](TLineSocketBase*, const QByteArray&, bool) { ++lines; };
        c->Socket()->OnReadBufferEmpty = [&](TBufferedSocketBase*) {
            ++empties;
            c.reset();
        };
        c->Peer.Send("220 hi\r\n");
        ASSERT_TRUE(PumpUntil([&] { return !c; }));
        PumpFor(30);
        EXPECT_EQ(empties, 1);
        EXPECT_EQ(lines, 0) << "a destroyed socket delivers nothing";
    }
    {
        auto c = std::make_unique<TLineClient>();
        c->Open();
        c->Socket()->SetWriteBufferSize(6);
        int full = 0;
        c->Socket()->OnWriteBufferFull = [&](TBufferedSocketBase*) {
            ++full;
            c.reset();
        };
        EXPECT_TRUE(c->Socket()->WriteLine("NOOP")) << "exactly fills the buffer";
        EXPECT_EQ(full, 1);
        EXPECT_FALSE(c);
    }
    // A send stream refill that fills the buffer: at the start (1) and after a flush (2).
    for (int destroyAt : {1, 2}) {
        auto c = std::make_unique<TLineClient>();
        c->Open();
        c->Socket()->SetWriteBufferSize(8);
        QBuffer stream;
        stream.setData(QByteArray(100, 's'));
        stream.open(QIODevice::ReadOnly);
        int full = 0;
        c->Socket()->OnWriteBufferFull = [&](TBufferedSocketBase*) {
            if (++full == destroyAt)
                c.reset();
        };
        c->Socket()->StartSendStream(&stream, false);
        EXPECT_EQ(full, destroyAt);
        EXPECT_FALSE(c);
    }
    EXPECT_EQ(ExceptionRecorder::Count(), 0u);
}

TEST(LineSocket, ASocketErrorRaisedByAHandlerIsReportedNotTakenForAReset)
{
    TLineClient c;
    c.Open();
    TLineSocket* line = c.Socket();
    line->SetReadBufferSize(8); // the line fills the buffer: it is taken while the buffer is full
    const int mine = line->Handle();
    line->OnLine = [&](TLineSocketBase* sender, const QByteArray& text, bool) {
        c.Lines.push_back(text);
        c.Peer.Reset();
        pollfd watch{mine, POLLIN, 0};
        ASSERT_EQ(::poll(&watch, 1, 3000), 1);
        static_cast<TLineSocket*>(sender)->WriteLine("QUIT"); // meets the reset
    };
    // The disconnect handler fails with a socket error of its own (say, from
    // another component), which leaves the reset socket open.
    std::vector<std::size_t> reportedAtDisconnect;
    c.Client.OnDisconnect = [&](TSockCtrl*, TSocketBase*) {
        reportedAtDisconnect.push_back(ExceptionRecorder::Count());
        if (reportedAtDisconnect.size() == 1)
            throw ESockError(QStringLiteral("another component failed"));
    };
    c.Peer.Send("220 hi\r\n");
    ASSERT_TRUE(PumpUntil([&] { return ExceptionRecorder::Count() > 0 || reportedAtDisconnect.size() > 1; }));
    PumpFor(50);
    EXPECT_EQ(c.Lines, (std::vector<QByteArray>{"220 hi"}));
    ASSERT_EQ(ExceptionRecorder::Count(), 1u) << "the handler's error is reported, not swallowed";
    EXPECT_EQ(ExceptionRecorder::MessageAt(0), QStringLiteral("another component failed"));
    EXPECT_NE(ExceptionRecorder::As<ESockError>(0), nullptr);
    ASSERT_FALSE(reportedAtDisconnect.empty());
    EXPECT_EQ(std::count(reportedAtDisconnect.begin(), reportedAtDisconnect.end(), 0u), 1)
        << "one disconnect before the report; a later one is the close notification of the open socket";
}

TEST(LineSocket, LineWritesFlushOnlyWithLineFlagsBit2)
{
    TLineClient c;
    c.Open();
    TLineSocket* line = c.Socket();
    EXPECT_TRUE(line->WritePChar("NOOP", "\r\n"));
    EXPECT_TRUE(c.Peer.Receives("NOOP\r\n")) << "sent without a Flush of the caller";
    line->SetLineFlags(11 & ~lfFlushWrites);
    EXPECT_TRUE(line->WritePChar("STAT", "\r\n"));
    EXPECT_TRUE(line->WriteLine("QUIT"));
    PumpFor(30);
    EXPECT_EQ(c.Peer.Take(), QByteArray("NOOP\r\n"));
    EXPECT_EQ(line->WriteCount(), 12);
    line->Flush();
    EXPECT_TRUE(c.Peer.Receives("NOOP\r\nSTAT\r\nQUIT\r\n"));
}

TEST(LineSocket, AFloodOfLinesLetsTheEventLoopRunBetweenSlices)
{
    // A peer that sends lines faster than they are handled must not keep one
    // read notification going until it stops: an event posted at the first
    // line is handled before most of the flood has been read (counted in
    // lines, so the machine's speed does not matter).
    TLineClient c;
    c.Open();
    c.Socket()->SetReadBufferSize(4096);
    std::size_t lines = 0;
    std::size_t linesAtFirstTick = 0; // when the posted event ran
    c.Socket()->OnLine = [&](TLineSocketBase*, const QByteArray&, bool) {
        for (volatile int work = 0; work < 300; work = work + 1) // a handler slower than the sender
        {
        }
        if (++lines == 1)
            QMetaObject::invokeMethod(
                qApp, [&] { linesAtFirstTick = lines; }, Qt::QueuedConnection);
    };
    const QByteArray pattern = "211-a line of a long reply\r\n";
    constexpr int blocks = 24;
    const QByteArray block = pattern.repeated((1 << 20) / pattern.size());
    const std::size_t total = std::size_t(blocks) * std::size_t(block.size() / pattern.size());
    std::thread sender([fd = c.Peer.Connection(), &block] {
        for (int i = 0; i < blocks; ++i)
            for (qsizetype sent = 0; sent < block.size();) {
                const ssize_t n =
                    ::send(fd, block.constData() + sent, size_t(block.size() - sent), MSG_NOSIGNAL);
                if (n <= 0)
                    return;
                sent += n;
            }
    });
    const bool all = PumpUntil([&] { return lines == total; }, 60000);
    sender.join();
    ASSERT_TRUE(all) << lines << " of " << total;
    EXPECT_GT(linesAtFirstTick, 0u);
    EXPECT_LT(linesAtFirstTick, total / 4) << "the posted event ran only after most of the flood";
    EXPECT_EQ(ExceptionRecorder::Count(), 0u);
}

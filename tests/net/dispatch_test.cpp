// Component life cycle, the notification queue and its delivery rules, and
// the socket object's Close.
#include "netfixture.h"

#include "net/sockerror.h"
#include "support/exceptionrecorder.h"

#include <memory>

namespace {
// A wait on a task that only ends when the test answers it.
constexpr quint32 heldTask = 900001;

void answerHeldTask(TSockCtrl* component)
{
    TSockMessage done;
    done.Msg = LookupDone;
    done.WParam = heldTask;
    component->Window()->Post(done);
}

void selectRead(TSockCtrl* component, int handle)
{
    ASSERT_EQ(WinsockAPI().WSAAsyncSelect(handle, component->Window(), SocketNotify, FD_READ | FD_CLOSE), 0);
}
// Run from inside a held wait: writes to first's peer and, once that
// notification is held, to second's; once both are held, runs whileHeld and
// answers the waiter's task, which ends the wait.
void HoldTwoThenAnswer(TSockCtrl* waiter, const TSocketPair& first, const TSocketPair& second,
                       std::function<void()> whileHeld = {})
{
    auto step = std::make_shared<int>(0);
    RunSteps([=, &first, &second] {
        if (*step == 0) {
            first.Write("1");
            ++*step;
        } else if (*step == 1 && SockDispatcher().HeldCount() == 1) {
            second.Write("2");
            ++*step;
        } else if (*step == 2 && SockDispatcher().HeldCount() == 2) {
            if (whileHeld)
                whileHeld();
            answerHeldTask(waiter);
            return true;
        }
        return false;
    });
}

// Two components reading a socket pair each, and a third one that waits.
struct TTwoReaders {
    std::vector<TNotification> Log;
    TRecordingCtrl A{&Log}, Waiter{&Log}, C{&Log};
    TSocketPair PairA, PairC;
    TTwoReaders()
    {
        A.TestSocket()->Adopt(PairA.Mine);
        C.TestSocket()->Adopt(PairC.Mine);
        selectRead(&A, PairA.Mine);
        selectRead(&C, PairC.Mine);
    }
};
} // namespace

TEST(SocketLibrary, StartsOnceForTwoComponentsAndCleansUpAfterBoth)
{
    ASSERT_FALSE(WinsockStarted());
    auto first = std::make_unique<TRecordingCtrl>();
    ASSERT_TRUE(WinsockStarted());
    const tWinsockAPI* binding = &WinsockAPI();
    auto second = std::make_unique<TRecordingCtrl>();
    EXPECT_EQ(&WinsockAPI(), binding) << "the second component must not start the library again";
    first.reset();
    EXPECT_TRUE(WinsockStarted()) << "cleaned up while a component lives";
    second.reset();
    EXPECT_FALSE(WinsockStarted());
    TRecordingCtrl third; // a later component starts a fresh binding
    EXPECT_TRUE(WinsockStarted());
}

TEST(Dispatch, NotificationsHeldDuringWaitThenDeliveredInArrivalOrder)
{
    TTwoReaders r;
    auto& [log, a, waiter, c, pairA, pairC] = r;
    bool waiting = false;
    std::vector<bool> deliveredWhileWaiting;
    auto record = [&](const TSockNotice&) { deliveredWhileWaiting.push_back(waiting); };
    a.OnSelect = record;
    c.OnSelect = record;

    HoldTwoThenAnswer(&waiter, pairA, pairC);
    waiting = true;
    EXPECT_EQ(waiter.WaitForLookup(heldTask), 0);
    waiting = false;
    EXPECT_TRUE(log.empty());
    ASSERT_TRUE(PumpUntil([&] { return log.size() == 2; }));
    EXPECT_EQ(log[0], (TNotification{&a, pairA.Mine, FD_READ, 0}));
    EXPECT_EQ(log[1], (TNotification{&c, pairC.Mine, FD_READ, 0}));
    EXPECT_EQ(deliveredWhileWaiting, (std::vector<bool>{false, false}));
    EXPECT_EQ(SockDispatcher().WaitDepth(), 0);
}

TEST(Dispatch, AHeldNotificationsHandlerWaitingInTheEventLoopReceivesTheOnesBehindIt)
{
    // As a session's reply handler that waits for its data connection's close,
    // after a lookup held both notifications back.
    TTwoReaders r;
    auto& [log, a, waiter, c, pairA, pairC] = r;
    bool sawTheOtherInside = false;
    a.OnSelect = [&](const TSockNotice&) {
        sawTheOtherInside = PumpUntil([&] { return c.Count(FD_READ) == 1; }, 3000);
    };
    HoldTwoThenAnswer(&waiter, pairA, pairC);
    EXPECT_EQ(waiter.WaitForLookup(heldTask), 0);
    ASSERT_TRUE(PumpUntil([&] { return log.size() == 2; }));
    EXPECT_TRUE(sawTheOtherInside) << "the held notification behind the waiting handler's never came";
    EXPECT_EQ(log[0].Component, &a);
    EXPECT_EQ(log[1].Component, &c);
}

TEST(Dispatch, ClosingVoidsEveryQueuedNotificationOfTheComponent)
{
    // The other handle has data waiting, or its peer has closed.
    for (int event : {FD_READ, FD_CLOSE}) {
        SCOPED_TRACE(event);
        std::vector<TNotification> log;
        TRecordingCtrl a(&log), waiter(&log), c(&log);
        TSocketPair own, other, pairC;
        a.TestSocket()->Adopt(own.Mine);
        selectRead(&a, other.Mine); // a second handle routed to the same component
        selectRead(&c, pairC.Mine);
        int step = 0;
        RunSteps([&] {
            switch (step) {
            case 0:
                if (event == FD_READ) {
                    other.Write("x");
                } else {
                    ::close(other.Peer);
                    other.Peer = -1;
                }
                ++step;
                return false;
            case 1:
                if (SockDispatcher().HeldCount() == 1) {
                    pairC.Write("y");
                    ++step;
                }
                return false;
            case 2:
                if (SockDispatcher().HeldCount() == 2) {
                    a.Socket()->Close(); // posts SocketClosed, handled within the wait
                    ++step;
                }
                return false;
            case 3:
                answerHeldTask(&waiter);
                return true;
            }
            return true;
        });
        waiter.WaitForLookup(heldTask);
        ASSERT_TRUE(PumpUntil([&] { return log.size() >= 2; }));
        PumpFor(50);
        // The other handle's notification was voided in its place before c's; as it
        // still holds (data unread, or the close), that handle raises it again
        // afterwards: postponed, not lost.
        ASSERT_EQ(log.size(), 2u);
        EXPECT_EQ(log[0].Component, &c);
        EXPECT_EQ(log[1], (TNotification{&a, other.Mine, event, 0}));
        WinsockAPI().closesocket(other.Mine);
    }
}

namespace {
// Two components with a read notification each, the first one to be
// destroyed, and a third that will wait for a lookup while both are held.
struct TDoomedAndSurvivor {
    std::vector<TNotification> log;
    std::unique_ptr<TRecordingCtrl> doomed = std::make_unique<TRecordingCtrl>(&log);
    TRecordingCtrl waiter{&log}, c{&log};
    TSocketPair pairD, pairC;
    TDoomedAndSurvivor()
    {
        doomed->TestSocket()->Adopt(pairD.Mine);
        c.TestSocket()->Adopt(pairC.Mine);
        selectRead(doomed.get(), pairD.Mine);
        selectRead(&c, pairC.Mine);
    }
};
} // namespace

TEST(Dispatch, NothingReachesAComponentDestroyedWhileItsNotificationWaits)
{
    TDoomedAndSurvivor t;
    auto& [log, doomed, waiter, c, pairD, pairC] = t;
    HoldTwoThenAnswer(&waiter, pairD, pairC, [&] { doomed.reset(); });
    waiter.WaitForLookup(heldTask);
    ASSERT_TRUE(PumpUntil([&] { return !log.empty(); }));
    PumpFor(50);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].Component, &c);
}

TEST(Dispatch, AHeldNotificationsHandlerMayDestroyItsComponentAndTheNextOneStillArrives)
{
    TDoomedAndSurvivor t;
    auto& [log, doomed, waiter, c, pairD, pairC] = t;
    doomed->OnSelect = [&](const TSockNotice&) { doomed.reset(); };
    HoldTwoThenAnswer(&waiter, pairD, pairC);
    EXPECT_EQ(waiter.WaitForLookup(heldTask), 0);
    ASSERT_TRUE(PumpUntil([&] { return log.size() == 2; }));
    EXPECT_FALSE(doomed);
    EXPECT_EQ(log[1], (TNotification{&c, pairC.Mine, FD_READ, 0}));
}

TEST(Dispatch, HandlerExceptionsAreReportedAndDeliveryGoesOn)
{
    std::vector<TNotification> log;
    TRecordingCtrl a(&log);
    TSocketPair pair;
    a.TestSocket()->Adopt(pair.Mine);
    selectRead(&a, pair.Mine);
    a.OnSelect = [&](const TSockNotice&) {
        char buffer[8];
        a.Socket()->Recv(buffer, sizeof buffer);
        throw ESockError("handler failed");
    };
    pair.Write("1");
    ASSERT_TRUE(PumpUntil([&] { return ExceptionRecorder::Count() == 1; }));
    EXPECT_EQ(ExceptionRecorder::MessageAt(0), "handler failed");
    pair.Write("2");
    ASSERT_TRUE(PumpUntil([&] { return ExceptionRecorder::Count() == 2; }));
    EXPECT_EQ(log.size(), 2u);
}

TEST(SocketClose, ClosedHandleDoesNothingOpenOneReportsAndDrains)
{
    TRecordingCtrl a;
    std::vector<TSockInfo> infos;
    a.OnInfo = [&](TSockCtrl* sender, TSockInfo code, TSocketBase* socket) {
        EXPECT_EQ(sender, &a);
        EXPECT_EQ(socket, a.Socket());
        infos.push_back(code);
    };
    a.Socket()->Close(); // Handle -1: nothing at all
    EXPECT_TRUE(infos.empty());

    TSocketPair pair;
    a.TestSocket()->Adopt(pair.Mine);
    a.Socket()->SetState(ssConnected);
    pair.Write("unread input");
    QByteArray drained;
    a.OnRead = [&](TSockCtrl*, TSocketBase* socket) {
        char buffer[5];
        const int n = socket->Recv(buffer, sizeof buffer);
        drained.append(buffer, n);
    };
    a.SetCountdown(7);
    a.Socket()->Close();
    EXPECT_EQ(drained, "unread input");
    EXPECT_EQ(infos, (std::vector<TSockInfo>{icClosed}));
    EXPECT_EQ(a.Socket()->Handle(), -1);
    EXPECT_EQ(a.Socket()->State(), ssInactive);
    EXPECT_EQ(a.Countdown(), 0);
    a.Socket()->Close(); // a double close is harmless
    EXPECT_EQ(infos.size(), 1u);
}

TEST(SocketClose, DrainStopsWhenTheReadHandlerTakesNothing)
{
    TRecordingCtrl a;
    TSocketPair pair;
    a.TestSocket()->Adopt(pair.Mine);
    a.Socket()->SetState(ssConnected);
    pair.Write("ignored");
    int reads = 0;
    a.OnRead = [&](TSockCtrl*, TSocketBase*) { ++reads; };
    a.Socket()->Close();
    EXPECT_EQ(reads, 1);
    EXPECT_EQ(a.Socket()->Handle(), -1);
}

TEST(SocketBase, CheckErrorBytesAvailableAndLocalPort)
{
    TRecordingCtrl a;
    TTestSocket* socket = a.TestSocket();
    EXPECT_EQ(socket->LocalPort(), 0);
    const int handle = WinsockAPI().socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(handle, 0);
    socket->Adopt(handle);
    sockaddr_in address = Loopback(0);
    ASSERT_EQ(WinsockAPI().bind(handle, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    EXPECT_GT(socket->LocalPort(), 0);
    EXPECT_EQ(socket->BytesAvailable(), 0);

    char byte;
    EXPECT_EQ(socket->CheckError(WinsockAPI().recv(handle, &byte, 1, 0), 10057, sockErrReceiving), 0);
    EXPECT_EQ(socket->LastError(), 10057);
    try {
        socket->CheckError(WinsockAPI().recv(handle, &byte, 1, 0), 0, sockErrReceiving);
        ADD_FAILURE() << "no exception";
    } catch (const ESockError& e) {
        EXPECT_EQ(e.Message(), "Error 10057 (Socket is not connected) recieving");
    }
    EXPECT_EQ(socket->CheckError(5, 0, sockErrReceiving), 5);
    EXPECT_EQ(socket->LastError(), 0);
    socket->Close();
    try {
        socket->BytesAvailable();
        ADD_FAILURE() << "no exception";
    } catch (const ESockError& e) {
        EXPECT_EQ(e.Message(), "Error 10009 (Bad file number) getting # of bytes in Receive Buffer");
    }
}

TEST(SocketClass, NoneRaisesAndChangingItReplacesTheObject)
{
    class TBare : public TSockCtrl {
    public:
        TBare() : TSockCtrl(nullptr, nullptr) {}
        void HandleSelect(const TSockNotice&) override {}
    } bare;
    try {
        bare.Socket();
        ADD_FAILURE() << "no exception";
    } catch (const ESockError& e) {
        EXPECT_EQ(e.Message(), "No Socket Class Defined");
    }
    bare.SetSocketClass(SocketClassOf<TTestSocket>);
    TSocketBase* first = bare.Socket();
    bare.SetSocketClass(SocketClassOf<TTestSocket>);
    EXPECT_EQ(bare.Socket(), first);
}

TEST(AsyncRequests, CompletionFiresOnceForTheMatchingTask)
{
    TRecordingCtrl a;
    auto request = std::make_unique<TAsyncInfo>();
    request->TaskHandle = 31;
    a.AddAsyncRequest(std::move(request));
    std::vector<std::pair<quint32, quint16>> done;
    a.OnAsyncComplete = [&](TSockCtrl* sender, TAsyncInfo* info) {
        EXPECT_EQ(sender, &a);
        done.emplace_back(info->TaskHandle, info->Error);
    };
    TSockMessage message;
    message.Msg = AsyncDone;
    message.WParam = 30; // not queued: ignored
    message.LParam = MakeLong(0, 11001);
    a.Window()->Post(message);
    message.WParam = 31;
    a.Window()->Post(message);
    a.Window()->Post(message); // already removed: ignored
    PumpFor(50);
    EXPECT_EQ(done, (std::vector<std::pair<quint32, quint16>>{{31, 11001}}));
}

TEST(AsyncSelect, DatagramSocketReportsWriteThenEachReceipt)
{
    TRecordingCtrl a;
    tWinsockAPI& api = WinsockAPI();
    const int handle = api.socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address = Loopback(0);
    ASSERT_EQ(api.bind(handle, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    int length = sizeof address;
    api.getsockname(handle, reinterpret_cast<sockaddr*>(&address), &length);
    ASSERT_EQ(api.WSAAsyncSelect(handle, a.Window(), SocketNotify, FD_READ | FD_WRITE), 0);
    ASSERT_TRUE(PumpUntil([&] { return a.Count(FD_WRITE) == 1; }));
    for (int i = 0; i < 2; ++i)
        ASSERT_EQ(api.sendto(handle, "d", 1, 0, reinterpret_cast<sockaddr*>(&address), sizeof address), 1);
    ASSERT_TRUE(PumpUntil([&] { return a.Count(FD_READ) == 1; }));
    char byte;
    sockaddr_in from{};
    int fromLength = sizeof from;
    EXPECT_EQ(api.recvfrom(handle, &byte, 1, 0, reinterpret_cast<sockaddr*>(&from), &fromLength), 1);
    EXPECT_EQ(from.sin_port, address.sin_port);
    ASSERT_TRUE(PumpUntil([&] { return a.Count(FD_READ) == 2; }));
    EXPECT_EQ(api.recv(handle, &byte, 1, 0), 1);
    PumpFor(50);
    EXPECT_EQ(a.Count(FD_READ), 2);
    EXPECT_EQ(a.Count(FD_WRITE), 1);
    api.closesocket(handle);
}

TEST(Dispatch, AHandlerMayDestroyItsOwnComponent)
{
    std::vector<TNotification> log;
    auto self = std::make_unique<TRecordingCtrl>(&log);
    TRecordingCtrl other(&log);
    TSocketPair mine, theirs;
    self->TestSocket()->Adopt(mine.Mine);
    other.TestSocket()->Adopt(theirs.Mine);
    selectRead(self.get(), mine.Mine);
    selectRead(&other, theirs.Mine);
    self->OnSelect = [&](const TSockNotice&) { self.reset(); };
    mine.Write("1");
    ASSERT_TRUE(PumpUntil([&] { return !self; }));
    theirs.Write("2");
    ASSERT_TRUE(PumpUntil([&] { return log.size() == 2; }));
    EXPECT_EQ(log[1].Component, &other);
}

namespace {
// Queues a request for task on component and posts its completion.
void completeRequest(TRecordingCtrl& component, quint32 task)
{
    auto request = std::make_unique<TAsyncInfo>();
    request->TaskHandle = task;
    component.AddAsyncRequest(std::move(request));
    TSockMessage done;
    done.Msg = AsyncDone;
    done.WParam = task;
    component.Window()->Post(done);
}
} // namespace

TEST(MessageQueue, AHandlerWaitingInTheEventLoopReceivesTheMessagesBehindItsOwn)
{
    TRecordingCtrl a, b;
    std::vector<quint32> order;
    bool waitEnded = false;
    a.OnAsyncComplete = [&](TSockCtrl*, TAsyncInfo* info) {
        order.push_back(info->TaskHandle);
        waitEnded = PumpUntil([&] { return order.size() == 3; }, 3000);
    };
    b.OnAsyncComplete = [&](TSockCtrl*, TAsyncInfo* info) { order.push_back(info->TaskHandle); };
    completeRequest(a, 1);
    completeRequest(b, 2);
    completeRequest(b, 3);
    ASSERT_TRUE(PumpUntil([&] { return order.size() == 3; }));
    EXPECT_TRUE(waitEnded) << "the messages queued behind the waiting handler's were not delivered";
    EXPECT_EQ(order, (std::vector<quint32>{1, 2, 3}));
}

TEST(MessageQueue, AFloodOfMessagesLeavesTheEventLoopItsTurn)
{
    // Every delivery posts the next message, as a fast download does.
    constexpr int flood = 200000;
    TRecordingCtrl a;
    int delivered = 0;
    a.OnAsyncComplete = [&](TSockCtrl*, TAsyncInfo*) {
        if (++delivered < flood)
            completeRequest(a, quint32(delivered + 1));
    };
    int deliveredWhenTimerFired = -1;
    QTimer::singleShot(1, [&] { deliveredWhenTimerFired = delivered; });
    completeRequest(a, 1);
    ASSERT_TRUE(PumpUntil([&] { return delivered == flood; }, 30000));
    EXPECT_GE(deliveredWhenTimerFired, 0);
    EXPECT_LT(deliveredWhenTimerFired, flood) << "the timer waited for the whole flood";
}

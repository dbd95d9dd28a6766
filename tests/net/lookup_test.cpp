// Address properties, name and service lookups, and time-outs.
#include "netfixture.h"

#include "net/sockerror.h"
#include "net/timeoutlist.h"
#include "support/exceptionrecorder.h"

#include <QElapsedTimer>

#include <memory>

namespace {
QString lookupHostError(TSockCtrl& component, const QString& name)
{
    try {
        component.LookupHost(name);
    } catch (const ESockError& e) {
        return e.Message();
    }
    return QStringLiteral("<nothing raised>");
}
} // namespace

TEST(AddressProperties, ProtocolTable)
{
    TRecordingCtrl c;
    EXPECT_EQ(c.Protocol(), "tcp");
    EXPECT_EQ(c.ProtocolNumber(), 6);
    c.SetProtocol("6");
    EXPECT_EQ(c.ProtocolName(), "TCP");
    EXPECT_EQ(c.ProtocolNumber(), 6);
    c.SetProtocol("udp");
    EXPECT_EQ(c.ProtocolName(), "udp");
    EXPECT_EQ(c.ProtocolNumber(), 17);
    c.SetProtocol("99");
    EXPECT_EQ(c.ProtocolName(), "");
    EXPECT_EQ(c.ProtocolNumber(), 99);
    c.SetProtocol("sctp");
    EXPECT_EQ(c.ProtocolName(), "sctp");
    EXPECT_EQ(c.ProtocolNumber(), -1);
}

TEST(AddressProperties, AddressSplitsIntoDottedAddressOrHostName)
{
    TRecordingCtrl c;
    EXPECT_EQ(c.IPAddress(), "0.0.0.0");
    c.SetAddress("127.0.0.1");
    EXPECT_EQ(c.IPAddress(), "127.0.0.1");
    EXPECT_EQ(c.HostName(), "");
    c.SetAddress("localhost");
    EXPECT_EQ(c.HostName(), "localhost");
    EXPECT_EQ(c.IPAddress(), "");
    c.SetAddress(QString(300, 'h'));
    EXPECT_EQ(c.Address().size(), 255);
    c.SetAddress(QString()); // cleared: any interface again, as never set
    EXPECT_EQ(c.IPAddress(), "0.0.0.0");
    EXPECT_EQ(c.HostName(), "");
}

TEST(AddressProperties, PortFillsServiceNameAndServiceNameFillsPort)
{
    TRecordingCtrl c;
    c.SetPort("21");
    EXPECT_EQ(c.PortNumber(), 21);
    EXPECT_EQ(c.ServiceName(), "ftp");
    c.SetPort("ftp");
    EXPECT_EQ(c.PortNumber(), 21);
    EXPECT_EQ(c.ServiceName(), "ftp");
    c.SetPort("no-such-service-here");
    EXPECT_EQ(c.PortNumber(), 0);
    EXPECT_EQ(c.ServiceName(), "no-such-service-here");
    c.SetPort("1");
    EXPECT_EQ(c.PortNumber(), 1);
    c.SetPort("7099"); // a number the services database does not know
    EXPECT_EQ(c.PortNumber(), 7099);
    EXPECT_EQ(c.ServiceName(), "");
    c.SetProtocol("6"); // canonical upper-case name still finds the service
    c.SetPort("21");
    EXPECT_EQ(c.ServiceName(), "ftp");
    c.SetPort("70000"); // not a port number
    EXPECT_EQ(c.PortNumber(), 0);
    EXPECT_EQ(c.ServiceName(), "70000");
    EXPECT_EQ(c.LookupService(QString(65, 'f')), 0) << "over-long names are refused";
}

TEST(Lookups, HostsAndReverse)
{
    TRecordingCtrl c;
    EXPECT_EQ(c.LookupHost("localhost"), htonl(INADDR_LOOPBACK));
    const QString own = c.LocalHostName();
    ASSERT_FALSE(own.isEmpty());
    EXPECT_NE(c.LookupHost(own), 0u);
    EXPECT_EQ(c.LookupHostName("127.0.0.1"), "localhost");
    EXPECT_EQ(lookupHostError(c, "bad..name"), "Error 11001 (Host not found) finding address for host");
    EXPECT_EQ(lookupHostError(c, ""), "Error 11001 (Host not found) finding address for host");
    EXPECT_EQ(lookupHostError(c, QString(65, 'a')), "Error 11001 (Host not found) finding address for host");
    try {
        c.LookupHostName("0.0.0.0");
        ADD_FAILURE() << "no exception";
    } catch (const ESockError& e) {
        EXPECT_EQ(e.Message(), "Can't do reverse lookup on address 0.0.0.0");
    }
    EXPECT_EQ(SockDispatcher().WaitDepth(), 0);
}

TEST(Lookups, ComponentDestroyedDuringItsWaitIsSafe)
{
    auto doomed = std::make_unique<TRecordingCtrl>();
    TRecordingCtrl survivor; // keeps the library started
    doomed->SetTimeOut(5);
    doomed->OnTimeOut = [](TSockCtrl*, TSocketBase*) {};
    doomed->ArmTimeOut();
    const quint32 task = WinsockAPI().WSAAsyncGetHostByName(doomed->Window(), LookupDone, "localhost");
    RunSteps([&] {
        doomed.reset(); // from inside the wait, before or after the answer was posted
        return true;
    });
    try {
        doomed->WaitForLookup(task + 1000); // a task never answered: only the destruction ends the wait
        ADD_FAILURE() << "the wait must end with an exception";
    } catch (const ESockError& e) {
        EXPECT_EQ(e.Message(), "Interrupted system call");
    }
    EXPECT_EQ(SockDispatcher().WaitDepth(), 0);
    EXPECT_EQ(TTimeOutList::ArmedCount(), 0);
    PumpFor(100); // the late answer of the real lookup must find nothing to touch
}

TEST(Lookups, WaitTimesOutWith10060AfterTheTimeOutEvents)
{
    TRecordingCtrl c;
    c.SetTimeOut(1);
    std::vector<QString> events;
    c.OnInfo = [&](TSockCtrl*, TSockInfo code, TSocketBase*) { events.push_back(SockInfoText(code)); };
    c.OnTimeOut = [&](TSockCtrl* sender, TSocketBase*) {
        EXPECT_TRUE(static_cast<TRecordingCtrl*>(sender)->TimedOut());
        events.push_back("OnTimeOut");
    };
    c.ArmTimeOut();
    EXPECT_EQ(c.WaitForLookup(4242), WSAETIMEDOUT); // a task nobody answers
    EXPECT_EQ(events, (std::vector<QString>{"Connection timed out", "OnTimeOut"}));
    EXPECT_FALSE(c.Armed());
}

TEST(TimeOuts, TwoComponentsFireInOrderAndDisarmingTheHeadKeepsTheOther)
{
    TRecordingCtrl slow, fast, head;
    std::vector<TSockCtrl*> fired;
    auto record = [&](TSockCtrl* sender, TSocketBase*) { fired.push_back(sender); };
    slow.SetTimeOut(2);
    fast.SetTimeOut(1);
    head.SetTimeOut(1);
    slow.OnTimeOut = fast.OnTimeOut = head.OnTimeOut = record;
    QElapsedTimer clock;
    clock.start();
    slow.ArmTimeOut();
    fast.ArmTimeOut();
    head.ArmTimeOut(); // newest: the head of the armed list
    EXPECT_EQ(TTimeOutList::ArmedCount(), 3);
    head.DisarmTimeOut();
    EXPECT_TRUE(TTimeOutList::Timer()->isActive());
    ASSERT_TRUE(PumpUntil([&] { return fired.size() == 2; }, 4000));
    EXPECT_EQ(fired, (std::vector<TSockCtrl*>{&fast, &slow}));
    EXPECT_GT(clock.elapsed(), 1000); // neither fires before its time (a late one is the machine's load)
    EXPECT_TRUE(fast.TimedOut());
    EXPECT_FALSE(head.TimedOut());
    EXPECT_EQ(TTimeOutList::ArmedCount(), 0);
    EXPECT_FALSE(TTimeOutList::Timer()->isActive());
}

TEST(TimeOuts, NothingArmedWithoutTimeOutOrHandlerAndHandlerErrorsReported)
{
    TRecordingCtrl noTime, noHandler, failing;
    noTime.OnTimeOut = [](TSockCtrl*, TSocketBase*) {};
    noTime.ArmTimeOut();
    noHandler.SetTimeOut(1);
    noHandler.ArmTimeOut();
    EXPECT_FALSE(noTime.Armed());
    EXPECT_FALSE(noHandler.Armed());
    failing.SetTimeOut(1);
    failing.OnTimeOut = [](TSockCtrl*, TSocketBase*) { throw ESockError("time-out handler failed"); };
    failing.ArmTimeOut();
    failing.ArmTimeOut(); // arming twice keeps one entry
    EXPECT_EQ(TTimeOutList::ArmedCount(), 1);
    ASSERT_TRUE(PumpUntil([] { return ExceptionRecorder::Count() == 1; }, 3000));
    EXPECT_EQ(ExceptionRecorder::MessageAt(0), "time-out handler failed");
    EXPECT_TRUE(failing.TimedOut());
    EXPECT_FALSE(noHandler.TimedOut());
}

TEST(TimeOuts, DestroyedArmedComponentLeavesTheList)
{
    TRecordingCtrl keeper;
    keeper.SetTimeOut(1);
    bool fired = false;
    keeper.OnTimeOut = [&](TSockCtrl*, TSocketBase*) { fired = true; };
    {
        TRecordingCtrl gone;
        gone.SetTimeOut(1);
        gone.OnTimeOut = keeper.OnTimeOut;
        keeper.ArmTimeOut();
        gone.ArmTimeOut();
    }
    EXPECT_EQ(TTimeOutList::ArmedCount(), 1);
    ASSERT_TRUE(PumpUntil([&] { return fired; }, 3000));
}

TEST(TimeOuts, ATimedOutReportsHandlerMayDestroyItsComponent)
{
    auto doomed = std::make_unique<TRecordingCtrl>();
    TRecordingCtrl keeper; // keeps the library started
    bool onTimeOut = false;
    doomed->SetTimeOut(1);
    doomed->OnTimeOut = [&](TSockCtrl*, TSocketBase*) { onTimeOut = true; };
    doomed->OnInfo = [&](TSockCtrl*, TSockInfo code, TSocketBase*) {
        if (code == icTimedOut)
            doomed.reset();
    };
    doomed->ArmTimeOut();
    ASSERT_TRUE(PumpUntil([&] { return doomed == nullptr; }, 3000));
    PumpFor(50);
    EXPECT_FALSE(onTimeOut) << "no OnTimeOut for a destroyed component";
    EXPECT_EQ(TTimeOutList::ArmedCount(), 0);
}

TEST(TimeOuts, ALookupInsideAnotherOfTheSameComponentLeavesItsTimeOut)
{
    TRecordingCtrl c;
    c.SetTimeOut(1);
    c.OnTimeOut = [](TSockCtrl*, TSocketBase*) {};
    bool innerDone = false;
    RunSteps([&] {
        c.LookupPortName(21); // answered at once from the services database
        innerDone = true;
        return true;
    });
    // Should the outer wait lose its time-out, this answer ends it instead (with 0).
    QTimer rescue;
    rescue.setSingleShot(true);
    QObject::connect(&rescue, &QTimer::timeout, [&] {
        TSockMessage answer;
        answer.Msg = LookupDone;
        answer.WParam = 4243;
        c.Window()->Post(answer);
    });
    rescue.start(6000);
    c.ArmTimeOut();
    EXPECT_EQ(c.WaitForLookup(4243), WSAETIMEDOUT); // a task nobody answers
    EXPECT_TRUE(innerDone);
    EXPECT_FALSE(c.Armed());
}

TEST(Lookups, ResolveAddressPrefersNamesAndWritesTheAddressBack)
{
    TRecordingCtrl c;
    TSocketBase* socket = c.Socket();
    QString ip = "10.9.8.7";
    quint16 port = 5;
    socket->ResolveAddress("localhost", port, "ftp", ip);
    EXPECT_EQ(ip, "127.0.0.1");
    EXPECT_EQ(port, 21);
    EXPECT_EQ(ntohs(socket->SockAddr().sin_port), 21);
    EXPECT_EQ(socket->SockAddr().sin_addr.s_addr, htonl(INADDR_LOOPBACK));

    ip = "0.0.0.0";
    port = 7000;
    socket->ResolveAddress("", port, "", ip);
    EXPECT_EQ(socket->SockAddr().sin_addr.s_addr, 0u);
    EXPECT_EQ(ntohs(socket->SockAddr().sin_port), 7000);

    ip.clear();
    try {
        socket->ResolveAddress("", port, "", ip);
        ADD_FAILURE() << "no exception";
    } catch (const ESockError& e) {
        EXPECT_EQ(e.Message(), "No address specified");
    }
}

#include "net/sockctrl.h"

#include "net/resolver.h"
#include "net/sockerror.h"
#include "net/timeoutlist.h"
#include "net/winsockapi.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QScopeGuard>
#include <QTimer>

#include <arpa/inet.h>

namespace {
int& liveComponents()
{
    static int count = 0;
    return count;
}

struct TProtocolEntry {
    int Number;
    const char* Name;
};
constexpr TProtocolEntry protocolTable[] = {{0, "IP"},   {1, "ICMP"}, {2, "GGP"}, {6, "TCP"},  {12, "PUP"},
                                            {17, "UDP"}, {22, "IDP"}, {77, "ND"}, {255, "RAW"}};

// A text of decimal digits only, as a number; -1 when it is not one.
qint64 decimalNumber(const QString& text, qint64 limit)
{
    if (text.isEmpty() || text.size() > 10)
        return -1;
    for (QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return -1;
    const qint64 value = text.toLongLong();
    return value <= limit ? value : -1;
}

constexpr int maxText = 255;
} // namespace

TSockCtrl::TSockCtrl(QObject* owner, TSocketClass socketClass)
    : QObject(owner), m_alive(std::make_shared<bool>(true)), m_socketClass(socketClass)
{
    m_window = new TSockWindow({[this](const TSockNotice& notice) { HandleSelect(notice); },
                                [this](TSocketBase* socket) { SocketFreed(socket); },
                                [this](const TLookupReply& reply) { AsyncRequestDone(reply); },
                                [this](const TLookupReply& reply) { StoreLookupResult(reply); }});
    try {
        if (!WinsockStarted())
            liveComponents() = 0;
        StartWinsock();
    } catch (...) {
        DestroyWindow();
        throw;
    }
    SetProtocol(QStringLiteral("tcp"));
    ++liveComponents();
}

TSockCtrl::~TSockCtrl()
{
    *m_alive = false;
    DisarmTimeOut();
    m_socket.reset();
    m_asyncRequests.clear();
    DestroyWindow();
    if (--liveComponents() <= 0)
        StopWinsock();
}

void TSockCtrl::DestroyWindow()
{
    TResolver::CancelWindow(m_window);
    m_window->Release();
    m_window = nullptr;
}

TSocketBase* TSockCtrl::Socket()
{
    if (!m_socket)
        m_socket.reset(CreateSocket());
    return m_socket.get();
}

TSocketBase* TSockCtrl::CreateSocket()
{
    if (!m_socketClass)
        RaiseSocketError(0, sockErrNoSocketClass);
    return m_socketClass(this);
}

void TSockCtrl::SetSocketClass(TSocketClass socketClass)
{
    if (socketClass == m_socketClass)
        return;
    m_socket.reset();
    m_socketClass = socketClass;
}

void TSockCtrl::SetAddress(const QString& address)
{
    m_address = address.left(maxText);
    if (m_address.isEmpty()) { // as never set: any interface
        m_ipAddress = QStringLiteral("0.0.0.0");
        m_hostName.clear();
    } else if (WinsockAPI().inet_addr(m_address) != INADDR_NONE ||
               m_address == QLatin1String("255.255.255.255")) {
        m_ipAddress = m_address;
        m_hostName.clear();
    } else {
        m_hostName = m_address;
        m_ipAddress.clear();
    }
}

void TSockCtrl::SetPort(const QString& port)
{
    m_port = port.left(maxText);
    const auto alive = m_alive;
    const qint64 number = decimalNumber(m_port, 0xFFFF);
    m_portIsNumber = number >= 0;
    if (number >= 0) {
        m_portNumber = quint16(number);
        m_serviceName.clear();
        if (!WinsockStarted())
            return;
        try {
            const QString name = LookupPortName(m_portNumber);
            if (*alive)
                m_serviceName = name;
        } catch (...) {
        }
    } else {
        m_serviceName = m_port;
        m_portNumber = 0;
        if (!WinsockStarted())
            return;
        try {
            const quint16 found = LookupService(m_port);
            if (*alive)
                m_portNumber = found;
        } catch (...) {
        }
    }
}

void TSockCtrl::SetProtocol(const QString& protocol)
{
    m_protocol = protocol.left(maxText);
    const qint64 number = decimalNumber(m_protocol, 0x7FFFFFFF);
    if (number >= 0) {
        m_protocolNumber = int(number);
        m_protocolName.clear();
        for (const TProtocolEntry& entry : protocolTable)
            if (entry.Number == number)
                m_protocolName = QString::fromLatin1(entry.Name);
        return;
    }
    m_protocolName = m_protocol;
    m_protocolNumber = -1;
    for (const TProtocolEntry& entry : protocolTable)
        if (m_protocol.compare(QLatin1String(entry.Name), Qt::CaseInsensitive) == 0)
            m_protocolNumber = entry.Number;
}

void TSockCtrl::StoreBoundPort(quint16 port)
{
    m_portNumber = port;
    m_portIsNumber = true;
    m_port = QString::number(port);
}

void TSockCtrl::ArmTimeOut()
{
    if (m_timeOut == 0 || !OnTimeOut)
        return;
    TTimeOutList::Arm(this);
}

void TSockCtrl::DisarmTimeOut()
{
    TTimeOutList::Disarm(this);
}

void TSockCtrl::TimeOutTick()
{
    if (m_countdown <= 0)
        return;
    if (--m_countdown > 0)
        return;
    DisarmTimeOut();
    const auto alive = m_alive;
    DoInfo(Socket(), icTimedOut);
    if (*alive) // the icTimedOut handler may have destroyed the component
        DoTimeOut(Socket());
}

void TSockCtrl::StoreLookupResult(const TLookupReply& reply)
{
    auto it = m_lookupAnswers.find(reply.Task);
    if (it == m_lookupAnswers.end())
        return; // nobody waits for it any more
    it->second.Error = reply.Error;
    it->second.BufferLength = reply.Length;
    it->second.Done = true;
}

void TSockCtrl::SocketFreed(TSocketBase*)
{
    SockDispatcher().Void(m_window);
}

void TSockCtrl::AddAsyncRequest(std::unique_ptr<TAsyncInfo> request)
{
    m_asyncRequests.push_back(std::move(request));
}

void TSockCtrl::AsyncRequestDone(const TLookupReply& reply)
{
    auto it = std::find_if(m_asyncRequests.begin(), m_asyncRequests.end(),
                           [&](const auto& request) { return request->TaskHandle == reply.Task; });
    if (it == m_asyncRequests.end())
        return;
    DisarmTimeOut();
    std::unique_ptr<TAsyncInfo> request = std::move(*it);
    m_asyncRequests.erase(it);
    request->Error = reply.Error;
    if (OnAsyncComplete)
        OnAsyncComplete(this, request.get());
}

void TSockCtrl::DoClose(TSocketBase* socket)
{
    socket->Disconnect();
}

void TSockCtrl::DoInfo(TSocketBase* socket, TSockInfo code)
{
    socket->DoInfo(code);
}

void TSockCtrl::DoRead(TSocketBase* socket)
{
    socket->DoRead();
}

void TSockCtrl::DoWrite(TSocketBase* socket)
{
    socket->DoWrite();
}

void TSockCtrl::DoTimeOut(TSocketBase* socket)
{
    m_timedOut = true;
    ++m_timeOuts;
    socket->DoTimeOut();
}

int TSockCtrl::WaitForLookup(quint32 task)
{
    const auto alive = m_alive;
    TSockDispatcher& dispatcher = SockDispatcher();
    dispatcher.WaitBegan();
    m_lookupAnswers[task] = {};
    bool abandoned = false;
    const quint64 timeOutsBefore = m_timeOuts;
    const auto timedOut = [&] { return m_timeOuts != timeOutsBefore; };
    // The socket object as the wait starts: replacing, closing or reopening it
    // abandons the wait (its caller must not go on with it).
    TSocketBase* const socket = m_socket.get();
    const auto socketAlive = socket ? socket->SocketAlive() : nullptr;
    const quint64 handle = socket ? socket->HandleSerial() : 0;
    // processEvents with a time limit never sleeps (it drops WaitForMoreEvents),
    // so the loop sleeps until the next event and a 50 ms timer bounds the sleep.
    QTimer wakeUp;
    wakeUp.start(50);
    while (!m_lookupAnswers[task].Done && !timedOut() && !abandoned) {
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        // The answer comes as a message: delivered here as well, for a wait
        // entered from a posted event may not see the next one delivered.
        dispatcher.DeliverWaiting();
        if (!*alive) {
            TResolver::Cancel(task);
            dispatcher.WaitEnded();
            RaiseSocketError(WSAEINTR, 0);
        }
        if (socket)
            abandoned = !*socketAlive || socket->HandleSerial() != handle || socket->State() == ssClosing;
        if (QCoreApplication::closingDown())
            abandoned = true;
        if (abandoned) {
            m_countdown = 0;
            WinsockAPI().WSACancelAsyncRequest(task);
        }
    }
    const TLookupAnswer answer = m_lookupAnswers[task];
    m_lookupAnswers.erase(task);
    dispatcher.WaitEnded();
    if (answer.Done)
        return answer.Error;
    WinsockAPI().WSACancelAsyncRequest(task);
    return timedOut() && !abandoned ? WSAETIMEDOUT : WSAEINTR;
}

TLookupResult TSockCtrl::AwaitLookup(quint32 task, int startFailureId)
{
    if (task == 0)
        RaiseSocketError(WinsockAPI().WSAGetLastError(), startFailureId);
    TLookupResult result;
    result.Error = WaitForLookup(task);
    if (result.Error == 0) {
        if (auto answer = TResolver::TakeResult(task))
            result = *answer;
        else
            result.Error = WSAEINTR;
    }
    TResolver::Cancel(task);
    return result;
}

QString TSockCtrl::LocalHostName()
{
    if (!WinsockStarted())
        return {};
    char name[256] = {};
    if (WinsockAPI().gethostname(name, sizeof name - 1) != 0)
        return {};
    return QString::fromLocal8Bit(name).left(maxText);
}

TLookupResult TSockCtrl::ArmedLookup(const std::function<quint32()>& start, int startFailureId)
{
    // Every lookup is bounded by the component's time-out; the component may be
    // destroyed while the lookup waits, so disarming checks that it still lives.
    // A lookup inside another one of this component (a handler's) restarts the
    // countdown but leaves the disarming to the outer one, which is still bounded.
    const auto alive = m_alive;
    const bool armedAlready = m_armed;
    ArmTimeOut();
    auto disarm = qScopeGuard([&] {
        if (*alive && !armedAlready)
            DisarmTimeOut();
    });
    return AwaitLookup(start(), startFailureId);
}

quint32 TSockCtrl::LookupHost(const QString& name)
{
    const TLookupResult result = ArmedLookup(
        [&] { return WinsockAPI().WSAAsyncGetHostByName(m_window, LookupDone, name); }, sockErrGetHostByName);
    if (result.Error)
        RaiseSocketError(result.Error, sockErrFindingAddress);
    return result.Address;
}

QString TSockCtrl::LookupHostName(const QString& text)
{
    const quint32 address = WinsockAPI().inet_addr(text);
    if (address == 0)
        RaiseSocketError(0, sockErrReverseZero);
    if (address == INADDR_NONE && text != QLatin1String("255.255.255.255"))
        RaiseSocketError(WSAHOST_NOT_FOUND, sockErrFindingHost); // not an address: nothing to ask
    const TLookupResult result =
        ArmedLookup([&] { return WinsockAPI().WSAAsyncGetHostByAddr(m_window, LookupDone, address); },
                    sockErrGetHostByAddr);
    if (result.Error)
        RaiseSocketError(result.Error, sockErrFindingHost);
    return result.Name;
}

quint16 TSockCtrl::LookupService(const QString& name)
{
    const TLookupResult result = ArmedLookup(
        [&] { return WinsockAPI().WSAAsyncGetServByName(m_window, LookupDone, name, m_protocolName); },
        sockErrGetServByName);
    return result.Error ? 0 : result.Port;
}

QString TSockCtrl::LookupPortName(quint16 port)
{
    const TLookupResult result = ArmedLookup(
        [&] { return WinsockAPI().WSAAsyncGetServByPort(m_window, LookupDone, port, m_protocolName); },
        sockErrGetServByPort);
    return result.Error ? QString() : result.Name;
}

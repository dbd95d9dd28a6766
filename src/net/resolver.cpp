#include "net/resolver.h"

#include "net/sockdispatcher.h"

#include <QCoreApplication>

#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include <arpa/inet.h>
#include <netdb.h>

namespace {

struct TRequest {
    quint32 Task = 0;
    TSockWindow* Window = nullptr;
    int Msg = 0;
    bool Done = false;
    TLookupResult Result;
};

// The registry outlives static destruction on purpose: a lookup thread still
// running as the program ends may finish and look for its request then.
std::mutex& registryLock()
{
    static auto* lock = new std::mutex;
    return *lock;
}

// Requests by task handle; guarded by registryLock().
std::map<quint32, std::shared_ptr<TRequest>>& registry()
{
    static auto* requests = new std::map<quint32, std::shared_ptr<TRequest>>;
    return *requests;
}

// The function answering lookups; guarded by registryLock().
TResolver::TLookupFunction& lookupFunction()
{
    static TResolver::TLookupFunction function;
    return function;
}

bool validHostName(const QString& name)
{
    if (name.isEmpty() || name.size() > TResolver::MaxNameLength)
        return false;
    const QString body = name.endsWith(QLatin1Char('.')) ? name.chopped(1) : name;
    if (body.isEmpty())
        return false;
    for (const QString& label : body.split(QLatin1Char('.')))
        if (label.isEmpty())
            return false;
    for (QChar c : name)
        if (c.isSpace() || c.unicode() < 0x20 || c.unicode() == 0x7F)
            return false;
    return true;
}

bool validServiceName(const QString& name, const QString& proto)
{
    if (name.isEmpty() || name.size() > TResolver::MaxNameLength ||
        proto.size() > TResolver::MaxProtocolLength)
        return false;
    for (QChar c : name)
        if (c.isSpace() || c.unicode() < 0x20)
            return false;
    return true;
}

// Stores the answer and posts it, unless the request was dropped meanwhile.
void finish(const std::shared_ptr<TRequest>& request, const TLookupResult& result)
{
    std::lock_guard guard(registryLock());
    auto it = registry().find(request->Task);
    if (it == registry().end() || it->second != request)
        return;
    request->Result = result;
    request->Done = true;
    const int length =
        result.Name.isEmpty() ? (result.Address || result.Port ? 4 : 0) : int(result.Name.size());
    TSockMessage message;
    message.Msg = request->Msg;
    message.WParam = request->Task;
    message.LParam = MakeLong(quint16(length), quint16(result.Error));
    request->Window->Post(message);
}

} // namespace

TLookupResult TResolver::Run(TLookupKind kind, const QByteArray& text, quint32 number,
                             const QByteArray& proto)
{
    TLookupResult result;
    const char* protocol = proto.isEmpty() ? nullptr : proto.constData();
    switch (kind) {
    case TLookupKind::HostByName: {
        addrinfo hints{};
        hints.ai_family = AF_INET;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* list = nullptr;
        const int rc = ::getaddrinfo(text.constData(), nullptr, &hints, &list);
        if (rc != 0 || !list) {
            result.Error = WsaErrorFromResolver(rc ? rc : EAI_NODATA, errno);
        } else {
            result.Address = reinterpret_cast<const sockaddr_in*>(list->ai_addr)->sin_addr.s_addr;
        }
        if (list)
            ::freeaddrinfo(list);
        break;
    }
    case TLookupKind::HostByAddr: {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = number;
        char host[NI_MAXHOST];
        const int rc = ::getnameinfo(reinterpret_cast<const sockaddr*>(&address), sizeof address, host,
                                     sizeof host, nullptr, 0, NI_NAMEREQD);
        if (rc != 0)
            result.Error = WsaErrorFromResolver(rc, errno);
        else
            result.Name = QString::fromLocal8Bit(host);
        break;
    }
    case TLookupKind::ServByName: {
        servent entry{};
        servent* found = nullptr;
        char buffer[1024];
        if (::getservbyname_r(text.constData(), protocol, &entry, buffer, sizeof buffer, &found) == 0 &&
            found)
            result.Port = ntohs(quint16(found->s_port));
        else
            result.Error = WSANO_DATA;
        break;
    }
    case TLookupKind::ServByPort: {
        servent entry{};
        servent* found = nullptr;
        char buffer[1024];
        if (::getservbyport_r(int(htons(quint16(number))), protocol, &entry, buffer, sizeof buffer, &found) ==
                0 &&
            found)
            result.Name = QString::fromLocal8Bit(found->s_name);
        else
            result.Error = WSANO_DATA;
        break;
    }
    }
    return result;
}

quint32 TResolver::Start(TLookupKind kind, TSockWindow* window, int msg, const QString& text, quint32 number,
                         const QString& proto)
{
    static quint32 nextTask = 1;
    auto request = std::make_shared<TRequest>();
    request->Task = nextTask++;
    if (nextTask == 0)
        nextTask = 1;
    request->Window = window;
    request->Msg = msg;
    TLookupFunction lookup;
    {
        std::lock_guard guard(registryLock());
        registry()[request->Task] = request;
        lookup = lookupFunction() ? lookupFunction() : TLookupFunction(&TResolver::Run);
    }
    // Service lookups compare protocol names as the services database writes them: lower case.
    const QByteArray protocol = proto.toLower().toLatin1();
    bool valid = true;
    if (kind == TLookupKind::HostByName)
        valid = validHostName(text);
    else if (kind == TLookupKind::ServByName)
        valid = validServiceName(text, proto);
    else if (kind == TLookupKind::ServByPort)
        valid = proto.size() <= MaxProtocolLength;
    if (!valid) {
        TLookupResult refused;
        refused.Error = kind == TLookupKind::HostByName ? WSAHOST_NOT_FOUND : WSANO_DATA;
        finish(request, refused);
        return request->Task;
    }
    const QByteArray name = text.toLocal8Bit();
    std::thread([request, lookup, kind, name, number, protocol] {
        finish(request, lookup(kind, name, number, protocol));
    }).detach();
    return request->Task;
}

void TResolver::SetLookupFunction(TLookupFunction function)
{
    std::lock_guard guard(registryLock());
    lookupFunction() = std::move(function);
}

void TResolver::Cancel(quint32 task)
{
    std::lock_guard guard(registryLock());
    registry().erase(task);
}

void TResolver::CancelWindow(const TSockWindow* window)
{
    std::lock_guard guard(registryLock());
    std::erase_if(registry(), [window](const auto& item) { return item.second->Window == window; });
}

void TResolver::CancelAll()
{
    std::lock_guard guard(registryLock());
    registry().clear();
}

std::optional<TLookupResult> TResolver::TakeResult(quint32 task)
{
    std::lock_guard guard(registryLock());
    auto it = registry().find(task);
    if (it == registry().end() || !it->second->Done)
        return std::nullopt;
    TLookupResult result = it->second->Result;
    registry().erase(it);
    return result;
}

#pragma once
// TResolver: host and service lookups on worker threads.
//
// Contract:
// - Start() validates the request on the UI thread and runs the lookup on a
//   worker thread of its own; the UI thread never waits for the resolver. The
//   answer is posted to the window as message `msg` with the task handle as
//   first parameter and (low word: result length, high word: error) as second.
// - A name the resolver must not be given (empty, longer than 64 characters,
//   an empty label as in "bad..name", spaces or control characters; protocol
//   names longer than 32) is answered at once with 11001 (host) or 11004
//   (service) without asking the resolver.
// - Cancel(task) and CancelWindow(window) drop requests: a late answer of a
//   dropped request is neither stored nor posted. A worker touches only its
//   own request object (shared with the registry) and posts under the
//   registry's lock, so a window that cancels its requests before it is
//   destroyed never receives a message afterwards.
// - TakeResult(task) hands over (and forgets) the answer of a finished task.
// - The answering function can be replaced (SetLookupFunction) to stand in for
//   the system's resolver: a name server that is slow or knows no name. A
//   lookup already started keeps the function it started with.
#include "net/winsockapi.h"

#include <QString>

#include <functional>
#include <optional>

struct TLookupResult {
    int Error = 0;
    quint32 Address = 0; // network byte order (HostByName)
    QString Name;        // host or service name (HostByAddr, ServByPort)
    quint16 Port = 0;    // host byte order (ServByName)
};

class TResolver {
public:
    static constexpr int MaxNameLength = 64;
    static constexpr int MaxProtocolLength = 32;

    static quint32 Start(TLookupKind kind, TSockWindow* window, int msg, const QString& text, quint32 number,
                         const QString& proto);
    static void Cancel(quint32 task);
    static void CancelWindow(const TSockWindow* window);
    static void CancelAll();
    static std::optional<TLookupResult> TakeResult(quint32 task);

    // The system's lookup (runs on the worker thread; public for the benchmarks).
    static TLookupResult Run(TLookupKind kind, const QByteArray& text, quint32 number,
                             const QByteArray& proto);

    using TLookupFunction = std::function<TLookupResult(TLookupKind kind, const QByteArray& text,
                                                        quint32 number, const QByteArray& proto)>;
    // Replaces the answering function (called on worker threads); an empty one restores Run.
    static void SetLookupFunction(TLookupFunction function);
};

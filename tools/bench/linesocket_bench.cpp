// Line-socket throughput: one million short CR LF lines over loopback reach
// OnLine of a TLineSocket opened by TBasicClientSocket (the control
// connection's receive path), next to a plain blocking loop that receives
// the same bytes and cuts them into lines in the same run. A thread sends
// through a plain socket. Reports lines/s and MB/s, and the growth of the
// peak resident memory over the run (it must stay flat: the buffers are
// fixed, only each line's text is allocated).
#include "net/basicclientsocket.h"
#include "net/linesocket.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>

#include <benchmark/benchmark.h>

#include <cstring>
#include <thread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
constexpr int lineCount = 1000000;

// "250-line 0000000\r\n" .. : 18 bytes each.
const QByteArray& allLines()
{
    static const QByteArray data = [] {
        QByteArray bytes;
        bytes.reserve(qsizetype(lineCount) * 18);
        char line[32];
        for (int i = 0; i < lineCount; ++i)
            bytes.append(line, std::snprintf(line, sizeof line, "250-line %07d\r\n", i));
        return bytes;
    }();
    return data;
}

// Peak resident set (VmHWM) in KiB.
long peakRssKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return 0;
}

int loopbackListener(quint16& port)
{
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(listener, 1);
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    port = ntohs(address.sin_port);
    return listener;
}

// Accepts one connection, sends every line, closes.
std::thread startSender(int listener)
{
    return std::thread([listener] {
        const int peer = ::accept(listener, nullptr, nullptr);
        const QByteArray& data = allLines();
        for (qsizetype sent = 0; sent < data.size();) {
            const ssize_t n = ::send(peer, data.constData() + sent,
                                     size_t(qMin<qsizetype>(65536, data.size() - sent)), MSG_NOSIGNAL);
            if (n <= 0)
                break;
            sent += n;
        }
        ::close(peer);
    });
}

void report(benchmark::State& state, long lines, long peakBefore)
{
    state.counters["lines/s"] = benchmark::Counter(double(lines), benchmark::Counter::kIsRate);
    state.counters["MB/s"] = benchmark::Counter(double(allLines().size()) / 1e6, benchmark::Counter::kIsRate);
    state.counters["peakRSSgrowthKiB"] = double(peakRssKb() - peakBefore);
    if (lines != lineCount)
        state.SkipWithError("lines lost");
}

void BM_LineSocketOnLine(benchmark::State& state)
{
    allLines();
    const long peakBefore = peakRssKb();
    long lines = 0;
    for (auto _ : state) {
        quint16 port = 0;
        const int listener = loopbackListener(port);
        std::thread sender = startSender(listener);
        TBasicClientSocket client;
        bool closed = false;
        client.OnDisconnect = [&](TSockCtrl*, TSocketBase*) { closed = true; };
        client.SetAddress(QStringLiteral("127.0.0.1"));
        client.SetPort(QString::number(port));
        client.Open(SocketClassOf<TLineSocket>);
        auto* socket = static_cast<TLineSocket*>(client.Socket());
        socket->SetReadBufferSize(int(state.range(0)));
        lines = 0;
        qsizetype bytes = 0;
        socket->OnLine = [&](TLineSocketBase*, const QByteArray& line, bool) {
            ++lines;
            bytes += line.size();
        };
        while (!closed)
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        benchmark::DoNotOptimize(bytes);
        sender.join();
        ::close(listener);
    }
    report(state, lines, peakBefore);
}

// The same bytes through blocking 4096-byte recv calls, cut at CR LF into
// QByteArray lines: the least a line reader has to do.
void BM_PlainBlockingLines(benchmark::State& state)
{
    allLines();
    const long peakBefore = peakRssKb();
    long lines = 0;
    for (auto _ : state) {
        quint16 port = 0;
        const int listener = loopbackListener(port);
        std::thread sender = startSender(listener);
        const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(port);
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::connect(s, reinterpret_cast<sockaddr*>(&to), sizeof to);
        lines = 0;
        qsizetype bytes = 0;
        QByteArray pending;
        char chunk[4096];
        for (ssize_t n; (n = ::recv(s, chunk, sizeof chunk, 0)) > 0;) {
            pending.append(chunk, n);
            qsizetype start = 0;
            for (qsizetype end; (end = pending.indexOf("\r\n", start)) >= 0; start = end + 2) {
                const QByteArray line = pending.mid(start, end - start);
                ++lines;
                bytes += line.size();
            }
            pending.remove(0, start);
        }
        benchmark::DoNotOptimize(bytes);
        ::close(s);
        sender.join();
        ::close(listener);
    }
    report(state, lines, peakBefore);
}
} // namespace

BENCHMARK(BM_PlainBlockingLines)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LineSocketOnLine)
    ->Arg(1024)
    ->Arg(16384)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

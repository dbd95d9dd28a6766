// Receiving 1 GiB over loopback through the server component's OnRead, one
// Recv of at most 4096 bytes per event (the data path of a download), next to
// a plain blocking loop of 4096-byte recv calls in the same run. In both cases
// a thread sends the data through a plain blocking socket. Prints both rates,
// their ratio and the peak resident size after each.
#include "net/basicserversocket.h"
#include "net/streamsocket.h"

#include <QCoreApplication>
#include <QEventLoop>

#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <thread>
#include <vector>

namespace {
constexpr qint64 totalBytes = qint64(1) << 30;
constexpr int chunk = 4096;

sockaddr_in loopback(quint16 port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

// Connects to 127.0.0.1:port and writes totalBytes, then closes.
std::thread startSender(quint16 port)
{
    return std::thread([port] {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const sockaddr_in remote = loopback(port);
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&remote), sizeof remote) != 0) {
            std::perror("connect");
            ::close(fd);
            return;
        }
        std::vector<char> block(64 * 1024, 'x');
        for (qint64 sent = 0; sent < totalBytes;) {
            const ssize_t n =
                ::send(fd, block.data(), size_t(qMin<qint64>(block.size(), totalBytes - sent)), 0);
            if (n <= 0)
                break;
            sent += n;
        }
        ::close(fd);
    });
}

double peakResidentMiB()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

double componentRate = 0;
double plainRate = 0;

void BM_ServerSocketOnRead(benchmark::State& state)
{
    for (auto _ : state) {
        TBasicServerSocket server;
        server.SetAddress(QStringLiteral("127.0.0.1"));
        server.SetPort(QStringLiteral("0"));
        qint64 received = 0;
        QEventLoop loop;
        char buffer[chunk];
        server.OnRead = [&](TSockCtrl*, TSocketBase* socket) { received += socket->Recv(buffer, chunk); };
        server.OnInfo = [&](TSockCtrl*, TSockInfo code, TSocketBase* socket) {
            if (code == icClosed && socket != server.Socket())
                loop.quit();
        };
        server.Listen(SocketClassOf<TStreamSocket>);
        std::thread sender = startSender(server.PortNumber());
        loop.exec();
        sender.join();
        if (received != totalBytes)
            state.SkipWithError("not everything arrived");
        benchmark::DoNotOptimize(received);
    }
    state.SetBytesProcessed(state.iterations() * totalBytes);
    state.counters["peak_rss_MiB"] = peakResidentMiB();
}

void BM_PlainBlockingRecv(benchmark::State& state)
{
    for (auto _ : state) {
        const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in local = loopback(0);
        socklen_t length = sizeof local;
        ::bind(listener, reinterpret_cast<sockaddr*>(&local), length);
        ::listen(listener, 1);
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&local), &length);
        std::thread sender = startSender(ntohs(local.sin_port));
        const int fd = ::accept(listener, nullptr, nullptr);
        char buffer[chunk];
        qint64 received = 0;
        for (ssize_t n; (n = ::recv(fd, buffer, chunk, 0)) > 0;)
            received += n;
        ::close(fd);
        ::close(listener);
        sender.join();
        if (received != totalBytes)
            state.SkipWithError("not everything arrived");
    }
    state.SetBytesProcessed(state.iterations() * totalBytes);
    state.counters["peak_rss_MiB"] = peakResidentMiB();
}

// Loopback speed varies from run to run: each figure is the median of five.
BENCHMARK(BM_PlainBlockingRecv)
    ->Iterations(1)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_ServerSocketOnRead)
    ->Iterations(1)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Keeps the median rates of both benchmarks to print their ratio at the end.
class TRateReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            if (run.aggregate_name != "median")
                continue;
            const double seconds = run.GetAdjustedRealTime() / 1000.0;
            const double rate = seconds > 0 ? double(totalBytes) / seconds / 1e6 : 0;
            if (run.benchmark_name().find("ServerSocket") != std::string::npos)
                componentRate = rate;
            else
                plainRate = rate;
        }
        ConsoleReporter::ReportRuns(runs);
    }
};
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    TRateReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    std::printf(
        "plain blocking recv: %.0f MB/s\nserver OnRead/Recv:  %.0f MB/s\nratio: %.2f (target >= 0.5)\n",
        plainRate, componentRate, plainRate > 0 ? componentRate / plainRate : 0.0);
    return 0;
}

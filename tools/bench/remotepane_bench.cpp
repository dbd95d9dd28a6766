// A listing of 100,000 entries: parsing it (RazcleniSeznam) against showing
// the parsed table in the remote list (the model reset, the layout and one
// paint of the visible rows). Goal: showing costs at most as much as parsing.
// Run on the offscreen platform: QT_QPA_PLATFORM=offscreen remotepane_bench
#include "app/remotepane.h"
#include "ftp/listingparser.h"
#include "unixlisting.h"

#include <QApplication>

#include <benchmark/benchmark.h>

namespace {

void BM_Parse(benchmark::State& state)
{
    const QByteArray listing = UnixListing(int(state.range(0)));
    TRemoteListing table;
    for (auto _ : state) {
        QByteArray raw = listing;
        RazcleniSeznam(raw, table);
        benchmark::DoNotOptimize(table.Count());
    }
}

void BM_Show(benchmark::State& state)
{
    QByteArray raw = UnixListing(int(state.range(0)));
    TRemoteListing table;
    RazcleniSeznam(raw, table);
    TRemotePane pane;
    pane.resize(760, 400);
    pane.show();
    QApplication::processEvents();
    for (auto _ : state) {
        pane.Show(table);
        pane.grab(); // lays out and paints what is visible
        benchmark::DoNotOptimize(pane.RowCount());
    }
}

} // namespace

BENCHMARK(BM_Parse)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Show)->Arg(100000)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}

// RazcleniSeznam on listings of 10,000 and 100,000 lines: the time per line
// must stay flat (linear growth). The baseline only cuts the same listing into
// lines and decodes them, the least any parser has to do.
#include "core/codepage.h"
#include "ftp/listingparser.h"
#include "unixlisting.h"

#include <QByteArrayList>

#include <benchmark/benchmark.h>

namespace {
void BM_RazcleniSeznam(benchmark::State& state)
{
    const QByteArray listing = UnixListing(int(state.range(0)));
    TRemoteListing table;
    for (auto _ : state) {
        QByteArray raw = listing;
        RazcleniSeznam(raw, table);
        benchmark::DoNotOptimize(table.Count());
    }
    state.SetComplexityN(state.range(0));
    state.counters["lines/s"] =
        benchmark::Counter(double(state.range(0)), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_RazcleniSeznam)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

void BM_SplitAndDecodeBaseline(benchmark::State& state)
{
    const QByteArray listing = UnixListing(int(state.range(0)));
    for (auto _ : state) {
        qsizetype count = 0;
        for (const QByteArray& line : listing.split('\n'))
            count += FromCp1250(line).size();
        benchmark::DoNotOptimize(count);
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_SplitAndDecodeBaseline)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);
} // namespace

BENCHMARK_MAIN();

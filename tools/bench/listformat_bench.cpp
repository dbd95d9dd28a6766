// The DOS/IIS, machine listing and VMS readers and the detection of a
// listing's layout, on listings of 10,000 and 100,000 lines: the time per
// line must stay flat (100,000 lines at most 10.5 times 10,000).
#include "core/codepage.h"
#include "ftp/listformat.h"

#include <benchmark/benchmark.h>

namespace {
QByteArray dosLine(int i)
{
    const QByteArray n = QByteArray::number(i);
    switch (i % 3) {
    case 0:
        return "12-07-26  10:15AM       <DIR>          folder " + n + "\r\n";
    case 1:
        return "2019-07-04  21:03            " + QByteArray::number(qint64(i) * 7919) + " file_" + n +
               ".tar.gz\r\n";
    default:
        return "07-04-2019  09:03PM            1,234,567 report " + n + ".pdf\r\n";
    }
}

QByteArray mlsdLine(int i)
{
    const QByteArray n = QByteArray::number(i);
    if (i % 4 == 0)
        return "type=dir;sizd=4096;modify=20260105101500;perm=flcdmpe;unique=803g" + n + "; folder " + n +
               "\r\n";
    return "type=file;size=" + QByteArray::number(qint64(i) * 7919) +
           ";modify=20260105101530.123;perm=adfrw;UNIX.mode=0644;unique=803g" + n + "; file " + n +
           ".tar.gz\r\n";
}

QByteArray vmsLine(int i)
{
    const QByteArray n = QByteArray::number(i);
    switch (i % 4) {
    case 0:
        return "DIR" + n +
               ".DIR;1                1/3     19-NOV-2001 21:41        [1,1]   (RWE,RWE,RE,RE)\r\n";
    case 1:
        return "A_RATHER_LONG_DATA_FILE_NAME_" + n +
               ".DAT;1\r\n                 1234/1236   12-JAN-2020 "
               "08:00:00.00  [USER,NAME]     (RWED,RWED,,)\r\n";
    default:
        return "FILE" + n +
               ".TXT;3               12/14     7-MAR-2002 10:15:22.04  [SYSTEM]  (RWED,RWED,RE,)\r\n";
    }
}

QByteArray makeListing(QByteArray (*line)(int), int lines)
{
    QByteArray raw;
    for (int i = 0; i < lines; ++i)
        raw += line(i);
    return raw;
}

void runParse(benchmark::State& state, QByteArray (*line)(int), TListFormat format)
{
    const QByteArray listing = makeListing(line, int(state.range(0)));
    for (auto _ : state) {
        std::vector<TListedEntry> entries;
        ParseListing(listing, format, FromCp1250, entries);
        benchmark::DoNotOptimize(entries.data());
        // Freeing the previous listing is not parsing: it stays out of the figure.
        state.PauseTiming();
        entries = {};
        state.ResumeTiming();
    }
    state.SetComplexityN(state.range(0));
    state.counters["lines/s"] =
        benchmark::Counter(double(state.range(0)), benchmark::Counter::kIsIterationInvariantRate);
}

void BM_Dos(benchmark::State& state)
{
    runParse(state, dosLine, lfDos);
}

void BM_Mlsd(benchmark::State& state)
{
    runParse(state, mlsdLine, lfMlsd);
}

void BM_Vms(benchmark::State& state)
{
    runParse(state, vmsLine, lfVms);
}

// The least any reader does: cut the lines, decode and keep each one.
void BM_SplitDecodeKeepBaseline(benchmark::State& state)
{
    const QByteArray listing = makeListing(mlsdLine, int(state.range(0)));
    for (auto _ : state) {
        std::vector<QString> lines;
        qsizetype start = 0;
        for (qsizetype feed = listing.indexOf('\n'); feed >= 0; feed = listing.indexOf('\n', start)) {
            lines.push_back(FromCp1250(QByteArrayView(listing).sliced(start, feed - start)));
            start = feed + 1;
        }
        benchmark::DoNotOptimize(lines.data());
        state.PauseTiming();
        lines = {};
        state.ResumeTiming();
    }
    state.SetComplexityN(state.range(0));
}

// Detection stops after its first voting lines, so a long listing costs no more than a short one.
void BM_Detect(benchmark::State& state)
{
    const QByteArray listing = makeListing(vmsLine, int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(DetectListFormat(listing));
}

#define KVADO_LISTING_SIZES                                                                                  \
    ->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN)
BENCHMARK(BM_Dos) KVADO_LISTING_SIZES;
BENCHMARK(BM_Mlsd) KVADO_LISTING_SIZES;
BENCHMARK(BM_Vms) KVADO_LISTING_SIZES;
BENCHMARK(BM_SplitDecodeKeepBaseline) KVADO_LISTING_SIZES;
BENCHMARK(BM_Detect)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);
} // namespace

BENCHMARK_MAIN();

// Decoding speed of Kvado's GIF reader: reading every frame of a file, and
// reading plus composing every frame into the working image (what showing
// each frame in turn costs). Usage: gif_bench FILE.gif [benchmark options].
// tools/bench/gif-vs-convert makes a 1000 x 1000, 100-frame file and compares
// the figure with ImageMagick's convert decoding the same file.
#include "widgets/gifcanvas.h"
#include "widgets/gifreader.h"

#include <QFile>
#include <benchmark/benchmark.h>

#include <cstdio>

namespace {

QByteArray g_file;

void ReadFrames(benchmark::State& state)
{
    qint64 pixels = 0;
    for (auto _ : state) {
        TGifPicture picture;
        ReadGif(g_file, picture);
        pixels = 0;
        for (const TGifFrame& frame : picture.Frames)
            pixels += frame.Pixels.size();
        benchmark::DoNotOptimize(pixels);
    }
    state.counters["Mpixels/s"] =
        benchmark::Counter(double(pixels) / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}

void ReadAndComposeFrames(benchmark::State& state)
{
    for (auto _ : state) {
        TGifPicture picture;
        ReadGif(g_file, picture);
        TGifCanvas canvas;
        canvas.Reset(picture.LogicalSize, picture.AnyTransparent);
        for (std::size_t i = 0; i < picture.Frames.size(); ++i) {
            if (i > 0)
                canvas.Dispose(picture.Frames[i - 1], int(i));
            canvas.Draw(picture.Frames[i], int(i + 1));
            benchmark::DoNotOptimize(canvas.Image().constBits());
        }
    }
}

} // namespace

BENCHMARK(ReadFrames)->Unit(benchmark::kMillisecond);
BENCHMARK(ReadAndComposeFrames)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FILE.gif [benchmark options]\n", argv[0]);
        return 2;
    }
    QFile file(QString::fromLocal8Bit(argv[1]));
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 2;
    }
    g_file = file.readAll();
    TGifPicture picture;
    const TGifReadResult result = ReadGif(g_file, picture);
    std::fprintf(stderr, "%s: %zu frames, %dx%d, %s\n", argv[1], picture.Frames.size(),
                 picture.LogicalSize.width(), picture.LogicalSize.height(),
                 result == TGifReadResult::grOk ? "read without fault" : "FAULT");
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

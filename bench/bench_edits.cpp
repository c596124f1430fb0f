// The eight picture edits on a 4000 x 3000 24-bit picture beside Qt's nearest
// equivalents in the same run: QImage::mirrored, QImage::transformed by 90,
// 270 and 180 degrees, and a plain scan-line loop for lighten, darken, grey.
#include "processing/image_edits.h"

#include <QTransform>
#include <benchmark/benchmark.h>
#include <algorithm>

namespace {

const QImage& picture()
{
    static const QImage img = [] {
        QImage p(4000, 3000, QImage::Format_RGB888);
        quint32 s = 12345;
        for (int y = 0; y < p.height(); ++y) {
            uchar* row = p.scanLine(y);
            for (int i = 0; i < 3 * p.width(); ++i) {
                s = s * 1664525u + 1013904223u;
                row[i] = uchar(s >> 24);
            }
        }
        return p;
    }();
    return img;
}

// Edits that make a new picture.
template <class Edit>
void run(benchmark::State& state, Edit edit)
{
    const QImage& p = picture();
    for (auto _ : state) {
        QImage out = edit(p);
        benchmark::DoNotOptimize(out.constBits());
    }
    state.SetItemsProcessed(state.iterations() * p.width() * p.height());
}

// The flips work in place on a picture of their own.
template <class Flip>
void runInPlace(benchmark::State& state, Flip flip)
{
    QImage p = picture().copy();
    for (auto _ : state) {
        flip(p);
        benchmark::DoNotOptimize(p.constBits());
    }
    state.SetItemsProcessed(state.iterations() * p.width() * p.height());
}

// The peer of the channel edits: each pixel's channels computed in a scan-line loop.
template <class Channel>
QImage scanLineLoop(const QImage& p, Channel channel)
{
    QImage out(p.size(), QImage::Format_RGB888);
    for (int y = 0; y < p.height(); ++y) {
        const uchar* in = p.constScanLine(y);
        uchar* o = out.scanLine(y);
        for (int x = 0; x < p.width(); ++x, in += 3, o += 3)
            channel(in, o);
    }
    return out;
}

QImage rotated(const QImage& p, int degrees) { return p.transformed(QTransform().rotate(degrees)); }

} // namespace

BENCHMARK_CAPTURE(runInPlace, FlipH_ours, [](QImage& p) { FlipHorizontal(p); })->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(run, FlipH_qt_mirrored, [](const QImage& p) { return p.mirrored(true, false); })->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(runInPlace, FlipV_ours, [](QImage& p) { FlipVertical(p); })->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(run, FlipV_qt_mirrored, [](const QImage& p) { return p.mirrored(false, true); })->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(run, RotateRight_ours, [](const QImage& p) { return RotateRight(p); })->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(run, RotateRight_qt_transformed, [](const QImage& p) { return rotated(p, 90); })->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(run, RotateLeft_ours, [](const QImage& p) { return RotateLeft(p); })->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(run, RotateLeft_qt_transformed, [](const QImage& p) { return rotated(p, 270); })->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(run, Rotate180_ours, [](const QImage& p) { return Rotate180(p); })->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(run, Rotate180_qt_transformed, [](const QImage& p) { return rotated(p, 180); })->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(run, Lighten_ours, [](const QImage& p) { return LightenBitmap(p, 5); })->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(run, Lighten_scanline_loop, [](const QImage& p) {
    return scanLineLoop(p, [](const uchar* in, uchar* o) {
        for (int c = 0; c < 3; ++c)
            o[c] = uchar(std::min(in[c] + 5, 255));
    });
})->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(run, Darken_ours, [](const QImage& p) { return DarkenBitmap(p, 5); })->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(run, Darken_scanline_loop, [](const QImage& p) {
    return scanLineLoop(p, [](const uchar* in, uchar* o) {
        for (int c = 0; c < 3; ++c)
            o[c] = uchar(std::max(in[c] - 5, 0));
    });
})->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(run, Grey_ours, [](const QImage& p) { return GreyBitmap(p); })->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(run, Grey_scanline_loop, [](const QImage& p) {
    return scanLineLoop(p, [](const uchar* in, uchar* o) {
        o[0] = o[1] = o[2] = uchar((30 * in[0] + 59 * in[1] + 11 * in[2]) / 100);
    });
})->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();

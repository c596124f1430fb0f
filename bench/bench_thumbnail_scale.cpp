// The thumbnail's reduction to its box: our box filter beside Qt's smooth
// scaling, for the decoder outputs of the folder scan.
#include "catalogue/thumbnail_scale.h"

#include <QImage>
#include <benchmark/benchmark.h>
#include <cstdint>

namespace {

QImage noisy(int w, int h, QImage::Format format)
{
    QImage img(w, h, QImage::Format_RGB888);
    std::uint32_t s = 12345;
    for (int y = 0; y < h; ++y) {
        uchar* p = img.scanLine(y);
        for (int x = 0; x < 3 * w; ++x) {
            s = s * 1664525u + 1013904223u;
            p[x] = uchar(s >> 24);
        }
    }
    return img.convertToFormat(format);
}

// A quarter-scale 12-megapixel JPEG, and a small picture of a folder.
const struct Case {
    int w, h;
    QImage::Format format;
} kCases[] = {
    {1000, 750, QImage::Format_RGB888},
    {408, 306, QImage::Format_RGB888},
    {400, 300, QImage::Format_RGB32},
    {400, 300, QImage::Format_Indexed8},
};

void args(benchmark::internal::Benchmark* b)
{
    for (int i = 0; i < int(std::size(kCases)); ++i)
        b->Arg(i);
}

void BM_BoxFilter(benchmark::State& state)
{
    const Case& c = kCases[state.range(0)];
    const QImage src = noisy(c.w, c.h, c.format);
    for (auto _ : state)
        benchmark::DoNotOptimize(thumbs::scaleForThumbnail(src, 88, 66).constBits());
    state.SetLabel(QString("%1x%2 format %3").arg(c.w).arg(c.h).arg(int(c.format)).toStdString());
}

void BM_QtSmooth(benchmark::State& state)
{
    const Case& c = kCases[state.range(0)];
    const QImage src = noisy(c.w, c.h, c.format);
    for (auto _ : state)
        benchmark::DoNotOptimize(src.scaled(88, 66, Qt::IgnoreAspectRatio, Qt::SmoothTransformation).constBits());
    state.SetLabel(QString("%1x%2 format %3").arg(c.w).arg(c.h).arg(int(c.format)).toStdString());
}

BENCHMARK(BM_BoxFilter)->Apply(args)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_QtSmooth)->Apply(args)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();

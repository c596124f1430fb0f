// GIF speed: our reader against Qt's on the same file, and our writer
// (reduction to indices and LZW coding) on the same picture.
#include "formats/gif_file.h"
#include "formats/gif_image.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QImageReader>
#include <benchmark/benchmark.h>
#include <random>

namespace {

// 1024 x 768 in 256 colours: smooth bands with noise, which refills the code table often.
const QImage& picture()
{
    static const QImage img = [] {
        QImage im(1024, 768, QImage::Format_RGB32);
        std::mt19937 rng(1);
        for (int y = 0; y < im.height(); ++y)
            for (int x = 0; x < im.width(); ++x) {
                const int c = ((x / 8 + y / 6) + int(rng() % 4)) % 256;
                im.setPixel(x, y, qRgb(c, 255 - c, (c * 7) % 256));
            }
        return im;
    }();
    return img;
}

const QByteArray& gifBytes()
{
    static const QByteArray bytes = EncodeGifPicture(picture());
    return bytes;
}

void BM_GifDecodeOurs(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(DecodeGifPicture(gifBytes()));
    state.SetBytesProcessed(state.iterations() * gifBytes().size());
}
BENCHMARK(BM_GifDecodeOurs)->Unit(benchmark::kMillisecond);

void BM_GifDecodeQt(benchmark::State& state)
{
    for (auto _ : state) {
        QBuffer buf;
        buf.setData(gifBytes());
        QImageReader reader(&buf, "gif");
        benchmark::DoNotOptimize(reader.read());
    }
    state.SetBytesProcessed(state.iterations() * gifBytes().size());
}
BENCHMARK(BM_GifDecodeQt)->Unit(benchmark::kMillisecond);

void BM_GifEncodeOurs(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(EncodeGifPicture(picture()));
}
BENCHMARK(BM_GifEncodeOurs)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv); // loads Qt's gif plugin
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

// Thumbnail decoding of large photographs: the JPEG adapter's quarter-scale fast
// decode beside a minimal libjpeg loop and djpeg -scale 1/4 -dct fast, in one run.
#include "formats/jpeg_codec.h"
#include "formats/jpeg_dc_decode.h"
#include "formats/jpeg_options.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <vector>

#include <jpeglib.h>

namespace {

constexpr int kPhotos = 6;
constexpr int kWidth = 3008, kHeight = 2000; // a 6-megapixel camera

// Something with the statistics of a photograph: soft light, shapes with edges,
// texture and sensor noise.
QImage makePhotograph(int seed)
{
    QImage img(kWidth, kHeight, QImage::Format_RGB888);
    quint32 state = 0x9e3779b9u * quint32(seed + 1);
    for (int y = 0; y < kHeight; ++y) {
        uchar* row = img.scanLine(y);
        for (int x = 0; x < kWidth; ++x) {
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
            const int noise = int(state & 15) - 8;
            const double light = 0.5 + 0.5 * std::sin(x * 0.0021 + seed) * std::cos(y * 0.0017);
            const int cx = x - kWidth / 2 - seed * 100, cy = y - kHeight / 2;
            const bool inside = (cx / 3) * (cx / 3) + cy * cy / 4 < 90000 + seed * 5000;
            const int texture = int(20 * std::sin(x * 0.31 + y * 0.17));
            int r = int(60 + 150 * light) + (inside ? 40 : 0) + texture + noise;
            int g = int(50 + 120 * light) + (inside ? -30 : 10) + noise;
            int b = int(90 + 100 * (1 - light)) + texture / 2 + noise;
            row[3 * x] = uchar(std::clamp(r, 0, 255));
            row[3 * x + 1] = uchar(std::clamp(g, 0, 255));
            row[3 * x + 2] = uchar(std::clamp(b, 0, 255));
        }
    }
    return img;
}

struct Folder {
    QTemporaryDir dir;
    QStringList files;
    Folder()
    {
        for (int i = 0; i < kPhotos; ++i) {
            const QString path = dir.filePath(QString("photo%1.jpg").arg(i));
            QFile f(path);
            if (!f.open(QIODevice::WriteOnly) || f.write(qv::jpeg::compress(makePhotograph(i), {90, false, false})) < 0)
                qFatal("cannot write %s", qPrintable(path));
            files << path;
        }
    }
};

Folder& folder()
{
    static Folder f;
    return f;
}

void BM_AdapterQuarterFast(benchmark::State& state)
{
    const QStringList& files = folder().files;
    JpegThumbnailDecoder decoder(0);
    for (auto _ : state)
        for (const QString& f : files)
            benchmark::DoNotOptimize(decoder.decodeFile(f).image.constBits());
    state.SetItemsProcessed(state.iterations() * files.size());
}

// What a careful caller of libjpeg writes at the least: the file in memory,
// one decompressor per picture, rows into one buffer.
struct MinimalError {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

void minimalFail(j_common_ptr c)
{
    std::longjmp(reinterpret_cast<MinimalError*>(c->err)->jump, 1);
}

bool minimalDecode(const QByteArray& bytes, std::vector<unsigned char>& pixels)
{
    jpeg_decompress_struct c;
    MinimalError err;
    c.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = minimalFail;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&c);
        return false;
    }
    jpeg_create_decompress(&c);
    jpeg_mem_src(&c, reinterpret_cast<const unsigned char*>(bytes.constData()), bytes.size());
    jpeg_read_header(&c, TRUE);
    c.scale_num = 1;
    c.scale_denom = 4;
    c.dct_method = JDCT_IFAST;
    jpeg_start_decompress(&c);
    const size_t stride = size_t(c.output_width) * 3;
    pixels.resize(stride * c.output_height);
    while (c.output_scanline < c.output_height) {
        JSAMPROW row = pixels.data() + stride * c.output_scanline;
        jpeg_read_scanlines(&c, &row, 1);
    }
    jpeg_finish_decompress(&c);
    jpeg_destroy_decompress(&c);
    return true;
}

void BM_MinimalLibjpegLoop(benchmark::State& state)
{
    const QStringList& files = folder().files;
    std::vector<unsigned char> pixels;
    for (auto _ : state)
        for (const QString& path : files) {
            QFile f(path);
            if (!f.open(QIODevice::ReadOnly) || !minimalDecode(f.readAll(), pixels))
                state.SkipWithError("decode failed");
            benchmark::DoNotOptimize(pixels.data());
        }
    state.SetItemsProcessed(state.iterations() * files.size());
}

void BM_DjpegQuarterFast(benchmark::State& state)
{
    if (QStandardPaths::findExecutable("djpeg").isEmpty()) {
        state.SkipWithError("djpeg not installed");
        return;
    }
    const QStringList& files = folder().files;
    for (auto _ : state)
        for (const QString& path : files) {
            QProcess p;
            p.start("djpeg", {"-scale", "1/4", "-dct", "fast", "-outfile", "/dev/null", path});
            if (!p.waitForFinished(60000) || p.exitCode() != 0)
                state.SkipWithError("djpeg failed");
        }
    state.SetItemsProcessed(state.iterations() * files.size());
}

// The thumbnail's 1/8 decode of a baseline file: libjpeg against our DC decoder.
std::vector<QByteArray> fileBytes()
{
    std::vector<QByteArray> out;
    for (const QString& path : folder().files) {
        QFile f(path);
        if (f.open(QIODevice::ReadOnly))
            out.push_back(f.readAll());
    }
    return out;
}

void BM_EighthLibjpeg(benchmark::State& state)
{
    const std::vector<QByteArray> files = fileBytes();
    qv::jpeg::Decompressor decompressor;
    qv::jpeg::DecodeSettings s;
    s.scaleDenom = 8;
    s.bestSpeed = true;
    for (auto _ : state)
        for (const QByteArray& b : files)
            benchmark::DoNotOptimize(
                decompressor.decode(reinterpret_cast<const uchar*>(b.constData()), std::size_t(b.size()), s)
                    .image.constBits());
    state.SetItemsProcessed(state.iterations() * qint64(files.size()));
}

void BM_EighthDcDecoder(benchmark::State& state)
{
    const std::vector<QByteArray> files = fileBytes();
    qv::jpeg::EighthScaleDecoder decoder;
    for (auto _ : state)
        for (const QByteArray& b : files) {
            const auto r = decoder.decode(reinterpret_cast<const uchar*>(b.constData()), std::size_t(b.size()),
                                          false, false);
            if (!r)
                state.SkipWithError("not handled");
            benchmark::DoNotOptimize(r);
        }
    state.SetItemsProcessed(state.iterations() * qint64(files.size()));
}

BENCHMARK(BM_AdapterQuarterFast)->Unit(benchmark::kMillisecond)->MinTime(3);
BENCHMARK(BM_EighthLibjpeg)->Unit(benchmark::kMillisecond)->MinTime(3);
BENCHMARK(BM_EighthDcDecoder)->Unit(benchmark::kMillisecond)->MinTime(3);
BENCHMARK(BM_MinimalLibjpegLoop)->Unit(benchmark::kMillisecond)->MinTime(3);
// djpeg runs in a child process: only wall-clock time means anything for it.
BENCHMARK(BM_DjpegQuarterFast)->Unit(benchmark::kMillisecond)->MinTime(3)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    folder(); // the photographs are made before any timing
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

// Peak memory of loading pictures at the size limit: each file is loaded by a
// child process (this program run with --load FILE) through the loading
// dispatch, and the child's peak resident size is set against the picture's
// own size. Goal: peak <= 1.15 x picture + 64 MiB.
//   build-bench/bench/bench_peak_memory [--benchmark_filter=Tga]
// Counters: peak_MiB, picture_MiB, goal_MiB, within_goal (1 or 0), refused
// (1 when the reader refused the file: the goal is then 64 MiB); the time is
// the child's whole run.
#include "formats/jpeg_codec.h"
#include "formats/picture_loader.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstring>
#include <functional>

namespace {

constexpr int kSide = 16384; // 2^28 pixels

void le16(QByteArray& b, quint32 v) { b.append(char(v)).append(char(v >> 8)); }
void le32(QByteArray& b, quint32 v)
{
    le16(b, v & 0xFFFF);
    le16(b, v >> 16);
}

// A run-length Targa, 24 bits: packets of 128 equal pixels.
void writeTarga(QFile& f)
{
    QByteArray h(18, '\0');
    h[2] = 10;
    h[12] = char(kSide & 0xFF), h[13] = char(kSide >> 8);
    h[14] = char(kSide & 0xFF), h[15] = char(kSide >> 8);
    h[16] = 24;
    f.write(h);
    QByteArray row;
    for (int x = 0; x < kSide; x += 128)
        row.append(char(0xFF)).append(char(x / 64)).append(char(90)).append(char(200));
    for (int y = 0; y < kSide; ++y)
        f.write(row);
}

// A run-length PCX of three 8-bit planes: runs of 63 bytes.
void writePcx(QFile& f)
{
    QByteArray h(128, '\0');
    h[0] = 10, h[1] = 5, h[2] = 1, h[3] = 8;
    h[8] = char((kSide - 1) & 0xFF), h[9] = char((kSide - 1) >> 8);
    h[10] = char((kSide - 1) & 0xFF), h[11] = char((kSide - 1) >> 8);
    h[65] = 3;
    h[66] = char(kSide & 0xFF), h[67] = char(kSide >> 8);
    f.write(h);
    QByteArray line;
    for (int plane = 0; plane < 3; ++plane)
        for (int left = kSide; left > 0; left -= 63)
            line.append(char(0xC0 | std::min(left, 63))).append(char(plane * 80));
    for (int y = 0; y < kSide; ++y)
        f.write(line);
}

QByteArray bitmapHeaders(int bits, quint32 compression, quint32 dataSize, int colours)
{
    QByteArray b("BM");
    le32(b, quint32(54 + 4 * colours) + dataSize);
    le32(b, 0);
    le32(b, quint32(54 + 4 * colours));
    le32(b, 40);
    le32(b, kSide);
    le32(b, kSide);
    le16(b, 1);
    le16(b, quint32(bits));
    le32(b, compression);
    le32(b, dataSize);
    le32(b, 0);
    le32(b, 0);
    le32(b, quint32(colours));
    le32(b, 0);
    for (int i = 0; i < colours; ++i)
        le32(b, quint32(i * 0x010101));
    return b;
}

// RLE8: runs of 255 pixels, an end of line per row.
void writeRle8(QFile& f)
{
    QByteArray row;
    for (int left = kSide; left > 0; left -= 255)
        row.append(char(std::min(left, 255))).append(char(left / 255));
    row.append('\0').append('\0');
    f.write(bitmapHeaders(8, 1, quint32(row.size()) * kSide + 2, 256));
    for (int y = 0; y < kSide; ++y)
        f.write(row);
    f.write(QByteArray("\0\1", 2));
}

// Uncompressed 24 bits: a file of 768 MiB.
void writeBmp24(QFile& f)
{
    f.write(bitmapHeaders(24, 0, quint32(kSide) * kSide * 3, 0));
    QByteArray row(kSide * 3, '\0');
    for (int x = 0; x < row.size(); ++x)
        row[x] = char(x * 7);
    for (int y = 0; y < kSide; ++y)
        f.write(row);
}

// LZW TIFF of 2400 x 65535 in 24 bits: codes that each spell one zero more
// than the one before, so a few hundred KB cover 450 MiB of rows.
void writeLzwTif(QFile& f)
{
    const quint32 w = 2400, h = 65535;
    const std::uint64_t needed = std::uint64_t(w) * 3 * h;
    QByteArray codes;
    quint32 acc = 0;
    int accBits = 0;
    auto put = [&](int code, int width) {
        acc = (acc << width) | quint32(code);
        accBits += width;
        while (accBits >= 8) {
            codes.append(char(acc >> (accBits - 8)));
            accBits -= 8;
        }
    };
    std::uint64_t produced = 0;
    int width = 9;
    while (produced < needed) {
        put(256, width); // clear
        width = 9;
        put(0, width);
        produced += 1;
        int next = 258;
        for (std::uint64_t length = 2; next < 4094 && produced < needed; ++length) {
            put(next, width);
            produced += length;
            if (++next == 511 || next == 1023 || next == 2047)
                ++width;
        }
    }
    put(257, width);
    if (accBits)
        codes.append(char(acc << (8 - accBits)));
    // The reader refuses rows that the file's size could not hold.
    codes.append(QByteArray(qsizetype(needed / 1400 + 1024) - codes.size() > 0 ? qsizetype(needed / 1400 + 1024) - codes.size() : 0, '\0'));

    QByteArray t("II*\0", 4);
    le32(t, 8);
    const quint32 entries[][4] = {{256, 4, 1, w},   {257, 4, 1, h}, {258, 3, 1, 8},   {259, 3, 1, 5},
                                  {262, 3, 1, 2},   {273, 4, 1, 0}, {277, 3, 1, 3},   {278, 4, 1, h},
                                  {279, 4, 1, quint32(codes.size())}};
    const quint32 dataAt = 8 + 2 + 9 * 12 + 4;
    le16(t, 9);
    for (const auto& e : entries) {
        le16(t, e[0]);
        le16(t, e[1]);
        le32(t, e[2]);
        le32(t, e[0] == 273 ? dataAt : e[3]);
    }
    le32(t, 0);
    f.write(t + codes);
}

// GIF of 16384 x 16384 in 256 colours: after each clear, every code names the
// entry it defines, one pixel longer than the last (LSB-first packing).
void writeGif(QFile& f)
{
    QByteArray g("GIF89a");
    le16(g, kSide);
    le16(g, kSide);
    g.append(char(0xF7)).append('\0').append('\0');
    for (int i = 0; i < 256; ++i)
        g.append(char(i)).append(char(i)).append(char(255 - i));
    g.append(',');
    le32(g, 0);
    le16(g, kSide);
    le16(g, kSide);
    g.append('\0').append(char(8)); // no local table; minimum code size 8

    QByteArray codes;
    quint32 acc = 0;
    int accBits = 0;
    int width = 9, next = 258;
    auto put = [&](int code) {
        acc |= quint32(code) << accBits;
        accBits += width;
        while (accBits >= 8) {
            codes.append(char(acc & 0xFF));
            acc >>= 8;
            accBits -= 8;
        }
    };
    auto clear = [&] {
        put(256);
        width = 9;
        next = 258;
    };
    auto defined = [&] { // the decoder widens once the next free code needs another bit
        if (++next == (1 << width) && width < 12)
            ++width;
    };
    const std::uint64_t needed = std::uint64_t(kSide) * kSide;
    std::uint64_t produced = 0;
    for (;;) {
        const std::uint64_t cycle = 4094 - 258; // codes 258..4093 spell 2..3837 pixels
        if (produced + 1 + cycle * (cycle + 3) / 2 > needed)
            break;
        clear();
        put(0);
        ++produced;
        for (std::uint64_t length = 2; next < 4094; ++length) {
            put(next);
            defined();
            produced += length;
        }
    }
    clear();
    for (bool afterClear = true; produced < needed; ++produced) {
        put(0);
        if (!afterClear)
            defined();
        afterClear = next == 4094;
        if (afterClear)
            clear();
    }
    put(257);
    if (accBits)
        codes.append(char(acc & 0xFF));
    for (qsizetype at = 0; at < codes.size(); at += 255) {
        const QByteArray block = codes.mid(at, 255);
        g.append(char(block.size())).append(block);
    }
    g.append('\0').append(';');
    f.write(g);
}

// A 32 x 24 JPEG whose frame header claims 16384 x 16384.
void writeJpegBomb(QFile& f)
{
    QImage small(32, 24, QImage::Format_RGB32);
    small.fill(Qt::darkCyan);
    QByteArray jpeg = qv::jpeg::compress(small, {});
    const qsizetype sof = jpeg.indexOf("\xFF\xC0");
    jpeg[sof + 5] = char(kSide >> 8), jpeg[sof + 6] = char(kSide & 0xFF);
    jpeg[sof + 7] = char(kSide >> 8), jpeg[sof + 8] = char(kSide & 0xFF);
    f.write(jpeg);
}

QString g_self;

// Loads the file in a child and returns its peak resident size and the
// picture's size in bytes (-1 when the reader refused the file), or a peak of
// -1 when the child failed.
std::pair<double, double> childPeak(const QString& path)
{
    QProcess child;
    child.start(g_self, {"--load", path});
    if (!child.waitForFinished(600000) || child.exitCode() != 0)
        return {-1, -1};
    double peakKib = -1, pictureBytes = -1;
    std::sscanf(child.readAllStandardOutput().constData(), "%lf %lf", &peakKib, &pictureBytes);
    return {peakKib * 1024, pictureBytes};
}

void measure(benchmark::State& state, const char* name, const std::function<void(QFile&)>& write)
{
    QTemporaryDir dir;
    const QString path = QDir(dir.path()).filePath(name);
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly)) {
            state.SkipWithError("cannot write the file");
            return;
        }
        write(f);
    }
    std::pair<double, double> r;
    for (auto _ : state)
        r = childPeak(path);
    if (r.first < 0) {
        state.SkipWithError("the child failed");
        return;
    }
    const bool refused = r.second < 0;
    const double picture = refused ? 0 : r.second;
    const double mib = 1024.0 * 1024.0;
    const double goal = 1.15 * picture + 64 * mib;
    state.counters["refused"] = refused ? 1 : 0;
    state.counters["peak_MiB"] = r.first / mib;
    state.counters["picture_MiB"] = picture / mib;
    state.counters["goal_MiB"] = goal / mib;
    state.counters["within_goal"] = r.first <= goal ? 1 : 0;
}

#define PEAK_CASE(Name, file, writer)                                                             \
    void Name(benchmark::State& state) { measure(state, file, writer); }                          \
    BENCHMARK(Name)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond)

PEAK_CASE(BM_PeakTargaRle, "limit.tga", writeTarga);
PEAK_CASE(BM_PeakPcxRle, "limit.pcx", writePcx);
PEAK_CASE(BM_PeakBmpRle8, "limit-rle8.bmp", writeRle8);
PEAK_CASE(BM_PeakBmp24, "limit-24.bmp", writeBmp24);
PEAK_CASE(BM_PeakTifLzw, "limit.tif", writeLzwTif);
PEAK_CASE(BM_PeakGifLzw, "limit.gif", writeGif);
PEAK_CASE(BM_PeakJpegBomb, "bomb.jpg", writeJpegBomb);

long statusKib(const char* field)
{
    QFile f("/proc/self/status");
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(qsizetype(std::strlen(field))).trimmed().split(' ').first().toLong();
    return -1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--load") == 0) {
        long long pictureBytes = -1;
        try {
            pictureBytes = LoadPictureFile(QString::fromLocal8Bit(argv[2])).image().sizeInBytes();
        } catch (...) {
            // refused: the peak still counts
        }
        std::printf("%ld %lld\n", statusKib("VmHWM:"), pictureBytes);
        return 0;
    }
    QCoreApplication app(argc, argv);
    g_self = QCoreApplication::applicationFilePath();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

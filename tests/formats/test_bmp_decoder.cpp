// The Windows bitmap reader on every variant it knows, each file built here
// from chosen pixel values and checked against the colours worked out here from
// those values; then truncated and contradictory files, which must be refused.
// With QV_WRITE_SEEDS=DIR set, the variants are also written to
// DIR/fuzz_bmp as the fuzz target's seeds.
#include "formats/bmp_builder.h"
#include "formats/bmp_decoder.h"
#include "formats/fixture_tools.h"
#include "formats/jpeg_image.h"
#include "formats/packed_bitmap.h"
#include "formats/picture_loader.h"

#include <QBuffer>
#include <QImageWriter>
#include <QTemporaryDir>
#include <array>
#include <cmath>

using namespace qvtest;

namespace {

constexpr int W = 5, H = 3;

struct Variant {
    const char* name;
    quint32 headerSize; // 12 core, 16 and 64 OS/2, 40, 52, 56, 108, 124
    int bits;
    quint32 compression;
    std::array<quint32, 4> masks; // red, green, blue, alpha: how pixels are packed
    int paletteEntries;           // written to the file
    quint32 coloursUsed;          // the header field
    bool topDown = false;
    bool zeroAlpha = false;       // every alpha value written as 0
};

// A colour for each palette index, none of them black.
QRgb paletteColour(int i) { return qRgb(40 + i * 13 % 200, 255 - i * 7 % 250, 1 + i * 29 % 254); }

int indexAt(int x, int y, int bits) { return (x * 3 + y * 5 + 1) % (1 << bits); }

// The value of channel c at (x, y) for a field of `max`; the top right pixel
// is full in every channel.
quint32 channelAt(int x, int y, int c, quint32 max)
{
    if (x == W - 1 && y == 0)
        return max;
    return quint32((std::uint64_t(x + W * y) * (17 + 6 * c) * 2654435761u) % (std::uint64_t(max) + 1));
}

int shiftOf(quint32 m)
{
    int s = 0;
    while (m && !((m >> s) & 1))
        ++s;
    return s;
}

// 64-bit samples: 2.13 fixed point of linear light, some outside 0..1.
qint16 wideAt(int x, int y, int c)
{
    static const qint16 v[] = {0, 8192, 4096, 1024, 300, -200, 9000, 6000, 20, 7777, 100, 2500};
    return v[std::size_t(x + W * y + c * 5) % std::size(v)];
}

uchar srgbOf(qint16 v)
{
    const double l = std::clamp(v / 8192.0, 0.0, 1.0);
    const double s = l <= 0.0031308 ? 12.92 * l : 1.055 * std::pow(l, 1 / 2.4) - 0.055;
    return uchar(std::lround(s * 255));
}

bool hasAlpha(const Variant& v) { return v.bits == 64 || (v.masks[3] && (v.compression == 3 || v.compression == 6)); }

QRgb expectedAt(const Variant& v, int x, int y)
{
    if (v.bits <= 8) {
        const int i = indexAt(x, y, v.bits);
        return i < v.paletteEntries ? paletteColour(i) : qRgb(0, 0, 0);
    }
    if (v.bits == 64) {
        const int a = v.zeroAlpha ? 8192 : std::clamp<int>(wideAt(x, y, 3), 0, 8192);
        return qRgba(srgbOf(wideAt(x, y, 2)), srgbOf(wideAt(x, y, 1)), srgbOf(wideAt(x, y, 0)),
                     int(std::lround(a * 255 / 8192.0)));
    }
    int c[4];
    for (int i = 0; i < 4; ++i) {
        const quint32 max = v.masks[std::size_t(i)] >> shiftOf(v.masks[std::size_t(i)]);
        c[i] = max ? int(std::lround(channelAt(x, y, i, max) * 255.0 / max)) : 0;
    }
    return qRgba(c[0], c[1], c[2], hasAlpha(v) && !v.zeroAlpha ? c[3] : 255);
}

QByteArray pixelRow(const Variant& v, int y)
{
    QByteArray row;
    uint acc = 0;
    int accBits = 0;
    for (int x = 0; x < W; ++x) {
        if (v.bits <= 8) {
            acc = (acc << v.bits) | uint(indexAt(x, y, v.bits));
            accBits += v.bits;
            if (accBits == 8) {
                row.append(char(acc));
                acc = 0, accBits = 0;
            }
        } else if (v.bits == 64) {
            for (int c = 0; c < 4; ++c)
                appendLe16(row, quint16(v.zeroAlpha && c == 3 ? 0 : wideAt(x, y, c)));
        } else {
            quint32 word = 0;
            for (int c = 0; c < 4; ++c) {
                const quint32 m = v.masks[std::size_t(c)];
                if (m && !(c == 3 && v.zeroAlpha))
                    word |= channelAt(x, y, c, m >> shiftOf(m)) << shiftOf(m);
            }
            if (v.bits == 16)
                appendLe16(row, word);
            else if (v.bits == 24)
                row.append(char(word)).append(char(word >> 8)).append(char(word >> 16));
            else
                appendLe32(row, word);
        }
    }
    if (accBits)
        row.append(char(acc << (8 - accBits)));
    while (row.size() % 4)
        row.append('\0');
    return row;
}

QByteArray bitmapFile(const Variant& v, const QByteArray& data)
{
    BmpLayout s{.width = W, .height = v.topDown ? -H : H, .bits = quint16(v.bits), .compression = v.compression,
                .coloursUsed = v.coloursUsed, .infoSize = v.headerSize};
    for (int i = 0; i < v.paletteEntries; ++i)
        s.palette << paletteColour(i);
    if (v.compression == 3 || v.compression == 6)
        for (int i = 0; i < (v.headerSize == 40 && v.compression == 3 ? 3 : 4); ++i)
            appendLe32(s.masks, v.masks[std::size_t(i)]);
    return bmpFile(s, data);
}

QByteArray uncompressedFile(const Variant& v)
{
    QByteArray data;
    for (int i = 0; i < H; ++i)
        data += pixelRow(v, v.topDown ? i : H - 1 - i);
    return bitmapFile(v, data);
}

constexpr std::array<quint32, 4> k555{0x7C00, 0x03E0, 0x001F, 0}, k888{0xFF0000, 0xFF00, 0xFF, 0};

const Variant kVariants[] = {
    {"core 8 bits, 3-byte colours", 12, 8, 0, {}, 256, 0},
    {"core 1 bit", 12, 1, 0, {}, 2, 0},
    {"OS/2 16-byte header, 4 bits", 16, 4, 0, {}, 16, 0},
    {"OS/2 64-byte header, 8 bits, short palette", 64, 8, 0, {}, 10, 10},
    {"1 bit, one palette entry", 40, 1, 0, {}, 1, 1},
    {"2 bits", 40, 2, 0, {}, 4, 0},
    {"4 bits, 12 colours", 40, 4, 0, {}, 12, 12},
    {"8 bits top-down", 40, 8, 0, {}, 256, 0, true},
    {"8 bits, 300 colours", 40, 8, 0, {}, 300, 300},
    {"16 bits 5-5-5", 40, 16, 0, k555, 0, 0},
    {"16 bits 5-6-5 fields", 40, 16, 3, {0xF800, 0x07E0, 0x001F, 0}, 0, 0},
    {"16 bits 2-3-1 fields", 40, 16, 3, {0x0030, 0x000E, 0x0001, 0}, 0, 0},
    {"16 bits 3-10-3 fields", 40, 16, 3, {0xE000, 0x1FF8, 0x0007, 0}, 0, 0},
    {"16 bits 4-4-4-4 in a V5 header", 124, 16, 3, {0x0F00, 0x00F0, 0x000F, 0xF000}, 0, 0},
    {"16 bits 1-9-2-4 in a V5 header", 124, 16, 3, {0x8000, 0x7FC0, 0x0030, 0x000F}, 0, 0},
    {"24 bits top-down", 40, 24, 0, k888, 0, 0, true},
    {"24 bits with a palette", 40, 24, 0, k888, 256, 256},
    {"32 bits", 40, 32, 0, k888, 0, 0},
    {"32 bits in a 52-byte header", 52, 32, 3, {0xFF, 0xFF00, 0xFF0000, 0}, 0, 0},
    {"32 bits 8-8-8-8 in a 56-byte header", 56, 32, 3, {0xFF00, 0xFF0000, 0xFF000000, 0xFF}, 0, 0},
    {"32 bits alpha bit fields", 40, 32, 6, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}, 0, 0},
    {"32 bits 10-10-10-2 in a V4 header", 108, 32, 3, {0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000}, 0, 0},
    {"32 bits 11-11-10", 40, 32, 3, {0xFFE00000, 0x1FFC00, 0x3FF, 0}, 0, 0},
    {"32 bits 7-18-7", 40, 32, 3, {0xFE000000, 0x1FFFF80, 0x7F, 0}, 0, 0},
    {"32 bits 6-17-5-4", 124, 32, 3, {0xFC000000, 0x3FFFE00, 0x1F0, 0xF}, 0, 0},
    {"32 bits 8-12-8-4", 124, 32, 3, {0xFF000000, 0xFFF000, 0xFF0, 0xF}, 0, 0},
    {"32 bits, alpha field all zero", 124, 32, 3, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}, 0, 0, false, true},
    {"64 bits", 40, 64, 0, {}, 0, 0},
    {"64 bits, alpha all zero", 40, 64, 0, {}, 0, 0, false, true},
};

// Writes a fuzz seed when QV_WRITE_SEEDS names a folder.
void writeSeed(const QString& name, const QByteArray& file)
{
    const QString root = QString::fromLocal8Bit(qgetenv("QV_WRITE_SEEDS"));
    if (root.isEmpty())
        return;
    QDir(root).mkpath("fuzz_bmp");
    writeFile(root + "/fuzz_bmp/" + name, file);
}

PackedImageResult decode(const QByteArray& file, BitmapRules rules = BitmapRules::AnyHeader)
{
    return DecodePackedImage(file, PackedFormat::WindowsBitmap, rules);
}

} // namespace

TEST(BmpVariants, EachDecodesToTheColoursOfItsValues)
{
    int n = 0;
    for (const Variant& v : kVariants) {
        SCOPED_TRACE(v.name);
        const QByteArray file = uncompressedFile(v);
        writeSeed(QString("variant%1.bmp").arg(++n, 2, 10, QChar('0')), file);
        const PackedImageResult r = decode(file);
        ASSERT_FALSE(r.image.isNull()) << r.status;
        EXPECT_EQ(r.bits, v.bits);
        EXPECT_EQ(r.image.hasAlphaChannel(), hasAlpha(v) && !v.zeroAlpha);
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x)
                ASSERT_EQ(r.image.pixel(x, y), expectedAt(v, x, y)) << x << "," << y;

        // The strict rules of ".rle" and ".dib" take the plain 40-byte files only.
        const bool plain = v.headerSize == 40 && v.bits != 2 && v.bits != 64 && v.compression != 6;
        EXPECT_EQ(!decode(file, BitmapRules::InfoHeaderOnly).image.isNull(), plain);

        // Every prefix that ends before the last row's pixels is refused.
        const qsizetype needed = file.size() - (pixelRow(v, 0).size() - (W * v.bits + 7) / 8);
        for (qsizetype cut = 0; cut < needed; cut += 1 + cut / 16)
            ASSERT_TRUE(decode(file.left(cut)).image.isNull()) << cut;
        EXPECT_FALSE(decode(file.left(needed)).image.isNull());
    }
}

// RLE8 and RLE4 share the run decoder with the packed-block tests; the 24-bit
// runs of OS/2 files come only this way.
TEST(BmpVariants, TwentyFourBitRunsLeaveWhatTheyNeverReachBlack)
{
    // 5 x 3, bottom row first: a run and an absolute run; a run, a delta over
    // two pixels and one more run, the row left early; the top row never reached.
    const QList<QList<int>> expected = {{-1, -1, -1, -1, -1}, {5, -1, -1, 6, -1}, {1, 1, 2, 3, 4}};
    auto bgr = [](int i) {
        const QRgb c = paletteColour(i);
        return QByteArray() + char(qBlue(c)) + char(qGreen(c)) + char(qRed(c));
    };
    const QByteArray runs = QByteArray("\x02", 1) + bgr(1) + QByteArray("\x00\x03", 2) + bgr(2) + bgr(3) + bgr(4)
        + QByteArray(1, '\0') + QByteArray("\x00\x00\x01", 3) + bgr(5) + QByteArray("\x00\x02\x02\x00\x01", 5)
        + bgr(6) + QByteArray("\x00\x00\x00\x01", 4);
    for (quint32 headerSize : {64u, 40u}) {
        SCOPED_TRACE(headerSize);
        const QByteArray file = bitmapFile({"RLE24", headerSize, 24, 4, {}, 0, 0}, runs);
        writeSeed(QString("runs-24-%1.bmp").arg(headerSize), file);
        const PackedImageResult r = decode(file);
        ASSERT_FALSE(r.image.isNull()) << r.status;
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x) {
                const int i = expected[y][x];
                ASSERT_EQ(r.image.pixel(x, y), i < 0 ? qRgb(0, 0, 0) : paletteColour(i)) << x << "," << y;
            }
        // Any cut of the runs still gives a picture.
        for (qsizetype cut = file.size() - runs.size(); cut < file.size(); ++cut)
            EXPECT_FALSE(decode(file.left(cut)).image.isNull()) << cut;
    }
}

TEST(BmpVariants, JpegAndPngStreamsInside)
{
    QImage source(W, H, QImage::Format_ARGB32);
    for (int y = 0; y < source.height(); ++y)
        for (int x = 0; x < source.width(); ++x)
            source.setPixel(x, y, qRgba(x * 12, y * 20, 255 - x * 9, 255 - y * 17));
    QByteArray png;
    QBuffer pngBuffer(&png);
    pngBuffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(QImageWriter(&pngBuffer, "png").write(source));
    TJPEGImage encoder;
    encoder.Assign(source.convertToFormat(QImage::Format_RGB32));
    QBuffer jpegBuffer;
    jpegBuffer.open(QIODevice::WriteOnly);
    encoder.SaveToStream(jpegBuffer);
    TJPEGImage decoder;
    decoder.LoadFromData(jpegBuffer.data());

    for (const auto& [compression, stream, expected] :
         {std::tuple{5u, png, source}, std::tuple{4u, jpegBuffer.data(), decoder.Bitmap()}}) {
        const Variant v{"embedded", 124, 0, compression, {}, 0, 0};
        const QByteArray file = bitmapFile(v, stream);
        const PackedImageResult r = decode(file);
        ASSERT_FALSE(r.image.isNull()) << compression;
        EXPECT_EQ(r.image.convertToFormat(QImage::Format_ARGB32), expected.convertToFormat(QImage::Format_ARGB32));
        EXPECT_TRUE(decode(file.left(file.size() - stream.size() / 2)).image.isNull()) << "cut stream";
        // A stream whose picture is not the header's size contradicts it.
        QByteArray tall = file;
        tall[22] = char(H + 1);
        EXPECT_TRUE(decode(tall).image.isNull()) << "size";
        writeSeed(QString("embedded-%1.bmp").arg(compression), file);
    }
}

TEST(BmpVariants, ContradictoryHeadersAreRefused)
{
    const Variant eight{"8 bits", 40, 8, 0, {}, 256, 0};
    const Variant fields{"16 bits", 40, 16, 3, {0xF800, 0x07E0, 0x001F, 0}, 0, 0};
    const QByteArray good = uncompressedFile(eight);
    const QByteArray goodFields = uncompressedFile(fields);
    ASSERT_FALSE(decode(good).image.isNull());
    ASSERT_FALSE(decode(goodFields).image.isNull());
    auto patched = [](QByteArray b, int offset, quint32 value, int bytes = 4) {
        for (int i = 0; i < bytes; ++i)
            b[offset + i] = char(value >> (8 * i));
        return b;
    };
    const struct {
        const char* what;
        QByteArray file;
        quint16 status;
    } cases[] = {
        {"signature", patched(good, 0, 0x4D43, 2), PackedNotWindowsBitmap},
        {"header size 66", patched(good, 14, 66), PackedNotWindowsBitmap},
        {"header size 100", patched(good, 14, 100), PackedNotWindowsBitmap},
        {"offset inside the headers", patched(good, 10, 20), PackedBadFormat},
        {"offset past the end", patched(good, 10, 5000), PackedReadError},
        {"width 0", patched(good, 18, 0), PackedBadFormat},
        {"negative width", patched(good, 18, quint32(-5)), PackedBadFormat},
        {"height 0", patched(good, 22, 0), PackedBadFormat},
        {"width over the limit", patched(good, 18, 70000), PackedBadFormat},
        {"2^28 pixels and one row more", patched(patched(good, 18, 16384), 22, 16385), PackedBadFormat},
        {"two planes", patched(good, 26, 2, 2), PackedBadFormat},
        {"3 bits", patched(good, 28, 3, 2), PackedBadFormat},
        {"RLE8 at 4 bits", patched(patched(good, 28, 4, 2), 30, 1), PackedBadFormat},
        {"RLE4 at 8 bits", patched(good, 30, 2), PackedBadFormat},
        {"top-down RLE8", patched(patched(good, 30, 1), 22, quint32(-H)), PackedBadFormat},
        {"compression 7", patched(good, 30, 7), PackedBadFormat},
        {"bit fields at 8 bits", patched(good, 30, 3), PackedBadFormat},
        {"overlapping masks", patched(goodFields, 58, 0x0FE0), PackedBadFormat},
        {"mask with a gap", patched(goodFields, 62, 0x0015), PackedBadFormat},
        {"mask wider than the pixel", patched(goodFields, 54, 0x1F800), PackedBadFormat},
        {"masks cut off", goodFields.left(60), PackedReadError},
        {"OS/2 Huffman coding", patched(patched(patched(good, 14, 64), 28, 1, 2), 30, 3), PackedBadFormat},
    };
    for (const auto& c : cases) {
        const PackedImageResult r = decode(c.file);
        EXPECT_TRUE(r.image.isNull()) << c.what;
        EXPECT_EQ(r.status, c.status) << c.what;
    }
}

TEST(BmpVariants, BmpFilesLoadWithEveryVariantOtherNamesStrictly)
{
    QTemporaryDir dir;
    const Variant v52{"52-byte header", 52, 32, 3, {0xFF, 0xFF00, 0xFF0000, 0}, 0, 0};
    const QByteArray file = uncompressedFile(v52);
    writeFile(dir.filePath("a.bmp"), file);
    writeFile(dir.filePath("a.dib"), file);
    const TPicture picture = LoadPictureFile(dir.filePath("a.bmp"));
    EXPECT_EQ(picture.image().pixel(W - 1, 0), qRgb(255, 255, 255));
    EXPECT_EQ(picture.bitsPerPixel(), 32);
    try {
        LoadPictureFile(dir.filePath("a.dib"));
        ADD_FAILURE() << "a 52-byte header read as .dib";
    } catch (const EPictureLoad& e) {
        EXPECT_EQ(e.message(), kPictureUnsupportedText);
    }
}

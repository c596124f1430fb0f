// The TIFF reader on files built here: the bitmap file it writes, byte orders,
// photometric and palettes, PackBits and LZW streams, offsets past 64 KiB, and
// every message of the reader for damaged or unsupported files.
#include "formats/test_tif_builder.h"
#include "support/testutil.h"

#include <QBuffer>
#include <initializer_list>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace qvtest;

namespace {

QImage decode(const QByteArray& tif)
{
    TTifmap map;
    map.LoadFromBytes(tif);
    return map.Bitmap();
}

quint32 le32At(const QByteArray& b, int at)
{
    return quint32(uchar(b[at])) | (quint32(uchar(b[at + 1])) << 8) | (quint32(uchar(b[at + 2])) << 16)
        | (quint32(uchar(b[at + 3])) << 24);
}

// A width x height RGB picture, one strip per `rowsPerStrip` rows, uncompressed.
QByteArray rgbPixels(int width, int height)
{
    QByteArray b;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            b.append(char(x * 40 + y));
            b.append(char(200 - y * 30));
            b.append(char(x * y * 7 + 1));
        }
    return b;
}

QRgb rgbPixel(int x, int y) { return qRgb(uchar(x * 40 + y), uchar(200 - y * 30), uchar(x * y * 7 + 1)); }

QByteArray rgbFile(bool big, int width, int height, int rowsPerStrip, quint32 compression = 1)
{
    TifBuilder t(big);
    const QByteArray pixels = rgbPixels(width, height);
    std::vector<QByteArray> strips;
    for (int y = 0; y < height; y += rowsPerStrip) {
        QByteArray s = pixels.mid(y * width * 3, std::min(rowsPerStrip, height - y) * width * 3);
        strips.push_back(compression == 5 ? lzwLiterals(s) : s);
    }
    t.picture(quint32(width), quint32(height), 8, 3, compression, 2, strips, quint32(rowsPerStrip));
    return t.build();
}

// One-row-per-strip 8-bit picture with the given strip bytes.
QByteArray greyFile(quint32 width, const std::vector<QByteArray>& rows, quint32 compression, quint32 photometric = 1)
{
    TifBuilder t;
    t.picture(width, quint32(rows.size()), 8, 1, compression, photometric, rows, 1);
    return t.build();
}

} // namespace

TEST(TifBitmapFile, HeaderPaletteAndBottomUpPaddedRows)
{
    TifBuilder t;
    t.picture(3, 2, 8, 1, 1, 3, {QByteArray::fromHex("000102"), QByteArray::fromHex("020100")}, 1);
    // Colour map of 256 entries; entry i is (i, i / 2, 255) in 16-bit levels.
    std::vector<quint32> map;
    for (int i = 0; i < 256; ++i)
        map.push_back(quint32(i) * 257);
    for (int i = 0; i < 256; ++i)
        map.push_back(quint32(i / 2) * 257);
    for (int i = 0; i < 256; ++i)
        map.push_back(0xFFFF);
    t.setArray(320, TifShort, map);
    const QByteArray bmp = TifToBitmapFile(t.build());

    ASSERT_EQ(bmp.size(), 54 + 1024 + 2 * 4);
    EXPECT_EQ(bmp.left(2), "BM");
    EXPECT_EQ(le32At(bmp, 2), quint32(bmp.size()));
    EXPECT_EQ(le32At(bmp, 6), 0u);
    EXPECT_EQ(le32At(bmp, 10), 54u + 1024u);
    EXPECT_EQ(le32At(bmp, 14), 40u);
    EXPECT_EQ(le32At(bmp, 18), 3u);
    EXPECT_EQ(le32At(bmp, 22), 2u);
    EXPECT_EQ(le32At(bmp, 26), 1u | (8u << 16)); // planes, bits
    EXPECT_EQ(le32At(bmp, 30), 0u);
    EXPECT_EQ(le32At(bmp, 34), 0u);
    EXPECT_EQ(le32At(bmp, 38), 143u);
    EXPECT_EQ(le32At(bmp, 42), 143u);
    EXPECT_EQ(le32At(bmp, 46), 0u);
    EXPECT_EQ(le32At(bmp, 50), 0u);
    // Blue, green, red, 0.
    EXPECT_EQ(bmp.mid(54 + 4 * 2, 4), QByteArray::fromHex("ff010200"));
    EXPECT_EQ(bmp.mid(54 + 4 * 255, 4), QByteArray::fromHex("ff7fff00"));
    // Last decoded row first, each padded to 4 bytes.
    EXPECT_EQ(bmp.mid(54 + 1024), QByteArray::fromHex("0201000000010200"));
}

TEST(TifBitmapFile, ColourMapValuesAndGreyRamps)
{
    // The map's values are read as bytes when all are below 256, as high
    // bytes when all low bytes are 0, else as 16-bit levels (the byte level below).
    const struct {
        std::vector<quint32> reds;
        std::vector<int> expected;
    } maps[] = {
        {{0x12, 0xAB, 0xFF, 0x01}, {0x12, 0xAB, 0xFF, 0x01}},
        {{0x1200, 0xAB00, 0xFF00, 0x0100}, {0x12, 0xAB, 0xFF, 0x01}},
        {{0x1212, 0xABAB, 0xFFFF, 0x0101}, {0x12, 0xAB, 0xFF, 0x01}},
        {{1807, 0x1234, 0x8000, 0x00FF}, {7, 18, 127, 0}},
    };
    for (const auto& m : maps) {
        SCOPED_TRACE(m.reds[0]);
        TifBuilder t;
        t.picture(4, 1, 4, 1, 1, 3, {QByteArray::fromHex("0123")}, 1);
        std::vector<quint32> map(48, 0);
        std::copy(m.reds.begin(), m.reds.end(), map.begin());
        t.setArray(320, TifShort, map);
        const QImage image = decode(t.build());
        ASSERT_EQ(image.format(), QImage::Format_Indexed8);
        EXPECT_EQ(image.colorCount(), 16);
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(image.pixel(x, 0), qRgb(m.expected[std::size_t(x)], 0, 0)) << x;
    }

    // 8 bits without a map: the grey ramp; white is zero under photometric 0.
    QImage image = decode(greyFile(3, {QByteArray::fromHex("0080ff")}, 1));
    EXPECT_EQ(image.pixel(0, 0), qRgb(0, 0, 0));
    EXPECT_EQ(image.pixel(1, 0), qRgb(128, 128, 128));
    EXPECT_EQ(image.pixel(2, 0), qRgb(255, 255, 255));
    image = decode(greyFile(3, {QByteArray::fromHex("0080ff")}, 1, 0));
    EXPECT_EQ(image.pixel(0, 0), qRgb(255, 255, 255));
    EXPECT_EQ(image.pixel(1, 0), qRgb(127, 127, 127));
    EXPECT_EQ(image.pixel(2, 0), qRgb(0, 0, 0));

    // 4 bits without a map: sixteen greys.
    TifBuilder g;
    g.picture(3, 1, 4, 1, 1, 1, {QByteArray::fromHex("07f0")}, 1);
    image = decode(g.build());
    EXPECT_EQ(image.pixel(0, 0), qRgb(0, 0, 0));
    EXPECT_EQ(image.pixel(1, 0), qRgb(7 * 17, 7 * 17, 7 * 17));
    EXPECT_EQ(image.pixel(2, 0), qRgb(255, 255, 255));
}

TEST(TifBitmapFile, OneBitPhotometric)
{
    // Bits 1100 0101 0: under photometric 0 a set bit is black ink on white,
    // under photometric 1 the same bits show inverted.
    const QByteArray bits = QByteArray::fromHex("c500");
    const QRgb black = qRgb(0, 0, 0), white = qRgb(255, 255, 255);
    for (quint32 photometric : {0u, 1u}) {
        SCOPED_TRACE(photometric);
        TifBuilder t;
        t.picture(9, 1, 1, 1, 1, photometric, {bits}, 1);
        const QImage image = decode(t.build());
        EXPECT_EQ(image.format(), QImage::Format_Mono);
        const bool inkIsSet = photometric == 0;
        for (int x = 0; x < 9; ++x) {
            const bool set = x < 8 && (0xC5 >> (7 - x)) & 1;
            EXPECT_EQ(image.pixel(x, 0), set == inkIsSet ? black : white) << x;
        }
    }
    // Without a PhotometricInterpretation tag, white is zero.
    TifBuilder t;
    t.picture(9, 1, 1, 1, 1, 0, {bits}, 1);
    t.remove(262);
    EXPECT_EQ(decode(t.build()).pixel(0, 0), black);
}

TEST(TifBitmapFile, ByteOrdersAndStripsGiveTheSamePicture)
{
    const QByteArray oneStrip = TifToBitmapFile(rgbFile(false, 5, 7, 7));
    for (bool big : {false, true})
        for (int rowsPerStrip : {1, 2, 3, 7, 100})
            for (quint32 compression : {1u, 5u}) {
                SCOPED_TRACE(testing::Message() << big << " " << rowsPerStrip << " " << compression);
                EXPECT_EQ(TifToBitmapFile(rgbFile(big, 5, 7, rowsPerStrip, compression)), oneStrip);
            }
    const QImage image = decode(rgbFile(true, 5, 7, 2));
    EXPECT_EQ(image.format(), QImage::Format_RGB32);
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 5; ++x)
            ASSERT_EQ(image.pixel(x, y), rgbPixel(x, y)) << x << "," << y;
}

TEST(TifBitmapFile, PackBitsRuns)
{
    // 0xFE 0xAA: three 0xAA; 0x02 then three literals; 0x80 produces nothing;
    // a run that crosses the row's end is cut there.
    const QImage image = decode(greyFile(6, {QByteArray::fromHex("feaa80020102038080"),
                                             QByteArray::fromHex("fd0780fb09"),
                                             QByteArray::fromHex("07101112131415161718")},
                                         32773));
    const int expected[3][6] = {{0xAA, 0xAA, 0xAA, 1, 2, 3}, {7, 7, 7, 7, 9, 9}, {0x10, 0x11, 0x12, 0x13, 0x14, 0x15}};
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 6; ++x)
            EXPECT_EQ(qRed(image.pixel(x, y)), expected[y][x]) << x << "," << y;

    EXPECT_EQ(tifFailure(greyFile(6, {QByteArray::fromHex("feaa02010203")}, 32773)), "");
    EXPECT_EQ(tifFailure(greyFile(6, {QByteArray::fromHex("feaa020102")}, 32773)), "Unexpected EOF");
    EXPECT_EQ(tifFailure(greyFile(6, {QByteArray::fromHex("feaa")}, 32773)), "Unexpected EOF");
    EXPECT_EQ(tifFailure(greyFile(6, {QByteArray::fromHex("fe")}, 32773)), "Unexpected EOF");
}

TEST(TifBitmapFile, LzwStreams)
{
    // The string of a code not yet in the table (old string + its first byte),
    // then codes of the table, across a clear.
    LzwCodeWriter w;
    for (int c : std::initializer_list<int>{256, 97, 98, 258, 260, 256, 122, 258, 257})
        w.code(c);
    QImage image = decode(greyFile(10, {w.finish()}, 5));
    QByteArray row;
    for (int x = 0; x < 10; ++x)
        row.append(char(qRed(image.pixel(x, 0))));
    EXPECT_EQ(row, "abababazzz");

    // The width grows to 10 bits when the table reaches 511 entries: 253
    // codes add entries 258..510, the next code is read with 10 bits.
    LzwCodeWriter wide;
    wide.code(256);
    QByteArray expect;
    for (int i = 0; i < 254; ++i) {
        wide.code(i);
        expect.append(char(i));
    }
    wide.code(300); // 10 bits: entry 300 = bytes 42, 43
    expect.append("\x2A\x2B", 2);
    wide.code(257);
    std::vector<QByteArray> rows{wide.finish()};
    image = decode(greyFile(256, rows, 5));
    for (int x = 0; x < 256; ++x)
        ASSERT_EQ(qRed(image.pixel(x, 0)), uchar(expect[x])) << x;

    // Predictor 2 adds each sample to the same sample of the pixel before.
    TifBuilder p;
    p.picture(3, 1, 8, 3, 5, 2, {lzwLiterals(QByteArray::fromHex("1020300101010203ff"))}, 1);
    p.setShort(317, 2);
    image = decode(p.build());
    EXPECT_EQ(image.pixel(0, 0), qRgb(0x10, 0x20, 0x30));
    EXPECT_EQ(image.pixel(1, 0), qRgb(0x11, 0x21, 0x31));
    EXPECT_EQ(image.pixel(2, 0), qRgb(0x13, 0x24, 0x30));
}

TEST(TifBitmapFile, DamagedLzwEndsWithTheReadersError)
{
    LzwCodeWriter noEnd;
    for (int c : std::initializer_list<int>{256, 97, 98, 99})
        noEnd.code(c);
    EXPECT_EQ(tifFailure(greyFile(3, {noEnd.finish()}, 5)), "Unexpected EOF");

    LzwCodeWriter beyond; // 262 when the next free code is 259
    for (int c : std::initializer_list<int>{256, 97, 98, 262, 257})
        beyond.code(c);
    EXPECT_EQ(tifFailure(greyFile(4, {beyond.finish()}, 5)), "Bad code");

    LzwCodeWriter afterClear; // a code after a clear must be a byte
    for (int c : std::initializer_list<int>{256, 300, 257})
        afterClear.code(c);
    EXPECT_EQ(tifFailure(greyFile(4, {afterClear.finish()}, 5)), "Bad code");

    // Without a clear the table fills: the addition past 4096 entries fails.
    LzwCodeWriter full;
    full.code(256);
    while (full.next() < 4096)
        full.code('x');
    full.code('x');
    full.code('x');
    full.code(257);
    EXPECT_EQ(tifFailure(greyFile(4, {full.finish()}, 5)), "Bad code");

    // The end code before the strip has its rows.
    LzwCodeWriter shortStrip;
    for (int c : std::initializer_list<int>{256, 97, 257})
        shortStrip.code(c);
    EXPECT_EQ(tifFailure(greyFile(4, {shortStrip.finish()}, 5)), "Unexpected EOF");
}

TEST(TifBitmapFile, OffsetsPast64KiB)
{
    // Arrays after 70000 bytes of other data: BitsPerSample of an RGB picture,
    // a SHORT-typed StripOffsets array, StripByteCounts and the colour map.
    for (bool big : {false, true}) {
        SCOPED_TRACE(big);
        TifBuilder t(big);
        t.data(QByteArray(70000, '\x55'));
        const QByteArray pixels = rgbPixels(4, 3);
        std::vector<quint32> offsets;
        for (int y = 0; y < 3; ++y)
            offsets.push_back(t.data(pixels.mid(y * 12, 12)));
        t.data(QByteArray(70000, '\x55'));
        t.picture(4, 3, 8, 3, 1, 2, {}, 1);
        t.setArray(273, TifLong, offsets);
        t.setArray(279, TifLong, {12, 12, 12});
        const QImage image = decode(t.build());
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 4; ++x)
                ASSERT_EQ(image.pixel(x, y), rgbPixel(x, y)) << x << "," << y;

        TifBuilder pal(big);
        const quint32 stripAt = pal.data(QByteArray::fromHex("0001ff"));
        pal.data(QByteArray(70000, '\0'));
        pal.picture(3, 1, 8, 1, 1, 3, {}, 1);
        pal.setArray(273, TifShort, {stripAt});
        std::vector<quint32> map(768, 0);
        map[255] = 0xFFFF;            // red of 255
        map[256 + 1] = 0x8080;        // green of 1
        map[512 + 255] = 0x4040;      // blue of 255
        pal.setArray(320, TifShort, map);
        const QImage p = decode(pal.build());
        EXPECT_EQ(p.pixel(0, 0), qRgb(0, 0, 0));
        EXPECT_EQ(p.pixel(1, 0), qRgb(0, 0x80, 0));
        EXPECT_EQ(p.pixel(2, 0), qRgb(0xFF, 0, 0x40));
    }
}

TEST(TifBitmapFile, ShortStripOffsets)
{
    // Two SHORT offsets fit in the entry itself; three lie in an array of 16-bit items.
    for (int strips : {2, 3}) {
        TifBuilder t(true);
        const QByteArray pixels = rgbPixels(2, strips);
        std::vector<quint32> offsets;
        for (int y = 0; y < strips; ++y)
            offsets.push_back(t.data(pixels.mid(y * 6, 6)));
        t.picture(2, quint32(strips), 8, 3, 1, 2, {}, 1);
        t.setArray(273, TifShort, offsets);
        const QImage image = decode(t.build());
        for (int y = 0; y < strips; ++y)
            for (int x = 0; x < 2; ++x)
                ASSERT_EQ(image.pixel(x, y), rgbPixel(x, y)) << strips << ": " << x << "," << y;
    }
}

TEST(TifBitmapFile, RowLimit)
{
    const auto wide = [](quint32 width) {
        TifBuilder t;
        t.picture(width, 1, 8, 3, 1, 2, {QByteArray(int(width) * 3, '\x11')}, 1);
        return t.build();
    };
    EXPECT_EQ(decode(wide(2400)).width(), 2400);
    EXPECT_EQ(tifFailure(wide(2401)), "File Too big");
    // 57600 pixels of one bit is 7200 bytes.
    TifBuilder t;
    t.picture(57601, 1, 1, 1, 1, 1, {QByteArray(7201, '\0')}, 1);
    EXPECT_EQ(tifFailure(t.build()), "File Too big");
    // Beyond the picture limits in height.
    TifBuilder tall;
    tall.picture(1, 70000, 8, 1, 1, 1, {QByteArray(70000, '\0')}, 70000);
    EXPECT_EQ(tifFailure(tall.build()), "File Too big");
}

TEST(TifBitmapFile, Messages)
{
    EXPECT_EQ(tifFailure(""), "Not a TIF file");
    EXPECT_EQ(tifFailure("BM"), "Not a TIF file");
    EXPECT_EQ(tifFailure("IM*\0\x08\0\0\0"), "Not a TIF file");
    EXPECT_EQ(tifFailure("II*\0"), "Unexpected EOF");

    const auto withTag = [](quint16 tag, quint32 value) {
        TifBuilder t;
        t.picture(2, 2, 8, 1, 1, 1, {QByteArray(4, '\0')}, 2);
        t.setLong(tag, value);
        return t.build();
    };
    EXPECT_EQ(tifFailure(withTag(259, 7)), "Unsupported Format");
    EXPECT_EQ(tifFailure(withTag(259, 2)), "Unsupported Format");
    EXPECT_EQ(tifFailure(withTag(256, 0)), "Bad data");
    EXPECT_EQ(tifFailure(withTag(257, 0)), "Bad data");
    EXPECT_EQ(tifFailure(withTag(273, 0)), "Bad data");
    // Depths and layouts outside 1, 4, 8 and 24 bits of interleaved samples.
    EXPECT_EQ(tifFailure(withTag(258, 16)), "Unsupported Format");
    EXPECT_EQ(tifFailure(withTag(258, 2)), "Unsupported Format");
    EXPECT_EQ(tifFailure(withTag(277, 4)), "Unsupported Format");
    TifBuilder planar;
    planar.picture(1, 1, 8, 3, 1, 2, {QByteArray(3, '\0')}, 1);
    planar.setShort(284, 2);
    EXPECT_EQ(tifFailure(planar.build()), "Unsupported Format");

    TifBuilder noStrips;
    noStrips.picture(2, 2, 8, 1, 1, 1, {QByteArray(4, '\0')}, 2);
    noStrips.remove(273);
    EXPECT_EQ(tifFailure(noStrips.build()), "Bad data");
    // One strip holds every row whatever RowsPerStrip says.
    EXPECT_EQ(tifFailure(withTag(278, 1)), "");
}

TEST(TifBitmapFile, DamagedFilesFailCleanly)
{
    const QByteArray good = rgbFile(false, 4, 4, 1);
    ASSERT_EQ(tifFailure(good), "");
    // Every cut of the file before the next-directory pointer gives one of
    // the reader's messages.
    for (int n = 0; n < good.size() - 4; ++n) {
        const QString failure = tifFailure(good.left(n));
        EXPECT_FALSE(failure.isEmpty()) << n;
    }

    QByteArray badDirectory = good;
    badDirectory.replace(4, 4, QByteArray::fromHex("ffffff7f"));
    EXPECT_EQ(tifFailure(badDirectory), "Bad data");

    TifBuilder arrayOutside;
    arrayOutside.picture(2, 3, 8, 1, 1, 1, {QByteArray(2, '\0'), QByteArray(2, '\0'), QByteArray(2, '\0')}, 1);
    arrayOutside.offsetEntry(273, TifLong, 3, 0x7FFFFFF0);
    EXPECT_EQ(tifFailure(arrayOutside.build()), "Bad data");
    arrayOutside.offsetEntry(273, TifLong, 0x40000000, 8);
    EXPECT_EQ(tifFailure(arrayOutside.build()), "Bad data");

    TifBuilder stripOutside;
    stripOutside.picture(2, 1, 8, 1, 1, 1, {}, 1);
    stripOutside.setLong(273, 0x7FFFFFF0);
    EXPECT_EQ(tifFailure(stripOutside.build()), "Unexpected EOF");

    // A small file that claims a huge picture is refused before any allocation.
    TifBuilder huge;
    huge.picture(2400, 30000, 8, 3, 5, 2, {lzwLiterals("abc")}, 30000);
    EXPECT_EQ(tifFailure(huge.build()), "Unexpected EOF");

    // Strip byte counts that are zero or lie outside the file are not used.
    TifBuilder counts;
    counts.picture(2, 2, 8, 1, 5, 1, {lzwLiterals("\x01\x02"), lzwLiterals("\x03\x04")}, 1);
    counts.setArray(279, TifLong, {0, 0});
    EXPECT_EQ(tifFailure(counts.build()), "");
    counts.offsetEntry(279, TifLong, 2, 0x7FFFFFF0);
    EXPECT_EQ(tifFailure(counts.build()), "");

    // Fewer strips than the rows need.
    TifBuilder fewStrips;
    fewStrips.picture(2, 4, 8, 1, 1, 1, {QByteArray(2, '\0'), QByteArray(2, '\0')}, 1);
    EXPECT_EQ(tifFailure(fewStrips.build()), "Unexpected EOF");
}

TEST(TTifmap, LoadsFromFileStreamAndKeepsThePictureOnFailure)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("a.tif");
    writeFile(path, rgbFile(false, 3, 2, 1));
    TTifmap map;
    EXPECT_TRUE(map.Empty());
    map.LoadFromFile(path);
    EXPECT_EQ(map.Width(), 3);
    EXPECT_EQ(map.Height(), 2);
    EXPECT_EQ(map.BitsPerPixel(), 24);
    EXPECT_EQ(map.kindName(), "TTifmap");
    EXPECT_EQ(map.Bitmap().pixel(2, 1), rgbPixel(2, 1));

    try {
        map.LoadFromFile(dir.filePath("missing.tif"));
        ADD_FAILURE() << "no error";
    } catch (const ETifException& e) {
        EXPECT_EQ(e.message(), "TIF file not found");
    }
    QByteArray bad("MM\0*");
    QBuffer stream(&bad);
    stream.open(QIODevice::ReadOnly);
    EXPECT_THROW(map.LoadFromStream(stream), ETifException);
    EXPECT_EQ(map.Width(), 3);

    QByteArray grey = greyFile(2, {QByteArray::fromHex("0102")}, 1);
    QBuffer greyStream(&grey);
    greyStream.open(QIODevice::ReadOnly);
    map.LoadFromStream(greyStream);
    EXPECT_EQ(map.BitsPerPixel(), 8);
    EXPECT_EQ(map.Bitmap().format(), QImage::Format_Indexed8);
}

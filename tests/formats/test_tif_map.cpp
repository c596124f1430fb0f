// The TIFF reader on files built here: the bitmap file it writes, palettes,
// PackBits and LZW streams, offsets past 64 KiB, and its messages for damaged
// or unsupported files.
#include "formats/test_tif_builder.h"
#include "support/testutil.h"

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

QRgb rgbPixel(int x, int y) { return qRgb(x * 40 + y, 200 - y * 30, (x * y * 7 + 1) & 255); }

QByteArray rgbRows(int width, int y0, int rows)
{
    QByteArray b;
    for (int y = y0; y < y0 + rows; ++y)
        for (int x = 0; x < width; ++x)
            b.append(char(qRed(rgbPixel(x, y)))).append(char(qGreen(rgbPixel(x, y)))).append(char(qBlue(rgbPixel(x, y))));
    return b;
}

// An uncompressed RGB picture, one strip per row.
QByteArray rgbFile(int width, int height)
{
    TifBuilder t;
    std::vector<QByteArray> strips;
    for (int y = 0; y < height; ++y)
        strips.push_back(rgbRows(width, y, 1));
    t.picture(width, height, 8, 3, 1, 2, strips, 1);
    return t.build();
}

// An 8-bit picture, one strip per row.
QByteArray greyFile(quint32 width, const std::vector<QByteArray>& rows, quint32 compression, quint32 photometric = 1)
{
    TifBuilder t;
    t.picture(width, quint32(rows.size()), 8, 1, compression, photometric, rows, 1);
    return t.build();
}

QByteArray reds(const QImage& image, int y)
{
    QByteArray r;
    for (int x = 0; x < image.width(); ++x)
        r.append(char(qRed(image.pixel(x, y))));
    return r;
}

} // namespace

TEST(TifReader, BitmapFileLayout)
{
    TifBuilder t;
    t.picture(3, 2, 8, 1, 1, 3, {QByteArray::fromHex("000102"), QByteArray::fromHex("020100")}, 1);
    std::vector<quint32> map(768, 0xFFFF); // entry i: (i, i / 2, 255) in 16-bit levels
    for (quint32 i = 0; i < 256; ++i)
        map[i] = i * 257, map[256 + i] = i / 2 * 257;
    t.set(320, map, TifShort);
    const QByteArray bmp = TifToBitmapFile(t.build());
    // File header, info header (143 pixels a metre), blue-green-red-0 table,
    // then the last row first, each padded to 4 bytes.
    EXPECT_EQ(bmp.left(54).toHex(), "424d" "3e040000" "00000000" "36040000" "28000000" "03000000" "02000000"
                                     "0100" "0800" "00000000" "00000000" "8f000000" "8f000000" "00000000" "00000000");
    EXPECT_EQ(bmp.mid(54 + 4 * 2, 4).toHex(), "ff010200");
    EXPECT_EQ(bmp.mid(54 + 4 * 255, 4).toHex(), "ff7fff00");
    EXPECT_EQ(bmp.mid(54 + 1024).toHex(), "0201000000010200");
}

TEST(TifReader, PalettesAndPhotometric)
{
    // Map values are bytes when all are below 256, high bytes when every low
    // byte is 0, else 16-bit levels (the byte level at or below).
    const std::vector<quint32> maps[][2] = {
        {{0x12, 0xAB, 0xFF, 0x01}, {0x12, 0xAB, 0xFF, 0x01}},
        {{0x1200, 0xAB00, 0xFF00, 0x0100}, {0x12, 0xAB, 0xFF, 0x01}},
        {{0x1212, 0xABAB, 0xFFFF, 0x0101}, {0x12, 0xAB, 0xFF, 0x01}},
        {{1807, 0x1234, 0x8000, 0x00FF}, {7, 18, 127, 0}},
    };
    for (const auto& m : maps) {
        TifBuilder t;
        t.picture(4, 1, 4, 1, 1, 3, {QByteArray::fromHex("0123")}, 1);
        std::vector<quint32> map(48, 0);
        std::copy(m[0].begin(), m[0].end(), map.begin());
        t.set(320, map, TifShort);
        const QImage image = decode(t.build());
        EXPECT_EQ(image.colorCount(), 16);
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(qRed(image.pixel(x, 0)), int(m[1][std::size_t(x)])) << x;
    }
    // Without a map: grey ramps of 256 or 16 levels, white first under photometric 0.
    EXPECT_EQ(reds(decode(greyFile(3, {QByteArray::fromHex("0080ff")}, 1)), 0).toHex(), "0080ff");
    EXPECT_EQ(reds(decode(greyFile(3, {QByteArray::fromHex("0080ff")}, 1, 0)), 0).toHex(), "ff7f00");
    TifBuilder g;
    g.picture(3, 1, 4, 1, 1, 1, {QByteArray::fromHex("07f0")}, 1);
    EXPECT_EQ(reds(decode(g.build()), 0).toHex(), "0077ff");

    // One bit: under photometric 0 (also when the tag is missing) a set bit is
    // black ink on white; under photometric 1 the same bits show inverted.
    for (int photometric : {0, 1, -1}) {
        TifBuilder t;
        t.picture(9, 1, 1, 1, 1, quint32(std::max(photometric, 0)), {QByteArray::fromHex("c500")}, 1);
        if (photometric < 0)
            t.remove(262);
        const QImage image = decode(t.build());
        EXPECT_EQ(image.format(), QImage::Format_Mono);
        EXPECT_EQ(reds(image, 0).toHex(), photometric == 1 ? "ffff000000ff00ff00" : "0000ffffff00ff00ff");
    }
}

TEST(TifReader, PackBits)
{
    // 0xFE 0xAA: three 0xAA; 0x02: three literals; 0x80: nothing; runs that
    // cross the row's end are cut there.
    const QImage image = decode(greyFile(
        6, {QByteArray::fromHex("feaa8002010203"), QByteArray::fromHex("fd07fb09"), QByteArray::fromHex("071011121314151617")},
        32773));
    EXPECT_EQ(reds(image, 0).toHex(), "aaaaaa010203");
    EXPECT_EQ(reds(image, 1).toHex(), "070707070909");
    EXPECT_EQ(reds(image, 2).toHex(), "101112131415");
    for (const char* cut : {"feaa020102", "feaa", "fe"})
        EXPECT_EQ(tifFailure(greyFile(6, {QByteArray::fromHex(cut)}, 32773)), "Unexpected EOF") << cut;
}

TEST(TifReader, Lzw)
{
    // A code not yet in the table (old string + its first byte), across a clear.
    const QByteArray abz = LzwCodeWriter().codes({256, 'a', 'b', 258, 260, 256, 'z', 258, 257}).bytes();
    EXPECT_EQ(reds(decode(greyFile(10, {abz}, 5)), 0), "abababazzz");

    // Predictor 2: each sample adds the same sample of the pixel before.
    TifBuilder p;
    p.picture(3, 1, 8, 3, 5, 2, {lzwLiterals(QByteArray::fromHex("1020300101010203ff"))}, 1);
    p.set(317, {2}, TifShort);
    const QImage predicted = decode(p.build());
    EXPECT_EQ(predicted.pixel(2, 0), qRgb(0x13, 0x24, 0x30));

    // Damaged streams end with the reader's errors.
    LzwCodeWriter full; // no clear: the addition past 4096 entries fails
    full.code(256);
    while (full.next() < 4097)
        full.code('x');
    const struct {
        QByteArray stream;
        const char* message;
    } damaged[] = {
        {LzwCodeWriter().codes({256, 'a', 'b', 'c'}).bytes(), "Unexpected EOF"}, // no end code
        {LzwCodeWriter().codes({256, 'a', 257}).bytes(), "Unexpected EOF"},      // fewer bytes than the rows
        {LzwCodeWriter().codes({256, 'a', 'b', 262, 257}).bytes(), "Bad code"},  // beyond the next code
        {LzwCodeWriter().codes({256, 300, 257}).bytes(), "Bad code"},            // not a byte after a clear
        {full.code('x').code(257).bytes(), "Bad code"},
    };
    for (const auto& d : damaged)
        EXPECT_EQ(tifFailure(greyFile(3, {d.stream}, 5)), d.message);
}

TEST(TifReader, OffsetsPast64KiB)
{
    // BitsPerSample, StripOffsets, StripByteCounts and ColorMap arrays after
    // 70000 bytes; StripOffsets as 16-bit items, inside the entry or in an array.
    for (bool big : {false, true}) {
        TifBuilder t(big);
        std::vector<quint32> offsets;
        for (int y = 0; y < 3; ++y)
            offsets.push_back(t.data(rgbRows(4, y, 1)));
        t.data(QByteArray(140000, '\x55'));
        t.picture(4, 3, 8, 3, 1, 2, {}, 1);
        t.set(273, offsets);
        t.set(279, {12, 12, 12});
        EXPECT_EQ(decode(t.build()).pixel(3, 2), rgbPixel(3, 2));
        t.set(273, offsets, TifShort);
        EXPECT_EQ(decode(t.build()).pixel(3, 2), rgbPixel(3, 2));
        t.set(273, {offsets[0], offsets[1]}, TifShort);
        t.set(257, {2});
        EXPECT_EQ(decode(t.build()).pixel(3, 1), rgbPixel(3, 1));

        TifBuilder pal(big);
        const quint32 strip = pal.data(QByteArray::fromHex("0001ff"));
        pal.data(QByteArray(70000, '\0'));
        pal.picture(3, 1, 8, 1, 1, 3, {}, 1);
        pal.set(273, {strip}, TifShort);
        std::vector<quint32> map(768, 0);
        map[255] = 0xFFFF, map[256 + 1] = 0x8080, map[512 + 255] = 0x4040;
        pal.set(320, map, TifShort);
        EXPECT_EQ(reds(decode(pal.build()), 0).toHex(), "0000ff");
        EXPECT_EQ(decode(pal.build()).pixel(2, 0), qRgb(0xFF, 0, 0x40));
    }
}

TEST(TifReader, Messages)
{
    const auto with = [](quint16 tag, quint32 value, quint32 width = 2) {
        TifBuilder t;
        t.picture(width, 2, 8, 3, 1, 2, {QByteArray(int(width) * 6, '\0')}, 2);
        t.set(tag, {value});
        return t.build();
    };
    const struct {
        QByteArray file;
        const char* message;
    } cases[] = {
        {with(259, 1), ""},
        {with(278, 1), ""}, // one strip holds every row
        {with(256, 2400, 2400), ""},
        {with(256, 2401, 2401), "File Too big"},
        {with(257, 70000), "File Too big"}, // beyond the picture limits
        {"", "Not a TIF file"},
        {"BM6\0\0\0", "Not a TIF file"},
        {"II*\0", "Unexpected EOF"},
        {with(259, 7), "Unsupported Format"},
        {with(259, 2), "Unsupported Format"},
        {with(256, 0), "Bad data"},
        {with(257, 0), "Bad data"},
        {with(273, 0), "Bad data"},
        {with(258, 16), "Unsupported Format"}, // 48 bits
        {with(277, 4), "Unsupported Format"},
        {with(284, 2), "Unsupported Format"}, // separate planes
        {with(4, 0x7FFFFFF0), ""},            // unknown tags are skipped
        {with(273, 0x7FFFFFF0), "Unexpected EOF"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(tifFailure(c.file), c.message) << c.file.size();
}

TEST(TifReader, DamagedFiles)
{
    const QByteArray good = rgbFile(4, 4);
    for (int n = 0; n < good.size() - 4; ++n) // up to the next-directory pointer
        EXPECT_NE(tifFailure(good.left(n)), "") << n;

    QByteArray farDirectory = good;
    farDirectory.replace(4, 4, QByteArray::fromHex("ffffff7f"));
    TifBuilder t;
    t.picture(2, 3, 8, 1, 1, 1, {"ab", "cd", "ef"}, 1);
    t.setRaw(273, TifLong, 3, 0x7FFFFFF0);
    const QByteArray arrayOutside = t.build();
    t.setRaw(273, TifLong, 0x40000000, 8);
    const QByteArray arrayTooLong = t.build();
    TifBuilder few;
    few.picture(2, 4, 8, 1, 1, 1, {"ab", "cd"}, 1);
    TifBuilder huge; // a small file cannot hold so many rows: refused before allocating
    huge.picture(2400, 30000, 8, 3, 5, 2, {lzwLiterals("abc")}, 30000);
    TifBuilder counts; // byte counts of 0 or outside the file are not used
    counts.picture(2, 2, 8, 1, 5, 1, {lzwLiterals("ab"), lzwLiterals("cd")}, 1);
    counts.set(279, {0, 0});
    const QByteArray zeroCounts = counts.build();
    counts.setRaw(279, TifLong, 2, 0x7FFFFFF0);

    EXPECT_EQ(tifFailure(farDirectory), "Bad data");
    EXPECT_EQ(tifFailure(arrayOutside), "Bad data");
    EXPECT_EQ(tifFailure(arrayTooLong), "Bad data");
    EXPECT_EQ(tifFailure(few.build()), "Unexpected EOF");
    EXPECT_EQ(tifFailure(huge.build()), "Unexpected EOF");
    EXPECT_EQ(tifFailure(zeroCounts), "");
    EXPECT_EQ(tifFailure(counts.build()), "");
}

TEST(TTifmap, LoadsAndKeepsThePictureOnFailure)
{
    QTemporaryDir dir;
    writeFile(dir.filePath("a.tif"), rgbFile(3, 2));
    TTifmap map;
    map.LoadFromFile(dir.filePath("a.tif"));
    EXPECT_EQ(map.BitsPerPixel(), 24);
    EXPECT_EQ(map.Bitmap().pixel(2, 1), rgbPixel(2, 1));
    try {
        map.LoadFromFile(dir.filePath("missing.tif"));
        ADD_FAILURE();
    } catch (const ETifException& e) {
        EXPECT_EQ(e.message(), "TIF file not found");
    }
    EXPECT_THROW(map.LoadFromBytes("MM\0*"), ETifException);
    EXPECT_EQ(map.Bitmap().size(), QSize(3, 2));
}

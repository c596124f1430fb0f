// Packed bitmap to QImage: run-length decoding of BI_RLE8 and BI_RLE4
// checked against Qt's and ImageMagick's bmp readers, clipping of runs and
// deltas at the picture's edges, and malformed blocks.
#include "formats/bmp_builder.h"
#include "formats/dib_image.h"
#include "formats/packed_bitmap.h"

#include <QBuffer>
#include <QImageReader>
#include <QTemporaryDir>

using namespace qvtest;

namespace {

// Escapes and runs of the two run-length encodings.
struct Rle {
    QByteArray bytes;
    bool fourBit = false;
    Rle& run(int n, int value) { return put({n, value}); }
    Rle& endOfLine() { return put({0, 0}); }
    Rle& endOfBitmap() { return put({0, 1}); }
    Rle& delta(int dx, int dy) { return put({0, 2, dx, dy}); }
    // Absolute mode: indices given one a pixel, packed two a byte for RLE4,
    // then padded to an even byte count.
    Rle& absolute(const QList<int>& pixels)
    {
        bytes.append('\0');
        bytes.append(char(pixels.size()));
        QByteArray data;
        for (int i = 0; i < pixels.size(); ++i) {
            if (!fourBit)
                data.append(char(pixels[i]));
            else if (i % 2 == 0)
                data.append(char(pixels[i] << 4));
            else
                data[data.size() - 1] = char(data.back() | pixels[i]);
        }
        if (data.size() % 2)
            data.append('\0');
        bytes.append(data);
        return *this;
    }
    Rle& put(std::initializer_list<int> v)
    {
        for (int b : v)
            bytes.append(char(b));
        return *this;
    }
};

QByteArray rleFile(int w, int h, const Rle& rle)
{
    BmpLayout s;
    s.width = w;
    s.height = h;
    s.bits = rle.fourBit ? 4 : 8;
    s.compression = rle.fourBit ? 2 : 1;
    s.palette = greyRamp(rle.fourBit ? 16 : 256);
    s.palette[0] = qRgb(0, 0, 0); // pixels the runs never reach are black: they keep index 0
    return bmpFile(s, rle.bytes);
}

QImage ours(const QByteArray& file)
{
    PackedReadResult r = DecodePackedBitmap(file, PackedFormat::WindowsBitmap);
    return r ? DibToImage(r.bitmap.get()) : QImage();
}

QImage qtBmp(const QByteArray& file)
{
    QBuffer buffer;
    buffer.setData(file);
    QImageReader reader(&buffer, "bmp");
    return reader.read();
}

QList<int> indexRow(const QImage& image, int y)
{
    QList<int> row;
    for (int x = 0; x < image.width(); ++x)
        row << image.pixelIndex(x, y);
    return row;
}

} // namespace

TEST(RunLengthBitmap, EveryEscapeDecodesLikeQtAndImageMagick)
{
    for (bool fourBit : {false, true}) {
        SCOPED_TRACE(fourBit ? "RLE4" : "RLE8");
        Rle rle;
        rle.fourBit = fourBit;
        // 7 x 4, bottom row first.
        rle.run(3, fourBit ? 0x12 : 5).absolute({1, 2, 3}).run(1, fourBit ? 0x70 : 7).endOfLine();
        rle.absolute({4, 5, 6, 7, 8, 9, 10}).endOfLine();
        rle.run(2, fourBit ? 0x33 : 3).delta(3, 1).run(2, fourBit ? 0xEE : 14).endOfLine();
        rle.endOfBitmap();
        const QByteArray file = rleFile(7, 4, rle);
        const QImage image = ours(file);
        ASSERT_FALSE(image.isNull());
        EXPECT_EQ(image.format(), QImage::Format_Indexed8);

        const QList<int> bottom = fourBit ? QList<int>{1, 2, 1, 1, 2, 3, 7} : QList<int>{5, 5, 5, 1, 2, 3, 7};
        EXPECT_EQ(indexRow(image, 3), bottom);
        EXPECT_EQ(indexRow(image, 2), (QList<int>{4, 5, 6, 7, 8, 9, 10}));
        // The delta skips three pixels and one row: row 3 from the top gets 3 3,
        // the top row gets 14 14 from x = 5, everything skipped stays 0.
        EXPECT_EQ(indexRow(image, 1), (QList<int>{3, 3, 0, 0, 0, 0, 0}));
        EXPECT_EQ(indexRow(image, 0), (QList<int>{0, 0, 0, 0, 0, 14, 14}));

        // Qt leaves pixels that a delta skips undefined: compare the rows it wrote.
        EXPECT_TRUE(samePixels(image.copy(0, 2, 7, 2).convertToFormat(QImage::Format_RGB32),
                               qtBmp(file).copy(0, 2, 7, 2).convertToFormat(QImage::Format_RGB32)));
        if (haveTool("convert")) {
            QTemporaryDir dir;
            const QString path = dir.filePath(fourBit ? "four.bmp" : "eight.bmp");
            writeFile(path, file);
            EXPECT_TRUE(samePixels(image, referenceDecode(path)));
        }
    }
}

TEST(RunLengthBitmap, NothingIsWrittenOutsideThePicture)
{
    // A run longer than the row stops at its end and does not wrap.
    Rle longRun;
    longRun.run(200, 9).endOfLine().run(1, 4);
    QImage a = ours(rleFile(3, 2, longRun));
    ASSERT_FALSE(a.isNull());
    EXPECT_EQ(indexRow(a, 1), (QList<int>{9, 9, 9}));
    EXPECT_EQ(indexRow(a, 0), (QList<int>{4, 0, 0}));

    // An absolute run past the row end is read whole (its bytes are skipped)
    // but only what fits is written.
    Rle absoluteRun;
    absoluteRun.absolute({1, 2, 3, 4, 5}).run(1, 6).endOfLine().run(2, 7);
    QImage b = ours(rleFile(3, 2, absoluteRun));
    EXPECT_EQ(indexRow(b, 1), (QList<int>{1, 2, 3}));
    EXPECT_EQ(indexRow(b, 0), (QList<int>{7, 7, 0}));

    // A delta that leaves the picture, sideways or upwards, ends the decoding.
    for (auto [dx, dy] : {std::pair{5, 0}, {0, 2}, {0, 200}}) {
        Rle out;
        out.run(1, 1).delta(dx, dy).run(3, 8).endOfLine().run(3, 8);
        QImage c = ours(rleFile(3, 2, out));
        ASSERT_FALSE(c.isNull());
        EXPECT_EQ(indexRow(c, 1), (QList<int>{1, 0, 0})) << dx << "," << dy;
        EXPECT_EQ(indexRow(c, 0), (QList<int>{0, 0, 0})) << dx << "," << dy;
    }
    // A delta to the row's end is inside: later pixels of that row are dropped.
    Rle edge;
    edge.delta(3, 0).run(2, 8).endOfLine().run(1, 2);
    QImage d = ours(rleFile(3, 2, edge));
    EXPECT_EQ(indexRow(d, 1), (QList<int>{0, 0, 0}));
    EXPECT_EQ(indexRow(d, 0), (QList<int>{2, 0, 0}));

    // More end-of-lines than rows, and data cut inside an absolute run.
    Rle tooManyLines;
    tooManyLines.endOfLine().endOfLine().endOfLine().endOfLine().run(3, 1);
    EXPECT_FALSE(ours(rleFile(3, 2, tooManyLines)).isNull());
    Rle cut;
    cut.fourBit = true;
    cut.put({0, 9, 0x12, 0x34});
    QImage e = ours(rleFile(6, 1, cut));
    EXPECT_EQ(indexRow(e, 0), (QList<int>{1, 2, 3, 4, 0, 0}));
}

TEST(DibToImage, MalformedBlocksGiveNoPicture)
{
    EXPECT_TRUE(DibToImage(static_cast<const PackedBitmap*>(nullptr)).isNull());
    EXPECT_TRUE(DibToImage(QByteArrayView()).isNull());

    // A valid 2 x 1 8-bit block as the starting point.
    const QByteArray block = bmpFile({.width = 2, .bits = 8, .palette = {qRgb(255, 0, 0), qRgb(0, 255, 0)}}, QByteArray::fromHex("01000000")).mid(14);
    const QImage good = DibToImage(block);
    ASSERT_FALSE(good.isNull());
    EXPECT_EQ(good.pixel(0, 0), qRgb(0, 255, 0));
    EXPECT_EQ(good.pixel(1, 0), qRgb(255, 0, 0));

    EXPECT_TRUE(DibToImage(block.left(39)).isNull());
    EXPECT_TRUE(DibToImage(block.left(45)).isNull()) << "colour table cut";
    // Rows missing from the data stay at index 0.
    EXPECT_EQ(DibToImage(block.left(48)).pixel(0, 0), qRgb(255, 0, 0));
    auto patched = [&](int offset, quint32 value, int bytes = 4) {
        QByteArray b = block;
        for (int i = 0; i < bytes; ++i)
            b[offset + i] = char(value >> (8 * i));
        return DibToImage(b);
    };
    EXPECT_TRUE(patched(0, 12).isNull()) << "header size";
    EXPECT_TRUE(patched(4, 0).isNull()) << "width 0";
    EXPECT_TRUE(patched(4, 70000).isNull()) << "width over the limit";
    EXPECT_TRUE(patched(8, 0x80000000u).isNull()) << "most negative height";
    EXPECT_TRUE(patched(14, 2, 2).isNull()) << "2 bits";
    EXPECT_TRUE(patched(16, 5).isNull()) << "PNG inside";
    EXPECT_TRUE(patched(16, 2).isNull()) << "RLE4 at 8 bits";
}

// Targa reader: ImageMagick's files of 16, 24 and 32 bits, plain and
// run-length, with either origin, and hand-built files for packets and refusals.
#include "formats/dib_image.h"
#include "formats/fixture_tools.h"
#include "formats/packed_bitmap.h"

#include <QTemporaryDir>

using namespace qvtest;

namespace {

struct TgaLayout {
    int type = 2;
    int depth = 24;
    int width = 1;
    int height = 1;
    int descriptor = 0;
    int idLength = 0;
    int colourMapType = 0;
    int colourMapLength = 0;
};

QByteArray tgaFile(const TgaLayout& s, const QByteArray& data)
{
    QByteArray b;
    b.append(char(s.idLength));
    b.append(char(s.colourMapType));
    b.append(char(s.type));
    appendLe16(b, 0);
    appendLe16(b, unsigned(s.colourMapLength));
    b.append(char(s.colourMapLength ? 24 : 0));
    appendLe16(b, 0);
    appendLe16(b, 0);
    appendLe16(b, unsigned(s.width));
    appendLe16(b, unsigned(s.height));
    b.append(char(s.depth));
    b.append(char(s.descriptor));
    b.append(QByteArray(s.idLength, 'i'));
    b.append(QByteArray(s.colourMapLength * 3, 'c'));
    b.append(data);
    return b;
}

QImage decodeTga(const QByteArray& file, quint16* status = nullptr)
{
    PackedReadResult r = DecodePackedBitmap(file, PackedFormat::Targa);
    if (status)
        *status = r.status;
    return r ? DibToImage(r.bitmap.get()) : QImage();
}

QByteArray bgr(int b, int g, int r) { return QByteArray(1, char(b)) + char(g) + char(r); }

} // namespace

TEST(TargaReader, DecodesImageMagickFilesLikeImageMagick)
{
    QV_REQUIRE_TOOL("convert");
    QTemporaryDir dir;
    const QString base = makeBasePicture(QDir(dir.path()));
    struct Case {
        const char* name;
        QStringList args;
        int type, depth, descriptor;
    };
    const QStringList half{"-alpha", "set", "-channel", "A", "-evaluate", "set", "50%", "+channel"};
    const Case cases[] = {
        {"t24.tga", {"-type", "truecolor"}, 2, 24, 0x00},
        {"t24r.tga", {"-type", "truecolor", "-compress", "RLE"}, 10, 24, 0x00},
        {"t24top.tga", {"-type", "truecolor", "-orient", "TopLeft"}, 2, 24, 0x20},
        {"t24rtop.tga", {"-type", "truecolor", "-compress", "RLE", "-orient", "TopLeft"}, 10, 24, 0x20},
        {"t32.tga", half, 2, 32, 0x08},
        {"t32rtop.tga", half + QStringList{"-compress", "RLE", "-orient", "TopLeft"}, 10, 32, 0x28},
        {"t16.tga", {"-depth", "5"}, 2, 16, 0x00},
        {"t16rtop.tga", {"-depth", "5", "-compress", "RLE", "-orient", "TopLeft"}, 10, 16, 0x20},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = QDir(dir.path()).filePath(c.name);
        ASSERT_FALSE(runTool("convert", QStringList{base} + c.args + QStringList{path}).isNull());
        const QByteArray file = readFile(path);
        ASSERT_GE(file.size(), 18);
        EXPECT_EQ(uchar(file[2]), c.type);
        EXPECT_EQ(uchar(file[16]), c.depth);
        EXPECT_EQ(uchar(file[17]), c.descriptor);

        PackedReadResult r = ReadPackedBitmap(path, true);
        ASSERT_TRUE(r) << "status " << r.status;
        EXPECT_EQ(r.bitmap->bitCount(), 24);
        EXPECT_EQ(r.bitmap->coloursUsed(), 0u);
        const QImage image = DibToImage(r.bitmap.get());
        // 5-bit channels widen as floor(i * 255 / 31); the references widen
        // in their own ways, so they are brought to the 5-bit value first.
        auto expected = [&](QImage reference) {
            if (c.depth != 16)
                return reference;
            auto widen = [](int v) { return ((v * 31 + 127) / 255) * 255 / 31; };
            for (int y = 0; y < reference.height(); ++y)
                for (int x = 0; x < reference.width(); ++x) {
                    const QRgb p = reference.pixel(x, y);
                    reference.setPixel(x, y, qRgb(widen(qRed(p)), widen(qGreen(p)), widen(qBlue(p))));
                }
            return reference;
        };
        EXPECT_TRUE(samePixels(image, expected(referenceDecode(path))));
        if (haveTool("tgatoppm")) { // netpbm's decoder as a second opinion
            const QImage netpbm = QImage::fromData(runTool("tgatoppm", {path}), "PPM");
            EXPECT_TRUE(samePixels(image, expected(netpbm.convertToFormat(QImage::Format_RGB32))));
        }
    }
}

TEST(TargaReader, PacketsCoverCountPlusOnePixels)
{
    TgaLayout s;
    s.type = 10;
    s.width = 9;
    s.height = 1;
    // 0x83: one pixel then three copies; 0x03: four literal pixels; 0x00: one literal.
    const QByteArray data = QByteArray("\x83", 1) + bgr(1, 2, 3) + QByteArray("\x03", 1) + bgr(10, 0, 0)
        + bgr(20, 0, 0) + bgr(30, 0, 0) + bgr(40, 0, 0) + QByteArray("\x00", 1) + bgr(0, 0, 99);
    const QImage image = decodeTga(tgaFile(s, data));
    ASSERT_FALSE(image.isNull());
    for (int x = 0; x < 4; ++x)
        EXPECT_EQ(image.pixel(x, 0), qRgb(3, 2, 1)) << x;
    for (int x = 4; x < 8; ++x)
        EXPECT_EQ(image.pixel(x, 0), qRgb(0, 0, 10 * (x - 3))) << x;
    EXPECT_EQ(image.pixel(8, 0), qRgb(99, 0, 0));
}

TEST(TargaReader, RunsSpanRowsAndOriginsGiveTheSamePicture)
{
    TgaLayout s;
    s.type = 10;
    s.width = 3;
    s.height = 2;
    // One repeat packet of 5 pixels crosses the row end, then one literal.
    const QByteArray data = QByteArray("\x84", 1) + bgr(0, 0, 200) + QByteArray("\x00", 1) + bgr(255, 0, 0);
    const QByteArray bottomFirst = tgaFile(s, data);
    const QImage bottom = decodeTga(bottomFirst);
    ASSERT_FALSE(bottom.isNull());
    EXPECT_EQ(bottom.pixel(0, 1), qRgb(200, 0, 0)); // the first file row is the bottom row
    EXPECT_EQ(bottom.pixel(1, 0), qRgb(200, 0, 0));
    EXPECT_EQ(bottom.pixel(2, 0), qRgb(0, 0, 255));

    // The same picture stored top row first.
    s.descriptor = 0x20;
    const QByteArray topData = QByteArray("\x81", 1) + bgr(0, 0, 200) + QByteArray("\x00", 1) + bgr(255, 0, 0)
        + QByteArray("\x82", 1) + bgr(0, 0, 200);
    EXPECT_EQ(decodeTga(tgaFile(s, topData)), bottom);
    // The right-to-left bit changes nothing.
    s.descriptor = 0x30;
    EXPECT_EQ(decodeTga(tgaFile(s, topData)), bottom);
}

TEST(TargaReader, SixteenAndFifteenBitPixels)
{
    TgaLayout s;
    s.depth = 15;
    s.width = 4;
    QByteArray data;
    appendLe16(data, 0x7C00);               // red 31
    appendLe16(data, 0x8000 | (1 << 5));    // green 1, top bit ignored
    appendLe16(data, 3);                    // blue 3: floor(3 * 255 / 31) = 24
    appendLe16(data, 0x7FFF);
    const QImage fifteen = decodeTga(tgaFile(s, data));
    ASSERT_FALSE(fifteen.isNull());
    EXPECT_EQ(fifteen.pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(fifteen.pixel(1, 0), qRgb(0, 8, 0));
    EXPECT_EQ(fifteen.pixel(2, 0), qRgb(0, 0, 24));
    EXPECT_EQ(fifteen.pixel(3, 0), qRgb(255, 255, 255));
    s.depth = 16;
    EXPECT_EQ(decodeTga(tgaFile(s, data)), fifteen);
}

TEST(TargaReader, RefusalsAndTruncation)
{
    TgaLayout ok;
    ok.width = 2;
    ok.height = 2;
    const QByteArray pixels = bgr(1, 1, 1).repeated(4);
    quint16 status = 0;
    ASSERT_FALSE(decodeTga(tgaFile(ok, pixels), &status).isNull());
    EXPECT_EQ(status, PackedOk);

    auto statusOf = [&](TgaLayout s, const QByteArray& data) {
        decodeTga(tgaFile(s, data), &status);
        return status;
    };
    TgaLayout grey = ok;
    grey.type = 3;
    grey.depth = 8;
    EXPECT_EQ(statusOf(grey, QByteArray(4, 'g')), PackedBadFormat) << "8-bit grey";
    TgaLayout mapped = ok;
    mapped.type = 1;
    mapped.depth = 8;
    mapped.colourMapType = 1;
    mapped.colourMapLength = 2;
    EXPECT_EQ(statusOf(mapped, QByteArray(4, '\1')), PackedBadFormat) << "colour-mapped";
    TgaLayout mapInTrueColour = ok;
    mapInTrueColour.colourMapLength = 1;
    EXPECT_EQ(statusOf(mapInTrueColour, pixels), PackedBadFormat);
    TgaLayout interleaved = ok;
    interleaved.descriptor = 0x40;
    EXPECT_EQ(statusOf(interleaved, pixels), PackedBadFormat);
    TgaLayout odd = ok;
    odd.depth = 20;
    EXPECT_EQ(statusOf(odd, pixels), PackedBadFormat);
    TgaLayout empty = ok;
    empty.width = 0;
    EXPECT_EQ(statusOf(empty, pixels), PackedBadFormat);

    const QByteArray good = tgaFile(ok, pixels);
    for (int cut : {0, 17})
        EXPECT_EQ((decodeTga(good.left(cut), &status), status), PackedReadError) << cut;
    TgaLayout withId = ok;
    withId.idLength = 200;
    EXPECT_EQ((decodeTga(tgaFile(withId, {}).left(100), &status), status), PackedReadError);
    // Plain pixel data shorter than the picture is refused before allocating;
    // so is a huge picture with a few run-length bytes.
    EXPECT_EQ((decodeTga(good.chopped(1), &status), status), PackedReadError);
    TgaLayout huge;
    huge.type = 10;
    huge.width = 65535;
    huge.height = 4000;
    EXPECT_EQ(statusOf(huge, QByteArray("\xFF", 1) + bgr(1, 2, 3)), PackedReadError);

    // Run-length data that ends early leaves the rest of the picture black.
    TgaLayout rle = ok;
    rle.type = 10;
    const QImage partial = decodeTga(tgaFile(rle, QByteArray("\x00", 1) + bgr(9, 9, 9) + QByteArray("\x00\x01\x02", 3)), &status);
    ASSERT_FALSE(partial.isNull());
    EXPECT_EQ(partial.pixel(0, 1), qRgb(9, 9, 9));
    EXPECT_EQ(partial.pixel(1, 1), qRgb(0, 0, 0));
    EXPECT_EQ(partial.pixel(0, 0), qRgb(0, 0, 0));
}

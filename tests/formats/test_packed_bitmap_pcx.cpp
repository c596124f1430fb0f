// PCX reader: files of ImageMagick and netpbm in every layout they write,
// compared with ImageMagick's decode, and hand-built files for palettes,
// runs, long lines and refusals.
#include "formats/dib_image.h"
#include "formats/fixture_tools.h"
#include "formats/packed_bitmap.h"

#include <QTemporaryDir>

using namespace qvtest;

namespace {

struct PcxLayout {
    int version = 5;
    int encoding = 1;
    int planeBits = 8;
    int planes = 1;
    int width = 1;
    int height = 1;
    int bytesPerLine = 0; // 0: just enough for the width
    QByteArray headerPalette; // up to 48 bytes
};

QByteArray pcxFile(const PcxLayout& s, const QByteArray& data, const QByteArray& trailer = {})
{
    QByteArray b;
    b.append(char(10));
    b.append(char(s.version));
    b.append(char(s.encoding));
    b.append(char(s.planeBits));
    appendLe16(b, 0);
    appendLe16(b, 0);
    appendLe16(b, unsigned(s.width - 1));
    appendLe16(b, unsigned(s.height - 1));
    appendLe16(b, 72);
    appendLe16(b, 72);
    b.append(s.headerPalette.left(48).leftJustified(48, '\0'));
    b.append('\0');
    b.append(char(s.planes));
    appendLe16(b, unsigned(s.bytesPerLine ? s.bytesPerLine : (s.width * s.planeBits + 7) / 8));
    appendLe16(b, 1);
    b.append(QByteArray(58, '\0'));
    b.append(data);
    b.append(trailer);
    return b;
}

// The 256-colour trailer: marker, then red, green, blue of each entry.
QByteArray trailer256(char marker = 12)
{
    QByteArray t(1, marker);
    for (int i = 0; i < 256; ++i) {
        t.append(char(i));
        t.append(char(255 - i));
        t.append(char(i / 2));
    }
    return t;
}

QImage decodePcx(const QByteArray& file, quint16* status = nullptr)
{
    PackedReadResult r = DecodePackedBitmap(file, PackedFormat::Pcx);
    if (status)
        *status = r.status;
    return r ? DibToImage(r.bitmap.get()) : QImage();
}

} // namespace

TEST(PcxReader, DecodesImageMagickAndNetpbmFilesLikeImageMagick)
{
    QV_REQUIRE_TOOL("convert");
    QTemporaryDir dir;
    const QDir d(dir.path());
    const QString base = makeBasePicture(d);
    const QString mono = d.filePath("mono.gif");
    const QString ppm16 = d.filePath("c16.ppm"), ppm4 = d.filePath("c4.ppm"), ppm8 = d.filePath("c8.ppm");
    const QString ppm200 = d.filePath("c200.ppm"), ppmFull = d.filePath("full.ppm");
    runTool("convert", {base, "-monochrome", mono});
    runTool("convert", {base, "-colors", "16", ppm16});
    runTool("convert", {base, "-colors", "4", ppm4});
    runTool("convert", {base, "-colors", "8", ppm8});
    runTool("convert", {base, "-colors", "200", ppm200});
    runTool("convert", {base, ppmFull});

    struct Case {
        const char* name;
        QString program;
        QStringList args;
        int planeBits, planes, resultBits;
    };
    QList<Case> cases = {
        {"im1.pcx", "convert", {mono}, 1, 1, 1},
        {"im8.pcx", "convert", {base, "-colors", "200", "-type", "palette"}, 8, 1, 8},
        {"im8plain.pcx", "convert", {base, "-colors", "16", "-type", "palette", "-compress", "None"}, 8, 1, 8},
        {"im24.pcx", "convert", {base, "-type", "truecolor"}, 8, 3, 24},
        {"im32.pcx", "convert", {base, "-alpha", "set", "-channel", "A", "-evaluate", "set", "50%", "+channel"}, 8, 4, 24},
    };
    if (haveTool("ppmtopcx")) {
        cases += {
            {"nb1.pcx", "ppmtopcx", {mono}, 1, 1, 1},
            {"nb2.pcx", "ppmtopcx", {ppm4}, 1, 2, 4},
            {"nb2packed.pcx", "ppmtopcx", {"-packed", ppm4}, 2, 1, 4},
            {"nb3.pcx", "ppmtopcx", {"-planes", "3", ppm8}, 1, 3, 4},
            {"nb4.pcx", "ppmtopcx", {ppm16}, 1, 4, 4},
            {"nb4packed.pcx", "ppmtopcx", {"-packed", ppm16}, 4, 1, 4},
            {"nb8.pcx", "ppmtopcx", {ppm200}, 8, 1, 8},
            {"nb24.pcx", "ppmtopcx", {"-24bit", ppmFull}, 8, 3, 24},
        };
        // ppmtopcx reads PPM/PBM; turn the GIF into PBM for it.
        runTool("convert", {mono, d.filePath("mono.pbm")});
        cases[5].args = QStringList{d.filePath("mono.pbm")};
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = d.filePath(c.name);
        if (c.program == "convert") {
            ASSERT_FALSE(runTool("convert", c.args + QStringList{path}).isNull());
        } else {
            const QByteArray out = runTool(c.program, c.args);
            ASSERT_FALSE(out.isNull());
            writeFile(path, out);
        }
        const QByteArray file = readFile(path);
        ASSERT_GT(file.size(), 128);
        EXPECT_EQ(int(uchar(file[3])), c.planeBits);
        EXPECT_EQ(int(uchar(file[65])), c.planes);

        PackedReadResult r = ReadPackedBitmap(path, true);
        ASSERT_TRUE(r) << "status " << r.status;
        EXPECT_EQ(r.bitmap->bitCount(), c.resultBits);
        const QImage image = DibToImage(r.bitmap.get());
        // ImageMagick reads 1-bit files as 0 = white whatever the header
        // palette says (and writes them to match); netpbm follows the palette.
        // netpbm reads no uncompressed files and blends a fourth plane as alpha.
        if (c.resultBits != 1) {
            EXPECT_TRUE(samePixels(image, referenceDecode(path)));
        }
        const QImage netpbm = haveTool("pcxtoppm") && c.planes != 4
            ? QImage::fromData(runTool("pcxtoppm", {path}), "PPM") : QImage();
        if (!netpbm.isNull()) {
            EXPECT_TRUE(samePixels(image, netpbm.convertToFormat(QImage::Format_RGB32)));
        }
    }
}

TEST(PcxReader, PalettesByVersionAndDepth)
{
    // 8 bits: the trailer's 256 entries.
    PcxLayout s8;
    s8.width = 3;
    const QImage eight = decodePcx(pcxFile(s8, QByteArray("\x00\x07\xC1\xFF", 4), trailer256()));
    ASSERT_FALSE(eight.isNull());
    EXPECT_EQ(eight.colorCount(), 256);
    EXPECT_EQ(eight.pixel(0, 0), qRgb(0, 255, 0));
    EXPECT_EQ(eight.pixel(1, 0), qRgb(7, 248, 3));
    EXPECT_EQ(eight.pixel(2, 0), qRgb(255, 0, 127));

    // 4 planes of 1 bit: the header's 16 entries, first plane the lowest bit.
    PcxLayout s4;
    s4.planeBits = 1;
    s4.planes = 4;
    s4.width = 2;
    s4.encoding = 0;
    for (int i = 0; i < 16; ++i)
        s4.headerPalette += QByteArray(1, char(i * 16)) + char(i) + char(255 - i);
    // pixel 0 = 0b1010 (planes 2 and 4), pixel 1 = 0b0001 (plane 1)
    const QByteArray planes = QByteArray("\x40\x80\x00\x80", 4);
    const QImage sixteen = decodePcx(pcxFile(s4, planes));
    ASSERT_FALSE(sixteen.isNull());
    EXPECT_EQ(sixteen.pixel(0, 0), qRgb(160, 10, 245));
    EXPECT_EQ(sixteen.pixel(1, 0), qRgb(16, 1, 254));

    // Version 3 carries no palette: the standard ones take its place.
    s4.version = 3;
    const QImage standard = decodePcx(pcxFile(s4, planes));
    EXPECT_EQ(standard.pixel(0, 0), qRgb(85, 255, 85)); // 10: light green
    EXPECT_EQ(standard.pixel(1, 0), qRgb(0, 0, 170));   // 1: blue
    PcxLayout s1;
    s1.version = 3;
    s1.planeBits = 1;
    s1.width = 8;
    // Version 5 with two equal header entries (all zero, as many writers leave
    // them) is black and white too; two different entries are kept.
    struct { int version; QByteArray palette; QRgb zero, one; } monoCases[] = {
        {3, QByteArray(6, '\x55'), qRgb(0, 0, 0), qRgb(255, 255, 255)},
        {5, QByteArray(6, '\0'), qRgb(0, 0, 0), qRgb(255, 255, 255)},
        {5, QByteArray(6, '\x20'), qRgb(0, 0, 0), qRgb(255, 255, 255)},
        {5, QByteArray("\x10\x20\x30\xF0\xE0\xD0", 6), qRgb(16, 32, 48), qRgb(240, 224, 208)},
    };
    for (const auto& c : monoCases) {
        s1.version = c.version;
        s1.headerPalette = c.palette;
        const QImage bw = decodePcx(pcxFile(s1, QByteArray("\x0F", 1)));
        EXPECT_EQ(bw.pixel(0, 0), c.zero) << c.version;
        EXPECT_EQ(bw.pixel(7, 0), c.one) << c.version;
    }
}

TEST(PcxReader, RunsAndLines)
{
    PcxLayout s;
    s.width = 4;
    s.height = 2;
    // 0xC0 and its byte write nothing; a run of 6 crosses into the second line.
    const QByteArray data = QByteArray("\xC0\x63\x01\xC6\x02\x03", 6);
    const QImage image = decodePcx(pcxFile(s, data, trailer256()));
    ASSERT_FALSE(image.isNull());
    const int top[] = {1, 2, 2, 2}, bottom[] = {2, 2, 2, 3};
    for (int x = 0; x < 4; ++x) {
        EXPECT_EQ(image.pixelIndex(x, 0), top[x]) << x;
        EXPECT_EQ(image.pixelIndex(x, 1), bottom[x]) << x;
    }

    // Lines longer than the row: their extra bytes never reach the next row.
    PcxLayout wide;
    wide.width = 2;
    wide.height = 2;
    wide.encoding = 0;
    wide.bytesPerLine = 9;
    const QByteArray lines = QByteArray("\x05\x06", 2) + QByteArray(7, '\x09') + QByteArray("\x07\x08", 2)
        + QByteArray(7, '\x09');
    PackedReadResult r = DecodePackedBitmap(pcxFile(wide, lines, trailer256()), PackedFormat::Pcx);
    ASSERT_TRUE(r);
    EXPECT_EQ(r.bitmap->size(), 40u + 1024 + 2 * 4);
    const uchar* rows = r.bitmap->data() + 40 + 1024;
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(rows), 8), QByteArray("\x07\x08\0\0\x05\x06\0\0", 8));

    // Packed 2 bits, widened to 4: 0b00011011 is 0 1 2 3.
    PcxLayout two;
    two.planeBits = 2;
    two.width = 4;
    two.encoding = 0;
    two.headerPalette = QByteArray::fromHex("000000ff000000ff000000ff");
    const QImage four = decodePcx(pcxFile(two, QByteArray("\x1B", 1)));
    ASSERT_FALSE(four.isNull());
    EXPECT_EQ(four.pixel(1, 0), qRgb(255, 0, 0));
    EXPECT_EQ(four.pixel(3, 0), qRgb(0, 0, 255));
}

TEST(PcxReader, RefusalsAndTruncation)
{
    PcxLayout ok;
    ok.width = 2;
    ok.height = 2;
    const QByteArray data = QByteArray("\x01\x02\x03\x04", 4);
    quint16 status = 0;
    ASSERT_FALSE(decodePcx(pcxFile(ok, data, trailer256()), &status).isNull());

    decodePcx(pcxFile(ok, data, trailer256(11)), &status);
    EXPECT_EQ(status, PackedBadFormat) << "marker not 12";
    QByteArray notPcx = pcxFile(ok, data, trailer256());
    notPcx[0] = 5;
    decodePcx(notPcx, &status);
    EXPECT_EQ(status, PackedBadFormat);
    decodePcx(pcxFile(ok, data).left(100), &status);
    EXPECT_EQ(status, PackedReadError) << "short header";
    decodePcx(pcxFile(ok, data), &status);
    EXPECT_EQ(status, PackedReadError) << "no room for the trailer";

    // Eight bits split into planes other than 8 x 1, and depths with no layout.
    for (auto [bits, planes] : {std::pair{1, 8}, {2, 4}, {4, 2}, {2, 2}, {4, 3}, {16, 1}, {8, 2}, {1, 5}}) {
        PcxLayout s = ok;
        s.planeBits = bits;
        s.planes = planes;
        decodePcx(pcxFile(s, QByteArray(64, '\x01'), trailer256()), &status);
        EXPECT_EQ(status, PackedBadFormat) << bits << " x " << planes;
    }
    PcxLayout narrow = ok;
    narrow.bytesPerLine = 1;
    decodePcx(pcxFile(narrow, data, trailer256()), &status);
    EXPECT_EQ(status, PackedBadFormat) << "lines shorter than the width";
    PcxLayout huge = ok;
    huge.width = 65535;
    huge.height = 4096;
    decodePcx(pcxFile(huge, QByteArray("\xFF\x01", 2), trailer256()), &status);
    EXPECT_EQ(status, PackedReadError) << "data cannot cover the picture";
    PcxLayout tooLarge = ok;
    tooLarge.width = 65535;
    tooLarge.height = 65535;
    decodePcx(pcxFile(tooLarge, {}, trailer256()), &status);
    EXPECT_EQ(status, PackedBadFormat);

    // Run-length data that ends early leaves the rows below black.
    PcxLayout tall = ok;
    tall.height = 64;
    const QImage partial = decodePcx(pcxFile(tall, QByteArray("\xC2\x05", 2) + QByteArray(4, '\xC0'), trailer256()), &status);
    ASSERT_FALSE(partial.isNull()) << status;
    EXPECT_EQ(partial.pixelIndex(1, 0), 5);
    EXPECT_EQ(partial.pixelIndex(1, 1), 0);
}

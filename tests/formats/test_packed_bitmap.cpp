// The Windows-bitmap, Targa and PCX readers: files of ImageMagick and netpbm
// in every layout they write, compared with their own decoders and cut at
// every length, and hand-built files for palettes, runs, origins and refusals.
#include "formats/dib_image.h"
#include "formats/fixture_tools.h"
#include "formats/packed_bitmap.h"

#include <QBuffer>
#include <QImageReader>
#include <QTemporaryDir>

using namespace qvtest;

namespace {

struct PcxLayout {
    int version = 5;
    int encoding = 1;
    int planeBits = 8;
    int planes = 1;
    int width = 2;
    int height = 2;
    int bytesPerLine = 0; // 0: just enough for the width
    QByteArray headerPalette; // up to 48 bytes
};

QByteArray pcxFile(const PcxLayout& s, const QByteArray& data, const QByteArray& trailer = {})
{
    QByteArray b;
    for (int v : {10, s.version, s.encoding, s.planeBits})
        b.append(char(v));
    for (int v : {0, 0, s.width - 1, s.height - 1, 72, 72})
        appendLe16(b, unsigned(v));
    b.append(s.headerPalette.left(48).leftJustified(48, '\0'));
    b.append('\0');
    b.append(char(s.planes));
    appendLe16(b, unsigned(s.bytesPerLine ? s.bytesPerLine : (s.width * s.planeBits + 7) / 8));
    appendLe16(b, 1);
    b.append(QByteArray(58, '\0'));
    return b + data + trailer;
}

// The 256-colour trailer: marker, then red, green, blue of each entry.
QByteArray trailer256(char marker = 12)
{
    QByteArray t(1, marker);
    for (int i = 0; i < 256; ++i)
        t.append(char(i)).append(char(255 - i)).append(char(i / 2));
    return t;
}

struct TgaLayout {
    int type = 2;
    int depth = 24;
    int width = 2;
    int height = 2;
    int descriptor = 0;
    int idLength = 0;
    int colourMapType = 0;
    int colourMapLength = 0;
};

QByteArray tgaFile(const TgaLayout& s, const QByteArray& data)
{
    QByteArray b;
    for (int v : {s.idLength, s.colourMapType, s.type})
        b.append(char(v));
    appendLe16(b, 0);
    appendLe16(b, unsigned(s.colourMapLength));
    b.append(char(s.colourMapLength ? 24 : 0));
    for (int v : {0, 0, s.width, s.height})
        appendLe16(b, unsigned(v));
    b.append(char(s.depth));
    b.append(char(s.descriptor));
    b.append(QByteArray(s.idLength, 'i'));
    b.append(QByteArray(s.colourMapLength * 3, 'c'));
    return b + data;
}

QByteArray bgr(int b, int g, int r) { return QByteArray(1, char(b)) + char(g) + char(r); }

QImage decodeAs(PackedFormat format, const QByteArray& file, quint16* status = nullptr)
{
    PackedReadResult r = DecodePackedBitmap(file, format);
    if (status)
        *status = r.status;
    return r ? DibToImage(r.bitmap.get()) : QImage();
}
QImage decodePcx(const QByteArray& file, quint16* status = nullptr) { return decodeAs(PackedFormat::Pcx, file, status); }
QImage decodeTga(const QByteArray& file, quint16* status = nullptr) { return decodeAs(PackedFormat::Targa, file, status); }

QImage otherDecoder(const QString& program, const QString& path)
{
    if (program == "qt") {
        QImageReader reader(path, "bmp");
        return reader.read().convertToFormat(QImage::Format_RGB32);
    }
    return QImage::fromData(runTool(program, {path}), "PPM").convertToFormat(QImage::Format_RGB32);
}

// Brings each channel to its 5-bit value widened as floor(v * 255 / 31): the
// other decoders widen 16-bit Targa pixels in their own ways.
QImage asFiveBitChannels(QImage image)
{
    auto widen = [](int v) { return ((v * 31 + 127) / 255) * 255 / 31; };
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            image.setPixel(x, y, qRgb(widen(qRed(p)), widen(qGreen(p)), widen(qBlue(p))));
        }
    return image;
}

} // namespace

TEST(PackedBitmapReaders, FilesOfOtherEncodersDecodeAsTheirDecodersAndSurviveEveryCut)
{
    QV_REQUIRE_TOOL("convert");
    QTemporaryDir dir;
    const QDir d(dir.path());
    const QString base = makeBasePicture(d);
    const QString mono = d.filePath("mono.gif"), monoPbm = d.filePath("mono.pbm");
    runTool("convert", {base, "-monochrome", mono});
    runTool("convert", {mono, monoPbm});
    QMap<int, QString> quantised; // colour count -> PPM
    for (int n : {4, 8, 16, 200}) {
        quantised[n] = d.filePath(QString("c%1.ppm").arg(n));
        runTool("convert", {base, "-colors", QString::number(n), quantised[n]});
    }
    const QStringList half{"-alpha", "set", "-channel", "A", "-evaluate", "set", "50%", "+channel"};
    const QStringList rle{"-compress", "RLE"}, top{"-orient", "TopLeft"};
    const auto W = PackedFormat::WindowsBitmap, T = PackedFormat::Targa, P = PackedFormat::Pcx;
    struct Case {
        const char* name;
        PackedFormat format;
        QString program; // "convert" writes the file, a netpbm program prints it
        QStringList args;
        int bits;        // of the decoded block
        QString second;  // a second decoder, "qt" or a netpbm program
    };
    // A convert case starting with a file name reads that file instead of the base.
    QList<Case> cases = {
        {"b1.dib", W, "convert", {"-monochrome"}, 1, "qt"},
        {"b4.dib", W, "convert", {"-colors", "16", "-type", "palette"}, 4, "qt"},
        {"b8.dib", W, "convert", {"-colors", "200", "-type", "palette", "-compress", "None"}, 8, "qt"},
        {"b24.dib", W, "convert", {"-type", "truecolor"}, 24, "qt"},
        {"r8.rle", W, "convert", QStringList{"-colors", "40", "-type", "palette"} + rle, 8, "qt"},
        {"t24.tga", T, "convert", {"-type", "truecolor"}, 24, "tgatoppm"},
        {"t24r.tga", T, "convert", QStringList{"-type", "truecolor"} + rle, 24, "tgatoppm"},
        {"t24top.tga", T, "convert", QStringList{"-type", "truecolor"} + top, 24, "tgatoppm"},
        {"t24rtop.tga", T, "convert", QStringList{"-type", "truecolor"} + rle + top, 24, "tgatoppm"},
        {"t32.tga", T, "convert", half, 24, "tgatoppm"},
        {"t32rtop.tga", T, "convert", half + rle + top, 24, "tgatoppm"},
        {"t16.tga", T, "convert", {"-depth", "5"}, 24, "tgatoppm"},
        {"t16rtop.tga", T, "convert", QStringList{"-depth", "5"} + rle + top, 24, "tgatoppm"},
        // ImageMagick reads 1-bit PCX as 0 = white whatever the palette says.
        {"im1.pcx", P, "convert", {mono}, 1, "pcxtoppm"},
        {"im8.pcx", P, "convert", {"-colors", "200", "-type", "palette"}, 8, "pcxtoppm"},
        {"im8plain.pcx", P, "convert", {"-colors", "16", "-type", "palette", "-compress", "None"}, 8, ""},
        {"im24.pcx", P, "convert", {"-type", "truecolor"}, 24, "pcxtoppm"},
        {"im32.pcx", P, "convert", half, 24, ""}, // netpbm blends the fourth plane
        {"nb1.pcx", P, "ppmtopcx", {monoPbm}, 1, "pcxtoppm"},
        {"nb2.pcx", P, "ppmtopcx", {quantised[4]}, 4, "pcxtoppm"},
        {"nb2packed.pcx", P, "ppmtopcx", {"-packed", quantised[4]}, 4, "pcxtoppm"},
        {"nb3.pcx", P, "ppmtopcx", {"-planes", "3", quantised[8]}, 4, "pcxtoppm"},
        {"nb4.pcx", P, "ppmtopcx", {quantised[16]}, 4, ""}, // netpbm blends a fourth plane
        {"nb4packed.pcx", P, "ppmtopcx", {"-packed", quantised[16]}, 4, "pcxtoppm"},
        {"nb8.pcx", P, "ppmtopcx", {quantised[200]}, 8, "pcxtoppm"},
        {"nb24.pcx", P, "ppmtopcx", {"-24bit", d.filePath("full.ppm")}, 24, "pcxtoppm"},
    };
    runTool("convert", {base, d.filePath("full.ppm")});
    for (const Case& c : cases) {
        if (c.program != "convert" && !haveTool(c.program))
            continue;
        SCOPED_TRACE(c.name);
        const QString path = d.filePath(c.name);
        if (c.program == "convert") {
            const QString prefix = c.format == W ? "BMP3:" : "";
            const QStringList input = c.args.first().startsWith('-') ? QStringList{base} : QStringList{};
            ASSERT_FALSE(runTool("convert", input + c.args + QStringList{prefix + path}).isNull());
        } else {
            const QByteArray out = runTool(c.program, c.args);
            ASSERT_FALSE(out.isNull());
            writeFile(path, out);
        }
        PackedReadResult r = ReadPackedBitmap(path, true);
        ASSERT_TRUE(r) << "status " << r.status;
        EXPECT_EQ(r.bitmap->bitCount(), c.bits);
        const QImage image = DibToImage(r.bitmap.get());
        auto expected = [&](const QImage& reference) {
            return QString(c.name).startsWith("t16") ? asFiveBitChannels(reference) : reference;
        };
        if (!(c.format == P && c.bits == 1)) {
            EXPECT_TRUE(samePixels(image, expected(referenceDecode(path))));
        }
        if (c.second == "qt" || (!c.second.isEmpty() && haveTool(c.second))) {
            EXPECT_TRUE(samePixels(image, expected(otherDecoder(c.second, path))));
        }
        // Mapped instead of copied gives the same block.
        PackedReadResult mapped = ReadPackedBitmap(path, false);
        ASSERT_TRUE(mapped);
        EXPECT_EQ(mapped.bitmap->bytes(), r.bitmap->bytes());
        FreePackedBitmap(std::move(r.bitmap));

        // Every prefix decodes or fails cleanly, and the picture made straight
        // from the bytes is the block's picture.
        const QByteArray whole = readFile(path);
        const qsizetype headerBytes = c.format == W ? 54 : c.format == T ? 18 : 128;
        for (qsizetype n = 0; n < whole.size(); n += 1 + n / 64) {
            PackedReadResult cut = DecodePackedBitmap(whole.left(n), c.format);
            if (n < headerBytes) {
                EXPECT_EQ(cut.status, PackedReadError) << n;
            }
            const PackedImageResult direct = DecodePackedImage(whole.left(n), c.format);
            EXPECT_EQ(direct.status, cut.status) << n;
            if (cut) {
                EXPECT_EQ(direct.image, DibToImage(cut.bitmap.get())) << n;
            }
        }
    }
}

TEST(PackedBitmapReaders, FrontEntryStatus)
{
    QTemporaryDir dir;
    EXPECT_EQ(ReadPackedBitmap(dir.filePath("missing.pcx"), true).status, PackedFileNotFound);
    writeFile(dir.filePath("picture.png"), "x");
    EXPECT_EQ(ReadPackedBitmap(dir.filePath("picture.png"), true).status, PackedUnsupportedFormat);
    writeFile(dir.filePath("empty.TGA"), "");
    EXPECT_EQ(ReadPackedBitmap(dir.filePath("empty.TGA"), true).status, PackedReadError);
    EXPECT_EQ(ReadPackedBitmap(dir.filePath("empty.TGA"), false).status, PackedReadError);
    EXPECT_EQ(PackedFormatForFileName("A.RLE"), PackedFormat::WindowsBitmap);
    EXPECT_FALSE(PackedFormatForFileName("a.tga.gz").has_value());
}

TEST(PcxReader, PalettesByVersionAndDepth)
{
    // 8 bits: the trailer's 256 entries.
    PcxLayout s8;
    s8.width = 3;
    s8.height = 1;
    const QImage eight = decodePcx(pcxFile(s8, QByteArray("\x00\x07\xC1\xFF", 4), trailer256()));
    ASSERT_FALSE(eight.isNull());
    EXPECT_EQ(eight.pixel(0, 0), qRgb(0, 255, 0));
    EXPECT_EQ(eight.pixel(1, 0), qRgb(7, 248, 3));
    EXPECT_EQ(eight.pixel(2, 0), qRgb(255, 0, 127));

    // 4 planes of 1 bit: the header's 16 entries, first plane the lowest bit.
    PcxLayout s4;
    s4.planeBits = 1;
    s4.planes = 4;
    s4.height = 1;
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

    // Version 5 with two equal header entries (all zero, as many writers leave
    // them) is black and white too; two different entries are kept.
    PcxLayout s1;
    s1.planeBits = 1;
    s1.width = 8;
    s1.height = 1;
    struct { int version; QByteArray palette; QRgb zero, one; } monoCases[] = {
        {3, QByteArray(6, '\x55'), qRgb(0, 0, 0), qRgb(255, 255, 255)},
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
    // 0xC0 and its byte write nothing; a run of 6 crosses into the second line.
    const QImage image = decodePcx(pcxFile(s, QByteArray("\xC0\x63\x01\xC6\x02\x03", 6), trailer256()));
    ASSERT_FALSE(image.isNull());
    const int top[] = {1, 2, 2, 2}, bottom[] = {2, 2, 2, 3};
    for (int x = 0; x < 4; ++x) {
        EXPECT_EQ(image.pixelIndex(x, 0), top[x]) << x;
        EXPECT_EQ(image.pixelIndex(x, 1), bottom[x]) << x;
    }

    // Lines longer than the row: their extra bytes never reach the next row.
    PcxLayout wide;
    wide.encoding = 0;
    wide.bytesPerLine = 9;
    const QByteArray lines = QByteArray("\x05\x06", 2) + QByteArray(7, '\x09') + QByteArray("\x07\x08", 2)
        + QByteArray(7, '\x09');
    PackedReadResult r = DecodePackedBitmap(pcxFile(wide, lines, trailer256()), PackedFormat::Pcx);
    ASSERT_TRUE(r);
    EXPECT_EQ(r.bitmap->size(), 40u + 1024 + 2 * 4);
    const uchar* rows = r.bitmap->data() + 40 + 1024;
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(rows), 8), QByteArray("\x07\x08\0\0\x05\x06\0\0", 8));

    // Run-length data that ends early leaves the rows below black.
    PcxLayout tall;
    tall.height = 64;
    quint16 status = 0;
    const QImage partial = decodePcx(pcxFile(tall, QByteArray("\xC2\x05", 2) + QByteArray(4, '\xC0'), trailer256()), &status);
    ASSERT_FALSE(partial.isNull()) << status;
    EXPECT_EQ(partial.pixelIndex(1, 0), 5);
    EXPECT_EQ(partial.pixelIndex(1, 1), 0);
}

TEST(TargaReader, PacketsSpanRowsAndOriginsGiveTheSamePicture)
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

    // One repeat packet of 5 pixels crosses the row end, then one literal.
    s.width = 3;
    s.height = 2;
    const QImage bottom = decodeTga(tgaFile(s, QByteArray("\x84", 1) + bgr(0, 0, 200) + QByteArray("\x00", 1) + bgr(255, 0, 0)));
    ASSERT_FALSE(bottom.isNull());
    EXPECT_EQ(bottom.pixel(0, 1), qRgb(200, 0, 0)); // the first file row is the bottom row
    EXPECT_EQ(bottom.pixel(1, 0), qRgb(200, 0, 0));
    EXPECT_EQ(bottom.pixel(2, 0), qRgb(0, 0, 255));
    // The same picture stored top row first; the right-to-left bit changes nothing.
    const QByteArray topData = QByteArray("\x81", 1) + bgr(0, 0, 200) + QByteArray("\x00", 1) + bgr(255, 0, 0)
        + QByteArray("\x82", 1) + bgr(0, 0, 200);
    for (int descriptor : {0x20, 0x30}) {
        s.descriptor = descriptor;
        EXPECT_EQ(decodeTga(tgaFile(s, topData)), bottom) << descriptor;
    }

    // 15 and 16 bits: the top bit is ignored, 5-bit channels widen by floor.
    TgaLayout h;
    h.depth = 15;
    h.width = 4;
    h.height = 1;
    QByteArray px;
    for (unsigned v : {0x7C00u, 0x8000u | (1 << 5), 3u, 0x7FFFu})
        appendLe16(px, v);
    const QImage fifteen = decodeTga(tgaFile(h, px));
    ASSERT_FALSE(fifteen.isNull());
    const QRgb expected[] = {qRgb(255, 0, 0), qRgb(0, 8, 0), qRgb(0, 0, 24), qRgb(255, 255, 255)};
    for (int x = 0; x < 4; ++x)
        EXPECT_EQ(fifteen.pixel(x, 0), expected[x]) << x;
    h.depth = 16;
    EXPECT_EQ(decodeTga(tgaFile(h, px)), fifteen);

    // Run-length data that ends early leaves the rest of the picture black.
    TgaLayout rle;
    rle.type = 10;
    const QImage partial = decodeTga(tgaFile(rle, QByteArray("\x00", 1) + bgr(9, 9, 9) + QByteArray("\x00\x01\x02", 3)));
    ASSERT_FALSE(partial.isNull());
    EXPECT_EQ(partial.pixel(0, 1), qRgb(9, 9, 9));
    EXPECT_EQ(partial.pixel(1, 1), qRgb(0, 0, 0));
    EXPECT_EQ(partial.pixel(0, 0), qRgb(0, 0, 0));
}

TEST(PackedBitmapReaders, RefusalsAndTruncation)
{
    const QByteArray pcxData("\x01\x02\x03\x04", 4), tgaPixels = bgr(1, 1, 1).repeated(4);
    auto pcx = [&](auto change, const QByteArray& data, const QByteArray& trailer) {
        PcxLayout s;
        change(s);
        return std::pair{PackedFormat::Pcx, pcxFile(s, data, trailer)};
    };
    auto tga = [&](auto change, const QByteArray& data) {
        TgaLayout s;
        change(s);
        return std::pair{PackedFormat::Targa, tgaFile(s, data)};
    };
    const auto same = [](auto&) {};
    const QByteArray goodPcx = pcx(same, pcxData, trailer256()).second;
    const QByteArray goodTga = tga(same, tgaPixels).second;
    ASSERT_FALSE(decodePcx(goodPcx).isNull());
    ASSERT_FALSE(decodeTga(goodTga).isNull());
    QByteArray notPcx = goodPcx;
    notPcx[0] = 5;

    struct Case {
        const char* what;
        std::pair<PackedFormat, QByteArray> file;
        quint16 status;
    };
    QList<Case> cases = {
        {"PCX marker not 12", pcx(same, pcxData, trailer256(11)), PackedBadFormat},
        {"not PCX", {PackedFormat::Pcx, notPcx}, PackedBadFormat},
        {"PCX short header", {PackedFormat::Pcx, goodPcx.left(100)}, PackedReadError},
        {"PCX no room for the trailer", pcx(same, pcxData, {}), PackedReadError},
        {"PCX lines shorter than the width", pcx([](PcxLayout& s) { s.bytesPerLine = 1; }, pcxData, trailer256()), PackedBadFormat},
        {"PCX data cannot cover the picture",
         pcx([](PcxLayout& s) { s.width = 65535, s.height = 4096; }, QByteArray("\xFF\x01", 2), trailer256()), PackedReadError},
        {"PCX too large", pcx([](PcxLayout& s) { s.width = 65535, s.height = 65535; }, {}, trailer256()), PackedBadFormat},
        {"TGA 8-bit grey", tga([](TgaLayout& s) { s.type = 3, s.depth = 8; }, QByteArray(4, 'g')), PackedBadFormat},
        {"TGA colour-mapped",
         tga([](TgaLayout& s) { s.type = 1, s.depth = 8, s.colourMapType = 1, s.colourMapLength = 2; }, QByteArray(4, '\1')),
         PackedBadFormat},
        {"TGA map in true colour", tga([](TgaLayout& s) { s.colourMapLength = 1; }, tgaPixels), PackedBadFormat},
        {"TGA interleaved", tga([](TgaLayout& s) { s.descriptor = 0x40; }, tgaPixels), PackedBadFormat},
        {"TGA 20 bits", tga([](TgaLayout& s) { s.depth = 20; }, tgaPixels), PackedBadFormat},
        {"TGA zero width", tga([](TgaLayout& s) { s.width = 0; }, tgaPixels), PackedBadFormat},
        {"TGA cut header", {PackedFormat::Targa, goodTga.left(17)}, PackedReadError},
        {"TGA cut identification", {PackedFormat::Targa, tga([](TgaLayout& s) { s.idLength = 200; }, {}).second.left(100)},
         PackedReadError},
        // Plain pixel data shorter than the picture is refused before allocating;
        // so is a huge picture with a few run-length bytes.
        {"TGA short pixels", {PackedFormat::Targa, goodTga.chopped(1)}, PackedReadError},
        {"TGA huge run-length",
         tga([](TgaLayout& s) { s.type = 10, s.width = 65535, s.height = 4000; }, QByteArray("\xFF", 1) + bgr(1, 2, 3)),
         PackedReadError},
    };
    // PCX eight bits split into planes other than 8 x 1, and depths with no layout.
    for (auto [bits, planes] : {std::pair{1, 8}, {2, 4}, {4, 2}, {2, 2}, {4, 3}, {16, 1}, {8, 2}, {1, 5}})
        cases.append({"PCX plane layout",
                      pcx([=](PcxLayout& s) { s.planeBits = bits, s.planes = planes; }, QByteArray(64, '\x01'), trailer256()),
                      PackedBadFormat});
    for (const Case& c : cases) {
        quint16 status = 0;
        EXPECT_TRUE(decodeAs(c.file.first, c.file.second, &status).isNull()) << c.what;
        EXPECT_EQ(status, c.status) << c.what;
    }
}

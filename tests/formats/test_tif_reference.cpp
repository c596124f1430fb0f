// The TIFF reader against independent encoders (ImageMagick, netpbm's
// pnmtotiff): every depth, compression, predictor, byte order and strip layout
// they write decodes pixel for pixel as ImageMagick decodes it.
#include "formats/fixture_tools.h"
#include "formats/tif_map.h"

#include <QFile>
#include <QTemporaryDir>

using namespace qvtest;

namespace {

struct EncoderCase {
    const char* name;
    // "convert" arguments between the source and the output, or, when
    // `netpbm` is set, pnmtotiff arguments applied to the source as PNM.
    QStringList args;
    bool netpbm = false;
    // Which source: the small base picture, or the large one (files over 64 KiB).
    bool large = false;
    // What tiffinfo must report, so that a changed encoder cannot hide a case.
    QStringList tags;
};

// ImageMagick's convert options that make the source PNM for pnmtotiff.
QStringList pnmSourceArgs(const QString& netpbmKind)
{
    if (netpbmKind == "pbm")
        return {"-monochrome"};
    if (netpbmKind == "pgm")
        return {"-type", "Grayscale"};
    if (netpbmKind == "pal4")
        return {"-colors", "14"};
    if (netpbmKind == "pal8")
        return {"-colors", "120"};
    return {};
}

QString encode(const QDir& dir, const QString& source, const EncoderCase& c)
{
    const QString out = dir.filePath(QString("%1.tif").arg(c.name));
    if (!c.netpbm) {
        runTool("convert", QStringList{source} + c.args + QStringList{out});
        return out;
    }
    // First argument: the PNM kind; the rest go to pnmtotiff.
    const QString kind = c.args.first();
    const QString ext = kind == "pbm" || kind == "pgm" ? kind : QString("ppm");
    const QString pnm = dir.filePath(QString("%1.%2").arg(c.name, ext));
    runTool("convert", QStringList{source} + pnmSourceArgs(kind) + QStringList{"-depth", "8", pnm});
    const QByteArray tif = runTool("pnmtotiff", c.args.mid(1) + QStringList{pnm});
    if (!tif.isEmpty())
        writeFile(out, tif);
    return out;
}

const QStringList kLsb{"-endian", "LSB"}, kMsb{"-endian", "MSB"};
QStringList im(std::initializer_list<QStringList> parts)
{
    QStringList all;
    for (const QStringList& p : parts)
        all += p;
    return all;
}

const QString kNone = "Compression Scheme: None", kPackBits = "Compression Scheme: PackBits",
              kLzw = "Compression Scheme: LZW", kPred = "Predictor: horizontal differencing",
              kNoPred = "Predictor: none", kRgb = "Photometric Interpretation: RGB",
              kPalette = "Photometric Interpretation: palette", kBlackZero = "min-is-black",
              kWhiteZero = "min-is-white";

const std::vector<EncoderCase>& encoderCases()
{
    static const std::vector<EncoderCase> cases = {
        {"rgb_none_lsb", im({{"-compress", "None"}, kLsb}), false, false, {kNone, kRgb, "Bits/Sample: 8"}},
        {"rgb_none_msb", im({{"-compress", "None"}, kMsb}), false, false, {kNone, kRgb}},
        {"rgb_packbits", im({{"-compress", "RLE"}, kMsb}), false, false, {kPackBits, kRgb}},
        {"rgb_packbits_strips", im({{"-compress", "RLE", "-define", "tiff:rows-per-strip=1"}, kLsb}), false, false,
         {kPackBits, "Rows/Strip: 1"}},
        {"rgb_lzw", im({{"-compress", "LZW", "-define", "tiff:predictor=1"}, kLsb}), false, false, {kLzw, kNoPred}},
        {"rgb_lzw_pred_strips", im({{"-compress", "LZW", "-define", "tiff:predictor=2", "-define",
                                     "tiff:rows-per-strip=5"}, kMsb}),
         false, false, {kLzw, kPred, "Rows/Strip: 5"}},
        {"pal8_none", im({{"-type", "Palette", "-colors", "200", "-compress", "None"}, kLsb}), false, false,
         {kNone, kPalette, "Bits/Sample: 8"}},
        {"pal8_lzw", im({{"-type", "Palette", "-colors", "200", "-compress", "LZW"}, kMsb}), false, false,
         {kLzw, kPalette}},
        {"pal4_none", im({{"-type", "Palette", "-colors", "12", "-depth", "4", "-compress", "None"}, kMsb}), false,
         false, {kNone, kPalette, "Bits/Sample: 4"}},
        {"pal4_packbits", im({{"-type", "Palette", "-colors", "12", "-depth", "4", "-compress", "RLE"}, kLsb}),
         false, false, {kPackBits, kPalette, "Bits/Sample: 4"}},
        {"grey_none", im({{"-type", "Grayscale", "-compress", "None"}, kLsb}), false, false,
         {kNone, kBlackZero, "Bits/Sample: 8"}},
        {"grey_lzw_pred", im({{"-type", "Grayscale", "-compress", "LZW", "-define", "tiff:predictor=2"}, kMsb}),
         false, false, {kLzw, kPred, kBlackZero}},
        {"grey_packbits", im({{"-type", "Grayscale", "-compress", "RLE"}, kMsb}), false, false,
         {kPackBits, kBlackZero}},
        {"bw_none", im({{"-monochrome", "-depth", "1", "-compress", "None"}, kMsb}), false, false,
         {kNone, kBlackZero, "Bits/Sample: 1"}},
        {"bw_lzw", im({{"-monochrome", "-depth", "1", "-compress", "LZW"}, kLsb}), false, false,
         {kLzw, "Bits/Sample: 1"}},
        {"bw_packbits", im({{"-monochrome", "-depth", "1", "-compress", "RLE"}, kLsb}), false, false,
         {kPackBits, "Bits/Sample: 1"}},
        // Over 64 KiB, the directory and its arrays after the pixels.
        {"big_rgb_none", im({{"-compress", "None"}, kLsb}), false, true, {kNone, kRgb}},
        {"big_rgb_strips_msb", im({{"-compress", "None", "-define", "tiff:rows-per-strip=7"}, kMsb}), false, true,
         {kNone, "Rows/Strip: 7"}},
        {"big_rgb_lzw_pred", im({{"-compress", "LZW", "-define", "tiff:predictor=2", "-define",
                                  "tiff:rows-per-strip=16"}, kMsb}),
         false, true, {kLzw, kPred}},
        {"big_pal8_none", im({{"-type", "Palette", "-colors", "230", "-compress", "None"}, kLsb}), false, true,
         {kNone, kPalette}},
        {"big_pal8_packbits", im({{"-type", "Palette", "-colors", "230", "-compress", "RLE"}, kMsb}), false, true,
         {kPackBits, kPalette}},
        // netpbm: photometric 0 and 1 at one bit, min-is-white grey, palettes.
        {"np_bw_white_zero", {"pbm", "-none", "-miniswhite"}, true, false, {kNone, kWhiteZero, "Bits/Sample: 1"}},
        {"np_bw_black_zero", {"pbm", "-packbits", "-minisblack"}, true, false,
         {kPackBits, kBlackZero, "Bits/Sample: 1"}},
        {"np_bw_lzw_strips", {"pbm", "-lzw", "-miniswhite", "-rowsperstrip=5"}, true, false,
         {kLzw, kWhiteZero, "Rows/Strip: 5"}},
        {"np_rgb_lzw_pred", {"ppm", "-lzw", "-predictor=2", "-rowsperstrip=4"}, true, false,
         {kLzw, kPred, kRgb, "Rows/Strip: 4"}},
        {"np_rgb_packbits", {"ppm", "-packbits"}, true, false, {kPackBits, kRgb}},
        {"np_grey_lzw", {"pgm", "-lzw"}, true, false, {kLzw, kBlackZero, "Bits/Sample: 8"}},
        {"np_grey_white_zero", {"pgm", "-none", "-miniswhite"}, true, false, {kNone, kWhiteZero}},
        {"np_pal4_lzw", {"pal4", "-lzw", "-indexbits=4"}, true, false, {kLzw, kPalette, "Bits/Sample: 4"}},
        {"np_pal8_none", {"pal8", "-none", "-indexbits=8"}, true, false, {kNone, kPalette, "Bits/Sample: 8"}},
        {"np_big_rgb_lzw", {"ppm", "-lzw", "-rowsperstrip=3"}, true, true, {kLzw, kRgb}},
    };
    return cases;
}

quint32 directoryOffset(const QByteArray& tif)
{
    const auto* p = reinterpret_cast<const uchar*>(tif.constData());
    return tif.startsWith("MM") ? (quint32(p[4]) << 24) | (quint32(p[5]) << 16) | (quint32(p[6]) << 8) | p[7]
                                : quint32(p[4]) | (quint32(p[5]) << 8) | (quint32(p[6]) << 16) | (quint32(p[7]) << 24);
}

} // namespace

TEST(TifReference, IndependentEncodersDecodeAsImageMagickDoes)
{
    QV_REQUIRE_TOOL("convert");
    QV_REQUIRE_TOOL("pnmtotiff");
    QTemporaryDir dir;
    const QString small = makeBasePicture(QDir(dir.path()));
    const QString large = dir.filePath("large.png");
    runTool("convert", {"-size", "300x240", "-seed", "7", "plasma:fractal", "-depth", "8", large});
    ASSERT_TRUE(QFile::exists(small) && QFile::exists(large));
    const bool checkTags = haveTool("tiffinfo");

    for (const EncoderCase& c : encoderCases()) {
        SCOPED_TRACE(c.name);
        const QString path = encode(QDir(dir.path()), c.large ? large : small, c);
        const QByteArray bytes = readFile(path);
        ASSERT_FALSE(bytes.isEmpty()) << "the encoder wrote nothing";
        if (checkTags) {
            const QString info = QString::fromUtf8(runTool("tiffinfo", {path}));
            for (const QString& tag : c.tags)
                EXPECT_TRUE(info.contains(tag)) << qPrintable(tag) << " not in\n" << qPrintable(info);
        }
        if (c.large) {
            EXPECT_GT(bytes.size(), 65536);
            EXPECT_GT(directoryOffset(bytes), 65536u);
        }
        TTifmap map;
        try {
            map.LoadFromFile(path);
        } catch (const ETifException& e) {
            ADD_FAILURE() << "ETifException " << qPrintable(e.message());
            continue;
        }
        EXPECT_TRUE(samePixels(map.Bitmap().convertToFormat(QImage::Format_RGB32), referenceDecode(path)));
    }
}

TEST(TifReference, RowLimitOnEncodedFiles)
{
    QV_REQUIRE_TOOL("convert");
    QTemporaryDir dir;
    const QString fits = dir.filePath("2400.tif"), over = dir.filePath("2401.tif");
    runTool("convert", {"-size", "2400x3", "-seed", "3", "plasma:fractal", "-depth", "8", "-compress", "LZW", fits});
    runTool("convert", {"-size", "2401x3", "-seed", "3", "plasma:fractal", "-depth", "8", "-compress", "LZW", over});
    TTifmap map;
    map.LoadFromFile(fits);
    EXPECT_EQ(map.Width(), 2400);
    EXPECT_EQ(map.BitsPerPixel(), 24);
    EXPECT_TRUE(samePixels(map.Bitmap().convertToFormat(QImage::Format_RGB32), referenceDecode(fits)));
    try {
        map.LoadFromFile(over);
        ADD_FAILURE() << "2401 pixels loaded";
    } catch (const ETifException& e) {
        EXPECT_EQ(e.message(), "File Too big");
    }
    EXPECT_EQ(map.Width(), 2400);
}

// The TIFF reader against independent encoders (ImageMagick, netpbm's
// pnmtotiff): what they write decodes pixel for pixel as ImageMagick decodes it.
#include "formats/fixture_tools.h"
#include "formats/tif_map.h"

#include <QTemporaryDir>
#include <QtEndian>
#include <algorithm>
#include <utility>

using namespace qvtest;

namespace {

struct EncoderCase {
    const char* name;
    // "im": convert options; "pbm", "pgm", "ppm", "pal4", "pal8": pnmtotiff
    // options, applied to the source made into that kind of PNM first.
    const char* encoder;
    const char* options;
    bool large;       // the 300 x 240 source: files over 64 KiB
    const char* tags; // what tiffinfo must report, '|' between items
};

const EncoderCase kCases[] = {
    {"rgb_none", "im", "-compress None -endian LSB", false, "None|RGB color"},
    {"rgb_packbits", "im", "-compress RLE -endian MSB", false, "PackBits"},
    {"rgb_packbits_rows", "im", "-compress RLE -define tiff:rows-per-strip=1", false, "PackBits|Rows/Strip: 1"},
    {"rgb_lzw", "im", "-compress LZW -define tiff:predictor=1", false, "LZW|Predictor: none"},
    {"rgb_lzw_pred", "im", "-compress LZW -define tiff:predictor=2 -define tiff:rows-per-strip=5 -endian MSB",
     false, "LZW|horizontal differencing|Rows/Strip: 5"},
    {"pal8_none", "im", "-type Palette -colors 200 -compress None", false, "None|palette|Bits/Sample: 8"},
    {"pal8_lzw", "im", "-type Palette -colors 200 -compress LZW -endian MSB", false, "LZW|palette"},
    {"pal4_none", "im", "-type Palette -colors 12 -depth 4 -compress None -endian MSB", false, "palette|Sample: 4"},
    {"grey_none", "im", "-type Grayscale -compress None", false, "None|min-is-black|Sample: 8"},
    {"grey_lzw_pred", "im", "-type Grayscale -compress LZW -define tiff:predictor=2 -endian MSB", false,
     "LZW|differencing|min-is-black"},
    {"bw_none", "im", "-monochrome -depth 1 -compress None -endian MSB", false, "None|min-is-black|Sample: 1"},
    {"bw_lzw", "im", "-monochrome -depth 1 -compress LZW", false, "LZW|Sample: 1"},
    {"big_rgb", "im", "-compress None", true, "None"},
    {"big_rgb_rows_mm", "im", "-compress None -define tiff:rows-per-strip=7 -endian MSB", true, "Rows/Strip: 7"},
    {"big_rgb_lzw_pred", "im", "-compress LZW -define tiff:predictor=2 -define tiff:rows-per-strip=16 -endian MSB",
     true, "LZW|differencing"},
    {"big_pal8", "im", "-type Palette -colors 230 -compress None", true, "None|palette"},
    {"big_pal8_packbits", "im", "-type Palette -colors 230 -compress RLE -endian MSB", true, "PackBits|palette"},
    {"np_bw_white", "pbm", "-none -miniswhite", false, "None|min-is-white|Sample: 1"},
    {"np_bw_black", "pbm", "-packbits -minisblack", false, "PackBits|min-is-black|Sample: 1"},
    {"np_bw_lzw_rows", "pbm", "-lzw -miniswhite -rowsperstrip=5", false, "LZW|min-is-white|Rows/Strip: 5"},
    {"np_rgb_lzw_pred", "ppm", "-lzw -predictor=2 -rowsperstrip=4", false, "LZW|differencing|RGB color"},
    {"np_grey_lzw", "pgm", "-lzw", false, "LZW|min-is-black|Sample: 8"},
    {"np_grey_white", "pgm", "-none -miniswhite", false, "None|min-is-white|Sample: 8"},
    {"np_pal4_lzw", "pal4", "-lzw -indexbits=4", false, "LZW|palette|Sample: 4"},
    {"np_pal8_none", "pal8", "-none -indexbits=8", false, "None|palette|Sample: 8"},
    {"np_big_rgb_lzw", "ppm", "-lzw -rowsperstrip=3", true, "LZW|RGB color"},
};

QString encode(const QDir& dir, const QString& source, const EncoderCase& c)
{
    const QString out = dir.filePath(QString("%1.tif").arg(c.name));
    const QStringList options = QString(c.options).split(' ');
    const QString kind = c.encoder;
    if (kind == "im") {
        runTool("convert", QStringList{source} + options + QStringList{out});
        return out;
    }
    const QStringList toPnm = kind == "pbm" ? QStringList{"-monochrome"}
        : kind == "pgm"                     ? QStringList{"-type", "Grayscale"}
        : kind == "pal4"                    ? QStringList{"-colors", "14"}
        : kind == "pal8"                    ? QStringList{"-colors", "120"}
                                            : QStringList{};
    const QString pnm = dir.filePath(QString("%1.%2").arg(c.name, kind.startsWith("pal") ? "ppm" : kind));
    runTool("convert", QStringList{source} + toPnm + QStringList{"-depth", "8", pnm});
    writeFile(out, runTool("pnmtotiff", options + QStringList{pnm}));
    return out;
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
    for (const EncoderCase& c : kCases) {
        SCOPED_TRACE(c.name);
        const QString path = encode(QDir(dir.path()), c.large ? large : small, c);
        const QByteArray bytes = readFile(path);
        ASSERT_GT(bytes.size(), 8) << "the encoder wrote nothing";
        // A changed encoder must not hide a case.
        if (haveTool("tiffinfo")) {
            const QString info = QString::fromUtf8(runTool("tiffinfo", {path}));
            for (const QString& tag : QString(c.tags).split('|'))
                EXPECT_TRUE(info.contains(tag)) << qPrintable(tag) << " not in\n" << qPrintable(info);
        }
        if (c.large) { // directory and arrays past 64 KiB, after the pixels
            QByteArray at = bytes.mid(4, 4);
            if (bytes.startsWith("MM"))
                std::reverse(at.begin(), at.end());
            EXPECT_GT(qFromLittleEndian<quint32>(at.constData()), 65536u);
        }
        TTifmap map;
        try {
            map.LoadFromFile(path);
            EXPECT_TRUE(samePixels(map.Bitmap().convertToFormat(QImage::Format_RGB32), referenceDecode(path)));
        } catch (const ETifException& e) {
            ADD_FAILURE() << qPrintable(e.message());
        }
    }

    // A 24-bit picture 2400 pixels wide loads, 2401 is too big.
    const QString fits = dir.filePath("2400.tif"), over = dir.filePath("2401.tif");
    for (const auto& [path, size] : {std::pair{fits, "2400x3"}, std::pair{over, "2401x3"}})
        runTool("convert", {"-size", size, "-seed", "3", "plasma:fractal", "-depth", "8", "-compress", "LZW", path});
    TTifmap map;
    map.LoadFromFile(fits);
    EXPECT_TRUE(samePixels(map.Bitmap().convertToFormat(QImage::Format_RGB32), referenceDecode(fits)));
    EXPECT_THROW(map.LoadFromFile(over), ETifException);
}

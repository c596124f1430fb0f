// The any-format bitmap and the tif, cdr and ico rows of the loading
// dispatch; icons of several sizes and depths against ImageMagick's decode.
#include "formats/anymap.h"
#include "formats/fixture_tools.h"
#include "formats/picture_loader.h"
#include "formats/tif_map.h"

#include <QTemporaryDir>

using namespace qvtest;

namespace {

// A 2 x 1 grey TIFF: header, pixels at 8, directory of SHORT entries at 10.
QByteArray smallTif()
{
    QByteArray t("II*\0\x0A\0\0\0\x40\xC0\x05\0", 12);
    for (quint32 tag : {256u, 257u, 258u, 262u, 273u}) {
        appendLe32(t, tag | (3u << 16));
        appendLe32(t, 1);
        appendLe32(t, tag == 256 ? 2 : tag == 257 ? 1 : tag == 258 ? 8 : tag == 262 ? 1 : 8);
    }
    appendLe32(t, 0);
    return t;
}

// A drawing whose preview is 2 x 1 at 24 bits: red, blue.
QByteArray smallCdr()
{
    QByteArray d(34, '\0');
    for (quint32 v : {40u, 2u, 1u, 1u | (24u << 16), 0u, 0u, 0u, 0u, 0u, 0u})
        appendLe32(d, v);
    return d + QByteArray::fromHex("0000ffff00000000");
}

QImage referenceIcon(const QString& path, int index)
{
    const QByteArray ppm = runTool("convert", {QString("%1[%2]").arg(path).arg(index), "-background", "white",
                                               "-alpha", "remove", "-depth", "8", "ppm:-"});
    return QImage::fromData(ppm, "PPM").convertToFormat(QImage::Format_RGB32);
}

} // namespace

TEST(TAnymap, ReaderByExtensionAndDispatchRows)
{
    QTemporaryDir dir;
    writeFile(dir.filePath("a.TIF"), smallTif());
    writeFile(dir.filePath("b.Cdr"), smallCdr());
    TAnymap map;
    map.LoadFromFile(dir.filePath("a.TIF"));
    EXPECT_EQ(map.BitsPerPixel(), 8);
    EXPECT_EQ(map.Bitmap().pixel(1, 0), qRgb(0xC0, 0xC0, 0xC0));
    map.LoadFromFile(dir.filePath("b.Cdr"));
    EXPECT_EQ(map.Bitmap().pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(map.Bitmap().pixel(1, 0), qRgb(0, 0, 255));
    // Other keys leave the bitmap as it was, whatever the file holds.
    for (const char* other : {"c.tiff", "noextension"}) {
        writeFile(dir.filePath(other), smallTif());
        map.LoadFromFile(dir.filePath(other));
        EXPECT_EQ(map.BitsPerPixel(), 24) << other;
    }
    // The readers' errors pass through.
    writeFile(dir.filePath("bad.tif"), "XX");
    writeFile(dir.filePath("bad.ico"), QByteArray::fromHex("000001000100202000000100200000010000ffff0000"));
    EXPECT_THROW(map.LoadFromFile(dir.filePath("bad.tif")), ETifException);
    EXPECT_THROW(map.LoadFromFile(dir.filePath("bad.ico")), EInvalidGraphic);
    // An image header asking for more than an icon's 256 x 256 is not handed to Qt.
    writeFile(dir.filePath("huge.ico"), QByteArray::fromHex("000001000100202000000100200028000000160000002800000088130000"
                                                             "10270000010020000000000000000000")
                                            + QByteArray(40, '\0'));
    EXPECT_THROW(map.LoadFromFile(dir.filePath("huge.ico")), EInvalidGraphic);
    EXPECT_THROW(map.LoadFromFile(dir.filePath("missing.ico")), EInvalidGraphic);
    EXPECT_EQ(map.Bitmap().size(), QSize(2, 1));

    // The dispatch keeps the TAnymap; every failure reads the same to the user.
    const TPicture tif = LoadPictureFile(dir.filePath("a.TIF"));
    EXPECT_EQ(tif.kindName(), "TAnymap");
    EXPECT_EQ(tif.bitsPerPixel(), 8);
    EXPECT_EQ(LoadPictureFile(dir.filePath("b.Cdr")).bitsPerPixel(), 24);
    writeFile(dir.filePath("bad.cdr"), QByteArray(100, '\0'));
    for (const char* name : {"bad.tif", "bad.cdr", "bad.ico", "missing.tif", "missing.cdr"})
        EXPECT_EQ(failureOf(dir.filePath(name)), QString::fromUtf8("Errore nella lettura del file")) << name;
    writeFile(dir.filePath("c.wmf"), smallTif());
    EXPECT_EQ(failureOf(dir.filePath("c.wmf")), QString::fromUtf8("Errore nella lettura del file"));
    // Metafiles are drawn at their own size, their bitmaps through our DIB conversion.
    const TPicture emf = LoadPictureFile(qvtest::sourceDir() + "/tests/data/metafile/raster.emf");
    EXPECT_EQ(emf.kindName(), "TAnymap");
    EXPECT_EQ(emf.size(), QSize(298, 218));
    const QRgb inBitmap = emf.image().pixel(60, 40);
    EXPECT_EQ(qRed(inBitmap), 255);
    EXPECT_EQ(qGreen(inBitmap), 200);
}

TEST(TAnymap, IconsAtTheStandardSizeOverWhite)
{
    QV_REQUIRE_TOOL("convert");
    QTemporaryDir dir;
    const QString base = makeBasePicture(QDir(dir.path()));
    const auto make = [&](const QString& name, const QStringList& args) {
        runTool("convert", args + QStringList{dir.filePath(name)});
        return dir.filePath(name);
    };
    // Palette frames give 8- and 4-bit images, resized ones 32-bit images.
    const QString p48 = make("p48.bmp", {base, "-resize", "48x48!", "-colors", "200", "-type", "Palette"});
    const QString p32 = make("p32.bmp", {base, "-resize", "32x32!", "-colors", "100", "-type", "Palette"});
    const QString p16 = make("p16.bmp", {base, "-resize", "16x16!", "-colors", "16"});
    const QString t32 = make("t32.png", {base, "-resize", "32x32!"});
    const QString disc = make("disc.png", {"-size", "32x32", "xc:none", "+antialias", "-fill", "#2050a0", "-draw",
                                           "circle 16,16 16,6"});
    const struct {
        QString path;
        int index; // the image expected
        int bits;  // its depth in the file's directory
        int side;
    } cases[] = {
        {make("eight.ico", {p48, p32, p16}), 1, 8, 32},
        {make("full.ico", {base, "-define", "icon:auto-resize=48,32,16"}), 1, 32, 32},
        {make("both.ico", {p32, t32}), 1, 32, 32},                             // two at 32: the deeper
        {make("no32.ico", {base, "-define", "icon:auto-resize=16,48,24"}), 1, 32, 48}, // none at 32: the largest
        {make("disc.ico", {disc, "-define", "icon:auto-resize=32,16"}), 0, 32, 32},   // transparent corners
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(qPrintable(c.path));
        const QByteArray bytes = readFile(c.path);
        ASSERT_GT(bytes.size(), 6 + 16 * (c.index + 1));
        EXPECT_EQ(uchar(bytes[6 + 16 * c.index + 6]), c.bits);
        const TPicture picture = LoadPictureFile(c.path);
        EXPECT_EQ(picture.kindName(), "TAnymap");
        EXPECT_EQ(picture.size(), QSize(c.side, c.side));
        EXPECT_TRUE(samePixels(picture.image(), referenceIcon(c.path, c.index)));
    }
    EXPECT_EQ(IconToBitmap(readFile(cases[4].path)).pixel(0, 0), qRgb(255, 255, 255));
}

// The any-format bitmap: the reader by extension, icons of several sizes and
// depths at 32 x 32 over white (ImageMagick's decode as reference), and the
// tif, cdr and ico rows of the loading dispatch.
#include "formats/anymap.h"
#include "formats/fixture_tools.h"
#include "formats/picture_loader.h"
#include "formats/tif_map.h"

#include <QTemporaryDir>

using namespace qvtest;

namespace {

// A 2 x 1 grey TIFF, uncompressed.
QByteArray smallTif()
{
    QByteArray t("II*\0", 4);
    appendLe32(t, 10);
    t.append("\x40\xC0", 2);
    const quint16 tags[][2] = {{256, 2}, {257, 1}, {258, 8}, {262, 1}, {273, 8}};
    appendLe16(t, 5);
    for (const auto& tag : tags) {
        appendLe16(t, tag[0]);
        appendLe16(t, 3);
        appendLe32(t, 1);
        appendLe32(t, tag[1]);
    }
    appendLe32(t, 0);
    return t;
}

// A drawing whose preview is 2 x 1 at 24 bits.
QByteArray smallCdr()
{
    QByteArray d(34, '\0');
    appendLe32(d, 40);
    appendLe32(d, 2);
    appendLe32(d, 1);
    appendLe16(d, 1);
    appendLe16(d, 24);
    d.append(QByteArray(24, '\0'));
    d.append(QByteArray::fromHex("0000ffff00000000"));
    return d;
}

// ImageMagick's decode of one image of an icon file, over white.
QImage referenceIcon(const QString& path, int index)
{
    const QByteArray ppm = runTool("convert", {QString("%1[%2]").arg(path).arg(index), "-background", "white",
                                               "-alpha", "remove", "-depth", "8", "ppm:-"});
    return QImage::fromData(ppm, "PPM").convertToFormat(QImage::Format_RGB32);
}

QString failureOf(const QString& path)
{
    try {
        LoadPictureFile(path);
        return QString();
    } catch (const EPictureLoad& e) {
        return e.message();
    }
}

} // namespace

TEST(TAnymap, ReaderByExtension)
{
    QTemporaryDir dir;
    writeFile(dir.filePath("a.TIF"), smallTif());
    writeFile(dir.filePath("b.Cdr"), smallCdr());
    TAnymap map;
    EXPECT_EQ(map.kindName(), "TAnymap");
    map.LoadFromFile(dir.filePath("a.TIF"));
    ASSERT_EQ(map.Bitmap().size(), QSize(2, 1));
    EXPECT_EQ(map.BitsPerPixel(), 8);
    EXPECT_EQ(map.Bitmap().pixel(1, 0), qRgb(0xC0, 0xC0, 0xC0));

    map.LoadFromFile(dir.filePath("b.Cdr"));
    EXPECT_EQ(map.BitsPerPixel(), 24);
    EXPECT_EQ(map.Bitmap().pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(map.Bitmap().pixel(1, 0), qRgb(0, 0, 255));

    // Keys it has no reader for leave the bitmap as it was; the TIFF bytes
    // under another key are not looked at.
    for (const char* other : {"c.tiff", "c.wmf", "c.emf", "c.png", "noextension"}) {
        writeFile(dir.filePath(other), smallTif());
        map.LoadFromFile(dir.filePath(other));
        EXPECT_EQ(map.BitsPerPixel(), 24) << other;
    }
    TAnymap empty;
    empty.LoadFromFile(dir.filePath("c.png"));
    EXPECT_TRUE(empty.Empty());

    // The readers' own errors pass through.
    writeFile(dir.filePath("bad.tif"), "XX");
    EXPECT_THROW(map.LoadFromFile(dir.filePath("bad.tif")), ETifException);
    writeFile(dir.filePath("bad.cdr"), "RIFF");
    EXPECT_THROW(map.LoadFromFile(dir.filePath("bad.cdr")), EInvalidGraphic);
    writeFile(dir.filePath("bad.ico"), QByteArray::fromHex("000001000100202000000100200000010000ffff0000"));
    EXPECT_THROW(map.LoadFromFile(dir.filePath("bad.ico")), EInvalidGraphic);
    EXPECT_THROW(map.LoadFromFile(dir.filePath("missing.ico")), EInvalidGraphic);
    EXPECT_EQ(map.Bitmap().size(), QSize(2, 1));
}

TEST(TAnymap, IconsLoadAtTheirStandardSize)
{
    QV_REQUIRE_TOOL("convert");
    QTemporaryDir dir;
    const QString base = makeBasePicture(QDir(dir.path()));
    const auto frame = [&](const QString& name, const QStringList& args) {
        const QString path = dir.filePath(name);
        runTool("convert", QStringList{base} + args + QStringList{path});
        return path;
    };
    // Palette frames make 8- and 4-bit images; resized ones 32-bit images.
    const QString p48 = frame("p48.bmp", {"-resize", "48x48!", "-colors", "200", "-type", "Palette"});
    const QString p32 = frame("p32.bmp", {"-resize", "32x32!", "-colors", "100", "-type", "Palette"});
    const QString p16 = frame("p16.bmp", {"-resize", "16x16!", "-colors", "16"});
    const QString t32 = frame("t32.png", {"-resize", "32x32!"});
    const QString eight = dir.filePath("eight.ico"), full = dir.filePath("full.ico"), both = dir.filePath("both.ico"),
                  no32 = dir.filePath("no32.ico");
    runTool("convert", {p48, p32, p16, eight});
    runTool("convert", {base, "-define", "icon:auto-resize=48,32,16", full});
    runTool("convert", {p32, t32, both});
    runTool("convert", {base, "-define", "icon:auto-resize=16,48,24", no32});

    const struct {
        QString path;
        int index;   // the image expected, in the file's order
        int bits;    // its depth in the file
        QSize size;
    } cases[] = {
        {eight, 1, 8, {32, 32}},
        {full, 1, 32, {32, 32}},
        {both, 1, 32, {32, 32}},   // two 32 x 32 images: the deeper one
        {no32, 1, 32, {48, 48}},   // no 32 x 32 image: the largest
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(qPrintable(c.path));
        const QByteArray bytes = readFile(c.path);
        ASSERT_GT(bytes.size(), 6 + 16 * (c.index + 1));
        EXPECT_EQ(uchar(bytes[6 + 16 * c.index + 6]), c.bits); // the directory's bit count
        TAnymap map;
        map.LoadFromFile(c.path);
        EXPECT_EQ(map.Bitmap().size(), c.size);
        EXPECT_EQ(map.Bitmap().format(), QImage::Format_RGB32);
        EXPECT_TRUE(samePixels(map.Bitmap(), referenceIcon(c.path, c.index)));
    }
}

TEST(TAnymap, TransparentIconPixelsShowWhite)
{
    QV_REQUIRE_TOOL("convert");
    QTemporaryDir dir;
    const QString png = dir.filePath("disc.png"), ico = dir.filePath("disc.ico");
    runTool("convert", {"-size", "32x32", "xc:none", "+antialias", "-fill", "#2050a0", "-draw",
                        "circle 16,16 16,6", png});
    runTool("convert", {png, "-define", "icon:auto-resize=32,16", ico});
    const QImage image = IconToBitmap(readFile(ico));
    ASSERT_EQ(image.size(), QSize(32, 32));
    EXPECT_EQ(image.pixel(0, 0), qRgb(255, 255, 255));
    EXPECT_EQ(image.pixel(16, 16), qRgb(0x20, 0x50, 0xA0));
    EXPECT_TRUE(samePixels(image, referenceIcon(ico, 0)));
}

TEST(PictureLoaderMaps, TifCdrAndIcoRows)
{
    QTemporaryDir dir;
    writeFile(dir.filePath("a.tif"), smallTif());
    writeFile(dir.filePath("a.cdr"), smallCdr());
    const TPicture tif = LoadPictureFile(dir.filePath("a.tif"));
    EXPECT_EQ(tif.kindName(), "TAnymap");
    EXPECT_EQ(tif.bitsPerPixel(), 8);
    EXPECT_EQ(tif.size(), QSize(2, 1));
    ASSERT_NE(tif.graphicAs<TAnymap>(), nullptr);
    EXPECT_EQ(tif.graphicAs<TAnymap>()->Width(), 2);
    const TPicture cdr = LoadPictureFile(dir.filePath("a.cdr"));
    EXPECT_EQ(cdr.kindName(), "TAnymap");
    EXPECT_EQ(cdr.bitsPerPixel(), 24);

    if (haveTool("convert")) {
        runTool("convert", {"-size", "40x40", "xc:orange", "-define", "icon:auto-resize=40,32", dir.filePath("a.ico")});
        const TPicture ico = LoadPictureFile(dir.filePath("a.ico"));
        EXPECT_EQ(ico.size(), QSize(32, 32));
        EXPECT_EQ(ico.kindName(), "TAnymap");
    }

    // Every failure of these readers reads the same to the user.
    const QString readError = QString::fromUtf8("Errore nella lettura del file");
    writeFile(dir.filePath("bad.tif"), "II*\0\x08\0\0\0\0\0");
    writeFile(dir.filePath("bad.cdr"), QByteArray(100, '\0'));
    writeFile(dir.filePath("bad.ico"), "not an icon");
    for (const char* name : {"bad.tif", "bad.cdr", "bad.ico", "missing.tif", "missing.cdr", "missing.ico"})
        EXPECT_EQ(failureOf(dir.filePath(name)), readError) << name;
    // Metafiles have no reader yet.
    writeFile(dir.filePath("a.wmf"), "x");
    EXPECT_EQ(failureOf(dir.filePath("a.wmf")), QString::fromUtf8("Errore: formato non supportato"));
}

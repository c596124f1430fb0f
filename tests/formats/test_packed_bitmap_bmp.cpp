// Windows-bitmap reader and the conversion of its block to a QImage, checked
// against ImageMagick's and Qt's decoders and against hand-built files.
#include "formats/bmp_builder.h"
#include "formats/dib_image.h"
#include "formats/packed_bitmap.h"

#include <QBuffer>
#include <QImageReader>
#include <QTemporaryDir>

using namespace qvtest;

namespace {

QImage decodeBmpBytes(const QByteArray& file, quint16* status = nullptr)
{
    PackedReadResult r = DecodePackedBitmap(file, PackedFormat::WindowsBitmap);
    if (status)
        *status = r.status;
    return r ? DibToImage(r.bitmap.get()) : QImage();
}

QImage qtBmpDecode(const QByteArray& file)
{
    QBuffer buffer;
    buffer.setData(file);
    QImageReader reader(&buffer, "bmp");
    return reader.read();
}

} // namespace

// Files from an independent encoder, read through the ".dib" and ".rle" names.
TEST(WindowsBitmapReader, DecodesImageMagickFilesLikeImageMagickAndQt)
{
    QV_REQUIRE_TOOL("convert");
    QTemporaryDir dir;
    const QString base = makeBasePicture(QDir(dir.path()));
    struct Case {
        const char* name;
        QStringList args;
        int bits;
        quint32 compression;
    };
    const Case cases[] = {
        {"b1.dib", {"-monochrome"}, 1, 0},
        {"b4.dib", {"-colors", "16", "-type", "palette"}, 4, 0},
        {"b8.dib", {"-colors", "200", "-type", "palette", "-compress", "None"}, 8, 0},
        {"b24.dib", {"-type", "truecolor"}, 24, 0},
        {"r8.rle", {"-colors", "40", "-type", "palette", "-compress", "RLE"}, 8, 1},
        {"r8.dib", {"-colors", "7", "-type", "palette", "-colors", "200", "-compress", "RLE"}, 8, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = QDir(dir.path()).filePath(c.name);
        QStringList args{base};
        args << c.args << ("BMP3:" + path);
        ASSERT_FALSE(runTool("convert", args).isNull());

        PackedReadResult r = ReadPackedBitmap(path, true);
        ASSERT_TRUE(r) << "status " << r.status;
        EXPECT_EQ(r.status, PackedOk);
        // Check what the encoder really wrote, so the case tests what it names.
        EXPECT_EQ(r.bitmap->bitCount(), c.bits);
        EXPECT_EQ(r.bitmap->compression(), c.compression);
        const QImage image = DibToImage(r.bitmap.get());
        EXPECT_EQ(image.format(), c.bits == 1 ? QImage::Format_Mono
                                  : c.bits <= 8 ? QImage::Format_Indexed8
                                                : QImage::Format_RGB32);
        EXPECT_TRUE(samePixels(image, referenceDecode(path)));
        EXPECT_TRUE(samePixels(image, qtBmpDecode(readFile(path))));
        // Mapped instead of copied gives the same block.
        PackedReadResult mapped = ReadPackedBitmap(path, false);
        ASSERT_TRUE(mapped);
        EXPECT_EQ(mapped.bitmap->bytes(), r.bitmap->bytes());
        FreePackedBitmap(std::move(r.bitmap));
    }
}

TEST(WindowsBitmapReader, BlockLayoutAndColourTable)
{
    // 3 x 2 at 4 bits with only 3 colours in the file: the block carries the full
    // table of 16 and its pixels sit behind it.
    BmpLayout s;
    s.width = 3;
    s.height = 2;
    s.bits = 4;
    s.palette = {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255)};
    // Bottom row 0 1 2, top row 1 2 5 (5 is past the file's table).
    const QByteArray pixels = QByteArray::fromHex("01200000" "12500000");
    const QByteArray file = bmpFile(s, pixels);
    PackedReadResult r = DecodePackedBitmap(file, PackedFormat::WindowsBitmap);
    ASSERT_TRUE(r);
    EXPECT_EQ(r.bitmap->size(), 40u + 16 * 4 + 8);
    EXPECT_EQ(r.bitmap->coloursUsed(), 16u);
    EXPECT_EQ(r.bitmap->imageSize(), 8u);
    const QImage image = DibToImage(r.bitmap.get());
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.pixel(0, 0), qRgb(0, 255, 0)); // the top row is the file's last
    EXPECT_EQ(image.pixel(1, 0), qRgb(0, 0, 255));
    EXPECT_EQ(image.pixel(2, 0), qRgb(0, 0, 0));
    EXPECT_EQ(image.pixel(0, 1), qRgb(255, 0, 0));
    EXPECT_EQ(image.pixel(2, 1), qRgb(0, 0, 255));
    const QImage qt = qtBmpDecode(file);
    EXPECT_EQ(image.copy(0, 0, 2, 2).convertToFormat(QImage::Format_RGB32),
              qt.copy(0, 0, 2, 2).convertToFormat(QImage::Format_RGB32));
}

TEST(WindowsBitmapReader, TopDownAndBitFieldLayouts)
{
    // A top-down 24-bit bitmap (negative height) and a 16-bit 5-6-5 bit-field one.
    BmpLayout s;
    s.width = 2;
    s.height = -2;
    s.bits = 24;
    const QByteArray rows = QByteArray::fromHex("0000ff00ff000000" "ff0000ffffff0000");
    const QByteArray topDown = bmpFile(s, rows);
    const QImage a = decodeBmpBytes(topDown);
    EXPECT_EQ(a.pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(a.pixel(1, 1), qRgb(255, 255, 255));
    EXPECT_TRUE(samePixels(a, qtBmpDecode(topDown)));

    BmpLayout f;
    f.width = 3;
    f.height = 1;
    f.bits = 16;
    f.compression = 3;
    f.masks.clear();
    appendLe32(f.masks, 0xF800);
    appendLe32(f.masks, 0x07E0);
    appendLe32(f.masks, 0x001F);
    QByteArray px;
    appendLe16(px, 0xF800);
    appendLe16(px, 0x07E0);
    appendLe16(px, 0x001F);
    appendLe16(px, 0);
    const QImage b = decodeBmpBytes(bmpFile(f, px));
    EXPECT_EQ(b.pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(b.pixel(1, 0), qRgb(0, 255, 0));
    EXPECT_EQ(b.pixel(2, 0), qRgb(0, 0, 255));
}

TEST(WindowsBitmapReader, RefusalsAndTheirStatus)
{
    BmpLayout ok;
    ok.width = 2;
    ok.height = 2;
    ok.bits = 8;
    ok.palette = greyRamp(256);
    const QByteArray pixels(8, '\x01');
    const QByteArray good = bmpFile(ok, pixels);
    quint16 status = 0;
    ASSERT_FALSE(decodeBmpBytes(good, &status).isNull());

    BmpLayout core = ok;
    core.infoSize = 12;
    decodeBmpBytes(bmpFile(core, pixels), &status);
    EXPECT_EQ(status, PackedNotWindowsBitmap) << "12-byte header";
    BmpLayout v5 = ok;
    v5.infoSize = 124;
    decodeBmpBytes(bmpFile(v5, pixels), &status);
    EXPECT_EQ(status, PackedNotWindowsBitmap) << "124-byte header";
    QByteArray noSignature = good;
    noSignature[0] = 'X';
    decodeBmpBytes(noSignature, &status);
    EXPECT_EQ(status, PackedNotWindowsBitmap);

    for (int cut : {0, 10, 14, 40, 53, 54 + 100, int(good.size()) - 1}) {
        decodeBmpBytes(good.left(cut), &status);
        EXPECT_EQ(status, PackedReadError) << "cut at " << cut;
    }

    struct Bad {
        const char* what;
        qint32 w, h;
        quint16 bits;
        quint32 compression;
    };
    const Bad bads[] = {
        {"2 bits", 2, 2, 2, 0},          {"0 bits", 2, 2, 0, 0},
        {"RLE8 at 4 bits", 2, 2, 4, 1},  {"JPEG inside", 2, 2, 24, 4},
        {"zero width", 0, 2, 8, 0},      {"too wide", 65536, 1, 8, 0},
        {"too many pixels", 65535, 65535, 1, 0}, {"top-down RLE", 2, -2, 8, 1},
    };
    for (const Bad& b : bads) {
        BmpLayout s = ok;
        s.width = b.w;
        s.height = b.h;
        s.bits = b.bits;
        s.compression = b.compression;
        decodeBmpBytes(bmpFile(s, pixels), &status);
        EXPECT_EQ(status, PackedBadFormat) << b.what;
    }
}

TEST(PackedBitmapLibrary, FrontEntryAndMessageTable)
{
    QTemporaryDir dir;
    EXPECT_EQ(ReadPackedBitmap(dir.filePath("missing.pcx"), true).status, PackedFileNotFound);
    writeFile(dir.filePath("picture.png"), "x");
    EXPECT_EQ(ReadPackedBitmap(dir.filePath("picture.png"), true).status, PackedUnsupportedFormat);
    writeFile(dir.filePath("empty.TGA"), "");
    EXPECT_EQ(ReadPackedBitmap(dir.filePath("empty.TGA"), true).status, PackedReadError);
    EXPECT_EQ(ReadPackedBitmap(dir.filePath("empty.TGA"), false).status, PackedReadError);

    EXPECT_EQ(PackedFormatForFileName("A.RLE"), PackedFormat::WindowsBitmap);
    EXPECT_EQ(PackedFormatForFileName("a.Pcx"), PackedFormat::Pcx);
    EXPECT_FALSE(PackedFormatForFileName("a.tga.gz").has_value());
    FreePackedBitmap(nullptr);

    const std::pair<quint16, const char*> texts[] = {
        {128, "Funktionsabbruch durch Benutzer."},
        {129, "Nicht genügend Speicher."},
        {130, "Speicher kann nicht fixiert werden."},
        {131, "Das Bild hat ein falsches Format: "},
        {132, "Fehler beim Öffnen zum Lesen, Datei "},
        {133, "Fehler beim Öffnen zum Schreiben, Datei "},
        {134, "Lesefehler Datei "},
        {135, "Schreibfehler Datei "},
        {136, "Datei nicht gefunden: "},
        {137, "Diese Datei ist keine Windows-Bitmap: "},
        {138, "Dieses Grafik-Format wird nicht unterstützt: "},
    };
    for (const auto& [code, text] : texts)
        EXPECT_EQ(PackedStatusText(code), QString::fromUtf8(text)) << code;
    EXPECT_TRUE(PackedStatusText(0).isEmpty());
}

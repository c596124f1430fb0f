// The loading dispatch: extension keys, the picture-extension test, which
// reader each key reaches, and the two messages that replace every failure.
#include "formats/bmp_builder.h"
#include "formats/picture_loader.h"
#include "platform/file_names.h"
#include "support/testutil.h"

#include <QBuffer>
#include <unistd.h>

using namespace qvtest;

namespace {

const QString kUnsupported = QString::fromUtf8("Errore: formato non supportato");
const QString kReadError = QString::fromUtf8("Errore nella lettura del file");

// A 1 x 1 GIF: header, screen, two-colour table, image, LZW data, trailer.
QByteArray tinyGif()
{
    return QByteArray::fromHex("47494638396101000100800000000000ffffff2c00000000010001000002024401003b");
}

QByteArray smallBmp()
{
    BmpLayout s;
    s.width = 2;
    s.height = 1;
    s.bits = 24;
    return bmpFile(s, QByteArray::fromHex("0000ff00ff000000"));
}

QByteArray smallPcx()
{
    QByteArray b(128, '\0');
    b[0] = 10;
    b[1] = 5;
    b[2] = 1;
    b[3] = 1;  // 1 bit, one plane
    b[8] = 7;  // 8 x 1
    b[65] = 1;
    b[66] = 1;
    b[19] = b[20] = b[21] = char(255);
    b.append(char(0x0F));
    return b;
}

} // namespace

TEST(PictureLoader, ExtensionKeys)
{
    EXPECT_EQ(PictureExtensionKey("/a/b/PHOTO.JPG"), "jpg");
    EXPECT_EQ(PictureExtensionKey("x.tar.Gz"), "gz");
    EXPECT_EQ(PictureExtensionKey("/some.dir/README"), "");
    EXPECT_EQ(PictureExtensionKey("name."), "");
    EXPECT_EQ(PictureExtensionKey(".pcx"), "pcx");

    EXPECT_TRUE(IsPictureExtension("rle"));
    for (const char* k : {"JPG", "jpe", "tiff", "png", "", ".bmp", "bmp "})
        EXPECT_FALSE(IsPictureExtension(k)) << k;
}

TEST(PictureLoader, ReadersByKey)
{
    qvtest::TempDir dir;
    writeFile(dir.filePath("a.bmp"), smallBmp());
    writeFile(dir.filePath("a.DIB"), smallBmp());
    writeFile(dir.filePath("a.PCX"), smallPcx());

    // ".bmp" with every variant, ".dib" with the 40-byte header only: the same picture.
    const TPicture bmp = LoadPictureFile(dir.filePath("a.bmp"));
    const TPicture dib = LoadPictureFile(dir.filePath("a.DIB"));
    EXPECT_EQ(bmp.kindName(), "TBitmap");
    EXPECT_TRUE(samePixels(dib.image(), bmp.image()));
    EXPECT_EQ(dib.image().pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(dib.bitsPerPixel(), 24);

    TPicture pcx;
    LoadPictureFile(dir.filePath("a.PCX"), pcx);
    EXPECT_EQ(pcx.size(), QSize(8, 1));
    EXPECT_EQ(pcx.bitsPerPixel(), 1);
    EXPECT_EQ(pcx.image().pixel(0, 0), qRgb(0, 0, 0));
    EXPECT_EQ(pcx.image().pixel(7, 0), qRgb(255, 255, 255));
}

TEST(PictureLoader, FailuresCarryTheDispatchMessages)
{
    qvtest::TempDir dir;
    const QString gifAsBmp = dir.filePath("really-a-gif.bmp");
    writeFile(gifAsBmp, tinyGif());
    const QString pcxAsTga = dir.filePath("really-a-pcx.tga");
    writeFile(pcxAsTga, smallPcx());
    writeFile(dir.filePath("photo.jpe"), "not read");
    writeFile(dir.filePath("noextension"), smallBmp());
    writeFile(dir.filePath("picture.png"), "not read");

    EXPECT_EQ(failureOf(gifAsBmp), kReadError);
    EXPECT_EQ(failureOf(pcxAsTga), kUnsupported);
    EXPECT_EQ(failureOf(dir.filePath("photo.jpe")), kUnsupported);
    EXPECT_EQ(failureOf(dir.filePath("noextension")), kUnsupported);
    EXPECT_EQ(failureOf(dir.filePath("picture.png")), kUnsupported);
    // A missing file: its reader's group decides the text.
    EXPECT_EQ(failureOf(dir.filePath("missing.bmp")), kReadError);
    EXPECT_EQ(failureOf(dir.filePath("missing.rle")), kUnsupported);
    // The packed-bitmap readers' own refusals all read the same to the user.
    writeFile(dir.filePath("truncated.dib"), smallBmp().left(30));
    EXPECT_EQ(failureOf(dir.filePath("truncated.dib")), kUnsupported);

    // A failed load leaves the picture as it was.
    TPicture picture(QImage(3, 3, QImage::Format_RGB32));
    EXPECT_THROW(LoadPictureFile(pcxAsTga, picture), EPictureLoad);
    EXPECT_EQ(picture.size(), QSize(3, 3));
}

TEST(PictureLoader, NamesThatAreNotUtf8)
{
    // A Latin-1 name: its byte 0xE9 reaches the program as U+DCE9, which
    // QFile would write back as other bytes.
    const auto encoded = [](const char* format) {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QImage(5, 3, QImage::Format_RGB32).save(&buffer, format);
        return bytes;
    };
    const struct {
        const char* extension;
        QByteArray bytes;
        QSize size;
    } cases[] = {
        {"bmp", smallBmp(), QSize(2, 1)},
        {"pcx", smallPcx(), QSize(8, 1)},
        {"gif", tinyGif(), QSize(1, 1)},
        {"jpg", encoded("JPG"), QSize(5, 3)},
        {"ico", encoded("ICO"), QSize(5, 3)},
    };
    qvtest::TempDir dir;
    for (const auto& c : cases) {
        const QByteArray path = QFile::encodeName(dir.path()) + "/caf\xE9." + c.extension;
        writeFileAt(path, c.bytes);
        const QString name = qv::decodeFileName(path);
        ASSERT_NE(QFile::encodeName(name), path);
        EXPECT_EQ(failureOf(name), QString()) << c.extension;
        EXPECT_EQ(LoadPictureFile(name).size(), c.size) << c.extension;
        ::unlink(path.constData()); // qvtest::TempDir cannot remove it by its name
    }
}

TEST(PictureHolder, KindsAndDepth)
{
    struct Source : PictureGraphic {
        QString kindName() const override { return "TTestmap"; }
    };
    TPicture plain(QImage(2, 2, QImage::Format_Indexed8));
    EXPECT_EQ(plain.kindName(), "TBitmap");
    EXPECT_EQ(plain.graphicAs<Source>(), nullptr);
    TPicture kept(QImage(2, 2, QImage::Format_RGB32), std::make_shared<Source>(), 16);
    EXPECT_EQ(kept.kindName(), "TTestmap");
    EXPECT_NE(kept.graphicAs<Source>(), nullptr);
    EXPECT_EQ(kept.bitsPerPixel(), 16);

    QImage sixteen(2, 2, QImage::Format_Indexed8);
    sixteen.setColorCount(16);
    EXPECT_EQ(TPicture(sixteen).bitsPerPixel(), 4);
    EXPECT_EQ(TPicture(QImage(2, 2, QImage::Format_Mono)).bitsPerPixel(), 1);
    EXPECT_EQ(TPicture(QImage(2, 2, QImage::Format_RGB32)).bitsPerPixel(), 24);
    kept.clear();
    EXPECT_TRUE(kept.isEmpty());
    EXPECT_EQ(kept.graphic(), nullptr);
}

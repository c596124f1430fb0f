// TJPEGImage: properties and change notification, lazy decoding, saving an
// assigned bitmap, progressive display, and hostile or broken files.
#include "formats/jpeg_image.h"
#include "formats/jpeg_options.h"
#include "jpeg_fixtures.h"
#include "support/testutil.h"

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <gtest/gtest.h>
#include <jpeglib.h>
#include <jerror.h>

using namespace jpegtest;

namespace {

QByteArray encode(const QImage& picture, bool grey = false, bool progressive = false, int quality = 85)
{
    return qv::jpeg::compress(picture, {quality, grey, progressive});
}

int errorCode(const std::function<void()>& f)
{
    try {
        f();
    } catch (const EJPEG& e) {
        EXPECT_EQ(e.message(), QString("JPEG error #%1").arg(e.code()));
        return e.code();
    }
    return -1;
}

// The file with its last scan repeated: a cheap way to a file of many scans.
QByteArray withRepeatedLastScan(const QByteArray& progressive, int times)
{
    const qsizetype sos = progressive.lastIndexOf(QByteArray("\xff\xda", 2));
    const qsizetype eoi = progressive.size() - 2;
    const QByteArray scan = progressive.mid(sos, eoi - sos);
    QByteArray out = progressive.left(eoi);
    for (int i = 0; i < times; ++i)
        out += scan;
    return out + progressive.mid(eoi);
}

QByteArray withFrameSize(QByteArray jpeg, int w, int h)
{
    for (const Segment& s : headerSegments(jpeg))
        if (s.marker == 0xc0 || s.marker == 0xc2) {
            const qsizetype p = s.offset + 5; // after marker, length, precision
            jpeg[p] = char(h >> 8);
            jpeg[p + 1] = char(h);
            jpeg[p + 2] = char(w >> 8);
            jpeg[p + 3] = char(w);
        }
    return jpeg;
}

} // namespace

TEST(TJPEGImage, DecodingPropertiesNotifyOnlyOnChangeAndRedecode)
{
    TJPEGImage jpeg;
    int changes = 0;
    jpeg.OnChange = [&](TJPEGImage&) { ++changes; };
    jpeg.LoadFromData(encode(makePicture(203, 101)));
    jpeg.setScale(jsFullSize); // unchanged: no notice
    jpeg.setScale(jsEighth);
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(jpeg.Bitmap().size(), QSize(26, 13)); // 203 / 8 rounded up
    jpeg.setPixelFormat(jf8Bit);
    EXPECT_EQ(jpeg.Bitmap().format(), QImage::Format_Indexed8);
}

TEST(TJPEGImage, LoadKeepsTheBytesAndSavesThemUnchanged)
{
    const QByteArray file = encode(makePicture(64, 48), true);
    QTemporaryDir dir;
    const QString path = dir.filePath("in.jpg");
    qvtest::writeFile(path, file);

    TJPEGImage jpeg;
    jpeg.LoadFromFile(path);
    EXPECT_EQ(jpeg.Data().Data(), file);
    EXPECT_EQ(jpeg.Data().Width(), 64);
    EXPECT_EQ(jpeg.Data().Height(), 48);
    EXPECT_TRUE(jpeg.Data().Grayscale());
    jpeg.setGrayscale(true); // does not recompress loaded data
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    jpeg.SaveToStream(out);
    EXPECT_EQ(out.data(), file);

    // A failed load leaves the picture as it was.
    EXPECT_EQ(errorCode([&] { jpeg.LoadFromData("GIF89a not a JPEG"); }), JERR_NO_SOI);
    EXPECT_EQ(errorCode([&] { jpeg.LoadFromData({}); }), JERR_INPUT_EMPTY);
    EXPECT_EQ(jpeg.Data().Data(), file);
    EXPECT_THROW(jpeg.LoadFromFile(dir.filePath("missing.jpg")), EJPEG);

    QBuffer stream;
    stream.setData("prefix" + file);
    stream.open(QIODevice::ReadOnly);
    stream.seek(6);
    TJPEGImage fromStream;
    fromStream.LoadFromStream(stream);
    EXPECT_EQ(fromStream.Data().Data(), file);
}

TEST(TJPEGImage, AssignedBitmapIsCompressedWithTheCurrentProperties)
{
    const QImage picture = makePicture(80, 60);
    TJPEGImage jpeg;
    jpeg.Assign(picture);
    EXPECT_EQ(jpeg.Bitmap(), picture); // shown as assigned until a property changes
    EXPECT_TRUE(jpeg.Data().Empty());

    QBuffer first;
    first.open(QIODevice::WriteOnly);
    jpeg.SaveToStream(first);
    EXPECT_EQ(componentCount(first.data()), 3);

    // Properties set after the assignment still apply to the next save.
    jpeg.setGrayscale(true);
    jpeg.setCompressionQuality(30);
    QBuffer second;
    second.open(QIODevice::WriteOnly);
    jpeg.SaveToStream(second);
    EXPECT_EQ(componentCount(second.data()), 1);
    EXPECT_EQ(second.data(), encode(picture, true, false, 30));
    EXPECT_TRUE(greyPalette(jpeg.Bitmap())); // and to what is shown

    TJPEGImage empty;
    QBuffer none;
    none.open(QIODevice::WriteOnly);
    EXPECT_EQ(errorCode([&] { empty.SaveToStream(none); }), JERR_EMPTY_IMAGE);
    EXPECT_EQ(errorCode([&] {
                  empty.Assign(QImage());
                  empty.SaveToStream(none);
              }),
              JERR_EMPTY_IMAGE);
}

TEST(TJPEGImage, ProgressiveDisplayShowsEveryScanAndEndsWithTheNormalPicture)
{
    const QByteArray file = encode(makePicture(71, 53), false, true);
    struct Mode {
        JPEGPixelFormat format;
        bool grey;
        JPEGPerformance performance;
    };
    for (const Mode m : {Mode{jf24Bit, false, jpBestQuality}, Mode{jf8Bit, false, jpBestQuality},
                         Mode{jf8Bit, false, jpBestSpeed}, Mode{jf8Bit, true, jpBestQuality}}) {
        SCOPED_TRACE(testing::Message() << m.format << m.grey << m.performance);
        TJPEGImage plain;
        plain.setPixelFormat(m.format);
        plain.setGrayscale(m.grey);
        plain.setPerformance(m.performance);
        plain.LoadFromData(file);

        TJPEGImage shown;
        shown.setPixelFormat(m.format);
        shown.setGrayscale(m.grey);
        shown.setPerformance(m.performance);
        shown.setProgressiveDisplay(true);
        int passes = 0, lastPercent = -1;
        shown.OnProgress = [&](TJPEGImage&, int percent, const QImage* pass) {
            EXPECT_GE(percent, 0);
            EXPECT_LE(percent, 100);
            lastPercent = percent;
            if (pass) {
                ++passes;
                EXPECT_EQ(pass->size(), QSize(71, 53));
                EXPECT_EQ(pass->format() == QImage::Format_Indexed8, pass->colorCount() > 0);
            }
        };
        shown.LoadFromData(file);
        const QImage final = shown.Bitmap();
        EXPECT_GE(passes, 6); // one per scan of the simple progression
        EXPECT_GE(lastPercent, 0);
        EXPECT_TRUE(colours(final) == colours(plain.Bitmap()));
    }
}

TEST(TJPEGImage, ProgressHandlerErrorsPropagateAndTheImageStaysUsable)
{
    TJPEGImage jpeg;
    jpeg.LoadFromData(encode(makePicture(40, 40), false, true));
    jpeg.OnProgress = [](TJPEGImage&, int, const QImage*) { throw std::runtime_error("stop"); };
    EXPECT_THROW(jpeg.Bitmap(), std::runtime_error);
    jpeg.setProgressiveDisplay(true);
    EXPECT_THROW(jpeg.Bitmap(), std::runtime_error);
    jpeg.OnProgress = nullptr;
    EXPECT_EQ(jpeg.Bitmap().size(), QSize(40, 40));
}

TEST(TJPEGImage, KeptPaletteFollowsThePictureItWasMadeFor)
{
    TJPEGImage jpeg;
    jpeg.setPixelFormat(jf8Bit);
    jpeg.LoadFromData(encode(makePicture(50, 40, 1)));
    const QVector<QRgb> palette = jpeg.Bitmap().colorTable();
    EXPECT_EQ(jpeg.Palette(), palette);
    jpeg.setGrayscale(true); // greyscale output has its own palette and leaves the kept one
    EXPECT_TRUE(greyPalette(jpeg.Bitmap()));
    EXPECT_EQ(jpeg.Palette(), palette);
    jpeg.LoadFromData(encode(makePicture(50, 40, 9)));
    EXPECT_TRUE(jpeg.Palette().isEmpty());
    jpeg.setPixelFormat(jf24Bit);
    jpeg.Bitmap();
    EXPECT_TRUE(jpeg.Palette().isEmpty());
}

TEST(TJPEGImage, HostileSizesAndScanCountsAreRefused)
{
    const QByteArray small = encode(makePicture(32, 24));
    TJPEGImage jpeg;
    EXPECT_EQ(errorCode([&] { jpeg.LoadFromData(withFrameSize(small, 65535, 65535)); }), JERR_IMAGE_TOO_BIG);
    EXPECT_EQ(errorCode([&] { jpeg.LoadFromData(withFrameSize(small, 20000, 20000)); }), JERR_IMAGE_TOO_BIG);
    jpeg.limits.maxPixels = 32 * 24 - 1;
    EXPECT_EQ(errorCode([&] { jpeg.LoadFromData(small); }), JERR_IMAGE_TOO_BIG);

    const QByteArray progressive = encode(makePicture(32, 24), false, true);
    TJPEGImage many;
    many.LoadFromData(withRepeatedLastScan(progressive, 20));
    EXPECT_EQ(many.Bitmap().size(), QSize(32, 24));
    many.LoadFromData(withRepeatedLastScan(progressive, 600));
    EXPECT_EQ(errorCode([&] { many.Bitmap(); }), JERR_BAD_PROGRESSION);
    many.setProgressiveDisplay(true);
    EXPECT_EQ(errorCode([&] { many.Bitmap(); }), JERR_BAD_PROGRESSION);
}

// Every cut of a file either fails with EJPEG or gives a whole picture (the
// missing part filled in by the library): never a crash under the sanitizers.
TEST(TJPEGImage, TruncatedFilesDecodeOrFailCleanly)
{
    for (bool progressive : {false, true}) {
        const QByteArray file = encode(makePicture(45, 31), false, progressive);
        int decoded = 0;
        for (qsizetype cut = 0; cut < file.size(); cut += 3) {
            for (int mode = 0; mode < 3; ++mode) {
                TJPEGImage jpeg;
                jpeg.setPixelFormat(mode == 0 ? jf24Bit : jf8Bit);
                jpeg.setGrayscale(mode == 2);
                jpeg.setProgressiveDisplay(mode == 1);
                jpeg.setScale(JPEGScale(cut % 4));
                try {
                    jpeg.LoadFromData(file.left(cut));
                    const QImage image = jpeg.Bitmap();
                    EXPECT_EQ(image.width(), (45 + (1 << (cut % 4)) - 1) >> (cut % 4));
                    ++decoded;
                } catch (const EJPEG&) {
                }
            }
        }
        EXPECT_GT(decoded, 0);
    }
}

// A real photograph (512 x 600, 4:2:0, 61 KB) cut short shows its top with
// grey below, unless what is left cannot code its 7,232 blocks even at the
// least cost; a header claiming far more than its data is refused before
// anything is allocated.
TEST(TJPEGImage, CutPhotographsShowAndPictureBombsAreRefused)
{
    const QString path = "/usr/share/matplotlib/mpl-data/sample_data/grace_hopper.jpg";
    if (!QFile::exists(path))
        GTEST_SKIP() << "scripts/bootstrap installs the photograph (python-matplotlib-data)";
    const QByteArray photo = qvtest::readFile(path);
    TJPEGImage whole;
    whole.LoadFromData(photo);
    const QImage full = whole.Bitmap();
    for (int percent : {10, 50}) {
        TJPEGImage jpeg;
        jpeg.LoadFromData(photo.left(photo.size() * percent / 100));
        const QImage cut = jpeg.Bitmap();
        ASSERT_EQ(cut.size(), full.size()) << percent;
        EXPECT_EQ(cut.copy(0, 0, 512, 8), full.copy(0, 0, 512, 8)) << percent;
        const QRgb bottom = cut.pixel(300, 599);
        EXPECT_LE(std::abs(qRed(bottom) - 128) + std::abs(qGreen(bottom) - 128) + std::abs(qBlue(bottom) - 128), 6)
            << percent;
    }
    // 1 %: 176 bytes after the headers for 7,232 blocks.
    EXPECT_EQ(errorCode([&] { TJPEGImage().LoadFromData(photo.left(photo.size() / 100)); }), JERR_INPUT_EOF);

    const QByteArray bomb = withFrameSize(encode(makePicture(32, 24)), 16384, 16384);
    EXPECT_EQ(errorCode([&] { TJPEGImage().LoadFromData(bomb); }), JERR_INPUT_EOF);
    JpegThumbnailDecoder thumbnails(0);
    EXPECT_EQ(errorCode([&] { thumbnails.decode(bomb); }), JERR_INPUT_EOF);
}

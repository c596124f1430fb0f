// The JPEG adapter against libjpeg-turbo's own djpeg and cjpeg: every option
// of the settings and every scale decodes pixel for pixel as djpeg with the
// equivalent switches, and saved files are byte for byte cjpeg's.
#include "formats/jpeg_image.h"
#include "formats/jpeg_options.h"
#include "jpeg_fixtures.h"

#include <QBuffer>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <map>

using namespace jpegtest;

namespace {

struct Fixture {
    const char* name;
    QImage picture;
    QStringList cjpegArgs;
    bool grey;
};

std::vector<Fixture> fixtures()
{
    return {
        {"colour 4:2:0", makePicture(123, 77, 1), {"-quality", "85"}, false},
        {"progressive 4:4:4", makePicture(101, 67, 2), {"-progressive", "-sample", "1x1", "-quality", "90"}, false},
        {"greyscale", makePicture(77, 45, 3), {"-grayscale", "-quality", "80"}, true},
        {"4:2:2 with restarts", makePicture(35, 203, 4), {"-sample", "2x1", "-restart", "2", "-quality", "70"}, false},
    };
}

// djpeg's switches for the settings, written out from the option meanings.
QStringList djpegArgs(int colori, int quant, int dither, int denom, bool greyFile)
{
    QStringList a{"-scale", QString("1/%1").arg(denom)};
    if (colori == 2)
        a << "-grayscale";
    if (colori == 1 || colori == 2 || greyFile)
        a << "-colors" << "236";
    const bool fast = quant == 0 && dither != 2; // Floyd-Steinberg needs the quality mode
    if (fast)
        a << "-dct" << "fast" << "-onepass" << "-dither" << "ordered";
    else
        a << "-dct" << "int";
    return a;
}

} // namespace

TEST(JpegAgainstDjpeg, EveryOptionAndScaleDecodesAsDjpeg)
{
    if (!haveTool("djpeg") || !haveTool("cjpeg"))
        GTEST_SKIP() << "djpeg/cjpeg not installed";
    for (const Fixture& f : fixtures()) {
        const QByteArray file = cjpeg(f.picture, f.cjpegArgs);
        ASSERT_FALSE(file.isEmpty());
        std::map<QString, QImage> expected; // djpeg output by switches
        for (int colori = 0; colori <= 2; ++colori)
            for (int quant = 0; quant <= 1; ++quant)
                for (int dither = 0; dither <= 2; ++dither)
                    for (int denom : {1, 2, 4, 8}) {
                        SCOPED_TRACE(testing::Message() << f.name << " Colori " << colori << " Quantizzazione "
                                                        << quant << " Dithering " << dither << " scale 1/" << denom);
                        const QStringList args = djpegArgs(colori, quant, dither, denom, f.grey);
                        const QString key = args.join(' ');
                        if (!expected.count(key))
                            expected[key] = QImage::fromData(runTool("djpeg", args, file));
                        const QImage& want = expected[key];
                        ASSERT_FALSE(want.isNull());

                        TJPEGImage jpeg;
                        applyJpegOptions(jpeg, {colori, quant, dither, 90});
                        jpeg.setScale(JPEGScale(denom == 1 ? 0 : denom == 2 ? 1 : denom == 4 ? 2 : 3));
                        jpeg.LoadFromData(file);
                        const QImage got = jpeg.Bitmap();
                        ASSERT_EQ(got.size(), want.size());
                        const bool eightBit = colori != 0 || f.grey;
                        EXPECT_EQ(got.format(), eightBit ? QImage::Format_Indexed8 : QImage::Format_RGB888);
                        if (eightBit) {
                            EXPECT_LE(got.colorCount(), 236);
                        }
                        ASSERT_TRUE(colours(got) == colours(want));
                    }
    }
}

// A second 8-bit decode of the same image maps to the palette of the first, as
// djpeg does when given that palette with -map.
TEST(JpegAgainstDjpeg, KeptPaletteMapsAsDjpegMap)
{
    if (!haveTool("djpeg") || !haveTool("cjpeg"))
        GTEST_SKIP() << "djpeg/cjpeg not installed";
    const QByteArray file = cjpeg(makePicture(90, 61, 5), {"-quality", "88"});
    QTemporaryDir dir;
    for (JPEGPerformance performance : {jpBestQuality, jpBestSpeed}) {
        SCOPED_TRACE(performance == jpBestSpeed ? "fast" : "quality");
        TJPEGImage jpeg;
        jpeg.setPixelFormat(jf8Bit);
        jpeg.setPerformance(performance);
        jpeg.LoadFromData(file);
        const QImage first = jpeg.Bitmap();
        const QVector<QRgb> palette = jpeg.Palette();
        ASSERT_EQ(palette, first.colorTable());
        ASSERT_EQ(QSet<QRgb>(palette.begin(), palette.end()).size(), palette.size()); // djpeg drops repeats

        QImage strip(int(palette.size()), 1, QImage::Format_RGB888);
        for (int i = 0; i < palette.size(); ++i)
            strip.setPixel(i, 0, palette[i]);
        const QString map = dir.filePath("palette.ppm");
        QFile out(map);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(toPpm(strip));
        out.close();

        jpeg.setScale(jsHalf);
        const QImage second = jpeg.Bitmap();
        EXPECT_EQ(second.colorTable(), palette);
        QStringList args{"-scale", "1/2", "-colors", "236", "-map", map};
        if (performance == jpBestSpeed)
            args << "-dct" << "fast" << "-dither" << "ordered";
        const QImage want = QImage::fromData(runTool("djpeg", args, file));
        ASSERT_EQ(second.size(), want.size());
        EXPECT_TRUE(colours(second) == colours(want));
    }
}

TEST(JpegAgainstDjpeg, SavedFilesAreCjpegsWithTheSameSwitches)
{
    if (!haveTool("cjpeg"))
        GTEST_SKIP() << "cjpeg not installed";
    const QImage picture = makePicture(97, 59, 6);
    struct Case {
        int quality;
        bool grey;
        bool progressive;
    };
    for (const Case c : {Case{90, false, false}, Case{5, false, false}, Case{77, true, false},
                         Case{60, false, true}, Case{100, true, true}}) {
        SCOPED_TRACE(testing::Message() << "quality " << c.quality << " grey " << c.grey << " progressive "
                                        << c.progressive);
        TJPEGImage jpeg;
        jpeg.setCompressionQuality(c.quality);
        jpeg.setGrayscale(c.grey);
        jpeg.setProgressiveEncoding(c.progressive);
        jpeg.Assign(picture);
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        jpeg.SaveToStream(buffer);
        QStringList args{"-quality", QString::number(c.quality), "-baseline"};
        if (c.grey)
            args << "-grayscale";
        if (c.progressive)
            args << "-progressive";
        EXPECT_TRUE(buffer.data() == cjpeg(picture, args));
    }
}

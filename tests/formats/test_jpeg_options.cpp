// The JPEG options of the settings on the adapter: the mapping, the thumbnail
// decoder (quarter scale, true size, worker threads) and saving as JPEG.
#include "formats/jpeg_image.h"
#include "formats/jpeg_options.h"
#include "jpeg_fixtures.h"
#include "support/testutil.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <thread>

using namespace jpegtest;

TEST(JpegOptions, SettingsMapOntoTheAdapter)
{
    for (int colori = -1; colori <= 3; ++colori)
        for (int quant = 0; quant <= 1; ++quant)
            for (int dither = 0; dither <= 2; ++dither) {
                SCOPED_TRACE(testing::Message() << colori << quant << dither);
                TJPEGImage jpeg;
                jpeg.setGrayscale(true); // shows what an unknown Colori leaves alone
                jpeg.setPixelFormat(jf8Bit);
                applyJpegOptions(jpeg, {colori, quant, dither, 90});
                const bool known = colori >= 0 && colori <= 2;
                EXPECT_EQ(jpeg.Grayscale(), known ? colori == 2 : true);
                EXPECT_EQ(jpeg.PixelFormat(), known && colori == 0 ? jf24Bit : jf8Bit);
                // Floyd-Steinberg needs the quality mode; "none" shares the fast one.
                EXPECT_EQ(jpeg.Performance(), quant == 0 && dither != 2 ? jpBestSpeed : jpBestQuality);
                EXPECT_EQ(jpeg.Scale(), jsFullSize);
            }
    struct Quality {
        int qualita, expected;
    };
    for (const Quality q : {Quality{90, 90}, Quality{0, 1}, Quality{100, 100}, Quality{256 + 40, 40},
                            Quality{200, 100}}) {
        TJPEGImage jpeg;
        applyJpegOptions(jpeg, {0, 1, 2, q.qualita});
        EXPECT_EQ(jpeg.CompressionQuality(), q.expected) << q.qualita;
    }
}

TEST(JpegThumbnails, QuarterScaleWithTheFilesTrueSize)
{
    JpegThumbnailDecoder decoder;
    const JpegThumbnail big = decoder.decode(qv::jpeg::compress(makePicture(1600, 1200), {}));
    EXPECT_EQ(big.image.size(), QSize(400, 300));
    EXPECT_EQ(big.fileSize, QSize(1600, 1200));
    EXPECT_EQ(big.image.format(), QImage::Format_RGB888);

    // Odd sizes round up when scaled, so four times the thumbnail is not the file.
    const JpegThumbnail odd = decoder.decode(qv::jpeg::compress(makePicture(1601, 1199), {}));
    EXPECT_EQ(odd.image.size(), QSize(401, 300));
    EXPECT_EQ(odd.fileSize, QSize(1601, 1199));

    const QByteArray greyFile = qv::jpeg::compress(makePicture(120, 80), {85, true, false});
    const JpegThumbnail grey = decoder.decode(greyFile); // Colori 0
    EXPECT_EQ(grey.image.format(), QImage::Format_Indexed8);
    EXPECT_TRUE(greyPalette(grey.image));

    const QByteArray colourFile = qv::jpeg::compress(makePicture(120, 80), {});
    decoder.setColours(2);
    EXPECT_TRUE(greyPalette(decoder.decode(colourFile).image));
    decoder.setColours(1);
    const QImage eightBit = decoder.decode(colourFile).image;
    EXPECT_EQ(eightBit.format(), QImage::Format_Indexed8);
    EXPECT_FALSE(greyPalette(eightBit));

    // The thumbnail is what the adapter gives at a quarter in fast mode.
    TJPEGImage jpeg;
    applyJpegOptions(jpeg, {1, 1, 2, 90});
    jpeg.setPerformance(jpBestSpeed);
    jpeg.setScale(jsQuarter);
    jpeg.LoadFromData(colourFile);
    EXPECT_TRUE(colours(jpeg.Bitmap()) == colours(eightBit));

    QTemporaryDir dir;
    qvtest::writeFile(dir.filePath("a.jpg"), colourFile);
    EXPECT_TRUE(colours(decoder.decodeFile(dir.filePath("a.jpg")).image) == colours(eightBit));
    EXPECT_THROW(decoder.decodeFile(dir.filePath("none.jpg")), EJPEG);
    EXPECT_THROW(decoder.decode(QByteArray("not a jpeg")), EJPEG);
    EXPECT_EQ(decoder.decode(colourFile).image.size(), QSize(30, 20)); // usable after a failure
}

TEST(JpegThumbnails, WorkerThreadsDecodeAsOneThreadDoes)
{
    std::vector<QByteArray> files;
    for (int i = 0; i < 8; ++i)
        files.push_back(qv::jpeg::compress(makePicture(160 + i * 9, 120 - i * 5, i), {80, false, i % 3 == 0}));
    for (int colori = 0; colori <= 2; ++colori) {
        JpegThumbnailDecoder single(colori);
        std::vector<std::vector<QRgb>> expected;
        for (const QByteArray& f : files)
            expected.push_back(colours(single.decode(f).image));

        std::vector<std::vector<std::vector<QRgb>>> got(4);
        std::vector<std::thread> workers;
        for (int t = 0; t < 4; ++t)
            workers.emplace_back([&, t] {
                JpegThumbnailDecoder decoder(colori);
                for (int round = 0; round < 3; ++round)
                    for (const QByteArray& f : files)
                        got[t].push_back(colours(decoder.decode(f).image));
            });
        for (std::thread& w : workers)
            w.join();
        for (const auto& results : got)
            for (size_t i = 0; i < results.size(); ++i)
                EXPECT_TRUE(results[i] == expected[i % files.size()]) << "colori " << colori << " file " << i;
    }
}

// Saved files are byte for byte cjpeg's with the switches the settings stand for.
TEST(JpegSave, ColourModeAndQualityReachTheFile)
{
    if (!haveTool("cjpeg"))
        GTEST_SKIP() << "cjpeg not installed";
    QTemporaryDir dir;
    const QString path = dir.filePath("out.jpg");
    const QImage picture = makePicture(64, 40);
    struct Case {
        int colori, qualita;
        QStringList cjpegArgs;
    };
    for (const Case& c : {Case{0, 90, {"-quality", "90"}}, Case{1, 75, {"-quality", "75"}},
                          Case{2, 60, {"-quality", "60", "-grayscale"}}, Case{0, 256 + 20, {"-quality", "20"}},
                          Case{1, 0, {"-quality", "1"}}}) {
        SCOPED_TRACE(testing::Message() << "Colori " << c.colori << " Qualita " << c.qualita);
        saveJpegPicture(picture, path, {c.colori, 0, 0, c.qualita});
        EXPECT_TRUE(qvtest::readFile(path) == cjpeg(picture, c.cjpegArgs + QStringList{"-baseline"}));
    }
}

TEST(JpegSave, FailedSaveKeepsTheOldFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("keep.jpg");
    qvtest::writeFile(path, "old contents");
    EXPECT_THROW(saveJpegPicture(QImage(), path, {}), EJPEG);
    EXPECT_EQ(qvtest::readFile(path), "old contents");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"keep.jpg"}); // no temporary left
    EXPECT_THROW(saveJpegPicture(makePicture(8, 8), dir.filePath("no/such/folder/x.jpg"), {}), EJPEG);
}

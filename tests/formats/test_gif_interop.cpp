// GIF files against independent coders: files written by ImageMagick decode
// here as Qt's reader decodes them, and files written here decode in Qt and
// ImageMagick as the picture they came from.
#include "formats/gif_file.h"
#include "formats/gif_image.h"
#include "formats/fixture_tools.h"

#include <QImageReader>
#include <QTemporaryDir>
#include <random>

using qvtest::runTool;

namespace {

class GifInterop : public ::testing::Test {
protected:
    void SetUp() override
    {
        QV_REQUIRE_TOOL("convert");
        if (!QImageReader::supportedImageFormats().contains("gif"))
            GTEST_SKIP() << "Qt's gif reader is not available";
        ASSERT_TRUE(m_dir.isValid());
    }

    QString path(const QString& name) const { return m_dir.filePath(name); }

    // Writes a PNG source with our own code and has ImageMagick make a GIF of it.
    QString imageMagickGif(const QString& name, const QList<QImage>& frames, const QStringList& options,
                           const QString& prefix = {})
    {
        QStringList args;
        for (int i = 0; i < frames.size(); ++i) {
            const QString src = path(QString("%1-%2.png").arg(name).arg(i));
            EXPECT_TRUE(frames[i].save(src, "PNG"));
            args << src;
        }
        const QString out = path(name + ".gif");
        EXPECT_FALSE(runTool("convert", args + options + QStringList{prefix + out}).isNull());
        return out;
    }

    void expectMatchesReferences(const QString& file);

    QTemporaryDir m_dir;
};

// A picture of w x h with exactly n colours (n <= w * h), in a noisy layout.
QImage picture(int n, int w, int h, unsigned seed)
{
    std::mt19937 rng(seed);
    QImage img(w, h, QImage::Format_RGB32);
    for (int i = 0; i < w * h; ++i) {
        const int c = i < n ? i : int(rng() % unsigned(n));
        img.setPixel(i % w, i / w, qRgb((c * 53) % 256, (c * 101 + 17) % 256, c % 256 ^ 0x5A));
    }
    // Shuffle rows so the first appearance of each colour is not in order.
    for (int y = h - 1; y > 0; --y) {
        const int other = int(rng() % unsigned(y + 1));
        for (int x = 0; x < w; ++x) {
            const QRgb t = img.pixel(x, y);
            img.setPixel(x, y, img.pixel(x, other));
            img.setPixel(x, other, t);
        }
    }
    return img;
}

} // namespace

// Our first image against the first frame of each independent reader at hand:
// Qt's, ImageMagick's and libvips's (libnsgif). Qt 6.4 places the rows of
// interlaced pictures 3 or 4 rows high wrongly, so those skip Qt.
void GifInterop::expectMatchesReferences(const QString& file)
{
    TGifFile gif;
    gif.LoadFromFile(file);
    const QImage ours = gif.GetBitmap();
    const TGifSubImage& first = *gif.images[0];

    if (!(first.interlaced && (first.height == 3 || first.height == 4))) {
        QImageReader reader(file, "gif");
        const QImage qt = reader.read();
        ASSERT_FALSE(qt.isNull()) << reader.errorString().toStdString();
        // Qt's frame sits at the image's place on the logical screen.
        const QImage placed = qt.copy(first.left, first.top, ours.width(), ours.height());
        EXPECT_TRUE(qvtest::samePixels(ours, placed)) << "Qt";
    }
    {
        EXPECT_TRUE(qvtest::samePixels(ours, QImage::fromData(runTool("convert", {file + "[0]", "-depth", "8", "ppm:-"}), "PPM")))
            << "ImageMagick";
    }
    const QString vips = QStandardPaths::findExecutable("vips");
    if (!vips.isEmpty()) {
        const QString png = file + ".vips.png";
        ASSERT_EQ(QProcess::execute(vips, {"copy", file, png}), 0);
        EXPECT_TRUE(qvtest::samePixels(ours, QImage(png, "PNG"))) << "libvips";
    }
}

TEST_F(GifInterop, ImageMagickFilesDecodeAsIndependentReadersDo)
{
    struct Case {
        const char* name;
        int colours, w, h;
        QStringList options;
        QString prefix;
        const char* version;
        bool interlaced;
    };
    const QList<Case> cases{
        {"two-87a", 2, 50, 30, {}, "GIF87:", "87a", false},
        {"two-89a-interlaced", 2, 33, 20, {"-interlace", "GIF"}, "", "89a", true},
        {"sixteen-interlaced", 16, 61, 47, {"-interlace", "GIF"}, "", "89a", true},
        {"sixteen-87a", 16, 64, 64, {}, "GIF87:", "87a", false},
        {"full-table-256", 256, 256, 256, {}, "", "89a", false},
        {"full-table-256-interlaced", 256, 200, 150, {"-interlace", "GIF"}, "GIF87:", "87a", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QImage src = picture(c.colours, c.w, c.h, 11);
        const QString file = imageMagickGif(c.name, {src}, c.options, c.prefix);
        TGifFile gif;
        gif.LoadFromFile(file);
        EXPECT_EQ(gif.version, c.version);
        ASSERT_EQ(gif.images.size(), 1u);
        EXPECT_EQ(gif.images[0]->interlaced, c.interlaced);
        if (QByteArray(c.name).startsWith("full-table")) { // more codes than the table holds
            EXPECT_GT(gif.images[0]->encodedData.count(), 4096u * 12 / 8);
        }
        expectMatchesReferences(file);
        EXPECT_TRUE(qvtest::samePixels(gif.GetBitmap(), src)); // few enough colours to be kept exactly
    }
}

TEST_F(GifInterop, InterlacedPictureThreeRowsHigh)
{
    // ImageMagick 6.9 writes the second row of such a picture wrongly, so
    // gifsicle interlaces the file ImageMagick wrote.
    const QString gifsicle = QStandardPaths::findExecutable("gifsicle");
    if (gifsicle.isEmpty())
        GTEST_SKIP() << "gifsicle is not installed";
    const QImage src = picture(4, 7, 3, 21);
    const QString plain = imageMagickGif("three-rows", {src}, {});
    const QString file = path("three-rows-interlaced.gif");
    ASSERT_EQ(QProcess::execute(gifsicle, {"-i", plain, "-o", file}), 0);
    TGifFile gif;
    gif.LoadFromFile(file);
    ASSERT_TRUE(gif.images[0]->interlaced);
    expectMatchesReferences(file);
    EXPECT_TRUE(qvtest::samePixels(gif.GetBitmap(), src));
}

TEST_F(GifInterop, AnimationsWithLocalTablesShowTheFirstFrame)
{
    const QList<QImage> frames{picture(2, 40, 30, 1), picture(16, 40, 30, 2), picture(200, 40, 30, 3)};
    const QString file = imageMagickGif("anim", frames, {"-delay", "10", "-loop", "0"});
    TGifFile gif;
    gif.LoadFromFile(file);
    ASSERT_EQ(gif.images.size(), 3u);
    EXPECT_TRUE(gif.images[1]->localColorTable || gif.images[2]->localColorTable);
    EXPECT_FALSE(gif.images[0]->extensions.empty()); // the delay and the loop count
    expectMatchesReferences(file);
    EXPECT_TRUE(qvtest::samePixels(gif.GetBitmap(), frames[0]));
    // Every frame's indices through its own table or the global one give its picture.
    for (int k = 0; k < 3; ++k) {
        const TGifSubImage& image = *gif.images[std::size_t(k)];
        const TColorTable& t = image.localColorTable ? image.colorTable : gif.globalColorTable;
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 40; ++x) {
                const int i = image.pixels.get(std::size_t(x + 1), std::size_t(y + 1));
                ASSERT_EQ(qRgb(t.entries[i][0], t.entries[i][1], t.entries[i][2]), frames[k].pixel(x, y))
                    << "frame " << k << " at " << x << "," << y;
            }
    }
}

TEST_F(GifInterop, OurFilesDecodeInIndependentReaders)
{
    for (int colours : {1, 2, 5, 16, 40, 256}) {
        SCOPED_TRACE(colours);
        // 256 colours over 300 x 200 noise refill the code table many times.
        const QImage src = colours == 256 ? picture(256, 300, 200, 5) : picture(colours, 45, 31, 6);
        const QString file = path(QString("ours-%1.gif").arg(colours));
        SaveGifPicture(src, file);
        EXPECT_TRUE(qvtest::samePixels(LoadGifPicture(file), src));
        expectMatchesReferences(file);
    }
}

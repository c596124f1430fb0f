// The box filter that reduces decoded pictures to thumbnails, checked against a
// direct two-dimensional area average written here.
#include "catalogue/thumbnail_scale.h"

#include <QImage>
#include <cstdint>
#include <gtest/gtest.h>

using thumbs::scaleForThumbnail;
using thumbs::shrinkBox;

namespace {

QImage noisy(int w, int h, std::uint32_t seed)
{
    QImage img(w, h, QImage::Format_RGB888);
    for (int y = 0; y < h; ++y) {
        uchar* p = img.scanLine(y);
        for (int x = 0; x < 3 * w; ++x) {
            seed = seed * 1664525u + 1013904223u;
            p[x] = uchar(seed >> 24);
        }
    }
    return img;
}

// Every output pixel from the overlap of each source pixel with it, in whole
// numbers: source pixel (x, y) spans [x*w, (x+1)*w) x [y*h, (y+1)*h) and output
// pixel (X, Y) spans [X*W, (X+1)*W) x [Y*H, (Y+1)*H).
QImage reference(const QImage& src, int w, int h)
{
    const int W = src.width(), H = src.height();
    QImage out(w, h, QImage::Format_RGB32);
    auto overlap = [](std::int64_t a0, std::int64_t a1, std::int64_t b0, std::int64_t b1) {
        return std::max<std::int64_t>(0, std::min(a1, b1) - std::max(a0, b0));
    };
    const std::int64_t total = std::int64_t(W) * H;
    for (int Y = 0; Y < h; ++Y)
        for (int X = 0; X < w; ++X) {
            std::int64_t sum[3] = {0, 0, 0};
            for (int y = int(std::int64_t(Y) * H / h); y < H && std::int64_t(y) * h < std::int64_t(Y + 1) * H; ++y)
                for (int x = int(std::int64_t(X) * W / w); x < W && std::int64_t(x) * w < std::int64_t(X + 1) * W; ++x) {
                    const std::int64_t a = overlap(std::int64_t(x) * w, std::int64_t(x + 1) * w, std::int64_t(X) * W,
                                                   std::int64_t(X + 1) * W)
                        * overlap(std::int64_t(y) * h, std::int64_t(y + 1) * h, std::int64_t(Y) * H,
                                  std::int64_t(Y + 1) * H);
                    const QRgb c = src.pixel(x, y);
                    sum[0] += a * qRed(c);
                    sum[1] += a * qGreen(c);
                    sum[2] += a * qBlue(c);
                }
            out.setPixel(X, Y, qRgb(int((sum[0] + total / 2) / total), int((sum[1] + total / 2) / total),
                                    int((sum[2] + total / 2) / total)));
        }
    return out;
}

} // namespace

TEST(BoxFilter, PartlyCoveredPixelsCountByTheirShare)
{
    // Three pixels into two: (2*0 + 1*90) / 3 = 30 and (1*90 + 2*180) / 3 = 150; the same down a column.
    QImage row(3, 1, QImage::Format_RGB32);
    for (int x = 0; x < 3; ++x)
        row.setPixel(x, 0, qRgb(90 * x, 90 * x, 90 * x));
    EXPECT_EQ(shrinkBox(row, 2, 1), reference(row, 2, 1));
    EXPECT_EQ(reference(row, 2, 1).pixel(1, 0), qRgb(150, 150, 150));
    EXPECT_EQ(shrinkBox(row.transformed(QTransform().rotate(90)), 1, 2).pixel(0, 0), qRgb(30, 30, 30));
}

TEST(BoxFilter, MatchesADirectAreaAverage)
{
    // Quarter-scale photographs, small pictures, odd ratios, one side kept,
    // and an output taller than 257 rows (the wide-weight path).
    const struct {
        int W, H, w, h;
    } cases[] = {{1000, 750, 88, 66}, {97, 61, 88, 54}, {400, 300, 88, 66}, {45, 300, 13, 88},
                 {88, 200, 88, 39},   {7, 5, 3, 2},     {600, 610, 300, 290}, {1, 1, 1, 1}};
    std::uint32_t seed = 1;
    for (const auto& c : cases) {
        const QImage src = noisy(c.W, c.H, seed++);
        const QImage want = reference(src, c.w, c.h);
        const QImage got = shrinkBox(src, c.w, c.h);
        ASSERT_EQ(got.size(), QSize(c.w, c.h));
        ASSERT_EQ(got.format(), QImage::Format_RGB32);
        int differing = 0;
        for (int y = 0; y < c.h; ++y)
            for (int x = 0; x < c.w; ++x)
                differing += got.pixel(x, y) != want.pixel(x, y);
        EXPECT_EQ(differing, 0) << c.W << "x" << c.H << " -> " << c.w << "x" << c.h;
    }
}

TEST(BoxFilter, EveryPixelLayoutGivesTheSamePicture)
{
    const QImage rgb = noisy(123, 77, 42);
    const QImage want = reference(rgb, 40, 25);
    for (QImage::Format f : {QImage::Format_RGB888, QImage::Format_RGB32, QImage::Format_ARGB32, QImage::Format_BGR888,
                             QImage::Format_RGBX8888})
        EXPECT_EQ(shrinkBox(rgb.convertToFormat(f), 40, 25), want) << f;
    // Pictures of a colour table, grey and other layouts: through their colours.
    for (QImage::Format f : {QImage::Format_Indexed8, QImage::Format_Grayscale8, QImage::Format_RGB16}) {
        const QImage other = rgb.convertToFormat(f, Qt::ThresholdDither);
        EXPECT_EQ(shrinkBox(other, 40, 25), reference(other.convertToFormat(QImage::Format_RGB32), 40, 25)) << f;
    }
    // An index past a short colour table reads black instead of past the table.
    QImage shortTable(4, 1, QImage::Format_Indexed8);
    shortTable.setColorTable({qRgb(200, 200, 200)});
    shortTable.fill(0);
    shortTable.scanLine(0)[3] = 9;
    EXPECT_EQ(shrinkBox(shortTable, 1, 1).pixel(0, 0), qRgb(150, 150, 150));
}

TEST(BoxFilter, ShrinksOnlyAndLeavesOtherCasesToQt)
{
    const QImage src = noisy(50, 40, 7);
    EXPECT_TRUE(shrinkBox(src, 51, 40).isNull());
    EXPECT_TRUE(shrinkBox(src, 50, 0).isNull());
    // Same size: the picture itself; enlarged: Qt's smooth scaling.
    EXPECT_EQ(scaleForThumbnail(src, 50, 40).constBits(), src.constBits());
    EXPECT_EQ(scaleForThumbnail(src, 100, 20), src.scaled(100, 20, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    // Transparency needs Qt's premultiplied scaling to blend onto the frame.
    QImage clear(40, 40, QImage::Format_ARGB32);
    clear.fill(Qt::transparent);
    const QImage scaled = scaleForThumbnail(clear, 20, 20);
    EXPECT_TRUE(scaled.hasAlphaChannel());
    EXPECT_EQ(qAlpha(scaled.pixel(10, 10)), 0);
    // Enlarging a picture whose pixels run past its colour table: those read black.
    QImage shortTable(2, 1, QImage::Format_Indexed8);
    shortTable.setColorTable({qRgb(200, 200, 200)});
    shortTable.scanLine(0)[0] = 0;
    shortTable.scanLine(0)[1] = 200;
    const QImage big = scaleForThumbnail(shortTable, 20, 10);
    EXPECT_EQ(big.pixel(0, 5), qRgb(200, 200, 200));
    EXPECT_EQ(big.pixel(19, 5), qRgb(0, 0, 0));
    // A shrunk opaque picture is the box average.
    EXPECT_EQ(scaleForThumbnail(src, 25, 20), shrinkBox(src, 25, 20));
}

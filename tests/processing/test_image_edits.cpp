// The picture edits against the per-pixel arithmetic, on pictures of several depths.
#include "processing/image_edits.h"

#include <QRandomGenerator>
#include <gtest/gtest.h>

namespace {

QImage noise(int w, int h, QImage::Format format = QImage::Format_RGB32)
{
    QImage img(w, h, QImage::Format_RGB32);
    QRandomGenerator rng(w * 131 + h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, rng.generate() | 0xFF000000u);
    return img.convertToFormat(format);
}

QImage solid(QRgb c) { QImage i(3, 2, QImage::Format_RGB32); i.fill(c); return i; }

// The mapping of each geometric edit, pixel by pixel: new (x, y) takes old (sx, sy).
struct Mapping {
    PictureEdit edit;
    bool swap;
    QPoint (*source)(int x, int y, int w, int h); // w, h of the old picture
};

const Mapping kMappings[] = {
    {PictureEdit::FlipH, false, [](int x, int y, int w, int) { return QPoint(w - 1 - x, y); }},
    {PictureEdit::FlipV, false, [](int x, int y, int, int h) { return QPoint(x, h - 1 - y); }},
    // right: old (x, y) goes to (h-1-y, x), so new (X, Y) comes from (Y, h-1-X)
    {PictureEdit::RotateRight, true, [](int x, int y, int, int h) { return QPoint(y, h - 1 - x); }},
    // left: old (x, y) goes to (y, w-1-x), so new (X, Y) comes from (w-1-Y, X)
    {PictureEdit::RotateLeft, true, [](int x, int y, int w, int) { return QPoint(w - 1 - y, x); }},
    {PictureEdit::Rotate180, false, [](int x, int y, int w, int h) { return QPoint(w - 1 - x, h - 1 - y); }},
};

TEST(ImageEdits, GeometricEditsMoveEveryPixelWhereTheMappingSays)
{
    // 70 x 45 crosses the 32-pixel tiles with partial ones at both edges.
    for (const QImage& src : {noise(70, 45), noise(1, 33), noise(33, 1)}) {
        for (const Mapping& m : kMappings) {
            QImage work;
            const QImage out = applyPictureEdit(src, m.edit, work);
            ASSERT_EQ(out.size(), m.swap ? src.size().transposed() : src.size());
            for (int y = 0; y < out.height(); ++y)
                for (int x = 0; x < out.width(); ++x) {
                    const QPoint s = m.source(x, y, src.width(), src.height());
                    ASSERT_EQ(out.pixel(x, y), src.pixel(s)) << int(m.edit) << " at " << x << "," << y;
                }
        }
    }
}

TEST(ImageEdits, SequencesThatUndoThemselvesRestoreThePicture)
{
    const QImage src = noise(37, 21, QImage::Format_RGB888);
    const std::vector<std::vector<PictureEdit>> identities = {
        {PictureEdit::RotateRight, PictureEdit::RotateRight, PictureEdit::RotateRight, PictureEdit::RotateRight},
        {PictureEdit::RotateLeft, PictureEdit::RotateRight},
        {PictureEdit::FlipH, PictureEdit::FlipH},
        {PictureEdit::FlipV, PictureEdit::FlipV},
        {PictureEdit::Rotate180, PictureEdit::Rotate180},
    };
    for (const auto& seq : identities) {
        QImage img = src, work;
        for (PictureEdit e : seq)
            img = applyPictureEdit(img, e, work);
        EXPECT_EQ(img, src);
    }
}

TEST(ImageEdits, ChannelEditsClampAndGreyWeighsTheChannels)
{
    struct Case {
        PictureEdit edit;
        QRgb in, out;
    };
    const Case cases[] = {
        {PictureEdit::Lighten, qRgb(255, 255, 255), qRgb(255, 255, 255)},
        {PictureEdit::Lighten, qRgb(252, 0, 100), qRgb(255, 5, 105)},
        {PictureEdit::Darken, qRgb(0, 0, 0), qRgb(0, 0, 0)},
        {PictureEdit::Darken, qRgb(3, 255, 100), qRgb(0, 250, 95)},
        {PictureEdit::Grey, qRgb(255, 0, 0), qRgb(76, 76, 76)},
        {PictureEdit::Grey, qRgb(0, 255, 0), qRgb(150, 150, 150)},
        {PictureEdit::Grey, qRgb(0, 0, 255), qRgb(28, 28, 28)},
        {PictureEdit::Grey, qRgb(255, 255, 255), qRgb(255, 255, 255)},
    };
    for (const Case& c : cases) {
        QImage work;
        const QImage out = applyPictureEdit(solid(c.in), c.edit, work);
        EXPECT_EQ(out.pixel(2, 1), c.out) << int(c.edit) << " of " << std::hex << c.in;
    }
    QImage img = solid(qRgb(10, 20, 250)), work;
    for (int i = 0; i < 3; ++i)
        img = applyPictureEdit(img, PictureEdit::Lighten, work);
    EXPECT_EQ(img.pixel(0, 0), qRgb(25, 35, 255)); // repeated use accumulates
}

TEST(ImageEdits, IndexedPicturesAreEditedAsTwentyFourBits)
{
    QImage mono(9, 5, QImage::Format_Mono);
    mono.setColorTable({qRgb(0, 0, 0), qRgb(255, 0, 0)});
    mono.fill(0);
    mono.setPixel(8, 0, 1);
    QImage indexed = noise(9, 5).convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither);
    for (const QImage& src : {mono, indexed}) {
        QImage work;
        const QImage rotated = applyPictureEdit(src, PictureEdit::RotateRight, work);
        const QImage grey = applyPictureEdit(src, PictureEdit::Grey, work);
        EXPECT_EQ(rotated.depth(), 24);
        EXPECT_EQ(rotated.pixel(src.height() - 1, 8), src.pixel(8, 0));
        const QRgb c = src.pixel(8, 0);
        const int g = (30 * qRed(c) + 59 * qGreen(c) + 11 * qBlue(c)) / 100;
        EXPECT_EQ(grey.pixel(8, 0), qRgb(g, g, g));
    }
}

} // namespace

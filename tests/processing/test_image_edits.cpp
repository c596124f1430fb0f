// The picture edits against the same edits worked out pixel by pixel, on pictures of
// several sizes and depths.
#include "processing/image_edits.h"

#include "test_pictures.h"

#include <gtest/gtest.h>

TEST(ImageEdits, EveryEditMatchesItsDescriptionAtEveryDepth)
{
    const std::pair<PictureEdit, const char*> edits[] = {
        {PictureEdit::FlipH, "flip-h"},      {PictureEdit::FlipV, "flip-v"},
        {PictureEdit::RotateRight, "rotate-right"}, {PictureEdit::RotateLeft, "rotate-left"},
        {PictureEdit::Rotate180, "rotate-180"}, {PictureEdit::Lighten, "lighten"},
        {PictureEdit::Darken, "darken"},     {PictureEdit::Grey, "grey"},
    };
    QImage mono(9, 5, QImage::Format_Mono);
    mono.setColorTable({qRgb(0, 0, 0), qRgb(255, 0, 0)});
    mono.fill(0);
    mono.setPixel(8, 0, 1);
    // 70 x 45 crosses the 32-pixel tiles with partial ones at both edges; the pattern
    // reaches both ends of every channel, where lighten and darken must stop.
    const QImage pattern = qvtest::patternImage(70, 45);
    const QImage sources[] = {pattern, qvtest::patternImage(1, 33), qvtest::patternImage(33, 1),
                              pattern.convertToFormat(QImage::Format_RGB888), mono,
                              pattern.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither)};
    for (const QImage& src : sources)
        for (const auto& [edit, name] : edits) {
            SCOPED_TRACE(testing::Message() << name << " of " << src.width() << "x" << src.height()
                                            << " format " << src.format());
            QImage work;
            const QImage out = applyPictureEdit(src, edit, work);
            if (src.depth() <= 8)
                EXPECT_EQ(out.depth(), 24); // palettes are edited as 24-bit pictures
            ASSERT_EQ(out.convertToFormat(QImage::Format_RGB32), qvtest::editedByHand(src, name));
        }
}

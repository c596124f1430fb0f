// qvtool edit against the edits' arithmetic computed here pixel by pixel, on
// pictures of several depths and formats, and its usage errors.
#include "support/testutil.h"

#include <QImage>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>

using namespace qvtest;

namespace {

// One edit, written from its description: new pixel (x, y) from the old picture.
QImage oracle(const QImage& in, const QString& op)
{
    const int w = in.width(), h = in.height();
    const bool swap = op == "rotate-right" || op == "rotate-left";
    QImage out(swap ? h : w, swap ? w : h, QImage::Format_RGB32);
    auto clamp = [](int v) { return std::min(255, std::max(0, v)); };
    for (int y = 0; y < out.height(); ++y)
        for (int x = 0; x < out.width(); ++x) {
            QRgb c = 0;
            if (op == "flip-h") c = in.pixel(w - 1 - x, y);
            else if (op == "flip-v") c = in.pixel(x, h - 1 - y);
            else if (op == "rotate-right") c = in.pixel(y, h - 1 - x);
            else if (op == "rotate-left") c = in.pixel(w - 1 - y, x);
            else if (op == "rotate-180") c = in.pixel(w - 1 - x, h - 1 - y);
            else {
                const QRgb s = in.pixel(x, y);
                const int r = qRed(s), g = qGreen(s), b = qBlue(s);
                if (op == "lighten") c = qRgb(clamp(r + 5), clamp(g + 5), clamp(b + 5));
                else if (op == "darken") c = qRgb(clamp(r - 5), clamp(g - 5), clamp(b - 5));
                else {
                    const int grey = (30 * r + 59 * g + 11 * b) / 100;
                    c = qRgb(grey, grey, grey);
                }
            }
            out.setPixel(x, y, c);
        }
    return out;
}

QImage pattern(int w, int h)
{
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, qRgb((x * 37) % 256, (y * 53) % 256, ((x + y) * 11) % 256));
    return img;
}

} // namespace

TEST(QvtoolEdit, EveryEditAndASequenceMatchTheArithmetic)
{
    QTemporaryDir dir;
    const QImage base = pattern(45, 37);
    QImage mono = base.convertToFormat(QImage::Format_Mono, Qt::ThresholdDither);
    // Inputs of 24, 8 and 1 bits, as BMP, GIF (written by the tool) and JPEG.
    base.save(dir.filePath("rgb.bmp"), "BMP");
    base.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither).save(dir.filePath("pal.bmp"), "BMP");
    mono.save(dir.filePath("mono.bmp"), "BMP");
    base.save(dir.filePath("photo.jpg"), "JPEG", 80);
    ASSERT_EQ(runQvtool({"convert", dir.filePath("pal.bmp"), dir.filePath("pal.gif")}).exitCode, 0);

    const QList<QStringList> runs = {{"flip-h"}, {"flip-v"}, {"rotate-right"}, {"rotate-left"}, {"rotate-180"},
                                     {"lighten"}, {"darken"}, {"grey"},
                                     {"rotate-right", "grey", "flip-h", "lighten", "lighten", "darken"}};
    for (const char* input : {"rgb.bmp", "pal.bmp", "mono.bmp", "pal.gif", "photo.jpg"}) {
        // The picture as the program loads it, read back by Qt's decoder.
        const QString loaded = dir.filePath(QString(input) + ".loaded.bmp");
        ASSERT_EQ(runQvtool({"convert", dir.filePath(input), loaded}).exitCode, 0);
        const QImage start(loaded, "BMP");
        for (const QStringList& ops : runs) {
            SCOPED_TRACE(QString("%1: %2").arg(input, ops.join(' ')).toStdString());
            const QString out = dir.filePath("out.bmp");
            const ToolResult r = runQvtool(QStringList{"edit", dir.filePath(input), out} + ops);
            ASSERT_EQ(r.exitCode, 0) << r.err.constData();
            QImage want = start;
            for (const QString& op : ops)
                want = oracle(want, op);
            const QImage got = QImage(out, "BMP").convertToFormat(QImage::Format_RGB32);
            ASSERT_EQ(got, want.convertToFormat(QImage::Format_RGB32));
        }
    }
}

TEST(QvtoolEdit, UsageAndFailures)
{
    QTemporaryDir dir;
    pattern(4, 4).save(dir.filePath("a.bmp"), "BMP");
    EXPECT_EQ(runQvtool({"edit", dir.filePath("a.bmp"), dir.filePath("o.bmp")}).exitCode, 2);
    const ToolResult bad = runQvtool({"edit", dir.filePath("a.bmp"), dir.filePath("o.bmp"), "blur"});
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_TRUE(bad.err.contains("rotate-left"));
    EXPECT_EQ(runQvtool({"edit", dir.filePath("missing.bmp"), dir.filePath("o.bmp"), "grey"}).exitCode, 1);
    EXPECT_EQ(runQvtool({"edit", dir.filePath("a.bmp"), dir.filePath("o.xyz"), "grey"}).exitCode, 1);
    EXPECT_FALSE(QFile::exists(dir.filePath("o.bmp")));
}

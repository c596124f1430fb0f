#include "test_pictures.h"

#include <gtest/gtest.h>
#include <algorithm>

namespace qvtest {

QImage solidImage(int width, int height, QColor colour)
{
    QImage img(width, height, QImage::Format_RGB32);
    img.fill(colour);
    return img;
}

QString saveSolidBmp(const QString& path, QColor colour, int width, int height)
{
    EXPECT_TRUE(solidImage(width, height, colour).save(path, "BMP")) << path.toStdString();
    return path;
}

QImage patternImage(int width, int height)
{
    QImage img(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            img.setPixel(x, y, qRgb((x * 37) % 256, (y * 53 + 250) % 256, ((x + y) * 11 + 3) % 256));
    return img;
}

QImage editedByHand(const QImage& in, const QString& edit)
{
    const int w = in.width(), h = in.height();
    const bool turn = edit == "rotate-right" || edit == "rotate-left";
    QImage out(turn ? h : w, turn ? w : h, QImage::Format_RGB32);
    auto clamp = [](int v) { return std::clamp(v, 0, 255); };
    for (int y = 0; y < out.height(); ++y)
        for (int x = 0; x < out.width(); ++x) {
            QRgb c;
            if (edit == "flip-h")
                c = in.pixel(w - 1 - x, y);
            else if (edit == "flip-v")
                c = in.pixel(x, h - 1 - y);
            else if (edit == "rotate-right") // old (x, y) goes to (h-1-y, x)
                c = in.pixel(y, h - 1 - x);
            else if (edit == "rotate-left") // old (x, y) goes to (y, w-1-x)
                c = in.pixel(w - 1 - y, x);
            else if (edit == "rotate-180")
                c = in.pixel(w - 1 - x, h - 1 - y);
            else {
                const QRgb s = in.pixel(x, y);
                const int r = qRed(s), g = qGreen(s), b = qBlue(s);
                const int step = edit == "lighten" ? 5 : edit == "darken" ? -5 : 0;
                const int grey = (30 * r + 59 * g + 11 * b) / 100;
                c = step ? qRgb(clamp(r + step), clamp(g + step), clamp(b + step)) : qRgb(grey, grey, grey);
            }
            out.setPixel(x, y, c);
        }
    return out;
}

} // namespace qvtest

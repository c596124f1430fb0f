// Pictures the tests build: one colour, a pattern, and the edits worked out pixel by pixel.
#pragma once
#include <QColor>
#include <QImage>
#include <QString>

namespace qvtest {

QImage solidImage(int width, int height, QColor colour);
// Saves a one-colour BMP at path (a failed save fails the test) and returns the path.
QString saveSolidBmp(const QString& path, QColor colour, int width = 24, int height = 16);
// Every pixel different from its neighbours in every channel.
QImage patternImage(int width, int height);

// One picture edit ("flip-h", "flip-v", "rotate-right", "rotate-left", "rotate-180",
// "lighten", "darken", "grey") computed from its description, pixel by pixel: a mirror
// or quarter turn moves each pixel; lighten and darken add or take 5 per channel within
// 0..255; grey is (30 R + 59 G + 11 B) / 100. The result is 32-bit RGB.
QImage editedByHand(const QImage& picture, const QString& edit);

} // namespace qvtest

// The numbers of the picture viewer: zoom levels and their factors, the
// title's zoom part, sizes at a zoom level, the selection frame's rescaling
// and the selected rectangle. Plain functions, checked without a window.
#pragma once
#include <QRect>
#include <QSize>
#include <QString>

namespace viewer {

// n >= 1 shows the picture n times its size, n <= -2 at 1/|n|; 1 is natural size.
double zoomFactor(int level);
// The ratio between two levels' sizes: |c / p| when c > 0, |p / c| otherwise.
double stepRatio(int previous, int current);
// Nearest integer, halves to the even neighbour.
int roundHalfEven(double x);
// [v x factor], as every size and frame measure is rounded.
int scaled(int v, double factor);

int zoomInLevel(int level);  // n + 1
int zoomOutLevel(int level); // 1 goes to -2, others n - 1

// "2:1", "1:1", "1:3".
QString zoomPart(int level);
// The label text with its zoom part replaced: whatever follows the first
// " - " (at most 255 characters) is the path text.
QString pathText(const QString& label);
QString zoomCaption(int level, const QString& label);

// The bitmap made at a zoom factor, and the picture control (one pixel more each way).
QSize zoomedSize(QSize source, double factor);
QSize zoomedControlSize(QSize source, double factor);
// True when a bitmap of that size is within the picture limits.
bool zoomAllowed(QSize bitmap);

// The selection frame after a zoom step of ratio r: top, left, height and
// width each [old x r] + 1.
QRect rescaleFrame(const QRect& frame, double ratio);
// The part of the picture under the frame (right and bottom exclusive);
// empty when they do not meet.
QRect selectionRect(const QRect& picture, const QRect& frame);

// Where a client area of `wanted` goes on a screen of `screen` with window
// decorations of `margins` (outer size minus client size): each side that
// does not fit becomes the screen's, its position 0 (-1 when unchanged).
struct ScreenFit {
    QSize client;
    int left = -1, top = -1;
};
ScreenFit fitOnScreen(QSize wanted, QSize screen, QSize margins);

} // namespace viewer

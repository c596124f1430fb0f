// The numbers of the print layout window: the page drawn on screen, the
// picture on it, the four measures and the rectangle the picture takes on the
// paper. Plain functions, checked without a window or a printer.
#pragma once
#include <QRect>
#include <QSize>
#include <QString>

namespace printing {

// The page is drawn 200 pixels wide in the small view (mode 1) and 400 in the
// large one (mode 2).
inline constexpr int kSmallPageWidth = 200;
int pageViewWidth(int pageViewMode);

// Height / width of the printer's page in device pixels (1 for an empty page).
double pageAspect(QSize printerPage);
// Printer page width / picture width (1 for an empty picture).
double printScale(int printerPageWidth, int pictureWidth);

// The picture box on a page drawn `viewWidth` wide: trunc(view / scale) wide,
// trunc(view x aspect / scale) high (a side below 1 pixel becomes 1).
QSize pictureBox(int viewWidth, double aspect, double scale);

// The box given the picture's proportions: when it is wider than high its
// width stays, otherwise its height stays (the width then rounded to nearest).
QSize keepRatio(QSize box, QSize picture);

// Where an extent is centred in another: (outer - inner) div 2, toward zero,
// so a picture wider than the page gets a negative left.
int centred(int outer, int inner);

// The picture's rectangle when the page view halves (width, height, left,
// top each div 2) or doubles.
QRect halved(const QRect& r);
QRect doubled(const QRect& r);

// The page panel of a view mode: viewWidth wide, trunc(viewWidth x aspect) high.
QSize pageSize(int viewWidth, double aspect);
// Left or top of the page centred in the scroll box; never negative, so a page
// larger than the box can be scrolled to its whole.
int pageOffset(int box, int page);

// The paper in the units of the texts: Italian centimetres, English inches.
struct Paper {
    int widthPixels = 0, heightPixels = 0; // the printer's page, device pixels
    int dpiX = 0, dpiY = 0;                // device pixels per inch
};

// The four measures of the handles' frame on a page of `page` pixels: left,
// top, width and height on the paper, each as its letter followed by ": %.2g"
// (Italian X, Y, L, A in centimetres; English X, Y, W, H in inches).
struct Measures {
    QString left, top, width, height;
};
Measures measures(const QRect& frame, QSize page, const Paper& paper, bool italian);

// The frame mapped from the page view to the paper, in printer pixels: each of
// left, top, width and height times printer width / page view width, truncated.
QRect paperRect(const QRect& frame, int printerPageWidth, int pageViewMode);

} // namespace printing

// The print layout's arithmetic.
#include "views/print_geometry.h"

#include "views/viewer_geometry.h"

#include <algorithm>
#include <cmath>

namespace printing {

namespace {

// Truncation toward zero, kept inside int range (a tiny scale must not overflow).
int trunc(double v)
{
    if (!std::isfinite(v))
        return 0;
    return static_cast<int>(std::clamp(v, -1e9, 1e9));
}

} // namespace

int pageViewWidth(int pageViewMode) { return kSmallPageWidth * std::max(1, pageViewMode); }

double pageAspect(QSize printerPage)
{
    if (printerPage.width() <= 0 || printerPage.height() <= 0)
        return 1.0;
    return double(printerPage.height()) / printerPage.width();
}

double printScale(int printerPageWidth, int pictureWidth)
{
    if (printerPageWidth <= 0 || pictureWidth <= 0)
        return 1.0;
    return double(printerPageWidth) / pictureWidth;
}

QSize pictureBox(int viewWidth, double aspect, double scale)
{
    return {std::max(1, trunc(viewWidth / scale)), std::max(1, trunc(viewWidth * aspect / scale))};
}

QSize keepRatio(QSize box, QSize picture)
{
    if (picture.width() <= 0 || picture.height() <= 0)
        return box;
    const double r = double(picture.width()) / picture.height();
    int w = box.width(), h = box.height();
    if (w > h)
        h = trunc(w / r);
    else
        w = viewer::roundHalfEven(std::clamp(h * r, -1e9, 1e9));
    return {w, h};
}

int centred(int outer, int inner) { return (outer - inner) / 2; }

QRect halved(const QRect& r) { return {r.left() / 2, r.top() / 2, r.width() / 2, r.height() / 2}; }
QRect doubled(const QRect& r) { return {r.left() * 2, r.top() * 2, r.width() * 2, r.height() * 2}; }

QSize pageSize(int viewWidth, double aspect) { return {viewWidth, trunc(viewWidth * aspect)}; }

int pageOffset(int box, int page) { return std::max(0, centred(box, page)); }

Measures measures(const QRect& frame, QSize page, const Paper& paper, bool italian)
{
    const double factor = italian ? 2.54 : 1.0;
    const double paperW = paper.dpiX > 0 ? double(paper.widthPixels) / paper.dpiX * factor : 0.0;
    const double paperH = paper.dpiY > 0 ? double(paper.heightPixels) / paper.dpiY * factor : 0.0;
    const double pageW = std::max(1, page.width()), pageH = std::max(1, page.height());
    auto text = [](char letter, double v) { return QString::asprintf("%c: %.2g", letter, v); };
    return {text('X', frame.left() / pageW * paperW), text('Y', frame.top() / pageH * paperH),
            text(italian ? 'L' : 'W', frame.width() / pageW * paperW),
            text(italian ? 'A' : 'H', frame.height() / pageH * paperH)};
}

QRect paperRect(const QRect& frame, int printerPageWidth, int pageViewMode)
{
    const double k = double(printerPageWidth) / pageViewWidth(pageViewMode);
    return {trunc(frame.left() * k), trunc(frame.top() * k), trunc(frame.width() * k), trunc(frame.height() * k)};
}

} // namespace printing

// Fit rectangles of the slideshow and the compare window, in exact integer
// arithmetic: a ratio comparison is a cross product, a truncated product a
// division. A side that truncates to nothing keeps one pixel, so a very thin
// picture still shows.
#include "views/fit_geometry.h"

#include <algorithm>
#include <cstdint>

namespace fit {

SlideRect slideRect(QSize picture, QSize client, QSize screen)
{
    const std::int64_t pw = picture.width(), ph = picture.height();
    const std::int64_t cw = client.width(), ch = client.height();
    if (pw <= 0 || ph <= 0)
        return {};
    if (screen.height() > ph && screen.width() > pw)
        return {QRect(int((cw - pw) / 2), int((ch - ph) / 2), int(pw), int(ph)), false};
    // cw / pw <= ch / ph: the width is the tighter side.
    if (cw * ph <= ch * pw) {
        const std::int64_t height = std::max<std::int64_t>(1, cw * ph / pw);
        return {QRect(1, int((ch - height) / 2), int(cw), int(height)), true};
    }
    const std::int64_t width = std::max<std::int64_t>(1, ch * pw / ph);
    return {QRect(int((cw - width) / 2), 1, int(width), int(ch)), true};
}

QRect paneRect(QSize picture, QSize pane)
{
    const std::int64_t pw = picture.width(), ph = picture.height();
    const std::int64_t w = pane.width(), h = pane.height();
    if (pw <= 0 || ph <= 0 || w <= 0 || h <= 0)
        return {};
    // w / pw > h / ph: the height is the tighter side.
    if (w * ph > h * pw) {
        const std::int64_t drawn = std::max<std::int64_t>(1, pw * h / ph);
        const std::int64_t left = (w - drawn) / 2;
        return QRect(QPoint(int(left), 1), QPoint(int(left + drawn) - 1, int(h) - 1));
    }
    const std::int64_t drawn = std::max<std::int64_t>(1, ph * w / pw);
    const std::int64_t top = (h - drawn) / 2;
    return QRect(QPoint(1, int(top)), QPoint(int(w) - 1, int(top + drawn) - 1));
}

} // namespace fit

// The viewer's zoom and frame arithmetic.
#include "views/viewer_geometry.h"

#include "platform/limits.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace viewer {

double zoomFactor(int level) { return level > 0 ? double(level) : std::fabs(1.0 / level); }

double stepRatio(int previous, int current)
{
    return current > 0 ? std::fabs(double(current) / previous) : std::fabs(double(previous) / current);
}

int roundHalfEven(double x)
{
    const double r = std::nearbyint(x); // the default rounding mode sends halves to even
    return r > 2147483647.0 ? 2147483647 : r < -2147483648.0 ? -2147483647 - 1 : int(r);
}

int scaled(int v, double factor) { return roundHalfEven(v * factor); }

int zoomInLevel(int level) { return level + 1; }
int zoomOutLevel(int level) { return level == 1 ? -2 : level - 1; }

QString zoomPart(int level)
{
    return level >= 1 ? QStringLiteral("%1:1").arg(level) : QStringLiteral("1:%1").arg(std::abs(level));
}

QString pathText(const QString& label)
{
    const qsizetype p = label.indexOf(QLatin1String(" - "));
    return p < 0 ? label : label.mid(p + 3, 255);
}

QString zoomCaption(int level, const QString& label)
{
    return zoomPart(level) + QLatin1String(" - ") + pathText(label);
}

QSize zoomedSize(QSize source, double factor)
{
    return {scaled(source.width(), factor), scaled(source.height(), factor)};
}

QSize zoomedControlSize(QSize source, double factor) { return zoomedSize(source, factor) + QSize(1, 1); }

bool zoomAllowed(QSize bitmap) { return qv::pictureSizeAllowed(bitmap.width(), bitmap.height()); }

QRect rescaleFrame(const QRect& frame, double ratio)
{
    return {scaled(frame.left(), ratio) + 1, scaled(frame.top(), ratio) + 1, scaled(frame.width(), ratio) + 1,
            scaled(frame.height(), ratio) + 1};
}

QRect selectionRect(const QRect& picture, const QRect& frame)
{
    const int left = std::max(picture.left(), frame.left());
    const int top = std::max(picture.top(), frame.top());
    const int right = std::min(picture.left() + picture.width(), frame.left() + frame.width());
    const int bottom = std::min(picture.top() + picture.height(), frame.top() + frame.height());
    if (right <= left || bottom <= top)
        return {};
    return {left, top, right - left, bottom - top};
}

ScreenFit fitOnScreen(QSize wanted, QSize screen, QSize margins)
{
    ScreenFit fit{wanted};
    if (wanted.height() + margins.height() > screen.height()) {
        fit.client.setHeight(std::max(1, screen.height() - margins.height()));
        fit.top = 0;
    }
    if (wanted.width() + margins.width() > screen.width()) {
        fit.client.setWidth(std::max(1, screen.width() - margins.width()));
        fit.left = 0;
    }
    return fit;
}

} // namespace viewer

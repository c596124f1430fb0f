// GDI drawing state and the canvas that draws metafile records with QPainter.
#include "platform/metafile_gdi.h"
#include "platform/limits.h"

#include <QFontMetricsF>
#include <QHash>
#include <QtMath>
#include <algorithm>
#include <cmath>
#include <cstring>

namespace qv::metafile {

namespace {

enum : quint32 { PS_SOLID = 0, PS_DASH, PS_DOT, PS_DASHDOT, PS_DASHDOTDOT, PS_NULL, PS_INSIDEFRAME, PS_USERSTYLE,
                 PS_ALTERNATE };
enum : quint32 { PS_ENDCAP_SQUARE = 0x100, PS_ENDCAP_FLAT = 0x200, PS_JOIN_BEVEL = 0x1000, PS_JOIN_MITER = 0x2000 };
enum : quint32 { BS_SOLID = 0, BS_NULL = 1, BS_HATCHED = 2, BS_PATTERN = 3, BS_DIBPATTERN = 5, BS_DIBPATTERNPT = 6 };
enum : int { PT_CLOSEFIGURE = 1, PT_LINETO = 2, PT_BEZIERTO = 4, PT_MOVETO = 6 };

// Drawing stops after this many pixels have been painted beyond the picture's
// own area a thousand times over: a hostile file cannot keep us busy for long.
constexpr double kBudgetFloor = double(1 << 28);
constexpr double kBudgetCeiling = 8.0 * (1ULL << 30);

// Every drawing or clipping step costs at least this many pixels of the budget.
constexpr double kStepCost = 256;
// Shapes reaching further than this from the picture are damage, not drawing:
// Qt's rasteriser is not made for coordinates that large.
constexpr double kFarAway = 1e8;

bool finite(const QRectF& r)
{
    return std::isfinite(r.x()) && std::isfinite(r.y()) && std::isfinite(r.width()) && std::isfinite(r.height())
        && std::abs(r.x()) < kFarAway && std::abs(r.y()) < kFarAway && std::abs(r.right()) < kFarAway
        && std::abs(r.bottom()) < kFarAway;
}

// Windows-1252 for the bytes 0x80..0x9F; the rest is Latin-1.
const char16_t kCp1252High[32] = {0x20AC, 0x81, 0x201A, 0x192, 0x201E, 0x2026, 0x2020, 0x2021, 0x2C6, 0x2030, 0x160,
                                  0x2039, 0x152, 0x8D, 0x17D, 0x8F, 0x90, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
                                  0x2013, 0x2014, 0x2DC, 0x2122, 0x161, 0x203A, 0x153, 0x9D, 0x17E, 0x178};

} // namespace

float RecordBytes::f32(std::size_t o) const
{
    const quint32 bits = u32(o);
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
}

QString DecodeAnsiText(QByteArrayView bytes)
{
    QString s;
    s.reserve(bytes.size());
    for (char c : bytes) {
        const uchar b = uchar(c);
        s.append(b >= 0x80 && b < 0xA0 ? QChar(kCp1252High[b - 0x80]) : QChar(b));
    }
    return s;
}

// ---- mapping ----

QTransform Mapping::pageToDevice() const
{
    double sx = 1, sy = 1;
    switch (mode) {
    case MM_LOMETRIC: sx = 0.1; break;
    case MM_HIMETRIC: sx = 0.01; break;
    case MM_LOENGLISH: sx = 0.254; break;
    case MM_HIENGLISH: sx = 0.0254; break;
    case MM_TWIPS: sx = 25.4 / 1440; break;
    case MM_ISOTROPIC:
    case MM_ANISOTROPIC:
        sx = viewportExt.width() / windowExt.width();
        sy = viewportExt.height() / windowExt.height();
        if (mode == MM_ISOTROPIC) {
            const double m = std::min(std::abs(sx), std::abs(sy));
            sx = std::copysign(m, sx);
            sy = std::copysign(m, sy);
        }
        break;
    default: break; // MM_TEXT
    }
    if (mode >= MM_LOMETRIC && mode <= MM_TWIPS) {
        // Fixed units: y grows upwards.
        sy = -sx * pixelsPerMmY;
        sx *= pixelsPerMmX;
    }
    return QTransform(sx, 0, 0, sy, viewportOrg.x() - windowOrg.x() * sx, viewportOrg.y() - windowOrg.y() * sy);
}

void Mapping::setWindowExt(double cx, double cy)
{
    if (cx != 0 && cy != 0 && std::isfinite(cx) && std::isfinite(cy))
        windowExt = QSizeF(cx, cy);
}

void Mapping::setViewportExt(double cx, double cy)
{
    if (cx != 0 && cy != 0 && std::isfinite(cx) && std::isfinite(cy))
        viewportExt = QSizeF(cx, cy);
}

void Mapping::scaleWindowExt(double xNum, double xDenom, double yNum, double yDenom)
{
    if (xDenom != 0 && yDenom != 0)
        setWindowExt(windowExt.width() * xNum / xDenom, windowExt.height() * yNum / yDenom);
}

void Mapping::scaleViewportExt(double xNum, double xDenom, double yNum, double yDenom)
{
    if (xDenom != 0 && yDenom != 0)
        setViewportExt(viewportExt.width() * xNum / xDenom, viewportExt.height() * yNum / yDenom);
}

// ---- objects ----

long ObjectTable::addToFreeSlot(GdiObject object)
{
    // Slots below m_firstFree are all taken, so a full table costs nothing to ask.
    for (std::size_t i = m_firstFree; i < m_slots.size(); ++i)
        if (!m_slots[i]) {
            m_slots[i] = std::make_unique<GdiObject>(std::move(object));
            m_firstFree = i + 1;
            return long(i);
        }
    m_firstFree = m_slots.size();
    return -1;
}

bool ObjectTable::put(std::size_t index, GdiObject object)
{
    if (index >= m_slots.size())
        return false;
    m_slots[index] = std::make_unique<GdiObject>(std::move(object));
    return true;
}

const GdiObject* ObjectTable::get(std::size_t index) const
{
    return index < m_slots.size() ? m_slots[index].get() : nullptr;
}

bool ObjectTable::remove(std::size_t index)
{
    if (index >= m_slots.size() || !m_slots[index])
        return false;
    m_slots[index].reset();
    m_firstFree = std::min(m_firstFree, index);
    return true;
}

std::optional<GdiObject> StockObject(quint32 index)
{
    GdiObject o;
    const auto brush = [](QColor c, quint32 style = BS_SOLID) { return GdiObject::makeBrush(style, c); };
    const auto pen = [](QColor c, quint32 style = PS_SOLID) { return GdiObject::makePen(style, 0, c); };
    const auto font = [&](const char* face, quint8 pitch) {
        o.kind = GdiObject::Font;
        o.font.face = QString::fromLatin1(face);
        o.font.pitchAndFamily = pitch;
        return o;
    };
    switch (index) {
    case 0: return brush(Qt::white);
    case 1: return brush(QColor(0xC0, 0xC0, 0xC0));
    case 2: return brush(QColor(0x80, 0x80, 0x80));
    case 3: return brush(QColor(0x40, 0x40, 0x40));
    case 4: return brush(Qt::black);
    case 5: return brush(Qt::black, BS_NULL);
    case 6: return pen(Qt::white);
    case 7: return pen(Qt::black);
    case 8: return pen(Qt::black, PS_NULL);
    case 10: case 11: case 16: return font("Courier New", 0x31);
    case 12: case 13: case 14: case 17: return font("", 0x22);
    case 18: return brush(Qt::white);
    case 19: return pen(Qt::black);
    default: return std::nullopt; // palettes and unknown stock numbers
    }
}

QPainterPath Clip::asPath() const
{
    if (!isRect)
        return path;
    QPainterPath p;
    p.addRect(rect);
    return p;
}

// ---- canvas ----

GdiCanvas::GdiCanvas(QPainter& painter, const QTransform& deviceToPicture, const QRectF& target,
                     const DibDecoder& decode)
    : decodeDib(decode), m_painter(painter), m_deviceToPicture(deviceToPicture), m_target(target)
{
    m_base = painter.transform();
    const double area = std::max(1.0, target.width() * target.height());
    m_budget = std::min(area * 1024, kBudgetCeiling) + kBudgetFloor;
    dc.pen = StockObject(7)->pen;
    dc.brush = StockObject(0)->brush;
    dc.font = StockObject(13)->font;
}

void GdiCanvas::saveDc()
{
    if (m_saved.size() < kMaxSavedStates)
        m_saved.push_back(dc);
}

void GdiCanvas::restoreDc(int which)
{
    // which < 0 counts back from the last save; which > 0 is a save's number.
    long index = which < 0 ? long(m_saved.size()) + which : long(which) - 1;
    if (which == 0 || index < 0 || index >= long(m_saved.size()))
        return;
    dc = m_saved[std::size_t(index)];
    m_saved.resize(std::size_t(index));
    m_clipApplied = false;
}

double GdiCanvas::pictureScale() const
{
    const QTransform t = logicalToPicture();
    const double s = std::sqrt(std::abs(t.m11() * t.m22() - t.m12() * t.m21()));
    return std::isfinite(s) ? s : 0;
}

bool GdiCanvas::flipsY() const
{
    const QTransform page = dc.map.pageToDevice() * m_deviceToPicture;
    return page.m22() < 0;
}

bool GdiCanvas::spend(const QRectF& area, double steps)
{
    if (exhausted() || !finite(area))
        return false;
    const QRectF seen = area.intersected(m_target);
    m_budget -= kStepCost * steps + std::max(0.0, seen.width()) * std::max(0.0, seen.height());
    return !exhausted();
}

void GdiCanvas::applyClip()
{
    m_painter.setTransform(m_base);
    if (m_clipApplied)
        return;
    if (!dc.clip.on)
        m_painter.setClipRect(m_target);
    else if (dc.clip.isRect)
        m_painter.setClipRect(dc.clip.rect.intersected(m_target));
    else
        m_painter.setClipPath(dc.clip.path.intersected(Clip{true, true, m_target, {}}.asPath()));
    m_clipApplied = true;
}

void GdiCanvas::applyRop2()
{
    static const QPainter::CompositionMode modes[17] = {
        QPainter::CompositionMode_SourceOver, QPainter::CompositionMode_SourceOver, // R2_BLACK drawn black
        QPainter::RasterOp_NotSourceAndNotDestination, QPainter::RasterOp_NotSourceAndDestination,
        QPainter::RasterOp_NotSource, QPainter::RasterOp_SourceAndNotDestination, QPainter::RasterOp_NotDestination,
        QPainter::RasterOp_SourceXorDestination, QPainter::RasterOp_NotSourceOrNotDestination,
        QPainter::RasterOp_SourceAndDestination, QPainter::RasterOp_NotSourceXorDestination,
        QPainter::CompositionMode_Destination, QPainter::RasterOp_NotSourceOrDestination,
        QPainter::CompositionMode_SourceOver, QPainter::RasterOp_SourceOrNotDestination,
        QPainter::RasterOp_SourceOrDestination, QPainter::CompositionMode_SourceOver};
    const int r = dc.rop2 >= 1 && dc.rop2 <= 16 ? dc.rop2 : R2_COPYPEN;
    m_painter.setCompositionMode(modes[r]);
}

QPen GdiCanvas::picturePen(const LogPen& p) const
{
    const quint32 style = p.style & 0xF;
    if (style == PS_NULL)
        return Qt::NoPen;
    QColor colour = dc.rop2 == R2_BLACK ? QColor(Qt::black) : dc.rop2 == R2_WHITE ? QColor(Qt::white) : p.colour;
    const double width = p.width * pictureScale();
    const bool thin = width < 1.5;
    // Thin pens are Qt's cosmetic one-pixel pens, which its rasteriser strokes fastest.
    QPen pen(colour, thin || !std::isfinite(width) ? 0.0 : std::min(width, 1e6));
    const quint32 cap = p.style & 0xF00, join = p.style & 0xF000;
    pen.setCapStyle(cap == PS_ENDCAP_SQUARE ? Qt::SquareCap : cap == PS_ENDCAP_FLAT ? Qt::FlatCap : Qt::RoundCap);
    pen.setJoinStyle(join == PS_JOIN_BEVEL ? Qt::BevelJoin : join == PS_JOIN_MITER ? Qt::MiterJoin : Qt::RoundJoin);
    pen.setMiterLimit(dc.miterLimit);
    QList<qreal> pattern;
    // Cosmetic pens keep GDI's dash lengths in pixels; wide ones scale with the width.
    switch (style) {
    case PS_DASH: pattern = thin ? QList<qreal>{18, 6} : QList<qreal>{3, 1}; break;
    case PS_DOT: pattern = thin ? QList<qreal>{3, 3} : QList<qreal>{1, 1}; break;
    case PS_DASHDOT: pattern = thin ? QList<qreal>{9, 6, 3, 6} : QList<qreal>{3, 1, 1, 1}; break;
    case PS_DASHDOTDOT: pattern = thin ? QList<qreal>{9, 3, 3, 3, 3, 3} : QList<qreal>{3, 1, 1, 1, 1, 1}; break;
    case PS_ALTERNATE: pattern = {1, 1}; break;
    case PS_USERSTYLE:
        for (double d : p.dashes)
            pattern.append(std::max(0.01, d * pictureScale() / std::max(1.0, pen.widthF())));
        if (pattern.size() % 2)
            pattern.append(pattern);
        break;
    default: break;
    }
    if (!pattern.isEmpty()) {
        pen.setCapStyle(Qt::FlatCap);
        pen.setDashPattern(pattern);
    }
    return pen;
}

QBrush GdiCanvas::pictureBrush(const LogBrush& b) const
{
    QColor colour = dc.rop2 == R2_BLACK ? QColor(Qt::black) : dc.rop2 == R2_WHITE ? QColor(Qt::white) : b.colour;
    switch (b.style) {
    case BS_SOLID: return QBrush(colour);
    case BS_HATCHED: {
        static const Qt::BrushStyle hatches[6] = {Qt::HorPattern, Qt::VerPattern, Qt::FDiagPattern,
                                                  Qt::BDiagPattern, Qt::CrossPattern, Qt::DiagCrossPattern};
        return QBrush(colour, b.hatch < 6 ? hatches[b.hatch] : Qt::SolidPattern);
    }
    case BS_PATTERN:
    case BS_DIBPATTERN:
    case BS_DIBPATTERNPT:
        if (!b.pattern.isNull())
            return QBrush(b.pattern);
        return QBrush(colour);
    default: return Qt::NoBrush;
    }
}

void GdiCanvas::draw(const QPainterPath& logical, bool fill, bool stroke, bool connect)
{
    const QTransform t = logicalToPicture();
    QPainterPath picture = t.map(logical);
    if (m_pathOpen) {
        if (connect && m_path.elementCount() > 0)
            m_path.connectPath(picture);
        else
            m_path.addPath(picture);
        return;
    }
    picture.setFillRule(dc.fillMode == WINDING ? Qt::WindingFill : Qt::OddEvenFill);
    drawPicturePath(picture, fill, stroke);
}

void GdiCanvas::drawPicturePath(const QPainterPath& picture, bool fill, bool stroke, const QBrush* brushOverride)
{
    if (dc.rop2 == R2_NOP)
        return;
    const QPen pen = stroke ? picturePen(dc.pen) : QPen(Qt::NoPen);
    const QBrush brush = brushOverride ? *brushOverride : fill ? pictureBrush(dc.brush) : QBrush(Qt::NoBrush);
    if (pen.style() == Qt::NoPen && brush.style() == Qt::NoBrush)
        return;
    const double grow = pen.style() == Qt::NoPen ? 0 : std::max(1.0, pen.widthF()) / 2 + 1;
    if (!spend(picture.controlPointRect().adjusted(-grow, -grow, grow, grow)))
        return;
    applyClip();
    applyRop2();
    // Hatches in opaque mode lay the background colour under their lines;
    // so do the gaps of styled lines.
    if (brush.style() >= Qt::HorPattern && brush.style() <= Qt::DiagCrossPattern && dc.bkMode == OPAQUE) {
        m_painter.setPen(Qt::NoPen);
        m_painter.setBrush(dc.bkColour);
        m_painter.drawPath(picture);
    }
    if (pen.style() == Qt::CustomDashLine && dc.bkMode == OPAQUE) {
        QPen gaps = pen;
        gaps.setStyle(Qt::SolidLine);
        gaps.setColor(dc.bkColour);
        m_painter.setPen(gaps);
        m_painter.setBrush(Qt::NoBrush);
        m_painter.drawPath(picture);
    }
    m_painter.setPen(pen);
    m_painter.setBrush(brush);
    m_painter.drawPath(picture);
    m_painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

void GdiCanvas::moveTo(QPointF p)
{
    dc.current = p;
    if (m_pathOpen)
        m_path.moveTo(logicalToPicture().map(p));
}

void GdiCanvas::lineTo(QPointF p)
{
    QPainterPath path(dc.current);
    path.lineTo(p);
    dc.current = p;
    draw(path, false, true, true);
}

void GdiCanvas::polyline(const QPolygonF& points, bool fromCurrent)
{
    if (points.isEmpty())
        return;
    QPainterPath path(fromCurrent ? dc.current : points.first());
    for (qsizetype i = fromCurrent ? 0 : 1; i < points.size(); ++i)
        path.lineTo(points[i]);
    if (fromCurrent)
        dc.current = points.last();
    draw(path, false, true, fromCurrent);
}

void GdiCanvas::polyPolyline(const std::vector<QPolygonF>& lines)
{
    QPainterPath path;
    for (const QPolygonF& line : lines) {
        if (line.isEmpty())
            continue;
        path.moveTo(line.first());
        for (qsizetype i = 1; i < line.size(); ++i)
            path.lineTo(line[i]);
    }
    draw(path, false, true);
}

void GdiCanvas::polygons(const std::vector<QPolygonF>& polygons)
{
    QPainterPath path;
    for (const QPolygonF& polygon : polygons) {
        if (polygon.size() < 2)
            continue;
        path.moveTo(polygon.first());
        for (qsizetype i = 1; i < polygon.size(); ++i)
            path.lineTo(polygon[i]);
        path.closeSubpath();
    }
    draw(path, true, true);
}

void GdiCanvas::beziers(const QPolygonF& points, bool fromCurrent)
{
    qsizetype i = 0;
    QPainterPath path;
    if (fromCurrent) {
        path.moveTo(dc.current);
    } else {
        if (points.isEmpty())
            return;
        path.moveTo(points[0]);
        i = 1;
    }
    for (; i + 2 < points.size(); i += 3)
        path.cubicTo(points[i], points[i + 1], points[i + 2]);
    if (fromCurrent)
        dc.current = path.currentPosition();
    draw(path, false, true, fromCurrent);
}

void GdiCanvas::polyDraw(const QPolygonF& points, const QByteArrayView& types)
{
    QPainterPath path(dc.current);
    for (qsizetype i = 0; i < points.size() && i < types.size(); ++i) {
        const int type = uchar(types[i]);
        switch (type & ~PT_CLOSEFIGURE) {
        case PT_MOVETO: path.moveTo(points[i]); break;
        case PT_LINETO: path.lineTo(points[i]); break;
        case PT_BEZIERTO:
            if (i + 2 < points.size() && i + 2 < types.size()) {
                path.cubicTo(points[i], points[i + 1], points[i + 2]);
                i += 2;
            }
            break;
        default: break;
        }
        if (type & PT_CLOSEFIGURE)
            path.closeSubpath();
    }
    dc.current = path.currentPosition();
    draw(path, false, true, true);
}

namespace {
QRectF normalised(QRectF r)
{
    return r.normalized();
}
} // namespace

void GdiCanvas::rectangle(QRectF r)
{
    r = normalised(r);
    if ((dc.pen.style & 0xF) == PS_INSIDEFRAME)
        r.adjust(dc.pen.width / 2, dc.pen.width / 2, -dc.pen.width / 2, -dc.pen.width / 2);
    QPainterPath path;
    path.addRect(r);
    draw(path, true, true);
}

void GdiCanvas::roundRect(QRectF r, QSizeF corner)
{
    QPainterPath path;
    path.addRoundedRect(normalised(r), std::abs(corner.width()) / 2, std::abs(corner.height()) / 2);
    draw(path, true, true);
}

void GdiCanvas::ellipse(QRectF r)
{
    r = normalised(r);
    if ((dc.pen.style & 0xF) == PS_INSIDEFRAME)
        r.adjust(dc.pen.width / 2, dc.pen.width / 2, -dc.pen.width / 2, -dc.pen.width / 2);
    QPainterPath path;
    path.addEllipse(r);
    draw(path, true, true);
}

void GdiCanvas::arc(ArcKind kind, QRectF box, QPointF start, QPointF end)
{
    box = normalised(box);
    if (box.width() <= 0 || box.height() <= 0)
        return;
    const QPointF c = box.center();
    const auto angle = [&](QPointF p) {
        return qRadiansToDegrees(std::atan2(-(p.y() - c.y()) / box.height(), (p.x() - c.x()) / box.width()));
    };
    const double a0 = angle(start), a1 = angle(end);
    // GDI turns counter-clockwise as seen on the device unless told otherwise;
    // Qt's positive sweep is counter-clockwise in logical units, which the
    // page mapping may mirror.
    const bool counterClockwise = (!dc.clockwiseArcs) != flipsY();
    double sweep = counterClockwise ? a1 - a0 : a0 - a1;
    while (sweep <= 0)
        sweep += 360;
    if (sweep > 360)
        sweep = 360;
    if (!counterClockwise)
        sweep = -sweep;
    QPainterPath path;
    if (kind == ArcKind::Pie)
        path.moveTo(c);
    else if (kind == ArcKind::ArcTo)
        path.moveTo(dc.current);
    else
        path.arcMoveTo(box, a0);
    path.arcTo(box, a0, sweep);
    if (kind == ArcKind::Pie || kind == ArcKind::Chord)
        path.closeSubpath();
    if (kind == ArcKind::ArcTo)
        dc.current = path.currentPosition();
    const bool closed = kind == ArcKind::Pie || kind == ArcKind::Chord;
    draw(path, closed, true, kind == ArcKind::ArcTo);
}

void GdiCanvas::angleArc(QPointF centre, double radius, double startDeg, double sweepDeg)
{
    if (!std::isfinite(startDeg) || !std::isfinite(sweepDeg) || radius <= 0)
        return;
    const QRectF box(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius);
    QPainterPath path(dc.current);
    path.arcTo(box, startDeg, std::clamp(sweepDeg, -360.0, 360.0));
    dc.current = path.currentPosition();
    draw(path, false, true, true);
}

void GdiCanvas::setPixel(QPointF p, const QColor& colour)
{
    const QPointF q = logicalToPicture().map(p);
    if (!spend(QRectF(q, QSizeF(1, 1))))
        return;
    applyClip();
    m_painter.fillRect(QRectF(std::floor(q.x()), std::floor(q.y()), 1, 1), colour);
}

// ---- text ----

QFont GdiCanvas::pictureFont(double* emPixels) const
{
    const LogFont& f = dc.font;
    QFont font;
    if (!f.face.isEmpty())
        font.setFamily(f.face);
    // The family bits of the pitch-and-family byte tell the matcher what to fall back to.
    switch (f.pitchAndFamily & 0xF0) {
    case 0x10: font.setStyleHint(QFont::Serif); break;
    case 0x20: font.setStyleHint(QFont::SansSerif); break;
    case 0x30: font.setStyleHint(QFont::TypeWriter); break;
    case 0x40: font.setStyleHint(QFont::Cursive); break;
    case 0x50: font.setStyleHint(QFont::Decorative); break;
    default:
        if ((f.pitchAndFamily & 3) == 1)
            font.setStyleHint(QFont::TypeWriter);
        break;
    }
    font.setWeight(QFont::Weight(f.weight <= 0 ? 400 : std::clamp(f.weight, 100, 900)));
    font.setItalic(f.italic);
    font.setUnderline(f.underline);
    font.setStrikeOut(f.strikeOut);
    // Heights are logical units along the page's y axis.
    const QTransform t = logicalToPicture();
    double yScale = std::hypot(t.m21(), t.m22());
    double px = f.height == 0 ? 16 : std::abs(double(f.height)) * yScale;
    if (!std::isfinite(px) || px < 0.5)
        px = 0.5;
    // Qt caches glyphs as images: sizes far beyond any page would cost gigabytes.
    px = std::min(px, 2000.0);
    static thread_local QHash<QString, double> emPerCell;
    if (f.height > 0) {
        // A positive height is the cell (ascent plus descent); the matcher wants the em.
        const QString key = font.family() + QString::number(f.weight) + (f.italic ? "i" : "");
        auto it = emPerCell.find(key);
        if (it == emPerCell.end()) {
            QFont probe = font;
            probe.setPixelSize(200);
            const QFontMetricsF m(probe);
            it = emPerCell.insert(key, m.ascent() + m.descent() > 0 ? 200 / (m.ascent() + m.descent()) : 1.0);
        }
        px *= *it;
    }
    font.setPixelSize(std::max(1, int(std::lround(px))));
    if (f.width > 0) {
        const double widthPx = f.width * std::hypot(t.m11(), t.m12());
        const double average = QFontMetricsF(font).averageCharWidth();
        if (average > 0 && std::isfinite(widthPx))
            font.setStretch(int(std::clamp(100 * widthPx / average, 25.0, 400.0)));
    }
    *emPixels = px;
    return font;
}

void GdiCanvas::select(const GdiObject& object)
{
    switch (object.kind) {
    case GdiObject::Pen: dc.pen = object.pen; break;
    case GdiObject::Brush: dc.brush = object.brush; break;
    case GdiObject::Font: dc.font = object.font; break;
    case GdiObject::Region: combineClip(logicalToPicture().map(object.region), RGN_COPY); break;
    default: break;
    }
}

// With the current position as the reference, a left-aligned run leaves it at
// the run's end along the escapement, a right-aligned one at its start;
// centred text leaves it where it was.
void GdiCanvas::moveCurrentPastText(QPointF reference, double logicalWidth, quint32 horizontal)
{
    const double angle = qDegreesToRadians(-double(dc.font.escapement) / 10.0);
    const QPointF direction(std::cos(angle), std::sin(angle) * (flipsY() ? -1 : 1));
    if (horizontal == 0)
        dc.current = reference + direction * logicalWidth;
    else if (horizontal == TA_RIGHT)
        dc.current = reference - direction * logicalWidth;
}

void GdiCanvas::text(QPointF reference, const QString& string, const std::vector<double>& advances, quint32 options,
                     const std::optional<QRectF>& rect)
{
    const QTransform t = logicalToPicture();
    if (options & ETO_OPAQUE && rect) {
        QPainterPath box;
        box.addRect(normalised(*rect));
        const QBrush bk(dc.bkColour);
        drawPicturePath(t.map(box), true, false, &bk);
    }
    if (string.isEmpty() || (options & ETO_GLYPH_INDEX))
        return; // glyph numbers belong to the writer's font, not to ours
    const bool updateCp = dc.textAlign & TA_UPDATECP;
    if (updateCp)
        reference = dc.current;
    double em = 0;
    const QFont font = pictureFont(&em);
    const QFontMetricsF metrics(font, m_painter.device());

    // The baseline's direction in the picture: the escapement, turned by the
    // world transform; mirrored pages keep text upright.
    const double xScale = std::hypot(t.m11(), t.m12());
    const bool pdy = options & ETO_PDY;
    const std::size_t step = pdy ? 2 : 1;
    std::vector<double> xs; // glyph origins along the baseline, picture pixels
    double width = 0;
    if (advances.size() >= std::size_t(string.size()) * step) {
        xs.reserve(std::size_t(string.size()));
        for (qsizetype i = 0; i < string.size(); ++i) {
            xs.push_back(width);
            width += advances[std::size_t(i) * step] * xScale;
        }
    } else {
        width = metrics.horizontalAdvance(string) + dc.charExtra * xScale * double(string.size());
    }
    if (!std::isfinite(width))
        return;
    const QTransform world = dc.world;
    double angle = -double(dc.font.escapement) / 10.0;
    const double worldAngle = qRadiansToDegrees(std::atan2(world.m12(), world.m11()));
    angle += flipsY() ? -worldAngle : worldAngle;

    const QPointF origin = t.map(reference);
    const quint32 horizontal = dc.textAlign & TA_CENTER, vertical = dc.textAlign & TA_BASELINE;
    double x = horizontal == TA_CENTER ? -width / 2 : horizontal == TA_RIGHT ? -width : 0;
    double baseline = vertical == TA_BASELINE ? 0 : vertical == TA_BOTTOM ? -metrics.descent() : metrics.ascent();
    QTransform frame;
    frame.translate(origin.x(), origin.y());
    frame.rotate(angle);
    const QRectF cell(x, baseline - metrics.ascent(), width, metrics.ascent() + metrics.descent());
    if (!spend(frame.mapRect(cell), double(string.size())))
        return;
    if (updateCp)
        moveCurrentPastText(reference, xScale > 0 ? width / xScale : 0, horizontal);

    applyClip();
    if (options & ETO_CLIPPED && rect) {
        QPainterPath box;
        box.addRect(normalised(*rect));
        m_painter.setClipPath(t.map(box), Qt::IntersectClip);
        m_clipApplied = false;
    }
    m_painter.setTransform(frame * m_base);
    if (dc.bkMode == OPAQUE && !(options & ETO_OPAQUE))
        m_painter.fillRect(cell, dc.bkColour);
    m_painter.setFont(font);
    m_painter.setPen(dc.textColour);
    if (!xs.empty()) {
        double dy = 0;
        for (qsizetype i = 0; i < string.size(); ++i) {
            m_painter.drawText(QPointF(x + xs[std::size_t(i)], baseline + dy), QString(string[i]));
            if (pdy)
                dy -= advances[std::size_t(i) * 2 + 1] * std::hypot(t.m21(), t.m22()) * (flipsY() ? -1 : 1);
        }
    } else {
        QFont spaced = font;
        if (dc.charExtra != 0)
            spaced.setLetterSpacing(QFont::AbsoluteSpacing, dc.charExtra * xScale);
        m_painter.setFont(spaced);
        m_painter.drawText(QPointF(x, baseline), string);
    }
    m_painter.setTransform(m_base);
}

// ---- bitmaps ----

namespace {
// The ternary raster operation's index and what it reads.
int ropIndex(quint32 rop) { return int((rop >> 16) & 0xFF); }
bool ropUsesSource(int r) { return ((r & 0xCC) >> 2) != (r & 0x33); }
} // namespace

void GdiCanvas::bitmap(const QRectF& dest, const QImage& image, const QRectF& source, quint32 rop)
{
    const int r = ropIndex(rop);
    if (!ropUsesSource(r)) {
        patBlt(dest, rop);
        return;
    }
    if (image.isNull() || source.width() == 0 || source.height() == 0 || dest.width() == 0 || dest.height() == 0)
        return;
    const QTransform t = logicalToPicture();
    QPainterPath area;
    area.addRect(normalised(dest));
    if (m_pathOpen || !spend(t.map(area).controlPointRect()))
        return;
    QPainter::CompositionMode mode = QPainter::CompositionMode_SourceOver;
    switch (r) {
    case 0xEE: mode = QPainter::RasterOp_SourceOrDestination; break;
    case 0x88: mode = QPainter::RasterOp_SourceAndDestination; break;
    case 0x66: mode = QPainter::RasterOp_SourceXorDestination; break;
    case 0x44: mode = QPainter::RasterOp_SourceAndNotDestination; break;
    case 0x33: mode = QPainter::RasterOp_NotSource; break;
    case 0x11: mode = QPainter::RasterOp_NotSourceAndNotDestination; break;
    case 0xBB: mode = QPainter::RasterOp_NotSourceOrDestination; break;
    case 0x99: mode = QPainter::RasterOp_NotSourceXorDestination; break;
    case 0x22: mode = QPainter::RasterOp_NotSourceAndDestination; break;
    default: break; // SRCCOPY and the pattern mixes are drawn as copies
    }
    applyClip();
    QTransform place;
    place.translate(dest.x(), dest.y());
    place.scale(dest.width() / source.width(), dest.height() / source.height());
    m_painter.setTransform(place * t * m_base);
    m_painter.setCompositionMode(mode);
    m_painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    m_painter.drawImage(QPointF(0, 0), image, source);
    m_painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    m_painter.setTransform(m_base);
}

void GdiCanvas::patBlt(const QRectF& dest, quint32 rop)
{
    QPainterPath area;
    area.addRect(normalised(dest));
    const QPainterPath picture = logicalToPicture().map(area);
    if (m_pathOpen || !spend(picture.controlPointRect()))
        return;
    QBrush brush;
    QPainter::CompositionMode mode = QPainter::CompositionMode_SourceOver;
    switch (ropIndex(rop)) {
    case 0x00: brush = QBrush(Qt::black); break;
    case 0xFF: brush = QBrush(Qt::white); break;
    case 0xAA: return;
    case 0x55: brush = QBrush(Qt::black); mode = QPainter::RasterOp_NotDestination; break;
    case 0x5A: brush = pictureBrush(dc.brush); mode = QPainter::RasterOp_SourceXorDestination; break;
    case 0x0F: brush = pictureBrush(dc.brush); mode = QPainter::RasterOp_NotSource; break;
    default: brush = pictureBrush(dc.brush); break;
    }
    applyClip();
    m_painter.setCompositionMode(mode);
    m_painter.setPen(Qt::NoPen);
    m_painter.setBrush(brush);
    m_painter.drawPath(picture);
    m_painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

void GdiCanvas::fillRegion(const QPainterPath& region, const LogBrush& brush)
{
    const QBrush b = pictureBrush(brush);
    drawPicturePath(region, true, false, &b);
}

void GdiCanvas::frameRegion(const QPainterPath& region, const LogBrush& brush, double w, double h)
{
    // The frame is the region less the region shrunk by the frame's size.
    const double s = std::max(1.0, pictureScale() * std::max(std::abs(w), std::abs(h)));
    QPainterPathStroker stroker;
    stroker.setWidth(2 * s);
    const QPainterPath frame = stroker.createStroke(region).intersected(region);
    fillRegion(frame, brush);
}

void GdiCanvas::invertRegion(const QPainterPath& region)
{
    if (!spend(region.controlPointRect()))
        return;
    applyClip();
    m_painter.setCompositionMode(QPainter::RasterOp_NotDestination);
    m_painter.setPen(Qt::NoPen);
    m_painter.setBrush(Qt::black);
    m_painter.drawPath(region);
    m_painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

// ---- clipping ----

void GdiCanvas::intersectClipRect(const QRectF& r)
{
    const QTransform t = logicalToPicture();
    QPainterPath area;
    area.addRect(normalised(r));
    if (t.type() <= QTransform::TxScale && (!dc.clip.on || dc.clip.isRect)) {
        const QRectF mapped = t.mapRect(normalised(r));
        dc.clip.rect = dc.clip.on ? dc.clip.rect.intersected(mapped) : mapped;
        dc.clip.on = true;
        dc.clip.isRect = true;
        m_clipApplied = false;
        return;
    }
    combineClip(t.map(area), RGN_AND);
}

void GdiCanvas::excludeClipRect(const QRectF& r)
{
    QPainterPath area;
    area.addRect(normalised(r));
    combineClip(logicalToPicture().map(area), RGN_DIFF);
}

void GdiCanvas::offsetClip(QPointF logical)
{
    if (!dc.clip.on)
        return;
    const QTransform t = logicalToPicture();
    const QPointF d = t.map(logical) - t.map(QPointF(0, 0));
    if (!std::isfinite(d.x()) || !std::isfinite(d.y()))
        return;
    dc.clip.rect.translate(d);
    dc.clip.path.translate(d);
    m_clipApplied = false;
}

void GdiCanvas::combineClip(const QPainterPath& region, int mode)
{
    m_clipApplied = false;
    // Path arithmetic grows with the pieces: it is paid for like drawing.
    m_budget -= kStepCost * double(region.elementCount() + (dc.clip.on ? dc.clip.path.elementCount() : 0));
    if (exhausted() || !finite(region.controlPointRect()))
        return;
    if (mode == RGN_COPY) {
        dc.clip = Clip{true, false, {}, region};
        return;
    }
    const QPainterPath current = dc.clip.on ? dc.clip.asPath() : Clip{true, true, m_target, {}}.asPath();
    QPainterPath result;
    switch (mode) {
    case RGN_AND: result = current.intersected(region); break;
    case RGN_OR: result = current.united(region); break;
    case RGN_XOR: result = current.united(region).subtracted(current.intersected(region)); break;
    case RGN_DIFF: result = current.subtracted(region); break;
    default: return;
    }
    dc.clip = Clip{true, false, {}, result};
}

void GdiCanvas::resetClip()
{
    dc.clip = Clip{};
    m_clipApplied = false;
}

// ---- paths ----

void GdiCanvas::beginPath()
{
    m_path = QPainterPath();
    m_pathOpen = true;
}

void GdiCanvas::abortPath()
{
    m_path = QPainterPath();
    m_pathOpen = false;
}

void GdiCanvas::closeFigure()
{
    if (m_pathOpen)
        m_path.closeSubpath();
}

void GdiCanvas::fillPath()
{
    m_pathOpen = false;
    m_path.setFillRule(dc.fillMode == WINDING ? Qt::WindingFill : Qt::OddEvenFill);
    drawPicturePath(m_path, true, false);
    m_path = QPainterPath();
}

void GdiCanvas::strokePath()
{
    m_pathOpen = false;
    drawPicturePath(m_path, false, true);
    m_path = QPainterPath();
}

void GdiCanvas::strokeAndFillPath()
{
    m_pathOpen = false;
    m_path.setFillRule(dc.fillMode == WINDING ? Qt::WindingFill : Qt::OddEvenFill);
    drawPicturePath(m_path, true, true);
    m_path = QPainterPath();
}

void GdiCanvas::clipToPath(int mode)
{
    m_pathOpen = false;
    m_path.setFillRule(dc.fillMode == WINDING ? Qt::WindingFill : Qt::OddEvenFill);
    combineClip(m_path, mode);
    m_path = QPainterPath();
}

void GdiCanvas::flattenPath()
{
    QPainterPath flat;
    for (const QPolygonF& polygon : m_path.toSubpathPolygons()) {
        flat.addPolygon(polygon);
    }
    m_path = flat;
}

} // namespace qv::metafile

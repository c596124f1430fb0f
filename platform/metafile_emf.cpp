// Enhanced metafiles: the header with its frame and reference device, and the
// records. Comments (EMF+ among them) are skipped; the records after them are drawn.
#include "platform/limits.h"
#include "platform/metafile_gdi.h"

#include <QLinearGradient>
#include <cmath>

namespace qv::metafile {

namespace {

constexpr std::size_t kHeaderMin = 88;

enum : quint32 {
    EMR_HEADER = 1, EMR_POLYBEZIER, EMR_POLYGON, EMR_POLYLINE, EMR_POLYBEZIERTO, EMR_POLYLINETO, EMR_POLYPOLYLINE,
    EMR_POLYPOLYGON, EMR_SETWINDOWEXTEX, EMR_SETWINDOWORGEX, EMR_SETVIEWPORTEXTEX, EMR_SETVIEWPORTORGEX,
    EMR_SETBRUSHORGEX, EMR_EOF, EMR_SETPIXELV, EMR_SETMAPPERFLAGS, EMR_SETMAPMODE, EMR_SETBKMODE,
    EMR_SETPOLYFILLMODE, EMR_SETROP2, EMR_SETSTRETCHBLTMODE, EMR_SETTEXTALIGN, EMR_SETCOLORADJUSTMENT,
    EMR_SETTEXTCOLOR, EMR_SETBKCOLOR, EMR_OFFSETCLIPRGN, EMR_MOVETOEX, EMR_SETMETARGN, EMR_EXCLUDECLIPRECT,
    EMR_INTERSECTCLIPRECT, EMR_SCALEVIEWPORTEXTEX, EMR_SCALEWINDOWEXTEX, EMR_SAVEDC, EMR_RESTOREDC,
    EMR_SETWORLDTRANSFORM, EMR_MODIFYWORLDTRANSFORM, EMR_SELECTOBJECT, EMR_CREATEPEN, EMR_CREATEBRUSHINDIRECT,
    EMR_DELETEOBJECT, EMR_ANGLEARC, EMR_ELLIPSE, EMR_RECTANGLE, EMR_ROUNDRECT, EMR_ARC, EMR_CHORD, EMR_PIE,
    EMR_SELECTPALETTE, EMR_CREATEPALETTE, EMR_LINETO = 54, EMR_ARCTO, EMR_POLYDRAW, EMR_SETARCDIRECTION,
    EMR_SETMITERLIMIT, EMR_BEGINPATH, EMR_ENDPATH, EMR_CLOSEFIGURE, EMR_FILLPATH, EMR_STROKEANDFILLPATH,
    EMR_STROKEPATH, EMR_FLATTENPATH, EMR_WIDENPATH, EMR_SELECTCLIPPATH, EMR_ABORTPATH, EMR_GDICOMMENT = 70,
    EMR_FILLRGN, EMR_FRAMERGN, EMR_INVERTRGN, EMR_PAINTRGN, EMR_EXTSELECTCLIPRGN, EMR_BITBLT, EMR_STRETCHBLT,
    EMR_SETDIBITSTODEVICE = 80, EMR_STRETCHDIBITS, EMR_EXTCREATEFONTINDIRECTW, EMR_EXTTEXTOUTA, EMR_EXTTEXTOUTW,
    EMR_POLYBEZIER16, EMR_POLYGON16, EMR_POLYLINE16, EMR_POLYBEZIERTO16, EMR_POLYLINETO16, EMR_POLYPOLYLINE16,
    EMR_POLYPOLYGON16, EMR_POLYDRAW16, EMR_CREATEMONOBRUSH, EMR_CREATEDIBPATTERNBRUSHPT, EMR_EXTCREATEPEN,
    EMR_ALPHABLEND = 114, EMR_TRANSPARENTBLT = 116, EMR_GRADIENTFILL = 118,
};

enum : quint32 { MWT_IDENTITY = 1, MWT_LEFTMULTIPLY, MWT_RIGHTMULTIPLY, MWT_SET };
constexpr quint32 kStockBit = 0x80000000u;
constexpr quint32 PS_GEOMETRIC = 0x10000;

QRectF rectl(const RecordBytes& r, std::size_t o)
{
    return QRectF(QPointF(r.s32(o), r.s32(o + 4)), QPointF(r.s32(o + 8), r.s32(o + 12)));
}

QPointF pointl(const RecordBytes& r, std::size_t o) { return QPointF(r.s32(o), r.s32(o + 4)); }

// count points at o, 32-bit or 16-bit coordinates; empty when they do not fit.
QPolygonF readPoints(const RecordBytes& r, std::size_t o, std::size_t count, bool small)
{
    const std::size_t each = small ? 4 : 8;
    QPolygonF p;
    if (count > r.size() / each || !r.has(o, count * each))
        return p;
    p.reserve(qsizetype(count));
    for (std::size_t i = 0; i < count; ++i, o += each)
        p.append(small ? QPointF(r.s16(o), r.s16(o + 2)) : pointl(r, o));
    return p;
}

// RGNDATA: a 32-byte header, then rectangles in device units.
QPainterPath readRegionData(const RecordBytes& r, std::size_t o, std::size_t bytes)
{
    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    if (!r.has(o, bytes) || bytes < 32)
        return path;
    const std::size_t count = std::min<std::size_t>(r.u32(o + 8), (bytes - 32) / 16);
    for (std::size_t i = 0; i < count; ++i)
        path.addRect(rectl(r, o + 32 + 16 * i));
    return path;
}

QTransform xform(const RecordBytes& r, std::size_t o, bool* ok)
{
    float v[6];
    *ok = true;
    for (int i = 0; i < 6; ++i) {
        v[i] = r.f32(o + 4 * std::size_t(i));
        *ok = *ok && std::isfinite(v[i]) && std::abs(v[i]) < 1e9f;
    }
    return QTransform(v[0], v[1], v[2], v[3], v[4], v[5]);
}

struct EmfLayout {
    QRectF frameDevice; // the frame in reference-device pixels
    double pixelsPerMmX = 96 / 25.4, pixelsPerMmY = 96 / 25.4;
    std::size_t handles = 0;
    std::size_t end = 0;
};

MetafileHeader readHeader(QByteArrayView data, EmfLayout* layout)
{
    const RecordBytes r(reinterpret_cast<const uchar*>(data.data()), std::size_t(data.size()));
    const std::size_t headerBytes = r.u32(4);
    if (!r.has(0, kHeaderMin) || r.u32(0) != EMR_HEADER || r.u32(40) != 0x464D4520 || headerBytes < kHeaderMin
        || headerBytes > r.size())
        throw EMetafile(QStringLiteral("The file is not an enhanced metafile"));
    const QRectF bounds = rectl(r, 8);
    const QRectF frame = rectl(r, 24);
    EmfLayout l;
    const double devX = r.s32(72), devY = r.s32(76);
    double mmX = r.s32(80), mmY = r.s32(84);
    if (headerBytes >= 108 && r.s32(100) > 0 && r.s32(104) > 0) {
        mmX = r.s32(100) / 1000.0;
        mmY = r.s32(104) / 1000.0;
    }
    if (devX > 0 && devY > 0 && mmX > 0 && mmY > 0) {
        l.pixelsPerMmX = devX / mmX;
        l.pixelsPerMmY = devY / mmY;
    }
    double width = std::round(frame.width() * 96 / 2540), height = std::round(frame.height() * 96 / 2540);
    l.frameDevice = QRectF(frame.left() / 100 * l.pixelsPerMmX, frame.top() / 100 * l.pixelsPerMmY,
                           frame.width() / 100 * l.pixelsPerMmX, frame.height() / 100 * l.pixelsPerMmY);
    if (width < 1 || height < 1) {
        // No usable frame: the bounds, inclusive device pixels, at the reference device's resolution.
        l.frameDevice = QRectF(bounds.left(), bounds.top(), bounds.width() + 1, bounds.height() + 1);
        width = std::round(l.frameDevice.width() / l.pixelsPerMmX * 96 / 25.4);
        height = std::round(l.frameDevice.height() / l.pixelsPerMmY * 96 / 25.4);
    }
    if (!(width >= 1 && height >= 1) || !qv::pictureSizeAllowed(qint64(width), qint64(height))
        || l.frameDevice.width() <= 0 || l.frameDevice.height() <= 0)
        throw EMetafile(QStringLiteral("The metafile's picture size is missing or too large"));
    l.handles = r.u16(56);
    const std::size_t stated = r.u32(48);
    l.end = stated >= headerBytes && stated < r.size() ? stated : r.size();
    if (layout)
        *layout = l;
    MetafileHeader header;
    header.kind = MetafileKind::Emf;
    header.size = QSize(int(width), int(height));
    return header;
}

class EmfPlayer {
public:
    EmfPlayer(GdiCanvas& canvas, std::size_t handles) : m_canvas(canvas), m_objects(handles) {}
    // False at the end-of-file record.
    bool play(quint32 type, const RecordBytes& r);

private:
    const GdiObject* object(quint32 handle, std::optional<GdiObject>& stock) const;
    void select(quint32 handle);
    QImage dib(const RecordBytes& r, std::size_t at, bool palette) const;
    void blt(quint32 type, const RecordBytes& r);
    void text(quint32 type, const RecordBytes& r);
    void gradient(const RecordBytes& r);
    void polyPoly(quint32 type, const RecordBytes& r);
    void poly(quint32 type, const RecordBytes& r);
    void polyDraw(quint32 type, const RecordBytes& r);
    void worldTransform(quint32 type, const RecordBytes& r);
    void createObject(quint32 type, const RecordBytes& r);
    void region(quint32 type, const RecordBytes& r);
    void selectClipRegion(const RecordBytes& r);
    void setState(quint32 type, const RecordBytes& r);

    GdiCanvas& m_canvas;
    ObjectTable m_objects;
};

// The object a handle names: a stock object (kept in `stock`) or one of the table's.
const GdiObject* EmfPlayer::object(quint32 handle, std::optional<GdiObject>& stock) const
{
    if (!(handle & kStockBit))
        return m_objects.get(handle);
    stock = StockObject(handle & ~kStockBit);
    return stock ? &*stock : nullptr;
}

void EmfPlayer::select(quint32 handle)
{
    std::optional<GdiObject> stock;
    if (const GdiObject* o = object(handle, stock))
        m_canvas.select(*o);
}

// The bitmap that a record carries as offset/size pairs of info and bits at `at`.
QImage EmfPlayer::dib(const RecordBytes& r, std::size_t at, bool palette) const
{
    const QByteArrayView info = r.bytes(r.u32(at), r.u32(at + 4));
    const QByteArrayView bits = r.bytes(r.u32(at + 8), r.u32(at + 12));
    if (info.isEmpty())
        return {};
    return DecodeMetafileDib(info, bits, palette, m_canvas.decodeDib);
}

void EmfPlayer::blt(quint32 type, const RecordBytes& r)
{
    QRectF dest, source;
    quint32 rop = 0x00CC0020;
    QImage image;
    if (type == EMR_STRETCHDIBITS || type == EMR_SETDIBITSTODEVICE) {
        if (!r.has(0, type == EMR_STRETCHDIBITS ? 80 : 76))
            return;
        source = QRectF(r.s32(32), r.s32(36), r.s32(40), r.s32(44));
        if (type == EMR_STRETCHDIBITS) {
            rop = r.u32(68);
            dest = QRectF(r.s32(24), r.s32(28), r.s32(72), r.s32(76));
        } else {
            dest = QRectF(r.s32(24), r.s32(28), source.width(), source.height());
        }
        if (r.u32(52) == 0) { // no bitmap: a pattern operation
            m_canvas.patBlt(dest, rop);
            return;
        }
        image = dib(r, 48, r.u32(64) == 1);
        if (image.isNull())
            return;
        // The source rectangle counts rows from the bitmap's bottom.
        source.moveTop(image.height() - source.top() - source.height());
    } else {
        if (!r.has(0, 100))
            return;
        dest = QRectF(r.s32(24), r.s32(28), r.s32(32), r.s32(36));
        rop = type == EMR_BITBLT || type == EMR_STRETCHBLT ? r.u32(40) : 0x00CC0020;
        source = QRectF(r.s32(44), r.s32(48), dest.width(), dest.height());
        if (r.u32(88) == 0) {
            m_canvas.patBlt(dest, rop);
            return;
        }
        image = dib(r, 84, r.u32(80) == 1);
        if (image.isNull())
            return;
        if (type != EMR_BITBLT && r.has(100, 8))
            source.setSize(QSizeF(r.s32(100), r.s32(104)));
        else
            source.setSize(QSizeF(image.width() - source.x(), image.height() - source.y()));
        if (type == EMR_TRANSPARENTBLT) {
            const QColor key = r.colour(40);
            image = image.convertToFormat(QImage::Format_ARGB32);
            const QRgb k = key.rgb();
            for (int y = 0; y < image.height(); ++y) {
                auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
                for (int x = 0; x < image.width(); ++x)
                    if ((line[x] | 0xFF000000u) == k)
                        line[x] = 0;
            }
        } else if (type == EMR_ALPHABLEND) {
            // Constant opacity only: the per-pixel alpha of 32-bit bitmaps is not kept by the decoder.
            const int alpha = (r.u32(40) >> 16) & 0xFF;
            QImage faded(image.size(), QImage::Format_ARGB32_Premultiplied);
            faded.fill(Qt::transparent);
            QPainter p(&faded);
            p.setOpacity(alpha / 255.0);
            p.drawImage(0, 0, image);
            p.end();
            image = faded;
        }
    }
    m_canvas.bitmap(dest, image, source, rop);
}

void EmfPlayer::text(quint32 type, const RecordBytes& r)
{
    if (!r.has(0, 76))
        return;
    const QPointF reference = pointl(r, 36);
    const std::size_t count = r.u32(44);
    const quint32 options = r.u32(52);
    const bool wide = type == EMR_EXTTEXTOUTW;
    const std::size_t unit = wide ? 2 : 1;
    if (count > r.size() / unit)
        return;
    const QByteArrayView bytes = r.bytes(r.u32(48), count * unit);
    if (bytes.size() != qsizetype(count * unit))
        return;
    QString string;
    if (wide) {
        string.resize(qsizetype(count));
        for (std::size_t i = 0; i < count; ++i)
            string[qsizetype(i)] = QChar(char16_t(uchar(bytes[qsizetype(2 * i)]) | (uchar(bytes[qsizetype(2 * i + 1)]) << 8)));
    } else {
        string = DecodeAnsiText(bytes);
    }
    std::vector<double> advances;
    const std::size_t per = options & ETO_PDY ? 2 : 1;
    const std::size_t offDx = r.u32(72);
    if (offDx && r.has(offDx, count * per * 4)) {
        advances.reserve(count * per);
        for (std::size_t i = 0; i < count * per; ++i)
            advances.push_back(r.s32(offDx + 4 * i));
    }
    std::optional<QRectF> rect;
    if (!(options & 0x100)) // ETO_NO_RECT
        rect = rectl(r, 56);
    m_canvas.text(reference, string, advances, options, rect);
}

void EmfPlayer::gradient(const RecordBytes& r)
{
    const std::size_t vertices = r.u32(24), shapes = r.u32(28);
    const quint32 mode = r.u32(32);
    if (vertices > r.size() / 16 || !r.has(36, vertices * 16))
        return;
    const auto position = [&](std::size_t i) { return pointl(r, 36 + 16 * i); };
    const auto colour = [&](std::size_t i) {
        const std::size_t o = 36 + 16 * i + 8;
        return QColor(r.u16(o) >> 8, r.u16(o + 2) >> 8, r.u16(o + 4) >> 8);
    };
    const std::size_t indices = 36 + vertices * 16;
    const std::size_t each = mode == 2 ? 12 : 8;
    if (shapes > r.size() / each || !r.has(indices, shapes * each))
        return;
    const LogBrush saved = m_canvas.dc.brush;
    const LogPen savedPen = m_canvas.dc.pen;
    m_canvas.dc.pen.style = 5; // no outline
    for (std::size_t s = 0; s < shapes && !m_canvas.exhausted(); ++s) {
        const std::size_t o = indices + s * each;
        const std::size_t a = r.u32(o), b = r.u32(o + 4), c = mode == 2 ? r.u32(o + 8) : 0;
        if (a >= vertices || b >= vertices || c >= vertices)
            continue;
        if (mode == 2) {
            // Triangles: their mean colour.
            const QColor ca = colour(a), cb = colour(b), cc = colour(c);
            m_canvas.dc.brush = LogBrush{0, QColor((ca.red() + cb.red() + cc.red()) / 3,
                                                   (ca.green() + cb.green() + cc.green()) / 3,
                                                   (ca.blue() + cb.blue() + cc.blue()) / 3), 0, {}};
            m_canvas.polygons({QPolygonF({position(a), position(b), position(c)})});
            continue;
        }
        // Rectangles: bands of one colour each, as GDI's own fill looks.
        const QRectF box = QRectF(position(a), position(b)).normalized();
        const bool vertical = mode == 1;
        const double length = vertical ? box.height() : box.width();
        const int bands = int(std::clamp(length, 1.0, 256.0));
        const QColor c0 = colour(a), c1 = colour(b);
        for (int i = 0; i < bands; ++i) {
            const double t0 = double(i) / bands, t1 = double(i + 1) / bands, tm = (i + 0.5) / bands;
            m_canvas.dc.brush = LogBrush{0, QColor(int(c0.red() + (c1.red() - c0.red()) * tm),
                                                   int(c0.green() + (c1.green() - c0.green()) * tm),
                                                   int(c0.blue() + (c1.blue() - c0.blue()) * tm)), 0, {}};
            const QRectF band = vertical
                ? QRectF(box.left(), box.top() + length * t0, box.width(), length * (t1 - t0))
                : QRectF(box.left() + length * t0, box.top(), length * (t1 - t0), box.height());
            QPolygonF p(band);
            m_canvas.polygons({p});
        }
    }
    m_canvas.dc.brush = saved;
    m_canvas.dc.pen = savedPen;
}

void EmfPlayer::polyPoly(quint32 type, const RecordBytes& r)
{
    const bool small = type == EMR_POLYPOLYLINE16 || type == EMR_POLYPOLYGON16;
    const std::size_t n = r.u32(24), total = r.u32(28);
    if (n > r.size() / 4 || !r.has(32, n * 4))
        return;
    std::size_t o = 32 + n * 4;
    const std::size_t each = small ? 4 : 8;
    if (total > r.size() / each || !r.has(o, total * each))
        return;
    std::vector<QPolygonF> shapes;
    std::size_t used = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t count = r.u32(32 + 4 * i);
        if (count > total - used)
            return;
        shapes.push_back(readPoints(r, o, count, small));
        o += count * each;
        used += count;
    }
    if (type == EMR_POLYPOLYGON || type == EMR_POLYPOLYGON16)
        m_canvas.polygons(shapes);
    else
        m_canvas.polyPolyline(shapes);
}

// Single polygons, polylines and Bézier chains, 32- or 16-bit points.
void EmfPlayer::poly(quint32 type, const RecordBytes& r)
{
    const bool small = type >= EMR_POLYBEZIER16;
    const quint32 kind = small ? type - EMR_POLYBEZIER16 + EMR_POLYBEZIER : type;
    const QPolygonF p = readPoints(r, 28, r.u32(24), small);
    if (p.isEmpty())
        return;
    if (kind == EMR_POLYGON)
        m_canvas.polygons({p});
    else if (kind == EMR_POLYLINE)
        m_canvas.polyline(p, false);
    else if (kind == EMR_POLYLINETO)
        m_canvas.polyline(p, true);
    else
        m_canvas.beziers(p, kind == EMR_POLYBEZIERTO);
}

void EmfPlayer::polyDraw(quint32 type, const RecordBytes& r)
{
    const std::size_t count = r.u32(24);
    const bool small = type == EMR_POLYDRAW16;
    const QPolygonF p = readPoints(r, 28, count, small);
    const QByteArrayView types = r.bytes(28 + count * (small ? 4 : 8), count);
    if (!p.isEmpty() && types.size() == qsizetype(count))
        m_canvas.polyDraw(p, types);
}

void EmfPlayer::worldTransform(quint32 type, const RecordBytes& r)
{
    DcState& dc = m_canvas.dc;
    bool ok;
    const QTransform t = xform(r, 8, &ok);
    if (type == EMR_SETWORLDTRANSFORM) {
        if (ok && r.has(8, 24))
            dc.world = t;
        return;
    }
    if (!ok || !r.has(8, 28))
        return;
    switch (r.u32(32)) {
    case MWT_IDENTITY: dc.world = QTransform(); break;
    case MWT_LEFTMULTIPLY: dc.world = t * dc.world; break;
    case MWT_RIGHTMULTIPLY: dc.world = dc.world * t; break;
    case MWT_SET: dc.world = t; break;
    default: break;
    }
}

// Pens, brushes, fonts and palettes, kept under the record's handle.
void EmfPlayer::createObject(quint32 type, const RecordBytes& r)
{
    GdiObject o;
    switch (type) {
    case EMR_CREATEPEN: o = GdiObject::makePen(r.u32(12), std::abs(double(r.s32(16))), r.colour(24)); break;
    case EMR_EXTCREATEPEN: {
        const quint32 style = r.u32(28);
        // Cosmetic pens are one pixel whatever their width says.
        o = GdiObject::makePen(style, style & PS_GEOMETRIC ? double(r.u32(32)) : 0.0, r.colour(40));
        if (r.u32(36) == 1) // hollow brush
            o.pen.style = (o.pen.style & ~0xFu) | 5;
        const std::size_t entries = std::min<std::size_t>(r.u32(48), 16);
        for (std::size_t i = 0; i < entries && r.has(52 + 4 * i, 4); ++i)
            o.pen.dashes.push_back(r.u32(52 + 4 * i));
        break;
    }
    case EMR_CREATEBRUSHINDIRECT: o = GdiObject::makeBrush(r.u32(12), r.colour(16), r.u32(20)); break;
    case EMR_CREATEMONOBRUSH:
    case EMR_CREATEDIBPATTERNBRUSHPT:
        o = GdiObject::makeBrush(5, Qt::gray);
        o.brush.pattern = dib(r, 16, r.u32(12) == 1);
        break;
    case EMR_EXTCREATEFONTINDIRECTW: {
        o.kind = GdiObject::Font;
        LogFont& f = o.font;
        f.height = r.s32(12);
        f.width = r.s32(16);
        f.escapement = r.s32(20);
        f.orientation = r.s32(24);
        f.weight = r.s32(28);
        f.italic = r.u8(32);
        f.underline = r.u8(33);
        f.strikeOut = r.u8(34);
        f.charset = r.u8(35);
        f.pitchAndFamily = r.u8(39);
        for (std::size_t i = 0; i < 32 && r.has(40 + 2 * i, 2) && r.u16(40 + 2 * i); ++i)
            f.face.append(QChar(char16_t(r.u16(40 + 2 * i))));
        break;
    }
    case EMR_CREATEPALETTE: o.kind = GdiObject::Palette; break;
    default: return;
    }
    m_objects.put(r.u32(8), std::move(o));
}

void EmfPlayer::selectClipRegion(const RecordBytes& r)
{
    const std::size_t bytes = r.u32(8);
    const int mode = int(r.u32(12));
    if (bytes == 0 && mode == RGN_COPY)
        m_canvas.resetClip();
    else if (r.has(16, bytes))
        m_canvas.combineClip(m_canvas.deviceToPicture().map(readRegionData(r, 16, bytes)), mode);
}

// Fill, frame, invert or paint a region carried in the record.
void EmfPlayer::region(quint32 type, const RecordBytes& r)
{
    const std::size_t bytes = r.u32(24);
    const std::size_t at = type == EMR_FILLRGN ? 32 : type == EMR_FRAMERGN ? 40 : 28;
    const QPainterPath area = m_canvas.deviceToPicture().map(readRegionData(r, at, bytes));
    const GdiObject* brush = nullptr;
    std::optional<GdiObject> stock;
    if (type == EMR_FILLRGN || type == EMR_FRAMERGN) {
        brush = object(r.u32(28), stock);
        if (!brush || brush->kind != GdiObject::Brush)
            return;
    }
    if (type == EMR_FILLRGN)
        m_canvas.fillRegion(area, brush->brush);
    else if (type == EMR_FRAMERGN)
        m_canvas.frameRegion(area, brush->brush, r.s32(32), r.s32(36));
    else if (type == EMR_INVERTRGN)
        m_canvas.invertRegion(area);
    else
        m_canvas.fillRegion(area, m_canvas.dc.brush);
}

// Records that change the device context's settings; every other record
// (comments, EMF+ among them, palettes, colour management) is passed over.
void EmfPlayer::setState(quint32 type, const RecordBytes& r)
{
    DcState& dc = m_canvas.dc;
    Mapping& map = dc.map;
    switch (type) {
    case EMR_SETWINDOWEXTEX: map.setWindowExt(r.s32(8), r.s32(12)); break;
    case EMR_SETWINDOWORGEX: map.windowOrg = pointl(r, 8); break;
    case EMR_SETVIEWPORTEXTEX: map.setViewportExt(r.s32(8), r.s32(12)); break;
    case EMR_SETVIEWPORTORGEX: map.viewportOrg = pointl(r, 8); break;
    case EMR_SCALEVIEWPORTEXTEX: map.scaleViewportExt(r.s32(8), r.s32(12), r.s32(16), r.s32(20)); break;
    case EMR_SCALEWINDOWEXTEX: map.scaleWindowExt(r.s32(8), r.s32(12), r.s32(16), r.s32(20)); break;
    case EMR_SETMAPMODE: map.mode = int(r.u32(8)); break;
    case EMR_SETBKMODE: dc.bkMode = int(r.u32(8)); break;
    case EMR_SETPOLYFILLMODE: dc.fillMode = int(r.u32(8)); break;
    case EMR_SETROP2: dc.rop2 = int(r.u32(8)); break;
    case EMR_SETTEXTALIGN: dc.textAlign = r.u32(8); break;
    case EMR_SETTEXTCOLOR: dc.textColour = r.colour(8); break;
    case EMR_SETBKCOLOR: dc.bkColour = r.colour(8); break;
    case EMR_SETARCDIRECTION: dc.clockwiseArcs = r.u32(8) == 2; break;
    case EMR_SETMITERLIMIT: dc.miterLimit = std::clamp<double>(r.u32(8), 1, 100); break;
    default: break;
    }
}

bool EmfPlayer::play(quint32 type, const RecordBytes& r)
{
    switch (type) {
    case EMR_EOF: return false;
    case EMR_POLYBEZIER:
    case EMR_POLYGON:
    case EMR_POLYLINE:
    case EMR_POLYBEZIERTO:
    case EMR_POLYLINETO:
    case EMR_POLYBEZIER16:
    case EMR_POLYGON16:
    case EMR_POLYLINE16:
    case EMR_POLYBEZIERTO16:
    case EMR_POLYLINETO16: poly(type, r); break;
    case EMR_POLYPOLYLINE:
    case EMR_POLYPOLYGON:
    case EMR_POLYPOLYLINE16:
    case EMR_POLYPOLYGON16: polyPoly(type, r); break;
    case EMR_POLYDRAW:
    case EMR_POLYDRAW16: polyDraw(type, r); break;
    case EMR_SETPIXELV: m_canvas.setPixel(pointl(r, 8), r.colour(16)); break;
    case EMR_OFFSETCLIPRGN: m_canvas.offsetClip(pointl(r, 8)); break;
    case EMR_MOVETOEX: m_canvas.moveTo(pointl(r, 8)); break;
    case EMR_EXCLUDECLIPRECT: m_canvas.excludeClipRect(rectl(r, 8)); break;
    case EMR_INTERSECTCLIPRECT: m_canvas.intersectClipRect(rectl(r, 8)); break;
    case EMR_SAVEDC: m_canvas.saveDc(); break;
    case EMR_RESTOREDC: m_canvas.restoreDc(r.s32(8)); break;
    case EMR_SETWORLDTRANSFORM:
    case EMR_MODIFYWORLDTRANSFORM: worldTransform(type, r); break;
    case EMR_SELECTOBJECT: select(r.u32(8)); break;
    case EMR_DELETEOBJECT: m_objects.remove(r.u32(8)); break;
    case EMR_CREATEPEN:
    case EMR_EXTCREATEPEN:
    case EMR_CREATEBRUSHINDIRECT:
    case EMR_CREATEMONOBRUSH:
    case EMR_CREATEDIBPATTERNBRUSHPT:
    case EMR_EXTCREATEFONTINDIRECTW:
    case EMR_CREATEPALETTE: createObject(type, r); break;
    case EMR_ANGLEARC:
        m_canvas.angleArc(pointl(r, 8), r.u32(16), r.f32(20), r.f32(24));
        break;
    case EMR_ELLIPSE: m_canvas.ellipse(rectl(r, 8)); break;
    case EMR_RECTANGLE: m_canvas.rectangle(rectl(r, 8)); break;
    case EMR_ROUNDRECT: m_canvas.roundRect(rectl(r, 8), QSizeF(r.s32(24), r.s32(28))); break;
    case EMR_ARC:
    case EMR_CHORD:
    case EMR_PIE:
    case EMR_ARCTO: {
        const ArcKind kind = type == EMR_ARC ? ArcKind::Arc : type == EMR_CHORD ? ArcKind::Chord
            : type == EMR_PIE ? ArcKind::Pie : ArcKind::ArcTo;
        if (r.has(0, 40))
            m_canvas.arc(kind, rectl(r, 8), pointl(r, 24), pointl(r, 32));
        break;
    }
    case EMR_LINETO: m_canvas.lineTo(pointl(r, 8)); break;
    case EMR_BEGINPATH: m_canvas.beginPath(); break;
    case EMR_ENDPATH: m_canvas.endPath(); break;
    case EMR_CLOSEFIGURE: m_canvas.closeFigure(); break;
    case EMR_FILLPATH: m_canvas.fillPath(); break;
    case EMR_STROKEANDFILLPATH: m_canvas.strokeAndFillPath(); break;
    case EMR_STROKEPATH: m_canvas.strokePath(); break;
    case EMR_FLATTENPATH: m_canvas.flattenPath(); break;
    case EMR_SELECTCLIPPATH: m_canvas.clipToPath(int(r.u32(8))); break;
    case EMR_ABORTPATH: m_canvas.abortPath(); break;
    case EMR_EXTSELECTCLIPRGN: selectClipRegion(r); break;
    case EMR_FILLRGN:
    case EMR_FRAMERGN:
    case EMR_INVERTRGN:
    case EMR_PAINTRGN: region(type, r); break;
    case EMR_BITBLT:
    case EMR_STRETCHBLT:
    case EMR_ALPHABLEND:
    case EMR_TRANSPARENTBLT:
    case EMR_STRETCHDIBITS:
    case EMR_SETDIBITSTODEVICE: blt(type, r); break;
    case EMR_EXTTEXTOUTA:
    case EMR_EXTTEXTOUTW: text(type, r); break;
    case EMR_GRADIENTFILL: gradient(r); break;
    default: setState(type, r); break;
    }
    return true;
}

} // namespace

MetafileHeader ReadEmfHeader(QByteArrayView data) { return readHeader(data, nullptr); }

void PlayEmf(QByteArrayView data, QPainter& painter, const QRectF& target, const DibDecoder& decodeDib)
{
    EmfLayout layout;
    readHeader(data, &layout);
    // Reference-device pixels: the frame fills the target.
    QTransform deviceToPicture;
    deviceToPicture.translate(target.left(), target.top());
    deviceToPicture.scale(target.width() / layout.frameDevice.width(), target.height() / layout.frameDevice.height());
    deviceToPicture.translate(-layout.frameDevice.left(), -layout.frameDevice.top());
    GdiCanvas canvas(painter, deviceToPicture, target, decodeDib);
    canvas.dc.map.pixelsPerMmX = layout.pixelsPerMmX;
    canvas.dc.map.pixelsPerMmY = layout.pixelsPerMmY;
    EmfPlayer player(canvas, layout.handles);

    const auto* bytes = reinterpret_cast<const uchar*>(data.data());
    const RecordBytes file(bytes, layout.end);
    std::size_t pos = 0;
    for (std::size_t n = 0; n < kMaxRecords && file.has(pos, 8) && !canvas.exhausted(); ++n) {
        const quint32 type = file.u32(pos), size = file.u32(pos + 4);
        if (size < 8 || size > file.size() - pos)
            break;
        if (n > 0 && !player.play(type, RecordBytes(bytes + pos, size)))
            break;
        pos += size;
    }
}

} // namespace qv::metafile

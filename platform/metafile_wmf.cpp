// Windows metafiles: the placeable and plain headers and the records.
#include "platform/limits.h"
#include "platform/metafile_gdi.h"

#include <cmath>

namespace qv::metafile {

namespace {

constexpr quint32 kPlaceableKey = 0x9AC6CDD7;
constexpr std::size_t kPlaceableBytes = 22, kHeaderBytes = 18, kRecordHeader = 6;
// An escape of the comment kind that carries an enhanced metafile ("WMFC"):
// its EMF bytes start 38 bytes into the record's parameters.
constexpr quint16 kMfComment = 0x000F;
constexpr quint32 kEmbeddedEmfKey = 0x43464D57;
constexpr std::size_t kEmbeddedEmfData = 38;

// Record functions.
enum : quint16 {
    META_EOF = 0x0000, META_SAVEDC = 0x001E, META_REALIZEPALETTE = 0x0035, META_SETPALENTRIES = 0x0037,
    META_CREATEPALETTE = 0x00F7, META_SETBKMODE = 0x0102, META_SETMAPMODE = 0x0103, META_SETROP2 = 0x0104,
    META_SETPOLYFILLMODE = 0x0106, META_SETTEXTCHAREXTRA = 0x0108, META_RESTOREDC = 0x0127,
    META_INVERTREGION = 0x012A, META_PAINTREGION = 0x012B, META_SELECTCLIPREGION = 0x012C,
    META_SELECTOBJECT = 0x012D, META_SETTEXTALIGN = 0x012E, META_DIBCREATEPATTERNBRUSH = 0x0142,
    META_DELETEOBJECT = 0x01F0, META_CREATEPATTERNBRUSH = 0x01F9, META_SETBKCOLOR = 0x0201,
    META_SETTEXTCOLOR = 0x0209, META_SETWINDOWORG = 0x020B, META_SETWINDOWEXT = 0x020C,
    META_SETVIEWPORTORG = 0x020D, META_SETVIEWPORTEXT = 0x020E, META_OFFSETWINDOWORG = 0x020F,
    META_OFFSETVIEWPORTORG = 0x0211, META_LINETO = 0x0213, META_MOVETO = 0x0214, META_OFFSETCLIPRGN = 0x0220,
    META_FILLREGION = 0x0228, META_CREATEPENINDIRECT = 0x02FA, META_CREATEFONTINDIRECT = 0x02FB,
    META_CREATEBRUSHINDIRECT = 0x02FC, META_POLYGON = 0x0324, META_POLYLINE = 0x0325,
    META_SCALEWINDOWEXT = 0x0410, META_SCALEVIEWPORTEXT = 0x0412, META_EXCLUDECLIPRECT = 0x0415,
    META_INTERSECTCLIPRECT = 0x0416, META_ELLIPSE = 0x0418, META_RECTANGLE = 0x041B, META_SETPIXEL = 0x041F,
    META_FRAMEREGION = 0x0429, META_TEXTOUT = 0x0521, META_POLYPOLYGON = 0x0538, META_ROUNDRECT = 0x061C,
    META_PATBLT = 0x061D, META_CREATEREGION = 0x06FF, META_ARC = 0x0817, META_PIE = 0x081A, META_CHORD = 0x0830,
    META_ESCAPE = 0x0626, META_BITBLT = 0x0922, META_DIBBITBLT = 0x0940, META_EXTTEXTOUT = 0x0A32, META_STRETCHBLT = 0x0B23,
    META_DIBSTRETCHBLT = 0x0B41, META_SETDIBTODEV = 0x0D33, META_STRETCHDIB = 0x0F43,
};

QRectF ltrb(const RecordBytes& r, std::size_t o) // left, top, right, bottom
{
    return QRectF(QPointF(r.s16(o), r.s16(o + 2)), QPointF(r.s16(o + 4), r.s16(o + 6)));
}

QRectF btrl(const RecordBytes& r, std::size_t o) // bottom, right, top, left: most records' order
{
    return QRectF(QPointF(r.s16(o + 6), r.s16(o + 4)), QPointF(r.s16(o + 2), r.s16(o)));
}

QPointF yx(const RecordBytes& r, std::size_t o) { return QPointF(r.s16(o + 2), r.s16(o)); }

// count points of x, y at o; empty when the record is too short for them.
QPolygonF points16(const RecordBytes& r, std::size_t o, std::size_t count)
{
    QPolygonF p;
    if (!r.has(o, count * 4))
        return p;
    p.reserve(qsizetype(count));
    for (std::size_t i = 0; i < count; ++i)
        p.append(QPointF(r.s16(o + 4 * i), r.s16(o + 4 * i + 2)));
    return p;
}

// A region object's scans as a path of rectangles in logical units.
QPainterPath readRegion(const RecordBytes& r)
{
    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    const int scans = r.s16(10);
    std::size_t o = 22;
    for (int s = 0; s < scans && r.has(o, 6); ++s) {
        const std::size_t count = r.u16(o);
        const double top = r.s16(o + 2), bottom = r.s16(o + 4);
        if (!r.has(o + 6, count * 2 + 2))
            break;
        for (std::size_t i = 0; i + 1 < count; i += 2)
            path.addRect(QRectF(QPointF(r.s16(o + 6 + 2 * i), top), QPointF(r.s16(o + 8 + 2 * i), bottom)));
        o += 6 + count * 2 + 2;
    }
    return path;
}

LogFont readFont(const RecordBytes& r)
{
    LogFont f;
    f.height = r.s16(0);
    f.width = r.s16(2);
    f.escapement = r.s16(4);
    f.orientation = r.s16(6);
    f.weight = r.s16(8);
    f.italic = r.u8(10);
    f.underline = r.u8(11);
    f.strikeOut = r.u8(12);
    f.charset = r.u8(13);
    f.pitchAndFamily = r.u8(17);
    QByteArray face;
    for (std::size_t o = 18; o < 50 && r.has(o, 1) && r.u8(o); ++o)
        face.append(char(r.u8(o)));
    f.face = DecodeAnsiText(face);
    return f;
}

class WmfPlayer {
public:
    WmfPlayer(GdiCanvas& canvas, std::size_t objects) : m_canvas(canvas), m_objects(objects) {}
    void play(quint16 function, const RecordBytes& r);

private:
    void addObject(GdiObject o) { m_objects.addToFreeSlot(std::move(o)); }
    void select(quint16 index);
    const QPainterPath* region(quint16 index) const;
    void text(const RecordBytes& r, bool extended);
    void dibBlt(const RecordBytes& r, quint16 function);
    void setState(quint16 function, const RecordBytes& r);
    void createObject(quint16 function, const RecordBytes& r);
    void polyPolygon(const RecordBytes& r);
    void drawRegion(quint16 function, const RecordBytes& r);

    GdiCanvas& m_canvas;
    ObjectTable m_objects;
};

void WmfPlayer::select(quint16 index)
{
    if (const GdiObject* o = m_objects.get(index))
        m_canvas.select(*o);
}

const QPainterPath* WmfPlayer::region(quint16 index) const
{
    const GdiObject* o = m_objects.get(index);
    return o && o->kind == GdiObject::Region ? &o->region : nullptr;
}

void WmfPlayer::text(const RecordBytes& r, bool extended)
{
    QPointF at;
    std::size_t length, o;
    quint16 options = 0;
    std::optional<QRectF> rect;
    if (extended) {
        at = yx(r, 0);
        length = std::size_t(std::max<qint16>(0, r.s16(4)));
        options = r.u16(6);
        o = 8;
        if (options & (ETO_OPAQUE | ETO_CLIPPED)) {
            rect = ltrb(r, 8);
            o = 16;
        }
    } else {
        length = r.u16(0);
        o = 2;
        const std::size_t after = 2 + ((length + 1) & ~std::size_t(1));
        at = yx(r, after);
    }
    if (!r.has(o, length))
        length = r.size() > o ? r.size() - o : 0;
    const QString string = DecodeAnsiText(r.bytes(o, length));
    std::vector<double> advances;
    const std::size_t dx = o + ((length + 1) & ~std::size_t(1));
    if (extended && r.has(dx, length * 2)) {
        advances.reserve(length);
        for (std::size_t i = 0; i < length; ++i)
            advances.push_back(r.s16(dx + 2 * i));
    }
    m_canvas.text(at, string, advances, options, rect);
}

void WmfPlayer::dibBlt(const RecordBytes& r, quint16 function)
{
    // Bit-block records without a bitmap (size = 3 + function's high byte words) are pattern fills.
    const quint32 rop = r.u32(0);
    QRectF dest, source;
    std::size_t dib = 0;
    bool palette = false;
    if (function == META_STRETCHDIB) {
        palette = r.u16(4) == 1;
        source = QRectF(r.s16(12), r.s16(10), r.s16(8), r.s16(6));
        dest = QRectF(r.s16(20), r.s16(18), r.s16(16), r.s16(14));
        dib = 22;
    } else if (function == META_SETDIBTODEV) {
        palette = r.u16(0) == 1;
        source = QRectF(r.s16(8), r.s16(6), r.s16(12), r.s16(10));
        dest = QRectF(r.s16(16), r.s16(14), r.s16(12), r.s16(10));
        dib = 18;
    } else {
        const bool stretch = function == META_DIBSTRETCHBLT || function == META_STRETCHBLT;
        const bool withBitmap = r.size() + kRecordHeader != std::size_t((function >> 8) + 3) * 2;
        const std::size_t reserved = withBitmap ? 0 : 2;
        if (stretch) {
            source = QRectF(r.s16(10), r.s16(8), r.s16(6), r.s16(4));
            dest = QRectF(r.s16(18 + reserved), r.s16(16 + reserved), r.s16(14 + reserved), r.s16(12 + reserved));
            dib = 20;
        } else {
            source = QRectF(r.s16(6), r.s16(4), 0, 0);
            dest = QRectF(r.s16(14 + reserved), r.s16(12 + reserved), r.s16(10 + reserved), r.s16(8 + reserved));
            dib = 16;
        }
        if (!withBitmap) {
            m_canvas.patBlt(dest, rop);
            return;
        }
        if (function == META_BITBLT || function == META_STRETCHBLT)
            return; // device-dependent bitmaps of 16-bit Windows: not drawn
    }
    const QByteArrayView all = r.bytes(dib, r.size() > dib ? r.size() - dib : 0);
    const std::size_t info = DibInfoBytes(all, palette);
    if (info == 0 || info > std::size_t(all.size()))
        return;
    const QImage image = DecodeMetafileDib(all.first(qsizetype(info)), all.sliced(qsizetype(info)), palette,
                                           m_canvas.decodeDib);
    if (image.isNull())
        return;
    if (source.width() == 0 || source.height() == 0)
        source.setSize(function == META_SETDIBTODEV ? source.size() : QSizeF(image.size()));
    if (function == META_DIBBITBLT) // unstretched: the rest of the bitmap from the source corner
        source.setSize(QSizeF(image.width() - source.x(), image.height() - source.y()));
    if (function == META_SETDIBTODEV || function == META_STRETCHDIB) // source rows count from the bottom
        source.moveTop(image.height() - source.top() - source.height());
    m_canvas.bitmap(dest, image, source, function == META_SETDIBTODEV ? 0x00CC0020u : rop);
}

// Records that change the device context's settings.
void WmfPlayer::setState(quint16 function, const RecordBytes& r)
{
    DcState& dc = m_canvas.dc;
    switch (function) {
    case META_SETBKCOLOR: dc.bkColour = r.colour(0); break;
    case META_SETBKMODE: dc.bkMode = r.u16(0); break;
    case META_SETMAPMODE: dc.map.mode = r.u16(0); break;
    case META_SETROP2: dc.rop2 = r.u16(0); break;
    case META_SETPOLYFILLMODE: dc.fillMode = r.u16(0); break;
    case META_SETTEXTCHAREXTRA: dc.charExtra = r.s16(0); break;
    case META_SETTEXTCOLOR: dc.textColour = r.colour(0); break;
    case META_SETTEXTALIGN: dc.textAlign = r.u16(0); break;
    case META_SETWINDOWORG: dc.map.windowOrg = yx(r, 0); break;
    case META_SETWINDOWEXT: dc.map.setWindowExt(r.s16(2), r.s16(0)); break;
    case META_SETVIEWPORTORG: dc.map.viewportOrg = yx(r, 0); break;
    case META_SETVIEWPORTEXT: dc.map.setViewportExt(r.s16(2), r.s16(0)); break;
    case META_OFFSETWINDOWORG: dc.map.windowOrg += yx(r, 0); break;
    case META_OFFSETVIEWPORTORG: dc.map.viewportOrg += yx(r, 0); break;
    case META_SCALEWINDOWEXT: dc.map.scaleWindowExt(r.s16(6), r.s16(4), r.s16(2), r.s16(0)); break;
    case META_SCALEVIEWPORTEXT: dc.map.scaleViewportExt(r.s16(6), r.s16(4), r.s16(2), r.s16(0)); break;
    default: break; // palettes, escapes, flood fills and the rest
    }
}

// Pens, brushes, fonts, palettes and regions. Every creation takes a slot,
// drawn or not, so that later handles stay right.
void WmfPlayer::createObject(quint16 function, const RecordBytes& r)
{
    GdiObject o;
    switch (function) {
    case META_CREATEPENINDIRECT: o = GdiObject::makePen(r.u16(0), std::abs(r.s16(2)), r.colour(6)); break;
    case META_CREATEBRUSHINDIRECT: o = GdiObject::makeBrush(r.u16(0), r.colour(2), r.u16(6)); break;
    case META_CREATEFONTINDIRECT:
        o.kind = GdiObject::Font;
        o.font = readFont(r);
        break;
    case META_DIBCREATEPATTERNBRUSH:
    case META_CREATEPATTERNBRUSH:
        o = GdiObject::makeBrush(3, Qt::gray);
        if (function == META_DIBCREATEPATTERNBRUSH) {
            const bool palette = r.u16(2) == 1 && r.u16(0) != 3;
            const QByteArrayView all = r.bytes(4, r.size() > 4 ? r.size() - 4 : 0);
            const std::size_t info = DibInfoBytes(all, palette);
            if (info > 0 && info <= std::size_t(all.size()))
                o.brush.pattern = DecodeMetafileDib(all.first(qsizetype(info)), all.sliced(qsizetype(info)),
                                                    palette, m_canvas.decodeDib);
        }
        break;
    case META_CREATEPALETTE: o.kind = GdiObject::Palette; break;
    case META_CREATEREGION:
        o.kind = GdiObject::Region;
        o.region = readRegion(r);
        break;
    default: return;
    }
    addObject(std::move(o));
}

void WmfPlayer::polyPolygon(const RecordBytes& r)
{
    const std::size_t n = r.u16(0);
    if (!r.has(2, n * 2))
        return;
    std::vector<QPolygonF> polygons;
    std::size_t o = 2 + n * 2;
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t count = r.u16(2 + 2 * i);
        if (!r.has(o, count * 4))
            return;
        polygons.push_back(points16(r, o, count));
        o += count * 4;
    }
    m_canvas.polygons(polygons);
}

// Fill, paint, frame or invert a region object.
void WmfPlayer::drawRegion(quint16 function, const RecordBytes& r)
{
    const QPainterPath* p = region(r.u16(0));
    if (!p)
        return;
    const QPainterPath picture = m_canvas.logicalToPicture().map(*p);
    const GdiObject* brush = m_objects.get(r.u16(2));
    if (function == META_PAINTREGION)
        m_canvas.fillRegion(picture, m_canvas.dc.brush);
    else if (function == META_INVERTREGION)
        m_canvas.invertRegion(picture);
    else if (brush && brush->kind == GdiObject::Brush && function == META_FILLREGION)
        m_canvas.fillRegion(picture, brush->brush);
    else if (brush && brush->kind == GdiObject::Brush)
        m_canvas.frameRegion(picture, brush->brush, r.s16(6), r.s16(4));
}

void WmfPlayer::play(quint16 function, const RecordBytes& r)
{
    switch (function) {
    case META_LINETO: m_canvas.lineTo(yx(r, 0)); break;
    case META_MOVETO: m_canvas.moveTo(yx(r, 0)); break;
    case META_EXCLUDECLIPRECT: m_canvas.excludeClipRect(btrl(r, 0)); break;
    case META_INTERSECTCLIPRECT: m_canvas.intersectClipRect(btrl(r, 0)); break;
    case META_OFFSETCLIPRGN: m_canvas.offsetClip(yx(r, 0)); break;
    case META_ARC:
    case META_PIE:
    case META_CHORD:
        if (r.has(0, 16))
            m_canvas.arc(function == META_ARC ? ArcKind::Arc : function == META_PIE ? ArcKind::Pie : ArcKind::Chord,
                         btrl(r, 8), yx(r, 4), yx(r, 0));
        break;
    case META_ELLIPSE:
        if (r.has(0, 8))
            m_canvas.ellipse(btrl(r, 0));
        break;
    case META_RECTANGLE:
        if (r.has(0, 8))
            m_canvas.rectangle(btrl(r, 0));
        break;
    case META_ROUNDRECT:
        if (r.has(0, 12))
            m_canvas.roundRect(btrl(r, 4), QSizeF(r.s16(2), r.s16(0)));
        break;
    case META_PATBLT:
        if (r.has(0, 12))
            m_canvas.patBlt(QRectF(r.s16(10), r.s16(8), r.s16(6), r.s16(4)), r.u32(0));
        break;
    case META_SAVEDC: m_canvas.saveDc(); break;
    case META_RESTOREDC: m_canvas.restoreDc(r.s16(0)); break;
    case META_SETPIXEL:
        if (r.has(0, 8))
            m_canvas.setPixel(yx(r, 4), r.colour(0));
        break;
    case META_TEXTOUT: text(r, false); break;
    case META_EXTTEXTOUT: text(r, true); break;
    case META_POLYGON: m_canvas.polygons({points16(r, 2, r.u16(0))}); break;
    case META_POLYLINE: m_canvas.polyline(points16(r, 2, r.u16(0)), false); break;
    case META_POLYPOLYGON: polyPolygon(r); break;
    case META_SELECTOBJECT: select(r.u16(0)); break;
    case META_DELETEOBJECT: m_objects.remove(r.u16(0)); break;
    case META_SELECTCLIPREGION:
        if (const QPainterPath* p = region(r.u16(0)))
            m_canvas.combineClip(m_canvas.logicalToPicture().map(*p), RGN_COPY);
        else
            m_canvas.resetClip();
        break;
    case META_FILLREGION:
    case META_PAINTREGION:
    case META_FRAMEREGION:
    case META_INVERTREGION: drawRegion(function, r); break;
    case META_CREATEPENINDIRECT:
    case META_CREATEBRUSHINDIRECT:
    case META_CREATEFONTINDIRECT:
    case META_DIBCREATEPATTERNBRUSH:
    case META_CREATEPATTERNBRUSH:
    case META_CREATEPALETTE:
    case META_CREATEREGION: createObject(function, r); break;
    case META_BITBLT:
    case META_STRETCHBLT:
    case META_DIBBITBLT:
    case META_DIBSTRETCHBLT:
    case META_STRETCHDIB:
    case META_SETDIBTODEV: dibBlt(r, function); break;
    default: setState(function, r); break;
    }
}

} // namespace

MetafileHeader ReadWmfHeader(QByteArrayView data, WmfLayout* layout)
{
    const RecordBytes file(reinterpret_cast<const uchar*>(data.data()), std::size_t(data.size()));
    MetafileHeader header;
    std::size_t start = 0;
    QRectF bounds;
    double unitsPerInch = 0;
    if (file.u32(0) == kPlaceableKey) {
        if (!file.has(0, kPlaceableBytes))
            throw EMetafile(QStringLiteral("The metafile header is cut short"));
        bounds = QRectF(QPointF(file.s16(6), file.s16(8)), QPointF(file.s16(10), file.s16(12)));
        unitsPerInch = file.u16(14);
        start = kPlaceableBytes;
        header.kind = MetafileKind::PlaceableWmf;
    }
    const quint16 type = file.u16(start), words = file.u16(start + 2);
    if (!file.has(start, kHeaderBytes) || (type != 1 && type != 2) || words != 9)
        throw EMetafile(QStringLiteral("The file is not a Windows metafile"));
    const std::size_t first = start + kHeaderBytes;

    double width = 0, height = 0;
    if (header.kind == MetafileKind::PlaceableWmf) {
        if (unitsPerInch <= 0)
            throw EMetafile(QStringLiteral("The metafile gives no units per inch"));
        width = std::round(std::abs(bounds.width()) * 96 / unitsPerInch);
        height = std::round(std::abs(bounds.height()) * 96 / unitsPerInch);
    } else {
        // Without the placeable header: the frame of an enhanced metafile
        // that the file carries in its comments, else the first window extent.
        std::size_t pos = first;
        for (std::size_t n = 0; n < kMaxRecords && file.has(pos, kRecordHeader); ++n) {
            const quint64 bytes = quint64(file.u32(pos)) * 2;
            const quint16 function = file.u16(pos + 4);
            if (bytes < kRecordHeader || bytes > file.size() - pos || function == META_EOF)
                break;
            if (function == META_SETWINDOWEXT && bytes >= kRecordHeader + 4 && width == 0) {
                width = std::abs(file.s16(pos + 8));
                height = std::abs(file.s16(pos + 6));
            }
            const std::size_t p = pos + kRecordHeader;
            if (function == META_ESCAPE && file.u16(p) == kMfComment && file.u32(p + 4) == kEmbeddedEmfKey
                && bytes > kRecordHeader + kEmbeddedEmfData) {
                try {
                    const QSize frame = ReadEmfHeader(data.sliced(qsizetype(p + kEmbeddedEmfData),
                                                                  qsizetype(bytes - kRecordHeader - kEmbeddedEmfData)))
                                            .size;
                    width = frame.width();
                    height = frame.height();
                    break;
                } catch (const EMetafile&) {
                }
            }
            pos += std::size_t(bytes);
        }
    }
    if (!qv::pictureSizeAllowed(qint64(width), qint64(height)))
        throw EMetafile(QStringLiteral("The metafile's picture size is missing or too large"));
    header.size = QSize(int(width), int(height));
    if (layout) {
        layout->firstRecord = first;
        layout->objectCount = file.u16(start + 10);
        layout->bounds = bounds;
    }
    return header;
}

void PlayWmf(QByteArrayView data, QPainter& painter, const QRectF& target, const DibDecoder& decodeDib)
{
    WmfLayout layout;
    const MetafileHeader header = ReadWmfHeader(data, &layout);
    const RecordBytes file(reinterpret_cast<const uchar*>(data.data()), std::size_t(data.size()));
    GdiCanvas canvas(painter, QTransform(), target, decodeDib);
    // The window (the placeable bounds until the records say otherwise) fills the target.
    Mapping& map = canvas.dc.map;
    map.mode = MM_ANISOTROPIC;
    map.viewportOrg = target.topLeft();
    map.viewportExt = target.size();
    if (header.kind == MetafileKind::PlaceableWmf) {
        map.windowOrg = layout.bounds.topLeft();
        map.setWindowExt(layout.bounds.width(), layout.bounds.height());
    } else {
        map.windowExt = QSizeF(header.size);
    }
    map.pixelsPerMmX = 96 / 25.4 * target.width() / header.size.width();
    map.pixelsPerMmY = 96 / 25.4 * target.height() / header.size.height();

    WmfPlayer player(canvas, layout.objectCount);
    std::size_t pos = layout.firstRecord;
    for (std::size_t n = 0; n < kMaxRecords && file.has(pos, kRecordHeader) && !canvas.exhausted(); ++n) {
        const quint64 bytes = quint64(file.u32(pos)) * 2;
        const quint16 function = file.u16(pos + 4);
        if (bytes < kRecordHeader || bytes > file.size() - pos || function == META_EOF)
            break;
        player.play(function, RecordBytes(reinterpret_cast<const uchar*>(data.data()) + pos + kRecordHeader,
                                          std::size_t(bytes) - kRecordHeader));
        pos += std::size_t(bytes);
    }
}

} // namespace qv::metafile

// The drawing state both metafile kinds share: GDI objects and their table,
// the mapping from logical units to the picture, and a canvas that draws
// GDI's shapes, text and bitmaps through QPainter.
#pragma once
#include "platform/byte_cursor.h"
#include "platform/metafile_player.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QString>
#include <QTransform>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace qv::metafile {

// Checked little-endian field reads inside one record: a field that does not
// fit reads as 0, so callers check the sizes they rely on first.
class RecordBytes {
public:
    RecordBytes(const uchar* data, std::size_t size) : m_bytes(QByteArrayView(data, qsizetype(size))) {}
    std::size_t size() const { return m_bytes.size(); }
    bool has(std::size_t offset, std::size_t count) const { return m_bytes.holds(offset, count); }
    quint16 u16(std::size_t o) const
    {
        quint16 v = 0;
        return m_bytes.u16At(o, &v) ? v : 0;
    }
    qint16 s16(std::size_t o) const { return qint16(u16(o)); }
    quint32 u32(std::size_t o) const
    {
        quint32 v = 0;
        return m_bytes.u32At(o, &v) ? v : 0;
    }
    qint32 s32(std::size_t o) const { return qint32(u32(o)); }
    float f32(std::size_t o) const;
    quint8 u8(std::size_t o) const
    {
        const uchar* p = m_bytes.at(o, 1);
        return p ? *p : 0;
    }
    // The bytes at [o, o + n), or an empty view when they do not fit.
    QByteArrayView bytes(std::size_t o, std::size_t n) const
    {
        const uchar* p = m_bytes.at(o, n);
        return p ? QByteArrayView(p, qsizetype(n)) : QByteArrayView();
    }
    // COLORREF: red, green, blue, flags.
    QColor colour(std::size_t o) const { return QColor(u8(o), u8(o + 1), u8(o + 2)); }

private:
    ByteCursor m_bytes;
};

// Mapping modes.
enum : int { MM_TEXT = 1, MM_LOMETRIC, MM_HIMETRIC, MM_LOENGLISH, MM_HIENGLISH, MM_TWIPS, MM_ISOTROPIC, MM_ANISOTROPIC };

// Page space to device space: the mapping mode with the window and viewport.
struct Mapping {
    int mode = MM_TEXT;
    QPointF windowOrg, viewportOrg;
    QSizeF windowExt{1, 1}, viewportExt{1, 1};
    // Device pixels per millimetre, for the modes with fixed units.
    double pixelsPerMmX = 96 / 25.4, pixelsPerMmY = 96 / 25.4;

    QTransform pageToDevice() const;
    // Window and viewport extents that ignore zero, as GDI refuses them.
    void setWindowExt(double cx, double cy);
    void setViewportExt(double cx, double cy);
    void scaleWindowExt(double xNum, double xDenom, double yNum, double yDenom);
    void scaleViewportExt(double xNum, double xDenom, double yNum, double yDenom);
};

struct LogPen {
    quint32 style = 0; // PS_*: style, end cap, join, geometric flag
    double width = 0;  // logical units; 0 is one device pixel
    QColor colour = Qt::black;
    std::vector<double> dashes; // PS_USERSTYLE lengths, logical units
};

struct LogBrush {
    quint32 style = 0; // BS_*
    QColor colour = Qt::white;
    quint32 hatch = 0;
    QImage pattern;
};

struct LogFont {
    int height = 0; // < 0 character height, > 0 cell height, 0 the default
    int width = 0, escapement = 0, orientation = 0, weight = 400;
    bool italic = false, underline = false, strikeOut = false;
    quint8 charset = 0, pitchAndFamily = 0;
    QString face;
};

// A region or clip as a path in the picture's pixels.
struct GdiObject {
    enum Kind { Pen, Brush, Font, Region, Palette } kind = Pen;
    LogPen pen;
    LogBrush brush;
    LogFont font;
    QPainterPath region;

    static GdiObject makePen(quint32 style, double width, QColor colour)
    {
        GdiObject o;
        o.pen = {style, width, colour, {}};
        return o;
    }
    static GdiObject makeBrush(quint32 style, QColor colour, quint32 hatch = 0)
    {
        GdiObject o;
        o.kind = Brush;
        o.brush = {style, colour, hatch, {}};
        return o;
    }
};

// The handle table of a metafile. Handles index it; a handle outside it or to
// an empty slot names nothing.
class ObjectTable {
public:
    explicit ObjectTable(std::size_t size) : m_slots(size) {}
    std::size_t size() const { return m_slots.size(); }
    // WMF: the object takes the lowest free slot; -1 when the table is full.
    long addToFreeSlot(GdiObject object);
    // EMF: the object takes the slot it names, replacing what was there.
    bool put(std::size_t index, GdiObject object);
    const GdiObject* get(std::size_t index) const;
    bool remove(std::size_t index);

private:
    std::vector<std::unique_ptr<GdiObject>> m_slots;
    std::size_t m_firstFree = 0;
};

// The stock objects that EMF handles with the high bit set name, and the default
// objects of a fresh device context.
std::optional<GdiObject> StockObject(quint32 index);

// Clip state kept as a path in picture pixels, with a rectangle fast path.
struct Clip {
    bool on = false;
    bool isRect = true;
    QRectF rect;
    QPainterPath path;
    QPainterPath asPath() const;
};

enum : int { R2_BLACK = 1, R2_NOTMERGEPEN, R2_MASKNOTPEN, R2_NOTCOPYPEN, R2_MASKPENNOT, R2_NOT, R2_XORPEN,
             R2_NOTMASKPEN, R2_MASKPEN, R2_NOTXORPEN, R2_NOP, R2_MERGENOTPEN, R2_COPYPEN, R2_MERGEPENNOT,
             R2_MERGEPEN, R2_WHITE };
enum : int { TRANSPARENT = 1, OPAQUE = 2 };
enum : int { ALTERNATE = 1, WINDING = 2 };
enum : quint32 { TA_UPDATECP = 1, TA_RIGHT = 2, TA_CENTER = 6, TA_BOTTOM = 8, TA_BASELINE = 24 };
enum : quint32 { ETO_OPAQUE = 2, ETO_CLIPPED = 4, ETO_GLYPH_INDEX = 0x10, ETO_PDY = 0x2000 };
enum : int { RGN_AND = 1, RGN_OR, RGN_XOR, RGN_DIFF, RGN_COPY };

struct DcState {
    Mapping map;
    QTransform world;
    LogPen pen;
    LogBrush brush;
    LogFont font;
    QColor textColour = Qt::black, bkColour = Qt::white;
    int bkMode = OPAQUE, fillMode = ALTERNATE, rop2 = R2_COPYPEN;
    quint32 textAlign = 0;
    double charExtra = 0;
    bool clockwiseArcs = false;
    double miterLimit = 10;
    QPointF current; // logical
    Clip clip;
};

enum class ArcKind { Arc, Chord, Pie, ArcTo };

// Draws GDI operations onto a painter. Coordinates given to it are logical;
// it maps them through the world transform, the page mapping and the device
// to picture transform, and draws in picture pixels with the painter's own
// transform left as identity (so pens, hatches and patterns are device-sized,
// as in GDI).
class GdiCanvas {
public:
    GdiCanvas(QPainter& painter, const QTransform& deviceToPicture, const QRectF& target, const DibDecoder& decodeDib);

    DcState dc;
    const DibDecoder& decodeDib;

    QTransform logicalToPicture() const { return dc.world * dc.map.pageToDevice() * m_deviceToPicture; }
    const QTransform& deviceToPicture() const { return m_deviceToPicture; }
    // True once the drawing budget is spent: the rest of the picture is dropped.
    bool exhausted() const { return m_budget < 0; }

    void saveDc();
    void restoreDc(int which); // < 0: relative, > 0: absolute

    void moveTo(QPointF p);
    void lineTo(QPointF p);
    void polyline(const QPolygonF& points, bool fromCurrent);
    void polyPolyline(const std::vector<QPolygonF>& lines);
    void polygons(const std::vector<QPolygonF>& polygons);
    void beziers(const QPolygonF& points, bool fromCurrent);
    // PolyDraw: PT_MOVETO, PT_LINETO, PT_BEZIERTO with PT_CLOSEFIGURE.
    void polyDraw(const QPolygonF& points, const QByteArrayView& types);
    void rectangle(QRectF r);
    void roundRect(QRectF r, QSizeF corner);
    void ellipse(QRectF r);
    void arc(ArcKind kind, QRectF box, QPointF start, QPointF end);
    void angleArc(QPointF centre, double radius, double startDeg, double sweepDeg);
    void setPixel(QPointF p, const QColor& colour);

    // Makes a pen, brush or font the current one; a region becomes the clip.
    void select(const GdiObject& object);

    // Text at a reference point, with optional advances (logical units, one
    // per character; pairs when ETO_PDY) and an optional rectangle.
    void text(QPointF reference, const QString& string, const std::vector<double>& advances, quint32 options,
              const std::optional<QRectF>& rect);

    // A bitmap into a logical rectangle (extents may be negative to mirror),
    // combined with the picture by a ternary raster operation.
    void bitmap(const QRectF& dest, const QImage& image, const QRectF& source, quint32 rop);
    void patBlt(const QRectF& dest, quint32 rop);
    void fillRegion(const QPainterPath& region, const LogBrush& brush);
    void frameRegion(const QPainterPath& region, const LogBrush& brush, double w, double h);
    void invertRegion(const QPainterPath& region);

    void intersectClipRect(const QRectF& r);
    void excludeClipRect(const QRectF& r);
    void offsetClip(QPointF logical);
    // Combines a path in picture pixels with the clip (RGN_* mode).
    void combineClip(const QPainterPath& region, int mode);
    void resetClip();

    void beginPath();
    void endPath() { m_pathOpen = false; }
    void abortPath();
    void closeFigure();
    void fillPath();
    void strokePath();
    void strokeAndFillPath();
    void clipToPath(int mode);
    void flattenPath();

private:
    // Draws a logical path (filled and/or stroked), or adds it to the open path.
    void draw(const QPainterPath& logical, bool fill, bool stroke, bool connect = false);
    void drawPicturePath(const QPainterPath& picture, bool fill, bool stroke, const QBrush* brush = nullptr);
    // Charges the budget for painting an area (picture pixels) in a number of steps.
    bool spend(const QRectF& pictureArea, double steps = 1);
    void applyClip();
    void applyRop2();
    QPen picturePen(const LogPen& pen) const;
    QBrush pictureBrush(const LogBrush& brush) const;
    double pictureScale() const;
    bool flipsY() const;
    void moveCurrentPastText(QPointF reference, double logicalWidth, quint32 horizontal);
    QFont pictureFont(double* emPixels) const;

    QPainter& m_painter;
    QTransform m_base; // the painter's own transform when we began
    QTransform m_deviceToPicture;
    QRectF m_target;
    std::vector<DcState> m_saved;
    QPainterPath m_path; // picture pixels
    bool m_pathOpen = false;
    double m_budget;
    bool m_clipApplied = false;
};

// Builds the packed bitmap that a DibDecoder takes from a metafile's bitmap
// info (any of the 12, 40, 108 or 124 byte headers) and bits; colour tables
// of palette indices become greys. Empty when the info is malformed or the
// bits cannot justify the picture's size.
QByteArray PackDib(QByteArrayView info, QByteArrayView bits, bool paletteIndices);
// Bytes of a DIB's header and colour table, where its bits begin when they
// follow at once (WMF records); 0 when the header is not one we know.
std::size_t DibInfoBytes(QByteArrayView dib, bool paletteIndices);
// PackDib then the decoder; PNG and JPEG compressed bitmaps through Qt.
QImage DecodeMetafileDib(QByteArrayView info, QByteArrayView bits, bool paletteIndices, const DibDecoder& decode);
// 8-bit text of a metafile: Windows-1252.
QString DecodeAnsiText(QByteArrayView bytes);

// The records of each kind onto a canvas (metafile_wmf.cpp, metafile_emf.cpp).
struct WmfLayout {
    std::size_t firstRecord = 0; // byte offset after the headers
    std::size_t objectCount = 0;
    QRectF bounds; // placeable bounds in logical units; empty otherwise
};
MetafileHeader ReadWmfHeader(QByteArrayView data, WmfLayout* layout);
void PlayWmf(QByteArrayView data, QPainter& painter, const QRectF& target, const DibDecoder& decodeDib);
MetafileHeader ReadEmfHeader(QByteArrayView data);
void PlayEmf(QByteArrayView data, QPainter& painter, const QRectF& target, const DibDecoder& decodeDib);

// Records one metafile may hold: far above what real pictures need.
inline constexpr std::size_t kMaxRecords = 4'000'000;
// Nested saves of the device context that we keep.
inline constexpr std::size_t kMaxSavedStates = 1024;

} // namespace qv::metafile

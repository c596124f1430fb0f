// The metafile player: office-suite metafiles against the suite's own
// renderings, the mapping arithmetic, handle-table rules and damaged files.
#include "platform/metafile_gdi.h"
#include "platform/metafile_player.h"
#include "testutil.h"

#include <QtEndian>
#include <gtest/gtest.h>

using namespace qv::metafile;

namespace {

// Bitmaps through Qt's own BMP reader: an independent decoder.
QImage decodeWithQt(QByteArrayView dib)
{
    QByteArray file("BM");
    file.append(QByteArray(12, '\0'));
    const quint32 colours = qFromLittleEndian<quint32>(dib.data() + 32);
    const int bits = qFromLittleEndian<quint16>(dib.data() + 14);
    const quint32 table = bits <= 8 ? 4 * (colours ? colours : 1u << bits)
                                    : qFromLittleEndian<quint32>(dib.data() + 16) == 3 ? 12 : 0;
    qToLittleEndian<quint32>(quint32(14 + dib.size()), file.data() + 2);
    qToLittleEndian<quint32>(14 + 40 + table, file.data() + 10);
    file.append(dib.data(), dib.size());
    return QImage::fromData(file, "BMP");
}

QImage render(const QByteArray& bytes) { return RenderMetafile(bytes, decodeWithQt); }

QByteArray dataFile(const QString& name)
{
    return qvtest::readFile(qvtest::sourceDir() + "/tests/data/metafile/" + name);
}

// Mean channel difference after a 3 x 3 box blur, and the share of pixels
// whose blurred colour is more than 96 off in some channel: edges and text
// antialiasing stay well inside the bounds, a missing or misplaced shape does not.
struct Difference {
    double mean = 0, farShare = 0;
};

QImage blurred(const QImage& in)
{
    const QImage src = in.convertToFormat(QImage::Format_RGB32);
    QImage out(src.size(), QImage::Format_RGB32);
    for (int y = 0; y < src.height(); ++y)
        for (int x = 0; x < src.width(); ++x) {
            int r = 0, g = 0, b = 0, n = 0;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) {
                    const int sx = x + dx, sy = y + dy;
                    if (sx < 0 || sy < 0 || sx >= src.width() || sy >= src.height())
                        continue;
                    const QRgb p = src.pixel(sx, sy);
                    r += qRed(p), g += qGreen(p), b += qBlue(p), ++n;
                }
            out.setPixel(x, y, qRgb(r / n, g / n, b / n));
        }
    return out;
}

Difference compare(const QImage& a, const QImage& b)
{
    const QImage ba = blurred(a), bb = blurred(b);
    const int w = std::min(a.width(), b.width()), h = std::min(a.height(), b.height());
    double sum = 0;
    long far = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const QRgb p = ba.pixel(x, y), q = bb.pixel(x, y);
            const int dr = std::abs(qRed(p) - qRed(q)), dg = std::abs(qGreen(p) - qGreen(q)),
                      db = std::abs(qBlue(p) - qBlue(q));
            sum += (dr + dg + db) / 3.0;
            far += std::max({dr, dg, db}) > 96;
        }
    return {sum / (double(w) * h), double(far) / (double(w) * h)};
}

// A plain WMF of 16-bit records.
class WmfWriter {
public:
    void record(quint16 function, std::initializer_list<int> words)
    {
        put32(quint32(3 + words.size()));
        put16(function);
        for (int w : words)
            put16(quint16(w));
    }
    QByteArray finish(quint16 objects)
    {
        record(0, {});
        QByteArray header(18, '\0');
        qToLittleEndian<quint16>(1, header.data());
        qToLittleEndian<quint16>(9, header.data() + 2);
        qToLittleEndian<quint16>(0x300, header.data() + 4);
        qToLittleEndian<quint32>(quint32((18 + m_records.size()) / 2), header.data() + 6);
        qToLittleEndian<quint16>(objects, header.data() + 10);
        return header + m_records;
    }

private:
    void put16(quint16 v) { m_records.append(char(v & 0xFF)).append(char(v >> 8)); }
    void put32(quint32 v) { put16(quint16(v)), put16(quint16(v >> 16)); }
    QByteArray m_records;
};

} // namespace

TEST(Metafile, OfficeSuiteDrawingsLookLikeTheSuitesRendering)
{
    // Each drawing as EMF (with EMF+ comments), placeable WMF and, for some, plain WMF.
    const struct {
        const char* file;
        const char* reference;
    } cases[] = {
        {"shapes.emf", "shapes.png"},     {"shapes.wmf", "shapes.png"},     {"shapes-plain.wmf", "shapes.png"},
        {"text.emf", "text.png"},         {"text.wmf", "text.png"},         {"text-plain.wmf", "text.png"},
        {"gradient.emf", "gradient.png"}, {"gradient.wmf", "gradient.png"}, {"raster.emf", "raster.png"},
        {"raster.wmf", "raster.png"},     {"clip.emf", "clip.png"},         {"clip.wmf", "clip.png"},
    };
    for (const auto& c : cases) {
        QImage reference;
        ASSERT_TRUE(reference.loadFromData(dataFile(c.reference), "PNG")) << c.reference;
        const QImage ours = render(dataFile(c.file));
        EXPECT_LE(std::abs(ours.width() - reference.width()), 1) << c.file;
        EXPECT_LE(std::abs(ours.height() - reference.height()), 1) << c.file;
        const Difference d = compare(ours, reference);
        EXPECT_LT(d.mean, 6.0) << c.file;
        EXPECT_LT(d.farShare, 0.03) << c.file;
        std::printf("%-18s mean %.2f far %.4f\n", c.file, d.mean, d.farShare);
    }
}

TEST(Metafile, MappingModes)
{
    const struct {
        int mode;
        QPointF windowOrg, viewportOrg;
        QSizeF windowExt, viewportExt;
        QPointF logical, device;
    } cases[] = {
        {MM_TEXT, {10, 20}, {1, 2}, {5, 5}, {7, 7}, {10, 20}, {1, 2}},
        {MM_ANISOTROPIC, {0, 0}, {0, 0}, {1000, 500}, {100, 100}, {500, 250}, {50, 50}},
        {MM_ANISOTROPIC, {100, 100}, {10, 10}, {200, -100}, {100, 100}, {300, 0}, {110, 110}},
        // Isotropic keeps the smaller scale on both axes, and each axis's sign.
        {MM_ISOTROPIC, {0, 0}, {0, 0}, {100, 100}, {200, -50}, {100, 100}, {50, -50}},
        // Fixed units grow upwards: 10 mm at 96 dots per inch.
        {MM_LOMETRIC, {0, 0}, {0, 0}, {1, 1}, {1, 1}, {100, 100}, {96 / 2.54, -96 / 2.54}},
        {MM_TWIPS, {0, 0}, {0, 0}, {1, 1}, {1, 1}, {1440, 0}, {96, 0}},
    };
    for (const auto& c : cases) {
        Mapping m;
        m.mode = c.mode;
        m.windowOrg = c.windowOrg;
        m.viewportOrg = c.viewportOrg;
        m.setWindowExt(c.windowExt.width(), c.windowExt.height());
        m.setViewportExt(c.viewportExt.width(), c.viewportExt.height());
        const QPointF d = m.pageToDevice().map(c.logical);
        EXPECT_NEAR(d.x(), c.device.x(), 1e-9) << c.mode;
        EXPECT_NEAR(d.y(), c.device.y(), 1e-9) << c.mode;
    }
    // Zero extents and zero denominators are refused, as GDI refuses them.
    Mapping m;
    m.setWindowExt(100, 200);
    m.setWindowExt(0, 50);
    m.scaleWindowExt(1, 0, 1, 1);
    EXPECT_EQ(m.windowExt, QSizeF(100, 200));
    m.scaleWindowExt(3, 2, 1, 4);
    EXPECT_EQ(m.windowExt, QSizeF(150, 50));
}

TEST(Metafile, HandleTableRules)
{
    ObjectTable t(3);
    GdiObject pen;
    EXPECT_EQ(t.addToFreeSlot(pen), 0);
    EXPECT_EQ(t.addToFreeSlot(pen), 1);
    EXPECT_TRUE(t.remove(0));
    EXPECT_FALSE(t.remove(0));
    EXPECT_EQ(t.addToFreeSlot(pen), 0); // the lowest free slot is taken again
    EXPECT_EQ(t.addToFreeSlot(pen), 2);
    EXPECT_EQ(t.addToFreeSlot(pen), -1); // full
    EXPECT_FALSE(t.put(3, pen));
    EXPECT_EQ(t.get(3), nullptr);
    EXPECT_EQ(t.get(0xFFFFFFFFu), nullptr);
    EXPECT_TRUE(StockObject(5).has_value());
    EXPECT_FALSE(StockObject(9).has_value());
    EXPECT_FALSE(StockObject(0x7FFFFFFF).has_value());

    // Drawn: slots reused after a delete, a selection outside the table
    // ignored, the clip undone by restoring the saved state.
    WmfWriter w;
    w.record(0x020C, {100, 100});                // window extent 100 x 100
    w.record(0x02FC, {0, 0x00FF, 0x0000, 0});    // slot 0: red brush
    w.record(0x02FC, {0, 0x0000, 0x00FF, 0});    // slot 1: blue brush
    w.record(0x02FA, {5, 0, 0, 0, 0});           // slot 2: null pen
    w.record(0x012D, {2});
    w.record(0x01F0, {0});                       // free slot 0
    w.record(0x02FC, {0, 0xFF00, 0x0000, 0});    // slot 0 again: green
    w.record(0x012D, {0});
    w.record(0x001E, {});                        // save
    w.record(0x0416, {100, 50, 0, 0});           // clip to the left half
    w.record(0x041B, {50, 100, 0, 0});           // top half
    w.record(0x0127, {-1});                      // restore: no clip
    w.record(0x012D, {1});
    w.record(0x012D, {7});                       // outside the table
    w.record(0x041B, {100, 100, 50, 0});         // bottom half
    const QImage image = render(w.finish(3));
    ASSERT_EQ(image.size(), QSize(100, 100));
    EXPECT_EQ(image.pixel(25, 25), qRgb(0, 255, 0));
    EXPECT_EQ(image.pixel(75, 25), qRgb(255, 255, 255));
    EXPECT_EQ(image.pixel(25, 75), qRgb(0, 0, 255));
    EXPECT_EQ(image.pixel(75, 75), qRgb(0, 0, 255));
}

TEST(Metafile, DamagedFilesAreRefusedOrDrawnInPart)
{
    EXPECT_THROW(ReadMetafileHeader(QByteArray()), EMetafile);
    EXPECT_THROW(ReadMetafileHeader(QByteArray(64, 'x')), EMetafile);
    // Fuzzed text of absurd stretch and size (once minutes and gigabytes of glyph cache) and of
    // the most negative escapement (once a signed overflow).
    for (const char* name : {"regress-wide-text.emf", "regress-text-memory.emf", "regress-escapement.emf"}) {
        try {
            render(dataFile(name));
        } catch (const EMetafile&) {
        }
    }
    for (const char* name : {"shapes.emf", "raster.emf", "shapes.wmf", "raster.wmf", "text-plain.wmf"}) {
        const QByteArray whole = dataFile(name);
        const QSize size = ReadMetafileHeader(whole).size;
        for (int cut = 1; cut < 12; ++cut) {
            try {
                const QImage image = render(whole.left(whole.size() * cut / 12));
                EXPECT_EQ(image.size(), size) << name; // truncation keeps the header's size
            } catch (const EMetafile&) {
            }
        }
    }
}

TEST(Metafile, BitmapInfoOfEachHeaderKindBecomesAPackedBitmap)
{
    // Two pixels at 1 bit (index 1, then 0): the 12-byte header with colour
    // triples and the 40-byte one with quads give the same picture.
    QByteArray info(40, '\0');
    qToLittleEndian<quint32>(40, info.data());
    qToLittleEndian<qint32>(2, info.data() + 4);
    qToLittleEndian<qint32>(1, info.data() + 8);
    qToLittleEndian<quint16>(1, info.data() + 12);
    qToLittleEndian<quint16>(1, info.data() + 14);
    info += QByteArray::fromHex("0000ff0000ff0000");
    const QByteArray core = QByteArray::fromHex("0c0000000200010001000100" "0000ff" "00ff00");
    const QByteArray bits = QByteArray::fromHex("80000000");
    EXPECT_EQ(DibInfoBytes(info, false), 48u);
    EXPECT_EQ(DibInfoBytes(core, false), 18u);
    for (const QByteArray& header : {info, core}) {
        const QImage image = decodeWithQt(PackDib(header, bits, false));
        ASSERT_EQ(image.size(), QSize(2, 1));
        EXPECT_EQ(image.pixel(0, 0), qRgb(0, 255, 0));
        EXPECT_EQ(image.pixel(1, 0), qRgb(255, 0, 0));
    }
    // Bits too few for the stated height are refused before anything is allocated.
    QByteArray tall = info;
    qToLittleEndian<qint32>(60000, tall.data() + 8);
    EXPECT_TRUE(PackDib(tall, bits, false).isEmpty());
    EXPECT_EQ(DibInfoBytes(QByteArray::fromHex("0d000000"), false), 0u);
}

// The drawing preview reader on drawings built here: whole previews, row
// alignment, previews larger than the data block, and files without a preview.
// Qt's bmp reader, given the same preview as a bitmap file, is the reference.
#include "formats/cdr_map.h"
#include "formats/fixture_tools.h"

#include <QBuffer>
#include <QTemporaryDir>

using namespace qvtest;

namespace {

QByteArray infoHeader(qint32 width, qint32 height, int bits)
{
    QByteArray h;
    appendLe32(h, 40);
    appendLe32(h, quint32(width));
    appendLe32(h, quint32(height));
    appendLe16(h, 1);
    appendLe16(h, unsigned(bits));
    for (int i = 0; i < 6; ++i)
        appendLe32(h, 0);
    return h;
}

// A drawing: RIFF header and version chunk, the preview chunk's header, the
// preview's info header at 34, its table and rows at 74, then more chunks.
QByteArray drawing(const QByteArray& header, const QByteArray& tableAndRows)
{
    QByteArray d("RIFF");
    appendLe32(d, 0);
    d.append("CDR6vrsn");
    appendLe32(d, 2);
    appendLe16(d, 600); // version
    d.append("DISP");
    appendLe32(d, quint32(44 + tableAndRows.size()));
    appendLe32(d, 0); // format
    EXPECT_EQ(d.size(), 34);
    d.append(header);
    d.append(tableAndRows);
    d.append("page");
    appendLe32(d, 64);
    d.append(QByteArray(64, '\x5A'));
    return d;
}

// A colour table of 2^bits entries and rows of distinct indices or colours.
QByteArray previewData(int width, int height, int bits)
{
    QByteArray b;
    if (bits <= 8)
        for (int i = 0; i < (1 << bits); ++i) {
            b.append(char(i * 3));
            b.append(char(255 - i));
            b.append(char(i * 7));
            b.append('\0');
        }
    const int stride = (width * bits + 31) / 32 * 4;
    for (int y = 0; y < height; ++y) {
        QByteArray row(stride, '\0');
        for (int x = 0; x < width; ++x) {
            const int v = (x * 5 + y * 3) & ((1 << std::min(bits, 8)) - 1);
            if (bits == 8)
                row[x] = char(v);
            else if (bits == 4)
                row[x / 2] = char(row[x / 2] | (x & 1 ? v : v << 4));
            else if (bits == 1)
                row[x / 8] = char(row[x / 8] | ((v & 1) << (7 - x % 8)));
            else {
                row[3 * x] = char(x * 9);
                row[3 * x + 1] = char(y * 11);
                row[3 * x + 2] = char(x + y);
            }
        }
        b.append(row);
    }
    return b;
}

// The same preview read by Qt's bmp reader from a bitmap file.
QImage qtDecode(const QByteArray& header, const QByteArray& tableAndRows, int bits)
{
    QByteArray f("BM");
    const quint32 table = bits <= 8 ? 4u << bits : 0u;
    appendLe32(f, quint32(14 + 40 + tableAndRows.size()));
    appendLe32(f, 0);
    appendLe32(f, 14 + 40 + table);
    f.append(header);
    f.append(tableAndRows);
    return QImage::fromData(f, "bmp");
}

QImage load(const QByteArray& bytes)
{
    TCdrMap map;
    map.LoadFromBytes(bytes);
    return map.Bitmap();
}

} // namespace

TEST(TCdrMap, WholePreviewsOfEveryDepth)
{
    // 128 x 128 at 8 bits is 1024 + 16384 bytes; odd widths need padded rows.
    const struct {
        int width, height, bits;
    } cases[] = {{128, 128, 8}, {13, 5, 8}, {5, 7, 4}, {9, 3, 1}, {3, 4, 24}, {61, 40, 24}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << "x" << c.bits);
        const QByteArray header = infoHeader(c.width, c.height, c.bits);
        const QByteArray data = previewData(c.width, c.height, c.bits);
        TCdrMap map;
        map.LoadFromBytes(drawing(header, data));
        EXPECT_EQ(map.BitsPerPixel(), c.bits);
        EXPECT_EQ(map.kindName(), "TCdrMap");
        const QImage reference = qtDecode(header, data, c.bits);
        ASSERT_FALSE(reference.isNull());
        EXPECT_TRUE(samePixels(map.Bitmap().convertToFormat(QImage::Format_RGB32),
                               reference.convertToFormat(QImage::Format_RGB32)));
    }
}

TEST(TCdrMap, PreviewBeyondTheDataBlockIsCut)
{
    // 200 x 200 at 8 bits needs 1024 + 40000 bytes: the block holds the table
    // and 94 whole rows (bottom first); the rows above keep colour 0.
    const QByteArray header = infoHeader(200, 200, 8);
    const QByteArray data = previewData(200, 200, 8);
    const QImage image = load(drawing(header, data));
    ASSERT_EQ(image.size(), QSize(200, 200));
    const QImage full = qtDecode(header, data, 8);
    const int kept = (TCdrMap::kDataBlockSize - 1024) / 200;
    ASSERT_EQ(kept, 94);
    for (int y = 0; y < 200; ++y) {
        const bool inBlock = y >= 200 - kept;
        for (int x = 0; x < 200; x += 7)
            ASSERT_EQ(image.pixel(x, y), inBlock ? full.pixel(x, y) : full.color(0)) << x << "," << y;
    }

    // A drawing cut inside its fourth row: three rows, the rest colour 0.
    const QByteArray small = previewData(10, 10, 8);
    const QImage part = load(drawing(infoHeader(10, 10, 8), small).left(74 + 1024 + 12 * 3 + 5));
    const QImage whole = qtDecode(infoHeader(10, 10, 8), small, 8);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x)
            ASSERT_EQ(part.pixel(x, y), y >= 7 ? whole.pixel(x, y) : whole.color(0)) << x << "," << y;
}

TEST(TCdrMap, NoPreviewGivesAnError)
{
    TCdrMap map;
    map.LoadFromBytes(drawing(infoHeader(4, 4, 8), previewData(4, 4, 8)));
    ASSERT_EQ(map.Width(), 4);

    QByteArray notBitmap = drawing(infoHeader(4, 4, 8), previewData(4, 4, 8));
    notBitmap[34] = 12; // an info header of another size
    QByteArray tooWide = drawing(infoHeader(70000, 1, 1), QByteArray(8, '\0'));
    // 1024 x 1251 at 8 bits is just over 64 data blocks; 1024 x 1249 just under.
    QByteArray tooLarge = drawing(infoHeader(1024, 1251, 8), previewData(16, 16, 8));
    EXPECT_NO_THROW(map.LoadFromBytes(drawing(infoHeader(1024, 1249, 8), previewData(16, 16, 8))));
    EXPECT_EQ(map.Height(), 1249);
    map.LoadFromBytes(drawing(infoHeader(4, 4, 8), previewData(4, 4, 8)));
    QByteArray noDepth = drawing(infoHeader(4, 4, 0), QByteArray(64, '\0'));
    QByteArray tableCut = drawing(infoHeader(4, 4, 8), QByteArray(100, '\0')).left(74 + 100);
    for (const QByteArray& bytes : {QByteArray(), QByteArray("RIFF"), QByteArray(73, 'x'), notBitmap, tooWide,
                                    tooLarge, noDepth, tableCut}) {
        EXPECT_THROW(map.LoadFromBytes(bytes), EInvalidGraphic) << bytes.size();
        EXPECT_EQ(map.Width(), 4); // the previous picture stays
    }
    EXPECT_THROW(map.LoadFromFile("/nonexistent/drawing.cdr"), EInvalidGraphic);
}

TEST(TCdrMap, LoadsFromFileAndFromTheStartOfAStream)
{
    QTemporaryDir dir;
    const QByteArray bytes = drawing(infoHeader(6, 2, 24), previewData(6, 2, 24));
    const QString path = dir.filePath("a.cdr");
    writeFile(path, bytes);
    TCdrMap fromFile;
    fromFile.LoadFromFile(path);
    EXPECT_TRUE(samePixels(fromFile.Bitmap(), qtDecode(infoHeader(6, 2, 24), previewData(6, 2, 24), 24)));

    QByteArray copy = bytes;
    QBuffer stream(&copy);
    stream.open(QIODevice::ReadOnly);
    stream.seek(50);
    TCdrMap fromStream;
    fromStream.LoadFromStream(stream);
    EXPECT_TRUE(samePixels(fromStream.Bitmap(), fromFile.Bitmap()));
}

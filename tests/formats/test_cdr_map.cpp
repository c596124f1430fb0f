// The drawing preview reader on drawings built here, with Qt's bmp reader
// given the same preview as the reference: whole previews of every depth,
// previews cut by the data block or the file, and files without a preview.
#include "formats/cdr_map.h"
#include "formats/fixture_tools.h"

using namespace qvtest;

namespace {

QByteArray infoHeader(qint32 width, qint32 height, int bits)
{
    QByteArray h;
    for (quint32 v : {40u, quint32(width), quint32(height), 1u | (quint32(bits) << 16), 0u, 0u, 0u, 0u, 0u, 0u})
        appendLe32(h, v);
    return h;
}

// Colour table of 2^bits entries (none above 8 bits), then rows of varied bytes.
QByteArray previewData(int width, int height, int bits)
{
    QByteArray b;
    for (int i = 0; bits <= 8 && i < (1 << bits); ++i)
        appendLe32(b, quint32(i * 3) | (quint32(255 - i) << 8) | (quint32(i * 7 & 255) << 16));
    for (int i = 0; i < (width * bits + 31) / 32 * 4 * height; ++i)
        b.append(char(i * 37 / 3));
    return b;
}

// A drawing: RIFF and version chunk, the preview chunk's header, the info
// header at 34, table and rows at 74, then other chunks.
QByteArray drawing(const QByteArray& header, const QByteArray& data)
{
    return QByteArray("RIFF\0\0\0\0CDR6vrsn\2\0\0\0\x58\2DISP\0\0\0\0\0\0\0\0", 34) + header + data + "page"
        + QByteArray(64, '\x5A');
}

QImage qtDecode(const QByteArray& header, const QByteArray& data, int bits)
{
    QByteArray f("BM");
    appendLe32(f, quint32(54 + data.size()));
    appendLe32(f, 0);
    appendLe32(f, 54 + (bits <= 8 ? 4u << bits : 0u));
    return QImage::fromData(f + header + data, "bmp").convertToFormat(QImage::Format_RGB32);
}

} // namespace

TEST(TCdrMap, PreviewsWholeOrCut)
{
    // 128 x 128 at 8 bits is 1024 + 16384 bytes; widths not a multiple of 4
    // need padded rows.
    const int sizes[][3] = {{128, 128, 8}, {13, 5, 8}, {5, 7, 4}, {9, 3, 1}, {3, 4, 24}, {61, 40, 24}};
    for (const auto& s : sizes) {
        const QByteArray header = infoHeader(s[0], s[1], s[2]), data = previewData(s[0], s[1], s[2]);
        TCdrMap map;
        map.LoadFromBytes(drawing(header, data));
        EXPECT_EQ(map.BitsPerPixel(), s[2]);
        EXPECT_TRUE(samePixels(map.Bitmap(), qtDecode(header, data, s[2]))) << s[0] << "x" << s[1] << "x" << s[2];
    }

    // 200 x 200 at 8 bits needs 1024 + 40000 bytes: the 20004-byte block holds
    // the table and 94 rows (bottom first). A file cut inside the fourth row of
    // a 10 x 10 preview holds three. The rows missing keep colour 0.
    const struct {
        int side;
        int cut;
        int rowsKept;
    } cuts[] = {{200, 1 << 30, 94}, {10, 74 + 1024 + 3 * 12 + 5, 3}};
    for (const auto& c : cuts) {
        const QByteArray header = infoHeader(c.side, c.side, 8), data = previewData(c.side, c.side, 8);
        TCdrMap map;
        map.LoadFromBytes(drawing(header, data).left(c.cut));
        const QImage full = qtDecode(header, data, 8);
        ASSERT_EQ(map.Bitmap().size(), full.size());
        for (int y = 0; y < c.side; ++y)
            for (int x = 0; x < c.side; x += 3)
                ASSERT_EQ(map.Bitmap().pixel(x, y), y >= c.side - c.rowsKept ? full.pixel(x, y) : qRgb(0, 255, 0))
                    << x << "," << y;
    }
}

TEST(TCdrMap, FilesWithoutAPreview)
{
    TCdrMap map;
    map.LoadFromBytes(drawing(infoHeader(4, 4, 8), previewData(4, 4, 8)));
    QByteArray otherHeader = drawing(infoHeader(4, 4, 8), previewData(4, 4, 8));
    otherHeader[34] = 12;
    // 1024 x 1249 at 8 bits is just under 64 data blocks, 1024 x 1251 just over.
    EXPECT_NO_THROW(TCdrMap().LoadFromBytes(drawing(infoHeader(1024, 1249, 8), previewData(4, 4, 8))));
    const QByteArray refused[] = {
        "", "RIFF", QByteArray(73, 'x'), otherHeader,
        drawing(infoHeader(70000, 1, 1), QByteArray(8, '\0')),
        drawing(infoHeader(1024, 1251, 8), previewData(4, 4, 8)),
        drawing(infoHeader(4, 4, 0), QByteArray(64, '\0')),
        drawing(infoHeader(4, 4, 8), QByteArray(100, '\0')).left(74 + 100), // table cut
    };
    for (const QByteArray& bytes : refused)
        EXPECT_THROW(map.LoadFromBytes(bytes), EInvalidGraphic) << bytes.size();
    EXPECT_THROW(map.LoadFromFile("/nonexistent/drawing.cdr"), EInvalidGraphic);
    EXPECT_EQ(map.Width(), 4); // the previous picture stays
}

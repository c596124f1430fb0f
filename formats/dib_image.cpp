// Packed device-independent bitmap to QImage, with our own decoder of the
// BI_RLE8 and BI_RLE4 run-length encodings.
#include "formats/dib_image.h"
#include "formats/packed_bitmap.h"
#include "formats/packed_bitmap_basic.h"
#include "platform/limits.h"

#include <QList>
#include <cstring>

namespace {
using qv::packed::ByteCursor;
using qv::packed::le16;
using qv::packed::le32;

constexpr quint32 kRgb = 0, kRle8 = 1, kRle4 = 2, kBitFields = 3;

// One channel of a bit-field pixel scaled to 8 bits.
struct Channel {
    quint32 mask = 0;
    int shift = 0;
    quint32 max = 0;
    explicit Channel(quint32 m) : mask(m)
    {
        if (!mask)
            return;
        while (!((mask >> shift) & 1))
            ++shift;
        max = mask >> shift;
    }
    int operator()(quint32 v) const
    {
        return max ? int(quint64((v & mask) >> shift) * 255 / max) : 0;
    }
};

void copyIndexedRows(QImage& image, const uchar* data, std::size_t size, int bits,
                     std::size_t stride, bool topDown)
{
    const int w = image.width(), h = image.height();
    for (int y = 0; y < h; ++y) {
        const std::size_t stored = std::size_t(topDown ? y : h - 1 - y);
        if ((stored + 1) * stride > size)
            continue; // rows the data does not reach stay 0
        const uchar* src = data + stored * stride;
        uchar* dst = image.scanLine(y);
        if (bits == 1)
            std::memcpy(dst, src, std::size_t(w + 7) / 8);
        else if (bits == 8)
            std::memcpy(dst, src, std::size_t(w));
        else
            for (int x = 0; x < w; ++x)
                dst[x] = (x & 1) ? (src[x / 2] & 15) : (src[x / 2] >> 4);
    }
}

void copyRgbRows(QImage& image, const uchar* data, std::size_t size, int bits, std::size_t stride,
                 bool topDown, const Channel& r, const Channel& g, const Channel& b)
{
    const int w = image.width(), h = image.height();
    for (int y = 0; y < h; ++y) {
        const std::size_t stored = std::size_t(topDown ? y : h - 1 - y);
        if ((stored + 1) * stride > size)
            continue;
        const uchar* src = data + stored * stride;
        auto* dst = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < w; ++x) {
            if (bits == 24) {
                const uchar* p = src + 3 * x;
                dst[x] = qRgb(p[2], p[1], p[0]);
            } else {
                const quint32 v = bits == 16 ? le16(src + 2 * x) : le32(src + 4 * x);
                dst[x] = qRgb(r(v), g(v), b(v));
            }
        }
    }
}

// Writes run-length pixels into an Indexed8 image; positions outside the
// picture are never written. y counts rows from the bottom.
class RleWriter {
public:
    explicit RleWriter(QImage& image) : m_image(image), m_w(image.width()), m_h(image.height()) {}
    bool inside() const { return m_y < m_h; }
    // A run that reaches the row end stops there: x stays at the width.
    void put(uchar index)
    {
        if (m_x >= m_w)
            return;
        m_image.scanLine(m_h - 1 - m_y)[m_x] = index;
        ++m_x;
    }
    void endOfLine()
    {
        m_x = 0;
        ++m_y;
    }
    // False when the move leaves the picture.
    bool delta(int dx, int dy)
    {
        m_x += dx;
        m_y += dy;
        return m_x <= m_w && m_y < m_h;
    }

private:
    QImage& m_image;
    int m_x = 0, m_y = 0;
    const int m_w, m_h;
};

void decodeRle(QImage& image, const uchar* data, std::size_t size, bool fourBit)
{
    ByteCursor in(QByteArrayView(data, qsizetype(size)));
    RleWriter out(image);
    while (out.inside()) {
        const uchar* pair = in.take(2);
        if (!pair)
            return;
        const int count = pair[0];
        const uchar value = pair[1];
        if (count > 0) { // encoded run
            for (int i = 0; i < count; ++i)
                out.put(fourBit ? ((i & 1) ? value & 15 : value >> 4) : value);
            continue;
        }
        switch (value) {
        case 0:
            out.endOfLine();
            break;
        case 1:
            return;
        case 2: {
            const uchar* d = in.take(2);
            if (!d || !out.delta(d[0], d[1]))
                return;
            break;
        }
        default: { // absolute run of `value` pixels, padded to a 16-bit boundary
            const std::size_t bytes = fourBit ? (std::size_t(value) + 1) / 2 : value;
            const std::size_t avail = std::min(bytes, in.remaining());
            const uchar* p = in.take(avail);
            const int pixels = fourBit ? std::min<int>(value, int(2 * avail)) : int(avail);
            for (int i = 0; i < pixels; ++i)
                out.put(fourBit ? ((i & 1) ? p[i / 2] & 15 : p[i / 2] >> 4) : p[i]);
            if (avail < bytes || ((bytes & 1) && !in.skip(1)))
                return;
            break;
        }
        }
    }
}
} // namespace

QImage DibToImage(const PackedBitmap* block)
{
    if (!block)
        return QImage();
    return DibToImage(block->bytes());
}

QImage DibToImage(QByteArrayView blockBytes)
{
    const auto* block = reinterpret_cast<const uchar*>(blockBytes.data());
    const std::size_t size = std::size_t(blockBytes.size());
    if (!block || size < PackedBitmap::kInfoHeaderSize || le32(block) != 40)
        return QImage();
    const qint64 width = qint32(le32(block + 4));
    const qint64 signedHeight = qint32(le32(block + 8));
    const int bits = le16(block + 14);
    const quint32 compression = le32(block + 16);
    const quint32 statedColours = le32(block + 32);
    const bool topDown = signedHeight < 0;
    const qint64 height = topDown ? -signedHeight : signedHeight;
    if (!qv::pictureSizeAllowed(width, height))
        return QImage();

    std::size_t tableEntries = 0;
    std::size_t tableBytes = 0;
    if (bits <= 8) {
        const quint32 full = quint32(1) << bits;
        tableEntries = (statedColours > 0 && statedColours <= full) ? statedColours : full;
        tableBytes = 4 * tableEntries;
    } else if (compression == kBitFields) {
        tableBytes = 12;
    }
    if (size < PackedBitmap::kInfoHeaderSize + tableBytes)
        return QImage();
    const uchar* table = block + PackedBitmap::kInfoHeaderSize;
    const uchar* data = table + tableBytes;
    const std::size_t dataSize = size - PackedBitmap::kInfoHeaderSize - tableBytes;
    const std::size_t stride = std::size_t((width * bits + 31) / 32) * 4;
    const int w = int(width), h = int(height);

    const bool indexed = (compression == kRgb && (bits == 1 || bits == 4 || bits == 8))
        || (compression == kRle8 && bits == 8 && !topDown)
        || (compression == kRle4 && bits == 4 && !topDown);
    if (indexed) {
        QImage image(w, h, bits == 1 && compression == kRgb ? QImage::Format_Mono : QImage::Format_Indexed8);
        if (image.isNull())
            return QImage();
        // Indices past the file's table show black rather than reading past it.
        QList<QRgb> colours(qsizetype(1) << bits, qRgb(0, 0, 0));
        for (std::size_t i = 0; i < tableEntries; ++i)
            colours[qsizetype(i)] = qRgb(table[4 * i + 2], table[4 * i + 1], table[4 * i]);
        image.setColorTable(colours);
        image.fill(0);
        if (compression == kRgb)
            copyIndexedRows(image, data, dataSize, bits, stride, topDown);
        else
            decodeRle(image, data, dataSize, compression == kRle4);
        return image;
    }

    Channel r(0), g(0), b(0);
    if (compression == kRgb && bits == 16) {
        r = Channel(0x7C00), g = Channel(0x03E0), b = Channel(0x001F);
    } else if (compression == kRgb && (bits == 24 || bits == 32)) {
        r = Channel(0xFF0000), g = Channel(0x00FF00), b = Channel(0x0000FF);
    } else if (compression == kBitFields && (bits == 16 || bits == 32)) {
        r = Channel(le32(table)), g = Channel(le32(table + 4)), b = Channel(le32(table + 8));
    } else {
        return QImage();
    }
    QImage image(w, h, QImage::Format_RGB32);
    if (image.isNull())
        return QImage();
    image.fill(qRgb(0, 0, 0));
    copyRgbRows(image, data, dataSize, bits, stride, topDown, r, g, b);
    return image;
}

// The shared Windows-bitmap decoder: header variants, colour table, the RLE4,
// RLE8 and OS/2 RLE24 run lengths, bit-field and 64-bit pixels, and the JPEG
// or PNG stream a bitmap may carry.
#include "formats/bmp_decoder.h"
#include "formats/jpeg_image.h"
#include "platform/limits.h"

#include <QBuffer>
#include <QImageReader>
#include <array>
#include <cmath>
#include <cstring>
#include <mutex>

namespace qv::bmp {

using packed::packedRowBytes;

namespace {

constexpr quint32 kRgb = 0, kRle8 = 1, kRle4 = 2, kBitFields = 3, kJpegOrRle24 = 4, kPng = 5, kAlphaBitFields = 6;

bool knownDepth(int bits, Rules rules)
{
    switch (bits) {
    case 1: case 4: case 8: case 16: case 24: case 32: return true;
    case 2: case 64: return rules == Rules::AnyHeader;
    default: return false;
    }
}

// 64-bit pixels hold linear light as 2.13 fixed point (8192 is full); the
// picture wants sRGB bytes.
const std::array<uchar, 8193>& linearToSrgb()
{
    static const std::array<uchar, 8193> table = [] {
        std::array<uchar, 8193> t{};
        for (int i = 0; i <= 8192; ++i) {
            const double v = i / 8192.0;
            const double s = v <= 0.0031308 ? v * 12.92 : 1.055 * std::pow(v, 1 / 2.4) - 0.055;
            t[std::size_t(i)] = uchar(std::lround(std::clamp(s, 0.0, 1.0) * 255));
        }
        return t;
    }();
    return table;
}

inline int fixedToIndex(quint16 v)
{
    const int s = qint16(v); // negative values are below black
    return s < 0 ? 0 : std::min(s, 8192);
}

// The colour table padded with black to 2^bits entries; entries past it are ignored.
QList<QRgb> fullTable(const QList<QRgb>& palette, int bits)
{
    QList<QRgb> table(qsizetype(1) << std::min(bits, 8), qRgb(0, 0, 0));
    for (qsizetype i = 0; i < palette.size() && i < table.size(); ++i)
        table[i] = palette[i];
    return table;
}

// A JPEG stream goes to the JPEG adapter, a PNG stream to Qt's PNG reader;
// either keeps its own row order. A stream of another size than the header's
// contradicts it and is refused before it is decoded.
QImage decodeEmbedded(const Header& header, ByteCursor& in, quint16* status)
{
    const std::size_t n = in.remaining();
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(in.take(n)), qsizetype(n));
    const QSize size(int(header.width), int(header.height));
    QImage image;
    if (header.encoding == Encoding::Jpeg) {
        try {
            TJPEGImage jpeg;
            jpeg.LoadFromData(bytes);
            if (QSize(jpeg.Width(), jpeg.Height()) == size)
                image = jpeg.Bitmap();
        } catch (const std::exception&) {
            image = QImage();
        }
    } else {
        static std::once_flag raised;
        std::call_once(raised, [] {
            // Qt's own default is below what the picture limits allow (2^28 RGB32 pixels).
            const int mb = int(kMaxPicturePixels * 4 / (1024 * 1024));
            if (QImageReader::allocationLimit() < mb)
                QImageReader::setAllocationLimit(mb);
        });
        QBuffer buffer;
        buffer.setData(bytes);
        QImageReader reader(&buffer, "png");
        reader.setAutoDetectImageFormat(false);
        if (reader.size() == size)
            image = reader.read();
    }
    if (image.size() != size) {
        *status = PackedBadFormat;
        return QImage();
    }
    return image;
}

// The start of picture row y counted from the bottom, looked up once a row.
template <class Pixel>
class BottomUpRows {
public:
    explicit BottomUpRows(QImage& image) : m_image(image) {}
    Pixel* operator()(int y)
    {
        if (y != m_y) {
            m_line = reinterpret_cast<Pixel*>(m_image.scanLine(m_image.height() - 1 - y));
            m_y = y;
        }
        return m_line;
    }

private:
    QImage& m_image;
    Pixel* m_line = nullptr;
    int m_y = -1;
};

// Run lengths as the three encodings share them: a count byte with its pixel,
// or an escape (end of line, end of picture, delta, absolute run padded to an
// even byte count). put(x, y, value) gets y counted from the bottom and x
// always inside the picture; runs past the row end are cut there.
template <class Put>
void decodeRuns(ByteCursor& in, int w, int h, Encoding encoding, Put put)
{
    const bool four = encoding == Encoding::Rle4, wide = encoding == Encoding::Rle24;
    const std::size_t pixelBytes = wide ? 3 : 1;
    auto valueAt = [&](const uchar* p, int i) -> quint32 {
        if (wide)
            return qRgb(p[3 * i + 2], p[3 * i + 1], p[3 * i]);
        if (four)
            return (i & 1) ? p[i / 2] & 15 : p[i / 2] >> 4;
        return p[i];
    };
    int x = 0, y = 0;
    while (y < h) {
        uchar count;
        if (!in.byte(&count))
            return;
        if (count > 0) {
            const uchar* v = in.take(pixelBytes);
            if (!v)
                return;
            const int n = std::min<int>(count, w - x);
            for (int i = 0; i < n; ++i)
                put(x + i, y, four ? valueAt(v, i & 1) : valueAt(v, 0));
            x += std::max(n, 0);
            continue;
        }
        uchar escape;
        if (!in.byte(&escape))
            return;
        switch (escape) {
        case 0:
            x = 0;
            ++y;
            in.releaseRead();
            break;
        case 1:
            return;
        case 2: {
            const uchar* d = in.take(2);
            if (!d)
                return;
            x += d[0];
            y += d[1];
            if (x > w || y >= h)
                return;
            break;
        }
        default: {
            const std::size_t bytes = four ? (std::size_t(escape) + 1) / 2 : escape * pixelBytes;
            const std::size_t avail = std::min(bytes, in.remaining());
            const uchar* p = in.take(avail);
            const int whole = four ? int(2 * avail) : int(avail / pixelBytes);
            const int n = std::min({int(escape), whole, w - x});
            for (int i = 0; i < n; ++i)
                put(x + i, y, valueAt(p, i));
            x += std::max(n, 0);
            if (avail < bytes || ((bytes & 1) && !in.skip(1)))
                return;
            break;
        }
        }
    }
}

QImage decodeRunLength(const Header& header, const QList<QRgb>& palette, ByteCursor& in, quint16* status)
{
    const int w = int(header.width), h = int(header.height);
    if (header.encoding == Encoding::Rle24) {
        QImage image(w, h, QImage::Format_RGB32);
        if (image.isNull()) {
            *status = PackedNoMemory;
            return image;
        }
        image.fill(qRgb(0, 0, 0));
        BottomUpRows<QRgb> rows(image);
        decodeRuns(in, w, h, header.encoding, [&](int x, int y, quint32 v) { rows(y)[x] = v; });
        return image;
    }
    // Pixels that the runs never reach are black: an index that is black
    // already, one added to the table, or a direct-colour picture when all 256
    // entries are taken by other colours.
    QList<QRgb> table = fullTable(palette, header.bits);
    qsizetype black = table.indexOf(qRgb(0, 0, 0));
    if (black < 0 && table.size() < 256) {
        black = table.size();
        table.append(qRgb(0, 0, 0));
    }
    if (black < 0) {
        QImage image(w, h, QImage::Format_RGB32);
        if (image.isNull()) {
            *status = PackedNoMemory;
            return image;
        }
        image.fill(qRgb(0, 0, 0));
        BottomUpRows<QRgb> rows(image);
        decodeRuns(in, w, h, header.encoding, [&](int x, int y, quint32 v) { rows(y)[x] = table[qsizetype(v)]; });
        return image;
    }
    QImage image(w, h, QImage::Format_Indexed8);
    if (image.isNull()) {
        *status = PackedNoMemory;
        return image;
    }
    image.setColorTable(table);
    image.fill(uint(black));
    BottomUpRows<uchar> rows(image);
    decodeRuns(in, w, h, header.encoding, [&](int x, int y, quint32 v) { rows(y)[x] = uchar(v); });
    return image;
}

QImage decodeRows(const Header& header, const QList<QRgb>& palette, ByteCursor& in, quint16* status)
{
    RowConverter converter;
    if (!converter.setUp(header.bits, header.masks, header.alpha)) {
        *status = PackedBadFormat;
        return QImage();
    }
    const int w = int(header.width), h = int(header.height);
    QImage image(w, h, converter.format());
    if (image.isNull()) {
        *status = PackedNoMemory;
        return image;
    }
    if (header.bits <= 8)
        image.setColorTable(fullTable(palette, header.bits));
    const std::size_t stride = std::size_t(storedRowBytes(std::uint64_t(w), header.bits));
    const std::size_t used = (std::size_t(w) * std::size_t(header.bits) + 7) / 8;
    if (in.remaining() < (std::size_t(h) - 1) * stride + used)
        image.fill(header.bits <= 8 ? 0u : qRgb(0, 0, 0)); // rows the data lacks
    for (int i = 0; i < h; ++i) {
        const std::size_t avail = in.remaining();
        if (avail < used)
            break;
        const uchar* src = in.take(std::min(stride, avail));
        converter.convert(src, image.scanLine(header.topDown ? i : h - 1 - i), w);
        in.releaseRead();
    }
    dropEmptyAlpha(image, converter);
    return image;
}

// The encoding the compression field names, checked against the depth and
// what the rules accept.
quint16 chooseEncoding(quint32 compression, bool os2, Rules rules, Header& header)
{
    const int bits = header.bits;
    const quint32 size = header.size;
    switch (compression) {
    case kRgb:
        if (!knownDepth(bits, rules))
            return PackedBadFormat;
        header.encoding = Encoding::Rgb;
        break;
    case kRle8:
    case kRle4:
        if (bits != (compression == kRle8 ? 8 : 4))
            return PackedBadFormat;
        header.encoding = compression == kRle8 ? Encoding::Rle8 : Encoding::Rle4;
        break;
    case kBitFields:
    case kAlphaBitFields:
        // In an OS/2 header 3 is Huffman coding, which is not read.
        if (os2 || (bits != 16 && bits != 32) || (compression == kAlphaBitFields && rules == Rules::InfoHeaderOnly))
            return PackedBadFormat;
        header.encoding = Encoding::BitFields;
        break;
    case kJpegOrRle24:
        if (rules == Rules::InfoHeaderOnly)
            return PackedBadFormat;
        // OS/2 run-length 24 bits shares the number with JPEG, which has no
        // depth; a 40-byte header may be either.
        header.encoding = os2 || (size == 40 && bits == 24) ? Encoding::Rle24 : Encoding::Jpeg;
        if (header.encoding == Encoding::Rle24 && bits != 24)
            return PackedBadFormat;
        break;
    case kPng:
        if (rules == Rules::InfoHeaderOnly)
            return PackedBadFormat;
        header.encoding = Encoding::Png;
        break;
    default:
        return PackedBadFormat;
    }
    return PackedOk;
}

// The channel masks: from the header, or the three or four fields after a
// 40-byte one, or the usual layout of the depth.
quint16 readMasks(ByteCursor& in, const uchar* h, quint32 compression, Header& header)
{
    const int bits = header.bits;
    const quint32 size = header.size;
    if (header.encoding == Encoding::BitFields) {
        if (size >= 52) {
            for (int i = 0; i < (size >= 56 ? 4 : 3); ++i)
                header.masks[i] = le32(h + 40 + 4 * i);
        } else {
            const int count = compression == kAlphaBitFields ? 4 : 3;
            const uchar* m = in.take(std::size_t(4 * count));
            if (!m)
                return PackedReadError;
            for (int i = 0; i < count; ++i)
                header.masks[i] = le32(m + 4 * i);
        }
        header.alpha = header.masks[3] != 0;
        if (!(header.masks[0] | header.masks[1] | header.masks[2])) { // no colour masks: the usual layout
            const bool sixteen = bits == 16;
            header.masks[0] = sixteen ? 0x7C00 : 0xFF0000, header.masks[1] = sixteen ? 0x03E0 : 0xFF00;
            header.masks[2] = sixteen ? 0x001F : 0xFF;
        }
        const quint64 room = (quint64(1) << bits) - 1;
        if ((header.masks[0] | header.masks[1] | header.masks[2] | header.masks[3]) > room)
            return PackedBadFormat;
    } else if (header.encoding == Encoding::Rgb && bits == 16) {
        header.masks[0] = 0x7C00, header.masks[1] = 0x03E0, header.masks[2] = 0x001F;
    } else if (header.encoding == Encoding::Rgb && bits == 32) {
        header.masks[0] = 0xFF0000, header.masks[1] = 0x00FF00, header.masks[2] = 0x0000FF;
    } else if (header.encoding == Encoding::Rgb && bits == 64) {
        header.alpha = true;
    }
    return PackedOk;
}

} // namespace

quint16 parseHeader(ByteCursor& in, Rules rules, Header& header)
{
    const uchar* sizeField = in.at(in.pos(), 4);
    if (!sizeField)
        return PackedReadError;
    const quint32 size = le32(sizeField);
    const bool os2 = size >= 16 && size <= 64 && size != 40 && size != 52 && size != 56;
    if (rules == Rules::InfoHeaderOnly ? size != 40 : !(size == 12 || (size >= 16 && size <= 64) || size == 108 || size == 124))
        return PackedNotWindowsBitmap;
    const uchar* h = in.take(size);
    if (!h)
        return PackedReadError;

    header = Header{};
    header.size = size;
    quint16 planes;
    quint32 compression = kRgb;
    if (size == 12) { // the core header: 16-bit sizes, 3-byte colours
        header.width = le16(h + 4);
        header.height = le16(h + 6);
        planes = le16(h + 8);
        header.bits = le16(h + 10);
        header.paletteEntryBytes = 3;
    } else {
        header.width = qint32(le32(h + 4));
        header.height = qint32(le32(h + 8));
        planes = le16(h + 12);
        header.bits = le16(h + 14);
        // OS/2 2.x headers may end after any field.
        compression = size >= 20 ? le32(h + 16) : kRgb;
        header.imageSize = size >= 24 ? le32(h + 20) : 0;
        header.coloursUsed = size >= 36 ? le32(h + 32) : 0;
    }
    if (header.height < 0) {
        header.topDown = true;
        header.height = -header.height;
    }
    if (planes != 1 || !pictureSizeAllowed(header.width, header.height))
        return PackedBadFormat;

    if (const quint16 status = chooseEncoding(compression, os2, rules, header); status != PackedOk)
        return status;
    // Run lengths are stored bottom-up only.
    if (header.topDown && (header.encoding == Encoding::Rle4 || header.encoding == Encoding::Rle8
                           || header.encoding == Encoding::Rle24))
        return PackedBadFormat;

    return readMasks(in, h, compression, header);
}

std::size_t paletteEntriesWanted(const Header& header)
{
    if (header.bits > 8 || header.encoding == Encoding::Jpeg || header.encoding == Encoding::Png)
        return 0;
    return header.coloursUsed ? header.coloursUsed : std::size_t(1) << header.bits;
}

QList<QRgb> readPalette(ByteCursor& in, const Header& header, std::size_t entries, std::size_t end)
{
    const std::size_t entryBytes = std::size_t(header.paletteEntryBytes);
    const std::size_t room = end > in.pos() ? (std::min(end, in.size()) - in.pos()) / entryBytes : 0;
    const std::size_t n = std::min({entries, room, std::size_t(256)});
    QList<QRgb> palette;
    palette.reserve(qsizetype(n));
    for (std::size_t i = 0; i < n; ++i) {
        const uchar* p = in.take(entryBytes);
        palette.append(qRgb(p[2], p[1], p[0]));
    }
    return palette;
}

QImage decodePixels(const Header& header, const QList<QRgb>& palette, ByteCursor& in, quint16* status)
{
    *status = PackedOk;
    switch (header.encoding) {
    case Encoding::Jpeg:
    case Encoding::Png:
        return decodeEmbedded(header, in, status);
    case Encoding::Rle4:
    case Encoding::Rle8:
    case Encoding::Rle24:
        return decodeRunLength(header, palette, in, status);
    default:
        return decodeRows(header, palette, in, status);
    }
}

quint16 locateBitmap(QByteArrayView file, Rules rules, FileLayout& layout)
{
    ByteCursor in(file);
    const uchar* fileHeader = in.take(14);
    if (!fileHeader)
        return PackedReadError;
    Header& h = layout.header;
    const quint16 status = parseHeader(in, rules, h);
    if (status == PackedReadError)
        return status;
    if (le16(fileHeader) != 0x4D42)
        return PackedNotWindowsBitmap;
    if (status != PackedOk)
        return status;

    const std::size_t offset = le32(fileHeader + 10);
    const bool strict = rules == Rules::InfoHeaderOnly;
    if (strict) {
        // The whole table the colours-used field asks for, right behind the header.
        const std::size_t full = h.bits <= 8 ? std::size_t(1) << h.bits : 0;
        const std::size_t entries = h.coloursUsed > 0 && h.coloursUsed < full ? h.coloursUsed : full;
        if (4 * entries > in.remaining())
            return PackedReadError;
        layout.palette = readPalette(in, h, entries, in.size());
    } else {
        if (offset < in.pos())
            return PackedBadFormat; // pixels inside the headers
        layout.palette = readPalette(in, h, paletteEntriesWanted(h), offset);
    }
    if (!in.seek(offset))
        return PackedReadError;

    const std::uint64_t rows = std::uint64_t(h.height);
    std::uint64_t size = in.remaining();
    if (h.encoding == Encoding::Rgb || h.encoding == Encoding::BitFields) {
        const std::uint64_t stride = storedRowBytes(std::uint64_t(h.width), h.bits);
        // The last row's padding is often left out by writers.
        const std::uint64_t least = strict ? stride * rows : stride * (rows - 1) + (std::uint64_t(h.width) * std::uint64_t(h.bits) + 7) / 8;
        if (size < least)
            return PackedReadError;
        size = std::min(size, stride * rows);
    } else if (strict) {
        const quint32 fileSizeField = le32(fileHeader + 2);
        if (h.imageSize == 0 && fileSizeField <= offset)
            return PackedReadError;
        const std::uint64_t stated = h.imageSize ? h.imageSize : fileSizeField - offset;
        if (stated > size)
            return PackedReadError;
        size = stated;
    }
    layout.dataAt = offset;
    layout.dataSize = std::size_t(size);
    return PackedOk;
}

PackedImageResult decodeBitmapFile(QByteArrayView file, Rules rules, const ReleaseHook* release)
{
    FileLayout layout;
    PackedImageResult result;
    result.status = locateBitmap(file, rules, layout);
    if (result.status != PackedOk)
        return result;
    ByteCursor in(file);
    in.seek(layout.dataAt);
    in.limit(layout.dataAt + layout.dataSize);
    in.setReleaseHook(release);
    result.image = decodePixels(layout.header, layout.palette, in, &result.status);
    const Encoding e = layout.header.encoding;
    result.bits = e == Encoding::Jpeg || e == Encoding::Png ? 0 : layout.header.bits;
    return result;
}

bool RowConverter::makeChannel(quint32 mask, Channel& c)
{
    c = Channel{};
    if (!mask)
        return true;
    c.mask = mask;
    while (!((mask >> c.shift) & 1))
        ++c.shift;
    c.max = mask >> c.shift;
    return ((c.max + 1) & c.max) == 0; // one run of bits
}

bool RowConverter::setUp(int bits, const quint32 masks[4], bool alpha)
{
    m_bits = bits;
    m_alpha = alpha;
    m_sawAlpha = false;
    if (bits != 16 && bits != 32)
        return bits == 1 || bits == 2 || bits == 4 || bits == 8 || bits == 24 || bits == 64;
    if ((masks[0] & masks[1]) || (masks[0] & masks[2]) || (masks[1] & masks[2])
        || ((masks[0] | masks[1] | masks[2]) & masks[3]))
        return false;
    return makeChannel(masks[0], m_r) && makeChannel(masks[1], m_g) && makeChannel(masks[2], m_b)
        && makeChannel(alpha ? masks[3] : 0, m_a);
}

QImage::Format RowConverter::format() const
{
    if (m_bits == 1)
        return QImage::Format_Mono;
    if (m_bits <= 8)
        return QImage::Format_Indexed8;
    return m_alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32;
}

void RowConverter::convert(const uchar* src, uchar* dst, int width) const
{
    const std::size_t w = std::size_t(width);
    auto* rgb = reinterpret_cast<QRgb*>(dst);
    switch (m_bits) {
    case 1:
        std::memcpy(dst, src, (w + 7) / 8);
        return;
    case 2:
        for (std::size_t x = 0; x < w; ++x)
            dst[x] = uchar((src[x / 4] >> (6 - 2 * (x % 4))) & 3);
        return;
    case 4:
        for (std::size_t x = 0; x < w; ++x)
            dst[x] = (x & 1) ? (src[x / 2] & 15) : (src[x / 2] >> 4);
        return;
    case 8:
        std::memcpy(dst, src, w);
        return;
    case 24:
        for (std::size_t x = 0; x < w; ++x, src += 3)
            rgb[x] = qRgb(src[2], src[1], src[0]);
        return;
    case 64: {
        const auto& srgb = linearToSrgb();
        quint16 any = 0;
        for (std::size_t x = 0; x < w; ++x, src += 8) {
            const int a = fixedToIndex(le16(src + 6));
            any |= quint16(a);
            rgb[x] = qRgba(srgb[std::size_t(fixedToIndex(le16(src + 4)))], srgb[std::size_t(fixedToIndex(le16(src + 2)))],
                           srgb[std::size_t(fixedToIndex(le16(src)))], (a * 255 + 4096) / 8192);
        }
        m_sawAlpha = m_sawAlpha || any;
        return;
    }
    default: {
        quint32 any = 0;
        for (std::size_t x = 0; x < w; ++x) {
            const quint32 v = m_bits == 16 ? le16(src + 2 * x) : le32(src + 4 * x);
            const uchar a = m_alpha ? m_a(v) : 255;
            any |= v & m_a.mask;
            rgb[x] = qRgba(m_r(v), m_g(v), m_b(v), a);
        }
        m_sawAlpha = m_sawAlpha || any;
        return;
    }
    }
}

void dropEmptyAlpha(QImage& image, const RowConverter& converter)
{
    if (image.format() != QImage::Format_ARGB32 || converter.sawAlpha())
        return;
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            line[x] |= 0xFF000000u;
    }
    image.reinterpretAsFormat(QImage::Format_RGB32);
}

bool ImageRowTarget::start(int width, int height, int resultBits, int colours, const Palette& palette)
{
    static const quint32 none[4] = {};
    m_bits = resultBits;
    m_converter.setUp(resultBits, none, false);
    m_image = QImage(width, height, m_converter.format());
    if (m_image.isNull())
        return false;
    if (resultBits <= 8) {
        QList<QRgb> table;
        for (int i = 0; i < colours && i < 256; ++i)
            table.append(qRgb(palette[std::size_t(i)].r, palette[std::size_t(i)].g, palette[std::size_t(i)].b));
        m_image.setColorTable(fullTable(table, resultBits));
    }
    m_image.fill(resultBits <= 8 ? 0u : qRgb(0, 0, 0)); // rows the data never reaches
    m_row.assign(std::size_t(packedRowBytes(resultBits, std::uint64_t(width))), 0);
    m_y = -1;
    return true;
}

uchar* ImageRowTarget::row(int y)
{
    finish();
    std::fill(m_row.begin(), m_row.end(), uchar(0));
    m_y = y;
    return m_row.data();
}

void ImageRowTarget::finish()
{
    if (m_y < 0)
        return;
    // Packed rows are stored bottom-up.
    m_converter.convert(m_row.data(), m_image.scanLine(m_image.height() - 1 - m_y), m_image.width());
    m_y = -1;
}

} // namespace qv::bmp

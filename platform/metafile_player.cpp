// Metafile entry points: which kind, its size, rendering over white; and the
// bitmap info of metafile records turned into the packed form.
#include "platform/metafile_player.h"
#include "platform/limits.h"
#include "platform/metafile_gdi.h"

#include <QBuffer>
#include <QImageReader>
#include <QPainter>
#include <algorithm>

namespace qv::metafile {

namespace {

enum : quint32 { BI_RGB = 0, BI_RLE8, BI_RLE4, BI_BITFIELDS, BI_JPEG, BI_PNG };

struct DibLayout {
    quint32 headerBytes = 0;
    qint64 width = 0, height = 0;
    int bits = 0;
    quint32 compression = 0;
    std::size_t entries = 0;     // colour table entries
    std::size_t entryBytes = 4;  // 3 for the 12-byte header, 2 for palette indices
    std::size_t maskBytes = 0;   // bit-field masks after a 40-byte header
};

bool readLayout(QByteArrayView dib, bool paletteIndices, DibLayout* out)
{
    const RecordBytes r(reinterpret_cast<const uchar*>(dib.data()), std::size_t(dib.size()));
    DibLayout l;
    l.headerBytes = r.u32(0);
    if (l.headerBytes == 12) {
        if (!r.has(0, 12))
            return false;
        l.width = r.u16(4);
        l.height = r.s16(6);
        l.bits = r.u16(10);
        l.entryBytes = 3;
    } else if (l.headerBytes >= 40 && l.headerBytes <= 124) {
        if (!r.has(0, l.headerBytes))
            return false;
        l.width = r.s32(4);
        l.height = r.s32(8);
        l.bits = r.u16(14);
        l.compression = r.u32(16);
        const quint32 used = r.u32(32);
        if (l.bits <= 8)
            l.entries = used > 0 && used < (1u << l.bits) ? used : 0;
        if (l.compression == BI_BITFIELDS && l.headerBytes == 40)
            l.maskBytes = 12;
    } else {
        return false;
    }
    if (l.bits <= 8 && l.entries == 0)
        l.entries = std::size_t(1) << l.bits;
    if (paletteIndices)
        l.entryBytes = 2;
    const bool known = l.bits == 1 || l.bits == 4 || l.bits == 8 || l.bits == 16 || l.bits == 24 || l.bits == 32;
    if (!known || l.width <= 0 || l.height == 0)
        return false;
    *out = l;
    return true;
}

} // namespace

std::size_t DibInfoBytes(QByteArrayView dib, bool paletteIndices)
{
    DibLayout l;
    if (!readLayout(dib, paletteIndices, &l))
        return 0;
    return l.headerBytes + l.maskBytes + (l.bits <= 8 ? l.entries * l.entryBytes : 0);
}

QByteArray PackDib(QByteArrayView info, QByteArrayView bits, bool paletteIndices)
{
    DibLayout l;
    if (!readLayout(info, paletteIndices, &l))
        return {};
    const qint64 h = l.height < 0 ? -l.height : l.height;
    if (!qv::pictureSizeAllowed(l.width, h))
        return {};
    // The bits must justify the picture: all rows but one when uncompressed,
    // a plausible expansion when run-length encoded.
    const quint64 stride = quint64((l.width * l.bits + 31) / 32) * 4;
    const quint64 have = quint64(bits.size());
    if (l.compression == BI_RGB || l.compression == BI_BITFIELDS) {
        if (have + stride < stride * quint64(h))
            return {};
    } else if (l.compression == BI_RLE8 || l.compression == BI_RLE4) {
        if (quint64(l.width) * quint64(h) > (have + 1) * 4096)
            return {};
    } else {
        return {};
    }
    const RecordBytes r(reinterpret_cast<const uchar*>(info.data()), std::size_t(info.size()));
    const std::size_t table = l.headerBytes + l.maskBytes;
    const std::size_t tableBytes = l.bits <= 8 ? l.entries * 4 : 0;
    QByteArray block(qsizetype(40 + (l.compression == BI_BITFIELDS ? 12 : 0) + tableBytes), '\0');
    auto* out = reinterpret_cast<uchar*>(block.data());
    const auto put32 = [&](std::size_t o, quint32 v) {
        for (int i = 0; i < 4; ++i)
            out[o + std::size_t(i)] = uchar(v >> (8 * i));
    };
    put32(0, 40);
    put32(4, quint32(l.width));
    put32(8, quint32(qint32(l.height)));
    out[12] = 1;
    out[14] = uchar(l.bits);
    put32(16, l.compression);
    put32(32, l.bits <= 8 ? quint32(l.entries) : 0);
    std::size_t o = 40;
    if (l.compression == BI_BITFIELDS) {
        const std::size_t masks = 40; // right after a 40-byte header, or inside a larger one
        if (!r.has(masks, 12))
            return {};
        for (std::size_t i = 0; i < 12; ++i)
            out[o + i] = r.u8(masks + i);
        o += 12;
    }
    for (std::size_t i = 0; i < tableBytes / 4; ++i, o += 4) {
        const std::size_t e = table + i * l.entryBytes;
        if (!r.has(e, l.entryBytes))
            break; // entries the info lacks stay black
        if (paletteIndices) {
            // Indices into a palette we do not keep: spread them over greys.
            const int last = std::max(1, int(l.entries) - 1);
            const uchar grey = uchar(std::min(255, r.u16(e) * 255 / last));
            out[o] = out[o + 1] = out[o + 2] = grey;
        } else {
            out[o] = r.u8(e);
            out[o + 1] = r.u8(e + 1);
            out[o + 2] = r.u8(e + 2);
        }
    }
    block.append(bits.data(), bits.size());
    return block;
}

QImage DecodeMetafileDib(QByteArrayView info, QByteArrayView bits, bool paletteIndices, const DibDecoder& decode)
{
    const RecordBytes r(reinterpret_cast<const uchar*>(info.data()), std::size_t(info.size()));
    const quint32 compression = r.u32(0) >= 40 ? r.u32(16) : 0;
    if (compression == BI_JPEG || compression == BI_PNG) {
        QByteArray bytes = bits.toByteArray();
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer, compression == BI_PNG ? "png" : "jpeg");
        reader.setAutoDetectImageFormat(false);
        // The stated size must be one that the compressed bytes can justify.
        const QSize size = reader.size();
        if (!size.isValid() || !qv::pictureSizeAllowed(size.width(), size.height())
            || quint64(size.width()) * quint64(size.height()) > (quint64(bits.size()) + 1) * 4096)
            return {};
        return reader.read();
    }
    const QByteArray packed = PackDib(info, bits, paletteIndices);
    if (packed.isEmpty() || !decode)
        return {};
    return decode(packed);
}

namespace {
bool isEmf(QByteArrayView data)
{
    const RecordBytes r(reinterpret_cast<const uchar*>(data.data()), std::size_t(data.size()));
    return r.u32(0) == 1 && r.u32(40) == 0x464D4520;
}
} // namespace

} // namespace qv::metafile

MetafileHeader ReadMetafileHeader(QByteArrayView data)
{
    using namespace qv::metafile;
    return isEmf(data) ? ReadEmfHeader(data) : ReadWmfHeader(data, nullptr);
}

void PlayMetafile(QByteArrayView data, QPainter& painter, const QRectF& target, const DibDecoder& decodeDib)
{
    using namespace qv::metafile;
    painter.save();
    if (isEmf(data))
        PlayEmf(data, painter, target, decodeDib);
    else
        PlayWmf(data, painter, target, decodeDib);
    painter.restore();
}

QImage RenderMetafile(QByteArrayView data, const DibDecoder& decodeDib)
{
    const MetafileHeader header = ReadMetafileHeader(data);
    QImage image(header.size, QImage::Format_RGB32);
    if (image.isNull())
        throw EMetafile(QStringLiteral("Not enough memory for the picture"));
    // Font sizes are given in pixels of a 96 dots-per-inch device.
    image.setDotsPerMeterX(3780);
    image.setDotsPerMeterY(3780);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing | QPainter::SmoothPixmapTransform);
        PlayMetafile(data, painter, QRectF(QPointF(0, 0), QSizeF(header.size)), decodeDib);
    }
    // Raster operations may have touched the unused top byte of the pixels.
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            line[x] |= 0xFF000000u;
    }
    return image;
}

// Packed device-independent bitmap to QImage, through the shared bitmap decoder.
#include "formats/dib_image.h"
#include "formats/bmp_decoder.h"
#include "formats/packed_bitmap.h"

QImage DibToImage(const PackedBitmap* block)
{
    if (!block)
        return QImage();
    return DibToImage(block->bytes());
}

QImage DibToImage(QByteArrayView block)
{
    using namespace qv::bmp;
    qv::ByteCursor in(block);
    Header header;
    if (block.isEmpty() || parseHeader(in, Rules::InfoHeaderOnly, header) != PackedOk)
        return QImage();
    // The table as the colours-used field gives it, or all 2^bits entries.
    const std::size_t full = header.bits <= 8 ? std::size_t(1) << header.bits : 0;
    const std::size_t entries = header.coloursUsed > 0 && header.coloursUsed <= full ? header.coloursUsed : full;
    const QList<QRgb> palette = readPalette(in, header, entries, in.size());
    if (std::size_t(palette.size()) < entries)
        return QImage();
    quint16 status;
    return decodePixels(header, palette, in, &status);
}

// Windows-bitmap reader of the packed-bitmap library: a file with a 40-byte
// info header becomes a packed block that keeps the file's header and pixel
// bytes (run-length data stays compressed).
#include "formats/bitmap_header.h"
#include "formats/bmp_decoder.h"
#include "formats/packed_bitmap_basic.h"

#include <cstring>

namespace qv::packed {

PackedReadResult readWindowsBitmap(QByteArrayView file)
{
    bmp::FileLayout layout;
    const quint16 status = bmp::locateBitmap(file, bmp::Rules::InfoHeaderOnly, layout);
    if (status != PackedOk)
        return failed(status);
    const bmp::Header& h = layout.header;

    // The block always carries the full table of 2^bits entries, whatever the
    // file's colours-used field says; entries the file does not hold stay black.
    const int fullColours = coloursForBits(h.bits);
    const bool bitFields = h.encoding == bmp::Encoding::BitFields;
    const std::size_t tableBytes = bitFields ? 12 : 4 * std::size_t(fullColours);
    PackedBitmapPtr block = PackedBitmap::allocate(PackedBitmap::kInfoHeaderSize + tableBytes + layout.dataSize);
    if (!block)
        return failed(PackedNoMemory);
    uchar* out = block->data();
    std::memcpy(out, file.data() + 14, PackedBitmap::kInfoHeaderSize);
    putLe32(out + 20, quint32(layout.dataSize));
    putLe32(out + 32, quint32(fullColours));
    uchar* table = out + PackedBitmap::kInfoHeaderSize;
    if (bitFields) {
        for (int i = 0; i < 3; ++i)
            putLe32(table + 4 * i, h.masks[i]);
    } else {
        for (qsizetype i = 0; i < layout.palette.size(); ++i) {
            const QRgb c = layout.palette[i];
            writeColourEntry(table + 4 * i, uchar(qRed(c)), uchar(qGreen(c)), uchar(qBlue(c)));
        }
    }
    std::memcpy(table + tableBytes, file.data() + layout.dataAt, layout.dataSize);
    return PackedReadResult{std::move(block), PackedOk};
}

} // namespace qv::packed

// Windows-bitmap reader: a ".bmp", ".dib" or ".rle" file with a 40-byte info
// header becomes a packed block that keeps the file's header and pixel bytes.
#include "formats/packed_bitmap_basic.h"
#include "platform/limits.h"

#include <cstring>

namespace qv::packed {

namespace {
constexpr quint32 kRgb = 0, kRle8 = 1, kRle4 = 2, kBitFields = 3;
constexpr std::size_t kFileHeaderSize = 14;

// Depths and compressions that the conversion to a picture understands.
bool knownLayout(quint16 bits, quint32 compression)
{
    switch (compression) {
    case kRgb: return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
    case kRle8: return bits == 8;
    case kRle4: return bits == 4;
    case kBitFields: return bits == 16 || bits == 32;
    default: return false;
    }
}
} // namespace

PackedReadResult readWindowsBitmap(QByteArrayView file)
{
    ByteCursor in(file);
    const uchar* fileHeader = in.take(kFileHeaderSize);
    if (!fileHeader)
        return failed(PackedReadError);
    const uchar* info = in.take(PackedBitmap::kInfoHeaderSize);
    if (!info)
        return failed(PackedReadError);
    // Older 12-byte and the later 108/124-byte headers are not this reader's.
    if (le16(fileHeader) != 0x4D42 || le32(info) != 40)
        return failed(PackedNotWindowsBitmap);

    const quint32 fileSizeField = le32(fileHeader + 2);
    const quint32 bitsOffset = le32(fileHeader + 10);
    const qint64 width = qint32(le32(info + 4));
    const qint64 height = qint32(le32(info + 8));
    const quint16 planes = le16(info + 12);
    const quint16 bits = le16(info + 14);
    const quint32 compression = le32(info + 16);
    const quint32 statedImageSize = le32(info + 20);
    const quint32 statedColours = le32(info + 32);

    const qint64 rows = height < 0 ? -height : height;
    if (planes != 1 || !knownLayout(bits, compression) || !pictureSizeAllowed(width, rows))
        return failed(PackedBadFormat);
    // Run-length bitmaps are always stored bottom-up.
    if (height < 0 && compression != kRgb && compression != kBitFields)
        return failed(PackedBadFormat);

    // The block always carries the full table of 2^bits entries, whatever the
    // file's colours-used field says; entries the file does not hold stay black.
    const int fullColours = coloursForBits(bits);
    int fileColours = fullColours;
    if (statedColours > 0 && statedColours < quint32(fullColours))
        fileColours = int(statedColours);
    const std::size_t tableBytes = compression == kBitFields ? 12 : 4 * std::size_t(fullColours);
    const std::size_t fileTableBytes = compression == kBitFields ? 12 : 4 * std::size_t(fileColours);
    const uchar* table = in.take(fileTableBytes);
    if (!table)
        return failed(PackedReadError);

    std::uint64_t imageSize;
    if (compression == kRgb || compression == kBitFields) {
        // Uncompressed rows have one possible size; the stated one is often wrong.
        const std::uint64_t stride = ((std::uint64_t(width) * bits + 31) / 32) * 4;
        imageSize = stride * std::uint64_t(rows);
    } else if (statedImageSize != 0) {
        imageSize = statedImageSize;
    } else {
        if (fileSizeField <= bitsOffset)
            return failed(PackedReadError);
        imageSize = fileSizeField - bitsOffset;
    }
    if (!in.seek(bitsOffset))
        return failed(PackedReadError);
    const uchar* pixels = in.take(std::size_t(imageSize));
    if (!pixels || imageSize > 0xFFFFFFFFu)
        return failed(PackedReadError);

    PackedBitmapPtr block = PackedBitmap::allocate(PackedBitmap::kInfoHeaderSize + tableBytes + std::size_t(imageSize));
    if (!block)
        return failed(PackedNoMemory);
    uchar* out = block->data();
    std::memcpy(out, info, PackedBitmap::kInfoHeaderSize);
    putLe32(out + 20, quint32(imageSize));
    putLe32(out + 32, quint32(fullColours));
    std::memcpy(out + PackedBitmap::kInfoHeaderSize, table, fileTableBytes);
    std::memcpy(out + PackedBitmap::kInfoHeaderSize + tableBytes, pixels, std::size_t(imageSize));
    return PackedReadResult{std::move(block), PackedOk};
}

} // namespace qv::packed

// Shared layer of the packed-bitmap readers: the row size rule, and building
// the result block with header and colour table.
#pragma once
#include "formats/packed_bitmap.h"
#include "platform/byte_cursor.h"

#include <QByteArrayView>
#include <array>
#include <cstdint>

namespace qv::packed {

// Bytes of one padded row of the result for width w:
// 1 bit: ((w + 31) / 32) * 4; 2 or 4 bits: ((w + 7) / 8) * 4 (four bits a pixel);
// 8 bits: (w + 3) & ~3; 15, 16 or 24 bits: (3w + 3) & ~3 (three bytes a pixel).
std::uint64_t packedRowBytes(int bits, std::uint64_t width);

// 2 to the power of bits, truncated to 9 bits: 2, 4, 16, 256 for 1, 2, 4, 8
// bits and 0 for 9 bits and more.
int coloursForBits(int bits);

struct Rgb {
    uchar r = 0, g = 0, b = 0;
};
using Palette = std::array<Rgb, 256>;

// Allocates the zero-filled result block for a width x height picture of
// resultBits (1, 4, 8 or 24) with `colours` table entries taken from the
// palette, and fills the header. Null when memory cannot be had.
PackedBitmapPtr makePackedBitmap(int width, int height, int resultBits, int colours,
                                 const Palette& palette);

// Start of the pixel rows of a block made by makePackedBitmap.
uchar* packedPixels(PackedBitmap& bitmap);

// Where the Targa and PCX readers put their rows: a packed block, or a
// picture filled row by row so that no whole block is ever held beside it.
class PackedRowTarget {
public:
    virtual ~PackedRowTarget() = default;
    // Makes room for a width x height picture of resultBits (1, 4, 8 or 24)
    // with `colours` table entries; false when memory cannot be had.
    virtual bool start(int width, int height, int resultBits, int colours, const Palette& palette) = 0;
    // The zero-filled packed row for stored row y (0 is the bottom row); the
    // previous row handed out is complete by then.
    virtual uchar* row(int y) = 0;
    // The last row handed out is as complete as the data allows.
    virtual void finish() = 0;
};

// The decoders of the three formats.
PackedReadResult readWindowsBitmap(QByteArrayView file);
quint16 readTarga(ByteCursor& in, PackedRowTarget& target);
quint16 readPcx(ByteCursor& in, PackedRowTarget& target);

inline PackedReadResult failed(quint16 status) { return PackedReadResult{nullptr, status}; }

} // namespace qv::packed

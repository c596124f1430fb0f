// Writing the headers and colour table of a Windows bitmap: the 14-byte file
// header and the 40-byte info header, little-endian.
#pragma once
#include "platform/byte_cursor.h"

#include <QtGlobal>
#include <cstddef>

namespace qv {

inline constexpr std::size_t kBitmapFileHeaderSize = 14;
inline constexpr std::size_t kBitmapInfoHeaderSize = 40;

struct BitmapInfo {
    qint32 width = 0;
    qint32 height = 0; // positive: rows stored bottom first
    int bits = 0;
    quint32 imageSize = 0;   // 0 is allowed for uncompressed rows
    quint32 coloursUsed = 0; // 0: 2^bits for 8 bits and fewer
    qint32 pixelsPerMetre = 0;
};

// "BM", the file's size and where its rows start.
inline void writeBitmapFileHeader(uchar* out, quint32 fileSize, quint32 rowsOffset)
{
    out[0] = 'B';
    out[1] = 'M';
    putLe32(out + 2, fileSize);
    putLe32(out + 6, 0);
    putLe32(out + 10, rowsOffset);
}

// An uncompressed picture's info header, one plane.
inline void writeBitmapInfoHeader(uchar* out, const BitmapInfo& info)
{
    putLe32(out, quint32(kBitmapInfoHeaderSize));
    putLe32(out + 4, quint32(info.width));
    putLe32(out + 8, quint32(info.height));
    putLe16(out + 12, 1);
    putLe16(out + 14, quint16(info.bits));
    putLe32(out + 16, 0);
    putLe32(out + 20, info.imageSize);
    putLe32(out + 24, quint32(info.pixelsPerMetre));
    putLe32(out + 28, quint32(info.pixelsPerMetre));
    putLe32(out + 32, info.coloursUsed);
    putLe32(out + 36, 0);
}

// One colour table entry: blue, green, red and a zero byte.
inline void writeColourEntry(uchar* out, uchar red, uchar green, uchar blue)
{
    out[0] = blue;
    out[1] = green;
    out[2] = red;
    out[3] = 0;
}

} // namespace qv

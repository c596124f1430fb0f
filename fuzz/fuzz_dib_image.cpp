// Fuzz target: the run-length (and plain) conversion of a packed block. The
// first bytes pick the size, depth and compression, the rest is the colour
// table and the pixel data, so most inputs reach the decoding loops.
#include "formats/dib_image.h"
#include "formats/packed_bitmap.h"

#include <QByteArray>
#include <cstddef>
#include <cstdint>

static void putLe32(QByteArray& b, quint32 v)
{
    for (int i = 0; i < 4; ++i)
        b.append(char(v >> (8 * i)));
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 4)
        return 0;
    static const quint16 kBits[] = {4, 8, 4, 8, 1, 24, 16, 32};
    const int width = 1 + data[0] % 200;
    const int height = 1 + data[1] % 200;
    const quint16 bits = kBits[data[2] % 8];
    const quint32 compression = data[2] % 8 < 2 ? (bits == 8 ? 1 : 2) : (data[2] & 0x80 ? 3 : 0);
    const bool topDown = data[3] & 1;
    const quint32 colours = data[3] >> 1;

    QByteArray block;
    putLe32(block, 40);
    putLe32(block, quint32(width));
    putLe32(block, quint32(topDown ? -height : height));
    block.append(char(1)).append('\0');
    block.append(char(bits)).append('\0');
    putLe32(block, compression);
    putLe32(block, quint32(size - 4));
    putLe32(block, 0);
    putLe32(block, 0);
    putLe32(block, colours);
    putLe32(block, 0);
    block.append(reinterpret_cast<const char*>(data + 4), qsizetype(size - 4));
    DibToImage(block);
    return 0;
}

// Targa reader: uncompressed and run-length true-colour files of 15, 16, 24
// or 32 bits become a 24-bit packed block.
#include "formats/packed_bitmap_basic.h"
#include "platform/limits.h"

#include <cstring>

namespace qv::packed {

namespace {
constexpr std::size_t kHeaderSize = 18;
constexpr int kTypeTrueColour = 2;
constexpr int kTypeRunLength = 10;

// T[i] = floor(i * 255 / 31): a 5-bit channel widened to 8 bits.
constexpr std::array<uchar, 32> kFiveBitTable = [] {
    std::array<uchar, 32> t{};
    for (int i = 0; i < 32; ++i)
        t[std::size_t(i)] = uchar(i * 255 / 31);
    return t;
}();

// Writes one file pixel as blue, green, red.
inline void putPixel(uchar* out, const uchar* pixel, int bytesPerPixel)
{
    if (bytesPerPixel == 2) {
        const unsigned v = unsigned(pixel[0]) | (unsigned(pixel[1]) << 8);
        out[0] = kFiveBitTable[v & 31];
        out[1] = kFiveBitTable[(v >> 5) & 31];
        out[2] = kFiveBitTable[(v >> 10) & 31];
    } else {
        out[0] = pixel[0];
        out[1] = pixel[1];
        out[2] = pixel[2];
    }
}
} // namespace

quint16 readTarga(ByteCursor& in, PackedRowTarget& target)
{
    const uchar* h = in.take(kHeaderSize);
    if (!h)
        return PackedReadError;

    const int idLength = h[0];
    const int imageType = h[2];
    const int colourMapLength = le16(h + 5);
    int depth = h[16];
    const int descriptor = h[17];
    if (depth == 15)
        depth = 16;
    const int bytesPerPixel = depth / 8;
    if (colourMapLength != 0 || bytesPerPixel < 2 || bytesPerPixel > 4 || depth % 8 != 0
        || (descriptor & 0xC0) != 0 || (imageType != kTypeTrueColour && imageType != kTypeRunLength))
        return PackedBadFormat;
    if (!in.skip(std::size_t(idLength)))
        return PackedReadError;

    const int width = le16(h + 12);
    const int height = le16(h + 14);
    if (!pictureSizeAllowed(width, height))
        return PackedBadFormat;
    // The pixel data must be able to cover the picture, even at the best
    // packing, before the result is allocated.
    const std::uint64_t pixels = std::uint64_t(width) * std::uint64_t(height);
    const std::uint64_t leastBytes = imageType == kTypeTrueColour
        ? pixels * std::uint64_t(bytesPerPixel)
        : (pixels + 127) / 128 * std::uint64_t(1 + bytesPerPixel);
    if (in.remaining() < leastBytes)
        return PackedReadError;

    const Palette none{};
    if (!target.start(width, height, 24, 0, none))
        return PackedNoMemory;
    const bool topOrigin = (descriptor & 0x20) != 0;

    // Run state lives across rows: packets may span row ends.
    int repeatLeft = 0;
    int literalLeft = 0;
    uchar last[4] = {};
    bool ended = false;
    for (int fileRow = 0; fileRow < height && !ended; ++fileRow) {
        const int storedRow = topOrigin ? height - 1 - fileRow : fileRow;
        uchar* out = target.row(storedRow);
        in.releaseRead();
        for (int x = 0; x < width; ++x, out += 3) {
            if (imageType == kTypeRunLength) {
                if (repeatLeft > 0) {
                    --repeatLeft;
                    putPixel(out, last, bytesPerPixel);
                    continue;
                }
                if (literalLeft > 0) {
                    --literalLeft;
                } else {
                    uchar packet;
                    if (!in.byte(&packet)) {
                        ended = true;
                        break;
                    }
                    if (packet & 0x80)
                        repeatLeft = packet & 0x7F;
                    else
                        literalLeft = packet & 0x7F;
                }
            }
            const uchar* pixel = in.take(std::size_t(bytesPerPixel));
            if (!pixel) { // truncated data: the rest of the picture stays black
                ended = true;
                break;
            }
            std::memcpy(last, pixel, std::size_t(bytesPerPixel));
            putPixel(out, pixel, bytesPerPixel);
        }
    }
    target.finish();
    return PackedOk;
}

} // namespace qv::packed

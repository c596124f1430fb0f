// PCX reader: 1-bit, 2/3/4-bit planar or packed, 8-bit with the 256-colour
// trailer, and 24-bit three-plane files become a packed block of 1, 4, 8 or 24 bits.
#include "formats/packed_bitmap_basic.h"
#include "platform/limits.h"

#include <cstring>
#include <vector>

namespace qv::packed {

namespace {
constexpr std::size_t kHeaderSize = 128;
constexpr std::size_t kTrailerSize = 769;
constexpr uchar kTrailerMarker = 12;

// How the planes of a line make pixels.
enum class Layout { Mono, Planar, Packed2, Packed4, Indexed8, Rgb };

// The standard 16-colour palette, used by files that carry none.
constexpr uchar kStandard16[16][3] = {
    {0, 0, 0}, {0, 0, 170}, {0, 170, 0}, {0, 170, 170},
    {170, 0, 0}, {170, 0, 170}, {170, 85, 0}, {170, 170, 170},
    {85, 85, 85}, {85, 85, 255}, {85, 255, 85}, {85, 255, 255},
    {255, 85, 85}, {255, 85, 255}, {255, 255, 85}, {255, 255, 255},
};

void defaultPalette(int colours, Palette& palette)
{
    if (colours == 2) {
        palette[0] = Rgb{0, 0, 0};
        palette[1] = Rgb{255, 255, 255};
    } else if (colours <= 16) {
        for (int i = 0; i < colours; ++i)
            palette[std::size_t(i)] = Rgb{kStandard16[i][0], kStandard16[i][1], kStandard16[i][2]};
    } else {
        for (int i = 0; i < 256; ++i)
            palette[std::size_t(i)] = Rgb{uchar(i), uchar(i), uchar(i)};
    }
}

// Run-length bytes: a byte with both top bits set repeats the next byte
// (low 6 bits) times. A run may carry over from one line to the next.
class PcxDecoder {
public:
    PcxDecoder(ByteCursor& in, bool runLength) : m_in(in), m_runLength(runLength) {}

    // Fills line[0..n); returns false when the input ends first (the rest stays 0).
    bool fill(uchar* line, std::size_t n)
    {
        std::size_t i = 0;
        while (i < n) {
            if (m_repeat > 0) {
                const std::size_t k = std::min<std::size_t>(m_repeat, n - i);
                std::memset(line + i, m_value, k);
                i += k;
                m_repeat -= int(k);
                continue;
            }
            uchar b;
            if (!m_in.byte(&b))
                return false;
            if (m_runLength && (b & 0xC0) == 0xC0) {
                m_repeat = b & 0x3F;
                if (m_repeat > 0 && !m_in.byte(&m_value))
                    return false;
                // A count of 0 still takes its data byte.
                if (m_repeat == 0 && !m_in.skip(1))
                    return false;
            } else {
                line[i++] = b;
            }
        }
        return true;
    }

private:
    ByteCursor& m_in;
    bool m_runLength;
    int m_repeat = 0;
    uchar m_value = 0;
};

// How a header's planes and bits per plane are laid out, and the depth of
// the result; false for the combinations PCX does not have.
bool layoutFor(int planeBits, int planes, Layout* layout, int* resultBits)
{
    if (planeBits == 1 && planes == 1) {
        *layout = Layout::Mono;
        *resultBits = 1;
    } else if (planeBits == 1 && planes >= 2 && planes <= 4) {
        *layout = Layout::Planar;
        *resultBits = 4;
    } else if (planeBits == 2 && planes == 1) {
        *layout = Layout::Packed2;
        *resultBits = 4;
    } else if (planeBits == 4 && planes == 1) {
        *layout = Layout::Packed4;
        *resultBits = 4;
    } else if (planeBits == 8 && planes == 1) {
        *layout = Layout::Indexed8;
        *resultBits = 8;
    } else if (planeBits == 8 && (planes == 3 || planes == 4)) {
        *layout = Layout::Rgb; // a fourth (alpha) plane is dropped
        *resultBits = 24;
    } else {
        return false;
    }
    return true;
}

// The palette: the standard one for version 3, the 256-entry trailer for 8
// bits (the cursor then stops before it), else the header's 16 entries.
quint16 readPalette(ByteCursor& in, const uchar* header, int bits, Palette& palette)
{
    const int colours = coloursForBits(bits);
    if (header[1] == 3) {
        defaultPalette(colours, palette);
    } else if (bits == 8) {
        if (in.size() < kHeaderSize + kTrailerSize)
            return PackedReadError;
        const std::size_t trailerAt = in.size() - kTrailerSize;
        const uchar* trailer = in.at(trailerAt, kTrailerSize);
        if (trailer[0] != kTrailerMarker)
            return PackedBadFormat;
        for (int i = 0; i < 256; ++i)
            palette[std::size_t(i)] = Rgb{trailer[1 + 3 * i], trailer[2 + 3 * i], trailer[3 + 3 * i]};
        in.limit(trailerAt);
    } else {
        for (int i = 0; i < colours && i < 16; ++i)
            palette[std::size_t(i)] = Rgb{header[16 + 3 * i], header[17 + 3 * i], header[18 + 3 * i]};
        // Many writers leave a 1-bit file's header palette all zero: two equal
        // entries would make the picture one flat colour, so black and white it is.
        const Rgb& a = palette[0];
        const Rgb& b = palette[1];
        if (colours == 2 && a.r == b.r && a.g == b.g && a.b == b.b)
            defaultPalette(colours, palette);
    }
    return PackedOk;
}

// One decoded file line (its planes one after another) into a result row of
// w pixels.
void placeLine(Layout layout, const uchar* plane, std::size_t bytesPerLine, int planes, std::size_t w, uchar* out,
               std::size_t stride)
{
    switch (layout) {
    case Layout::Mono:
        std::memcpy(out, plane, std::min(stride, (w + 7) / 8));
        break;
    case Layout::Indexed8:
        std::memcpy(out, plane, std::min(stride, w));
        break;
    case Layout::Packed4:
        std::memcpy(out, plane, std::min(stride, (w + 1) / 2));
        break;
    case Layout::Packed2:
        for (std::size_t x = 0; x < w; ++x) {
            const int v = (plane[x / 4] >> (6 - 2 * (x % 4))) & 3;
            out[x / 2] |= uchar(x % 2 ? v : v << 4);
        }
        break;
    case Layout::Planar:
        for (std::size_t x = 0; x < w; ++x) {
            int v = 0;
            for (int p = 0; p < planes; ++p)
                v |= ((plane[std::size_t(p) * bytesPerLine + x / 8] >> (7 - x % 8)) & 1) << p;
            out[x / 2] |= uchar(x % 2 ? v : v << 4);
        }
        break;
    case Layout::Rgb:
        for (std::size_t x = 0; x < w; ++x) {
            out[3 * x] = plane[2 * bytesPerLine + x];
            out[3 * x + 1] = plane[bytesPerLine + x];
            out[3 * x + 2] = plane[x];
        }
        break;
    }
}

} // namespace

quint16 readPcx(ByteCursor& in, PackedRowTarget& target)
{
    const uchar* h = in.take(kHeaderSize);
    if (!h)
        return PackedReadError;
    if (h[0] != 10)
        return PackedBadFormat;

    const bool runLength = h[2] == 1;
    const int planeBits = h[3];
    const int planes = h[65];
    const int bits = planeBits * planes;
    const int colours = coloursForBits(bits);

    Layout layout;
    int resultBits;
    if (!layoutFor(planeBits, planes, &layout, &resultBits))
        return PackedBadFormat;

    const int xMin = le16(h + 4), yMin = le16(h + 6), xMax = le16(h + 8), yMax = le16(h + 10);
    const qint64 width = qint64(xMax) - xMin + 1;
    const qint64 height = qint64(yMax) - yMin + 1;
    const std::size_t bytesPerLine = le16(h + 66);
    if (!pictureSizeAllowed(width, height)
        || bytesPerLine < (std::uint64_t(width) * std::uint64_t(planeBits) + 7) / 8)
        return PackedBadFormat;

    Palette palette{};
    if (const quint16 status = readPalette(in, h, bits, palette); status != PackedOk)
        return status;

    // The encoded lines must be able to cover the picture before the result
    // is allocated: a run pair of 2 bytes gives at most 63.
    const std::size_t lineBytes = bytesPerLine * std::size_t(planes);
    const std::uint64_t rawBytes = std::uint64_t(lineBytes) * std::uint64_t(height);
    const std::uint64_t leastBytes = runLength ? (2 * rawBytes + 62) / 63 : rawBytes;
    if (in.remaining() < leastBytes)
        return PackedReadError;

    if (!target.start(int(width), int(height), resultBits, colours, palette))
        return PackedNoMemory;
    const std::size_t stride = std::size_t(packedRowBytes(resultBits, std::uint64_t(width)));
    const std::size_t w = std::size_t(width);

    std::vector<uchar> line(lineBytes);
    PcxDecoder decoder(in, runLength);
    for (qint64 y = 0; y < height; ++y) {
        std::fill(line.begin(), line.end(), uchar(0));
        const bool complete = decoder.fill(line.data(), lineBytes);
        // The first file line is the top row, the last one of the bottom-up block.
        uchar* out = target.row(int(height - 1 - y));
        in.releaseRead();
        placeLine(layout, line.data(), bytesPerLine, planes, w, out, stride);
        if (!complete) // truncated data: the rows below stay black
            break;
    }
    target.finish();
    return PackedOk;
}

} // namespace qv::packed

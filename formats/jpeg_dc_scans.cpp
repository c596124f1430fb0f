// Walks the marker structure of a JPEG file, entropy-coded data included, to
// keep only the scans that carry DC coefficients.
#include "formats/jpeg_dc_scans.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace qv::jpeg {

namespace {

constexpr int kMaxComponents = 4;

int be16(const unsigned char* p) { return p[0] << 8 | p[1]; }

// Where the entropy-coded data that starts at `pos` ends: the first marker
// that is neither a stuffed zero nor a restart marker, or the end of the data.
std::size_t endOfScanData(const unsigned char* data, std::size_t size, std::size_t pos)
{
    while (pos < size) {
        const void* hit = std::memchr(data + pos, 0xFF, size - pos);
        if (!hit)
            return size;
        pos = std::size_t(static_cast<const unsigned char*>(hit) - data);
        if (pos + 1 >= size)
            return size;
        const unsigned char next = data[pos + 1];
        if (next == 0x00 || (next >= 0xD0 && next <= 0xD7))
            pos += 2;
        else if (next == 0xFF)
            pos += 1; // fill byte before a marker
        else
            return pos;
    }
    return size;
}

} // namespace

bool keepScansForEighth(const unsigned char* data, std::size_t size, QByteArray& out)
{
    if (size < 4 || data[0] != 0xFF || data[1] != 0xD8)
        return false;
    out.clear();
    out.reserve(qsizetype(size / 2));
    out.append(reinterpret_cast<const char*>(data), 2);
    std::array<int, kMaxComponents> ids{};
    std::array<bool, kMaxComponents> subsampled{};
    int components = 0;
    std::size_t pos = 2;
    while (pos + 2 <= size) {
        if (data[pos] != 0xFF)
            return false;
        const unsigned char kind = data[pos + 1];
        if (kind == 0xFF) {
            ++pos; // fill byte
            continue;
        }
        if (kind == 0xD9) {
            out.append("\xFF\xD9", 2);
            return components > 0;
        }
        if (kind == 0x01 || (kind >= 0xD0 && kind <= 0xD8) || pos + 4 > size)
            return false;
        const std::size_t length = std::size_t(be16(data + pos + 2));
        if (length < 2 || length > size - pos - 2)
            return false;
        const unsigned char* body = data + pos + 4;
        const std::size_t bodyLength = length - 2;
        const std::size_t segmentEnd = pos + 2 + length;
        if (kind >= 0xC0 && kind <= 0xCF && kind != 0xC4 && kind != 0xC8 && kind != 0xCC) {
            // Only a progressive Huffman frame has scans worth leaving out.
            if (kind != 0xC2 || components != 0 || bodyLength < 6)
                return false;
            components = body[5];
            if (components < 1 || components > kMaxComponents || bodyLength < 6 + 3 * std::size_t(components))
                return false;
            int maxH = 0, maxV = 0;
            for (int c = 0; c < components; ++c) {
                maxH = std::max(maxH, body[7 + 3 * c] >> 4);
                maxV = std::max(maxV, body[7 + 3 * c] & 0x0F);
            }
            for (int c = 0; c < components; ++c) {
                ids[c] = body[6 + 3 * c];
                subsampled[c] = (body[7 + 3 * c] >> 4) < maxH || (body[7 + 3 * c] & 0x0F) < maxV;
            }
        }
        if (kind != 0xDA) {
            out.append(reinterpret_cast<const char*>(data + pos), qsizetype(segmentEnd - pos));
            pos = segmentEnd;
            continue;
        }
        if (components == 0 || bodyLength < 1)
            return false;
        const std::size_t inScan = body[0];
        if (inScan < 1 || bodyLength != 1 + 2 * inScan + 3)
            return false;
        const std::size_t dataEnd = endOfScanData(data, size, segmentEnd);
        bool keep = body[1 + 2 * inScan] == 0; // spectral selection starts at DC
        for (std::size_t i = 0; i < inScan && !keep; ++i) {
            for (int c = 0; c < components; ++c)
                keep = keep || (ids[c] == body[1 + 2 * i] && subsampled[c]);
        }
        if (keep)
            out.append(reinterpret_cast<const char*>(data + pos), qsizetype(dataEnd - pos));
        pos = dataEnd;
    }
    return false;
}

} // namespace qv::jpeg

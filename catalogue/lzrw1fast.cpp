// LZRW1/KH block encoder and a bounds-checked block decoder.
#include "lzrw1fast.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace lzrw1 {

namespace {

constexpr int kMaxOffset = 4095;
constexpr int kMaxCopy = 18;
constexpr int kMinCopy = 3;
constexpr int kMinRun = 16;
constexpr int kMaxRun = 4095;
constexpr std::uint16_t kEmpty = 0xFFFF;

inline std::uint64_t load64(const std::uint8_t* p)
{
    std::uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
}

inline void store64(std::uint8_t* p, std::uint64_t v) { std::memcpy(p, &v, 8); }

// Index of the first differing byte of two loaded words (diff != 0).
inline int firstDifference(std::uint64_t diff)
{
    if constexpr (std::endian::native == std::endian::little)
        return __builtin_ctzll(diff) / 8;
    else
        return __builtin_clzll(diff) / 8;
}

inline unsigned hashAt(const std::uint8_t* p)
{
    const unsigned v = ((unsigned(p[0]) << 4 ^ p[1]) << 4) ^ p[2];
    return ((v * 40543u) >> 4) & 0x0FFF;
}

// Number of bytes from p on equal to *p, at most limit (limit >= 1).
inline int runLength(const std::uint8_t* p, int limit)
{
    const std::uint8_t c = p[0];
    int r = 1;
    if (r < limit && p[1] != c)
        return 1;
    const std::uint64_t pattern = 0x0101010101010101ull * c;
    while (limit - r >= 8) {
        const std::uint64_t diff = load64(p + r) ^ pattern;
        if (diff)
            return r + firstDifference(diff);
        r += 8;
    }
    while (r < limit && p[r] == c)
        ++r;
    return r;
}

// Length of the common prefix of a and b, at most limit.
inline int matchLength(const std::uint8_t* a, const std::uint8_t* b, int limit)
{
    int m = 0;
    while (limit - m >= 8) {
        const std::uint64_t diff = load64(a + m) ^ load64(b + m);
        if (diff)
            return m + firstDifference(diff);
        m += 8;
    }
    while (m < limit && a[m] == b[m])
        ++m;
    return m;
}

} // namespace

namespace {

// The output of one encoded block: the flag byte, then items in groups of 16,
// each group after its 16-bit control word (one bit an item, first item in
// the top bit: 1 for a copy or run, 0 for a literal).
struct FastBlockWriter {
    std::uint8_t* dst;
    int controlAt = 1;
    int y = 3; // the next output byte
    unsigned control = 0;
    int items = 0;

    void writeControl()
    {
        dst[controlAt] = std::uint8_t(control >> 8);
        dst[controlAt + 1] = std::uint8_t(control);
    }
    void startItem()
    {
        if (items == 16) {
            writeControl();
            controlAt = y;
            y += 2;
            items = 0;
        }
        ++items;
    }
    void literal(std::uint8_t byte)
    {
        dst[y++] = byte;
        control <<= 1;
    }
    void run(std::uint8_t byte, int length)
    {
        const unsigned count = unsigned(length - kMinRun);
        dst[y] = 0;
        dst[y + 1] = std::uint8_t(count >> 8);
        dst[y + 2] = std::uint8_t(count);
        dst[y + 3] = byte;
        y += 4;
        control = control << 1 | 1;
    }
    void copy(unsigned offset, int length)
    {
        const unsigned v = offset << 4 | unsigned(length - kMinCopy);
        dst[y] = std::uint8_t(v >> 8);
        dst[y + 1] = std::uint8_t(v);
        y += 2;
        control = control << 1 | 1;
    }
    // The last group's control word, its unused bits zero.
    void finish()
    {
        control <<= 16 - items;
        writeControl();
    }
};

} // namespace

int encodeFastBlock(const std::uint8_t* src, int n, std::uint8_t* dst, std::uint16_t* table)
{
    // A fresh table per block: every candidate then lies in this block before x.
    std::memset(table, 0xFF, kHashSize * sizeof(std::uint16_t));
    dst[0] = kFlagCompressed;
    FastBlockWriter out{dst};
    int x = 0;
    while (x < n && out.y <= n) {
        out.startItem();
        const int left = n - x;
        if (left >= kMaxCopy) {
            // Every load below stays inside the block. A run needs its first
            // 16 bytes equal; the table's empty mark fails the distance test.
            const std::uint64_t w = load64(src + x);
            const std::uint64_t same = 0x0101010101010101ull * src[x];
            if (w == same && load64(src + x + 8) == same) {
                const int run = runLength(src + x, std::min(left, kMaxRun));
                out.run(src[x], run);
                x += run;
                continue;
            }
            const unsigned h = hashAt(src + x);
            const unsigned p = table[h];
            table[h] = std::uint16_t(x);
            if (unsigned(x) - p <= unsigned(kMaxOffset)) {
                int m;
                if (const std::uint64_t d = w ^ load64(src + p))
                    m = firstDifference(d);
                else if (const std::uint64_t d2 = load64(src + x + 8) ^ load64(src + p + 8))
                    m = 8 + firstDifference(d2);
                else
                    m = src[x + 16] != src[p + 16] ? 16 : src[x + 17] != src[p + 17] ? 17 : 18;
                if (m >= kMinCopy) {
                    out.copy(unsigned(x) - p, m);
                    x += m;
                    continue;
                }
            }
            out.literal(src[x++]);
            continue;
        }
        // The last 17 bytes of the block, with every bound tested.
        const int run = runLength(src + x, std::min(left, kMaxRun));
        if (run >= kMinRun) {
            out.run(src[x], run);
            x += run;
            continue;
        }
        // Fewer than 3 bytes left can never match; the table is not needed
        // after them either, so they skip the lookup.
        if (left >= kMinCopy) {
            const unsigned h = hashAt(src + x);
            const unsigned p = table[h];
            table[h] = std::uint16_t(x);
            if (p != kEmpty && unsigned(x) - p <= unsigned(kMaxOffset)) {
                const int m = matchLength(src + x, src + p, std::min(left, kMaxCopy));
                if (m >= kMinCopy) {
                    out.copy(unsigned(x) - p, m);
                    x += m;
                    continue;
                }
            }
        }
        out.literal(src[x++]);
    }
    out.finish();
    if (out.y > n) {
        dst[0] = kFlagStored;
        if (n > 0)
            std::memcpy(dst + 1, src, size_t(n));
        return n + 1;
    }
    return out.y;
}

namespace {

// Copies len (3..18) bytes from dist bytes back; overlapping copies repeat.
inline void copyBack(std::uint8_t* out, unsigned dist, unsigned len)
{
    const std::uint8_t* from = out - dist;
    if (dist >= 8) {
        // Each 8-byte step reads only bytes written before it; the last step
        // may write up to 6 bytes past len (inside the slack).
        store64(out, load64(from));
        store64(out + 8, load64(from + 8));
        if (len > 16)
            store64(out + 16, load64(from + 16));
    } else {
        for (unsigned k = 0; k < len; ++k)
            out[k] = from[k];
    }
}

// Expands the copy or run item at src + i into the output at `out` (which
// began at dst and ends at outEnd), moving both on; false when the item does
// not fit the output. The caller has checked that its bytes are in the block.
inline bool expandItem(const std::uint8_t* src, int& i, const std::uint8_t* dst, std::uint8_t*& out,
                       const std::uint8_t* outEnd)
{
    const unsigned b0 = src[i], b1 = src[i + 1];
    const unsigned offset = b0 << 4 | b1 >> 4;
    if (offset) {
        const unsigned n = (b1 & 15) + kMinCopy;
        if (offset > unsigned(out - dst) || n > unsigned(outEnd - out))
            return false;
        copyBack(out, offset, n);
        out += n;
        i += 2;
    } else {
        const unsigned n = (b1 << 8 | src[i + 2]) + kMinRun;
        if (n > unsigned(outEnd - out))
            return false;
        std::memset(out, src[i + 3], n);
        out += n;
        i += 4;
    }
    return true;
}

} // namespace

int decodeFastBlock(const std::uint8_t* src, int len, std::uint8_t* dst)
{
    if (len < 2)
        return 0;
    if (src[0] == kFlagStored) {
        if (len - 1 > kBlockSize)
            return -1;
        std::memcpy(dst, src + 1, size_t(len - 1));
        return len - 1;
    }
    if (len <= 3)
        return 0;

    std::uint8_t* out = dst;
    std::uint8_t* const outEnd = dst + kBlockSize;
    auto item = [&](int& i) { return expandItem(src, i, dst, out, outEnd); };

    int i = 1;
    while (i < len) {
        if (len - i < 2)
            return -1;
        unsigned control = unsigned(src[i]) << 8 | src[i + 1];
        i += 2;
        if (len - i >= 64) {
            // The whole group's input (at most 4 bytes an item) is in the
            // block: only the output needs checks. The control bits sit at
            // the top of bits, with a stop bit after the last item.
            std::uint32_t bits = control << 16 | 0x8000;
            for (int k = 0; k < 16;) {
                const int literals = __builtin_clz(bits);
                if (literals > 0) {
                    if (literals > outEnd - out)
                        return -1;
                    if (len - i >= 16 && outEnd - out >= 16)
                        std::memcpy(out, src + i, 16); // a run of literals at once
                    else
                        std::memcpy(out, src + i, size_t(literals));
                    out += literals;
                    i += literals;
                    k += literals;
                    bits <<= literals;
                    if (k == 16)
                        break;
                }
                if (!item(i))
                    return -1;
                ++k;
                bits <<= 1;
            }
        } else {
            for (int k = 0; k < 16 && i < len; ++k, control <<= 1) {
                if (!(control & 0x8000)) {
                    if (out == outEnd)
                        return -1;
                    *out++ = src[i++];
                    continue;
                }
                if (len - i < 2)
                    return -1;
                if (src[i] == 0 && (src[i + 1] >> 4) == 0 && len - i < 4)
                    return -1;
                if (!item(i))
                    return -1;
            }
        }
    }
    return int(out - dst);
}

} // namespace lzrw1

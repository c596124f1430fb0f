// Baseline JPEG at 1/8 from the DC coefficients. The arithmetic after the
// entropy decoding follows what libjpeg-turbo does at this scale, so the two
// give the same pixels: a 1x1 inverse DCT for full-resolution blocks, the
// IJG's 2x2 reduced inverse DCT for 4:2:0 chroma, plain replication for 4:2:2
// chroma, the JFIF YCbCr equations with its fixed-point rounding, and its
// one-pass ordered-dither quantiser for eight-bit output.
#include "formats/jpeg_dc_decode.h"

#include "platform/byte_cursor.h"
#include "platform/limits.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace qv::jpeg {
namespace {

constexpr int kLookupBits = 9;  // codes this short decode in one table lookup
constexpr int kSkipBits = 12;   // code and extra bits this short are skipped in one lookup
constexpr int kMaxComponents = 3;
constexpr int kQuantColours = kQuantisedColours;
// Zero bytes after the entropy data: more than one MCU can read past its end
// (six blocks of 64 codes of 16 bits with 15 extra bits), so the bit reader
// needs no bounds check; the position is checked after every MCU instead.
constexpr std::size_t kPadding = 2048;

// Natural (row-major) index of each zig-zag position.
struct ZigZag {
    std::array<uint8_t, 64> natural{};
    ZigZag()
    {
        int k = 0;
        for (int diagonal = 0; diagonal < 15; ++diagonal) {
            const int low = std::max(0, diagonal - 7), high = std::min(diagonal, 7);
            for (int i = 0; i <= high - low; ++i) {
                const int row = diagonal % 2 ? low + i : high - i;
                natural[k++] = uint8_t(row * 8 + diagonal - row);
            }
        }
    }
};
const ZigZag kZigZag;

// A 10-bit inverse-DCT result plus the level shift, clamped; the wrap of the
// index is libjpeg's, which matters only for absurd coefficients.
inline uchar idctSample(std::int64_t v)
{
    int x = int(v & 1023);
    if (x >= 512)
        x -= 1024;
    return uchar(std::clamp(x + 128, 0, 255));
}

inline int extend(int value, int bits)
{
    return value < (1 << (bits - 1)) ? value - (1 << bits) + 1 : value;
}

#define QV_ALWAYS_INLINE inline __attribute__((always_inline))

// MSB-first bit reader over a 64-bit accumulator. A refill leaves at least
// 56 bits in it and reads eight bytes ahead, which the padding allows.
struct BitReader {
    const uchar* base = nullptr;
    const uchar* next = nullptr;
    uint64_t bits = 0; // unread bits at the top
    int count = 0;

    void start(const uchar* at)
    {
        next = at;
        bits = 0;
        count = 0;
    }
    QV_ALWAYS_INLINE void refill()
    {
        uint64_t v;
        std::memcpy(&v, next, 8);
        bits |= __builtin_bswap64(v) >> count;
        next += (63 - count) >> 3;
        count |= 56;
    }
    QV_ALWAYS_INLINE uint32_t peek(int n) const { return uint32_t(bits >> (64 - n)); } // n from 1 to 32
    QV_ALWAYS_INLINE void drop(int n)
    {
        bits <<= n;
        count -= n;
    }
    QV_ALWAYS_INLINE int take(int n) // n from 1 to 16
    {
        const int v = int(peek(n));
        drop(n);
        return v;
    }
    std::size_t position() const { return std::size_t(next - base) * 8 - std::size_t(count); }
};

struct HuffmanTable {
    bool defined = false;
    std::array<uint16_t, 1 << kLookupBits> lookup{}; // length << 8 | symbol; 0 for longer codes
    std::array<int32_t, 17> maxCode{};               // per length, -1 when none
    std::array<int32_t, 17> valueOffset{};
    std::array<uint8_t, 256> symbols{};
    // AC only, by the next kSkipBits bits: advance in coefficients << 9 |
    // value bits << 5 | bits of code and value; 0 for a longer code. An end
    // of block advances 64.
    std::array<uint16_t, 1 << kSkipBits> skip{};
    // AC only: one or two symbols that the next kSkipBits bits hold whole:
    // bits of the first (5 bits), its advance (7), bits of both (5), advance
    // of both (7); one symbol gives the same twice. 0 for a longer code.
    std::array<uint32_t, 1 << kSkipBits> skipTwo{};

    // Canonical codes from the counts per length; false for a code space that
    // is over-full (no code may be all ones).
    bool build(const uchar* counts, const uchar* values, int n, bool ac)
    {
        std::copy(values, values + n, symbols.begin());
        lookup.fill(0);
        skip.fill(0);
        int code = 0, index = 0;
        for (int len = 1; len <= 16; ++len) {
            valueOffset[len] = index - code;
            for (int i = 0; i < counts[len - 1]; ++i, ++code, ++index) {
                if (code + 1 >= (1 << len))
                    return false; // the code space is full before this code
                const int sym = symbols[std::size_t(index)];
                if (len <= kLookupBits) {
                    const int first = code << (kLookupBits - len);
                    std::fill_n(lookup.begin() + first, 1 << (kLookupBits - len), uint16_t(len << 8 | sym));
                }
                const int r = sym >> 4, s = sym & 15;
                if (ac && len <= kSkipBits) {
                    const int advance = s ? r + 1 : r == 15 ? 16 : 64;
                    const int total = len + s;
                    const int first = code << (kSkipBits - len);
                    std::fill_n(skip.begin() + first, 1 << (kSkipBits - len),
                                uint16_t(advance << 9 | s << 5 | total));
                }
            }
            maxCode[len] = counts[len - 1] ? code - 1 : -1;
            code <<= 1;
        }
        if (ac) {
            constexpr int mask = (1 << kSkipBits) - 1;
            for (int i = 0; i <= mask; ++i) {
                const uint32_t first = skip[std::size_t(i)];
                uint32_t bits = first & 31, advance = first >> 9;
                uint32_t bothBits = bits, bothAdvance = advance;
                if (first && bits < kSkipBits && advance < 64) {
                    const uint32_t second = skip[std::size_t((i << bits) & mask)];
                    if (second && (second & 31) <= kSkipBits - bits) {
                        bothBits += second & 31;
                        bothAdvance += second >> 9;
                    }
                }
                skipTwo[std::size_t(i)] = first ? bits | advance << 5 | bothBits << 12 | bothAdvance << 17 : 0;
            }
        }
        defined = true;
        return true;
    }

    // The next symbol, or -1 for a code that is not in the table. Needs 16 bits.
    QV_ALWAYS_INLINE int decode(BitReader& br) const
    {
        if (const uint16_t e = lookup[br.peek(kLookupBits)]) {
            br.drop(e >> 8);
            return e & 0xff;
        }
        return decodeLong(br, kLookupBits + 1);
    }
    int decodeLong(BitReader& br, int from) const
    {
        for (int len = from; len <= 16; ++len) {
            const int32_t code = int32_t(br.peek(len));
            if (code <= maxCode[len]) {
                br.drop(len);
                return symbols[std::size_t(code + valueOffset[len])];
            }
        }
        return -1;
    }
};

// Steps over the AC coefficients of one block; false for a code not in the
// table. Short codes go two at a time, and two lookups fit in one refill.
QV_ALWAYS_INLINE bool skipAc(BitReader& br, const HuffmanTable& t)
{
    int k = 1;
    for (;;) {
        br.refill();
        for (int i = 0; i < 2; ++i) {
            const uint32_t e = t.skipTwo[br.peek(kSkipBits)];
            if (!e)
                goto longCode;
            if (k + int((e >> 5) & 127) >= 64) { // the block ends with the first
                br.drop(int(e & 31));
                return true;
            }
            br.drop(int((e >> 12) & 31));
            k += int(e >> 17);
            if (k >= 64)
                return true;
        }
        continue;
    longCode:
        br.refill();
        const int sym = t.decodeLong(br, kSkipBits + 1);
        if (sym < 0)
            return false;
        const int r = sym >> 4, s = sym & 15;
        if (s) {
            br.drop(s);
            k += r + 1;
        } else if (r == 15) {
            k += 16;
        } else {
            return true;
        }
        if (k >= 64)
            return true;
    }
}

struct Component {
    int id = 0, h = 1, v = 1, quant = 0, dc = 0, ac = 0;
};

// libjpeg's fixed-point YCbCr to RGB terms, 16 fractional bits.
struct ColourTables {
    std::array<int, 256> crR{}, cbB{}, crG{}, cbG{};
    ColourTables()
    {
        constexpr int64_t half = 1 << 15;
        for (int i = 0; i < 256; ++i) {
            const int64_t x = i - 128;
            crR[i] = int((91881 * x + half) >> 16);  // 1.40200
            cbB[i] = int((116130 * x + half) >> 16); // 1.77200
            crG[i] = int(-46802 * x);                // 0.71414
            cbG[i] = int(-22554 * x + half);         // 0.34414
        }
    }
};

// The one-pass colour quantiser of libjpeg with ordered dither: an even
// spread of levels per component (236 greys, or 6 x 6 x 6 colours).
struct Quantiser {
    int components = 1;
    int levels = 0;
    int colours = 0;
    std::array<std::array<int, 256 * 3>, 3> index{}; // padded by 255 on both sides
    std::array<std::array<std::array<int, 16>, 16>, 3> dither{};
    QVector<QRgb> table;

    explicit Quantiser(int n) : components(n)
    {
        levels = 1;
        while (true) { // the largest count whose power fits in the colours
            int64_t p = 1;
            for (int i = 0; i < n; ++i)
                p *= levels + 1;
            if (p > kQuantColours)
                break;
            ++levels;
        }
        colours = 1;
        for (int i = 0; i < n; ++i)
            colours *= levels;
        const int maxj = levels - 1;
        const auto outputValue = [maxj](int j) { return (j * 255 + maxj / 2) / maxj; };
        const auto largestInput = [maxj](int j) { return ((2 * j + 1) * 255 + maxj) / (2 * maxj); };
        // Bayer's matrix, the low bits of the coordinates weighing most.
        std::array<std::array<int, 16>, 16> bayer{};
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x) {
                int m = 0;
                for (int bit = 0; bit < 4; ++bit) {
                    const int bx = (x >> bit) & 1, by = (y >> bit) & 1;
                    m = m * 4 + (by ? (bx ? 1 : 2) : (bx ? 3 : 0));
                }
                bayer[y][x] = m;
            }
        int block = colours;
        for (int c = 0; c < n; ++c) {
            block /= levels;
            int val = 0, limit = largestInput(0);
            for (int j = 0; j < 256; ++j) {
                while (j > limit)
                    limit = largestInput(++val);
                index[c][std::size_t(j + 255)] = val * block;
            }
            for (int j = 1; j <= 255; ++j) {
                index[c][std::size_t(255 - j)] = index[c][255];
                index[c][std::size_t(510 + j)] = index[c][510];
            }
            const int den = 2 * 256 * maxj;
            for (int y = 0; y < 16; ++y)
                for (int x = 0; x < 16; ++x) {
                    const int num = (255 - 2 * bayer[y][x]) * 255;
                    dither[c][y][x] = num > 0 ? num / den : -(-num / den);
                }
        }
        table.resize(colours);
        for (int i = 0; i < colours; ++i) {
            int rest = i, rgb[3] = {0, 0, 0}, b = colours;
            for (int c = 0; c < n; ++c) {
                b /= levels;
                rgb[c] = outputValue(rest / b);
                rest %= b;
            }
            table[i] = n == 3 ? qRgb(rgb[0], rgb[1], rgb[2]) : qRgb(rgb[0], rgb[0], rgb[0]);
        }
    }

    uchar pixel(const uchar* samples, int x, int y) const
    {
        int v = 0;
        for (int c = 0; c < components; ++c)
            v += index[c][std::size_t(samples[c] + dither[c][y & 15][x & 15] + 255)];
        return uchar(v);
    }
};

struct Frame {
    std::array<Component, kMaxComponents> comps{};
    int componentCount = 0, width = 0, height = 0, restartInterval = 0;
    int hMax = 1, vMax = 1; // of the luminance
    int mcusX = 0, mcusY = 0, planeWidth = 0;
};

} // namespace

struct EighthScaleDecoder::Work {
    std::array<HuffmanTable, 4> dcTables, acTables;
    std::array<std::array<int16_t, 64>, 4> quant{}; // natural order
    std::array<bool, 4> quantDefined{};
    std::vector<uchar> entropy;           // unstuffed scan data and padding
    std::vector<std::size_t> segmentEnds; // byte ends of the restart intervals
    std::vector<uchar> planes[3];
    std::vector<uchar> row;

    bool parseQuant(const uchar* p, std::size_t n);
    bool parseHuffman(const uchar* p, std::size_t n);
    bool unstuff(const uchar* data, std::size_t size, std::size_t pos, std::size_t segmentsNeeded,
                 bool restarts);
    bool readHeaders(const uchar* data, std::size_t size, const Limits& limits, Frame& f, std::size_t& dataStart);
    bool parseFrame(const uchar* body, std::size_t n, Frame& f);
    bool checkScan(const uchar* scan, std::size_t scanLength, Frame& f);
    bool decodeScan(const Frame& f, bool colour);
    QImage picture(const Frame& f, bool colour, bool eightBit) const;
};

bool EighthScaleDecoder::Work::parseQuant(const uchar* p, std::size_t n)
{
    std::size_t i = 0;
    while (i < n) {
        const int precision = p[i] >> 4, slot = p[i] & 15;
        ++i;
        const std::size_t bytes = precision ? 128 : 64;
        if (precision > 1 || slot > 3 || n - i < bytes)
            return false;
        for (int k = 0; k < 64; ++k) {
            const int v = precision ? be16(p + i + 2 * k) : p[i + k];
            if (v > 32767)
                return false; // libjpeg keeps factors in 16 signed bits
            quant[slot][kZigZag.natural[k]] = int16_t(v);
        }
        quantDefined[slot] = true;
        i += bytes;
    }
    return true;
}

bool EighthScaleDecoder::Work::parseHuffman(const uchar* p, std::size_t n)
{
    std::size_t i = 0;
    while (i < n) {
        if (n - i < 17)
            return false;
        const int kind = p[i] >> 4, slot = p[i] & 15;
        if (kind > 1 || slot > 3)
            return false;
        const uchar* counts = p + i + 1;
        int total = 0;
        for (int k = 0; k < 16; ++k)
            total += counts[k];
        i += 17;
        if (total > 256 || n - i < std::size_t(total))
            return false;
        const uchar* values = p + i;
        if (kind == 0 && std::any_of(values, values + total, [](uchar s) { return s > 15; }))
            return false;
        HuffmanTable& t = kind ? acTables[std::size_t(slot)] : dcTables[std::size_t(slot)];
        t.defined = false;
        if (!t.build(counts, values, total, kind == 1))
            return false;
        i += std::size_t(total);
    }
    return true;
}

// Copies the entropy-coded data from pos with the stuffed zero bytes taken
// out, cutting it at restart markers, until segmentsNeeded intervals are
// there or another marker (or the end) comes. Restart markers must count
// 0 to 7 in turn. False when fewer intervals are there.
bool EighthScaleDecoder::Work::unstuff(const uchar* data, std::size_t size, std::size_t pos,
                                       std::size_t segmentsNeeded, bool restarts)
{
    entropy.clear();
    segmentEnds.clear();
    entropy.reserve(size - pos + kPadding);
    int nextRestart = 0;
    while (segmentEnds.size() < segmentsNeeded) {
        const void* hit = pos < size ? std::memchr(data + pos, 0xFF, size - pos) : nullptr;
        const std::size_t end = hit ? std::size_t(static_cast<const uchar*>(hit) - data) : size;
        entropy.insert(entropy.end(), data + pos, data + end);
        if (end + 1 >= size) { // the file ends inside the data
            segmentEnds.push_back(entropy.size());
            break;
        }
        const uchar next = data[end + 1];
        if (next == 0x00) {
            entropy.push_back(0xFF);
            pos = end + 2;
            continue;
        }
        segmentEnds.push_back(entropy.size());
        if (!restarts || next != 0xD0 + nextRestart)
            break; // any other marker ends the scan's data
        nextRestart = (nextRestart + 1) & 7;
        pos = end + 2;
    }
    entropy.insert(entropy.end(), kPadding, 0);
    return segmentEnds.size() >= segmentsNeeded;
}

EighthScaleDecoder::EighthScaleDecoder() : d(std::make_unique<Work>()) {}
EighthScaleDecoder::~EighthScaleDecoder() = default;


namespace {

const ColourTables& colourTables()
{
    static const ColourTables tables;
    return tables;
}

const Quantiser& quantiser(int components)
{
    static const Quantiser grey(1), colour(3);
    return components == 3 ? colour : grey;
}

// The 2 x 2 reduced inverse DCT of the IJG (13 fractional bits, two extra bits
// between the passes): only the odd frequencies and DC reach the corners.
// libjpeg-turbo runs it in 16-bit lanes with 32-bit sums, so a block whose
// values leave those ranges (no real picture has one) is refused: false.
bool idct2x2(const std::array<int16_t, 64>& block, const std::array<int16_t, 64>& quant, uchar out[4])
{
    constexpr int64_t c1 = 29692, c3 = -10426, c5 = 6967, c7 = -5906; // 3.624509785, 1.272758580, ...
    constexpr int64_t lane = 32767, sum = (int64_t(1) << 31) - (1 << 19);
    static constexpr int kUsed[5] = {0, 1, 3, 5, 7};
    int64_t work[2][8] = {};
    bool fits = true;
    const auto check = [&fits](int64_t v, int64_t limit) {
        fits = fits && v <= limit && v >= -limit;
        return v;
    };
    for (const int col : kUsed) {
        const auto z = [&](int row) { return check(int64_t(block[row * 8 + col]) * quant[row * 8 + col], lane); };
        const int64_t even = z(0) * (int64_t(1) << 15);
        const int64_t odd = z(7) * c7 + z(5) * c5 + z(3) * c3 + z(1) * c1;
        work[0][col] = check((check(even + odd, sum) + (1 << 12)) >> 13, lane);
        work[1][col] = check((check(even - odd, sum) + (1 << 12)) >> 13, lane);
    }
    for (int row = 0; row < 2; ++row) {
        const int64_t* w = work[row];
        const int64_t even = w[0] * (int64_t(1) << 15);
        const int64_t odd = w[7] * c7 + w[5] * c5 + w[3] * c3 + w[1] * c1;
        // Its vector code clamps here where the plain one wraps.
        const auto sample = [](int64_t v) { return uchar(std::clamp<int64_t>(((v + (1 << 19)) >> 20) + 128, 0, 255)); };
        out[row * 2] = sample(check(even + odd, sum));
        out[row * 2 + 1] = sample(check(even - odd, sum));
    }
    return fits;
}

} // namespace

// The frame header: 8-bit samples, one or three components with distinct ids.
bool EighthScaleDecoder::Work::parseFrame(const uchar* body, std::size_t n, Frame& f)
{
    if (n < 6 || body[0] != 8)
        return false;
    f.height = be16(body + 1);
    f.width = be16(body + 3);
    f.componentCount = body[5];
    if ((f.componentCount != 1 && f.componentCount != 3) || n != 6 + 3 * std::size_t(f.componentCount))
        return false;
    for (int c = 0; c < f.componentCount; ++c) {
        const uchar* q = body + 6 + 3 * c;
        f.comps[std::size_t(c)] = {q[0], q[1] >> 4, q[1] & 15, q[2], 0, 0};
        if (f.comps[std::size_t(c)].quant > 3)
            return false;
        for (int e = 0; e < c; ++e)
            if (f.comps[std::size_t(e)].id == f.comps[std::size_t(c)].id)
                return false;
    }
    return true;
}

// The scan header and the sampling: what this decoder handles, tables defined.
bool EighthScaleDecoder::Work::checkScan(const uchar* scan, std::size_t scanLength, Frame& f)
{
    auto& comps = f.comps;
    const int componentCount = f.componentCount;
    // One scan of every component in frame order, all coefficients at once.
    if (scanLength != 4 + 2 * std::size_t(componentCount) || scan[0] != componentCount)
        return false;
    for (int c = 0; c < componentCount; ++c) {
        Component& k = comps[std::size_t(c)];
        const uchar* s = scan + 1 + 2 * c;
        k.dc = s[1] >> 4;
        k.ac = s[1] & 15;
        if (s[0] != k.id || k.dc > 3 || k.ac > 3 || !dcTables[std::size_t(k.dc)].defined
            || !acTables[std::size_t(k.ac)].defined || !quantDefined[std::size_t(k.quant)])
            return false;
    }
    const uchar* spectral = scan + 1 + 2 * componentCount;
    if (spectral[0] != 0 || spectral[1] != 63 || spectral[2] != 0)
        return false;

    int &hMax = f.hMax, &vMax = f.vMax;
    if (componentCount == 3) {
        const auto ids = [&](int a, int b, int c) {
            return comps[0].id == a && comps[1].id == b && comps[2].id == c;
        };
        if (ids('R', 'G', 'B') || ids('r', 'g', 'b'))
            return false; // stored as RGB
        hMax = comps[0].h;
        vMax = comps[0].v;
        const bool lumaSampling = (hMax == 1 && vMax == 1) || (hMax == 2 && (vMax == 1 || vMax == 2));
        for (int c = 1; c < 3; ++c)
            if (comps[std::size_t(c)].h != 1 || comps[std::size_t(c)].v != 1)
                return false;
        if (!lumaSampling)
            return false;
    } else if (comps[0].h < 1 || comps[0].h > 4 || comps[0].v < 1 || comps[0].v > 4) {
        return false; // libjpeg refuses these
    }
    return true;
}

// The markers up to the scan and the scan header, checked; false for
// anything this decoder leaves to libjpeg.
bool EighthScaleDecoder::Work::readHeaders(const uchar* data, std::size_t size, const Limits& limits, Frame& f,
                                           std::size_t& dataStart)
{
    for (auto& t : dcTables)
        t.defined = false;
    for (auto& t : acTables)
        t.defined = false;
    quantDefined.fill(false);

    ByteCursor in(QByteArrayView(data, qsizetype(size)), ByteCursor::Order::BigEndian);
    const uchar* soi = in.take(2);
    if (!soi || soi[0] != 0xFF || soi[1] != 0xD8)
        return false;

    bool frame = false;
    const uchar* scan = nullptr;
    std::size_t scanLength = 0;
    // The markers up to the scan; anything unusual is left to libjpeg.
    while (!scan) {
        uchar b = 0;
        if (!in.byte(&b) || b != 0xFF)
            return false;
        do {
            if (!in.byte(&b))
                return false;
        } while (b == 0xFF);
        const uchar marker = b;
        quint16 length = 0;
        if (!in.u16(&length) || length < 2)
            return false;
        const std::size_t n = std::size_t(length - 2);
        const uchar* body = in.take(n);
        if (!body)
            return false;
        switch (marker) {
        case 0xC0: // baseline
        case 0xC1: // extended sequential with Huffman codes: 8-bit samples only
            if (frame || !parseFrame(body, n, f))
                return false;
            frame = true;
            break;
        case 0xC4:
            if (!parseHuffman(body, n))
                return false;
            break;
        case 0xDB:
            if (!parseQuant(body, n))
                return false;
            break;
        case 0xDD:
            if (n != 2)
                return false;
            f.restartInterval = be16(body);
            break;
        case 0xDA:
            if (!frame)
                return false;
            scan = body;
            scanLength = n;
            break;
        case 0xEE: // Adobe's segment may say RGB or YCCK
            return false;
        default:
            if ((marker >= 0xE0 && marker <= 0xEF) || marker == 0xFE)
                break; // application data and comments
            return false;
        }
    }

    if (!checkScan(scan, scanLength, f))
        return false;
    if (!pictureSizeAllowed(f.width, f.height) || int64_t(f.width) * f.height > limits.maxPixels)
        return false;
    dataStart = in.pos();
    return true;
}

// The AC coefficients of one block into `block` (zigzag order undone); false
// for a code that is not in the table.
static inline __attribute__((always_inline)) bool readAc(BitReader& br, const HuffmanTable& t,
                                                         std::array<int16_t, 64>& block)
{
    for (int k = 1; k < 64; ++k) {
        br.refill();
        int r, s;
        if (const uint16_t e = t.skip[br.peek(kSkipBits)]) {
            // Code and value in one look: the value is the low bits of the total.
            const int total = e & 31;
            s = (e >> 5) & 15;
            r = (e >> 9) - 1;
            if (s) {
                k += r;
                const int v = int(br.peek(total)) & ((1 << s) - 1);
                block[k <= 63 ? kZigZag.natural[std::size_t(k)] : 63] = int16_t(extend(v, s));
                br.drop(total);
                continue;
            }
            br.drop(total);
            r = e >> 9 == 16 ? 15 : 0;
        } else {
            const int sym = t.decodeLong(br, kSkipBits + 1);
            if (sym < 0)
                return false;
            r = sym >> 4;
            s = sym & 15;
            if (s) {
                k += r;
                // A run past the end lands on the last coefficient, as in libjpeg.
                block[k <= 63 ? kZigZag.natural[std::size_t(k)] : 63] = int16_t(extend(br.take(s), s));
                continue;
            }
        }
        if (r != 15)
            return true; // end of block
        k += 15;
    }
    return true;
}

// Decodes the MCUs of the scan into the sample planes at 1/8; false for
// damaged data or data that ends early.
bool EighthScaleDecoder::Work::decodeScan(const Frame& f, bool colour)
{
    const auto& comps = f.comps;
    const int componentCount = f.componentCount, restartInterval = f.restartInterval;
    const int hMax = f.hMax, vMax = f.vMax, mcusX = f.mcusX, mcusY = f.mcusY, planeW = f.planeWidth;
    BitReader br;
    br.base = entropy.data();
    br.start(br.base);
    std::size_t segment = 0;
    std::size_t segmentEndBits = segmentEnds[0] * 8;
    int predictions[3] = {0, 0, 0};
    bool ok = true;
    constexpr int kDcLimit = 1 << 30;

    const auto dcCoefficient = [&](const Component& c, int& prediction) __attribute__((always_inline)) {
        br.refill();
        const int s = dcTables[std::size_t(c.dc)].decode(br);
        if (s < 0) {
            ok = false;
            return 0;
        }
        if (s)
            prediction += extend(br.take(s), s);
        if (prediction > kDcLimit || prediction < -kDcLimit)
            ok = false; // far from any real file; libjpeg decides
        return int(int16_t(prediction)); // the library keeps 16 bits
    };
    const auto skip = [&](const HuffmanTable& t) __attribute__((always_inline)) {
        if (!skipAc(br, t))
            ok = false;
    };
    std::array<int16_t, 64> block{};
    const auto dcSample = [&](int coefficient, int quant) { return idctSample((coefficient * quant + 4) >> 3); };

    int64_t mcu = 0;
    for (int my = 0; my < mcusY; ++my) {
        for (int mx = 0; mx < mcusX; ++mx, ++mcu) {
            if (restartInterval && mcu > 0 && mcu % restartInterval == 0) {
                br.start(br.base + segmentEnds[segment]);
                ++segment;
                segmentEndBits = segmentEnds[segment] * 8;
                predictions[0] = predictions[1] = predictions[2] = 0;
            }
            const Component& y = comps[0];
            const int q0 = quant[std::size_t(y.quant)][0];
            for (int by = 0; by < vMax; ++by)
                for (int bx = 0; bx < hMax; ++bx) {
                    const int coefficient = dcCoefficient(y, predictions[0]);
                    skip(acTables[std::size_t(y.ac)]);
                    planes[0][std::size_t(my * vMax + by) * std::size_t(planeW) + std::size_t(mx * hMax + bx)]
                        = dcSample(coefficient, q0);
                }
            for (int c = 1; c < componentCount; ++c) {
                const Component& k = comps[std::size_t(c)];
                const HuffmanTable& ac = acTables[std::size_t(k.ac)];
                const auto& factors = quant[std::size_t(k.quant)];
                const int coefficient = dcCoefficient(k, predictions[c]);
                std::vector<uchar>& plane = planes[c];
                if (!colour) {
                    skip(ac);
                } else if (vMax == 2) {
                    // 4:2:0: libjpeg scales these blocks up by a 2 x 2 transform.
                    block.fill(0);
                    block[0] = int16_t(coefficient);
                    if (!readAc(br, ac, block))
                        ok = false;
                    uchar out[4];
                    if (!idct2x2(block, factors, out))
                        return false;
                    const std::size_t at = std::size_t(2 * my) * std::size_t(planeW) + std::size_t(2 * mx);
                    plane[at] = out[0];
                    plane[at + 1] = out[1];
                    plane[at + std::size_t(planeW)] = out[2];
                    plane[at + std::size_t(planeW) + 1] = out[3];
                } else {
                    // 4:4:4 and 4:2:2: the DC value, repeated across the MCU.
                    skip(ac);
                    const uchar v = dcSample(coefficient, factors[0]);
                    const std::size_t at = std::size_t(my) * std::size_t(planeW) + std::size_t(mx * hMax);
                    for (int bx = 0; bx < hMax; ++bx)
                        plane[at + std::size_t(bx)] = v;
                }
            }
            if (!ok || br.position() > segmentEndBits)
                return false; // damaged, or the data ends early
        }
    }
    return true;
}

// The picture from the planes: YCbCr to RGB, or quantised like libjpeg.
QImage EighthScaleDecoder::Work::picture(const Frame& f, bool colour, bool eightBit) const
{
    const int outW = (f.width + 7) / 8, outH = (f.height + 7) / 8, planeW = f.planeWidth;
    const bool quantise = eightBit || !colour;
    QImage image(outW, outH, quantise ? QImage::Format_Indexed8 : QImage::Format_RGB888);
    if (image.isNull())
        return image;
    const ColourTables& ct = colourTables();
    const Quantiser* q = quantise ? &quantiser(colour ? 3 : 1) : nullptr;
    for (int yy = 0; yy < outH; ++yy) {
        uchar* out = image.scanLine(yy);
        const std::size_t rowAt = std::size_t(yy) * std::size_t(planeW);
        const uchar* luma = planes[0].data() + rowAt;
        if (!colour) {
            for (int x = 0; x < outW; ++x)
                out[x] = q->pixel(luma + x, x, yy);
            continue;
        }
        const uchar* cb = planes[1].data() + rowAt;
        const uchar* cr = planes[2].data() + rowAt;
        for (int x = 0; x < outW; ++x) {
            const int l = luma[x];
            const uchar rgb[3] = {uchar(std::clamp(l + ct.crR[cr[x]], 0, 255)),
                                  uchar(std::clamp(l + ((ct.cbG[cb[x]] + ct.crG[cr[x]]) >> 16), 0, 255)),
                                  uchar(std::clamp(l + ct.cbB[cb[x]], 0, 255))};
            if (q) {
                out[x] = q->pixel(rgb, x, yy);
            } else {
                out[3 * x] = rgb[0];
                out[3 * x + 1] = rgb[1];
                out[3 * x + 2] = rgb[2];
            }
        }
    }
    if (q)
        image.setColorTable(q->table);
    return image;
}

std::optional<EighthScaleResult> EighthScaleDecoder::decode(const unsigned char* data, std::size_t size,
                                                           bool grayscale, bool eightBit, const Limits& limits)
{
    Work& w = *d;
    Frame f;
    std::size_t dataStart = 0;
    if (!w.readHeaders(data, size, limits, f, dataStart))
        return std::nullopt;
    f.mcusX = (f.width + 8 * f.hMax - 1) / (8 * f.hMax);
    f.mcusY = (f.height + 8 * f.vMax - 1) / (8 * f.vMax);
    f.planeWidth = f.mcusX * f.hMax;
    const int64_t totalMcus = int64_t(f.mcusX) * f.mcusY;
    const std::size_t segmentsNeeded =
        f.restartInterval ? std::size_t((totalMcus + f.restartInterval - 1) / f.restartInterval) : 1;
    if (!w.unstuff(data, size, dataStart, segmentsNeeded, f.restartInterval > 0))
        return std::nullopt;

    const bool colour = f.componentCount == 3 && !grayscale;
    const std::size_t planeSize = std::size_t(f.planeWidth) * std::size_t(f.mcusY * f.vMax);
    for (int c = 0; c < (colour ? 3 : 1); ++c)
        w.planes[c].resize(planeSize);

    if (!w.decodeScan(f, colour))
        return std::nullopt;
    EighthScaleResult result;
    result.image = w.picture(f, colour, eightBit);
    result.width = f.width;
    result.height = f.height;
    if (result.image.isNull())
        return std::nullopt;
    return result;
}

} // namespace qv::jpeg

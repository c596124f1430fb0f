// LZW coding of GIF image data: bit packing, blocks, the encoder's table
// resets and the decoder's handling of valid and hostile code streams.
#include "formats/gif_errors.h"
#include "formats/gif_lzw.h"

#include <gtest/gtest.h>
#include <random>

namespace {

using Codes = std::vector<std::pair<unsigned, int>>; // code, width

TByteBuffer pack(const Codes& codes)
{
    TByteBuffer buf;
    TEncodedBytes enc(buf);
    for (auto [code, width] : codes)
        enc.addCode(code, width);
    enc.flush();
    return buf;
}

std::vector<std::uint8_t> bytesOf(const TByteBuffer& b)
{
    std::vector<std::uint8_t> out;
    for (std::size_t i = 0; i < b.blockCount(); ++i)
        out.insert(out.end(), b.blockData(i), b.blockData(i) + b.blockSize(i));
    return out;
}

TByteArray2D decode(const Codes& codes, int minCodeSize, std::size_t w, std::size_t h, bool interlaced = false)
{
    TByteBuffer data = pack(codes);
    TByteArray2D m(w, h);
    LzwDecode(data, minCodeSize, interlaced, m, {});
    return m;
}

std::vector<std::uint8_t> roundTrip(const std::vector<std::uint8_t>& px, int minCodeSize)
{
    TByteBuffer data;
    LzwEncode(px.data(), px.size(), minCodeSize, data, {});
    TByteArray2D m(px.size(), 1);
    LzwDecode(data, minCodeSize, false, m, {});
    return std::vector<std::uint8_t>(m.bytes().data(), m.bytes().data() + px.size());
}

template <typename E>
QString decodeError(const Codes& codes, int minCodeSize, std::size_t w, std::size_t h)
{
    try {
        decode(codes, minCodeSize, w, h);
    } catch (const E& e) {
        return e.message();
    }
    return QStringLiteral("<no error>");
}

// Walks a code stream as any reader does (width grows when the next free code
// reaches 2^width) and returns the next free code seen at each clear after the first.
std::vector<unsigned> nextFreeAtClears(const TByteBuffer& data, int minCodeSize)
{
    const std::vector<std::uint8_t> bytes = bytesOf(data);
    const unsigned clear = 1u << minCodeSize, end = clear + 1;
    std::size_t bit = 0;
    int width = minCodeSize + 1;
    unsigned nextFree = clear + 2;
    bool first = true, started = false;
    std::vector<unsigned> seen;
    while (bit + width <= bytes.size() * 8) {
        unsigned code = 0;
        for (int i = 0; i < width; ++i, ++bit)
            code |= unsigned(bytes[bit / 8] >> (bit % 8) & 1) << i;
        if (code == end)
            break;
        if (code == clear) {
            if (started)
                seen.push_back(nextFree);
            started = true;
            width = minCodeSize + 1;
            nextFree = clear + 2;
            first = true;
            continue;
        }
        if (!first && nextFree < 4096 && ++nextFree == (1u << width) && width < 12)
            ++width;
        first = false;
    }
    return seen;
}

} // namespace

TEST(GifLzwBits, CodesArePackedLeastSignificantBitFirstIntoBlocksOf255)
{
    // 4, 1, 5 in 3 bits and 0x1AB in 9 bits: 100 001 101 110101011 read from bit 0.
    EXPECT_EQ(bytesOf(pack({{4, 3}, {1, 3}, {5, 3}, {0x1AB, 9}})), (std::vector<std::uint8_t>{0x4C, 0x57, 0x03}));

    TByteBuffer b;
    for (int i = 0; i < 600; ++i)
        b.append(std::uint8_t(i));
    ASSERT_EQ(b.blockCount(), 3u);
    EXPECT_EQ(b.blockSize(0), 255u);
    EXPECT_EQ(b.blockSize(1), 255u);
    EXPECT_EQ(b.blockSize(2), 90u);
    EXPECT_EQ(b.blockData(1)[0], 255);
    EXPECT_EQ(b.count(), 600u);
}

TEST(GifLzwEncoder, WritesTheExpectedCodes)
{
    // Four zeros with 2-bit pixels: clear, 0, the new code 6 for "00", 0, end.
    // The second entry makes the table 8 codes long, so readers take the end
    // code 4 bits wide.
    const std::vector<std::uint8_t> px{0, 0, 0, 0};
    TByteBuffer data;
    std::vector<double> reports;
    LzwEncode(px.data(), px.size(), 2, data, [&](double f) { reports.push_back(f); });
    EXPECT_EQ(bytesOf(data), bytesOf(pack({{4, 3}, {0, 3}, {6, 3}, {0, 3}, {5, 4}})));
    EXPECT_EQ(reports, (std::vector<double>{0.0, 1.0}));
}

TEST(GifLzwEncoder, EndCodeTakesTheWidthReadersExpect)
{
    // Eleven pixels whose pairs are all new: clear, ten 3- and 4-bit codes,
    // and the table reaches 16 codes with the last one. Readers then take the
    // end code 5 bits wide, one bit more than the data would hold otherwise.
    const std::vector<std::uint8_t> px{0, 0, 1, 0, 2, 0, 3, 1, 1, 2, 1};
    TByteBuffer data;
    LzwEncode(px.data(), px.size(), 2, data, {});
    EXPECT_EQ(data.count(), 7u);
    EXPECT_EQ(roundTrip(px, 2), px);
}

TEST(GifLzwEncoder, RoundTripsShortAndRandomSequences)
{
    for (int n = 1; n <= 7; ++n) {
        for (unsigned bits = 0; bits < (1u << (2 * n)); ++bits) {
            std::vector<std::uint8_t> px(n);
            for (int i = 0; i < n; ++i)
                px[i] = (bits >> (2 * i)) & 3;
            ASSERT_EQ(roundTrip(px, 2), px) << "n=" << n << " bits=" << bits;
        }
    }
    std::mt19937 rng(3);
    for (int trial = 0; trial < 600; ++trial) {
        const int minCodeSize = 2 + trial % 7;
        std::vector<std::uint8_t> px(1 + rng() % 400);
        for (auto& p : px)
            p = std::uint8_t(rng() % (1u << minCodeSize));
        ASSERT_EQ(roundTrip(px, minCodeSize), px) << trial;
    }
}

TEST(GifLzwEncoder, ClearsExactlyWhenTheTableIsFullAndRoundTrips)
{
    std::mt19937 rng(7);
    for (int minCodeSize : {2, 4, 8}) {
        for (std::size_t n : {std::size_t(1), std::size_t(255), std::size_t(5000), std::size_t(70000)}) {
            std::vector<std::uint8_t> px(n);
            // Short runs keep both new strings and repeats coming.
            for (std::size_t i = 0; i < n; ++i)
                px[i] = (rng() % 3 == 0 && i) ? px[i - 1] : std::uint8_t(rng() % (1u << minCodeSize));
            TByteBuffer data;
            std::vector<double> reports;
            LzwEncode(px.data(), n, minCodeSize, data, [&](double f) { reports.push_back(f); });
            const std::vector<unsigned> clears = nextFreeAtClears(data, minCodeSize);
            for (unsigned nf : clears)
                EXPECT_EQ(nf, 4096u) << "s=" << minCodeSize << " n=" << n;
            EXPECT_EQ(reports.size(), clears.size() + 2);
            EXPECT_TRUE(std::is_sorted(reports.begin(), reports.end()));
            if (n == 70000) {
                EXPECT_GE(clears.size(), 1u) << minCodeSize;
            }
            TByteArray2D m(n, 1);
            LzwDecode(data, minCodeSize, false, m, {});
            EXPECT_EQ(0, std::memcmp(m.bytes().data(), px.data(), n));
        }
    }
}

TEST(GifLzwEncoder, RefusesIndicesThatWouldBeControlCodes)
{
    const std::vector<std::uint8_t> px{0, 4};
    TByteBuffer data;
    EXPECT_THROW(LzwEncode(px.data(), px.size(), 2, data, {}), EIndexOutOfBounds);
}

TEST(GifLzwDecoder, ReadsClearsKwKwKAndGrowth)
{
    // 2x3 picture, 2-bit codes: clear, 1, 6 (= "11", not yet in the table),
    // clear, clear, 2, end code at the width the second clear restored.
    TByteArray2D m = decode({{4, 3}, {1, 3}, {6, 3}, {4, 3}, {4, 3}, {2, 3}, {3, 3}, {3, 3}, {5, 3}}, 2, 2, 3);
    EXPECT_EQ(std::vector<std::uint8_t>(m.bytes().data(), m.bytes().data() + 6),
              (std::vector<std::uint8_t>{1, 1, 1, 2, 3, 3}));

    // Without a leading clear code the stream is read as if it had one.
    m = decode({{2, 3}, {2, 3}, {5, 3}}, 2, 2, 1);
    EXPECT_EQ(m.get(1, 1), 2);
    EXPECT_EQ(m.get(2, 1), 2);

    // Right after a clear, a code not in the table gives pixel 0.
    m = decode({{4, 3}, {7, 3}, {5, 3}}, 2, 1, 1);
    EXPECT_EQ(m.get(1, 1), 0);
}

TEST(GifLzwDecoder, RowsWithoutPixelsStayZero)
{
    // The end code after one and a half rows: only the whole row is stored.
    TByteArray2D m = decode({{4, 3}, {3, 3}, {3, 3}, {3, 3}, {5, 4}}, 2, 2, 3);
    EXPECT_EQ(m.get(1, 1), 3);
    EXPECT_EQ(m.get(2, 1), 3);
    EXPECT_EQ(m.get(1, 2), 0);
    EXPECT_EQ(m.get(2, 3), 0);
}

TEST(GifLzwDecoder, InterlacedRowsFollowThePassesAndSkipEmptyPasses)
{
    for (std::size_t h : {1, 2, 3, 4, 5, 8, 9, 17}) {
        std::vector<std::size_t> expected;
        for (std::size_t y = 0; y < h; y += 8) expected.push_back(y);
        for (std::size_t y = 4; y < h; y += 8) expected.push_back(y);
        for (std::size_t y = 2; y < h; y += 4) expected.push_back(y);
        for (std::size_t y = 1; y < h; y += 2) expected.push_back(y);
        // One pixel per row, its value the order in which it was coded.
        std::vector<std::uint8_t> px(h);
        for (std::size_t i = 0; i < h; ++i)
            px[i] = std::uint8_t(i);
        TByteBuffer data;
        LzwEncode(px.data(), h, 5, data, {});
        TByteArray2D m(1, h);
        int rows = 0;
        LzwDecode(data, 5, true, m, [&] { ++rows; });
        EXPECT_EQ(rows, int(h));
        for (std::size_t i = 0; i < h; ++i)
            EXPECT_EQ(m.get(1, expected[i] + 1), i) << "h=" << h << " coded row " << i;
    }
    // Height 3: rows 0, 2, 1.
    TByteArray2D m = decode({{4, 3}, {1, 3}, {2, 3}, {3, 3}, {5, 3}}, 2, 1, 3, true);
    EXPECT_EQ(m.get(1, 1), 1);
    EXPECT_EQ(m.get(1, 3), 2);
    EXPECT_EQ(m.get(1, 2), 3);
}

TEST(GifLzwDecoder, HostileStreamsEndInTheirErrors)
{
    EXPECT_EQ(decodeError<EGifException>({{4, 3}, {5, 3}}, 1, 1, 1), "Bad code Size");
    EXPECT_EQ(decodeError<EGifException>({{4, 3}, {5, 3}}, 12, 1, 1), "Bad code Size");
    EXPECT_EQ(decodeError<EGifException>({{4, 3}, {5, 3}}, 2, 1, 1), "Bad code");           // end right after clear
    EXPECT_EQ(decodeError<EGifException>({{4, 3}, {4, 3}, {5, 3}}, 2, 1, 1), "Bad code");   // ... after clears
    EXPECT_EQ(decodeError<EGifException>({{4, 3}, {0, 3}, {7, 3}}, 2, 4, 4), "Bad code");   // above next free
    EXPECT_EQ(decodeError<EGifException>({{4, 3}, {0, 3}, {0, 3}}, 2, 4, 4),
              "Image data ends before the end code");
    EXPECT_EQ(decodeError<EGifException>({}, 2, 4, 4), "Image data ends before the end code");
    // Once the picture is complete nothing more is read: neither further
    // pixels nor a bad code, and an empty picture reads nothing at all.
    EXPECT_EQ(decodeError<QvError>({{4, 3}, {0, 3}, {1, 3}, {1, 3}, {7, 3}}, 2, 2, 1), "<no error>");
    EXPECT_EQ(decode({{4, 3}, {0, 3}, {1, 3}, {1, 3}}, 2, 2, 1).get(2, 1), 1);
    EXPECT_EQ(decodeError<QvError>({{4, 3}, {0, 3}, {5, 3}}, 2, 0, 5), "<no error>");
}

TEST(GifLzwDecoder, AFullTableGoesOnWithTwelveBitCodesUntilAClear)
{
    // clear, 0, then 4090 more zeros: each adds an entry until code 4095.
    Codes codes{{4, 3}, {0, 3}};
    int width = 3;
    unsigned nextFree = 6;
    while (nextFree < 4096) {
        codes.push_back({0, width});
        if (++nextFree == (1u << width) && width < 12)
            ++width;
    }
    ASSERT_EQ(width, 12);
    const std::size_t pixels = codes.size() - 1;
    // Without a clear: entry 4095 ("00") and a literal, 12 bits each, nothing added.
    Codes deferred = codes;
    deferred.push_back({4095, 12});
    deferred.push_back({1, 12});
    deferred.push_back({5, 12});
    TByteArray2D d = decode(deferred, 2, pixels + 3, 1);
    EXPECT_EQ(d.get(pixels + 2, 1), 0);
    EXPECT_EQ(d.get(pixels + 3, 1), 1);

    Codes cleared = codes;
    cleared.push_back({4, 12});
    cleared.push_back({1, 3});
    cleared.push_back({5, 3});
    TByteArray2D m = decode(cleared, 2, pixels + 1, 1);
    EXPECT_EQ(m.get(pixels + 1, 1), 1);

    Codes ended = codes; // the end code is accepted in place of a clear
    ended.push_back({5, 12});
    EXPECT_NO_THROW(decode(ended, 2, pixels, 1));
}

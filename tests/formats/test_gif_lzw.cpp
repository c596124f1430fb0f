// LZW coding of GIF image data: bit packing, blocks, the encoder's table
// resets and the decoder's handling of valid and hostile code streams.
#include "formats/gif_errors.h"
#include "formats/gif_lzw.h"
#include "formats/gif_lzw_oracle.h"
#include "support/sample_data.h"

#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>

namespace {

using qvtest::LzwCodes;

TByteArray2D decode(const LzwCodes& codes, int minCodeSize, std::size_t w, std::size_t h, bool interlaced = false)
{
    TByteBuffer data = qvtest::packCodes(codes);
    TByteArray2D m(w, h);
    LzwDecode(data, minCodeSize, interlaced, m, {});
    return m;
}

template <typename E>
std::string decodeError(const LzwCodes& codes, int minCodeSize, std::size_t w, std::size_t h)
{
    return qvtest::messageOf<E>([&] { decode(codes, minCodeSize, w, h); });
}

} // namespace

TEST(GifLzwBits, CodesArePackedLeastSignificantBitFirstIntoBlocksOf255)
{
    // 4, 1, 5 in 3 bits and 0x1AB in 9 bits: 100 001 101 110101011 read from bit 0.
    EXPECT_EQ(qvtest::bytesOf(qvtest::packCodes({{4, 3}, {1, 3}, {5, 3}, {0x1AB, 9}})),
              (std::vector<std::uint8_t>{0x4C, 0x57, 0x03}));
    TByteBuffer b;
    for (int i = 0; i < 600; ++i)
        b.append(std::uint8_t(i));
    ASSERT_EQ(b.blockCount(), 3u);
    EXPECT_EQ(b.blockSize(1), 255u);
    EXPECT_EQ(b.blockSize(2), 90u);
    EXPECT_EQ(b.blockData(1)[0], 255);
}

// Our encoder writes the textbook code stream: its widths, the clear exactly
// when the table is full and the end code as wide as readers expect it.
TEST(GifLzwEncoder, WritesTheTextbookCodesAndRoundTrips)
{
    std::vector<std::uint8_t> runs(5000);
    for (std::size_t i = 0; i < runs.size(); ++i)
        runs[i] = std::uint8_t(i / 7 % 16);
    const struct {
        const char* name;
        std::vector<std::uint8_t> px;
        int minCodeSize;
    } cases[] = {
        {"one pixel", {3}, 2},
        {"four zeros: the end code 4 bits wide", {0, 0, 0, 0}, 2},
        {"the table reaches 16 with the last code", {0, 0, 1, 0, 2, 0, 3, 1, 1, 2, 1}, 2},
        {"noise filling the table twice", qvtest::noisePixels(70000, 2), 2},
        {"4-bit noise", qvtest::noisePixels(20000, 4), 4},
        {"8-bit noise", qvtest::noisePixels(70000, 8), 8},
        {"runs", runs, 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TByteBuffer data;
        std::vector<double> reports;
        LzwEncode(c.px.data(), c.px.size(), c.minCodeSize, data, [&](double f) { reports.push_back(f); });
        EXPECT_EQ(qvtest::bytesOf(data), qvtest::bytesOf(qvtest::packCodes(qvtest::textbookCodes(c.px, {c.minCodeSize}))));
        ASSERT_GE(reports.size(), 2u);
        EXPECT_EQ(reports.front(), 0.0);
        EXPECT_EQ(reports.back(), 1.0);
        EXPECT_TRUE(std::is_sorted(reports.begin(), reports.end()));
        TByteArray2D m(c.px.size(), 1);
        LzwDecode(data, c.minCodeSize, false, m, {});
        EXPECT_EQ(0, std::memcmp(m.bytes().data(), c.px.data(), c.px.size()));
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
    EXPECT_EQ(decodeError<QvError>({{4, 3}, {0, 3}, {1, 3}, {1, 3}, {7, 3}}, 2, 2, 1), "(no error)");
    EXPECT_EQ(decode({{4, 3}, {0, 3}, {1, 3}, {1, 3}}, 2, 2, 1).get(2, 1), 1);
    EXPECT_EQ(decodeError<QvError>({{4, 3}, {0, 3}, {5, 3}}, 2, 0, 5), "(no error)");
}

TEST(GifLzwDecoder, AFullTableGoesOnWithTwelveBitCodesUntilAClear)
{
    // clear, 0, then 4090 more zeros: each adds an entry until code 4095.
    LzwCodes codes{{4, 3}, {0, 3}};
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
    LzwCodes deferred = codes;
    deferred.push_back({4095, 12});
    deferred.push_back({1, 12});
    deferred.push_back({5, 12});
    TByteArray2D d = decode(deferred, 2, pixels + 3, 1);
    EXPECT_EQ(d.get(pixels + 2, 1), 0);
    EXPECT_EQ(d.get(pixels + 3, 1), 1);

    LzwCodes cleared = codes;
    cleared.push_back({4, 12});
    cleared.push_back({1, 3});
    cleared.push_back({5, 3});
    TByteArray2D m = decode(cleared, 2, pixels + 1, 1);
    EXPECT_EQ(m.get(pixels + 1, 1), 1);

    LzwCodes ended = codes; // the end code is accepted in place of a clear
    ended.push_back({5, 12});
    EXPECT_NO_THROW(decode(ended, 2, pixels, 1));
}

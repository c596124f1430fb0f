// The GIF module's byte containers and colour tables.
#include "formats/gif_arrays.h"
#include "formats/gif_file.h"

#include <gtest/gtest.h>

TEST(GifContainers, OneBasedIndicesAndRefusals)
{
    TBigByteArray a(3);
    EXPECT_EQ(a.get(1), 0); // new blocks are zeroed
    a.set(3, 30);
    EXPECT_EQ(a.get(3), 30);
    for (std::size_t bad : {std::size_t(0), std::size_t(4), SIZE_MAX})
        EXPECT_THROW(a.get(bad), EIndexOutOfBounds) << bad;
    EXPECT_THROW(a.set(4, 1), EIndexOutOfBounds);
    EXPECT_THROW(TBigByteArray().get(1), EIndexOutOfBounds);
    // Failed allocations and sizes that overflow are refused, never wrapped.
    EXPECT_THROW(TBigByteArray((std::size_t(1) << 40) + 5), EByteArrayError);
    EXPECT_THROW(TByteArray2D(SIZE_MAX / 2, 3), EByteArrayError);

    TByteArray2D m(3, 2);
    m.set(1, 1, 11);
    m.set(3, 2, 32);
    EXPECT_EQ(m.bytes().get(6), 32); // (r - 1) * columns + c
    // Only the block's own bounds count: column 4 of row 1 is column 1 of row 2.
    m.set(4, 1, 21);
    EXPECT_EQ(m.get(1, 2), 21);
    EXPECT_THROW(m.get(4, 2), EIndexOutOfBounds);
    EXPECT_THROW(m.get(1, 0), EIndexOutOfBounds);
    TBigByteArray row = m.getRow(2);
    ASSERT_EQ(row.count(), 3u);
    EXPECT_EQ(row.get(3), 32);
    m.setRow(1, row);
    EXPECT_EQ(m.get(3, 1), 32);
    EXPECT_THROW(m.getRow(3), EIndexOutOfBounds);
    EXPECT_THROW(m.setRow(0, row), EIndexOutOfBounds);
    EXPECT_THROW(m.setRow(1, TBigByteArray(2)), EByteArrayError);
}

TEST(GifColorTable, StandardTablesAndLookup)
{
    TColorTable t;
    SetStandardColors(t, 16);
    EXPECT_EQ(t.count, 16);
    EXPECT_EQ(ColorIndex(t, gifColor(128, 0, 0)), 1);
    EXPECT_EQ(ColorIndex(t, gifColor(192, 192, 192)), 8); // silver before the bright colours
    EXPECT_EQ(ColorIndex(t, gifColor(255, 0, 0)), 9);
    SetStandardColors(t, 256);
    EXPECT_EQ(t.entries[200][2], 200);
    // Other counts keep the entries.
    SetStandardColors(t, 4);
    EXPECT_EQ(t.count, 4);
    EXPECT_EQ(t.entries[3][1], 3);

    t.count = 3;
    const std::uint8_t rgb[4][3] = {{10, 20, 30}, {30, 20, 10}, {10, 20, 30}, {1, 2, 3}};
    std::memcpy(t.entries, rgb, sizeof rgb);
    EXPECT_EQ(ColorIndex(t, 0x1E140A), 0); // blue 30, green 20, red 10
    EXPECT_EQ(ColorIndex(t, gifColor(30, 20, 10)), 1);
    EXPECT_EQ(ColorIndex(t, gifColor(1, 2, 3)), -1); // beyond count
}

// The GIF module's byte containers and colour tables.
#include "formats/gif_arrays.h"
#include "formats/gif_file.h"

#include <gtest/gtest.h>

template <typename E, typename F>
static QString messageOf(F&& f)
{
    try {
        f();
    } catch (const E& e) {
        return e.message();
    }
    return QStringLiteral("<no error>");
}

TEST(GifContainers, BigByteArrayIsOneBasedAndRefusesOtherIndices)
{
    TBigByteArray a(3);
    EXPECT_EQ(a.get(1), 0); // new blocks are zeroed
    a.set(1, 10);
    a.set(3, 30);
    EXPECT_EQ(a.get(3), 30);
    TBigByteArray copy = a;
    copy.set(1, 99);
    EXPECT_EQ(a.get(1), 10); // copies are deep
    for (std::size_t bad : {std::size_t(0), std::size_t(4), SIZE_MAX})
        EXPECT_EQ(messageOf<EIndexOutOfBounds>([&] { a.get(bad); }), "Dynamic array index out of bounds");
    EXPECT_EQ(messageOf<EIndexOutOfBounds>([&] { a.set(4, 1); }), "Dynamic array index out of bounds");
    TBigByteArray empty;
    EXPECT_THROW(empty.get(1), EIndexOutOfBounds);
}

TEST(GifContainers, BigByteArrayReportsFailedAllocation)
{
    const std::size_t huge = (std::size_t(1) << 40) + 5;
    EXPECT_EQ(messageOf<EByteArrayError>([&] { TBigByteArray a(huge); }),
              "error in TBigByteArray.create: Not enough contiguous memory available\r\n"
              " requested memory block: 1099511627781 bytes");
    // A matrix whose size overflows is refused the same way, never wrapped.
    EXPECT_THROW(TByteArray2D(SIZE_MAX / 2, 3), EByteArrayError);
}

TEST(GifContainers, MatrixRowsAndElements)
{
    TByteArray2D m(3, 2);
    m.set(1, 1, 11);
    m.set(3, 2, 32);
    EXPECT_EQ(m.bytes().get(6), 32); // (r - 1) * columns + c
    EXPECT_EQ(m.get(3, 2), 32);
    // Only the block's own bounds count: column 4 of row 1 is column 1 of row 2.
    m.set(4, 1, 21);
    EXPECT_EQ(m.get(1, 2), 21);
    EXPECT_THROW(m.get(4, 2), EIndexOutOfBounds);
    EXPECT_THROW(m.get(1, 0), EIndexOutOfBounds);

    TBigByteArray row = m.getRow(2);
    ASSERT_EQ(row.count(), 3u);
    EXPECT_EQ(row.get(1), 21);
    EXPECT_EQ(row.get(3), 32);
    m.setRow(1, row);
    EXPECT_EQ(m.get(3, 1), 32);

    EXPECT_EQ(messageOf<EIndexOutOfBounds>([&] { m.getRow(3); }), "Dynamic array index out of bounds");
    EXPECT_EQ(messageOf<EIndexOutOfBounds>([&] { m.setRow(0, row); }), "Dynamic array index out of bounds");
    EXPECT_EQ(messageOf<EByteArrayError>([&] { m.setRow(1, TBigByteArray(2)); }),
              "Row doesn't have equal number of elements as Matrix row");

    TByteArray2D copy = m;
    copy.set(1, 1, 0);
    EXPECT_EQ(m.get(1, 1), 21);
}

TEST(GifColorTable, StandardTables)
{
    TColorTable t;
    SetStandardColors(t, 2);
    EXPECT_EQ(t.count, 2);
    EXPECT_EQ(ColorIndex(t, gifColor(255, 255, 255)), 1);

    SetStandardColors(t, 16);
    EXPECT_EQ(t.count, 16);
    EXPECT_EQ(ColorIndex(t, gifColor(128, 0, 0)), 1);
    EXPECT_EQ(ColorIndex(t, gifColor(192, 192, 192)), 8); // silver before the bright colours
    EXPECT_EQ(ColorIndex(t, gifColor(255, 0, 0)), 9);
    EXPECT_EQ(ColorIndex(t, gifColor(255, 255, 255)), 15);

    SetStandardColors(t, 256);
    EXPECT_EQ(t.entries[200][0], 200);
    EXPECT_EQ(t.entries[200][2], 200);

    // Other counts keep the entries.
    SetStandardColors(t, 4);
    EXPECT_EQ(t.count, 4);
    EXPECT_EQ(t.entries[3][1], 3);
}

TEST(GifColorTable, ColorIndexTakesRedFromTheLowByteAndLooksOnlyAtUsedEntries)
{
    TColorTable t;
    t.count = 3;
    const std::uint8_t rgb[4][3] = {{10, 20, 30}, {30, 20, 10}, {10, 20, 30}, {1, 2, 3}};
    std::memcpy(t.entries, rgb, sizeof rgb);
    EXPECT_EQ(ColorIndex(t, 0x1E140A), 0); // blue 30, green 20, red 10
    EXPECT_EQ(ColorIndex(t, gifColor(30, 20, 10)), 1);
    EXPECT_EQ(ColorIndex(t, gifColor(1, 2, 3)), -1); // beyond count
    t.count = 0;
    EXPECT_EQ(ColorIndex(t, gifColor(10, 20, 30)), -1);
}

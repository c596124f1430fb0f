// GIF files (87a and 89a) as objects: the colour table record, extension
// blocks, images with their index matrices, reading, writing, and the
// reduction of a picture to an indexed one.
#pragma once
#include "formats/gif_arrays.h"
#include "formats/gif_errors.h"
#include "formats/gif_lzw.h"

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

// 256 entries of red, green, blue and the number in use.
struct TColorTable {
    std::uint8_t entries[256][3] = {};
    std::int32_t count = 0;
};

// Fills in the standard table for 2, 16 or 256 colours; any other count only
// sets the count.
void SetStandardColors(TColorTable& table, int count);

// A colour value as the table's owner knows it: red in the low byte, green in
// the second, blue in the third.
constexpr std::uint32_t gifColor(std::uint8_t r, std::uint8_t g, std::uint8_t b)
{
    return std::uint32_t(r) | std::uint32_t(g) << 8 | std::uint32_t(b) << 16;
}

// The first entry among the first count whose bytes equal the colour; -1 when none.
int ColorIndex(const TColorTable& table, std::uint32_t color);

// One extension block as read.
struct TExtension {
    enum Kind { GraphicControl = 0, PlainText = 1, Application = 2, Comment = 3, Other = 4 };
    int kind = GraphicControl;
    std::uint8_t label = 0xF9;   // the label byte as read; tells the Other ones apart
    QByteArray header;           // the fixed bytes after the label (none for comments)
    QList<QByteArray> subBlocks; // data sub-blocks, one string each
};

class TGifFile;

class TGifSubImage {
public:
    // An image for n colours (a power of two from 2 to 256).
    TGifSubImage(TGifFile* owner, int colors);

    // Packed fields as written: local flag, interlace flag, and the bits per
    // pixel only when the image has its own table.
    std::uint8_t computePackedFields() const;

    TGifFile* owner;
    std::uint8_t lzwMinCodeSize = 2;
    TByteBuffer encodedData;
    std::uint16_t left = 0, top = 0, width = 0, height = 0;
    std::uint8_t packedFields = 0;
    bool interlaced = false;
    bool localColorTable = false;
    std::vector<TExtension> extensions;
    std::uint8_t bitsPerPixel = 1;
    TByteArray2D pixels;
    TColorTable colorTable;
};

class TGifFile {
public:
    TGifFile();
    TGifFile(const TGifFile&) = delete;
    TGifFile& operator=(const TGifFile&) = delete;
    ~TGifFile();

    // Reads a whole GIF file / GIF data into this (new) object. A failure
    // leaves it partly filled; callers discard it.
    void LoadFromFile(const QString& fileName);
    void LoadFromBytes(const QByteArray& data);

    // The first image as an 8-bit indexed picture with 256 table entries,
    // from the image's own table or else the global one.
    QImage GetBitmap() const;
    // The same, handing the first image's pixels over as they are copied, so
    // that a large picture is never held twice; the first image is empty after.
    QImage TakeBitmap();

    // Adds an indexed picture: the first one gives the global table, later
    // ones carry their own.
    void AddSubImage(const TColorTable& table, const TByteArray2D& pixels);

    // Writes the object; the file is replaced only once it is complete.
    void SaveToFile(const QString& fileName);
    QByteArray SaveToBytes();

    // Screen packed fields from the global table; throws for a count other
    // than 2, 16 or 256.
    std::uint8_t computePackedFields() const;

    // Memory that reading one file may keep, in bytes: the pixels of all its
    // images plus the bookkeeping of each image, extension and data block, so
    // that a file of many tiny blocks cannot blow up either.
    static constexpr std::int64_t kDefaultMemoryBudget = std::int64_t(1) << 30;
    void setMemoryBudget(std::int64_t bytes) { m_memoryBudget = bytes; }

    QByteArray signature{"GIF"};
    QByteArray version{"87a"};
    std::uint16_t screenWidth = 0, screenHeight = 0;
    std::uint8_t packedFields = 0;
    std::uint8_t backgroundColor = 0;
    std::uint8_t pixelAspectRatio = 0;
    bool globalColorTableFlag = true;
    TColorTable globalColorTable;
    std::uint8_t bitsPerPixel = 1;
    std::vector<std::unique_ptr<TGifSubImage>> images;

private:
    QImage firstBitmapWithoutPixels() const;

    std::int64_t m_memoryBudget = kDefaultMemoryBudget;
};

// Reduces a picture to a colour table (in order of first appearance, padded
// to 2, 16 or 256 entries) and a matrix of indices. More than 256 colours
// throw EGifConversionError. Reports progress after each row.
void BitmapToIndexed(const QImage& bitmap, TColorTable& table, TByteArray2D& pixels);

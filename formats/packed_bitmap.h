// Reader library for Windows bitmaps (".bmp", ".dib", ".rle"), Targa and PCX
// files: each file becomes one packed device-independent bitmap block.
#pragma once
#include <QByteArrayView>
#include <QImage>
#include <QString>
#include <QtGlobal>
#include <cstddef>
#include <memory>
#include <optional>

// Status of a read; the numbers are those of the library's message table.
enum PackedStatus : quint16 {
    PackedOk = 0,
    PackedUserAbort = 128,
    PackedNoMemory = 129,
    PackedCannotLock = 130,
    PackedBadFormat = 131,
    PackedOpenReadFailed = 132,
    PackedOpenWriteFailed = 133,
    PackedReadError = 134,
    PackedWriteError = 135,
    PackedFileNotFound = 136,
    PackedNotWindowsBitmap = 137,
    PackedUnsupportedFormat = 138,
};

// The message text of a status code (empty for 0 and for unknown codes).
QString PackedStatusText(quint16 status);

// One memory block: a 40-byte BITMAPINFOHEADER, the colour table (or the three
// colour masks of a bit-field bitmap), then the pixel rows, bottom row first,
// each padded to 4 bytes. Run-length bitmaps keep their compressed bytes.
class PackedBitmap {
public:
    static constexpr std::size_t kInfoHeaderSize = 40;

    // A zero-filled block of the given size, or null when it cannot be had.
    static std::unique_ptr<PackedBitmap> allocate(std::size_t size);

    const uchar* data() const { return m_data.get(); }
    uchar* data() { return m_data.get(); }
    std::size_t size() const { return m_size; }
    QByteArrayView bytes() const { return QByteArrayView(m_data.get(), qsizetype(m_size)); }

    // Fields of the info header.
    qint32 width() const;
    qint32 height() const;
    quint16 bitCount() const;
    quint32 compression() const;
    quint32 imageSize() const;
    quint32 coloursUsed() const;

private:
    PackedBitmap(std::unique_ptr<uchar[]> data, std::size_t size)
        : m_data(std::move(data)), m_size(size) {}
    std::unique_ptr<uchar[]> m_data;
    std::size_t m_size = 0;
};

using PackedBitmapPtr = std::unique_ptr<PackedBitmap>;

// What a read gives: the block, or null with the status saying why.
struct PackedReadResult {
    PackedBitmapPtr bitmap;
    quint16 status = PackedOk;
    explicit operator bool() const { return bitmap != nullptr; }
};

enum class PackedFormat { WindowsBitmap, Targa, Pcx };

// The reader for a file name by its extension, compared without regard to
// case: bmp, dib and rle are Windows bitmaps, tga Targa, pcx PCX.
std::optional<PackedFormat> PackedFormatForFileName(const QString& fileName);

// Decodes a whole file held in memory.
PackedReadResult DecodePackedBitmap(QByteArrayView file, PackedFormat format);

// Reads a file and decodes it. With readWholeFile the file is copied into
// memory first, otherwise it is mapped (read on demand) where possible.
PackedReadResult ReadPackedBitmap(const QString& fileName, bool readWholeFile);

// Releases a block returned by ReadPackedBitmap; null is ignored.
void FreePackedBitmap(PackedBitmapPtr bitmap);

// Which Windows bitmaps are read: every header variant, depth and compression
// (".bmp"), or only the 40-byte info header with 1 to 32 bits in RGB, RLE4,
// RLE8 or bit fields (".rle", ".dib").
enum class BitmapRules { AnyHeader, InfoHeaderOnly };

// A picture decoded straight from the file, with no packed block held beside
// it: indexed (Mono, Indexed8) up to 8 bits, RGB32 or ARGB32 above.
struct PackedImageResult {
    QImage image;
    int bits = 0; // of the packed layout (the file's for bitmaps); 0 when unknown
    quint16 status = PackedOk;
    explicit operator bool() const { return !image.isNull(); }
};

PackedImageResult DecodePackedImage(QByteArrayView file, PackedFormat format,
                                    BitmapRules rules = BitmapRules::InfoHeaderOnly);

// Reads a file by its extension as DecodePackedImage does. The file is mapped
// and the pages already decoded are handed back as the picture fills, so the
// peak stays near the picture's own size.
PackedImageResult ReadPackedImage(const QString& fileName, BitmapRules rules);

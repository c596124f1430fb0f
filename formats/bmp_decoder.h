// The Windows-bitmap decoder that every bitmap path shares: one header parser
// (core, OS/2 2.x and the 40- to 124-byte info headers), one palette reader,
// one run-length decoder and one conversion of stored rows to QImage rows.
#pragma once
#include "formats/packed_bitmap_basic.h"

#include <QImage>
#include <QList>
#include <vector>

namespace qv::bmp {

using packed::Palette;
using packed::PackedRowTarget;

// InfoHeaderOnly also wants the colour table and the data whole.
using Rules = BitmapRules;

enum class Encoding { Rgb, Rle8, Rle4, Rle24, BitFields, Jpeg, Png };

struct Header {
    quint32 size = 0;           // of the info header
    qint64 width = 0, height = 0; // height counts rows, whatever the order
    bool topDown = false;
    int bits = 0;
    Encoding encoding = Encoding::Rgb;
    quint32 masks[4] = {};      // red, green, blue, alpha
    bool alpha = false;         // the header gives an alpha channel
    quint32 imageSize = 0;      // as stated
    quint32 coloursUsed = 0;    // as stated
    int paletteEntryBytes = 4;  // 3 for the core header
};

// Parses the info header at the cursor (and the masks that follow a 40-byte
// one); the cursor is left on the colour table. PackedOk or why not.
quint16 parseHeader(ByteCursor& in, Rules rules, Header& header);

// Palette entries the header asks for: the colours-used field, else 2^bits.
std::size_t paletteEntriesWanted(const Header& header);

// Reads up to `entries` colours at the cursor, stopping at `end`.
QList<QRgb> readPalette(ByteCursor& in, const Header& header, std::size_t entries, std::size_t end);

// Decodes the pixels at the cursor (which ends where the data does) into a
// picture. Rows of uncompressed data that are missing keep index 0 or black;
// run-length pictures cut short or left by a delta keep black there. A null
// picture with *status set when the header's layout cannot be shown or
// memory cannot be had.
QImage decodePixels(const Header& header, const QList<QRgb>& palette, ByteCursor& in, quint16* status);

// Where a bitmap file's parts lie, after its headers and colour table are read.
struct FileLayout {
    Header header;
    QList<QRgb> palette;
    std::size_t dataAt = 0;
    std::size_t dataSize = 0;
};

// Reads the file header, info header and colour table of a whole file and
// finds its pixel data: every offset and size checked against the file.
// InfoHeaderOnly wants the table and the data whole; AnyHeader takes the
// entries that lie before the pixel offset and the data up to the file's end.
quint16 locateBitmap(QByteArrayView file, Rules rules, FileLayout& layout);

// A whole ".bmp" (AnyHeader) or ".rle"/".dib" (InfoHeaderOnly) file held in
// memory, decoded straight into its picture.
PackedImageResult decodeBitmapFile(QByteArrayView file, Rules rules, const ReleaseHook* release = nullptr);

// Bytes of one stored uncompressed row.
inline std::uint64_t storedRowBytes(std::uint64_t width, int bits) { return (width * std::uint64_t(bits) + 31) / 32 * 4; }

// How one stored row of 1 to 64 bits becomes a row of the picture: indexed
// depths keep their indices (Mono for 1 bit, Indexed8 above), the others
// become RGB32, or ARGB32 when an alpha channel is given.
class RowConverter {
public:
    // False when a mask is not one run of bits or masks overlap.
    bool setUp(int bits, const quint32 masks[4], bool alpha);
    QImage::Format format() const;
    void convert(const uchar* src, uchar* dst, int width) const;
    // True once a converted pixel had a nonzero alpha.
    bool sawAlpha() const { return m_sawAlpha; }

private:
    struct Channel {
        quint32 mask = 0;
        int shift = 0;
        std::uint64_t max = 0;
        uchar operator()(quint32 v) const
        {
            return max ? uchar((std::uint64_t((v & mask) >> shift) * 255 + max / 2) / max) : 0;
        }
    };
    static bool makeChannel(quint32 mask, Channel& c);
    int m_bits = 0;
    bool m_alpha = false;
    Channel m_r, m_g, m_b, m_a;
    mutable bool m_sawAlpha = false;
};

// An alpha picture whose alpha was zero everywhere becomes opaque RGB32, in place.
void dropEmptyAlpha(QImage& image, const RowConverter& converter);

// The picture of a packed block's layout (1, 4, 8 or 24 bits), filled row by
// row by the Targa and PCX readers.
class ImageRowTarget : public PackedRowTarget {
public:
    bool start(int width, int height, int resultBits, int colours, const Palette& palette) override;
    uchar* row(int y) override;
    void finish() override;
    QImage take() { return std::move(m_image); }
    int bits() const { return m_bits; }

private:
    int m_bits = 0;
    QImage m_image;
    RowConverter m_converter;
    std::vector<uchar> m_row;
    int m_y = -1;
};

} // namespace qv::bmp

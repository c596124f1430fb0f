// Shared layer of the packed-bitmap readers: a checked byte cursor, the row
// size rule, and building the result block with header and colour table.
#pragma once
#include "formats/packed_bitmap.h"

#include <QByteArrayView>
#include <array>
#include <cstdint>
#include <functional>

namespace qv::packed {

// Little-endian fields.
inline quint16 le16(const uchar* p) { return quint16(p[0] | (p[1] << 8)); }
inline quint32 le32(const uchar* p)
{
    return quint32(p[0]) | (quint32(p[1]) << 8) | (quint32(p[2]) << 16) | (quint32(p[3]) << 24);
}
inline void putLe16(uchar* p, quint16 v) { p[0] = uchar(v); p[1] = uchar(v >> 8); }
inline void putLe32(uchar* p, quint32 v)
{
    p[0] = uchar(v); p[1] = uchar(v >> 8); p[2] = uchar(v >> 16); p[3] = uchar(v >> 24);
}

// Called with an offset of the file: the bytes before it are done with, so a
// mapped file may hand their pages back.
using ReleaseHook = std::function<void(std::size_t)>;

// Reads from a byte range; every request either succeeds whole or takes nothing.
class ByteCursor {
public:
    explicit ByteCursor(QByteArrayView data)
        : m_data(reinterpret_cast<const uchar*>(data.data())), m_size(std::size_t(data.size())) {}

    std::size_t pos() const { return m_pos; }
    std::size_t size() const { return m_size; }
    std::size_t remaining() const { return m_size - m_pos; }
    bool atEnd() const { return m_pos >= m_size; }

    // Next byte; at the end it returns false and leaves *out untouched.
    bool byte(uchar* out)
    {
        if (m_pos >= m_size)
            return false;
        *out = m_data[m_pos++];
        return true;
    }
    // Points at the next n bytes and steps over them, or null when fewer remain.
    const uchar* take(std::size_t n)
    {
        if (n > remaining())
            return nullptr;
        const uchar* p = m_data + m_pos;
        m_pos += n;
        return p;
    }
    bool skip(std::size_t n) { return take(n) != nullptr; }
    // The n bytes at pos, without moving; null when they are not all there.
    const uchar* at(std::size_t pos, std::size_t n) const
    {
        return pos <= m_size && n <= m_size - pos ? m_data + pos : nullptr;
    }
    bool seek(std::size_t pos)
    {
        if (pos > m_size)
            return false;
        m_pos = pos;
        return true;
    }
    // Stops reading at end (end <= size): what lies behind is not pixel data.
    void limit(std::size_t end)
    {
        if (end < m_size)
            m_size = end < m_pos ? m_pos : end;
    }

    // Decoders that read front to back call releaseRead() now and then; the
    // hook hears of the bytes behind the cursor a few MiB at a time.
    void setReleaseHook(const ReleaseHook* hook) { m_release = hook; }
    void releaseRead()
    {
        if (m_release && *m_release && m_pos - m_released >= kReleaseStep) {
            (*m_release)(m_pos);
            m_released = m_pos;
        }
    }

private:
    static constexpr std::size_t kReleaseStep = std::size_t(4) << 20;
    const uchar* m_data;
    std::size_t m_size;
    std::size_t m_pos = 0;
    std::size_t m_released = 0;
    const ReleaseHook* m_release = nullptr;
};

// Bytes of one padded row of the result for width w:
// 1 bit: ((w + 31) / 32) * 4; 2 or 4 bits: ((w + 7) / 8) * 4 (four bits a pixel);
// 8 bits: (w + 3) & ~3; 15, 16 or 24 bits: (3w + 3) & ~3 (three bytes a pixel).
std::uint64_t packedRowBytes(int bits, std::uint64_t width);

// 2 to the power of bits, truncated to 9 bits: 2, 4, 16, 256 for 1, 2, 4, 8
// bits and 0 for 9 bits and more.
int coloursForBits(int bits);

struct Rgb {
    uchar r = 0, g = 0, b = 0;
};
using Palette = std::array<Rgb, 256>;

// Allocates the zero-filled result block for a width x height picture of
// resultBits (1, 4, 8 or 24) with `colours` table entries taken from the
// palette, and fills the header. Null when memory cannot be had.
PackedBitmapPtr makePackedBitmap(int width, int height, int resultBits, int colours,
                                 const Palette& palette);

// Start of the pixel rows of a block made by makePackedBitmap.
uchar* packedPixels(PackedBitmap& bitmap);

// Where the Targa and PCX readers put their rows: a packed block, or a
// picture filled row by row so that no whole block is ever held beside it.
class PackedRowTarget {
public:
    virtual ~PackedRowTarget() = default;
    // Makes room for a width x height picture of resultBits (1, 4, 8 or 24)
    // with `colours` table entries; false when memory cannot be had.
    virtual bool start(int width, int height, int resultBits, int colours, const Palette& palette) = 0;
    // The zero-filled packed row for stored row y (0 is the bottom row); the
    // previous row handed out is complete by then.
    virtual uchar* row(int y) = 0;
    // The last row handed out is as complete as the data allows.
    virtual void finish() = 0;
};

// The decoders of the three formats.
PackedReadResult readWindowsBitmap(QByteArrayView file);
quint16 readTarga(ByteCursor& in, PackedRowTarget& target);
quint16 readPcx(ByteCursor& in, PackedRowTarget& target);

inline PackedReadResult failed(quint16 status) { return PackedReadResult{nullptr, status}; }

} // namespace qv::packed

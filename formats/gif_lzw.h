// LZW machinery of the GIF module: the block buffer of encoded bytes, the bit
// packer, the writer's string table, and the image encoder and decoder.
#pragma once
#include "formats/gif_arrays.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

// Encoded bytes as a list of blocks of at most 255 bytes, plus a read position.
// Blocks fill up one after another, so block i is bytes [255 i, 255 i + 255).
class TByteBuffer {
public:
    static constexpr std::size_t kBlockSize = 255;

    void append(std::uint8_t b) { m_bytes.push_back(b); }
    void append(const std::uint8_t* bytes, std::size_t n) { m_bytes.insert(m_bytes.end(), bytes, bytes + n); }
    void clear();

    std::size_t count() const { return m_bytes.size(); }
    std::size_t blockCount() const { return (m_bytes.size() + kBlockSize - 1) / kBlockSize; }
    std::size_t blockSize(std::size_t block) const;
    const std::uint8_t* blockData(std::size_t block) const { return m_bytes.data() + block * kBlockSize; }

    // Sequential reading from the start of the first block.
    void rewind() { m_readPos = 0; }
    bool atEnd() const { return m_readPos >= m_bytes.size(); }
    std::uint8_t read() { return m_bytes[m_readPos++]; } // callers test atEnd() first

private:
    std::vector<std::uint8_t> m_bytes;
    std::size_t m_readPos = 0;
};

// Packs codes least significant bit first into whole bytes of a TByteBuffer.
class TEncodedBytes {
public:
    explicit TEncodedBytes(TByteBuffer& out) : m_out(out) {}
    void addCode(unsigned code, int length);
    // Writes the last partial byte, its unused high bits zero.
    void flush();

private:
    std::uint32_t m_bits = 0;
    int m_bitCount = 0;
    TByteBuffer& m_out;
};

// The writer's string table: prefix code and suffix byte per code.
class TCodeTable {
public:
    static constexpr int kMaxCodes = 4096;

    void init(int minCodeSize);
    // Adds (prefix, suffix) at the next free code, then marks the table full
    // at 4096 codes or widens the code length past 2^length.
    void add(int prefix, std::uint8_t suffix);
    // The code holding (prefix, suffix), or -1.
    int find(int prefix, std::uint8_t suffix) const;

    int codeLength = 0;
    int firstFree = 0;
    int nextFree = 0;
    bool full = false;
    std::uint16_t prefix[kMaxCodes] = {};
    std::uint8_t suffix[kMaxCodes] = {};

private:
    // Every entry of the table is unique, so a hash of (prefix, suffix) finds
    // the one entry a scan of the codes above the prefix would find.
    static constexpr int kHashSize = 8192;
    std::uint16_t m_hash[kHashSize];
};

// Encodes count pixel indices (each below 2^minCodeSize) into out. Reports
// progress 0 after the first code, pixels done / count at each table reset,
// and 1 at the end.
void LzwEncode(const std::uint8_t* pixels, std::size_t count, int minCodeSize, TByteBuffer& out,
               const std::function<void(double)>& progress);

// The largest minimum code size a reader accepts (12-bit codes from the start).
inline constexpr int kMaxDecodableMinCodeSize = 11;

// Decodes data into pixels, row by row (interlace pass order when asked);
// rowDone runs after each complete row. Decoding stops once the picture is
// complete, whatever follows. Throws EGifException on bad codes and on data
// that ends before the picture is complete without an end code; an end code
// before then leaves the remaining rows as they were.
void LzwDecode(TByteBuffer& data, int minCodeSize, bool interlaced, TByteArray2D& pixels,
               const std::function<void()>& rowDone);

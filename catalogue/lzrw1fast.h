// The FAST method of the codec: one LZRW1/KH block (literals, 12-bit offset
// copies and run items under 16-bit control words) encoded and decoded in memory.
#pragma once
#include <cstdint>

namespace lzrw1 {

inline constexpr int kBlockSize = 32768;       // input bytes per block
inline constexpr int kBlockBufferSize = 32784; // largest encoded block (block + 16)
inline constexpr int kHashSize = 4096;         // entries of the match table
// The decoder copies in 8-byte steps and may write this far past the block.
inline constexpr int kDecodeSlack = 32;

inline constexpr std::uint8_t kFlagStored = 0x80;
inline constexpr std::uint8_t kFlagCompressed = 0x40;

// Encodes n (at most kBlockSize) bytes of src into dst, which has room for
// kBlockBufferSize bytes; table is the 4096-entry match table (reset here).
// Returns the encoded block length (n + 1 when the block is stored).
int encodeFastBlock(const std::uint8_t* src, int n, std::uint8_t* dst, std::uint16_t* table);

// Decodes an encoded block of len bytes into dst, which has room for
// kBlockSize + kDecodeSlack bytes. Returns the decoded length, or -1 when the
// block is corrupt: an item cut short, a copy reaching before the block's
// output, or more than kBlockSize bytes of output.
int decodeFastBlock(const std::uint8_t* src, int len, std::uint8_t* dst);

} // namespace lzrw1

// The GOOD method of the codec: LZHUF, LZSS over a 4096-byte ring with an
// adaptive Huffman code of literals and match lengths (Yoshizaki, 1988).
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

namespace lzrw1 {

// Fills buf with up to max bytes and returns how many; 0 means the end.
using ByteSource = std::function<std::size_t(std::uint8_t* buf, std::size_t max)>;
// Takes n bytes of output.
using ByteSink = std::function<void(const std::uint8_t* buf, std::size_t n)>;

// Bytes asked of a source and handed to a sink at a time.
inline constexpr std::size_t kLzhufChunk = 32768;

class LzhufEncoder {
public:
    LzhufEncoder();
    ~LzhufEncoder();
    LzhufEncoder(const LzhufEncoder&) = delete;
    LzhufEncoder& operator=(const LzhufEncoder&) = delete;

    // Codes everything source gives (until it returns 0) and hands the bit
    // stream to sink, the last byte padded with zero bits. No input, no output.
    void encode(const ByteSource& source, const ByteSink& sink);

private:
    struct State;
    std::unique_ptr<State> d;
};

class LzhufDecoder {
public:
    LzhufDecoder();
    ~LzhufDecoder();
    LzhufDecoder(const LzhufDecoder&) = delete;
    LzhufDecoder& operator=(const LzhufDecoder&) = delete;

    // Expands exactly size bytes from the bit stream that source gives.
    // Returns false when the bit stream ends before that; what was expanded
    // up to the last full chunk has then reached sink.
    bool decode(std::uint64_t size, const ByteSource& source, const ByteSink& sink);

private:
    struct State;
    std::unique_ptr<State> d;
};

} // namespace lzrw1

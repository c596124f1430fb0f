// A plain textbook GIF LZW coder, independent of ours, and the bit packing of
// its codes: the oracle for our encoder and the source of other encoders'
// streams for our decoder.
#pragma once
#include "formats/gif_lzw.h"

#include <map>
#include <utility>
#include <vector>

namespace qvtest {

using LzwCodes = std::vector<std::pair<unsigned, int>>; // code, width

// The liberties other encoders take: any minimum code size, a clear code
// deferred past the full table, no end code; and whether the clear follows the
// code that fills the table or the next one (once a reader's table is full too).
struct LzwStyle {
    int minCodeSize = 2;
    bool clearWhenFull = true;
    bool endCode = true;
    bool clearAfterNextCode = true;
};

inline LzwCodes textbookCodes(const std::vector<std::uint8_t>& px, LzwStyle style = {})
{
    const unsigned clear = 1u << style.minCodeSize;
    std::map<std::pair<unsigned, std::uint8_t>, unsigned> table;
    unsigned next = clear + 2;
    int width = style.minCodeSize + 1;
    LzwCodes out{{clear, width}};
    auto restart = [&] {
        out.push_back({clear, width});
        table.clear();
        next = clear + 2;
        width = style.minCodeSize + 1;
    };
    unsigned current = px[0];
    bool clearDue = false;
    for (std::size_t i = 1; i < px.size(); ++i) {
        if (auto it = table.find({current, px[i]}); it != table.end()) {
            current = it->second;
            continue;
        }
        out.push_back({current, width});
        if (clearDue) {
            restart();
            clearDue = false;
        } else {
            if (next < 4096)
                table[{current, px[i]}] = next++;
            if (next == (1u << width) + 1 && width < 12) // a reader widens one code later
                ++width;
            if (next == 4096 && style.clearWhenFull && style.clearAfterNextCode)
                clearDue = true;
            else if (next == 4096 && style.clearWhenFull)
                restart();
        }
        current = px[i];
    }
    out.push_back({current, width});
    if (style.endCode)
        out.push_back({clear + 1, next == 1u << width && width < 12 ? width + 1 : width});
    return out;
}

inline TByteBuffer packCodes(const LzwCodes& codes)
{
    TByteBuffer buf;
    TEncodedBytes enc(buf);
    for (auto [code, width] : codes)
        enc.addCode(code, width);
    enc.flush();
    return buf;
}

inline std::vector<std::uint8_t> bytesOf(const TByteBuffer& b)
{
    std::vector<std::uint8_t> out;
    for (std::size_t i = 0; i < b.blockCount(); ++i)
        out.insert(out.end(), b.blockData(i), b.blockData(i) + b.blockSize(i));
    return out;
}

// Pixels of a 1-bit noise, for streams that fill the table.
inline std::vector<std::uint8_t> noisePixels(std::size_t n, int bits = 1)
{
    std::vector<std::uint8_t> px(n);
    std::uint32_t seed = 1;
    for (auto& p : px)
        p = std::uint8_t((seed = seed * 1103515245u + 12345u) >> (32 - bits));
    return px;
}

} // namespace qvtest

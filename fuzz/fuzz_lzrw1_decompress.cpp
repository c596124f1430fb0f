// Arbitrary bytes as a compressed stream: FAST or GOOD by the identifier,
// an error or the expanded bytes, never a fault.
#include "catalogue/lzrw1codec.h"

#include <QByteArray>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray stream = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    try {
        const QByteArray out = lzrw1::decompress(stream);
        // Success means the stored size was met exactly.
        const std::uint32_t stored = std::uint32_t(data[4]) | std::uint32_t(data[5]) << 8
            | std::uint32_t(data[6]) << 16 | std::uint32_t(data[7]) << 24;
        if (std::uint64_t(out.size()) != stored)
            __builtin_trap();
    } catch (const ELzrw1Exception&) {
    }
    return 0;
}

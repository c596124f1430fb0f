// Arbitrary bytes through FAST and GOOD and back: the same bytes each time.
#include "catalogue/lzrw1codec.h"

#include <QByteArray>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray input = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    for (TCompressMode mode : {TCompressMode::Fast, TCompressMode::Good}) {
        const QByteArray packed = lzrw1::compress(input, mode);
        if (lzrw1::decompress(packed) != input)
            __builtin_trap();
    }
    return 0;
}

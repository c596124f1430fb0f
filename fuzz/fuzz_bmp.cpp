// Fuzz target: a whole Windows bitmap file through the bitmap reader, with the
// rules of ".bmp" (every header variant) and of ".rle"/".dib" (40-byte only).
#include "formats/bmp_decoder.h"
#include "formats/packed_bitmap.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArrayView file(reinterpret_cast<const char*>(data), qsizetype(size));
    for (auto rules : {qv::bmp::Rules::AnyHeader, qv::bmp::Rules::InfoHeaderOnly}) {
        // Every header, size and offset check runs; only the filling of
        // pictures over 2^24 pixels is left out, as it costs time and finds nothing new.
        qv::bmp::FileLayout layout;
        if (qv::bmp::locateBitmap(file, rules, layout) != PackedOk
            || layout.header.width * layout.header.height > (qint64(1) << 24))
            continue;
        DecodePackedImage(file, PackedFormat::WindowsBitmap, rules);
    }
    return 0;
}

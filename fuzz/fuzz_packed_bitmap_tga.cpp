// Fuzz target: the Targa reader on arbitrary bytes, then the conversion of
// its block to a QImage.
#include "formats/dib_image.h"
#include "formats/packed_bitmap.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    PackedReadResult r = DecodePackedBitmap(
        QByteArrayView(reinterpret_cast<const char*>(data), qsizetype(size)), PackedFormat::Targa);
    // Up to the program's own limits: what the reader accepts is converted.
    if (r)
        DibToImage(r.bitmap.get());
    return 0;
}

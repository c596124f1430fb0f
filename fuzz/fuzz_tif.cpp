// Fuzz target: the TIFF reader on arbitrary bytes, through to the bitmap.
#include "formats/tif_map.h"

#include <QByteArrayView>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    TTifmap map;
    try {
        map.LoadFromBytes(QByteArrayView(data, qsizetype(size)));
    } catch (const ETifException&) {
    }
    return 0;
}

// Fuzz target: the drawing preview reader on arbitrary bytes.
#include "formats/cdr_map.h"

#include <QByteArrayView>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    TCdrMap map;
    try {
        map.LoadFromBytes(QByteArrayView(data, qsizetype(size)));
    } catch (const EInvalidGraphic&) {
    }
    return 0;
}

// Fuzz target: an icon file through the choice of its image and Qt's icon
// reader to the bitmap drawn over white.
#include "formats/anymap.h"
#include "fuzz_support.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    ensureGuiApplication(); // Qt finds its image format plugins through it
    try {
        const QImage bitmap = IconToBitmap(QByteArrayView(data, qsizetype(size)));
        if (bitmap.isNull() || bitmap.format() != QImage::Format_RGB32)
            __builtin_trap();
    } catch (const EInvalidGraphic&) {
    }
    return 0;
}

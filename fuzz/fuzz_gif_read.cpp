// Fuzz target: GIF data through the reader and the first image to a picture.
#include "formats/gif_file.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    TGifFile gif;
    // A smaller budget than the program's keeps each run quick; the checks are the same.
    gif.setMemoryBudget(std::int64_t(1) << 22);
    try {
        gif.LoadFromBytes(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
        const QImage img = gif.GetBitmap();
        if (img.width() != gif.images[0]->width || img.height() != gif.images[0]->height)
            __builtin_trap();
    } catch (const QvError&) {
    }
    return 0;
}

// Fuzz target: GIF data through the reader and the first image to a picture,
// both kept and handed over.
// It runs at the program's own size limit and memory budget, so that they are
// fuzzed too; QV_FUZZ_GIF_BUDGET_MB sets a smaller budget for long runs that
// want many executions of the decoder rather than many huge pictures.
#include "formats/gif_file.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::int64_t budget = [] {
        const char* mb = std::getenv("QV_FUZZ_GIF_BUDGET_MB");
        return mb ? std::int64_t(std::atoll(mb)) << 20 : TGifFile::kDefaultMemoryBudget;
    }();
    TGifFile gif;
    gif.setMemoryBudget(budget);
    try {
        gif.LoadFromBytes(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
        const QImage kept = gif.GetBitmap();
        if (kept.width() != gif.images[0]->width || kept.height() != gif.images[0]->height)
            __builtin_trap();
        // The loading path hands the rows over, freeing them as it goes.
        if (gif.TakeBitmap() != kept)
            __builtin_trap();
    } catch (const QvError&) {
    }
    return 0;
}

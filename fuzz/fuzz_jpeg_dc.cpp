// libFuzzer target of the baseline decoder at 1/8. The first byte chooses the
// output (bit 0 greyscale, bit 1 eight bits). A file it takes must decode in
// libjpeg too, to the same picture.
#include "formats/jpeg_dc_decode.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const bool grey = data[0] & 1, eightBit = data[0] & 2;
    ++data;
    --size;
    qv::jpeg::Limits limits;
    limits.maxPixels = 1 << 22; // keeps each run short; the checks are the same
    static qv::jpeg::EighthScaleDecoder decoder;
    const auto ours = decoder.decode(data, size, grey, eightBit, limits);
    if (!ours)
        return 0;
    const QImage& image = ours->image;
    if (image.width() != (ours->width + 7) / 8 || image.height() != (ours->height + 7) / 8)
        __builtin_trap();

    static qv::jpeg::Decompressor libjpeg;
    qv::jpeg::DecodeSettings s;
    s.scaleDenom = 8;
    s.bestSpeed = true;
    s.grayscale = grey;
    s.eightBit = eightBit;
    s.limits = limits;
    try {
        const QImage theirs = libjpeg.decode(data, size, s).image;
        if (theirs.size() != image.size() || theirs.format() != image.format())
            __builtin_trap();
        if (theirs != image)
            __builtin_trap();
    } catch (const EJPEG&) {
        __builtin_trap(); // taken by us, refused by libjpeg
    }
    return 0;
}

// libFuzzer target of the thumbnail shortcuts: the Exif thumbnail lookup, the
// scans kept for a 1/8 decode, and the thumbnail decoder with both switched on.
#include "formats/exif_thumbnail.h"
#include "formats/jpeg_dc_scans.h"
#include "formats/jpeg_options.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (const auto range = findExifThumbnail(data, size)) {
        if (range->offset > size || range->length > size - range->offset)
            __builtin_trap();
    }
    QByteArray kept;
    if (qv::jpeg::keepScansForEighth(data, size, kept) && kept.size() > qsizetype(size) + 2)
        __builtin_trap(); // only ever shorter, but for the EOI it may add

    JpegThumbnailDecoder decoder; // at the program's own limits
    decoder.box = 16;
    decoder.acceptEmbedded = [](QSize, QSize) { return true; };
    try {
        (void)decoder.decode(data, size);
    } catch (const EJPEG&) {
    }
    return 0;
}

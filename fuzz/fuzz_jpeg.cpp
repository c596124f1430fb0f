// libFuzzer target of the JPEG adapter. The first byte picks the scale, colour
// mode, speed, progressive display and a second decode with the kept palette;
// the rest is the file.
#include "formats/jpeg_image.h"
#include "formats/jpeg_options.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const uint8_t mode = data[0];
    const QByteArray bytes(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    // The program's own limits: the size and coverage checks are fuzzed too.
    const qv::jpeg::Limits limits;

    TJPEGImage jpeg;
    jpeg.limits = limits;
    applyJpegOptions(jpeg, {(mode >> 2) % 3, (mode >> 4) & 1, (mode >> 4) & 1 ? 2 : 1, 90});
    jpeg.setScale(JPEGScale(mode & 3));
    jpeg.setProgressiveDisplay(mode & 0x20);
    jpeg.setSmoothing(!(mode & 0x40));
    if (mode & 0x20)
        jpeg.OnProgress = [](TJPEGImage&, int, const QImage* pass) {
            if (pass)
                (void)pass->pixel(0, 0);
        };
    try {
        jpeg.LoadFromData(bytes);
        (void)jpeg.Bitmap();
        if (mode & 0x80) {
            jpeg.setScale(JPEGScale((mode + 1) & 3)); // maps to the palette of the first decode
            (void)jpeg.Bitmap();
        }
    } catch (const EJPEG&) {
    }

    if ((mode & 0x23) == 0x02) {
        JpegThumbnailDecoder thumbnails((mode >> 2) % 3);
        thumbnails.limits = limits;
        try {
            (void)thumbnails.decode(bytes);
        } catch (const EJPEG&) {
        }
    }
    return 0;
}

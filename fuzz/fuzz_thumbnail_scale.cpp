// Fuzz target: the box filter of the thumbnails over any picture layout, size
// and target size. The first bytes choose them; the rest are the pixels.
#include "catalogue/thumbnail_scale.h"

#include <QImage>
#include <cstdint>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 6)
        return 0;
    static const QImage::Format formats[] = {QImage::Format_RGB888,  QImage::Format_BGR888,
                                             QImage::Format_RGB32,   QImage::Format_ARGB32,
                                             QImage::Format_Indexed8, QImage::Format_Grayscale8,
                                             QImage::Format_RGB16,   QImage::Format_Mono};
    const QImage::Format format = formats[data[0] % 8];
    const int W = 1 + data[1] % 200, H = 1 + data[2] % 200;
    // Targets up to 300: past the side it must refuse; above 257 rows the
    // wide-weight path runs.
    const int w = 1 + (data[3] | (data[4] & 1) << 8) % 300, h = 1 + (data[5] | (data[4] & 2) << 7) % 300;
    QImage src(W, H, format);
    if (src.isNull())
        return 0;
    if (format == QImage::Format_Indexed8) // a short table: indexes past it must read safely
        src.setColorTable({qRgb(1, 2, 3), qRgb(200, 100, 50), qRgb(255, 255, 255)});
    if (format == QImage::Format_Mono) // two colours, as every reader of such pictures gives
        src.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    size_t pos = 6;
    for (int y = 0; y < H; ++y) {
        uchar* line = src.scanLine(y);
        const size_t n = size_t(src.bytesPerLine());
        for (size_t i = 0; i < n; ++i)
            line[i] = pos < size ? data[pos++] : uchar(i * 31 + y);
    }
    const QImage out = thumbs::shrinkBox(src, w, h);
    if (w <= W && h <= H && (out.isNull() || out.size() != QSize(w, h)))
        __builtin_trap();
    if ((w > W || h > H) && !out.isNull())
        __builtin_trap();
    (void)thumbs::scaleForThumbnail(src, w, h);
    return 0;
}

// A decoder of our own for baseline Huffman JPEG files at 1/8 scale: each
// full-resolution block is its DC value, so most AC coefficients are only
// stepped over. Its pictures equal libjpeg-turbo's own 1/8 fast-mode output.
#pragma once
#include "formats/jpeg_codec.h"

#include <QImage>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>

namespace qv::jpeg {

struct EighthScaleResult {
    QImage image; // ceil(w/8) x ceil(h/8): RGB888, or Indexed8 when quantised
    int width = 0;  // of the picture in the file
    int height = 0;
};

// Keeps its work buffers from one picture to the next; one object per thread.
class EighthScaleDecoder {
public:
    EighthScaleDecoder();
    ~EighthScaleDecoder();
    EighthScaleDecoder(const EighthScaleDecoder&) = delete;
    EighthScaleDecoder& operator=(const EighthScaleDecoder&) = delete;

    // The picture at 1/8 as Decompressor::decode gives it with scale 8, the
    // fast settings and the same greyscale / eight-bit choice. Nothing for a
    // file it does not handle: anything but one interleaved baseline scan of
    // grey or YCbCr 4:4:4, 4:2:2, 4:2:0 with 8-bit samples, a picture beyond
    // the limits, and any damage or premature end. The caller then decodes
    // the file through libjpeg as usual.
    std::optional<EighthScaleResult> decode(const unsigned char* data, std::size_t size, bool grayscale,
                                            bool eightBit, const Limits& limits = {});

    struct Work;

private:
    std::unique_ptr<Work> d;
};

} // namespace qv::jpeg

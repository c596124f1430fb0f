// Reducing a decoded picture to its thumbnail rectangle: an exact area average
// (box filter) read straight from the decoder's pixel layout.
#pragma once
#include <QImage>

namespace thumbs {

// The picture reduced to w x h (RGB32), each output pixel the average of the
// source area it covers, partly covered source pixels weighted by their share.
// Only shrinks: a null image unless 0 < w <= width and 0 < h <= height.
// Pictures with an alpha channel are flattened as if opaque.
QImage shrinkBox(const QImage& picture, int w, int h);

// The picture at w x h as a thumbnail draws it: the box average when it
// shrinks both ways and has no alpha channel, Qt's smooth scaling otherwise
// (enlarging, or blending that needs premultiplied pixels).
QImage scaleForThumbnail(const QImage& picture, int w, int h);

} // namespace thumbs

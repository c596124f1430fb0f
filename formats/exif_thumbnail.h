// Finds the small JPEG picture that cameras store in a photograph's Exif data.
#pragma once
#include <QSize>
#include <cstddef>
#include <optional>

struct ByteRange {
    std::size_t offset = 0;
    std::size_t length = 0;
};

// Where the embedded JPEG thumbnail of a JPEG file lies inside `data`: the
// picture named by the second image directory of its Exif segment. Nothing
// when there is none, or when any offset or count of the way there does not
// fit the segment that holds it.
std::optional<ByteRange> findExifThumbnail(const unsigned char* data, std::size_t size);

// The picture size a JPEG file's frame header gives, from the markers before
// its first scan; nothing when they break or end before the frame header.
std::optional<QSize> jpegFrameSize(const unsigned char* data, std::size_t size);

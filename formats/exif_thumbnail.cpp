// Exif thumbnail lookup: JPEG markers up to the first scan, then the TIFF
// structure inside the Exif segment, every step checked against that segment.
#include "formats/exif_thumbnail.h"

#include "platform/byte_cursor.h"

#include <algorithm>

namespace {

using qv::ByteCursor;

constexpr int kMaxMarkers = 64;       // real files carry a handful before the scan
constexpr int kMaxDirectoryEntries = 512;

// The value of a SHORT or LONG entry with one value; other types give nothing.
bool entryValue(const ByteCursor& tiff, std::size_t entry, quint32* out)
{
    quint16 type = 0, value16 = 0;
    quint32 count = 0;
    if (!tiff.u16At(entry + 2, &type) || !tiff.u32At(entry + 4, &count) || count != 1)
        return false;
    if (type == 3 && tiff.u16At(entry + 8, &value16)) {
        *out = value16;
        return true;
    }
    return type == 4 && tiff.u32At(entry + 8, out);
}

std::optional<ByteRange> thumbnailInTiff(const uchar* data, std::size_t size)
{
    if (size < 8)
        return std::nullopt;
    // The TIFF block of an Exif segment, read in its own byte order.
    ByteCursor tiff(QByteArrayView(data, qsizetype(size)));
    if (data[0] == 'M' && data[1] == 'M')
        tiff.setOrder(ByteCursor::Order::BigEndian);
    else if (data[0] != 'I' || data[1] != 'I')
        return std::nullopt;
    quint16 magic = 0, count = 0, tag = 0;
    quint32 first = 0;
    if (!tiff.u16At(2, &magic) || magic != 42 || !tiff.u32At(4, &first))
        return std::nullopt;
    // The second directory describes the thumbnail; the first only says where it starts.
    quint32 second = 0;
    if (!tiff.u16At(first, &count) || count > kMaxDirectoryEntries
        || !tiff.u32At(std::size_t(first) + 2 + 12 * std::size_t(count), &second) || second == 0
        || second == first || !tiff.u16At(second, &count) || count > kMaxDirectoryEntries)
        return std::nullopt;
    quint32 offset = 0, length = 0, compression = 6;
    bool haveOffset = false, haveLength = false;
    for (quint32 i = 0; i < count; ++i) {
        const std::size_t entry = std::size_t(second) + 2 + 12 * std::size_t(i);
        if (!tiff.u16At(entry, &tag))
            return std::nullopt;
        if (tag == 0x0201)
            haveOffset = entryValue(tiff, entry, &offset);
        else if (tag == 0x0202)
            haveLength = entryValue(tiff, entry, &length);
        else if (tag == 0x0103 && !entryValue(tiff, entry, &compression))
            return std::nullopt;
    }
    // Compression 6 is JPEG; uncompressed thumbnails are not looked at.
    if (!haveOffset || !haveLength || compression != 6 || length < 4 || offset > size
        || length > size - offset)
        return std::nullopt;
    if (data[offset] != 0xFF || data[offset + 1] != 0xD8)
        return std::nullopt;
    return ByteRange{offset, length};
}

} // namespace

namespace {

struct Segment {
    uchar kind = 0;
    const uchar* body = nullptr;
    std::size_t length = 0; // of the body
    std::size_t offset = 0; // of the body in the file
};

bool isFrameHeader(uchar kind) { return kind >= 0xC0 && kind <= 0xCF && kind != 0xC4 && kind != 0xC8 && kind != 0xCC; }

// The marker segments of a JPEG file up to its first scan, one at a time.
class SegmentWalk {
public:
    SegmentWalk(const uchar* data, std::size_t size) : m_cursor(QByteArrayView(data, qsizetype(size)))
    {
        const uchar* soi = m_cursor.take(2);
        m_ok = soi && soi[0] == 0xFF && soi[1] == 0xD8;
    }
    bool next(Segment* out)
    {
        if (!m_ok || ++m_count > kMaxMarkers)
            return false;
        const uchar* marker = m_cursor.take(4);
        if (!marker || marker[0] != 0xFF || marker[1] == 0xDA || marker[1] == 0xD9)
            return false;
        const std::size_t length = std::size_t(marker[2] << 8 | marker[3]);
        out->kind = marker[1];
        out->offset = m_cursor.pos();
        out->length = length - 2;
        out->body = length >= 2 ? m_cursor.take(length - 2) : nullptr;
        return out->body != nullptr;
    }

private:
    ByteCursor m_cursor;
    bool m_ok = false;
    int m_count = 0;
};

} // namespace

std::optional<ByteRange> findExifThumbnail(const unsigned char* data, std::size_t size)
{
    SegmentWalk walk(data, size);
    Segment s;
    while (walk.next(&s) && !isFrameHeader(s.kind)) {
        if (s.kind == 0xE1 && s.length >= 6 && std::equal(s.body, s.body + 6, "Exif\0\0")) {
            const std::size_t tiffStart = s.offset + 6;
            if (auto found = thumbnailInTiff(data + tiffStart, s.length - 6))
                return ByteRange{tiffStart + found->offset, found->length};
            return std::nullopt;
        }
    }
    return std::nullopt;
}

std::optional<QSize> jpegFrameSize(const unsigned char* data, std::size_t size)
{
    SegmentWalk walk(data, size);
    Segment s;
    while (walk.next(&s)) {
        if (isFrameHeader(s.kind)) {
            if (s.length < 5)
                return std::nullopt;
            return QSize(s.body[3] << 8 | s.body[4], s.body[1] << 8 | s.body[2]);
        }
    }
    return std::nullopt;
}

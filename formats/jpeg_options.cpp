// The JPEG options of the settings applied to the JPEG adapter, the thumbnail
// decoder and the JPEG save.
#include "formats/jpeg_options.h"

#include "formats/exif_thumbnail.h"
#include "formats/jpeg_image.h"

#include <QFile>
#include <cstdio>

#include <jpeglib.h>
#include <jerror.h>

namespace {

// Colori as greyscale and pixel format; false for a value outside 0..2.
bool colourMode(int colours, bool& grayscale, JPEGPixelFormat& pixelFormat)
{
    switch (colours) {
    case 0: grayscale = false; pixelFormat = jf24Bit; return true;
    case 1: grayscale = false; pixelFormat = jf8Bit; return true;
    case 2: grayscale = true; pixelFormat = jf8Bit; return true;
    default: return false;
    }
}

constexpr qint64 kMaxFileBytes = qint64(1) << 30;
// Enough for the markers before the frame header, Exif with its thumbnail included.
constexpr qint64 kExifHead = 128 * 1024;

} // namespace

bool jpegFastMode(const JpegOptions& o)
{
    return o.Quantizzazione == 0 && o.Dithering != 2;
}

void applyJpegOptions(TJPEGImage& image, const JpegOptions& o)
{
    bool grayscale;
    JPEGPixelFormat pixelFormat;
    if (colourMode(o.Colori, grayscale, pixelFormat)) {
        image.setGrayscale(grayscale);
        image.setPixelFormat(pixelFormat);
    }
    image.setCompressionQuality(o.Qualita & 0xff);
    image.setPerformance(jpegFastMode(o) ? jpBestSpeed : jpBestQuality);
}

int thumbnailScaleDenom(int width, int height, int box)
{
    // The library rounds scaled sizes up.
    const auto eighth = [](int v) { return (qint64(v) + 7) / 8; };
    return box > 0 && eighth(width) >= box && eighth(height) >= box ? 8 : 4;
}

qv::jpeg::DecodeSettings JpegThumbnailDecoder::settings(int scaleDenom) const
{
    bool grayscale = false;
    JPEGPixelFormat pixelFormat = jf24Bit;
    colourMode(m_colours, grayscale, pixelFormat);
    const JPEGScale scale = scaleDenom == 8 ? jsEighth : scaleDenom == 2 ? jsHalf
                           : scaleDenom == 1 ? jsFullSize : jsQuarter;
    qv::jpeg::DecodeSettings s = qv::jpeg::decodeSettings(grayscale, pixelFormat, jpBestSpeed, scale, true);
    s.limits = limits;
    s.dcOnlyWhenProgressive = true;
    return s;
}

std::optional<JpegThumbnail> JpegThumbnailDecoder::decodeEmbedded(const unsigned char* data, std::size_t size)
{
    if (!acceptEmbedded)
        return std::nullopt;
    const std::optional<ByteRange> range = findExifThumbnail(data, size);
    if (!range)
        return std::nullopt;
    try {
        const unsigned char* inner = data + range->offset;
        // Only the front of the file may be here: its size comes from the frame header alone.
        const std::optional<QSize> picture = jpegFrameSize(data, size);
        if (!picture || picture->isEmpty())
            return std::nullopt;
        const qv::jpeg::HeaderInfo small = m_decompressor.readHeader(inner, range->length, limits);
        const QSize trueSize = *picture;
        if (!acceptEmbedded(QSize(small.width, small.height), trueSize))
            return std::nullopt;
        // The stored thumbnail is small: reduce it only as far as it still covers the box.
        int denom = 1;
        while (denom < 8 && (qint64(small.width) + 2 * denom - 1) / (2 * denom) >= box
               && (qint64(small.height) + 2 * denom - 1) / (2 * denom) >= box)
            denom *= 2;
        qv::jpeg::DecodeResult r = m_decompressor.decode(inner, range->length, settings(denom));
        return JpegThumbnail{std::move(r.image), trueSize, denom, true};
    } catch (const EJPEG&) {
        return std::nullopt; // a damaged thumbnail: the picture itself is decoded
    }
}

JpegThumbnail JpegThumbnailDecoder::decode(const unsigned char* data, std::size_t size)
{
    if (std::optional<JpegThumbnail> small = decodeEmbedded(data, size))
        return std::move(*small);
    return decodePicture(data, size);
}

JpegThumbnail JpegThumbnailDecoder::decodePicture(const unsigned char* data, std::size_t size)
{
    int denom = 4;
    if (box > 0) {
        const qv::jpeg::HeaderInfo h = m_decompressor.readHeader(data, size, limits);
        denom = thumbnailScaleDenom(h.width, h.height, box);
        if (denom == 8 && !h.progressive) {
            // Our own DC decoder gives libjpeg's pixels faster; what it leaves goes on below.
            const qv::jpeg::DecodeSettings s = settings(8);
            if (auto r = m_eighthDecoder.decode(data, size, s.grayscale, s.eightBit, limits))
                return {std::move(r->image), QSize(r->width, r->height), 8, false};
        }
    }
    qv::jpeg::DecodeResult r = m_decompressor.decode(data, size, settings(denom));
    return {std::move(r.image), QSize(r.header.width, r.header.height), denom, false};
}

JpegThumbnail JpegThumbnailDecoder::decode(const QByteArray& bytes)
{
    return decode(reinterpret_cast<const unsigned char*>(bytes.constData()), std::size_t(bytes.size()));
}

JpegThumbnail JpegThumbnailDecoder::decodeFile(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw EJPEG(QStringLiteral("Cannot open file \"%1\"").arg(path));
    const qint64 size = f.size();
    if (size > kMaxFileBytes)
        throw EJPEG(JERR_IMAGE_TOO_BIG);
    // The buffer keeps its capacity from one picture to the next.
    m_fileBuffer.resize(qsizetype(size));
    const auto readUpTo = [&](qint64 from, qint64 end) {
        while (from < end) {
            const qint64 n = f.read(m_fileBuffer.data() + from, end - from);
            if (n <= 0)
                break; // the file shrank: decode what is there
            from += n;
        }
        return from;
    };
    const auto bytes = [this] { return reinterpret_cast<const unsigned char*>(m_fileBuffer.constData()); };
    // Exif data sits at the front: a camera's thumbnail needs none of the rest of the file.
    const qint64 head = std::min(size, kExifHead);
    qint64 got = readUpTo(0, head);
    if (got < head || got == size)
        return decode(bytes(), std::size_t(got));
    if (std::optional<JpegThumbnail> small = decodeEmbedded(bytes(), std::size_t(got)))
        return std::move(*small);
    got = readUpTo(got, size);
    return decodePicture(bytes(), std::size_t(got));
}

void saveJpegPicture(const QImage& picture, const QString& path, const JpegOptions& options)
{
    TJPEGImage jpeg;
    applyJpegOptions(jpeg, options);
    jpeg.Assign(picture);
    jpeg.SaveToFile(path);
}

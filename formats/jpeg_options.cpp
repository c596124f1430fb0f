// The JPEG options of the settings applied to the JPEG adapter, the thumbnail
// decoder and the JPEG save.
#include "formats/jpeg_options.h"

#include "formats/jpeg_image.h"

#include <QFile>
#include <cstdio>

#include <jpeglib.h>
#include <jerror.h>

namespace {

// Colori as greyscale and pixel format; false for a value outside 0..2.
bool colourMode(int colori, bool& grayscale, TJPEGPixelFormat& pixelFormat)
{
    switch (colori) {
    case 0: grayscale = false; pixelFormat = jf24Bit; return true;
    case 1: grayscale = false; pixelFormat = jf8Bit; return true;
    case 2: grayscale = true; pixelFormat = jf8Bit; return true;
    default: return false;
    }
}

constexpr qint64 kMaxFileBytes = qint64(1) << 30;

} // namespace

bool jpegFastMode(const JpegOptions& o)
{
    return o.Quantizzazione == 0 && o.Dithering != 2;
}

void applyJpegOptions(TJPEGImage& image, const JpegOptions& o)
{
    bool grayscale;
    TJPEGPixelFormat pixelFormat;
    if (colourMode(o.Colori, grayscale, pixelFormat)) {
        image.setGrayscale(grayscale);
        image.setPixelFormat(pixelFormat);
    }
    image.setCompressionQuality(o.Qualita & 0xff);
    image.setPerformance(jpegFastMode(o) ? jpBestSpeed : jpBestQuality);
}

JpegThumbnail JpegThumbnailDecoder::decode(const unsigned char* data, std::size_t size)
{
    bool grayscale = false;
    TJPEGPixelFormat pixelFormat = jf24Bit;
    colourMode(m_colori, grayscale, pixelFormat);
    qv::jpeg::DecodeSettings s =
        qv::jpeg::decodeSettings(grayscale, pixelFormat, jpBestSpeed, jsQuarter, true);
    s.limits = limits;
    qv::jpeg::DecodeResult r = m_decompressor.decode(data, size, s);
    return {std::move(r.image), QSize(r.header.width, r.header.height)};
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
    qint64 got = 0;
    while (got < size) {
        const qint64 n = f.read(m_fileBuffer.data() + got, size - got);
        if (n <= 0)
            break; // the file shrank: decode what is there
        got += n;
    }
    return decode(reinterpret_cast<const unsigned char*>(m_fileBuffer.constData()), std::size_t(got));
}

void saveJpegPicture(const QImage& picture, const QString& path, const JpegOptions& options)
{
    TJPEGImage jpeg;
    applyJpegOptions(jpeg, options);
    jpeg.Assign(picture);
    jpeg.SaveToFile(path);
}

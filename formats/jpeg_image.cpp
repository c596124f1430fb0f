// TJPEGImage: lazy decoding of the kept bytes, property changes, compression of
// an assigned bitmap, and atomic saving.
#include "formats/jpeg_image.h"
#include "formats/picture_file.h"

#include <QFile>
#include <QIODevice>
#include <QPainter>
#include <QSaveFile>
#include <algorithm>
#include <cstdio>

#include <jpeglib.h>
#include <jerror.h>

namespace qv::jpeg {

DecodeSettings decodeSettings(bool grayscale, JPEGPixelFormat pixelFormat,
                              JPEGPerformance performance, JPEGScale scale, bool smoothing)
{
    DecodeSettings s;
    s.scaleDenom = 1 << int(scale);
    s.grayscale = grayscale;
    s.eightBit = pixelFormat == jf8Bit;
    s.bestSpeed = performance == jpBestSpeed;
    s.smoothing = smoothing;
    return s;
}

} // namespace qv::jpeg

namespace {

// Largest file taken into memory: far beyond any picture within the size limits.
constexpr qint64 kMaxFileBytes = qint64(1) << 30;

int scaled(int size, JPEGScale scale)
{
    const int denom = 1 << int(scale);
    return (size + denom - 1) / denom; // the library rounds scaled sizes up
}

} // namespace

TJPEGImage::TJPEGImage() = default;
TJPEGImage::~TJPEGImage() = default;

void TJPEGImage::changed()
{
    if (OnChange)
        OnChange(*this);
}

// An assigned bitmap stays in m_source, so nothing is lost here: the next use
// compresses it with the new properties and decodes the result.
void TJPEGImage::freeBitmap()
{
    m_bitmap = QImage();
}

void TJPEGImage::decodingPropertyChanged()
{
    freeBitmap();
    changed();
}

void TJPEGImage::encodingPropertyChanged()
{
    if (!m_source.isNull())
        m_dataStale = true;
}

void TJPEGImage::setCompressionQuality(int quality)
{
    quality = std::clamp(quality, 1, 100);
    if (m_quality == quality)
        return;
    m_quality = quality;
    encodingPropertyChanged();
}

void TJPEGImage::setGrayscale(bool value)
{
    if (m_grayscale == value)
        return;
    m_grayscale = value;
    freeBitmap();
    encodingPropertyChanged();
    changed();
}

void TJPEGImage::setPixelFormat(JPEGPixelFormat value)
{
    if (m_pixelFormat == value)
        return;
    m_pixelFormat = value;
    decodingPropertyChanged();
}

void TJPEGImage::setPerformance(JPEGPerformance value)
{
    if (m_performance == value)
        return;
    m_performance = value;
    decodingPropertyChanged();
}

void TJPEGImage::setScale(JPEGScale value)
{
    if (m_scale == value)
        return;
    m_scale = value;
    decodingPropertyChanged();
}

void TJPEGImage::setSmoothing(bool value)
{
    if (m_smoothing == value)
        return;
    m_smoothing = value;
    decodingPropertyChanged();
}

void TJPEGImage::setProgressiveEncoding(bool value)
{
    if (m_progressiveEncoding == value)
        return;
    m_progressiveEncoding = value;
    encodingPropertyChanged();
}

int TJPEGImage::Width() const
{
    if (!m_bitmap.isNull())
        return m_bitmap.width();
    if (!m_data.Empty())
        return scaled(m_data.Width(), m_scale);
    return m_source.width();
}

int TJPEGImage::Height() const
{
    if (!m_bitmap.isNull())
        return m_bitmap.height();
    if (!m_data.Empty())
        return scaled(m_data.Height(), m_scale);
    return m_source.height();
}

void TJPEGImage::setWidth(int)
{
    throw EInvalidGraphicOperation(QStringLiteral("Cannot change the size of a JPEG image"));
}

void TJPEGImage::setHeight(int)
{
    throw EInvalidGraphicOperation(QStringLiteral("Cannot change the size of a JPEG image"));
}

bool TJPEGImage::Empty() const
{
    return m_data.Empty() && m_source.isNull() && m_bitmap.isNull();
}

qv::jpeg::Decompressor& TJPEGImage::decompressor()
{
    if (!m_decompressor)
        m_decompressor = std::make_unique<qv::jpeg::Decompressor>();
    return *m_decompressor;
}

void TJPEGImage::setData(const QByteArray& bytes)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    const qv::jpeg::HeaderInfo h = decompressor().readHeader(p, std::size_t(bytes.size()), limits);
    m_data.m_bytes = bytes;
    m_data.m_width = h.width;
    m_data.m_height = h.height;
    m_data.m_grayscale = h.grayscale;
    m_source = QImage();
    m_dataStale = false;
    m_bitmap = QImage();
    // A palette belongs to the picture it was chosen for.
    m_palette.clear();
    changed();
}

void TJPEGImage::LoadFromData(const QByteArray& bytes)
{
    setData(bytes);
}

void TJPEGImage::LoadFromStream(QIODevice& stream)
{
    QByteArray bytes;
    char chunk[64 * 1024];
    for (;;) {
        const qint64 n = stream.read(chunk, sizeof chunk);
        if (n < 0)
            throw EJPEG(QStringLiteral("Cannot read the JPEG image: %1").arg(stream.errorString()));
        if (n == 0)
            break;
        if (bytes.size() + n > kMaxFileBytes)
            throw EJPEG(JERR_IMAGE_TOO_BIG);
        bytes.append(chunk, qsizetype(n));
    }
    setData(bytes);
}

void TJPEGImage::LoadFromFile(const QString& fileName)
{
    QFile f;
    if (!qv::openPictureFile(f, fileName))
        throw EJPEG(QStringLiteral("Cannot open file \"%1\"").arg(fileName));
    if (f.size() > kMaxFileBytes)
        throw EJPEG(JERR_IMAGE_TOO_BIG);
    const QByteArray bytes = f.readAll();
    if (bytes.size() != f.size())
        throw EJPEG(QStringLiteral("Cannot read file \"%1\"").arg(fileName));
    setData(bytes);
}

void TJPEGImage::Compress()
{
    if (m_source.isNull())
        return;
    qv::jpeg::EncodeSettings s;
    s.quality = m_quality;
    s.grayscale = m_grayscale;
    s.progressive = m_progressiveEncoding;
    m_data.m_bytes = qv::jpeg::compress(m_source, s);
    m_data.m_width = m_source.width();
    m_data.m_height = m_source.height();
    m_data.m_grayscale = m_grayscale;
    m_dataStale = false;
}

void TJPEGImage::JPEGNeeded()
{
    if (!m_source.isNull() && (m_data.Empty() || m_dataStale))
        Compress();
}

void TJPEGImage::SaveToStream(QIODevice& stream)
{
    JPEGNeeded();
    if (m_data.Empty())
        throw EJPEG(JERR_EMPTY_IMAGE);
    const QByteArray& bytes = m_data.Data();
    if (stream.write(bytes) != bytes.size())
        throw EJPEG(QStringLiteral("Cannot write the JPEG image: %1").arg(stream.errorString()));
}

void TJPEGImage::SaveToFile(const QString& fileName)
{
    JPEGNeeded();
    if (m_data.Empty())
        throw EJPEG(JERR_EMPTY_IMAGE);
    QSaveFile f(fileName);
    if (!f.open(QIODevice::WriteOnly))
        throw EJPEG(QStringLiteral("Cannot create file \"%1\"").arg(fileName));
    SaveToStream(f);
    if (!f.commit())
        throw EJPEG(QStringLiteral("Cannot create file \"%1\"").arg(fileName));
}

void TJPEGImage::Assign(const QImage& bitmap)
{
    m_source = bitmap.copy();
    m_bitmap = m_source;
    m_data = TJPEGData();
    m_dataStale = false;
    m_palette.clear();
    changed();
}

QImage TJPEGImage::Bitmap()
{
    if (!m_bitmap.isNull())
        return m_bitmap;
    JPEGNeeded();
    if (m_data.Empty())
        return QImage();
    qv::jpeg::DecodeSettings s =
        qv::jpeg::decodeSettings(m_grayscale, m_pixelFormat, m_performance, m_scale, m_smoothing);
    s.progressiveDisplay = m_progressiveDisplay;
    s.limits = limits;
    if (m_pixelFormat == jf8Bit)
        s.colourMap = m_palette;
    if (OnProgress)
        s.progress = [this](int percent, const QImage* pass) { OnProgress(*this, percent, pass); };
    const QByteArray& bytes = m_data.Data();
    qv::jpeg::DecodeResult r = decompressor().decode(
        reinterpret_cast<const unsigned char*>(bytes.constData()), std::size_t(bytes.size()), s);
    if (m_pixelFormat == jf24Bit)
        m_palette.clear();
    else if (!r.colourMap.isEmpty())
        m_palette = r.colourMap;
    m_bitmap = std::move(r.image);
    return m_bitmap;
}

void TJPEGImage::Draw(QPainter& painter, const QRectF& target)
{
    const QImage image = Bitmap();
    if (!image.isNull())
        painter.drawImage(target, image);
}

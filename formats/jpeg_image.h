// TJPEGImage, the JPEG graphic: compressed bytes (TJPEGData) decoded on first
// use with its decoding properties, or a bitmap compressed when it is saved.
#pragma once
#include "formats/jpeg_codec.h"

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QVector>
#include <functional>
#include <memory>

class QIODevice;
class QPainter;
class QRectF;

// The error of an invalid operation on a graphic.
QV_DECLARE_ERROR(EInvalidGraphicOperation);

// How the picture container lists this graphic: its extensions and description.
inline constexpr const char* kJpegImageExtensions[] = {"jpg", "jpeg"};
inline constexpr const char* kJpegImageDescription = "JPEG Image File";

enum JPEGPixelFormat { jf24Bit, jf8Bit };
enum JPEGPerformance { jpBestQuality, jpBestSpeed };
enum JPEGScale { jsFullSize, jsHalf, jsQuarter, jsEighth };

// The compressed byte stream of one picture, with what its header says.
class TJPEGData {
public:
    const QByteArray& Data() const { return m_bytes; }
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    bool Grayscale() const { return m_grayscale; }
    bool Empty() const { return m_bytes.isEmpty(); }

private:
    friend class TJPEGImage;
    QByteArray m_bytes;
    int m_width = 0;
    int m_height = 0;
    bool m_grayscale = false;
};

class TJPEGImage {
public:
    using NotifyEvent = std::function<void(TJPEGImage& Sender)>;
    // percent of the current decode; pass is the picture of a completed
    // progressive-display pass, null otherwise.
    using ProgressEvent = std::function<void(TJPEGImage& Sender, int percent, const QImage* pass)>;

    TJPEGImage();
    ~TJPEGImage();
    TJPEGImage(const TJPEGImage&) = delete;
    TJPEGImage& operator=(const TJPEGImage&) = delete;

    // Properties. A different value of Grayscale, PixelFormat, Performance,
    // Scale or Smoothing discards the decoded bitmap and calls OnChange.
    int CompressionQuality() const { return m_quality; }
    void setCompressionQuality(int quality); // kept within 1..100
    bool Grayscale() const { return m_grayscale; }
    void setGrayscale(bool value);
    JPEGPixelFormat PixelFormat() const { return m_pixelFormat; }
    void setPixelFormat(JPEGPixelFormat value);
    JPEGPerformance Performance() const { return m_performance; }
    void setPerformance(JPEGPerformance value);
    JPEGScale Scale() const { return m_scale; }
    void setScale(JPEGScale value);
    bool Smoothing() const { return m_smoothing; }
    void setSmoothing(bool value);
    bool ProgressiveDisplay() const { return m_progressiveDisplay; }
    void setProgressiveDisplay(bool value) { m_progressiveDisplay = value; }
    bool ProgressiveEncoding() const { return m_progressiveEncoding; }
    void setProgressiveEncoding(bool value);

    // Size of the picture as it is shown: the bitmap's, or the file's at Scale.
    int Width() const;
    int Height() const;
    // A JPEG picture cannot be resized: both throw EInvalidGraphicOperation.
    void setWidth(int value);
    void setHeight(int value);
    bool Empty() const;

    // Loading keeps the bytes and reads the header; decoding waits for first
    // use. On failure (EJPEG) the image is unchanged.
    void LoadFromFile(const QString& fileName);
    void LoadFromStream(QIODevice& stream); // from the current position to the end
    void LoadFromData(const QByteArray& bytes);
    // Writes the compressed bytes, compressing an assigned bitmap first. A file
    // is written to a temporary in the same folder and renamed over the old one.
    void SaveToFile(const QString& fileName);
    void SaveToStream(QIODevice& stream);

    // Takes a copy of the bitmap as the picture to compress.
    void Assign(const QImage& bitmap);
    // The decoded picture (decoding it now if needed); null when empty.
    QImage Bitmap();
    void Draw(QPainter& painter, const QRectF& target);

    void DIBNeeded() { Bitmap(); }
    void JPEGNeeded();
    void Compress();
    const TJPEGData& Data() const { return m_data; }
    // The palette kept from the last 8-bit colour decode.
    const QVector<QRgb>& Palette() const { return m_palette; }

    qv::jpeg::Limits limits; // for hostile files; the defaults suit pictures
    NotifyEvent OnChange;
    ProgressEvent OnProgress;

private:
    void changed();
    void freeBitmap();
    void decodingPropertyChanged();
    void encodingPropertyChanged();
    void setData(const QByteArray& bytes);
    qv::jpeg::Decompressor& decompressor();

    TJPEGData m_data;
    QImage m_source;      // the assigned bitmap, the picture to compress
    bool m_dataStale = false; // m_data no longer matches m_source and the encoding properties
    QImage m_bitmap;      // decoded picture
    QVector<QRgb> m_palette;
    std::unique_ptr<qv::jpeg::Decompressor> m_decompressor;

    int m_quality = 90;
    bool m_grayscale = false;
    // Screens here have more than 8 bits per pixel, so 24-bit output is the default.
    JPEGPixelFormat m_pixelFormat = jf24Bit;
    JPEGPerformance m_performance = jpBestQuality;
    JPEGScale m_scale = jsFullSize;
    bool m_smoothing = true;
    bool m_progressiveDisplay = false;
    bool m_progressiveEncoding = false;
};

namespace qv::jpeg {
// The decoding settings a TJPEGImage with these properties uses.
DecodeSettings decodeSettings(bool grayscale, JPEGPixelFormat pixelFormat,
                              JPEGPerformance performance, JPEGScale scale, bool smoothing);
} // namespace qv::jpeg

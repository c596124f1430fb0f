// The JPEG options of the settings applied to the JPEG adapter: full-picture
// set-up, the quarter-scale thumbnail decoder and saving a picture as JPEG.
#pragma once
#include "formats/jpeg_codec.h"
#include "formats/jpeg_dc_decode.h"

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>
#include <functional>
#include <optional>

class TJPEGImage;

// The four values of the "OpzioniJPG" settings key, as stored.
struct JpegOptions {
    int Colori = 0;          // 0 full colour, 1 256 colours, 2 greyscale
    int Quantizzazione = 1;  // 0 one pass, 1 two passes
    int Dithering = 2;       // 0 none, 1 ordered, 2 Floyd-Steinberg
    int Qualita = 90;        // compression quality in percent
};

// Colour mode from Colori (another value keeps the image's own), quality from
// the low byte of Qualita, and the fast mode when Quantizzazione is 0 and
// Dithering is not 2. Scale is left alone.
void applyJpegOptions(TJPEGImage& image, const JpegOptions& options);

// True when the options ask for the fast decoding mode.
bool jpegFastMode(const JpegOptions& options);

struct JpegThumbnail {
    QImage image;          // decoded at a reduced scale, or the embedded thumbnail
    QSize fileSize;        // the picture's true size, from its header
    int scaleDenom = 4;    // the reduction the picture was decoded at
    bool embedded = false; // made from the thumbnail stored in the Exif data
};

// The reduction of a thumbnail decode: 1/8 when that output still covers a box
// of `box` pixels in both directions, else 1/4. A box of 0 always gives 1/4.
int thumbnailScaleDenom(int width, int height, int box);

// Decodes pictures for thumbnails: fast mode, colour mode from Colori, at the
// smallest scale that still covers the box (at 1/8 a baseline file through our
// DC decoder, a progressive one from its DC scans alone), or from the Exif
// thumbnail when the caller accepts it. One
// object per thread; it keeps its library object and file buffer between
// pictures. Throws EJPEG.
class JpegThumbnailDecoder {
public:
    explicit JpegThumbnailDecoder(int colours = 0) : m_colours(colours) {}
    void setColours(int colours) { m_colours = colours; }

    JpegThumbnail decodeFile(const QString& path);
    JpegThumbnail decode(const QByteArray& bytes);
    JpegThumbnail decode(const unsigned char* data, std::size_t size);

    qv::jpeg::Limits limits;
    // Side of the thumbnail box in pixels; 0 keeps the quarter scale.
    int box = 0;
    // Says whether an embedded thumbnail of the first size may stand for a
    // picture of the second; none: embedded thumbnails are never used.
    std::function<bool(QSize embedded, QSize picture)> acceptEmbedded;

private:
    JpegThumbnail decodePicture(const unsigned char* data, std::size_t size);
    std::optional<JpegThumbnail> decodeEmbedded(const unsigned char* data, std::size_t size);
    qv::jpeg::DecodeSettings settings(int scaleDenom) const;

    int m_colours;
    qv::jpeg::Decompressor m_decompressor;
    qv::jpeg::EighthScaleDecoder m_eighthDecoder; // baseline files at 1/8
    QByteArray m_fileBuffer;
};

// Writes the picture as a JPEG file with the options (greyscale one-component
// file for Colori 2, quality from Qualita), through a temporary file renamed
// over the old one. Throws EJPEG.
void saveJpegPicture(const QImage& picture, const QString& path, const JpegOptions& options);

// libjpeg-turbo behind a small C++ face: a reusable decompressor (scaling,
// greyscale output, colour quantisation, progressive display) and a compressor.
#pragma once
#include "platform/errors.h"
#include "platform/limits.h"

#include <QByteArray>
#include <QImage>
#include <QVector>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

// A fatal error of the JPEG library ("JPEG error #<message code>"), or a file
// error of the JPEG adapter (code 0).
class EJPEG : public QvError {
public:
    explicit EJPEG(int code);
    explicit EJPEG(const QString& message) : QvError(message) {}
    int code() const noexcept { return m_code; }

private:
    int m_code = 0;
};

namespace qv::jpeg {

// Quantised output uses this many colours, leaving room for a system palette.
inline constexpr int kQuantisedColours = 236;
// Real progressive files have a dozen scans; each scan costs a pass over the
// whole coefficient buffer, so a file of thousands of tiny scans is refused.
inline constexpr int kDefaultMaxScans = 500;

struct Limits {
    std::int64_t maxPixels = kMaxPicturePixels; // of the picture in the file
    int maxScans = kDefaultMaxScans;
};

// What the frame header says.
struct HeaderInfo {
    int width = 0;
    int height = 0;
    int components = 0;
    bool grayscale = false;   // one-component file
    bool progressive = false; // a progressive (SOF2) frame
};

struct DecodeSettings {
    int scaleDenom = 1;            // output is 1/scaleDenom of the size: 1, 2, 4 or 8
    bool grayscale = false;        // ask for greyscale output
    bool eightBit = false;         // quantise to kQuantisedColours
    bool bestSpeed = false;        // fast transform, one-pass quantisation, ordered dither
    bool smoothing = true;         // block smoothing of incomplete progressive scans
    bool progressiveDisplay = false; // show every scan of a multi-scan file
    // A progressive file decoded at 1/8 needs no AC coefficient of its full-resolution
    // components: those scans are skipped unread. A damaged or cut file is decoded whole.
    bool dcOnlyWhenProgressive = false;
    QVector<QRgb> colourMap;       // map to these colours (colour quantised output only)
    Limits limits;
    // Percentage of the decode done (called when it changes); a completed
    // intermediate pass of progressive display comes with its own picture.
    std::function<void(int percent, const QImage* pass)> progress;
};

struct DecodeResult {
    QImage image;         // Indexed8 with its colour table when quantised, else RGB888
    HeaderInfo header;
    QVector<QRgb> colourMap; // the colour map used, for colour quantised output only
};

// One libjpeg decompression object, reused across decodes. Not shared between
// threads: give each worker its own.
class Decompressor {
public:
    Decompressor();
    ~Decompressor();
    Decompressor(const Decompressor&) = delete;
    Decompressor& operator=(const Decompressor&) = delete;

    // Reads the headers only. Throws EJPEG.
    HeaderInfo readHeader(const unsigned char* data, std::size_t size, const Limits& limits = {});
    // Decodes the whole picture. Throws EJPEG, or what the progress callback threw.
    DecodeResult decode(const unsigned char* data, std::size_t size, const DecodeSettings& settings);

    struct State;

private:
    std::unique_ptr<State> d;
};

struct EncodeSettings {
    int quality = 90;        // 1..100; the library clamps other values
    bool grayscale = false;  // write a one-component file
    bool progressive = false;
};

// Compresses a picture of any format (converted to 24 bits first). Throws EJPEG.
QByteArray compress(const QImage& image, const EncodeSettings& settings);

} // namespace qv::jpeg

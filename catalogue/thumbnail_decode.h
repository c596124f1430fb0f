// Decoding pictures for thumbnails, on worker threads ahead of the list pass.
#pragma once
#include "catalogue/thumbnail_geometry.h"
#include "formats/picture.h"

#include <QFuture>
#include <QSize>
#include <QStringList>
#include <QThreadPool>
#include <deque>

struct DecodedThumbnail {
    TPicture picture;      // what the picture holder shows afterwards
    QImage scaled;         // the picture already sized for its box
    thumbs::FitRect rect{1, 1, 1, 1};
    QSize trueSize;        // the file's pixel size (JPEG: from its header)
    bool failed = false;   // the no-picture bitmap stands in
};

// Decodes one file for a thumbnail of `sizeCode` (Dimensione): JPEG in fast mode with the
// colour choice `colours` (Colori) at the smallest scale that covers the box, or from its
// Exif thumbnail when `embedded` allows and it fits; any other format through
// the loading dispatch; a file that cannot be read gives `noPicture`. Safe to
// call from several threads at once.
DecodedThumbnail decodeThumbnail(const QString& path, int sizeCode, int colours, bool embedded,
                                 const QImage& noPicture);

// Whether an Exif thumbnail may stand for its picture in a box of `box` pixels:
// it covers the box both ways and, fitted into it, lands within a pixel of
// where the picture would (a letter-boxed thumbnail does not).
bool embeddedThumbnailFits(QSize embedded, QSize picture, int box);

// Keeps a bounded number of decodes running ahead of the pass, in its order.
class ThumbnailDecodeAhead {
public:
    ThumbnailDecodeAhead();
    ~ThumbnailDecodeAhead();

    void start(const QStringList& paths, int sizeCode, int colours);
    // The result for `path`: the one decoded ahead, or decoded now.
    DecodedThumbnail take(const QString& path, int sizeCode, int colours);
    // Drops what is queued; decodes already running finish on their own.
    void stop();
    QSize lastTrueSize() const { return m_lastTrueSize; }

private:
    void refill();

    QThreadPool m_pool;
    QStringList m_paths;
    qsizetype m_next = 0;
    int m_sizeCode = 2, m_colours = 0;
    bool m_embedded = true;
    int m_depth;
    std::deque<std::pair<QString, QFuture<DecodedThumbnail>>> m_inFlight;
    QSize m_lastTrueSize;
};

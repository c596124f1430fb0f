// Thumbnail decoding and the decode-ahead queue.
#include "catalogue/thumbnail_decode.h"

#include "catalogue/startup_objects.h"
#include "formats/jpeg_options.h"
#include "formats/picture_loader.h"

#include <QtConcurrent/QtConcurrentRun>

DecodedThumbnail decodeThumbnail(const QString& path, int dimensione, int colori, const QImage& noPicture)
{
    DecodedThumbnail d;
    const QString ext = thumbs::extensionKey(path);
    try {
        if (ext == QLatin1String("jpg") || ext == QLatin1String("jpeg")) {
            // One decoder per thread keeps its library object and buffer.
            thread_local JpegThumbnailDecoder decoder;
            decoder.setColori(colori);
            JpegThumbnail t = decoder.decodeFile(path);
            d.trueSize = t.fileSize;
            d.picture = TPicture(std::move(t.image));
        } else {
            d.picture = LoadPictureFile(path);
            d.trueSize = d.picture.size();
        }
    } catch (...) {
        d.failed = true;
    }
    if (d.failed || d.picture.isEmpty()) {
        d.failed = true;
        d.picture = TPicture(noPicture);
        d.trueSize = noPicture.size();
    }
    const QImage& img = d.picture.image();
    d.rect = thumbs::fitRect(img.width(), img.height(), thumbs::boxSize(dimensione));
    const int w = std::max(1, d.rect.right - d.rect.left);
    const int h = std::max(1, d.rect.bottom - d.rect.top);
    d.scaled = img.size() == QSize(w, h) ? img : img.scaled(w, h, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return d;
}

ThumbnailDecodeAhead::ThumbnailDecodeAhead()
{
    m_pool.setMaxThreadCount(std::max(1, QThread::idealThreadCount()));
    // Enough to keep every core busy while the list takes its turn.
    m_depth = 2 * m_pool.maxThreadCount() + 1;
}

ThumbnailDecodeAhead::~ThumbnailDecodeAhead()
{
    stop();
    m_pool.waitForDone();
}

void ThumbnailDecodeAhead::start(const QStringList& paths, int dimensione, int colori)
{
    stop();
    m_paths = paths;
    m_next = 0;
    m_dimensione = dimensione;
    m_colori = colori;
    refill();
}

void ThumbnailDecodeAhead::refill()
{
    const QImage noPicture = startupObjects().noPicture[StartupObjects::slot(m_dimensione)];
    while (qsizetype(m_inFlight.size()) < m_depth && m_next < m_paths.size()) {
        const QString path = m_paths[m_next++];
        m_inFlight.emplace_back(path, QtConcurrent::run(&m_pool, decodeThumbnail, path, m_dimensione,
                                                        m_colori, noPicture));
    }
}

DecodedThumbnail ThumbnailDecodeAhead::take(const QString& path, int dimensione, int colori)
{
    // Paths skipped by the pass (items removed meanwhile) are dropped on the way.
    while (!m_inFlight.empty() && m_inFlight.front().first != path) {
        bool later = false;
        for (const auto& f : m_inFlight)
            later = later || f.first == path;
        if (!later)
            break;
        m_inFlight.pop_front();
    }
    DecodedThumbnail d;
    if (!m_inFlight.empty() && m_inFlight.front().first == path && dimensione == m_dimensione
        && colori == m_colori) {
        d = m_inFlight.front().second.result();
        m_inFlight.pop_front();
    } else {
        d = decodeThumbnail(path, dimensione, colori, startupObjects().noPicture[StartupObjects::slot(dimensione)]);
    }
    refill();
    m_lastTrueSize = d.trueSize;
    return d;
}

void ThumbnailDecodeAhead::stop()
{
    m_pool.clear();     // queued decodes never start
    m_inFlight.clear(); // a running one finishes in the pool and is dropped
    m_paths.clear();
    m_next = 0;
}

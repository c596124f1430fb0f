// Thumbnail decoding and the decode-ahead queue.
#include "catalogue/thumbnail_decode.h"

#include "catalogue/startup_objects.h"
#include "catalogue/thumbnail_scale.h"
#include "formats/jpeg_options.h"
#include "formats/picture_loader.h"
#include "platform/memory_reuse.h"
#include "platform/settings.h"

#include <QtConcurrent/QtConcurrentRun>

bool embeddedThumbnailFits(QSize embedded, QSize picture, int box)
{
    if (embedded.width() < box || embedded.height() < box)
        return false;
    const thumbs::FitRect a = thumbs::fitRect(embedded.width(), embedded.height(), box);
    const thumbs::FitRect b = thumbs::fitRect(picture.width(), picture.height(), box);
    return std::abs(a.left - b.left) <= 1 && std::abs(a.top - b.top) <= 1
        && std::abs(a.right - b.right) <= 1 && std::abs(a.bottom - b.bottom) <= 1;
}

DecodedThumbnail decodeThumbnail(const QString& path, int sizeCode, int colours, bool embedded,
                                 const QImage& noPicture)
{
    DecodedThumbnail d;
    const QString ext = thumbs::extensionKey(path);
    try {
        if (ext == QLatin1String("jpg") || ext == QLatin1String("jpeg")) {
            // One decoder per thread keeps its library object and buffer.
            thread_local JpegThumbnailDecoder decoder;
            decoder.setColours(colours);
            const int box = thumbs::boxSize(sizeCode);
            decoder.box = box;
            if (embedded) {
                decoder.acceptEmbedded = [box](QSize small, QSize picture) {
                    return embeddedThumbnailFits(small, picture, box);
                };
            } else {
                decoder.acceptEmbedded = nullptr;
            }
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
    d.rect = thumbs::fitRect(img.width(), img.height(), thumbs::boxSize(sizeCode));
    const int w = std::max(1, d.rect.right - d.rect.left);
    const int h = std::max(1, d.rect.bottom - d.rect.top);
    d.scaled = thumbs::scaleForThumbnail(img, w, h);
    return d;
}

ThumbnailDecodeAhead::ThumbnailDecodeAhead()
{
    keepFreedMemoryForReuse();
    m_pool.setMaxThreadCount(std::max(1, QThread::idealThreadCount()));
    // Enough to keep every core busy while the list takes its turn.
    m_depth = 2 * m_pool.maxThreadCount() + 1;
}

ThumbnailDecodeAhead::~ThumbnailDecodeAhead()
{
    stop();
    m_pool.waitForDone();
}

void ThumbnailDecodeAhead::start(const QStringList& paths, int sizeCode, int colours)
{
    stop();
    m_paths = paths;
    m_next = 0;
    m_sizeCode = sizeCode;
    m_colours = colours;
    m_embedded = Configurazione.MiniatureIncorporate;
    refill();
}

void ThumbnailDecodeAhead::refill()
{
    const QImage noPicture = startupObjects().noPicture[StartupObjects::slot(m_sizeCode)];
    while (qsizetype(m_inFlight.size()) < m_depth && m_next < m_paths.size()) {
        const QString path = m_paths[m_next++];
        m_inFlight.emplace_back(path, QtConcurrent::run(&m_pool, decodeThumbnail, path, m_sizeCode,
                                                        m_colours, m_embedded, noPicture));
    }
}

DecodedThumbnail ThumbnailDecodeAhead::take(const QString& path, int sizeCode, int colours)
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
    if (!m_inFlight.empty() && m_inFlight.front().first == path && sizeCode == m_sizeCode
        && colours == m_colours && Configurazione.MiniatureIncorporate == m_embedded) {
        d = m_inFlight.front().second.result();
        m_inFlight.pop_front();
    } else {
        d = decodeThumbnail(path, sizeCode, colours, Configurazione.MiniatureIncorporate,
                            startupObjects().noPicture[StartupObjects::slot(sizeCode)]);
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

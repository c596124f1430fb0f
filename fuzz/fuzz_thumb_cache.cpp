// Fuzz target: a thumbnail cache pair (strip stream and text file) from one input.
// The first two bytes say how much of the rest is the strip stream.
#include "catalogue/thumbnail_catalogue.h"
#include "fuzz_support.h"

#include <QBuffer>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ensureGuiApplication();
    static ThumbnailCatalogue* catalogue = new ThumbnailCatalogue;

    if (size < 2)
        return 0;
    const size_t split = std::min<size_t>(size - 2, size_t(data[0]) | (size_t(data[1]) << 8));
    QByteArray strip(reinterpret_cast<const char*>(data + 2), qsizetype(split));
    const QByteArray text(reinterpret_cast<const char*>(data + 2 + split), qsizetype(size - 2 - split));
    QBuffer images(&strip);
    images.open(QIODevice::ReadOnly);
    catalogue->model().clear();
    try {
        catalogue->loadCacheFrom(images, text, QStringLiteral("/p"));
        // Thumbnails read in place are expanded when asked for: ask for all.
        if (const ImageList* list = catalogue->currentList())
            for (int i = 0; i < list->count(); ++i)
                (void)list->at(i);
    } catch (const std::exception&) {
    }
    return 0;
}

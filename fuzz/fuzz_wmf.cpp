// Fuzz target: the metafile player on arbitrary bytes as a WMF file, drawn
// into a small picture so that every record is played.
#include "formats/dib_image.h"
#include "platform/metafile_player.h"

#include <QByteArrayView>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static QGuiApplication* app = [] {
        static int argc = 1;
        static char name[] = "fuzz_wmf";
        static char* argv[] = {name, nullptr};
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return new QGuiApplication(argc, argv);
    }();
    (void)app;
    const QByteArrayView bytes(data, qsizetype(size));
    try {
        const MetafileHeader header = ReadMetafileHeader(bytes);
        if (header.kind == MetafileKind::Emf)
            return 0;
        // The picture's own size may be huge; the records play the same into a small one.
        QImage image(64, 48, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        PlayMetafile(bytes, painter, QRectF(0, 0, 64, 48), [](QByteArrayView dib) { return DibToImage(dib); });
    } catch (const EMetafile&) {
    }
    return 0;
}

// The metafile player run on one kind of metafile, for the WMF and EMF targets.
#pragma once
#include "fuzz_support.h"
#include "formats/dib_image.h"
#include "platform/metafile_player.h"

#include <QByteArrayView>
#include <QImage>
#include <QPainter>

// Plays the bytes when they are a metafile of the kind asked for, into a small
// picture: the picture's own size may be huge, the records play the same.
inline void fuzzMetafile(const std::uint8_t* data, std::size_t size, MetafileKind kind)
{
    ensureGuiApplication();
    const QByteArrayView bytes(data, qsizetype(size));
    try {
        const MetafileHeader header = ReadMetafileHeader(bytes);
        if ((header.kind == MetafileKind::Emf) != (kind == MetafileKind::Emf))
            return;
        QImage image(64, 48, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        PlayMetafile(bytes, painter, QRectF(0, 0, 64, 48), [](QByteArrayView dib) { return DibToImage(dib); });
    } catch (const EMetafile&) {
    }
}

// Our player of Windows metafiles (WMF, placeable or not) and enhanced
// metafiles (EMF) over QPainter: the picture loader's stand-in for them.
#pragma once
#include "platform/errors.h"

#include <QByteArrayView>
#include <QImage>
#include <QRectF>
#include <QSize>
#include <functional>

class QPainter;

QV_DECLARE_ERROR(EMetafile);

enum class MetafileKind { Wmf, PlaceableWmf, Emf };

struct MetafileHeader {
    MetafileKind kind = MetafileKind::Wmf;
    // The picture's size in pixels at 96 dots per inch.
    QSize size;
};

// Turns a packed device-independent bitmap (40-byte info header, colour table
// or bit-field masks, rows) into an image; a null image when it cannot. The
// player hands every bitmap of a metafile to it.
using DibDecoder = std::function<QImage(QByteArrayView packedDib)>;

// Reads the header and works out the picture size: a placeable WMF's bounds at
// its units per inch, an EMF's frame in 0.01 mm, a plain WMF's first window
// extent. Throws EMetafile for anything that is not a metafile we can show.
MetafileHeader ReadMetafileHeader(QByteArrayView data);

// Plays the records onto the painter, the picture filling target (in the
// painter's device pixels). Throws EMetafile when the header is bad; damaged
// records are skipped and a record past the end of the data ends the picture.
void PlayMetafile(QByteArrayView data, QPainter& painter, const QRectF& target, const DibDecoder& decodeDib);

// The picture at its own size (ReadMetafileHeader), drawn at (0, 0) over white
// and antialiased, as RGB32. Throws EMetafile.
QImage RenderMetafile(QByteArrayView data, const DibDecoder& decodeDib);

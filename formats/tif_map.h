// TTifmap, the TIFF graphic: the first picture of a TIFF file (1, 4, 8 or 24
// bits a pixel, in strips, uncompressed, PackBits or LZW) read through a Windows bitmap file.
#pragma once
#include "formats/picture.h"
#include "platform/errors.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QImage>
#include <QString>

class QIODevice;

// Every failure of the TIFF reader; the message comes from the reader's table.
QV_DECLARE_ERROR(ETifException);

// Decodes the first picture of a TIFF file into a Windows bitmap file: 14-byte
// file header, 40-byte info header, colour table (none for 24 bits), rows bottom
// first, each padded to 4 bytes. Throws ETifException.
QByteArray TifToBitmapFile(QByteArrayView tif);

class TTifmap : public BitmapGraphic {
public:
    // Each throws ETifException and leaves the previous picture when it fails.
    void LoadFromBytes(QByteArrayView tif);
    void LoadFromStream(QIODevice& stream);
    // The bitmap is indexed (1, 4, 8 bits) or RGB32 (24 bits).
    void LoadFromFile(const QString& fileName);

    QString kindName() const override { return QStringLiteral("TTifmap"); }
};

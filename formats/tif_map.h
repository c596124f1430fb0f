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

class TTifmap : public PictureGraphic {
public:
    // Each throws ETifException and leaves the previous picture when it fails.
    void LoadFromBytes(QByteArrayView tif);
    void LoadFromStream(QIODevice& stream);
    void LoadFromFile(const QString& fileName);

    // Indexed (1, 4, 8 bits) or RGB32 (24 bits); null before a load.
    const QImage& Bitmap() const { return m_bitmap; }
    bool Empty() const { return m_bitmap.isNull(); }
    int Width() const { return m_bitmap.width(); }
    int Height() const { return m_bitmap.height(); }
    // Bits per pixel of the file's picture (1, 4, 8 or 24); 0 before a load.
    int BitsPerPixel() const { return m_bitsPerPixel; }

    QString kindName() const override { return QStringLiteral("TTifmap"); }

private:
    QImage m_bitmap;
    int m_bitsPerPixel = 0;
};

// TAnymap, the bitmap through which TIFF files, drawing previews, icons and
// metafiles are read: the reader is picked by the file's extension.
#pragma once
#include "formats/cdr_map.h"
#include "formats/picture.h"

#include <QByteArrayView>
#include <QImage>
#include <QString>

class TAnymap : public PictureGraphic {
public:
    // "tif" through TTifmap, "cdr" through TCdrMap, "ico" through Qt's icon
    // reader, "wmf" and "emf" through our metafile player (key: the
    // lower-cased extension). Any other key leaves the bitmap as it was. The
    // readers' errors (ETifException, EInvalidGraphic, EMetafile) pass through.
    void LoadFromFile(const QString& fileName);

    const QImage& Bitmap() const { return m_bitmap; }
    bool Empty() const { return m_bitmap.isNull(); }
    int Width() const { return m_bitmap.width(); }
    int Height() const { return m_bitmap.height(); }
    // The file's bits per pixel when its reader knows them, else 0.
    int BitsPerPixel() const { return m_bitsPerPixel; }

    QString kindName() const override { return QStringLiteral("TAnymap"); }

private:
    QImage m_bitmap;
    int m_bitsPerPixel = 0;
};

// An icon file as a bitmap of the icon's size: its 32 x 32 image (the deepest
// one when there are several), else its largest, drawn over white. Throws
// EInvalidGraphic when the file holds no icon Qt can read.
QImage IconToBitmap(QByteArrayView ico);
// A WMF or EMF file's bytes as a bitmap of the picture's size (96 dots per
// inch), drawn antialiased over white; its bitmaps through DibToImage.
// Throws EMetafile.
QImage MetafileToBitmap(QByteArrayView bytes);

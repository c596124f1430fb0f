// TAnymap, the bitmap through which TIFF files, drawing previews, icons and
// metafiles are read: the reader is picked by the file's extension.
#pragma once
#include "formats/cdr_map.h"
#include "formats/picture.h"

#include <QByteArrayView>
#include <QImage>
#include <QString>

class TAnymap : public BitmapGraphic {
public:
    // "tif" through TTifmap, "cdr" through TCdrMap, "ico" through Qt's icon
    // reader, "wmf" and "emf" through our metafile player (key: the
    // lower-cased extension). Any other key leaves the bitmap as it was. The
    // readers' errors (ETifException, EInvalidGraphic, EMetafile) pass through.
    void LoadFromFile(const QString& fileName);

    QString kindName() const override { return QStringLiteral("TAnymap"); }
};

// An icon file as a bitmap of the icon's size: its 32 x 32 image (the deepest
// one when there are several), else its largest, drawn over white. Throws
// EInvalidGraphic when the file holds no icon Qt can read.
QImage IconToBitmap(QByteArrayView ico);
// A WMF or EMF file's bytes as a bitmap of the picture's size (96 dots per
// inch), drawn antialiased over white; its bitmaps through DibToImage.
// Throws EMetafile.
QImage MetafileToBitmap(QByteArrayView bytes);

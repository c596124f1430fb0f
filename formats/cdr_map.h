// TCdrMap, the preview bitmap a CorelDRAW drawing carries near its start; the
// drawing itself is never interpreted.
#pragma once
#include "formats/picture.h"
#include "platform/errors.h"

#include <QByteArrayView>
#include <QImage>
#include <QString>

class QIODevice;

// A picture that cannot be made from a file's bytes (a drawing without a
// usable preview, a damaged icon) or a file that cannot be opened.
QV_DECLARE_ERROR(EInvalidGraphic);

class TCdrMap : public BitmapGraphic {
public:
    // The preview's info header sits at byte 34, its colour table and rows
    // follow at byte 74; at most this many bytes of them are read.
    static constexpr int kHeaderOffset = 34;
    static constexpr int kDataOffset = 74;
    static constexpr int kDataBlockSize = 20004;

    // Each throws EInvalidGraphic and leaves the previous picture when it fails.
    // Rows beyond the data block (or the file's end) stay at colour 0; a
    // preview of more than 64 blocks' worth of table and rows is refused.
    void LoadFromBytes(QByteArrayView drawing);
    void LoadFromStream(QIODevice& stream);
    // BitsPerPixel() is the preview's as its header gives them.
    void LoadFromFile(const QString& fileName);

    QString kindName() const override { return QStringLiteral("TCdrMap"); }
};

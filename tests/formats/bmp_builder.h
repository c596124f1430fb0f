// Builds Windows bitmap files byte by byte for the reader tests.
#pragma once
#include "formats/fixture_tools.h"

#include <QList>
#include <QRgb>

namespace qvtest {

struct BmpLayout {
    qint32 width = 1;
    qint32 height = 1;
    quint16 bits = 8;
    quint32 compression = 0;
    QList<QRgb> palette{};   // written as the colour table
    quint32 coloursUsed = 0; // the header field, 0: as many as the palette has
    quint32 infoSize = 40;
    quint32 sizeImage = 0;   // 0: the pixel bytes' size
    QByteArray masks{};      // bit-field masks
};

// A complete file: file header, info header, masks, colour table, pixels.
inline QByteArray bmpFile(const BmpLayout& s, const QByteArray& pixels)
{
    const quint32 tableBytes = quint32((s.infoSize == 12 ? 3 : 4) * s.palette.size() + (s.infoSize == 40 ? s.masks.size() : 0));
    const quint32 offset = 14 + s.infoSize + tableBytes;
    QByteArray b("BM");
    appendLe32(b, offset + quint32(pixels.size()));
    appendLe32(b, 0);
    appendLe32(b, offset);
    appendLe32(b, s.infoSize);
    if (s.infoSize == 12) { // the old core header
        appendLe16(b, quint16(s.width));
        appendLe16(b, quint16(s.height));
        appendLe16(b, 1);
        appendLe16(b, s.bits);
    } else {
        appendLe32(b, quint32(s.width));
        appendLe32(b, quint32(s.height));
        appendLe16(b, 1);
        appendLe16(b, s.bits);
        appendLe32(b, s.compression);
        appendLe32(b, s.sizeImage ? s.sizeImage : quint32(pixels.size()));
        appendLe32(b, 2835);
        appendLe32(b, 2835);
        appendLe32(b, s.coloursUsed ? s.coloursUsed : quint32(s.palette.size()));
        appendLe32(b, 0);
        // Larger headers hold the masks themselves, the 40-byte one has them after it, and
        // OS/2 headers may end after any field.
        b.append(s.infoSize == 40 ? s.masks : s.masks.leftJustified(int(s.infoSize) - 40, '\0', true));
        b.truncate(14 + qsizetype(s.infoSize) + (s.infoSize == 40 ? s.masks.size() : 0));
    }
    for (QRgb c : s.palette) {
        b.append(char(qBlue(c))).append(char(qGreen(c))).append(char(qRed(c)));
        if (s.infoSize != 12) // the core header's colours take three bytes
            b.append('\0');
    }
    b.append(pixels);
    return b;
}

inline QList<QRgb> greyRamp(int n)
{
    QList<QRgb> p;
    for (int i = 0; i < n; ++i)
        p << qRgb(i * 255 / (n - 1), (i * 97) & 255, 255 - i * 255 / (n - 1));
    return p;
}

} // namespace qvtest

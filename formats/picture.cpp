// The picture holder: depth and kind of what a reader left in it.
#include "formats/picture.h"

int TPicture::bitsPerPixel() const
{
    if (m_image.isNull())
        return 0;
    if (m_sourceBits > 0)
        return m_sourceBits;
    switch (m_image.format()) {
    case QImage::Format_Mono:
    case QImage::Format_MonoLSB:
        return 1;
    case QImage::Format_Indexed8: {
        const qsizetype n = m_image.colorCount();
        return n <= 2 ? 1 : n <= 16 ? 4 : 8;
    }
    case QImage::Format_RGB32:
    case QImage::Format_RGB888:
    case QImage::Format_BGR888:
        return 24;
    case QImage::Format_RGB16:
    case QImage::Format_RGB555:
        return 16;
    default:
        return m_image.depth();
    }
}

QString TPicture::kindName() const
{
    if (m_image.isNull())
        return QString();
    return m_graphic ? m_graphic->kindName() : QStringLiteral("TBitmap");
}

// The any-format bitmap: one load by extension, and icons drawn over white.
#include "formats/anymap.h"
#include "formats/dib_image.h"
#include "formats/picture_file.h"
#include "formats/picture_loader.h"
#include "formats/tif_map.h"
#include "platform/byte_cursor.h"
#include "platform/metafile_player.h"

#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QImageReader>
#include <QPainter>
#include <algorithm>
#include <cstring>

namespace {

const char kInvalidIcon[] = "The file holds no valid icon";
constexpr qint64 kMaxIconFileBytes = 64 << 20;
// Metafiles from drawing programs rarely pass a few megabytes.
constexpr qint64 kMaxMetafileBytes = 256 << 20;

// True when the file holds an image header at `offset` (a bitmap info header
// or a PNG header) whose sides are those of an icon, at most 256: Qt's reader
// would otherwise allocate whatever a damaged header asks for.
bool imageHeaderFits(QByteArrayView ico, quint32 offset)
{
    if (offset > quint64(ico.size()) || ico.size() - offset < 24)
        return false;
    const auto* h = reinterpret_cast<const uchar*>(ico.data()) + offset;
    if (std::memcmp(h, "\x89PNG", 4) == 0) {
        const quint32 w = qv::be32(h + 16), ht = qv::be32(h + 20);
        return w >= 1 && w <= 256 && ht >= 1 && ht <= 256;
    }
    // The bitmap's height counts the colour rows and the mask rows.
    const qint32 w = qint32(qv::le32(h + 4)), ht = qint32(qv::le32(h + 8));
    return qv::le32(h) == 40 && w >= 1 && w <= 256 && ht >= 1 && ht <= 512;
}

// The directory entry to show: 32 x 32 first (the standard icon size), else
// the largest; between equals, the most bits per pixel.
int chooseIcon(QByteArrayView ico)
{
    const auto* d = reinterpret_cast<const uchar*>(ico.data());
    if (ico.size() < 6)
        return -1;
    const int count = qv::le16(d + 4);
    int best = -1;
    long bestScore = -1;
    for (int i = 0; i < count && 6 + 16 * qsizetype(i + 1) <= ico.size(); ++i) {
        const uchar* e = d + 6 + 16 * i;
        const quint32 offset = qv::le32(e + 12);
        if (!imageHeaderFits(ico, offset))
            continue;
        const int w = e[0] ? e[0] : 256, h = e[1] ? e[1] : 256;
        int depth = qv::le16(e + 6);
        if (depth == 0)
            depth = e[2] == 2 ? 1 : e[2] == 16 ? 4 : 8;
        const long score = (w == 32 && h == 32 ? 1L << 40 : 0) + (long(w) * h << 8) + std::min(depth, 255);
        if (score > bestScore) {
            bestScore = score;
            best = i;
        }
    }
    return best;
}

} // namespace

QImage IconToBitmap(QByteArrayView ico)
{
    const int index = chooseIcon(ico);
    if (index < 0)
        throw EInvalidGraphic(QString::fromLatin1(kInvalidIcon));
    QByteArray bytes = ico.toByteArray();
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "ico");
    reader.setAutoDetectImageFormat(false);
    if (index > 0 && !reader.jumpToImage(index))
        throw EInvalidGraphic(QString::fromLatin1(kInvalidIcon));
    const QImage icon = reader.read();
    if (icon.isNull())
        throw EInvalidGraphic(QString::fromLatin1(kInvalidIcon));

    // Transparent parts show the bitmap's first content: white.
    QImage bitmap(icon.size(), QImage::Format_RGB32);
    bitmap.fill(Qt::white);
    QPainter painter(&bitmap);
    painter.drawImage(0, 0, icon);
    painter.end();
    return bitmap;
}

QImage MetafileToBitmap(QByteArrayView bytes)
{
    return RenderMetafile(bytes, [](QByteArrayView dib) { return DibToImage(dib); });
}

void TAnymap::LoadFromFile(const QString& fileName)
{
    const QString key = PictureExtensionKey(fileName);
    if (key == QLatin1String("tif")) {
        TTifmap tif;
        tif.LoadFromFile(fileName);
        setBitmap(tif.Bitmap(), tif.BitsPerPixel());
    } else if (key == QLatin1String("cdr")) {
        TCdrMap cdr;
        cdr.LoadFromFile(fileName);
        setBitmap(cdr.Bitmap(), cdr.BitsPerPixel());
    } else if (key == QLatin1String("ico")) {
        QFile file;
        if (!qv::openPictureFile(file, fileName))
            throw EInvalidGraphic(QString("Cannot open %1").arg(fileName));
        // Real icon files are a few hundred kilobytes at most.
        if (file.size() > kMaxIconFileBytes)
            throw EInvalidGraphic(QString::fromLatin1(kInvalidIcon));
        setBitmap(IconToBitmap(file.readAll()), 0);
    } else if (key == QLatin1String("wmf") || key == QLatin1String("emf")) {
        QFile file;
        if (!qv::openPictureFile(file, fileName))
            throw EMetafile(QString("Cannot open %1").arg(fileName));
        if (file.size() > kMaxMetafileBytes)
            throw EMetafile(QStringLiteral("The metafile is too large"));
        setBitmap(MetafileToBitmap(file.readAll()), 0);
    }
}

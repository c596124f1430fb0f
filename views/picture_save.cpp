// Saving a picture by its file name's extension.
#include "views/picture_save.h"

#include "formats/gif_image.h"

#include <QFileInfo>
#include <QImageWriter>
#include <QSaveFile>

namespace {

QString suffixOf(const QString& fileName) { return QFileInfo(fileName).suffix().toLower(); }

} // namespace

SaveTarget saveTargetFor(const QString& fileName)
{
    const QString ext = suffixOf(fileName);
    if (ext == QLatin1String("bmp"))
        return {SaveFormat::Bitmap, fileName};
    if (ext == QLatin1String("gif"))
        return {SaveFormat::Gif, fileName};
    if (ext == QLatin1String("jpg") || ext == QLatin1String("jpeg"))
        return {SaveFormat::Jpeg, fileName};
    const QFileInfo info(fileName);
    QString base = fileName;
    if (!info.suffix().isEmpty())
        base.chop(info.suffix().size() + 1);
    return {SaveFormat::Bitmap, base + QLatin1String(".bmp")};
}

int saveFilterIndex(const QString& path)
{
    const QString ext = suffixOf(path);
    return ext == QLatin1String("gif") ? 1 : ext == QLatin1String("bmp") ? 2 : 0;
}

void writeBitmapFile(const QImage& picture, const QString& fileName)
{
    QSaveFile out(fileName);
    if (!out.open(QIODevice::WriteOnly))
        throw EPictureSave(QStringLiteral("%1: %2").arg(fileName, out.errorString()));
    QImageWriter writer(&out, "bmp");
    if (!writer.write(picture)) {
        out.cancelWriting();
        throw EPictureSave(QStringLiteral("%1: %2").arg(fileName, writer.errorString()));
    }
    if (!out.commit())
        throw EPictureSave(QStringLiteral("%1: %2").arg(fileName, out.errorString()));
}

void writePicture(const QImage& picture, const SaveTarget& target, const JpegOptions& jpeg)
{
    switch (target.format) {
    case SaveFormat::Bitmap: writeBitmapFile(picture, target.fileName); return;
    case SaveFormat::Gif: SaveGifPicture(picture, target.fileName); return;
    case SaveFormat::Jpeg: saveJpegPicture(picture, target.fileName, jpeg); return;
    }
}

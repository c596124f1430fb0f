// Thumbnail geometry and item texts.
#include "catalogue/thumbnail_geometry.h"

#include <cmath>

namespace thumbs {

int thumbSize(int sizeCode)
{
    switch (sizeCode) {
    case 1: return 60;
    case 3: return 120;
    default: return 90;
    }
}

int boxSize(int sizeCode) { return thumbSize(sizeCode) - 2; }

FitRect fitRect(int width, int height, int box)
{
    // The picture fills the box along its longer side; small pictures grow too.
    if (width <= 0 || height <= 0)
        return {1, 1, box, box};
    const double a = double(box) / width;
    const double b = double(box) / height;
    if (a > b) {
        const int w = int(std::trunc(width * b));
        const int left = (box - w) / 2;
        return {left, 1, left + w, box};
    }
    const int h = int(std::trunc(height * a));
    const int top = (box - h) / 2;
    return {1, top, box, top + h};
}

qint64 kilobytes(qint64 bytes) { return bytes / 1024 + 1; }

QString upperAscii(const QString& s)
{
    QString out = s;
    for (QChar& c : out)
        if (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
            c = QChar(c.unicode() - 32);
    return out;
}

QString caption(const QString& fileName, const QString& sizeText, qint64 bytes)
{
    return upperAscii(fileName) + QLatin1Char('\r') + sizeText + QLatin1Char(' ')
        + QString::number(kilobytes(bytes)) + QLatin1String("Kb");
}

QString formatText(const QString& extension, bool italian)
{
    return (italian ? QStringLiteral("File di tipo ") : QStringLiteral("File format ")) + extension.toLower();
}

QString countText(const QString& count, bool italian)
{
    return italian ? QStringLiteral("La lista contiene %1 immagini").arg(count)
                   : QStringLiteral("There are %1 pictures in the list").arg(count);
}

QString extensionKey(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    if (dot < 0 || dot < slash)
        return {};
    return path.mid(dot + 1).toLower();
}

QString sizeText(QSize size) { return QStringLiteral("%1x%2").arg(size.width()).arg(size.height()); }

QString fileNameOf(const QString& path) { return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1); }

QString withSlash(const QString& folder)
{
    return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

bool directlyInside(const QString& path, const QString& dir)
{
    return path.size() > dir.size() && path.startsWith(dir) && path.indexOf(QLatin1Char('/'), dir.size()) < 0;
}

} // namespace thumbs

// The numbers of a thumbnail: box sizes, the fitted rectangle and the texts of
// a list item. Plain functions so they can be checked without a window.
#pragma once
#include <QRect>
#include <QSize>
#include <QString>

namespace thumbs {

// Thumbnail side for Dimensione 1, 2, 3 (60, 90, 120); any other value: 90.
int thumbSize(int sizeCode);
// The box the picture is fitted into: the side minus 2 (58, 88, 118).
int boxSize(int sizeCode);

// Where a W x H picture is drawn in an M-pixel box: left, top, right and
// bottom with right and bottom exclusive, as a QRect of that extent.
struct FitRect {
    int left, top, right, bottom;
};
FitRect fitRect(int width, int height, int box);

// The two-line caption: upper-cased file name, CR, pixel-size text, blank and Kb.
QString caption(const QString& fileName, const QString& sizeText, qint64 bytes);
// trunc(bytes / 1024 + 1): 0..1023 bytes show 1Kb, 1024 shows 2Kb.
qint64 kilobytes(qint64 bytes);
// "File di tipo jpeg" / "File format jpeg".
QString formatText(const QString& extension, bool italian);
// The status bar's count of the list's items, the count given as digits.
QString countText(const QString& count, bool italian);
// Upper-cases the letters a to z only, as the list's captions do.
QString upperAscii(const QString& s);
// The extension of a path (after the last dot of the file name), lower-cased.
QString extensionKey(const QString& path);

// The pixel-size text of a list item: "640x480".
QString sizeText(QSize size);
// The name after the last separator of a path.
QString fileNameOf(const QString& path);
// A folder with one trailing separator, ready for a name.
QString withSlash(const QString& folder);
// A file directly inside the folder `dir` (which ends with a separator): a
// sibling folder whose name starts the same, or a subfolder, is not it.
bool directlyInside(const QString& path, const QString& dir);

} // namespace thumbs

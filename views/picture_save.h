// Saving a viewer's picture by the file name's extension: Windows bitmap,
// GIF through the GIF writer, JPEG through the JPEG adapter.
#pragma once
#include "formats/jpeg_options.h"
#include "platform/errors.h"

#include <QImage>
#include <QString>

// A bitmap that could not be written.
QV_DECLARE_ERROR(EPictureSave);

enum class SaveFormat { Bitmap, Gif, Jpeg };

struct SaveTarget {
    SaveFormat format;
    QString fileName; // as given, or with ".bmp" in place of an unknown extension
};

// By the extension, compared without regard to case: bmp, gif, jpg or jpeg;
// anything else is a bitmap under the same name with the extension ".bmp".
SaveTarget saveTargetFor(const QString& fileName);

// The save dialog's filter for a path: 0 Jpeg, 1 Gif, 2 Bitmap (jpg, gif,
// bmp in lower case; anything else Jpeg).
int saveFilterIndex(const QString& path);
inline constexpr char kSaveDialogFilter[] = "Jpeg (*.jpg);;Gif (*.gif);;Bitmap (*.bmp)";

// Writes a Windows bitmap beside the target and renames it over the old file
// only when complete. Throws EPictureSave.
void writeBitmapFile(const QImage& picture, const QString& fileName);

// Writes the picture in the target's format. GIF throws EGifConversionError
// (more than 256 colours) or the GIF module's write errors, JPEG throws
// EJPEG, the bitmap EPictureSave; a failure leaves the old file as it was.
void writePicture(const QImage& picture, const SaveTarget& target, const JpegOptions& jpeg);

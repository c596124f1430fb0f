// Loading a picture file by its extension: the one way from a file on disk to
// the picture a window shows, and the test of which files are pictures.
#pragma once
#include "formats/jpeg_options.h"
#include "formats/picture.h"
#include "platform/errors.h"

#include <QString>

// Raised by LoadPictureFile with one of the two texts below.
QV_DECLARE_ERROR(EPictureLoad);

// Unknown extension, and any failure of the packed-bitmap formats.
inline constexpr char kPictureUnsupportedText[] = "Errore: formato non supportato";
// Any failure of the other readers.
inline constexpr char kPictureReadErrorText[] = "Errore nella lettura del file";

// The extension key: the text after the last dot of the file name (not of a
// folder in its path), lower-cased; empty when the name has no dot.
QString PictureExtensionKey(const QString& fileName);

// True for the keys of the picture formats the program knows (exact,
// case-sensitive: pass a key from PictureExtensionKey).
bool IsPictureExtension(const QString& key);

// Loads the file into `picture`, choosing the reader by the extension key
// alone; JPEG files are decoded with `jpeg` (the windows pass the user's
// options from the settings). Throws EPictureLoad; on failure `picture` is
// left unchanged.
void LoadPictureFile(const QString& fileName, TPicture& picture, const JpegOptions& jpeg = JpegOptions());
TPicture LoadPictureFile(const QString& fileName, const JpegOptions& jpeg = JpegOptions());

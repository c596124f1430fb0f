// Writing a picture by the output file's extension (bmp, png, gif, jpg,
// jpeg), for every command that writes pictures.
#pragma once
#include "formats/picture.h"

#include <QString>

// True when the extension has a writer; otherwise prints why not.
bool canWritePicture(const QString& fileName);
// Writes beside the target and renames over it only when complete; prints
// the error and returns the exit status.
int writePictureFile(const TPicture& picture, const QString& fileName);
// Loads a picture by its extension; prints the error and returns false when it cannot.
bool loadPictureForTool(const QString& fileName, TPicture& picture);

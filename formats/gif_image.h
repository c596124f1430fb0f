// GIF pictures in one call: the first image of a file as an indexed QImage,
// and a QImage saved as a one-image GIF 87a file.
#pragma once
#include <QByteArray>
#include <QImage>
#include <QString>

// The first image of GIF data / a GIF file: 8-bit indexed, 256 table entries
// from the image's own table or else the global one. Throws the module's
// errors (EGifException, EGifFileError, EIndexOutOfBounds, EByteArrayError).
QImage DecodeGifPicture(const QByteArray& data);
QImage LoadGifPicture(const QString& fileName);

// Reduces the picture to at most 256 colours and writes it as the one image
// of a new GIF file; the old file is replaced only by a complete new one.
// A picture of more than 256 colours throws EGifConversionError (nothing is
// written); write failures throw EGifFileError.
void SaveGifPicture(const QImage& picture, const QString& fileName);
QByteArray EncodeGifPicture(const QImage& picture);

// The picture edits: flips, quarter and half turns, lighten, darken and grey.
// Whole-image loops over scan lines on 24-bit pictures; no window needed.
#pragma once
#include <QImage>
#include <QString>
#include <optional>

// The picture as 24 bits per pixel (any depth in, colour table resolved).
void toWorkBitmap(const QImage& picture, QImage& work);

// Mirror left-right / top-bottom, in place (the picture becomes 24-bit).
void FlipHorizontal(QImage& picture);
void FlipVertical(QImage& picture);

// Clockwise and counter-clockwise quarter turns and the half turn; the
// result is a new 24-bit picture. Tiled so that reads and writes both stay
// within a few cache lines.
QImage RotateRight(const QImage& picture);
QImage RotateLeft(const QImage& picture);
QImage Rotate180(const QImage& picture);

// Each channel plus / minus amount, clamped to 0..255; grey is
// (30 red + 59 green + 11 blue) div 100 in all three channels. The argument
// is a 24-bit work bitmap (others are brought to 24 bits first).
QImage LightenBitmap(const QImage& work, int amount);
QImage DarkenBitmap(const QImage& work, int amount);
QImage GreyBitmap(const QImage& work);

// The eight edits by name, for the tool and the window's buttons.
enum class PictureEdit { FlipH, FlipV, RotateRight, RotateLeft, Rotate180, Lighten, Darken, Grey };

// "flip-h", "flip-v", "rotate-right", "rotate-left", "rotate-180", "lighten",
// "darken", "grey"; nothing for any other text.
std::optional<PictureEdit> pictureEditByName(const QString& name);
QString pictureEditNames(); // the names above, comma-separated

// The edit applied to a picture (the amount of lighten and darken is 5);
// `work` is the 24-bit surface the channel edits copy the picture into.
QImage applyPictureEdit(const QImage& picture, PictureEdit edit, QImage& work);

// True for the two quarter turns, which swap the picture's width and height.
constexpr bool swapsSides(PictureEdit edit)
{
    return edit == PictureEdit::RotateRight || edit == PictureEdit::RotateLeft;
}

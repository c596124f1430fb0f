// Turns a packed device-independent bitmap (info header, colour table, rows)
// into a QImage, decoding the 4- and 8-bit run-length encodings on the way.
#pragma once
#include <QByteArrayView>
#include <QImage>

class PackedBitmap;

// Indexed (Mono for 1 bit, Indexed8 for 4 and 8 bits) with the block's colour
// table, RGB32 for 16, 24 and 32 bits. A null image when the block is null,
// malformed, of a layout it does not know, or too large for the picture limits.
// Runs and deltas that leave the picture stop there; pixels the runs do not
// reach are black, uncompressed rows the data lacks stay at index 0 (or black).
QImage DibToImage(QByteArrayView block);
QImage DibToImage(const PackedBitmap* block);

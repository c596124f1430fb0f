// The picture edits on 24-bit scan lines.
#include "processing/image_edits.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>
#include <QStringList>

namespace {

constexpr QImage::Format kWorkFormat = QImage::Format_RGB888; // 3 bytes a pixel: red, green, blue
constexpr int kTile = 64; // pixels a side: 64 source rows of 192 bytes (12 KB) stay in the first-level cache

QImage as24(const QImage& picture)
{
    return picture.format() == kWorkFormat ? picture : picture.convertToFormat(kWorkFormat);
}

inline void copyPixel(uchar* to, const uchar* from)
{
    to[0] = from[0];
    to[1] = from[1];
    to[2] = from[2];
}

// A quarter turn walked tile by tile: destination row r, column c takes the
// source pixel at first(r) + c * step, so each source row of a tile is read
// while it is still in the cache.
template <class FirstOf>
QImage rotateTiled(const QImage& src, int outW, int outH, FirstOf first, qsizetype step)
{
    QImage dst(outW, outH, kWorkFormat);
    if (dst.isNull())
        return dst;
    for (int r0 = 0; r0 < outH; r0 += kTile) {
        const int r1 = std::min(outH, r0 + kTile);
        for (int c0 = 0; c0 < outW; c0 += kTile) {
            const int c1 = std::min(outW, c0 + kTile);
            for (int r = r0; r < r1; ++r) {
                uchar* d = dst.scanLine(r) + 3 * qsizetype(c0);
                const uchar* s = first(r) + qsizetype(c0) * step;
                for (int c = c0; c < c1; ++c, d += 3, s += step)
                    copyPixel(d, s);
            }
        }
    }
    return dst;
}

using Table = std::array<uchar, 256>;

QImage mapChannels(const QImage& work, const Table& table)
{
    const QImage src = as24(work);
    QImage out(src.size(), kWorkFormat);
    if (out.isNull())
        return out;
    const qsizetype rowBytes = 3 * qsizetype(src.width());
    for (int y = 0; y < src.height(); ++y) {
        const uchar* in = src.constScanLine(y);
        uchar* o = out.scanLine(y);
        for (qsizetype i = 0; i < rowBytes; ++i)
            o[i] = table[in[i]];
    }
    return out;
}

} // namespace

void toWorkBitmap(const QImage& picture, QImage& work)
{
    work = as24(picture); // a 24-bit picture is shared, not copied
}

void FlipHorizontal(QImage& picture)
{
    picture = as24(picture);
    const int w = picture.width();
    for (int y = 0; y < picture.height(); ++y) {
        uchar* left = picture.scanLine(y);
        uchar* right = left + 3 * qsizetype(w - 1);
        for (; left < right; left += 3, right -= 3) {
            std::swap(left[0], right[0]);
            std::swap(left[1], right[1]);
            std::swap(left[2], right[2]);
        }
    }
}

void FlipVertical(QImage& picture)
{
    picture = as24(picture);
    const qsizetype rowBytes = 3 * qsizetype(picture.width());
    std::vector<uchar> row(size_t(std::max<qsizetype>(rowBytes, 1)));
    for (int top = 0, bottom = picture.height() - 1; top < bottom; ++top, --bottom) {
        uchar* a = picture.scanLine(top);
        uchar* b = picture.scanLine(bottom);
        std::memcpy(row.data(), a, size_t(rowBytes));
        std::memcpy(a, b, size_t(rowBytes));
        std::memcpy(b, row.data(), size_t(rowBytes));
    }
}

QImage RotateRight(const QImage& picture)
{
    const QImage src = as24(picture);
    const int w = src.width(), h = src.height();
    const uchar* bits = src.constBits();
    const qsizetype stride = src.bytesPerLine();
    // The new pixel (h-1-y, x) is the old (x, y): new row r walks old column r upwards.
    return rotateTiled(
        src, h, w, [=](int r) { return bits + qsizetype(h - 1) * stride + 3 * qsizetype(r); }, -stride);
}

QImage RotateLeft(const QImage& picture)
{
    const QImage src = as24(picture);
    const int w = src.width(), h = src.height();
    const uchar* bits = src.constBits();
    const qsizetype stride = src.bytesPerLine();
    // The new pixel (y, w-1-x) is the old (x, y): new row r walks old column w-1-r downwards.
    return rotateTiled(src, h, w, [=](int r) { return bits + 3 * qsizetype(w - 1 - r); }, stride);
}

QImage Rotate180(const QImage& picture)
{
    const QImage src = as24(picture);
    const int w = src.width(), h = src.height();
    QImage dst(w, h, kWorkFormat);
    if (dst.isNull())
        return dst;
    for (int y = 0; y < h; ++y) {
        const uchar* s = src.constScanLine(y) + 3 * qsizetype(w - 1);
        uchar* d = dst.scanLine(h - 1 - y);
        for (int x = 0; x < w; ++x, s -= 3, d += 3)
            copyPixel(d, s);
    }
    return dst;
}

QImage LightenBitmap(const QImage& work, int amount)
{
    Table t;
    for (int v = 0; v < 256; ++v)
        t[size_t(v)] = uchar(std::clamp(v + amount, 0, 255));
    return mapChannels(work, t);
}

QImage DarkenBitmap(const QImage& work, int amount)
{
    Table t;
    for (int v = 0; v < 256; ++v)
        t[size_t(v)] = uchar(std::clamp(v - amount, 0, 255));
    return mapChannels(work, t);
}

QImage GreyBitmap(const QImage& work)
{
    const QImage src = as24(work);
    QImage out(src.size(), kWorkFormat);
    if (out.isNull())
        return out;
    for (int y = 0; y < src.height(); ++y) {
        const uchar* in = src.constScanLine(y);
        uchar* o = out.scanLine(y);
        for (int x = 0; x < src.width(); ++x, in += 3, o += 3) {
            const unsigned sum = 30u * in[0] + 59u * in[1] + 11u * in[2];
            const uchar g = uchar(sum / 100u);
            o[0] = o[1] = o[2] = g;
        }
    }
    return out;
}

namespace {

struct EditName {
    const char* name;
    PictureEdit edit;
};

constexpr EditName kEditNames[] = {
    {"flip-h", PictureEdit::FlipH},           {"flip-v", PictureEdit::FlipV},
    {"rotate-right", PictureEdit::RotateRight}, {"rotate-left", PictureEdit::RotateLeft},
    {"rotate-180", PictureEdit::Rotate180},   {"lighten", PictureEdit::Lighten},
    {"darken", PictureEdit::Darken},          {"grey", PictureEdit::Grey},
};

constexpr int kStep = 5; // what one lighten or darken adds or takes

} // namespace

std::optional<PictureEdit> pictureEditByName(const QString& name)
{
    for (const EditName& e : kEditNames)
        if (name == QLatin1String(e.name))
            return e.edit;
    return std::nullopt;
}

QString pictureEditNames()
{
    QStringList names;
    for (const EditName& e : kEditNames)
        names << QString::fromLatin1(e.name);
    return names.join(QStringLiteral(", "));
}

QImage applyPictureEdit(const QImage& picture, PictureEdit edit, QImage& work)
{
    QImage out;
    switch (edit) {
    case PictureEdit::FlipH:
        out = picture;
        FlipHorizontal(out);
        return out;
    case PictureEdit::FlipV:
        out = picture;
        FlipVertical(out);
        return out;
    case PictureEdit::RotateRight: return RotateRight(picture);
    case PictureEdit::RotateLeft: return RotateLeft(picture);
    case PictureEdit::Rotate180: return Rotate180(picture);
    case PictureEdit::Lighten:
    case PictureEdit::Darken:
    case PictureEdit::Grey:
        toWorkBitmap(picture, work);
        out = edit == PictureEdit::Lighten ? LightenBitmap(work, kStep)
            : edit == PictureEdit::Darken  ? DarkenBitmap(work, kStep)
                                           : GreyBitmap(work);
        if (!work.isDetached())
            work = QImage(); // it only shared the picture: keep no old picture alive
        return out;
    }
    return picture;
}

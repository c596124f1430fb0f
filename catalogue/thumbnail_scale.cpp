// Box-filter reduction of pictures to thumbnails.
#include "catalogue/thumbnail_scale.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

namespace thumbs {

namespace {

// Source pixel i covers [i*n, (i+1)*n) and output pixel o covers
// [o*N, (o+1)*N) on a line of N source and n output pixels, so every
// weight is a whole number and the weights of one output pixel add up to N.
struct Cover {
    int first, last;  // source pixels touched
    int wFirst, wLast; // their weights; the ones between weigh n
};

std::vector<Cover> covers(int N, int n)
{
    std::vector<Cover> out(static_cast<std::size_t>(n));
    for (int o = 0; o < n; ++o) {
        const std::int64_t lo = std::int64_t(o) * N, hi = lo + N;
        Cover& c = out[std::size_t(o)];
        c.first = int(lo / n);
        c.last = int((hi - 1) / n);
        if (c.first == c.last) {
            c.wFirst = N;
            c.wLast = 0;
        } else {
            c.wFirst = int((std::int64_t(c.first) + 1) * n - lo);
            c.wLast = int(hi - std::int64_t(c.last) * n);
        }
    }
    return out;
}

// Source rows are added into their output row byte by byte, each with its
// weight (contiguous bytes, which the compiler vectorises); a source row on
// the border of two output rows goes into both. A finished output row is then
// reduced across. `rowAt(y)` gives the bytes of source row y in the layout
// Bpp, R, G, B. A column sum is at most 255 * H; sums across use 64 bits.
template <int Bpp, int R, int G, int B, bool SmallWeights, typename RowAt>
QImage shrinkRows(int W, int H, int w, int h, RowAt rowAt)
{
    QImage out(w, h, QImage::Format_RGB32);
    if (out.isNull())
        return out;
    const std::vector<Cover> cov = covers(W, w);
    const std::size_t n = std::size_t(W) * Bpp;
    std::vector<std::uint32_t> sums(2 * n, 0);
    std::uint32_t* cur = sums.data();
    std::uint32_t* next = cur + n;
    const std::uint64_t total = std::uint64_t(W) * std::uint64_t(H);
    // (sum + total / 2) / total, rounded to nearest, as a multiplication by
    // a 64-bit reciprocal: exact while total <= 2^28, since every sum is below
    // 256 * total and the reciprocal errs by less than 2^-64.
    // (A total of 1 would need 2^64 itself.)
    const bool reciprocal = total >= 2 && total <= (std::uint64_t(1) << 28);
    const std::uint64_t m = reciprocal ? ~std::uint64_t(0) / total + 1 : 0;
    auto divide = [&](std::uint64_t sum) {
        const std::uint64_t biased = sum + total / 2;
        if (reciprocal)
            return int(std::uint64_t((static_cast<unsigned __int128>(biased) * m) >> 64));
        return int(biased / total);
    };
    auto add = [n](std::uint32_t* a, const uchar* row, std::uint32_t weight) {
        if constexpr (SmallWeights) {
            // A byte times a weight of at most 257 fits 16 bits, which plain
            // SSE2 multiplies eight at a time.
            const std::uint16_t wt = std::uint16_t(weight);
            for (std::size_t i = 0; i < n; ++i)
                a[i] += std::uint16_t(row[i] * wt);
        } else {
            for (std::size_t i = 0; i < n; ++i)
                a[i] += row[i] * weight;
        }
    };
    int oy = 0;
    for (int y = 0; y < H && oy < h; ++y) {
        const uchar* row = rowAt(y);
        const std::int64_t lo = std::int64_t(y) * h, hi = lo + h;
        const std::int64_t end = (std::int64_t(oy) + 1) * H; // where output row oy ends
        add(cur, row, std::uint32_t(std::min(hi, end) - lo));
        if (hi > end)
            add(next, row, std::uint32_t(hi - end));
        if (hi < end)
            continue;
        QRgb* dst = reinterpret_cast<QRgb*>(out.scanLine(oy));
        for (int x = 0; x < w; ++x) {
            const Cover& c = cov[std::size_t(x)];
            const std::uint32_t* p = cur + std::size_t(c.first) * Bpp;
            std::uint64_t r = std::uint64_t(p[R]) * c.wFirst, g = std::uint64_t(p[G]) * c.wFirst,
                          b = std::uint64_t(p[B]) * c.wFirst;
            if (c.last > c.first) {
                std::uint64_t mr = 0, mg = 0, mb = 0;
                for (int sx = c.first + 1; sx < c.last; ++sx) {
                    const std::uint32_t* q = cur + std::size_t(sx) * Bpp;
                    mr += q[R];
                    mg += q[G];
                    mb += q[B];
                }
                const std::uint32_t* q = cur + std::size_t(c.last) * Bpp;
                r += mr * std::uint64_t(w) + std::uint64_t(q[R]) * c.wLast;
                g += mg * std::uint64_t(w) + std::uint64_t(q[G]) * c.wLast;
                b += mb * std::uint64_t(w) + std::uint64_t(q[B]) * c.wLast;
            }
            dst[x] = qRgb(divide(r), divide(g), divide(b));
        }
        std::swap(cur, next);
        std::fill(next, next + n, 0u);
        ++oy;
    }
    return out;
}

template <int Bpp, int R, int G, int B, typename RowAt>
QImage shrink(int W, int H, int w, int h, RowAt rowAt)
{
    if (h <= 257)
        return shrinkRows<Bpp, R, G, B, true>(W, H, w, h, rowAt);
    return shrinkRows<Bpp, R, G, B, false>(W, H, w, h, rowAt);
}

template <int Bpp, int R, int G, int B>
QImage shrinkImage(const QImage& src, int w, int h)
{
    return shrink<Bpp, R, G, B>(src.width(), src.height(), w, h, [&](int y) { return src.constScanLine(y); });
}

} // namespace

QImage shrinkBox(const QImage& picture, int w, int h)
{
    if (picture.isNull() || w <= 0 || h <= 0 || w > picture.width() || h > picture.height())
        return {};
    switch (picture.format()) {
    case QImage::Format_RGB888:
        return shrinkImage<3, 0, 1, 2>(picture, w, h);
    case QImage::Format_BGR888:
        return shrinkImage<3, 2, 1, 0>(picture, w, h);
    case QImage::Format_Grayscale8:
        return shrinkImage<1, 0, 0, 0>(picture, w, h);
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
        // 0xAARRGGBB words: blue first in memory on little-endian machines.
        if constexpr (Q_BYTE_ORDER == Q_LITTLE_ENDIAN)
            return shrinkImage<4, 2, 1, 0>(picture, w, h);
        else
            return shrinkImage<4, 1, 2, 3>(picture, w, h);
    case QImage::Format_Indexed8: {
        // Through the colour table one row at a time, never a whole copy.
        std::array<QRgb, 256> table;
        table.fill(qRgb(0, 0, 0)); // an index past the colour table reads black
        const QVector<QRgb> colours = picture.colorTable();
        std::copy_n(colours.cbegin(), std::min<qsizetype>(colours.size(), 256), table.begin());
        std::vector<QRgb> line(std::size_t(picture.width()));
        const int width = picture.width();
        auto rowAt = [&](int y) {
            const uchar* s = picture.constScanLine(y);
            QRgb* d = line.data();
            for (int x = 0; x < width; ++x)
                d[x] = table[s[x]];
            return reinterpret_cast<const uchar*>(d);
        };
        if constexpr (Q_BYTE_ORDER == Q_LITTLE_ENDIAN)
            return shrink<4, 2, 1, 0>(picture.width(), picture.height(), w, h, rowAt);
        else
            return shrink<4, 1, 2, 3>(picture.width(), picture.height(), w, h, rowAt);
    }
    default:
        return shrinkBox(picture.convertToFormat(QImage::Format_RGB32), w, h);
    }
}

QImage scaleForThumbnail(const QImage& picture, int w, int h)
{
    if (picture.size() == QSize(w, h))
        return picture;
    if (!picture.hasAlphaChannel() && w <= picture.width() && h <= picture.height()) {
        QImage out = shrinkBox(picture, w, h);
        if (!out.isNull())
            return out;
    }
    if (picture.format() == QImage::Format_Indexed8 && picture.colorCount() < 256) {
        // Qt looks every index up unchecked: a pixel past a short colour table
        // reads black here too, as in the box filter, instead of past the table.
        QImage padded = picture;
        QVector<QRgb> table = padded.colorTable();
        table.resize(256, qRgb(0, 0, 0));
        padded.setColorTable(table);
        return padded.scaled(w, h, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    return picture.scaled(w, h, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

} // namespace thumbs

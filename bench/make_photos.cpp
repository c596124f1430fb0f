// Makes folders of test pictures for the thumbnail benchmark: camera-like JPEG
// photographs, or many small pictures of mixed formats (JPEG, BMP, GIF, PCX, TGA).
#include "formats/gif_image.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QSaveFile>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

#include <jpeglib.h>

namespace {

// splitmix64: a good stream of bits from any seed.
struct Rng {
    std::uint64_t s;
    explicit Rng(std::uint64_t seed) : s(seed * 0x9E3779B97F4A7C15ull + 0x632BE59BD9B4E019ull) {}
    std::uint64_t next()
    {
        std::uint64_t z = (s += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    int range(int lo, int hi) { return lo + int(next() % std::uint64_t(hi - lo + 1)); }
};

// One octave of value noise: random values on a grid of `cell` pixels,
// interpolated bilinearly, in -1024..1024. Rows are asked for in order.
class Octave {
public:
    Octave(int width, int height, int cell, Rng& rng) : m_cell(std::max(1, cell))
    {
        m_gw = width / m_cell + 2;
        m_gh = height / m_cell + 2;
        m_grid.resize(std::size_t(m_gw) * m_gh);
        for (auto& v : m_grid)
            v = std::int16_t(int(rng.next() % 2049) - 1024);
        m_xi.resize(std::size_t(width));
        m_xw.resize(std::size_t(width));
        for (int x = 0; x < width; ++x) {
            m_xi[std::size_t(x)] = x / m_cell;
            m_xw[std::size_t(x)] = (x % m_cell) * 256 / m_cell;
        }
        m_line.resize(std::size_t(m_gw));
    }

    void prepareRow(int y)
    {
        const int gy = y / m_cell, wy = (y % m_cell) * 256 / m_cell;
        const std::int16_t* a = &m_grid[std::size_t(gy) * m_gw];
        const std::int16_t* b = a + m_gw;
        for (int gx = 0; gx < m_gw; ++gx)
            m_line[std::size_t(gx)] = a[gx] * (256 - wy) + b[gx] * wy;
    }

    int at(int x) const
    {
        const int i = m_xi[std::size_t(x)], w = m_xw[std::size_t(x)];
        return (m_line[std::size_t(i)] * (256 - w) + m_line[std::size_t(i) + 1] * w) >> 16;
    }

private:
    int m_cell, m_gw, m_gh;
    std::vector<std::int16_t> m_grid;
    std::vector<int> m_xi, m_xw;
    std::vector<std::int32_t> m_line;
};

// A region of the scene: a colour lit by a gradient, textured, tinted.
struct Region {
    int r, g, b;
    int gradX, gradY;  // change across the whole picture
    int texture;       // amplitude of the fine octaves
    int broad;         // amplitude of the coarse octaves
    int tr, tg, tb;    // how the texture shows in each channel (of 256)
    bool windows = false;
    int periodX = 0, periodY = 0, winX = 0, winY = 0;
};

struct Shape {
    bool ellipse;
    int x0, y0, x1, y1; // bounds, exclusive right and bottom
    int region;
};

Region randomRegion(Rng& rng, int textureLo, int textureHi)
{
    Region r{};
    r.r = rng.range(20, 230);
    r.g = rng.range(20, 230);
    r.b = rng.range(20, 230);
    r.gradX = rng.range(-60, 60);
    r.gradY = rng.range(-60, 60);
    r.texture = rng.range(textureLo, textureHi);
    r.broad = rng.range(5, 40);
    r.tr = rng.range(180, 256);
    r.tg = rng.range(180, 256);
    r.tb = rng.range(140, 256);
    return r;
}

// A scene of sky, ground and objects with soft light, hard edges, texture and
// sensor noise, made one row at a time so a 12-megapixel picture needs no
// more memory than a row.
class PhotoSynth {
public:
    PhotoSynth(int width, int height, std::uint64_t seed, int noise)
        : m_w(width), m_h(height), m_rng(seed), m_noise(noise)
    {
        const double scale = width / 4000.0;
        auto cells = [&](double c) { return std::max(2, int(std::lround(c * scale))); };
        m_coarse.emplace_back(width, height, cells(700), m_rng);
        m_coarse.emplace_back(width, height, cells(180), m_rng);
        // Fine texture keeps pixel-sized detail at every picture size.
        m_fine.emplace_back(width, height, cells(40), m_rng);
        m_fine.emplace_back(width, height, std::max(2, cells(9)), m_rng);
        m_fine.emplace_back(width, height, 3, m_rng);
        m_fine.emplace_back(width, height, 2, m_rng);

        // Sky: smooth, little texture. Ground: strongly textured.
        Region sky = randomRegion(m_rng, 4, 12);
        sky.r = m_rng.range(90, 200);
        sky.g = m_rng.range(120, 210);
        sky.b = m_rng.range(170, 250);
        sky.gradY = m_rng.range(20, 60);
        sky.broad = m_rng.range(30, 70);
        m_regions.push_back(sky);
        Region ground = randomRegion(m_rng, 50, 100);
        ground.r = m_rng.range(60, 150);
        ground.g = m_rng.range(70, 160);
        ground.b = m_rng.range(40, 120);
        m_regions.push_back(ground);

        const int horizon = height * m_rng.range(30, 60) / 100;
        m_horizon.resize(std::size_t(width));
        const double f1 = m_rng.range(2, 6) * 6.2832 / width, f2 = m_rng.range(9, 25) * 6.2832 / width;
        const double p1 = m_rng.range(0, 628) / 100.0, p2 = m_rng.range(0, 628) / 100.0;
        for (int x = 0; x < width; ++x)
            m_horizon[std::size_t(x)] = horizon + int(height * (0.06 * std::sin(x * f1 + p1) + 0.015 * std::sin(x * f2 + p2)));

        const int shapes = m_rng.range(8, 16);
        for (int i = 0; i < shapes; ++i) {
            Region r = randomRegion(m_rng, 5, 90);
            Shape s{};
            s.ellipse = m_rng.range(0, 2) == 0;
            const int sw = width * m_rng.range(5, 35) / 100, sh = height * m_rng.range(5, 45) / 100;
            s.x0 = m_rng.range(-sw / 2, width - sw / 2);
            s.y0 = m_rng.range(height / 5, height - sh / 3);
            s.x1 = s.x0 + sw;
            s.y1 = s.y0 + sh;
            if (!s.ellipse && m_rng.range(0, 1) == 0) {
                r.windows = true;
                r.periodX = std::max(4, width * m_rng.range(8, 30) / 1000);
                r.periodY = std::max(4, height * m_rng.range(10, 40) / 1000);
                r.winX = r.periodX * m_rng.range(30, 70) / 100;
                r.winY = r.periodY * m_rng.range(30, 70) / 100;
            }
            s.region = int(m_regions.size());
            m_regions.push_back(r);
            m_shapes.push_back(s);
        }
        m_ids.resize(std::size_t(width));
    }

    // Row y as RGB triplets.
    void row(int y, unsigned char* out)
    {
        for (auto& o : m_coarse)
            o.prepareRow(y);
        for (auto& o : m_fine)
            o.prepareRow(y);
        for (int x = 0; x < m_w; ++x)
            m_ids[std::size_t(x)] = y < m_horizon[std::size_t(x)] ? 0 : 1;
        for (const Shape& s : m_shapes) {
            if (y < s.y0 || y >= s.y1)
                continue;
            int a = s.x0, b = s.x1;
            if (s.ellipse) {
                const double cy = (s.y0 + s.y1) / 2.0, ry = (s.y1 - s.y0) / 2.0, rx = (s.x1 - s.x0) / 2.0;
                const double d = (y + 0.5 - cy) / ry;
                const double half = rx * std::sqrt(std::max(0.0, 1.0 - d * d));
                a = int((s.x0 + s.x1) / 2.0 - half);
                b = int((s.x0 + s.x1) / 2.0 + half);
            }
            for (int x = std::max(0, a); x < std::min(m_w, b); ++x)
                m_ids[std::size_t(x)] = std::uint8_t(s.region);
        }
        const int sigma = m_noise * 4096 / 148; // four bytes summed: sigma 148
        for (int x = 0; x < m_w; ++x) {
            const Region& r = m_regions[m_ids[std::size_t(x)]];
            int lit = (x - m_w / 2) * r.gradX / m_w + (y - m_h / 2) * r.gradY / m_h;
            if (r.windows && (x % r.periodX) < r.winX && (y % r.periodY) < r.winY)
                lit -= 70;
            const int fine = m_fine[0].at(x) + m_fine[1].at(x) / 2 + m_fine[2].at(x) / 2 + m_fine[3].at(x) / 3;
            const int coarse = m_coarse[0].at(x) + m_coarse[1].at(x) / 2;
            const int tex = (fine * r.texture + coarse * r.broad) >> 10;
            const std::uint64_t bits = m_rng.next();
            const int sum = int(bits & 255) + int((bits >> 8) & 255) + int((bits >> 16) & 255) + int((bits >> 24) & 255);
            const int luma = ((sum - 510) * sigma) >> 12;
            const int cr = (int((bits >> 32) & 15) - 8) * m_noise / 6, cb = (int((bits >> 40) & 15) - 8) * m_noise / 6;
            out[3 * x] = clamp(r.r + lit + ((tex * r.tr) >> 8) + luma + cr);
            out[3 * x + 1] = clamp(r.g + lit + ((tex * r.tg) >> 8) + luma);
            out[3 * x + 2] = clamp(r.b + lit + ((tex * r.tb) >> 8) + luma + cb);
        }
    }

    QImage image()
    {
        QImage img(m_w, m_h, QImage::Format_RGB888);
        for (int y = 0; y < m_h; ++y)
            row(y, img.scanLine(y));
        return img;
    }

private:
    static unsigned char clamp(int v) { return (unsigned char)(v < 0 ? 0 : v > 255 ? 255 : v); }

    int m_w, m_h;
    Rng m_rng;
    int m_noise;
    std::vector<Octave> m_coarse, m_fine;
    std::vector<Region> m_regions;
    std::vector<Shape> m_shapes;
    std::vector<int> m_horizon;
    std::vector<std::uint8_t> m_ids;
};

// ---- writers -----------------------------------------------------------------------

// JPEG through libjpeg: quality 90, 4:2:0, the library's standard tables, as
// a camera writes them. Rows come from `rowAt`.
template <typename RowFn>
std::vector<unsigned char> encodeJpeg(int width, int height, int quality, RowFn rowAt)
{
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err); // the default error exit ends the program
    jpeg_create_compress(&c);
    unsigned char* mem = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &mem, &size);
    c.image_width = JDIMENSION(width);
    c.image_height = JDIMENSION(height);
    c.input_components = 3;
    c.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, quality, TRUE);
    jpeg_start_compress(&c, TRUE);
    std::vector<unsigned char> row(std::size_t(width) * 3);
    while (c.next_scanline < c.image_height) {
        rowAt(int(c.next_scanline), row.data());
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&c, &r, 1);
    }
    jpeg_finish_compress(&c);
    std::vector<unsigned char> out(mem, mem + size);
    jpeg_destroy_compress(&c);
    std::free(mem);
    return out;
}

// An Exif segment as a camera writes it (Motorola byte order here), whose
// second image directory holds `thumbnail`, put right after the SOI marker.
QByteArray withCameraThumbnail(const QByteArray& jpeg, const QByteArray& thumbnail)
{
    QByteArray t("MM\0*", 4);
    const auto be = [&t](quint32 v, int bytes) {
        for (int i = bytes - 1; i >= 0; --i)
            t.append(char(v >> (8 * i)));
    };
    be(8, 4);
    be(1, 2);                                 // first directory: the orientation only
    be(0x0112, 2), be(3, 2), be(1, 4), be(1 << 16, 4);
    be(8 + 2 + 12 + 4, 4);                    // the thumbnail's directory follows
    const quint32 at = 8 + 2 + 12 + 4 + 2 + 3 * 12 + 4;
    be(3, 2);
    be(0x0103, 2), be(3, 2), be(1, 4), be(6 << 16, 4);
    be(0x0201, 2), be(4, 2), be(1, 4), be(at, 4);
    be(0x0202, 2), be(4, 2), be(1, 4), be(quint32(thumbnail.size()), 4);
    be(0, 4);
    t += thumbnail;
    const QByteArray body = QByteArray("Exif\0\0", 6) + t;
    QByteArray app1("\xFF\xE1", 2);
    app1.append(char((body.size() + 2) >> 8)).append(char(body.size() + 2));
    return jpeg.left(2) + app1 + body + jpeg.mid(2);
}

void put16(QByteArray& b, int v)
{
    b.append(char(v & 255));
    b.append(char((v >> 8) & 255));
}

void put32(QByteArray& b, std::uint32_t v)
{
    put16(b, int(v & 0xFFFF));
    put16(b, int(v >> 16));
}

// Windows bitmap, bottom-up: 24 bits, or 8 bits with the picture's colour table.
QByteArray encodeBmp(const QImage& img)
{
    const bool indexed = img.format() == QImage::Format_Indexed8;
    const int w = img.width(), h = img.height();
    const int stride = ((indexed ? w : 3 * w) + 3) & ~3;
    const int table = indexed ? 256 * 4 : 0;
    QByteArray b;
    b.append("BM");
    put32(b, std::uint32_t(54 + table + stride * h));
    put32(b, 0);
    put32(b, std::uint32_t(54 + table));
    put32(b, 40);
    put32(b, std::uint32_t(w));
    put32(b, std::uint32_t(h));
    put16(b, 1);
    put16(b, indexed ? 8 : 24);
    put32(b, 0);
    put32(b, std::uint32_t(stride * h));
    put32(b, 2835);
    put32(b, 2835);
    put32(b, indexed ? 256 : 0);
    put32(b, 0);
    if (indexed)
        for (int i = 0; i < 256; ++i) {
            const QRgb c = i < img.colorCount() ? img.color(i) : 0;
            b.append(char(qBlue(c))).append(char(qGreen(c))).append(char(qRed(c))).append('\0');
        }
    for (int y = h - 1; y >= 0; --y) {
        const uchar* s = img.constScanLine(y);
        QByteArray line(stride, '\0');
        if (indexed) {
            std::copy(s, s + w, line.begin());
        } else {
            for (int x = 0; x < w; ++x) {
                line[3 * x] = char(s[3 * x + 2]);
                line[3 * x + 1] = char(s[3 * x + 1]);
                line[3 * x + 2] = char(s[3 * x]);
            }
        }
        b.append(line);
    }
    return b;
}

// Targa: true colour, bottom-up, plain (type 2) or run-length (type 10).
QByteArray encodeTga(const QImage& img, bool rle)
{
    const int w = img.width(), h = img.height();
    QByteArray b(12, '\0');
    b[2] = char(rle ? 10 : 2);
    put16(b, w);
    put16(b, h);
    b.append(char(24));
    b.append('\0');
    for (int y = h - 1; y >= 0; --y) {
        const uchar* s = img.constScanLine(y);
        auto same = [&](int a, int c) { return std::equal(s + 3 * a, s + 3 * a + 3, s + 3 * c); };
        auto bgr = [&](int x) { b.append(char(s[3 * x + 2])).append(char(s[3 * x + 1])).append(char(s[3 * x])); };
        if (!rle) {
            for (int x = 0; x < w; ++x)
                bgr(x);
            continue;
        }
        int x = 0;
        while (x < w) {
            int run = 1;
            while (x + run < w && run < 128 && same(x, x + run))
                ++run;
            if (run > 1) {
                b.append(char(0x80 | (run - 1)));
                bgr(x);
                x += run;
                continue;
            }
            int lit = 1;
            while (x + lit < w && lit < 128 && !(x + lit + 1 < w && same(x + lit, x + lit + 1)))
                ++lit;
            b.append(char(lit - 1));
            for (int i = 0; i < lit; ++i)
                bgr(x + i);
            x += lit;
        }
    }
    return b;
}

// PCX version 5, run-length coded: 8 bits with a 256-colour table at the end,
// or 24 bits as three planes.
QByteArray encodePcx(const QImage& img)
{
    const bool indexed = img.format() == QImage::Format_Indexed8;
    const int w = img.width(), h = img.height();
    const int bytesPerLine = (w + 1) & ~1;
    QByteArray b;
    b.append(char(10)).append(char(5)).append(char(1)).append(char(8));
    put16(b, 0);
    put16(b, 0);
    put16(b, w - 1);
    put16(b, h - 1);
    put16(b, 72);
    put16(b, 72);
    b.append(QByteArray(48, '\0'));
    b.append('\0');
    b.append(char(indexed ? 1 : 3));
    put16(b, bytesPerLine);
    put16(b, 1);
    b.append(QByteArray(58, '\0'));
    std::vector<uchar> plane(static_cast<std::size_t>(bytesPerLine));
    for (int y = 0; y < h; ++y) {
        const uchar* s = img.constScanLine(y);
        for (int p = 0; p < (indexed ? 1 : 3); ++p) {
            std::fill(plane.begin(), plane.end(), 0);
            for (int x = 0; x < w; ++x)
                plane[std::size_t(x)] = indexed ? s[x] : s[3 * x + p];
            int x = 0;
            while (x < bytesPerLine) {
                int run = 1;
                while (x + run < bytesPerLine && run < 63 && plane[std::size_t(x + run)] == plane[std::size_t(x)])
                    ++run;
                if (run > 1 || plane[std::size_t(x)] >= 0xC0)
                    b.append(char(0xC0 | run));
                b.append(char(plane[std::size_t(x)]));
                x += run;
            }
        }
    }
    if (indexed) {
        b.append(char(12));
        for (int i = 0; i < 256; ++i) {
            const QRgb c = i < img.colorCount() ? img.color(i) : 0;
            b.append(char(qRed(c))).append(char(qGreen(c))).append(char(qBlue(c)));
        }
    }
    return b;
}

// A 6x6x6 colour cube: what a picture of few colours looks like.
QImage toIndexed(const QImage& rgb)
{
    QImage out(rgb.size(), QImage::Format_Indexed8);
    QVector<QRgb> table;
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 6; ++g)
            for (int b = 0; b < 6; ++b)
                table << qRgb(r * 51, g * 51, b * 51);
    out.setColorTable(table);
    for (int y = 0; y < rgb.height(); ++y) {
        const uchar* s = rgb.constScanLine(y);
        uchar* d = out.scanLine(y);
        for (int x = 0; x < rgb.width(); ++x)
            d[x] = uchar(36 * ((s[3 * x] + 25) / 51) + 6 * ((s[3 * x + 1] + 25) / 51) + (s[3 * x + 2] + 25) / 51);
    }
    return out;
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QSaveFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size() && f.commit();
}

int usage()
{
    std::fprintf(stderr,
                 "usage: make_photos --out DIR --set large|medium|small [--count N] [--noise SIGMA] [--exif 1]\n"
                 "large: 4000x3000 JPEG photographs (default 200); medium: 1632x1224 (default 200);\n"
                 "small: pictures of a few hundred pixels in JPEG, BMP, GIF, PCX and TGA (default 10000).\n"
                 "--exif 1: photographs carry a 160x120 thumbnail in their Exif data, as cameras write.\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    QString out, set;
    int count = -1, noise = 6;
    bool exif = false;
    for (int i = 0; i + 1 < args.size(); i += 2) {
        if (args[i] == "--out")
            out = args[i + 1];
        else if (args[i] == "--set")
            set = args[i + 1];
        else if (args[i] == "--count")
            count = args[i + 1].toInt();
        else if (args[i] == "--noise")
            noise = args[i + 1].toInt();
        else if (args[i] == "--exif")
            exif = args[i + 1] == "1";
        else
            return usage();
    }
    if (args.size() % 2 != 0 || out.isEmpty() || (set != "large" && set != "medium" && set != "small"))
        return usage();
    if (!QDir().mkpath(out)) {
        std::fprintf(stderr, "make_photos: cannot create %s\n", qPrintable(out));
        return 1;
    }
    if (count < 0)
        count = set == "small" ? 10000 : 200;

    qint64 total = 0;
    for (int i = 0; i < count; ++i) {
        QString path;
        QByteArray bytes;
        if (set != "small") {
            const bool large = set == "large";
            const int w = large ? 4000 : 1632, h = large ? 3000 : 1224;
            PhotoSynth synth(w, h, std::uint64_t(i) + (large ? 1 : 100000), noise);
            const auto jpg = encodeJpeg(w, h, 90, [&](int y, unsigned char* row) { synth.row(y, row); });
            bytes = QByteArray(reinterpret_cast<const char*>(jpg.data()), qsizetype(jpg.size()));
            path = QString("%1/photo%2.jpg").arg(out).arg(i, 4, 10, QChar('0'));
            if (exif) {
                PhotoSynth again(w, h, std::uint64_t(i) + (large ? 1 : 100000), noise);
                const QImage small = again.image().scaled(160, 120, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                                         .convertToFormat(QImage::Format_RGB888);
                const auto thumb = encodeJpeg(160, 120, 85, [&](int y, unsigned char* row) {
                    std::copy_n(small.constScanLine(y), 3 * 160, row);
                });
                bytes = withCameraThumbnail(bytes, QByteArray(reinterpret_cast<const char*>(thumb.data()),
                                                              qsizetype(thumb.size())));
            }
        } else {
            Rng pick(std::uint64_t(i) + 7777777);
            const int w = pick.range(160, 640), h = pick.range(120, 480);
            PhotoSynth synth(w, h, std::uint64_t(i) + 200000, noise);
            const QImage rgb = synth.image();
            const QString base = QString("%1/pic%2.").arg(out).arg(i, 5, 10, QChar('0'));
            // Two in five JPEG, then BMP, GIF, PCX and TGA.
            switch (i % 10) {
            case 0: case 3: case 6: case 9: {
                const auto jpg = encodeJpeg(w, h, 90, [&](int y, unsigned char* row) {
                    std::copy_n(rgb.constScanLine(y), 3 * w, row);
                });
                bytes = QByteArray(reinterpret_cast<const char*>(jpg.data()), qsizetype(jpg.size()));
                path = base + "jpg";
                break;
            }
            case 1: bytes = encodeBmp(rgb); path = base + "bmp"; break;
            case 7: bytes = encodeBmp(toIndexed(rgb)); path = base + "bmp"; break;
            case 2: case 8: bytes = EncodeGifPicture(toIndexed(rgb)); path = base + "gif"; break;
            case 4: bytes = encodePcx(i % 20 == 4 ? toIndexed(rgb) : rgb); path = base + "pcx"; break;
            case 5: bytes = encodeTga(rgb, i % 20 == 5); path = base + "tga"; break;
            }
        }
        if (!writeFile(path, bytes)) {
            std::fprintf(stderr, "make_photos: cannot write %s\n", qPrintable(path));
            return 1;
        }
        total += bytes.size();
    }
    std::printf("%d pictures, %.1f MB, %.2f MB each on average, in %s\n", count, total / 1e6,
                total / 1e6 / std::max(1, count), qPrintable(out));
    return 0;
}

// Writes the seed corpora of the fuzz targets: small files of every variant
// each reader knows, made with the program's own writers where it has them
// and built byte by byte where it has none. Run it as
//   build-fuzz/fuzz/make_fuzz_seeds fuzz/seeds
// and commit the result; each target's seeds go to a folder of its name.
#include "catalogue/lzrw1codec.h"
#include "formats/gif_file.h"
#include "formats/gif_image.h"
#include "formats/jpeg_codec.h"
#include "formats/test_tif_builder.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>
#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

namespace {

QDir g_root;

void put(const char* target, const QString& name, const QByteArray& bytes)
{
    g_root.mkpath(target);
    QFile f(g_root.filePath(QString::fromLatin1(target) + '/' + name));
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(f.fileName()));
        std::exit(1);
    }
}

void le16(QByteArray& b, quint32 v)
{
    b.append(char(v & 0xFF)).append(char(v >> 8 & 0xFF));
}

void le32(QByteArray& b, quint32 v)
{
    le16(b, v & 0xFFFF);
    le16(b, v >> 16);
}

// A small picture with gradients, edges and a few flat runs.
QImage picture(int w, int h, int seed = 1)
{
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const bool flat = (x / 4 + y / 3) % 3 == 0;
            img.setPixel(x, y, flat ? qRgb(200, 40, 90) : qRgb(x * 255 / w, y * 255 / h, (x * y * seed) & 0xFF));
        }
    return img;
}

QByteArray written(const QImage& img, const char* format)
{
    QByteArray out;
    QBuffer buf(&out);
    buf.open(QIODevice::WriteOnly);
    QImageWriter(&buf, format).write(img);
    return out;
}

// ---- GIF ----------------------------------------------------------------------------------------

void gifSeeds()
{
    put("fuzz_gif_read", "two-colours.gif", EncodeGifPicture(picture(9, 5).convertToFormat(QImage::Format_Mono)));
    QImage ten(21, 13, QImage::Format_RGB32);
    for (int y = 0; y < 13; ++y)
        for (int x = 0; x < 21; ++x)
            ten.setPixel(x, y, qRgb((x + y) % 10 * 25, x < 10 ? 0 : 255, 7));
    put("fuzz_gif_read", "ten-colours.gif", EncodeGifPicture(ten));
    QImage many(40, 30, QImage::Format_RGB32);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x)
            many.setPixel(x, y, qRgb((x * 6) & 0xF0, (y * 8) & 0xF0, 64));
    put("fuzz_gif_read", "many-colours.gif", EncodeGifPicture(many));

    // Two images, the second interlaced with its own table, and extensions of every kind.
    TColorTable table;
    SetStandardColors(table, 16);
    TByteArray2D px(11, 9);
    for (std::size_t i = 0; i < px.bytes().count(); ++i)
        px.bytes().data()[i] = std::uint8_t(i * 7 / 5 % 16);
    TGifFile gif;
    gif.version = "89a";
    gif.AddSubImage(table, px);
    gif.AddSubImage(table, px);
    gif.images[1]->interlaced = true;
    QByteArray two = gif.SaveToBytes();
    const QByteArray extensions = QByteArray("!\xF9\x04\x05\x0A\x00\x01\x00", 8) + QByteArray("!\xFE\x03" "abc\x00", 7)
        + QByteArray("!\xFF\x0BNETSCAPE2.0\x03\x01\x00\x00\x00", 19)
        + QByteArray("!\x01\x0C", 3) + QByteArray(12, '\x01') + QByteArray("\x01z\x00", 3)
        + QByteArray("!\x2A\x05Hello\x00", 9);
    two.insert(13 + 48, extensions); // after the header and the global table
    put("fuzz_gif_read", "two-images-extensions.gif", two);

    // The roundtrip target takes any bytes: a few of each kind of choice.
    put("fuzz_gif_roundtrip", "indexed", QByteArray("\x01\x02\x10\x07\x05\x03", 6) + QByteArray(64, '\x33'));
    put("fuzz_gif_roundtrip", "picture", QByteArray("\x00\x20\x10\xF0", 4) + QByteArray(96, '\x5A'));
}

// ---- JPEG ---------------------------------------------------------------------------------------

void jpegSeeds()
{
    // The first byte chooses the decoding options; the rest is the file.
    const QImage img = picture(24, 17);
    const struct {
        const char* name;
        char mode;
        qv::jpeg::EncodeSettings settings;
    } files[] = {
        {"baseline.jpg", 0x00, {75, false, false}},
        {"grey-eighth.jpg", 0x07, {60, true, false}},
        {"progressive-shown.jpg", 0x22, {80, false, true}},
        {"quantised-again.jpg", char(0x84), {90, false, false}},
        {"thumbnail.jpg", 0x02, {50, false, false}},
    };
    for (const auto& f : files)
        put("fuzz_jpeg", f.name, QByteArray(1, f.mode) + qv::jpeg::compress(img, f.settings));

    // The thumbnail shortcuts: scans kept for 1/8, and an Exif thumbnail
    // (second image directory, offset and length tags) in front of the picture.
    const QByteArray big = qv::jpeg::compress(picture(64, 48), {80, false, true});
    put("fuzz_jpeg_thumbnail", "progressive.jpg", big);
    put("fuzz_jpeg_thumbnail", "baseline.jpg", qv::jpeg::compress(picture(64, 48), {80, false, false}));
    const QByteArray small = qv::jpeg::compress(picture(8, 6), {50, false, false});
    QByteArray tiff("II\x2a\x00\x08\x00\x00\x00", 8);
    le16(tiff, 0);  // IFD0 without entries
    le32(tiff, 14); // IFD1 next
    le16(tiff, 2);
    for (quint32 tag : {0x201u, 0x202u}) {
        le16(tiff, tag);
        le16(tiff, 4);
        le32(tiff, 1);
        le32(tiff, tag == 0x201u ? 14u + 2u + 24u + 4u : quint32(small.size()));
    }
    le32(tiff, 0);
    tiff += small;
    QByteArray app1("\xff\xe1", 2);
    const QByteArray body = QByteArray("Exif\0\0", 6) + tiff;
    app1.append(char((body.size() + 2) >> 8)).append(char((body.size() + 2) & 0xFF));
    put("fuzz_jpeg_thumbnail", "exif-thumbnail.jpg", big.left(2) + app1 + body + big.mid(2));
}

// A baseline file with the luminance sampled h x v (chroma 1 x 1) or one grey
// component, and a restart marker every `restart` MCUs (0: none).
QByteArray baselineJpeg(const QImage& img, int h, int v, bool grey, int restart)
{
    const QImage rgb = img.convertToFormat(QImage::Format_RGB888);
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err); // a failure ends this tool
    jpeg_create_compress(&c);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &out, &size);
    c.image_width = JDIMENSION(rgb.width());
    c.image_height = JDIMENSION(rgb.height());
    c.input_components = 3;
    c.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 75, TRUE);
    if (grey)
        jpeg_set_colorspace(&c, JCS_GRAYSCALE);
    c.comp_info[0].h_samp_factor = h;
    c.comp_info[0].v_samp_factor = v;
    c.restart_interval = unsigned(restart);
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(rgb.constScanLine(int(c.next_scanline)));
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    QByteArray bytes(reinterpret_cast<const char*>(out), qsizetype(size));
    std::free(out);
    return bytes;
}

void jpegDcSeeds()
{
    // The first byte chooses the output: bit 0 greyscale, bit 1 eight bits.
    const QImage img = picture(40, 27, 3);
    const struct {
        const char* name;
        char mode;
        int h, v;
        bool grey;
        int restart;
    } files[] = {
        {"420.jpg", 0x00, 2, 2, false, 0},
        {"420-restart.jpg", 0x02, 2, 2, false, 1},
        {"422-restart.jpg", 0x00, 2, 1, false, 2},
        {"444.jpg", 0x02, 1, 1, false, 0},
        {"420-as-grey.jpg", 0x01, 2, 2, false, 3},
        {"grey-restart.jpg", 0x00, 1, 1, true, 5},
    };
    for (const auto& f : files)
        put("fuzz_jpeg_dc", f.name, QByteArray(1, f.mode) + baselineJpeg(img, f.h, f.v, f.grey, f.restart));
}

// ---- LZRW1 and the thumbnail cache ----------------------------------------------------------------

QByteArray cacheText(int dimensione, int count)
{
    QByteArray t = QByteArray::number(dimensione) + "\r\n" + QByteArray::number(count) + "\r\n";
    for (int i = 0; i < count; ++i) {
        t += "pic" + QByteArray::number(i) + ".jpg\r\n" + QByteArray::number(i) + "\r\n";
        for (int sub = 0; sub < 6; ++sub)
            t += "sub" + QByteArray::number(sub) + "\r\n";
    }
    return t;
}

void cacheSeed(const QString& name, const QByteArray& strip, TCompressMode mode, int dimensione, int count)
{
    const QByteArray packed = lzrw1::compress(strip, mode);
    if (packed.size() > 0xFFFF)
        std::fprintf(stderr, "cache seed %s: strip of %d bytes too large\n", qPrintable(name), int(packed.size()));
    QByteArray seed;
    le16(seed, quint32(packed.size()));
    put("fuzz_thumb_cache", name, seed + packed + cacheText(dimensione, count));
}

void codecSeeds()
{
    const QByteArray text = "thumbnails thumbnails thumbnails of a folder, and more thumbnails\r\n";
    const QByteArray bytes = written(picture(16, 8), "BMP");
    put("fuzz_lzrw1_decompress", "fast-text", lzrw1::compress(text.repeated(20), TCompressMode::Fast));
    put("fuzz_lzrw1_decompress", "good-text", lzrw1::compress(text.repeated(20), TCompressMode::Good));
    put("fuzz_lzrw1_decompress", "fast-bitmap", lzrw1::compress(bytes, TCompressMode::Fast));
    put("fuzz_lzrw1_decompress", "good-bitmap", lzrw1::compress(bytes, TCompressMode::Good));
    put("fuzz_lzrw1_roundtrip", "text", text);
    put("fuzz_lzrw1_roundtrip", "bitmap", bytes.left(600));

    // Strips of ours (plain 24 bits, four 60-pixel cells a row), and of other
    // writers: paletted, run-length, 32 bits, top-down, short.
    QImage strip(240, 60, QImage::Format_RGB888); // flat cells with a few stripes pack small
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 240; ++x)
            strip.setPixel(x, y, qRgb(x / 60 * 60, y / 10 * 40, x % 60 < 3 ? 255 : 90));
    cacheSeed("ours-fast", written(strip, "BMP"), TCompressMode::Fast, 1, 4);
    cacheSeed("ours-good", written(strip, "BMP"), TCompressMode::Good, 1, 3);
    cacheSeed("other-paletted", written(strip.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither), "BMP"),
              TCompressMode::Fast, 1, 4);
    cacheSeed("other-mono", written(strip.convertToFormat(QImage::Format_Mono), "BMP"), TCompressMode::Good, 1, 2);
    QByteArray rle; // 240 x 60 at 8 bits, each row one run per cell
    for (int y = 0; y < 60; ++y) {
        for (int c = 0; c < 4; ++c)
            rle.append(char(60)).append(char(c * 40 + y % 7));
        rle.append('\0').append('\0');
    }
    rle.append('\0').append('\1');
    QByteArray rleFile("BM");
    le32(rleFile, quint32(54 + 1024 + rle.size()));
    le32(rleFile, 0);
    le32(rleFile, 54 + 1024);
    for (quint32 v : {40u, 240u, 60u, 1u | 8u << 16, 1u, quint32(rle.size()), 0u, 0u, 256u, 0u})
        le32(rleFile, v);
    for (int i = 0; i < 256; ++i)
        le32(rleFile, quint32(i * 0x010101));
    cacheSeed("other-rle8", rleFile + rle, TCompressMode::Fast, 1, 4);
    QByteArray topDown = written(strip.copy(0, 0, 90, 60).scaled(90, 90).convertToFormat(QImage::Format_RGB32), "BMP");
    topDown[22] = char(0xA6); // height -90
    topDown[23] = topDown[24] = topDown[25] = char(0xFF);
    cacheSeed("other-top-down", topDown, TCompressMode::Good, 2, 1);
    cacheSeed("other-short", written(strip, "BMP").left(8000), TCompressMode::Fast, 1, 4);
}

// ---- Windows bitmap, Targa, PCX, drawing previews, icons ---------------------------------------------

QByteArray bmpFile(int w, int h, int bits, quint32 compression, int colours, const QByteArray& pixels,
                   const QByteArray& masks = {})
{
    QByteArray b("BM");
    const quint32 offset = 54 + quint32(masks.size()) + 4u * quint32(colours);
    le32(b, offset + quint32(pixels.size()));
    le32(b, 0);
    le32(b, offset);
    for (quint32 v : {40u, quint32(w), quint32(h), 1u | quint32(bits) << 16, compression, quint32(pixels.size()), 0u,
                      0u, quint32(colours), 0u})
        le32(b, v);
    b += masks;
    for (int i = 0; i < colours; ++i)
        le32(b, quint32(i * 0x0F0703 & 0xFFFFFF));
    return b + pixels;
}

void packedSeeds()
{
    const QImage img = picture(13, 7);
    put("fuzz_packed_bitmap_bmp", "rgb24.bmp", written(img.convertToFormat(QImage::Format_RGB888), "BMP"));
    put("fuzz_packed_bitmap_bmp", "indexed8.bmp",
        written(img.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither), "BMP"));
    put("fuzz_packed_bitmap_bmp", "mono.bmp", written(img.convertToFormat(QImage::Format_Mono), "BMP"));
    put("fuzz_packed_bitmap_bmp", "rgb32.bmp", written(img, "BMP"));
    put("fuzz_packed_bitmap_bmp", "rle8.bmp",
        bmpFile(6, 3, 8, 1, 4, QByteArray("\x03\x01\x00\x03\x01\x02\x00\x00\x00\x02\x01\x01\x06\x03\x00\x00\x00\x01", 18)));
    put("fuzz_packed_bitmap_bmp", "rle4.bmp",
        bmpFile(6, 2, 4, 2, 16, QByteArray("\x06\x12\x00\x00\x00\x06\x12\x34\x56\x00\x00\x01", 12)));
    QByteArray masks;
    for (quint32 m : {0xF800u, 0x07E0u, 0x001Fu})
        le32(masks, m);
    put("fuzz_packed_bitmap_bmp", "bitfields16.bmp", bmpFile(2, 2, 16, 3, 0, QByteArray("\x1F\x00\xE0\x07\x00\xF8\xFF\xFF", 8), masks));
    QByteArray core("BM"); // the 12-byte header of the oldest bitmaps
    le32(core, 26 + 6 + 4);
    le32(core, 0);
    le32(core, 26 + 6);
    le32(core, 12);
    le16(core, 2);
    le16(core, 1);
    le16(core, 1);
    le16(core, 1);
    core += QByteArray("\x00\x00\x00\xFF\xFF\xFF\x80\x00\x00\x00", 10);
    put("fuzz_packed_bitmap_bmp", "core-mono.bmp", core);

    // Targa: colour-mapped, true-colour and grey, plain and run-length, both origins.
    auto tga = [](int type, int bits, int mapEntries, bool topDown, const QByteArray& data) {
        QByteArray b;
        b.append('\0').append(char(mapEntries ? 1 : 0)).append(char(type));
        le16(b, 0);
        le16(b, quint32(mapEntries));
        b.append(char(mapEntries ? 24 : 0));
        le16(b, 0);
        le16(b, 0);
        le16(b, 4);
        le16(b, 3);
        b.append(char(bits)).append(char(topDown ? 0x20 : 0));
        for (int i = 0; i < mapEntries * 3; ++i)
            b.append(char(i * 11));
        return b + data;
    };
    put("fuzz_packed_bitmap_tga", "mapped.tga", tga(1, 8, 4, false, QByteArray("\0\1\2\3\3\2\1\0\1\1\2\2", 12)));
    put("fuzz_packed_bitmap_tga", "rgb24-top.tga", tga(2, 24, 0, true, QByteArray(36, '\x45')));
    put("fuzz_packed_bitmap_tga", "rgb16.tga", tga(2, 16, 0, false, QByteArray(24, '\x1F')));
    put("fuzz_packed_bitmap_tga", "rgba32.tga", tga(2, 32, 0, false, QByteArray(48, '\x80')));
    put("fuzz_packed_bitmap_tga", "grey.tga", tga(3, 8, 0, false, QByteArray("\0\x40\x80\xC0\0\x40\x80\xC0\0\x40\x80\xC0", 12)));
    put("fuzz_packed_bitmap_tga", "rle-mapped.tga", tga(9, 8, 4, false, QByteArray("\x83\x01\x03\x00\x01\x02\x03\x83\x02", 9)));
    put("fuzz_packed_bitmap_tga", "rle-rgb24.tga",
        tga(10, 24, 0, true, QByteArray("\x85\x10\x20\x30\x05\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0A\x0B\x0C\x0D\x0E\x0F\x10\x11\x12", 23)));
    put("fuzz_packed_bitmap_tga", "rle-grey.tga", tga(11, 8, 0, false, QByteArray("\x8B\x77", 2)));

    // PCX: 1, 4 (planes) and 8 bits, 24 bits as three planes, run-length rows.
    auto pcx = [](int bits, int planes, int w, int h, const QByteArray& rows, const QByteArray& tail = {}) {
        QByteArray b("\x0A\x05\x01", 3);
        b.append(char(bits));
        le16(b, 0);
        le16(b, 0);
        le16(b, quint32(w - 1));
        le16(b, quint32(h - 1));
        le16(b, 72);
        le16(b, 72);
        for (int i = 0; i < 48; ++i)
            b.append(char(i * 5));
        b.append('\0').append(char(planes));
        le16(b, quint32((w * bits + 15) / 16 * 2));
        le16(b, 1);
        b += QByteArray(58, '\0');
        return b + rows + tail;
    };
    QByteArray palette("\x0C", 1);
    for (int i = 0; i < 768; ++i)
        palette.append(char(i / 3));
    put("fuzz_packed_bitmap_pcx", "indexed8.pcx", pcx(8, 1, 4, 2, QByteArray("\xC4\x10\x01\x02\x03\xC1\x04", 7), palette));
    put("fuzz_packed_bitmap_pcx", "rgb24.pcx", pcx(8, 3, 4, 2, QByteArray("\xC4\xFF\xC4\x00\xC4\x80\x01\x02\x03\x04\xC4\x10\xC4\x20", 14)));
    put("fuzz_packed_bitmap_pcx", "mono.pcx", pcx(1, 1, 16, 2, QByteArray("\xC2\xAA\xC2\x55", 4)));
    put("fuzz_packed_bitmap_pcx", "planes4.pcx", pcx(1, 4, 16, 1, QByteArray("\xC2\xF0\xC2\x0F\xC2\xFF\xC2\x00", 8)));

    // The drawing preview: RIFF, version chunk, preview chunk with an info header and pixels.
    auto cdr = [](int w, int h, int bits) {
        QByteArray b("RIFF\0\0\0\0CDR6vrsn\2\0\0\0\x58\2DISP\0\0\0\0\0\0\0\0", 34);
        for (quint32 v : {40u, quint32(w), quint32(h), 1u | quint32(bits) << 16, 0u, 0u, 0u, 0u, 0u, 0u})
            le32(b, v);
        for (int i = 0; bits <= 8 && i < (1 << bits); ++i)
            le32(b, quint32(i * 0x030507 & 0xFFFFFF));
        for (int i = 0; i < (w * bits + 31) / 32 * 4 * h; ++i)
            b.append(char(i * 37 / 3));
        return b + "page" + QByteArray(16, '\x5A');
    };
    put("fuzz_cdr", "preview8.cdr", cdr(9, 5, 8));
    put("fuzz_cdr", "preview24.cdr", cdr(6, 4, 24));
    put("fuzz_cdr", "preview1.cdr", cdr(17, 3, 1));
    put("fuzz_cdr", "preview4.cdr", cdr(5, 5, 4));

    // The block conversion: 4 bytes choose the layout, the rest is table and pixels.
    for (int kind = 0; kind < 8; ++kind) {
        QByteArray seed;
        seed.append(char(5 + kind)).append(char(3 + kind)).append(char(kind)).append(char(kind * 6));
        for (int i = 0; i < 80; ++i)
            seed.append(char(kind < 2 ? (i % 3 ? i % 7 : 0) : i * 13));
        put("fuzz_dib_image", QStringLiteral("layout%1").arg(kind), seed);
    }
    for (int format = 0; format < 8; ++format) {
        QByteArray seed;
        seed.append(char(format)).append(char(23)).append(char(17)).append(char(9)).append(char(format)).append(char(6));
        for (int i = 0; i < 200; ++i)
            seed.append(char(i * 29 + format));
        put("fuzz_thumbnail_scale", QStringLiteral("format%1").arg(format), seed);
    }
}

// An icon directory of the given images: PNG data, or a bitmap (header of
// double height, pixels, then the transparency mask).
QByteArray iconFile(const QList<QPair<QImage, bool>>& images)
{
    QList<QByteArray> data;
    for (const auto& [img, png] : images) {
        if (png) {
            data << written(img, "PNG");
            continue;
        }
        const bool paletted = img.format() == QImage::Format_Indexed8;
        QByteArray d;
        for (quint32 v : {40u, quint32(img.width()), quint32(img.height() * 2), 1u | (paletted ? 8u : 32u) << 16, 0u,
                          0u, 0u, 0u, 0u, 0u})
            le32(d, v);
        if (paletted)
            for (int i = 0; i < 256; ++i)
                le32(d, i < img.colorCount() ? img.color(i) & 0xFFFFFF : 0);
        for (int y = img.height() - 1; y >= 0; --y) {
            if (paletted)
                d.append(reinterpret_cast<const char*>(img.constScanLine(y)), (img.width() + 3) / 4 * 4);
            else
                d.append(reinterpret_cast<const char*>(img.constScanLine(y)), img.width() * 4);
        }
        d += QByteArray((img.width() + 31) / 32 * 4 * img.height(), '\x0F');
        data << d;
    }
    QByteArray b;
    le16(b, 0);
    le16(b, 1);
    le16(b, quint32(images.size()));
    quint32 offset = 6 + 16 * quint32(images.size());
    for (int i = 0; i < images.size(); ++i) {
        const QImage& img = images[i].first;
        b.append(char(img.width() & 0xFF)).append(char(img.height() & 0xFF)).append('\0').append('\0');
        le16(b, 1);
        le16(b, img.format() == QImage::Format_Indexed8 ? 8 : 32);
        le32(b, quint32(data[i].size()));
        le32(b, offset);
        offset += quint32(data[i].size());
    }
    for (const QByteArray& d : data)
        b += d;
    return b;
}

void iconSeeds()
{
    const QImage argb = picture(16, 16).convertToFormat(QImage::Format_ARGB32);
    const QImage indexed = picture(8, 8).convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither);
    put("fuzz_icon", "argb16.ico", iconFile({{argb, false}}));
    put("fuzz_icon", "indexed8.ico", iconFile({{indexed, false}}));
    // The 32 x 32 image is shown: here it is the second one, as PNG.
    put("fuzz_icon", "bitmap-and-png.ico", iconFile({{argb, false},
                                                     {picture(32, 32).convertToFormat(QImage::Format_ARGB32), true}}));
}

// ---- TIFF ---------------------------------------------------------------------------------------

void tifSeeds()
{
    using qvtest::TifBuilder;
    const QByteArray grey = QByteArray("\x00\x10\x20\x30\x40\x50\x60\x70\x80\x90\xA0\xB0", 12);
    {
        TifBuilder t;
        t.picture(4, 3, 8, 1, 1, 1, {grey}, 3);
        put("fuzz_tif", "grey8.tif", t.build());
    }
    {
        TifBuilder t(true);
        t.picture(4, 3, 8, 1, 5, 0, {qvtest::lzwLiterals(grey)}, 3);
        put("fuzz_tif", "grey8-lzw-bigendian.tif", t.build());
    }
    {
        TifBuilder t;
        t.picture(2, 2, 8, 3, 1, 2, {grey.left(6), grey.mid(6)}, 1);
        put("fuzz_tif", "rgb-two-strips.tif", t.build());
    }
    {
        TifBuilder t;
        t.picture(4, 2, 4, 1, 5, 3, {qvtest::lzwLiterals(QByteArray("\x01\x23\x45\x67", 4))}, 2);
        std::vector<quint32> map;
        for (int c = 0; c < 3; ++c)
            for (int i = 0; i < 16; ++i)
                map.push_back(quint32(i * 4096 + c * 1000));
        t.set(320, map, qvtest::TifShort);
        put("fuzz_tif", "palette4-lzw.tif", t.build());
    }
    {
        TifBuilder t;
        t.picture(16, 2, 1, 1, 1, 0, {QByteArray("\xF0\x0F\xAA\x55", 4)}, 2);
        put("fuzz_tif", "bilevel.tif", t.build());
    }
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_fuzz_seeds FOLDER\n");
        return 2;
    }
    g_root = QDir(QString::fromLocal8Bit(argv[1]));
    g_root.mkpath(".");
    gifSeeds();
    jpegSeeds();
    jpegDcSeeds();
    codecSeeds();
    packedSeeds();
    iconSeeds();
    tifSeeds();
    return 0;
}

// The TIFF reader: first directory, strips decoded row by row (none, PackBits,
// LZW with the early code-width change), the rows going straight into the picture or into a Windows bitmap file.
#include "formats/tif_map.h"
#include "formats/bitmap_header.h"
#include "formats/bmp_decoder.h"
#include "formats/lzw_string_table.h"
#include "formats/picture_file.h"
#include "platform/byte_cursor.h"
#include "platform/limits.h"

#include <QFile>
#include <QIODevice>
#include <algorithm>
#include <array>
#include <cstring>
#include <functional>
#include <limits>
#include <vector>

namespace {

// The reader's messages, by their numbers.
enum TifError {
    TifNotFound = 1,
    NotATif = 2,
    FileTooBig = 3,
    BadData = 4,
    UnsupportedFormat = 5,
    UnexpectedEof = 6,
    BadCodeSize = 7,
    BadCode = 8,
    BadBitSize = 9,
    BadBitmap = 10,
};

const char* const kTifMessages[] = {
    "TIF file not found", "Not a TIF file", "File Too big", "Bad data", "Unsupported Format",
    "Unexpected EOF",     "Bad code size",  "Bad code",     "Bad bit size", "Bad bitmap",
};

[[noreturn]] void fail(TifError error)
{
    throw ETifException(QString::fromLatin1(kTifMessages[error - 1]));
}

// The longest row the reader takes ("File Too big" beyond).
constexpr std::uint64_t kMaxRowBytes = 7200;
constexpr qint64 kMaxFileBytes = qint64(1) << 30;

enum Compression : quint32 { NoCompression = 1, Lzw = 5, PackBits = 32773 };

using qv::ByteCursor;

// Fields of the directory, in the file's byte order. Callers check a range
// with holds() first, so a field outside the file is a damaged file all the same.
quint32 field16(const ByteCursor& src, std::uint64_t offset)
{
    quint16 v = 0;
    if (!src.u16At(offset, &v))
        fail(BadData);
    return v;
}
quint32 field32(const ByteCursor& src, std::uint64_t offset)
{
    quint32 v = 0;
    if (!src.u32At(offset, &v))
        fail(BadData);
    return v;
}

// A directory entry of one of the integer types, and where its values lie:
// inside the entry when they fit in its 4-byte field, else at the 32-bit offset
// the field holds.
struct TifEntry {
    quint32 count = 0;
    std::uint64_t values = 0;
    int itemSize = 0;

    bool present() const { return count > 0; }
    quint32 item(const ByteCursor& src, quint32 i) const
    {
        const std::uint64_t at = values + std::uint64_t(i) * std::uint64_t(itemSize);
        switch (itemSize) {
        case 1: {
            const uchar* p = src.at(at, 1);
            if (!p)
                fail(BadData);
            return *p;
        }
        case 2:
            return field16(src, at);
        default:
            return field32(src, at);
        }
    }
};

struct TifDirectory {
    quint32 width = 0;
    quint32 height = 0;
    quint32 bitsPerSample = 1;
    quint32 samplesPerPixel = 1;
    quint32 planarConfiguration = 1;
    quint32 compression = NoCompression;
    quint32 photometric = 0;
    quint32 predictor = 1;
    quint32 rowsPerStrip = 0; // 0: the whole picture in one strip
    TifEntry stripOffsets;
    TifEntry stripByteCounts;
    TifEntry colorMap;
};

int itemSizeOfType(quint16 type)
{
    switch (type) {
    case 1: // BYTE
        return 1;
    case 3: // SHORT
        return 2;
    case 4: // LONG
        return 4;
    default:
        return 0;
    }
}

TifDirectory readDirectory(ByteCursor& src)
{
    const uchar* mark = src.at(0, 2);
    if (!mark)
        fail(NotATif);
    if (mark[0] == 'I' && mark[1] == 'I')
        src.setOrder(ByteCursor::Order::LittleEndian);
    else if (mark[0] == 'M' && mark[1] == 'M')
        src.setOrder(ByteCursor::Order::BigEndian);
    else
        fail(NotATif);
    if (!src.holds(0, 8))
        fail(UnexpectedEof);
    // The version word is not tested; only the first directory is read.
    const std::uint64_t ifd = field32(src, 4);
    if (!src.holds(ifd, 2))
        fail(BadData);
    const quint32 entries = field16(src, ifd);
    if (!src.holds(ifd + 2, std::uint64_t(entries) * 12))
        fail(UnexpectedEof);

    TifDirectory dir;
    for (quint32 i = 0; i < entries; ++i) {
        const std::uint64_t at = ifd + 2 + std::uint64_t(i) * 12;
        const quint16 tag = field16(src, at);
        TifEntry e;
        e.itemSize = itemSizeOfType(field16(src, at + 2));
        if (e.itemSize == 0)
            continue;
        e.count = field32(src, at + 4);
        const std::uint64_t bytes = std::uint64_t(e.count) * std::uint64_t(e.itemSize);
        // Values that do not fit in the field are reached by a whole 32-bit offset.
        e.values = bytes <= 4 ? at + 8 : field32(src, at + 8);
        const bool used = (tag >= 256 && tag <= 259) || tag == 262 || tag == 273 || (tag >= 277 && tag <= 279)
            || tag == 284 || tag == 317 || tag == 320;
        if (!used || !e.present())
            continue;
        // Arrays must lie whole in the file; of the other tags only the first
        // value is read. Strip byte counts only bound the strips: bad ones are ignored.
        const bool array = tag == 273 || tag == 279 || tag == 320;
        if (!src.holds(e.values, array ? bytes : std::uint64_t(e.itemSize))) {
            if (tag == 279)
                continue;
            fail(BadData);
        }
        const quint32 first = e.item(src, 0);
        switch (tag) {
        case 256: dir.width = first; break;
        case 257: dir.height = first; break;
        case 258: dir.bitsPerSample = first; break;
        case 259: dir.compression = first; break;
        case 262: dir.photometric = first; break;
        case 273: dir.stripOffsets = e; break;
        case 277: dir.samplesPerPixel = first; break;
        case 278: dir.rowsPerStrip = first; break;
        case 279: dir.stripByteCounts = e; break;
        case 284: dir.planarConfiguration = first; break;
        case 317: dir.predictor = first; break;
        case 320:
            if (e.itemSize == 2 && e.count >= 3)
                dir.colorMap = e;
            break;
        }
    }
    return dir;
}

using Palette = std::array<std::array<uchar, 3>, 256>; // red, green, blue

// How the 16-bit values of a colour map become bytes, judged on the whole
// map: some writers store bytes, some bytes shifted left by 8, most 16-bit
// levels (0..65535, often the byte times 257).
enum class MapScale { Bytes, HighBytes, Levels };

MapScale colourMapScale(const ByteCursor& src, const TifEntry& map)
{
    bool small = true, lowZero = true;
    for (quint32 i = 0; i < map.count; ++i) {
        const quint32 v = map.item(src, i);
        small = small && v < 256;
        lowZero = lowZero && (v & 0xFF) == 0;
    }
    return small ? MapScale::Bytes : lowZero ? MapScale::HighBytes : MapScale::Levels;
}

uchar colourByte(quint32 v, MapScale scale)
{
    switch (scale) {
    case MapScale::Bytes:
        return uchar(v);
    case MapScale::HighBytes:
        return uchar(v >> 8);
    default:
        return uchar(v / 257); // 65535 = 255 x 257
    }
}

// Receives each finished row, top row first, as a bitmap stores it: bytes in
// blue-green-red order, 0 black for one bit.
using RowStore = std::function<void(quint32 row, const uchar* bytes)>;

// The decoded picture: rows finished one by one and handed to the store.
class RowSink {
public:
    RowSink(const TifDirectory& dir, std::uint64_t rowBytes, const RowStore& store)
        : m_rowBytes(std::size_t(rowBytes)), m_store(store),
          m_height(dir.height), m_width(dir.width), m_samples(std::size_t(dir.samplesPerPixel)),
          m_predictor(dir.predictor == 2),
          m_invert(dir.bitsPerSample * dir.samplesPerPixel == 1 && dir.photometric == 0),
          m_bgr(dir.bitsPerSample * dir.samplesPerPixel > 8), m_row(m_rowBytes)
    {
    }

    std::size_t rowBytes() const { return m_rowBytes; }
    quint32 done() const { return m_done; }
    bool complete() const { return m_done >= m_height; }
    uchar* row() { return m_row.data(); }

    // Finishes the row in row(): predictor, inversion, byte order, then stores it.
    void finish()
    {
        if (complete())
            return;
        uchar* r = m_row.data();
        if (m_predictor)
            for (std::size_t i = m_samples; i < m_rowBytes; ++i)
                r[i] = uchar(r[i] + r[i - m_samples]);
        if (m_invert)
            for (std::size_t i = 0; i < m_rowBytes; ++i)
                r[i] = uchar(~r[i]);
        if (m_bgr)
            for (std::size_t x = 0; x < m_width; ++x)
                std::swap(r[3 * x], r[3 * x + 2]);
        m_store(m_done, r);
        ++m_done;
    }

private:
    const std::size_t m_rowBytes;
    const RowStore& m_store;
    const quint32 m_height;
    const std::size_t m_width;
    const std::size_t m_samples;
    const bool m_predictor, m_invert, m_bgr;
    std::vector<uchar> m_row;
    quint32 m_done = 0;
};

void readPlainStrip(ByteCursor& in, quint32 rows, RowSink& sink)
{
    for (quint32 i = 0; i < rows && !sink.complete(); ++i) {
        const uchar* p = in.take(sink.rowBytes());
        if (!p)
            fail(UnexpectedEof);
        std::memcpy(sink.row(), p, sink.rowBytes());
        sink.finish();
    }
}

// PackBits, one row at a time; a run that crosses the row's end is cut there.
void readPackBitsStrip(ByteCursor& in, quint32 rows, RowSink& sink)
{
    const std::size_t rowBytes = sink.rowBytes();
    for (quint32 i = 0; i < rows && !sink.complete(); ++i) {
        uchar* row = sink.row();
        std::size_t filled = 0;
        while (filled < rowBytes) {
            uchar n = 0;
            if (!in.byte(&n))
                fail(UnexpectedEof);
            if (n < 128) {
                const std::size_t count = std::size_t(n) + 1;
                const uchar* literal = in.take(count);
                if (!literal)
                    fail(UnexpectedEof);
                const std::size_t used = std::min(count, rowBytes - filled);
                std::memcpy(row + filled, literal, used);
                filled += used;
            } else if (n > 128) {
                uchar repeated = 0;
                if (!in.byte(&repeated))
                    fail(UnexpectedEof);
                const std::size_t used = std::min<std::size_t>(257 - n, rowBytes - filled);
                std::memset(row + filled, repeated, used);
                filled += used;
            }
        }
        sink.finish();
    }
}

// LZW as TIFF writes it: codes most significant bit first, 9 to 12 bits wide,
// the width growing one code early.
class LzwStrip {
public:
    static constexpr int kClear = 256, kEnd = 257, kFirstFree = 258;

    LzwStrip(ByteCursor& in, quint32 rows, RowSink& sink)
        : m_in(in), m_rowsLeft(rows), m_sink(sink), m_table(256)
    {
        reset();
    }

    // Decodes to the end code; a stream without one ends in "Unexpected EOF".
    void run()
    {
        int old = -1;
        for (;;) {
            int code = nextCode();
            if (code == kEnd)
                return;
            if (code == kClear) {
                reset();
                do
                    code = nextCode();
                while (code == kClear);
                if (code == kEnd)
                    return;
                if (code >= kClear)
                    fail(BadCode);
                output(code);
                old = code;
                continue;
            }
            if (old < 0) { // no clear code first: the table is fresh anyway
                if (code >= kClear)
                    fail(BadCode);
                output(code);
                old = code;
                continue;
            }
            const int next = int(m_table.nextFree());
            if (code < next) {
                output(code);
                add(old, m_table.first(unsigned(code)));
            } else if (code == next) {
                add(old, m_table.first(unsigned(old)));
                output(code);
            } else {
                fail(BadCode);
            }
            old = code;
        }
    }

private:
    void reset()
    {
        m_table.reset(kFirstFree);
        m_width = 9;
    }

    int nextCode()
    {
        while (m_bitCount < m_width) {
            uchar b = 0;
            if (!m_in.byte(&b))
                fail(UnexpectedEof);
            m_bits = (m_bits << 8) | b;
            m_bitCount += 8;
        }
        m_bitCount -= m_width;
        return int((m_bits >> m_bitCount) & ((1u << m_width) - 1));
    }

    // Codes widen one code early: when the table reaches 2^width - 1.
    void add(int prefix, uchar last)
    {
        if (!m_table.add(unsigned(prefix), last))
            fail(BadCode);
        const unsigned next = m_table.nextFree();
        if (next == 511 || next == 1023 || next == 2047)
            ++m_width;
    }

    // Spells the code's string into the rows; once the strip has its rows the
    // rest of the stream is only followed to its end code.
    void output(int code)
    {
        if (m_rowsLeft == 0 || m_sink.complete())
            return;
        const uchar* p = nullptr;
        std::size_t left = m_table.spell(unsigned(code), &p);
        while (left > 0 && m_rowsLeft > 0 && !m_sink.complete()) {
            const std::size_t n = std::min(left, m_sink.rowBytes() - m_fill);
            std::memcpy(m_sink.row() + m_fill, p, n);
            m_fill += n;
            p += n;
            left -= n;
            if (m_fill == m_sink.rowBytes()) {
                m_sink.finish();
                m_fill = 0;
                --m_rowsLeft;
            }
        }
    }

    ByteCursor& m_in;
    quint32 m_rowsLeft;
    RowSink& m_sink;
    std::size_t m_fill = 0;
    quint32 m_bits = 0;
    int m_bitCount = 0;
    int m_width = 9;
    LzwStringTable m_table;
};

// Upper bound of decoded bytes per byte of input, so that a small file cannot
// make us allocate a huge picture: PackBits turns 2 bytes into 128; an LZW cycle
// of at most 3838 codes (9 to 12 bits each) spells strings of at most one byte
// more than the code before.
std::uint64_t maxExpansion(quint32 compression)
{
    switch (compression) {
    case PackBits:
        return 64;
    case Lzw:
        return 1400;
    default:
        return 1;
    }
}

// The first picture of a TIFF file, its directory, depth and palette checked
// before anything is allocated for its rows.
class TifPicture {
public:
    explicit TifPicture(QByteArrayView tif);
    quint32 width() const { return m_dir.width; }
    quint32 height() const { return m_dir.height; }
    int bits() const { return m_bits; }
    int colours() const { return m_colours; }
    const Palette& palette() const { return m_palette; }
    std::uint64_t stride() const { return (m_rowBytes * 8 + 31) / 32 * 4; }
    // Decodes the strips; throws when one is damaged or short of its rows.
    void decode(const RowStore& store) const;

private:
    ByteCursor m_src;
    TifDirectory m_dir;
    std::uint64_t m_rowBytes = 0;
    int m_bits = 0;
    int m_colours = 0;
    Palette m_palette{};
};

TifPicture::TifPicture(QByteArrayView tif) : m_src(tif), m_dir(readDirectory(m_src))
{
    const ByteCursor& src = m_src;
    const TifDirectory& dir = m_dir;
    if (dir.width == 0 || dir.height == 0 || !dir.stripOffsets.present() || dir.stripOffsets.item(src, 0) == 0)
        fail(BadData);
    const std::uint64_t bitsPerPixel = std::uint64_t(dir.bitsPerSample) * dir.samplesPerPixel;
    std::uint64_t bitsPerRow = 0;
    if (__builtin_mul_overflow(bitsPerPixel, std::uint64_t(dir.width), &bitsPerRow))
        fail(FileTooBig);
    m_rowBytes = (bitsPerRow + 7) / 8;
    if (m_rowBytes > kMaxRowBytes || !qv::pictureSizeAllowed(dir.width, dir.height))
        fail(FileTooBig);
    if (dir.compression != NoCompression && dir.compression != PackBits && dir.compression != Lzw)
        fail(UnsupportedFormat);
    // Other depths and separate colour planes would give a garbled picture.
    if ((bitsPerPixel != 1 && bitsPerPixel != 4 && bitsPerPixel != 8 && bitsPerPixel != 24)
        || (dir.planarConfiguration == 2 && dir.samplesPerPixel > 1))
        fail(UnsupportedFormat);
    m_bits = int(bitsPerPixel);

    // Palette: the colour map, or a grey ramp that follows the photometric
    // interpretation (0: white is zero).
    Palette& palette = m_palette;
    m_colours = m_bits <= 8 ? 1 << m_bits : 0;
    const int colours = m_colours;
    if (dir.colorMap.present() && colours > 0) {
        const MapScale scale = colourMapScale(src, dir.colorMap);
        const quint32 perChannel = dir.colorMap.count / 3;
        const quint32 n = std::min<quint32>(perChannel, quint32(colours));
        for (quint32 i = 0; i < n; ++i)
            for (quint32 c = 0; c < 3; ++c)
                palette[i][c] = colourByte(dir.colorMap.item(src, c * perChannel + i), scale);
    } else if (colours > 2) {
        for (int i = 0; i < colours; ++i) {
            const int level = i * 255 / (colours - 1);
            const uchar v = uchar(dir.photometric == 0 ? 255 - level : level);
            palette[std::size_t(i)] = {v, v, v};
        }
    }
    if (colours == 2 && !(dir.colorMap.present() && dir.photometric == 3)) {
        // Rows of photometric 0 are inverted, so 0 is always black here.
        palette[0] = {0, 0, 0};
        palette[1] = {255, 255, 255};
    }
    if (m_rowBytes * dir.height > src.size() * maxExpansion(dir.compression))
        fail(UnexpectedEof); // the file cannot hold that many rows
}

void TifPicture::decode(const RowStore& store) const
{
    const ByteCursor& src = m_src;
    const TifDirectory& dir = m_dir;
    RowSink sink(dir, m_rowBytes, store);
    const quint32 strips = dir.stripOffsets.count;
    const quint32 perStrip = strips == 1 || dir.rowsPerStrip == 0 ? dir.height : dir.rowsPerStrip;
    const bool counted = dir.stripByteCounts.count == strips;
    for (quint32 s = 0; s < strips && !sink.complete(); ++s) {
        const std::uint64_t offset = dir.stripOffsets.item(src, s);
        const quint32 rows = std::min(perStrip, dir.height - sink.done());
        const quint32 before = sink.done();
        if (offset > src.size())
            fail(UnexpectedEof);
        // A compressed strip ends at its byte count, so that a damaged stream
        // never runs on into whatever follows it; without a usable count it
        // ends at the end of the file.
        std::uint64_t length = src.size() - offset;
        if (counted) {
            const std::uint64_t n = dir.stripByteCounts.item(src, s);
            if (n > 0 && n < length)
                length = n;
        }
        // Uncompressed rows are taken as they come, whatever the byte count says.
        ByteCursor strip = src.window(offset, dir.compression == NoCompression ? src.size() - offset : length);
        if (dir.compression == NoCompression)
            readPlainStrip(strip, rows, sink);
        else if (dir.compression == PackBits)
            readPackBitsStrip(strip, rows, sink);
        else
            LzwStrip(strip, rows, sink).run();
        if (sink.done() - before < rows)
            fail(UnexpectedEof); // a strip short of its rows would shift the rest
    }
    if (!sink.complete())
        fail(UnexpectedEof);
}

} // namespace

QByteArray TifToBitmapFile(QByteArrayView tif)
{
    const TifPicture picture(tif);
    const int bits = picture.bits();
    const int colours = picture.colours();
    const std::uint64_t stride = picture.stride();
    const std::uint64_t paletteBytes = 4 * std::uint64_t(colours);
    const std::uint64_t pixelBytes = stride * picture.height();
    const std::uint64_t rowsOffset = qv::kBitmapFileHeaderSize + qv::kBitmapInfoHeaderSize + paletteBytes;
    const std::uint64_t fileSize = rowsOffset + pixelBytes;
    if (fileSize > quint32(0xFFFFFFFF) || fileSize > std::uint64_t(std::numeric_limits<qsizetype>::max()))
        fail(FileTooBig);

    QByteArray out(qsizetype(fileSize), '\0');
    auto* file = reinterpret_cast<uchar*>(out.data());
    qv::writeBitmapFileHeader(file, quint32(fileSize), quint32(rowsOffset));
    qv::BitmapInfo info;
    info.width = qint32(picture.width());
    info.height = qint32(picture.height());
    info.bits = bits;
    // 143 pixels a metre is about 3.6 an inch, not a screen's 96 (3780 a
    // metre); bitmaps made from TIFF files have always carried it.
    info.pixelsPerMetre = 143;
    qv::writeBitmapInfoHeader(file + qv::kBitmapFileHeaderSize, info);
    uchar* table = file + qv::kBitmapFileHeaderSize + qv::kBitmapInfoHeaderSize;
    for (int i = 0; i < colours; ++i) {
        const auto& c = picture.palette()[std::size_t(i)];
        qv::writeColourEntry(table + 4 * i, c[0], c[1], c[2]);
    }
    uchar* pixels = table + paletteBytes;
    const std::size_t rowBytes = std::size_t((std::uint64_t(picture.width()) * std::uint64_t(bits) + 7) / 8);
    picture.decode([&](quint32 row, const uchar* bytes) {
        std::memcpy(pixels + std::size_t(picture.height() - 1 - row) * std::size_t(stride), bytes, rowBytes);
    });
    return out;
}

namespace {

QImage tifImage(const TifPicture& picture)
{
    static const quint32 noMasks[4] = {};
    qv::bmp::RowConverter converter;
    converter.setUp(picture.bits(), noMasks, false);
    QImage image(int(picture.width()), int(picture.height()), converter.format());
    if (image.isNull())
        fail(BadBitmap);
    if (picture.colours() > 0) {
        QList<QRgb> table;
        for (int i = 0; i < picture.colours(); ++i) {
            const auto& c = picture.palette()[std::size_t(i)];
            table.append(qRgb(c[0], c[1], c[2]));
        }
        image.setColorTable(table);
    }
    // Rows go straight into the picture: no whole bitmap file is made first.
    picture.decode([&](quint32 row, const uchar* bytes) { converter.convert(bytes, image.scanLine(int(row)), image.width()); });
    return image;
}

} // namespace

void TTifmap::LoadFromBytes(QByteArrayView tif)
{
    const TifPicture picture(tif);
    setBitmap(tifImage(picture), picture.bits());
}

void TTifmap::LoadFromStream(QIODevice& stream)
{
    LoadFromBytes(stream.readAll());
}

void TTifmap::LoadFromFile(const QString& fileName)
{
    QFile file;
    if (!qv::openPictureFile(file, fileName))
        fail(TifNotFound);
    // The file is read whole into memory; beyond 1 GiB that is refused rather
    // than risked (the largest picture accepted holds under 500 MB of rows).
    if (file.size() > kMaxFileBytes)
        fail(FileTooBig);
    LoadFromStream(file);
}

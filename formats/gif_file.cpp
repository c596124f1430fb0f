// Reading and writing GIF files, and the reduction of a picture to indices.
#include "formats/gif_file.h"

#include "formats/gif_progress.h"
#include "formats/picture_file.h"
#include "platform/byte_cursor.h"
#include "platform/limits.h"

#include <QFile>
#include <QHash>
#include <QSaveFile>
#include <cstring>

namespace {

const char kIndexError[] = "Dynamic array index out of bounds";

using qv::ByteCursor;

// A short read ends the reading with the format's own error.
const std::uint8_t* take(ByteCursor& in, std::size_t n)
{
    const std::uint8_t* p = in.take(n);
    if (!p)
        throw EGifFileError(QStringLiteral("Unexpected end of file"));
    return p;
}
std::uint8_t readByte(ByteCursor& in) { return *take(in, 1); }
std::uint16_t readWord(ByteCursor& in) { return qv::le16(take(in, 2)); }

QString hexByte(std::uint8_t v)
{
    return QString::number(v, 16).toUpper().rightJustified(2, QLatin1Char('0'));
}

// What reading may keep in memory; exceeding it ends the reading.
class MemoryBudget {
public:
    explicit MemoryBudget(std::int64_t bytes) : m_left(bytes) {}
    void charge(std::int64_t bytes)
    {
        m_left -= bytes;
        if (m_left < 0)
            throw EGifException(QStringLiteral("Picture too large"));
    }

private:
    std::int64_t m_left;
};

// Rough sizes of the objects kept per image, extension and data block.
constexpr std::int64_t kImageCost = 1024;
constexpr std::int64_t kExtensionCost = 64;
constexpr std::int64_t kBlockCost = 32;

// Data sub-blocks: a length byte, that many bytes, until a length of 0.
QList<QByteArray> readSubBlocks(ByteCursor& in, MemoryBudget& budget)
{
    QList<QByteArray> blocks;
    for (std::uint8_t n = readByte(in); n != 0; n = readByte(in)) {
        budget.charge(kBlockCost + n);
        blocks.append(QByteArray(reinterpret_cast<const char*>(take(in, n)), n));
    }
    return blocks;
}

TExtension readExtension(ByteCursor& in, MemoryBudget& budget)
{
    budget.charge(kExtensionCost);
    TExtension ext;
    const std::uint8_t label = readByte(in);
    ext.label = label;
    auto fixed = [&](std::size_t n) { ext.header = QByteArray(reinterpret_cast<const char*>(take(in, n)), qsizetype(n)); };
    switch (label) {
    case 0xF9:
        ext.kind = TExtension::GraphicControl;
        fixed(6);
        break;
    case 0x01:
        ext.kind = TExtension::PlainText;
        fixed(13);
        ext.subBlocks = readSubBlocks(in, budget);
        break;
    case 0xFF:
        ext.kind = TExtension::Application;
        fixed(12);
        ext.subBlocks = readSubBlocks(in, budget);
        break;
    case 0xFE:
        ext.kind = TExtension::Comment;
        ext.subBlocks = readSubBlocks(in, budget);
        break;
    default:
        // Labels defined later or privately carry the same sub-block chain;
        // only a chain that runs past the end of the data is refused.
        ext.kind = TExtension::Other;
        try {
            ext.subBlocks = readSubBlocks(in, budget);
        } catch (const EGifFileError&) {
            throw EGifException(QStringLiteral("Unrecognized extension block.\r\nCode = $") + hexByte(label));
        }
        break;
    }
    return ext;
}

void readColorTable(ByteCursor& in, TColorTable& table, int count)
{
    std::memcpy(table.entries, take(in, std::size_t(count) * 3), std::size_t(count) * 3);
    table.count = count;
}

void putWord(QByteArray& out, std::uint16_t v)
{
    out.append(char(v & 0xFF));
    out.append(char(v >> 8));
}

void putTable(QByteArray& out, const TColorTable& table)
{
    const int n = std::clamp(table.count, 0, 256);
    out.append(reinterpret_cast<const char*>(table.entries), n * 3);
}

} // namespace

void SetStandardColors(TColorTable& table, int count)
{
    static constexpr std::uint8_t sixteen[16][3] = {
        {0, 0, 0}, {128, 0, 0}, {0, 128, 0}, {128, 128, 0}, {0, 0, 128}, {128, 0, 128}, {0, 128, 128},
        {128, 128, 128}, {192, 192, 192}, {255, 0, 0}, {0, 255, 0}, {255, 255, 0}, {0, 0, 255},
        {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};
    table.count = count;
    if (count == 2) {
        std::memset(table.entries[0], 0, 3);
        std::memset(table.entries[1], 255, 3);
    } else if (count == 16) {
        std::memcpy(table.entries, sixteen, sizeof sixteen);
    } else if (count == 256) {
        for (int i = 0; i < 256; ++i)
            std::memset(table.entries[i], i, 3);
    }
}

int ColorIndex(const TColorTable& table, std::uint32_t color)
{
    const std::uint8_t r = color & 0xFF, g = (color >> 8) & 0xFF, b = (color >> 16) & 0xFF;
    const int n = std::clamp(table.count, 0, 256);
    for (int i = 0; i < n; ++i)
        if (table.entries[i][0] == r && table.entries[i][1] == g && table.entries[i][2] == b)
            return i;
    return -1;
}

static int bitsForColors(int colors)
{
    for (int bits = 1; bits <= 8; ++bits)
        if (colors == 1 << bits)
            return bits;
    return 0;
}

TGifSubImage::TGifSubImage(TGifFile* owner_, int colors) : owner(owner_)
{
    const int bits = bitsForColors(colors);
    if (bits == 0)
        throw EGifException(QStringLiteral("Number of colors (%1) wrong; must be a power of 2").arg(colors));
    bitsPerPixel = std::uint8_t(bits);
    lzwMinCodeSize = std::uint8_t(bits == 1 ? 2 : bits);
    SetStandardColors(colorTable, colors);
    packedFields = computePackedFields();
}

std::uint8_t TGifSubImage::computePackedFields() const
{
    std::uint8_t packed = 0;
    if (localColorTable)
        packed |= 0x80 | ((bitsPerPixel - 1) & 7);
    if (interlaced)
        packed |= 0x40;
    return packed;
}

TGifFile::TGifFile()
{
    SetStandardColors(globalColorTable, 2);
}

TGifFile::~TGifFile() = default;

void TGifFile::LoadFromFile(const QString& fileName)
{
    QFile file;
    if (!qv::openPictureFile(file, fileName))
        throw EGifFileError(QStringLiteral("Cannot open file \"%1\". %2").arg(fileName, file.errorString()));
    const QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw EGifFileError(QStringLiteral("Cannot read file \"%1\". %2").arg(fileName, file.errorString()));
    LoadFromBytes(data);
}

void TGifFile::LoadFromBytes(const QByteArray& data)
{
    images.clear();
    ByteCursor in(data);
    const std::uint8_t* head = take(in, 6);
    signature = QByteArray(reinterpret_cast<const char*>(head), 3);
    version = QByteArray(reinterpret_cast<const char*>(head + 3), 3);
    if (version != "87a" && version != "89a" && version != "87A" && version != "89A")
        throw EGifException(QStringLiteral("Gif Version must be 87a or 89a"));

    screenWidth = readWord(in);
    screenHeight = readWord(in);
    packedFields = readByte(in);
    backgroundColor = readByte(in);
    pixelAspectRatio = readByte(in);
    if (std::int64_t(screenWidth) * screenHeight > qv::kMaxPicturePixels)
        throw EGifException(QStringLiteral("Picture too large"));
    globalColorTableFlag = packedFields & 0x80;
    bitsPerPixel = std::uint8_t((packedFields & 7) + 1);
    globalColorTable.count = 1 << bitsPerPixel;
    if (globalColorTableFlag)
        readColorTable(in, globalColorTable, globalColorTable.count);

    MemoryBudget budget(m_memoryBudget);
    std::uint8_t introducer = readByte(in);
    while (introducer != ';') { // each pass consumes bytes, so the data ends it
        std::vector<TExtension> extensions;
        while (introducer == '!') {
            extensions.push_back(readExtension(in, budget));
            introducer = readByte(in);
        }
        if (introducer == ';')
            break;
        if (introducer != ',')
            throw EGifException(QStringLiteral("Unrecognized block.\r\nCode = $") + hexByte(introducer));

        auto image = std::make_unique<TGifSubImage>(this, globalColorTable.count);
        image->extensions = std::move(extensions);
        image->left = readWord(in);
        image->top = readWord(in);
        image->width = readWord(in);
        image->height = readWord(in);
        image->packedFields = readByte(in);
        const std::int64_t area = std::int64_t(image->width) * image->height;
        if (area > qv::kMaxPicturePixels)
            throw EGifException(QStringLiteral("Picture too large"));
        budget.charge(kImageCost + area);
        image->localColorTable = image->packedFields & 0x80;
        image->interlaced = image->packedFields & 0x40;
        image->bitsPerPixel = std::uint8_t((image->packedFields & 7) + 1);
        if (image->localColorTable)
            readColorTable(in, image->colorTable, 1 << image->bitsPerPixel);

        image->lzwMinCodeSize = readByte(in);
        for (std::uint8_t n = readByte(in); n != 0; n = readByte(in)) {
            budget.charge(n);
            image->encodedData.append(take(in, n), n);
        }

        image->pixels = TByteArray2D(image->width, image->height);
        LzwDecode(image->encodedData, image->lzwMinCodeSize, image->interlaced, image->pixels, {});
        images.push_back(std::move(image));
        introducer = readByte(in);
    }
}

// The picture of the first image, its table and resolution set, rows not yet filled.
QImage TGifFile::firstBitmapWithoutPixels() const
{
    if (images.empty())
        throw EGifException(QStringLiteral("No image in the Gif file"));
    const TGifSubImage& image = *images.front();
    const TColorTable& table = image.localColorTable ? image.colorTable : globalColorTable;
    const int w = int(image.pixels.columns()), h = int(image.pixels.rows());
    // An image of no rows or columns reads without error but has nothing to show.
    if (w == 0 || h == 0)
        throw EGifException(QStringLiteral("The first image of the Gif file is empty"));
    QImage bitmap(w, h, QImage::Format_Indexed8);
    if (bitmap.isNull())
        throw EByteArrayError(
            QStringLiteral("error in TBigByteArray.create: Not enough contiguous memory available\r\n"
                           " requested memory block: %1 bytes")
                .arg(qint64(w) * h));
    QList<QRgb> colors(256);
    for (int i = 0; i < 256; ++i)
        colors[i] = qRgb(table.entries[i][0], table.entries[i][1], table.entries[i][2]);
    bitmap.setColorTable(colors);
    bitmap.setDotsPerMeterX(143);
    bitmap.setDotsPerMeterY(143);
    return bitmap;
}

QImage TGifFile::GetBitmap() const
{
    QImage bitmap = firstBitmapWithoutPixels();
    const std::uint8_t* src = images.front()->pixels.bytes().data();
    const std::size_t w = std::size_t(bitmap.width());
    for (int y = 0; y < bitmap.height(); ++y)
        std::memcpy(bitmap.scanLine(y), src + std::size_t(y) * w, w);
    return bitmap;
}

QImage TGifFile::TakeBitmap()
{
    QImage bitmap = firstBitmapWithoutPixels();
    TBigByteArray& pixels = images.front()->pixels.bytes();
    const std::uint8_t* src = pixels.data();
    const std::size_t w = std::size_t(bitmap.width());
    constexpr std::size_t kBand = std::size_t(4) << 20;
    std::size_t released = 0;
    for (int y = 0; y < bitmap.height(); ++y) {
        std::memcpy(bitmap.scanLine(y), src + std::size_t(y) * w, w);
        const std::size_t copied = std::size_t(y + 1) * w;
        if (copied - released >= kBand) {
            pixels.releaseFront(copied);
            released = copied;
        }
    }
    images.front()->pixels = TByteArray2D();
    return bitmap;
}

void TGifFile::AddSubImage(const TColorTable& table, const TByteArray2D& pixels)
{
    auto image = std::make_unique<TGifSubImage>(this, table.count);
    if (pixels.columns() > 65535 || pixels.rows() > 65535)
        throw EGifException(QStringLiteral("Picture too large"));
    // An index beyond the table would be written as a control code.
    const std::size_t n = pixels.bytes().count();
    const std::uint8_t* p = pixels.bytes().data();
    for (std::size_t i = 0; i < n; ++i)
        if (p[i] >= table.count)
            throw EIndexOutOfBounds(QString::fromLatin1(kIndexError));

    if (!images.empty()) {
        image->colorTable = table;
        image->localColorTable = true;
    } else {
        globalColorTable = table;
    }
    while ((1 << bitsPerPixel) < globalColorTable.count && bitsPerPixel < 8)
        ++bitsPerPixel;
    image->packedFields = image->computePackedFields();
    image->pixels = pixels;
    image->width = std::uint16_t(pixels.columns());
    image->height = std::uint16_t(pixels.rows());
    images.push_back(std::move(image));
    const TGifSubImage& added = *images.back();
    screenWidth = std::max(screenWidth, added.width);
    screenHeight = std::max(screenHeight, added.height);
    packedFields = computePackedFields();
}

std::uint8_t TGifFile::computePackedFields() const
{
    int resolution;
    switch (globalColorTable.count) {
    case 2: resolution = 1; break;
    case 16: resolution = 4; break;
    case 256: resolution = 8; break;
    default: throw EGifException(QStringLiteral("unexpected number of colors"));
    }
    return std::uint8_t((globalColorTableFlag ? 0x80 : 0) | (resolution - 1) << 4 | ((bitsPerPixel - 1) & 7));
}

// The image's indices in the order they are coded: row by row, or pass by
// pass for an interlaced image.
static std::vector<std::uint8_t> interlacedOrder(const TByteArray2D& pixels)
{
    const std::size_t w = pixels.columns(), h = pixels.rows();
    std::vector<std::uint8_t> out;
    out.reserve(w * h);
    static constexpr std::size_t start[4] = {0, 4, 2, 1};
    static constexpr std::size_t step[4] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass)
        for (std::size_t y = start[pass]; y < h; y += step[pass])
            out.insert(out.end(), pixels.bytes().data() + y * w, pixels.bytes().data() + (y + 1) * w);
    return out;
}

QByteArray TGifFile::SaveToBytes()
{
    QByteArray out;
    packedFields = computePackedFields();
    out.append(signature.left(3).leftJustified(3, '\0'));
    out.append(version.left(3).leftJustified(3, '\0'));
    putWord(out, screenWidth);
    putWord(out, screenHeight);
    out.append(char(packedFields));
    out.append(char(backgroundColor));
    out.append(char(pixelAspectRatio));
    if (globalColorTableFlag)
        putTable(out, globalColorTable);

    for (const auto& image : images) {
        out.append(',');
        image->encodedData.clear();
        const TByteArray2D& px = image->pixels;
        if (image->interlaced) {
            const std::vector<std::uint8_t> order = interlacedOrder(px);
            LzwEncode(order.data(), order.size(), image->lzwMinCodeSize, image->encodedData, GifProgress);
        } else {
            LzwEncode(px.bytes().data(), px.bytes().count(), image->lzwMinCodeSize, image->encodedData,
                      GifProgress);
        }
        image->packedFields = image->computePackedFields();
        putWord(out, image->left);
        putWord(out, image->top);
        putWord(out, image->width);
        putWord(out, image->height);
        out.append(char(image->packedFields));
        if (image->localColorTable)
            putTable(out, image->colorTable);
        out.append(char(image->lzwMinCodeSize));
        const TByteBuffer& data = image->encodedData;
        for (std::size_t b = 0; b < data.blockCount(); ++b) {
            out.append(char(data.blockSize(b)));
            out.append(reinterpret_cast<const char*>(data.blockData(b)), qsizetype(data.blockSize(b)));
        }
        out.append('\0');
    }
    out.append(';');
    return out;
}

void TGifFile::SaveToFile(const QString& fileName)
{
    const QByteArray bytes = SaveToBytes();
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        throw EGifFileError(QStringLiteral("Cannot create file \"%1\". %2").arg(fileName, file.errorString()));
    if (file.write(bytes) != bytes.size() || !file.commit())
        throw EGifFileError(QStringLiteral("Cannot write file \"%1\". %2").arg(fileName, file.errorString()));
}

void BitmapToIndexed(const QImage& bitmap, TColorTable& table, TByteArray2D& pixels)
{
    table = TColorTable{};
    const int w = bitmap.width(), h = bitmap.height();
    pixels = TByteArray2D(std::size_t(std::max(w, 0)), std::size_t(std::max(h, 0)));
    GifProgress(0.0);
    // Colours are numbered by first appearance; the hash finds the same entry
    // a scan of the table would.
    QHash<QRgb, int> known;
    std::uint8_t* out = pixels.bytes().data();
    const QImage rgb = bitmap.format() == QImage::Format_RGB32 || bitmap.format() == QImage::Format_ARGB32
        ? bitmap
        : bitmap.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < h; ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        for (int x = 0; x < w; ++x) {
            const QRgb colour = line[x] & 0xFFFFFF;
            auto it = known.constFind(colour);
            int index;
            if (it != known.constEnd()) {
                index = *it;
            } else {
                if (table.count >= 256)
                    throw EGifConversionError(QStringLiteral("Too many colors for a Gif picture (more than 256)"));
                index = table.count++;
                table.entries[index][0] = std::uint8_t(qRed(colour));
                table.entries[index][1] = std::uint8_t(qGreen(colour));
                table.entries[index][2] = std::uint8_t(qBlue(colour));
                known.insert(colour, index);
            }
            *out++ = std::uint8_t(index);
        }
        GifProgress(double(y + 1) / double(h));
    }
    // Tables come in 2, 16 or 256 entries; one colour gets a second, unused entry.
    if (table.count == 1)
        table.count = 2;
    else if (table.count >= 3 && table.count <= 16)
        table.count = 16;
    else if (table.count >= 17 && table.count <= 255)
        table.count = 256;
}

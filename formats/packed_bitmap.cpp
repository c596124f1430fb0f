// The packed-bitmap library's front entry, its message table, the result
// block and the shared row and header arithmetic.
#include "formats/packed_bitmap.h"
#include "formats/bmp_decoder.h"
#include "formats/bitmap_header.h"
#include "formats/packed_bitmap_basic.h"
#include "formats/picture_file.h"

#include <QFile>
#include <QFileInfo>
#include <new>
#if __has_include(<sys/mman.h>)
#include <sys/mman.h>
#include <unistd.h>
#endif

QString PackedStatusText(quint16 status)
{
    switch (status) {
    case PackedUserAbort: return QStringLiteral("Funktionsabbruch durch Benutzer.");
    case PackedNoMemory: return QStringLiteral("Nicht genügend Speicher.");
    case PackedCannotLock: return QStringLiteral("Speicher kann nicht fixiert werden.");
    case PackedBadFormat: return QStringLiteral("Das Bild hat ein falsches Format: ");
    case PackedOpenReadFailed: return QStringLiteral("Fehler beim Öffnen zum Lesen, Datei ");
    case PackedOpenWriteFailed: return QStringLiteral("Fehler beim Öffnen zum Schreiben, Datei ");
    case PackedReadError: return QStringLiteral("Lesefehler Datei ");
    case PackedWriteError: return QStringLiteral("Schreibfehler Datei ");
    case PackedFileNotFound: return QStringLiteral("Datei nicht gefunden: ");
    case PackedNotWindowsBitmap: return QStringLiteral("Diese Datei ist keine Windows-Bitmap: ");
    case PackedUnsupportedFormat: return QStringLiteral("Dieses Grafik-Format wird nicht unterstützt: ");
    default: return QString();
    }
}

std::unique_ptr<PackedBitmap> PackedBitmap::allocate(std::size_t size)
{
    if (size < kInfoHeaderSize)
        return nullptr;
    std::unique_ptr<uchar[]> data(new (std::nothrow) uchar[size]());
    if (!data)
        return nullptr;
    return std::unique_ptr<PackedBitmap>(new PackedBitmap(std::move(data), size));
}

using qv::le16;
using qv::le32;

qint32 PackedBitmap::width() const { return qint32(le32(m_data.get() + 4)); }
qint32 PackedBitmap::height() const { return qint32(le32(m_data.get() + 8)); }
quint16 PackedBitmap::bitCount() const { return le16(m_data.get() + 14); }
quint32 PackedBitmap::compression() const { return le32(m_data.get() + 16); }
quint32 PackedBitmap::imageSize() const { return le32(m_data.get() + 20); }
quint32 PackedBitmap::coloursUsed() const { return le32(m_data.get() + 32); }

std::optional<PackedFormat> PackedFormatForFileName(const QString& fileName)
{
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    if (suffix == u"bmp" || suffix == u"dib" || suffix == u"rle")
        return PackedFormat::WindowsBitmap;
    if (suffix == u"tga")
        return PackedFormat::Targa;
    if (suffix == u"pcx")
        return PackedFormat::Pcx;
    return std::nullopt;
}

namespace {

using qv::ByteCursor;
using qv::ReleaseHook;

// The Targa and PCX readers' rows into one packed block.
class BlockRowTarget : public qv::packed::PackedRowTarget {
public:
    bool start(int width, int height, int resultBits, int colours, const qv::packed::Palette& palette) override
    {
        block = qv::packed::makePackedBitmap(width, height, resultBits, colours, palette);
        if (!block)
            return false;
        m_rows = qv::packed::packedPixels(*block);
        m_stride = std::size_t(qv::packed::packedRowBytes(resultBits, std::uint64_t(width)));
        return true;
    }
    uchar* row(int y) override { return m_rows + std::size_t(y) * m_stride; }
    void finish() override {}
    PackedBitmapPtr block;

private:
    uchar* m_rows = nullptr;
    std::size_t m_stride = 0;
};

quint16 readRows(ByteCursor& in, PackedFormat format, qv::packed::PackedRowTarget& target)
{
    return format == PackedFormat::Targa ? qv::packed::readTarga(in, target) : qv::packed::readPcx(in, target);
}

PackedImageResult decodeImage(QByteArrayView file, PackedFormat format, BitmapRules rules, const ReleaseHook* release)
{
    if (format == PackedFormat::WindowsBitmap)
        return qv::bmp::decodeBitmapFile(file, rules, release);
    ByteCursor in(file);
    in.setReleaseHook(release);
    qv::bmp::ImageRowTarget target;
    PackedImageResult result;
    result.status = readRows(in, format, target);
    if (result.status == PackedOk) {
        result.bits = target.bits();
        result.image = target.take();
    }
    return result;
}

// A file mapped for reading whose pages, once decoded, are handed back to the
// system, so that the file and the picture made from it are never held whole
// at once. Where mapping is not possible the file is read into memory.
class MappedPictureFile {
public:
    explicit MappedPictureFile(const QString& fileName) : m_fileName(fileName) {}
    ~MappedPictureFile()
    {
        if (m_mapped)
            m_file.unmap(m_mapped);
    }
    // PackedOk, or why the bytes cannot be had.
    quint16 open()
    {
        if (!qv::openPictureFile(m_file, m_fileName))
            return PackedReadError;
        if (m_file.size() > 0 && (m_mapped = m_file.map(0, m_file.size())))
            return PackedOk;
        try {
            m_copy = m_file.readAll();
        } catch (const std::bad_alloc&) {
            return PackedNoMemory;
        }
        return m_file.error() == QFileDevice::NoError && m_copy.size() == m_file.size() ? PackedOk : PackedReadError;
    }
    QByteArrayView bytes() const
    {
        return m_mapped ? QByteArrayView(m_mapped, m_file.size()) : QByteArrayView(m_copy);
    }
    // Drops the pages wholly before `end` from this process.
    const ReleaseHook* releaseHook() const { return m_mapped ? &m_release : nullptr; }

private:
    void release(std::size_t end)
    {
#if defined(MADV_DONTNEED)
        static const std::size_t page = std::size_t(sysconf(_SC_PAGESIZE));
        const std::size_t upTo = end / page * page;
        if (upTo > m_released) {
            madvise(m_mapped + m_released, upTo - m_released, MADV_DONTNEED);
            m_released = upTo;
        }
#else
        Q_UNUSED(end);
#endif
    }
    QString m_fileName;
    QFile m_file;
    uchar* m_mapped = nullptr;
    QByteArray m_copy;
    std::size_t m_released = 0;
    const ReleaseHook m_release = [this](std::size_t end) { release(end); };
};

} // namespace

PackedReadResult DecodePackedBitmap(QByteArrayView file, PackedFormat format)
{
    if (format == PackedFormat::WindowsBitmap)
        return qv::packed::readWindowsBitmap(file);
    ByteCursor in(file);
    BlockRowTarget target;
    const quint16 status = readRows(in, format, target);
    if (status != PackedOk)
        return qv::packed::failed(status);
    return PackedReadResult{std::move(target.block), PackedOk};
}

PackedImageResult DecodePackedImage(QByteArrayView file, PackedFormat format, BitmapRules rules)
{
    return decodeImage(file, format, rules, nullptr);
}

PackedImageResult ReadPackedImage(const QString& fileName, BitmapRules rules)
{
    PackedImageResult result;
    const std::optional<PackedFormat> format = PackedFormatForFileName(fileName);
    if (!qv::isRegularFile(fileName))
        result.status = PackedFileNotFound;
    else if (!format)
        result.status = PackedUnsupportedFormat;
    if (result.status != PackedOk)
        return result;
    MappedPictureFile file(fileName);
    result.status = file.open();
    if (result.status != PackedOk)
        return result;
    return decodeImage(file.bytes(), *format, rules, file.releaseHook());
}

PackedReadResult ReadPackedBitmap(const QString& fileName, bool readWholeFile)
{
    using qv::packed::failed;
    if (!qv::isRegularFile(fileName))
        return failed(PackedFileNotFound);
    const std::optional<PackedFormat> format = PackedFormatForFileName(fileName);
    if (!format)
        return failed(PackedUnsupportedFormat);

    QFile file;
    if (!qv::openPictureFile(file, fileName))
        return failed(PackedReadError);
    if (!readWholeFile && file.size() > 0) {
        if (uchar* mapped = file.map(0, file.size())) {
            PackedReadResult r = DecodePackedBitmap(
                QByteArrayView(mapped, file.size()), *format);
            file.unmap(mapped);
            return r;
        }
    }
    QByteArray bytes;
    try {
        bytes = file.readAll();
    } catch (const std::bad_alloc&) {
        return failed(PackedNoMemory);
    }
    if (file.error() != QFileDevice::NoError || bytes.size() != file.size())
        return failed(PackedReadError);
    return DecodePackedBitmap(bytes, *format);
}

void FreePackedBitmap(PackedBitmapPtr bitmap)
{
    bitmap.reset();
}

namespace qv::packed {

std::uint64_t packedRowBytes(int bits, std::uint64_t width)
{
    switch (bits) {
    case 1: return ((width + 31) / 32) * 4;
    case 2:
    case 4: return ((width + 7) / 8) * 4;
    case 8: return (width + 3) & ~std::uint64_t(3);
    case 15:
    case 16:
    case 24: return (3 * width + 3) & ~std::uint64_t(3);
    default: return 0;
    }
}

int coloursForBits(int bits)
{
    if (bits < 0 || bits >= 9)
        return 0;
    return (1 << bits) & 0x1FF;
}

PackedBitmapPtr makePackedBitmap(int width, int height, int resultBits, int colours,
                                 const Palette& palette)
{
    // Callers have checked the picture limits, so none of this can overflow.
    const std::uint64_t imageSize = packedRowBytes(resultBits, std::uint64_t(width)) * std::uint64_t(height);
    const std::uint64_t headerSize = PackedBitmap::kInfoHeaderSize + 4 * std::uint64_t(colours);
    PackedBitmapPtr block = PackedBitmap::allocate(std::size_t(headerSize + imageSize));
    if (!block)
        return nullptr;
    uchar* h = block->data();
    qv::BitmapInfo info;
    info.width = width;
    info.height = height;
    info.bits = resultBits;
    info.imageSize = quint32(imageSize);
    info.coloursUsed = quint32(colours);
    qv::writeBitmapInfoHeader(h, info);
    if (resultBits <= 8) {
        uchar* t = h + PackedBitmap::kInfoHeaderSize;
        for (int i = 0; i < colours && i < 256; ++i) {
            const Rgb& c = palette[std::size_t(i)];
            qv::writeColourEntry(t + 4 * i, c.r, c.g, c.b);
        }
    }
    return block;
}

uchar* packedPixels(PackedBitmap& bitmap)
{
    return bitmap.data() + PackedBitmap::kInfoHeaderSize + 4 * std::size_t(bitmap.coloursUsed());
}

} // namespace qv::packed

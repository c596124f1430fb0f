// The packed-bitmap library's front entry, its message table, the result
// block and the shared row and header arithmetic.
#include "formats/packed_bitmap.h"
#include "formats/packed_bitmap_basic.h"

#include <QFile>
#include <QFileInfo>
#include <new>

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

using qv::packed::le16;
using qv::packed::le32;

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

PackedReadResult DecodePackedBitmap(QByteArrayView file, PackedFormat format)
{
    switch (format) {
    case PackedFormat::WindowsBitmap: return qv::packed::readWindowsBitmap(file);
    case PackedFormat::Targa: return qv::packed::readTarga(file);
    case PackedFormat::Pcx: return qv::packed::readPcx(file);
    }
    return qv::packed::failed(PackedUnsupportedFormat);
}

PackedReadResult ReadPackedBitmap(const QString& fileName, bool readWholeFile)
{
    using qv::packed::failed;
    QFileInfo info(fileName);
    if (!info.exists() || !info.isFile())
        return failed(PackedFileNotFound);
    const std::optional<PackedFormat> format = PackedFormatForFileName(fileName);
    if (!format)
        return failed(PackedUnsupportedFormat);

    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
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
    putLe32(h + 0, 40);
    putLe32(h + 4, quint32(width));
    putLe32(h + 8, quint32(height));
    putLe16(h + 12, 1);
    putLe16(h + 14, quint16(resultBits));
    putLe32(h + 16, 0);
    putLe32(h + 20, quint32(imageSize));
    putLe32(h + 32, quint32(colours));
    if (resultBits <= 8) {
        uchar* t = h + PackedBitmap::kInfoHeaderSize;
        for (int i = 0; i < colours && i < 256; ++i) {
            t[4 * i] = palette[std::size_t(i)].b;
            t[4 * i + 1] = palette[std::size_t(i)].g;
            t[4 * i + 2] = palette[std::size_t(i)].r;
        }
    }
    return block;
}

uchar* packedPixels(PackedBitmap& bitmap)
{
    return bitmap.data() + PackedBitmap::kInfoHeaderSize + 4 * std::size_t(bitmap.coloursUsed());
}

} // namespace qv::packed

// The CorelDRAW preview reader: the packed bitmap at a fixed place near the
// start of the drawing, cut to the reader's data block.
#include "formats/cdr_map.h"
#include "formats/dib_image.h"
#include "formats/picture_file.h"
#include "platform/byte_cursor.h"
#include "platform/limits.h"

#include <QByteArray>
#include <QFile>
#include <QIODevice>
#include <algorithm>
#include <cstdint>

namespace {

const char kInvalidPreview[] = "The drawing has no valid preview bitmap";

} // namespace

void TCdrMap::LoadFromBytes(QByteArrayView drawing)
{
    if (drawing.size() < kDataOffset)
        throw EInvalidGraphic(QString::fromLatin1(kInvalidPreview));
    const auto* header = reinterpret_cast<const uchar*>(drawing.data()) + kHeaderOffset;
    const std::int64_t width = qint32(qv::le32(header + 4));
    const std::int64_t signedHeight = qint32(qv::le32(header + 8));
    const std::int64_t height = signedHeight < 0 ? -signedHeight : signedHeight;
    const int bits = qv::le16(header + 14);
    if (!qv::pictureSizeAllowed(width, height))
        throw EInvalidGraphic(QString::fromLatin1(kInvalidPreview));

    // What the header says the colour table and rows take, cut to the data
    // block and to what the file holds.
    const std::uint64_t tableBytes = bits <= 8 ? std::uint64_t(4) << bits : 0;
    const std::uint64_t stride = (std::uint64_t(width) * std::uint64_t(bits) + 31) / 32 * 4;
    const std::uint64_t wanted = tableBytes + stride * std::uint64_t(height);
    // Past 64 data blocks less than 1/64 of the preview could be shown: such a
    // header is refused rather than given a huge, nearly empty bitmap.
    if (wanted > std::uint64_t(kDataBlockSize) * 64)
        throw EInvalidGraphic(QString::fromLatin1(kInvalidPreview));
    const std::uint64_t available = std::uint64_t(drawing.size() - kDataOffset);
    const qsizetype taken = qsizetype(std::min({wanted, std::uint64_t(kDataBlockSize), available}));

    QByteArray block;
    block.reserve(40 + taken);
    block.append(drawing.sliced(kHeaderOffset, 40));
    block.append(drawing.sliced(kDataOffset, taken));
    QImage image = DibToImage(block);
    if (image.isNull())
        throw EInvalidGraphic(QString::fromLatin1(kInvalidPreview));
    setBitmap(std::move(image), bits);
}

void TCdrMap::LoadFromStream(QIODevice& stream)
{
    // Offsets count from the stream's start.
    if (!stream.isSequential())
        stream.seek(0);
    LoadFromBytes(stream.read(kDataOffset + kDataBlockSize));
}

void TCdrMap::LoadFromFile(const QString& fileName)
{
    QFile file;
    if (!qv::openPictureFile(file, fileName))
        throw EInvalidGraphic(QString("Cannot open %1").arg(fileName));
    LoadFromStream(file);
}

// The loading dispatch: one row per extension key, each with its reader and
// the message that replaces any failure of that reader.
#include "formats/picture_loader.h"
#include "formats/anymap.h"
#include "formats/gif_image.h"
#include "formats/jpeg_image.h"
#include "formats/packed_bitmap.h"

#include <QFileInfo>
#include <functional>
#include <new>

namespace {

// A reader: returns the picture (a QImage converts to a plain bitmap picture)
// or throws any std::exception.
using PictureReader = std::function<TPicture(const QString& fileName, const JpegOptions& jpeg)>;

struct PictureFormatRow {
    const char* key;
    PictureReader read;
    const char* failureText;
};

// Windows bitmaps, Targa and PCX through the packed-bitmap library, decoded
// straight into the picture. ".bmp" files take every bitmap variant; ".rle"
// and ".dib" only the 40-byte info header.
TPicture readPackedPicture(const QString& fileName, BitmapRules rules)
{
    PackedImageResult r = ReadPackedImage(fileName, rules);
    if (!r)
        throw EPictureLoad(QString::fromUtf8(kPictureReadErrorText));
    return TPicture(std::move(r.image), r.bits);
}

TPicture readStrictPackedPicture(const QString& fileName, const JpegOptions&)
{
    return readPackedPicture(fileName, BitmapRules::InfoHeaderOnly);
}

// Tested in this order. Formats whose readers live elsewhere join with one row
// each, e.g. {"gif", readGifPicture, kPictureReadErrorText}.
// JPEG through the adapter, set up from the JPEG options and decoded at full
// size into a plain bitmap.
TPicture readJpegPicture(const QString& fileName, const JpegOptions& options)
{
    TJPEGImage jpeg;
    applyJpegOptions(jpeg, options);
    jpeg.LoadFromFile(fileName);
    return TPicture(jpeg.Bitmap());
}

// TIFF files, drawing previews, icons and metafiles through the any-format bitmap, which
// the picture keeps.
TPicture readAnymapPicture(const QString& fileName, const JpegOptions&)
{
    auto anymap = std::make_shared<TAnymap>();
    anymap->LoadFromFile(fileName);
    if (anymap->Empty())
        throw EPictureLoad(QString::fromUtf8(kPictureReadErrorText));
    QImage image = anymap->Bitmap();
    const int bits = anymap->BitsPerPixel();
    return TPicture(std::move(image), std::move(anymap), bits);
}

const PictureFormatRow kPictureFormats[] = {
    {"pcx", readStrictPackedPicture, kPictureUnsupportedText},
    {"tga", readStrictPackedPicture, kPictureUnsupportedText},
    {"rle", readStrictPackedPicture, kPictureUnsupportedText},
    {"dib", readStrictPackedPicture, kPictureUnsupportedText},
    {"gif", [](const QString& f, const JpegOptions&) { return TPicture(LoadGifPicture(f)); }, kPictureReadErrorText},
    {"jpg", readJpegPicture, kPictureReadErrorText},
    {"jpeg", readJpegPicture, kPictureReadErrorText},
    {"bmp", [](const QString& f, const JpegOptions&) { return readPackedPicture(f, BitmapRules::AnyHeader); },
     kPictureReadErrorText},
    {"ico", readAnymapPicture, kPictureReadErrorText},
    {"wmf", readAnymapPicture, kPictureReadErrorText},
    {"emf", readAnymapPicture, kPictureReadErrorText},
    {"tif", readAnymapPicture, kPictureReadErrorText},
    {"cdr", readAnymapPicture, kPictureReadErrorText},
};

} // namespace

QString PictureExtensionKey(const QString& fileName)
{
    const QString name = QFileInfo(fileName).fileName();
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot < 0 ? QString() : name.mid(dot + 1).toLower();
}

bool IsPictureExtension(const QString& key)
{
    static const char* const kKeys[] = {"jpg", "jpeg", "gif", "bmp", "ico", "wmf", "emf",
                                        "tif", "pcx", "cdr", "tga", "rle", "dib"};
    for (const char* k : kKeys)
        if (key == QLatin1String(k))
            return true;
    return false;
}

void LoadPictureFile(const QString& fileName, TPicture& picture, const JpegOptions& jpeg)
{
    const QString key = PictureExtensionKey(fileName);
    for (const PictureFormatRow& row : kPictureFormats) {
        if (key != QLatin1String(row.key))
            continue;
        try {
            picture = row.read(fileName, jpeg);
            return;
        } catch (const std::exception&) {
            // The user sees the dispatch's own text, never the reader's.
            throw EPictureLoad(QString::fromUtf8(row.failureText));
        }
    }
    throw EPictureLoad(QString::fromUtf8(kPictureUnsupportedText));
}

TPicture LoadPictureFile(const QString& fileName, const JpegOptions& jpeg)
{
    TPicture picture;
    LoadPictureFile(fileName, picture, jpeg);
    return picture;
}

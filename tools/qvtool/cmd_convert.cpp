// qvtool convert and info: load a picture through the loading dispatch, then
// write it by the output's extension or print its size and depth.
#include "command.h"
#include "picture_output.h"
#include "catalogue/settings_options.h"
#include "formats/gif_image.h"
#include "formats/jpeg_image.h"
#include "formats/jpeg_options.h"
#include "formats/picture_loader.h"

#include <QImageWriter>
#include <QSaveFile>
#include <functional>
#include <stdexcept>

namespace {

// Writes the picture to an open device; throws std::exception with a message.
using PictureWriter = std::function<void(const TPicture& picture, QIODevice& device)>;

struct PictureWriterRow {
    const char* extension; // lower case, without the dot
    PictureWriter write;
};

PictureWriter qtWriter(const char* format)
{
    return [format](const TPicture& picture, QIODevice& device) {
        QImageWriter writer(&device, format);
        if (!writer.write(picture.image()))
            throw std::runtime_error(writer.errorString().toStdString());
    };
}

// JPEG with the JPEG options of the settings: quality, and one grey
// component when Colori asks for greyscale.
void writeJpeg(const TPicture& picture, QIODevice& device)
{
    TJPEGImage jpeg;
    applyJpegOptions(jpeg, settingsJpegOptions());
    jpeg.Assign(picture.image());
    jpeg.SaveToStream(device);
}

// One row per output format, e.g. {"jpg", writeJpegPicture}.
const PictureWriterRow kWriters[] = {
    {"bmp", qtWriter("bmp")},
    {"png", qtWriter("png")},
    {"gif", [](const TPicture& picture, QIODevice& device) {
         const QByteArray bytes = EncodeGifPicture(picture.image());
         if (device.write(bytes) != bytes.size())
             throw std::runtime_error("cannot write the GIF data");
     }},
    {"jpg", writeJpeg},
    {"jpeg", writeJpeg},
};

const PictureWriterRow* writerFor(const QString& fileName)
{
    const QString key = PictureExtensionKey(fileName);
    for (const PictureWriterRow& row : kWriters)
        if (key == QLatin1String(row.extension))
            return &row;
    return nullptr;
}

QString writerList()
{
    QStringList names;
    for (const PictureWriterRow& row : kWriters)
        names << QString::fromLatin1(row.extension);
    return names.join(", ");
}

} // namespace

bool canWritePicture(const QString& fileName)
{
    if (writerFor(fileName))
        return true;
    qvErr(QString("cannot write '%1': the output extension must be one of %2").arg(fileName, writerList()));
    return false;
}

bool loadPictureForTool(const QString& fileName, TPicture& picture)
{
    try {
        LoadPictureFile(fileName, picture, settingsJpegOptions());
        return true;
    } catch (const EPictureLoad& e) {
        qvErr(QString("%1: %2").arg(fileName, e.message()));
        return false;
    }
}

int writePictureFile(const TPicture& picture, const QString& fileName)
{
    const PictureWriterRow* writer = writerFor(fileName);
    if (!canWritePicture(fileName))
        return ExitFailure;
    // Written beside the target and renamed over it only when complete.
    QSaveFile out(fileName);
    if (!out.open(QIODevice::WriteOnly)) {
        qvErr(QString("cannot write '%1': %2").arg(fileName, out.errorString()));
        return ExitFailure;
    }
    try {
        writer->write(picture, out);
    } catch (const std::exception& e) {
        out.cancelWriting();
        qvErr(QString("cannot write '%1': %2").arg(fileName, QString::fromUtf8(e.what())));
        return ExitFailure;
    }
    if (!out.commit()) {
        qvErr(QString("cannot write '%1': %2").arg(fileName, out.errorString()));
        return ExitFailure;
    }
    return ExitOk;
}

namespace {

int runConvert(const QStringList& args)
{
    if (args.size() != 2) {
        qvErr("convert needs IN and OUT (see qvtool convert --help)");
        return ExitUsage;
    }
    if (!canWritePicture(args[1]))
        return ExitFailure;
    TPicture picture;
    if (!loadPictureForTool(args[0], picture))
        return ExitFailure;
    return writePictureFile(picture, args[1]);
}

int runInfo(const QStringList& args)
{
    if (args.size() != 1) {
        qvErr("info needs one FILE (see qvtool info --help)");
        return ExitUsage;
    }
    try {
        const TPicture picture = LoadPictureFile(args[0], settingsJpegOptions());
        qvOut(QString("width: %1").arg(picture.width()));
        qvOut(QString("height: %1").arg(picture.height()));
        qvOut(QString("bits per pixel: %1").arg(picture.bitsPerPixel()));
        return ExitOk;
    } catch (const EPictureLoad& e) {
        qvErr(QString("%1: %2").arg(args[0], e.message()));
        return ExitFailure;
    }
}

const QvtoolCommand convertCommand(
    "convert", "load a picture file and write it as another format",
    "usage: qvtool convert IN OUT\n"
    "Loads IN the way the program does (the reader is chosen by IN's extension:\n"
    "bmp, dib, rle, tga, pcx, gif, jpg, jpeg, tif, cdr, ico) and writes OUT in the\n"
    "format of its extension: bmp, png, gif, jpg or jpeg.\n"
    "OUT is replaced only when the new file is complete.",
    runConvert);

const QvtoolCommand infoCommand(
    "info", "print a picture file's width, height and bits per pixel",
    "usage: qvtool info FILE\n"
    "Loads FILE the way the program does and prints its width, height and bits\n"
    "per pixel, one per line.",
    runInfo);

} // namespace

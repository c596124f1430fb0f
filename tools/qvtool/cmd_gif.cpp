// qvtool gif-info: reads a GIF file the way the program does and describes it.
#include "command.h"

#include "formats/gif_file.h"

#include <QFileInfo>

namespace {

QString yesNo(bool b) { return b ? QStringLiteral("yes") : QStringLiteral("no"); }

int gifInfo(const QStringList& args)
{
    if (args.size() != 1) {
        qvErr("gif-info needs exactly one FILE (see qvtool gif-info --help)");
        return ExitUsage;
    }
    TGifFile gif;
    gif.LoadFromFile(args[0]);
    const QImage first = gif.GetBitmap();

    qvOut(QStringLiteral("file: %1").arg(QFileInfo(args[0]).fileName()));
    qvOut(QStringLiteral("version: %1%2").arg(QString::fromLatin1(gif.signature), QString::fromLatin1(gif.version)));
    qvOut(QStringLiteral("screen: %1 x %2, packed 0x%3, background %4, aspect %5")
              .arg(gif.screenWidth)
              .arg(gif.screenHeight)
              .arg(gif.packedFields, 2, 16, QLatin1Char('0'))
              .arg(gif.backgroundColor)
              .arg(gif.pixelAspectRatio));
    qvOut(QStringLiteral("global table: %1, %2 colours")
              .arg(yesNo(gif.globalColorTableFlag))
              .arg(gif.globalColorTable.count));
    qvOut(QStringLiteral("images: %1").arg(gif.images.size()));
    int n = 0;
    for (const auto& image : gif.images) {
        qvOut(QStringLiteral("image %1: at %2,%3 size %4 x %5, packed 0x%6, interlaced %7, local table %8, "
                             "%9 bits, code size %10, %11 data bytes, %12 extensions")
                  .arg(++n)
                  .arg(image->left)
                  .arg(image->top)
                  .arg(image->width)
                  .arg(image->height)
                  .arg(image->packedFields, 2, 16, QLatin1Char('0'))
                  .arg(yesNo(image->interlaced), yesNo(image->localColorTable))
                  .arg(image->bitsPerPixel)
                  .arg(image->lzwMinCodeSize)
                  .arg(image->encodedData.count())
                  .arg(image->extensions.size()));
    }
    qvOut(QStringLiteral("shown: %1 x %2, 8 bits").arg(first.width()).arg(first.height()));
    return ExitOk;
}

const QvtoolCommand gifInfoCommand(
    "gif-info", "describe a GIF file: version, screen, tables and images",
    "usage: qvtool gif-info FILE\n"
    "\n"
    "Reads FILE as the program reads a GIF file (every image is decoded) and\n"
    "prints its version, logical screen, global colour table and, for each\n"
    "image, position, size, flags, bits per pixel, LZW code size, data bytes\n"
    "and extension count. Exits 1 with the reader's message when the file\n"
    "cannot be read.",
    gifInfo);

} // namespace

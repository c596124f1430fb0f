// qvtool thumbs and cache: the read-folder command and the cache files of a folder.
#include "command.h"

#include "catalogue/thumbnail_catalogue.h"
#include "platform/settings.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>

namespace {

int sizeOption(QStringList& args, int fallback)
{
    const qsizetype i = args.indexOf("--size");
    if (i < 0)
        return fallback;
    if (i + 1 >= args.size())
        return -1;
    const QString v = args[i + 1];
    args.remove(i, 2);
    return v == "1" || v == "2" || v == "3" ? v.toInt() : -1;
}

int runThumbs(const QStringList& given)
{
    QStringList args = given;
    const int size = sizeOption(args, 2);
    const bool rebuild = args.removeAll("--rebuild") > 0;
    const bool noEmbedded = args.removeAll("--no-embedded") > 0;
    if (size < 0 || args.size() != 1 || args[0].startsWith("--")) {
        qvErr("usage: qvtool thumbs DIR [--size 1|2|3] [--rebuild] [--no-embedded]");
        return ExitUsage;
    }
    // Absolute: reading the folder makes it the current directory.
    const QString dir = QFileInfo(args[0]).absoluteFilePath();
    if (!ThumbnailCatalogue::folderExists(dir)) {
        qvErr(QString("%1: not a folder").arg(dir));
        return ExitFailure;
    }
    Configurazione.Dimensione = size;
    Configurazione.SvuotaLista = true;
    Configurazione.SalvaThumb = !rebuild; // a present cache pair is used unless rebuilding
    if (noEmbedded)
        Configurazione.MiniatureIncorporate = false;
    startupObjects().paintFrames(Configurazione.BkCol, Configurazione.BdCol);
    ThumbnailCatalogue catalogue;
    catalogue.chooseImageList(size);
    QElapsedTimer timer;
    timer.start();
    catalogue.readFolder(dir);
    const double read = timer.nsecsElapsed() / 1e9;
    if (catalogue.SalvaMiniature(dir) == ThumbnailCatalogue::CacheSave::Unwritable) {
        qvErr(QString("%1: the thumbnail cache cannot be written there").arg(dir));
        return ExitFailure;
    }
    const double seconds = timer.nsecsElapsed() / 1e9;
    qvOut(QString("%1 pictures in %2 s").arg(catalogue.model().count()).arg(seconds, 0, 'f', 3));
    qvOut(QString("read %1 s, cache written %2 s").arg(read, 0, 'f', 3).arg(seconds - read, 0, 'f', 3));
    return ExitOk;
}

int runCache(const QStringList& given)
{
    QStringList args = given;
    QString stripOut;
    const qsizetype s = args.indexOf("--strip");
    if (s >= 0) {
        if (s + 1 >= args.size()) {
            qvErr("usage: qvtool cache DIR [--strip OUT.png]");
            return ExitUsage;
        }
        stripOut = args[s + 1];
        args.remove(s, 2);
    }
    if (args.size() != 1 || args[0].startsWith("--")) {
        qvErr("usage: qvtool cache DIR [--strip OUT.png]");
        return ExitUsage;
    }
    const QString dir = QFileInfo(args[0]).absoluteFilePath();
    if (!QFile::exists(ThumbnailCatalogue::cacheImagesName(dir)) || !QFile::exists(ThumbnailCatalogue::cacheTextsName(dir))) {
        qvErr(QString("%1: no thumbnail cache (qvthimgs.thi and qvthtxts.tht)").arg(dir));
        return ExitFailure;
    }
    ThumbnailCatalogue catalogue;
    catalogue.CaricaMiniature(dir);
    const ThumbnailListModel& m = catalogue.model();
    for (int row = 0; row < m.count(); ++row) {
        const ThumbnailRecord& r = m.item(row);
        QStringList fields;
        fields << QString(r.Caption).replace('\r', "\\r") << QString::number(r.ImageIndex);
        fields << r.SubItems;
        qvOut(fields.join('\t'));
    }
    if (!stripOut.isEmpty()) {
        const ImageList* list = catalogue.currentList();
        const int n = list->count(), side = list->size();
        QImage strip(4 * side, side * std::max(1, (n + 3) / 4), QImage::Format_RGB32);
        strip.fill(Qt::black);
        QPainter p(&strip);
        for (int i = 0; i < n; ++i)
            p.drawImage(side * (i % 4), side * (i / 4), list->at(i));
        p.end();
        if (!strip.save(stripOut, "PNG")) {
            qvErr(QString("%1: cannot write the strip").arg(stripOut));
            return ExitFailure;
        }
    }
    return ExitOk;
}

const QvtoolCommand thumbs("thumbs", "read a folder into thumbnails and write its cache files",
                           "usage: qvtool thumbs DIR [--size 1|2|3] [--rebuild] [--no-embedded]\n"
                           "Reads every picture of DIR into thumbnails of 60, 90 or 120 pixels (size 1, 2, 3;\n"
                           "default 2), using the folder's cache files when both are present unless --rebuild,\n"
                           "and the thumbnails stored in photographs' Exif data unless --no-embedded,\n"
                           "then writes qvthimgs.thi and qvthtxts.tht into DIR. Prints the picture count and\n"
                           "the time taken, then the time of the reading and of the cache writing apart.",
                           runThumbs);
const QvtoolCommand cache("cache", "list the records of a folder's thumbnail cache",
                          "usage: qvtool cache DIR [--strip OUT.png]\n"
                          "Loads qvthimgs.thi and qvthtxts.tht of DIR and prints one line per record:\n"
                          "caption (its CR written as \\r), image index and the six sub-texts (path,\n"
                          "format, pixel size, bytes, date, loaded flag), separated by tabs.\n"
                          "--strip writes the loaded thumbnails as a PNG, four to a row.",
                          runCache);

} // namespace

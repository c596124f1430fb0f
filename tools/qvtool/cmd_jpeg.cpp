// qvtool jpeg-decode and jpeg-encode: the JPEG adapter with the JPEG options of
// the settings, writing and reading PPM/PGM so results compare with djpeg/cjpeg.
#include "command.h"

#include "formats/jpeg_image.h"
#include "formats/jpeg_options.h"

#include <QImage>
#include <QMap>
#include <QSaveFile>

namespace {

// Parses "--name value" pairs and bare flags; returns false on a bad argument.
struct Args {
    QStringList positional;
    QMap<QString, int> values;
    QStringList flags;
};

bool parse(const QStringList& args, const QStringList& valueNames, const QStringList& flagNames, Args& out)
{
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (valueNames.contains(a)) {
            bool ok = false;
            const int v = i + 1 < args.size() ? args[i + 1].toInt(&ok) : 0;
            if (!ok) {
                qvErr(QString("%1 needs a number").arg(a));
                return false;
            }
            out.values[a] = v;
            ++i;
        } else if (flagNames.contains(a)) {
            out.flags << a;
        } else if (a.startsWith("--")) {
            qvErr(QString("unknown option %1").arg(a));
            return false;
        } else {
            out.positional << a;
        }
    }
    return true;
}

// Binary PPM, or PGM for a greyscale picture, from a decoded picture.
QByteArray toPnm(const QImage& image, bool grey)
{
    QByteArray out = QByteArray(grey ? "P5\n" : "P6\n") + QByteArray::number(image.width()) + ' '
        + QByteArray::number(image.height()) + "\n255\n";
    const QVector<QRgb> table = image.colorTable();
    for (int y = 0; y < image.height(); ++y) {
        const uchar* row = image.constScanLine(y);
        for (int x = 0; x < image.width(); ++x) {
            QRgb c;
            if (image.format() == QImage::Format_Indexed8)
                c = row[x] < table.size() ? table[row[x]] : 0;
            else
                c = image.pixel(x, y);
            if (grey) {
                out.append(char(qRed(c)));
            } else {
                out.append(char(qRed(c)));
                out.append(char(qGreen(c)));
                out.append(char(qBlue(c)));
            }
        }
    }
    return out;
}

bool greyPalette(const QImage& image)
{
    if (image.format() != QImage::Format_Indexed8)
        return false;
    const QVector<QRgb> table = image.colorTable();
    return std::all_of(table.begin(), table.end(),
                       [](QRgb c) { return qRed(c) == qGreen(c) && qGreen(c) == qBlue(c); });
}

bool writeAtomically(const QString& path, const QByteArray& bytes)
{
    QSaveFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size() && f.commit();
}

JPEGScale scaleOf(int denom)
{
    switch (denom) {
    case 2: return jsHalf;
    case 4: return jsQuarter;
    case 8: return jsEighth;
    default: return jsFullSize;
    }
}

int runDecode(const QStringList& args)
{
    Args a;
    if (!parse(args, {"--scale", "--colori", "--quant", "--dither"},
               {"--thumbnail", "--nosmooth", "--progressive-display"}, a))
        return ExitUsage;
    if (a.positional.size() != 2) {
        qvErr("expected IN.jpg and OUT.ppm (see qvtool jpeg-decode --help)");
        return ExitUsage;
    }
    const int denom = a.values.value("--scale", 1);
    if (denom != 1 && denom != 2 && denom != 4 && denom != 8) {
        qvErr("--scale takes 1, 2, 4 or 8");
        return ExitUsage;
    }
    JpegOptions o;
    o.Colori = a.values.value("--colori", o.Colori);
    o.Quantizzazione = a.values.value("--quant", o.Quantizzazione);
    o.Dithering = a.values.value("--dither", o.Dithering);

    QImage image;
    QSize fileSize;
    bool grey;
    if (a.flags.contains("--thumbnail")) {
        JpegThumbnailDecoder decoder(o.Colori);
        const JpegThumbnail t = decoder.decodeFile(a.positional[0]);
        image = t.image;
        fileSize = t.fileSize;
        grey = o.Colori == 2 || greyPalette(image);
    } else {
        TJPEGImage jpeg;
        applyJpegOptions(jpeg, o);
        jpeg.setScale(scaleOf(denom));
        jpeg.setSmoothing(!a.flags.contains("--nosmooth"));
        jpeg.setProgressiveDisplay(a.flags.contains("--progressive-display"));
        jpeg.LoadFromFile(a.positional[0]);
        image = jpeg.Bitmap();
        fileSize = QSize(jpeg.Data().Width(), jpeg.Data().Height());
        grey = jpeg.Grayscale() || jpeg.Data().Grayscale();
    }
    if (!writeAtomically(a.positional[1], toPnm(image, grey))) {
        qvErr(QString("cannot write %1").arg(a.positional[1]));
        return ExitFailure;
    }
    qvOut(QString("%1x%2 %3 from %4x%5")
              .arg(image.width())
              .arg(image.height())
              .arg(image.format() == QImage::Format_Indexed8
                       ? QString("8-bit, %1 colours").arg(image.colorCount())
                       : QString("24-bit"))
              .arg(fileSize.width())
              .arg(fileSize.height()));
    return ExitOk;
}

int runEncode(const QStringList& args)
{
    Args a;
    if (!parse(args, {"--quality", "--colori"}, {"--grey", "--progressive"}, a))
        return ExitUsage;
    if (a.positional.size() != 2) {
        qvErr("expected IN and OUT.jpg (see qvtool jpeg-encode --help)");
        return ExitUsage;
    }
    QImage picture(a.positional[0]);
    if (picture.isNull()) {
        qvErr(QString("cannot read %1").arg(a.positional[0]));
        return ExitFailure;
    }
    JpegOptions o;
    o.Qualita = a.values.value("--quality", o.Qualita);
    o.Colori = a.flags.contains("--grey") ? 2 : a.values.value("--colori", o.Colori);
    TJPEGImage jpeg;
    applyJpegOptions(jpeg, o);
    jpeg.setProgressiveEncoding(a.flags.contains("--progressive"));
    jpeg.Assign(picture);
    jpeg.SaveToFile(a.positional[1]);
    return ExitOk;
}

const QvtoolCommand decodeCommand(
    "jpeg-decode", "decode a JPEG file with the JPEG options to PPM/PGM",
    "usage: qvtool jpeg-decode IN.jpg OUT.ppm [--scale 1|2|4|8] [--colori N] [--quant N] [--dither N]\n"
    "                          [--nosmooth] [--progressive-display] [--thumbnail]\n"
    "Decodes IN with the JPEG adapter set up from the options (Colori 0 full colour,\n"
    "1 256 colours, 2 greyscale; Quant 0/1 one or two passes; Dither 0 none,\n"
    "1 ordered, 2 Floyd-Steinberg) and writes a binary PPM, or a PGM for greyscale\n"
    "output. --thumbnail decodes as the thumbnail maker does (quarter scale, fast).\n"
    "Prints the decoded size and the file's own size.",
    runDecode);

const QvtoolCommand encodeCommand(
    "jpeg-encode", "write a picture as JPEG with the JPEG options",
    "usage: qvtool jpeg-encode IN OUT.jpg [--quality N] [--colori N] [--grey] [--progressive]\n"
    "Reads IN (PPM, PGM, BMP or another format Qt reads) and writes it as a JPEG file:\n"
    "--quality from 1 to 100 (default 90; the low byte of larger values), --grey or\n"
    "--colori 2 for a one-component greyscale file, --progressive for a progressive one.",
    runEncode);

} // namespace

// qvtool convert and info on TIFF files, drawing previews and icons, and on
// cut, mutated and random ".tif" and ".cdr" files, which never crash it.
#include "support/testutil.h"

#include <QDir>
#include <QImage>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace qvtest;

namespace {

bool haveConvert() { return !QStandardPaths::findExecutable("convert").isEmpty(); }

bool imageMagick(const QStringList& args)
{
    QProcess p;
    p.start("convert", args);
    return p.waitForFinished(120000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// A drawing whose preview is 3 x 2 at 8 bits: the info header at 34, the
// colour table and rows at 74.
QByteArray drawing()
{
    QByteArray d(34, '\0');
    const auto le = [&d](quint32 v, int n) {
        for (int i = 0; i < n; ++i)
            d.append(char(v >> (8 * i)));
    };
    le(40, 4), le(3, 4), le(2, 4), le(1, 2), le(8, 2);
    d.append(QByteArray(24, '\0'));
    for (int i = 0; i < 256; ++i)
        le(quint32(i) * 0x010101, 4);
    d.append(QByteArray::fromHex("102030004050600000"));
    return d;
}

} // namespace

TEST(QvtoolConvertTif, ConvertsAndDescribesTheMapFormats)
{
    QTemporaryDir dir;
    writeFile(dir.filePath("d.cdr"), drawing());
    ToolResult r = runQvtool({"info", dir.filePath("d.cdr")});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_EQ(r.out, "width: 3\nheight: 2\nbits per pixel: 8\n");
    r = runQvtool({"convert", dir.filePath("d.cdr"), dir.filePath("d.png")});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    const QImage cdr(dir.filePath("d.png"));
    EXPECT_EQ(cdr.pixel(0, 0), qRgb(0x40, 0x40, 0x40)); // top row is the last stored
    EXPECT_EQ(cdr.pixel(2, 1), qRgb(0x30, 0x30, 0x30));

    if (!haveConvert())
        GTEST_SKIP() << "convert is not installed (scripts/bootstrap installs it)";
    const QString tif = dir.filePath("p.TIF");
    ASSERT_TRUE(imageMagick({"-size", "20x10", "gradient:red-blue", "-colors", "12", "-type", "Palette", "-depth",
                             "4", "-compress", "LZW", tif}));
    r = runQvtool({"info", tif});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_EQ(r.out, "width: 20\nheight: 10\nbits per pixel: 4\n");
    r = runQvtool({"convert", tif, dir.filePath("p.bmp")});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_EQ(QImage(dir.filePath("p.bmp")).size(), QSize(20, 10));

    const QString ico = dir.filePath("i.ico");
    ASSERT_TRUE(imageMagick({"-size", "64x64", "xc:teal", "-define", "icon:auto-resize=64,32,16", ico}));
    r = runQvtool({"convert", ico, dir.filePath("i.png")});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    const QImage icon(dir.filePath("i.png"));
    EXPECT_EQ(icon.size(), QSize(32, 32));
    EXPECT_EQ(icon.pixel(5, 5), qRgb(0, 128, 128));

    writeFile(dir.filePath("bad.tif"), "II*\0\x08\0\0\0\x01\0\x03\x01\x03\0\x01\0\0\0\x07\0\0\0");
    r = runQvtool({"convert", dir.filePath("bad.tif"), dir.filePath("bad.png")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("Errore nella lettura del file")) << r.err.constData();
}

TEST(QvtoolConvertTif, DamagedAndRandomFilesNeverCrash)
{
    QTemporaryDir dir;
    QRandomGenerator random(7319);
    std::vector<std::pair<QString, QByteArray>> samples{{"cdr", drawing()}};
    if (haveConvert()) {
        for (const char* compression : {"LZW", "RLE", "None"}) {
            const QString path = dir.filePath(QString("s_%1.tif").arg(compression));
            imageMagick({"-size", "17x9", "-seed", "5", "plasma:", "-depth", "8", "-compress", compression, path});
            samples.emplace_back("tif", readFile(path));
        }
    }
    const QString out = dir.filePath("out.png");
    int runs = 0;
    const auto check = [&](const QString& ext, const QByteArray& bytes) {
        const QString in = dir.filePath("f." + ext);
        writeFile(in, bytes);
        const ToolResult r = runQvtool({"convert", in, out});
        ++runs;
        EXPECT_TRUE(r.exitCode == 0 || (r.exitCode == 1 && r.err.contains("Errore")))
            << qPrintable(ext) << " " << bytes.size() << " bytes: exit " << r.exitCode << " " << r.err.constData();
    };
    for (const auto& [ext, bytes] : samples) {
        for (int cut : {0, 2, 8, 20, 60, 73, 74, 100})
            if (cut < bytes.size())
                check(ext, bytes.left(cut));
        check(ext, bytes.left(bytes.size() / 2));
        check(ext, bytes.left(bytes.size() - 20));
        for (int m = 0; m < 8; ++m) {
            QByteArray mutated = bytes;
            for (int k = 0; k < 6; ++k)
                mutated[random.bounded(int(mutated.size()))] = char(random.bounded(256));
            check(ext, mutated);
        }
    }
    for (const char* ext : {"tif", "cdr"}) {
        QByteArray noise(2000, '\0');
        for (char& c : noise)
            c = char(random.bounded(256));
        check(ext, noise);
        check(ext, (QString(ext) == "tif" ? QByteArray("MM\0*", 4) : QByteArray(34, '\0')) + noise);
    }
    EXPECT_GT(runs, 20);
}

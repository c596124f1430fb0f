// qvtool convert and info: pictures in and out, messages and exit statuses,
// and truncated or random files under every picture extension.
#include "support/testutil.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace qvtest;

namespace {

// 5 x 3 top-origin 24-bit Targa with distinct pixels.
QByteArray sampleTga()
{
    QByteArray b(18, '\0');
    b[2] = 2;
    b[12] = 5;
    b[14] = 3;
    b[16] = 24;
    b[17] = 0x20;
    for (int i = 0; i < 15; ++i) {
        b.append(char(i * 10));      // blue
        b.append(char(255 - i * 10)); // green
        b.append(char(i * 17));      // red
    }
    return b;
}

QRgb samplePixel(int x, int y)
{
    const int i = y * 5 + x;
    return qRgb(i * 17, 255 - i * 10, i * 10);
}

} // namespace

TEST(QvtoolConvert, WritesPngAndBmpByExtension)
{
    QTemporaryDir dir;
    const QString in = dir.filePath("in.tga");
    writeFile(in, sampleTga());
    for (const char* name : {"out.png", "out.BMP"}) {
        SCOPED_TRACE(name);
        const QString out = dir.filePath(name);
        const ToolResult r = runQvtool({"convert", in, out});
        ASSERT_EQ(r.exitCode, 0) << r.err.constData();
        QImage written(out, QByteArray(name).endsWith("png") ? "png" : "bmp");
        ASSERT_EQ(written.size(), QSize(5, 3));
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 5; ++x)
                EXPECT_EQ(written.pixel(x, y) & 0xFFFFFF, samplePixel(x, y) & 0xFFFFFF);
    }
    // Nothing but the two outputs is left behind.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 3);

    const ToolResult info = runQvtool({"info", in});
    EXPECT_EQ(info.exitCode, 0);
    EXPECT_EQ(info.out, "width: 5\nheight: 3\nbits per pixel: 24\n");
}

TEST(QvtoolConvert, FailuresGiveTheMessageAndKeepTheOldOutput)
{
    QTemporaryDir dir;
    const QString out = dir.filePath("keep.png");
    writeFile(out, "previous");
    writeFile(dir.filePath("a.jpe"), "x");
    writeFile(dir.filePath("bad.pcx"), QByteArray(200, '\x07'));

    ToolResult r = runQvtool({"convert", dir.filePath("a.jpe"), out});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("Errore: formato non supportato")) << r.err.constData();
    r = runQvtool({"convert", dir.filePath("bad.pcx"), out});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("Errore: formato non supportato"));
    r = runQvtool({"info", dir.filePath("missing.bmp")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("Errore nella lettura del file"));
    EXPECT_EQ(readFile(out), "previous");

    writeFile(dir.filePath("in.tga"), sampleTga());
    r = runQvtool({"convert", dir.filePath("in.tga"), dir.filePath("out.xyz")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("bmp, png"));
    EXPECT_FALSE(QFile::exists(dir.filePath("out.xyz")));
    r = runQvtool({"convert", dir.filePath("in.tga")});
    EXPECT_EQ(r.exitCode, 2);
}

// qvtool convert and info: pictures in and out, messages and exit statuses.
#include "support/test_pictures.h"
#include "support/testutil.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace qvtest;

TEST(QvtoolConvert, WritesPngAndBmpByExtension)
{
    QTemporaryDir dir;
    const QString in = dir.filePath("in.bmp");
    const QImage picture = patternImage(5, 3);
    ASSERT_TRUE(picture.save(in, "BMP"));
    for (const char* name : {"out.png", "out.BMP"}) {
        SCOPED_TRACE(name);
        const QString out = dir.filePath(name);
        const ToolResult r = runQvtool({"convert", in, out});
        ASSERT_EQ(r.exitCode, 0) << r.err.constData();
        EXPECT_EQ(QImage(out, QByteArray(name).endsWith("png") ? "png" : "bmp").convertToFormat(QImage::Format_RGB32),
                  picture);
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

    ToolResult r;
    for (const char* in : {"a.jpe", "bad.pcx"}) {
        r = runQvtool({"convert", dir.filePath(in), out});
        EXPECT_EQ(r.exitCode, 1) << in;
        EXPECT_TRUE(r.err.contains("Errore: formato non supportato")) << r.err.constData();
    }
    r = runQvtool({"info", dir.filePath("missing.bmp")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("Errore nella lettura del file"));
    EXPECT_EQ(readFile(out), "previous");

    patternImage(4, 4).save(dir.filePath("in.bmp"), "BMP");
    r = runQvtool({"convert", dir.filePath("in.bmp"), dir.filePath("out.xyz")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("bmp, png"));
    EXPECT_FALSE(QFile::exists(dir.filePath("out.xyz")));
    r = runQvtool({"convert", dir.filePath("in.bmp")});
    EXPECT_EQ(r.exitCode, 2);
}

// qvtool jpeg-decode and jpeg-encode: output as djpeg's, and broken ".jpg"
// files end in a clean error, never a crash.
#include "formats/jpeg_fixtures.h"
#include "support/testutil.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace jpegtest;
using qvtest::runQvtool;

TEST(QvtoolJpeg, DecodesAsDjpegAndEncodesRoundTrip)
{
    if (!haveTool("djpeg"))
        GTEST_SKIP() << "djpeg not installed";
    QTemporaryDir dir;
    const QString ppm = dir.filePath("in.ppm"), jpg = dir.filePath("a.jpg"), out = dir.filePath("out.pnm");
    qvtest::writeFile(ppm, toPpm(makePicture(161, 99)));
    ASSERT_EQ(runQvtool({"jpeg-encode", ppm, jpg, "--quality", "80"}).exitCode, 0);
    const QByteArray file = qvtest::readFile(jpg);

    struct Case {
        QStringList ours, djpeg;
    };
    for (const Case& c : {Case{{}, {}},
                          Case{{"--scale", "2", "--colori", "1"}, {"-scale", "1/2", "-colors", "236"}},
                          Case{{"--thumbnail"}, {"-scale", "1/4", "-dct", "fast"}}}) {
        SCOPED_TRACE(c.ours.join(' ').toStdString());
        const qvtest::ToolResult r = runQvtool(QStringList{"jpeg-decode", jpg, out} + c.ours);
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        EXPECT_TRUE(qvtest::readFile(out) == runTool("djpeg", c.djpeg, file));
    }
    const qvtest::ToolResult thumb = runQvtool({"jpeg-decode", jpg, out, "--thumbnail"});
    EXPECT_TRUE(thumb.out.startsWith("41x25 24-bit from 161x99")) << thumb.out.toStdString();

    ASSERT_EQ(runQvtool({"jpeg-encode", ppm, jpg, "--grey", "--progressive"}).exitCode, 0);
    EXPECT_EQ(componentCount(qvtest::readFile(jpg)), 1);
}

TEST(QvtoolJpeg, BrokenFilesFailCleanly)
{
    QTemporaryDir dir;
    const QString ppm = dir.filePath("in.ppm"), jpg = dir.filePath("good.jpg"), out = dir.filePath("out.pnm");
    qvtest::writeFile(ppm, toPpm(makePicture(40, 30)));
    ASSERT_EQ(runQvtool({"jpeg-encode", ppm, jpg, "--progressive"}).exitCode, 0);
    const QByteArray good = qvtest::readFile(jpg);

    QRandomGenerator random(7);
    std::vector<QByteArray> broken;
    for (int cut : {0, 1, 2, 20, 100, int(good.size() / 2), int(good.size() - 1)})
        broken.push_back(good.left(cut));
    for (int i = 0; i < 4; ++i) {
        QByteArray noise(200 + i * 300, Qt::Uninitialized);
        for (char& b : noise)
            b = char(random.bounded(256));
        broken.push_back(i % 2 ? noise : good.left(4) + noise); // with and without a start marker
    }
    const QString bad = dir.filePath("bad.jpg");
    for (const QByteArray& bytes : broken) {
        qvtest::writeFile(bad, bytes);
        for (const QStringList& mode : {QStringList{}, QStringList{"--colori", "1", "--scale", "8"},
                                        QStringList{"--thumbnail", "--colori", "2"}}) {
            const qvtest::ToolResult r = runQvtool(QStringList{"jpeg-decode", bad, out} + mode);
            EXPECT_TRUE(r.exitCode == 0 || r.exitCode == 1) << r.exitCode << r.err.toStdString();
            if (r.exitCode == 1) {
                EXPECT_TRUE(r.err.contains("qvtool: JPEG error #")) << r.err.toStdString();
            }
        }
    }

    const qvtest::ToolResult missing = runQvtool({"jpeg-decode", dir.filePath("none.jpg"), out});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_TRUE(missing.err.contains("Cannot open file"));
    EXPECT_EQ(runQvtool({"jpeg-decode", jpg}).exitCode, 2);
    EXPECT_EQ(runQvtool({"jpeg-decode", jpg, out, "--scale", "3"}).exitCode, 2);
    EXPECT_EQ(runQvtool({"jpeg-encode", ppm, jpg, "--quality"}).exitCode, 2);
}

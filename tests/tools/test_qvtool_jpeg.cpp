// qvtool jpeg-decode and jpeg-encode: output as djpeg's, and broken ".jpg"
// files end in a clean error, never a crash.
#include "formats/jpeg_fixtures.h"
#include "support/testutil.h"

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

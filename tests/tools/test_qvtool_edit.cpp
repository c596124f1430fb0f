// qvtool edit against the edits worked out pixel by pixel, on
// the pictures as the program loads them, and its usage errors.
#include "support/test_pictures.h"
#include "support/testutil.h"

#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace qvtest;

TEST(QvtoolEdit, EveryEditAndASequenceMatchTheArithmetic)
{
    QTemporaryDir dir;
    const QImage base = patternImage(45, 37);
    // Inputs of 24 and 8 bits, and a GIF written by the tool; the depths themselves are the
    // processing tests' part.
    base.save(dir.filePath("rgb.bmp"), "BMP");
    base.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither).save(dir.filePath("pal.bmp"), "BMP");
    ASSERT_EQ(runQvtool({"convert", dir.filePath("pal.bmp"), dir.filePath("pal.gif")}).exitCode, 0);

    // Each edit alone is checked against the same description in the processing tests.
    const QList<QStringList> runs = {{"flip-v"}, {"rotate-right", "grey", "flip-h", "lighten", "lighten", "darken"}};
    for (const char* input : {"rgb.bmp", "pal.bmp", "pal.gif"}) {
        // The picture as the program loads it, read back by Qt's decoder.
        const QString loaded = dir.filePath(QString(input) + ".loaded.bmp");
        ASSERT_EQ(runQvtool({"convert", dir.filePath(input), loaded}).exitCode, 0);
        const QImage start(loaded, "BMP");
        for (const QStringList& ops : runs) {
            SCOPED_TRACE(QString("%1: %2").arg(input, ops.join(' ')).toStdString());
            const QString out = dir.filePath("out.bmp");
            const ToolResult r = runQvtool(QStringList{"edit", dir.filePath(input), out} + ops);
            ASSERT_EQ(r.exitCode, 0) << r.err.constData();
            QImage want = start;
            for (const QString& op : ops)
                want = editedByHand(want, op);
            const QImage got = QImage(out, "BMP").convertToFormat(QImage::Format_RGB32);
            ASSERT_EQ(got, want.convertToFormat(QImage::Format_RGB32));
        }
    }
}

TEST(QvtoolEdit, UsageAndFailures)
{
    QTemporaryDir dir;
    patternImage(4, 4).save(dir.filePath("a.bmp"), "BMP");
    EXPECT_EQ(runQvtool({"edit", dir.filePath("a.bmp"), dir.filePath("o.bmp")}).exitCode, 2);
    const ToolResult bad = runQvtool({"edit", dir.filePath("a.bmp"), dir.filePath("o.bmp"), "blur"});
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_TRUE(bad.err.contains("rotate-left"));
    EXPECT_EQ(runQvtool({"edit", dir.filePath("missing.bmp"), dir.filePath("o.bmp"), "grey"}).exitCode, 1);
    EXPECT_EQ(runQvtool({"edit", dir.filePath("a.bmp"), dir.filePath("o.xyz"), "grey"}).exitCode, 1);
    EXPECT_FALSE(QFile::exists(dir.filePath("o.bmp")));
}

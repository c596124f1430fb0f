// qvtool gif-info: describes a good file and fails cleanly on a missing one
// (damaged and random files are the fuzz target's part).
#include "support/testutil.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// One white pixel: clear, 0, end in 3-bit codes.
const QByteArray kOnePixel("GIF89a\x01\x00\x01\x00\x80\x00\x00\xFF\xFF\xFF\x00\x00\x00"
                           ",\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02\x44\x01\x00;",
                           35);

// A failure is exit 1 with the reader's message; a crash or a sanitizer
// report is not.
void expectCleanFailure(const qvtest::ToolResult& r, const std::string& what)
{
    EXPECT_EQ(r.exitCode, 1) << what << "\n" << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("qvtool: ")) << what << "\n" << r.err.toStdString();
    EXPECT_FALSE(r.err.contains("Sanitizer")) << what << "\n" << r.err.toStdString();
}

} // namespace

TEST(GifTool, DescribesAFile)
{
    QTemporaryDir dir;
    const QString file = dir.filePath("one.gif");
    qvtest::writeFile(file, kOnePixel);
    const auto r = qvtest::runQvtool({"gif-info", file});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("version: GIF89a"));
    EXPECT_TRUE(r.out.contains("screen: 1 x 1, packed 0x80"));
    EXPECT_TRUE(r.out.contains("images: 1"));
    EXPECT_TRUE(r.out.contains("image 1: at 0,0 size 1 x 1"));
    expectCleanFailure(qvtest::runQvtool({"gif-info", dir.filePath("missing.gif")}), "missing file");
}

// qvtool gif-info: describes good files, and fails cleanly on truncated,
// damaged and random ones.
#include "support/testutil.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <random>

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
    EXPECT_EQ(qvtest::runQvtool({"gif-info"}).exitCode, 2);
    EXPECT_EQ(qvtest::runQvtool({"gif-info", "--help"}).exitCode, 0);
    expectCleanFailure(qvtest::runQvtool({"gif-info", dir.filePath("missing.gif")}), "missing file");
}

TEST(GifTool, TruncatedDamagedAndRandomFilesFailCleanly)
{
    QTemporaryDir dir;
    QByteArray good = kOnePixel;
    const QString convert = QStandardPaths::findExecutable("convert");
    if (!convert.isEmpty()) {
        const QString made = dir.filePath("made.gif");
        ASSERT_EQ(QProcess::execute(convert, {"-size", "40x30", "plasma:", "-colors", "64", "-interlace", "GIF",
                                              made}),
                  0);
        good = qvtest::readFile(made);
    }
    const QString file = dir.filePath("bad.gif");
    std::mt19937 rng(42);
    std::vector<QByteArray> inputs;
    for (int i = 0; i < 24; ++i) // truncations across the whole file
        inputs.push_back(good.left(int(good.size() * i / 24)));
    for (int i = 0; i < 24; ++i) { // a few bytes changed
        QByteArray b = good;
        for (int k = 0; k < 3; ++k)
            b[int(rng() % unsigned(b.size()))] = char(rng());
        inputs.push_back(b);
    }
    for (int i = 0; i < 12; ++i) { // noise behind a valid header
        QByteArray b = good.left(13);
        for (int k = 0; k < 200; ++k)
            b.append(char(rng()));
        inputs.push_back(b);
    }
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        qvtest::writeFile(file, inputs[i]);
        const auto r = qvtest::runQvtool({"gif-info", file});
        if (r.exitCode == 0)
            continue; // a changed byte may leave a valid file
        expectCleanFailure(r, "input " + std::to_string(i));
    }
}

// qvtool compress / decompress: files, exit statuses and messages (hostile
// streams are the fuzz targets' part).
#include "catalogue/lzrw1codec.h"
#include "support/testutil.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <random>

using qvtest::readFile;
using qvtest::runQvtool;
using qvtest::writeFile;

namespace {

QByteArray sampleData()
{
    QByteArray b;
    std::mt19937 rng(3);
    for (int i = 0; b.size() < 150000; ++i) {
        b += "row " + QByteArray::number(i) + ": ";
        b += QByteArray(int(rng() % 40), char('a' + rng() % 26));
        b += char(rng());
    }
    return b;
}

bool qvtoolBuilt()
{
    return QFileInfo(qvtest::binaryDir() + "/qvtool").isExecutable();
}

} // namespace

TEST(Lzrw1Tool, CompressesAndExpandsFiles)
{
    ASSERT_TRUE(qvtoolBuilt()) << "build the qvtool target first";
    QTemporaryDir dir;
    const QString in = dir.filePath("in.bin"), packed = dir.filePath("packed"), back = dir.filePath("back.bin");
    const QByteArray data = sampleData();
    writeFile(in, data);
    const std::pair<const char*, TCompressMode> modes[] = {{"fast", TCompressMode::Fast},
                                                           {"good", TCompressMode::Good}};
    for (const auto& [name, mode] : modes) {
        auto r = runQvtool({"compress", "--mode", name, in, packed});
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        // The same bytes as the codec writes in memory.
        EXPECT_EQ(readFile(packed), lzrw1::compress(data, mode));
        const qint64 p = QFileInfo(packed).size() * 100 / data.size();
        EXPECT_EQ(r.out.trimmed(), QString("%1 : Lzrw1 : successfully compressed at %2%").arg(in).arg(p).toUtf8());
        r = runQvtool({"decompress", packed, back});
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        EXPECT_EQ(readFile(back), data);
    }
    auto r = runQvtool({"compress", "--mode", "auto", in, packed});
    ASSERT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.out.startsWith("Lzrw1 recommends ")) << r.out.toStdString();
    r = runQvtool({"compress", in, packed}); // FAST unless told otherwise
    EXPECT_EQ(readFile(packed).left(4), "WRZL");
}

TEST(Lzrw1Tool, FailuresGiveTheMessageAndStatusOne)
{
    ASSERT_TRUE(qvtoolBuilt());
    QTemporaryDir dir;
    const QString in = dir.filePath("plain.txt"), out = dir.filePath("out.bin");
    writeFile(in, "plain text, no header");
    auto r = runQvtool({"decompress", in, out});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err.trimmed().split('\n').last(),
              ("qvtool: " + in + " : Lzrw1 decompression : this file has no valid header !").toUtf8());
    EXPECT_FALSE(QFile::exists(out));

    r = runQvtool({"compress", dir.filePath("missing"), out});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("Lzrw1 (de)compression : Failed to open input file : ")) << r.err.toStdString();

    EXPECT_EQ(runQvtool({"compress", "--mode", "best", in, out}).exitCode, 2);
    EXPECT_EQ(runQvtool({"compress", in}).exitCode, 2);
    EXPECT_EQ(runQvtool({"decompress", in, out, "extra"}).exitCode, 2);
}

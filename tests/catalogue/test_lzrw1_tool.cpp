// qvtool compress / decompress: files, exit statuses and messages (hostile
// streams are the fuzz targets' part).
#include "catalogue/lzrw1codec.h"
#include "support/sample_data.h"
#include "support/testutil.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using qvtest::readFile;
using qvtest::runQvtool;

TEST(Lzrw1Tool, CompressesAndExpandsFilesAndReportsFailures)
{
    ASSERT_TRUE(QFileInfo(qvtest::binaryDir() + "/qvtool").isExecutable()) << "build the qvtool target first";
    QTemporaryDir dir;
    const QString in = dir.filePath("in.bin"), packed = dir.filePath("packed"), back = dir.filePath("back.bin");
    const QByteArray data = qvtest::patternBytes(150000, 3);
    qvtest::writeFile(in, data);
    for (const auto& [name, mode] : {std::pair{"fast", TCompressMode::Fast}, {"good", TCompressMode::Good}}) {
        auto r = runQvtool({"compress", "--mode", name, in, packed});
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        EXPECT_EQ(readFile(packed), lzrw1::compress(data, mode)); // the bytes the codec writes in memory
        const qint64 p = QFileInfo(packed).size() * 100 / data.size();
        EXPECT_EQ(r.out.trimmed(), QString("%1 : Lzrw1 : successfully compressed at %2%").arg(in).arg(p).toUtf8());
        r = runQvtool({"decompress", packed, back});
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        EXPECT_EQ(readFile(back), data);
    }
    EXPECT_TRUE(runQvtool({"compress", "--mode", "auto", in, packed}).out.startsWith("Lzrw1 recommends "));
    runQvtool({"compress", in, packed}); // FAST unless told otherwise
    EXPECT_EQ(readFile(packed).left(4), "WRZL");

    // Failures: the codec's message and status 1; wrong arguments: status 2.
    const auto r = runQvtool({"decompress", in, back});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err.trimmed().split('\n').last(),
              ("qvtool: " + in + " : Lzrw1 decompression : this file has no valid header !").toUtf8());
    EXPECT_EQ(readFile(back), data);
    EXPECT_EQ(runQvtool({"compress", dir.filePath("missing"), back}).exitCode, 1);
    for (const QStringList& wrong : {QStringList{"compress", "--mode", "best", in, back}, QStringList{"compress", in},
                                     QStringList{"decompress", in, back, "extra"}})
        EXPECT_EQ(runQvtool(wrong).exitCode, 2) << wrong.join(' ').toStdString();
}

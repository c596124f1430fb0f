// The compressor's codec: the status line, Advise, file and stream modes, which failure each
// misuse raises, and the same through qvtool (hostile streams are the fuzz targets' part).
#include "catalogue/lzrw1codec.h"
#include "support/sample_data.h"
#include "support/testutil.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <functional>

using qvtest::readFile;
using qvtest::runQvtool;
using qvtest::writeFile;

namespace {

QByteArray textBytes(int n)
{
    QByteArray b;
    for (int i = 0; b.size() < n; ++i)
        b += "line " + QByteArray::number(i % 97) + " of a thumbnail cache text\r\n";
    b.truncate(n);
    return b;
}

std::string errorOf(const std::function<void()>& call) { return qvtest::messageOf<ELzrw1Exception>(call); }

// A codec in stream mode between two buffers.
struct StreamRig {
    QBuffer in;
    QByteArray written;
    QBuffer out{&written};
    Lzrw1Codec codec;

    explicit StreamRig(const QByteArray& input, TCompressMode mode = TCompressMode::Good)
    {
        in.setData(input);
        in.open(QIODevice::ReadOnly);
        out.open(QIODevice::WriteOnly);
        codec.setUseStream(true);
        codec.setInputStream(&in);
        codec.setOutputStream(&out);
        codec.setCompressMode(mode);
    }
};

// Length of one FAST block of these bytes, as a whole stream of one short block shows it.
qint64 fastBlockLength(const QByteArray& bytes)
{
    const QByteArray s = lzrw1::compress(bytes, TCompressMode::Fast);
    return quint8(s[8]) | quint8(s[9]) << 8;
}

} // namespace

TEST(Tlzrw1, StatusGivesRunningTotalsPerBlockAndBuffer)
{
    const QByteArray data = textBytes(70000);
    StreamRig rig(data, TCompressMode::Fast);
    QStringList seen;
    rig.codec.setStatusHandler([&](const QString& t) { seen << t; });
    const qint64 written = rig.codec.Compress();
    EXPECT_EQ(written, rig.written.size());
    const qint64 b1 = fastBlockLength(data.left(32768)), b2 = fastBlockLength(data.mid(32768, 32768));
    const qint64 b3 = fastBlockLength(data.mid(65536));
    EXPECT_EQ(seen, (QStringList{
                        QString("(LZRW1/KH) Bytes in : 32768 Bytes out : %1").arg(8 + 2 + b1),
                        QString("(LZRW1/KH) Bytes in : 65536 Bytes out : %1").arg(8 + 4 + b1 + b2),
                        QString("(LZRW1/KH) Bytes in : 70000 Bytes out : %1").arg(8 + 6 + b1 + b2 + b3),
                        QString("Lzrw1 : inputstream successfully compressed at %1%").arg(written * 100 / 70000),
                    }));
    EXPECT_EQ(rig.codec.lastStatus(), seen.last());
}

TEST(Tlzrw1, AdviseJudgesTwoSampleBlocksAgainstTheThreshold)
{
    // A small input: GOOD, and the mode is set to it.
    StreamRig small(textBytes(50000), TCompressMode::Auto);
    small.codec.Compress();
    EXPECT_EQ(small.written.left(4), "!HZL");
    EXPECT_EQ(small.codec.CompressMode(), TCompressMode::Good);
    EXPECT_EQ(lzrw1::decompress(small.written), textBytes(50000));

    // 300000 bytes: the samples start at 98304 and 196608.
    const QByteArray noise = qvtest::randomBytes(300000, 1);
    QByteArray onlySamplesNoisy(300000, 'a'), allButSamplesNoisy = noise;
    for (const int at : {98304, 196608}) {
        onlySamplesNoisy.replace(at, 32768, noise.mid(at, 32768));
        allButSamplesNoisy.replace(at, 32768, textBytes(32768));
    }
    StreamRig noisy(onlySamplesNoisy, TCompressMode::Auto);
    EXPECT_EQ(noisy.codec.Advise(), TCompressMode::Good);
    EXPECT_EQ(noisy.codec.lastStatus(), "Lzrw1 recommends GOOD compression : 100%.");
    EXPECT_EQ(noisy.codec.CompressMode(), TCompressMode::Auto); // only small inputs change it

    StreamRig plain(allButSamplesNoisy);
    plain.in.seek(1234);
    const qint64 c = 2 * fastBlockLength(textBytes(32768));
    EXPECT_EQ(plain.codec.Advise(), TCompressMode::Fast);
    EXPECT_EQ(plain.codec.lastStatus(), QString("Lzrw1 recommends FAST compression : %1%.").arg(c * 100 / 65536));
    EXPECT_EQ(plain.in.pos(), 1234);
    plain.codec.setThreshold(int(c * 100 / 65536)); // c >= threshold x t / 100: GOOD
    EXPECT_EQ(plain.codec.Advise(), TCompressMode::Good);

    // The smallest input that is sampled: a high threshold favours FAST.
    StreamRig edge(qvtest::randomBytes(98304, 2));
    edge.codec.setThreshold(1000);
    EXPECT_EQ(edge.codec.Advise(), TCompressMode::Fast);
}

TEST(Tlzrw1, FileModeRoundTripsAndFailuresKeepEarlierOutput)
{
    QTemporaryDir dir;
    const QString plain = dir.filePath("strip.bmp"), packed = dir.filePath("qvthimgs.thi"),
                  back = dir.filePath("back.bmp"), missing = dir.filePath("missing.bin"),
                  noFolder = dir.filePath("no/such/folder/out.bin");
    const QByteArray data = textBytes(120000);
    writeFile(plain, data);
    Lzrw1Codec c;
    for (TCompressMode mode : {TCompressMode::Fast, TCompressMode::Good, TCompressMode::Auto}) {
        c.setCompressMode(mode);
        c.setInputFile(plain);
        c.setOutputFile(packed);
        const qint64 n = c.Compress();
        EXPECT_EQ(n, QFileInfo(packed).size());
        c.setInputFile(packed);
        c.setOutputFile(back);
        EXPECT_EQ(c.Decompress(), data.size());
        EXPECT_EQ(readFile(back), data);
    }

    c.setCompressMode(TCompressMode::Fast);
    const std::string openInput = "Lzrw1 (de)compression : Failed to open input file : ";
    c.setInputFile(missing);
    EXPECT_EQ(errorOf([&] { c.Compress(); }), openInput + missing.toStdString());
    EXPECT_EQ(errorOf([&] { c.Decompress(); }), openInput + missing.toStdString());
    EXPECT_EQ(errorOf([&] { c.Advise(); }), "Lzrw1 advise : can open input file : " + missing.toStdString());
    c.setInputFile(plain);
    c.setOutputFile(noFolder);
    EXPECT_EQ(errorOf([&] { c.Compress(); }),
              "Lzrw1 (de)compression : Failed to open output file : " + noFolder.toStdString());
    // A wrong identifier is refused with the earlier output file left as it was.
    c.setOutputFile(back);
    EXPECT_EQ(errorOf([&] { c.Decompress(); }),
              (plain + " : Lzrw1 decompression : this file has no valid header !").toStdString());
    EXPECT_EQ(readFile(back), data);
}

TEST(Tlzrw1, StreamFailures)
{
    StreamRig rig("not a compressed stream", TCompressMode::Fast);
    EXPECT_EQ(errorOf([&] { rig.codec.Decompress(); }), "Lzrw1 decompression : input stream contains no valid header !");
    EXPECT_TRUE(rig.written.isEmpty());
    rig.in.seek(0);
    rig.codec.setInputStream(nullptr);
    EXPECT_EQ(errorOf([&] { rig.codec.Compress(); }), "Lzrw1 (de)compression : Failed to initialize input stream !");
    EXPECT_EQ(errorOf([&] { rig.codec.Advise(); }), "Lzrw1 edvise : can not initialize the input stream!");
    rig.codec.setInputStream(&rig.in);
    rig.out.close();
    EXPECT_EQ(errorOf([&] { rig.codec.Decompress(); }), "Lzrw1 (de)compression : Failed to initialize output stream !");
    rig.out.open(QIODevice::ReadOnly);
    EXPECT_EQ(errorOf([&] { rig.codec.Compress(); }), "Lzrw1 : Error writing to output stream !");

    // The stream is compressed from its position on; the stored size says as much.
    StreamRig part(textBytes(5000), TCompressMode::Fast);
    part.in.seek(1000);
    part.codec.Compress();
    EXPECT_EQ(lzrw1::decompress(part.written), textBytes(5000).mid(1000));
}

TEST(Tlzrw1, OneCallAtATime)
{
    StreamRig outer(textBytes(100000), TCompressMode::Fast);
    StreamRig inner(textBytes(1000));
    std::string nested;
    outer.codec.setIdleHandler([&] {
        if (nested.empty())
            nested = errorOf([&] { inner.codec.Compress(); });
    });
    outer.codec.Compress();
    EXPECT_EQ(nested, "Lzrw1 : another compression or decompression is running !");
    EXPECT_TRUE(inner.written.isEmpty());
    EXPECT_EQ(lzrw1::decompress(outer.written), textBytes(100000));
    // Once the call is over, the next one runs.
    inner.codec.Compress();
    EXPECT_EQ(lzrw1::decompress(inner.written), textBytes(1000));
}

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

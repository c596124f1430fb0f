// The compressor's codec: properties, the status line, Advise, file and stream
// modes, and the texts of their failures.
#include "catalogue/lzrw1codec.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include "support/testutil.h"

#include <gtest/gtest.h>
#include <random>

using qvtest::readFile;
using qvtest::writeFile;

namespace {

QByteArray randomBytes(int n, unsigned seed)
{
    std::mt19937 rng(seed);
    QByteArray b(n, '\0');
    for (auto& c : b)
        c = char(rng());
    return b;
}

QByteArray textBytes(int n)
{
    QByteArray b;
    for (int i = 0; b.size() < n; ++i)
        b += "line " + QByteArray::number(i % 97) + " of a thumbnail cache text\r\n";
    b.truncate(n);
    return b;
}

// The message of the ELzrw1Exception that call raises.
template <class Call>
std::string errorOf(Call call)
{
    try {
        call();
    } catch (const ELzrw1Exception& e) {
        return e.what();
    }
    return "(no error)";
}

// A codec in stream mode between two buffers.
struct StreamRig {
    QBuffer in;
    QByteArray written;
    QBuffer out{&written};
    Lzrw1Codec codec;

    explicit StreamRig(const QByteArray& input)
    {
        in.setData(input);
        in.open(QIODevice::ReadOnly);
        out.open(QIODevice::WriteOnly);
        codec.setUseStream(true);
        codec.setInputStream(&in);
        codec.setOutputStream(&out);
    }
};

// Length of one FAST block of these bytes, as a whole stream of one short block shows it.
qint64 fastBlockLength(const QByteArray& bytes)
{
    const QByteArray s = lzrw1::compress(bytes, TCompressMode::Fast);
    return quint8(s[8]) | quint8(s[9]) << 8;
}

} // namespace

TEST(Tlzrw1, StreamModeStatusTexts)
{
    const QByteArray data = textBytes(70000);
    StreamRig rig(data);
    rig.codec.setCompressMode(TCompressMode::Fast);
    rig.codec.Compress();
    const qint64 p = rig.written.size() * 100 / data.size();
    EXPECT_EQ(rig.codec.lastStatus(), QString("Lzrw1 : inputstream successfully compressed at %1%").arg(p));

    StreamRig back(rig.written);
    EXPECT_EQ(back.codec.Decompress(), data.size());
    EXPECT_EQ(back.written, data);
    const qint64 q = data.size() * 100 / rig.written.size();
    EXPECT_EQ(back.codec.lastStatus(), QString("LZrw1 : inputstream successfully decompressed at %1%").arg(q));
}

TEST(Tlzrw1, StatusGivesRunningTotalsPerBlockAndBuffer)
{
    const QByteArray data = textBytes(70000);
    StreamRig rig(data);
    QStringList seen;
    rig.codec.setStatusHandler([&](const QString& t) { seen << t; });
    rig.codec.setCompressMode(TCompressMode::Fast);
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

    StreamRig good(data);
    seen.clear();
    good.codec.setStatusHandler([&](const QString& t) { seen << t; });
    good.codec.Compress();
    ASSERT_GE(seen.size(), 3);
    EXPECT_EQ(seen[0], "(LZH) Bytes in : 32768 Bytes out : 8");
    EXPECT_EQ(seen[seen.size() - 2], QString("(LZH) Bytes in : 70000 Bytes out : %1").arg(good.written.size()));
}

TEST(Tlzrw1, AutoOnASmallInputChoosesGoodAndKeepsIt)
{
    StreamRig rig(textBytes(50000));
    rig.codec.setCompressMode(TCompressMode::Auto);
    QStringList seen;
    rig.codec.setStatusHandler([&](const QString& t) { seen << t; });
    rig.codec.Compress();
    EXPECT_EQ(rig.written.left(4), "!HZL");
    EXPECT_EQ(rig.codec.CompressMode(), TCompressMode::Good);
    ASSERT_GE(seen.size(), 2);
    EXPECT_EQ(seen[0], "Guessing the best compression mode for the inputstream");
    EXPECT_EQ(seen[1], "Lzrw1 recommends GOOD compression :  small file !!");
    EXPECT_EQ(lzrw1::decompress(rig.written), textBytes(50000));
}

TEST(Tlzrw1, AdviseJudgesTwoSampleBlocksAgainstTheThreshold)
{
    // 300000 bytes: the samples start at 98304 and 196608.
    const QByteArray noise = randomBytes(300000, 1);
    QByteArray onlySamplesNoisy(300000, 'a');
    onlySamplesNoisy.replace(98304, 32768, noise.mid(98304, 32768));
    onlySamplesNoisy.replace(196608, 32768, noise.mid(196608, 32768));
    QByteArray allButSamplesNoisy = noise;
    allButSamplesNoisy.replace(98304, 32768, textBytes(32768));
    allButSamplesNoisy.replace(196608, 32768, textBytes(32768));

    {
        StreamRig rig(onlySamplesNoisy);
        rig.codec.setCompressMode(TCompressMode::Auto);
        EXPECT_EQ(rig.codec.Advise(), TCompressMode::Good);
        EXPECT_EQ(rig.codec.lastStatus(), "Lzrw1 recommends GOOD compression : 100%.");
        EXPECT_EQ(rig.codec.CompressMode(), TCompressMode::Auto); // only small inputs change it
    }
    {
        StreamRig rig(allButSamplesNoisy);
        rig.in.seek(1234);
        const qint64 c = 2 * fastBlockLength(textBytes(32768));
        EXPECT_EQ(rig.codec.Advise(), TCompressMode::Fast);
        EXPECT_EQ(rig.codec.lastStatus(), QString("Lzrw1 recommends FAST compression : %1%.").arg(c * 100 / 65536));
        EXPECT_EQ(rig.in.pos(), 1234);
        rig.codec.setThreshold(int(c * 100 / 65536)); // c >= threshold x t / 100: GOOD
        EXPECT_EQ(rig.codec.Advise(), TCompressMode::Good);
    }
    {
        // The smallest input that is sampled; a high threshold favours FAST.
        StreamRig rig(randomBytes(98304, 2));
        EXPECT_EQ(rig.codec.Advise(), TCompressMode::Good);
        rig.codec.setThreshold(1000);
        EXPECT_EQ(rig.codec.Advise(), TCompressMode::Fast);
        EXPECT_EQ(rig.codec.lastStatus(), "Lzrw1 recommends FAST compression : 100%.");
    }
}

TEST(Tlzrw1, FileModeRoundTripAndTexts)
{
    QTemporaryDir dir;
    const QString plain = dir.filePath("strip.bmp"), packed = dir.filePath("qvthimgs.thi"),
                  back = dir.filePath("back.bmp");
    const QByteArray data = textBytes(120000);
    writeFile(plain, data);

    Lzrw1Codec codec;
    codec.setInputFile(plain);
    codec.setOutputFile(packed);
    for (TCompressMode mode : {TCompressMode::Fast, TCompressMode::Good, TCompressMode::Auto}) {
        codec.setCompressMode(mode);
        const qint64 n = codec.Compress();
        EXPECT_EQ(n, QFileInfo(packed).size());
        EXPECT_EQ(codec.lastStatus(), QString("%1 : Lzrw1 : successfully compressed at %2%").arg(plain).arg(n * 100 / 120000));
        codec.setInputFile(packed);
        codec.setOutputFile(back);
        EXPECT_EQ(codec.Decompress(), data.size());
        EXPECT_EQ(codec.lastStatus(),
                  QString("%1 : Lzrw1 : successfully decompressed at %2%").arg(packed).arg(120000 * 100 / n));
        EXPECT_EQ(readFile(back), data);
        codec.setInputFile(plain);
        codec.setOutputFile(packed);
    }
}

TEST(Tlzrw1, FailuresCarryTheirTexts)
{
    QTemporaryDir dir;
    const QString missing = dir.filePath("missing.bin"), out = dir.filePath("out.bin"),
                  noFolder = dir.filePath("no/such/folder/out.bin"), plain = dir.filePath("plain.txt");
    writeFile(plain, "not a compressed stream");

    Lzrw1Codec files;
    files.setInputFile(missing);
    files.setOutputFile(out);
    files.setCompressMode(TCompressMode::Fast);
    EXPECT_EQ(errorOf([&] { files.Compress(); }),
              ("Lzrw1 (de)compression : Failed to open input file : " + missing).toStdString());
    EXPECT_EQ(errorOf([&] { files.Decompress(); }),
              ("Lzrw1 (de)compression : Failed to open input file : " + missing).toStdString());
    EXPECT_EQ(errorOf([&] { files.Advise(); }), ("Lzrw1 advise : can open input file : " + missing).toStdString());
    files.setInputFile(plain);
    files.setOutputFile(noFolder);
    EXPECT_EQ(errorOf([&] { files.Compress(); }),
              ("Lzrw1 (de)compression : Failed to open output file : " + noFolder).toStdString());
    // A wrong identifier is refused before anything is written.
    files.setOutputFile(out);
    EXPECT_EQ(errorOf([&] { files.Decompress(); }),
              (plain + " : Lzrw1 decompression : this file has no valid header !").toStdString());
    EXPECT_FALSE(QFile::exists(out));
    // A failure leaves an earlier output file as it was.
    writeFile(out, "earlier content");
    EXPECT_NE(errorOf([&] { files.Decompress(); }), "(no error)");
    EXPECT_EQ(readFile(out), "earlier content");

    StreamRig rig("not a compressed stream");
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
    rig.codec.setCompressMode(TCompressMode::Fast);
    EXPECT_EQ(errorOf([&] { rig.codec.Compress(); }), "Lzrw1 : Error writing to output stream !");
    rig.in.close();
    EXPECT_EQ(errorOf([&] { rig.codec.Decompress(); }), "Lzrw1 (de)compression : Failed to initialize input stream !");
    EXPECT_EQ(errorOf([&] { rig.codec.Advise(); }), "Lzrw1 edvise : can not initialize the input stream!");
}

TEST(Tlzrw1, CompressionStoresTheBytesItReads)
{
    // The stream is read from its position on; the stored size says as much.
    const QByteArray data = textBytes(5000);
    StreamRig rig(data);
    rig.in.seek(1000);
    rig.codec.setCompressMode(TCompressMode::Fast);
    rig.codec.Compress();
    EXPECT_EQ(lzrw1::decompress(rig.written), data.mid(1000));
}

TEST(Tlzrw1, OneCallAtATime)
{
    StreamRig outer(textBytes(100000));
    StreamRig inner(textBytes(1000));
    outer.codec.setCompressMode(TCompressMode::Fast);
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

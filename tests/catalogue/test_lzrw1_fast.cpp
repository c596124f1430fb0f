// FAST streams: exact bytes of the edge cases, a decoder written here from the
// stream format alone, and hostile streams.
#include "catalogue/lzrw1codec.h"
#include "support/sample_data.h"

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <optional>
#include <random>

using qvtest::randomBytes;

namespace {

QByteArray bytes(std::initializer_list<int> list)
{
    QByteArray b;
    for (int v : list)
        b.append(char(v));
    return b;
}

QByteArray fastHeader(quint32 size)
{
    return QByteArray("WRZL") + bytes({int(size & 0xFF), int(size >> 8 & 0xFF), int(size >> 16 & 0xFF), int(size >> 24)});
}

QByteArray withLength(const QByteArray& block)
{
    return bytes({int(block.size() & 0xFF), int(block.size() >> 8)}) + block;
}

// Expands one FAST stream, checking every rule of the format; nothing when
// the stream breaks one. Notes the length of each block.
std::optional<QByteArray> referenceExpand(const QByteArray& s, std::vector<int>* blockLengths = nullptr)
{
    auto at = [&](qsizetype i) { return quint8(s[i]); };
    if (s.size() < 8 || s.left(4) != "WRZL")
        return std::nullopt;
    const quint32 size = at(4) | at(5) << 8 | at(6) << 16 | quint32(at(7)) << 24;
    QByteArray out;
    qsizetype pos = 8;
    for (;;) {
        if (pos + 2 > s.size())
            return std::nullopt;
        const int len = at(pos) | at(pos + 1) << 8;
        pos += 2;
        if (pos + len > s.size())
            return std::nullopt;
        if (blockLengths)
            blockLengths->push_back(len);
        const qsizetype end = pos + len;
        QByteArray block;
        if (len >= 2 && at(pos) == 0x80) {
            block = s.mid(pos + 1, len - 1);
        } else if (len > 3) {
            qsizetype i = pos + 1;
            int bitsLeft = 0;
            unsigned control = 0;
            while (i < end) {
                if (bitsLeft == 0) {
                    if (i + 2 > end)
                        return std::nullopt;
                    control = at(i) << 8 | at(i + 1);
                    i += 2;
                    bitsLeft = 16;
                    continue;
                }
                const bool set = control & 0x8000;
                control <<= 1;
                --bitsLeft;
                if (!set) {
                    block.append(char(at(i++)));
                    continue;
                }
                if (i + 2 > end)
                    return std::nullopt;
                const int offset = at(i) * 16 + (at(i + 1) >> 4);
                if (offset == 0) {
                    if (i + 4 > end)
                        return std::nullopt;
                    block.append(QByteArray(at(i + 1) * 256 + at(i + 2) + 16, char(at(i + 3))));
                    i += 4;
                } else {
                    if (offset > block.size())
                        return std::nullopt;
                    for (int k = 0, n = (at(i + 1) & 15) + 3; k < n; ++k)
                        block.append(block[block.size() - offset]);
                    i += 2;
                }
            }
        }
        if (block.size() > 32768)
            return std::nullopt;
        out += block;
        pos = end;
        if (block.size() < 32768)
            break;
    }
    if (out.size() != qsizetype(size))
        return std::nullopt;
    return out;
}

// Runs, repeats at every distance, smooth ramps and noise, mixed.
QByteArray mixedBytes(int n, unsigned seed)
{
    std::mt19937 rng(seed);
    QByteArray b;
    while (b.size() < n) {
        switch (rng() % 5) {
        case 0: b.append(QByteArray(int(rng() % 5000), char(rng()))); break;
        case 1: {
            const qsizetype back = 1 + rng() % std::max<qsizetype>(1, std::min<qsizetype>(b.size(), 5000));
            const int len = int(rng() % 40);
            for (int k = 0; k < len && back <= b.size(); ++k)
                b.append(b[b.size() - back]);
            break;
        }
        case 2: for (int k = 0, v = int(rng()); k < 300; ++k) b.append(char(v + k / 3)); break;
        case 3: b.append(randomBytes(int(rng() % 200), rng())); break;
        default: b.append("the quick brown fox jumps over the lazy dog. ");
        }
    }
    b.truncate(n);
    return b;
}

} // namespace

TEST(Lzrw1Fast, EdgeCasesHaveTheirExactBytes)
{
    // Empty: one block that encodes nothing, the single byte 0x80.
    const QByteArray empty = lzrw1::compress(QByteArray(), TCompressMode::Fast);
    EXPECT_EQ(empty, fastHeader(0) + bytes({1, 0, 0x80}));
    EXPECT_TRUE(lzrw1::decompress(empty).isEmpty());
    // One byte: a stored block of length 2.
    EXPECT_EQ(lzrw1::compress("Q", TCompressMode::Fast), fastHeader(1) + bytes({2, 0, 0x80, 'Q'}));

    // A multiple of the block size ends with the empty block.
    std::vector<int> lengths;
    const QByteArray s = lzrw1::compress(QByteArray(65536, 'z'), TCompressMode::Fast);
    ASSERT_TRUE(referenceExpand(s, &lengths));
    EXPECT_EQ(lengths.size(), 3u);
    EXPECT_EQ(s.right(3), bytes({1, 0, 0x80}));

    // Equal bytes become run items of at most 4095 (16 + 0x0FEF): 8 fill 32760 of a block.
    const QByteArray runs = lzrw1::compress(QByteArray(100000, '\x5A'), TCompressMode::Fast);
    EXPECT_EQ(runs.mid(8 + 2 + 3, 4), bytes({0, 0x0F, 0xEF, 0x5A}));
    EXPECT_LT(runs.size(), 4 * (2 + 3 + 9 * 4 + 2 * 8));
}

TEST(Lzrw1Fast, StreamsExpandWithAnIndependentReader)
{
    // Block 2 of `twice` repeats block 1: a table kept across blocks would offer
    // candidates from block 1 that the decoder cannot reach.
    QByteArray twice = mixedBytes(32768, 9);
    twice += twice + twice.left(5000);
    const QByteArray inputs[] = {QByteArray(), QByteArray(1, 'x'), QByteArray("abc"), QByteArray(17, 'a'),
                                 mixedBytes(1000, 1), mixedBytes(32767, 2), mixedBytes(32768, 3), mixedBytes(32769, 4),
                                 mixedBytes(200000, 5), randomBytes(70000, 6), QByteArray(100000, '\x07'), twice};
    for (const QByteArray& data : inputs) {
        const QByteArray s = lzrw1::compress(data, TCompressMode::Fast);
        EXPECT_EQ(referenceExpand(s), data) << data.size();
        EXPECT_EQ(lzrw1::decompress(s), data) << data.size();
    }
}

TEST(Lzrw1Fast, HostileStreamsEndWithAnError)
{
    const std::string corrupt = "Lzrw1 (decompression LZRW1/KH) : corrupt block !";
    const std::string mismatch = "Lzrw1 (decompression LZRW1/KH) : Original and compressed sizes do not match !";
    const std::string readError = "Lzrw1 : Error reading from input stream !";
    QByteArray nineRuns = bytes({0x40, 0xFF, 0x80});
    for (int k = 0; k < 9; ++k)
        nineRuns += bytes({0, 0x0F, 0xEF, 'r'});
    const struct {
        const char* what;
        QByteArray stream;
        std::string message;
    } cases[] = {
        {"copy before the block start", fastHeader(3) + withLength(bytes({0x40, 0x80, 0, 0x00, 0x50})), corrupt},
        {"copy one past the output", fastHeader(9) + withLength(bytes({0x40, 0x40, 0, 'a', 0x00, 0x20})), corrupt},
        {"block length over 32784", fastHeader(40000) + bytes({0x11, 0x80, 0x80}) + QByteArray(32784, 'a'), corrupt},
        {"stored block over 32768", fastHeader(32783) + withLength(char(0x80) + QByteArray(32783, 'b')), corrupt},
        {"runs past 32768 bytes", fastHeader(36855) + withLength(nineRuns), corrupt},
        {"copy item cut short", fastHeader(4) + withLength(bytes({0x40, 0x40, 0, 'a', 0x00})), corrupt},
        {"control word cut short",
         fastHeader(17) + withLength(bytes({0x40, 0, 0}) + QByteArray(16, 'c') + bytes({0x80})), corrupt},
        {"stream ends inside a block", fastHeader(10) + bytes({20, 0, 0x80, 1, 2}), readError},
        {"no size", QByteArray("WRZL") + bytes({1, 2}), readError},
        {"huge size, tiny payload", fastHeader(0xFFFFFFFF) + bytes({2, 0, 0x80, 'e'}), mismatch},
        {"size smaller than the data", fastHeader(1) + withLength(bytes({0x80, 'f', 'g'})), mismatch},
        {"more full blocks than the size", fastHeader(5) + withLength(char(0x80) + QByteArray(32768, 'h')),
         mismatch},
    };
    for (const auto& c : cases)
        EXPECT_EQ(qvtest::messageOf<ELzrw1Exception>([&] { lzrw1::decompress(c.stream); }), c.message) << c.what;
}

TEST(Lzrw1Fast, SizeMismatchKeepsStreamOutputButRemovesTheFile)
{
    // Stored size 10, blocks give 5 bytes.
    const QByteArray stream = fastHeader(10) + withLength(bytes({0x80, '1', '2', '3', '4', '5'}));
    const std::string mismatch = "Lzrw1 (decompression LZRW1/KH) : Original and compressed sizes do not match !";
    QBuffer in;
    in.setData(stream);
    in.open(QIODevice::ReadOnly);
    QByteArray written = "prefix:";
    QBuffer out(&written);
    out.open(QIODevice::WriteOnly | QIODevice::Append);
    Lzrw1Codec codec;
    codec.setUseStream(true);
    codec.setInputStream(&in);
    codec.setOutputStream(&out);
    EXPECT_EQ(qvtest::messageOf<ELzrw1Exception>([&] { codec.Decompress(); }), mismatch);
    EXPECT_EQ(written, "prefix:12345");

    QTemporaryDir dir;
    QFile f(dir.filePath("in.lzw"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(stream) == stream.size());
    f.close();
    Lzrw1Codec files;
    files.setInputFile(dir.filePath("in.lzw"));
    files.setOutputFile(dir.filePath("out.bin"));
    EXPECT_EQ(qvtest::messageOf<ELzrw1Exception>([&] { files.Decompress(); }), mismatch);
    EXPECT_EQ(qvtest::folderEntries(dir.path()), QStringList{"in.lzw"}); // no output, no temporary left
}

// GOOD streams: payloads pinned to the bytes of the published LZHUF coder (a
// cache written by an earlier build must still expand), round trips, and
// streams that end early.
#include "catalogue/lzrw1codec.h"
#include "support/sample_data.h"

#include <QCryptographicHash>
#include <gtest/gtest.h>
#include <cmath>
#include <random>
#include <vector>

namespace {

// Smooth rows with noise, like the pixels of a small photograph.
QByteArray pictureLike(int width, int height, unsigned seed)
{
    std::mt19937 rng(seed);
    QByteArray b;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width * 3; ++x)
            b.append(char(int(120 + 60 * std::sin(x * 0.01 + y * 0.03) + rng() % 9)));
    return b;
}

std::vector<QByteArray> inputs()
{
    std::mt19937 rng(5);
    QByteArray text;
    const char* words[] = {"thumbnail ", "folder ", "the ", "of ", "picture ", "cache\r\n", "a ", "strip "};
    while (text.size() < 150000)
        text += words[rng() % 8];
    QByteArray random(90000, '\0');
    for (auto& c : random)
        c = char(rng());
    return {QByteArray("x"),
            QByteArray(59, ' ') + "starts with spaces that match the ring's first contents",
            QByteArray(100000, '\0'),
            QByteArray("abcabcabcabcXabcabcabcabcYabcabcabcabc").repeated(300),
            text,
            random,
            pictureLike(120, 300, 3)};
}

} // namespace

TEST(Lzrw1Good, PayloadsKeepTheirBytesAndExpandBack)
{
    // Size and SHA-1 of each stream, as the published coder writes them.
    const struct {
        qsizetype size;
        const char* sha1;
    } pinned[] = {
        {9, "df63b9208da73cfc9d0c7d50cbf92e018486f27c"},     {62, "710d0f6869c3348286fc4939ca45b9c84040074b"},
        {2133, "edf60b9b78d84fe4ca31c7f93b1dd298447a1463"},  {298, "38b7c209b58c7e94adc2e6ea719f59eded9b0330"},
        {18963, "1d9a1e3c1364e04576ce7577c4f0284e783f8ecd"}, {90171, "6cbd5ff7575788018c196857c58e6dad6674f18b"},
        {84404, "76cf474a989ac632d20807a387ec2e02c6ee9e04"},
    };
    const std::vector<QByteArray> data = inputs();
    ASSERT_EQ(data.size(), std::size(pinned));
    for (std::size_t i = 0; i < data.size(); ++i) {
        const QByteArray stream = lzrw1::compress(data[i], TCompressMode::Good);
        const QByteArray sha1 = QCryptographicHash::hash(stream, QCryptographicHash::Sha1).toHex();
        EXPECT_EQ(stream.size(), pinned[i].size) << i;
        EXPECT_EQ(sha1, pinned[i].sha1) << i;
        EXPECT_EQ(lzrw1::decompress(stream), data[i]) << i;
    }
}

TEST(Lzrw1Good, EmptyInputHasNoPayload)
{
    EXPECT_EQ(lzrw1::compress(QByteArray(), TCompressMode::Good), QByteArray("!HZL\0\0\0\0", 8));
    EXPECT_TRUE(lzrw1::decompress(QByteArray("!HZL\0\0\0\0", 8)).isEmpty());
}

TEST(Lzrw1Good, StreamsEndingEarlyAreRefused)
{
    const QByteArray data = inputs()[4];
    const QByteArray stream = lzrw1::compress(data, TCompressMode::Good);
    // A size far beyond what the bits hold fails at their end too.
    QByteArray huge = stream;
    huge[4] = huge[5] = huge[6] = huge[7] = char(0xFF);
    for (const QByteArray& cut : {stream.left(8), stream.left(9), stream.left(stream.size() / 2), stream.chopped(1), huge})
        EXPECT_EQ(qvtest::messageOf<ELzrw1Exception>([&] { lzrw1::decompress(cut); }),
                  "Lzrw1 (LZH decompression) : compressed data ends too early !")
            << cut.size();
    // A smaller size gives exactly that many bytes.
    QByteArray smaller = stream;
    smaller[4] = char(100);
    smaller[5] = smaller[6] = smaller[7] = 0;
    EXPECT_EQ(lzrw1::decompress(smaller), data.left(100));
}

// GOOD streams against a second, plain LZHUF coder: the same payload bytes,
// and each side expands the other's.
#include "catalogue/lzrw1codec.h"
#include "test_lzrw1_plainlzhuf.h"

#include <gtest/gtest.h>
#include <cmath>
#include <random>
#include <vector>

namespace {

using plainlzhuf::Bytes;
using plainlzhuf::PlainLzhuf;

Bytes toBytes(const QByteArray& a) { return Bytes(a.begin(), a.end()); }
QByteArray toQt(const Bytes& b) { return QByteArray(reinterpret_cast<const char*>(b.data()), qsizetype(b.size())); }

QByteArray goodStream(const QByteArray& data, const Bytes& payload)
{
    QByteArray s("!HZL");
    const quint32 n = quint32(data.size());
    for (int k = 0; k < 4; ++k)
        s.append(char(n >> (8 * k) & 0xFF));
    return s + toQt(payload);
}

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
    return {QByteArray(),
            QByteArray("x"),
            QByteArray(59, ' ') + "starts with spaces that match the ring's first contents",
            QByteArray(100000, '\0'),
            QByteArray("abcabcabcabcXabcabcabcabcYabcabcabcabc").repeated(300),
            text,
            random,
            pictureLike(120, 300, 3)};
}

} // namespace

TEST(Lzrw1Good, PayloadIsTheSameAsThePlainCoders)
{
    for (const QByteArray& data : inputs()) {
        const QByteArray stream = lzrw1::compress(data, TCompressMode::Good);
        ASSERT_GE(stream.size(), 8);
        EXPECT_EQ(stream, goodStream(data, PlainLzhuf().encode(toBytes(data)))) << data.size();
    }
}

TEST(Lzrw1Good, EachSideExpandsTheOthers)
{
    for (const QByteArray& data : inputs()) {
        const QByteArray ours = lzrw1::compress(data, TCompressMode::Good);
        EXPECT_EQ(toQt(PlainLzhuf().decode(toBytes(ours.mid(8)), quint32(data.size()))), data) << data.size();
        const Bytes theirs = PlainLzhuf().encode(toBytes(data));
        EXPECT_EQ(lzrw1::decompress(goodStream(data, theirs)), data) << data.size();
    }
}

TEST(Lzrw1Good, EmptyInputHasNoPayload)
{
    EXPECT_EQ(lzrw1::compress(QByteArray(), TCompressMode::Good), QByteArray("!HZL\0\0\0\0", 8));
    EXPECT_TRUE(lzrw1::decompress(QByteArray("!HZL\0\0\0\0", 8)).isEmpty());
}

TEST(Lzrw1Good, StreamsEndingEarlyAreRefused)
{
    const std::string early = "Lzrw1 (LZH decompression) : compressed data ends too early !";
    const QByteArray data = inputs()[5];
    const QByteArray stream = lzrw1::compress(data, TCompressMode::Good);
    for (const qsizetype cut : {qsizetype(8), qsizetype(9), stream.size() / 2, stream.size() - 1}) {
        try {
            lzrw1::decompress(stream.left(cut));
            ADD_FAILURE() << "no error at " << cut;
        } catch (const ELzrw1Exception& e) {
            EXPECT_EQ(e.what(), early) << cut;
        }
    }
    // A size far beyond what the bits hold fails at their end.
    QByteArray huge = stream;
    huge[4] = huge[5] = huge[6] = huge[7] = char(0xFF);
    try {
        lzrw1::decompress(huge);
        ADD_FAILURE() << "no error";
    } catch (const ELzrw1Exception& e) {
        EXPECT_EQ(e.what(), early);
    }
    // A smaller size gives exactly that many bytes.
    QByteArray smaller = stream;
    smaller[4] = char(100);
    smaller[5] = smaller[6] = smaller[7] = 0;
    EXPECT_EQ(lzrw1::decompress(smaller), data.left(100));
}

TEST(Lzrw1Good, RandomBitsNeverBreakTheDecoder)
{
    std::mt19937 rng(9);
    for (int round = 0; round < 200; ++round) {
        QByteArray s = QByteArray("!HZL") + QByteArray(4, '\0');
        const quint32 size = rng() % 200000;
        for (int k = 0; k < 4; ++k)
            s[4 + k] = char(size >> (8 * k) & 0xFF);
        for (int k = 0, n = int(rng() % 3000); k < n; ++k)
            s.append(char(rng()));
        try {
            const QByteArray out = lzrw1::decompress(s);
            EXPECT_EQ(out.size(), qsizetype(size));
        } catch (const ELzrw1Exception&) {
        }
    }
}

// The 1/8 decoder of baseline files against libjpeg-turbo's own 1/8 decode of
// the same files, and the files it must leave to libjpeg.
#include "formats/jpeg_dc_decode.h"
#include "formats/jpeg_options.h"
#include "jpeg_fixtures.h"

#include <gtest/gtest.h>

using namespace jpegtest;

namespace {

const uchar* bytes(const QByteArray& a) { return reinterpret_cast<const uchar*>(a.constData()); }

// libjpeg at 1/8 with the thumbnail settings; a null picture when it fails.
QImage libjpegEighth(const QByteArray& file, bool grayscale, bool eightBit)
{
    qv::jpeg::DecodeSettings s;
    s.scaleDenom = 8;
    s.bestSpeed = true;
    s.grayscale = grayscale;
    s.eightBit = eightBit;
    try {
        return qv::jpeg::Decompressor().decode(bytes(file), std::size_t(file.size()), s).image;
    } catch (const EJPEG&) {
        return {};
    }
}

// Largest difference of one channel between two pictures of one size.
int maxDifference(const QImage& a, const QImage& b)
{
    const std::vector<QRgb> x = colours(a), y = colours(b);
    int most = 0;
    for (std::size_t i = 0; i < x.size(); ++i)
        most = std::max({most, std::abs(qRed(x[i]) - qRed(y[i])), std::abs(qGreen(x[i]) - qGreen(y[i])),
                         std::abs(qBlue(x[i]) - qBlue(y[i]))});
    return most;
}

} // namespace

TEST(JpegDcDecode, MatchesLibjpegAtAnEighth)
{
    if (!haveTool("cjpeg"))
        GTEST_SKIP() << "cjpeg not installed";
    struct Case {
        int width, height;
        QStringList args;
    };
    const Case cases[] = {
        {640, 480, {"-sample", "2x2"}},
        {641, 479, {"-sample", "2x2", "-quality", "95"}},
        {333, 250, {"-sample", "2x1", "-optimize"}},
        {250, 333, {"-sample", "1x1", "-quality", "40"}},
        {517, 389, {"-sample", "2x2", "-restart", "3B"}},
        {300, 201, {"-sample", "2x1", "-restart", "1"}},
        {402, 300, {"-grayscale", "-restart", "7B"}},
        {9, 7, {"-sample", "2x2", "-quality", "10"}},
        {1, 1, {"-grayscale"}},
    };
    qv::jpeg::EighthScaleDecoder decoder;
    int seed = 1;
    for (const Case& c : cases) {
        const QByteArray file = cjpeg(makePicture(c.width, c.height, seed++), c.args + QStringList{"-baseline"});
        ASSERT_FALSE(file.isEmpty());
        // Colori 0, 1 and 2: full colour, 216 colours, greys.
        for (const auto& [grey, eightBit] : {std::pair{false, false}, {false, true}, {true, true}}) {
            SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " " << c.args.join(' ').toStdString()
                                            << " grey " << grey << " eight-bit " << eightBit);
            const auto ours = decoder.decode(bytes(file), std::size_t(file.size()), grey, eightBit);
            ASSERT_TRUE(ours.has_value());
            EXPECT_EQ(ours->width, c.width);
            EXPECT_EQ(ours->height, c.height);
            const QImage theirs = libjpegEighth(file, grey, eightBit);
            ASSERT_EQ(ours->image.size(), theirs.size());
            ASSERT_EQ(ours->image.format(), theirs.format());
            EXPECT_EQ(ours->image.colorTable(), theirs.colorTable());
            EXPECT_LE(maxDifference(ours->image, theirs), 0);
        }
    }
}

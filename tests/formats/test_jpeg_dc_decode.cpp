// The 1/8 decoder of baseline files against libjpeg-turbo's own 1/8 decode of
// the same files, and the files it must leave to libjpeg.
#include "formats/jpeg_dc_decode.h"
#include "formats/jpeg_options.h"
#include "jpeg_fixtures.h"

#include "support/testutil.h"

#include <QTemporaryDir>
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

namespace {

QByteArray replaced(QByteArray file, qsizetype at, const QByteArray& bytes)
{
    file.replace(at, bytes.size(), bytes);
    return file;
}

// Offset of the first byte of entropy-coded data.
qsizetype scanData(const QByteArray& file)
{
    const qsizetype sos = file.indexOf("\xFF\xDA");
    return sos + 2 + ((uchar(file[sos + 2]) << 8) | uchar(file[sos + 3]));
}

} // namespace

TEST(JpegDcDecode, LeavesEveryOtherFileToLibjpeg)
{
    if (!haveTool("cjpeg"))
        GTEST_SKIP() << "cjpeg not installed";
    const QImage picture = makePicture(200, 136, 7);
    const QByteArray plain = cjpeg(picture, {"-baseline"});
    const QByteArray restarts = cjpeg(picture, {"-restart", "2B"});
    const qsizetype data = scanData(plain);
    const qsizetype firstRestart = restarts.indexOf("\xFF\xD0", scanData(restarts));
    const qsizetype dht = plain.indexOf("\xFF\xC4");
    ASSERT_GT(data, 0);
    ASSERT_GT(firstRestart, 0);
    QByteArray noQuantTables = plain; // refused, never decoded with an earlier file's tables
    for (qsizetype at; (at = noQuantTables.indexOf("\xFF\xDB")) >= 0;)
        noQuantTables.remove(at, 2 + (uchar(noQuantTables[at + 2]) << 8 | uchar(noQuantTables[at + 3])));
    QTemporaryDir dir;
    const QString scans = dir.filePath("scans");
    qvtest::writeFile(scans, "0;\n1;\n2;\n");

    struct Case {
        const char* what;
        QByteArray file;
    };
    const Case cases[] = {
        {"progressive", qv::jpeg::compress(picture, {85, false, true})},
        {"arithmetic coding", cjpeg(picture, {"-arithmetic"})},
        {"stored as RGB", cjpeg(picture, {"-rgb"})},
        {"4:4:0 sampling", cjpeg(picture, {"-sample", "1x2"})},
        {"one scan per component", cjpeg(picture, {"-scans", scans})},
        {"cut inside the scan", plain.left(plain.size() * 2 / 3)},
        {"cut before the scan", plain.left(data - 3)},
        {"a marker inside the data", replaced(plain, data + 40, "\xFF\xC8")},
        {"restart markers out of turn", replaced(restarts, firstRestart, "\xFF\xD3")},
        {"codes past the table", replaced(plain, data + 20, QByteArray("\xFF\x00", 2).repeated(12))},
        // 2 codes of one bit leave no room for the codes of the longer lengths.
        {"over-full code space", replaced(plain, dht + 5, "\x02")},
        {"12-bit samples", replaced(plain, plain.indexOf("\xFF\xC0") + 4, "\x0C")},
        {"no quantisation tables", noQuantTables},
    };
    qv::jpeg::EighthScaleDecoder decoder;
    JpegThumbnailDecoder thumbnails;
    thumbnails.box = 16;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_FALSE(c.file.isEmpty());
        EXPECT_FALSE(decoder.decode(bytes(c.file), std::size_t(c.file.size()), false, false).has_value());
        // The thumbnail is then what libjpeg makes of the file, or its error.
        qv::jpeg::DecodeSettings s;
        s.scaleDenom = 8;
        s.bestSpeed = true;
        s.dcOnlyWhenProgressive = true;
        QImage expected;
        try {
            expected = qv::jpeg::Decompressor().decode(bytes(c.file), std::size_t(c.file.size()), s).image;
        } catch (const EJPEG&) {
        }
        if (expected.isNull()) {
            EXPECT_THROW(thumbnails.decode(c.file), EJPEG);
        } else {
            EXPECT_EQ(thumbnails.decode(c.file).image, expected);
        }
    }
}

// Thumbnails made with less decoding: the 1/8 scale, the DC scans of progressive
// files and the Exif thumbnails of photographs, each against the quarter-scale decode.
#include "catalogue/startup_objects.h"
#include "catalogue/thumbnail_decode.h"
#include "catalogue/thumbnail_scale.h"
#include "formats/jpeg_options.h"
#include "platform/settings.h"
#include "support/testutil.h"

#include <QTemporaryDir>
#include <QtEndian>
#include <cmath>
#include <gtest/gtest.h>

namespace {

// Smooth like a photograph: broad gradients and blobs with a little grain.
QImage photograph(int w, int h, int seed)
{
    QImage img(w, h, QImage::Format_RGB888);
    quint32 state = 12345u + quint32(seed);
    for (int y = 0; y < h; ++y) {
        uchar* row = img.scanLine(y);
        for (int x = 0; x < w; ++x) {
            state = state * 1664525u + 1013904223u;
            const int grain = int(state >> 29) - 4;
            const double u = double(x) / w, v = double(y) / h;
            const double blob = std::exp(-((u - 0.4) * (u - 0.4) + (v - 0.5) * (v - 0.5)) * 12.0);
            row[3 * x] = uchar(std::clamp(int(200 * u + 40 * blob) + grain, 0, 255));
            row[3 * x + 1] = uchar(std::clamp(int(90 + 120 * blob + 30 * std::sin(6 * v + seed)) + grain, 0, 255));
            row[3 * x + 2] = uchar(std::clamp(int(230 * (1 - v)) + grain, 0, 255));
        }
    }
    return img;
}

int maxDifference(const QImage& a, const QImage& b)
{
    if (a.size() != b.size())
        return 256;
    const QImage x = a.convertToFormat(QImage::Format_RGB888), y = b.convertToFormat(QImage::Format_RGB888);
    int worst = 0;
    for (int row = 0; row < x.height(); ++row)
        for (int i = 0; i < x.width() * 3; ++i)
            worst = std::max(worst, std::abs(x.scanLine(row)[i] - y.scanLine(row)[i]));
    return worst;
}

// A JPEG file with an Exif segment whose second directory points at `thumbnail`.
// `damage` moves the thumbnail's offset past the segment.
QByteArray withExifThumbnail(const QByteArray& jpeg, const QByteArray& thumbnail, bool damage = false)
{
    QByteArray tiff("II*\0", 4);
    const auto u16 = [&](quint16 v) { tiff.append(char(v & 0xff)).append(char(v >> 8)); };
    const auto u32 = [&](quint32 v) { u16(quint16(v)); u16(quint16(v >> 16)); };
    u32(8);                   // first directory
    u16(0); u32(14);          // no entries; the second directory follows
    const quint32 data = 14 + 2 + 3 * 12 + 4;
    u16(3);
    u16(0x0103); u16(3); u32(1); u32(6);
    u16(0x0201); u16(4); u32(1); u32(damage ? 60000 : data);
    u16(0x0202); u16(4); u32(1); u32(quint32(thumbnail.size()));
    u32(0);
    tiff += thumbnail;
    QByteArray segment = QByteArray("Exif\0\0", 6) + tiff;
    QByteArray app1("\xFF\xE1", 2);
    app1.append(char((segment.size() + 2) >> 8)).append(char((segment.size() + 2) & 0xff));
    return jpeg.left(2) + app1 + segment + jpeg.mid(2);
}

QImage solid(int w, int h, QRgb colour)
{
    QImage img(w, h, QImage::Format_RGB888);
    img.fill(colour);
    return img;
}

} // namespace

TEST(ThumbnailShortcuts, ScaleChoiceCoversTheBox)
{
    const struct {
        int width, height, box, denom;
    } cases[] = {
        {697, 697, 88, 8}, // just large enough: 697 / 8 rounds up to 88
        {696, 2000, 88, 4}, {4000, 695, 88, 4}, // one pixel short in one direction
        {937, 937, 118, 8}, {936, 937, 118, 4}, {457, 457, 58, 8},
        {100, 100, 58, 4},  // small pictures stay at the quarter, never larger
        {4000, 3000, 0, 4}, // no box: the quarter as before
    };
    for (const auto& c : cases)
        EXPECT_EQ(thumbnailScaleDenom(c.width, c.height, c.box), c.denom) << c.width << "x" << c.height;
}

TEST(ThumbnailShortcuts, EighthAndDcOnlyThumbnailsMatchTheQuarterOnes)
{
    QTemporaryDir dir;
    startupObjects();
    const QImage noPicture = solid(88, 88, qRgb(0, 0, 0));
    for (const QSize size : {QSize(1000, 750), QSize(1600, 1200), QSize(900, 1400)}) {
        const QImage picture = photograph(size.width(), size.height(), size.width());
        for (const bool progressive : {false, true}) {
            SCOPED_TRACE(testing::Message() << size.width() << "x" << size.height() << " progressive " << progressive);
            const QString path = dir.filePath(QString("p%1%2.jpg").arg(size.width()).arg(progressive));
            qvtest::writeFile(path, qv::jpeg::compress(picture, {90, false, progressive}));
            const DecodedThumbnail fast = decodeThumbnail(path, 2, 0, false, noPicture);
            ASSERT_FALSE(fast.failed);
            EXPECT_EQ(fast.trueSize, size); // the caption keeps the file's own size

            JpegThumbnailDecoder quarter;
            const JpegThumbnail q = quarter.decodeFile(path);
            ASSERT_EQ(q.scaleDenom, 4);
            const thumbs::FitRect r = thumbs::fitRect(q.image.width(), q.image.height(), thumbs::boxSize(2));
            const QImage reference =
                thumbs::scaleForThumbnail(q.image, std::max(1, r.right - r.left), std::max(1, r.bottom - r.top));
            EXPECT_LE(maxDifference(fast.scaled, reference), 2);
        }
    }
}

TEST(ThumbnailShortcuts, ProgressiveFilesAtAnEighthReadOnlyTheirDcScans)
{
    const QByteArray file = qv::jpeg::compress(photograph(800, 800, 3), {90, false, true});
    JpegThumbnailDecoder decoder;
    decoder.box = 88;
    const JpegThumbnail whole = decoder.decode(file);
    EXPECT_EQ(whole.scaleDenom, 8);
    EXPECT_EQ(whole.image.size(), QSize(100, 100));

    // Pixels as the whole file gives them at 1/8.
    qv::jpeg::Decompressor plain;
    qv::jpeg::DecodeSettings eighth;
    eighth.scaleDenom = 8;
    eighth.bestSpeed = true;
    EXPECT_EQ(plain.decode(reinterpret_cast<const uchar*>(file.constData()), std::size_t(file.size()), eighth).image,
              whole.image);

    // The last scan refines the luminance's AC coefficients: broken there, the file still shows.
    QByteArray brokenTail = file;
    const qsizetype lastScan = brokenTail.lastIndexOf("\xFF\xDA");
    ASSERT_GT(lastScan, 0);
    brokenTail[lastScan + 7] = char(0x77); // a first coefficient past the block
    EXPECT_THROW(JpegThumbnailDecoder().decode(brokenTail), EJPEG);
    EXPECT_EQ(decoder.decode(brokenTail).image, whole.image);

    // Cut inside the scan that completes the DC: the file is decoded as it is, never refused.
    qsizetype refinement = -1;
    for (qsizetype at = file.indexOf("\xFF\xDA"); at >= 0 && refinement < 0; at = file.indexOf("\xFF\xDA", at + 2)) {
        const int inScan = quint8(file[at + 4]);
        if (file[at + 5 + 2 * inScan] == 0 && (quint8(file[at + 7 + 2 * inScan]) >> 4) != 0)
            refinement = at;
    }
    ASSERT_GT(refinement, 0);
    const JpegThumbnail part = decoder.decode(file.left(refinement + 40));
    EXPECT_EQ(part.image.size(), QSize(100, 100));
}

TEST(ThumbnailShortcuts, ExifThumbnailTakenOnlyWhenItFits)
{
    QTemporaryDir dir;
    startupObjects();
    // Larger than the front part read first: the thumbnail is found there.
    const QByteArray blue43 = qv::jpeg::compress(photograph(1600, 1200, 5), {});
    ASSERT_GT(blue43.size(), 128 * 1024);
    const QByteArray red160 = qv::jpeg::compress(solid(160, 120, qRgb(255, 0, 0)), {});
    const struct {
        const char* what;
        QByteArray file;
        bool embedded; // the setting
        bool red;      // the thumbnail came from the Exif picture
    } cases[] = {
        {"fits", withExifThumbnail(blue43, red160), true, true},
        {"fits, small file", withExifThumbnail(qv::jpeg::compress(solid(800, 600, qRgb(0, 0, 255)), {}), red160), true, true},
        {"setting off", withExifThumbnail(blue43, red160), false, false},
        {"letter-boxed", withExifThumbnail(qv::jpeg::compress(solid(1600, 900, qRgb(0, 0, 255)), {}), red160), true, false},
        {"too small", withExifThumbnail(blue43, qv::jpeg::compress(solid(80, 60, qRgb(255, 0, 0)), {})), true, false},
        {"damaged offset", withExifThumbnail(blue43, red160, true), true, false},
        {"damaged picture", withExifThumbnail(blue43, red160.left(40)), true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const QString path = dir.filePath(QString(c.what) + ".jpg");
        qvtest::writeFile(path, c.file);
        const DecodedThumbnail d = decodeThumbnail(path, 2, 0, c.embedded, solid(88, 88, qRgb(0, 0, 0)));
        ASSERT_FALSE(d.failed);
        EXPECT_EQ(d.trueSize, QImage::fromData(c.file).size());
        const QRgb centre = d.scaled.pixel(d.scaled.width() / 2, d.scaled.height() / 2);
        EXPECT_EQ(qRed(centre) > 200 && qGreen(centre) < 40 && qBlue(centre) < 40, c.red);
    }
}

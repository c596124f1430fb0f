// Damaged files for the three packed-bitmap readers and the conversion: every
// prefix of real files and files with random bytes changed decode or fail
// cleanly (the sanitizer build turns any stray access into a failure).
#include "formats/dib_image.h"
#include "formats/fixture_tools.h"
#include "formats/packed_bitmap.h"

#include <QRandomGenerator>
#include <QTemporaryDir>

using namespace qvtest;

TEST(PackedBitmapDamage, PrefixesAndChangedBytes)
{
    QV_REQUIRE_TOOL("convert");
    QTemporaryDir dir;
    const QString base = makeBasePicture(QDir(dir.path()));
    const struct {
        const char* name;
        QStringList options;
        const char* coder; // ImageMagick's output prefix
        PackedFormat format;
        qsizetype headerBytes; // prefixes shorter than this fail with 134
    } files[] = {
        {"a.bmp", {"-colors", "16", "-type", "palette"}, "BMP3:", PackedFormat::WindowsBitmap, 54},
        {"b.bmp", {"-colors", "60", "-type", "palette", "-compress", "RLE"}, "BMP3:", PackedFormat::WindowsBitmap, 54},
        {"c.tga", {"-compress", "RLE"}, "", PackedFormat::Targa, 18},
        {"d.tga", {"-depth", "5"}, "", PackedFormat::Targa, 18},
        {"e.pcx", {"-colors", "100", "-type", "palette"}, "", PackedFormat::Pcx, 128},
        {"f.pcx", {"-type", "truecolor"}, "", PackedFormat::Pcx, 128},
    };
    QRandomGenerator random(77);
    for (const auto& f : files) {
        SCOPED_TRACE(f.name);
        const QString path = QDir(dir.path()).filePath(f.name);
        ASSERT_FALSE(runTool("convert", QStringList{base} + f.options + QStringList{f.coder + path}).isNull());
        const QByteArray whole = readFile(path);
        ASSERT_GT(whole.size(), f.headerBytes);

        for (qsizetype n = 0; n < whole.size(); ++n) {
            PackedReadResult r = DecodePackedBitmap(whole.left(n), f.format);
            if (n < f.headerBytes) {
                EXPECT_EQ(r.status, PackedReadError) << n;
            }
            // The picture made straight from the file is the block's picture.
            const PackedImageResult direct = DecodePackedImage(whole.left(n), f.format);
            EXPECT_EQ(direct.status, r.status) << n;
            if (r) {
                EXPECT_EQ(direct.image, DibToImage(r.bitmap.get())) << n;
                EXPECT_FALSE(direct.image.isNull()) << n;
            } else {
                EXPECT_NE(r.status, PackedOk);
            }
        }
        for (int round = 0; round < 300; ++round) {
            QByteArray damaged = whole;
            for (int k = 0; k < 1 + round % 8; ++k)
                damaged[random.bounded(int(damaged.size()))] = char(random.bounded(256));
            PackedReadResult r = DecodePackedBitmap(damaged, f.format);
            if (r)
                EXPECT_EQ(DecodePackedImage(damaged, f.format).image, DibToImage(r.bitmap.get()));
        }
    }
}

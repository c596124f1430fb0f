// GIF file objects: creation state, reading (versions, extensions, limits,
// truncation), writing (header bytes, tables, code sizes) and the reduction
// of a picture to indices.
#include "formats/gif_file.h"
#include "formats/gif_image.h"
#include "formats/gif_lzw_oracle.h"
#include "formats/gif_progress.h"
#include "formats/fixture_tools.h"
#include "support/sample_data.h"

#include <QBuffer>
#include <QDir>
#include <QImageReader>
#include <QTemporaryDir>
#include <cstring>
#include <gtest/gtest.h>

namespace {

using qvtest::messageOf;

// A GIF header with a 2-colour global table (red, blue).
QByteArray header(const char* version = "GIF89a", int w = 4, int h = 2)
{
    QByteArray b(version);
    qvtest::appendLe16(b, w);
    qvtest::appendLe16(b, h);
    b.append(char(0x80));
    b.append(2, '\0');
    b.append("\xFF\x00\x00\x00\x00\xFF", 6);
    return b;
}

// An image block coding the pixels with our own encoder.
QByteArray imageBlock(int w, int h, const std::vector<std::uint8_t>& px, std::uint8_t packed = 0,
                      const QByteArray& localTable = {}, int minCodeSize = 2)
{
    QByteArray b(",");
    qvtest::appendLe16(b, 0);
    qvtest::appendLe16(b, 0);
    qvtest::appendLe16(b, w);
    qvtest::appendLe16(b, h);
    b.append(char(packed));
    b.append(localTable);
    b.append(char(minCodeSize));
    TByteBuffer data;
    LzwEncode(px.data(), px.size(), minCodeSize, data, {});
    for (std::size_t i = 0; i < data.blockCount(); ++i) {
        b.append(char(data.blockSize(i)));
        b.append(reinterpret_cast<const char*>(data.blockData(i)), qsizetype(data.blockSize(i)));
    }
    b.append('\0');
    return b;
}

const std::vector<std::uint8_t> kPixels{0, 1, 1, 0, 1, 1, 0, 0};

QByteArray simpleGif(const char* version = "GIF89a")
{
    return header(version) + imageBlock(4, 2, kPixels) + ";";
}

// A picture of w x h using exactly n colours, every one of them.
QImage pictureWithColours(int n, int w = 37, int h = 23)
{
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int i = (y * w + x + (x * y) % 5) % n;
            img.setPixel(x, y, qRgb(i * 37 % 256, i / 256 * 64 + 3, 255 - i % 256));
        }
    return img;
}

QImage readWithQt(const QByteArray& gif)
{
    QBuffer buf;
    buf.setData(gif);
    QImageReader reader(&buf, "gif");
    return reader.read();
}

using qvtest::LzwStyle;
using qvtest::noisePixels;
using qvtest::textbookCodes;

QByteArray imageFromCodes(int w, int h, int minCodeSize, const qvtest::LzwCodes& codes)
{
    QByteArray b(",");
    for (int v : {0, 0, w, h})
        qvtest::appendLe16(b, v);
    b.append('\0');
    b.append(char(minCodeSize));
    const TByteBuffer data = qvtest::packCodes(codes);
    for (std::size_t i = 0; i < data.blockCount(); ++i) {
        b.append(char(data.blockSize(i)));
        b.append(reinterpret_cast<const char*>(data.blockData(i)), qsizetype(data.blockSize(i)));
    }
    b.append('\0');
    return b;
}

} // namespace

TEST(GifFile, FilesOfOtherEncodersThatBrowsersShowAreRead)
{
    const std::vector<std::uint8_t> noise = noisePixels(300 * 300);
    std::vector<std::uint8_t> withExtra = noise;
    withExtra.insert(withExtra.end(), {1, 0, 1, 1, 0, 0, 1});
    const struct {
        const char* name;
        LzwStyle style;
        const std::vector<std::uint8_t>& coded;
    } cases[] = {
        {"clear deferred at the full table", {2, false, true}, noise},
        {"clear as soon as the encoder's table is full", {2, true, true, false}, noise},
        {"minimum code size 10", {10, true, true}, noise},
        {"minimum code size 11, no clear", {11, false, true}, noise},
        {"no end code", {2, true, false}, noise},
        {"codes past the last pixel", {2, true, true}, withExtra},
        {"codes past the last pixel, no end code", {3, false, false}, withExtra},
    };
    for (const auto& c : cases) {
        TGifFile gif;
        try {
            gif.LoadFromBytes(header("GIF89a", 300, 300)
                              + imageFromCodes(300, 300, c.style.minCodeSize, textbookCodes(c.coded, c.style)) + ";");
        } catch (const QvError& e) {
            ADD_FAILURE() << c.name << ": " << e.message().toStdString();
            continue;
        }
        EXPECT_EQ(std::memcmp(gif.images[0]->pixels.bytes().data(), noise.data(), noise.size()), 0) << c.name;
    }
    // The full table really was reached without a clear.
    EXPECT_GT(textbookCodes(noise, {2, false, true}).size(), 4096u);

    const QByteArray unknown("!\x2A\x05Hello\x05World\x00", 15);
    TGifFile gif;
    gif.LoadFromBytes(header() + unknown + imageBlock(4, 2, kPixels) + ";");
    ASSERT_EQ(gif.images[0]->extensions.size(), 1u);
    const TExtension& ext = gif.images[0]->extensions[0];
    EXPECT_EQ(ext.kind, TExtension::Other);
    EXPECT_EQ(ext.label, 0x2A);
    EXPECT_EQ(ext.subBlocks, (QList<QByteArray>{"Hello", "World"}));
    EXPECT_EQ(gif.GetBitmap().pixel(1, 0), qRgb(0, 0, 255));
}

TEST(GifFile, BrokenCounterpartsAreStillRefused)
{
    const std::vector<std::uint8_t> noise = noisePixels(16);
    auto codes = textbookCodes(noise, {});
    const struct {
        QByteArray file;
        const char* message;
    } cases[] = {
        {header("GIF89a", 4, 4) + imageFromCodes(4, 4, 12, codes) + ";", "Bad code Size"},
        {header() + QByteArray("!\x2A\x05Hel", 6), "Unrecognized extension block.\r\nCode = $2A"},
        {header() + QByteArray("!\x2A\x02Hi\x09World", 11), "Unrecognized extension block.\r\nCode = $2A"},
        // No pixels to decode: read, but nothing to show.
        {header() + imageFromCodes(0, 32, 2, codes) + ";", "The first image of the Gif file is empty"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(messageOf<QvError>([&] { DecodeGifPicture(c.file); }), c.message);
}

TEST(GifFile, SavedPicturesHaveTheHeaderTablesAndCodeSizesAndReadBack)
{
    struct Case {
        int colours, table, packed, codeSize;
    };
    for (const Case c : {Case{1, 2, 0x80, 2}, Case{2, 2, 0x80, 2}, Case{5, 16, 0xB3, 4}, Case{16, 16, 0xB3, 4},
                         Case{40, 256, 0xF7, 8}, Case{256, 256, 0xF7, 8}}) {
        SCOPED_TRACE(c.colours);
        const QImage picture = pictureWithColours(c.colours);
        const QByteArray gif = EncodeGifPicture(picture);
        const auto* u = reinterpret_cast<const std::uint8_t*>(gif.constData());
        ASSERT_GT(gif.size(), 13 + c.table * 3 + 11);
        EXPECT_EQ(gif.left(6), "GIF87a");
        EXPECT_EQ(u[6] | u[7] << 8, 37);
        EXPECT_EQ(u[8] | u[9] << 8, 23);
        EXPECT_EQ(u[10], c.packed);
        const int at = 13 + c.table * 3;
        EXPECT_EQ(u[at], ',');
        EXPECT_EQ(u[at + 10], c.codeSize);
        EXPECT_EQ(gif.back(), ';');
        // The table starts with the colours in order of first appearance.
        EXPECT_EQ(qRgb(u[13], u[14], u[15]), picture.pixel(0, 0));

        EXPECT_TRUE(qvtest::samePixels(DecodeGifPicture(gif), picture));
        EXPECT_TRUE(qvtest::samePixels(readWithQt(gif), picture));
    }
}

TEST(GifFile, MoreThan256ColoursIsAConversionFailureAndWritesNothing)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("old.gif");
    qvtest::writeFile(path, "previous content");
    EXPECT_EQ(messageOf<EGifConversionError>([&] { SaveGifPicture(pictureWithColours(257, 40, 40), path); }),
              "Too many colors for a Gif picture (more than 256)");
    EXPECT_EQ(qvtest::readFile(path), "previous content");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"old.gif"}); // no temporary left behind

    SaveGifPicture(pictureWithColours(256, 40, 40), path);
    EXPECT_TRUE(qvtest::samePixels(LoadGifPicture(path), pictureWithColours(256, 40, 40)));
    EXPECT_THROW(SaveGifPicture(pictureWithColours(3), dir.filePath("missing/x.gif")), EGifFileError);
}

TEST(GifFile, BitmapToIndexedNumbersColoursByFirstAppearanceAndReportsRows)
{
    QImage img(3, 2, QImage::Format_RGB32);
    const QRgb c[3] = {qRgb(9, 8, 7), qRgb(1, 2, 3), qRgb(200, 100, 0)};
    const int layout[2][3] = {{0, 1, 0}, {2, 2, 1}};
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            img.setPixel(x, y, c[layout[y][x]]);
    std::vector<double> reports;
    SetGifProgressProc([&](double f) { reports.push_back(f); });
    TColorTable table;
    TByteArray2D px;
    BitmapToIndexed(img, table, px);
    SetGifProgressProc({});
    EXPECT_EQ(reports, (std::vector<double>{0.0, 0.5, 1.0}));
    EXPECT_EQ(table.count, 16); // 3 colours padded
    EXPECT_EQ(ColorIndex(table, gifColor(200, 100, 0)), 2);
    EXPECT_EQ(px.get(3, 1), 0);
    EXPECT_EQ(px.get(1, 2), 2);
    EXPECT_EQ(px.get(3, 2), 1);
}

TEST(GifFile, AddSubImageTablesAndCounts)
{
    TGifFile gif;
    TColorTable table;
    SetStandardColors(table, 16);
    TByteArray2D px(5, 3);
    px.set(5, 3, 15);
    gif.AddSubImage(table, px);
    EXPECT_FALSE(gif.images[0]->localColorTable);

    // A second, larger image carries its own table and widens the screen.
    TColorTable four;
    SetStandardColors(four, 4);
    four.entries[3][0] = 77;
    gif.AddSubImage(four, TByteArray2D(9, 2));
    EXPECT_TRUE(gif.images[1]->localColorTable);
    EXPECT_EQ(gif.screenWidth, 9);
    EXPECT_EQ(gif.screenHeight, 3);

    TGifFile reread;
    reread.LoadFromBytes(gif.SaveToBytes());
    ASSERT_EQ(reread.images.size(), 2u);
    EXPECT_EQ(reread.images[1]->colorTable.entries[3][0], 77);
    EXPECT_EQ(reread.images[0]->pixels.get(5, 3), 15);
    EXPECT_EQ(reread.GetBitmap().size(), QSize(5, 3)); // the first image is shown

    TColorTable three;
    three.count = 3;
    EXPECT_THROW(TGifFile().AddSubImage(three, TByteArray2D(1, 1)), EGifException);
    EXPECT_EQ(messageOf<EGifException>([&] { TGifFile().AddSubImage(four, TByteArray2D(1, 1)); }),
              "unexpected number of colors");
    // An index beyond the table would be coded as a clear or end code.
    TByteArray2D bad(2, 1);
    bad.set(2, 1, 2);
    TGifFile g;
    TColorTable two;
    SetStandardColors(two, 2);
    EXPECT_THROW(g.AddSubImage(two, bad), EIndexOutOfBounds);
}

TEST(GifFile, VersionsAndSignature)
{
    for (const char* v : {"GIF87a", "GIF89a", "GIF87A", "GIF89A", "XYZ89a"}) {
        TGifFile gif;
        EXPECT_NO_THROW(gif.LoadFromBytes(simpleGif(v))) << v;
    }
    for (const char* v : {"GIF90a", "GIF89b", "GIF8 a"})
        EXPECT_EQ(messageOf<EGifException>([&] { DecodeGifPicture(simpleGif(v)); }),
                  "Gif Version must be 87a or 89a")
            << v;
}

TEST(GifFile, ExtensionsAreKeptWithTheirImage)
{
    QByteArray gif = header();
    gif += QByteArray("!\xF9\x04\x05\x0A\x00\x01\x00", 8);                    // graphic control
    gif += QByteArray("!\xFE\x03" "abc" "\x02" "de" "\x00", 10);              // comment
    gif += QByteArray("!\xFF\x0BNETSCAPE2.0\x03\x01\x00\x00\x00", 19);      // application
    gif += QByteArray("!\x01\x0C", 3) + QByteArray(12, '\x01') + QByteArray("\x01z\x00", 3); // plain text
    gif += imageBlock(4, 2, kPixels);
    gif += QByteArray("!\xFE\x01x\x00", 5); // after the last image: read, then dropped
    gif += imageBlock(4, 2, kPixels) + ";";
    TGifFile file;
    file.LoadFromBytes(gif);
    ASSERT_EQ(file.images.size(), 2u);
    const auto& ext = file.images[0]->extensions;
    ASSERT_EQ(ext.size(), 4u);
    const TExtension::Kind kinds[] = {TExtension::GraphicControl, TExtension::Comment, TExtension::Application,
                                      TExtension::PlainText};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(ext[std::size_t(i)].kind, kinds[i]) << i;
    EXPECT_EQ(ext[1].subBlocks, (QList<QByteArray>{"abc", "de"}));
    EXPECT_EQ(ext[2].header + ext[2].subBlocks.value(0), QByteArray("\x0BNETSCAPE2.0\x01\x00\x00", 15));
    EXPECT_EQ(file.images[1]->extensions.size(), 1u);

    EXPECT_EQ(messageOf<EGifException>([&] { DecodeGifPicture(header() + "!\x0A"); }),
              "Unrecognized extension block.\r\nCode = $0A");
    EXPECT_EQ(messageOf<EGifException>([&] { DecodeGifPicture(header() + "!\xF8"); }),
              "Unrecognized extension block.\r\nCode = $F8");
    EXPECT_EQ(messageOf<EGifException>([&] { DecodeGifPicture(header() + imageBlock(4, 2, kPixels) + QByteArray(1, 0)); }),
              "Unrecognized block.\r\nCode = $00");
    EXPECT_EQ(messageOf<EGifException>([&] { DecodeGifPicture(header() + ";"); }), "No image in the Gif file");
}

TEST(GifFile, ShownTableIsTheImagesOwnOrElseTheGlobalOne)
{
    // Second image with a local table first, then one without.
    const QByteArray local("\x00\xFF\x00\x10\x20\x30", 6);
    QImage img = DecodeGifPicture(header() + imageBlock(4, 2, kPixels, 0x80, local) + ";");
    EXPECT_EQ(img.pixel(0, 0), qRgb(0, 255, 0));
    EXPECT_EQ(img.pixel(1, 0), qRgb(0x10, 0x20, 0x30));

    // Without any table the creation table (black, white) stays.
    QByteArray noTable("GIF89a");
    qvtest::appendLe16(noTable, 4);
    qvtest::appendLe16(noTable, 2);
    noTable.append(QByteArray(3, '\0'));
    img = DecodeGifPicture(noTable + imageBlock(4, 2, kPixels) + ";");
    EXPECT_EQ(img.pixel(1, 0), qRgb(255, 255, 255));
}

TEST(GifFile, SizesBeyondTheLimitsAreRefusedBeforeDecoding)
{
    EXPECT_EQ(messageOf<EGifException>([&] { DecodeGifPicture(header("GIF89a", 65535, 65535) + ";"); }),
              "Picture too large");
    EXPECT_EQ(messageOf<EGifException>([&] { DecodeGifPicture(header("GIF89a", 65535, 4097) + ";"); }),
              "Picture too large");
    // An image within the limits but larger than its screen is fine.
    QByteArray big = header("GIF89a", 1, 1) + ",";
    qvtest::appendLe16(big, 0);
    qvtest::appendLe16(big, 0);
    qvtest::appendLe16(big, 65535);
    qvtest::appendLe16(big, 4097);
    big.append('\0');
    EXPECT_EQ(messageOf<EGifException>([&] { DecodeGifPicture(big); }), "Picture too large");
    // The images, extensions and blocks of one file share a memory budget.
    const QByteArray twoImages = header() + imageBlock(4, 2, kPixels) + imageBlock(4, 2, kPixels) + ";";
    TGifFile file;
    file.setMemoryBudget(2 * (1024 + 8) + 2 * 100); // two images, their pixels and coded data
    EXPECT_NO_THROW(file.LoadFromBytes(twoImages));
    file.setMemoryBudget(2 * 1024 + 15); // the second image's pixels do not fit
    EXPECT_EQ(messageOf<EGifException>([&] { file.LoadFromBytes(twoImages); }), "Picture too large");
    QByteArray comments = header();
    for (int i = 0; i < 100000; ++i) // 5 bytes each in the file, far more in memory
        comments += QByteArray("!\xFE\x01x\x00", 5);
    comments += imageBlock(4, 2, kPixels) + ";";
    TGifFile many;
    many.setMemoryBudget(1 << 20);
    EXPECT_EQ(messageOf<EGifException>([&] { many.LoadFromBytes(comments); }), "Picture too large");
}

TEST(GifFile, EveryTruncationIsAnError)
{
    const QByteArray gif = header() + QByteArray("!\xFE\x02hi\x00", 6) + imageBlock(4, 2, kPixels, 0x40) + ";";
    ASSERT_NO_THROW(DecodeGifPicture(gif));
    for (int n = 0; n < gif.size(); ++n) {
        try {
            DecodeGifPicture(gif.left(n));
            ADD_FAILURE() << "prefix of " << n << " bytes loaded";
        } catch (const EGifFileError& e) {
            EXPECT_EQ(e.message(), "Unexpected end of file");
        } catch (const EGifException& e) {
            EXPECT_EQ(e.message(), "Gif Version must be 87a or 89a") << n; // the version is cut
        }
    }
}

TEST(GifFile, InterlacedImagesSaveAndReadBack)
{
    TGifFile gif;
    gif.LoadFromBytes(header("GIF89a", 3, 11) + imageBlock(3, 11, std::vector<std::uint8_t>(33, 1), 0x40) + ";");
    const std::vector<std::uint8_t> rows{0, 1, 0, 1, 1, 0, 0, 1, 1, 1, 0};
    for (std::size_t y = 0; y < 11; ++y)
        for (std::size_t x = 1; x <= 3; ++x)
            gif.images[0]->pixels.set(x, y + 1, rows[y]);
    const QByteArray saved = gif.SaveToBytes();
    EXPECT_EQ(saved.left(6), "GIF89a"); // the version is kept
    TGifFile reread;
    reread.LoadFromBytes(saved);
    ASSERT_TRUE(reread.images[0]->interlaced);
    for (std::size_t y = 0; y < 11; ++y)
        EXPECT_EQ(reread.images[0]->pixels.get(2, y + 1), rows[y]) << y;
    EXPECT_TRUE(qvtest::samePixels(readWithQt(saved), reread.GetBitmap()));
}

// Loading hands the decoded rows over in bands of 4 MiB, freeing them as they
// are copied: a picture past one band must still arrive whole.
TEST(GifFile, PictureLargerThanABandArrivesWhole)
{
    QImage picture(2100, 2050, QImage::Format_Indexed8);
    QList<QRgb> table(256);
    for (int i = 0; i < 256; ++i)
        table[i] = qRgb(i, 255 - i, (i * 7) & 0xFF);
    picture.setColorTable(table);
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            picture.scanLine(y)[x] = uchar((x / 16 + y / 8 * 3) & 0xFF);
    const QByteArray file = EncodeGifPicture(picture);
    const QImage loaded = DecodeGifPicture(file);
    ASSERT_EQ(loaded.size(), picture.size());
    EXPECT_EQ(loaded.convertToFormat(QImage::Format_RGB32), picture.convertToFormat(QImage::Format_RGB32));

    TGifFile gif;
    gif.LoadFromBytes(file);
    const QImage kept = gif.GetBitmap();
    EXPECT_EQ(gif.TakeBitmap(), kept);
    EXPECT_EQ(gif.images.front()->pixels.bytes().count(), 0u);
}

// Reading folders into thumbnails and the cache pair, on real folders.
#include "catalogue/lzrw1codec.h"
#include "catalogue/thumbnail_catalogue.h"
#include "catalogue/thumbnail_geometry.h"
#include "formats/jpeg_options.h"
#include "platform/settings.h"

#include "testutil.h"

#include <QBuffer>
#include <QDir>
#include <QScopeGuard>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QtEndian>
#include <cstdio>
#include <functional>
#include <gtest/gtest.h>

using lzrw1::decompress;

namespace {

// Records what the catalogue shows and lets a test act inside processEvents.
class TestHost : public CatalogueHost {
public:
    void setStatusText(int panel, const QString& text) override { panels[panel] = text; }
    void processEvents() override
    {
        ++events;
        if (onEvents)
            onEvents(events);
    }
    void setMonitorActive(bool on) override { monitorSwitches << on; }
    void setMonitoredFolder(const QString& folder) override { monitored = folder; }

    QString panels[3];
    int events = 0;
    std::function<void(int)> onEvents;
    QList<bool> monitorSwitches;
    QString monitored;
};

QImage solid(int w, int h, QColor c)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(c);
    return img;
}

void saveBmp(const QString& path, const QImage& img) { ASSERT_TRUE(img.save(path, "BMP")); }

// An independent reading of the text file: values end at CR LF only.
QStringList cacheLines(const QByteArray& bytes)
{
    QStringList lines = QString::fromUtf8(bytes).split("\r\n");
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

// A FAST stream of stored blocks, written from the stream format alone.
QByteArray storedFastStream(const QByteArray& data)
{
    QByteArray out("WRZL");
    char le[4];
    qToLittleEndian<quint32>(quint32(data.size()), le);
    out.append(le, 4);
    for (qsizetype pos = 0;;) {
        const QByteArray chunk = data.mid(pos, 32768);
        pos += chunk.size();
        char len[2];
        qToLittleEndian<quint16>(quint16(chunk.size() + 1), len);
        out.append(len, 2).append(char(0x80)).append(chunk);
        if (chunk.size() < 32768)
            return out;
    }
}

// A 24-bit BMP file of `img` as Qt writes it (rows from the bottom), or with its rows from the top.
QByteArray bmp24(const QImage& img, bool topDown = false)
{
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    img.convertToFormat(QImage::Format_RGB32).save(&buffer, "BMP");
    if (!topDown)
        return out;
    const int h = img.height(), stride = (img.width() * 3 + 3) & ~3;
    QByteArray flipped = out.left(54);
    for (int y = h - 1; y >= 0; --y)
        flipped += out.mid(54 + qsizetype(y) * stride, stride);
    qToLittleEndian<qint32>(-h, flipped.data() + 22);
    return flipped;
}

// One record of a cache text.
QByteArray record(const QString& caption, int index, const QString& path, const char* loaded = "1")
{
    return caption.toUtf8() + "\r\n" + QByteArray::number(index) + "\r\n" + path.toUtf8()
        + "\r\nFile format jpg\r\n640x480\r\n2048\r\nd\r\n" + loaded + "\r\n";
}

// Records of `folder` for cells 0 to n-1 of a size-2 cache, then one far outside the strip.
QByteArray recordsFor(const QString& folder, int n)
{
    QByteArray t = "2\r\n" + QByteArray::number(n + 1) + "\r\n";
    for (int i = 0; i <= n; ++i)
        t += record("C" + QString::number(i), i < n ? i : 99999, folder + "/c" + QString::number(i));
    return t;
}

class CatalogueTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Configurazione = TConfigurazione{};
        startupObjects().paintFrames(Configurazione.BkCol, Configurazione.BdCol);
        cat = std::make_unique<ThumbnailCatalogue>(&host);
        cat->chooseImageList(2);
        cat->clearList();
        dir = tmp.path();
    }
    void TearDown() override { QDir::setCurrent(QDir::tempPath()); }
    // A name in the test's folder, or a whole path.
    QString file(const QString& name) const { return name.startsWith('/') ? name : dir + "/" + name; }
    int row(const QString& name) const { return cat->model().rowOfPath(file(name)); }
    const ThumbnailRecord& rec(const QString& name) const { return cat->model().item(row(name)); }
    void writePair(const QByteArray& strip, const QByteArray& texts) const
    {
        qvtest::writeFile(dir + "/qvthimgs.thi", strip);
        qvtest::writeFile(dir + "/qvthtxts.tht", texts);
    }
    QImage thumb(const QString& name) const { return cat->currentList()->at(rec(name).ImageIndex); }
    QColor centre(const QString& name) const { return thumb(name).pixelColor(45, 45); }
    // Reads a folder of three pictures with Esc pressed during the first
    // thumbnail's event (the first event comes after the listing).
    void readThreeStoppedByEsc()
    {
        for (const char* n : {"a.bmp", "b.bmp", "c.bmp"})
            saveBmp(file(n), solid(20, 10, Qt::darkGreen));
        host.onEvents = [&](int n) {
            if (n == 2)
                cat->Interrompi = true;
        };
        ASSERT_TRUE(cat->readFolder(dir));
    }

    qvtest::TempDir tmp;
    QString dir;
    TestHost host;
    std::unique_ptr<ThumbnailCatalogue> cat;
};

} // namespace

TEST_F(CatalogueTest, ReadFolderListsPicturesWithTheirTextsAndThumbnails)
{
    saveBmp(file("wide.bmp"), solid(352, 176, Qt::blue));
    saveJpegPicture(solid(1601, 1199, Qt::green), file("holiday.jpeg"), {});
    qvtest::writeFile(file("notes.txt"), "not a picture");
    saveBmp(file(".hidden.bmp"), solid(4, 4, Qt::red));
    QDir(dir).mkdir("folder.bmp");
    qvtest::writeFile(file("k1.jpg"), QByteArray(1023, 'x'));
    qvtest::writeFile(file("k2.jpg"), QByteArray(1024, 'x'));
    qvtest::writeFile(file("bad.pcx"), QByteArray(5000, '\x0a'));

    ASSERT_TRUE(cat->readFolder(dir));
    EXPECT_EQ(cat->model().count(), 5);
    EXPECT_EQ(host.monitored, dir);
    EXPECT_EQ(host.panels[0], QString("There are 5 pictures in the list"));

    const ThumbnailRecord& jpeg = rec("holiday.jpeg");
    EXPECT_EQ(jpeg.SubItems[SubFormat], QString("File format jpeg"));
    EXPECT_EQ(jpeg.SubItems[SubPixels], QString("1601x1199")); // the file's own size, not 4 x the decoded one
    EXPECT_EQ(jpeg.SubItems[SubLoaded], QString("1"));
    EXPECT_TRUE(jpeg.Caption.startsWith("HOLIDAY.JPEG\r1601x1199 "));
    EXPECT_TRUE(cat->ListaCaricate.contains(file("holiday.jpeg")));
    // Kilobytes round up; a damaged file gets the no-picture thumbnail.
    EXPECT_TRUE(rec("k1.jpg").Caption.endsWith(" 1Kb"));
    EXPECT_TRUE(rec("k2.jpg").Caption.endsWith(" 2Kb"));
    EXPECT_EQ(thumb("bad.pcx").pixel(45, 45), startupObjects().noPicture[1].scaled(88, 88).pixel(44, 44));
    EXPECT_EQ(rec("bad.pcx").SubItems[SubLoaded], QString("1"));

    // The 352 x 176 picture sits in (1,22)-(88,66) of a red-bordered silver frame.
    const QImage t = thumb("wide.bmp");
    ASSERT_EQ(t.size(), QSize(90, 90));
    EXPECT_EQ(t.pixelColor(0, 0), QColor(Qt::red));
    for (const auto& [y, colour] : {std::pair{21, QColor(0xC0, 0xC0, 0xC0)}, {22, QColor(Qt::blue)},
                                    {65, QColor(Qt::blue)}, {66, QColor(0xC0, 0xC0, 0xC0)}})
        EXPECT_EQ(t.pixelColor(44, y), colour) << y;

    Configurazione.Lingua = "ITALIANO";
    cat->clearList();
    cat->readFolder(dir);
    EXPECT_EQ(rec("wide.bmp").SubItems[SubFormat], QString("File di tipo bmp"));
    EXPECT_EQ(host.panels[0], QString("La lista contiene 5 immagini"));
}

TEST_F(CatalogueTest, EscStopsThePassAndALaterReadFinishesIt)
{
    readThreeStoppedByEsc();
    ASSERT_EQ(cat->model().count(), 3);
    EXPECT_EQ(rec("a.bmp").SubItems[SubLoaded], QString("1"));
    EXPECT_TRUE(cat->ListaCaricate.contains(file("a.bmp")));
    EXPECT_EQ(rec("b.bmp").SubItems[SubLoaded], QString("0"));
    EXPECT_EQ(rec("c.bmp").ImageIndex, cat->currentList()->frameIndex);

    host.onEvents = nullptr;
    Configurazione.SvuotaLista = false;
    cat->readFolder(dir);
    EXPECT_EQ(cat->model().count(), 3);
    for (const char* n : {"a.bmp", "b.bmp", "c.bmp"}) {
        EXPECT_EQ(rec(n).SubItems[SubLoaded], QString("1")) << n;
        EXPECT_TRUE(cat->ListaCaricate.contains(file(n))) << n;
    }
}

TEST_F(CatalogueTest, KeepingTheListAddsOtherFoldersButNeverAPathTwice)
{
    saveBmp(file("one.bmp"), solid(8, 8, Qt::red));
    qvtest::TempDir other;
    saveBmp(other.path() + "/two.bmp", solid(8, 8, Qt::red));
    Configurazione.SvuotaLista = false;
    cat->readFolder(dir);
    cat->readFolder(dir);
    EXPECT_EQ(cat->model().count(), 1);
    cat->readFolder(other.path());
    EXPECT_EQ(cat->model().count(), 2);
    EXPECT_FALSE(cat->readFolder(dir + "/missing"));
    EXPECT_EQ(cat->model().count(), 2);

    // A size change remakes every thumbnail; an odd value keeps the list.
    Configurazione.Dimensione = 1;
    ASSERT_TRUE(cat->chooseImageList(1));
    cat->RigeneraMiniature();
    EXPECT_EQ(thumb("one.bmp").size(), QSize(60, 60));
    EXPECT_FALSE(cat->chooseImageList(7));
}

TEST_F(CatalogueTest, ARelativeFolderNamesNoFolder)
{
    QDir(dir).mkdir("sub");
    saveBmp(dir + "/sub/r.bmp", solid(16, 16, Qt::red));
    QDir::setCurrent(dir);
    EXPECT_FALSE(cat->readFolder("sub"));
    EXPECT_EQ(cat->model().count(), 0);
    EXPECT_EQ(QDir::current().absolutePath(), QDir(dir).absolutePath());
}

// ---- the cache pair ---------------------------------------------------------------------------

TEST_F(CatalogueTest, CachePairHasTheDocumentedLayoutAndReadsBack)
{
    // Nine thumbnails: three rows of cells, the last one short; written row by row from the
    // bottom, read back by record.
    QList<QRgb> colours;
    for (int i = 0; i < 9; ++i) {
        colours << QColor::fromHsv(i * 40, 255, 200).rgb();
        saveBmp(file(QString("p%1.bmp").arg(i)), solid(100, 100, QColor(colours.last())));
    }
    cat->readFolder(dir);
    cat->SalvaMiniature(dir);
    EXPECT_EQ(host.monitorSwitches, QList<bool>({false, true}));

    const QStringList lines = cacheLines(qvtest::readFile(dir + "/qvthtxts.tht"));
    ASSERT_EQ(lines.size(), 2 + 8 * 9); // two header lines and eight per item
    EXPECT_EQ(lines.mid(0, 4), QStringList({"2", "9", "P0.BMP\r100x100 30Kb", "1"})); // the lone CR stays inside
    EXPECT_EQ(lines[4], file("p0.bmp"));
    EXPECT_EQ(lines[9], "1");

    const QByteArray bmp = decompress(qvtest::readFile(dir + "/qvthimgs.thi"));
    ASSERT_GE(bmp.size(), 54);
    EXPECT_EQ(bmp.left(2), QByteArray("BM"));
    EXPECT_EQ(qFromLittleEndian<quint16>(bmp.constData() + 28), 24);
    const QImage strip = QImage::fromData(bmp, "BMP");
    ASSERT_EQ(strip.size(), QSize(360, 270));
    for (int r = 0; r < 9; ++r) {
        const int index = cat->model().item(r).ImageIndex;
        EXPECT_EQ(strip.pixel(90 * (index % 4) + 45, 90 * (index / 4) + 45), colours[r]) << r;
    }
    EXPECT_EQ(strip.pixel(90 * 2 + 45, 90 * 2 + 45), qRgb(0, 0, 0)); // past the last cell

    QStringList texts;
    for (int r = 0; r < cat->model().count(); ++r)
        texts << cat->model().item(r).Caption + cat->model().item(r).SubItems.join('|');
    Configurazione.Dimensione = 1; // the cache decides the size
    cat->CaricaMiniature(dir);
    EXPECT_EQ(Configurazione.Dimensione, 2);
    ASSERT_EQ(cat->model().count(), 9);
    for (int r = 0; r < 9; ++r) {
        const ThumbnailRecord& rr = cat->model().item(r);
        EXPECT_EQ(rr.Caption + rr.SubItems.join('|'), texts[r]);
        EXPECT_EQ(rr.ImageIndex, cat->currentList()->frameIndex + 1 + r);
        EXPECT_EQ(cat->currentList()->at(rr.ImageIndex).pixel(45, 45), colours[r]) << r;
    }

    // Read in place, the pair gone under the list: written again although the list did not
    // change, the same bytes, and the pictures read through without being kept.
    const QByteArray textFile = qvtest::readFile(dir + "/qvthtxts.tht");
    cat->CaricaMiniature(dir);
    QFile::remove(dir + "/qvthimgs.thi");
    QFile::remove(dir + "/qvthtxts.tht");
    EXPECT_EQ(cat->SalvaMiniature(dir), ThumbnailCatalogue::CacheSave::Written);
    EXPECT_EQ(decompress(qvtest::readFile(dir + "/qvthimgs.thi")), bmp);
    EXPECT_EQ(qvtest::readFile(dir + "/qvthtxts.tht"), textFile);
    EXPECT_TRUE(cat->currentList()->isDeferred(cat->model().item(0).ImageIndex));
}

TEST_F(CatalogueTest, CacheWrittenByAnotherWriterLoads)
{
    // A 120-pixel strip of 3 cells, 4 wide, 24 bits, each cell its own colour.
    QImage strip(480, 120, QImage::Format_RGB32);
    strip.fill(Qt::black);
    const QColor colours[] = {Qt::white, Qt::red, Qt::blue};
    for (int i = 0; i < 3; ++i)
        QPainter(&strip).fillRect(120 * i, 0, 120, 120, colours[i]);
    writePair(storedFastStream(bmp24(strip)),
              "3\r\n2\r\n" + record("FIRST.JPG", 2, file("first.jpg")) + record("SECOND.BMP", 1, file("second.bmp"), "0"));
    cat->CaricaMiniature(dir);
    EXPECT_EQ(Configurazione.Dimensione, 3);
    EXPECT_EQ(cat->currentList()->size(), 120);
    ASSERT_EQ(cat->model().count(), 2);
    EXPECT_EQ(rec("first.jpg").Caption, QString("FIRST.JPG\r640x480 3Kb")); // made again from the record's texts
    EXPECT_EQ(thumb("first.jpg").pixelColor(60, 60), QColor(Qt::blue));
    EXPECT_EQ(thumb("second.bmp").pixelColor(60, 60), QColor(Qt::red));
    EXPECT_EQ(rec("second.bmp").SubItems[SubLoaded], QString("0"));
}

TEST_F(CatalogueTest, DamagedCachePairsFailCleanly)
{
    const QByteArray green = storedFastStream(bmp24(solid(360, 90, Qt::green)));
    // More records announced than written: stops at the end of the file.
    writePair(green, "2\r\n1000\r\n" + record("A.JPG", 0, file("a.jpg")));
    cat->CaricaMiniature(dir);
    EXPECT_EQ(cat->model().count(), 1);

    // An index outside the strip gives the frame, not a crash.
    qvtest::writeFile(dir + "/qvthtxts.tht", "2\r\n2\r\n" + record("A", 999999, file("a")) + record("B", -5, file("b")));
    cat->CaricaMiniature(dir);
    ASSERT_EQ(cat->model().count(), 2);
    EXPECT_EQ(thumb("a"), startupObjects().frames[1]);
    EXPECT_EQ(thumb("b"), startupObjects().frames[1]);

    // A line that should be a number but is not.
    qvtest::writeFile(dir + "/qvthtxts.tht", "2\r\nmany\r\n");
    EXPECT_THROW(cat->CaricaMiniature(dir), ECacheError);
    // A strip stream cut short.
    qvtest::writeFile(dir + "/qvthimgs.thi", green.left(300));
    EXPECT_THROW(cat->CaricaMiniature(dir), ELzrw1Exception);
    // A strip narrower than a thumbnail.
    writePair(storedFastStream(bmp24(solid(50, 50, Qt::green))), "2\r\n0\r\n");
    EXPECT_THROW(cat->CaricaMiniature(dir), ECacheError);
}

TEST_F(CatalogueTest, ReadFolderUsesTheCacheOnlyWhenBothFilesExist)
{
    saveBmp(file("x.bmp"), solid(10, 10, Qt::red));
    Configurazione.SalvaThumb = true;
    cat->readFolder(dir);
    cat->SalvaMiniature(dir);
    // A picture added after the cache was written is completed; a vanished one stays.
    saveBmp(file("y.bmp"), solid(10, 10, Qt::red));
    cat->clearList();
    cat->readFolder(dir);
    EXPECT_EQ(cat->model().count(), 2);
    EXPECT_EQ(rec("y.bmp").SubItems[SubLoaded], QString("1"));

    // Only the strip present: a full scan, no error.
    QFile::remove(dir + "/qvthtxts.tht");
    QFile::remove(file("y.bmp"));
    cat->clearList();
    cat->readFolder(dir);
    EXPECT_EQ(cat->model().count(), 1);

    // Loading with no cache files empties the list without an error.
    QFile::remove(dir + "/qvthimgs.thi");
    cat->CaricaMiniature(dir);
    EXPECT_EQ(cat->model().count(), 0);
}

TEST_F(CatalogueTest, CacheRecordsNameOnlyFilesOfTheirOwnFolder)
{
    qvtest::TempDir elsewhere;
    const QByteArray records = record("A.JPG\r640x480 3Kb", 1, file("a.jpg"))
        + record("CB.TGA\r1x1 1Kb", 2, elsewhere.path() + "/drag/d1.jpg") // redirected to another folder
        + record("UP", 1, file("..")) + record("SUB", 1, file("sub/x.jpg")) + record("DOT", 1, dir + "/.")
        + record("CB.TGA\r1x1 1Kb", 3, dir + "/./b.jpg") // the folder spelt otherwise: kept, caption its own
        + record("AGAIN", 3, file("a.jpg"));                  // a second record of one file
    // Cut short inside the last record's path: nothing of it is taken.
    const QByteArray cut = record("C.JPG", 1, file("c.jpg")).left(10 + file("c.").size());
    writePair(storedFastStream(bmp24(solid(360, 90, Qt::green))), "2\r\n9\r\n" + records + cut);

    cat->CaricaMiniature(dir);
    QStringList paths;
    for (int r = 0; r < cat->model().count(); ++r)
        paths << cat->model().item(r).SubItems[SubPath];
    EXPECT_EQ(paths, QStringList({file("a.jpg"), file("b.jpg")}));
    EXPECT_EQ(rec("a.jpg").Caption, QString("A.JPG\r640x480 3Kb"));
    EXPECT_EQ(rec("b.jpg").Caption, QString("B.JPG\r640x480 3Kb"));
}

TEST_F(CatalogueTest, DamagedPairNeverHidesTheFolderAndIsReplacedWhenSaved)
{
    for (const char* n : {"a.bmp", "b.bmp", "c.bmp"})
        saveBmp(file(n), solid(40, 30, Qt::blue));
    Configurazione.SalvaThumb = true;
    cat->readFolder(dir);
    cat->SalvaMiniature(dir);
    const QByteArray strip = qvtest::readFile(dir + "/qvthimgs.thi");
    const QByteArray texts = qvtest::readFile(dir + "/qvthtxts.tht");

    // A size code that does not match the strip is damage, not sliced thumbnails.
    for (const char* code : {"1", "3"}) {
        qvtest::writeFile(dir + "/qvthtxts.tht", code + texts.mid(1));
        EXPECT_THROW(cat->CaricaMiniature(dir), ECacheError) << code;
    }
    // Cut strip, garbage strip, mismatched size: the folder is scanned and the status bar says why.
    const QByteArray damaged[][2] = {{strip.left(strip.size() / 2), texts},
                                     {QByteArray(4000, 'x'), texts},
                                     {strip, "3" + texts.mid(1)}};
    for (const auto& pair : damaged) {
        writePair(pair[0], pair[1]);
        cat->clearList();
        host.panels[1].clear();
        ASSERT_NO_THROW(cat->readFolder(dir));
        EXPECT_EQ(cat->model().count(), 3);
        EXPECT_EQ(rec("c.bmp").SubItems[SubLoaded], QString("1"));
        EXPECT_EQ(host.panels[1], QString("Thumbnail cache damaged: folder read again"));
        EXPECT_EQ(Configurazione.Dimensione, 2);
        // The next save replaces the pair with a readable one.
        EXPECT_EQ(cat->SalvaMiniature(dir), ThumbnailCatalogue::CacheSave::Written);
        cat->CaricaMiniature(dir);
        EXPECT_EQ(cat->model().count(), 3);
    }
}

TEST_F(CatalogueTest, PairWrittenOnlyForTheListsFolderWithItsOwnItemsAndOnlyWhenChanged)
{
    qvtest::TempDir otherDir;
    const QString other = otherDir.path();
    saveBmp(file("a.bmp"), solid(40, 30, Qt::red));
    saveBmp(other + "/b.bmp", solid(40, 30, Qt::blue));
    saveBmp(other + "/c.bmp", solid(40, 30, Qt::yellow));

    // A list read from the folder is never written into another one.
    cat->readFolder(dir);
    EXPECT_EQ(cat->SalvaMiniature(other), ThumbnailCatalogue::CacheSave::NotOurs);
    EXPECT_FALSE(QFile::exists(other + "/qvthtxts.tht"));

    // A list kept across two reads writes the folder read last with its own items and pictures.
    Configurazione.SvuotaLista = false;
    cat->readFolder(other);
    ASSERT_EQ(cat->model().count(), 3);
    EXPECT_EQ(cat->SalvaMiniature(dir), ThumbnailCatalogue::CacheSave::NotOurs);
    EXPECT_EQ(cat->SalvaMiniature(other), ThumbnailCatalogue::CacheSave::Written);
    cat->CaricaMiniature(other);
    ASSERT_EQ(cat->model().count(), 2);
    EXPECT_EQ(centre(other + "/b.bmp"), QColor(Qt::blue));
    EXPECT_EQ(centre(other + "/c.bmp"), QColor(Qt::yellow));
    EXPECT_EQ(cacheLines(qvtest::readFile(other + "/qvthtxts.tht")).size(), 2 + 8 * 2);

    // Read from its cache and unchanged: leaving writes nothing; a change is written.
    Configurazione.SvuotaLista = true;
    Configurazione.SalvaThumb = true;
    cat->readFolder(other);
    const QDateTime before = QFileInfo(other + "/qvthimgs.thi").lastModified();
    EXPECT_EQ(cat->SalvaMiniature(other), ThumbnailCatalogue::CacheSave::Unchanged);
    EXPECT_EQ(QFileInfo(other + "/qvthimgs.thi").lastModified(), before);
    QFile::remove(other + "/c.bmp");
    cat->refreshFolder(other);
    EXPECT_EQ(cat->SalvaMiniature(other), ThumbnailCatalogue::CacheSave::Written);
    EXPECT_EQ(cacheLines(qvtest::readFile(other + "/qvthtxts.tht")).size(), 2 + 8);

    // A folder that refuses the pair (here its strip's name is taken by a folder) is left quietly.
    QDir(dir).mkdir("qvthimgs.thi");
    cat->readFolder(dir);
    EXPECT_EQ(cat->SalvaMiniature(dir), ThumbnailCatalogue::CacheSave::Unwritable);
    EXPECT_EQ(host.panels[1], QString("Thumbnails not saved: folder not writable"));
}

TEST_F(CatalogueTest, CacheStepsNeverNestAndThePairDescribesOneList)
{
    for (int i = 0; i < 40; ++i)
        saveBmp(file(QString("p%1.bmp").arg(i)), solid(30, 30, QColor::fromHsv(i * 9, 255, 200)));
    cat->readFolder(dir);
    // F11 twice, then Shift+F11 and the list emptied while the first save still runs.
    ThumbnailCatalogue::CacheSave second = ThumbnailCatalogue::CacheSave::Written;
    bool loaded = true;
    bool fired = false;
    host.onEvents = [&](int) {
        if (std::exchange(fired, true))
            return;
        second = cat->SalvaMiniature(dir);
        loaded = cat->CaricaMiniature(dir);
        EXPECT_FALSE(cat->readFolder(dir));
        cat->clearList();
    };
    ASSERT_EQ(cat->SalvaMiniature(dir), ThumbnailCatalogue::CacheSave::Written);
    EXPECT_EQ(second, ThumbnailCatalogue::CacheSave::Busy);
    EXPECT_FALSE(loaded);
    // Strip and records from the list as it was when the save began.
    EXPECT_EQ(cacheLines(qvtest::readFile(dir + "/qvthtxts.tht")).size(), 2 + 8 * 40);
    cat->CaricaMiniature(dir);
    ASSERT_EQ(cat->model().count(), 40);
    EXPECT_EQ(thumb("p7.bmp").pixel(45, 45), QColor::fromHsv(63, 255, 200).rgb());
}

// ---- the strip read in place ------------------------------------------------------------------

TEST_F(CatalogueTest, StripReadInPlaceGivesTheCellsOfTheStripExpandedWhole)
{
    // Two full bands and a short third one; every pixel its own colour.
    QImage img(360, 200, QImage::Format_RGB32);
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            img.setPixel(x, y, qRgb(x % 251, y, (x * 7 + y * 3) % 256));
    qvtest::writeFile(dir + "/qvthtxts.tht", recordsFor(dir, 11));
    for (const bool topDown : {false, true}) {
        const QByteArray bmp = bmp24(img, topDown);
        for (const bool lazy : {true, false}) {
            // Stored blocks are read in place; a GOOD stream is expanded whole.
            qvtest::writeFile(dir + "/qvthimgs.thi",
                              lazy ? storedFastStream(bmp) : lzrw1::compress(bmp, TCompressMode::Good));
            cat->CaricaMiniature(dir);
            ASSERT_EQ(cat->model().count(), 12);
            for (int i = 0; i < 12; ++i) {
                const int index = rec("c" + QString::number(i)).ImageIndex;
                EXPECT_EQ(cat->currentList()->isDeferred(index), lazy && i < 11);
                QImage expected = startupObjects().frames[1];
                if (i < 11) {
                    expected = QImage(90, 90, QImage::Format_RGB32);
                    expected.fill(Qt::black);
                    QPainter(&expected).drawImage(0, 0, img.copy(90 * (i % 4), 90 * (i / 4), 90, 90));
                }
                EXPECT_EQ(cat->currentList()->at(index), expected) << i << " top-down " << topDown << " lazy " << lazy;
            }
        }
    }
}

TEST_F(CatalogueTest, StripReadInPlaceCopesWithDamageAndWithItsFileChangingLater)
{
    QImage img(360, 270, QImage::Format_RGB32);
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            img.setPixel(x, y, qRgb(x % 256, y % 256, 77));
    const QByteArray bmp = bmp24(img);
    // Block 3 (bytes 98304 to 131071: file rows 91 to 121, the middle band) made
    // to expand to nothing while the chain of blocks stays whole.
    QByteArray stream = storedFastStream(bmp);
    const qsizetype block3 = 8 + 3 * (2 + 32769);
    stream.replace(block3, 2 + 32769, QByteArray("\x01\x00\x80", 3));
    writePair(stream, recordsFor(dir, 9));
    cat->CaricaMiniature(dir);
    ASSERT_EQ(cat->model().count(), 10);
    auto cellOf = [&](int i) { return thumb("c" + QString::number(i)); };
    for (int i : {0, 8})
        EXPECT_EQ(cellOf(i), img.copy(90 * (i % 4), 90 * (i / 4), 90, 90)) << i;
    for (int i : {4, 5, 6, 7})
        EXPECT_EQ(cellOf(i), startupObjects().frames[1]) << i; // the damaged band: the frame

    // Read again whole, then the file replaced under its name: the list keeps reading what it opened.
    qvtest::writeFile(dir + "/qvthimgs.thi", storedFastStream(bmp));
    cat->CaricaMiniature(dir);
    const QString other = dir + "/other.thi";
    qvtest::writeFile(other, QByteArray(5000, 'x'));
    ASSERT_TRUE(::rename(QFile::encodeName(other).constData(), QFile::encodeName(dir + "/qvthimgs.thi").constData()) == 0);
    EXPECT_EQ(cellOf(5), img.copy(90, 90, 90, 90));

    // Cut short in place after reading: the frame, never a crash.
    qvtest::writeFile(dir + "/qvthimgs.thi", storedFastStream(bmp));
    cat->CaricaMiniature(dir);
    QFile cut(dir + "/qvthimgs.thi");
    ASSERT_TRUE(cut.resize(100));
    EXPECT_EQ(cellOf(8), startupObjects().frames[1]);
    EXPECT_EQ(cellOf(0), startupObjects().frames[1]);
}

// ---- the list kept in step with the folder ----------------------------------------------------

TEST_F(CatalogueTest, FolderRefreshComparesPathSetsAndLeavesOtherThumbnailsAlone)
{
    // A sibling whose name starts with the folder's own, read first with the list kept.
    const QString sibling = dir + "2";
    QDir().mkpath(sibling);
    const auto removeSibling = qScopeGuard([&] { QDir(sibling).removeRecursively(); });
    QDir().mkpath(file("sub"));
    saveBmp(sibling + "/other.bmp", solid(30, 30, Qt::yellow));
    saveBmp(file("sub/deep.bmp"), solid(30, 30, Qt::cyan));
    for (const auto& [name, colour] : {std::pair{"a.bmp", Qt::red}, {"b.bmp", Qt::green}, {"c.bmp", Qt::blue}})
        saveBmp(file(name), solid(40, 20, colour));
    Configurazione.SvuotaLista = false;
    ASSERT_TRUE(cat->readFolder(sibling));
    ASSERT_TRUE(cat->readFolder(dir));
    ASSERT_EQ(cat->model().count(), 4);
    ImageList* list = cat->currentList();
    const int aIndex = rec("a.bmp").ImageIndex;
    const QImage aBefore = list->at(aIndex);

    // Nothing changed: nothing happens.
    EXPECT_FALSE(cat->refreshFolder(dir));
    EXPECT_TRUE(cat->inStepWith(dir));

    // One deleted and one added at the same time: both are seen.
    ASSERT_TRUE(QFile::remove(file("b.bmp")));
    saveBmp(file("d.bmp"), solid(50, 50, Qt::magenta));
    EXPECT_FALSE(cat->inStepWith(dir));
    const int imagesBefore = list->count();
    EXPECT_TRUE(cat->refreshFolder(dir));
    EXPECT_LT(row("b.bmp"), 0);
    ASSERT_GE(row("d.bmp"), 0);
    EXPECT_EQ(rec("d.bmp").SubItems[SubLoaded], QString("1"));
    EXPECT_EQ(centre("d.bmp"), QColor(Qt::magenta));
    EXPECT_TRUE(cat->ListaCaricate.contains(file("d.bmp")));
    // One new picture, one new image: the others were not made again.
    EXPECT_EQ(list->count(), imagesBefore + 1);
    EXPECT_EQ(rec("a.bmp").ImageIndex, aIndex);
    EXPECT_EQ(list->at(aIndex), aBefore);
    // The sibling's and the subfolder's pictures are not the folder's.
    EXPECT_GE(cat->model().rowOfPath(sibling + "/other.bmp"), 0);
    EXPECT_LT(row("sub/deep.bmp"), 0);

    // A rename by another program: the old item goes, the new name gets its own.
    ASSERT_TRUE(QFile::rename(file("a.bmp"), file("z.bmp")));
    EXPECT_TRUE(cat->refreshFolder(dir));
    EXPECT_LT(row("a.bmp"), 0);
    ASSERT_GE(row("z.bmp"), 0);
    EXPECT_EQ(centre("z.bmp"), QColor(Qt::red));
    EXPECT_TRUE(cat->inStepWith(dir));

    // A file rewritten with other contents (a copy still running when first seen)
    // gets its thumbnail and its texts again.
    saveBmp(file("d.bmp"), solid(80, 60, Qt::darkYellow));
    EXPECT_TRUE(cat->refreshFolder(dir));
    EXPECT_EQ(rec("d.bmp").SubItems[SubPixels], QString("80x60"));
    EXPECT_EQ(centre("d.bmp"), QColor(Qt::darkYellow));
    EXPECT_EQ(cat->model().count(), 4);
}

TEST_F(CatalogueTest, FolderRefreshKeepsItemsWaitingForTheirThumbnail)
{
    readThreeStoppedByEsc();
    host.onEvents = nullptr;
    const int waiting = cat->model().count() - cat->ListaCaricate.count();
    ASSERT_GT(waiting, 0);

    saveBmp(file("new.bmp"), solid(20, 10, Qt::darkGreen));
    EXPECT_TRUE(cat->refreshFolder(dir));
    // The stopped items stay as they were (F5 or a later read makes them); only the new file is added.
    EXPECT_EQ(cat->model().count(), 4);
    EXPECT_EQ(cat->model().count() - cat->ListaCaricate.count(), waiting);
    EXPECT_EQ(rec("new.bmp").SubItems[SubLoaded], QString("1"));
    EXPECT_EQ(cat->model().paths().count(file("new.bmp")), 1);

    // AggiungiFile on its own makes one item with its thumbnail.
    saveBmp(file("one.bmp"), solid(16, 16, Qt::black));
    cat->AggiungiFile(file("one.bmp"));
    EXPECT_EQ(rec("one.bmp").SubItems[SubPixels], QString("16x16"));
    EXPECT_TRUE(cat->ListaCaricate.contains(file("one.bmp")));
}

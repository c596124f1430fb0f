// The slideshow: its list, captions, advancing, wrapping, passing over files
// that do not load, the timer and the smooth reduction of large pictures.
#include "catalogue/thumbnail_model.h"
#include "platform/settings.h"
#include "views/fit_geometry.h"
#include "views/slideshow.h"

#include "test_pictures.h"

#include <QItemSelectionModel>
#include <QLabel>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

QString writeBmp(const QTemporaryDir& dir, const QString& name, const QImage& image)
{
    const QString path = dir.filePath(name);
    EXPECT_TRUE(image.save(path, "BMP")) << qPrintable(path);
    return path;
}

QRgb centreOf(const TfrmSlide& slide)
{
    const QImage& img = slide.ctImmagine->picture();
    return img.isNull() ? 0 : img.pixel(img.width() / 2, img.height() / 2) & 0xFFFFFF;
}

struct SlideshowTest : ::testing::Test {
    QTemporaryDir dir;
    TConfigurazione saved = Configurazione;
    TfrmSlide slide;
    ~SlideshowTest() override { Configurazione = saved; }
    void open(const QStringList& files)
    {
        slide.setFileSource([files] { return files; });
        slide.setGeometry(QGuiApplication::primaryScreen()->geometry());
        slide.show();
    }
};

} // namespace

TEST(SlideshowPaths, AllItemsOrOnlySelectedInListOrder)
{
    ThumbnailListModel model;
    for (const char* name : {"a", "b", "c", "d"})
        model.addItem({QString(name).toUpper(), -1, {QString("/p/") + name, "", "", "", "", "1"}});
    QItemSelectionModel selection(&model);
    EXPECT_EQ(slideshowPaths(model, &selection, false), QStringList({"/p/a", "/p/b", "/p/c", "/p/d"}));
    EXPECT_TRUE(slideshowPaths(model, &selection, true).isEmpty()); // the command then shows nothing
    selection.select(model.index(2), QItemSelectionModel::Select);
    selection.select(model.index(0), QItemSelectionModel::Select);
    EXPECT_EQ(slideshowPaths(model, &selection, true), QStringList({"/p/a", "/p/c"}));
    EXPECT_TRUE(slideshowPaths(ThumbnailListModel(), nullptr, false).isEmpty());
}

TEST_F(SlideshowTest, AdvancesByKeyAndClickWrapsAndPassesOverWhatDoesNotLoad)
{
    Configurazione.DurataSlide = 0;
    Configurazione.MostraNomePercorso = false;
    // Loaded by their real, mixed-case names; the missing one was deleted after the list was taken.
    const QStringList files = {writeBmp(dir, "Red.bmp", qvtest::solidImage(40, 30, 0xFF0000)), dir.filePath("Gone.bmp"),
                               writeBmp(dir, "Blue Sky.Bmp", qvtest::solidImage(50, 20, 0x0000FF))};
    open(files);
    EXPECT_EQ(slide.files(), files);
    EXPECT_EQ(slide.lblNomeImm->text(), "RED.BMP");
    EXPECT_EQ(centreOf(slide), 0xFF0000u);
    EXPECT_EQ(slide.ctImmagine->geometry(),
              fit::slideRect({40, 30}, slide.size(), slide.screen()->size()).rect);
    EXPECT_FALSE(slide.Timer1->isActive()); // 0 seconds: a manual show
    EXPECT_EQ(slide.cursor().shape(), Qt::BlankCursor);

    QTest::keyClick(&slide, Qt::Key_A);
    EXPECT_EQ(slide.lblNomeImm->text(), "BLUE SKY.BMP");
    EXPECT_EQ(centreOf(slide), 0x0000FFu);
    EXPECT_EQ(slide.currentIndex(), 0);

    QTest::mouseClick(&slide, Qt::RightButton);
    EXPECT_EQ(slide.lblNomeImm->text(), "BLUE SKY.BMP");
    QTest::mouseClick(&slide, Qt::LeftButton); // round to the first
    EXPECT_EQ(slide.lblNomeImm->text(), "RED.BMP");

    QTest::keyClick(&slide, Qt::Key_Escape);
    EXPECT_FALSE(slide.isVisible());
    EXPECT_TRUE(slide.lblNomeImm->text().isEmpty());
    EXPECT_NE(slide.cursor().shape(), Qt::BlankCursor);
}

TEST_F(SlideshowTest, TimerAdvancesAndFullPathCaption)
{
    Configurazione.DurataSlide = 1;
    Configurazione.MostraNomePercorso = true;
    const QString one = writeBmp(dir, "one.bmp", qvtest::solidImage(10, 10, 0x00FF00));
    open({one});
    EXPECT_EQ(slide.lblNomeImm->text(), one.toUpper());
    // With one picture every advance shows it again.
    slide.ctImmagine->setPicture(QImage());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !slide.ctImmagine->picture().isNull(); }, 5000));
    EXPECT_EQ(centreOf(slide), 0x00FF00u);
    slide.close();
    EXPECT_FALSE(slide.Timer1->isActive());
}

TEST_F(SlideshowTest, ClosesAtOnceWhileTheNextPictureIsStillQueued)
{
    const QStringList files = {writeBmp(dir, "a.bmp", qvtest::solidImage(600, 400, 0xFF0000)),
                               writeBmp(dir, "b.bmp", qvtest::solidImage(600, 400, 0x00FF00))};
    for (int i = 0; i < 20; ++i) {
        open(files);
        QTest::keyClick(&slide, Qt::Key_Space);
        QTest::keyClick(&slide, Qt::Key_Escape);
        ASSERT_FALSE(slide.isVisible());
    }
}

TEST_F(SlideshowTest, NothingLoadableLeavesTheScreenAsItWas)
{
    open({dir.filePath("a.bmp"), dir.filePath("b.jpe")});
    EXPECT_TRUE(slide.lblNomeImm->text().isEmpty());
    EXPECT_TRUE(slide.ctImmagine->picture().isNull());
    QTest::keyClick(&slide, Qt::Key_Space);
    EXPECT_TRUE(slide.isVisible());
}

TEST_F(SlideshowTest, LargePictureIsAreaAveraged)
{
    // One-pixel black and white checks twice the screen's width: any pixel
    // sampling shows black or white, an area average grey.
    const QSize screen = QGuiApplication::primaryScreen()->size();
    QImage checks(2 * screen.width(), 4, QImage::Format_RGB32);
    for (int y = 0; y < checks.height(); ++y)
        for (int x = 0; x < checks.width(); ++x)
            checks.setPixel(x, y, (x + y) % 2 ? 0xFFFFFFFF : 0xFF000000);
    open({writeBmp(dir, "checks.bmp", checks)});
    const QImage& shown = slide.ctImmagine->picture();
    ASSERT_EQ(shown.size(), slide.ctImmagine->size());
    EXPECT_EQ(slide.ctImmagine->geometry(), QRect(1, (screen.height() - 2) / 2, screen.width(), 2));
    for (int x = 0; x < shown.width(); x += 97)
        EXPECT_NEAR(qGray(shown.pixel(x, 1)), 128, 2) << x;
}

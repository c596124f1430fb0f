// The compare window: fitted drawing into each pane, a failed load, clearing
// on show, repainting from the kept picture and the open dialog's filters.
#include "formats/picture_loader.h"
#include "platform/settings.h"
#include "ui/file_label.h"
#include "views/compare_window.h"
#include "views/fit_geometry.h"

#include "test_pictures.h"

#include <QFileDialog>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct CompareTest : ::testing::Test {
    QTemporaryDir dir;
    TConfigurazione saved = Configurazione;
    TfrmConfrontaImg window;
    CompareTest()
    {
        Configurazione.BkCol = 0x00FF00; // 0x00BBGGRR: green
        window.show();
    }
    ~CompareTest() override { Configurazione = saved; }
    QString picture(const QString& name, int w, int h, QRgb colour)
    {
        return qvtest::saveSolidBmp(dir.filePath(name), colour, w, h);
    }
    static QRgb at(ComparePane* pane, QPoint p) { return pane->grab().toImage().pixel(p) & 0xFFFFFF; }
};

} // namespace

TEST_F(CompareTest, PicturesFittedInTheirOwnPanesAndKeptAcrossRepaints)
{
    window.loadIntoPane(0, picture("wide.bmp", 100, 50, 0xFF0000));
    window.loadIntoPane(1, picture("tall.bmp", 50, 100, 0x0000FF));
    EXPECT_EQ(window.Image1->pictureRect(), fit::paneRect({100, 50}, window.Image1->size()));
    EXPECT_EQ(window.FileLabel1->FileName(), dir.filePath("wide.bmp"));
    for (int pass = 0; pass < 2; ++pass) { // a second paint shows the same
        EXPECT_EQ(at(window.Image1, {146, 177}), 0xFF0000u);
        EXPECT_EQ(at(window.Image1, {146, 50}), 0x00FF00u);
        EXPECT_EQ(at(window.Image2, {150, 177}), 0x0000FFu);
        EXPECT_EQ(at(window.Image2, {20, 177}), 0x00FF00u);
    }
}

TEST_F(CompareTest, FailedLoadKeepsThePaneButShowsTheNewPath)
{
    window.loadIntoPane(0, picture("good.bmp", 100, 50, 0xFF0000));
    const QImage before = window.Image1->drawnPicture();
    for (const QString& bad : {dir.filePath("drawing.tha"), dir.filePath("missing.bmp")}) {
        EXPECT_THROW(window.loadIntoPane(0, bad), EPictureLoad);
        EXPECT_EQ(window.FileLabel1->FileName(), bad);
        EXPECT_EQ(window.Image1->drawnPicture(), before);
        EXPECT_EQ(at(window.Image1, {146, 177}), 0xFF0000u);
    }
}

TEST_F(CompareTest, ShowingAgainClearsPanesKeepsLabels)
{
    const QString path = picture("a.bmp", 30, 30, 0xFF0000);
    window.loadIntoPane(1, path);
    window.hide();
    Configurazione.BkCol = 0x0000FF; // red
    window.show();
    EXPECT_TRUE(window.Image2->drawnPicture().isNull());
    EXPECT_EQ(at(window.Image2, {150, 177}), 0xFF0000u);
    EXPECT_EQ(window.FileLabel2->FileName(), path);
}

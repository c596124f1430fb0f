// The compare window: fitted drawing into each pane, a failed load, clearing
// on show, repainting from the kept picture and the language texts.
#include "formats/picture_loader.h"
#include "platform/settings.h"
#include "ui/file_label.h"
#include "views/compare_window.h"

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
        QImage img(w, h, QImage::Format_RGB32);
        img.fill(colour);
        const QString path = dir.filePath(name);
        EXPECT_TRUE(img.save(path, "BMP"));
        return path;
    }
    static QRgb at(ComparePane* pane, QPoint p) { return pane->grab().toImage().pixel(p) & 0xFFFFFF; }
};

} // namespace

TEST_F(CompareTest, PicturesFittedInTheirOwnPanesAndKeptAcrossRepaints)
{
    window.loadIntoPane(0, picture("wide.bmp", 100, 50, 0xFF0000));
    window.loadIntoPane(1, picture("tall.bmp", 50, 100, 0x0000FF));
    EXPECT_EQ(window.Image1->size(), QSize(293, 354));
    EXPECT_EQ(window.Image1->pictureRect(), QRect(QPoint(1, 104), QPoint(292, 249)));
    EXPECT_EQ(window.Image2->pictureRect(), QRect(QPoint(63, 1), QPoint(239, 353)));
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

TEST_F(CompareTest, TextsFollowTheLanguageOnPaint)
{
    struct Case {
        const char* lingua;
        const char* title;
        const char* dialog;
    } cases[] = {{"ITALIANO", "Confronta immagini", "Apri file"},
                 {"ENGLISH", "Compare images", "Open file"},
                 {"DEUTSCH", "Confronta Immagini", "Apri file"}};
    for (const Case& c : cases) {
        Configurazione.Lingua = c.lingua;
        window.FormPaint();
        EXPECT_EQ(window.windowTitle(), c.title);
        EXPECT_EQ(window.OpenDialog1->windowTitle(), c.dialog);
        // Every filter is one the dialog can read its patterns from.
        for (const QString& f : window.OpenDialog1->nameFilters())
            EXPECT_TRUE(f.endsWith(')') && !f.contains(';')) << qPrintable(f);
    }
}

// The viewer window: zoom steps, edits kept across zoom steps, the selection,
// Save as by extension and its failures, the close question.
#include "views/command_guard.h"
#include "views/image_viewer.h"
#include "views/picture_save.h"
#include "views/stretch_handle.h"

#include "formats/picture_loader.h"
#include "platform/settings.h"
#include "test_pictures.h"
#include "testutil.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <deque>
#include <gtest/gtest.h>

namespace {

struct ScriptedPrompts : ViewerPrompts {
    std::deque<int> answers;
    std::deque<QString> fileNames;
    QStringList messages;
    int askSave(QWidget*, const QString& title, const QString&) override
    {
        messages << title;
        const int a = answers.front();
        answers.pop_front();
        return a;
    }
    void message(QWidget*, const QString&, const QString& text) override { messages << text; }
    QString runSaveDialog(QFileDialog&) override
    {
        const QString n = fileNames.empty() ? QString() : fileNames.front();
        if (!fileNames.empty())
            fileNames.pop_front();
        return n;
    }
};

class ViewerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Configurazione = TConfigurazione{};
        setViewCommandGuard([this](const std::function<void()>& c) {
            try {
                c();
            } catch (const QvError& e) {
                errors << e.message();
            }
        });
        v = new TfrmMostraImmagine;
        v->setPrompts(prompts);
        v->setActiveViewerSlot(&active);
    }
    void TearDown() override
    {
        delete v.data();
        setViewCommandGuard({});
    }
    void open(const QImage& picture, const QString& path = "/home/ann/Foto/a.jpg")
    {
        v->OpenPicture(picture, path, false);
        v->show();
    }
    QString zoomPart() const { return v->windowTitle().section(" - ", 0, 0); }

    QPointer<TfrmMostraImmagine> v;
    QPointer<QWidget> active;
    std::shared_ptr<ScriptedPrompts> prompts = std::make_shared<ScriptedPrompts>();
    QStringList errors;
    QTemporaryDir dir;
};

TEST_F(ViewerTest, ZoomStepsStartFromTheSourceAndKeepEdits)
{
    const QImage picture = qvtest::patternImage(300, 200);
    open(picture);
    EXPECT_EQ(v->windowTitle(), "1:1 - /HOME/ANN/FOTO/A.JPG");
    v->ZoomAumentaClick();
    EXPECT_EQ(zoomPart(), "2:1");
    EXPECT_EQ(v->ctImmagine->size(), QSize(601, 401));
    EXPECT_EQ(v->shownPicture().cacheKey(), v->ZoomBitmap.cacheKey()); // shown is the zoomed bitmap, not a copy
    v->ZoomRiduciClick();
    EXPECT_EQ(zoomPart(), "1:1");
    EXPECT_EQ(v->shownPicture().cacheKey(), v->SourceBitmap.cacheKey()); // the source itself, not a stretch
    v->ZoomRiduciClick();
    EXPECT_EQ(zoomPart(), "1:2");
    EXPECT_EQ(v->shownPicture().size(), QSize(150, 100));

    QImage work;
    v->applyEdit(PictureEdit::Grey, work);
    v->applyEdit(PictureEdit::RotateRight, work);
    EXPECT_TRUE(v->Modified);
    EXPECT_EQ(v->ctImmagine->size(), QSize(101, 151));
    v->ZoomAumentaClick(); // back to natural size: the edits are still there
    EXPECT_EQ(zoomPart(), "1:1");
    const QImage want = qvtest::editedByHand(qvtest::editedByHand(picture, "grey"), "rotate-right");
    EXPECT_EQ(v->shownPicture().convertToFormat(QImage::Format_RGB32), want);
}

TEST_F(ViewerTest, ZoomBeyondThePictureLimitsIsRefusedAndNothingChanges)
{
    open(qvtest::patternImage(40000, 2));
    v->ZoomAumenta->trigger();
    for (int i = 0; i < 3; ++i)
        v->ZoomRiduci->trigger(); // 1:4 would leave no row: half a row rounds to none
    ASSERT_EQ(errors.size(), 2);
    EXPECT_EQ(v->ZoomLevel, -3);
    v->GNaturale1->trigger();
    EXPECT_EQ(v->ZoomLevel, 1);
    EXPECT_EQ(zoomPart(), "1:1");
    EXPECT_EQ(v->shownPicture().size(), QSize(40000, 2));
}

TEST_F(ViewerTest, SelectionFrameFollowsZoomAndGivesThePartUnderIt)
{
    open(qvtest::patternImage(120, 80));
    QTest::mouseClick(v->ctImmagine, Qt::LeftButton, {}, QPoint(100, 10));
    ASSERT_TRUE(v->Cornice->isVisible());
    EXPECT_EQ(v->SelectionBitmap(), qvtest::patternImage(120, 80).copy(100, 10, 20, 50)); // clipped at the right edge
    v->ZoomAumentaClick();
    EXPECT_EQ(v->Cornice->geometry(), QRect(201, 21, 101, 101));
    QTest::keyClick(v->ctImmagine, Qt::Key_Escape);
    EXPECT_FALSE(v->Cornice->isVisible());
    EXPECT_TRUE(v->SelectionBitmap().isNull());
}

TEST_F(ViewerTest, SaveAsWritesByExtensionAndAFailureKeepsTheOldFile)
{
    QImage few(40, 30, QImage::Format_RGB32);
    few.fill(qRgb(200, 10, 10));
    open(few, dir.filePath("Shot.Jpg"));
    QImage work;
    v->applyEdit(PictureEdit::FlipH, work);
    prompts->fileNames = {dir.filePath("X.GIF"), dir.filePath("y.png")};
    v->Salvacome1Click();
    EXPECT_FALSE(v->Modified);
    EXPECT_TRUE(qvtest::readFile(dir.filePath("X.GIF")).startsWith("GIF87a"));
    v->Salvacome1Click();
    EXPECT_TRUE(qvtest::readFile(dir.filePath("y.bmp")).startsWith("BM"));
    EXPECT_EQ(v->SaveDialog1->directory().absolutePath(), dir.path()); // the real folder

    // A photo has too many colours for GIF: the message, and no file.
    v->OpenPicture(qvtest::patternImage(300, 200), dir.filePath("p.bmp"), false);
    v->SavePictureAs(v->shownPicture(), dir.filePath("p.gif"));
    EXPECT_EQ(prompts->messages.value(0), "Gif conversion failed");
    EXPECT_FALSE(QFile::exists(dir.filePath("p.gif")));

    qvtest::writeFile(dir.filePath("old.bmp"), "previous");
    EXPECT_THROW(v->SavePictureAs(QImage(), dir.filePath("old.bmp")), EPictureSave);
    EXPECT_EQ(qvtest::readFile(dir.filePath("old.bmp")), "previous");
}

TEST_F(ViewerTest, CloseQuestionAnswers)
{
    open(qvtest::patternImage(50, 40), dir.filePath("Pic.bmp"));
    QEvent activate(QEvent::WindowActivate);
    QCoreApplication::sendEvent(v, &activate);
    EXPECT_EQ(active, v.data());
    QImage work;
    v->applyEdit(PictureEdit::Darken, work);

    prompts->answers = {QMessageBox::Cancel, QMessageBox::Yes};
    EXPECT_FALSE(v->close());
    EXPECT_EQ(prompts->messages.value(0), dir.filePath("Pic.bmp")); // the real path as title
    prompts->fileNames = {dir.filePath("saved.bmp")};
    EXPECT_TRUE(v->close());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(v.isNull());
    EXPECT_TRUE(active.isNull());
    EXPECT_EQ(LoadPictureFile(dir.filePath("saved.bmp")).image().convertToFormat(QImage::Format_RGB32),
              qvtest::editedByHand(qvtest::patternImage(50, 40), "darken"));
}

TEST_F(ViewerTest, NoClosesWithoutSaving)
{
    open(qvtest::patternImage(50, 40), dir.filePath("Pic.bmp"));
    v->Modified = true;
    prompts->answers = {QMessageBox::No};
    EXPECT_TRUE(v->close());
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty());
}

} // namespace

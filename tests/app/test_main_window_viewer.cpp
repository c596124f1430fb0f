// The open command and the picture toolbar: a viewer per selected picture on
// its real path, the thumbnail made on the side, a failed load reported, and
// the edits acting on the viewer activated last only.
#include "app/application.h"
#include "app/main_window.h"
#include "platform/settings.h"
#include "views/image_viewer.h"

#include "testutil.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

QApplication* qvtestCreateApplication(int& argc, char** argv) { return new QuorvelApplication(argc, argv); }

namespace {

class OpenCommandTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        env.set("XDG_CONFIG_HOME", dir.filePath("config"));
        Configurazione = TConfigurazione{};
        setErrorPresenter([this](const QString&, const QString& text) { shown << text; });
        w = std::make_unique<TfrmPrincipale>();
        w->show();
    }
    void TearDown() override
    {
        for (TfrmMostraImmagine* v : viewers())
            delete v;
        w.reset();
    }
    QList<TfrmMostraImmagine*> viewers() const { return w->findChildren<TfrmMostraImmagine*>(); }
    // An item for a picture file, its thumbnail not yet made (flag "0").
    void addItem(const QString& path)
    {
        w->catalogue().model().addItem({path.section('/', -1).toUpper(), 0, {path, "", "", "0", "", "0"}});
    }
    void selectAll() { w->ListView1->selectAll(); }

    qvtest::ScopedEnv env;
    QTemporaryDir dir;
    std::unique_ptr<TfrmPrincipale> w;
    QStringList shown;
};

TEST_F(OpenCommandTest, OpensEachSelectedPictureOnItsRealPathAndMakesItsThumbnail)
{
    QImage picture(400, 48, QImage::Format_RGB32);
    picture.fill(qRgb(10, 200, 30));
    const QString a = dir.filePath("Mixed Case.bmp"), b = dir.filePath("b.bmp");
    picture.save(a, "BMP");
    picture.save(b, "BMP");
    addItem(a);
    addItem(b);
    const int before = w->catalogue().currentList()->count();
    const QPoint firstItem = w->ListView1->visualRect(w->ListView1->model()->index(0, 0)).center();
    QTest::mouseClick(w->ListView1->viewport(), Qt::LeftButton, {}, firstItem);
    QTest::mouseDClick(w->ListView1->viewport(), Qt::LeftButton, {}, firstItem);
    ASSERT_EQ(viewers().size(), 1);
    EXPECT_EQ(viewers().first()->filePath(), b); // "B.BMP" sorts first
    selectAll();
    w->tbOpen->click();
    ASSERT_EQ(viewers().size(), 3);
    EXPECT_TRUE(shown.isEmpty());
    const auto found = viewers();
    const auto it = std::find_if(found.begin(), found.end(), [&](auto* v) { return v->filePath() == a; });
    ASSERT_NE(it, found.end()); // loaded and kept with its own case
    const TfrmMostraImmagine* first = *it;
    EXPECT_TRUE(first->isVisible());
    EXPECT_TRUE(first->windowTitle().startsWith("1:1 - "));
    EXPECT_TRUE(first->windowTitle().endsWith("MIXED CASE.BMP"));
    EXPECT_EQ(w->catalogue().currentList()->count(), before + 2); // one thumbnail per picture
    EXPECT_EQ(w->catalogue().model().item(0).SubItems[SubLoaded], "1");
}

TEST_F(OpenCommandTest, APictureThatCannotBeLoadedEndsTheCommandWithTheMessage)
{
    qvtest::writeFile(dir.filePath("a.gif"), "not a picture");
    addItem(dir.filePath("a.gif"));
    addItem(dir.filePath("b.gif"));
    selectAll();
    w->Apriimmagine1->trigger();
    EXPECT_TRUE(viewers().isEmpty());
    ASSERT_EQ(shown.size(), 1); // once: the second picture is not tried
    EXPECT_TRUE(shown.first().contains("Errore nella lettura del file"));
}

TEST_F(OpenCommandTest, EditsActOnTheActiveViewerOnly)
{
    for (QToolButton* b : {w->tbtRiflettiOriz, w->tbtRuotaDestra, w->tbtSchiarisci, w->tbtScalaGrigi})
        b->click(); // no viewer: nothing, and no cursor left behind
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);

    QImage picture(30, 20, QImage::Format_RGB32);
    picture.fill(qRgb(255, 0, 0));
    auto* v = new TfrmMostraImmagine(w.get());
    v->OpenPicture(picture, dir.filePath("r.bmp"), false);
    v->show();
    w->ActiveViewer = v;
    w->tbtRuotaSinistra->click();
    w->tbtScalaGrigi->click();
    EXPECT_TRUE(v->Modified);
    EXPECT_EQ(v->shownPicture().size(), QSize(20, 30));
    EXPECT_EQ(v->shownPicture().pixel(5, 5), qRgb(76, 76, 76));
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

} // namespace

// The print layout: its arithmetic, the two page views, and a picture printed
// to a PDF file landing where the frame shows it.
#include "platform/settings.h"
#include "views/print_geometry.h"
#include "views/image_viewer.h"
#include "views/print_layout.h"
#include "views/stretch_handle.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFrame>
#include <QLabel>
#include <QFile>
#include <QPageLayout>
#include <QPrinter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>

using namespace printing;

TEST(PrintGeometry, PageViewChangesAndCentring)
{
    // Halving then doubling: even values come back, odd ones lose a pixel.
    const struct {
        QRect before, after;
    } views[] = {
        {{16, 24, 80, 60}, {16, 24, 80, 60}},
        {{17, 25, 81, 61}, {16, 24, 80, 60}},
        {{-7, 3, 5, 9}, {-6, 2, 4, 8}}, // toward zero, not down
    };
    for (const auto& c : views)
        EXPECT_EQ(doubled(halved(c.before)), c.after) << c.before.x();

    const struct {
        int outer, inner, left;
    } centres[] = {{200, 100, 50}, {200, 101, 49}, {200, 300, -50}, {200, 301, -50}, {283, 0, 141}};
    for (const auto& c : centres)
        EXPECT_EQ(centred(c.outer, c.inner), c.left) << c.inner;
}

TEST(PrintGeometry, KeepRatioKeepsTheLongerSideAndTheWidthOnATie)
{
    const struct {
        QSize box, picture, expected;
    } cases[] = {
        {{100, 100}, {300, 200}, {150, 100}}, // square box: width from height
        {{100, 100}, {200, 300}, {67, 100}},  // 66.67 to nearest
        {{120, 80}, {100, 100}, {120, 120}},  // wider: height from width, truncated
        {{90, 10}, {7, 3}, {90, 38}},         // 38.57 truncated
        {{80, 113}, {1000, 500}, {226, 113}},
        {{50, 50}, {0, 0}, {50, 50}}, // no picture: unchanged
    };
    for (const auto& c : cases)
        EXPECT_EQ(keepRatio(c.box, c.picture), c.expected) << c.box.width() << "x" << c.box.height();
    // The box on show: one printer pixel per picture pixel on a 400-pixel page.
    EXPECT_EQ(pictureBox(400, 7016.0 / 4960, printScale(4960, 992)), QSize(80, 113));
}

TEST(PrintGeometry, MeasuresInTheUnitsAndLettersOfTheTexts)
{
    const Paper a4{4960, 7016, 600, 600}; // 8.27 x 11.69 inches
    const struct {
        QRect frame;
        bool italian;
        const char* expected[4];
    } cases[] = {
        {{50, 0, 100, 141}, false, {"X: 2.1", "Y: 0", "W: 4.1", "H: 5.8"}},
        {{50, 0, 100, 141}, true, {"X: 5.2", "Y: 0", "L: 10", "A: 15"}},
        {{-20, 20, 1000, 5}, true, {"X: -2.1", "Y: 2.1", "L: 1e+02", "A: 0.52"}},
    };
    for (const auto& c : cases) {
        const Measures m = measures(c.frame, {200, 283}, a4, c.italian);
        EXPECT_EQ(QStringList({m.left, m.top, m.width, m.height}),
                  QStringList({c.expected[0], c.expected[1], c.expected[2], c.expected[3]}));
    }
}

TEST(PrintGeometry, FrameMappedToPaper)
{
    const struct {
        QRect frame;
        int printerWidth, mode;
        QRect expected;
    } cases[] = {
        {{10, 20, 100, 50}, 4960, 1, {248, 496, 2480, 1240}},
        {{10, 20, 100, 50}, 4960, 2, {124, 248, 1240, 620}},
        {{-49, 3, 7, 1}, 4960, 1, {-1215, 74, 173, 24}}, // truncated toward zero
    };
    for (const auto& c : cases)
        EXPECT_EQ(paperRect(c.frame, c.printerWidth, c.mode), c.expected);
}

namespace {

struct PrintWindowTest : ::testing::Test {
    TConfigurazione saved = Configurazione;
    QTemporaryDir dir;
    TfrmStampa window;
    QString pdf = dir.filePath("page.pdf");

    PrintWindowTest()
    {
        Configurazione.Lingua = QStringLiteral("ENGLISH");
        QPrinter* p = window.printer();
        p->setOutputFormat(QPrinter::PdfFormat);
        p->setPageSize(QPageSize(QPageSize::A4));
        p->setPageOrientation(QPageLayout::Portrait);
        p->setPageMargins(QMarginsF(15, 10, 15, 10), QPageLayout::Millimeter);
        p->setOutputFileName(pdf);
        window.printerChanged();
        QImage red(300, 200, QImage::Format_RGB32);
        red.fill(Qt::red);
        window.setPicture(red);
        window.show();
    }
    ~PrintWindowTest() override { Configurazione = saved; }
};

// The bounding box of what is not white on the first page, rendered at 72 dpi
// (one pixel per point).
QRect inkOnPage(const QString& pdf, const QString& prefix)
{
    QProcess render;
    render.start(QStringLiteral("pdftoppm"), {"-r", "72", "-png", "-singlefile", pdf, prefix});
    if (!render.waitForFinished(60000) || render.exitCode() != 0)
        return {};
    const QImage page = QImage(prefix + ".png").convertToFormat(QImage::Format_RGB32);
    QRect box;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x)
            if (qGray(page.pixel(x, y)) < 200)
                box = box.united(QRect(x, y, 1, 1));
    return box;
}

} // namespace

TEST_F(PrintWindowTest, SizeButtonsAreExclusiveAndMeasuresFollowTheFrame)
{
    EXPECT_FALSE(window.SpeedButton2->isEnabled());
    EXPECT_TRUE(window.SpeedButton3->isEnabled());
    window.StretchHandle1->setFrameBounds({16, 32, 85, 45});
    window.SpeedButton3Click();
    EXPECT_EQ(window.PageViewMode, 2);
    EXPECT_EQ(window.Page->width(), 400);
    EXPECT_TRUE(window.SpeedButton2->isEnabled());
    EXPECT_FALSE(window.SpeedButton3->isEnabled());
    EXPECT_EQ(window.StretchHandle1->geometry(), QRect(34, 66, 165, 85)); // the picture doubled, framed again
    EXPECT_TRUE(window.lblPagX->text().startsWith("W: ")) << qPrintable(window.lblPagX->text());
    window.SpeedButton2Click();
    EXPECT_EQ(window.PageViewMode, 1);
    EXPECT_EQ(window.Page->width(), 200);
    EXPECT_FALSE(window.SpeedButton2->isEnabled());
    EXPECT_EQ(window.StretchHandle1->geometry(), QRect(16, 32, 85, 45));
}

TEST_F(PrintWindowTest, PrintedPictureLandsOnTheFramesRectangle)
{
    if (QStandardPaths::findExecutable("pdftoppm").isEmpty())
        GTEST_SKIP() << "pdftoppm (poppler-utils) is not installed";
    const QPageLayout layout = window.printer()->pageLayout();
    const QRectF paper = layout.fullRectPoints();
    const QRectF printable = layout.paintRectPoints();
    const struct {
        bool large, centreWide, confirm;
    } cases[] = {
        {false, false, true},
        {true, true, true}, // wider than the paper: cut off at both edges, no error
        {false, false, false}, // cancelled: no file at all
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.large * 2 + c.centreWide);
        QFile::remove(pdf);
        if (c.large)
            window.SpeedButton3Click();
        else
            window.SpeedButton2Click();
        window.StretchHandle1->setFrameBounds(c.centreWide ? QRect(20, 90, 500, 60) : QRect(40, 56, 85, 69));
        if (c.centreWide)
            window.btCentraXClick();
        window.runDialog = [&](QDialog&) { return c.confirm; };
        window.btStampaClick();
        if (!c.confirm) {
            EXPECT_FALSE(QFile::exists(pdf));
            continue;
        }
        const QRect frame = window.StretchHandle1->geometry();
        const double k = printable.width() / window.Page->width();
        const QRectF wanted = QRectF(printable.left() + frame.left() * k, printable.top() + frame.top() * k,
                                     frame.width() * k, frame.height() * k)
                                  .intersected(paper);
        const QRect ink = inkOnPage(pdf, dir.filePath("page"));
        ASSERT_FALSE(ink.isNull());
        EXPECT_NEAR(ink.left(), wanted.left(), 2);
        EXPECT_NEAR(ink.top(), wanted.top(), 2);
        EXPECT_NEAR(ink.right() + 1, wanted.right(), 2);
        EXPECT_NEAR(ink.bottom() + 1, wanted.bottom(), 2);
    }
    EXPECT_EQ(QDir(dir.path()).entryList({"page.pdf.*"}, QDir::Files), QStringList()); // no partial files left
}

TEST(PrintFromViewer, ShowsTheViewersPictureInTheOneWindow)
{
    QWidget owner;
    auto* viewer = new TfrmMostraImmagine(&owner);
    QImage blue(64, 48, QImage::Format_RGB32);
    blue.fill(Qt::blue);
    viewer->OpenPicture(blue, QStringLiteral("blue.bmp"), false);
    viewer->show();
    TfrmStampa* seen[2] = {};
    for (TfrmStampa*& s : seen) {
        QTimer::singleShot(0, [&s] {
            s = qobject_cast<TfrmStampa*>(QApplication::activeModalWidget());
            if (s)
                s->reject();
        });
        viewer->Stampaimmagine1->trigger();
    }
    ASSERT_NE(seen[0], nullptr);
    EXPECT_EQ(seen[1], seen[0]);
    EXPECT_EQ(seen[0]->parentWidget(), &owner);
    EXPECT_EQ(seen[0]->imImmagine->picture(), viewer->shownPicture());
}

// The needle gauge and the GIF progress window.
#include "ui/needle_gauge.h"
#include "ui/progress_form.h"

#include <QGuiApplication>
#include <QImage>
#include <QScreen>
#include <gtest/gtest.h>

TEST(NeedleGauge, AngleRunsFromLeftToRightAndClamps)
{
    EXPECT_DOUBLE_EQ(needleAngle(0, 0, 100), 180.0);
    EXPECT_DOUBLE_EQ(needleAngle(50, 0, 100), 90.0);
    EXPECT_DOUBLE_EQ(needleAngle(100, 0, 100), 0.0);
    EXPECT_DOUBLE_EQ(needleAngle(150, 0, 100), 0.0);
    EXPECT_DOUBLE_EQ(needleAngle(-5, 0, 100), 180.0);
    EXPECT_DOUBLE_EQ(needleAngle(15, 10, 20), 90.0);
    EXPECT_DOUBLE_EQ(needleAngle(3, 5, 5), 180.0); // empty range
}

// The needle, drawn in blue, passes near the point for its value.
TEST(NeedleGauge, PaintsTheNeedleWhereTheValuePoints)
{
    NeedleGauge g;
    g.resize(200, 100);
    g.setNeedleColor(Qt::blue);
    const QPoint left(60, 94), up(100, 40), right(140, 94);
    auto blueNear = [&g](QPoint at) {
        const QImage img = g.grab().toImage();
        for (int dy = -2; dy <= 2; ++dy)
            for (int dx = -2; dx <= 2; ++dx) {
                const QColor c = img.pixelColor(at + QPoint(dx, dy));
                if (c.blue() > 200 && c.red() < 80 && c.green() < 80)
                    return true;
            }
        return false;
    };
    const struct {
        int value;
        QPoint on, off;
    } cases[] = {{0, left, right}, {100, right, left}, {50, up, left}};
    for (const auto& c : cases) {
        g.setValue(c.value);
        EXPECT_TRUE(blueNear(c.on)) << c.value;
        EXPECT_FALSE(blueNear(c.off)) << c.value;
    }
    g.setValue(1000);
    EXPECT_EQ(g.value(), 100);
}

TEST(ProgressForm, ShowsCentredUntilTheEndAndAgainForANewRun)
{
    TProgressForm form;
    EXPECT_FALSE(form.isVisible());
    form.Progress(0.0);
    EXPECT_TRUE(form.isVisible());
    if (const QScreen* s = QGuiApplication::primaryScreen()) {
        EXPECT_LE((form.frameGeometry().center() - s->geometry().center()).manhattanLength(), 2);
    }
    form.Progress(0.334);
    EXPECT_EQ(form.gauge()->value(), 33);
    form.Progress(0.9999); // not above the threshold: still shown, rounded up
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(form.gauge()->value(), 100);
    form.Progress(0.99995);
    EXPECT_FALSE(form.isVisible());
    form.Progress(1.0);
    EXPECT_FALSE(form.isVisible());
    form.Progress(0.5);
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(form.gauge()->value(), 50);
}

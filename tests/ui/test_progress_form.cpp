// The needle gauge and the GIF progress window.
#include "ui/needle_gauge.h"
#include "ui/progress_form.h"

#include <QGuiApplication>
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

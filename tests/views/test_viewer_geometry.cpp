// The viewer's zoom and frame arithmetic, the handles' geometry and the save
// target by extension, without windows.
#include "views/picture_save.h"
#include "views/stretch_handle.h"
#include "views/viewer_geometry.h"

#include <gtest/gtest.h>

using namespace viewer;

TEST(ViewerZoom, LevelsFactorsRatiosAndTitles)
{
    struct Step {
        int from;
        bool in;
        int to;
        double ratio;
        const char* part;
    };
    const Step steps[] = {
        {1, true, 2, 2.0, "2:1"},    {1, false, -2, 0.5, "1:2"},   {-2, true, -1, 2.0, "1:1"},
        {2, false, 1, 0.5, "1:1"},   {-3, true, -2, 1.5, "1:2"},   {-2, false, -3, 2.0 / 3, "1:3"},
    };
    for (const Step& s : steps) {
        const int c = s.in ? zoomInLevel(s.from) : zoomOutLevel(s.from);
        EXPECT_EQ(c, s.to);
        EXPECT_DOUBLE_EQ(stepRatio(s.from, c), s.ratio);
        // A step that reaches -1 is stored as natural size.
        EXPECT_EQ(zoomPart(std::abs(c) == 1 ? 1 : c), QString::fromLatin1(s.part));
    }
    EXPECT_EQ(zoomCaption(2, "1:1 - /A/B - C.JPG"), "2:1 - /A/B - C.JPG");
    EXPECT_EQ(zoomCaption(-3, "/X.BMP"), "1:3 - /X.BMP");
}

TEST(ViewerZoom, SizesRoundHalvesToEven)
{
    EXPECT_EQ(zoomedSize({300, 200}, zoomFactor(2)), QSize(600, 400));
    EXPECT_EQ(zoomedControlSize({300, 200}, zoomFactor(2)), QSize(601, 401));
    EXPECT_EQ(zoomedSize({5, 7}, zoomFactor(-2)), QSize(2, 4)); // 2.5 -> 2, 3.5 -> 4
    EXPECT_EQ(roundHalfEven(-2.5), -2);
    EXPECT_FALSE(zoomAllowed(zoomedControlSize({4000, 3000}, zoomFactor(17))));
    EXPECT_TRUE(zoomAllowed(zoomedControlSize({4000, 3000}, zoomFactor(4))));
}

TEST(ViewerFrame, RescaleAndSelectionClippedToThePicture)
{
    EXPECT_EQ(rescaleFrame({10, 20, 50, 50}, 2.0), QRect(21, 41, 101, 101));
    EXPECT_EQ(rescaleFrame({5, 5, 50, 50}, 0.5), QRect(3, 3, 26, 26)); // 2.5 -> 2
    const QRect picture(0, 0, 100, 80);
    EXPECT_EQ(selectionRect(picture, {90, 70, 50, 50}), QRect(90, 70, 10, 10));
    EXPECT_EQ(selectionRect(picture, {-5, 10, 20, 20}), QRect(0, 10, 15, 20));
    EXPECT_TRUE(selectionRect(picture, {120, 10, 20, 20}).isEmpty());
}

TEST(ViewerFrame, ScreenCapsTheClientArea)
{
    const ScreenFit small = fitOnScreen({300, 200}, {1024, 768}, {10, 30});
    EXPECT_EQ(small.client, QSize(300, 200));
    EXPECT_EQ(small.left, -1);
    const ScreenFit big = fitOnScreen({3000, 200}, {1024, 768}, {10, 30});
    EXPECT_EQ(big.client, QSize(1014, 200));
    EXPECT_EQ(big.left, 0);
    EXPECT_EQ(big.top, -1);
}

TEST(Handles, GrabPointsAndTheirPrecedence)
{
    using namespace handles;
    const QSize s(55, 45); // a 50 x 40 control's frame
    struct Case {
        QPoint p;
        GrabMode mode;
    };
    const Case cases[] = {
        {{0, 0}, TopLeft},     {{4, 4}, TopLeft},      {{5, 0}, Move},        {{54, 44}, BottomRight},
        {{54, 0}, TopRight},   {{0, 44}, BottomLeft},  {{27, 2}, Top},        {{25, 43}, Bottom},
        {{2, 22}, Left},       {{53, 20}, Right},      {{30, 2}, Move},       {{27, 20}, Move},
    };
    for (const Case& c : cases)
        EXPECT_EQ(grabModeAt(c.p, s), c.mode) << c.p.x() << "," << c.p.y();
    // In a tiny frame the corners overlap: the later test wins.
    EXPECT_EQ(grabModeAt({2, 2}, {6, 6}), Right);
}

TEST(Handles, DraggingMovesAndResizesOnTheGridWithAMinimumOfFive)
{
    using namespace handles;
    const QRect c(16, 16, 40, 40);
    struct Case {
        GrabMode mode;
        QPoint d;
        int grid;
        QRect out;
    };
    const Case cases[] = {
        {Move, {3, -1}, 1, {19, 15, 40, 40}},
        {Move, {3, 13}, 8, {16, 24, 40, 40}},
        {BottomRight, {9, 20}, 8, {16, 16, 48, 56}},
        {TopLeft, {10, 10}, 1, {26, 26, 30, 30}},
        {TopLeft, {100, 100}, 1, {51, 51, 5, 5}}, // past the opposite corner
        {BottomRight, {-100, -100}, 1, {16, 16, 5, 5}},
        {TopRight, {7, -6}, 1, {16, 10, 47, 46}},
        {BottomLeft, {-6, 7}, 1, {10, 16, 46, 47}},
        {Top, {50, -4}, 1, {16, 12, 40, 44}},
        {Right, {5, 50}, 1, {16, 16, 45, 40}},
    };
    for (const Case& k : cases)
        EXPECT_EQ(draggedRect(k.mode, c, k.d, k.grid, k.grid), k.out) << int(k.mode);
    EXPECT_EQ(limitOffset({-50, -50}, {10, 20, 30, 30}, {100, 100}), QPoint(-10, -20));
    EXPECT_EQ(limitOffset({500, 5}, {10, 20, 30, 30}, {100, 100}), QPoint(90, 5));
    EXPECT_EQ(insideFrame(frameAround(c)), c);
}

TEST(Handles, LockedFrameAndWindowsAreRefused)
{
    QWidget parent;
    QWidget control(&parent);
    control.setGeometry(10, 10, 40, 30);
    TStretchHandle h(&parent);
    h.Attach(&control);
    EXPECT_EQ(h.geometry(), QRect(8, 8, 45, 35));
    h.setFrameBounds({18, 8, 45, 35});
    EXPECT_EQ(control.geometry(), QRect(20, 10, 40, 30));
    h.setLocked(true);
    h.setFrameBounds({0, 0, 100, 100});
    EXPECT_EQ(control.geometry(), QRect(20, 10, 40, 30));
    h.Detach();
    EXPECT_FALSE(h.Locked());
    EXPECT_TRUE(h.isHidden());
    QWidget window;
    EXPECT_THROW(h.Attach(&window), EBadChild);
}

TEST(SaveTarget, FormatByExtensionAnyCase)
{
    EXPECT_EQ(saveTargetFor("/p/A.GIF").format, SaveFormat::Gif);
    EXPECT_EQ(saveTargetFor("/p/a.Jpeg").format, SaveFormat::Jpeg);
    const SaveTarget other = saveTargetFor("/p.d/a.png");
    EXPECT_EQ(other.format, SaveFormat::Bitmap);
    EXPECT_EQ(other.fileName, "/p.d/a.bmp");
    EXPECT_EQ(saveTargetFor("/p.d/noext").fileName, "/p.d/noext.bmp");
    EXPECT_EQ(saveFilterIndex("/x/Y.GIF"), 1);
    EXPECT_EQ(saveFilterIndex("/x/y.tif"), 0);
}

// The slideshow's and the compare panes' rectangles, against worked examples.
#include "views/fit_geometry.h"

#include <gtest/gtest.h>

TEST(SlideRect, CentredWhenSmallerElseFitted)
{
    const QSize screen(1024, 768);
    struct Case {
        QSize picture, client;
        QRect rect;
        bool stretched;
    } cases[] = {
        {{3000, 1000}, {1024, 768}, {1, 213, 1024, 341}, true},  // fills the width
        {{640, 480}, {1024, 768}, {192, 144, 640, 480}, false},  // own size, centred
        {{1023, 767}, {1024, 768}, {0, 0, 1023, 767}, false},    // halves rounded toward zero
        {{1024, 100}, {1024, 768}, {1, 334, 1024, 100}, true},   // exactly as wide as the screen
        {{100, 768}, {1024, 768}, {462, 1, 100, 768}, true},     // exactly as high: fills the height
        {{3000, 2250}, {1024, 768}, {1, 0, 1024, 768}, true},    // the screen's proportions: no pixel lost
        {{1, 1}, {1024, 768}, {511, 383, 1, 1}, false},
        {{10, 60000}, {1024, 768}, {511, 1, 1, 768}, true},      // far taller than wide: one column, not none
        {{900, 700}, {800, 600}, {-50, -50, 900, 700}, false},   // the screen decides, not the client
    };
    for (const Case& c : cases) {
        const fit::SlideRect r = fit::slideRect(c.picture, c.client, screen);
        EXPECT_EQ(r.rect, c.rect) << c.picture.width() << "x" << c.picture.height();
        EXPECT_EQ(r.stretched, c.stretched) << c.picture.width() << "x" << c.picture.height();
    }
    EXPECT_TRUE(fit::slideRect({0, 0}, {1024, 768}, screen).rect.isEmpty());
}

TEST(PaneRect, FittedAndCentredEitherWay)
{
    struct Case {
        QSize picture, pane;
        QRect rect;
    } cases[] = {
        {{100, 50}, {293, 354}, {QPoint(1, 104), QPoint(292, 249)}}, // (1, 104) to (293, 250), enlarged
        {{50, 50}, {293, 354}, {QPoint(1, 30), QPoint(292, 322)}},   // square in a tall pane fills the width
        {{100, 100}, {400, 200}, {QPoint(100, 1), QPoint(299, 199)}},// wide pane: fills the height
        {{4000, 3000}, {303, 354}, {QPoint(1, 63), QPoint(302, 289)}},
        {{1, 10000}, {293, 354}, {QPoint(146, 1), QPoint(146, 353)}},// a thin picture keeps one column
    };
    for (const Case& c : cases)
        EXPECT_EQ(fit::paneRect(c.picture, c.pane), c.rect) << c.picture.width() << "x" << c.picture.height();
    EXPECT_TRUE(fit::paneRect({0, 10}, {293, 354}).isEmpty());
    EXPECT_TRUE(fit::paneRect({10, 10}, {0, 0}).isEmpty());
}

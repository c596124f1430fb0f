// Where the slideshow and the compare window draw a picture: plain functions
// of the picture's size and the area it goes into.
#pragma once
#include <QRect>
#include <QSize>

namespace fit {

// A picture on the slideshow's screen. `stretched` is false when the picture
// is drawn at its own size, centred (then `rect` may reach past the client).
struct SlideRect {
    QRect rect;
    bool stretched = false;
};

// The picture at its own size, centred in the client area (halves rounded
// toward zero), unless it is at least as wide or as high as the screen: then
// fitted to the client with its proportions, filling the width (left 1) or the
// height (top 1). Ratios are compared exactly, so a picture of the client's
// own proportions fills it without a pixel lost to rounding. A side that
// would truncate to 0 pixels gets 1.
SlideRect slideRect(QSize picture, QSize client, QSize screen);

// A picture in a compare pane, always fitted with its proportions (enlarged
// too): it fills the height from top 1 when the pane is relatively wider than
// the picture, otherwise the width from left 1, centred the other way. The
// rectangle's right and bottom edges are exclusive (left 1, right w: w - 1 wide).
// An empty picture or pane gives an empty rectangle.
QRect paneRect(QSize picture, QSize pane);

} // namespace fit

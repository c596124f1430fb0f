// Objects made before any window and kept for the whole run: the thumbnail
// image lists with their frames, placeholders and work bitmaps.
#pragma once
#include "catalogue/image_list.h"

#include <QImage>
#include <QPixmap>

struct StartupObjects {
    ImageList lists[3] = {ImageList(60), ImageList(90), ImageList(120)};
    QImage work[3];      // composing surface of each size
    QImage noPicture[3]; // "NOIMG60/90/120"
    QImage frames[3];    // "RIQUADRO60/90/120"
    QPixmap backTool;    // "BACKTOOL"
    QImage editWork;     // 24-bit surface of the picture edits

    // Index 0, 1, 2 for Dimensione 1, 2, 3; any other value uses the 90-pixel set.
    static int slot(int sizeCode) { return sizeCode >= 1 && sizeCode <= 3 ? sizeCode - 1 : 1; }
    // Empties a list and puts its frame back, recording the frame index.
    void resetList(int slot);
    // Paints the three frames in the background and border colours (0x00BBGGRR).
    void paintFrames(quint32 bkCol, quint32 bdCol);

private:
    bool m_framesPainted = false;
};

// Creates the objects once (before the first window) and returns them.
StartupObjects& startupObjects();

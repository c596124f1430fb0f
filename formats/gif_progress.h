// The GIF module's progress procedure: one module-wide reference that the
// slow steps (colour reduction, encoding) report a fraction between 0 and 1 to.
// The module itself neither shows a cursor nor lets events run: that is the
// installed procedure's business.
#pragma once
#include <functional>

using GifProgressProc = std::function<void(double fraction)>;

// Installs the procedure; an empty one removes it. The application installs
// its progress window.
void SetGifProgressProc(GifProgressProc proc);

// Reports a fraction to the installed procedure, if any.
void GifProgress(double fraction);

// The GIF module's progress procedure: one module-wide reference that the
// slow steps (colour reduction, encoding) report a fraction between 0 and 1 to.
#pragma once
#include <functional>

using TGifProgressProc = std::function<void(double fraction)>;

// Installs the procedure; an empty one restores the default, which only lets
// pending user-interface events run. The application installs its progress window.
void SetGifProgressProc(TGifProgressProc proc);

// Reports a fraction to the installed procedure.
void GifProgress(double fraction);

// Lets pending user-interface events run, on the user-interface thread only
// (decoding on a worker thread or without an application does nothing here).
void GifProcessMessages();

// The GIF module's progress procedure.
#include "formats/gif_progress.h"

namespace {
TGifProgressProc& installed()
{
    static TGifProgressProc proc;
    return proc;
}
} // namespace

void SetGifProgressProc(TGifProgressProc proc) { installed() = std::move(proc); }

void GifProgress(double fraction)
{
    if (const TGifProgressProc& proc = installed())
        proc(fraction);
}

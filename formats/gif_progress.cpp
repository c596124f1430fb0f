// The GIF module's progress procedure.
#include "formats/gif_progress.h"

namespace {
GifProgressProc& installed()
{
    static GifProgressProc proc;
    return proc;
}
} // namespace

void SetGifProgressProc(GifProgressProc proc) { installed() = std::move(proc); }

void GifProgress(double fraction)
{
    if (const GifProgressProc& proc = installed())
        proc(fraction);
}

// The GIF module's progress procedure.
#include "formats/gif_progress.h"

#include <QCoreApplication>
#include <QThread>

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
    else
        GifProcessMessages();
}

void GifProcessMessages()
{
    QCoreApplication* app = QCoreApplication::instance();
    if (app && QThread::currentThread() == app->thread())
        QCoreApplication::processEvents();
}

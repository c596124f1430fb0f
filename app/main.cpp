// Program entry: splash window, start-up objects, main window, message loop.
#include "app/application.h"
#include "app/main_window.h"
#include "app/splash_screen.h"
#include "catalogue/startup_objects.h"
#include "formats/gif_progress.h"
#include "ui/progress_form.h"

#include <QThread>

int main(int argc, char** argv)
{
    QuorvelApplication app(argc, argv);
    startupObjects(); // image lists, placeholders and frames, before any window

    // 1. The splash window, painted at once.
    auto* splash = new TfrmSplashScreen;
    splash->show();
    splash->repaint();
    QCoreApplication::processEvents();

    // 2. The application's title (not the display name, which the window
    // system would append to every window title).
    QApplication::setApplicationName(QStringLiteral("Quorvel "));

    // 3. The windows; the main window first.
    auto* main = new TfrmPrincipale;

    // The GIF coder reports its progress to a small window; decoding on the
    // thumbnail workers reports nothing.
    auto* gifProgress = new TProgressForm;
    SetGifProgressProc([gifProgress, ui = QThread::currentThread()](double f) {
        if (QThread::currentThread() == ui)
            gifProgress->Progress(f);
    });

    // 4. Wait until the splash agrees to close (its 1500 ms have passed).
    while (!splash->close())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20), QThread::msleep(10);
    delete splash;

    main->show();
    // 5. The message loop; the main window's destruction saves the settings.
    const int rc = app.exec();
    delete main;
    SetGifProgressProc({});
    delete gifProgress;
    return rc;
}

// The slideshow and compare commands of the main window. Each window is made
// once, on its first use, and kept for the rest of the run.
#include "app/main_window.h"

#include "platform/settings.h"
#include "views/compare_window.h"
#include "views/slideshow.h"

void TfrmPrincipale::btSlideshowClick()
{
    auto paths = [this] {
        return slideshowPaths(m_catalogue->model(), ListView1->selectionModel(),
                              Configurazione.MostraSoloSelezionate);
    };
    if (paths().isEmpty())
        return; // nothing to show: no window
    auto* slide = findChild<TfrmSlide*>(QString(), Qt::FindDirectChildrenOnly);
    if (!slide)
        slide = new TfrmSlide(this);
    slide->setFileSource(paths);
    slide->run(this);
}

void TfrmPrincipale::Confrontaimmagini1Click()
{
    auto* compare = findChild<TfrmConfrontaImg*>(QString(), Qt::FindDirectChildrenOnly);
    if (!compare) {
        compare = new TfrmConfrontaImg(this);
        compare->setOnError([](const QString& message) { handleUncaughtError(message); });
    }
    compare->show();
    compare->raise();
    compare->activateWindow();
}

// The main window's open command and the picture edits of its toolbar.
#include "app/application.h"
#include "app/main_window.h"
#include "catalogue/startup_objects.h"
#include "catalogue/thumbnail_geometry.h"
#include "platform/wait_cursor.h"
#include "catalogue/thumbnail_scale.h"
#include "platform/settings.h"
#include "processing/image_edits.h"
#include "views/command_guard.h"
#include "views/image_viewer.h"

#include <QItemSelectionModel>
#include <QPainter>
#include <QStatusBar>
#include <algorithm>

namespace {

// The viewers' commands report their errors through the application-wide message.
[[maybe_unused]] const bool kViewGuardInstalled = (setViewCommandGuard(runGuarded), true);

} // namespace

void TfrmPrincipale::ListView1DblClick()
{
    if (!ListView1->selectionModel())
        return;
    QList<int> rows;
    for (const QModelIndex& i : ListView1->selectionModel()->selectedIndexes())
        rows << i.row();
    std::sort(rows.begin(), rows.end()); // list order
    const QStringList paths = [&] {
        QStringList out;
        for (int row : rows)
            out << m_catalogue->model().item(row).SubItems.value(SubPath);
        return out;
    }();
    for (const QString& path : paths) {
        if (path.isEmpty())
            continue;
        setStatusText(1, formatS(texts().msgLoading, shortPath(thumbs::upperAscii(path))));
        StatusBar1->repaint();
        struct StatusReset {
            TfrmPrincipale* w;
            ~StatusReset()
            {
                w->setStatusText(1, QString());
                w->StatusBar1->repaint();
            }
        } reset{this};
        WaitCursor wait;
        auto* viewer = new TfrmMostraImmagine(this);
        viewer->setActiveViewerSlot(&ActiveViewer);
        try {
            viewer->OpenFile(path, Configurazione.ImmCentrata);
        } catch (...) {
            delete viewer;
            throw; // the remaining pictures are not opened
        }
        viewer->show();
        const int row = m_catalogue->model().rowOfPath(path);
        if (row >= 0 && m_catalogue->model().item(row).SubItems.value(SubLoaded) == QLatin1String("0"))
            makeThumbnailFromPicture(path, viewer->shownPicture());
    }
}

void TfrmPrincipale::makeThumbnailFromPicture(const QString& path, const QImage& picture)
{
    ThumbnailListModel& model = m_catalogue->model();
    ImageList* list = m_catalogue->currentList();
    if (!list || picture.isNull())
        return;
    StartupObjects& so = startupObjects();
    const int dim = Configurazione.Dimensione;
    const int slot = StartupObjects::slot(dim);
    const thumbs::FitRect r = thumbs::fitRect(picture.width(), picture.height(), thumbs::boxSize(dim));
    const int w = r.right - r.left, h = r.bottom - r.top;
    QImage& work = so.work[slot];
    {
        QPainter p(&work);
        p.drawImage(0, 0, so.frames[slot]);
        p.drawImage(QRect(r.left, r.top, w, h), thumbs::scaleForThumbnail(picture, w, h));
    }
    const int index = list->add(work);
    int row = model.rowOfPath(path);
    if (row < 0)
        return;
    model.setSubItem(row, SubPixels, thumbs::sizeText(picture.size()));
    model.setImageIndex(row, index);
    model.setSubItem(row, SubLoaded, QStringLiteral("1"));
    m_catalogue->ImpostaDidascalia(row);
}

void TfrmPrincipale::editActiveViewer(PictureEdit edit)
{
    auto* viewer = qobject_cast<TfrmMostraImmagine*>(ActiveViewer.data());
    if (!viewer)
        return;
    WaitCursor wait;
    viewer->applyEdit(edit, startupObjects().editWork);
}

void TfrmPrincipale::tbtRiflettiOrizClick() { editActiveViewer(PictureEdit::FlipH); }
void TfrmPrincipale::tbtRiflettiVertClick() { editActiveViewer(PictureEdit::FlipV); }
void TfrmPrincipale::tbtRuotaDestraClick() { editActiveViewer(PictureEdit::RotateRight); }
void TfrmPrincipale::tbtRuotaSinistraClick() { editActiveViewer(PictureEdit::RotateLeft); }
void TfrmPrincipale::tbtRuota180Click() { editActiveViewer(PictureEdit::Rotate180); }
void TfrmPrincipale::tbtSchiarisciClick() { editActiveViewer(PictureEdit::Lighten); }
void TfrmPrincipale::tbtScurisciClick() { editActiveViewer(PictureEdit::Darken); }
void TfrmPrincipale::tbtScalaGrigiClick() { editActiveViewer(PictureEdit::Grey); }

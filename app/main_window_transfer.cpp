// Files leaving or entering the list without a new scan: thumbnails dragged
// onto a folder of the tree, and the watched folder changed by others.
#include "app/main_window.h"

#include "fs/file_operation.h"
#include "fs/file_sys_monitor.h"
#include "platform/settings.h"
#include "ui/thumbnail_list_view.h"

#include <QDrag>
#include <QFileInfo>
#include <QSet>
#include <QTimer>

namespace {

// Reports come in bursts while another program writes; the list is brought in
// step once they pause this long, but never later than kLongestWaitMs after
// the first report of the burst.
constexpr int kPauseMs = 150;
constexpr qint64 kLongestWaitMs = 600;

} // namespace

QStringList TfrmPrincipale::percorsiSelezionati() const
{
    QStringList paths;
    for (const QModelIndex& i : ListView1->selectedInOrder())
        paths << i.data(int(ThumbnailListModel::SubItemRole) + int(SubPath)).toString();
    return paths;
}

Qt::DropAction TfrmPrincipale::ListView1StartDrag(QDrag* drag, const QModelIndexList& items)
{
    QPixmap thumb;
    if (!items.isEmpty())
        thumb = QPixmap::fromImage(items.first().data(Qt::DecorationRole).value<QImage>());
    const QPixmap picture = thumbnailDragPicture(thumb, int(items.size()));
    drag->setPixmap(picture);
    drag->setHotSpot(QPoint(picture.width() / 2, picture.height() / 2));
    return Configurazione.Operazione ? Qt::MoveAction : Qt::CopyAction;
}

bool TfrmPrincipale::SystemTreeView1DragOver(QObject* source, const QPoint& pos)
{
    if (source != ListView1)
        return false;
    const QPoint inTree = SystemTreeView1->viewport()->mapTo(SystemTreeView1, pos);
    SystemTreeView1->DoAutoScroll(SystemTreeView1->width() / 2, inTree.y());
    SystemTreeView1->viewport()->update();
    return true;
}

void TfrmPrincipale::SystemTreeView1DragDrop(QObject* source, const QPoint& pos)
{
    if (source != ListView1)
        return;
    const QStringList paths = percorsiSelezionati();
    if (paths.isEmpty())
        return;
    const QString destination = SystemTreeView1->GetNodePath(SystemTreeView1->itemAt(pos));
    if (!destination.isEmpty()) {
        const TFileOpFlags before = FileOperation1->Flags();
        if (Configurazione.RinominaSeEsiste)
            FileOperation1->setFlags(before | fofRenameOnCollision);
        // The flag is for this drop only, whatever the operation ends with.
        struct Restore {
            TFileOperation* op;
            bool added;
            ~Restore()
            {
                if (added)
                    op->setFlags(op->Flags() & ~TFileOpFlags(fofRenameOnCollision));
            }
        } restore{FileOperation1, Configurazione.RinominaSeEsiste};
        FileOperation1->setOperation(Configurazione.Operazione ? foMove : foCopy);
        FileOperation1->setFilesTo(destination);
        QString from;
        for (const QString& p : paths)
            from += p + QLatin1Char(';');
        FileOperation1->setFilesFrom(from);
        FileOperation1->Execute();
    }
    // Only the items of files that actually left go: a copy, a skipped or a
    // failed file keeps its item, and so does every other item of the list.
    QSet<QString> vanished;
    for (const QString& p : paths)
        if (!QFileInfo::exists(p))
            vanished.insert(p);
    m_catalogo->rimuoviElementi(vanished);
    AggiornaConteggio();
}

void TfrmPrincipale::FileSysMonitor2FileSysChange(const QString& directory)
{
    if (!m_cambiamenti->isActive() || directory != m_cartellaCambiata)
        m_primoCambiamento.start();
    m_cartellaCambiata = directory;
    const qint64 left = std::max<qint64>(0, kLongestWaitMs - m_primoCambiamento.elapsed());
    m_cambiamenti->start(int(std::min<qint64>(kPauseMs, left)));
}

void TfrmPrincipale::AggiornaCartellaOsservata()
{
    if (m_cartellaCambiata.isEmpty())
        return;
    // A scan or a cache read lets messages run; the refresh waits until it ends.
    if (m_catalogo->occupato()) {
        m_cambiamenti->start(kPauseMs);
        return;
    }
    const QString folder = m_cartellaCambiata;
    m_cartellaCambiata.clear();
    // A report of a folder that is no longer watched is stale: the list shows another one now.
    if (!m_monitorPointed || folder != FileSysMonitor2->MonitoredDirectory())
        return;
    setMonitorActive(false);
    {
        struct MonitorBack {
            TfrmPrincipale* w;
            ~MonitorBack() { w->setMonitorActive(true); }
        } back{this};
        m_catalogo->aggiornaCartella(folder);
        AggiornaConteggio();
    }
    // What changed while the monitor was off was not reported: look once more.
    if (!m_catalogo->inPasso(folder)) {
        m_cartellaCambiata = folder;
        m_primoCambiamento.start();
        m_cambiamenti->start(0);
    }
}

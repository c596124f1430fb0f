// Files leaving or entering the list without a new scan: thumbnails dragged
// onto a folder of the tree, and the watched folder changed by others.
#include "app/main_window.h"

#include "fs/file_operation.h"
#include "fs/file_sys_monitor.h"
#include "platform/file_names.h"
#include "platform/settings.h"
#include "ui/thumbnail_list_view.h"

#include <QDrag>
#include <QMessageBox>
#include <QSet>
#include <QTimer>

namespace {

// Reports come in bursts while another program writes; the list is brought in
// step once they pause this long, but never later than kLongestWaitMs after
// the first report of the burst.
constexpr int kPauseMs = 150;
constexpr qint64 kLongestWaitMs = 600;
// How often a watch that lost its folder looks for it again.
constexpr int kFollowAgainMs = 1000;

} // namespace

QStringList TfrmPrincipale::selectedPaths() const
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
    const QStringList paths = selectedPaths();
    if (paths.isEmpty())
        return;
    // The dialogs of a running operation let a second drop in: it is refused, never nested.
    if (FileOperation1->Running()) {
        QMessageBox::information(this, QStringLiteral("Quorvel"), texts().msgOperationRunning);
        return;
    }
    QTreeWidgetItem* node = SystemTreeView1->itemAt(pos);
    const QString destination = SystemTreeView1->GetNodePath(node);
    if (!destination.isEmpty()) {
        // Deleted by another program since the tree listed it: nothing goes there, and the
        // node leaves the tree.
        if (!qv::isFolder(destination)) {
            SystemTreeView1->ForgetVanishedNode(node);
            QMessageBox::warning(this, QStringLiteral("Quorvel"),
                                 formatS(texts().msgFolderGone, qv::displayFileName(destination)));
            return;
        }
        const TFileOpFlags before = FileOperation1->Flags();
        if (Configurazione.RinominaSeEsiste)
            FileOperation1->setFlags(before | fofRenameOnCollision);
        // The flag is for this drop only, and the monitor is off for its length, whatever
        // the operation ends with.
        setMonitorActive(false);
        struct Restore {
            TfrmPrincipale* w;
            bool added;
            ~Restore()
            {
                if (added)
                    w->FileOperation1->setFlags(w->FileOperation1->Flags() & ~TFileOpFlags(fofRenameOnCollision));
                w->setMonitorActive(true);
            }
        } restore{this, Configurazione.RinominaSeEsiste};
        FileOperation1->setOperation(Configurazione.Operazione ? foMove : foCopy);
        // Each name whole, and the folder marked as one: it is never a new name for a file.
        FileOperation1->setDestinationList({destination + QLatin1Char('/')});
        FileOperation1->setSourceList(paths);
        FileOperation1->Execute();
    }
    // Only the items of files that actually left go: a copy, a skipped or a
    // failed file keeps its item, and so does every other item of the list.
    QSet<QString> vanished;
    for (const QString& p : paths)
        if (!qv::pathExists(p))
            vanished.insert(p);
    m_catalogue->removeItems(vanished);
    AggiornaConteggio();
    // The monitor did not see the drop (a copy beside itself lands in the watched folder).
    if (m_monitorPointed && !m_catalogue->inStepWith(FileSysMonitor2->MonitoredDirectory())) {
        m_changedFolder = FileSysMonitor2->MonitoredDirectory();
        m_firstChange.start();
        m_changeTimer->start(0);
    }
}

void TfrmPrincipale::monitorFailed(const EFileSysMonitor& error)
{
    qWarning("%s", error.what());
    if (!m_monitorPointed)
        return;
    // The list stays as it is, marked as no longer followed, until the folder is back.
    const QString folder = FileSysMonitor2->MonitoredDirectory();
    setStatusText(1, formatS(texts().msgListNotFollowed, qv::displayFileName(folder)));
    QTimer::singleShot(kFollowAgainMs, this, [this, folder] { followLostFolder(folder); });
}

void TfrmPrincipale::followLostFolder(const QString& folder)
{
    // Read again, pointed elsewhere or switched off meanwhile: that took over.
    if (FileSysMonitor2->Watching() || !FileSysMonitor2->Active() || FileSysMonitor2->MonitoredDirectory() != folder)
        return;
    if (!qv::isFolder(folder)) {
        QTimer::singleShot(kFollowAgainMs, this, [this, folder] { followLostFolder(folder); });
        return;
    }
    setStatusText(1, QString());
    setMonitorActive(true); // replaces the failed watch
    m_changedFolder = folder;
    m_firstChange.start();
    m_changeTimer->start(0);
}

void TfrmPrincipale::FileSysMonitor2FileSysChange(const QString& directory)
{
    if (!m_changeTimer->isActive() || directory != m_changedFolder)
        m_firstChange.start();
    m_changedFolder = directory;
    const qint64 left = std::max<qint64>(0, kLongestWaitMs - m_firstChange.elapsed());
    m_changeTimer->start(int(std::min<qint64>(kPauseMs, left)));
}

void TfrmPrincipale::refreshWatchedFolder()
{
    if (m_changedFolder.isEmpty())
        return;
    // A scan or a cache read lets messages run; the refresh waits until it ends.
    if (m_catalogue->isBusy()) {
        m_changeTimer->start(kPauseMs);
        return;
    }
    const QString folder = m_changedFolder;
    m_changedFolder.clear();
    // A report of a folder that is no longer watched is stale: the list shows another one now.
    if (!m_monitorPointed || folder != FileSysMonitor2->MonitoredDirectory())
        return;
    // The folder itself went: the watch reports that as its failure, and the list is kept.
    if (!qv::isFolder(folder))
        return;
    setMonitorActive(false);
    {
        struct MonitorBack {
            TfrmPrincipale* w;
            ~MonitorBack() { w->setMonitorActive(true); }
        } back{this};
        m_catalogue->refreshFolder(folder);
        AggiornaConteggio();
    }
    // What changed while the monitor was off was not reported: look once more.
    if (!m_catalogue->inStepWith(folder)) {
        m_changedFolder = folder;
        m_firstChange.start();
        m_changeTimer->start(0);
    }
}

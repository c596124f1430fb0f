// Keeping the list in step with the watched folder when files come and go
// without a new scan.
#include "catalogue/thumbnail_catalogue.h"

#include "catalogue/thumbnail_decode.h"
#include "catalogue/thumbnail_geometry.h"
#include "formats/picture_loader.h"
#include "platform/file_names.h"
#include "platform/settings.h"

#include <QSet>

using thumbs::directlyInside;
using thumbs::withSlash;

void ThumbnailCatalogue::ElencaImmagini(const QString& folder)
{
    ListaCartella.clear();
    // Listed exactly as the scan lists, so the same file gives the same path.
    QList<qv::FolderEntry> entries; // on bytes, as the scan lists
    qv::listFolder(folder, &entries);
    for (const qv::FolderEntry& entry : entries) {
        const QString path = withSlash(folder) + entry.name;
        if (entry.type != qv::FolderEntry::File || !IsPictureExtension(thumbs::extensionKey(path)))
            continue;
        const QFileInfo fi(path);
        if (fi.isDir() || fi.isHidden())
            continue;
        ListaCartella.add(path);
    }
}

void ThumbnailCatalogue::AggiungiFile(const QString& path)
{
    const BusyScope busy(*this);
    m_ahead->start({path}, Configurazione.Dimensione, Configurazione.Colori);
    addFiles({path});
    m_ahead->stop();
}

// Adds the items, then makes their thumbnails in order while the next ones
// decode ahead. Each item first shows a fresh copy of the frame, which its
// thumbnail then replaces.
void ThumbnailCatalogue::addFiles(const QStringList& paths)
{
    ImageList* list = m_model.imageList();
    if (!list)
        return;
    const int slot = StartupObjects::slot(Configurazione.Dimensione);
    for (const QString& path : paths) {
        holder.clear();
        const int fresh = list->add(startupObjects().frames[slot]);
        addScanItem(path, fresh);
        const int row = showThumbnail(path, CreaMiniatura(path, fresh));
        if (row < 0)
            continue;
        m_model.setSubItem(row, SubLoaded, QStringLiteral("1"));
        ListaCaricate.add(path);
    }
}

// A file rewritten in place (a copy that was still running when it was first
// seen, a picture saved again) gets its thumbnail and its texts anew.
void ThumbnailCatalogue::remakeThumbnails(const QStringList& paths)
{
    ImageList* list = m_model.imageList();
    for (const QString& path : paths) {
        int row = m_model.rowOfPath(path);
        if (row < 0 || !list)
            continue;
        holder.clear();
        const QFileInfo fi(path);
        // The byte size first: the caption shows it.
        m_model.setSubItem(row, SubBytes, QString::number(fi.size()));
        m_model.setSubItem(row, SubDate, dateText(fi.lastModified()));
        showThumbnail(path, CreaMiniatura(path, m_model.item(row).ImageIndex));
    }
}

void ThumbnailCatalogue::removeItems(const QSet<QString>& paths)
{
    if (paths.isEmpty())
        return;
    for (const QString& p : paths)
        ListaCaricate.remove(p);
    m_model.removeIf([&paths](const ThumbnailRecord& r) { return paths.contains(r.SubItems[SubPath]); });
    AggiornaConteggio();
}

bool ThumbnailCatalogue::refreshFolder(const QString& folder)
{
    const BusyScope busy(*this);
    ElencaImmagini(folder);
    const QString dir = withSlash(folder);

    // Listed pictures of the folder that are no longer there, loaded or not.
    QSet<QString> gone;
    for (const QString& p : ListaCaricate.items())
        if (directlyInside(p, dir) && !ListaCartella.contains(p))
            gone.insert(p);
    QStringList grown;
    for (int row = 0; row < m_model.count(); ++row) {
        const ThumbnailRecord& r = m_model.item(row);
        const QString& p = r.SubItems[SubPath];
        if (!directlyInside(p, dir))
            continue;
        if (!ListaCartella.contains(p))
            gone.insert(p);
        else if (r.SubItems[SubLoaded] == QLatin1String("1") && ListaCaricate.contains(p)
                 && r.SubItems[SubBytes] != QString::number(QFileInfo(p).size()))
            grown << p;
    }
    // Pictures the list has never seen; an item still waiting for its
    // thumbnail (a pass stopped by Esc) is already listed.
    QStringList came;
    for (const QString& p : ListaCartella.items())
        if (!ListaCaricate.contains(p) && !m_model.hasPath(p))
            came << p;
    came.sort(); // a steady order; the list places each item by its caption anyway

    removeItems(gone);
    if (!came.isEmpty() || !grown.isEmpty()) {
        m_ahead->start(came + grown, Configurazione.Dimensione, Configurazione.Colori);
        addFiles(came);
        remakeThumbnails(grown);
        m_ahead->stop();
    }
    AggiornaConteggio();
    return !gone.isEmpty() || !came.isEmpty() || !grown.isEmpty();
}

bool ThumbnailCatalogue::inStepWith(const QString& folder)
{
    ElencaImmagini(folder);
    const QString dir = withSlash(folder);
    int listed = 0;
    for (int row = 0; row < m_model.count(); ++row) {
        const QString& p = m_model.item(row).SubItems[SubPath];
        if (!directlyInside(p, dir))
            continue;
        if (!ListaCartella.contains(p))
            return false;
        ++listed;
    }
    if (listed == ListaCartella.count())
        return true;
    // Duplicates aside, a picture without an item is left.
    for (const QString& p : ListaCartella.items())
        if (!m_model.hasPath(p))
            return false;
    return true;
}

// Reading a folder into the thumbnail list, making thumbnails, and the
// per-folder cache files. No widgets: the window and qvtool drive it through
// CatalogueHost.
#pragma once
#include "catalogue/lzrw1codec.h"
#include "catalogue/path_list.h"
#include "catalogue/startup_objects.h"
#include "catalogue/thumbnail_model.h"
#include "formats/picture.h"
#include "platform/errors.h"

#include <QFileInfo>
#include <QObject>
#include <memory>

QV_DECLARE_ERROR(ECacheError);

// What the catalogue needs from whoever shows it.
class CatalogueHost {
public:
    virtual ~CatalogueHost() = default;
    // Status-bar panels: 0 count, 1 progress, 2 folder.
    virtual void setStatusText(int panel, const QString& text) { Q_UNUSED(panel) Q_UNUSED(text) }
    // A path shortened to `width` pixels by the window's path label.
    virtual QString shortenPath(const QString& path, int width) { Q_UNUSED(width) return path; }
    // Lets the interface handle pending messages (Esc is seen here).
    virtual void processEvents() {}
    virtual void setWaitCursor(bool on) { Q_UNUSED(on) }
    // The change monitor: switched off around our own writes, pointed at the folder read.
    virtual void setMonitorActive(bool on) { Q_UNUSED(on) }
    virtual void setMonitoredFolder(const QString& folder) { Q_UNUSED(folder) }
    // The list view must show the pictures of another image list.
    virtual void imageListChanged(ImageList* list) { Q_UNUSED(list) }
};

class ThumbnailDecodeAhead;

class ThumbnailCatalogue : public QObject {
    Q_OBJECT
public:
    explicit ThumbnailCatalogue(CatalogueHost* host = nullptr, QObject* parent = nullptr);
    ~ThumbnailCatalogue() override;

    void setHost(CatalogueHost* host) { m_host = host ? host : &m_noHost; }
    ThumbnailListModel& model() { return m_model; }
    ImageList* currentList() { return m_model.imageList(); }
    // The compressor of the cache files (FAST mode).
    Lzrw1Codec& compressore() { return m_compressore; }

    PathList ListaCaricate;
    // The picture files of a changed folder, during one change handling.
    PathList ListaCartella;
    bool Interrompi = false;
    TPicture holder; // the picture each file is decoded into (JPEGImage1)

    // The read-folder command on `folder`. Returns false when it did nothing:
    // a folder that does not exist or is named relatively, or another read or
    // cache step still running (reads never nest). A cache pair that cannot be
    // read is noted in the status bar and the folder is scanned instead.
    bool readFolder(const QString& folder);
    void VisualizzaTutto(const QString& folder);
    // Completes the list from `folder`; nothing while other work runs.
    void CompletaLista(const QString& folder);
    int CreaMiniatura(const QString& path, int replaceIndex);
    void ImpostaDidascalia(int row);
    void EliminaNonCaricate();
    void AggiornaConteggio();
    void RigeneraMiniature();
    void clearList();
    enum class CacheSave {
        Written,
        Unchanged,  // the pair on disk already holds this list
        NotOurs,    // the list was not read from that folder, or is empty
        Busy,       // a read or another cache step is running
        Unwritable, // the folder refuses new files (noted in the status bar)
    };
    // Writes the pair of the list into `folder`, only when the list was read
    // from that folder and only with that folder's items. Other failures throw.
    CacheSave SalvaMiniature(const QString& folder);
    // Replaces the list by the pair's content; throws when the pair is
    // damaged. False when refused because other work runs.
    bool CaricaMiniature(const QString& folder);
    enum class CacheRead { Read, Busy, Damaged };
    // CaricaMiniature for the window: a damaged pair leaves an empty list and
    // a note in the status bar instead of an error.
    CacheRead loadCacheOrNote(const QString& folder);
    // The reading half of CaricaMiniature, from an open strip stream and the
    // bytes of the text file of `folder`. Only records naming a file of that
    // folder are taken.
    // False when Esc stopped it (the list stays empty).
    bool loadCacheFrom(QIODevice& images, const QByteArray& texts, const QString& folder);

    // The folder the list was read from (by a read or a cache load), cleaned;
    // empty while the list belongs to no folder.
    const QString& listFolder() const { return m_listFolder; }
    // A folder path in the form listFolder() uses; empty for a relative name.
    static QString folderKey(const QString& folder);

    // Adds an item for one picture file of the folder (the item of a scan),
    // with a thumbnail to be made. Returns its row.
    int addScanItem(const QString& path, int imageIndex);
    int addScanItem(const QString& path, const QFileInfo& info, int imageIndex);

    // The picture files directly inside `folder` into ListaCartella.
    void ElencaImmagini(const QString& folder);
    // Adds one item for a file that appeared, with its thumbnail made now.
    void AggiungiFile(const QString& path);
    // Brings the items of `folder` in step with its files: items of pictures
    // that left go, pictures that came get an item and a thumbnail, a picture
    // whose size changed gets its thumbnail again, the rest stay untouched.
    // Returns whether the list changed.
    bool refreshFolder(const QString& folder);
    // True when every picture of `folder` has an item and every item of the
    // folder has its file (lists the folder again).
    bool inStepWith(const QString& folder);
    // Removes the items (and the loaded marks) of these paths.
    void removeItems(const QSet<QString>& paths);
    // True while a pass, a cache read or write runs: it lets the interface
    // handle messages, and a folder change must wait until it ends.
    bool isBusy() const { return m_busyDepth > 0; }

    // Settings step: uses the image list of `sizeCode` (1, 2, 3); another
    // value keeps the current one. Returns true when the list changed (the
    // caller then runs RigeneraMiniature).
    bool chooseImageList(int sizeCode);

    // An absolute path names an existing folder: one trailing separator ignored.
    static bool folderExists(const QString& path);
    static QString cacheImagesName(const QString& folder);
    static QString cacheTextsName(const QString& folder);
    static QString dateText(const QDateTime& when);

private:
    void loadCache(const QString& folder);
    // loadCache; a damaged pair leaves an empty list and a status note (false).
    bool readPairOrNote(const QString& folder);
    // Whether the folder was scanned instead.
    void noteDamagedCache(bool scanned);
    void completeList(const QString& folder);
    void noteStatus(const QString& italian, const QString& english);
    // Size and time of the pair on disk, to tell whether it is still the one the list matches.
    QString pairStamp(const QString& folder) const;
    void thumbnailPass(bool skipLoadedFlag);
    void enumerate(const QString& folder, bool processEachFile, bool freshFrame);
    void addFiles(const QStringList& paths);
    // Shows a thumbnail just made (its image index, or -2 when it replaced
    // the item's own picture) with the file's pixel size in the caption.
    // Returns the item's row afterwards, -1 when the item is gone.
    int showThumbnail(const QString& path, int index);
    void useList(int sizeCode, int slot);
    void remakeThumbnails(const QStringList& paths);
    bool italian() const;

    CatalogueHost m_noHost;
    CatalogueHost* m_host;
    ThumbnailListModel m_model;
    Lzrw1Codec m_compressore;
    std::unique_ptr<ThumbnailDecodeAhead> m_ahead;
    int m_busyDepth = 0;
    QString m_listFolder;
    // The list is what the pair of m_listFolder holds (m_pairStamp says which pair).
    bool m_listMatchesPair = false;
    QString m_pairStamp;
    bool m_readingCache = false; // Esc stops the expansion of the strip
    friend class BusyScope;
};

// Marks the catalogue busy for as long as it lives.
class BusyScope {
public:
    explicit BusyScope(ThumbnailCatalogue& c) : m_c(c) { ++m_c.m_busyDepth; }
    ~BusyScope() { --m_c.m_busyDepth; }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    ThumbnailCatalogue& m_c;
};

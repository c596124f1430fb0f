// The thumbnail list: one record per picture file, kept sorted by caption
// with the locale's comparison, shown by the main window and driven by the scan.
#pragma once
#include "catalogue/image_list.h"

#include <QAbstractListModel>
#include <QCollator>
#include <QCollatorSortKey>
#include <QHash>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

// Sub-text indexes of a record.
enum SubItem { SubPath = 0, SubFormat = 1, SubPixels = 2, SubBytes = 3, SubDate = 4, SubLoaded = 5 };

struct ThumbnailRecord {
    QString Caption;
    int ImageIndex = -1;
    QStringList SubItems; // exactly six texts
};

class ThumbnailListModel : public QAbstractListModel {
    Q_OBJECT
public:
    // SubItemRole + i gives sub-text i (0 to 5).
    enum Roles { SubItemRole = Qt::UserRole + 1, ImageIndexRole = SubItemRole + 6 };

    explicit ThumbnailListModel(QObject* parent = nullptr);
    ~ThumbnailListModel() override;

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;

    // The image list whose pictures the items show.
    void setImageList(ImageList* list);
    ImageList* imageList() const { return m_images; }

    int count() const { return int(m_items.size()); }
    const ThumbnailRecord& item(int row) const { return m_items[size_t(row)]->rec; }

    // Adds a record at its sorted place; returns its row.
    int addItem(const ThumbnailRecord& rec);
    // Adds many records, each at its sorted place; records that arrive in
    // order (a cache written by this list) go in as one block.
    void addItems(std::vector<ThumbnailRecord> recs);
    // Sets a caption and moves the item to its sorted place; returns the new row.
    int setCaption(int row, const QString& caption);
    void setImageIndex(int row, int index);
    void setSubItem(int row, int sub, const QString& text);
    void removeItem(int row);
    // Removes every item the predicate picks, in runs, keeping the others' order.
    void removeIf(const std::function<bool(const ThumbnailRecord&)>& pick);
    void clear();
    // Tells the view that the pictures changed (after the image list was rebuilt).
    void imagesChanged();

    // True when some item's path (sub-text 0) is exactly `path`.
    bool hasPath(const QString& path) const { return m_byPath.contains(path); }
    // The row of the first item with that path, or -1. Logarithmic: the scan
    // asks for every item's row several times.
    int rowOfPath(const QString& path) const;
    // The paths of all items in list order.
    QStringList paths() const;

private:
    struct Entry {
        ThumbnailRecord rec;
        QCollatorSortKey key;
    };
    int sortedPosition(const QCollatorSortKey& key) const;
    // The row of an entry, found by its sort key.
    int rowOf(const Entry* e) const;
    void notePath(const QString& path, Entry* e, bool add);

    QCollator m_collator;
    std::vector<std::unique_ptr<Entry>> m_items; // always in sort-key order
    QMultiHash<QString, Entry*> m_byPath;
    ImageList* m_images = nullptr;
};

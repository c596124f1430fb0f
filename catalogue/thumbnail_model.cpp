// Thumbnail list model.
#include "catalogue/thumbnail_model.h"

#include <QMimeData>
#include <QUrl>
#include <algorithm>

ThumbnailListModel::ThumbnailListModel(QObject* parent) : QAbstractListModel(parent)
{
    m_collator.setCaseSensitivity(Qt::CaseInsensitive);
}

ThumbnailListModel::~ThumbnailListModel() = default;

int ThumbnailListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : count();
}

QVariant ThumbnailListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= count())
        return {};
    const ThumbnailRecord& r = item(index.row());
    switch (role) {
    case Qt::DisplayRole: {
        QString text = r.Caption;
        text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
        return text;
    }
    case Qt::DecorationRole:
        return m_images ? QVariant(m_images->at(r.ImageIndex)) : QVariant();
    case Qt::ToolTipRole: {
        // The whole caption, which a narrow cell cuts short, above the path.
        QString text = r.Caption;
        text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
        const QString path = r.SubItems.value(SubPath);
        return path.isEmpty() ? text : text + QLatin1Char('\n') + path;
    }
    case ImageIndexRole:
        return r.ImageIndex;
    default:
        if (role >= SubItemRole && role < SubItemRole + 6)
            return r.SubItems.value(role - SubItemRole);
        return {};
    }
}

Qt::ItemFlags ThumbnailListModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return QAbstractListModel::flags(index);
    return QAbstractListModel::flags(index) | Qt::ItemIsDragEnabled;
}

QStringList ThumbnailListModel::mimeTypes() const { return {QStringLiteral("text/uri-list")}; }

QMimeData* ThumbnailListModel::mimeData(const QModelIndexList& indexes) const
{
    auto* mime = new QMimeData;
    QList<QUrl> urls;
    for (const QModelIndex& i : indexes)
        if (i.isValid() && i.row() < count())
            urls << QUrl::fromLocalFile(item(i.row()).SubItems.value(SubPath));
    mime->setUrls(urls);
    return mime;
}

void ThumbnailListModel::setImageList(ImageList* list)
{
    m_images = list;
    imagesChanged();
}

void ThumbnailListModel::imagesChanged()
{
    if (count() > 0)
        emit dataChanged(index(0), index(count() - 1), {Qt::DecorationRole});
}

int ThumbnailListModel::sortedPosition(const QCollatorSortKey& key) const
{
    // After every equal caption, so equal captions keep their order of arrival.
    auto it = std::upper_bound(m_items.begin(), m_items.end(), key,
                               [](const QCollatorSortKey& k, const std::unique_ptr<Entry>& e) {
                                   return k.compare(e->key) < 0;
                               });
    return int(it - m_items.begin());
}

int ThumbnailListModel::rowOf(const Entry* e) const
{
    auto it = std::lower_bound(m_items.begin(), m_items.end(), e->key,
                               [](const std::unique_ptr<Entry>& x, const QCollatorSortKey& k) {
                                   return x->key.compare(k) < 0;
                               });
    // Equal captions sit side by side.
    for (; it != m_items.end(); ++it)
        if (it->get() == e)
            return int(it - m_items.begin());
    return -1;
}

void ThumbnailListModel::notePath(const QString& path, Entry* e, bool add)
{
    if (add)
        m_byPath.insert(path, e);
    else
        m_byPath.remove(path, e);
}

int ThumbnailListModel::addItem(const ThumbnailRecord& rec)
{
    auto e = std::make_unique<Entry>(Entry{rec, m_collator.sortKey(rec.Caption)});
    while (e->rec.SubItems.size() < 6)
        e->rec.SubItems.append(QString());
    const int row = sortedPosition(e->key);
    beginInsertRows({}, row, row);
    notePath(e->rec.SubItems[SubPath], e.get(), true);
    m_items.insert(m_items.begin() + row, std::move(e));
    endInsertRows();
    return row;
}

void ThumbnailListModel::addItems(std::vector<ThumbnailRecord> recs)
{
    std::vector<std::unique_ptr<Entry>> entries;
    entries.reserve(recs.size());
    bool inOrder = true;
    for (ThumbnailRecord& rec : recs) {
        QCollatorSortKey key = m_collator.sortKey(rec.Caption);
        auto e = std::make_unique<Entry>(Entry{std::move(rec), std::move(key)});
        while (e->rec.SubItems.size() < 6)
            e->rec.SubItems.append(QString());
        const Entry* before = !entries.empty() ? entries.back().get() : (m_items.empty() ? nullptr : m_items.back().get());
        if (before && e->key.compare(before->key) < 0)
            inOrder = false;
        entries.push_back(std::move(e));
    }
    if (entries.empty())
        return;
    if (!inOrder) {
        for (auto& e : entries) {
            const int row = sortedPosition(e->key);
            beginInsertRows({}, row, row);
            notePath(e->rec.SubItems[SubPath], e.get(), true);
            m_items.insert(m_items.begin() + row, std::move(e));
            endInsertRows();
        }
        return;
    }
    // Appending a non-decreasing run is what inserting each after its equals gives.
    const int first = count();
    beginInsertRows({}, first, first + int(entries.size()) - 1);
    m_items.reserve(m_items.size() + entries.size());
    for (auto& e : entries) {
        notePath(e->rec.SubItems[SubPath], e.get(), true);
        m_items.push_back(std::move(e));
    }
    endInsertRows();
}

int ThumbnailListModel::setCaption(int row, const QString& caption)
{
    if (row < 0 || row >= count())
        return row;
    Entry& e = *m_items[size_t(row)];
    e.rec.Caption = caption;
    e.key = m_collator.sortKey(caption);
    // Usually the item keeps its place: its neighbours tell without a search.
    const bool afterPrevious = row == 0 || m_items[size_t(row) - 1]->key.compare(e.key) <= 0;
    const bool beforeNext = row + 1 == count() || e.key.compare(m_items[size_t(row) + 1]->key) < 0;
    if (afterPrevious && beforeNext) {
        emit dataChanged(index(row), index(row), {Qt::DisplayRole});
        return row;
    }
    // Find the new place among the other items.
    auto moving = std::move(m_items[size_t(row)]);
    m_items.erase(m_items.begin() + row);
    const int dest = sortedPosition(moving->key);
    m_items.insert(m_items.begin() + row, std::move(moving));
    if (dest != row) {
        // Qt counts the destination before the move takes the item out.
        const int qtDest = dest > row ? dest + 1 : dest;
        beginMoveRows({}, row, row, {}, qtDest);
        auto item = std::move(m_items[size_t(row)]);
        m_items.erase(m_items.begin() + row);
        m_items.insert(m_items.begin() + dest, std::move(item));
        endMoveRows();
    }
    emit dataChanged(index(dest), index(dest), {Qt::DisplayRole});
    return dest;
}

void ThumbnailListModel::setImageIndex(int row, int idx)
{
    if (row < 0 || row >= count())
        return;
    m_items[size_t(row)]->rec.ImageIndex = idx;
    emit dataChanged(index(row), index(row), {Qt::DecorationRole, ImageIndexRole});
}

void ThumbnailListModel::setSubItem(int row, int sub, const QString& text)
{
    if (row < 0 || row >= count() || sub < 0 || sub > 5)
        return;
    ThumbnailRecord& r = m_items[size_t(row)]->rec;
    if (sub == SubPath) {
        notePath(r.SubItems[SubPath], m_items[size_t(row)].get(), false);
        notePath(text, m_items[size_t(row)].get(), true);
    }
    r.SubItems[sub] = text;
    emit dataChanged(index(row), index(row), {SubItemRole + sub});
}

void ThumbnailListModel::removeItem(int row)
{
    if (row < 0 || row >= count())
        return;
    beginRemoveRows({}, row, row);
    notePath(m_items[size_t(row)]->rec.SubItems[SubPath], m_items[size_t(row)].get(), false);
    m_items.erase(m_items.begin() + row);
    endRemoveRows();
}

void ThumbnailListModel::removeIf(const std::function<bool(const ThumbnailRecord&)>& pick)
{
    // From the end, so earlier rows keep their numbers; each run is one removal.
    int row = count() - 1;
    while (row >= 0) {
        if (!pick(m_items[size_t(row)]->rec)) {
            --row;
            continue;
        }
        int first = row;
        while (first > 0 && pick(m_items[size_t(first - 1)]->rec))
            --first;
        beginRemoveRows({}, first, row);
        for (int i = first; i <= row; ++i)
            notePath(m_items[size_t(i)]->rec.SubItems[SubPath], m_items[size_t(i)].get(), false);
        m_items.erase(m_items.begin() + first, m_items.begin() + row + 1);
        endRemoveRows();
        row = first - 1;
    }
}

void ThumbnailListModel::clear()
{
    beginResetModel();
    m_items.clear();
    m_byPath.clear();
    endResetModel();
}

int ThumbnailListModel::rowOfPath(const QString& path) const
{
    int first = -1;
    for (auto it = m_byPath.constFind(path); it != m_byPath.cend() && it.key() == path; ++it) {
        const int row = rowOf(it.value());
        if (row >= 0 && (first < 0 || row < first))
            first = row;
    }
    return first;
}

QStringList ThumbnailListModel::paths() const
{
    QStringList out;
    out.reserve(count());
    for (const auto& e : m_items)
        out << e->rec.SubItems[SubPath];
    return out;
}

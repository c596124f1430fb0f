// The folder tree: nodes over namespace items, listing on first opening, sorting, paths,
// subfolder creation, deletion and renaming, and the watch on the selected folder.
#include "fs/system_tree_view.h"

#include "fs/file_sys_monitor.h"
#include "fs/system_tree_view_icons.h"
#include "platform/wait_cursor.h"
#include "platform/file_names.h"

#include <QContextMenuEvent>
#include <QFile>
#include <QFileInfo>
#include <QFontInfo>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTimer>
#include <QStyledItemDelegate>

#include <atomic>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

using namespace qv;

namespace {

std::atomic<int> g_liveFolderData{0};

constexpr qsizetype kMaxPathChars = 4096;
constexpr std::uint32_t kSetNameFlags = 32;

// Batch update: painting waits until the outermost batch ends.
class UpdateBatch {
public:
    explicit UpdateBatch(TSystemTreeView* tree, void (TSystemTreeView::*begin)(), void (TSystemTreeView::*end)())
        : m_tree(tree), m_end(end)
    {
        (tree->*begin)();
    }
    ~UpdateBatch() { (m_tree->*m_end)(); }

private:
    TSystemTreeView* m_tree;
    void (TSystemTreeView::*m_end)();
};

QString errorText(const std::exception& e)
{
    if (const auto* q = dynamic_cast<const QvError*>(&e))
        return q->message();
    return QString::fromUtf8(e.what());
}

int signOf(int v) { return v < 0 ? -1 : (v > 0 ? 1 : 0); }

void showErrorBox(QWidget* parent, const QString& text)
{
    auto* box = new QMessageBox(QMessageBox::Critical, QStringLiteral("Error"), text, QMessageBox::Ok, parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->show();
}

} // namespace

// Label editing ends here: the tree renames the folder, and the label changes only when it did.
class FolderLabelDelegate : public QStyledItemDelegate {
public:
    explicit FolderLabelDelegate(TSystemTreeView* tree) : QStyledItemDelegate(tree), m_tree(tree) {}

    void setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex& index) const override
    {
        if (auto* line = qobject_cast<QLineEdit*>(editor))
            m_tree->labelEdited(index, line->text());
    }

    // The drop folder of a drag looks selected, as the platform's trees show it.
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        if (m_tree->m_dropTarget.isValid() && index == m_tree->m_dropTarget)
            option->state |= QStyle::State_Selected;
    }

private:
    TSystemTreeView* m_tree;
};

// ---- records and nodes --------------------------------------------------------------

TFolderItemData::TFolderItemData() { ++g_liveFolderData; }

TFolderItemData::~TFolderItemData()
{
    --g_liveFolderData;
}

int LiveFolderDataCount() { return g_liveFolderData.load(); }

void CheckFolderDataLeaks()
{
    if (LiveFolderDataCount() > 0)
        throw ELeaking(QStringLiteral("Memory Leak Detected.  Not all folder data was freed."));
}

int rootFolderCsidl(TRootFolder root)
{
    switch (root) {
    case rfDesktop: return kCsidlDesktop;
    case rfRecycleBin: return kCsidlBitBucket;
    case rfControlPanel: return kCsidlControls;
    case rfDesktopDir: return kCsidlDesktopDirectory;
    case rfDrives: return kCsidlDrives;
    case rfFavoriteURLs: return kCsidlFavorites;
    case rfFonts: return kCsidlFonts;
    case rfNetHood: return kCsidlNetwork;
    case rfNetHoodDir: return kCsidlNetHood;
    case rfDocumentDir: return kCsidlPersonal;
    case rfPrinters: return kCsidlPrinters;
    case rfPrograms: return kCsidlPrograms;
    case rfRecentDir: return kCsidlRecent;
    case rfSendTo: return kCsidlSendTo;
    case rfStartMenu: return kCsidlStartMenu;
    case rfStartup: return kCsidlStartup;
    case rfTemplates: return kCsidlTemplates;
    case rfFileSystem: return kCsidlDrives;
    case rfCustom: return -1;
    }
    return -1;
}

FolderNode::FolderNode(TSystemTreeView* owner, std::unique_ptr<TFolderItemData> data)
    : QTreeWidgetItem(UserType), m_owner(owner), m_data(std::move(data))
{
}

FolderNode::~FolderNode()
{
    m_data.reset();
    if (m_owner)
        m_owner->nodeGone(this);
}

bool FolderNode::operator<(const QTreeWidgetItem& other) const
{
    auto* self = const_cast<FolderNode*>(this);
    auto* that = const_cast<QTreeWidgetItem*>(&other);
    const int c = m_owner->m_sortCompare ? m_owner->m_sortCompare(self, that) : m_owner->DefaultCompare(self, that);
    return c < 0;
}

AutoScrollDirections autoScrollDirections(int x, int y, int width, int height, int margin, bool verticalRange,
                                          bool horizontalRange)
{
    const int v = verticalRange ? 16 : 0;
    const int h = horizontalRange ? 16 : 0;
    AutoScrollDirections s;
    s.up = y < margin;
    s.down = y > height - v - margin;
    s.left = x < margin;
    s.right = x > width - h - margin;
    return s;
}

// ---- the tree --------------------------------------------------------------------------

TSystemTreeView::TSystemTreeView(QWidget* parent) : QTreeWidget(parent)
{
    setColumnCount(1);
    setHeaderHidden(true);
    setRootIsDecorated(true);
    setSortingEnabled(false);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::EditKeyPressed);
    setAnimated(false);
    setAutoScroll(false); // DoAutoScroll does it, by lines
    setMouseTracking(true);
    viewport()->setMouseTracking(true); // DoAutoScroll sees every move, buttons up or down
    setItemDelegate(new FolderLabelDelegate(this));
    m_images = &SystemImageList::instance();
    connect(this, &QTreeWidget::itemExpanded, this, &TSystemTreeView::nodeExpanded);
    connect(this, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current, QTreeWidgetItem*) { selectionMoved(current); });
}

TSystemTreeView::~TSystemTreeView()
{
    stopWatch();
    m_images = nullptr; // shared: only our reference goes
    // Nodes go while the tree is whole, so every record is released; nobody hears of it.
    blockSignals(true);
    clear();
}

void TSystemTreeView::beginUpdate()
{
    if (m_updateDepth++ == 0)
        setUpdatesEnabled(false);
}

void TSystemTreeView::endUpdate()
{
    if (--m_updateDepth == 0)
        setUpdatesEnabled(true);
}

void TSystemTreeView::setRootFolder(TRootFolder value)
{
    if (value == m_rootFolder)
        return;
    m_rootFolder = value;
    if (m_loaded)
        Reload();
}

void TSystemTreeView::setCustomDir(const QString& value)
{
    if (value == m_customDir)
        return;
    m_customDir = value;
    if (m_loaded)
        Reload();
}

void TSystemTreeView::setCustomDirCaption(const QString& value)
{
    m_customDirCaption = value;
    if (m_rootFolder == rfCustom && !value.isEmpty() && topLevelItemCount() > 0)
        topLevelItem(0)->setText(0, value);
}

void TSystemTreeView::setShowFiles(bool value)
{
    if (value == m_showFiles)
        return;
    m_showFiles = value;
    if (m_loaded)
        Reload();
}

void TSystemTreeView::Loaded()
{
    m_loaded = true;
    Reload();
}

std::shared_ptr<IShellFolder> TSystemTreeView::desktop() const
{
    std::shared_ptr<IShellFolder> folder;
    const ShellResult r = SHGetDesktopFolder(&folder);
    if (r != kShellOk || !folder)
        throw EShellError(shellResultText(r));
    return folder;
}

bool TSystemTreeView::isDesktopRoot(QTreeWidgetItem* node) const
{
    return node && !node->parent() && m_rootFolder == rfDesktop;
}

TFolderItemData* TSystemTreeView::NodeData(QTreeWidgetItem* node)
{
    auto* n = dynamic_cast<FolderNode*>(node);
    return n ? n->Data() : nullptr;
}

TFolderItemData* TSystemTreeView::GetFolderData(QTreeWidgetItem* node)
{
    TFolderItemData* data = NodeData(node);
    if (!data && node)
        showErrorBox(this, QStringLiteral("Could not get folder data."));
    return data;
}

bool TSystemTreeView::HasExpandButton(QTreeWidgetItem* node) const
{
    return node && (node->childIndicatorPolicy() == QTreeWidgetItem::ShowIndicator || node->childCount() > 0);
}

void TSystemTreeView::Reload()
{
    UpdateBatch batch(this, &TSystemTreeView::beginUpdate, &TSystemTreeView::endUpdate);
    setCurrentItem(nullptr);
    stopWatch();
    clear(); // each node releases its record
    const std::shared_ptr<IShellFolder> desk = desktop();
    ItemIDList* rootList = nullptr;
    const bool found = m_rootFolder == rfCustom
        ? ParseFolderPath(desk.get(), m_customDir, &rootList)
        : SHGetSpecialFolderLocation(rootFolderCsidl(m_rootFolder), &rootList) == kShellOk;
    UniqueIDList root(rootList);
    if (found) {
        UniqueIDList absolute(CopyIDList(root.get()));
        QTreeWidgetItem* node = AddFolderNode(desk, std::move(absolute), nullptr, std::move(root));
        if (node && m_expandRoot && topLevelItemCount() > 0)
            topLevelItem(0)->setExpanded(true);
    }
    if (isSortingEnabled())
        SortFolders();
}

QTreeWidgetItem* TSystemTreeView::AddFolderNode(const std::shared_ptr<IShellFolder>& folder,
                                                UniqueIDList absoluteList, QTreeWidgetItem* parentNode,
                                                UniqueIDList relativeList)
{
    if (!folder)
        return nullptr;
    QString text;
    if (folder->GetDisplayNameOf(relativeList.get(), kShgdnNormal, &text) != kShellOk)
        text.clear();
    if (!parentNode && m_rootFolder == rfCustom && !m_customDirCaption.isEmpty())
        text = m_customDirCaption;
    std::uint32_t attributes = kSfgaoTreeMask;
    if (folder->GetAttributesOf(relativeList.get(), &attributes) != kShellOk)
        attributes = 0;
    if (m_rootFolder == rfFileSystem && !(attributes & (kSfgaoFileSystem | kSfgaoFileSysAncestor)))
        return nullptr;

    auto data = std::make_unique<TFolderItemData>();
    data->ParentFolder = folder;
    data->RelativeIDList = std::move(relativeList);
    data->AbsoluteIDList = std::move(absoluteList);
    data->Attributes = attributes;
    const TFolderItemData* nodeData = data.get();
    auto* node = new FolderNode(this, std::move(data));
    node->setText(0, text);
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (attributes & kSfgaoCanRename)
        flags |= Qt::ItemIsEditable;
    node->setFlags(flags);
    if (parentNode)
        parentNode->addChild(node);
    else
        addTopLevelItem(node);

    if (m_images) {
        const int normal = m_images->IconIndex(nodeData->AbsoluteIDList.get(), false);
        int open = m_images->IconIndex(nodeData->AbsoluteIDList.get(), true);
        if (open == 0 && normal != 0)
            open = normal;
        const bool isFolder = attributes & kSfgaoFolder;
        node->ImageIndex = isFolder ? normal : open;
        node->SelectedIndex = open;
        if (attributes & kSfgaoShare) {
            node->OverlayIndex = 0;
            m_images->setOverlayImage(0, SystemImageList::kShareImage);
        }
        if (attributes & kSfgaoLink) {
            node->OverlayIndex = 1;
            m_images->setOverlayImage(1, SystemImageList::kLinkImage);
        }
        node->setIcon(0, m_images->nodeIcon(node->ImageIndex, node->SelectedIndex, node->OverlayIndex));
    }

    const bool button = attributes & kSfgaoHasSubfolder;
    node->setChildIndicatorPolicy(button ? QTreeWidgetItem::ShowIndicator
                                         : QTreeWidgetItem::DontShowIndicatorWhenChildless);
    if (m_showFiles && !button) {
        std::shared_ptr<IShellFolder> itemFolder;
        std::unique_ptr<IEnumIDList> items;
        if (folder->BindToObject(nodeData->RelativeIDList.get(), &itemFolder) == kShellOk
            && itemFolder->EnumObjects(kShcontfNonFolders | (m_showHiddenDirs ? kShcontfIncludeHidden : 0), &items)
                == kShellOk) {
            ItemIDList* first = nullptr;
            const bool any = items->Next(&first) == kShellOk;
            UniqueIDList owned(first);
            if (any)
                node->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
        }
    }
    return node;
}

bool TSystemTreeView::FillChildren(const std::shared_ptr<IShellFolder>& folder, QTreeWidgetItem* parentNode)
{
    UpdateBatch batch(this, &TSystemTreeView::beginUpdate, &TSystemTreeView::endUpdate);
    WaitCursor wait;
    std::uint32_t flags = kShcontfFolders;
    if (m_showHiddenDirs)
        flags |= kShcontfIncludeHidden;
    if (m_showFiles)
        flags |= kShcontfNonFolders;
    bool listed = false;
    std::unique_ptr<IEnumIDList> items;
    if (folder && folder->EnumObjects(flags, &items) == kShellOk) {
        for (;;) {
            ItemIDList* next = nullptr;
            const bool more = items->Next(&next) == kShellOk;
            UniqueIDList item(next);
            if (!more)
                break;
            listed = true;
            const TFolderItemData* parentData = NodeData(parentNode);
            UniqueIDList absolute(ConcatIDLists(parentData ? parentData->AbsoluteIDList.get() : nullptr, item.get()));
            AddFolderNode(folder, std::move(absolute), parentNode, std::move(item));
        }
    }
    return listed;
}

bool TSystemTreeView::CanExpand(QTreeWidgetItem* node)
{
    TFolderItemData* data = NodeData(node);
    if (!data || data->Enumerated)
        return true;
    if (isDesktopRoot(node)) {
        FillChildren(desktop(), node);
        data->Enumerated = true;
        return true;
    }
    std::shared_ptr<IShellFolder> folder;
    const ShellResult r = data->ParentFolder->BindToObject(data->RelativeIDList.get(), &folder);
    if (r != kShellOk)
        throw EShellError(shellResultText(r));
    data->Enumerated = true;
    if (!FillChildren(folder, node)) {
        node->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
        return false;
    }
    return true;
}

void TSystemTreeView::nodeExpanded(QTreeWidgetItem* node)
{
    if (isVanished(node)) {
        node->setExpanded(false);
        forgetVanishedLater(node);
        return;
    }
    bool opened = false;
    try {
        opened = CanExpand(node);
    } catch (const std::exception& e) {
        node->setExpanded(false);
        reportError(errorText(e));
        return;
    }
    if (!opened) {
        node->setExpanded(false);
        return;
    }
    UpdateBatch batch(this, &TSystemTreeView::beginUpdate, &TSystemTreeView::endUpdate);
    sortChildrenOf(node);
}

int TSystemTreeView::DefaultCompare(QTreeWidgetItem* a, QTreeWidgetItem* b) const
{
    if (a == b)
        return 0;
    if (!a)
        return -1;
    if (!b)
        return 1;
    const TFolderItemData* da = NodeData(a);
    if (!da || !da->ParentFolder)
        return 0;
    const TFolderItemData* db = NodeData(b);
    return signOf(da->ParentFolder->CompareIDs(0, da->RelativeIDList.get(), db ? db->RelativeIDList.get() : nullptr));
}

void TSystemTreeView::sortChildrenOf(QTreeWidgetItem* node)
{
    if (node && node->childCount() > 1)
        node->sortChildren(0, Qt::AscendingOrder);
}

bool TSystemTreeView::SortFolders(const TreeCompareFunction& compare)
{
    m_sortCompare = compare;
    struct Reset {
        TreeCompareFunction& c;
        ~Reset() { c = nullptr; }
    } reset{m_sortCompare};
    // The top level, then the children of every node with an expand button, in display order.
    QList<QTreeWidgetItem*> pending{invisibleRootItem()};
    while (!pending.isEmpty()) {
        QTreeWidgetItem* node = pending.takeFirst();
        node->sortChildren(0, Qt::AscendingOrder);
        for (int i = node->childCount() - 1; i >= 0; --i)
            if (HasExpandButton(node->child(i)))
                pending.prepend(node->child(i));
    }
    return true;
}

void TSystemTreeView::FreeNodeData(QTreeWidgetItem* node)
{
    if (auto* n = dynamic_cast<FolderNode*>(node))
        n->TakeData().reset();
}

void TSystemTreeView::DeleteNode(QTreeWidgetItem* node)
{
    if (!node)
        return;
    FreeNodeData(node);
    delete node;
}

void TSystemTreeView::nodeGone(FolderNode* node)
{
    if (node == m_watchedNode)
        stopWatch();
    if (node == m_rememberedWatch)
        m_rememberedWatch = nullptr;
}

QString TSystemTreeView::GetNodePath(QTreeWidgetItem* node) const
{
    const TFolderItemData* data = NodeData(node);
    QString path;
    if (!data || !SHGetPathFromIDList(data->AbsoluteIDList.get(), &path))
        return {};
    return path;
}

// ---- selection and the watch ------------------------------------------------------------

void TSystemTreeView::SelectNode(QTreeWidgetItem* node)
{
    if (!node)
        return;
    setCurrentItem(node);
    scrollToItem(node);
}

void TSystemTreeView::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    // A label being edited stays open when the program moves the selection; the user's own
    // clicks end the edit anyway by taking the focus from the editor.
    if (state() == QAbstractItemView::EditingState) {
        viewport()->update();
        return;
    }
    QTreeWidget::currentChanged(current, previous);
}

void TSystemTreeView::selectionMoved(QTreeWidgetItem* current)
{
    // A folder that is gone is never entered; the owner hears of the folder selected instead.
    if (isVanished(current)) {
        forgetVanishedLater(current);
        return;
    }
    emit Change(current);
    WatchNode(current);
}

bool TSystemTreeView::isVanished(QTreeWidgetItem* node) const
{
    const QString path = GetNodePath(node);
    return !path.isEmpty() && !FolderExists(path);
}

// Not inside the tree's own notification about the node: the node is deleted once it is over.
void TSystemTreeView::forgetVanishedLater(QTreeWidgetItem* node)
{
    const QPersistentModelIndex index(indexFromItem(node));
    QTimer::singleShot(0, this, [this, index] {
        if (index.isValid())
            ForgetVanishedNode(itemFromIndex(index));
    });
}

bool TSystemTreeView::ForgetVanishedNode(QTreeWidgetItem* node)
{
    if (!isVanished(node))
        return false;
    QTreeWidgetItem* gone = node;
    while (gone->parent() && isVanished(gone->parent()))
        gone = gone->parent();
    QTreeWidgetItem* keep = gone->parent();
    if (!keep)
        return false; // a top node: nothing above it to fall back on
    for (QTreeWidgetItem* n = currentItem(); n; n = n->parent()) {
        if (n == gone) {
            SelectNode(keep);
            break;
        }
    }
    DeleteNode(gone);
    if (keep->childCount() == 0)
        keep->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
    return true;
}

TFileChangeThread* TSystemTreeView::ChangeWorker() const { return m_changeWorker.data(); }

void TSystemTreeView::stopWatch()
{
    if (m_changeWorker)
        m_changeWorker->requestStop(); // it ends within one wait and frees itself, silently
    m_changeWorker = nullptr;
    m_watchedNode = nullptr;
}

void TSystemTreeView::WatchNode(QTreeWidgetItem* node)
{
    stopWatch();
    const QString path = GetNodePath(node);
    if (path.isEmpty())
        return;
    m_watchedNode = node;
    auto* worker = new TFileChangeThread(path, false, TFileSysNotify::DIR_NAME);
    worker->setOnTerminate([this](QObject*) { FolderChanged(); });
    m_changeWorker = worker;
}

void TSystemTreeView::FolderChanged()
{
    try {
        const QString path = GetNodePath(m_watchedNode);
        if (path.isEmpty())
            return;
        if (FolderExists(path)) {
            QTreeWidgetItem* node = m_watchedNode;
            m_changeWorker = nullptr; // the reporting worker is ending and frees itself
            m_watchedNode = nullptr;
            try {
                RefreshNode(node);
            } catch (...) {
                WatchNode(node);
                throw;
            }
            WatchNode(node);
        } else if (qv::pathExists(path)) {
            WatchNode(m_watchedNode->parent()); // a file took the folder's name
        } else {
            // The folder is gone: its parent is selected (the watch moves with the selection)
            // and listed again.
            QTreeWidgetItem* parent = m_watchedNode->parent();
            if (!parent) {
                stopWatch();
                return;
            }
            SelectNode(parent);
            if (m_watchedNode != parent)
                WatchNode(parent);
            RefreshNode(parent);
        }
    } catch (const std::exception& e) {
        reportError(errorText(e));
    }
}

bool TSystemTreeView::FolderExists(const QString& path)
{
    if (path.isEmpty())
        return false;
    QString p = path;
    if (p.size() > 1 && p.endsWith(QLatin1Char('/')))
        p.chop(1);
    return qv::isFolder(p);
}

void TSystemTreeView::RefreshNode(QTreeWidgetItem* node)
{
    if (!node)
        return;
    const bool wasOpen = node->isExpanded();
    UpdateBatch batch(this, &TSystemTreeView::beginUpdate, &TSystemTreeView::endUpdate);
    qDeleteAll(node->takeChildren()); // each releases its record
    if (TFolderItemData* data = NodeData(node))
        data->Enumerated = false;
    if (CanExpand(node)) {
        if (node->childCount() > 0)
            node->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
        sortChildrenOf(node);
        if (wasOpen)
            node->setExpanded(true);
    } else if (wasOpen) {
        node->setExpanded(false);
    }
}

// ---- folder commands ------------------------------------------------------------------

bool TSystemTreeView::CreateSubFolder(QTreeWidgetItem* parent, const QString& name, bool select)
{
    const QString path = GetNodePath(parent);
    if (path.isEmpty() || name.isEmpty())
        return false;
    if (name.contains(QLatin1Char('/')) || name == QLatin1String(".") || name == QLatin1String(".."))
        return false;
    const QString folder = path.endsWith(QLatin1Char('/')) ? path + name : path + QLatin1Char('/') + name;

    // Our own creation must not come back as a change report.
    m_rememberedWatch = nullptr;
    if (m_changeWorker) {
        m_rememberedWatch = m_watchedNode;
        stopWatch();
    }
    const bool created = ::mkdir(qv::encodeFileName(folder).constData(), 0777) == 0;
    try {
        if (created) {
            RefreshNode(parent);
            if (select) {
                for (int i = 0; i < parent->childCount(); ++i) {
                    if (parent->child(i)->text(0) == name) {
                        m_rememberedWatch = nullptr; // the selection starts the new watch
                        SelectNode(parent->child(i));
                        break;
                    }
                }
            }
        }
    } catch (...) {
        if (QTreeWidgetItem* r = std::exchange(m_rememberedWatch, nullptr))
            WatchNode(r);
        throw;
    }
    if (QTreeWidgetItem* r = std::exchange(m_rememberedWatch, nullptr))
        WatchNode(r);
    return created;
}

bool TSystemTreeView::DeleteFolderNode(QTreeWidgetItem* node)
{
    if (!NodeData(node))
        return false;
    const QString path = GetNodePath(node);
    if (path.isEmpty())
        return false;
    if (::rmdir(qv::encodeFileName(path).constData()) != 0)
        return false; // only an empty folder goes
    DeleteNode(node);
    return true;
}

bool TSystemTreeView::RenameFolderNode(QTreeWidgetItem* node, const QString& name)
{
    if (!node || name.isEmpty())
        return false;
    TFolderItemData* data = GetFolderData(node);
    if (!data || !data->ParentFolder)
        return false;
    ItemIDList* newList = nullptr;
    const bool done = data->ParentFolder->SetNameOf(data->RelativeIDList.get(), name, kSetNameFlags, &newList) == kShellOk;
    UniqueIDList renamed(newList);
    if (!done)
        return false;
    node->setText(0, name);
    const TFolderItemData* parentData = NodeData(node->parent());
    data->AbsoluteIDList.reset(parentData ? ConcatIDLists(parentData->AbsoluteIDList.get(), renamed.get())
                                          : CopyIDList(renamed.get()));
    data->RelativeIDList = std::move(renamed);
    rebaseChildren(node);
    sortChildrenOf(node->parent());
    return true;
}

// Listed children hold lists and a folder of the old name: they move with their parent.
void TSystemTreeView::rebaseChildren(QTreeWidgetItem* node)
{
    const TFolderItemData* data = NodeData(node);
    if (!data || node->childCount() == 0)
        return;
    std::shared_ptr<IShellFolder> folder;
    if (data->ParentFolder->BindToObject(data->RelativeIDList.get(), &folder) != kShellOk)
        return;
    for (int i = 0; i < node->childCount(); ++i) {
        QTreeWidgetItem* child = node->child(i);
        TFolderItemData* childData = NodeData(child);
        if (!childData)
            continue;
        childData->ParentFolder = folder;
        childData->AbsoluteIDList.reset(ConcatIDLists(data->AbsoluteIDList.get(), childData->RelativeIDList.get()));
        rebaseChildren(child);
    }
}

void TSystemTreeView::labelEdited(const QModelIndex& index, const QString& text)
{
    QTreeWidgetItem* node = itemFromIndex(index);
    if (!node || text.isEmpty() || text == node->text(0))
        return;
    try {
        RenameFolderNode(node, text); // a failed rename keeps the old label, silently
    } catch (const std::exception&) {
    }
}

// ---- paths ---------------------------------------------------------------------------------

bool TSystemTreeView::ParseFolderPath(IShellFolder* folder, const QString& path, ItemIDList** list) const
{
    if (!folder || !list || path.isEmpty() || path.size() > kMaxPathChars)
        return false;
    *list = nullptr;
    if (folder->ParseDisplayName(path, list) != kShellOk) {
        UniqueIDList partial(*list);
        *list = nullptr;
        return false;
    }
    return true;
}

QString TSystemTreeView::Selection() const { return GetNodePath(currentItem()); }

void TSystemTreeView::setSelection(const QString& path)
{
    if (topLevelItemCount() == 0)
        return;
    QTreeWidgetItem* first = topLevelItem(0);
    if (!first->isExpanded())
        first->setExpanded(true);
    const TFolderItemData* childData = NodeData(first->child(0));
    if (!childData)
        return;
    ItemIDList* list = nullptr;
    if (!ParseFolderPath(childData->ParentFolder.get(), path, &list))
        return;
    UniqueIDList owned(list);
    UpdateBatch batch(this, &TSystemTreeView::beginUpdate, &TSystemTreeView::endUpdate);
    SelectNode(FindNodeByIDList(owned.get()));
}

QTreeWidgetItem* TSystemTreeView::FindNodeByIDList(const ItemIDList* list)
{
    QTreeWidgetItem* node = topLevelItem(0);
    if (!node || IsEmptyIDList(list))
        return node;
    const ItemIDList* rest = list;
    for (;;) {
        const UniqueIDList first(CopyFirstItem(rest));
        QTreeWidgetItem* match = nullptr;
        for (int i = 0; i < node->childCount() && !match; ++i) {
            const TFolderItemData* d = NodeData(node->child(i));
            if (d && d->ParentFolder && d->ParentFolder->CompareIDs(0, first.get(), d->RelativeIDList.get()) == 0)
                match = node->child(i);
        }
        if (!match)
            return node;
        node = match;
        rest = NextItem(rest);
        if (IsEmptyIDList(rest))
            return node;
        node->setExpanded(true); // lists its children
    }
}

// ---- mouse, menus, scrolling ---------------------------------------------------------------

void TSystemTreeView::mousePressEvent(QMouseEvent* e)
{
    if (e->button() == Qt::RightButton) {
        // The node under the pointer is selected before the popup menu shows; empty space
        // changes nothing.
        if (QTreeWidgetItem* node = itemAt(e->position().toPoint()))
            setCurrentItem(node);
        e->accept();
        return;
    }
    QTreeWidget::mousePressEvent(e);
}

void TSystemTreeView::mouseMoveEvent(QMouseEvent* e)
{
    QTreeWidget::mouseMoveEvent(e);
    const QPoint p = viewport()->mapTo(this, e->position().toPoint());
    DoAutoScroll(p.x(), p.y());
}

// ---- drag and drop ------------------------------------------------------------------------

void TSystemTreeView::setOnDragOver(DragOverHandler handler)
{
    m_onDragOver = std::move(handler);
    setAcceptDrops(bool(m_onDragOver));
    viewport()->setAcceptDrops(bool(m_onDragOver));
}

void TSystemTreeView::setDropTarget(QTreeWidgetItem* node)
{
    const QModelIndex index = node ? indexFromItem(node) : QModelIndex();
    if (index == m_dropTarget)
        return;
    m_dropTarget = index;
    viewport()->update();
}

void TSystemTreeView::dragEnterEvent(QDragEnterEvent* e)
{
    // Qt's own handling would move rows; the owner decides instead.
    dragMoveEvent(e);
}

void TSystemTreeView::dragMoveEvent(QDragMoveEvent* e)
{
    const QPoint pos = e->position().toPoint();
    const bool accept = m_onDragOver && m_onDragOver(e->source(), pos);
    if (accept) {
        setDropTarget(itemAt(pos));
        e->acceptProposedAction();
    } else {
        setDropTarget(nullptr);
        e->ignore();
    }
}

void TSystemTreeView::dragLeaveEvent(QDragLeaveEvent* e)
{
    setDropTarget(nullptr);
    e->accept();
}

void TSystemTreeView::dropEvent(QDropEvent* e)
{
    setDropTarget(nullptr);
    const QPoint pos = e->position().toPoint();
    if (!m_onDragOver || !m_onDragOver(e->source(), pos)) {
        e->ignore();
        return;
    }
    // The files are moved or copied by the owner's own operation; the drag
    // source must not act on the result a second time.
    e->setDropAction(Qt::IgnoreAction);
    e->accept();
    // The owner runs once the drag has ended: while it lasts it holds the
    // mouse and the keyboard, and the operation may have questions to ask.
    QPointer<QObject> source = e->source();
    QTimer::singleShot(0, this, [this, source, pos] {
        if (m_onDragDrop)
            m_onDragDrop(source.data(), pos);
    });
}

void TSystemTreeView::contextMenuEvent(QContextMenuEvent* e)
{
    if (m_popupMenu) {
        m_popupMenu->popup(e->globalPos());
        e->accept();
        return;
    }
    QTreeWidgetItem* node = e->reason() == QContextMenuEvent::Mouse ? itemAt(e->pos()) : currentItem();
    if (node)
        ShowShellMenu(node, e->globalPos());
    e->accept();
}

bool TSystemTreeView::ShowShellMenu(QTreeWidgetItem* node, const QPoint& screenPoint)
{
    if (!node || isDesktopRoot(node))
        return false;
    TFolderItemData* data = GetFolderData(node);
    if (!data || !data->ParentFolder)
        return false;
    std::unique_ptr<IContextMenu> commands;
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("ShellMenu"));
    {
        WaitCursor wait;
        if (data->ParentFolder->GetUIObjectOf(data->RelativeIDList.get(), &commands) != kShellOk || !commands)
            return false;
        const QList<IContextMenu::Command> list = commands->QueryContextMenu(kCmfExplore);
        for (int i = 0; i < list.size() && i < 32767; ++i) {
            QAction* a = menu.addAction(list.at(i).text);
            a->setObjectName(list.at(i).verb);
            a->setData(i + 1); // command ids start at 1
        }
    }
    QAction* chosen = menu.exec(screenPoint);
    if (!chosen)
        return false;
    ShellCommandHost host = m_commandHost;
    if (!host.showProperties) {
        host.showProperties = [this](const QString& title, const QString& text) {
            auto* box = new QMessageBox(QMessageBox::Information, title, text, QMessageBox::Ok, this);
            box->setAttribute(Qt::WA_DeleteOnClose);
            box->show();
        };
    }
    return commands->InvokeCommand(chosen->data().toInt() - 1, host) == kShellOk;
}

void TSystemTreeView::DoAutoScroll(int x, int y)
{
    if (!m_autoscroll)
        return;
    const int margin = std::abs(QFontInfo(font()).pixelSize());
    QScrollBar* v = verticalScrollBar();
    QScrollBar* h = horizontalScrollBar();
    const AutoScrollDirections s = autoScrollDirections(x, y, width(), height(), margin,
                                                        v->maximum() > v->minimum(), h->maximum() > h->minimum());
    if (s.up)
        v->triggerAction(QAbstractSlider::SliderSingleStepSub);
    if (s.down)
        v->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    if (s.left)
        h->triggerAction(QAbstractSlider::SliderSingleStepSub);
    if (s.right)
        h->triggerAction(QAbstractSlider::SliderSingleStepAdd);
}

void TSystemTreeView::reportError(const QString& message)
{
    if (m_onError)
        m_onError(message);
    else
        showErrorBox(this, message);
}

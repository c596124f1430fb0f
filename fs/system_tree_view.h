// TSystemTreeView: the folder tree over the shell namespace, listing each node's folders when
// it is first opened and re-listing the selected folder when its subfolders change.
#pragma once
#include "platform/errors.h"
#include "platform/shell_namespace.h"

#include <QPointer>
#include <QTreeWidget>
#include <functional>
#include <memory>

class QMenu;
class TFileChangeThread;
class TSystemTreeView;

QV_DECLARE_ERROR(ELeaking);

// Which namespace item is the root node.
enum TRootFolder {
    rfDesktop, rfRecycleBin, rfControlPanel, rfDesktopDir, rfDrives, rfFavoriteURLs, rfFonts,
    rfNetHood, rfNetHoodDir, rfDocumentDir, rfPrinters, rfPrograms, rfRecentDir, rfSendTo,
    rfStartMenu, rfStartup, rfTemplates, rfFileSystem, rfCustom
};
// The namespace location of a root; -1 for rfCustom.
int rootFolderCsidl(TRootFolder root);

// What a node knows of its namespace item; owned by the node.
struct TFolderItemData {
    TFolderItemData();
    ~TFolderItemData();
    TFolderItemData(const TFolderItemData&) = delete;
    TFolderItemData& operator=(const TFolderItemData&) = delete;

    bool Enumerated = false;                        // children listed
    std::shared_ptr<qv::IShellFolder> ParentFolder; // the folder holding the item
    qv::UniqueIDList RelativeIDList;                // the item within ParentFolder
    qv::UniqueIDList AbsoluteIDList;                // the item from the desktop
    quint32 Attributes = 0;
};

// Folder records made and not yet released, in the whole process.
int LiveFolderDataCount();
// Throws ELeaking "Memory Leak Detected.  Not all folder data was freed." when records are
// still alive (called when the program ends).
void CheckFolderDataLeaks();

// A node of the tree with its record.
class FolderNode : public QTreeWidgetItem {
public:
    FolderNode(TSystemTreeView* owner, std::unique_ptr<TFolderItemData> data);
    ~FolderNode() override;

    TFolderItemData* Data() const { return m_data.get(); }
    std::unique_ptr<TFolderItemData> TakeData() { return std::move(m_data); }
    // Icon indexes in the shared list; overlay -1 for none.
    int ImageIndex = -1;
    int SelectedIndex = -1;
    int OverlayIndex = -1;

    bool operator<(const QTreeWidgetItem& other) const override;

private:
    TSystemTreeView* m_owner;
    std::unique_ptr<TFolderItemData> m_data;
};

// Where the pointer at (x, y) scrolls the tree, one line each way; each test stands alone.
struct AutoScrollDirections {
    bool up = false;
    bool down = false;
    bool left = false;
    bool right = false;
};
AutoScrollDirections autoScrollDirections(int x, int y, int width, int height, int margin, bool verticalRange,
                                          bool horizontalRange);

class TSystemTreeView : public QTreeWidget {
    Q_OBJECT
public:
    // A comparison of two nodes for SortFolders: below 0, 0 or above 0.
    using TreeCompareFunction = std::function<int(QTreeWidgetItem* a, QTreeWidgetItem* b)>;

    explicit TSystemTreeView(QWidget* parent = nullptr);
    ~TSystemTreeView() override;

    TRootFolder RootFolder() const { return m_rootFolder; }
    void setRootFolder(TRootFolder value);
    QString CustomDir() const { return m_customDir; }
    void setCustomDir(const QString& value);
    QString CustomDirCaption() const { return m_customDirCaption; }
    void setCustomDirCaption(const QString& value);
    bool ShowFiles() const { return m_showFiles; }
    void setShowFiles(bool value);
    bool ShowHiddenDirs() const { return m_showHiddenDirs; }
    void setShowHiddenDirs(bool value) { m_showHiddenDirs = value; }
    bool ExpandRoot() const { return m_expandRoot; }
    void setExpandRoot(bool value) { m_expandRoot = value; }
    bool Autoscroll() const { return m_autoscroll; }
    void setAutoscroll(bool value) { m_autoscroll = value; }
    // Path of the selected node; assigning a path selects the deepest node along it.
    QString Selection() const;
    void setSelection(const QString& path);
    // The tree's own popup menu; without one a right-click shows the item's shell menu.
    QMenu* PopupMenu() const { return m_popupMenu; }
    void setPopupMenu(QMenu* menu) { m_popupMenu = menu; }

    // The owner has set the tree up: the first Reload runs, and later property changes reload.
    void Loaded();
    void Reload();

    QString GetNodePath(QTreeWidgetItem* node) const;
    bool CreateSubFolder(QTreeWidgetItem* parent, const QString& name, bool select);
    bool DeleteFolderNode(QTreeWidgetItem* node);
    // Renames the node's folder on disk; its lists and its children's follow.
    bool RenameFolderNode(QTreeWidgetItem* node, const QString& name);
    void RefreshNode(QTreeWidgetItem* node);
    // A folder another program deleted leaves the tree when its node is selected, opened or
    // dropped on: the node (or its highest vanished ancestor) goes, and a selection inside
    // it moves to the nearest folder that still exists. True when the node's folder was gone.
    bool ForgetVanishedNode(QTreeWidgetItem* node);
    void DoAutoScroll(int x, int y);
    static bool FolderExists(const QString& path);
    bool ParseFolderPath(qv::IShellFolder* folder, const QString& path, qv::ItemIDList** list) const;
    QTreeWidgetItem* FindNodeByIDList(const qv::ItemIDList* list);
    // The node's record; a missing one is reported in an error dialog.
    TFolderItemData* GetFolderData(QTreeWidgetItem* node);
    static TFolderItemData* NodeData(QTreeWidgetItem* node);
    // Selects a node and makes it visible.
    void SelectNode(QTreeWidgetItem* node);
    bool HasExpandButton(QTreeWidgetItem* node) const;

    virtual void DeleteNode(QTreeWidgetItem* node);
    // Takes both lists when it returns a node; without a node the caller frees them.
    // Takes both lists; they go with the node, or at once when no node is made.
    virtual QTreeWidgetItem* AddFolderNode(const std::shared_ptr<qv::IShellFolder>& folder,
                                           qv::UniqueIDList absoluteList, QTreeWidgetItem* parentNode,
                                           qv::UniqueIDList relativeList);
    virtual bool SortFolders(const TreeCompareFunction& compare = {});
    virtual bool ShowShellMenu(QTreeWidgetItem* node, const QPoint& screenPoint);

    void FreeNodeData(QTreeWidgetItem* node);
    bool FillChildren(const std::shared_ptr<qv::IShellFolder>& folder, QTreeWidgetItem* parentNode);
    // The opening step: lists the children once; false when there was nothing to list.
    bool CanExpand(QTreeWidgetItem* node);
    void WatchNode(QTreeWidgetItem* node);
    void FolderChanged();
    int DefaultCompare(QTreeWidgetItem* a, QTreeWidgetItem* b) const;

    TFileChangeThread* ChangeWorker() const;
    QTreeWidgetItem* WatchedNode() const { return m_watchedNode; }

    // Where errors raised while the user opens a node go (an error dialog when not set).
    void setOnError(std::function<void(const QString&)> handler) { m_onError = std::move(handler); }
    // Dragging onto the tree: the owner decides whether a drag from `source` is
    // welcome at `pos` (viewport coordinates) and what a drop there does.
    using DragOverHandler = std::function<bool(QObject* source, const QPoint& pos)>;
    using DragDropHandler = std::function<void(QObject* source, const QPoint& pos)>;
    void setOnDragOver(DragOverHandler handler);
    void setOnDragDrop(DragDropHandler handler) { m_onDragDrop = std::move(handler); }
    // The node shown as the drop folder while a drag is over the tree.
    QTreeWidgetItem* DropTarget() const { return m_dropTarget.isValid() ? itemFromIndex(m_dropTarget) : nullptr; }
    void setDropTarget(QTreeWidgetItem* node);

    // What the item's shell-menu commands may use (open, properties).
    void setShellCommandHost(qv::ShellCommandHost host) { m_commandHost = std::move(host); }

signals:
    // The selected node changed (OnChange); the watch moves after the handlers ran.
    void Change(QTreeWidgetItem* node);

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dragMoveEvent(QDragMoveEvent* e) override;
    void dragLeaveEvent(QDragLeaveEvent* e) override;
    void dropEvent(QDropEvent* e) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

private:
    friend class FolderNode;
    friend class FolderLabelDelegate;

    void nodeGone(FolderNode* node);
    bool isVanished(QTreeWidgetItem* node) const;
    void forgetVanishedLater(QTreeWidgetItem* node);
    void nodeExpanded(QTreeWidgetItem* node);
    void selectionMoved(QTreeWidgetItem* current);
    void labelEdited(const QModelIndex& index, const QString& text);
    void rebaseChildren(QTreeWidgetItem* node);
    void sortChildrenOf(QTreeWidgetItem* node);
    void reportError(const QString& message);
    void stopWatch();
    void beginUpdate();
    void endUpdate();
    std::shared_ptr<qv::IShellFolder> desktop() const;
    bool isDesktopRoot(QTreeWidgetItem* node) const;

    TRootFolder m_rootFolder = rfDesktop;
    DragOverHandler m_onDragOver;
    DragDropHandler m_onDragDrop;
    QPersistentModelIndex m_dropTarget; // follows the node, and lets go when it is deleted
    QString m_customDir;
    QString m_customDirCaption;
    bool m_showFiles = false;
    bool m_showHiddenDirs = true;
    bool m_expandRoot = true;
    bool m_autoscroll = true;
    bool m_loaded = false;
    QMenu* m_popupMenu = nullptr;

    QPointer<TFileChangeThread> m_changeWorker;
    QTreeWidgetItem* m_watchedNode = nullptr;
    QTreeWidgetItem* m_rememberedWatch = nullptr; // kept over a subfolder creation
    class SystemImageList* m_images = nullptr;
    TreeCompareFunction m_sortCompare;
    int m_updateDepth = 0;
    std::function<void(const QString&)> m_onError;
    qv::ShellCommandHost m_commandHost;
};

// The folder tree on real temporary folders: listing and order, expand buttons, folder
// creation, deletion and renaming, paths, the watch on the selected folder, and record upkeep.
#include "fs/file_sys_monitor.h"
#include "fs/system_tree_view.h"
#include "support/testutil.h"
#include "support/waiting.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QProcess>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

using qvtest::waitUntil;

namespace {

QStringList childNames(QTreeWidgetItem* node)
{
    QStringList names;
    for (int i = 0; node && i < node->childCount(); ++i)
        names << node->child(i)->text(0);
    return names;
}

QTreeWidgetItem* childNamed(QTreeWidgetItem* node, const QString& name)
{
    for (int i = 0; node && i < node->childCount(); ++i)
        if (node->child(i)->text(0) == name)
            return node->child(i);
    return nullptr;
}

// Another process changes the folders, as a user in a file manager would.
void shell(const QString& program, const QStringList& args)
{
    ASSERT_EQ(QProcess::execute(program, args), 0) << program.toStdString();
}

class TreeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_root = QDir::cleanPath(m_dir.path()) + "/root";
        QDir().mkpath(m_root);
        m_records = LiveFolderDataCount();
        m_blocks = qv::SHGetMalloc().liveBlocks();
    }
    void TearDown() override
    {
        m_tree.reset();
        EXPECT_TRUE(waitUntil([] { return ChangeWorkerThread::liveCount() == 0; }));
        EXPECT_EQ(LiveFolderDataCount(), m_records);
        EXPECT_EQ(qv::SHGetMalloc().liveBlocks(), m_blocks) << "ID lists left unfreed";
    }
    void mk(std::initializer_list<QString> relatives)
    {
        for (const QString& relative : relatives)
            ASSERT_TRUE(QDir().mkpath(m_root + "/" + relative));
    }
    TSystemTreeView& open(const std::function<void(TSystemTreeView&)>& setUp = {})
    {
        m_tree = std::make_unique<TSystemTreeView>();
        m_tree->setRootFolder(rfCustom);
        m_tree->setCustomDir(m_root);
        if (setUp)
            setUp(*m_tree);
        m_tree->resize(300, 400);
        m_tree->show();
        m_tree->Loaded();
        return *m_tree;
    }
    QTreeWidgetItem* root() const { return m_tree->topLevelItem(0); }
    bool watching(QTreeWidgetItem* node) const
    {
        return m_tree->WatchedNode() == node && m_tree->ChangeWorker() && m_tree->ChangeWorker()->isWatching();
    }

    qvtest::TempDir m_dir;
    QString m_root;
    int m_records = 0;
    long m_blocks = 0;
    std::unique_ptr<TSystemTreeView> m_tree;
};

} // namespace

TEST_F(TreeTest, OpeningListsTheSubfoldersInOrder)
{
    mk({"b", "A", "c10", "c9", ".hidden"});
    qvtest::writeFile(m_root + "/x.txt", "x");
    TSystemTreeView& tree = open();
    EXPECT_TRUE(root()->isExpanded()); // ExpandRoot
    EXPECT_EQ(childNames(root()), (QStringList{".hidden", "A", "b", "c9", "c10"}));
    EXPECT_EQ(tree.GetNodePath(childNamed(root(), "A")), m_root + "/A");

    tree.setShowHiddenDirs(false);
    tree.RefreshNode(root());
    EXPECT_EQ(childNames(root()), (QStringList{"A", "b", "c9", "c10"}));
    tree.setShowFiles(true); // reloads
    EXPECT_EQ(childNames(root()), (QStringList{"A", "b", "c9", "c10", "x.txt"}));

    // A custom comparison sorts the whole tree; the default one comes back after it.
    tree.SortFolders([](QTreeWidgetItem* a, QTreeWidgetItem* b) { return QString::compare(b->text(0), a->text(0)); });
    EXPECT_EQ(childNames(root()), (QStringList{"x.txt", "c9", "c10", "b", "A"}));
    tree.SortFolders();
    EXPECT_EQ(childNames(root()).first(), "A");
}

TEST_F(TreeTest, AFolderThatListsNothingLosesItsExpandButton)
{
    mk({"leaf", "only-hidden/.cache", "full/sub"});
    TSystemTreeView& tree = open([](TSystemTreeView& t) { t.setShowHiddenDirs(false); });
    QTreeWidgetItem* leaf = childNamed(root(), "leaf");
    QTreeWidgetItem* hidden = childNamed(root(), "only-hidden");
    ASSERT_TRUE(leaf && hidden);
    EXPECT_TRUE(tree.HasExpandButton(childNamed(root(), "full")));
    EXPECT_FALSE(tree.HasExpandButton(leaf));
    EXPECT_TRUE(tree.HasExpandButton(hidden)); // it has a subfolder, a hidden one

    hidden->setExpanded(true);
    EXPECT_FALSE(tree.HasExpandButton(hidden));

    // Listed once: a folder made afterwards shows only after a refresh.
    mk({"only-hidden/late"});
    hidden->setExpanded(true);
    EXPECT_EQ(hidden->childCount(), 0);
    tree.RefreshNode(hidden);
    EXPECT_EQ(childNames(hidden), QStringList{"late"});
    EXPECT_TRUE(tree.HasExpandButton(hidden));
}

TEST_F(TreeTest, DesktopRootAndNodesWithoutAPath)
{
    const QString home = m_root + "/ann";
    QDir().mkpath(home + "/Desktop");
    QDir().mkpath(home + "/Pictures");
    qvtest::ScopedEnv env;
    env.set("HOME", home);
    env.set("XDG_CONFIG_HOME", home + "/.config");
    TSystemTreeView& tree = open([](TSystemTreeView& t) { t.setRootFolder(rfDesktop); });
    EXPECT_EQ(root()->text(0), "Desktop");
    EXPECT_EQ(childNames(root()), (QStringList{"ann", "Desktop", "Computer"}));
    QTreeWidgetItem* computer = childNamed(root(), "Computer");
    EXPECT_EQ(tree.GetNodePath(computer), "");
    EXPECT_FALSE(tree.CreateSubFolder(computer, "x", true));
    EXPECT_FALSE(tree.DeleteFolderNode(computer));
    computer->setExpanded(true);
    ASSERT_GT(computer->childCount(), 0);
    EXPECT_EQ(tree.GetNodePath(computer->child(0)), "/");

    // Selecting a path under home goes through the home node.
    tree.setSelection(home + "/Pictures");
    ASSERT_NE(tree.currentItem(), nullptr);
    EXPECT_EQ(tree.currentItem()->parent(), childNamed(root(), "ann"));
    EXPECT_EQ(tree.Selection(), home + "/Pictures");
    m_tree.reset();
}

TEST_F(TreeTest, CreatingASubfolderSelectsItEvenUnderAClosedParent)
{
    mk({"p", "q"});
    TSystemTreeView& tree = open();
    QTreeWidgetItem* p = childNamed(root(), "p");
    QTreeWidgetItem* q = childNamed(root(), "q");
    tree.SelectNode(q);
    ASSERT_TRUE(waitUntil([&] { return watching(q); }));
    EXPECT_FALSE(p->isExpanded());

    ASSERT_TRUE(tree.CreateSubFolder(p, "New Folder", true));
    EXPECT_TRUE(QFileInfo(m_root + "/p/New Folder").isDir());
    ASSERT_NE(tree.currentItem(), nullptr);
    EXPECT_EQ(tree.currentItem()->parent(), p);
    EXPECT_EQ(tree.Selection(), m_root + "/p/New Folder");
    EXPECT_EQ(tree.WatchedNode(), tree.currentItem()); // the watch follows the selection
    EXPECT_TRUE(tree.HasExpandButton(p));

    // Without select the selection stays and the watch comes back to it.
    tree.SelectNode(q);
    ASSERT_TRUE(waitUntil([&] { return watching(q); }));
    EXPECT_TRUE(tree.CreateSubFolder(p, "Second", false));
    EXPECT_EQ(tree.currentItem(), q);
    EXPECT_TRUE(waitUntil([&] { return watching(q); }));
    EXPECT_EQ(childNames(p), (QStringList{"New Folder", "Second"}));

    // An existing name or one with a separator fails and changes nothing.
    EXPECT_FALSE(tree.CreateSubFolder(p, "Second", true));
    EXPECT_FALSE(tree.CreateSubFolder(p, "a/b", true));
    EXPECT_FALSE(QFileInfo::exists(m_root + "/p/a"));
    EXPECT_EQ(tree.currentItem(), q);
}

TEST_F(TreeTest, OnlyAnEmptyFolderCanBeDeleted)
{
    mk({"full", "dotted", "empty"});
    qvtest::writeFile(m_root + "/full/picture.jpg", "x");
    qvtest::writeFile(m_root + "/dotted/.keep", "");
    TSystemTreeView& tree = open();
    const int records = LiveFolderDataCount();
    for (const char* name : {"full", "dotted"}) {
        EXPECT_FALSE(tree.DeleteFolderNode(childNamed(root(), name))) << name;
        EXPECT_TRUE(QFileInfo(m_root + "/" + name).isDir());
    }
    QTreeWidgetItem* empty = childNamed(root(), "empty");
    tree.SelectNode(empty);
    EXPECT_TRUE(tree.DeleteFolderNode(empty));
    EXPECT_EQ(childNamed(root(), "empty"), nullptr);
    EXPECT_FALSE(QFileInfo::exists(m_root + "/empty"));
    EXPECT_EQ(LiveFolderDataCount(), records - 1);
    EXPECT_NE(tree.WatchedNode(), empty);
}

TEST_F(TreeTest, RenamingMovesThePathOfTheNodeAndItsChildren)
{
    mk({"old/inner/deep", "taken"});
    TSystemTreeView& tree = open();
    QTreeWidgetItem* old = childNamed(root(), "old");
    old->setExpanded(true);
    QTreeWidgetItem* inner = childNamed(old, "inner");
    inner->setExpanded(true);

    ASSERT_TRUE(tree.RenameFolderNode(old, "renamed"));
    EXPECT_EQ(old->text(0), "renamed");
    EXPECT_EQ(tree.GetNodePath(old), m_root + "/renamed");
    EXPECT_EQ(tree.GetNodePath(childNamed(inner, "deep")), m_root + "/renamed/inner/deep");
    EXPECT_TRUE(QFileInfo(m_root + "/renamed/inner/deep").isDir());

    // Through the label editor, as the user does it.
    auto editLabel = [&](QTreeWidgetItem* node, const QString& text) {
        tree.setFocus();
        tree.editItem(node);
        auto* editor = tree.findChild<QLineEdit*>();
        ASSERT_NE(editor, nullptr);
        editor->setText(text);
        QTest::keyClick(editor, Qt::Key_Return);
        QCoreApplication::processEvents();
    };
    editLabel(inner, "edited");
    EXPECT_EQ(inner->text(0), "edited");
    EXPECT_EQ(tree.GetNodePath(inner), m_root + "/renamed/edited");
    EXPECT_TRUE(QFileInfo(m_root + "/renamed/edited/deep").isDir());
    editLabel(old, "taken"); // refused: the label keeps its text, nothing moves
    EXPECT_EQ(old->text(0), "renamed");
    EXPECT_TRUE(QFileInfo(m_root + "/renamed").isDir());
}

TEST_F(TreeTest, ChangesByAnotherProcessRelistTheSelectedFolder)
{
    mk({"w"});
    TSystemTreeView& tree = open();
    QTreeWidgetItem* w = childNamed(root(), "w");
    tree.SelectNode(w);
    ASSERT_TRUE(waitUntil([&] { return watching(w); }));

    shell("mkdir", {m_root + "/w/made"});
    ASSERT_TRUE(waitUntil([&] { return childNames(w) == QStringList{"made"}; }));
    ASSERT_TRUE(waitUntil([&] { return watching(w); })); // the watch resumes
    shell("mv", {m_root + "/w/made", m_root + "/w/moved"});
    ASSERT_TRUE(waitUntil([&] { return childNames(w) == QStringList{"moved"}; }));
    ASSERT_TRUE(waitUntil([&] { return watching(w); }));
    shell("rmdir", {m_root + "/w/moved"});
    ASSERT_TRUE(waitUntil([&] { return w->childCount() == 0; }));
    EXPECT_TRUE(waitUntil([&] { return watching(w); }));
    EXPECT_EQ(tree.currentItem(), w);
}

TEST_F(TreeTest, TheSelectedFolderDisappearingSelectsItsParent)
{
    mk({"w/sub", "w/other"});
    TSystemTreeView& tree = open();
    QTreeWidgetItem* w = childNamed(root(), "w");
    w->setExpanded(true);
    tree.SelectNode(childNamed(w, "sub"));
    ASSERT_TRUE(waitUntil([&] { return tree.ChangeWorker() && tree.ChangeWorker()->isWatching(); }));

    shell("rmdir", {m_root + "/w/sub"});
    ASSERT_TRUE(waitUntil([&] { return tree.currentItem() == w && childNames(w) == QStringList{"other"}; }));
    EXPECT_TRUE(waitUntil([&] { return watching(w); }));
    EXPECT_EQ(tree.Selection(), m_root + "/w");
}

// Folders another program deleted, not watched by the tree, leave it once used; the owner
// never hears of them, and a folder with a name that is not UTF-8 is listed like any other.
TEST_F(TreeTest, VanishedFoldersLeaveWhenSelectedOrOpened)
{
    mk({"a", "b/inner", "keep"});
    ASSERT_EQ(::mkdir(QFile::encodeName(m_root + "/caf").append('\xe9').constData(), 0700), 0);
    TSystemTreeView& tree = open();
    EXPECT_TRUE(childNames(root()).contains(QString("caf") + QChar(0xFFFD)));
    QStringList changes;
    QObject::connect(&tree, &TSystemTreeView::Change, [&](QTreeWidgetItem* n) { changes << tree.GetNodePath(n); });
    tree.SelectNode(childNamed(root(), "keep"));
    changes.clear();
    shell("rm", {"-r", m_root + "/a", m_root + "/b"});

    tree.SelectNode(childNamed(root(), "a"));
    ASSERT_TRUE(waitUntil([&] { return !childNamed(root(), "a"); }));
    EXPECT_EQ(tree.currentItem(), root());
    EXPECT_EQ(changes, QStringList({m_root}));
    childNamed(root(), "b")->setExpanded(true);
    ASSERT_TRUE(waitUntil([&] { return !childNamed(root(), "b"); }));
    EXPECT_EQ(childNames(root()), QStringList({QString("caf") + QChar(0xFFFD), "keep"}));
    EXPECT_EQ(changes, QStringList({m_root}));
}

TEST_F(TreeTest, SelectionPathsAndFolderTests)
{
    mk({"a/b/c", "a/.h/x"});
    TSystemTreeView& tree = open([](TSystemTreeView& t) { t.setShowHiddenDirs(false); });
    tree.setSelection(m_root + "/a/b/c/");
    EXPECT_EQ(tree.Selection(), m_root + "/a/b/c");
    EXPECT_EQ(tree.currentItem()->text(0), "c");
    // A folder the tree does not show: the deepest node along the path.
    tree.setSelection(m_root + "/a/.h/x");
    EXPECT_EQ(tree.Selection(), m_root + "/a");
    tree.setSelection(m_root + "/missing"); // nothing to parse: no change
    EXPECT_EQ(tree.Selection(), m_root + "/a");
    tree.setSelection(m_root); // the root itself
    EXPECT_EQ(tree.currentItem(), root());

    qvtest::writeFile(m_root + "/file", "x");
    EXPECT_TRUE(TSystemTreeView::FolderExists(m_root + "/a/"));
    EXPECT_FALSE(TSystemTreeView::FolderExists(m_root + "/file"));
}

TEST_F(TreeTest, RightClickSelectsTheNodeUnderThePointer)
{
    mk({"one", "two"});
    TSystemTreeView& tree = open();
    QMenu popup;
    tree.setPopupMenu(&popup);
    QTreeWidgetItem* two = childNamed(root(), "two");
    QTest::mousePress(tree.viewport(), Qt::RightButton, {}, tree.visualItemRect(two).center());
    EXPECT_EQ(tree.currentItem(), two);
    QTest::mouseRelease(tree.viewport(), Qt::RightButton, {}, tree.visualItemRect(two).center());
    popup.close();
    QTest::mousePress(tree.viewport(), Qt::RightButton, {}, QPoint(10, tree.viewport()->height() - 5));
    EXPECT_EQ(tree.currentItem(), two); // empty space changes nothing
    popup.close();
}

TEST_F(TreeTest, AutoScrollGoesOneLineNearAnEdge)
{
    // margin 12; a scroll range takes a bar's 16 pixels off the far edge; each edge stands alone.
    EXPECT_FALSE(autoScrollDirections(100, 72, 200, 100, 12, true, false).down);
    EXPECT_TRUE(autoScrollDirections(100, 73, 200, 100, 12, true, false).down);
    EXPECT_FALSE(autoScrollDirections(172, 50, 200, 100, 12, false, true).right);
    EXPECT_TRUE(autoScrollDirections(173, 50, 200, 100, 12, false, true).right);
    const auto tiny = autoScrollDirections(5, 5, 10, 10, 12, false, false);
    EXPECT_TRUE(tiny.up && tiny.down && tiny.left && tiny.right);

    for (int i = 0; i < 60; ++i)
        mk({QString("f%1").arg(i, 2, 10, QLatin1Char('0'))});
    TSystemTreeView& tree = open();
    tree.resize(200, 120);
    QCoreApplication::processEvents();
    QScrollBar* bar = tree.verticalScrollBar();
    ASSERT_GT(bar->maximum(), 0);
    tree.DoAutoScroll(50, tree.height() - 3);
    EXPECT_EQ(bar->value(), 1);
    tree.DoAutoScroll(50, 50);
    EXPECT_EQ(bar->value(), 1);
    tree.DoAutoScroll(50, 1);
    EXPECT_EQ(bar->value(), 0);
    tree.setAutoscroll(false);
    tree.DoAutoScroll(50, tree.height() - 3);
    EXPECT_EQ(bar->value(), 0);
}

TEST_F(TreeTest, DropsAreOfferedToTheOwnerAndRunAfterTheDrag)
{
    mk({"a"});
    TSystemTreeView& tree = open();
    EXPECT_FALSE(tree.viewport()->acceptDrops()); // nobody to take them yet
    QStringList calls;
    tree.setOnDragOver([&](QObject*, const QPoint&) {
        calls << "over";
        return true;
    });
    tree.setOnDragDrop([&](QObject*, const QPoint& pos) { calls << QString("drop %1").arg(pos.y()); });
    EXPECT_TRUE(tree.viewport()->acceptDrops());
    QTreeWidgetItem* node = tree.topLevelItem(0);
    const QPoint at = tree.visualItemRect(node).center();
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile("/x.jpg")});

    QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton, {});
    QCoreApplication::sendEvent(tree.viewport(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDragMoveEvent move(at, Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton, {});
    QCoreApplication::sendEvent(tree.viewport(), &move);
    EXPECT_TRUE(move.isAccepted());
    EXPECT_EQ(tree.DropTarget(), node); // shown as the drop folder

    QDropEvent drop(QPointF(at), Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton, {});
    QCoreApplication::sendEvent(tree.viewport(), &drop);
    EXPECT_EQ(drop.dropAction(), Qt::IgnoreAction); // the source does nothing more with it
    EXPECT_EQ(tree.DropTarget(), nullptr);
    // The owner's work waits until the drag has let go of the mouse and keyboard.
    EXPECT_EQ(calls, QStringList({"over", "over", "over"}));
    QCoreApplication::processEvents();
    EXPECT_EQ(calls.last(), QString("drop %1").arg(at.y()));
}

TEST_F(TreeTest, RecordsAreReleasedWithTheTree)
{
    mk({"a/b"});
    const int before = LiveFolderDataCount();
    open();
    childNamed(root(), "a")->setExpanded(true);
    EXPECT_EQ(LiveFolderDataCount(), before + 3); // root, a, b
    m_tree.reset();
    EXPECT_NO_THROW(CheckFolderDataLeaks());
    TFolderItemData stray;
    EXPECT_THROW(CheckFolderDataLeaks(), ELeaking);
}

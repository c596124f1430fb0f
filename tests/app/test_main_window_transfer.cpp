// Thumbnails dropped onto tree folders (real moves and copies), and the list
// following a watched folder that other processes change.
#include "fs/file_operation.h"
#include "fs/file_sys_monitor.h"
#include "platform/file_names.h"
#include "platform/scripted_shell_interaction.h"

#include "main_window_fixture.h"

#include <QLabel>
#include <QMimeData>
#include <QProcess>

using qvtest::saveSolidBmp;

namespace {

class TransferTest : public qvtest::MainWindowTest {
protected:
    void SetUp() override
    {
        qvtest::MainWindowTest::SetUp();
        m_src = pictures("src");
        m_dest = pictures("dest");
        QDir().mkpath(m_src);
        QDir().mkpath(m_dest);
        const QColor colours[] = {Qt::red, Qt::green, Qt::blue, Qt::magenta};
        for (int i = 0; i < 4; ++i)
            saveSolidBmp(src(QString("p%1.bmp").arg(i)), colours[i], 30 + i, 20);
    }
    QString src(const QString& name) const { return m_src + "/" + name; }
    QString dest(const QString& name) const { return m_dest + "/" + name; }

    // Opens the window as a new user would, with the settings given, and reads the source folder.
    TfrmPrincipale& openAndRead(bool move, bool renameOnCollision, int listed = 4)
    {
        settingDword("Generali", "Operazione", move);
        settingDword("Generali", "RinominaSeEsiste", renameOnCollision);
        TfrmPrincipale& w = open();
        w.SystemTreeView1->setSelection(m_dest);
        m_destNode = w.SystemTreeView1->currentItem();
        w.SystemTreeView1->setSelection(m_src);
        EXPECT_EQ(w.CartellaCorrente, m_src);
        w.TransparentButton1Click();
        EXPECT_EQ(count(), listed);
        return w;
    }
    // Drops the selection onto a tree node as the tree reports it.
    void dropOn(QTreeWidgetItem* node)
    {
        TSystemTreeView* tree = window->SystemTreeView1;
        tree->scrollToItem(node);
        const QPoint pos = tree->visualItemRect(node).center();
        ASSERT_EQ(tree->itemAt(pos), node);
        ASSERT_TRUE(window->SystemTreeView1DragOver(window->ListView1, pos));
        window->SystemTreeView1DragDrop(window->ListView1, pos);
    }
    static QStringList filesIn(const QString& folder) { return QDir(folder).entryList({"*.bmp"}, QDir::Files, QDir::Name); }
    QColor thumbnailCentre(const QString& path)
    {
        ThumbnailCatalogue& cat = window->catalogue();
        return cat.currentList()->at(cat.model().item(row(path)).ImageIndex).pixel(45, 45);
    }

    QString m_src, m_dest;
    QTreeWidgetItem* m_destNode = nullptr;
};

} // namespace

TEST_F(TransferTest, DroppingThumbnailsCopiesOrMovesByTheOption)
{
    TfrmPrincipale& w = openAndRead(false, false);
    select({src("p1.bmp"), src("p2.bmp")});
    EXPECT_EQ(w.selectedPaths(), (QStringList{src("p1.bmp"), src("p2.bmp")}));
    // The drag carries the files for other programs too.
    std::unique_ptr<QMimeData> mime(w.ListView1->model()->mimeData(w.ListView1->selectionModel()->selectedIndexes()));
    EXPECT_EQ(mime->urls(), (QList<QUrl>{QUrl::fromLocalFile(src("p1.bmp")), QUrl::fromLocalFile(src("p2.bmp"))}));
    EXPECT_FALSE(w.SystemTreeView1DragOver(w.SystemTreeView1, {1, 1})); // only the thumbnail list
    dropOn(m_destNode);
    EXPECT_EQ(filesIn(m_dest), (QStringList{"p1.bmp", "p2.bmp"}));
    EXPECT_EQ(filesIn(m_src).size(), 4);
    EXPECT_EQ(count(), 4);
    EXPECT_EQ(w.FileOperation1->Operation(), foCopy);

    // A node without a folder (the computer) takes nothing.
    select({src("p0.bmp")});
    QTreeWidgetItem* computer = w.SystemTreeView1->topLevelItem(0)->child(2);
    ASSERT_TRUE(w.SystemTreeView1->GetNodePath(computer).isEmpty());
    dropOn(computer);
    EXPECT_EQ(filesIn(m_src).size(), 4);
    EXPECT_EQ(filesIn(m_dest).size(), 2);

    // Moved, the pictures leave the folder and the list.
    Configurazione.Operazione = true;
    select({src("p0.bmp"), src("p3.bmp")});
    dropOn(m_destNode);
    EXPECT_EQ(filesIn(m_dest), (QStringList{"p0.bmp", "p1.bmp", "p2.bmp", "p3.bmp"}));
    EXPECT_EQ(filesIn(m_src), (QStringList{"p1.bmp", "p2.bmp"}));
    EXPECT_EQ(count(), 2);
    EXPECT_LT(row(src("p0.bmp")), 0);
    EXPECT_EQ(w.catalogue().ListaCaricate.count(), 2);
    EXPECT_EQ(w.FileOperation1->Operation(), foMove);
}

TEST_F(TransferTest, RenameOnCollisionKeepsBothFilesForThisDropOnly)
{
    const QByteArray older = "an older picture of the same name";
    qvtest::writeFile(dest("p0.bmp"), older);
    TfrmPrincipale& w = openAndRead(true, true);
    const QByteArray moved = qvtest::readFile(src("p0.bmp"));
    ASSERT_FALSE(w.FileOperation1->Flags().testFlag(fofRenameOnCollision));
    select({src("p0.bmp")});
    dropOn(m_destNode);
    const QStringList there = filesIn(m_dest);
    ASSERT_EQ(there.size(), 2);
    EXPECT_EQ(qvtest::readFile(dest("p0.bmp")), older);
    const QString other = there.value(there.indexOf("p0.bmp") == 0 ? 1 : 0);
    EXPECT_EQ(qvtest::readFile(dest(other)), moved);
    EXPECT_FALSE(w.FileOperation1->Flags().testFlag(fofRenameOnCollision));
    EXPECT_TRUE(w.FileOperation1->Flags().testFlag(fofAllowUndo));
    EXPECT_EQ(count(), 3);
}

// A name with ";" and one that is not UTF-8 are listed, dropped and moved whole; the change
// monitor is off while the operation runs, and a second drop meanwhile is refused.
TEST_F(TransferTest, DropTakesNamesWholeWithTheMonitorOff)
{
    const QByteArray latin1 = QFile::encodeName(m_src) + "/caf\xe9.bmp";
    saveSolidBmp(src("Paris; day 2.bmp"), Qt::cyan);
    qvtest::writeFileAt(latin1, qvtest::readFile(src("Paris; day 2.bmp")));
    ASSERT_TRUE(QDir().mkpath(src("Paris")));
    TfrmPrincipale& w = openAndRead(true, false, 6);
    const QString latin1Path = qv::decodeFileName(latin1);
    ASSERT_GE(row(latin1Path), 0);

    ScriptedShellInteraction ui;
    qvtest::MessageBoxSeen refused;
    QList<bool> monitorOn;
    ui.onProgress = [&](const qv::ShellProgress&) {
        monitorOn << w.FileSysMonitor2->Active();
        if (monitorOn.size() == 1) {
            qvtest::answerNextMessageBox({}, &refused);
            dropOn(m_destNode); // refused, never nested
        }
    };
    w.FileOperation1->setInteraction(&ui);
    select({src("Paris; day 2.bmp"), latin1Path});
    dropOn(m_destNode);
    EXPECT_EQ(refused.text, w.texts().msgOperationRunning);
    EXPECT_EQ(ui.begins, 1);
    EXPECT_FALSE(monitorOn.isEmpty());
    EXPECT_FALSE(monitorOn.contains(true));
    EXPECT_TRUE(w.FileSysMonitor2->Active());
    EXPECT_EQ(qvtest::readFileAt(QFile::encodeName(m_dest) + "/caf\xe9.bmp"), qvtest::readFile(dest("Paris; day 2.bmp")));
    EXPECT_TRUE(QFileInfo(src("Paris")).isDir());
    EXPECT_EQ(filesIn(m_src).size(), 4);
    EXPECT_EQ(count(), 4);
    w.FileOperation1->setInteraction(nullptr);
}

// A tree folder deleted by another program takes nothing: the drop is refused with a message
// and the node leaves the tree.
TEST_F(TransferTest, DropOnVanishedFolderIsRefused)
{
    TfrmPrincipale& w = openAndRead(true, false);
    QTreeWidgetItem* parent = m_destNode->parent();
    ASSERT_EQ(QProcess::execute("rm", {"-r", m_dest}), 0);
    qvtest::MessageBoxSeen refused;
    qvtest::answerNextMessageBox({}, &refused);
    select({src("p0.bmp")});
    dropOn(m_destNode);
    EXPECT_EQ(refused.text, formatS(w.texts().msgFolderGone, m_dest));
    EXPECT_FALSE(QFileInfo::exists(m_dest));
    EXPECT_EQ(filesIn(m_src).size(), 4);
    EXPECT_EQ(count(), 4);
    for (int i = 0; i < parent->childCount(); ++i)
        EXPECT_NE(parent->child(i)->text(0), "dest");
}

// The watched folder deleted: the list stays, marked as not followed, and follows the folder
// again once it is back.
TEST_F(TransferTest, DeletedWatchedFolderLeavesTheListStaleUntilItIsBack)
{
    TfrmPrincipale& w = openAndRead(true, false);
    QTRY_VERIFY_WITH_TIMEOUT(w.FileSysMonitor2->Watching(), 5000);
    ASSERT_EQ(QProcess::execute("rm", {"-r", m_src}), 0);
    const QString stale = formatS(w.texts().msgListNotFollowed, m_src);
    QTRY_COMPARE_WITH_TIMEOUT(w.m_panels[1]->text(), stale, 5000);
    EXPECT_EQ(count(), 4);
    ASSERT_TRUE(QDir().mkpath(m_src));
    saveSolidBmp(src("back.bmp"), Qt::black);
    QTRY_VERIFY_WITH_TIMEOUT(row(src("back.bmp")) >= 0, 8000);
    QTRY_COMPARE_WITH_TIMEOUT(count(), 1, 5000);
    EXPECT_TRUE(w.m_panels[1]->text().isEmpty());
}

TEST_F(TransferTest, ChangesByOtherProgramsReachTheListKeepingOtherThumbnails)
{
    TfrmPrincipale& w = openAndRead(true, false);
    ThumbnailCatalogue& cat = w.catalogue();
    ImageList* list = cat.currentList();
    QTRY_VERIFY_WITH_TIMEOUT(w.FileSysMonitor2->Watching(), 5000);
    const int images = list->count();

    // Another process deletes one picture.
    ASSERT_EQ(QProcess::execute("rm", {src("p3.bmp")}), 0);
    QTRY_COMPARE_WITH_TIMEOUT(cat.model().count(), 3, 5000);
    EXPECT_LT(row(src("p3.bmp")), 0);
    EXPECT_EQ(list->count(), images); // no thumbnail was made again
    EXPECT_EQ(thumbnailCentre(src("p1.bmp")), QColor(Qt::green));

    // Another process adds two pictures.
    saveSolidBmp(home + "/n1.bmp", Qt::darkCyan, 11, 11);
    saveSolidBmp(home + "/n2.bmp", Qt::darkRed, 12, 12);
    ASSERT_EQ(QProcess::execute("cp", {home + "/n1.bmp", home + "/n2.bmp", m_src}), 0);
    QTRY_COMPARE_WITH_TIMEOUT(cat.model().count(), 5, 5000);
    QTRY_VERIFY_WITH_TIMEOUT(row(src("n2.bmp")) >= 0 && row(src("n1.bmp")) >= 0, 5000);
    EXPECT_EQ(cat.model().item(row(src("n1.bmp"))).SubItems[SubLoaded], "1");
    EXPECT_EQ(thumbnailCentre(src("n2.bmp")), QColor(Qt::darkRed));
    EXPECT_EQ(thumbnailCentre(src("p1.bmp")), QColor(Qt::green));
    EXPECT_EQ(w.m_panels[0]->text(), "There are 5 pictures in the list");

    // Another process renames one: the item of the old name makes way for the new one.
    ASSERT_EQ(QProcess::execute("mv", {src("p0.bmp"), src("renamed.bmp")}), 0);
    QTRY_VERIFY_WITH_TIMEOUT(row(src("renamed.bmp")) >= 0, 5000);
    EXPECT_LT(row(src("p0.bmp")), 0);
    EXPECT_EQ(cat.model().count(), 5);
    EXPECT_EQ(thumbnailCentre(src("renamed.bmp")), QColor(Qt::red));
    // Another process writes over a picture: no name changes, yet its thumbnail follows.
    saveSolidBmp(home + "/big.bmp", Qt::yellow, 40, 40);
    ASSERT_EQ(QProcess::execute("cp", {home + "/big.bmp", src("n1.bmp")}), 0);
    QTRY_COMPARE_WITH_TIMEOUT(thumbnailCentre(src("n1.bmp")), QColor(Qt::yellow), 5000);
    EXPECT_EQ(cat.model().item(row(src("n1.bmp"))).SubItems[SubPixels], "40x40");
    EXPECT_EQ(cat.model().count(), 5);
    // The monitor watches again after each handling.
    EXPECT_TRUE(w.FileSysMonitor2->Active());
}

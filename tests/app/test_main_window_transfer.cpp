// Thumbnails dropped onto tree folders (real moves and copies), and the list
// following a watched folder that other processes change.
#include "app/application.h"
#include "app/main_window.h"
#include "fs/file_operation.h"
#include "fs/file_sys_monitor.h"
#include "platform/file_names.h"
#include "platform/scripted_shell_interaction.h"
#include "platform/settings.h"

#include "testutil.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMimeData>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

QApplication* qvtestCreateApplication(int& argc, char** argv) { return new QuorvelApplication(argc, argv); }

namespace {

QImage solid(int w, int h, QColor c)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(c);
    return img;
}

class TransferTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_home = QDir::cleanPath(m_dir.path()) + "/ann";
        for (const char* d : {"Desktop", "Pictures/src", "Pictures/dest", ".config/quorvel", ".local/share"})
            QDir().mkpath(m_home + "/" + d);
        m_src = m_home + "/Pictures/src";
        m_dest = m_home + "/Pictures/dest";
        const QColor colours[] = {Qt::red, Qt::green, Qt::blue, Qt::magenta};
        for (int i = 0; i < 4; ++i)
            ASSERT_TRUE(solid(30 + i, 20, colours[i]).save(src(QString("p%1.bmp").arg(i)), "BMP"));
        m_env.set("HOME", m_home);
        m_env.set("XDG_CONFIG_HOME", m_home + "/.config");
        m_env.set("XDG_DATA_HOME", m_home + "/.local/share");
        Configurazione = TConfigurazione{};
        setErrorPresenter([this](const QString&, const QString& text) { m_errors << text; });
    }
    void TearDown() override
    {
        m_window.reset();
        EXPECT_TRUE(m_errors.isEmpty()) << m_errors.join(" | ").toStdString();
    }
    QString src(const QString& name) const { return m_src + "/" + name; }
    QString dest(const QString& name) const { return m_dest + "/" + name; }

    // Opens the window as a new user would, with the settings given, and reads the source folder.
    TfrmPrincipale& openAndRead(bool move, bool renameOnCollision, int pictures = 4)
    {
        qvtest::writeFile(m_home + "/.config/quorvel/registry.reg",
                          QString("Windows Registry Editor Version 5.00\n\n"
                                  "[HKEY_CURRENT_USER\\Software\\Morwenly\\Quorvel\\1.5\\Thumb]\n"
                                  "\"SalvaThumb\"=dword:00000000\n\n"
                                  "[HKEY_CURRENT_USER\\Software\\Morwenly\\Quorvel\\1.5\\Generali]\n"
                                  "\"Operazione\"=dword:0000000%1\n"
                                  "\"RinominaSeEsiste\"=dword:0000000%2\n")
                              .arg(move ? 1 : 0)
                              .arg(renameOnCollision ? 1 : 0)
                              .toUtf8());
        m_window = std::make_unique<TfrmPrincipale>();
        m_window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(m_window.get()));
        TSystemTreeView* tree = m_window->SystemTreeView1;
        tree->setSelection(m_dest);
        m_destNode = tree->currentItem();
        tree->setSelection(m_src);
        EXPECT_EQ(m_window->CartellaCorrente, m_src);
        m_window->TransparentButton1Click();
        EXPECT_EQ(m_window->catalogue().model().count(), pictures);
        return *m_window;
    }
    int row(const QString& path) const { return m_window->catalogue().model().rowOfPath(path); }
    void selectItems(const QStringList& paths)
    {
        QItemSelectionModel* sel = m_window->ListView1->selectionModel();
        sel->clearSelection();
        for (const QString& p : paths)
            sel->select(m_window->ListView1->model()->index(row(p), 0), QItemSelectionModel::Select);
    }
    // Drops the selection onto a tree node as the tree reports it.
    void dropOn(QTreeWidgetItem* node)
    {
        TSystemTreeView* tree = m_window->SystemTreeView1;
        tree->scrollToItem(node);
        const QPoint pos = tree->visualItemRect(node).center();
        ASSERT_EQ(tree->itemAt(pos), node);
        ASSERT_TRUE(m_window->SystemTreeView1DragOver(m_window->ListView1, pos));
        m_window->SystemTreeView1DragDrop(m_window->ListView1, pos);
    }
    QStringList filesIn(const QString& folder) const
    {
        return QDir(folder).entryList({"*.bmp"}, QDir::Files, QDir::Name);
    }

    QTemporaryDir m_dir;
    QString m_home, m_src, m_dest;
    qvtest::ScopedEnv m_env;
    QTreeWidgetItem* m_destNode = nullptr;
    std::unique_ptr<TfrmPrincipale> m_window;
    QStringList m_errors;
};

} // namespace

TEST_F(TransferTest, DroppingThumbnailsMovesOrCopiesByTheOption)
{
    {
        TfrmPrincipale& w = openAndRead(true, false);
        selectItems({src("p0.bmp"), src("p2.bmp"), src("p3.bmp")});
        EXPECT_EQ(w.selectedPaths(), (QStringList{src("p0.bmp"), src("p2.bmp"), src("p3.bmp")}));
        // The drag carries the files for other programs too.
        std::unique_ptr<QMimeData> mime(
            w.ListView1->model()->mimeData(w.ListView1->selectionModel()->selectedIndexes()));
        EXPECT_EQ(mime->urls().size(), 3);
        EXPECT_TRUE(mime->urls().contains(QUrl::fromLocalFile(src("p2.bmp"))));
        EXPECT_FALSE(w.SystemTreeView1DragOver(w.SystemTreeView1, {1, 1})); // only the thumbnail list
        EXPECT_TRUE(w.ListView1->dragEnabled());
        EXPECT_TRUE(w.SystemTreeView1->viewport()->acceptDrops());

        dropOn(m_destNode);
        EXPECT_EQ(filesIn(m_dest), (QStringList{"p0.bmp", "p2.bmp", "p3.bmp"}));
        EXPECT_EQ(filesIn(m_src), QStringList{"p1.bmp"});
        EXPECT_EQ(w.catalogue().model().count(), 1);
        EXPECT_GE(row(src("p1.bmp")), 0);
        EXPECT_EQ(w.catalogue().ListaCaricate.count(), 1);
        EXPECT_EQ(w.FileOperation1->Operation(), foMove);
        m_window.reset();
    }
    // With the option off the pictures are copied and every item stays.
    for (const QString& n : filesIn(m_dest))
        QFile::rename(dest(n), src(n));
    TfrmPrincipale& w = openAndRead(false, false);
    selectItems({src("p1.bmp"), src("p2.bmp")});
    dropOn(m_destNode);
    EXPECT_EQ(filesIn(m_dest), (QStringList{"p1.bmp", "p2.bmp"}));
    EXPECT_EQ(filesIn(m_src).size(), 4);
    EXPECT_EQ(w.catalogue().model().count(), 4);
    EXPECT_EQ(w.FileOperation1->Operation(), foCopy);

    // A node without a folder (the computer) takes nothing.
    selectItems({src("p0.bmp")});
    QTreeWidgetItem* computer = w.SystemTreeView1->topLevelItem(0)->child(2);
    ASSERT_TRUE(w.SystemTreeView1->GetNodePath(computer).isEmpty());
    dropOn(computer);
    EXPECT_EQ(filesIn(m_src).size(), 4);
    EXPECT_EQ(filesIn(m_dest).size(), 2);
    EXPECT_EQ(w.catalogue().model().count(), 4);
}

TEST_F(TransferTest, RenameOnCollisionKeepsBothFilesForThisDropOnly)
{
    const QByteArray older = "an older picture of the same name";
    qvtest::writeFile(dest("p0.bmp"), older);
    TfrmPrincipale& w = openAndRead(true, true);
    const QByteArray moved = qvtest::readFile(src("p0.bmp"));
    ASSERT_FALSE(w.FileOperation1->Flags().testFlag(fofRenameOnCollision));
    selectItems({src("p0.bmp")});
    dropOn(m_destNode);
    const QStringList there = filesIn(m_dest);
    ASSERT_EQ(there.size(), 2);
    EXPECT_EQ(qvtest::readFile(dest("p0.bmp")), older);
    const QString other = there.value(there.indexOf("p0.bmp") == 0 ? 1 : 0);
    EXPECT_EQ(qvtest::readFile(dest(other)), moved);
    EXPECT_FALSE(w.FileOperation1->Flags().testFlag(fofRenameOnCollision));
    EXPECT_TRUE(w.FileOperation1->Flags().testFlag(fofAllowUndo));
    EXPECT_EQ(w.catalogue().model().count(), 3);
}

// A name with ";" and one that is not UTF-8 are listed, dropped and moved whole; the change
// monitor is off while the operation runs, and a second drop meanwhile is refused.
TEST_F(TransferTest, DropTakesNamesWholeWithTheMonitorOff)
{
    const QByteArray latin1 = QFile::encodeName(m_src) + "/caf\xe9.bmp";
    ASSERT_TRUE(solid(8, 8, Qt::cyan).save(src("Paris; day 2.bmp"), "BMP"));
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
    selectItems({src("Paris; day 2.bmp"), latin1Path});
    dropOn(m_destNode);
    EXPECT_EQ(refused.text, w.texts().msgOperationRunning);
    EXPECT_EQ(ui.begins, 1);
    EXPECT_FALSE(monitorOn.isEmpty());
    EXPECT_FALSE(monitorOn.contains(true));
    EXPECT_TRUE(w.FileSysMonitor2->Active());
    EXPECT_EQ(qvtest::readFileAt(QFile::encodeName(m_dest) + "/caf\xe9.bmp"), qvtest::readFile(dest("Paris; day 2.bmp")));
    EXPECT_TRUE(QFileInfo(src("Paris")).isDir());
    EXPECT_EQ(filesIn(m_src).size(), 4);
    EXPECT_EQ(w.catalogue().model().count(), 4);
    w.FileOperation1->setInteraction(nullptr);
}

// A tree folder deleted by another program takes nothing: the drop is refused with a message
// and the node leaves the tree.
TEST_F(TransferTest, DropOnVanishedFolderIsRefused)
{
    TfrmPrincipale& w = openAndRead(true, false);
    QTreeWidgetItem* pictures = m_destNode->parent();
    ASSERT_EQ(QProcess::execute("rm", {"-r", m_dest}), 0);
    qvtest::MessageBoxSeen refused;
    qvtest::answerNextMessageBox({}, &refused);
    selectItems({src("p0.bmp")});
    dropOn(m_destNode);
    EXPECT_EQ(refused.text, formatS(w.texts().msgFolderGone, m_dest));
    EXPECT_FALSE(QFileInfo::exists(m_dest));
    EXPECT_EQ(filesIn(m_src).size(), 4);
    EXPECT_EQ(w.catalogue().model().count(), 4);
    for (int i = 0; i < pictures->childCount(); ++i)
        EXPECT_NE(pictures->child(i)->text(0), "dest");
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
    EXPECT_EQ(w.catalogue().model().count(), 4);
    ASSERT_TRUE(QDir().mkpath(m_src));
    ASSERT_TRUE(solid(9, 9, Qt::black).save(src("back.bmp"), "BMP"));
    QTRY_VERIFY_WITH_TIMEOUT(row(src("back.bmp")) >= 0, 8000);
    QTRY_COMPARE_WITH_TIMEOUT(w.catalogue().model().count(), 1, 5000);
    EXPECT_TRUE(w.m_panels[1]->text().isEmpty());
}

TEST_F(TransferTest, ChangesByOtherProgramsReachTheListKeepingOtherThumbnails)
{
    TfrmPrincipale& w = openAndRead(true, false);
    ThumbnailCatalogue& cat = w.catalogue();
    ImageList* list = cat.currentList();
    QTRY_VERIFY_WITH_TIMEOUT(w.FileSysMonitor2->Watching(), 5000);
    const int p1Index = cat.model().item(row(src("p1.bmp"))).ImageIndex;
    const QImage p1Before = list->at(p1Index);
    const int images = list->count();

    // Another process deletes one picture.
    ASSERT_EQ(QProcess::execute("rm", {src("p3.bmp")}), 0);
    QTRY_COMPARE_WITH_TIMEOUT(cat.model().count(), 3, 5000);
    EXPECT_LT(row(src("p3.bmp")), 0);
    EXPECT_EQ(list->count(), images); // no thumbnail was made again
    EXPECT_EQ(cat.model().item(row(src("p1.bmp"))).ImageIndex, p1Index);
    EXPECT_EQ(list->at(p1Index), p1Before);

    // Another process adds two pictures.
    solid(11, 11, Qt::darkCyan).save(m_dir.path() + "/n1.bmp", "BMP");
    solid(12, 12, Qt::darkRed).save(m_dir.path() + "/n2.bmp", "BMP");
    ASSERT_EQ(QProcess::execute("cp", {m_dir.path() + "/n1.bmp", m_dir.path() + "/n2.bmp", m_src}), 0);
    QTRY_COMPARE_WITH_TIMEOUT(cat.model().count(), 5, 5000);
    QTRY_VERIFY_WITH_TIMEOUT(row(src("n2.bmp")) >= 0 && row(src("n1.bmp")) >= 0, 5000);
    EXPECT_EQ(cat.model().item(row(src("n1.bmp"))).SubItems[SubLoaded], "1");
    EXPECT_EQ(QColor(list->at(cat.model().item(row(src("n2.bmp"))).ImageIndex).pixel(45, 45)),
              QColor(Qt::darkRed));
    EXPECT_EQ(list->at(p1Index), p1Before);
    EXPECT_EQ(w.m_panels[0]->text(), "There are 5 pictures in the list");

    // Another process renames one: the item of the old name makes way for the new one.
    ASSERT_EQ(QProcess::execute("mv", {src("p0.bmp"), src("renamed.bmp")}), 0);
    QTRY_VERIFY_WITH_TIMEOUT(row(src("renamed.bmp")) >= 0, 5000);
    EXPECT_LT(row(src("p0.bmp")), 0);
    EXPECT_EQ(cat.model().count(), 5);
    EXPECT_EQ(QColor(list->at(cat.model().item(row(src("renamed.bmp"))).ImageIndex).pixel(45, 45)),
              QColor(Qt::red));
    // Another process writes over a picture: no name changes, yet its thumbnail follows.
    solid(40, 40, Qt::yellow).save(m_dir.path() + "/big.bmp", "BMP");
    ASSERT_EQ(QProcess::execute("cp", {m_dir.path() + "/big.bmp", src("n1.bmp")}), 0);
    auto n1Pixel = [&] { return QColor(list->at(cat.model().item(row(src("n1.bmp"))).ImageIndex).pixel(45, 45)); };
    QTRY_COMPARE_WITH_TIMEOUT(n1Pixel(), QColor(Qt::yellow), 5000);
    EXPECT_EQ(cat.model().item(row(src("n1.bmp"))).SubItems[SubPixels], "40x40");
    EXPECT_EQ(cat.model().count(), 5);
    // The monitor watches again after each handling.
    EXPECT_TRUE(w.FileSysMonitor2->Active());
}

TEST_F(TransferTest, ASiblingFolderIsNotTheWatchedOne)
{
    const QString sibling = m_src + "2";
    QDir().mkpath(sibling);
    solid(10, 10, Qt::gray).save(sibling + "/s.bmp", "BMP");
    TfrmPrincipale& w = openAndRead(true, false);
    // The sibling's picture is listed too (the list is kept between reads).
    Configurazione.SvuotaLista = false;
    w.catalogue().readFolder(sibling);
    w.catalogue().readFolder(m_src);
    ASSERT_EQ(w.catalogue().model().count(), 5);
    QTRY_VERIFY_WITH_TIMEOUT(w.FileSysMonitor2->Watching(), 5000);
    ASSERT_EQ(QProcess::execute("rm", {src("p2.bmp")}), 0);
    QTRY_COMPARE_WITH_TIMEOUT(w.catalogue().model().count(), 4, 5000);
    QTest::qWait(300);
    EXPECT_GE(row(sibling + "/s.bmp"), 0);
    EXPECT_EQ(w.catalogue().model().count(), 4);
}

TEST(DragPicture, SeveralItemsGetABadgeAndAStackedFrame)
{
    QPixmap thumb(90, 90);
    thumb.fill(Qt::blue);
    const QPixmap one = thumbnailDragPicture(thumb, 1);
    const QPixmap three = thumbnailDragPicture(thumb, 3);
    EXPECT_EQ(one.size(), QSize(90, 90));
    EXPECT_GT(three.width(), 90);
    EXPECT_GT(three.height(), 90);
    // The badge sits at the top right, over nothing of the thumbnail.
    const QImage img = three.toImage();
    EXPECT_GT(qAlpha(img.pixel(img.width() - 11, 11)), 200);
    EXPECT_GT(qRed(img.pixel(img.width() - 11, 11)), 150);
}

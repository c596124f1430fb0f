// The main window's folder tree and its folder commands (new, rename, delete), on a home
// folder of the test's own.
#include "main_window_fixture.h"

#include <QLineEdit>

namespace {

class FolderCommandsTest : public qvtest::MainWindowTest {
protected:
    void SetUp() override
    {
        qvtest::MainWindowTest::SetUp();
        QDir().mkpath(pictures("full"));
        QDir().mkpath(pictures("empty"));
        qvtest::writeFile(pictures("full/photo.jpg"), "x");
    }
    void selectFolder(const QString& path)
    {
        window->SystemTreeView1->setSelection(path);
        ASSERT_EQ(window->SystemTreeView1->Selection(), path);
    }
    // Runs a command that shows a message box; answers it and returns what it said.
    qvtest::MessageBoxSeen messageOf(void (TfrmPrincipale::*command)())
    {
        qvtest::MessageBoxSeen seen;
        qvtest::answerNextMessageBox({}, &seen);
        (window.get()->*command)();
        return seen;
    }
    // Types a name into the open label editor and ends the edit with Enter, as the user does.
    void typeName(const QString& name)
    {
        QLineEdit* editor = nullptr;
        for (QLineEdit* e : window->SystemTreeView1->findChildren<QLineEdit*>())
            if (e->isVisible())
                editor = e;
        ASSERT_NE(editor, nullptr);
        // Offscreen, a closed message box does not give the activation back by itself.
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        editor->setFocus();
        editor->setText(name);
        QTest::keyClick(editor, Qt::Key_Return);
        QCoreApplication::processEvents(); // the edit ends in a posted call
    }
};

} // namespace

TEST_F(FolderCommandsTest, SelectingAFolderMakesItTheCurrentOne)
{
    TfrmPrincipale& w = open();
    selectFolder(pictures());
    EXPECT_EQ(w.CartellaCorrente, pictures());
    QTreeWidgetItem* computer = w.SystemTreeView1->topLevelItem(0)->child(2);
    ASSERT_EQ(computer->text(0), "Computer");
    w.SystemTreeView1->SelectNode(computer);
    EXPECT_EQ(w.CartellaCorrente, ""); // the computer has no path
}

TEST_F(FolderCommandsTest, NewFolderOpensItsLabelAndReselectsTheParent)
{
    TfrmPrincipale& w = open();
    selectFolder(pictures());
    QTreeWidgetItem* parent = w.SystemTreeView1->currentItem();
    w.Nuovacartella1Click();
    EXPECT_TRUE(QFileInfo(pictures("New Folder")).isDir());
    EXPECT_EQ(w.SystemTreeView1->currentItem(), parent);
    EXPECT_EQ(w.CartellaCorrente, pictures());
    typeName("Holiday"); // the new folder's label is still open for its name
    EXPECT_TRUE(QFileInfo(pictures("Holiday")).isDir());
    EXPECT_FALSE(QFileInfo::exists(pictures("New Folder")));

    // A name already taken, and the computer, which has no path: nothing can be made.
    QDir().mkpath(pictures("New Folder"));
    selectFolder(pictures());
    EXPECT_EQ(messageOf(&TfrmPrincipale::Nuovacartella1Click).text, "Folder creation failed!");
    w.SystemTreeView1->SelectNode(w.SystemTreeView1->topLevelItem(0)->child(2));
    const qvtest::MessageBoxSeen seen = messageOf(&TfrmPrincipale::Nuovacartella1Click);
    EXPECT_EQ(seen.title, "Quorvel");
    EXPECT_EQ(seen.text, "Folder creation failed!");
}

TEST_F(FolderCommandsTest, DeleteTakesOnlyAnEmptyFolderAndRenameKeepsTheContents)
{
    TfrmPrincipale& w = open();
    selectFolder(pictures("full"));
    EXPECT_EQ(messageOf(&TfrmPrincipale::CancellacartellaClick).text,
              "Folder cannot be deleted.\nCheck it's empty and deletable.");
    EXPECT_TRUE(QFileInfo::exists(pictures("full/photo.jpg")));
    EXPECT_EQ(w.SystemTreeView1->Selection(), pictures("full"));

    selectFolder(pictures("empty"));
    w.CancellacartellaClick();
    EXPECT_FALSE(QFileInfo::exists(pictures("empty")));

    selectFolder(pictures("full"));
    w.RinominaCartellaClick();
    typeName("piena");
    EXPECT_TRUE(QFileInfo::exists(pictures("piena/photo.jpg")));
    EXPECT_EQ(w.SystemTreeView1->Selection(), pictures("piena"));
}

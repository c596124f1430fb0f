// The main window's folder tree and its folder commands (new, rename, delete) with their
// messages in both languages, on a home folder of the test's own.
#include "app/application.h"
#include "app/main_window.h"
#include "platform/settings.h"

#include "testutil.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>

QApplication* qvtestCreateApplication(int& argc, char** argv) { return new QuorvelApplication(argc, argv); }

namespace {

struct Shown {
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    int count = 0;
};

class FolderCommandsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_home = QDir::cleanPath(m_dir.path()) + "/ann";
        for (const char* d : {"Desktop", "Pictures/full", "Pictures/empty", ".config/quorvel"})
            QDir().mkpath(m_home + "/" + d);
        qvtest::writeFile(m_home + "/Pictures/full/photo.jpg", "x");
        m_env.set("HOME", m_home);
        m_env.set("XDG_CONFIG_HOME", m_home + "/.config");
        Configurazione = TConfigurazione{};
        setErrorPresenter([this](const QString&, const QString& text) { m_errors << text; });
    }
    void TearDown() override
    {
        m_window.reset();
        EXPECT_TRUE(m_errors.isEmpty()) << m_errors.join(" | ").toStdString();
    }
    TfrmPrincipale& open(const QString& settings = {})
    {
        if (!settings.isEmpty())
            qvtest::writeFile(m_home + "/.config/quorvel/registry.reg",
                              ("Windows Registry Editor Version 5.00\n\n" + settings).toUtf8());
        m_window = std::make_unique<TfrmPrincipale>();
        m_window->show();
        m_window->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(m_window.get()));
        return *m_window;
    }
    void select(const QString& path)
    {
        m_window->SystemTreeView1->setSelection(path);
        ASSERT_EQ(m_window->SystemTreeView1->Selection(), path);
    }
    // Answers the next modal message box, noting what it said.
    void answerMessage()
    {
        QTimer::singleShot(0, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            m_shown.title = box->windowTitle();
            m_shown.text = box->text();
            m_shown.icon = box->icon();
            ++m_shown.count;
            box->accept();
        });
    }
    // Types a name into the label editor and ends the edit with Enter, as the user does.
    void typeName(QLineEdit* editor, const QString& name)
    {
        // Offscreen, a closed message box does not give the activation back by itself.
        m_window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(m_window.get()));
        editor->setFocus();
        editor->setText(name);
        QTest::keyClick(editor, Qt::Key_Return);
        QCoreApplication::processEvents(); // the edit ends in a posted call
    }
    QLineEdit* labelEditor() const
    {
        for (QLineEdit* e : m_window->SystemTreeView1->findChildren<QLineEdit*>())
            if (e->isVisible())
                return e;
        return nullptr;
    }

    QTemporaryDir m_dir;
    QString m_home;
    qvtest::ScopedEnv m_env;
    std::unique_ptr<TfrmPrincipale> m_window;
    QStringList m_errors;
    Shown m_shown;
};

} // namespace

TEST_F(FolderCommandsTest, TheTreeShowsTheDesktopAndSetsTheCurrentFolder)
{
    TfrmPrincipale& w = open();
    TSystemTreeView* tree = w.SystemTreeView1;
    EXPECT_EQ(tree->objectName(), "SystemTreeView1");
    EXPECT_EQ(tree->indentation(), 19);
    EXPECT_EQ(tree->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(tree->PopupMenu(), w.PopupMenu981);
    EXPECT_TRUE(tree->Autoscroll());
    EXPECT_TRUE(tree->ShowHiddenDirs());
    ASSERT_EQ(tree->topLevelItemCount(), 1);
    QTreeWidgetItem* desktop = tree->topLevelItem(0);
    EXPECT_EQ(desktop->text(0), "Desktop");
    ASSERT_EQ(desktop->childCount(), 3);
    EXPECT_EQ(desktop->child(0)->text(0), "ann");
    EXPECT_EQ(desktop->child(1)->text(0), "Desktop");
    EXPECT_EQ(desktop->child(2)->text(0), "Computer");

    desktop->child(0)->setExpanded(true);
    QStringList names;
    for (int i = 0; i < desktop->child(0)->childCount(); ++i)
        names << desktop->child(0)->child(i)->text(0);
    EXPECT_EQ(names, (QStringList{".config", "Desktop", "Pictures"})); // hidden ones too, sorted
    select(m_home + "/Pictures");
    EXPECT_EQ(w.CartellaCorrente, m_home + "/Pictures");
    tree->SelectNode(desktop->child(2));
    EXPECT_EQ(w.CartellaCorrente, ""); // the computer has no path
}

TEST_F(FolderCommandsTest, TreeScrollSettingReachesTheTree)
{
    TfrmPrincipale& w = open("[HKEY_CURRENT_USER\\Software\\Morwenly\\Quorvel\\1.5\\FmPrincipale]\n"
                             "\"FTreeScroll\"=dword:00000000\n");
    EXPECT_FALSE(w.SystemTreeView1->Autoscroll());
}

TEST_F(FolderCommandsTest, NewFolderOpensItsLabelAndReselectsTheParent)
{
    TfrmPrincipale& w = open();
    select(m_home + "/Pictures");
    QTreeWidgetItem* pictures = w.SystemTreeView1->currentItem();
    answerMessage();
    w.Nuovacartella1Click();
    EXPECT_EQ(m_shown.count, 0);
    EXPECT_TRUE(QFileInfo(m_home + "/Pictures/New Folder").isDir());
    EXPECT_EQ(w.SystemTreeView1->currentItem(), pictures);
    EXPECT_EQ(w.CartellaCorrente, m_home + "/Pictures");

    // The label of the new folder is still open for its name.
    QLineEdit* editor = labelEditor();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->text(), "New Folder");
    typeName(editor, "Holiday");
    EXPECT_TRUE(QFileInfo(m_home + "/Pictures/Holiday").isDir());
    EXPECT_FALSE(QFileInfo::exists(m_home + "/Pictures/New Folder"));

    // Under the computer, which has no path, nothing can be made.
    w.SystemTreeView1->SelectNode(w.SystemTreeView1->topLevelItem(0)->child(2));
    answerMessage();
    w.Nuovacartella1Click();
    EXPECT_EQ(m_shown.count, 1);
    EXPECT_EQ(m_shown.title, "Quorvel");
    EXPECT_EQ(m_shown.icon, QMessageBox::Question);
    EXPECT_EQ(m_shown.text, "Folder creation failed!");
}

TEST_F(FolderCommandsTest, ItalianNewFolderAndItsFailure)
{
    TfrmPrincipale& w = open("[HKEY_CURRENT_USER\\Software\\Morwenly\\Quorvel\\1.5\\Generali]\n"
                             "\"Lingua\"=\"ITALIANO\"\n");
    select(m_home + "/Pictures");
    w.Nuovacartella1Click();
    EXPECT_TRUE(QFileInfo(m_home + "/Pictures/Nuova Cartella").isDir());
    if (QLineEdit* editor = labelEditor())
        QTest::keyClick(editor, Qt::Key_Escape);
    select(m_home + "/Pictures");
    answerMessage();
    w.Nuovacartella1Click(); // the name is taken now
    EXPECT_EQ(m_shown.text, "Non è possibile creare la cartella!");
    EXPECT_EQ(m_shown.icon, QMessageBox::Question);
}

TEST_F(FolderCommandsTest, DeleteFolderTakesOnlyAnEmptyOne)
{
    TfrmPrincipale& w = open();
    select(m_home + "/Pictures/full");
    answerMessage();
    w.CancellacartellaClick();
    EXPECT_EQ(m_shown.count, 1);
    EXPECT_EQ(m_shown.text, "Folder cannot be deleted.\nCheck it's empty and deletable.");
    EXPECT_EQ(m_shown.title, "Quorvel");
    EXPECT_TRUE(QFileInfo(m_home + "/Pictures/full/photo.jpg").exists());
    EXPECT_EQ(w.SystemTreeView1->Selection(), m_home + "/Pictures/full");

    select(m_home + "/Pictures/empty");
    answerMessage();
    w.CancellacartellaClick();
    EXPECT_EQ(m_shown.count, 1);
    EXPECT_FALSE(QFileInfo::exists(m_home + "/Pictures/empty"));
}

TEST_F(FolderCommandsTest, ItalianDeleteMessageAndRenameFolder)
{
    TfrmPrincipale& w = open("[HKEY_CURRENT_USER\\Software\\Morwenly\\Quorvel\\1.5\\Generali]\n"
                             "\"Lingua\"=\"ITALIANO\"\n");
    select(m_home + "/Pictures/full");
    answerMessage();
    w.CancellacartellaClick();
    EXPECT_EQ(m_shown.text,
              "La cartella non può essere cancellata.\nVerificare che sia vuota e non protetta da cancellazione.");

    w.RinominaCartellaClick();
    QLineEdit* editor = labelEditor();
    ASSERT_NE(editor, nullptr);
    typeName(editor, "piena");
    EXPECT_TRUE(QFileInfo(m_home + "/Pictures/piena/photo.jpg").exists());
    EXPECT_EQ(w.SystemTreeView1->Selection(), m_home + "/Pictures/piena");
}

// The commands on the selected pictures with real files: properties, rename,
// delete to the trash, copy name, wallpaper; and the commands whose windows
// are not built yet stay disabled.
#include "app/application.h"
#include "app/main_window.h"
#include "app/properties_window.h"
#include "app/rename_dialog.h"
#include "fs/file_operation.h"
#include "fs/file_sys_monitor.h"
#include "platform/scripted_shell_interaction.h"
#include "platform/settings.h"
#include "platform/wallpaper.h"

#include "testutil.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>
#include <memory>

QApplication* qvtestCreateApplication(int& argc, char** argv) { return new QuorvelApplication(argc, argv); }

namespace {

class RecordingDesktop : public DesktopWallpaper {
public:
    bool apply(const QString& path) override
    {
        applied << path;
        return true;
    }
    QStringList applied;
};

class CommandsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_home = QDir::cleanPath(m_dir.path());
        m_pics = m_home + "/Pictures";
        for (const char* d : {"Pictures", ".config", ".local/share"})
            QDir().mkpath(m_home + "/" + d);
        m_env.set("HOME", m_home);
        m_env.set("XDG_CONFIG_HOME", m_home + "/.config");
        m_env.set("XDG_DATA_HOME", m_home + "/.local/share");
        Configurazione = TConfigurazione{};
        setErrorPresenter([this](const QString&, const QString& text) { m_errors << text; });
        setDesktopWallpaper(&m_desktop);
    }
    void TearDown() override
    {
        m_window.reset();
        setDesktopWallpaper(nullptr);
        EXPECT_TRUE(m_errors.isEmpty()) << m_errors.join(" | ").toStdString();
    }
    QString pic(const QString& name) const { return m_pics + "/" + name; }

    // The window with the pictures of the folder read, as the read command leaves it.
    TfrmPrincipale& openWith(const QStringList& names, const QString& lingua = "ENGLISH")
    {
        for (const QString& n : names)
            EXPECT_TRUE(QImage(24, 16, QImage::Format_RGB32).save(pic(n), "BMP")) << n.toStdString();
        Configurazione.Lingua = lingua;
        m_window = std::make_unique<TfrmPrincipale>();
        Configurazione.SalvaThumb = false;
        m_window->ApplicaConfigurazione();
        m_window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(m_window.get()));
        m_window->CartellaCorrente = m_pics;
        m_window->TransparentButton1Click();
        EXPECT_EQ(m_window->catalogue().model().count(), names.size());
        return *m_window;
    }
    int row(const QString& path) const { return m_window->catalogue().model().rowOfPath(path); }
    void select(const QStringList& paths)
    {
        QItemSelectionModel* sel = m_window->ListView1->selectionModel();
        sel->clearSelection();
        for (const QString& p : paths)
            sel->select(m_window->ListView1->model()->index(row(p), 0), QItemSelectionModel::Select);
    }
    // Runs the rename command, answering its dialog with `typed` (or closing it when empty).
    void rename(const QString& typed)
    {
        TfrmRinomina* dialog = m_window->renameDialog;
        QTimer::singleShot(0, dialog, [dialog, typed] {
            if (typed.isEmpty()) {
                dialog->close();
                return;
            }
            dialog->Edit1->setText(typed);
            QTest::keyClick(dialog->Edit1, Qt::Key_Return); // Enter anywhere confirms
        });
        m_window->tbRinominaClick();
    }
    QStringList files() const { return QDir(m_pics).entryList(QDir::Files, QDir::Name); }

    QTemporaryDir m_dir;
    QString m_home, m_pics;
    qvtest::ScopedEnv m_env;
    std::unique_ptr<TfrmPrincipale> m_window;
    QStringList m_errors;
    RecordingDesktop m_desktop;
    ScriptedShellInteraction m_shell;
};

} // namespace

TEST_F(CommandsTest, PropertiesOpenOneWindowPerSelectedPicture)
{
    TfrmPrincipale& w = openWith({"a.bmp", "b.bmp", "c.bmp"}, "ITALIANO");
    select({pic("a.bmp"), pic("c.bmp")});
    w.SpeedButton7->click();
    const QList<TMostraProprieta*> shown = w.findChildren<TMostraProprieta*>();
    ASSERT_EQ(shown.size(), 2);
    QStringList names;
    for (TMostraProprieta* p : shown) {
        EXPECT_EQ(p->windowTitle(), "Mostra proprietà");
        EXPECT_TRUE(p->isVisible());
        EXPECT_TRUE(p->windowFlags() & Qt::WindowStaysOnTopHint);
        EXPECT_EQ(p->dimensioni->text(), "Dimensioni in pixel dell'immagine: 24x16");
        EXPECT_TRUE(p->dimensionifile->text().startsWith("Dimensioni: "));
        // A line too long for the window is cut, and whole in its tooltip.
        names << (p->nomefile->toolTip().isEmpty() ? p->nomefile->text() : p->nomefile->toolTip());
    }
    names.sort();
    EXPECT_EQ(names, (QStringList{"Nome del file: " + pic("a.bmp"), "Nome del file: " + pic("c.bmp")}));
    shown.first()->OKButton->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(w.findChildren<TMostraProprieta*>().size(), 1);
}

TEST_F(CommandsTest, RenameKeepsTheTypedNameAndNeverReplaces)
{
    TfrmPrincipale& w = openWith({"a.bmp", "b.bmp"});
    const QByteArray bBytes = qvtest::readFile(pic("b.bmp"));
    select({pic("a.bmp")});

    // Cancel: nothing changes, and the monitor (switched off here) is left alone.
    w.FileSysMonitor2->setActive(false);
    rename("");
    EXPECT_EQ(files(), (QStringList{"a.bmp", "b.bmp"}));
    EXPECT_FALSE(w.FileSysMonitor2->Active());
    EXPECT_EQ(w.renameDialog->windowTitle(), "Rename file");
    w.FileSysMonitor2->setActive(true);

    // Onto another picture's name: refused, both files and items as they were.
    w.FileOperation1->setInteraction(&m_shell);
    rename("b.bmp");
    EXPECT_EQ(m_shell.problems, QList<qv::ShellProblem>{qv::ShellProblem::Exists});
    EXPECT_EQ(qvtest::readFile(pic("b.bmp")), bBytes);
    EXPECT_GE(row(pic("a.bmp")), 0);
    EXPECT_TRUE(w.FileSysMonitor2->Active());

    // A name with a folder in it is not a rename.
    QTimer::singleShot(50, [] {
        if (QWidget* box = QApplication::activeModalWidget())
            box->close();
    });
    rename("../a.bmp");
    EXPECT_EQ(files(), (QStringList{"a.bmp", "b.bmp"}));

    // A real rename: the new name as typed, the item and the loaded list follow.
    rename("Paris; Day 2.bmp");
    EXPECT_EQ(files(), (QStringList{"Paris; Day 2.bmp", "b.bmp"}));
    const int r = row(pic("Paris; Day 2.bmp"));
    ASSERT_GE(r, 0);
    EXPECT_LT(row(pic("a.bmp")), 0);
    EXPECT_TRUE(w.catalogue().model().item(r).Caption.startsWith("PARIS; DAY 2.BMP"));
    EXPECT_TRUE(w.catalogue().ListaCaricate.contains(pic("Paris; Day 2.bmp")));
    EXPECT_FALSE(w.catalogue().ListaCaricate.contains(pic("a.bmp")));
    EXPECT_TRUE(w.FileSysMonitor2->Active());
    // A later delete of another picture keeps the renamed item.
    m_shell.deleteAnswer = true;
    select({pic("b.bmp")});
    w.SpeedButton8Click();
    EXPECT_EQ(w.catalogue().model().count(), 1);
    EXPECT_GE(row(pic("Paris; Day 2.bmp")), 0);
}

TEST_F(CommandsTest, DeleteTakesEachPathWholeAndOnlyWhatReallyWent)
{
    TfrmPrincipale& w = openWith({"Paris; day 2.jpg.bmp", "Paris.bmp", "day 2.jpg.bmp", "keep.bmp"});
    w.FileOperation1->setInteraction(&m_shell);
    const QStringList doomed{pic("Paris; day 2.jpg.bmp"), pic("keep.bmp")};

    // Refused at the confirmation: every file and item stays.
    m_shell.deleteAnswer = false;
    select(doomed);
    w.Cancellaimmagine1->trigger();
    EXPECT_EQ(m_shell.deleteQuestions, doomed);
    EXPECT_EQ(files().size(), 4);
    EXPECT_EQ(w.catalogue().model().count(), 4);

    // Confirmed: the two go to the trash, their neighbours by name stay.
    m_shell.deleteAnswer = true;
    select(doomed);
    w.SpeedButton8->click();
    EXPECT_EQ(files(), (QStringList{"Paris.bmp", "day 2.jpg.bmp"}));
    EXPECT_EQ(QDir(m_home + "/.local/share/Trash/files").entryList(QDir::Files).size(), 2);
    EXPECT_EQ(w.catalogue().model().count(), 2);
    EXPECT_EQ(w.catalogue().ListaCaricate.count(), 2);
    EXPECT_EQ(w.findChild<QLabel*>("StatusPanel0")->text(), "There are 2 pictures in the list");
}

TEST_F(CommandsTest, CopyNameAndWallpaperUseTheRealPath)
{
    // A path of 300 characters: the first 255 of it, in its real case.
    const QString deep = m_pics + "/" + QString(300 - m_pics.size() - 12, 'd');
    ASSERT_TRUE(QDir().mkpath(deep));
    m_pics = deep;
    TfrmPrincipale& w = openWith({"Sunset.bmp", "SUNSET.BMP", "sunset.bmp"});
    const QString longPath = pic("Sunset.bmp");
    ASSERT_EQ(longPath.size(), 300);
    select({longPath});
    w.CopiaInAppunti->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), longPath.left(255));

    const QString ini = m_home + "/.config/quorvel/win.ini";
    for (const char* name : {"SUNSET.BMP", "Sunset.bmp"}) {
        select({pic(name)});
        w.Impostasfondo1->trigger();
    }
    // Only a lower-case ".bmp" extension is taken; the name may have capitals.
    EXPECT_EQ(m_desktop.applied, QStringList{longPath});
    qvtest::writeFile(ini, "; kept\n[Desktop]\nTileWallpaper=0\nWallPaper=/old.bmp\n[Other]\nx=1\n");
    select({pic("sunset.bmp")});
    EXPECT_FALSE(w.FormKeyDown(Qt::Key_F6, {}));
    EXPECT_EQ(m_desktop.applied.last(), pic("sunset.bmp"));
    EXPECT_EQ(qvtest::readFile(ini),
              ("; kept\n[Desktop]\nTileWallpaper=0\nwallpaper=" + pic("sunset.bmp") + "\n[Other]\nx=1\n").toUtf8());
}

TEST_F(CommandsTest, CommandsFollowTheSelection)
{
    TfrmPrincipale& w = openWith({"a.bmp"});
    EXPECT_FALSE(w.Cancellaimmagine1->isEnabled()); // nothing selected yet
    EXPECT_FALSE(w.Apriimmagine1->isEnabled());
    select({pic("a.bmp")});
    emit w.File1->aboutToShow();
    for (QAction* a : {w.Mostraproprietimmagine1, w.Rinominaimmagine2, w.Cancellaimmagine1, w.CopiaInAppunti,
                       w.Impostasfondo1, w.Visualizza1, w.Informazioni2, w.Sommario1, w.Abilita1, w.Apriimmagine1,
                       w.Slideshow1, w.Confrontaimmagini1})
        EXPECT_TRUE(a->isEnabled()) << a->objectName().toStdString();
    w.Cancellalalista1->trigger();
    EXPECT_FALSE(w.Mostraproprietimmagine2->isEnabled());
}

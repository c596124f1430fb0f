// The commands on the selected pictures with real files: properties, rename, delete to
// the trash, copy name, wallpaper, open in viewers and the picture toolbar on the viewer
// activated last; and which commands the selection enables.
#include "app/properties_window.h"
#include "app/rename_dialog.h"
#include "fs/file_operation.h"
#include "fs/file_sys_monitor.h"
#include "platform/scripted_shell_interaction.h"
#include "platform/wallpaper.h"
#include "views/image_viewer.h"

#include "main_window_fixture.h"

#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>

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

class CommandsTest : public qvtest::MainWindowTest {
protected:
    void SetUp() override
    {
        qvtest::MainWindowTest::SetUp();
        m_pics = pictures();
        setDesktopWallpaper(&m_desktop);
    }
    void TearDown() override
    {
        if (window)
            qDeleteAll(viewers());
        qvtest::MainWindowTest::TearDown();
        setDesktopWallpaper(nullptr);
    }
    QList<TfrmMostraImmagine*> viewers() const { return window->findChildren<TfrmMostraImmagine*>(); }
    QString pic(const QString& name) const { return m_pics + "/" + name; }

    // The window with the pictures of the folder read, as the read command leaves it.
    TfrmPrincipale& openWith(const QStringList& names, const QString& lingua = "ENGLISH")
    {
        for (const QString& n : names)
            qvtest::saveSolidBmp(pic(n), Qt::gray);
        settingText("Generali", "Lingua", lingua);
        TfrmPrincipale& w = open();
        readFolder(m_pics);
        EXPECT_EQ(count(), names.size());
        return w;
    }
    // Runs the rename command, answering its dialog with `typed` (or closing it when empty).
    void rename(const QString& typed)
    {
        TfrmRinomina* dialog = window->renameDialog;
        QTimer::singleShot(0, dialog, [dialog, typed] {
            if (typed.isEmpty()) {
                dialog->close();
                return;
            }
            dialog->Edit1->setText(typed);
            QTest::keyClick(dialog->Edit1, Qt::Key_Return); // Enter anywhere confirms
        });
        window->tbRinominaClick();
    }
    QStringList files() const { return QDir(m_pics).entryList(QDir::Files, QDir::Name); }

    QString m_pics;
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
        EXPECT_TRUE(p->isVisible());
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
    EXPECT_EQ(count(), 1);
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
    EXPECT_EQ(count(), 4);

    // Confirmed: the two go to the trash, their neighbours by name stay.
    m_shell.deleteAnswer = true;
    select(doomed);
    w.SpeedButton8->click();
    EXPECT_EQ(files(), (QStringList{"Paris.bmp", "day 2.jpg.bmp"}));
    EXPECT_EQ(QDir(home + "/.local/share/Trash/files").entryList(QDir::Files).size(), 2);
    EXPECT_EQ(count(), 2);
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

    const QString ini = home + "/.config/quorvel/win.ini";
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

TEST_F(CommandsTest, CommandsFollowTheSelectionAndTheFocus)
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

    // The popup offers the folder commands over the tree only.
    w.ListView1->setFocus();
    emit w.PopupMenu981->aboutToShow();
    EXPECT_FALSE(w.Nuovacartella1->isVisible());
    w.SystemTreeView1->setFocus();
    emit w.PopupMenu981->aboutToShow();
    EXPECT_TRUE(w.Nuovacartella1->isVisible());
    EXPECT_TRUE(w.Cancellacartella->isVisible());
}

TEST_F(CommandsTest, OpenMakesAViewerPerSelectedPictureOnItsRealPathAndItsThumbnail)
{
    openWith({});
    const QString a = qvtest::saveSolidBmp(pictures("Mixed Case.bmp"), Qt::green, 400, 48);
    const QString b = qvtest::saveSolidBmp(pictures("b.bmp"), Qt::green, 400, 48);
    addUnloadedItem(a);
    addUnloadedItem(b);
    const int before = window->catalogue().currentList()->count();
    const QPoint firstItem = window->ListView1->visualRect(window->ListView1->model()->index(0, 0)).center();
    QTest::mouseClick(window->ListView1->viewport(), Qt::LeftButton, {}, firstItem);
    QTest::mouseDClick(window->ListView1->viewport(), Qt::LeftButton, {}, firstItem);
    ASSERT_EQ(viewers().size(), 1);
    EXPECT_EQ(viewers().first()->filePath(), b); // "B.BMP" sorts first
    window->ListView1->selectAll();
    window->tbOpen->click();
    ASSERT_EQ(viewers().size(), 3);
    const auto found = viewers();
    const auto it = std::find_if(found.begin(), found.end(), [&](auto* v) { return v->filePath() == a; });
    ASSERT_NE(it, found.end()); // loaded and kept with its own case
    const TfrmMostraImmagine* first = *it;
    EXPECT_TRUE(first->isVisible());
    EXPECT_TRUE(first->windowTitle().startsWith("1:1 - "));
    EXPECT_TRUE(first->windowTitle().endsWith("MIXED CASE.BMP"));
    EXPECT_EQ(window->catalogue().currentList()->count(), before + 2); // one thumbnail per picture
    EXPECT_EQ(window->catalogue().model().item(0).SubItems[SubLoaded], "1");
}

TEST_F(CommandsTest, APictureThatCannotBeLoadedEndsTheOpenCommandWithTheMessage)
{
    openWith({});
    qvtest::writeFile(pictures("a.gif"), "not a picture");
    addUnloadedItem(pictures("a.gif"));
    addUnloadedItem(pictures("b.gif"));
    window->ListView1->selectAll();
    window->Apriimmagine1->trigger();
    EXPECT_TRUE(viewers().isEmpty());
    const QStringList shown = takeErrors();
    ASSERT_EQ(shown.size(), 1); // once: the second picture is not tried
    EXPECT_TRUE(shown.first().contains("Errore nella lettura del file"));
}

TEST_F(CommandsTest, EditsActOnTheActiveViewerOnly)
{
    openWith({});
    for (QToolButton* b : {window->tbtRiflettiOriz, window->tbtRuotaDestra, window->tbtSchiarisci, window->tbtScalaGrigi})
        b->click(); // no viewer: nothing, and no cursor left behind
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);

    const QImage picture = qvtest::patternImage(30, 20);
    auto* other = new TfrmMostraImmagine(window.get());
    other->OpenPicture(picture, pictures("other.bmp"), false);
    auto* v = new TfrmMostraImmagine(window.get());
    v->OpenPicture(picture, pictures("r.bmp"), false);
    v->show();
    window->ActiveViewer = v;
    window->tbtRuotaSinistra->click();
    window->tbtScalaGrigi->click();
    window->tbtRiflettiOriz->click();
    EXPECT_TRUE(v->Modified);
    const char* edits[] = {"rotate-left", "grey", "flip-h"};
    QImage want = picture;
    for (const char* e : edits)
        want = qvtest::editedByHand(want, e);
    EXPECT_EQ(v->shownPicture().convertToFormat(QImage::Format_RGB32), want);
    EXPECT_FALSE(other->Modified);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

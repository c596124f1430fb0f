// The main window: the language setting, keys, the error handler, settings read at the
// start and written on exit, commands that meet while a read runs, and the folder tree
// with its folder commands.
#include "app/help_window.h"
#include "app/splash_screen.h"
#include "fs/file_sys_monitor.h"
#include "platform/errors.h"
#include "platform/registry.h"

#include "main_window_fixture.h"

#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QScrollBar>
#include <QSplitter>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <climits>

using qvtest::kSettingsBase;
using qvtest::saveSolidBmp;

namespace {

// An object whose event handling fails, as an unguarded handler would.
class Failing : public QObject {
public:
    bool event(QEvent* e) override
    {
        if (e->type() == QEvent::User)
            throw QvError("Not a TIF file");
        return QObject::event(e);
    }
};

// A window that keeps itself open, or fails while closing.
class OtherWindow : public QWidget {
public:
    bool keep = true;
    bool fail = false;

protected:
    void closeEvent(QCloseEvent* e) override
    {
        if (fail)
            throw QvError("Cannot close the window");
        if (keep)
            e->ignore();
    }
};

// Runs the message loop until the program asks to end (0), or gives up (3).
int runUntilExit()
{
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(3); });
    guard.start(60000);
    return QCoreApplication::exec();
}

class MainWindowTest : public qvtest::MainWindowTest {
protected:
    int loadedCount()
    {
        int n = 0;
        for (int r = 0; r < count(); ++r)
            n += window->catalogue().model().item(r).SubItems[SubLoaded] == "1";
        return n;
    }
    QString status(int panel) const { return window->findChild<QLabel*>(QString("StatusPanel%1").arg(panel))->text(); }
};

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

// Texts and keys take the prefix test, the help file and the error message the exact one.
TEST_F(MainWindowTest, LanguageSettingChoosesTextsKeysHelpAndMessages)
{
    struct Case {
        const char* lingua;
        bool italianTexts, italianHelp;
    } cases[] = {{"ITALIANO", true, true}, {"ITALIANO2", true, false}, {"", false, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.lingua);
        settingText("Generali", "Lingua", c.lingua);
        TfrmPrincipale& w = open();
        EXPECT_EQ(w.Modifica1->title(), c.italianTexts ? "&Modifica" : "&Edit");
        EXPECT_EQ(w.EscidaQuorvel2->shortcut(), QKeySequence(Qt::CTRL | (c.italianTexts ? Qt::Key_E : Qt::Key_X)));
        EXPECT_EQ(status(0), c.italianTexts ? "La lista contiene 0 immagini" : "There are 0 pictures in the list");
        const QString help = c.italianHelp ? "QVITA.HLP" : "QVENG.HLP";
        QTest::keyClick(w.ListView1, Qt::Key_F1);
        ASSERT_NE(w.helpWindow(), nullptr);
        EXPECT_TRUE(w.helpWindow()->isVisible());
        EXPECT_TRUE(w.helpWindow()->currentFile().endsWith(help));
        if (c.italianHelp)
            EXPECT_TRUE(w.helpWindow()->toPlainText().contains("Leggere una cartella"));
        runGuarded([] { throw QvError("boom"); });
        EXPECT_TRUE(takeErrors().value(0).startsWith(c.italianHelp ? "Eccezione non gestita: boom\n"
                                                                   : "Exception unhandled: boom\n"));
    }
}

TEST_F(MainWindowTest, CountPanelHoldsAFiveDigitCountInEitherLanguage)
{
    const QLabel* panel = open().findChild<QLabel*>("StatusPanel0");
    for (const char* text : {"There are 88888 pictures in the list", "La lista contiene 88888 immagini"})
        EXPECT_GE(panel->contentsRect().width(), panel->fontMetrics().horizontalAdvance(text)) << text;
}

TEST_F(MainWindowTest, ErrorsInCommandsAndHandlersAreShownAndTheWindowGoesOn)
{
    TfrmPrincipale& w = open();
    // A failing command, wired as the window wires its own, reached by a real click.
    w.connectCommand(w.SpeedButton7, &QToolButton::clicked, [] { throw QvError("Bad data"); });
    QTest::mouseClick(w.SpeedButton7, Qt::LeftButton);
    EXPECT_EQ(errorTitle, "Quorvel");
    Failing f;
    QEvent e(QEvent::User);
    QCoreApplication::sendEvent(&f, &e);
    const QStringList shown = takeErrors();
    ASSERT_EQ(shown.size(), 2);
    EXPECT_TRUE(shown[0].startsWith("Exception unhandled: Bad data"));
    EXPECT_TRUE(shown[1].startsWith("Exception unhandled: Not a TIF file"));

    // Still working: the picture toolbar switch answers.
    w.Abilita1->trigger();
    EXPECT_TRUE(w.tbElaborazioni->isVisible());
    EXPECT_TRUE(w.Abilita1->isChecked());
    w.Abilita1->trigger();
    EXPECT_FALSE(w.tbElaborazioni->isVisible());
}

TEST_F(MainWindowTest, KeysTheWindowHandles)
{
    TfrmPrincipale& w = open();
    w.ListView1->setFocus();
    QTest::keyClick(w.ListView1, Qt::Key_Escape);
    EXPECT_TRUE(w.catalogue().Interrompi);

    EXPECT_TRUE(w.FormKeyDown(Qt::Key_F5, {}));
    EXPECT_TRUE(w.FormKeyDown(Qt::Key_F11, Qt::ShiftModifier));
    EXPECT_FALSE(w.FormKeyDown(Qt::Key_F6, {})); // the focused control gets F6 too
    EXPECT_FALSE(w.FormKeyDown(Qt::Key_A, {}));

    // Page Down scrolls the list by the window's client height.
    for (int i = 0; i < 400; ++i)
        addUnloadedItem(QString("/p/item%1.jpg").arg(i, 3, 10, QLatin1Char('0')));
    w.resize(500, 300);
    QCoreApplication::processEvents();
    QScrollBar* bar = w.ListView1->verticalScrollBar();
    ASSERT_GT(bar->maximum(), 0);
    bar->setValue(0);
    QTest::keyClick(w.ListView1, Qt::Key_PageDown);
    EXPECT_GT(bar->value(), 0);
    QTest::keyClick(w.ListView1, Qt::Key_PageUp);
    EXPECT_EQ(bar->value(), 0);
}

TEST_F(MainWindowTest, ExitWithCtrlXWritesEverySettingAndKeepsForeignKeys)
{
    settingDword("Thumb", "Dimensione", 7);
    settingDword("Thumb", "SvuotaLista", 5);
    settingText("Generali", "Lingua", "KLINGON");
    settingDword("Software\\Foreign", "Other", 42);
    TfrmPrincipale& w = open();
    QTest::keyClick(w.ListView1, Qt::Key_X, Qt::ControlModifier);
    w.resize(640, 480);
    const int width = w.width();
    window.reset(); // the window's destruction saves

    RegFileRegistry reg(settingsFile());
    EXPECT_EQ(reg.readDword(kSettingsBase + "Thumb", "Dimensione"), 7u);
    EXPECT_EQ(reg.readDword(kSettingsBase + "Thumb", "SvuotaLista"), 1u);
    EXPECT_EQ(reg.readString(kSettingsBase + "Generali", "Lingua"), QString("KLINGON"));
    EXPECT_EQ(reg.readDword("Software\\Foreign", "Other"), 42u);
    EXPECT_EQ(reg.readDword(kSettingsBase + "FmPrincipale", "Larghezza"), quint32(width));
    EXPECT_EQ(reg.readDword(kSettingsBase + "BkTool", "ImgSfondoToolbar"), 1u);
}

TEST(SplashScreen, ClosesOnlyAfterItsTimerFired)
{
    TfrmSplashScreen splash;
    splash.show();
    EXPECT_FALSE(splash.close());
    EXPECT_TRUE(splash.isVisible());
    EXPECT_TRUE(QTest::qWaitFor([&] { return splash.timerFired(); }, 5000));
    EXPECT_TRUE(splash.close());
}

TEST_F(MainWindowTest, ReadCommandsNeverNestEscStopsTheReadAndExitEndsIt)
{
    for (int i = 0; i < 40; ++i)
        saveSolidBmp(pictures(QString("p%1.bmp").arg(i, 2, 10, QLatin1Char('0'))), Qt::darkCyan);
    TfrmPrincipale& w = open();
    w.SystemTreeView1Change(pictures());

    // F4 and F5 pressed inside the read are refused; Esc then stops it.
    QTimer::singleShot(0, [&] {
        QTest::keyClick(w.ListView1, Qt::Key_F4);
        QTest::keyClick(w.ListView1, Qt::Key_F5);
        QTest::keyClick(w.ListView1, Qt::Key_Escape);
    });
    QTest::keyClick(w.ListView1, Qt::Key_F4);
    EXPECT_EQ(count(), 40);
    EXPECT_LT(loadedCount(), 5);

    // Ctrl+X inside a read stops it and ends the program at once.
    QTimer::singleShot(0, [&] {
        QTimer::singleShot(0, [&] { QTest::keyClick(w.ListView1, Qt::Key_X, Qt::ControlModifier); });
        QTest::keyClick(w.ListView1, Qt::Key_F4);
    });
    EXPECT_EQ(runUntilExit(), 0);
    EXPECT_LT(loadedCount(), 5);
}

TEST_F(MainWindowTest, ExitGoesOnPastFailedStepsAndStopsForAWindowKeptOpen)
{
    saveSolidBmp(pictures("a.bmp"), Qt::darkCyan);
    QDir(pictures()).mkdir("qvthimgs.thi"); // the cache cannot be written there
    settingDword("Thumb", "SalvaThumb", 1);
    TfrmPrincipale& w = open();
    w.SystemTreeView1Change(pictures());
    w.TransparentButton1Click();
    ASSERT_EQ(count(), 1);

    OtherWindow other;
    other.show();
    EXPECT_FALSE(w.exitProgram()); // kept open: the program goes on
    EXPECT_TRUE(other.isVisible());

    other.fail = true;
    QTimer::singleShot(0, [&] { QTest::keyClick(w.ListView1, Qt::Key_X, Qt::ControlModifier); });
    EXPECT_EQ(runUntilExit(), 0);
    const QStringList shown = takeErrors(); // the failing window; the unwritable folder is no error
    ASSERT_EQ(shown.size(), 1);
    EXPECT_TRUE(shown[0].contains("Cannot close the window"));
    window.reset();
    EXPECT_TRUE(RegFileRegistry(settingsFile()).keyExists(kSettingsBase + "FmPrincipale"));
}

TEST_F(MainWindowTest, F5AndTheCacheFollowTheFolderTheListWasReadFrom)
{
    const QString a = home + "/a", b = home + "/b";
    QDir().mkpath(a);
    QDir().mkpath(b);
    saveSolidBmp(a + "/one.bmp", Qt::red);
    saveSolidBmp(b + "/x.bmp", Qt::red);
    saveSolidBmp(b + "/y.bmp", Qt::red);
    settingDword("Thumb", "SalvaThumb", 1);
    TfrmPrincipale& w = open();
    w.SystemTreeView1Change(a);
    QTest::keyClick(w.ListView1, Qt::Key_F4);
    w.SystemTreeView1Change(b); // leaving the folder read writes its cache
    EXPECT_TRUE(QFile::exists(a + "/qvthtxts.tht"));

    saveSolidBmp(a + "/two.bmp", Qt::red);
    QTest::keyClick(w.ListView1, Qt::Key_F5);
    QStringList paths = w.catalogue().model().paths();
    paths.sort();
    EXPECT_EQ(paths, QStringList({a + "/one.bmp", a + "/two.bmp"}));

    // Neither leaving nor F11 in a folder the list was not read from writes a cache there.
    QTest::keyClick(w.ListView1, Qt::Key_F11);
    w.SystemTreeView1Change(pictures());
    EXPECT_FALSE(QFile::exists(b + "/qvthtxts.tht"));
    EXPECT_FALSE(QFile::exists(b + "/qvthimgs.thi"));
}

TEST_F(MainWindowTest, FailedCacheReadLeavesTheCountRightAndTheMonitorOn)
{
    for (const char* name : {"a.bmp", "b.bmp", "c.bmp"})
        saveSolidBmp(pictures(name), Qt::darkCyan);
    qvtest::writeFile(pictures("qvthimgs.thi"), QByteArray(3000, 'x'));
    qvtest::writeFile(pictures("qvthtxts.tht"), "2\r\n0\r\n");
    TfrmPrincipale& w = open();
    w.SystemTreeView1Change(pictures());
    QTest::keyClick(w.ListView1, Qt::Key_F4);
    ASSERT_EQ(count(), 3);
    QTest::keyClick(w.ListView1, Qt::Key_F11, Qt::ShiftModifier);
    EXPECT_EQ(count(), 0);
    EXPECT_EQ(status(0), "There are 0 pictures in the list");
    EXPECT_EQ(status(1), "Thumbnail cache damaged: not loaded");
    EXPECT_TRUE(w.FileSysMonitor2->Active());
}

TEST_F(MainWindowTest, GeometryFromDamagedSettingsFitsTheScreen)
{
    settingDword("FmPrincipale", "Alto", 0x7fffffff);
    settingDword("FmPrincipale", "Sinistra", 0x80000000);
    settingDword("FmPrincipale", "Larghezza", 0x7fffffff);
    settingDword("FmPrincipale", "Altezza", 0x7fffffff);
    settingDword("FmPrincipale", "LarghezzaFTree", 0x80000000);
    TfrmPrincipale& w = open();
    const QRect screen = w.screen()->availableGeometry();
    EXPECT_TRUE(screen.contains(w.geometry().topLeft())) << w.geometry().x() << "," << w.geometry().y();
    EXPECT_LE(w.width(), screen.width());
    EXPECT_LE(w.height(), screen.height());
    window.reset();
    RegFileRegistry reg(settingsFile());
    EXPECT_LE(qint32(*reg.readDword(kSettingsBase + "FmPrincipale", "Larghezza")), screen.width());
    EXPECT_GE(qint32(*reg.readDword(kSettingsBase + "FmPrincipale", "Sinistra")), screen.left());

    // The fitting itself, at the edges of what a stored value can hold.
    const QRect area(0, 0, 1024, 768);
    struct Case {
        QPoint at;
        qint64 width, height;
        QRect fitted;
    } cases[] = {
        {{50, 50}, 400, 250, {50, 50, 400, 250}},
        {{INT_MAX, INT_MAX}, INT_MAX, INT_MAX, {0, 0, 1024, 768}},
        {{INT_MIN, INT_MIN}, 0, INT_MIN, {0, 0, 300, 200}},
        {{1000, 700}, 400, 250, {624, 518, 400, 250}},
    };
    for (const Case& k : cases)
        EXPECT_EQ(fitToArea(k.at, k.width, k.height, QSize(300, 200), area), k.fitted) << k.at.x();
}

// ---- the folder tree and its folder commands (new, rename, delete) ----

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
    EXPECT_EQ(messageOf(&TfrmPrincipale::Nuovacartella1Click).text, "Folder creation failed!");
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

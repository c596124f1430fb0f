// The main window: texts of both languages, keys, menus, the error handler,
// and the settings written on exit.
#include "app/application.h"
#include "app/help_window.h"
#include "app/main_window.h"
#include "platform/settings.h"
#include "app/splash_screen.h"
#include "platform/registry.h"
#include "fs/file_sys_monitor.h"

#include "testutil.h"

#include <QLabel>
#include <QListView>
#include <QScrollBar>
#include <QStatusBar>
#include "platform/errors.h"
#include <QMenu>
#include <QSignalSpy>
#include <QSplitter>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <gtest/gtest.h>
#include <climits>
#include <memory>

QApplication* qvtestCreateApplication(int& argc, char** argv) { return new QuorvelApplication(argc, argv); }

namespace {

const QString kBase = "Software\\Morwenly\\Quorvel\\1.5\\";

void addPicture(TfrmPrincipale& w, const QString& path)
{
    w.catalogue().model().addItem({path.section('/', -1).toUpper(), 0, {path, "", "", "0", "", "0"}});
}

// Each test gets its own settings file and a fresh record.
class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_oldConfig = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", m_dir.path().toUtf8());
        Configurazione = TConfigurazione{};
        setErrorPresenter([this](const QString& title, const QString& text) {
            m_shownTitle = title;
            m_shown << text;
        });
    }
    void TearDown() override
    {
        m_window.reset();
        qputenv("XDG_CONFIG_HOME", m_oldConfig);
    }
    QString regFile() const { return m_dir.path() + "/quorvel/registry.reg"; }
    void writeSettings(const QString& body)
    {
        QDir().mkpath(m_dir.path() + "/quorvel");
        qvtest::writeFile(regFile(), ("Windows Registry Editor Version 5.00\n\n" + body).toUtf8());
    }
    TfrmPrincipale& open()
    {
        m_window = std::make_unique<TfrmPrincipale>();
        m_window->show();
        m_window->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(m_window.get()));
        return *m_window;
    }

    QTemporaryDir m_dir;
    QByteArray m_oldConfig;
    std::unique_ptr<TfrmPrincipale> m_window;
    QStringList m_shown;
    QString m_shownTitle;
};

} // namespace

TEST_F(MainWindowTest, EnglishByDefaultWithItsShortcuts)
{
    TfrmPrincipale& w = open();
    EXPECT_EQ(w.File1->title(), "&File");
    EXPECT_EQ(w.LeggiDirectory1->text(), "&Read directory");
    EXPECT_EQ(w.Apriimmagine1->text(), "&Show image");
    EXPECT_EQ(w.CopiaInAppunti->text(), "Copy filename to Cipboard");
    EXPECT_EQ(w.Rinominaimmagine2->text(), "Rename image");
    EXPECT_EQ(w.EscidaQuorvel2->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_X));
    EXPECT_EQ(w.Informazioni2->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_A));
    EXPECT_EQ(w.Cancellaimmagine1->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Delete));
    EXPECT_EQ(w.LeggiDirectory1->shortcut(), QKeySequence(Qt::Key_F4));
    EXPECT_EQ(w.tbtRuota180->toolTip(), "Rotate 180°");
    EXPECT_EQ(w.SpeedButton8->toolTip(), "Delete image");
    EXPECT_TRUE(w.helpFileName().endsWith("/QVENG.HLP"));
    EXPECT_EQ(w.windowTitle(), "Quorvel");
    EXPECT_EQ(w.findChild<QLabel*>("StatusPanel0")->text(), "There are 0 pictures in the list");
}

TEST_F(MainWindowTest, ItalianSettingGivesEveryItalianText)
{
    writeSettings("[HKEY_CURRENT_USER\\Software\\Morwenly\\Quorvel\\1.5\\Generali]\n\"Lingua\"=\"ITALIANO\"\n");
    TfrmPrincipale& w = open();
    EXPECT_EQ(w.Modifica1->title(), "&Modifica");
    EXPECT_EQ(w.Mostraproprietimmagine1->text(), "&Mostra proprietà immagine");
    EXPECT_EQ(w.Rinominaimmagine2->text(), "&Rinomina immagine");
    EXPECT_EQ(w.Impostasfondo1->text(), "Imposta come sfondo di &Windows");
    EXPECT_EQ(w.Cancellacartella->text(), "Cancella Cartella");
    EXPECT_EQ(w.EscidaQuorvel2->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_E));
    EXPECT_EQ(w.Informazioni2->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_I));
    EXPECT_EQ(w.tbtScalaGrigi->toolTip(), "Converti in tonalità di grigio");
    EXPECT_EQ(w.tbOpen->toolTip(), "Apri l'immagine");
    EXPECT_TRUE(w.helpFileName().endsWith("/QVITA.HLP"));
    EXPECT_EQ(w.texts().msgLoading, "Carico il file %s");
    EXPECT_EQ(w.findChild<QLabel*>("StatusPanel0")->text(), "La lista contiene 0 immagini");
}

TEST_F(MainWindowTest, CountPanelHoldsAFiveDigitCountInEitherLanguage)
{
    const QLabel* panel = open().findChild<QLabel*>("StatusPanel0");
    for (const char* text : {"There are 88888 pictures in the list", "La lista contiene 88888 immagini"})
        EXPECT_GE(panel->contentsRect().width(), panel->fontMetrics().horizontalAdvance(text)) << text;
}

TEST(TextTables, NoTextMissingOrSwapped)
{
    const MainWindowTexts& it = italianMainWindowTexts();
    const MainWindowTexts& en = englishMainWindowTexts();
    // Texts that differ between the languages must not be equal (a copy or a swap shows).
    const QString MainWindowTexts::* differing[] = {
        &MainWindowTexts::LeggiDirectory1, &MainWindowTexts::Apriimmagine1, &MainWindowTexts::Mostraproprietimmagine1,
        &MainWindowTexts::Rinominaimmagine2, &MainWindowTexts::Cancellaimmagine1, &MainWindowTexts::Confrontaimmagini1,
        &MainWindowTexts::EscidaQuorvel2, &MainWindowTexts::Modifica1, &MainWindowTexts::CopiaInAppunti,
        &MainWindowTexts::Impostasfondo1, &MainWindowTexts::Cancellalalista1, &MainWindowTexts::Abilita1,
        &MainWindowTexts::Visualizza1, &MainWindowTexts::Sommario1, &MainWindowTexts::Informazioni2,
        &MainWindowTexts::Nuovacartella1, &MainWindowTexts::RinominaCartella, &MainWindowTexts::Cancellacartella,
        &MainWindowTexts::hintOpen, &MainWindowTexts::hintDelete, &MainWindowTexts::hintRotate180,
        &MainWindowTexts::helpFile, &MainWindowTexts::msgFileName, &MainWindowTexts::msgLoading,
        &MainWindowTexts::msgFolderNotDeleted, &MainWindowTexts::msgNewFolder,
        &MainWindowTexts::msgFolderNotCreated};
    for (auto m : differing) {
        EXPECT_FALSE((it.*m).isEmpty());
        EXPECT_FALSE((en.*m).isEmpty());
        EXPECT_NE(it.*m, en.*m) << (en.*m).toStdString();
    }
    EXPECT_EQ(it.Slideshow1, en.Slideshow1);
    EXPECT_EQ(en.msgFolderNotDeleted, "Folder cannot be deleted.\rCheck it's empty and deletable.");
    EXPECT_EQ(it.msgDimensions, "Dimensioni in pixel dell'immagine: %s");
    EXPECT_EQ(en.msgFileSize, "Size of file: %s byte");
    EXPECT_EQ(formatS(en.msgLoading, "/A.JPG"), "Loading file /A.JPG");
}

TEST_F(MainWindowTest, LanguagePrefixAndUnknownValues)
{
    // Texts test the prefix, the help file and the error message the exact name.
    writeSettings("[HKEY_CURRENT_USER\\Software\\Morwenly\\Quorvel\\1.5\\Generali]\n\"Lingua\"=\"ITALIANO2\"\n");
    TfrmPrincipale& w = open();
    EXPECT_EQ(w.Modifica1->title(), "&Modifica");
    EXPECT_TRUE(w.helpFileName().endsWith("/QVENG.HLP"));
    runGuarded([] { throw QvError("boom"); });
    ASSERT_EQ(m_shown.size(), 1);
    EXPECT_TRUE(m_shown[0].startsWith("Exception unhandled: boom\n"));

    Configurazione.Lingua = "";
    w.ApplicaConfigurazione();
    EXPECT_EQ(w.Modifica1->title(), "&Edit");
    EXPECT_TRUE(w.helpFileName().endsWith("/QVENG.HLP"));
}

TEST_F(MainWindowTest, ErrorInACommandIsShownAndTheWindowGoesOn)
{
    TfrmPrincipale& w = open();
    // A failing command, wired as the window wires its own, reached by a real click.
    w.connectCommand(w.SpeedButton7, &QToolButton::clicked, [] { throw QvError("Bad data"); });
    QTest::mouseClick(w.SpeedButton7, Qt::LeftButton);
    ASSERT_EQ(m_shown.size(), 1);
    EXPECT_EQ(m_shownTitle, "Quorvel");
    EXPECT_TRUE(m_shown[0].startsWith("Exception unhandled: Bad data"));
    EXPECT_TRUE(m_shown[0].contains("Send an E-Mail to"));
    EXPECT_TRUE(m_shown[0].contains("describing the sequence of operations that raised the exception"));

    Configurazione.Lingua = "ITALIANO";
    QTest::mouseClick(w.SpeedButton7, Qt::LeftButton);
    ASSERT_EQ(m_shown.size(), 2);
    EXPECT_TRUE(m_shown[1].startsWith("Eccezione non gestita: Bad data"));

    // Still working: the picture toolbar switch answers.
    QTest::mouseClick(w.SpeedButton7, Qt::LeftButton);
    w.Abilita1->trigger();
    EXPECT_TRUE(w.tbElaborazioni->isVisible());
    EXPECT_TRUE(w.Abilita1->isChecked());
    w.Abilita1->trigger();
    EXPECT_FALSE(w.tbElaborazioni->isVisible());
    EXPECT_FALSE(w.Abilita1->isChecked());
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
        addPicture(w, QString("/p/item%1.jpg").arg(i, 3, 10, QLatin1Char('0')));
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

TEST_F(MainWindowTest, F1ShowsTheHelpOfTheLanguage)
{
    writeSettings("[HKEY_CURRENT_USER\\Software\\Morwenly\\Quorvel\\1.5\\Generali]\n\"Lingua\"=\"ITALIANO\"\n");
    TfrmPrincipale& w = open();
    QTest::keyClick(w.ListView1, Qt::Key_F1);
    ASSERT_NE(w.helpWindow(), nullptr);
    EXPECT_TRUE(w.helpWindow()->isVisible());
    EXPECT_TRUE(w.helpWindow()->currentFile().endsWith("QVITA.HLP"));
    EXPECT_TRUE(w.helpWindow()->toPlainText().contains("Leggere una cartella"));
}

TEST_F(MainWindowTest, MenusEnableByTheSelectionAndTheFocus)
{
    TfrmPrincipale& w = open();
    addPicture(w, "/p/a.jpg");
    ThumbnailListModel* model = &w.catalogue().model();
    emit w.File1->aboutToShow();
    EXPECT_FALSE(w.Apriimmagine1->isEnabled());
    EXPECT_FALSE(w.Rinominaimmagine2->isEnabled());
    w.ListView1->selectionModel()->select(model->index(0, 0), QItemSelectionModel::Select);
    emit w.File1->aboutToShow();
    EXPECT_TRUE(w.Mostraproprietimmagine1->isEnabled());
    EXPECT_TRUE(w.Cancellaimmagine1->isEnabled());

    w.ListView1->setFocus();
    emit w.PopupMenu981->aboutToShow();
    EXPECT_TRUE(w.Mostraproprietimmagine2->isEnabled());
    EXPECT_FALSE(w.Nuovacartella1->isVisible());
    EXPECT_FALSE(w.BarraNuovaCartella->isVisible());
    w.SystemTreeView1->setFocus();
    emit w.PopupMenu981->aboutToShow();
    EXPECT_TRUE(w.Nuovacartella1->isVisible());
    EXPECT_TRUE(w.RinominaCartella->isVisible());
    EXPECT_TRUE(w.Cancellacartella->isVisible());
}

TEST_F(MainWindowTest, ExitWithCtrlXWritesEverySetting)
{
    writeSettings("[HKEY_CURRENT_USER\\Software\\Morwenly\\Quorvel\\1.5\\Thumb]\n"
                  "\"Dimensione\"=dword:00000007\n\"SvuotaLista\"=dword:00000005\n"
                  "[HKEY_CURRENT_USER\\Software\\Morwenly\\Quorvel\\1.5\\Generali]\n\"Lingua\"=\"KLINGON\"\n"
                  "[HKEY_CURRENT_USER\\Software\\Foreign]\n\"Other\"=dword:0000002a\n");
    TfrmPrincipale& w = open();
    QSignalSpy quit(qApp, &QCoreApplication::aboutToQuit);
    QTest::keyClick(w.ListView1, Qt::Key_X, Qt::ControlModifier);
    w.resize(640, 480);
    const int width = w.width();
    m_window.reset(); // the window's destruction saves

    RegFileRegistry reg(regFile());
    EXPECT_EQ(reg.readDword(kBase + "Thumb", "Dimensione"), 7u);
    EXPECT_EQ(reg.readDword(kBase + "Thumb", "SvuotaLista"), 1u);
    EXPECT_EQ(reg.readString(kBase + "Generali", "Lingua"), QString("KLINGON"));
    EXPECT_EQ(reg.readDword("Software\\Foreign", "Other"), 42u);
    EXPECT_EQ(reg.readDword(kBase + "FmPrincipale", "Larghezza"), quint32(width));
    for (const char* key : {"Thumb", "OpzioniJPG", "FmPrincipale", "SlideShow", "Generali", "BkTool"})
        EXPECT_TRUE(reg.keyExists(kBase + key)) << key;
    EXPECT_EQ(reg.readDword(kBase + "BkTool", "ImgSfondoToolbar"), 1u);
}

TEST_F(MainWindowTest, SplitterChangesOnlyTheTreeSize)
{
    writeSettings("[HKEY_CURRENT_USER\\Software\\Morwenly\\Quorvel\\1.5\\FmPrincipale]\n"
                  "\"Larghezza\"=dword:00000258\n\"LarghezzaFTree\"=dword:000000b4\n");
    TfrmPrincipale& w = open();
    QCoreApplication::processEvents();
    EXPECT_EQ(w.SystemTreeView1->width(), 180); // restored from the settings
    const TConfigurazione before = Configurazione;
    w.Splitter1->setSizes({250, 300});
    emit w.Splitter1->splitterMoved(250, 1);
    EXPECT_EQ(Configurazione.LarghezzaFTree, w.SystemTreeView1->width());
    EXPECT_NE(Configurazione.LarghezzaFTree, before.LarghezzaFTree);
    EXPECT_EQ(Configurazione.Larghezza, before.Larghezza);
    EXPECT_EQ(Configurazione.Alto, before.Alto);
}

TEST_F(MainWindowTest, LayoutAndDockBackground)
{
    writeSettings("[HKEY_CURRENT_USER\\Software\\Morwenly\\Quorvel\\1.5\\BkTool]\n\"ImgSfondoToolbar\"=dword:00000000\n");
    TfrmPrincipale& w = open();
    EXPECT_FALSE(w.Dock971->hasBackground());
    EXPECT_EQ(w.Splitter1->handleWidth(), 6);
    EXPECT_EQ(w.StatusBar1->height(), 30);
    EXPECT_EQ(w.findChild<QLabel*>("StatusPanel1")->width(), 350);
    EXPECT_FALSE(w.tbElaborazioni->isVisible());
    EXPECT_EQ(qobject_cast<QListView*>(w.ListView1)->viewMode(), QListView::IconMode);
    EXPECT_EQ(w.ListView1->selectionMode(), QAbstractItemView::ExtendedSelection);
    Configurazione.ImgSfondoToolbar = true;
    w.ApplicaConfigurazione();
    EXPECT_TRUE(w.Dock971->hasBackground());
    // Shortened status texts: a long path keeps its file name within 200 pixels.
    const QString s = w.shortPath("/home/someone/a/very/long/folder/name/for/testing/picture.jpg");
    EXPECT_TRUE(s.endsWith("picture.jpg"));
    EXPECT_TRUE(s.contains("..."));
}

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
} // namespace

TEST_F(MainWindowTest, ErrorsThatEscapeAHandlerReachTheApplicationMessage)
{
    Failing f;
    QEvent e(QEvent::User);
    QCoreApplication::sendEvent(&f, &e);
    ASSERT_EQ(m_shown.size(), 1);
    EXPECT_TRUE(m_shown[0].startsWith("Exception unhandled: Not a TIF file"));
}

TEST(SplashScreen, ClosesOnlyAfterItsTimerFired)
{
    TfrmSplashScreen splash;
    splash.show();
    EXPECT_EQ(splash.size(), QSize(392, 273));
    EXPECT_FALSE(splash.close());
    EXPECT_TRUE(splash.isVisible());
    EXPECT_TRUE(QTest::qWaitFor([&] { return splash.timerFired(); }, 5000));
    EXPECT_TRUE(splash.close());
}

// ---- commands that meet while a read runs, the exit, damaged settings ----------------------

namespace {

void savePictures(const QString& folder, const QStringList& names)
{
    QImage img(24, 16, QImage::Format_RGB32);
    img.fill(Qt::darkCyan);
    for (const QString& n : names)
        ASSERT_TRUE(img.save(folder + "/" + n, "BMP"));
}

int loadedCount(TfrmPrincipale& w)
{
    int n = 0;
    for (int r = 0; r < w.catalogue().model().count(); ++r)
        n += w.catalogue().model().item(r).SubItems[SubLoaded] == "1";
    return n;
}

// Runs the message loop until the program asks to end (0), or gives up (3).
int runUntilExit()
{
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(3); });
    guard.start(60000);
    return QCoreApplication::exec();
}

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

} // namespace

TEST_F(MainWindowTest, ReadCommandsNeverNestEscStopsTheReadAndExitEndsIt)
{
    QTemporaryDir pics;
    QStringList names;
    for (int i = 0; i < 40; ++i)
        names << QString("p%1.bmp").arg(i, 2, 10, QLatin1Char('0'));
    savePictures(pics.path(), names);
    TfrmPrincipale& w = open();
    w.SystemTreeView1Change(pics.path());

    // F4 and F5 pressed inside the read are refused; Esc then stops it.
    QTimer::singleShot(0, [&] {
        QTest::keyClick(w.ListView1, Qt::Key_F4);
        QTest::keyClick(w.ListView1, Qt::Key_F5);
        QTest::keyClick(w.ListView1, Qt::Key_Escape);
    });
    QTest::keyClick(w.ListView1, Qt::Key_F4);
    EXPECT_EQ(w.catalogue().model().count(), 40);
    EXPECT_LT(loadedCount(w), 5);

    // Ctrl+X inside a read stops it and ends the program at once.
    QTimer::singleShot(0, [&] {
        QTimer::singleShot(0, [&] { QTest::keyClick(w.ListView1, Qt::Key_X, Qt::ControlModifier); });
        QTest::keyClick(w.ListView1, Qt::Key_F4);
    });
    EXPECT_EQ(runUntilExit(), 0);
    EXPECT_LT(loadedCount(w), 5);
}

TEST_F(MainWindowTest, ExitGoesOnPastFailedStepsAndStopsForAWindowKeptOpen)
{
    QTemporaryDir pics;
    savePictures(pics.path(), {"a.bmp"});
    QDir(pics.path()).mkdir("qvthimgs.thi"); // the cache cannot be written there
    writeSettings("[HKEY_CURRENT_USER\\Software\\Morwenly\\Quorvel\\1.5\\Thumb]\n\"SalvaThumb\"=dword:00000001\n");
    TfrmPrincipale& w = open();
    w.SystemTreeView1Change(pics.path());
    w.TransparentButton1Click();
    ASSERT_EQ(w.catalogue().model().count(), 1);

    OtherWindow other;
    other.show();
    EXPECT_FALSE(w.exitProgram()); // kept open: the program goes on
    EXPECT_TRUE(other.isVisible());

    other.fail = true;
    QTimer::singleShot(0, [&] { QTest::keyClick(w.ListView1, Qt::Key_X, Qt::ControlModifier); });
    EXPECT_EQ(runUntilExit(), 0);
    ASSERT_EQ(m_shown.size(), 1); // the failing window; the unwritable folder is no error
    EXPECT_TRUE(m_shown[0].contains("Cannot close the window"));
    m_window.reset();
    EXPECT_TRUE(RegFileRegistry(regFile()).keyExists(kBase + "FmPrincipale"));
}

TEST_F(MainWindowTest, F5AndTheCacheFollowTheFolderTheListWasReadFrom)
{
    QTemporaryDir a, b, c;
    savePictures(a.path(), {"one.bmp"});
    savePictures(b.path(), {"x.bmp", "y.bmp"});
    writeSettings("[HKEY_CURRENT_USER\\Software\\Morwenly\\Quorvel\\1.5\\Thumb]\n\"SalvaThumb\"=dword:00000001\n");
    TfrmPrincipale& w = open();
    w.SystemTreeView1Change(a.path());
    QTest::keyClick(w.ListView1, Qt::Key_F4);
    w.SystemTreeView1Change(b.path()); // leaving the folder read writes its cache
    EXPECT_TRUE(QFile::exists(a.path() + "/qvthtxts.tht"));

    savePictures(a.path(), {"two.bmp"});
    QTest::keyClick(w.ListView1, Qt::Key_F5);
    QStringList paths = w.catalogue().model().paths();
    paths.sort();
    EXPECT_EQ(paths, QStringList({a.path() + "/one.bmp", a.path() + "/two.bmp"}));

    // Neither leaving nor F11 in a folder the list was not read from writes a cache there.
    QTest::keyClick(w.ListView1, Qt::Key_F11);
    w.SystemTreeView1Change(c.path());
    EXPECT_FALSE(QFile::exists(b.path() + "/qvthtxts.tht"));
    EXPECT_FALSE(QFile::exists(b.path() + "/qvthimgs.thi"));
}

TEST_F(MainWindowTest, FailedCacheReadLeavesTheCountRightAndTheMonitorOn)
{
    QTemporaryDir pics;
    savePictures(pics.path(), {"a.bmp", "b.bmp", "c.bmp"});
    qvtest::writeFile(pics.path() + "/qvthimgs.thi", QByteArray(3000, 'x'));
    qvtest::writeFile(pics.path() + "/qvthtxts.tht", "2\r\n0\r\n");
    TfrmPrincipale& w = open();
    w.SystemTreeView1Change(pics.path());
    QTest::keyClick(w.ListView1, Qt::Key_F4);
    ASSERT_EQ(w.catalogue().model().count(), 3);
    QTest::keyClick(w.ListView1, Qt::Key_F11, Qt::ShiftModifier);
    EXPECT_TRUE(m_shown.isEmpty());
    EXPECT_EQ(w.catalogue().model().count(), 0);
    EXPECT_EQ(w.findChild<QLabel*>("StatusPanel0")->text(), "There are 0 pictures in the list");
    EXPECT_EQ(w.findChild<QLabel*>("StatusPanel1")->text(), "Thumbnail cache damaged: not loaded");
    EXPECT_TRUE(w.FileSysMonitor2->Active());
}

TEST_F(MainWindowTest, GeometryFromDamagedSettingsFitsTheScreen)
{
    writeSettings("[HKEY_CURRENT_USER\\Software\\Morwenly\\Quorvel\\1.5\\FmPrincipale]\n"
                  "\"Alto\"=dword:7fffffff\n\"Sinistra\"=dword:80000000\n\"Larghezza\"=dword:7fffffff\n"
                  "\"Altezza\"=dword:7fffffff\n\"LarghezzaFTree\"=dword:80000000\n");
    TfrmPrincipale& w = open();
    const QRect screen = w.screen()->availableGeometry();
    EXPECT_TRUE(screen.contains(w.geometry().topLeft())) << w.geometry().x() << "," << w.geometry().y();
    EXPECT_LE(w.width(), screen.width());
    EXPECT_LE(w.height(), screen.height());
    m_window.reset();
    RegFileRegistry reg(regFile());
    EXPECT_LE(qint32(*reg.readDword(kBase + "FmPrincipale", "Larghezza")), screen.width());
    EXPECT_GE(qint32(*reg.readDword(kBase + "FmPrincipale", "Sinistra")), screen.left());

    // The fitting itself, at the edges of what a stored value can hold.
    const QRect area(0, 0, 1024, 768);
    const QSize minimum(300, 200);
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
        EXPECT_EQ(fitToArea(k.at, k.width, k.height, minimum, area), k.fitted) << k.at.x();
}

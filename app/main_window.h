// The main window: folder tree, thumbnail list, menus, toolbars and status bar.
#pragma once
#include "app/application.h"
#include "app/help_window.h"
#include "app/texts.h"
#include "catalogue/thumbnail_catalogue.h"
#include "fs/system_tree_view.h" // SystemTreeView1 is used by the window's users
#include "ui/thumbnail_list_view.h"

#include <QElapsedTimer>
#include <QMainWindow>
#include <QPointer>
#include <functional>
#include <memory>
#include <vector>

class QAction;
class QLabel;
class QListView;
class QMenu;
class QSplitter;
class QStatusBar;
class QToolBar;
class QToolButton;
class TSleeper;
class QVBoxLayout;
class TFileLabel;
class TFileOperation;
class QDrag;
class QTimer;
enum class PictureEdit;


// The toolbar dock: holds the toolbars in rows and paints the background bitmap.
class ToolbarDock : public QWidget {
    Q_OBJECT
public:
    explicit ToolbarDock(QWidget* parent = nullptr);
    void addBar(QToolBar* bar);
    void setBackground(const QPixmap& pixmap);
    bool hasBackground() const { return !m_background.isNull(); }

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    QVBoxLayout* m_rows;
    QPixmap m_background;
};

class TFileSysMonitor;
class EFileSysMonitor;

class TfrmPrincipale : public QMainWindow, public CatalogueHost {
    Q_OBJECT
public:
    explicit TfrmPrincipale(QWidget* parent = nullptr);
    ~TfrmPrincipale() override; // FormDestroy

    void ApplicaConfigurazione();
    void TestiItaliano();
    void TestiInglese();
    const MainWindowTexts& texts() const { return *m_texts; }

    // Shortens a path to the hidden 200-pixel label's width.
    QString shortPath(const QString& path);
    // Writes the window's and the tree's geometry into the settings.
    void storeGeometry();

    // Commands (menus, toolbar buttons, keys).
    void TransparentButton1Click();  // read folder
    void ListView1DblClick();        // open the selected pictures
    void SpeedButton7Click();        // properties
    void tbRinominaClick();          // rename picture
    void SpeedButton8Click();        // delete pictures
    void CopiaInAppuntiClick();
    void Impostasfondo1Click();      // wallpaper
    void btSlideshowClick();
    void Confrontaimmagini1Click();
    void Nuovacartella1Click();
    void RinominaCartellaClick();
    void CancellacartellaClick();
    void SpeedButton10Click();       // help contents
    void Informazioni1Click();       // about
    void Visualizza1Click();         // options
    void Abilita1Click();            // picture toolbar on or off
    void EscidaQuorvel1Click();      // exit
    // The picture edits on the viewer activated last (nothing without one).
    void tbtRiflettiOrizClick();
    void tbtRiflettiVertClick();
    void tbtRuotaDestraClick();
    void tbtRuotaSinistraClick();
    void tbtRuota180Click();
    void tbtSchiarisciClick();
    void tbtScurisciClick();
    void tbtScalaGrigiClick();
    // The exit: false when another window kept itself open (the program goes on).
    bool exitProgram();
    void Cancellalalista1Click();    // empty the list
    void CompletaLista();            // F5
    void cacheKeyF11(bool shift);    // F11: save the cache, Shift+F11 load it

    // Sets every command's enabled state from the selection and the windows this build has.
    void updateCommandStates();
    // The dialogs the commands reuse, made once with the window.
    class TAboutBox* AboutBox = nullptr;
    class TfrmOpzioni* optionsDialog = nullptr;
    class TfrmRinomina* renameDialog = nullptr;

    void AggiornaConteggio();
    void SystemTreeView1Change(const QString& newPath);
    // A change reported by the monitor of the folder read last. Reports come
    // in bursts while files are written; the list is brought in step once
    // they pause (refreshWatchedFolder).
    void FileSysMonitor2FileSysChange(const QString& directory);
    // Lists the watched folder again and adds or removes items (monitor off meanwhile).
    void refreshWatchedFolder();
    // The watch ended with an error (its folder deleted or moved away): the list is marked as
    // not followed, and followed again once the folder is back or read again.
    void monitorFailed(const EFileSysMonitor& error);

    // Dragging thumbnails onto the folder tree.
    Qt::DropAction ListView1StartDrag(QDrag* drag, const QModelIndexList& items);
    void ListView1EndDrag() {}
    bool SystemTreeView1DragOver(QObject* source, const QPoint& pos);
    void SystemTreeView1DragDrop(QObject* source, const QPoint& pos);
    // The paths (sub-text 0) of the selected items, in selection order.
    QStringList selectedPaths() const;

    // Main-window state shared with the commands.
    QString CartellaCorrente;
    QPointer<QWidget> ActiveViewer;
    // The thumbnail list, its loaded paths and its stop flag (Interrompi).
    ThumbnailCatalogue& catalogue() { return *m_catalogue; }
    TFileSysMonitor* FileSysMonitor2 = nullptr;
    TFileOperation* FileOperation1 = nullptr;

    // What the catalogue asks of the window.
    void setStatusText(int panel, const QString& text) override;
    QString shortenPath(const QString& path, int width) override;
    void processEvents() override;
    void setWaitCursor(bool on) override;
    void setMonitorActive(bool on) override;
    void setMonitoredFolder(const QString& folder) override;
    void imageListChanged(ImageList* list) override;

    // Handles one key as the window's key preview does; true when consumed.
    bool FormKeyDown(int key, Qt::KeyboardModifiers modifiers);

    // Connects a control's signal to a command; what the command throws goes
    // to the application-wide error message and the window goes on.
    template <typename Sender, typename Signal>
    void connectCommand(Sender* sender, Signal signal, std::function<void()> command)
    {
        connect(sender, signal, this, [command = std::move(command)] { runGuarded(command); });
    }

    HelpWindow* helpWindow() const { return m_help; }
    QString helpFileName() const { return m_helpFile; }

protected:
    void closeEvent(QCloseEvent* e) override;   // FormClose
    void resizeEvent(QResizeEvent* e) override; // FormResize
    void moveEvent(QMoveEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void setUpCommands();
    void createToolbars();
    void createFolderTree();
    void createThumbnailList();
    void createMenus();
    void createStatusBar();
    void createComponents();
    void applyTexts(const MainWindowTexts& t);
    void File1Click();
    void PopupMenu1Popup();
    void Splitter1Moved();
    void showPopup(QWidget* from, const QPoint& pos);
    QAction* makeAction(const char* name, void (TfrmPrincipale::*slot)());
    QToolButton* makeToolButton(QToolBar* bar, const char* name, const char* glyph,
                                void (TfrmPrincipale::*slot)());
    bool hasSelection() const;
    // True, with a beep, while a read or cache step runs (commands never nest).
    bool refusedWhileBusy();
    // The image list of Dimensione, once no read runs.
    void applyThumbnailSize();
    void showFolderMessage(const QString& text);
    void editActiveViewer(PictureEdit edit);
    // The thumbnail of an item made from a picture already decoded (a viewer's).
    void makeThumbnailFromPicture(const QString& path, const QImage& picture);
    void followLostFolder(const QString& folder);

    const MainWindowTexts* m_texts = nullptr;
    bool m_resizeAttached = false;
    bool m_exiting = false;
    bool m_monitorPointed = false; // the monitor watches a folder that was read
    std::vector<std::unique_ptr<class WaitCursor>> m_waitCursors; // one per setWaitCursor(true)
    QString m_helpFile;
    // The folder refresh waits for a pause in the monitor's reports.
    QTimer* m_changeTimer = nullptr;
    QString m_changedFolder;
    QElapsedTimer m_firstChange; // since the first report of a burst
    QPointer<HelpWindow> m_help;

public:
    // Controls, by the names the commands and tests use.
    ToolbarDock* Dock971 = nullptr;
    QToolBar* Toolbar971 = nullptr;
    QToolBar* tbElaborazioni = nullptr;
    TSystemTreeView* SystemTreeView1 = nullptr;
    TSleeper* Sleeper1 = nullptr;
    QSplitter* Splitter1 = nullptr;
    ThumbnailListView* ListView1 = nullptr;
    ThumbnailCatalogue* m_catalogue = nullptr;
    class ThumbnailDelegate* m_thumbDelegate = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    QLabel* m_panels[3] = {};
    TFileLabel* FLabelConvert = nullptr;
    QMenuBar* MainMenu1 = nullptr;
    QMenu* File1 = nullptr;
    QMenu* Modifica1 = nullptr;
    QMenu* HelpInLinea = nullptr;
    QMenu* PopupMenu981 = nullptr;
    QAction *LeggiDirectory1, *Apriimmagine1, *Mostraproprietimmagine1, *Rinominaimmagine2,
        *Cancellaimmagine1, *Confrontaimmagini1, *Slideshow1, *EscidaQuorvel2, *CopiaInAppunti,
        *Impostasfondo1, *Abilita1, *Cancellalalista1, *Visualizza1, *Sommario1, *Informazioni2;
    QAction *Leggidirectory2, *Apriimmagine2, *Mostraproprietimmagine2, *Rinominaimmagine1,
        *Cancellaimmagine2, *Slideshow2, *BarraNuovaCartella, *Nuovacartella1, *RinominaCartella,
        *Cancellacartella;
    QToolButton *TransparentButton1, *tbOpen, *SpeedButton7, *tbRinomina, *SpeedButton8, *btSlideshow,
        *SpeedButton10, *tbExit;
    QToolButton *tbtRiflettiOriz, *tbtRiflettiVert, *tbtRuotaDestra, *tbtRuotaSinistra, *tbtRuota180,
        *tbtSchiarisci, *tbtScurisci, *tbtScalaGrigi;
};

// A window rectangle from stored values, fitted to the available area of the
// screen they name (or the primary screen): inside it, no larger than it, no
// smaller than `minimum` where the area allows.
QRect fitToScreen(QPoint topLeft, qint64 width, qint64 height, QSize minimum);
QRect fitToArea(QPoint topLeft, qint64 width, qint64 height, QSize minimum, const QRect& area);

// The width the status bar's count panel needs for the longest count text of
// either language at its font.
int countPanelWidth(QLabel* panel);

// Replaces the first "%s" of a message text by the argument.
QString formatS(const QString& message, const QString& arg);

// The main window: layout, menus, texts, settings application and keys.
#include "app/main_window.h"

#include "app/about_box.h"
#include "app/application.h"
#include "app/help_window.h"
#include "platform/interface_language.h"
#include "platform/settings.h"
#include "platform/wait_cursor.h"
#include "catalogue/startup_objects.h"
#include "catalogue/thumbnail_geometry.h"
#include "fs/file_operation.h"
#include "fs/file_sys_monitor.h"
#include "fs/file_sys_monitor_sleeper.h"
#include "fs/system_tree_view.h"
#include "ui/file_label.h"
#include "ui/thumbnail_delegate.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

QString formatS(const QString& message, const QString& arg)
{
    QString out = message;
    const qsizetype p = out.indexOf(QLatin1String("%s"));
    if (p >= 0)
        out.replace(p, 2, arg);
    return out;
}

// ---- ToolbarDock ------------------------------------------------------------

ToolbarDock::ToolbarDock(QWidget* parent) : QWidget(parent)
{
    m_rows = new QVBoxLayout(this);
    m_rows->setContentsMargins(2, 2, 2, 2);
    m_rows->setSpacing(1);
    setMinimumHeight(30);
}

void ToolbarDock::addBar(QToolBar* bar)
{
    // Each toolbar takes a row of its own, at the row's start.
    m_rows->addWidget(bar, 0, Qt::AlignLeft);
}

void ToolbarDock::setBackground(const QPixmap& pixmap)
{
    m_background = pixmap;
    update();
}

void ToolbarDock::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    if (!m_background.isNull())
        p.drawTiledPixmap(rect(), m_background);
    else
        p.fillRect(rect(), palette().window());
}

// ---- TfrmPrincipale ---------------------------------------------------------

TfrmPrincipale::TfrmPrincipale(QWidget* parent) : QMainWindow(parent)
{
    setObjectName("frmPrincipale");
    setWindowTitle(QStringLiteral("Quorvel"));
    setWindowIcon(QIcon(":/GLYPH_OPEN"));
    startupObjects(); // already made by the program entry; harmless here

    auto* central = new QWidget(this);
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    Dock971 = new ToolbarDock(central);
    Dock971->setObjectName("Dock971");
    column->addWidget(Dock971);
    createToolbars();

    Splitter1 = new QSplitter(Qt::Horizontal, central);
    Splitter1->setObjectName("Splitter1");
    Splitter1->setHandleWidth(6);
    Splitter1->setChildrenCollapsible(false);
    column->addWidget(Splitter1, 1);
    createFolderTree();
    createThumbnailList();
    Splitter1->setStretchFactor(1, 1);
    connect(Splitter1, &QSplitter::splitterMoved, this, [this] { Splitter1Moved(); });

    setCentralWidget(central);
    createMenus();
    SystemTreeView1->setPopupMenu(PopupMenu981);
    createStatusBar();
    createComponents();

    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { showPopup(this, pos); });

    qApp->installEventFilter(this); // the window sees its keys before its controls
    setUpCommands();
    FormCreate();
    SystemTreeView1->Loaded(); // lists the desktop
}

void TfrmPrincipale::createFolderTree()
{
    SystemTreeView1 = new TSystemTreeView(Splitter1);
    SystemTreeView1->setObjectName("SystemTreeView1");
    SystemTreeView1->setCursor(Qt::PointingHandCursor);
    SystemTreeView1->setIndentation(19);
    SystemTreeView1->setOnError([](const QString& message) { handleUncaughtError(message); });
    connect(SystemTreeView1, &TSystemTreeView::Change, this, [this](QTreeWidgetItem* node) {
        runGuarded([&] { SystemTreeView1Change(SystemTreeView1->GetNodePath(node)); });
    });

    SystemTreeView1->setOnDragOver([this](QObject* source, const QPoint& pos) {
        bool ok = false;
        runGuarded([&] { ok = SystemTreeView1DragOver(source, pos); });
        return ok;
    });
    SystemTreeView1->setOnDragDrop([this](QObject* source, const QPoint& pos) {
        runGuarded([&] { SystemTreeView1DragDrop(source, pos); });
    });
}

void TfrmPrincipale::createThumbnailList()
{
    ListView1 = new ThumbnailListView(Splitter1);
    ListView1->setObjectName("ListView1");
    ListView1->setViewMode(QListView::IconMode);
    ListView1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ListView1->setResizeMode(QListView::Adjust);
    ListView1->setMovement(QListView::Static);
    ListView1->setDragEnabled(true); // a static layout switches dragging off; the files still drag out
    ListView1->setContextMenuPolicy(Qt::CustomContextMenu);
    ListView1->setUniformItemSizes(true);
    m_thumbDelegate = new ThumbnailDelegate(ListView1);
    ListView1->setItemDelegate(m_thumbDelegate);
    ListView1->setLayoutMode(QListView::Batched);
    ListView1->setBatchSize(200);
    ListView1->setWordWrap(true);
    ListView1->setTextElideMode(Qt::ElideMiddle);
    ListView1->setSpacing(2);
    m_catalogue = new ThumbnailCatalogue(this, this);
    ListView1->setModel(&m_catalogue->model());
    connectCommand(ListView1, &QAbstractItemView::doubleClicked, [this] { ListView1DblClick(); });
    ListView1->setOnStartDrag([this](QDrag* drag, const QModelIndexList& items) {
        Qt::DropAction plain = Qt::CopyAction;
        runGuarded([&] { plain = ListView1StartDrag(drag, items); });
        return plain;
    });
    ListView1->setOnEndDrag([this](Qt::DropAction) { ListView1EndDrag(); });
    connect(ListView1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { showPopup(ListView1->viewport(), pos); });
}

// The window's components without a place on screen: the pause, the path
// measure, the change monitor and the file operation.
void TfrmPrincipale::createComponents()
{
    Sleeper1 = new TSleeper(this);
    Sleeper1->setInterval(1000);

    // Measuring device for the status-bar texts; never shown.
    FLabelConvert = new TFileLabel(this);
    FLabelConvert->setObjectName("FLabelConvert");
    FLabelConvert->setDirection(drFromRight);
    FLabelConvert->setFont(m_panels[1]->font());
    FLabelConvert->resize(200, FLabelConvert->sizeHint().height());
    FLabelConvert->hide();

    FileSysMonitor2 = new TFileSysMonitor(this);
    FileSysMonitor2->setObjectName("FileSysMonitor2");
    // Writes too: a picture still being copied when its name appeared is made again once complete.
    FileSysMonitor2->setNotifyFilter(TNotifyFilter(TFileSysNotify::FILE_NAME) | TFileSysNotify::LAST_WRITE);
    FileSysMonitor2->setOnFileSysChange([this](QObject*, const QString& dir) {
        runGuarded([&] { FileSysMonitor2FileSysChange(dir); });
    });
    m_changeTimer = new QTimer(this);
    m_changeTimer->setSingleShot(true);
    connect(m_changeTimer, &QTimer::timeout, this, [this] { runGuarded([this] { refreshWatchedFolder(); }); });
    FileOperation1 = new TFileOperation(this);
    FileOperation1->setObjectName("FileOperation1");
    FileOperation1->setFlags(TFileOpFlags(fofAllowUndo) | fofFilesOnly);
    FileSysMonitor2->setOnError([this](const EFileSysMonitor& e) { monitorFailed(e); });
}

TfrmPrincipale::~TfrmPrincipale()
{
    qApp->removeEventFilter(this);
    storeGeometry();
    SalvaConfigurazione();
    if (m_help)
        m_help->close();
    delete m_help;
    // The tree's nodes release their folder records while the window still exists.
    delete std::exchange(SystemTreeView1, nullptr);
    runGuarded(CheckFolderDataLeaks);
}

void TfrmPrincipale::FormCreate()
{
    ActiveViewer = nullptr;
    LeggiConfigurazione();
    // The list starts on the image list of the thumbnail size (90 for an odd value).
    m_catalogue->model().setImageList(&startupObjects().lists[StartupObjects::slot(Configurazione.Dimensione)]);
    imageListChanged(m_catalogue->currentList());
    m_resizeAttached = true;
    ApplicaConfigurazione();
    m_helpFile = QCoreApplication::applicationDirPath() + '/'
        + (italianInterface(LanguageTest::Exact) ? QStringLiteral("QVITA.HLP") : QStringLiteral("QVENG.HLP"));
}

QAction* TfrmPrincipale::makeAction(const char* name, void (TfrmPrincipale::*slot)())
{
    auto* a = new QAction(this);
    a->setObjectName(QString::fromLatin1(name));
    if (slot)
        connectCommand(a, &QAction::triggered, [this, slot] { (this->*slot)(); });
    return a;
}

void TfrmPrincipale::createMenus()
{
    MainMenu1 = menuBar();
    MainMenu1->setObjectName("MainMenu1");

    LeggiDirectory1 = makeAction("LeggiDirectory1", &TfrmPrincipale::TransparentButton1Click);
    Apriimmagine1 = makeAction("Apriimmagine1", &TfrmPrincipale::ListView1DblClick);
    Mostraproprietimmagine1 = makeAction("Mostraproprietimmagine1", &TfrmPrincipale::SpeedButton7Click);
    Rinominaimmagine2 = makeAction("Rinominaimmagine2", &TfrmPrincipale::tbRinominaClick);
    Cancellaimmagine1 = makeAction("Cancellaimmagine1", &TfrmPrincipale::SpeedButton8Click);
    Confrontaimmagini1 = makeAction("Confrontaimmagini1", &TfrmPrincipale::Confrontaimmagini1Click);
    Slideshow1 = makeAction("Slideshow1", &TfrmPrincipale::btSlideshowClick);
    EscidaQuorvel2 = makeAction("EscidaQuorvel2", &TfrmPrincipale::EscidaQuorvel1Click);
    CopiaInAppunti = makeAction("CopiaInAppunti", &TfrmPrincipale::CopiaInAppuntiClick);
    Impostasfondo1 = makeAction("Impostasfondo1", &TfrmPrincipale::Impostasfondo1Click);
    Abilita1 = makeAction("Abilita1", &TfrmPrincipale::Abilita1Click);
    Abilita1->setCheckable(true);
    Cancellalalista1 = makeAction("Cancellalalista1", &TfrmPrincipale::Cancellalalista1Click);
    Visualizza1 = makeAction("Visualizza1", &TfrmPrincipale::Visualizza1Click);
    Sommario1 = makeAction("Sommario1", &TfrmPrincipale::SpeedButton10Click);
    Informazioni2 = makeAction("Informazioni2", &TfrmPrincipale::Informazioni1Click);

    File1 = MainMenu1->addMenu(QString());
    File1->setObjectName("File1");
    File1->addAction(LeggiDirectory1);
    File1->addSeparator();
    File1->addActions({Apriimmagine1, Mostraproprietimmagine1, Rinominaimmagine2, Cancellaimmagine1});
    File1->addSeparator();
    File1->addAction(Confrontaimmagini1);
    File1->addSeparator();
    File1->addAction(Slideshow1);
    File1->addSeparator();
    File1->addAction(EscidaQuorvel2);
    connect(File1, &QMenu::aboutToShow, this, [this] { File1Click(); });

    Modifica1 = MainMenu1->addMenu(QString());
    Modifica1->setObjectName("Modifica1");
    Modifica1->addActions({CopiaInAppunti, Impostasfondo1, Abilita1});
    Modifica1->addSeparator();
    Modifica1->addAction(Cancellalalista1);
    Modifica1->addSeparator();
    Modifica1->addAction(Visualizza1);

    HelpInLinea = MainMenu1->addMenu(QString());
    HelpInLinea->setObjectName("HelpInLinea");
    HelpInLinea->addAction(Sommario1);
    HelpInLinea->addSeparator();
    HelpInLinea->addAction(Informazioni2);

    // The popup's actions are separate objects so that each keeps its own name.
    Leggidirectory2 = makeAction("Leggidirectory2", &TfrmPrincipale::TransparentButton1Click);
    Apriimmagine2 = makeAction("Apriimmagine2", &TfrmPrincipale::ListView1DblClick);
    Mostraproprietimmagine2 = makeAction("Mostraproprietimmagine2", &TfrmPrincipale::SpeedButton7Click);
    Rinominaimmagine1 = makeAction("Rinominaimmagine1", &TfrmPrincipale::tbRinominaClick);
    Cancellaimmagine2 = makeAction("Cancellaimmagine2", &TfrmPrincipale::SpeedButton8Click);
    Slideshow2 = makeAction("Slideshow2", &TfrmPrincipale::btSlideshowClick);
    BarraNuovaCartella = makeAction("BarraNuovaCartella", nullptr);
    BarraNuovaCartella->setSeparator(true);
    Nuovacartella1 = makeAction("Nuovacartella1", &TfrmPrincipale::Nuovacartella1Click);
    RinominaCartella = makeAction("RinominaCartella", &TfrmPrincipale::RinominaCartellaClick);
    Cancellacartella = makeAction("Cancellacartella", &TfrmPrincipale::CancellacartellaClick);

    PopupMenu981 = new QMenu(this);
    PopupMenu981->setObjectName("PopupMenu981");
    PopupMenu981->addAction(Leggidirectory2);
    PopupMenu981->addSeparator();
    PopupMenu981->addActions({Apriimmagine2, Mostraproprietimmagine2, Rinominaimmagine1, Cancellaimmagine2});
    PopupMenu981->addSeparator();
    PopupMenu981->addActions({Slideshow2, BarraNuovaCartella, Nuovacartella1, RinominaCartella, Cancellacartella});
    connect(PopupMenu981, &QMenu::aboutToShow, this, [this] { PopupMenu1Popup(); });
}

QToolButton* TfrmPrincipale::makeToolButton(QToolBar* bar, const char* name, const char* glyph,
                                            void (TfrmPrincipale::*slot)())
{
    auto* b = new QToolButton(bar);
    b->setObjectName(QString::fromLatin1(name));
    b->setIcon(QIcon(QStringLiteral(":/") + QLatin1String(glyph)));
    b->setIconSize(QSize(24, 24));
    b->setAutoRaise(true);
    if (slot)
        connectCommand(b, &QToolButton::clicked, [this, slot] { (this->*slot)(); });
    bar->addWidget(b);
    return b;
}

void TfrmPrincipale::createToolbars()
{
    Toolbar971 = new QToolBar(Dock971);
    Toolbar971->setObjectName("Toolbar971");
    Toolbar971->setStyleSheet(QStringLiteral("QToolBar { background: transparent; border: none; }"));
    TransparentButton1 = makeToolButton(Toolbar971, "TransparentButton1", "GLYPH_READ", &TfrmPrincipale::TransparentButton1Click);
    Toolbar971->addSeparator();
    tbOpen = makeToolButton(Toolbar971, "tbOpen", "GLYPH_OPEN", &TfrmPrincipale::ListView1DblClick);
    SpeedButton7 = makeToolButton(Toolbar971, "SpeedButton7", "GLYPH_INFO", &TfrmPrincipale::SpeedButton7Click);
    tbRinomina = makeToolButton(Toolbar971, "tbRinomina", "GLYPH_RENAME", &TfrmPrincipale::tbRinominaClick);
    SpeedButton8 = makeToolButton(Toolbar971, "SpeedButton8", "GLYPH_DELETE", &TfrmPrincipale::SpeedButton8Click);
    Toolbar971->addSeparator();
    btSlideshow = makeToolButton(Toolbar971, "btSlideshow", "GLYPH_SLIDESHOW", &TfrmPrincipale::btSlideshowClick);
    Toolbar971->addSeparator();
    SpeedButton10 = makeToolButton(Toolbar971, "SpeedButton10", "GLYPH_HELP", &TfrmPrincipale::SpeedButton10Click);
    Toolbar971->addSeparator();
    tbExit = makeToolButton(Toolbar971, "tbExit", "GLYPH_EXIT", &TfrmPrincipale::EscidaQuorvel1Click);
    Dock971->addBar(Toolbar971);

    // The picture edits act on the viewer activated last.
    tbElaborazioni = new QToolBar(Dock971);
    tbElaborazioni->setObjectName("tbElaborazioni");
    tbElaborazioni->setStyleSheet(Toolbar971->styleSheet());
    tbtRiflettiOriz = makeToolButton(tbElaborazioni, "tbtRiflettiOriz", "GLYPH_FLIPH", &TfrmPrincipale::tbtRiflettiOrizClick);
    tbtRiflettiVert = makeToolButton(tbElaborazioni, "tbtRiflettiVert", "GLYPH_FLIPV", &TfrmPrincipale::tbtRiflettiVertClick);
    tbtRuotaDestra = makeToolButton(tbElaborazioni, "tbtRuotaDestra", "GLYPH_ROTR", &TfrmPrincipale::tbtRuotaDestraClick);
    tbtRuotaSinistra = makeToolButton(tbElaborazioni, "tbtRuotaSinistra", "GLYPH_ROTL", &TfrmPrincipale::tbtRuotaSinistraClick);
    tbtRuota180 = makeToolButton(tbElaborazioni, "tbtRuota180", "GLYPH_ROT180", &TfrmPrincipale::tbtRuota180Click);
    tbtSchiarisci = makeToolButton(tbElaborazioni, "tbtSchiarisci", "GLYPH_LIGHTEN", &TfrmPrincipale::tbtSchiarisciClick);
    tbtScurisci = makeToolButton(tbElaborazioni, "tbtScurisci", "GLYPH_DARKEN", &TfrmPrincipale::tbtScurisciClick);
    tbtScalaGrigi = makeToolButton(tbElaborazioni, "tbtScalaGrigi", "GLYPH_GREY", &TfrmPrincipale::tbtScalaGrigiClick);
    Dock971->addBar(tbElaborazioni);
    tbElaborazioni->hide();
}

void TfrmPrincipale::createStatusBar()
{
    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName("StatusBar1");
    StatusBar1->setFixedHeight(30);
    StatusBar1->setSizeGripEnabled(true);
    const int widths[3] = {200, 350, 120};
    for (int i = 0; i < 3; ++i) {
        m_panels[i] = new QLabel(StatusBar1);
        m_panels[i]->setObjectName(QString("StatusPanel%1").arg(i));
        m_panels[i]->setFixedWidth(widths[i]);
        m_panels[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        StatusBar1->addWidget(m_panels[i]);
    }
    m_panels[0]->setFixedWidth(std::max(widths[0], countPanelWidth(m_panels[0])));
    setStatusBar(StatusBar1);
}

int countPanelWidth(QLabel* panel)
{
    // The widest digit five times: lists of up to 99999 pictures fit whole.
    const QFontMetrics metrics = panel->fontMetrics();
    QChar widest = QLatin1Char('0');
    for (char digit = '1'; digit <= '9'; ++digit)
        if (metrics.horizontalAdvance(QLatin1Char(digit)) > metrics.horizontalAdvance(widest))
            widest = QLatin1Char(digit);
    const QString digits(5, widest);
    const QString before = panel->text();
    int width = 0;
    for (bool italian : {true, false}) {
        // The label's own size hint counts its frame, margins and indent.
        panel->setText(thumbs::countText(digits, italian));
        width = std::max(width, panel->sizeHint().width());
    }
    panel->setText(before);
    return width;
}

void TfrmPrincipale::TestiItaliano() { applyTexts(italianMainWindowTexts()); }
void TfrmPrincipale::TestiInglese() { applyTexts(englishMainWindowTexts()); }

void TfrmPrincipale::applyTexts(const MainWindowTexts& t)
{
    m_texts = &t;
    File1->setTitle(t.File1);
    LeggiDirectory1->setText(t.LeggiDirectory1);
    LeggiDirectory1->setShortcut(t.scLeggiDirectory1);
    Apriimmagine1->setText(t.Apriimmagine1);
    Mostraproprietimmagine1->setText(t.Mostraproprietimmagine1);
    Rinominaimmagine2->setText(t.Rinominaimmagine2);
    Cancellaimmagine1->setText(t.Cancellaimmagine1);
    Cancellaimmagine1->setShortcut(t.scCancellaimmagine1);
    Confrontaimmagini1->setText(t.Confrontaimmagini1);
    Slideshow1->setText(t.Slideshow1);
    Slideshow1->setShortcut(t.scSlideshow1);
    EscidaQuorvel2->setText(t.EscidaQuorvel2);
    EscidaQuorvel2->setShortcut(t.scEscidaQuorvel2);
    Modifica1->setTitle(t.Modifica1);
    CopiaInAppunti->setText(t.CopiaInAppunti);
    CopiaInAppunti->setShortcut(t.scCopiaInAppunti);
    Impostasfondo1->setText(t.Impostasfondo1);
    Cancellalalista1->setText(t.Cancellalalista1);
    Abilita1->setText(t.Abilita1);
    Visualizza1->setText(t.Visualizza1);
    HelpInLinea->setTitle(t.HelpInLinea);
    Sommario1->setText(t.Sommario1);
    Sommario1->setShortcut(t.scSommario1);
    Informazioni2->setText(t.Informazioni2);
    Informazioni2->setShortcut(t.scInformazioni2);
    Nuovacartella1->setText(t.Nuovacartella1);
    RinominaCartella->setText(t.RinominaCartella);
    Cancellacartella->setText(t.Cancellacartella);
    Leggidirectory2->setText(t.Leggidirectory2);
    Apriimmagine2->setText(t.Apriimmagine2);
    Mostraproprietimmagine2->setText(t.Mostraproprietimmagine2);
    Rinominaimmagine1->setText(t.Rinominaimmagine1);
    Cancellaimmagine2->setText(t.Cancellaimmagine2);
    Slideshow2->setText(t.Slideshow2);
    tbOpen->setToolTip(t.hintOpen);
    SpeedButton7->setToolTip(t.hintProperties);
    tbRinomina->setToolTip(t.hintRename);
    SpeedButton8->setToolTip(t.hintDelete);
    TransparentButton1->setToolTip(t.hintReadFolder);
    SpeedButton10->setToolTip(t.hintHelp);
    btSlideshow->setToolTip(t.hintSlideshow);
    tbExit->setToolTip(t.hintExit);
    tbtRiflettiOriz->setToolTip(t.hintFlipHorizontal);
    tbtRiflettiVert->setToolTip(t.hintFlipVertical);
    tbtRuotaDestra->setToolTip(t.hintRotateRight);
    tbtRuotaSinistra->setToolTip(t.hintRotateLeft);
    tbtRuota180->setToolTip(t.hintRotate180);
    tbtSchiarisci->setToolTip(t.hintLighten);
    tbtScurisci->setToolTip(t.hintDarken);
    tbtScalaGrigi->setToolTip(t.hintGreyscale);
    m_helpFile = QCoreApplication::applicationDirPath() + '/' + t.helpFile;
}

void TfrmPrincipale::ApplicaConfigurazione()
{
    TConfigurazione& c = Configurazione;
    // 1. Texts of the language, and the count in them.
    const bool italian = italianInterface(c.Lingua, LanguageTest::ItalianPrefix);
    if (italian)
        TestiItaliano();
    else
        TestiInglese();
    FileOperation1->setLanguage(italian ? FileOpLanguage::Italian : FileOpLanguage::English);
    AggiornaConteggio();

    // 2. Geometry, without the resize handler writing it back half-way. The
    // stored values are fitted to the screen: a damaged or foreign settings
    // file must not make a window far away or larger than any screen.
    const bool attached = m_resizeAttached;
    m_resizeAttached = false;
    const QRect placed = fitToScreen(QPoint(c.Sinistra, c.Alto), c.Larghezza, c.Altezza,
                                     minimumSizeHint().expandedTo(minimumSize()));
    move(placed.topLeft());
    resize(placed.size());
    const int treeWidth = std::clamp(c.LarghezzaFTree, 1, std::max(1, placed.width() - 1));
    QList<int> sizes = Splitter1->sizes();
    if (sizes.size() == 2) {
        const int total = std::max(sizes[0] + sizes[1], placed.width());
        Splitter1->setSizes({treeWidth, std::max(1, total - treeWidth)});
    }
    SystemTreeView1->resize(treeWidth, std::clamp(c.AltezzaFTree, 1, std::max(1, placed.height())));
    m_resizeAttached = attached;

    // 3. Tree scrolling while dragging, and hot tracking of the list.
    SystemTreeView1->setAutoscroll(c.FTreeScroll);
    ListView1->viewport()->setAttribute(Qt::WA_Hover, c.HotTrack);
    ListView1->viewport()->setMouseTracking(c.HotTrack);

    // 5. Dock background.
    Dock971->setBackground(c.ImgSfondoToolbar ? startupObjects().backTool : QPixmap());

    // 6. Frame colours.
    startupObjects().paintFrames(c.BkCol, c.BdCol);
    m_catalogue->model().imagesChanged();

    // 7. The image list of the thumbnail size; a new size remakes every thumbnail.
    applyThumbnailSize();
}

void TfrmPrincipale::applyThumbnailSize()
{
    // Options confirmed from inside a read (its pending messages) must not
    // empty the image lists under it: the read stops, the size follows.
    if (m_catalogue->isBusy()) {
        m_catalogue->Interrompi = true;
        QTimer::singleShot(50, this, [this] { runGuarded([this] { applyThumbnailSize(); }); });
        return;
    }
    if (m_catalogue->chooseImageList(Configurazione.Dimensione))
        m_catalogue->RigeneraMiniature();
}

void TfrmPrincipale::AggiornaConteggio() { m_catalogue->AggiornaConteggio(); }

QRect fitToScreen(QPoint topLeft, qint64 width, qint64 height, QSize minimum)
{
    const QScreen* screen = QGuiApplication::screenAt(topLeft);
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return QRect(topLeft, QSize(int(std::clamp<qint64>(width, 1, 4096)), int(std::clamp<qint64>(height, 1, 4096))));
    return fitToArea(topLeft, width, height, minimum, screen->availableGeometry());
}

QRect fitToArea(QPoint topLeft, qint64 width, qint64 height, QSize minimum, const QRect& area)
{
    // In 64 bits: the stored values may be anything a 32-bit field holds.
    const qint64 areaW = std::max(1, area.width()), areaH = std::max(1, area.height());
    const qint64 w = std::clamp<qint64>(width, std::min<qint64>(std::max(1, minimum.width()), areaW), areaW);
    const qint64 h = std::clamp<qint64>(height, std::min<qint64>(std::max(1, minimum.height()), areaH), areaH);
    const qint64 x = std::clamp<qint64>(topLeft.x(), area.left(), qint64(area.left()) + areaW - w);
    const qint64 y = std::clamp<qint64>(topLeft.y(), area.top(), qint64(area.top()) + areaH - h);
    return QRect(int(x), int(y), int(w), int(h));
}

// ---- the catalogue's host ------------------------------------------------------

void TfrmPrincipale::setStatusText(int panel, const QString& text)
{
    if (panel < 0 || panel > 2)
        return;
    m_panels[panel]->setText(text);
    if (panel == 1)
        m_panels[panel]->repaint(); // progress shows at once, even inside long work
}

QString TfrmPrincipale::shortenPath(const QString& path, int width)
{
    const int old = FLabelConvert->width();
    FLabelConvert->resize(width, FLabelConvert->height());
    FLabelConvert->setFileName(path);
    const QString out = FLabelConvert->caption();
    FLabelConvert->resize(old, FLabelConvert->height());
    return out;
}

void TfrmPrincipale::processEvents() { QCoreApplication::processEvents(); }

void TfrmPrincipale::setWaitCursor(bool on)
{
    if (on)
        m_waitCursors.push_back(std::make_unique<WaitCursor>());
    else if (!m_waitCursors.empty())
        m_waitCursors.pop_back();
}

void TfrmPrincipale::setMonitorActive(bool on)
{
    // Nothing to switch back on before a folder was read.
    if (on && !m_monitorPointed)
        return;
    FileSysMonitor2->setActive(on);
}

void TfrmPrincipale::setMonitoredFolder(const QString& folder)
{
    FileSysMonitor2->setMonitoredDirectory(folder);
    FileSysMonitor2->setActive(true);
    m_monitorPointed = true;
}

void TfrmPrincipale::imageListChanged(ImageList* list)
{
    const int s = list ? list->size() : 90;
    ListView1->setIconSize(QSize(s, s));
    m_thumbDelegate->setThumbnailSize(s);
    ListView1->setGridSize(m_thumbDelegate->cellSize(ListView1->fontMetrics()) + QSize(4, 4));
}

QString TfrmPrincipale::shortPath(const QString& path)
{
    FLabelConvert->setFileName(path);
    return FLabelConvert->caption();
}

void TfrmPrincipale::storeGeometry()
{
    Configurazione.Alto = y();
    Configurazione.Sinistra = x();
    Configurazione.Larghezza = width();
    Configurazione.Altezza = height();
    Splitter1Moved();
}

void TfrmPrincipale::Splitter1Moved()
{
    if (!SystemTreeView1)
        return;
    Configurazione.LarghezzaFTree = SystemTreeView1->width();
    Configurazione.AltezzaFTree = SystemTreeView1->height();
}

void TfrmPrincipale::resizeEvent(QResizeEvent* e)
{
    QMainWindow::resizeEvent(e);
    if (m_resizeAttached && isVisible())
        storeGeometry();
}

void TfrmPrincipale::moveEvent(QMoveEvent* e)
{
    QMainWindow::moveEvent(e);
    if (m_resizeAttached && isVisible())
        storeGeometry();
}

void TfrmPrincipale::SystemTreeView1Change(const QString& newPath)
{
    const QString old = CartellaCorrente;
    CartellaCorrente = newPath;
    // Leaving a folder keeps its thumbnails, when the options say so.
    if (Configurazione.SalvaThumb && Configurazione.SvuotaLista && !old.isEmpty())
        m_catalogue->SalvaMiniature(old);
}

bool TfrmPrincipale::hasSelection() const
{
    return ListView1->selectionModel() && ListView1->selectionModel()->hasSelection();
}

void TfrmPrincipale::File1Click() { updateCommandStates(); }

void TfrmPrincipale::PopupMenu1Popup()
{
    updateCommandStates();
    const bool tree = SystemTreeView1->hasFocus();
    for (QAction* a : {BarraNuovaCartella, Nuovacartella1, RinominaCartella, Cancellacartella})
        a->setVisible(tree);
}

void TfrmPrincipale::showPopup(QWidget* from, const QPoint& pos)
{
    PopupMenu981->popup(from->mapToGlobal(pos));
}

// ---- keys -------------------------------------------------------------------

bool TfrmPrincipale::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::ShortcutOverride)
        return QMainWindow::eventFilter(watched, event);
    auto* w = qobject_cast<QWidget*>(watched);
    if (!w || w->window() != this || !isActiveWindow())
        return false;
    // An editor being typed in keeps its own keys (Enter ends the edit).
    if (qobject_cast<QLineEdit*>(w))
        return false;
    auto* ke = static_cast<QKeyEvent*>(event);
    if (ke->isAutoRepeat() && ke->key() != Qt::Key_PageUp && ke->key() != Qt::Key_PageDown)
        return false;
    static const int consumed[] = {Qt::Key_F1, Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape,
                                   Qt::Key_PageUp, Qt::Key_PageDown, Qt::Key_F5, Qt::Key_F11};
    const bool ours = std::find(std::begin(consumed), std::end(consumed), ke->key()) != std::end(consumed);
    if (type == QEvent::ShortcutOverride) {
        // Claim the keys the window handles so no menu shortcut takes them first.
        if (ours) {
            event->accept();
            return true;
        }
        return false;
    }
    bool handled = false;
    runGuarded([&] { handled = FormKeyDown(ke->key(), ke->modifiers()); });
    return handled;
}

bool TfrmPrincipale::FormKeyDown(int key, Qt::KeyboardModifiers modifiers)
{
    switch (key) {
    case Qt::Key_F1:
        SpeedButton10Click();
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        ListView1DblClick();
        return true;
    case Qt::Key_Escape:
        m_catalogue->Interrompi = true;
        return true;
    case Qt::Key_PageUp:
    case Qt::Key_PageDown: {
        QScrollBar* bar = ListView1->verticalScrollBar();
        const int step = centralWidget() ? centralWidget()->height() : height();
        bar->setValue(bar->value() + (key == Qt::Key_PageUp ? -step : step));
        return true;
    }
    case Qt::Key_F5:
        CompletaLista();
        return true;
    case Qt::Key_F6:
        Impostasfondo1Click();
        return false; // the focused control still gets the key
    case Qt::Key_F11:
        cacheKeyF11(modifiers & Qt::ShiftModifier);
        return true;
    default:
        return false;
    }
}

// ---- commands ---------------------------------------------------------------

void TfrmPrincipale::EscidaQuorvel1Click() { exitProgram(); }

bool TfrmPrincipale::exitProgram()
{
    if (m_exiting)
        return true;
    m_exiting = true;
    // A read still running stops at its next step; the program ends once it has unwound.
    m_catalogue->Interrompi = true;
    // The other windows first, the last created first: a window that keeps
    // itself open (a viewer whose unsaved edit the user keeps) stops the exit.
    QList<QPointer<QWidget>> others;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w != this && w->isVisible() && !(w->windowType() == Qt::Popup || w->windowType() == Qt::ToolTip))
            others.prepend(w);
    for (const QPointer<QWidget>& w : others) {
        if (!w || !w->isVisible())
            continue;
        bool closed = true;
        runGuarded([&] { closed = w->close(); }); // a failing window is reported, not in the way
        if (!closed && w && w->isVisible()) {
            m_exiting = false;
            return false;
        }
    }
    // Each step on its own: a failure is reported and the exit goes on.
    runGuarded([this] { setMonitorActive(false); });
    if (Configurazione.SalvaThumb && Configurazione.SvuotaLista && !CartellaCorrente.isEmpty())
        runGuarded([this] { m_catalogue->SalvaMiniature(CartellaCorrente); });
    QCoreApplication::quit();
    return true;
}

void TfrmPrincipale::closeEvent(QCloseEvent* e)
{
    if (exitProgram())
        e->accept();
    else
        e->ignore();
}

bool TfrmPrincipale::refusedWhileBusy()
{
    // The list is being read or its cache written: a second command would
    // start in the middle of the first (Esc stops the running one).
    if (!m_catalogue->isBusy())
        return false;
    QApplication::beep();
    return true;
}

void TfrmPrincipale::Cancellalalista1Click()
{
    if (!refusedWhileBusy())
        m_catalogue->clearList();
}

void TfrmPrincipale::TransparentButton1Click()
{
    if (!refusedWhileBusy())
        m_catalogue->readFolder(CartellaCorrente);
}

// F5 completes the list from the folder it was read from, wherever the tree
// has moved since: the list must never mix in another folder's pictures.
void TfrmPrincipale::CompletaLista()
{
    if (refusedWhileBusy())
        return;
    const QString folder = m_catalogue->listFolder();
    if (ThumbnailCatalogue::folderExists(folder))
        m_catalogue->CompletaLista(folder);
}

void TfrmPrincipale::cacheKeyF11(bool shift)
{
    if (refusedWhileBusy())
        return;
    setMonitorActive(false);
    // The monitor comes back and the count matches the list whatever the cache step did.
    struct Back {
        TfrmPrincipale* w;
        ~Back()
        {
            w->setMonitorActive(true);
            w->AggiornaConteggio();
        }
    } back{this};
    if (shift)
        m_catalogue->loadCacheOrNote(CartellaCorrente);
    else
        m_catalogue->SalvaMiniature(CartellaCorrente);
}

// The commands below are completed by the pieces they drive (thumbnail scan,
// cache, viewer, slideshow, compare, file operations, folder tree, options).
// ---- folder commands (popup menu of the tree) -------------------------------------------

void TfrmPrincipale::showFolderMessage(const QString& text)
{
    QMessageBox box(QMessageBox::Question, QStringLiteral("Quorvel"), QString(text).replace('\r', '\n'),
                    QMessageBox::Ok, this);
    box.exec();
}

void TfrmPrincipale::Nuovacartella1Click()
{
    QTreeWidgetItem* selected = SystemTreeView1->currentItem();
    const QPersistentModelIndex before = SystemTreeView1->indexFromItem(selected);
    if (!SystemTreeView1->CreateSubFolder(selected, texts().msgNewFolder, true)) {
        showFolderMessage(texts().msgFolderNotCreated);
        return;
    }
    // The new folder's label is open for its name while the old folder is selected again.
    SystemTreeView1->editItem(SystemTreeView1->currentItem());
    Sleeper1->SleepFor(100);
    if (before.isValid())
        SystemTreeView1->SelectNode(SystemTreeView1->itemFromIndex(before));
}

void TfrmPrincipale::RinominaCartellaClick()
{
    // The tree renames the folder when the edit ends.
    QTreeWidgetItem* node = SystemTreeView1->currentItem();
    if (node && (node->flags() & Qt::ItemIsEditable))
        SystemTreeView1->editItem(node);
    Sleeper1->SleepFor(100);
}

void TfrmPrincipale::CancellacartellaClick()
{
    if (!SystemTreeView1->DeleteFolderNode(SystemTreeView1->currentItem()))
        showFolderMessage(texts().msgFolderNotDeleted);
    Sleeper1->SleepFor(100);
}

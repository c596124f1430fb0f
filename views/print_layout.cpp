// The print layout window.
#include "views/print_layout.h"

#include "platform/interface_language.h"
#include "platform/wait_cursor.h"
#include "views/command_guard.h"
#include "views/print_geometry.h"
#include "views/stretch_handle.h"

#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPageSetupDialog>
#include <QPainter>
#include <QPaintEvent>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTemporaryFile>
#include <QToolButton>
#include <QVBoxLayout>
#include <cstdio>
#include <memory>

using namespace printing;

namespace {

// The printer's page in device pixels (its printable area, where drawing starts).
QSize printerPage(const QPrinter& printer) { return {printer.width(), printer.height()}; }

QString defaultPdfName()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = QDir::homePath();
    return QDir(folder).filePath(QStringLiteral("Quorvel.pdf"));
}

QImage designPlaceholder()
{
    QImage img(QStringLiteral(":/NOIMG120"));
    if (img.isNull()) {
        img = QImage(120, 120, QImage::Format_RGB32);
        img.fill(Qt::lightGray);
    }
    return img;
}

QString failureText()
{
    return italianInterface(LanguageTest::ItalianPrefix) ? QStringLiteral("Stampa non riuscita: %1")
                                                         : QStringLiteral("Printing failed: %1");
}

} // namespace

// ---- the picture on the page ------------------------------------------------------------

PagePicture::PagePicture(QWidget* parent) : QWidget(parent)
{
    setObjectName("imImmagine");
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PagePicture::setPicture(const QImage& picture)
{
    m_picture = picture;
    update();
}

void PagePicture::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    if (m_picture.isNull())
        p.fillRect(rect(), Qt::white);
    else {
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawImage(rect(), m_picture);
    }
}

// ---- printing ---------------------------------------------------------------------------

QImage printableBitmap(const QImage& picture, bool paletteScreen)
{
    if (!paletteScreen)
        return picture.convertToFormat(QImage::Format_RGB888);
    QImage indexed = picture.format() == QImage::Format_Indexed8
                         ? picture
                         : picture.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither);
    QList<QRgb> table = indexed.colorTable();
    table.resize(256, qRgb(0, 0, 0));
    indexed.setColorTable(table);
    return indexed;
}

void printPicture(QPrinter& printer, const QImage& picture, const QRect& paperRect, bool paletteScreen)
{
    const QImage bitmap = printableBitmap(picture, paletteScreen);
    if (bitmap.isNull())
        throw EPrintFailed(failureText().arg(QStringLiteral("%1 x %2").arg(picture.width()).arg(picture.height())));

    // A file output is written beside its name first, so a failure never
    // leaves a half-written document in place of an older one.
    const QString target = printer.outputFileName();
    std::unique_ptr<QTemporaryFile> partial;
    if (!target.isEmpty()) {
        partial = std::make_unique<QTemporaryFile>(target + QStringLiteral(".XXXXXX"));
        if (!partial->open())
            throw EPrintFailed(failureText().arg(partial->errorString()));
        partial->close();
        printer.setOutputFileName(partial->fileName());
    }
    struct RestoreName {
        QPrinter& printer;
        QString name;
        ~RestoreName()
        {
            if (!name.isEmpty())
                printer.setOutputFileName(name);
        }
    } restore{printer, target};

    QPainter painter;
    if (!painter.begin(&printer))
        throw EPrintFailed(failureText().arg(target.isEmpty() ? printer.printerName() : target));
    painter.drawImage(QRectF(paperRect), bitmap);
    if (!painter.end())
        throw EPrintFailed(failureText().arg(target.isEmpty() ? printer.printerName() : target));
    if (partial) {
        partial->setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
        if (std::rename(QFile::encodeName(partial->fileName()).constData(), QFile::encodeName(target).constData()) != 0)
            throw EPrintFailed(failureText().arg(target));
        partial->setAutoRemove(false);
    }
}

// ---- the window ---------------------------------------------------------------------------

TfrmStampa::TfrmStampa(QWidget* parent) : QDialog(parent)
{
    setObjectName("frmStampa");
    runDialog = [](QDialog& d) { return d.exec() == QDialog::Accepted; };
    choosePrinter();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    createToolBar(layout);
    createPageArea(layout);
    connectCommands();

    // The design's texts are the Italian ones.
    setWindowTitle(QStringLiteral("Stampa immagine"));
    btPageSetup->setText(QStringLiteral("Imposta stampante"));
    // Room for the large page, within the screen.
    const QSize screenSize = screen() ? screen()->availableGeometry().size() : QSize(1024, 768);
    resize(std::min(640, screenSize.width()), std::min(730, screenSize.height() - 40));

    // The page and the placeholder picture, shaped like the printer's page.
    PageAspect = pageAspect(printerPage(*m_printer));
    PrintScale = printScale(m_printer->width(), imImmagine->picture().width());
    StretchHandle1->Detach();
    imImmagine->resize(pictureBox(kSmallPageWidth, PageAspect, PrintScale));
    Page->resize(kSmallPageWidth, Page->height());
    ScrollBox1Resize(); // the page centred in the scroll box
    setViewMode(1);
}

// The system's printers through CUPS; without one, a PDF file on A4.
void TfrmStampa::choosePrinter()
{
    m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    if (QPrinterInfo::availablePrinterNames().isEmpty()) {
        m_printer->setOutputFormat(QPrinter::PdfFormat);
        // A photo printer's density: a picture first shows at one dot per pixel.
        m_printer->setResolution(300);
        m_printer->setPageSize(QPageSize(QPageSize::A4));
        m_printer->setPageOrientation(QPageLayout::Portrait);
        m_printer->setOutputFileName(defaultPdfName());
    }
}

void TfrmStampa::createToolBar(QVBoxLayout* layout)
{
    Panel1 = new QFrame(this);
    Panel1->setObjectName("Panel1");
    Panel1->setFixedHeight(41);
    Panel1->setFrameShape(QFrame::StyledPanel);
    auto* bar = new QHBoxLayout(Panel1);
    bar->setContentsMargins(4, 2, 4, 2);
    bar->setSpacing(4);
    layout->addWidget(Panel1);

    auto tool = [this, bar](const char* name, const char* glyph) {
        auto* b = new QToolButton(Panel1);
        b->setObjectName(QString::fromLatin1(name));
        b->setIcon(QIcon(QStringLiteral(":/") + QLatin1String(glyph)));
        b->setIconSize(QSize(24, 24));
        b->setAutoRaise(true);
        bar->addWidget(b);
        return b;
    };
    auto label = [this, bar](const char* name) {
        auto* l = new QLabel(Panel1);
        l->setObjectName(QString::fromLatin1(name));
        l->setMinimumWidth(60);
        bar->addWidget(l);
        return l;
    };
    btPageSetup = new QPushButton(QIcon(QStringLiteral(":/GLYPH_PRINTER_SETUP")), QString(), Panel1);
    btPageSetup->setObjectName("btPageSetup");
    btPageSetup->setIconSize(QSize(24, 24));
    btPageSetup->setAutoDefault(false);
    bar->addWidget(btPageSetup);
    btStampa = tool("btStampa", "GLYPH_PRINT");
    bar->addSpacing(8);
    lblImgX = label("lblImgX");
    lblImgY = label("lblImgY");
    lblPagX = label("lblPagX");
    lblPagY = label("lblPagY");
    bar->addSpacing(8);
    SpeedButton2 = tool("SpeedButton2", "GLYPH_PAGE_SMALL");
    SpeedButton3 = tool("SpeedButton3", "GLYPH_PAGE_LARGE");
    for (QToolButton* b : {SpeedButton2, SpeedButton3})
        b->setCheckable(true);
    btMantieniProp = tool("btMantieniProp", "GLYPH_KEEP_RATIO");
    btCentraX = tool("btCentraX", "GLYPH_CENTRE_X");
    btCentraY = tool("btCentraY", "GLYPH_CENTRE_Y");
    bar->addStretch(1);
}

// The scroll box with the page, the picture and its handles, and the status bar.
void TfrmStampa::createPageArea(QVBoxLayout* layout)
{
    ScrollBox1 = new QScrollArea(this);
    ScrollBox1->setObjectName("ScrollBox1");
    ScrollBox1->setWidgetResizable(false);
    ScrollBox1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_canvas = new QWidget;
    ScrollBox1->setWidget(m_canvas);
    layout->addWidget(ScrollBox1, 1);

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName("StatusBar1");
    StatusBar1->setSizeGripEnabled(false);
    layout->addWidget(StatusBar1);

    Page = new QFrame(m_canvas);
    Page->setObjectName("Page");
    Page->setAutoFillBackground(true);
    QPalette white = Page->palette();
    white.setColor(QPalette::Window, Qt::white);
    Page->setPalette(white);
    Page->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Page->setLineWidth(2);

    imImmagine = new PagePicture(Page);
    imImmagine->setPicture(designPlaceholder());
    imImmagine->move(8, 8);
    StretchHandle1 = new TStretchHandle(Page);
    StretchHandle1->setObjectName("StretchHandle1");
    StretchHandle1->setGridX(8);
    StretchHandle1->setGridY(8);
}

void TfrmStampa::connectCommands()
{
    // A command's error goes to the application's message; the window stays.
    auto command = [this](QAbstractButton* button, void (TfrmStampa::*handler)()) {
        connect(button, &QAbstractButton::clicked, this,
                [this, handler] { runViewCommand([this, handler] { (this->*handler)(); }); });
    };
    command(btPageSetup, &TfrmStampa::btPageSetupClick);
    command(btStampa, &TfrmStampa::btStampaClick);
    command(SpeedButton2, &TfrmStampa::SpeedButton2Click);
    command(SpeedButton3, &TfrmStampa::SpeedButton3Click);
    command(btMantieniProp, &TfrmStampa::btMantieniPropClick);
    command(btCentraX, &TfrmStampa::btCentraXClick);
    command(btCentraY, &TfrmStampa::btCentraYClick);
    connect(StretchHandle1, &TStretchHandle::mouseMoved, this, &TfrmStampa::updateMeasures);
    connect(StretchHandle1, &TStretchHandle::mouseReleased, this, &TfrmStampa::updateMeasures);
    ScrollBox1->installEventFilter(this);
}

TfrmStampa::~TfrmStampa() = default;

TfrmStampa* printLayoutWindow(QWidget* owner)
{
    if (auto* w = owner ? owner->findChild<TfrmStampa*>(QString(), Qt::FindDirectChildrenOnly) : nullptr)
        return w;
    return new TfrmStampa(owner);
}

void TfrmStampa::setPicture(const QImage& picture)
{
    if (!picture.isNull())
        imImmagine->setPicture(picture);
}

void TfrmStampa::setTexts()
{
    // "ITALIANO" or "ENGLISH" at the start of the setting; anything else
    // leaves the texts as they are.
    const InterfaceLanguage language = interfaceLanguage(LanguageTest::BothPrefixes);
    if (language != InterfaceLanguage::Unchanged) {
        const bool it = language == InterfaceLanguage::Italian;
        m_italianTexts = it;
        // Only what changed is set: a paint must not cause another.
        const QString title = it ? QStringLiteral("Stampa immagine") : QStringLiteral("Print image");
        if (windowTitle() != title)
            setWindowTitle(title);
        const QString setup = it ? QStringLiteral("Imposta stampante") : QStringLiteral("Printer setup");
        if (btPageSetup->text() != setup)
            btPageSetup->setText(setup);
        const std::pair<QWidget*, QString> hints[] = {
            {btStampa, it ? QStringLiteral("Stampa") : QStringLiteral("Print")},
            {SpeedButton2, it ? QStringLiteral("Dimensione minore") : QStringLiteral("Minimum size")},
            {SpeedButton3, it ? QStringLiteral("Dimensione maggiore") : QStringLiteral("Maximum size")},
            {btMantieniProp, it ? QStringLiteral("Mantieni proporzioni") : QStringLiteral("Keep ratio")},
            {btCentraX, it ? QStringLiteral("Centratura orizzontale") : QStringLiteral("X - centering")},
            {btCentraY, it ? QStringLiteral("Centratura verticale") : QStringLiteral("Y - centering")},
            {StretchHandle1, it ? QStringLiteral("Muovi/Ridimensiona") : QStringLiteral("Move/Resize")},
        };
        for (const auto& [w, hint] : hints)
            if (w->toolTip() != hint)
                w->setToolTip(hint);
    }
    updateMeasures();
}

void TfrmStampa::updateMeasures()
{
    const Paper paper{m_printer->width(), m_printer->height(), m_printer->logicalDpiX(), m_printer->logicalDpiY()};
    const Measures m = measures(handlesFrame(), Page->size(), paper, m_italianTexts);
    lblImgX->setText(m.left);
    lblImgY->setText(m.top);
    lblPagX->setText(m.width);
    lblPagY->setText(m.height);
}

void TfrmStampa::FormShow()
{
    setTexts();
    PrintScale = printScale(m_printer->width(), imImmagine->picture().width());
    StretchHandle1->Detach();
    // One printer pixel per picture pixel on a page drawn 400 wide, whatever the view.
    imImmagine->resize(pictureBox(2 * kSmallPageWidth, PageAspect, PrintScale));
    StretchHandle1->Attach(imImmagine);
    btMantieniPropClick();
}

void TfrmStampa::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    if (!e->spontaneous())
        FormShow();
}

void TfrmStampa::paintEvent(QPaintEvent* e)
{
    QDialog::paintEvent(e);
    setTexts();
}

bool TfrmStampa::eventFilter(QObject* watched, QEvent* e)
{
    if (watched == ScrollBox1 && e->type() == QEvent::Resize)
        ScrollBox1Resize();
    return QDialog::eventFilter(watched, e);
}

void TfrmStampa::setPageGeometry(const QRect& r)
{
    Page->setGeometry(r);
    // Just as large as the page with a small border: scroll bars come only
    // when the page does not fit.
    m_canvas->resize(r.right() + 1 + 8, r.bottom() + 1 + 8);
}

void TfrmStampa::ScrollBox1Resize()
{
    const QSize page = pageSize(Page->width(), PageAspect);
    const QSize box = scrollBoxSize();
    setPageGeometry({QPoint(pageOffset(box.width(), page.width()), pageOffset(box.height(), page.height())), page});
}

QSize TfrmStampa::scrollBoxSize() const
{
    // The viewport as it is without scroll bars, known already while the
    // scroll box's own resize event runs (the viewport follows it later).
    return ScrollBox1->maximumViewportSize();
}

QRect TfrmStampa::handlesFrame() const
{
    return StretchHandle1->Attached() ? StretchHandle1->geometry() : handles::frameAround(imImmagine->geometry());
}

void TfrmStampa::printerChanged()
{
    PageAspect = pageAspect(printerPage(*m_printer));
    ScrollBox1Resize();
    updateMeasures();
}

void TfrmStampa::reattach()
{
    StretchHandle1->Attach(imImmagine);
    updateMeasures();
}

void TfrmStampa::moveImage(const std::function<QRect(QRect)>& change)
{
    StretchHandle1->Detach();
    imImmagine->setGeometry(change(imImmagine->geometry()));
    reattach();
}

void TfrmStampa::setViewMode(int mode)
{
    PageViewMode = mode;
    SpeedButton2->setEnabled(mode != 1);
    SpeedButton3->setEnabled(mode != 2);
    SpeedButton2->setChecked(mode == 1);
    SpeedButton3->setChecked(mode == 2);
    updateMeasures();
}

void TfrmStampa::SpeedButton2Click()
{
    if (PageViewMode == 1)
        return;
    moveImage(halved);
    const QSize page = pageSize(kSmallPageWidth, PageAspect);
    setPageGeometry(QRect(QPoint(pageOffset(scrollBoxSize().width(), page.width()), 25), page));
    setViewMode(1);
}

void TfrmStampa::SpeedButton3Click()
{
    if (PageViewMode == 2)
        return;
    moveImage(doubled);
    const QSize page = pageSize(2 * kSmallPageWidth, PageAspect);
    setPageGeometry(QRect(QPoint(pageOffset(scrollBoxSize().width(), page.width()), 50), page));
    setViewMode(2);
}

void TfrmStampa::btMantieniPropClick()
{
    const QSize picture = imImmagine->picture().size();
    moveImage([&](QRect r) { return QRect(r.topLeft(), keepRatio(r.size(), picture)); });
}

void TfrmStampa::btCentraXClick()
{
    moveImage([this](QRect r) {
        r.moveLeft(centred(Page->width(), r.width()));
        return r;
    });
}

void TfrmStampa::btCentraYClick()
{
    moveImage([this](QRect r) {
        r.moveTop(centred(Page->height(), r.height()));
        return r;
    });
}

void TfrmStampa::btPageSetupClick()
{
    QPageSetupDialog dialog(m_printer.get(), this);
    if (runDialog(dialog))
        printerChanged();
}

void TfrmStampa::btStampaClick()
{
    const QString before = m_printer->outputFileName();
    const bool existed = !before.isEmpty() && QFileInfo::exists(before);
    QPrintDialog dialog(m_printer.get(), this);
    if (!runDialog(dialog)) {
        // A cancelled dialog prints nothing and leaves no empty file behind.
        const QFileInfo left(before);
        if (!existed && left.isFile() && left.size() == 0)
            QFile::remove(before);
        return;
    }
    // The dialog may have chosen another printer or paper: the page follows.
    printerChanged();
    WaitCursor wait;
    const bool paletteScreen = screen() && screen()->depth() <= 8;
    printPicture(*m_printer, imImmagine->picture(), paperRect(handlesFrame(), m_printer->width(), PageViewMode),
                 paletteScreen);
}

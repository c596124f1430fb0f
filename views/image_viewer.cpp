// The picture viewer window.
#include "views/image_viewer.h"

#include "catalogue/settings_options.h"
#include "catalogue/thumbnail_geometry.h"
#include "formats/gif_errors.h"
#include "formats/gif_progress.h"
#include "formats/picture_loader.h"
#include "platform/interface_language.h"
#include "platform/settings.h"
#include "platform/wait_cursor.h"
#include "ui/file_label.h"
#include "views/command_guard.h"
#include "views/picture_save.h"
#include "views/print_layout.h"
#include "views/stretch_handle.h"
#include "views/viewer_geometry.h"

#include <QAction>
#include <QClipboard>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>
#include <cstdlib>

using namespace viewer;

// ---- controls -------------------------------------------------------------------

PictureControl::PictureControl(QWidget* parent) : QWidget(parent)
{
    setObjectName("ctImmagine");
    setCursor(Qt::CrossCursor);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PictureControl::setPicture(const QImage& picture)
{
    m_picture = picture;
    update();
}

void PictureControl::paintEvent(QPaintEvent* e)
{
    QPainter p(this);
    p.fillRect(e->rect(), palette().window());
    if (!m_picture.isNull())
        p.drawImage(e->rect().topLeft(), m_picture, e->rect());
}

void PictureControl::mousePressEvent(QMouseEvent* e)
{
    emit pressed(e);
    QWidget::mousePressEvent(e);
}

SelectionFrame::SelectionFrame(QWidget* parent) : QWidget(parent)
{
    setObjectName("Cornice");
    setCursor(Qt::CrossCursor);
    resize(50, 50);
    hide();
}

void SelectionFrame::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setPen(QPen(Qt::black, 1, Qt::DashLine));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}

// ---- prompts --------------------------------------------------------------------

int ViewerPrompts::askSave(QWidget* parent, const QString& title, const QString& text)
{
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                    parent);
    return box.exec();
}

void ViewerPrompts::message(QWidget* parent, const QString& title, const QString& text)
{
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, parent);
    box.exec();
}

QString ViewerPrompts::runSaveDialog(QFileDialog& dialog)
{
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().first();
}

// ---- the window -----------------------------------------------------------------

namespace {

const QStringList kFilters = QString::fromLatin1(kSaveDialogFilter).split(QStringLiteral(";;"));

} // namespace

TfrmMostraImmagine::TfrmMostraImmagine(QWidget* owner)
    : QWidget(owner, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                         | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint)
{
    setObjectName("frmMostraImmagine");
    setAttribute(Qt::WA_DeleteOnClose);
    setProperty("quorvelViewer", true); // the exit command closes every viewer
    m_prompts = std::make_shared<ViewerPrompts>();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    ClientArea = new QScrollArea(this);
    ClientArea->setObjectName("ClientArea");
    ClientArea->setFrameShape(QFrame::NoFrame);
    ClientArea->setWidgetResizable(false);
    ClientArea->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    layout->addWidget(ClientArea);

    ctImmagine = new PictureControl;
    ClientArea->setWidget(ctImmagine);
    // The frame and its handles live on the picture, so they scroll with it.
    Cornice = new SelectionFrame(ctImmagine);
    StretchHandle1 = new TStretchHandle(ctImmagine);
    StretchHandle1->setObjectName("StretchHandle1");
    StretchHandle1->setGridX(1);
    StretchHandle1->setGridY(1);

    FileLabel1 = new TFileLabel(this);
    FileLabel1->setObjectName("FileLabel1");
    FileLabel1->setDirection(drFromRight);
    FileLabel1->hide();

    SaveDialog1 = new QFileDialog(this);
    SaveDialog1->setObjectName("SaveDialog1");
    SaveDialog1->setOption(QFileDialog::DontUseNativeDialog);
    SaveDialog1->setAcceptMode(QFileDialog::AcceptSave);
    SaveDialog1->setFileMode(QFileDialog::AnyFile);
    SaveDialog1->setDefaultSuffix(QStringLiteral("jpg"));
    SaveDialog1->setNameFilters(kFilters);

    auto action = [this](const char* name, void (TfrmMostraImmagine::*slot)()) {
        auto* a = new QAction(this);
        a->setObjectName(QString::fromLatin1(name));
        if (slot)
            connect(a, &QAction::triggered, this, [this, slot] { runViewCommand([this, slot] { (this->*slot)(); }); });
        return a;
    };
    ZoomAumenta = action("ZoomAumenta", &TfrmMostraImmagine::ZoomAumentaClick);
    ZoomRiduci = action("ZoomRiduci", &TfrmMostraImmagine::ZoomRiduciClick);
    GNaturale1 = action("GNaturale1", &TfrmMostraImmagine::GNaturaleClick);
    CopianegliAppunti1 = action("CopianegliAppunti1", &TfrmMostraImmagine::CopianegliAppunti1Click);
    Salvacome1 = action("Salvacome1", &TfrmMostraImmagine::Salvacome1Click);
    Stampaimmagine1 = action("Stampaimmagine1", &TfrmMostraImmagine::Stampaimmagine1Click);
    PopupMenu981 = new QMenu(this);
    PopupMenu981->setObjectName("PopupMenu981");
    PopupMenu981->addActions({ZoomAumenta, ZoomRiduci, GNaturale1});
    PopupMenu981->addSeparator();
    PopupMenu981->addAction(CopianegliAppunti1);
    PopupMenu981->addSeparator();
    PopupMenu981->addAction(Salvacome1);
    PopupMenu981->addSeparator();
    PopupMenu981->addAction(Stampaimmagine1);
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { PopupMenu981->popup(mapToGlobal(pos)); });

    connect(ctImmagine, &PictureControl::pressed, this,
            [this](QMouseEvent* e) { runViewCommand([this, e] { ctImmagineMouseDown(e); }); });
    // The window sees its keys before the controls do.
    for (QWidget* w : {static_cast<QWidget*>(ClientArea), ClientArea->viewport(), static_cast<QWidget*>(ctImmagine),
                       static_cast<QWidget*>(Cornice), static_cast<QWidget*>(StretchHandle1)})
        w->installEventFilter(this);
}

// The main window's reference clears itself (a QPointer); it is not touched
// here, as the main window may be going too.
TfrmMostraImmagine::~TfrmMostraImmagine() = default;

void TfrmMostraImmagine::setPrompts(std::shared_ptr<ViewerPrompts> prompts)
{
    m_prompts = prompts ? std::move(prompts) : std::make_shared<ViewerPrompts>();
}

bool TfrmMostraImmagine::italian() const { return italianInterface(LanguageTest::ItalianPrefix); }

const QImage& TfrmMostraImmagine::shownPicture() const { return ctImmagine->picture(); }

void TfrmMostraImmagine::setShownPicture(const QImage& picture) { ctImmagine->setPicture(picture); }

void TfrmMostraImmagine::OpenFile(const QString& path, bool centred)
{
    OpenPicture(LoadPictureFile(path, settingsJpegOptions()).image(), path, centred);
}

void TfrmMostraImmagine::OpenPicture(const QImage& picture, const QString& path, bool centred)
{
    m_path = path;
    SourceBitmap = picture;
    setShownPicture(picture);
    // The title shows the path upper-cased; the file is reached by m_path only.
    FileLabel1->resize(std::max(0, picture.width() - 30), FileLabel1->height());
    FileLabel1->setFileName(thumbs::upperAscii(path));
    FileLabel1->setText(FileLabel1->caption());
    setWindowTitle(FileLabel1->text());
    ZoomLevel = 1;
    FitToPicture();
    if (centred) {
        const QRect screen = this->screen() ? this->screen()->availableGeometry() : QRect(0, 0, 1024, 768);
        const QSize outer = size() + frameMargins();
        move(screen.left() + (screen.width() - outer.width()) / 2, screen.top() + (screen.height() - outer.height()) / 2);
    }
}

QSize TfrmMostraImmagine::frameMargins() const
{
    if (!isVisible())
        return {};
    return frameGeometry().size() - geometry().size();
}

QSize TfrmMostraImmagine::screenSize() const
{
    return screen() ? screen()->availableGeometry().size() : QSize(1024, 768);
}

void TfrmMostraImmagine::setClientSize(QSize size)
{
    const ScreenFit fit = fitOnScreen(size, screenSize(), frameMargins());
    resize(fit.client);
    if (fit.left == 0 || fit.top == 0)
        move(fit.left == 0 ? 0 : x(), fit.top == 0 ? 0 : y());
}

void TfrmMostraImmagine::FormShow()
{
    UpdateZoomCaption();
    if (!m_shownOnce)
        SourceBitmap = shownPicture();
    m_shownOnce = true;
    const bool it = italian();
    ZoomAumenta->setText(it ? QStringLiteral("Ingrandisci") : QStringLiteral("Zoom in"));
    ZoomRiduci->setText(it ? QStringLiteral("Riduci") : QStringLiteral("Zoom out"));
    GNaturale1->setText(QStringLiteral("1:1"));
    CopianegliAppunti1->setText(it ? QStringLiteral("Copia negli Appunti") : QStringLiteral("Copy to Clipboard"));
    Salvacome1->setText(it ? QStringLiteral("Salva come...") : QStringLiteral("Save as..."));
    Stampaimmagine1->setText(it ? QStringLiteral("Stampa immagine") : QStringLiteral("Print image"));
    SaveDialog1->setWindowTitle(it ? QStringLiteral("Salva la selezione") : QStringLiteral("Save selected"));
    SaveDialog1->selectFile(it ? QStringLiteral("SenzaTitolo") : QStringLiteral("Untitled"));
}

void TfrmMostraImmagine::showEvent(QShowEvent* e)
{
    QWidget::showEvent(e);
    if (!e->spontaneous()) // not when the window comes back from the task bar
        FormShow();
}

void TfrmMostraImmagine::UpdateZoomCaption()
{
    const QString text = zoomCaption(ZoomLevel, FileLabel1->text());
    FileLabel1->setText(text);
    setWindowTitle(text);
}

void TfrmMostraImmagine::FitToPicture()
{
    setShownPicture(SourceBitmap);
    ZoomBitmap = QImage(); // natural size shows the source itself
    ctImmagine->resize(SourceBitmap.size());
    setClientSize(SourceBitmap.size());
}

const QImage& TfrmMostraImmagine::StretchToZoom(double factor)
{
    // The old zoomed picture goes first: a step holds the source, the new
    // zoomed bitmap and the picture shown, which is that bitmap.
    setShownPicture(QImage());
    ZoomBitmap = QImage();
    ZoomBitmap = SourceBitmap.scaled(zoomedSize(SourceBitmap.size(), factor), Qt::IgnoreAspectRatio,
                                     Qt::FastTransformation);
    return ZoomBitmap;
}

void TfrmMostraImmagine::showZoomed(double factor)
{
    const QSize wanted = zoomedSize(SourceBitmap.size(), factor);
    ctImmagine->resize(zoomedControlSize(SourceBitmap.size(), factor));
    const QImage& zoomed = StretchToZoom(factor);
    if (zoomed.isNull() || zoomed.size() != wanted) {
        // No memory for it: back to natural size, and say so.
        FitToPicture();
        ZoomLevel = 1;
        UpdateZoomCaption();
        throw EViewerZoom(italian() ? QStringLiteral("Memoria insufficiente per l'ingrandimento")
                                    : QStringLiteral("Not enough memory to zoom the picture"));
    }
    setShownPicture(zoomed);
}

namespace {

// Refuses a step whose bitmap would pass the picture limits or shrink to
// nothing, before anything changes.
void checkZoom(QSize source, int level, bool italian)
{
    if (std::abs(level) == 1)
        return;
    const QSize s = zoomedSize(source, zoomFactor(level));
    if (s.width() >= 1 && s.height() >= 1 && zoomAllowed(s + QSize(1, 1)))
        return;
    throw EViewerZoom(italian ? QStringLiteral("Zoom non possibile: l'immagine sarebbe di %1 x %2 pixel")
                                    .arg(s.width())
                                    .arg(s.height())
                              : QStringLiteral("Zoom not possible: the picture would be %1 x %2 pixels")
                                    .arg(s.width())
                                    .arg(s.height()));
}

} // namespace

void TfrmMostraImmagine::ZoomAumentaClick()
{
    const int p = ZoomLevel;
    const int c = zoomInLevel(p);
    checkZoom(SourceBitmap.size(), c, italian());
    WaitCursor wait;
    move(0, 0);
    ZoomLevel = c;
    UpdateZoomCaption();
    const double f = zoomFactor(c);
    const double r = stepRatio(p, c);
    if (std::abs(c) == 1) {
        FitToPicture();
        ZoomLevel = 1;
        UpdateZoomCaption();
    } else {
        showZoomed(f);
        const QSize screen = screenSize();
        const QSize margins = frameMargins();
        const QSize outer = size() + margins;
        QSize client = size();
        client.setWidth(screen.width() > outer.width() * r ? scaled(width(), r) + 1 : screen.width() - margins.width());
        client.setHeight(screen.height() > outer.height() * r ? scaled(height(), r) + 1
                                                              : screen.height() - margins.height());
        resize(client);
    }
    if (Cornice->isVisible())
        rescaleSelection(r);
}

void TfrmMostraImmagine::ZoomRiduciClick()
{
    const int p = ZoomLevel;
    const int c = zoomOutLevel(p);
    checkZoom(SourceBitmap.size(), c, italian());
    WaitCursor wait;
    ZoomLevel = c;
    UpdateZoomCaption();
    const double r = stepRatio(p, c);
    if (std::abs(c) == 1) {
        FitToPicture();
        ZoomLevel = 1;
        UpdateZoomCaption();
    } else {
        showZoomed(zoomFactor(c));
        resize(ctImmagine->size());
    }
    if (Cornice->isVisible())
        rescaleSelection(r);
}

void TfrmMostraImmagine::GNaturaleClick()
{
    const int n = ZoomLevel;
    FitToPicture();
    if (Cornice->isVisible())
        rescaleSelection(n > 0 ? std::fabs(1.0 / n) : std::abs(n));
    ZoomLevel = 1;
    UpdateZoomCaption();
}

void TfrmMostraImmagine::rescaleSelection(double ratio)
{
    StretchHandle1->Detach();
    Cornice->setGeometry(rescaleFrame(Cornice->geometry(), ratio));
    StretchHandle1->Attach(Cornice);
}

void TfrmMostraImmagine::dropSelection()
{
    Cornice->hide();
    StretchHandle1->Detach();
}

void TfrmMostraImmagine::ctImmagineMouseDown(QMouseEvent* e)
{
    if (!(e->buttons() & Qt::LeftButton) || Cornice->isVisible())
        return;
    Cornice->move(e->position().toPoint());
    Cornice->show();
    StretchHandle1->Attach(Cornice);
}

QImage TfrmMostraImmagine::SelectionBitmap() const
{
    if (!Cornice->isVisible())
        return {};
    const QRect r = selectionRect(QRect(QPoint(0, 0), shownPicture().size()), Cornice->geometry());
    return r.isEmpty() ? QImage() : shownPicture().copy(r);
}

void TfrmMostraImmagine::CopianegliAppunti1Click()
{
    QGuiApplication::clipboard()->setImage(Cornice->isVisible() ? SelectionBitmap() : shownPicture());
}

void TfrmMostraImmagine::Salvacome1Click()
{
    // The real path, never the upper-cased and shortened title.
    const QFileInfo info(m_path);
    if (!m_path.isEmpty()) {
        SaveDialog1->setDirectory(info.absolutePath());
        SaveDialog1->selectNameFilter(kFilters.value(saveFilterIndex(m_path)));
        SaveDialog1->selectFile(info.completeBaseName());
    }
    const QString name = m_prompts->runSaveDialog(*SaveDialog1);
    if (name.isEmpty())
        return;
    if (Cornice->isVisible()) {
        SavePictureAs(SelectionBitmap(), name);
    } else {
        SavePictureAs(shownPicture(), name);
        Modified = false;
    }
}

void TfrmMostraImmagine::Stampaimmagine1Click()
{
    // One print window for the whole program, kept by the main window.
    TfrmStampa* window = printLayoutWindow(parentWidget() ? parentWidget() : this);
    window->setPicture(shownPicture());
    window->exec();
}

void TfrmMostraImmagine::SavePictureAs(const QImage& graphic, const QString& fileName)
{
    const SaveTarget target = saveTargetFor(fileName);
    const JpegOptions jpeg = settingsJpegOptions();
    if (target.format != SaveFormat::Gif) {
        writePicture(graphic, target, jpeg);
        return;
    }
    const bool it = italian();
    const QString title = it ? QStringLiteral("Attenzione") : QStringLiteral("Warning");
    try {
        WaitCursor wait; // the colour reduction and the coding take a while
        writePicture(graphic, target, jpeg);
    } catch (const EGifConversionError&) {
        GifProgress(1.0); // takes down the conversion's progress window
        m_prompts->message(this, title, it ? QStringLiteral("Conversione gif non riuscita")
                                           : QStringLiteral("Gif conversion failed"));
    } catch (const QvError&) {
        m_prompts->message(this, title, it ? QStringLiteral("Salvataggio non riuscito") : QStringLiteral("Save failed"));
    }
}

void TfrmMostraImmagine::applyEdit(PictureEdit edit, QImage& work)
{
    const QImage shown = applyPictureEdit(shownPicture(), edit, work);
    // The source carries every edit too, so a zoom step or a save keeps it.
    const QImage source = ZoomLevel == 1 ? shown : applyPictureEdit(SourceBitmap, edit, work);
    if (shown.isNull() || source.isNull())
        throw EViewerZoom(italian() ? QStringLiteral("Memoria insufficiente per la modifica")
                                    : QStringLiteral("Not enough memory for the edit"));
    SourceBitmap = source;
    if (ZoomLevel != 1)
        ZoomBitmap = shown;
    setShownPicture(shown);
    if (ZoomLevel != 1)
        ctImmagine->resize(shown.size() + QSize(1, 1));
    else
        ctImmagine->resize(shown.size());
    if (swapsSides(edit))
        setClientSize(shown.size());
    Modified = true;
}

// ---- keys -----------------------------------------------------------------------

void TfrmMostraImmagine::scroll(bool vertical, int action)
{
    QScrollBar* bar = vertical ? ClientArea->verticalScrollBar() : ClientArea->horizontalScrollBar();
    bar->triggerAction(QAbstractSlider::SliderAction(action));
}

bool TfrmMostraImmagine::FormKeyDown(int key, Qt::KeyboardModifiers modifiers)
{
    static const int ours[] = {Qt::Key_Escape, Qt::Key_PageUp, Qt::Key_PageDown, Qt::Key_End, Qt::Key_Home,
                               Qt::Key_Left,   Qt::Key_Right,  Qt::Key_Up,       Qt::Key_Down};
    if (std::find(std::begin(ours), std::end(ours), key) == std::end(ours))
        return false;
    if (QGuiApplication::mouseButtons() & Qt::LeftButton)
        return true; // nothing while a drag may be running
    const bool shift = modifiers & Qt::ShiftModifier;
    using A = QAbstractSlider;
    switch (key) {
    case Qt::Key_Escape: dropSelection(); break;
    case Qt::Key_PageUp: scroll(true, A::SliderPageStepSub); break;
    case Qt::Key_PageDown: scroll(true, A::SliderPageStepAdd); break;
    case Qt::Key_End:
        scroll(true, A::SliderToMaximum);
        scroll(false, A::SliderToMaximum);
        break;
    case Qt::Key_Home:
        scroll(true, A::SliderToMinimum);
        scroll(false, A::SliderToMinimum);
        break;
    case Qt::Key_Left: scroll(false, shift ? A::SliderPageStepSub : A::SliderSingleStepSub); break;
    case Qt::Key_Right: scroll(false, shift ? A::SliderPageStepAdd : A::SliderSingleStepAdd); break;
    case Qt::Key_Up: scroll(true, shift ? A::SliderPageStepSub : A::SliderSingleStepSub); break;
    case Qt::Key_Down: scroll(true, shift ? A::SliderPageStepAdd : A::SliderSingleStepAdd); break;
    }
    return true;
}

void TfrmMostraImmagine::keyPressEvent(QKeyEvent* e)
{
    if (!FormKeyDown(e->key(), e->modifiers()))
        QWidget::keyPressEvent(e);
}

bool TfrmMostraImmagine::eventFilter(QObject* watched, QEvent* e)
{
    if (e->type() == QEvent::KeyPress) {
        auto* ke = static_cast<QKeyEvent*>(e);
        bool handled = false;
        runViewCommand([&] { handled = FormKeyDown(ke->key(), ke->modifiers()); });
        return handled;
    }
    return QWidget::eventFilter(watched, e);
}

// ---- activation and closing ----------------------------------------------------------

bool TfrmMostraImmagine::event(QEvent* e)
{
    if (e->type() == QEvent::WindowActivate && m_activeSlot)
        *m_activeSlot = this;
    return QWidget::event(e);
}

void TfrmMostraImmagine::closeEvent(QCloseEvent* e)
{
    if (Modified && !m_closing) {
        const bool it = italian();
        const QString title = !m_path.isEmpty() ? m_path : it ? QStringLiteral("Attenzione") : QStringLiteral("Warning");
        const int answer = m_prompts->askSave(
            this, title, it ? QStringLiteral("L'immagine è stata modificata. Salvare?") : QStringLiteral("Image modified. Save?"));
        if (answer == QMessageBox::Cancel) {
            e->ignore();
            return;
        }
        if (answer == QMessageBox::Yes) {
            bool failed = true;
            runViewCommand([&] {
                Salvacome1Click();
                failed = false;
            });
            if (failed) { // the edits are not thrown away after a save that failed
                e->ignore();
                return;
            }
        }
    }
    m_closing = true;
    FormClose();
    e->accept();
}

void TfrmMostraImmagine::FormClose()
{
    if (m_activeSlot && *m_activeSlot == this)
        *m_activeSlot = nullptr;
    dropSelection();
    setShownPicture(QImage());
    ZoomBitmap = QImage();
    SourceBitmap = QImage();
}

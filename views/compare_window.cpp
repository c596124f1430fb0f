// The compare window: layout, language texts, loading and drawing of the panes.
#include "views/compare_window.h"

#include "catalogue/settings_options.h"
#include "catalogue/thumbnail_scale.h"
#include "formats/picture_loader.h"
#include "platform/interface_language.h"
#include "platform/settings.h"
#include "platform/wait_cursor.h"
#include "ui/file_label.h"
#include "views/fit_geometry.h"

#include <QFileDialog>
#include <QFrame>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QShowEvent>
#include <QStatusBar>

namespace {

const char kHintItalian[] = "Doppio click per caricare un'immagine";
const char kHintEnglish[] = "Double click to load an image";

const char kFilterItalian[] =
    "Tutti i file grafici|*.bmp;*.jpg;*.jpeg;*.gif;*.tif;*.rle;*.dib;*.pcx;*.tha;*.cdr;*.emf;*.wmf;*.ico"
    "|Bitmap (*.bmp)|*.bmp|Jpeg (*.jpg;*.jpeg)|*.jpg;*.jpeg|GIF (*.gif)|*.gif|TIFF (*.tif)|*.tif"
    "|Run length encoding (*.rle)|*.rle|Device indipendent bitmap (*.dib)|*.dib|PCX (*.pcx)|*.pcx"
    "|Targa (*.tga)|*.tga|Corel Draw (*.cdr)|*.cdr|Extended Metafile (*.emf)|*.emf"
    "|Windows Metafile (*.wmf)|*.wmf|Icona (*.ico)|*.ico";
const char kFilterEnglish[] =
    "All graphic files|*.bmp;*.jpg;*.jpeg;*.gif;*.tif;*.rle;*.dib;*.pcx;*.tha;*.cdr;*.emf;*.wmf;*.ico"
    "|Bitmap (*.bmp)|*.bmp|Jpeg (*.jpg;*.jpeg)|*.jpg;*.jpeg|GIF (*.gif)|*.gif|TIFF (*.tif)|*.tif"
    "|Run length encoding (*.rle)|*.rle|Device indipendent bitmap (*.dib)|*.dib|PCX (*.pcx)|*.pcx"
    "|Targa (*.tga)|*.tga|Corel Draw (*.cdr)|*.cdr|Extended Metafile (*.emf)|*.emf"
    "|Windows Metafile (*.wmf)|*.wmf|Icon (*.ico)|*.ico";
// What the window shows for a language that is neither of the two.
const char kFilterDesigned[] =
    "Jpeg (*.jpg)|*.jpg|GIF (*.gif)|*.gif|TIFF (*.tif)|*.tif|Run length encoding (*.rle)|*.rle"
    "|Device indipendent bitmap (*.dib)|*.dib|PCX (*.pcx)|*.pcx|Bitmap (*.bmp)|*.bmp|Targa (*.tga)|*.tga"
    "|Corel Draw (*.cdr)|*.cdr|Extended Metafile (*.emf)|*.emf|Windows Metafile (*.wmf)|*.wmf"
    "|Icona (*.ico)|*.ico|Tutti i file (*.*)|*.*";

// "Description|patterns|..." pairs as the file dialog's filters. The dialog
// takes the patterns from a trailing parenthesis, separated by spaces: a
// description that already ends in its patterns keeps its words.
QStringList dialogFilters(const QString& pairs)
{
    const QStringList parts = pairs.split(u'|');
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts[i];
        const QString patterns = parts[i + 1];
        const QString shown = QStringLiteral("(") + patterns + u')';
        if (description.endsWith(shown))
            description.chop(shown.size());
        else
            description += u' ';
        out << description + u'(' + QString(patterns).replace(u';', u' ') + u')';
    }
    return out;
}

QFrame* panel(QWidget* parent, const char* name, const QRect& geometry, bool lowered)
{
    auto* p = new QFrame(parent);
    p->setObjectName(QString::fromLatin1(name));
    p->setGeometry(geometry);
    p->setFrameStyle(lowered ? QFrame::Panel | QFrame::Sunken : QFrame::NoFrame);
    p->setLineWidth(1);
    return p;
}

} // namespace

// ---- ComparePane --------------------------------------------------------------

ComparePane::ComparePane(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void ComparePane::clear(const QColor& colour)
{
    m_background = colour;
    m_image = QImage();
    m_rect = QRect();
    update();
}

void ComparePane::draw(const TPicture& picture)
{
    const QRect r = fit::paneRect(picture.size(), size());
    if (r.isEmpty())
        return;
    QImage image = thumbs::scaleForThumbnail(picture.image(), r.width(), r.height());
    image.convertTo(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    m_image = std::move(image);
    m_rect = r;
    update();
}

void ComparePane::paintEvent(QPaintEvent*)
{
    // Always drawn from what the pane keeps: never stale screen contents.
    QPainter p(this);
    p.fillRect(rect(), m_background);
    if (!m_image.isNull())
        p.drawImage(m_rect.topLeft(), m_image);
}

void ComparePane::mouseDoubleClickEvent(QMouseEvent* e)
{
    if (e->button() == Qt::LeftButton)
        emit doubleClicked();
}

// ---- TfrmConfrontaImg --------------------------------------------------------------

TfrmConfrontaImg::TfrmConfrontaImg(QWidget* parent) : QWidget(parent, Qt::Window | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName("frmConfrontaImg");
    setFixedSize(600, 400);
    setWindowTitle(QStringLiteral("Confronta Immagini"));

    // Each half: a lowered panel, its path strip on top, the pane below.
    Panel1 = panel(this, "Panel1", QRect(0, 0, 295, 376), true);
    Panel2 = panel(this, "Panel2", QRect(295, 0, 305, 376), true);
    Panel3 = panel(Panel1, "Panel3", QRect(1, 1, 293, 20), false);
    Panel4 = panel(Panel2, "Panel4", QRect(1, 1, 303, 20), false);
    FileLabel1 = new TFileLabel(Panel3);
    FileLabel2 = new TFileLabel(Panel4);
    int n = 1;
    for (TFileLabel* l : {FileLabel1, FileLabel2}) {
        l->setObjectName(QStringLiteral("FileLabel%1").arg(n++));
        l->setDirection(drFromLeft);
        l->setGeometry(QRect(QPoint(0, 0), l->parentWidget()->size()));
        l->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    }
    Image1 = new ComparePane(Panel1);
    Image1->setObjectName("Image1");
    Image1->setGeometry(1, 21, 293, 354);
    Image2 = new ComparePane(Panel2);
    Image2->setObjectName("Image2");
    Image2->setGeometry(1, 21, 303, 354);
    connect(Image1, &ComparePane::doubleClicked, this, [this] { Image1DblClick(); });
    connect(Image2, &ComparePane::doubleClicked, this, [this] { Image2DblClick(); });

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName("StatusBar1");
    StatusBar1->setSizeGripEnabled(false);
    StatusBar1->setGeometry(0, 376, 600, 24);

    OpenDialog1 = new QFileDialog(this);
    OpenDialog1->setObjectName("OpenDialog1");
    OpenDialog1->setFileMode(QFileDialog::ExistingFile);
    OpenDialog1->setAcceptMode(QFileDialog::AcceptOpen);

    Image1->setToolTip(QString::fromUtf8(kHintItalian));
    Image2->setToolTip(QString::fromUtf8(kHintItalian));
    OpenDialog1->setWindowTitle(QStringLiteral("Apri file"));
    OpenDialog1->setNameFilters(dialogFilters(QString::fromUtf8(kFilterDesigned)));
}

void TfrmConfrontaImg::showEvent(QShowEvent* e)
{
    QWidget::showEvent(e);
    if (e->spontaneous())
        return; // restored from the task bar: the panes keep their pictures
    if (!m_centred) {
        if (QScreen* s = screen())
            move(s->availableGeometry().center() - rect().center());
        m_centred = true;
    }
    FormShow();
    FormPaint();
}

void TfrmConfrontaImg::FormShow()
{
    const QColor background = colorFromRef(Configurazione.BkCol);
    Image1->clear(background);
    Image2->clear(background);
}

void TfrmConfrontaImg::paintEvent(QPaintEvent*)
{
    FormPaint();
}

void TfrmConfrontaImg::FormPaint()
{
    QString title, hint, dialogTitle = QStringLiteral("Apri file");
    const char* filter;
    switch (interfaceLanguage(LanguageTest::BothPrefixes)) {
    case InterfaceLanguage::Italian:
        title = QStringLiteral("Confronta immagini");
        hint = QString::fromUtf8(kHintItalian);
        filter = kFilterItalian;
        break;
    case InterfaceLanguage::English:
        title = QStringLiteral("Compare images");
        hint = QString::fromUtf8(kHintEnglish);
        dialogTitle = QStringLiteral("Open file");
        filter = kFilterEnglish;
        break;
    case InterfaceLanguage::Unchanged:
        title = QStringLiteral("Confronta Immagini");
        hint = QString::fromUtf8(kHintItalian);
        filter = kFilterDesigned;
        break;
    }
    // Only what changed is set: a paint must not cause another.
    if (windowTitle() != title)
        setWindowTitle(title);
    if (Image1->toolTip() != hint) {
        Image1->setToolTip(hint);
        Image2->setToolTip(hint);
    }
    if (OpenDialog1->windowTitle() != dialogTitle)
        OpenDialog1->setWindowTitle(dialogTitle);
    const QStringList filters = dialogFilters(QString::fromUtf8(filter));
    if (OpenDialog1->nameFilters() != filters)
        OpenDialog1->setNameFilters(filters);
}

void TfrmConfrontaImg::Image1DblClick() { choosePicture(0); }
void TfrmConfrontaImg::Image2DblClick() { choosePicture(1); }

void TfrmConfrontaImg::choosePicture(int pane)
{
    if (OpenDialog1->exec() != QDialog::Accepted)
        return;
    const QStringList chosen = OpenDialog1->selectedFiles();
    if (chosen.isEmpty())
        return;
    try {
        loadIntoPane(pane, chosen.first());
    } catch (const QvError& e) {
        if (!m_onError)
            throw;
        m_onError(e.message());
    }
}

void TfrmConfrontaImg::loadIntoPane(int pane, const QString& fileName)
{
    ComparePane* target = pane == 0 ? Image1 : Image2;
    (pane == 0 ? FileLabel1 : FileLabel2)->setFileName(fileName);
    WaitCursor wait;
    const TPicture picture = LoadPictureFile(fileName, settingsJpegOptions()); // throws before the pane changes
    target->clear(colorFromRef(Configurazione.BkCol));
    target->draw(picture);
}

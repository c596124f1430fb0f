// The options dialog: five pages of controls over the settings record.
#include "app/options_dialog.h"

#include "app/texts.h"
#include "platform/interface_language.h"
#include "platform/settings.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QColorDialog>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSpinBox>
#include <QStyle>
#include <QTabWidget>
#include <QVBoxLayout>

QImage paintSizePreview(int size, const QColor& border, const QColor& background)
{
    QImage img(size, size, QImage::Format_RGB32);
    img.fill(Qt::white);
    if (size < 3)
        return img;
    QPainter p(&img);
    // The inner square (1, 1)-(size-2, size-2) in the background colour, outlined by the default pen.
    p.fillRect(QRect(QPoint(1, 1), QPoint(size - 2, size - 2)), Qt::black);
    if (size > 4)
        p.fillRect(QRect(QPoint(2, 2), QPoint(size - 3, size - 3)), background);
    // Then the outline through the four corner pixels in the border colour.
    p.setPen(border);
    const QPoint corners[] = {{0, 0}, {size - 1, 0}, {size - 1, size - 1}, {0, size - 1}};
    p.drawPolygon(corners, 4);
    return img;
}

SizePreview::SizePreview(int size, QWidget* parent) : QLabel(parent), m_size(size)
{
    // A plain outline shows where to click while the picture is empty.
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setLineWidth(1);
    setForegroundRole(QPalette::Mid);
    setFixedSize(size + 2, size + 2);
    setAlignment(Qt::AlignCenter);
    setCursor(Qt::PointingHandCursor);
}

void SizePreview::mousePressEvent(QMouseEvent* e)
{
    if (e->button() == Qt::LeftButton)
        emit clicked();
    QLabel::mousePressEvent(e);
}

RadioGroup::RadioGroup(int items, QWidget* parent) : QGroupBox(parent)
{
    m_group = new QButtonGroup(this);
    auto* column = new QVBoxLayout(this);
    for (int i = 0; i < items; ++i) {
        auto* b = new QRadioButton(this);
        b->setObjectName(QStringLiteral("item%1").arg(i));
        m_group->addButton(b, i);
        column->addWidget(b);
    }
    column->addStretch(1);
}

void RadioGroup::setTexts(const QString& title, const QStringList& items)
{
    setTitle(title);
    for (int i = 0; i < items.size(); ++i)
        if (QAbstractButton* b = m_group->button(i))
            b->setText(items[i]);
}

int RadioGroup::checkedIndex() const { return m_group->checkedId(); }

void RadioGroup::setCheckedIndex(int index)
{
    if (QAbstractButton* b = m_group->button(index)) {
        b->setChecked(true);
        return;
    }
    // No item: the exclusive group must let go to show none.
    m_group->setExclusive(false);
    for (QAbstractButton* b : m_group->buttons())
        b->setChecked(false);
    m_group->setExclusive(true);
}

namespace {

template <typename W>
W* named(W* w, const char* name)
{
    w->setObjectName(QString::fromLatin1(name));
    return w;
}

} // namespace

TfrmOpzioni::TfrmOpzioni(QWidget* parent) : QDialog(parent)
{
    setObjectName("frmOpzioni");
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setFixedSize(445, 401);
    m_pickColour = [](const QColor& initial, QWidget* owner) -> std::optional<QColor> {
        const QColor c = QColorDialog::getColor(initial, owner);
        if (!c.isValid())
            return std::nullopt;
        return c;
    };

    auto* outer = new QVBoxLayout(this);
    PageControl1 = named(new QTabWidget(this), "PageControl1");
    outer->addWidget(PageControl1, 1);

    PageControl1->addTab(createGeneralPage(), QString());
    PageControl1->addTab(createThumbnailsPage(), QString());
    PageControl1->addTab(createSlideshowPage(), QString());
    PageControl1->addTab(createToolbarPage(), QString());
    PageControl1->addTab(createJpegPage(), QString());
    connect(ckSvuota, &QCheckBox::clicked, this, &TfrmOpzioni::ckSvuotaClick);
    connect(rgColori->buttons(), &QButtonGroup::idClicked, this, &TfrmOpzioni::rgColoriClick);
    outer->addLayout(createButtons());

    fillFrom(Configurazione);
}

QWidget* TfrmOpzioni::createGeneralPage()
{
    auto* general = named(new QWidget, "TabSheet1");
    auto* g = new QGridLayout(general);
    rgLingua = named(new RadioGroup(2, general), "rgLingua");
    g->addWidget(rgLingua, 0, 0);
    rgOperazione = named(new RadioGroup(2, general), "rgOperazione");
    g->addWidget(rgOperazione, 0, 1);
    GroupBox1 = named(new QGroupBox(general), "GroupBox1");
    ckRinomina = named(new QCheckBox(GroupBox1), "ckRinomina");
    (new QVBoxLayout(GroupBox1))->addWidget(ckRinomina);
    g->addWidget(GroupBox1, 1, 0, 1, 2);
    GroupBox2 = named(new QGroupBox(general), "GroupBox2");
    auto* listColumn = new QVBoxLayout(GroupBox2);
    ckSvuota = named(new QCheckBox(GroupBox2), "ckSvuota");
    ckSalvaThumb = named(new QCheckBox(GroupBox2), "ckSalvaThumb");
    ckHotTrack = named(new QCheckBox(GroupBox2), "ckHotTrack");
    listColumn->addWidget(ckSvuota);
    listColumn->addWidget(ckSalvaThumb);
    listColumn->addWidget(ckHotTrack);
    g->addWidget(GroupBox2, 2, 0);
    gbAltre = named(new QGroupBox(general), "gbAltre");
    auto* otherColumn = new QVBoxLayout(gbAltre);
    ckImmCentrata = named(new QCheckBox(gbAltre), "ckImmCentrata");
    ckTreeScroll = named(new QCheckBox(gbAltre), "ckTreeScroll");
    otherColumn->addWidget(ckImmCentrata);
    otherColumn->addWidget(ckTreeScroll);
    otherColumn->addStretch(1);
    g->addWidget(gbAltre, 2, 1);
    g->setRowStretch(3, 1);
    return general;
}

QWidget* TfrmOpzioni::createThumbnailsPage()
{
    auto* thumbs = named(new QWidget, "TabSheet2");
    auto* t = new QVBoxLayout(thumbs);
    Label2 = named(new QLabel(thumbs), "Label2");
    t->addWidget(Label2);
    auto* previews = new QHBoxLayout;
    IMG1 = named(new SizePreview(60, thumbs), "IMG1");
    IMG2 = named(new SizePreview(90, thumbs), "IMG2");
    IMG3 = named(new SizePreview(120, thumbs), "IMG3");
    for (SizePreview* p : {IMG1, IMG2, IMG3})
        previews->addWidget(p, 0, Qt::AlignBottom);
    previews->addStretch(1);
    t->addLayout(previews);
    t->addSpacing(16);
    Label3 = named(new QLabel(thumbs), "Label3");
    t->addWidget(Label3);
    auto* colours = new QHBoxLayout;
    SpeedButton1 = named(new QPushButton(thumbs), "SpeedButton1");
    SpeedButton2 = named(new QPushButton(thumbs), "SpeedButton2");
    for (QPushButton* b : {SpeedButton1, SpeedButton2}) {
        b->setAutoDefault(false);
        colours->addWidget(b);
    }
    colours->addStretch(1);
    t->addLayout(colours);
    t->addSpacing(16);
    ckEmbeddedThumbnails = named(new QCheckBox(thumbs), "ckEmbeddedThumbnails");
    t->addWidget(ckEmbeddedThumbnails);
    t->addStretch(1);
    connect(IMG1, &SizePreview::clicked, this, &TfrmOpzioni::IMG1Click);
    connect(IMG2, &SizePreview::clicked, this, &TfrmOpzioni::IMG2Click);
    connect(IMG3, &SizePreview::clicked, this, &TfrmOpzioni::IMG3Click);
    connect(SpeedButton1, &QPushButton::clicked, this, &TfrmOpzioni::SpeedButton1Click);
    connect(SpeedButton2, &QPushButton::clicked, this, &TfrmOpzioni::SpeedButton2Click);
    return thumbs;
}

QWidget* TfrmOpzioni::createSlideshowPage()
{
    auto* slides = named(new QWidget, "TabSheet3");
    auto* s = new QVBoxLayout(slides);
    auto* duration = new QHBoxLayout;
    Label1 = named(new QLabel(slides), "Label1");
    seDurSlide = named(new QSpinBox(slides), "seDurSlide");
    seDurSlide->setRange(0, 600);
    duration->addWidget(Label1);
    duration->addWidget(seDurSlide);
    duration->addStretch(1);
    s->addLayout(duration);
    rgPercNomeFile = named(new RadioGroup(2, slides), "rgPercNomeFile");
    s->addWidget(rgPercNomeFile);
    ckShowSel = named(new QCheckBox(slides), "ckShowSel");
    s->addWidget(ckShowSel);
    s->addStretch(1);
    return slides;
}

QWidget* TfrmOpzioni::createToolbarPage()
{
    auto* toolbar = named(new QWidget, "TabSheet4");
    auto* tb = new QVBoxLayout(toolbar);
    rgToolSfondo = named(new RadioGroup(2, toolbar), "rgToolSfondo");
    tb->addWidget(rgToolSfondo);
    tb->addStretch(1);
    return toolbar;
}

QWidget* TfrmOpzioni::createJpegPage()
{
    auto* jpeg = named(new QWidget, "TabSheet5");
    auto* j = new QGridLayout(jpeg);
    rgColori = named(new RadioGroup(3, jpeg), "rgColori");
    j->addWidget(rgColori, 0, 0);
    rgQualita = named(new QGroupBox(jpeg), "rgQualita");
    auto* quality = new QHBoxLayout(rgQualita);
    JPEGOutQualitySpinEdit = named(new QSpinBox(rgQualita), "JPEGOutQualitySpinEdit");
    JPEGOutQualitySpinEdit->setRange(0, 100);
    JPEGOutQualitySpinEdit->setSingleStep(10);
    // Chosen with the arrows only.
    if (auto* edit = JPEGOutQualitySpinEdit->findChild<QLineEdit*>())
        edit->setReadOnly(true);
    Label4 = named(new QLabel(rgQualita), "Label4");
    quality->addWidget(JPEGOutQualitySpinEdit);
    quality->addWidget(Label4);
    quality->addStretch(1);
    j->addWidget(rgQualita, 0, 1, Qt::AlignTop);
    rgQuantizzazione = named(new RadioGroup(2, jpeg), "rgQuantizzazione");
    j->addWidget(rgQuantizzazione, 1, 0);
    rgDithering = named(new RadioGroup(3, jpeg), "rgDithering");
    j->addWidget(rgDithering, 1, 1);
    j->setRowStretch(2, 1);
    return jpeg;
}

// OK and cancel, at the bottom right.
QHBoxLayout* TfrmOpzioni::createButtons()
{
    auto* bottom = new QHBoxLayout;
    bottom->addStretch(1);
    BitBtn1 = named(new QPushButton(this), "BitBtn1");
    BitBtn1->setIcon(style()->standardIcon(QStyle::SP_DialogOkButton));
    BitBtn1->setDefault(true);
    BitBtn2 = named(new QPushButton(this), "BitBtn2");
    BitBtn2->setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));
    bottom->addWidget(BitBtn1);
    bottom->addWidget(BitBtn2);
    connect(BitBtn1, &QPushButton::clicked, this, &TfrmOpzioni::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &TfrmOpzioni::BitBtn2Click);
    return bottom;
}

void TfrmOpzioni::applyTexts(const OptionsTexts& t)
{
    setWindowTitle(t.caption);
    const QString pages[] = {t.pageGeneral, t.pageThumbnails, t.pageSlideshow, t.pageToolbar, t.pageJpeg};
    for (int i = 0; i < 5; ++i)
        PageControl1->setTabText(i, pages[i]);
    rgLingua->setTexts(t.rgLingua, t.languageItems);
    GroupBox1->setTitle(t.GroupBox1);
    ckRinomina->setText(t.ckRinomina);
    rgOperazione->setTexts(t.rgOperazione, t.operationItems);
    GroupBox2->setTitle(t.GroupBox2);
    ckSvuota->setText(t.ckSvuota);
    ckSalvaThumb->setText(t.ckSalvaThumb);
    ckHotTrack->setText(t.ckHotTrack);
    gbAltre->setTitle(t.gbAltre);
    ckImmCentrata->setText(t.ckImmCentrata);
    ckTreeScroll->setText(t.ckTreeScroll);
    Label2->setText(t.Label2);
    Label3->setText(t.Label3);
    SpeedButton1->setText(t.SpeedButton1);
    SpeedButton2->setText(t.SpeedButton2);
    ckEmbeddedThumbnails->setText(t.ckEmbeddedThumbnails);
    Label1->setText(t.Label1);
    rgPercNomeFile->setTexts(t.rgPercNomeFile, t.fileNameItems);
    ckShowSel->setText(t.ckShowSel);
    rgToolSfondo->setTexts(t.rgToolSfondo, t.toolbarBackgroundItems);
    rgColori->setTexts(t.rgColori, t.colourItems);
    rgQualita->setTitle(t.rgQualita);
    Label4->setText(t.Label4);
    rgQuantizzazione->setTexts(t.rgQuantizzazione, t.quantisationItems);
    rgDithering->setTexts(t.rgDithering, t.ditheringItems);
    BitBtn1->setText(t.BitBtn1);
    BitBtn2->setText(t.BitBtn2);
}

void TfrmOpzioni::fillFrom(const TConfigurazione& c)
{
    const bool italian = italianInterface(c.Lingua, LanguageTest::Exact);
    applyTexts(italian ? italianOptionsTexts() : englishOptionsTexts());
    rgLingua->setCheckedIndex(italian ? 0 : 1);
    ckRinomina->setChecked(c.RinominaSeEsiste);
    rgOperazione->setCheckedIndex(c.Operazione ? 1 : 0);
    ckSvuota->setChecked(c.SvuotaLista);
    ckSalvaThumb->setChecked(c.SalvaThumb);
    ckSalvaThumb->setEnabled(c.SvuotaLista);
    ckEmbeddedThumbnails->setChecked(c.MiniatureIncorporate);
    ckHotTrack->setChecked(c.HotTrack);
    ckImmCentrata->setChecked(c.ImmCentrata);
    ckTreeScroll->setChecked(c.FTreeScroll);
    seDurSlide->setValue(c.DurataSlide);
    rgPercNomeFile->setCheckedIndex(c.MostraNomePercorso ? 0 : 1);
    ckShowSel->setChecked(c.MostraSoloSelezionate);
    rgToolSfondo->setCheckedIndex(c.ImgSfondoToolbar ? 1 : 0);
    rgColori->setCheckedIndex(c.Colori);
    JPEGOutQualitySpinEdit->setValue(c.Qualita);
    rgQuantizzazione->setCheckedIndex(c.Quantizzazione);
    rgDithering->setCheckedIndex(c.Dithering);
    rgQuantizzazione->setEnabled(c.Colori == 1);
    rgDithering->setEnabled(c.Colori == 1);
    m_thumbnailSize = c.Dimensione;
    m_bdCol = c.BdCol;
    m_bkCol = c.BkCol;
    PageControl1->setCurrentIndex(0);
    FormCreate();
}

void TfrmOpzioni::FormCreate()
{
    SizePreview* const previews[] = {IMG1, IMG2, IMG3};
    for (int i = 0; i < 3; ++i) {
        SizePreview* p = previews[i];
        const bool chosen = m_thumbnailSize == i + 1;
        const qint64 key = chosen ? (qint64(m_bdCol) << 32 | m_bkCol) : -1;
        // Painting runs on every paint event: only a change repaints the picture.
        const QVariant painted = p->property("paintedKey");
        if (painted.isValid() && painted.toLongLong() == key)
            continue;
        p->setProperty("paintedKey", key);
        if (chosen)
            p->setPixmap(QPixmap::fromImage(
                paintSizePreview(p->previewSize(), colorFromRef(m_bdCol), colorFromRef(m_bkCol))));
        else
            p->setPixmap(QPixmap());
    }
}

void TfrmOpzioni::paintEvent(QPaintEvent* e)
{
    FormCreate();
    QDialog::paintEvent(e);
}

void TfrmOpzioni::chooseSize(int size)
{
    m_thumbnailSize = size;
    FormCreate();
}

void TfrmOpzioni::IMG1Click() { chooseSize(1); }
void TfrmOpzioni::IMG2Click() { chooseSize(2); }
void TfrmOpzioni::IMG3Click() { chooseSize(3); }

void TfrmOpzioni::chooseColour(quint32& colour)
{
    if (const std::optional<QColor> picked = m_pickColour(colorFromRef(colour), this)) {
        colour = colorToRef(*picked);
        FormCreate();
    }
}

void TfrmOpzioni::SpeedButton1Click() { chooseColour(m_bdCol); }
void TfrmOpzioni::SpeedButton2Click() { chooseColour(m_bkCol); }

void TfrmOpzioni::ckSvuotaClick() { ckSalvaThumb->setEnabled(ckSvuota->isChecked()); }

void TfrmOpzioni::rgColoriClick()
{
    // The two choices only matter for 256 colours; their values stay either way.
    const bool palette = rgColori->checkedIndex() == 1;
    rgQuantizzazione->setEnabled(palette);
    rgDithering->setEnabled(palette);
}

void TfrmOpzioni::BitBtn1Click()
{
    TConfigurazione& c = Configurazione;
    // A radio group without a choice leaves its setting as it was.
    auto choice = [](RadioGroup* group, bool& setting, int trueIndex) {
        if (group->checkedIndex() >= 0)
            setting = group->checkedIndex() == trueIndex;
    };
    if (rgLingua->checkedIndex() == 0)
        c.Lingua = QStringLiteral("ITALIANO");
    else if (rgLingua->checkedIndex() == 1)
        c.Lingua = QStringLiteral("ENGLISH");
    c.SvuotaLista = ckSvuota->isChecked();
    c.SalvaThumb = ckSalvaThumb->isChecked();
    c.RinominaSeEsiste = ckRinomina->isChecked();
    c.MostraSoloSelezionate = ckShowSel->isChecked();
    c.FTreeScroll = ckTreeScroll->isChecked();
    c.HotTrack = ckHotTrack->isChecked();
    c.ImmCentrata = ckImmCentrata->isChecked();
    c.DurataSlide = seDurSlide->value();
    choice(rgToolSfondo, c.ImgSfondoToolbar, 1);
    choice(rgPercNomeFile, c.MostraNomePercorso, 0);
    choice(rgOperazione, c.Operazione, 1);
    c.Dimensione = m_thumbnailSize;
    c.MiniatureIncorporate = ckEmbeddedThumbnails->isChecked();
    c.BdCol = m_bdCol;
    c.BkCol = m_bkCol;
    c.Qualita = JPEGOutQualitySpinEdit->value();
    if (rgDithering->checkedIndex() >= 0)
        c.Dithering = rgDithering->checkedIndex();
    if (rgQuantizzazione->checkedIndex() >= 0)
        c.Quantizzazione = rgQuantizzazione->checkedIndex();
    if (rgColori->checkedIndex() >= 0)
        c.Colori = rgColori->checkedIndex();
    accept();
}

void TfrmOpzioni::BitBtn2Click() { reject(); }

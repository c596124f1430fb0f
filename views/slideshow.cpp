// The slideshow window and the preparation of its pictures.
#include "views/slideshow.h"

#include "catalogue/settings_options.h"
#include "catalogue/thumbnail_geometry.h"
#include "catalogue/thumbnail_model.h"
#include "catalogue/thumbnail_scale.h"
#include "formats/picture_loader.h"
#include "platform/settings.h"
#include "views/fit_geometry.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>

QStringList slideshowPaths(const ThumbnailListModel& model, const QItemSelectionModel* selection,
                           bool onlySelected)
{
    QStringList paths;
    for (int row = 0; row < model.count(); ++row) {
        if (onlySelected && !(selection && selection->isRowSelected(row, QModelIndex())))
            continue;
        paths << model.item(row).SubItems.value(SubPath);
    }
    return paths;
}

QString slideCaption(const QString& path, bool fullPath)
{
    return thumbs::upperAscii(fullPath ? path : thumbs::fileNameOf(path));
}

PreparedSlide prepareSlide(const QStringList& files, int start, QSize client, QSize screen)
{
    PreparedSlide out;
    out.client = client;
    out.screen = screen;
    const int n = int(files.size());
    for (int tried = 0; tried < n; ++tried) {
        const int index = (start + tried) % n;
        TPicture picture;
        try {
            // A file that cannot be read, or was deleted since the list was
            // taken, is passed over for the next one.
            LoadPictureFile(files[index], picture, settingsJpegOptions());
        } catch (const std::exception&) {
            continue;
        }
        if (picture.isEmpty())
            continue;
        const fit::SlideRect r = fit::slideRect(picture.size(), client, screen);
        QImage image = picture.image();
        picture.clear();
        if (r.stretched && r.rect.size() != image.size())
            image = thumbs::scaleForThumbnail(image, std::max(1, r.rect.width()), std::max(1, r.rect.height()));
        // The formats a painter draws fastest, so an advance only copies pixels.
        image.convertTo(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
        out.index = index;
        out.path = files[index];
        out.image = std::move(image);
        out.rect = r.rect;
        return out;
    }
    return out;
}

// ---- SlidePicture -----------------------------------------------------------

SlidePicture::SlidePicture(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_TransparentForMouseEvents); // clicks advance the show
}

void SlidePicture::setPicture(const QImage& image)
{
    m_image = image;
    update();
}

void SlidePicture::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    if (m_image.isNull())
        p.fillRect(rect(), Qt::black);
    else
        p.drawImage(0, 0, m_image);
    p.end();
    emit painted();
}

// ---- TfrmSlide --------------------------------------------------------------

TfrmSlide::TfrmSlide(QWidget* parent) : QDialog(parent, Qt::Window | Qt::FramelessWindowHint)
{
    setObjectName("frmSlide");
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::black);
    setPalette(pal);
    setFocusPolicy(Qt::StrongFocus);
    if (QScreen* s = QGuiApplication::primaryScreen())
        resize(s->size());

    ctImmagine = new SlidePicture(this);
    ctImmagine->setObjectName("ctImmagine");
    ctImmagine->hide();

    lblNomeImm = new QLabel(this);
    lblNomeImm->setObjectName("lblNomeImm");
    lblNomeImm->move(4, 8);
    lblNomeImm->setAttribute(Qt::WA_TransparentForMouseEvents);
    QPalette white = lblNomeImm->palette();
    white.setColor(QPalette::WindowText, Qt::white);
    lblNomeImm->setPalette(white);
    lblNomeImm->setAutoFillBackground(false);

    Timer1 = new QTimer(this);
    Timer1->setObjectName("Timer1");
    Timer1->setInterval(5000);
    connect(Timer1, &QTimer::timeout, this, [this] { showNextPicture(); });

    m_pool.setMaxThreadCount(1);
}

TfrmSlide::~TfrmSlide()
{
    dropAhead();
    m_pool.waitForDone();
}

int TfrmSlide::run(QWidget* near)
{
    QScreen* s = near ? near->screen() : QGuiApplication::primaryScreen();
    if (s)
        setGeometry(s->geometry());
    setWindowState(windowState() | Qt::WindowFullScreen);
    return exec();
}

QSize TfrmSlide::screenSize() const
{
    if (QScreen* s = screen())
        return s->size();
    return size();
}

void TfrmSlide::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    if (!e->spontaneous())
        FormShow();
}

void TfrmSlide::FormShow()
{
    dropAhead();
    m_files = m_source ? m_source() : QStringList();
    m_index = 0;
    showNextPicture();
    // Seconds per picture; 0 is a manual show (a 0 ms timer would fire at once, ever).
    const int seconds = std::clamp(Configurazione.DurataSlide, 0, 2'000'000);
    Timer1->setInterval(seconds * 1000);
    if (seconds > 0)
        Timer1->start();
    else
        Timer1->stop();
}

PreparedSlide TfrmSlide::takePrepared(int start)
{
    const QSize client = size(), screen = screenSize();
    if (m_ahead.isValid() && m_aheadStart == start && m_aheadClient == client && m_aheadScreen == screen) {
        PreparedSlide slide = m_ahead.result();
        m_ahead = QFuture<PreparedSlide>();
        return slide;
    }
    dropAhead();
    return prepareSlide(m_files, start, client, screen);
}

void TfrmSlide::startAhead()
{
    dropAhead();
    if (m_files.isEmpty())
        return;
    m_aheadStart = m_index;
    m_aheadClient = size();
    m_aheadScreen = screenSize();
    m_ahead = QtConcurrent::run(&m_pool, prepareSlide, m_files, m_index, m_aheadClient, m_aheadScreen);
}

void TfrmSlide::dropAhead()
{
    // A decode not yet started ends at once when cancelled; one under way is
    // waited for, so a picture being decoded is never left beside the next.
    // (Clearing the pool instead would leave the future unfinished for ever.)
    if (m_ahead.isValid()) {
        m_ahead.cancel();
        m_ahead.waitForFinished();
    }
    m_ahead = QFuture<PreparedSlide>();
    m_aheadStart = -1;
}

bool TfrmSlide::nextReady() const
{
    return !m_ahead.isValid() || m_ahead.isFinished();
}

void TfrmSlide::present(const PreparedSlide& slide)
{
    m_shown = slide;
    ctImmagine->setGeometry(slide.rect);
    ctImmagine->setPicture(slide.image);
    ctImmagine->show();
    lblNomeImm->setText(slideCaption(slide.path, Configurazione.MostraNomePercorso));
    lblNomeImm->adjustSize();
    lblNomeImm->raise();
}

void TfrmSlide::showNextPicture()
{
    if (m_files.isEmpty())
        return;
    unsetCursor();
    const int n = int(m_files.size());
    const PreparedSlide slide = takePrepared(m_index);
    if (slide.index >= 0) {
        present(slide);
        m_index = slide.index;
    }
    // Nothing loadable: picture and caption stay as they were.
    setCursor(Qt::BlankCursor);
    m_index = (m_index + 1) % n;
    startAhead();
}

void TfrmSlide::resizeEvent(QResizeEvent* e)
{
    QDialog::resizeEvent(e);
    // A picture made for another size is made again for this one.
    if (isVisible() && m_shown.index >= 0 && m_shown.client != size()) {
        const int next = m_index;
        dropAhead();
        const PreparedSlide slide = prepareSlide(m_files, m_shown.index, size(), screenSize());
        if (slide.index >= 0)
            present(slide);
        m_index = next;
        startAhead();
    }
}

bool TfrmSlide::event(QEvent* e)
{
    switch (e->type()) {
    case QEvent::ShortcutOverride:
        // Every key belongs to the show: no shortcut or focus move takes one.
        e->accept();
        return true;
    case QEvent::KeyPress:
        FormKeyDown(static_cast<QKeyEvent*>(e)->key());
        return true;
    default:
        return QDialog::event(e);
    }
}

void TfrmSlide::FormKeyDown(int key)
{
    if (key == Qt::Key_Escape) {
        ctImmagine->setPicture(QImage());
        ctImmagine->hide();
        lblNomeImm->clear();
        close();
    } else {
        showNextPicture();
    }
    // Paints now; further keys wait their turn rather than nest in here.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void TfrmSlide::mousePressEvent(QMouseEvent* e)
{
    if (e->button() == Qt::LeftButton)
        showNextPicture();
}

void TfrmSlide::done(int result)
{
    FormClose();
    QDialog::done(result);
}

void TfrmSlide::FormClose()
{
    unsetCursor();
    Timer1->stop();
    dropAhead();
    // Nothing of the show stays in memory once it is closed.
    m_shown = PreparedSlide();
    ctImmagine->setPicture(QImage());
    ctImmagine->hide();
}

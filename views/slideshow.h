// The full-screen slideshow: the pictures of the thumbnail list one after the
// other on black, each made ready on a worker thread while the one before it shows.
#pragma once
#include <QDialog>
#include <QFuture>
#include <QImage>
#include <QRect>
#include <QStringList>
#include <QThreadPool>
#include <functional>

class QItemSelectionModel;
class QLabel;
class QTimer;
class ThumbnailListModel;

// The paths a slideshow shows: with onlySelected those of the selected items,
// otherwise every item's, in list order either way.
QStringList slideshowPaths(const ThumbnailListModel& model, const QItemSelectionModel* selection,
                           bool onlySelected);

// The caption of a picture: its path, or its file name alone, upper-cased for
// display only (the file is always reached by its real path).
QString slideCaption(const QString& path, bool fullPath);

// A picture ready for the screen: already at the size it is drawn.
struct PreparedSlide {
    int index = -1;   // its place in the file list; -1 when no file could be loaded
    QString path;
    QImage image;
    QRect rect;
    QSize client, screen; // what it was made for
};

// Loads files[start], or the first file after it that loads (going round the
// list once at most), and scales it for the client area. Safe on any thread.
PreparedSlide prepareSlide(const QStringList& files, int start, QSize client, QSize screen);

// The picture control: draws its ready-made picture at its own size.
class SlidePicture : public QWidget {
    Q_OBJECT
public:
    explicit SlidePicture(QWidget* parent = nullptr);
    void setPicture(const QImage& image);
    const QImage& picture() const { return m_image; }

signals:
    // After each paint: the benchmark times an advance up to here.
    void painted();

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    QImage m_image;
};

class TfrmSlide : public QDialog {
    Q_OBJECT
public:
    explicit TfrmSlide(QWidget* parent = nullptr);
    ~TfrmSlide() override;

    // Gives the paths to show; asked each time the window opens.
    void setFileSource(std::function<QStringList()> source) { m_source = std::move(source); }

    // Covers the screen of `near` (the primary screen without one) and runs
    // modally until Escape or a close.
    int run(QWidget* near = nullptr);

    void FormShow();
    void FormKeyDown(int key);
    void FormClose();
    // Shows the picture at the current index (or the next one that loads) and
    // moves the index past it, round to the first after the last.
    void showNextPicture();

    const QStringList& files() const { return m_files; }
    int currentIndex() const { return m_index; }
    // True when the next picture is ready, or no decode is under way.
    bool nextReady() const;

    QLabel* lblNomeImm = nullptr;
    SlidePicture* ctImmagine = nullptr;
    QTimer* Timer1 = nullptr;

public slots:
    void done(int result) override;

protected:
    bool event(QEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;

private:
    QSize screenSize() const;
    PreparedSlide takePrepared(int start);
    void startAhead();
    void dropAhead();
    void present(const PreparedSlide& slide);

    std::function<QStringList()> m_source;
    QStringList m_files;
    int m_index = 0;
    PreparedSlide m_shown;  // sizes and path of the picture on screen (its image lives in ctImmagine)
    // One worker, so at most the shown picture and the one ahead are in memory.
    QThreadPool m_pool;
    QFuture<PreparedSlide> m_ahead;
    int m_aheadStart = -1;
    QSize m_aheadClient, m_aheadScreen;
};

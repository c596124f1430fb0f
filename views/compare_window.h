// The compare window: two pictures side by side, each loaded by a double
// click on its pane and fitted to it with its proportions kept.
#pragma once
#include <QColor>
#include <QImage>
#include <QWidget>
#include <functional>

class QFileDialog;
class QFrame;
class QStatusBar;
class TFileLabel;
class TPicture;

// One pane: cleared to a colour, a picture drawn fitted into it. It keeps what
// it drew, so it repaints the same after being covered.
class ComparePane : public QWidget {
    Q_OBJECT
public:
    explicit ComparePane(QWidget* parent = nullptr);
    // Fills the whole pane with `colour` and forgets the picture.
    void clear(const QColor& colour);
    // Draws the picture into its fitted rectangle, smoothly scaled.
    void draw(const TPicture& picture);

    // What was drawn: the rectangle (empty when nothing) and the picture at its size.
    QRect pictureRect() const { return m_rect; }
    const QImage& drawnPicture() const { return m_image; }

signals:
    void doubleClicked();

protected:
    void paintEvent(QPaintEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;

private:
    QColor m_background = Qt::lightGray;
    QImage m_image;
    QRect m_rect;
};

class TfrmConfrontaImg : public QWidget {
    Q_OBJECT
public:
    explicit TfrmConfrontaImg(QWidget* parent = nullptr);

    // Where a load failure goes (the application-wide message); without one it is thrown on.
    void setOnError(std::function<void(const QString&)> handler) { m_onError = std::move(handler); }

    void FormShow();
    void FormPaint();
    void Image1DblClick();
    void Image2DblClick();
    // Loading into pane 0 (left) or 1 (right) once a file is chosen: the label
    // takes the path first; a file that cannot be loaded throws EPictureLoad
    // and leaves the pane as it was.
    void loadIntoPane(int pane, const QString& fileName);

    QFrame *Panel1 = nullptr, *Panel2 = nullptr, *Panel3 = nullptr, *Panel4 = nullptr;
    TFileLabel *FileLabel1 = nullptr, *FileLabel2 = nullptr;
    ComparePane *Image1 = nullptr, *Image2 = nullptr;
    QFileDialog* OpenDialog1 = nullptr;
    QStatusBar* StatusBar1 = nullptr;

protected:
    void showEvent(QShowEvent* e) override;
    void paintEvent(QPaintEvent* e) override;

private:
    void choosePicture(int pane);

    std::function<void(const QString&)> m_onError;
    bool m_centred = false;
};

// The print layout window: one picture on a small page shaped like the
// printer's, moved and resized with the handles, printed where it lies.
#pragma once
#include "platform/errors.h"

#include <QDialog>
#include <QImage>
#include <functional>
#include <memory>

class QFrame;
class QLabel;
class QPageSetupDialog;
class QPrintDialog;
class QPrinter;
class QPushButton;
class QScrollArea;
class QStatusBar;
class QToolButton;
class QVBoxLayout;
class TStretchHandle;

// The printing layer refused to start or finish a document.
QV_DECLARE_ERROR(EPrintFailed);

// The picture on the page, stretched to the control's size.
class PagePicture : public QWidget {
    Q_OBJECT
public:
    explicit PagePicture(QWidget* parent = nullptr);
    const QImage& picture() const { return m_picture; }
    void setPicture(const QImage& picture);

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    QImage m_picture;
};

// The picture as handed to the printer: 8 bits with a 256-entry colour table
// from the picture's own when the screen is a palette device, 24 bits otherwise.
QImage printableBitmap(const QImage& picture, bool paletteScreen);

// Draws the whole picture stretched into `paperRect` (printer pixels from the
// printable area's corner) as one document; what falls off the paper is cut
// off. A PDF output file is written beside its name and renamed over it only
// when complete. Throws EPrintFailed.
void printPicture(QPrinter& printer, const QImage& picture, const QRect& paperRect, bool paletteScreen);

class TfrmStampa : public QDialog {
    Q_OBJECT
public:
    explicit TfrmStampa(QWidget* parent = nullptr);
    ~TfrmStampa() override;

    // The viewer's print command: the picture goes into imImmagine, then the
    // window shows modally.
    void setPicture(const QImage& picture);

    // Commands.
    void btPageSetupClick();
    void btStampaClick();
    void SpeedButton2Click(); // small page view
    void SpeedButton3Click(); // large page view
    void btMantieniPropClick();
    void btCentraXClick();
    void btCentraYClick();

    void FormShow();
    // The texts of the language setting (left as they are for an unknown
    // language); updates the measures.
    void setTexts();
    void updateMeasures();
    // After the printer or its paper changed: the page takes the new shape.
    void printerChanged();

    QPrinter* printer() const { return m_printer.get(); }
    // Runs a dialog modally, true when confirmed; tests answer by script.
    std::function<bool(QDialog&)> runDialog;

    double PageAspect = 1.0;
    double PrintScale = 1.0;
    int PageViewMode = 1;

    QFrame* Panel1 = nullptr;
    QPushButton* btPageSetup = nullptr;
    QToolButton *btStampa = nullptr, *SpeedButton2 = nullptr, *SpeedButton3 = nullptr;
    QToolButton *btMantieniProp = nullptr, *btCentraX = nullptr, *btCentraY = nullptr;
    QLabel *lblImgX = nullptr, *lblImgY = nullptr, *lblPagX = nullptr, *lblPagY = nullptr;
    QScrollArea* ScrollBox1 = nullptr;
    QFrame* Page = nullptr;
    PagePicture* imImmagine = nullptr;
    TStretchHandle* StretchHandle1 = nullptr;
    QStatusBar* StatusBar1 = nullptr;

protected:
    void showEvent(QShowEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void choosePrinter();
    void createToolBar(QVBoxLayout* layout);
    void createPageArea(QVBoxLayout* layout);
    void connectCommands();
    void setPageGeometry(const QRect& r);
    void ScrollBox1Resize();
    void setViewMode(int mode);
    // Applies `change` to the picture's rectangle with the handles let go.
    void moveImage(const std::function<QRect(QRect)>& change);
    void reattach();
    // The handles' frame on the page (around the picture while they are let go).
    QRect handlesFrame() const;
    QSize scrollBoxSize() const;

    std::unique_ptr<QPrinter> m_printer;
    QWidget* m_canvas = nullptr; // the scroll box's content, holding the page
    bool m_italianTexts = true;  // the texts in force (the design's are Italian)
};

// The one print window of `owner` (the main window), made on first use and kept.
TfrmStampa* printLayoutWindow(QWidget* owner);

// The picture viewer window: one picture at a zoom level, a selection frame
// with move and resize handles, copy, Save as, and the edits of the main
// window's picture toolbar.
#pragma once
#include "processing/image_edits.h"
#include "platform/errors.h"

#include <QImage>
#include <QPointer>
#include <QWidget>
#include <memory>

class QAction;
class QFileDialog;
class QMenu;
class QScrollArea;
class TFileLabel;
class TStretchHandle;

// A zoom step that would make a bitmap beyond the picture limits.
QV_DECLARE_ERROR(EViewerZoom);

// The image control: draws its picture at the top-left, cross-hair cursor.
class PictureControl : public QWidget {
    Q_OBJECT
public:
    explicit PictureControl(QWidget* parent = nullptr);
    const QImage& picture() const { return m_picture; }
    void setPicture(const QImage& picture);

signals:
    void pressed(QMouseEvent* e);

protected:
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;

private:
    QImage m_picture;
};

// The selection frame: a rectangle outline, cross-hair cursor.
class SelectionFrame : public QWidget {
    Q_OBJECT
public:
    explicit SelectionFrame(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* e) override;
};

// The questions and messages a viewer asks; tests answer them by script.
class ViewerPrompts {
public:
    virtual ~ViewerPrompts() = default;
    // Yes, No or Cancel (QMessageBox::StandardButton).
    virtual int askSave(QWidget* parent, const QString& title, const QString& text);
    // A plain message with an OK button and no icon.
    virtual void message(QWidget* parent, const QString& title, const QString& text);
    // Runs the save dialog; the chosen file name, or empty when cancelled.
    virtual QString runSaveDialog(QFileDialog& dialog);
};

class TfrmMostraImmagine : public QWidget {
    Q_OBJECT
public:
    // A top-level window owned by `owner` (the main window): it stays above it.
    explicit TfrmMostraImmagine(QWidget* owner = nullptr);
    ~TfrmMostraImmagine() override;

    // What the opener does before showing the window: loads the file with
    // LoadPictureFile (throws EPictureLoad), puts the upper-cased path into
    // the label, natural size, position (centred when `centred`) and size.
    void OpenFile(const QString& path, bool centred);
    // The same with a picture already in memory.
    void OpenPicture(const QImage& picture, const QString& path, bool centred);

    // Where the main window keeps the viewer activated last.
    void setActiveViewerSlot(QPointer<QWidget>* slot) { m_activeSlot = slot; }
    void setPrompts(std::shared_ptr<ViewerPrompts> prompts);

    // The shown picture (the graphic of ctImmagine) and the real file path.
    const QImage& shownPicture() const;
    const QString& filePath() const { return m_path; }

    // Applies one edit to the shown picture and to SourceBitmap, so that a
    // later zoom step keeps it; sets Modified; a quarter turn resizes the
    // client area to the new picture. `work` is the 24-bit edit surface.
    void applyEdit(PictureEdit edit, QImage& work);

    // Commands of the popup menu.
    void ZoomAumentaClick();
    void ZoomRiduciClick();
    void GNaturaleClick();
    void CopianegliAppunti1Click();
    void Salvacome1Click();
    // Shows the print window modally with the shown picture.
    void Stampaimmagine1Click();
    // Saves a picture by the extension of fileName (GIF failures are shown
    // here; JPEG and bitmap failures are thrown).
    void SavePictureAs(const QImage& graphic, const QString& fileName);

    void UpdateZoomCaption();
    void FitToPicture();
    const QImage& StretchToZoom(double factor);
    // The part of the shown picture under the frame (empty without a frame).
    QImage SelectionBitmap() const;
    // The viewer's keys; false when the key passes on.
    bool FormKeyDown(int key, Qt::KeyboardModifiers modifiers);
    void FormShow();

    QImage ZoomBitmap;
    QImage SourceBitmap;
    int ZoomLevel = 1;
    bool Modified = false;

    // Controls.
    QScrollArea* ClientArea = nullptr;
    PictureControl* ctImmagine = nullptr;
    SelectionFrame* Cornice = nullptr;
    TStretchHandle* StretchHandle1 = nullptr;
    TFileLabel* FileLabel1 = nullptr;
    QFileDialog* SaveDialog1 = nullptr;
    QMenu* PopupMenu981 = nullptr;
    QAction *ZoomAumenta, *ZoomRiduci, *GNaturale1, *CopianegliAppunti1, *Salvacome1, *Stampaimmagine1;

protected:
    bool event(QEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    bool italian() const;
    void ctImmagineMouseDown(QMouseEvent* e);
    void setShownPicture(const QImage& picture);
    // Client area of the window and its decorations.
    void setClientSize(QSize size);
    QSize frameMargins() const;
    QSize screenSize() const;
    void rescaleSelection(double ratio);
    void showZoomed(double factor);
    void dropSelection();
    void scroll(bool vertical, int action);
    void FormClose();

    QString m_path;
    QPointer<QWidget>* m_activeSlot = nullptr;
    std::shared_ptr<ViewerPrompts> m_prompts;
    bool m_shownOnce = false;
    bool m_closing = false;
};

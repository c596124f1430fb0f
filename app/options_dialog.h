// The options dialog: every user option of the settings record on five pages.
#pragma once
#include <QColor>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <functional>
#include <optional>

class QButtonGroup;
class QCheckBox;
class QHBoxLayout;
class QPushButton;
class QSpinBox;
class QTabWidget;
struct TConfigurazione;
struct OptionsTexts;

// The picture of a thumbnail-size preview: a filled square outlined in black
// inside a one-pixel frame of the border colour.
QImage paintSizePreview(int size, const QColor& border, const QColor& background);

// A preview image that reports clicks.
class SizePreview : public QLabel {
    Q_OBJECT
public:
    SizePreview(int size, QWidget* parent);
    int previewSize() const { return m_size; }

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* e) override;

private:
    int m_size;
};

// A titled group of exclusive choices; checkedIndex() is -1 when none is chosen.
class RadioGroup : public QGroupBox {
    Q_OBJECT
public:
    RadioGroup(int items, QWidget* parent);
    void setTexts(const QString& title, const QStringList& items);
    int checkedIndex() const;
    void setCheckedIndex(int index);
    QButtonGroup* buttons() const { return m_group; }

private:
    QButtonGroup* m_group;
};

class TfrmOpzioni : public QDialog {
    Q_OBJECT
public:
    explicit TfrmOpzioni(QWidget* parent = nullptr);

    // Opening: the texts of the language and every control from the record.
    void fillFrom(const TConfigurazione& cfg);

    // Who picks a colour (QColorDialog unless a test answers); nothing on cancel.
    using ColourPicker = std::function<std::optional<QColor>(const QColor& initial, QWidget* parent)>;
    void setColourPicker(ColourPicker picker) { m_pickColour = std::move(picker); }

    int thumbnailSize() const { return m_thumbnailSize; }

    // Handlers.
    void FormCreate(); // also run on every paint
    void IMG1Click();
    void IMG2Click();
    void IMG3Click();
    void SpeedButton1Click();
    void SpeedButton2Click();
    void ckSvuotaClick();
    void rgColoriClick();
    void BitBtn1Click(); // OK: writes the record and closes
    void BitBtn2Click(); // cancel: closes without writing

    QTabWidget* PageControl1;
    RadioGroup *rgLingua, *rgOperazione, *rgPercNomeFile, *rgToolSfondo, *rgColori, *rgQuantizzazione,
        *rgDithering;
    QGroupBox *GroupBox1, *GroupBox2, *gbAltre, *rgQualita;
    QCheckBox *ckEmbeddedThumbnails;
    QCheckBox *ckRinomina, *ckSvuota, *ckSalvaThumb, *ckHotTrack, *ckImmCentrata, *ckTreeScroll, *ckShowSel;
    QLabel *Label1, *Label2, *Label3, *Label4;
    SizePreview *IMG1, *IMG2, *IMG3;
    QPushButton *SpeedButton1, *SpeedButton2, *BitBtn1, *BitBtn2;
    QSpinBox *seDurSlide, *JPEGOutQualitySpinEdit;

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    // The five pages and the buttons, each made with its controls.
    QWidget* createGeneralPage();
    QWidget* createThumbnailsPage();
    QWidget* createSlideshowPage();
    QWidget* createToolbarPage();
    QWidget* createJpegPage();
    QHBoxLayout* createButtons();
    void applyTexts(const OptionsTexts& t);
    void chooseSize(int size);
    void chooseColour(quint32& colour);

    int m_thumbnailSize = 2;
    quint32 m_bdCol = 0;
    quint32 m_bkCol = 0;
    ColourPicker m_pickColour;
};

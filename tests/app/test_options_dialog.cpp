// The options dialog over a real main window: enabling rules, what OK and
// cancel write, and what the window does with the new settings.
#include "app/options_dialog.h"
#include "platform/registry.h"

#include "main_window_fixture.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <functional>

using qvtest::kSettingsBase;

namespace {

class OptionsTest : public qvtest::MainWindowTest {
protected:
    void SetUp() override
    {
        qvtest::MainWindowTest::SetUp();
        open();
    }
    // Opens the options from the menu; `answer` works the dialog, then presses a button.
    void options(const std::function<void(TfrmOpzioni&)>& answer)
    {
        TfrmOpzioni* d = window->optionsDialog;
        QTimer::singleShot(0, d, [d, answer] { answer(*d); });
        window->Visualizza1->trigger();
        EXPECT_FALSE(d->isVisible());
    }
};

} // namespace

TEST_F(OptionsTest, EnablingRulesAndOkStoresWhatIsShown)
{
    Configurazione.SvuotaLista = true;
    Configurazione.SalvaThumb = true;
    Configurazione.Colori = 1;
    Configurazione.Quantizzazione = 0;
    Configurazione.Dithering = 1;
    options([](TfrmOpzioni& d) {
        EXPECT_TRUE(d.ckSalvaThumb->isEnabled());
        EXPECT_TRUE(d.rgDithering->isEnabled());
        d.ckSvuota->click();
        EXPECT_FALSE(d.ckSalvaThumb->isEnabled());
        EXPECT_TRUE(d.ckSalvaThumb->isChecked());
        d.rgColori->buttons()->button(2)->click();
        EXPECT_FALSE(d.rgQuantizzazione->isEnabled());
        EXPECT_FALSE(d.rgDithering->isEnabled());
        d.rgOperazione->buttons()->button(0)->click();
        d.seDurSlide->setValue(600);
        d.JPEGOutQualitySpinEdit->stepDown();
        d.BitBtn1->click();
    });
    const TConfigurazione& c = Configurazione;
    EXPECT_FALSE(c.SvuotaLista);
    EXPECT_TRUE(c.SalvaThumb);
    EXPECT_EQ(c.Colori, 2);
    EXPECT_EQ(c.Quantizzazione, 0);
    EXPECT_EQ(c.Dithering, 1);
    EXPECT_FALSE(c.Operazione);
    EXPECT_EQ(c.DurataSlide, 600);
    EXPECT_EQ(c.Qualita, 80);
    // Kept in the settings file at once, not only at exit.
    RegFileRegistry reg(settingsFile());
    EXPECT_EQ(reg.readDword(kSettingsBase + "Thumb", "SvuotaLista"), 0u);
    EXPECT_EQ(reg.readDword(kSettingsBase + "OpzioniJPG", "Colori"), 2u);
    EXPECT_EQ(reg.readDword(kSettingsBase + "SlideShow", "DurataSlide"), 600u);
}

TEST_F(OptionsTest, CancelAfterPreviewAndColourChoicesChangesNothing)
{
    Configurazione.Colori = 5; // out of range: no item shows, and OK would keep it
    const TConfigurazione before = Configurazione;
    options([](TfrmOpzioni& d) {
        d.setColourPicker([](const QColor&, QWidget*) { return std::optional<QColor>(Qt::green); });
        d.SpeedButton1->click();
        d.IMG3->clicked();
        EXPECT_EQ(d.thumbnailSize(), 3);
        d.BitBtn2->click();
    });
    EXPECT_EQ(Configurazione.Dimensione, before.Dimensione);
    EXPECT_EQ(Configurazione.BdCol, before.BdCol);
    EXPECT_FALSE(QFile::exists(settingsFile()));

    options([](TfrmOpzioni& d) {
        EXPECT_EQ(d.rgColori->checkedIndex(), -1);
        // A border picked, a background dialog cancelled.
        d.setColourPicker([](const QColor&, QWidget*) { return std::optional<QColor>(QColor(1, 2, 3)); });
        d.SpeedButton1->click();
        d.setColourPicker([](const QColor&, QWidget*) { return std::optional<QColor>(); });
        d.SpeedButton2->click();
        EXPECT_EQ(d.IMG2->pixmap().toImage().pixelColor(0, 0), QColor(1, 2, 3)); // the preview's frame
        d.BitBtn1->click();
    });
    EXPECT_EQ(Configurazione.BdCol, 0x030201u);
    EXPECT_EQ(Configurazione.BkCol, before.BkCol);
    EXPECT_EQ(Configurazione.Colori, 5);
}

TEST_F(OptionsTest, NewSizeRebuildsThumbnailsAndNewLanguageShowsAtOnce)
{
    for (const char* name : {"a.bmp", "b.bmp"})
        qvtest::saveSolidBmp(pictures(name), Qt::gray, 200, 100);
    readFolder(pictures());
    ThumbnailCatalogue& cat = window->catalogue();
    ASSERT_EQ(cat.currentList()->size(), 90);

    options([](TfrmOpzioni& d) {
        d.IMG3->clicked();
        d.rgLingua->buttons()->button(0)->click();
        d.BitBtn1->click();
    });
    EXPECT_EQ(cat.currentList()->size(), 120);
    for (int row = 0; row < cat.model().count(); ++row) {
        const QImage thumb = cat.currentList()->at(cat.model().item(row).ImageIndex);
        EXPECT_EQ(thumb.size(), QSize(120, 120));
    }
    EXPECT_EQ(window->Modifica1->title(), "&Modifica");
}

// The options dialog over a real main window: enabling rules, what OK and
// cancel write, and what the window does with the new settings.
#include "app/application.h"
#include "app/main_window.h"
#include "app/options_dialog.h"
#include "platform/registry.h"
#include "platform/settings.h"

#include "testutil.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QMenu>
#include <QDir>
#include <QImage>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <functional>
#include <memory>

QApplication* qvtestCreateApplication(int& argc, char** argv) { return new QuorvelApplication(argc, argv); }

namespace {

const QString kKey = "Software\\Morwenly\\Quorvel\\1.5\\";

class OptionsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_env.set("XDG_CONFIG_HOME", m_dir.path() + "/config");
        Configurazione = TConfigurazione{};
        setErrorPresenter([this](const QString&, const QString& text) { m_errors << text; });
        m_window = std::make_unique<TfrmPrincipale>();
        m_window->show();
    }
    void TearDown() override
    {
        EXPECT_TRUE(m_errors.isEmpty()) << m_errors.join(" | ").toStdString();
        QFile::remove(settingsFile()); // the window's destruction writes it again
        m_window.reset();
    }
    QString settingsFile() const { return m_dir.path() + "/config/quorvel/registry.reg"; }

    // Opens the options from the menu; `answer` works the dialog, then presses a button.
    void options(const std::function<void(TfrmOpzioni&)>& answer)
    {
        TfrmOpzioni* d = m_window->optionsDialog;
        QTimer::singleShot(0, d, [d, answer] { answer(*d); });
        m_window->Visualizza1->trigger();
        EXPECT_FALSE(d->isVisible());
    }

    QTemporaryDir m_dir;
    qvtest::ScopedEnv m_env;
    std::unique_ptr<TfrmPrincipale> m_window;
    QStringList m_errors;
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
    EXPECT_EQ(reg.readDword(kKey + "Thumb", "SvuotaLista"), 0u);
    EXPECT_EQ(reg.readDword(kKey + "OpzioniJPG", "Colori"), 2u);
    EXPECT_EQ(reg.readDword(kKey + "SlideShow", "DurataSlide"), 600u);
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
        EXPECT_FALSE(d.IMG3->pixmap().isNull());
        EXPECT_TRUE(d.IMG2->pixmap().isNull());
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
        const QImage preview = d.IMG2->pixmap().toImage();
        EXPECT_EQ(preview.pixelColor(0, 0), QColor(1, 2, 3));
        EXPECT_EQ(preview.pixelColor(1, 1), QColor(Qt::black));
        EXPECT_EQ(preview.pixelColor(45, 45), QColor(0xC0, 0xC0, 0xC0));
        d.BitBtn1->click();
    });
    EXPECT_EQ(Configurazione.BdCol, 0x030201u);
    EXPECT_EQ(Configurazione.BkCol, before.BkCol);
    EXPECT_EQ(Configurazione.Colori, 5);
}

TEST_F(OptionsTest, NewSizeRebuildsThumbnailsAndNewLanguageShowsAtOnce)
{
    const QString folder = m_dir.path() + "/pics";
    QDir().mkpath(folder);
    for (const char* name : {"a.bmp", "b.bmp"})
        ASSERT_TRUE(QImage(200, 100, QImage::Format_RGB32).save(folder + "/" + name, "BMP"));
    m_window->CartellaCorrente = folder;
    m_window->TransparentButton1Click();
    ThumbnailCatalogue& cat = m_window->catalogue();
    ASSERT_EQ(cat.currentList()->size(), 90);

    options([](TfrmOpzioni& d) {
        EXPECT_EQ(d.PageControl1->tabText(0), "Commons");
        d.IMG3->clicked();
        d.rgLingua->buttons()->button(0)->click();
        d.BitBtn1->click();
    });
    EXPECT_EQ(cat.currentList()->size(), 120);
    for (int row = 0; row < cat.model().count(); ++row) {
        const QImage thumb = cat.currentList()->at(cat.model().item(row).ImageIndex);
        EXPECT_EQ(thumb.size(), QSize(120, 120));
    }
    EXPECT_EQ(m_window->Modifica1->title(), "&Modifica");
    options([](TfrmOpzioni& d) {
        EXPECT_EQ(d.PageControl1->tabText(0), "Generali");
        d.BitBtn2->click();
    });
}

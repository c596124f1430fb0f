// The main window's interface texts in Italian and English.
#pragma once
#include <QKeySequence>
#include <QString>
#include <QStringList>

struct MainWindowTexts {
    // Menu items: caption and shortcut.
    QString File1, LeggiDirectory1, Apriimmagine1, Mostraproprietimmagine1, Rinominaimmagine2,
        Cancellaimmagine1, Confrontaimmagini1, Slideshow1, EscidaQuorvel2, Modifica1, CopiaInAppunti,
        Impostasfondo1, Cancellalalista1, Abilita1, Visualizza1, HelpInLinea, Sommario1, Informazioni2;
    QKeySequence scLeggiDirectory1, scCancellaimmagine1, scSlideshow1, scEscidaQuorvel2,
        scCopiaInAppunti, scSommario1, scInformazioni2;
    // Popup items.
    QString Nuovacartella1, RinominaCartella, Cancellacartella, Leggidirectory2, Apriimmagine2,
        Mostraproprietimmagine2, Rinominaimmagine1, Cancellaimmagine2, Slideshow2;
    // Toolbar hints.
    QString hintOpen, hintProperties, hintRename, hintDelete, hintReadFolder, hintHelp, hintSlideshow,
        hintExit, hintFlipHorizontal, hintFlipVertical, hintRotateRight, hintRotateLeft, hintRotate180,
        hintLighten, hintDarken, hintGreyscale;
    QString helpFile;
    // Messages used by the commands.
    QString msgFileName, msgFormat, msgDimensions, msgFileSize, msgLastModified, msgLoading,
        msgFolderNotDeleted, msgNewFolder, msgFolderNotCreated;
    // File operations and the watch of the list's folder.
    QString msgFolderGone, msgOperationRunning, msgListNotFollowed;
};

const MainWindowTexts& italianMainWindowTexts();
const MainWindowTexts& englishMainWindowTexts();

// The application-wide error message for an error text, in the language chosen
// by the exact name "ITALIANO".
QString uncaughtErrorMessage(const QString& error, bool italian);

inline constexpr const char* kSupportAddress = "support@quorvel.org";

// The options dialog's texts (its own, set each time it opens).
struct OptionsTexts {
    QString caption, pageGeneral, pageThumbnails, pageSlideshow, pageToolbar, pageJpeg;
    QString ckEmbeddedThumbnails;
    QString rgLingua, GroupBox1, ckRinomina, rgOperazione, GroupBox2, ckSvuota, ckSalvaThumb,
        ckHotTrack, gbAltre, ckImmCentrata, ckTreeScroll;
    QStringList languageItems, operationItems;
    QString Label2, Label3, SpeedButton1, SpeedButton2;
    QString Label1, rgPercNomeFile, ckShowSel;
    QStringList fileNameItems;
    QString rgToolSfondo;
    QStringList toolbarBackgroundItems;
    QString rgColori, rgQualita, Label4, rgQuantizzazione, rgDithering;
    QStringList colourItems, quantisationItems, ditheringItems;
    QString BitBtn1, BitBtn2;
};

const OptionsTexts& italianOptionsTexts();
const OptionsTexts& englishOptionsTexts();

// Texts of the small windows of the picture commands, in one language.
struct CommandTexts {
    QString renameCaption;      // rename dialog (language by prefix)
    QString propertiesCaption;  // properties window (exact name)
    QString aboutDescription;   // about box (exact name)
    QString invalidNameMessage; // a new name that is not a plain file name
};

const CommandTexts& commandTexts(bool italian);

// The main window's interface texts in Italian and English.
#pragma once
#include <QKeySequence>
#include <QString>
#include <QStringList>

struct TestiFinestra {
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
    QString hintApri, hintProprieta, hintRinomina, hintCancella, hintLeggi, hintAiuto, hintSlideshow,
        hintEsci, hintRiflettiOriz, hintRiflettiVert, hintRuotaDestra, hintRuotaSinistra, hintRuota180,
        hintSchiarisci, hintScurisci, hintScalaGrigi;
    QString helpFile;
    // Messages used by the commands.
    QString msgNomeFile, msgFormato, msgDimensioni, msgDimensioniFile, msgUltimaModifica, msgCarico,
        msgCartellaNonCancellabile, msgNuovaCartella, msgCartellaNonCreata;
    // File operations and the watch of the list's folder.
    QString msgCartellaSparita, msgOperazioneInCorso, msgListaNonSeguita;
};

const TestiFinestra& testiItaliani();
const TestiFinestra& testiInglesi();

// The application-wide error message for an error text, in the language chosen
// by the exact name "ITALIANO".
QString messaggioEccezione(const QString& error, bool italian);

inline constexpr const char* kSupportAddress = "support@quorvel.org";

// The options dialog's texts (its own, set each time it opens).
struct TestiOpzioni {
    QString caption, pagGenerali, pagMiniature, pagSlideshow, pagToolbar, pagJpg;
    QString ckMiniatureIncorporate;
    QString rgLingua, GroupBox1, ckRinomina, rgOperazione, GroupBox2, ckSvuota, ckSalvaThumb,
        ckHotTrack, gbAltre, ckImmCentrata, ckTreeScroll;
    QStringList lingue, operazioni;
    QString Label2, Label3, SpeedButton1, SpeedButton2;
    QString Label1, rgPercNomeFile, ckShowSel;
    QStringList percNomeFile;
    QString rgToolSfondo;
    QStringList toolSfondo;
    QString rgColori, rgQualita, Label4, rgQuantizzazione, rgDithering;
    QStringList colori, quantizzazione, dithering;
    QString BitBtn1, BitBtn2;
};

const TestiOpzioni& testiOpzioniItaliani();
const TestiOpzioni& testiOpzioniInglesi();

// Texts of the small windows of the picture commands, in one language.
struct TestiComandi {
    QString rinominaCaption;   // rename dialog (language by prefix)
    QString proprietaCaption;  // properties window (exact name)
    QString descrizione;       // about box (exact name)
    QString nomeNonValido;     // a new name that is not a plain file name
};

const TestiComandi& testiComandi(bool italian);

// Text tables of the main window.
#include "app/texts.h"

namespace {

TestiFinestra makeItalian()
{
    TestiFinestra t;
    t.File1 = "&File";
    t.LeggiDirectory1 = "&Leggi directory";
    t.scLeggiDirectory1 = QKeySequence(Qt::Key_F4);
    t.Apriimmagine1 = "&Apri immagine";
    t.Mostraproprietimmagine1 = "&Mostra proprietà immagine";
    t.Rinominaimmagine2 = "&Rinomina immagine";
    t.Cancellaimmagine1 = "&Cancella immagine";
    t.scCancellaimmagine1 = QKeySequence(Qt::CTRL | Qt::Key_Delete);
    t.Confrontaimmagini1 = "Confronta immagini";
    t.Slideshow1 = "Slideshow";
    t.scSlideshow1 = QKeySequence(Qt::Key_F8);
    t.EscidaQuorvel2 = "&Esci da Quorvel";
    t.scEscidaQuorvel2 = QKeySequence(Qt::CTRL | Qt::Key_E);
    t.Modifica1 = "&Modifica";
    t.CopiaInAppunti = "Copia nome file negli Appunti";
    t.scCopiaInAppunti = QKeySequence(Qt::CTRL | Qt::Key_F10);
    t.Impostasfondo1 = "Imposta come sfondo di &Windows";
    t.Cancellalalista1 = "Svuota la lista";
    t.Abilita1 = "Elaborazioni";
    t.Visualizza1 = "&Opzioni";
    t.HelpInLinea = "&?";
    t.Sommario1 = "Aiuto";
    t.scSommario1 = QKeySequence(Qt::Key_F1);
    t.Informazioni2 = "Informazioni";
    t.scInformazioni2 = QKeySequence(Qt::CTRL | Qt::Key_I);
    t.Nuovacartella1 = "Nuova Cartella";
    t.RinominaCartella = "Rinomina Cartella";
    t.Cancellacartella = "Cancella Cartella";
    t.Leggidirectory2 = "Leggi directory";
    t.Apriimmagine2 = "Apri immagine";
    t.Mostraproprietimmagine2 = "Mostra proprietà immagine";
    t.Rinominaimmagine1 = "Rinomina immagine";
    t.Cancellaimmagine2 = "Cancella immagine";
    t.Slideshow2 = "Slideshow";
    t.hintApri = "Apri l'immagine";
    t.hintProprieta = "Mostra le proprietà dell'immagine";
    t.hintRinomina = "Rinomina immagine";
    t.hintCancella = "Cancella l'immagine";
    t.hintLeggi = "Leggi directory";
    t.hintAiuto = "Aiuto";
    t.hintSlideshow = "Slideshow";
    t.hintEsci = "Esci";
    t.hintRiflettiOriz = "Ribalta orizzontalmente";
    t.hintRiflettiVert = "Ribalta verticalmente";
    t.hintRuotaDestra = "Ruota a destra";
    t.hintRuotaSinistra = "Ruota a sinistra";
    t.hintRuota180 = "Ruota di 180°";
    t.hintSchiarisci = "Schiarisci l'immagine";
    t.hintScurisci = "Scurisci l'immagine";
    t.hintScalaGrigi = "Converti in tonalità di grigio";
    t.helpFile = "QVITA.HLP";
    t.msgNomeFile = "Nome del file: %s";
    t.msgFormato = "Formato grafico del file: %s";
    t.msgDimensioni = "Dimensioni in pixel dell'immagine: %s";
    t.msgDimensioniFile = "Dimensioni: %s byte";
    t.msgUltimaModifica = "Ultima modifica il %s";
    t.msgCarico = "Carico il file %s";
    t.msgCartellaNonCancellabile =
        "La cartella non può essere cancellata.\rVerificare che sia vuota e non protetta da cancellazione.";
    t.msgNuovaCartella = "Nuova Cartella";
    t.msgCartellaNonCreata = "Non è possibile creare la cartella!";
    t.msgCartellaSparita = "La cartella %s non esiste più: nessun file è stato spostato o copiato.";
    t.msgOperazioneInCorso = "Attendere la fine dell'operazione sui file in corso.";
    t.msgListaNonSeguita = "La cartella %s non c'è più: la lista non è aggiornata";
    return t;
}

TestiFinestra makeEnglish()
{
    TestiFinestra t;
    t.File1 = "&File";
    t.LeggiDirectory1 = "&Read directory";
    t.scLeggiDirectory1 = QKeySequence(Qt::Key_F4);
    t.Apriimmagine1 = "&Show image";
    t.Mostraproprietimmagine1 = "Show image &info";
    t.Rinominaimmagine2 = "Rename image";
    t.Cancellaimmagine1 = "&Delete image";
    t.scCancellaimmagine1 = QKeySequence(Qt::CTRL | Qt::Key_Delete);
    t.Confrontaimmagini1 = "Compare images";
    t.Slideshow1 = "Slideshow";
    t.scSlideshow1 = QKeySequence(Qt::Key_F8);
    t.EscidaQuorvel2 = "E&xit Quorvel";
    t.scEscidaQuorvel2 = QKeySequence(Qt::CTRL | Qt::Key_X);
    t.Modifica1 = "&Edit";
    t.CopiaInAppunti = "Copy filename to Cipboard";
    t.scCopiaInAppunti = QKeySequence(Qt::CTRL | Qt::Key_F10);
    t.Impostasfondo1 = "Set as &Wallpaper";
    t.Cancellalalista1 = "Empty list";
    t.Abilita1 = "Picture toolbar";
    t.Visualizza1 = "&Options";
    t.HelpInLinea = "&?";
    t.Sommario1 = "&Help";
    t.scSommario1 = QKeySequence(Qt::Key_F1);
    t.Informazioni2 = "&About QV";
    t.scInformazioni2 = QKeySequence(Qt::CTRL | Qt::Key_A);
    t.Nuovacartella1 = "Create new folder";
    t.RinominaCartella = "Rename folder";
    t.Cancellacartella = "Delete folder";
    t.Leggidirectory2 = "Read directory";
    t.Apriimmagine2 = "Show image";
    t.Mostraproprietimmagine2 = "Show image info";
    t.Rinominaimmagine1 = "Rename image";
    t.Cancellaimmagine2 = "Delete image";
    t.Slideshow2 = "Slideshow";
    t.hintApri = "Show image";
    t.hintProprieta = "Show image info";
    t.hintRinomina = "Rename image";
    t.hintCancella = "Delete image";
    t.hintLeggi = "Read directory";
    t.hintAiuto = "Help";
    t.hintSlideshow = "Slideshow";
    t.hintEsci = "Exit";
    t.hintRiflettiOriz = "Flip horizontally";
    t.hintRiflettiVert = "Flip vertically";
    t.hintRuotaDestra = "Rotate right";
    t.hintRuotaSinistra = "Rotate left";
    t.hintRuota180 = "Rotate 180°";
    t.hintSchiarisci = "Lighten image";
    t.hintScurisci = "Darken image";
    t.hintScalaGrigi = "Greyscale";
    t.helpFile = "QVENG.HLP";
    t.msgNomeFile = "File name: %s";
    t.msgFormato = "Graphic format: %s";
    t.msgDimensioni = "Image size: %s";
    t.msgDimensioniFile = "Size of file: %s byte";
    t.msgUltimaModifica = "Last modified %s";
    t.msgCarico = "Loading file %s";
    t.msgCartellaNonCancellabile = "Folder cannot be deleted.\rCheck it's empty and deletable.";
    t.msgNuovaCartella = "New Folder";
    t.msgCartellaNonCreata = "Folder creation failed!";
    t.msgCartellaSparita = "The folder %s no longer exists: no file was moved or copied.";
    t.msgOperazioneInCorso = "Please wait until the running file operation has finished.";
    t.msgListaNonSeguita = "The folder %s is gone: the list is not up to date";
    return t;
}

} // namespace

const TestiFinestra& testiItaliani()
{
    static const TestiFinestra t = makeItalian();
    return t;
}

const TestiFinestra& testiInglesi()
{
    static const TestiFinestra t = makeEnglish();
    return t;
}

QString messaggioEccezione(const QString& error, bool italian)
{
    const QString address = QString::fromLatin1(kSupportAddress);
    if (italian)
        return QStringLiteral("Eccezione non gestita: %1").arg(error) + '\r'
            + QStringLiteral("Per favore invia una e-mail a %1 descrivendo l'eccezione e le "
                             "circostanze in cui si è verificata.")
                  .arg(address);
    return QStringLiteral("Exception unhandled: %1").arg(error) + '\r'
        + QStringLiteral("Send an E-Mail to %1 describing the sequence of operations that raised "
                         "the exception")
              .arg(address);
}

namespace {

TestiOpzioni makeOptionsItalian()
{
    TestiOpzioni t;
    t.caption = "Quorvel";
    t.pagGenerali = "Generali";
    t.pagMiniature = "Miniature";
    t.pagSlideshow = "Slideshow";
    t.pagToolbar = "Toolbar";
    t.pagJpg = "JPG";
    t.rgLingua = "Lingua";
    t.lingue = {"Italiano", "Inglese"};
    t.GroupBox1 = "Spostamento";
    t.ckRinomina = "Rinomina se file esiste";
    t.rgOperazione = "Operazione";
    t.operazioni = {"Copia", "Sposta"};
    t.GroupBox2 = "Lista";
    t.ckSvuota = "Svuota prima di caricare";
    t.ckSalvaThumb = "Salva le miniature";
    t.ckMiniatureIncorporate = "Usa le miniature incorporate nelle foto";
    t.ckHotTrack = "Hot Track";
    t.gbAltre = "Altre";
    t.ckImmCentrata = "Centra immagine";
    t.ckTreeScroll = "Muovi cartelle";
    t.Label2 = "Dimensioni";
    t.Label3 = "Colori";
    t.SpeedButton1 = "Bordo...";
    t.SpeedButton2 = "Sfondo...";
    t.Label1 = "Durata di ogni singola slide sec.";
    t.rgPercNomeFile = "Mostra";
    t.percNomeFile = {"percorso e nome file", "solo nome file"};
    t.ckShowSel = "Mostra solo le immagini selezionate";
    t.rgToolSfondo = "Immagine di sfondo";
    t.toolSfondo = {"Nessuna", "Default"};
    t.rgColori = "Colori";
    t.colori = {"Originale", "256 colori", "Scala di grigi"};
    t.rgQualita = "Qualità";
    t.Label4 = "in percentuale";
    t.rgQuantizzazione = "Quantizzazione";
    t.quantizzazione = {"1-passata", "2-passate"};
    t.rgDithering = "Dithering";
    t.dithering = {"Nessuno", "Ordinato", "Floyd-Steinberg"};
    t.BitBtn1 = "Ok";
    t.BitBtn2 = "Annulla";
    return t;
}

TestiOpzioni makeOptionsEnglish()
{
    TestiOpzioni t;
    t.caption = "Quorvel";
    t.pagGenerali = "Commons";
    t.pagMiniature = "Thumbnails";
    t.pagSlideshow = "Slideshow";
    t.pagToolbar = "Toolbar";
    t.pagJpg = "JPG";
    t.rgLingua = "Language";
    t.lingue = {"Italian", "English"};
    t.GroupBox1 = "Moving";
    t.ckRinomina = "Rename file on collision";
    t.rgOperazione = "Operation";
    t.operazioni = {"Copy", "Move"};
    t.GroupBox2 = "List";
    t.ckSvuota = "Empty before loading";
    t.ckSalvaThumb = "Save thumbnails";
    t.ckMiniatureIncorporate = "Use thumbnails embedded in photos";
    t.ckHotTrack = "Hot Track";
    t.gbAltre = "Others";
    t.ckImmCentrata = "Center image";
    t.ckTreeScroll = "Scroll folders";
    t.Label2 = "Dimension";
    t.Label3 = "Color";
    t.SpeedButton1 = "Border...";
    t.SpeedButton2 = "Background...";
    t.Label1 = "Slide duration sec.";
    t.rgPercNomeFile = "Show";
    t.percNomeFile = {"path and file name", "file name only"};
    t.ckShowSel = "Show selected images only";
    t.rgToolSfondo = "Back image";
    t.toolSfondo = {"None", "Default"};
    t.rgColori = "Colors";
    t.colori = {"Original", "256 colors", "Greyscale"};
    t.rgQualita = "Quality";
    t.Label4 = "in percent";
    t.rgQuantizzazione = "Quantization";
    t.quantizzazione = {"1-pass", "2-pass"};
    t.rgDithering = "Dithering";
    t.dithering = {"None", "Ordered", "Floyd-Steinberg"};
    t.BitBtn1 = "Ok";
    t.BitBtn2 = "Cancel";
    return t;
}

} // namespace

const TestiOpzioni& testiOpzioniItaliani()
{
    static const TestiOpzioni t = makeOptionsItalian();
    return t;
}

const TestiOpzioni& testiOpzioniInglesi()
{
    static const TestiOpzioni t = makeOptionsEnglish();
    return t;
}

const TestiComandi& testiComandi(bool italian)
{
    static const TestiComandi it{"Rinomina file", "Mostra proprietà", "Un gestore di immagini grafiche",
                                 "\"%s\" non è un nome di file valido."};
    static const TestiComandi en{"Rename file", "Show info", "A picture organiser (what else?)",
                                 "\"%s\" is not a valid file name."};
    return italian ? it : en;
}

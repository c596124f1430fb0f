// Text tables of the main window.
#include "app/texts.h"

namespace {

MainWindowTexts makeItalian()
{
    MainWindowTexts t;
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
    t.hintOpen = "Apri l'immagine";
    t.hintProperties = "Mostra le proprietà dell'immagine";
    t.hintRename = "Rinomina immagine";
    t.hintDelete = "Cancella l'immagine";
    t.hintReadFolder = "Leggi directory";
    t.hintHelp = "Aiuto";
    t.hintSlideshow = "Slideshow";
    t.hintExit = "Esci";
    t.hintFlipHorizontal = "Ribalta orizzontalmente";
    t.hintFlipVertical = "Ribalta verticalmente";
    t.hintRotateRight = "Ruota a destra";
    t.hintRotateLeft = "Ruota a sinistra";
    t.hintRotate180 = "Ruota di 180°";
    t.hintLighten = "Schiarisci l'immagine";
    t.hintDarken = "Scurisci l'immagine";
    t.hintGreyscale = "Converti in tonalità di grigio";
    t.helpFile = "QVITA.HLP";
    t.msgFileName = "Nome del file: %s";
    t.msgFormat = "Formato grafico del file: %s";
    t.msgDimensions = "Dimensioni in pixel dell'immagine: %s";
    t.msgFileSize = "Dimensioni: %s byte";
    t.msgLastModified = "Ultima modifica il %s";
    t.msgLoading = "Carico il file %s";
    t.msgFolderNotDeleted =
        "La cartella non può essere cancellata.\rVerificare che sia vuota e non protetta da cancellazione.";
    t.msgNewFolder = "Nuova Cartella";
    t.msgFolderNotCreated = "Non è possibile creare la cartella!";
    t.msgFolderGone = "La cartella %s non esiste più: nessun file è stato spostato o copiato.";
    t.msgOperationRunning = "Attendere la fine dell'operazione sui file in corso.";
    t.msgListNotFollowed = "La cartella %s non c'è più: la lista non è aggiornata";
    return t;
}

MainWindowTexts makeEnglish()
{
    MainWindowTexts t;
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
    t.hintOpen = "Show image";
    t.hintProperties = "Show image info";
    t.hintRename = "Rename image";
    t.hintDelete = "Delete image";
    t.hintReadFolder = "Read directory";
    t.hintHelp = "Help";
    t.hintSlideshow = "Slideshow";
    t.hintExit = "Exit";
    t.hintFlipHorizontal = "Flip horizontally";
    t.hintFlipVertical = "Flip vertically";
    t.hintRotateRight = "Rotate right";
    t.hintRotateLeft = "Rotate left";
    t.hintRotate180 = "Rotate 180°";
    t.hintLighten = "Lighten image";
    t.hintDarken = "Darken image";
    t.hintGreyscale = "Greyscale";
    t.helpFile = "QVENG.HLP";
    t.msgFileName = "File name: %s";
    t.msgFormat = "Graphic format: %s";
    t.msgDimensions = "Image size: %s";
    t.msgFileSize = "Size of file: %s byte";
    t.msgLastModified = "Last modified %s";
    t.msgLoading = "Loading file %s";
    t.msgFolderNotDeleted = "Folder cannot be deleted.\rCheck it's empty and deletable.";
    t.msgNewFolder = "New Folder";
    t.msgFolderNotCreated = "Folder creation failed!";
    t.msgFolderGone = "The folder %s no longer exists: no file was moved or copied.";
    t.msgOperationRunning = "Please wait until the running file operation has finished.";
    t.msgListNotFollowed = "The folder %s is gone: the list is not up to date";
    return t;
}

} // namespace

const MainWindowTexts& italianMainWindowTexts()
{
    static const MainWindowTexts t = makeItalian();
    return t;
}

const MainWindowTexts& englishMainWindowTexts()
{
    static const MainWindowTexts t = makeEnglish();
    return t;
}

QString uncaughtErrorMessage(const QString& error, bool italian)
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

OptionsTexts makeOptionsItalian()
{
    OptionsTexts t;
    t.caption = "Quorvel";
    t.pageGeneral = "Generali";
    t.pageThumbnails = "Miniature";
    t.pageSlideshow = "Slideshow";
    t.pageToolbar = "Toolbar";
    t.pageJpeg = "JPG";
    t.rgLingua = "Lingua";
    t.languageItems = {"Italiano", "Inglese"};
    t.GroupBox1 = "Spostamento";
    t.ckRinomina = "Rinomina se file esiste";
    t.rgOperazione = "Operazione";
    t.operationItems = {"Copia", "Sposta"};
    t.GroupBox2 = "Lista";
    t.ckSvuota = "Svuota prima di caricare";
    t.ckSalvaThumb = "Salva le miniature";
    t.ckEmbeddedThumbnails = "Usa le miniature incorporate nelle foto";
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
    t.fileNameItems = {"percorso e nome file", "solo nome file"};
    t.ckShowSel = "Mostra solo le immagini selezionate";
    t.rgToolSfondo = "Immagine di sfondo";
    t.toolbarBackgroundItems = {"Nessuna", "Default"};
    t.rgColori = "Colori";
    t.colourItems = {"Originale", "256 colori", "Scala di grigi"};
    t.rgQualita = "Qualità";
    t.Label4 = "in percentuale";
    t.rgQuantizzazione = "Quantizzazione";
    t.quantisationItems = {"1-passata", "2-passate"};
    t.rgDithering = "Dithering";
    t.ditheringItems = {"Nessuno", "Ordinato", "Floyd-Steimberg"};
    t.BitBtn1 = "Ok";
    t.BitBtn2 = "Annulla";
    return t;
}

OptionsTexts makeOptionsEnglish()
{
    OptionsTexts t;
    t.caption = "Quorvel";
    t.pageGeneral = "Commons";
    t.pageThumbnails = "Thumbnails";
    t.pageSlideshow = "Slideshow";
    t.pageToolbar = "Toolbar";
    t.pageJpeg = "JPG";
    t.rgLingua = "Language";
    t.languageItems = {"Italian", "English"};
    t.GroupBox1 = "Moving";
    t.ckRinomina = "Rename file on collision";
    t.rgOperazione = "Operation";
    t.operationItems = {"Copy", "Move"};
    t.GroupBox2 = "List";
    t.ckSvuota = "Empty before loading";
    t.ckSalvaThumb = "Save thumbnails";
    t.ckEmbeddedThumbnails = "Use thumbnails embedded in photos";
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
    t.fileNameItems = {"path and file name", "file name only"};
    t.ckShowSel = "Show selected images only";
    t.rgToolSfondo = "Back image";
    t.toolbarBackgroundItems = {"None", "Default"};
    t.rgColori = "Colors";
    t.colourItems = {"Original", "256 colors", "Greyscale"};
    t.rgQualita = "Quality";
    t.Label4 = "in percent";
    t.rgQuantizzazione = "Quantization";
    t.quantisationItems = {"1-pass", "2-pass"};
    t.rgDithering = "Dithering";
    t.ditheringItems = {"None", "Ordered", "Floyd-Steimberg"};
    t.BitBtn1 = "Ok";
    t.BitBtn2 = "Cancel";
    return t;
}

} // namespace

const OptionsTexts& italianOptionsTexts()
{
    static const OptionsTexts t = makeOptionsItalian();
    return t;
}

const OptionsTexts& englishOptionsTexts()
{
    static const OptionsTexts t = makeOptionsEnglish();
    return t;
}

const CommandTexts& commandTexts(bool italian)
{
    static const CommandTexts it{"Rinomina file", "Mostra proprietà", "Un gestore di immagini grafiche",
                                 "\"%s\" non è un nome di file valido."};
    static const CommandTexts en{"Rename file", "Show info", "A picture organiser (what else?)",
                                 "\"%s\" is not a valid file name."};
    return italian ? it : en;
}

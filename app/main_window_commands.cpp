// The main window's commands on the selected pictures (properties, rename,
// delete, copy name, wallpaper), help, about, options, the picture toolbar
// switch, and the one place that enables the commands.
#include "app/about_box.h"
#include "app/main_window.h"
#include "app/options_dialog.h"
#include "app/properties_window.h"
#include "app/rename_dialog.h"

#include "fs/file_operation.h"
#include "platform/interface_language.h"
#include "platform/settings.h"
#include "platform/wallpaper.h"
#include "ui/thumbnail_list_view.h"

#include <QAction>
#include <QClipboard>
#include <QFileInfo>
#include <QGuiApplication>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QMessageBox>
#include <QScreen>
#include <QSet>
#include <QToolBar>
#include <QToolButton>

namespace {

// The windows some commands open. A command whose window is not part of this
// build stays disabled; each window switches its commands on here when it lands.
struct CommandWindows {
    bool viewer = true;     // open a picture, and the picture edits that act on a viewer
    bool slideshow = true;
    bool compare = true;
};
constexpr CommandWindows kWindows;

// Switches the change monitor off for as long as it lives.
class MonitorPause {
public:
    explicit MonitorPause(TfrmPrincipale& w) : m_w(w) { m_w.setMonitorActive(false); }
    ~MonitorPause() { m_w.setMonitorActive(true); }
    MonitorPause(const MonitorPause&) = delete;
    MonitorPause& operator=(const MonitorPause&) = delete;

private:
    TfrmPrincipale& m_w;
};

QString subText(const QModelIndex& item, SubItem sub)
{
    return item.data(int(ThumbnailListModel::SubItemRole) + int(sub)).toString();
}

// A name typed for a file of the same folder: no separator, not "." or "..".
bool isPlainFileName(const QString& name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..")
        && !name.contains(QLatin1Char('/')) && !name.contains(QChar(0));
}

// At most `count` characters, never splitting a character written as two.
QString leftCharacters(const QString& text, qsizetype count)
{
    if (text.size() <= count)
        return text;
    if (count > 0 && text.at(count - 1).isHighSurrogate())
        --count;
    return text.left(count);
}

void centreOnScreen(QWidget* w, QWidget* owner)
{
    QScreen* screen = owner ? owner->screen() : QGuiApplication::primaryScreen();
    if (screen)
        w->move(screen->geometry().center() - w->rect().center());
}

} // namespace

void TfrmPrincipale::setUpCommands()
{
    // The dialogs the commands reuse, made once.
    AboutBox = new TAboutBox(this);
    optionsDialog = new TfrmOpzioni(this);
    renameDialog = new TfrmRinomina(this);
    setWindowIcon(applicationIcon());

    auto follow = [this] { updateCommandStates(); };
    connect(ListView1->selectionModel(), &QItemSelectionModel::selectionChanged, this, follow);
    connect(ListView1->model(), &QAbstractItemModel::modelReset, this, follow);
    connect(ListView1->model(), &QAbstractItemModel::rowsRemoved, this, follow);
    updateCommandStates();
}

void TfrmPrincipale::updateCommandStates()
{
    const bool selected = hasSelection();
    for (QAction* a : {Apriimmagine1, Apriimmagine2})
        a->setEnabled(kWindows.viewer && selected);
    tbOpen->setEnabled(kWindows.viewer);
    for (QToolButton* b : {tbtRiflettiOriz, tbtRiflettiVert, tbtRuotaDestra, tbtRuotaSinistra, tbtRuota180,
                           tbtSchiarisci, tbtScurisci, tbtScalaGrigi})
        b->setEnabled(kWindows.viewer);
    for (QAction* a : {Mostraproprietimmagine1, Mostraproprietimmagine2, Rinominaimmagine1, Rinominaimmagine2,
                       Cancellaimmagine1, Cancellaimmagine2})
        a->setEnabled(selected);
    for (QAction* a : {Slideshow1, Slideshow2})
        a->setEnabled(kWindows.slideshow);
    btSlideshow->setEnabled(kWindows.slideshow);
    Confrontaimmagini1->setEnabled(kWindows.compare);
}

void TfrmPrincipale::SpeedButton7Click()
{
    const MainWindowTexts& t = texts();
    const QString caption = commandTexts(italianInterface(LanguageTest::Exact)).propertiesCaption;
    // One window per selected picture.
    for (const QModelIndex& item : ListView1->selectedInOrder()) {
        auto* w = new TMostraProprieta(this);
        w->setWindowTitle(caption);
        w->setLines({formatS(t.msgFileName, subText(item, SubPath)), formatS(t.msgFormat, subText(item, SubFormat)),
                     formatS(t.msgDimensions, subText(item, SubPixels)),
                     formatS(t.msgFileSize, subText(item, SubBytes)),
                     formatS(t.msgLastModified, subText(item, SubDate))});
        w->show();
    }
}

void TfrmPrincipale::tbRinominaClick()
{
    const QModelIndexList selected = ListView1->selectedInOrder();
    // A scan lets messages run; the list is not rewritten under it.
    if (selected.isEmpty() || m_catalogue->isBusy())
        return;
    const QString oldPath = subText(selected.first(), SubPath);
    const QFileInfo old(oldPath);
    renameDialog->Edit1->setText(old.fileName());
    renameDialog->Edit1->selectAll();
    if (renameDialog->exec() != QDialog::Accepted)
        return;
    const QString name = renameDialog->Edit1->text();
    if (name == old.fileName())
        return;
    if (!isPlainFileName(name)) {
        const QString& message = commandTexts(italianInterface(LanguageTest::ItalianPrefix)).invalidNameMessage;
        QMessageBox::warning(this, QStringLiteral("Quorvel"), formatS(message, name));
        return;
    }
    // The name keeps the case it was typed in: this file system tells case apart.
    const QString newPath = old.path() + QLatin1Char('/') + name;
    bool renamed = false;
    {
        const MonitorPause pause(*this);
        FileOperation1->setOperation(foRename);
        FileOperation1->setSourceList({oldPath});
        FileOperation1->setDestinationList({newPath});
        renamed = FileOperation1->Execute() && QFileInfo::exists(newPath);
        if (renamed) {
            ThumbnailListModel& model = m_catalogue->model();
            const int row = model.rowOfPath(oldPath);
            model.setSubItem(row, SubPath, newPath);
            m_catalogue->ImpostaDidascalia(row);
            // The loaded list follows, or the next refresh would take the item for a stranger.
            if (m_catalogue->ListaCaricate.remove(oldPath))
                m_catalogue->ListaCaricate.add(newPath);
        }
    }
    if (renamed) {
        const int row = m_catalogue->model().rowOfPath(newPath);
        ListView1->setCurrentIndex(ListView1->model()->index(row, 0));
        ListView1->scrollTo(ListView1->currentIndex());
    }
}

void TfrmPrincipale::SpeedButton8Click()
{
    const QStringList paths = selectedPaths();
    if (paths.isEmpty() || m_catalogue->isBusy())
        return;
    {
        const MonitorPause pause(*this);
        // One list entry per file: a name may hold ";".
        FileOperation1->setOperation(foDelete);
        FileOperation1->setSourceList(paths);
        FileOperation1->setDestinationList({});
        FileOperation1->Execute();
        // Only the items of files that are really gone leave the list.
        QSet<QString> gone;
        for (const QString& p : paths) {
            const QFileInfo f(p);
            if (!f.exists() && !f.isSymLink())
                gone.insert(p);
        }
        m_catalogue->removeItems(gone);
    }
    AggiornaConteggio();
}

void TfrmPrincipale::CopiaInAppuntiClick()
{
    const QModelIndexList selected = ListView1->selectedInOrder();
    if (selected.isEmpty() || selected.first().data(Qt::DisplayRole).toString().isEmpty())
        return;
    // The real path, so that it can be pasted into anything that opens the file.
    QGuiApplication::clipboard()->setText(leftCharacters(subText(selected.first(), SubPath), 255));
}

void TfrmPrincipale::Impostasfondo1Click()
{
    const QModelIndexList selected = ListView1->selectedInOrder();
    if (selected.isEmpty())
        return;
    const QString path = subText(selected.first(), SubPath);
    // Only a bitmap whose extension is written ".bmp" exactly.
    const QString file = QFileInfo(path).fileName();
    const qsizetype dot = file.lastIndexOf(QLatin1Char('.'));
    if (dot < 0 || QStringView(file).mid(dot) != QLatin1String(".bmp"))
        return;
    setDeskWallpaper(path);
}

void TfrmPrincipale::SpeedButton10Click()
{
    if (!m_help)
        m_help = new HelpWindow(nullptr);
    m_help->showContents(m_helpFile);
}

void TfrmPrincipale::Informazioni1Click()
{
    AboutBox->Comments->setText(commandTexts(italianInterface(LanguageTest::Exact)).aboutDescription);
    AboutBox->ProgramIcon->setPixmap(applicationIcon().pixmap(64, 64));
    AboutBox->exec();
}

void TfrmPrincipale::Visualizza1Click()
{
    optionsDialog->fillFrom(Configurazione);
    optionsDialog->adjustSize();
    centreOnScreen(optionsDialog, this);
    const bool confirmed = optionsDialog->exec() == QDialog::Accepted;
    ApplicaConfigurazione();
    // Kept at once: a crash later does not lose the options.
    if (confirmed)
        SalvaConfigurazione();
}

void TfrmPrincipale::Abilita1Click()
{
    const bool show = tbElaborazioni->isHidden();
    tbElaborazioni->setVisible(show);
    Abilita1->setChecked(show);
}

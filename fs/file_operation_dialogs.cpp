// File-operation dialogs: message boxes with our own button texts (so both languages work
// without Qt's translations) and one progress dialog per operation.
#include "fs/file_operation_dialogs.h"
#include "platform/file_names.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QLocale>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>

FileOperationDialogs::FileOperationDialogs(FileOpLanguage language)
    : m_language(language)
{
}

FileOperationDialogs::~FileOperationDialogs()
{
    delete m_progress.data();
}

QString FileOperationDialogs::tr2(const char* italian, const char* english) const
{
    return QString::fromUtf8(m_language == FileOpLanguage::Italian ? italian : english);
}

// Size and date of a file, for the replace question.
QString FileOperationDialogs::describe(const QString& path) const
{
    const QFileInfo info(path);
    const QString when = QLocale(m_language == FileOpLanguage::Italian ? QLocale::Italian : QLocale::English)
                             .toString(info.lastModified(), QLocale::ShortFormat);
    return tr2("%1 byte, modificato il %2", "%1 bytes, modified %2").arg(QString::number(info.size()), when);
}

void FileOperationDialogs::begin(QObject* window, unsigned function, const QString& progressTitle,
                                 bool showProgress, bool simpleProgress)
{
    auto* widget = qobject_cast<QWidget*>(window);
    m_parent = widget ? widget->window() : nullptr;
    m_function = function;
    m_showProgress = showProgress;
    m_simple = simpleProgress;
    m_title = progressTitle;
    if (m_title.isEmpty() || !simpleProgress) {
        switch (function) {
        case qv::kFoCopy: m_title = tr2("Copia in corso...", "Copying..."); break;
        case qv::kFoMove: m_title = tr2("Spostamento in corso...", "Moving..."); break;
        case qv::kFoDelete: m_title = tr2("Eliminazione in corso...", "Deleting..."); break;
        default: m_title = tr2("Ridenominazione in corso...", "Renaming..."); break;
        }
    }
}

void FileOperationDialogs::end()
{
    delete m_progress.data();
}

bool FileOperationDialogs::confirmDelete(const QStringList& paths, bool toTrash)
{
    const bool one = paths.size() == 1;
    QString text;
    if (one && toTrash)
        text = tr2("Spostare \"%1\" nel Cestino?", "Are you sure you want to move \"%1\" to the Trash?");
    else if (one)
        text = tr2("Eliminare definitivamente \"%1\"?", "Are you sure you want to delete \"%1\" permanently?");
    else if (toTrash)
        text = tr2("Spostare questi %1 elementi nel Cestino?", "Are you sure you want to move these %1 items to the Trash?");
    else
        text = tr2("Eliminare definitivamente questi %1 elementi?",
                   "Are you sure you want to delete these %1 items permanently?");
    text = text.arg(one ? qv::displayFileName(QFileInfo(paths.first()).fileName()) : QString::number(paths.size()));
    QMessageBox box(QMessageBox::Question,
                    one ? tr2("Conferma eliminazione file", "Confirm File Delete")
                        : tr2("Conferma eliminazione di più file", "Confirm Multiple File Delete"),
                    text, QMessageBox::NoButton, questionOwner());
    QPushButton* yes = box.addButton(tr2("&Sì", "&Yes"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(tr2("&No", "&No"), QMessageBox::NoRole);
    box.setDefaultButton(yes);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;
}

bool FileOperationDialogs::confirmMakeDir(const QString& folder)
{
    QMessageBox box(QMessageBox::Question, tr2("Conferma creazione cartella", "Confirm Folder Create"),
                    tr2("La cartella \"%1\" non esiste.\n\nCrearla?",
                        "The folder \"%1\" does not exist.\n\nDo you want to create it?")
                        .arg(qv::displayFileName(folder)),
                    QMessageBox::NoButton, questionOwner());
    QPushButton* yes = box.addButton(tr2("&Sì", "&Yes"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(tr2("&No", "&No"), QMessageBox::NoRole);
    box.setDefaultButton(yes);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;
}

qv::ShellAnswer FileOperationDialogs::askReplace(const QString& source, const QString& existing,
                                                 bool folders, bool moreToCome)
{
    const QString name = qv::displayFileName(QFileInfo(existing).fileName());
    QString title;
    QString text;
    if (folders) {
        title = tr2("Conferma sostituzione cartella", "Confirm Folder Replace");
        text = tr2("Questa cartella contiene già una cartella denominata \"%1\".\n\n"
                   "Se i file della cartella esistente hanno lo stesso nome dei file della cartella "
                   "che si sta spostando o copiando, verranno sostituiti. "
                   "Spostare o copiare comunque la cartella?",
                   "This folder already contains a folder named \"%1\".\n\n"
                   "If the files in the existing folder have the same names as files in the folder "
                   "you are moving or copying, they will be replaced. "
                   "Do you still want to move or copy the folder?")
                   .arg(name);
    } else {
        title = tr2("Conferma sostituzione file", "Confirm File Replace");
        text = tr2("Questa cartella contiene già un file denominato \"%1\".\n\n"
                   "Sostituire il file esistente\n%2\n\ncon questo?\n%3",
                   "This folder already contains a file named \"%1\".\n\n"
                   "Would you like to replace the existing file\n%2\n\nwith this one?\n%3")
                   .arg(name, describe(existing), describe(source));
    }
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::NoButton, questionOwner());
    QPushButton* yes = box.addButton(tr2("&Sì", "&Yes"), QMessageBox::YesRole);
    QPushButton* yesAll = moreToCome ? box.addButton(tr2("Sì a &tutti", "Yes to &All"), QMessageBox::YesRole) : nullptr;
    QPushButton* no = box.addButton(tr2("&No", "&No"), QMessageBox::NoRole);
    QPushButton* noAll = moreToCome ? box.addButton(tr2("N&o a tutti", "N&o to All"), QMessageBox::NoRole) : nullptr;
    QPushButton* cancel = box.addButton(tr2("Annulla", "Cancel"), QMessageBox::RejectRole);
    box.setDefaultButton(no);
    box.setEscapeButton(cancel);
    box.exec();
    QAbstractButton* clicked = box.clickedButton();
    if (clicked == yes)
        return qv::ShellAnswer::Yes;
    if (clicked && clicked == yesAll)
        return qv::ShellAnswer::YesToAll;
    if (clicked == no)
        return qv::ShellAnswer::No;
    if (clicked && clicked == noAll)
        return qv::ShellAnswer::NoToAll;
    return qv::ShellAnswer::Cancel;
}

bool FileOperationDialogs::reportError(const QString& path, qv::ShellProblem problem, const QString& detail,
                                       bool moreToCome)
{
    QString title;
    switch (m_function) {
    case qv::kFoCopy: title = tr2("Errore durante la copia", "Error Copying File"); break;
    case qv::kFoMove: title = tr2("Errore durante lo spostamento", "Error Moving File"); break;
    case qv::kFoDelete: title = tr2("Errore durante l'eliminazione", "Error Deleting File"); break;
    default: title = tr2("Errore durante la ridenominazione", "Error Renaming File"); break;
    }
    QString reason;
    switch (problem) {
    case qv::ShellProblem::NotFound:
        reason = tr2("Impossibile trovare il file o la cartella.", "The file or folder cannot be found.");
        break;
    case qv::ShellProblem::AccessDenied: reason = tr2("Accesso negato.", "Access is denied."); break;
    case qv::ShellProblem::Exists:
        reason = tr2("Esiste già un file o una cartella con questo nome.",
                     "A file or folder with this name already exists.");
        break;
    case qv::ShellProblem::DestinationInSource:
        reason = tr2("La cartella di destinazione si trova all'interno della cartella di origine.",
                     "The destination folder is inside the source folder.");
        break;
    case qv::ShellProblem::NoSpace:
        reason = tr2("Spazio su disco insufficiente.", "There is not enough space on the disk.");
        break;
    case qv::ShellProblem::NotTrashed:
        reason = tr2("Impossibile spostare l'elemento nel Cestino: è rimasto al suo posto.",
                     "The item cannot be moved to the Trash: it was left in place.");
        break;
    case qv::ShellProblem::ChangedDuringMove:
        reason = tr2("Un altro programma l'ha modificato durante lo spostamento: l'originale è rimasto "
                     "al suo posto accanto alla copia.",
                     "Another program changed it during the move: the original was kept where it was, "
                     "beside the copy.");
        break;
    case qv::ShellProblem::Incomplete:
        reason = tr2("Impossibile leggere tutta la cartella: la copia non è completa.",
                     "The folder cannot be read to its end: the copy is not complete.");
        break;
    case qv::ShellProblem::Other: reason = tr2("Operazione non riuscita.", "The operation failed."); break;
    }
    QString text = QStringLiteral("\"%1\"\n\n%2").arg(qv::displayFileName(path), reason);
    if (!detail.isEmpty())
        text += QStringLiteral("\n(%1)").arg(detail);
    QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::NoButton, questionOwner());
    QPushButton* goOn = box.addButton(moreToCome ? tr2("&Continua", "&Continue") : QStringLiteral("OK"),
                                      QMessageBox::AcceptRole);
    QPushButton* cancel = moreToCome ? box.addButton(tr2("Annulla", "Cancel"), QMessageBox::RejectRole) : nullptr;
    box.setDefaultButton(goOn);
    box.setEscapeButton(cancel ? static_cast<QAbstractButton*>(cancel) : goOn);
    box.exec();
    return !cancel || box.clickedButton() != cancel;
}

// A question belongs to the progress window once there is one: that window
// is modal too and, shown while the question waits, would otherwise block it.
// It shows now, so the question stands over it.
QWidget* FileOperationDialogs::questionOwner()
{
    if (!m_progress)
        return m_parent.data();
    if (!m_progress->isVisible())
        m_progress->show();
    return m_progress;
}

bool FileOperationDialogs::progress(const qv::ShellProgress& p)
{
    if (!m_showProgress)
        return true;
    if (!m_progress) {
        m_progress = new QProgressDialog(m_parent);
        m_progress->setWindowModality(Qt::WindowModal);
        m_progress->setMinimumDuration(500);
        m_progress->setAutoClose(false);
        m_progress->setAutoReset(false);
        m_progress->setCancelButtonText(tr2("Annulla", "Cancel"));
        m_progress->setWindowTitle(m_title);
        m_progress->setRange(0, 1000);
    }
    QString label = tr2("%1 di %2", "%1 of %2").arg(p.item + 1).arg(p.itemCount);
    if (m_simple) {
        label = m_title + QLatin1Char('\n') + label;
    } else if (!p.to.isEmpty()) {
        label += QLatin1Char('\n') + tr2("Da: %1\nA: %2", "From: %1\nTo: %2").arg(qv::displayFileName(p.from), qv::displayFileName(p.to));
    } else {
        label += QLatin1Char('\n') + qv::displayFileName(p.from);
    }
    m_progress->setLabelText(label);
    // Whole items, plus the share of the file being copied.
    double done = p.item;
    if (p.bytesTotal > 0)
        done += double(p.bytesDone) / double(p.bytesTotal);
    m_progress->setValue(p.itemCount > 0 ? int(1000.0 * done / p.itemCount) : 0);
    QCoreApplication::processEvents();
    return !m_progress->wasCanceled();
}

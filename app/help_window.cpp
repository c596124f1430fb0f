// Help viewer.
#include "app/help_window.h"

#include <QFile>
#include <QFileInfo>

HelpWindow::HelpWindow(QWidget* parent) : QTextBrowser(parent)
{
    setObjectName("HelpWindow");
    setWindowFlag(Qt::Window);
    setOpenExternalLinks(true);
    resize(620, 520);
}

bool HelpWindow::showContents(const QString& wanted)
{
    // An installed program keeps its help in the data folder of its prefix.
    QString fileName = wanted;
    const QFileInfo beside(wanted);
    if (!beside.exists()) {
        const QString installed = beside.absolutePath() + QStringLiteral("/../share/quorvel/") + beside.fileName();
        if (QFileInfo::exists(installed))
            fileName = QFileInfo(installed).canonicalFilePath();
    }
    QFile f(fileName);
    if (!f.open(QIODevice::ReadOnly)) {
        setHtml(QStringLiteral("<p>%1</p>").arg(fileName.toHtmlEscaped()));
        show();
        return false;
    }
    m_file = fileName;
    setSearchPaths({QFileInfo(fileName).absolutePath()});
    setHtml(QString::fromUtf8(f.readAll()));
    setWindowTitle(documentTitle().isEmpty() ? QStringLiteral("Quorvel") : documentTitle());
    show();
    raise();
    activateWindow();
    return true;
}

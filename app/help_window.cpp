// Help viewer.
#include "app/help_window.h"

#include <QFile>
#include <QFileInfo>

THelpWindow::THelpWindow(QWidget* parent) : QTextBrowser(parent)
{
    setObjectName("HelpWindow");
    setWindowFlag(Qt::Window);
    setOpenExternalLinks(true);
    resize(620, 520);
}

bool THelpWindow::showContents(const QString& fileName)
{
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

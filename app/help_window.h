// The help viewer: shows an HTML help file of the program's folder.
#pragma once
#include <QTextBrowser>

class HelpWindow : public QTextBrowser {
    Q_OBJECT
public:
    explicit HelpWindow(QWidget* parent = nullptr);
    // Shows the contents (the first page) of the file; false when it cannot be read.
    bool showContents(const QString& fileName);
    QString currentFile() const { return m_file; }

private:
    QString m_file;
};

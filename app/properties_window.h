// The properties window of one picture: five lines of text and an OK button.
#pragma once
#include <QWidget>

class QLabel;
class QPushButton;

class TMostraProprieta : public QWidget {
    Q_OBJECT
public:
    explicit TMostraProprieta(QWidget* parent = nullptr);
    // The five lines; one too long for the window is cut in the middle, whole in its tooltip.
    void setLines(const QStringList& texts);

    QLabel *nomefile, *formato, *dimensioni, *dimensionifile, *ultimamodifica;
    QPushButton* OKButton;
};

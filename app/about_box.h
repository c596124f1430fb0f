// The about box: icon, product name, version and a one-line description.
#pragma once
#include <QDialog>

class QLabel;

class TAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget* parent = nullptr);
    QLabel* Comments = nullptr;
};

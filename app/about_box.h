// The about box: icon, product name, version and a one-line description.
#pragma once
#include <QDialog>
#include <QIcon>

class QLabel;

// The program's own icon (drawn at build time at several sizes).
QIcon applicationIcon();

class TAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget* parent = nullptr);
    QLabel* ProgramIcon = nullptr;
    QLabel* ProductName = nullptr;
    QLabel* Version = nullptr;
    QLabel* Comments = nullptr;

protected:
    void showEvent(QShowEvent* e) override; // centred on the screen
};

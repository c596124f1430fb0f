// The rename dialog: one edit field with the file name and an OK button.
#pragma once
#include <QDialog>

class QLineEdit;
class QPushButton;

class TfrmRinomina : public QDialog {
    Q_OBJECT
public:
    explicit TfrmRinomina(QWidget* parent = nullptr);

    QLineEdit* Edit1;
    QPushButton* OButton1;

protected:
    // Each showing starts as "cancel", titled in the interface language.
    void showEvent(QShowEvent* e) override;
};

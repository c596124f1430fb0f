// The rename dialog.
#include "app/rename_dialog.h"

#include "app/texts.h"
#include "platform/interface_language.h"
#include "platform/settings.h"

#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

TfrmRinomina::TfrmRinomina(QWidget* parent) : QDialog(parent)
{
    setObjectName("frmRinomina");
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setFixedSize(260, 140);
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName("Edit1");
    Edit1->setGeometry(30, 30, 200, Edit1->sizeHint().height());
    OButton1 = new QPushButton(QStringLiteral("&Ok"), this);
    OButton1->setObjectName("OButton1");
    OButton1->setGeometry(92, 85, 75, OButton1->sizeHint().height());
    // The default button takes Enter from anywhere in the window.
    OButton1->setDefault(true);
    connect(OButton1, &QPushButton::clicked, this, &QDialog::accept);
}

void TfrmRinomina::showEvent(QShowEvent* e)
{
    setResult(QDialog::Rejected);
    setWindowTitle(commandTexts(italianInterface(LanguageTest::ItalianPrefix)).renameCaption);
    if (QScreen* screen = parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen())
        move(screen->geometry().center() - rect().center());
    QDialog::showEvent(e);
    Edit1->setFocus();
}

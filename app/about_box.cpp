// About box.
#include "app/about_box.h"

#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

QIcon applicationIcon()
{
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/APPICON_%1").arg(size), QSize(size, size));
    return icon;
}

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent)
{
    setObjectName("AboutBox");
    setWindowTitle(QStringLiteral("Quorvel"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    auto* grid = new QGridLayout(this);
    grid->setHorizontalSpacing(16);
    ProgramIcon = new QLabel(this);
    ProgramIcon->setObjectName("ProgramIcon");
    grid->addWidget(ProgramIcon, 0, 0, 3, 1, Qt::AlignTop);
    ProductName = new QLabel(QStringLiteral("Quorvel"), this);
    ProductName->setObjectName("ProductName");
    QFont big = ProductName->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 1.6);
    ProductName->setFont(big);
    grid->addWidget(ProductName, 0, 1);
    Version = new QLabel(QStringLiteral("Ver. ") + QStringLiteral(QUORVEL_VERSION_TEXT), this);
    Version->setObjectName("Version");
    grid->addWidget(Version, 1, 1);
    Comments = new QLabel(this);
    Comments->setObjectName("Comments");
    grid->addWidget(Comments, 2, 1);
    auto* ok = new QPushButton(QStringLiteral("Ok"), this);
    ok->setObjectName("OKButton");
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    grid->addWidget(ok, 3, 0, 1, 2, Qt::AlignHCenter);
}

void TAboutBox::showEvent(QShowEvent* e)
{
    adjustSize();
    setFixedSize(sizeHint());
    if (QScreen* screen = parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen())
        move(screen->geometry().center() - rect().center());
    QDialog::showEvent(e);
}

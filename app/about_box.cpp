// About box.
#include "app/about_box.h"

#include "platform/settings.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent)
{
    setObjectName("AboutBox");
    setWindowTitle(QStringLiteral("Quorvel"));
    auto* grid = new QGridLayout(this);
    auto* icon = new QLabel(this);
    icon->setObjectName("ProgramIcon");
    icon->setPixmap(QPixmap(":/GLYPH_OPEN").scaled(48, 48, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    grid->addWidget(icon, 0, 0, 3, 1, Qt::AlignTop);
    auto* product = new QLabel(QStringLiteral("<b>Quorvel</b>"), this);
    product->setObjectName("ProductName");
    grid->addWidget(product, 0, 1);
    auto* version = new QLabel(QStringLiteral("Ver. ") + QStringLiteral(QUORVEL_VERSION_TEXT), this);
    version->setObjectName("Version");
    grid->addWidget(version, 1, 1);
    Comments = new QLabel(this);
    Comments->setObjectName("Comments");
    Comments->setText(Configurazione.italianExact()
                          ? QStringLiteral("Un gestore di immagini grafiche")
                          : QStringLiteral("A picture organiser that finds, shows and sorts your photos (what else?)"));
    grid->addWidget(Comments, 2, 1);
    auto* ok = new QPushButton(QStringLiteral("Ok"), this);
    ok->setObjectName("OKButton");
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    grid->addWidget(ok, 3, 0, 1, 2, Qt::AlignHCenter);
    setFixedSize(sizeHint());
    if (parentWidget())
        move(parentWidget()->screen()->geometry().center() - rect().center());
}

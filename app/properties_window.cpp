// The properties window.
#include "app/properties_window.h"

#include <QLabel>
#include <QPushButton>
#include <QStringList>
#include <QVBoxLayout>

TMostraProprieta::TMostraProprieta(QWidget* parent) : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint)
{
    setObjectName("MostraProprieta");
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(492, 178);
    auto* column = new QVBoxLayout(this);
    QLabel** lines[] = {&nomefile, &formato, &dimensioni, &dimensionifile, &ultimamodifica};
    const char* names[] = {"nomefile", "formato", "dimensioni", "dimensionifile", "ultimamodifica"};
    for (int i = 0; i < 5; ++i) {
        auto* l = new QLabel(this);
        l->setObjectName(QString::fromLatin1(names[i]));
        l->setTextFormat(Qt::PlainText);
        l->setTextInteractionFlags(Qt::TextSelectableByMouse);
        l->setMinimumWidth(1);
        column->addWidget(l);
        *lines[i] = l;
    }
    column->addStretch(1);
    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName("OKButton");
    OKButton->setDefault(true);
    column->addWidget(OKButton, 0, Qt::AlignHCenter);
    connect(OKButton, &QPushButton::clicked, this, &QWidget::close);
}

void TMostraProprieta::setLines(const QStringList& texts)
{
    QLabel* const lines[] = {nomefile, formato, dimensioni, dimensionifile, ultimamodifica};
    const int room = width() - layout()->contentsMargins().left() - layout()->contentsMargins().right();
    for (int i = 0; i < 5; ++i) {
        const QString text = texts.value(i);
        const QString shown = lines[i]->fontMetrics().elidedText(text, Qt::ElideMiddle, room);
        lines[i]->setText(shown);
        lines[i]->setToolTip(shown == text ? QString() : text);
    }
}

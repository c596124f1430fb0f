// The progress window of long GIF work.
#include "ui/progress_form.h"

#include "ui/needle_gauge.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>
#include <cmath>

TProgressForm::TProgressForm(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("ProgressForm"));
    setFixedSize(267, 130);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_gauge = new NeedleGauge(this);
    m_gauge->setObjectName(QStringLiteral("NeedleGauge1"));
    m_gauge->setNeedleColor(Qt::blue);
    layout->addWidget(m_gauge);
}

void TProgressForm::Progress(double fraction)
{
    if (fraction > 0.9999) {
        hide();
    } else {
        if (!isVisible()) {
            const QScreen* screen = QGuiApplication::primaryScreen();
            if (screen)
                move(screen->geometry().center() - QPoint(width() / 2, height() / 2));
            show();
        }
        m_gauge->setValue(int(std::lround(fraction * 100)));
    }
    QCoreApplication::processEvents();
}

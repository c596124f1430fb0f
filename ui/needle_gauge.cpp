// A needle gauge control.
#include "ui/needle_gauge.h"

#include <QPainter>
#include <QtMath>

double needleAngle(int value, int minimum, int maximum)
{
    if (maximum <= minimum)
        return 180.0;
    const double f = std::clamp(double(value - minimum) / double(maximum - minimum), 0.0, 1.0);
    return 180.0 * (1.0 - f);
}

NeedleGauge::NeedleGauge(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void NeedleGauge::setRange(int minimum, int maximum)
{
    m_minimum = minimum;
    m_maximum = std::max(minimum, maximum);
    setValue(m_value);
    update();
}

void NeedleGauge::setValue(int value)
{
    value = std::clamp(value, m_minimum, m_maximum);
    if (value == m_value)
        return;
    m_value = value;
    update();
}

void NeedleGauge::setNeedleColor(const QColor& color)
{
    m_needleColor = color;
    update();
}

void NeedleGauge::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), palette().window());
    p.setRenderHint(QPainter::Antialiasing);

    // The dial is a half circle standing on the bottom edge, centred.
    const double margin = 6;
    const double radius = std::max(1.0, std::min(width() / 2.0, double(height())) - margin);
    const QPointF centre(width() / 2.0, height() - margin);

    p.setPen(QPen(palette().windowText(), 1.5));
    p.drawArc(QRectF(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius), 0, 180 * 16);
    for (int tick = 0; tick <= 10; ++tick) {
        const double a = qDegreesToRadians(180.0 - 18.0 * tick);
        const double inner = tick % 5 == 0 ? radius * 0.82 : radius * 0.9;
        p.drawLine(centre + QPointF(std::cos(a) * inner, -std::sin(a) * inner),
                   centre + QPointF(std::cos(a) * radius, -std::sin(a) * radius));
    }

    const double a = qDegreesToRadians(needleAngle(m_value, m_minimum, m_maximum));
    const double length = radius * 0.92;
    p.setPen(QPen(m_needleColor, std::max(2.0, radius / 30), Qt::SolidLine, Qt::RoundCap));
    p.drawLine(centre, centre + QPointF(std::cos(a) * length, -std::sin(a) * length));
    p.setBrush(m_needleColor);
    p.drawEllipse(centre, radius / 15 + 2, radius / 15 + 2);
}

// A needle gauge: a half dial with ticks whose needle shows a value between
// a minimum and a maximum.
#pragma once
#include <QColor>
#include <QWidget>

// Needle direction in degrees, counter-clockwise from the right: 180 at the
// minimum, 0 at the maximum; values outside the range are clamped.
double needleAngle(int value, int minimum, int maximum);

class NeedleGauge : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int value READ value WRITE setValue)
    Q_PROPERTY(QColor needleColor READ needleColor WRITE setNeedleColor)

public:
    explicit NeedleGauge(QWidget* parent = nullptr);

    int minimum() const { return m_minimum; }
    int maximum() const { return m_maximum; }
    void setRange(int minimum, int maximum);

    int value() const { return m_value; }
    void setValue(int value); // clamped to the range

    QColor needleColor() const { return m_needleColor; }
    void setNeedleColor(const QColor& color);

    QSize sizeHint() const override { return {200, 100}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_minimum = 0;
    int m_maximum = 100;
    int m_value = 0;
    QColor m_needleColor = Qt::black;
};

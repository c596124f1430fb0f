// The small progress window of long GIF work: borderless, on top, centred,
// a blue needle gauge filling it.
#pragma once
#include <QWidget>

class NeedleGauge;

class TProgressForm : public QWidget {
    Q_OBJECT

public:
    explicit TProgressForm(QWidget* parent = nullptr);

    // The progress procedure: above 0.9999 the window hides; otherwise it
    // shows (centred) and the needle goes to the fraction in percent,
    // rounded. Either way pending events then run.
    void Progress(double fraction);

    NeedleGauge* gauge() const { return m_gauge; }

private:
    NeedleGauge* m_gauge;
};

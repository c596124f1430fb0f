// TSleeper: pauses the caller for some milliseconds while the user interface keeps
// handling its messages.
#pragma once
#include <QObject>

class QTimer;

class TSleeper : public QObject {
    Q_OBJECT
public:
    explicit TSleeper(QObject* owner = nullptr);

    // Milliseconds of the sleeper's timer (0 without a timer).
    int Interval() const;
    void setInterval(int ms);

    // Returns after at least ms milliseconds; every other handler of the user interface
    // may run meanwhile, this very one included.
    void SleepFor(int ms);

private:
    QTimer* m_timer = nullptr;
    bool m_done = false;
};

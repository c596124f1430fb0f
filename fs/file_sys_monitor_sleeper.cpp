// The pause spins the event loop without blocking between passes, so that it returns as
// soon as its timer has fired.
#include "fs/file_sys_monitor_sleeper.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTimer>

TSleeper::TSleeper(QObject* owner)
    : QObject(owner)
    , m_timer(new QTimer(this))
{
    m_timer->setInterval(1000);
    m_timer->setTimerType(Qt::PreciseTimer); // a coarse timer may fire up to 5 % early
    connect(m_timer, &QTimer::timeout, this, [this] { m_done = true; });
}

int TSleeper::Interval() const
{
    return m_timer ? m_timer->interval() : 0;
}

void TSleeper::setInterval(int ms)
{
    if (m_timer)
        m_timer->setInterval(qMax(ms, 0));
}

void TSleeper::SleepFor(int ms)
{
    if (!m_timer)
        return;
    ms = qMax(ms, 0);
    if (m_timer->interval() != ms)
        m_timer->setInterval(ms);
    m_done = false;
    m_timer->start();
    const QPointer<TSleeper> alive(this); // a handler run meanwhile may delete the owner
    while (alive && !m_done)
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    if (alive)
        m_timer->stop();
}

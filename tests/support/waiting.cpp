#include "waiting.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

namespace qvtest {

namespace {
void pumpEvents()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QThread::msleep(1);
}
} // namespace

bool waitUntil(const std::function<bool()>& cond, int ceilingMs)
{
    QDeadlineTimer deadline(ceilingMs);
    while (!cond()) {
        if (deadline.hasExpired())
            return false;
        pumpEvents();
    }
    return true;
}

void settle(int ms)
{
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired())
        pumpEvents();
}

} // namespace qvtest

// The change workers' hand-over to the user-interface thread, and the registry that stops
// and deletes workers still alive when the application object goes.
#include "fs/file_sys_monitor_workers.h"

#include <QCoreApplication>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <set>
#include <vector>

namespace {

std::mutex g_registryMutex;
std::set<ChangeWorkerThread*> g_live;
bool g_reaperInstalled = false;

// At application teardown: nothing may outlive the event loop that would delete it.
void reapWorkers()
{
    std::vector<ChangeWorkerThread*> all;
    {
        std::lock_guard<std::mutex> lock(g_registryMutex);
        all.assign(g_live.begin(), g_live.end());
        g_reaperInstalled = false;
    }
    for (ChangeWorkerThread* w : all)
        w->requestStop();
    for (ChangeWorkerThread* w : all) {
        w->wait();
        delete w;
    }
}

struct HandOver {
    enum Phase { Posted, Running, Done, Abandoned };
    std::mutex mutex;
    std::condition_variable doneSignal;
    std::atomic<int> phase{Posted};
};

} // namespace

ChangeWorkerThread::ChangeWorkerThread()
{
    std::lock_guard<std::mutex> lock(g_registryMutex);
    g_live.insert(this);
    if (!g_reaperInstalled && QCoreApplication::instance()) {
        qAddPostRoutine(reapWorkers);
        g_reaperInstalled = true;
    }
}

ChangeWorkerThread::~ChangeWorkerThread()
{
    requestStop();
    wait();
    std::lock_guard<std::mutex> lock(g_registryMutex);
    g_live.erase(this);
}

int ChangeWorkerThread::liveCount()
{
    std::lock_guard<std::mutex> lock(g_registryMutex);
    return int(g_live.size());
}

void ChangeWorkerThread::disposeWhenFinished(ChangeWorkerThread* worker)
{
    if (!worker)
        return;
    worker->requestStop();
    connect(worker, &QThread::finished, worker, &QObject::deleteLater);
    if (!worker->isRunning())
        worker->deleteLater(); // never started, or already ended
}

// The report is posted and waited for on a condition that also watches the stop flag: an
// owner that stops its worker (or goes away) before the report ran never gets it, and a
// worker is never stuck behind a report that nobody will run.
bool ChangeWorkerThread::runOnUiThread(const std::function<void()>& fn)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return false;
    auto h = std::make_shared<HandOver>();
    QMetaObject::invokeMethod(
        app,
        [h, fn, this] {
            int expected = HandOver::Posted;
            if (!h->phase.compare_exchange_strong(expected, HandOver::Running))
                return; // the worker gave up waiting: it may be gone
            bool ran = false;
            if (!stopRequested()) {
                ran = true;
                fn();
            }
            {
                std::lock_guard<std::mutex> lock(h->mutex);
                h->phase = ran ? HandOver::Done : HandOver::Abandoned;
            }
            h->doneSignal.notify_all();
        },
        Qt::QueuedConnection);
    std::unique_lock<std::mutex> lock(h->mutex);
    for (;;) {
        const bool settled = h->doneSignal.wait_for(lock, std::chrono::milliseconds(100), [&] {
            const int p = h->phase.load();
            return p == HandOver::Done || p == HandOver::Abandoned;
        });
        if (settled)
            return h->phase.load() == HandOver::Done;
        if (stopRequested()) {
            int expected = HandOver::Posted;
            if (h->phase.compare_exchange_strong(expected, HandOver::Abandoned))
                return false;
        }
    }
}

// Common ground of the change workers: the stop flag read between waits, the synchronous
// hand-over of a report to the user-interface thread, and the disposal of ended workers.
#pragma once
#include <QThread>
#include <atomic>
#include <functional>

class ChangeWorkerThread : public QThread {
    Q_OBJECT
public:
    ~ChangeWorkerThread() override;

    // Asks the worker to end; it does so at its next check, never reporting again.
    void requestStop() { m_stop.store(true); }
    bool stopRequested() const { return m_stop.load(); }
    // True while the worker's notification is open.
    bool isWatching() const { return m_watching.load(); }

    // Deletes an ended or stopping worker on the user-interface thread once it has ended.
    static void disposeWhenFinished(ChangeWorkerThread* worker);
    // Workers made and not yet deleted, in the whole process.
    static int liveCount();

protected:
    ChangeWorkerThread();

    // Runs fn on the user-interface thread and waits until it has run. When a stop request
    // comes before the user-interface thread got to it, fn never runs and this returns false.
    bool runOnUiThread(const std::function<void()>& fn);
    void setWatching(bool value) { m_watching.store(value); }

private:
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_watching{false};
};

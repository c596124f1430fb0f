// The change monitor and the folder tree's one-shot change worker.
#include "fs/file_sys_monitor.h"
#include "platform/change_notification.h"
#include "platform/file_names.h"

#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>
#include <atomic>

namespace {
std::atomic<int> g_waitThreadsCreated{0};
}

quint32 notifyFilterFlags(TNotifyFilter filter)
{
    return quint32(filter.toInt());
}

// ---------------------------------------------------------------- TFileWaitThread

TFileWaitThread::TFileWaitThread(const QString& directory, bool watchSubtree, quint32 filter,
                                 TFileSysChange handler, FileSysErrorHandler onError)
    : m_directory(directory)
    , m_watchSubtree(watchSubtree)
    , m_filter(filter)
    , m_handler(std::move(handler))
    , m_onError(std::move(onError))
{
    ++g_waitThreadsCreated;
}

TFileWaitThread::~TFileWaitThread()
{
    requestStop();
    wait();
}

int TFileWaitThread::createdCount()
{
    return g_waitThreadsCreated.load();
}

void TFileWaitThread::run()
{
    if (stopRequested())
        return; // stopped before it began: nothing to watch, nothing to report
    qv::ChangeNotification notification;
    if (!notification.open(m_directory, m_watchSubtree, m_filter)) {
        fail(notification.lastError());
        return;
    }
    setWatching(true);
    while (!stopRequested()) {
        const qv::ChangeWait result = notification.wait(kTimeoutMs);
        if (result == qv::ChangeWait::Failed) {
            fail(notification.lastError());
            break;
        }
        if (result == qv::ChangeWait::Signalled) {
            runOnUiThread([this] {
                if (m_handler)
                    m_handler(this, m_directory);
            });
        }
        if (!notification.next()) {
            fail(notification.lastError());
            break;
        }
    }
    setWatching(false);
    notification.close();
}

void TFileWaitThread::fail(int code)
{
    const EFileSysMonitor error(QStringLiteral("TFileWaitThread Error, code ") + QString::number(code));
    m_failed.store(true);
    runOnUiThread([this, &error] {
        if (m_onError)
            m_onError(error);
        else
            qWarning("%s", error.what());
    });
}

// ---------------------------------------------------------------- TFileSysMonitor

TFileSysMonitor::TFileSysMonitor(QObject* owner)
    : QObject(owner)
    , m_directory(QDir::homePath())
{
}

TFileSysMonitor::~TFileSysMonitor()
{
    setActive(false);
}

void TFileSysMonitor::setMonitoredDirectory(const QString& directory)
{
    if (directory == m_directory)
        return;
    if (!qv::isFolder(directory))
        throw EFileSysMonitor(QStringLiteral("Directory does not exist!"));
    m_directory = directory;
    restart();
}

void TFileSysMonitor::setWatchSubtree(bool value)
{
    if (value == m_watchSubtree)
        return;
    m_watchSubtree = value;
    restart();
}

void TFileSysMonitor::setNotifyFilter(TNotifyFilter value)
{
    if (value == m_notifyFilter)
        return;
    m_notifyFilter = value;
    restart();
}

bool TFileSysMonitor::Watching() const
{
    return m_worker && m_worker->isWatching();
}

bool TFileSysMonitor::Active()
{
    if (!m_worker)
        m_active = false;
    return m_active;
}

void TFileSysMonitor::setActive(bool value)
{
    // A worker that failed ends (it may still be on its way out after reporting): asking for
    // the watch again starts a new one.
    if (value && m_active && m_worker && (m_worker->isFinished() || m_worker->hasFailed())) {
        ChangeWorkerThread::disposeWhenFinished(m_worker.data());
        m_worker.clear();
        m_active = false;
    }
    if (value == m_active)
        return;
    if (value) {
        auto* worker = new TFileWaitThread(m_directory, m_watchSubtree, notifyFilterFlags(m_notifyFilter),
                                           m_onFileSysChange, m_onError);
        m_worker = worker;
        worker->start();
    } else {
        ChangeWorkerThread::disposeWhenFinished(m_worker.data());
        m_worker.clear();
    }
    m_active = value;
}

void TFileSysMonitor::restart()
{
    if (!Active())
        return;
    setActive(false);
    setActive(true);
}

// ---------------------------------------------------------------- TFileChangeThread

TFileChangeThread::TFileChangeThread(const QString& path, bool watchSubtree, TNotifyFilter filter)
    : m_path(path)
    , m_watchSubtree(watchSubtree)
    , m_filter(filter)
{
    // Reported on the user-interface thread once the thread has ended.
    connect(this, &QThread::finished, this, &TFileChangeThread::ended, Qt::QueuedConnection);
    start();
}

TFileChangeThread::~TFileChangeThread()
{
    requestStop();
    wait();
}

void TFileChangeThread::run()
{
    qv::ChangeNotification notification;
    const bool opened = notification.open(m_path, m_watchSubtree, notifyFilterFlags(m_filter));
    setWatching(opened);
    for (;;) {
        qv::ChangeWait result = qv::ChangeWait::TimedOut;
        if (opened)
            result = notification.wait(kTimeoutMs);
        else
            msleep(kTimeoutMs); // nothing to watch: wait for the stop request
        if (stopRequested())
            break;
        if (result != qv::ChangeWait::TimedOut)
            break;
    }
    setWatching(false);
    notification.close();
}

void TFileChangeThread::ended()
{
    wait();
    // The stop flag is set and read on this thread, so a stop request that came before
    // this point always wins over a change, however close the two were.
    if (!stopRequested() && m_onTerminate)
        m_onTerminate(this);
    deleteLater();
}

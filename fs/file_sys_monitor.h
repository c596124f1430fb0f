// The change monitor: TFileSysMonitor with its worker TFileWaitThread (a lasting watch of one
// folder), and TFileChangeThread, the folder tree's one-shot watch.
#pragma once
#include "fs/file_sys_monitor_workers.h"
#include "platform/errors.h"

#include <QFlags>
#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>

QV_DECLARE_ERROR(EFileSysMonitor);

// Change kinds; each value is the platform flag it selects.
enum class TFileSysNotify : quint32 {
    FILE_NAME = 0x001,
    DIR_NAME = 0x002,
    ATTRIBUTES = 0x004,
    SIZE = 0x008,
    LAST_WRITE = 0x010,
    SECURITY = 0x100,
};
Q_DECLARE_FLAGS(TNotifyFilter, TFileSysNotify)
Q_DECLARE_OPERATORS_FOR_FLAGS(TNotifyFilter)

// The filter passed to the platform: the OR of the kinds' flags.
quint32 notifyFilterFlags(TNotifyFilter filter);

// Sender is the worker that saw the change; Directory the folder it watches.
using TFileSysChange = std::function<void(QObject* Sender, const QString& Directory)>;
// How a failing worker is surfaced (on the user-interface thread).
using FileSysErrorHandler = std::function<void(const EFileSysMonitor& error)>;

// Watches one folder until told to stop, handing each signalled change to the
// user-interface thread and waiting there until the handler has run.
class TFileWaitThread final : public ChangeWorkerThread {
    Q_OBJECT
public:
    static constexpr int kTimeoutMs = 100;

    // Made suspended; start() sets it going.
    TFileWaitThread(const QString& directory, bool watchSubtree, quint32 filter,
                    TFileSysChange handler, FileSysErrorHandler onError);
    ~TFileWaitThread() override;

    QString Directory() const { return m_directory; }
    // Set before the failure is reported; the worker ends right after the report.
    bool hasFailed() const { return m_failed.load(); }
    // Workers made so far in the process (each start of a monitor makes one).
    static int createdCount();

protected:
    void run() override;

private:
    void fail(int code);

    const QString m_directory;
    const bool m_watchSubtree;
    const quint32 m_filter;
    const TFileSysChange m_handler;
    const FileSysErrorHandler m_onError;
    std::atomic<bool> m_failed{false};
};

class TFileSysMonitor : public QObject {
    Q_OBJECT
public:
    explicit TFileSysMonitor(QObject* owner = nullptr);
    ~TFileSysMonitor() override;

    // Starts at the user's home folder. Throws EFileSysMonitor "Directory does not exist!"
    // for a path that is not an existing folder, keeping the old one.
    QString MonitoredDirectory() const { return m_directory; }
    void setMonitoredDirectory(const QString& directory);
    bool WatchSubtree() const { return m_watchSubtree; }
    void setWatchSubtree(bool value);
    TNotifyFilter NotifyFilter() const { return m_notifyFilter; }
    void setNotifyFilter(TNotifyFilter value);
    TFileSysChange OnFileSysChange() const { return m_onFileSysChange; }
    // Reaches workers started after this call only.
    void setOnFileSysChange(TFileSysChange handler) { m_onFileSysChange = std::move(handler); }
    // A failed worker stays held (Active reads true) until Active is set false, or set true
    // again, which starts a new one.
    bool Active();
    void setActive(bool value);
    // True once the running worker has its notification open (and until it ends).
    bool Watching() const;

    // Without a handler a worker's failure is written to the log.
    void setOnError(FileSysErrorHandler handler) { m_onError = std::move(handler); }

private:
    void restart();

    QString m_directory;
    bool m_watchSubtree = false;
    TNotifyFilter m_notifyFilter = TFileSysNotify::FILE_NAME;
    TFileSysChange m_onFileSysChange;
    FileSysErrorHandler m_onError;
    QPointer<TFileWaitThread> m_worker;
    bool m_active = false;
};

// Watches one folder until the first change and then runs its end-of-work handler on the
// user-interface thread, unless it was told to stop first. It deletes itself once it has
// ended (right after the handler), so hold it in a QPointer and forget it in the handler.
class TFileChangeThread final : public ChangeWorkerThread {
    Q_OBJECT
public:
    static constexpr int kTimeoutMs = 10;

    // Starts at once.
    TFileChangeThread(const QString& path, bool watchSubtree, TNotifyFilter filter);
    ~TFileChangeThread() override;

    void setOnTerminate(std::function<void(QObject* Sender)> handler) { m_onTerminate = std::move(handler); }
    QString Path() const { return m_path; }

protected:
    void run() override;

private:
    void ended();

    const QString m_path;
    const bool m_watchSubtree;
    const TNotifyFilter m_filter;
    std::function<void(QObject*)> m_onTerminate;
};

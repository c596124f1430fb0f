// The change monitor, the tree's one-shot worker and the pause component, on real folders
// with real threads.
#include "fs/file_sys_monitor.h"
#include "fs/file_sys_monitor_sleeper.h"
#include "support/testutil.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

using qvtest::writeFile;

namespace {

// One pass of the event loop. Tests run outside QApplication::exec, where deferred
// deletes are only delivered on request.
void pumpEvents()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QThread::msleep(1);
}

// Runs the event loop until cond holds or a generous ceiling passes.
bool waitUntil(const std::function<bool()>& cond, int ceilingMs = 10000)
{
    QDeadlineTimer deadline(ceilingMs);
    while (!cond()) {
        if (deadline.hasExpired())
            return false;
        pumpEvents();
    }
    return true;
}

// Runs the event loop for ms: long enough for a worker to have reported what it saw.
void settle(int ms)
{
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired())
        pumpEvents();
}

// Three of the monitor's waits.
constexpr int kQuiet = 3 * TFileWaitThread::kTimeoutMs;

struct Reports {
    int count = 0;
    QString directory;
    QObject* sender = nullptr;
    TFileSysChange handler()
    {
        return [this](QObject* s, const QString& dir) {
            ++count;
            directory = dir;
            sender = s;
        };
    }
};

class MonitorTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        // Every worker stopped here must be gone before the next test counts them.
        EXPECT_TRUE(waitUntil([] { return ChangeWorkerThread::liveCount() == 0; }));
    }

    bool startAndWait(TFileSysMonitor& m)
    {
        m.setActive(true);
        return waitUntil([&] { return m.Watching(); });
    }

    QTemporaryDir tmp;
};

} // namespace

TEST_F(MonitorTest, ReportsCreatedRenamedAndDeletedFilesOncePerChange)
{
    Reports r;
    TFileSysMonitor m;
    m.setMonitoredDirectory(tmp.path());
    m.setOnFileSysChange(r.handler());
    ASSERT_TRUE(startAndWait(m));

    const QDir d(tmp.path());
    writeFile(d.filePath("a.jpg"), "a");
    ASSERT_TRUE(waitUntil([&] { return r.count == 1; }));
    EXPECT_EQ(r.directory, tmp.path());
    EXPECT_NE(r.sender, &m); // the worker, not the component
    ASSERT_TRUE(QFile::rename(d.filePath("a.jpg"), d.filePath("b.jpg")));
    ASSERT_TRUE(waitUntil([&] { return r.count == 2; }));
    ASSERT_TRUE(QFile::remove(d.filePath("b.jpg")));
    ASSERT_TRUE(waitUntil([&] { return r.count == 3; }));
    settle(kQuiet);
    EXPECT_EQ(r.count, 3);
    m.setActive(false);
    EXPECT_FALSE(m.Active());
}

TEST_F(MonitorTest, ActiveTwiceStartsOneWorkerAndStoppedWorkersGo)
{
    TFileSysMonitor m;
    m.setMonitoredDirectory(tmp.path());
    const int before = TFileWaitThread::createdCount();
    m.setActive(true);
    m.setActive(true);
    EXPECT_EQ(TFileWaitThread::createdCount() - before, 1);
    EXPECT_EQ(ChangeWorkerThread::liveCount(), 1);
    EXPECT_TRUE(m.Active());
    m.setActive(false);
    EXPECT_FALSE(m.Active());
    EXPECT_TRUE(waitUntil([] { return ChangeWorkerThread::liveCount() == 0; }));
}

TEST_F(MonitorTest, RestartsOnlyWhenAPropertyReallyChanges)
{
    Reports r;
    TFileSysMonitor m;
    m.setMonitoredDirectory(tmp.path());
    m.setOnFileSysChange(r.handler());
    m.setActive(true);
    int created = TFileWaitThread::createdCount();

    m.setMonitoredDirectory(tmp.path());
    m.setWatchSubtree(false);
    m.setNotifyFilter(TFileSysNotify::FILE_NAME);
    EXPECT_EQ(TFileWaitThread::createdCount(), created);

    QDir(tmp.path()).mkdir("other");
    const QString other = tmp.filePath("other");
    m.setMonitoredDirectory(other);
    EXPECT_EQ(TFileWaitThread::createdCount(), ++created);
    m.setWatchSubtree(true);
    EXPECT_EQ(TFileWaitThread::createdCount(), ++created);
    m.setNotifyFilter(TFileSysNotify::FILE_NAME | TFileSysNotify::DIR_NAME);
    EXPECT_EQ(TFileWaitThread::createdCount(), ++created);

    // The new worker watches the new folder.
    ASSERT_TRUE(waitUntil([&] { return m.Watching(); }));
    writeFile(other + "/x.jpg", "x");
    ASSERT_TRUE(waitUntil([&] { return r.count == 1; }));
    EXPECT_EQ(r.directory, other);

    // An inactive monitor only stores the values.
    m.setActive(false);
    m.setWatchSubtree(false);
    EXPECT_EQ(TFileWaitThread::createdCount(), created);
    EXPECT_FALSE(m.Active());
}

TEST_F(MonitorTest, MissingDirectoryIsRefusedAndTheWatchGoesOn)
{
    Reports r;
    TFileSysMonitor m;
    m.setMonitoredDirectory(tmp.path());
    m.setOnFileSysChange(r.handler());
    ASSERT_TRUE(startAndWait(m));
    writeFile(tmp.filePath("plain.jpg"), "x");
    for (const QString& bad : {tmp.filePath("missing"), tmp.filePath("plain.jpg"), QString()}) {
        try {
            m.setMonitoredDirectory(bad);
            ADD_FAILURE() << "accepted " << bad.toStdString();
        } catch (const EFileSysMonitor& e) {
            EXPECT_EQ(e.message(), "Directory does not exist!");
        }
    }
    EXPECT_EQ(m.MonitoredDirectory(), tmp.path());
    EXPECT_TRUE(m.Active());
    ASSERT_TRUE(waitUntil([&] { return r.count >= 1; })); // plain.jpg was still seen
}

TEST_F(MonitorTest, SubtreeOffIgnoresSubfoldersSubtreeOnSeesThem)
{
    Reports r;
    const QDir d(tmp.path());
    ASSERT_TRUE(d.mkpath("sub"));
    TFileSysMonitor m;
    m.setMonitoredDirectory(tmp.path());
    m.setOnFileSysChange(r.handler());
    ASSERT_TRUE(startAndWait(m));
    writeFile(d.filePath("sub/deep.jpg"), "x");
    settle(kQuiet);
    EXPECT_EQ(r.count, 0);

    m.setWatchSubtree(true);
    ASSERT_TRUE(waitUntil([&] { return m.Watching(); }));
    writeFile(d.filePath("sub/deeper.jpg"), "x");
    ASSERT_TRUE(waitUntil([&] { return r.count == 1; }));
    EXPECT_EQ(r.directory, tmp.path());
}

// The main window's handler switches the monitor off first and on again at the end, so
// that what it does in between is not reported back.
TEST_F(MonitorTest, ChangeMadeWhileTheHandlerRunsIsNotReported)
{
    TFileSysMonitor m;
    m.setMonitoredDirectory(tmp.path());
    int calls = 0;
    m.setOnFileSysChange([&](QObject*, const QString& dir) {
        ++calls;
        m.setActive(false);
        writeFile(dir + QString("/made-by-handler-%1.jpg").arg(calls), "h");
        m.setActive(true);
    });
    ASSERT_TRUE(startAndWait(m));
    writeFile(tmp.filePath("outside.jpg"), "o");
    ASSERT_TRUE(waitUntil([&] { return calls == 1; }));
    settle(kQuiet);
    EXPECT_EQ(calls, 1);
    // The watch started by the handler works.
    ASSERT_TRUE(waitUntil([&] { return m.Watching(); }));
    writeFile(tmp.filePath("later.jpg"), "l");
    ASSERT_TRUE(waitUntil([&] { return calls == 2; }));
    m.setActive(false);
}

TEST_F(MonitorTest, NoReportReachesAHandlerAfterItsOwnerIsGone)
{
    int calls = 0;
    auto m = std::make_unique<TFileSysMonitor>();
    m->setMonitoredDirectory(tmp.path());
    m->setOnFileSysChange([&](QObject*, const QString&) { ++calls; });
    ASSERT_TRUE(startAndWait(*m));
    writeFile(tmp.filePath("a.jpg"), "a");
    // The worker sees the change at once and waits for the user-interface thread, which
    // destroys the monitor before it gets to the report.
    QThread::msleep(TFileWaitThread::kTimeoutMs);
    m.reset();
    settle(kQuiet);
    EXPECT_EQ(calls, 0);
}

TEST_F(MonitorTest, WorkerFailureIsReportedWithItsCodeAndTheMonitorStaysActive)
{
    Reports r;
    const QString doomed = tmp.filePath("doomed");
    ASSERT_TRUE(QDir().mkdir(doomed));
    TFileSysMonitor m;
    m.setMonitoredDirectory(doomed);
    m.setOnFileSysChange(r.handler());
    QStringList errors;
    m.setOnError([&](const EFileSysMonitor& e) { errors.append(e.message()); });
    ASSERT_TRUE(QDir().rmdir(doomed));
    m.setActive(true);
    ASSERT_TRUE(waitUntil([&] { return !errors.isEmpty(); }));
    EXPECT_EQ(errors, QStringList({"TFileWaitThread Error, code 2"}));
    EXPECT_TRUE(m.Active()); // it still holds the ended worker
    EXPECT_FALSE(m.Watching());
    EXPECT_EQ(r.count, 0);

    // Back again and asked for again: a new worker watches it. Deleted while watched, the
    // watch fails rather than going silent.
    ASSERT_TRUE(QDir().mkdir(doomed));
    ASSERT_TRUE(waitUntil([&] { return !m.Watching(); }));
    m.setActive(true);
    ASSERT_TRUE(waitUntil([&] { return m.Watching(); }));
    ASSERT_TRUE(QDir().rmdir(doomed));
    ASSERT_TRUE(waitUntil([&] { return errors.size() == 2; }));
    EXPECT_TRUE(waitUntil([&] { return !m.Watching(); }));
    m.setActive(false);
    EXPECT_FALSE(m.Active());
}

// ---------------------------------------------------------------- TFileChangeThread

TEST_F(MonitorTest, ChangeWorkerReportsTheFirstChangeOnceAndFreesItself)
{
    int calls = 0;
    QObject* sender = nullptr;
    QPointer<TFileChangeThread> t = new TFileChangeThread(tmp.path(), false, TFileSysNotify::DIR_NAME);
    t->setOnTerminate([&](QObject* s) {
        ++calls;
        sender = s;
    });
    ASSERT_TRUE(waitUntil([&] { return t && t->isWatching(); }));
    writeFile(tmp.filePath("file-is-not-a-folder.jpg"), "x");
    settle(5 * TFileChangeThread::kTimeoutMs);
    EXPECT_EQ(calls, 0);
    const TFileChangeThread* raw = t.data();
    ASSERT_TRUE(QDir(tmp.path()).mkdir("new-folder"));
    ASSERT_TRUE(waitUntil([&] { return t.isNull(); }));
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(sender, raw);
}

TEST_F(MonitorTest, StoppedChangeWorkerReportsNothing)
{
    int calls = 0;
    QPointer<TFileChangeThread> t = new TFileChangeThread(tmp.path(), false, TFileSysNotify::DIR_NAME);
    t->setOnTerminate([&](QObject*) { ++calls; });
    ASSERT_TRUE(waitUntil([&] { return t && t->isWatching(); }));
    t->requestStop();
    ASSERT_TRUE(QDir(tmp.path()).mkdir("at-the-same-moment"));
    ASSERT_TRUE(waitUntil([&] { return t.isNull(); }));
    EXPECT_EQ(calls, 0);

    // The change wins the race on the worker's side, yet the stop comes before the
    // user-interface thread runs the report: still nothing.
    t = new TFileChangeThread(tmp.path(), false, TFileSysNotify::DIR_NAME);
    t->setOnTerminate([&](QObject*) { ++calls; });
    ASSERT_TRUE(waitUntil([&] { return t && t->isWatching(); }));
    ASSERT_TRUE(QDir(tmp.path()).mkdir("first"));
    ASSERT_TRUE(t->wait(10000)); // ended, report not yet run
    t->requestStop();
    ASSERT_TRUE(waitUntil([&] { return t.isNull(); }));
    EXPECT_EQ(calls, 0);
}

TEST_F(MonitorTest, ChangeWorkerOnAMissingFolderWaitsSilentlyForItsStop)
{
    int calls = 0;
    QPointer<TFileChangeThread> t = new TFileChangeThread(tmp.filePath("missing"), false, TFileSysNotify::DIR_NAME);
    t->setOnTerminate([&](QObject*) { ++calls; });
    settle(5 * TFileChangeThread::kTimeoutMs);
    ASSERT_FALSE(t.isNull());
    EXPECT_TRUE(t->isRunning());
    t->requestStop();
    ASSERT_TRUE(waitUntil([&] { return t.isNull(); }));
    EXPECT_EQ(calls, 0);
}

// ---------------------------------------------------------------- TSleeper

TEST(Sleeper, SleepForKeepsTheInterfaceAlive)
{
    TSleeper s;
    EXPECT_EQ(s.Interval(), 1000);
    bool fired = false;
    QTimer::singleShot(10, [&] { fired = true; });
    QElapsedTimer clock;
    clock.start();
    s.SleepFor(100);
    EXPECT_GE(clock.elapsed(), 100);
    EXPECT_TRUE(fired);
    EXPECT_EQ(s.Interval(), 100);
}

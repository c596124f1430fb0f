// The change monitor, the tree's one-shot worker and the pause component, on real folders
// with real threads.
#include "fs/file_sys_monitor.h"
#include "fs/file_sys_monitor_sleeper.h"
#include "support/testutil.h"
#include "support/sample_data.h"
#include "support/waiting.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include <memory>

using qvtest::settle;
using qvtest::waitUntil;
using qvtest::writeFile;

namespace {

// Three of the monitor's waits.
constexpr int kQuiet = 3 * TFileWaitThread::kTimeoutMs;

class MonitorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m.setMonitoredDirectory(tmp.path());
        m.setOnFileSysChange([this](QObject* s, const QString& dir) {
            ++r.count;
            r.directory = dir;
            r.sender = s;
        });
    }
    void TearDown() override
    {
        m.setActive(false);
        // Every worker stopped here must be gone before the next test counts them.
        EXPECT_TRUE(waitUntil([] { return ChangeWorkerThread::liveCount() == 0; }));
    }
    bool startAndWait()
    {
        m.setActive(true);
        return waitUntil([&] { return m.Watching(); });
    }
    // A one-shot worker on the test's folder that counts its reports.
    QPointer<TFileChangeThread> changeWorker(int* calls, QObject** sender = nullptr)
    {
        QPointer<TFileChangeThread> t = new TFileChangeThread(tmp.path(), false, TFileSysNotify::DIR_NAME);
        t->setOnTerminate([=](QObject* s) {
            ++*calls;
            if (sender)
                *sender = s;
        });
        EXPECT_TRUE(waitUntil([&] { return t && t->isWatching(); }));
        return t;
    }

    QTemporaryDir tmp;
    struct {
        int count = 0;
        QString directory;
        QObject* sender = nullptr;
    } r; // what the monitor reported
    TFileSysMonitor m;
};

} // namespace

TEST_F(MonitorTest, ReportsCreatedRenamedAndDeletedFilesOncePerChange)
{
    ASSERT_TRUE(startAndWait());
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
}

TEST_F(MonitorTest, RestartsOnlyWhenAPropertyReallyChanges)
{
    int created = TFileWaitThread::createdCount();
    m.setActive(true);
    m.setActive(true);
    EXPECT_EQ(TFileWaitThread::createdCount(), ++created);
    EXPECT_EQ(ChangeWorkerThread::liveCount(), 1);
    m.setMonitoredDirectory(tmp.path());
    m.setWatchSubtree(false);
    m.setNotifyFilter(TFileSysNotify::FILE_NAME);
    EXPECT_EQ(TFileWaitThread::createdCount(), created);

    QDir(tmp.path()).mkpath("other/sub");
    const QString other = tmp.filePath("other");
    m.setMonitoredDirectory(other);
    EXPECT_EQ(TFileWaitThread::createdCount(), ++created);
    m.setNotifyFilter(TFileSysNotify::FILE_NAME | TFileSysNotify::DIR_NAME);
    EXPECT_EQ(TFileWaitThread::createdCount(), ++created);
    // Without the subtree a subfolder's change is not the folder's.
    ASSERT_TRUE(waitUntil([&] { return m.Watching(); }));
    writeFile(other + "/sub/deep.jpg", "x");
    settle(kQuiet);
    EXPECT_EQ(r.count, 0);
    m.setWatchSubtree(true);
    EXPECT_EQ(TFileWaitThread::createdCount(), ++created);

    // The new worker watches the new folder and its subfolders.
    ASSERT_TRUE(waitUntil([&] { return m.Watching(); }));
    writeFile(other + "/sub/deeper.jpg", "x");
    ASSERT_TRUE(waitUntil([&] { return r.count == 1; }));
    EXPECT_EQ(r.directory, other);

    // An inactive monitor only stores the values.
    m.setActive(false);
    EXPECT_FALSE(m.Active());
    m.setWatchSubtree(false);
    EXPECT_EQ(TFileWaitThread::createdCount(), created);
}

TEST_F(MonitorTest, MissingDirectoryIsRefusedAndTheWatchGoesOn)
{
    ASSERT_TRUE(startAndWait());
    writeFile(tmp.filePath("plain.jpg"), "x");
    for (const QString& bad : {tmp.filePath("missing"), tmp.filePath("plain.jpg"), QString()})
        EXPECT_EQ(qvtest::messageOf<EFileSysMonitor>([&] { m.setMonitoredDirectory(bad); }),
                  "Directory does not exist!");
    EXPECT_EQ(m.MonitoredDirectory(), tmp.path());
    EXPECT_TRUE(m.Active());
    ASSERT_TRUE(waitUntil([&] { return r.count >= 1; })); // plain.jpg was still seen
}

// The main window's handler switches the monitor off first and on again at the end, so
// that what it does in between is not reported back.
TEST_F(MonitorTest, ChangeMadeWhileTheHandlerRunsIsNotReported)
{
    m.setOnFileSysChange([&](QObject*, const QString& dir) {
        ++r.count;
        m.setActive(false);
        writeFile(dir + QString("/made-by-handler-%1.jpg").arg(r.count), "h");
        m.setActive(true);
    });
    ASSERT_TRUE(startAndWait());
    writeFile(tmp.filePath("outside.jpg"), "o");
    ASSERT_TRUE(waitUntil([&] { return r.count == 1; }));
    settle(kQuiet);
    EXPECT_EQ(r.count, 1);
    // The watch started by the handler works.
    ASSERT_TRUE(waitUntil([&] { return m.Watching(); }));
    writeFile(tmp.filePath("later.jpg"), "l");
    ASSERT_TRUE(waitUntil([&] { return r.count == 2; }));
}

TEST_F(MonitorTest, NoReportReachesAHandlerAfterItsOwnerIsGone)
{
    int calls = 0;
    auto owned = std::make_unique<TFileSysMonitor>();
    owned->setMonitoredDirectory(tmp.path());
    owned->setOnFileSysChange([&](QObject*, const QString&) { ++calls; });
    owned->setActive(true);
    ASSERT_TRUE(waitUntil([&] { return owned->Watching(); }));
    writeFile(tmp.filePath("a.jpg"), "a");
    // The worker sees the change at once and waits for the user-interface thread, which
    // destroys the monitor before it gets to the report.
    QThread::msleep(TFileWaitThread::kTimeoutMs);
    owned.reset();
    settle(kQuiet);
    EXPECT_EQ(calls, 0);
}

TEST_F(MonitorTest, WorkerFailureIsReportedWithItsCodeAndTheMonitorStaysActive)
{
    const QString doomed = tmp.filePath("doomed");
    ASSERT_TRUE(QDir().mkdir(doomed));
    m.setMonitoredDirectory(doomed);
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
    m.setActive(true);
    ASSERT_TRUE(waitUntil([&] { return m.Watching(); }));
    ASSERT_TRUE(QDir().rmdir(doomed));
    ASSERT_TRUE(waitUntil([&] { return errors.size() == 2; }));
    EXPECT_TRUE(waitUntil([&] { return !m.Watching(); }));
}

// ---------------------------------------------------------------- TFileChangeThread

TEST_F(MonitorTest, ChangeWorkerReportsTheFirstChangeOnceAndFreesItself)
{
    int calls = 0;
    QObject* sender = nullptr;
    QPointer<TFileChangeThread> t = changeWorker(&calls, &sender);
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
    QPointer<TFileChangeThread> t = changeWorker(&calls);
    t->requestStop();
    ASSERT_TRUE(QDir(tmp.path()).mkdir("at-the-same-moment"));
    ASSERT_TRUE(waitUntil([&] { return t.isNull(); }));

    // The change wins the race on the worker's side, yet the stop comes before the
    // user-interface thread runs the report: still nothing.
    t = changeWorker(&calls);
    ASSERT_TRUE(QDir(tmp.path()).mkdir("first"));
    ASSERT_TRUE(t->wait(10000)); // ended, report not yet run
    t->requestStop();
    ASSERT_TRUE(waitUntil([&] { return t.isNull(); }));

    // On a missing folder it waits silently for its stop.
    t = new TFileChangeThread(tmp.filePath("missing"), false, TFileSysNotify::DIR_NAME);
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
    bool fired = false;
    QTimer::singleShot(10, [&] { fired = true; });
    QElapsedTimer clock;
    clock.start();
    s.SleepFor(100);
    EXPECT_GE(clock.elapsed(), 100);
    EXPECT_TRUE(fired);
    EXPECT_EQ(s.Interval(), 100);
}

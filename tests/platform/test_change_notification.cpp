// Folder change notifications on real folders: failures to open, the signal and re-arm
// cycle, what each filter kind reacts to, and subtree watches following folders.
#include "platform/change_notification.h"
#include "support/testutil.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <sys/stat.h>
#include <utime.h>

using qv::ChangeNotification;
using qv::ChangeWait;

namespace {

// inotify queues an event before the call that caused it returns, so a short wait is
// enough to tell "signalled" from "not signalled".
constexpr int kShortWait = 50;

QByteArray enc(const QString& path)
{
    return QFile::encodeName(path);
}

// The wait after what was signalled before, if anything was.
ChangeWait waitPastSignal(ChangeNotification& n)
{
    const ChangeWait w = n.wait(kShortWait);
    if (w != ChangeWait::Signalled || !n.next())
        return w;
    return n.wait(kShortWait);
}

// Signalled, re-armed, and quiet afterwards.
bool signalledOnce(ChangeNotification& n)
{
    return n.wait(kShortWait) == ChangeWait::Signalled && n.next() && n.wait(kShortWait) == ChangeWait::TimedOut;
}

} // namespace

TEST(ChangeNotification, OpenFailsWithTheSystemErrorCode)
{
    qvtest::TempDir dir;
    qvtest::writeFile(dir.filePath("plain"), "x");
    ChangeNotification n;
    for (const auto& [name, error] : {std::pair{"missing", ENOENT}, {"plain", ENOTDIR}}) {
        EXPECT_FALSE(n.open(dir.filePath(name), false, qv::kChangeFileName));
        EXPECT_EQ(n.lastError(), error);
    }
    EXPECT_FALSE(n.isOpen());
    EXPECT_EQ(n.wait(0), ChangeWait::Failed);
    EXPECT_FALSE(n.next());
}

TEST(ChangeNotification, StaysSignalledUntilRearmedAndKeepsLaterChanges)
{
    qvtest::TempDir dir;
    ChangeNotification n;
    ASSERT_TRUE(n.open(dir.path(), false, qv::kChangeFileName));
    EXPECT_EQ(n.wait(kShortWait), ChangeWait::TimedOut);
    qvtest::writeFile(dir.filePath("a"), "1");
    EXPECT_EQ(n.wait(kShortWait), ChangeWait::Signalled);
    EXPECT_EQ(n.wait(0), ChangeWait::Signalled); // not re-armed yet
    // A change after the signal and before the re-arm is kept for the next wait.
    qvtest::writeFile(dir.filePath("b"), "2");
    ASSERT_TRUE(n.next());
    EXPECT_TRUE(signalledOnce(n));
    n.close();
    EXPECT_EQ(n.wait(0), ChangeWait::Failed);
}

TEST(ChangeNotification, EachFilterKindReactsToItsOwnChanges)
{
    using Change = std::function<bool(const QDir&)>;
    const Change create = [](const QDir& d) { return QFile(d.filePath("new")).open(QIODevice::WriteOnly); };
    const Change mkdir = [](const QDir& d) { return d.mkdir("newdir"); };
    const Change rename = [](const QDir& d) { return QFile::rename(d.filePath("f"), d.filePath("g")); };
    const Change remove = [](const QDir& d) { return QFile::remove(d.filePath("f")); };
    const Change chmod = [](const QDir& d) { return ::chmod(enc(d.filePath("f")).constData(), 0600) == 0; };
    const Change append = [](const QDir& d) {
        QFile f(d.filePath("f"));
        return f.open(QIODevice::Append) && f.write("more") == 4;
    };
    const Change touch = [](const QDir& d) {
        const utimbuf times{1000000, 1000000};
        return ::utime(enc(d.filePath("f")).constData(), &times) == 0;
    };
    const struct {
        const char* name;
        std::uint32_t filter;
        Change change;
        bool expected;
    } cases[] = {
        {"file created, file names", qv::kChangeFileName, create, true},
        {"file renamed, file names", qv::kChangeFileName, rename, true},
        {"file deleted, file names", qv::kChangeFileName, remove, true},
        {"folder created, file names", qv::kChangeFileName, mkdir, false},
        {"folder created, folder names", qv::kChangeDirName, mkdir, true},
        {"file created, folder names", qv::kChangeDirName, create, false},
        {"mode changed, attributes", qv::kChangeAttributes, chmod, true},
        {"mode changed, security", qv::kChangeSecurity, chmod, true},
        {"mode changed, file names", qv::kChangeFileName, chmod, false},
        {"appended, size", qv::kChangeSize, append, true},
        {"appended, attributes", qv::kChangeAttributes, append, false},
        {"time set, last write", qv::kChangeLastWrite, touch, true},
    };
    for (const auto& c : cases) {
        qvtest::TempDir tmp;
        const QDir dir(tmp.path());
        qvtest::writeFile(dir.filePath("f"), "content");
        ChangeNotification n;
        ASSERT_TRUE(n.open(dir.path(), false, c.filter));
        ASSERT_TRUE(c.change(dir)) << c.name;
        EXPECT_EQ(n.wait(kShortWait), c.expected ? ChangeWait::Signalled : ChangeWait::TimedOut) << c.name;
    }
}

TEST(ChangeNotification, SubtreeFollowsFoldersThatComeAndGo)
{
    qvtest::TempDir tmp;
    const QDir root(tmp.path() + "/root");
    ASSERT_TRUE(QDir().mkpath(root.filePath("old/inner")));
    ASSERT_TRUE(QDir().mkpath(tmp.path() + "/outside"));
    ASSERT_TRUE(QDir().mkpath(tmp.path() + "/staging/sub"));
    qvtest::writeFile(tmp.path() + "/staging/sub/picture.jpg", "jpg");
    {
        ChangeNotification flat;
        ASSERT_TRUE(flat.open(root.path(), false, qv::kChangeFileName));
        EXPECT_EQ(flat.watchedFolderCount(), 1);
        qvtest::writeFile(root.filePath("old/inner/x"), "x");
        EXPECT_EQ(flat.wait(kShortWait), ChangeWait::TimedOut);
    }
    ChangeNotification n;
    ASSERT_TRUE(n.open(root.path(), true, qv::kChangeFileName));
    EXPECT_EQ(n.watchedFolderCount(), 3);
    qvtest::writeFile(root.filePath("old/inner/y"), "y");
    EXPECT_TRUE(signalledOnce(n));

    // A new folder and one inside it: the watch follows (the folders alone are not file changes).
    ASSERT_TRUE(root.mkdir("new"));
    ASSERT_TRUE(root.mkdir("new/deeper"));
    EXPECT_EQ(n.wait(kShortWait), ChangeWait::TimedOut);
    EXPECT_EQ(n.watchedFolderCount(), 5);
    qvtest::writeFile(root.filePath("new/deeper/z"), "z");
    EXPECT_TRUE(signalledOnce(n));

    // A folder moved out of the tree is no longer watched.
    ASSERT_TRUE(QDir().rename(root.filePath("old"), tmp.path() + "/outside/old"));
    EXPECT_EQ(n.wait(kShortWait), ChangeWait::TimedOut);
    EXPECT_EQ(n.watchedFolderCount(), 3);
    qvtest::writeFile(tmp.path() + "/outside/old/inner/w", "w");
    EXPECT_EQ(n.wait(kShortWait), ChangeWait::TimedOut);

    // A folder that arrives with content is a change, and is watched from then on.
    ASSERT_TRUE(QDir().rename(tmp.path() + "/staging", root.filePath("staging")));
    EXPECT_EQ(n.wait(kShortWait), ChangeWait::Signalled);
    ASSERT_TRUE(n.next());
    qvtest::writeFile(root.filePath("staging/sub/second.jpg"), "jpg");
    EXPECT_EQ(n.wait(kShortWait), ChangeWait::Signalled);
}

// The watched folder itself deleted or moved away: whatever the filter, the watch does not
// go silent; after what was seen before, every wait fails.
TEST(ChangeNotification, DeletedRootFailsTheWait)
{
    qvtest::TempDir tmp;
    const QString folder = tmp.path() + "/watched";
    const std::function<void()> ways[] = {
        [&] { ASSERT_TRUE(QDir(folder).removeRecursively()); },
        [&] { ASSERT_TRUE(QDir().rename(folder, tmp.path() + "/elsewhere")); },
    };
    for (const std::uint32_t filter : {qv::kChangeFileName, qv::kChangeDirName, qv::kChangeLastWrite}) {
        for (const auto& away : ways) {
            QDir(tmp.path() + "/elsewhere").removeRecursively();
            ASSERT_TRUE(QDir().mkpath(folder));
            qvtest::writeFile(folder + "/a.jpg", "a");
            ChangeNotification n;
            ASSERT_TRUE(n.open(folder, false, filter));
            away();
            EXPECT_EQ(waitPastSignal(n), ChangeWait::Failed) << filter;
            EXPECT_EQ(n.lastError(), ENOENT);
            EXPECT_EQ(n.wait(kShortWait), ChangeWait::Failed);
        }
    }
}

// A subtree larger than the system's watch limit is refused, and a folder that arrives
// beyond it fails the wait: never a silently partial watch. Runs under a lowered limit.
TEST(ChangeNotification, SubtreeBeyondTheWatchLimitIsReported)
{
    QString skip;
    if (!qvtest::inOwnNamespace({"-U", "-r"}, "echo 6 > /proc/sys/user/max_inotify_watches", &skip)) {
        if (!skip.isEmpty())
            GTEST_SKIP() << skip.toStdString();
        return;
    }
    qvtest::TempDir tmp;
    const QString root = tmp.path() + "/root";
    for (int i = 0; i < 4; ++i)
        ASSERT_TRUE(QDir().mkpath(QString("%1/f%2").arg(root).arg(i)));
    ChangeNotification n;
    ASSERT_TRUE(n.open(root, true, qv::kChangeFileName));
    EXPECT_EQ(n.watchedFolderCount(), 5);
    ASSERT_TRUE(QDir().mkpath(tmp.path() + "/staging/a/b/c"));
    ASSERT_TRUE(QDir().rename(tmp.path() + "/staging", root + "/staging"));
    EXPECT_EQ(waitPastSignal(n), ChangeWait::Failed);
    EXPECT_EQ(n.lastError(), ENOSPC);

    n.close();
    ChangeNotification whole;
    EXPECT_FALSE(whole.open(root, true, qv::kChangeFileName));
    EXPECT_EQ(whole.lastError(), ENOSPC);
}

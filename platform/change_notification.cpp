// Folder change notifications on inotify: one inotify instance per handle, one watch per
// folder, the events read in bulk and sorted into "a wanted change happened" or upkeep.
#include "platform/change_notification.h"
#include "platform/file_names.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>
#include <vector>

namespace qv {

namespace {

constexpr std::uint32_t kNameEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO;
constexpr std::uint32_t kSelfEvents = IN_DELETE_SELF | IN_MOVE_SELF;

// Whether one event is a change of a kind in filter. Events about a watched folder itself
// (no name) only count when they are name events.
bool eventMatches(std::uint32_t filter, std::uint32_t mask, bool named)
{
    if (mask & kNameEvents)
        return (mask & IN_ISDIR) ? (filter & kChangeDirName) : (filter & kChangeFileName);
    if (!named)
        return false;
    if ((mask & IN_ATTRIB) && (filter & (kChangeAttributes | kChangeSecurity | kChangeLastWrite)))
        return true;
    if ((mask & IN_MODIFY) && (filter & (kChangeSize | kChangeLastWrite)))
        return true;
    return false;
}

bool isDirectoryEntry(const QByteArray& parent, const dirent* e, bool* isLink)
{
    *isLink = e->d_type == DT_LNK;
    if (e->d_type == DT_DIR)
        return true;
    if (e->d_type != DT_UNKNOWN)
        return false;
    struct stat st;
    const QByteArray path = parent + '/' + e->d_name;
    if (::lstat(path.constData(), &st) != 0)
        return false;
    *isLink = S_ISLNK(st.st_mode);
    return S_ISDIR(st.st_mode);
}

} // namespace

std::uint32_t ChangeNotification::inotifyMask(std::uint32_t filter)
{
    std::uint32_t mask = 0;
    if (filter & (kChangeFileName | kChangeDirName))
        mask |= kNameEvents;
    if (filter & (kChangeAttributes | kChangeSecurity))
        mask |= IN_ATTRIB;
    if (filter & kChangeSize)
        mask |= IN_MODIFY;
    if (filter & kChangeLastWrite)
        mask |= IN_MODIFY | IN_ATTRIB; // a write, or a time stamp set by hand
    return mask;
}

struct ChangeNotification::Impl {
    int fd = -1;
    int rootWd = -1;
    bool subtree = false;
    std::uint32_t filter = 0;
    std::uint32_t mask = 0;
    bool signalled = false;
    int error = 0;
    int lostError = 0; // why the watch can no longer see what it was asked to: every wait fails
    QByteArray rootPath;
    std::unordered_map<int, QByteArray> folders; // watch descriptor -> folder path

    // Watches path and every folder below it. Returns the change kinds of the entries
    // found, so that a folder that appeared with content already in it is not missed.
    std::uint32_t watchTree(const QByteArray& path)
    {
        std::uint32_t found = 0;
        std::vector<QByteArray> pending{path};
        while (!pending.empty()) {
            const QByteArray dir = std::move(pending.back());
            pending.pop_back();
            const int wd = ::inotify_add_watch(fd, dir.constData(),
                                               mask | IN_ONLYDIR | IN_DONT_FOLLOW);
            if (wd < 0) {
                if (errno == ENOSPC || errno == ENOMEM) { // out of watches: the subtree is not whole
                    lostError = errno;
                    return found;
                }
                continue; // gone meanwhile, or not a folder after all
            }
            folders[wd] = dir;
            DIR* d = ::opendir(dir.constData());
            if (!d)
                continue;
            while (const dirent* e = ::readdir(d)) {
                if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0)
                    continue;
                bool isLink = false;
                if (isDirectoryEntry(dir, e, &isLink) && !isLink) {
                    found |= kChangeDirName;
                    pending.push_back(dir + '/' + e->d_name);
                } else {
                    found |= kChangeFileName;
                }
            }
            ::closedir(d);
        }
        return found;
    }

    // Drops the watches of path and of every folder below it (it left the tree).
    void forgetTree(const QByteArray& path)
    {
        const QByteArray prefix = path + '/';
        for (auto it = folders.begin(); it != folders.end();) {
            if (it->first != rootWd && (it->second == path || it->second.startsWith(prefix))) {
                ::inotify_rm_watch(fd, it->first);
                it = folders.erase(it);
            } else {
                ++it;
            }
        }
    }

    // Handles one event; true when it is a change the caller asked for.
    bool handle(const inotify_event& ev, const char* name)
    {
        if (ev.mask & IN_Q_OVERFLOW) {
            if (subtree && rootWd >= 0)
                watchTree(rootPath); // catch up with folders we may have missed
            return true;
        }
        const auto it = folders.find(ev.wd);
        if (it == folders.end())
            return false; // left over from a watch already dropped
        if (ev.mask & IN_IGNORED) {
            const bool root = ev.wd == rootWd;
            folders.erase(it);
            if (root) {
                rootWd = -1;
                lostError = ENOENT; // deleted, or its file system unmounted
            }
            return false;
        }
        if (ev.mask & kSelfEvents) { // the watched folder itself went away or was renamed
            if (ev.wd == rootWd)
                lostError = ENOENT; // its path names nothing we watch any more
            return false;
        }
        const bool named = ev.len > 0 && name[0] != '\0';
        bool matched = eventMatches(filter, ev.mask, named);
        if (subtree && named && (ev.mask & IN_ISDIR)) {
            const QByteArray child = it->second + '/' + name;
            if (ev.mask & (IN_MOVED_FROM | IN_DELETE))
                forgetTree(child);
            if (ev.mask & (IN_CREATE | IN_MOVED_TO)) {
                if (watchTree(child) & filter & (kChangeFileName | kChangeDirName))
                    matched = true;
            }
        }
        return matched;
    }

    // Reads every queued event. -1 on a read failure, else 1 when a wanted change was seen.
    int drain()
    {
        alignas(inotify_event) char buf[64 * 1024];
        int matched = 0;
        for (;;) {
            const ssize_t n = ::read(fd, buf, sizeof buf);
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                if (errno == EAGAIN || errno == EWOULDBLOCK)
                    return matched;
                error = errno;
                return -1;
            }
            if (n == 0)
                return matched;
            std::size_t off = 0;
            while (off + sizeof(inotify_event) <= std::size_t(n)) {
                inotify_event ev;
                std::memcpy(&ev, buf + off, sizeof ev);
                const std::size_t next = off + sizeof(inotify_event) + ev.len;
                if (next > std::size_t(n))
                    break;
                char name[NAME_MAX + 1] = {};
                if (ev.len > 0)
                    std::memcpy(name, buf + off + sizeof(inotify_event),
                                std::min<std::size_t>(ev.len, NAME_MAX));
                if (handle(ev, name))
                    matched = 1;
                off = next;
            }
        }
    }
};

ChangeNotification::ChangeNotification()
    : d(std::make_unique<Impl>())
{
}

ChangeNotification::~ChangeNotification()
{
    close();
}

bool ChangeNotification::open(const QString& folder, bool watchSubtree, std::uint32_t filter)
{
    close();
    d->fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (d->fd < 0) {
        d->error = errno;
        return false;
    }
    d->subtree = watchSubtree;
    d->filter = filter;
    d->mask = inotifyMask(filter) | kSelfEvents;
    if (watchSubtree)
        d->mask |= kNameEvents; // to follow folders that come and go
    d->rootPath = encodeFileName(folder);
    while (d->rootPath.size() > 1 && d->rootPath.endsWith('/'))
        d->rootPath.chop(1);
    d->rootWd = ::inotify_add_watch(d->fd, d->rootPath.constData(), d->mask | IN_ONLYDIR);
    if (d->rootWd < 0) {
        const int e = errno;
        close();
        d->error = e;
        return false;
    }
    d->folders[d->rootWd] = d->rootPath;
    if (watchSubtree) {
        // The root's own watch stays as it is; its subfolders get theirs.
        d->lostError = 0;
        DIR* dir = ::opendir(d->rootPath.constData());
        if (dir) {
            std::vector<QByteArray> children;
            while (const dirent* e = ::readdir(dir)) {
                if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0)
                    continue;
                bool isLink = false;
                if (isDirectoryEntry(d->rootPath, e, &isLink) && !isLink)
                    children.push_back(d->rootPath + '/' + e->d_name);
            }
            ::closedir(dir);
            for (const QByteArray& c : children)
                d->watchTree(c);
        }
        if (d->lostError) {
            const int e = d->lostError;
            close();
            d->error = e;
            return false;
        }
    }
    d->error = 0;
    return true;
}

bool ChangeNotification::isOpen() const
{
    return d->fd >= 0;
}

ChangeWait ChangeNotification::wait(int timeoutMs)
{
    if (d->fd < 0) {
        d->error = EBADF;
        return ChangeWait::Failed;
    }
    if (d->signalled)
        return ChangeWait::Signalled;
    if (d->lostError) {
        d->error = d->lostError;
        return ChangeWait::Failed;
    }
    QDeadlineTimer deadline(std::max(timeoutMs, 0));
    for (;;) {
        pollfd p{d->fd, POLLIN, 0};
        const int r = ::poll(&p, 1, int(deadline.remainingTime()));
        if (r < 0) {
            if (errno == EINTR)
                continue;
            d->error = errno;
            return ChangeWait::Failed;
        }
        if (r == 0)
            return ChangeWait::TimedOut;
        if (p.revents & (POLLERR | POLLNVAL)) {
            d->error = EIO;
            return ChangeWait::Failed;
        }
        const int drained = d->drain();
        if (drained < 0)
            return ChangeWait::Failed;
        if (drained > 0) {
            d->signalled = true; // what changed before the loss is still reported, once
            return ChangeWait::Signalled;
        }
        if (d->lostError) {
            d->error = d->lostError;
            return ChangeWait::Failed;
        }
        if (deadline.hasExpired())
            return ChangeWait::TimedOut;
    }
}

bool ChangeNotification::next()
{
    if (d->fd < 0) {
        d->error = EBADF;
        return false;
    }
    d->signalled = false;
    return true;
}

void ChangeNotification::close()
{
    if (d->fd >= 0)
        ::close(d->fd);
    d->fd = -1;
    d->rootWd = -1;
    d->signalled = false;
    d->lostError = 0;
    d->folders.clear();
}

int ChangeNotification::lastError() const
{
    return d->error;
}

int ChangeNotification::watchedFolderCount() const
{
    return int(d->folders.size());
}

} // namespace qv

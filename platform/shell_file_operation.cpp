// The shell-style file operation: copy, move, delete (to the freedesktop trash with undo)
// and rename over the names of zero-separated lists.
#include "platform/shell_file_operation.h"
#include "platform/file_names.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStandardPaths>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace qv {

namespace {

constexpr std::size_t kChunk = 1 << 20;
constexpr int kReported = -1; // a failure already reported to the user

constexpr qsizetype kMaxNameBytes = 255;

QByteArray enc(const QString& path)
{
    return encodeFileName(path);
}

bool isAbsolute(const QString& path)
{
    return path.startsWith(QLatin1Char('/'));
}

QString absolute(const QString& path)
{
    return QDir::cleanPath(path);
}

QString folderOf(const QString& path)
{
    return QFileInfo(path).absolutePath();
}

QString nameOf(const QString& path)
{
    return QFileInfo(path).fileName();
}

// What lstat says about a path.
struct Node {
    bool exists = false;
    bool isDir = false; // a real folder, not a link to one
    bool isLink = false;
    dev_t dev = 0;
    ino_t ino = 0;
    mode_t mode = 0;
    off_t size = 0;
    timespec mtime{};
};

Node nodeOf(const struct stat& st)
{
    return {true, S_ISDIR(st.st_mode), S_ISLNK(st.st_mode), st.st_dev, st.st_ino, st.st_mode, st.st_size, st.st_mtim};
}

Node lookAt(const QString& path)
{
    struct stat st;
    if (::lstat(enc(path).constData(), &st) != 0)
        return {};
    return nodeOf(st);
}

// Whether path still names exactly what was copied: the same inode, untouched since.
bool unchangedSince(const QString& path, const Node& copied)
{
    const Node now = lookAt(path);
    return now.exists && now.dev == copied.dev && now.ino == copied.ino && now.mode == copied.mode
        && now.size == copied.size && now.mtime.tv_sec == copied.mtime.tv_sec
        && now.mtime.tv_nsec == copied.mtime.tv_nsec;
}

bool sameNode(const Node& a, const Node& b)
{
    return a.exists && b.exists && a.dev == b.dev && a.ino == b.ino;
}

ShellProblem problemFor(int err)
{
    switch (err) {
    case ENOENT:
    case ENOTDIR:
        return ShellProblem::NotFound;
    case EACCES:
    case EPERM:
    case EROFS:
    case ETXTBSY:
        return ShellProblem::AccessDenied;
    case EEXIST:
    case ENOTEMPTY:
    case EISDIR:
        return ShellProblem::Exists;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return ShellProblem::NoSpace;
    default:
        return ShellProblem::Other;
    }
}

int codeFor(ShellProblem p)
{
    switch (p) {
    case ShellProblem::NotFound: return kShellErrorFileNotFound;
    case ShellProblem::AccessDenied: return kShellErrorAccessDenied;
    case ShellProblem::Exists: return kShellErrorFileExists;
    case ShellProblem::DestinationInSource: return kShellErrorDestinationInSource;
    case ShellProblem::NoSpace: return kShellErrorDiskFull;
    case ShellProblem::NotTrashed:
    case ShellProblem::ChangedDuringMove:
    case ShellProblem::Incomplete:
    case ShellProblem::Other: break;
    }
    return kShellErrorOther;
}

int renameReplacing(const QString& from, const QString& to)
{
    return ::rename(enc(from).constData(), enc(to).constData()) == 0 ? 0 : errno;
}

ssize_t readSome(int fd, char* buf, std::size_t n, off_t* at = nullptr)
{
    for (;;) {
        const ssize_t r = at ? ::pread(fd, buf, n, *at) : ::read(fd, buf, n);
        if (r >= 0 || errno != EINTR)
            return r;
    }
}

int writeAll(int fd, const char* buf, std::size_t n)
{
    while (n > 0) {
        const ssize_t w = ::write(fd, buf, n);
        if (w < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (w == 0)
            return EIO;
        buf += w;
        n -= std::size_t(w);
    }
    return 0;
}

// A temporary file beside a destination; removed unless it was renamed into place.
class TempFile {
public:
    ~TempFile()
    {
        closeFd();
        if (!m_path.isEmpty())
            ::unlink(m_path.constData());
    }
    int create(const QString& folder)
    {
        for (int tries = 0; tries < 100; ++tries) {
            const QString name = QStringLiteral(".qvcopy-%1.part")
                                     .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
            const QByteArray path = enc(QDir(folder).filePath(name));
            m_fd = ::open(path.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
            if (m_fd >= 0) {
                m_path = path;
                return 0;
            }
            if (errno != EEXIST)
                return errno;
        }
        return EEXIST;
    }
    int fd() const { return m_fd; }
    QString path() const { return QFile::decodeName(m_path); }
    int closeFd()
    {
        if (m_fd < 0)
            return 0;
        const int r = ::close(m_fd);
        m_fd = -1;
        return r == 0 ? 0 : errno;
    }
    void release() { m_path.clear(); }

private:
    int m_fd = -1;
    QByteArray m_path;
};

struct FdCloser {
    int fd;
    ~FdCloser()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

// Deletes a folder and everything in it; false when anything stayed.
bool removeTree(const QString& folder)
{
    QList<FolderEntry> entries;
    bool complete = listFolder(folder, &entries);
    for (const FolderEntry& e : entries) {
        const QString path = QDir(folder).filePath(e.name);
        if (e.type == FolderEntry::Folder && !e.link)
            complete = removeTree(path) && complete;
        else if (::unlink(enc(path).constData()) != 0)
            complete = false;
    }
    return ::rmdir(enc(folder).constData()) == 0 && complete;
}

// The home trash as desktops lay it out (files/ and info/*.trashinfo), for names that are not
// valid UTF-8 (Qt's own trash cannot spell them). Only on the home trash's file system; elsewhere it refuses.
int moveToHomeTrash(const QString& path)
{
    const QString trash = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
        + QStringLiteral("/Trash");
    if (const int e = makeFolderPath(trash + QStringLiteral("/files")))
        return e;
    if (const int e = makeFolderPath(trash + QStringLiteral("/info")))
        return e;
    const QString name = nameOf(path);
    for (int n = 1; n < 10000; ++n) {
        const QString entry = n == 1 ? name : QStringLiteral("%1.%2").arg(name).arg(n);
        const QByteArray info = enc(trash + QStringLiteral("/info/") + entry + QStringLiteral(".trashinfo"));
        const int fd = ::open(info.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return errno;
        }
        const QByteArray text = "[Trash Info]\nPath=" + enc(path).toPercentEncoding("/") + "\nDeletionDate="
            + QDateTime::currentDateTime().toString(Qt::ISODate).toLatin1() + "\n";
        const int written = writeAll(fd, text.constData(), std::size_t(text.size()));
        ::close(fd);
        int e = written ? written : renameNoReplace(path, trash + QStringLiteral("/files/") + entry);
        if (e == EEXIST) {
            ::unlink(info.constData());
            continue;
        }
        if (e)
            ::unlink(info.constData());
        return e;
    }
    return EEXIST;
}

// Answers every question without a user: go ahead, but never replace anything.
class NoInteraction : public ShellFileInteraction {
public:
    void begin(QObject*, unsigned, const QString&, bool, bool) override {}
    void end() override {}
    bool confirmDelete(const QStringList&, bool) override { return true; }
    bool confirmMakeDir(const QString&) override { return true; }
    ShellAnswer askReplace(const QString&, const QString&, bool, bool) override
    {
        return ShellAnswer::NoToAll;
    }
    bool reportError(const QString&, ShellProblem, const QString&, bool) override { return true; }
    bool progress(const ShellProgress&) override { return true; }
};

struct Source {
    QString path;
    bool fromWildcard = false;
    int nameIndex = 0; // which name of the list it came from
};

// Nothing the user owns is put at risk: a copy is written to a temporary name beside its
// destination and renamed into place only when complete, a move across file systems
// removes its source only after the copy has been read back, and a delete with undo
// that the trash refuses leaves the item where it is.
class Runner {
public:
    Runner(ShellFileOp& op, ShellFileInteraction& ui)
        : m_op(op), m_ui(ui), m_flags(op.flags)
    {
    }

    int run()
    {
        m_op.anyOperationsAborted = false;
        const unsigned fn = m_op.function;
        if (fn < kFoMove || fn > kFoRename)
            return kShellErrorBadFunction;
        const QStringList names = splitZeroList(m_op.from);
        if (names.isEmpty())
            return kShellErrorInvalidFiles;
        const QStringList tos = splitZeroList(m_op.to);
        // Nothing is resolved against the working folder: it is no part of what the user chose.
        const auto relative = [](const QString& n) { return !isAbsolute(n); };
        if (std::any_of(names.cbegin(), names.cend(), relative)
            || (fn != kFoRename && std::any_of(tos.cbegin(), tos.cend(), relative)))
            return kShellErrorInvalidFiles;
        m_showProgress = !flag(kFofSilent);
        m_simple = flag(kFofSimpleProgress);
        m_ui.begin(m_op.window, fn, m_op.progressTitle, m_showProgress, m_simple);
        switch (fn) {
        case kFoDelete: runDelete(expand(names)); break;
        case kFoRename: runRename(names, tos); break;
        default: runTransfer(expand(names), names.size(), tos, fn == kFoMove); break;
        }
        m_ui.end();
        m_op.anyOperationsAborted = m_cancelled || m_skipped;
        return m_cancelled ? kShellErrorCancelled : m_result;
    }

private:
    enum class Decision { Replace, Rename, Skip, Cancel };

    bool flag(std::uint16_t f) const { return (m_flags & f) != 0; }
    bool moreToCome() const { return m_item + 1 < m_itemCount; }

    // Reports one failure; false when the user cancels the rest.
    bool fail(const QString& path, ShellProblem problem, const QString& detail = {})
    {
        m_result = codeFor(problem);
        if (!m_ui.reportError(path, problem, detail, moreToCome())) {
            m_cancelled = true;
            return false;
        }
        return true;
    }

    bool failErrno(const QString& path, int err)
    {
        return fail(path, problemFor(err), qt_error_string(err));
    }

    ShellProgress progressAt(qint64 done, qint64 total) const
    {
        ShellProgress p;
        p.item = m_item;
        p.itemCount = m_itemCount;
        if (!m_simple) {
            p.from = m_from;
            p.to = m_to;
        }
        p.bytesDone = done;
        p.bytesTotal = total;
        return p;
    }

    // Progress before an item; false (and cancelled) when the user stopped.
    bool step(int index, const QString& from, const QString& to)
    {
        m_item = index;
        m_from = from;
        m_to = to;
        if (m_showProgress && !m_ui.progress(progressAt(0, 0)))
            m_cancelled = true;
        return !m_cancelled;
    }

    bool copyProgress(qint64 done, qint64 total)
    {
        return !m_showProgress || m_ui.progress(progressAt(done, total));
    }

    // Asked for patterns, names with "*" or "?" in their last part that name nothing as they
    // are stand for the entries they match ("*.*" for every entry).
    QList<Source> expand(const QStringList& names) const
    {
        QList<Source> out;
        for (int k = 0; k < names.size(); ++k) {
            const QString path = absolute(names[k]);
            QString pattern = nameOf(path);
            const bool wild = m_op.namePatterns
                && (pattern.contains(QLatin1Char('*')) || pattern.contains(QLatin1Char('?')));
            if (!wild || lookAt(path).exists) {
                out.append({path, false, k});
                continue;
            }
            if (pattern == QLatin1String("*.*"))
                pattern = QStringLiteral("*");
            const QRegularExpression match(QRegularExpression::wildcardToRegularExpression(pattern));
            QList<FolderEntry> entries;
            listFolder(folderOf(path), &entries);
            QStringList found;
            for (const FolderEntry& e : entries) {
                const bool folder = e.type == FolderEntry::Folder;
                if ((folder && flag(kFofFilesOnly)) || (e.link && folder))
                    continue;
                if (match.match(e.name).hasMatch())
                    found.append(e.name);
            }
            std::sort(found.begin(), found.end());
            if (found.isEmpty())
                out.append({path, false, k}); // reported as missing
            for (const QString& f : found)
                out.append({QDir(folderOf(path)).filePath(f), true, k});
        }
        return out;
    }

    Decision collide(const QString& source, const QString& existing, bool folders)
    {
        if (flag(kFofRenameOnCollision))
            return Decision::Rename;
        if (flag(kFofNoConfirmation) || m_replaceAll)
            return Decision::Replace;
        if (m_skipAll)
            return Decision::Skip;
        switch (m_ui.askReplace(source, existing, folders, moreToCome())) {
        case ShellAnswer::YesToAll: m_replaceAll = true; return Decision::Replace;
        case ShellAnswer::Yes: return Decision::Replace;
        case ShellAnswer::NoToAll: m_skipAll = true; return Decision::Skip;
        case ShellAnswer::No: return Decision::Skip;
        case ShellAnswer::Cancel: break;
        }
        return Decision::Cancel;
    }

    // Makes a missing destination folder, asking first unless told not to.
    bool ensureFolder(const QString& folder)
    {
        if (isFolder(folder))
            return true;
        if (!flag(kFofNoConfirmMkDir) && !flag(kFofNoConfirmation) && !m_ui.confirmMakeDir(folder)) {
            m_cancelled = true;
            return false;
        }
        if (const int e = makeFolderPath(folder)) {
            failErrno(folder, e);
            return false;
        }
        return true;
    }

    // Qt's trash for names it can spell, our own for the rest.
    static QString trashItem(const QString& path)
    {
        if (QFile::encodeName(path) == enc(path)) {
            QFile f(path);
            return f.moveToTrash() ? QString() : f.errorString();
        }
        const int e = moveToHomeTrash(path);
        return e ? qt_error_string(e) : QString();
    }

    void runDelete(const QList<Source>& sources)
    {
        QStringList paths;
        for (const Source& s : sources)
            paths.append(s.path);
        m_itemCount = int(paths.size());
        const bool toTrash = flag(kFofAllowUndo);
        if (!flag(kFofNoConfirmation) && !m_ui.confirmDelete(paths, toTrash)) {
            m_cancelled = true;
            return;
        }
        if (toTrash) {
            // The home trash lives in the user's data folder, which a fresh account may lack.
            const QString dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
            if (!dataHome.isEmpty() && !QFileInfo::exists(dataHome) && QDir().mkpath(dataHome))
                QFile::setPermissions(dataHome, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
        for (int i = 0; i < paths.size(); ++i) {
            const QString& p = paths[i];
            if (!step(i, p, {}))
                return;
            const Node node = lookAt(p);
            bool goOn = true;
            if (!node.exists) {
                goOn = fail(p, ShellProblem::NotFound);
            } else if (toTrash) {
                if (const QString why = trashItem(p); !why.isEmpty())
                    goOn = fail(p, ShellProblem::NotTrashed, why);
            } else if (node.isDir) {
                if (!removeTree(p))
                    goOn = fail(p, ShellProblem::AccessDenied);
            } else if (::unlink(enc(p).constData()) != 0) {
                goOn = failErrno(p, errno);
            }
            if (!goOn)
                return;
        }
    }

    void runRename(const QStringList& names, const QStringList& tos)
    {
        if (tos.size() < names.size()) {
            m_result = kShellErrorInvalidFiles;
            return;
        }
        m_itemCount = int(names.size());
        for (int i = 0; i < names.size(); ++i) {
            const QString src = absolute(names[i]);
            // A bare new name stays in the file's folder.
            const QString target = QDir::cleanPath(QDir(folderOf(src)).absoluteFilePath(tos[i]));
            if (!step(i, src, target))
                return;
            const Node s = lookAt(src);
            const Node t = lookAt(target);
            bool goOn = true;
            if (!s.exists) {
                goOn = fail(src, ShellProblem::NotFound);
            } else if (src == target) {
                continue;
            } else if (t.exists && !sameNode(s, t)) {
                goOn = fail(target, ShellProblem::Exists); // a rename never replaces
            } else {
                // The same node under another spelling: a case change on a case-blind volume.
                const int e = t.exists ? renameReplacing(src, target) : renameNoReplace(src, target);
                if (e)
                    goOn = failErrno(src, e);
            }
            if (!goOn)
                return;
        }
    }

    struct Job {
        QString from;
        QString to;
        QString folder; // made first when missing
    };

    // Whether a job would put a folder inside itself.
    static bool intoItself(const Job& job)
    {
        if (!lookAt(job.from).isDir)
            return false;
        const QString from = resolvedPath(job.from), to = resolvedPath(job.to);
        return to != from && isInsideFolder(to, from);
    }

    void runTransfer(const QList<Source>& sources, qsizetype nameCount, const QStringList& tos,
                     bool move)
    {
        if (tos.isEmpty() || (flag(kFofMultiDestFiles) && tos.size() < nameCount)) {
            m_result = kShellErrorInvalidFiles;
            return;
        }
        QList<Job> jobs;
        if (flag(kFofMultiDestFiles)) {
            for (const Source& s : sources) {
                const QString dest = absolute(tos[s.nameIndex]);
                if (s.fromWildcard || isFolder(dest))
                    jobs.append({s.path, QDir(dest).filePath(nameOf(s.path)), dest});
                else
                    jobs.append({s.path, dest, folderOf(dest)});
            }
        } else {
            const QString dest = absolute(tos[0]);
            // A destination written with a final "/" is a folder, made when missing: a single
            // file never takes its name.
            const bool single = sources.size() == 1 && !sources[0].fromWildcard
                && !tos[0].endsWith(QLatin1Char('/'));
            if (!isFolder(dest) && single) {
                jobs.append({sources[0].path, dest, folderOf(dest)});
            } else {
                if (lookAt(dest).exists && !isFolder(dest)) {
                    m_itemCount = 1;
                    fail(dest, ShellProblem::Exists);
                    return;
                }
                for (const Source& s : sources)
                    jobs.append({s.path, QDir(dest).filePath(nameOf(s.path)), dest});
            }
        }
        m_itemCount = int(jobs.size());
        // Refused before anything is made for it.
        for (qsizetype i = 0; i < jobs.size();) {
            if (!intoItself(jobs[i])) {
                ++i;
                continue;
            }
            m_item = int(i);
            if (!fail(jobs[i].from, ShellProblem::DestinationInSource))
                return;
            jobs.removeAt(i);
        }
        m_itemCount = int(jobs.size());
        for (int i = 0; i < jobs.size(); ++i) {
            if (!step(i, jobs[i].from, jobs[i].to))
                return;
            if (!ensureFolder(jobs[i].folder))
                return;
            transfer(jobs[i].from, jobs[i].to, move);
            if (m_cancelled)
                return;
        }
    }

    // Copies or moves one item to target, settling a collision first.
    void transfer(const QString& src, QString target, bool move)
    {
        const Node s = lookAt(src);
        if (!s.exists || nameOf(src).isEmpty()) {
            fail(src, ShellProblem::NotFound);
            return;
        }
        for (int attempt = 0; attempt < 100; ++attempt) {
            const Node t = lookAt(target);
            if (sameNode(s, t)) {
                if (move)
                    return; // already where it should go
                target = freeNameInFolder(folderOf(target), nameOf(target)); // a copy beside itself
                if (target.isEmpty())
                    break;
                continue;
            }
            if (intoItself({src, target, {}})) {
                fail(src, ShellProblem::DestinationInSource);
                return;
            }
            bool replace = false;
            if (t.exists) {
                switch (collide(src, target, s.isDir && t.isDir)) {
                case Decision::Rename:
                    target = freeNameInFolder(folderOf(target), nameOf(target));
                    if (target.isEmpty()) {
                        fail(src, ShellProblem::Exists);
                        return;
                    }
                    continue;
                case Decision::Skip:
                    m_skipped = true;
                    return;
                case Decision::Cancel:
                    m_cancelled = true;
                    return;
                case Decision::Replace:
                    if (s.isDir != t.isDir) { // a file never replaces a folder, nor the reverse
                        fail(target, ShellProblem::Exists);
                        return;
                    }
                    replace = true;
                    break;
                }
            }
            const int e = move ? moveItem(src, s, target, replace) : copyItem(src, s, target, replace, nullptr);
            if (e == EEXIST && !replace)
                continue; // the name was taken meanwhile: decide again
            if (e == ECANCELED)
                m_cancelled = true;
            else if (e != 0 && e != kReported)
                failErrno(src, e);
            return;
        }
        fail(src, ShellProblem::Exists);
    }

    // What a move across file systems copied, as it was when copied, so that exactly that
    // is removed afterwards.
    struct Copied {
        QString path;
        Node node;
    };
    using CopiedList = std::vector<Copied>;

    int moveItem(const QString& src, const Node& s, const QString& target, bool replace)
    {
        if (!replace) {
            const int e = renameNoReplace(src, target);
            return e == EXDEV ? moveAcross(src, s, target, false) : e;
        }
        if (s.isDir)
            return mergeMove(src, target) ? 0 : kReported;
        const int e = renameReplacing(src, target);
        return e == EXDEV ? moveAcross(src, s, target, true) : e;
    }

    // With `copied` (a move) every item copied is noted there, read back and synced.
    int copyItem(const QString& src, const Node& s, const QString& target, bool replace, CopiedList* copied)
    {
        if (!s.isDir)
            return copyFile(src, target, replace, copied);
        if (!replace && ::mkdir(enc(target).constData(), 0700) != 0)
            return errno;
        if (copied)
            copied->push_back({src, s});
        return copyTreeInto(src, target, copied) ? 0 : (m_cancelled ? ECANCELED : kReported);
    }

    // A move between file systems: copy, read the copy back, and only then remove the source,
    // and of it only what was copied and has not changed since.
    int moveAcross(const QString& src, const Node& s, const QString& target, bool replace)
    {
        CopiedList copied;
        int e = 0;
        if (s.isLink) {
            e = copyLink(src, target, replace);
            if (e == 0)
                copied.push_back({src, s});
        } else {
            e = copyItem(src, s, target, replace, &copied);
        }
        return e ? e : removeCopied(copied);
    }

    // Deepest first. A file another program replaced or wrote meanwhile stays, and so does a
    // folder that gained entries; each is reported once.
    int removeCopied(const CopiedList& copied)
    {
        QStringList kept;
        const auto keep = [&](const QString& path, ShellProblem why, const QString& detail = {}) {
            kept.append(path);
            return fail(path, why, detail);
        };
        for (auto it = copied.rbegin(); it != copied.rend(); ++it) {
            const QByteArray path = enc(it->path);
            bool goOn = true;
            if (it->node.isDir) {
                if (::rmdir(path.constData()) == 0)
                    continue;
                const int err = errno;
                const bool keptInside = std::any_of(kept.cbegin(), kept.cend(), [&](const QString& k) {
                    return isInsideFolder(k, it->path);
                });
                if (keptInside)
                    kept.append(it->path);
                else if (err == ENOTEMPTY || err == EEXIST)
                    goOn = keep(it->path, ShellProblem::ChangedDuringMove);
                else
                    goOn = keep(it->path, problemFor(err), qt_error_string(err));
            } else if (!unchangedSince(it->path, it->node)) {
                goOn = keep(it->path, ShellProblem::ChangedDuringMove);
            } else if (::unlink(path.constData()) != 0) {
                const int err = errno;
                goOn = keep(it->path, problemFor(err), qt_error_string(err));
            }
            if (!goOn)
                return ECANCELED;
        }
        return kept.isEmpty() ? 0 : kReported;
    }

    // The entries of a folder, or a report that it cannot be read whole.
    bool entriesOf(const QString& folder, QList<FolderEntry>* entries)
    {
        int err = 0;
        if (listFolder(folder, entries, &err))
            return true;
        fail(folder, ShellProblem::Incomplete, qt_error_string(err));
        return false;
    }

    // The files of one folder into another on the same volume; "replace" was answered
    // for the folder, so files inside are replaced without asking again.
    bool mergeMove(const QString& srcDir, const QString& targetDir)
    {
        QList<FolderEntry> entries;
        if (!entriesOf(srcDir, &entries))
            return false;
        bool complete = true;
        for (const FolderEntry& entry : entries) {
            if (m_cancelled)
                return false;
            const QString from = QDir(srcDir).filePath(entry.name);
            const QString to = QDir(targetDir).filePath(entry.name);
            const Node cs = lookAt(from), cd = lookAt(to);
            int e = 0;
            if (!cd.exists) {
                e = renameNoReplace(from, to);
                if (e == EXDEV)
                    e = moveAcross(from, cs, to, false);
            } else if (cs.isDir && cd.isDir) {
                complete = mergeMove(from, to) && complete;
                continue;
            } else if (cs.isDir != cd.isDir) {
                e = EEXIST;
            } else {
                e = renameReplacing(from, to);
                if (e == EXDEV)
                    e = moveAcross(from, cs, to, true);
            }
            if (e == ECANCELED) {
                m_cancelled = true;
                return false;
            }
            if (e) {
                complete = false;
                if (e != kReported && !failErrno(from, e))
                    return false;
            }
        }
        if (complete)
            ::rmdir(enc(srcDir).constData());
        return complete;
    }

    // Copies the content of srcDir into the existing folder targetDir, replacing files of
    // the same name. False when anything was left out (already reported) or cancelled.
    bool copyTreeInto(const QString& srcDir, const QString& targetDir, CopiedList* copied)
    {
        QList<FolderEntry> entries;
        if (!entriesOf(srcDir, &entries))
            return false;
        bool complete = true;
        for (const FolderEntry& entry : entries) {
            if (m_cancelled)
                return false;
            const QString from = QDir(srcDir).filePath(entry.name);
            const QString to = QDir(targetDir).filePath(entry.name);
            const Node cs = lookAt(from), cd = lookAt(to);
            int e = 0;
            if (cs.isDir) {
                if (cd.exists && !cd.isDir) {
                    e = EEXIST;
                } else if (!cd.exists && ::mkdir(enc(to).constData(), 0700) != 0) {
                    e = errno;
                } else {
                    if (copied)
                        copied->push_back({from, cs});
                    if (!copyTreeInto(from, to, copied))
                        e = m_cancelled ? ECANCELED : kReported;
                }
            } else if (cd.isDir) {
                e = EEXIST;
            } else if (cs.isLink) {
                e = copyLink(from, to, cd.exists);
                if (e == 0 && copied)
                    copied->push_back({from, cs});
            } else {
                e = copyFile(from, to, cd.exists, copied);
            }
            if (e == ECANCELED) {
                m_cancelled = true;
                return false;
            }
            if (e) {
                complete = false;
                if (e != kReported && !failErrno(from, e))
                    return false;
            }
        }
        struct stat st;
        if (::stat(enc(srcDir).constData(), &st) == 0)
            ::chmod(enc(targetDir).constData(), st.st_mode & 07777);
        return complete;
    }

    // A symbolic link is copied as a link with the same text.
    int copyLink(const QString& src, const QString& target, bool replace)
    {
        char buf[4096];
        const ssize_t n = ::readlink(enc(src).constData(), buf, sizeof buf - 1);
        if (n < 0)
            return errno;
        buf[n] = '\0';
        if (!replace)
            return ::symlink(buf, enc(target).constData()) == 0 ? 0 : errno;
        TempFile placeholder; // reserve a free temporary name, then put the link there
        if (const int e = placeholder.create(folderOf(target)))
            return e;
        const QString tmp = placeholder.path();
        placeholder.closeFd();
        ::unlink(enc(tmp).constData());
        if (::symlink(buf, enc(tmp).constData()) != 0)
            return errno;
        const int e = renameReplacing(tmp, target);
        if (e == 0)
            placeholder.release();
        return e;
    }

    // Copies one regular file to target through a temporary file in target's folder. For a
    // move (`copied` given) the copy is read back and compared before it takes the name, and
    // its folder is synced before the caller may remove the source.
    int copyFile(const QString& src, const QString& target, bool replace, CopiedList* copied)
    {
        // Non-blocking so that a pipe cannot hold the open; regular files ignore the flag.
        const int in = ::open(enc(src).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (in < 0)
            return errno;
        FdCloser inCloser{in};
        struct stat st;
        if (::fstat(in, &st) != 0)
            return errno;
        if (!S_ISREG(st.st_mode))
            return EINVAL; // devices and pipes are not copied
        TempFile tmp;
        if (const int e = tmp.create(folderOf(target)))
            return e;
        std::vector<char> buf(kChunk);
        qint64 done = 0;
        for (;;) {
            const ssize_t n = readSome(in, buf.data(), buf.size());
            if (n < 0)
                return errno;
            if (n == 0)
                break;
            if (const int e = writeAll(tmp.fd(), buf.data(), std::size_t(n)))
                return e;
            done += n;
            if (!copyProgress(done, st.st_size))
                return ECANCELED;
        }
        ::fchmod(tmp.fd(), st.st_mode & 07777);
        const timespec times[2] = {st.st_atim, st.st_mtim};
        ::futimens(tmp.fd(), times);
        if (::fsync(tmp.fd()) != 0)
            return errno;
        if (copied) {
            if (const int e = sameContent(in, tmp.fd(), done))
                return e;
        }
        if (const int e = tmp.closeFd())
            return e;
        const int e = replace ? renameReplacing(tmp.path(), target) : renameNoReplace(tmp.path(), target);
        if (e)
            return e;
        tmp.release();
        if (copied) {
            if (const int s = syncFolder(folderOf(target)))
                return s;
            copied->push_back({src, nodeOf(st)});
        }
        return 0;
    }

    // Compares the first `size` bytes of two open files and that the source has no more.
    static int sameContent(int a, int b, qint64 size)
    {
        struct stat st;
        if (::fstat(a, &st) != 0)
            return errno;
        if (st.st_size != size)
            return EIO; // the source changed while it was copied
        std::vector<char> x(kChunk), y(kChunk);
        off_t at = 0;
        while (at < size) {
            const std::size_t want = std::size_t(std::min<qint64>(qint64(kChunk), size - at));
            off_t atB = at;
            const ssize_t n = readSome(a, x.data(), want, &at);
            const ssize_t m = readSome(b, y.data(), want, &atB);
            if (n < 0 || m < 0)
                return errno;
            if (n == 0 || n != m || std::memcmp(x.data(), y.data(), std::size_t(n)) != 0)
                return EIO;
            at += n;
        }
        return 0;
    }

    ShellFileOp& m_op;
    ShellFileInteraction& m_ui;
    std::uint16_t m_flags;
    bool m_showProgress = true;
    bool m_simple = false;
    int m_item = 0;
    int m_itemCount = 0;
    QString m_from;
    QString m_to;
    bool m_cancelled = false;
    bool m_skipped = false;
    bool m_replaceAll = false;
    bool m_skipAll = false;
    int m_result = 0;
};

} // namespace

QStringList splitZeroList(const QString& list)
{
    QStringList names;
    qsizetype start = 0;
    while (start < list.size()) {
        qsizetype end = list.indexOf(QChar(0), start);
        if (end < 0)
            end = list.size();
        if (end == start)
            break; // the empty name ends the list
        names.append(list.mid(start, end - start));
        start = end + 1;
    }
    return names;
}

QString freeNameInFolder(const QString& folder, const QString& fileName)
{
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    const QString base = dot > 0 ? fileName.left(dot) : fileName;
    const QString ext = dot > 0 ? fileName.mid(dot) : QString();
    const QDir dir(folder);
    for (int n = 2; n < 100000; ++n) {
        const QString tail = QStringLiteral(" (%1)").arg(n) + ext;
        QString stem = base;
        // Near the name limit the stem gives way, never splitting a character.
        while (!stem.isEmpty() && enc(stem + tail).size() > kMaxNameBytes)
            stem.chop(stem.size() >= 2 && stem.back().isLowSurrogate() && stem.at(stem.size() - 2).isHighSurrogate() ? 2 : 1);
        if (stem.isEmpty())
            return {};
        const QString candidate = dir.filePath(stem + tail);
        if (!lookAt(candidate).exists)
            return candidate;
    }
    return {};
}

int shellFileOperation(ShellFileOp& op, ShellFileInteraction* interaction)
{
    NoInteraction none;
    Runner runner(op, interaction ? *interaction : none);
    return runner.run();
}

} // namespace qv

// Lossless file-name conversion, folder listing on bytes, and the renames and folder
// operations that the file operation and the folder tree share.
#include "platform/file_names.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qv {

namespace {

constexpr char16_t kEscapeBase = 0xDC00; // a byte b >= 0x80 kept as U+DC00 + b

bool isEscape(const QString& s, qsizetype i)
{
    const char16_t c = s.at(i).unicode();
    if (c < kEscapeBase + 0x80 || c > kEscapeBase + 0xFF)
        return false;
    return i == 0 || !s.at(i - 1).isHighSurrogate(); // the low half of a real pair is no escape
}

// Length of the valid UTF-8 sequence at p (at most n bytes), 0 when it is not one.
int utf8Length(const unsigned char* p, qsizetype n, char32_t* code)
{
    const unsigned c = p[0];
    int len = 0;
    char32_t cp = 0, least = 0;
    if ((c & 0xE0) == 0xC0) {
        len = 2; cp = c & 0x1F; least = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
        len = 3; cp = c & 0x0F; least = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
        len = 4; cp = c & 0x07; least = 0x10000;
    } else {
        return 0;
    }
    if (n < len)
        return 0;
    for (int k = 1; k < len; ++k) {
        if ((p[k] & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (p[k] & 0x3F);
    }
    if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0; // overlong, out of range, or an encoded surrogate
    *code = cp;
    return len;
}

FolderEntry::Type typeOf(mode_t mode)
{
    if (S_ISREG(mode))
        return FolderEntry::File;
    return S_ISDIR(mode) ? FolderEntry::Folder : FolderEntry::Other;
}

} // namespace

QString decodeFileName(const QByteArray& bytes)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    const qsizetype n = bytes.size();
    QString out;
    out.reserve(n);
    for (qsizetype i = 0; i < n;) {
        if (p[i] < 0x80) {
            out += QChar(char16_t(p[i++]));
            continue;
        }
        char32_t cp = 0;
        const int len = utf8Length(p + i, n - i, &cp);
        if (len == 0) {
            out += QChar(char16_t(kEscapeBase + p[i++]));
            continue;
        }
        if (QChar::requiresSurrogates(cp)) {
            out += QChar(QChar::highSurrogate(cp));
            out += QChar(QChar::lowSurrogate(cp));
        } else {
            out += QChar(char16_t(cp));
        }
        i += len;
    }
    return out;
}

QByteArray encodeFileName(const QString& name)
{
    QByteArray out;
    qsizetype runStart = 0;
    for (qsizetype i = 0; i < name.size(); ++i) {
        if (!isEscape(name, i))
            continue;
        out += QStringView(name).mid(runStart, i - runStart).toUtf8();
        out += char(name.at(i).unicode() - kEscapeBase);
        runStart = i + 1;
    }
    out += QStringView(name).mid(runStart).toUtf8();
    return out;
}

QString displayFileName(const QString& name)
{
    QString out = name;
    for (qsizetype i = 0; i < out.size(); ++i)
        if (isEscape(name, i))
            out[i] = QChar::ReplacementCharacter;
    return out;
}

bool listFolder(const QString& folder, QList<FolderEntry>* entries, int* error)
{
    entries->clear();
    const QByteArray dirPath = encodeFileName(folder);
    DIR* dir = ::opendir(dirPath.constData());
    if (!dir) {
        if (error)
            *error = errno;
        return false;
    }
    const int fd = ::dirfd(dir);
    bool complete = true;
    for (;;) {
        errno = 0;
        const dirent* e = ::readdir(dir);
        if (!e) {
            if (errno != 0) {
                complete = false;
                if (error)
                    *error = errno;
            }
            break;
        }
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0)
            continue;
        FolderEntry entry;
        entry.name = decodeFileName(QByteArray(e->d_name));
        entry.link = e->d_type == DT_LNK;
        if (e->d_type == DT_REG) {
            entry.type = FolderEntry::File;
        } else if (e->d_type == DT_DIR) {
            entry.type = FolderEntry::Folder;
        } else {
            struct stat st;
            if (::fstatat(fd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0) {
                entry.link = S_ISLNK(st.st_mode);
                if (entry.link && ::fstatat(fd, e->d_name, &st, 0) != 0)
                    st.st_mode = 0; // dangling
                entry.type = typeOf(st.st_mode);
            }
        }
        entries->append(entry);
    }
    ::closedir(dir);
    return complete;
}

bool isInsideFolder(const QString& path, const QString& folder)
{
    if (folder == QLatin1String("/"))
        return path.startsWith(QLatin1Char('/'));
    return path == folder || (path.startsWith(folder) && path.at(folder.size()) == QLatin1Char('/'));
}

bool pathExists(const QString& path)
{
    struct stat st;
    return ::lstat(encodeFileName(path).constData(), &st) == 0;
}

bool isFolder(const QString& path)
{
    struct stat st;
    return ::stat(encodeFileName(path).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

QString resolvedPath(const QString& path)
{
    QString head = path, tail;
    for (;;) {
        if (char* real = ::realpath(encodeFileName(head).constData(), nullptr)) {
            const QString r = decodeFileName(QByteArray(real));
            std::free(real);
            return r == QLatin1String("/") && !tail.isEmpty() ? tail : r + tail;
        }
        const qsizetype slash = head.lastIndexOf(QLatin1Char('/'));
        if (slash < 0 || head == QLatin1String("/"))
            return path;
        tail = head.mid(slash) + tail;
        head = slash == 0 ? QStringLiteral("/") : head.left(slash);
    }
}

int makeFolderPath(const QString& folder)
{
    if (isFolder(folder))
        return 0;
    const qsizetype slash = folder.lastIndexOf(QLatin1Char('/'));
    if (slash > 0) {
        if (const int e = makeFolderPath(folder.left(slash)))
            return e;
    }
    if (::mkdir(encodeFileName(folder).constData(), 0777) == 0 || (errno == EEXIST && isFolder(folder)))
        return 0;
    return errno;
}

int renameNoReplace(const QString& from, const QString& to)
{
    const QByteArray f = encodeFileName(from), t = encodeFileName(to);
    if (::renameat2(AT_FDCWD, f.constData(), AT_FDCWD, t.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP)
        return errno;
    // A file system without the flag: a hard link cannot replace either.
    struct stat st;
    if (::lstat(f.constData(), &st) == 0 && !S_ISDIR(st.st_mode)) {
        if (::link(f.constData(), t.constData()) == 0) {
            ::unlink(f.constData());
            return 0;
        }
        if (errno == EEXIST || errno == EXDEV || errno == ENOENT)
            return errno;
    }
    // Last resort (folders, or no hard links either): look, then rename.
    if (::lstat(t.constData(), &st) == 0)
        return EEXIST;
    return ::rename(f.constData(), t.constData()) == 0 ? 0 : errno;
}

int syncFolder(const QString& folder)
{
    const int fd = ::open(encodeFileName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    const int r = ::fsync(fd) == 0 ? 0 : errno;
    ::close(fd);
    return r == EINVAL ? 0 : r; // some file systems cannot sync a folder; nothing to wait for
}

} // namespace qv

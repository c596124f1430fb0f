// The namespace's folders over the file system: the desktop, the computer and file-system
// folders, with listing, names, attributes, ordering, renaming and path parsing.
#include "platform/shell_namespace.h"
#include "platform/file_names.h"

#include <QCollator>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStorageInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qv {

namespace {

constexpr qsizetype kMaxPathChars = 4096;
constexpr qsizetype kMaxNameBytes = 255;

// Where a list leads. `via` is the kind of folder the last item was found in: a file-system
// folder reached from the desktop or the computer is one of their anchors.
struct Location {
    enum Kind { Invalid, Desktop, Computer, FileSystem };
    Kind kind = Invalid;
    QString path;
    Kind via = Invalid;
    bool valid() const { return kind != Invalid; }
};

// An item's bytes are its name on disk; its text keeps bytes that are not UTF-8 (see file_names.h).
QString decodeItem(const QByteArray& item) { return decodeFileName(item); }
QByteArray encodeItem(const QString& name) { return encodeFileName(name); }

QString joinPath(const QString& folder, const QString& name)
{
    return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}

QString homeFolder() { return QDir::cleanPath(QDir::homePath()); }

// The desktop folder when it exists and is not the home folder itself.
QString desktopFolder()
{
    const QString d = QDir::cleanPath(QStandardPaths::writableLocation(QStandardPaths::DesktopLocation));
    if (d.isEmpty() || d == homeFolder() || !QFileInfo(d).isDir())
        return {};
    return d;
}

Location childOf(const Location& base, const QByteArray& item)
{
    if (item.isEmpty() || item.contains('\0'))
        return {};
    const QString name = decodeItem(item);
    switch (base.kind) {
    case Location::Desktop:
        if (item == kComputerItemName)
            return {Location::Computer, {}, Location::Desktop};
        if (name.startsWith(QLatin1Char('/')))
            return {Location::FileSystem, QDir::cleanPath(name), Location::Desktop};
        return {};
    case Location::Computer:
        if (name.startsWith(QLatin1Char('/')))
            return {Location::FileSystem, QDir::cleanPath(name), Location::Computer};
        return {};
    case Location::FileSystem:
        if (name.contains(QLatin1Char('/')) || name == QLatin1String(".") || name == QLatin1String(".."))
            return {};
        return {Location::FileSystem, joinPath(base.path, name), Location::FileSystem};
    case Location::Invalid:
        break;
    }
    return {};
}

Location resolve(Location at, const ItemIDList* list)
{
    for (const ItemIDList* p = list; at.valid() && !IsEmptyIDList(p); p = NextItem(p))
        at = childOf(at, FirstItemBytes(p));
    return at;
}

// The list without its last item, and that item.
QList<QByteArray> splitLast(const ItemIDList* list, QByteArray* last)
{
    QList<QByteArray> items = IDListItems(list);
    *last = items.isEmpty() ? QByteArray() : items.takeLast();
    return items;
}

bool existsNoFollow(const QString& path) { return pathExists(path); }
bool isDirectory(const QString& path) { return isFolder(path); }
bool isWritable(const QString& path) { return ::access(encodeFileName(path).constData(), W_OK) == 0; }

// True at the first subfolder found (hidden ones count too).
bool hasSubfolder(const QString& path)
{
    const QByteArray dir = encodeFileName(path);
    DIR* d = ::opendir(dir.constData());
    if (!d)
        return false;
    bool found = false;
    while (!found) {
        const dirent* e = ::readdir(d);
        if (!e)
            break;
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0)
            continue;
        if (e->d_type == DT_DIR) {
            found = true;
        } else if (e->d_type == DT_LNK || e->d_type == DT_UNKNOWN) {
            struct stat st;
            const QByteArray child = dir + '/' + e->d_name;
            found = ::stat(child.constData(), &st) == 0 && S_ISDIR(st.st_mode);
        }
    }
    ::closedir(d);
    return found;
}

bool isNetworkType(const QByteArray& type)
{
    static const char* const kinds[] = {"nfs", "nfs4", "cifs", "smb3", "smbfs", "fuse.sshfs", "9p", "afs"};
    for (const char* k : kinds)
        if (type == k)
            return true;
    return false;
}

QCollator& nameCollator()
{
    thread_local QCollator collator = [] {
        // The C locale would order by code points alone, capitals first and "10" before "9".
        QLocale locale;
        if (locale.language() == QLocale::C)
            locale = QLocale(QLocale::English, QLocale::UnitedStates);
        QCollator c{locale};
        c.setCaseSensitivity(Qt::CaseInsensitive);
        c.setNumericMode(true);
        return c;
    }();
    return collator;
}

int sign(int v) { return v < 0 ? -1 : (v > 0 ? 1 : 0); }

// Collated names, then their bytes: two different items never compare equal.
int compareNames(const QString& a, const QString& b, const QByteArray& ra, const QByteArray& rb)
{
    if (const int c = sign(nameCollator().compare(a, b)))
        return c;
    return ra < rb ? -1 : (rb < ra ? 1 : 0);
}

QString anchorName(const Location& at)
{
    if (at.path == QLatin1String("/"))
        return QStringLiteral("/");
    if (at.via == Location::Computer) {
        const QString label = QStorageInfo(at.path).name();
        if (!label.isEmpty() && QStorageInfo(at.path).rootPath() == at.path)
            return label;
    }
    const QString name = QFileInfo(at.path).fileName();
    return displayFileName(name.isEmpty() ? at.path : name);
}

QString displayName(const Location& at)
{
    switch (at.kind) {
    case Location::Desktop:
        return QStringLiteral("Desktop");
    case Location::Computer:
        return QStringLiteral("Computer");
    case Location::FileSystem:
        return at.via == Location::FileSystem ? displayFileName(QFileInfo(at.path).fileName()) : anchorName(at);
    case Location::Invalid:
        break;
    }
    return {};
}

int compareItems(const Location& context, const QByteArray& a, const QByteArray& b)
{
    switch (context.kind) {
    case Location::Desktop: {
        const QString home = homeFolder();
        const QString desk = desktopFolder();
        auto rank = [&](const QByteArray& item) {
            if (item == kComputerItemName)
                return 3;
            const QString p = QDir::cleanPath(decodeItem(item));
            return p == home ? 0 : (p == desk ? 1 : 2);
        };
        if (const int r = rank(a) - rank(b))
            return sign(r);
        return compareNames(decodeItem(a), decodeItem(b), a, b);
    }
    case Location::Computer: {
        const bool ra = a == "/", rb = b == "/";
        if (ra != rb)
            return ra ? -1 : 1;
        return compareNames(displayName(childOf(context, a)), displayName(childOf(context, b)), a, b);
    }
    case Location::FileSystem: {
        const bool da = isDirectory(joinPath(context.path, decodeItem(a)));
        const bool db = isDirectory(joinPath(context.path, decodeItem(b)));
        if (da != db)
            return da ? -1 : 1;
        return compareNames(decodeItem(a), decodeItem(b), a, b);
    }
    case Location::Invalid:
        break;
    }
    return a < b ? -1 : (b < a ? 1 : 0);
}

std::uint32_t attributesOf(const Location& at, std::uint32_t mask)
{
    switch (at.kind) {
    case Location::Desktop:
    case Location::Computer:
        return mask & (kSfgaoFolder | kSfgaoHasSubfolder | kSfgaoFileSysAncestor | kSfgaoHasPropSheet);
    case Location::FileSystem:
        break;
    case Location::Invalid:
        return 0;
    }
    // On the name's bytes: a name that is not UTF-8 is an item like any other.
    const QFileInfo fi(at.path); // for the name parts only
    struct stat st;
    const bool link = ::lstat(encodeFileName(at.path).constData(), &st) == 0 && S_ISLNK(st.st_mode);
    const bool writable = isWritable(at.path);
    std::uint32_t a = kSfgaoFileSystem | kSfgaoHasPropSheet | kSfgaoCanCopy | kSfgaoCanLink;
    if (isDirectory(at.path)) {
        a |= kSfgaoFolder | kSfgaoFileSysAncestor;
        if (writable)
            a |= kSfgaoDropTarget;
        if ((mask & kSfgaoHasSubfolder) && hasSubfolder(at.path))
            a |= kSfgaoHasSubfolder;
    }
    if (link)
        a |= kSfgaoLink;
    if (fi.fileName().startsWith(QLatin1Char('.')))
        a |= kSfgaoGhosted;
    if (!writable)
        a |= kSfgaoReadOnly;
    // Items inside a writable folder can be renamed; the anchors of the desktop and the
    // computer cannot.
    if (at.via == Location::FileSystem && isWritable(fi.absolutePath()))
        a |= kSfgaoCanRename | kSfgaoCanMove | kSfgaoCanDelete;
    if (at.via == Location::Computer && isNetworkType(QStorageInfo(at.path).fileSystemType()))
        a |= kSfgaoShare;
    return a & mask;
}

class ItemList final : public IEnumIDList {
public:
    explicit ItemList(QList<QByteArray> items) : m_items(std::move(items)) {}
    ShellResult Next(ItemIDList** item) override
    {
        if (!item)
            return EINVAL;
        *item = nullptr;
        if (m_next >= m_items.size())
            return kShellFalse;
        *item = MakeIDList({m_items.at(m_next++)});
        return *item ? kShellOk : ENOMEM;
    }

private:
    QList<QByteArray> m_items;
    qsizetype m_next = 0;
};

QStringList pathComponents(const QString& relative)
{
    return relative.split(QLatin1Char('/'), Qt::SkipEmptyParts);
}

ShellResult makeList(const QList<QByteArray>& items, ItemIDList** list)
{
    *list = MakeIDList(items);
    return *list ? kShellOk : ENAMETOOLONG;
}

class NamespaceFolder final : public IShellFolder {
public:
    explicit NamespaceFolder(Location at) : m_at(std::move(at)) {}

    ShellResult ParseDisplayName(const QString& name, ItemIDList** list) override
    {
        if (!list)
            return EINVAL;
        *list = nullptr;
        if (name.isEmpty())
            return EINVAL;
        if (name.size() > kMaxPathChars)
            return ENAMETOOLONG;
        QList<QByteArray> items;
        QString full;
        if (name.startsWith(QLatin1Char('/'))) {
            full = QDir::cleanPath(name);
            if (!anchorItems(full, &items))
                return ENOENT;
        } else {
            if (m_at.kind != Location::FileSystem)
                return EINVAL;
            const QString relative = QDir::cleanPath(name);
            if (relative == QLatin1String("..") || relative.startsWith(QLatin1String("../")))
                return EINVAL;
            full = QDir::cleanPath(joinPath(m_at.path, relative));
            if (relative != QLatin1String("."))
                for (const QString& c : pathComponents(relative))
                    items.append(encodeItem(c));
        }
        if (!existsNoFollow(full))
            return ENOENT;
        return makeList(items, list);
    }

    ShellResult EnumObjects(std::uint32_t flags, std::unique_ptr<IEnumIDList>* items) override
    {
        if (!items)
            return EINVAL;
        QList<QByteArray> names;
        const bool folders = flags & kShcontfFolders;
        switch (m_at.kind) {
        case Location::Desktop:
            if (folders) {
                if (isDirectory(homeFolder()))
                    names.append(encodeItem(homeFolder()));
                if (const QString d = desktopFolder(); !d.isEmpty())
                    names.append(encodeItem(d));
                names.append(QByteArray(kComputerItemName));
            }
            break;
        case Location::Computer:
            if (folders)
                for (const ShellVolume& v : shellVolumes())
                    names.append(encodeItem(v.rootPath));
            break;
        case Location::FileSystem: {
            if (!isDirectory(m_at.path))
                return existsNoFollow(m_at.path) ? ENOTDIR : ENOENT;
            const bool files = flags & kShcontfNonFolders;
            if (!folders && !files)
                break;
            // On bytes, so that a name that is not UTF-8 is listed too.
            QList<FolderEntry> entries;
            int err = 0;
            if (!listFolder(m_at.path, &entries, &err) && entries.isEmpty())
                return err;
            for (const FolderEntry& e : entries) {
                if (e.name.startsWith(QLatin1Char('.')) && !(flags & kShcontfIncludeHidden))
                    continue;
                if ((e.type == FolderEntry::Folder && folders) || (e.type == FolderEntry::File && files))
                    names.append(encodeItem(e.name));
            }
            break;
        }
        case Location::Invalid:
            return EINVAL;
        }
        *items = std::make_unique<ItemList>(std::move(names));
        return kShellOk;
    }

    ShellResult BindToObject(const ItemIDList* item, std::shared_ptr<IShellFolder>* folder) override
    {
        if (!folder || IsEmptyIDList(item))
            return EINVAL;
        const Location at = resolve(m_at, item);
        if (!at.valid())
            return EINVAL;
        if (at.kind == Location::FileSystem && !isDirectory(at.path))
            return existsNoFollow(at.path) ? ENOTDIR : ENOENT;
        *folder = std::make_shared<NamespaceFolder>(at);
        return kShellOk;
    }

    int CompareIDs(std::uint32_t, const ItemIDList* a, const ItemIDList* b) override
    {
        Location context = m_at;
        for (;;) {
            const bool ea = IsEmptyIDList(a), eb = IsEmptyIDList(b);
            if (ea || eb)
                return ea == eb ? 0 : (ea ? -1 : 1);
            const QByteArray ia = FirstItemBytes(a), ib = FirstItemBytes(b);
            if (ia != ib)
                return compareItems(context, ia, ib);
            context = childOf(context, ia);
            a = NextItem(a);
            b = NextItem(b);
        }
    }

    ShellResult GetAttributesOf(const ItemIDList* item, std::uint32_t* attributes) override
    {
        if (!attributes)
            return EINVAL;
        const Location at = resolve(m_at, item);
        if (!at.valid())
            return EINVAL;
        if (at.kind == Location::FileSystem && !existsNoFollow(at.path))
            return ENOENT;
        *attributes = attributesOf(at, *attributes);
        return kShellOk;
    }

    ShellResult GetDisplayNameOf(const ItemIDList* item, std::uint32_t, QString* name) override
    {
        if (!name)
            return EINVAL;
        const Location at = resolve(m_at, item);
        if (!at.valid())
            return EINVAL;
        *name = displayName(at);
        return kShellOk;
    }

    ShellResult SetNameOf(const ItemIDList* item, const QString& name, std::uint32_t,
                          ItemIDList** newItem) override
    {
        if (!newItem)
            return EINVAL;
        *newItem = nullptr;
        QByteArray last;
        QList<QByteArray> items = splitLast(item, &last);
        UniqueIDList prefix(MakeIDList(items));
        const Location folder = resolve(m_at, prefix.get());
        if (last.isEmpty() || folder.kind != Location::FileSystem)
            return EPERM; // the desktop's and the computer's items keep their names
        const QByteArray encoded = encodeItem(name);
        if (name.isEmpty() || name.contains(QLatin1Char('/')) || encoded.contains('\0')
            || name == QLatin1String(".") || name == QLatin1String(".."))
            return EINVAL;
        if (encoded.size() > kMaxNameBytes)
            return ENAMETOOLONG;
        if (encoded != last) {
            const ShellResult r = renameNoReplace(joinPath(folder.path, decodeItem(last)),
                                                  joinPath(folder.path, name));
            if (r != kShellOk)
                return r;
        }
        items.append(encoded);
        return makeList(items, newItem);
    }

    ShellResult GetUIObjectOf(const ItemIDList* item, std::unique_ptr<IContextMenu>* menu) override
    {
        if (!menu)
            return EINVAL;
        const Location at = resolve(m_at, item);
        if (at.kind != Location::FileSystem)
            return ENOTSUP; // items without a path have no commands
        *menu = makeShellContextMenu(at.path, displayName(at));
        return kShellOk;
    }

private:
    // The items that lead from this folder to an absolute path: through the desktop's home or
    // desktop folder when the path lies inside one, else through the computer's volumes.
    bool anchorItems(const QString& full, QList<QByteArray>* items) const
    {
        QString anchor;
        switch (m_at.kind) {
        case Location::Desktop:
            for (const QString& a : {homeFolder(), desktopFolder()})
                if (!a.isEmpty() && isInsideFolder(full, a) && a.size() > anchor.size())
                    anchor = a;
            if (anchor.isEmpty()) {
                items->append(QByteArray(kComputerItemName));
                anchor = volumeOf(full);
            }
            items->append(encodeItem(anchor));
            break;
        case Location::Computer:
            anchor = volumeOf(full);
            items->append(encodeItem(anchor));
            break;
        case Location::FileSystem:
            if (!isInsideFolder(full, m_at.path))
                return false;
            anchor = m_at.path;
            break;
        case Location::Invalid:
            return false;
        }
        const QString rest = anchor == QLatin1String("/") ? full : full.mid(anchor.size());
        for (const QString& c : pathComponents(rest))
            items->append(encodeItem(c));
        return true;
    }

    static QString volumeOf(const QString& full)
    {
        QString best = QStringLiteral("/");
        for (const ShellVolume& v : shellVolumes())
            if (isInsideFolder(full, v.rootPath) && v.rootPath.size() > best.size())
                best = v.rootPath;
        return best;
    }

    Location m_at;
};

} // namespace

QString shellResultText(ShellResult result)
{
    if (result == kShellOk)
        return QStringLiteral("The operation completed successfully.");
    if (result == kShellFalse)
        return QStringLiteral("No more items.");
    return QString::fromLocal8Bit(std::strerror(result));
}

ShellResult SHGetDesktopFolder(std::shared_ptr<IShellFolder>* folder)
{
    if (!folder)
        return EINVAL;
    *folder = std::make_shared<NamespaceFolder>(Location{Location::Desktop, {}, Location::Invalid});
    return kShellOk;
}

ShellResult SHGetSpecialFolderLocation(int csidl, ItemIDList** list)
{
    if (!list)
        return EINVAL;
    *list = nullptr;
    QString path;
    switch (csidl) {
    case kCsidlDesktop:
        return makeList({}, list);
    case kCsidlDrives:
        return makeList({QByteArray(kComputerItemName)}, list);
    case kCsidlDesktopDirectory:
        path = desktopFolder();
        break;
    case kCsidlPersonal:
        path = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        break;
    case kCsidlPrograms:
    case kCsidlStartMenu:
        path = QStandardPaths::writableLocation(QStandardPaths::ApplicationsLocation);
        break;
    case kCsidlFonts:
        path = QStandardPaths::writableLocation(QStandardPaths::FontsLocation);
        break;
    case kCsidlTemplates:
        path = joinPath(homeFolder(), QStringLiteral("Templates"));
        break;
    case kCsidlBitBucket:
        path = joinPath(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation),
                        QStringLiteral("Trash/files"));
        break;
    default:
        return ENOENT; // no such place here (printers, control panel, network, ...)
    }
    if (path.isEmpty() || !isDirectory(path))
        return ENOENT;
    std::shared_ptr<IShellFolder> desktop;
    SHGetDesktopFolder(&desktop);
    return desktop->ParseDisplayName(path, list);
}

bool SHGetPathFromIDList(const ItemIDList* absolute, QString* path)
{
    if (!absolute)
        return false;
    const Location at = resolve({Location::Desktop, {}, Location::Invalid}, absolute);
    if (at.kind != Location::FileSystem)
        return false;
    if (path)
        *path = at.path;
    return true;
}

ShellItemKind ShellItemKindOf(const ItemIDList* absolute, QString* path)
{
    if (!absolute)
        return ShellItemKind::Invalid;
    const Location at = resolve({Location::Desktop, {}, Location::Invalid}, absolute);
    if (path)
        *path = at.path;
    switch (at.kind) {
    case Location::Desktop:
        return ShellItemKind::Desktop;
    case Location::Computer:
        return ShellItemKind::Computer;
    case Location::FileSystem:
        if (at.via == Location::Computer)
            return ShellItemKind::Volume;
        if (at.via == Location::Desktop && at.path == homeFolder())
            return ShellItemKind::Home;
        if (at.via == Location::Desktop && at.path == desktopFolder())
            return ShellItemKind::DesktopFolder;
        return isDirectory(at.path) ? ShellItemKind::Folder : ShellItemKind::File;
    case Location::Invalid:
        break;
    }
    return ShellItemKind::Invalid;
}

bool isUserVolume(const QString& rootPath, const QByteArray& fileSystemType)
{
    static const char* const pseudo[] = {
        "proc", "sysfs", "devtmpfs", "devpts", "tmpfs", "ramfs", "cgroup", "cgroup2", "securityfs",
        "pstore", "debugfs", "tracefs", "bpf", "mqueue", "hugetlbfs", "configfs", "fusectl",
        "binfmt_misc", "autofs", "efivarfs", "squashfs", "overlay", "nsfs", "rpc_pipefs",
        "selinuxfs", "fuse.gvfsd-fuse", "fuse.portal", "fuse.lxcfs"};
    for (const char* p : pseudo)
        if (fileSystemType == p)
            return false;
    const QString root = QDir::cleanPath(rootPath);
    if (root.isEmpty() || root == QLatin1String("/") || !root.startsWith(QLatin1Char('/')))
        return false;
    static const char* const system[] = {"/proc", "/sys", "/dev", "/run", "/snap", "/boot",
                                         "/var/lib", "/var/snap", "/tmp"};
    const bool runMedia = isInsideFolder(root, QStringLiteral("/run/media")) && root != QLatin1String("/run/media");
    for (const char* s : system)
        if (isInsideFolder(root, QLatin1String(s)) && !runMedia)
            return false;
    for (const QString& c : pathComponents(root))
        if (c.startsWith(QLatin1Char('.')))
            return false;
    return true;
}

QList<ShellVolume> shellVolumes()
{
    QList<ShellVolume> out;
    const QStorageInfo root = QStorageInfo::root();
    out.append({QStringLiteral("/"), root.name(), root.fileSystemType()});
    QList<ShellVolume> others;
    for (const QStorageInfo& s : QStorageInfo::mountedVolumes()) {
        const QString path = QDir::cleanPath(s.rootPath());
        if (!isUserVolume(path, s.fileSystemType()) || !isDirectory(path))
            continue;
        const bool seen = std::any_of(others.cbegin(), others.cend(),
                                      [&](const ShellVolume& v) { return v.rootPath == path; });
        if (!seen)
            others.append({path, s.name(), s.fileSystemType()});
    }
    std::sort(others.begin(), others.end(),
              [](const ShellVolume& a, const ShellVolume& b) { return a.rootPath < b.rootPath; });
    out.append(others);
    return out;
}

} // namespace qv

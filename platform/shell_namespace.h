// Our shell namespace: the desktop root holds the home folder, the desktop folder when it
// exists, and a computer item without a path whose children are "/" and the mounted volumes.
#pragma once
#include "platform/errors.h"
#include "platform/shell_namespace_idlist.h"

#include <QList>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

namespace qv {

// Results: kShellOk, kShellFalse ("no more"), or an errno value.
using ShellResult = int;
inline constexpr ShellResult kShellOk = 0;
inline constexpr ShellResult kShellFalse = -1;
// The system's description of a result.
QString shellResultText(ShellResult result);

// Item attributes (the bits the folder tree asks for).
inline constexpr std::uint32_t kSfgaoCanCopy = 0x00000001;
inline constexpr std::uint32_t kSfgaoCanMove = 0x00000002;
inline constexpr std::uint32_t kSfgaoCanLink = 0x00000004;
inline constexpr std::uint32_t kSfgaoCanRename = 0x00000010;
inline constexpr std::uint32_t kSfgaoCanDelete = 0x00000020;
inline constexpr std::uint32_t kSfgaoHasPropSheet = 0x00000040;
inline constexpr std::uint32_t kSfgaoDropTarget = 0x00000100;
inline constexpr std::uint32_t kSfgaoLink = 0x00010000;
inline constexpr std::uint32_t kSfgaoShare = 0x00020000;
inline constexpr std::uint32_t kSfgaoReadOnly = 0x00040000;
inline constexpr std::uint32_t kSfgaoGhosted = 0x00080000; // hidden items
inline constexpr std::uint32_t kSfgaoFileSysAncestor = 0x10000000;
inline constexpr std::uint32_t kSfgaoFolder = 0x20000000;
inline constexpr std::uint32_t kSfgaoFileSystem = 0x40000000;
inline constexpr std::uint32_t kSfgaoHasSubfolder = 0x80000000;
inline constexpr std::uint32_t kSfgaoTreeMask = 0xF00F0177; // what the tree asks for

// Listing flags.
inline constexpr std::uint32_t kShcontfFolders = 0x20;
inline constexpr std::uint32_t kShcontfNonFolders = 0x40;
inline constexpr std::uint32_t kShcontfIncludeHidden = 0x80;

inline constexpr std::uint32_t kShgdnNormal = 0;
inline constexpr std::uint32_t kCmfExplore = 4;

// Namespace locations.
inline constexpr int kCsidlDesktop = 0;
inline constexpr int kCsidlPrograms = 2;
inline constexpr int kCsidlControls = 3;
inline constexpr int kCsidlPrinters = 4;
inline constexpr int kCsidlPersonal = 5;
inline constexpr int kCsidlFavorites = 6;
inline constexpr int kCsidlStartup = 7;
inline constexpr int kCsidlRecent = 8;
inline constexpr int kCsidlSendTo = 9;
inline constexpr int kCsidlBitBucket = 10;
inline constexpr int kCsidlStartMenu = 11;
inline constexpr int kCsidlDesktopDirectory = 16;
inline constexpr int kCsidlDrives = 17;
inline constexpr int kCsidlNetwork = 18;
inline constexpr int kCsidlNetHood = 19;
inline constexpr int kCsidlFonts = 20;
inline constexpr int kCsidlTemplates = 21;

// Inside the desktop and the computer an item is named by the absolute path of its folder;
// the computer item itself by this name.
inline constexpr char kComputerItemName[] = "::computer";

QV_DECLARE_ERROR(EShellError);

// Hands out a folder's items one by one.
class IEnumIDList {
public:
    virtual ~IEnumIDList() = default;
    // The next item as a new one-item list (the caller frees it); kShellFalse when done.
    virtual ShellResult Next(ItemIDList** item) = 0;
};

// What a context-menu command may need from the program that shows the menu.
struct ShellCommandHost {
    // Opens a folder in the file manager; the desktop's default handler when not set.
    std::function<bool(const QString& path)> openFolder;
    // Shows the properties text of an item.
    std::function<void(const QString& title, const QString& text)> showProperties;
};

// The commands an item offers, in menu order.
class IContextMenu {
public:
    struct Command {
        QString verb;
        QString text;
    };
    virtual ~IContextMenu() = default;
    virtual QList<Command> QueryContextMenu(std::uint32_t flags) = 0;
    // verb is the command's position in QueryContextMenu's list.
    virtual ShellResult InvokeCommand(int verb, const ShellCommandHost& host) = 0;
};

// A folder of the namespace. Item lists given to it are relative to it and may hold several
// levels; lists it hands out are new and freed with SHGetMalloc().
class IShellFolder {
public:
    virtual ~IShellFolder() = default;

    // A path (absolute, or relative to this folder) to an existing item as a list relative
    // to this folder; the folder's own path gives an empty list.
    virtual ShellResult ParseDisplayName(const QString& name, ItemIDList** list) = 0;
    virtual ShellResult EnumObjects(std::uint32_t flags, std::unique_ptr<IEnumIDList>* items) = 0;
    virtual ShellResult BindToObject(const ItemIDList* item, std::shared_ptr<IShellFolder>* folder) = 0;
    // Below 0, 0 (the same item) or above 0. Folders come first, then names as a file
    // manager orders them (locale-aware, case-insensitive, numbers by value).
    virtual int CompareIDs(std::uint32_t param, const ItemIDList* a, const ItemIDList* b) = 0;
    // attributes holds the mask asked for and receives the answer.
    virtual ShellResult GetAttributesOf(const ItemIDList* item, std::uint32_t* attributes) = 0;
    virtual ShellResult GetDisplayNameOf(const ItemIDList* item, std::uint32_t flags, QString* name) = 0;
    // Renames the item on disk and gives its new list; an existing name is never replaced.
    virtual ShellResult SetNameOf(const ItemIDList* item, const QString& name, std::uint32_t flags,
                                  ItemIDList** newItem) = 0;
    virtual ShellResult GetUIObjectOf(const ItemIDList* item, std::unique_ptr<IContextMenu>* menu) = 0;
};

ShellResult SHGetDesktopFolder(std::shared_ptr<IShellFolder>* folder);
// The list of a namespace location from the desktop (an empty list for the desktop itself).
ShellResult SHGetSpecialFolderLocation(int csidl, ItemIDList** list);
// The file-system path of a list from the desktop; false for items without one.
bool SHGetPathFromIDList(const ItemIDList* absolute, QString* path);

// What an item is, for its icon.
enum class ShellItemKind { Invalid, Desktop, Computer, Volume, Home, DesktopFolder, Folder, File };
ShellItemKind ShellItemKindOf(const ItemIDList* absolute, QString* path = nullptr);

// A mounted volume shown under the computer.
struct ShellVolume {
    QString rootPath;
    QString name;
    QByteArray fileSystemType;
};
// "/" first, then the mounted volumes a user would look at.
QList<ShellVolume> shellVolumes();
// False for the system's own mounts (pseudo file systems, /proc, /sys, /dev, /run, /snap, hidden
// folders) and for "/" itself, which is always listed.
bool isUserVolume(const QString& rootPath, const QByteArray& fileSystemType);

// The properties text of a file-system item.
QString shellPropertiesText(const QString& path);
// The commands of a file-system item: open in the file manager, properties.
std::unique_ptr<IContextMenu> makeShellContextMenu(const QString& path, const QString& name);

} // namespace qv

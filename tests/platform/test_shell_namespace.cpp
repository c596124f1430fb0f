// The shell namespace: ID list layout and operations, the desktop and computer folders,
// listing flags, attributes, ordering, parsing, renaming and the context menu.
#include "platform/shell_namespace.h"

#include "testutil.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace qv;

namespace {

QList<QByteArray> listNames(IShellFolder* folder, std::uint32_t flags)
{
    std::unique_ptr<IEnumIDList> items;
    EXPECT_EQ(folder->EnumObjects(flags, &items), kShellOk);
    QList<QByteArray> names;
    ItemIDList* item = nullptr;
    while (items && items->Next(&item) == kShellOk) {
        EXPECT_EQ(IDListItemCount(item), 1);
        names.append(FirstItemBytes(item));
        FreeIDList(item);
    }
    EXPECT_EQ(item, nullptr);
    std::sort(names.begin(), names.end());
    return names;
}

UniqueIDList items(const QList<QByteArray>& names) { return UniqueIDList(MakeIDList(names)); }

// A home folder of our own, so the desktop's items are known.
class NamespaceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_oldHome = qgetenv("HOME");
        m_oldConfig = qgetenv("XDG_CONFIG_HOME");
        m_home = QDir::cleanPath(m_dir.path() + "/home");
        QDir().mkpath(m_home + "/Desktop");
        QDir().mkpath(m_home + "/Pictures/2024/May");
        qputenv("HOME", m_home.toUtf8());
        qputenv("XDG_CONFIG_HOME", (m_home + "/.config").toUtf8());
        ASSERT_EQ(SHGetDesktopFolder(&m_desktop), kShellOk);
        m_blocks = SHGetMalloc().liveBlocks();
    }
    void TearDown() override
    {
        EXPECT_EQ(SHGetMalloc().liveBlocks(), m_blocks) << "ID lists left unfreed";
        qputenv("HOME", m_oldHome);
        qputenv("XDG_CONFIG_HOME", m_oldConfig);
    }
    std::shared_ptr<IShellFolder> bind(const QString& path)
    {
        ItemIDList* list = nullptr;
        EXPECT_EQ(m_desktop->ParseDisplayName(path, &list), kShellOk) << path.toStdString();
        UniqueIDList owned(list);
        std::shared_ptr<IShellFolder> folder;
        EXPECT_EQ(m_desktop->BindToObject(list, &folder), kShellOk);
        return folder;
    }

    QTemporaryDir m_dir;
    QString m_home;
    QByteArray m_oldHome, m_oldConfig;
    std::shared_ptr<IShellFolder> m_desktop;
    long m_blocks = 0;
};

} // namespace

TEST(ItemIdLists, ByteLayoutAndTheFourOperations)
{
    const long before = SHGetMalloc().liveBlocks();
    {
        UniqueIDList parent = items({"ab", "c"});
        // 16-bit little-endian counts that include themselves, then a 16-bit zero.
        EXPECT_EQ(IDListBytes(parent.get()), QByteArray("\x04\x00" "ab" "\x03\x00" "c" "\x00\x00", 9));
        EXPECT_EQ(IDListSize(parent.get()), 9u);
        EXPECT_EQ(IDListSize(nullptr), 0u);

        UniqueIDList child = items({QByteArray(300, 'x')});
        EXPECT_EQ(IDListBytes(child.get()).left(2), QByteArray("\x2e\x01", 2)); // 302
        UniqueIDList joined(ConcatIDLists(parent.get(), child.get()));
        EXPECT_EQ(IDListSize(joined.get()), 9u - 2u + 304u);
        EXPECT_EQ(IDListItems(joined.get()), (QList<QByteArray>{"ab", "c", QByteArray(300, 'x')}));
        UniqueIDList copy(ConcatIDLists(nullptr, child.get()));
        EXPECT_EQ(IDListBytes(copy.get()), IDListBytes(child.get()));

        UniqueIDList first(CopyFirstItem(joined.get()));
        EXPECT_EQ(IDListBytes(first.get()), QByteArray("\x04\x00" "ab" "\x00\x00", 6));
        const ItemIDList* second = NextItem(joined.get());
        EXPECT_EQ(FirstItemBytes(second), "c");
        const ItemIDList* end = NextItem(NextItem(second));
        ASSERT_NE(end, nullptr);
        EXPECT_TRUE(IsEmptyIDList(end));
        EXPECT_EQ(NextItem(end), nullptr);

        UniqueIDList empty = items({});
        EXPECT_EQ(IDListSize(empty.get()), 2u);
        UniqueIDList emptyFirst(CopyFirstItem(empty.get()));
        EXPECT_EQ(IDListSize(emptyFirst.get()), 2u);
    }
    EXPECT_EQ(MakeIDList({QByteArray(int(kMaxItemBytes) + 1, 'a')}), nullptr);
    EXPECT_EQ(MakeIDList({QByteArray()}), nullptr);
    EXPECT_EQ(SHGetMalloc().liveBlocks(), before);
}

TEST(ItemIdLists, OutsideBytesAreChecked)
{
    const QByteArray good("\x03\x00" "a" "\x00\x00", 5);
    UniqueIDList ok(IDListFromBytes(good));
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(IDListItems(ok.get()), QList<QByteArray>{"a"});
    for (const QByteArray& bad : {QByteArray("\x03\x00" "a", 3),               // no terminator
                                  QByteArray("\x09\x00" "a" "\x00\x00", 5),     // count runs past the end
                                  QByteArray("\x01\x00" "\x00\x00", 4),          // count below 2
                                  QByteArray("\x00", 1), QByteArray()})
        EXPECT_EQ(IDListFromBytes(bad), nullptr) << bad.toHex().toStdString();
}

TEST_F(NamespaceTest, DesktopHoldsHomeDesktopAndComputer)
{
    const QList<QByteArray> names = listNames(m_desktop.get(), kShcontfFolders | kShcontfIncludeHidden);
    EXPECT_EQ(names, (QList<QByteArray>{QFile::encodeName(m_home), QFile::encodeName(m_home + "/Desktop"),
                                        kComputerItemName}));
    QString name;
    auto home = items({QFile::encodeName(m_home)});
    EXPECT_EQ(m_desktop->GetDisplayNameOf(home.get(), kShgdnNormal, &name), kShellOk);
    EXPECT_EQ(name, "home");
    auto computer = items({kComputerItemName});
    m_desktop->GetDisplayNameOf(computer.get(), kShgdnNormal, &name);
    EXPECT_EQ(name, "Computer");
    auto desktopItself = items({});
    m_desktop->GetDisplayNameOf(desktopItself.get(), kShgdnNormal, &name);
    EXPECT_EQ(name, "Desktop");

    // Home first, then the desktop folder, then the computer.
    auto desk = items({QFile::encodeName(m_home + "/Desktop")});
    EXPECT_LT(m_desktop->CompareIDs(0, home.get(), desk.get()), 0);
    EXPECT_LT(m_desktop->CompareIDs(0, desk.get(), computer.get()), 0);
    EXPECT_GT(m_desktop->CompareIDs(0, computer.get(), home.get()), 0);

    // The computer has no path; its first child is the file-system root.
    QString path;
    EXPECT_FALSE(SHGetPathFromIDList(computer.get(), &path));
    EXPECT_FALSE(SHGetPathFromIDList(desktopItself.get(), &path));
    std::uint32_t attrs = kSfgaoTreeMask;
    ASSERT_EQ(m_desktop->GetAttributesOf(computer.get(), &attrs), kShellOk);
    EXPECT_EQ(attrs & (kSfgaoFolder | kSfgaoHasSubfolder | kSfgaoFileSystem | kSfgaoCanRename),
              kSfgaoFolder | kSfgaoHasSubfolder);
    std::shared_ptr<IShellFolder> computerFolder;
    ASSERT_EQ(m_desktop->BindToObject(computer.get(), &computerFolder), kShellOk);
    std::unique_ptr<IEnumIDList> volumes;
    ASSERT_EQ(computerFolder->EnumObjects(kShcontfFolders, &volumes), kShellOk);
    ItemIDList* first = nullptr;
    ASSERT_EQ(volumes->Next(&first), kShellOk);
    UniqueIDList firstOwned(first);
    EXPECT_EQ(FirstItemBytes(first), "/");
    computerFolder->GetDisplayNameOf(first, kShgdnNormal, &name);
    EXPECT_EQ(name, "/");

    // Without a desktop folder only two items remain.
    QDir(m_home + "/Desktop").removeRecursively();
    EXPECT_EQ(listNames(m_desktop.get(), kShcontfFolders).size(), 2);
    EXPECT_NE(SHGetSpecialFolderLocation(kCsidlDesktopDirectory, &first), kShellOk);
}

TEST(ShellVolumes, SystemMountsAreLeftOut)
{
    EXPECT_TRUE(isUserVolume("/media/ann/USB STICK", "vfat"));
    EXPECT_TRUE(isUserVolume("/run/media/ann/DISK", "ext4"));
    EXPECT_TRUE(isUserVolume("/mnt/data", "ext4"));
    EXPECT_FALSE(isUserVolume("/", "ext4")); // listed on its own, first
    EXPECT_FALSE(isUserVolume("/proc", "proc"));
    EXPECT_FALSE(isUserVolume("/mnt/scratch", "tmpfs"));
    EXPECT_FALSE(isUserVolume("/sys/fs/cgroup/cpu", "cgroup"));
    EXPECT_FALSE(isUserVolume("/run/user/1000", "ext4"));
    EXPECT_FALSE(isUserVolume("/snap/core/1", "ext4"));
    EXPECT_FALSE(isUserVolume("/boot/efi", "vfat"));
    EXPECT_FALSE(isUserVolume("/home/ann/.cache/doc", "fuse"));
    const QList<ShellVolume> volumes = shellVolumes();
    ASSERT_FALSE(volumes.isEmpty());
    EXPECT_EQ(volumes.first().rootPath, "/");
    for (const ShellVolume& v : volumes.mid(1))
        EXPECT_TRUE(isUserVolume(v.rootPath, v.fileSystemType)) << v.rootPath.toStdString();
}

TEST_F(NamespaceTest, ParsingPathsFollowsTheNearestAnchor)
{
    // Inside home: through the home item; inside the desktop folder: through that item.
    ItemIDList* list = nullptr;
    ASSERT_EQ(m_desktop->ParseDisplayName(m_home + "/Pictures/2024/", &list), kShellOk);
    UniqueIDList pictures(list);
    EXPECT_EQ(IDListItems(list), (QList<QByteArray>{QFile::encodeName(m_home), "Pictures", "2024"}));
    QString path;
    ASSERT_TRUE(SHGetPathFromIDList(list, &path));
    EXPECT_EQ(path, m_home + "/Pictures/2024");
    EXPECT_EQ(ShellItemKindOf(list), ShellItemKind::Folder);

    ASSERT_EQ(m_desktop->ParseDisplayName(m_home + "/Desktop", &list), kShellOk);
    UniqueIDList desk(list);
    EXPECT_EQ(IDListItemCount(list), 1);
    EXPECT_EQ(ShellItemKindOf(list), ShellItemKind::DesktopFolder);

    // Elsewhere: through the computer and its volume.
    const QString outside = m_dir.path() + "/elsewhere";
    QDir().mkpath(outside);
    ASSERT_EQ(m_desktop->ParseDisplayName(outside, &list), kShellOk);
    UniqueIDList other(list);
    EXPECT_EQ(IDListItems(list).first(), kComputerItemName);
    ASSERT_TRUE(SHGetPathFromIDList(list, &path));
    EXPECT_EQ(path, QDir::cleanPath(outside));

    EXPECT_EQ(m_desktop->ParseDisplayName(m_home + "/missing", &list), ENOENT);
    EXPECT_EQ(list, nullptr);
    EXPECT_NE(m_desktop->ParseDisplayName("relative/path", &list), kShellOk);
    EXPECT_NE(m_desktop->ParseDisplayName("/" + QString(5000, 'a'), &list), kShellOk);

    // A folder parses relative paths and absolute ones below itself, and nothing above.
    auto homeFolder = bind(m_home);
    ASSERT_EQ(homeFolder->ParseDisplayName("Pictures/2024/May", &list), kShellOk);
    UniqueIDList rel(list);
    EXPECT_EQ(IDListItems(list), (QList<QByteArray>{"Pictures", "2024", "May"}));
    ASSERT_EQ(homeFolder->ParseDisplayName(m_home + "/Pictures", &list), kShellOk);
    UniqueIDList abs(list);
    EXPECT_EQ(IDListItems(list), QList<QByteArray>{"Pictures"});
    ASSERT_EQ(homeFolder->ParseDisplayName(m_home + "/", &list), kShellOk); // the folder itself
    EXPECT_TRUE(IsEmptyIDList(list));
    FreeIDList(list);
    EXPECT_NE(homeFolder->ParseDisplayName("../", &list), kShellOk);
    EXPECT_NE(homeFolder->ParseDisplayName(m_dir.path(), &list), kShellOk);
}

TEST_F(NamespaceTest, ListingFlagsAndAttributes)
{
    const QString base = m_home + "/Pictures";
    QDir().mkpath(base + "/.thumbs");
    QDir().mkpath(base + "/empty");
    qvtest::writeFile(base + "/a.jpg", "x");
    qvtest::writeFile(base + "/.hidden.jpg", "x");
    QFile::link(base + "/2024", base + "/link");
    auto folder = bind(base);

    EXPECT_EQ(listNames(folder.get(), kShcontfFolders), (QList<QByteArray>{"2024", "empty", "link"}));
    EXPECT_EQ(listNames(folder.get(), kShcontfFolders | kShcontfIncludeHidden),
              (QList<QByteArray>{".thumbs", "2024", "empty", "link"}));
    EXPECT_EQ(listNames(folder.get(), kShcontfNonFolders), QList<QByteArray>{"a.jpg"});
    EXPECT_EQ(listNames(folder.get(), kShcontfNonFolders | kShcontfIncludeHidden),
              (QList<QByteArray>{".hidden.jpg", "a.jpg"}));

    auto attributes = [&](const QByteArray& name) {
        auto item = items({name});
        std::uint32_t a = kSfgaoTreeMask;
        EXPECT_EQ(folder->GetAttributesOf(item.get(), &a), kShellOk);
        return a;
    };
    const std::uint32_t dir = attributes("2024");
    EXPECT_EQ(dir & (kSfgaoFolder | kSfgaoFileSystem | kSfgaoFileSysAncestor | kSfgaoHasSubfolder | kSfgaoCanRename),
              kSfgaoFolder | kSfgaoFileSystem | kSfgaoFileSysAncestor | kSfgaoHasSubfolder | kSfgaoCanRename);
    EXPECT_FALSE(dir & kSfgaoLink);
    EXPECT_FALSE(attributes("empty") & kSfgaoHasSubfolder);
    EXPECT_TRUE(attributes("link") & kSfgaoLink);
    EXPECT_TRUE(attributes("link") & kSfgaoFolder);
    EXPECT_TRUE(attributes(".thumbs") & kSfgaoGhosted);
    const std::uint32_t file = attributes("a.jpg");
    EXPECT_EQ(file & (kSfgaoFolder | kSfgaoFileSystem), kSfgaoFileSystem);
    // The mask limits the answer.
    auto item = items({"2024"});
    std::uint32_t onlyFolder = kSfgaoFolder;
    folder->GetAttributesOf(item.get(), &onlyFolder);
    EXPECT_EQ(onlyFolder, kSfgaoFolder);
    // Anchors keep their names.
    auto home = items({QFile::encodeName(m_home)});
    std::uint32_t homeAttrs = kSfgaoTreeMask;
    m_desktop->GetAttributesOf(home.get(), &homeAttrs);
    EXPECT_FALSE(homeAttrs & kSfgaoCanRename);
    EXPECT_TRUE(homeAttrs & kSfgaoFileSystem);

    // A file cannot be bound as a folder, nor a vanished item.
    std::shared_ptr<IShellFolder> sub;
    auto fileItem = items({"a.jpg"});
    EXPECT_EQ(folder->BindToObject(fileItem.get(), &sub), ENOTDIR);
    auto gone = items({"gone"});
    EXPECT_EQ(folder->BindToObject(gone.get(), &sub), ENOENT);
    std::uint32_t a = kSfgaoTreeMask;
    EXPECT_EQ(folder->GetAttributesOf(gone.get(), &a), ENOENT);
}

TEST_F(NamespaceTest, OrderIsAFileManagers)
{
    const QString base = m_home + "/Pictures";
    for (const char* d : {"file10", "file9", "Banana", "apple", "Zed", "zed"})
        QDir().mkpath(base + "/" + d);
    qvtest::writeFile(base + "/aaa.txt", "x");
    auto folder = bind(base);
    auto cmp = [&](const QByteArray& a, const QByteArray& b) {
        auto la = items({a}), lb = items({b});
        return folder->CompareIDs(0, la.get(), lb.get());
    };
    EXPECT_LT(cmp("file9", "file10"), 0); // numbers by value
    EXPECT_LT(cmp("apple", "Banana"), 0); // case does not count
    EXPECT_GT(cmp("Banana", "apple"), 0);
    EXPECT_LT(cmp("Zed", "aaa.txt"), 0);  // folders first
    EXPECT_NE(cmp("Zed", "zed"), 0);      // different items are never the same
    EXPECT_EQ(cmp("Zed", "zed"), -cmp("zed", "Zed"));
    EXPECT_EQ(cmp("apple", "apple"), 0);

    // Several levels: the first difference decides, a prefix comes first.
    auto a = items({"2024", "May"}), b = items({"2024"}), c = items({"apple"});
    EXPECT_GT(folder->CompareIDs(0, a.get(), b.get()), 0);
    EXPECT_LT(folder->CompareIDs(0, b.get(), a.get()), 0);
    EXPECT_LT(folder->CompareIDs(0, b.get(), c.get()), 0);
}

TEST_F(NamespaceTest, RenamingNeverReplacesAnExistingName)
{
    const QString base = m_home + "/Pictures";
    QDir().mkpath(base + "/old/inner");
    QDir().mkpath(base + "/taken"); // an empty folder, which a bare rename() would replace
    auto folder = bind(base);
    auto old = items({"old"});
    ItemIDList* renamed = nullptr;

    EXPECT_EQ(folder->SetNameOf(old.get(), "taken", 0, &renamed), EEXIST);
    EXPECT_EQ(renamed, nullptr);
    EXPECT_TRUE(QFileInfo::exists(base + "/old/inner"));
    for (const QString& bad : {QString(), QString("a/b"), QString("."), QString(".."), QString(300, 'n')})
        EXPECT_NE(folder->SetNameOf(old.get(), bad, 0, &renamed), kShellOk) << bad.toStdString();

    ASSERT_EQ(folder->SetNameOf(old.get(), "New name", 0, &renamed), kShellOk);
    UniqueIDList owned(renamed);
    EXPECT_EQ(IDListItems(renamed), QList<QByteArray>{"New name"});
    EXPECT_TRUE(QFileInfo::exists(base + "/New name/inner"));
    EXPECT_FALSE(QFileInfo::exists(base + "/old"));
    // The same name again is no change at all.
    ItemIDList* same = nullptr;
    EXPECT_EQ(folder->SetNameOf(renamed, "New name", 0, &same), kShellOk);
    FreeIDList(same);
    // The desktop's items cannot be renamed.
    auto home = items({QFile::encodeName(m_home)});
    EXPECT_EQ(m_desktop->SetNameOf(home.get(), "other", 0, &renamed), EPERM);
}

TEST_F(NamespaceTest, SpecialLocationsAndContextMenu)
{
    ItemIDList* list = nullptr;
    ASSERT_EQ(SHGetSpecialFolderLocation(kCsidlDesktop, &list), kShellOk);
    EXPECT_TRUE(IsEmptyIDList(list));
    FreeIDList(list);
    ASSERT_EQ(SHGetSpecialFolderLocation(kCsidlDrives, &list), kShellOk);
    EXPECT_EQ(IDListItems(list), QList<QByteArray>{kComputerItemName});
    FreeIDList(list);
    ASSERT_EQ(SHGetSpecialFolderLocation(kCsidlDesktopDirectory, &list), kShellOk);
    EXPECT_EQ(ShellItemKindOf(list), ShellItemKind::DesktopFolder);
    FreeIDList(list);
    EXPECT_NE(SHGetSpecialFolderLocation(kCsidlPrinters, &list), kShellOk);
    EXPECT_EQ(list, nullptr);

    auto homeFolder = bind(m_home);
    auto pictures = items({"Pictures"});
    std::unique_ptr<IContextMenu> menu;
    ASSERT_EQ(homeFolder->GetUIObjectOf(pictures.get(), &menu), kShellOk);
    const auto commands = menu->QueryContextMenu(kCmfExplore);
    ASSERT_EQ(commands.size(), 2);
    EXPECT_EQ(commands[0].verb, "open");
    EXPECT_EQ(commands[1].verb, "properties");
    QString opened, title, text;
    ShellCommandHost host;
    host.openFolder = [&](const QString& p) { opened = p; return true; };
    host.showProperties = [&](const QString& t, const QString& body) { title = t; text = body; };
    EXPECT_EQ(menu->InvokeCommand(0, host), kShellOk);
    EXPECT_EQ(opened, m_home + "/Pictures");
    EXPECT_EQ(menu->InvokeCommand(1, host), kShellOk);
    EXPECT_EQ(title, "Pictures");
    EXPECT_TRUE(text.contains("Contents: 1 folders, 0 files")) << text.toStdString();
    EXPECT_NE(menu->InvokeCommand(5, host), kShellOk);
    // Items without a path have no menu.
    auto computer = items({kComputerItemName});
    EXPECT_NE(m_desktop->GetUIObjectOf(computer.get(), &menu), kShellOk);
}

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

std::uint32_t attributesOf(IShellFolder* folder, const QByteArray& name, std::uint32_t mask = kSfgaoTreeMask)
{
    EXPECT_EQ(folder->GetAttributesOf(items({name}).get(), &mask), kShellOk) << name.constData();
    return mask;
}

// A home folder of our own, so the desktop's items are known.
class NamespaceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_home = QDir::cleanPath(m_dir.path() + "/home");
        QDir().mkpath(m_home + "/Desktop");
        QDir().mkpath(m_home + "/Pictures/2024/May");
        m_env.set("HOME", m_home);
        m_env.set("XDG_CONFIG_HOME", m_home + "/.config");
        ASSERT_EQ(SHGetDesktopFolder(&m_desktop), kShellOk);
        m_blocks = SHGetMalloc().liveBlocks();
    }
    void TearDown() override { EXPECT_EQ(SHGetMalloc().liveBlocks(), m_blocks) << "ID lists left unfreed"; }
    std::shared_ptr<IShellFolder> bind(const QString& path)
    {
        ItemIDList* list = nullptr;
        EXPECT_EQ(m_desktop->ParseDisplayName(path, &list), kShellOk) << path.toStdString();
        UniqueIDList owned(list);
        std::shared_ptr<IShellFolder> folder;
        EXPECT_EQ(m_desktop->BindToObject(list, &folder), kShellOk);
        return folder;
    }
    // The items of a path parsed by `folder`, or nothing when it is refused.
    QList<QByteArray> parsed(IShellFolder* folder, const QString& path)
    {
        ItemIDList* list = nullptr;
        if (folder->ParseDisplayName(path, &list) != kShellOk)
            return {"refused"};
        UniqueIDList owned(list);
        return IDListItems(list);
    }

    qvtest::TempDir m_dir;
    QString m_home;
    qvtest::ScopedEnv m_env;
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
        UniqueIDList child = items({QByteArray(300, 'x')});
        EXPECT_EQ(IDListBytes(child.get()).left(2), QByteArray("\x2e\x01", 2)); // 302
        UniqueIDList joined(ConcatIDLists(parent.get(), child.get()));
        EXPECT_EQ(IDListSize(joined.get()), 9u - 2u + 304u);
        EXPECT_EQ(IDListItems(joined.get()), (QList<QByteArray>{"ab", "c", QByteArray(300, 'x')}));

        UniqueIDList first(CopyFirstItem(joined.get()));
        EXPECT_EQ(IDListBytes(first.get()), QByteArray("\x04\x00" "ab" "\x00\x00", 6));
        const ItemIDList* end = NextItem(NextItem(NextItem(joined.get())));
        ASSERT_NE(end, nullptr);
        EXPECT_TRUE(IsEmptyIDList(end));
        EXPECT_EQ(NextItem(end), nullptr);
        EXPECT_EQ(IDListSize(UniqueIDList(CopyFirstItem(items({}).get())).get()), 2u);
    }
    EXPECT_EQ(MakeIDList({QByteArray(int(kMaxItemBytes) + 1, 'a')}), nullptr);
    EXPECT_EQ(MakeIDList({QByteArray()}), nullptr);
    EXPECT_EQ(SHGetMalloc().liveBlocks(), before);
}

TEST(ItemIdLists, OutsideBytesAreChecked)
{
    UniqueIDList ok(IDListFromBytes(QByteArray("\x03\x00" "a" "\x00\x00", 5)));
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
    EXPECT_EQ(listNames(m_desktop.get(), kShcontfFolders | kShcontfIncludeHidden),
              (QList<QByteArray>{QFile::encodeName(m_home), QFile::encodeName(m_home + "/Desktop"), kComputerItemName}));
    QString name;
    EXPECT_EQ(m_desktop->GetDisplayNameOf(items({QFile::encodeName(m_home)}).get(), kShgdnNormal, &name), kShellOk);
    EXPECT_EQ(name, "home");
    // The computer has no path (the tree shows its volumes, "/" first).
    QString path;
    EXPECT_FALSE(SHGetPathFromIDList(items({kComputerItemName}).get(), &path));
    EXPECT_EQ(attributesOf(m_desktop.get(), kComputerItemName) & (kSfgaoFolder | kSfgaoHasSubfolder | kSfgaoFileSystem | kSfgaoCanRename),
              kSfgaoFolder | kSfgaoHasSubfolder);

    // Without a desktop folder only two items remain.
    QDir(m_home + "/Desktop").removeRecursively();
    EXPECT_EQ(listNames(m_desktop.get(), kShcontfFolders).size(), 2);
    ItemIDList* list = nullptr;
    EXPECT_NE(SHGetSpecialFolderLocation(kCsidlDesktopDirectory, &list), kShellOk);
}

TEST(ShellVolumes, SystemMountsAreLeftOut)
{
    for (const auto& [root, type] : {std::pair{"/media/ann/USB STICK", "vfat"}, {"/run/media/ann/DISK", "ext4"},
                                     {"/mnt/data", "ext4"}})
        EXPECT_TRUE(isUserVolume(root, type)) << root;
    for (const auto& [root, type] :
         {std::pair{"/", "ext4"}, {"/proc", "proc"}, {"/mnt/scratch", "tmpfs"}, {"/sys/fs/cgroup/cpu", "cgroup"},
          {"/run/user/1000", "ext4"}, {"/snap/core/1", "ext4"}, {"/boot/efi", "vfat"}, {"/home/ann/.cache/doc", "fuse"}})
        EXPECT_FALSE(isUserVolume(root, type)) << root;
    const QList<ShellVolume> volumes = shellVolumes();
    ASSERT_FALSE(volumes.isEmpty());
    EXPECT_EQ(volumes.first().rootPath, "/"); // listed on its own, first
    for (const ShellVolume& v : volumes.mid(1))
        EXPECT_TRUE(isUserVolume(v.rootPath, v.fileSystemType)) << v.rootPath.toStdString();
}

TEST_F(NamespaceTest, ParsingPathsFollowsTheNearestAnchor)
{
    // Inside home: through the home item; inside the desktop folder: through that item.
    EXPECT_EQ(parsed(m_desktop.get(), m_home + "/Pictures/2024/"),
              (QList<QByteArray>{QFile::encodeName(m_home), "Pictures", "2024"}));
    ItemIDList* list = nullptr;
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
    QString path;
    ASSERT_TRUE(SHGetPathFromIDList(list, &path));
    EXPECT_EQ(path, QDir::cleanPath(outside));

    EXPECT_EQ(m_desktop->ParseDisplayName(m_home + "/missing", &list), ENOENT);
    EXPECT_EQ(list, nullptr);
    for (const QString& bad : {QString("relative/path"), "/" + QString(5000, 'a')})
        EXPECT_EQ(parsed(m_desktop.get(), bad), QList<QByteArray>{"refused"});

    // A folder parses relative paths and absolute ones below itself, and nothing above.
    auto homeFolder = bind(m_home);
    EXPECT_EQ(parsed(homeFolder.get(), "Pictures/2024/May"), (QList<QByteArray>{"Pictures", "2024", "May"}));
    EXPECT_EQ(parsed(homeFolder.get(), m_home + "/Pictures"), QList<QByteArray>{"Pictures"});
    EXPECT_EQ(parsed(homeFolder.get(), m_home + "/"), QList<QByteArray>{}); // the folder itself
    EXPECT_EQ(parsed(homeFolder.get(), "../"), QList<QByteArray>{"refused"});
    EXPECT_EQ(parsed(homeFolder.get(), m_dir.path()), QList<QByteArray>{"refused"});
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
    EXPECT_EQ(listNames(folder.get(), kShcontfNonFolders | kShcontfIncludeHidden),
              (QList<QByteArray>{".hidden.jpg", "a.jpg"}));

    const std::uint32_t folderBits = kSfgaoFolder | kSfgaoFileSystem | kSfgaoFileSysAncestor | kSfgaoHasSubfolder | kSfgaoCanRename;
    EXPECT_EQ(attributesOf(folder.get(), "2024") & (folderBits | kSfgaoLink), folderBits);
    EXPECT_FALSE(attributesOf(folder.get(), "empty") & kSfgaoHasSubfolder);
    EXPECT_EQ(attributesOf(folder.get(), "link") & (kSfgaoLink | kSfgaoFolder), kSfgaoLink | kSfgaoFolder);
    EXPECT_TRUE(attributesOf(folder.get(), ".thumbs") & kSfgaoGhosted);
    EXPECT_EQ(attributesOf(folder.get(), "a.jpg") & (kSfgaoFolder | kSfgaoFileSystem), kSfgaoFileSystem);
    EXPECT_EQ(attributesOf(folder.get(), "2024", kSfgaoFolder), kSfgaoFolder); // the mask limits the answer
    // Anchors keep their names.
    EXPECT_EQ(attributesOf(m_desktop.get(), QFile::encodeName(m_home)) & (kSfgaoCanRename | kSfgaoFileSystem),
              kSfgaoFileSystem);

    // A file cannot be bound as a folder, nor a vanished item.
    std::shared_ptr<IShellFolder> sub;
    EXPECT_EQ(folder->BindToObject(items({"a.jpg"}).get(), &sub), ENOTDIR);
    EXPECT_EQ(folder->BindToObject(items({"gone"}).get(), &sub), ENOENT);
    std::uint32_t a = kSfgaoTreeMask;
    EXPECT_EQ(folder->GetAttributesOf(items({"gone"}).get(), &a), ENOENT);
}

TEST_F(NamespaceTest, OrderIsAFileManagers)
{
    const QString base = m_home + "/Pictures";
    for (const char* d : {"file10", "file9", "Banana", "apple", "Zed", "zed"})
        QDir().mkpath(base + "/" + d);
    qvtest::writeFile(base + "/aaa.txt", "x");
    auto folder = bind(base);
    auto cmp = [&](const QList<QByteArray>& a, const QList<QByteArray>& b) {
        return folder->CompareIDs(0, items(a).get(), items(b).get());
    };
    EXPECT_LT(cmp({"file9"}, {"file10"}), 0); // numbers by value
    EXPECT_LT(cmp({"apple"}, {"Banana"}), 0); // case does not count
    EXPECT_GT(cmp({"Banana"}, {"apple"}), 0);
    EXPECT_LT(cmp({"Zed"}, {"aaa.txt"}), 0); // folders first
    EXPECT_NE(cmp({"Zed"}, {"zed"}), 0);     // different items are never the same
    EXPECT_EQ(cmp({"Zed"}, {"zed"}), -cmp({"zed"}, {"Zed"}));
    EXPECT_EQ(cmp({"apple"}, {"apple"}), 0);
    // Several levels: the first difference decides, a prefix comes first.
    EXPECT_GT(cmp({"2024", "May"}, {"2024"}), 0);
    EXPECT_LT(cmp({"2024"}, {"2024", "May"}), 0);
    EXPECT_LT(cmp({"2024"}, {"apple"}), 0);
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
    EXPECT_EQ(m_desktop->SetNameOf(items({QFile::encodeName(m_home)}).get(), "other", 0, &renamed), EPERM);
}

TEST_F(NamespaceTest, SpecialLocationsAndContextMenu)
{
    ItemIDList* list = nullptr;
    ASSERT_EQ(SHGetSpecialFolderLocation(kCsidlDrives, &list), kShellOk);
    EXPECT_EQ(IDListItems(list), QList<QByteArray>{kComputerItemName});
    FreeIDList(list);
    ASSERT_EQ(SHGetSpecialFolderLocation(kCsidlDesktopDirectory, &list), kShellOk);
    EXPECT_EQ(ShellItemKindOf(list), ShellItemKind::DesktopFolder);
    FreeIDList(list);
    EXPECT_NE(SHGetSpecialFolderLocation(kCsidlPrinters, &list), kShellOk);
    EXPECT_EQ(list, nullptr);

    auto homeFolder = bind(m_home);
    std::unique_ptr<IContextMenu> menu;
    ASSERT_EQ(homeFolder->GetUIObjectOf(items({"Pictures"}).get(), &menu), kShellOk);
    const auto commands = menu->QueryContextMenu(kCmfExplore);
    ASSERT_EQ(commands.size(), 2);
    EXPECT_EQ(commands[0].verb, "open");
    EXPECT_EQ(commands[1].verb, "properties");
    QString opened, text;
    ShellCommandHost host;
    host.openFolder = [&](const QString& p) { opened = p; return true; };
    host.showProperties = [&](const QString&, const QString& body) { text = body; };
    EXPECT_EQ(menu->InvokeCommand(0, host), kShellOk);
    EXPECT_EQ(opened, m_home + "/Pictures");
    EXPECT_EQ(menu->InvokeCommand(1, host), kShellOk);
    EXPECT_TRUE(text.contains("Contents: 1 folders, 0 files")) << text.toStdString();
    EXPECT_NE(menu->InvokeCommand(5, host), kShellOk);
    // Items without a path have no menu.
    EXPECT_NE(m_desktop->GetUIObjectOf(items({kComputerItemName}).get(), &menu), kShellOk);
}

// TFileOperation on real folders: the lists it builds, copy, move (also across file
// systems), delete to the trash, rename, collisions and a cancelled copy.
#include "fs/file_operation.h"
#include "platform/file_names.h"
#include "platform/scripted_shell_interaction.h"
#include "support/testutil.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QUrl>
#include <gtest/gtest.h>

#include <unistd.h>

using qvtest::readFile;
using qvtest::writeFile;

namespace {

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

QByteArray content(int size, char seed)
{
    QByteArray b(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        b[i] = char(seed * 31 + i * 13 + (i >> 11));
    return b;
}

class FileOperationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        op.setInteraction(&ui);
        d = QDir(tmp.path());
    }
    QTemporaryDir tmp;
    QDir d;
    ScriptedShellInteraction ui;
    TFileOperation op;
};

} // namespace

TEST(FileOperationLists, SemicolonsBecomeZerosAndTheListEndsTwice)
{
    const QString z(QChar(0));
    EXPECT_EQ(TFileOperation::zeroList("a;b"), "a" + z + "b" + z + z);
    EXPECT_EQ(TFileOperation::zeroList("a;"), "a" + z + z + z);
    EXPECT_EQ(TFileOperation::zeroList(""), z + z);
    // The list ends at the first empty name: a trailing ";" is harmless, ";;" cuts it short.
    EXPECT_EQ(qv::splitZeroList(TFileOperation::zeroList("a;b;")), QStringList({"a", "b"}));
    EXPECT_EQ(qv::splitZeroList(TFileOperation::zeroList("a;;b")), QStringList({"a"}));
    EXPECT_TRUE(qv::splitZeroList(TFileOperation::zeroList("")).isEmpty());
}

TEST_F(FileOperationTest, EmptySourceListFails)
{
    op.setOperation(foCopy);
    op.setFilesFrom("");
    op.setFilesTo(d.path());
    EXPECT_FALSE(op.Execute());
    op.setFilesFrom(";");
    EXPECT_FALSE(op.Execute());
    EXPECT_EQ(ui.begins, 0);
}

TEST_F(FileOperationTest, MoveOntoAFolderWithTheSameNameKeepsBothWithRenameOnCollision)
{
    d.mkdir("dst");
    const QByteArray newcomer = content(300000, 2);
    const QByteArray resident = content(200000, 3);
    writeFile(d.filePath("photo.jpg"), newcomer);
    writeFile(d.filePath("dst/photo.jpg"), resident);
    op.setOperation(foMove);
    op.setFlags(op.Flags() | fofRenameOnCollision);
    op.setFilesFrom(d.filePath("photo.jpg") + ";");
    op.setFilesTo(d.filePath("dst"));
    EXPECT_TRUE(op.Execute());
    EXPECT_FALSE(op.OperationAborted());
    EXPECT_TRUE(ui.replaceQuestions.isEmpty());
    EXPECT_EQ(entries(d.filePath("dst")), QStringList({"photo (2).jpg", "photo.jpg"}));
    EXPECT_EQ(readFile(d.filePath("dst/photo.jpg")), resident);
    EXPECT_EQ(readFile(d.filePath("dst/photo (2).jpg")), newcomer);
    EXPECT_FALSE(QFileInfo::exists(d.filePath("photo.jpg")));
}

TEST_F(FileOperationTest, WithoutRenameOnCollisionTheUserIsAsked)
{
    d.mkdir("dst");
    writeFile(d.filePath("photo.jpg"), "new");
    writeFile(d.filePath("dst/photo.jpg"), "old");
    op.setOperation(foCopy);
    op.setFilesFrom(d.filePath("photo.jpg"));
    op.setFilesTo(d.filePath("dst"));

    ui.replaceAnswers = {qv::ShellAnswer::No};
    EXPECT_TRUE(op.Execute());
    EXPECT_TRUE(op.OperationAborted());
    EXPECT_EQ(readFile(d.filePath("dst/photo.jpg")), "old");

    ui.replaceAnswers = {qv::ShellAnswer::Cancel};
    EXPECT_FALSE(op.Execute());
    EXPECT_TRUE(op.OperationAborted());
    EXPECT_EQ(readFile(d.filePath("dst/photo.jpg")), "old");

    ui.replaceAnswers = {qv::ShellAnswer::Yes};
    EXPECT_TRUE(op.Execute());
    EXPECT_FALSE(op.OperationAborted());
    EXPECT_EQ(readFile(d.filePath("dst/photo.jpg")), "new");
    EXPECT_EQ(ui.replaceQuestions, QStringList(3, d.filePath("dst/photo.jpg")));
    EXPECT_EQ(entries(d.filePath("dst")), QStringList({"photo.jpg"}));
}

// The main window renames the list entry only on success; a rename never replaces.
TEST_F(FileOperationTest, RenameReportsSuccessOnlyWhenTheNameChanged)
{
    writeFile(d.filePath("old.jpg"), "x");
    writeFile(d.filePath("taken.jpg"), "y");
    op.setOperation(foRename);
    op.setFlags(op.Flags() | fofNoConfirmation | fofRenameOnCollision);
    op.setFilesFrom(d.filePath("old.jpg"));
    op.setFilesTo(d.filePath("new.jpg"));
    EXPECT_TRUE(op.Execute());
    EXPECT_EQ(readFile(d.filePath("new.jpg")), "x");
    op.setFilesFrom(d.filePath("new.jpg"));
    op.setFilesTo(d.filePath("taken.jpg"));
    EXPECT_FALSE(op.Execute());
    EXPECT_EQ(readFile(d.filePath("new.jpg")), "x");
    EXPECT_EQ(readFile(d.filePath("taken.jpg")), "y");
    op.setFilesTo("bare.jpg"); // a bare name stays in the file's folder
    EXPECT_TRUE(op.Execute());
    EXPECT_EQ(entries(d.path()), QStringList({"bare.jpg", "taken.jpg"}));
}

// The trash of this test lives under its own XDG_DATA_HOME (set before any trash call),
// a folder that does not exist yet, as on a fresh account.
TEST_F(FileOperationTest, DeleteWithUndoLeavesTheFileRestorableFromTheTrash)
{
    const QString dataHome = d.filePath("xdg/data");
    const QByteArray oldDataHome = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome));

    d.mkdir("pictures");
    const QString original = d.filePath("pictures/holiday photo.jpg");
    const QByteArray bytes = content(50000, 4);
    writeFile(original, bytes);
    op.setOperation(foDelete);
    op.setFilesFrom(original + ";");
    const bool ok = op.Execute();
    qputenv("XDG_DATA_HOME", oldDataHome);
    ASSERT_TRUE(ok);
    EXPECT_EQ(ui.deleteQuestions, QStringList({original}));
    EXPECT_FALSE(QFileInfo::exists(original));

    // The home trash when this folder is on the home volume, else the volume's own.
    QString trash = dataHome + "/Trash";
    if (QStorageInfo(d.path()) != QStorageInfo(QDir::home()))
        trash = QStorageInfo(d.path()).rootPath() + "/.Trash-" + QString::number(::getuid());
    const QString info = trash + "/info/holiday photo.jpg.trashinfo";
    ASSERT_TRUE(QFileInfo::exists(info)) << info.toStdString();
    QString path;
    for (const QByteArray& line : readFile(info).split('\n')) {
        if (line.startsWith("Path="))
            path = QUrl::fromPercentEncoding(line.mid(5));
    }
    if (!path.startsWith('/'))
        path = QStorageInfo(d.path()).rootPath() + "/" + path;
    EXPECT_EQ(path, original);

    // Restoring is putting the trashed file back under the name its info gives.
    const QString trashed = trash + "/files/holiday photo.jpg";
    EXPECT_EQ(readFile(trashed), bytes);
    ASSERT_TRUE(QFile::rename(trashed, path));
    QFile::remove(info);
    EXPECT_EQ(readFile(original), bytes);
}

// Each entry of the lists is one whole name: ";" and wildcards are characters of it, a name
// that is not UTF-8 reaches its own file, and a relative name is refused, never resolved.
TEST_F(FileOperationTest, NamesAreTakenWhole)
{
    qvtest::ScopedEnv env;
    env.set("XDG_DATA_HOME", d.filePath("xdg"));
    const QByteArray root = QFile::encodeName(d.path());
    ASSERT_TRUE(d.mkpath("photos/Paris") && d.mkpath("out"));
    for (const char* decoy : {"photos/Paris/keep.jpg", "photos/x1.jpg", "photos/x2.jpg", "photos/ day 2.jpg"})
        writeFile(d.filePath(decoy), "decoy");
    for (const QByteArray& name : {QByteArray("Paris; day 2.jpg"), QByteArray("x?.jpg"), QByteArray("*.jpg"),
                                  QByteArray("caf\xe9.jpg")}) {
        const QByteArray path = root + "/photos/" + name;
        qvtest::writeFileAt(path, name);
        op.setOperation(foCopy);
        op.setSourceList({qv::decodeFileName(path)});
        op.setDestinationList({d.filePath("out")});
        EXPECT_TRUE(op.Execute()) << name.constData();
        EXPECT_EQ(qvtest::readFileAt(root + "/out/" + name), name);
        op.setOperation(foDelete); // to the trash
        EXPECT_TRUE(op.Execute()) << name.constData();
        EXPECT_FALSE(qv::pathExists(qv::decodeFileName(path)));
        EXPECT_FALSE(op.Execute()) << "a vanished name stands for nothing else";
    }
    EXPECT_EQ(entries(d.filePath("photos")), QStringList({" day 2.jpg", "Paris", "x1.jpg", "x2.jpg"}));
    EXPECT_EQ(entries(d.filePath("photos/Paris")), QStringList({"keep.jpg"}));

    const QString before = QDir::currentPath();
    QDir::setCurrent(d.filePath("photos"));
    op.setSourceList({"x1.jpg"});
    const bool relative = op.Execute();
    QDir::setCurrent(before);
    EXPECT_FALSE(relative);
    EXPECT_TRUE(QFileInfo::exists(d.filePath("photos/x1.jpg")));
}

// The dialogs let other handlers run: one that starts the operation again is refused.
TEST_F(FileOperationTest, SecondRunWhileOneRunsIsRefused)
{
    writeFile(d.filePath("a.jpg"), "A");
    d.mkdir("out");
    op.setOperation(foCopy);
    op.setSourceList({d.filePath("a.jpg")});
    op.setDestinationList({d.filePath("out")});
    int nested = -1;
    ui.onProgress = [&](const qv::ShellProgress&) {
        if (nested < 0)
            nested = op.Execute() ? 1 : 0;
    };
    EXPECT_TRUE(op.Execute());
    EXPECT_EQ(nested, 0);
    EXPECT_EQ(ui.begins, 1);
    EXPECT_EQ(entries(d.filePath("out")), QStringList({"a.jpg"}));
}

TEST_F(FileOperationTest, CancelledCopyStopsBetweenFilesAndLeavesEveryFileWhole)
{
    d.mkdir("src");
    d.mkdir("dst");
    QString from;
    for (int i = 0; i < 4; ++i) {
        const QString name = d.filePath(QString("src/%1.jpg").arg(i));
        writeFile(name, content(1500000 + i, char(i)));
        from += name + ";";
    }
    ui.cancelAtItem = 2;
    op.setOperation(foCopy);
    op.setFilesFrom(from);
    op.setFilesTo(d.filePath("dst"));
    EXPECT_FALSE(op.Execute());
    EXPECT_TRUE(op.OperationAborted());
    EXPECT_EQ(entries(d.filePath("dst")), QStringList({"0.jpg", "1.jpg"}));
    for (int i = 0; i < 4; ++i) {
        const QByteArray expected = content(1500000 + i, char(i));
        EXPECT_EQ(readFile(d.filePath(QString("src/%1.jpg").arg(i))), expected);
        if (i < 2) {
            EXPECT_EQ(readFile(d.filePath(QString("dst/%1.jpg").arg(i))), expected);
        }
    }

    // A cancel in the middle of a file drops that file's copy, never a part of it.
    ScriptedShellInteraction midFile;
    midFile.onProgress = [&](const qv::ShellProgress& p) {
        if (p.item == 1 && p.bytesDone > 0)
            midFile.cancelAtItem = 1;
    };
    op.setInteraction(&midFile);
    op.setFilesTo(d.filePath("dst2"));
    op.setFlags(op.Flags() | fofNoConfirmMkDir);
    EXPECT_FALSE(op.Execute());
    EXPECT_TRUE(op.OperationAborted());
    EXPECT_EQ(entries(d.filePath("dst2")), QStringList({"0.jpg"}));
}

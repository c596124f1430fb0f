// TFileOperation on real folders: the lists it builds, what its properties ask of the shell
// operation, delete to the trash, rename, a cancelled copy; and its dialogs in both languages.
#include "fs/file_operation.h"
#include "fs/file_operation_dialogs.h"
#include "platform/file_names.h"
#include "platform/scripted_shell_interaction.h"
#include "support/sample_data.h"
#include "support/testutil.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <gtest/gtest.h>

#include <unistd.h>

using qvtest::folderEntries;
using qvtest::patternBytes;
using qvtest::readFile;
using qvtest::writeFile;

namespace {

class FileOperationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        op.setInteraction(&ui);
        d = QDir(tmp.path());
        env.set("XDG_DATA_HOME", d.filePath("xdg/data")); // a trash of its own, not made yet
    }
    QTemporaryDir tmp;
    QDir d;
    qvtest::ScopedEnv env;
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

TEST_F(FileOperationTest, CollisionsAreAskedAboutOrRenamed)
{
    d.mkdir("dst");
    writeFile(d.filePath("photo.jpg"), "new");
    writeFile(d.filePath("dst/photo.jpg"), "old");
    op.setOperation(foCopy);
    op.setFilesFrom(d.filePath("photo.jpg"));
    op.setFilesTo(d.filePath("dst"));
    // "No" skips (done, something aborted); "Cancel" fails.
    for (const auto& [answer, done] : {std::pair{qv::ShellAnswer::No, true}, {qv::ShellAnswer::Cancel, false}}) {
        ui.replaceAnswers = {answer};
        EXPECT_EQ(op.Execute(), done);
        EXPECT_TRUE(op.OperationAborted());
    }
    EXPECT_EQ(readFile(d.filePath("dst/photo.jpg")), "old");

    // With rename on collision a move keeps both, without a question.
    op.setOperation(foMove);
    op.setFlags(op.Flags() | fofRenameOnCollision);
    EXPECT_TRUE(op.Execute());
    EXPECT_FALSE(op.OperationAborted());
    EXPECT_EQ(ui.replaceQuestions.size(), 2);
    EXPECT_EQ(readFile(d.filePath("dst/photo (2).jpg")), "new");
    EXPECT_EQ(readFile(d.filePath("dst/photo.jpg")), "old");
    EXPECT_FALSE(QFileInfo::exists(d.filePath("photo.jpg")));
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
    op.setFilesFrom(d.filePath("new.jpg"));
    op.setFilesTo(d.filePath("taken.jpg"));
    EXPECT_FALSE(op.Execute());
    EXPECT_EQ(readFile(d.filePath("new.jpg")), "x");
    EXPECT_EQ(readFile(d.filePath("taken.jpg")), "y");
    op.setFilesTo("bare.jpg"); // a bare name stays in the file's folder
    EXPECT_TRUE(op.Execute());
    EXPECT_EQ(folderEntries(d.path()), QStringList({"bare.jpg", "taken.jpg"}));
}

TEST_F(FileOperationTest, DeleteWithUndoLeavesTheFileRestorableFromTheTrash)
{
    d.mkdir("pictures");
    const QString original = d.filePath("pictures/holiday photo.jpg");
    writeFile(original, patternBytes(50000, 4));
    op.setOperation(foDelete);
    op.setFilesFrom(original + ";");
    ASSERT_TRUE(op.Execute());
    EXPECT_EQ(ui.deleteQuestions, QStringList({original}));
    EXPECT_FALSE(QFileInfo::exists(original));

    // The home trash when this folder is on the home volume, else the volume's own.
    QString trash = d.filePath("xdg/data/Trash");
    if (QStorageInfo(d.path()) != QStorageInfo(QDir::home()))
        trash = QStorageInfo(d.path()).rootPath() + "/.Trash-" + QString::number(::getuid());
    const QString info = trash + "/info/holiday photo.jpg.trashinfo";
    ASSERT_TRUE(QFileInfo::exists(info)) << info.toStdString();
    QString path;
    for (const QByteArray& line : readFile(info).split('\n'))
        if (line.startsWith("Path="))
            path = QUrl::fromPercentEncoding(line.mid(5));
    if (!path.startsWith('/'))
        path = QStorageInfo(d.path()).rootPath() + "/" + path;
    EXPECT_EQ(path, original);
    const QString trashed = trash + "/files/holiday photo.jpg";
    EXPECT_EQ(readFile(trashed), patternBytes(50000, 4));
    QFile::remove(trashed);
    QFile::remove(info);
}

// Each entry of the lists is one whole name: ";" and wildcards are characters of it, and a
// relative name is refused, never resolved.
TEST_F(FileOperationTest, NamesAreTakenWhole)
{
    ASSERT_TRUE(d.mkpath("photos/Paris") && d.mkpath("out"));
    const QStringList decoys = {"Paris/keep.jpg", "x1.jpg", "x2.jpg", " day 2.jpg"}, names = {"Paris; day 2.jpg", "x?.jpg", "*.jpg"};
    for (const QString& name : decoys + names)
        writeFile(d.filePath("photos/" + name), name.toUtf8());
    QStringList paths;
    for (const QString& name : names)
        paths << d.filePath("photos/" + name);
    op.setOperation(foCopy);
    op.setSourceList(paths);
    op.setDestinationList({d.filePath("out")});
    EXPECT_TRUE(op.Execute());
    EXPECT_EQ(folderEntries(d.filePath("out")), QStringList({"*.jpg", "Paris; day 2.jpg", "x?.jpg"}));
    op.setOperation(foDelete); // to the trash
    EXPECT_TRUE(op.Execute());
    EXPECT_EQ(folderEntries(d.filePath("photos")), QStringList({" day 2.jpg", "Paris", "x1.jpg", "x2.jpg"}));
    EXPECT_EQ(folderEntries(d.filePath("photos/Paris")), QStringList({"keep.jpg"}));

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
    EXPECT_EQ(folderEntries(d.filePath("out")), QStringList({"a.jpg"}));
}

TEST_F(FileOperationTest, CancelledCopyStopsBetweenFilesAndLeavesEveryFileWhole)
{
    d.mkdir("src");
    d.mkdir("dst");
    QString from;
    for (int i = 0; i < 4; ++i) {
        writeFile(d.filePath(QString("src/%1.jpg").arg(i)), patternBytes(1500000 + i, char(i)));
        from += d.filePath(QString("src/%1.jpg").arg(i)) + ";";
    }
    ui.cancelAtItem = 2;
    op.setOperation(foCopy);
    op.setFilesFrom(from);
    op.setFilesTo(d.filePath("dst"));
    EXPECT_FALSE(op.Execute());
    EXPECT_TRUE(op.OperationAborted());
    EXPECT_EQ(folderEntries(d.filePath("dst")), QStringList({"0.jpg", "1.jpg"}));
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(readFile(d.filePath(QString("src/%1.jpg").arg(i))), patternBytes(1500000 + i, char(i)));
        if (i < 2) {
            EXPECT_EQ(readFile(d.filePath(QString("dst/%1.jpg").arg(i))), patternBytes(1500000 + i, char(i)));
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
    EXPECT_EQ(folderEntries(d.filePath("dst2")), QStringList({"0.jpg"}));
}

// ---------------------------------------------------------------- the dialogs

TEST(FileOperationDialogs, ReplaceQuestionMapsEveryButton)
{
    FileOperationDialogs dialogs(FileOpLanguage::Italian);
    dialogs.begin(nullptr, qv::kFoCopy, QString(), true, false);
    const struct {
        const char* button;
        qv::ShellAnswer answer;
        bool moreToCome;
    } rows[] = {
        {"&Sì", qv::ShellAnswer::Yes, true},          {"Sì a &tutti", qv::ShellAnswer::YesToAll, true},
        {"&No", qv::ShellAnswer::No, true},           {"N&o a tutti", qv::ShellAnswer::NoToAll, true},
        {"Annulla", qv::ShellAnswer::Cancel, true},   {"&No", qv::ShellAnswer::No, false},
    };
    for (const auto& row : rows) {
        qvtest::MessageBoxSeen seen;
        qvtest::answerNextMessageBox(QString::fromUtf8(row.button), &seen);
        EXPECT_EQ(dialogs.askReplace("/x/a.jpg", "/x/b.jpg", false, row.moreToCome), row.answer) << row.button;
        EXPECT_TRUE(seen.text.contains("\"b.jpg\""));
        EXPECT_EQ(seen.buttons.size(), row.moreToCome ? 5 : 3); // the last item offers no "to all"
    }
    dialogs.end();
}

TEST(FileOperationDialogs, DeleteConfirmationCountsAndErrorsStop)
{
    FileOperationDialogs dialogs(FileOpLanguage::English);
    dialogs.begin(nullptr, qv::kFoDelete, QString(), true, false);
    qvtest::MessageBoxSeen seen;
    qvtest::answerNextMessageBox("&No", &seen);
    EXPECT_FALSE(dialogs.confirmDelete({"/x/a.jpg", "/x/b.jpg"}, true));
    EXPECT_EQ(seen.text, "Are you sure you want to move these 2 items to the Trash?");
    qvtest::answerNextMessageBox("&Yes", &seen);
    EXPECT_TRUE(dialogs.confirmDelete({"/x/a.jpg"}, false));
    EXPECT_EQ(seen.text, "Are you sure you want to delete \"a.jpg\" permanently?");
    qvtest::answerNextMessageBox("Cancel", &seen);
    EXPECT_FALSE(dialogs.reportError("/x/a.jpg", qv::ShellProblem::NotTrashed, QString(), true));
    dialogs.end();
}

TEST(FileOperationDialogs, ProgressCancelIsReported)
{
    FileOperationDialogs dialogs(FileOpLanguage::Italian);
    dialogs.begin(nullptr, qv::kFoCopy, "Titolo", true, true);
    qv::ShellProgress p;
    p.itemCount = 3;
    EXPECT_TRUE(dialogs.progress(p));
    QProgressDialog* shown = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* pd = qobject_cast<QProgressDialog*>(w))
            shown = pd;
    ASSERT_NE(shown, nullptr);
    EXPECT_TRUE(shown->labelText().startsWith("Titolo\n1 di 3"));
    shown->cancel();
    p.item = 1;
    EXPECT_FALSE(dialogs.progress(p));
    dialogs.end();

    // Silent operations show nothing and cannot be cancelled.
    dialogs.begin(nullptr, qv::kFoCopy, QString(), false, false);
    EXPECT_TRUE(dialogs.progress(p));
    dialogs.end();
}

TEST(FileOperationDialogs, AQuestionAskedWhileTheProgressShowsCanBeAnswered)
{
    QWidget window; // the window the operation belongs to
    window.show();
    FileOperationDialogs dialogs(FileOpLanguage::English);
    dialogs.begin(&window, qv::kFoCopy, "Copying...", true, false);
    qv::ShellProgress p;
    p.itemCount = 1;
    p.from = "/x/a.jpg";
    p.to = "/x/b.jpg";
    ASSERT_TRUE(dialogs.progress(p)); // the progress window shows itself a moment later
    QTimer::singleShot(900, [] {
        QMessageBox* box = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* b = qobject_cast<QMessageBox*>(w); b && b->isVisible())
                box = b;
        ASSERT_NE(box, nullptr);
        for (QWidget* w : QApplication::topLevelWidgets())
            if (qobject_cast<QProgressDialog*>(w)) {
                EXPECT_TRUE(w->isVisible());
            }
        // A click as the window system delivers it: a window blocked by another
        // modal one never sees it.
        for (QAbstractButton* b : box->buttons())
            if (b->text() == "&No")
                QTest::mouseClick(box->windowHandle(), Qt::LeftButton, {}, b->mapTo(box, b->rect().center()));
        QTimer::singleShot(300, box, [box] { box->done(0); }); // ends the test if the click was lost
    });
    EXPECT_EQ(dialogs.askReplace("/x/a.jpg", "/x/b.jpg", false, false), qv::ShellAnswer::No);
    dialogs.end();
}

// The shell-style file operation on real folders: list parsing, destinations, collisions,
// questions, wildcards, and that failures leave every file whole.
#include "platform/shell_file_operation.h"
#include "platform/file_names.h"
#include "platform/scripted_shell_interaction.h"
#include "support/sample_data.h"
#include "support/testutil.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <utime.h>

using namespace qv;
using qvtest::readFile;
using qvtest::folderEntries;
using qvtest::patternBytes;
using qvtest::writeFile;

namespace {

QString zeros(const QStringList& names)
{
    QString s;
    for (const QString& n : names)
        s += n + QChar(0);
    return s + QChar(0);
}

int run(unsigned function, const QStringList& from, const QStringList& to, std::uint16_t flags,
        ScriptedShellInteraction* ui, bool* aborted = nullptr, bool patterns = false)
{
    ShellFileOp op;
    op.function = function;
    op.from = zeros(from);
    op.to = zeros(to);
    op.flags = flags;
    op.namePatterns = patterns;
    const int r = shellFileOperation(op, ui);
    if (aborted)
        *aborted = op.anyOperationsAborted;
    return r;
}

dev_t lookAtDevice(const QString& path)
{
    struct stat st {};
    ::stat(QFile::encodeName(path).constData(), &st);
    return st.st_dev;
}

class ShellFileOperation : public ::testing::Test {
protected:
    QString at(const QString& name) const { return d.filePath(name); }
    int run(unsigned function, const QStringList& from, const QStringList& to, std::uint16_t flags = 0,
            bool patterns = false)
    {
        return ::run(function, from, to, flags, &ui, &aborted, patterns);
    }

    qvtest::TempDir tmp;
    QDir d{tmp.path()};
    ScriptedShellInteraction ui;
    bool aborted = false;
};

} // namespace

TEST_F(ShellFileOperation, RejectsBadFunctionsAndEmptyListsWithoutAsking)
{
    writeFile(at("a"), "a");
    EXPECT_EQ(run(9, {at("a")}, {d.path()}), kShellErrorBadFunction);
    EXPECT_EQ(run(kFoCopy, {at("a")}, {}), kShellErrorInvalidFiles);
    EXPECT_EQ(run(kFoRename, {at("a")}, {}), kShellErrorInvalidFiles);
    EXPECT_TRUE(ui.problems.isEmpty());
    EXPECT_EQ(ui.ends, ui.begins);
}

TEST_F(ShellFileOperation, CopyKeepsTimesAndModeAndNeverLeavesTemporaryFiles)
{
    const QString src = at("src.jpg"), copy = at("out/src.jpg");
    writeFile(src, patternBytes(3 * 1024 * 1024 + 17, 3));
    ASSERT_EQ(::chmod(QFile::encodeName(src).constData(), 0640), 0);
    const utimbuf times{1500000000, 1400000000};
    ASSERT_EQ(::utime(QFile::encodeName(src).constData(), &times), 0);
    d.mkdir("out");
    EXPECT_EQ(run(kFoCopy, {src}, {at("out")}), 0);
    EXPECT_EQ(readFile(copy), readFile(src));
    EXPECT_EQ(QFileInfo(copy).lastModified().toSecsSinceEpoch(), 1400000000);
    struct stat st;
    ASSERT_EQ(::stat(QFile::encodeName(copy).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(folderEntries(at("out")), QStringList({"src.jpg"}));
    // Progress came per item and during the copy, with the byte counts of the file.
    ASSERT_GE(ui.progressCalls.size(), 2);
    EXPECT_EQ(ui.progressCalls.last().bytesDone, ui.progressCalls.last().bytesTotal);
    EXPECT_EQ(ui.progressCalls.last().to, copy);
}

TEST_F(ShellFileOperation, DropOnVanishedFolderAndOtherDestinations)
{
    writeFile(at("a.jpg"), "A");
    writeFile(at("b.jpg"), "B");
    // One source and a name that does not exist: the copy takes that name.
    EXPECT_EQ(run(kFoCopy, {at("a.jpg")}, {at("renamed.jpg")}), 0);
    EXPECT_EQ(readFile(at("renamed.jpg")), "A");
    EXPECT_TRUE(ui.makeDirQuestions.isEmpty());

    // Several sources and a folder that does not exist: asked, refused, nothing happens.
    ui.makeDirAnswer = false;
    EXPECT_EQ(run(kFoCopy, {at("a.jpg"), at("b.jpg")}, {at("new")}), kShellErrorCancelled);
    EXPECT_TRUE(aborted);
    EXPECT_EQ(ui.makeDirQuestions, QStringList({at("new")}));
    EXPECT_FALSE(QFileInfo::exists(at("new")));
    // Told not to ask: the folder is made.
    EXPECT_EQ(run(kFoCopy, {at("a.jpg"), at("b.jpg")}, {at("new")}, kFofNoConfirmMkDir), 0);
    EXPECT_EQ(readFile(at("new/b.jpg")), "B");
    // A destination with a final "/" is a folder, as a drop names it: gone meanwhile, it is
    // asked about, never a new name for a single file.
    EXPECT_EQ(run(kFoMove, {at("a.jpg")}, {at("gone/")}), kShellErrorCancelled);
    EXPECT_EQ(ui.makeDirQuestions.last(), at("gone"));
    EXPECT_TRUE(QFileInfo::exists(at("a.jpg")));

    // One destination per source.
    EXPECT_EQ(run(kFoCopy, {at("a.jpg"), at("b.jpg")}, {at("x.jpg"), at("y.jpg")}, kFofMultiDestFiles), 0);
    EXPECT_EQ(readFile(at("x.jpg")) + readFile(at("y.jpg")), "AB");
    EXPECT_EQ(run(kFoCopy, {at("a.jpg"), at("b.jpg")}, {at("z.jpg")}, kFofMultiDestFiles), kShellErrorInvalidFiles);
}

TEST_F(ShellFileOperation, ReplaceQuestionAnswers)
{
    d.mkdir("src");
    d.mkdir("dst");
    QStringList all;
    auto fill = [&] {
        for (const char* n : {"1", "2", "3", "4"}) {
            writeFile(at(QString("src/") + n), QByteArray("new") + n);
            writeFile(at(QString("dst/") + n), QByteArray("old") + n);
        }
    };
    auto destination = [&] {
        QByteArray b;
        for (const char* n : {"1", "2", "3", "4"})
            b += readFile(at(QString("dst/") + n)) + " ";
        return b;
    };
    fill();
    for (const char* n : {"1", "2", "3", "4"})
        all << at(QString("src/") + n);

    // Yes, No, then "yes to all" answers the rest without asking.
    ui.replaceAnswers = {ShellAnswer::Yes, ShellAnswer::No, ShellAnswer::YesToAll};
    EXPECT_EQ(run(kFoCopy, all, {at("dst")}), 0);
    EXPECT_TRUE(aborted); // one was skipped
    EXPECT_EQ(ui.replaceQuestions.size(), 3);
    EXPECT_EQ(destination(), "new1 old2 new3 new4 ");

    // "No to all" skips every collision after the first question.
    fill();
    ui.replaceQuestions.clear();
    ui.replaceAnswers = {ShellAnswer::NoToAll};
    EXPECT_EQ(run(kFoMove, all, {at("dst")}), 0);
    EXPECT_TRUE(aborted);
    EXPECT_EQ(ui.replaceQuestions.size(), 1);
    EXPECT_EQ(folderEntries(at("src")).size(), 4);
    EXPECT_EQ(destination(), "old1 old2 old3 old4 ");

    // No confirmation: everything is replaced.
    EXPECT_EQ(run(kFoMove, all, {at("dst")}, kFofNoConfirmation), 0);
    EXPECT_FALSE(aborted);
    EXPECT_EQ(ui.replaceQuestions.size(), 1);
    EXPECT_EQ(destination(), "new1 new2 new3 new4 ");
    EXPECT_TRUE(folderEntries(at("src")).isEmpty());

    // Without an interaction nothing is replaced.
    writeFile(at("src/1"), "newer");
    EXPECT_EQ(::run(kFoMove, {at("src/1")}, {at("dst")}, 0, nullptr, &aborted), 0);
    EXPECT_TRUE(aborted);
    EXPECT_EQ(readFile(at("src/1")), "newer");
    EXPECT_EQ(readFile(at("dst/1")), "new1");
}

TEST_F(ShellFileOperation, CopyBesideItselfAndFoldersIntoThemselves)
{
    writeFile(at("a.jpg"), "A");
    EXPECT_EQ(run(kFoCopy, {at("a.jpg")}, {d.path()}), 0);
    EXPECT_EQ(readFile(at("a (2).jpg")), "A");
    EXPECT_TRUE(ui.replaceQuestions.isEmpty());
    // Moving a file onto itself is nothing to do.
    EXPECT_EQ(run(kFoMove, {at("a.jpg")}, {d.path()}), 0);
    EXPECT_EQ(readFile(at("a.jpg")), "A");

    ASSERT_TRUE(d.mkpath("tree/sub"));
    writeFile(at("tree/sub/f"), "F");
    EXPECT_EQ(run(kFoMove, {at("tree")}, {at("tree/sub")}), kShellErrorDestinationInSource);
    EXPECT_EQ(ui.problems, QList<ShellProblem>({ShellProblem::DestinationInSource}));
    EXPECT_EQ(folderEntries(at("tree/sub")), QStringList({"f"}));
    // Refused before any folder is made for it.
    EXPECT_EQ(run(kFoCopy, {at("tree")}, {at("tree/new")}, kFofNoConfirmMkDir), kShellErrorDestinationInSource);
    EXPECT_EQ(folderEntries(at("tree")), QStringList({"sub"}));

    // Keeping both names near the 255-byte limit shortens the stem, never a character.
    const QString stem = QString(124, QChar(0x00E9)) + "x"; // 249 bytes
    writeFile(at(stem + ".jpg"), "old");
    ASSERT_TRUE(d.mkpath("in"));
    writeFile(at("in/" + stem + ".jpg"), "new");
    EXPECT_EQ(run(kFoMove, {at("in/" + stem + ".jpg")}, {d.path()}, kFofRenameOnCollision), 0);
    EXPECT_EQ(readFile(at(QString(123, QChar(0x00E9)) + " (2).jpg")), "new");
    EXPECT_EQ(readFile(at(stem + ".jpg")), "old");
}

// Names whose bytes are not UTF-8 are names like any other.
TEST_F(ShellFileOperation, NamesAreTakenWholeAndLossless)
{
    const struct {
        QByteArray bytes;
        bool utf8;
    } cases[] = {{"plain.jpg", true},          {"caf\xc3\xa9 \xf0\x9f\x98\x80.jpg", true},
                 {"caf\xe9.jpg", false},        {"\xff\xfe", false},
                 {"\xc0\xaf overlong", false}, {"\xed\xa0\x80 surrogate", false},
                 {"cut \xe2\x82", false},      {"\xef\xbf\xbd real U+FFFD", true}};
    const QByteArray root = QFile::encodeName(d.path());
    ASSERT_EQ(::mkdir((root + "/album").constData(), 0700), 0);
    for (const auto& c : cases) {
        const QString name = decodeFileName(c.bytes);
        EXPECT_EQ(encodeFileName(name), c.bytes) << c.bytes.toHex().constData();
        EXPECT_EQ(name == QString::fromUtf8(c.bytes), c.utf8);
        const QByteArray shown = displayFileName(name).toUtf8();
        EXPECT_EQ(decodeFileName(shown), QString::fromUtf8(shown)) << "shown as valid text";
        qvtest::writeFileAt(root + "/album/" + c.bytes, c.bytes);
    }
    // A folder of such names is listed, copied, moved and deleted whole.
    QList<FolderEntry> listed;
    ASSERT_TRUE(listFolder(decodeFileName(root + "/album"), &listed));
    EXPECT_EQ(listed.size(), std::size(cases));
    const QString album = decodeFileName(root + "/album");
    EXPECT_EQ(run(kFoCopy, {album}, {at("copy/")}, kFofNoConfirmMkDir), 0);
    EXPECT_EQ(run(kFoMove, {album + "/" + decodeFileName(cases[2].bytes)}, {at("copy/")}), 0);
    for (const auto& c : cases)
        EXPECT_EQ(qvtest::readFileAt(root + "/copy/album/" + c.bytes), c.bytes) << c.bytes.toHex().constData();
    EXPECT_EQ(run(kFoDelete, {at("copy/album")}, {}, kFofNoConfirmation), 0);
    ASSERT_TRUE(listFolder(at("copy"), &listed)); // QDir would skip the name
    ASSERT_EQ(listed.size(), 1);
    EXPECT_EQ(encodeFileName(listed[0].name), cases[2].bytes);
    EXPECT_TRUE(ui.problems.isEmpty());
    EXPECT_EQ(run(kFoCopy, {album}, {"copy"}), kShellErrorInvalidFiles); // never resolved
    EXPECT_EQ(run(kFoDelete, {album, at("copy")}, {}, kFofNoConfirmation), 0); // beyond QTemporaryDir
}

// Across file systems a move copies, then removes only what it copied and what nobody
// changed since. Needs a second file system: a tmpfs in a private mount namespace.
TEST_F(ShellFileOperation, SourceChangedDuringCrossVolumeMoveIsKept)
{
    QString skip;
    if (!qvtest::inOwnNamespace({"-m"}, "mount -t tmpfs quorvel-test \"$QV_NS_DIR\"", &skip)) {
        if (!skip.isEmpty())
            GTEST_SKIP() << skip.toStdString();
        return;
    }
    const QDir far(qEnvironmentVariable("QV_NS_DIR"));
    ASSERT_NE(lookAtDevice(far.path()), lookAtDevice(d.path()));
    const QByteArray bytes = patternBytes(3 * 1024 * 1024, 9);
    writeFile(far.filePath("plain.jpg"), bytes);
    writeFile(far.filePath("replaced.jpg"), bytes);
    ASSERT_TRUE(far.mkpath("album/inner"));
    writeFile(far.filePath("album/a.jpg"), bytes);
    writeFile(far.filePath("album/inner/b.jpg"), "b");

    // While the copy runs another program saves a new version (by rename) or adds a file.
    bool replacedOnce = false, addedOnce = false;
    ui.onProgress = [&](const ShellProgress& p) {
        if (p.bytesDone == 0)
            return;
        if (p.from.endsWith("replaced.jpg") && !std::exchange(replacedOnce, true)) {
            writeFile(far.filePath("new.tmp"), "new version");
            ASSERT_EQ(::rename(QFile::encodeName(far.filePath("new.tmp")).constData(),
                               QFile::encodeName(far.filePath("replaced.jpg")).constData()),
                      0);
        }
        if (p.from.endsWith("album") && !std::exchange(addedOnce, true))
            writeFile(far.filePath("album/late.jpg"), "late");
    };
    EXPECT_NE(run(kFoMove, {far.filePath("plain.jpg"), far.filePath("replaced.jpg"), far.filePath("album")}, {d.path()}),
              0); // reported, never success
    EXPECT_EQ(ui.problems, QList<ShellProblem>({ShellProblem::ChangedDuringMove, ShellProblem::ChangedDuringMove}));
    EXPECT_EQ(ui.problemPaths, QStringList({far.filePath("replaced.jpg"), far.filePath("album")}));
    EXPECT_EQ(readFile(at("plain.jpg")), bytes);
    EXPECT_EQ(readFile(at("replaced.jpg")), bytes);
    EXPECT_EQ(readFile(far.filePath("replaced.jpg")), "new version");
    EXPECT_EQ(readFile(at("album/a.jpg")), bytes);
    EXPECT_EQ(readFile(at("album/inner/b.jpg")), "b");
    // Of the folder only the file that came late stays.
    EXPECT_EQ(folderEntries(far.path()), QStringList({"album", "replaced.jpg"}));
    EXPECT_EQ(folderEntries(far.filePath("album")), QStringList({"late.jpg"}));
    EXPECT_EQ(folderEntries(d.path()), QStringList({"album", "plain.jpg", "replaced.jpg"}));

    // Back across, replacing what is there.
    ui.onProgress = nullptr;
    ui.replaceAnswers = {ShellAnswer::Yes};
    EXPECT_EQ(run(kFoMove, {at("plain.jpg")}, {far.filePath("replaced.jpg")}, kFofMultiDestFiles), 0);
    EXPECT_EQ(readFile(far.filePath("replaced.jpg")), bytes);
    EXPECT_FALSE(QFileInfo::exists(at("plain.jpg")));
}

TEST_F(ShellFileOperation, FolderCollisionMergesWhenAnsweredYes)
{
    ASSERT_TRUE(d.mkpath("src/album/deep"));
    ASSERT_TRUE(d.mkpath("dst/album"));
    writeFile(at("src/album/same.jpg"), "new");
    writeFile(at("src/album/deep/only-new.jpg"), "N");
    writeFile(at("dst/album/same.jpg"), "old");
    writeFile(at("dst/album/only-old.jpg"), "O");
    ui.replaceAnswers = {ShellAnswer::Yes};
    EXPECT_EQ(run(kFoMove, {at("src/album")}, {at("dst")}), 0);
    EXPECT_EQ(ui.replaceQuestions, QStringList({at("dst/album")}));
    EXPECT_EQ(readFile(at("dst/album/same.jpg")), "new");
    EXPECT_EQ(readFile(at("dst/album/only-old.jpg")), "O");
    EXPECT_EQ(readFile(at("dst/album/deep/only-new.jpg")), "N");
    EXPECT_FALSE(QFileInfo::exists(at("src/album")));

    // A file never replaces a folder.
    writeFile(at("album"), "file");
    ui.replaceAnswers = {ShellAnswer::Yes};
    EXPECT_NE(run(kFoCopy, {at("album")}, {at("dst")}), 0);
    EXPECT_TRUE(QFileInfo(at("dst/album")).isDir());
}

TEST_F(ShellFileOperation, WildcardsHonourFilesOnly)
{
    ASSERT_TRUE(d.mkpath("src/folder"));
    writeFile(at("src/a.jpg"), "a");
    writeFile(at("src/b"), "b");
    writeFile(at("src/folder/c"), "c");
    // Unless patterns are asked for, "*" is a character like any other.
    EXPECT_EQ(run(kFoDelete, {at("src/*")}, {}, kFofNoConfirmation), kShellErrorFileNotFound);
    EXPECT_EQ(folderEntries(at("src")), QStringList({"a.jpg", "b", "folder"}));
    EXPECT_EQ(run(kFoCopy, {at("src/*.*")}, {at("files")}, kFofFilesOnly | kFofNoConfirmMkDir, true), 0);
    EXPECT_EQ(folderEntries(at("files")), QStringList({"a.jpg", "b"}));
    EXPECT_EQ(run(kFoCopy, {at("src/*")}, {at("all")}, kFofNoConfirmMkDir, true), 0);
    EXPECT_EQ(readFile(at("all/folder/c")), "c");
    EXPECT_EQ(run(kFoDelete, {at("src/*.jpg")}, {}, kFofNoConfirmation, true), 0);
    EXPECT_EQ(folderEntries(at("src")), QStringList({"b", "folder"}));
}

TEST_F(ShellFileOperation, DeleteAsksOnceAndRefusalKeepsEverything)
{
    writeFile(at("a"), "a");
    ASSERT_TRUE(d.mkpath("folder/sub"));
    writeFile(at("folder/sub/f"), "f");
    ui.deleteAnswer = false;
    EXPECT_EQ(run(kFoDelete, {at("a"), at("folder")}, {}), kShellErrorCancelled);
    EXPECT_TRUE(aborted);
    EXPECT_EQ(ui.deleteQuestions, QStringList({at("a"), at("folder")}));
    EXPECT_EQ(folderEntries(d.path()), QStringList({"a", "folder"}));

    // Told not to ask, silently: everything there goes, the missing one is reported.
    ScriptedShellInteraction quiet;
    EXPECT_EQ(::run(kFoDelete, {at("a"), at("missing"), at("folder")}, {}, kFofNoConfirmation | kFofSilent, &quiet,
                    &aborted),
              kShellErrorFileNotFound);
    EXPECT_FALSE(aborted);
    EXPECT_TRUE(quiet.deleteQuestions.isEmpty());
    EXPECT_TRUE(quiet.progressCalls.isEmpty());
    EXPECT_EQ(quiet.problemPaths, QStringList({at("missing")}));
    EXPECT_TRUE(folderEntries(d.path()).isEmpty());
}

TEST_F(ShellFileOperation, ErrorAnsweredWithCancelStopsTheRest)
{
    writeFile(at("b"), "b");
    ui.goOnAfterError = false;
    EXPECT_EQ(run(kFoCopy, {at("missing"), at("b")}, {at("out")}, kFofNoConfirmMkDir), kShellErrorCancelled);
    EXPECT_TRUE(aborted);
    EXPECT_TRUE(folderEntries(at("out")).isEmpty());

    // A pipe is refused at once rather than waited on.
    ASSERT_EQ(::mkfifo(QFile::encodeName(at("pipe")).constData(), 0600), 0);
    ui.goOnAfterError = true;
    ui.problemPaths.clear();
    EXPECT_NE(run(kFoCopy, {at("pipe"), at("b")}, {at("out")}), 0);
    EXPECT_EQ(ui.problemPaths, QStringList({at("pipe")}));
    EXPECT_EQ(folderEntries(at("out")), QStringList({"b"}));
}

// A copy that fails half-way (the file size limit stands in for a full disk) leaves the
// file it was to replace as it was and no temporary file behind.
TEST_F(ShellFileOperation, FailedCopyLeavesTheOldFileWhole)
{
    d.mkdir("dst");
    const QByteArray big = patternBytes(2 * 1024 * 1024, 5);
    writeFile(at("photo.jpg"), big);
    writeFile(at("dst/photo.jpg"), "the old picture");

    rlimit old;
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 256 * 1024;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    ui.replaceAnswers = {ShellAnswer::Yes};
    const int copied = run(kFoCopy, {at("photo.jpg")}, {at("dst")});
    const int moved = run(kFoMove, {at("photo.jpg")}, {at("dst/other.jpg")}, kFofMultiDestFiles);
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(copied, kShellErrorDiskFull);
    EXPECT_EQ(ui.problems.value(0), ShellProblem::NoSpace);
    EXPECT_EQ(readFile(at("dst/photo.jpg")), "the old picture");
    // A move on one volume is a rename, which the limit does not touch.
    EXPECT_EQ(moved, 0);
    EXPECT_EQ(readFile(at("dst/other.jpg")), big);
    EXPECT_EQ(folderEntries(at("dst")), QStringList({"other.jpg", "photo.jpg"}));
}

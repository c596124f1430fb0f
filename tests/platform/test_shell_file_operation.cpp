// The shell-style file operation on real folders: list parsing, destinations, collisions,
// questions, wildcards, and that failures leave every file whole.
#include "platform/shell_file_operation.h"
#include "platform/file_names.h"
#include "platform/scripted_shell_interaction.h"
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
        ScriptedShellInteraction& ui, bool* aborted = nullptr, bool patterns = false)
{
    ShellFileOp op;
    op.function = function;
    op.from = zeros(from);
    op.to = zeros(to);
    op.flags = flags;
    op.namePatterns = patterns;
    const int r = shellFileOperation(op, &ui);
    if (aborted)
        *aborted = op.anyOperationsAborted;
    return r;
}

// Names in a folder, dot files included (a leftover temporary copy would show here).
QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

dev_t lookAtDevice(const QString& path)
{
    struct stat st {};
    ::stat(QFile::encodeName(path).constData(), &st);
    return st.st_dev;
}

QByteArray bigContent(int size, char seed)
{
    QByteArray b(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        b[i] = char(seed + i * 7 + (i >> 9));
    return b;
}

} // namespace

TEST(ShellFileOperation, RejectsBadFunctionsAndEmptyListsWithoutAsking)
{
    QTemporaryDir tmp;
    writeFile(tmp.filePath("a"), "a");
    ScriptedShellInteraction ui;
    EXPECT_EQ(run(9, {tmp.filePath("a")}, {tmp.path()}, 0, ui), kShellErrorBadFunction);
    EXPECT_EQ(run(kFoCopy, {tmp.filePath("a")}, {}, 0, ui), kShellErrorInvalidFiles);
    EXPECT_EQ(run(kFoRename, {tmp.filePath("a")}, {}, 0, ui), kShellErrorInvalidFiles);
    EXPECT_TRUE(ui.problems.isEmpty());
    EXPECT_EQ(ui.ends, ui.begins);
}

TEST(ShellFileOperation, CopyKeepsTimesAndModeAndNeverLeavesTemporaryFiles)
{
    QTemporaryDir tmp;
    const QString src = tmp.filePath("src.jpg");
    writeFile(src, bigContent(3 * 1024 * 1024 + 17, 3));
    ASSERT_EQ(::chmod(QFile::encodeName(src).constData(), 0640), 0);
    const utimbuf times{1500000000, 1400000000};
    ASSERT_EQ(::utime(QFile::encodeName(src).constData(), &times), 0);
    QDir().mkdir(tmp.filePath("out"));

    ScriptedShellInteraction ui;
    EXPECT_EQ(run(kFoCopy, {src}, {tmp.filePath("out")}, 0, ui), 0);
    const QString copy = tmp.filePath("out/src.jpg");
    EXPECT_EQ(readFile(copy), readFile(src));
    EXPECT_EQ(QFileInfo(copy).lastModified().toSecsSinceEpoch(), 1400000000);
    struct stat st;
    ASSERT_EQ(::stat(QFile::encodeName(copy).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(entries(tmp.filePath("out")), QStringList({"src.jpg"}));
    // Progress came per item and during the copy, with the byte counts of the file.
    ASSERT_GE(ui.progressCalls.size(), 2);
    EXPECT_EQ(ui.progressCalls.last().bytesDone, ui.progressCalls.last().bytesTotal);
    EXPECT_EQ(ui.progressCalls.last().to, copy);
}

TEST(ShellFileOperation, DropOnVanishedFolderAndOtherDestinations)
{
    QTemporaryDir tmp;
    const QDir d(tmp.path());
    writeFile(d.filePath("a.jpg"), "A");
    writeFile(d.filePath("b.jpg"), "B");

    // One source and a name that does not exist: the copy takes that name.
    ScriptedShellInteraction ui;
    EXPECT_EQ(run(kFoCopy, {d.filePath("a.jpg")}, {d.filePath("renamed.jpg")}, 0, ui), 0);
    EXPECT_EQ(readFile(d.filePath("renamed.jpg")), "A");
    EXPECT_TRUE(ui.makeDirQuestions.isEmpty());

    // Several sources and a folder that does not exist: asked, refused, nothing happens.
    ui.makeDirAnswer = false;
    bool aborted = false;
    EXPECT_EQ(run(kFoCopy, {d.filePath("a.jpg"), d.filePath("b.jpg")}, {d.filePath("new")}, 0, ui, &aborted),
              kShellErrorCancelled);
    EXPECT_TRUE(aborted);
    EXPECT_EQ(ui.makeDirQuestions, QStringList({d.filePath("new")}));
    EXPECT_FALSE(QFileInfo::exists(d.filePath("new")));

    // Told not to ask: the folder is made.
    EXPECT_EQ(run(kFoCopy, {d.filePath("a.jpg"), d.filePath("b.jpg")}, {d.filePath("new")},
                  kFofNoConfirmMkDir, ui),
              0);
    EXPECT_EQ(readFile(d.filePath("new/b.jpg")), "B");

    // A destination with a final "/" is a folder, as a drop names it: gone meanwhile, it is
    // asked about, never a new name for a single file.
    ui.makeDirAnswer = false;
    EXPECT_EQ(run(kFoMove, {d.filePath("a.jpg")}, {d.filePath("gone/")}, 0, ui), kShellErrorCancelled);
    EXPECT_EQ(ui.makeDirQuestions.last(), d.filePath("gone"));
    EXPECT_TRUE(QFileInfo::exists(d.filePath("a.jpg")));
    ui.makeDirAnswer = true;

    // One destination per source.
    EXPECT_EQ(run(kFoCopy, {d.filePath("a.jpg"), d.filePath("b.jpg")}, {d.filePath("x.jpg"), d.filePath("y.jpg")},
                  kFofMultiDestFiles, ui),
              0);
    EXPECT_EQ(readFile(d.filePath("x.jpg")), "A");
    EXPECT_EQ(readFile(d.filePath("y.jpg")), "B");
    EXPECT_EQ(run(kFoCopy, {d.filePath("a.jpg"), d.filePath("b.jpg")}, {d.filePath("z.jpg")}, kFofMultiDestFiles, ui),
              kShellErrorInvalidFiles);
}

TEST(ShellFileOperation, ReplaceQuestionAnswers)
{
    QTemporaryDir tmp;
    const QDir d(tmp.path());
    d.mkdir("src");
    d.mkdir("dst");
    for (const char* n : {"1", "2", "3", "4"}) {
        writeFile(d.filePath(QString("src/") + n), QByteArray("new") + n);
        writeFile(d.filePath(QString("dst/") + n), QByteArray("old") + n);
    }
    const QStringList all = {d.filePath("src/1"), d.filePath("src/2"), d.filePath("src/3"), d.filePath("src/4")};

    // Yes, No, then "yes to all" answers the rest without asking.
    ScriptedShellInteraction ui;
    ui.replaceAnswers = {ShellAnswer::Yes, ShellAnswer::No, ShellAnswer::YesToAll};
    bool aborted = false;
    EXPECT_EQ(run(kFoCopy, all, {d.filePath("dst")}, 0, ui, &aborted), 0);
    EXPECT_TRUE(aborted); // one was skipped
    EXPECT_EQ(ui.replaceQuestions.size(), 3);
    EXPECT_EQ(readFile(d.filePath("dst/1")), "new1");
    EXPECT_EQ(readFile(d.filePath("dst/2")), "old2");
    EXPECT_EQ(readFile(d.filePath("dst/3")), "new3");
    EXPECT_EQ(readFile(d.filePath("dst/4")), "new4");

    // "No to all" skips every collision after the first question.
    for (const char* n : {"1", "2", "3", "4"})
        writeFile(d.filePath(QString("dst/") + n), QByteArray("old") + n);
    ScriptedShellInteraction skip;
    skip.replaceAnswers = {ShellAnswer::NoToAll};
    EXPECT_EQ(run(kFoMove, all, {d.filePath("dst")}, 0, skip, &aborted), 0);
    EXPECT_TRUE(aborted);
    EXPECT_EQ(skip.replaceQuestions.size(), 1);
    for (const QString& s : all)
        EXPECT_TRUE(QFileInfo::exists(s));
    EXPECT_EQ(readFile(d.filePath("dst/4")), "old4");

    // No confirmation: everything is replaced.
    ScriptedShellInteraction yes;
    EXPECT_EQ(run(kFoMove, all, {d.filePath("dst")}, kFofNoConfirmation, yes, &aborted), 0);
    EXPECT_FALSE(aborted);
    EXPECT_TRUE(yes.replaceQuestions.isEmpty());
    EXPECT_EQ(readFile(d.filePath("dst/2")), "new2");
    EXPECT_TRUE(entries(d.filePath("src")).isEmpty());
}

TEST(ShellFileOperation, WithoutAnInteractionNothingIsReplaced)
{
    QTemporaryDir tmp;
    const QDir d(tmp.path());
    d.mkdir("dst");
    writeFile(d.filePath("a"), "new");
    writeFile(d.filePath("dst/a"), "old");
    ShellFileOp op;
    op.function = kFoMove;
    op.from = zeros({d.filePath("a")});
    op.to = zeros({d.filePath("dst")});
    EXPECT_EQ(shellFileOperation(op, nullptr), 0);
    EXPECT_TRUE(op.anyOperationsAborted);
    EXPECT_EQ(readFile(d.filePath("a")), "new");
    EXPECT_EQ(readFile(d.filePath("dst/a")), "old");
}

TEST(ShellFileOperation, CopyBesideItselfAndFoldersIntoThemselves)
{
    QTemporaryDir tmp;
    const QDir d(tmp.path());
    writeFile(d.filePath("a.jpg"), "A");
    ScriptedShellInteraction ui;
    EXPECT_EQ(run(kFoCopy, {d.filePath("a.jpg")}, {d.path()}, 0, ui), 0);
    EXPECT_EQ(readFile(d.filePath("a (2).jpg")), "A");
    EXPECT_TRUE(ui.replaceQuestions.isEmpty());
    // Moving a file onto itself is nothing to do.
    EXPECT_EQ(run(kFoMove, {d.filePath("a.jpg")}, {d.path()}, 0, ui), 0);
    EXPECT_EQ(readFile(d.filePath("a.jpg")), "A");

    ASSERT_TRUE(d.mkpath("tree/sub"));
    writeFile(d.filePath("tree/sub/f"), "F");
    EXPECT_EQ(run(kFoMove, {d.filePath("tree")}, {d.filePath("tree/sub")}, 0, ui), kShellErrorDestinationInSource);
    EXPECT_EQ(ui.problems, QList<ShellProblem>({ShellProblem::DestinationInSource}));
    EXPECT_EQ(readFile(d.filePath("tree/sub/f")), "F");
    EXPECT_EQ(entries(d.filePath("tree/sub")), QStringList({"f"}));
    // Refused before any folder is made for it.
    EXPECT_EQ(run(kFoCopy, {d.filePath("tree")}, {d.filePath("tree/new")}, kFofNoConfirmMkDir, ui),
              kShellErrorDestinationInSource);
    EXPECT_EQ(entries(d.filePath("tree")), QStringList({"sub"}));

    // Keeping both names near the 255-byte limit shortens the stem, never a character.
    const QString stem = QString(124, QChar(0x00E9)) + "x"; // 249 bytes
    writeFile(d.filePath(stem + ".jpg"), "old");
    ASSERT_TRUE(d.mkpath("in"));
    writeFile(d.filePath("in/" + stem + ".jpg"), "new");
    EXPECT_EQ(run(kFoMove, {d.filePath("in/" + stem + ".jpg")}, {d.path()}, kFofRenameOnCollision, ui), 0);
    const QString kept = QString(123, QChar(0x00E9)) + " (2).jpg";
    EXPECT_EQ(readFile(d.filePath(kept)), "new");
    EXPECT_EQ(readFile(d.filePath(stem + ".jpg")), "old");
}

// Names whose bytes are not UTF-8 are names like any other.
TEST(ShellFileOperation, NamesAreTakenWholeAndLossless)
{
    struct Case {
        QByteArray bytes;
        bool utf8;
    };
    const Case cases[] = {{"plain.jpg", true},          {"caf\xc3\xa9 \xf0\x9f\x98\x80.jpg", true},
                          {"caf\xe9.jpg", false},        {"\xff\xfe", false},
                          {"\xc0\xaf overlong", false}, {"\xed\xa0\x80 surrogate", false},
                          {"cut \xe2\x82", false},      {"\xef\xbf\xbd real U+FFFD", true}};
    QTemporaryDir tmp;
    const QByteArray root = QFile::encodeName(tmp.path());
    ASSERT_EQ(::mkdir((root + "/album").constData(), 0700), 0);
    for (const Case& c : cases) {
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
    ScriptedShellInteraction ui;
    EXPECT_EQ(run(kFoCopy, {album}, {tmp.filePath("copy/")}, kFofNoConfirmMkDir, ui), 0);
    EXPECT_EQ(run(kFoMove, {album + "/" + decodeFileName(cases[2].bytes)}, {tmp.filePath("copy/")}, 0, ui), 0);
    for (const Case& c : cases)
        EXPECT_EQ(qvtest::readFileAt(root + "/copy/album/" + c.bytes), c.bytes) << c.bytes.toHex().constData();
    EXPECT_EQ(qvtest::readFileAt(root + "/copy/" + cases[2].bytes), cases[2].bytes);
    EXPECT_EQ(run(kFoDelete, {tmp.filePath("copy/album")}, {}, kFofNoConfirmation, ui), 0);
    ASSERT_TRUE(listFolder(tmp.filePath("copy"), &listed)); // QDir would skip the name
    ASSERT_EQ(listed.size(), 1);
    EXPECT_EQ(encodeFileName(listed[0].name), cases[2].bytes);
    EXPECT_TRUE(ui.problems.isEmpty());
    EXPECT_EQ(run(kFoCopy, {album}, {"copy"}, 0, ui), kShellErrorInvalidFiles); // never resolved
    EXPECT_EQ(run(kFoDelete, {album, tmp.filePath("copy")}, {}, kFofNoConfirmation, ui), 0); // beyond QTemporaryDir
}

// Across file systems a move copies, then removes only what it copied and what nobody
// changed since. Needs a second file system: a tmpfs in a private mount namespace.
TEST(ShellFileOperation, SourceChangedDuringCrossVolumeMoveIsKept)
{
    QString skip;
    if (!qvtest::inOwnNamespace({"-m"}, "mount -t tmpfs quorvel-test \"$QV_NS_DIR\"", &skip)) {
        if (!skip.isEmpty())
            GTEST_SKIP() << skip.toStdString();
        return;
    }
    const QDir far(qEnvironmentVariable("QV_NS_DIR"));
    QTemporaryDir tmp;
    const QDir near(tmp.path());
    ASSERT_NE(lookAtDevice(far.path()), lookAtDevice(near.path()));
    const QByteArray bytes = bigContent(3 * 1024 * 1024, 9);
    writeFile(far.filePath("plain.jpg"), bytes);
    writeFile(far.filePath("replaced.jpg"), bytes);
    ASSERT_TRUE(far.mkpath("album/inner"));
    writeFile(far.filePath("album/a.jpg"), bytes);
    writeFile(far.filePath("album/inner/b.jpg"), "b");

    // While the copy runs another program saves a new version (by rename) or adds a file.
    ScriptedShellInteraction ui;
    bool replacedOnce = false, addedOnce = false;
    ui.onProgress = [&](const ShellProgress& p) {
        if (p.bytesDone == 0)
            return;
        if (p.from.endsWith("replaced.jpg") && !replacedOnce) {
            replacedOnce = true;
            writeFile(far.filePath("new.tmp"), "new version");
            ASSERT_EQ(::rename(QFile::encodeName(far.filePath("new.tmp")).constData(),
                               QFile::encodeName(far.filePath("replaced.jpg")).constData()),
                      0);
        }
        if (p.from.endsWith("album") && !addedOnce) {
            addedOnce = true;
            writeFile(far.filePath("album/late.jpg"), "late");
        }
    };
    const int r = run(kFoMove, {far.filePath("plain.jpg"), far.filePath("replaced.jpg"), far.filePath("album")},
                      {near.path()}, 0, ui);
    EXPECT_NE(r, 0); // reported, never success
    EXPECT_EQ(ui.problems, QList<ShellProblem>({ShellProblem::ChangedDuringMove, ShellProblem::ChangedDuringMove}));
    EXPECT_EQ(ui.problemPaths, QStringList({far.filePath("replaced.jpg"), far.filePath("album")}));
    EXPECT_EQ(readFile(near.filePath("plain.jpg")), bytes);
    EXPECT_EQ(readFile(near.filePath("replaced.jpg")), bytes);
    EXPECT_EQ(readFile(far.filePath("replaced.jpg")), "new version");
    EXPECT_EQ(readFile(near.filePath("album/a.jpg")), bytes);
    EXPECT_EQ(readFile(near.filePath("album/inner/b.jpg")), "b");
    // Of the folder only the file that came late stays.
    EXPECT_EQ(entries(far.path()), QStringList({"album", "replaced.jpg"}));
    EXPECT_EQ(entries(far.filePath("album")), QStringList({"late.jpg"}));
    EXPECT_EQ(entries(near.path()), QStringList({"album", "plain.jpg", "replaced.jpg"}));

    // Back across, replacing what is there.
    ScriptedShellInteraction back;
    back.replaceAnswers = {ShellAnswer::Yes};
    EXPECT_EQ(run(kFoMove, {near.filePath("plain.jpg")}, {far.filePath("replaced.jpg")}, kFofMultiDestFiles, back), 0);
    EXPECT_EQ(readFile(far.filePath("replaced.jpg")), bytes);
    EXPECT_FALSE(QFileInfo::exists(near.filePath("plain.jpg")));
}

TEST(ShellFileOperation, FolderCollisionMergesWhenAnsweredYes)
{
    QTemporaryDir tmp;
    const QDir d(tmp.path());
    ASSERT_TRUE(d.mkpath("src/album/deep"));
    ASSERT_TRUE(d.mkpath("dst/album"));
    writeFile(d.filePath("src/album/same.jpg"), "new");
    writeFile(d.filePath("src/album/deep/only-new.jpg"), "N");
    writeFile(d.filePath("dst/album/same.jpg"), "old");
    writeFile(d.filePath("dst/album/only-old.jpg"), "O");

    ScriptedShellInteraction ui;
    ui.replaceAnswers = {ShellAnswer::Yes};
    EXPECT_EQ(run(kFoMove, {d.filePath("src/album")}, {d.filePath("dst")}, 0, ui), 0);
    EXPECT_EQ(ui.replaceQuestions, QStringList({d.filePath("dst/album")}));
    EXPECT_EQ(readFile(d.filePath("dst/album/same.jpg")), "new");
    EXPECT_EQ(readFile(d.filePath("dst/album/only-old.jpg")), "O");
    EXPECT_EQ(readFile(d.filePath("dst/album/deep/only-new.jpg")), "N");
    EXPECT_FALSE(QFileInfo::exists(d.filePath("src/album")));

    // A file never replaces a folder.
    writeFile(d.filePath("album"), "file");
    ui.replaceAnswers = {ShellAnswer::Yes};
    EXPECT_NE(run(kFoCopy, {d.filePath("album")}, {d.filePath("dst")}, 0, ui), 0);
    EXPECT_TRUE(QFileInfo(d.filePath("dst/album")).isDir());
}

TEST(ShellFileOperation, WildcardsHonourFilesOnly)
{
    QTemporaryDir tmp;
    const QDir d(tmp.path());
    ASSERT_TRUE(d.mkpath("src/folder"));
    writeFile(d.filePath("src/a.jpg"), "a");
    writeFile(d.filePath("src/b"), "b");
    writeFile(d.filePath("src/folder/c"), "c");
    ScriptedShellInteraction ui;
    // Unless patterns are asked for, "*" is a character like any other.
    EXPECT_EQ(run(kFoDelete, {d.filePath("src/*")}, {}, kFofNoConfirmation, ui), kShellErrorFileNotFound);
    EXPECT_EQ(entries(d.filePath("src")), QStringList({"a.jpg", "b", "folder"}));
    EXPECT_EQ(run(kFoCopy, {d.filePath("src/*.*")}, {d.filePath("files")}, kFofFilesOnly | kFofNoConfirmMkDir, ui,
                  nullptr, true),
              0);
    EXPECT_EQ(entries(d.filePath("files")), QStringList({"a.jpg", "b"}));
    EXPECT_EQ(run(kFoCopy, {d.filePath("src/*")}, {d.filePath("all")}, kFofNoConfirmMkDir, ui, nullptr, true), 0);
    EXPECT_EQ(readFile(d.filePath("all/folder/c")), "c");
    EXPECT_EQ(run(kFoDelete, {d.filePath("src/*.jpg")}, {}, kFofNoConfirmation, ui, nullptr, true), 0);
    EXPECT_EQ(entries(d.filePath("src")), QStringList({"b", "folder"}));
}

TEST(ShellFileOperation, DeleteAsksOnceAndRefusalKeepsEverything)
{
    QTemporaryDir tmp;
    const QDir d(tmp.path());
    writeFile(d.filePath("a"), "a");
    ASSERT_TRUE(d.mkpath("folder/sub"));
    writeFile(d.filePath("folder/sub/f"), "f");
    ScriptedShellInteraction ui;
    ui.deleteAnswer = false;
    bool aborted = false;
    EXPECT_EQ(run(kFoDelete, {d.filePath("a"), d.filePath("folder")}, {}, 0, ui, &aborted), kShellErrorCancelled);
    EXPECT_TRUE(aborted);
    EXPECT_EQ(ui.deleteQuestions, QStringList({d.filePath("a"), d.filePath("folder")}));
    EXPECT_EQ(entries(d.path()), QStringList({"a", "folder"}));

    // Told not to ask, silently: everything there goes, the missing one is reported.
    ScriptedShellInteraction quiet;
    EXPECT_EQ(run(kFoDelete, {d.filePath("a"), d.filePath("missing"), d.filePath("folder")}, {},
                  kFofNoConfirmation | kFofSilent, quiet, &aborted),
              kShellErrorFileNotFound);
    EXPECT_FALSE(aborted);
    EXPECT_TRUE(quiet.deleteQuestions.isEmpty());
    EXPECT_TRUE(quiet.progressCalls.isEmpty());
    EXPECT_EQ(quiet.problemPaths, QStringList({d.filePath("missing")}));
    EXPECT_TRUE(entries(d.path()).isEmpty());
}

TEST(ShellFileOperation, ErrorAnsweredWithCancelStopsTheRest)
{
    QTemporaryDir tmp;
    const QDir d(tmp.path());
    writeFile(d.filePath("b"), "b");
    ScriptedShellInteraction ui;
    ui.goOnAfterError = false;
    bool aborted = false;
    EXPECT_EQ(run(kFoCopy, {d.filePath("missing"), d.filePath("b")}, {d.filePath("out")}, kFofNoConfirmMkDir, ui,
                  &aborted),
              kShellErrorCancelled);
    EXPECT_TRUE(aborted);
    EXPECT_TRUE(entries(d.filePath("out")).isEmpty());

    // A pipe is refused at once rather than waited on.
    ASSERT_EQ(::mkfifo(QFile::encodeName(d.filePath("pipe")).constData(), 0600), 0);
    ScriptedShellInteraction pipe;
    EXPECT_NE(run(kFoCopy, {d.filePath("pipe"), d.filePath("b")}, {d.filePath("out")}, 0, pipe), 0);
    EXPECT_EQ(pipe.problemPaths, QStringList({d.filePath("pipe")}));
    EXPECT_EQ(entries(d.filePath("out")), QStringList({"b"}));
}

// A copy that fails half-way (the file size limit stands in for a full disk) leaves the
// file it was to replace as it was and no temporary file behind.
TEST(ShellFileOperation, FailedCopyLeavesTheOldFileWhole)
{
    QTemporaryDir tmp;
    const QDir d(tmp.path());
    d.mkdir("dst");
    const QByteArray big = bigContent(2 * 1024 * 1024, 5);
    writeFile(d.filePath("photo.jpg"), big);
    writeFile(d.filePath("dst/photo.jpg"), "the old picture");

    rlimit old;
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 256 * 1024;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    ScriptedShellInteraction ui;
    ui.replaceAnswers = {ShellAnswer::Yes};
    const int copied = run(kFoCopy, {d.filePath("photo.jpg")}, {d.filePath("dst")}, 0, ui);
    const int moved = run(kFoMove, {d.filePath("photo.jpg")}, {d.filePath("dst/other.jpg")}, kFofMultiDestFiles, ui);
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(copied, kShellErrorDiskFull);
    EXPECT_EQ(ui.problems.value(0), ShellProblem::NoSpace);
    EXPECT_EQ(readFile(d.filePath("dst/photo.jpg")), "the old picture");
    // A move on one volume is a rename, which the limit does not touch.
    EXPECT_EQ(moved, 0);
    EXPECT_EQ(readFile(d.filePath("dst/other.jpg")), big);
    EXPECT_EQ(entries(d.filePath("dst")), QStringList({"other.jpg", "photo.jpg"}));
}

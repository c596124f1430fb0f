// qvtool thumbs and cache, from outside: the cache pair written and listed back, from a
// folder named relative to where the tool runs.
#include "test_pictures.h"
#include "testutil.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace qvtest;

TEST(QvtoolThumbs, WritesAPairThatCacheListsBackForARelativeFolder)
{
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir("pics"));
    const QString pics = dir.filePath("pics");
    saveSolidBmp(pics + "/b.bmp", Qt::red, 40, 30);
    saveSolidBmp(pics + "/a.bmp", Qt::blue, 352, 176);
    writeFile(pics + "/readme.txt", "x");

    const QString before = QDir::currentPath();
    QDir::setCurrent(dir.path()); // the tool runs in the folder above
    const ToolResult scan = runQvtool({"thumbs", "pics", "--size", "3"});
    const ToolResult list = runQvtool({"cache", "pics", "--strip", "strip.png"});
    const ToolResult again = runQvtool({"thumbs", "pics"}); // uses the pair
    QDir::setCurrent(before);

    ASSERT_EQ(scan.exitCode, 0) << scan.err.toStdString();
    EXPECT_TRUE(scan.out.startsWith("2 pictures in ")) << scan.out.toStdString();
    EXPECT_TRUE(scan.out.contains("\nread ")) << scan.out.toStdString();
    EXPECT_TRUE(QFile::exists(pics + "/qvthimgs.thi"));
    EXPECT_TRUE(readFile(pics + "/qvthtxts.tht").startsWith("3\r\n2\r\n"));

    ASSERT_EQ(list.exitCode, 0) << list.err.toStdString();
    const QList<QByteArray> lines = list.out.trimmed().split('\n');
    ASSERT_EQ(lines.size(), 2);
    const QList<QByteArray> f = lines[0].split('\t');
    ASSERT_EQ(f.size(), 8);
    const qint64 kb = QFileInfo(pics + "/a.bmp").size() / 1024 + 1;
    EXPECT_EQ(f[0], QString("A.BMP\\r352x176 %1Kb").arg(kb).toUtf8());
    EXPECT_EQ(f[1], "1");
    EXPECT_EQ(f[2], (pics + "/a.bmp").toUtf8());
    EXPECT_EQ(f[3], "File format bmp");
    EXPECT_EQ(f[7], "1");
    EXPECT_EQ(QImage(dir.filePath("strip.png")).size(), QSize(480, 120)); // frame and two thumbnails of 120 pixels

    ASSERT_EQ(again.exitCode, 0) << again.err.toStdString();
    EXPECT_TRUE(again.out.startsWith("2 pictures in ")) << again.out.toStdString();
    EXPECT_EQ(runQvtool({"thumbs", pics, "--rebuild", "--size", "1"}).exitCode, 0);
    EXPECT_TRUE(readFile(pics + "/qvthtxts.tht").startsWith("1\r\n"));
}

TEST(QvtoolThumbs, UsageAndMissingThings)
{
    QTemporaryDir dir;
    EXPECT_EQ(runQvtool({"thumbs"}).exitCode, 2);
    EXPECT_EQ(runQvtool({"thumbs", dir.path(), "--size", "9"}).exitCode, 2);
    EXPECT_EQ(runQvtool({"thumbs", dir.filePath("none")}).exitCode, 1);
    const ToolResult r = runQvtool({"cache", dir.path()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("no thumbnail cache"));
}

// qvtool thumbs and cache, from outside: damaged cache pairs, relative folders.
#include "testutil.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

void picture(const QString& path, QColor c, int w = 40, int h = 30)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(c);
    ASSERT_TRUE(img.save(path, "BMP"));
}

} // namespace

TEST(QvtoolThumbs, WritesAPairThatCacheListsBack)
{
    QTemporaryDir dir;
    picture(dir.filePath("b.bmp"), Qt::red);
    picture(dir.filePath("a.bmp"), Qt::blue, 352, 176);
    qvtest::writeFile(dir.filePath("readme.txt"), "x");

    auto r = qvtest::runQvtool({"thumbs", dir.path(), "--size", "3"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.startsWith("2 pictures in ")) << r.out.toStdString();
    EXPECT_TRUE(QFile::exists(dir.filePath("qvthimgs.thi")));
    EXPECT_TRUE(QFile::exists(dir.filePath("qvthtxts.tht")));
    EXPECT_TRUE(qvtest::readFile(dir.filePath("qvthtxts.tht")).startsWith("3\r\n2\r\n"));

    const QString strip = dir.filePath("strip.png");
    r = qvtest::runQvtool({"cache", dir.path(), "--strip", strip});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QList<QByteArray> lines = r.out.trimmed().split('\n');
    ASSERT_EQ(lines.size(), 2);
    const QList<QByteArray> f = lines[0].split('\t');
    ASSERT_EQ(f.size(), 8);
    const qint64 kb = QFileInfo(dir.filePath("a.bmp")).size() / 1024 + 1;
    EXPECT_EQ(f[0], QString("A.BMP\\r352x176 %1Kb").arg(kb).toUtf8());
    EXPECT_EQ(f[1], "1");
    EXPECT_EQ(f[2], dir.filePath("a.bmp").toUtf8());
    EXPECT_EQ(f[3], "File format bmp");
    EXPECT_EQ(f[7], "1");
    const QImage s(strip);
    EXPECT_EQ(s.size(), QSize(480, 120)); // frame and two thumbnails of 120 pixels

    // A second run uses the pair; --rebuild makes it anew.
    EXPECT_EQ(qvtest::runQvtool({"thumbs", dir.path()}).exitCode, 0);
    EXPECT_EQ(qvtest::runQvtool({"thumbs", dir.path(), "--rebuild", "--size", "1"}).exitCode, 0);
    EXPECT_TRUE(qvtest::readFile(dir.filePath("qvthtxts.tht")).startsWith("1\r\n"));
}

TEST(QvtoolThumbs, UsageAndMissingThings)
{
    QTemporaryDir dir;
    EXPECT_EQ(qvtest::runQvtool({"thumbs"}).exitCode, 2);
    EXPECT_EQ(qvtest::runQvtool({"thumbs", dir.path(), "--size", "9"}).exitCode, 2);
    EXPECT_EQ(qvtest::runQvtool({"thumbs", dir.filePath("none")}).exitCode, 1);
    const auto r = qvtest::runQvtool({"cache", dir.path()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("no thumbnail cache"));
}

TEST(QvtoolThumbs, ReadsARelativeFolderAndWritesItsCacheThere)
{
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir("pics"));
    for (const char* name : {"a.bmp", "b.bmp"}) {
        QImage img(40, 30, QImage::Format_RGB32);
        img.fill(Qt::darkCyan);
        ASSERT_TRUE(img.save(dir.filePath(QString("pics/") + name), "BMP"));
    }
    const QString before = QDir::currentPath();
    QDir::setCurrent(dir.path()); // the tool runs in this folder
    const auto scan = qvtest::runQvtool({"thumbs", "pics", "--rebuild"});
    const auto again = qvtest::runQvtool({"thumbs", "pics"});
    const auto list = qvtest::runQvtool({"cache", "pics"});
    QDir::setCurrent(before);

    ASSERT_EQ(scan.exitCode, 0) << scan.err.toStdString();
    EXPECT_TRUE(scan.out.startsWith("2 pictures in ")) << scan.out.toStdString();
    EXPECT_TRUE(scan.out.contains("\nread ")) << scan.out.toStdString();
    EXPECT_TRUE(QFile::exists(dir.filePath("pics/qvthimgs.thi")));
    EXPECT_TRUE(QFile::exists(dir.filePath("pics/qvthtxts.tht")));
    ASSERT_EQ(again.exitCode, 0) << again.err.toStdString();
    EXPECT_TRUE(again.out.startsWith("2 pictures in ")) << again.out.toStdString();
    ASSERT_EQ(list.exitCode, 0) << list.err.toStdString();
    EXPECT_TRUE(list.out.contains(QDir(dir.path()).absoluteFilePath("pics/a.bmp").toUtf8()));
    EXPECT_TRUE(list.out.contains("40x30"));
}

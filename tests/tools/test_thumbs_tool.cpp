// qvtool thumbs and cache on a folder named relative to the working directory.
#include "support/testutil.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(ThumbsTool, ReadsARelativeFolderAndWritesItsCacheThere)
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

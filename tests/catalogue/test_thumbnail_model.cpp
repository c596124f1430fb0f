// Thumbnail geometry, item texts and the sorted list model.
#include "catalogue/path_list.h"
#include "catalogue/thumbnail_geometry.h"
#include "catalogue/thumbnail_model.h"

#include <QAbstractItemModelTester>
#include <QMimeData>
#include <QUrl>
#include <gtest/gtest.h>

using thumbs::fitRect;

TEST(ThumbnailGeometry, FittedRectangles)
{
    const struct {
        int width, height, box, left, top, right, bottom;
    } cases[] = {
        {352, 176, thumbs::boxSize(2), 1, 22, 88, 66}, // wider: h = 44, top 22
        {100, 300, thumbs::boxSize(1), 19, 1, 38, 58}, // taller: w = 19, left 19
        {10, 10, 118, 1, 0, 118, 118},                 // a tiny square is enlarged to the box's height
    };
    for (const auto& c : cases) {
        const auto r = fitRect(c.width, c.height, c.box);
        EXPECT_EQ(QList<int>({r.left, r.top, r.right, r.bottom}), QList<int>({c.left, c.top, c.right, c.bottom}))
            << c.width << "x" << c.height;
    }
    EXPECT_EQ(thumbs::boxSize(7), 88); // an odd size is the middle one
}

TEST(ThumbnailTexts, CaptionAndExtension)
{
    EXPECT_EQ(thumbs::caption("mare.jpg", "640x480", 58000), QString("MARE.JPG\r640x480 57Kb"));
    EXPECT_EQ(thumbs::upperAscii("città.jpg"), QString("CITTà.JPG")); // only a to z
    EXPECT_EQ(thumbs::extensionKey("/a.b/holiday.JPEG"), QString("jpeg"));
    EXPECT_EQ(thumbs::extensionKey("/a.b/noext"), QString());
}

TEST(PathListTest, ExactIdentityAndOrder)
{
    PathList l;
    for (const char* p : {"/p/B.jpg", "/p/a.jpg", "/p/A.jpg", "/p/a.jpg"})
        l.add(p);
    EXPECT_EQ(l.count(), 3); // names differ by case, the same name twice counts once
    EXPECT_FALSE(l.contains("/p/b.jpg"));
    EXPECT_EQ(l.sorted().last(), QString("/p/B.jpg"));
    EXPECT_TRUE(l.remove("/p/A.jpg"));
    EXPECT_FALSE(l.remove("/p/A.jpg"));
}

namespace {
ThumbnailRecord rec(const QString& caption, const QString& path)
{
    return {caption, 0, {path, "File format jpg", "1x1", "10", "", "0"}};
}
} // namespace

TEST(ThumbnailModel, StaysSortedThroughAddsCaptionChangesAndRemovals)
{
    ThumbnailListModel m;
    QAbstractItemModelTester tester(&m, QAbstractItemModelTester::FailureReportingMode::Fatal);
    for (const char* n : {"DELTA.JPG", "ALPHA.JPG", "CHARLIE.JPG", "BRAVO.JPG", "ECHO.JPG"})
        m.addItem(rec(n, QString("/p/") + n));
    auto captions = [&] {
        QStringList out;
        for (int i = 0; i < m.count(); ++i)
            out << m.item(i).Caption.section('\r', 0, 0);
        return out;
    };
    EXPECT_EQ(captions(), QStringList({"ALPHA.JPG", "BRAVO.JPG", "CHARLIE.JPG", "DELTA.JPG", "ECHO.JPG"}));
    // A caption change moves the item both ways.
    int row = m.setCaption(0, "ZULU.JPG");
    EXPECT_EQ(row, 4);
    row = m.setCaption(4, "AARDVARK.JPG");
    EXPECT_EQ(row, 0);
    row = m.setCaption(2, "CHARLIE.JPG\r1x1 1Kb");
    EXPECT_EQ(row, 2);
    EXPECT_TRUE(m.hasPath("/p/ALPHA.JPG"));
    EXPECT_EQ(m.rowOfPath("/p/DELTA.JPG"), 3);
    m.setSubItem(3, SubPath, "/q/moved.jpg");
    EXPECT_FALSE(m.hasPath("/p/DELTA.JPG"));
    EXPECT_EQ(m.rowOfPath("/q/moved.jpg"), 3);
    // Equal captions, and one path listed twice: the first row a plain walk finds.
    auto walk = [&](const QString& path) {
        for (int i = 0; i < m.count(); ++i)
            if (m.item(i).SubItems[SubPath] == path)
                return i;
        return -1;
    };
    for (const char* path : {"/p/twice.jpg", "/p/twice.jpg", "/p/third.jpg"})
        m.addItem(rec("CHARLIE.JPG\r1x1 1Kb", path));
    for (int removed = 0; removed < 2; ++removed) {
        for (const char* path : {"/p/twice.jpg", "/p/third.jpg", "/p/CHARLIE.JPG", "/q/moved.jpg"})
            EXPECT_EQ(m.rowOfPath(path), walk(path)) << path;
        m.removeItem(walk("/p/twice.jpg"));
    }
    m.removeIf([](const ThumbnailRecord& r) { return r.SubItems[SubPath].startsWith("/p/t"); });
    // Removal in runs keeps the rest in order.
    m.removeIf([](const ThumbnailRecord& r) { return r.Caption.startsWith('B') || r.Caption.startsWith('E'); });
    EXPECT_EQ(captions(), QStringList({"AARDVARK.JPG", "CHARLIE.JPG", "DELTA.JPG"}));
    EXPECT_FALSE(m.hasPath("/p/ECHO.JPG"));
    m.clear();
    EXPECT_EQ(m.count(), 0);
    EXPECT_FALSE(m.hasPath("/p/ALPHA.JPG"));
}

TEST(ThumbnailModel, ShowsImagesAndDragsFileUrls)
{
    ThumbnailListModel m;
    ImageList list(60);
    QImage red(60, 60, QImage::Format_RGB32);
    red.fill(Qt::red);
    list.add(red);
    m.setImageList(&list);
    m.addItem(rec("A.JPG\r1x1 1Kb", "/p/a b.jpg"));
    EXPECT_EQ(m.data(m.index(0), Qt::DisplayRole).toString(), QString("A.JPG\n1x1 1Kb"));
    EXPECT_EQ(m.data(m.index(0), Qt::ToolTipRole).toString(), QString("A.JPG\n1x1 1Kb\n/p/a b.jpg"));
    EXPECT_EQ(m.data(m.index(0), Qt::DecorationRole).value<QImage>().pixel(5, 5), QColor(Qt::red).rgb());
    EXPECT_EQ(m.data(m.index(0), ThumbnailListModel::SubItemRole + SubFormat).toString(), QString("File format jpg"));
    std::unique_ptr<QMimeData> mime(m.mimeData({m.index(0)}));
    ASSERT_EQ(mime->urls().size(), 1);
    EXPECT_EQ(mime->urls()[0].toLocalFile(), QString("/p/a b.jpg"));
    // An index outside the image list shows nothing rather than failing.
    m.setImageIndex(0, 7);
    EXPECT_TRUE(m.data(m.index(0), Qt::DecorationRole).value<QImage>().isNull());
}

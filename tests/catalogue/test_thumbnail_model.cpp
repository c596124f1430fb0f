// Thumbnail geometry, item texts and the sorted list model.
#include "catalogue/path_list.h"
#include "catalogue/thumbnail_geometry.h"
#include "catalogue/thumbnail_model.h"

#include <QAbstractItemModelTester>
#include <QMimeData>
#include <QUrl>
#include <cstdint>
#include <gtest/gtest.h>

using thumbs::fitRect;

TEST(ThumbnailGeometry, FittedRectangles)
{
    // 352 x 176 at size 2: wider, so h = 44, top 22.
    auto r = fitRect(352, 176, thumbs::boxSize(2));
    EXPECT_EQ(r.left, 1);
    EXPECT_EQ(r.top, 22);
    EXPECT_EQ(r.right, 88);
    EXPECT_EQ(r.bottom, 66);
    // 100 x 300 at size 1: taller, w = 19, left 19.
    r = fitRect(100, 300, thumbs::boxSize(1));
    EXPECT_EQ(r.left, 19);
    EXPECT_EQ(r.top, 1);
    EXPECT_EQ(r.right, 38);
    EXPECT_EQ(r.bottom, 58);
    // A square fills the box; a tiny picture is enlarged.
    r = fitRect(10, 10, 118);
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(r.bottom, 118);
    EXPECT_EQ(thumbs::boxSize(7), 88);
    EXPECT_EQ(thumbs::thumbSize(3), 120);
}

TEST(ThumbnailTexts, CaptionKilobytesAndFormat)
{
    EXPECT_EQ(thumbs::kilobytes(0), 1);
    EXPECT_EQ(thumbs::kilobytes(1023), 1);
    EXPECT_EQ(thumbs::kilobytes(1024), 2);
    EXPECT_EQ(thumbs::caption("mare.jpg", "640x480", 58000), QString("MARE.JPG\r640x480 57Kb"));
    EXPECT_EQ(thumbs::upperAscii("città.jpg"), QString("CITTà.JPG")); // only a to z
    EXPECT_EQ(thumbs::formatText("JPEG", false), QString("File format jpeg"));
    EXPECT_EQ(thumbs::formatText("tif", true), QString("File di tipo tif"));
    EXPECT_EQ(thumbs::extensionKey("/a.b/holiday.JPEG"), QString("jpeg"));
    EXPECT_EQ(thumbs::extensionKey("/a.b/noext"), QString());
}

TEST(PathListTest, ExactIdentityAndOrder)
{
    PathList l;
    l.add("/p/B.jpg");
    l.add("/p/a.jpg");
    l.add("/p/A.jpg");
    l.add("/p/a.jpg");
    EXPECT_EQ(l.count(), 3);
    EXPECT_TRUE(l.contains("/p/A.jpg"));
    EXPECT_FALSE(l.contains("/p/b.jpg"));
    const QStringList s = l.sorted();
    EXPECT_EQ(s.last(), QString("/p/B.jpg"));
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
    EXPECT_TRUE(m.hasPath("/q/moved.jpg"));
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
    EXPECT_EQ(m.data(m.index(0), Qt::DecorationRole).value<QImage>().pixel(5, 5), QColor(Qt::red).rgb());
    EXPECT_EQ(m.data(m.index(0), ThumbnailListModel::SubItemRole + SubFormat).toString(), QString("File format jpg"));
    std::unique_ptr<QMimeData> mime(m.mimeData({m.index(0)}));
    ASSERT_EQ(mime->urls().size(), 1);
    EXPECT_EQ(mime->urls()[0].toLocalFile(), QString("/p/a b.jpg"));
    // An index outside the image list shows nothing rather than failing.
    m.setImageIndex(0, 7);
    EXPECT_TRUE(m.data(m.index(0), Qt::DecorationRole).value<QImage>().isNull());
}

TEST(ThumbnailModel, RowOfPathAgreesWithAWalkThroughTheList)
{
    // Many items, equal captions, a path listed twice, captions changed both
    // ways and removals: the row found by sort key is the first one a plain
    // walk finds.
    ThumbnailListModel m;
    auto walk = [&](const QString& path) {
        for (int i = 0; i < m.count(); ++i)
            if (m.item(i).SubItems[SubPath] == path)
                return i;
        return -1;
    };
    std::uint32_t seed = 99;
    auto next = [&] { return seed = seed * 1664525u + 1013904223u, int(seed >> 8); };
    QStringList paths;
    for (int i = 0; i < 300; ++i) {
        const QString path = QString("/p/f%1.jpg").arg(next() % 200); // some paths twice
        m.addItem(rec(QString("F%1.JPG").arg(next() % 40), path));  // many equal captions
        paths << path;
    }
    for (int i = 0; i < 300; ++i) {
        const int row = next() % m.count();
        m.setCaption(row, QString("F%1.JPG\r1x1 1Kb").arg(next() % 60));
        if (i % 7 == 0)
            m.removeItem(next() % m.count());
    }
    m.removeIf([&](const ThumbnailRecord& r) { return r.Caption.startsWith("F1"); });
    paths << "/p/none.jpg";
    for (const QString& p : paths)
        ASSERT_EQ(m.rowOfPath(p), walk(p)) << qPrintable(p);
}

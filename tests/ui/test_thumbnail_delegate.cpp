// A thumbnail cell keeps its caption inside itself, and a name too long for
// the cell shows its beginning, cut with an ellipsis (the list's tooltip
// carries it whole).
#include "ui/thumbnail_delegate.h"

#include <QPainter>
#include <QStandardItemModel>
#include <gtest/gtest.h>

TEST(ThumbnailCell, LongNameShowsItsBeginningInsideTheCell)
{
    // Heavy letters first, then dots: the ink tells which part is shown.
    const QString name = "WWW" + QString(150, '.') + "JPG";
    QStandardItemModel model;
    model.appendRow(new QStandardItem(name));
    ThumbnailDelegate delegate;
    delegate.setThumbnailSize(90);
    QImage canvas(600, 200, QImage::Format_RGB32);
    canvas.fill(Qt::white);
    QStyleOptionViewItem option;
    option.fontMetrics = QFontMetrics(option.font);
    const QSize cell = delegate.cellSize(option.fontMetrics);
    ASSERT_GT(option.fontMetrics.horizontalAdvance(name), cell.width());
    option.rect = QRect(QPoint(250, 10), cell);
    option.palette.setColor(QPalette::Text, Qt::black);
    {
        QPainter p(&canvas);
        delegate.paint(&p, option, model.index(0, 0));
    }
    const auto inkIn = [&](int left, int right, int top, int bottom) {
        int ink = 0;
        for (int y = top; y <= bottom; ++y)
            for (int x = left; x <= right; ++x)
                ink += canvas.pixel(x, y) != qRgb(255, 255, 255);
        return ink;
    };
    const QRect r = option.rect;
    EXPECT_EQ(inkIn(0, r.left() - 1, 0, canvas.height() - 1), 0);
    EXPECT_EQ(inkIn(r.right() + 1, canvas.width() - 1, 0, canvas.height() - 1), 0);
    const int top = r.bottom() - 2 * option.fontMetrics.height();
    const int quarter = r.width() / 4;
    EXPECT_GT(inkIn(r.left(), r.left() + quarter, top, r.bottom()),
              3 * inkIn(r.right() - quarter, r.right(), top, r.bottom()));
}

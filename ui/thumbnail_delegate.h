// Draws one item of the thumbnail list: the framed thumbnail with its caption
// of up to two lines (file name, then pixel and byte size) below it.
#pragma once
#include <QStyledItemDelegate>

class ThumbnailDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit ThumbnailDelegate(QObject* parent = nullptr) : QStyledItemDelegate(parent) {}

    // The side of the thumbnails and the cell every item gets.
    void setThumbnailSize(int side) { m_side = side; }
    QSize cellSize(const QFontMetrics& fm) const;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    int m_side = 90;
};

#include "ui/thumbnail_list_view.h"

#include <QDrag>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QSet>

ThumbnailListView::ThumbnailListView(QWidget* parent) : QListView(parent)
{
    setDragEnabled(true);
    setDragDropMode(QAbstractItemView::DragOnly);
}

QModelIndexList ThumbnailListView::selectedInOrder() const
{
    QModelIndexList out;
    if (!selectionModel())
        return out;
    // Selection ranges keep the order they were made in; a range is listed top down.
    QSet<QModelIndex> seen;
    for (const QItemSelectionRange& range : selectionModel()->selection())
        for (const QModelIndex& i : range.indexes())
            if (!seen.contains(i)) {
                seen.insert(i);
                out << i;
            }
    return out;
}

void ThumbnailListView::mousePressEvent(QMouseEvent* e)
{
    m_leftPress = e->button() == Qt::LeftButton;
    QListView::mousePressEvent(e);
}

void ThumbnailListView::startDrag(Qt::DropActions supportedActions)
{
    // Only the left button drags; a right press is for the popup menu.
    if (!m_leftPress || !model())
        return;
    const QModelIndexList items = selectedInOrder();
    if (items.isEmpty())
        return;
    QMimeData* data = model()->mimeData(items);
    if (!data)
        return;
    auto* drag = new QDrag(this);
    drag->setMimeData(data);
    Qt::DropAction plain = Qt::CopyAction;
    if (m_onStartDrag)
        plain = m_onStartDrag(drag, items);
    // Whatever the target does with the files, the list follows the folder
    // through the change monitor, never by removing rows here.
    const Qt::DropAction done = drag->exec(supportedActions | Qt::CopyAction | Qt::MoveAction, plain);
    m_leftPress = false;
    if (m_onEndDrag)
        m_onEndDrag(done);
}

QPixmap thumbnailDragPicture(const QPixmap& thumbnail, int count)
{
    const QSize side = thumbnail.isNull() ? QSize(48, 48) : thumbnail.deviceIndependentSize().toSize();
    const int offset = count > 1 ? 6 : 0;
    const int badge = count > 1 ? 22 : 0;
    QPixmap out(side.width() + offset + badge / 2, side.height() + offset + badge / 2);
    out.fill(Qt::transparent);
    QPainter p(&out);
    p.setRenderHint(QPainter::Antialiasing);
    const QPoint origin(0, badge / 2);
    if (count > 1) {
        p.setOpacity(0.45);
        p.fillRect(QRect(origin + QPoint(offset, offset), side), QColor(235, 235, 235));
        p.setPen(QColor(90, 90, 90));
        p.drawRect(QRect(origin + QPoint(offset, offset), side - QSize(1, 1)));
    }
    p.setOpacity(0.75);
    if (thumbnail.isNull())
        p.fillRect(QRect(origin, side), QColor(220, 220, 220));
    else
        p.drawPixmap(origin, thumbnail);
    if (count > 1) {
        p.setOpacity(1.0);
        const QString text = count > 999 ? QStringLiteral("999+") : QString::number(count);
        QFont f = p.font();
        f.setBold(true);
        f.setPixelSize(11);
        p.setFont(f);
        const int w = std::max(badge, QFontMetrics(f).horizontalAdvance(text) + 10);
        const QRectF r(out.width() - w, 0, w, badge);
        QPainterPath pill;
        pill.addRoundedRect(r, badge / 2.0, badge / 2.0);
        p.fillPath(pill, QColor(200, 40, 40));
        p.setPen(Qt::white);
        p.drawText(r, Qt::AlignCenter, text);
    }
    return out;
}

// Thumbnail list items.
#include "ui/thumbnail_delegate.h"

#include <QApplication>
#include <QPainter>

QSize ThumbnailDelegate::cellSize(const QFontMetrics& fm) const
{
    return {std::max(m_side + 24, 112), m_side + 2 * fm.height() + 10};
}

QSize ThumbnailDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const
{
    return cellSize(option.fontMetrics);
}

void ThumbnailDelegate::paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const QRect cell = option.rect;
    const bool selected = option.state & QStyle::State_Selected;
    const bool hover = option.state & QStyle::State_MouseOver;
    const QPalette& pal = option.palette;
    p->save();

    const QRect picture(cell.left() + (cell.width() - m_side) / 2, cell.top() + 3, m_side, m_side);
    const QImage image = index.data(Qt::DecorationRole).value<QImage>();
    if (!image.isNull())
        p->drawImage(picture, image);
    if (selected) {
        QColor veil = pal.color(QPalette::Highlight);
        veil.setAlpha(70);
        p->fillRect(picture, veil);
    }

    // The caption's lines: the name, then the size text when the thumbnail is made.
    QString text = index.data(Qt::DisplayRole).toString();
    const QStringList lines = text.split(QLatin1Char('\n'));
    const QFontMetrics& fm = option.fontMetrics;
    const int width = cell.width() - 4;
    QRect textRect(cell.left() + 2, picture.bottom() + 3, width, fm.height() * int(std::min<qsizetype>(2, lines.size())));
    if (selected || hover) {
        QRect back = textRect.adjusted(-1, 0, 1, 1);
        int widest = 0;
        for (qsizetype i = 0; i < lines.size() && i < 2; ++i)
            widest = std::max(widest, std::min(width, fm.horizontalAdvance(lines[i])));
        back.setLeft(cell.left() + (cell.width() - widest) / 2 - 2);
        back.setWidth(widest + 4);
        p->fillRect(back, selected ? pal.color(QPalette::Highlight) : pal.color(QPalette::AlternateBase));
    }
    p->setPen(pal.color(selected ? QPalette::HighlightedText : QPalette::Text));
    for (qsizetype i = 0; i < lines.size() && i < 2; ++i) {
        const QRect line(textRect.left(), textRect.top() + int(i) * fm.height(), width, fm.height());
        p->drawText(line, Qt::AlignHCenter | Qt::AlignVCenter, fm.elidedText(lines[i], Qt::ElideRight, width));
    }
    if (option.state & QStyle::State_HasFocus) {
        QPen pen(pal.color(QPalette::Highlight), 1, Qt::DotLine);
        p->setPen(pen);
        p->setBrush(Qt::NoBrush);
        p->drawRect(cell.adjusted(0, 0, -1, -1));
    }
    p->restore();
}

// The thumbnail list: an icon view whose items can be dragged out as files.
#pragma once
#include <QListView>
#include <functional>

class QDrag;

class ThumbnailListView : public QListView {
    Q_OBJECT
public:
    explicit ThumbnailListView(QWidget* parent = nullptr);

    // Called once the pointer has passed the drag distance with the left
    // button down on a selected item: the owner dresses the drag (its picture)
    // and gives the action a plain drop should take.
    using StartDragHandler = std::function<Qt::DropAction(QDrag* drag, const QModelIndexList& items)>;
    void setOnStartDrag(StartDragHandler handler) { m_onStartDrag = std::move(handler); }
    // Called when the drag has ended, dropped or not.
    void setOnEndDrag(std::function<void(Qt::DropAction)> handler) { m_onEndDrag = std::move(handler); }

    // The selected items in the order they were selected.
    QModelIndexList selectedInOrder() const;

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void startDrag(Qt::DropActions supportedActions) override;

private:
    StartDragHandler m_onStartDrag;
    std::function<void(Qt::DropAction)> m_onEndDrag;
    bool m_leftPress = false;
};

// The picture that follows the pointer: the thumbnail, half see-through, and
// for several items a second frame behind it and a badge with their number.
QPixmap thumbnailDragPicture(const QPixmap& thumbnail, int count);

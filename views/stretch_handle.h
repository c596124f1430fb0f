// Move and resize handles: a frame of grab squares laid over a control that
// lets the user move it, or resize it from eight grab points, on a grid.
#pragma once
#include "platform/errors.h"

#include <QColor>
#include <QList>
#include <QPointer>
#include <QRect>
#include <QWidget>

class QRubberBand;

// Attaching a window rather than a control.
QV_DECLARE_ERROR(EBadChild);
inline constexpr char kBadChildText[] = "Handles can not be attached to a Form!";

namespace handles {

enum GrabMode { Move = 0, TopLeft, TopRight, BottomLeft, BottomRight, Top, Left, Bottom, Right };

// A control's rectangle grown to the frame: 2 pixels left and above, 3 right and below.
QRect frameAround(const QRect& control);
// The reverse: the rectangle of the controls inside a frame.
QRect insideFrame(const QRect& frame);

// The grab point under `p` for a frame of `size` (frame coordinates): corners
// within 5 pixels, side middles within 3 pixels along the side and 5 across;
// later tests win in the order top-left, bottom-right, top-right,
// bottom-left, top, bottom, left, right.
GrabMode grabModeAt(QPoint p, QSize size);

// The drag offset limited so that the frame's top-left corner stays inside
// the parent's client area (it may reach past the right and bottom edges).
QPoint limitOffset(QPoint offset, const QRect& frame, QSize parent);

// Where a drag of `offset` in `mode` takes the controls' rectangle: moved
// edges land on the grid (steps gridX, gridY, 1 = every pixel), the opposite
// edges stay, and width and height are at least 5.
QRect draggedRect(GrabMode mode, const QRect& control, QPoint offset, int gridX, int gridY);

// A control's new rectangle when the frame goes from oldFrame to newFrame:
// it keeps its offset and its size difference to the frame.
QRect followFrame(const QRect& control, const QRect& oldFrame, const QRect& newFrame);

} // namespace handles

class TStretchHandle : public QWidget {
    Q_OBJECT
public:
    explicit TStretchHandle(QWidget* parent = nullptr);

    // Lays the frame over the control (and the ones already attached, when
    // they share its parent). Throws EBadChild for a window.
    void Attach(QWidget* control);
    // Lets go of every control; the frame hides.
    void Detach();
    bool Attached() const { return !m_controls.isEmpty(); }
    const QList<QPointer<QWidget>>& controls() const { return m_controls; }

    QColor Color() const { return m_color; }
    void setColor(const QColor& c);
    QColor SecondaryColor() const { return m_secondaryColor; }
    void setSecondaryColor(const QColor& c);
    bool Locked() const { return m_locked; }
    void setLocked(bool locked);
    int GridX() const { return m_gridX; }
    int GridY() const { return m_gridY; }
    void setGridX(int step); // kept within 1..32
    void setGridY(int step);
    // On when either step is 2 or more; switching it sets both steps to 8 or to 1.
    bool SnapToGrid() const { return m_gridX >= 2 || m_gridY >= 2; }
    void setSnapToGrid(bool on);

    // Sets the frame's bounds and lays the controls inside it (nothing while locked).
    void setFrameBounds(const QRect& frame);
    handles::GrabMode grabMode() const { return m_mode; }
    bool dragging() const { return m_dragging; }

signals:
    void mousePressed(QMouseEvent* e);
    void mouseMoved(QMouseEvent* e);
    void mouseReleased(QMouseEvent* e);

protected:
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    QRect controlsRect() const; // the union of the attached controls, in parent coordinates
    QRect pendingFrame(QPoint globalPos) const;
    void showFeedback(const QRect& frame);
    void updateCursor(QPoint p);

    QList<QPointer<QWidget>> m_controls;
    QColor m_color = Qt::black;
    QColor m_secondaryColor = QColor(0x80, 0x80, 0x80);
    bool m_locked = false;
    int m_gridX = 1, m_gridY = 1;
    bool m_dragging = false;
    QPoint m_pressGlobal;
    handles::GrabMode m_mode = handles::Move;
    QRubberBand* m_feedback = nullptr;
};

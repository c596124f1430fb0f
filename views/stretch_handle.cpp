// Move and resize handles: geometry as plain functions, the frame as a widget.
#include "views/stretch_handle.h"

#include <QMouseEvent>
#include <QPainter>
#include <QRubberBand>
#include <algorithm>
#include <cstdlib>

namespace handles {

namespace {

int snap(int v, int step) { return v / step * step; } // toward zero, as the grid has always done

constexpr int kMinSide = 5;

} // namespace

QRect frameAround(const QRect& control) { return control.adjusted(-2, -2, 3, 3); }
QRect insideFrame(const QRect& frame) { return frame.adjusted(2, 2, -3, -3); }

GrabMode grabModeAt(QPoint p, QSize size)
{
    const int x = p.x(), y = p.y();
    const int right = size.width(), bottom = size.height();
    const int midX = right / 2, midY = bottom / 2;
    auto near = [](int a, int b, int within) { return std::abs(a - b) < within; };
    GrabMode mode = Move;
    if (near(x, 0, 5) && near(y, 0, 5))
        mode = TopLeft;
    if (near(x, right, 5) && near(y, bottom, 5))
        mode = BottomRight;
    if (near(x, right, 5) && near(y, 0, 5))
        mode = TopRight;
    if (near(x, 0, 5) && near(y, bottom, 5))
        mode = BottomLeft;
    if (near(x, midX, 3) && near(y, 0, 5))
        mode = Top;
    if (near(x, midX, 3) && near(y, bottom, 5))
        mode = Bottom;
    if (near(y, midY, 3) && near(x, 0, 5))
        mode = Left;
    if (near(y, midY, 3) && near(x, right, 5))
        mode = Right;
    return mode;
}

QPoint limitOffset(QPoint offset, const QRect& frame, QSize parent)
{
    const int dx = std::clamp(offset.x(), -frame.left(), std::max(-frame.left(), parent.width() - frame.left()));
    const int dy = std::clamp(offset.y(), -frame.top(), std::max(-frame.top(), parent.height() - frame.top()));
    return {dx, dy};
}

QRect draggedRect(GrabMode mode, const QRect& control, QPoint offset, int gridX, int gridY)
{
    gridX = std::max(1, gridX);
    gridY = std::max(1, gridY);
    int left = control.left(), top = control.top();
    int right = left + control.width(), bottom = top + control.height(); // exclusive
    const int dx = offset.x(), dy = offset.y();
    const bool movesLeft = mode == TopLeft || mode == BottomLeft || mode == Left;
    const bool movesTop = mode == TopLeft || mode == TopRight || mode == Top;
    const bool movesRight = mode == TopRight || mode == BottomRight || mode == Right;
    const bool movesBottom = mode == BottomLeft || mode == BottomRight || mode == Bottom;

    if (mode == Move) {
        const int l = snap(left + dx, gridX), t = snap(top + dy, gridY);
        return {l, t, control.width(), control.height()};
    }
    if (movesLeft)
        left = std::min(snap(left + dx, gridX), right - kMinSide);
    if (movesTop)
        top = std::min(snap(top + dy, gridY), bottom - kMinSide);
    if (movesRight)
        right = left + std::max(kMinSide, snap(control.width() + dx, gridX));
    if (movesBottom)
        bottom = top + std::max(kMinSide, snap(control.height() + dy, gridY));
    return {left, top, right - left, bottom - top};
}

QRect followFrame(const QRect& control, const QRect& oldFrame, const QRect& newFrame)
{
    return {control.left() - oldFrame.left() + newFrame.left(), control.top() - oldFrame.top() + newFrame.top(),
            control.width() - oldFrame.width() + newFrame.width(),
            control.height() - oldFrame.height() + newFrame.height()};
}

} // namespace handles

using namespace handles;

TStretchHandle::TStretchHandle(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_NoSystemBackground);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    resize(24, 24);
    hide();
    setEnabled(false);
}

void TStretchHandle::setColor(const QColor& c)
{
    m_color = c;
    update();
}

void TStretchHandle::setSecondaryColor(const QColor& c)
{
    m_secondaryColor = c;
    update();
}

void TStretchHandle::setLocked(bool locked)
{
    m_locked = locked;
    setCursor(locked ? Qt::ForbiddenCursor : Qt::ArrowCursor);
}

void TStretchHandle::setGridX(int step) { m_gridX = std::clamp(step, 1, 32); }
void TStretchHandle::setGridY(int step) { m_gridY = std::clamp(step, 1, 32); }

void TStretchHandle::setSnapToGrid(bool on)
{
    setGridX(on ? 8 : 1);
    setGridY(on ? 8 : 1);
}

QRect TStretchHandle::controlsRect() const
{
    QRect r;
    for (const QPointer<QWidget>& c : m_controls)
        if (c)
            r = r.isNull() ? c->geometry() : r.united(c->geometry());
    return r;
}

void TStretchHandle::Attach(QWidget* control)
{
    if (!control || control->isWindow())
        throw EBadChild(QString::fromLatin1(kBadChildText));
    if (m_controls.contains(control))
        return;
    if (!m_controls.isEmpty() && m_controls.first() && m_controls.first()->parentWidget() != control->parentWidget())
        Detach();
    if (parentWidget() != control->parentWidget())
        setParent(control->parentWidget());
    m_controls.append(control);
    setEnabled(true);
    setGeometry(frameAround(controlsRect()));
    show();
    m_mode = Move;
    raise();
    if (isVisible() && isEnabled())
        setFocus();
    update();
}

void TStretchHandle::Detach()
{
    m_controls.clear();
    m_locked = false;
    m_dragging = false;
    m_mode = Move;
    if (m_feedback)
        m_feedback->hide();
    hide();
    setEnabled(false);
    resize(24, 24);
    unsetCursor();
}

void TStretchHandle::setFrameBounds(const QRect& frame)
{
    if (m_locked)
        return;
    const QRect old = geometry();
    for (const QPointer<QWidget>& c : m_controls)
        if (c)
            c->setGeometry(followFrame(c->geometry(), old, frame));
    setGeometry(frame);
    update();
}

QRect TStretchHandle::pendingFrame(QPoint globalPos) const
{
    const QSize parentSize = parentWidget() ? parentWidget()->size() : QSize();
    const QPoint offset = limitOffset(globalPos - m_pressGlobal, geometry(), parentSize);
    return frameAround(draggedRect(m_mode, insideFrame(geometry()), offset, m_gridX, m_gridY));
}

void TStretchHandle::showFeedback(const QRect& frame)
{
    if (!parentWidget())
        return;
    if (!m_feedback)
        m_feedback = new QRubberBand(QRubberBand::Rectangle, parentWidget());
    else if (m_feedback->parentWidget() != parentWidget())
        m_feedback->setParent(parentWidget());
    m_feedback->setGeometry(insideFrame(frame));
    m_feedback->show();
    m_feedback->raise();
}

void TStretchHandle::updateCursor(QPoint p)
{
    if (m_locked) {
        setCursor(Qt::ForbiddenCursor);
        return;
    }
    m_mode = m_controls.size() == 1 ? grabModeAt(p, size()) : Move;
    switch (m_mode) {
    case TopLeft:
    case BottomRight: setCursor(Qt::SizeFDiagCursor); break;
    case TopRight:
    case BottomLeft: setCursor(Qt::SizeBDiagCursor); break;
    case Top:
    case Bottom: setCursor(Qt::SizeVerCursor); break;
    case Left:
    case Right: setCursor(Qt::SizeHorCursor); break;
    case Move: setCursor(Qt::ArrowCursor); break;
    }
}

void TStretchHandle::mousePressEvent(QMouseEvent* e)
{
    const QPoint inParent = mapToParent(e->position().toPoint());
    bool onControl = false;
    for (const QPointer<QWidget>& c : m_controls)
        if (c && c->geometry().adjusted(-2, -2, 2, 2).contains(inParent))
            onControl = true;
    if (!onControl) {
        e->ignore(); // the control beneath gets the press
        return;
    }
    if (e->button() == Qt::LeftButton && !m_locked) {
        m_pressGlobal = e->globalPosition().toPoint();
        m_dragging = true;
    }
    emit mousePressed(e);
}

void TStretchHandle::mouseMoveEvent(QMouseEvent* e)
{
    if (!m_dragging) {
        updateCursor(e->position().toPoint());
        if ((e->buttons() & Qt::LeftButton) && !m_locked && Attached()) {
            m_pressGlobal = e->globalPosition().toPoint();
            m_dragging = true;
        }
        emit mouseMoved(e);
        return;
    }
    showFeedback(pendingFrame(e->globalPosition().toPoint()));
    emit mouseMoved(e);
}

void TStretchHandle::mouseReleaseEvent(QMouseEvent* e)
{
    if (e->button() == Qt::LeftButton && m_dragging) {
        const QPoint global = e->globalPosition().toPoint();
        const QSize parentSize = parentWidget() ? parentWidget()->size() : QSize();
        if (limitOffset(global - m_pressGlobal, geometry(), parentSize) != QPoint())
            setFrameBounds(pendingFrame(global));
        if (m_feedback)
            m_feedback->hide();
        if (isVisible() && isEnabled())
            setFocus();
        m_dragging = false;
        setCursor(m_locked ? Qt::ForbiddenCursor : Qt::ArrowCursor);
    }
    emit mouseReleased(e);
}

void TStretchHandle::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QColor fill = m_controls.size() == 1 ? m_color : m_secondaryColor;
    for (const QPointer<QWidget>& c : m_controls) {
        if (!c)
            continue;
        const QRect g = c->geometry().adjusted(-2, -2, 2, 2).translated(-pos());
        const int xs[3] = {g.left(), g.center().x() - 2, g.right() - 4};
        const int ys[3] = {g.top(), g.center().y() - 2, g.bottom() - 4};
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) {
                const bool corner = i != 1 && j != 1;
                const bool middle = (i == 1) != (j == 1);
                if (corner || (middle && m_controls.size() == 1))
                    p.fillRect(QRect(xs[i], ys[j], 5, 5), fill);
            }
    }
}

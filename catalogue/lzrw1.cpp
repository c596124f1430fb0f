// Tlzrw1: property forwarding to the codec, the status caption and its painting.
#include "lzrw1.h"

#include <QCoreApplication>
#include <QPainter>

Tlzrw1::Tlzrw1(QWidget* parent) : QFrame(parent)
{
    setFrameStyle(QFrame::Panel | QFrame::Raised);
    // Kept out of sight unless the owner shows it.
    hide();
    m_codec.setStatusHandler([this](const QString& text) {
        if (isVisible()) {
            setCaption(text);
            repaint();
        }
    });
    // Long work runs on the calling (user-interface) thread: let pending
    // events through after every read and write.
    m_codec.setIdleHandler([] { QCoreApplication::processEvents(); });
}

void Tlzrw1::setCaption(const QString& text)
{
    if (text == m_caption)
        return;
    m_caption = text;
    update();
}

void Tlzrw1::paintEvent(QPaintEvent* event)
{
    QFrame::paintEvent(event);
    QPainter painter(this);
    painter.drawText(contentsRect(), Qt::AlignCenter, m_caption);
}

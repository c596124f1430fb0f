// The compressor's status panel: its caption and its painting.
#include "ui/lzrw1_status_panel.h"

#include <QCoreApplication>
#include <QPainter>
#include <QPointer>

Lzrw1StatusPanel::Lzrw1StatusPanel(QWidget* parent) : QFrame(parent)
{
    setFrameStyle(QFrame::Panel | QFrame::Raised);
    hide();
}

void Lzrw1StatusPanel::setCaption(const QString& text)
{
    if (text == m_caption)
        return;
    m_caption = text;
    update();
}

std::function<void(const QString&)> Lzrw1StatusPanel::statusHandler()
{
    // The codec may outlive the panel.
    return [panel = QPointer<Lzrw1StatusPanel>(this)](const QString& text) {
        if (panel && panel->isVisible()) {
            panel->setCaption(text);
            panel->repaint();
        }
    };
}

std::function<void()> Lzrw1StatusPanel::idleHandler()
{
    return [] { QCoreApplication::processEvents(); };
}

void Lzrw1StatusPanel::paintEvent(QPaintEvent* event)
{
    QFrame::paintEvent(event);
    QPainter painter(this);
    painter.drawText(contentsRect(), Qt::AlignCenter, m_caption);
}

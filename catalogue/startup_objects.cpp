// Creation of the start-up objects from the program's resources.
#include "catalogue/startup_objects.h"

#include "platform/settings.h"

#include <QPainter>

namespace {

QImage resourceImage(const QString& name, int fallbackSize)
{
    QImage img(":/" + name);
    if (img.isNull()) { // resources not linked (a bare test program): a plain square
        img = QImage(fallbackSize, fallbackSize, QImage::Format_RGB32);
        img.fill(Qt::lightGray);
    }
    return img.convertToFormat(QImage::Format_RGB32);
}

} // namespace

void StartupObjects::resetList(int s)
{
    lists[s].clear();
    lists[s].frameIndex = lists[s].add(frames[s]);
}

void StartupObjects::paintFrames(quint32 bkCol, quint32 bdCol)
{
    for (QImage& f : frames) {
        const int w = f.width(), h = f.height();
        QPainter p(&f);
        // The inner square is outlined with the pen left from the last painting:
        // black the first time, the border colour afterwards.
        p.setPen(m_framesPainted ? colorFromRef(bdCol) : QColor(Qt::black));
        p.setBrush(colorFromRef(bkCol));
        p.drawRect(1, 1, w - 4, h - 4); // (1,1)-(W-2,H-2), right and bottom exclusive
        p.setPen(QPen(colorFromRef(bdCol), 1));
        p.setBrush(Qt::NoBrush);
        p.drawRect(0, 0, w - 1, h - 1);
    }
    m_framesPainted = true;
}

StartupObjects& startupObjects()
{
    static StartupObjects* objects = [] {
        auto* o = new StartupObjects; // lives to the end of the process
        const int sizes[3] = {60, 90, 120};
        for (int i = 0; i < 3; ++i) {
            o->work[i] = QImage(sizes[i], sizes[i], QImage::Format_RGB32);
            o->noPicture[i] = resourceImage(QString("NOIMG%1").arg(sizes[i]), sizes[i]);
            o->frames[i] = resourceImage(QString("RIQUADRO%1").arg(sizes[i]), sizes[i]);
            o->resetList(i);
        }
        o->backTool = QPixmap::fromImage(resourceImage("BACKTOOL", 64));
        o->editWork = QImage(1, 1, QImage::Format_RGB888);
        return o;
    }();
    return *objects;
}

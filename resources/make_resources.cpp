// Draws Quorvel's bitmaps (placeholders, frames, toolbar background, splash
// picture, toolbar glyphs and the program's icon at its six sizes) into a
// folder, with a .qrc that names them.
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QRandomGenerator>
#include <cmath>
#include <functional>

namespace {

QString outDir;
QStringList names;

void save(const QString& name, const QImage& img)
{
    img.save(outDir + '/' + name + ".png");
    names << name;
}

// The frame around every thumbnail: a filled square with a one-pixel shadow
// line inside its right and bottom border.
QImage frame(int s)
{
    QImage img(s, s, QImage::Format_RGB32);
    img.fill(QColor(0xC0, 0xC0, 0xC0));
    QPainter p(&img);
    p.setPen(QColor(0x80, 0x80, 0x80));
    p.drawLine(s - 2, 1, s - 2, s - 2);
    p.drawLine(1, s - 2, s - 2, s - 2);
    p.setPen(Qt::black);
    p.drawRect(0, 0, s - 1, s - 1);
    return img;
}

// "No picture": a torn photograph with a red cross.
QImage noPicture(int s)
{
    QImage img(s, s, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal m = s * 0.16;
    QRectF photo(m, m * 1.2, s - 2 * m, s - 2.6 * m);
    QLinearGradient sky(photo.topLeft(), photo.bottomLeft());
    sky.setColorAt(0, QColor(150, 190, 235));
    sky.setColorAt(1, QColor(225, 235, 245));
    p.setPen(QPen(QColor(90, 90, 90), std::max(1.0, s / 60.0)));
    p.setBrush(sky);
    p.drawRect(photo);
    QPainterPath hills;
    hills.moveTo(photo.left(), photo.bottom());
    hills.lineTo(photo.left(), photo.top() + photo.height() * 0.7);
    hills.cubicTo(photo.left() + photo.width() * 0.3, photo.top() + photo.height() * 0.35,
                  photo.left() + photo.width() * 0.5, photo.top() + photo.height() * 0.9,
                  photo.right(), photo.top() + photo.height() * 0.55);
    hills.lineTo(photo.right(), photo.bottom());
    hills.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(110, 160, 90));
    p.drawPath(hills);
    p.setBrush(QColor(250, 210, 80));
    p.drawEllipse(QPointF(photo.right() - photo.width() * 0.22, photo.top() + photo.height() * 0.28),
                  photo.width() * 0.09, photo.width() * 0.09);
    p.setPen(QPen(QColor(200, 30, 30), s / 14.0, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(s * 0.25, s * 0.25), QPointF(s * 0.75, s * 0.75));
    p.drawLine(QPointF(s * 0.75, s * 0.25), QPointF(s * 0.25, s * 0.75));
    return img;
}

// Toolbar background: a soft brushed-metal gradient that tiles horizontally.
QImage backTool()
{
    const int w = 256, h = 64;
    QImage img(w, h, QImage::Format_RGB32);
    QRandomGenerator rng(1971);
    for (int y = 0; y < h; ++y) {
        const double t = double(y) / (h - 1);
        const int base = int(236 - 28 * t + 10 * std::sin(t * 3.1));
        for (int x = 0; x < w; ++x) {
            const int n = int(rng.bounded(7)) - 3;
            const int v = std::clamp(base + n, 0, 255);
            img.setPixel(x, y, qRgb(v - 6, v - 2, std::min(255, v + 6)));
        }
    }
    return img;
}

// The splash picture: a landscape at dusk behind a stack of photographs.
QImage splash()
{
    const int w = 388, h = 269;
    QImage img(w, h, QImage::Format_RGB32);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, h);
    sky.setColorAt(0, QColor(196, 218, 246));
    sky.setColorAt(0.55, QColor(244, 190, 140));
    sky.setColorAt(1, QColor(250, 214, 150));
    p.fillRect(img.rect(), sky);
    QRadialGradient sun(w * 0.72, h * 0.62, 60);
    sun.setColorAt(0, QColor(255, 246, 200));
    sun.setColorAt(1, QColor(255, 200, 120, 0));
    p.setBrush(sun);
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(w * 0.72, h * 0.62), 60, 60);
    QPainterPath hills;
    hills.moveTo(0, h);
    hills.lineTo(0, h * 0.72);
    hills.cubicTo(w * 0.25, h * 0.58, w * 0.45, h * 0.82, w * 0.7, h * 0.7);
    hills.cubicTo(w * 0.85, h * 0.64, w * 0.95, h * 0.7, w, h * 0.68);
    hills.lineTo(w, h);
    p.setBrush(QColor(40, 52, 70));
    p.drawPath(hills);
    // A fan of three photographs in the lower left.
    const QColor tints[] = {QColor(120, 170, 220), QColor(230, 180, 110), QColor(120, 190, 120)};
    for (int i = 0; i < 3; ++i) {
        p.save();
        p.translate(w * 0.26, h * 0.66);
        p.rotate(-18 + i * 14);
        p.setBrush(Qt::white);
        p.setPen(QPen(QColor(60, 60, 60), 1));
        p.drawRect(QRectF(-50, -38, 100, 76));
        p.setBrush(tints[i]);
        p.drawRect(QRectF(-44, -32, 88, 56));
        p.restore();
    }
    return img;
}

using Painter = std::function<void(QPainter&, qreal)>;

// A 24-pixel toolbar glyph drawn by `paint` on a transparent square.
void glyph(const QString& name, const Painter& paint)
{
    const int s = 24;
    QImage img(s, s, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    paint(p, s);
    p.end();
    save(name, img);
}

void arrowHead(QPainter& p, QPointF tip, qreal angleDeg, qreal len)
{
    const qreal a = angleDeg * M_PI / 180.0;
    QPolygonF head;
    head << tip << tip - QPointF(std::cos(a - 0.5) * len, std::sin(a - 0.5) * len)
         << tip - QPointF(std::cos(a + 0.5) * len, std::sin(a + 0.5) * len);
    p.drawPolygon(head);
}

void drawGlyphs()
{
    const QColor ink(40, 60, 110);
    const QPen pen(ink, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);

    glyph("GLYPH_READ", [&](QPainter& p, qreal) {
        p.setPen(QPen(QColor(150, 110, 20), 1.2));
        p.setBrush(QColor(240, 200, 90));
        p.drawRect(QRectF(2.5, 6.5, 19, 14));
        p.setBrush(QColor(250, 220, 120));
        p.drawRect(QRectF(2.5, 4.5, 8, 3));
        p.setBrush(Qt::white);
        p.setPen(QPen(QColor(60, 60, 60), 1));
        p.drawRect(QRectF(6.5, 9.5, 11, 8));
        p.fillRect(QRectF(7.5, 10.5, 9, 6), QColor(120, 170, 220));
    });
    glyph("GLYPH_OPEN", [&](QPainter& p, qreal) {
        p.setPen(QPen(QColor(60, 60, 60), 1));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(2.5, 4.5, 19, 15));
        QLinearGradient g(0, 5, 0, 19);
        g.setColorAt(0, QColor(110, 160, 230));
        g.setColorAt(1, QColor(200, 225, 250));
        p.fillRect(QRectF(4, 6, 16, 12), g);
        p.setBrush(QColor(90, 150, 80));
        p.setPen(Qt::NoPen);
        p.drawPolygon(QPolygonF({QPointF(4, 18), QPointF(10, 11), QPointF(14, 15), QPointF(17, 12), QPointF(20, 18)}));
    });
    glyph("GLYPH_INFO", [&](QPainter& p, qreal) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(50, 100, 190));
        p.drawEllipse(QRectF(2, 2, 20, 20));
        p.setBrush(Qt::white);
        p.drawEllipse(QRectF(10.5, 5.5, 3, 3));
        p.drawRoundedRect(QRectF(10.5, 10, 3, 9), 1, 1);
    });
    glyph("GLYPH_RENAME", [&](QPainter& p, qreal) {
        p.setPen(QPen(QColor(60, 60, 60), 1));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(2.5, 13.5, 19, 8));
        p.setPen(QPen(ink, 1.5));
        p.drawLine(QPointF(5, 17.5), QPointF(11, 17.5));
        p.save();
        p.translate(15, 9);
        p.rotate(45);
        p.setPen(QPen(QColor(80, 60, 20), 1));
        p.setBrush(QColor(240, 190, 60));
        p.drawRect(QRectF(-9, -2, 14, 4));
        p.setBrush(QColor(230, 130, 130));
        p.drawRect(QRectF(5, -2, 3, 4));
        p.restore();
    });
    glyph("GLYPH_DELETE", [&](QPainter& p, qreal) {
        p.setPen(QPen(QColor(70, 70, 70), 1.2));
        p.setBrush(QColor(200, 205, 215));
        p.drawPolygon(QPolygonF({QPointF(6, 7), QPointF(18, 7), QPointF(17, 21), QPointF(7, 21)}));
        p.drawRect(QRectF(4, 5, 16, 2));
        p.drawRect(QRectF(10, 3, 4, 2));
        p.drawLine(QPointF(10, 10), QPointF(10, 18));
        p.drawLine(QPointF(14, 10), QPointF(14, 18));
    });
    glyph("GLYPH_SLIDESHOW", [&](QPainter& p, qreal) {
        p.setPen(QPen(QColor(60, 60, 60), 1));
        p.setBrush(QColor(70, 70, 80));
        p.drawRoundedRect(QRectF(2.5, 4.5, 19, 15), 2, 2);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(120, 220, 120));
        p.drawPolygon(QPolygonF({QPointF(9, 8), QPointF(17, 12), QPointF(9, 16)}));
    });
    glyph("GLYPH_HELP", [&](QPainter& p, qreal) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(40, 140, 80));
        p.drawEllipse(QRectF(2, 2, 20, 20));
        p.setPen(QPen(Qt::white, 2.4, Qt::SolidLine, Qt::RoundCap));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(8, 6, 8, 7), 160 * 16, -250 * 16);
        p.drawLine(QPointF(12, 13), QPointF(12, 14.5));
        p.drawPoint(QPointF(12, 18));
    });
    glyph("GLYPH_EXIT", [&](QPainter& p, qreal) {
        p.setPen(QPen(QColor(90, 60, 30), 1));
        p.setBrush(QColor(170, 110, 60));
        p.drawRect(QRectF(4.5, 2.5, 11, 19));
        p.setBrush(QColor(240, 220, 120));
        p.drawEllipse(QRectF(12, 11, 2, 2));
        p.setPen(QPen(QColor(200, 40, 40), 2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(15, 12), QPointF(22, 12));
        p.setBrush(QColor(200, 40, 40));
        p.setPen(Qt::NoPen);
        arrowHead(p, QPointF(23, 12), 0, 5);
    });
    glyph("GLYPH_FLIPH", [&](QPainter& p, qreal) {
        p.setPen(QPen(QColor(150, 150, 150), 1, Qt::DashLine));
        p.drawLine(QPointF(12, 2), QPointF(12, 22));
        p.setPen(Qt::NoPen);
        p.setBrush(ink);
        p.drawPolygon(QPolygonF({QPointF(10, 5), QPointF(10, 19), QPointF(2, 19)}));
        p.setBrush(QColor(160, 180, 220));
        p.drawPolygon(QPolygonF({QPointF(14, 5), QPointF(14, 19), QPointF(22, 19)}));
    });
    glyph("GLYPH_FLIPV", [&](QPainter& p, qreal) {
        p.setPen(QPen(QColor(150, 150, 150), 1, Qt::DashLine));
        p.drawLine(QPointF(2, 12), QPointF(22, 12));
        p.setPen(Qt::NoPen);
        p.setBrush(ink);
        p.drawPolygon(QPolygonF({QPointF(5, 10), QPointF(19, 10), QPointF(19, 2)}));
        p.setBrush(QColor(160, 180, 220));
        p.drawPolygon(QPolygonF({QPointF(5, 14), QPointF(19, 14), QPointF(19, 22)}));
    });
    auto rotate = [&](const QString& name, int startDeg, int spanDeg, QPointF tip, qreal headAngle) {
        glyph(name, [=](QPainter& p, qreal) {
            p.setPen(pen);
            p.setBrush(Qt::NoBrush);
            p.drawArc(QRectF(4, 4, 16, 16), startDeg * 16, spanDeg * 16);
            p.setPen(Qt::NoPen);
            p.setBrush(ink);
            arrowHead(p, tip, headAngle, 6);
        });
    };
    rotate("GLYPH_ROTR", 180, -240, QPointF(21, 14), 100);
    rotate("GLYPH_ROTL", 0, 240, QPointF(3, 14), 80);
    rotate("GLYPH_ROT180", 90, -180, QPointF(12, 21), 180);
    glyph("GLYPH_LIGHTEN", [&](QPainter& p, qreal) {
        p.setPen(QPen(QColor(230, 160, 20), 1.8, Qt::SolidLine, Qt::RoundCap));
        for (int i = 0; i < 8; ++i) {
            const qreal a = i * M_PI / 4;
            p.drawLine(QPointF(12 + 7 * std::cos(a), 12 + 7 * std::sin(a)),
                       QPointF(12 + 10 * std::cos(a), 12 + 10 * std::sin(a)));
        }
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 205, 40));
        p.drawEllipse(QPointF(12, 12), 5, 5);
    });
    glyph("GLYPH_DARKEN", [&](QPainter& p, qreal) {
        QPainterPath moon;
        moon.addEllipse(QPointF(12, 12), 9, 9);
        QPainterPath bite;
        bite.addEllipse(QPointF(17, 8), 8, 8);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(60, 70, 120));
        p.drawPath(moon.subtracted(bite));
    });
    glyph("GLYPH_GREY", [&](QPainter& p, qreal) {
        for (int i = 0; i < 4; ++i) {
            const int v = 40 + i * 60;
            p.fillRect(QRectF(3 + i * 4.5, 4, 4.5, 16), QColor(v, v, v));
        }
        p.setPen(QPen(QColor(60, 60, 60), 1));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(2.5, 3.5, 19, 17));
    });

    // The print window's tool bar.
    auto printer = [&](QPainter& p) {
        p.setPen(QPen(QColor(60, 60, 60), 1));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(6.5, 2.5, 11, 7));
        p.setBrush(QColor(170, 175, 185));
        p.drawRoundedRect(QRectF(2.5, 8.5, 19, 9), 2, 2);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(6.5, 14.5, 11, 7));
        p.setPen(QPen(ink, 1));
        p.drawLine(QPointF(8, 17.5), QPointF(16, 17.5));
        p.drawLine(QPointF(8, 19.5), QPointF(14, 19.5));
        p.fillRect(QRectF(17, 10.5, 2, 1.5), QColor(60, 180, 80));
    };
    glyph("GLYPH_PRINT", [&](QPainter& p, qreal) { printer(p); });
    glyph("GLYPH_PRINTER_SETUP", [&](QPainter& p, qreal) {
        p.save();
        p.scale(0.8, 0.8);
        printer(p);
        p.restore();
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(90, 90, 100));
        for (int i = 0; i < 8; ++i) {
            p.save();
            p.translate(17, 17);
            p.rotate(i * 45);
            p.drawRect(QRectF(-1.2, -6.5, 2.4, 3));
            p.restore();
        }
        p.drawEllipse(QPointF(17, 17), 4.5, 4.5);
        p.setBrush(Qt::white);
        p.drawEllipse(QPointF(17, 17), 1.8, 1.8);
    });
    auto sheet = [&](const QString& name, QRectF paper) {
        glyph(name, [=](QPainter& p, qreal) {
            p.setPen(QPen(QColor(60, 60, 60), 1));
            p.setBrush(Qt::white);
            p.drawRect(paper);
            const QRectF pic = paper.adjusted(paper.width() * 0.25, paper.height() * 0.2, -paper.width() * 0.25,
                                              -paper.height() * 0.45);
            p.fillRect(pic, QColor(120, 170, 220));
        });
    };
    sheet("GLYPH_PAGE_SMALL", QRectF(7.5, 7.5, 9, 12));
    sheet("GLYPH_PAGE_LARGE", QRectF(4.5, 2.5, 15, 20));
    glyph("GLYPH_KEEP_RATIO", [&](QPainter& p, qreal) {
        p.setPen(QPen(QColor(60, 60, 60), 1));
        p.setBrush(QColor(160, 180, 220));
        p.drawRect(QRectF(2.5, 8.5, 12, 8));
        p.setBrush(QColor(120, 150, 210));
        p.drawRect(QRectF(2.5, 8.5, 6, 4));
        p.setPen(pen);
        p.drawLine(QPointF(10, 6), QPointF(20, 19));
        p.setPen(Qt::NoPen);
        p.setBrush(ink);
        arrowHead(p, QPointF(21, 20.5), 52, 6);
    });
    auto centring = [&](const QString& name, bool horizontal) {
        glyph(name, [=](QPainter& p, qreal) {
            if (!horizontal) {
                p.translate(24, 0);
                p.rotate(90);
            }
            p.setPen(QPen(QColor(150, 150, 150), 1, Qt::DashLine));
            p.drawLine(QPointF(12, 2), QPointF(12, 22));
            p.setPen(QPen(QColor(60, 60, 60), 1));
            p.setBrush(QColor(120, 170, 220));
            p.drawRect(QRectF(7.5, 8.5, 9, 7));
            p.setPen(Qt::NoPen);
            p.setBrush(ink);
            arrowHead(p, QPointF(6.5, 12), 0, 5);
            arrowHead(p, QPointF(17.5, 12), 180, 5);
            p.fillRect(QRectF(1, 11, 4, 2), ink);
            p.fillRect(QRectF(19, 11, 4, 2), ink);
        });
    };
    centring("GLYPH_CENTRE_X", true);
    centring("GLYPH_CENTRE_Y", false);
}

// The program's icon: two photographs on a blue rounded tile; the back one
// is left out where it would only blur the smallest sizes.
QImage appIcon(int s)
{
    QImage img(s, s, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(s / 64.0, s / 64.0);
    QLinearGradient tile(0, 0, 0, 64);
    tile.setColorAt(0, QColor(70, 130, 210));
    tile.setColorAt(1, QColor(30, 70, 150));
    p.setPen(Qt::NoPen);
    p.setBrush(tile);
    p.drawRoundedRect(QRectF(2, 2, 60, 60), 12, 12);
    auto photo = [&](qreal angle, QPointF centre, bool scene) {
        p.save();
        p.translate(centre);
        p.rotate(angle);
        p.setPen(s >= 32 ? QPen(QColor(0, 0, 0, 90), 1) : Qt::NoPen);
        p.setBrush(QColor(250, 250, 246));
        p.drawRect(QRectF(-22, -17, 44, 34));
        const QRectF view(-18, -13, 36, 23);
        QLinearGradient sky(view.topLeft(), view.bottomLeft());
        sky.setColorAt(0, scene ? QColor(120, 180, 240) : QColor(200, 200, 200));
        sky.setColorAt(1, scene ? QColor(215, 235, 250) : QColor(230, 230, 230));
        p.setPen(Qt::NoPen);
        p.setBrush(sky);
        p.drawRect(view);
        if (scene) {
            QPainterPath hills;
            hills.moveTo(view.bottomLeft());
            hills.lineTo(view.left(), view.top() + 15);
            hills.cubicTo(view.left() + 10, view.top() + 7, view.left() + 18, view.top() + 20, view.right(),
                          view.top() + 11);
            hills.lineTo(view.bottomRight());
            hills.closeSubpath();
            p.setBrush(QColor(80, 150, 70));
            p.drawPath(hills);
            p.setBrush(QColor(250, 205, 60));
            p.drawEllipse(QPointF(view.right() - 8, view.top() + 6), 3.5, 3.5);
        }
        p.restore();
    };
    if (s >= 32)
        photo(-14, QPointF(28, 28), false);
    photo(s >= 32 ? 6 : 0, QPointF(s >= 32 ? 35 : 32, s >= 32 ? 36 : 33), true);
    return img;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc < 3)
        return 2;
    outDir = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(outDir);
    for (int s : {60, 90, 120}) {
        save(QString("NOIMG%1").arg(s), noPicture(s));
        save(QString("RIQUADRO%1").arg(s), frame(s));
    }
    save("BACKTOOL", backTool());
    save("SPLASH", splash());
    drawGlyphs();
    for (int s : {16, 32, 48, 64, 128, 256})
        save(QString("APPICON_%1").arg(s), appIcon(s));

    QFile qrc(QString::fromLocal8Bit(argv[2]));
    if (!qrc.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return 1;
    QByteArray text = "<!DOCTYPE RCC><RCC version=\"1.0\">\n<qresource prefix=\"/\">\n";
    for (const QString& n : names)
        text += QString("  <file alias=\"%1\">%2/%1.png</file>\n").arg(n, outDir).toUtf8();
    text += "</qresource>\n</RCC>\n";
    qrc.write(text);
    return 0;
}

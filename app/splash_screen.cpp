// Splash window: a picture and the product name, kept for at least 1500 ms.
#include "app/splash_screen.h"

#include <QCloseEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QVBoxLayout>

TfrmSplashScreen::TfrmSplashScreen(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName("frmSplashScreen");
    setFixedSize(392, 273);
    auto* panel = new QFrame(this);
    panel->setObjectName("Panel1");
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setLineWidth(2);
    panel->setGeometry(rect());
    auto* picture = new QLabel(panel);
    picture->setObjectName("Image1");
    picture->setGeometry(2, 2, 388, 269);
    picture->setPixmap(QPixmap(":/SPLASH"));
    picture->setScaledContents(true);
    auto* name = new QLabel(QStringLiteral("Quorvel"), panel);
    name->setObjectName("Label1");
    QFont f(QStringLiteral("Sans Serif"));
    f.setPixelSize(32);
    f.setBold(true);
    f.setItalic(true);
    name->setFont(f);
    name->setStyleSheet(QStringLiteral("color: navy; background: transparent;"));
    name->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    name->setGeometry(2, 18, 388, 44);
    if (const QScreen* s = QGuiApplication::primaryScreen())
        move(s->geometry().center() - rect().center());
    m_timer.setSingleShot(true);
    m_timer.start(1500);
}

void TfrmSplashScreen::closeEvent(QCloseEvent* e)
{
    if (timerFired())
        e->accept();
    else
        e->ignore();
}

// The one wait-cursor guard.
#include "platform/wait_cursor.h"

#include <QCursor>
#include <QGuiApplication>
#include <QThread>

WaitCursor::WaitCursor()
{
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    m_shown = app && QThread::currentThread() == app->thread();
    if (m_shown)
        QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
}

WaitCursor::~WaitCursor()
{
    if (m_shown)
        QGuiApplication::restoreOverrideCursor();
}

// The command guard of views/ and the wait cursor.
#include "views/command_guard.h"

#include <QCursor>
#include <QGuiApplication>

namespace {

ViewCommandGuard& installed()
{
    static ViewCommandGuard guard;
    return guard;
}

} // namespace

void setViewCommandGuard(ViewCommandGuard guard) { installed() = std::move(guard); }

void runViewCommand(const std::function<void()>& command)
{
    if (installed())
        installed()(command);
    else
        command();
}

WaitCursor::WaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
WaitCursor::~WaitCursor() { QGuiApplication::restoreOverrideCursor(); }

// The command guard of views/.
#include "views/command_guard.h"

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


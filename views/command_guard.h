// How the windows of views/ run a command: the application installs its
// error handler here, so a command's error reaches the application-wide
// message and the window goes on.
#pragma once
#include <functional>

using ViewCommandGuard = std::function<void(const std::function<void()>& command)>;

// An empty guard runs commands unguarded.
void setViewCommandGuard(ViewCommandGuard guard);
void runViewCommand(const std::function<void()>& command);

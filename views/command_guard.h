// How the windows of views/ run a command: the application installs its
// error handler here, so a command's error reaches the application-wide
// message and the window goes on.
#pragma once
#include <functional>

using ViewCommandGuard = std::function<void(const std::function<void()>& command)>;

// An empty guard runs commands unguarded.
void setViewCommandGuard(ViewCommandGuard guard);
void runViewCommand(const std::function<void()>& command);

// The hourglass cursor for as long as it lives.
class WaitCursor {
public:
    WaitCursor();
    ~WaitCursor();
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

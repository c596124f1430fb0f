// The hourglass cursor for as long as a guard lives; guards nest.
#pragma once

class WaitCursor {
public:
    // Nothing happens without a window system or off the interface thread
    // (a worker or a terminal tool has no cursor to show).
    WaitCursor();
    ~WaitCursor();
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    bool m_shown = false;
};

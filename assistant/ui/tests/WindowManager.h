// A window manager on the test's X server (openbox, as a desktop would have one), so that
// windows are managed: stacked, focused on click and on activation, transient for owners.
#pragma once

class WindowManager
{
public:
    // Starts the window manager on $DISPLAY and waits until it manages the screen.
    WindowManager();
    ~WindowManager();
    bool IsUp() const { return m_up; }

private:
    int m_pid = -1;
    bool m_up = false;
};

#include "WindowManager.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace
{
// The window manager says it runs by its check window on the root window.
bool Managing(Display* d)
{
    Atom check = XInternAtom(d, "_NET_SUPPORTING_WM_CHECK", False);
    Atom type;
    int format;
    unsigned long count = 0, left;
    unsigned char* data = nullptr;
    bool up = XGetWindowProperty(d, DefaultRootWindow(d), check, 0, 1, False, XA_WINDOW, &type, &format, &count, &left,
                                 &data) == Success &&
              count == 1;
    if (data)
        XFree(data);
    return up;
}
} // namespace

WindowManager::WindowManager()
{
    Display* d = XOpenDisplay(nullptr);
    if (!d)
        return;
    // A home of its own: no configuration of the person running the tests.
    std::string home = (std::filesystem::temp_directory_path() / ("qm-wm-" + std::to_string(getpid()))).string();
    std::filesystem::create_directories(home);
    m_pid = fork();
    if (m_pid == 0)
    {
        setenv("HOME", home.c_str(), 1);
        setenv("XDG_CONFIG_HOME", (home + "/.config").c_str(), 1);
        execlp("openbox", "openbox", static_cast<char*>(nullptr));
        _exit(127);
    }
    for (int i = 0; i < 100 && m_pid > 0 && !m_up; ++i)
    {
        usleep(100 * 1000);
        m_up = Managing(d);
    }
    XCloseDisplay(d);
}

WindowManager::~WindowManager()
{
    if (m_pid > 0)
    {
        kill(m_pid, SIGTERM);
        waitpid(m_pid, nullptr, 0);
    }
}

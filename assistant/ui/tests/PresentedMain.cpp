// The window tests' program: one private X server for all of them, windows presented on it
// (with a window manager on it when built so).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "XDisplay.h"
#ifdef QM_WITH_WINDOW_MANAGER
#include "WindowManager.h"
#endif

namespace
{
XDisplay* g_screen = nullptr;
}

XDisplay& TestScreen() { return *g_screen; }

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    XDisplay screen(1280, 1024);
    if (!screen.IsUp())
    {
        std::fprintf(stderr, "Xvfb did not start\n");
        return 1;
    }
#ifdef QM_WITH_WINDOW_MANAGER
    WindowManager wm;
    if (!wm.IsUp())
    {
        std::fprintf(stderr, "the window manager did not start\n");
        return 1;
    }
#endif
    setenv("QM_PRESENT", "gtk", 1);
    g_screen = &screen;
    int rc = RUN_ALL_TESTS();
    g_screen = nullptr;
    return rc;
}

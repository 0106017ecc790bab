// Registered messages and HWND_BROADCAST across processes: the ids are the machine's (as a
// Windows session's), and a broadcast post reaches the top-level windows of every process.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "qm/child_process.h"
#include "qm/machine.h"
#include "windows.h"

namespace
{
UINT g_received = 0;
WPARAM g_wParam = 0;
LPARAM g_lParam = 0;

LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg >= 0xC000)
    {
        g_received = msg;
        g_wParam = wParam;
        g_lParam = lParam;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

bool IsChild() { return std::getenv("QM_BROADCAST_CHILD") != nullptr; }
} // namespace

// The other process (run only by the test below): registers in another order than the parent, prints the ids and
// broadcasts the first one.
TEST(Broadcast, DISABLED_ChildSide)
{
    if (!IsChild())
        GTEST_SKIP() << "run by Broadcast.ReachesTheWindowsOfAnotherProcess";
    UINT b = RegisterWindowMessageA("qm_cross_b");
    UINT a = RegisterWindowMessageW(u"QM_CROSS_A");
    std::printf("ids %u %u\n", a, b);
    EXPECT_TRUE(PostMessageW(HWND_BROADCAST, a, 7, 9));
}

TEST(Broadcast, ReachesTheWindowsOfAnotherProcess)
{
    auto dir = std::filesystem::temp_directory_path() / ("qm-broadcast-" + std::to_string(::getpid()));
    qm::SetMachineDirectory(dir);
    UINT a = RegisterWindowMessageW(u"qm_cross_a");
    ASSERT_NE(0u, a);

    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = Proc;
    wc.lpszClassName = u"QmBroadcastTarget";
    ASSERT_NE(0, RegisterClassExW(&wc));
    // Hidden windows receive broadcasts too.
    HWND hwnd = CreateWindowExW(0, wc.lpszClassName, u"target", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                                nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, hwnd);

    ::setenv("QM_BROADCAST_CHILD", "1", 1);
    int status = -1;
    std::string out = qm::test::ChildOutput("/proc/self/exe", {"--gtest_also_run_disabled_tests", "--gtest_filter=Broadcast.DISABLED_ChildSide"}, &status);
    ::unsetenv("QM_BROADCAST_CHILD");
    ASSERT_EQ(0, status) << out;
    auto at = out.find("ids ");
    ASSERT_NE(std::string::npos, at) << out;
    std::istringstream ids(out.substr(at + 4));
    UINT childA = 0, childB = 0;
    ids >> childA >> childB;
    EXPECT_EQ(a, childA) << "the same name, the same id in the other process";
    EXPECT_EQ(childB, RegisterWindowMessageW(u"QM_CROSS_B")) << "a name first registered there";
    EXPECT_NE(childA, childB);

    MSG msg;
    for (int i = 0; i < 5000 && !g_received; ++i)
    {
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
        Sleep(1);
    }
    EXPECT_EQ(a, g_received);
    EXPECT_EQ(7u, g_wParam);
    EXPECT_EQ(9, g_lParam);

    // And from this process: its own windows get it at once, in their queue.
    g_received = 0;
    EXPECT_TRUE(PostMessageA(HWND_BROADCAST, childB, 1, 2));
    ASSERT_TRUE(PeekMessageW(&msg, hwnd, 0, 0, PM_REMOVE));
    EXPECT_EQ(childB, msg.message);
    DestroyWindow(hwnd);
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
}

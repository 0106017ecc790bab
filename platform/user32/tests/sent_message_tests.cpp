// SendMessage to another thread's window runs on that thread, while it looks at its queue,
// and returns the window procedure's result to the sender.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "windows.h"

namespace
{
std::thread::id g_ranOn;

LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_APP + 1)
    {
        g_ranOn = std::this_thread::get_id();
        return LRESULT(wParam * 2 + lParam);
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}
} // namespace

TEST(SentMessages, RunOnTheWindowsThreadAndReturnItsResult)
{
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = Proc;
    wc.lpszClassName = u"SentMessageTarget";
    RegisterClassExW(&wc);
    HWND hwnd = CreateWindowExW(0, wc.lpszClassName, u"", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(hwnd);

    std::atomic<LRESULT> result{-1};
    std::thread sender([&] { result = SendMessageW(hwnd, WM_APP + 1, 20, 2); });
    // The sender waits until this thread takes its messages.
    for (int i = 0; i < 60000 && result == -1; ++i)
    {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
        Sleep(1);
    }
    sender.join();
    EXPECT_EQ(42, result.load());
    EXPECT_EQ(std::this_thread::get_id(), g_ranOn);

    EXPECT_EQ(42, SendMessageW(hwnd, WM_APP + 1, 20, 2)) << "a thread's own window: called directly";
    DestroyWindow(hwnd);
}

TEST(RegisteredMessages, OneIdPerNameWithoutCase)
{
    UINT a = RegisterWindowMessageW(u"qm_test_message_a");
    EXPECT_GE(a, 0xC000u);
    EXPECT_LE(a, 0xFFFFu);
    EXPECT_EQ(a, RegisterWindowMessageW(u"QM_TEST_MESSAGE_A"));
    EXPECT_NE(a, RegisterWindowMessageW(u"qm_test_message_b"));
    EXPECT_EQ(0u, RegisterWindowMessageW(u""));
}

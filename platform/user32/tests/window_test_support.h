// Helpers for window tests: a recording window procedure and a clean window state.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "commctrl.h"
#include "qm/windowing.h"
#include "windows.h"

struct RecordedMessage
{
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

class WindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        qm::win::SetScreenSize(1920, 1080);
        m_windowsBefore = qm::win::LiveWindows();
    }
    void TearDown() override
    {
        qm::win::SetIdleHook(nullptr);
        MSG m;
        while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&m);
        qm::win::ResetScreenSize();
        EXPECT_EQ(qm::win::LiveWindows(), m_windowsBefore) << "windows left behind";
    }
    // Runs the thread's queue until it is empty.
    static void Pump()
    {
        MSG m;
        while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE))
        {
            TranslateMessage(&m);
            DispatchMessageW(&m);
        }
    }
    size_t m_windowsBefore = 0;
};

inline std::filesystem::path OutputPng(const std::string& name)
{
    auto dir = std::filesystem::path(QM_TEST_OUTPUT_DIR);
    std::filesystem::create_directories(dir);
    return dir / (name + ".png");
}

inline bool Near(COLORREF a, COLORREF b, int tolerance = 6)
{
    return std::abs(int(GetRValue(a)) - int(GetRValue(b))) <= tolerance &&
           std::abs(int(GetGValue(a)) - int(GetGValue(b))) <= tolerance &&
           std::abs(int(GetBValue(a)) - int(GetBValue(b))) <= tolerance;
}

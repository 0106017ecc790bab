// The main dialog over the scripted dispatcher on the test program's X screen, its windows
// presented: where the page's elements are on the screen, and time for changes to reach it.
#pragma once

#include <cstdio>
#include <filesystem>

#include "PageHarness.h"
#include "XDisplay.h"
#include "qm/windowing.h"

// Where the test program's pictures go.
inline const std::filesystem::path kOut = QM_TEST_OUTPUT_DIR;

inline RECT WindowRect(HWND hwnd)
{
    RECT r{};
    GetWindowRect(hwnd, &r);
    return r;
}

class PresentedHarness : public PageHarness
{
  protected:
    void SetUp() override
    {
        ASSERT_TRUE(qm::win::IsPresenting());
        std::filesystem::create_directories(kOut);
    }

    void TearDown() override
    {
        qm::win::SetIdleHook(nullptr);
        PageHarness::TearDown();
    }

    HWND Control() { return m_dlg->Browser().GetSafeHwnd(); }

    // The screen point of the centre of an element of the frame path's document.
    POINT ElementOnScreen(const std::u16string& frame, const std::u16string& id)
    {
        std::u16string rect = u"(function(){var r=document.getElementById('" + id +
                              u"').getBoundingClientRect();return Math.round(r.left+r.width/2)+','+"
                              u"Math.round(r.top+r.height/2);})()";
        std::string at = Eval(frame, rect);
        int x = -1, y = -1;
        std::sscanf(at.c_str(), "%d,%d", &x, &y);
        if (!frame.empty())
        {
            std::string origin =
                Eval(u"", u"(function(){var r=document.getElementById('" + frame +
                              u"').getBoundingClientRect();return Math.round(r.left)+','+"
                              u"Math.round(r.top);})()");
            int fx = 0, fy = 0;
            std::sscanf(origin.c_str(), "%d,%d", &fx, &fy);
            x += fx;
            y += fy;
        }
        RECT r = WindowRect(Control());
        return {r.left + x, r.top + y};
    }

    // Pumps a while so that what changed reaches the screen.
    static void Settle(int ms = 400)
    {
        Pump([] { return false; }, ms);
    }
};

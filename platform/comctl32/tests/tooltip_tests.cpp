// The tooltip control's tools and texts.
#include <gtest/gtest.h>

#include "commctrl.h"
#include "qm/windowing.h"
#include "windows.h"

TEST(Tooltip, ToolsTextsAndRelayedMoves)
{
    qm::win::SetScreenSize(1920, 1080);
    HWND owner = CreateWindowExW(0, u"Static", u"", WS_POPUP | WS_VISIBLE, 100, 100, 200, 200, nullptr, nullptr,
                                 nullptr, nullptr);
    HWND tool = CreateWindowExW(0, u"Static", u"", WS_CHILD | WS_VISIBLE | SS_NOTIFY, 0, 0, 100, 100, owner, nullptr,
                                nullptr, nullptr);
    HWND tip = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, 0, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                               CW_USEDEFAULT, tool, nullptr, nullptr, nullptr);
    ASSERT_NE(tip, nullptr);
    EXPECT_EQ(GetWindow(tip, GW_OWNER), owner); // a pop-up owned by the tool's top-level window
    EXPECT_TRUE(GetWindowLongW(tip, GWL_STYLE) & WS_POPUP);
    TTTOOLINFOW ti{sizeof ti, TTF_IDISHWND, owner, reinterpret_cast<UINT_PTR>(tool)};
    ti.lpszText = const_cast<LPWSTR>(u"");
    EXPECT_TRUE(SendMessageW(tip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti)));
    EXPECT_EQ(SendMessageW(tip, TTM_GETTOOLCOUNT, 0, 0), 1);
    TTTOOLINFOW small{TTTOOLINFOW_V1_SIZE - 4};
    EXPECT_FALSE(SendMessageW(tip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&small)));

    ti.lpszText = const_cast<LPWSTR>(u"Alpha certificate");
    SendMessageW(tip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&ti));
    WCHAR buffer[6];
    TTTOOLINFOW query{sizeof query, 0, owner, reinterpret_cast<UINT_PTR>(tool)};
    query.lpszText = buffer;
    SendMessageW(tip, TTM_GETTEXTW, 6, reinterpret_cast<LPARAM>(&query));
    EXPECT_EQ(std::u16string(buffer), u"Alpha"); // cut to the buffer's size

    SendMessageW(tip, TTM_ACTIVATE, TRUE, 0);
    POINT p = qm::win::ClientPointToScreen(tool, 10, 10);
    qm::win::InjectMouseMove(p.x, p.y);
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageW(&m);
    MSG relay{tool, WM_MOUSEMOVE, 0, MAKELPARAM(10, 10)};
    SendMessageW(tip, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&relay));
    EXPECT_TRUE(IsWindowVisible(tip));
    EXPECT_EQ(WindowFromPoint(p), tool); // the tip never takes the mouse
    SendMessageW(tip, TTM_ACTIVATE, FALSE, 0);
    EXPECT_FALSE(IsWindowVisible(tip));
    SendMessageW(tip, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
    EXPECT_EQ(SendMessageW(tip, TTM_GETTOOLCOUNT, 0, 0), 0);
    DestroyWindow(owner); // the tip, owned by it, goes too
    EXPECT_FALSE(IsWindow(tip));
    qm::win::ResetScreenSize();
}
